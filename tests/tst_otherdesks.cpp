// Other desks change the walls this desk keeps. In one process on the simulated fleet: how two versions of a
// wall differ screen by screen, the dialog that shows it with its three choices, the wizard that reads the
// main decoder before it sends anything and reads it back after, and the tree's mark on a wall that a
// connection found changed. (Two real desks against one daemon: tst_twodesks.)

#include "addmatrixdlg.h"
#include "connectmatrixitem.h"
#include "disabledwaitingwtmanager.h"
#include "highdpi.h"
#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "screenwt.h"
#include "servicespy.h"
#include "simulatedfleet.h"
#include "walldifference.h"
#include "walldifferencedlg.h"
#include "wizardtesthelpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace pral_matrixConfig;
using namespace wiz;
using pral_matrix::DecoderWallCopy;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;
using pral_worker::SystemAssistant;

namespace {

const QString Main = QStringLiteral("192.0.2.10"); // four outputs
const QString Single = QStringLiteral("192.0.2.11");
const QString Eight = QStringLiteral("192.0.2.12");
const char* const DifferenceClass = "pral_matrixConfig::WallDifferenceDlg";

/**
 * A wall from "NAME RxC OUT OUT ...": the outputs row by row, "10-3" for output 3 of 192.0.2.10, "11" for
 * the single-output decoder 192.0.2.11, "-" for a screen without one. "none" is no wall at all.
 */
TvWallManagement wallOf(const QString& text, bool typed = true)
{
    TvWallManagement wall;
    if (text == QLatin1String("none"))
        return wall;
    const QStringList words = text.split(QLatin1Char(' '));
    wall.tvWallName = words.at(0);
    wall.mainIp = Main;
    wall.row = words.at(1).section('x', 0, 0).toInt();
    wall.col = words.at(1).section('x', 1, 1).toInt();
    for (int i = 2; i < words.size(); ++i) {
        MatrixInfo screen;
        screen.row = (i - 2) / wall.col;
        screen.column = (i - 2) % wall.col;
        const QString& w = words.at(i);
        if (w != QLatin1String("-")) {
            screen.ip = QStringLiteral("192.0.2.") + w.section('-', 0, 0);
            screen.channel = w.contains('-') ? w.section('-', 1).toInt() : 1;
            // The wizard sends no kinds; a decoder reports them.
            if (typed)
                screen.matrixType = w.contains('-') ? pral_matrix::MATRIX_TYPE_MULTI_OUTPUT
                                                    : pral_matrix::MATRIX_TYPE_SINGLE_OUTPUT;
        }
        wall.matrixInfoList << screen;
    }
    return wall;
}

QString describe(const WallDifference::Screen& s)
{
    static const char* const kinds[] = {"unchanged", "bound", "unbound", "moved"};
    QString text =
        QStringLiteral("%1-%2 %3 %4").arg(s.row + 1).arg(s.column + 1).arg(kinds[s.kind], s.output);
    if (s.kind == WallDifference::Moved)
        text += QStringLiteral(" from %1-%2").arg(s.fromRow + 1).arg(s.fromColumn + 1);
    return text;
}

/** What the default fleet's main decoder holds at first, as a takeover stores it. */
const QString Initial = QStringLiteral("Lobby_wall 2x2 10-1 10-2 11 12-1");

/** "name rxc ip/channel ..." of a wall, row by row, for comparisons with one message. */
QString layoutText(const TvWallManagement& wall)
{
    QMap<QPair<int, int>, QString> cells;
    for (const MatrixInfo& s : wall.matrixInfoList)
        cells.insert({s.row, s.column},
                     s.ip.isEmpty() ? QStringLiteral("-") : QStringLiteral("%1/%2").arg(s.ip).arg(s.channel));
    return QStringLiteral("%1 %2x%3 ").arg(wall.tvWallName).arg(wall.row).arg(wall.col) +
           QStringList(cells.values()).join(' ');
}

QString layoutText(const pral_matrix::DecoderBackend::Layout& layout)
{
    TvWallManagement wall;
    wall.tvWallName = layout.name;
    wall.row = layout.rows;
    wall.col = layout.cols;
    wall.matrixInfoList = layout.screens;
    return layoutText(wall);
}

} // namespace

