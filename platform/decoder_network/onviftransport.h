#pragma once

#include "decoder_network_global.h"
#include "devicekeypins.h"
#include "httpclient.h"
#include "matrixrecords.h"
#include "onvifbackend.h"
#include "soapenvelope.h"

#include <QCoreApplication>
#include <QMap>
#include <QMutex>
#include <QSet>
#include <QUrl>

#include <functional>

namespace pral_matrix {

/**
 * @brief The exchanges of the ONVIF back end with its decoders: SOAP calls and
 * file transfers through HttpClient with the limits a hostile device needs,
 * the sessions they are made in, and what each failure tells the operator.
 *
 * Every service client calls through it, from the pool thread of the lane of
 * the decoder it asks; it is safe from any number of threads. Calls stay on a
 * decoder's own address whatever host its service addresses name, and every
 * failure a network brings ends as a code of OnvifBackend::NetworkResult with,
 * where the code says too little, a notice.
 */
class OnvifTransport
{
    Q_DECLARE_TR_FUNCTIONS(OnvifTransport)

public:
    /** What a login learnt of a decoder; the calls of its session use it. */
    struct Session
    {
        /** What GetDeviceInformation said: the identity a probe of this address must confirm. */
        QString deviceId;
        QString userName;
        QString password;
        /** Added to our clock so that a token's creation time reads as the decoder's time. */
        qint64 clockOffsetMs = 0;
        int matrixType = MATRIX_TYPE_UNKNOWN;
        QString version;
        /** Service namespace -> the address of that service on the decoder, where it names the decoder's
         * host. */
        QMap<QString, QString> xaddrs;
        /** The namespaces of every service GetServices named, wherever it said they answer. */
        QStringList services;
        /** From our extension's capabilities; -1 and empty when the decoder does not tell. */
        int bootId = -1;
        QString configMarker;
        /** A device of any maker: its WS-Discovery endpoint (GetEndpointReference), which a probe shows too.
         */
        QString endpoint;
        /** Over TLS: the key the decoder showed, which every call of the session must show again. */
        QByteArray key;

        SoapEnvelope::Token token() const { return SoapEnvelope::Token{userName, password, clockOffsetMs}; }
        bool offers(const QString& service) const { return services.contains(service); }
    };

    /** The outcome of one SOAP call: a transport result, and the message when one was read. */
    struct Call
    {
        int result = RESULT_OK;
        int httpStatus = 0;
        /** The notice for a failure that needs more words than its code. */
        QString problem;
        SoapEnvelope::Message message;
        bool ok() const { return result == RESULT_OK && !message.isFault; }
        /** 0, a network result, or what a fault says. */
        int code() const;
    };

    /** Where failures go: a notice for the operator, and a decoder whose session was lost. */
    struct Reporting
    {
        std::function<void(const QString& ip, const QString& text)> notice;
        std::function<void(const QString& ip)> lost;
    };

    /** While one lives on a thread, that thread's failures are no one's notice (a look the caller retries).
     */
    class Quiet
    {
    public:
        Quiet();
        ~Quiet();
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

    private:
        bool before;
    };

    OnvifTransport(const OnvifBackend::Options& options, Reporting reporting);

    const OnvifBackend::Options& options() const { return opts; }
    const HttpClient::Abandonment& abandonment() const { return abandon; }
    HttpClient::Abandonment& abandonment() { return abandon; }

    // ---- sessions ----

    void openSession(const QString& ip, const Session& session);
    /** Forgets the session here only: what the decoder knows is left alone. False when there was none. */
    bool closeSession(const QString& ip);
    bool hasSession(const QString& ip) const;
    /** A copy of ip's session; false when there is none. */
    bool session(const QString& ip, Session* out) const;
    /** The new password a decoder took, for the calls of its session from now on. */
    void setSessionPassword(const QString& ip, const QString& password);
    /**
     * Where the device service of the device a search found at ip answers (http or https, its port and
     * path), and the id it answered as: the key its TLS certificate must show is the one pinned for it.
     */
    void setDeviceService(const QString& ip, const QString& url, const QString& deviceId);
    /** The device service at ip: as the last search found it, else plain HTTP at the default port. */
    QUrl deviceService(const QString& ip) const;
    /** The decoder moved from one address to another: its service answers there the same way. */
    void moveDevice(const QString& from, const QString& to);
    /** The credentials of ip's last login, for the calls that need them without a session. */
    void rememberCredentials(const QString& ip, const QString& userName, const QString& password);
    /**
     * The credentials the service has for ip (its stored record's), for the calls that need some
     * without a session; an empty user name forgets them.
     */
    void offerCredentials(const QString& ip, const QString& userName, const QString& password);
    /**
     * A token for ip without asking it: its session's, else the credentials offered for it, else those of
     * its last login, with the clock offset last read from it; false when none is known.
     */
    bool credentials(const QString& ip, SoapEnvelope::Token* token) const;
    /** What ip's clock said against ours when it was last read; a token's creation time carries it. */
    void setClockOffset(const QString& ip, qint64 offsetMs);
    /** false when ip's clock was never read. */
    bool clockOffset(const QString& ip, qint64* offsetMs) const;

