#include "recordjson.h"

#include <QJsonArray>

namespace pral_matrix {

namespace {

const QString SealedPasswordKey = QStringLiteral("passwordSealed");

bool isUnsetDeviceId(const QString& id)
{
    return id == MatrixInfo().deviceId;
}

int intOf(const QJsonObject& o, const QString& key, int fallback)
{
    const QJsonValue v = o.value(key);
    return v.isDouble() ? v.toInt(fallback) : fallback;
}

} // namespace

QJsonObject RecordJson::toJson(const MatrixInfo& info, const PasswordCodec& seal)
{
    QJsonObject o;
    o.insert(QStringLiteral("matrixType"), int(info.matrixType));
    // The "never set" marker is a non-character that JSON writers may mangle:
    // leave the key out instead and let the default come back on reading.
    if (!isUnsetDeviceId(info.deviceId))
        o.insert(QStringLiteral("deviceId"), info.deviceId);
    o.insert(QStringLiteral("ip"), info.ip);
    o.insert(QStringLiteral("spare1"), info.spare1);
    o.insert(QStringLiteral("spare2"), info.spare2);
    o.insert(QStringLiteral("spare3"), info.spare3);
    o.insert(QStringLiteral("userName"), info.userName);
    if (!info.password.isEmpty())
        o.insert(SealedPasswordKey, seal ? seal(info.password) : QString());
    QJsonArray outputs;
    for (const OutputInfo& out : info.outputList)
        outputs.append(QJsonArray{out.outputId, out.outputNo, out.outputSpare});
    o.insert(QStringLiteral("outputList"), outputs);
    QJsonArray subs;
    for (const MatrixInfo& sub : info.subMatrixList)
        subs.append(toJson(sub, seal));
    o.insert(QStringLiteral("subMatrixList"), subs);
    o.insert(QStringLiteral("column"), info.column);
    o.insert(QStringLiteral("row"), info.row);
    o.insert(QStringLiteral("extraValue"), info.extraValue);
    o.insert(QStringLiteral("channel"), info.channel);
    o.insert(QStringLiteral("channelCount"), info.channelCount);
    o.insert(QStringLiteral("activated"), info.activated);
    o.insert(QStringLiteral("connectStatus"), info.connectStatus);
    // As text: a double cannot carry every 64-bit value.
    o.insert(QStringLiteral("spare4"), QString::number(info.spare4));
    o.insert(QStringLiteral("version"), info.version);
    return o;
}

MatrixInfo RecordJson::matrixInfoFromJson(const QJsonObject& o, const PasswordCodec& open)
{
    MatrixInfo info;
    info.matrixType = MatrixType(intOf(o, QStringLiteral("matrixType"), info.matrixType));
    if (o.contains(QStringLiteral("deviceId")))
        info.deviceId = o.value(QStringLiteral("deviceId")).toString();
    info.ip = o.value(QStringLiteral("ip")).toString();
    info.spare1 = intOf(o, QStringLiteral("spare1"), 0);
    info.spare2 = intOf(o, QStringLiteral("spare2"), 0);
    info.spare3 = intOf(o, QStringLiteral("spare3"), 0);
    info.userName = o.value(QStringLiteral("userName")).toString();
    const QString sealed = o.value(SealedPasswordKey).toString();
    if (!sealed.isEmpty() && open)
        info.password = open(sealed);
    const QJsonArray outputs = o.value(QStringLiteral("outputList")).toArray();
    for (const QJsonValue& v : outputs) {
        const QJsonArray a = v.toArray();
        OutputInfo out;
        out.outputId = a.at(0).toInt();
        out.outputNo = a.at(1).toInt();
        out.outputSpare = a.at(2).toInt();
        info.outputList.append(out);
    }
    const QJsonArray subs = o.value(QStringLiteral("subMatrixList")).toArray();
    for (const QJsonValue& v : subs)
        info.subMatrixList.append(matrixInfoFromJson(v.toObject(), open));
    info.column = intOf(o, QStringLiteral("column"), info.column);
    info.row = intOf(o, QStringLiteral("row"), info.row);
    info.extraValue = intOf(o, QStringLiteral("extraValue"), info.extraValue);
    info.channel = intOf(o, QStringLiteral("channel"), info.channel);
    info.channelCount = intOf(o, QStringLiteral("channelCount"), info.channelCount);
    info.activated = o.value(QStringLiteral("activated")).toBool();
    info.connectStatus = intOf(o, QStringLiteral("connectStatus"), info.connectStatus);
    info.spare4 = o.value(QStringLiteral("spare4")).toString().toLongLong();
    info.version = o.value(QStringLiteral("version")).toString();
    return info;
}

QJsonObject RecordJson::toJson(const TvWallManagement& wall, const PasswordCodec& seal)
{
    QJsonObject o;
    o.insert(QStringLiteral("tvWallName"), wall.tvWallName);
    o.insert(QStringLiteral("mainIp"), wall.mainIp);
    o.insert(QStringLiteral("row"), wall.row);
    o.insert(QStringLiteral("col"), wall.col);
    QJsonArray screens;
    for (const MatrixInfo& screen : wall.matrixInfoList)
        screens.append(toJson(screen, seal));
    o.insert(QStringLiteral("matrixInfoList"), screens);
    o.insert(QStringLiteral("mainMatrix"), toJson(wall.mainMatrix, seal));
    o.insert(QStringLiteral("connected"), wall.connected);
    return o;
}

TvWallManagement RecordJson::tvWallFromJson(const QJsonObject& o, const PasswordCodec& open)
{
    TvWallManagement wall;
    wall.tvWallName = o.value(QStringLiteral("tvWallName")).toString();
    wall.mainIp = o.value(QStringLiteral("mainIp")).toString();
    wall.row = intOf(o, QStringLiteral("row"), 0);
    wall.col = intOf(o, QStringLiteral("col"), 0);
    const QJsonArray screens = o.value(QStringLiteral("matrixInfoList")).toArray();
    for (const QJsonValue& v : screens)
        wall.matrixInfoList.append(matrixInfoFromJson(v.toObject(), open));
    wall.mainMatrix = matrixInfoFromJson(o.value(QStringLiteral("mainMatrix")).toObject(), open);
    wall.connected = o.value(QStringLiteral("connected")).toBool();
    return wall;
}

QJsonObject RecordJson::toJson(const ScreenColor& color)
{
    QJsonObject o;
    o.insert(QStringLiteral("brightness"), color.brightness);
    o.insert(QStringLiteral("contrast"), color.contrast);
    o.insert(QStringLiteral("chroma"), color.chroma);
    o.insert(QStringLiteral("sharpness"), color.sharpness);
    return o;
}

ScreenColor RecordJson::screenColorFromJson(const QJsonObject& o)
{
    ScreenColor color;
    color.brightness = intOf(o, QStringLiteral("brightness"), color.brightness);
    color.contrast = intOf(o, QStringLiteral("contrast"), color.contrast);
    color.chroma = intOf(o, QStringLiteral("chroma"), color.chroma);
    color.sharpness = intOf(o, QStringLiteral("sharpness"), color.sharpness);
    return color;
}

} // namespace pral_matrix
