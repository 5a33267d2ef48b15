// How the decoder list follows its connections: connection results and error
// reports, logging in again, a connection that breaks and its tip, and the
// results of password, address and factory-reset changes, with the page
// attached where the TV walls and the store must follow.

#include "connectmatrixitem.h"
#include "connectstatetipwt.h"
#include "decodermanagementdlg.h"
#include "disabledwaitingwt.h"
#include "disabledwaitingwtmanager.h"
#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "servicespy.h"
#include "servicethread.h"

#include <QApplication>
#include <QSemaphore>

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

namespace {

template <typename T>
T* topLevel()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(w))
            return found;
    }
    return nullptr;
}

ConnectStateTipWt* tip()
{
    return topLevel<ConnectStateTipWt>();
}

QList<PCOMMON::DisabledWaitingWt*> overlaysOver(QWidget* parent)
{
    return parent->findChildren<PCOMMON::DisabledWaitingWt*>(QString(), Qt::FindDirectChildrenOnly);
}

/** A stored TV wall; an output "ip-n" is channel n of a four-output decoder. */
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

/**
 * Stops the service thread inside every emit of one of its signals, after the receivers connected
 * before, until opened (at most 30 s). It lives on the service thread and is deleted there, so that it
 * never goes while an emit is calling it.
 */
class EmitHold : public QObject
{
    Q_OBJECT

public:
    static EmitHold* on(const QMetaMethod& signal)
    {
        auto* made = new EmitHold;
        made->moveToThread(worker().serviceThread());
        const QMetaMethod slot = made->metaObject()->method(made->metaObject()->indexOfSlot("hold()"));
        QObject::connect(&worker(), signal, made, slot, Qt::DirectConnection);
        return made;
    }

    /** Lets the held emit and every later one go. Any thread. */
    static void open(const std::shared_ptr<QSemaphore>& gate) { gate->release(1000); }
    std::shared_ptr<QSemaphore> gate = std::make_shared<QSemaphore>();

public slots:
    void hold() { gate->tryAcquire(1, 30000); }
};

/** Opens its hold and deletes it on the service thread. */
struct EmitHoldDeleter
{
    void operator()(EmitHold* hold) const
    {
        EmitHold::open(hold->gate);
        hold->deleteLater();
    }
};

MatrixInfoMap storedDecoders(MatrixConfigForm* form)
{
    if (!QTest::qWaitFor([form] { return !form->isUpdatePending(); }))
        return {};
    MatrixSdkWorker::flushStore();
    return MatrixSdkWorker::getDecoderFromJson();
}

} // namespace

class TestDecoderConnections : public QObject
{
    Q_OBJECT

    Fixture fx;
    std::unique_ptr<DecoderManagementDlg> dialog;
    std::unique_ptr<MatrixConfigForm> form;

    /** The page over the stored decoders and walls, and the management dialog it made. */
    DecoderManagementDlg* showPage(const QList<MatrixInfo>& decoders, const QList<TvWallManagement>& walls)
    {
        MatrixSdkWorker::addDecoderToJson(decoders);
        MatrixSdkWorker::addMatrixToJson(walls);
        MatrixSdkWorker::flushStore();
        form = std::make_unique<MatrixConfigForm>();
        form->resize(817, 568);
        form->show();
        return QTest::qWaitFor([] { return topLevel<DecoderManagementDlg>() != nullptr; })
                   ? topLevel<DecoderManagementDlg>()
                   : nullptr;
    }

    /** A shown management dialog whose decoders have all connected. */
    DecoderManagementDlg* connected(const QStringList& ips)
    {
        QList<MatrixInfo> decoders;
        for (const QString& ip : ips)
            decoders << stored(ip);
        dialog = management(decoders);
        return settle(dialog.get(), ips) ? dialog.get() : nullptr;
    }

private slots:
    void init() { QVERIFY(fx.setUp()); }

