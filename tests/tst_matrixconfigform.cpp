#include "checkscreentreeitem.h"
#include "connectmatrixitem.h"
#include "decoderdevicetree.h"
#include "decodermanagementdlg.h"
#include "dictdef.h"
#include "disabledwaitingwtmanager.h"
#include "faultinjector.h"
#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "matrixsdkworker.h"
#include "modalanswerer.h"
#include "moduleaccess.h"
#include "pmessagebox.h"
#include "screenlayoutwt.h"
#include "screenwt.h"
#include "servicespy.h"
#include "servicethread.h"
#include "systemassistant.h"
#include "treeitem.h"

#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <functional>
#include <memory>

using namespace pral_matrixConfig;
using pral_matrix::FaultInjector;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;
using pral_worker::SystemAssistant;
using Grid = QPair<int, int>;

namespace {

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

const QString Main = QStringLiteral("192.0.2.10");   // four outputs
const QString Single = QStringLiteral("192.0.2.11"); // one output
const QString Eight = QStringLiteral("192.0.2.12");  // eight outputs
const QString Unbound = QStringLiteral("unbanded");
// Walls of a page that lists more entries than the tree shows at once.
constexpr int ManyWalls = 12;

MatrixInfo decoder(const QString& ip, int type, int channels, int status)
{
    MatrixInfo info;
    info.ip = ip;
    info.matrixType = static_cast<pral_matrix::MatrixType>(type);
    info.channelCount = channels;
    info.connectStatus = status;
    info.userName = QStringLiteral("admin");
    info.password = QStringLiteral("Tvwall@2024");
    info.activated = true;
    return info;
}

// Outputs are listed row by row; "ip" alone is a single-output decoder.
TvWallManagement wall(const QString& name, const QString& mainIp, int rows, int cols,
                      const QStringList& outputs)
{
    TvWallManagement w;
    w.tvWallName = name;
    w.mainIp = mainIp;
    w.row = rows;
    w.col = cols;
    for (int i = 0; i < outputs.size(); ++i) {
        MatrixInfo screen;
        const QStringList parts = outputs.at(i).split('-');
        screen.ip = parts.at(0);
        screen.matrixType = static_cast<pral_matrix::MatrixType>(parts.size() > 1 ? 3 : 1);
        screen.channel = parts.size() > 1 ? parts.at(1).toInt() : 1;
        screen.row = cols > 0 ? i / cols : 0;
        screen.column = cols > 0 ? i % cols : 0;
        w.matrixInfoList.append(screen);
    }
    return w;
}

QStringList eightOutputs(int count)
{
    QStringList outputs;
    for (int i = 1; i <= count; ++i)
        outputs << QStringLiteral("%1-%2").arg(Eight).arg(i);
    return outputs;
}

// The page with the wizard replaced by a scripted answer.
class WizardForm : public MatrixConfigForm
{
public:
    bool answer = false;
    TvWallManagement answerWall;
    int calls = 0;
    QStringList firstList;
    QStringList offered;
    QStringList names;
    bool addMode = false;
    TvWallManagement given;
    Grid gridWhenOpened;

protected:
    bool execTvWallWizard(const QStringList& decodersOrBoundOutputs, const QStringList& outputIds,
                          const QStringList& wallNames, bool add, const TvWallManagement& wall,
                          TvWallManagement& result) override
    {
        ++calls;
        firstList = decodersOrBoundOutputs;
        offered = outputIds;
        names = wallNames;
        addMode = add;
        given = wall;
        getLayout(gridWhenOpened.first, gridWhenOpened.second);
        if (answer)
            result = answerWall;
        return answer;
    }
};

DecoderManagementDlg* managementDialog()
{
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget* w : widgets) {
        if (auto* dlg = qobject_cast<DecoderManagementDlg*>(w))
            return dlg;
    }
    return nullptr;
}

// Runs action and answers the message box it opens; the box's text, or "<no box>".
QString boxText(const std::function<void()>& action, const QString& button = QStringLiteral("okBtn"))
{
    QString text = QStringLiteral("<no box>");
    ModalAnswerer answer("PCOMMON::PMessageBox", [&](QWidget* box) {
        text = static_cast<PCOMMON::PMessageBox*>(box)->text();
        ModalAnswerer::clickButton(box, button);
    });
    action();
    return text;
}

} // namespace

class TestMatrixConfigForm : public QObject
{
    Q_OBJECT

private slots:
    void init()
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

    void cleanup()
    {
        form.reset();
        alertSpy.reset();
        PSingleton<SystemAssistant>::_instance().closeAll();
        worker().faults().clear();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void firstShowLoadsNothingUntilShown()
    {
        MatrixSdkWorker::addMatrixToJson({wall("Lobby", Main, 1, 1, {Main + "-1"})});
        MatrixSdkWorker::flushStore();
        form = std::make_unique<WizardForm>();
        QVERIFY(!managementDialog());
        form->show();
        QTRY_VERIFY(managementDialog());
        // The stored decoders reach the tree through the dialog's report.
        report({decoder(Main, 3, 4, 1)});
        QVERIFY(wallRow("Lobby"));
        QVERIFY(wallRow("Lobby")->isConnected());
    }

    void embeddedModeLoadsNothing()
    {
        MatrixSdkWorker::addMatrixToJson({wall("Lobby", Main, 1, 1, {Main + "-1"})});
        form = std::make_unique<WizardForm>();
        form->setEmbeddedMode();
        form->show();
        // The first-show timer has run once a later zero-delay timer has.
        bool later = false;
        QTimer::singleShot(5, [&later] { later = true; });
        QTRY_VERIFY(later);
        QVERIFY(!managementDialog());
        QCOMPARE(treeWidget()->topLevelItemCount(), 0);

        // What the wizard uses of the embedded page.
        form->setLayout(2, 3);
        for (int i = 0; i < 6; ++i)
            form->bindScreen(i, QStringLiteral("%1-%2").arg(Eight).arg(i + 1));
        QVERIFY(form->allScreensBound());
        QString key;
        int numberId = 0;
        int number = 0;
        form->screenBinding(4, key, numberId, number);
        QCOMPARE(key, Eight + "-5");
        form->showOutputs("Wizard wall", {Single, Eight + "-1"});
        QCOMPARE(treeWidget()->topLevelItemCount(), 1);
        QCOMPARE(treeWidget()->topLevelItem(0)->childCount(), 2);
    }

    void wallStates_data()
    {
        QTest::addColumn<int>("mainStatus");
        QTest::addColumn<int>("otherStatus");
        QTest::addColumn<bool>("connected");
        QTest::newRow("all connected") << 1 << 1 << true;
        QTest::newRow("bound decoder failed") << 1 << 2 << false;
        QTest::newRow("main decoder not yet") << 0 << 1 << false;
        QTest::newRow("bound decoder unknown") << 1 << -1 << false;
    }

    void wallStates()
    {
        QFETCH(int, mainStatus);
        QFETCH(int, otherStatus);
        QFETCH(bool, connected);
        QVERIFY(showForm({}, {wall("Lobby", Main, 1, 2, {Main + "-1", Single})}));
        QList<MatrixInfo> decoders{decoder(Main, 3, 4, mainStatus)};
        if (otherStatus >= 0)
            decoders << decoder(Single, 1, 1, otherStatus);
        report(decoders);
        QVERIFY(wallRow("Lobby"));
        QCOMPARE(wallRow("Lobby")->isConnected(), connected);
    }

    void connectButtonConnectsThroughTheFleet()
    {
        QVERIFY(showForm({}, {wall("Lobby", Main, 1, 2, {Main + "-1", Single})}));
        report({decoder(Main, 3, 4, 0), decoder(Single, 1, 1, 0)});
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        QTest::mouseClick(wallRow("Lobby")->findChild<QPushButton*>("connectBt"), Qt::LeftButton);
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 1);
        QTRY_COMPARE(results.count(), 2);
        QTRY_COMPARE(alerts(), QStringList{"Tvwall(Lobby):Connect success!"});
        QCOMPARE(alertSpy->at(0).at(0).toString(), pral_contact::DictDef::alertNotice);
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        QVERIFY(!worker().getHandleByIp(Main).isNull());
        QVERIFY(!worker().getHandleByIp(Single).isNull());
    }

