#pragma once

#include "daemoncontext.h"
#include "daemonendpoint.h"
#include "daemonreply.h"
#include "decoder_network_global.h"
#include "digestauthentication.h"
#include "httprequestparser.h"
#include "matrixrecords.h"
#include "soapenvelope.h"

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <memory>
#include <vector>

class QTcpServer;
class QTemporaryDir;
class QTcpSocket;
class QUdpSocket;

namespace pral_matrix {

class DaemonServiceHandler;
class DiscoveryHandler;
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
 * A decoder that restarts (SimulatedFleet's restartMs) cuts every connection
 * and answers no probe until it is up again. Our extension's capabilities
 * tell its boot id and the marker of its configuration; ConfirmNetworkChange,
 * sent to a decoder's new address, keeps it there (see SimulatedFleet for the
 * window after which it goes back, and follows it back).
 *
 * The daemon itself is the dispatcher: connections, HTTP, credentials,
 * lock-out and replay, and which service a request goes to (by the namespace
 * of its body's element). Each ONVIF service is served by a handler of its
 * own (DeviceServiceHandler, DeviceIoServiceHandler, ExtensionServiceHandler;
 * DiscoveryHandler for probes), which sees the daemon through DaemonContext.
 *
 * Lives on one thread, which must run an event loop; all members belong to it.
 */
class DECODER_NETWORK_EXPORT DecoderDaemon : public QObject, private DaemonContext
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
        /** How long a new address waits for its confirmation; -1: what the fleet file says. */
        int confirmWindowMs = -1;
        /** Standard ONVIF services only: no extension service of ours, no private scopes. */
        bool standardOnly = false;
    };

    using NetworkFault = DaemonEndpoint::NetworkFault;

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

    DaemonEndpoint* endpoint(const QString& ip) const;
    bool listen(DaemonEndpoint* e, QString* error);
    void unlisten(DaemonEndpoint* e);
    void onConnection(DaemonEndpoint* e);
    void onRead(DaemonEndpoint* e, DaemonConnection* c);
    void onDeadline(DaemonEndpoint* e, DaemonConnection* c);
    void onDatagram(DaemonEndpoint* e);
    /** What a request may bring, decided from its head; reserves what it admits. */
    HttpRequestParser::Admission admit(DaemonEndpoint* e, DaemonConnection* c, const HttpRequestParser& head);
    /** Gives back what the connection holds of the shared budgets. */
    void release(DaemonConnection* c);
    void send(DaemonEndpoint* e, DaemonConnection* c, DaemonReply reply);
    DaemonReply handle(DaemonEndpoint* e, DaemonConnection* c);
    bool isSoapPath(const QByteArray& path) const;
    /** The handler of the service in namespace ns, or nullptr. */
    DaemonServiceHandler* handler(const QString& ns) const;
    DaemonReply handleSoap(DaemonEndpoint* e, const HttpRequestParser& request);
    DaemonReply handleUpload(DaemonEndpoint* e, const QString& token, const QString& purpose,
                             const QByteArray& body);
    DaemonReply handleDownload(DaemonEndpoint* e, const QString& token);
    struct Proven
    {
        Proof proof = Proof::None;
        /** The user the credentials name. */
        QString user;
        /** They came as HTTP Digest rather than a UsernameToken. */
        bool digest = false;
    };
    /** What the UsernameToken, or else the HTTP Digest Authorization header, of a request proves. */
    Proven prove(DaemonEndpoint* e, const SoapEnvelope::ReceivedToken& token,
                 const HttpRequestParser& request);
    static QString passwordOf(const DaemonEndpoint* e, const QString& user, bool* known);
    static QString levelOf(const DaemonEndpoint* e, const QString& user);
    /** reply as a 401 with the Digest challenges. */
    DaemonReply challenge(DaemonReply reply, bool stale) const;
    void makeHandlers();
    /** The decoder at from went back to to by itself: it is served there from now on. */
    void follow(const QString& from, const QString& to);
    /** false while the decoder behind e is restarting. */
    bool answering(const DaemonEndpoint* e) const;

    // DaemonContext
    SimulatedFleet& decoders() override;
    MatrixInfo info(const QString& ip) const override;
    void refreshInfo() override;
    QString xaddr(const DaemonEndpoint& e, const QString& path) const override;
    QString issueToken(DaemonEndpoint& e, const QString& purpose) override;
    void moveAfterReply(DaemonEndpoint& e, const QString& newIp, DaemonReply* reply) override;
    bool storePicture(DaemonEndpoint& e, const QString& name, const QByteArray& data,
                      DaemonReply* refusal) override;
    void removePictures(DaemonEndpoint& e) override;
    bool resolvePictures(const DaemonEndpoint& e, QList<WindowSourceInfo>* sources) const override;
    QList<const DaemonServiceHandler*> services() const override;
    bool standardOnly() const override;
    QVector<DeviceCodec::Scope> scopes(const DaemonEndpoint& e) const override;

    std::unique_ptr<SimulatedFleet> model;
    Options opts;
    quint16 httpPort = 0;
    quint16 udpPort = 0;
    QList<DaemonEndpoint*> endpoints;
    QMap<QString, MatrixInfo> infos;
    std::vector<std::unique_ptr<DaemonServiceHandler>> handlers;
    std::unique_ptr<DiscoveryHandler> discovery;
    DigestAuthentication digest;
    std::unique_ptr<QTemporaryDir> files;
    int connections = 0;
    qint64 reservedSoapBytes = 0;
    int uploadsInFlight = 0;
    int storedPictures = 0;
    qint64 storedPictureBytes = 0;
};

} // namespace pral_matrix