class TestOtherDesks : public QObject
{
    Q_OBJECT

    mgmt::Fixture fx;
    FleetProbe fleet;
    std::unique_ptr<QSignalSpy> alerts;
    std::unique_ptr<AddMatrixDlg> dlg;
    std::unique_ptr<MatrixConfigForm> form;

private slots:
    void init()
    {
        QVERIFY(fx.setUp());
        QVERIFY(fleet.install());
        alerts = std::make_unique<QSignalSpy>(&SystemAssistant::_instance(), &SystemAssistant::signalAlert);
    }

    void cleanup()
    {
        dlg.reset();
        form.reset();
        FleetProbe::worker().disconnectAllMatrix();
        fx.tearDown();
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // ---- the difference, screen by screen ----

    void differenceScreenByScreen_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<int>("unchanged");
        const QString full = QStringLiteral("Lobby 2x2 10-1 10-2 10-3 10-4");
        QTest::newRow("unchanged") << full << full << QStringList() << 4;
        QTest::newRow("bound") << "Lobby 2x2 10-1 - 10-3 10-4" << full
                               << QStringList{"1-2 bound 192.0.2.10-2"} << 3;
        QTest::newRow("unbound") << full << "Lobby 2x2 10-1 10-2 - 10-4"
                                 << QStringList{"2-1 unbound 192.0.2.10-3"} << 3;
        QTest::newRow("moved") << full << "Lobby 2x2 10-4 10-2 10-3 10-1"
                               << QStringList{"1-1 moved 192.0.2.10-4 from 2-2",
                                              "2-2 moved 192.0.2.10-1 from 1-1"}
                               << 2;
        QTest::newRow("replaced") << full << "Lobby 2x2 12-5 10-2 10-3 10-4"
                                  << QStringList{"1-1 bound 192.0.2.12-5", "1-1 unbound 192.0.2.10-1"} << 3;
        // Screens are places: the same row and column in a larger grid is the same screen.
        QTest::newRow("grid grows") << full << "Lobby 2x3 10-1 10-2 11 10-3 10-4 -"
                                    << QStringList{"1-3 bound 192.0.2.11"} << 4;
        QTest::newRow("renamed only") << full << "Hall 2x2 10-1 10-2 10-3 10-4" << QStringList() << 4;
        QTest::newRow("decoder holds none")
            << full << "none"
            << QStringList{"1-1 unbound 192.0.2.10-1", "1-2 unbound 192.0.2.10-2", "2-1 unbound 192.0.2.10-3",
                           "2-2 unbound 192.0.2.10-4"}
            << 0;
        QTest::newRow("never seen") << "none"
                                    << "Lobby 1x2 10-1 11"
                                    << QStringList{"1-1 bound 192.0.2.10-1", "1-2 bound 192.0.2.11"} << 0;
        QTest::newRow("an output on a second screen")
            << full << "Lobby 2x2 10-1 10-1 10-3 10-4"
            << QStringList{"1-2 bound 192.0.2.10-1", "1-2 unbound 192.0.2.10-2"} << 3;
    }