    void failedConnectionThenSuccess()
    {
        QVERIFY(showForm({}, {wall("Lobby", Main, 1, 2, {Main + "-1", Single})}));
        report({decoder(Main, 3, 4, 0), decoder(Single, 1, 1, 2)});
        worker().faults().setLoginFault(Single, FaultInjector::LoginFault::Refuse);
        form->connectTvWall("Lobby");
        QTRY_COMPARE(alerts(),
                     QStringList{"Tvwall(Lobby):Connect failed:The associated decoder connection failed"});
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);

        // One failure must not stick to the next attempt.
        worker().faults().clear();
        form->connectTvWall("Lobby");
        QTRY_COMPARE(alerts().size(), 2);
        QCOMPARE(alerts().last(), QStringLiteral("Tvwall(Lobby):Connect success!"));
    }

    void connectionNotAsked_data()
    {
        QTest::addColumn<int>("singleStatus");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expectedAlerts");
        QTest::newRow("wall already connected") << 1 << "Lobby" << QStringList();
        QTest::newRow("no such wall") << 1 << "No such wall" << QStringList();
        QTest::newRow("bound decoder unknown")
            << -1 << "Lobby" << QStringList{"There is no decoder added, TV wall connection failed!"};
    }

    void connectionNotAsked()
    {
        QFETCH(int, singleStatus);
        QFETCH(QString, name);
        QFETCH(QStringList, expectedAlerts);
        QVERIFY(showForm({}, {wall("Lobby", Main, 1, 2, {Main + "-1", Single})}));
        QList<MatrixInfo> decoders{decoder(Main, 3, 4, singleStatus < 0 ? 0 : 1)};
        if (singleStatus >= 0)
            decoders << decoder(Single, 1, 1, singleStatus);
        report(decoders);
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        form->connectTvWall(name);
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        // Everything asked of the service before this marker has been answered after it.
        QVERIFY(runOnServiceThread([] {}));
        QCOMPARE(results.count(), 0);
        QCOMPARE(alerts(), expectedAlerts);
    }

    void foreignConnectionResultIsIgnored()
    {
        QVERIFY(showForm({}, {wall("Lobby", Main, 1, 2, {Main + "-1", Single})}));
        report({decoder(Main, 3, 4, 0), decoder(Single, 1, 1, 1)});
        worker().setResultDelay(1000);
        form->connectTvWall("Lobby");
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 1);
        // A result for somebody else's request must not count for the wall.
        int other = 0;
        QVERIFY(runOnServiceThread([&other] {
            emit worker().signalConnectMatrixResult(
                MatrixSdkWorker::makeDetachedHandle(Main, "admin", "x", 3, "v"), -1, 3, &other);
        }));
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 1);
        QVERIFY(alerts().isEmpty());
        QTRY_COMPARE(alerts(), QStringList{"Tvwall(Lobby):Connect success!"});
    }

    void connectedWallShowsItsBindings()
    {
        const QStringList outputs = eightOutputs(8) << Single << Main + "-1" << Main + "-2" << Main + "-3";
        QVERIFY(showForm({}, {wall("Big", Eight, 3, 4, outputs)}));
        report({decoder(Main, 3, 4, 1), decoder(Single, 1, 1, 1), decoder(Eight, 3, 8, 1)});
        QCOMPARE(grid(), Grid(3, 4));
        QCOMPARE(label(0), "1-1: " + Eight + "-1");
        QCOMPARE(label(8), "3-1: " + Single);
        QCOMPARE(label(11), "3-4: " + Main + "-3");
        QCOMPARE(tree()->shownTvWallName(), QStringLiteral("Big"));
    }

    void unconnectedWallLeavesTheScreens()
    {
        QVERIFY(showForm({}, {wall("Up", Main, 1, 1, {Main + "-1"}), wall("Down", Single, 2, 2, {Single})}));
        report({decoder(Main, 3, 4, 1), decoder(Single, 1, 1, 2)});
        QCOMPARE(grid(), Grid(1, 1));
        QMetaObject::invokeMethod(form.get(), "slotShowMatrixLayout", Q_ARG(int, 1), Q_ARG(QString, "Down"));
        QCOMPARE(grid(), Grid(1, 1));
        QCOMPARE(label(0), "1-1: " + Main + "-1");
    }

    void malformedStoredWallKeepsPageAndStore_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("screens");
        QTest::newRow("more screens than the grid") << 1 << 2 << 5;
        QTest::newRow("negative size") << -2 << 3 << 2;
        QTest::newRow("beyond 10 x 10") << 1 << 5000 << 12;
    }

    void malformedStoredWallKeepsPageAndStore()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(int, screens);
        TvWallManagement bad = wall("Odd", Eight, 1, 2, eightOutputs(screens));
        bad.row = rows;
        bad.col = cols;
        QVERIFY(showForm({}, {bad}));
        report({decoder(Eight, 3, 8, 1)});
        QVERIFY(wallRow("Odd"));
        QVERIFY(!alerts().isEmpty());
        QCOMPARE(view()->screenCount(), qBound(0, rows, 10) * qBound(0, cols, 10));
        QCOMPARE(storedWalls().value("Odd").matrixInfoList.size(), screens);
    }

    void addPreparesTheGrid_data()
    {
        QTest::addColumn<QString>("splitButton");
        QTest::addColumn<Grid>("expected");
        QTest::newRow("empty grid") << QString() << Grid(2, 2);
        QTest::newRow("after 3 x 4") << "split12Btn" << Grid(3, 4);
        QTest::newRow("after 2 x 3") << "split6Btn" << Grid(2, 3);
    }

    void addPreparesTheGrid()
    {
        QFETCH(QString, splitButton);
        QFETCH(Grid, expected);
        QVERIFY(showForm({}, {}));
        report({decoder(Single, 1, 1, 1)});
        if (!splitButton.isEmpty())
            clickButton(splitButton.toLatin1());
        tree()->lock();
        clickButton("addBtn");
        QCOMPARE(form->calls, 1);
        QVERIFY(form->addMode);
        QCOMPARE(form->gridWhenOpened, expected);
        QCOMPARE(view()->bindingFamily(), -1);
        QVERIFY(!tree()->isLocked());
    }

    void addOffersConnectedOutputs()
    {
        QVERIFY(showForm({}, {wall("Lobby", Main, 1, 1, {Main + "-1"})}));
        report({decoder(Main, 3, 2, 1), decoder(Single, 1, 1, 1), decoder(Eight, 3, 8, 2),
                decoder("192.0.2.40", 5, 2, 1), decoder("192.0.2.9", 3, 0, 1)});
        clickButton("addBtn");
        QCOMPARE(form->calls, 1);
        QCOMPARE(form->firstList, (QStringList{Main, Single}));
        QCOMPARE(form->offered, (QStringList{Main + "-1", Main + "-2", Single}));
        QCOMPARE(form->names, QStringList{"Lobby"});
        QVERIFY(form->given.tvWallName.isEmpty());
    }

    void addReplacesWallOfSameMainDecoder()
    {
        QVERIFY(
            showForm({}, {wall("Lobby", Main, 1, 1, {Main + "-1"}), wall("Hall", Single, 1, 1, {Single})}));
        report({decoder(Main, 3, 4, 1), decoder(Single, 1, 1, 1)});
        form->answer = true;
        form->answerWall = wall("Atrium", Main, 1, 2, {Main + "-1", Main + "-2"});
        clickButton("addBtn");
        QVERIFY(!wallRow("Lobby"));
        QVERIFY(wallRow("Atrium")->isConnected());
        QVERIFY(wallRow("Hall"));
        QCOMPARE(tree()->shownTvWallName(), QStringLiteral("Atrium"));
        QCOMPARE(label(1), "1-2: " + Main + "-2");
        QCOMPARE(storedWallNames(), (QStringList{"Atrium", "Hall"}));
    }

    void refusalsAsk_data()
    {
        QTest::addColumn<int>("mainStatus");
        QTest::addColumn<int>("select"); // -1 nothing, 0 the wall, 1 its output
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("text");
        QTest::newRow("add, no connected decoder with outputs") << 2 << -1 << "addBtn"
                                                                << "Please add the decoder first!";
        QTest::newRow("edit, nothing selected") << 1 << -1 << "editBtn"
                                                << "Please select a TV wall first!";
        QTest::newRow("edit, wall not connected") << 2 << 0 << "editBtn"
                                                  << "Please connect the TV wall first!";
        QTest::newRow("delete, an output") << 1 << 1 << "deleteBtn"
                                           << "Please select a TV wall first!";
    }

    void refusalsAsk()
    {
        QFETCH(int, mainStatus);
        QFETCH(int, select);
        QFETCH(QString, button);
        QFETCH(QString, text);
        QVERIFY(showForm({}, {wall("Lobby", Main, 1, 1, {Main + "-1"})}));
        report({decoder(Main, 3, 4, mainStatus), decoder(Eight, 3, 0, 1)});
        if (select >= 0) {
            QTreeWidgetItem* top = treeWidget()->topLevelItem(0);
            treeWidget()->setCurrentItem(select ? top->child(0) : top);
        }
        QCOMPARE(boxText([&] { clickButton(button.toLatin1()); }), text);
        QCOMPARE(form->calls, 0);
        QCOMPARE(storedWallNames(), QStringList{"Lobby"});
    }

    void editPassesBoundOutputs()
    {
        QVERIFY(showForm({}, {wall("Lobby", Main, 1, 3, {Main + "-1", Main + "-2", Single})}));
        report({decoder(Main, 3, 2, 1), decoder(Single, 1, 1, 1)});
        treeWidget()->setCurrentItem(treeWidget()->topLevelItem(0));
        form->answer = true;
        form->answerWall = wall("Lobby 2", Main, 1, 1, {Single});
        clickButton("editBtn");
        QCOMPARE(form->calls, 1);
        QVERIFY(!form->addMode);
        // A bare address stands for channel 1, whatever the decoder kind.
        QCOMPARE(form->firstList, (QStringList{Main, Main + "-2", Single}));
        QCOMPARE(form->given.tvWallName, QStringLiteral("Lobby"));
        QCOMPARE(storedWallNames(), QStringList{"Lobby 2"});
        QVERIFY(wallRow("Lobby 2"));
    }

    void deleteRemovesAtOnce()
    {
        QVERIFY(
            showForm({}, {wall("Lobby", Main, 1, 1, {Main + "-1"}), wall("Hall", Single, 1, 1, {Single})}));
        report({decoder(Main, 3, 4, 1), decoder(Single, 1, 1, 1)});
        treeWidget()->setCurrentItem(treeWidget()->topLevelItem(1));
        QCOMPARE(boxText([this] { clickButton("deleteBtn"); }), QStringLiteral("<no box>"));
        QVERIFY(!wallRow("Lobby"));
        QCOMPARE(storedWallNames(), QStringList{"Hall"});
    }

    // The hint of an empty page stands at the top of the left panel, where the walls would be listed, and
    // stays there when the list is drawn again with no wall in it.
    void emptyHintKeepsItsPlace_data()
    {
        QTest::addColumn<bool>("withWall");
        QTest::newRow("decoders reported") << false;
        QTest::newRow("the last wall deleted") << true;
    }
    void emptyHintKeepsItsPlace()
    {
        QFETCH(bool, withWall);
        QVERIFY(showForm({}, withWall ? QList<TvWallManagement>{wall("Lobby", Main, 1, 1, {Main + "-1"})}
                                      : QList<TvWallManagement>{}));
        auto* hint = form->findChild<QLabel*>(QStringLiteral("emptyHintLabel"));
        QTRY_VERIFY(hint);
        const auto placeOf = [this](QWidget* w) {
            return QRect(w->mapTo(form.get(), QPoint(0, 0)), w->size());
        };
        const QRect panel = placeOf(tree());
        if (withWall) {
            report({decoder(Main, 3, 4, 1)});
            QVERIFY(wallRow("Lobby"));
            QVERIFY(!hint->isVisible());
            treeWidget()->setCurrentItem(treeWidget()->topLevelItem(0));
            clickButton("deleteBtn");
            QTRY_VERIFY(!form->isUpdatePending());
            QVERIFY(!wallRow("Lobby"));
        } else {
            QVERIFY(hint->isVisible());
            QTRY_COMPARE(placeOf(hint).topLeft(), panel.topLeft());
            report({decoder(Main, 3, 4, 1), decoder(Single, 1, 1, 1)});
        }
        QVERIFY(hint->isVisible());
        // The panel is laid out again on a later turn of the event loop.
        QTRY_COMPARE(placeOf(hint).topLeft(), panel.topLeft());
        QCOMPARE(placeOf(hint).width(), panel.width());
        // Nothing of an empty list is drawn beside it.
        QVERIFY(!treeWidget()->isVisible());
    }

    void operatorChangesAreOnDiskAtOnce_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("decodersOnDisk");
        QTest::addColumn<QStringList>("wallsOnDisk");
        QTest::newRow("wall deleted") << "wall" << QStringList{Single, Eight} << QStringList{"Hall"};
        QTest::newRow("decoder deleted") << "decoder" << QStringList{Eight} << QStringList{"Lobby"};
        QTest::newRow("address changed")
            << "address" << QStringList{Eight, "192.0.2.99"} << QStringList{"Hall", "Lobby"};
    }

    void operatorChangesAreOnDiskAtOnce()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, decodersOnDisk);
        QFETCH(QStringList, wallsOnDisk);
        QVERIFY(showForm({decoder(Eight, 3, 8, 0), decoder(Single, 1, 1, 0)},
                         {wall("Lobby", Eight, 1, 2, {Eight + "-1", Eight + "-2"}),
                          wall("Hall", Single, 1, 1, {Single})}));
        DecoderManagementDlg* dialog = managementDialog();
        QTRY_VERIFY(wallRow("Lobby") && wallRow("Lobby")->isConnected() && wallRow("Hall")->isConnected());
        // No event is handled between the change and the look at the disk: a crash there loses nothing.
        if (change == "wall") {
            for (int i = 0; i < treeWidget()->topLevelItemCount(); ++i) {
                if (treeWidget()->itemWidget(treeWidget()->topLevelItem(i), 0) == wallRow("Lobby"))
                    treeWidget()->setCurrentItem(treeWidget()->topLevelItem(i));
            }
            clickButton("deleteBtn");
        } else if (change == "decoder") {
            auto* table = dialog->findChild<QTableWidget*>("decoderTableWidget");
            ModalAnswerer yes("PCOMMON::PMessageBox",
                              [](QWidget* box) { ModalAnswerer::clickButton(box, "okBtn"); });
            QCOMPARE(table->item(0, 2)->text(), Single);
            QTest::mouseClick(table->cellWidget(0, 6)->findChild<QPushButton*>("deleteBtn"), Qt::LeftButton);
            QVERIFY(yes.answered());
        } else {
            QVERIFY(runOnServiceThread(
                [&] { emit worker().signalSetMatrixNetworkResult(0, "192.0.2.99", Single); }));
        }
        QCOMPARE(namesOnDisk("decoders.json", "decoders", "ip"), decodersOnDisk);
        QCOMPARE(namesOnDisk("tvwalls.json", "tvWalls", "tvWallName"), wallsOnDisk);
    }

    void splitButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<Grid>("expected");
        QTest::newRow("4") << "split4Btn" << Grid(2, 2);
        QTest::newRow("6") << "split6Btn" << Grid(2, 3);
        QTest::newRow("9") << "split9Btn" << Grid(3, 3);
        QTest::newRow("12") << "split12Btn" << Grid(3, 4);
    }

    void splitButtons()
    {
        QFETCH(QString, button);
        QFETCH(Grid, expected);
        QVERIFY(showForm({}, {}));
        view()->setBindingFamily(0);
        tree()->lock();
        title()->setText("RS Decoder : x");
        clickButton(button.toLatin1());
        QCOMPARE(grid(), expected);
        QCOMPARE(view()->screenCount(), expected.first * expected.second);
        QCOMPARE(view()->bindingFamily(), -1);
        QVERIFY(!tree()->isLocked());
        QVERIFY(title()->text().isEmpty());
    }

    void customLayoutDialog_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<Grid>("expected");
        QTest::newRow("ok") << "okBtn" << Grid(4, 5);
        QTest::newRow("return key") << "return" << Grid(10, 10);
        QTest::newRow("at once") << "okBtn" << Grid(1, 1);
        QTest::newRow("cancel") << "cancelBtn" << Grid(3, 4);
        QTest::newRow("close") << "closeBt" << Grid(3, 4);
    }

    void customLayoutDialog()
    {
        QFETCH(QString, how);
        QFETCH(Grid, expected);
        QVERIFY(showForm({}, {}));
        clickButton("split12Btn");
        const bool pick = how != "cancelBtn" && how != "closeBt" && expected != Grid(1, 1);
        ModalAnswerer answer("pral_matrixConfig::SetLayoutDlg", [&](QWidget* dialog) {
            auto* rowCbx = dialog->findChild<QComboBox*>("rowCbx");
            auto* columCbx = dialog->findChild<QComboBox*>("columCbx");
            QCOMPARE(rowCbx->count(), 10);
            if (pick || how != "okBtn") {
                rowCbx->setCurrentIndex(pick ? expected.first - 1 : 6);
                columCbx->setCurrentIndex(pick ? expected.second - 1 : 6);
            }
            if (how == "return")
                QTest::keyClick(dialog, Qt::Key_Return);
            else
                ModalAnswerer::clickButton(dialog, how);
        });
        clickButton("setLayoutBtn");
        QVERIFY(answer.answered());
        QCOMPARE(grid(), expected);
    }

    void addressChangeFollowsIntoWalls()
    {
        QVERIFY(showForm(
            {}, {wall("Lobby", Main, 1, 2, {Main + "-1", Single}), wall("Hall", Single, 1, 1, {Single})}));
        report({decoder(Main, 3, 4, 1), decoder(Single, 1, 1, 1)});
        const QString moved = QStringLiteral("192.0.2.99");
        emit managementDialog()->sig_ipChanged(moved, Single);
        QTRY_VERIFY(!form->isUpdatePending());
        const auto stored = storedWalls();
        QCOMPARE(stored.value("Hall").mainIp, moved);
        QCOMPARE(stored.value("Hall").matrixInfoList.at(0).ip, moved);
        QCOMPARE(stored.value("Lobby").mainIp, Main);
        QCOMPARE(stored.value("Lobby").matrixInfoList.at(1).ip, moved);
        // The decoder list still has the old address, so neither wall counts as connected now.
        QVERIFY(!wallRow("Lobby")->isConnected());
    }

    void stateReportsReachTheStore_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("connection state") << "connectStatus";
        QTest::newRow("version alone") << "version";
        QTest::newRow("layout alone") << "subMatrixList";
    }

    void stateReportsReachTheStore()
    {
        QFETCH(QString, field);
        QVERIFY(showForm({decoder(Main, 3, 4, 0), decoder(Single, 1, 1, 0)}, {}));
        DecoderManagementDlg* dialog = managementDialog();
        QTRY_VERIFY(dialog->getMatrixInfoMap().value(Main).connectStatus == 1 &&
                    dialog->getMatrixInfoMap().value(Single).connectStatus == 1);
        QTRY_VERIFY(!form->isUpdatePending());
        // A report that changes one field of one record and no connection state.
        MatrixInfoMap map = dialog->getMatrixInfoMap();
        MatrixInfo& single = map[Single];
        if (field == "connectStatus")
            single.connectStatus = 2;
        else if (field == "version")
            single.version = QStringLiteral("V9.0.0 build 250101");
        else
            single.subMatrixList = {decoder(Main, 3, 4, 1)};
        emit dialog->sig_matrixInfoChanged(map);
        QTRY_VERIFY(!form->isUpdatePending());
        MatrixSdkWorker::flushStore();
        const MatrixInfo kept = MatrixSdkWorker::getDecoderFromJson().value(Single);
        QCOMPARE(kept.connectStatus, single.connectStatus);
        QCOMPARE(kept.version, single.version);
        QCOMPARE(kept.subMatrixList.size(), single.subMatrixList.size());
    }

    void deletedDecoderTakesItsWall()
    {
        QVERIFY(showForm({}, {wall("Lobby", Main, 1, 2, {Main + "-1", Single}),
                              wall("Wide", Eight, 1, 1, {Eight + "-1"})}));
        report({decoder(Main, 3, 4, 1), decoder(Single, 1, 1, 1), decoder(Eight, 3, 8, 1)});
        emit managementDialog()->sig_deleteTvwallItem(Single);
        QTRY_VERIFY(!form->isUpdatePending());
        QCOMPARE(storedWallNames(), QStringList{"Wide"});
        QVERIFY(!wallRow("Lobby"));

        emit managementDialog()->sig_tvWallManagementChanged(wall("Taken", Eight, 1, 1, {Eight + "-2"}));
        QTRY_VERIFY(!form->isUpdatePending());
        QCOMPARE(storedWallNames(), QStringList{"Taken"});
    }

    void prepareClose_data()
    {
        QTest::addColumn<int>("bound");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("closes");
        QTest::newRow("nothing bound") << 0 << "okBtn" << true;
        QTest::newRow("all bound") << 4 << "okBtn" << true;
        QTest::newRow("some bound, confirm stays") << 2 << "okBtn" << false;
        QTest::newRow("some bound, cancel closes") << 2 << "cancelBtn" << true;
    }

    void prepareClose()
    {
        QFETCH(int, bound);
        QFETCH(QString, answer);
        QFETCH(bool, closes);
        QVERIFY(showForm({}, {}));
        clickButton("split4Btn");
        for (int i = 0; i < bound; ++i)
            form->bindScreen(i, QStringLiteral("%1-%2").arg(Eight).arg(i + 1));
        QSignalSpy closed(&PSingleton<pral_base::ModuleAccess>::_instance(),
                          &pral_base::ModuleAccess::signalMatrixConfigFormClosed);
        const QString text = boxText(
            [this] { QVERIFY(QMetaObject::invokeMethod(form.get(), "slotPrepareCloseMatrixConfigForm")); },
            answer);
        QCOMPARE(closed.count(), closes ? 1 : 0);
        QCOMPARE(text, bound % 4
                           ? QStringLiteral("The current TV wall configuration is not saved, whether to save "
                                            "the TV wall configuration?")
                           : QStringLiteral("<no box>"));
    }

    void dropBindsAndMoves()
    {
        QVERIFY(showForm({}, {}));
        clickButton("split4Btn");
        auto drop = [this](int screenId, const QByteArray& data) {
            ScreenWt* screen = view()->screen(screenId);
            QMimeData mime;
            mime.setData("matrixtreeitem", data);
            QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(screen, &enter);
            QDropEvent dropEvent(QPointF(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
            if (enter.isAccepted())
                QApplication::sendEvent(screen, &dropEvent);
        };
        drop(0, "3~192.0.2.12-2");
        QCOMPARE(label(0), QStringLiteral("1-1: 192.0.2.12-2"));
        drop(3, "3~192.0.2.12-2");
        QCOMPARE(label(0), Unbound);
        QCOMPARE(label(3), QStringLiteral("2-2: 192.0.2.12-2"));
    }

    void doubleClickBinding()
    {
        QVERIFY(showForm({}, {}));
        MatrixInfo rs = decoder(Main, 3, 4, 1);
        rs.deviceId = QStringLiteral("RS-1");
        MatrixInfo rt = decoder(Single, 1, 1, 1);
        rt.deviceId = QStringLiteral("RT-1");
        rt.outputList.append(pral_matrix::OutputInfo{17, 4, 0});
        report({rs, rt});
        clickButton("split4Btn");
        auto doubleClick = [this](pral_base::TreeItem* item) {
            QVERIFY(QMetaObject::invokeMethod(form.get(), "slotTreeItemDoubleClicked",
                                              Q_ARG(QTreeWidgetItem*, item), Q_ARG(int, 0)));
        };
        pral_base::TreeItem rsItem(7);
        rsItem.setId("RS-1");
        pral_base::TreeItem rtItem(9);
        rtItem.setId("17");

        // No screen selected: nothing binds.
        doubleClick(&rsItem);
        QVERIFY(view()->allScreensUnbound());

        view()->slotScreenWtClicked(0);
        doubleClick(&rsItem);
        QCOMPARE(label(0), QStringLiteral("1-1 :"));
        QCOMPARE(view()->bindingFamily(), 1);
        QVERIFY(tree()->isLocked());
        QCOMPARE(title()->text(), "RS Decoder : " + Main);

        view()->slotScreenWtClicked(1);
        doubleClick(&rsItem);
        QCOMPARE(alerts(), QStringList{"this output has been used"});
        // Another family is refused while the first one is on the screens.
        doubleClick(&rtItem);
        QCOMPARE(label(1), Unbound);

        view()->unbindAll();
        QCOMPARE(view()->bindingFamily(), -1);
        QVERIFY(!tree()->isLocked());
        doubleClick(&rtItem);
        QCOMPARE(label(1), "1-2: " + Single);
        QCOMPARE(title()->text(), "RT Decoder : " + Single + ": output4");
        QCOMPARE(view()->bindingFamily(), 0);
    }

    void screenCheckNeedsKnownDecoder()
    {
        QVERIFY(showForm({}, {}));
        report({decoder(Main, 3, 4, 1)});
        ServiceSpy results(&MatrixSdkWorker::signalCheckScreenResult);
        const QString unknown = QStringLiteral("192.0.2.77");
        QMetaObject::invokeMethod(form.get(), "slotOpenScreenCheck", Q_ARG(QString, unknown), Q_ARG(int, 1));
        QVERIFY(runOnServiceThread([] {}));
        QCOMPARE(results.count(), 0);
        QMetaObject::invokeMethod(form.get(), "slotOpenScreenCheck", Q_ARG(QString, Main), Q_ARG(int, 2));
        QTRY_COMPARE(results.count(), 1);
        // Stopping a check always reaches the service, known decoder or not.
        QMetaObject::invokeMethod(form.get(), "slotCloseScreenCheck", Q_ARG(QString, unknown), Q_ARG(int, 1));
        QTRY_COMPARE(results.count(), 2);
    }

    void crossSelection()
    {
        QVERIFY(showForm({}, {wall("Lobby", Main, 1, 2, {Main + "-1", Main + "-2"})}));
        report({decoder(Main, 3, 4, 1)});
        QTreeWidgetItem* second = treeWidget()->topLevelItem(0)->child(1);
        auto* row = qobject_cast<MatrixTreeItem*>(treeWidget()->itemWidget(second, 0));
        QVERIFY(row);
        QTest::mousePress(row, Qt::LeftButton, Qt::NoModifier, QPoint(30, 15));
        QTest::mouseRelease(row, Qt::LeftButton, Qt::NoModifier, QPoint(30, 15));
        QCOMPARE(view()->selectedScreenId(), 1);

        QTest::mouseClick(view()->screen(0), Qt::LeftButton);
        QVERIFY(treeWidget()->topLevelItem(0)->child(0)->isSelected());
        QVERIFY(!second->isSelected());
        QCOMPARE(title()->text(), "1-1: " + Main + "-1");
    }

    void managementDialogRunsUnderAMask_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("accepted") << true;
        QTest::newRow("cancelled") << false;
    }

    void managementDialogRunsUnderAMask()
    {
        QFETCH(bool, accept);
        // The dialog holds the stored decoder, whose login it sees refused; the page was told afterwards
        // that it is connected.
        worker().faults().setLoginFault(Single, FaultInjector::LoginFault::Refuse);
        QVERIFY(showForm({decoder(Single, 1, 1, 2)}, {}));
        DecoderManagementDlg* dialog = managementDialog();
        auto* table = dialog->findChild<QTableWidget*>("decoderTableWidget");
        QTRY_COMPARE(table->item(0, 5)->text(), QStringLiteral("connect failed"));
        report({decoder(Single, 1, 1, 1)});
        QCOMPARE(dialog->getMainWidget(), static_cast<QWidget*>(form.get()));
        bool masked = false;
        ModalAnswerer answer("pral_matrixConfig::DecoderManagementDlg", [&](QWidget* shown) {
            const auto widgets = QApplication::topLevelWidgets();
            for (QWidget* w : widgets)
                masked = masked || (w->inherits("pral_matrixConfig::DlgMaskWt") && w->isVisible());
            auto* dlg = static_cast<DecoderManagementDlg*>(shown);
            accept ? dlg->accept() : dlg->reject();
        });
        clickButton("decoderManagementBtn");
        QVERIFY(answer.answered());
        QVERIFY(masked);
        // Accepted, the dialog's list replaces the page's: no connected decoder is left to offer.
        QCOMPARE(boxText([this] { clickButton("addBtn"); }) != QStringLiteral("<no box>"), accept);
        QCOMPARE(form->calls, accept ? 0 : 1);
    }

    void quitDisconnectsAllDecoders()
    {
        QVERIFY(showForm({}, {wall("Lobby", Main, 1, 1, {Main + "-1"})}));
        report({decoder(Main, 3, 4, 0)});
        form->connectTvWall("Lobby");
        QTRY_VERIFY(!worker().getHandleByIp(Main).isNull());
        QVERIFY(QMetaObject::invokeMethod(form.get(), "slotQuitSystem"));
        QTRY_VERIFY(worker().getHandleByIp(Main).isNull());
    }

    // Connection results on a page of many walls update only what they change; what the operator sees
    // afterwards must equal a full redraw: tree entries, their row widgets in view, and the grid.
    void connectionResultsDrawAsAFullRedraw_data()
    {
        QTest::addColumn<QList<int>>("dropped");
        QTest::addColumn<int>("reconnected");
        // A wall whose main decoder's connection breaks first: the handle goes without a report.
        QTest::addColumn<int>("broken");
        QTest::newRow("refused wall in view reconnects") << QList<int>{} << 6 << -1;
        QTest::newRow("shown wall drops") << QList<int>{0} << -1 << -1;
        QTest::newRow("wall out of view drops") << QList<int>{ManyWalls - 1} << -1 << -1;
        QTest::newRow("burst: shown and others drop") << QList<int>{0, 1, 5, 7, 8} << -1 << -1;
        QTest::newRow("connection in view breaks, another wall drops") << QList<int>{9} << -1 << 6;
        QTest::newRow("shown wall's connection breaks, another drops") << QList<int>{3} << -1 << 0;
    }

    void connectionResultsDrawAsAFullRedraw()
    {
        QFETCH(QList<int>, dropped);
        QFETCH(int, reconnected);
        QFETCH(int, broken);
        QJsonArray fleet;
        QList<MatrixInfo> decoders;
        QList<TvWallManagement> walls;
        for (int i = 0; i < ManyWalls; ++i) {
            const QString ip = QStringLiteral("192.0.2.%1").arg(100 + i);
            fleet.append(
                QJsonObject{{"ip", ip},
                            {"deviceId", QStringLiteral("TVD-04-2023%1AA").arg(i, 4, 10, QChar('0'))},
                            {"type", 3},
                            {"channels", 4},
                            {"password", "Tvwall@2024"}});
            decoders << decoder(ip, 3, 4, 0);
            walls << wall(QStringLiteral("Wall %1").arg(i + 1, 2, 10, QChar('0')), ip, 2, 2,
                          {ip + "-1", ip + "-2", ip + "-3", ip + "-4"});
        }
        QString error;
        QVERIFY2(worker().loadFleet(
                     QJsonDocument(QJsonObject{{"latencyMs", 0}, {"decoders", fleet}}).toJson(), &error),
                 qPrintable(error));
        const QString refusedIp = reconnected >= 0 ? walls.at(reconnected).mainIp : QString();
        if (reconnected >= 0)
            worker().faults().setLoginFault(refusedIp, FaultInjector::LoginFault::Refuse);
        QVERIFY(showForm(decoders, walls));
        QTRY_VERIFY(!form->isUpdatePending() && tree()->isTvWallConnected(walls.last().tvWallName) &&
                    tree()->isTvWallConnected(walls.first().tvWallName));
        // The middle of the list: the first walls' rows are out of view.
        treeWidget()->verticalScrollBar()->setValue(treeWidget()->verticalScrollBar()->maximum() / 2);
        QTRY_VERIFY(wallRow(walls.at(6).tvWallName) && !wallRow(walls.first().tvWallName));

        if (reconnected >= 0) {
            worker().faults().clear();
            ConnectMatrixItem* row = wallRow(walls.at(reconnected).tvWallName);
            QVERIFY2(row, "the refused wall is not in view");
            QVERIFY(!row->isConnected());
            QTest::mouseClick(row->findChild<QPushButton*>("connectBt"), Qt::LeftButton);
        }
        if (broken >= 0) {
            const QString ip = walls.at(broken).mainIp;
            worker().dropConnection(ip);
            // The dialog lets the handle go and shows its tip; nothing is reported to the page.
            QTRY_VERIFY(worker().getHandleByIp(ip).isNull());
        }
        for (int i : dropped)
            worker().disconnectMatrix(worker().getHandleByIp(walls.at(i).mainIp));
        QTRY_VERIFY(!form->isUpdatePending() &&
                    (reconnected < 0 || tree()->isTvWallConnected(walls.at(reconnected).tvWallName)) &&
                    std::none_of(dropped.begin(), dropped.end(),
                                 [&](int i) { return tree()->isTvWallConnected(walls.at(i).tvWallName); }));
        QTRY_VERIFY(PCOMMON::DisabledWaitingWtManager::count() == 0);
        const QStringList drawn = pageState();

        // A list-changing report that changes nothing redraws everything.
        emit managementDialog()->sig_ipChanged(QStringLiteral("192.0.2.250"), QStringLiteral("192.0.2.251"));
        QTRY_VERIFY(!form->isUpdatePending());
        QApplication::processEvents();
        QCOMPARE(drawn, pageState());
    }

    // The operator logs a row in again from the management dialog, first mistyping the password. Each
    // result's credentials are the operator's change: on disk before the next input is handled. What the
    // page shows afterwards equals a full redraw, though the credentials alone do not make it refill.
    void typedCredentialsAreStoredAtOnceAndDrawAsAFullRedraw_data()
    {
        QTest::addColumn<int>("wallIndex");
        QTest::newRow("shown wall's main decoder") << 0;
        QTest::newRow("main decoder of a wall in view") << 6;
        QTest::newRow("main decoder of a wall out of view") << ManyWalls - 1;
    }

    void typedCredentialsAreStoredAtOnceAndDrawAsAFullRedraw()
    {
        QFETCH(int, wallIndex);
        const QList<TvWallManagement> walls = manyWalls();
        QVERIFY(showForm(manyDecoders(), walls));
        QTRY_VERIFY(!form->isUpdatePending() && tree()->isTvWallConnected(walls.last().tvWallName) &&
                    tree()->isTvWallConnected(walls.first().tvWallName));
        treeWidget()->verticalScrollBar()->setValue(treeWidget()->verticalScrollBar()->maximum() / 2);
        QTRY_VERIFY(wallRow(walls.at(6).tvWallName) && !wallRow(walls.first().tvWallName));

        const QString ip = walls.at(wallIndex).mainIp;
        DecoderManagementDlg* dialog = managementDialog();
        const QString decodersFile = dir->filePath(QStringLiteral("data/decoders.json"));
        // Connected after the page: runs once the page has handled each report.
        QString typedUser;
        QStringList onDiskWhenReported;
        const auto watch = connect(dialog, &DecoderManagementDlg::sig_matrixInfoChanged, this, [&] {
            QFile json(decodersFile);
            if (json.open(QIODevice::ReadOnly))
                onDiskWhenReported << (json.readAll().contains('"' + typedUser.toUtf8() + '"')
                                           ? "stored"
                                           : "not stored");
        });
        const auto login = [&](const QString& user, const QString& password, const QString& status) {
            typedUser = user;
            onDiskWhenReported.clear();
            ModalAnswerer answer(mgmt::LoginClass, mgmt::loginWith(user, password));
            mgmt::clickRowButton(dialog, ip, "changePwdBtn");
            QVERIFY(answer.answered());
            QTRY_COMPARE(mgmt::cell(dialog, mgmt::rowOf(dialog, ip), mgmt::StatusColumn), status);
            QTRY_VERIFY(!form->isUpdatePending() && PCOMMON::DisabledWaitingWtManager::count() == 0);
            QVERIFY(!onDiskWhenReported.isEmpty());
            QCOMPARE(onDiskWhenReported.first(), QStringLiteral("stored"));
        };

        login(QStringLiteral("operator2"), QStringLiteral("Mistyped@2024"), mgmt::Down);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!tree()->isTvWallConnected(walls.at(wallIndex).tvWallName));
        QStringList drawn = pageState();
        emit dialog->sig_ipChanged(QStringLiteral("192.0.2.250"), QStringLiteral("192.0.2.251"));
        QTRY_VERIFY(!form->isUpdatePending());
        QApplication::processEvents();
        QCOMPARE(drawn, pageState());

        login(QStringLiteral("admin"), QStringLiteral("Tvwall@2024"), mgmt::Up);
        if (QTest::currentTestFailed())
            return;
        // The success asks the main decoder for its wall, which comes back as it is stored.
        QTRY_VERIFY(!form->isUpdatePending() && tree()->isTvWallConnected(walls.at(wallIndex).tvWallName));
        drawn = pageState();
        emit dialog->sig_ipChanged(QStringLiteral("192.0.2.250"), QStringLiteral("192.0.2.251"));
        QTRY_VERIFY(!form->isUpdatePending());
        QApplication::processEvents();
        QCOMPARE(drawn, pageState());
        disconnect(watch);

        // The page keeps the dialog's list, record for record: what it stores is what the dialog holds.
        MatrixSdkWorker::flushStore();
        const MatrixInfoMap stored = MatrixSdkWorker::getDecoderFromJson();
        const MatrixInfoMap shown = dialog->getMatrixInfoMap();
        QCOMPARE(stored.keys(), shown.keys());
        for (const MatrixInfo& d : shown) {
            QCOMPARE(stored.value(d.ip).connectStatus, d.connectStatus);
            QCOMPARE(stored.value(d.ip).userName, d.userName);
            QCOMPARE(stored.value(d.ip).password, d.password);
        }
    }

    // A report changes records the page must take over even when the dialog changed them without a report
    // of their own (a batch login sets the credentials, then reports each result): none may be missed.
    void batchLoginReachesThePageRecordForRecord()
    {
        QVERIFY(showForm(manyDecoders(), manyWalls()));
        DecoderManagementDlg* dialog = managementDialog();
        QTRY_VERIFY(!form->isUpdatePending() && tree()->isTvWallConnected(manyWalls().last().tvWallName));
        const QStringList chosen{QStringLiteral("192.0.2.101"), QStringLiteral("192.0.2.104"),
                                 QStringLiteral("192.0.2.110")};
        for (const QString& ip : chosen)
            mgmt::clickRowBox(dialog, ip);
        ModalAnswerer answer(mgmt::LoginClass, mgmt::loginWith("operator3", "Mistyped@2024"));
        mgmt::click(dialog, "patchChangePwdBtn");
        QVERIFY(answer.answered());
        for (const QString& ip : chosen)
            QTRY_COMPARE(mgmt::cell(dialog, mgmt::rowOf(dialog, ip), mgmt::StatusColumn), mgmt::Down);
        QTRY_VERIFY(!form->isUpdatePending());
        MatrixSdkWorker::flushStore();
        const MatrixInfoMap stored = MatrixSdkWorker::getDecoderFromJson();
        for (const MatrixInfo& d : dialog->getMatrixInfoMap()) {
            QCOMPARE(stored.value(d.ip).userName, chosen.contains(d.ip) ? "operator3" : "admin");
            QCOMPARE(stored.value(d.ip).connectStatus, chosen.contains(d.ip) ? 2 : 1);
        }
    }

    // A declined reconnect after a password change leaves the decoder failed: the page shows its wall not
    // connected and stores the state, along with the results of other decoders that follow.
    void declinedReconnectReachesThePage()
    {
        const QList<TvWallManagement> walls = manyWalls();
        QVERIFY(showForm(manyDecoders(), walls));
        DecoderManagementDlg* dialog = managementDialog();
        QTRY_VERIFY(!form->isUpdatePending() && tree()->isTvWallConnected(walls.last().tvWallName) &&
                    tree()->isTvWallConnected(walls.at(2).tvWallName));
        const QString changed = walls.at(2).mainIp;
        ModalAnswerer decline(mgmt::BoxClass, mgmt::confirm(nullptr, false));
        QVERIFY(runOnServiceThread(
            [&] { emit worker().signalUserPasswordModifyResult(0, changed, QStringLiteral("New@2024")); }));
        QVERIFY(decline.answered());
        QCOMPARE(mgmt::cell(dialog, mgmt::rowOf(dialog, changed), mgmt::StatusColumn), mgmt::Down);
        QTRY_VERIFY(worker().getHandleByIp(changed).isNull());

        worker().disconnectMatrix(worker().getHandleByIp(walls.at(5).mainIp));
        QTRY_VERIFY(!form->isUpdatePending() && !tree()->isTvWallConnected(walls.at(5).tvWallName));
        QVERIFY(!tree()->isTvWallConnected(walls.at(2).tvWallName));
        MatrixSdkWorker::flushStore();
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().value(changed).connectStatus, 2);
    }

