#pragma once

#include "batchupgradereport.h"
#include "csharedhandle.h"
#include "decoder_service_global.h"
#include "decoderbackend.h"
#include "decoderwallcopy.h"
#include "decoderwatch.h"
#include "matrixrecords.h"
#include "psingleton.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <functional>
#include <memory>

namespace pral_matrix {

class FaultInjector;
class MatrixStore;

/**
 * @brief The decoder service: every device operation, the connection handles
 * and the client's stored decoder and TV-wall lists.
 *
 * The worker lives on its own thread, started when the singleton is made and
 * stopped when the application object goes, after the clients' quit
 * handling: requests made until then are carried out in order, the store is
 * written, and the results that come after are not reported. Operations return at once; the request
 * is queued to the service thread, which asks the back end and emits the
 * result signal from that thread. Clients may connect results with
 * Qt::BlockingQueuedConnection: the service thread then waits for the slot,
 * modal dialogs included. Results are delivered in the order requests were
 * made. Requests about a null or stale handle, an unknown address or a bad
 * value are answered with a non-zero result, never dropped. void* pUser comes
 * back untouched with its result.
 *
 * A decoder that ends its session by itself (it restarts after an imported
 * configuration or new firmware, reboots, or stops answering) is reported
 * once through signalDisconnectStatus, after the result of the request that
 * caused it; a factory reset and a new address end the session without it.
 * After each successful import, upgraded card, password change, address
 * change and factory reset the service watches the decoder until it is back
 * and shows the change (changeWatch()); the watch reports on its own signals.
 *
 * The store functions are static and belong to the GUI thread.
 */
class DECODER_SERVICE_EXPORT MatrixSdkWorker : public QObject
{
    Q_OBJECT

public:
    // ---- device operations: any thread, results from the service thread ----

    void searchMatrix();
    /**
     * Answered by at most one signalConnectErrorMsg and then exactly one
     * signalConnectMatrixResult. Refused as not authorised without asking the
     * decoder when info carries no password and the stored one could not be
     * opened, or when the same credentials were refused moments ago.
     */
    void connectMatrix(const MatrixInfo& info, void* pUser);
    void disconnectMatrix(const CMHandle& handle);
    /** Ends every connection without reporting each one. */
    void disconnectAllMatrix();
    /** Forgets the connection to ip at once; getHandleByIp(ip) is null on return. */
    void removeHandle(const QString& ip);
    /** The live connection to ip, or null. Safe from any thread. */
    CMHandle getHandleByIp(const QString& ip) const;
    /**
     * Changes whenever a connection handle comes or goes: a client that read every handle it shows needs
     * to read them again only once this differs from what it was before those reads. Safe from any thread.
     */
    int handleTableChanges() const;

    /**
     * Answered with the decoder's wall, or, when the handle is stale, the
     * decoder holds no wall or refuses, with an empty mainMatrixIp.
     */
    void getLayout(const CMHandle& handle, void* pUser);
    /** Sent over the live connection to mainIp; without one the result is non-zero. */
    void setLayout(const QString& mainIp, MatrixType type, int row, int col, const MatrixInfoList& screens,
                   const QString& tvWallName);
    void setLayout(const QString& mainIp, int type, int row, int col, const MatrixInfoList& screens,
                   const QString& tvWallName);

    /**
     * Scenes answer synchronously whether the request was accepted (0) or
     * refused for a stale handle or a scene number outside 1..64; the decoder
     * applies accepted requests in order with every other request. A
     * negative sceneNo asks for the next free number, which is written back.
     */
    int saveMatrixScene(const CMHandle& handle, int& sceneNo, const QString& name);
    int saveMatrixScene(const CMHandle& handle, const int& sceneNo, const QString& name);
    int restoreMatrixScene(const CMHandle& handle, int sceneNo);
    int removeMatrixScene(const CMHandle& handle, int sceneNo);

