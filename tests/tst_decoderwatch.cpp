// What the service does when a decoder ends its session by itself, and how it checks a change afterwards:
// each kind of restart gives exactly one broken-connection notice, after the result that caused it, and a
// reset or a new address none; each change is watched until the decoder is back and shows it; a decoder that
// does not come back is reported when the time is up; an address change nobody confirms goes back. Runs on
// the in-process fleet, and with TVWALL_TEST_BACKEND=onvif over the daemon on loopback.

#include "decoderdaemon.h"
#include "decoderwatch.h"
#include "faultinjector.h"
#include "firmwarefile.h"
#include "matrixsdkworker.h"
#include "servicebackend.h"
#include "servicethread.h"
#include "simulatedfleet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <cstring>

using namespace pral_matrix;

namespace {

const QByteArray FleetJson = R"({
  "latencyMs": 0, "upgradeStepMs": 5, "confirmWindowMs": 1200,
  "decoders": [
    {"ip": "192.0.2.10", "deviceId": "DEV-A", "type": 3, "channels": 2, "version": "V1", "password": "Passw0rd!"},
    {"ip": "192.0.2.11", "deviceId": "DEV-B", "type": 1, "version": "V1", "password": "Passw0rd!"},
    {"ip": "192.0.2.12", "deviceId": "DEV-C", "type": 1, "version": "V1", "password": "Passw0rd!",
     "confirmsAddress": false}
  ]
})";

const QString A = ServiceBackend::address(QStringLiteral("192.0.2.10"));
const QString B = ServiceBackend::address(QStringLiteral("192.0.2.11"));
const QString C = ServiceBackend::address(QStringLiteral("192.0.2.12"));
const QString Moved = ServiceBackend::address(QStringLiteral("192.0.2.111"));
const QString Pw = QStringLiteral("Passw0rd!");
constexpr int LinkCheckMs = 150;
constexpr int WatchMs = 4000;
constexpr int RetryMs = 40;

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

CMHandle connectAndWait(const QString& ip, const QString& password = Pw)
{
    int token = 0;
    int result = 1;
    CMHandle handle;
    QObject context;
    QObject::connect(&worker(), &MatrixSdkWorker::signalConnectMatrixResult, &context,
                     [&](const CMHandle& h, int r, int, void* pUser) {
                         if (pUser == &token) {
                             result = r;
                             handle = h;
                         }
                     });
    worker().connectMatrix(record(ip, password), &token);
    if (!QTest::qWaitFor([&handle] { return !handle.isNull(); }, 10000))
        return CMHandle();
    return result == RESULT_OK ? handle : CMHandle();
}

DeviceNetworkCfg_t network(const QString& address, const QString& mask = QStringLiteral("255.255.255.0"))
{
    DeviceNetworkCfg_t cfg{};
    std::strncpy(cfg.ipv4Addr, address.toLatin1().constData(), sizeof cfg.ipv4Addr - 1);
    std::strncpy(cfg.ipv4Mask, mask.toLatin1().constData(), sizeof cfg.ipv4Mask - 1);
    return cfg;
}

DeviceInfo_t device(const QString& ip)
{
    DeviceInfo_t d{};
    std::strncpy(d.ip, ip.toLatin1().constData(), sizeof d.ip - 1);
    std::strcpy(d.userName, "admin");
    std::strcpy(d.password, "Passw0rd!");
    return d;
}

/**
 * The worker's and the watch's signals as one list of lines, in the order they reach the GUI thread
 * (all queued, so the order is the order they were emitted in).
 */
class Events : public QObject
{
public:
    Events()
    {
        MatrixSdkWorker* w = &worker();
        connect(w, &MatrixSdkWorker::signalDisconnectStatus, this,
                [this](const CMHandle&, const QString& ip) { lines << "notice " + ip; });
        connect(w, &MatrixSdkWorker::signalImportConfigResult, this,
                [this](int r) { lines << QStringLiteral("import %1").arg(r); });
        connect(w, &MatrixSdkWorker::signalUpdateMatrixProgress, this, [this](int card, int, int percent) {
            lines << QStringLiteral("upgrade %1:%2").arg(card).arg(percent);
        });
        connect(w, &MatrixSdkWorker::signalMatrixFactoryResetResult, this,
                [this](int r, const QString& ip) { lines << QStringLiteral("reset %1 %2").arg(r).arg(ip); });
        connect(w, &MatrixSdkWorker::signalSetMatrixNetworkResult, this,
                [this](int r, const QString& now, const QString& former) {
                    lines << QStringLiteral("address %1 %2 from %3").arg(r).arg(now, former);
                });
        connect(w, &MatrixSdkWorker::signalUserPasswordModifyResult, this,
                [this](int r) { lines << QStringLiteral("password %1").arg(r); });
        connect(&w->changeWatch(), &DecoderWatch::signalWatchStarted, this,
                [this](const WatchOutcome& s) { lines << "watching " + s.watchedIp; });
        connect(&w->changeWatch(), &DecoderWatch::signalWatchFinished, this, [this](const WatchOutcome& o) {
            outcomes << o;
            lines << "watched " + o.watchedIp;
        });
    }

