// The decoder daemon against a hostile peer on the operators' network: every row is one attack on the real
// tvwall-decoderd, run as a child process on loopback. Each asserts a clear refusal within a stated time,
// the daemon answering an ordinary call afterwards, and its peak memory (VmHWM) under a stated bound.

#include "onvifnamespaces.h"
#include "soapenvelope.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>
#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define TVWALL_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TVWALL_UNDER_ASAN 1
#endif
#endif

using namespace pral_matrix;

namespace {

const QString Address = QStringLiteral("127.0.0.61");
const QString Pw = QStringLiteral("Passw0rd!");
const int LockThreshold = 5;
#ifdef TVWALL_UNDER_ASAN
// The sanitizers' shadow memory and a small quarantine (below) come on top of what the daemon holds.
const qint64 PeakBoundKb = 160 * 1024;
#else
// The daemon starts at about 24 MB; an attack may add little to that.
const qint64 PeakBoundKb = 64 * 1024;
#endif
/** What the daemon's temporary folder may hold: its cap on stored pictures. */
const qint64 StoredBoundBytes = 64 * 1024 * 1024;

/** A daemon that balloons is stopped by its address space instead of pressing on the machine. */
class BoundedProcess : public QProcess
{
protected:
    void setupChildProcess() override
    {
#ifndef TVWALL_UNDER_ASAN
        const rlimit space{rlim_t(2) << 30, rlim_t(2) << 30};
        setrlimit(RLIMIT_AS, &space);
#endif
    }
};

/** tvwall-decoderd serving one decoder at Address, its uploads in a folder of ours. */
class Daemon
{
public:
    bool start(QString* error)
    {
        if (!dir.isValid() || !QDir(dir.path()).mkdir(QStringLiteral("tmp")))
            return false;
        QFile fleet(dir.filePath(QStringLiteral("fleet.json")));
        const QByteArray json = QStringLiteral(R"({"lockThreshold": %1, "lockMinutes": 30, "decoders": [
            {"ip": "192.0.2.61", "deviceId": "TVD-H1", "type": 3, "channels": 2, "password": "%2",
             "daemon": {"address": "%3"}}]})")
                                    .arg(LockThreshold)
                                    .arg(Pw, Address)
                                    .toUtf8();
        if (!fleet.open(QIODevice::WriteOnly) || fleet.write(json) != json.size())
            return false;
        fleet.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), dir.filePath(QStringLiteral("tmp")));
#ifdef TVWALL_UNDER_ASAN
        // Freed memory waits in the sanitizer's quarantine (256 MiB by default) before it is reused; a small
        // one keeps the peak about what the daemon holds. A memory error still aborts the daemon, which the
        // ordinary call after each attack then finds; its leaks are the in-process tests' to find, so its
        // allocations are not unwound in full.
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) +
                       QStringLiteral(":quarantine_size_mb=16:hard_rss_limit_mb=2048:detect_leaks=0:"
                                      "fast_unwind_on_malloc=1"));
#endif
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // TVWALL_DECODERD runs the attacks on another build of the daemon (an older one, to compare).
        process.start(qEnvironmentVariable("TVWALL_DECODERD", QStringLiteral(TVWALL_DECODERD_FILE)),
                      {QStringLiteral("--fleet"), fleet.fileName()});
        QElapsedTimer clock;
        clock.start();
        QByteArray out;
        while (!out.contains('\n') && clock.elapsed() < 20000 && process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(100);
            out += process.readAllStandardOutput();
        }
        // "listening FIRST-LAST port P discovery D"
        const QList<QByteArray> words = out.trimmed().split(' ');
        port = quint16(words.value(3).toUInt());
        if (words.value(0) != "listening" || port == 0) {
            *error = QStringLiteral("the daemon did not start: ") + QString::fromLatin1(out);
            return false;
        }
        return true;
    }
    ~Daemon()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(2000);
    }
    bool running() const
    {
        return process.state() == QProcess::Running;
    }
    /** Peak resident memory so far, in KiB; -1 once the process is gone. */
    qint64 peakKb() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
        if (!running() || !status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
        return -1;
    }
    /** Bytes in the daemon's temporary folder. */
    qint64 storedBytes() const
    {
        qint64 total = 0;
        QDirIterator it(dir.filePath(QStringLiteral("tmp")), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            total += it.fileInfo().size();
        }
        return total;
    }

    quint16 port = 0;

