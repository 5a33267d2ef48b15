#include "matrixconfigsignals.h"
#include "matrixsdkworker.h"
#include "modalanswerer.h"
#include "pmenu.h"
#include "screenlayoutwt.h"
#include "screenwt.h"
#include "systemmsg.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace pral_matrixConfig;
using pral_matrix::MatrixSdkWorker;
using Grid = QPair<int, int>;

namespace {

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

// Sends the drag-enter and drop a real drag would end with; false when the screen refused the drag.
bool dropOn(QWidget* screen, const QString& format, const QByteArray& data)
{
    QMimeData mime;
    mime.setData(format, data);
    QDragEnterEvent enter(QPoint(4, 4), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(screen, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(4, 4), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(screen, &drop);
    return true;
}

PCOMMON::PMenu* contextMenu(ScreenLayoutWt* view)
{
    return view->findChild<PCOMMON::PMenu*>();
}

QAction* menuEntry(ScreenLayoutWt* view, const QString& text)
{
    const auto actions = contextMenu(view)->actions();
    for (QAction* a : actions) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

} // namespace

class TestScreenLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        MatrixSdkWorker::setDataDirectory(dir.filePath("data"));
        // The mapping file lives in the working directory.
        QVERIFY(QDir::setCurrent(dir.path()));
    }

    void init()
    {
        view = std::make_unique<ScreenLayoutWt>();
        view->resize(640, 480);
        view->show();
    }

    void cleanup()
    {
        view.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void gridPositions_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("screenId");
        QTest::addColumn<QString>("position");
        QTest::newRow("3 x 4, screen 5") << 3 << 4 << 5 << "2-2";
        QTest::newRow("3 x 4, last") << 3 << 4 << 11 << "3-4";
        QTest::newRow("2 x 3, screen 3") << 2 << 3 << 3 << "2-1";
        QTest::newRow("10 x 10, last") << 10 << 10 << 99 << "10-10";
        QTest::newRow("1 x 1") << 1 << 1 << 0 << "1-1";
    }

    void gridPositions()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(int, screenId);
        QFETCH(QString, position);
        view->setLayout(rows, cols);
        QCOMPARE(view->screenCount(), rows * cols);
        QVERIFY(view->screen(rows * cols - 1));
        QVERIFY(!view->screen(rows * cols));
        QCOMPARE(view->screen(screenId)->positionText(), position);
        QCOMPARE(view->screen(screenId)->labelText(), QStringLiteral("unbanded"));
        QTRY_VERIFY(view->screen(screenId)->isVisible());
        // Row-major: a screen's cell in the grid agrees with its number.
        const QRect first = view->screen(0)->geometry();
        const QRect mine = view->screen(screenId)->geometry();
        QCOMPARE(mine.left() > first.left(), screenId % cols != 0);
        QCOMPARE(mine.top() > first.top(), screenId / cols != 0);
    }

    void rebuildResetsSelectionAndClearsMarks()
    {
        view->setLayout(2, 2);
        view->slotScreenWtClicked(3);
        QCOMPARE(view->selectedScreenId(), 3);
        QSignalSpy marks(&worker(), &MatrixSdkWorker::signalScreenMapping);
        view->setLayout(3, 3);
        QCOMPARE(view->selectedScreenId(), -1);
        QCOMPARE(marks.count(), 1);
        QCOMPARE(marks.at(0).at(0).toString(), QString());
        QCOMPARE(marks.at(0).at(1).toBool(), false);
    }

    // A rebuild keeps the screens of the old grid for the new one; each must be as a new screen would be,
    // in its place, answering drops under its new number and for no output of its former binding.
    void rebuiltGridEqualsANewOne_data()
    {
        QTest::addColumn<Grid>("from");
        QTest::addColumn<Grid>("to");
        QTest::newRow("10 x 10 to 3 x 4") << Grid{10, 10} << Grid{3, 4};
        QTest::newRow("2 x 2 to 10 x 10") << Grid{2, 2} << Grid{10, 10};
        QTest::newRow("3 x 3 again") << Grid{3, 3} << Grid{3, 3};
        QTest::newRow("4 x 1 to 1 x 4") << Grid{4, 1} << Grid{1, 4};
    }

