// The TV-wall wizard on the simulated fleet: the steps and their buttons, the
// name rules, what it sends to the main decoder and when it may close, and the
// edit mode's binding and adjustment pages with their scene.

#include "addmatrixdlg.h"
#include "connectmatrixitem.h"
#include "disabledwaitingwtmanager.h"
#include "screenwt.h"
#include "servicespy.h"
#include "systemassistant.h"
#include "treeitem.h"
#include "wizardtesthelpers.h"

#include <QComboBox>
#include <QDesktopWidget>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace pral_matrixConfig;
using namespace wiz;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;
using pral_worker::SystemAssistant;

namespace {
const QString Main = QStringLiteral("192.0.2.10");
const QString Single = QStringLiteral("192.0.2.11");
const QString Control = QStringLiteral("192.0.2.30"); // sixteen outputs, holds "Control room"
const QString Lobby = QStringLiteral("Lobby wall");   // what the main decoder holds at first
const QString Unbound = QStringLiteral("notice: There is an unbinging screen.");

QString out(int n)
{
    return QStringLiteral("%1-%2").arg(Main).arg(n);
}

/** "ip/channel@row,column" per screen. */
QString layoutOf(const QList<MatrixInfo>& screens)
{
    QStringList parts;
    for (const MatrixInfo& s : screens)
        parts << QStringLiteral("%1/%2@%3,%4").arg(s.ip).arg(s.channel).arg(s.row).arg(s.column);
    return parts.join(' ');
}

/** The stored 2 x 2 wall "Lobby" on the main decoder; channel 0 stands for a bare address. */
TvWallManagement stored(const QList<QPair<QString, int>>& screens = {
                            {Main, 1}, {Main, 2}, {Main, 3}, {Main, 4}})
{
    TvWallManagement wall;
    wall.tvWallName = QStringLiteral("Lobby");
    wall.mainIp = Main;
    wall.row = wall.col = 2;
    for (int i = 0; i < screens.size(); ++i) {
        MatrixInfo screen;
        screen.ip = screens.at(i).first;
        screen.channel = screens.at(i).second;
        screen.row = i / 2;
        screen.column = i % 2;
        wall.matrixInfoList << screen;
    }
    return wall;
}

/** Control's outputs 1..count. */
QStringList controlOutputs(int count)
{
    QStringList ids;
    for (int n = 1; n <= count; ++n)
        ids << QStringLiteral("%1-%2").arg(Control).arg(n);
    return ids;
}

/**
 * The output that screen (row, column) of a rows x cols wall shows: no screen shows the output of its own
 * index, and none that of the transposed screen, so that rows and columns taken for each other show.
 */
QString outputAt(int row, int column, int cols)
{
    return controlOutputs(16).at((5 * (row * cols + column) + 3) % 16);
}

/** A rows x cols wall on Control, its screens listed column by column: the order says nothing of the grid. */
TvWallManagement nonSquare(int rows, int cols)
{
    TvWallManagement wall;
    wall.tvWallName = QStringLiteral("Lobby");
    wall.mainIp = Control;
    wall.row = rows;
    wall.col = cols;
    for (int c = 0; c < cols; ++c) {
        for (int r = 0; r < rows; ++r) {
            MatrixInfo screen;
            const QString id = outputAt(r, c, cols);
            screen.ip = id.section('-', 0, 0);
            screen.channel = id.section('-', 1).toInt();
            screen.row = r;
            screen.column = c;
            wall.matrixInfoList << screen;
        }
    }
    return wall;
}

/** What a rows x cols wall of outputAt() holds, as layoutOf() writes it: row by row. */
QString nonSquareLayout(int rows, int cols)
{
    QList<MatrixInfo> screens;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            MatrixInfo screen;
            screen.ip = Control;
            screen.channel = outputAt(r, c, cols).section('-', 1).toInt();
            screen.row = r;
            screen.column = c;
            screens << screen;
        }
    }
    return layoutOf(screens);
}
} // namespace

class TestAddMatrixDlg : public QObject
{
    Q_OBJECT

    FleetProbe fleet;
    std::unique_ptr<AddMatrixDlg> dlg;
    std::unique_ptr<QSignalSpy> alerts;
    const QStringList outputs{out(1), out(2), out(3), out(4), Single};

private slots:
    void init()
    {
        QVERIFY(fleet.install());
        QVERIFY(FleetProbe::connect(Main));
        alerts = std::make_unique<QSignalSpy>(&SystemAssistant::_instance(), &SystemAssistant::signalAlert);
    }

