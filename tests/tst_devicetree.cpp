#include "checkscreentreeitem.h"
#include "connectmatrixitem.h"
#include "decoderdevicetree.h"
#include "disabledwt.h"
#include "matrixsdkworker.h"
#include "servicespy.h"
#include "treeitem.h"

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <memory>

using namespace pral_matrixConfig;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;

namespace {

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

TvWallManagement wall(const QString& name, const QString& mainIp, bool connected, const QStringList& outputs)
{
    TvWallManagement w;
    w.tvWallName = name;
    w.mainIp = mainIp;
    w.row = 1;
    w.col = outputs.size();
    w.connected = connected;
    for (const QString& id : outputs) {
        MatrixInfo screen;
        const QStringList parts = id.split('-');
        screen.ip = parts.at(0);
        screen.matrixType = static_cast<pral_matrix::MatrixType>(parts.size() > 1 ? 3 : 1);
        screen.channel = parts.size() > 1 ? parts.at(1).toInt() : 1;
        w.matrixInfoList.append(screen);
    }
    return w;
}

QMap<QString, TvWallManagement> walls(const QList<TvWallManagement>& list)
{
    QMap<QString, TvWallManagement> map;
    for (const TvWallManagement& w : list)
        map.insert(w.tvWallName, w);
    return map;
}

void enter(QWidget* w)
{
    QEvent e(QEvent::Enter);
    QApplication::sendEvent(w, &e);
}

} // namespace