    void rebuiltGridEqualsANewOne()
    {
        QFETCH(Grid, from);
        QFETCH(Grid, to);
        view->setLayout(from.first, from.second);
        const int count = from.first * from.second;
        for (int i = 0; i < count; ++i) {
            if (i % 3 == 0)
                view->bindScreen(i, QStringLiteral("DEV-%1").arg(i), QStringLiteral("10.0.1.%1").arg(i),
                                 30 + i, -1);
            else
                view->bindScreen(i, QStringLiteral("10.0.0.%1-1").arg(i),
                                 QStringLiteral("10.0.0.%1-1").arg(i), 1, 1);
        }
        view->slotScreenWtClicked(count - 1);
        view->setLayout(to.first, to.second);

        ScreenLayoutWt fresh;
        fresh.resize(view->size());
        fresh.show();
        fresh.setLayout(to.first, to.second);
        QApplication::processEvents();
        QCOMPARE(describe(view.get()), describe(&fresh));

        QSignalSpy mapping(&worker(), &MatrixSdkWorker::signalScreenMapping);
        for (int i = 0; i < count; ++i)
            emit PSingleton<MatrixConfigSignals>::_instance().signalDeleteMatrix(
                QStringLiteral("DEV-%1").arg(i));
        QCOMPARE(mapping.count(), 0);
        QSignalSpy drops(view.get(), &ScreenLayoutWt::signaldropEvent);
        const int last = to.first * to.second - 1;
        QVERIFY(dropOn(view->screen(last), "matrixtreeitem", "3~10.0.0.9-2"));
        QCOMPARE(drops.count(), 1);
        QCOMPARE(drops.at(0).at(0).toInt(), last);
        QSignalSpy clicks(view.get(), &ScreenLayoutWt::signalScreenClicked);
        QTest::mouseClick(view->screen(last), Qt::LeftButton);
        QCOMPARE(view->selectedScreenId(), last);
        QCOMPARE(clicks.count(), 1);
    }

    void emptyOrNegativeGridReportsNothing()
    {
        view->setLayout(-3, 4);
        QCOMPARE(view->screenCount(), 0);
        QVERIFY(view->allScreensUnbound());
        QCOMPARE(view->selectedScreenId(), -1);
        QVERIFY(view->selectedScreenText().isEmpty());
        QSignalSpy all(view.get(), &ScreenLayoutWt::signalAllUnbingding);
        view->unbindAll();
        QCOMPARE(all.count(), 1);
    }

    void bindingAndQueries()
    {
        view->setLayout(2, 2);
        QSignalSpy mapping(&worker(), &MatrixSdkWorker::signalScreenMapping);
        // A decoder binding (no output number) marks its output; a dropped output does not.
        view->bindScreen(0, "DEV-1", "10.0.0.5", 17, -1);
        QCOMPARE(view->screen(0)->labelText(), QStringLiteral("1-1 :"));
        QCOMPARE(mapping.count(), 1);
        QCOMPARE(mapping.at(0), (QList<QVariant>{"10.0.0.5", true}));
        view->bindScreen(1, "10.0.0.5-2", "10.0.0.5-2", 1, 1);
        view->bindScreen(2, "10.0.0.6", "10.0.0.6", 18, 4);
        QCOMPARE(view->screen(1)->labelText(), QStringLiteral("1-2: 10.0.0.5-2"));
        QCOMPARE(mapping.count(), 1);
        QVERIFY(view->isMatrixKeyBound("DEV-1"));
        QVERIFY(!view->isMatrixKeyBound("DEV-2"));
        QVERIFY(view->isOutputIdBound(18));
        QVERIFY(!view->isOutputIdBound(19));
        QVERIFY(!view->allScreensBound());
        QString key;
        int id = 0;
        int no = 0;
        view->screenBinding(2, key, id, no);
        QCOMPARE(key, QStringLiteral("10.0.0.6"));
        QCOMPARE(id, 18);
        QCOMPARE(no, 4);

        // Binding an output again moves it off its former screen.
        view->bindScreen(3, "10.0.0.5-2", "10.0.0.5-2", 1, 1);
        QCOMPARE(view->screen(1)->labelText(), QStringLiteral("unbanded"));
        QCOMPARE(view->screen(3)->labelText(), QStringLiteral("2-2: 10.0.0.5-2"));
        QCOMPARE(view->screen(2)->labelText(), QStringLiteral("2-1: 10.0.0.6"));
        QCOMPARE(mapping.count(), 2);
        QCOMPARE(mapping.at(1), (QList<QVariant>{"10.0.0.5-2", false}));
        view->screenBinding(1, key, id, no);
        QVERIFY(key.isEmpty());
        QCOMPARE(id, -1);
        view->bindScreen(1, "10.0.0.7", "10.0.0.7", 1, 1);
        QVERIFY(view->allScreensBound());

        // A screen that does not exist binds nothing and reports nothing.
        view->bindScreen(7, "10.0.0.8", "10.0.0.8", 1, 1);
        QVERIFY(!view->isMatrixKeyBound("10.0.0.8"));
        key = "stale";
        view->screenBinding(7, key, id, no);
        QVERIFY(key.isEmpty());
    }

