#include "onvifbackend.h"

#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "wsdiscovery.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSaveFile>
#include <QThread>
#include <QUdpSocket>
#include <QUrl>

#include <httplib.h>

#include <cstring>
#include <deque>

namespace pral_matrix {

namespace {

using S = SoapEnvelope;

const QHostAddress MulticastGroup(QStringLiteral("239.255.255.250"));

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
    cancelled.storeRelease(1);
    pool.waitForDone();
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
        promise->set_value(cancelled.loadAcquire() ? LoginOutcome() : doLogin(ip, userName, password));
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

int OnvifBackend::http(const QString& url, const QByteArray& method, const QByteArray& body,
                       const QByteArray& contentType, qint64 maxBytes, QByteArray* reply, int* status)
{
    const QUrl u(url);
    if (!u.isValid() || u.scheme() != QLatin1String("http") || u.host().isEmpty())
        return ResultBadReply;
    QElapsedTimer clock;
    clock.start();
    const int limit = opts.requestTimeoutMs;
    httplib::ClientImpl client(u.host().toStdString(), u.port(80));
    const int connectMs = qMin(opts.connectTimeoutMs, limit);
    client.set_connection_timeout(connectMs / 1000, (connectMs % 1000) * 1000);
    client.set_read_timeout(limit / 1000, (limit % 1000) * 1000);
    client.set_write_timeout(limit / 1000, (limit % 1000) * 1000);
    client.set_keep_alive(false);

    httplib::Request request;
    request.method = method.toStdString();
    request.path = u.path(QUrl::FullyEncoded).toStdString();
    if (request.path.empty())
        request.path = "/";
    request.body.assign(body.constData(), size_t(body.size()));
    if (!contentType.isEmpty())
        request.headers.emplace("Content-Type", contentType.toStdString());
    std::string received;
    bool tooLarge = false;
    bool late = false;
    // The read timeout holds per read; a slow link that trickles bytes is stopped here.
    request.content_receiver = [&](const char* data, size_t length, uint64_t, uint64_t) {
        if (qint64(received.size() + length) > maxBytes) {
            tooLarge = true;
            return false;
        }
        if (clock.elapsed() > limit) {
            late = true;
            return false;
        }
        received.append(data, length);
        return true;
    };
    httplib::Response response;
    httplib::Error error = httplib::Error::Success;
    const bool sent = client.send(request, response, error);
    if (!sent || error != httplib::Error::Success) {
        if (tooLarge)
            return ResultBadReply;
        if (late || error == httplib::Error::ConnectionTimeout || clock.elapsed() >= limit - 50)
            return ResultTimeout;
        if (error == httplib::Error::Connection)
            return clock.elapsed() >= connectMs - 50 ? ResultTimeout : ResultConnectionRefused;
        return ResultConnectionLost;
    }
    *status = response.status;
    *reply = QByteArray(received.data(), int(received.size()));
    return RESULT_OK;
}

OnvifBackend::Call OnvifBackend::soap(const QString& ip, const QString& service, const S::Writer& body,
                                      const S::Token* token)
{
    return soapAt(serviceUrl(ip, service), body, token);
}

OnvifBackend::Call OnvifBackend::soapAt(const QString& url, const S::Writer& body, const S::Token* token)
{
    Call call;
    if (cancelled.loadAcquire()) {
        call.result = RESULT_UNAVAILABLE;
        return call;
    }
    QByteArray reply;
    call.result = http(url, "POST", S::build(body, token), "application/soap+xml; charset=utf-8",
                       opts.maxReplyBytes, &reply, &call.httpStatus);
    if (call.result != RESULT_OK)
        return call;
    QString why;
    if (!S::parse(reply, &call.message, &why)) {
        call.result = ResultBadReply;
        return call;
    }
    // A fault comes with an error status; a success without one is no success.
    if (call.message.isFault != (call.httpStatus != 200))
        call.result = ResultBadReply;
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
        report(ip, call.result, true);
    return call;
}

int OnvifBackend::sessionResult(const QString& ip, const QString& service, const S::Writer& body)
{
    return inLane(ip, [&] { return sessionCall(ip, service, body).code(); });
}

void OnvifBackend::report(const QString& ip, int result, bool sessionLost)
{
    if (quietReports)
        return;
    QString text;
    switch (result) {
    case ResultTimeout:
        text = tr("Decoder(%1) did not answer within %2 s.").arg(ip).arg(opts.requestTimeoutMs / 1000.0);
        break;
    case ResultConnectionRefused:
        text = tr("Decoder(%1) refused the connection.").arg(ip);
        break;
    case ResultBadReply:
        text = tr("Decoder(%1) sent a reply that could not be read.").arg(ip);
        break;
    case ResultConnectionLost:
        text = tr("Decoder(%1) closed the connection before it replied.").arg(ip);
        break;
    default:
        return;
    }
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

// ---- discovery and login ----

MatrixInfoMap OnvifBackend::search()
{
    MatrixInfoMap found;
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0))
        return found;
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 * 1024 * 1024);
    const QString messageId = WsDiscovery::newMessageId();
    const QByteArray probe =
        WsDiscovery::buildProbe(messageId, {qMakePair(Ns::Device, QStringLiteral("Device"))});
    QSet<QString> answered;