class TestDeviceTree : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        MatrixSdkWorker::setDataDirectory(dir.filePath("data"));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath("store.key"));
        QString error;
        QVERIFY2(worker().loadFleet(MatrixSdkWorker::defaultFleetJson(), &error), qPrintable(error));
        worker().setResultDelay(0);
    }

    void init()
    {
        tree = std::make_unique<DecoderDeviceTree>();
        tree->resize(258, 600);
        tree->show();
    }

    void cleanup()
    {
        tree.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void refillReusesRowsThatStartFresh()
    {
        tree->showOutputs("Wizard", {"10.0.0.1-1"});
        row(0, 0)->setMapped(true);
        clickCheck(row(0, 0));
        QVERIFY(row(0, 0)->isChecking());
        tree->clearTree();
        QCOMPARE(view()->topLevelItemCount(), 0);

        const auto map =
            walls({wall("A", "10.0.0.9", true, {"10.0.0.9", "10.0.0.2"}), wall("B", "10.0.0.3", true, {})});
        tree->showTvWalls(map);
        tree->showTvWalls(map);
        QCOMPARE(tree->listedTvWallNames(), (QStringList{"A", "B"}));
        // The rows the clear let go are taken instead of new ones.
        QCOMPARE(view()->findChildren<MatrixTreeItem*>().size(), 4);
        QVERIFY(!wallRow(0)->findChild<QPushButton*>("connectBt")->isHidden());
        QCOMPARE(wallRow(0)->itemId(), QStringLiteral("A"));
        CheckScreenTreeItem* output = row(0, 0);
        QCOMPARE(output->text(), QStringLiteral("10.0.0.9"));
        QVERIFY(!output->isChecking());
        QVERIFY(!output->isMapped());
        QVERIFY(!output->isDraggable());
        QVERIFY(!output->isOperButtonShown());
        QVERIFY(!output->findChild<QTimer*>());
    }

    void listingCarriesIdsAndKinds_data()
    {
        QTest::addColumn<bool>("wizard");
        QTest::newRow("walls") << false;
        QTest::newRow("wizard") << true;
    }

    void listingCarriesIdsAndKinds()
    {
        QFETCH(bool, wizard);
        const QStringList outputs{"10.0.0.1-2", "10.0.0.2"};
        if (wizard)
            tree->showOutputs("New wall", outputs);
        else
            tree->showTvWalls(walls({wall("A", "10.0.0.1", true, outputs)}));
        QTreeWidgetItem* top = view()->topLevelItem(0);
        QCOMPARE(wallRow(0)->text(), wizard ? QStringLiteral("New wall") : QStringLiteral("A"));
        QVERIFY(top->isExpanded());
        QCOMPARE(top->childCount(), 2);
        for (int i = 0; i < 2; ++i) {
            auto* item = dynamic_cast<pral_base::TreeItem*>(top->child(i));
            QVERIFY(item);
            QCOMPARE(item->getId(), outputs.at(i));
            QCOMPARE(row(0, i)->text(), outputs.at(i));
            QCOMPARE(row(0, i)->itemType(), i == 0 ? 3 : 1);
            // Only the wizard's outputs are dragged onto screens.
            QCOMPARE(row(0, i)->isDraggable(), wizard);
        }
    }

    void checkButtonNeedsAConnection()
    {
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        MatrixInfo single;
        single.ip = "192.0.2.11";
        single.userName = "admin";
        single.password = "Tvwall@2024";
        worker().connectMatrix(single, nullptr);
        QTRY_COMPARE(results.count(), 1);
        QCOMPARE(results.at(0).at(1).toInt(), 0);

        tree->showTvWalls(walls({wall("A", "192.0.2.11", true, {"192.0.2.11", "192.0.2.12-1"})}));
        auto* connectedRow = row(0, 0);
        auto* unconnectedRow = row(0, 1);
        QVERIFY(connectedRow->isOperEnabled());
        QVERIFY(!unconnectedRow->isOperEnabled());
        enter(unconnectedRow);
        QVERIFY(!unconnectedRow->isOperButtonShown());
        worker().disconnectAllMatrix();
    }

    void pressReportsTheLeftButtonOnly()
    {
        tree->showTvWalls(walls({wall("A", "10.0.0.1", true, {"10.0.0.1-2", "10.0.0.2"})}));
        QSignalSpy pressed(tree.get(), &DecoderDeviceTree::signalRSPressItem);
        for (Qt::MouseButton button : {Qt::RightButton, Qt::LeftButton}) {
            QTest::mousePress(row(0, 1), button, Qt::NoModifier, QPoint(40, 15));
            QTest::mouseRelease(row(0, 1), button, Qt::NoModifier, QPoint(40, 15));
        }
        QCOMPARE(pressed.count(), 1);
        QCOMPARE(pressed.at(0).at(0).toString(), QStringLiteral("10.0.0.2"));
    }

    void selectOutput()
    {
        tree->showTvWalls(walls({wall("A", "10.0.0.1", true, {"10.0.0.1-2", "10.0.0.2"}),
                                 wall("B", "10.0.0.2", true, {"10.0.0.2"})}));
        tree->selectOutput("10.0.0.2");
        QVERIFY(!view()->topLevelItem(0)->child(0)->isSelected());
        QVERIFY(view()->topLevelItem(0)->child(1)->isSelected());
        QVERIFY(view()->topLevelItem(1)->child(0)->isSelected());
        tree->selectOutput(QString());
        QVERIFY(view()->topLevelItem(1)->child(0)->isSelected());
        tree->selectOutput("10.0.0.1-2");
        QVERIFY(view()->topLevelItem(0)->child(0)->isSelected());
        QVERIFY(!view()->topLevelItem(1)->child(0)->isSelected());
    }

    void lockCoversTheTree()
    {
        tree->showTvWalls(walls({wall("A", "10.0.0.1", true, {"10.0.0.1-3"})}));
        tree->lock();
        tree->lock();
        QVERIFY(!view()->isEnabled());
        QCOMPARE(view()->findChildren<DisabledWt*>().size(), 1);
        QTRY_VERIFY(view()->findChild<DisabledWt*>()->isVisible());
        tree->unlock();
        QVERIFY(view()->isEnabled());
        QCOMPARE(view()->findChildren<DisabledWt*>().size(), 0);
    }

    void showLayoutChoosesAWall_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("othersConnected");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty name: first connected") << "" << true << "B";
        QTest::newRow("named and connected") << "C" << true << "C";
        QTest::newRow("named but not connected") << "A" << true << "A";
        QTest::newRow("unknown name") << "Z" << true << "A";
        QTest::newRow("none connected") << "" << false << "A";
    }

    void showLayoutChoosesAWall()
    {
        QFETCH(QString, name);
        QFETCH(bool, othersConnected);
        QFETCH(QString, shown);
        tree->showTvWalls(walls({wall("A", "10.0.0.1", false, {}), wall("B", "10.0.0.2", othersConnected, {}),
                                 wall("C", "10.0.0.3", othersConnected, {})}));
        QSignalSpy spy(tree.get(), &DecoderDeviceTree::signalShowMatrixLayout);
        tree->slotShowMatrixLayout(name);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(1).toString(), shown);
        QCOMPARE(tree->shownTvWallName(), shown);
    }

    void refillShowsTheSameWall()
    {
        const auto map = walls({wall("A", "10.0.0.1", true, {}), wall("B", "10.0.0.2", true, {})});
        tree->setShownTvWallName("B");
        QSignalSpy spy(tree.get(), &DecoderDeviceTree::signalShowMatrixLayout);
        tree->showTvWalls(map);
        tree->clearTree();
        tree->showTvWalls(map);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(1).toString(), QStringLiteral("B"));
    }

    void clickingAWallShowsItWhenConnected()
    {
        tree->showTvWalls(walls({wall("A", "10.0.0.1", false, {}), wall("B", "10.0.0.2", true, {})}));
        QSignalSpy spy(tree.get(), &DecoderDeviceTree::signalShowMatrixLayout);
        QTest::mouseClick(wallRow(0), Qt::LeftButton, Qt::NoModifier, QPoint(40, 15));
        QCOMPARE(spy.count(), 0);
        QTest::mouseClick(wallRow(1), Qt::LeftButton, Qt::NoModifier, QPoint(40, 15));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("B"));
    }

    void takeCurrentWall()
    {
        tree->showTvWalls(
            walls({wall("A", "10.0.0.1", true, {"10.0.0.1-1"}), wall("B", "10.0.0.2", false, {})}));
        tree->setShownTvWallName("A");
        view()->setCurrentItem(view()->topLevelItem(0)->child(0));
        QVERIFY(tree->currentTvWallName().isEmpty());
        QVERIFY(tree->takeCurrentTvWall().isEmpty());
        QCOMPARE(view()->topLevelItemCount(), 2);

        view()->setCurrentItem(view()->topLevelItem(0));
        QCOMPARE(tree->currentTvWallName(), QStringLiteral("A"));
        QCOMPARE(tree->takeCurrentTvWall(), QStringLiteral("A"));
        QCOMPARE(view()->topLevelItemCount(), 1);
        // A connected wall was the one on the screens.
        QVERIFY(tree->shownTvWallName().isEmpty());
        QCOMPARE(view()->findChildren<MatrixTreeItem*>().size(), 1);
    }

    void screenCheckRunsForAMinute()
    {
        tree->showTvWalls(walls({wall("A", "10.0.0.1", true, {"10.0.0.1-3", "10.0.0.2"})}));
        QSignalSpy open(tree.get(), &DecoderDeviceTree::signalOpenScreenCheck);
        QSignalSpy close(tree.get(), &DecoderDeviceTree::signalCloseScreenCheck);
        CheckScreenTreeItem* first = row(0, 0);
        CheckScreenTreeItem* second = row(0, 1);
        clickCheck(first);
        QCOMPARE(open.count(), 1);
        QCOMPARE(open.at(0), (QList<QVariant>{"10.0.0.1", 3}));
        QVERIFY(first->isChecking());
        QTimer* firstTimer = first->findChild<QTimer*>();
        QVERIFY(firstTimer && firstTimer->isActive());
        QCOMPARE(firstTimer->interval(), 60000);

        clickCheck(second);
        QCOMPARE(open.at(1), (QList<QVariant>{"10.0.0.2", 1}));
        QTimer* secondTimer = second->findChild<QTimer*>();

        // Time-outs end the checks in the order they started.
        QVERIFY(QMetaObject::invokeMethod(firstTimer, "timeout"));
        QCOMPARE(close.count(), 1);
        QCOMPARE(close.at(0), (QList<QVariant>{"10.0.0.1", 3}));
        QVERIFY(!first->isChecking());
        QVERIFY(second->isChecking());
        QVERIFY(QMetaObject::invokeMethod(secondTimer, "timeout"));
        QCOMPARE(close.count(), 2);
        QCOMPARE(close.at(1), (QList<QVariant>{"10.0.0.2", 1}));
        QTRY_VERIFY(!first->findChild<QTimer*>() && !second->findChild<QTimer*>());
    }

    void stoppedCheckLosesItsTimer()
    {
        tree->showTvWalls(walls({wall("A", "10.0.0.1", true, {"10.0.0.1-3", "10.0.0.2"})}));
        QSignalSpy close(tree.get(), &DecoderDeviceTree::signalCloseScreenCheck);
        CheckScreenTreeItem* first = row(0, 0);
        CheckScreenTreeItem* second = row(0, 1);
        clickCheck(first);
        clickCheck(second);
        clickCheck(first);
        QCOMPARE(close.count(), 1);
        QVERIFY(!first->isChecking());
        QTRY_VERIFY(!first->findChild<QTimer*>());
        // The stopped check's slot is gone: the next time-out belongs to the running one.
        QVERIFY(QMetaObject::invokeMethod(second->findChild<QTimer*>(), "timeout"));
        QCOMPARE(close.count(), 2);
        QCOMPARE(close.at(1).at(0).toString(), QStringLiteral("10.0.0.2"));
    }

    void checkDiesWithItsRow()
    {
        const auto map = walls({wall("A", "10.0.0.1", true, {"10.0.0.1-3"})});
        tree->showTvWalls(map);
        clickCheck(row(0, 0));
        tree->clearTree();
        tree->showTvWalls(map);
        QSignalSpy close(tree.get(), &DecoderDeviceTree::signalCloseScreenCheck);
        clickCheck(row(0, 0));
        QVERIFY(QMetaObject::invokeMethod(row(0, 0)->findChild<QTimer*>(), "timeout"));
        QCOMPARE(close.count(), 1);
        QVERIFY(!row(0, 0)->isChecking());
    }

    void mappedMarks()
    {
        tree->showTvWalls(walls({wall("A", "10.0.0.1", true, {"10.0.0.1-1", "10.0.0.2"}),
                                 wall("B", "10.0.0.3", true, {"10.0.0.3"})}));
        emit worker().signalScreenMapping("10.0.0.2", true);
        emit worker().signalScreenMapping("10.0.0.3", true);
        QCOMPARE(mappedRows(), (QList<bool>{false, true, true}));
        emit worker().signalScreenMapping("10.0.0.2", false);
        QCOMPARE(mappedRows(), (QList<bool>{false, false, true}));
        emit worker().signalScreenMapping(QString(), false);
        QCOMPARE(mappedRows(), (QList<bool>{false, false, false}));
        // Marks are looked for under the first wall only.
        tree->clearTree();
        tree->showTvWalls(
            walls({wall("A", "10.0.0.1", true, {}), wall("B", "10.0.0.3", true, {"10.0.0.3"})}));
        emit worker().signalScreenMapping("10.0.0.3", true);
        QVERIFY(!row(1, 0)->isMapped());
    }

    // A keystroke of the wizard's rename lists the same outputs under the new name. Whatever the operator
    // did to the listing before, the tree must then show what a new listing would.
    void sameOutputsUnderANewNameShowAsANewListing_data()
    {
        QTest::addColumn<QString>("before");
        QTest::newRow("untouched") << "";
        QTest::newRow("a check runs") << "check";
        QTest::newRow("an output is marked") << "mark";
        QTest::newRow("an entry selected, list scrolled") << "select";
        QTest::newRow("the listing collapsed") << "collapse";
        QTest::newRow("a decoder's connection went") << "disconnect";
        QTest::newRow("a decoder's connection came") << "connect";
    }

    void sameOutputsUnderANewNameShowAsANewListing()
    {
        QFETCH(QString, before);
        // The view makes its first entry current when it gains the focus: that happens before, not between
        // the two listings compared.
        QVERIFY(QTest::qWaitForWindowActive(tree.get()));
        const QString connected = QStringLiteral("192.0.2.10");
        const QString other = QStringLiteral("192.0.2.12");
        QVERIFY(connectTo(connected));
        QStringList outputs;
        for (int n = 1; n <= 4; ++n)
            outputs << QStringLiteral("%1-%2").arg(connected).arg(n);
        for (int n = 1; n <= 8; ++n)
            outputs << QStringLiteral("%1-%2").arg(other).arg(n);
        for (int n = 1; n <= 30; ++n)
            outputs << QStringLiteral("10.0.0.%1").arg(n);
        tree->showOutputs("Old name", outputs);
        QApplication::processEvents();

        QSignalSpy close(tree.get(), &DecoderDeviceTree::signalCloseScreenCheck);
        if (before == "check") {
            clickCheck(row(0, 1));
            QVERIFY(row(0, 1)->isChecking());
        } else if (before == "mark") {
            emit worker().signalScreenMapping(outputs.at(2), true);
            QVERIFY(row(0, 2)->isMapped());
        } else if (before == "select") {
            tree->selectOutput(outputs.at(3));
            view()->setCurrentItem(view()->topLevelItem(0)->child(3));
            view()->verticalScrollBar()->setValue(view()->verticalScrollBar()->maximum());
        } else if (before == "collapse") {
            view()->collapseAll();
        } else if (before == "disconnect") {
            worker().removeHandle(connected);
        } else if (before == "connect") {
            QVERIFY(connectTo(other));
        }
        QApplication::processEvents();

        QVERIFY(tree->relistOutputs("New name", outputs));
        QApplication::processEvents();
        const QStringList relisted = describe(tree.get());
        // Listed anew in the same tree: the same window, the same focus.
        tree->clearTree();
        tree->showOutputs("New name", outputs);
        QApplication::processEvents();
        QCOMPARE(relisted, describe(tree.get()));
        // A new listing drops running checks as a clear does: silently, their timers gone.
        QCOMPARE(close.count(), 0);
        QVERIFY(tree->findChildren<QTimer*>().isEmpty() ||
                std::none_of(tree->findChildren<QTimer*>().cbegin(), tree->findChildren<QTimer*>().cend(),
                             [](QTimer* t) { return t->isActive() && t->interval() == 60000; }));
        worker().disconnectAllMatrix();
        QTRY_VERIFY(worker().getHandleByIp(other).isNull() && worker().getHandleByIp(connected).isNull());
    }

    void otherOutputsAreListedAnew()
    {
        tree->showOutputs("Wall", {"10.0.0.1", "10.0.0.2"});
        QVERIFY(!tree->relistOutputs("Wall", {"10.0.0.1", "10.0.0.3"}));
        QVERIFY(!tree->relistOutputs("Wall", {"10.0.0.1"}));
        tree->clearTree();
        tree->showTvWalls(walls({wall("A", "10.0.0.1", true, {"10.0.0.1", "10.0.0.2"})}));
        // Walls of the page are never taken for a wizard's listing.
        QVERIFY(!tree->relistOutputs("A", {"10.0.0.1", "10.0.0.2"}));
        QCOMPARE(tree->listedTvWallNames(), QStringList{"A"});
    }

    // Check buttons follow the connection handles each time the page asks, whether or not a handle went with
    // a report, and agree with a listing made at that moment.
    void checkButtonsFollowTheHandles()
    {
        const QString first = QStringLiteral("192.0.2.10");
        const QString second = QStringLiteral("192.0.2.12");
        const auto map = walls({wall("A", first, true, {first + "-1", first + "-2", second + "-1"}),
                                wall("B", second, true, {second + "-2", first + "-3"})});
        QVERIFY(QTest::qWaitForWindowActive(tree.get()));
        QVERIFY(connectTo(first));
        tree->showTvWalls(map);
        // The check buttons as the page leaves them, then as a new listing in the same tree shows them.
        const auto agrees = [&] {
            tree->refreshCheckButtons();
            QApplication::processEvents();
            const QStringList refreshed = describe(tree.get());
            tree->clearTree();
            tree->showTvWalls(map);
            QApplication::processEvents();
            const QStringList listed = describe(tree.get());
            if (refreshed != listed)
                qWarning("%s\n---\n%s", qPrintable(refreshed.join('\n')), qPrintable(listed.join('\n')));
            return refreshed == listed;
        };
        QVERIFY(agrees());
        QVERIFY(row(0, 0)->isOperEnabled() && !row(0, 2)->isOperEnabled());
        QVERIFY(connectTo(second));
        QVERIFY(agrees());
        QVERIFY(row(0, 2)->isOperEnabled());
        worker().removeHandle(first);
        QVERIFY(agrees());
        QVERIFY(!row(0, 0)->isOperEnabled() && !row(1, 1)->isOperEnabled());
        // Nothing came or went: asking again changes nothing.
        QVERIFY(agrees());
        worker().disconnectAllMatrix();
        QTRY_VERIFY(worker().getHandleByIp(second).isNull());
        QVERIFY(agrees());
    }

