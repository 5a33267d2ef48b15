#include "faultinjector.h"
#include "matrixsdkworker.h"
#include "modalanswerer.h"
#include "pmessagebox.h"
#include "servicethread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMetaMethod>
#include <QProcess>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using namespace pral_matrix;

namespace {

const QByteArray FleetJson = R"({
  "latencyMs": 0, "upgradeStepMs": 5,
  "decoders": [
    {"ip": "192.0.2.10", "deviceId": "DEV-A", "type": 3, "channels": 4, "version": "V1", "password": "Passw0rd!",
     "tvWall": {"name": "Lobby", "rows": 1, "cols": 2, "screens": ["192.0.2.10-1", "192.0.2.11"]}},
    {"ip": "192.0.2.11", "deviceId": "DEV-B", "type": 1, "version": "V1", "password": "Passw0rd!"},
    {"ip": "192.0.2.12", "deviceId": "DEV-C", "type": 3, "channels": 2, "version": "V1", "password": "Passw0rd!"},
    {"ip": "192.0.2.20", "deviceId": "DEV-NEW", "type": 1, "activated": false}
  ]
})";

const QString A = QStringLiteral("192.0.2.10");
const QString B = QStringLiteral("192.0.2.11");
const QString C = QStringLiteral("192.0.2.12");
const QString Nowhere = QStringLiteral("192.0.2.99");
const QString Pw = QStringLiteral("Passw0rd!");

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

MatrixInfo record(const QString& ip, const QString& password = Pw)
{
    MatrixInfo info;
    info.ip = ip;
    info.userName = QStringLiteral("admin");
    info.password = password;
    return info;
}

/**
 * Records which signals of the worker fire, and on which thread. Like
 * QSignalSpy it answers the calls itself, since sender() is not set for a
 * receiver called from another thread.
 */
class SignalProbe : public QObject
{
public:
    struct Hit
    {
        QByteArray signal;
        QThread* thread;
    };

    void attach(QObject* source)
    {
        const QMetaObject* meta = source->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            if (meta->method(i).methodType() != QMetaMethod::Signal)
                continue;
            const int slot = QObject::staticMetaObject.methodCount() + names.size();
            names.append(meta->method(i).name());
            QMetaObject::connect(source, i, this, slot, Qt::DirectConnection);
        }
    }

    int qt_metacall(QMetaObject::Call call, int id, void** args) override
    {
        id = QObject::qt_metacall(call, id, args);
        if (id < 0 || call != QMetaObject::InvokeMetaMethod)
            return id;
        QMutexLocker lock(&mutex);
        recorded.append(Hit{names.value(id), QThread::currentThread()});
        return -1;
    }

    QList<Hit> hits() const
    {
        QMutexLocker lock(&mutex);
        return recorded;
    }

    bool seen(const QByteArray& signal) const
    {
        const QList<Hit> all = hits();
        return std::any_of(all.begin(), all.end(), [&signal](const Hit& h) { return h.signal == signal; });
    }

private:
    QList<QByteArray> names;
    mutable QMutex mutex;
    QList<Hit> recorded;
};

/** Runs in a child process: the application goes away while a result waits for its receiver. */
int runShutdownChild(int argc, char** argv, const QByteArray& mode)
{
    QApplication app(argc, argv);
    auto& service = worker();
    // Lives on past the application, like a singleton receiver would: its
    // pending call is not cleaned up by its own destruction.
    auto* receiver = new QObject;
    QObject::connect(
        &service, &MatrixSdkWorker::signalSetLayoutResult, receiver,
        [](int) { std::fprintf(stdout, "delivered\n"); }, Qt::BlockingQueuedConnection);
    auto emitBlocked = [&service] {
        QSemaphore emitting;
        service.invokeOnServiceThread([&service, &emitting] {
            emitting.release();
            emit service.signalSetLayoutResult(7);
        });
        emitting.acquire();
    };
    if (mode == "quit") {
        QTimer::singleShot(0, &app, [&emitBlocked] {
            emitBlocked();
            QCoreApplication::quit();
        });
        app.exec();
    } else {
        emitBlocked();
    }
    std::fprintf(stdout, "leaving\n");
    std::fflush(stdout);
    return 0;
}

} // namespace