private:
    QTemporaryDir dir;
    BoundedProcess process;
};

QByteArray soapRequest(const QByteArray& body, const QByteArray& path = "/onvif/device_service")
{
    return "POST " + path +
           " HTTP/1.1\r\nHost: decoder\r\nContent-Type: application/soap+xml\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

/** A call of the device service; with a password, signed with a fresh token as the client signs it. */
QByteArray deviceCall(const QString& operation, const QString& password = QString(),
                      const std::function<void(QXmlStreamWriter&)>& content = {})
{
    const SoapEnvelope::Token token{QStringLiteral("admin"), password, 0};
    return soapRequest(SoapEnvelope::build(
        [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::Device, operation);
            if (content)
                content(w);
            w.writeEndElement();
        },
        password.isNull() ? nullptr : &token));
}

struct Outcome
{
    /** The reply to the request the row is about. */
    QByteArray reply;
    /** How long it took, from the attack's first byte. */
    qint64 ms = 0;
    /** What went otherwise than the row expects on the way. */
    QStringList broken;
    /** Kept open until the ordinary call has been answered. */
    std::shared_ptr<void> held;
};

using Attack = std::function<Outcome(Daemon&)>;

std::unique_ptr<QTcpSocket> connectTo(quint16 port, const QString& from = QString())
{
    auto socket = std::make_unique<QTcpSocket>();
    if (!from.isEmpty())
        socket->bind(QHostAddress(from));
    socket->connectToHost(Address, port);
    socket->waitForConnected(3000);
    return socket;
}

/** Reads until the peer closes or waitMs pass. */
QByteArray readReply(QTcpSocket& socket, int waitMs)
{
    QByteArray reply;
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < waitMs) {
        if (socket.waitForReadyRead(50))
            reply += socket.readAll();
    }
    return reply + socket.readAll();
}

QByteArray exchange(quint16 port, const QByteArray& bytes, int waitMs = 15000)
{
    const auto socket = connectTo(port);
    socket->write(bytes);
    socket->flush();
    return readReply(*socket, waitMs);
}

/** One request; its reply and the time it took. */
Outcome timed(Daemon& d, const QByteArray& bytes)
{
    QElapsedTimer clock;
    clock.start();
    Outcome o;
    o.reply = exchange(d.port, bytes);
    o.ms = clock.elapsed();
    return o;
}

QByteArray statusOf(const QByteArray& reply)
{
    return reply.left(reply.indexOf('\r'));
}

/** Runs each call, expecting a reply that starts with status and contains says; a miss goes to o->broken. */
void expect(Daemon& d, Outcome* o, const QList<QByteArray>& calls, const QByteArray& status,
            const QByteArray& says)
{
    for (const QByteArray& call : calls) {
        const QByteArray reply = exchange(d.port, call);
        if (!reply.startsWith("HTTP/1.1 " + status) || !reply.contains(says))
            o->broken << QStringLiteral("expected %1 %2, got: %3")
                             .arg(QString::fromLatin1(status), QString::fromLatin1(says),
                                  QString::fromLatin1(reply.left(600)));
    }
}

QList<QByteArray> times(int count, const std::function<QByteArray()>& make)
{
    QList<QByteArray> list;
    for (int i = 0; i < count; ++i)
        list << make();
    return list;
}

/**
 * count connections, each from an address of its own, announcing a body of announced bytes to path and
 * sending up to sent bytes of it unless the daemon answers first; every one must be refused with status.
 */
