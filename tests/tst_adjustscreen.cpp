// The screen-adjustment panel against a connected simulated decoder: which
// screen a request addresses, what a cancel puts back, which test picture the
// wall shows, and what the operator is told when the decoder goes away.

#include "adjustscreen.h"
#include "appfiles.h"
#include "dictdef.h"
#include "disabledwaitingwt.h"
#include "disabledwaitingwtmanager.h"
#include "screenwt.h"
#include "servicespy.h"
#include "systemassistant.h"
#include "wizardtesthelpers.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace pral_matrixConfig;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::ScreenColor;
using pral_worker::SystemAssistant;
using wiz::FleetProbe;
using wiz::settle;

namespace {
const QString Eight = QStringLiteral("192.0.2.12");
} // namespace

class TestAdjustScreen : public QObject
{
    Q_OBJECT

    FleetProbe fleet;
    std::unique_ptr<AdjustScreen> panel;
    std::unique_ptr<QSignalSpy> alerts;
    std::unique_ptr<ServiceSpy> setResults;

private slots:
    void initTestCase()
    {
        // The panel looks for its pictures under the current directory: the folder that has them as
        // "resources", where the build puts the application's shared files.
        QVERIFY(QDir::setCurrent(PCOMMON::AppFiles::sharedDirectory()));
        const QColor blue = QImage(QStringLiteral("resources/blue.jpg")).pixelColor(5, 5);
        QVERIFY2(blue.blue() > 240 && blue.red() < 16 && blue.green() < 16, "the build ships the pictures");
    }

    void init()
    {
        QVERIFY(fleet.install());
        QVERIFY(FleetProbe::connect(Eight));
        // A 3 x 4 wall on outputs in no particular order.
        panel = std::make_unique<AdjustScreen>();
        panel->setLayout(3, 4);
        for (int i = 0; i < 12; ++i)
            panel->bindScreen(i, Eight, QStringLiteral("%1-%2").arg(Eight).arg((i * 5) % 8 + 1));
        panel->show();
        alerts = std::make_unique<QSignalSpy>(&SystemAssistant::_instance(), &SystemAssistant::signalAlert);
        setResults = std::make_unique<ServiceSpy>(&MatrixSdkWorker::signalMatrixSetScreenColorResult);
    }

    void cleanup()
    {
        panel.reset();
        FleetProbe::worker().disconnectAllMatrix();
        SystemAssistant::_instance().closeAll();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void sliderWithoutScreenOnlyMovesItsLabel()
    {
        slider("contrastSlider")->setValue(30);
        settle();
        QCOMPARE(label("lab_contrast"), QStringLiteral("30"));
        QCOMPARE(setResults->count(), 0);
    }

    void screenIsAddressedByRowAndColumn_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("first") << 0 << 1 << 1;
        QTest::newRow("second row, third column") << 6 << 2 << 3;
        QTest::newRow("last") << 11 << 3 << 4;
    }

    void screenIsAddressedByRowAndColumn()
    {
        QFETCH(int, screen);
        QFETCH(int, row);
        QFETCH(int, column);
        FleetProbe::worker().setMatrixScreenColor(FleetProbe::worker().getHandleByIp(Eight), row, column,
                                                  ScreenColor{41, 42, 43, 44});
        settle();
        const int sent = setResults->count();
        press(screen);
        QCOMPARE(label("lab_screensignpara"), QStringLiteral("%1-%2").arg(row).arg(column));
        // Read into the sliders without sending anything back.
        QCOMPARE(slider("brightSlider")->value(), 41);
        QCOMPARE(label("lab_sharpness"), QStringLiteral("44"));
        QCOMPARE(setResults->count(), sent);

        slider("chromaSlider")->setValue(12);
        settle();
        const ScreenColor set = fleet.color(Eight, row, column);
        QCOMPARE(QVector<int>({set.brightness, set.contrast, set.chroma, set.sharpness}),
                 QVector<int>({41, 42, 12, 44}));
        QCOMPARE(alerts->last().at(1).toString(), QStringLiteral("Screen Color set successfully!"));
    }

