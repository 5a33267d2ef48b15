// The page as an operator meets it after changes that restart or move a decoder: a restart (an imported
// configuration, new firmware, a reboot, a lost link) shows the broken-connection tip once and its reconnect
// brings the decoder back; a reset and an address change keep their own handling; every change ends in an
// outcome the operator is told, with the row marked while the decoder is watched; a decoder that does not
// come back is reported in time; an address nobody could confirm is given up and the record moved back.
// Runs on the in-process fleet, and with TVWALL_TEST_BACKEND=onvif over the daemon on loopback.

#include "connectstatetipwt.h"
#include "decoderconfigdlg.h"
#include "decoderdaemon.h"
#include "decoderwatchview.h"
#include "firmwarefile.h"
#include "ipeditwt.h"
#include "maintenancetesthelpers.h"
#include "matrixconfigform.h"
#include "servicebackend.h"
#include "simulatedfleet.h"
#include "watchreportdlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QScopeGuard>

using namespace mgmt;
using namespace maint;
using pral_matrix::ConnectStateTipWt;
using pral_matrix::DecoderDaemon;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::SimulatedFleet;
using pral_matrixConfig::DecoderManagementDlg;
using pral_matrixConfig::MatrixConfigForm;
using pral_matrixConfig::WatchReportDlg;

namespace {

const QString First = ServiceBackend::address(Main);
const QString Second = ServiceBackend::address(Single);
const QString NewAddress = ServiceBackend::address(QStringLiteral("192.0.2.77"));
constexpr int ConfirmWindowMs = 1200;
constexpr int RestartMs = 300;

template <typename T>
T* shown()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(w); found && found->isVisible())
            return found;
    }
    return nullptr;
}

ConnectStateTipWt* tip()
{
    return shown<ConnectStateTipWt>();
}

/** The mark a watched decoder's row carries: its tooltip, empty when the row is not marked. */
QString mark(DecoderManagementDlg* dialog, const QString& ip)
{
    const int row = rowOf(dialog, ip);
    const QTableWidgetItem* item = row < 0 ? nullptr : table(dialog)->item(row, NumberColumn);
    return item && !item->icon().isNull() ? item->toolTip() : QString();
}

} // namespace

