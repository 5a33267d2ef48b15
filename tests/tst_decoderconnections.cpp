// How the decoder list follows its connections: connection results and error
// reports, logging in again, a connection that breaks and its tip, and the
// results of password, address and factory-reset changes, with the page
// attached where the TV walls and the store must follow.

#include "connectmatrixitem.h"
#include "connectstatetipwt.h"
#include "decodermanagementdlg.h"
#include "dictdef.h"
#include "disabledwaitingwt.h"
#include "disabledwaitingwtmanager.h"
#include "faultinjector.h"
#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "matrixsdkworker.h"
#include "modalanswerer.h"
#include "servicethread.h"
#include "systemassistant.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>

using namespace mgmt;
using pral_matrix::ConnectErrorMsgInfo;
using pral_matrix::ConnectStateTipWt;
using pral_matrix::FaultInjector;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;
using pral_matrixConfig::DecoderManagementDlg;
using pral_matrixConfig::MatrixConfigForm;
using pral_worker::SystemAssistant;

namespace {

const char* const LoginClass = "pral_matrix::UserLoginDlg";
const char* const BoxClass = "PCOMMON::PMessageBox";
const char* const SearchClass = "pral_matrixConfig::DecoderManagementDlg";

ConnectStateTipWt* tip()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<ConnectStateTipWt*>(w))
            return found;
    }
    return nullptr;
}

QList<PCOMMON::DisabledWaitingWt*> overlaysOver(QWidget* parent)
{
    return parent->findChildren<PCOMMON::DisabledWaitingWt*>(QString(), Qt::FindDirectChildrenOnly);
}

DecoderManagementDlg* pageDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = qobject_cast<DecoderManagementDlg*>(w))
            return dlg;
    }
    return nullptr;
}

TvWallManagement wall(const QString& name, const QString& mainIp, const QStringList& outputs)
{
    TvWallManagement w;
    w.tvWallName = name;
    w.mainIp = mainIp;
    w.row = 1;
    w.col = outputs.size();
    for (int i = 0; i < outputs.size(); ++i) {
        MatrixInfo screen;
        const QStringList parts = outputs.at(i).split('-');
        screen.ip = parts.at(0);
        screen.matrixType = static_cast<pral_matrix::MatrixType>(parts.size() > 1 ? 3 : 1);
        screen.channel = parts.size() > 1 ? parts.at(1).toInt() : 1;
        screen.row = 0;
        screen.column = i;
        w.matrixInfoList.append(screen);
    }
    return w;
}

/** Names of the TV walls the page's tree shows as connected. */
QStringList connectedWalls()
{
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        for (auto* row : w->findChildren<pral_matrixConfig::ConnectMatrixItem*>()) {
            if (row->isConnected())
                names << row->text();
        }
    }
    names.sort();
    return names;
}

DeviceNetworkCfg_t networkAt(const char* address)
{
    DeviceNetworkCfg_t cfg;
    std::memset(&cfg, 0, sizeof cfg);
    qstrcpy(cfg.ipv4Addr, address);
    qstrcpy(cfg.ipv4Mask, "255.255.255.0");
    qstrcpy(cfg.ipv4Gateway, "192.0.2.1");
    return cfg;
}

} // namespace

class TestDecoderConnections : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void connectionResults();
    void errorReports_data();
    void errorReports();
    void errorReportForAnotherObjectIsIgnored();
    void errorsReportedByTheFleet();
    void batchLogin();
    void loginOfOneRow();
    void reconnectRowByDoubleClick();
    void brokenConnectionTip_data();
    void brokenConnectionTip();
    void reconnectFromTipFails();
    void dismissedTip();
    void disconnectResult();
    void passwordChange_data();
    void passwordChange();
    void passwordChangeFailed();
    void addressChangeFailures_data();
    void addressChangeFailures();
    void addressChangeToTheSameAddress();
    void addressChangeMovesWallsAndStore();
    void factoryReset_data();
    void factoryReset();
    void layoutOfMainDecoderBecomesWall();
    void resultsForDecodersNotListed();
    void storeKeepsEveryDecoder();

