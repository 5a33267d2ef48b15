#include "fakepeer.h"

#include "soapenvelope.h"
#include "wsdiscovery.h"

#include <QHostAddress>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>

using namespace pral_matrix;

namespace {

// What a hostile answer keeps queued in its socket: enough to keep loopback busy, little to hold.
constexpr qint64 QueuedBytes = 1024 * 1024;

QByteArray floodChunk()
{
    QByteArray chunk;
    for (int i = 0; chunk.size() < 64 * 1024; ++i)
        chunk += "X-Flood-" + QByteArray::number(i) + ": " + QByteArray(40, 'f') + "\r\n";
    return chunk;
}

} // namespace

/** A listener that hands out plain sockets, or TLS sockets once it has a certificate. */
class FakePeer::Server : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;
    QSslCertificate certificate;
    QSslKey key;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (certificate.isNull()) {
            QTcpServer::incomingConnection(descriptor);
            return;
        }
        auto* socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        socket->setLocalCertificate(certificate);
        socket->setPrivateKey(key);
        addPendingConnection(socket);
        socket->startServerEncryption();
    }
};

struct FakePeer::Connection
{
    QTcpSocket* socket = nullptr;
    QByteArray buffer;
    bool answered = false;
    Answer answer;
    qint64 sent = 0;
    QElapsedTimer clock;
    QTimer* drip = nullptr;
};

QByteArray FakePeer::Request::header(const QByteArray& name) const
{
    const QList<QByteArray> lines = head.split('\n');
    for (const QByteArray& line : lines) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

QString FakePeer::Request::operation() const
{
    SoapEnvelope::Message message;
    QString error;
    if (!SoapEnvelope::parse(body, &message, &error))
        return QString();
    return message.payload.name;
}

FakePeer::FakePeer(QObject* parent)
    : QObject(parent)
    , server(new Server(this))
{
    connect(server, &QTcpServer::newConnection, this, &FakePeer::onConnection);
}

FakePeer::~FakePeer()
{
    for (Connection* c : qAsConst(open))
        delete c;
}

bool FakePeer::listen(const QString& address, quint16 port)
{
    return server->listen(QHostAddress(address), port);
}

bool FakePeer::useTls(const QByteArray& certificatePem, const QByteArray& keyPem)
{
    server->certificate = QSslCertificate(certificatePem, QSsl::Pem);
    server->key = QSslKey(keyPem, QSsl::Ec, QSsl::Pem);
    if (server->key.isNull())
        server->key = QSslKey(keyPem, QSsl::Rsa, QSsl::Pem);
    return !server->certificate.isNull() && !server->key.isNull();
}

quint16 FakePeer::port() const
{
    return server->serverPort();
}

void FakePeer::setHandler(Handler h)
{
    handler = std::move(h);
}

QStringList FakePeer::operations() const
{
    QStringList ops;
    for (const Request& r : received)
        ops << r.operation();
    return ops;
}

int FakePeer::openConnections() const
{
    return int(std::count_if(open.begin(), open.end(), [](const Connection* c) {
        return c->socket && c->socket->state() == QAbstractSocket::ConnectedState;
    }));
}

FakePeer::Answer FakePeer::reply(int status, const QByteArray& body, const QByteArray& contentType)
{
    Answer a;
    a.bytes = "HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Error") +
              "\r\nContent-Type: " + contentType + "\r\nContent-Length: " + QByteArray::number(body.size()) +
              "\r\nConnection: close\r\n\r\n" + body;
    return a;
}

FakePeer::Answer FakePeer::stall()
{
    Answer a;
    a.kind = Kind::Stall;
    return a;
}

void FakePeer::onConnection()
{
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        ++accepted;
        auto* c = new Connection;
        c->socket = socket;
        open.append(c);
        connect(socket, &QTcpSocket::readyRead, this, [this, c] { onRead(c); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, c] { pump(c); });
        connect(socket, &QTcpSocket::disconnected, this, [this, c] {
            if (c->drip)
                c->drip->stop();
            c->socket->deleteLater();
            c->socket = nullptr;
            open.removeOne(c);
            delete c;
        });
    }
}

void FakePeer::onRead(Connection* c)
{
    c->buffer += c->socket->readAll();
    if (c->answered)
        return;
    const int end = c->buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    Request r;
    r.head = c->buffer.left(end);
    const QList<QByteArray> first = r.head.left(r.head.indexOf("\r\n")).split(' ');
    r.method = first.value(0);
    r.path = first.value(1);
    const int length = r.header("Content-Length").toInt();
    if (c->buffer.size() < end + 4 + length)
        return;
    r.body = c->buffer.mid(end + 4, length);
    c->answered = true;
    received.append(r);
    act(c, handler ? handler(r) : reply(404, "no handler\n", "text/plain"));
}

void FakePeer::act(Connection* c, const Answer& answer)
{
    c->answer = answer;
    c->clock.start();
    switch (answer.kind) {
    case Kind::Reply:
        c->socket->write(answer.bytes);
        c->socket->disconnectFromHost();
        break;
    case Kind::Stall:
        break;
    case Kind::FloodHeaders:
        c->socket->write("HTTP/1.1 200 OK\r\n");
        pump(c);
        break;
    case Kind::EndlessBody:
        c->socket->write(answer.bytes);
        pump(c);
        break;
    case Kind::Drip:
        c->drip = new QTimer(c->socket);
        connect(c->drip, &QTimer::timeout, this, [c] {
            if (c->sent >= c->answer.bytes.size()) {
                c->drip->stop();
                c->socket->disconnectFromHost();
                return;
            }
            c->socket->write(c->answer.bytes.mid(int(c->sent), 1));
            ++c->sent;
        });
        c->drip->start(answer.dripIntervalMs);
        break;
    }
}

void FakePeer::pump(Connection* c)
{
    const Kind kind = c->answer.kind;
    if (!c->socket || (kind != Kind::FloodHeaders && kind != Kind::EndlessBody))
        return;
    if (c->sent >= c->answer.limitBytes || c->clock.elapsed() >= c->answer.limitMs) {
        c->socket->abort();
        return;
    }
    static const QByteArray headers = floodChunk();
    static const QByteArray body(64 * 1024, 'b');
    const QByteArray& chunk = kind == Kind::FloodHeaders ? headers : body;
    while (c->socket->bytesToWrite() < QueuedBytes && c->sent < c->answer.limitBytes) {
        c->socket->write(chunk);
        c->sent += chunk.size();
    }
}

FakeResponder::FakeResponder(QObject* parent)
    : QObject(parent)
    , socket(new QUdpSocket(this))
{
    connect(socket, &QUdpSocket::readyRead, this, [this] {
        while (socket->hasPendingDatagrams()) {
            QByteArray datagram(int(qMax<qint64>(0, socket->pendingDatagramSize())), '\0');
            QHostAddress from;
            quint16 fromPort = 0;
            socket->readDatagram(datagram.data(), datagram.size(), &from, &fromPort);
            WsDiscovery::Probe probe;
            QString error;
            if (!WsDiscovery::parseProbe(datagram, &probe, &error))
                continue;
            ++heard;
            const QByteArray answer = make ? make(probe.messageId) : QByteArray();
            if (!answer.isEmpty())
                socket->writeDatagram(answer, from, fromPort);
        }
    });
}

bool FakeResponder::bind(const QString& address, quint16 port)
{
    return socket->bind(QHostAddress(address), port);
}

quint16 FakeResponder::port() const
{
    return socket->localPort();
}
