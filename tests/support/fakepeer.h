#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class QTcpServer;
class QTcpSocket;
class QUdpSocket;

/**
 * @brief A device on a loopback address as a test makes it: an HTTP peer
 * that the test's event loop runs, honest or hostile by the answer that the
 * test's handler picks for each request, and a WS-Discovery responder.
 *
 * The hostile answers keep their own sending bounded (limitBytes, limitMs),
 * so that a client that fails to stop them still ends the test instead of
 * filling the machine.
 */
class FakePeer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        /** The request line and the header lines. */
        QByteArray head;
        QByteArray body;
        /** A header's value, or empty. */
        QByteArray header(const QByteArray& name) const;
        /** The local name of the first element of a SOAP body ("GetSystemDateAndTime"); empty otherwise. */
        QString operation() const;
    };

    enum class Kind
    {
        /** bytes is the whole response; the connection closes after it. */
        Reply,
        /** Nothing is ever sent; the connection stays open. */
        Stall,
        /** A status line, then header lines without end. */
        FloodHeaders,
        /** bytes, one byte every dripIntervalMs. */
        Drip,
        /** bytes (a status line and headers), then body bytes without end. */
        EndlessBody,
    };

    struct Answer
    {
        Kind kind = Kind::Reply;
        QByteArray bytes;
        int dripIntervalMs = 100;
        qint64 limitBytes = 512LL * 1024 * 1024;
        int limitMs = 10000;
    };
    using Handler = std::function<Answer(const Request&)>;

    explicit FakePeer(QObject* parent = nullptr);
    ~FakePeer() override;

    /** Listens on address (port 0: any free one). */
    bool listen(const QString& address, quint16 port = 0);
    /** Speaks HTTPS from now on, with this certificate and its private key (PEM); false when unreadable. */
    bool useTls(const QByteArray& certificatePem, const QByteArray& keyPem);
    quint16 port() const;
    void setHandler(Handler handler);
    QList<Request> requests() const { return received; }
    QStringList operations() const;
    int connections() const { return accepted; }
    /** Connections that are still open. */
    int openConnections() const;

    static Answer reply(int status, const QByteArray& body,
                        const QByteArray& contentType = "application/soap+xml; charset=utf-8");
    /** Reads the request, never answers. */
    static Answer stall();

private:
    struct Connection;
    void onConnection();
    void onRead(Connection* c);
    void act(Connection* c, const Answer& answer);
    void pump(Connection* c);

    class Server;
    Server* server = nullptr;
    Handler handler;
    QList<Request> received;
    QList<Connection*> open;
    int accepted = 0;
};

/**
 * @brief A WS-Discovery responder on a loopback address: every probe gets
 * what the test's function makes of the probe's message id (nothing when it
 * returns an empty datagram).
 */
class FakeResponder : public QObject
{
    Q_OBJECT

public:
    using Answer = std::function<QByteArray(const QString& messageId)>;

    explicit FakeResponder(QObject* parent = nullptr);
    /** Binds address at port (0: any free one). */
    bool bind(const QString& address, quint16 port);
    quint16 port() const;
    void setAnswer(Answer answer) { make = std::move(answer); }
    int probes() const { return heard; }

private:
    QUdpSocket* socket = nullptr;
    Answer make;
    int heard = 0;
};