private:
    std::unique_ptr<DecoderManagementDlg> management(const QList<MatrixInfo>& decoders, bool shown = true);
    MatrixConfigForm* showPage(const QList<MatrixInfo>& decoders, const QList<TvWallManagement>& walls);
    QStringList alerts() const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QSignalSpy> alertSpy;
    std::unique_ptr<DecoderManagementDlg> dialog;
    std::unique_ptr<MatrixConfigForm> form;
};

void TestDecoderConnections::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    MatrixSdkWorker::setDataDirectory(dir->filePath(QStringLiteral("data")));
    MatrixSdkWorker::setSecretKeyFile(dir->filePath(QStringLiteral("store.key")));
    QString error;
    QVERIFY2(worker().loadFleet(MatrixSdkWorker::defaultFleetJson(), &error), qPrintable(error));
    worker().setResultDelay(0);
    worker().faults().clear();
    alertSpy = std::make_unique<QSignalSpy>(&PSingleton<SystemAssistant>::_instance(),
                                            &SystemAssistant::signalAlert);
}

void TestDecoderConnections::cleanup()
{
    dialog.reset();
    form.reset();
    alertSpy.reset();
    PSingleton<SystemAssistant>::_instance().closeAll();
    worker().faults().clear();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

std::unique_ptr<DecoderManagementDlg> TestDecoderConnections::management(const QList<MatrixInfo>& decoders,
                                                                         bool shown)
{
    auto made = std::make_unique<DecoderManagementDlg>(mapOf(decoders), MatrixInfoMap(), false, nullptr);
    if (shown)
        made->show();
    return made;
}

MatrixConfigForm* TestDecoderConnections::showPage(const QList<MatrixInfo>& decoders,
                                                   const QList<TvWallManagement>& walls)
{
    MatrixSdkWorker::addDecoderToJson(decoders);
    MatrixSdkWorker::addMatrixToJson(walls);
    MatrixSdkWorker::flushStore();
    form = std::make_unique<MatrixConfigForm>();
    form->resize(817, 568);
    form->show();
    if (!QTest::qWaitFor([] { return pageDialog() != nullptr; }))
        return nullptr;
    return form.get();
}

QStringList TestDecoderConnections::alerts() const
{
    QStringList texts;
    for (const QList<QVariant>& args : *alertSpy) {
        if (args.at(0).toString() == pral_contact::DictDef::alertNotice)
            texts << args.at(1).toString();
    }
    return texts;
}

void TestDecoderConnections::connectionResults()
{
    worker().faults().setLoginFault(Single, FaultInjector::LoginFault::Refuse);
    dialog = management({stored(Main), stored(Single, QStringLiteral("Typed@123"))});
    QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect failed"));
    QCOMPARE(reports.count(), 2);

    const MatrixInfoMap map = dialog->getMatrixInfoMap();
    QCOMPARE(map.value(Main).connectStatus, 1);
    QCOMPARE(int(map.value(Main).matrixType), 3);
    QCOMPARE(map.value(Main).version, QStringLiteral("V2.3.1 build 240611"));
    QCOMPARE(map.value(Single).connectStatus, 2);
    // A failed record keeps the credentials the attempt used.
    QCOMPARE(map.value(Single).password, QStringLiteral("Typed@123"));
    // The last report carries the whole list.
    QCOMPARE(reports.last().at(0).value<MatrixInfoMap>().keys(), (QStringList{Main, Single}));
    QVERIFY(!worker().getHandleByIp(Main).isNull());
    QVERIFY(worker().getHandleByIp(Single).isNull());
    QVERIFY(alerts().isEmpty());
}

void TestDecoderConnections::errorReports_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QString>("message");
    QTest::newRow("password, no counters")
        << "PASSWDERR" << QList<int>{-1, -1, -1, -1}
        << "Decoder(192.0.2.11) connection failed:Incorrect user name or password!";
    QTest::newRow("password, two of five")
        << "PASSWDERR" << QList<int>{2, 5, -1, -1}
        << "Decoder(192.0.2.11) connection failed:Incorrect user name or password,2 errors have been made,5 "
           "errors will be locked for -1 minutes!";
    QTest::newRow("password, lock minutes only") << "PASSWDERR" << QList<int>{-1, -1, 30, -1}
                                                 << "Decoder(192.0.2.11) connection failed:Incorrect user "
                                                    "name or password,-1 errors have been made,-1 "
                                                    "errors will be locked for 30 minutes!";
    QTest::newRow("locked") << "USERLOCK" << QList<int>{-1, -1, -1, 90}
                            << "Decoder(192.0.2.11) has been locked,it will unlock after 90 seconds.";
    QTest::newRow("not active") << "DEVNOACTIVE" << QList<int>{-1, -1, -1, -1}
                                << "Decoder(192.0.2.11) connection failed:Device not active!";
    QTest::newRow("anything else") << "TIMEOUT" << QList<int>{3, 5, 30, 60}
                                   << "Decoder(192.0.2.11) connection failed:unknow error!";
}

