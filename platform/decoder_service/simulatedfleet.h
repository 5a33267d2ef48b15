#pragma once

#include "decoderbackend.h"
#include "firmwareimage.h"
#include "simulateddecoder.h"

#include <QTimer>

#include <functional>
#include <map>
#include <memory>

namespace pral_matrix {

/**
 * @brief A fleet of virtual decoders in the process: the back end for
 * development, demonstrations and tests. It sends nothing over the network.
 *
 * The fleet owns its decoders (SimulatedDecoder holds what each one knows
 * and does), the clock, the upgrade timer and the view of the armed faults;
 * it answers what concerns several decoders (outputs bound to a wall,
 * addresses in use) and turns every call of the service into a call of the
 * decoder addressed.
 *
 * The fleet is described by a JSON document. Every value is checked against
 * what it stands for (numbers in range, addresses valid, texts no longer
 * than the record field that carries them: 31 characters unless said
 * otherwise); fromJson refuses the first that is not, naming the decoder and
 * the member.
 *
 *     {
 *       "latencyMs": 150,          delay of every result, 0 to 60000 (default 0)
 *       "upgradeStepMs": 250,      time between two upgrade progress reports, 0 to 60000 (default 200)
 *       "lockThreshold": 5,        wrong passwords in a row that lock the account, 1 to 100 (default 5)
 *       "lockMinutes": 30,         how long the lock lasts, 1 to 1440 (default 30)
 *       "logHistoryDays": 30,      days of log history each decoder has when the fleet starts,
 *                                  0 to 3660 (default 30)
 *       "logHistoryPerDay": 24,    history lines of each log type a day, 0 to 86400 (default 24)
 *       "confirmWindowMs": 60000,  how long a new address waits for its confirmation, 0 to 3600000;
 *                                  0: decoders take new addresses without one (default 60000)
 *       "restartMs": 0,            how long a restarting decoder answers nothing, 0 to 600000 (default 0)
 *       "decoders": [
 *         {
 *           "ip": "192.0.2.10",    IPv4 address, unique in the fleet (required)
 *           "deviceId": "TVD-...",  identifier, unique in the fleet (required)
 *           "model": "TVD-04",     what firmware images and configuration files must be made for
 *                                  (default "TVD-" and the channel count in two digits)
 *           "type": 3,             1 one output, 3 numbered outputs (required)
 *           "channels": 4,         number of outputs, 1 to 64 (default 1; type 1 has exactly 1)
 *           "version": "V2.3.1",   firmware version (default "V1.0.0")
 *           "userName": "admin",   (default "admin")
 *           "password": "...",     login password, required when activated; an unactivated
 *                                  decoder has none yet
 *           "activated": true,     (default true)
 *           "outputBase": 1000,    output n has the id outputBase + n, which must stay a 32-bit
 *                                  integer (default 100 * position in the list)
 *           "mask": "255.255.255.0", "gateway": "192.0.2.1", "dns": "192.0.2.53",
 *                                  IPv4, 15 characters at most; gateway and dns may be ""
 *           "ipv6": "2001:db8::10", "ipv6Prefix": 64, "ipv6Gateway": "2001:db8::1",
 *                                  IPv6, 47 characters at most, or ""; prefix 0 to 128
 *           "confirmsAddress": true,  false: a decoder without confirmed address changes
 *           "tvWall": {            the wall this decoder holds as main decoder (optional)
 *             "name": "Lobby",     20 bytes of UTF-8 at most
 *             "rows": 2, "cols": 2, 1 to 10 each
 *             "screens": ["192.0.2.10-1", "192.0.2.11", ...]   row-major output ids
 *           }
 *         }
 *       ]
 *     }
 *
 * The files the decoders read and write are described by FirmwareImage,
 * DecoderConfigFile and LogPackage. In the process, a file path stands for
 * the transfer: the fleet reads and writes the files the decoders take and
 * give, whole or not at all (a failed write leaves what was there).
 *
 * A decoder restarts to apply an imported configuration and to run new
 * firmware (SimulatedDecoder::restart); restartDecoder restarts one as a
 * power cut would. The client's connection ends with a broken-connection
 * notice (SessionEnd::Restarted).
 *
 * A new address is confirmed: the decoder moves, and unless a client
 * confirms the change from the new address (confirmNetwork) within
 * confirmWindowMs it goes back to its former settings by itself. A decoder
 * with "confirmsAddress" false, or a window of 0, simply moves.
 *
 * An upgrade goes card by card, every upgradeStepMs one report of 20 % more;
 * it logs in to each decoder with the device's credentials. Upgrades of other
 * decoders may run beside it, each at its own pace. A card fails with its
 * armed code (FaultInjector::failUpgrade, failUpgradeOf) at 60 %, with code 3
 * (connection broken) when its decoder's connection ends or its transfers
 * break, and with code 1 when the login fails; then the upgrade ends with
 * RESULT_UPGRADE_FAILED and the decoder keeps its version. A decoder armed
 * with FaultInjector::keepFirmware restarts at 100 % on the version it had.
 */
class DECODER_SERVICE_EXPORT SimulatedFleet : public DecoderBackend
{
public:
    static constexpr int MaxScenes = SimulatedDecoder::MaxScenes;

