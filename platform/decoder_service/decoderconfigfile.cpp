#include "decoderconfigfile.h"

#include "recordjson.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace pral_matrix {

namespace {

const QByteArray Marker = QByteArrayLiteral("TVWALL-DECODER-CONFIG ");
constexpr int FormatVersion = 2;
const QString ChecksumKey = QStringLiteral("sha256");

QJsonArray resolutionToJson(const ScreenResolution_t& r)
{
    return QJsonArray{r.width, r.height, r.frameRate};
}

ScreenResolution_t resolutionFromJson(const QJsonValue& v)
{
    const QJsonArray a = v.toArray();
    return ScreenResolution_t{a.at(0).toInt(), a.at(1).toInt(), a.at(2).toInt()};
}

QJsonObject wallToJson(const SimulatedDecoder::Wall& wall)
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), wall.name);
    o.insert(QStringLiteral("type"), wall.type);
    o.insert(QStringLiteral("rows"), wall.rows);
    o.insert(QStringLiteral("cols"), wall.cols);
    QJsonArray screens;
    for (const MatrixInfo& s : wall.screens)
        screens.append(QJsonArray{s.ip, s.channel, s.row, s.column});
    o.insert(QStringLiteral("screens"), screens);
    return o;
}

MatrixInfoList screensFromJson(const QJsonArray& list)
{
    MatrixInfoList screens;
    for (const QJsonValue& v : list) {
        const QJsonArray a = v.toArray();
        MatrixInfo s;
        s.ip = a.at(0).toString();
        s.channel = a.at(1).toInt();
        s.row = a.at(2).toInt();
        s.column = a.at(3).toInt();
        screens.append(s);
    }
    return screens;
}

SimulatedDecoder::Wall wallFromJson(const QJsonObject& o)
{
    SimulatedDecoder::Wall wall;
    wall.name = o.value(QStringLiteral("name")).toString();
    wall.type = o.value(QStringLiteral("type")).toInt(MATRIX_TYPE_MULTI_OUTPUT);
    wall.rows = o.value(QStringLiteral("rows")).toInt();
    wall.cols = o.value(QStringLiteral("cols")).toInt();
    wall.screens = screensFromJson(o.value(QStringLiteral("screens")).toArray());
    return wall;
}

// Windows keep every field, also those only the decoder understands.
QJsonObject windowToJson(const MatrixWindowInfo& w)
{
    QJsonObject o;
    o.insert(QStringLiteral("params"),
             QJsonArray{w.windowParam1, w.windowParam2, w.windowParam3, w.windowParam4, w.windowParam5,
                        w.columnCount, w.rowCount, w.x, w.y, w.width, w.height, w.windowParam12});
    QJsonArray sources;
    for (const WindowSourceInfo& s : w.sourceList)
        sources.append(QJsonArray{s.sourceSlot, s.sourceParam2, s.sourceParam3, s.sourceKind, s.sourceName,
                                  s.sourceText6, s.sourceParam7, s.sourceParam8, s.sourceParam9,
                                  s.pictureName, s.sourceText11, s.sourceParam12, s.picturePath,
                                  s.sourceText14, s.sourceText15, s.pictureMode, s.sourceParam17,
                                  s.sourceText18, s.sourceText19});
    o.insert(QStringLiteral("sources"), sources);
    QJsonArray screens;
    for (const WindowScreenInfo& s : w.screenList)
        screens.append(QJsonArray{s.screenNo, s.column, s.row});
    o.insert(QStringLiteral("screens"), screens);
    o.insert(QStringLiteral("ext"), QJsonArray::fromVariantList(w.windowExtList));
    return o;
}

