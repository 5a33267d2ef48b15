#include "faultinjector.h"
#include "firmwareimage.h"
#include "matrixsdkworker.h"
#include "modalanswerer.h"
#include "pmessagebox.h"
#include "servicebackend.h"
#include "servicespy.h"
#include "servicethread.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaMethod>
#include <QProcess>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cstring>

using namespace pral_matrix;

// An operation of the service, given the handle of the connection to A.
using W = MatrixSdkWorker;
using H = const CMHandle&;
using Op = std::function<void(W&, H)>;
Q_DECLARE_METATYPE(Op)

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

const QString A = ServiceBackend::address(QStringLiteral("192.0.2.10"));
const QString B = ServiceBackend::address(QStringLiteral("192.0.2.11"));
const QString C = ServiceBackend::address(QStringLiteral("192.0.2.12"));
const QString Nowhere = ServiceBackend::address(QStringLiteral("192.0.2.99"));
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
 * Records which signals of the worker fire, on which thread, and their first argument when it is an
 * int. Like QSignalSpy it answers the calls itself, since sender() is not set for a receiver called from
 * another thread. One signal is also taken blocking-queued by a receiver that shows a modal box.
 */
class SignalProbe : public QObject
{
public:
    struct Hit
    {
        QByteArray signal;
        QThread* thread;
        int first;
    };
    static constexpr int BlockingSlot = 1000;

    SignalProbe(QObject* source, const QByteArray& blockingSignal)
    {
        const QMetaObject* meta = source->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() != QMetaMethod::Signal)
                continue;
            const int slot = QObject::staticMetaObject.methodCount() + methods.size();
            methods.append(method);
            QMetaObject::connect(source, i, this, slot, Qt::DirectConnection);
            if (method.name() == blockingSignal)
                QMetaObject::connect(source, i, this, QObject::staticMetaObject.methodCount() + BlockingSlot,
                                     Qt::BlockingQueuedConnection);
        }
    }

    int qt_metacall(QMetaObject::Call call, int id, void** args) override
    {
        id = QObject::qt_metacall(call, id, args);
        if (id < 0 || call != QMetaObject::InvokeMetaMethod)
            return id;
        if (id == BlockingSlot) {
            // Only the first result: the test answers one box.
            if (!blockingThread.testAndSetOrdered(nullptr, QThread::currentThread()))
                return -1;
            PCOMMON::PMessageBox::information(nullptr, QStringLiteral("Result arrived"));
            boxClosed = true;
            return -1;
        }
        const QMetaMethod method = methods.value(id);
        const bool intFirst = method.parameterCount() > 0 && method.parameterType(0) == QMetaType::Int;
        QMutexLocker lock(&mutex);
        recorded.append(
            Hit{method.name(), QThread::currentThread(), intFirst ? *static_cast<int*>(args[1]) : 0});
        return -1;
    }

    QList<Hit> hits() const
    {
        QMutexLocker lock(&mutex);
        return recorded;
    }

    /** The first call of signal; a null thread when there was none. */
    Hit first(const QByteArray& signal) const
    {
        const QList<Hit> all = hits();
        const auto it =
            std::find_if(all.begin(), all.end(), [&signal](const Hit& h) { return h.signal == signal; });
        return it == all.end() ? Hit{signal, nullptr, 0} : *it;
    }

    QAtomicPointer<QThread> blockingThread;
    QAtomicInt boxClosed;

private:
    QList<QMetaMethod> methods;
    mutable QMutex mutex;
    QList<Hit> recorded;
};

QString writeFirmware(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("fw.bin"));
    const QByteArray image = FirmwareImage::build(QStringLiteral("TVD-02"), QStringLiteral("V9"), "payload");
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(image) == image.size() ? path : QString();
}

// A decoder that offers only what ONVIF has (another maker's) refuses what only our extension does.
const bool Standard = ServiceBackend::standardOnly();

/** The id the search lists the decoder in its factory state by: a standard device tells its serial number
 * only after a login, so it is known by the id of its search answer. */
QString newDecoderId()
{
    if (!Standard)
        return QStringLiteral("DEV-NEW");
    ServiceSpy found(&MatrixSdkWorker::signalSearchMatrixResult);
    worker().searchMatrix();
    if (!QTest::qWaitFor([&found] { return !found.isEmpty(); }, 5000))
        return QString();
    const MatrixInfoMap listed = found.first().first().value<MatrixInfoMap>();
    const QString at = ServiceBackend::address(QStringLiteral("192.0.2.20"));
    for (const MatrixInfo& m : listed) {
        if (m.ip == at)
            return m.deviceId;
    }
    return QString();
}

DeviceInfo_t deviceC()
{
    DeviceInfo_t device{};
    std::strcpy(device.ip, C.toLatin1().constData());
    std::strcpy(device.userName, "admin");
    std::strcpy(device.password, "Passw0rd!");
    return device;
}

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

/**
 * @brief The service thread: where results come from, how they reach
 * blocking receivers, handles, faults and shutdown.
 */
