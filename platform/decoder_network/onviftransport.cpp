#include "onviftransport.h"

#include "onvifnamespaces.h"

#include <QHostAddress>
#include <QLocale>
#include <QSaveFile>
#include <QUrl>

namespace pral_matrix {

using S = SoapEnvelope;

thread_local bool OnvifTransport::quiet = false;

OnvifTransport::Quiet::Quiet()
    : before(quiet)
{
    quiet = true;
}

OnvifTransport::Quiet::~Quiet()
{
    quiet = before;
}

int OnvifTransport::Call::code() const
{
    if (result != RESULT_OK)
        return result;
    if (!message.isFault)
        return RESULT_OK;
    if (message.fault.result != 0)
        return message.fault.result;
    if (message.fault.subcode == QLatin1String("NotAuthorized"))
        return RESULT_WRONG_PASSWORD;
    if (message.fault.subcode == QLatin1String("InvalidArgVal") ||
        message.fault.code == QLatin1String("Sender"))
        return RESULT_BAD_ARGUMENT;
    return RESULT_REFUSED;
}

OnvifTransport::OnvifTransport(const OnvifBackend::Options& options, Reporting reporting)
    : opts(options)
    , reporting(std::move(reporting))
{
}

// ---- sessions ----

void OnvifTransport::openSession(const QString& ip, const Session& session)
{
    QMutexLocker lock(&mutex);
    sessions.insert(ip, session);
}

bool OnvifTransport::closeSession(const QString& ip)
{
    QMutexLocker lock(&mutex);
    return sessions.remove(ip) > 0;
}

bool OnvifTransport::hasSession(const QString& ip) const
{
    QMutexLocker lock(&mutex);
    return sessions.contains(ip);
}

bool OnvifTransport::session(const QString& ip, Session* out) const
{
    QMutexLocker lock(&mutex);
    const auto it = sessions.constFind(ip);
    if (it == sessions.constEnd())
        return false;
    *out = *it;
    return true;
}

void OnvifTransport::setSessionPassword(const QString& ip, const QString& password)
{
    QMutexLocker lock(&mutex);
    const auto it = sessions.find(ip);
    if (it != sessions.end())
        it->password = password;
}

void OnvifTransport::setPort(const QString& ip, quint16 port)
{
    QMutexLocker lock(&mutex);
    ports.insert(ip, port);
}

quint16 OnvifTransport::port(const QString& ip) const
{
    QMutexLocker lock(&mutex);
    return ports.value(ip, opts.httpPort);
}

void OnvifTransport::rememberCredentials(const QString& ip, const QString& userName, const QString& password)
{
    QMutexLocker lock(&mutex);
    lastCredentials.insert(ip, qMakePair(userName, password));
}

bool OnvifTransport::credentials(const QString& ip, S::Token* token) const
{
    QMutexLocker lock(&mutex);
    const auto it = sessions.constFind(ip);
    if (it != sessions.constEnd()) {
        *token = it->token();
        return true;
    }
    const auto last = lastCredentials.constFind(ip);
    if (last == lastCredentials.constEnd())
        return false;
    *token = S::Token{last->first, last->second, 0};
    return true;
}

// ---- exchanges ----

QString OnvifTransport::serviceUrl(const QString& ip, const QString& service) const
{
    QMutexLocker lock(&mutex);
    const QString known = sessions.value(ip).xaddrs.value(service);
    if (!known.isEmpty())
        return known;
    return QStringLiteral("http://%1:%2/onvif/device_service").arg(ip).arg(ports.value(ip, opts.httpPort));
}

OnvifTransport::Call OnvifTransport::http(const QString& url, const QByteArray& method,
                                          const QByteArray& body, const QByteArray& contentType,
                                          qint64 maxBytes, QByteArray* reply,
                                          const std::function<bool(const char*, qint64)>& sink)
{
    using O = HttpClient::Outcome;
    HttpClient::Request request;
    request.url = url;
    request.method = method;
    request.body = body;
    request.contentType = contentType;
    request.connectTimeoutMs = opts.connectTimeoutMs;
    request.timeoutMs = opts.requestTimeoutMs;
    request.maxReplyBytes = maxBytes;
    request.sink = sink;
    const HttpClient::Reply r = HttpClient::perform(request, &abandon);
    Call call;
    call.httpStatus = r.status;
    switch (r.outcome) {
    case O::Ok:
        *reply = r.body;
        break;
    case O::Refused:
        call.result = OnvifBackend::ResultConnectionRefused;
        break;
    case O::Timeout:
        call.result = OnvifBackend::ResultTimeout;
        break;
    case O::ConnectionLost:
        call.result = OnvifBackend::ResultConnectionLost;
        break;
    case O::TooLarge:
        call.result = OnvifBackend::ResultBadReply;
        call.problem = tr("Decoder(%1) sent a reply of more than %2; it could not be read.")
                           .arg(QUrl(url).host(),
                                QLocale().formattedDataSize(maxBytes, 0, QLocale::DataSizeTraditionalFormat));
        break;
    case O::HeaderFlood:
        call.result = OnvifBackend::ResultBadReply;
        call.problem =
            tr("Decoder(%1) sent more than %2 header lines or %3 KB of headers; the call was ended.")
                .arg(QUrl(url).host())
                .arg(HttpClient::MaxHeaderLines)
                .arg(HttpClient::MaxHeaderBytes / 1024);
        break;
    case O::NotHttp:
    case O::BadUrl:
        call.result = OnvifBackend::ResultBadReply;
        break;
    case O::Abandoned:
        call.result = RESULT_UNAVAILABLE;
        break;
    case O::TlsFailed:
    case O::KeyMismatch:
        call.result = OnvifBackend::ResultNotTrusted;
        call.problem =
            tr("Decoder(%1) could not prove over TLS that it is the decoder known at this address; "
               "nothing was sent.")
                .arg(QUrl(url).host());
        break;
    case O::SinkFailed:
        call.result = RESULT_IO_ERROR;
        break;
    }
    return call;
}

QString OnvifTransport::onDevice(const QString& ip, const QString& url)
{
    QUrl u(url);
    if (u.isValid() && QHostAddress(u.host()).isEqual(QHostAddress(ip), QHostAddress::TolerantConversion))
        return url;
    // The device names another host: what we would send there (a file, a token) goes to the device instead.
    notice(ip, tr("Decoder(%1) named another host (%2) for its services; its calls stay at %1.")
                   .arg(ip, u.host().left(60)));
    u.setScheme(QStringLiteral("http"));
    u.setHost(ip);
    u.setPort(port(ip));
    u.setUserInfo(QString());
    return u.toString();
}

int OnvifTransport::download(const QString& ip, const QString& url, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return RESULT_IO_ERROR;
    QByteArray unused;
    const Call got = http(onDevice(ip, url), "GET", {}, {}, opts.maxFileBytes, &unused,
                          [&file](const char* data, qint64 size) { return file.write(data, size) == size; });
    if (got.result != RESULT_OK) {
        report(ip, got, false);
        return got.result;
    }
    if (got.httpStatus != 200)
        return RESULT_IO_ERROR;
    return file.commit() ? int(RESULT_OK) : int(RESULT_IO_ERROR);
}

OnvifTransport::Call OnvifTransport::soap(const QString& ip, const QString& service, const S::Writer& body,
                                          const S::Token* token)
{
    return soapAt(serviceUrl(ip, service), body, token);
}

OnvifTransport::Call OnvifTransport::soapAt(const QString& url, const S::Writer& body, const S::Token* token)
{
    QByteArray reply;
    Call call = http(url, "POST", S::build(body, token), "application/soap+xml; charset=utf-8",
                     opts.maxReplyBytes, &reply);
    if (call.result != RESULT_OK)
        return call;
    QString why;
    if (!S::parse(reply, &call.message, &why)) {
        call.result = OnvifBackend::ResultBadReply;
        return call;
    }
    // A fault comes with an error status; a success without one is no success.
    if (call.message.isFault != (call.httpStatus != 200)) {
        call.result = OnvifBackend::ResultBadReply;
        return call;
    }
    // A decoder's error codes are negative: a fault that gives 0 or more would read as success or as
    // another kind of number where the operator is shown it.
    const XmlNode& result = call.message.fault.detail.child(Ns::Wall, QStringLiteral("Result"));
    if (call.message.isFault && !result.isNull()) {
        bool isNumber = false;
        const int code = result.text.toInt(&isNumber);
        if (!isNumber || code >= 0) {
            call.result = OnvifBackend::ResultOutOfRange;
            call.problem =
                tr("Decoder(%1) reported %2, which this client cannot hold; the reply was refused.")
                    .arg(QUrl(url).host(),
                         tr("a fault with the result code %1 (a negative number)").arg(result.text.left(20)));
        }
    }
    return call;
}

OnvifTransport::Call OnvifTransport::sessionCall(const QString& ip, const QString& service,
                                                 const S::Writer& body)
{
    Call call;
    Session s;
    if (!session(ip, &s)) {
        call.result = RESULT_BAD_HANDLE;
        return call;
    }
    const S::Token token = s.token();
    call = soap(ip, service, body, &token);
    if (call.result != RESULT_OK)
        report(ip, call, true);
    return call;
}

// ---- reporting ----

void OnvifTransport::report(const QString& ip, int result, bool sessionLost, const QString& problem)
{
    if (quiet)
        return;
    QString text = problem;
    switch (result) {
    case OnvifBackend::ResultTimeout:
        text = tr("Decoder(%1) did not answer within %2 s.").arg(ip).arg(opts.requestTimeoutMs / 1000.0);
        break;
    case OnvifBackend::ResultConnectionRefused:
        text = tr("Decoder(%1) refused the connection.").arg(ip);
        break;
    case OnvifBackend::ResultBadReply:
        if (text.isEmpty())
            text = tr("Decoder(%1) sent a reply that could not be read.").arg(ip);
        break;
    case OnvifBackend::ResultConnectionLost:
        text = tr("Decoder(%1) closed the connection before it replied.").arg(ip);
        break;
    case OnvifBackend::ResultOutOfRange:
    case OnvifBackend::ResultNotTrusted:
        // The decoder answered: it is not lost, only this reply is refused.
        sessionLost = false;
        break;
    default:
        return;
    }
    if (!text.isEmpty())
        notice(ip, text);
    if (!sessionLost || !closeSession(ip))
        return;
    if (reporting.lost)
        reporting.lost(ip);
}

int OnvifTransport::refuse(const QString& ip, const QString& why)
{
    notice(ip,
           tr("Decoder(%1) reported %2, which this client cannot hold; the reply was refused.").arg(ip, why));
    return OnvifBackend::ResultOutOfRange;
}

void OnvifTransport::notice(const QString& ip, const QString& text)
{
    if (reporting.notice)
        reporting.notice(ip, text);
}

} // namespace pral_matrix
