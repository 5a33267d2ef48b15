#include "decoderdaemon.h"

#include "daemonfields.h"
#include "devicecodec.h"
#include "deviceioservicehandler.h"
#include "deviceservicehandler.h"
#include "digestauthentication.h"
#include "discoveryhandler.h"
#include "displayservicehandler.h"
#include "extensionservicehandler.h"
#include "httprequestparser.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "receiverservicehandler.h"
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
#include <sys/socket.h>

namespace pral_matrix {

namespace {

using S = SoapEnvelope;

// What a peer may hold of the daemon. Each number bounds memory or work that a peer could otherwise grow
// at will; together they bound the daemon's memory whatever arrives.

/** Connections open at once: a client's pool connects to 64 decoders at a time; four times that. */
constexpr int MaxConnections = 256;
/** Connections from one address to one decoder: a client keeps one lane per decoder, an upgrade's polling
 * beside it; room for a second tool on the same host. */
constexpr int MaxConnectionsPerPeer = 8;
/** Bodies of SOAP calls held at once, reserved by their Content-Length: 32 of the largest; real ones are a
 * few KiB. */
constexpr qint64 MaxReservedSoapBytes = 32 * 1024 * 1024;
/** Upload bodies read at once across the fleet: an upgrade or a restore goes one decoder at a time. */
constexpr int MaxUploadsInFlight = 2;
/** What a socket reads ahead of the request reader: one read's worth, so a connection's memory is its
 * request's. */
constexpr qint64 SocketBufferBytes = 64 * 1024;
/** How long the bytes of a refused request are read and dropped, so that its peer hears the refusal. */
constexpr int LingerMs = 2000;
/** How far a token's Created may be from our clock, either way (WS-Security's usual five minutes). */
constexpr int TokenWindowSecs = 300;
/** Tokens one decoder remembers within their window: 54 calls a second for five minutes, many times a
 * client's pace (an upgrade polls ten times a second); at the limit further calls are refused, never
 * forgotten tokens accepted again. */
constexpr int MaxReplayTokens = 16384;
/** Upload addresses one decoder has handed out and not yet seen used. */
constexpr int MaxTokens = 16;
/** Pictures one decoder keeps for its windows: the five test pictures and room for more. */
constexpr int MaxPicturesPerDecoder = 16;
/** Pictures in the temporary folder, whatever the fleet: it never fills the disk or its inode table. */
constexpr int MaxStoredPictures = 512;
constexpr qint64 MaxStoredPictureBytes = 64 * 1024 * 1024;

QByteArray statusText(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
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
    case 503:
        return "Service Unavailable";
    case 415:
        return "Unsupported Media Type";
    case 431:
        return "Request Header Fields Too Large";
    case 501:
        return "Not Implemented";
    case 505:
        return "HTTP Version Not Supported";
    case 507:
        return "Insufficient Storage";
    default:
        return "Internal Server Error";
    }
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

TokenKey tokenKey(const QByteArray& base64Digest)
{
    const QByteArray raw = QByteArray::fromBase64(base64Digest).leftJustified(16, '\0');
    TokenKey key;
    std::memcpy(&key.high, raw.constData(), 8);
    std::memcpy(&key.low, raw.constData() + 8, 8);
    return key;
}

} // namespace

struct DaemonConnection
{
    using Admit = std::function<HttpRequestParser::Admission(DaemonConnection*, const HttpRequestParser&)>;
    DaemonConnection(const Admit& admit, int requestTimeoutMs)
        : parser([this, admit](const HttpRequestParser& head) { return admit(this, head); }, requestTimeoutMs)
    {
    }
    QPointer<QTcpSocket> socket;
    QTimer* deadline = nullptr;
    HttpRequestParser parser;
    QString peer;
    bool answered = false;
    /** Refused while the peer may still be sending: what comes is dropped until it closes. */
    bool draining = false;
    /** What the admission reserved for this request. */
    qint64 reservedSoapBytes = 0;
    bool uploading = false;
    /** The upload address this request claimed, and what it is for. */
    QString uploadToken;
    QString uploadPurpose;
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
        if (!DaemonFields::isLoopback(wanted) || taken.contains(QHostAddress(wanted).toIPv4Address())) {
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
    makeHandlers();
}

DecoderDaemon::~DecoderDaemon()
{
    stop();
}

bool DecoderDaemon::start(const QByteArray& fleetJson, const Options& options, QString* error)
{
    stop();
    opts = options;
    makeHandlers();
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
        auto* e = new DaemonEndpoint;
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
        const QString id = o.value(QStringLiteral("deviceId")).toString();
        e->configurableScopes = QStringList() << DeviceCodec::standardScope(QStringLiteral("name"), id)
                                              << DeviceCodec::standardScope(QStringLiteral("location"),
                                                                            QStringLiteral("unknown"));
        e->hostname = QStringLiteral("decoder-") + e->ip.section(QLatin1Char('.'), 3);
        endpoints.append(e);
    }
    refreshInfo();

