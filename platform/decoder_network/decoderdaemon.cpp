#include "decoderdaemon.h"

#include "httprequestparser.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "simulatedfleet.h"
#include "soapenvelope.h"
#include "wsdiscovery.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>
#include <QUuid>

#include <cstring>

namespace pral_matrix {

namespace {

using S = SoapEnvelope;
constexpr int MaxNonces = 1024;
constexpr int MaxTokens = 16;
constexpr int LogDays = 30;

const QString DevicePath = QStringLiteral("/onvif/device_service");
const QString DeviceIoPath = QStringLiteral("/onvif/deviceio_service");
const QString WallPath = QStringLiteral("/onvif/wall_service");

bool isLoopback(const QString& ip)
{
    QHostAddress address;
    return address.setAddress(ip) && address.protocol() == QAbstractSocket::IPv4Protocol &&
           address.isLoopback();
}

QString fieldText(const char* field, size_t size)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(size))));
}

template <size_t N>
void putField(char (&field)[N], const QString& text)
{
    const QByteArray bytes = text.toLatin1().left(int(N) - 1);
    std::memset(field, 0, N);
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
}

QByteArray statusText(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 415:
        return "Unsupported Media Type";
    case 431:
        return "Request Header Fields Too Large";
    case 501:
        return "Not Implemented";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Internal Server Error";
    }
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

struct DaemonConnection
{
    explicit DaemonConnection(qint64 maxBody)
        : parser(maxBody)
    {
    }
    QPointer<QTcpSocket> socket;
    HttpRequestParser parser;
    bool answered = false;
};

struct DecoderDaemon::Endpoint
{
    QString ip;
    QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString user;
    QString password;
    bool activated = true;
    NetworkFault fault;
    QTcpServer* server = nullptr;
    QUdpSocket* udp = nullptr;
    QList<QByteArray> nonces;
    QSet<QByteArray> nonceSet;
    QList<QPair<QString, QString>> tokens;
    QMap<QString, QString> pictures;
    QString upgradeState = QStringLiteral("Idle");
    int upgradePercent = 0;
    int upgradeCode = 0;
};

QByteArray DecoderDaemon::placeOnLoopback(const QByteArray& fleetJson, QMap<QString, QString>* moved,
                                          QString* error)
{
    QJsonParseError parseError;
    QJsonDocument doc = QJsonDocument::fromJson(fleetJson, &parseError);
    if (!doc.isObject()) {
        *error = parseError.error != QJsonParseError::NoError
                     ? parseError.errorString()
                     : QStringLiteral("the document is not an object");
        return QByteArray();
    }
    QJsonObject root = doc.object();
    QJsonArray decoders = root.value(QStringLiteral("decoders")).toArray();
    QSet<quint32> taken;
    for (const QJsonValue& v : qAsConst(decoders)) {
        const QString wanted = v.toObject()
                                   .value(QStringLiteral("daemon"))
                                   .toObject()
                                   .value(QStringLiteral("address"))
                                   .toString();
        if (wanted.isEmpty())
            continue;
        if (!isLoopback(wanted) || taken.contains(QHostAddress(wanted).toIPv4Address())) {
            *error = QStringLiteral("daemon address %1 is not a free loopback address").arg(wanted);
            return QByteArray();
        }
        taken.insert(QHostAddress(wanted).toIPv4Address());
    }
    moved->clear();
    quint32 next = QHostAddress(QStringLiteral("127.0.0.2")).toIPv4Address();
    for (int i = 0; i < decoders.size(); ++i) {
        QJsonObject o = decoders.at(i).toObject();
        QString address =
            o.value(QStringLiteral("daemon")).toObject().value(QStringLiteral("address")).toString();
        if (address.isEmpty()) {
            while (taken.contains(next) || (next & 0xFF) == 0 || (next & 0xFF) == 255)
                ++next;
            taken.insert(next);
            address = QHostAddress(next).toString();
        }
        moved->insert(o.value(QStringLiteral("ip")).toString(), address);
        o.insert(QStringLiteral("ip"), address);
        decoders[i] = o;
    }
    // Walls name the outputs of other decoders by their former addresses.
    for (int i = 0; i < decoders.size(); ++i) {
        QJsonObject o = decoders.at(i).toObject();
        if (!o.contains(QStringLiteral("tvWall")))
            continue;
        QJsonObject wall = o.value(QStringLiteral("tvWall")).toObject();
        QJsonArray screens = wall.value(QStringLiteral("screens")).toArray();
        for (int k = 0; k < screens.size(); ++k) {
            QString id = screens.at(k).toString();
            const QString ip = id.section(QLatin1Char('-'), 0, 0);
            if (moved->contains(ip))
                id = moved->value(ip) + id.mid(ip.size());
            screens[k] = id;
        }
        wall.insert(QStringLiteral("screens"), screens);
        o.insert(QStringLiteral("tvWall"), wall);
        decoders[i] = o;
    }
    root.insert(QStringLiteral("decoders"), decoders);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

DecoderDaemon::DecoderDaemon(QObject* parent)
    : QObject(parent)
{
}

DecoderDaemon::~DecoderDaemon()
{
    stop();
}

bool DecoderDaemon::start(const QByteArray& fleetJson, const Options& options, QString* error)
{
    stop();
    opts = options;
    QMap<QString, QString> moved;
    const QByteArray placed = placeOnLoopback(fleetJson, &moved, error);
    if (placed.isEmpty())
        return false;
    model = SimulatedFleet::fromJson(placed, error);
    if (!model)
        return false;
    if (opts.confirmWindowMs >= 0)
        model->setConfirmWindowMs(opts.confirmWindowMs);
    model->setAddressMovedHandler([this](const QString& from, const QString& to) { follow(from, to); });
    files = std::make_unique<QTemporaryDir>();
    if (!files->isValid()) {
        *error = QStringLiteral("no temporary folder for uploads");
        return false;
    }
    const QJsonArray decoders =
        QJsonDocument::fromJson(placed).object().value(QStringLiteral("decoders")).toArray();
    for (const QJsonValue& v : decoders) {
        const QJsonObject o = v.toObject();
        auto* e = new Endpoint;
        e->ip = o.value(QStringLiteral("ip")).toString();
        // The daemon keeps its own user table, as a device does, to check digests.
        e->user = o.value(QStringLiteral("userName")).toString(QStringLiteral("admin"));
        e->activated = o.value(QStringLiteral("activated")).toBool(true);
        e->password = e->activated ? o.value(QStringLiteral("password")).toString() : QString();
        const QJsonObject net = o.value(QStringLiteral("daemon")).toObject();
        e->fault.refuse = net.value(QStringLiteral("refuse")).toBool();
        e->fault.stallMs = qMax(0, net.value(QStringLiteral("stallMs")).toInt());
        e->fault.dropMidReply = net.value(QStringLiteral("dropMidReply")).toBool();
        e->fault.bytesPerSecond = qMax(0, net.value(QStringLiteral("bytesPerSecond")).toInt());
        endpoints.append(e);
    }
    refreshInfo();

    // One port number for every address; a fixed port fails at once, a free one is sought again.
    const int attempts = opts.port == 0 ? 8 : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        httpPort = opts.port;
        udpPort = opts.discoveryPort;
        bool bound = true;
        for (Endpoint* e : qAsConst(endpoints)) {
            if (!listen(e, error)) {
                bound = false;
                break;
            }
        }
        if (bound)
            return true;
        for (Endpoint* e : qAsConst(endpoints))
            unlisten(e);
    }
    return false;
}

