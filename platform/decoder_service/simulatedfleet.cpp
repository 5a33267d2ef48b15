#include "simulatedfleet.h"

#include "faultinjector.h"
#include "recordjson.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>

#include <arpa/inet.h>
#include <cstring>

namespace pral_matrix {

namespace {

const QString ConfigFormat = QStringLiteral("tvwall-decoder-config");
const QByteArray FirmwareMagic = QByteArrayLiteral("TVWALL-DECODER-FIRMWARE ");
constexpr int WallUnits = 32768;
constexpr int MaxGrid = 10;

bool parseIpv4(const QString& text, quint32* bits = nullptr)
{
    in_addr address{};
    if (inet_pton(AF_INET, text.toLatin1().constData(), &address) != 1)
        return false;
    if (bits)
        *bits = ntohl(address.s_addr);
    return true;
}

bool isIpv4(const QString& text)
{
    return parseIpv4(text);
}

bool isIpv6(const QString& text)
{
    in6_addr address{};
    return inet_pton(AF_INET6, text.toLatin1().constData(), &address) == 1;
}

bool isNetmask(const QString& text)
{
    quint32 bits = 0;
    if (!parseIpv4(text, &bits))
        return false;
    // A mask is ones followed by zeros: inverting and adding one gives a power of two.
    const quint32 inverted = ~bits;
    return (inverted & (inverted + 1)) == 0;
}

/** Text of a NUL-terminated field; false when the field holds no NUL at all. */
bool fieldText(const char* field, size_t size, QString* text)
{
    const size_t length = qstrnlen(field, uint(size));
    if (length >= size)
        return false;
    *text = QString::fromLatin1(field, int(length));
    return true;
}

template <size_t N>
void putField(char (&field)[N], const QString& text)
{
    const QByteArray bytes = text.toLatin1().left(int(N) - 1);
    std::memset(field, 0, N);
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
}

bool validPassword(const QString& password)
{
    return password.size() >= 8 && password.size() <= 16;
}

quint32 fnv1a(const QByteArray& bytes)
{
    quint32 hash = 2166136261u;
    for (char c : bytes) {
        hash ^= quint8(c);
        hash *= 16777619u;
    }
    return hash;
}

QString logTypeName(int logType)
{
    switch (logType) {
    case 0:
        return QStringLiteral("system");
    case 1:
        return QStringLiteral("warning");
    case 2:
        return QStringLiteral("operation");
    default:
        return QStringLiteral("abnormal");
    }
}

QStringList logMessages(int logType)
{
    switch (logType) {
    case 0:
        return {
            QStringLiteral("System started"),      QStringLiteral("Time synchronised with the NTP server"),
            QStringLiteral("Configuration saved"), QStringLiteral("Output card self-test passed"),
            QStringLiteral("Fan speed adjusted"),  QStringLiteral("Network link up")};
    case 1:
        return {QStringLiteral("Board temperature high"), QStringLiteral("Stream packet loss above 1%"),
                QStringLiteral("Output signal lost"), QStringLiteral("Disk space low"),
                QStringLiteral("Network link down")};
    case 2:
        return {QStringLiteral("User admin logged in"),   QStringLiteral("User admin logged out"),
                QStringLiteral("TV wall layout changed"), QStringLiteral("Scene saved"),
                QStringLiteral("Screen colour changed"),  QStringLiteral("Window opened")};
    default:
        return {QStringLiteral("Decoder restarted unexpectedly"), QStringLiteral("Stream decoding error"),
                QStringLiteral("Watchdog reset")};
    }
}

// A log package is a gzip-compressed tar archive; building both by hand
// keeps the service free of archive libraries.
quint32 crc32(const QByteArray& data)
{
    static quint32 table[256];
    static const bool built = [] {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return true;
    }();
    Q_UNUSED(built)
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data)
        crc = table[(crc ^ quint8(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void appendLe32(QByteArray* out, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out->append(char((value >> (8 * i)) & 0xFF));
}

QByteArray gzip(const QByteArray& data)
{
    // qCompress gives a 4-byte size, a 2-byte zlib header, raw deflate and a
    // 4-byte Adler-32; gzip wants the raw deflate between its own header and trailer.
    const QByteArray zlib = qCompress(data, 9);
    QByteArray out = QByteArray::fromHex("1f8b08000000000002ff");
    out.append(zlib.mid(6, zlib.size() - 10));
    appendLe32(&out, crc32(data));
    appendLe32(&out, quint32(data.size()));
    return out;
}

void appendTarEntry(QByteArray* tar, const QString& name, const QByteArray& content, qint64 mtime)
{
    QByteArray header(512, '\0');
    auto put = [&header](int offset, const QByteArray& value) {
        std::memcpy(header.data() + offset, value.constData(), size_t(value.size()));
    };
    put(0, name.toLatin1().left(99));
    put(100, QByteArrayLiteral("0000644"));
    put(108, QByteArrayLiteral("0000000"));
    put(116, QByteArrayLiteral("0000000"));
    put(124, QByteArray::number(content.size(), 8).rightJustified(11, '0'));
    put(136, QByteArray::number(mtime, 8).rightJustified(11, '0'));
    put(148, QByteArray(8, ' '));
    header[156] = '0';
    put(257, QByteArrayLiteral("ustar"));
    put(263, QByteArrayLiteral("00"));
    unsigned sum = 0;
    for (char c : qAsConst(header))
        sum += quint8(c);
    put(148, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0' + ' ');
    tar->append(header);
    tar->append(content);
    tar->append(QByteArray((512 - content.size() % 512) % 512, '\0'));
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QJsonObject wallToJson(const SimulatedFleet::Wall& wall)
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), wall.name);
    o.insert(QStringLiteral("type"), wall.type);
    o.insert(QStringLiteral("rows"), wall.rows);
    o.insert(QStringLiteral("cols"), wall.cols);
    QJsonArray screens;
    for (const MatrixInfo& s : wall.screens)
        screens.append(QJsonArray{s.ip, s.channel, s.row, s.column, int(s.matrixType)});
    o.insert(QStringLiteral("screens"), screens);
    return o;
}

SimulatedFleet::Wall wallFromJson(const QJsonObject& o)
{
    SimulatedFleet::Wall wall;
    wall.name = o.value(QStringLiteral("name")).toString();
    wall.type = o.value(QStringLiteral("type")).toInt(MATRIX_TYPE_MULTI_OUTPUT);
    wall.rows = o.value(QStringLiteral("rows")).toInt();
    wall.cols = o.value(QStringLiteral("cols")).toInt();
    const QJsonArray screens = o.value(QStringLiteral("screens")).toArray();
    for (const QJsonValue& v : screens) {
        const QJsonArray a = v.toArray();
        MatrixInfo s;
        s.ip = a.at(0).toString();
        s.channel = a.at(1).toInt();
        s.row = a.at(2).toInt();
        s.column = a.at(3).toInt();
        s.matrixType = MatrixType(a.at(4).toInt(MATRIX_TYPE_UNKNOWN));
        wall.screens.append(s);
    }
    return wall;
}

QJsonArray colorsToJson(const QMap<QPair<int, int>, ScreenColor>& colors)
{
    QJsonArray list;
    for (auto it = colors.constBegin(); it != colors.constEnd(); ++it) {
        QJsonObject o = RecordJson::toJson(it.value());
        o.insert(QStringLiteral("screenRow"), it.key().first);
        o.insert(QStringLiteral("screenColumn"), it.key().second);
        list.append(o);
    }
    return list;
}

QMap<QPair<int, int>, ScreenColor> colorsFromJson(const QJsonArray& list)
{
    QMap<QPair<int, int>, ScreenColor> colors;
    for (const QJsonValue& v : list) {
        const QJsonObject o = v.toObject();
        colors.insert(qMakePair(o.value(QStringLiteral("screenRow")).toInt(),
                                o.value(QStringLiteral("screenColumn")).toInt()),
                      RecordJson::screenColorFromJson(o));
    }
    return colors;
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
}

qint64 SimulatedFleet::now() const
{
    return clock();
}

std::unique_ptr<SimulatedFleet> SimulatedFleet::fromJson(const QByteArray& json, QString* error)
{
    QString dummy;
    QString& why = error ? *error : dummy;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        why = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                           : QStringLiteral("the document is not an object");
        return nullptr;
    }
    const QJsonObject root = doc.object();
    auto fleet = std::make_unique<SimulatedFleet>();
    fleet->latency = qMax(0, root.value(QStringLiteral("latencyMs")).toInt(0));
    fleet->upgradeStep = qMax(0, root.value(QStringLiteral("upgradeStepMs")).toInt(200));
    fleet->lockAfter = qMax(1, root.value(QStringLiteral("lockThreshold")).toInt(5));
    fleet->lockFor = qMax(1, root.value(QStringLiteral("lockMinutes")).toInt(30));

    const QJsonArray list = root.value(QStringLiteral("decoders")).toArray();
    QSet<QString> ids;
    QMap<QString, QJsonObject> walls;
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject o = list.at(i).toObject();
        Decoder d;
        d.ip = o.value(QStringLiteral("ip")).toString();
        d.deviceId = o.value(QStringLiteral("deviceId")).toString();
        d.type = o.value(QStringLiteral("type")).toInt(0);
        const QString where = QStringLiteral("decoder %1").arg(i + 1);
        if (!isIpv4(d.ip)) {
            why = QStringLiteral("%1: \"ip\" is not an IPv4 address").arg(where);
            return nullptr;
        }
        if (fleet->fleet.contains(d.ip)) {
            why = QStringLiteral("%1: address %2 is used twice").arg(where, d.ip);
            return nullptr;
        }
        if (d.deviceId.isEmpty() || ids.contains(d.deviceId)) {
            why = QStringLiteral("%1: \"deviceId\" is missing or used twice").arg(where);
            return nullptr;
        }
        if (d.type != MATRIX_TYPE_SINGLE_OUTPUT && d.type != MATRIX_TYPE_MULTI_OUTPUT) {
            why = QStringLiteral("%1: \"type\" must be 1 or 3").arg(where);
            return nullptr;
        }
        d.channels = d.type == MATRIX_TYPE_SINGLE_OUTPUT ? 1 : o.value(QStringLiteral("channels")).toInt(1);
        if (d.channels < 1 || d.channels > 64) {
            why = QStringLiteral("%1: \"channels\" must be 1 to 64").arg(where);
            return nullptr;
        }
        d.outputBase = o.value(QStringLiteral("outputBase")).toInt(100 * (i + 1));
        d.version = o.value(QStringLiteral("version")).toString(QStringLiteral("V1.0.0"));
        d.userName = o.value(QStringLiteral("userName")).toString(QStringLiteral("admin"));
        d.activated = o.value(QStringLiteral("activated")).toBool(true);
        d.password = d.activated ? o.value(QStringLiteral("password")).toString() : QString();
        d.mask = o.value(QStringLiteral("mask")).toString(QStringLiteral("255.255.255.0"));
        d.gateway = o.value(QStringLiteral("gateway")).toString(QStringLiteral("192.0.2.1"));
        d.dns = o.value(QStringLiteral("dns")).toString();
        d.ipv6 = o.value(QStringLiteral("ipv6")).toString();
        d.ipv6Prefix = o.value(QStringLiteral("ipv6Prefix")).toInt(d.ipv6.isEmpty() ? 0 : 64);
        d.ipv6Gateway = o.value(QStringLiteral("ipv6Gateway")).toString();
        ids.insert(d.deviceId);
        if (o.contains(QStringLiteral("tvWall")))
            walls.insert(d.ip, o.value(QStringLiteral("tvWall")).toObject());
        fleet->fleet.insert(d.ip, d);
    }
    // Walls last: their screens name outputs of any decoder of the fleet.
    for (auto it = walls.constBegin(); it != walls.constEnd(); ++it) {
        const QJsonObject w = it.value();
        const int rows = w.value(QStringLiteral("rows")).toInt();
        const int cols = w.value(QStringLiteral("cols")).toInt();
        MatrixInfoList screens;
        const QJsonArray ids = w.value(QStringLiteral("screens")).toArray();
        for (int i = 0; i < ids.size(); ++i) {
            const QStringList parts = ids.at(i).toString().split(QLatin1Char('-'));
            MatrixInfo s;
            s.ip = parts.value(0);
            s.channel = parts.size() > 1 ? parts.at(1).toInt() : 1;
            s.row = cols > 0 ? i / cols : 0;
            s.column = cols > 0 ? i % cols : 0;
            screens.append(s);
        }
        const int result = fleet->setLayout(it.key(), MATRIX_TYPE_MULTI_OUTPUT, rows, cols, screens,
                                            w.value(QStringLiteral("name")).toString());
        if (result != RESULT_OK) {
            why = QStringLiteral("the TV wall of %1 does not fit the fleet").arg(it.key());
            return nullptr;
        }
    }
    fleet->factoryState = fleet->fleet;
    return fleet;
}

QByteArray SimulatedFleet::defaultFleetJson()
{
    QFile file(QStringLiteral(":/decoder_service/defaultfleet.json"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

SimulatedFleet::Decoder* SimulatedFleet::find(const QString& ip)
{
    auto it = fleet.find(ip);
    return it == fleet.end() ? nullptr : &it.value();
}

const SimulatedFleet::Decoder* SimulatedFleet::decoder(const QString& ip) const
{
    auto it = fleet.constFind(ip);
    return it == fleet.constEnd() ? nullptr : &it.value();
}

MatrixInfoMap SimulatedFleet::search()
{
    MatrixInfoMap found;
    for (const Decoder& d : qAsConst(fleet)) {
        MatrixInfo info;
        info.matrixType = MatrixType(d.type);
        info.deviceId = d.deviceId;
        info.ip = d.ip;
        info.channelCount = d.channels;
        info.activated = d.activated;
        info.version = d.version;
        for (int n = 1; n <= d.channels; ++n)
            info.outputList.append(OutputInfo{d.outputBase + n, n, 0});
        found.insert(d.ip, info);
    }
    return found;
}

DecoderBackend::Login SimulatedFleet::login(const QString& ip, const QString& userName,
                                            const QString& password)
{
    Login login;
    Decoder* d = find(ip);
    if (!d)
        return login;

    int refusedCode = RESULT_REFUSED;
    const FaultInjector::LoginFault fault =
        faults() ? faults()->loginFault(ip, &refusedCode) : FaultInjector::LoginFault::None;
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
    if (fault == FaultInjector::LoginFault::NotActivated || !d->activated) {
        refuse(RESULT_NOT_ACTIVATED, QStringLiteral("DEVNOACTIVE"));
        return login;
    }
    if (fault == FaultInjector::LoginFault::Locked) {
        refuse(RESULT_USER_LOCKED, QStringLiteral("USERLOCK"));
        login.error.unlockSeconds = lockFor * 60;
        return login;
    }
    if (d->lockedUntilMs > nowMs) {
        refuse(RESULT_USER_LOCKED, QStringLiteral("USERLOCK"));
        login.error.unlockSeconds = int((d->lockedUntilMs - nowMs + 999) / 1000);
        return login;
    }
    if (d->lockedUntilMs != 0) {
        // The lock ran out: the count starts again.
        d->lockedUntilMs = 0;
        d->failedLogins = 0;
    }
    if (fault == FaultInjector::LoginFault::WrongPassword || userName != d->userName ||
        password != d->password) {
        ++d->failedLogins;
        refuse(RESULT_WRONG_PASSWORD, QStringLiteral("PASSWDERR"));
        login.error.errorCount = d->failedLogins;
        login.error.lockThreshold = lockAfter;
        login.error.lockMinutes = lockFor;
        if (d->failedLogins >= lockAfter)
            d->lockedUntilMs = nowMs + qint64(lockFor) * 60 * 1000;
        return login;
    }
    d->failedLogins = 0;
    login.result = RESULT_OK;
    login.matrixType = d->type;
    login.version = d->version;
    return login;
}

void SimulatedFleet::logout(const QString& ip)
{
    if (Decoder* d = find(ip))
        d->checkedLocations.clear();
}

bool SimulatedFleet::bindableOutput(const QString& ip, int channel, int* type) const
{
    const Decoder* d = decoder(ip);
    if (!d || channel < 1 || channel > d->channels)
        return false;
    *type = d->type;
    return true;
}

DecoderBackend::Layout SimulatedFleet::getLayout(const QString& ip)
{
    Layout layout;
    const Decoder* d = decoder(ip);
    int code = 0;
    if (!d) {
        layout.result = RESULT_NO_DEVICE;
    } else if (faults() && faults()->layoutFault(ip, &code)) {
        layout.result = code;
    } else if (d->hasWall) {
        layout.result = RESULT_OK;
        layout.mainIp = d->ip;
        layout.mainType = d->wall.type;
        layout.rows = d->wall.rows;
        layout.cols = d->wall.cols;
        layout.name = d->wall.name;
        layout.screens = d->wall.screens;
        // Report the kind of each bound decoder as it is now.
        for (MatrixInfo& s : layout.screens) {
            if (const Decoder* bound = decoder(s.ip))
                s.matrixType = MatrixType(bound->type);
        }
    }
    return layout;
}

int SimulatedFleet::setLayout(const QString& mainIp, int type, int rows, int cols,
                              const MatrixInfoList& screens, const QString& name)
{
    Decoder* d = find(mainIp);
    if (!d)
        return RESULT_NO_DEVICE;
    int code = 0;
    if (faults() && faults()->layoutFault(mainIp, &code))
        return code;
    if (rows < 1 || cols < 1 || rows > MaxGrid || cols > MaxGrid || screens.size() != rows * cols ||
        name.trimmed().isEmpty())
        return RESULT_BAD_ARGUMENT;
    QSet<QString> outputs;
    QSet<int> cells;
    Wall wall;
    wall.name = name;
    wall.type = type;
    wall.rows = rows;
    wall.cols = cols;
    for (const MatrixInfo& s : screens) {
        int boundType = 0;
        if (!bindableOutput(s.ip, s.channel, &boundType) || s.row < 0 || s.row >= rows || s.column < 0 ||
            s.column >= cols)
            return RESULT_BAD_ARGUMENT;
        const QString output = s.ip + QLatin1Char('-') + QString::number(s.channel);
        const int cell = s.row * cols + s.column;
        if (outputs.contains(output) || cells.contains(cell))
            return RESULT_BAD_ARGUMENT;
        outputs.insert(output);
        cells.insert(cell);
        MatrixInfo screen;
        screen.matrixType = MatrixType(boundType);
        screen.ip = s.ip;
        screen.channel = s.channel;
        screen.row = s.row;
        screen.column = s.column;
        wall.screens.append(screen);
    }
    std::sort(wall.screens.begin(), wall.screens.end(), [](const MatrixInfo& a, const MatrixInfo& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    d->wall = wall;
    d->hasWall = true;
    return RESULT_OK;
}

int SimulatedFleet::saveScene(const QString& ip, int sceneNo, const QString& name)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (sceneNo < 1 || sceneNo > MaxScenes)
        return RESULT_BAD_ARGUMENT;
    Scene scene;
    scene.name = name;
    scene.hasWall = d->hasWall;
    scene.wall = d->wall;
    scene.colors = d->colors;
    scene.windows = d->windows;
    d->scenes.insert(sceneNo, scene);
    return RESULT_OK;
}

int SimulatedFleet::restoreScene(const QString& ip, int sceneNo)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (!d->scenes.contains(sceneNo))
        return RESULT_BAD_ARGUMENT;
    const Scene scene = d->scenes.value(sceneNo);
    d->hasWall = scene.hasWall;
    d->wall = scene.wall;
    d->colors = scene.colors;
    d->windows = scene.windows;
    return RESULT_OK;
}

int SimulatedFleet::removeScene(const QString& ip, int sceneNo)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    return d->scenes.remove(sceneNo) > 0 ? RESULT_OK : RESULT_BAD_ARGUMENT;
}

int SimulatedFleet::checkScreen(const QString& ip, int location, bool open)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (location < 0)
        return RESULT_BAD_ARGUMENT;
    if (open && !d->checkedLocations.contains(location))
        d->checkedLocations.append(location);
    if (!open)
        d->checkedLocations.removeAll(location);
    return RESULT_OK;
}

int SimulatedFleet::removeBanner(const QString& ip)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    d->checkedLocations.clear();
    return RESULT_OK;
}

int SimulatedFleet::factoryReset(const QString& ip)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    // Settings return to the factory's; the firmware, identity and network stay.
    Decoder reset = *d;
    const Decoder factory = factoryState.value(ip);
    reset.failedLogins = 0;
    reset.lockedUntilMs = 0;
    reset.hasWall = false;
    reset.wall = Wall();
    reset.resolution = ScreenResolution_t{1920, 1080, 60};
    reset.screenResolutions.clear();
    reset.colors.clear();
    reset.scenes.clear();
    reset.windows.clear();
    reset.checkedLocations.clear();
    reset.activated = false;
    reset.password.clear();
    reset.userName = factory.userName.isEmpty() ? QStringLiteral("admin") : factory.userName;
    *d = reset;
    endSession(ip);
    return RESULT_OK;
}

int SimulatedFleet::activate(const QString& deviceId, const QString& password)
{
    for (Decoder& d : fleet) {
        if (d.deviceId != deviceId)
            continue;
        if (d.activated)
            return RESULT_ALREADY_ACTIVE;
        if (!validPassword(password))
            return RESULT_BAD_ARGUMENT;
        d.activated = true;
        d.password = password;
        return RESULT_OK;
    }
    return RESULT_NO_DEVICE;
}

int SimulatedFleet::changePassword(const QString& ip, const QString& userName, const QString& oldPassword,
                                   const QString& newPassword)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (userName != d->userName || oldPassword != d->password)
        return RESULT_WRONG_PASSWORD;
    if (!validPassword(newPassword))
        return RESULT_BAD_ARGUMENT;
    d->password = newPassword;
    return RESULT_OK;
}