class TestDecoderService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("config/store.key")));
    }

    void init()
    {
        // Whatever the last test left queued is answered before this one starts.
        QVERIFY(runOnServiceThread([] {}));
        QString error;
        QVERIFY2(ServiceBackend::load(FleetJson, &error), qPrintable(error));
        worker().setResultDelay(0);
        worker().faults().clear();
    }

    void cleanup()
    {
        worker().faults().clear();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void resultReachesABlockingReceiverShowingABox_data()
    {
        QTest::addColumn<QByteArray>("signal");
        QTest::addColumn<Op>("op");
        // 0: the first argument is 0; 1: it is not; -1: it is not an int or may be either.
        QTest::addColumn<int>("failure");
        const auto row = [](const char* name, const char* signal, int failure, const Op& op) {
            QTest::newRow(name) << QByteArray(signal) << op << failure;
        };
        const QString now = QStringLiteral("now");
        row("search", "signalSearchMatrixResult", -1, [](W& w, H) { w.searchMatrix(); });
        row("connect", "signalConnectMatrixResult", -1, [](W& w, H) { w.connectMatrix(record(C), nullptr); });
        row("disconnect", "signalDisconnectMatrixResult", 0,
            [](W& w, H) { w.disconnectMatrix(w.getHandleByIp(B)); });
        row("getLayout", "signalGetLayoutInfoResult", -1, [](W& w, H a) { w.getLayout(a, nullptr); });
        row("setLayout without screens", "signalSetLayoutResult", 1, [](W& w, H) {
            w.setLayout(A, MATRIX_TYPE_MULTI_OUTPUT, 1, 1, MatrixInfoList{}, QStringLiteral("W"));
        });
        row("checkScreen", "signalCheckScreenResult", Standard ? 1 : 0,
            [](W& w, H a) { w.checkScreen(a, 1, true); });
        row("factoryReset", "signalMatrixFactoryResetResult", 0,
            [](W& w, H) { w.factoryReset(w.getHandleByIp(B)); });
        row("activate", "signalActiveDecoderFinished", 0,
            [](W& w, H) { w.activeDecoder(newDecoderId(), QStringLiteral("Fresh-pw-01")); });
        row("passwordModify", "signalUserPasswordModifyResult", 0,
            [](W& w, H a) { w.userPasswordModify(a, Pw, QStringLiteral("Another-pw1")); });
        row("getNetwork", "signalGetMatrixNetworkResult", -1,
            [](W& w, H) { w.getMatrixNetworkInfo(record(A), 3); });
        row("setNetwork without an address", "signalSetMatrixNetworkResult", 1, [](W& w, H a) {
            w.setMatrixNetworkConfig(a, record(A), record(A), DeviceNetworkCfg_t{}, 3, nullptr);
        });
        row("getResolution", "signalMatrixGetResolutionResult", -1,
            [](W& w, H a) { w.getMatrixResolution(a, 0, 0); });
        row("setResolution", "signalMatrixSetResolutionResult", Standard ? 1 : 0, [](W& w, H a) {
            w.setMatrixResolution(a, ScreenResolutionInfo{0, 0, {3840, 2160, 30}, false}, true);
        });
        row("getColor", "signalMatrixGetScreenColorResult", -1,
            [](W& w, H a) { w.getMatrixScreenColor(a, 1, 1); });
        row("setColor", "signalMatrixSetScreenColorResult", Standard ? 1 : 0,
            [](W& w, H a) { w.setMatrixScreenColor(a, 1, 1, ScreenColor{}); });
        row("getLog", "signalGetLogsResult", -1, [](W& w, H a) {
            w.getLog(a, QDateTime::currentDateTime().addDays(-1), QDateTime::currentDateTime(), 0, QString());
        });
        row("export", "signalExportConfigResult", 0,
            [this](W& w, H a) { w.exportMatrixConfig(a, dir.filePath(QStringLiteral("a.matrix"))); });
        row("drop", "signalDisconnectStatus", -1, [](W& w, H) { w.dropConnection(B); });

        // Bad input: a non-zero result, never silence or a crash.
        row("disconnect null", "signalDisconnectMatrixResult", 1,
            [](W& w, H) { w.disconnectMatrix(CMHandle()); });
        row("layout without connection", "signalSetLayoutResult", 1,
            [](W& w, H) { w.setLayout(C, 3, 1, 1, MatrixInfoList{}, QStringLiteral("W")); });
        row("check null", "signalCheckScreenResult", 1, [](W& w, H) { w.checkScreen(CMHandle(), 1, true); });
        row("reset null", "signalMatrixFactoryResetResult", 1, [](W& w, H) { w.factoryReset(CMHandle()); });
        row("activate unknown", "signalActiveDecoderFinished", 1,
            [](W& w, H) { w.activeDecoder(QStringLiteral("NO-SUCH-ID"), QStringLiteral("Fresh-pw-01")); });
        row("password null", "signalUserPasswordModifyResult", 1,
            [](W& w, H) { w.userPasswordModify(CMHandle(), Pw, QStringLiteral("Another-pw1")); });
        row("network unknown", "signalSetMatrixNetworkResult", 1, [](W& w, H) {
            w.setMatrixNetworkConfig(CMHandle(), record(Nowhere), record(Nowhere), DeviceNetworkCfg_t{}, 3,
                                     nullptr);
        });
        row("resolution null", "signalMatrixSetResolutionResult", 1, [](W& w, H) {
            w.setMatrixResolution(CMHandle(), ScreenResolutionInfo{0, 0, {1920, 1080, 60}, false}, true);
        });
        row("color null", "signalMatrixSetScreenColorResult", 1,
            [](W& w, H) { w.setMatrixScreenColor(CMHandle(), 1, 1, ScreenColor{}); });
        row("export empty path", "signalExportConfigResult", 1,
            [](W& w, H a) { w.exportMatrixConfig(a, QString()); });
        row("import missing file", "signalImportConfigResult", 1,
            [this](W& w, H a) { w.importMatrixConfig(a, dir.filePath(QStringLiteral("missing.matrix"))); });
        row("import stale handle", "signalImportConfigResult", 1, [this](W& w, H a) {
            w.removeHandle(A);
            w.importMatrixConfig(a, dir.filePath(QStringLiteral("a.matrix")));
        });
        row("upgrade nothing", "signalUpdateMatrixResult", 1,
            [](W& w, H) { w.setUpdateMatrixInfo(QList<DeviceInfo_t>{}, QString()); });
        row("upgrade empty path", "signalUpdateMatrixResult", 1,
            [](W& w, H) { w.setUpdateMatrixInfo(QList<DeviceInfo_t>{DeviceInfo_t{}}, QString()); });
    }
    void resultReachesABlockingReceiverShowingABox()
    {
        QFETCH(QByteArray, signal);
        QFETCH(Op, op);
        QFETCH(int, failure);
        const CMHandle a = connectAndWait(A);
        QVERIFY(a);
        QVERIFY(connectAndWait(B));
        ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"),
                             [](QWidget* box) { ModalAnswerer::clickButton(box, QStringLiteral("okBtn")); });
        SignalProbe probe(&worker(), signal);
        op(worker(), a);
        QTRY_VERIFY(probe.boxClosed);
        QVERIFY(answer.answered());
        QCOMPARE(probe.blockingThread.loadAcquire(), QThread::currentThread());
        // The probe is called on the service thread: let that thread finish before the probe goes away.
        QVERIFY(runOnServiceThread([] {}));
        disconnect(&worker(), nullptr, &probe, nullptr);
        const SignalProbe::Hit hit = probe.first(signal);
        QVERIFY(hit.thread);
        if (failure >= 0)
            QCOMPARE(hit.first != RESULT_OK, bool(failure));
        for (const SignalProbe::Hit& h : probe.hits())
            QVERIFY2(h.thread == worker().serviceThread(), h.signal.constData());
    }

    void blockingReceiverHoldsBackTheNextResult()
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
        connect(
            &worker(), &MatrixSdkWorker::signalSearchMatrixResult, &receiver,
            [&note](const MatrixInfoMap&) { note(QStringLiteral("search emitted")); }, Qt::DirectConnection);
        connect(
            &worker(), &MatrixSdkWorker::signalCheckScreenResult, &receiver,
            [&note](int result) {
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
        QCOMPARE(order, (QStringList{"slot start", "box closed", "search emitted"}));
    }

    void wrongPasswordReportsErrorThenResultLateButInOrder()
    {
        worker().setResultDelay(120);
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
        connect(&worker(), &MatrixSdkWorker::signalSearchMatrixResult, &receiver,
                [&order](const MatrixInfoMap&) { order << QStringLiteral("search"); });
        QElapsedTimer clock;
        clock.start();
        worker().connectMatrix(record(C, QStringLiteral("mistyped")), &token);
        worker().searchMatrix();
        QTRY_COMPARE(order.size(), 3);
        QVERIFY(clock.elapsed() >= 110);
        QCOMPARE(order, (QStringList{"error " + C, "result", "search"}));
        QCOMPARE(error.errorType, QStringLiteral("PASSWDERR"));
        // A standard device keeps no counters of wrong passwords: none are shown as if it did.
        QCOMPARE(error.errorCount, Standard ? ConnectErrorMsgInfo().errorCount : 1);
        QCOMPARE(error.lockThreshold, Standard ? ConnectErrorMsgInfo().lockThreshold : 5);
        QCOMPARE(result, int(RESULT_WRONG_PASSWORD));
        QCOMPARE(errorUser, static_cast<void*>(&token));
        QCOMPARE(resultUser, static_cast<void*>(&token));
        // A failed result still names the address and the credentials that were tried.
        QVERIFY(handle);
        QCOMPARE(handle->ip(), C);
        QCOMPARE(handle->password(), QStringLiteral("mistyped"));
        QVERIFY(!worker().getHandleByIp(C));
    }

    void handlesCarryTheLoginAndGoStale()
    {
        const CMHandle first = connectAndWait(C);
        QVERIFY(first);
        // A standard device shows its windows as panes of one video output.
        QCOMPARE(first->matrixType(), Standard ? int(MATRIX_TYPE_SINGLE_OUTPUT) : 3);
        // A new connection replaces the handle: the old one is refused.
        const CMHandle second = connectAndWait(C);
        QVERIFY(second && second != first);
        QCOMPARE(worker().getHandleByIp(C), second);
        ServiceSpy colors(&MatrixSdkWorker::signalMatrixSetScreenColorResult);
        worker().setMatrixScreenColor(first, 1, 1, ScreenColor{});
        worker().setMatrixScreenColor(second, 1, 1, ScreenColor{});
        QTRY_COMPARE(colors.size(), 2);
        QCOMPARE(colors.at(0).first().toInt(), int(RESULT_BAD_HANDLE));
        QCOMPARE(colors.at(1).first().toInt(), Standard ? int(RESULT_UNSUPPORTED) : int(RESULT_OK));
        // A removed handle is stale too; its disconnect still names the address.
        worker().removeHandle(C);
        QVERIFY(!worker().getHandleByIp(C));
        ServiceSpy disconnected(&MatrixSdkWorker::signalDisconnectMatrixResult);
        worker().disconnectMatrix(second);
        QTRY_VERIFY_WITH_TIMEOUT(!disconnected.isEmpty(), 5000);
        QCOMPARE(disconnected.first().at(0).toInt(), int(RESULT_BAD_HANDLE));
        QCOMPARE(disconnected.first().at(1).toString(), C);
    }

    void droppedConnectionIsReported()
    {
        const CMHandle handle = connectAndWait(B);
        QVERIFY(handle);
        ServiceSpy dropped(SIGNAL(signalDisconnectStatus(CMHandle, QString)));
        worker().dropConnection(B);
        QTRY_VERIFY_WITH_TIMEOUT(!dropped.isEmpty(), 5000);
        QCOMPARE(dropped.first().at(0).value<CMHandle>(), handle);
        QCOMPARE(dropped.first().at(1).toString(), B);
        // Nothing to drop: nothing is reported.
        worker().dropConnection(B);
        ServiceSpy search(&MatrixSdkWorker::signalSearchMatrixResult);
        worker().searchMatrix();
        QTRY_VERIFY_WITH_TIMEOUT(!search.isEmpty(), 5000);
        QCOMPARE(dropped.size(), 1);
    }

    void searchResultReachesAConnectionBySignature()
    {
        SearchReceiver receiver;
        // The signature spelling clients use; queued across threads, so the
        // type must be known under this name.
        QVERIFY(connect(&worker(), SIGNAL(signalSearchMatrixResult(const MatrixInfoMap&)), &receiver,
                        SLOT(onSearch(MatrixInfoMap))));
        worker().searchMatrix();
        QTRY_COMPARE(receiver.received.size(), 4);
        QCOMPARE(receiver.thread, QThread::currentThread());
    }

    void layoutResultCarriesTheWallOrTheFault()
    {
        const CMHandle a = connectAndWait(A);
        QVERIFY(a);
        int token = 0;
        ServiceSpy got(&MatrixSdkWorker::signalGetLayoutInfoResult);
        worker().getLayout(a, &token);
        QTRY_VERIFY_WITH_TIMEOUT(!got.isEmpty(), 5000);
        QList<QVariant> args = got.takeFirst();
        if (Standard) {
            // Walls need our extension: the read brings no wall, and a save is refused with a code of its
            // own, which the wizard shows in its message.
            QVERIFY(args.at(0).toString().isEmpty());
            QCOMPARE(args.at(6).value<void*>(), static_cast<void*>(&token));
            ServiceSpy set(&MatrixSdkWorker::signalSetLayoutResult);
            worker().setLayout(A, 3, 1, 1, MatrixInfoList{record(A)}, QStringLiteral("Solo"));
            QTRY_VERIFY_WITH_TIMEOUT(!set.isEmpty(), 5000);
            QCOMPARE(set.first().first().toInt(), int(RESULT_UNSUPPORTED));
            return;
        }
        QCOMPARE(args.at(0).toString(), A);
        QCOMPARE(args.at(2).value<MatrixInfoList>().at(1).ip, B);
        QCOMPARE(args.at(4).toInt(), 2);
        QCOMPARE(args.at(5).toString(), QStringLiteral("Lobby"));
        QCOMPARE(args.at(6).value<void*>(), static_cast<void*>(&token));

        worker().faults().failLayout(A, -30);
        ServiceSpy set(&MatrixSdkWorker::signalSetLayoutResult);
        MatrixInfo s = record(A);
        s.channel = 1;
        s.row = 0;
        s.column = 0;
        worker().setLayout(A, 3, 1, 1, MatrixInfoList{s}, QStringLiteral("Solo"));
        QTRY_VERIFY_WITH_TIMEOUT(!set.isEmpty(), 5000);
        QCOMPARE(set.first().first().toInt(), -30);
        worker().getLayout(a, &token);
        QTRY_VERIFY_WITH_TIMEOUT(!got.isEmpty(), 5000);
        QVERIFY(got.first().at(0).toString().isEmpty());
        QCOMPARE(got.first().at(6).value<void*>(), static_cast<void*>(&token));

        worker().faults().clear();
        worker().setLayout(A, 3, 1, 1, MatrixInfoList{s}, QStringLiteral("Solo"));
        QTRY_COMPARE(set.size(), 2);
        QCOMPARE(set.at(1).first().toInt(), int(RESULT_OK));
    }

    void scenesAnswerAtOnce()
    {
        const CMHandle a = connectAndWait(A);
        QVERIFY(a);
        QCOMPARE(worker().saveMatrixScene(a, 6, QStringLiteral("adjustScreen_limit")), int(RESULT_OK));
        int next = -1;
        QCOMPARE(worker().saveMatrixScene(a, next, QStringLiteral("auto")), int(RESULT_OK));
        QCOMPARE(next, 7);
        QCOMPARE(worker().saveMatrixScene(a, 0, QStringLiteral("bad")), int(RESULT_BAD_ARGUMENT));
        // 64 is the last scene, and numbering by the service never goes past it.
        QCOMPARE(worker().saveMatrixScene(a, 64, QStringLiteral("last")), int(RESULT_OK));
        QCOMPARE(worker().saveMatrixScene(a, 65, QStringLiteral("bad")), int(RESULT_BAD_ARGUMENT));
        next = -1;
        QCOMPARE(worker().saveMatrixScene(a, next, QStringLiteral("auto")), int(RESULT_OK));
        QCOMPARE(next, 64);
        QCOMPARE(worker().restoreMatrixScene(a, 6), int(RESULT_OK));
        QCOMPARE(worker().removeMatrixScene(a, 6), int(RESULT_OK));
        QCOMPARE(worker().saveMatrixScene(CMHandle(), 6, QString()), int(RESULT_BAD_HANDLE));
        QCOMPARE(worker().restoreMatrixScene(CMHandle(), 6), int(RESULT_BAD_HANDLE));
    }

    void upgradeFailureEndsTheUpgrade_data()
    {
        QTest::addColumn<bool>("drop");
        QTest::addColumn<QString>("failure");
        QTest::newRow("card fails with code 9") << false << "1 -1 -1 9 0";
        QTest::newRow("connection drops") << true << "1 -1 -1 3 0";
    }
    void upgradeFailureEndsTheUpgrade()
    {
        if (Standard)
            QSKIP("A standard device tells no failure code nor progress while it installs: its upgrade is "
                  "judged by the version it runs after its restart (firmwareFile).");
        QFETCH(bool, drop);
        QFETCH(QString, failure);
        QTemporaryDir files;
        const QString firmware = writeFirmware(files);
        QVERIFY(!firmware.isEmpty());
        QVERIFY(connectAndWait(C));
        if (!drop)
            worker().faults().failUpgrade(1, 9);
        QStringList events;
        QObject receiver;
        connect(
            &worker(), &MatrixSdkWorker::signalUpdateMatrixResult, &receiver,
            [&events](int r) { events << QStringLiteral("result %1").arg(r); }, Qt::BlockingQueuedConnection);
        connect(
            &worker(), &MatrixSdkWorker::signalUpdateMatrixProgress, &receiver,
            [&events, drop](int card, int marker, int percent, int code, bool latest) {
                events << QStringLiteral("%1 %2 %3 %4 %5")
                              .arg(card)
                              .arg(marker)
                              .arg(percent)
                              .arg(code)
                              .arg(latest);
                if (drop && events.size() == 2)
                    worker().dropConnection(C);
            },
            Qt::BlockingQueuedConnection);
        ServiceSpy dropped(&MatrixSdkWorker::signalDisconnectStatus);
        worker().setUpdateMatrixInfo({deviceC()}, firmware);
        // Progress reads "card marker percent code latest": started, some progress, the failure, the end.
        QTRY_VERIFY(events.endsWith(QStringLiteral("result -10")));
        QVERIFY2(events.size() > 3, qPrintable(events.join(", ")));
        QCOMPARE(events.first(), QStringLiteral("result 0"));
        QCOMPARE(events.mid(events.size() - 2), (QStringList{failure, "result -10"}));
        // Nothing of it goes on: the next request is answered, and no report came in between.
        QVERIFY(runOnServiceThread([] {}));
        QCOMPARE(events.last(), QStringLiteral("result -10"));
        QCOMPARE(dropped.size(), drop ? 1 : 0);
    }

    // What a decoder restart or a broken transfer does to the connection, as a client sees it.
    void importEndsTheConnection_data()
    {
        QTest::addColumn<bool>("transferBreaks");
        QTest::addColumn<int>("result");
        QTest::newRow("imported: the decoder restarts") << false << 0;
        QTest::newRow("transfer breaks: nothing applied") << true << int(RESULT_BAD_HANDLE);
    }
    void importEndsTheConnection()
    {
        QFETCH(bool, transferBreaks);
        QFETCH(int, result);
        const CMHandle a = connectAndWait(A);
        QVERIFY(a);
        ServiceSpy exported(&MatrixSdkWorker::signalExportConfigResult);
        ServiceSpy imported(&MatrixSdkWorker::signalImportConfigResult);
        ServiceSpy colors(&MatrixSdkWorker::signalMatrixGetScreenColorResult);
        const QString path = dir.filePath(QStringLiteral("restart.matrix"));
        worker().exportMatrixConfig(a, path);
        worker().setMatrixScreenColor(a, 1, 1, ScreenColor{5, 5, 5, 5});
        if (transferBreaks)
            worker().faults().breakTransfers(A);
        worker().importMatrixConfig(a, path);
        QTRY_COMPARE(imported.size(), 1);
        QCOMPARE(exported.first().first().toInt(), 0);
        QCOMPARE(imported.first().first().toInt(), result);
        QVERIFY(!worker().getHandleByIp(A));
        // Imported, the colour is the file's again; broken off, it stays.
        const CMHandle again = connectAndWait(A);
        QVERIFY(again);
        // A standard device keeps no colours: the import's result and the ended session are what it shows.
        if (Standard)
            return;
        worker().getMatrixScreenColor(again, 1, 1);
        QTRY_COMPARE(colors.size(), 1);
        QCOMPARE(colors.first().first().value<ScreenColor>().brightness, transferBreaks ? 5 : 87);
    }

    // An installed client started from a menu has no test pictures under its current directory: the
    // service shows the application's own picture of the name instead. A file that is there stays the
    // operator's choice, also when it is no picture, and a name the application has no picture of is
    // refused, as before.
    void testPicturesFallBackOnTheApplicationsOwn_data()
    {
        QTest::addColumn<QString>("file");     // under resources/ of an empty current directory
        QTest::addColumn<QByteArray>("there"); // what the folder holds under that name; empty: nothing
        QTest::addColumn<bool>("shown");
        QTest::newRow("red, not in the folder") << "red.jpg" << QByteArray() << true;
        QTest::newRow("white, not in the folder") << "white.jpg" << QByteArray() << true;
        QTest::newRow("a picture the application has none of") << "purple.jpg" << QByteArray() << false;
        QTest::newRow("the operator's file, no picture") << "red.jpg" << QByteArray("not a picture") << false;
    }
    void testPicturesFallBackOnTheApplicationsOwn()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, there);
        QFETCH(bool, shown);
        if (Standard)
            QSKIP("Test pictures need our extension; a standard device refuses them with the walls.");
        QTemporaryDir current;
        QVERIFY(QDir(current.path()).mkdir(QStringLiteral("resources")));
        const QString path = current.filePath(QStringLiteral("resources/") + file);
        if (!there.isEmpty()) {
            QFile own(path);
            QVERIFY(own.open(QIODevice::WriteOnly) && own.write(there) == there.size());
        }
        const CMHandle a = connectAndWait(A);
        QVERIFY(a);
        // The adjustment page's test window: the whole wall, the picture its one source.
        MatrixWindowInfo window;
        window.windowParam1 = 1;
        window.width = window.height = 32768;
        window.windowParam12 = 1;
        window.rowCount = window.columnCount = 1;
        WindowSourceInfo source;
        source.sourceSlot = 0;
        source.sourceKind = 7;
        source.pictureName = QFileInfo(file).baseName();
        source.picturePath = path;
        source.pictureMode = 3;
        window.sourceList.append(source);
        worker().addWindowInfo(a, window);
        worker().setWindowSignalSource(a, window, -1, true);

        // The decoder tells in its logs what it showed (operation log) or refused (warnings).
        ServiceSpy logs(&MatrixSdkWorker::signalGetLogsResult);
        const QDateTime now = QDateTime::currentDateTime();
        worker().getLog(a, now.addSecs(-60), now.addSecs(60), shown ? 2 : 1, QString());
        QTRY_COMPARE(logs.size(), 1);
        const QStringList lines = logs.first().first().toStringList();
        // Over the network the decoder names the refused picture by the file it was uploaded to.
        const QRegularExpression expected(
            shown
                ? QStringLiteral("shows the test picture %1$").arg(source.pictureName)
                : QStringLiteral("Test picture \"[^\"]*%1\" refused").arg(QRegularExpression::escape(file)));
        QVERIFY2(!lines.filter(expected).isEmpty(), qPrintable(lines.join('\n')));
        // The folder of the operator is left as it was.
        QCOMPARE(QFile::exists(path), !there.isEmpty());
    }

    // ---- the files of a decoder: its configuration, its firmware, its log package ----
    // A path may come with each "/" written as two backslashes: the upgrade dialog hands its file over so.

    void configurationFile_data()
    {
        QTest::addColumn<QString>("content"); // what the file to import holds
        QTest::addColumn<bool>("doubled");
        QTest::addColumn<bool>("applied");
        QTest::newRow("the decoder's own export") << "export" << false << true;
        QTest::newRow("its own export, separators doubled") << "export" << true << true;
        QTest::newRow("not a configuration") << "text" << false << false;
        QTest::newRow("empty file") << "empty" << false << false;
        QTest::newRow("cut in half") << "truncated" << false << false;
        QTest::newRow("no file, separators doubled") << "missing" << true << false;
    }
    void configurationFile()
    {
        QFETCH(QString, content);
        QFETCH(bool, doubled);
        QFETCH(bool, applied);
        const CMHandle a = connectAndWait(A);
        QVERIFY(a);
        QTemporaryDir files;
        const QString path = files.filePath(QStringLiteral("a.matrix"));
        const QString given =
            doubled ? QString(path).replace(QLatin1Char('/'), QStringLiteral("\\\\")) : path;
        // The file holds 4K while the decoder runs at 1920: whatever of it is taken shows. A standard device
        // has no resolution to set and stays at 1920 throughout.
        QCOMPARE(setWidth(a, 3840), Standard ? int(RESULT_UNSUPPORTED) : 0);
        QCOMPARE(serviceResult(&W::signalExportConfigResult, [&] { worker().exportMatrixConfig(a, given); }),
                 0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray exported = file.readAll();
        QVERIFY(!exported.isEmpty());
        file.resize(0);
        file.write(content == QLatin1String("text")        ? QByteArray("[wall]\nrows=2\n")
                   : content == QLatin1String("truncated") ? exported.left(exported.size() / 2)
                   : content == QLatin1String("export")    ? exported
                                                           : QByteArray());
        file.close();
        if (content == QLatin1String("missing"))
            QVERIFY(file.remove());
        QCOMPARE(setWidth(a, 1920), Standard ? int(RESULT_UNSUPPORTED) : 0);

        const int imported =
            serviceResult(&W::signalImportConfigResult, [&] { worker().importMatrixConfig(a, given); });
        QVERIFY2((imported == RESULT_OK) == applied, qPrintable(QString::number(imported)));
        QVERIFY(imported != INT_MIN);
        // An applied configuration restarts the decoder, which ends the session; a refused one changes
        // nothing.
        QCOMPARE(worker().getHandleByIp(A).isNull(), applied);
        const CMHandle now = applied ? connectAndWait(A) : a;
        QVERIFY(now);
        QCOMPARE(width(now), applied && !Standard ? 3840 : 1920);
    }

    void firmwareFile_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<bool>("doubled");
        QTest::addColumn<int>("result");
        QTest::newRow("an image, separators doubled") << "image" << true << int(RESULT_OK);
        QTest::newRow("not a firmware image") << "text" << false << int(RESULT_BAD_ARGUMENT);
        QTest::newRow("file gone") << "missing" << false << int(RESULT_BAD_ARGUMENT);
    }
    void firmwareFile()
    {
        QFETCH(QString, content);
        QFETCH(bool, doubled);
        QFETCH(int, result);
        QTemporaryDir files;
        QString path = writeFirmware(files);
        QVERIFY(!path.isEmpty());
        if (content == QLatin1String("text")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    file.write("release notes\n") > 0);
        } else if (content == QLatin1String("missing")) {
            QVERIFY(QFile::remove(path));
        }
        if (doubled)
            path.replace(QLatin1Char('/'), QStringLiteral("\\\\"));
        QStringList reports;
        QList<int> results;
        QObject receiver;
        connect(&worker(), &MatrixSdkWorker::signalUpdateMatrixResult, &receiver,
                [&results](int r) { results << r; });
        connect(&worker(), &MatrixSdkWorker::signalUpdateMatrixProgress, &receiver,
                [&reports](int card, int marker, int percent, int code, bool latest) {
                    reports << QStringLiteral("%1 %2 %3 %4 %5")
                                   .arg(card)
                                   .arg(marker)
                                   .arg(percent)
                                   .arg(code)
                                   .arg(latest);
                });
        worker().setUpdateMatrixInfo({deviceC()}, path);
        QTRY_VERIFY(!results.isEmpty());
        QCOMPARE(results.first(), result);
        if (result == RESULT_OK) {
            // Every card done: the completion report.
            QTRY_VERIFY_WITH_TIMEOUT(reports.contains(QStringLiteral("0 0 0 0 0")), 10000);
            // A standard device is judged by the version it runs afterwards: the image sent, then done.
            if (Standard) {
                QVERIFY2(reports.startsWith(QStringLiteral("1 0 40 0 0")), qPrintable(reports.join(", ")));
                QCOMPARE(reports.mid(reports.size() - 2), (QStringList{"1 0 100 0 0", "0 0 0 0 0"}));
            }
        } else {
            // Refused before anything went to the decoder.
            QVERIFY(runOnServiceThread([] {}));
            QVERIFY2(reports.isEmpty(), qPrintable(reports.join(", ")));
            QCOMPARE(results.size(), 1);
        }
    }

    void logPackage_data()
    {
        QTest::addColumn<QString>("given"); // "plain", "doubled" or "none"
        QTest::newRow("a path") << "plain";
        QTest::newRow("separators doubled") << "doubled";
        // A package without a path is a cancelled save dialog: nothing to write, nothing to answer.
        QTest::newRow("no path") << "none";
    }
    void logPackage()
    {
        QFETCH(QString, given);
        const CMHandle a = connectAndWait(A);
        QVERIFY(a);
        QTemporaryDir files;
        const QString path = files.filePath(QStringLiteral("logs.tgz"));
        ServiceSpy answered(&MatrixSdkWorker::signalGetLogsResult);
        worker().getLog(a, QDateTime(), QDateTime(), -1,
                        given == QLatin1String("none") ? QString()
                        : given == QLatin1String("doubled")
                            ? QString(path).replace(QLatin1Char('/'), QStringLiteral("\\\\"))
                            : path);
        if (given != QLatin1String("none")) {
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > 0, 10000);
            QFile package(path);
            QVERIFY(package.open(QIODevice::ReadOnly));
            QCOMPARE(package.read(2), QByteArray("\x1f\x8b")); // gzip
        }
        QVERIFY(runOnServiceThread([] {}));
        QVERIFY(runOnServiceThread([] {}));
        QCOMPARE(answered.size(), 0);
        QCOMPARE(QDir(files.path()).entryList(QDir::Files),
                 given == QLatin1String("none") ? QStringList() : QStringList{"logs.tgz"});
    }

    void resolutionAcrossAReconnect_data()
    {
        QTest::addColumn<bool>("persist");
        QTest::addColumn<bool>("atOnce");
        QTest::addColumn<int>("width");
        QTest::newRow("kept") << true << false << 3840;
        QTest::newRow("for the session") << false << false << 1920;
        // The new login must neither overtake the logout queued before it nor be ended by it.
        QTest::newRow("for the session, reconnected at once") << false << true << 1920;
    }
    void resolutionAcrossAReconnect()
    {
        QFETCH(bool, persist);
        QFETCH(bool, atOnce);
        QFETCH(int, width);
        const CMHandle a = connectAndWait(A);
        QVERIFY(a);
        ServiceSpy set(&MatrixSdkWorker::signalMatrixSetResolutionResult);
        ServiceSpy disconnected(&MatrixSdkWorker::signalDisconnectMatrixResult);
        ServiceSpy got(&MatrixSdkWorker::signalMatrixGetResolutionResult);
        ServiceSpy logs(&MatrixSdkWorker::signalGetLogsResult);
        worker().setMatrixResolution(a, ScreenResolutionInfo{0, 0, {3840, 2160, 30}, false}, persist);
        worker().disconnectMatrix(a);
        if (!atOnce)
            QTRY_COMPARE(disconnected.size(), 1);
        const CMHandle again = connectAndWait(A);
        QVERIFY(again);
        QCOMPARE(disconnected.size(), 1);
        // A standard device has no resolution to set: it is refused, not taken and ignored.
        QCOMPARE(set.first().first().toInt(), Standard ? int(RESULT_UNSUPPORTED) : 0);
        worker().getMatrixResolution(again, 0, 0);
        QTRY_COMPARE(got.size(), 1);
        QCOMPARE(got.first().first().value<ScreenResolution_t>().width, Standard ? 1920 : width);
        const QDateTime now = QDateTime::currentDateTime();
        worker().getLog(again, now.addSecs(-60), now.addSecs(60), 2, QString());
        QTRY_COMPARE(logs.size(), 1);
        QStringList sessions =
            logs.first().first().toStringList().filter(QStringLiteral("User admin logged"));
        if (Standard) {
            // A standard device keeps no sessions: a logout sends it nothing, each login is logged.
            QVERIFY2(sessions.size() >= 2 && sessions.filter(QStringLiteral("logged out")).isEmpty(),
                     qPrintable(sessions.join('\n')));
            return;
        }
        QVERIFY2(sessions.size() >= 3, qPrintable(sessions.join('\n')));
        QVERIFY2(sessions.last().endsWith(QLatin1String("logged in")) &&
                     sessions.at(sessions.size() - 2).endsWith(QLatin1String("logged out")),
                 qPrintable(sessions.join('\n')));
    }

    void shutdownWithAPendingBlockingResult_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("application destroyed without its loop") << "destroy";
        QTest::newRow("application loop quits") << "quit";
    }
    void shutdownWithAPendingBlockingResult()
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

