#pragma once

#include "decoder_network_global.h"
#include "decoderbackend.h"
#include "soapenvelope.h"

#include <QAtomicInt>
#include <QMap>
#include <QMutex>
#include <QSet>
#include <QThreadPool>
#include <QTimer>

#include <future>
#include <memory>

namespace pral_matrix {

class DeviceIoServiceClient;
class DeviceServiceClient;
class DiscoveryClient;
class DisplayServiceClient;
class ExtensionServiceClient;
class OnvifTransport;
class ReceiverServiceClient;

/**
 * @brief The back end for decoders on a network: ONVIF over SOAP 1.2 and
 * HTTP with WS-Security UsernameToken digests, WS-Discovery for search, and
 * our extension service for what ONVIF has no operation for.
 *
 * This class only dispatches: it keeps the lanes, the pool, the sessions'
 * lifecycle and the reporting, and hands each call to the client of the
 * service that has the operation, one file each: DeviceServiceClient
 * (device management), DeviceIoServiceClient (outputs), DisplayServiceClient
 * and ReceiverServiceClient (windows and their sources), ExtensionServiceClient
 * (ours) and DiscoveryClient (search and identity), all over one
 * OnvifTransport (HTTP, SOAP, TLS, credentials, notices).
 *
 * Any ONVIF device can be searched for, logged in to and maintained. Windows
 * go through the display and receiver services where the decoder offers them
 * (GetServices says so) and through our extension otherwise. What only our
 * extension does (walls, scenes, identify, screen colours, test pictures) is
 * refused at once on a device without it: RESULT_UNSUPPORTED, and once per
 * session the notice that the decoder does not support TV walls.
 *
 * Like every back end it is called on the service thread, one call at a
 * time, and answers synchronously. Each call blocks on sockets with a connect
 * and a request timeout, never in an event loop. The HTTP work runs on a small
 * pool in one lane per address: calls to one decoder keep their order, calls
 * to different decoders may overlap. Logins announced with prepareLogin start
 * on the pool at once, so a burst of connections (connect-all) overlaps; the
 * service thread still collects each result in request order.
 *
 * Every exchange goes through HttpClient with the limits a hostile device
 * needs (a deadline for the whole request, header and reply size limits), and
 * every value a decoder reports is checked against what the records hold
 * (OnvifCodec's check functions) before it reaches the service. A decoder is
 * who the last search found at an address: its answer only describes the host
 * it came from, an id that different hosts claim is a conflict, and activation
 * and password changes go only to an address that answered a probe as that
 * device. Calls stay on a decoder's address whatever host its service
 * addresses name. abandonCalls (the service stops) ends every call in flight
 * within a short grace, so that quitting never waits for a silent device.
 *
 * Failures a network brings have result codes of their own (ResultTimeout and
 * the rest) and are told through signalNetworkProblem; a decoder with a live
 * session that stops answering is reported through signalDecoderLost, which
 * the service turns into a broken connection (endSession with
 * SessionEnd::Lost). Both signals come from pool threads: connect them queued.
 * Every other code is the decoder's own and reaches the service unchanged.
 *
 * A live session is checked every linkCheckMs, each at its own moment so that
 * thousands of them never come at once: one unauthenticated GetServices. No
 * answer is a lost decoder; another boot id in our extension's capabilities
 * is a decoder that restarted (SessionEnd::Restarted), as is the end of an
 * import or of a card's upgrade. probe() looks at a decoder beside the
 * sessions, in its lane, and tells no network problems: the one who asked
 * retries.
 *
 * Sessions: ONVIF keeps none, our decoders do (a resolution that is not kept
 * lasts until the session ends; an upgrade fails when its decoder's session
 * does). logout tells a decoder that offers our extension service
 * (EndSession) in its lane without waiting for the answer, so the decoder
 * hears of it before anything asked of it later. Where the decoder ends the
 * session itself (a factory reset, a new address, an imported configuration,
 * a transfer that broke off) the back end ends it here too, through
 * endSession, before the call returns. A login's session counts from the
 * moment the service thread collects its result, so a logout queued before
 * it never ends it.
 */
class DECODER_NETWORK_EXPORT OnvifBackend : public DecoderBackend
{
    Q_OBJECT

public:
    /** Apart from every code a decoder gives (its configuration files' refusals are -40 to -45). */
    enum NetworkResult
    {
        ResultTimeout = -50,
        ResultConnectionRefused = -51,
        /** Unreadable, too large, a flood of headers, not HTTP. */
        ResultBadReply = -52,
        ResultConnectionLost = -53,
        /** A value the records cannot hold (a wall of 2^31-1 rows), or a fault with no error code. */
        ResultOutOfRange = -54,
        /** Different hosts claim the decoder's id: nothing secret goes to either. */
        ResultIdentityConflict = -55,
        /** The address did not answer a probe as the decoder logged in there. */
        ResultIdentityUnconfirmed = -56,
        /** TLS failed, or the decoder's key is not the one known for it. */
        ResultNotTrusted = -57,
    };