    void cancelPutsBackFirstReadings()
    {
        press(0);
        slider("brightSlider")->setValue(20);
        press(0); // a second reading (20) must not replace the first (87)
        slider("brightSlider")->setValue(25);
        press(5);
        slider("contrastSlider")->setValue(60);
        // Pressed before screen 5's result is back: that result still belongs to screen 5. Screen 7 is
        // read, never changed: nothing to put back there.
        press(7);
        settle();
        QCOMPARE(fleet.color(Eight, 1, 1).brightness, 25);

        auto* overlay = new PCOMMON::DisabledWaitingWt(panel.get(), QStringLiteral("Cancel"));
        QSignalSpy restore(panel.get(), &AdjustScreen::signalrestoreMatrixScene);
        setResults->clear();
        emit panel->signalCancelAllAjust(overlay->getUuid());
        settle();
        QCOMPARE(setResults->count(), 2);
        QCOMPARE(fleet.color(Eight, 1, 1).brightness, 87);
        QCOMPARE(fleet.color(Eight, 2, 2).contrast, 87);
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        QCOMPARE(restore.count(), 0); // video was shown all along

        // The readings are forgotten: a second cancel puts nothing back.
        emit panel->signalCancelAllAjust(QUuid());
        settle();
        QCOMPARE(setResults->count(), 2);
    }

