// The TV-wall wizard on the simulated fleet: the steps and their buttons, the
// name rules, what it sends to the main decoder and when it may close, and the
// edit mode's binding and adjustment pages with their scene.

#include "addmatrixdlg.h"
#include "adjustscreen.h"
#include "dictdef.h"
#include "disabledwaitingwtmanager.h"
#include "faultinjector.h"
#include "fleetprobe.h"
#include "matrixconfigform.h"
#include "modalanswerer.h"
#include "screenlayoutwt.h"
#include "screenwt.h"
#include "systemassistant.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QtTest>

#include <memory>

using namespace pral_matrixConfig;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;
using pral_worker::SystemAssistant;
using Dialog = std::unique_ptr<AddMatrixDlg>;

namespace {
const QString Main = QStringLiteral("192.0.2.10");
const QString Single = QStringLiteral("192.0.2.11");
const QString Lobby = QStringLiteral("Lobby wall"); // what the main decoder holds at first

QString out(int n)
{
    return QStringLiteral("%1-%2").arg(Main).arg(n);
}

void settle()
{
    runOnServiceThread([] {});
}

/** A stored 2 x 2 wall; channel 0 stands for a bare address. */
TvWallManagement storedWall(const QList<QPair<QString, int>>& screens)
{
    TvWallManagement wall;
    wall.tvWallName = QStringLiteral("Lobby");
    wall.mainIp = Main;
    wall.row = 2;
    wall.col = 2;
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

QString layoutOf(const QList<MatrixInfo>& screens)
{
    QStringList parts;
    for (const MatrixInfo& s : screens)
        parts << QStringLiteral("%1/%2@%3,%4").arg(s.ip).arg(s.channel).arg(s.row).arg(s.column);
    return parts.join(' ');
}
} // namespace

class TestAddMatrixDlg : public QObject
{
    Q_OBJECT

    FleetProbe fleet;
    Dialog dlg;
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
        QCOMPARE(dlg->size(), QSize(820, 440));
        const QRect desktop = QApplication::desktop()->geometry();
        const QPoint centred((desktop.width() - 820) / 2, (desktop.height() - 440) / 2);
        struct Step
        {
            const char* click;
            int page;
            QString visible;
            QSize size;
            QPoint pos;
        };
        const Step steps[] = {
            {nullptr, 0, "next cancel", {820, 440}, centred},
            {"nextStepBtn", 1, "last next cancel", {820, 440}, centred},
            {"nextStepBtn", 2, "last save cancel", {1220, 740}, centred - QPoint(200, 150)},
            {"lastStepBtn", 1, "last next cancel", {820, 440}, centred},
        };
        QTest::keyClicks(child<QLineEdit>("tvWallNameEdit"), "Atrium");
        for (const Step& step : steps) {
            if (step.click)
                click(step.click);
            QCOMPARE(page(), step.page);
            QCOMPARE(visibleButtons(), step.visible);
            QCOMPARE(dlg->size(), step.size);
            QCOMPARE(dlg->pos(), step.pos);
        }
    }

    void nameCheck_data()
    {
        QTest::addColumn<bool>("add");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("warning");
        const QString tooLong = QStringLiteral("TV-wall name cannot be longer than 20 characters!");
        QTest::newRow("empty") << true << ""
                               << "Please enter the name of the TV wall!";
        QTest::newRow("7 x 3 bytes") << true << QString(7, QChar(0x4e2d)) << tooLong;
        QTest::newRow("6 x 3 bytes") << true << QString(6, QChar(0x4e2d)) << "";
        QTest::newRow("21 ascii") << true << QString(21, 'w') << tooLong;
        QTest::newRow("taken") << true << "Hall"
                               << "The TV wall name already exists!";
        QTest::newRow("other case") << true << "hall"
                                    << "";
        QTest::newRow("edit: own name") << false << "Lobby"
                                        << "";
        QTest::newRow("edit: other wall's") << false << "Hall"
                                            << "TV wall name already exists, please reenter!";
        QTest::newRow("edit: too long") << false << QString(7, QChar(0x4e2d)) << tooLong;
    }