class TestVerifiedChanges : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<MatrixConfigForm> form;
    DecoderManagementDlg* managed = nullptr;
    std::unique_ptr<QSignalSpy> alerts;
    /** Broken-connection notices by address, taken in this thread. */
    std::unique_ptr<QObject> noticeReceiver;
    QStringList noticeIps;
    QString config;
    QString firmware;

    /** Every notice of the page, as "kind: text". */
    QStringList told() const
    {
        QStringList texts;
        for (const QList<QVariant>& args : *alerts)
            texts << args.at(0).toString() + ": " + args.at(1).toString();
        return texts;
    }

    int noticesOf(const QString& ip) const { return noticeIps.count(ip); }

    void setWatchTime(int ms)
    {
        pral_matrix::DecoderWatch::Options options;
        options.timeoutMs = ms;
        options.retryMs = 50;
        worker().changeWatch().setOptions(options);
    }

    /** Opens the decoder's menu from its row and runs steps in it; the menu is closed after them. */
    void inMenu(const QString& ip, const std::function<void(QWidget*)>& steps)
    {
        bool ran = false;
        ModalAnswerer menu(ConfigClass, [&](QWidget* dlg) {
            const auto close = qScopeGuard([dlg] { click(dlg, "OkBtn"); });
            steps(dlg);
            ran = true;
        });
        clickRowButton(managed, ip, "devConfigBtn");
        QVERIFY(menu.answered() && ran);
    }

    void importFromMenu(const QString& ip, const std::function<void()>& whenDone = {})
    {
        inMenu(ip, [&](QWidget* dlg) {
            QString text;
            ModalScript script({{ChooserClass,
                                 [&](QWidget* chooser) {
                                     ModalAnswerer file(FileDialogClass, chooseFile(config));
                                     QTest::mouseClick(chooser->findChild<QLineEdit*>("filePath"),
                                                       Qt::LeftButton);
                                     click(chooser, "enterBtn");
                                 }},
                                {BoxClass, [&](QWidget* box) {
                                     if (whenDone)
                                         whenDone();
                                     confirm (&text)(box);
                                 }}});
            click(dlg, "importConfigBtn");
            QVERIFY(QTest::qWaitFor([&script] { return script.finished(); }, 10000));
            QVERIFY2(text.startsWith("Decoder configuration imported successfully"), qPrintable(text));
        });
    }

    void upgradeFromMenu(const QString& ip)
    {
        inMenu(ip, [&](QWidget* dlg) {
            QString done;
            ModalScript upgrade({{UpgradeClass,
                                  [&](QWidget* u) {
                                      ModalAnswerer file(FileDialogClass, chooseFile(firmware));
                                      QTest::mouseClick(u->findChild<QLineEdit*>("filePath"), Qt::LeftButton);
                                      click(u, "okBt");
                                      if (!QTest::qWaitFor([u] { return !u->isVisible(); }, 10000))
                                          static_cast<QDialog*>(u)->reject();
                                  }},
                                 {BoxClass, confirm(&done)}});
            click(dlg, "upgradeDecoderBtn");
            QVERIFY(QTest::qWaitFor([&] { return upgrade.finished(); }, 15000));
            QCOMPARE(done, QStringLiteral("Update decoder completed!"));
        });
    }

    void changeAddressFromMenu(const QString& ip, const QString& address)
    {
        inMenu(ip, [&](QWidget* dlg) {
            ModalAnswerer network(NetworkClass, [&](QWidget* n) {
                n->findChild<PCOMMON::IpEditWt*>("ipAddress")->setText(address);
                click(n, "okBtn");
            });
            click(dlg, "networkConfigBtn");
            QVERIFY(QTest::qWaitFor([&] { return network.answered(); }, 10000));
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        config = dir.filePath("main.matrix");
        firmware = dir.filePath("main.bin");
        QVERIFY(writeFirmwareFile(firmware, FirmwareModel, "V2.4.0"));
    }

    void init()
    {
        MatrixSdkWorker::setDataDirectory(dir.filePath(QString("data-%1").arg(QTest::currentDataTag())));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath("store.key"));
        QJsonObject fleet = QJsonDocument::fromJson(MatrixSdkWorker::defaultFleetJson()).object();
        fleet.insert("latencyMs", 0);
        fleet.insert("upgradeStepMs", 10);
        fleet.insert("confirmWindowMs", ConfirmWindowMs);
        // A restart takes a moment, as on a real decoder: long enough to see the row marked.
        fleet.insert("restartMs", RestartMs);
        QString error;
        QVERIFY2(ServiceBackend::load(QJsonDocument(fleet).toJson(), &error,
                                      [](pral_matrix::OnvifBackend::Options& o) { o.linkCheckMs = 150; }),
                 qPrintable(error));
        worker().setResultDelay(0);
        worker().faults().clear();
        setWatchTime(6000);

        // A configuration file of the first decoder, as the operator saved it before. Results are taken in
        // this thread: a spy called from the service thread could be gone by the time it returns.
        int connected = 1;
        int exported = 1;
        QObject context;
        connect(&worker(), &MatrixSdkWorker::signalConnectMatrixResult, &context,
                [&connected](const CMHandle&, int r) { connected = r; });
        connect(&worker(), &MatrixSdkWorker::signalExportConfigResult, &context,
                [&exported](int r) { exported = r; });
        worker().connectMatrix(stored(First), nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(connected != 1, 10000);
        QCOMPARE(connected, 0);
        worker().exportMatrixConfig(worker().getHandleByIp(First), config);
        QTRY_VERIFY_WITH_TIMEOUT(exported != 1, 10000);
        QCOMPARE(exported, 0);
        worker().disconnectAllMatrix();

        MatrixSdkWorker::addDecoderToJson({stored(First), stored(Second)});
        MatrixSdkWorker::addMatrixToJson({});
        MatrixSdkWorker::flushStore();
        alerts = std::make_unique<QSignalSpy>(&PSingleton<pral_worker::SystemAssistant>::_instance(),
                                              &pral_worker::SystemAssistant::signalAlert);
        noticeIps.clear();
        noticeReceiver = std::make_unique<QObject>();
        connect(&worker(), &MatrixSdkWorker::signalDisconnectStatus, noticeReceiver.get(),
                [this](const CMHandle&, const QString& ip) { noticeIps << ip; });
        form = std::make_unique<MatrixConfigForm>();
        form->resize(1024, 640);
        form->show();
        QTRY_VERIFY(shownOrHidden());
        managed = shownOrHidden();
        QVERIFY(managed);
        managed->show();
        QVERIFY(settle(managed, {First, Second}));
    }

    void cleanup()
    {
        if (ConnectStateTipWt* t = tip())
            t->hide();
        form.reset();
        managed = nullptr;
        alerts.reset();
        noticeReceiver.reset();
        worker().disconnectAllMatrix();
        worker().faults().clear();
        PSingleton<pral_worker::SystemAssistant>::_instance().closeAll();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void restartShowsTheTipOnceAndItsReconnectBringsTheDecoderBack_data()
    {
        QTest::addColumn<QString>("restart");
        // The notice a watch ends with; empty where the decoder restarted by itself and nothing is watched.
        QTest::addColumn<QString>("outcome");
        QTest::newRow("configuration imported")
            << "import"
            << "success: Decoder %1, configuration import: back on line with the imported configuration";
        QTest::newRow("firmware installed") << "upgrade"
                                            << "success: Decoder %1, firmware upgrade: back on line, version "
                                               "V2.4.0 (was V2.3.1 build 240611)";
        QTest::newRow("reboot") << "reboot"
                                << "";
        QTest::newRow("link lost") << "link"
                                   << "";
    }
    void restartShowsTheTipOnceAndItsReconnectBringsTheDecoderBack()
    {
        QFETCH(QString, restart);
        QFETCH(QString, outcome);
        QStringList marks;
        QObject watcher;
        // What the row shows while the decoder is watched, seen as the watch starts (after the list saw it).
        connect(&worker().changeWatch(), &pral_matrix::DecoderWatch::signalWatchStarted, &watcher,
                [&] { marks << mark(managed, First); });

        if (restart == "import") {
            importFromMenu(First);
        } else if (restart == "upgrade") {
            upgradeFromMenu(First);
        } else if (restart == "reboot") {
            ServiceBackend::onFleet([](SimulatedFleet& f) { f.restartDecoder(First); });
        } else if (ServiceBackend::overNetwork()) {
            ServiceBackend::inDaemon([](DecoderDaemon& d) {
                DecoderDaemon::NetworkFault fault;
                fault.refuse = true;
                d.setNetworkFault(First, fault);
            });
        } else {
            worker().dropConnection(First);
        }

        QTRY_VERIFY_WITH_TIMEOUT(tip(), 10000);
        QCOMPARE(tip()->tipContent(), First + " connection is broken");
        QCOMPARE(tip()->getConnectIp(), First);
        // The list keeps its word until the operator acts on the tip.
        QCOMPARE(status(managed, First), Up);
        if (!outcome.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(told().contains(outcome.arg(First)), 10000);
            QCOMPARE(marks.size(), 1);
            QVERIFY2(marks.first().startsWith("Being checked after the "), qPrintable(marks.first()));
            QTRY_COMPARE(mark(managed, First), QString());
        }
        if (restart == "link" && ServiceBackend::overNetwork())
            ServiceBackend::inDaemon(
                [](DecoderDaemon& d) { d.setNetworkFault(First, DecoderDaemon::NetworkFault()); });
        // A decoder that is restarting answers nothing yet; the operator reconnects once it is back.
        QTest::qWait(RestartMs);
        click(tip(), "reconnectBtn");
        QTRY_VERIFY_WITH_TIMEOUT(!tip(), 10000);
        QCOMPARE(status(managed, First), Up);
        QVERIFY(worker().getHandleByIp(First));
        QCOMPARE(noticesOf(First), 1);
        QCOMPARE(noticesOf(Second), 0);
    }

    void resetAddressAndPasswordKeepTheirHandlingAndAreChecked_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("whereNow");
        QTest::addColumn<QString>("statusWord");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("factory reset")
            << "reset" << First << Down
            << "success: Decoder %1, factory reset: back in its factory state, waiting for "
               "activation";
        QTest::newRow("address change")
            << "address" << NewAddress << Up
            << "success: Decoder %1, address change: on line at %1, mask 255.255.255.0; "
               "the change is confirmed";
        QTest::newRow("password change")
            << "password" << First << Up << "success: Decoder %1, password change: the new password works";
    }
    void resetAddressAndPasswordKeepTheirHandlingAndAreChecked()
    {
        QFETCH(QString, change);
        QFETCH(QString, whereNow);
        QFETCH(QString, statusWord);
        QFETCH(QString, outcome);
        if (change == "reset") {
            inMenu(First, [](QWidget* dlg) {
                QString done;
                ModalScript reset({{BoxClass, confirm()}, {BoxClass, confirm(&done)}});
                click(dlg, "factoryResetBtn");
                QVERIFY(QTest::qWaitFor([&] { return reset.finished(); }, 10000));
            });
        } else if (change == "address") {
            changeAddressFromMenu(First, NewAddress);
        } else {
            inMenu(First, [](QWidget* dlg) {
                ModalScript password(
                    {{ActiveClass,
                      [](QWidget* a) {
                          QTest::keyClicks(a->findChild<QLineEdit*>("oldPwdEdt"), Password);
                          QTest::keyClicks(a->findChild<QLineEdit*>("pwdEdt"), "Tvwall@2031");
                          QTest::keyClicks(a->findChild<QLineEdit*>("confirmPwdEdt"), "Tvwall@2031");
                          click(a, "okBt");
                      }},
                     {BoxClass, confirm()}});
                click(dlg, "changePwdBtn");
                QVERIFY(QTest::qWaitFor([&] { return password.finished(); }, 10000));
            });
        }
        QTRY_VERIFY_WITH_TIMEOUT(told().contains(outcome.arg(whereNow)), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(status(managed, whereNow), statusWord, 10000);
        // No broken-connection notice: the list handles these results itself.
        QVERIFY(!tip());
        QCOMPARE(noticesOf(First) + noticesOf(whereNow), 0);
        if (change == "address") {
            QCOMPARE(rowOf(managed, First), -1);
            // The change stays once confirmed: the window passes, the decoder is still where it was sent.
            QTest::qWait(ConfirmWindowMs + 300);
            QCOMPARE(status(managed, NewAddress), Up);
            QVERIFY(worker().getHandleByIp(NewAddress));
        }
    }

    void decoderThatDoesNotComeBackIsReportedInTime()
    {
        setWatchTime(800);
        QElapsedTimer clock;
        // The decoder is never heard of again after its restart; the fault is armed as the result box shows.
        importFromMenu(First, [&clock] {
            worker().faults().setUnreachable(First);
            clock.start();
        });
        const QString notBack =
            QString("notice: Decoder %1, configuration import: not back within 0.8 s").arg(First);
        QTRY_VERIFY_WITH_TIMEOUT(told().contains(notBack), 5000);
        QVERIFY2(clock.elapsed() >= 800 && clock.elapsed() < 800 + 2000,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(mark(managed, First), QString());
    }

    void unconfirmedAddressChangeGoesBackAndSaysWhy()
    {
        // This computer cannot reach the new address: nobody confirms it, and the decoder goes back.
        worker().faults().setUnreachable(NewAddress);
        changeAddressFromMenu(First, NewAddress);
        QTRY_COMPARE(rowOf(managed, First), -1);
        QVERIFY(rowOf(managed, NewAddress) >= 0);
        QTRY_VERIFY2(mark(managed, NewAddress).startsWith("Being checked after the address change"),
                     qPrintable(mark(managed, NewAddress)));
        const QString why =
            QString("notice: Decoder %1, address change: went back to %1: the new address %2 could not "
                    "be confirmed from this computer")
                .arg(First, NewAddress);
        QTRY_VERIFY_WITH_TIMEOUT(told().contains(why), ConfirmWindowMs + 5000);
        // The record moved back the way an address change moves it, and the list connects it there.
        QTRY_COMPARE_WITH_TIMEOUT(status(managed, First), Up, 10000);
        QCOMPARE(rowOf(managed, NewAddress), -1);
        QTRY_VERIFY(!form->isUpdatePending());
        MatrixSdkWorker::flushStore();
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().keys(), (QStringList{First, Second}));
        QVERIFY(!tip());
    }

    void severalDecodersWatchedTogetherAreListedInOneReport()
    {
        // Two imports at once; each decoder takes a moment to restart, so both are watched together.
        const CMHandle first = worker().getHandleByIp(First);
        const CMHandle second = worker().getHandleByIp(Second);
        QVERIFY(first && second);
        const QString secondConfig = dir.filePath("second.matrix");
        int exported = 1;
        QObject context;
        connect(&worker(), &MatrixSdkWorker::signalExportConfigResult, &context,
                [&exported](int r) { exported = r; });
        worker().exportMatrixConfig(second, secondConfig);
        QTRY_COMPARE(exported, 0);
        worker().importMatrixConfig(first, config);
        worker().importMatrixConfig(second, secondConfig);
        QTRY_VERIFY_WITH_TIMEOUT(shown<WatchReportDlg>(), 10000);
        WatchReportDlg* report = shown<WatchReportDlg>();
        // Not modal: the page goes on working while it is open.
        QVERIFY(!report->isModal());
        QVERIFY(!QApplication::activeModalWidget());
        QTRY_COMPARE(report->waitingCount(), 0);
        QCOMPARE(report->rowCount(), 2);
        auto* rows = report->findChild<QTableWidget*>("watchTable");
        QStringList listed;
        for (int row = 0; row < rows->rowCount(); ++row)
            listed << rows->item(row, 0)->text() + " | " + rows->item(row, 1)->text() + " | " +
                          rows->item(row, 2)->text();
        listed.sort();
        QCOMPARE(
            listed,
            (QStringList{First + " | configuration import | back on line with the imported configuration",
                         Second + " | configuration import | back on line with the imported configuration"}));
        // Each one was also told on its own.
        QCOMPARE(told().filter("configuration import: back on line").size(), 2);
        click(report, "okBt");
        QVERIFY(!report->isVisible());
        QCOMPARE(report->rowCount(), 0);
    }

private:
    static DecoderManagementDlg* shownOrHidden()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<DecoderManagementDlg*>(w))
                return found;
        }
        return nullptr;
    }
};

QTEST_MAIN(TestVerifiedChanges)
#include "tst_verifiedchanges.moc"
