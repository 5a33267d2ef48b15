#include "simulateddecoder.h"

#include "decoderconfigfile.h"
#include "firmwareimage.h"
#include "logpackage.h"
#include "networktext.h"

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
constexpr int PackageDays = 7;

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

bool supportedResolution(int width, int height, int frameRate)
{
    static const QList<QPair<int, int>> sizes = {{1280, 720}, {1920, 1080}, {3840, 2160}};
    static const QList<int> rates = {24, 25, 30, 50, 60};
    return sizes.contains(qMakePair(width, height)) && rates.contains(frameRate);
}

bool supportedResolution(const ScreenResolution_t& r)
{
    return supportedResolution(r.width, r.height, r.frameRate);
}

bool sameResolution(const ScreenResolution_t& a, const ScreenResolution_t& b)
{
    return a.width == b.width && a.height == b.height && a.frameRate == b.frameRate;
}

bool sameResolutions(const SimulatedDecoder::ResolutionMap& a, const SimulatedDecoder::ResolutionMap& b)
{
    return a.keys() == b.keys() && std::all_of(a.keyBegin(), a.keyEnd(), [&a, &b](const auto& key) {
               return sameResolution(a.value(key), b.value(key));
           });
}

bool validWindow(const MatrixWindowInfo& w)
{
    return w.x >= 0 && w.y >= 0 && w.width > 0 && w.height > 0 && qint64(w.x) + w.width <= WallUnits &&
           qint64(w.y) + w.height <= WallUnits;
}

QString colorText(const ScreenColor& c)
{
    return QStringLiteral("brightness %1, contrast %2, chroma %3, sharpness %4")
        .arg(c.brightness)
        .arg(c.contrast)
        .arg(c.chroma)
        .arg(c.sharpness);
}

QString resolutionText(const ScreenResolution_t& r)
{
    return QStringLiteral("%1 x %2 at %3 Hz").arg(r.width).arg(r.height).arg(r.frameRate);
}