    void nameCheck()
    {
        QFETCH(bool, add);
        QFETCH(QString, name);
        QFETCH(QString, warning);
        const QStringList names{"Lobby", "Hall"};
        bool asked = false;
        if (add) {
            open({Main}, names);
            // keyClicks types Latin-1 only.
            child<QLineEdit>("tvWallNameEdit")->setText(name);
            click("nextStepBtn");
            asked = page() == 1 && child<QLineEdit>("tvWallNamePreviewEdit")->text() == name;
        } else {
            openEdit(storedWall({{Main, 1}, {Main, 2}, {Main, 3}, {Main, 4}}), names);
            child<QLineEdit>("tvWallNamePreviewEdit")->setText(name);
            ModalAnswerer answer("PCOMMON::PMessageBox",
                                 [](QWidget* box) { ModalAnswerer::clickButton(box, "cancelBtn"); });
            click("saveForEditBtn");
            asked = answer.answered();
        }
        QCOMPARE(asked, warning.isEmpty());
        QCOMPARE(lastAlert(),
                 warning.isEmpty() ? QString() : pral_contact::DictDef::alertWarning + ": " + warning);
    }

    void emptyMainDecoderStaysWithoutMessage()
    {
        open({});
        QTest::keyClicks(child<QLineEdit>("tvWallNameEdit"), "Atrium");
        click("nextStepBtn");
        click("nextStepBtn");
        QCOMPARE(page(), 1);
        QVERIFY(alerts->isEmpty());
    }

    void saveSendsTheGridAndCloses()
    {
        toBindingPage("Atrium");
        drop(0, out(3));
        drop(1, Single);
        drop(2, out(1));
        click("saveBtn");
        QCOMPARE(lastAlert(), "notice: There is an unbinging screen.");
        drop(3, out(4));
        QVERIFY(save(true));
        QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(lastAlert(), "success: Set the TV wall successfully!");
        const TvWallManagement wall = dlg->tvWallResult();
        QCOMPARE(wall.tvWallName + " " + wall.mainIp, "Atrium " + Main);
        const QString sent = "192.0.2.10/3@0,0 192.0.2.11/1@0,1 192.0.2.10/1@1,0 192.0.2.10/4@1,1";
        QCOMPARE(layoutOf(wall.matrixInfoList), sent);
        QCOMPARE(heldWall(), "Atrium " + sent);
    }

    void refusedLayoutKeepsTheDialog()
    {
        FleetProbe::worker().faults().failLayout(Main, -7);
        toBindingPage("Atrium");
        for (int i = 0; i < 4; ++i)
            drop(i, outputs.at(i));
        QVERIFY(save(false)); // declined: nothing goes out
        QVERIFY(save(true));
        QTRY_COMPARE(lastAlert(), "warning: Failed to set the TV wall,ret = -7!");
        QVERIFY(dlg->isVisible());
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        // A result nobody asked for does not close the wizard.
        runOnServiceThread([] { emit FleetProbe::worker().signalSetLayoutResult(0); });
        QVERIFY(dlg->isVisible());
        QVERIFY(heldWall().startsWith(Lobby));

        FleetProbe::worker().faults().clear();
        QVERIFY(save(true));
        QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
        QVERIFY(heldWall().startsWith("Atrium"));
    }

    void editOpensOnThePreview()
    {
        openEdit(storedWall({{Main, 2}, {Single, 0}, {Main, 1}, {Main, 4}}), {"Lobby"});
        QCOMPARE(page(), 3);
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Edit a TV Wall"));
        QCOMPARE(child<QLabel>("mainDecoder")->text(), Main);
        for (ScreenLayoutWt* view : {bindingView(), adjustView()}) {
            QCOMPARE(view->screen(0)->labelText(), "1-1: " + out(2));
            QCOMPARE(view->screen(1)->labelText(), "1-2: " + Single);
        }
    }