MatrixWindowInfo windowFromJson(const QJsonObject& o)
{
    MatrixWindowInfo w;
    const QJsonArray p = o.value(QStringLiteral("params")).toArray();
    int32_t* const params[] = {&w.windowParam1,
                               &w.windowParam2,
                               &w.windowParam3,
                               &w.windowParam4,
                               &w.windowParam5,
                               &w.columnCount,
                               &w.rowCount,
                               &w.x,
                               &w.y,
                               &w.width,
                               &w.height,
                               &w.windowParam12};
    for (int i = 0; i < int(std::size(params)); ++i)
        *params[i] = p.at(i).toInt(*params[i]);
    const QJsonArray sources = o.value(QStringLiteral("sources")).toArray();
    for (const QJsonValue& v : sources) {
        const QJsonArray a = v.toArray();
        WindowSourceInfo s;
        s.sourceSlot = a.at(0).toInt(s.sourceSlot);
        s.sourceParam2 = a.at(1).toInt(s.sourceParam2);
        s.sourceParam3 = a.at(2).toInt(s.sourceParam3);
        s.sourceKind = a.at(3).toInt(s.sourceKind);
        s.sourceName = a.at(4).toString();
        s.sourceText6 = a.at(5).toString();
        s.sourceParam7 = a.at(6).toInt(s.sourceParam7);
        s.sourceParam8 = a.at(7).toInt(s.sourceParam8);
        s.sourceParam9 = a.at(8).toInt(s.sourceParam9);
        s.pictureName = a.at(9).toString();
        s.sourceText11 = a.at(10).toString();
        s.sourceParam12 = a.at(11).toInt(s.sourceParam12);
        s.picturePath = a.at(12).toString();
        s.sourceText14 = a.at(13).toString();
        s.sourceText15 = a.at(14).toString();
        s.pictureMode = a.at(15).toInt(s.pictureMode);
        s.sourceParam17 = a.at(16).toInt(s.sourceParam17);
        s.sourceText18 = a.at(17).toString();
        s.sourceText19 = a.at(18).toString();
        w.sourceList.append(s);
    }
    const QJsonArray screens = o.value(QStringLiteral("screens")).toArray();
    for (const QJsonValue& v : screens) {
        const QJsonArray a = v.toArray();
        w.screenList.append(WindowScreenInfo{a.at(0).toInt(-1), a.at(1).toInt(), a.at(2).toInt()});
    }
    w.windowExtList = o.value(QStringLiteral("ext")).toArray().toVariantList();
    return w;
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

QByteArray checksum(QJsonObject header, const QByteArray& body)
{
    header.remove(ChecksumKey);
    QCryptographicHash sha(QCryptographicHash::Sha256);
    sha.addData(QJsonDocument(header).toJson(QJsonDocument::Compact));
    sha.addData("\n", 1);
    sha.addData(body);
    return sha.result().toHex();
}

QByteArray bodyOf(const SimulatedDecoder::Configuration& c)
{
    QJsonObject o;
    QJsonObject network;
    network.insert(QStringLiteral("mask"), c.mask);
    network.insert(QStringLiteral("gateway"), c.gateway);
    network.insert(QStringLiteral("dns"), c.dns);
    network.insert(QStringLiteral("ipv6Prefix"), c.ipv6Prefix);
    network.insert(QStringLiteral("ipv6Gateway"), c.ipv6Gateway);
    o.insert(QStringLiteral("network"), network);
    o.insert(QStringLiteral("resolution"), resolutionToJson(c.resolution));
    QJsonArray perScreen;
    for (auto it = c.screenResolutions.constBegin(); it != c.screenResolutions.constEnd(); ++it)
        perScreen.append(QJsonArray{it.key().first, it.key().second, resolutionToJson(it.value())});
    o.insert(QStringLiteral("screenResolutions"), perScreen);
    o.insert(QStringLiteral("colors"), colorsToJson(c.colors));
    if (c.hasWall)
        o.insert(QStringLiteral("tvWall"), wallToJson(c.wall));
    QJsonArray scenes;
    for (auto it = c.scenes.constBegin(); it != c.scenes.constEnd(); ++it) {
        QJsonObject s;
        s.insert(QStringLiteral("sceneNo"), it.key());
        s.insert(QStringLiteral("name"), it.value().name);
        if (it.value().hasWall)
            s.insert(QStringLiteral("tvWall"), wallToJson(it.value().wall));
        QJsonArray windows;
        for (const MatrixWindowInfo& w : it.value().windows)
            windows.append(windowToJson(w));
        s.insert(QStringLiteral("windows"), windows);
        scenes.append(s);
    }
    o.insert(QStringLiteral("scenes"), scenes);
    return QJsonDocument(o).toJson();
}

void readBody(const QJsonObject& o, SimulatedDecoder::Configuration* c)
{
    const QJsonObject network = o.value(QStringLiteral("network")).toObject();
    c->mask = network.value(QStringLiteral("mask")).toString();
    c->gateway = network.value(QStringLiteral("gateway")).toString();
    c->dns = network.value(QStringLiteral("dns")).toString();
    c->ipv6Prefix = network.value(QStringLiteral("ipv6Prefix")).toInt(-1);
    c->ipv6Gateway = network.value(QStringLiteral("ipv6Gateway")).toString();
    c->resolution = resolutionFromJson(o.value(QStringLiteral("resolution")));
    const QJsonArray perScreen = o.value(QStringLiteral("screenResolutions")).toArray();
    for (const QJsonValue& v : perScreen) {
        const QJsonArray a = v.toArray();
        c->screenResolutions.insert(qMakePair(a.at(0).toInt(-1), a.at(1).toInt(-1)),
                                    resolutionFromJson(a.at(2)));
    }
    c->colors = colorsFromJson(o.value(QStringLiteral("colors")).toArray());
    c->hasWall = o.contains(QStringLiteral("tvWall"));
    if (c->hasWall)
        c->wall = wallFromJson(o.value(QStringLiteral("tvWall")).toObject());
    const QJsonArray scenes = o.value(QStringLiteral("scenes")).toArray();
    for (const QJsonValue& v : scenes) {
        const QJsonObject s = v.toObject();
        SimulatedDecoder::Scene scene;
        scene.name = s.value(QStringLiteral("name")).toString();
        scene.hasWall = s.contains(QStringLiteral("tvWall"));
        if (scene.hasWall)
            scene.wall = wallFromJson(s.value(QStringLiteral("tvWall")).toObject());
        const QJsonArray windows = s.value(QStringLiteral("windows")).toArray();
        for (const QJsonValue& w : windows)
            scene.windows.append(windowFromJson(w.toObject()));
        // A number outside 1..64 stays as it is, for the decoder to refuse.
        c->scenes.insert(s.value(QStringLiteral("sceneNo")).toInt(-1), scene);
    }
}

} // namespace

