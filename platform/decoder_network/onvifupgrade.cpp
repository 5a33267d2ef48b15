// OnvifBackend: a firmware upgrade of several decoders, one after the other, each started through the device
// service and followed through our extension's upgrade state until the decoder runs the new version.

#include "onvifbackend.h"

#include "deviceserviceclient.h"
#include "extensionserviceclient.h"
#include "firmwareimage.h"
#include "onvifnamespaces.h"
#include "onvifrequest.h"
#include "onviftransport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>

namespace pral_matrix {

namespace {

QString fieldText(const char* field, size_t size)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(size))));
}

/** The card's credentials, dated by its clock: a decoder hours away from ours refuses our own time. */
SoapEnvelope::Token tokenOf(const DeviceInfo_t& d, OnvifTransport& transport, DeviceServiceClient& device)
{
    const QString ip = fieldText(d.ip, sizeof d.ip);
    qint64 offset = 0;
    if (!transport.clockOffset(ip, &offset) && device.readClock(ip, &offset) != RESULT_OK)
        offset = 0;
    return SoapEnvelope::Token{fieldText(d.userName, sizeof d.userName),
                               fieldText(d.password, sizeof d.password), offset};
}

// The progress a decoder without our extension shows: the image sent, the decoder away to install it.
constexpr int UploadedPercent = 40;
constexpr int RestartingPercent = 70;
// How long a decoder may take to install and come back before its upgrade counts as failed.
constexpr qint64 UpgradeLimitMs = 10 * 60 * 1000;

} // namespace

OnvifBackend::CardStart OnvifBackend::startCard(const DeviceInfo_t& d, const QByteArray& image)
{
    CardStart start;
    const QString ip = fieldText(d.ip, sizeof d.ip);
    start.token = tokenOf(d, *transport, *device);
    OnvifTransport::Session session;
    if (transport->session(ip, &session)) {
        start.ours = session.offers(Ns::Wall);
    } else {
        const OnvifTransport::Call services =
            transport->soap(ip, Ns::Device,
                            onvifRequest(Ns::Device, QStringLiteral("GetServices"),
                                         {{QStringLiteral("IncludeCapability"), QStringLiteral("false")}}),
                            nullptr);
        const QVector<const XmlNode*> offered =
            services.ok() ? services.message.payload.all(Ns::Device, QStringLiteral("Service"))
                          : QVector<const XmlNode*>();
        start.ours = std::any_of(offered.begin(), offered.end(), [](const XmlNode* s) {
            return s->childText(Ns::Device, QStringLiteral("Namespace")) == Ns::Wall;
        });
    }
    // Any ONVIF device tells how its upgrade went by the version it runs after its restart.
    if (!start.ours)
        device->firmwareVersion(ip, start.token, &start.before);
    start.result = device->startFirmwareUpgrade(ip, start.token, image);
    return start;
}

int OnvifBackend::startUpgrade(const QList<DeviceInfo_t>& devices, const QString& path,
                               const UpgradeSink& sink)
{
    if (devices.isEmpty() || path.isEmpty())
        return RESULT_BAD_ARGUMENT;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0 || file.size() > opts.maxFileBytes)
        return RESULT_BAD_ARGUMENT;
    // Each decoder takes one image at a time; other decoders may be upgraded meanwhile.
    const QStringList ips = deviceIps(devices);
    {
        QMutexLocker lock(&mutex);
        for (const QString& ip : ips) {
            if (upgradingIps.contains(ip))
                return RESULT_UNAVAILABLE;
        }
        for (const QString& ip : ips)
            upgradingIps.insert(ip);
    }
    const auto done = [this, ips] {
        QMutexLocker lock(&mutex);
        for (const QString& ip : ips)
            upgradingIps.remove(ip);
    };
    const QByteArray image = file.readAll();
    // The version the image installs, where the file says it in our format; a decoder of another maker is
    // judged by it.
    FirmwareImage header;
    const QString target = FirmwareImage::read(path, &header) ? header.version : QString();
    // The first card is started here, so that an image the decoder refuses is a refused start.
    const CardStart first = startCard(devices.first(), image);
    if (first.result == RESULT_BAD_ARGUMENT) {
        done();
        return RESULT_BAD_ARGUMENT;
    }
    pool.start([this, devices, image, target, sink, first, done] {
        if (first.result != RESULT_OK) {
            // Refused for another reason than the image: the first card fails as a login would.
            QMetaObject::invokeMethod(this, [sink] {
                sink.progress(1, -1, -1, 1, false);
                if (sink.result)
                    sink.result(RESULT_UPGRADE_FAILED);
            });
            done();
            return;
        }
        runUpgrade(devices, image, target, sink, first);
        done();
    });
    return RESULT_OK;
}