    void drop_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("emitted");
        QTest::addColumn<QString>("itemId");
        QTest::addColumn<int>("itemType");
        QTest::newRow("output") << "matrixtreeitem" << QByteArray("3~10.0.0.5-2") << true << true
                                << "10.0.0.5-2" << 3;
        QTest::newRow("single") << "matrixtreeitem" << QByteArray("1~10.0.0.6") << true << true << "10.0.0.6"
                                << 1;
        QTest::newRow("no separator")
            << "matrixtreeitem" << QByteArray("10.0.0.6") << true << false << "" << 0;
        QTest::newRow("three parts") << "matrixtreeitem" << QByteArray("1~a~b") << true << false << "" << 0;
        QTest::newRow("other format")
            << "text/plain" << QByteArray("1~10.0.0.6") << false << false << "" << 0;
    }

    void drop()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, data);
        QFETCH(bool, accepted);
        QFETCH(bool, emitted);
        QFETCH(QString, itemId);
        QFETCH(int, itemType);
        view->setLayout(2, 2);
        QSignalSpy drops(view.get(), &ScreenLayoutWt::signaldropEvent);
        QCOMPARE(dropOn(view->screen(2), format, data), accepted);
        QCOMPARE(drops.count(), emitted ? 1 : 0);
        if (emitted)
            QCOMPARE(drops.at(0), (QList<QVariant>{2, itemId, itemType}));
        // The screen only reports; binding is its owner's decision.
        QVERIFY(view->allScreensUnbound());
    }

    void clickSelects()
    {
        view->setLayout(2, 2);
        view->bindScreen(1, "10.0.0.6", "10.0.0.6", 1, 1);
        QSignalSpy pressed(view.get(), &ScreenLayoutWt::signalScreenPressed);
        QSignalSpy clicked(view.get(), &ScreenLayoutWt::signalScreenClicked);
        QTest::mouseClick(view->screen(1), Qt::LeftButton);
        QCOMPARE(view->selectedScreenId(), 1);
        QCOMPARE(pressed.count(), 1);
        QCOMPARE(pressed.at(0).at(0).toString(), QStringLiteral("10.0.0.6"));
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(view->selectedScreenText(), QStringLiteral("1-2: 10.0.0.6"));
        QCOMPARE(view->selectedScreenPosition(), QStringLiteral("1-2"));
        QTest::mouseClick(view->screen(1), Qt::LeftButton);
        QCOMPARE(pressed.count(), 1);
        QCOMPARE(clicked.count(), 2);

        view->highlightOutput("10.0.0.6");
        QCOMPARE(view->selectedScreenId(), 1);
        view->bindScreen(3, "K", "10.0.0.7", 1, 1);
        view->highlightOutput("K");
        QCOMPARE(view->selectedScreenId(), 3);
    }

    void hubDropsOnlyItsKey()
    {
        view->setLayout(1, 2);
        view->bindScreen(0, "DEV-1", "10.0.0.5", -1, -1);
        view->bindScreen(1, "DEV-2", "10.0.0.6", -1, -1);
        QSignalSpy mapping(&worker(), &MatrixSdkWorker::signalScreenMapping);
        emit PSingleton<MatrixConfigSignals>::_instance().signalDeleteMatrix("DEV-9");
        QCOMPARE(mapping.count(), 0);
        emit PSingleton<MatrixConfigSignals>::_instance().signalDeleteMatrix("DEV-1");
        QCOMPARE(view->screen(0)->labelText(), QStringLiteral("unbanded"));
        QCOMPARE(view->screen(1)->labelText(), QStringLiteral("1-2 :"));
        QCOMPARE(mapping.count(), 1);
        QCOMPARE(mapping.at(0), (QList<QVariant>{"10.0.0.5", false}));
        QVERIFY(!view->isMatrixKeyBound("DEV-1"));
    }

    void contextMenuOnlyWhenEmbedded()
    {
        view->setLayout(2, 2);
        view->bindScreen(0, "10.0.0.6", "10.0.0.6", 1, 1);
        QTest::mousePress(view.get(), Qt::RightButton, Qt::NoModifier, QPoint(0, 0));
        QVERIFY(!contextMenu(view.get())->isVisible());
        view->setEmbedded();
        view->slotScreenWtClicked(1);
        QTest::mousePress(view.get(), Qt::RightButton, Qt::NoModifier, QPoint(0, 0));
        QTRY_VERIFY(contextMenu(view.get())->isVisible());
        // The selected screen is unbound: nothing to unbind there.
        QVERIFY(!menuEntry(view.get(), "unbind")->isVisible());
        QVERIFY(menuEntry(view.get(), "Cancel all mappings")->isVisible());
        contextMenu(view.get())->hide();

        view->slotScreenWtClicked(0);
        QTest::mousePress(view.get(), Qt::RightButton, Qt::NoModifier, QPoint(0, 0));
        QVERIFY(menuEntry(view.get(), "unbind")->isVisible());
        QSignalSpy one(view.get(), &ScreenLayoutWt::signalUnbingding);
        QSignalSpy all(view.get(), &ScreenLayoutWt::signalAllUnbingding);
        writeMappingFile();
        view->setBindingFamily(0);
        menuEntry(view.get(), "unbind")->trigger();
        QCOMPARE(one.count(), 1);
        QCOMPARE(all.count(), 1);
        QVERIFY(view->allScreensUnbound());
        QCOMPARE(view->bindingFamily(), -1);
        QVERIFY(mappingFileKeys().isEmpty());
        contextMenu(view.get())->hide();
    }

    void cancelAllMappings_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("confirmed") << "okBtn" << true;
        QTest::newRow("cancelled") << "cancelBtn" << false;
    }

    void cancelAllMappings()
    {
        QFETCH(QString, answer);
        QFETCH(bool, cleared);
        view->setEmbedded();
        view->setLayout(1, 3);
        view->bindScreen(0, "10.0.0.6", "10.0.0.6", 1, 1);
        view->bindScreen(2, "10.0.0.5-1", "10.0.0.5-1", 1, 1);
        writeMappingFile();
        QSignalSpy all(view.get(), &ScreenLayoutWt::signalAllUnbingding);
        QString text;
        ModalAnswerer answerer("PCOMMON::PMessageBox", [&](QWidget* box) {
            text = box->findChild<QLabel*>("textLabel") ? box->findChild<QLabel*>("textLabel")->text()
                                                        : QString();
            ModalAnswerer::clickButton(box, answer);
        });
        menuEntry(view.get(), "Cancel all mappings")->trigger();
        QVERIFY(answerer.answered());
        QCOMPARE(text, QStringLiteral("Are you sure cancel all mappings?"));
        QCOMPARE(view->allScreensUnbound(), cleared);
        QCOMPARE(all.count(), cleared ? 1 : 0);
        QCOMPARE(mappingFileKeys().isEmpty(), cleared);
    }

    void quitDropsTheScreens()
    {
        view->setLayout(3, 3);
        emit PSingleton<pral_base::SystemMsg>::_instance().signalQuitSystem();
        QCOMPARE(view->screenCount(), 0);
        QSignalSpy mapping(&worker(), &MatrixSdkWorker::signalScreenMapping);
        emit PSingleton<MatrixConfigSignals>::_instance().signalDeleteMatrix("x");
        QCOMPARE(mapping.count(), 0);
    }

