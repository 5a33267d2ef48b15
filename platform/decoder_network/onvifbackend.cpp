#include "onvifbackend.h"

#include "deviceioserviceclient.h"
#include "deviceserviceclient.h"
#include "discoveryclient.h"
#include "displayserviceclient.h"
#include "extensionserviceclient.h"
#include "matrixsdkworker.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "onviftransport.h"
#include "receiverserviceclient.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <deque>

namespace pral_matrix {

namespace {

// A back end that is replaced or destroyed gives its calls in flight this long before it abandons them.
constexpr int AbandonGraceMs = 100;

QString fieldText(const char* field, size_t size)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(size))));
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

struct OnvifBackend::Lane
{
    std::deque<std::function<void()>> jobs;
    bool running = false;
};

struct OnvifBackend::PendingLogin
{
    QString userName;
    QString password;
    std::shared_future<DeviceServiceClient::LoginOutcome> result;
};

bool OnvifBackend::parseTargets(const QString& text, QStringList* addresses, QString* error)
{
    addresses->clear();
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& raw : parts) {
        const QString part = raw.trimmed();
        const QString first = part.section(QLatin1Char('-'), 0, 0);
        QString last = part.contains(QLatin1Char('-')) ? part.section(QLatin1Char('-'), 1) : first;
        // "127.0.0.2-9": the last octet only.
        if (!last.contains(QLatin1Char('.')))
            last = first.section(QLatin1Char('.'), 0, 2) + QLatin1Char('.') + last;
        QHostAddress from;
        QHostAddress to;
        if (!from.setAddress(first) || !to.setAddress(last) ||
            from.protocol() != QAbstractSocket::IPv4Protocol ||
            to.protocol() != QAbstractSocket::IPv4Protocol || to.toIPv4Address() < from.toIPv4Address()) {
            *error = QStringLiteral("\"%1\" is not an IPv4 address or range").arg(part);
            return false;
        }
        if (to.toIPv4Address() - from.toIPv4Address() + quint64(addresses->size()) >= 65536) {
            *error = QStringLiteral("more than 65536 addresses");
            return false;
        }
        for (quint32 a = from.toIPv4Address(); a <= to.toIPv4Address() && a >= from.toIPv4Address(); ++a)
            addresses->append(QHostAddress(a).toString());
    }
    if (addresses->isEmpty()) {
        *error = QStringLiteral("no address");
        return false;
    }
    return true;
}

OnvifBackend::OnvifBackend(const Options& options)
    : opts(options)
{
    if (opts.keyPinFile.isEmpty())
        opts.keyPinFile =
            QFileInfo(MatrixSdkWorker::secretKeyFile()).absolutePath() + QStringLiteral("/device-keys.json");
    pool.setMaxThreadCount(qMax(1, opts.poolSize));
    pool.setExpiryTimeout(30000);
    OnvifTransport::Reporting reporting;
    reporting.notice = [this](const QString& ip, const QString& text) {
        emit signalNetworkProblem(ip, text);
    };
    reporting.lost = [this](const QString& ip) {
        emit signalDecoderLost(ip);
        endSession(ip, SessionEnd::Lost);
    };
    transport = std::make_unique<OnvifTransport>(opts, reporting);
    discovery = std::make_unique<DiscoveryClient>(*transport);
    device = std::make_unique<DeviceServiceClient>(*transport);
    deviceIo = std::make_unique<DeviceIoServiceClient>(*transport);
    display = std::make_unique<DisplayServiceClient>(*transport);
    receiver = std::make_unique<ReceiverServiceClient>(*transport);
    extension = std::make_unique<ExtensionServiceClient>(*transport);
}

OnvifBackend::~OnvifBackend()
{
    abandonCalls(AbandonGraceMs);
    pool.waitForDone();
}

void OnvifBackend::abandonCalls(int graceMs)
{
    transport->abandonment().abandonWithin(graceMs);
}

// ---- lanes ----

void OnvifBackend::enqueue(const QString& ip, std::function<void()> job)
{
    std::shared_ptr<Lane> lane;
    {
        QMutexLocker lock(&mutex);
        std::shared_ptr<Lane>& slot = lanes[ip];
        if (!slot)
            slot = std::make_shared<Lane>();
        slot->jobs.push_back(std::move(job));
        if (slot->running)
            return;
        slot->running = true;
        lane = slot;
    }
    pool.start([this, lane] {
        for (;;) {
            std::function<void()> next;
            {
                QMutexLocker lock(&mutex);
                if (lane->jobs.empty()) {
                    lane->running = false;
                    return;
                }
                next = std::move(lane->jobs.front());
                lane->jobs.pop_front();
            }
            next();
        }
    });
}

