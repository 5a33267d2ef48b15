#pragma once

#include "decoderbackend.h"
#include "decoderlog.h"
#include "faultinjector.h"

#include <QMap>
#include <QPair>

#include <functional>

namespace pral_matrix {

class FirmwareImage;

/**
 * @brief One virtual decoder: its whole state and every operation a client
 * can ask of it.
 *
 * The model knows no transport: the in-process fleet calls it on the service
 * thread, a network daemon may call it once per request. It keeps no timers
 * and takes the time from the clock its owner gives it. What concerns other
 * decoders (which outputs exist, which addresses are taken) the owner answers
 * through the lookups passed in; ending a client's connection (after a new
 * address, a factory reset, an imported configuration or installed firmware,
 * all of which but the new address restart the decoder) is the owner's job
 * too, on a result of 0.
 *
 * Every change a client makes, every refused login and every upgrade step is
 * written to the decoder's log, with the time of the clock. Files come and
 * go as bytes (configuration, log package) or as a parsed FirmwareImage; a
 * test picture is a path the decoder itself can read (in the process, the
 * operator's file; behind a daemon, the copy it received).
 *
 * Resolutions: a change with persist set is kept; one without lasts until the
 * session ends (logout, a dropped connection or a restart), after which the
 * decoder shows its kept resolution again.
 */
class DECODER_SERVICE_EXPORT SimulatedDecoder
{
public:
    static constexpr int MaxScenes = 64;
    static constexpr int MaxGrid = 10;

    /** What a fleet description gives a decoder when it is made. */
    struct Setup
    {
        QString ip;
        QString deviceId;
        /** Firmware images and configuration files are made for one model. */
        QString model;
        int type = MATRIX_TYPE_SINGLE_OUTPUT;
        int channels = 1;
        int outputBase = 0;
        QString version;
        QString userName;
        QString password;
        bool activated = true;
        QString mask;
        QString gateway;
        QString dns;
        QString ipv6;
        int ipv6Prefix = 0;
        QString ipv6Gateway;
        /** Returns to its former address unless a client confirms a new one from there (see SimulatedFleet).
         */
        bool confirmsAddress = true;
    };

    /** Row and column of a screen, from 1; (0, 0) is the whole decoder. */
    using ScreenKey = QPair<int, int>;
    using ColorMap = QMap<ScreenKey, ScreenColor>;
    using ResolutionMap = QMap<ScreenKey, ScreenResolution_t>;

    struct Wall
    {
        QString name;
        int type = MATRIX_TYPE_MULTI_OUTPUT;
        int rows = 0;
        int cols = 0;
        MatrixInfoList screens;
    };

    /** What the wall shows: its layout and its windows. Colours belong to the screens, not to a scene. */
    struct Scene
    {
        QString name;
        bool hasWall = false;
        Wall wall;
        QList<MatrixWindowInfo> windows;
    };

    /** What a configuration file carries: the identity of its maker and the settings. */
    struct Configuration
    {
        QString deviceId;
        QString model;
        int type = MATRIX_TYPE_UNKNOWN;
        int channels = 0;
        QString firmware;

        QString mask;
        QString gateway;
        QString dns;
        int ipv6Prefix = 0;
        QString ipv6Gateway;
        ScreenResolution_t resolution{1920, 1080, 60};
        ResolutionMap screenResolutions;
        ColorMap colors;
        bool hasWall = false;
        Wall wall;
        QMap<int, Scene> scenes;
    };

    /** How an upgrade of this decoder may go on. */
    enum class UpgradeStart
    {
        Ready,
        /** The credentials of the upgrade are refused (or the account is locked). */
        LoginFailed,
        /** The image installs the version already running. */
        Latest,
    };

    /** The kind (1 or 3) of the decoder at ip when its output channel exists, else 0. */
    using OutputLookup = std::function<int(const QString& ip, int channel)>;
    using Clock = std::function<qint64()>;

    SimulatedDecoder() = default;
    explicit SimulatedDecoder(const Setup& setup);

    /** Milliseconds since the epoch. */
    void setClock(Clock clock);
    /** How long a restart keeps the decoder from answering. */
    void setRestartTime(int ms) { restartMs = ms; }
    /**
     * The decoder restarts by itself, for why (logged): the session ends,
     * windows close, resolutions kept for the session are gone, and it does
     * not answer for the restart time. The owner ends the client's connection.
     */
    void restart(const QString& why);
    void setLockPolicy(int threshold, int minutes);
    /** The decoder's history ends at untilMs (see DecoderLog::seedHistory). */
    void seedLog(qint64 untilMs, int days, int perDay);

    QString ip() const { return settings.ip; }
    QString deviceId() const { return settings.deviceId; }
    QString model() const { return settings.model; }
    int type() const { return settings.type; }
    int channels() const { return settings.channels; }
    QString version() const { return settings.version; }
    bool activated() const { return settings.activated; }
    bool inSession() const { return sessionOpen; }
    bool hasWall() const { return wallHeld; }
    /** Changes with every restart. */
    int bootId() const { return boots; }
    /** The checksum of the configuration file imported last (DecoderConfigFile::marker); empty before. */
    QString configMarker() const { return importedMarker; }
    bool confirmsAddress() const { return settings.confirmsAddress; }
    /** false while the decoder is restarting: it answers nothing. */
    bool answers() const;
    const Wall& wall() const { return heldWall; }
    const ColorMap& colors() const { return screenColors; }
    const QList<MatrixWindowInfo>& windows() const { return openWindows; }
    const DecoderLog& log() const { return eventLog; }
    /**
     * What the screen at row and column (from 1) of the wall shows: "video",
     * the name of a test picture (e.g. "red"), or "window" for a window without
     * a picture.
     */
    QString screenContent(int row, int column) const;

