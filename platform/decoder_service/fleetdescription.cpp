#include "fleetdescription.h"

#include "networktext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>

#include <cmath>
#include <functional>
#include <limits>

namespace pral_matrix {

namespace {

// The longest text a character field of a record holds: its size less the NUL.
constexpr int Field32 = 31;
constexpr int MaxWallNameBytes = 20;
constexpr int MaxChannels = 64;

/** Reads the members of one object, each checked against what its field holds; the first fault is kept. */
class Reader
{
public:
    Reader(const QJsonObject& object, const QString& where, QString* error)
        : object(object)
        , where(where)
        , error(error)
    {
    }

    void setWhere(const QString& place) { where = place; }
    bool failed() const { return !error->isEmpty(); }

    /** false after a fault; a member that is absent gives fallback. */
    bool integer(const QString& key, qint64 fallback, qint64 min, qint64 max, qint64* out)
    {
        if (failed())
            return false;
        const QJsonValue v = object.value(key);
        if (v.isUndefined()) {
            *out = fallback;
            return true;
        }
        const double d = v.toDouble();
        // Beyond 2^53 a double no longer tells integers apart; every range here is far below.
        if (!v.isDouble() || d != std::floor(d) || d < double(min) || d > double(max))
            return fail(key, QStringLiteral("must be a whole number from %1 to %2").arg(min).arg(max), v);
        *out = qint64(d);
        return true;
    }

    bool integer(const QString& key, int fallback, int min, int max, int* out)
    {
        qint64 value = 0;
        if (!integer(key, qint64(fallback), qint64(min), qint64(max), &value))
            return false;
        *out = int(value);
        return true;
    }

    bool boolean(const QString& key, bool fallback, bool* out)
    {
        if (failed())
            return false;
        const QJsonValue v = object.value(key);
        if (!v.isUndefined() && !v.isBool())
            return fail(key, QStringLiteral("must be true or false"), v);
        *out = v.toBool(fallback);
        return true;
    }

    /**
     * A text of at most Field32 Latin-1 characters (or what valid accepts);
     * a missing member gives fallback, an empty one is accepted when mayBeEmpty.
     */
    bool text(const QString& key, const QString& fallback, bool mayBeEmpty, QString* out,
              const std::function<bool(const QString&)>& valid = nullptr, const QString& what = QString())
    {
        if (failed())
            return false;
        const QJsonValue v = object.value(key);
        if (v.isUndefined()) {
            *out = fallback;
            return true;
        }
        const QString t = v.toString();
        const QString rule = what.isEmpty() ? QStringLiteral("must be a text of %1 to %2 Latin-1 characters")
                                                  .arg(mayBeEmpty ? 0 : 1)
                                                  .arg(Field32)
                                            : what;
        if (!v.isString() || (t.isEmpty() && !mayBeEmpty))
            return fail(key, rule, v);
        if (!t.isEmpty() && (valid ? !valid(t) : !NetworkText::fits(t, Field32 + 1)))
            return fail(key, rule, v);
        *out = t;
        return true;
    }