private:
    static bool connectTo(const QString& ip)
    {
        MatrixInfo info;
        info.ip = ip;
        info.userName = QStringLiteral("admin");
        info.password = QStringLiteral("Tvwall@2024");
        worker().connectMatrix(info, nullptr);
        return QTest::qWaitFor([&ip] { return !worker().getHandleByIp(ip).isNull(); });
    }

    // What the operator sees of a tree: every entry, and the rows in view with their states.
    static QStringList describe(DecoderDeviceTree* t)
    {
        auto* list = t->findChild<QTreeWidget*>("rsTreeWidget");
        QStringList lines{
            QStringLiteral("scroll %1 current %2")
                .arg(list->verticalScrollBar()->value())
                .arg(list->currentItem() ? list->indexOfTopLevelItem(list->currentItem()) : -2)};
        for (QTreeWidgetItemIterator it(list); *it; ++it) {
            auto* entry = dynamic_cast<pral_base::TreeItem*>(*it);
            QString line = QStringLiteral("%1 selected %2 expanded %3")
                               .arg(entry ? entry->getId() : QString())
                               .arg((*it)->isSelected())
                               .arg((*it)->isExpanded());
            if (auto* row = qobject_cast<MatrixTreeItem*>(list->itemWidget(*it, 0))) {
                auto* output = qobject_cast<CheckScreenTreeItem*>(row);
                line += QStringLiteral(" row %1 at %2 usable %3 checking %4 mapped %5 draggable %6")
                            .arg(row->text())
                            .arg(row->geometry().top())
                            .arg(row->isOperEnabled())
                            .arg(output && output->isChecking())
                            .arg(row->isMapped())
                            .arg(output && output->isDraggable());
            }
            lines << line;
        }
        return lines;
    }

    QTreeWidget* view() const { return tree->findChild<QTreeWidget*>("rsTreeWidget"); }
    ConnectMatrixItem* wallRow(int wallIndex) const
    {
        return qobject_cast<ConnectMatrixItem*>(view()->itemWidget(view()->topLevelItem(wallIndex), 0));
    }
    CheckScreenTreeItem* row(int wallIndex, int output) const
    {
        return qobject_cast<CheckScreenTreeItem*>(
            view()->itemWidget(view()->topLevelItem(wallIndex)->child(output), 0));
    }
    QList<bool> mappedRows() const
    {
        return {row(0, 0)->isMapped(), row(0, 1)->isMapped(), row(1, 0)->isMapped()};
    }
    static void clickCheck(CheckScreenTreeItem* item)
    {
        enter(item);
        QTest::mouseClick(item->findChild<QPushButton*>("operBt"), Qt::LeftButton);
    }

    QTemporaryDir dir;
    std::unique_ptr<DecoderDeviceTree> tree;
};

QTEST_MAIN(TestDeviceTree)
#include "tst_devicetree.moc"