    void cleanup()
    {
        dlg.reset();
        FleetProbe::worker().disconnectAllMatrix();
        SystemAssistant::_instance().closeAll();
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void stepButtonsSizesAndMoves()
    {
        open({Main, Single});
        const QRect desktop = QApplication::desktop()->geometry();
        const QPoint centred((desktop.width() - 820) / 2, (desktop.height() - 440) / 2);
        const QSize normal(820, 440);
        QCOMPARE(dlg->size(), normal);
        QTest::keyClicks(dlg->findChild<QLineEdit*>("tvWallNameEdit"), "Atrium");
        const QList<std::tuple<const char*, int, QString, QSize, QPoint>> steps = {
            {"nextStepBtn", 1, "last next cancel", normal, centred},
            {"nextStepBtn", 2, "last save cancel", {1220, 740}, centred - QPoint(200, 150)},
            {"lastStepBtn", 1, "last next cancel", normal, centred},
            {"lastStepBtn", 0, "next cancel", normal, centred},
        };
        for (const auto& [button, index, visible, size, pos] : steps) {
            click(button);
            QCOMPARE(page(), index);
            QCOMPARE(visibleButtons(), visible);
            QCOMPARE(dlg->size(), size);
            QCOMPARE(dlg->pos(), pos);
        }
    }

    void nameCheck_data()
    {
        QTest::addColumn<bool>("add");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("warning");
        const QString threeBytes(QChar(0x4e2d));
        QTest::newRow("empty") << true << ""
                               << "Please enter the name of the TV wall!";
        QTest::newRow("7 x 3 bytes") << true << threeBytes.repeated(7)
                                     << "TV-wall name cannot be longer than 20 characters!";
        QTest::newRow("6 x 3 bytes") << true << threeBytes.repeated(6) << "";
        QTest::newRow("taken") << true << "Hall"
                               << "The TV wall name already exists!";
        QTest::newRow("other case") << true << "hall"
                                    << "";
        QTest::newRow("edit: own name") << false << "Lobby"
                                        << "";
        QTest::newRow("edit: other wall's") << false << "Hall"
                                            << "TV wall name already exists, please reenter!";
    }

    void nameCheck()
    {
        QFETCH(bool, add);
        QFETCH(QString, name);
        QFETCH(QString, warning);
        bool passed = false;
        if (add) {
            open({Main}, {"Lobby", "Hall"});
            dlg->findChild<QLineEdit*>("tvWallNameEdit")->setText(name); // keyClicks types Latin-1 only
            click("nextStepBtn");
            passed = page() == 1 && dlg->findChild<QLineEdit*>("tvWallNamePreviewEdit")->text() == name;
        } else {
            openEdit(stored(), {"Lobby", "Hall"});
            dlg->findChild<QLineEdit*>("tvWallNamePreviewEdit")->setText(name);
            passed = answered(dlg.get(), "saveForEditBtn", false); // the save asks only for a good name
        }
        QCOMPARE(passed, warning.isEmpty());
        QCOMPARE(lastAlert(), warning.isEmpty() ? QString() : "warning: " + warning);
    }

    void saveSendsTheGridAndCloses()
    {
        toBindingPage({out(3), Single, out(1)});
        click("saveBtn");
        QCOMPARE(lastAlert(), Unbound);
        bind(3, out(4));
        QVERIFY(answered(dlg.get(), "saveBtn", true));
        QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(lastAlert(), "success: Set the TV wall successfully!");
        const TvWallManagement wall = dlg->tvWallResult();
        QCOMPARE(wall.tvWallName + " " + wall.mainIp, "Atrium " + Main);
        const QString sent = "192.0.2.10/3@0,0 192.0.2.11/1@0,1 192.0.2.10/1@1,0 192.0.2.10/4@1,1";
        QCOMPARE(layoutOf(wall.matrixInfoList), sent);
        QCOMPARE(held(), "Atrium " + sent);
    }

    // The question before a save is a real choice: "no" sends nothing and leaves the dialog where it was.
    void declinedSaveSendsNothing_data()
    {
        QTest::addColumn<bool>("add");
        QTest::newRow("add: binding page") << true;
        QTest::newRow("edit: preview") << false;
    }
    void declinedSaveSendsNothing()
    {
        QFETCH(bool, add);
        ServiceSpy results(&MatrixSdkWorker::signalSetLayoutResult);
        if (add)
            toBindingPage(outputs.mid(0, 4));
        else
            openEdit(stored(), {"Lobby"});
        const int shownPage = page();
        QVERIFY(answered(dlg.get(), add ? "saveBtn" : "saveForEditBtn", false));
        // A layout sent would have reached the decoder, and its result left the service, by now.
        settle();
        settle();
        QVERIFY(held().startsWith(Lobby));
        QCOMPARE(results.count(), 0);
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        QCOMPARE(page(), shownPage);
        QVERIFY(dlg->isVisible());
        QVERIFY(alerts->isEmpty());
    }

    // Walls that are not square: a row taken for a column anywhere puts a screen in another's place.
    void editShowsEachScreenInItsPlace_data() { nonSquareGrids(); }
    void editShowsEachScreenInItsPlace()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        openEdit(nonSquare(rows, cols), {"Lobby"});
        for (const char* owner : {"bindingMatrixWt", "adjustScreenWt"}) {
            ScreenLayoutWt* screens = view(dlg.get(), owner);
            QCOMPARE(screens->screenCount(), rows * cols);
            for (int r = 0; r < rows; ++r) {
                for (int c = 0; c < cols; ++c)
                    QCOMPARE(screens->screen(r * cols + c)->labelText(),
                             QStringLiteral("%1-%2: %3").arg(r + 1).arg(c + 1).arg(outputAt(r, c, cols)));
            }
        }
    }