    void differenceScreenByScreen()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QStringList, changes);
        QFETCH(int, unchanged);
        const WallDifference d = WallDifference::between(wallOf(before), wallOf(after));
        QStringList shown;
        for (const WallDifference::Screen& s : d.screens) {
            if (s.kind != WallDifference::Unchanged)
                shown << describe(s);
        }
        QCOMPARE(shown, changes);
        QCOMPARE(d.unchangedScreens(), unchanged);
        // A screen whose output was replaced is one changed screen, not two.
        QSet<QString> changedPlaces;
        for (const QString& change : changes)
            changedPlaces.insert(change.section(' ', 0, 0));
        QCOMPARE(d.changedScreens(), changedPlaces.size());
        const bool renamed = wallOf(before).tvWallName != wallOf(after).tvWallName;
        QCOMPARE(d.nameChanged(), renamed);
        QCOMPARE(WallDifference::sameWall(wallOf(before), wallOf(after)),
                 changes.isEmpty() && !renamed && !d.gridChanged());
        QCOMPARE(d.isEmpty(), WallDifference::sameWall(wallOf(before), wallOf(after)));
    }

    // What the wizard sent and what the decoder reports back name the same outputs differently: no kinds,
    // the bare address as output 1, and the screens in another order.
    void decoderRecordOfTheSameWallIsTheSame()
    {
        TvWallManagement sent = wallOf(QStringLiteral("Lobby 2x2 10-1 11 10-3 12-2"), false);
        std::reverse(sent.matrixInfoList.begin(), sent.matrixInfoList.end());
        const TvWallManagement reported = wallOf(QStringLiteral("Lobby 2x2 10-1 11 10-3 12-2"));
        QVERIFY(WallDifference::sameWall(sent, reported));
        QVERIFY(WallDifference::between(reported, sent).isEmpty());
        QVERIFY(!WallDifference::sameWall(sent, wallOf(QStringLiteral("Lobby 2x2 10-1 11 10-3 12-3"))));
    }

    // ---- the dialog and its choices ----

    void dialogShowsTheChangesAndTakesOneChoice_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("result");
        QTest::newRow("overwrite") << "overwriteBtn" << int(WallDifferenceDlg::Overwrite)
                                   << int(QDialog::Accepted);
        QTest::newRow("take the decoder's")
            << "takeBtn" << int(WallDifferenceDlg::TakeDecoders) << int(QDialog::Accepted);
        QTest::newRow("cancel") << "cancelBtn" << int(WallDifferenceDlg::Cancel) << int(QDialog::Rejected);
        QTest::newRow("title bar's close")
            << "closeBt" << int(WallDifferenceDlg::Cancel) << int(QDialog::Rejected);
        QTest::newRow("escape") << "" << int(WallDifferenceDlg::Cancel) << int(QDialog::Rejected);
    }

    void dialogShowsTheChangesAndTakesOneChoice()
    {
        QFETCH(QString, button);
        QFETCH(int, choice);
        QFETCH(int, result);
        WallDifferenceDlg dialog(Main, wallOf(QStringLiteral("Lobby 2x2 10-1 10-2 10-3 10-4")),
                                 wallOf(QStringLiteral("Hall 2x3 10-2 10-1 11 10-3 - -")));
        QStringList rows;
        QString summary;
        ModalAnswerer answer(DifferenceClass, [&](QWidget* shown) {
            rows = static_cast<WallDifferenceDlg*>(shown)->shownRows();
            summary = shown->findChild<QLabel*>("summaryLabel")->text();
            if (button.isEmpty())
                QTest::keyClick(shown, Qt::Key_Escape);
            else
                QTest::mouseClick(shown->findChild<QPushButton*>(button), Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), result);
        QVERIFY(answer.answered());
        QCOMPARE(int(dialog.choice()), choice);
        QCOMPARE(rows, (QStringList{"1-1 | moved | 192.0.2.10-2, from screen 1-2",
                                    "1-2 | moved | 192.0.2.10-1, from screen 1-1", "1-3 | bound | 192.0.2.11",
                                    "2-2 | unbound | 192.0.2.10-4"}));
        QCOMPARE(summary, QStringLiteral("Name: \"Lobby\" became \"Hall\". Screens: 2 x 2 became 2 x 3."));
    }

    // Taking "nothing" would leave the desk without its wall and the screens without a layout.
    void nothingToTakeFromADecoderWithoutAWall()
    {
        WallDifferenceDlg dialog(Main, wallOf(QStringLiteral("Lobby 1x2 10-1 10-2")), wallOf("none"));
        QVERIFY(!dialog.findChild<QPushButton*>("takeBtn")->isEnabled());
        QVERIFY(dialog.findChild<QPushButton*>("overwriteBtn")->isEnabled());
        QVERIFY(dialog.findChild<QLabel*>("introLabel")
                    ->text()
                    .contains("no longer holds the TV wall \"Lobby\""));
        QCOMPARE(dialog.shownRows(),
                 (QStringList{"1-1 | unbound | 192.0.2.10-1", "1-2 | unbound | 192.0.2.10-2"}));
    }

    // ---- the wizard: read before sending, read back after ----

    void unchangedDecoderIsSavedWithoutAsking()
    {
        QVERIFY(FleetProbe::connect(Main));
        QCOMPARE(fleet.setWall(Main, wallOf(Initial)), 0);
        openEdit(wallOf(Initial));
        bind(3, Main + "-4");
        ModalAnswerer difference(
            DifferenceClass, [](QWidget* shown) { shown->close(); }, 3000);
        QVERIFY(answered(dlg.get(), "saveForEditBtn", true));
        QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
        const QString mine = "Lobby_wall 2x2 192.0.2.10/1 192.0.2.10/2 192.0.2.11/1 192.0.2.10/4";
        QCOMPARE(layoutText(fleet.wall(Main)), mine);
        QVERIFY(!difference.answered());
        QCOMPARE(texts(), QStringList{"success: Set the TV wall successfully!"});
        // The copy is the decoder's own record of what it took.
        const DecoderWallCopy copy = dlg->decoderCopyResult();
        QVERIFY(copy.kept && !copy.changedOnDecoder);
        QCOMPARE(layoutText(copy.wall), mine);
        QCOMPARE(copy.wall.matrixInfoList.at(2).matrixType, pral_matrix::MATRIX_TYPE_SINGLE_OUTPUT);
    }

    void otherDeskChangeIsShownBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("alert");
        const QString theirs = "Desk_2 2x2 192.0.2.10/2 192.0.2.10/1 192.0.2.11/1 192.0.2.12/1";
        QTest::newRow("overwrite") << "overwriteBtn" << true
                                   << "Lobby_wall 2x2 192.0.2.10/1 192.0.2.10/2 192.0.2.11/1 192.0.2.10/4"
                                   << "success: Set the TV wall successfully!";
        QTest::newRow("take the decoder's")
            << "takeBtn" << true << theirs
            << "notice: The TV wall \"Desk_2\" is taken as decoder 192.0.2.10 holds it; nothing was sent.";
        QTest::newRow("cancel") << "cancelBtn" << false << theirs << "";
    }

    void otherDeskChangeIsShownBeforeAnythingIsSent()
    {
        QFETCH(QString, button);
        QFETCH(bool, closes);
        QFETCH(QString, held);
        QFETCH(QString, alert);
        QVERIFY(FleetProbe::connect(Main));
        // Another desk swaps two outputs and renames the wall after this desk last saw it.
        QCOMPARE(fleet.setWall(Main, wallOf(QStringLiteral("Desk_2 2x2 10-2 10-1 11 12-1"))), 0);
        openEdit(wallOf(Initial));
        bind(3, Main + "-4");
        ServiceSpy sent(&MatrixSdkWorker::signalSetLayoutResult);

        QStringList rows;
        QString heldWhileAsked;
        int sentWhileAsked = -1;
        ModalAnswerer difference(DifferenceClass, [&](QWidget* shown) {
            rows = static_cast<WallDifferenceDlg*>(shown)->shownRows();
            heldWhileAsked = layoutText(fleet.wall(Main));
            sentWhileAsked = sent.count();
            QTest::mouseClick(shown->findChild<QPushButton*>(button), Qt::LeftButton);
        });
        QVERIFY(answered(dlg.get(), "saveForEditBtn", true));
        QTRY_VERIFY(difference.answered());
        // What the other desk changed, shown while the decoder still holds it and nothing has gone out.
        QCOMPARE(rows, (QStringList{"1-1 | moved | 192.0.2.10-2, from screen 1-2",
                                    "1-2 | moved | 192.0.2.10-1, from screen 1-1"}));
        QCOMPARE(heldWhileAsked, "Desk_2 2x2 192.0.2.10/2 192.0.2.10/1 192.0.2.11/1 192.0.2.12/1");
        QCOMPARE(sentWhileAsked, 0);

        if (closes) {
            QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
            QCOMPARE(layoutText(dlg->tvWallResult()), held);
            QCOMPARE(layoutText(dlg->decoderCopyResult().wall), held);
        } else {
            settle();
            QVERIFY(dlg->isVisible());
            QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
            // The next save reads the decoder again and asks again.
            ModalAnswerer again(DifferenceClass, [](QWidget* shown) {
                QTest::mouseClick(shown->findChild<QPushButton*>("cancelBtn"), Qt::LeftButton);
            });
            QVERIFY(answered(dlg.get(), "saveForEditBtn", true));
            QTRY_VERIFY(again.answered());
        }
        settle();
        QCOMPARE(layoutText(fleet.wall(Main)), held);
        QCOMPARE(sent.count(), button == "overwriteBtn" ? 1 : 0);
        QCOMPARE(texts().join('\n'), alert);
    }

    // A new wall on a main decoder this desk keeps no wall on is compared with no wall at all: a wall
    // another desk put there is shown before it is replaced.
    void newWallOverAWallThisDeskNeverSaw()
    {
        QVERIFY(FleetProbe::connect(Main));
        QCOMPARE(fleet.setWall(Main, wallOf(QStringLiteral("Desk_2 1x2 10-1 11"))), 0);
        QStringList outputs{Single};
        for (int n = 1; n <= 4; ++n)
            outputs << QStringLiteral("%1-%2").arg(Main).arg(n);
        dlg = std::make_unique<AddMatrixDlg>(QStringList{Main}, outputs, QStringList(), true,
                                             TvWallManagement());
        dlg->setWallsSeenOnDecoders({{Eight, wallOf(Initial)}});
        dlg->show();
        QTest::keyClicks(dlg->findChild<QLineEdit*>("tvWallNameEdit"), "Atrium");
        clickIn(dlg.get(), "widget_bottom", "nextStepBtn");
        clickIn(dlg.get(), "widget_bottom", "nextStepBtn");
        for (int i = 0; i < 4; ++i)
            bind(i, QStringLiteral("%1-%2").arg(Main).arg(i + 1));
        QString intro;
        QStringList rows;
        ModalAnswerer difference(DifferenceClass, [&](QWidget* shown) {
            intro = shown->findChild<QLabel*>("introLabel")->text();
            rows = static_cast<WallDifferenceDlg*>(shown)->shownRows();
            QTest::mouseClick(shown->findChild<QPushButton*>("overwriteBtn"), Qt::LeftButton);
        });
        QVERIFY(answered(dlg.get(), "saveBtn", true));
        QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(intro,
                 "The main decoder 192.0.2.10 holds the TV wall \"Desk_2\", which this desk has not seen. "
                 "Nothing has been sent yet.");
        QCOMPARE(rows, (QStringList{"1-1 | bound | 192.0.2.10-1", "1-2 | bound | 192.0.2.11"}));
        QCOMPARE(layoutText(fleet.wall(Main)),
                 "Atrium 2x2 192.0.2.10/1 192.0.2.10/2 192.0.2.10/3 192.0.2.10/4");
    }

    void readBackReportsWhatTheDecoderStored_data()
    {
        QTest::addColumn<bool>("overwritten");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("warning");
        QTest::newRow("another desk saved right after")
            << true << "Desk_2 2x2 192.0.2.10/1 192.0.2.10/3 192.0.2.11/1 192.0.2.12/1"
            << "warning: Decoder 192.0.2.10 stored another TV wall than the one sent: named \"Desk_2\", 2 "
               "screen(s) bound otherwise. The page shows the TV wall as the decoder holds it.";
        QTest::newRow("the read back fails")
            << false << "Lobby_wall 2x2 192.0.2.10/1 192.0.2.10/2 192.0.2.11/1 192.0.2.10/4"
            << "warning: The TV wall could not be read back from decoder 192.0.2.10: whether it holds what "
               "was sent is not known.";
    }

    void readBackReportsWhatTheDecoderStored()
    {
        QFETCH(bool, overwritten);
        QFETCH(QString, result);
        QFETCH(QString, warning);
        QVERIFY(FleetProbe::connect(Main));
        QCOMPARE(fleet.setWall(Main, wallOf(Initial)), 0);
        openEdit(wallOf(Initial));
        bind(3, Main + "-4");
        // Runs on the service thread as the layout's result leaves it, before the wizard reads back.
        pral_matrix::SimulatedFleet* model = fleet.model();
        const TvWallManagement theirs = wallOf(QStringLiteral("Desk_2 2x2 10-1 10-3 11 12-1"));
        QObject hook;
        connect(
            &FleetProbe::worker(), &MatrixSdkWorker::signalSetLayoutResult, &hook,
            [&](int) {
                if (overwritten)
                    model->setLayout(Main, 3, 2, 2, theirs.matrixInfoList, theirs.tvWallName);
                else
                    FleetProbe::worker().faults().failLayout(Main, -7);
            },
            Qt::DirectConnection);
        QVERIFY(answered(dlg.get(), "saveForEditBtn", true));
        QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
        // The success message first, then what the read back found; never taken silently as success.
        QCOMPARE(texts(), (QStringList{"success: Set the TV wall successfully!", warning}));
        QCOMPARE(layoutText(dlg->tvWallResult()), result);
        QCOMPARE(layoutText(dlg->decoderCopyResult().wall), result);
    }

    // ---- the tree's mark ----

    void takeoverMarksAWallChangedOnItsDecoder_data()
    {
        QTest::addColumn<QString>("elsewhere"); // what another desk leaves on the decoder; empty: nothing
        QTest::addColumn<QString>("shownAs");   // the wall's name after the takeover
        QTest::addColumn<bool>("marked");
        QTest::newRow("unchanged") << ""
                                   << "Lobby_wall" << false;
        QTest::newRow("bindings changed") << "Lobby_wall 2x2 10-1 10-3 11 12-1"
                                          << "Lobby_wall" << true;
        QTest::newRow("renamed") << "Hall 2x2 10-1 10-2 11 12-1"
                                 << "Hall" << true;
    }

    void takeoverMarksAWallChangedOnItsDecoder()
    {
        QFETCH(QString, elsewhere);
        QFETCH(QString, shownAs);
        QFETCH(bool, marked);
        QCOMPARE(fleet.setWall(Main, wallOf(Initial)), 0);
        MatrixSdkWorker::addDecoderToJson({mgmt::stored(Main), mgmt::stored(Single), mgmt::stored(Eight)});
        MatrixSdkWorker::addMatrixToJson({wallOf(Initial)});
        // The first connection keeps what the decoder holds as this desk's copy.
        openPage();
        QTRY_VERIFY(MatrixSdkWorker::getWallCopyFromJson("Lobby_wall").kept);
        QTRY_VERIFY(wallRow("Lobby_wall"));
        QVERIFY(!wallRow("Lobby_wall")->isChangedOnDecoder());

        form.reset();
        if (!elsewhere.isEmpty())
            QCOMPARE(fleet.setWall(Main, wallOf(elsewhere)), 0);
        openPage();
        QTRY_VERIFY(wallRow(shownAs) && wallRow(shownAs)->isConnected());
        QTRY_COMPARE(MatrixSdkWorker::getWallCopyFromJson(shownAs).changedOnDecoder, marked);
        QCOMPARE(wallRow(shownAs)->isChangedOnDecoder(), marked);
        QCOMPARE(wallRow(shownAs)->toolTip(),
                 marked ? "Changed on the decoder since this desk last saw it. Click the TV wall to see it."
                        : "");
        const QImage icon =
            wallRow(shownAs)->findChild<QLabel*>("iconLabel")->pixmap(Qt::ReturnByValue).toImage();
        const QString expected = marked ? "jmq_changed.png" : "jmq_n.png";
        QCOMPARE(icon, PCOMMON::imagePixmap(":/matrixConfig_images/images/" + expected).toImage());
        if (!marked)
            return;

        // Connected again without being opened, it keeps the mark.
        form.reset();
        openPage();
        QTRY_VERIFY(wallRow(shownAs) && wallRow(shownAs)->isConnected());
        QTRY_VERIFY(!form->isUpdatePending());
        QVERIFY(wallRow(shownAs)->isChangedOnDecoder());

        // Opened, the mark goes, and stays gone.
        QTest::mouseClick(wallRow(shownAs), Qt::LeftButton);
        QVERIFY(!wallRow(shownAs)->isChangedOnDecoder());
        QVERIFY(wallRow(shownAs)->toolTip().isEmpty());
        QVERIFY(!MatrixSdkWorker::getWallCopyFromJson(shownAs).changedOnDecoder);
        form.reset();
        openPage();
        QTRY_VERIFY(wallRow(shownAs) && wallRow(shownAs)->isConnected());
        QTRY_VERIFY(!form->isUpdatePending());
        QVERIFY(!wallRow(shownAs)->isChangedOnDecoder());
    }

    // A desk that saved the wall itself is not told its own change came from elsewhere.
    void ownSaveLeavesNoMark()
    {
        QCOMPARE(fleet.setWall(Main, wallOf(Initial)), 0);
        MatrixSdkWorker::addDecoderToJson({mgmt::stored(Main), mgmt::stored(Single), mgmt::stored(Eight)});
        MatrixSdkWorker::addMatrixToJson({wallOf(Initial)});
        openPage();
        QTRY_VERIFY(wallRow("Lobby_wall") && wallRow("Lobby_wall")->isConnected());
        QTRY_VERIFY(!form->isUpdatePending());
        tree()->setCurrentItem(tree()->topLevelItem(0));
        bool saved = false;
        ModalAnswerer editor("pral_matrixConfig::AddMatrixDlg", [&](QWidget* wizard) {
            QVERIFY(drop(view(wizard, "bindingMatrixWt")->screen(3), "3~192.0.2.10-4"));
            saved = answered(wizard, "saveForEditBtn", true) &&
                    QTest::qWaitFor([wizard] { return !wizard->isVisible(); });
        });
        mgmt::click(form.get(), "editBtn");
        QVERIFY(editor.answered() && saved);
        QCOMPARE(layoutText(MatrixSdkWorker::getWallCopyFromJson("Lobby_wall").wall),
                 "Lobby_wall 2x2 192.0.2.10/1 192.0.2.10/2 192.0.2.11/1 192.0.2.10/4");

        form.reset();
        openPage();
        QTRY_VERIFY(wallRow("Lobby_wall") && wallRow("Lobby_wall")->isConnected());
        QTRY_VERIFY(!form->isUpdatePending());
        QVERIFY(!wallRow("Lobby_wall")->isChangedOnDecoder());
    }