    // ---- TLS ----

    /** The decoders' keys trusted on first use. */
    DeviceKeyPins& keyPins() { return pins; }
    /**
     * The key ip's calls must show from now on (a session's, once its first call saw it); empty: the
     * key pinned for the device last found there, or any on first use.
     */
    void useKey(const QString& ip, const QByteArray& key);
    /** The key ip showed in its last exchange over TLS; empty over plain HTTP. */
    QByteArray seenKey(const QString& ip) const;
    /** The device id whose pinned key ip must show: the last search's, else the pins' own record. */
    QString expectedDevice(const QString& ip);

    // ---- exchanges ----

    /** The address of service on ip: the session's, or the device service at ip's port. */
    QString serviceUrl(const QString& ip, const QString& service) const;
    Call soap(const QString& ip, const QString& service, const SoapEnvelope::Writer& body,
              const SoapEnvelope::Token* token);
    /** timeoutMs 0: the back end's request timeout. */
    Call soapAt(const QString& url, const SoapEnvelope::Writer& body, const SoapEnvelope::Token* token,
                int timeoutMs = 0);
    /**
     * A call over ip's live session with its token; a transport failure ends the session as lost.
     * Without a session *call holds RESULT_BAD_HANDLE.
     */
    Call sessionCall(const QString& ip, const QString& service, const SoapEnvelope::Writer& body);
    /**
     * One HTTP exchange; sink, when given, takes the body instead of *reply. With a token, a peer that
     * challenges for HTTP Digest is answered with its credentials (the password itself never goes out); a
     * final 401 is RESULT_WRONG_PASSWORD.
     */
    Call http(const QString& url, const QByteArray& method, const QByteArray& body,
              const QByteArray& contentType, qint64 maxBytes, QByteArray* reply,
              const std::function<bool(const char*, qint64)>& sink = {},
              const SoapEnvelope::Token* token = nullptr, int timeoutMs = 0);
    /** url, if it names ip's host; otherwise the same path at ip, and a notice. */
    QString onDevice(const QString& ip, const QString& url);
    /** Downloads url (a decoder's file) into path, never holding more than a piece of it. */
    int download(const QString& ip, const QString& url, const QString& path);

    // ---- reporting ----

    /** Tells the operator what a failed exchange with ip means; sessionLost ends ip's session when it did. */
    void report(const QString& ip, int result, bool sessionLost, const QString& problem = QString());
    void report(const QString& ip, const Call& call, bool sessionLost)
    {
        report(ip, call.result, sessionLost, call.problem);
    }
    /** What the operator is told when ip shows a key other than the one pinned for it. */
    QString keyChanged(const QString& ip) const;
    /** ResultOutOfRange, after telling the operator which value of ip's reply was refused. */
    int refuse(const QString& ip, const QString& why);
    void notice(const QString& ip, const QString& text);

private:
    /** Whether the host answered a call with a Digest challenge before. */
    bool wantsDigest(const QString& host) const;

    static thread_local bool quiet;

    OnvifBackend::Options opts;
    Reporting reporting;
    HttpClient::Abandonment abandon;

    mutable QMutex mutex;
    QMap<QString, Session> sessions;
    QMap<QString, QString> services;
    QMap<QString, QString> foundAs;
    QMap<QString, QByteArray> keysInUse;
    QMap<QString, QByteArray> keysSeen;
    DeviceKeyPins pins;
    QMap<QString, QPair<QString, QString>> lastCredentials;
    QMap<QString, QPair<QString, QString>> offered;
    QMap<QString, qint64> clockOffsets;
    QSet<QString> digestHosts;
};

} // namespace pral_matrix