QString screenText(int row, int column)
{
    return row == 0 && column == 0 ? QStringLiteral("every screen")
                                   : QStringLiteral("screen %1-%2").arg(row).arg(column);
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

QString configRefusal(int code)
{
    switch (code) {
    case DecoderConfigFile::Empty:
        return QStringLiteral("the file is empty");
    case DecoderConfigFile::NotAConfig:
        return QStringLiteral("the file is no configuration file");
    case DecoderConfigFile::UnknownVersion:
        return QStringLiteral("the file has an unknown format version");
    case DecoderConfigFile::Truncated:
        return QStringLiteral("the file is truncated");
    case DecoderConfigFile::Damaged:
        return QStringLiteral("the file is damaged (checksum)");
    case DecoderConfigFile::OtherModel:
        return QStringLiteral("the file belongs to another model");
    default:
        return QStringLiteral("its settings do not fit this decoder");
    }
}

QString upgradeFailure(int code)
{
    static const QStringList reasons = {
        QStringLiteral("connection failed"),    QStringLiteral("wrong temporary directory"),
        QStringLiteral("connection broken"),    QStringLiteral("already the latest version"),
        QStringLiteral("download failed"),      QStringLiteral("wrong file"),
        QStringLiteral("disk space too small"), QStringLiteral("inspection failed"),
        QStringLiteral("write failed")};
    return code >= 1 && code <= reasons.size() ? reasons.at(code - 1) : QStringLiteral("error %1").arg(code);
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

void SimulatedDecoder::seedLog(qint64 untilMs, int days, int perDay)
{
    eventLog.seedHistory(settings.deviceId, untilMs, days, perDay);
}

qint64 SimulatedDecoder::now() const
{
    return clock ? clock() : QDateTime::currentMSecsSinceEpoch();
}

void SimulatedDecoder::note(DecoderLog::Type type, const QString& text)
{
    eventLog.record(now(), type, text);
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
    if (fault == FaultInjector::LoginFault::Refuse) {
        // The decoder never heard of it: nothing to log.
        login.result = refusedCode;
        return login;
    }
    login = checkCredentials(QStringLiteral("Login"), userName, password, fault);
    if (login.result != RESULT_OK)
        return login;
    sessionOpen = true;
    note(DecoderLog::Operation, QStringLiteral("User %1 logged in").arg(userName));
    login.matrixType = settings.type;
    login.version = settings.version;
    login.model = settings.model;
    login.bootId = boots;
    return login;
}

DecoderBackend::Login SimulatedDecoder::authenticate(const QString& userName, const QString& password)
{
    return checkCredentials(QStringLiteral("Request"), userName, password, FaultInjector::LoginFault::None);
}

DecoderBackend::Login SimulatedDecoder::checkCredentials(const QString& what, const QString& userName,
                                                         const QString& password,
                                                         FaultInjector::LoginFault fault)
{
    DecoderBackend::Login login;
    const qint64 nowMs = now();
    auto refuse = [this, &login, &userName, &what](int result, const QString& type, const QString& why) {
        login.result = result;
        login.hasError = true;
        login.error.errorType = type;
        note(DecoderLog::Warning, QStringLiteral("%1 of user %2 refused: %3").arg(what, userName, why));
    };
    if (fault == FaultInjector::LoginFault::NotActivated || !settings.activated) {
        refuse(RESULT_NOT_ACTIVATED, QStringLiteral("DEVNOACTIVE"),
               QStringLiteral("the device is not activated"));
        return login;
    }
    if (fault == FaultInjector::LoginFault::Locked) {
        refuse(RESULT_USER_LOCKED, QStringLiteral("USERLOCK"), QStringLiteral("the account is locked"));
        login.error.unlockSeconds = lockMinutes * 60;
        return login;
    }
    if (lockedUntilMs > nowMs) {
        refuse(RESULT_USER_LOCKED, QStringLiteral("USERLOCK"), QStringLiteral("the account is locked"));
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
        refuse(RESULT_WRONG_PASSWORD, QStringLiteral("PASSWDERR"),
               QStringLiteral("wrong user name or password (%1 of %2)").arg(failedLogins).arg(lockThreshold));
        login.error.errorCount = failedLogins;
        login.error.lockThreshold = lockThreshold;
        login.error.lockMinutes = lockMinutes;
        if (failedLogins >= lockThreshold) {
            lockedUntilMs = nowMs + qint64(lockMinutes) * 60 * 1000;
            note(DecoderLog::Warning, QStringLiteral("User %1 locked for %2 minutes after %3 wrong passwords")
                                          .arg(userName)
                                          .arg(lockMinutes)
                                          .arg(failedLogins));
        }
        return login;
    }
    failedLogins = 0;
    login.result = RESULT_OK;
    return login;
}

void SimulatedDecoder::logout()
{
    if (sessionOpen)
        note(DecoderLog::Operation, QStringLiteral("User %1 logged out").arg(settings.userName));
    closeSession();
}

bool SimulatedDecoder::answers() const
{
    return downUntilMs == 0 || now() >= downUntilMs;
}

void SimulatedDecoder::restart(const QString& why)
{
    // Windows and what lasts for a session are gone; kept settings stay.
    openWindows.clear();
    closeSession();
    note(DecoderLog::System, why);
    ++boots;
    downUntilMs = restartMs > 0 ? now() + restartMs : 0;
}

void SimulatedDecoder::closeSession()
{
    sessionOpen = false;
    checkedLocations.clear();
    if (!sameResolution(liveResolution, savedResolution) ||
        !sameResolutions(liveScreenResolutions, savedScreenResolutions))
        note(DecoderLog::Operation,
             QStringLiteral("Resolution back to the kept one: %1").arg(resolutionText(savedResolution)));
    liveResolution = savedResolution;
    liveScreenResolutions = savedScreenResolutions;
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
                                  const QString& name, const OutputLookup& outputs, Wall* wall, QString* why)
{
    QString dummy;
    QString& reason = why ? *why : dummy;
    if (rows < 1 || cols < 1 || rows > MaxGrid || cols > MaxGrid) {
        reason = QStringLiteral("rows and columns must be 1 to %1").arg(MaxGrid);
        return RESULT_BAD_ARGUMENT;
    }
    if (screens.size() != rows * cols) {
        reason = QStringLiteral("%1 screens for %2 x %3").arg(screens.size()).arg(rows).arg(cols);
        return RESULT_BAD_ARGUMENT;
    }
    if (name.trimmed().isEmpty()) {
        reason = QStringLiteral("the wall has no name");
        return RESULT_BAD_ARGUMENT;
    }
    QSet<QString> used;
    QSet<int> cells;
    Wall made;
    made.name = name;
    made.type = type;
    made.rows = rows;
    made.cols = cols;
    for (const MatrixInfo& s : screens) {
        const QString output = s.ip + QLatin1Char('-') + QString::number(s.channel);
        const int boundType = outputs(s.ip, s.channel);
        if (!boundType) {
            reason = QStringLiteral("%1 is no output of the fleet").arg(output);
            return RESULT_BAD_ARGUMENT;
        }
        if (s.row < 0 || s.row >= rows || s.column < 0 || s.column >= cols) {
            reason = QStringLiteral("%1 lies outside the wall").arg(output);
            return RESULT_BAD_ARGUMENT;
        }
        const int cell = s.row * cols + s.column;
        if (used.contains(output) || cells.contains(cell)) {
            reason = QStringLiteral("%1 or its screen is used twice").arg(output);
            return RESULT_BAD_ARGUMENT;
        }
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
    note(DecoderLog::Operation,
         QStringLiteral("Screen check at output %1 %2").arg(location).arg(open ? "shown" : "removed"));
    return RESULT_OK;
}

int SimulatedDecoder::removeBanner()
{
    checkedLocations.clear();
    return RESULT_OK;
}

int SimulatedDecoder::factoryReset()
{
    // Settings return to the factory's; the firmware, identity, network and log stay.
    closeSession();
    failedLogins = 0;
    lockedUntilMs = 0;
    wallHeld = false;
    heldWall = Wall();
    savedResolution = liveResolution = ScreenResolution_t{1920, 1080, 60};
    savedScreenResolutions.clear();
    liveScreenResolutions.clear();
    screenColors.clear();
    scenes.clear();
    openWindows.clear();
    settings.activated = false;
    settings.password.clear();
    settings.userName = factoryUserName.isEmpty() ? QStringLiteral("admin") : factoryUserName;
    note(DecoderLog::System, QStringLiteral("Factory settings restored: the device waits for activation"));
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
    note(DecoderLog::System, QStringLiteral("Device activated"));
    return RESULT_OK;
}

int SimulatedDecoder::changePassword(const QString& userName, const QString& oldPassword,
                                     const QString& newPassword)
{
    if (userName != settings.userName || oldPassword != settings.password) {
        note(DecoderLog::Warning,
             QStringLiteral("Password change of user %1 refused: wrong password").arg(userName));
        return RESULT_WRONG_PASSWORD;
    }
    if (!validPassword(newPassword))
        return RESULT_BAD_ARGUMENT;
    settings.password = newPassword;
    note(DecoderLog::Operation, QStringLiteral("Password of user %1 changed").arg(userName));
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
    if (userName != settings.userName || password != settings.password) {
        note(DecoderLog::Warning,
             QStringLiteral("Network change by user %1 refused: wrong password").arg(userName));
        return RESULT_WRONG_PASSWORD;
    }
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
    const bool moved = address != settings.ip;
    settings.ip = address;
    settings.mask = mask;
    settings.gateway = gateway;
    settings.dns = dns;
    settings.ipv6 = ipv6;
    settings.ipv6Prefix = ipv6.isEmpty() ? 0 : cfg.ipv6PrefixLen;
    settings.ipv6Gateway = ipv6Gateway;
    note(DecoderLog::Operation,
         QStringLiteral("Network settings changed: address %1, mask %2, gateway %3, DNS %4, "
                        "IPv6 %5/%6, IPv6 gateway %7")
             .arg(address, mask, gateway, dns, ipv6)
             .arg(settings.ipv6Prefix)
             .arg(ipv6Gateway));
    // A new address ends the connection it came over.
    if (moved)
        closeSession();
    return RESULT_OK;
}

void SimulatedDecoder::revertNetwork(const DeviceNetworkCfg_t& previous, const QString& why)
{
    NetworkText::fieldText(previous.ipv4Addr, sizeof previous.ipv4Addr, &settings.ip);
    NetworkText::fieldText(previous.ipv4Mask, sizeof previous.ipv4Mask, &settings.mask);
    NetworkText::fieldText(previous.ipv4Gateway, sizeof previous.ipv4Gateway, &settings.gateway);
    NetworkText::fieldText(previous.dns, sizeof previous.dns, &settings.dns);
    NetworkText::fieldText(previous.ipv6Addr, sizeof previous.ipv6Addr, &settings.ipv6);
    NetworkText::fieldText(previous.ipv6Gateway, sizeof previous.ipv6Gateway, &settings.ipv6Gateway);
    settings.ipv6Prefix = previous.ipv6PrefixLen;
    note(DecoderLog::System, why);
    closeSession();
}

void SimulatedDecoder::noteConfirmedAddress()
{
    note(DecoderLog::Operation, QStringLiteral("The address %1 was confirmed").arg(settings.ip));
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
    *out = liveScreenResolutions.value(qMakePair(screenRow, screenColumn), liveResolution);
    return RESULT_OK;
}

int SimulatedDecoder::setResolution(const ScreenResolutionInfo& info, bool persist)
{
    const ScreenResolution_t value{info.resolution.width, info.resolution.height, info.resolution.frameRate};
    if (info.screenRow < 0 || info.screenColumn < 0 || !supportedResolution(value))
        return RESULT_BAD_ARGUMENT;
    const auto apply = [&info, &value](ScreenResolution_t* whole, ResolutionMap* perScreen) {
        if (info.screenRow == 0 && info.screenColumn == 0) {
            // The whole decoder: every screen follows.
            *whole = value;
            perScreen->clear();
        } else {
            perScreen->insert(qMakePair(int(info.screenRow), int(info.screenColumn)), value);
        }
    };
    apply(&liveResolution, &liveScreenResolutions);
    if (persist)
        apply(&savedResolution, &savedScreenResolutions);
    note(DecoderLog::Operation,
         QStringLiteral("Resolution of %1 set to %2 (%3)")
             .arg(screenText(info.screenRow, info.screenColumn), resolutionText(value),
                  persist ? QStringLiteral("kept") : QStringLiteral("until the session ends")));
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
    note(DecoderLog::Operation,
         QStringLiteral("Colour of %1 set: %2").arg(screenText(screenRow, screenColumn), colorText(color)));
    return RESULT_OK;
}

int SimulatedDecoder::addWindow(const MatrixWindowInfo& window)
{
    if (!validWindow(window))
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

int SimulatedDecoder::getLog(const QDateTime& begin, const QDateTime& end, int logType,
                             QStringList* lines) const
{
    lines->clear();
    if (!begin.isValid() || !end.isValid() || end < begin || logType < 0 || logType >= DecoderLog::TypeCount)
        return RESULT_BAD_ARGUMENT;
    *lines = eventLog.query(begin.toMSecsSinceEpoch(), end.toMSecsSinceEpoch(), logType);
    return RESULT_OK;
}

QByteArray SimulatedDecoder::logPackage() const
{
    // The last week of every log, and what the lines are about.
    const QDateTime to = QDateTime::fromMSecsSinceEpoch(now());
    const qint64 from = to.addDays(-PackageDays).toMSecsSinceEpoch();
    QList<LogPackage::Entry> files;
    files.append(
        {QStringLiteral("device.txt"),
         QStringLiteral("device id: %1\nmodel: %2\naddress: %3\nfirmware: %4\nexported: %5\n")
             .arg(settings.deviceId, settings.model, settings.ip, settings.version, to.toString(Qt::ISODate))
             .toUtf8()});
    for (int type = 0; type < DecoderLog::TypeCount; ++type) {
        QByteArray text = eventLog.query(from, to.toMSecsSinceEpoch(), type).join(QLatin1Char('\n')).toUtf8();
        if (!text.isEmpty())
            text += '\n';
        files.append({DecoderLog::typeName(type) + QStringLiteral(".log"), text});
    }
    return LogPackage::build(files, to);
}

SimulatedDecoder::Configuration SimulatedDecoder::configuration() const
{
    Configuration c;
    c.deviceId = settings.deviceId;
    c.model = settings.model;
    c.type = settings.type;
    c.channels = settings.channels;
    c.firmware = settings.version;
    c.mask = settings.mask;
    c.gateway = settings.gateway;
    c.dns = settings.dns;
    c.ipv6Prefix = settings.ipv6Prefix;
    c.ipv6Gateway = settings.ipv6Gateway;
    c.resolution = savedResolution;
    c.screenResolutions = savedScreenResolutions;
    c.colors = screenColors;
    c.hasWall = wallHeld;
    c.wall = heldWall;
    c.scenes = scenes;
    return c;
}

QByteArray SimulatedDecoder::exportConfig()
{
    note(DecoderLog::Operation, QStringLiteral("Configuration exported"));
    return DecoderConfigFile::encode(configuration());
}

int SimulatedDecoder::checkConfiguration(const Configuration& c, const OutputLookup& outputs) const
{
    if (c.model != settings.model || c.type != settings.type || c.channels != settings.channels)
        return DecoderConfigFile::OtherModel;
    const bool networkOk = NetworkText::isNetmask(c.mask) &&
                           (c.gateway.isEmpty() || NetworkText::isIpv4(c.gateway)) &&
                           (c.dns.isEmpty() || NetworkText::isIpv4(c.dns)) &&
                           (c.ipv6Gateway.isEmpty() || NetworkText::isIpv6(c.ipv6Gateway)) &&
                           c.ipv6Prefix >= 0 && c.ipv6Prefix <= 128;
    if (!networkOk || !supportedResolution(c.resolution))
        return RESULT_BAD_ARGUMENT;
    for (auto it = c.screenResolutions.constBegin(); it != c.screenResolutions.constEnd(); ++it) {
        if (it.key().first < 0 || it.key().second < 0 || !supportedResolution(it.value()))
            return RESULT_BAD_ARGUMENT;
    }
    for (auto it = c.colors.constBegin(); it != c.colors.constEnd(); ++it) {
        if (it.key().first < 0 || it.key().second < 0 || !validColor(it.value()))
            return RESULT_BAD_ARGUMENT;
    }
    Wall wall;
    if (c.hasWall && checkLayout(c.wall.type, c.wall.rows, c.wall.cols, c.wall.screens, c.wall.name, outputs,
                                 &wall) != RESULT_OK)
        return RESULT_BAD_ARGUMENT;
    for (auto it = c.scenes.constBegin(); it != c.scenes.constEnd(); ++it) {
        if (it.key() < 1 || it.key() > MaxScenes)
            return RESULT_BAD_ARGUMENT;
        const Scene& s = it.value();
        if (s.hasWall && checkLayout(s.wall.type, s.wall.rows, s.wall.cols, s.wall.screens, s.wall.name,
                                     outputs, &wall) != RESULT_OK)
            return RESULT_BAD_ARGUMENT;
        if (!std::all_of(s.windows.cbegin(), s.windows.cend(), validWindow))
            return RESULT_BAD_ARGUMENT;
    }
    return RESULT_OK;
}

int SimulatedDecoder::importConfig(const QByteArray& file, const OutputLookup& outputs)
{
    Configuration c;
    int result = file.size() > DecoderConfigFile::MaxSize ? int(DecoderConfigFile::NotAConfig)
                                                          : DecoderConfigFile::decode(file, &c);
    if (result == RESULT_OK)
        result = checkConfiguration(c, outputs);
    if (result != RESULT_OK) {
        note(DecoderLog::Warning,
             QStringLiteral("Configuration file refused: %1").arg(configRefusal(result)));
        return result;
    }
    settings.mask = c.mask;
    settings.gateway = c.gateway;
    settings.dns = c.dns;
    settings.ipv6Prefix = settings.ipv6.isEmpty() ? 0 : c.ipv6Prefix;
    settings.ipv6Gateway = c.ipv6Gateway;
    savedResolution = c.resolution;
    savedScreenResolutions = c.screenResolutions;
    screenColors = c.colors;
    scenes = c.scenes;
    wallHeld = false;
    heldWall = Wall();
    if (c.hasWall)
        checkLayout(c.wall.type, c.wall.rows, c.wall.cols, c.wall.screens, c.wall.name, outputs, &heldWall);
    wallHeld = c.hasWall;
    importedMarker = DecoderConfigFile::marker(file);
    note(DecoderLog::Operation, QStringLiteral("Configuration of %1 imported").arg(c.deviceId));
    restart(QStringLiteral("Restarting to apply the imported configuration"));
    return RESULT_OK;
}

bool SimulatedDecoder::acceptsFirmware(const FirmwareImage& image)
{
    if (image.model == settings.model)
        return true;
    refuseFirmware(QStringLiteral("the image is made for the model %1").arg(image.model));
    return false;
}

void SimulatedDecoder::refuseFirmware(const QString& why)
{
    note(DecoderLog::Warning, QStringLiteral("Firmware file refused: %1").arg(why));
}

SimulatedDecoder::UpgradeStart
SimulatedDecoder::beginUpgrade(const FirmwareImage& image, const QString& userName, const QString& password)
{
    if (!settings.activated || userName != settings.userName || password != settings.password ||
        lockedUntilMs > now()) {
        note(DecoderLog::Warning,
             QStringLiteral("Firmware upgrade refused: login of user %1 failed").arg(userName));
        return UpgradeStart::LoginFailed;
    }
    if (image.version == settings.version) {
        note(DecoderLog::System, QStringLiteral("Firmware %1 is already installed").arg(image.version));
        return UpgradeStart::Latest;
    }
    upgradeVersion = image.version;
    note(DecoderLog::System,
         QStringLiteral("Firmware upgrade from %1 to %2 started").arg(settings.version, image.version));
    return UpgradeStart::Ready;
}

void SimulatedDecoder::restartOnFormerFirmware()
{
    if (!upgrading())
        return;
    const QString failed = upgradeVersion;
    upgradeVersion.clear();
    restart(QStringLiteral("Firmware %1 did not start; restarting on %2").arg(failed, settings.version));
}

void SimulatedDecoder::endUpgrade(int code)
{
    if (!upgrading())
        return;
    if (code == 0) {
        const QString from = settings.version;
        settings.version = upgradeVersion;
        upgradeVersion.clear();
        restart(QStringLiteral("Firmware upgraded from %1 to %2; restarting to run it")
                    .arg(from, settings.version));
        return;
    }
    note(DecoderLog::Abnormal, QStringLiteral("Firmware upgrade to %1 failed: %2 (code %3)")
                                   .arg(upgradeVersion, upgradeFailure(code))
                                   .arg(code));
    upgradeVersion.clear();
}

} // namespace pral_matrix