int SimulatedFleet::getNetwork(const QString& ip, DeviceNetworkCfg_t* cfg)
{
    std::memset(cfg, 0, sizeof(*cfg));
    const Decoder* d = decoder(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    putField(cfg->ipv4Addr, d->ip);
    putField(cfg->ipv4Mask, d->mask);
    putField(cfg->ipv4Gateway, d->gateway);
    putField(cfg->ipv6Addr, d->ipv6);
    cfg->ipv6PrefixLen = d->ipv6Prefix;
    putField(cfg->ipv6Gateway, d->ipv6Gateway);
    putField(cfg->dns, d->dns);
    return RESULT_OK;
}

int SimulatedFleet::setNetwork(const QString& ip, const QString& userName, const QString& password,
                               const DeviceNetworkCfg_t& cfg, QString* newIp)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (!d->activated)
        return RESULT_NOT_ACTIVATED;
    if (userName != d->userName || password != d->password)
        return RESULT_WRONG_PASSWORD;
    QString address, mask, gateway, dns, ipv6, ipv6Gateway;
    if (!fieldText(cfg.ipv4Addr, sizeof cfg.ipv4Addr, &address) ||
        !fieldText(cfg.ipv4Mask, sizeof cfg.ipv4Mask, &mask) ||
        !fieldText(cfg.ipv4Gateway, sizeof cfg.ipv4Gateway, &gateway) ||
        !fieldText(cfg.dns, sizeof cfg.dns, &dns) || !fieldText(cfg.ipv6Addr, sizeof cfg.ipv6Addr, &ipv6) ||
        !fieldText(cfg.ipv6Gateway, sizeof cfg.ipv6Gateway, &ipv6Gateway))
        return RESULT_BAD_ARGUMENT;
    if (!isIpv4(address) || !isNetmask(mask) || (!gateway.isEmpty() && !isIpv4(gateway)) ||
        (!dns.isEmpty() && !isIpv4(dns)) || (!ipv6.isEmpty() && !isIpv6(ipv6)) ||
        (!ipv6Gateway.isEmpty() && !isIpv6(ipv6Gateway)) || cfg.ipv6PrefixLen < 0 || cfg.ipv6PrefixLen > 128)
        return RESULT_BAD_ARGUMENT;
    if (address != ip && fleet.contains(address))
        return RESULT_ADDRESS_IN_USE;

    Decoder moved = *d;
    moved.ip = address;
    moved.mask = mask;
    moved.gateway = gateway;
    moved.dns = dns;
    moved.ipv6 = ipv6;
    moved.ipv6Prefix = ipv6.isEmpty() ? 0 : cfg.ipv6PrefixLen;
    moved.ipv6Gateway = ipv6Gateway;
    *newIp = address;
    if (address == ip) {
        *d = moved;
        return RESULT_OK;
    }
    fleet.remove(ip);
    fleet.insert(address, moved);
    factoryState.insert(address, factoryState.take(ip));
    // Walls keep naming the outputs of the decoder that moved.
    for (Decoder& other : fleet) {
        for (MatrixInfo& s : other.wall.screens) {
            if (s.ip == ip)
                s.ip = address;
        }
    }
    endSession(ip);
    return RESULT_OK;
}