    // Each changed screen gets its own first reading back: on a wall that is not square, numbers taken
    // in the wrong order would address another screen, or none.
    void cancelPutsEachColourBackOnItsOwnScreen_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::newRow("2 x 3") << 2 << 3;
        QTest::newRow("3 x 4") << 3 << 4;
    }
    void cancelPutsEachColourBackOnItsOwnScreen()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        panel = std::make_unique<AdjustScreen>();
        panel->setLayout(rows, cols);
        for (int i = 0; i < rows * cols; ++i)
            panel->bindScreen(i, Eight, QStringLiteral("%1-%2").arg(Eight).arg(i % 8 + 1));
        panel->show();
        // The top-right, the bottom-left and a middle screen, each with colours of its own to begin with.
        const QList<QPair<int, int>> changed = {{1, cols}, {rows, 1}, {2, 2}};
        const CMHandle handle = FleetProbe::worker().getHandleByIp(Eight);
        for (int k = 0; k < changed.size(); ++k) {
            const auto [row, column] = changed.at(k);
            FleetProbe::worker().setMatrixScreenColor(handle, row, column,
                                                      ScreenColor{10 + k, 20 + k, 30 + k, 40 + k});
        }
        settle();
        for (int k = 0; k < changed.size(); ++k) {
            const auto [row, column] = changed.at(k);
            press((row - 1) * cols + column - 1);
            QCOMPARE(label("lab_screensignpara"), QStringLiteral("%1-%2").arg(row).arg(column));
            slider("brightSlider")->setValue(60 + k);
            slider("sharpnessSlider")->setValue(70 + k);
            settle();
            QCOMPARE(fleet.color(Eight, row, column).brightness, 60 + k);
        }

        setResults->clear();
        emit panel->signalCancelAllAjust(QUuid());
        settle();
        QCOMPARE(setResults->count(), changed.size());
        for (int k = 0; k < changed.size(); ++k) {
            const auto [row, column] = changed.at(k);
            const ScreenColor now = fleet.color(Eight, row, column);
            QCOMPARE(QStringLiteral("%1-%2: %3 %4 %5 %6")
                         .arg(row)
                         .arg(column)
                         .arg(now.brightness)
                         .arg(now.contrast)
                         .arg(now.chroma)
                         .arg(now.sharpness),
                     QStringLiteral("%1-%2: %3 %4 %5 %6")
                         .arg(row)
                         .arg(column)
                         .arg(10 + k)
                         .arg(20 + k)
                         .arg(30 + k)
                         .arg(40 + k));
        }
    }

    // A cancel in the middle of the picture loop ends it and goes back to video, as a save does.
    void cancelEndsTheLoopAndShowsVideo()
    {
        auto* timer = panel->findChild<QTimer*>(QStringLiteral("loopTimer"));
        contents()->setCurrentIndex(1);
        QCOMPARE(shownPicture(), QStringLiteral("red"));
        QVERIFY(timer->isActive());
        QSignalSpy restore(panel.get(), &AdjustScreen::signalrestoreMatrixScene);
        emit panel->signalCancelAllAjust(QUuid());
        QVERIFY(!timer->isActive());
        QCOMPARE(contents()->currentIndex(), 0);
        QCOMPARE(contents()->currentText(), QStringLiteral("Video Preview"));
        QCOMPARE(restore.count(), 1);
        QCOMPARE(fleet.windows(Eight).size(), 1);
        QCOMPARE(shownPicture(), QStringLiteral("red"));
    }

    void picturesOneAtATimeOrLooping()
    {
        auto* timer = panel->findChild<QTimer*>(QStringLiteral("loopTimer"));
        contents()->setCurrentIndex(1);
        // One window over the whole wall, its screens column by column, the picture its one source.
        QList<pral_matrix::MatrixWindowInfo> windows = fleet.windows(Eight);
        QCOMPARE(windows.size(), 1);
        const pral_matrix::MatrixWindowInfo w = windows.first();
        QCOMPARE(QVector<int>({w.windowParam1, w.windowParam2, w.x, w.y, w.width, w.height, w.windowParam12,
                               w.rowCount, w.columnCount, w.screenList.size(), w.sourceList.size()}),
                 QVector<int>({1, 0, 0, 0, 32768, 32768, 1, 3, 4, 12, 1}));
        const pral_matrix::WindowScreenInfo fourth = w.screenList.at(3);
        QCOMPARE(QVector<int>({fourth.screenNo, fourth.column, fourth.row}), QVector<int>({4, 1, 0}));
        const pral_matrix::WindowSourceInfo s = w.sourceList.first();
        QCOMPARE(s.sourceName + " " + s.picturePath,
                 "pic_1_-1 " + QDir::currentPath() + "/resources/red.jpg");
        QCOMPARE(QVector<int>({s.sourceKind, s.pictureMode}), QVector<int>({7, 3}));

        QStringList shown{shownPicture()};
        QCOMPARE(timer->interval(), 15000);
        for (int i = 0; i < 5; ++i) {
            QVERIFY(timer->isActive());
            QMetaObject::invokeMethod(timer, "timeout");
            shown << shownPicture();
        }
        QCOMPARE(shown, QStringList({"red", "green", "blue", "black", "white", "red"}));

        contents()->setCurrentIndex(4); // "Blue background": a window of its own, the loop stops
        QVERIFY(!timer->isActive());
        QCOMPARE(shownPicture(), QStringLiteral("blue"));
        QCOMPARE(fleet.windows(Eight).size(), 2);
        // A restarted loop goes on where it stopped.
        contents()->setCurrentIndex(1);
        QCOMPARE(shownPicture(), QStringLiteral("green"));

        QSignalSpy restore(panel.get(), &AdjustScreen::signalrestoreMatrixScene);
        emit panel->signalSaveAllAjust();
        QVERIFY(!timer->isActive());
        QCOMPARE(contents()->currentIndex(), 0);
        QCOMPARE(restore.count(), 1);
    }

    // Started from a menu, the application's current directory has no pictures: the panel still names
    // them there, and the wall shows the application's own.
    void picturesFromAFolderWithoutThem()
    {
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        const auto back = qScopeGuard([&before] { QDir::setCurrent(before); });
        panel = std::make_unique<AdjustScreen>();
        panel->setLayout(3, 4);
        for (int i = 0; i < 12; ++i)
            panel->bindScreen(i, Eight, QStringLiteral("%1-%2").arg(Eight).arg(i % 8 + 1));
        panel->show();
        contents()->setCurrentIndex(2); // "Red background"
        QCOMPARE(shownPicture(), QStringLiteral("red"));
        const QString shownFile = fleet.windows(Eight).last().sourceList.value(0).picturePath;
        QCOMPARE(shownFile, PCOMMON::AppFiles::testPicturesDirectory() + QStringLiteral("/red.jpg"));
        QVERIFY(!QFileInfo::exists(elsewhere.filePath(QStringLiteral("resources"))));
    }

    void decoderGoneAwayIsReportedNotHung()
    {
        press(0);
        FleetProbe::worker().dropConnection(Eight);
        QTRY_VERIFY(FleetProbe::worker().getHandleByIp(Eight).isNull());
        alerts->clear();
        slider("brightSlider")->setValue(50);
        press(1);
        contents()->setCurrentIndex(3);
        settle();
        QCOMPARE(alerts->count(), 2);
        QCOMPARE(alerts->at(0).at(1).toString(), QStringLiteral("Screen Color setting failed!"));
        QCOMPARE(alerts->at(1).at(1).toString(), QStringLiteral("Screen Color reading failed!"));
        // A failed reading is not taken for the screen's colours: the slider stays where it was.
        QCOMPARE(slider("brightSlider")->value(), 50);
        emit panel->signalCancelAllAjust(QUuid());
        settle();
        QCOMPARE(setResults->count(), 1);
    }

private:
    void press(int screen)
    {
        QTest::mouseClick(panel->findChild<ScreenLayoutWt*>("wallwt")->screen(screen), Qt::LeftButton);
        settle();
    }
    QSlider* slider(const char* name) const { return panel->findChild<QSlider*>(name); }
    QString label(const char* name) const { return panel->findChild<QLabel*>(name)->text(); }
    QComboBox* contents() const { return panel->findChild<QComboBox*>(QStringLiteral("showcontentscomBox")); }
    QString shownPicture() const
    {
        settle();
        const auto windows = fleet.windows(Eight);
        return windows.isEmpty() ? QString() : windows.last().sourceList.value(0).pictureName;
    }
};

QTEST_MAIN(TestAdjustScreen)
#include "tst_adjustscreen.moc"
