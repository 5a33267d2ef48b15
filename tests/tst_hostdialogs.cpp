#include "commondialog.h"
#include "dictdef.h"
#include "disabledwaitingwt.h"
#include "disabledwaitingwtmanager.h"
#include "modalanswerer.h"
#include "pmessagebox.h"
#include "systemassistant.h"
#include "systemmsg.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace PCOMMON;
using pral_contact::DictDef;
using pral_worker::SystemAssistant;

namespace {
void sendMouse(QWidget* target, QEvent::Type type, const QPoint& global, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, target->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
    // Through notify, so that an event the target ignores travels up to its parents as a real one does.
    QApplication::sendEvent(target, &event);
}

/** Press on target at from, move to to (both in target's coordinates at the start), release. */
void drag(QWidget* target, const QPoint& from, const QPoint& to)
{
    const QPoint globalFrom = target->mapToGlobal(from);
    const QPoint globalTo = target->mapToGlobal(to);
    sendMouse(target, QEvent::MouseButtonPress, globalFrom, Qt::LeftButton, Qt::LeftButton);
    sendMouse(target, QEvent::MouseMove, (globalFrom + globalTo) / 2, Qt::NoButton, Qt::LeftButton);
    sendMouse(target, QEvent::MouseMove, globalTo, Qt::NoButton, Qt::LeftButton);
    sendMouse(target, QEvent::MouseButtonRelease, globalTo, Qt::LeftButton, Qt::NoButton);
}

/** A close button drawn as a circle: presses in its corners are not its own. */
class RoundButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    bool hitButton(const QPoint& pos) const override
    {
        const QPoint offset = pos - rect().center();
        return offset.x() * offset.x() + offset.y() * offset.y() <= (width() / 2) * (width() / 2);
    }
};

bool noWindowLeft()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->isVisible())
            return false;
    }
    return true;
}
} // namespace

/** Moving frameless dialogs by their own title bar, and closing them on quit. */
class TestCommonDialog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY(noWindowLeft()); }

    void dragging_data()
    {
        QTest::addColumn<QString>("pressOn");
        QTest::addColumn<bool>("movable");
        QTest::addColumn<int>("titleHeight");
        QTest::addColumn<bool>("moves");
        QTest::newRow("title bar") << "titleBar" << true << 40 << true;
        QTest::newRow("title label") << "titleLabel" << true << 40 << true;
        QTest::newRow("body") << "body" << true << 40 << false;
        // A round button passes a press in its corner on to the title bar; it must still not start a move.
        QTest::newRow("corner of round close button") << "closeBt" << true << 40 << false;
        QTest::newRow("unmovable dialog") << "titleBar" << false << 40 << false;
        QTest::newRow("taller title strip") << "body" << true << 80 << true;
    }
    void dragging()
    {
        QFETCH(QString, pressOn);
        QFETCH(bool, movable);
        QFETCH(int, titleHeight);
        QFETCH(bool, moves);

        CommonDialog dialog(nullptr, false, movable);
        dialog.setTitleHeight(titleHeight);
        dialog.setFixedSize(400, 300);
        auto* titleBar = new QWidget(&dialog);
        titleBar->setObjectName(QStringLiteral("titleBar"));
        titleBar->setGeometry(0, 0, 400, 40);
        auto* title = new QLabel(QStringLiteral("Networkconfig"), titleBar);
        title->setObjectName(QStringLiteral("titleLabel"));
        title->setGeometry(10, 5, 200, 30);
        auto* close = new RoundButton(titleBar);
        close->setObjectName(QStringLiteral("closeBt"));
        close->setGeometry(360, 5, 30, 30);
        auto* body = new QWidget(&dialog);
        body->setObjectName(QStringLiteral("body"));
        body->setGeometry(0, 40, 400, 260);
        dialog.move(200, 150);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        auto* target = dialog.findChild<QWidget*>(pressOn);
        QVERIFY(target);
        const QPoint start = dialog.pos();
        const QPoint grip = pressOn == QLatin1String("closeBt") ? QPoint(2, 2) : QPoint(20, 15);
        drag(target, grip, grip + QPoint(60, 45));
        if (moves)
            QTRY_COMPARE(dialog.pos(), start + QPoint(60, 45));
        else
            QCOMPARE(dialog.pos(), start);
        dialog.close();
    }

    void backgroundColourPaintsBody()
    {
        CommonDialog dialog(nullptr, false, true);
        dialog.resize(200, 120);
        dialog.setBackgroundColor(QColor(QStringLiteral("#172335")));
        const QImage image = dialog.grab().toImage();
        QCOMPARE(image.pixelColor(100, 60), QColor(QStringLiteral("#172335")));
    }

    void quitRejectsOpenDialog()
    {
        CommonDialog dialog(nullptr, false, true);
        ModalAnswerer answer(QStringLiteral("PCOMMON::CommonDialog"),
                             [](QWidget*) { emit pral_base::SystemMsg::_instance().signalQuitSystem(); });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(answer.answered());
    }

    void closeSlotRejects()
    {
        CommonDialog dialog(nullptr, false, true);
        ModalAnswerer answer(QStringLiteral("PCOMMON::CommonDialog"),
                             [&dialog](QWidget*) { dialog.slotCloseBtClicked(); });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(answer.answered());
    }
};