QByteArray DecoderConfigFile::encode(const SimulatedDecoder::Configuration& config)
{
    const QByteArray body = bodyOf(config);
    QJsonObject header;
    header.insert(QStringLiteral("deviceId"), config.deviceId);
    header.insert(QStringLiteral("model"), config.model);
    header.insert(QStringLiteral("type"), config.type);
    header.insert(QStringLiteral("channels"), config.channels);
    header.insert(QStringLiteral("firmware"), config.firmware);
    header.insert(QStringLiteral("bodySize"), body.size());
    header.insert(ChecksumKey, QString::fromLatin1(checksum(header, body)));
    return Marker + QByteArray::number(FormatVersion) + '\n' +
           QJsonDocument(header).toJson(QJsonDocument::Compact) + '\n' + body;
}

int DecoderConfigFile::decode(const QByteArray& bytes, SimulatedDecoder::Configuration* config)
{
    if (bytes.isEmpty())
        return Empty;
    if (!bytes.startsWith(Marker))
        return Marker.startsWith(bytes) ? Truncated : NotAConfig;
    const int markerEnd = bytes.indexOf('\n');
    if (markerEnd < 0)
        return Truncated;
    bool numeric = false;
    const int version = bytes.mid(Marker.size(), markerEnd - Marker.size()).toInt(&numeric);
    if (!numeric)
        return NotAConfig;
    if (version != FormatVersion)
        return UnknownVersion;
    const int headerEnd = bytes.indexOf('\n', markerEnd + 1);
    if (headerEnd < 0)
        return Truncated;
    QJsonParseError error;
    const QJsonDocument headerDoc =
        QJsonDocument::fromJson(bytes.mid(markerEnd + 1, headerEnd - markerEnd - 1), &error);
    const QJsonObject header = headerDoc.object();
    const QJsonValue bodySize = header.value(QStringLiteral("bodySize"));
    if (error.error != QJsonParseError::NoError || !headerDoc.isObject() || !bodySize.isDouble())
        return Damaged;
    const QByteArray body = bytes.mid(headerEnd + 1);
    if (body.size() < bodySize.toDouble())
        return Truncated;
    if (body.size() > bodySize.toDouble() ||
        header.value(ChecksumKey).toString().toLatin1() != checksum(header, body))
        return Damaged;
    const QJsonDocument bodyDoc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !bodyDoc.isObject())
        return Damaged;
    SimulatedDecoder::Configuration c;
    c.deviceId = header.value(QStringLiteral("deviceId")).toString();
    c.model = header.value(QStringLiteral("model")).toString();
    c.type = header.value(QStringLiteral("type")).toInt(MATRIX_TYPE_UNKNOWN);
    c.channels = header.value(QStringLiteral("channels")).toInt();
    c.firmware = header.value(QStringLiteral("firmware")).toString();
    readBody(bodyDoc.object(), &c);
    *config = c;
    return 0;
}

QString DecoderConfigFile::marker(const QByteArray& head)
{
    const QByteArray bytes = head.left(MaxHeadSize);
    if (!bytes.startsWith(Marker))
        return QString();
    const int markerEnd = bytes.indexOf('\n');
    const int headerEnd = markerEnd < 0 ? -1 : bytes.indexOf('\n', markerEnd + 1);
    if (headerEnd < 0)
        return QString();
    const QJsonObject header =
        QJsonDocument::fromJson(bytes.mid(markerEnd + 1, headerEnd - markerEnd - 1)).object();
    const QString sum = header.value(ChecksumKey).toString();
    // Only what a checksum looks like: the text goes into reports to the operator.
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.match(sum).hasMatch() ? sum : QString();
}

} // namespace pral_matrix
