#include "matrixsdkworker.h"

#include "appfiles.h"
#include "decoderbackend.h"
#include "decoderconfigfile.h"
#include "faultinjector.h"
#include "firmwareimage.h"
#include "matrixstore.h"
#include "simulatedfleet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstring>

namespace pral_matrix {

namespace {

constexpr int MaxSceneNo = SimulatedFleet::MaxScenes;
// What a call in flight still gets when the application quits: a logout to a decoder that answers
// takes a few milliseconds; one that does not answer must not hold the quit for its whole timeout.
constexpr int QuitGraceMs = 100;

ScreenColor failedColor()
{
    ScreenColor color;
    color.brightness = color.contrast = color.chroma = color.sharpness = -1;
    return color;
}

/**
 * The client's file dialogs may hand over a path whose separators were each written as two backslashes
 * ("C:\\fw\\decoder.bin" for "C:/fw/decoder.bin"). Such a path names the file with "/" in their place,
 * unless a file of that very name exists.
 */
QString clientFilePath(const QString& path)
{
    static const QString doubled = QStringLiteral("\\\\");
    if (!path.contains(doubled) || QFileInfo::exists(path))
        return path;
    return QDir::cleanPath(QString(path).replace(doubled, QStringLiteral("/")));
}

/**
 * The client names its test pictures in a folder under its current directory, which an installed
 * client started from a menu does not have: a picture that is not there is taken from the
 * application's own pictures when they have one of that name. A file that is there stays the
 * operator's choice, also when it is no picture. Only the name is taken from the client's path.
 */
MatrixWindowInfo withInstalledPictures(MatrixWindowInfo window)
{
    constexpr int PictureSource = 7;
    for (WindowSourceInfo& source : window.sourceList) {
        if (source.sourceKind != PictureSource || source.picturePath.isEmpty())
            continue;
        const QFileInfo given(source.picturePath);
        if (given.exists())
            continue;
        const QFileInfo installed(QDir(PCOMMON::AppFiles::testPicturesDirectory()), given.fileName());
        if (installed.isFile())
            source.picturePath = installed.absoluteFilePath();
    }
    return window;
}

/** The marker a decoder reports after importing the file at path; empty when it is no configuration file. */
QString configurationMarker(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? DecoderConfigFile::marker(file.read(DecoderConfigFile::MaxHeadSize))
               : QString();
}

QString fieldString(const char* field, size_t size)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(size))));
}

} // namespace

MatrixSdkWorker::MatrixSdkWorker()
    : homeThread(QThread::currentThread())
    , faultInjector(std::make_unique<FaultInjector>())
    , store(std::make_unique<MatrixStore>())
{
    registerMatrixMetaTypes();
    store->setProblemReporter([this](MatrixStore::ProblemKind kind, const QString& text) {
        if (kind == MatrixStore::KeyProblem)
            emit signalStoreKeyProblem(text);
        else
            emit signalStoreProblem(text);
    });

    // A child: it moves to the service thread with the worker, and back with it at the end.
    watcher = new DecoderWatch([this] { return backend.get(); },
                               [this](const QString& formerIp, const QString& newIp) {
                                   // The decoder went back by itself: the client moves its record back as it
                                   // moved it, with the former address as the new one.
                                   forgetHandle(newIp);
                                   deliver([this, formerIp, newIp] {
                                       emit signalSetMatrixNetworkResult(RESULT_OK, formerIp, newIp);
                                   });
                               },
                               this);

    qRegisterMetaType<FirmwareImageInfo>("pral_matrix::FirmwareImageInfo");
    qRegisterMetaType<QList<DecoderFirmwareInfo>>("QList<pral_matrix::DecoderFirmwareInfo>");
    qRegisterMetaType<BatchUpgradeReport>("pral_matrix::BatchUpgradeReport");
    // Watches of a batch's decoders end that batch's reports; both run on the service thread.
    connect(
        watcher, &DecoderWatch::signalWatchReached, this,
        [this](const WatchOutcome& state) {
            if (state.tag == 0 || state.kind != ChangeKind::Upgrade)
                return;
            BatchUpgradeReport report;
            report.run = state.tag;
            report.ip = state.watchedIp;
            report.stage = BatchUpgradeReport::Verifying;
            reportBatch(report);
        },
        Qt::DirectConnection);
    connect(
        watcher, &DecoderWatch::signalWatchFinished, this,
        [this](const WatchOutcome& outcome) {
            if (outcome.tag == 0 || outcome.kind != ChangeKind::Upgrade)
                return;
            BatchUpgradeReport report;
            report.run = outcome.tag;
            report.ip = outcome.watchedIp;
            // A back end that cannot look at decoders leaves an upgrade that went through unchecked, not
            // failed.
            report.stage = outcome.verified() || outcome.verdict == WatchOutcome::Unchecked
                               ? BatchUpgradeReport::Done
                               : BatchUpgradeReport::Failed;
            report.version = outcome.version;
            report.text = outcome.text;
            reportBatch(report);
        },
        Qt::DirectConnection);

    thread.setObjectName(QStringLiteral("DecoderService"));
    moveToThread(&thread);
    thread.start();
    installBackend(new SimulatedFleet);

    // Not at aboutToQuit: a client's quit handling (disconnect every decoder) runs then and must still
    // reach the decoders. The service stops when the application object goes.
    if (QCoreApplication::instance())
        qAddPostRoutine(&MatrixSdkWorker::shutdownAtExit);
}