Outcome bodyFlood(Daemon& d, int count, const QByteArray& path, qint64 announced, qint64 sent,
                  const QByteArray& status)
{
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    QVector<QByteArray> replies(count);
    for (int i = 0; i < count; ++i) {
        sockets.push_back(connectTo(d.port, QStringLiteral("127.0.1.%1").arg(i + 1)));
        sockets.back()->write("POST " + path + " HTTP/1.1\r\nHost: decoder\r\nContent-Length: " +
                              QByteArray::number(announced) + "\r\n\r\n");
        sockets.back()->flush();
    }
    const QByteArray chunk(1024 * 1024, '<');
    for (qint64 done = 0; done < sent; done += chunk.size()) {
        for (int i = 0; i < count; ++i) {
            QTcpSocket& s = *sockets[size_t(i)];
            if (s.isOpen())
                replies[i] += s.readAll();
            if (replies[i].isEmpty() && s.state() == QAbstractSocket::ConnectedState) {
                s.write(chunk);
                s.waitForBytesWritten(2000);
            }
        }
    }
    Outcome o;
    for (int i = 0; i < count; ++i) {
        replies[i] += readReply(*sockets[size_t(i)], 3000);
        if (!replies[i].startsWith("HTTP/1.1 " + status))
            o.broken
                << QStringLiteral("connection %1: %2").arg(i).arg(QString::fromLatin1(replies[i].left(200)));
    }
    o.reply = replies.front();
    o.ms = clock.elapsed();
    return o;
}

/** A namespace bomb of the issue's shape: a root with 12,000 prefixes, 20,000 children declaring one more. */
QByteArray namespaceBomb()
{
    QByteArray xml = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"";
    for (int i = 0; i < 12000; ++i)
        xml += " xmlns:p" + QByteArray::number(i) + "=\"u\"";
    xml += "><s:Body>";
    for (int i = 0; i < 20000; ++i)
        xml += "<a xmlns:q" + QByteArray::number(i) + "=\"u\"/>";
    return xml + "</s:Body></s:Envelope>";
}

QByteArray attributeFlood()
{
    QByteArray xml = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body><x";
    for (int i = 0; i < 50000; ++i)
        xml += " a" + QByteArray::number(i) + "=\"1\"";
    return xml + "/></s:Body></s:Envelope>";
}

} // namespace

Q_DECLARE_METATYPE(Attack)