    int count(const QString& line) const { return lines.count(line); }
    int indexOf(const QString& line) const { return lines.indexOf(line); }
    bool has(const QString& prefix) const
    {
        return std::any_of(lines.begin(), lines.end(),
                           [&prefix](const QString& l) { return l.startsWith(prefix); });
    }

    QStringList lines;
    QList<WatchOutcome> outcomes;
};

QString verdictName(WatchOutcome::Verdict v)
{
    static const char* const names[] = {"watching", "verified", "not applied", "refused",
                                        "not back", "returned", "unchecked"};
    return QString::fromLatin1(names[v]);
}

/** Fills in the addresses of a table's text: %A, %B, %C and %M (the new address). */
QString withAddresses(QString text)
{
    return text.replace("%A", A).replace("%B", B).replace("%C", C).replace("%M", Moved);
}

} // namespace

class TestDecoderWatch : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    void setWatch(int timeoutMs)
    {
        DecoderWatch::Options options;
        options.timeoutMs = timeoutMs;
        options.retryMs = RetryMs;
        worker().changeWatch().setOptions(options);
    }

    QString exportA(const CMHandle& a)
    {
        const QString path = dir.filePath(QStringLiteral("a.matrix"));
        // Taken in this thread: a spy called from the service thread could be gone by the time it returns.
        int result = 1;
        QObject context;
        connect(&worker(), &MatrixSdkWorker::signalExportConfigResult, &context,
                [&result](int r) { result = r; });
        worker().exportMatrixConfig(a, path);
        return QTest::qWaitFor([&result] { return result != 1; }, 10000) && result == 0 ? path : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("config/store.key")));
    }

    void init()
    {
        QVERIFY(runOnServiceThread([] {}));
        QString error;
        QVERIFY2(ServiceBackend::load(FleetJson, &error,
                                      [](OnvifBackend::Options& o) { o.linkCheckMs = LinkCheckMs; }),
                 qPrintable(error));
        worker().setResultDelay(0);
        worker().faults().clear();
        worker().setWatchChanges(true);
        setWatch(WatchMs);
    }

    void cleanup()
    {
        worker().faults().clear();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // ---- sessions that end by themselves ----

    void sessionEndsWithOneNoticeWhenTheDecoderRestartsOrVanishes_data()
    {
        QTest::addColumn<QString>("event");
        // The result the notice must follow; empty when the decoder did it on its own.
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("notices");
        QTest::newRow("configuration imported") << "import"
                                                << "import 0" << 1;
        // Over the network the session check may see the decoder restart before the upgrade's last report.
        QTest::newRow("firmware installed")
            << "upgrade" << QString(ServiceBackend::overNetwork() ? "" : "upgrade 1:100") << 1;
        QTest::newRow("reboot") << "reboot"
                                << "" << 1;
        QTest::newRow("link lost") << "link"
                                   << "" << 1;
        // What the client handles itself ends the session without a notice.
        QTest::newRow("factory reset") << "reset"
                                       << "reset 0 %A" << 0;
        QTest::newRow("new address") << "address"
                                     << "address 0 %M from %A" << 0;
    }
    void sessionEndsWithOneNoticeWhenTheDecoderRestartsOrVanishes()
    {
        QFETCH(QString, event);
        QFETCH(QString, after);
        QFETCH(int, notices);
        after = withAddresses(after);
        const CMHandle a = connectAndWait(A);
        QVERIFY(a);
        const QString config = exportA(a);
        QVERIFY(!config.isEmpty());
        const QString firmware = dir.filePath(QStringLiteral("fw.bin"));
        QVERIFY(writeFirmwareFile(firmware, QStringLiteral("TVD-02"), QStringLiteral("V2")));
        Events events;

        if (event == "import") {
            worker().importMatrixConfig(a, config);
        } else if (event == "upgrade") {
            worker().setUpdateMatrixInfo({device(A)}, firmware);
        } else if (event == "reboot") {
            ServiceBackend::onFleet([](SimulatedFleet& f) { f.restartDecoder(A); });
        } else if (event == "link") {
            if (ServiceBackend::overNetwork())
                ServiceBackend::inDaemon([](DecoderDaemon& d) {
                    DecoderDaemon::NetworkFault fault;
                    fault.refuse = true;
                    d.setNetworkFault(A, fault);
                });
            else
                worker().dropConnection(A);
        } else if (event == "reset") {
            worker().factoryReset(a);
        } else {
            worker().setMatrixNetworkConfig(a, record(A), record(A), network(Moved), 3, nullptr);
        }

        // The change's result, then the watch's end (the decoder is back), or the notice of a decoder that
        // went on its own.
        if (!after.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(events.count(after) == 1, 10000);
        if (event == "upgrade")
            QTRY_VERIFY_WITH_TIMEOUT(events.count("upgrade 0:0") == 1, 10000);
        if (event == "reboot" || event == "link")
            QTRY_VERIFY_WITH_TIMEOUT(events.count("notice " + A) == 1, 10000);
        else
            QTRY_VERIFY_WITH_TIMEOUT(events.has("watched "), 10000);
        // Three session checks more: a second notice, from the check or from the request, would be here.
        QTest::qWait(3 * LinkCheckMs);
        QVERIFY(runOnServiceThread([] {}));
        QCOMPARE(events.count("notice " + A), notices);
        QCOMPARE(events.count("notice " + Moved), 0);
        QVERIFY2(notices == 0 || after.isEmpty() || events.indexOf(after) < events.indexOf("notice " + A),
                 qPrintable(events.lines.join(", ")));
        QVERIFY(!worker().getHandleByIp(A));
        if (event == "link" && ServiceBackend::overNetwork())
            ServiceBackend::inDaemon(
                [](DecoderDaemon& d) { d.setNetworkFault(A, DecoderDaemon::NetworkFault()); });
        if (event == "reset")
            return;
        // And a new login brings it back, where it now is.
        QVERIFY(connectAndWait(event == "address" ? Moved : A));
    }

    // ---- watches after changes ----

    void changeEndsInAnOutcome_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("whereNow");
        QTest::newRow("import") << "import"
                                << "verified"
                                << "back on line with the imported configuration"
                                << "%A";
        QTest::newRow("import, another configuration in use")
            << "marker"
            << "not applied"
            << "back, but the imported configuration is not in use"
            << "%A";
        QTest::newRow("upgrade") << "upgrade"
                                 << "verified"
                                 << "back on line, version V2 (was V1)"
                                 << "%A";
        QTest::newRow("upgrade, old version still running") << "old version"
                                                            << "not applied"
                                                            << "back, but still at V1"
                                                            << "%A";
        QTest::newRow("password") << "password"
                                  << "verified"
                                  << "the new password works"
                                  << "%A";
        QTest::newRow("password refused") << "wrong password"
                                          << "refused"
                                          << "the new password is refused"
                                          << "%A";
        QTest::newRow("factory reset") << "reset"
                                       << "verified"
                                       << "back in its factory state, waiting for activation"
                                       << "%A";
        QTest::newRow("address, confirmed") << "address"
                                            << "verified"
                                            << "on line at %M, mask 255.255.255.0; the change is confirmed"
                                            << "%M";
        QTest::newRow("address, decoder without confirmations")
            << "address C"
            << "verified"
            << "on line at %M, mask 255.255.255.0; this decoder takes a new address without confirmation: it "
               "could "
               "not have gone back to %C by itself"
            << "%M";
        QTest::newRow("address, new one out of reach")
            << "address unreachable"
            << "returned"
            << "went back to %A: the new address %M could not be confirmed from this computer"
            << "%A";
        QTest::newRow("mask only") << "mask"
                                   << "verified"
                                   << "on line at %A, mask 255.255.0.0"
                                   << "%A";
    }
    void changeEndsInAnOutcome()
    {
        QFETCH(QString, change);
        QFETCH(QString, verdict);
        QFETCH(QString, text);
        QFETCH(QString, whereNow);
        const QString target = change == "address C" ? C : A;
        const CMHandle handle = connectAndWait(target);
        QVERIFY(handle);
        const QString config = exportA(handle);
        QVERIFY(!config.isEmpty());
        const QString firmware = dir.filePath(QStringLiteral("fw.bin"));
        QVERIFY(writeFirmwareFile(firmware, QStringLiteral("TVD-02"), QStringLiteral("V2")));
        Events events;
        WatchRequest direct;
        direct.ip = A;
        direct.userName = QStringLiteral("admin");
        direct.password = Pw;

        if (change == "import") {
            worker().importMatrixConfig(handle, config);
        } else if (change == "marker") {
            direct.kind = ChangeKind::Import;
            direct.expectedMarker = QString(64, QLatin1Char('0'));
            worker().changeWatch().watch(direct);
        } else if (change == "upgrade") {
            worker().setUpdateMatrixInfo({device(A)}, firmware);
        } else if (change == "old version") {
            direct.kind = ChangeKind::Upgrade;
            direct.formerVersion = QStringLiteral("V1");
            worker().changeWatch().watch(direct);
        } else if (change == "password") {
            worker().userPasswordModify(handle, Pw, QStringLiteral("N3w-Passw0rd"));
        } else if (change == "wrong password") {
            direct.kind = ChangeKind::Password;
            direct.password = QStringLiteral("Not-the-0ne");
            worker().changeWatch().watch(direct);
        } else if (change == "reset") {
            worker().factoryReset(handle);
        } else if (change == "mask") {
            worker().setMatrixNetworkConfig(handle, record(A), record(A), network(A, "255.255.0.0"), 3,
                                            nullptr);
        } else {
            if (change == "address unreachable")
                worker().faults().setUnreachable(Moved);
            worker().setMatrixNetworkConfig(handle, record(target), record(target), network(Moved), 3,
                                            nullptr);
        }

        QTRY_VERIFY_WITH_TIMEOUT(events.outcomes.size() == 1, 10000);
        const WatchOutcome outcome = events.outcomes.first();
        QCOMPARE(verdictName(outcome.verdict) + ": " + outcome.text, verdict + ": " + withAddresses(text));
        QCOMPARE(outcome.ip, withAddresses(whereNow));
        QVERIFY(outcome.elapsedMs < WatchMs);
        QCOMPARE(worker().changeWatch().activeCount(), 0);

        if (change == "wrong password") {
            // One look, not one per retry: a second wrong password is the decoder's second, not its sixth.
            int errors = -1;
            QObject context;
            connect(&worker(), &MatrixSdkWorker::signalConnectErrorMsg, &context,
                    [&errors](const QString&, const ConnectErrorMsgInfo& e) { errors = e.errorCount; });
            QVERIFY(!connectAndWait(A, QStringLiteral("Still-not-1t")));
            QTRY_COMPARE(errors, 2);
        }
        if (change == "address unreachable") {
            // The record is moved back through the path of an address change, with the former address as the
            // new.
            QTRY_VERIFY(events.count(withAddresses("address 0 %A from %M")) == 1);
            worker().faults().clear();
            QVERIFY(connectAndWait(A));
        }
        if (change == "address") {
            // Confirmed: the window passes and the decoder stays.
            QTest::qWait(1500);
            QVERIFY(connectAndWait(Moved));
            QCOMPARE(events.count(withAddresses("address 0 %A from %M")), 0);
        }
    }

    void decoderThatDoesNotComeBackIsReportedWhenTheTimeIsUp()
    {
        setWatch(600);
        const CMHandle a = connectAndWait(A);
        QVERIFY(a);
        const QString config = exportA(a);
        QVERIFY(!config.isEmpty());
        Events events;
        // The decoder restarts and is never heard of again; the fault is armed before the watch's first look.
        QObject receiver;
        connect(
            &worker(), &MatrixSdkWorker::signalImportConfigResult, &receiver,
            [](int) { worker().faults().setUnreachable(A); }, Qt::BlockingQueuedConnection);
        QElapsedTimer clock;
        clock.start();
        worker().importMatrixConfig(a, config);
        QTRY_VERIFY_WITH_TIMEOUT(events.outcomes.size() == 1, 5000);
        const qint64 took = clock.elapsed();
        const WatchOutcome outcome = events.outcomes.first();
        QCOMPARE(verdictName(outcome.verdict) + ": " + outcome.text,
                 QStringLiteral("not back: not back within 0.6 s"));
        QVERIFY2(outcome.elapsedMs >= 600 && took < 600 + 1500, qPrintable(QString::number(took)));
    }

    void watchingHoldsUpNoOtherResult()
    {
        setWatch(2500);
        const CMHandle a = connectAndWait(A);
        QVERIFY(a);
        // B does not answer: over the network it swallows every request until the request time is up.
        if (ServiceBackend::overNetwork()) {
            ServiceBackend::inDaemon([](DecoderDaemon& d) {
                DecoderDaemon::NetworkFault fault;
                fault.stallMs = 5000;
                d.setNetworkFault(B, fault);
            });
        } else {
            worker().faults().setUnreachable(B);
        }
        Events events;
        WatchRequest watch;
        watch.kind = ChangeKind::Upgrade;
        watch.ip = B;
        watch.userName = QStringLiteral("admin");
        watch.password = Pw;
        worker().changeWatch().watch(watch);
        QTRY_VERIFY(events.has("watching "));
        // Requests to A made meanwhile are answered while B is still watched, in the order they were made.
        QStringList answers;
        QObject context;
        connect(&worker(), &MatrixSdkWorker::signalMatrixSetScreenColorResult, &context,
                [&answers](int r) { answers << QStringLiteral("color %1").arg(r); });
        connect(
            &worker(), &MatrixSdkWorker::signalMatrixGetResolutionResult, &context,
            [&answers](const ScreenResolution_t& r) { answers << QStringLiteral("width %1").arg(r.width); });
        for (int i = 0; i < 5; ++i) {
            worker().setMatrixScreenColor(a, 1, 1, ScreenColor{10 * i, 20, 30, 40});
            worker().getMatrixResolution(a, 0, 0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 10, 2000);
        QStringList expected;
        for (int i = 0; i < 5; ++i)
            expected << "color 0"
                     << "width 1920";
        QCOMPARE(answers, expected);
        QVERIFY2(events.outcomes.isEmpty(), "the watch of B ended before A's results came: it held them up");
        QTRY_VERIFY_WITH_TIMEOUT(events.outcomes.size() == 1, 10000);
        QCOMPARE(events.outcomes.first().verdict, WatchOutcome::NotBack);
        if (ServiceBackend::overNetwork())
            ServiceBackend::inDaemon(
                [](DecoderDaemon& d) { d.setNetworkFault(B, DecoderDaemon::NetworkFault()); });
    }

    void newerWatchOfAnAddressReplacesTheOlder()
    {
        worker().faults().setUnreachable(B);
        Events events;
        WatchRequest first;
        first.kind = ChangeKind::Import;
        first.ip = B;
        first.userName = QStringLiteral("admin");
        first.password = Pw;
        worker().changeWatch().watch(first);
        WatchRequest second = first;
        second.kind = ChangeKind::Password;
        worker().changeWatch().watch(second);
        QTRY_COMPARE(events.count("watching " + B), 2);
        QCOMPARE(worker().changeWatch().activeCount(), 1);
        worker().faults().clear();
        QTRY_COMPARE_WITH_TIMEOUT(events.outcomes.size(), 1, 5000);
        QCOMPARE(events.outcomes.first().kind, ChangeKind::Password);
        QVERIFY(runOnServiceThread([] {}));
        QCOMPARE(events.outcomes.size(), 1);
    }

    void watchesEndWithTheirBackEnd()
    {
        worker().faults().setUnreachable(B);
        Events events;
        WatchRequest watch;
        watch.kind = ChangeKind::Reset;
        watch.ip = B;
        worker().changeWatch().watch(watch);
        QTRY_VERIFY(events.has("watching "));
        QString error;
        QVERIFY(ServiceBackend::load(FleetJson, &error));
        QVERIFY(runOnServiceThread([] {}));
        QCOMPARE(worker().changeWatch().activeCount(), 0);
        worker().faults().clear();
        QTest::qWait(3 * RetryMs);
        QVERIFY(events.outcomes.isEmpty());
    }
};

QTEST_MAIN(TestDecoderWatch)
#include "tst_decoderwatch.moc"
