#include "simulateddecoder.h"

#include "atomicfile.h"
#include "decoderconfigfile.h"
#include "decoderlog.h"
#include "logpackage.h"
#include "networktext.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>

#include <algorithm>
#include <cstring>

namespace pral_matrix {

namespace {

constexpr int WallUnits = 32768;
/** sourceKind of a window source that shows a picture file. */
constexpr int PictureSource = 7;

QString colorText(const ScreenColor& c)
{
    return QStringLiteral("brightness %1, contrast %2, chroma %3, sharpness %4")
        .arg(c.brightness)
        .arg(c.contrast)
        .arg(c.chroma)
        .arg(c.sharpness);
}

/** Empty when the picture can be shown, else why not. */
QString pictureProblem(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return QStringLiteral("the file does not exist");
    QImageReader reader(path);
    if (!reader.canRead())
        return QStringLiteral("the file is not an image");
    return QString();
}

bool validPassword(const QString& password)
{
    return password.size() >= 8 && password.size() <= 16;
}

bool validColor(const ScreenColor& c)
{
    auto ok = [](int v) {
        return v >= 0 && v <= 100;
    };
    return ok(c.brightness) && ok(c.contrast) && ok(c.chroma) && ok(c.sharpness);
}

bool supportedResolution(const ScreenResolution& r)
{
    static const QList<QPair<int, int>> sizes = {{1280, 720}, {1920, 1080}, {3840, 2160}};
    static const QList<int> rates = {24, 25, 30, 50, 60};
    return sizes.contains(qMakePair(int(r.width), int(r.height))) && rates.contains(r.frameRate);
}

} // namespace

SimulatedDecoder::SimulatedDecoder(const Setup& setup)
    : settings(setup)
    , factoryUserName(setup.userName)
{
}

void SimulatedDecoder::setClock(Clock newClock)
{
    clock = std::move(newClock);
}

void SimulatedDecoder::setLockPolicy(int threshold, int minutes)
{
    lockThreshold = threshold;
    lockMinutes = minutes;
}

qint64 SimulatedDecoder::now() const
{
    return clock ? clock() : QDateTime::currentMSecsSinceEpoch();
}

void SimulatedDecoder::note(DecoderLog::Type type, const QString& text)
{
    eventLog.record(now(), type, text);
}

void SimulatedDecoder::seedLog(qint64 untilMs, int days, int perDay)
{
    eventLog.seedHistory(settings.deviceId, untilMs, days, perDay);
}

MatrixInfo SimulatedDecoder::searchInfo() const
{
    MatrixInfo info;
    info.matrixType = MatrixType(settings.type);
    info.deviceId = settings.deviceId;
    info.ip = settings.ip;
    info.channelCount = settings.channels;
    info.activated = settings.activated;
    info.version = settings.version;
    for (int n = 1; n <= settings.channels; ++n)
        info.outputList.append(OutputInfo{settings.outputBase + n, n, 0});
    return info;
}

DecoderBackend::Login SimulatedDecoder::login(const QString& userName, const QString& password,
                                              FaultInjector::LoginFault fault, int refusedCode)
{
    DecoderBackend::Login login;
    const qint64 nowMs = now();
    auto refuse = [&login](int result, const QString& type) {
        login.result = result;
        login.hasError = true;
        login.error.errorType = type;
    };
    if (fault == FaultInjector::LoginFault::Refuse) {
        login.result = refusedCode;
        return login;
    }
    if (fault == FaultInjector::LoginFault::NotActivated || !settings.activated) {
        refuse(RESULT_NOT_ACTIVATED, QStringLiteral("DEVNOACTIVE"));
        return login;
    }
    if (fault == FaultInjector::LoginFault::Locked) {
        refuse(RESULT_USER_LOCKED, QStringLiteral("USERLOCK"));
        login.error.unlockSeconds = lockMinutes * 60;
        return login;
    }
    if (lockedUntilMs > nowMs) {
        refuse(RESULT_USER_LOCKED, QStringLiteral("USERLOCK"));
        login.error.unlockSeconds = int((lockedUntilMs - nowMs + 999) / 1000);
        return login;
    }
    if (lockedUntilMs != 0) {
        // The lock ran out: the count starts again.
        lockedUntilMs = 0;
        failedLogins = 0;
    }
    if (fault == FaultInjector::LoginFault::WrongPassword || userName != settings.userName ||
        password != settings.password) {
        ++failedLogins;
        refuse(RESULT_WRONG_PASSWORD, QStringLiteral("PASSWDERR"));
        login.error.errorCount = failedLogins;
        login.error.lockThreshold = lockThreshold;
        login.error.lockMinutes = lockMinutes;
        if (failedLogins >= lockThreshold)
            lockedUntilMs = nowMs + qint64(lockMinutes) * 60 * 1000;
        return login;
    }
    failedLogins = 0;
    login.result = RESULT_OK;
    login.matrixType = settings.type;
    login.version = settings.version;
    return login;
}

void SimulatedDecoder::logout()
{
    checkedLocations.clear();
}

DecoderBackend::Layout SimulatedDecoder::getLayout(const OutputLookup& outputs) const
{
    DecoderBackend::Layout layout;
    if (!wallHeld)
        return layout;
    layout.result = RESULT_OK;
    layout.mainIp = settings.ip;
    layout.mainType = heldWall.type;
    layout.rows = heldWall.rows;
    layout.cols = heldWall.cols;
    layout.name = heldWall.name;
    layout.screens = heldWall.screens;
    // Report the kind of each bound decoder as it is now.
    for (MatrixInfo& s : layout.screens) {
        if (const int type = outputs(s.ip, 1))
            s.matrixType = MatrixType(type);
    }
    return layout;
}

int SimulatedDecoder::checkLayout(int type, int rows, int cols, const MatrixInfoList& screens,
                                  const QString& name, const OutputLookup& outputs, Wall* wall)
{
    if (rows < 1 || cols < 1 || rows > MaxGrid || cols > MaxGrid || screens.size() != rows * cols ||
        name.trimmed().isEmpty())
        return RESULT_BAD_ARGUMENT;
    QSet<QString> used;
    QSet<int> cells;
    Wall made;
    made.name = name;
    made.type = type;
    made.rows = rows;
    made.cols = cols;
    for (const MatrixInfo& s : screens) {
        const int boundType = outputs(s.ip, s.channel);
        if (!boundType || s.row < 0 || s.row >= rows || s.column < 0 || s.column >= cols)
            return RESULT_BAD_ARGUMENT;
        const QString output = s.ip + QLatin1Char('-') + QString::number(s.channel);
        const int cell = s.row * cols + s.column;
        if (used.contains(output) || cells.contains(cell))
            return RESULT_BAD_ARGUMENT;
        used.insert(output);
        cells.insert(cell);
        MatrixInfo screen;
        screen.matrixType = MatrixType(boundType);
        screen.ip = s.ip;
        screen.channel = s.channel;
        screen.row = s.row;
        screen.column = s.column;
        made.screens.append(screen);
    }
    std::sort(made.screens.begin(), made.screens.end(), [](const MatrixInfo& a, const MatrixInfo& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    *wall = made;
    return RESULT_OK;
}

int SimulatedDecoder::setLayout(int type, int rows, int cols, const MatrixInfoList& screens,
                                const QString& name, const OutputLookup& outputs)
{
    Wall wall;
    const int result = checkLayout(type, rows, cols, screens, name, outputs, &wall);
    if (result != RESULT_OK)
        return result;
    heldWall = wall;
    wallHeld = true;
    note(DecoderLog::Operation,
         QStringLiteral("TV wall \"%1\" set: %2 x %3 screens").arg(name).arg(rows).arg(cols));
    return RESULT_OK;
}

void SimulatedDecoder::setInitialWall(const Wall& wall)
{
    heldWall = wall;
    wallHeld = true;
}

int SimulatedDecoder::saveScene(int sceneNo, const QString& name)
{
    if (sceneNo < 1 || sceneNo > MaxScenes)
        return RESULT_BAD_ARGUMENT;
    Scene scene;
    scene.name = name;
    scene.hasWall = wallHeld;
    scene.wall = heldWall;
    scene.windows = openWindows;
    scenes.insert(sceneNo, scene);
    note(DecoderLog::Operation, QStringLiteral("Scene %1 \"%2\" saved").arg(sceneNo).arg(name));
    return RESULT_OK;
}

int SimulatedDecoder::restoreScene(int sceneNo)
{
    if (!scenes.contains(sceneNo))
        return RESULT_BAD_ARGUMENT;
    // The screens keep their colours: an adjustment saved while the scene was
    // away must survive going back to it.
    const Scene scene = scenes.value(sceneNo);
    wallHeld = scene.hasWall;
    heldWall = scene.wall;
    openWindows = scene.windows;
    note(DecoderLog::Operation, QStringLiteral("Scene %1 \"%2\" restored: %3 window(s)")
                                    .arg(sceneNo)
                                    .arg(scene.name)
                                    .arg(openWindows.size()));
    return RESULT_OK;
}

int SimulatedDecoder::removeScene(int sceneNo)
{
    if (scenes.remove(sceneNo) == 0)
        return RESULT_BAD_ARGUMENT;
    note(DecoderLog::Operation, QStringLiteral("Scene %1 removed").arg(sceneNo));
    return RESULT_OK;
}

int SimulatedDecoder::checkScreen(int location, bool open)
{
    if (location < 0)
        return RESULT_BAD_ARGUMENT;
    if (open && !checkedLocations.contains(location))
        checkedLocations.append(location);
    if (!open)
        checkedLocations.removeAll(location);
    return RESULT_OK;
}

int SimulatedDecoder::removeBanner()
{
    checkedLocations.clear();
    return RESULT_OK;
}

int SimulatedDecoder::factoryReset()
{
    // Settings return to the factory's; the firmware, identity and network stay.
    failedLogins = 0;
    lockedUntilMs = 0;
    wallHeld = false;
    heldWall = Wall();
    resolution = ScreenResolution_t{1920, 1080, 60};
    screenResolutions.clear();
    screenColors.clear();
    scenes.clear();
    openWindows.clear();
    checkedLocations.clear();
    settings.activated = false;
    settings.password.clear();
    settings.userName = factoryUserName.isEmpty() ? QStringLiteral("admin") : factoryUserName;
    return RESULT_OK;
}

int SimulatedDecoder::activate(const QString& password)
{
    if (settings.activated)
        return RESULT_ALREADY_ACTIVE;
    if (!validPassword(password))
        return RESULT_BAD_ARGUMENT;
    settings.activated = true;
    settings.password = password;
    return RESULT_OK;
}

int SimulatedDecoder::changePassword(const QString& userName, const QString& oldPassword,
                                     const QString& newPassword)
{
    if (userName != settings.userName || oldPassword != settings.password)
        return RESULT_WRONG_PASSWORD;
    if (!validPassword(newPassword))
        return RESULT_BAD_ARGUMENT;
    settings.password = newPassword;
    return RESULT_OK;
}

void SimulatedDecoder::getNetwork(DeviceNetworkCfg_t* cfg) const
{
    std::memset(cfg, 0, sizeof(*cfg));
    NetworkText::putField(cfg->ipv4Addr, settings.ip);
    NetworkText::putField(cfg->ipv4Mask, settings.mask);
    NetworkText::putField(cfg->ipv4Gateway, settings.gateway);
    NetworkText::putField(cfg->ipv6Addr, settings.ipv6);
    cfg->ipv6PrefixLen = settings.ipv6Prefix;
    NetworkText::putField(cfg->ipv6Gateway, settings.ipv6Gateway);
    NetworkText::putField(cfg->dns, settings.dns);
}

int SimulatedDecoder::setNetwork(const QString& userName, const QString& password,
                                 const DeviceNetworkCfg_t& cfg,
                                 const std::function<bool(const QString&)>& addressTaken)
{
    if (!settings.activated)
        return RESULT_NOT_ACTIVATED;
    if (userName != settings.userName || password != settings.password)
        return RESULT_WRONG_PASSWORD;
    QString address, mask, gateway, dns, ipv6, ipv6Gateway;
    if (!NetworkText::fieldText(cfg.ipv4Addr, sizeof cfg.ipv4Addr, &address) ||
        !NetworkText::fieldText(cfg.ipv4Mask, sizeof cfg.ipv4Mask, &mask) ||
        !NetworkText::fieldText(cfg.ipv4Gateway, sizeof cfg.ipv4Gateway, &gateway) ||
        !NetworkText::fieldText(cfg.dns, sizeof cfg.dns, &dns) ||
        !NetworkText::fieldText(cfg.ipv6Addr, sizeof cfg.ipv6Addr, &ipv6) ||
        !NetworkText::fieldText(cfg.ipv6Gateway, sizeof cfg.ipv6Gateway, &ipv6Gateway))
        return RESULT_BAD_ARGUMENT;
    if (!NetworkText::isIpv4(address) || !NetworkText::isNetmask(mask) ||
        (!gateway.isEmpty() && !NetworkText::isIpv4(gateway)) ||
        (!dns.isEmpty() && !NetworkText::isIpv4(dns)) || (!ipv6.isEmpty() && !NetworkText::isIpv6(ipv6)) ||
        (!ipv6Gateway.isEmpty() && !NetworkText::isIpv6(ipv6Gateway)) || cfg.ipv6PrefixLen < 0 ||
        cfg.ipv6PrefixLen > 128)
        return RESULT_BAD_ARGUMENT;
    if (address != settings.ip && addressTaken(address))
        return RESULT_ADDRESS_IN_USE;
    settings.ip = address;
    settings.mask = mask;
    settings.gateway = gateway;
    settings.dns = dns;
    settings.ipv6 = ipv6;
    settings.ipv6Prefix = ipv6.isEmpty() ? 0 : cfg.ipv6PrefixLen;
    settings.ipv6Gateway = ipv6Gateway;
    return RESULT_OK;
}

void SimulatedDecoder::renameOutputs(const QString& from, const QString& to)
{
    for (MatrixInfo& s : heldWall.screens) {
        if (s.ip == from)
            s.ip = to;
    }
}

int SimulatedDecoder::getResolution(int screenRow, int screenColumn, ScreenResolution_t* out) const
{
    *out = ScreenResolution_t{0, 0, 0};
    if (screenRow < 0 || screenColumn < 0)
        return RESULT_BAD_ARGUMENT;
    *out = screenResolutions.value(qMakePair(screenRow, screenColumn), resolution);
    return RESULT_OK;
}

int SimulatedDecoder::setResolution(const ScreenResolutionInfo& info, bool persist)
{
    Q_UNUSED(persist)
    if (info.screenRow < 0 || info.screenColumn < 0 || !supportedResolution(info.resolution))
        return RESULT_BAD_ARGUMENT;
    const ScreenResolution_t value{info.resolution.width, info.resolution.height, info.resolution.frameRate};
    if (info.screenRow == 0 && info.screenColumn == 0) {
        resolution = value;
        screenResolutions.clear();
    } else {
        screenResolutions.insert(qMakePair(int(info.screenRow), int(info.screenColumn)), value);
    }
    return RESULT_OK;
}

int SimulatedDecoder::getScreenColor(int screenRow, int screenColumn, ScreenColor* out) const
{
    *out = ScreenColor();
    if (screenRow < 0 || screenColumn < 0)
        return RESULT_BAD_ARGUMENT;
    *out = screenColors.value(qMakePair(screenRow, screenColumn));
    return RESULT_OK;
}

int SimulatedDecoder::setScreenColor(int screenRow, int screenColumn, const ScreenColor& color)
{
    if (screenRow < 0 || screenColumn < 0 || !validColor(color))
        return RESULT_BAD_ARGUMENT;
    screenColors.insert(qMakePair(screenRow, screenColumn), color);
    note(
        DecoderLog::Operation,
        QStringLiteral("Screen %1-%2 colour set: %3").arg(screenRow).arg(screenColumn).arg(colorText(color)));
    return RESULT_OK;
}

int SimulatedDecoder::addWindow(const MatrixWindowInfo& window)
{
    if (window.x < 0 || window.y < 0 || window.width <= 0 || window.height <= 0 ||
        qint64(window.x) + window.width > WallUnits || qint64(window.y) + window.height > WallUnits)
        return RESULT_BAD_ARGUMENT;
    openWindows.append(window);
    note(DecoderLog::Operation, QStringLiteral("Window %1 opened at %2,%3 size %4 x %5")
                                    .arg(openWindows.size())
                                    .arg(window.x)
                                    .arg(window.y)
                                    .arg(window.width)
                                    .arg(window.height));
    return RESULT_OK;
}

int SimulatedDecoder::setWindowSource(const MatrixWindowInfo& window, int windowId, bool show)
{
    if (!show)
        return RESULT_OK;
    // -1 addresses the window opened last.
    const int index = windowId < 0 ? openWindows.size() - 1 : windowId;
    if (index < 0 || index >= openWindows.size())
        return RESULT_BAD_ARGUMENT;
    QStringList pictures;
    for (const WindowSourceInfo& source : window.sourceList) {
        if (source.sourceKind != PictureSource)
            continue;
        const QString problem = pictureProblem(source.picturePath);
        if (!problem.isEmpty()) {
            note(DecoderLog::Warning,
                 QStringLiteral("Test picture \"%1\" refused: %2").arg(source.picturePath, problem));
            return RESULT_BAD_ARGUMENT;
        }
        pictures.append(source.pictureName);
    }
    openWindows[index].sourceList = window.sourceList;
    note(DecoderLog::Operation, pictures.isEmpty()
                                    ? QStringLiteral("Window %1 shows its sources").arg(index + 1)
                                    : QStringLiteral("Window %1 shows the test picture %2")
                                          .arg(index + 1)
                                          .arg(pictures.join(QLatin1String(", "))));
    return RESULT_OK;
}

QString SimulatedDecoder::screenContent(int row, int column) const
{
    // The window opened last lies on top.
    for (int i = openWindows.size() - 1; i >= 0; --i) {
        const MatrixWindowInfo& w = openWindows.at(i);
        const int rows = wallHeld ? heldWall.rows : qMax(1, int(w.rowCount));
        const int cols = wallHeld ? heldWall.cols : qMax(1, int(w.columnCount));
        if (row < 1 || row > rows || column < 1 || column > cols)
            continue;
        const qint64 centreX = (2 * column - 1) * qint64(WallUnits) / (2 * cols);
        const qint64 centreY = (2 * row - 1) * qint64(WallUnits) / (2 * rows);
        if (centreX < w.x || centreX >= qint64(w.x) + w.width || centreY < w.y ||
            centreY >= qint64(w.y) + w.height)
            continue;
        for (const WindowSourceInfo& source : w.sourceList) {
            if (source.sourceKind == PictureSource && !source.pictureName.isEmpty())
                return source.pictureName;
        }
        return QStringLiteral("window");
    }
    return QStringLiteral("video");
}

int SimulatedDecoder::getLog(const QDateTime& begin, const QDateTime& end, int logType, const QString& path,
                             QStringList* lines) const
{
    lines->clear();
    if (logType == -1) {
        if (path.isEmpty())
            return RESULT_BAD_ARGUMENT;
        // The package holds the last week of every log.
        const QDateTime to = QDateTime::fromMSecsSinceEpoch(now());
        const QDateTime from = to.addDays(-7);
        QList<LogPackage::Entry> files;
        for (int type = 0; type < DecoderLog::TypeCount; ++type) {
            const QByteArray text = eventLog.query(from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch(), type)
                                        .join(QLatin1Char('\n'))
                                        .toUtf8() +
                                    '\n';
            files.append({DecoderLog::typeName(type) + QStringLiteral(".log"), text});
        }
        return LogPackage::write(path, files, to.toSecsSinceEpoch()) ? RESULT_OK : RESULT_IO_ERROR;
    }
    if (!begin.isValid() || !end.isValid() || end < begin || logType < 0 || logType >= DecoderLog::TypeCount)
        return RESULT_BAD_ARGUMENT;
    *lines = eventLog.query(begin.toMSecsSinceEpoch(), end.toMSecsSinceEpoch(), logType);
    if (!path.isEmpty() && !AtomicFile::write(path, lines->join(QLatin1Char('\n')).toUtf8()))
        return RESULT_IO_ERROR;
    return RESULT_OK;
}

SimulatedDecoder::Configuration SimulatedDecoder::configuration() const
{
    Configuration c;
    c.deviceId = settings.deviceId;
    c.type = settings.type;
    c.channels = settings.channels;
    c.firmware = settings.version;
    c.resolution = resolution;
    c.colors = screenColors;
    c.hasWall = wallHeld;
    c.wall = heldWall;
    c.scenes = scenes;
    return c;
}

int SimulatedDecoder::exportConfig(const QString& path) const
{
    if (path.isEmpty())
        return RESULT_BAD_ARGUMENT;
    return AtomicFile::write(path, DecoderConfigFile::encode(configuration())) ? RESULT_OK : RESULT_IO_ERROR;
}

int SimulatedDecoder::importConfig(const QString& path, const OutputLookup& outputs)
{
    Q_UNUSED(outputs)
    if (path.isEmpty())
        return RESULT_BAD_ARGUMENT;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return RESULT_IO_ERROR;
    Configuration c;
    const int decoded = DecoderConfigFile::decode(file.readAll(), &c);
    if (decoded != RESULT_OK)
        return decoded;
    // A configuration only fits a decoder of the same kind.
    if (c.type != settings.type || c.channels != settings.channels)
        return RESULT_BAD_ARGUMENT;
    if (!supportedResolution(
            ScreenResolution{c.resolution.width, c.resolution.height, c.resolution.frameRate}))
        return RESULT_BAD_ARGUMENT;
    for (const ScreenColor& color : qAsConst(c.colors)) {
        if (!validColor(color))
            return RESULT_BAD_ARGUMENT;
    }
    resolution = c.resolution;
    screenResolutions.clear();
    screenColors = c.colors;
    scenes = c.scenes;
    wallHeld = c.hasWall;
    heldWall = c.hasWall ? c.wall : Wall();
    return RESULT_OK;
}

bool SimulatedDecoder::acceptsUpgradeLogin(const QString& userName, const QString& password) const
{
    return settings.activated && settings.userName == userName && settings.password == password &&
           lockedUntilMs <= now();
}

void SimulatedDecoder::installFirmware(const QString& version)
{
    settings.version = version;
}

} // namespace pral_matrix