/**
 * @brief The service thread: where results come from, how they reach
 * blocking receivers, handles, faults, the test seam and shutdown.
 */
class TestDecoderService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void resultsComeFromTheServiceThread_data();
    void resultsComeFromTheServiceThread();
    void badInputGetsANonZeroResult_data();
    void badInputGetsANonZeroResult();
    void blockingReceiverMayRunAModalDialog();
    void wrongPasswordReportsErrorThenResult();
    void connectionResultCarriesTheLogin();
    void reconnectReplacesTheHandle();
    void droppedConnectionIsReported();
    void searchResultReachesAConnectionBySignature();
    void layoutFaultReachesTheCaller();
    void layoutResultCarriesTheWall();
    void scenesAnswerAtOnce();
    void upgradeReportsOverTimeThroughTheService();
    void upgradeFailureEndsTheUpgrade();
    void latencyDelaysResultsButKeepsTheirOrder();
    void seamDeliversExactValuesToBlockingReceivers();
    void shutdownWithAPendingBlockingResult_data();
    void shutdownWithAPendingBlockingResult();

private:
    CMHandle connectAndWait(const QString& ip);
    void trigger(const QString& op);

    QTemporaryDir dir;
};

void TestDecoderService::initTestCase()
{
    QVERIFY(dir.isValid());
    MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
    MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("config/store.key")));
}

void TestDecoderService::init()
{
    // Whatever the last test left queued is answered before this one starts.
    QVERIFY(runOnServiceThread([] {}));
    QString error;
    QVERIFY2(worker().loadFleet(FleetJson, &error), qPrintable(error));
    worker().setResultDelay(0);
    worker().faults().clear();
}