    bool fail(const QString& key, const QString& rule, const QJsonValue& value = QJsonValue())
    {
        if (failed())
            return false;
        QString shown;
        if (value.isString())
            shown = QStringLiteral(", not \"%1\"").arg(value.toString());
        else if (value.isDouble())
            shown = QStringLiteral(", not %1").arg(value.toDouble(), 0, 'g', 17);
        *error = QStringLiteral("%1: \"%2\" %3%4").arg(where, key, rule, shown);
        return false;
    }

private:
    QJsonObject object;
    QString where;
    QString* error;
};

const QString Ipv4Rule = QStringLiteral("must be an IPv4 address of at most 15 characters");

bool readDecoder(const QJsonObject& o, int index, SimulatedDecoder::Setup* d, QString* error)
{
    Reader r(o, QStringLiteral("decoder %1").arg(index + 1), error);
    r.text(
        QStringLiteral("ip"), QString(), false, &d->ip,
        [](const QString& t) { return NetworkText::isIpv4(t); }, Ipv4Rule);
    if (!r.failed() && d->ip.isEmpty())
        r.fail(QStringLiteral("ip"), QStringLiteral("is missing"));
    r.setWhere(QStringLiteral("decoder %1 (%2)").arg(index + 1).arg(d->ip));
    r.text(QStringLiteral("deviceId"), QString(), false, &d->deviceId);
    if (!r.failed() && d->deviceId.isEmpty())
        r.fail(QStringLiteral("deviceId"), QStringLiteral("is missing"));
    r.integer(QStringLiteral("type"), 0, 1, 3, &d->type);
    if (!r.failed() && d->type != MATRIX_TYPE_SINGLE_OUTPUT && d->type != MATRIX_TYPE_MULTI_OUTPUT)
        r.fail(QStringLiteral("type"), QStringLiteral("must be 1 or 3"), o.value(QStringLiteral("type")));
    const bool single = d->type == MATRIX_TYPE_SINGLE_OUTPUT;
    r.integer(QStringLiteral("channels"), 1, 1, single ? 1 : MaxChannels, &d->channels);
    r.text(QStringLiteral("model"), QStringLiteral("TVD-%1").arg(d->channels, 2, 10, QLatin1Char('0')), false,
           &d->model);
    // Output n has the id outputBase + n: every one of them must be a valid int32.
    qint64 outputBase = 0;
    r.integer(QStringLiteral("outputBase"), 100 * qint64(index + 1), 0,
              qint64(std::numeric_limits<int32_t>::max()) - d->channels, &outputBase);
    d->outputBase = int(outputBase);
    r.text(QStringLiteral("version"), QStringLiteral("V1.0.0"), false, &d->version);
    r.text(QStringLiteral("userName"), QStringLiteral("admin"), false, &d->userName);
    r.boolean(QStringLiteral("activated"), true, &d->activated);
    QString password;
    r.text(QStringLiteral("password"), QString(), true, &password);
    // Activation refuses weak passwords: a description cannot give an activated decoder none at all.
    if (!r.failed() && d->activated && password.isEmpty())
        r.fail(QStringLiteral("password"), QStringLiteral("is required for an activated decoder"),
               o.value(QStringLiteral("password")));
    d->password = d->activated ? password : QString();
    r.text(
        QStringLiteral("mask"), QStringLiteral("255.255.255.0"), false, &d->mask,
        [](const QString& t) { return NetworkText::isNetmask(t); },
        QStringLiteral("must be an IPv4 netmask of at most 15 characters"));
    r.text(
        QStringLiteral("gateway"), QStringLiteral("192.0.2.1"), true, &d->gateway,
        [](const QString& t) { return NetworkText::isIpv4(t); }, Ipv4Rule);
    r.text(
        QStringLiteral("dns"), QString(), true, &d->dns,
        [](const QString& t) { return NetworkText::isIpv4(t); }, Ipv4Rule);
    const auto ipv6 = [](const QString& t) {
        return NetworkText::isIpv6(t);
    };
    const QString ipv6Rule = QStringLiteral("must be an IPv6 address of at most 47 characters");
    r.text(QStringLiteral("ipv6"), QString(), true, &d->ipv6, ipv6, ipv6Rule);
    r.integer(QStringLiteral("ipv6Prefix"), d->ipv6.isEmpty() ? 0 : 64, 0, 128, &d->ipv6Prefix);
    r.text(QStringLiteral("ipv6Gateway"), QString(), true, &d->ipv6Gateway, ipv6, ipv6Rule);
    r.boolean(QStringLiteral("confirmsAddress"), true, &d->confirmsAddress);
    return !r.failed();
}

/** The wall of a description, checked against the decoders described. */
bool readWall(const QJsonValue& value, const QString& where, const SimulatedDecoder::OutputLookup& outputs,
              SimulatedDecoder::Wall* wall, QString* error)
{
    if (!value.isObject()) {
        *error = QStringLiteral("%1: \"tvWall\" must be an object").arg(where);
        return false;
    }
    const QJsonObject w = value.toObject();
    Reader r(w, where + QStringLiteral(", \"tvWall\""), error);
    QString name;
    int rows = 0;
    int cols = 0;
    r.text(
        QStringLiteral("name"), QString(), false, &name,
        [](const QString& t) { return t.toUtf8().size() <= MaxWallNameBytes; },
        QStringLiteral("must be a name of 1 to %1 bytes in UTF-8").arg(MaxWallNameBytes));
    if (!r.failed() && name.trimmed().isEmpty())
        r.fail(QStringLiteral("name"), QStringLiteral("is missing"));
    r.integer(QStringLiteral("rows"), 0, 1, SimulatedDecoder::MaxGrid, &rows);
    r.integer(QStringLiteral("cols"), 0, 1, SimulatedDecoder::MaxGrid, &cols);
    if (!r.failed() && (rows == 0 || cols == 0))
        r.fail(QStringLiteral("rows"), QStringLiteral("and \"cols\" are required"));
    const QJsonArray ids = w.value(QStringLiteral("screens")).toArray();
    if (!r.failed() && ids.size() != rows * cols)
        r.fail(QStringLiteral("screens"),
               QStringLiteral("must name %1 outputs, one per screen").arg(rows * cols));
    if (r.failed())
        return false;
    MatrixInfoList screens;
    for (int i = 0; i < ids.size(); ++i) {
        const QString id = ids.at(i).toString();
        const QStringList parts = id.split(QLatin1Char('-'));
        bool numeric = parts.size() == 1;
        const int channel = parts.size() == 2 ? parts.at(1).toInt(&numeric) : 1;
        if (!ids.at(i).isString() || parts.size() > 2 || !numeric || !outputs(parts.at(0), channel))
            return r.fail(QStringLiteral("screens"),
                          QStringLiteral("entry %1 is no output of the fleet").arg(i + 1), ids.at(i));
        MatrixInfo s;
        s.ip = parts.at(0);
        s.channel = channel;
        s.row = i / cols;
        s.column = i % cols;
        screens.append(s);
    }
    QString why;
    if (SimulatedDecoder::checkLayout(MATRIX_TYPE_MULTI_OUTPUT, rows, cols, screens, name, outputs, wall,
                                      &why) != RESULT_OK)
        return r.fail(QStringLiteral("screens"), why);
    return true;
}

} // namespace

bool FleetDescription::parse(const QByteArray& json, FleetDescription* out, QString* error)
{
    QString& why = *error;
    why.clear();
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        why = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                           : QStringLiteral("the document is not an object");
        return false;
    }
    const QJsonObject root = doc.object();
    FleetDescription fleet;
    Reader r(root, QStringLiteral("fleet"), &why);
    r.integer(QStringLiteral("latencyMs"), 0, 0, 60000, &fleet.latencyMs);
    r.integer(QStringLiteral("upgradeStepMs"), 200, 0, 60000, &fleet.upgradeStepMs);
    r.integer(QStringLiteral("lockThreshold"), 5, 1, 100, &fleet.lockThreshold);
    r.integer(QStringLiteral("lockMinutes"), 30, 1, 24 * 60, &fleet.lockMinutes);
    r.integer(QStringLiteral("logHistoryDays"), 30, 0, DecoderLog::MaxHistoryDays, &fleet.logHistoryDays);
    r.integer(QStringLiteral("logHistoryPerDay"), 24, 0, DecoderLog::MaxHistoryPerDay,
              &fleet.logHistoryPerDay);
    r.integer(QStringLiteral("confirmWindowMs"), 60000, 0, 3600000, &fleet.confirmWindowMs);
    r.integer(QStringLiteral("restartMs"), 0, 0, 600000, &fleet.restartMs);
    const QJsonValue decoders = root.value(QStringLiteral("decoders"));
    if (!decoders.isUndefined() && !decoders.isArray())
        r.fail(QStringLiteral("decoders"), QStringLiteral("must be a list"));
    if (r.failed())
        return false;

