#pragma once

#include "decoder_network_global.h"
#include "httpclient.h"
#include "matrixrecords.h"
#include "onvifbackend.h"
#include "soapenvelope.h"

#include <QCoreApplication>
#include <QMap>
#include <QMutex>

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
        /** Service namespace -> the address of that service on the decoder. */
        QMap<QString, QString> xaddrs;
        /** From our extension's capabilities; -1 and empty when the decoder does not tell. */
        int bootId = -1;
        QString configMarker;

        SoapEnvelope::Token token() const { return SoapEnvelope::Token{userName, password, clockOffsetMs}; }
        bool offers(const QString& service) const { return xaddrs.contains(service); }
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
    /** The HTTP port a decoder answered at (search); the default one until then. */
    void setPort(const QString& ip, quint16 port);
    quint16 port(const QString& ip) const;
    /** The credentials of ip's last login, for the calls that need them without a session. */
    void rememberCredentials(const QString& ip, const QString& userName, const QString& password);
    /** ip's session's token, or one of its last login's credentials; false when neither is known. */
    bool credentials(const QString& ip, SoapEnvelope::Token* token) const;

    // ---- exchanges ----

    /** The address of service on ip: the session's, or the device service at ip's port. */
    QString serviceUrl(const QString& ip, const QString& service) const;
    Call soap(const QString& ip, const QString& service, const SoapEnvelope::Writer& body,
              const SoapEnvelope::Token* token);
    Call soapAt(const QString& url, const SoapEnvelope::Writer& body, const SoapEnvelope::Token* token);
    /**
     * A call over ip's live session with its token; a transport failure ends the session as lost.
     * Without a session *call holds RESULT_BAD_HANDLE.
     */
    Call sessionCall(const QString& ip, const QString& service, const SoapEnvelope::Writer& body);
    /** One HTTP exchange; sink, when given, takes the body instead of *reply. */
    Call http(const QString& url, const QByteArray& method, const QByteArray& body,
              const QByteArray& contentType, qint64 maxBytes, QByteArray* reply,
              const std::function<bool(const char*, qint64)>& sink = {});
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
    /** ResultOutOfRange, after telling the operator which value of ip's reply was refused. */
    int refuse(const QString& ip, const QString& why);
    void notice(const QString& ip, const QString& text);

private:
    static thread_local bool quiet;

    OnvifBackend::Options opts;
    Reporting reporting;
    HttpClient::Abandonment abandon;

    mutable QMutex mutex;
    QMap<QString, Session> sessions;
    QMap<QString, quint16> ports;
    QMap<QString, QPair<QString, QString>> lastCredentials;
};

} // namespace pral_matrix