void DecoderDaemon::stop()
{
    // Open connections refer to their endpoints: they go first.
    qDeleteAll(findChildren<QTcpSocket*>(QString(), Qt::FindDirectChildrenOnly));
    for (Endpoint* e : qAsConst(endpoints)) {
        unlisten(e);
        delete e;
    }
    endpoints.clear();
    model.reset();
    files.reset();
}

QStringList DecoderDaemon::addresses() const
{
    QStringList list;
    for (const Endpoint* e : endpoints)
        list << e->ip;
    return list;
}

void DecoderDaemon::setNetworkFault(const QString& ip, const NetworkFault& fault)
{
    Endpoint* e = endpoint(ip);
    if (!e)
        return;
    const bool wasRefusing = e->fault.refuse;
    e->fault = fault;
    QString ignored;
    if (fault.refuse && !wasRefusing)
        unlisten(e);
    else if (!fault.refuse && wasRefusing)
        listen(e, &ignored);
}

DecoderDaemon::Endpoint* DecoderDaemon::endpoint(const QString& ip) const
{
    for (Endpoint* e : endpoints) {
        if (e->ip == ip)
            return e;
    }
    return nullptr;
}

bool DecoderDaemon::listen(Endpoint* e, QString* error)
{
    if (e->fault.refuse)
        return true;
    const QHostAddress address(e->ip);
    e->server = new QTcpServer(this);
    if (!e->server->listen(address, httpPort)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(e->ip)
                     .arg(httpPort)
                     .arg(e->server->errorString());
        unlisten(e);
        return false;
    }
    httpPort = e->server->serverPort();
    if (udpPort == 0)
        udpPort = httpPort;
    e->udp = new QUdpSocket(this);
    if (!e->udp->bind(address, udpPort)) {
        *error = QStringLiteral("cannot bind %1:%2 for discovery: %3")
                     .arg(e->ip)
                     .arg(udpPort)
                     .arg(e->udp->errorString());
        unlisten(e);
        return false;
    }
    connect(e->server, &QTcpServer::newConnection, this, [this, e] { onConnection(e); });
    connect(e->udp, &QUdpSocket::readyRead, this, [this, e] { onDatagram(e); });
    return true;
}

void DecoderDaemon::unlisten(Endpoint* e)
{
    delete e->server;
    e->server = nullptr;
    delete e->udp;
    e->udp = nullptr;
}

void DecoderDaemon::onConnection(Endpoint* e)
{
    while (QTcpSocket* socket = e->server ? e->server->nextPendingConnection() : nullptr) {
        // Not the server's: a decoder that moves closes its server but finishes its last reply.
        socket->setParent(this);
        auto* c = new DaemonConnection(opts.maxUploadBytes);
        c->socket = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, e, c] { onRead(e, c); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [c] { delete c; });
        // A request that does not arrive in time, or a stall that has lasted long enough, ends here.
        const int limit = e->fault.stallMs > 0 ? e->fault.stallMs : opts.requestTimeoutMs;
        QTimer::singleShot(limit, socket, [this, e, c] {
            if (!c->answered && c->socket) {
                if (e->fault.stallMs > 0)
                    c->socket->abort();
                else
                    send(e, c, Reply{408, "text/plain", "request timeout\n", {}});
            }
        });
    }
}

void DecoderDaemon::onRead(Endpoint* e, DaemonConnection* c)
{
    if (c->answered || !c->socket)
        return;
    const HttpRequestParser::State state = c->parser.feed(c->socket->readAll());
    if (state == HttpRequestParser::NeedMore)
        return;
    if (state == HttpRequestParser::Failed) {
        send(
            e, c,
            Reply{c->parser.failureStatus(), "text/plain", statusText(c->parser.failureStatus()) + '\n', {}});
        return;
    }
    if (e->fault.stallMs > 0) {
        c->answered = true;
        return;
    }
    if (!answering(e)) {
        // A decoder that is restarting: the connection breaks off, as its network stack goes.
        c->answered = true;
        c->socket->abort();
        return;
    }
    const HttpRequestParser& p = c->parser;
    const bool isSoap =
        p.path == DevicePath.toLatin1() || p.path == DeviceIoPath.toLatin1() || p.path == WallPath.toLatin1();
    if (isSoap && p.body.size() > opts.maxSoapBytes) {
        send(e, c, Reply{413, "text/plain", "too large\n", {}});
        return;
    }
    send(e, c, handle(e, p.method, p.path, p.body));
}

void DecoderDaemon::send(Endpoint* e, DaemonConnection* c, Reply reply)
{
    c->answered = true;
    QTcpSocket* socket = c->socket;
    if (!socket)
        return;
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + statusText(reply.status) +
                       "\r\nContent-Type: " + reply.contentType +
                       "\r\nContent-Length: " + QByteArray::number(reply.body.size()) +
                       "\r\nConnection: close\r\n\r\n" + reply.body;
    const auto after = reply.after;
    if (reply.cut) {
        socket->abort();
        if (after)
            after();
        return;
    }
    if (e->fault.dropMidReply) {
        socket->write(bytes.left(bytes.size() / 2));
        socket->flush();
        socket->abort();
        if (after)
            after();
        return;
    }
    if (e->fault.bytesPerSecond <= 0) {
        socket->write(bytes);
        socket->disconnectFromHost();
        if (after)
            after();
        return;
    }
    // A slow link: a slice every 50 ms.
    const int slice = qMax(1, e->fault.bytesPerSecond / 20);
    auto* timer = new QTimer(socket);
    auto rest = std::make_shared<QByteArray>(bytes);
    connect(timer, &QTimer::timeout, socket, [socket, timer, rest, slice, after] {
        socket->write(rest->left(slice));
        rest->remove(0, slice);
        if (rest->isEmpty()) {
            timer->stop();
            socket->disconnectFromHost();
            if (after)
                after();
        }
    });
    timer->start(50);
}

