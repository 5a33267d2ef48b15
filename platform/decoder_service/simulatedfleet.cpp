#include "simulatedfleet.h"

#include "atomicfile.h"
#include "decoderconfigfile.h"
#include "faultinjector.h"
#include "fleetdescription.h"
#include "networktext.h"

#include <QFile>

namespace pral_matrix {

SimulatedFleet::SimulatedFleet()
    : clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
}

SimulatedFleet::~SimulatedFleet() = default;

void SimulatedFleet::setClock(std::function<qint64()> newClock)
{
    clock = std::move(newClock);
    // The history ends where the new clock starts, so a first query finds lines.
    for (const auto& entry : fleet)
        entry.second->seedLog(now(), historyDays, historyPerDay);
}

qint64 SimulatedFleet::now() const
{
    return clock();
}

std::unique_ptr<SimulatedFleet> SimulatedFleet::fromJson(const QByteArray& json, QString* error)
{
    QString dummy;
    FleetDescription description;
    if (!FleetDescription::parse(json, &description, error ? error : &dummy))
        return nullptr;
    auto fleet = std::make_unique<SimulatedFleet>();
    fleet->latency = description.latencyMs;
    fleet->upgradeStep = description.upgradeStepMs;
    fleet->lockAfter = description.lockThreshold;
    fleet->lockFor = description.lockMinutes;
    fleet->historyDays = description.logHistoryDays;
    fleet->historyPerDay = description.logHistoryPerDay;
    fleet->confirmWindow = description.confirmWindowMs;
    fleet->restartTime = description.restartMs;
    for (auto& decoder : description.decoders)
        fleet->adopt(std::move(decoder));
    return fleet;
}

void SimulatedFleet::adopt(std::unique_ptr<SimulatedDecoder> decoder)
{
    decoder->setClock([this] { return now(); });
    decoder->setLockPolicy(lockAfter, lockFor);
    decoder->setRestartTime(restartTime);
    decoder->seedLog(now(), historyDays, historyPerDay);
    const QString ip = decoder->ip();
    fleet[ip] = std::move(decoder);
}