    void cleanup()
    {
        dialog.reset();
        form.reset();
        fx.tearDown();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void connectionResults()
    {
        worker().faults().setLoginFault(Other, FaultInjector::LoginFault::Refuse);
        worker().faults().setLoginFault(Eight, FaultInjector::LoginFault::Locked);
        dialog = management({stored(Main), stored(Single, QStringLiteral("Typed@123")), stored(Eight),
                             stored(Other), stored(Fresh)});
        QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);
        QVERIFY(settle(dialog.get(), {Main}));
        QVERIFY(settle(dialog.get(), {Single, Eight, Other, Fresh}, Down));
        QCOMPARE(reports.count(), 5);
        // The fleet's reasons are reported; a refused connection has none.
        QCOMPARE(fx.alerts(),
                 (QStringList{"Decoder(192.0.2.11) connection failed:Incorrect user name or password,1 "
                              "errors have been made,5 errors will be locked for 30 minutes!",
                              "Decoder(192.0.2.12) has been locked,it will unlock after 1800 seconds.",
                              "Decoder(192.0.2.20) connection failed:Device not active!"}));
        const MatrixInfoMap map = dialog->getMatrixInfoMap();
        QCOMPARE(map.value(Main).connectStatus, 1);
        QCOMPARE(map.value(Main).version, QStringLiteral("V2.3.1 build 240611"));
        QCOMPARE(map.value(Single).connectStatus, 2);
        // A failed record keeps the credentials the attempt used.
        QCOMPARE(map.value(Single).password, QStringLiteral("Typed@123"));
        // The last report carries the whole list.
        QCOMPARE(reports.last().at(0).value<MatrixInfoMap>().keys(),
                 (QStringList{Main, Single, Eight, Other, Fresh}));
        QVERIFY(!worker().getHandleByIp(Main).isNull());
        QVERIFY(worker().getHandleByIp(Single).isNull());
    }

