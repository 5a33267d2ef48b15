// What only a network brings, through the real service thread and the real daemon on loopback: refused,
// stalled, cut and slow connections, replies that are not what they claim, decoders that vanish or move,
// connections that overlap yet answer in order, and a daemon that refuses bad requests.

#include "backendnotices.h"
#include "decoderconfigfile.h"
#include "decoderdaemon.h"
#include "firmwareimage.h"
#include "matrixsdkworker.h"
#include "onvifbackend.h"
#include "servicebackend.h"
#include "servicespy.h"
#include "servicethread.h"
#include "simulatedfleet.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

using namespace pral_matrix;

namespace {

const QString Pw = QStringLiteral("Passw0rd!");

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

/** count decoders at 127.0.0.31 and on; faults maps a position to its "daemon" object. */
QByteArray fleet(int count, const QMap<int, QJsonObject>& faults = {})
{
    QJsonArray decoders;
    for (int i = 0; i < count; ++i) {
        QJsonObject daemon = faults.value(i);
        daemon.insert(QStringLiteral("address"), QStringLiteral("127.0.0.%1").arg(31 + i));
        decoders.append(QJsonObject{{"ip", QStringLiteral("192.0.2.%1").arg(31 + i)},
                                    {"deviceId", QStringLiteral("TVD-%1").arg(i)},
                                    {"type", 3},
                                    {"channels", 2},
                                    {"password", Pw},
                                    {"daemon", daemon}});
    }
    return QJsonDocument(QJsonObject{{"decoders", decoders}}).toJson();
}

QString at(int i)
{
    return QStringLiteral("127.0.0.%1").arg(31 + i);
}

MatrixInfo record(const QString& ip)
{
    MatrixInfo info;
    info.ip = ip;
    info.userName = QStringLiteral("admin");
    info.password = Pw;
    return info;
}

using Notices = BackendNotices;

/** A server that answers every request with the same bytes and then closes. */
class CannedServer : public QTcpServer
{
public:
    QByteArray reply;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            socket->readAll();
            socket->write(reply);
            socket->disconnectFromHost();
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
};

/** The port of the daemon that ServiceBackend::loadOverNetwork started. */
quint16 daemonPort()
{
    quint16 port = 0;
    ServiceBackend::inDaemon([&port](DecoderDaemon& d) { port = d.port(); });
    return port;
}

/** A back end of its own on the running daemon, for calls that have no result signal of their own. */
OnvifBackend::Options directOptions()
{
    OnvifBackend::Options options;
    options.httpPort = daemonPort();
    return options;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName() : QString();
}

QByteArray rawExchange(const QString& ip, quint16 port, const QByteArray& bytes, int pauseAfterMs = 0)
{
    QTcpSocket socket;
    socket.connectToHost(ip, port);
    if (!socket.waitForConnected(2000))
        return QByteArray();
    socket.write(bytes);
    socket.flush();
    QByteArray reply;
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < 5000 + pauseAfterMs) {
        if (socket.waitForReadyRead(100))
            reply += socket.readAll();
    }
    return reply + socket.readAll();
}

} // namespace