QByteArray SimulatedFleet::defaultFleetJson()
{
    QFile file(QStringLiteral(":/decoder_service/defaultfleet.json"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList SimulatedFleet::addresses() const
{
    QStringList list;
    for (const auto& entry : fleet)
        list.append(entry.first);
    return list;
}

SimulatedDecoder* SimulatedFleet::find(const QString& ip)
{
    const auto it = fleet.find(ip);
    return it == fleet.end() ? nullptr : it->second.get();
}

const SimulatedDecoder* SimulatedFleet::decoder(const QString& ip) const
{
    const auto it = fleet.find(ip);
    return it == fleet.end() ? nullptr : it->second.get();
}

SimulatedDecoder::OutputLookup SimulatedFleet::outputLookup() const
{
    return [this](const QString& ip, int channel) {
        const SimulatedDecoder* d = decoder(ip);
        return d && channel >= 1 && channel <= d->channels() ? d->type() : 0;
    };
}

MatrixInfoMap SimulatedFleet::search()
{
    MatrixInfoMap found;
    for (const auto& entry : fleet) {
        // A decoder that is restarting, or out of reach, does not answer the probe.
        if (entry.second->answers() && !(faults() && faults()->unreachable(entry.first)))
            found.insert(entry.first, entry.second->searchInfo());
    }
    return found;
}

DecoderBackend::Login SimulatedFleet::login(const QString& ip, const QString& userName,
                                            const QString& password)
{
    SimulatedDecoder* d = find(ip);
    if (!d || !d->answers() || (faults() && faults()->unreachable(ip)))
        return Login();
    int refusedCode = RESULT_REFUSED;
    const FaultInjector::LoginFault fault =
        faults() ? faults()->loginFault(ip, &refusedCode) : FaultInjector::LoginFault::None;
    return d->login(userName, password, fault, refusedCode);
}

DecoderBackend::Login SimulatedFleet::authenticate(const QString& ip, const QString& userName,
                                                   const QString& password)
{
    SimulatedDecoder* d = find(ip);
    return d ? d->authenticate(userName, password) : Login();
}

void SimulatedFleet::logout(const QString& ip)
{
    SimulatedDecoder* d = find(ip);
    if (!d)
        return;
    d->logout();
    // The upgrade of this decoder went over the connection that just ended.
    if (const quint64 id = upgradeOf(d))
        failCard(id, d, 3);
}

DecoderBackend::Layout SimulatedFleet::getLayout(const QString& ip)
{
    const SimulatedDecoder* d = decoder(ip);
    int code = 0;
    Layout layout;
    if (!d)
        layout.result = RESULT_NO_DEVICE;
    else if (faults() && faults()->layoutFault(ip, &code))
        layout.result = code;
    else
        layout = d->getLayout(outputLookup());
    return layout;
}

int SimulatedFleet::setLayout(const QString& mainIp, int type, int rows, int cols,
                              const MatrixInfoList& screens, const QString& name)
{
    SimulatedDecoder* d = find(mainIp);
    if (!d)
        return RESULT_NO_DEVICE;
    int code = 0;
    if (faults() && faults()->layoutFault(mainIp, &code))
        return code;
    return d->setLayout(type, rows, cols, screens, name, outputLookup());
}

int SimulatedFleet::saveScene(const QString& ip, int sceneNo, const QString& name)
{
    SimulatedDecoder* d = find(ip);
    return d ? d->saveScene(sceneNo, name) : int(RESULT_NO_DEVICE);
}

int SimulatedFleet::restoreScene(const QString& ip, int sceneNo)
{
    SimulatedDecoder* d = find(ip);
    return d ? d->restoreScene(sceneNo) : int(RESULT_NO_DEVICE);
}

int SimulatedFleet::removeScene(const QString& ip, int sceneNo)
{
    SimulatedDecoder* d = find(ip);
    return d ? d->removeScene(sceneNo) : int(RESULT_NO_DEVICE);
}

int SimulatedFleet::checkScreen(const QString& ip, int location, bool open)
{
    SimulatedDecoder* d = find(ip);
    return d ? d->checkScreen(location, open) : int(RESULT_NO_DEVICE);
}

int SimulatedFleet::removeBanner(const QString& ip)
{
    SimulatedDecoder* d = find(ip);
    return d ? d->removeBanner() : int(RESULT_NO_DEVICE);
}

int SimulatedFleet::factoryReset(const QString& ip)
{
    SimulatedDecoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    const int result = d->factoryReset();
    // Settings of the factory: no former address to go back to.
    delete pendingAddresses.take(ip).timer;
    endSession(ip);
    return result;
}

int SimulatedFleet::activate(const QString& deviceId, const QString& password)
{
    for (const auto& entry : fleet) {
        if (entry.second->deviceId() == deviceId)
            return entry.second->activate(password);
    }
    return RESULT_NO_DEVICE;
}

int SimulatedFleet::changePassword(const QString& ip, const QString& userName, const QString& oldPassword,
                                   const QString& newPassword)
{
    SimulatedDecoder* d = find(ip);
    return d ? d->changePassword(userName, oldPassword, newPassword) : int(RESULT_NO_DEVICE);
}

int SimulatedFleet::getNetwork(const QString& ip, DeviceNetworkCfg_t* cfg)
{
    std::memset(cfg, 0, sizeof(*cfg));
    const SimulatedDecoder* d = decoder(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    d->getNetwork(cfg);
    return RESULT_OK;
}

int SimulatedFleet::setNetwork(const QString& ip, const QString& userName, const QString& password,
                               const DeviceNetworkCfg_t& cfg, QString* newIp)
{
    SimulatedDecoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    DeviceNetworkCfg_t former{};
    d->getNetwork(&former);
    const int result = d->setNetwork(userName, password, cfg,
                                     [this](const QString& address) { return fleet.count(address) > 0; });
    if (result != RESULT_OK)
        return result;
    const QString address = d->ip();
    *newIp = address;
    if (address == ip)
        return RESULT_OK;
    rekey(ip, address);
    if (d->confirmsAddress() && confirmWindow > 0) {
        // A change not yet confirmed keeps the settings the decoder had before the first one.
        PendingAddress pending = pendingAddresses.take(ip);
        if (!pending.timer) {
            pending.former = former;
            pending.timer = new QTimer(this);
            pending.timer->setSingleShot(true);
        }
        pending.timer->disconnect();
        connect(pending.timer, &QTimer::timeout, this, [this, address] { returnToFormerAddress(address); });
        pending.timer->start(confirmWindow);
        pendingAddresses.insert(address, pending);
    }
    endSession(ip);
    return RESULT_OK;
}

void SimulatedFleet::rekey(const QString& from, const QString& to)
{
    auto node = fleet.extract(from);
    node.key() = to;
    fleet.insert(std::move(node));
    // Walls keep naming the outputs of the decoder that moved.
    for (const auto& entry : fleet)
        entry.second->renameOutputs(from, to);
}

int SimulatedFleet::confirmNetwork(const QString& ip)
{
    SimulatedDecoder* d = find(ip);
    if (!d || !d->answers())
        return RESULT_NO_DEVICE;
    if (!d->confirmsAddress() || confirmWindow <= 0)
        return RESULT_UNSUPPORTED;
    const PendingAddress pending = pendingAddresses.take(ip);
    if (pending.timer) {
        delete pending.timer;
        d->noteConfirmedAddress();
    }
    return RESULT_OK;
}

void SimulatedFleet::returnToFormerAddress(const QString& ip)
{
    const PendingAddress pending = pendingAddresses.take(ip);
    if (pending.timer)
        pending.timer->deleteLater();
    SimulatedDecoder* d = find(ip);
    if (!d)
        return;
    QString former;
    NetworkText::fieldText(pending.former.ipv4Addr, sizeof pending.former.ipv4Addr, &former);
    // Someone took the former address meanwhile: the decoder stays where it can still be reached.
    if (former.isEmpty() || former == ip || fleet.count(former) > 0)
        return;
    d->revertNetwork(pending.former,
                     QStringLiteral("The address %1 was not confirmed within %2 s: back at %3")
                         .arg(ip)
                         .arg(confirmWindow / 1000.0)
                         .arg(former));
    rekey(ip, former);
    endSession(ip);
    if (addressMoved)
        addressMoved(ip, former);
}

int SimulatedFleet::restartDecoder(const QString& ip)
{
    SimulatedDecoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    d->restart(QStringLiteral("Restarted by itself"));
    if (const quint64 id = upgradeOf(d))
        failCard(id, d, 3);
    endSession(ip, SessionEnd::Restarted);
    return RESULT_OK;
}

DecoderBackend::ProbeResult SimulatedFleet::probeNow(const Probe& probe)
{
    ProbeResult r;
    SimulatedDecoder* d = find(probe.ip);
    if (!d || !d->answers() || (faults() && faults()->unreachable(probe.ip)))
        return r;
    int refusedCode = RESULT_REFUSED;
    const FaultInjector::LoginFault fault =
        faults() ? faults()->loginFault(probe.ip, &refusedCode) : FaultInjector::LoginFault::None;
    const Login login = d->login(probe.userName, probe.password, fault, refusedCode);
    r.result = login.result;
    if (login.result != RESULT_OK)
        return r;
    r.deviceId = d->deviceId();
    r.version = d->version();
    r.bootId = d->bootId();
    r.configMarker = d->configMarker();
    if (probe.confirmAddress)
        r.confirmResult = confirmNetwork(probe.ip);
    if (probe.readNetwork) {
        DeviceNetworkCfg_t cfg{};
        d->getNetwork(&cfg);
        NetworkText::fieldText(cfg.ipv4Addr, sizeof cfg.ipv4Addr, &r.address);
        NetworkText::fieldText(cfg.ipv4Mask, sizeof cfg.ipv4Mask, &r.mask);
    }
    return r;
}

void SimulatedFleet::probe(const Probe& probe, std::function<void(const ProbeResult&)> done)
{
    // Answered after the fleet's latency, as every result is: never within the call.
    const ProbeResult r = probeNow(probe);
    QTimer::singleShot(latency, this, [done, r] { done(r); });
}

int SimulatedFleet::getResolution(const QString& ip, int screenRow, int screenColumn, ScreenResolution_t* out)
{
    *out = ScreenResolution_t{0, 0, 0};
    const SimulatedDecoder* d = decoder(ip);
    return d ? d->getResolution(screenRow, screenColumn, out) : int(RESULT_NO_DEVICE);
}

int SimulatedFleet::setResolution(const QString& ip, const ScreenResolutionInfo& info, bool persist)
{
    SimulatedDecoder* d = find(ip);
    return d ? d->setResolution(info, persist) : int(RESULT_NO_DEVICE);
}

int SimulatedFleet::getScreenColor(const QString& ip, int screenRow, int screenColumn, ScreenColor* out)
{
    *out = ScreenColor();
    const SimulatedDecoder* d = decoder(ip);
    return d ? d->getScreenColor(screenRow, screenColumn, out) : int(RESULT_NO_DEVICE);
}

int SimulatedFleet::setScreenColor(const QString& ip, int screenRow, int screenColumn,
                                   const ScreenColor& color)
{
    SimulatedDecoder* d = find(ip);
    return d ? d->setScreenColor(screenRow, screenColumn, color) : int(RESULT_NO_DEVICE);
}

int SimulatedFleet::addWindow(const QString& ip, const MatrixWindowInfo& window)
{
    SimulatedDecoder* d = find(ip);
    return d ? d->addWindow(window) : int(RESULT_NO_DEVICE);
}

int SimulatedFleet::setWindowSource(const QString& ip, const MatrixWindowInfo& window, int windowId,
                                    bool show)
{
    SimulatedDecoder* d = find(ip);
    return d ? d->setWindowSource(window, windowId, show) : int(RESULT_NO_DEVICE);
}

namespace {

QString textOf(const char* field, size_t size)
{
    QString text;
    NetworkText::fieldText(field, size, &text);
    return text;
}

QString ipOf(const DeviceInfo_t& device)
{
    return textOf(device.ip, sizeof device.ip);
}

} // namespace

int SimulatedFleet::getLog(const QString& ip, const QDateTime& begin, const QDateTime& end, int logType,
                           const QString& path, QStringList* lines)
{
    lines->clear();
    const SimulatedDecoder* d = decoder(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (logType == -1) {
        if (path.isEmpty())
            return RESULT_BAD_ARGUMENT;
        const QByteArray package = d->logPackage();
        return !package.isEmpty() && AtomicFile::write(path, package) ? RESULT_OK : RESULT_IO_ERROR;
    }
    const int result = d->getLog(begin, end, logType, lines);
    if (result == RESULT_OK && !path.isEmpty() &&
        !AtomicFile::write(path, lines->join(QLatin1Char('\n')).toUtf8())) {
        lines->clear();
        return RESULT_IO_ERROR;
    }
    return result;
}

int SimulatedFleet::exportConfig(const QString& ip, const QString& path)
{
    SimulatedDecoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (path.isEmpty())
        return RESULT_BAD_ARGUMENT;
    return AtomicFile::write(path, d->exportConfig()) ? RESULT_OK : RESULT_IO_ERROR;
}

int SimulatedFleet::importConfig(const QString& ip, const QString& path)
{
    SimulatedDecoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return RESULT_IO_ERROR;
    // Nothing larger is a configuration; the decoder refuses it without the rest.
    QByteArray bytes = file.read(DecoderConfigFile::MaxSize + 1);
    if (faults() && faults()->transferBreaks(ip)) {
        // Half the file arrived when the connection broke: the decoder refuses it, the session is gone.
        d->importConfig(bytes.left(bytes.size() / 2), outputLookup());
        d->logout();
        endSession(ip, SessionEnd::Lost);
        return RESULT_BAD_HANDLE;
    }
    const int result = d->importConfig(bytes, outputLookup());
    // The decoder restarts to apply the file.
    if (result == RESULT_OK)
        endSession(ip, SessionEnd::Restarted);
    return result;
}

int SimulatedFleet::startUpgrade(const QList<DeviceInfo_t>& devices, const QString& path,
                                 const UpgradeSink& sink)
{
    if (devices.isEmpty())
        return RESULT_BAD_ARGUMENT;
    // Each decoder takes one image at a time; other decoders may be upgraded meanwhile.
    for (const auto& running : upgrades) {
        const Upgrade& u = *running.second;
        for (int card = u.card; card <= u.devices.size(); ++card) {
            for (const DeviceInfo_t& device : devices) {
                if (ipOf(device) == ipOf(u.devices.at(card - 1)))
                    return RESULT_UNAVAILABLE;
            }
        }
    }
    FirmwareImage image;
    QString why;
    const bool sound = FirmwareImage::read(path, &image, &why);
    bool fits = sound;
    // Every decoder of the list sees the file first and refuses what it cannot use.
    for (const DeviceInfo_t& device : devices) {
        SimulatedDecoder* d = find(ipOf(device));
        if (d && !sound)
            d->refuseFirmware(why);
        else if (d && !d->acceptsFirmware(image))
            fits = false;
    }
    if (!fits)
        return RESULT_BAD_ARGUMENT;
    const quint64 id = nextUpgrade++;
    auto upgrade = std::make_unique<Upgrade>();
    upgrade->devices = devices;
    upgrade->image = image;
    upgrade->sink = sink;
    upgrade->timer = new QTimer(this);
    upgrade->timer->setSingleShot(true);
    connect(upgrade->timer, &QTimer::timeout, this, [this, id] { upgradeTick(id); });
    upgrade->timer->start(upgradeStep);
    upgrades[id] = std::move(upgrade);
    return RESULT_OK;
}

quint64 SimulatedFleet::upgradeOf(const SimulatedDecoder* d)
{
    if (!d || !d->upgrading())
        return 0;
    for (const auto& running : upgrades) {
        const Upgrade& u = *running.second;
        if (find(ipOf(u.devices.at(u.card - 1))) == d)
            return running.first;
    }
    return 0;
}

void SimulatedFleet::failCard(quint64 id, SimulatedDecoder* d, int code)
{
    const auto it = upgrades.find(id);
    if (it == upgrades.end())
        return;
    if (d)
        d->endUpgrade(code);
    const int card = it->second->card;
    const UpgradeSink sink = it->second->sink;
    sink.progress(card, -1, -1, code, false);
    // Whoever took the report may have ended the upgrade already.
    finishUpgrade(id, RESULT_UPGRADE_FAILED);
}

void SimulatedFleet::finishUpgrade(quint64 id, int resultCode)
{
    const auto it = upgrades.find(id);
    if (it == upgrades.end())
        return;
    const UpgradeSink sink = it->second->sink;
    it->second->timer->deleteLater();
    upgrades.erase(it);
    if (resultCode == RESULT_OK)
        sink.progress(0, 0, 0, 0, false);
    else if (sink.result)
        sink.result(resultCode);
}

void SimulatedFleet::upgradeTick(quint64 id)
{
    const auto it = upgrades.find(id);
    if (it == upgrades.end())
        return;
    Upgrade& u = *it->second;
    const DeviceInfo_t& device = u.devices.at(u.card - 1);
    const QString ip = ipOf(device);
    SimulatedDecoder* d = find(ip);

    if (u.percent == 0) {
        // Card start: log in with what the caller gave, then compare versions.
        const SimulatedDecoder::UpgradeStart start =
            d ? d->beginUpgrade(u.image, textOf(device.userName, sizeof device.userName),
                                textOf(device.password, sizeof device.password))
              : SimulatedDecoder::UpgradeStart::LoginFailed;
        if (start == SimulatedDecoder::UpgradeStart::LoginFailed) {
            failCard(id, d, 1);
            return;
        }
        if (start == SimulatedDecoder::UpgradeStart::Latest) {
            const UpgradeSink sink = u.sink;
            const int card = u.card;
            u.timer->deleteLater();
            upgrades.erase(it);
            sink.progress(card, 0, 100, 0, true);
            return;
        }
    }
    if (!d || !d->upgrading()) {
        // The decoder moved to another address meanwhile: the transfer is gone.
        failCard(id, d, 3);
        return;
    }
    u.percent += 20;
    int code = 0;
    if (faults() && (faults()->upgradeFault(u.card, &code) || faults()->upgradeFaultOf(ip, &code)) &&
        u.percent >= 60) {
        failCard(id, d, code);
        return;
    }
    if (faults() && faults()->transferBreaks(ip) && u.percent >= 40) {
        failCard(id, d, 3);
        return;
    }
    u.sink.progress(u.card, 0, u.percent, 0, false);
    // Whoever took the report may have ended the upgrade (a dropped connection).
    if (upgrades.find(id) == upgrades.end())
        return;
    if (u.percent >= 100) {
        // The decoder restarts to run the new firmware, or, when it does not start, the one it had.
        if (faults() && faults()->keepsFirmware(ip))
            d->restartOnFormerFirmware();
        else
            d->endUpgrade(0);
        endSession(ip, SessionEnd::Restarted);
        if (upgrades.find(id) == upgrades.end())
            return;
        if (u.card == u.devices.size()) {
            finishUpgrade(id, RESULT_OK);
            return;
        }
        ++u.card;
        u.percent = 0;
    }
    u.timer->start(upgradeStep);
}

} // namespace pral_matrix
