// The client's HTTP exchange against peers on loopback that the test's event loop runs: the limits that end
// an exchange a device drags out or floods, no redirect and no proxy it was not asked for, HTTP Digest that
// proves the password without sending it, TLS with a pinned or first-seen key, and abandonment that ends a
// call in flight at once.

#include "fakepeer.h"
#include "httpclient.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QtTest>

#include <chrono>
#include <future>

using pral_matrix::HttpClient;
using O = HttpClient::Outcome;

Q_DECLARE_METATYPE(FakePeer::Answer)
Q_DECLARE_METATYPE(HttpClient::Outcome)
Q_DECLARE_METATYPE(HttpClient::Trust)

namespace {

const QString Host = QStringLiteral("127.0.0.1");
const int TimeoutMs = 800;

/** Runs the exchange on a thread of its own while this thread's event loop serves the peers. */
HttpClient::Reply exchange(const HttpClient::Request& request,
                           const HttpClient::Abandonment* abandonment = nullptr)
{
    std::future<HttpClient::Reply> reply =
        std::async(std::launch::async, [=] { return HttpClient::perform(request, abandonment); });
    while (reply.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return reply.get();
}

HttpClient::Request get(quint16 port, const QString& path = QStringLiteral("/"))
{
    HttpClient::Request r;
    r.url = QStringLiteral("http://%1:%2%3").arg(Host).arg(port).arg(path);
    r.connectTimeoutMs = TimeoutMs;
    r.timeoutMs = TimeoutMs;
    return r;
}

QByteArray md5(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

QMap<QByteArray, QByteArray> digestFields(const QByteArray& authorization)
{
    QMap<QByteArray, QByteArray> fields;
    const QRegularExpression field(QStringLiteral("(\\w+)=(\"([^\"]*)\"|([^,\\s]*))"));
    auto it = field.globalMatch(QString::fromLatin1(authorization.mid(7)));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        fields.insert(m.captured(1).toLatin1(),
                      (m.captured(3).isNull() ? m.captured(4) : m.captured(3)).toLatin1());
    }
    return fields;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/** An HTTPS peer with a key and certificate of tests/data/tls; counts the requests it could read. */
class TlsPeer : public QTcpServer
{
public:
    QSslCertificate certificate;
    QSslKey key;
    int requests = 0;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        socket->setLocalCertificate(certificate);
        socket->setPrivateKey(key);
        connect(socket, &QSslSocket::readyRead, socket, [this, socket] {
            if (!socket->readAll().contains("\r\n\r\n"))
                return;
            ++requests;
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\nsecret");
            socket->disconnectFromHost();
        });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        socket->startServerEncryption();
    }
};

} // namespace

class TestHttpClient : public QObject
{
    Q_OBJECT

private slots:
    // Each row is one way a device keeps a call going or fills memory; the call must end with the outcome
    // named, within twice its deadline.
    void limitsEndTheExchange_data()
    {
        QTest::addColumn<FakePeer::Answer>("answer");
        QTest::addColumn<qint64>("maxReply");
        QTest::addColumn<HttpClient::Outcome>("outcome");
        const qint64 limit = 1024 * 1024;
        FakePeer::Answer lines;
        lines.kind = FakePeer::Kind::FloodHeaders;
        lines.limitMs = 5 * TimeoutMs;
        FakePeer::Answer longLines = FakePeer::reply(200, "ok");
        longLines.bytes.replace(
            "\r\n\r\n", "\r\n" + QByteArray("X-Long: ") + QByteArray(4000, 'l') + "\r\n" +
                            QByteArray("X-Long: ") + QByteArray(4000, 'l') + "\r\n" + QByteArray("X-Long: ") +
                            QByteArray(4000, 'l') + "\r\n" + QByteArray("X-Long: ") + QByteArray(4000, 'l') +
                            "\r\n" + QByteArray("X-Long: ") + QByteArray(4000, 'l') + "\r\n" +
                            QByteArray("X-Long: ") + QByteArray(4000, 'l') + "\r\n" + QByteArray("X-Long: ") +
                            QByteArray(4000, 'l') + "\r\n" + QByteArray("X-Long: ") + QByteArray(4000, 'l') +
                            "\r\n" + QByteArray("X-Long: ") + QByteArray(4000, 'l') + "\r\n\r\n");
        FakePeer::Answer hugeLine = FakePeer::reply(200, "ok");
        hugeLine.bytes.replace("\r\n\r\n", "\r\nX-Huge: " + QByteArray(300 * 1024, 'h') + "\r\n\r\n");
        FakePeer::Answer drippedStatus = FakePeer::reply(200, "dripped");
        drippedStatus.kind = FakePeer::Kind::Drip;
        drippedStatus.dripIntervalMs = 50;
        FakePeer::Answer drippedBody = drippedStatus;
        drippedBody.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + QByteArray(100, 'x');
        drippedBody.dripIntervalMs = 20;
        FakePeer::Answer endless;
        endless.kind = FakePeer::Kind::EndlessBody;
        endless.bytes = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
        endless.limitMs = 5 * TimeoutMs;
        FakePeer::Answer declared = FakePeer::reply(200, "short");
        declared.bytes.replace("Content-Length: 5", "Content-Length: 5000000000");
        const FakePeer::Answer stall = FakePeer::stall();
        FakePeer::Answer notHttp;
        notHttp.bytes = "SSH-2.0-peer\r\n\r\n";

        QTest::newRow("an ordinary reply") << FakePeer::reply(200, "fine") << limit << O::Ok;
        QTest::newRow("header lines without end") << lines << limit << O::HeaderFlood;
        QTest::newRow("36 KB in nine header lines") << longLines << limit << O::HeaderFlood;
        QTest::newRow("one header line of 300 KB") << hugeLine << limit << O::HeaderFlood;
        QTest::newRow("status line dripped") << drippedStatus << limit << O::Timeout;
        QTest::newRow("body dripped") << drippedBody << limit << O::Timeout;
        QTest::newRow("body without end") << endless << limit << O::TooLarge;
        QTest::newRow("body declared over the limit") << declared << limit << O::TooLarge;
        QTest::newRow("no answer at all") << stall << limit << O::Timeout;
        QTest::newRow("not HTTP") << notHttp << limit << O::NotHttp;
    }
    void limitsEndTheExchange()
    {
        QFETCH(FakePeer::Answer, answer);
        QFETCH(qint64, maxReply);
        QFETCH(HttpClient::Outcome, outcome);
        FakePeer peer;
        QVERIFY(peer.listen(Host));
        peer.setHandler([&](const FakePeer::Request&) { return answer; });
        HttpClient::Request request = get(peer.port());
        request.maxReplyBytes = maxReply;
        const HttpClient::Reply reply = exchange(request);
        qInfo("%s: %lld ms (%s)", QTest::currentDataTag(), reply.elapsedMs, qPrintable(reply.detail));
        QCOMPARE(reply.outcome, outcome);
        QVERIFY2(reply.elapsedMs <= 2 * TimeoutMs, qPrintable(QString::number(reply.elapsedMs)));
        if (outcome == O::Ok)
            QCOMPARE(reply.body, QByteArray("fine"));
        else
            QVERIFY(reply.body.isEmpty());
    }

