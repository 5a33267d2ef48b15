#include "checkscreentreeitem.h"
#include "connectmatrixitem.h"

#include <QApplication>
#include <QDrag>
#include <QLabel>
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

    void drag_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("draggable");
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QByteArray>("data"); // empty: no drag
        const auto row = [](const char* name, const QString& id, int type, bool draggable,
                            Qt::MouseButton button, QPoint offset, const QByteArray& data) {
            QTest::newRow(name) << id << type << draggable << int(button) << offset << data;
        };
        const QString out = QStringLiteral("10.0.0.5-2");
        const QByteArray outData("3~10.0.0.5-2");
        row("10 both ways", out, 3, true, Qt::LeftButton, QPoint(10, 10), QByteArray());
        row("-10 both ways", out, 3, true, Qt::LeftButton, QPoint(-10, -10), QByteArray());
        row("11 right", out, 3, true, Qt::LeftButton, QPoint(11, 0), outData);
        row("11 down", out, 3, true, Qt::LeftButton, QPoint(0, 11), outData);
        row("11 left", out, 3, true, Qt::LeftButton, QPoint(-11, 0), outData);
        row("11 up, 3 right", out, 3, true, Qt::LeftButton, QPoint(3, -11), outData);
        row("single-output decoder", "10.0.0.6", 1, true, Qt::LeftButton, QPoint(60, 0), "1~10.0.0.6");
        row("not draggable", out, 3, false, Qt::LeftButton, QPoint(60, 0), QByteArray());
        row("right button", out, 3, true, Qt::RightButton, QPoint(60, 0), QByteArray());
    }

    void drag()
    {
        QFETCH(QString, id);
        QFETCH(int, type);
        QFETCH(bool, draggable);
        QFETCH(int, button);
        QFETCH(QPoint, offset);
        QFETCH(QByteArray, data);
        ProbeOutputItem item(id, type, 0, id, QString());
        item.resize(198, 30);
        item.setDraggable(draggable);
        const QPoint start(60, 15);
        QTest::mousePress(&item, Qt::MouseButton(button), Qt::NoModifier, start);
        QMouseEvent move(QEvent::MouseMove, start + offset, item.mapToGlobal(start + offset), Qt::NoButton,
                         Qt::MouseButtons(button), Qt::NoModifier);
        QApplication::sendEvent(&item, &move);
        QCOMPARE(item.drags, data.isEmpty() ? 0 : 1);
        QCOMPARE(item.data, data);
        QCOMPARE(item.hadPixmap, !data.isEmpty());
        // The highlighted look is only for the drag picture.
        QCOMPARE(item.backgroundState(), 0);
    }

    void operButtonFollowsPointerAndCheck()
    {
        CheckScreenTreeItem item("10.0.0.5-1", 3, 0, "10.0.0.5-1", QString());
        QVERIFY(!item.isOperButtonShown());
        enter(&item);
        QVERIFY(item.isOperButtonShown());
        leave(&item);
        QVERIFY(!item.isOperButtonShown());

        // A running check keeps its button after the pointer leaves.
        item.setChecking(true);
        QCOMPARE(operButton(&item)->toolTip(), QStringLiteral("checking"));
        leave(&item);
        QVERIFY(item.isOperButtonShown());
        item.setChecking(false);
        QVERIFY(!item.isOperButtonShown());
        QCOMPARE(operButton(&item)->toolTip(), QStringLiteral("check screen"));

        // Switched off, the button stays hidden whatever the pointer does.
        enter(&item);
        item.setOperEnabled(false);
        QVERIFY(!item.isOperButtonShown());
        leave(&item);
        enter(&item);
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