    auto drain = [&] {
        while (socket.hasPendingDatagrams()) {
            QHostAddress from;
            QByteArray datagram(int(qBound<qint64>(0, socket.pendingDatagramSize(), 65536)), '\0');
            const qint64 size = socket.readDatagram(datagram.data(), datagram.size(), &from);
            if (size <= 0)
                continue;
            datagram.truncate(int(size));
            QString relatesTo;
            QString why;
            QVector<WsDiscovery::Match> matches;
            if (!WsDiscovery::parseProbeMatches(datagram, &relatesTo, &matches, &why) ||
                relatesTo != messageId)
                continue;
            for (const WsDiscovery::Match& m : qAsConst(matches)) {
                MatrixInfo info;
                const QUrl xaddr(m.xaddrs.value(0));
                if (!OnvifCodec::readDecoderScopes(m.scopes, &info) || xaddr.host().isEmpty())
                    continue;
                info.ip = xaddr.host();
                answered.insert(info.ip);
                answered.insert(QHostAddress(from.toIPv4Address()).toString());
                found.insert(info.ip, info);
                QMutexLocker lock(&mutex);
                ports.insert(info.ip, quint16(xaddr.port(80)));
                deviceIds.insert(info.deviceId, info.ip);
            }
        }
    };
    auto wait = [&](int ms) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired() &&
               socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            drain();
    };

    // Two rounds: a datagram may be lost; the second probes only who did not answer.
    for (int round = 0; round < 2 && !cancelled.loadAcquire(); ++round) {
        int sent = 0;
        for (const QString& target : qAsConst(opts.targets)) {
            if (answered.contains(target))
                continue;
            socket.writeDatagram(probe, QHostAddress(target), opts.discoveryPort);
            // Replies arrive while we send: read them before the socket's buffer overflows.
            if (++sent % 32 == 0)
                wait(2);
        }
        if (opts.multicast)
            socket.writeDatagram(probe, MulticastGroup, opts.discoveryPort);
        if (!opts.multicast && answered.size() >= opts.targets.size())
            break;
        QDeadlineTimer deadline(round == 0 ? opts.discoveryWaitMs * 2 / 3 : opts.discoveryWaitMs / 3);
        while (!deadline.hasExpired() && (opts.multicast || answered.size() < opts.targets.size()))
            wait(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return found;
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
        report(ip, clock.result, false);
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
        if (info.message.isFault && OnvifCodec::readLoginRefusal(info.message.fault.detail, &login.error))
            login.hasError = true;
        report(ip, info.result, false);
        return outcome;
    }
    session.version = info.message.payload.childText(Ns::Device, QStringLiteral("FirmwareVersion"));
    login.model = info.message.payload.childText(Ns::Device, QStringLiteral("Model"));

    Call services = soap(ip, Ns::Device,
                         element(Ns::Device, QStringLiteral("GetServices"),
                                 {{QStringLiteral("IncludeCapability"), QStringLiteral("true")}}),
                         &token);
    if (!services.ok()) {
        login.result = services.code();
        report(ip, services.result, false);
        return outcome;
    }
    session.matrixType = MATRIX_TYPE_SINGLE_OUTPUT;
    session.deviceId = info.message.payload.childText(Ns::Device, QStringLiteral("SerialNumber"));
    for (const XmlNode* s : services.message.payload.all(Ns::Device, QStringLiteral("Service"))) {
        const QString ns = s->childText(Ns::Device, QStringLiteral("Namespace"));
        session.xaddrs.insert(ns, s->childText(Ns::Device, QStringLiteral("XAddr")));
        const XmlNode& caps = s->child(Ns::Device, QStringLiteral("Capabilities"))
                                  .child(Ns::Wall, QStringLiteral("Capabilities"));
        if (ns == Ns::Wall && !caps.isNull()) {
            session.matrixType = caps.attributeInt(QStringLiteral("DecoderType"), MATRIX_TYPE_SINGLE_OUTPUT);
            OnvifCodec::readRestartCapabilities(caps, &session.bootId, &session.configMarker);
        }
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
        return deviceIds.value(deviceId);
    };
    // A device not seen since the last search is looked for again.
    if (where().isEmpty())
        search();
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
        report(ip, call.result, false);
        // A device that has users asks who we are: it is activated already.
        return call.code() == RESULT_WRONG_PASSWORD ? int(RESULT_ALREADY_ACTIVE) : call.code();
    });
}