    void refusedConnectionIsToldApart()
    {
        quint16 port = 0;
        {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress(Host)));
            port = closed.serverPort();
        }
        QCOMPARE(exchange(get(port)).outcome, O::Refused);
        HttpClient::Request ftp = get(port);
        ftp.url = QStringLiteral("ftp://%1:%2/").arg(Host).arg(port);
        QCOMPARE(exchange(ftp).outcome, O::BadUrl);
    }

    // A redirect could send the next request, credentials included, anywhere: it is the answer, not a hop.
    void redirectIsNotFollowed()
    {
        FakePeer elsewhere;
        QVERIFY(elsewhere.listen(Host));
        elsewhere.setHandler([](const FakePeer::Request&) { return FakePeer::reply(200, "moved"); });
        FakePeer peer;
        QVERIFY(peer.listen(Host));
        peer.setHandler([&](const FakePeer::Request&) {
            FakePeer::Answer a = FakePeer::reply(302, "");
            a.bytes.replace("\r\n\r\n", QStringLiteral("\r\nLocation: http://%1:%2/x\r\n\r\n")
                                            .arg(Host)
                                            .arg(elsewhere.port())
                                            .toLatin1());
            return a;
        });
        const HttpClient::Reply reply = exchange(get(peer.port()));
        QCOMPARE(reply.outcome, O::Ok);
        QCOMPARE(reply.status, 302);
        QCOMPARE(elsewhere.connections(), 0);
    }

    // A proxy in the environment would see every call: only one named in the request is used.
    void proxyOnlyWhenAskedFor_data()
    {
        QTest::addColumn<bool>("asked");
        QTest::newRow("set in the environment") << false;
        QTest::newRow("named in the request") << true;
    }
    void proxyOnlyWhenAskedFor()
    {
        QFETCH(bool, asked);
        FakePeer proxy;
        QVERIFY(proxy.listen(Host));
        proxy.setHandler([](const FakePeer::Request&) { return FakePeer::reply(200, "via proxy"); });
        FakePeer device;
        QVERIFY(device.listen(Host));
        device.setHandler([](const FakePeer::Request&) { return FakePeer::reply(200, "direct"); });
        const QByteArray proxyUrl = QStringLiteral("http://%1:%2").arg(Host).arg(proxy.port()).toLatin1();
        const QList<QByteArray> variables = {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"};
        for (const QByteArray& v : variables)
            qputenv(v.constData(), proxyUrl);
        qunsetenv("no_proxy");
        qunsetenv("NO_PROXY");
        HttpClient::Request request = get(device.port());
        if (asked)
            request.proxy = QString::fromLatin1(proxyUrl);
        const HttpClient::Reply reply = exchange(request);
        for (const QByteArray& v : variables)
            qunsetenv(v.constData());
        QCOMPARE(reply.outcome, O::Ok);
        QCOMPARE(reply.body, asked ? QByteArray("via proxy") : QByteArray("direct"));
        QCOMPARE(proxy.connections(), asked ? 1 : 0);
        QCOMPARE(device.connections(), asked ? 0 : 1);
    }

    // The peer checks the answer to its challenge the way RFC 7616 says, computed here apart from libcurl.
    void digestProvesThePasswordWithoutSendingIt_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("scheme");
        QTest::addColumn<int>("status");
        QTest::newRow("right password") << "Passw0rd!" << QByteArray("Digest") << 200;
        QTest::newRow("wrong password") << "Passw0rd?" << QByteArray("Digest") << 401;
        QTest::newRow("a peer that asks for Basic") << "Passw0rd!" << QByteArray("Basic") << 401;
    }
    void digestProvesThePasswordWithoutSendingIt()
    {
        QFETCH(QString, password);
        QFETCH(QByteArray, scheme);
        QFETCH(int, status);
        const QByteArray realm = "decoder";
        const QByteArray nonce = "5d9a1c0e7f";
        FakePeer peer;
        QVERIFY(peer.listen(Host));
        peer.setHandler([&](const FakePeer::Request& r) {
            const QByteArray authorization = r.header("Authorization");
            if (authorization.startsWith("Digest ")) {
                const QMap<QByteArray, QByteArray> f = digestFields(authorization);
                const QByteArray ha1 = md5(f.value("username") + ':' + realm + ":Passw0rd!");
                const QByteArray ha2 = md5(r.method + ':' + f.value("uri"));
                const QByteArray expected = md5(ha1 + ':' + nonce + ':' + f.value("nc") + ':' +
                                                f.value("cnonce") + ':' + f.value("qop") + ':' + ha2);
                if (f.value("response") == expected && f.value("username") == "admin" && r.body == "<call/>")
                    return FakePeer::reply(200, "welcome");
            }
            FakePeer::Answer challenge = FakePeer::reply(401, "who are you");
            const QByteArray offer =
                scheme == "Digest"
                    ? "Digest realm=\"" + realm + "\", qop=\"auth\", nonce=\"" + nonce + "\", algorithm=MD5"
                    : "Basic realm=\"" + realm + "\"";
            challenge.bytes.replace("\r\n\r\n", "\r\nWWW-Authenticate: " + offer + "\r\n\r\n");
            return challenge;
        });
        HttpClient::Request request = get(peer.port(), QStringLiteral("/onvif/device_service"));
        request.method = "POST";
        request.body = "<call/>";
        request.contentType = "application/soap+xml";
        request.digestUser = QStringLiteral("admin");
        request.digestPassword = password;
        const HttpClient::Reply reply = exchange(request);
        QCOMPARE(reply.outcome, O::Ok);
        QCOMPARE(reply.status, status);
        QCOMPARE(reply.body, status == 200 ? QByteArray("welcome") : QByteArray("who are you"));
        for (const FakePeer::Request& r : peer.requests()) {
            QVERIFY2(!r.head.contains(password.toUtf8()), r.head.constData());
            QVERIFY(!r.header("Authorization").startsWith("Basic"));
        }
    }

    void tlsTrustsOnlyTheKeyItIsTold_data()
    {
        QTest::addColumn<QString>("served");
        QTest::addColumn<HttpClient::Trust>("trust");
        QTest::addColumn<QByteArray>("pin");
        QTest::addColumn<QString>("authorities");
        QTest::addColumn<HttpClient::Outcome>("outcome");
        // Computed with openssl apart from this code: see tests/data/tls/README.md.
        const QByteArray device = "sha256//rttXNAFOnwewjnTeH0VNH4gUpLALF1PgQFJNdaVBjYI=";
        const QByteArray other = "sha256//EKj9mdH/Q1TSrLC6/L8sUinFuxZrw/wQEysjLfMkNdQ=";
        const auto first = HttpClient::Trust::FirstUse;
        const auto pinned = HttpClient::Trust::PinnedKey;
        const auto signer = HttpClient::Trust::SystemCertificates;
        QTest::newRow("first use") << "device" << first << QByteArray() << QString() << O::Ok;
        QTest::newRow("its pinned key") << "device" << pinned << device << QString() << O::Ok;
        QTest::newRow("the key changed") << "other" << pinned << device << QString() << O::KeyMismatch;
        QTest::newRow("another key pinned") << "device" << pinned << other << QString() << O::KeyMismatch;
        QTest::newRow("nothing pinned") << "device" << pinned << QByteArray() << QString() << O::KeyMismatch;
        // A list of authorities of its own instead of the system's, whose hundreds of certificates take
        // seconds to load in the sanitizer build.
        QTest::newRow("a signer nobody trusts")
            << "device" << signer << QByteArray() << "other" << O::TlsFailed;
        QTest::newRow("a trusted signer, for another name")
            << "device" << signer << QByteArray() << "device" << O::TlsFailed;
    }
    void tlsTrustsOnlyTheKeyItIsTold()
    {
        QFETCH(QString, served);
        QFETCH(HttpClient::Trust, trust);
        QFETCH(QByteArray, pin);
        QFETCH(QString, authorities);
        QFETCH(HttpClient::Outcome, outcome);
        QVERIFY2(QSslSocket::supportsSsl(), "Qt has no TLS here: the peer cannot be served");
        const QString base = QStringLiteral(TVWALL_TLS_DIR "/") + served;
        TlsPeer peer;
        peer.certificate = QSslCertificate(readFile(base + ".pem"), QSsl::Pem);
        peer.key = QSslKey(readFile(base + ".key"), QSsl::Ec, QSsl::Pem);
        QVERIFY(!peer.certificate.isNull() && !peer.key.isNull());
        QVERIFY(peer.listen(QHostAddress(Host)));
        HttpClient::Request request;
        request.url = QStringLiteral("https://%1:%2/").arg(Host).arg(peer.serverPort());
        request.timeoutMs = 5000;
        request.trust = trust;
        request.pinnedKey = pin;
        if (!authorities.isEmpty())
            request.certificateAuthorities = QStringLiteral(TVWALL_TLS_DIR "/") + authorities + ".pem";
        const HttpClient::Reply reply = exchange(request);
        qInfo("%s: %lld ms (%s)", QTest::currentDataTag(), reply.elapsedMs, qPrintable(reply.detail));
        QCOMPARE(reply.outcome, outcome);
        if (outcome == O::Ok) {
            QCOMPARE(reply.body, QByteArray("secret"));
            // What the first use learns is what a later call pins.
            QCOMPARE(reply.peerKey, QByteArray("sha256//rttXNAFOnwewjnTeH0VNH4gUpLALF1PgQFJNdaVBjYI="));
        } else {
            // Refused before anything was sent: the peer never read a request.
            QCOMPARE(peer.requests, 0);
        }
        QCOMPARE(HttpClient::publicKeyPin(readFile(base + ".pem")),
                 served == QLatin1String("device")
                     ? QByteArray("sha256//rttXNAFOnwewjnTeH0VNH4gUpLALF1PgQFJNdaVBjYI=")
                     : QByteArray("sha256//EKj9mdH/Q1TSrLC6/L8sUinFuxZrw/wQEysjLfMkNdQ="));
    }

    // Quitting abandons the calls in flight: a stalled one ends once its grace is over, never at its
    // deadline, and a call made after that does not even connect.
    void abandonmentEndsCallsInFlight_data()
    {
        QTest::addColumn<int>("graceMs");
        QTest::newRow("at once") << 0;
        QTest::newRow("after a grace of 300 ms") << 300;
    }
    void abandonmentEndsCallsInFlight()
    {
        QFETCH(int, graceMs);
        FakePeer peer;
        QVERIFY(peer.listen(Host));
        peer.setHandler([](const FakePeer::Request&) { return FakePeer::stall(); });
        HttpClient::Request request = get(peer.port());
        request.timeoutMs = 30000;
        HttpClient::Abandonment abandonment;
        std::future<HttpClient::Reply> reply =
            std::async(std::launch::async, [&] { return HttpClient::perform(request, &abandonment); });
        QTRY_COMPARE(peer.requests().size(), 1);
        QElapsedTimer clock;
        clock.start();
        abandonment.abandonWithin(graceMs);
        const HttpClient::Reply r = reply.get();
        qInfo("%s: ended %lld ms after it was abandoned", QTest::currentDataTag(), clock.elapsed());
        QCOMPARE(r.outcome, O::Abandoned);
        QVERIFY2(clock.elapsed() >= graceMs && clock.elapsed() <= graceMs + 200,
                 qPrintable(QString::number(clock.elapsed())));
        const HttpClient::Reply later = exchange(request, &abandonment);
        QCOMPARE(later.outcome, O::Abandoned);
        QCOMPARE(peer.connections(), 1);
    }
};

QTEST_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
