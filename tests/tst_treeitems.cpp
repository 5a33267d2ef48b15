#include "checkscreentreeitem.h"
#include "connectmatrixitem.h"

#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QLayout>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace pral_matrixConfig;

namespace {

// Records the drag the row prepares instead of running it: QDrag::exec would block.
class ProbeOutputItem : public CheckScreenTreeItem
{
public:
    using CheckScreenTreeItem::CheckScreenTreeItem;
    int drags = 0;
    QByteArray data;
    bool hadPixmap = false;

protected:
    void execDrag(QDrag* drag) override
    {
        ++drags;
        data = drag->mimeData()->data(QStringLiteral("matrixtreeitem"));
        hadPixmap = !drag->pixmap().isNull();
        delete drag;
    }
};

void moveWithButtons(QWidget* w, QPoint pos, Qt::MouseButtons buttons)
{
    QMouseEvent move(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

void enter(QWidget* w)
{
    QEvent e(QEvent::Enter);
    QApplication::sendEvent(w, &e);
}

void leave(QWidget* w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

QPushButton* operButton(QWidget* item)
{
    return item->findChild<QPushButton*>(QStringLiteral("operBt"));
}

} // namespace

class TestTreeItems : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void dragStartsBeyondTenPixels_data()
    {
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<bool>("drags");
        QTest::newRow("10 both ways") << QPoint(10, 10) << false;
        QTest::newRow("-10 both ways") << QPoint(-10, -10) << false;
        QTest::newRow("11 right") << QPoint(11, 0) << true;
        QTest::newRow("11 down") << QPoint(0, 11) << true;
        QTest::newRow("11 left") << QPoint(-11, 0) << true;
        QTest::newRow("11 up, 3 right") << QPoint(3, -11) << true;
    }

    void dragStartsBeyondTenPixels()
    {
        QFETCH(QPoint, offset);
        QFETCH(bool, drags);
        ProbeOutputItem item("10.0.0.5-2", 3, 0, "10.0.0.5-2", QString());
        item.resize(198, 30);
        item.setDraggable(true);
        const QPoint start(60, 15);
        QTest::mousePress(&item, Qt::LeftButton, Qt::NoModifier, start);
        moveWithButtons(&item, start + offset, Qt::LeftButton);
        QCOMPARE(item.drags, drags ? 1 : 0);
    }

    void dragCarriesTypeAndId_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("output of a multi-output decoder") << "10.0.0.5-2" << 3 << QByteArray("3~10.0.0.5-2");
        QTest::newRow("single-output decoder") << "10.0.0.6" << 1 << QByteArray("1~10.0.0.6");
    }

    void dragCarriesTypeAndId()
    {
        QFETCH(QString, id);
        QFETCH(int, type);
        QFETCH(QByteArray, data);
        ProbeOutputItem item(id, type, 0, id, QString());
        item.resize(198, 30);
        item.setDraggable(true);
        QTest::mousePress(&item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        moveWithButtons(&item, QPoint(80, 10), Qt::LeftButton);
        QCOMPARE(item.drags, 1);
        QCOMPARE(item.data, data);
        QVERIFY(item.hadPixmap);
        // The highlighted look is only for the drag picture.
        QCOMPARE(item.backgroundState(), 0);
    }

    void noDragWhenNotDraggableOrRightButton()
    {
        ProbeOutputItem item("10.0.0.5-1", 3, 0, "10.0.0.5-1", QString());
        item.resize(198, 30);
        QTest::mousePress(&item, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        moveWithButtons(&item, QPoint(100, 10), Qt::LeftButton);
        QCOMPARE(item.drags, 0);

        item.setDraggable(true);
        QTest::mousePress(&item, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
        moveWithButtons(&item, QPoint(100, 10), Qt::RightButton);
        QCOMPARE(item.drags, 0);
    }

    void operButtonFollowsThePointer()
    {
        CheckScreenTreeItem item("10.0.0.5-1", 3, 0, "10.0.0.5-1", QString());
        QVERIFY(!item.isOperButtonShown());
        enter(&item);
        QVERIFY(item.isOperButtonShown());
        QCOMPARE(item.layout()->contentsMargins().right(), 10);
        leave(&item);
        QVERIFY(!item.isOperButtonShown());
        QCOMPARE(item.layout()->contentsMargins().right(), 26);
    }

    void switchedOffButtonStaysHidden()
    {
        CheckScreenTreeItem item("10.0.0.5-1", 3, 0, "10.0.0.5-1", QString());
        enter(&item);
        item.setOperEnabled(false);
        QVERIFY(!item.isOperButtonShown());
        leave(&item);
        enter(&item);
        QVERIFY(!item.isOperButtonShown());
    }

    void checkingKeepsButtonAfterLeave()
    {
        CheckScreenTreeItem item("10.0.0.5-1", 3, 0, "10.0.0.5-1", QString());
        QCOMPARE(operButton(&item)->toolTip(), QStringLiteral("check screen"));
        item.setChecking(true);
        QVERIFY(item.isChecking());
        QCOMPARE(operButton(&item)->toolTip(), QStringLiteral("checking"));
        leave(&item);
        QVERIFY(item.isOperButtonShown());

        item.setChecking(false);
        QVERIFY(!item.isOperButtonShown());
        QCOMPARE(operButton(&item)->toolTip(), QStringLiteral("check screen"));
        enter(&item);
        leave(&item);
        QVERIFY(!item.isOperButtonShown());
    }

    void operButtonReportsItsRow()
    {
        QWidget holder;
        auto* item = new CheckScreenTreeItem("10.0.0.5-3", 3, 0, "10.0.0.5-3", QString(), &holder);
        holder.show();
        enter(item);
        QSignalSpy spy(item, SIGNAL(signalOperClicked(QWidget*)));
        QTest::mouseClick(operButton(item), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<QWidget*>(), static_cast<QWidget*>(item));
    }

    void wallRowConnectsAndShows()
    {
        QWidget holder;
        auto* wall = new ConnectMatrixItem("Lobby", 1, 0, "Lobby", QString(), &holder);
        wall->setFixedWidth(258);
        holder.show();
        auto* connectBt = wall->findChild<QPushButton*>(QStringLiteral("connectBt"));
        QVERIFY(connectBt);
        QCOMPARE(connectBt->geometry(), QRect(210, 7, 16, 16));

        QSignalSpy operSpy(wall, SIGNAL(signalOperClicked(QWidget*, QString)));
        QSignalSpy showSpy(wall, SIGNAL(signalShowLayout(QWidget*, QString)));
        QTest::mouseClick(connectBt, Qt::LeftButton);
        QCOMPARE(operSpy.count(), 1);
        QCOMPARE(operSpy.at(0).at(1).toString(), QStringLiteral("Lobby"));
        QCOMPARE(showSpy.count(), 0);

        QTest::mouseClick(wall, Qt::LeftButton, Qt::NoModifier, QPoint(40, 15));
        QCOMPARE(showSpy.count(), 1);
        QCOMPARE(showSpy.at(0).at(1).toString(), QStringLiteral("Lobby"));

        // A wall's hover button would be a second, unlabelled action on the row.
        enter(wall);
        QVERIFY(!wall->isOperButtonShown());

        QVERIFY(!wall->isConnected());
        wall->setConnected(true);
        QVERIFY(wall->isConnected());
        QCOMPARE(connectBt->property("connected").toBool(), true);
        wall->hideConnectButton();
        QVERIFY(connectBt->isHidden());
    }

    void sharedSheetGivesTheStateLooks()
    {
        QWidget holder;
        holder.setStyleSheet(MatrixTreeItem::treeStyleSheet());
        auto* item = new CheckScreenTreeItem("10.0.0.5-1", 3, 0, "10.0.0.5-1", QString(), &holder);
        holder.show();
        auto* name = item->findChild<QLabel*>(QStringLiteral("itemName"));
        QCOMPARE(name->palette().color(QPalette::WindowText), QColor("#ccd3dd"));
        item->setBackgroundState(2);
        QCOMPARE(name->palette().color(QPalette::WindowText), QColor("#ffffff"));
        item->setBackgroundState(7);
        QCOMPARE(item->backgroundState(), 2);
        item->setBackgroundState(0);
        QCOMPARE(name->palette().color(QPalette::WindowText), QColor("#ccd3dd"));
    }
};

QTEST_MAIN(TestTreeItems)
#include "tst_treeitems.moc"