private:
    // What the operator sees of a view, screen by screen, and what it answers about each.
    static QStringList describe(ScreenLayoutWt* v)
    {
        int rows = 0;
        int cols = 0;
        v->getLayout(rows, cols);
        QStringList lines{QStringLiteral("%1 x %2, %3 screens, selected %4, all unbound %5")
                              .arg(rows)
                              .arg(cols)
                              .arg(v->screenCount())
                              .arg(v->selectedScreenId())
                              .arg(v->allScreensUnbound())};
        for (int i = 0; i < v->screenCount(); ++i) {
            ScreenWt* screen = v->screen(i);
            QString key;
            int id = 0;
            int no = 0;
            v->screenBinding(i, key, id, no);
            lines << QStringLiteral(
                         "%1: id %2 at %3,%4 %5x%6 shown %7 \"%8\" %9 bound \"%10\" %11 %12 \"%13\"")
                         .arg(i)
                         .arg(screen->screenWtId())
                         .arg(screen->x())
                         .arg(screen->y())
                         .arg(screen->width())
                         .arg(screen->height())
                         .arg(screen->isVisible())
                         .arg(screen->labelText(), screen->positionText(), key)
                         .arg(id)
                         .arg(no)
                         .arg(screen->boundMatrixKey());
        }
        int shownScreens = 0;
        for (ScreenWt* screen : v->findChildren<ScreenWt*>())
            shownScreens += screen->isVisible() ? 1 : 0;
        lines << QStringLiteral("screens in sight %1").arg(shownScreens);
        return lines;
    }

    static void writeMappingFile()
    {
        QSettings settings("tvWallConfig.ini", QSettings::IniFormat);
        settings.setValue("wallConfig/screen0", "10.0.0.6");
        settings.setValue("other/keep", 1);
        settings.sync();
    }

    static QStringList mappingFileKeys()
    {
        QSettings settings("tvWallConfig.ini", QSettings::IniFormat);
        return settings.allKeys();
    }

    QTemporaryDir dir;
    std::unique_ptr<ScreenLayoutWt> view;
};

QTEST_MAIN(TestScreenLayout)
#include "tst_screenlayout.moc"