private:
    QList<MatrixInfo> manyDecoders()
    {
        QJsonArray fleet;
        QList<MatrixInfo> decoders;
        for (int i = 0; i < ManyWalls; ++i) {
            const QString ip = QStringLiteral("192.0.2.%1").arg(100 + i);
            fleet.append(
                QJsonObject{{"ip", ip},
                            {"deviceId", QStringLiteral("TVD-04-2023%1AA").arg(i, 4, 10, QChar('0'))},
                            {"type", 3},
                            {"channels", 4},
                            {"password", "Tvwall@2024"}});
            decoders << decoder(ip, 3, 4, 0);
        }
        QString error;
        if (!worker().loadFleet(QJsonDocument(QJsonObject{{"latencyMs", 0}, {"decoders", fleet}}).toJson(),
                                &error))
            qWarning("fleet: %s", qPrintable(error));
        return decoders;
    }

    static QList<TvWallManagement> manyWalls()
    {
        QList<TvWallManagement> walls;
        for (int i = 0; i < ManyWalls; ++i) {
            const QString ip = QStringLiteral("192.0.2.%1").arg(100 + i);
            walls << wall(QStringLiteral("Wall %1").arg(i + 1, 2, 10, QChar('0')), ip, 2, 2,
                          {ip + "-1", ip + "-2", ip + "-3", ip + "-4"});
        }
        return walls;
    }

    WizardForm* showForm(const QList<MatrixInfo>& decoders, const QList<TvWallManagement>& walls)
    {
        MatrixSdkWorker::addDecoderToJson(decoders);
        MatrixSdkWorker::addMatrixToJson(walls);
        MatrixSdkWorker::flushStore();
        form = std::make_unique<WizardForm>();
        form->resize(817, 568);
        form->show();
        if (!QTest::qWaitFor([] { return managementDialog() != nullptr; }))
            return nullptr;
        return form.get();
    }

    void report(const QList<MatrixInfo>& decoders)
    {
        MatrixInfoMap map;
        for (const MatrixInfo& d : decoders)
            map.insert(d.ip, d);
        emit managementDialog()->sig_matrixInfoChanged(map);
        // Reports are drawn on a later turn of the event loop.
        QTRY_VERIFY(!form->isUpdatePending());
    }

    // What the operator sees of the tree and the grid, line by line.
    QStringList pageState() const
    {
        QStringList lines{"shown " + tree()->shownTvWallName(), "title " + title()->text()};
        for (const QString& name : tree()->listedTvWallNames())
            lines << name + (tree()->isTvWallConnected(name) ? " connected" : " not connected");
        QTreeWidget* list = treeWidget();
        for (QTreeWidgetItemIterator it(list); *it; ++it) {
            auto* row = qobject_cast<MatrixTreeItem*>(list->itemWidget(*it, 0));
            if (!row || !row->isVisible())
                continue;
            auto* wallRow = qobject_cast<ConnectMatrixItem*>(row);
            auto* outputRow = qobject_cast<CheckScreenTreeItem*>(row);
            lines << QStringLiteral("row %1 at %2: %3 connected %4 check %5/%6 mapped %7")
                         .arg(row->text())
                         .arg(list->visualItemRect(*it).top())
                         .arg(row->geometry().top())
                         .arg(wallRow && wallRow->isConnected())
                         .arg(row->isOperEnabled())
                         .arg(outputRow && outputRow->isChecking())
                         .arg(row->isMapped());
        }
        const Grid g = grid();
        lines << QStringLiteral("grid %1 x %2 selected %3")
                     .arg(g.first)
                     .arg(g.second)
                     .arg(view()->selectedScreenId());
        for (int i = 0; i < g.first * g.second; ++i)
            lines << label(i);
        return lines;
    }

    ConnectMatrixItem* wallRow(const QString& name) const
    {
        QTreeWidget* view = treeWidget();
        for (int i = 0; i < view->topLevelItemCount(); ++i) {
            auto* row = qobject_cast<ConnectMatrixItem*>(view->itemWidget(view->topLevelItem(i), 0));
            if (row && row->text() == name)
                return row;
        }
        return nullptr;
    }

    QStringList alerts() const
    {
        QStringList texts;
        for (const QList<QVariant>& args : *alertSpy)
            texts << args.at(1).toString();
        return texts;
    }

    QMap<QString, TvWallManagement> storedWalls() const
    {
        MatrixSdkWorker::flushStore();
        return MatrixSdkWorker::getMatrixFromJson();
    }

    QTreeWidget* treeWidget() const { return form->findChild<QTreeWidget*>(QStringLiteral("rsTreeWidget")); }
    ScreenLayoutWt* view() const { return form->findChild<ScreenLayoutWt*>(QStringLiteral("wallwt")); }
    DecoderDeviceTree* tree() const { return form->findChild<DecoderDeviceTree*>(QStringLiteral("treewt")); }
    QLabel* title() const { return form->findChild<QLabel*>("winTitleLabel"); }
    QString label(int screen) const { return view()->screen(screen)->labelText(); }
    Grid grid() const
    {
        Grid g;
        view()->getLayout(g.first, g.second);
        return g;
    }
    void clickButton(const char* name)
    {
        QTest::mouseClick(form->findChild<QPushButton*>(name), Qt::LeftButton);
    }
    QStringList storedWallNames() const { return storedWalls().keys(); }
    QStringList namesOnDisk(const char* file, const char* list, const char* key) const
    {
        QFile json(dir->filePath(QStringLiteral("data/") + file));
        if (!json.open(QIODevice::ReadOnly))
            return {"<unreadable>"};
        QStringList names;
        const QJsonArray entries = QJsonDocument::fromJson(json.readAll()).object().value(list).toArray();
        for (const QJsonValue& v : entries)
            names << v[key].toString();
        return names;
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<WizardForm> form;
    std::unique_ptr<QSignalSpy> alertSpy;
};

QTEST_MAIN(TestMatrixConfigForm)
#include "tst_matrixconfigform.moc"
