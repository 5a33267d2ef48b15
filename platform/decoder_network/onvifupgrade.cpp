// OnvifBackend: a firmware upgrade of several decoders, one after the other, each started through the device
// service and followed through our extension's upgrade state until the decoder runs the new version.

#include "onvifbackend.h"

#include "deviceserviceclient.h"
#include "extensionserviceclient.h"
#include "onviftransport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

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

} // namespace

int OnvifBackend::startUpgrade(const QList<DeviceInfo_t>& devices, const QString& path,
                               const UpgradeSink& sink)
{
    if (devices.isEmpty() || path.isEmpty())
        return RESULT_BAD_ARGUMENT;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0 || file.size() > opts.maxFileBytes)
        return RESULT_BAD_ARGUMENT;
    if (!upgrading.testAndSetOrdered(0, 1))
        return RESULT_UNAVAILABLE;
    const QByteArray image = file.readAll();
    // The first card is started here, so that an image the decoder refuses is a refused start.
    const DeviceInfo_t& first = devices.first();
    const int started = device->startFirmwareUpgrade(fieldText(first.ip, sizeof first.ip),
                                                     tokenOf(first, *transport, *device), image);
    if (started == RESULT_BAD_ARGUMENT) {
        upgrading.storeRelease(0);
        return RESULT_BAD_ARGUMENT;
    }
    pool.start([this, devices, image, sink, started] {
        if (started != RESULT_OK) {
            // Refused for another reason than the image: the first card fails as a login would.
            QMetaObject::invokeMethod(this, [sink] {
                sink.progress(1, -1, -1, 1, false);
                if (sink.result)
                    sink.result(RESULT_UPGRADE_FAILED);
            });
            upgrading.storeRelease(0);
            return;
        }
        runUpgrade(devices, image, sink, 1);
        upgrading.storeRelease(0);
    });
    return RESULT_OK;
}

void OnvifBackend::runUpgrade(const QList<DeviceInfo_t>& devices, const QByteArray& image,
                              const UpgradeSink& sink, int firstCard)
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
    for (int card = firstCard; card <= devices.size(); ++card) {
        const DeviceInfo_t& d = devices.at(card - 1);
        const QString ip = fieldText(d.ip, sizeof d.ip);
        const SoapEnvelope::Token token = tokenOf(d, *transport, *device);
        if (card > firstCard && device->startFirmwareUpgrade(ip, token, image) != RESULT_OK)
            return fail(card, 1);
        int lastPercent = 0;
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            if (transport->abandonment().isDue())
                return;
            QThread::msleep(quint32(opts.upgradePollMs));
            ExtensionServiceClient::UpgradeState state;
            // The decoder restarts while it installs: a missed answer is not yet a failure.
            if (!extension->upgradeState(ip, token, &state)) {
                if (clock.elapsed() > 10 * 60 * 1000)
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
