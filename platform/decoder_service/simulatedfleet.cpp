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
    , upgradeTimer(new QTimer(this))
{
    upgradeTimer->setSingleShot(true);
    connect(upgradeTimer, &QTimer::timeout, this, &SimulatedFleet::upgradeTick);
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
    for (auto& decoder : description.decoders)
        fleet->adopt(std::move(decoder));
    return fleet;
}

void SimulatedFleet::adopt(std::unique_ptr<SimulatedDecoder> decoder)
{
    decoder->setClock([this] { return now(); });
    decoder->setLockPolicy(lockAfter, lockFor);
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
    for (const auto& entry : fleet)
        found.insert(entry.first, entry.second->searchInfo());
    return found;
}

DecoderBackend::Login SimulatedFleet::login(const QString& ip, const QString& userName,
                                            const QString& password)
{
    SimulatedDecoder* d = find(ip);
    if (!d)
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
    if (upgrade && d->upgrading())
        failCard(d, 3);
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
    const int result = d->setNetwork(userName, password, cfg,
                                     [this](const QString& address) { return fleet.count(address) > 0; });
    if (result != RESULT_OK)
        return result;
    const QString address = d->ip();
    *newIp = address;
    if (address == ip)
        return RESULT_OK;
    auto node = fleet.extract(ip);
    node.key() = address;
    fleet.insert(std::move(node));
    // Walls keep naming the outputs of the decoder that moved.
    for (const auto& entry : fleet)
        entry.second->renameOutputs(ip, address);
    endSession(ip);
    return RESULT_OK;
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
        endSession(ip);
        return RESULT_BAD_HANDLE;
    }
    const int result = d->importConfig(bytes, outputLookup());
    if (result == RESULT_OK)
        endSession(ip);
    return result;
}

int SimulatedFleet::startUpgrade(const QList<DeviceInfo_t>& devices, const QString& path,
                                 const UpgradeSink& sink)
{
    if (upgrade)
        return RESULT_UNAVAILABLE;
    if (devices.isEmpty())
        return RESULT_BAD_ARGUMENT;
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
    upgrade = std::make_unique<Upgrade>();
    upgrade->devices = devices;
    upgrade->image = image;
    upgrade->sink = sink;
    upgradeTimer->start(upgradeStep);
    return RESULT_OK;
}

void SimulatedFleet::failCard(SimulatedDecoder* d, int code)
{
    if (d)
        d->endUpgrade(code);
    upgrade->sink.progress(upgrade->card, -1, -1, code, false);
    if (upgrade)
        finishUpgrade(RESULT_UPGRADE_FAILED);
}

void SimulatedFleet::finishUpgrade(int resultCode)
{
    const UpgradeSink sink = upgrade->sink;
    upgrade.reset();
    upgradeTimer->stop();
    if (resultCode == RESULT_OK)
        sink.progress(0, 0, 0, 0, false);
    else if (sink.result)
        sink.result(resultCode);
}

void SimulatedFleet::upgradeTick()
{
    if (!upgrade)
        return;
    Upgrade& u = *upgrade;
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
            failCard(d, 1);
            return;
        }
        if (start == SimulatedDecoder::UpgradeStart::Latest) {
            u.sink.progress(u.card, 0, 100, 0, true);
            upgrade.reset();
            return;
        }
    }
    if (!d || !d->upgrading()) {
        // The decoder moved to another address meanwhile: the transfer is gone.
        failCard(d, 3);
        return;
    }
    u.percent += 20;
    int code = 0;
    if (faults() && faults()->upgradeFault(u.card, &code) && u.percent >= 60) {
        failCard(d, code);
        return;
    }
    if (faults() && faults()->transferBreaks(ip) && u.percent >= 40) {
        failCard(d, 3);
        return;
    }
    u.sink.progress(u.card, 0, u.percent, 0, false);
    // Whoever took the report may have ended the upgrade (a dropped connection).
    if (!upgrade)
        return;
    if (u.percent >= 100) {
        d->endUpgrade(0);
        if (u.card == u.devices.size()) {
            finishUpgrade(RESULT_OK);
            return;
        }
        ++u.card;
        u.percent = 0;
    }
    upgradeTimer->start(upgradeStep);
}

} // namespace pral_matrix