/** The modal message box and the value that the callers branch on. */
class TestPMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY(noWindowLeft()); }

    void answers_data()
    {
        QTest::addColumn<bool>("question");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        QTest::newRow("information ok") << false << "okBtn" << 1;
        QTest::newRow("information close") << false << "closeBtn" << 0;
        QTest::newRow("question ok") << true << "okBtn" << 1;
        QTest::newRow("question cancel") << true << "cancelBtn" << 0;
        QTest::newRow("question close") << true << "closeBtn" << 0;
    }
    void answers()
    {
        QFETCH(bool, question);
        QFETCH(QString, button);
        QFETCH(int, result);
        const QString text = QStringLiteral("Are you sure cancel all mappings?");
        QString shownText;
        bool hasCancel = false;
        bool clicked = false;
        ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"), [&](QWidget* box) {
            if (auto* label = box->findChild<QLabel*>(QStringLiteral("textLabel")))
                shownText = label->text();
            hasCancel = box->findChild<QPushButton*>(QStringLiteral("cancelBtn")) != nullptr;
            clicked = ModalAnswerer::clickButton(box, button);
            if (!clicked)
                static_cast<QDialog*>(box)->done(-1);
        });
        const int answerValue =
            question ? PMessageBox::question(nullptr, text) : PMessageBox::information(nullptr, text);
        QVERIFY(answer.answered());
        QVERIFY2(clicked, qPrintable(button));
        QCOMPARE(answerValue, result);
        QCOMPARE(shownText, text);
        QCOMPARE(hasCancel, question);
    }

    void escapeCancels()
    {
        ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"),
                             [](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(PMessageBox::question(nullptr, QStringLiteral("Delete?")), 0);
        QVERIFY(answer.answered());
    }

    void threeButtonsGiveInformationACancel()
    {
        // The configuration dialog reports import results with buttons 3.
        bool hasCancel = false;
        ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"), [&](QWidget* box) {
            hasCancel = box->findChild<QPushButton*>(QStringLiteral("cancelBtn")) != nullptr;
            ModalAnswerer::clickButton(box, QStringLiteral("okBtn"));
        });
        QCOMPARE(PMessageBox::information(
                     nullptr, QStringLiteral("Decoder configuration exported successfully!"), 3, false),
                 1);
        QVERIFY(hasCancel);
    }

    void centresOnParentWindow()
    {
        QWidget window;
        window.setGeometry(120, 80, 900, 640);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* inner = new QWidget(&window);
        QPoint boxCentre;
        ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"), [&](QWidget* box) {
            boxCentre = box->frameGeometry().center();
            ModalAnswerer::clickButton(box, QStringLiteral("okBtn"));
        });
        PMessageBox::information(inner, QStringLiteral("No new decoder found!"));
        QVERIFY(answer.answered());
        QVERIFY2((boxCentre - window.frameGeometry().center()).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("box centre %1,%2").arg(boxCentre.x()).arg(boxCentre.y())));
    }

    void nullParentWithoutWindowCentresOnScreen()
    {
        QVERIFY(!QApplication::activeWindow());
        QPoint boxCentre;
        ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"), [&](QWidget* box) {
            boxCentre = box->frameGeometry().center();
            ModalAnswerer::clickButton(box, QStringLiteral("okBtn"));
        });
        PMessageBox::information(nullptr, QStringLiteral("It is the latest version!"));
        QVERIFY(answer.answered());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY((boxCentre - screen.center()).manhattanLength() <= 2);
    }
};

