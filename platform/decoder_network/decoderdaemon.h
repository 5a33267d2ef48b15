#pragma once

#include "decoder_network_global.h"
#include "httprequestparser.h"
#include "matrixrecords.h"

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <memory>

class QTcpServer;
class QTemporaryDir;
class QTcpSocket;
class QUdpSocket;

namespace pral_matrix {

class SimulatedFleet;
class XmlNode;
struct DaemonConnection;

/**
 * @brief Serves a simulated decoder fleet over ONVIF, each decoder at its own
 * loopback address: SOAP 1.2 over HTTP for the calls, WS-Discovery by
 * unicast UDP for search.
 *
 * The daemon owns a SimulatedFleet made from the same fleet JSON as the
 * in-process back end and answers every request by calling that fleet, so
 * both transports share one decoder model and its fault injection. It binds
 * to loopback addresses only. The decoders' addresses in the JSON are
 * replaced by loopback ones (placeOnLoopback); each decoder object may carry
 * a "daemon" object with faults only a network has:
 *
 *     "daemon": {
 *       "address": "127.0.0.9",   its loopback address (default: the next free from 127.0.0.2)
 *       "refuse": true,           nothing listens: connections are refused, probes unanswered
 *       "stallMs": 5000,          requests and probes are read but never answered; closed after stallMs
 *       "dropMidReply": true,     half of every reply is sent, then the connection is cut
 *       "bytesPerSecond": 2000    replies trickle at this rate
 *     }
 *
 * Everything a peer sends is bounded before it costs much (the limits are
 * named at the top of decoderdaemon.cpp): connections in all and per peer
 * address at each decoder, the request head, its deadline, and the body by
 * path: a SOAP call never buffers more than maxSoapBytes, and only an upload
 * path whose token an authenticated call issued takes an upload's worth.
 * Credentials are checked on every call that needs them: a wrong password
 * counts towards the decoder's lock-out wherever it is sent, a locked
 * decoder refuses every such call, and a request without credentials is
 * never counted. The calls anyone may make (GetSystemDateAndTime,
 * GetServices, and the reads of the addressing that search tools need) stay
 * open. A token is accepted once within its time window, however many calls
 * come between.
 *
 * Lives on one thread, which must run an event loop; all members belong to it.
 */
class DECODER_NETWORK_EXPORT DecoderDaemon : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        /** 0: any free port, the same for every decoder. */
        quint16 port = 0;
        /** UDP port of discovery; 0: the HTTP port's number. */
        quint16 discoveryPort = 0;
        qint64 maxSoapBytes = 1024 * 1024;
        qint64 maxUploadBytes = 64 * 1024 * 1024;
        /** A request not complete in this time is answered 408 and closed. */
        int requestTimeoutMs = 10000;
    };

    struct NetworkFault
    {
        bool refuse = false;
        int stallMs = 0;
        bool dropMidReply = false;
        int bytesPerSecond = 0;
    };

    /**
     * The fleet JSON with every decoder moved to its loopback address, and
     * *moved mapping each former address to the new one; empty and *error
     * when an address asked for is not loopback or is used twice.
     */
    static QByteArray placeOnLoopback(const QByteArray& fleetJson, QMap<QString, QString>* moved,
                                      QString* error);

    explicit DecoderDaemon(QObject* parent = nullptr);
    ~DecoderDaemon() override;

    /** Loads the fleet and listens; false and *error when the fleet is bad or a port cannot be bound. */
    bool start(const QByteArray& fleetJson, const Options& options, QString* error);
    void stop();

    quint16 port() const { return httpPort; }
    quint16 discoveryPort() const { return udpPort; }
    /** Current addresses of the decoders, in fleet order. */
    QStringList addresses() const;
    SimulatedFleet* fleet() const { return model.get(); }
    void setNetworkFault(const QString& ip, const NetworkFault& fault);

private:
    struct Upgrade;
    struct Endpoint;
    /** What the credentials of a request prove. */
    enum class Proof
    {
        /** No credentials were sent. */
        None,
        Valid,
        /** Another user or password: a failure that counts. */
        Wrong,
        /** The right password in a token outside its time window. */
        Stale,
        /** The right password in a token accepted before. */
        Replayed,
        /** The decoder holds as many tokens of the window as it may. */
        Busy,
    };
    struct Reply
    {
        int status = 200;
        QByteArray contentType = "application/soap+xml; charset=utf-8";
        QByteArray body;
        /** Runs once the reply has been written (a decoder that moves, say). */
        std::function<void()> after;
        /** Nothing is written: the connection is cut, as a transfer that breaks off is. */
        bool cut = false;
    };

    Endpoint* endpoint(const QString& ip) const;
    bool listen(Endpoint* e, QString* error);
    void unlisten(Endpoint* e);
    void onConnection(Endpoint* e);
    void onRead(Endpoint* e, DaemonConnection* c);
    void onDeadline(Endpoint* e, DaemonConnection* c);
    void onDatagram(Endpoint* e);
    /** What a request may bring, decided from its head; reserves what it admits. */
    HttpRequestParser::Admission admit(Endpoint* e, DaemonConnection* c, const HttpRequestParser& head);
    /** Gives back what the connection holds of the shared budgets. */
    void release(DaemonConnection* c);
    void send(Endpoint* e, DaemonConnection* c, Reply reply);
    Reply handle(Endpoint* e, DaemonConnection* c);
    Reply handleSoap(Endpoint* e, const QByteArray& body);
    Reply handleUpload(Endpoint* e, const QString& token, const QString& purpose, const QByteArray& body);
    Reply handleDownload(Endpoint* e, const QString& token);
    Proof prove(Endpoint* e, const QString& userName, const QByteArray& digest, const QByteArray& nonce,
                const QString& created, bool isDigest);
    void removePictures(Endpoint* e);
    MatrixInfo info(const QString& ip) const;
    void refreshInfo();
    QString xaddr(const Endpoint* e, const QString& path) const;
    QString issueToken(Endpoint* e, const QString& purpose);

    std::unique_ptr<SimulatedFleet> model;
    Options opts;
    quint16 httpPort = 0;
    quint16 udpPort = 0;
    QList<Endpoint*> endpoints;
    QMap<QString, MatrixInfo> infos;
    quint32 instanceId = 1;
    quint32 messageNumber = 0;
    std::unique_ptr<QTemporaryDir> files;
    int connections = 0;
    qint64 reservedSoapBytes = 0;
    int uploadsInFlight = 0;
    int storedPictures = 0;
    qint64 storedPictureBytes = 0;
};

} // namespace pral_matrix