void DecoderDaemon::onDatagram(Endpoint* e)
{
    while (e->udp && e->udp->hasPendingDatagrams()) {
        QHostAddress from;
        quint16 fromPort = 0;
        QByteArray datagram(int(qMin<qint64>(e->udp->pendingDatagramSize(), 65536)), '\0');
        const qint64 size = e->udp->readDatagram(datagram.data(), datagram.size(), &from, &fromPort);
        if (size <= 0 || e->fault.stallMs > 0 || !answering(e))
            continue;
        datagram.truncate(int(size));
        WsDiscovery::Probe probe;
        QString ignored;
        const MatrixInfo decoder = info(e->ip);
        const QStringList scopes = OnvifCodec::decoderScopes(decoder);
        if (!WsDiscovery::parseProbe(datagram, &probe, &ignored) ||
            !WsDiscovery::answers(probe, WsDiscovery::decoderTypes(), scopes))
            continue;
        WsDiscovery::Match match;
        match.endpoint = QStringLiteral("urn:uuid:") + e->uuid;
        match.types = WsDiscovery::decoderTypes();
        match.scopes = scopes;
        match.xaddrs = QStringList{xaddr(e, DevicePath)};
        match.metadataVersion = 1;
        e->udp->writeDatagram(
            WsDiscovery::buildProbeMatch(probe.messageId, match, instanceId, ++messageNumber), from,
            fromPort);
    }
}

MatrixInfo DecoderDaemon::info(const QString& ip) const
{
    return infos.value(ip);
}

void DecoderDaemon::refreshInfo()
{
    infos = model ? model->search() : MatrixInfoMap();
}

QString DecoderDaemon::xaddr(const Endpoint* e, const QString& path) const
{
    return QStringLiteral("http://%1:%2%3").arg(e->ip).arg(httpPort).arg(path);
}

QString DecoderDaemon::issueToken(Endpoint* e, const QString& purpose)
{
    const QString token = QString::number(QRandomGenerator::system()->generate64(), 36);
    e->tokens.append(qMakePair(token, purpose));
    while (e->tokens.size() > MaxTokens)
        e->tokens.removeFirst();
    return token;
}

DecoderDaemon::Reply DecoderDaemon::handle(Endpoint* e, const QByteArray& method, const QByteArray& path,
                                           const QByteArray& body)
{
    const QString p = QString::fromLatin1(path);
    if (p == DevicePath || p == DeviceIoPath || p == WallPath) {
        if (method != "POST")
            return Reply{405, "text/plain", "POST only\n", {}};
        return handleSoap(e, body);
    }
    if (p.startsWith(QLatin1String("/files/")) && method == "GET")
        return handleDownload(e, p.mid(7));
    if (p.startsWith(QLatin1String("/upload/")) && method == "POST")
        return handleUpload(e, p.mid(8), body);
    return Reply{404, "text/plain", "not found\n", {}};
}

DecoderDaemon::Reply DecoderDaemon::handleDownload(Endpoint* e, const QString& token)
{
    const auto it = std::find_if(e->tokens.begin(), e->tokens.end(),
                                 [&token](const QPair<QString, QString>& t) { return t.first == token; });
    if (it == e->tokens.end())
        return Reply{404, "text/plain", "not found\n", {}};
    const QString purpose = it->second;
    e->tokens.erase(it);
    const QString path = files->filePath(QStringLiteral("download-") + token);
    QStringList lines;
    const int result = purpose == QLatin1String("backup") ? model->exportConfig(e->ip, path)
                       : purpose == QLatin1String("package")
                           ? model->getLog(e->ip, QDateTime(), QDateTime(), -1, path, &lines)
                           : int(RESULT_BAD_ARGUMENT);
    QFile file(path);
    if (result != RESULT_OK || !file.open(QIODevice::ReadOnly))
        return Reply{500, "text/plain", "result " + QByteArray::number(result) + '\n', {}};
    Reply reply{200, "application/octet-stream", file.readAll(), {}};
    file.remove();
    return reply;
}

DecoderDaemon::Reply DecoderDaemon::handleUpload(Endpoint* e, const QString& token, const QByteArray& body)
{
    const auto it = std::find_if(e->tokens.begin(), e->tokens.end(),
                                 [&token](const QPair<QString, QString>& t) { return t.first == token; });
    if (it == e->tokens.end())
        return Reply{404, "text/plain", "not found\n", {}};
    const QString purpose = it->second;
    e->tokens.erase(it);
    const QString path = files->filePath(QStringLiteral("upload-") + token);
    if (!writeFile(path, body))
        return Reply{500, "text/plain", "result " + QByteArray::number(int(RESULT_IO_ERROR)) + '\n', {}};
    int result = RESULT_BAD_ARGUMENT;
    if (purpose == QLatin1String("restore")) {
        result = model->importConfig(e->ip, path);
        QFile::remove(path);
        // The fleet's way of saying the transfer broke off (FaultInjector::breakTransfers): on a
        // network the client hears no answer at all.
        if (result == RESULT_BAD_HANDLE) {
            Reply cut;
            cut.cut = true;
            return cut;
        }
    } else if (purpose == QLatin1String("firmware")) {
        DeviceInfo_t device{};
        putField(device.ip, e->ip);
        putField(device.userName, e->user);
        putField(device.password, e->password);
        DecoderBackend::UpgradeSink sink;
        const QPointer<DecoderDaemon> self(this);
        sink.progress = [this, self, e](int card, int marker, int percent, int code, bool latest) {
            if (!self)
                return;
            if (marker < 0) {
                e->upgradeState = QStringLiteral("Failed");
                e->upgradeCode = code;
            } else if (latest) {
                e->upgradeState = QStringLiteral("Latest");
                e->upgradePercent = 100;
            } else if (card == 0) {
                e->upgradeState = QStringLiteral("Done");
                e->upgradePercent = 100;
            } else {
                e->upgradePercent = percent;
            }
            refreshInfo();
        };
        sink.result = [self, e](int code) {
            if (self && e->upgradeState != QLatin1String("Failed")) {
                e->upgradeState = QStringLiteral("Failed");
                e->upgradeCode = code;
            }
        };
        e->upgradeState = QStringLiteral("Running");
        e->upgradePercent = 0;
        e->upgradeCode = 0;
        result = model->startUpgrade({device}, path, sink);
        if (result != RESULT_OK)
            e->upgradeState = QStringLiteral("Idle");
    }
    if (result != RESULT_OK)
        return Reply{415, "text/plain", "result " + QByteArray::number(result) + '\n', {}};
    return Reply{200, "text/plain", "result 0\n", {}};
}

