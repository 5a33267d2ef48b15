// OnvifBackend: whether a decoder is still there and still the one logged in to (the session check), and
// the looks at a decoder after a change (probe).

#include "onvifbackend.h"

#include "deviceserviceclient.h"
#include "extensionserviceclient.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "onvifrequest.h"
#include "onviftransport.h"

#include <QDateTime>
#include <QHostAddress>
#include <QRandomGenerator>

namespace pral_matrix {

namespace {

/** The check timer's period against the check interval: often enough to spread the checks finely. */
constexpr int TicksPerInterval = 50;
constexpr int ShortestTickMs = 20;
constexpr int LongestTickMs = 1000;

} // namespace

// ---- the session check ----

void OnvifBackend::scheduleCheck(const QString& ip)
{
    if (opts.linkCheckMs <= 0)
        return;
    if (!checkTimer) {
        checkTimer = new QTimer(this);
        connect(checkTimer, &QTimer::timeout, this, &OnvifBackend::checkDueSessions);
        checkTimer->start(qBound(ShortestTickMs, opts.linkCheckMs / TicksPerInterval, LongestTickMs));
    }
    // Each session at a moment of its own within the interval: a burst of logins (connect-all) makes
    // no burst of checks.
    const qint64 spread = QRandomGenerator::global()->bounded(qMax(1, opts.linkCheckMs)) + 1;
    checkDue.insert(ip, QDateTime::currentMSecsSinceEpoch() + spread);
}

void OnvifBackend::checkDueSessions()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    // At most twice the checks a tick has on average: after a stall of this thread (a modal dialog waiting
    // on a result) the checks that fell due meanwhile drain at a bounded rate instead of all going at once.
    const qint64 perInterval = qint64(checkDue.size()) * checkTimer->interval();
    const int budget = qMax(2, int((2 * perInterval + opts.linkCheckMs - 1) / qMax(1, opts.linkCheckMs)));
    QStringList due;
    {
        QMutexLocker lock(&mutex);
        for (auto it = checkDue.begin(); it != checkDue.end();) {
            if (!transport->hasSession(it.key())) {
                it = checkDue.erase(it);
                continue;
            }
            if (it.value() <= now && !checking.contains(it.key())) {
                const bool taken = due.size() < budget;
                if (taken) {
                    due.append(it.key());
                    checking.insert(it.key());
                    // The next one an interval after this one was due, so the spread stays as it was.
                    it.value() += opts.linkCheckMs;
                }
                // Fallen a whole interval behind: a moment of its own again within the next one.
                if (it.value() <= now - opts.linkCheckMs || (taken && it.value() <= now))
                    it.value() = now + QRandomGenerator::global()->bounded(qMax(1, opts.linkCheckMs)) + 1;
            }
            ++it;
        }
    }
    for (const QString& ip : qAsConst(due)) {
        enqueue(ip, [this, ip] {
            if (!transport->abandonment().isDue())
                checkSession(ip);
            QMutexLocker lock(&mutex);
            checking.remove(ip);
        });
    }
}

void OnvifBackend::checkSession(const QString& ip)
{
    OnvifTransport::Session session;
    if (!transport->session(ip, &session))
        return;
    const int bootId = session.bootId;
    // Unauthenticated and small: no nonce of the decoder's is used up, and nothing is logged there.
    const OnvifTransport::Call call =
        transport->soap(ip, Ns::Device,
                        onvifRequest(Ns::Device, QStringLiteral("GetServices"),
                                     {{QStringLiteral("IncludeCapability"), QStringLiteral("true")}}),
                        nullptr);
    if (call.result != RESULT_OK) {
        transport->report(ip, call.result, true);
        return;
    }
    int nowBoot = -1;
    QString marker;
    if (call.ok())
        OnvifCodec::readRestartCapabilities(ExtensionServiceClient::capabilities(call.message), &nowBoot,
                                            &marker);
    if (bootId < 0 || nowBoot < 0 || nowBoot == bootId)
        return;
    // A session opened since (a login after the restart) is not the one that ended.
    if (!transport->session(ip, &session) || session.bootId != bootId || !transport->closeSession(ip))
        return;
    endSession(ip, SessionEnd::Restarted);
}

// ---- looks after a change ----

void OnvifBackend::probe(const Probe& probe, std::function<void(const ProbeResult&)> done)
{
    QHostAddress address;
    if (!address.setAddress(probe.ip) || address.protocol() != QAbstractSocket::IPv4Protocol) {
        QMetaObject::invokeMethod(
            this, [done] { done(ProbeResult()); }, Qt::QueuedConnection);
        return;
    }
    // In the decoder's lane: behind what was asked of it before, beside every other decoder.
    enqueue(probe.ip, [this, probe, done] {
        const ProbeResult result = transport->abandonment().isDue() ? ProbeResult() : probeNow(probe);
        QMetaObject::invokeMethod(
            this, [done, result] { done(result); }, Qt::QueuedConnection);
    });
}

DecoderBackend::ProbeResult OnvifBackend::probeNow(const Probe& probe)
{
    // Whoever looks tries again: a decoder that is restarting is no problem to tell the operator of.
    const OnvifTransport::Quiet quiet;
    ProbeResult r;
    const DeviceServiceClient::LoginOutcome outcome = device->login(probe.ip, probe.userName, probe.password);
    r.result = outcome.login.result;
    if (r.result != RESULT_OK)
        return r;
    const OnvifTransport::Session& session = outcome.session;
    r.deviceId = session.deviceId;
    r.version = session.version;
    r.bootId = session.bootId;
    r.configMarker = session.configMarker;
    const SoapEnvelope::Token token = session.token();
    if (probe.confirmAddress) {
        // A service named on another host is asked at the decoder's own address.
        const QString url = session.xaddrs.value(Ns::Wall, transport->deviceService(probe.ip).toString());
        r.confirmResult =
            !session.offers(Ns::Wall) ? int(RESULT_UNSUPPORTED) : extension->confirmNetworkChange(url, token);
    }
    if (probe.readNetwork) {
        const OnvifTransport::Call nic = transport->soap(
            probe.ip, Ns::Device, onvifRequest(Ns::Device, QStringLiteral("GetNetworkInterfaces")), &token);
        if (!nic.ok()) {
            r.result = nic.result != RESULT_OK ? nic.result : int(RESULT_NO_DEVICE);
            return r;
        }
        const XmlNode& v4 = nic.message.payload.child(Ns::Device, QStringLiteral("NetworkInterfaces"))
                                .child(Ns::Schema, QStringLiteral("IPv4"))
                                .child(Ns::Schema, QStringLiteral("Config"))
                                .child(Ns::Schema, QStringLiteral("Manual"));
        r.address = v4.childText(Ns::Schema, QStringLiteral("Address"));
        r.mask = OnvifCodec::maskFromPrefix(v4.childInt(Ns::Schema, QStringLiteral("PrefixLength"), -1));
    }
    return r;
}

} // namespace pral_matrix
