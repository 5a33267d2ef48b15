#include "recordjson.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <cmath>
#include <limits>

namespace pral_matrix {

namespace {

const QString SealedPasswordKey = QStringLiteral("passwordSealed");
/** The largest wall has 10 x 10 screens; a copy with more was not written by us. */
constexpr int MaxCopyScreens = 100;

bool isUnsetDeviceId(const QString& id)
{
    return id == MatrixInfo().deviceId;
}

int intOf(const QJsonObject& o, const QString& key, int fallback)
{
    const QJsonValue v = o.value(key);
    return v.isDouble() ? v.toInt(fallback) : fallback;
}

/** Reads the fields of one object; every value that is there but unusable becomes an issue. */
class FieldReader
{
public:
    FieldReader(const QJsonObject& object, const QString& path, QStringList* issues)
        : o(object)
        , where(path)
        , issues(issues)
    {
    }

    // value() alone, never contains(): on an object with a key given twice the two can disagree.
    int integer(const QString& key, int fallback) const
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return fallback;
        const double d = v.toDouble();
        if (v.isDouble() && std::floor(d) == d && d >= std::numeric_limits<int32_t>::min() &&
            d <= std::numeric_limits<int32_t>::max())
            return int(d);
        lost(key, QCoreApplication::translate("pral_matrix::RecordJson", "is not a whole number in range"));
        return fallback;
    }

    QString text(const QString& key, const QString& fallback = QString()) const
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isString()) {
            lost(key, QCoreApplication::translate("pral_matrix::RecordJson", "is not a text"));
            return fallback;
        }
        // Half a surrogate pair survives the parser but not the next write: what is kept is what is written.
        const QString text = v.toString();
        const QString written = QString::fromUtf8(text.toUtf8());
        if (written != text)
            lost(key, QCoreApplication::translate("pral_matrix::RecordJson", "is not valid text"));
        return written;
    }

    bool flag(const QString& key) const
    {
        const QJsonValue v = o.value(key);
        if (!v.isUndefined() && !v.isBool())
            lost(key, QCoreApplication::translate("pral_matrix::RecordJson", "is not true or false"));
        return v.toBool();
    }

    QJsonArray array(const QString& key) const
    {
        const QJsonValue v = o.value(key);
        if (!v.isUndefined() && !v.isArray())
            lost(key, QCoreApplication::translate("pral_matrix::RecordJson", "is not a list"));
        return v.toArray();
    }

    QJsonObject object(const QString& key) const
    {
        const QJsonValue v = o.value(key);
        if (!v.isUndefined() && !v.isObject())
            lost(key, QCoreApplication::translate("pral_matrix::RecordJson", "is not an object"));
        return v.toObject();
    }

    void lost(const QString& key, const QString& why) const
    {
        if (issues)
            issues->append(
                QCoreApplication::translate("pral_matrix::RecordJson", "%1: \"%2\" %3").arg(where, key, why));
    }

private:
    const QJsonObject& o;
    QString where;
    QStringList* issues;
};

} // namespace

QByteArray RecordJson::passwordIdentity(const MatrixInfo& entry)
{
    // The address says where the password is sent, the device id which device it belongs to; a value
    // moved to another entry must match both to open.
    QByteArray identity = QByteArrayLiteral("tvwall decoder password\n");
    identity += entry.ip.toUtf8();
    identity += '\n';
    if (!isUnsetDeviceId(entry.deviceId))
        identity += entry.deviceId.toUtf8();
    return identity;
}

QJsonObject RecordJson::toJson(const MatrixInfo& info, const Sealer& seal, const QString& path)
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
    const QString sealed = seal ? seal(info, path) : QString();
    if (!sealed.isEmpty())
        o.insert(SealedPasswordKey, sealed);
    QJsonArray outputs;
    for (const OutputInfo& out : info.outputList)
        outputs.append(QJsonArray{out.outputId, out.outputNo, out.outputSpare});
    o.insert(QStringLiteral("outputList"), outputs);
    QJsonArray subs;
    for (int i = 0; i < info.subMatrixList.size(); ++i)
        subs.append(toJson(info.subMatrixList.at(i), seal, path + QStringLiteral("/sub %1").arg(i + 1)));
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

