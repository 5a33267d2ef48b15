#include "decoderconfigfile.h"

#include "recordjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pral_matrix {

namespace {

const QString ConfigFormat = QStringLiteral("tvwall-decoder-config");

QJsonObject wallToJson(const SimulatedDecoder::Wall& wall)
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), wall.name);
    o.insert(QStringLiteral("type"), wall.type);
    o.insert(QStringLiteral("rows"), wall.rows);
    o.insert(QStringLiteral("cols"), wall.cols);
    QJsonArray screens;
    for (const MatrixInfo& s : wall.screens)
        screens.append(QJsonArray{s.ip, s.channel, s.row, s.column, int(s.matrixType)});
    o.insert(QStringLiteral("screens"), screens);
    return o;
}

SimulatedDecoder::Wall wallFromJson(const QJsonObject& o)
{
    SimulatedDecoder::Wall wall;
    wall.name = o.value(QStringLiteral("name")).toString();
    wall.type = o.value(QStringLiteral("type")).toInt(MATRIX_TYPE_MULTI_OUTPUT);
    wall.rows = o.value(QStringLiteral("rows")).toInt();
    wall.cols = o.value(QStringLiteral("cols")).toInt();
    const QJsonArray screens = o.value(QStringLiteral("screens")).toArray();
    for (const QJsonValue& v : screens) {
        const QJsonArray a = v.toArray();
        MatrixInfo s;
        s.ip = a.at(0).toString();
        s.channel = a.at(1).toInt();
        s.row = a.at(2).toInt();
        s.column = a.at(3).toInt();
        s.matrixType = MatrixType(a.at(4).toInt(MATRIX_TYPE_UNKNOWN));
        wall.screens.append(s);
    }
    return wall;
}

QJsonArray colorsToJson(const SimulatedDecoder::ColorMap& colors)
{
    QJsonArray list;
    for (auto it = colors.constBegin(); it != colors.constEnd(); ++it) {
        QJsonObject o = RecordJson::toJson(it.value());
        o.insert(QStringLiteral("screenRow"), it.key().first);
        o.insert(QStringLiteral("screenColumn"), it.key().second);
        list.append(o);
    }
    return list;
}

SimulatedDecoder::ColorMap colorsFromJson(const QJsonArray& list)
{
    SimulatedDecoder::ColorMap colors;
    for (const QJsonValue& v : list) {
        const QJsonObject o = v.toObject();
        colors.insert(qMakePair(o.value(QStringLiteral("screenRow")).toInt(),
                                o.value(QStringLiteral("screenColumn")).toInt()),
                      RecordJson::screenColorFromJson(o));
    }
    return colors;
}

} // namespace

QByteArray DecoderConfigFile::encode(const SimulatedDecoder::Configuration& config)
{
    QJsonObject o;
    o.insert(QStringLiteral("format"), ConfigFormat);
    o.insert(QStringLiteral("version"), 1);
    o.insert(QStringLiteral("deviceId"), config.deviceId);
    o.insert(QStringLiteral("type"), config.type);
    o.insert(QStringLiteral("channels"), config.channels);
    o.insert(QStringLiteral("firmware"), config.firmware);
    o.insert(QStringLiteral("resolution"),
             QJsonArray{config.resolution.width, config.resolution.height, config.resolution.frameRate});
    o.insert(QStringLiteral("colors"), colorsToJson(config.colors));
    if (config.hasWall)
        o.insert(QStringLiteral("tvWall"), wallToJson(config.wall));
    QJsonArray scenes;
    for (auto it = config.scenes.constBegin(); it != config.scenes.constEnd(); ++it) {
        QJsonObject s;
        s.insert(QStringLiteral("sceneNo"), it.key());
        s.insert(QStringLiteral("name"), it.value().name);
        if (it.value().hasWall)
            s.insert(QStringLiteral("tvWall"), wallToJson(it.value().wall));
        scenes.append(s);
    }
    o.insert(QStringLiteral("scenes"), scenes);
    return QJsonDocument(o).toJson();
}

int DecoderConfigFile::decode(const QByteArray& bytes, SimulatedDecoder::Configuration* config)
{
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    const QJsonObject o = doc.object();
    if (!doc.isObject() || o.value(QStringLiteral("format")).toString() != ConfigFormat ||
        o.value(QStringLiteral("version")).toInt() != 1)
        return RESULT_BAD_ARGUMENT;
    SimulatedDecoder::Configuration c;
    c.deviceId = o.value(QStringLiteral("deviceId")).toString();
    c.type = o.value(QStringLiteral("type")).toInt();
    c.channels = o.value(QStringLiteral("channels")).toInt();
    c.firmware = o.value(QStringLiteral("firmware")).toString();
    const QJsonArray res = o.value(QStringLiteral("resolution")).toArray();
    c.resolution = ScreenResolution_t{res.at(0).toInt(), res.at(1).toInt(), res.at(2).toInt()};
    c.colors = colorsFromJson(o.value(QStringLiteral("colors")).toArray());
    c.hasWall = o.contains(QStringLiteral("tvWall"));
    if (c.hasWall)
        c.wall = wallFromJson(o.value(QStringLiteral("tvWall")).toObject());
    const QJsonArray sceneList = o.value(QStringLiteral("scenes")).toArray();
    for (const QJsonValue& v : sceneList) {
        const QJsonObject s = v.toObject();
        SimulatedDecoder::Scene scene;
        scene.name = s.value(QStringLiteral("name")).toString();
        scene.hasWall = s.contains(QStringLiteral("tvWall"));
        if (scene.hasWall)
            scene.wall = wallFromJson(s.value(QStringLiteral("tvWall")).toObject());
        const int no = s.value(QStringLiteral("sceneNo")).toInt();
        if (no < 1 || no > SimulatedDecoder::MaxScenes)
            return RESULT_BAD_ARGUMENT;
        c.scenes.insert(no, scene);
    }
    *config = c;
    return RESULT_OK;
}

} // namespace pral_matrix