void TestDecoderConnections::errorReports()
{
    QFETCH(QString, type);
    QFETCH(QList<int>, numbers);
    QFETCH(QString, message);
    dialog = management({stored(Single)});
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));
    ConnectErrorMsgInfo info;
    info.errorType = type;
    info.errorCount = numbers.at(0);
    info.lockThreshold = numbers.at(1);
    info.lockMinutes = numbers.at(2);
    info.unlockSeconds = numbers.at(3);
    DecoderManagementDlg* target = dialog.get();
    QVERIFY(runOnServiceThread([&] { emit worker().signalConnectErrorMsg(Single, info, target); }));
    QCOMPARE(alerts(), QStringList{message});
    // The report alone changes neither the record nor the row; the connection result does.
    QCOMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));
    QCOMPARE(dialog->getMatrixInfoMap().value(Single).connectStatus, 1);
}

void TestDecoderConnections::errorReportForAnotherObjectIsIgnored()
{
    dialog = management({stored(Single)});
    ConnectErrorMsgInfo info;
    info.errorType = QStringLiteral("PASSWDERR");
    int other = 0;
    QVERIFY(runOnServiceThread([&] { emit worker().signalConnectErrorMsg(Single, info, &other); }));
    QVERIFY(runOnServiceThread([&] { emit worker().signalConnectErrorMsg(Single, info, nullptr); }));
    QVERIFY(alerts().isEmpty());
}

void TestDecoderConnections::errorsReportedByTheFleet()
{
    worker().faults().setLoginFault(Eight, FaultInjector::LoginFault::Locked);
    dialog = management({stored(Single, QStringLiteral("Wrong@123")), stored(Eight), stored(Fresh)});
    QTRY_COMPARE(alerts().size(), 3);
    QCOMPARE(alerts(), (QStringList{"Decoder(192.0.2.11) connection failed:Incorrect user name or password,1 "
                                    "errors have been made,5 errors will be locked for 30 minutes!",
                                    "Decoder(192.0.2.12) has been locked,it will unlock after 1800 seconds.",
                                    "Decoder(192.0.2.20) connection failed:Device not active!"}));
    for (const QString& ip : {Single, Eight, Fresh})
        QTRY_COMPARE(status(dialog.get(), ip), QStringLiteral("connect failed"));
}

void TestDecoderConnections::batchLogin()
{
    const QString wrong = QStringLiteral("Wrong@123");
    dialog = management({stored(Main), stored(Single, wrong), stored(Eight, wrong)});
    QTRY_COMPARE(status(dialog.get(), Eight), QStringLiteral("connect failed"));
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));

    QString text;
    ModalAnswerer none(BoxClass, confirm(&text));
    click(dialog.get(), "patchChangePwdBtn");
    QCOMPARE(text, QStringLiteral("Please select decoders!"));

    QSignalSpy results(&worker(), &MatrixSdkWorker::signalConnectMatrixResult);
    clickRowBox(dialog.get(), Single);
    clickRowBox(dialog.get(), Eight);
    ModalAnswerer login(LoginClass, loginWith("admin", Password));
    click(dialog.get(), "patchChangePwdBtn");
    QVERIFY(login.answered());
    // The batch runs without a waiting overlay.
    QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));
    QTRY_COMPARE(status(dialog.get(), Eight), QStringLiteral("connect success"));
    QCOMPARE(results.count(), 2);
    QCOMPARE(dialog->getMatrixInfoMap().value(Eight).password, Password);
}

