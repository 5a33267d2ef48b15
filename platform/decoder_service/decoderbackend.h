#pragma once

#include "matrixrecords.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <functional>

namespace pral_matrix {

class FaultInjector;

/**
 * @brief What the service thread asks of the decoders: one call per device
 * operation, answered synchronously, except the firmware upgrade, which
 * reports through its sink over time.
 *
 * A back end lives on the service thread and is only ever called there; its
 * timers run there too. Addresses identify decoders; the service keeps the
 * connection handles and checks them before it calls in, so a back end sees
 * only addresses of live connections (except for login, search, activation
 * and the network calls, which work on addresses or records).
 */
class DECODER_SERVICE_EXPORT DecoderBackend : public QObject
{
public:
    struct Login
    {
        int result = RESULT_NO_DEVICE;
        /** Set when the decoder explained its refusal. */
        bool hasError = false;
        ConnectErrorMsgInfo error;
        int matrixType = MATRIX_TYPE_UNKNOWN;
        QString version;
        /** What firmware images must be made for; empty when the decoder does not tell. */
        QString model;
        /** Changes with every restart; -1 when the decoder does not tell. */
        int bootId = -1;
    };

    struct Layout
    {
        int result = RESULT_NO_LAYOUT;
        QString mainIp;
        int mainType = MATRIX_TYPE_UNKNOWN;
        MatrixInfoList screens;
        int rows = 0;
        int cols = 0;
        QString name;
    };

    /** Why a decoder's session ended without the service asking for it. */
    enum class SessionEnd
    {
        /** A result the client handles itself (a factory reset, a new address): no notice. */
        Closed,
        /** The decoder restarted (a configuration imported, firmware installed, a reboot). */
        Restarted,
        /** The decoder stopped answering. */
        Lost,
    };

    /**
     * A look at a decoder of its own, beside the service's connections: a
     * login with the given credentials and what the decoder reports after it.
     */
    struct Probe
    {
        QString ip;
        QString userName;
        QString password;
        /** Also read the address and mask the decoder uses. */
        bool readNetwork = false;
        /** Also confirm an address change still waiting for its confirmation. */
        bool confirmAddress = false;
    };

    struct ProbeResult
    {
        /** The login's result; RESULT_NO_DEVICE and the transport failures mean nothing answered. */
        int result = RESULT_NO_DEVICE;
        QString deviceId;
        QString version;
        /** Changes with every restart; -1 when the decoder does not tell. */
        int bootId = -1;
        /** The checksum of the configuration file imported last; empty when the decoder does not tell. */
        QString configMarker;
        QString address;
        QString mask;
        /**
         * 0: confirmed (or nothing was waiting); RESULT_UNSUPPORTED: the decoder
         * does not wait for confirmations, it cannot return by itself; anything
         * else: the confirmation did not get through.
         */
        int confirmResult = RESULT_UNSUPPORTED;
    };

    struct UpgradeSink
    {
        /** card, error marker, percent, error code, already latest */
        std::function<void(int, int, int, int, bool)> progress;
        /** A non-zero code ends an upgrade that had started. */
        std::function<void(int)> result;
        /**
         * The caller checks each decoder itself once it has restarted: a
         * card's report of 100 % comes as soon as its decoder goes down to run
         * the new firmware, without waiting for it to come back.
         */
        bool endsAtRestart = false;
    };

    explicit DecoderBackend(QObject* parent = nullptr);
    ~DecoderBackend() override;

    void setFaultInjector(const FaultInjector* injector) { faultInjector = injector; }
    /**
     * Told when a session to a decoder ends without the service asking for
     * it, with why; called on any thread.
     */
    void setSessionEndedHandler(std::function<void(const QString& ip, SessionEnd why)> handler)
    {
        sessionEnded = std::move(handler);
    }

    /** Delay before each result is delivered, simulating the network; 0 delivers at once. */
    virtual int resultDelayMs() const { return 0; }

    /**
     * Called from any thread when a login is requested, before it is queued:
     * login(ip, userName, password) follows in request order. A back end that
     * can start it early on threads of its own does, so that logins to
     * different decoders overlap; the default does nothing.
     */
    virtual void prepareLogin(const QString& ip, const QString& userName, const QString& password)
    {
        Q_UNUSED(ip)
        Q_UNUSED(userName)
        Q_UNUSED(password)
    }