int OnvifBackend::inLane(const QString& ip, const std::function<int()>& fn)
{
    auto promise = std::make_shared<std::promise<int>>();
    std::future<int> done = promise->get_future();
    enqueue(ip, [promise, fn] { promise->set_value(fn()); });
    return done.get();
}

OnvifBackend::PendingLogin OnvifBackend::submitLogin(const QString& ip, const QString& userName,
                                                     const QString& password)
{
    auto promise = std::make_shared<std::promise<DeviceServiceClient::LoginOutcome>>();
    PendingLogin login{userName, password, promise->get_future().share()};
    enqueue(ip, [this, promise, ip, userName, password] {
        promise->set_value(transport->abandonment().isDue() ? DeviceServiceClient::LoginOutcome()
                                                            : device->login(ip, userName, password));
    });
    return login;
}

// ---- search and login ----

MatrixInfoMap OnvifBackend::search()
{
    return discovery->search();
}

void OnvifBackend::prepareLogin(const QString& ip, const QString& userName, const QString& password)
{
    {
        QMutexLocker lock(&mutex);
        // A logout of this session may wait on the service thread before the login: started now, the
        // login would reach the decoder first. A login to ip already under way may be refused, and the
        // service answers a repeat of refused credentials itself: a second one started now would cost
        // one of the decoder's tries. Either takes its turn instead.
        if (transport->hasSession(ip) || pending.contains(ip) || collecting.contains(ip))
            return;
    }
    const PendingLogin login = submitLogin(ip, userName, password);
    QMutexLocker lock(&mutex);
    pending[ip].append(login);
}

DecoderBackend::Login OnvifBackend::login(const QString& ip, const QString& userName, const QString& password)
{
    std::shared_future<DeviceServiceClient::LoginOutcome> result;
    {
        QMutexLocker lock(&mutex);
        QList<PendingLogin>& list = pending[ip];
        for (int i = 0; i < list.size(); ++i) {
            if (list.at(i).userName == userName && list.at(i).password == password) {
                result = list.takeAt(i).result;
                break;
            }
        }
        if (list.isEmpty())
            pending.remove(ip);
        collecting.insert(ip);
    }
    if (!result.valid())
        result = submitLogin(ip, userName, password).result;
    const DeviceServiceClient::LoginOutcome& outcome = result.get();
    {
        QMutexLocker lock(&mutex);
        collecting.remove(ip);
        toldNoWalls.remove(ip);
    }
    if (outcome.login.result == RESULT_OK) {
        transport->openSession(ip, outcome.session);
        scheduleCheck(ip);
    }
    return outcome.login;
}

void OnvifBackend::logout(const QString& ip)
{
    OnvifTransport::Session session;
    // Only a decoder that offers our extension keeps sessions. Nobody waits for its answer: one that
    // does not answer any more costs a pool thread its timeout, not the service thread.
    if (transport->session(ip, &session) && session.offers(Ns::Wall)) {
        const QString url = transport->serviceUrl(ip, Ns::Wall);
        const SoapEnvelope::Token token = session.token();
        enqueue(ip, [this, url, token] { extension->endSession(url, token); });
    }
    dropSession(ip);
}

void OnvifBackend::dropSession(const QString& ip)
{
    transport->closeSession(ip);
    extension->forgetPictures(ip);
}

// ---- walls, scenes, identify ----

int OnvifBackend::wallsRefused(const QString& ip)
{
    OnvifTransport::Session session;
    if (!transport->session(ip, &session) || session.offers(Ns::Wall))
        return RESULT_OK;
    bool told = false;
    {
        QMutexLocker lock(&mutex);
        told = toldNoWalls.contains(ip);
        toldNoWalls.insert(ip);
    }
    if (!told)
        emit signalNetworkProblem(ip, tr("Decoder(%1) does not support TV walls.").arg(ip));
    return RESULT_UNSUPPORTED;
}

DecoderBackend::Layout OnvifBackend::getLayout(const QString& ip)
{
    Layout layout;
    inLane(ip, [&] {
        layout.result = wallsRefused(ip);
        if (layout.result == RESULT_OK)
            layout = extension->getWall(ip);
        return layout.result;
    });
    return layout;
}

int OnvifBackend::setLayout(const QString& mainIp, int type, int rows, int cols,
                            const MatrixInfoList& screens, const QString& name)
{
    Layout layout;
    layout.mainIp = mainIp;
    layout.mainType = type;
    layout.rows = rows;
    layout.cols = cols;
    layout.screens = screens;
    layout.name = name;
    return inLane(mainIp, [&] {
        const int refused = wallsRefused(mainIp);
        return refused != RESULT_OK ? refused : extension->setWall(mainIp, layout);
    });
}

