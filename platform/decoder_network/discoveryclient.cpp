#include "discoveryclient.h"

#include "devicediscovery.h"

#include <QSet>

namespace pral_matrix {

DiscoveryClient::DiscoveryClient(OnvifTransport& transport)
    : transport(transport)
{
}

MatrixInfoMap DiscoveryClient::search()
{
    const OnvifBackend::Options& opts = transport.options();
    DeviceDiscovery::Settings settings;
    settings.targets = opts.targets;
    settings.port = opts.discoveryPort;
    settings.waitMs = opts.discoveryWaitMs;
    settings.multicast = opts.multicast;
    const DeviceDiscovery::Result result = DeviceDiscovery::run(settings, &transport.abandonment());
    MatrixInfoMap found;
    {
        QMutexLocker lock(&mutex);
        // The last search is what activation trusts: an id seen before but not now is looked for again.
        deviceIds.clear();
        idAt.clear();
        conflicts = result.conflicts;
        for (const DeviceDiscovery::Answer& a : result.devices) {
            found.insert(a.info.ip, a.info);
            transport.setPort(a.info.ip, a.httpPort);
            idAt.insert(a.info.ip, a.info.deviceId);
            if (!conflicts.contains(a.info.deviceId))
                deviceIds.insert(a.info.deviceId, a.info.ip);
        }
    }
    // A host that answers a search a hundred times is one notice, not a hundred.
    QSet<QString> told;
    for (const DeviceDiscovery::Notice& n : result.notices) {
        if (!told.contains(n.text)) {
            told.insert(n.text);
            transport.notice(n.ip, n.text);
        }
    }
    return found;
}

QString DiscoveryClient::addressOf(const QString& deviceId) const
{
    QMutexLocker lock(&mutex);
    return conflicts.contains(deviceId) ? QString() : deviceIds.value(deviceId);
}

QStringList DiscoveryClient::claimants(const QString& deviceId) const
{
    QMutexLocker lock(&mutex);
    return conflicts.value(deviceId);
}

int DiscoveryClient::confirmIdentity(const QString& ip, const QString& deviceId)
{
    {
        QMutexLocker lock(&mutex);
        if (conflicts.contains(deviceId))
            return OnvifBackend::ResultIdentityConflict;
        if (!deviceId.isEmpty() && idAt.value(ip) == deviceId)
            return RESULT_OK;
    }
    // Not seen there by the last search: the address itself is asked who it is.
    DeviceDiscovery::Settings settings;
    settings.targets = QStringList{ip};
    settings.port = transport.options().discoveryPort;
    settings.waitMs = transport.options().discoveryWaitMs;
    const DeviceDiscovery::Result result = DeviceDiscovery::run(settings, &transport.abandonment());
    for (const DeviceDiscovery::Answer& a : result.devices) {
        if (a.info.ip == ip && (deviceId.isEmpty() || a.info.deviceId == deviceId)) {
            QMutexLocker lock(&mutex);
            idAt.insert(ip, a.info.deviceId);
            return RESULT_OK;
        }
    }
    return OnvifBackend::ResultIdentityUnconfirmed;
}

} // namespace pral_matrix