void TestDecoderConnections::loginOfOneRow()
{
    dialog = management({stored(Main)});
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    worker().setResultDelay(300);

    ModalAnswerer wrong(LoginClass, loginWith("admin", QStringLiteral("Other@123")));
    clickRowButton(dialog.get(), Main, "changePwdBtn");
    QVERIFY(wrong.answered());
    QCOMPARE(overlaysOver(dialog.get()).size(), 1);
    QCOMPARE(overlaysOver(dialog.get()).at(0)->text(), QStringLiteral("Decoder connecting..."));
    // Until the result, the list keeps the credentials it had.
    QCOMPARE(dialog->getMatrixInfoMap().value(Main).password, Password);
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect failed"));
    QCOMPARE(dialog->getMatrixInfoMap().value(Main).password, QStringLiteral("Other@123"));
    QVERIFY(overlaysOver(dialog.get()).isEmpty());

    ModalAnswerer right(LoginClass, loginWith("admin", Password));
    clickRowButton(dialog.get(), Main, "changePwdBtn");
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QCOMPARE(dialog->getMatrixInfoMap().value(Main).password, Password);

    // A cancelled login starts nothing.
    QSignalSpy results(&worker(), &MatrixSdkWorker::signalConnectMatrixResult);
    ModalAnswerer cancelled(LoginClass, [](QWidget* login) { click(login, "cancelBtn"); });
    clickRowButton(dialog.get(), Main, "changePwdBtn");
    QVERIFY(cancelled.answered());
    QVERIFY(overlaysOver(dialog.get()).isEmpty());
    QVERIFY(runOnServiceThread([] {}));
    QCOMPARE(results.count(), 0);
}

void TestDecoderConnections::reconnectRowByDoubleClick()
{
    worker().faults().setLoginFault(Single, FaultInjector::LoginFault::Refuse);
    dialog = management({stored(Main), stored(Single)});
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect failed"));
    worker().faults().clear();

    worker().setResultDelay(300);

    QTableWidget* t = table(dialog.get());
    const QRect rect = t->visualItemRect(t->item(rowOf(dialog.get(), Single), IpColumn));
    // A double click is a press and release followed by a second press.
    QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseDClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QCOMPARE(overlaysOver(dialog.get()).size(), 1);
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));
    QTRY_VERIFY(overlaysOver(dialog.get()).isEmpty());
}

void TestDecoderConnections::brokenConnectionTip_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("withMainWidget");
    QTest::newRow("dialog shown") << true << true;
    QTest::newRow("dialog hidden, page behind") << false << true;
    QTest::newRow("dialog hidden, no page") << false << false;
}

void TestDecoderConnections::brokenConnectionTip()
{
    QFETCH(bool, shown);
    QFETCH(bool, withMainWidget);
    QWidget page;
    page.resize(400, 300);
    page.show();
    dialog = management({stored(Main), stored(Single)}, shown);
    if (withMainWidget)
        dialog->setMainWidget(&page);
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));
    QVERIFY(!tip()->isVisible());
    QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);

    worker().dropConnection(Main);
    QTRY_VERIFY(tip()->isVisible());
    QCOMPARE(tip()->tipContent(), QStringLiteral("192.0.2.10 connection is broken"));
    QCOMPARE(tip()->getConnectIp(), Main);
    QVERIFY(worker().getHandleByIp(Main).isNull());
    // The decoder counts as connected until the operator acts on the tip.
    QCOMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QCOMPARE(dialog->getMatrixInfoMap().value(Main).connectStatus, 1);
    QCOMPARE(reports.count(), 0);

    click(tip(), "reconnectBtn");
    QWidget* overlayParent = shown ? static_cast<QWidget*>(dialog.get()) : withMainWidget ? &page : nullptr;
    QCOMPARE(overlaysOver(dialog.get()).size(), shown ? 1 : 0);
    QCOMPARE(overlaysOver(&page).size(), overlayParent == &page ? 1 : 0);
    if (overlayParent)
        QCOMPARE(overlaysOver(overlayParent).at(0)->text(), QStringLiteral("Decoder connecting..."));
    QTRY_VERIFY(!tip()->isVisible());
    QCOMPARE(tip()->getConnectIp(), QString());
    QVERIFY(!worker().getHandleByIp(Main).isNull());
    QVERIFY(overlaysOver(dialog.get()).isEmpty());
    QVERIFY(overlaysOver(&page).isEmpty());
    QCOMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    dialog.reset();
}