int OnvifBackend::changePassword(const QString& ip, const QString& userName, const QString& oldPassword,
                                 const QString& newPassword)
{
    return inLane(ip, [&] {
        qint64 offset = 0;
        {
            QMutexLocker lock(&mutex);
            if (!sessions.contains(ip))
                return int(RESULT_BAD_HANDLE);
            offset = sessions.value(ip).clockOffsetMs;
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
        report(ip, call.result, true);
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
            report(ip, gateway.result, false);
            return gateway.code();
        }
        const XmlNode& n = nic.message.payload.child(Ns::Device, QStringLiteral("NetworkInterfaces"));
        const XmlNode& v4 = n.child(Ns::Schema, QStringLiteral("IPv4"))
                                .child(Ns::Schema, QStringLiteral("Config"))
                                .child(Ns::Schema, QStringLiteral("Manual"));
        const XmlNode& v6 = n.child(Ns::Schema, QStringLiteral("IPv6"))
                                .child(Ns::Schema, QStringLiteral("Config"))
                                .child(Ns::Schema, QStringLiteral("Manual"));
        putField(read.ipv4Addr, v4.childText(Ns::Schema, QStringLiteral("Address")));
        putField(read.ipv4Mask,
                 OnvifCodec::maskFromPrefix(v4.childInt(Ns::Schema, QStringLiteral("PrefixLength"), -1)));
        putField(read.ipv6Addr, v6.childText(Ns::Schema, QStringLiteral("Address")));
        read.ipv6PrefixLen = v6.childInt(Ns::Schema, QStringLiteral("PrefixLength"), 0);
        const XmlNode& g = gateway.message.payload.child(Ns::Device, QStringLiteral("NetworkGateway"));
        putField(read.ipv4Gateway, g.childText(Ns::Schema, QStringLiteral("IPv4Address")));
        putField(read.ipv6Gateway, g.childText(Ns::Schema, QStringLiteral("IPv6Address")));
        putField(read.dns, dns.message.payload.child(Ns::Device, QStringLiteral("DNSInformation"))
                               .child(Ns::Schema, QStringLiteral("DNSManual"))
                               .childText(Ns::Schema, QStringLiteral("IPv4Address")));
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
            report(ip, call.result, false);
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
        return OnvifCodec::readResolution(
                   call.message.payload.child(Ns::DeviceIo, QStringLiteral("VideoOutputConfiguration")),
                   &read)
                   ? int(RESULT_OK)
                   : int(ResultBadReply);
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
        return OnvifCodec::readColor(call.message.payload.child(Ns::Wall, QStringLiteral("ImagingSettings")),
                                     &read)
                   ? int(RESULT_OK)
                   : int(ResultBadReply);
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
            QByteArray package;
            int status = 0;
            const int got = http(uris.message.payload.childText(Ns::Device, QStringLiteral("SupportInfoUri")),
                                 "GET", {}, {}, opts.maxFileBytes, &package, &status);
            if (got != RESULT_OK || status != 200)
                return got != RESULT_OK ? got : int(RESULT_IO_ERROR);
            return writeFile(path, package) ? int(RESULT_OK) : int(RESULT_IO_ERROR);
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
        QByteArray backup;
        int status = 0;
        const int got = http(uris.message.payload.childText(Ns::Device, QStringLiteral("SystemBackupUri")),
                             "GET", {}, {}, opts.maxFileBytes, &backup, &status);
        if (got != RESULT_OK)
            return got;
        if (status != 200)
            return int(RESULT_IO_ERROR);
        return writeFile(path, backup) ? int(RESULT_OK) : int(RESULT_IO_ERROR);
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
        int status = 0;
        const int sent = http(start.message.payload.childText(Ns::Device, QStringLiteral("UploadUri")),
                              "POST", content, "application/octet-stream", 4096, &reply, &status);
        if (sent == RESULT_OK)
            return uploadResult(status, reply);
        report(ip, sent, false);
        broken = true;
        // Cut in the middle, as the connection to a decoder that restarts or drops out would be.
        return sent == ResultConnectionLost ? int(RESULT_BAD_HANDLE) : sent;
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
    report(ip, start.result, false);
    if (!start.ok())
        return start.code();
    QByteArray reply;
    int status = 0;
    const int sent = http(start.message.payload.childText(Ns::Device, QStringLiteral("UploadUri")), "POST",
                          image, "application/octet-stream", 4096, &reply, &status);
    return sent == RESULT_OK ? uploadResult(status, reply) : sent;
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
            if (cancelled.loadAcquire())
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