    // One port number for every address; a fixed port fails at once, a free one is sought again.
    const int attempts = opts.port == 0 ? 8 : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        httpPort = opts.port;
        udpPort = opts.discoveryPort;
        bool bound = true;
        for (DaemonEndpoint* e : qAsConst(endpoints)) {
            if (!listen(e, error)) {
                bound = false;
                break;
            }
        }
        if (bound)
            return true;
        for (DaemonEndpoint* e : qAsConst(endpoints))
            unlisten(e);
    }
    return false;
}

void DecoderDaemon::stop()
{
    // Open connections refer to their endpoints: they go first.
    qDeleteAll(findChildren<QTcpSocket*>(QString(), Qt::FindDirectChildrenOnly));
    for (DaemonEndpoint* e : qAsConst(endpoints)) {
        unlisten(e);
        delete e;
    }
    endpoints.clear();
    model.reset();
    files.reset();
    storedPictures = 0;
    storedPictureBytes = 0;
}

QStringList DecoderDaemon::addresses() const
{
    QStringList list;
    for (const DaemonEndpoint* e : endpoints)
        list << e->ip;
    return list;
}

void DecoderDaemon::setNetworkFault(const QString& ip, const NetworkFault& fault)
{
    DaemonEndpoint* e = endpoint(ip);
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

DaemonEndpoint* DecoderDaemon::endpoint(const QString& ip) const
{
    for (DaemonEndpoint* e : endpoints) {
        if (e->ip == ip)
            return e;
    }
    return nullptr;
}

bool DecoderDaemon::listen(DaemonEndpoint* e, QString* error)
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

void DecoderDaemon::unlisten(DaemonEndpoint* e)
{
    delete e->server;
    e->server = nullptr;
    delete e->udp;
    e->udp = nullptr;
}

void DecoderDaemon::onConnection(DaemonEndpoint* e)
{
    while (QTcpSocket* socket = e->server ? e->server->nextPendingConnection() : nullptr) {
        // Not the server's: a decoder that moves closes its server but finishes its last reply.
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        const QString peer = socket->peerAddress().toString();
        if (connections >= MaxConnections || e->peers.value(peer) >= MaxConnectionsPerPeer) {
            // Refused before anything is read or kept.
            const QByteArray text = "too many connections\n";
            socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: " +
                          QByteArray::number(text.size()) + "\r\nConnection: close\r\n\r\n" + text);
            socket->disconnectFromHost();
            continue;
        }
        ++connections;
        ++e->peers[peer];
        // The socket reads no further ahead than the request reader takes.
        socket->setReadBufferSize(SocketBufferBytes);
        auto* c = new DaemonConnection(
            [this, e](DaemonConnection* self, const HttpRequestParser& head) { return admit(e, self, head); },
            opts.requestTimeoutMs);
        c->socket = socket;
        c->peer = peer;
        connect(socket, &QTcpSocket::readyRead, this, [this, e, c] { onRead(e, c); });
        connect(socket, &QObject::destroyed, this, [this, e, c] {
            release(c);
            --connections;
            auto it = e->peers.find(c->peer);
            if (it != e->peers.end() && --it.value() <= 0)
                e->peers.erase(it);
            delete c;
        });
        // The deadline of the request as a whole: a peer that trickles its bytes is cut all the same.
        c->deadline = new QTimer(socket);
        c->deadline->setSingleShot(true);
        connect(c->deadline, &QTimer::timeout, this, [this, e, c] { onDeadline(e, c); });
        c->deadline->start(int(qMax<qint64>(1, c->parser.remainingMs())));
        if (e->fault.stallMs > 0) {
            // A stall that has lasted long enough ends here.
            QTimer::singleShot(e->fault.stallMs, socket, [c] {
                if (c->socket)
                    c->socket->abort();
            });
        }
    }
}