MatrixInfo RecordJson::matrixInfoFromJson(const QJsonObject& o, const Opener& open, const QString& path,
                                          QStringList* issues)
{
    const FieldReader read(o, path, issues);
    MatrixInfo info;
    info.matrixType = MatrixType(read.integer(QStringLiteral("matrixType"), info.matrixType));
    info.deviceId = read.text(QStringLiteral("deviceId"), info.deviceId);
    info.ip = read.text(QStringLiteral("ip"));
    info.spare1 = read.integer(QStringLiteral("spare1"), 0);
    info.spare2 = read.integer(QStringLiteral("spare2"), 0);
    info.spare3 = read.integer(QStringLiteral("spare3"), 0);
    info.userName = read.text(QStringLiteral("userName"));
    const QJsonArray outputs = read.array(QStringLiteral("outputList"));
    for (int i = 0; i < outputs.size(); ++i) {
        const QJsonArray a = outputs.at(i).toArray();
        const bool whole = a.size() == 3 && a.at(0).isDouble() && a.at(1).isDouble() && a.at(2).isDouble();
        if (!whole) {
            read.lost(QStringLiteral("outputList"),
                      QCoreApplication::translate("pral_matrix::RecordJson", "entry %1 is not three numbers")
                          .arg(i + 1));
            continue;
        }
        info.outputList.append(OutputInfo{a.at(0).toInt(), a.at(1).toInt(), a.at(2).toInt()});
    }
    const QJsonArray subs = read.array(QStringLiteral("subMatrixList"));
    for (int i = 0; i < subs.size(); ++i) {
        const QString subPath = path + QStringLiteral("/sub %1").arg(i + 1);
        if (!subs.at(i).isObject()) {
            read.lost(QStringLiteral("subMatrixList"),
                      QCoreApplication::translate("pral_matrix::RecordJson", "entry %1 is not an object")
                          .arg(i + 1));
            continue;
        }
        info.subMatrixList.append(matrixInfoFromJson(subs.at(i).toObject(), open, subPath, issues));
    }
    info.column = read.integer(QStringLiteral("column"), info.column);
    info.row = read.integer(QStringLiteral("row"), info.row);
    info.extraValue = read.integer(QStringLiteral("extraValue"), info.extraValue);
    info.channel = read.integer(QStringLiteral("channel"), info.channel);
    info.channelCount = read.integer(QStringLiteral("channelCount"), info.channelCount);
    info.activated = read.flag(QStringLiteral("activated"));
    info.connectStatus = read.integer(QStringLiteral("connectStatus"), info.connectStatus);
    const QString spare4 = read.text(QStringLiteral("spare4"), QStringLiteral("0"));
    bool numeric = false;
    info.spare4 = spare4.toLongLong(&numeric);
    if (!numeric)
        read.lost(QStringLiteral("spare4"),
                  QCoreApplication::translate("pral_matrix::RecordJson", "is not a 64-bit number"));
    info.version = read.text(QStringLiteral("version"));
    // Last: the opener binds the password to the entry as read.
    const QString sealed = read.text(SealedPasswordKey);
    if (!sealed.isEmpty() && open)
        info.password = open(sealed, info, path);
    return info;
}

QJsonObject RecordJson::toJson(const TvWallManagement& wall, const Sealer& seal)
{
    QJsonObject o;
    o.insert(QStringLiteral("tvWallName"), wall.tvWallName);
    o.insert(QStringLiteral("mainIp"), wall.mainIp);
    o.insert(QStringLiteral("row"), wall.row);
    o.insert(QStringLiteral("col"), wall.col);
    QJsonArray screens;
    for (int i = 0; i < wall.matrixInfoList.size(); ++i)
        screens.append(toJson(wall.matrixInfoList.at(i), seal,
                              wall.tvWallName + QStringLiteral("/screen %1").arg(i + 1)));
    o.insert(QStringLiteral("matrixInfoList"), screens);
    o.insert(QStringLiteral("mainMatrix"),
             toJson(wall.mainMatrix, seal, wall.tvWallName + QStringLiteral("/main")));
    o.insert(QStringLiteral("connected"), wall.connected);
    return o;
}