QStringList OnvifBackend::deviceIps(const QList<DeviceInfo_t>& devices)
{
    QStringList ips;
    for (const DeviceInfo_t& d : devices)
        ips.append(fieldText(d.ip, sizeof d.ip));
    return ips;
}

bool OnvifBackend::restartsHandOver(const UpgradeSink& sink, const QString& ip, int card, bool answered,
                                    const std::function<void(int, int, int, int, bool)>& progress)
{
    // The caller checks the decoder after its restart itself: the card is done once the decoder is found
    // done, or has gone down to restart, which ends its session without a network problem to tell.
    if (!sink.endsAtRestart)
        return false;
    progress(card, 0, 100, 0, false);
    if (answered) {
        checkSession(ip);
    } else {
        dropSession(ip);
        endSession(ip, SessionEnd::Restarted);
    }
    return true;
}

void OnvifBackend::runUpgrade(const QList<DeviceInfo_t>& devices, const QByteArray& image,
                              const QString& target, const UpgradeSink& sink, const CardStart& firstStart)
{
    // Reports go to the service thread, where the back end lives, in the order they are made.
    auto progress = [this, sink](int card, int marker, int percent, int code, bool latest) {
        QMetaObject::invokeMethod(this, [=] { sink.progress(card, marker, percent, code, latest); });
    };
    auto fail = [this, sink, progress](int card, int code) {
        progress(card, -1, -1, code, false);
        QMetaObject::invokeMethod(this, [sink] {
            if (sink.result)
                sink.result(RESULT_UPGRADE_FAILED);
        });
    };
    for (int card = 1; card <= devices.size(); ++card) {
        const DeviceInfo_t& d = devices.at(card - 1);
        const QString ip = fieldText(d.ip, sizeof d.ip);
        const CardStart start = card == 1 ? firstStart : startCard(d, image);
        if (start.result != RESULT_OK)
            return fail(card, 1);
        const SoapEnvelope::Token& token = start.token;
        int lastPercent = 0;
        bool wentAway = false;
        QElapsedTimer clock;
        clock.start();
        if (!start.ours) {
            // Uploaded; what is left is the restart and the version read back.
            lastPercent = UploadedPercent;
            progress(card, 0, lastPercent, 0, false);
        }
        for (;;) {
            if (transport->abandonment().isDue())
                return;
            QThread::msleep(quint32(opts.upgradePollMs));
            if (!start.ours) {
                QString version;
                // The decoder restarts while it installs: a missed answer is not yet a failure.
                if (device->firmwareVersion(ip, token, &version) != RESULT_OK) {
                    if (restartsHandOver(sink, ip, card, false, progress))
                        break;
                    if (!wentAway) {
                        wentAway = true;
                        progress(card, 0, lastPercent = RestartingPercent, 0, false);
                    }
                    if (clock.elapsed() > UpgradeLimitMs)
                        return fail(card, 1);
                    continue;
                }
                // An image of the version the decoder runs already changes nothing.
                if (!target.isEmpty() && target == start.before) {
                    progress(card, 0, 100, 0, true);
                    break;
                }
                // Without a version in the image's file, any other version after the restart is the new one.
                const bool installed = target.isEmpty() ? version != start.before : version == target;
                if (installed && restartsHandOver(sink, ip, card, true, progress))
                    break;
                if (installed) {
                    progress(card, 0, 100, 0, false);
                    // It restarted to run the new firmware: a client's session to it is over.
                    checkSession(ip);
                    break;
                }
                // Back from its restart on another firmware than the image's: the upgrade did not take.
                if (wentAway || clock.elapsed() > UpgradeLimitMs)
                    return fail(card, 1);
                continue;
            }
            ExtensionServiceClient::UpgradeState state;
            // The decoder restarts while it installs: a missed answer is not yet a failure.
            if (!extension->upgradeState(ip, token, &state)) {
                if (restartsHandOver(sink, ip, card, false, progress))
                    break;
                if (clock.elapsed() > UpgradeLimitMs)
                    return fail(card, 1);
                continue;
            }
            if (state.state == QLatin1String("Failed"))
                return fail(card, state.code);
            if (state.state == QLatin1String("Latest")) {
                progress(card, 0, 100, 0, true);
                break;
            }
            if (state.percent != lastPercent && state.percent < 100) {
                lastPercent = state.percent;
                progress(card, 0, state.percent, 0, false);
            }
            if (state.state == QLatin1String("Done") && restartsHandOver(sink, ip, card, true, progress))
                break;
            if (state.state == QLatin1String("Done")) {
                // The version the decoder reports after its restart confirms the upgrade.
                QString version;
                if (device->firmwareVersion(ip, token, &version) != RESULT_OK)
                    return fail(card, 1);
                progress(card, 0, 100, 0, false);
                // It restarted to run the new firmware: a client's session to it is over.
                checkSession(ip);
                break;
            }
        }
    }
    progress(0, 0, 0, 0, false);
}

} // namespace pral_matrix