    void checkScreen(const CMHandle& handle, int location, bool open);
    /** No result; a null handle is ignored. */
    void removeBanner(const CMHandle& handle);
    /** The decoder forgets its settings and activation and drops the connection (without a disconnect
     * notice); then it is watched until it answers in its factory state. */
    void factoryReset(const CMHandle& handle);
    void activeDecoder(const QString& deviceId, const QString& password);
    void userPasswordModify(const CMHandle& handle, const QString& oldPassword, const QString& newPassword);

    /** Works on the address of info without a connection; a failure reports an all-zero configuration. */
    void getMatrixNetworkInfo(const MatrixInfo& info, int type);
    /**
     * Logs in with newInfo's credentials (or, when it has none, the handle's)
     * at the handle's address (or oldInfo's); -22 for wrong credentials. A new
     * address moves the decoder and ends its connection without a notice.
     */
    void setMatrixNetworkConfig(const CMHandle& handle, const MatrixInfo& oldInfo, const MatrixInfo& newInfo,
                                const DeviceNetworkCfg_t& cfg, int type, void* pUser);

    /** Screen (0, 0) is the whole decoder; a failure reports 0 x 0. */
    void getMatrixResolution(const CMHandle& handle, int screenRow, int screenColumn);
    void setMatrixResolution(const CMHandle& handle, const ScreenResolutionInfo& info, bool persist);
    /** A failure reports -1 in every field. */
    void getMatrixScreenColor(const CMHandle& handle, int screenRow, int screenColumn);
    void setMatrixScreenColor(const CMHandle& handle, int screenRow, int screenColumn,
                              const ScreenColor& color);
    /**
     * A test picture (source kind 7) whose path names no file is taken from the application's own
     * pictures (AppFiles::testPicturesDirectory()) when they have a file of that name.
     */
    void addWindowInfo(const CMHandle& handle, const MatrixWindowInfo& window);
    void setWindowSignalSource(const CMHandle& handle, const MatrixWindowInfo& window, int windowId,
                               bool show);

    /**
     * logType 0 system, 1 warning, 2 operation, 3 abnormal: answered with the
     * lines of the span (empty on failure). logType -1 writes the log package
     * (a .tgz) to filePath and answers only when that fails, with no lines;
     * without a filePath it does nothing.
     *
     * The file paths of these operations and of the upgrade may come with
     * every "/" written as two backslashes, as the client's file dialog gives
     * them: they name the file with "/" in their place.
     */
    void getLog(const CMHandle& handle, const QDateTime& begin, const QDateTime& end, int logType,
                const QString& filePath);
    void exportMatrixConfig(const CMHandle& handle, const QString& path);
    void importMatrixConfig(const CMHandle& handle, const QString& path);
    /**
     * signalUpdateMatrixResult(0) when the upgrade starts (-3 for a bad
     * file), then signalUpdateMatrixProgress per device over time and
     * (0, 0, 0, 0, false) at the end. A failure report is followed by
     * signalUpdateMatrixResult(-10), which ends the upgrade.
     */
    void setUpdateMatrixInfo(const QList<DeviceInfo_t>& devices, const QString& filePath);

    // ---- firmware for many decoders: reports of their own, never those of setUpdateMatrixInfo ----

    /**
     * Reads the image at filePath whole (its checksum) and what the live
     * connections tell of each decoder (connected, model, running version),
     * asking the decoders nothing; answered by one signalFirmwareCheckResult
     * with the decoders in the order given.
     */
    void checkFirmware(const QStringList& ips, const QString& filePath, quint64 run);
    /**
     * Upgrades the one decoder of decoder.ip from the image at filePath, beside
     * other upgrades of this kind: with the credentials of its live connection,
     * or without one, those of decoder. Reports go to signalBatchUpgradeReport
     * with run, from Sending to Done or Failed, in order. Once it restarts the
     * decoder is watched (changeWatch(), tagged with run) whether or not the
     * service watches its own changes: the watch's outcome ends the reports.
     * decoder.version is the version before, when no connection tells it.
     */
    void upgradeDecoder(const MatrixInfo& decoder, const QString& filePath, quint64 run);

    // ---- back end, faults and test seam ----