void DecoderDaemon::onDeadline(DaemonEndpoint* e, DaemonConnection* c)
{
    if (c->answered || !c->socket)
        return;
    // Bytes that came while the daemon was busy still count.
    onRead(e, c);
    if (c->answered || !c->socket)
        return;
    if (c->parser.checkDeadline() == HttpRequestParser::NeedMore) {
        // The head came in time: the whole request's deadline applies now.
        c->deadline->start(int(qMax<qint64>(1, c->parser.remainingMs())));
        return;
    }
    if (e->fault.stallMs > 0)
        c->socket->abort();
    else
        send(e, c, DaemonReply::text(408, "request timeout\n"));
}

HttpRequestParser::Admission DecoderDaemon::admit(DaemonEndpoint* e, DaemonConnection* c,
                                                  const HttpRequestParser& head)
{
    using A = HttpRequestParser::Admission;
    if (isSoapPath(head.path)) {
        if (head.method != "POST")
            return A{0, 405};
        if (head.contentLength > opts.maxSoapBytes)
            return A{opts.maxSoapBytes, 0};
        if (reservedSoapBytes + head.contentLength > MaxReservedSoapBytes)
            return A{0, 503};
        c->reservedSoapBytes = head.contentLength;
        reservedSoapBytes += head.contentLength;
        return A{opts.maxSoapBytes, 0};
    }
    const QString path = QString::fromLatin1(head.path);
    if (path.startsWith(QLatin1String("/files/")))
        return head.method == "GET" ? A{0, 0} : A{0, 405};
    if (path.startsWith(QLatin1String("/upload/"))) {
        if (head.method != "POST")
            return A{0, 405};
        // Only an address an authenticated call handed out takes a body, and only once.
        const QString token = path.mid(8);
        const auto it =
            std::find_if(e->tokens.begin(), e->tokens.end(), [&token](const QPair<QString, QString>& t) {
                return t.first == token &&
                       (t.second == QLatin1String("restore") || t.second == QLatin1String("firmware"));
            });
        if (it == e->tokens.end())
            return A{0, 404};
        if (uploadsInFlight >= MaxUploadsInFlight)
            return A{0, 503};
        c->uploadToken = token;
        c->uploadPurpose = it->second;
        c->uploading = true;
        ++uploadsInFlight;
        e->tokens.erase(it);
        return A{opts.maxUploadBytes, 0};
    }
    return A{0, 404};
}

void DecoderDaemon::release(DaemonConnection* c)
{
    reservedSoapBytes -= c->reservedSoapBytes;
    c->reservedSoapBytes = 0;
    if (c->uploading) {
        c->uploading = false;
        --uploadsInFlight;
    }
}

