#include "commondialog.h"
#include "dictdef.h"
#include "disabledwaitingwt.h"
#include "disabledwaitingwtmanager.h"
#include "modalanswerer.h"
#include "pmessagebox.h"
#include "systemassistant.h"
#include "systemmsg.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <memory>

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

/** Frameless dialogs, message boxes, busy overlays and transient notices. */
class TestHostDialogs : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        SystemAssistant::_instance().closeAll();
        SystemAssistant::_instance().setDisplayTime(SystemAssistant::DefaultDisplayMs);
        QTRY_VERIFY(noWindowLeft());
        QCOMPARE(DisabledWaitingWtManager::count(), 0);
    }

    // ---- CommonDialog: moved by its own title bar, closed on quit ----

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

    void quitOrCloseRejects_data()
    {
        QTest::addColumn<bool>("quit");
        QTest::newRow("application quits") << true;
        QTest::newRow("close slot") << false;
    }
    void quitOrCloseRejects()
    {
        QFETCH(bool, quit);
        CommonDialog dialog(nullptr, false, true);
        ModalAnswerer answer(QStringLiteral("PCOMMON::CommonDialog"), [&dialog, quit](QWidget*) {
            quit ? emit pral_base::SystemMsg::_instance().signalQuitSystem() : dialog.slotCloseBtClicked();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(answer.answered());
    }

    // ---- PMessageBox: the value that the callers branch on, and where it shows ----

    void answers_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("press");
        QTest::addColumn<int>("result");
        const auto row = [](const char* name, int buttons, const QString& press, int result) {
            QTest::newRow(name) << buttons << press << result;
        };
        // buttons 0 asks a question with the default buttons.
        row("information ok", PMessageBox::Ok, "okBtn", 1);
        row("information close", PMessageBox::Ok, "closeBtn", 0);
        row("question ok", 0, "okBtn", 1);
        row("question cancel", 0, "cancelBtn", 0);
        row("question close", 0, "closeBtn", 0);
        row("question escape", 0, "escape", 0);
        // The configuration dialog reports import results with buttons 3.
        row("information with a cancel", PMessageBox::Ok | PMessageBox::Cancel, "okBtn", 1);
    }
    void answers()
    {
        QFETCH(int, buttons);
        QFETCH(QString, press);
        QFETCH(int, result);
        const QString text = QStringLiteral("Are you sure cancel all mappings?");
        QString shownText;
        bool hasCancel = false;
        bool pressed = false;
        ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"), [&](QWidget* box) {
            if (auto* label = box->findChild<QLabel*>(QStringLiteral("textLabel")))
                shownText = label->text();
            hasCancel = box->findChild<QPushButton*>(QStringLiteral("cancelBtn")) != nullptr;
            if (press == QLatin1String("escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            pressed = press == QLatin1String("escape") || ModalAnswerer::clickButton(box, press);
            if (!pressed)
                static_cast<QDialog*>(box)->done(-1);
        });
        const int answerValue = buttons ? PMessageBox::information(nullptr, text, short(buttons))
                                        : PMessageBox::question(nullptr, text);
        QVERIFY(answer.answered());
        QVERIFY2(pressed, qPrintable(press));
        QCOMPARE(answerValue, result);
        QCOMPARE(shownText, text);
        QCOMPARE(hasCancel, buttons != PMessageBox::Ok);
    }

    void centres_data()
    {
        QTest::addColumn<bool>("withParent");
        QTest::newRow("on the parent's window") << true;
        QTest::newRow("null parent, no window: on the screen") << false;
    }
    void centres()
    {
        QFETCH(bool, withParent);
        QWidget window;
        window.setGeometry(120, 80, 900, 640);
        auto* inner = new QWidget(&window);
        if (withParent) {
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
        }
        QVERIFY(withParent || !QApplication::activeWindow());
        QPoint boxCentre;
        ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"), [&](QWidget* box) {
            boxCentre = box->frameGeometry().center();
            ModalAnswerer::clickButton(box, QStringLiteral("okBtn"));
        });
        PMessageBox::information(withParent ? inner : nullptr, QStringLiteral("No new decoder found!"));
        QVERIFY(answer.answered());
        const QPoint expected = withParent ? window.frameGeometry().center()
                                           : QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY2((boxCentre - expected).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("box centre %1,%2").arg(boxCentre.x()).arg(boxCentre.y())));
    }

    void longTextIsNotCutOff()
    {
        const QString text = QStringLiteral("A stored decoder password cannot be opened. ").repeated(8);
        bool whole = false;
        ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"), [&](QWidget* box) {
            auto* label = box->findChild<QLabel*>(QStringLiteral("textLabel"));
            whole = label->height() >= label->heightForWidth(label->width()) &&
                    label->geometry().right() < box->width();
            ModalAnswerer::clickButton(box, QStringLiteral("okBtn"));
        });
        PMessageBox::information(nullptr, text);
        QVERIFY(answer.answered());
        QVERIFY(whole);
    }

    // ---- DisabledWaitingWt: busy overlays and their removal by id ----

    void overlayCoversBlocksAndTurnsUntilDestroyed()
    {
        QWidget parent;
        parent.resize(300, 200);
        auto* button = new QPushButton(QStringLiteral("Search"), &parent);
        button->setGeometry(10, 10, 100, 30);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QSignalSpy clicks(button, &QPushButton::clicked);
        // The caller shows it; the flag false must not do it behind his back.
        auto* hidden =
            new DisabledWaitingWt(&parent, QStringLiteral("Decoder searching..."), QString(), false);
        QVERIFY(!hidden->isVisible());
        DisabledWaitingWtManager::destroyDisabledWaitingWt(hidden->getUuid());

        auto* overlay =
            new DisabledWaitingWt(&parent, QStringLiteral("TvWall connecting..."), QString(), true);
        QVERIFY(overlay->isVisible());
        QCOMPARE(overlay->geometry(), QRect(0, 0, 300, 200));
        const int step = overlay->spinnerStep();
        QTRY_VERIFY(overlay->spinnerStep() != step);
        QTest::mouseClick(parent.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
        QCOMPARE(clicks.count(), 0);
        parent.resize(520, 410);
        QTRY_COMPARE(overlay->geometry(), QRect(0, 0, 520, 410));
        DisabledWaitingWtManager::destroyDisabledWaitingWt(overlay->getUuid());
        QTest::mouseClick(parent.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
        QCOMPARE(clicks.count(), 1);
    }

    void destroyById()
    {
        QWidget parent;
        auto* first = new DisabledWaitingWt(&parent, QStringLiteral("one"));
        auto* second = new DisabledWaitingWt(&parent, QStringLiteral("two"));
        const QUuid firstId = first->getUuid();
        QVERIFY(firstId != second->getUuid());
        QCOMPARE(DisabledWaitingWtManager::count(), 2);
        QPointer<DisabledWaitingWt> firstGuard(first);
        DisabledWaitingWtManager::destroyDisabledWaitingWt(firstId);
        QVERIFY(firstGuard.isNull());
        QCOMPARE(DisabledWaitingWtManager::find(firstId), nullptr);

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

    // ---- SystemAssistant: transient notices, their signal, stacking, fading, closing up ----

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
        for (const char* text : {"first", "second", "third"})
            SystemAssistant::messageAlert(DictDef::alertNotice, QString::fromLatin1(text));
        QList<QWidget*> toasts = assistant.alertWindows();
        QCOMPARE(toasts.size(), 3);
        QWidget* first = toasts.at(0);
        QWidget* third = toasts.at(2);
        const QRect corner = third->geometry();
        // Without an active window the stack ends in the screen's bottom-right corner, the newest last.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(corner.bottomRight(), screen.bottomRight() - QPoint(16, 16));
        QTest::mouseClick(toasts.at(1), Qt::LeftButton);
        QCOMPARE(assistant.alertWindows(), (QList<QWidget*>{first, third}));
        // The gap closes: the newest keeps the corner, the oldest comes down next to it.
        QCOMPARE(third->geometry(), corner);
        QCOMPARE(first->geometry().bottom() + 1 + 8, third->y());
    }

    // A dragged slider reports one success per step: 98 equal notices must not stack 98 cards.
    void equalNoticeRefreshesTheShownOne()
    {
        SystemAssistant& assistant = SystemAssistant::_instance();
        assistant.setDisplayTime(200);
        QSignalSpy spy(&assistant, &SystemAssistant::signalAlert);
        const QString done = QStringLiteral("Screen Color set successfully!");
        for (int i = 0; i < 98; ++i)
            SystemAssistant::messageAlert(DictDef::alertSuccess, done);
        // Same text of another kind, and another text: cards of their own.
        SystemAssistant::messageAlert(DictDef::alertNotice, done);
        SystemAssistant::messageAlert(DictDef::alertSuccess, QStringLiteral("Resolution set successfully!"));
        QCOMPARE(spy.count(), 100);
        QCOMPARE(assistant.alertWindows().size(), 3);

        // A card that already fades comes back to full strength and stays another display time.
        QWidget* card = assistant.alertWindows().first();
        QTRY_VERIFY(card->windowOpacity() < 1.0);
        SystemAssistant::messageAlert(DictDef::alertSuccess, done);
        QCOMPARE(assistant.alertWindows().first(), card);
        QCOMPARE(card->windowOpacity(), 1.0);
        QTRY_VERIFY_WITH_TIMEOUT(assistant.alertWindows().isEmpty(), 5000);
    }

    // Notices follow the active window and cover least of it: a dialog keeps its title, fields and buttons
    // in view with the notices beside it; a main window has its headings at the top and its contents in the
    // middle, and gets them in its bottom-right corner. Neither loses the activation to them.
    void noticesStandWhereTheyCoverLeast_data()
    {
        QTest::addColumn<bool>("dialog");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("place");
        // The screen of these tests is 800 x 600; a notice is 320 wide, 16 from what it keeps clear of.
        QTest::newRow("a dialog with room at its right") << true << QRect(40, 60, 300, 200) << "right";
        QTest::newRow("a dialog with room at its left only") << true << QRect(420, 60, 300, 200) << "left";
        QTest::newRow("a dialog with room below it") << true << QRect(100, 40, 600, 300) << "below";
        QTest::newRow("a dialog with room above it only") << true << QRect(100, 260, 600, 300) << "above";
        QTest::newRow("a dialog with no room around it")
            << true << QRect(100, 100, 600, 400) << "inside left";
        QTest::newRow("a main window") << false << QRect(0, 0, 800, 600) << "inside";
        QTest::newRow("a main window larger than the screen") << false << QRect(0, 0, 1280, 760) << "inside";
    }
    void noticesStandWhereTheyCoverLeast()
    {
        QFETCH(bool, dialog);
        QFETCH(QRect, geometry);
        QFETCH(QString, place);
        std::unique_ptr<QWidget> window(dialog ? new QDialog : new QWidget);
        window->setGeometry(geometry);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        SystemAssistant::messageAlert(DictDef::alertNotice, QStringLiteral("Resolution setting failed!"));
        // Looked at before the next notice: showing it lets the test platform, which activates every window
        // it shows (a real window system honours the notice's wish not to be), process the first one's.
        QCOMPARE(QApplication::activeWindow(), window.get());
        SystemAssistant::messageAlert(DictDef::alertSuccess,
                                      QStringLiteral("Screen Color set successfully!"));
        const QList<QWidget*> toasts = SystemAssistant::_instance().alertWindows();
        QCOMPARE(toasts.size(), 2);
        const QRect screen = window->screen()->availableGeometry();
        const QRect frame = window->frameGeometry();
        const QRect shown = frame & screen;
        for (QWidget* toast : toasts) {
            const QRect t = toast->frameGeometry();
            QVERIFY(screen.contains(t));
            if (place == QLatin1String("right")) {
                QCOMPARE(t.left(), frame.right() + 1 + 16);
            } else if (place == QLatin1String("left")) {
                QCOMPARE(t.right(), frame.left() - 1 - 16);
            } else if (place == QLatin1String("below")) {
                QVERIFY(t.top() > frame.bottom() + 16);
                QCOMPARE(t.right(), frame.right());
            } else if (place == QLatin1String("above")) {
                QVERIFY(t.bottom() < frame.top() - 16);
                QCOMPARE(t.right(), frame.right());
            } else {
                QVERIFY(shown.contains(t));
                // Clear of the window's top half, where its headings and most of its contents are.
                QVERIFY2(t.top() > shown.center().y(), qPrintable(QString::number(t.top())));
                if (place == QLatin1String("inside left"))
                    QCOMPARE(t.left(), shown.left() + 16); // a dialog's buttons are on its right
                else
                    QCOMPARE(t.right(), shown.right() - 16);
            }
        }
        // The stack starts next to the dialog beside or below it, and ends next to it above it or in a
        // corner.
        if (place == QLatin1String("right") || place == QLatin1String("left"))
            QCOMPARE(toasts.first()->frameGeometry().top(), frame.top());
        else if (place == QLatin1String("below"))
            QCOMPARE(toasts.first()->frameGeometry().top(), frame.bottom() + 1 + 16);
        else if (place == QLatin1String("above"))
            QCOMPARE(toasts.last()->frameGeometry().bottom(), frame.top() - 1 - 16);
        else
            QCOMPARE(toasts.last()->frameGeometry().bottom(), shown.bottom() - 16);
    }
};

QTEST_MAIN(TestHostDialogs)
#include "tst_hostdialogs.moc"