void TestDecoderService::cleanup()
{
    worker().faults().clear();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

CMHandle TestDecoderService::connectAndWait(const QString& ip)
{
    int token = 0;
    bool answered = false;
    bool connected = false;
    QObject context;
    connect(&worker(), &MatrixSdkWorker::signalConnectMatrixResult, &context,
            [&](const CMHandle&, int result, int, void* pUser) {
                // Only the answer to this request: others may still be on their way.
                if (pUser != &token)
                    return;
                answered = true;
                connected = result == RESULT_OK;
            });
    worker().connectMatrix(record(ip), &token);
    if (!QTest::qWaitFor([&answered] { return answered; }, 5000) || !connected)
        return CMHandle();
    return worker().getHandleByIp(ip);
}

void TestDecoderService::trigger(const QString& op)
{
    MatrixSdkWorker& w = worker();
    const CMHandle a = w.getHandleByIp(A);
    if (op == QLatin1String("search"))
        w.searchMatrix();
    else if (op == QLatin1String("connect"))
        w.connectMatrix(record(C), nullptr);
    else if (op == QLatin1String("disconnect"))
        w.disconnectMatrix(w.getHandleByIp(B));
    else if (op == QLatin1String("getLayout"))
        w.getLayout(a, nullptr);
    else if (op == QLatin1String("setLayout"))
        w.setLayout(A, MATRIX_TYPE_MULTI_OUTPUT, 1, 1, MatrixInfoList{}, QStringLiteral("W"));
    else if (op == QLatin1String("checkScreen"))
        w.checkScreen(a, 1, true);
    else if (op == QLatin1String("factoryReset"))
        w.factoryReset(w.getHandleByIp(B));
    else if (op == QLatin1String("activate"))
        w.activeDecoder(QStringLiteral("DEV-NEW"), QStringLiteral("Fresh-pw-01"));
    else if (op == QLatin1String("passwordModify"))
        w.userPasswordModify(a, Pw, QStringLiteral("Another-pw1"));
    else if (op == QLatin1String("getNetwork"))
        w.getMatrixNetworkInfo(record(A), 3);
    else if (op == QLatin1String("setNetwork"))
        w.setMatrixNetworkConfig(a, record(A), record(A), DeviceNetworkCfg_t{}, 3, nullptr);
    else if (op == QLatin1String("getResolution"))
        w.getMatrixResolution(a, 0, 0);
    else if (op == QLatin1String("setResolution"))
        w.setMatrixResolution(a, ScreenResolutionInfo{0, 0, {3840, 2160, 30}, false}, true);
    else if (op == QLatin1String("getColor"))
        w.getMatrixScreenColor(a, 1, 1);
    else if (op == QLatin1String("setColor"))
        w.setMatrixScreenColor(a, 1, 1, ScreenColor{});
    else if (op == QLatin1String("getLog"))
        w.getLog(a, QDateTime::currentDateTime().addDays(-1), QDateTime::currentDateTime(), 0, QString());
    else if (op == QLatin1String("export"))
        w.exportMatrixConfig(a, dir.filePath(QStringLiteral("a.matrix")));
    else if (op == QLatin1String("import"))
        w.importMatrixConfig(a, dir.filePath(QStringLiteral("missing.matrix")));
    else if (op == QLatin1String("upgrade"))
        w.setUpdateMatrixInfo(QList<DeviceInfo_t>{}, QString());
    else if (op == QLatin1String("drop"))
        w.dropConnection(B);
    else
        QFAIL(qPrintable(QStringLiteral("unknown operation %1").arg(op)));
}

void TestDecoderService::resultsComeFromTheServiceThread_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QByteArray>("signal");
    QTest::newRow("search") << "search" << QByteArray("signalSearchMatrixResult");
    QTest::newRow("connect") << "connect" << QByteArray("signalConnectMatrixResult");
    QTest::newRow("disconnect") << "disconnect" << QByteArray("signalDisconnectMatrixResult");
    QTest::newRow("getLayout") << "getLayout" << QByteArray("signalGetLayoutInfoResult");
    QTest::newRow("setLayout") << "setLayout" << QByteArray("signalSetLayoutResult");
    QTest::newRow("checkScreen") << "checkScreen" << QByteArray("signalCheckScreenResult");
    QTest::newRow("factoryReset") << "factoryReset" << QByteArray("signalMatrixFactoryResetResult");
    QTest::newRow("activate") << "activate" << QByteArray("signalActiveDecoderFinished");
    QTest::newRow("passwordModify") << "passwordModify" << QByteArray("signalUserPasswordModifyResult");
    QTest::newRow("getNetwork") << "getNetwork" << QByteArray("signalGetMatrixNetworkResult");
    QTest::newRow("setNetwork") << "setNetwork" << QByteArray("signalSetMatrixNetworkResult");
    QTest::newRow("getResolution") << "getResolution" << QByteArray("signalMatrixGetResolutionResult");
    QTest::newRow("setResolution") << "setResolution" << QByteArray("signalMatrixSetResolutionResult");
    QTest::newRow("getColor") << "getColor" << QByteArray("signalMatrixGetScreenColorResult");
    QTest::newRow("setColor") << "setColor" << QByteArray("signalMatrixSetScreenColorResult");
    QTest::newRow("getLog") << "getLog" << QByteArray("signalGetLogsResult");
    QTest::newRow("export") << "export" << QByteArray("signalExportConfigResult");
    QTest::newRow("import") << "import" << QByteArray("signalImportConfigResult");
    QTest::newRow("upgrade") << "upgrade" << QByteArray("signalUpdateMatrixResult");
    QTest::newRow("drop") << "drop" << QByteArray("signalDisconnectStatus");
}

void TestDecoderService::resultsComeFromTheServiceThread()
{
    QFETCH(QString, op);
    QFETCH(QByteArray, signal);
    QVERIFY(connectAndWait(A));
    QVERIFY(connectAndWait(B));
    SignalProbe probe;
    probe.attach(&worker());
    trigger(op);
    QTRY_VERIFY(probe.seen(signal));
    // The probe is called on the service thread: let that thread finish
    // before the probe goes away.
    QVERIFY(runOnServiceThread([] {}));
    disconnect(&worker(), nullptr, &probe, nullptr);
    for (const SignalProbe::Hit& hit : probe.hits())
        QVERIFY2(hit.thread == worker().serviceThread(), hit.signal.constData());
}