private:
    static int setWidth(const CMHandle& handle, int width)
    {
        const ScreenResolutionInfo info{0, 0, {width, width == 3840 ? 2160 : 1080, 30}, false};
        return serviceResult(&W::signalMatrixSetResolutionResult,
                             [&] { worker().setMatrixResolution(handle, info, true); });
    }

    static int width(const CMHandle& handle)
    {
        int got = -1;
        QObject context;
        connect(&worker(), &MatrixSdkWorker::signalMatrixGetResolutionResult, &context,
                [&got](ScreenResolution_t r) { got = r.width; });
        worker().getMatrixResolution(handle, 0, 0);
        return QTest::qWaitFor([&got] { return got != -1; }, 5000) ? got : -1;
    }

    CMHandle connectAndWait(const QString& ip)
    {
        int token = 0;
        bool answered = false;
        int code = RESULT_OK;
        QObject context;
        connect(&worker(), &MatrixSdkWorker::signalConnectMatrixResult, &context,
                [&](const CMHandle&, int result, int, void* pUser) {
                    // Only the answer to this request: others may still be on their way.
                    if (pUser != &token)
                        return;
                    answered = true;
                    code = result;
                });
        worker().connectMatrix(record(ip), &token);
        // A login over the network ends by itself within its calls' timeouts; this wait only guards against
        // a hang, so that a slow sanitizer run is not taken for a refused login.
        if (!QTest::qWaitFor([&answered] { return answered; }, 20000)) {
            qWarning("no answer to the login to %s", qPrintable(ip));
            return CMHandle();
        }
        if (code != RESULT_OK) {
            qWarning("the login to %s answered %d", qPrintable(ip), code);
            return CMHandle();
        }
        return worker().getHandleByIp(ip);
    }

    QTemporaryDir dir;
};

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