void TestDecoderConnections::reconnectFromTipFails()
{
    dialog = management({stored(Main)});
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    worker().dropConnection(Main);
    QTRY_VERIFY(tip()->isVisible());
    worker().faults().setLoginFault(Main, FaultInjector::LoginFault::Refuse);
    click(tip(), "reconnectBtn");
    QTRY_COMPARE(tip()->tipContent(), QStringLiteral("192.0.2.10 connect failed"));
    QVERIFY(tip()->isVisible());
    QCOMPARE(status(dialog.get(), Main), QStringLiteral("connect failed"));

    // Once the decoder answers again the tip goes away.
    worker().faults().clear();
    click(tip(), "reconnectBtn");
    QTRY_VERIFY(!tip()->isVisible());
    QCOMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
}

void TestDecoderConnections::dismissedTip()
{
    dialog = management({stored(Main), stored(Single)});
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    worker().dropConnection(Single);
    QTRY_VERIFY(tip()->isVisible());
    QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);
    click(tip(), "closeBtn");
    QVERIFY(!tip()->isVisible());
    QCOMPARE(reports.count(), 1);
    QCOMPARE(reports.at(0).at(0).value<MatrixInfoMap>().value(Single).connectStatus, 2);
    QCOMPARE(status(dialog.get(), Single), QStringLiteral("connect failed"));
    QCOMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QVERIFY(worker().getHandleByIp(Single).isNull());
}

void TestDecoderConnections::disconnectResult()
{
    dialog = management({stored(Main)});
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);

    QVERIFY(runOnServiceThread([] { emit worker().signalDisconnectMatrixResult(-2, Main); }));
    QCOMPARE(reports.count(), 0);
    QCOMPARE(dialog->getMatrixInfoMap().value(Main).connectStatus, 1);

    worker().disconnectMatrix(worker().getHandleByIp(Main));
    QTRY_COMPARE(reports.count(), 1);
    QCOMPARE(dialog->getMatrixInfoMap().value(Main).connectStatus, 2);
    // The row is left as it was.
    QCOMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
}

void TestDecoderConnections::passwordChange_data()
{
    QTest::addColumn<bool>("reconnect");
    QTest::newRow("reconnect with the new password") << true;
    QTest::newRow("declined") << false;
}

void TestDecoderConnections::passwordChange()
{
    QFETCH(bool, reconnect);
    dialog = management({stored(Main), stored(Single)});
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));

    const QString changed = QStringLiteral("Changed@2025");
    QString question;
    ModalAnswerer answer(BoxClass, reconnect ? confirm(&question) : decline(&question));
    worker().userPasswordModify(worker().getHandleByIp(Main), Password, changed);
    QTRY_VERIFY(answer.answered());
    QTRY_COMPARE(
        question,
        QStringLiteral("Decoder 192.0.2.10 Password modification successful, please reconnect login!"));
    if (reconnect) {
        QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
        QCOMPARE(dialog->getMatrixInfoMap().value(Main).password, changed);
        QCOMPARE(dialog->getMatrixInfoMap().value(Main).connectStatus, 1);
        QVERIFY(!worker().getHandleByIp(Main).isNull());
    } else {
        QTRY_VERIFY(worker().getHandleByIp(Main).isNull());
        QCOMPARE(status(dialog.get(), Main), QStringLiteral("connect failed"));
        QCOMPARE(dialog->getMatrixInfoMap().value(Main).connectStatus, 2);
        QCOMPARE(dialog->getMatrixInfoMap().value(Main).password, Password);
    }
    QCOMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));
}