void TestDecoderService::badInputGetsANonZeroResult_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QByteArray>("signal");
    QTest::newRow("disconnect null") << "disconnect null"
                                     << QByteArray(SIGNAL(signalDisconnectMatrixResult(int, QString)));
    QTest::newRow("layout without connection")
        << "setLayout" << QByteArray(SIGNAL(signalSetLayoutResult(int)));
    QTest::newRow("check null") << "checkScreen null" << QByteArray(SIGNAL(signalCheckScreenResult(int)));
    QTest::newRow("reset null") << "factoryReset null"
                                << QByteArray(SIGNAL(signalMatrixFactoryResetResult(int, QString)));
    QTest::newRow("activate unknown")
        << "activate unknown" << QByteArray(SIGNAL(signalActiveDecoderFinished(int, QString)));
    QTest::newRow("password null") << "passwordModify null"
                                   << QByteArray(
                                          SIGNAL(signalUserPasswordModifyResult(int, QString, QString)));
    QTest::newRow("network unknown") << "setNetwork unknown"
                                     << QByteArray(
                                            SIGNAL(signalSetMatrixNetworkResult(int, QString, QString)));
    QTest::newRow("resolution null") << "setResolution null"
                                     << QByteArray(SIGNAL(signalMatrixSetResolutionResult(int)));
    QTest::newRow("color null") << "setColor null"
                                << QByteArray(SIGNAL(signalMatrixSetScreenColorResult(int)));
    QTest::newRow("export empty path") << "export empty" << QByteArray(SIGNAL(signalExportConfigResult(int)));
    QTest::newRow("import stale handle")
        << "import stale" << QByteArray(SIGNAL(signalImportConfigResult(int)));
    QTest::newRow("upgrade empty path")
        << "upgrade empty" << QByteArray(SIGNAL(signalUpdateMatrixResult(int)));
}

void TestDecoderService::badInputGetsANonZeroResult()
{
    QFETCH(QString, op);
    QFETCH(QByteArray, signal);
    MatrixSdkWorker& w = worker();
    const CMHandle a = connectAndWait(A);
    QVERIFY(a);
    QSignalSpy spy(&w, signal.constData());
    QVERIFY(spy.isValid());
    if (op == QLatin1String("disconnect null"))
        w.disconnectMatrix(CMHandle());
    else if (op == QLatin1String("setLayout"))
        w.setLayout(C, 3, 1, 1, MatrixInfoList{}, QStringLiteral("W"));
    else if (op == QLatin1String("checkScreen null"))
        w.checkScreen(CMHandle(), 1, true);
    else if (op == QLatin1String("factoryReset null"))
        w.factoryReset(CMHandle());
    else if (op == QLatin1String("activate unknown"))
        w.activeDecoder(QStringLiteral("NO-SUCH-ID"), QStringLiteral("Fresh-pw-01"));
    else if (op == QLatin1String("passwordModify null"))
        w.userPasswordModify(CMHandle(), Pw, QStringLiteral("Another-pw1"));
    else if (op == QLatin1String("setNetwork unknown"))
        w.setMatrixNetworkConfig(CMHandle(), record(Nowhere), record(Nowhere), DeviceNetworkCfg_t{}, 3,
                                 nullptr);
    else if (op == QLatin1String("setResolution null"))
        w.setMatrixResolution(CMHandle(), ScreenResolutionInfo{0, 0, {1920, 1080, 60}, false}, true);
    else if (op == QLatin1String("setColor null"))
        w.setMatrixScreenColor(CMHandle(), 1, 1, ScreenColor{});
    else if (op == QLatin1String("export empty"))
        w.exportMatrixConfig(a, QString());
    else if (op == QLatin1String("import stale")) {
        w.removeHandle(A);
        w.importMatrixConfig(a, dir.filePath(QStringLiteral("a.matrix")));
    } else if (op == QLatin1String("upgrade empty"))
        w.setUpdateMatrixInfo(QList<DeviceInfo_t>{DeviceInfo_t{}}, QString());
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty(), 5000);
    QVERIFY(spy.first().first().toInt() != RESULT_OK);
}