    void bindingPageSaveAndCancel()
    {
        openEdit(storedWall({{Main, 1}, {Main, 2}, {Main, 3}, {Main, 4}}), {"Lobby"});
        const QPoint start = dlg->pos();
        clickPreview("editBtn");
        QCOMPARE(dlg->windowTitle() + " " + QString::number(page()), QStringLiteral("binding set 2"));
        QCOMPARE(dlg->size(), QSize(1220, 740));
        QCOMPARE(dlg->pos(), start - QPoint(200, 150));
        drop(0, out(2)); // moves the output away from screen 1
        click("saveForEditBtn");
        QCOMPARE(lastAlert(), "notice: There is an unbinging screen.");
        QCOMPARE(page(), 2);
        click("cancelForEditBtn");
        QCOMPARE(page(), 3);
        QCOMPARE(dlg->pos(), start);
        QCOMPARE(dlg->size(), QSize(820, 440));
        QCOMPARE(bindingView()->screen(0)->labelText(), "1-1: " + out(2)); // kept in the view

        clickPreview("editBtn");
        drop(1, Single);
        click("saveForEditBtn");
        QCOMPARE(page(), 3);
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Edit a TV Wall"));
        QVERIFY(save(true, "saveForEditBtn"));
        QTRY_COMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(layoutOf(dlg->tvWallResult().matrixInfoList),
                 "192.0.2.10/2@0,0 192.0.2.11/1@0,1 192.0.2.10/3@1,0 192.0.2.10/4@1,1");
    }

    void adjustPageSceneAndColours_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<int>("putBack"); // colour requests the leaving sends
        QTest::newRow("save") << "saveForEditBtn" << true << 0;
        QTest::newRow("cancel, confirmed") << "cancelForEditBtn" << true << 1;
        QTest::newRow("cancel, declined") << "cancelForEditBtn" << false << 0;
    }

    void adjustPageSceneAndColours()
    {
        QFETCH(QString, button);
        QFETCH(bool, confirm);
        QFETCH(int, putBack);
        openEdit(storedWall({{Main, 1}, {Main, 2}, {Main, 3}, {Main, 4}}), {"Lobby"});
        clickPreview("adjustBtn");
        QCOMPARE(dlg->windowTitle() + " " + QString::number(page()), QStringLiteral("Adjust Screen 4"));
        QCOMPARE(scene6(), QStringLiteral("adjustScreen_limit"));
        QTest::mouseClick(adjustView()->screen(0), Qt::LeftButton);
        settle();
        child<QSlider>("brightSlider")->setValue(30);
        settle();
        QCOMPARE(fleet.color(Main, 1, 1).brightness, 30);

        QSignalSpy sets(&FleetProbe::worker(), &MatrixSdkWorker::signalMatrixSetScreenColorResult);
        ModalAnswerer answer("PCOMMON::PMessageBox", [confirm](QWidget* box) {
            ModalAnswerer::clickButton(box, confirm ? "okBtn" : "cancelBtn");
        });
        click(button.toLatin1());
        settle();
        QCOMPARE(answer.answered(), button == "cancelForEditBtn");
        QCOMPARE(sets.count(), putBack);
        if (putBack)
            QCOMPARE(fleet.color(Main, 1, 1).brightness, 87);
        QCOMPARE(page(), 3);
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Edit a TV Wall"));
        QCOMPARE(scene6(), QString());
    }

    void mainDecoderDropsDuringAdjustment()
    {
        openEdit(storedWall({{Main, 1}, {Main, 2}, {Main, 3}, {Main, 4}}), {"Lobby"});
        clickPreview("adjustBtn");
        QTest::mouseClick(adjustView()->screen(0), Qt::LeftButton);
        FleetProbe::worker().dropConnection(Main);
        QTRY_VERIFY(FleetProbe::worker().getHandleByIp(Main).isNull());
        child<QSlider>("brightSlider")->setValue(30);
        settle();
        QCOMPARE(lastAlert(), "notice: Screen Color setting failed!");
        ModalAnswerer answer("PCOMMON::PMessageBox",
                             [](QWidget* box) { ModalAnswerer::clickButton(box, "okBtn"); });
        click("cancelForEditBtn");
        QCOMPARE(page(), 3);
        QVERIFY(save(true, "saveForEditBtn"));
        QTRY_VERIFY(lastAlert().startsWith("warning: Failed to set the TV wall,ret = "));
        QVERIFY(dlg->isVisible());
    }

    void cancelOnEveryPage_data()
    {
        QTest::addColumn<int>("steps"); // -1: the edit mode's preview
        QTest::newRow("name") << 0;
        QTest::newRow("main decoder") << 1;
        QTest::newRow("binding") << 2;
        QTest::newRow("edit preview") << -1;
    }

    void cancelOnEveryPage()
    {
        QFETCH(int, steps);
        if (steps < 0)
            openEdit(storedWall({{Main, 1}, {Main, 2}, {Main, 3}, {Main, 4}}), {"Lobby"});
        else
            open({Main});
        QTest::keyClicks(child<QLineEdit>("tvWallNameEdit"), "Atrium");
        for (int i = 0; i < steps; ++i)
            click("nextStepBtn");
        click(steps < 0 ? "cancelForEditBtn" : "cancelBtn");
        QCOMPARE(dlg->result(), int(QDialog::Rejected));
        QVERIFY(!dlg->isVisible());
        QVERIFY(heldWall().startsWith(Lobby));
    }