void DecoderDaemon::onRead(DaemonEndpoint* e, DaemonConnection* c)
{
    if (c->draining && c->socket) {
        while (c->socket->bytesAvailable() > 0)
            c->socket->read(SocketBufferBytes);
        return;
    }
    if (c->answered || !c->socket)
        return;
    HttpRequestParser::State state = c->parser.state();
    while (state == HttpRequestParser::NeedMore && c->socket->bytesAvailable() > 0)
        state = c->parser.feed(c->socket->read(SocketBufferBytes));
    if (state == HttpRequestParser::NeedMore)
        return;
    if (state == HttpRequestParser::Failed) {
        send(e, c,
             DaemonReply::text(c->parser.failureStatus(), statusText(c->parser.failureStatus()) + '\n'));
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
    send(e, c, handle(e, c));
}

void DecoderDaemon::send(DaemonEndpoint* e, DaemonConnection* c, DaemonReply reply)
{
    c->answered = true;
    release(c);
    if (c->deadline)
        c->deadline->stop();
    QTcpSocket* socket = c->socket;
    if (!socket)
        return;
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + statusText(reply.status) +
                       "\r\nContent-Type: " + reply.contentType +
                       "\r\nContent-Length: " + QByteArray::number(reply.body.size());
    for (const auto& header : qAsConst(reply.headers))
        bytes += "\r\n" + header.first + ": " + header.second;
    bytes += "\r\nConnection: close\r\n\r\n" + reply.body;
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
        if (c->parser.state() == HttpRequestParser::Failed) {
            // Refused before all of it arrived: the peer may still be sending. Closing now would answer
            // its next bytes with a reset, which takes the refusal with it; so the refusal goes out with
            // our end closed for writing, and what still comes is read and dropped for a while.
            socket->flush();
            ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
            c->draining = true;
            QTimer::singleShot(LingerMs, socket, [socket] { socket->abort(); });
        } else {
            socket->disconnectFromHost();
        }
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

void DecoderDaemon::onDatagram(DaemonEndpoint* e)
{
    while (e->udp && e->udp->hasPendingDatagrams()) {
        QHostAddress from;
        quint16 fromPort = 0;
        QByteArray datagram(int(qMin<qint64>(e->udp->pendingDatagramSize(), 65536)), '\0');
        const qint64 size = e->udp->readDatagram(datagram.data(), datagram.size(), &from, &fromPort);
        if (size <= 0 || e->fault.stallMs > 0 || !answering(e))
            continue;
        datagram.truncate(int(size));
        const QByteArray match = discovery->answer(*e, datagram);
        if (!match.isEmpty())
            e->udp->writeDatagram(match, from, fromPort);
    }
}

MatrixInfo DecoderDaemon::info(const QString& ip) const
{
    // From the model itself: a decoder that was restarting when the list was last made is missing there,
    // and would be described as a decoder of no kind once it is back.
    if (const SimulatedDecoder* decoder = model ? model->decoder(ip) : nullptr)
        return decoder->searchInfo();
    return infos.value(ip);
}

void DecoderDaemon::refreshInfo()
{
    infos = model ? model->search() : MatrixInfoMap();
}

QString DecoderDaemon::xaddr(const DaemonEndpoint& e, const QString& path) const
{
    return QStringLiteral("http://%1:%2%3").arg(e.ip).arg(httpPort).arg(path);
}

QString DecoderDaemon::issueToken(DaemonEndpoint& e, const QString& purpose)
{
    const QString token = QString::number(QRandomGenerator::system()->generate64(), 36);
    e.tokens.append(qMakePair(token, purpose));
    while (e.tokens.size() > MaxTokens)
        e.tokens.removeFirst();
    return token;
}

SimulatedFleet& DecoderDaemon::decoders()
{
    return *model;
}

QList<const DaemonServiceHandler*> DecoderDaemon::services() const
{
    QList<const DaemonServiceHandler*> list;
    for (const auto& handler : handlers)
        list << handler.get();
    return list;
}

bool DecoderDaemon::standardOnly() const
{
    return opts.standardOnly;
}

QVector<DeviceCodec::Scope> DecoderDaemon::scopes(const DaemonEndpoint& e) const
{
    const SimulatedDecoder* decoder = model ? model->decoder(e.ip) : nullptr;
    QVector<DeviceCodec::Scope> list{
        {DeviceCodec::standardScope(QStringLiteral("type"), QStringLiteral("video_decoder")), true},
        {DeviceCodec::standardScope(QStringLiteral("type"), QStringLiteral("Network_Video_Decoder")), true}};
    if (decoder)
        list.append({DeviceCodec::standardScope(QStringLiteral("hardware"), decoder->model()), true});
    if (!opts.standardOnly) {
        // What our client reads of a decoder in a search, in scopes of our own.
        for (const QString& scope : OnvifCodec::decoderScopes(info(e.ip))) {
            if (!scope.startsWith(DeviceCodec::scopeRoot()))
                list.append({scope, true});
        }
    }
    for (const QString& scope : e.configurableScopes)
        list.append({scope, false});
    return list;
}

void DecoderDaemon::moveAfterReply(DaemonEndpoint& e, const QString& newIp, DaemonReply* reply)
{
    const QPointer<DecoderDaemon> self(this);
    DaemonEndpoint* moving = &e;
    reply->after = [this, self, moving, newIp] {
        if (!self)
            return;
        unlisten(moving);
        moving->ip = newIp;
        QString error;
        if (!listen(moving, &error))
            qWarning("tvwall-decoderd: %s", qPrintable(error));
    };
}

bool DecoderDaemon::storePicture(DaemonEndpoint& e, const QString& name, const QByteArray& data,
                                 DaemonReply* refusal)
{
    // The folder holds what the caps allow; a picture sent again under its name replaces itself.
    const auto known = e.pictures.constFind(name);
    const bool replaces = known != e.pictures.constEnd();
    const qint64 replaced = replaces ? known->second : 0;
    if ((!replaces && (e.pictures.size() >= MaxPicturesPerDecoder || storedPictures >= MaxStoredPictures)) ||
        storedPictureBytes - replaced + data.size() > MaxStoredPictureBytes) {
        *refusal =
            DaemonReply::fault(507, QStringLiteral("Receiver"), QStringLiteral("Action"),
                               QStringLiteral("The decoder has no room for more pictures"), RESULT_IO_ERROR);
        return false;
    }
    const QString path = files->filePath(QStringLiteral("picture-%1-%2").arg(e.uuid, name));
    if (!writeFile(path, data)) {
        QFile::remove(path);
        if (replaces) {
            e.pictures.remove(name);
            --storedPictures;
            storedPictureBytes -= replaced;
        }
        *refusal = DaemonReply::failed(RESULT_IO_ERROR);
        return false;
    }
    if (!replaces)
        ++storedPictures;
    storedPictureBytes += data.size() - replaced;
    e.pictures.insert(name, qMakePair(path, qint64(data.size())));
    return true;
}

QString DecoderDaemon::passwordOf(const DaemonEndpoint* e, const QString& user, bool* known)
{
    *known = true;
    if (user == e->user)
        return e->password;
    for (const DeviceCodec::User& u : e->users) {
        if (u.name == user)
            return u.password;
    }
    *known = false;
    return QString();
}

DecoderDaemon::Proven DecoderDaemon::prove(DaemonEndpoint* e, const S::ReceivedToken& token,
                                           const HttpRequestParser& request)
{
    Proven proven;
    // The decoder's own clock, which SetSystemDateAndTime may have set apart from ours.
    const qint64 now = QDateTime::currentMSecsSinceEpoch() + e->clockOffsetMs;
    bool known = false;
    if (!token.present) {
        const DigestAuthentication::Credentials c =
            DigestAuthentication::parse(request.headers.value("authorization"));
        if (!c.present)
            return proven;
        proven.digest = true;
        proven.user = c.userName;
        if (e->digestCounts.size() >= MaxReplayTokens && now - e->lastSweepMs >= 1000) {
            e->lastSweepMs = now;
            for (auto it = e->digestCounts.begin(); it != e->digestCounts.end();)
                it = digest.nonceExpiry(it.key()) < now ? e->digestCounts.erase(it) : std::next(it);
        }
        if (e->digestCounts.size() >= MaxReplayTokens && !e->digestCounts.contains(c.nonce)) {
            proven.proof = Proof::Busy;
            return proven;
        }
        const QString password = passwordOf(e, c.userName, &known);
        // An unknown user is checked against a password no one has, so that the answer takes as long.
        switch (digest.check(c, request.method, known ? password : QStringLiteral("\x01"), &e->digestCounts,
                             now)) {
        case DigestAuthentication::Check::Valid:
            proven.proof = known ? Proof::Valid : Proof::Wrong;
            break;
        case DigestAuthentication::Check::Wrong:
            proven.proof = Proof::Wrong;
            break;
        case DigestAuthentication::Check::Stale:
            proven.proof = Proof::Stale;
            break;
        case DigestAuthentication::Check::Replayed:
            proven.proof = Proof::Replayed;
            break;
        case DigestAuthentication::Check::Unusable:
            proven.proof = Proof::None;
            break;
        }
        return proven;
    }
    proven.user = token.userName;
    if (token.userName.isEmpty() && token.digest.isEmpty())
        return proven;
    const QString password = passwordOf(e, token.userName, &known);
    if (!known || !token.isDigest || token.nonce.isEmpty() ||
        S::passwordDigest(token.nonce, token.created, password) != token.digest) {
        proven.proof = Proof::Wrong;
        return proven;
    }
    // The password is right: what remains to check says nothing about guessing it.
    const QDateTime at = QDateTime::fromString(token.created, Qt::ISODateWithMs);
    if (!at.isValid() || qAbs(at.toMSecsSinceEpoch() - now) > TokenWindowSecs * 1000LL) {
        proven.proof = Proof::Stale;
        return proven;
    }
    // A token seen before is a replay. Some clients repeat a nonce within a second, so the whole token
    // (its digest covers nonce, creation time and password) is what must not come twice. It is kept until
    // it leaves its window, from where it could no longer be accepted anyway.
    const TokenKey key = tokenKey(token.digest);
    if (e->seenTokens.contains(key)) {
        proven.proof = Proof::Replayed;
        return proven;
    }
    if (e->seenTokens.size() >= MaxReplayTokens && now - e->lastSweepMs >= 1000) {
        e->lastSweepMs = now;
        for (auto it = e->seenTokens.begin(); it != e->seenTokens.end();)
            it = it.value() < now ? e->seenTokens.erase(it) : std::next(it);
    }
    if (e->seenTokens.size() >= MaxReplayTokens) {
        proven.proof = Proof::Busy;
        return proven;
    }
    e->seenTokens.insert(key, at.toMSecsSinceEpoch() + TokenWindowSecs * 1000LL);
    proven.proof = Proof::Valid;
    return proven;
}

bool DecoderDaemon::resolvePictures(const DaemonEndpoint& e, QList<WindowSourceInfo>* sources) const
{
    // Pictures were uploaded first; a window names them by token.
    for (WindowSourceInfo& s : *sources) {
        if (!s.picturePath.startsWith(QLatin1String("picture:")))
            continue;
        const QString name = s.picturePath.mid(8);
        if (!e.pictures.contains(name))
            return false;
        s.picturePath = e.pictures.value(name).first;
    }
    return true;
}

void DecoderDaemon::removePictures(DaemonEndpoint& e)
{
    for (const QPair<QString, qint64>& file : qAsConst(e.pictures)) {
        QFile::remove(file.first);
        --storedPictures;
        storedPictureBytes -= file.second;
    }
    e.pictures.clear();
}

DaemonReply DecoderDaemon::handle(DaemonEndpoint* e, DaemonConnection* c)
{
    // The admission let through only what each path takes.
    const HttpRequestParser& p = c->parser;
    if (isSoapPath(p.path)) {
        // Whatever a handler answers, a standard-only decoder's replies carry nothing of ours.
        const DaemonReply::StandardOnly standard(opts.standardOnly);
        return handleSoap(e, p);
    }
    if (c->uploading)
        return handleUpload(e, c->uploadToken, c->uploadPurpose, p.body);
    if (p.path.startsWith("/files/"))
        return handleDownload(e, QString::fromLatin1(p.path.mid(7)));
    return DaemonReply::text(404, "not found\n");
}

DaemonReply DecoderDaemon::handleDownload(DaemonEndpoint* e, const QString& token)
{
    const auto it = std::find_if(e->tokens.begin(), e->tokens.end(),
                                 [&token](const QPair<QString, QString>& t) { return t.first == token; });
    if (it == e->tokens.end())
        return DaemonReply::text(404, "not found\n");
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
        return DaemonReply::text(500, "result " + QByteArray::number(result) + '\n');
    DaemonReply reply = DaemonReply::text(200, file.readAll());
    reply.contentType = "application/octet-stream";
    file.remove();
    return reply;
}

DaemonReply DecoderDaemon::handleUpload(DaemonEndpoint* e, const QString& token, const QString& purpose,
                                        const QByteArray& body)
{
    const QString path = files->filePath(QStringLiteral("upload-") + token);
    if (!writeFile(path, body)) {
        QFile::remove(path);
        return DaemonReply::text(500, "result " + QByteArray::number(int(RESULT_IO_ERROR)) + '\n');
    }
    int result = RESULT_BAD_ARGUMENT;
    if (purpose == QLatin1String("restore")) {
        result = model->importConfig(e->ip, path);
        QFile::remove(path);
        // The fleet's way of saying the transfer broke off (FaultInjector::breakTransfers): on a
        // network the client hears no answer at all.
        if (result == RESULT_BAD_HANDLE) {
            DaemonReply cut;
            cut.cut = true;
            return cut;
        }
    } else if (purpose == QLatin1String("firmware")) {
        DeviceInfo_t device{};
        DaemonFields::put(device.ip, e->ip);
        DaemonFields::put(device.userName, e->user);
        DaemonFields::put(device.password, e->password);
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
        // The image is read as the upgrade starts: the file is not kept.
        QFile::remove(path);
        if (result != RESULT_OK)
            e->upgradeState = QStringLiteral("Idle");
    }
    if (result != RESULT_OK)
        return DaemonReply::text(415, "result " + QByteArray::number(result) + '\n');
    return DaemonReply::text(200, "result 0\n");
}

bool DecoderDaemon::isSoapPath(const QByteArray& path) const
{
    return std::any_of(handlers.begin(), handlers.end(),
                       [&path](const auto& h) { return h->path().toLatin1() == path; });
}

DaemonServiceHandler* DecoderDaemon::handler(const QString& ns) const
{
    for (const auto& h : handlers) {
        if (h->ns() == ns)
            return h.get();
    }
    return nullptr;
}

void DecoderDaemon::makeHandlers()
{
    DaemonContext& context = *this;
    handlers.clear();
    handlers.push_back(std::make_unique<DeviceServiceHandler>(context));
    handlers.push_back(std::make_unique<DeviceIoServiceHandler>(context));
    handlers.push_back(std::make_unique<DisplayServiceHandler>(context));
    handlers.push_back(std::make_unique<ReceiverServiceHandler>(context));
    if (!opts.standardOnly)
        handlers.push_back(std::make_unique<ExtensionServiceHandler>(context));
    discovery = std::make_unique<DiscoveryHandler>(context);
}

DaemonReply DecoderDaemon::challenge(DaemonReply reply, bool stale) const
{
    reply.status = 401;
    for (const QByteArray& value : digest.challenges(QDateTime::currentMSecsSinceEpoch(), stale))
        reply.headers.append(qMakePair(QByteArray("WWW-Authenticate"), value));
    return reply;
}

DaemonReply DecoderDaemon::handleSoap(DaemonEndpoint* e, const HttpRequestParser& request)
{
    using R = DaemonReply;
    using Access = DaemonServiceHandler::Access;
    S::Message m;
    QString why;
    if (!S::parse(request.body, &m, &why))
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("WellFormed"), why,
                        RESULT_BAD_ARGUMENT);
    for (const XmlNode& block : qAsConst(m.header.children)) {
        const QString must = block.attributes.value(QStringLiteral("mustUnderstand"));
        if ((must == QLatin1String("1") || must == QLatin1String("true")) && block.ns != Ns::Security &&
            block.ns != Ns::Addressing)
            return R::fault(400, QStringLiteral("MustUnderstand"), QString(),
                            QStringLiteral("Header block not understood"), RESULT_BAD_ARGUMENT);
    }

    DaemonServiceHandler* service = handler(m.payload.ns);
    DaemonCall call{*e, m.payload, m.payload.name, S::readToken(m.header), QString()};
    if (!service || !service->operations().contains(call.op))
        return R::notSupported();
    const QString ip = e->ip;
    // Every call needs credentials once the decoder has its first user (until then it is open, as ONVIF has
    // it), but those anyone may make, which ignore them. Wherever a wrong password is sent it counts, and a
    // locked decoder refuses them all.
    const Access access = service->access(call.op, *e);
    if (access == Access::Anyone || (!e->activated && access != Access::Login))
        return service->handle(call);

    // A decoder in its factory state refuses the login as not activated.
    Proven proven;
    if (e->activated)
        proven = prove(e, call.token, request);
    else
        proven.proof = Proof::Wrong;
    switch (proven.proof) {
    case Proof::Valid:
    case Proof::Wrong:
        break;
    // Credentials that prove nothing either way: refused, and never counted as a wrong password.
    case Proof::Stale:
        if (proven.digest)
            return challenge(R::fault(401, QStringLiteral("Sender"), QStringLiteral("NotAuthorized"),
                                      QStringLiteral("The nonce has expired"), RESULT_WRONG_PASSWORD),
                             true);
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("NotAuthorized"),
                        QStringLiteral("The security token is outside its time window"),
                        RESULT_WRONG_PASSWORD);
    case Proof::Replayed:
        if (proven.digest)
            return challenge(R::fault(401, QStringLiteral("Sender"), QStringLiteral("NotAuthorized"),
                                      QStringLiteral("The nonce count was used before"),
                                      RESULT_WRONG_PASSWORD),
                             false);
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("NotAuthorized"),
                        QStringLiteral("The security token was used before"), RESULT_WRONG_PASSWORD);
    case Proof::Busy:
        return R::fault(503, QStringLiteral("Receiver"), QStringLiteral("Action"),
                        QStringLiteral("Too many calls within the security window; try again later"),
                        RESULT_UNAVAILABLE);
    case Proof::None:
        // No credentials yet: the challenge of HTTP Digest, which a UsernameToken answers as well.
        return challenge(R::fault(401, QStringLiteral("Sender"), QStringLiteral("NotAuthorized"),
                                  QStringLiteral("Sender not Authorized"), RESULT_WRONG_PASSWORD),
                         false);
    }
    // What the decoder's lock-out says of proven or wrong credentials: the login opens a session, every
    // other call is only checked. The lock-out is the decoder's account, whichever of its users was tried.
    const bool valid = proven.proof == Proof::Valid;
    const QString userName = valid ? e->user : proven.user;
    const QString tried = valid ? e->password : QStringLiteral("\x01") + e->password;
    const DecoderBackend::Login login = access == Access::Login ? model->login(ip, userName, tried)
                                                                : model->authenticate(ip, userName, tried);
    if (login.result != RESULT_OK) {
        DaemonReply refusal =
            !login.hasError
                ? R::failed(login.result)
                // The decoder's own refusal (wrong password, locked), with the counters the operator is told.
                : R::fault(400, QStringLiteral("Sender"), QStringLiteral("NotAuthorized"),
                           QStringLiteral("Sender not Authorized"), login.result,
                           [&](QXmlStreamWriter& w) { OnvifCodec::writeLoginRefusal(w, login.error); });
        // A wrong Digest answer is challenged again; a locked decoder is not worth another try.
        return proven.digest && login.result != RESULT_USER_LOCKED ? challenge(refusal, false) : refusal;
    }
    call.user = proven.user;
    // What the user's level allows: reading for a user, the wall for an operator, everything for an
    // administrator.
    const QString level = levelOf(e, proven.user);
    const QString needed = service->requiredLevel(call.op);
    const auto rank = [](const QString& l) {
        return l == QLatin1String("Administrator") ? 2 : l == QLatin1String("Operator") ? 1 : 0;
    };
    if (rank(level) < rank(needed))
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("NotAuthorized"),
                        QStringLiteral("The user %1 may not call %2").arg(proven.user, call.op),
                        RESULT_REFUSED);
    return service->handle(call);
}

QString DecoderDaemon::levelOf(const DaemonEndpoint* e, const QString& user)
{
    if (user == e->user)
        return QStringLiteral("Administrator");
    for (const DeviceCodec::User& u : e->users) {
        if (u.name == user)
            return u.level;
    }
    return QStringLiteral("User");
}

bool DecoderDaemon::answering(const DaemonEndpoint* e) const
{
    const SimulatedDecoder* decoder = model ? model->decoder(e->ip) : nullptr;
    return !decoder || decoder->answers();
}

void DecoderDaemon::follow(const QString& from, const QString& to)
{
    DaemonEndpoint* e = endpoint(from);
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