int OnvifBackend::saveScene(const QString& ip, int sceneNo, const QString& name)
{
    return inLane(ip, [&] {
        const int refused = wallsRefused(ip);
        return refused != RESULT_OK ? refused : extension->saveScene(ip, sceneNo, name);
    });
}

int OnvifBackend::restoreScene(const QString& ip, int sceneNo)
{
    return inLane(ip, [&] {
        const int refused = wallsRefused(ip);
        return refused != RESULT_OK ? refused : extension->restoreScene(ip, sceneNo);
    });
}

int OnvifBackend::removeScene(const QString& ip, int sceneNo)
{
    return inLane(ip, [&] {
        const int refused = wallsRefused(ip);
        return refused != RESULT_OK ? refused : extension->removeScene(ip, sceneNo);
    });
}

int OnvifBackend::checkScreen(const QString& ip, int location, bool open)
{
    return inLane(ip, [&] {
        const int refused = wallsRefused(ip);
        return refused != RESULT_OK ? refused : extension->checkScreen(ip, location, open);
    });
}

int OnvifBackend::removeBanner(const QString& ip)
{
    return inLane(ip, [&] {
        const int refused = wallsRefused(ip);
        return refused != RESULT_OK ? refused : extension->removeBanner(ip);
    });
}

// ---- device management ----

int OnvifBackend::factoryReset(const QString& ip)
{
    const int result = inLane(ip, [&] { return device->factoryDefault(ip); });
    // The decoder ends the session as it returns to its factory state.
    if (result == RESULT_OK) {
        dropSession(ip);
        endSession(ip);
    }
    return result;
}

int OnvifBackend::activate(const QString& deviceId, const QString& password)
{
    // A device not seen by the last search is looked for again.
    if (discovery->addressOf(deviceId).isEmpty() && discovery->claimants(deviceId).isEmpty())
        search();
    const QStringList claimants = discovery->claimants(deviceId);
    if (!claimants.isEmpty()) {
        emit signalNetworkProblem(claimants.first(),
                                  tr("The decoder id %1 answered from %2: it was not activated. Search again "
                                     "once only the decoder itself answers.")
                                      .arg(deviceId, claimants.join(QStringLiteral(", "))));
        return ResultIdentityConflict;
    }
    // The new administrator's password goes only to the address that answered the probe as this device.
    const QString ip = discovery->addressOf(deviceId);
    if (ip.isEmpty())
        return RESULT_NO_DEVICE;
    return inLane(ip, [&] { return device->createAdministrator(ip, password); });
}

int OnvifBackend::changePassword(const QString& ip, const QString& userName, const QString& oldPassword,
                                 const QString& newPassword)
{
    return inLane(ip, [&] {
        OnvifTransport::Session session;
        if (!transport->session(ip, &session))
            return int(RESULT_BAD_HANDLE);
        // The new password travels in the clear inside the request: only to the decoder we logged in to.
        const int confirmed = discovery->confirmIdentity(ip, session.deviceId, session.endpoint);
        if (confirmed != RESULT_OK) {
            emit signalNetworkProblem(ip,
                                      confirmed == ResultIdentityConflict
                                          ? tr("Another host claims the id of decoder(%1) (%2): its password "
                                               "was not changed. Search again once only the decoder answers.")
                                                .arg(ip, session.deviceId)
                                          : tr("Decoder(%1) did not answer a search as the decoder %2: its "
                                               "password was not sent.")
                                                .arg(ip, session.deviceId));
            return confirmed;
        }
        const int result = device->setUser(ip, userName, oldPassword, newPassword, session.clockOffsetMs);
        if (result == RESULT_OK)
            transport->setSessionPassword(ip, newPassword);
        return result;
    });
}

void OnvifBackend::offerCredentials(const QString& ip, const QString& userName, const QString& password)
{
    transport->offerCredentials(ip, userName, password);
}