class TestHostileDaemon : public QObject
{
    Q_OBJECT

private slots:
    void attackIsRefused_data()
    {
        QTest::addColumn<Attack>("attack");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("says");
        QTest::addColumn<int>("withinMs");

        // 1. One unauthenticated request of 640 KB: prefixes x elements once cost gigabytes and an abort.
        QTest::newRow("namespace bomb")
            << Attack([](Daemon& d) { return timed(d, soapRequest(namespaceBomb())); }) << QByteArray("400")
            << QByteArray("namespace declarations") << 1000;
        // 5. Fifty thousand attributes on one element once blocked the daemon's thread for seconds.
        QTest::newRow("attribute flood")
            << Attack([](Daemon& d) { return timed(d, soapRequest(attributeFlood())); }) << QByteArray("400")
            << QByteArray("attributes on one element") << 1000;
        // 6. Many connections announcing an upload's worth on a SOAP path, sending as they may: each is
        // refused from its head, none buffers a body.
        QTest::newRow("bodies announced on a SOAP path") << Attack([](Daemon& d) {
            return bodyFlood(d, 32, "/onvif/device_service", 60 * 1024 * 1024, 16 * 1024 * 1024, "413");
        }) << QByteArray("413") << QByteArray() << 3000;
        // Upload bodies go only to an address an authenticated call handed out.
        QTest::newRow("bodies sent to an upload path nobody opened") << Attack([](Daemon& d) {
            return bodyFlood(d, 8, "/upload/1234567", 60 * 1024 * 1024, 16 * 1024 * 1024, "404");
        }) << QByteArray("404") << QByteArray() << 3000;
        // Short header lines by the thousand, under the head's byte limit.
        QTest::newRow("header flood") << Attack([](Daemon& d) {
            QByteArray lines;
            for (int i = 0; i < 1500; ++i)
                lines += "x" + QByteArray::number(i) + ":\r\n";
            const QByteArray call = deviceCall(QStringLiteral("GetSystemDateAndTime"));
            const int head = call.indexOf("\r\n") + 2;
            return timed(d, call.left(head) + lines + call.mid(head));
        }) << QByteArray("431") << QByteArray()
                                      << 1000;
        // One byte a second: cut at the head's deadline, not whenever the peer likes.
        QTest::newRow("slow drip") << Attack([](Daemon& d) {
            QElapsedTimer clock;
            clock.start();
            const auto socket = connectTo(d.port);
            const QByteArray call = deviceCall(QStringLiteral("GetSystemDateAndTime"));
            Outcome o;
            for (int i = 0; i < call.size() && clock.elapsed() < 15000; ++i) {
                socket->write(call.mid(i, 1));
                socket->flush();
                o.reply += readReply(*socket, 1000);
                if (!o.reply.isEmpty() || socket->state() != QAbstractSocket::ConnectedState)
                    break;
            }
            o.ms = clock.elapsed();
            return o;
        }) << QByteArray("408") << QByteArray()
                                   << 4500;
        // Connections from one address by the hundred: the daemon keeps a few and refuses the rest at once,
        // and still answers others while it holds them.
        QTest::newRow("connection flood") << Attack([](Daemon& d) {
            QElapsedTimer clock;
            clock.start();
            auto held = std::make_shared<std::vector<std::unique_ptr<QTcpSocket>>>();
            for (int i = 0; i < 40; ++i)
                held->push_back(connectTo(d.port, QStringLiteral("127.0.0.200")));
            QVector<QByteArray> replies(int(held->size()));
            int refused = 0;
            while (refused < 32 && clock.elapsed() < 5000) {
                for (int i = 0; i < replies.size(); ++i) {
                    QTcpSocket& s = *held->at(size_t(i));
                    if (replies[i].isEmpty() && s.waitForReadyRead(5)) {
                        replies[i] = s.readAll();
                        ++refused;
                    }
                }
            }
            Outcome o;
            o.ms = clock.elapsed();
            // The first ones are kept (they would be served), every one beyond is refused.
            for (int i = 0; i < replies.size(); ++i) {
                if (replies.at(i).isEmpty() != (i < 8))
                    o.broken << QStringLiteral("connection %1: \"%2\"")
                                    .arg(i)
                                    .arg(QString::fromLatin1(replies.at(i)));
            }
            o.reply = replies.last();
            o.held = held;
            return o;
        }) << QByteArray("503") << QByteArray("too many connections")
                                          << 3000;

        // 7. Wrong passwords count wherever they are sent, and a locked decoder refuses every call that
        // needs credentials, with the right password too.
        const QByteArray locked("USERLOCK");
        QTest::newRow("wrong passwords through GetUsers") << Attack([locked](Daemon& d) {
            Outcome o;
            expect(d, &o,
                   times(LockThreshold, [] { return deviceCall(QStringLiteral("GetUsers"), "guess"); }),
                   "400", "NotAuthorized");
            expect(d, &o, {deviceCall(QStringLiteral("GetDeviceInformation"), Pw)}, "400", locked);
            return o.broken.isEmpty() ? timed(d, deviceCall(QStringLiteral("GetUsers"), Pw)) : o;
        }) << QByteArray("400") << locked << 1000;
        QTest::newRow("wrong passwords through GetSystemUris") << Attack([locked](Daemon& d) {
            Outcome o;
            expect(d, &o,
                   times(LockThreshold, [] { return deviceCall(QStringLiteral("GetSystemUris"), "guess"); }),
                   "400", "NotAuthorized");
            return o.broken.isEmpty() ? timed(d, deviceCall(QStringLiteral("GetSystemUris"), Pw)) : o;
        }) << QByteArray("400") << locked << 1000;
        QTest::newRow("wrong logins, then GetUsers and GetSystemUris") << Attack([locked](Daemon& d) {
            Outcome o;
            expect(d, &o,
                   times(LockThreshold + 1,
                         [] { return deviceCall(QStringLiteral("GetDeviceInformation"), "guess"); }),
                   "400", "NotAuthorized");
            expect(d, &o, {deviceCall(QStringLiteral("GetSystemUris"), Pw)}, "400", locked);
            return o.broken.isEmpty() ? timed(d, deviceCall(QStringLiteral("GetUsers"), Pw)) : o;
        }) << QByteArray("400") << locked << 1000;

        // 8. A captured token replayed after more than a thousand other calls.
        QTest::newRow("replay after 1,030 other calls") << Attack([](Daemon& d) {
            Outcome o;
            const QByteArray captured = deviceCall(QStringLiteral("GetUsers"), Pw);
            expect(d, &o, {captured}, "200", "UserLevel");
            expect(d, &o, times(1030, [] { return deviceCall(QStringLiteral("GetUsers"), Pw); }), "200",
                   "UserLevel");
            return o.broken.isEmpty() ? timed(d, captured) : o;
        }) << QByteArray("400") << QByteArray("used before")
                                                        << 1000;

        // Pictures by the dozen fill only the room the daemon gives them.
        QTest::newRow("picture flood") << Attack([](Daemon& d) {
            Outcome o;
            const QString data = QString::fromLatin1(QByteArray(600 * 1024, 'p').toBase64());
            QElapsedTimer clock;
            for (int i = 0; i < 40 && o.reply.isEmpty(); ++i) {
                const SoapEnvelope::Token token{QStringLiteral("admin"), Pw, 0};
                const QByteArray call =
                    soapRequest(SoapEnvelope::build(
                                    [&](QXmlStreamWriter& w) {
                                        w.writeStartElement(Ns::Wall, QStringLiteral("UploadPicture"));
                                        w.writeTextElement(Ns::Wall, QStringLiteral("Name"),
                                                           QStringLiteral("p%1.jpg").arg(i));
                                        w.writeTextElement(Ns::Wall, QStringLiteral("Data"), data);
                                        w.writeEndElement();
                                    },
                                    &token),
                                "/onvif/wall_service");
                clock.start();
                const QByteArray reply = exchange(d.port, call);
                if (!reply.startsWith("HTTP/1.1 200"))
                    o.reply = reply;
            }
            o.ms = clock.elapsed();
            if (d.storedBytes() > StoredBoundBytes)
                o.broken << QStringLiteral("%1 bytes stored").arg(d.storedBytes());
            return o;
        }) << QByteArray("507") << QByteArray("no room for more pictures")
                                       << 1000;
    }
    void attackIsRefused()
    {
        QFETCH(Attack, attack);
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, says);
        QFETCH(int, withinMs);
        Daemon daemon;
        QString error;
        QVERIFY2(daemon.start(&error), qPrintable(error));