TvWallManagement RecordJson::tvWallFromJson(const QJsonObject& o, const Opener& open, QStringList* issues)
{
    TvWallManagement wall;
    wall.tvWallName =
        FieldReader(o, QCoreApplication::translate("pral_matrix::RecordJson", "a TV wall"), issues)
            .text(QStringLiteral("tvWallName"));
    const FieldReader read(o, wall.tvWallName, issues);
    wall.mainIp = read.text(QStringLiteral("mainIp"));
    wall.row = read.integer(QStringLiteral("row"), 0);
    wall.col = read.integer(QStringLiteral("col"), 0);
    const QJsonArray screens = read.array(QStringLiteral("matrixInfoList"));
    for (int i = 0; i < screens.size(); ++i) {
        if (!screens.at(i).isObject()) {
            read.lost(QStringLiteral("matrixInfoList"),
                      QCoreApplication::translate("pral_matrix::RecordJson", "screen %1 is not an object")
                          .arg(i + 1));
            continue;
        }
        wall.matrixInfoList.append(
            matrixInfoFromJson(screens.at(i).toObject(), open,
                               wall.tvWallName + QStringLiteral("/screen %1").arg(i + 1), issues));
    }
    wall.mainMatrix = matrixInfoFromJson(read.object(QStringLiteral("mainMatrix")), open,
                                         wall.tvWallName + QStringLiteral("/main"), issues);
    wall.connected = read.flag(QStringLiteral("connected"));
    return wall;
}

QJsonObject RecordJson::toJson(const DecoderWallCopy& copy)
{
    QJsonArray screens;
    for (const MatrixInfo& s : copy.wall.matrixInfoList)
        screens.append(QJsonObject{{QStringLiteral("matrixType"), int(s.matrixType)},
                                   {QStringLiteral("ip"), s.ip},
                                   {QStringLiteral("channel"), s.channel},
                                   {QStringLiteral("row"), s.row},
                                   {QStringLiteral("column"), s.column}});
    return QJsonObject{{QStringLiteral("tvWallName"), copy.wall.tvWallName},
                       {QStringLiteral("mainIp"), copy.wall.mainIp},
                       {QStringLiteral("mainType"), int(copy.wall.mainMatrix.matrixType)},
                       {QStringLiteral("row"), copy.wall.row},
                       {QStringLiteral("col"), copy.wall.col},
                       {QStringLiteral("screens"), screens},
                       {QStringLiteral("changedOnDecoder"), copy.changedOnDecoder}};
}

DecoderWallCopy RecordJson::wallCopyFromJson(const QJsonObject& o, const QString& path, QStringList* issues)
{
    const FieldReader read(o, path, issues);
    DecoderWallCopy copy;
    copy.kept = true;
    copy.wall.tvWallName = read.text(QStringLiteral("tvWallName"));
    copy.wall.mainIp = read.text(QStringLiteral("mainIp"));
    copy.wall.mainMatrix.matrixType =
        MatrixType(read.integer(QStringLiteral("mainType"), copy.wall.mainMatrix.matrixType));
    copy.wall.row = read.integer(QStringLiteral("row"), 0);
    copy.wall.col = read.integer(QStringLiteral("col"), 0);
    copy.changedOnDecoder = read.flag(QStringLiteral("changedOnDecoder"));
    const QJsonArray screens = read.array(QStringLiteral("screens"));
    if (screens.size() > MaxCopyScreens) {
        read.lost(QStringLiteral("screens"),
                  QCoreApplication::translate("pral_matrix::RecordJson", "has more than %1 screens")
                      .arg(MaxCopyScreens));
        return DecoderWallCopy();
    }
    for (int i = 0; i < screens.size(); ++i) {
        if (!screens.at(i).isObject()) {
            read.lost(QStringLiteral("screens"),
                      QCoreApplication::translate("pral_matrix::RecordJson", "screen %1 is not an object")
                          .arg(i + 1));
            return DecoderWallCopy();
        }
        const QJsonObject s = screens.at(i).toObject();
        const FieldReader field(s, path + QStringLiteral("/screen %1").arg(i + 1), issues);
        MatrixInfo screen;
        screen.matrixType = MatrixType(field.integer(QStringLiteral("matrixType"), screen.matrixType));
        screen.ip = field.text(QStringLiteral("ip"));
        screen.channel = field.integer(QStringLiteral("channel"), screen.channel);
        screen.row = field.integer(QStringLiteral("row"), screen.row);
        screen.column = field.integer(QStringLiteral("column"), screen.column);
        copy.wall.matrixInfoList.append(screen);
    }
    return copy;
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