/** Busy overlays and their removal by id. */
class TestDisabledWaitingWt : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QTRY_VERIFY(noWindowLeft());
        QCOMPARE(DisabledWaitingWtManager::count(), 0);
    }

    void coversParentAndFollowsResize()
    {
        QWidget parent;
        parent.resize(300, 200);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        auto* overlay =
            new DisabledWaitingWt(&parent, QStringLiteral("Decoder searching..."), QString(), false);
        // The caller shows it; the flag false must not do it behind his back.
        QVERIFY(!overlay->isVisible());
        overlay->show();
        overlay->raise();
        QCOMPARE(overlay->geometry(), QRect(0, 0, 300, 200));
        parent.resize(520, 410);
        QTRY_COMPARE(overlay->geometry(), QRect(0, 0, 520, 410));
        QCOMPARE(overlay->text(), QStringLiteral("Decoder searching..."));
        DisabledWaitingWtManager::destroyDisabledWaitingWt(overlay->getUuid());
    }

    void blocksClicksUntilDestroyed()
    {
        QWidget parent;
        parent.resize(300, 200);
        auto* button = new QPushButton(QStringLiteral("Search"), &parent);
        button->setGeometry(10, 10, 100, 30);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QSignalSpy clicks(button, &QPushButton::clicked);
        auto* overlay =
            new DisabledWaitingWt(&parent, QStringLiteral("TvWall connecting..."), QString(), true);
        QVERIFY(overlay->isVisible());
        QTest::mouseClick(parent.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
        QCOMPARE(clicks.count(), 0);
        DisabledWaitingWtManager::destroyDisabledWaitingWt(overlay->getUuid());
        QTest::mouseClick(parent.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
        QCOMPARE(clicks.count(), 1);
    }

    void spinnerTurnsWhileShown()
    {
        QWidget parent;
        parent.resize(200, 200);
        parent.show();
        auto* overlay = new DisabledWaitingWt(&parent, QStringLiteral("Importing..."), QString(), true);
        const int first = overlay->spinnerStep();
        QTRY_VERIFY(overlay->spinnerStep() != first);
        DisabledWaitingWtManager::destroyDisabledWaitingWt(overlay->getUuid());
    }

    void destroyById()
    {
        QWidget parent;
        auto* first = new DisabledWaitingWt(&parent, QStringLiteral("one"));
        auto* second = new DisabledWaitingWt(&parent, QStringLiteral("two"));
        const QUuid firstId = first->getUuid();
        QVERIFY(!firstId.isNull());
        QVERIFY(firstId != second->getUuid());
        QCOMPARE(DisabledWaitingWtManager::count(), 2);
        QCOMPARE(DisabledWaitingWtManager::find(firstId), first);

        QPointer<DisabledWaitingWt> firstGuard(first);
        DisabledWaitingWtManager::destroyDisabledWaitingWt(firstId);
        QVERIFY(firstGuard.isNull());
        QCOMPARE(DisabledWaitingWtManager::find(firstId), nullptr);
        QCOMPARE(DisabledWaitingWtManager::count(), 1);

        // A result that arrives twice, an unknown id and an id never set must leave the other overlay alone.
        DisabledWaitingWtManager::destroyDisabledWaitingWt(firstId);
        DisabledWaitingWtManager::destroyDisabledWaitingWt(QUuid::createUuid());
        DisabledWaitingWtManager::destroyDisabledWaitingWt(QUuid());
        QCOMPARE(DisabledWaitingWtManager::count(), 1);
        QCOMPARE(DisabledWaitingWtManager::find(second->getUuid()), second);
    }

    void parentDestroyedFirst()
    {
        auto* parent = new QWidget;
        auto* overlay = new DisabledWaitingWt(parent, QStringLiteral("Exporting..."));
        const QUuid id = overlay->getUuid();
        delete parent;
        QCOMPARE(DisabledWaitingWtManager::find(id), nullptr);
        QCOMPARE(DisabledWaitingWtManager::count(), 0);
        // The late result handler must not touch freed memory.
        DisabledWaitingWtManager::destroyDisabledWaitingWt(id);
    }
};

/** Transient notices: signal, stacking, fading, closing up. */
class TestMessageAlert : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        SystemAssistant::_instance().closeAll();
        SystemAssistant::_instance().setDisplayTime(SystemAssistant::DefaultDisplayMs);
        QTRY_VERIFY(noWindowLeft());
    }

    void alertsStackAndFade()
    {
        SystemAssistant& assistant = SystemAssistant::_instance();
        assistant.setDisplayTime(300);
        QSignalSpy spy(&assistant, &SystemAssistant::signalAlert);
        SystemAssistant::messageAlert(DictDef::alertSuccess, QStringLiteral("Set the TV wall successfully!"));
        SystemAssistant::messageAlert(DictDef::alertWarning,
                                      QStringLiteral("Please enter the name of the TV wall!"));
        SystemAssistant::messageAlert(DictDef::alertNotice, QStringLiteral("There is an unbinging screen."));

        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.at(1).at(0).toString(), DictDef::alertWarning);
        QCOMPARE(spy.at(1).at(1).toString(), QStringLiteral("Please enter the name of the TV wall!"));

        const QList<QWidget*> toasts = assistant.alertWindows();
        QCOMPARE(toasts.size(), 3);
        for (int i = 0; i < toasts.size(); ++i) {
            QVERIFY(toasts.at(i)->isVisible());
            QVERIFY(toasts.at(i)->isWindow());
            QCOMPARE(toasts.at(i)->property("alertText").toString(), spy.at(i).at(1).toString());
            if (i > 0) {
                // Newest below the previous one, right edges in line, no overlap.
                QVERIFY(toasts.at(i)->y() >= toasts.at(i - 1)->geometry().bottom());
                QCOMPARE(toasts.at(i)->geometry().right(), toasts.at(0)->geometry().right());
            }
        }
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.contains(toasts.first()->geometry()));

        QTRY_VERIFY_WITH_TIMEOUT(assistant.alertWindows().isEmpty(), 5000);
        QTRY_VERIFY(noWindowLeft());
    }

    void stackClosesUp()
    {
        SystemAssistant& assistant = SystemAssistant::_instance();
        assistant.setDisplayTime(60000);
        SystemAssistant::messageAlert(DictDef::alertNotice, QStringLiteral("first"));
        SystemAssistant::messageAlert(DictDef::alertNotice, QStringLiteral("second"));
        QList<QWidget*> toasts = assistant.alertWindows();
        QCOMPARE(toasts.size(), 2);
        const QPoint topPlace = toasts.at(0)->pos();
        QWidget* second = toasts.at(1);
        QVERIFY(second->pos() != topPlace);
        QTest::mouseClick(toasts.at(0), Qt::LeftButton);
        QCOMPARE(assistant.alertWindows(), QList<QWidget*>{second});
        QCOMPARE(second->pos(), topPlace);
    }

    void followsActiveWindowWithoutTakingActivation()
    {
        QWidget window;
        window.setGeometry(100, 100, 800, 600);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        SystemAssistant::messageAlert(DictDef::alertNotice, QStringLiteral("Resolution setting failed!"));
        const QList<QWidget*> toasts = SystemAssistant::_instance().alertWindows();
        QCOMPARE(toasts.size(), 1);
        const QRect frame = window.frameGeometry();
        QVERIFY(frame.contains(toasts.first()->geometry()));
        QVERIFY(toasts.first()->geometry().right() > frame.center().x());
        QCOMPARE(QApplication::activeWindow(), &window);
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int status = 0;
    {
        TestCommonDialog test;
        status |= QTest::qExec(&test, argc, argv);
    }
    {
        TestPMessageBox test;
        status |= QTest::qExec(&test, argc, argv);
    }
    {
        TestDisabledWaitingWt test;
        status |= QTest::qExec(&test, argc, argv);
    }
    {
        TestMessageAlert test;
        status |= QTest::qExec(&test, argc, argv);
    }
    return status;
}

#include "tst_hostdialogs.moc"
