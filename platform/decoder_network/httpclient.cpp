#include "httpclient.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QUrl>

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <mutex>

namespace pral_matrix {

namespace {

qint64 steadyNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void initialiseOnce()
{
    // curl_global_init is not safe against itself on every build of libcurl: once, here, for the process.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

/** What the callbacks of one call share with it. */
struct Exchange
{
    const HttpClient::Request* request = nullptr;
    const HttpClient::Abandonment* abandonment = nullptr;
    QByteArray body;
    qint64 bodyBytes = 0;
    int headerLines = 0;
    qint64 headerBytes = 0;
    bool tooLarge = false;
    bool headerFlood = false;
    bool sinkFailed = false;
    bool abandoned = false;
};

size_t onHeader(char* data, size_t size, size_t count, void* user)
{
    auto* x = static_cast<Exchange*>(user);
    const size_t length = size * count;
    x->headerBytes += qint64(length);
    if (++x->headerLines > HttpClient::MaxHeaderLines || x->headerBytes > HttpClient::MaxHeaderBytes) {
        x->headerFlood = true;
        return 0;
    }
    // A new status line starts a new response (after a Digest challenge): the body is the last one's.
    if (length >= 5 && qstrncmp(data, "HTTP/", 5) == 0) {
        x->body.clear();
        x->bodyBytes = 0;
    }
    return length;
}

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto* x = static_cast<Exchange*>(user);
    const size_t length = size * count;
    if (x->bodyBytes + qint64(length) > x->request->maxReplyBytes) {
        x->tooLarge = true;
        return 0;
    }
    x->bodyBytes += qint64(length);
    if (x->request->sink) {
        if (!x->request->sink(data, qint64(length))) {
            x->sinkFailed = true;
            return 0;
        }
        return length;
    }
    x->body.append(data, int(length));
    return length;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* x = static_cast<Exchange*>(user);
    if (x->abandonment && x->abandonment->isDue()) {
        x->abandoned = true;
        return 1;
    }
    return 0;
}

struct EasyDeleter
{
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter
{
    void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};
struct ListDeleter
{
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

HttpClient::Outcome outcomeOf(CURLcode code, const Exchange& x)
{
    using O = HttpClient::Outcome;
    if (x.abandoned)
        return O::Abandoned;
    if (x.headerFlood)
        return O::HeaderFlood;
    if (x.tooLarge)
        return O::TooLarge;
    if (x.sinkFailed)
        return O::SinkFailed;
    switch (code) {
    case CURLE_OK:
        return O::Ok;
    case CURLE_URL_MALFORMAT:
        return O::BadUrl;
    case CURLE_COULDNT_CONNECT:
        return O::Refused;
    case CURLE_OPERATION_TIMEDOUT:
        return O::Timeout;
    case CURLE_FILESIZE_EXCEEDED:
        return O::TooLarge;
    // The scheme was checked before: what libcurl calls an unsupported protocol now is an answer in
    // HTTP/0.9 or no HTTP at all.
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_WEIRD_SERVER_REPLY:
        return O::NotHttp;
    // libcurl keeps one header line up to 100 KB and refuses a longer one this way, before our
    // callback sees it.
    case CURLE_OUT_OF_MEMORY:
        return O::HeaderFlood;
    case CURLE_ABORTED_BY_CALLBACK:
        return O::Abandoned;
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return O::KeyMismatch;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return O::TlsFailed;
    default:
        return O::ConnectionLost;
    }
}

/** The peer certificate's key pin from what libcurl gathered of the chain; the first entry is the peer's. */
QByteArray peerKeyOf(CURL* easy)
{
    curl_certinfo* info = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CERTINFO, &info) != CURLE_OK || !info || info->num_of_certs < 1)
        return QByteArray();
    for (curl_slist* s = info->certinfo[0]; s; s = s->next) {
        if (qstrncmp(s->data, "Cert:", 5) == 0)
            return HttpClient::publicKeyPin(QByteArray(s->data + 5));
    }
    return QByteArray();
}

} // namespace

void HttpClient::Abandonment::abandonWithin(int graceMs)
{
    const qint64 due = steadyNowMs() + qMax(0, graceMs);
    qint64 current = dueAtMs.load();
    while ((current < 0 || due < current) && !dueAtMs.compare_exchange_weak(current, due)) {
    }
}

bool HttpClient::Abandonment::isDue() const
{
    const qint64 due = dueAtMs.load();
    return due >= 0 && steadyNowMs() >= due;
}

QByteArray HttpClient::publicKeyPin(const QByteArray& certificate)
{
    const bool pem = certificate.contains("-----BEGIN CERTIFICATE-----");
    const QSslCertificate cert(certificate, pem ? QSsl::Pem : QSsl::Der);
    const QByteArray spki = cert.isNull() ? QByteArray() : cert.publicKey().toDer();
    if (spki.isEmpty())
        return QByteArray();
    return "sha256//" + QCryptographicHash::hash(spki, QCryptographicHash::Sha256).toBase64();
}

HttpClient::Reply HttpClient::perform(const Request& request, const Abandonment* abandonment)
{
    Reply reply;
    QElapsedTimer clock;
    clock.start();
    const QUrl url(request.url);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        reply.outcome = Outcome::BadUrl;
        return reply;
    }
    if (abandonment && abandonment->isDue()) {
        reply.outcome = Outcome::Abandoned;
        return reply;
    }
    initialiseOnce();
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        reply.outcome = Outcome::ConnectionLost;
        reply.detail = QStringLiteral("libcurl could not start a call");
        return reply;
    }
    Exchange x;
    x.request = &request;
    x.abandonment = abandonment;
    char error[CURL_ERROR_SIZE] = {};
    CURL* h = easy.get();

    const QByteArray urlBytes = url.toEncoded();
    curl_easy_setopt(h, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
    // An empty proxy turns off the http_proxy family of variables too: nothing goes anywhere unasked.
    const QByteArray proxy = request.proxy.toUtf8();
    curl_easy_setopt(h, CURLOPT_PROXY, proxy.constData());
    const int connectMs = qMax(1, qMin(request.connectTimeoutMs, request.timeoutMs));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(connectMs));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(qMax(1, request.timeoutMs)));
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(request.maxReplyBytes));
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &x);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &x);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &x);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

    const QByteArray method = request.method.toUpper();
    if (method == "POST" || !request.body.isEmpty()) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.constData());
    }
    if (method != "GET" && method != "POST")
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.constData());

    curl_slist* rawHeaders = nullptr;
    const QByteArray contentType = "Content-Type: " + request.contentType;
    if (!request.contentType.isEmpty())
        rawHeaders = curl_slist_append(rawHeaders, contentType.constData());
    // A device answers at once; waiting a second for a "100 Continue" it never sends helps nobody.
    rawHeaders = curl_slist_append(rawHeaders, "Expect:");
    rawHeaders = curl_slist_append(rawHeaders, "Connection: close");
    std::unique_ptr<curl_slist, ListDeleter> headers(rawHeaders);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

    const QByteArray user = request.digestUser.toUtf8();
    const QByteArray password = request.digestPassword.toUtf8();
    if (!request.digestUser.isEmpty()) {
        // Digest only: a peer that asks for Basic would get the password in the clear.
        curl_easy_setopt(h, CURLOPT_HTTPAUTH, long(CURLAUTH_DIGEST));
        curl_easy_setopt(h, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(h, CURLOPT_PASSWORD, password.constData());
    }

    const QByteArray pin = request.pinnedKey;
    const QByteArray authorities = QFile::encodeName(request.certificateAuthorities);
    if (scheme == QLatin1String("https")) {
        curl_easy_setopt(h, CURLOPT_CERTINFO, 1L);
        if (request.trust == Trust::SystemCertificates) {
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
            if (!authorities.isEmpty()) {
                curl_easy_setopt(h, CURLOPT_CAINFO, authorities.constData());
                curl_easy_setopt(h, CURLOPT_CAPATH, nullptr);
            }
        } else {
            // The key is the identity: a device's certificate is its own, signed by nobody we know.
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
            curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
            if (request.trust == Trust::PinnedKey) {
                if (!pin.startsWith("sha256//")) {
                    reply.outcome = Outcome::KeyMismatch;
                    reply.detail = QStringLiteral("no key pinned");
                    return reply;
                }
                curl_easy_setopt(h, CURLOPT_PINNEDPUBLICKEY, pin.constData());
            }
        }
    }

    CURLcode result = CURLE_OK;
    curl_multi_add_handle(multi.get(), h);
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) {
            int queued = 0;
            CURLMsg* message = curl_multi_info_read(multi.get(), &queued);
            result = message && message->msg == CURLMSG_DONE ? message->data.result : CURLE_RECV_ERROR;
            break;
        }
        // The progress callback only runs while libcurl works: a silent peer is looked past here.
        if (abandonment && abandonment->isDue()) {
            x.abandoned = true;
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, PollSliceMs, nullptr);
    }
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (scheme == QLatin1String("https"))
        reply.peerKey = peerKeyOf(h);
    curl_multi_remove_handle(multi.get(), h);

    reply.outcome = outcomeOf(result, x);
    reply.status = int(status);
    reply.elapsedMs = clock.elapsed();
    if (reply.outcome == Outcome::Ok)
        reply.body = std::move(x.body);
    else
        reply.detail = QString::fromUtf8(error[0] ? error : curl_easy_strerror(result));
    return reply;
}

} // namespace pral_matrix
