#include "onviftransport.h"

#include "onvifnamespaces.h"

#include <QDir>
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
    , pins(options.keyPinFile)
{
}

// ---- sessions ----

void OnvifTransport::openSession(const QString& ip, const Session& session)
{
    QMutexLocker lock(&mutex);
    sessions.insert(ip, session);
    if (!session.key.isEmpty())
        keysInUse.insert(ip, session.key);
}

bool OnvifTransport::closeSession(const QString& ip)
{
    QMutexLocker lock(&mutex);
    keysInUse.remove(ip);
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

void OnvifTransport::setDeviceService(const QString& ip, const QString& url, const QString& deviceId)
{
    QMutexLocker lock(&mutex);
    services.insert(ip, url);
    foundAs.insert(ip, deviceId);
}

QUrl OnvifTransport::deviceService(const QString& ip) const
{
    QMutexLocker lock(&mutex);
    const QUrl known(services.value(ip));
    if (known.isValid() && !known.host().isEmpty())
        return known;
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(ip);
    url.setPort(opts.httpPort);
    url.setPath(QStringLiteral("/onvif/device_service"));
    return url;
}

void OnvifTransport::moveDevice(const QString& from, const QString& to)
{
    QUrl url = deviceService(from);
    url.setHost(to);
    QMutexLocker lock(&mutex);
    services.insert(to, url.toString());
    foundAs.insert(to, foundAs.value(from));
}

// ---- TLS ----

void OnvifTransport::useKey(const QString& ip, const QByteArray& key)
{
    QMutexLocker lock(&mutex);
    if (key.isEmpty())
        keysInUse.remove(ip);
    else
        keysInUse.insert(ip, key);
}

QByteArray OnvifTransport::seenKey(const QString& ip) const
{
    QMutexLocker lock(&mutex);
    return keysSeen.value(ip);
}

QString OnvifTransport::expectedDevice(const QString& ip)
{
    {
        QMutexLocker lock(&mutex);
        const QString found = foundAs.value(ip);
        if (!found.isEmpty())
            return found;
    }
    return pins.deviceAt(ip);
}

void OnvifTransport::rememberCredentials(const QString& ip, const QString& userName, const QString& password)
{
    QMutexLocker lock(&mutex);
    lastCredentials.insert(ip, qMakePair(userName, password));
}

void OnvifTransport::offerCredentials(const QString& ip, const QString& userName, const QString& password)
{
    QMutexLocker lock(&mutex);
    if (userName.isEmpty())
        offered.remove(ip);
    else
        offered.insert(ip, qMakePair(userName, password));
}

bool OnvifTransport::credentials(const QString& ip, S::Token* token) const
{
    QMutexLocker lock(&mutex);
    const auto it = sessions.constFind(ip);
    if (it != sessions.constEnd()) {
        *token = it->token();
        return true;
    }
    // The service's own record of the decoder before a login's: the operator may have corrected it since.
    auto known = offered.constFind(ip);
    if (known == offered.constEnd())
        known = lastCredentials.constFind(ip);
    if (known == lastCredentials.constEnd())
        return false;
    *token = S::Token{known->first, known->second, clockOffsets.value(ip)};
    return true;
}

void OnvifTransport::setClockOffset(const QString& ip, qint64 offsetMs)
{
    QMutexLocker lock(&mutex);
    clockOffsets.insert(ip, offsetMs);
}

bool OnvifTransport::clockOffset(const QString& ip, qint64* offsetMs) const
{
    QMutexLocker lock(&mutex);
    const auto it = clockOffsets.constFind(ip);
    if (it == clockOffsets.constEnd())
        return false;
    *offsetMs = *it;
    return true;
}

// ---- exchanges ----

bool OnvifTransport::wantsDigest(const QString& host) const
{
    QMutexLocker lock(&mutex);
    return digestHosts.contains(host);
}

QString OnvifTransport::serviceUrl(const QString& ip, const QString& service) const
{
    {
        QMutexLocker lock(&mutex);
        const QString known = sessions.value(ip).xaddrs.value(service);
        if (!known.isEmpty())
            return known;
    }
    return deviceService(ip).toString();
}

OnvifTransport::Call OnvifTransport::http(const QString& url, const QByteArray& method,
                                          const QByteArray& body, const QByteArray& contentType,
                                          qint64 maxBytes, QByteArray* reply,
                                          const std::function<bool(const char*, qint64)>& sink,
                                          const S::Token* token, int timeoutMs)
{
    using O = HttpClient::Outcome;
    HttpClient::Request request;
    request.url = url;
    request.method = method;
    request.body = body;
    request.contentType = contentType;
    request.connectTimeoutMs = opts.connectTimeoutMs;
    request.timeoutMs = timeoutMs > 0 ? qMin(timeoutMs, opts.requestTimeoutMs) : opts.requestTimeoutMs;
    request.maxReplyBytes = maxBytes;
    request.sink = sink;
    // libcurl answers a Digest challenge only after a first round without the body: a device that takes
    // our UsernameToken would read that empty request as a broken call. So the call goes as it is, and
    // only a device that challenged is asked with Digest, from then on straight away.
    const QUrl target(url);
    const QString host = target.host();
    const bool tls = target.scheme() == QLatin1String("https");
    QByteArray key;
    if (tls) {
        // The key the device showed before, or the one pinned for the device found here; any, the first time.
        {
            QMutexLocker lock(&mutex);
            key = keysInUse.value(host);
        }
        if (key.isEmpty()) {
            const QString device = expectedDevice(host);
            if (!device.isEmpty())
                key = pins.key(device);
        }
        request.trust = key.isEmpty() ? HttpClient::Trust::FirstUse : HttpClient::Trust::PinnedKey;
        request.pinnedKey = key;
    }
    const auto withDigest = [&request, token] {
        request.digestUser = token->userName;
        request.digestPassword = token->password;
    };
    const bool digest = token && wantsDigest(host);
    if (digest)
        withDigest();
    HttpClient::Reply r = HttpClient::perform(request, &abandon);
    if (token && !digest && r.outcome == HttpClient::Outcome::Ok && r.status == 401) {
        {
            QMutexLocker lock(&mutex);
            digestHosts.insert(host);
        }
        withDigest();
        r = HttpClient::perform(request, &abandon);
    }
    if (tls && !r.peerKey.isEmpty()) {
        QMutexLocker lock(&mutex);
        keysSeen.insert(host, r.peerKey);
    }
    Call call;
    call.httpStatus = r.status;
    switch (r.outcome) {
    case O::Ok:
        // Still refused once a Digest challenge was answered, or one that asked for what we never send.
        if (r.status == 401)
            call.result = RESULT_WRONG_PASSWORD;
        else
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
    case O::KeyMismatch:
        call.result = OnvifBackend::ResultNotTrusted;
        call.problem = keyChanged(host);
        break;
    case O::TlsFailed:
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
    const QUrl own = deviceService(ip);
    u.setScheme(own.scheme());
    u.setHost(ip);
    u.setPort(own.port());
    u.setUserInfo(QString());
    return u.toString();
}

QString OnvifTransport::keyChanged(const QString& ip) const
{
    return tr("Decoder(%1) showed another TLS key than the one it was first trusted with: it may not be the "
              "decoder it claims to be, and nothing was sent to it. If its certificate was renewed on "
              "purpose, remove its entry from %2 and log in again.")
        .arg(ip, QDir::toNativeSeparators(opts.keyPinFile));
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

OnvifTransport::Call OnvifTransport::soapAt(const QString& url, const S::Writer& body, const S::Token* token,
                                            int timeoutMs)
{
    QByteArray reply;
    Call call = http(url, "POST", S::build(body, token), "application/soap+xml; charset=utf-8",
                     opts.maxReplyBytes, &reply, {}, token, timeoutMs);
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