void TestDecoderService::blockingReceiverMayRunAModalDialog()
{
    const CMHandle a = connectAndWait(A);
    QVERIFY(a);
    QMutex mutex;
    QStringList order;
    auto note = [&mutex, &order](const QString& step) {
        QMutexLocker lock(&mutex);
        order.append(step);
    };
    QObject receiver;
    QThread* slotThread = nullptr;
    connect(
        &worker(), &MatrixSdkWorker::signalSearchMatrixResult, &receiver,
        [&note](const MatrixInfoMap&) { note(QStringLiteral("search emitted")); }, Qt::DirectConnection);
    connect(
        &worker(), &MatrixSdkWorker::signalCheckScreenResult, &receiver,
        [&note, &slotThread](int result) {
            slotThread = QThread::currentThread();
            note(QStringLiteral("slot start"));
            PCOMMON::PMessageBox::information(nullptr, QStringLiteral("Check result %1").arg(result));
            note(QStringLiteral("box closed"));
        },
        Qt::BlockingQueuedConnection);
    ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"),
                         [](QWidget* box) { ModalAnswerer::clickButton(box, QStringLiteral("okBtn")); });
    worker().checkScreen(a, 2, true);
    // Queued behind the check: it cannot run while the service thread waits for the box.
    worker().searchMatrix();
    QTRY_COMPARE(order.size(), 3);
    QVERIFY(answer.answered());
    QCOMPARE(slotThread, QThread::currentThread());
    QCOMPARE(order, (QStringList{"slot start", "box closed", "search emitted"}));
}

void TestDecoderService::wrongPasswordReportsErrorThenResult()
{
    QStringList order;
    ConnectErrorMsgInfo error;
    CMHandle handle;
    int result = 0;
    void* errorUser = nullptr;
    void* resultUser = nullptr;
    int token = 0;
    QObject receiver;
    connect(
        &worker(), &MatrixSdkWorker::signalConnectErrorMsg, &receiver,
        [&](const QString& ip, const ConnectErrorMsgInfo& info, void* pUser) {
            order << QStringLiteral("error ") + ip;
            error = info;
            errorUser = pUser;
        },
        Qt::BlockingQueuedConnection);
    connect(
        &worker(), &MatrixSdkWorker::signalConnectMatrixResult, &receiver,
        [&](const CMHandle& h, int r, int, void* pUser) {
            order << QStringLiteral("result");
            handle = h;
            result = r;
            resultUser = pUser;
        },
        Qt::BlockingQueuedConnection);
    worker().connectMatrix(record(C, QStringLiteral("mistyped")), &token);
    QTRY_COMPARE(order.size(), 2);
    QCOMPARE(order, (QStringList{"error " + C, "result"}));
    QCOMPARE(error.errorType, QStringLiteral("PASSWDERR"));
    QCOMPARE(error.errorCount, 1);
    QCOMPARE(error.lockThreshold, 5);
    QCOMPARE(error.lockMinutes, 30);
    QCOMPARE(error.unlockSeconds, -1);
    QCOMPARE(result, int(RESULT_WRONG_PASSWORD));
    QCOMPARE(errorUser, static_cast<void*>(&token));
    QCOMPARE(resultUser, static_cast<void*>(&token));
    // A failed result still names the address and the credentials that were tried.
    QVERIFY(handle);
    QCOMPARE(handle->ip(), C);
    QCOMPARE(handle->password(), QStringLiteral("mistyped"));
    QVERIFY(!worker().getHandleByIp(C));
}

void TestDecoderService::connectionResultCarriesTheLogin()
{
    const CMHandle handle = connectAndWait(C);
    QVERIFY(handle);
    QCOMPARE(handle->ip(), C);
    QCOMPARE(handle->userName(), QStringLiteral("admin"));
    QCOMPARE(handle->password(), Pw);
    QCOMPARE(handle->matrixType(), 3);
    QCOMPARE(handle->version(), QStringLiteral("V1"));
    worker().removeHandle(C);
    QVERIFY(!worker().getHandleByIp(C));
    QSignalSpy disconnected(&worker(), &MatrixSdkWorker::signalDisconnectMatrixResult);
    worker().disconnectMatrix(handle);
    QTRY_VERIFY_WITH_TIMEOUT(!disconnected.isEmpty(), 5000);
    QCOMPARE(disconnected.first().at(0).toInt(), int(RESULT_BAD_HANDLE));
    QCOMPARE(disconnected.first().at(1).toString(), C);
}