    void errorReports_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<QString>("message");
        const QString failed = QStringLiteral("Decoder(192.0.2.11) connection failed:");
        QTest::newRow("password, no counters")
            << "PASSWDERR" << QList<int>{-1, -1, -1, -1} << failed + "Incorrect user name or password!";
        QTest::newRow("password, two of five")
            << "PASSWDERR" << QList<int>{2, 5, -1, -1}
            << failed + "Incorrect user name or password,2 errors have been made,5 errors will be locked "
                        "for -1 minutes!";
        QTest::newRow("password, lock minutes only")
            << "PASSWDERR" << QList<int>{-1, -1, 30, -1}
            << failed + "Incorrect user name or password,-1 errors have been made,-1 errors will be locked "
                        "for 30 minutes!";
        QTest::newRow("locked") << "USERLOCK" << QList<int>{-1, -1, -1, 90}
                                << "Decoder(192.0.2.11) has been locked,it will unlock after 90 seconds.";
        QTest::newRow("not active") << "DEVNOACTIVE" << QList<int>{-1, -1, -1, -1}
                                    << failed + "Device not active!";
        QTest::newRow("anything else") << "TIMEOUT" << QList<int>{3, 5, 30, 60} << failed + "unknow error!";
    }

    void errorReports()
    {
        QFETCH(QString, type);
        QFETCH(QList<int>, numbers);
        QFETCH(QString, message);
        QVERIFY(connected({Single}));
        ConnectErrorMsgInfo info;
        info.errorType = type;
        info.errorCount = numbers.at(0);
        info.lockThreshold = numbers.at(1);
        info.lockMinutes = numbers.at(2);
        info.unlockSeconds = numbers.at(3);
        DecoderManagementDlg* target = dialog.get();
        // Reports meant for another object, or for none, are not this dialog's.
        int other = 0;
        QVERIFY(runOnServiceThread([&] {
            emit worker().signalConnectErrorMsg(Single, info, &other);
            emit worker().signalConnectErrorMsg(Single, info, nullptr);
            emit worker().signalConnectErrorMsg(Single, info, target);
        }));
        QCOMPARE(fx.alerts(), QStringList{message});
        // The report alone changes neither the record nor the row; the connection result does.
        QCOMPARE(status(dialog.get(), Single), Up);
        QCOMPARE(dialog->getMatrixInfoMap().value(Single).connectStatus, 1);
    }

    void batchLogin()
    {
        const QString wrong = QStringLiteral("Wrong@123");
        dialog = management({stored(Main), stored(Single, wrong), stored(Eight, wrong)});
        QVERIFY(settle(dialog.get(), {Single, Eight}, Down));
        QVERIFY(settle(dialog.get(), {Main}));

        QString text;
        ModalAnswerer none(BoxClass, confirm(&text));
        click(dialog.get(), "patchChangePwdBtn");
        QCOMPARE(text, QStringLiteral("Please select decoders!"));

        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        clickRowBox(dialog.get(), Single);
        clickRowBox(dialog.get(), Eight);
        ModalAnswerer login(LoginClass, loginWith("admin", Password));
        click(dialog.get(), "patchChangePwdBtn");
        QVERIFY(login.answered());
        // The batch runs without a waiting overlay.
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        QVERIFY(settle(dialog.get(), {Single, Eight}));
        QCOMPARE(results.count(), 2);
        QCOMPARE(dialog->getMatrixInfoMap().value(Eight).password, Password);
    }

    void loginOfOneRow()
    {
        QVERIFY(connected({Main}));
        worker().setResultDelay(300);
        ModalAnswerer wrong(LoginClass, loginWith("admin", QStringLiteral("Other@123")));
        clickRowButton(dialog.get(), Main, "changePwdBtn");
        QVERIFY(wrong.answered());
        QCOMPARE(overlaysOver(dialog.get()).size(), 1);
        QCOMPARE(overlaysOver(dialog.get()).at(0)->text(), QStringLiteral("Decoder connecting..."));
        // Until the result, the list keeps the credentials it had.
        QCOMPARE(dialog->getMatrixInfoMap().value(Main).password, Password);
        QVERIFY(settle(dialog.get(), {Main}, Down));
        QCOMPARE(dialog->getMatrixInfoMap().value(Main).password, QStringLiteral("Other@123"));
        QVERIFY(overlaysOver(dialog.get()).isEmpty());

        ModalAnswerer right(LoginClass, loginWith("admin", Password));
        clickRowButton(dialog.get(), Main, "changePwdBtn");
        QVERIFY(settle(dialog.get(), {Main}));
        QCOMPARE(dialog->getMatrixInfoMap().value(Main).password, Password);

        // A cancelled login starts nothing.
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        ModalAnswerer cancelled(LoginClass, [](QWidget* login) { click(login, "cancelBtn"); });
        clickRowButton(dialog.get(), Main, "changePwdBtn");
        QVERIFY(cancelled.answered());
        QVERIFY(overlaysOver(dialog.get()).isEmpty());
        QCOMPARE(results.count(), 0);
    }

    void reconnectRowByDoubleClick()
    {
        worker().faults().setLoginFault(Single, FaultInjector::LoginFault::Refuse);
        dialog = management({stored(Main), stored(Single)});
        QVERIFY(settle(dialog.get(), {Single}, Down));
        worker().faults().clear();
        worker().setResultDelay(300);
        QTableWidget* t = table(dialog.get());
        const QRect rect = t->visualItemRect(t->item(rowOf(dialog.get(), Single), IpColumn));
        // A double click is a press and release followed by a second press.
        QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QTest::mouseDClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QCOMPARE(overlaysOver(dialog.get()).size(), 1);
        QVERIFY(settle(dialog.get(), {Single}));
        QTRY_VERIFY(overlaysOver(dialog.get()).isEmpty());
    }

    void brokenConnectionTip_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("withMainWidget");
        QTest::newRow("dialog shown") << true << true;
        QTest::newRow("dialog hidden, page behind") << false << true;
        QTest::newRow("dialog hidden, no page") << false << false;
    }

    void brokenConnectionTip()
    {
        QFETCH(bool, shown);
        QFETCH(bool, withMainWidget);
        QWidget page;
        page.resize(400, 300);
        page.show();
        dialog = management({stored(Main), stored(Single)}, shown);
        if (withMainWidget)
            dialog->setMainWidget(&page);
        QVERIFY(settle(dialog.get(), {Main, Single}));
        QVERIFY(!tip()->isVisible());
        QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);

        worker().dropConnection(Main);
        QTRY_VERIFY(tip()->isVisible());
        QCOMPARE(tip()->tipContent(), QStringLiteral("192.0.2.10 connection is broken"));
        QCOMPARE(tip()->getConnectIp(), Main);
        QVERIFY(worker().getHandleByIp(Main).isNull());
        // The decoder counts as connected until the operator acts on the tip.
        QCOMPARE(status(dialog.get(), Main), Up);
        QCOMPARE(dialog->getMatrixInfoMap().value(Main).connectStatus, 1);
        QCOMPARE(reports.count(), 0);

        click(tip(), "reconnectBtn");
        QWidget* overlayParent = shown            ? static_cast<QWidget*>(dialog.get())
                                 : withMainWidget ? &page
                                                  : nullptr;
        QCOMPARE(overlaysOver(dialog.get()).size(), shown ? 1 : 0);
        QCOMPARE(overlaysOver(&page).size(), overlayParent == &page ? 1 : 0);
        if (overlayParent)
            QCOMPARE(overlaysOver(overlayParent).at(0)->text(), QStringLiteral("Decoder connecting..."));
        QTRY_VERIFY(!tip()->isVisible());
        QCOMPARE(tip()->getConnectIp(), QString());
        QVERIFY(!worker().getHandleByIp(Main).isNull());
        QVERIFY(overlaysOver(dialog.get()).isEmpty());
        QVERIFY(overlaysOver(&page).isEmpty());
        QCOMPARE(status(dialog.get(), Main), Up);
        dialog.reset();
    }

    void noTipForAConnectionTheListDoesNotHold()
    {
        dialog = management({stored(Main)});
        QVERIFY(settle(dialog.get(), {Main}));
        // A connection made for a decoder the list does not hold (an Add's, before it was listed).
        worker().connectMatrix(stored(Single), nullptr);
        QTRY_VERIFY(!worker().getHandleByIp(Single).isNull());
        worker().dropConnection(Single);
        // The notice goes out on the service thread and is handled here before what comes after it.
        QVERIFY(runOnServiceThread([] {}));
        QCoreApplication::processEvents();
        QVERIFY(!tip()->isVisible());
        QCOMPARE(tip()->getConnectIp(), QString());
    }

    void tipAfterFailedReconnectAndDismissal()
    {
        QVERIFY(connected({Main, Single}));
        worker().dropConnection(Main);
        QTRY_VERIFY(tip()->isVisible());
        worker().faults().setLoginFault(Main, FaultInjector::LoginFault::Refuse);
        click(tip(), "reconnectBtn");
        QTRY_COMPARE(tip()->tipContent(), QStringLiteral("192.0.2.10 connect failed"));
        QVERIFY(tip()->isVisible());
        QCOMPARE(status(dialog.get(), Main), Down);
        // Once the decoder answers again the tip goes away.
        worker().faults().clear();
        click(tip(), "reconnectBtn");
        QTRY_VERIFY(!tip()->isVisible());
        QCOMPARE(status(dialog.get(), Main), Up);

        // Dismissed, the broken connection counts as failed.
        worker().dropConnection(Single);
        QTRY_VERIFY(tip()->isVisible());
        QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);
        click(tip(), "closeBtn");
        QVERIFY(!tip()->isVisible());
        QCOMPARE(reports.count(), 1);
        QCOMPARE(reports.at(0).at(0).value<MatrixInfoMap>().value(Single).connectStatus, 2);
        QCOMPARE(status(dialog.get(), Single), Down);
        QCOMPARE(status(dialog.get(), Main), Up);
        QVERIFY(worker().getHandleByIp(Single).isNull());
    }

    void disconnectResult()
    {
        QVERIFY(connected({Main}));
        QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);
        QVERIFY(runOnServiceThread([] { emit worker().signalDisconnectMatrixResult(-2, Main); }));
        QCOMPARE(reports.count(), 0);
        QCOMPARE(dialog->getMatrixInfoMap().value(Main).connectStatus, 1);

        worker().disconnectMatrix(worker().getHandleByIp(Main));
        QTRY_COMPARE(reports.count(), 1);
        QCOMPARE(dialog->getMatrixInfoMap().value(Main).connectStatus, 2);
        // The row is left as it was.
        QCOMPARE(status(dialog.get(), Main), Up);
    }

    void passwordChange_data()
    {
        QTest::addColumn<QString>("oldPassword");
        QTest::addColumn<bool>("reconnect");
        QTest::newRow("reconnect with the new password") << Password << true;
        QTest::newRow("reconnect declined") << Password << false;
        QTest::newRow("wrong old password") << QStringLiteral("NotTheOld@1") << false;
    }

    void passwordChange()
    {
        QFETCH(QString, oldPassword);
        QFETCH(bool, reconnect);
        const bool changes = oldPassword == Password;
        QVERIFY(connected({Main, Single}));
        const QString changed = QStringLiteral("Changed@2025");
        QString question;
        ModalAnswerer answer(BoxClass, confirm(&question, reconnect), changes ? 10000 : 1000);
        worker().userPasswordModify(worker().getHandleByIp(Main), oldPassword, changed);
        if (!changes) {
            QTRY_COMPARE(fx.alerts(), QStringList{"Password change failed!"});
            QCOMPARE(status(dialog.get(), Main), Up);
            QVERIFY(!worker().getHandleByIp(Main).isNull());
            QVERIFY(!answer.answered());
            return;
        }
        QTRY_COMPARE(question, QStringLiteral("Decoder 192.0.2.10 Password modification successful, please "
                                              "reconnect login!"));
        if (reconnect) {
            QVERIFY(settle(dialog.get(), {Main}));
            QCOMPARE(dialog->getMatrixInfoMap().value(Main).password, changed);
            QCOMPARE(dialog->getMatrixInfoMap().value(Main).connectStatus, 1);
            QVERIFY(!worker().getHandleByIp(Main).isNull());
        } else {
            QTRY_VERIFY(worker().getHandleByIp(Main).isNull());
            QCOMPARE(status(dialog.get(), Main), Down);
            const MatrixInfo main = dialog->getMatrixInfoMap().value(Main);
            QCOMPARE(main.connectStatus, 2);
            QCOMPARE(main.password, Password);
        }
        QCOMPARE(status(dialog.get(), Single), Up);
    }

    void addressChangeFailures_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("credentials")
            << -22 << "Decoder(192.0.2.11) IP setting failed:Incorrect user name or password!";
        QTest::newRow("other") << -1 << "Decoder(192.0.2.11) IP setting failed!";
    }

    void addressChangeFailures()
    {
        QFETCH(int, code);
        QFETCH(QString, message);
        QVERIFY(connected({Single}));
        QSignalSpy moved(dialog.get(), &DecoderManagementDlg::sig_ipChanged);
        QVERIFY(runOnServiceThread([code] {
            emit worker().signalSetMatrixNetworkResult(code, QStringLiteral("192.0.2.40"), Single);
        }));
        QCOMPARE(fx.alerts(), QStringList{message});
        QCOMPARE(listedIps(dialog.get()), QStringList{Single});
        QCOMPARE(moved.count(), 0);
    }

    void addressChangeToTheSameAddress()
    {
        QVERIFY(connected({Main}));
        QSignalSpy moved(dialog.get(), &DecoderManagementDlg::sig_ipChanged);
        QStringList seen;
        QVERIFY(runOnServiceThread([&] {
            emit worker().signalSetMatrixNetworkResult(0, Main, Main);
            // Read on the GUI thread before the new connection's result can come in.
            QMetaObject::invokeMethod(
                qApp, [&] { seen << status(dialog.get(), Main); }, Qt::BlockingQueuedConnection);
        }));
        QCOMPARE(seen, QStringList{"connecting"});
        QCOMPARE(dialog->getMatrixInfoMap().keys(), QStringList{Main});
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0), (QList<QVariant>{Main, Main}));
        QVERIFY(settle(dialog.get(), {Main}));
    }

    void addressChangeMovesWallsAndStore()
    {
        const QString moved = QStringLiteral("192.0.2.17");
        // Neither decoder holds a wall of its own in the fleet, so the stored walls stay as they are.
        DecoderManagementDlg* page =
            showPage({stored(Eight), stored(Single)},
                     {wall("Hall", Single, {Single}), wall("Lobby", Eight, {Eight + "-1", Single})});
        QVERIFY(page);
        QVERIFY(settle(page, {Single, Eight}));

        DeviceNetworkCfg_t cfg;
        std::memset(&cfg, 0, sizeof cfg);
        qstrcpy(cfg.ipv4Addr, "192.0.2.17");
        qstrcpy(cfg.ipv4Mask, "255.255.255.0");
        qstrcpy(cfg.ipv4Gateway, "192.0.2.1");
        worker().setMatrixNetworkConfig(worker().getHandleByIp(Single), stored(Single), stored(Single), cfg,
                                        1, page);
        // The row keeps its place and takes the new address.
        QTRY_COMPARE(listedIps(page), (QStringList{moved, Eight}));
        QVERIFY(settle(page, {moved}));
        QCOMPARE(rowOpr(page, moved)->getIp(), moved);

        const MatrixInfoMap decoders = storedDecoders(form.get());
        QCOMPARE(decoders.keys(), (QStringList{Eight, moved}));
        QCOMPARE(decoders.value(moved).connectStatus, 1);
        const auto walls = MatrixSdkWorker::getMatrixFromJson();
        QCOMPARE(walls.value("Hall").mainIp, moved);
        QCOMPARE(walls.value("Hall").matrixInfoList.at(0).ip, moved);
        QCOMPARE(walls.value("Lobby").mainIp, Eight);
        QCOMPARE(walls.value("Lobby").matrixInfoList.at(1).ip, moved);
        // Both walls count as connected again on the page.
        QCOMPARE(connectedWalls(), (QStringList{"Hall", "Lobby"}));
        // Its row's buttons name the new address.
        ModalAnswerer remove(BoxClass, confirm());
        clickRowButton(page, moved, "deleteBtn");
        QVERIFY(remove.answered());
        QCOMPARE(listedIps(page), QStringList{Eight});
    }

    void factoryReset_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("message");
        QTest::newRow("restored") << true
                                  << "Factory Settings of the decoder card have been restored successfully. "
                                     "Please search again!";
        QTest::newRow("no connection") << false << "Failed to restore factory Settings with decoder card!";
    }

    void factoryReset()
    {
        QFETCH(bool, connected);
        QFETCH(QString, message);
        if (!connected)
            worker().faults().setLoginFault(Main, FaultInjector::LoginFault::Refuse);
        dialog = management({stored(Main)});
        QVERIFY(settle(dialog.get(), {Main}, connected ? Up : Down));
        QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);

        // Declined, nothing is asked of the decoder.
        ServiceSpy results(&MatrixSdkWorker::signalMatrixFactoryResetResult);
        ModalAnswerer no(BoxClass, confirm(nullptr, false));
        QVERIFY(QMetaObject::invokeMethod(dialog.get(), "slotFactoryReset", Q_ARG(QString, Main)));
        QVERIFY(no.answered());
        QVERIFY(overlaysOver(dialog.get()).isEmpty());
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
        QCOMPARE(status(dialog.get(), Main), Down);
        QCOMPARE(dialog->getMatrixInfoMap().value(Main).connectStatus, 2);
        QCOMPARE(reports.count(), connected ? 1 : 0);
    }

    void layoutOfMainDecoderBecomesWall()
    {
        MatrixSdkWorker::addMatrixToJson({wall("Stored", Main, {Main + "-1"})});
        ServiceSpy layouts(&MatrixSdkWorker::signalGetLayoutInfoResult);
        dialog = management({stored(Main), stored(Single)});
        QSignalSpy walls(dialog.get(), &DecoderManagementDlg::sig_tvWallManagementChanged);
        QTRY_COMPARE(walls.count(), 1);
        QVERIFY(settle(dialog.get(), {Single}));
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

    void resultTakenByTheDialogIsRecordedWhole_data()
    {
        QTest::addColumn<QByteArray>("signal");
        QTest::addColumn<QString>("request");
        QTest::newRow("connection") << QByteArray("signalConnectMatrixResult") << "connect";
        QTest::newRow("disconnection") << QByteArray("signalDisconnectMatrixResult") << "disconnect";
        QTest::newRow("layout") << QByteArray("signalGetLayoutInfoResult") << "layout";
        QTest::newRow("factory reset") << QByteArray("signalMatrixFactoryResetResult") << "reset";
    }

    void resultTakenByTheDialogIsRecordedWhole()
    {
        QFETCH(QByteArray, signal);
        QFETCH(QString, request);
        QVERIFY(connected({Main}));
        const QMetaObject& meta = MatrixSdkWorker::staticMetaObject;
        QMetaMethod method;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            if (meta.method(i).name() == signal)
                method = meta.method(i);
        }
        QVERIFY(method.isValid());

        QSignalSpy reports(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged);
        // The dialog takes the result blocking-queued and lets the GUI thread go; the service thread then
        // stops before the receivers connected after the dialog, the spy's among them.
        const std::unique_ptr<EmitHold, EmitHoldDeleter> hold(EmitHold::on(method));
        ServiceSpy results(method);
        QVERIFY(results.isValid());
        // A factory reset's result is shown in a box.
        ModalAnswerer box(BoxClass, confirm());
        const CMHandle handle = worker().getHandleByIp(Main);
        if (request == "connect")
            worker().connectMatrix(stored(Main), dialog.get());
        else if (request == "disconnect")
            worker().disconnectMatrix(handle);
        else if (request == "layout")
            worker().getLayout(handle, dialog.get());
        else
            worker().factoryReset(handle);
        QTRY_COMPARE(reports.count(), 1);

        // Opened while the spy is being read: the read waits for the emit to end.
        QTimer::singleShot(50, [gate = hold->gate] { EmitHold::open(gate); });
        QCOMPARE(results.count(), 1);
        QCOMPARE(results.first().size(), method.parameterCount());
    }

    void resultsForDecodersNotListed()
    {
        QVERIFY(connected({Main, Single}));
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
        QCOMPARE(reports.count() + moved.count() + walls.count(), 0);
        QCOMPARE(listedIps(dialog.get()), QStringList{Main});
        QCOMPARE(dialog->getMatrixInfoMap().keys(), QStringList{Main});
        QCOMPARE(status(dialog.get(), Main), Up);
    }

    void storeKeepsEveryDecoder()
    {
        worker().faults().setLoginFault(Single, FaultInjector::LoginFault::Refuse);
        DecoderManagementDlg* page = showPage({stored(Main), stored(Single), stored(Eight)}, {});
        QVERIFY(page);
        QVERIFY(settle(page, {Main, Eight}));
        QVERIFY(settle(page, {Single}, Down));
        MatrixInfoMap kept = storedDecoders(form.get());
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
        QCOMPARE(storedDecoders(form.get()).keys(), (QStringList{Main, Single}));

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
};

QTEST_MAIN(TestDecoderConnections)
#include "tst_decoderconnections.moc"