    struct Options
    {
        /** Addresses probed by search, one unicast probe each. */
        QStringList targets;
        /** HTTP port of a decoder that discovery has not told about. */
        quint16 httpPort = 80;
        quint16 discoveryPort = 3702;
        /** Also probe the WS-Discovery multicast group; for real networks only. */
        bool multicast = false;
        int connectTimeoutMs = 2000;
        /** The longest one request may take, connecting included. */
        int requestTimeoutMs = 5000;
        /** How long search waits for probe answers. */
        int discoveryWaitMs = 1500;
        int poolSize = 64;
        qint64 maxReplyBytes = 8 * 1024 * 1024;
        qint64 maxFileBytes = 256 * 1024 * 1024;
        int upgradePollMs = 100;
        /** How often each live session is checked; 0: never. */
        int linkCheckMs = 10000;
        /**
         * The decoders' TLS keys pinned on first use; empty: device-keys.json beside the key file of the
         * stored passwords (MatrixSdkWorker::secretKeyFile()).
         */
        QString keyPinFile;
    };

    /**
     * Addresses from a text of comma-separated IPv4 addresses and ranges
     * ("127.0.0.2-127.0.0.9" or "127.0.0.2-9"); false and *error for
     * anything else or more than 65536 addresses.
     */
    static bool parseTargets(const QString& text, QStringList* addresses, QString* error);

    explicit OnvifBackend(const Options& options);
    /** Abandons the calls in flight (after a short grace) and waits for them. */
    ~OnvifBackend() override;

    void abandonCalls(int graceMs) override;

    void prepareLogin(const QString& ip, const QString& userName, const QString& password) override;
    MatrixInfoMap search() override;
    Login login(const QString& ip, const QString& userName, const QString& password) override;
    void logout(const QString& ip) override;
    Layout getLayout(const QString& ip) override;
    int setLayout(const QString& mainIp, int type, int rows, int cols, const MatrixInfoList& screens,
                  const QString& name) override;
    int saveScene(const QString& ip, int sceneNo, const QString& name) override;
    int restoreScene(const QString& ip, int sceneNo) override;
    int removeScene(const QString& ip, int sceneNo) override;
    int checkScreen(const QString& ip, int location, bool open) override;
    int removeBanner(const QString& ip) override;
    int factoryReset(const QString& ip) override;
    int activate(const QString& deviceId, const QString& password) override;
    int changePassword(const QString& ip, const QString& userName, const QString& oldPassword,
                       const QString& newPassword) override;
    void offerCredentials(const QString& ip, const QString& userName, const QString& password) override;
    int getNetwork(const QString& ip, DeviceNetworkCfg_t* cfg) override;
    int setNetwork(const QString& ip, const QString& userName, const QString& password,
                   const DeviceNetworkCfg_t& cfg, QString* newIp) override;
    int getResolution(const QString& ip, int screenRow, int screenColumn, ScreenResolution_t* out) override;
    int setResolution(const QString& ip, const ScreenResolutionInfo& info, bool persist) override;
    int getScreenColor(const QString& ip, int screenRow, int screenColumn, ScreenColor* out) override;
    int setScreenColor(const QString& ip, int screenRow, int screenColumn, const ScreenColor& color) override;
    int addWindow(const QString& ip, const MatrixWindowInfo& window) override;
    int setWindowSource(const QString& ip, const MatrixWindowInfo& window, int windowId, bool show) override;
    int getLog(const QString& ip, const QDateTime& begin, const QDateTime& end, int logType,
               const QString& path, QStringList* lines) override;
    int exportConfig(const QString& ip, const QString& path) override;
    int importConfig(const QString& ip, const QString& path) override;
    int startUpgrade(const QList<DeviceInfo_t>& devices, const QString& path,
                     const UpgradeSink& sink) override;
    void probe(const Probe& probe, std::function<void(const ProbeResult&)> done) override;

signals:
    void signalNetworkProblem(QString ip, QString text);
    void signalDecoderLost(QString ip);

private:
    struct Lane;
    struct PendingLogin;