void TestDecoderConnections::passwordChangeFailed()
{
    dialog = management({stored(Main)});
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    worker().userPasswordModify(worker().getHandleByIp(Main), QStringLiteral("NotTheOld@1"), "Changed@2025");
    QTRY_COMPARE(alerts(), QStringList{"Password change failed!"});
    QCOMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QVERIFY(!worker().getHandleByIp(Main).isNull());
}

void TestDecoderConnections::addressChangeFailures_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("credentials") << -22
                                 << "Decoder(192.0.2.11) IP setting failed:Incorrect user name or password!";
    QTest::newRow("other") << -1 << "Decoder(192.0.2.11) IP setting failed!";
}

void TestDecoderConnections::addressChangeFailures()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    dialog = management({stored(Single)});
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));
    QSignalSpy moved(dialog.get(), &DecoderManagementDlg::sig_ipChanged);
    QVERIFY(runOnServiceThread(
        [code] { emit worker().signalSetMatrixNetworkResult(code, QStringLiteral("192.0.2.40"), Single); }));
    QCOMPARE(alerts(), QStringList{message});
    QCOMPARE(listedIps(dialog.get()), QStringList{Single});
    QCOMPARE(moved.count(), 0);
}

void TestDecoderConnections::addressChangeToTheSameAddress()
{
    dialog = management({stored(Main)});
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QSignalSpy moved(dialog.get(), &DecoderManagementDlg::sig_ipChanged);
    QStringList seen;
    QVERIFY(runOnServiceThread([&] {
        emit worker().signalSetMatrixNetworkResult(0, Main, Main);
        // Read on the GUI thread before the new connection's result can come in.
        QMetaObject::invokeMethod(
            qApp, [&] { seen << status(dialog.get(), Main); }, Qt::BlockingQueuedConnection);
    }));
    QCOMPARE(seen, QStringList{"connecting"});
    QCOMPARE(listedIps(dialog.get()), QStringList{Main});
    QCOMPARE(dialog->getMatrixInfoMap().keys(), QStringList{Main});
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0), (QList<QVariant>{Main, Main}));
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
}

void TestDecoderConnections::addressChangeMovesWallsAndStore()
{
    const QString moved = QStringLiteral("192.0.2.17");
    // Neither decoder holds a wall of its own in the fleet, so the stored walls stay as they are.
    QVERIFY(showPage({stored(Eight), stored(Single)},
                     {wall("Hall", Single, {Single}), wall("Lobby", Eight, {Eight + "-1", Single})}));
    DecoderManagementDlg* page = pageDialog();
    QTRY_COMPARE(status(page, Single), QStringLiteral("connect success"));
    QTRY_COMPARE(status(page, Eight), QStringLiteral("connect success"));

    worker().setMatrixNetworkConfig(worker().getHandleByIp(Single), stored(Single), stored(Single),
                                    networkAt("192.0.2.17"), 1, page);
    // The row keeps its place and takes the new address.
    QTRY_COMPARE(listedIps(page), (QStringList{moved, Eight}));
    QTRY_COMPARE(status(page, moved), QStringLiteral("connect success"));
    QCOMPARE(rowOpr(page, moved)->getIp(), moved);

    QTRY_VERIFY(!form->isUpdatePending());
    MatrixSdkWorker::flushStore();
    const auto walls = MatrixSdkWorker::getMatrixFromJson();
    QCOMPARE(walls.value("Hall").mainIp, moved);
    QCOMPARE(walls.value("Hall").matrixInfoList.at(0).ip, moved);
    QCOMPARE(walls.value("Lobby").mainIp, Eight);
    QCOMPARE(walls.value("Lobby").matrixInfoList.at(1).ip, moved);
    const MatrixInfoMap decoders = MatrixSdkWorker::getDecoderFromJson();
    QCOMPARE(decoders.keys(), (QStringList{Eight, moved}));
    QCOMPARE(decoders.value(moved).connectStatus, 1);
    // Both walls count as connected again on the page.
    QCOMPARE(connectedWalls(), (QStringList{"Hall", "Lobby"}));
}

void TestDecoderConnections::factoryReset_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("message");
    QTest::newRow("restored") << true
                              << "Factory Settings of the decoder card have been restored successfully. "
                                 "Please search again!";
    QTest::newRow("no connection") << false << "Failed to restore factory Settings with decoder card!";
}