private:
    void open(const QStringList& decoders, const QStringList& names = {})
    {
        dlg = std::make_unique<AddMatrixDlg>(decoders, outputs, names, true, TvWallManagement());
        dlg->show();
    }
    void openEdit(const TvWallManagement& wall, const QStringList& names)
    {
        dlg = std::make_unique<AddMatrixDlg>(QStringList(), outputs, names, false, wall);
        dlg->show();
    }
    void toBindingPage(const QString& name)
    {
        open({Main, Single});
        QTest::keyClicks(child<QLineEdit>("tvWallNameEdit"), name);
        click("nextStepBtn");
        click("nextStepBtn");
    }
    template <typename T>
    T* child(const char* name) const
    {
        return dlg->findChild<T*>(name);
    }
    // The bottom bar is looked up first: the embedded page has buttons of the same names.
    void click(const char* name)
    {
        QTest::mouseClick(child<QWidget>("widget_bottom")->findChild<QPushButton*>(name), Qt::LeftButton);
    }
    void clickPreview(const char* name)
    {
        QTest::mouseClick(child<QWidget>("previewWt")->findChild<QPushButton*>(name), Qt::LeftButton);
    }
    /** Saves and answers the question; false when no question came. */
    bool save(bool confirm, const char* button = "saveBtn")
    {
        ModalAnswerer answer("PCOMMON::PMessageBox", [confirm](QWidget* box) {
            ModalAnswerer::clickButton(box, confirm ? "okBtn" : "cancelBtn");
        });
        click(button);
        return answer.answered();
    }
    int page() const { return child<QStackedWidget>("stackedWidget")->currentIndex(); }
    QString visibleButtons() const
    {
        QStringList shown;
        const QList<QPair<QString, QString>> buttons = {
            {"last", "lastStepBtn"}, {"next", "nextStepBtn"}, {"save", "saveBtn"}, {"cancel", "cancelBtn"}};
        for (const auto& b : buttons) {
            if (child<QWidget>("widget_bottom")->findChild<QPushButton*>(b.second)->isVisible())
                shown << b.first;
        }
        return shown.join(' ');
    }
    ScreenLayoutWt* bindingView() const
    {
        return child<QWidget>("bindingMatrixWt")->findChild<ScreenLayoutWt*>("wallwt");
    }
    ScreenLayoutWt* adjustView() const
    {
        return child<QWidget>("adjustScreenWt")->findChild<ScreenLayoutWt*>("wallwt");
    }
    void drop(int screen, const QString& outputId)
    {
        QMimeData mime;
        mime.setData("matrixtreeitem", (QStringLiteral("3~") + outputId).toLocal8Bit());
        QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bindingView()->screen(screen), &enter);
        QDropEvent dropped(QPointF(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bindingView()->screen(screen), &dropped);
    }
    QString lastAlert() const
    {
        return alerts->isEmpty() ? QString()
                                 : alerts->last().at(0).toString() + ": " + alerts->last().at(1).toString();
    }
    /** The main decoder's wall: name and screens. */
    QString heldWall() const
    {
        return fleet.read<QString>(
            Main, [](const FleetProbe::Decoder& d) { return d.wall.name + " " + layoutOf(d.wall.screens); });
    }
    QString scene6() const
    {
        return fleet.read<QString>(Main, [](const FleetProbe::Decoder& d) { return d.scenes.value(6).name; });
    }
};

QTEST_MAIN(TestAddMatrixDlg)
#include "tst_addmatrixdlg.moc"
