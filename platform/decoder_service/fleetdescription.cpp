#include "fleetdescription.h"

#include "networktext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>

namespace pral_matrix {

bool FleetDescription::parse(const QByteArray& json, FleetDescription* out, QString* error)
{
    QString& why = *error;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        why = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                           : QStringLiteral("the document is not an object");
        return false;
    }
    const QJsonObject root = doc.object();
    FleetDescription fleet;
    fleet.latencyMs = qMax(0, root.value(QStringLiteral("latencyMs")).toInt(0));
    fleet.upgradeStepMs = qMax(0, root.value(QStringLiteral("upgradeStepMs")).toInt(200));
    fleet.lockThreshold = qMax(1, root.value(QStringLiteral("lockThreshold")).toInt(5));
    fleet.lockMinutes = qMax(1, root.value(QStringLiteral("lockMinutes")).toInt(30));
    fleet.logHistoryDays =
        qBound(0, root.value(QStringLiteral("logHistoryDays")).toInt(30), int(DecoderLog::MaxHistoryDays));
    fleet.logHistoryPerDay = qBound(0, root.value(QStringLiteral("logHistoryPerDay")).toInt(24),
                                    int(DecoderLog::MaxHistoryPerDay));

    const QJsonArray list = root.value(QStringLiteral("decoders")).toArray();
    QSet<QString> ids;
    QMap<QString, SimulatedDecoder*> byIp;
    QMap<QString, QJsonObject> walls;
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject o = list.at(i).toObject();
        SimulatedDecoder::Setup d;
        d.ip = o.value(QStringLiteral("ip")).toString();
        d.deviceId = o.value(QStringLiteral("deviceId")).toString();
        d.type = o.value(QStringLiteral("type")).toInt(0);
        const QString where = QStringLiteral("decoder %1").arg(i + 1);
        if (!NetworkText::isIpv4(d.ip)) {
            why = QStringLiteral("%1: \"ip\" is not an IPv4 address").arg(where);
            return false;
        }
        if (byIp.contains(d.ip)) {
            why = QStringLiteral("%1: address %2 is used twice").arg(where, d.ip);
            return false;
        }
        if (d.deviceId.isEmpty() || ids.contains(d.deviceId)) {
            why = QStringLiteral("%1: \"deviceId\" is missing or used twice").arg(where);
            return false;
        }
        if (d.type != MATRIX_TYPE_SINGLE_OUTPUT && d.type != MATRIX_TYPE_MULTI_OUTPUT) {
            why = QStringLiteral("%1: \"type\" must be 1 or 3").arg(where);
            return false;
        }
        d.channels = d.type == MATRIX_TYPE_SINGLE_OUTPUT ? 1 : o.value(QStringLiteral("channels")).toInt(1);
        if (d.channels < 1 || d.channels > 64) {
            why = QStringLiteral("%1: \"channels\" must be 1 to 64").arg(where);
            return false;
        }
        d.outputBase = o.value(QStringLiteral("outputBase")).toInt(100 * (i + 1));
        d.model = o.value(QStringLiteral("model"))
                      .toString(QStringLiteral("TVD-%1").arg(d.channels, 2, 10, QLatin1Char('0')));
        d.version = o.value(QStringLiteral("version")).toString(QStringLiteral("V1.0.0"));
        d.userName = o.value(QStringLiteral("userName")).toString(QStringLiteral("admin"));
        d.activated = o.value(QStringLiteral("activated")).toBool(true);
        d.password = d.activated ? o.value(QStringLiteral("password")).toString() : QString();
        d.mask = o.value(QStringLiteral("mask")).toString(QStringLiteral("255.255.255.0"));
        d.gateway = o.value(QStringLiteral("gateway")).toString(QStringLiteral("192.0.2.1"));
        d.dns = o.value(QStringLiteral("dns")).toString();
        d.ipv6 = o.value(QStringLiteral("ipv6")).toString();
        d.ipv6Prefix = o.value(QStringLiteral("ipv6Prefix")).toInt(d.ipv6.isEmpty() ? 0 : 64);
        d.ipv6Gateway = o.value(QStringLiteral("ipv6Gateway")).toString();
        ids.insert(d.deviceId);
        if (o.contains(QStringLiteral("tvWall")))
            walls.insert(d.ip, o.value(QStringLiteral("tvWall")).toObject());
        fleet.decoders.push_back(std::make_unique<SimulatedDecoder>(d));
        byIp.insert(d.ip, fleet.decoders.back().get());
    }
    const SimulatedDecoder::OutputLookup outputs = [&byIp](const QString& ip, int channel) {
        const SimulatedDecoder* d = byIp.value(ip);
        return d && channel >= 1 && channel <= d->channels() ? d->type() : 0;
    };
    // Walls last: their screens name outputs of any decoder of the fleet.
    for (auto it = walls.constBegin(); it != walls.constEnd(); ++it) {
        const QJsonObject w = it.value();
        const int rows = w.value(QStringLiteral("rows")).toInt();
        const int cols = w.value(QStringLiteral("cols")).toInt();
        MatrixInfoList screens;
        const QJsonArray outputIds = w.value(QStringLiteral("screens")).toArray();
        for (int i = 0; i < outputIds.size(); ++i) {
            const QStringList parts = outputIds.at(i).toString().split(QLatin1Char('-'));
            MatrixInfo s;
            s.ip = parts.value(0);
            s.channel = parts.size() > 1 ? parts.at(1).toInt() : 1;
            s.row = cols > 0 ? i / cols : 0;
            s.column = cols > 0 ? i % cols : 0;
            screens.append(s);
        }
        SimulatedDecoder::Wall wall;
        const int result =
            SimulatedDecoder::checkLayout(MATRIX_TYPE_MULTI_OUTPUT, rows, cols, screens,
                                          w.value(QStringLiteral("name")).toString(), outputs, &wall);
        if (result == RESULT_OK)
            byIp.value(it.key())->setInitialWall(wall);
        if (result != RESULT_OK) {
            why = QStringLiteral("the TV wall of %1 does not fit the fleet").arg(it.key());
            return false;
        }
    }
    *out = std::move(fleet);
    return true;
}

} // namespace pral_matrix
