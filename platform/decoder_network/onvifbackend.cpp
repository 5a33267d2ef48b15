#include "onvifbackend.h"

#include "devicediscovery.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "wsdiscovery.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QLocale>
#include <QSaveFile>
#include <QThread>
#include <QUrl>

#include <cstring>
#include <deque>

namespace pral_matrix {

namespace {

using S = SoapEnvelope;

// A back end that is replaced or destroyed gives its calls in flight this long before it abandons them.
constexpr int AbandonGraceMs = 100;

QString fieldText(const char* field, size_t size)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(size))));
}

template <size_t N>
void putField(char (&field)[N], const QString& text)
{
    const QByteArray bytes = text.toLatin1().left(int(N) - 1);
    std::memset(field, 0, N);
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

/** The single element of a request in ns, with text children. */
S::Writer element(const QString& ns, const QString& name, const QList<QPair<QString, QString>>& children = {})
{
    return [ns, name, children](QXmlStreamWriter& w) {
        w.writeStartElement(ns, name);
        for (const auto& c : children)
            w.writeTextElement(ns, c.first, c.second);
        w.writeEndElement();
    };
}

S::Writer element(const QString& ns, const QString& name, const S::Writer& content)
{
    return [ns, name, content](QXmlStreamWriter& w) {
        w.writeStartElement(ns, name);
        content(w);
        w.writeEndElement();
    };
}

QDateTime lineTime(const QString& line)
{
    return QDateTime::fromString(line.left(19), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

/** What a decoder answered to a file it was sent: 0, or the code its "result" line names. */
int uploadResult(int status, const QByteArray& reply)
{
    if (status == 200)
        return RESULT_OK;
    bool ok = false;
    const int code = reply.trimmed().mid(7).toInt(&ok);
    return reply.startsWith("result ") && ok && code != 0 ? code : int(RESULT_BAD_ARGUMENT);
}

} // namespace

struct OnvifBackend::Lane
{
    std::deque<std::function<void()>> jobs;
    bool running = false;
};

int OnvifBackend::Call::code() const
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

bool OnvifBackend::parseTargets(const QString& text, QStringList* addresses, QString* error)
{
    addresses->clear();
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& raw : parts) {
        const QString part = raw.trimmed();
        const QString first = part.section(QLatin1Char('-'), 0, 0);
        QString last = part.contains(QLatin1Char('-')) ? part.section(QLatin1Char('-'), 1) : first;
        // "127.0.0.2-9": the last octet only.
        if (!last.contains(QLatin1Char('.')))
            last = first.section(QLatin1Char('.'), 0, 2) + QLatin1Char('.') + last;
        QHostAddress from;
        QHostAddress to;
        if (!from.setAddress(first) || !to.setAddress(last) ||
            from.protocol() != QAbstractSocket::IPv4Protocol ||
            to.protocol() != QAbstractSocket::IPv4Protocol || to.toIPv4Address() < from.toIPv4Address()) {
            *error = QStringLiteral("\"%1\" is not an IPv4 address or range").arg(part);
            return false;
        }
        if (to.toIPv4Address() - from.toIPv4Address() + quint64(addresses->size()) >= 65536) {
            *error = QStringLiteral("more than 65536 addresses");
            return false;
        }
        for (quint32 a = from.toIPv4Address(); a <= to.toIPv4Address() && a >= from.toIPv4Address(); ++a)
            addresses->append(QHostAddress(a).toString());
    }
    if (addresses->isEmpty()) {
        *error = QStringLiteral("no address");
        return false;
    }
    return true;
}

OnvifBackend::OnvifBackend(const Options& options)
    : opts(options)
{
    pool.setMaxThreadCount(qMax(1, opts.poolSize));
    pool.setExpiryTimeout(30000);
}

OnvifBackend::~OnvifBackend()
{
    abandonCalls(AbandonGraceMs);
    pool.waitForDone();
}

void OnvifBackend::abandonCalls(int graceMs)
{
    abandonment.abandonWithin(graceMs);
}

// ---- lanes ----

void OnvifBackend::enqueue(const QString& ip, std::function<void()> job)
{
    std::shared_ptr<Lane> lane;
    {
        QMutexLocker lock(&mutex);
        std::shared_ptr<Lane>& slot = lanes[ip];
        if (!slot)
            slot = std::make_shared<Lane>();
        slot->jobs.push_back(std::move(job));
        if (slot->running)
            return;
        slot->running = true;
        lane = slot;
    }
    pool.start([this, lane] {
        for (;;) {
            std::function<void()> next;
            {
                QMutexLocker lock(&mutex);
                if (lane->jobs.empty()) {
                    lane->running = false;
                    return;
                }
                next = std::move(lane->jobs.front());
                lane->jobs.pop_front();
            }
            next();
        }
    });
}

int OnvifBackend::inLane(const QString& ip, const std::function<int()>& fn)
{
    auto promise = std::make_shared<std::promise<int>>();
    std::future<int> done = promise->get_future();
    enqueue(ip, [promise, fn] { promise->set_value(fn()); });
    return done.get();
}

std::shared_future<OnvifBackend::LoginOutcome>
OnvifBackend::submitLogin(const QString& ip, const QString& userName, const QString& password)
{
    auto promise = std::make_shared<std::promise<LoginOutcome>>();
    std::shared_future<LoginOutcome> result = promise->get_future().share();
    enqueue(ip, [this, promise, ip, userName, password] {
        promise->set_value(abandonment.isDue() ? LoginOutcome() : doLogin(ip, userName, password));
    });
    return result;
}

// ---- transport ----

QString OnvifBackend::serviceUrl(const QString& ip, const QString& service) const
{
    QMutexLocker lock(&mutex);
    const QString known = sessions.value(ip).xaddrs.value(service);
    if (!known.isEmpty())
        return known;
    return QStringLiteral("http://%1:%2/onvif/device_service").arg(ip).arg(ports.value(ip, opts.httpPort));
}

OnvifBackend::Call OnvifBackend::http(const QString& url, const QByteArray& method, const QByteArray& body,
                                      const QByteArray& contentType, qint64 maxBytes, QByteArray* reply,
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
    const HttpClient::Reply r = HttpClient::perform(request, &abandonment);
    Call call;
    call.httpStatus = r.status;
    switch (r.outcome) {
    case O::Ok:
        *reply = r.body;
        break;
    case O::Refused:
        call.result = ResultConnectionRefused;
        break;
    case O::Timeout:
        call.result = ResultTimeout;
        break;
    case O::ConnectionLost:
        call.result = ResultConnectionLost;
        break;
    case O::TooLarge:
        call.result = ResultBadReply;
        call.problem = tr("Decoder(%1) sent a reply of more than %2; it could not be read.")
                           .arg(QUrl(url).host(),
                                QLocale().formattedDataSize(maxBytes, 0, QLocale::DataSizeTraditionalFormat));
        break;
    case O::HeaderFlood:
        call.result = ResultBadReply;
        call.problem =
            tr("Decoder(%1) sent more than %2 header lines or %3 KB of headers; the call was ended.")
                .arg(QUrl(url).host())
                .arg(HttpClient::MaxHeaderLines)
                .arg(HttpClient::MaxHeaderBytes / 1024);
        break;
    case O::NotHttp:
    case O::BadUrl:
        call.result = ResultBadReply;
        break;
    case O::Abandoned:
        call.result = RESULT_UNAVAILABLE;
        break;
    case O::TlsFailed:
    case O::KeyMismatch:
        call.result = ResultNotTrusted;
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

QString OnvifBackend::onDevice(const QString& ip, const QString& url)
{
    QUrl u(url);
    if (u.isValid() && QHostAddress(u.host()).isEqual(QHostAddress(ip), QHostAddress::TolerantConversion))
        return url;
    // The device names another host: what we would send there (a file, a token) goes to the device instead.
    const quint16 port = [this, &ip] {
        QMutexLocker lock(&mutex);
        return ports.value(ip, opts.httpPort);
    }();
    emit signalNetworkProblem(
        ip, tr("Decoder(%1) named another host (%2) for its services; its calls stay at %1.")
                .arg(ip, u.host().left(60)));
    u.setScheme(QStringLiteral("http"));
    u.setHost(ip);
    u.setPort(port);
    u.setUserInfo(QString());
    return u.toString();
}

int OnvifBackend::download(const QString& ip, const QString& url, const QString& path)
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

OnvifBackend::Call OnvifBackend::soap(const QString& ip, const QString& service, const S::Writer& body,
                                      const S::Token* token)
{
    return soapAt(serviceUrl(ip, service), body, token);
}

OnvifBackend::Call OnvifBackend::soapAt(const QString& url, const S::Writer& body, const S::Token* token)
{
    QByteArray reply;
    Call call = http(url, "POST", S::build(body, token), "application/soap+xml; charset=utf-8",
                     opts.maxReplyBytes, &reply);
    if (call.result != RESULT_OK)
        return call;
    QString why;
    if (!S::parse(reply, &call.message, &why)) {
        call.result = ResultBadReply;
        return call;
    }
    // A fault comes with an error status; a success without one is no success.
    if (call.message.isFault != (call.httpStatus != 200)) {
        call.result = ResultBadReply;
        return call;
    }
    // A decoder's error codes are negative: a fault that gives 0 or more would read as success or as
    // another kind of number where the operator is shown it.
    const XmlNode& result = call.message.fault.detail.child(Ns::Wall, QStringLiteral("Result"));
    if (call.message.isFault && !result.isNull()) {
        bool isNumber = false;
        const int code = result.text.toInt(&isNumber);
        if (!isNumber || code >= 0) {
            call.result = ResultOutOfRange;
            call.problem =
                tr("Decoder(%1) reported %2, which this client cannot hold; the reply was refused.")
                    .arg(QUrl(url).host(),
                         tr("a fault with the result code %1 (a negative number)").arg(result.text.left(20)));
        }
    }
    return call;
}

OnvifBackend::Call OnvifBackend::sessionCall(const QString& ip, const QString& service, const S::Writer& body)
{
    Call call;
    S::Token token;
    {
        QMutexLocker lock(&mutex);
        const auto it = sessions.constFind(ip);
        if (it == sessions.constEnd()) {
            call.result = RESULT_BAD_HANDLE;
            return call;
        }
        token = S::Token{it->userName, it->password, it->clockOffsetMs};
    }
    call = soap(ip, service, body, &token);
    if (call.result != RESULT_OK)
        report(ip, call, true);
    return call;
}

int OnvifBackend::sessionResult(const QString& ip, const QString& service, const S::Writer& body)
{
    return inLane(ip, [&] { return sessionCall(ip, service, body).code(); });
}

void OnvifBackend::report(const QString& ip, int result, bool sessionLost, const QString& problem)
{
    if (quietReports)
        return;
    QString text = problem;
    switch (result) {
    case ResultTimeout:
        text = tr("Decoder(%1) did not answer within %2 s.").arg(ip).arg(opts.requestTimeoutMs / 1000.0);
        break;
    case ResultConnectionRefused:
        text = tr("Decoder(%1) refused the connection.").arg(ip);
        break;
    case ResultBadReply:
        if (text.isEmpty())
            text = tr("Decoder(%1) sent a reply that could not be read.").arg(ip);
        break;
    case ResultConnectionLost:
        text = tr("Decoder(%1) closed the connection before it replied.").arg(ip);
        break;
    case ResultOutOfRange:
    case ResultNotTrusted:
        // The decoder answered: it is not lost, only this reply is refused.
        sessionLost = false;
        break;
    default:
        return;
    }
    if (!text.isEmpty())
        emit signalNetworkProblem(ip, text);
    if (!sessionLost)
        return;
    {
        QMutexLocker lock(&mutex);
        if (!sessions.remove(ip))
            return;
    }
    emit signalDecoderLost(ip);
    endSession(ip, SessionEnd::Lost);
}

int OnvifBackend::refuse(const QString& ip, const QString& why)
{
    emit signalNetworkProblem(
        ip,
        tr("Decoder(%1) reported %2, which this client cannot hold; the reply was refused.").arg(ip, why));
    return ResultOutOfRange;
}

void OnvifBackend::tellAll(const QList<QPair<QString, QString>>& notices)
{
    QSet<QString> told;
    for (const auto& n : notices) {
        // A host that answers a search a hundred times is one notice, not a hundred.
        if (!told.contains(n.second)) {
            told.insert(n.second);
            emit signalNetworkProblem(n.first, n.second);
        }
    }
}

// ---- discovery and login ----

MatrixInfoMap OnvifBackend::search()
{
    DeviceDiscovery::Settings settings;
    settings.targets = opts.targets;
    settings.port = opts.discoveryPort;
    settings.waitMs = opts.discoveryWaitMs;
    settings.multicast = opts.multicast;
    const DeviceDiscovery::Result result = DeviceDiscovery::run(settings, &abandonment);
    MatrixInfoMap found;
    {
        QMutexLocker lock(&mutex);
        // The last search is what activation trusts: an id seen before but not now is looked for again.
        deviceIds.clear();
        idAt.clear();
        conflicts = result.conflicts;
        for (const DeviceDiscovery::Answer& a : result.devices) {
            found.insert(a.info.ip, a.info);
            ports.insert(a.info.ip, a.httpPort);
            idAt.insert(a.info.ip, a.info.deviceId);
            if (!conflicts.contains(a.info.deviceId))
                deviceIds.insert(a.info.deviceId, a.info.ip);
        }
    }
    QList<QPair<QString, QString>> notices;
    for (const DeviceDiscovery::Notice& n : result.notices)
        notices.append(qMakePair(n.ip, n.text));
    tellAll(notices);
    return found;
}

int OnvifBackend::confirmIdentity(const QString& ip, const QString& deviceId)
{
    {
        QMutexLocker lock(&mutex);
        if (conflicts.contains(deviceId))
            return ResultIdentityConflict;
        if (!deviceId.isEmpty() && idAt.value(ip) == deviceId)
            return RESULT_OK;
    }
    // Not seen there by the last search: the address itself is asked who it is.
    DeviceDiscovery::Settings settings;
    settings.targets = QStringList{ip};
    settings.port = opts.discoveryPort;
    settings.waitMs = opts.discoveryWaitMs;
    const DeviceDiscovery::Result result = DeviceDiscovery::run(settings, &abandonment);
    for (const DeviceDiscovery::Answer& a : result.devices) {
        if (a.info.ip == ip && (deviceId.isEmpty() || a.info.deviceId == deviceId)) {
            QMutexLocker lock(&mutex);
            idAt.insert(ip, a.info.deviceId);
            return RESULT_OK;
        }
    }
    return ResultIdentityUnconfirmed;
}

void OnvifBackend::prepareLogin(const QString& ip, const QString& userName, const QString& password)
{
    {
        QMutexLocker lock(&mutex);
        // A logout of this session may wait on the service thread before the login: started now, the
        // login would reach the decoder first. A login to ip already under way may be refused, and the
        // service answers a repeat of refused credentials itself: a second one started now would cost
        // one of the decoder's tries. Either takes its turn instead.
        if (sessions.contains(ip) || pending.contains(ip) || collecting.contains(ip))
            return;
    }
    const std::shared_future<LoginOutcome> result = submitLogin(ip, userName, password);
    QMutexLocker lock(&mutex);
    pending[ip].append(PendingLogin{userName, password, result});
}

DecoderBackend::Login OnvifBackend::login(const QString& ip, const QString& userName, const QString& password)
{
    std::shared_future<LoginOutcome> result;
    {
        QMutexLocker lock(&mutex);
        QList<PendingLogin>& list = pending[ip];
        for (int i = 0; i < list.size(); ++i) {
            if (list.at(i).userName == userName && list.at(i).password == password) {
                result = list.takeAt(i).result;
                break;
            }
        }
        if (list.isEmpty())
            pending.remove(ip);
        collecting.insert(ip);
    }
    if (!result.valid())
        result = submitLogin(ip, userName, password);
    const LoginOutcome& outcome = result.get();
    QMutexLocker lock(&mutex);
    collecting.remove(ip);
    if (outcome.login.result == RESULT_OK) {
        sessions.insert(ip, outcome.session);
        lock.unlock();
        scheduleCheck(ip);
    }
    return outcome.login;
}

OnvifBackend::LoginOutcome OnvifBackend::doLogin(const QString& ip, const QString& userName,
                                                 const QString& password)
{
    LoginOutcome outcome;
    Login& login = outcome.login;
    Session& session = outcome.session;
    QHostAddress address;
    if (!address.setAddress(ip) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return outcome;
    {
        QMutexLocker lock(&mutex);
        lastCredentials.insert(ip, qMakePair(userName, password));
    }
    // The device's clock first: the digest carries a creation time the device checks.
    Call clock = soap(ip, Ns::Device, element(Ns::Device, QStringLiteral("GetSystemDateAndTime")), nullptr);
    if (!clock.ok()) {
        login.result = clock.code();
        report(ip, clock, false);
        return outcome;
    }
    session.userName = userName;
    session.password = password;
    const XmlNode& utc = clock.message.payload.child(Ns::Device, QStringLiteral("SystemDateAndTime"))
                             .child(Ns::Schema, QStringLiteral("UTCDateTime"));
    const XmlNode& d = utc.child(Ns::Schema, QStringLiteral("Date"));
    const XmlNode& t = utc.child(Ns::Schema, QStringLiteral("Time"));
    const QDateTime deviceTime(QDate(d.childInt(Ns::Schema, QStringLiteral("Year"), 0),
                                     d.childInt(Ns::Schema, QStringLiteral("Month"), 0),
                                     d.childInt(Ns::Schema, QStringLiteral("Day"), 0)),
                               QTime(t.childInt(Ns::Schema, QStringLiteral("Hour"), 0),
                                     t.childInt(Ns::Schema, QStringLiteral("Minute"), 0),
                                     t.childInt(Ns::Schema, QStringLiteral("Second"), 0)),
                               Qt::UTC);
    const qint64 offset = deviceTime.isValid() ? QDateTime::currentDateTimeUtc().msecsTo(deviceTime) : 0;
    // Within a few seconds the clocks agree; the rounding of the device's seconds is not a skew.
    session.clockOffsetMs = qAbs(offset) > 5000 ? offset : 0;

    const S::Token token{userName, password, session.clockOffsetMs};
    Call info = soap(ip, Ns::Device, element(Ns::Device, QStringLiteral("GetDeviceInformation")), &token);
    if (!info.ok()) {
        login.result = info.code();
        QString why;
        if (info.result == RESULT_OK &&
            OnvifCodec::readLoginRefusal(info.message.fault.detail, &login.error)) {
            // Counters no decoder keeps are not shown to the operator as if they were true.
            login.hasError = OnvifCodec::checkLoginRefusal(login.error, &why);
            if (!login.hasError) {
                login.error = ConnectErrorMsgInfo();
                refuse(ip, why);
            }
        }
        report(ip, info, false);
        return outcome;
    }
    session.version = info.message.payload.childText(Ns::Device, QStringLiteral("FirmwareVersion"));
    session.deviceId = info.message.payload.childText(Ns::Device, QStringLiteral("SerialNumber"));
    login.model = info.message.payload.childText(Ns::Device, QStringLiteral("Model"));
    // A model name no image could be made for is no model at all: the batch's model check then leaves the
    // decoder out instead of showing whatever it sent.
    if (login.model.size() > OnvifCodec::MaxVersionChars)
        login.model.clear();
    QString why;
    if (!OnvifCodec::checkVersion(session.version, &why)) {
        login.result = refuse(ip, why);
        return outcome;
    }

    Call services = soap(ip, Ns::Device,
                         element(Ns::Device, QStringLiteral("GetServices"),
                                 {{QStringLiteral("IncludeCapability"), QStringLiteral("true")}}),
                         &token);
    if (!services.ok()) {
        login.result = services.code();
        report(ip, services, false);
        return outcome;
    }
    session.matrixType = MATRIX_TYPE_SINGLE_OUTPUT;
    QStringList foreign;
    for (const XmlNode* s : services.message.payload.all(Ns::Device, QStringLiteral("Service"))) {
        const QString ns = s->childText(Ns::Device, QStringLiteral("Namespace"));
        const QString xaddr = s->childText(Ns::Device, QStringLiteral("XAddr"));
        // Authenticated calls go where the device was found, never to a host it names.
        const QUrl url(xaddr);
        if (QHostAddress(url.host()).isEqual(address, QHostAddress::TolerantConversion))
            session.xaddrs.insert(ns, xaddr);
        else if (!foreign.contains(url.host()))
            foreign << url.host().left(60);
        const XmlNode& caps = s->child(Ns::Device, QStringLiteral("Capabilities"))
                                  .child(Ns::Wall, QStringLiteral("Capabilities"));
        if (ns == Ns::Wall && !caps.isNull()) {
            session.matrixType = caps.attributeInt(QStringLiteral("DecoderType"), MATRIX_TYPE_UNKNOWN);
            OnvifCodec::readRestartCapabilities(caps, &session.bootId, &session.configMarker);
        }
    }
    if (!foreign.isEmpty())
        emit signalNetworkProblem(
            ip, tr("Decoder(%1) named another host (%2) for its services; its calls stay at "
                   "%1.")
                    .arg(ip, foreign.join(QStringLiteral(", "))));
    if (!OnvifCodec::checkMatrixType(session.matrixType, &why)) {
        login.result = refuse(ip, why);
        return outcome;
    }
    login.result = RESULT_OK;
    login.matrixType = session.matrixType;
    login.version = session.version;
    login.bootId = session.bootId;
    return outcome;
}

void OnvifBackend::logout(const QString& ip)
{
    QString url;
    S::Token token;
    {
        QMutexLocker lock(&mutex);
        const auto it = sessions.constFind(ip);
        if (it != sessions.constEnd()) {
            url = it->xaddrs.value(Ns::Wall);
            token = S::Token{it->userName, it->password, it->clockOffsetMs};
        }
    }
    // Only a decoder that offers our extension keeps sessions. Nobody waits for its answer: one that
    // does not answer any more costs a pool thread its timeout, not the service thread.
    if (!url.isEmpty())
        enqueue(ip,
                [this, url, token] { soapAt(url, element(Ns::Wall, QStringLiteral("EndSession")), &token); });
    dropSession(ip);
}

void OnvifBackend::dropSession(const QString& ip)
{
    QMutexLocker lock(&mutex);
    sessions.remove(ip);
    for (auto it = uploadedPictures.begin(); it != uploadedPictures.end();) {
        if (it->startsWith(ip + QLatin1Char('|')))
            it = uploadedPictures.erase(it);
        else
            ++it;
    }
}

// ---- walls, scenes, identify ----

DecoderBackend::Layout OnvifBackend::getLayout(const QString& ip)
{
    Layout layout;
    layout.result = inLane(ip, [&] {
        const Call call = sessionCall(ip, Ns::Wall, element(Ns::Wall, QStringLiteral("GetWall")));
        if (!call.ok())
            return call.code();
        layout = OnvifCodec::readWall(call.message.payload.child(Ns::Wall, QStringLiteral("Wall")));
        QString why;
        if (layout.result == RESULT_OK && !OnvifCodec::checkWall(layout, &why)) {
            layout = Layout();
            return refuse(ip, why);
        }
        return layout.result;
    });
    return layout;
}

int OnvifBackend::setLayout(const QString& mainIp, int type, int rows, int cols,
                            const MatrixInfoList& screens, const QString& name)
{
    Layout layout;
    layout.mainIp = mainIp;
    layout.mainType = type;
    layout.rows = rows;
    layout.cols = cols;
    layout.screens = screens;
    layout.name = name;
    return sessionResult(mainIp, Ns::Wall,
                         element(Ns::Wall, QStringLiteral("SetWall"),
                                 [layout](QXmlStreamWriter& w) { OnvifCodec::writeWall(w, layout); }));
}

int OnvifBackend::saveScene(const QString& ip, int sceneNo, const QString& name)
{
    return sessionResult(
        ip, Ns::Wall,
        element(Ns::Wall, QStringLiteral("SaveScene"),
                {{QStringLiteral("SceneNo"), QString::number(sceneNo)}, {QStringLiteral("Name"), name}}));
}

int OnvifBackend::restoreScene(const QString& ip, int sceneNo)
{
    return sessionResult(ip, Ns::Wall,
                         element(Ns::Wall, QStringLiteral("RestoreScene"),
                                 {{QStringLiteral("SceneNo"), QString::number(sceneNo)}}));
}

int OnvifBackend::removeScene(const QString& ip, int sceneNo)
{
    return sessionResult(ip, Ns::Wall,
                         element(Ns::Wall, QStringLiteral("RemoveScene"),
                                 {{QStringLiteral("SceneNo"), QString::number(sceneNo)}}));
}

int OnvifBackend::checkScreen(const QString& ip, int location, bool open)
{
    return sessionResult(
        ip, Ns::Wall,
        element(Ns::Wall, QStringLiteral("CheckScreen"),
                {{QStringLiteral("Location"), QString::number(location)},
                 {QStringLiteral("Open"), open ? QStringLiteral("true") : QStringLiteral("false")}}));
}

int OnvifBackend::removeBanner(const QString& ip)
{
    return sessionResult(ip, Ns::Wall, element(Ns::Wall, QStringLiteral("RemoveBanner")));
}

// ---- device management ----

int OnvifBackend::factoryReset(const QString& ip)
{
    const int result = sessionResult(ip, Ns::Device,
                                     element(Ns::Device, QStringLiteral("SetSystemFactoryDefault"),
                                             {{QStringLiteral("FactoryDefault"), QStringLiteral("Hard")}}));
    // The decoder ends the session as it returns to its factory state.
    if (result == RESULT_OK) {
        dropSession(ip);
        endSession(ip);
    }
    return result;
}

int OnvifBackend::activate(const QString& deviceId, const QString& password)
{
    auto where = [this, &deviceId] {
        QMutexLocker lock(&mutex);
        return conflicts.contains(deviceId) ? QString() : deviceIds.value(deviceId);
    };
    auto inConflict = [this, &deviceId] {
        QMutexLocker lock(&mutex);
        return conflicts.value(deviceId);
    };
    // A device not seen by the last search is looked for again.
    if (where().isEmpty() && inConflict().isEmpty())
        search();
    const QStringList claimants = inConflict();
    if (!claimants.isEmpty()) {
        emit signalNetworkProblem(claimants.first(),
                                  tr("The decoder id %1 answered from %2: it was not activated. Search again "
                                     "once only the decoder itself answers.")
                                      .arg(deviceId, claimants.join(QStringLiteral(", "))));
        return ResultIdentityConflict;
    }
    // The new administrator's password goes only to the address that answered the probe as this device.
    const QString ip = where();
    if (ip.isEmpty())
        return RESULT_NO_DEVICE;
    return inLane(ip, [&] {
        const Call call = soap(
            ip, Ns::Device,
            element(Ns::Device, QStringLiteral("CreateUsers"),
                    [password](QXmlStreamWriter& w) {
                        w.writeStartElement(Ns::Device, QStringLiteral("User"));
                        w.writeTextElement(Ns::Schema, QStringLiteral("Username"), QStringLiteral("admin"));
                        w.writeTextElement(Ns::Schema, QStringLiteral("Password"), password);
                        w.writeTextElement(Ns::Schema, QStringLiteral("UserLevel"),
                                           QStringLiteral("Administrator"));
                        w.writeEndElement();
                    }),
            nullptr);
        report(ip, call, false);
        // A device that has users asks who we are: it is activated already.
        return call.code() == RESULT_WRONG_PASSWORD ? int(RESULT_ALREADY_ACTIVE) : call.code();
    });
}

int OnvifBackend::changePassword(const QString& ip, const QString& userName, const QString& oldPassword,
                                 const QString& newPassword)
{
    return inLane(ip, [&] {
        qint64 offset = 0;
        QString deviceId;
        {
            QMutexLocker lock(&mutex);
            if (!sessions.contains(ip))
                return int(RESULT_BAD_HANDLE);
            offset = sessions.value(ip).clockOffsetMs;
            deviceId = sessions.value(ip).deviceId;
        }
        // The new password travels in the clear inside the request: only to the decoder we logged in to.
        const int confirmed = confirmIdentity(ip, deviceId);
        if (confirmed != RESULT_OK) {
            emit signalNetworkProblem(ip,
                                      confirmed == ResultIdentityConflict
                                          ? tr("Another host claims the id of decoder(%1) (%2): its password "
                                               "was not changed. Search again once only the decoder answers.")
                                                .arg(ip, deviceId)
                                          : tr("Decoder(%1) did not answer a search as the decoder %2: its "
                                               "password was not sent.")
                                                .arg(ip, deviceId));
            return confirmed;
        }
        const S::Token token{userName, oldPassword, offset};
        const Call call =
            soap(ip, Ns::Device,
                 element(Ns::Device, QStringLiteral("SetUser"),
                         [&](QXmlStreamWriter& w) {
                             w.writeStartElement(Ns::Device, QStringLiteral("User"));
                             w.writeTextElement(Ns::Schema, QStringLiteral("Username"), userName);
                             w.writeTextElement(Ns::Schema, QStringLiteral("Password"), newPassword);
                             w.writeTextElement(Ns::Schema, QStringLiteral("UserLevel"),
                                                QStringLiteral("Administrator"));
                             w.writeEndElement();
                         }),
                 &token);
        report(ip, call, true);
        if (call.ok()) {
            QMutexLocker lock(&mutex);
            if (sessions.contains(ip))
                sessions[ip].password = newPassword;
        }
        return call.code();
    });
}

int OnvifBackend::getNetwork(const QString& ip, DeviceNetworkCfg_t* cfg)
{
    std::memset(cfg, 0, sizeof(*cfg));
    QHostAddress address;
    if (!address.setAddress(ip) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return RESULT_NO_DEVICE;
    DeviceNetworkCfg_t read{};
    const int result = inLane(ip, [&] {
        std::unique_ptr<S::Token> token;
        {
            QMutexLocker lock(&mutex);
            if (sessions.contains(ip)) {
                const Session& s = sessions[ip];
                token.reset(new S::Token{s.userName, s.password, s.clockOffsetMs});
            } else if (lastCredentials.contains(ip)) {
                token.reset(new S::Token{lastCredentials[ip].first, lastCredentials[ip].second, 0});
            }
        }
        const Call nic =
            soap(ip, Ns::Device, element(Ns::Device, QStringLiteral("GetNetworkInterfaces")), token.get());
        const Call dns =
            nic.ok() ? soap(ip, Ns::Device, element(Ns::Device, QStringLiteral("GetDNS")), token.get()) : nic;
        const Call gateway =
            dns.ok() ? soap(ip, Ns::Device, element(Ns::Device, QStringLiteral("GetNetworkDefaultGateway")),
                            token.get())
                     : dns;
        if (!gateway.ok()) {
            report(ip, gateway, false);
            return gateway.code();
        }
        const XmlNode& n = nic.message.payload.child(Ns::Device, QStringLiteral("NetworkInterfaces"));
        const XmlNode& v4 = n.child(Ns::Schema, QStringLiteral("IPv4"))
                                .child(Ns::Schema, QStringLiteral("Config"))
                                .child(Ns::Schema, QStringLiteral("Manual"));
        const XmlNode& v6 = n.child(Ns::Schema, QStringLiteral("IPv6"))
                                .child(Ns::Schema, QStringLiteral("Config"))
                                .child(Ns::Schema, QStringLiteral("Manual"));
        // A text that does not fit its field would be cut into another address: refused instead.
        QString why;
        const auto put = [&why](auto& field, const QString& text,
                                QAbstractSocket::NetworkLayerProtocol kind) {
            if (why.isEmpty() && OnvifCodec::checkAddressField(text, int(sizeof field), kind, &why))
                putField(field, text);
        };
        const auto v4Kind = QAbstractSocket::IPv4Protocol;
        const auto v6Kind = QAbstractSocket::IPv6Protocol;
        put(read.ipv4Addr, v4.childText(Ns::Schema, QStringLiteral("Address")), v4Kind);
        const QString v4Prefix = v4.childText(Ns::Schema, QStringLiteral("PrefixLength"));
        const int prefix = v4.childInt(Ns::Schema, QStringLiteral("PrefixLength"), -1);
        if (why.isEmpty() && !v4Prefix.isEmpty() && (prefix < 0 || prefix > 32))
            why = tr("an IPv4 prefix length of %1 (0 to 32)").arg(v4Prefix.left(20));
        put(read.ipv4Mask, OnvifCodec::maskFromPrefix(prefix), v4Kind);
        put(read.ipv6Addr, v6.childText(Ns::Schema, QStringLiteral("Address")), v6Kind);
        read.ipv6PrefixLen = v6.childInt(Ns::Schema, QStringLiteral("PrefixLength"), 0);
        if (why.isEmpty() && (read.ipv6PrefixLen < 0 || read.ipv6PrefixLen > 128))
            why = tr("an IPv6 prefix length of %1 (0 to 128)").arg(read.ipv6PrefixLen);
        const XmlNode& g = gateway.message.payload.child(Ns::Device, QStringLiteral("NetworkGateway"));
        put(read.ipv4Gateway, g.childText(Ns::Schema, QStringLiteral("IPv4Address")), v4Kind);
        put(read.ipv6Gateway, g.childText(Ns::Schema, QStringLiteral("IPv6Address")), v6Kind);
        put(read.dns,
            dns.message.payload.child(Ns::Device, QStringLiteral("DNSInformation"))
                .child(Ns::Schema, QStringLiteral("DNSManual"))
                .childText(Ns::Schema, QStringLiteral("IPv4Address")),
            v4Kind);
        if (!why.isEmpty())
            return refuse(ip, why);
        return int(RESULT_OK);
    });
    if (result == RESULT_OK)
        *cfg = read;
    return result;
}

int OnvifBackend::setNetwork(const QString& ip, const QString& userName, const QString& password,
                             const DeviceNetworkCfg_t& cfg, QString* newIp)
{
    const QString address = fieldText(cfg.ipv4Addr, sizeof cfg.ipv4Addr);
    const int prefix = OnvifCodec::prefixLength(fieldText(cfg.ipv4Mask, sizeof cfg.ipv4Mask));
    QHostAddress parsed;
    if (qstrnlen(cfg.ipv4Addr, sizeof cfg.ipv4Addr) >= sizeof cfg.ipv4Addr || !parsed.setAddress(address) ||
        parsed.protocol() != QAbstractSocket::IPv4Protocol || prefix < 0)
        return RESULT_BAD_ARGUMENT;
    const QString ipv6 = fieldText(cfg.ipv6Addr, sizeof cfg.ipv6Addr);
    const int result = inLane(ip, [&] {
        qint64 offset = 0;
        {
            QMutexLocker lock(&mutex);
            offset = sessions.value(ip).clockOffsetMs;
        }
        const S::Token token{userName, password, offset};
        // Gateway and name server first: the address change moves the decoder away.
        const QList<S::Writer> steps = {
            element(Ns::Device, QStringLiteral("SetDNS"),
                    [&](QXmlStreamWriter& w) {
                        w.writeTextElement(Ns::Device, QStringLiteral("FromDHCP"), QStringLiteral("false"));
                        w.writeStartElement(Ns::Device, QStringLiteral("DNSManual"));
                        w.writeTextElement(Ns::Schema, QStringLiteral("Type"), QStringLiteral("IPv4"));
                        w.writeTextElement(Ns::Schema, QStringLiteral("IPv4Address"),
                                           fieldText(cfg.dns, sizeof cfg.dns));
                        w.writeEndElement();
                    }),
            element(Ns::Device, QStringLiteral("SetNetworkDefaultGateway"),
                    {{QStringLiteral("IPv4Address"), fieldText(cfg.ipv4Gateway, sizeof cfg.ipv4Gateway)},
                     {QStringLiteral("IPv6Address"), fieldText(cfg.ipv6Gateway, sizeof cfg.ipv6Gateway)}}),
            element(Ns::Device, QStringLiteral("SetNetworkInterfaces"), [&](QXmlStreamWriter& w) {
                w.writeTextElement(Ns::Device, QStringLiteral("InterfaceToken"), QStringLiteral("eth0"));
                w.writeStartElement(Ns::Device, QStringLiteral("NetworkInterface"));
                w.writeTextElement(Ns::Schema, QStringLiteral("Enabled"), QStringLiteral("true"));
                w.writeStartElement(Ns::Schema, QStringLiteral("IPv4"));
                w.writeTextElement(Ns::Schema, QStringLiteral("Enabled"), QStringLiteral("true"));
                w.writeStartElement(Ns::Schema, QStringLiteral("Manual"));
                w.writeTextElement(Ns::Schema, QStringLiteral("Address"), address);
                w.writeTextElement(Ns::Schema, QStringLiteral("PrefixLength"), QString::number(prefix));
                w.writeEndElement();
                w.writeTextElement(Ns::Schema, QStringLiteral("DHCP"), QStringLiteral("false"));
                w.writeEndElement();
                w.writeStartElement(Ns::Schema, QStringLiteral("IPv6"));
                w.writeTextElement(Ns::Schema, QStringLiteral("Enabled"),
                                   ipv6.isEmpty() ? QStringLiteral("false") : QStringLiteral("true"));
                if (!ipv6.isEmpty()) {
                    w.writeStartElement(Ns::Schema, QStringLiteral("Manual"));
                    w.writeTextElement(Ns::Schema, QStringLiteral("Address"), ipv6);
                    w.writeTextElement(Ns::Schema, QStringLiteral("PrefixLength"),
                                       QString::number(cfg.ipv6PrefixLen));
                    w.writeEndElement();
                }
                w.writeTextElement(Ns::Schema, QStringLiteral("DHCP"), QStringLiteral("Off"));
                w.writeEndElement();
                w.writeEndElement();
            })};
        for (const S::Writer& step : steps) {
            const Call call = soap(ip, Ns::Device, step, &token);
            report(ip, call, false);
            if (!call.ok())
                return call.code();
        }
        return int(RESULT_OK);
    });
    if (result != RESULT_OK)
        return result;
    *newIp = address;
    if (address != ip) {
        {
            QMutexLocker lock(&mutex);
            ports.insert(address, ports.value(ip, opts.httpPort));
        }
        dropSession(ip);
        endSession(ip);
    }
    return RESULT_OK;
}

// ---- outputs, colours, windows ----

int OnvifBackend::getResolution(const QString& ip, int screenRow, int screenColumn, ScreenResolution_t* out)
{
    *out = ScreenResolution_t{0, 0, 0};
    if (screenRow < 0 || screenColumn < 0)
        return RESULT_BAD_ARGUMENT;
    ScreenResolution_t read{0, 0, 0};
    const int result = inLane(ip, [&] {
        const Call call = sessionCall(ip, Ns::DeviceIo,
                                      element(Ns::DeviceIo, QStringLiteral("GetVideoOutputConfiguration"),
                                              {{QStringLiteral("VideoOutputToken"),
                                                OnvifCodec::outputToken(screenRow, screenColumn)}}));
        if (!call.ok())
            return call.code();
        if (!OnvifCodec::readResolution(
                call.message.payload.child(Ns::DeviceIo, QStringLiteral("VideoOutputConfiguration")), &read))
            return int(ResultBadReply);
        QString why;
        return OnvifCodec::checkResolution(read, &why) ? int(RESULT_OK) : refuse(ip, why);
    });
    if (result == RESULT_OK)
        *out = read;
    return result;
}

int OnvifBackend::setResolution(const QString& ip, const ScreenResolutionInfo& info, bool persist)
{
    if (info.screenRow < 0 || info.screenColumn < 0)
        return RESULT_BAD_ARGUMENT;
    const QString token = OnvifCodec::outputToken(info.screenRow, info.screenColumn);
    const ScreenResolution_t r{info.resolution.width, info.resolution.height, info.resolution.frameRate};
    return sessionResult(
        ip, Ns::DeviceIo,
        element(Ns::DeviceIo, QStringLiteral("SetVideoOutputConfiguration"), [=](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::DeviceIo, QStringLiteral("Configuration"));
            w.writeAttribute(QStringLiteral("token"), token);
            w.writeTextElement(Ns::Schema, QStringLiteral("Name"), token);
            w.writeTextElement(Ns::Schema, QStringLiteral("UseCount"), QStringLiteral("1"));
            w.writeTextElement(Ns::Schema, QStringLiteral("OutputToken"), token);
            OnvifCodec::writeResolution(w, r);
            w.writeEndElement();
            w.writeTextElement(Ns::DeviceIo, QStringLiteral("ForcePersistence"),
                               persist ? QStringLiteral("true") : QStringLiteral("false"));
        }));
}

int OnvifBackend::getScreenColor(const QString& ip, int screenRow, int screenColumn, ScreenColor* out)
{
    *out = ScreenColor();
    ScreenColor read;
    const int result = inLane(ip, [&] {
        const Call call =
            sessionCall(ip, Ns::Wall,
                        element(Ns::Wall, QStringLiteral("GetScreenColor"),
                                {{QStringLiteral("ScreenRow"), QString::number(screenRow)},
                                 {QStringLiteral("ScreenColumn"), QString::number(screenColumn)}}));
        if (!call.ok())
            return call.code();
        if (!OnvifCodec::readColor(call.message.payload.child(Ns::Wall, QStringLiteral("ImagingSettings")),
                                   &read))
            return int(ResultBadReply);
        QString why;
        return OnvifCodec::checkColor(read, &why) ? int(RESULT_OK) : refuse(ip, why);
    });
    if (result == RESULT_OK)
        *out = read;
    return result;
}

int OnvifBackend::setScreenColor(const QString& ip, int screenRow, int screenColumn, const ScreenColor& color)
{
    return sessionResult(
        ip, Ns::Wall, element(Ns::Wall, QStringLiteral("SetScreenColor"), [=](QXmlStreamWriter& w) {
            w.writeTextElement(Ns::Wall, QStringLiteral("ScreenRow"), QString::number(screenRow));
            w.writeTextElement(Ns::Wall, QStringLiteral("ScreenColumn"), QString::number(screenColumn));
            OnvifCodec::writeColor(w, color);
        }));
}

int OnvifBackend::uploadPictures(const QString& ip, MatrixWindowInfo* window)
{
    // A path on this machine means nothing to the decoder: it gets the picture and names it by token.
    for (WindowSourceInfo& s : window->sourceList) {
        const QFileInfo file(s.picturePath);
        if (s.picturePath.isEmpty() || !file.isFile())
            continue;
        const QString name = file.fileName();
        const QString key = QStringLiteral("%1|%2|%3|%4")
                                .arg(ip, file.absoluteFilePath())
                                .arg(file.size())
                                .arg(file.lastModified().toMSecsSinceEpoch());
        bool known = false;
        {
            QMutexLocker lock(&mutex);
            known = uploadedPictures.contains(key);
        }
        if (!known) {
            QFile picture(file.absoluteFilePath());
            if (file.size() > opts.maxReplyBytes / 2 || !picture.open(QIODevice::ReadOnly))
                return RESULT_IO_ERROR;
            const QByteArray data = picture.readAll().toBase64();
            const Call call = sessionCall(ip, Ns::Wall,
                                          element(Ns::Wall, QStringLiteral("UploadPicture"),
                                                  {{QStringLiteral("Name"), name},
                                                   {QStringLiteral("Data"), QString::fromLatin1(data)}}));
            if (!call.ok())
                return call.code();
            QMutexLocker lock(&mutex);
            uploadedPictures.insert(key);
        }
        s.picturePath = QStringLiteral("picture:") + name;
    }
    return RESULT_OK;
}

int OnvifBackend::addWindow(const QString& ip, const MatrixWindowInfo& window)
{
    return inLane(ip, [&] {
        MatrixWindowInfo sent = window;
        const int uploaded = uploadPictures(ip, &sent);
        if (uploaded != RESULT_OK)
            return uploaded;
        return sessionCall(ip, Ns::Wall,
                           element(Ns::Wall, QStringLiteral("AddWindow"),
                                   [&sent](QXmlStreamWriter& w) { OnvifCodec::writeWindow(w, sent); }))
            .code();
    });
}

int OnvifBackend::setWindowSource(const QString& ip, const MatrixWindowInfo& window, int windowId, bool show)
{
    return inLane(ip, [&] {
        MatrixWindowInfo sent = window;
        const int uploaded = uploadPictures(ip, &sent);
        if (uploaded != RESULT_OK)
            return uploaded;
        return sessionCall(ip, Ns::Wall,
                           element(Ns::Wall, QStringLiteral("SetWindowSource"),
                                   [&](QXmlStreamWriter& w) {
                                       w.writeTextElement(Ns::Wall, QStringLiteral("WindowId"),
                                                          QString::number(windowId));
                                       w.writeTextElement(Ns::Wall, QStringLiteral("Show"),
                                                          show ? QStringLiteral("true")
                                                               : QStringLiteral("false"));
                                       OnvifCodec::writeWindow(w, sent);
                                   }))
            .code();
    });
}

// ---- maintenance ----

int OnvifBackend::getLog(const QString& ip, const QDateTime& begin, const QDateTime& end, int logType,
                         const QString& path, QStringList* lines)
{
    lines->clear();
    if (logType == -1) {
        if (path.isEmpty())
            return RESULT_BAD_ARGUMENT;
        return inLane(ip, [&] {
            const Call uris =
                sessionCall(ip, Ns::Device, element(Ns::Device, QStringLiteral("GetSystemUris")));
            if (!uris.ok())
                return uris.code();
            return download(ip, uris.message.payload.childText(Ns::Device, QStringLiteral("SupportInfoUri")),
                            path);
        });
    }
    if (!begin.isValid() || !end.isValid() || end < begin || logType < 0 || logType > 3)
        return RESULT_BAD_ARGUMENT;
    QStringList read;
    const int result = inLane(ip, [&] {
        if (logType == 0 || logType == 2) {
            // ONVIF has the system and access logs; the span is ours to cut.
            const Call call =
                sessionCall(ip, Ns::Device,
                            element(Ns::Device, QStringLiteral("GetSystemLog"),
                                    {{QStringLiteral("LogType"),
                                      logType == 0 ? QStringLiteral("System") : QStringLiteral("Access")}}));
            if (!call.ok())
                return call.code();
            const QStringList all = call.message.payload.child(Ns::Device, QStringLiteral("SystemLog"))
                                        .childText(Ns::Schema, QStringLiteral("String"))
                                        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            for (const QString& line : all) {
                const QDateTime at = lineTime(line);
                if (at.isValid() && at >= begin.toLocalTime().addMSecs(-999) && at <= end)
                    read.append(line);
            }
            return int(RESULT_OK);
        }
        const Call call = sessionCall(ip, Ns::Wall,
                                      element(Ns::Wall, QStringLiteral("GetLog"),
                                              {{QStringLiteral("Type"), QString::number(logType)},
                                               {QStringLiteral("From"), begin.toString(Qt::ISODate)},
                                               {QStringLiteral("To"), end.toString(Qt::ISODate)}}));
        if (!call.ok())
            return call.code();
        for (const XmlNode* line : call.message.payload.all(Ns::Wall, QStringLiteral("Line")))
            read.append(line->text);
        return int(RESULT_OK);
    });
    if (result != RESULT_OK)
        return result;
    *lines = read;
    if (!path.isEmpty() && !writeFile(path, lines->join(QLatin1Char('\n')).toUtf8()))
        return RESULT_IO_ERROR;
    return RESULT_OK;
}

int OnvifBackend::exportConfig(const QString& ip, const QString& path)
{
    if (path.isEmpty())
        return RESULT_BAD_ARGUMENT;
    return inLane(ip, [&] {
        const Call uris = sessionCall(ip, Ns::Device, element(Ns::Device, QStringLiteral("GetSystemUris")));
        if (!uris.ok())
            return uris.code();
        return download(ip, uris.message.payload.childText(Ns::Device, QStringLiteral("SystemBackupUri")),
                        path);
    });
}

int OnvifBackend::importConfig(const QString& ip, const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > opts.maxFileBytes)
        return RESULT_IO_ERROR;
    const QByteArray content = file.readAll();
    bool broken = false;
    const int result = inLane(ip, [&] {
        const Call start =
            sessionCall(ip, Ns::Device, element(Ns::Device, QStringLiteral("StartSystemRestore")));
        if (!start.ok())
            return start.code();
        QByteArray reply;
        const Call sent =
            http(onDevice(ip, start.message.payload.childText(Ns::Device, QStringLiteral("UploadUri"))),
                 "POST", content, "application/octet-stream", 4096, &reply);
        if (sent.result == RESULT_OK)
            return uploadResult(sent.httpStatus, reply);
        report(ip, sent, false);
        broken = true;
        // Cut in the middle, as the connection to a decoder that restarts or drops out would be.
        return sent.result == ResultConnectionLost ? int(RESULT_BAD_HANDLE) : sent.result;
    });
    // A decoder restarts to apply the file; one whose transfer broke off is lost to us all the same.
    if (result == RESULT_OK || broken) {
        dropSession(ip);
        endSession(ip, result == RESULT_OK ? SessionEnd::Restarted : SessionEnd::Lost);
    }
    return result;
}

int OnvifBackend::startCardUpgrade(const QString& ip, const QString& user, const QString& password,
                                   const QByteArray& image)
{
    const S::Token token{user, password, 0};
    const Call start =
        soap(ip, Ns::Device, element(Ns::Device, QStringLiteral("StartFirmwareUpgrade")), &token);
    report(ip, start, false);
    if (!start.ok())
        return start.code();
    QByteArray reply;
    const Call sent =
        http(onDevice(ip, start.message.payload.childText(Ns::Device, QStringLiteral("UploadUri"))), "POST",
             image, "application/octet-stream", 4096, &reply);
    return sent.result == RESULT_OK ? uploadResult(sent.httpStatus, reply) : sent.result;
}

int OnvifBackend::startUpgrade(const QList<DeviceInfo_t>& devices, const QString& path,
                               const UpgradeSink& sink)
{
    if (devices.isEmpty() || path.isEmpty())
        return RESULT_BAD_ARGUMENT;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0 || file.size() > opts.maxFileBytes)
        return RESULT_BAD_ARGUMENT;
    // Each decoder takes one image at a time; other decoders may be upgraded meanwhile.
    const QStringList ips = deviceIps(devices);
    {
        QMutexLocker lock(&mutex);
        for (const QString& ip : ips) {
            if (upgradingIps.contains(ip))
                return RESULT_UNAVAILABLE;
        }
        for (const QString& ip : ips)
            upgradingIps.insert(ip);
    }
    const auto done = [this, ips] {
        QMutexLocker lock(&mutex);
        for (const QString& ip : ips)
            upgradingIps.remove(ip);
    };
    const QByteArray image = file.readAll();
    // The first card is started here, so that an image the decoder refuses is a refused start.
    const DeviceInfo_t& first = devices.first();
    const int started = startCardUpgrade(fieldText(first.ip, sizeof first.ip),
                                         fieldText(first.userName, sizeof first.userName),
                                         fieldText(first.password, sizeof first.password), image);
    if (started == RESULT_BAD_ARGUMENT) {
        done();
        return RESULT_BAD_ARGUMENT;
    }
    pool.start([this, devices, image, sink, started, done] {
        if (started != RESULT_OK) {
            // Refused for another reason than the image: the first card fails as a login would.
            QMetaObject::invokeMethod(this, [sink] {
                sink.progress(1, -1, -1, 1, false);
                if (sink.result)
                    sink.result(RESULT_UPGRADE_FAILED);
            });
            done();
            return;
        }
        runUpgrade(devices, image, sink, 1);
        done();
    });
    return RESULT_OK;
}

QStringList OnvifBackend::deviceIps(const QList<DeviceInfo_t>& devices)
{
    QStringList ips;
    for (const DeviceInfo_t& d : devices)
        ips.append(fieldText(d.ip, sizeof d.ip));
    return ips;
}

bool OnvifBackend::restartsHandOver(const UpgradeSink& sink, const QString& ip, int card, bool answered,
                                    const std::function<void(int, int, int, int, bool)>& progress)
{
    // The caller checks the decoder after its restart itself: the card is done once the decoder is found
    // done, or has gone down to restart, which ends its session without a network problem to tell.
    if (!sink.endsAtRestart)
        return false;
    progress(card, 0, 100, 0, false);
    if (answered) {
        checkSession(ip);
    } else {
        dropSession(ip);
        endSession(ip, SessionEnd::Restarted);
    }
    return true;
}

void OnvifBackend::runUpgrade(const QList<DeviceInfo_t>& devices, const QByteArray& image,
                              const UpgradeSink& sink, int firstCard)
{
    // Reports go to the service thread, where the back end lives, in the order they are made.
    auto progress = [this, sink](int card, int marker, int percent, int code, bool latest) {
        QMetaObject::invokeMethod(this, [=] { sink.progress(card, marker, percent, code, latest); });
    };
    auto fail = [this, sink, progress](int card, int code) {
        progress(card, -1, -1, code, false);
        QMetaObject::invokeMethod(this, [sink] {
            if (sink.result)
                sink.result(RESULT_UPGRADE_FAILED);
        });
    };
    for (int card = firstCard; card <= devices.size(); ++card) {
        const DeviceInfo_t& d = devices.at(card - 1);
        const QString ip = fieldText(d.ip, sizeof d.ip);
        const S::Token token{fieldText(d.userName, sizeof d.userName),
                             fieldText(d.password, sizeof d.password), 0};
        if (card > firstCard && startCardUpgrade(ip, token.userName, token.password, image) != RESULT_OK)
            return fail(card, 1);
        int lastPercent = 0;
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            if (abandonment.isDue())
                return;
            QThread::msleep(quint32(opts.upgradePollMs));
            const Call state =
                soap(ip, Ns::Wall, element(Ns::Wall, QStringLiteral("GetUpgradeState")), &token);
            // The decoder restarts while it installs: a missed answer is not yet a failure.
            if (!state.ok()) {
                if (restartsHandOver(sink, ip, card, false, progress))
                    break;
                if (clock.elapsed() > 10 * 60 * 1000)
                    return fail(card, 1);
                continue;
            }
            const QString s = state.message.payload.childText(Ns::Wall, QStringLiteral("State"));
            const int percent = state.message.payload.childInt(Ns::Wall, QStringLiteral("Percent"), 0);
            if (s == QLatin1String("Failed"))
                return fail(card, state.message.payload.childInt(Ns::Wall, QStringLiteral("Code"), 1));
            if (s == QLatin1String("Latest")) {
                progress(card, 0, 100, 0, true);
                break;
            }
            if (percent != lastPercent && percent < 100) {
                lastPercent = percent;
                progress(card, 0, percent, 0, false);
            }
            if (s == QLatin1String("Done") && restartsHandOver(sink, ip, card, true, progress))
                break;
            if (s == QLatin1String("Done")) {
                // The version the decoder reports after its restart confirms the upgrade.
                const Call info =
                    soap(ip, Ns::Device, element(Ns::Device, QStringLiteral("GetDeviceInformation")), &token);
                if (!info.ok())
                    return fail(card, 1);
                progress(card, 0, 100, 0, false);
                // It restarted to run the new firmware: a client's session to it is over.
                checkSession(ip);
                break;
            }
        }
    }
    progress(0, 0, 0, 0, false);
}

} // namespace pral_matrix