    const QJsonArray list = decoders.toArray();
    QSet<QString> ids;
    QMap<QString, SimulatedDecoder*> byIp;
    for (int i = 0; i < list.size(); ++i) {
        if (!list.at(i).isObject()) {
            why = QStringLiteral("decoder %1 is not an object").arg(i + 1);
            return false;
        }
        SimulatedDecoder::Setup d;
        if (!readDecoder(list.at(i).toObject(), i, &d, &why))
            return false;
        if (byIp.contains(d.ip) || ids.contains(d.deviceId)) {
            why = QStringLiteral("decoder %1 (%2): %3 is used twice")
                      .arg(i + 1)
                      .arg(d.ip, byIp.contains(d.ip) ? QStringLiteral("the address")
                                                     : QStringLiteral("the device id %1").arg(d.deviceId));
            return false;
        }
        ids.insert(d.deviceId);
        fleet.decoders.push_back(std::make_unique<SimulatedDecoder>(d));
        byIp.insert(d.ip, fleet.decoders.back().get());
    }
    const SimulatedDecoder::OutputLookup outputs = [&byIp](const QString& ip, int channel) {
        const SimulatedDecoder* d = byIp.value(ip);
        return d && channel >= 1 && channel <= d->channels() ? d->type() : 0;
    };
    // Walls last: their screens name outputs of any decoder of the fleet.
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject o = list.at(i).toObject();
        if (!o.contains(QStringLiteral("tvWall")))
            continue;
        SimulatedDecoder* d = fleet.decoders.at(size_t(i)).get();
        SimulatedDecoder::Wall wall;
        if (!readWall(o.value(QStringLiteral("tvWall")),
                      QStringLiteral("decoder %1 (%2)").arg(i + 1).arg(d->ip()), outputs, &wall, &why))
            return false;
        d->setInitialWall(wall);
    }
    *out = std::move(fleet);
    return true;
}

} // namespace pral_matrix