class TestOnvifNetwork : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(runOnServiceThread([] {}));
    }

    void networkFailuresAreResultsAndNotices_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<qint64>("maxReply");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("notice");
        const qint64 plenty = 1 << 20;
        QTest::newRow("refused") << QJsonObject{{"refuse", true}} << plenty
                                 << int(OnvifBackend::ResultConnectionRefused) << "refused the connection";
        QTest::newRow("stalled") << QJsonObject{{"stallMs", 5000}} << plenty
                                 << int(OnvifBackend::ResultTimeout) << "did not answer within";
        QTest::newRow("cut mid-reply") << QJsonObject{{"dropMidReply", true}} << plenty
                                       << int(OnvifBackend::ResultConnectionLost) << "closed the connection";
        QTest::newRow("slow link") << QJsonObject{{"bytesPerSecond", 300}} << plenty
                                   << int(OnvifBackend::ResultTimeout) << "did not answer within";
        QTest::newRow("oversized reply")
            << QJsonObject() << qint64(200) << int(OnvifBackend::ResultBadReply) << "could not be read";
    }
    void networkFailuresAreResultsAndNotices()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(qint64, maxReply);
        QFETCH(int, result);
        QFETCH(QString, notice);
        OnvifBackend::Options options;
        options.requestTimeoutMs = 1200;
        options.maxReplyBytes = maxReply;
        Notices notices;
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(fleet(1, {{0, fault}}), options, &error,
                                                 [&](OnvifBackend* b) { notices.wire(b); }),
                 qPrintable(error));
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        ServiceSpy refusals(&MatrixSdkWorker::signalConnectErrorMsg);
        QElapsedTimer clock;
        clock.start();
        worker().connectMatrix(record(at(0)), nullptr);
        // The caller never waits for the network.
        QVERIFY(clock.elapsed() < 100);
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 10000);
        QCOMPARE(results.first().at(1).toInt(), result);
        QVERIFY(refusals.isEmpty());
        QVERIFY(!worker().getHandleByIp(at(0)));
        QTRY_VERIFY(!notices.all().isEmpty());
        QVERIFY2(notices.all().first().contains(at(0)) && notices.all().first().contains(notice),
                 qPrintable(notices.all().first()));
    }

    void repliesThatAreNotWhatTheyClaimAreRefused_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("result");
        const QByteArray envelope = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>"
                                    "<x/></s:Body></s:Envelope>";
        auto http = [](const QByteArray& status, const QByteArray& body, int length) {
            return "HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(length) + "\r\n\r\n" +
                   body;
        };
        QTest::newRow("not XML") << http("200 OK", "<a", 2) << int(OnvifBackend::ResultBadReply);
        QTest::newRow("success with an error status")
            << http("500 Error", envelope, envelope.size()) << int(OnvifBackend::ResultBadReply);
        QTest::newRow("truncated body")
            << http("200 OK", envelope.left(20), envelope.size()) << int(OnvifBackend::ResultConnectionLost);
        // Something answered, but not in HTTP: a reply that cannot be read, not a connection cut short.
        QTest::newRow("not HTTP") << QByteArray("SSH-2.0-x\r\n") << int(OnvifBackend::ResultBadReply);
    }
    void repliesThatAreNotWhatTheyClaimAreRefused()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, result);
        CannedServer server;
        server.reply = reply;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        OnvifBackend::Options options;
        options.requestTimeoutMs = 2000;
        options.httpPort = server.serverPort();
        worker().setBackend(std::make_unique<OnvifBackend>(options));
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        worker().connectMatrix(record(QStringLiteral("127.0.0.1")), nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 5000);
        QCOMPARE(results.first().at(1).toInt(), result);
    }

    void connectionsOverlapAndAnswerInRequestOrder()
    {
        QMap<int, QJsonObject> stalls;
        for (int i = 2; i < 24; i += 4)
            stalls.insert(i, QJsonObject{{"stallMs", 8000}});
        OnvifBackend::Options options;
        options.requestTimeoutMs = 1000;
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(fleet(24, stalls), options, &error), qPrintable(error));
        QVector<int> tokens(24);
        QList<int> order;
        QList<int> codes;
        QObject receiver;
        connect(&worker(), &MatrixSdkWorker::signalConnectMatrixResult, &receiver,
                [&](const CMHandle&, int result, int, void* pUser) {
                    order << int(static_cast<int*>(pUser) - tokens.data());
                    codes << result;
                });
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 24; ++i)
            worker().connectMatrix(record(at(i)), &tokens[i]);
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 24, 15000);
        // Six decoders that time out one after the other would take six seconds.
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        for (int i = 0; i < 24; ++i) {
            QCOMPARE(order.at(i), i);
            QCOMPARE(codes.at(i), stalls.contains(i) ? int(OnvifBackend::ResultTimeout) : int(RESULT_OK));
        }
    }

    void decoderThatVanishesIsReportedBroken()
    {
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(fleet(2), OnvifBackend::Options(), &error),
                 qPrintable(error));
        ServiceSpy connected(&MatrixSdkWorker::signalConnectMatrixResult);
        worker().connectMatrix(record(at(0)), nullptr);
        QTRY_COMPARE(connected.size(), 1);
        const CMHandle handle = worker().getHandleByIp(at(0));
        QVERIFY(handle);
        ServiceBackend::inDaemon([](DecoderDaemon& d) {
            DecoderDaemon::NetworkFault gone;
            gone.refuse = true;
            d.setNetworkFault(at(0), gone);
        });
        ServiceSpy checked(&MatrixSdkWorker::signalCheckScreenResult);
        ServiceSpy broken(SIGNAL(signalDisconnectStatus(CMHandle, QString)));
        worker().checkScreen(handle, 1, true);
        QTRY_COMPARE(checked.size(), 1);
        QCOMPARE(checked.first().first().toInt(), int(OnvifBackend::ResultConnectionRefused));
        QTRY_COMPARE(broken.size(), 1);
        QCOMPARE(broken.first().at(1).toString(), at(0));
        QVERIFY(!worker().getHandleByIp(at(0)));
    }

    void searchFindsTheDecodersThatAnswer()
    {
        OnvifBackend::Options options;
        options.discoveryWaitMs = 800;
        // The free address has no daemon at all.
        options.targets = QStringList{at(0), at(1), at(2), at(3), QStringLiteral("127.0.0.250")};
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(
                     fleet(4, {{1, QJsonObject{{"stallMs", 5000}}}, {2, QJsonObject{{"refuse", true}}}}),
                     options, &error),
                 qPrintable(error));
        ServiceSpy found(&MatrixSdkWorker::signalSearchMatrixResult);
        QElapsedTimer clock;
        clock.start();
        worker().searchMatrix();
        QTRY_COMPARE(found.size(), 1);
        QVERIFY(clock.elapsed() < 3000);
        const MatrixInfoMap map = found.first().first().value<MatrixInfoMap>();
        QCOMPARE(map.keys(), (QStringList{at(0), at(3)}));
        QCOMPARE(map.value(at(3)).deviceId, QStringLiteral("TVD-3"));
        QCOMPARE(map.value(at(3)).outputList.size(), 2);
    }

    void addressChangeMovesTheDecoder_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("result");
        QTest::newRow("another loopback address") << "127.0.0.131" << 0;
        QTest::newRow("where the daemon cannot serve") << "192.0.2.77" << int(RESULT_BAD_ARGUMENT);
    }
    void addressChangeMovesTheDecoder()
    {
        QFETCH(QString, address);
        QFETCH(int, result);
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(fleet(1), OnvifBackend::Options(), &error),
                 qPrintable(error));
        ServiceSpy connected(&MatrixSdkWorker::signalConnectMatrixResult);
        worker().connectMatrix(record(at(0)), nullptr);
        QTRY_COMPARE(connected.size(), 1);
        DeviceNetworkCfg_t cfg{};
        qstrcpy(cfg.ipv4Addr, address.toLatin1().constData());
        qstrcpy(cfg.ipv4Mask, "255.255.255.0");
        ServiceSpy set(&MatrixSdkWorker::signalSetMatrixNetworkResult);
        worker().setMatrixNetworkConfig(worker().getHandleByIp(at(0)), record(at(0)), record(at(0)), cfg, 3,
                                        nullptr);
        QTRY_COMPARE(set.size(), 1);
        QCOMPARE(set.first().at(0).toInt(), result);
        if (result != RESULT_OK)
            return;
        QCOMPARE(set.first().at(1).toString(), address);
        QVERIFY(!worker().getHandleByIp(at(0)));
        worker().connectMatrix(record(address), nullptr);
        worker().connectMatrix(record(at(0)), nullptr);
        QTRY_COMPARE(connected.size(), 3);
        QCOMPARE(connected.at(1).at(1).toInt(), int(RESULT_OK));
        QCOMPARE(connected.at(2).at(1).toInt(), int(OnvifBackend::ResultConnectionRefused));
    }

    void filesAndPicturesCrossTheNetwork()
    {
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(fleet(1), OnvifBackend::Options(), &error),
                 qPrintable(error));
        OnvifBackend backend(directOptions());
        QStringList ended;
        backend.setSessionEndedHandler([&ended](const QString& ip, DecoderBackend::SessionEnd why) {
            ended << ip + (why == DecoderBackend::SessionEnd::Restarted ? " restarted" : " other");
        });
        QCOMPARE(backend.login(at(0), QStringLiteral("admin"), Pw).result, int(RESULT_OK));
        QTemporaryDir dir;
        const QString config = dir.filePath(QStringLiteral("a.matrix"));
        QCOMPARE(backend.exportConfig(at(0), config), int(RESULT_OK));
        QVERIFY(QFileInfo(config).size() > 0);
        QCOMPARE(backend.importConfig(at(0), config), int(RESULT_OK));
        // The decoder restarted to apply the file: its session is over on this side too.
        QCOMPARE(ended, QStringList{at(0) + " restarted"});
        QCOMPARE(backend.exportConfig(at(0), config), int(RESULT_BAD_HANDLE));
        QCOMPARE(backend.login(at(0), QStringLiteral("admin"), Pw).result, int(RESULT_OK));

        const QString package = dir.filePath(QStringLiteral("logs.tgz"));
        QStringList lines;
        QCOMPARE(backend.getLog(at(0), QDateTime(), QDateTime(), -1, package, &lines), int(RESULT_OK));
        QFile tgz(package);
        QVERIFY(tgz.open(QIODevice::ReadOnly));
        QCOMPARE(tgz.read(2), QByteArray("\x1f\x8b"));
        const QDateTime end = QDateTime::currentDateTime();
        for (int type : {0, 1}) {
            QCOMPARE(backend.getLog(at(0), end.addDays(-1), end, type, QString(), &lines), int(RESULT_OK));
            QVERIFY(!lines.isEmpty());
            for (const QString& line : qAsConst(lines))
                QVERIFY2(QDateTime::fromString(line.left(19), "yyyy-MM-dd hh:mm:ss") >=
                             end.addDays(-1).addSecs(-1),
                         qPrintable(line));
        }

        // A picture on this machine reaches the decoder before the window that shows it.
        QFile picture(dir.filePath(QStringLiteral("red.jpg")));
        QVERIFY(picture.open(QIODevice::WriteOnly) && picture.write(QByteArray(5000, 'r')) > 0);
        picture.close();
        MatrixWindowInfo window;
        window.width = window.height = 32768;
        WindowSourceInfo source;
        source.picturePath = picture.fileName();
        window.sourceList = {source};
        QCOMPARE(backend.addWindow(at(0), window), int(RESULT_OK));
        QCOMPARE(backend.setWindowSource(at(0), window, -1, true), int(RESULT_OK));
        window.sourceList.first().picturePath = QStringLiteral("picture:never-uploaded.jpg");
        QCOMPARE(backend.setWindowSource(at(0), window, -1, true), int(RESULT_BAD_ARGUMENT));
    }

    // A refusal is the decoder's word and crosses unchanged: the code the fleet gives in the process for
    // the same file, not a transport failure nor a code of the network's (the operator sees the number).
    void refusalsCrossTheNetworkUnchanged_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("code");
        QTest::newRow("empty") << "empty" << int(DecoderConfigFile::Empty);
        QTest::newRow("some other file") << "other" << int(DecoderConfigFile::NotAConfig);
        QTest::newRow("unknown version") << "version" << int(DecoderConfigFile::UnknownVersion);
        QTest::newRow("truncated") << "cut" << int(DecoderConfigFile::Truncated);
        QTest::newRow("changed setting") << "flip" << int(DecoderConfigFile::Damaged);
        QTest::newRow("another model's") << "model" << int(DecoderConfigFile::OtherModel);
        QTest::newRow("firmware, damaged") << "firmware flip" << int(RESULT_BAD_ARGUMENT);
        QTest::newRow("firmware, another model's") << "firmware model" << int(RESULT_BAD_ARGUMENT);
    }
    void refusalsCrossTheNetworkUnchanged()
    {
        QFETCH(QString, file);
        QFETCH(int, code);
        // Two models: two outputs at 127.0.0.31, four at 127.0.0.32.
        const QByteArray json = R"({"decoders": [
            {"ip": "192.0.2.31", "deviceId": "TVD-A", "type": 3, "channels": 2, "password": "Passw0rd!",
             "daemon": {"address": "127.0.0.31"}},
            {"ip": "192.0.2.32", "deviceId": "TVD-B", "type": 3, "channels": 4, "password": "Passw0rd!",
             "daemon": {"address": "127.0.0.32"}}]})";
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(json, OnvifBackend::Options(), &error), qPrintable(error));
        QMap<QString, QString> moved;
        const std::unique_ptr<SimulatedFleet> local =
            SimulatedFleet::fromJson(DecoderDaemon::placeOnLoopback(json, &moved, &error), &error);
        QVERIFY2(local, qPrintable(error));
        OnvifBackend backend(directOptions());
        QStringList ended;
        backend.setSessionEndedHandler(
            [&ended](const QString& ip, DecoderBackend::SessionEnd) { ended << ip; });
        QCOMPARE(backend.login(at(0), QStringLiteral("admin"), Pw).result, int(RESULT_OK));

        QTemporaryDir dir;
        const QString exported = dir.filePath(QStringLiteral("export.matrix"));
        QCOMPARE(local->exportConfig(file == QLatin1String("model") ? at(1) : at(0), exported),
                 int(RESULT_OK));
        QFile source(exported);
        QVERIFY(source.open(QIODevice::ReadOnly));
        QByteArray bytes = source.readAll();
        if (file == QLatin1String("empty"))
            bytes.clear();
        else if (file == QLatin1String("other"))
            bytes = "PK\x03\x04 an archive";
        else if (file == QLatin1String("version"))
            bytes.replace("TVWALL-DECODER-CONFIG 2", "TVWALL-DECODER-CONFIG 7");
        else if (file == QLatin1String("cut"))
            bytes.chop(10);
        else if (file == QLatin1String("flip"))
            bytes.replace("255.255.255.0", "255.255.255.8");
        else if (file == QLatin1String("firmware flip"))
            bytes = FirmwareImage::build(QStringLiteral("TVD-02"), QStringLiteral("V9"), "payload")
                        .replace("payload", "paylord");
        else if (file == QLatin1String("firmware model"))
            bytes = FirmwareImage::build(QStringLiteral("TVD-04"), QStringLiteral("V9"), "payload");
        const QString path = writeFile(dir, QStringLiteral("sent"), bytes);
        QVERIFY(!path.isEmpty());

        int inProcess = 0;
        int overNetwork = 0;
        if (file.startsWith(QLatin1String("firmware"))) {
            DeviceInfo_t device{};
            qstrcpy(device.ip, at(0).toLatin1().constData());
            qstrcpy(device.userName, "admin");
            qstrcpy(device.password, Pw.toLatin1().constData());
            DecoderBackend::UpgradeSink sink;
            sink.progress = [](int, int, int, int, bool) {
            };
            inProcess = local->startUpgrade({device}, path, sink);
            overNetwork = backend.startUpgrade({device}, path, sink);
        } else {
            inProcess = local->importConfig(at(0), path);
            overNetwork = backend.importConfig(at(0), path);
        }
        QCOMPARE(inProcess, code);
        QCOMPARE(overNetwork, code);
        // A refused file leaves the decoder as it was, its session included.
        QVERIFY(ended.isEmpty());
        QCOMPARE(backend.exportConfig(at(0), exported), int(RESULT_OK));
    }

    // Every live session is checked once per interval, each at a moment of its own: when every decoder goes
    // at once, they are found gone across the interval, not in one burst, also when the back end's thread
    // was held up while the checks fell due (a modal dialog waiting on a result); an interval of 0 checks
    // none.
    void sessionChecksAreSpreadOverTheInterval_data()
    {
        QTest::addColumn<int>("intervalMs");
        QTest::addColumn<int>("stallMs");
        QTest::newRow("every second") << 1000 << 0;
        QTest::newRow("every second, after a stall") << 1000 << 1500;
        QTest::newRow("never") << 0 << 0;
    }
    void sessionChecksAreSpreadOverTheInterval()
    {
        QFETCH(int, intervalMs);
        QFETCH(int, stallMs);
        constexpr int Count = 40;
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(fleet(Count), OnvifBackend::Options(), &error),
                 qPrintable(error));
        OnvifBackend::Options options = directOptions();
        options.linkCheckMs = intervalMs;
        OnvifBackend backend(options);
        QMutex mutex;
        QList<qint64> lostAt;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(
            &backend, &OnvifBackend::signalDecoderLost, &backend,
            [&](const QString&) {
                QMutexLocker lock(&mutex);
                lostAt << clock.elapsed();
            },
            Qt::DirectConnection);
        for (int i = 0; i < Count; ++i)
            QCOMPARE(backend.login(at(i), QStringLiteral("admin"), Pw).result, int(RESULT_OK));
        ServiceBackend::inDaemon([](DecoderDaemon& d) {
            DecoderDaemon::NetworkFault gone;
            gone.refuse = true;
            for (int i = 0; i < Count; ++i)
                d.setNetworkFault(at(i), gone);
        });
        const qint64 wentAt = clock.elapsed();
        QThread::msleep(quint32(stallMs));
        if (intervalMs == 0) {
            QTest::qWait(1500);
            QMutexLocker lock(&mutex);
            QVERIFY(lostAt.isEmpty());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     QMutexLocker lock(&mutex);
                                     return lostAt.size() == Count;
                                 }()),
                                 3 * intervalMs + stallMs);
        QMutexLocker lock(&mutex);
        std::sort(lostAt.begin(), lostAt.end());
        QVERIFY2(lostAt.last() - wentAt <= stallMs + intervalMs + 500,
                 qPrintable(QString::number(lostAt.last() - wentAt)));
        int busiest = 0;
        for (int i = 0; i < lostAt.size(); ++i) {
            const auto inWindow =
                std::upper_bound(lostAt.begin(), lostAt.end(), lostAt.at(i) + intervalMs / 10);
            busiest = qMax(busiest, int(inWindow - (lostAt.begin() + i)));
        }
        // Forty spread over ten tenths of the interval: about four a tenth; a burst would put them all in
        // one.
        QVERIFY2(busiest <= Count / 3, qPrintable(QString::number(busiest)));
    }

    void daemonRefusesBadRequests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("says");
        auto soap = [](const QByteArray& body) {
            return "POST /onvif/device_service HTTP/1.1\r\nContent-Length: " +
                   QByteArray::number(body.size()) + "\r\n\r\n" + body;
        };
        const QByteArray open = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
                                "xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\"><s:Body>";
        const QByteArray close = "</s:Body></s:Envelope>";
        QTest::newRow("not HTTP") << QByteArray("hello\r\n\r\n") << QByteArray("400") << QByteArray();
        QTest::newRow("chunked")
            << QByteArray("POST /onvif/device_service HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n")
            << QByteArray("501") << QByteArray();
        QTest::newRow("too large")
            << QByteArray("POST /onvif/device_service HTTP/1.1\r\nContent-Length: 999999999\r\n\r\n")
            << QByteArray("413") << QByteArray();
        QTest::newRow("not XML") << soap("<s:Envelope") << QByteArray("400") << QByteArray("WellFormed");
        QTest::newRow("entity bomb") << soap("<!DOCTYPE s [<!ENTITY a \"a\">]>" + open + "<x>&a;</x>" + close)
                                     << QByteArray("400") << QByteArray("WellFormed");
        QTest::newRow("unknown call") << soap(open + "<tds:Frobnicate/>" + close) << QByteArray("400")
                                      << QByteArray("ActionNotSupported");
        // No credentials at all: the challenge of HTTP Digest, which a UsernameToken answers too.
        QTest::newRow("login without token") << soap(open + "<tds:GetDeviceInformation/>" + close)
                                             << QByteArray("401") << QByteArray("WWW-Authenticate: Digest");
        QTest::newRow("network settings without token") << soap(open + "<tds:GetNetworkInterfaces/>" + close)
                                                        << QByteArray("401") << QByteArray("NotAuthorized");
        QTest::newRow("header it must understand")
            << soap("<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Header><x:Y "
                    "xmlns:x=\"urn:x\" "
                    "s:mustUnderstand=\"1\"/></s:Header><s:Body><x/></s:Body></s:Envelope>")
            << QByteArray("400") << QByteArray("MustUnderstand");
        QTest::newRow("request that never ends")
            << QByteArray("POST /onvif/device_service HTTP/1.1\r\nContent-Le") << QByteArray("408")
            << QByteArray();
        QTest::newRow("fine") << soap(open + "<tds:GetSystemDateAndTime/>" + close) << QByteArray("200")
                              << QByteArray("UTCDateTime");
        // Only a client that logged in keeps a decoder at its new address.
        QTest::newRow("confirmation without token")
            << soap(open + "<w:ConfirmNetworkChange xmlns:w=\"http://tvwall.example.org/ver10/wall/wsdl\"/>" +
                    close)
            << QByteArray("401") << QByteArray("NotAuthorized");
        QTest::newRow("boot and marker for anyone")
            << soap(open +
                    "<tds:GetServices><tds:IncludeCapability>true</tds:IncludeCapability></tds:GetServices>" +
                    close)
            << QByteArray("200") << QByteArray("BootId=\"1\"");
    }
    void daemonRefusesBadRequests()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, says);
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(fleet(1), OnvifBackend::Options(), &error),
                 qPrintable(error));
        const QByteArray reply = rawExchange(at(0), daemonPort(), request);
        QVERIFY2(reply.startsWith("HTTP/1.1 " + status), reply.left(200).constData());
        QVERIFY2(reply.contains(says), reply.constData());
    }
};

QTEST_MAIN(TestOnvifNetwork)
#include "tst_onvifnetwork.moc"