int SimulatedFleet::getResolution(const QString& ip, int screenRow, int screenColumn, ScreenResolution_t* out)
{
    *out = ScreenResolution_t{0, 0, 0};
    const Decoder* d = decoder(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (screenRow < 0 || screenColumn < 0)
        return RESULT_BAD_ARGUMENT;
    *out = d->screenResolutions.value(qMakePair(screenRow, screenColumn), d->resolution);
    return RESULT_OK;
}

int SimulatedFleet::setResolution(const QString& ip, const ScreenResolutionInfo& info, bool persist)
{
    Q_UNUSED(persist)
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (info.screenRow < 0 || info.screenColumn < 0 || !supportedResolution(info.resolution))
        return RESULT_BAD_ARGUMENT;
    const ScreenResolution_t value{info.resolution.width, info.resolution.height, info.resolution.frameRate};
    if (info.screenRow == 0 && info.screenColumn == 0) {
        d->resolution = value;
        d->screenResolutions.clear();
    } else {
        d->screenResolutions.insert(qMakePair(int(info.screenRow), int(info.screenColumn)), value);
    }
    return RESULT_OK;
}

int SimulatedFleet::getScreenColor(const QString& ip, int screenRow, int screenColumn, ScreenColor* out)
{
    *out = ScreenColor();
    const Decoder* d = decoder(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (screenRow < 0 || screenColumn < 0)
        return RESULT_BAD_ARGUMENT;
    *out = d->colors.value(qMakePair(screenRow, screenColumn));
    return RESULT_OK;
}

int SimulatedFleet::setScreenColor(const QString& ip, int screenRow, int screenColumn,
                                   const ScreenColor& color)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (screenRow < 0 || screenColumn < 0 || !validColor(color))
        return RESULT_BAD_ARGUMENT;
    d->colors.insert(qMakePair(screenRow, screenColumn), color);
    return RESULT_OK;
}

int SimulatedFleet::addWindow(const QString& ip, const MatrixWindowInfo& window)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (window.x < 0 || window.y < 0 || window.width <= 0 || window.height <= 0 ||
        window.x + window.width > WallUnits || window.y + window.height > WallUnits)
        return RESULT_BAD_ARGUMENT;
    d->windows.append(window);
    return RESULT_OK;
}