        const Outcome outcome = attack(daemon);
        // Still serving: an ordinary call from another peer, answered at once.
        QElapsedTimer clock;
        clock.start();
        const QByteArray reply =
            exchange(daemon.port, deviceCall(QStringLiteral("GetSystemDateAndTime")), 5000);
        const qint64 ordinaryMs = clock.elapsed();
        const qint64 peak = daemon.peakKb();
        qInfo("%s: %s after %lld ms; an ordinary call took %lld ms; daemon peak %lld KiB",
              QTest::currentDataTag(), statusOf(outcome.reply).constData(), outcome.ms, ordinaryMs, peak);

        QVERIFY2(outcome.broken.isEmpty(), qPrintable(outcome.broken.join(QLatin1Char('\n'))));
        QVERIFY2(outcome.reply.startsWith("HTTP/1.1 " + status) && outcome.reply.contains(says),
                 qPrintable(QString::fromLatin1(outcome.reply.left(800))));
        QVERIFY2(outcome.ms <= withinMs, qPrintable(QStringLiteral("refused after %1 ms").arg(outcome.ms)));
        QVERIFY2(statusOf(reply) == "HTTP/1.1 200 OK" && reply.contains("UTCDateTime"),
                 qPrintable(QString::fromLatin1(reply.left(400))));
        QVERIFY2(ordinaryMs < 1000, qPrintable(QString::number(ordinaryMs)));
        QVERIFY2(peak > 0 && peak < PeakBoundKb,
                 qPrintable(QStringLiteral("peak %1 KiB, bound %2 KiB").arg(peak).arg(PeakBoundKb)));
    }

    // Only a wrong password counts towards the lock-out: a call without credentials (a client that waits
    // for a challenge), a token of the right password outside its time window, credentials sent with a
    // call anyone may make, none of them is a guess.
    void onlyWrongPasswordsCount_data()
    {
        QTest::addColumn<QList<QByteArray>>("calls");
        QTest::addColumn<QByteArray>("status");
        const SoapEnvelope::Token stale{QStringLiteral("admin"), Pw, -3600 * 1000};
        const QByteArray staleCall = soapRequest(SoapEnvelope::build(
            [](QXmlStreamWriter& w) { w.writeEmptyElement(Ns::Device, QStringLiteral("GetUsers")); },
            &stale));
        QTest::newRow("no credentials")
            << times(3 * LockThreshold, [] { return deviceCall(QStringLiteral("GetUsers")); })
            << QByteArray("401");
        QTest::newRow("right password, stale token")
            << times(3 * LockThreshold, [staleCall] { return staleCall; }) << QByteArray("400");
        QTest::newRow("wrong password on open calls") << times(3 * LockThreshold, [] {
            return deviceCall(QStringLiteral("GetSystemDateAndTime"), QStringLiteral("guess"));
        }) << QByteArray("200");
        // Wrong passwords in a row lock; a right one in between starts the count again.
        QTest::newRow("right password between wrong ones")
            << times(LockThreshold - 1, [] { return deviceCall(QStringLiteral("GetUsers"), "guess"); }) +
                   QList<QByteArray>{deviceCall(QStringLiteral("GetUsers"), Pw)} +
                   times(LockThreshold - 1, [] { return deviceCall(QStringLiteral("GetUsers"), "guess"); })
            << QByteArray();
    }
    void onlyWrongPasswordsCount()
    {
        QFETCH(QList<QByteArray>, calls);
        QFETCH(QByteArray, status);
        Daemon daemon;
        QString error;
        QVERIFY2(daemon.start(&error), qPrintable(error));
        for (const QByteArray& call : qAsConst(calls)) {
            const QByteArray reply = exchange(daemon.port, call);
            QVERIFY2(status.isEmpty() || reply.startsWith("HTTP/1.1 " + status), reply.left(600).constData());
            QVERIFY2(!reply.contains("USERLOCK"), reply.constData());
        }
        const QByteArray reply = exchange(daemon.port, deviceCall(QStringLiteral("GetUsers"), Pw));
        QVERIFY2(statusOf(reply) == "HTTP/1.1 200 OK", reply.constData());
        QCOMPARE(exchange(daemon.port, deviceCall(QStringLiteral("GetDeviceInformation"), Pw)).left(12),
                 QByteArray("HTTP/1.1 200"));
    }
};

QTEST_GUILESS_MAIN(TestHostileDaemon)
#include "tst_hostiledaemon.moc"