DecoderDaemon::Reply DecoderDaemon::handleSoap(Endpoint* e, const QByteArray& body)
{
    auto fault = [](int status, const QString& code, const QString& subcode, const QString& reason,
                    int result, const S::Writer& detail = {}) {
        return Reply{status,
                     "application/soap+xml; charset=utf-8",
                     S::buildFault(code, subcode, reason, result, detail),
                     {}};
    };
    auto failed = [&fault](int result) {
        switch (result) {
        case RESULT_BAD_ARGUMENT:
            return fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal"),
                         QStringLiteral("Argument value invalid"), result);
        case RESULT_WRONG_PASSWORD:
        case RESULT_NOT_ACTIVATED:
        case RESULT_USER_LOCKED:
            return fault(400, QStringLiteral("Sender"), QStringLiteral("NotAuthorized"),
                         QStringLiteral("Sender not Authorized"), result);
        default:
            return fault(500, QStringLiteral("Receiver"), QStringLiteral("Action"),
                         QStringLiteral("The decoder could not carry out the request"), result);
        }
    };
    auto respond = [](const QString& ns, const QString& name, const S::Writer& content = {}) {
        return Reply{200,
                     "application/soap+xml; charset=utf-8",
                     S::build([&](QXmlStreamWriter& w) {
                         w.writeStartElement(ns, name);
                         if (content)
                             content(w);
                         w.writeEndElement();
                     }),
                     {}};
    };
    auto done = [&](int result, const QString& ns, const QString& name) {
        return result == RESULT_OK ? respond(ns, name + QStringLiteral("Response")) : failed(result);
    };

    S::Message m;
    QString why;
    if (!S::parse(body, &m, &why))
        return fault(400, QStringLiteral("Sender"), QStringLiteral("WellFormed"), why, RESULT_BAD_ARGUMENT);
    for (const XmlNode& block : qAsConst(m.header.children)) {
        const QString must = block.attributes.value(QStringLiteral("mustUnderstand"));
        if ((must == QLatin1String("1") || must == QLatin1String("true")) && block.ns != Ns::Security &&
            block.ns != Ns::Addressing)
            return fault(400, QStringLiteral("MustUnderstand"), QString(),
                         QStringLiteral("Header block not understood"), RESULT_BAD_ARGUMENT);
    }

    const XmlNode& req = m.payload;
    const QString op = req.name;
    static const QSet<QString> known = {Ns::Device + QStringLiteral("#GetSystemDateAndTime"),
                                        Ns::Device + QStringLiteral("#GetServices"),
                                        Ns::Device + QStringLiteral("#GetNetworkInterfaces"),
                                        Ns::Device + QStringLiteral("#GetDNS"),
                                        Ns::Device + QStringLiteral("#GetNetworkDefaultGateway"),
                                        Ns::Device + QStringLiteral("#GetDeviceInformation"),
                                        Ns::Device + QStringLiteral("#CreateUsers"),
                                        Ns::Device + QStringLiteral("#GetUsers"),
                                        Ns::Device + QStringLiteral("#SetUser"),
                                        Ns::Device + QStringLiteral("#SetSystemFactoryDefault"),
                                        Ns::Device + QStringLiteral("#SetNetworkInterfaces"),
                                        Ns::Device + QStringLiteral("#SetDNS"),
                                        Ns::Device + QStringLiteral("#SetNetworkDefaultGateway"),
                                        Ns::Device + QStringLiteral("#GetSystemLog"),
                                        Ns::Device + QStringLiteral("#GetSystemUris"),
                                        Ns::Device + QStringLiteral("#StartSystemRestore"),
                                        Ns::Device + QStringLiteral("#StartFirmwareUpgrade"),
                                        Ns::DeviceIo + QStringLiteral("#GetVideoOutputs"),
                                        Ns::DeviceIo + QStringLiteral("#GetVideoOutputConfiguration"),
                                        Ns::DeviceIo + QStringLiteral("#SetVideoOutputConfiguration"),
                                        Ns::Wall + QStringLiteral("#GetWall"),
                                        Ns::Wall + QStringLiteral("#SetWall"),
                                        Ns::Wall + QStringLiteral("#SaveScene"),
                                        Ns::Wall + QStringLiteral("#RestoreScene"),
                                        Ns::Wall + QStringLiteral("#RemoveScene"),
                                        Ns::Wall + QStringLiteral("#CheckScreen"),
                                        Ns::Wall + QStringLiteral("#RemoveBanner"),
                                        Ns::Wall + QStringLiteral("#GetScreenColor"),
                                        Ns::Wall + QStringLiteral("#SetScreenColor"),
                                        Ns::Wall + QStringLiteral("#UploadPicture"),
                                        Ns::Wall + QStringLiteral("#AddWindow"),
                                        Ns::Wall + QStringLiteral("#SetWindowSource"),
                                        Ns::Wall + QStringLiteral("#GetLog"),
                                        Ns::Wall + QStringLiteral("#GetUpgradeState"),
                                        Ns::Wall + QStringLiteral("#EndSession"),
                                        Ns::Wall + QStringLiteral("#ConfirmNetworkChange")};
    if (!known.contains(req.ns + QLatin1Char('#') + op))
        return fault(400, QStringLiteral("Sender"), QStringLiteral("ActionNotSupported"),
                     QStringLiteral("Optional Action Not Implemented"), RESULT_BAD_ARGUMENT);
    const QString ip = e->ip;
    const S::ReceivedToken token = S::readToken(m.header);
    bool authenticated = false;
    // A token seen before is a replay. Some clients repeat a nonce within a second, so the whole
    // token (its digest covers nonce, creation time and password) is what must not come twice.
    const QByteArray seen = token.digest + '/' + token.created.toLatin1();
    if (token.present && token.userName == e->user && !e->nonceSet.contains(seen) &&
        S::verify(token, e->password, QDateTime::currentDateTimeUtc())) {
        authenticated = true;
        e->nonces.append(seen);
        e->nonceSet.insert(seen);
        if (e->nonces.size() > MaxNonces)
            e->nonceSet.remove(e->nonces.takeFirst());
    }
    // Until the first user exists a device is open, as ONVIF has it.
    const bool allowed = authenticated || !e->activated;
    const bool device = req.ns == Ns::Device;
    const bool deviceIo = req.ns == Ns::DeviceIo;
    const bool wall = req.ns == Ns::Wall;

    // ---- calls before authentication ----
    if (device && op == QLatin1String("GetSystemDateAndTime")) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        return respond(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Device, QStringLiteral("SystemDateAndTime"));
            S::writeText(w, Ns::Schema, QStringLiteral("DateTimeType"), QStringLiteral("Manual"));
            S::writeText(w, Ns::Schema, QStringLiteral("DaylightSavings"), QStringLiteral("false"));
            w.writeStartElement(Ns::Schema, QStringLiteral("TimeZone"));
            S::writeText(w, Ns::Schema, QStringLiteral("TZ"), QStringLiteral("UTC0"));
            w.writeEndElement();
            w.writeStartElement(Ns::Schema, QStringLiteral("UTCDateTime"));
            w.writeStartElement(Ns::Schema, QStringLiteral("Time"));
            S::writeInt(w, Ns::Schema, QStringLiteral("Hour"), now.time().hour());
            S::writeInt(w, Ns::Schema, QStringLiteral("Minute"), now.time().minute());
            S::writeInt(w, Ns::Schema, QStringLiteral("Second"), now.time().second());
            w.writeEndElement();
            w.writeStartElement(Ns::Schema, QStringLiteral("Date"));
            S::writeInt(w, Ns::Schema, QStringLiteral("Year"), now.date().year());
            S::writeInt(w, Ns::Schema, QStringLiteral("Month"), now.date().month());
            S::writeInt(w, Ns::Schema, QStringLiteral("Day"), now.date().day());
            w.writeEndElement();
            w.writeEndElement();
            w.writeEndElement();
        });
    }
    if (device && op == QLatin1String("GetServices")) {
        const MatrixInfo d = info(ip);
        const bool withCapabilities =
            req.childText(Ns::Device, QStringLiteral("IncludeCapability")) == QLatin1String("true");
        return respond(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            const QList<QPair<QString, QString>> services = {
                {Ns::Device, DevicePath}, {Ns::DeviceIo, DeviceIoPath}, {Ns::Wall, WallPath}};
            for (const auto& s : services) {
                w.writeStartElement(Ns::Device, QStringLiteral("Service"));
                S::writeText(w, Ns::Device, QStringLiteral("Namespace"), s.first);
                S::writeText(w, Ns::Device, QStringLiteral("XAddr"), xaddr(e, s.second));
                if (withCapabilities && s.first == Ns::Wall) {
                    w.writeStartElement(Ns::Device, QStringLiteral("Capabilities"));
                    w.writeStartElement(Ns::Wall, QStringLiteral("Capabilities"));
                    w.writeAttribute(QStringLiteral("DecoderType"), QString::number(int(d.matrixType)));
                    w.writeAttribute(QStringLiteral("Channels"), QString::number(d.channelCount));
                    if (const SimulatedDecoder* decoder = model->decoder(ip))
                        OnvifCodec::writeRestartCapabilities(w, decoder->bootId(), decoder->configMarker());
                    w.writeEndElement();
                    w.writeEndElement();
                }
                w.writeStartElement(Ns::Device, QStringLiteral("Version"));
                S::writeInt(w, Ns::Schema, QStringLiteral("Major"), 2);
                S::writeInt(w, Ns::Schema, QStringLiteral("Minor"), 60);
                w.writeEndElement();
                w.writeEndElement();
            }
        });
    }
    if (device && (op == QLatin1String("GetNetworkInterfaces") || op == QLatin1String("GetDNS") ||
                   op == QLatin1String("GetNetworkDefaultGateway"))) {
        // Our access policy lets anyone on the segment read the addressing, as search tools need.
        DeviceNetworkCfg_t cfg{};
        const int result = model->getNetwork(ip, &cfg);
        if (result != RESULT_OK)
            return failed(result);
        return respond(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            if (op == QLatin1String("GetDNS")) {
                w.writeStartElement(Ns::Device, QStringLiteral("DNSInformation"));
                S::writeText(w, Ns::Schema, QStringLiteral("FromDHCP"), QStringLiteral("false"));
                const QString dns = fieldText(cfg.dns, sizeof cfg.dns);
                if (!dns.isEmpty()) {
                    w.writeStartElement(Ns::Schema, QStringLiteral("DNSManual"));
                    S::writeText(w, Ns::Schema, QStringLiteral("Type"), QStringLiteral("IPv4"));
                    S::writeText(w, Ns::Schema, QStringLiteral("IPv4Address"), dns);
                    w.writeEndElement();
                }
                w.writeEndElement();
                return;
            }
            if (op == QLatin1String("GetNetworkDefaultGateway")) {
                w.writeStartElement(Ns::Device, QStringLiteral("NetworkGateway"));
                const QString v4 = fieldText(cfg.ipv4Gateway, sizeof cfg.ipv4Gateway);
                const QString v6 = fieldText(cfg.ipv6Gateway, sizeof cfg.ipv6Gateway);
                if (!v4.isEmpty())
                    S::writeText(w, Ns::Schema, QStringLiteral("IPv4Address"), v4);
                if (!v6.isEmpty())
                    S::writeText(w, Ns::Schema, QStringLiteral("IPv6Address"), v6);
                w.writeEndElement();
                return;
            }
            w.writeStartElement(Ns::Device, QStringLiteral("NetworkInterfaces"));
            w.writeAttribute(QStringLiteral("token"), QStringLiteral("eth0"));
            S::writeText(w, Ns::Schema, QStringLiteral("Enabled"), QStringLiteral("true"));
            w.writeStartElement(Ns::Schema, QStringLiteral("Info"));
            S::writeText(w, Ns::Schema, QStringLiteral("Name"), QStringLiteral("eth0"));
            const quint32 a = QHostAddress(ip).toIPv4Address();
            S::writeText(w, Ns::Schema, QStringLiteral("HwAddress"),
                         QString::asprintf("02:00:%02x:%02x:%02x:%02x", (a >> 24) & 255, (a >> 16) & 255,
                                           (a >> 8) & 255, a & 255));
            S::writeInt(w, Ns::Schema, QStringLiteral("MTU"), 1500);
            w.writeEndElement();
            w.writeStartElement(Ns::Schema, QStringLiteral("IPv4"));
            S::writeText(w, Ns::Schema, QStringLiteral("Enabled"), QStringLiteral("true"));
            w.writeStartElement(Ns::Schema, QStringLiteral("Config"));
            w.writeStartElement(Ns::Schema, QStringLiteral("Manual"));
            S::writeText(w, Ns::Schema, QStringLiteral("Address"),
                         fieldText(cfg.ipv4Addr, sizeof cfg.ipv4Addr));
            S::writeInt(w, Ns::Schema, QStringLiteral("PrefixLength"),
                        OnvifCodec::prefixLength(fieldText(cfg.ipv4Mask, sizeof cfg.ipv4Mask)));
            w.writeEndElement();
            S::writeText(w, Ns::Schema, QStringLiteral("DHCP"), QStringLiteral("false"));
            w.writeEndElement();
            w.writeEndElement();
            const QString v6 = fieldText(cfg.ipv6Addr, sizeof cfg.ipv6Addr);
            w.writeStartElement(Ns::Schema, QStringLiteral("IPv6"));
            S::writeText(w, Ns::Schema, QStringLiteral("Enabled"),
                         v6.isEmpty() ? QStringLiteral("false") : QStringLiteral("true"));
            w.writeStartElement(Ns::Schema, QStringLiteral("Config"));
            S::writeText(w, Ns::Schema, QStringLiteral("AcceptRouterAdvert"), QStringLiteral("false"));
            if (!v6.isEmpty()) {
                w.writeStartElement(Ns::Schema, QStringLiteral("Manual"));
                S::writeText(w, Ns::Schema, QStringLiteral("Address"), v6);
                S::writeInt(w, Ns::Schema, QStringLiteral("PrefixLength"), cfg.ipv6PrefixLen);
                w.writeEndElement();
            }
            S::writeText(w, Ns::Schema, QStringLiteral("DHCP"), QStringLiteral("Off"));
            w.writeEndElement();
            w.writeEndElement();
            w.writeEndElement();
        });
    }
    if (device && op == QLatin1String("GetDeviceInformation")) {
        // The login: the model counts wrong passwords and locks, as it does in the process.
        if (!token.present && e->activated)
            return failed(RESULT_WRONG_PASSWORD);
        const QString tried = authenticated ? e->password : QStringLiteral("\x01") + e->password;
        const DecoderBackend::Login login = model->login(ip, token.userName, tried);
        if (login.result != RESULT_OK) {
            if (!login.hasError)
                return failed(login.result);
            return fault(400, QStringLiteral("Sender"), QStringLiteral("NotAuthorized"),
                         QStringLiteral("Sender not Authorized"), login.result,
                         [&](QXmlStreamWriter& w) { OnvifCodec::writeLoginRefusal(w, login.error); });
        }
        const MatrixInfo d = info(ip);
        return respond(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Device, QStringLiteral("Manufacturer"), QStringLiteral("tvwall"));
            // What firmware images must be made for, as in the process.
            S::writeText(w, Ns::Device, QStringLiteral("Model"), login.model);
            S::writeText(w, Ns::Device, QStringLiteral("FirmwareVersion"), login.version);
            S::writeText(w, Ns::Device, QStringLiteral("SerialNumber"), d.deviceId);
            S::writeText(w, Ns::Device, QStringLiteral("HardwareId"),
                         QStringLiteral("TVD-%1").arg(login.matrixType));
        });
    }
    if (device && op == QLatin1String("CreateUsers")) {
        // Activation: the first user of a device in its factory state.
        if (e->activated)
            return authenticated ? fault(400, QStringLiteral("Sender"), QStringLiteral("OperationProhibited"),
                                         QStringLiteral("One user only"), RESULT_ALREADY_ACTIVE)
                                 : failed(RESULT_WRONG_PASSWORD);
        const XmlNode& user = req.child(Ns::Device, QStringLiteral("User"));
        const QString password = user.childText(Ns::Schema, QStringLiteral("Password"));
        const int result = model->activate(info(ip).deviceId, password);
        if (result == RESULT_BAD_ARGUMENT)
            return fault(400, QStringLiteral("Sender"), QStringLiteral("Password"),
                         QStringLiteral("Too weak password"), result);
        if (result == RESULT_OK) {
            e->activated = true;
            e->password = password;
            refreshInfo();
        }
        return done(result, Ns::Device, op);
    }

    if (!allowed)
        return failed(RESULT_WRONG_PASSWORD);

    // ---- device management ----
    if (device && op == QLatin1String("GetUsers")) {
        return respond(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Device, QStringLiteral("User"));
            S::writeText(w, Ns::Schema, QStringLiteral("Username"), e->user);
            S::writeText(w, Ns::Schema, QStringLiteral("UserLevel"), QStringLiteral("Administrator"));
            w.writeEndElement();
        });
    }
    if (device && op == QLatin1String("SetUser")) {
        const XmlNode& user = req.child(Ns::Device, QStringLiteral("User"));
        const QString password = user.childText(Ns::Schema, QStringLiteral("Password"));
        const int result = model->changePassword(ip, user.childText(Ns::Schema, QStringLiteral("Username")),
                                                 e->password, password);
        if (result == RESULT_OK)
            e->password = password;
        return done(result, Ns::Device, op);
    }
    if (device && op == QLatin1String("SetSystemFactoryDefault")) {
        const int result = model->factoryReset(ip);
        if (result == RESULT_OK) {
            e->activated = false;
            e->password.clear();
            e->pictures.clear();
            refreshInfo();
        }
        return done(result, Ns::Device, op);
    }
    if (device && (op == QLatin1String("SetNetworkInterfaces") || op == QLatin1String("SetDNS") ||
                   op == QLatin1String("SetNetworkDefaultGateway"))) {
        DeviceNetworkCfg_t cfg{};
        int result = model->getNetwork(ip, &cfg);
        if (result != RESULT_OK)
            return failed(result);
        if (op == QLatin1String("SetDNS")) {
            putField(cfg.dns, req.child(Ns::Device, QStringLiteral("DNSManual"))
                                  .childText(Ns::Schema, QStringLiteral("IPv4Address")));
        } else if (op == QLatin1String("SetNetworkDefaultGateway")) {
            putField(cfg.ipv4Gateway, req.childText(Ns::Device, QStringLiteral("IPv4Address")));
            putField(cfg.ipv6Gateway, req.childText(Ns::Device, QStringLiteral("IPv6Address")));
        } else {
            const XmlNode& nic = req.child(Ns::Device, QStringLiteral("NetworkInterface"));
            const XmlNode& v4 =
                nic.child(Ns::Schema, QStringLiteral("IPv4")).child(Ns::Schema, QStringLiteral("Manual"));
            const XmlNode& v6 = nic.child(Ns::Schema, QStringLiteral("IPv6"));
            const QString address = v4.childText(Ns::Schema, QStringLiteral("Address"));
            // Only a loopback address can be served here.
            if (!isLoopback(address))
                return failed(RESULT_BAD_ARGUMENT);
            putField(cfg.ipv4Addr, address);
            putField(cfg.ipv4Mask,
                     OnvifCodec::maskFromPrefix(v4.childInt(Ns::Schema, QStringLiteral("PrefixLength"), -1)));
            const bool v6On = v6.childText(Ns::Schema, QStringLiteral("Enabled")) == QLatin1String("true");
            const XmlNode& v6Manual = v6.child(Ns::Schema, QStringLiteral("Manual"));
            putField(cfg.ipv6Addr,
                     v6On ? v6Manual.childText(Ns::Schema, QStringLiteral("Address")) : QString());
            cfg.ipv6PrefixLen = v6On ? v6Manual.childInt(Ns::Schema, QStringLiteral("PrefixLength"), 0) : 0;
        }
        QString newIp;
        result = model->setNetwork(ip, e->user, e->password, cfg, &newIp);
        if (result != RESULT_OK)
            return failed(result);
        Reply reply = respond(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            if (op == QLatin1String("SetNetworkInterfaces"))
                S::writeText(w, Ns::Device, QStringLiteral("RebootNeeded"), QStringLiteral("false"));
        });
        refreshInfo();
        if (newIp != ip) {
            // The decoder moves once it has answered from where it was.
            const QPointer<DecoderDaemon> self(this);
            reply.after = [this, self, e, newIp] {
                if (!self)
                    return;
                unlisten(e);
                e->ip = newIp;
                QString error;
                if (!listen(e, &error))
                    qWarning("tvwall-decoderd: %s", qPrintable(error));
            };
        }
        return reply;
    }
    if (device && op == QLatin1String("GetSystemLog")) {
        const QString type = req.childText(Ns::Device, QStringLiteral("LogType"));
        QStringList lines;
        const QDateTime now = QDateTime::currentDateTime();
        const int result = model->getLog(ip, now.addDays(-LogDays), now,
                                         type == QLatin1String("Access") ? 2 : 0, QString(), &lines);
        if (result != RESULT_OK)
            return failed(result);
        return respond(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Device, QStringLiteral("SystemLog"));
            S::writeText(w, Ns::Schema, QStringLiteral("String"), lines.join(QLatin1Char('\n')));
            w.writeEndElement();
        });
    }
    if (device && op == QLatin1String("GetSystemUris")) {
        return respond(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Device, QStringLiteral("SupportInfoUri"),
                         xaddr(e, QStringLiteral("/files/") + issueToken(e, QStringLiteral("package"))));
            S::writeText(w, Ns::Device, QStringLiteral("SystemBackupUri"),
                         xaddr(e, QStringLiteral("/files/") + issueToken(e, QStringLiteral("backup"))));
        });
    }
    if (device &&
        (op == QLatin1String("StartSystemRestore") || op == QLatin1String("StartFirmwareUpgrade"))) {
        const bool firmware = op == QLatin1String("StartFirmwareUpgrade");
        const QString token =
            issueToken(e, firmware ? QStringLiteral("firmware") : QStringLiteral("restore"));
        return respond(Ns::Device, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Device, QStringLiteral("UploadUri"),
                         xaddr(e, QStringLiteral("/upload/") + token));
            if (firmware)
                S::writeText(w, Ns::Device, QStringLiteral("UploadDelay"), QStringLiteral("PT0S"));
            S::writeText(w, Ns::Device, QStringLiteral("ExpectedDownTime"), QStringLiteral("PT0S"));
        });
    }

    // ---- device IO ----
    if (deviceIo && op == QLatin1String("GetVideoOutputs")) {
        ScreenResolution_t r{0, 0, 0};
        model->getResolution(ip, 0, 0, &r);
        return respond(Ns::DeviceIo, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::DeviceIo, QStringLiteral("VideoOutputs"));
            w.writeAttribute(QStringLiteral("token"), OnvifCodec::outputToken(0, 0));
            w.writeEmptyElement(Ns::Schema, QStringLiteral("Layout"));
            w.writeStartElement(Ns::Schema, QStringLiteral("Resolution"));
            S::writeInt(w, Ns::Schema, QStringLiteral("Width"), r.width);
            S::writeInt(w, Ns::Schema, QStringLiteral("Height"), r.height);
            w.writeEndElement();
            S::writeInt(w, Ns::Schema, QStringLiteral("RefreshRate"), r.frameRate);
            w.writeEndElement();
        });
    }
    if (deviceIo && op == QLatin1String("GetVideoOutputConfiguration")) {
        int row = 0;
        int column = 0;
        if (!OnvifCodec::readOutputToken(req.childText(Ns::DeviceIo, QStringLiteral("VideoOutputToken")),
                                         &row, &column))
            return failed(RESULT_BAD_ARGUMENT);
        ScreenResolution_t r{0, 0, 0};
        const int result = model->getResolution(ip, row, column, &r);
        if (result != RESULT_OK)
            return failed(result);
        return respond(Ns::DeviceIo, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::DeviceIo, QStringLiteral("VideoOutputConfiguration"));
            w.writeAttribute(QStringLiteral("token"), OnvifCodec::outputToken(row, column));
            S::writeText(w, Ns::Schema, QStringLiteral("Name"), OnvifCodec::outputToken(row, column));
            S::writeInt(w, Ns::Schema, QStringLiteral("UseCount"), 1);
            S::writeText(w, Ns::Schema, QStringLiteral("OutputToken"), OnvifCodec::outputToken(row, column));
            OnvifCodec::writeResolution(w, r);
            w.writeEndElement();
        });
    }
    if (deviceIo && op == QLatin1String("SetVideoOutputConfiguration")) {
        const XmlNode& c = req.child(Ns::DeviceIo, QStringLiteral("Configuration"));
        int row = 0;
        int column = 0;
        ScreenResolution_t r{0, 0, 0};
        if (!OnvifCodec::readOutputToken(c.childText(Ns::Schema, QStringLiteral("OutputToken")), &row,
                                         &column) ||
            !OnvifCodec::readResolution(c, &r))
            return failed(RESULT_BAD_ARGUMENT);
        const bool persist =
            req.childText(Ns::DeviceIo, QStringLiteral("ForcePersistence")) == QLatin1String("true");
        return done(
            model->setResolution(
                ip, ScreenResolutionInfo{row, column, {r.width, r.height, r.frameRate}, false}, persist),
            Ns::DeviceIo, op);
    }

    // ---- our extension ----
    if (wall && op == QLatin1String("GetWall")) {
        const DecoderBackend::Layout layout = model->getLayout(ip);
        if (layout.result != RESULT_OK && layout.result != RESULT_NO_LAYOUT)
            return failed(layout.result);
        return respond(Ns::Wall, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            if (layout.result == RESULT_OK)
                OnvifCodec::writeWall(w, layout);
        });
    }
    if (wall && op == QLatin1String("SetWall")) {
        const DecoderBackend::Layout l = OnvifCodec::readWall(req.child(Ns::Wall, QStringLiteral("Wall")));
        return done(model->setLayout(ip, l.mainType, l.rows, l.cols, l.screens, l.name), Ns::Wall, op);
    }
    const int sceneNo = req.childInt(Ns::Wall, QStringLiteral("SceneNo"), 0);
    if (wall && op == QLatin1String("SaveScene"))
        return done(model->saveScene(ip, sceneNo, req.childText(Ns::Wall, QStringLiteral("Name"))), Ns::Wall,
                    op);
    if (wall && op == QLatin1String("RestoreScene"))
        return done(model->restoreScene(ip, sceneNo), Ns::Wall, op);
    if (wall && op == QLatin1String("RemoveScene"))
        return done(model->removeScene(ip, sceneNo), Ns::Wall, op);
    if (wall && op == QLatin1String("CheckScreen"))
        return done(
            model->checkScreen(ip, req.childInt(Ns::Wall, QStringLiteral("Location"), -1),
                               req.childText(Ns::Wall, QStringLiteral("Open")) == QLatin1String("true")),
            Ns::Wall, op);
    if (wall && op == QLatin1String("RemoveBanner"))
        return done(model->removeBanner(ip), Ns::Wall, op);
    const int screenRow = req.childInt(Ns::Wall, QStringLiteral("ScreenRow"), -1);
    const int screenColumn = req.childInt(Ns::Wall, QStringLiteral("ScreenColumn"), -1);
    if (wall && op == QLatin1String("GetScreenColor")) {
        ScreenColor color;
        const int result = model->getScreenColor(ip, screenRow, screenColumn, &color);
        if (result != RESULT_OK)
            return failed(result);
        return respond(Ns::Wall, op + QStringLiteral("Response"),
                       [&](QXmlStreamWriter& w) { OnvifCodec::writeColor(w, color); });
    }
    if (wall && op == QLatin1String("SetScreenColor")) {
        ScreenColor color;
        if (!OnvifCodec::readColor(req.child(Ns::Wall, QStringLiteral("ImagingSettings")), &color))
            return failed(RESULT_BAD_ARGUMENT);
        return done(model->setScreenColor(ip, screenRow, screenColumn, color), Ns::Wall, op);
    }
    if (wall && op == QLatin1String("UploadPicture")) {
        const QString name = req.childText(Ns::Wall, QStringLiteral("Name"));
        const QByteArray data =
            QByteArray::fromBase64(req.childText(Ns::Wall, QStringLiteral("Data")).toLatin1());
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || data.isEmpty())
            return failed(RESULT_BAD_ARGUMENT);
        const QString path = files->filePath(QStringLiteral("picture-%1-%2").arg(e->uuid, name));
        if (!writeFile(path, data))
            return failed(RESULT_IO_ERROR);
        e->pictures.insert(name, path);
        return respond(Ns::Wall, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Wall, QStringLiteral("PictureToken"), name);
        });
    }
    if (wall && (op == QLatin1String("AddWindow") || op == QLatin1String("SetWindowSource"))) {
        MatrixWindowInfo window = OnvifCodec::readWindow(req.child(Ns::Wall, QStringLiteral("Window")));
        // Pictures were uploaded first; the window names them by token.
        for (WindowSourceInfo& s : window.sourceList) {
            if (!s.picturePath.startsWith(QLatin1String("picture:")))
                continue;
            const QString name = s.picturePath.mid(8);
            if (!e->pictures.contains(name))
                return failed(RESULT_BAD_ARGUMENT);
            s.picturePath = e->pictures.value(name);
        }
        const int result =
            op == QLatin1String("AddWindow")
                ? model->addWindow(ip, window)
                : model->setWindowSource(ip, window, req.childInt(Ns::Wall, QStringLiteral("WindowId"), -1),
                                         req.childText(Ns::Wall, QStringLiteral("Show")) ==
                                             QLatin1String("true"));
        return done(result, Ns::Wall, op);
    }
    if (wall && op == QLatin1String("GetLog")) {
        QStringList lines;
        const int result = model->getLog(
            ip, QDateTime::fromString(req.childText(Ns::Wall, QStringLiteral("From")), Qt::ISODate),
            QDateTime::fromString(req.childText(Ns::Wall, QStringLiteral("To")), Qt::ISODate),
            req.childInt(Ns::Wall, QStringLiteral("Type"), -2), QString(), &lines);
        if (result != RESULT_OK)
            return failed(result);
        return respond(Ns::Wall, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            for (const QString& line : qAsConst(lines))
                S::writeText(w, Ns::Wall, QStringLiteral("Line"), line);
        });
    }
    if (wall && op == QLatin1String("ConfirmNetworkChange"))
        return handleConfirmNetworkChange(e);
    if (wall && op == QLatin1String("EndSession")) {
        // The client logs out: what lasts only for the session ends, as it does in the process.
        model->logout(ip);
        return respond(Ns::Wall, op + QStringLiteral("Response"));
    }
    if (wall && op == QLatin1String("GetUpgradeState")) {
        return respond(Ns::Wall, op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Wall, QStringLiteral("State"), e->upgradeState);
            S::writeInt(w, Ns::Wall, QStringLiteral("Percent"), e->upgradePercent);
            S::writeInt(w, Ns::Wall, QStringLiteral("Code"), e->upgradeCode);
        });
    }
    return fault(400, QStringLiteral("Sender"), QStringLiteral("ActionNotSupported"),
                 QStringLiteral("Optional Action Not Implemented"), RESULT_BAD_ARGUMENT);
}