void TestDecoderService::reconnectReplacesTheHandle()
{
    const CMHandle first = connectAndWait(C);
    const CMHandle second = connectAndWait(C);
    QVERIFY(first && second);
    QVERIFY(first != second);
    QCOMPARE(worker().getHandleByIp(C), second);
    QSignalSpy colors(&worker(), &MatrixSdkWorker::signalMatrixSetScreenColorResult);
    worker().setMatrixScreenColor(first, 1, 1, ScreenColor{});
    worker().setMatrixScreenColor(second, 1, 1, ScreenColor{});
    QTRY_COMPARE(colors.size(), 2);
    QCOMPARE(colors.at(0).first().toInt(), int(RESULT_BAD_HANDLE));
    QCOMPARE(colors.at(1).first().toInt(), int(RESULT_OK));

    worker().disconnectAllMatrix();
    QTRY_VERIFY(!worker().getHandleByIp(C));
}

void TestDecoderService::droppedConnectionIsReported()
{
    const CMHandle handle = connectAndWait(B);
    QVERIFY(handle);
    QSignalSpy dropped(&worker(), SIGNAL(signalDisconnectStatus(CMHandle, QString)));
    worker().dropConnection(B);
    QTRY_VERIFY_WITH_TIMEOUT(!dropped.isEmpty(), 5000);
    QCOMPARE(dropped.first().at(0).value<CMHandle>(), handle);
    QCOMPARE(dropped.first().at(1).toString(), B);
    QVERIFY(!worker().getHandleByIp(B));
    // Nothing to drop: nothing is reported.
    worker().dropConnection(B);
    QSignalSpy search(&worker(), &MatrixSdkWorker::signalSearchMatrixResult);
    worker().searchMatrix();
    QTRY_VERIFY_WITH_TIMEOUT(!search.isEmpty(), 5000);
    QCOMPARE(dropped.size(), 1);
}

namespace {
class SearchReceiver : public QObject
{
    Q_OBJECT

public:
    MatrixInfoMap received;
    QThread* thread = nullptr;

public slots:
    void onSearch(MatrixInfoMap map)
    {
        received = map;
        thread = QThread::currentThread();
    }
};
} // namespace

void TestDecoderService::searchResultReachesAConnectionBySignature()
{
    SearchReceiver receiver;
    // The signature spelling clients use; queued across threads, so the
    // type must be known under this name.
    QVERIFY(connect(&worker(), SIGNAL(signalSearchMatrixResult(const MatrixInfoMap&)), &receiver,
                    SLOT(onSearch(MatrixInfoMap))));
    worker().searchMatrix();
    QTRY_COMPARE(receiver.received.size(), 4);
    QCOMPARE(receiver.thread, QThread::currentThread());
    QCOMPARE(receiver.received.value(A).channelCount, 4);
    QCOMPARE(receiver.received.value(QStringLiteral("192.0.2.20")).activated, false);
}

void TestDecoderService::layoutFaultReachesTheCaller()
{
    const CMHandle a = connectAndWait(A);
    QVERIFY(a);
    worker().faults().failLayout(A, -30);
    QSignalSpy set(&worker(), &MatrixSdkWorker::signalSetLayoutResult);
    MatrixInfo s = record(A);
    s.channel = 1;
    s.row = 0;
    s.column = 0;
    worker().setLayout(A, 3, 1, 1, MatrixInfoList{s}, QStringLiteral("Solo"));
    QTRY_VERIFY_WITH_TIMEOUT(!set.isEmpty(), 5000);
    QCOMPARE(set.first().first().toInt(), -30);

    int token = 0;
    QSignalSpy got(&worker(), &MatrixSdkWorker::signalGetLayoutInfoResult);
    worker().getLayout(a, &token);
    QTRY_VERIFY_WITH_TIMEOUT(!got.isEmpty(), 5000);
    QVERIFY(got.first().at(0).toString().isEmpty());
    QCOMPARE(got.first().at(6).value<void*>(), static_cast<void*>(&token));

    worker().faults().clear();
    worker().setLayout(A, 3, 1, 1, MatrixInfoList{s}, QStringLiteral("Solo"));
    QTRY_COMPARE(set.size(), 2);
    QCOMPARE(set.at(1).first().toInt(), int(RESULT_OK));
}