    /** Replaces the back end with the simulated fleet described by json; false and *error when it is not one.
     */
    bool loadFleet(const QByteArray& json, QString* error = nullptr);
    /** The fleet the application runs on when it is given none. */
    static QByteArray defaultFleetJson();
    /**
     * Replaces the back end (which must have no parent). Every connection of
     * the old one ends without a notice; an upgrade in progress stops.
     */
    void setBackend(std::unique_ptr<DecoderBackend> backend);
    /** Faults armed here reach every back end. */
    FaultInjector& faults();
    /** The connection to ip breaks: signalDisconnectStatus follows. */
    void dropConnection(const QString& ip);
    /** Delay of every result in ms; set from the back end when it is installed. */
    void setResultDelay(int ms);
    int resultDelay() const;

    /** The watch after changes; its options and signals are safe from any thread. */
    DecoderWatch& changeWatch() { return *watcher; }
    /** Whether the service watches decoders after its own changes (default true). */
    void setWatchChanges(bool on) { watchChanges.storeRelease(on ? 1 : 0); }

    /** Runs fn on the service thread, after every request made before. */
    void invokeOnServiceThread(std::function<void()> fn);
    QThread* serviceThread() { return &thread; }

    /**
     * A handle that no connection table holds: what a failed connection
     * result carries. For back ends and tests that emit results themselves.
     */
    static CMHandle makeDetachedHandle(const QString& ip, const QString& userName, const QString& password,
                                       int matrixType, const QString& version);

    /** Stops the service thread; also runs by itself when the application quits. */
    void shutdown();

    // ---- store: GUI thread ----

    static MatrixInfoMap getDecoderFromJson();
    static QMap<QString, TvWallManagement> getMatrixFromJson();
    /** Replaces the stored decoders with list. */
    static void addDecoderToJson(const QList<MatrixInfo>& list);
    /** Replaces the stored TV walls with list. */
    static void addMatrixToJson(const QList<TvWallManagement>& list);
    /**
     * What this desk last received from or sent to the main decoder of the
     * wall called tvWallName; kept is false when nothing was kept.
     */
    static DecoderWallCopy getWallCopyFromJson(const QString& tvWallName);
    /** Kept with the wall of that name; forgotten when a list without it replaces the walls. */
    static void setWallCopyToJson(const QString& tvWallName, const DecoderWallCopy& copy);
    /** Empty: TVWALL_DATA_DIR, or without it the application data location. */
    static void setDataDirectory(const QString& dir);
    static QString dataDirectory();
    /** File of the key that seals stored passwords; empty: TVWALL_KEY_FILE or the default. */
    static void setSecretKeyFile(const QString& path);
    /** The key file in use: where this installation keeps what belongs to it alone. */
    static QString secretKeyFile();
    /** Writes pending changes now; false when a write failed. */
    static bool flushStore();
    /**
     * Takes the data directory for this process. false, with *why naming the
     * process that uses it, when another one does: this one then never writes.
     */
    static bool lockDataDirectory(QString* why = nullptr);

signals:
    void signalSearchMatrixResult(MatrixInfoMap matrixInfoMap);
    void signalConnectMatrixResult(QSharedPointer<CSharedHandle> mHandle, int result, int type, void* pUser);
    void signalConnectErrorMsg(QString ip, pral_matrix::ConnectErrorMsgInfo errorMsg, void* pUser);
    void signalDisconnectMatrixResult(int ret, QString ip);
    void signalDisconnectStatus(CMHandle handle, QString ip);
    void signalGetLayoutInfoResult(QString mainMatrixIp, int maintype, MatrixInfoList matrixInfoList, int row,
                                   int col, QString matrixName, void* pUser);
    void signalSetLayoutResult(int ret);
    void signalCheckScreenResult(int ret);
    void signalMatrixFactoryResetResult(int ret, QString ip);
    void signalActiveDecoderFinished(int ret, QString id);
    void signalUserPasswordModifyResult(int ret, QString ip, QString newPassword);
    void signalGetMatrixNetworkResult(DeviceNetworkCfg_t networkCfg, QString formerIp, int type);
    void signalSetMatrixNetworkResult(int ret, QString mainIp, QString formerIp);
    void signalMatrixGetResolutionResult(ScreenResolution_t srt);
    void signalMatrixSetResolutionResult(int ret);
    void signalMatrixGetScreenColorResult(pral_matrix::ScreenColor oScreenColor);
    void signalMatrixSetScreenColorResult(int ret);
    void signalGetLogsResult(QStringList logs);
    void signalExportConfigResult(int ret);
    void signalImportConfigResult(int ret);
    void signalUpdateMatrixProgress(int card, int marker, int percent, int code, bool latest);
    void signalUpdateMatrixResult(int ret);
    void signalFirmwareCheckResult(quint64 run, pral_matrix::FirmwareImageInfo image,
                                   QList<pral_matrix::DecoderFirmwareInfo> decoders);
    void signalBatchUpgradeReport(pral_matrix::BatchUpgradeReport report);
    /** Emitted by the client on the GUI thread: an output was (un)mapped to a screen. */
    void signalScreenMapping(QString outputKey, bool mapped);
    /** The store could not read or write a list; emitted on the GUI thread. */
    void signalStoreProblem(QString message);
    /** Stored passwords cannot be opened or kept: the operator has to act; emitted on the GUI thread. */
    void signalStoreKeyProblem(QString message);

private:
    friend class PSingleton<MatrixSdkWorker>;