    /** nullptr and *error set when json does not describe a fleet. */
    static std::unique_ptr<SimulatedFleet> fromJson(const QByteArray& json, QString* error = nullptr);
    /** The fleet the application runs on when it is given none. */
    static QByteArray defaultFleetJson();

    SimulatedFleet();
    ~SimulatedFleet() override;

    int resultDelayMs() const override { return latency; }
    int upgradeStepMs() const { return upgradeStep; }
    void setUpgradeStepMs(int ms) { upgradeStep = ms; }
    int lockThreshold() const { return lockAfter; }
    int lockMinutes() const { return lockFor; }
    int confirmWindowMs() const { return confirmWindow; }
    void setConfirmWindowMs(int ms) { confirmWindow = qMax(0, ms); }
    /**
     * Told when a decoder moves by itself (back to its former address): a
     * transport that serves decoders at their addresses follows it.
     */
    void setAddressMovedHandler(std::function<void(const QString& from, const QString& to)> handler)
    {
        addressMoved = std::move(handler);
    }
    /**
     * Milliseconds since the epoch; tests replace it to control lock-out time.
     * The decoders' log history then ends at the new clock's present.
     */
    void setClock(std::function<qint64()> clock);

    QStringList addresses() const;
    /** nullptr when no decoder has that address. */
    const SimulatedDecoder* decoder(const QString& ip) const;

    MatrixInfoMap search() override;
    Login login(const QString& ip, const QString& userName, const QString& password) override;
    void logout(const QString& ip) override;
    /** SimulatedDecoder::authenticate of the decoder at ip; RESULT_NO_DEVICE when no decoder has it. */
    Login authenticate(const QString& ip, const QString& userName, const QString& password);
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

    /**
     * Confirms the pending address change of the decoder now at ip: 0, or
     * RESULT_UNSUPPORTED when it does not wait for confirmations. A decoder
     * with nothing pending answers 0.
     */
    int confirmNetwork(const QString& ip);
    /** The decoder at ip restarts by itself (a power cut, a watchdog). */
    int restartDecoder(const QString& ip);
    /** A look at a decoder as a client's probe sees it, at once. */
    ProbeResult probeNow(const Probe& probe);

private:
    struct Upgrade
    {
        QList<DeviceInfo_t> devices;
        FirmwareImage image;
        UpgradeSink sink;
        int card = 1;
        int percent = 0;
        QTimer* timer = nullptr;
    };

    SimulatedDecoder* find(const QString& ip);
    SimulatedDecoder::OutputLookup outputLookup() const;
    void adopt(std::unique_ptr<SimulatedDecoder> decoder);
    void upgradeTick(quint64 id);
    /** The running upgrade whose card now is decoder; 0 when none. */
    quint64 upgradeOf(const SimulatedDecoder* decoder);
    /** The card being upgraded fails with code (of the failure table); the upgrade ends. */
    void failCard(quint64 id, SimulatedDecoder* decoder, int code);
    void finishUpgrade(quint64 id, int resultCode);
    qint64 now() const;
    /** The decoder at ip failed to hear its confirmation: back to its former settings. */
    void returnToFormerAddress(const QString& ip);
    /** Moves the decoder at from to the key to, and the walls' outputs with it. */
    void rekey(const QString& from, const QString& to);

    std::map<QString, std::unique_ptr<SimulatedDecoder>> fleet;
    int latency = 0;
    int upgradeStep = 200;
    int lockAfter = 5;
    int lockFor = 30;
    int historyDays = 30;
    int historyPerDay = 24;
    std::function<qint64()> clock;
    /** Upgrades under way, each of its own decoders, by the order they started in. */
    std::map<quint64, std::unique_ptr<Upgrade>> upgrades;
    quint64 nextUpgrade = 1;
    int confirmWindow = 60000;
    int restartTime = 0;
    /** Address changes waiting for their confirmation, by the new address. */
    struct PendingAddress
    {
        DeviceNetworkCfg_t former{};
        QTimer* timer = nullptr;
    };
    QMap<QString, PendingAddress> pendingAddresses;
    std::function<void(const QString&, const QString&)> addressMoved;
};

} // namespace pral_matrix