    /** Starts a login in ip's lane; its result is collected later. */
    PendingLogin submitLogin(const QString& ip, const QString& userName, const QString& password);
    /** Runs fn in ip's lane and waits for it. */
    int inLane(const QString& ip, const std::function<int()>& fn);
    void enqueue(const QString& ip, std::function<void()> job);
    /** Forgets the session to ip here only: what the decoder knows is left alone. */
    void dropSession(const QString& ip);
    /**
     * Pool thread: RESULT_UNSUPPORTED, told once per session, when ip's decoder has no extension of ours;
     * 0 when it has (or has no session, which the call itself answers).
     */
    int wallsRefused(const QString& ip);
    /** Pool thread: a window opened through the display service. */
    int addPane(const QString& ip, const MatrixWindowInfo& window);
    /** Pool thread: a window's sources shown through a receiver. */
    int feedPane(const QString& ip, const MatrixWindowInfo& window, int windowId);
    /** How one card's upgrade began. */
    struct CardStart
    {
        int result = RESULT_NO_DEVICE;
        SoapEnvelope::Token token;
        /** The card offers our extension, which tells the upgrade's progress. */
        bool ours = false;
        /** Another maker's card: the version it ran before. */
        QString before;
    };
    /** Pool thread: the card's credentials, what it offers, and the image sent to it. */
    CardStart startCard(const DeviceInfo_t& d, const QByteArray& image);
    /** target: the version the image installs, when its file says; a decoder of another maker is judged by
     * it. */
    void runUpgrade(const QList<DeviceInfo_t>& devices, const QByteArray& image, const QString& target,
                    const UpgradeSink& sink, const CardStart& firstStart);
    static QStringList deviceIps(const QList<DeviceInfo_t>& devices);
    /** Pool thread: ends a card at its decoder's restart for a sink that checks the decoder itself. */
    bool restartsHandOver(const UpgradeSink& sink, const QString& ip, int card, bool answered,
                          const std::function<void(int, int, int, int, bool)>& progress);
    /** Pool thread: the probe's login and readings. */
    ProbeResult probeNow(const Probe& probe);
    /** Service thread: ip's new session is checked from now on. */
    void scheduleCheck(const QString& ip);
    /** Service thread, on the check timer. */
    void checkDueSessions();
    /** Pool thread: asks whether the decoder behind ip's session still runs the boot it was logged in to. */
    void checkSession(const QString& ip);

    Options opts;
    QThreadPool pool;
    // The exchanges, and one client per service the decoders offer.
    std::unique_ptr<OnvifTransport> transport;
    std::unique_ptr<DiscoveryClient> discovery;
    std::unique_ptr<DeviceServiceClient> device;
    std::unique_ptr<DeviceIoServiceClient> deviceIo;
    std::unique_ptr<DisplayServiceClient> display;
    std::unique_ptr<ReceiverServiceClient> receiver;
    std::unique_ptr<ExtensionServiceClient> extension;

    mutable QMutex mutex;
    QMap<QString, std::shared_ptr<Lane>> lanes;
    QMap<QString, QList<PendingLogin>> pending;
    /** The decoder whose login the service thread is waiting for. */
    QSet<QString> collecting;
    /** Decoders an upgrade is under way for, until it ends. */
    QSet<QString> upgradingIps;
    /** Service thread: when each session is checked next (ms since the epoch). */
    QMap<QString, qint64> checkDue;
    QTimer* checkTimer = nullptr;
    /** Sessions whose check waits in their lane; under mutex. */
    QSet<QString> checking;
    /** Sessions whose operator was told that their decoder does not support TV walls; under mutex. */
    QSet<QString> toldNoWalls;
};

} // namespace pral_matrix