MatrixSdkWorker::~MatrixSdkWorker()
{
    shutdown();
}

void MatrixSdkWorker::shutdownAtExit()
{
    PSingleton<MatrixSdkWorker>::_instance().shutdown();
}

void MatrixSdkWorker::shutdown()
{
    if (store)
        store->flush();
    if (!stopping.testAndSetOrdered(0, 1) || !thread.isRunning())
        return;
    {
        QMutexLocker lock(&hintMutex);
        // The requests still queued run to their end, so a call that waits on a silent device must
        // give up now: short ones (the logouts of the quit handling) still have a moment to finish.
        if (hintTarget)
            hintTarget->abandonCalls(QuitGraceMs);
        hintTarget = nullptr;
    }
    if (QThread::currentThread() == &thread) {
        watcher->forgetAll();
        backend.reset();
        thread.quit();
        return;
    }
    QThread* const home = homeThread;
    // Queued behind every request made so far, which still run in order; their results go nowhere.
    QMetaObject::invokeMethod(
        this,
        [this, home] {
            watcher->forgetAll();
            backend.reset();
            {
                QMutexLocker lock(&handleMutex);
                handles.clear();
                handleChanges.ref();
            }
            moveToThread(home);
            thread.quit();
        },
        Qt::QueuedConnection);
    // The service thread may sit in a blocking-queued emit to a receiver of this thread, whose event
    // loop no longer runs: delivering what waits here releases it, and drops nobody's queued call.
    const bool ownsPostedEvents = QThread::currentThread() == home;
    while (!thread.wait(20)) {
        if (ownsPostedEvents)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }
}

void MatrixSdkWorker::post(std::function<void()> request)
{
    if (stopping.loadAcquire())
        return;
    QMetaObject::invokeMethod(
        this,
        [this, request] {
            if (!backend)
                return;
            inRequest = true;
            request();
            inRequest = false;
            flushNotices();
        },
        Qt::QueuedConnection);
}

void MatrixSdkWorker::sessionEnded(const QString& ip, DecoderBackend::SessionEnd why)
{
    if (QThread::currentThread() != &thread) {
        QMetaObject::invokeMethod(
            this, [this, ip, why] { sessionEnded(ip, why); }, Qt::QueuedConnection);
        return;
    }
    CMHandle gone;
    {
        QMutexLocker lock(&handleMutex);
        gone = handles.take(ip);
    }
    // Only a connection the service still held is reported, so a session ends in one notice at most.
    if (!gone || why == DecoderBackend::SessionEnd::Closed)
        return;
    if (inRequest)
        pendingNotices.append(qMakePair(gone, ip));
    else
        deliver([this, gone, ip] { emit signalDisconnectStatus(gone, ip); });
}

void MatrixSdkWorker::flushNotices()
{
    const QList<QPair<CMHandle, QString>> notices = std::move(pendingNotices);
    pendingNotices.clear();
    for (const auto& notice : notices) {
        const CMHandle handle = notice.first;
        const QString ip = notice.second;
        deliver([this, handle, ip] { emit signalDisconnectStatus(handle, ip); });
    }
}

void MatrixSdkWorker::watchChange(const WatchRequest& request)
{
    if (watchChanges.loadAcquire())
        watcher->watch(request);
}

void MatrixSdkWorker::deliver(std::function<void()> emitter)
{
    if (stopping.loadAcquire())
        return;
    const int delay = delayMs.loadAcquire();
    if (delay <= 0) {
        emitter();
        return;
    }
    QTimer::singleShot(delay, this, [this, emitter] {
        if (!stopping.loadAcquire())
            emitter();
    });
}