int OnvifBackend::getNetwork(const QString& ip, DeviceNetworkCfg_t* cfg)
{
    std::memset(cfg, 0, sizeof(*cfg));
    QHostAddress address;
    if (!address.setAddress(ip) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return RESULT_NO_DEVICE;
    DeviceNetworkCfg_t read{};
    const int result = inLane(ip, [&] { return device->readNetwork(ip, &read); });
    if (result == RESULT_OK)
        *cfg = read;
    return result;
}

int OnvifBackend::setNetwork(const QString& ip, const QString& userName, const QString& password,
                             const DeviceNetworkCfg_t& cfg, QString* newIp)
{
    const QString address = fieldText(cfg.ipv4Addr, sizeof cfg.ipv4Addr);
    const int prefix = OnvifCodec::prefixLength(fieldText(cfg.ipv4Mask, sizeof cfg.ipv4Mask));
    QHostAddress parsed;
    if (qstrnlen(cfg.ipv4Addr, sizeof cfg.ipv4Addr) >= sizeof cfg.ipv4Addr || !parsed.setAddress(address) ||
        parsed.protocol() != QAbstractSocket::IPv4Protocol || prefix < 0)
        return RESULT_BAD_ARGUMENT;
    const int result = inLane(ip, [&] {
        OnvifTransport::Session session;
        transport->session(ip, &session);
        const SoapEnvelope::Token token{userName, password, session.clockOffsetMs};
        return device->writeNetwork(ip, token, cfg);
    });
    if (result != RESULT_OK)
        return result;
    *newIp = address;
    if (address != ip) {
        transport->moveDevice(ip, address);
        dropSession(ip);
        endSession(ip);
    }
    return RESULT_OK;
}

// ---- outputs, colours, windows ----

int OnvifBackend::getResolution(const QString& ip, int screenRow, int screenColumn, ScreenResolution_t* out)
{
    *out = ScreenResolution_t{0, 0, 0};
    if (screenRow < 0 || screenColumn < 0)
        return RESULT_BAD_ARGUMENT;
    ScreenResolution_t read{0, 0, 0};
    const int result = inLane(ip, [&] {
        OnvifTransport::Session session;
        // Only our extension keeps a resolution in the output's configuration; any display tells it with
        // its outputs.
        if (transport->session(ip, &session) && !session.offers(Ns::Wall))
            return deviceIo->outputResolution(ip, screenRow, screenColumn, &read);
        return deviceIo->getResolution(ip, screenRow, screenColumn, &read);
    });
    if (result == RESULT_OK)
        *out = read;
    return result;
}

int OnvifBackend::setResolution(const QString& ip, const ScreenResolutionInfo& info, bool persist)
{
    if (info.screenRow < 0 || info.screenColumn < 0)
        return RESULT_BAD_ARGUMENT;
    const ScreenResolution_t r{info.resolution.width, info.resolution.height, info.resolution.frameRate};
    return inLane(ip, [&] {
        // ONVIF's output configuration has no resolution: a device without ours would take the call and
        // go on as it was, which the operator must not be told is a success.
        OnvifTransport::Session session;
        if (transport->session(ip, &session) && !session.offers(Ns::Wall))
            return int(RESULT_UNSUPPORTED);
        return deviceIo->setResolution(ip, info.screenRow, info.screenColumn, r, persist);
    });
}

int OnvifBackend::getScreenColor(const QString& ip, int screenRow, int screenColumn, ScreenColor* out)
{
    *out = ScreenColor();
    ScreenColor read;
    const int result = inLane(ip, [&] {
        const int refused = wallsRefused(ip);
        return refused != RESULT_OK ? refused : extension->getScreenColor(ip, screenRow, screenColumn, &read);
    });
    if (result == RESULT_OK)
        *out = read;
    return result;
}

int OnvifBackend::setScreenColor(const QString& ip, int screenRow, int screenColumn, const ScreenColor& color)
{
    return inLane(ip, [&] {
        const int refused = wallsRefused(ip);
        return refused != RESULT_OK ? refused : extension->setScreenColor(ip, screenRow, screenColumn, color);
    });
}

int OnvifBackend::addPane(const QString& ip, const MatrixWindowInfo& window)
{
    // The window opened last is the last pane of the window output, as on a decoder of ours.
    QVector<DisplayCodec::PaneLayout> panes;
    int result = display->layout(ip, &panes);
    if (result != RESULT_OK)
        return result;
    if (panes.size() >= DisplayCodec::MaxPanes)
        return RESULT_BAD_ARGUMENT;
    DisplayCodec::PaneConfiguration pane;
    pane.token = DisplayCodec::paneToken(panes.size() + 1);
    pane.name = QStringLiteral("window %1").arg(panes.size() + 1);
    pane.hasWindow = true;
    pane.window = window;
    result = display->createPaneConfiguration(ip, pane);
    if (result != RESULT_OK)
        return result;
    panes.append(DisplayCodec::paneLayout(pane.token, window));
    return display->setLayout(ip, panes);
}

int OnvifBackend::feedPane(const QString& ip, const MatrixWindowInfo& window, int windowId)
{
    QVector<DisplayCodec::PaneLayout> panes;
    int result = display->layout(ip, &panes);
    if (result != RESULT_OK)
        return result;
    // -1 is the window opened last.
    const int index = windowId < 0 ? panes.size() - 1 : windowId;
    if (index < 0 || index >= panes.size())
        return RESULT_BAD_ARGUMENT;
    DisplayCodec::PaneConfiguration pane;
    result = display->paneConfiguration(ip, panes.at(index).pane, &pane);
    if (result != RESULT_OK)
        return result;
    ReceiverCodec::Configuration configuration;
    configuration.sources = window.sourceList;
    configuration.mediaUri =
        window.sourceList.isEmpty() ? QString() : ReceiverCodec::mediaUri(window.sourceList.first());
    result = pane.receiverToken.isEmpty()
                 ? receiver->createReceiver(ip, configuration, &pane.receiverToken)
                 : receiver->configureReceiver(ip, pane.receiverToken, configuration);
    if (result != RESULT_OK)
        return result;
    pane.hasWindow = true;
    pane.window = window;
    return display->setPaneConfiguration(ip, pane);
}

int OnvifBackend::addWindow(const QString& ip, const MatrixWindowInfo& window)
{
    return inLane(ip, [&] {
        OnvifTransport::Session session;
        if (transport->session(ip, &session) && session.offers(Ns::Display))
            return addPane(ip, window);
        const int refused = wallsRefused(ip);
        return refused != RESULT_OK ? refused : extension->addWindow(ip, window);
    });
}

int OnvifBackend::setWindowSource(const QString& ip, const MatrixWindowInfo& window, int windowId, bool show)
{
    return inLane(ip, [&] {
        OnvifTransport::Session session;
        if (!transport->session(ip, &session) || !session.offers(Ns::Display) ||
            !session.offers(Ns::Receiver)) {
            const int refused = wallsRefused(ip);
            return refused != RESULT_OK ? refused : extension->setWindowSource(ip, window, windowId, show);
        }
        if (!show)
            return int(RESULT_OK);
        // A test picture is a file of ours: only a decoder with our extension can be given it.
        MatrixWindowInfo sent = window;
        const bool pictures = std::any_of(sent.sourceList.begin(), sent.sourceList.end(),
                                          [](const WindowSourceInfo& s) { return !s.picturePath.isEmpty(); });
        if (pictures) {
            const int refused = wallsRefused(ip);
            const int uploaded = refused != RESULT_OK ? refused : extension->uploadPictures(ip, &sent);
            if (uploaded != RESULT_OK)
                return uploaded;
        }
        return feedPane(ip, sent, windowId);
    });
}

// ---- maintenance ----

int OnvifBackend::getLog(const QString& ip, const QDateTime& begin, const QDateTime& end, int logType,
                         const QString& path, QStringList* lines)
{
    lines->clear();
    if (logType == -1) {
        if (path.isEmpty())
            return RESULT_BAD_ARGUMENT;
        return inLane(ip,
                      [&] { return device->downloadSystemFile(ip, QStringLiteral("SupportInfoUri"), path); });
    }
    if (!begin.isValid() || !end.isValid() || end < begin || logType < 0 || logType > 3)
        return RESULT_BAD_ARGUMENT;
    QStringList read;
    const int result = inLane(ip, [&] {
        return logType == 0 || logType == 2 ? device->systemLog(ip, logType, begin, end, &read)
                                            : extension->log(ip, logType, begin, end, &read);
    });
    if (result != RESULT_OK)
        return result;
    *lines = read;
    if (!path.isEmpty() && !writeFile(path, lines->join(QLatin1Char('\n')).toUtf8()))
        return RESULT_IO_ERROR;
    return RESULT_OK;
}

int OnvifBackend::exportConfig(const QString& ip, const QString& path)
{
    if (path.isEmpty())
        return RESULT_BAD_ARGUMENT;
    return inLane(ip,
                  [&] { return device->downloadSystemFile(ip, QStringLiteral("SystemBackupUri"), path); });
}

int OnvifBackend::importConfig(const QString& ip, const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > opts.maxFileBytes)
        return RESULT_IO_ERROR;
    const QByteArray content = file.readAll();
    bool broken = false;
    const int result = inLane(ip, [&] { return device->restore(ip, content, &broken); });
    // A decoder restarts to apply the file; one whose transfer broke off is lost to us all the same.
    if (result == RESULT_OK || broken) {
        dropSession(ip);
        endSession(ip, result == RESULT_OK ? SessionEnd::Restarted : SessionEnd::Lost);
    }
    return result;
}

} // namespace pral_matrix