    void addSendsEachScreenInItsPlace_data() { nonSquareGrids(); }
    void addSendsEachScreenInItsPlace()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(QString, split);
        QVERIFY(FleetProbe::connect(Control));
        open({Control}, {}, controlOutputs(16));
        QTest::keyClicks(dlg->findChild<QLineEdit*>("tvWallNameEdit"), "Atrium");
        click("nextStepBtn");
        click("nextStepBtn");
        clickIn(dlg.get(), "bindingMatrixWt", qPrintable(split));
        QCOMPARE(view(dlg.get(), "bindingMatrixWt")->screenCount(), rows * cols);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c)
                bind(r * cols + c, outputAt(r, c, cols));
        }
        QVERIFY(answered(dlg.get(), "saveBtn", true));
        QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
        const pral_matrix::DecoderBackend::Layout sent = fleet.wall(Control);
        QCOMPARE(QStringLiteral("%1 %2x%3").arg(sent.name).arg(sent.rows).arg(sent.cols),
                 QStringLiteral("Atrium %1x%2").arg(rows).arg(cols));
        QCOMPARE(layoutOf(sent.screens), nonSquareLayout(rows, cols));
        // Every layout the wizard sends is of the multi-output kind.
        QCOMPARE(sent.mainType, int(pral_matrix::MATRIX_TYPE_MULTI_OUTPUT));
        const TvWallManagement wall = dlg->tvWallResult();
        QCOMPARE(QStringLiteral("%1x%2").arg(wall.row).arg(wall.col),
                 QStringLiteral("%1x%2").arg(rows).arg(cols));
        QCOMPARE(layoutOf(wall.matrixInfoList), nonSquareLayout(rows, cols));
    }

    void bindingPageSaveKeepsEachScreenInItsPlace_data() { nonSquareGrids(); }
    void bindingPageSaveKeepsEachScreenInItsPlace()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        QVERIFY(FleetProbe::connect(Control));
        openEdit(nonSquare(rows, cols), {"Lobby"});
        clickIn(dlg.get(), "previewWt", "editBtn");
        // The first and the last screen change places.
        const int last = rows * cols - 1;
        bind(0, outputAt(rows - 1, cols - 1, cols));
        bind(last, outputAt(0, 0, cols));
        click("saveForEditBtn");
        QCOMPARE(page(), 3);
        const TvWallManagement kept = dlg->tvWallResult();
        QCOMPARE(QStringLiteral("%1x%2").arg(kept.row).arg(kept.col),
                 QStringLiteral("%1x%2").arg(rows).arg(cols));
        QCOMPARE(kept.matrixInfoList.size(), rows * cols);
        QStringList places;
        for (int i = 0; i < kept.matrixInfoList.size(); ++i) {
            const MatrixInfo& s = kept.matrixInfoList.at(i);
            places << QStringLiteral("%1@%2,%3").arg(s.ip).arg(s.row).arg(s.column);
        }
        QStringList expected;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                const int i = r * cols + c;
                const QString id = i == 0      ? outputAt(rows - 1, cols - 1, cols)
                                   : i == last ? outputAt(0, 0, cols)
                                               : outputAt(r, c, cols);
                expected << QStringLiteral("%1@%2,%3").arg(id).arg(r).arg(c);
            }
        }
        QCOMPARE(places, expected);

        // Saved from the preview, the same places reach the decoder.
        QVERIFY(answered(dlg.get(), "saveForEditBtn", true));
        QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
        QStringList sent;
        for (const MatrixInfo& s : fleet.wall(Control).screens)
            sent << QStringLiteral("%1-%2@%3,%4").arg(s.ip).arg(s.channel).arg(s.row).arg(s.column);
        QCOMPARE(sent, expected);
    }

    void refusedLayoutKeepsTheDialog()
    {
        FleetProbe::worker().faults().failLayout(Main, -7);
        toBindingPage(outputs.mid(0, 4));
        QVERIFY(answered(dlg.get(), "saveBtn", false)); // declined: nothing goes out
        QVERIFY(answered(dlg.get(), "saveBtn", true));
        QTRY_COMPARE(lastAlert(), "warning: Failed to set the TV wall,ret = -7!");
        QVERIFY(dlg->isVisible());
        // A result nobody asked for does not close the wizard.
        runOnServiceThread([] { emit FleetProbe::worker().signalSetLayoutResult(0); });
        QVERIFY(dlg->isVisible());
        FleetProbe::worker().faults().clear();
        QVERIFY(held().startsWith(Lobby));
        QVERIFY(answered(dlg.get(), "saveBtn", true));
        QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
        QVERIFY(held().startsWith("Atrium"));
    }

    void bindingPageSaveAndCancel()
    {
        openEdit(stored({{Main, 2}, {Single, 0}, {Main, 1}, {Main, 4}}), {"Lobby"});
        QCOMPARE(page(), 3);
        QCOMPARE(dlg->findChild<QLabel*>("mainDecoder")->text(), Main);
        for (const char* owner : {"bindingMatrixWt", "adjustScreenWt"})
            QCOMPARE(view(dlg.get(), owner)->screen(1)->labelText(), "1-2: " + Single);
        const QPoint start = dlg->pos();
        clickIn(dlg.get(), "previewWt", "editBtn");
        QCOMPARE(dlg->windowTitle() + QString::number(page()), QStringLiteral("binding set2"));
        QCOMPARE(dlg->geometry(), QRect(start - QPoint(200, 150), QSize(1220, 740)));
        bind(1, out(2)); // takes the output off screen 0
        click("saveForEditBtn");
        QCOMPARE(lastAlert(), Unbound);
        click("cancelForEditBtn");
        QCOMPARE(page(), 3);
        QCOMPARE(dlg->geometry(), QRect(start, QSize(820, 440)));
        QCOMPARE(view(dlg.get(), "bindingMatrixWt")->screen(1)->labelText(), "1-2: " + out(2)); // kept

        clickIn(dlg.get(), "previewWt", "editBtn");
        bind(0, out(3));
        click("saveForEditBtn");
        QCOMPARE(dlg->windowTitle() + QString::number(page()), QStringLiteral("Edit a TV Wall3"));
        QVERIFY(answered(dlg.get(), "saveForEditBtn", true));
        QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(layoutOf(dlg->tvWallResult().matrixInfoList),
                 "192.0.2.10/3@0,0 192.0.2.10/2@0,1 192.0.2.10/1@1,0 192.0.2.10/4@1,1");
    }

    void editListsOutputsAtOnceUnderTheName()
    {
        openEdit(stored(), {"Lobby"});
        auto* list = dlg->findChild<QWidget*>("bindingMatrixWt")->findChild<QTreeWidget*>("rsTreeWidget");
        const auto listed = [list] {
            QStringList ids;
            for (int i = 0; list->topLevelItemCount() == 1 && i < list->topLevelItem(0)->childCount(); ++i)
                ids << static_cast<pral_base::TreeItem*>(list->topLevelItem(0)->child(i))->getId();
            return ids;
        };
        QCOMPARE(listed(), outputs);
        auto* name = dlg->findChild<QLineEdit*>("tvWallNamePreviewEdit");
        name->clear();
        QTest::keyClicks(name, "Atrium");
        QCOMPARE(listed(), outputs);
        clickIn(dlg.get(), "previewWt", "editBtn");
        QTRY_VERIFY(qobject_cast<ConnectMatrixItem*>(list->itemWidget(list->topLevelItem(0), 0)));
        QCOMPARE(qobject_cast<ConnectMatrixItem*>(list->itemWidget(list->topLevelItem(0), 0))->text(),
                 QStringLiteral("Atrium"));
    }

    void adjustPageSceneAndColours_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<int>("putBack"); // colour requests that leaving the page sends
        QTest::newRow("save") << "saveForEditBtn" << true << 0;
        QTest::newRow("cancel, confirmed") << "cancelForEditBtn" << true << 1;
        QTest::newRow("cancel, declined") << "cancelForEditBtn" << false << 0;
        QTest::newRow("escape, confirmed") << "" << true << 1; // not a bare reject: the scene goes too
    }

    void adjustPageSceneAndColours()
    {
        QFETCH(QString, button);
        QFETCH(bool, confirm);
        QFETCH(int, putBack);
        openEdit(stored(), {"Lobby"});
        clickIn(dlg.get(), "previewWt", "adjustBtn");
        QCOMPARE(dlg->windowTitle() + QString::number(page()), QStringLiteral("Adjust Screen4"));
        // A test picture opens a window; leaving the page brings back the scene saved on entering it.
        const int before = fleet.windows(Main).size();
        dlg->findChild<QComboBox*>("showcontentscomBox")->setCurrentIndex(2);
        QCOMPARE(fleet.windows(Main).size(), before + 1);
        QTest::mouseClick(view(dlg.get(), "adjustScreenWt")->screen(0), Qt::LeftButton);
        settle();
        dlg->findChild<QSlider*>("brightSlider")->setValue(30);
        QCOMPARE(fleet.color(Main, 1, 1).brightness, 30);

        ServiceSpy sets(&MatrixSdkWorker::signalMatrixSetScreenColorResult);
        if (button.isEmpty()) {
            ModalAnswerer yes("PCOMMON::PMessageBox",
                              [](QWidget* box) { ModalAnswerer::clickButton(box, "okBtn"); });
            QTest::keyClick(dlg.get(), Qt::Key_Escape);
            QVERIFY(yes.answered());
        } else {
            QCOMPARE(answered(dlg.get(), button.toLatin1(), confirm), button == "cancelForEditBtn");
        }
        settle();
        QCOMPARE(sets.count(), putBack);
        if (putBack)
            QCOMPARE(fleet.color(Main, 1, 1).brightness, 87);
        QCOMPARE(dlg->windowTitle() + QString::number(page()), QStringLiteral("Edit a TV Wall3"));
        QCOMPARE(fleet.windows(Main).size(), before);
        // Scene 6 is gone: restoring it no longer takes away a window opened since.
        const CMHandle handle = FleetProbe::worker().getHandleByIp(Main);
        pral_matrix::MatrixWindowInfo window;
        window.width = window.height = 32768;
        FleetProbe::worker().addWindowInfo(handle, window);
        FleetProbe::worker().restoreMatrixScene(handle, 6);
        QCOMPARE(fleet.windows(Main).size(), before + 1);
    }

    // Back to video is back to the scene saved on entering the page, not merely the end of the picture.
    void videoPreviewBringsBackTheSavedScene()
    {
        openEdit(stored(), {"Lobby"});
        const int before = fleet.windows(Main).size();
        clickIn(dlg.get(), "previewWt", "adjustBtn");
        auto* contents = dlg->findChild<QComboBox*>("showcontentscomBox");
        contents->setCurrentIndex(6);
        QCOMPARE(fleet.windows(Main).size(), before + 1);
        contents->setCurrentIndex(0);
        QCOMPARE(fleet.windows(Main).size(), before);
        QCOMPARE(page(), 4);
        // The scene stays until the page is left: a second picture and video again come back to it too.
        contents->setCurrentIndex(1);
        QCOMPARE(fleet.windows(Main).size(), before + 1);
        contents->setCurrentIndex(0);
        QCOMPARE(fleet.windows(Main).size(), before);
    }

    void mainDecoderDropsDuringAdjustment()
    {
        openEdit(stored(), {"Lobby"});
        clickIn(dlg.get(), "previewWt", "adjustBtn");
        FleetProbe::worker().dropConnection(Main);
        QTRY_VERIFY(FleetProbe::worker().getHandleByIp(Main).isNull());
        QVERIFY(answered(dlg.get(), "cancelForEditBtn", true));
        QCOMPARE(page(), 3);
        QVERIFY(answered(dlg.get(), "saveForEditBtn", true));
        QTRY_VERIFY(lastAlert().startsWith("warning: Failed to set the TV wall,ret = "));
        QVERIFY(dlg->isVisible());
    }

    void cancelOnEveryPage_data()
    {
        QTest::addColumn<QStringList>("decoders");
        QTest::addColumn<int>("steps"); // -1: the edit mode's preview
        QTest::addColumn<int>("page");
        QTest::newRow("name") << QStringList{Main} << 0 << 0;
        QTest::newRow("main decoder") << QStringList{Main} << 1 << 1;
        QTest::newRow("binding") << QStringList{Main} << 2 << 2;
        // An empty main-decoder choice keeps the wizard where it is, without a message.
        QTest::newRow("no main decoder to choose") << QStringList() << 2 << 1;
        QTest::newRow("edit preview") << QStringList() << -1 << 3;
    }

    void cancelOnEveryPage()
    {
        QFETCH(QStringList, decoders);
        QFETCH(int, steps);
        QFETCH(int, page);
        steps < 0 ? openEdit(stored(), {"Lobby"}) : open(decoders);
        QTest::keyClicks(dlg->findChild<QLineEdit*>("tvWallNameEdit"), "Atrium");
        for (int i = 0; i < steps; ++i)
            click("nextStepBtn");
        QCOMPARE(this->page(), page);
        QVERIFY(alerts->isEmpty());
        click(steps < 0 ? "cancelForEditBtn" : "cancelBtn");
        QCOMPARE(dlg->result(), int(QDialog::Rejected));
        QVERIFY(!dlg->isVisible());
        QVERIFY(held().startsWith(Lobby));
    }