void TestDecoderConnections::factoryReset()
{
    QFETCH(bool, connected);
    QFETCH(QString, message);
    if (!connected)
        worker().faults().setLoginFault(Main, FaultInjector::LoginFault::Refuse);
    dialog = management({stored(Main)});
    QTRY_COMPARE(status(dialog.get(), Main),
                 connected ? QStringLiteral("connect success") : QStringLiteral("connect failed"));
    QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);

    // Declined, nothing is asked of the decoder.
    QSignalSpy results(&worker(), &MatrixSdkWorker::signalMatrixFactoryResetResult);
    ModalAnswerer no(BoxClass, decline());
    QVERIFY(QMetaObject::invokeMethod(dialog.get(), "slotFactoryReset", Q_ARG(QString, Main)));
    QVERIFY(no.answered());
    QVERIFY(overlaysOver(dialog.get()).isEmpty());
    QVERIFY(runOnServiceThread([] {}));
    QCOMPARE(results.count(), 0);

    QString question;
    QString answerText;
    QString overlayWhileBoxShown;
    ModalScript script({
        {BoxClass, confirm(&question)},
        {BoxClass,
         [&](QWidget* box) {
             const auto overlays = overlaysOver(dialog.get());
             if (overlays.size() == 1)
                 overlayWhileBoxShown = overlays.at(0)->text();
             confirm (&answerText)(box);
         }},
    });
    QVERIFY(QMetaObject::invokeMethod(dialog.get(), "slotFactoryReset", Q_ARG(QString, Main)));
    QCOMPARE(question, QStringLiteral("Are you sure to restore factory Settings?"));
    QTRY_VERIFY(script.finished());
    QTRY_COMPARE(answerText, message);
    // The overlay stays until the box is closed.
    QCOMPARE(overlayWhileBoxShown, QStringLiteral("Resuming factory Settings..."));
    QTRY_VERIFY(overlaysOver(dialog.get()).isEmpty());
    QCOMPARE(status(dialog.get(), Main), QStringLiteral("connect failed"));
    QCOMPARE(dialog->getMatrixInfoMap().value(Main).connectStatus, 2);
    QCOMPARE(reports.count(), connected ? 1 : 0);
}

void TestDecoderConnections::layoutOfMainDecoderBecomesWall()
{
    MatrixSdkWorker::addMatrixToJson({wall("Stored", Main, {Main + "-1"})});
    QSignalSpy layouts(&worker(), &MatrixSdkWorker::signalGetLayoutInfoResult);
    dialog = management({stored(Main), stored(Single)});
    QSignalSpy walls(dialog.get(), &DecoderManagementDlg::sig_tvWallManagementChanged);
    QTRY_COMPARE(walls.count(), 1);
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));
    QVERIFY(runOnServiceThread([] {}));
    // Only the main decoder of a stored wall is asked for its layout.
    QCOMPARE(layouts.count(), 1);
    const auto taken = walls.at(0).at(0).value<TvWallManagement>();
    QCOMPARE(taken.tvWallName, QStringLiteral("Lobby wall"));
    QCOMPARE(taken.mainIp, Main);
    QCOMPARE(qMakePair(taken.row, taken.col), qMakePair(2, 2));
    QStringList screens;
    for (const MatrixInfo& s : taken.matrixInfoList)
        screens << s.ip + ":" + QString::number(s.channel);
    QCOMPARE(screens, (QStringList{Main + ":1", Main + ":2", Single + ":1", Eight + ":1"}));
    QCOMPARE(dialog->getMatrixInfoMap().value(Main).subMatrixList.size(), 4);

    // A layout that another object asked for changes nothing here.
    int other = 0;
    QVERIFY(runOnServiceThread([&] {
        emit worker().signalGetLayoutInfoResult(Single, 3, MatrixInfoList(), 1, 1, "Elsewhere", &other);
    }));
    QCOMPARE(walls.count(), 1);
    QVERIFY(dialog->getMatrixInfoMap().value(Single).subMatrixList.isEmpty());
}