void TestDecoderService::layoutResultCarriesTheWall()
{
    const CMHandle a = connectAndWait(A);
    QVERIFY(a);
    int token = 0;
    QSignalSpy got(&worker(), &MatrixSdkWorker::signalGetLayoutInfoResult);
    worker().getLayout(a, &token);
    QTRY_VERIFY_WITH_TIMEOUT(!got.isEmpty(), 5000);
    const QList<QVariant> args = got.first();
    QCOMPARE(args.at(0).toString(), A);
    QCOMPARE(args.at(1).toInt(), 3);
    const MatrixInfoList screens = args.at(2).value<MatrixInfoList>();
    QCOMPARE(screens.size(), 2);
    QCOMPARE(screens.at(1).ip, B);
    QCOMPARE(int(screens.at(1).matrixType), 1);
    QCOMPARE(args.at(3).toInt(), 1);
    QCOMPARE(args.at(4).toInt(), 2);
    QCOMPARE(args.at(5).toString(), QStringLiteral("Lobby"));
}

void TestDecoderService::scenesAnswerAtOnce()
{
    const CMHandle a = connectAndWait(A);
    QVERIFY(a);
    QCOMPARE(worker().saveMatrixScene(a, 6, QStringLiteral("adjustScreen_limit")), int(RESULT_OK));
    int next = -1;
    QCOMPARE(worker().saveMatrixScene(a, next, QStringLiteral("auto")), int(RESULT_OK));
    QCOMPARE(next, 7);
    QCOMPARE(worker().saveMatrixScene(a, 0, QStringLiteral("bad")), int(RESULT_BAD_ARGUMENT));
    QCOMPARE(worker().restoreMatrixScene(a, 6), int(RESULT_OK));
    QCOMPARE(worker().removeMatrixScene(a, 6), int(RESULT_OK));
    QCOMPARE(worker().saveMatrixScene(CMHandle(), 6, QString()), int(RESULT_BAD_HANDLE));
    QCOMPARE(worker().restoreMatrixScene(CMHandle(), 6), int(RESULT_BAD_HANDLE));
}

void TestDecoderService::upgradeReportsOverTimeThroughTheService()
{
    QTemporaryDir files;
    const QString firmware = files.filePath(QStringLiteral("fw.bin"));
    QFile file(firmware);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("TVWALL-DECODER-FIRMWARE V9\n");
    file.close();
    DeviceInfo_t device{};
    std::strcpy(device.ip, "192.0.2.12");
    std::strcpy(device.userName, "admin");
    std::strcpy(device.password, "Passw0rd!");

    QStringList events;
    QObject receiver;
    connect(
        &worker(), &MatrixSdkWorker::signalUpdateMatrixResult, &receiver,
        [&events](int r) { events << QStringLiteral("result %1").arg(r); }, Qt::BlockingQueuedConnection);
    connect(
        &worker(), &MatrixSdkWorker::signalUpdateMatrixProgress, &receiver,
        [&events](int card, int marker, int percent, int code, bool latest) {
            events
                << QStringLiteral("%1 %2 %3 %4 %5").arg(card).arg(marker).arg(percent).arg(code).arg(latest);
        },
        Qt::BlockingQueuedConnection);
    worker().setUpdateMatrixInfo({device}, firmware);
    QTRY_VERIFY(events.contains(QStringLiteral("0 0 0 0 0")));
    QCOMPARE(events, (QStringList{"result 0", "1 0 20 0 0", "1 0 40 0 0", "1 0 60 0 0", "1 0 80 0 0",
                                  "1 0 100 0 0", "0 0 0 0 0"}));
}

void TestDecoderService::upgradeFailureEndsTheUpgrade()
{
    QTemporaryDir files;
    const QString firmware = files.filePath(QStringLiteral("fw.bin"));
    QFile file(firmware);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("TVWALL-DECODER-FIRMWARE V9\n");
    file.close();
    DeviceInfo_t device{};
    std::strcpy(device.ip, "192.0.2.12");
    std::strcpy(device.userName, "admin");
    std::strcpy(device.password, "Passw0rd!");

    worker().faults().failUpgrade(1, 9);
    QSignalSpy progress(&worker(), &MatrixSdkWorker::signalUpdateMatrixProgress);
    QSignalSpy results(&worker(), &MatrixSdkWorker::signalUpdateMatrixResult);
    worker().setUpdateMatrixInfo({device}, firmware);
    QTRY_COMPARE(results.size(), 2);
    QCOMPARE(results.at(0).first().toInt(), 0);
    QCOMPARE(results.at(1).first().toInt(), int(RESULT_UPGRADE_FAILED));
    const QList<QVariant> failure = progress.last();
    QCOMPARE(failure.at(0).toInt(), 1);
    QCOMPARE(failure.at(1).toInt(), -1);
    QCOMPARE(failure.at(2).toInt(), -1);
    QCOMPARE(failure.at(3).toInt(), 9);
}