bool DecoderDaemon::answering(const Endpoint* e) const
{
    const SimulatedDecoder* decoder = model ? model->decoder(e->ip) : nullptr;
    return !decoder || decoder->answers();
}

DecoderDaemon::Reply DecoderDaemon::handleConfirmNetworkChange(Endpoint* e)
{
    const int result = model->confirmNetwork(e->ip);
    if (result == RESULT_OK)
        return Reply{200,
                     "application/soap+xml; charset=utf-8",
                     S::build([](QXmlStreamWriter& w) {
                         w.writeEmptyElement(Ns::Wall, QStringLiteral("ConfirmNetworkChangeResponse"));
                     }),
                     {}};
    // Not a decoder that goes back by itself.
    return Reply{500,
                 "application/soap+xml; charset=utf-8",
                 S::buildFault(QStringLiteral("Receiver"), QStringLiteral("Action"),
                               QStringLiteral("The decoder keeps new addresses without confirmation"),
                               result),
                 {}};
}

void DecoderDaemon::follow(const QString& from, const QString& to)
{
    Endpoint* e = endpoint(from);
    if (!e)
        return;
    unlisten(e);
    e->ip = to;
    QString error;
    if (!listen(e, &error))
        qWarning("tvwall-decoderd: %s", qPrintable(error));
    refreshInfo();
}

} // namespace pral_matrix