void MatrixSdkWorker::invokeOnServiceThread(std::function<void()> fn)
{
    if (stopping.loadAcquire())
        return;
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

bool MatrixSdkWorker::isLive(const CMHandle& handle) const
{
    if (!handle)
        return false;
    QMutexLocker lock(&handleMutex);
    return handles.value(handle->ip()) == handle;
}

void MatrixSdkWorker::forgetHandle(const QString& ip)
{
    QMutexLocker lock(&handleMutex);
    handles.remove(ip);
    handleChanges.ref();
}

CMHandle MatrixSdkWorker::makeDetachedHandle(const QString& ip, const QString& userName,
                                             const QString& password, int matrixType, const QString& version)
{
    return CMHandle(new CSharedHandle(ip, userName, password, matrixType, version));
}

void MatrixSdkWorker::installBackend(DecoderBackend* raw)
{
    delayMs.storeRelease(raw->resultDelayMs());
    raw->setFaultInjector(faultInjector.get());
    raw->setSessionEndedHandler(
        [this](const QString& ip, DecoderBackend::SessionEnd why) { sessionEnded(ip, why); });
    raw->moveToThread(&thread);
    {
        // Logins requested from now on are answered by this back end.
        QMutexLocker lock(&hintMutex);
        hintTarget = raw;
    }
    QMetaObject::invokeMethod(
        this,
        [this, raw] {
            // The decoders watched went with the old back end.
            watcher->forgetAll();
            pendingNotices.clear();
            backend.reset(raw);
            QMutexLocker refusalLock(&refusalMutex);
            refusals.clear();
            QMutexLocker lock(&handleMutex);
            handles.clear();
            handleChanges.ref();
        },
        Qt::QueuedConnection);
}

void MatrixSdkWorker::setBackend(std::unique_ptr<DecoderBackend> newBackend)
{
    if (!newBackend || newBackend->parent() || stopping.loadAcquire())
        return;
    installBackend(newBackend.release());
}

bool MatrixSdkWorker::loadFleet(const QByteArray& json, QString* error)
{
    std::unique_ptr<SimulatedFleet> fleet = SimulatedFleet::fromJson(json, error);
    if (!fleet)
        return false;
    setBackend(std::move(fleet));
    return true;
}

QByteArray MatrixSdkWorker::defaultFleetJson()
{
    return SimulatedFleet::defaultFleetJson();
}

FaultInjector& MatrixSdkWorker::faults()
{
    return *faultInjector;
}

void MatrixSdkWorker::setResultDelay(int ms)
{
    delayMs.storeRelease(qMax(0, ms));
}

int MatrixSdkWorker::resultDelay() const
{
    return delayMs.loadAcquire();
}

// ---- connections ----

void MatrixSdkWorker::searchMatrix()
{
    post([this] {
        const MatrixInfoMap found = backend->search();
        deliver([this, found] { emit signalSearchMatrixResult(found); });
    });
}

void MatrixSdkWorker::connectMatrix(const MatrixInfo& info, void* pUser)
{
    // A stored password that could not be opened is not guessed at: asking with an empty one would cost
    // one of the decoder's tries before its lock-out. The operator logs in with the password instead.
    const bool passwordUnknown = info.password.isEmpty() && store->isPasswordUnavailable(info.ip);
    // The hint starts the login at once; one that is bound to be answered here must not reach the decoder.
    if (!passwordUnknown && !stopping.loadAcquire() && !remembersRefusal(info, nullptr)) {
        QMutexLocker lock(&hintMutex);
        if (hintTarget)
            hintTarget->prepareLogin(info.ip, info.userName, info.password);
    }
    post([this, info, pUser, passwordUnknown] {
        DecoderBackend::Login login;
        if (passwordUnknown) {
            login.result = RESULT_WRONG_PASSWORD;
            login.hasError = true;
            login.error.errorType = QStringLiteral("PASSWDERR");
        } else {
            login = loginOnce(info);
        }
        const bool ok = login.result == RESULT_OK;
        const CMHandle handle(new CSharedHandle(
            info.ip, info.userName, info.password, ok ? login.matrixType : int(info.matrixType),
            ok ? login.version : info.version, ok ? login.model : QString(), ok ? login.bootId : -1));
        if (ok) {
            QMutexLocker lock(&handleMutex);
            handles.insert(info.ip, handle);
            handleChanges.ref();
        }
        deliver([this, login, handle, pUser] {
            if (login.hasError)
                emit signalConnectErrorMsg(handle->ip(), login.error, pUser);
            emit signalConnectMatrixResult(handle, login.result, handle->matrixType(), pUser);
        });
    });
}

DecoderBackend::Login MatrixSdkWorker::loginOnce(const MatrixInfo& info)
{
    // One mistake of the operator must cost one try: a login that was just refused is answered from that
    // refusal when the same credentials come again (the management list logs in to what an Add added),
    // with the decoder's own counts, instead of asking the decoder a second time.
    DecoderBackend::Login login;
    if (remembersRefusal(info, &login))
        return login;
    login = backend->login(info.ip, info.userName, info.password);
    QMutexLocker lock(&refusalMutex);
    if (login.result == RESULT_WRONG_PASSWORD) {
        Refusal refusal{info.userName, info.password, login, QElapsedTimer()};
        refusal.age.start();
        refusals.insert(info.ip, refusal);
    } else {
        refusals.remove(info.ip);
    }
    return login;
}

bool MatrixSdkWorker::remembersRefusal(const MatrixInfo& info, DecoderBackend::Login* login) const
{
    QMutexLocker lock(&refusalMutex);
    const auto refused = refusals.constFind(info.ip);
    if (refused == refusals.constEnd() || refused->userName != info.userName ||
        refused->password != info.password || refused->age.elapsed() >= RefusalMemoryMs)
        return false;
    if (login)
        *login = refused->login;
    return true;
}

void MatrixSdkWorker::disconnectMatrix(const CMHandle& handle)
{
    post([this, handle] {
        const QString ip = handle ? handle->ip() : QString();
        int result = RESULT_BAD_HANDLE;
        if (isLive(handle)) {
            backend->logout(ip);
            forgetHandle(ip);
            result = RESULT_OK;
        }
        deliver([this, result, ip] { emit signalDisconnectMatrixResult(result, ip); });
    });
}

void MatrixSdkWorker::disconnectAllMatrix()
{
    post([this] {
        QMap<QString, CMHandle> all;
        {
            QMutexLocker lock(&handleMutex);
            all.swap(handles);
            handleChanges.ref();
        }
        for (auto it = all.constBegin(); it != all.constEnd(); ++it)
            backend->logout(it.key());
    });
}

void MatrixSdkWorker::removeHandle(const QString& ip)
{
    CMHandle removed;
    {
        QMutexLocker lock(&handleMutex);
        removed = handles.take(ip);
        handleChanges.ref();
    }
    if (removed)
        post([this, ip] { backend->logout(ip); });
}

int MatrixSdkWorker::handleTableChanges() const
{
    return handleChanges.loadAcquire();
}

CMHandle MatrixSdkWorker::getHandleByIp(const QString& ip) const
{
    QMutexLocker lock(&handleMutex);
    return handles.value(ip);
}

void MatrixSdkWorker::dropConnection(const QString& ip)
{
    post([this, ip] {
        CMHandle dropped;
        {
            QMutexLocker lock(&handleMutex);
            dropped = handles.take(ip);
            handleChanges.ref();
        }
        if (!dropped)
            return;
        backend->logout(ip);
        deliver([this, dropped, ip] { emit signalDisconnectStatus(dropped, ip); });
    });
}

// ---- walls and scenes ----

void MatrixSdkWorker::getLayout(const CMHandle& handle, void* pUser)
{
    post([this, handle, pUser] {
        DecoderBackend::Layout layout;
        layout.result = RESULT_BAD_HANDLE;
        if (isLive(handle))
            layout = backend->getLayout(handle->ip());
        if (layout.result != RESULT_OK)
            layout = DecoderBackend::Layout();
        deliver([this, layout, pUser] {
            emit signalGetLayoutInfoResult(layout.mainIp, layout.mainType, layout.screens, layout.rows,
                                           layout.cols, layout.name, pUser);
        });
    });
}

void MatrixSdkWorker::setLayout(const QString& mainIp, MatrixType type, int row, int col,
                                const MatrixInfoList& screens, const QString& tvWallName)
{
    post([this, mainIp, type, row, col, screens, tvWallName] {
        const int result = isLive(getHandleByIp(mainIp))
                               ? backend->setLayout(mainIp, type, row, col, screens, tvWallName)
                               : int(RESULT_BAD_HANDLE);
        deliver([this, result] { emit signalSetLayoutResult(result); });
    });
}

void MatrixSdkWorker::setLayout(const QString& mainIp, int type, int row, int col,
                                const MatrixInfoList& screens, const QString& tvWallName)
{
    setLayout(mainIp, MatrixType(type), row, col, screens, tvWallName);
}

int MatrixSdkWorker::saveMatrixScene(const CMHandle& handle, int& sceneNo, const QString& name)
{
    if (!isLive(handle))
        return RESULT_BAD_HANDLE;
    const QString ip = handle->ip();
    {
        QMutexLocker lock(&handleMutex);
        if (sceneNo < 0)
            sceneNo = qMin(lastSceneNo.value(ip) + 1, MaxSceneNo);
        if (sceneNo < 1 || sceneNo > MaxSceneNo)
            return RESULT_BAD_ARGUMENT;
        lastSceneNo.insert(ip, qMax(lastSceneNo.value(ip), sceneNo));
    }
    const int no = sceneNo;
    post([this, handle, ip, no, name] {
        if (isLive(handle))
            backend->saveScene(ip, no, name);
    });
    return RESULT_OK;
}

int MatrixSdkWorker::saveMatrixScene(const CMHandle& handle, const int& sceneNo, const QString& name)
{
    int no = sceneNo;
    return saveMatrixScene(handle, no, name);
}

int MatrixSdkWorker::restoreMatrixScene(const CMHandle& handle, int sceneNo)
{
    return postSceneRequest(handle, sceneNo, &DecoderBackend::restoreScene);
}

int MatrixSdkWorker::removeMatrixScene(const CMHandle& handle, int sceneNo)
{
    return postSceneRequest(handle, sceneNo, &DecoderBackend::removeScene);
}

int MatrixSdkWorker::postSceneRequest(const CMHandle& handle, int sceneNo,
                                      int (DecoderBackend::*request)(const QString&, int))
{
    if (!isLive(handle))
        return RESULT_BAD_HANDLE;
    if (sceneNo < 1 || sceneNo > MaxSceneNo)
        return RESULT_BAD_ARGUMENT;
    post([this, handle, sceneNo, request] {
        if (isLive(handle))
            (backend.get()->*request)(handle->ip(), sceneNo);
    });
    return RESULT_OK;
}

// ---- device settings ----

void MatrixSdkWorker::checkScreen(const CMHandle& handle, int location, bool open)
{
    post([this, handle, location, open] {
        const int result =
            isLive(handle) ? backend->checkScreen(handle->ip(), location, open) : int(RESULT_BAD_HANDLE);
        deliver([this, result] { emit signalCheckScreenResult(result); });
    });
}

void MatrixSdkWorker::removeBanner(const CMHandle& handle)
{
    post([this, handle] {
        if (isLive(handle))
            backend->removeBanner(handle->ip());
    });
}

void MatrixSdkWorker::factoryReset(const CMHandle& handle)
{
    post([this, handle] {
        const QString ip = handle ? handle->ip() : QString();
        const int result = isLive(handle) ? backend->factoryReset(ip) : int(RESULT_BAD_HANDLE);
        if (result == RESULT_OK) {
            WatchRequest watch;
            watch.kind = ChangeKind::Reset;
            watch.ip = ip;
            watch.userName = handle->userName();
            watch.password = handle->password();
            watchChange(watch);
        }
        deliver([this, result, ip] { emit signalMatrixFactoryResetResult(result, ip); });
    });
}

void MatrixSdkWorker::activeDecoder(const QString& deviceId, const QString& password)
{
    post([this, deviceId, password] {
        const int result = backend->activate(deviceId, password);
        deliver([this, result, deviceId] { emit signalActiveDecoderFinished(result, deviceId); });
    });
}

void MatrixSdkWorker::userPasswordModify(const CMHandle& handle, const QString& oldPassword,
                                         const QString& newPassword)
{
    post([this, handle, oldPassword, newPassword] {
        const QString ip = handle ? handle->ip() : QString();
        const int result = isLive(handle)
                               ? backend->changePassword(ip, handle->userName(), oldPassword, newPassword)
                               : int(RESULT_BAD_HANDLE);
        if (result == RESULT_OK) {
            WatchRequest watch;
            watch.kind = ChangeKind::Password;
            watch.ip = ip;
            watch.userName = handle->userName();
            watch.password = newPassword;
            watchChange(watch);
        }
        deliver([this, result, ip, newPassword] {
            emit signalUserPasswordModifyResult(result, ip, newPassword);
        });
    });
}

void MatrixSdkWorker::getMatrixNetworkInfo(const MatrixInfo& info, int type)
{
    post([this, info, type] {
        DeviceNetworkCfg_t cfg{};
        backend->offerCredentials(info.ip, info.userName, info.password);
        backend->getNetwork(info.ip, &cfg);
        const QString ip = info.ip;
        deliver([this, cfg, ip, type] { emit signalGetMatrixNetworkResult(cfg, ip, type); });
    });
}

void MatrixSdkWorker::setMatrixNetworkConfig(const CMHandle& handle, const MatrixInfo& oldInfo,
                                             const MatrixInfo& newInfo, const DeviceNetworkCfg_t& cfg,
                                             int type, void* pUser)
{
    Q_UNUSED(type)
    Q_UNUSED(pUser)
    post([this, handle, oldInfo, newInfo, cfg] {
        const QString formerIp = handle ? handle->ip() : oldInfo.ip;
        const bool ownCredentials = !newInfo.userName.isEmpty();
        const QString user = ownCredentials || !handle ? newInfo.userName : handle->userName();
        const QString password = ownCredentials || !handle ? newInfo.password : handle->password();
        QString newIp = QString::fromLatin1(cfg.ipv4Addr, int(qstrnlen(cfg.ipv4Addr, sizeof cfg.ipv4Addr)));
        const int result = backend->setNetwork(formerIp, user, password, cfg, &newIp);
        if (result == RESULT_OK) {
            WatchRequest watch;
            watch.kind = ChangeKind::Address;
            watch.ip = newIp;
            watch.formerIp = formerIp;
            watch.userName = user;
            watch.password = password;
            // A record that never heard its decoder's id carries a mark no device reports.
            if (oldInfo.deviceId != MatrixInfo().deviceId)
                watch.deviceId = oldInfo.deviceId;
            watch.expectedMask = fieldString(cfg.ipv4Mask, sizeof cfg.ipv4Mask);
            watchChange(watch);
        }
        deliver(
            [this, result, newIp, formerIp] { emit signalSetMatrixNetworkResult(result, newIp, formerIp); });
    });
}

void MatrixSdkWorker::getMatrixResolution(const CMHandle& handle, int screenRow, int screenColumn)
{
    post([this, handle, screenRow, screenColumn] {
        ScreenResolution_t resolution{0, 0, 0};
        if (isLive(handle) &&
            backend->getResolution(handle->ip(), screenRow, screenColumn, &resolution) != RESULT_OK)
            resolution = ScreenResolution_t{0, 0, 0};
        deliver([this, resolution] { emit signalMatrixGetResolutionResult(resolution); });
    });
}

void MatrixSdkWorker::setMatrixResolution(const CMHandle& handle, const ScreenResolutionInfo& info,
                                          bool persist)
{
    post([this, handle, info, persist] {
        const int result =
            isLive(handle) ? backend->setResolution(handle->ip(), info, persist) : int(RESULT_BAD_HANDLE);
        deliver([this, result] { emit signalMatrixSetResolutionResult(result); });
    });
}

void MatrixSdkWorker::getMatrixScreenColor(const CMHandle& handle, int screenRow, int screenColumn)
{
    post([this, handle, screenRow, screenColumn] {
        ScreenColor color = failedColor();
        if (!isLive(handle) ||
            backend->getScreenColor(handle->ip(), screenRow, screenColumn, &color) != RESULT_OK)
            color = failedColor();
        deliver([this, color] { emit signalMatrixGetScreenColorResult(color); });
    });
}

void MatrixSdkWorker::setMatrixScreenColor(const CMHandle& handle, int screenRow, int screenColumn,
                                           const ScreenColor& color)
{
    post([this, handle, screenRow, screenColumn, color] {
        const int result = isLive(handle)
                               ? backend->setScreenColor(handle->ip(), screenRow, screenColumn, color)
                               : int(RESULT_BAD_HANDLE);
        deliver([this, result] { emit signalMatrixSetScreenColorResult(result); });
    });
}

void MatrixSdkWorker::addWindowInfo(const CMHandle& handle, const MatrixWindowInfo& window)
{
    post([this, handle, window] {
        if (isLive(handle))
            backend->addWindow(handle->ip(), withInstalledPictures(window));
    });
}

void MatrixSdkWorker::setWindowSignalSource(const CMHandle& handle, const MatrixWindowInfo& window,
                                            int windowId, bool show)
{
    post([this, handle, window, windowId, show] {
        if (isLive(handle))
            backend->setWindowSource(handle->ip(), withInstalledPictures(window), windowId, show);
    });
}

// ---- maintenance ----

void MatrixSdkWorker::getLog(const CMHandle& handle, const QDateTime& begin, const QDateTime& end,
                             int logType, const QString& givenPath)
{
    // A package without a destination is a save dialog that was cancelled: nothing to write or report.
    if (logType == -1 && givenPath.isEmpty())
        return;
    post([this, handle, begin, end, logType, givenPath] {
        const QString filePath = clientFilePath(givenPath);
        QStringList lines;
        const int result = isLive(handle)
                               ? backend->getLog(handle->ip(), begin, end, logType, filePath, &lines)
                               : int(RESULT_BAD_HANDLE);
        if (result != RESULT_OK)
            lines.clear();
        if (logType == -1 && result == RESULT_OK)
            return;
        deliver([this, lines] { emit signalGetLogsResult(lines); });
    });
}

void MatrixSdkWorker::exportMatrixConfig(const CMHandle& handle, const QString& givenPath)
{
    post([this, handle, givenPath] {
        const QString path = clientFilePath(givenPath);
        const int result =
            isLive(handle) ? backend->exportConfig(handle->ip(), path) : int(RESULT_BAD_HANDLE);
        deliver([this, result] { emit signalExportConfigResult(result); });
    });
}

void MatrixSdkWorker::importMatrixConfig(const CMHandle& handle, const QString& givenPath)
{
    post([this, handle, givenPath] {
        const QString path = clientFilePath(givenPath);
        if (!isLive(handle)) {
            deliver([this] { emit signalImportConfigResult(RESULT_BAD_HANDLE); });
            return;
        }
        const QString marker = configurationMarker(path);
        const int result = backend->importConfig(handle->ip(), path);
        if (result == RESULT_OK) {
            WatchRequest watch;
            watch.kind = ChangeKind::Import;
            watch.ip = handle->ip();
            watch.userName = handle->userName();
            watch.password = handle->password();
            watch.expectedMarker = marker;
            watchChange(watch);
        }
        deliver([this, result] { emit signalImportConfigResult(result); });
    });
}

void MatrixSdkWorker::setUpdateMatrixInfo(const QList<DeviceInfo_t>& devices, const QString& givenPath)
{
    post([this, devices, givenPath] {
        const QString filePath = clientFilePath(givenPath);
        // What each card is watched for once it is done: the image's version instead of the one it ran.
        FirmwareImage image;
        const QString expected = FirmwareImage::read(filePath, &image) ? image.version : QString();
        QList<WatchRequest> watches;
        for (const DeviceInfo_t& device : devices) {
            WatchRequest watch;
            watch.kind = ChangeKind::Upgrade;
            watch.ip = fieldString(device.ip, sizeof device.ip);
            watch.userName = fieldString(device.userName, sizeof device.userName);
            watch.password = fieldString(device.password, sizeof device.password);
            watch.deviceId = fieldString(device.deviceId, sizeof device.deviceId);
            watch.expectedVersion = expected;
            if (const CMHandle handle = getHandleByIp(watch.ip)) {
                watch.formerVersion = handle->version();
                watch.formerBootId = handle->bootId();
            }
            watches.append(watch);
        }
        DecoderBackend::UpgradeSink sink;
        sink.progress = [this, watches](int card, int marker, int percent, int code, bool latest) {
            deliver([=] { emit signalUpdateMatrixProgress(card, marker, percent, code, latest); });
            if (marker == 0 && percent == 100 && code == 0 && !latest && card >= 1 && card <= watches.size())
                watchChange(watches.at(card - 1));
        };
        sink.result = [this](int code) {
            deliver([this, code] { emit signalUpdateMatrixResult(code); });
        };
        const int result = backend->startUpgrade(devices, filePath, sink);
        deliver([this, result] { emit signalUpdateMatrixResult(result); });
    });
}

void MatrixSdkWorker::reportBatch(const BatchUpgradeReport& report)
{
    deliver([this, report] { emit signalBatchUpgradeReport(report); });
}

FirmwareImageInfo MatrixSdkWorker::readImage(const QString& path)
{
    // A batch reads one image for every decoder: its checksum is taken again only when the file changed.
    const QFileInfo file(path);
    const QDateTime modified = file.exists() ? file.lastModified() : QDateTime();
    if (imageRead.path != path || imageRead.size != file.size() || imageRead.modified != modified ||
        !modified.isValid()) {
        FirmwareImage image;
        imageRead.info = FirmwareImageInfo();
        imageRead.info.sound = FirmwareImage::read(path, &image, &imageRead.info.problem);
        imageRead.info.model = image.model;
        imageRead.info.version = image.version;
        imageRead.path = path;
        imageRead.size = file.size();
        imageRead.modified = modified;
    }
    return imageRead.info;
}

void MatrixSdkWorker::checkFirmware(const QStringList& ips, const QString& givenPath, quint64 run)
{
    post([this, ips, givenPath, run] {
        const FirmwareImageInfo info = readImage(clientFilePath(givenPath));
        QList<DecoderFirmwareInfo> decoders;
        for (const QString& ip : ips) {
            DecoderFirmwareInfo decoder;
            decoder.ip = ip;
            const CMHandle handle = getHandleByIp(ip);
            decoder.connected = isLive(handle);
            if (decoder.connected) {
                decoder.model = handle->model();
                decoder.version = handle->version();
            }
            decoders.append(decoder);
        }
        deliver([this, run, info, decoders] { emit signalFirmwareCheckResult(run, info, decoders); });
    });
}

void MatrixSdkWorker::upgradeDecoder(const MatrixInfo& decoder, const QString& givenPath, quint64 run)
{
    post([this, decoder, givenPath, run] {
        const QString ip = decoder.ip;
        const QString filePath = clientFilePath(givenPath);
        auto report = [this, run, ip](BatchUpgradeReport r) {
            r.run = run;
            r.ip = ip;
            reportBatch(r);
        };
        WatchRequest watch;
        watch.kind = ChangeKind::Upgrade;
        watch.ip = ip;
        watch.userName = decoder.userName;
        watch.password = decoder.password;
        watch.formerVersion = decoder.version;
        watch.tag = run;
        if (const CMHandle handle = getHandleByIp(ip)) {
            watch.userName = handle->userName();
            watch.password = handle->password();
            watch.formerVersion = handle->version();
            watch.formerBootId = handle->bootId();
        }
        const FirmwareImageInfo image = readImage(filePath);
        if (image.sound)
            watch.expectedVersion = image.version;
        DeviceInfo_t device{};
        const auto put = [](char* field, size_t size, const QString& text) {
            const QByteArray bytes = text.toLatin1().left(int(size) - 1);
            std::memcpy(field, bytes.constData(), size_t(bytes.size()));
        };
        put(device.ip, sizeof device.ip, ip);
        put(device.userName, sizeof device.userName, watch.userName);
        put(device.password, sizeof device.password, watch.password);

        // Reports stop once the decoder restarted (the watch goes on from there) or failed.
        auto over = std::make_shared<bool>(false);
        DecoderBackend::UpgradeSink sink;
        sink.endsAtRestart = true;
        sink.progress = [this, report, watch, over](int card, int marker, int percent, int code,
                                                    bool latest) {
            if (*over || card != 1)
                return;
            BatchUpgradeReport r;
            if (latest) {
                r.stage = BatchUpgradeReport::Done;
                r.latest = true;
                r.version = watch.expectedVersion;
                *over = true;
            } else if (marker == -1 && percent == -1) {
                r.stage = BatchUpgradeReport::Failed;
                r.code = code;
                *over = true;
            } else if (percent >= 100) {
                r.stage = BatchUpgradeReport::Restarting;
                *over = true;
                watcher->watch(watch);
            } else {
                r.percent = qMax(0, percent);
            }
            report(r);
        };
        sink.result = [report, over](int code) {
            if (*over || code == RESULT_OK)
                return;
            *over = true;
            BatchUpgradeReport r;
            r.stage = BatchUpgradeReport::Failed;
            r.code = code;
            report(r);
        };
        const int result = backend->startUpgrade({device}, filePath, sink);
        if (result != RESULT_OK && !*over) {
            *over = true;
            BatchUpgradeReport r;
            r.stage = BatchUpgradeReport::Failed;
            r.code = result;
            report(r);
        }
    });
}

// ---- store ----

MatrixInfoMap MatrixSdkWorker::getDecoderFromJson()
{
    return PSingleton<MatrixSdkWorker>::_instance().store->decoders();
}

QMap<QString, TvWallManagement> MatrixSdkWorker::getMatrixFromJson()
{
    return PSingleton<MatrixSdkWorker>::_instance().store->tvWalls();
}

void MatrixSdkWorker::addDecoderToJson(const QList<MatrixInfo>& list)
{
    PSingleton<MatrixSdkWorker>::_instance().store->replaceDecoders(list);
}

void MatrixSdkWorker::addMatrixToJson(const QList<TvWallManagement>& list)
{
    PSingleton<MatrixSdkWorker>::_instance().store->replaceTvWalls(list);
}

DecoderWallCopy MatrixSdkWorker::getWallCopyFromJson(const QString& tvWallName)
{
    return PSingleton<MatrixSdkWorker>::_instance().store->wallCopy(tvWallName);
}

void MatrixSdkWorker::setWallCopyToJson(const QString& tvWallName, const DecoderWallCopy& copy)
{
    PSingleton<MatrixSdkWorker>::_instance().store->setWallCopy(tvWallName, copy);
}

void MatrixSdkWorker::setDataDirectory(const QString& dir)
{
    PSingleton<MatrixSdkWorker>::_instance().store->setDataDirectory(dir);
}

QString MatrixSdkWorker::dataDirectory()
{
    return PSingleton<MatrixSdkWorker>::_instance().store->dataDirectory();
}

void MatrixSdkWorker::setSecretKeyFile(const QString& path)
{
    PSingleton<MatrixSdkWorker>::_instance().store->setKeyFile(path);
}

QString MatrixSdkWorker::secretKeyFile()
{
    return PSingleton<MatrixSdkWorker>::_instance().store->keyFile();
}

bool MatrixSdkWorker::flushStore()
{
    return PSingleton<MatrixSdkWorker>::_instance().store->flush();
}

bool MatrixSdkWorker::lockDataDirectory(QString* why)
{
    return PSingleton<MatrixSdkWorker>::_instance().store->lockDirectory(why);
}

} // namespace pral_matrix