private:
    static void nonSquareGrids()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<QString>("split"); // the binding page's button for that grid
        QTest::newRow("2 x 3") << 2 << 3 << "split6Btn";
        QTest::newRow("3 x 4") << 3 << 4 << "split12Btn";
    }
    void open(const QStringList& decoders, const QStringList& names = {}, const QStringList& offered = {})
    {
        dlg = std::make_unique<AddMatrixDlg>(decoders, offered.isEmpty() ? outputs : offered, names, true,
                                             TvWallManagement());
        dlg->show();
    }
    void openEdit(const TvWallManagement& wall, const QStringList& names)
    {
        dlg = std::make_unique<AddMatrixDlg>(QStringList(), outputs, names, false, wall);
        dlg->show();
    }
    void toBindingPage(const QStringList& bound)
    {
        open({Main, Single});
        QTest::keyClicks(dlg->findChild<QLineEdit*>("tvWallNameEdit"), "Atrium");
        click("nextStepBtn");
        click("nextStepBtn");
        for (int i = 0; i < bound.size(); ++i)
            bind(i, bound.at(i));
    }
    void bind(int screen, const QString& outputId)
    {
        QVERIFY(drop(view(dlg.get(), "bindingMatrixWt")->screen(screen), "3~" + outputId.toLocal8Bit()));
    }
    void click(const char* button) { clickIn(dlg.get(), "widget_bottom", button); }
    int page() const { return dlg->findChild<QStackedWidget*>("stackedWidget")->currentIndex(); }
    QString visibleButtons() const
    {
        QStringList shown;
        for (const char* b : {"lastStepBtn", "nextStepBtn", "saveBtn", "cancelBtn"}) {
            if (part(dlg.get(), "widget_bottom")->findChild<QPushButton*>(b)->isVisible())
                shown << QString(b).remove(QRegularExpression("(Step)?Btn"));
        }
        return shown.join(' ');
    }
    QString lastAlert() const
    {
        return alerts->isEmpty() ? QString()
                                 : alerts->last().at(0).toString() + ": " + alerts->last().at(1).toString();
    }
    QString held() const
    {
        const auto wall = fleet.wall(Main);
        return wall.name + " " + layoutOf(wall.screens);
    }
};

QTEST_MAIN(TestAddMatrixDlg)
#include "tst_addmatrixdlg.moc"