int SimulatedFleet::setWindowSource(const QString& ip, const MatrixWindowInfo& window, int windowId,
                                    bool show)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (!show)
        return RESULT_OK;
    // -1 addresses the window opened last.
    const int index = windowId < 0 ? d->windows.size() - 1 : windowId;
    if (index < 0 || index >= d->windows.size())
        return RESULT_BAD_ARGUMENT;
    d->windows[index].sourceList = window.sourceList;
    return RESULT_OK;
}

QStringList SimulatedFleet::generateLog(const Decoder& decoder, const QDateTime& begin, const QDateTime& end,
                                        int logType)
{
    QStringList lines;
    if (!begin.isValid() || !end.isValid() || end < begin || logType < 0 || logType > 3)
        return lines;
    const qint64 stepSecs = qint64(LogStepMinutes) * 60;
    const qint64 first = (begin.toSecsSinceEpoch() + stepSecs - 1) / stepSecs;
    const qint64 last = end.toSecsSinceEpoch() / stepSecs;
    const QStringList messages = logMessages(logType);
    const QString kind = logTypeName(logType);
    for (qint64 k = qMax(first, last - MaxLogLines + 1); k <= last; ++k) {
        const QByteArray key =
            decoder.deviceId.toUtf8() + '/' + QByteArray::number(logType) + '/' + QByteArray::number(k);
        const quint32 hash = fnv1a(key);
        // Not every slot holds an event, so the log looks like a log.
        if (hash % 3 == 0)
            continue;
        const QDateTime at = QDateTime::fromSecsSinceEpoch(k * stepSecs, begin.timeSpec());
        lines.append(QStringLiteral("%1 [%2] %3 %4")
                         .arg(at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), kind, decoder.ip,
                              messages.at(int(hash % quint32(messages.size())))));
    }
    return lines;
}