void TestDecoderService::latencyDelaysResultsButKeepsTheirOrder()
{
    worker().setResultDelay(120);
    QStringList order;
    QObject receiver;
    connect(
        &worker(), &MatrixSdkWorker::signalConnectErrorMsg, &receiver,
        [&order](const QString&, const ConnectErrorMsgInfo&, void*) { order << QStringLiteral("error"); });
    connect(&worker(), &MatrixSdkWorker::signalConnectMatrixResult, &receiver,
            [&order](const CMHandle&, int, int, void*) { order << QStringLiteral("result"); });
    connect(&worker(), &MatrixSdkWorker::signalSearchMatrixResult, &receiver,
            [&order](const MatrixInfoMap&) { order << QStringLiteral("search"); });
    QElapsedTimer clock;
    clock.start();
    worker().connectMatrix(record(C, QStringLiteral("mistyped")), nullptr);
    worker().searchMatrix();
    QTRY_COMPARE(order.size(), 3);
    QVERIFY(clock.elapsed() >= 110);
    QCOMPARE(order, (QStringList{"error", "result", "search"}));
}

void TestDecoderService::seamDeliversExactValuesToBlockingReceivers()
{
    QString gotIp;
    ConnectErrorMsgInfo got;
    void* gotUser = nullptr;
    QThread* ranOn = nullptr;
    QObject receiver;
    connect(
        &worker(), &MatrixSdkWorker::signalConnectErrorMsg, &receiver,
        [&](const QString& ip, const ConnectErrorMsgInfo& info, void* pUser) {
            gotIp = ip;
            got = info;
            gotUser = pUser;
            ranOn = QThread::currentThread();
        },
        Qt::BlockingQueuedConnection);
    ConnectErrorMsgInfo sent;
    sent.errorType = QStringLiteral("PASSWDERR");
    sent.errorCount = 2;
    sent.lockThreshold = 5;
    QVERIFY(runOnServiceThread(
        [&] { emit worker().signalConnectErrorMsg(QStringLiteral("192.0.2.77"), sent, &receiver); }));
    // Blocking: by the time the seam returns, the receiver has run.
    QCOMPARE(gotIp, QStringLiteral("192.0.2.77"));
    QCOMPARE(got.errorType, sent.errorType);
    QCOMPARE(got.errorCount, 2);
    QCOMPARE(got.lockThreshold, 5);
    QCOMPARE(got.lockMinutes, -1);
    QCOMPARE(gotUser, static_cast<void*>(&receiver));
    QCOMPARE(ranOn, QThread::currentThread());
}

void TestDecoderService::shutdownWithAPendingBlockingResult_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("application destroyed without its loop") << "destroy";
    QTest::newRow("application loop quits") << "quit";
}

void TestDecoderService::shutdownWithAPendingBlockingResult()
{
    QFETCH(QString, mode);
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TVWALL_DATA_DIR"), dir.filePath(QStringLiteral("child")));
    env.insert(QStringLiteral("TVWALL_KEY_FILE"), dir.filePath(QStringLiteral("child/store.key")));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--shutdown-child"), mode});
    QVERIFY(child.waitForStarted());
    // A deadlock between the two threads would keep the child alive.
    const bool finished = child.waitForFinished(30000);
    if (!finished)
        child.kill();
    const QByteArray output = child.readAll();
    QVERIFY2(finished, output.constData());
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY2(output.contains("leaving"), output.constData());
}

int main(int argc, char** argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--shutdown-child") == 0)
        return runShutdownChild(argc, argv, QByteArray(argv[2]));
    QApplication app(argc, argv);
    TestDecoderService test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_decoderservice.moc"