    MatrixSdkWorker();
    ~MatrixSdkWorker() override;

    static void shutdownAtExit();
    void post(std::function<void()> request);
    void deliver(std::function<void()> emitter);
    bool isLive(const CMHandle& handle) const;
    /** Checks a scene request and queues it; the back end's answer is not reported. */
    int postSceneRequest(const CMHandle& handle, int sceneNo,
                         int (DecoderBackend::*request)(const QString&, int));
    void installBackend(DecoderBackend* backend);
    void forgetHandle(const QString& ip);
    /** Any thread: the back end ended the session to ip. */
    void sessionEnded(const QString& ip, DecoderBackend::SessionEnd why);
    /** Service thread: the notices of sessions that ended during the request just done. */
    void flushNotices();
    /** Service thread. */
    void watchChange(const WatchRequest& request);
    /** Service thread: a batch's report, after the results asked for before it. */
    void reportBatch(const BatchUpgradeReport& report);
    /** Service thread: the image at path, read again only when the file changed since the last time. */
    FirmwareImageInfo readImage(const QString& path);
    /** Service thread. */
    DecoderBackend::Login loginOnce(const MatrixInfo& info);

    QThread thread;
    QThread* homeThread = nullptr;
    QAtomicInt stopping;
    QAtomicInt delayMs;
    std::unique_ptr<DecoderBackend> backend;
    /** The installed back end, for login hints from any thread. */
    QMutex hintMutex;
    DecoderBackend* hintTarget = nullptr;
    std::unique_ptr<FaultInjector> faultInjector;
    std::unique_ptr<MatrixStore> store;
    DecoderWatch* watcher = nullptr;
    QAtomicInt watchChanges = 1;
    /** Service thread: a request is being carried out; the notices it causes wait for its result. */
    bool inRequest = false;
    QList<QPair<CMHandle, QString>> pendingNotices;
    /** Service thread: the image readImage() read last. */
    struct
    {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        FirmwareImageInfo info;
    } imageRead;

    mutable QMutex handleMutex;
    QMap<QString, CMHandle> handles;
    QAtomicInt handleChanges;
    QMap<QString, int> lastSceneNo;

    /** A login the decoder refused. Written on the service thread, read also by the login hint. */
    struct Refusal
    {
        QString userName;
        QString password;
        DecoderBackend::Login login;
        QElapsedTimer age;
    };
    static constexpr int RefusalMemoryMs = 5000;
    mutable QMutex refusalMutex;
    QHash<QString, Refusal> refusals;
    /** True, with the decoder's answer in *login, while the same credentials were just refused. */
    bool remembersRefusal(const MatrixInfo& info, DecoderBackend::Login* login) const;
};

} // namespace pral_matrix