int SimulatedFleet::getLog(const QString& ip, const QDateTime& begin, const QDateTime& end, int logType,
                           const QString& path, QStringList* lines)
{
    lines->clear();
    const Decoder* d = decoder(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (logType == -1) {
        if (path.isEmpty())
            return RESULT_BAD_ARGUMENT;
        // The package holds the last week of every log.
        const QDateTime to = QDateTime::fromMSecsSinceEpoch(now());
        const QDateTime from = to.addDays(-7);
        QByteArray tar;
        for (int type = 0; type <= 3; ++type) {
            const QByteArray text = generateLog(*d, from, to, type).join(QLatin1Char('\n')).toUtf8() + '\n';
            appendTarEntry(&tar, logTypeName(type) + QStringLiteral(".log"), text, to.toSecsSinceEpoch());
        }
        tar.append(QByteArray(1024, '\0'));
        return writeFile(path, gzip(tar)) ? RESULT_OK : RESULT_IO_ERROR;
    }
    if (!begin.isValid() || !end.isValid() || end < begin || logType < 0 || logType > 3)
        return RESULT_BAD_ARGUMENT;
    *lines = generateLog(*d, begin, end, logType);
    if (!path.isEmpty() && !writeFile(path, lines->join(QLatin1Char('\n')).toUtf8()))
        return RESULT_IO_ERROR;
    return RESULT_OK;
}

int SimulatedFleet::exportConfig(const QString& ip, const QString& path)
{
    const Decoder* d = decoder(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (path.isEmpty())
        return RESULT_BAD_ARGUMENT;
    QJsonObject o;
    o.insert(QStringLiteral("format"), ConfigFormat);
    o.insert(QStringLiteral("version"), 1);
    o.insert(QStringLiteral("deviceId"), d->deviceId);
    o.insert(QStringLiteral("type"), d->type);
    o.insert(QStringLiteral("channels"), d->channels);
    o.insert(QStringLiteral("firmware"), d->version);
    o.insert(QStringLiteral("resolution"),
             QJsonArray{d->resolution.width, d->resolution.height, d->resolution.frameRate});
    o.insert(QStringLiteral("colors"), colorsToJson(d->colors));
    if (d->hasWall)
        o.insert(QStringLiteral("tvWall"), wallToJson(d->wall));
    QJsonArray scenes;
    for (auto it = d->scenes.constBegin(); it != d->scenes.constEnd(); ++it) {
        QJsonObject s;
        s.insert(QStringLiteral("sceneNo"), it.key());
        s.insert(QStringLiteral("name"), it.value().name);
        if (it.value().hasWall)
            s.insert(QStringLiteral("tvWall"), wallToJson(it.value().wall));
        s.insert(QStringLiteral("colors"), colorsToJson(it.value().colors));
        scenes.append(s);
    }
    o.insert(QStringLiteral("scenes"), scenes);
    return writeFile(path, QJsonDocument(o).toJson()) ? RESULT_OK : RESULT_IO_ERROR;
}

int SimulatedFleet::importConfig(const QString& ip, const QString& path)
{
    Decoder* d = find(ip);
    if (!d)
        return RESULT_NO_DEVICE;
    if (path.isEmpty())
        return RESULT_BAD_ARGUMENT;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return RESULT_IO_ERROR;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    const QJsonObject o = doc.object();
    if (!doc.isObject() || o.value(QStringLiteral("format")).toString() != ConfigFormat ||
        o.value(QStringLiteral("version")).toInt() != 1)
        return RESULT_BAD_ARGUMENT;
    // A configuration only fits a decoder of the same kind.
    if (o.value(QStringLiteral("type")).toInt() != d->type ||
        o.value(QStringLiteral("channels")).toInt() != d->channels)
        return RESULT_BAD_ARGUMENT;
    const QJsonArray res = o.value(QStringLiteral("resolution")).toArray();
    const ScreenResolution resolution{res.at(0).toInt(), res.at(1).toInt(), res.at(2).toInt()};
    if (!supportedResolution(resolution))
        return RESULT_BAD_ARGUMENT;
    const auto colors = colorsFromJson(o.value(QStringLiteral("colors")).toArray());
    for (const ScreenColor& c : colors) {
        if (!validColor(c))
            return RESULT_BAD_ARGUMENT;
    }
    QMap<int, Scene> scenes;
    const QJsonArray sceneList = o.value(QStringLiteral("scenes")).toArray();
    for (const QJsonValue& v : sceneList) {
        const QJsonObject s = v.toObject();
        Scene scene;
        scene.name = s.value(QStringLiteral("name")).toString();
        scene.hasWall = s.contains(QStringLiteral("tvWall"));
        if (scene.hasWall)
            scene.wall = wallFromJson(s.value(QStringLiteral("tvWall")).toObject());
        scene.colors = colorsFromJson(s.value(QStringLiteral("colors")).toArray());
        const int no = s.value(QStringLiteral("sceneNo")).toInt();
        if (no < 1 || no > MaxScenes)
            return RESULT_BAD_ARGUMENT;
        scenes.insert(no, scene);
    }
    d->resolution = ScreenResolution_t{resolution.width, resolution.height, resolution.frameRate};
    d->screenResolutions.clear();
    d->colors = colors;
    d->scenes = scenes;
    d->hasWall = o.contains(QStringLiteral("tvWall"));
    d->wall = d->hasWall ? wallFromJson(o.value(QStringLiteral("tvWall")).toObject()) : Wall();
    return RESULT_OK;
}

int SimulatedFleet::startUpgrade(const QList<DeviceInfo_t>& devices, const QString& path,
                                 const UpgradeSink& sink)
{
    if (upgrade)
        return RESULT_UNAVAILABLE;
    if (devices.isEmpty())
        return RESULT_BAD_ARGUMENT;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return RESULT_BAD_ARGUMENT;
    const QByteArray firstLine = file.readLine(256).trimmed();
    if (!firstLine.startsWith(FirmwareMagic) || firstLine.size() <= FirmwareMagic.size())
        return RESULT_BAD_ARGUMENT;
    upgrade = std::make_unique<Upgrade>();
    upgrade->devices = devices;
    upgrade->firmwareVersion = QString::fromLatin1(firstLine.mid(FirmwareMagic.size()));
    upgrade->sink = sink;
    upgradeTimer->start(upgradeStep);
    return RESULT_OK;
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
    QString ip, user, password;
    fieldText(device.ip, sizeof device.ip, &ip);
    fieldText(device.userName, sizeof device.userName, &user);
    fieldText(device.password, sizeof device.password, &password);
    Decoder* d = find(ip);

    if (u.percent == 0) {
        // Card start: log in with what the caller gave, then compare versions.
        if (!d || !d->activated || d->userName != user || d->password != password ||
            d->lockedUntilMs > now()) {
            u.sink.progress(u.card, -1, -1, 1, false);
            finishUpgrade(RESULT_UPGRADE_FAILED);
            return;
        }
        if (d->version == u.firmwareVersion) {
            u.sink.progress(u.card, 0, 100, 0, true);
            upgrade.reset();
            return;
        }
    }
    u.percent += 20;
    int code = 0;
    if (faults() && faults()->upgradeFault(u.card, &code) && u.percent >= 60) {
        u.sink.progress(u.card, -1, -1, code, false);
        finishUpgrade(RESULT_UPGRADE_FAILED);
        return;
    }
    u.sink.progress(u.card, 0, u.percent, 0, false);
    if (u.percent >= 100) {
        if (d)
            d->version = u.firmwareVersion;
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