void TestDecoderConnections::resultsForDecodersNotListed()
{
    dialog = management({stored(Main), stored(Single)});
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));
    ModalAnswerer removeSingle(BoxClass, confirm());
    clickRowButton(dialog.get(), Single, "deleteBtn");
    QVERIFY(removeSingle.answered());
    QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);
    QSignalSpy moved(dialog.get(), &DecoderManagementDlg::sig_ipChanged);
    QSignalSpy walls(dialog.get(), &DecoderManagementDlg::sig_tvWallManagementChanged);

    // Every kind of result about the deleted decoder, or one never listed.
    ModalScript boxes({{BoxClass, confirm()}, {BoxClass, confirm()}});
    DecoderManagementDlg* target = dialog.get();
    QVERIFY(runOnServiceThread([target] {
        auto& w = worker();
        emit w.signalConnectMatrixResult(
            MatrixSdkWorker::makeDetachedHandle(Single, "admin", Password, 1, "v"), 0, 1, target);
        emit w.signalConnectMatrixResult(
            MatrixSdkWorker::makeDetachedHandle(Other, "admin", Password, 1, "v"), -4, 1, target);
        emit w.signalDisconnectMatrixResult(0, Single);
        emit w.signalSetMatrixNetworkResult(0, QStringLiteral("192.0.2.50"), Single);
        emit w.signalGetLayoutInfoResult(Single, 3, MatrixInfoList(), 1, 1, "Gone", target);
        emit w.signalUserPasswordModifyResult(0, Other, "Changed@2025");
        emit w.signalMatrixFactoryResetResult(0, Single);
    }));
    QTRY_VERIFY(boxes.finished());
    QCOMPARE(reports.count(), 0);
    QCOMPARE(moved.count(), 0);
    QCOMPARE(walls.count(), 0);
    QCOMPARE(listedIps(dialog.get()), QStringList{Main});
    QCOMPARE(dialog->getMatrixInfoMap().keys(), QStringList{Main});
    QCOMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
}

void TestDecoderConnections::storeKeepsEveryDecoder()
{
    worker().faults().setLoginFault(Single, FaultInjector::LoginFault::Refuse);
    QVERIFY(showPage({stored(Main), stored(Single), stored(Eight)}, {}));
    DecoderManagementDlg* page = pageDialog();
    for (const QString& ip : {Main, Eight})
        QTRY_COMPARE(status(page, ip), QStringLiteral("connect success"));
    QTRY_COMPARE(status(page, Single), QStringLiteral("connect failed"));
    QTRY_VERIFY(!form->isUpdatePending());
    MatrixSdkWorker::flushStore();
    MatrixInfoMap kept = MatrixSdkWorker::getDecoderFromJson();
    QCOMPARE(kept.keys(), (QStringList{Main, Single, Eight}));
    QCOMPARE(kept.value(Main).connectStatus, 1);
    QCOMPARE(kept.value(Single).connectStatus, 2);

    // The operator deletes one; the page runs the dialog modally and takes its list when accepted.
    ModalAnswerer run(SearchClass, [](QWidget* shown) {
        ModalAnswerer remove(BoxClass, confirm());
        clickRowButton(shown, Eight, "deleteBtn");
        click(shown, "saveBtn");
    });
    QTest::mouseClick(form->findChild<QPushButton*>("decoderManagementBtn"), Qt::LeftButton);
    QVERIFY(run.answered());
    QTRY_VERIFY(!form->isUpdatePending());
    MatrixSdkWorker::flushStore();
    QCOMPARE(MatrixSdkWorker::getDecoderFromJson().keys(), (QStringList{Main, Single}));

    // A broken connection that is given up is stored as failed, even when the page goes away at once.
    worker().dropConnection(Main);
    QTRY_VERIFY(tip() && tip()->isVisible());
    click(tip(), "closeBtn");
    QVERIFY(form->isUpdatePending());
    form.reset();
    MatrixSdkWorker::flushStore();
    kept = MatrixSdkWorker::getDecoderFromJson();
    QCOMPARE(kept.keys(), (QStringList{Main, Single}));
    QCOMPARE(kept.value(Main).connectStatus, 2);
}

QTEST_MAIN(TestDecoderConnections)
#include "tst_decoderconnections.moc"