    /**
     * Called from any thread when the service stops: calls in flight end within graceMs and a
     * moment, later ones at once, so that quitting never waits for a device that does not answer.
     * The default does nothing: a back end that never waits on a device needs nothing here.
     */
    virtual void abandonCalls(int graceMs) { Q_UNUSED(graceMs) }

    virtual MatrixInfoMap search() = 0;
    virtual Login login(const QString& ip, const QString& userName, const QString& password) = 0;
    virtual void logout(const QString& ip) = 0;

    virtual Layout getLayout(const QString& ip) = 0;
    virtual int setLayout(const QString& mainIp, int type, int rows, int cols, const MatrixInfoList& screens,
                          const QString& name) = 0;
    virtual int saveScene(const QString& ip, int sceneNo, const QString& name) = 0;
    virtual int restoreScene(const QString& ip, int sceneNo) = 0;
    virtual int removeScene(const QString& ip, int sceneNo) = 0;

    virtual int checkScreen(const QString& ip, int location, bool open) = 0;
    virtual int removeBanner(const QString& ip) = 0;
    virtual int factoryReset(const QString& ip) = 0;
    virtual int activate(const QString& deviceId, const QString& password) = 0;
    virtual int changePassword(const QString& ip, const QString& userName, const QString& oldPassword,
                               const QString& newPassword) = 0;

    /**
     * The credentials the service has for ip (the record it was asked about), for getNetwork on a
     * decoder without a live connection; a back end whose decoders ask for none ignores them.
     */
    virtual void offerCredentials(const QString& ip, const QString& userName, const QString& password)
    {
        Q_UNUSED(ip)
        Q_UNUSED(userName)
        Q_UNUSED(password)
    }
    virtual int getNetwork(const QString& ip, DeviceNetworkCfg_t* cfg) = 0;
    /** On success *newIp is the decoder's address from now on. */
    virtual int setNetwork(const QString& ip, const QString& userName, const QString& password,
                           const DeviceNetworkCfg_t& cfg, QString* newIp) = 0;

    /** Screen (0, 0) is the whole decoder. */
    virtual int getResolution(const QString& ip, int screenRow, int screenColumn,
                              ScreenResolution_t* out) = 0;
    virtual int setResolution(const QString& ip, const ScreenResolutionInfo& info, bool persist) = 0;
    virtual int getScreenColor(const QString& ip, int screenRow, int screenColumn, ScreenColor* out) = 0;
    virtual int setScreenColor(const QString& ip, int screenRow, int screenColumn,
                               const ScreenColor& color) = 0;
    virtual int addWindow(const QString& ip, const MatrixWindowInfo& window) = 0;
    virtual int setWindowSource(const QString& ip, const MatrixWindowInfo& window, int windowId,
                                bool show) = 0;

    /**
     * logType 0 system, 1 warning, 2 operation, 3 abnormal: the lines of the
     * span. logType -1 with a path writes the whole log package there.
     */
    virtual int getLog(const QString& ip, const QDateTime& begin, const QDateTime& end, int logType,
                       const QString& path, QStringList* lines) = 0;
    virtual int exportConfig(const QString& ip, const QString& path) = 0;
    virtual int importConfig(const QString& ip, const QString& path) = 0;
    /**
     * 0 when the upgrade has started and will report through sink. Upgrades of
     * different decoders may run at the same time; a decoder already being
     * upgraded is refused with RESULT_UNAVAILABLE.
     */
    virtual int startUpgrade(const QList<DeviceInfo_t>& devices, const QString& path,
                             const UpgradeSink& sink) = 0;

    /**
     * Looks at a decoder without a session the service knows of; done is
     * called once, later, on this back end's thread. Other calls go on
     * meanwhile: a decoder that does not answer holds up no one else. The
     * default answers RESULT_UNSUPPORTED.
     */
    virtual void probe(const Probe& probe, std::function<void(const ProbeResult&)> done);

protected:
    const FaultInjector* faults() const { return faultInjector; }
    /** The session to ip is over; from any thread. */
    void endSession(const QString& ip, SessionEnd why = SessionEnd::Closed);

private:
    const FaultInjector* faultInjector = nullptr;
    std::function<void(const QString&, SessionEnd)> sessionEnded;
};

} // namespace pral_matrix