    MatrixInfo searchInfo() const;
    DecoderBackend::Login login(const QString& userName, const QString& password,
                                FaultInjector::LoginFault fault, int refusedCode);
    /**
     * Checks the credentials of a call other than the login, as a device checks
     * every call that needs them: a wrong password counts towards the lock-out
     * as a wrong login does, and while the account is locked every call is
     * refused, with the right password too. Opens no session; logs refusals only.
     */
    DecoderBackend::Login authenticate(const QString& userName, const QString& password);
    /** Ends the session (also when the connection drops). */
    void logout();

    DecoderBackend::Layout getLayout(const OutputLookup& outputs) const;
    int setLayout(int type, int rows, int cols, const MatrixInfoList& screens, const QString& name,
                  const OutputLookup& outputs);
    /** Checks a wall without changing anything; *wall gets it in row-major order, *why the reason of a
     * refusal. */
    static int checkLayout(int type, int rows, int cols, const MatrixInfoList& screens, const QString& name,
                           const OutputLookup& outputs, Wall* wall, QString* why = nullptr);
    /** The wall a fleet description gives the decoder, checked by checkLayout; not logged. */
    void setInitialWall(const Wall& wall);
    int saveScene(int sceneNo, const QString& name);
    int restoreScene(int sceneNo);
    int removeScene(int sceneNo);

    int checkScreen(int location, bool open);
    int removeBanner();
    int factoryReset();
    int activate(const QString& password);
    int changePassword(const QString& userName, const QString& oldPassword, const QString& newPassword);

    void getNetwork(DeviceNetworkCfg_t* cfg) const;
    /** addressTaken tells whether another decoder uses an address; on success ip() may have changed. */
    int setNetwork(const QString& userName, const QString& password, const DeviceNetworkCfg_t& cfg,
                   const std::function<bool(const QString&)>& addressTaken);
    /**
     * Goes back to the network settings of previous (as getNetwork gave
     * them), logging why; the session ends. No credentials: the decoder does
     * it by itself.
     */
    void revertNetwork(const DeviceNetworkCfg_t& previous, const QString& why);
    /** Logs that a client confirmed the decoder's new address. */
    void noteConfirmedAddress();
    /** A wall screen that shows an output of the decoder at from now names to. */
    void renameOutputs(const QString& from, const QString& to);

    int getResolution(int screenRow, int screenColumn, ScreenResolution_t* out) const;
    int setResolution(const ScreenResolutionInfo& info, bool persist);
    int getScreenColor(int screenRow, int screenColumn, ScreenColor* out) const;
    int setScreenColor(int screenRow, int screenColumn, const ScreenColor& color);
    int addWindow(const MatrixWindowInfo& window);
    int setWindowSource(const MatrixWindowInfo& window, int windowId, bool show);

    /** The lines of one log type (0 to 3) over the span, oldest first. */
    int getLog(const QDateTime& begin, const QDateTime& end, int logType, QStringList* lines) const;
    /** The log package (see LogPackage) of the last week; empty if it could not be made. */
    QByteArray logPackage() const;
    /** The content of a configuration file (see DecoderConfigFile). */
    QByteArray exportConfig();
    /** On 0 the decoder has restarted with the file's settings: its session is over. */
    int importConfig(const QByteArray& file, const OutputLookup& outputs);

    /** false (and logged) when the image is made for another model. */
    bool acceptsFirmware(const FirmwareImage& image);
    /** Logs a firmware file the decoder could not use. */
    void refuseFirmware(const QString& why);
    UpgradeStart beginUpgrade(const FirmwareImage& image, const QString& userName, const QString& password);
    /** 0 installs the version begun; any other code (of the upgrade failure table) leaves the old one. */
    void endUpgrade(int code);
    /** The image was taken, but the decoder restarts on the version it ran before. */
    void restartOnFormerFirmware();
    bool upgrading() const { return !upgradeVersion.isEmpty(); }

private:
    /** The lock-out and the password; what names the refused attempt in the log ("Login", "Request"). */
    DecoderBackend::Login checkCredentials(const QString& what, const QString& userName,
                                           const QString& password, FaultInjector::LoginFault fault);
    qint64 now() const;
    void note(DecoderLog::Type type, const QString& text);
    void closeSession();
    Configuration configuration() const;
    int checkConfiguration(const Configuration& config, const OutputLookup& outputs) const;

    Setup settings;
    QString factoryUserName;
    Clock clock;
    int lockThreshold = 5;
    int lockMinutes = 30;

    int failedLogins = 0;
    qint64 lockedUntilMs = 0;
    bool sessionOpen = false;
    bool wallHeld = false;
    Wall heldWall;
    ScreenResolution_t savedResolution{1920, 1080, 60};
    ResolutionMap savedScreenResolutions;
    ScreenResolution_t liveResolution{1920, 1080, 60};
    ResolutionMap liveScreenResolutions;
    ColorMap screenColors;
    QMap<int, Scene> scenes;
    QList<MatrixWindowInfo> openWindows;
    QList<int> checkedLocations;
    QString upgradeVersion;
    DecoderLog eventLog;
    int boots = 1;
    int restartMs = 0;
    qint64 downUntilMs = 0;
    QString importedMarker;
};

} // namespace pral_matrix
