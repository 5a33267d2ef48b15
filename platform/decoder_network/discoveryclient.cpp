#include "discoveryclient.h"

#include "devicecodec.h"
#include "extensionserviceclient.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "onvifrequest.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>
#include <QThreadPool>

namespace pral_matrix {

namespace {

// Devices described at once during a search: a few hundred cameras answer within the search's wait.
constexpr int DescribeThreads = 16;
// One anonymous question to a device that answered a probe; a device that answers probes and not this
// is listed from its scopes.
constexpr int DescribeTimeoutMs = 2000;

/** What GetServices (or GetCapabilities) tells anyone about a device's roles. */
struct Roles
{
    bool answered = false;
    bool display = false;
    bool extension = false;
    int videoOutputs = -1;
};

Roles rolesFromServices(const SoapEnvelope::Message& message)
{
    Roles r;
    r.answered = true;
    for (const XmlNode* s : message.payload.all(Ns::Device, QStringLiteral("Service"))) {
        const QString ns = s->childText(Ns::Device, QStringLiteral("Namespace")).trimmed();
        const XmlNode& caps = s->child(Ns::Device, QStringLiteral("Capabilities"));
        if (ns == Ns::Display)
            r.display = true;
        else if (ns == Ns::Wall)
            r.extension = true;
        else if (ns == Ns::DeviceIo)
            r.videoOutputs = caps.child(Ns::DeviceIo, QStringLiteral("Capabilities"))
                                 .attributeInt(QStringLiteral("VideoOutputs"), -1);
    }
    return r;
}

Roles rolesFromCapabilities(const SoapEnvelope::Message& message)
{
    Roles r;
    r.answered = true;
    const DeviceCodec::XAddrs xaddrs = DeviceCodec::readCapabilities(message.payload);
    r.display = xaddrs.contains(Ns::Display);
    r.videoOutputs = message.payload.child(Ns::Device, QStringLiteral("Capabilities"))
                         .child(Ns::Schema, QStringLiteral("Extension"))
                         .child(Ns::Schema, QStringLiteral("DeviceIO"))
                         .childInt(Ns::Schema, QStringLiteral("VideoOutputs"), -1);
    return r;
}

/** A device id for a device whose serial number nobody may read: from its endpoint, which WS-Discovery keeps
 * for the device's life. */
QString idFromEndpoint(const QString& endpoint, const QString& ip)
{
    if (endpoint.isEmpty())
        return QStringLiteral("ip-") + ip;
    QString key = DiscoveryClient::endpointKey(endpoint);
    key.remove(QLatin1Char('-'));
    static const QRegularExpression uuid(QStringLiteral("^[0-9a-f]{32}$"));
    if (uuid.match(key).hasMatch())
        return key.left(OnvifCodec::MaxDeviceIdBytes);
    return QString::fromLatin1(QCryptographicHash::hash(endpoint.toUtf8(), QCryptographicHash::Sha1)
                                   .toHex()
                                   .left(OnvifCodec::MaxDeviceIdBytes));
}

} // namespace

DiscoveryClient::DiscoveryClient(OnvifTransport& transport)
    : transport(transport)
{
}

QString DiscoveryClient::endpointKey(const QString& endpoint)
{
    QString key = endpoint.trimmed().toLower();
    for (const QString& prefix : {QStringLiteral("urn:uuid:"), QStringLiteral("uuid:")}) {
        if (key.startsWith(prefix))
            return key.mid(prefix.size());
    }
    return key;
}

DeviceDiscovery::Settings DiscoveryClient::settingsFor(const QStringList& targets) const
{
    const OnvifBackend::Options& opts = transport.options();
    DeviceDiscovery::Settings settings;
    settings.targets = targets;
    settings.port = opts.discoveryPort;
    settings.waitMs = opts.discoveryWaitMs;
    return settings;
}

bool DiscoveryClient::describe(DeviceDiscovery::Answer* a, QList<DeviceDiscovery::Notice>* notices)
{
    MatrixInfo& info = a->info;
    const QString ip = info.ip;
    const OnvifTransport::Quiet quiet;
    // Only what anyone may ask, and only where the device answered from: nothing secret goes anywhere.
    Roles roles;
    const OnvifTransport::Call services =
        transport.soapAt(a->xaddr,
                         onvifRequest(Ns::Device, QStringLiteral("GetServices"),
                                      {{QStringLiteral("IncludeCapability"), QStringLiteral("true")}}),
                         nullptr, DescribeTimeoutMs);
    if (services.ok())
        roles = rolesFromServices(services.message);
    // Devices of ONVIF's first versions know only GetCapabilities; others give their outputs only there.
    if (!services.ok() || roles.videoOutputs < 0) {
        const OnvifTransport::Call capabilities =
            transport.soapAt(a->xaddr,
                             onvifRequest(Ns::Device, QStringLiteral("GetCapabilities"),
                                          {{QStringLiteral("Category"), QStringLiteral("All")}}),
                             nullptr, DescribeTimeoutMs);
        if (capabilities.ok()) {
            const Roles more = rolesFromCapabilities(capabilities.message);
            roles.answered = true;
            roles.display = roles.display || more.display;
            roles.videoOutputs = more.videoOutputs;
        }
    }
    const bool displayType = a->types.contains(QStringLiteral("NetworkVideoDisplay"));
    const bool display = roles.display || roles.videoOutputs > 0 || (!roles.answered && displayType);
    if (roles.videoOutputs > OnvifCodec::MaxChannels) {
        notices->append({ip, tr("Decoder(%1) reported %2, which this client cannot hold; it is not listed.")
                                 .arg(ip, tr("%1 video outputs (at most %2)")
                                              .arg(roles.videoOutputs)
                                              .arg(OnvifCodec::MaxChannels))});
        return false;
    }
    const int outputs = display ? qMax(1, roles.videoOutputs) : 0;
    info.matrixType = !display      ? MATRIX_TYPE_NO_OUTPUT
                      : outputs > 1 ? MATRIX_TYPE_MULTI_OUTPUT
                                    : MATRIX_TYPE_SINGLE_OUTPUT;
    info.channelCount = outputs;
    info.outputList.clear();
    for (int n = 1; n <= outputs; ++n)
        info.outputList.append(OutputInfo{n, n, 0});

    QString serial;
    const OnvifTransport::Call information =
        transport.soapAt(a->xaddr, onvifRequest(Ns::Device, QStringLiteral("GetDeviceInformation")), nullptr,
                         DescribeTimeoutMs);
    if (information.ok()) {
        serial = information.message.payload.childText(Ns::Device, QStringLiteral("SerialNumber")).trimmed();
        const QString version =
            information.message.payload.childText(Ns::Device, QStringLiteral("FirmwareVersion")).trimmed();
        QString why;
        if (OnvifCodec::checkVersion(version, &why))
            info.version = version;
    }
    // ONVIF asks nobody for credentials before a device has its first user: one that tells anyone who its
    // users are is in its factory state, waiting to be given an administrator.
    const OnvifTransport::Call users = transport.soapAt(
        a->xaddr, onvifRequest(Ns::Device, QStringLiteral("GetUsers")), nullptr, DescribeTimeoutMs);
    info.activated = !users.ok();
    MatrixInfo checked = info;
    checked.deviceId = serial;
    QString why;
    info.deviceId = !serial.isEmpty() && OnvifCodec::checkDecoder(checked, &why)
                        ? serial
                        : idFromEndpoint(a->endpoint, ip);
    if (!OnvifCodec::checkDecoder(info, &why)) {
        notices->append(
            {ip,
             tr("Decoder(%1) reported %2, which this client cannot hold; it is not listed.").arg(ip, why)});
        return false;
    }
    return true;
}

void DiscoveryClient::describeAll(QList<DeviceDiscovery::Answer>* answers,
                                  QList<DeviceDiscovery::Notice>* notices)
{
    QThreadPool pool;
    pool.setMaxThreadCount(DescribeThreads);
    QMutex noticesMutex;
    QVector<char> keep(answers->size(), 1);
    for (int i = 0; i < answers->size(); ++i) {
        if (!(*answers)[i].standard)
            continue;
        DeviceDiscovery::Answer* a = &(*answers)[i];
        char* kept = &keep[i];
        pool.start([this, a, kept, notices, &noticesMutex] {
            QList<DeviceDiscovery::Notice> told;
            *kept = describe(a, &told) ? 1 : 0;
            QMutexLocker lock(&noticesMutex);
            *notices += told;
        });
    }
    pool.waitForDone();
    for (int i = answers->size() - 1; i >= 0; --i) {
        if (!keep.at(i))
            answers->removeAt(i);
    }
}

MatrixInfoMap DiscoveryClient::search()
{
    DeviceDiscovery::Settings settings = settingsFor(transport.options().targets);
    settings.multicast = transport.options().multicast;
    QList<DeviceDiscovery::Notice> notices;
    QList<DeviceDiscovery::Answer> answers =
        DeviceDiscovery::collect(settings, &transport.abandonment(), &notices);
    describeAll(&answers, &notices);
    DeviceDiscovery::Result result = DeviceDiscovery::identify(answers);
    result.notices = notices + result.notices;
    MatrixInfoMap found;
    {
        QMutexLocker lock(&mutex);
        // The last search is what activation trusts: an id seen before but not now is looked for again.
        deviceIds.clear();
        idAt.clear();
        endpointAt.clear();
        conflicts = result.conflicts;
        for (const DeviceDiscovery::Answer& a : result.devices) {
            found.insert(a.info.ip, a.info);
            transport.setDeviceService(a.info.ip, a.xaddr, a.info.deviceId);
            idAt.insert(a.info.ip, a.info.deviceId);
            if (!a.endpoint.isEmpty())
                endpointAt.insert(a.info.ip, endpointKey(a.endpoint));
            if (!conflicts.contains(a.info.deviceId))
                deviceIds.insert(a.info.deviceId, a.info.ip);
        }
    }
    // A host that answers a search a hundred times is one notice, not a hundred.
    QSet<QString> told;
    for (const DeviceDiscovery::Notice& n : qAsConst(result.notices)) {
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

int DiscoveryClient::confirmIdentity(const QString& ip, const QString& deviceId, const QString& endpoint)
{
    const QString key = endpointKey(endpoint);
    {
        QMutexLocker lock(&mutex);
        if (conflicts.contains(deviceId))
            return OnvifBackend::ResultIdentityConflict;
        if ((!deviceId.isEmpty() && idAt.value(ip) == deviceId) ||
            (!key.isEmpty() && endpointAt.value(ip) == key))
            return RESULT_OK;
    }
    // Not seen there by the last search: the address itself is asked who it is.
    QList<DeviceDiscovery::Notice> notices;
    QList<DeviceDiscovery::Answer> answers =
        DeviceDiscovery::collect(settingsFor(QStringList{ip}), &transport.abandonment(), &notices);
    for (DeviceDiscovery::Answer& a : answers) {
        if (a.info.ip != ip)
            continue;
        const bool sameEndpoint = !key.isEmpty() && endpointKey(a.endpoint) == key;
        if (!sameEndpoint && a.standard && !describe(&a, &notices))
            continue;
        if (sameEndpoint || deviceId.isEmpty() || a.info.deviceId == deviceId) {
            QMutexLocker lock(&mutex);
            idAt.insert(ip, a.info.deviceId);
            return RESULT_OK;
        }
    }
    return OnvifBackend::ResultIdentityUnconfirmed;
}

} // namespace pral_matrix