private:
    void openEdit(const TvWallManagement& wall)
    {
        QStringList outputs{Single};
        for (int n = 1; n <= 4; ++n)
            outputs << QStringLiteral("%1-%2").arg(Main).arg(n);
        dlg =
            std::make_unique<AddMatrixDlg>(QStringList(), outputs, QStringList{wall.tvWallName}, false, wall);
        // What this desk last saw on the main decoder: the wall as it opened it.
        dlg->setWallsSeenOnDecoders({{Main, wall}});
        dlg->show();
    }
    void bind(int screen, const QString& outputId)
    {
        QVERIFY(drop(view(dlg.get(), "bindingMatrixWt")->screen(screen), "3~" + outputId.toLocal8Bit()));
    }
    QStringList texts() const
    {
        QStringList all;
        for (const QList<QVariant>& args : *alerts)
            all << args.at(0).toString() + ": " + args.at(1).toString();
        return all;
    }
    void openPage()
    {
        form = std::make_unique<MatrixConfigForm>();
        form->resize(1280, 760);
        form->show();
        QVERIFY(QTest::qWaitFor([this] { return form->findChild<QTreeWidget*>() != nullptr; }));
    }
    QTreeWidget* tree() const { return form->findChild<QTreeWidget*>(QStringLiteral("rsTreeWidget")); }
    ConnectMatrixItem* wallRow(const QString& name) const { return mgmt::wallRow(form.get(), name); }
};

QTEST_MAIN(TestOtherDesks)
#include "tst_otherdesks.moc"
