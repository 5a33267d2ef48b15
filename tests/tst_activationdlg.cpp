#include "devactivedlg.h"
#include "modalanswerer.h"
#include "passwordstrengthwt.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QToolTip>
#include <QtTest>

using namespace pral_matrixConfig;

namespace {

const QString Illegal = QStringLiteral("Illegal password!");
const QString Differ = QStringLiteral("The two passwords are not the same!");

/** Marks of named labels by style sheet: '1' for the first sheet, '0' for the second, '?' for neither. */
QString marks(QWidget* parent, const QList<const char*>& names, const QString& on, const QString& off)
{
    QString state;
    for (const char* name : names) {
        const QString sheet = parent->findChild<QLabel*>(QLatin1String(name))->styleSheet();
        state += sheet == on ? QLatin1Char('1') : sheet == off ? QLatin1Char('0') : QLatin1Char('?');
    }
    return state;
}

/** Which strength words are visible and which bars are lit, e.g. "midum|1110". */
QString strengthState(QWidget* strength)
{
    QString word;
    for (const char* name : {"terrible", "simple", "midum", "strong"}) {
        if (strength->findChild<QLabel*>(QLatin1String(name))->isVisibleTo(strength))
            word += QLatin1String(name);
    }
    return word + QLatin1Char('|') +
           marks(strength, {"terribleWt", "simpleWt", "midumWt", "strongWt"},
                 QStringLiteral("QLabel{background-color:#F35424;border-radius:2px;}"),
                 QStringLiteral("QLabel{background-color:#F2F2F2;border-radius:2px;}"));
}

/** The three rule marks, e.g. "110". */
QString ruleState(QWidget* dialog)
{
    return marks(dialog, {"tipOne", "tipTwo", "tipThree"},
                 QStringLiteral("QLabel{border-image:url(:/matrixConfig_images/images/selected.png)}"),
                 QStringLiteral("QLabel{border-image:url(:/matrixConfig_images/images/unselected.png)}"));
}

QLineEdit* edit(QWidget* dialog, const QString& name)
{
    return dialog->findChild<QLineEdit*>(name);
}

/** Runs the dialog modally as its callers do: the operator types the passwords and clicks the button. */
int execAndEnter(DevActiveDlg& dialog, const QString& oldPw, const QString& newPw, const QString& confirm,
                 const QString& button = QStringLiteral("okBt"))
{
    ModalAnswerer answer(QStringLiteral("pral_matrixConfig::DevActiveDlg"), [&](QWidget* dlg) {
        if (edit(dlg, "oldPwdEdt")->isVisible())
            QTest::keyClicks(edit(dlg, "oldPwdEdt"), oldPw);
        QTest::keyClicks(edit(dlg, "pwdEdt"), newPw);
        QTest::keyClicks(edit(dlg, "confirmPwdEdt"), confirm);
        ModalAnswerer::clickButton(dlg, button);
        // A refusal leaves the dialog open: end it so that the test does not hang.
        if (dlg->isVisible())
            ModalAnswerer::clickButton(dlg, QStringLiteral("cancelBt"));
    });
    const int result = dialog.exec();
    return answer.answered() ? result : -1;
}

} // namespace

/**
 * @brief The strength bars: one word and as many lit bars as the host's rating says.
 */
class TestPasswordStrengthWt : public QObject
{
    Q_OBJECT

private slots:
    void ratingLightsItsBars_data()
    {
        QTest::addColumn<QList<int>>("ratings");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none yet") << QList<int>{} << "|0000";
        // From a stronger rating first, so that bars left lit by it would show.
        QTest::newRow("-1") << QList<int>{2, -1} << "terrible|1000";
        QTest::newRow("0") << QList<int>{2, 0} << "simple|1100";
        QTest::newRow("1") << QList<int>{2, 1} << "midum|1110";
        QTest::newRow("2") << QList<int>{-1, 2} << "strong|1111";
        // An unknown rating hides the words and keeps the bars.
        QTest::newRow("5") << QList<int>{1, 5} << "|1110";
        QTest::newRow("-2") << QList<int>{1, -2} << "|1110";
    }

    void ratingLightsItsBars()
    {
        QFETCH(QList<int>, ratings);
        QFETCH(QString, expected);
        PasswordStrengthWt strength;
        for (int rating : ratings)
            strength.setStrength(rating);
        QCOMPARE(strengthState(&strength), expected);
    }
};

/**
 * @brief The activation and password dialog: the password rules as the operator types, the refusals
 * at ok, and the passwords it gives.
 */
class TestDevActiveDlg : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QToolTip::hideText();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void typingShowsRulesAndStrength_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("rules");
        QTest::addColumn<QString>("strength");
        const auto row = [](const char* name, const char* password, const char* rules, const char* strength) {
            QTest::newRow(name) << password << rules << strength;
        };
        row("too short", "Ab1!", "001", "terrible|1000");
        row("too long", "Abcdefgh12345678x", "001", "terrible|1000");
        row("user name", "admin", "001", "terrible|1000");
        row("strong one erased", "Abcd1234\b\b\b\b\b\b\b\b", "001", "terrible|1000");
        row("one kind", "abcdefgh", "101", "simple|1100");
        row("digits only, 16", "1234567812345678", "101", "simple|1100");
        row("two kinds", "abcd1234", "111", "midum|1110");
        row("user name inside", "admin123", "111", "midum|1110");
        row("three kinds", "Abcd1234", "111", "strong|1111");
        row("four kinds, 8", "Ab1!Ab1!", "111", "strong|1111");
    }

    void typingShowsRulesAndStrength()
    {
        QFETCH(QString, password);
        QFETCH(QString, rules);
        QFETCH(QString, strength);
        DevActiveDlg dialog(false, nullptr);
        dialog.show();
        QTest::keyClicks(edit(&dialog, "pwdEdt"), password);
        if (password.contains('\b'))
            QVERIFY(edit(&dialog, "pwdEdt")->text().isEmpty());
        QCOMPARE(ruleState(&dialog), rules);
        QCOMPARE(strengthState(dialog.findChild<QWidget*>("pwdStrengthWt")), strength);
    }

    void okRefusesWhatBreaksARule_data()
    {
        QTest::addColumn<bool>("changeMode");
        QTest::addColumn<QString>("oldPw");
        QTest::addColumn<QString>("newPw");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("tipAt");
        const auto row = [](const char* name, bool change, const char* oldPw, const char* newPw,
                            const char* confirm, const QString& tip, const char* at) {
            QTest::newRow(name) << change << oldPw << newPw << confirm << tip << at;
        };
        row("untouched", false, "", "", "", Illegal, "pwdEdt");
        row("too short", false, "", "Ab1!", "Ab1!", Illegal, "pwdEdt");
        row("one kind", false, "", "abcdefgh", "abcdefgh", Illegal, "pwdEdt");
        row("user name", false, "", "admin", "admin", Illegal, "pwdEdt");
        row("confirm differs", false, "", "Abcd1234", "Abcd1235", Differ, "confirmPwdEdt");
        row("confirm empty", false, "", "Abcd1234", "", Differ, "confirmPwdEdt");
        row("old 7", true, "1234567", "Abcd1234", "Abcd1234", Illegal, "oldPwdEdt");
        row("old 17", true, "12345678901234567", "Abcd1234", "Abcd1234", Illegal, "oldPwdEdt");
        // The old password is looked at first: a bad new one is not reported while it is wrong.
        row("old 7, new bad", true, "1234567", "abc", "", Illegal, "oldPwdEdt");
        row("old 8, new bad", true, "12345678", "abcdefgh", "abcdefgh", Illegal, "pwdEdt");
    }

    void okRefusesWhatBreaksARule()
    {
        QFETCH(bool, changeMode);
        QFETCH(QString, oldPw);
        QFETCH(QString, newPw);
        QFETCH(QString, confirm);
        QFETCH(QString, tip);
        QFETCH(QString, tipAt);
        DevActiveDlg dialog(changeMode, nullptr);
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        if (changeMode)
            QTest::keyClicks(edit(&dialog, "oldPwdEdt"), oldPw);
        QTest::keyClicks(edit(&dialog, "pwdEdt"), newPw);
        QTest::keyClicks(edit(&dialog, "confirmPwdEdt"), confirm);
        QTest::mouseClick(dialog.findChild<QWidget*>("okBt"), Qt::LeftButton);
        QCOMPARE(accepted.count(), 0);
        QVERIFY(dialog.isVisible());
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), tip);
        // The tip sits at the top-left corner of the edit that is wrong.
        const QPoint corner = edit(&dialog, tipAt)->mapToGlobal(QPoint(0, 0));
        QWidget* tipWindow = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->inherits("QTipLabel") && w->isVisible())
                tipWindow = w;
        }
        QVERIFY(tipWindow);
        QVERIFY((tipWindow->geometry().topLeft() - corner).manhattanLength() < 40);
    }

    void validPasswordsAreGiven_data()
    {
        QTest::addColumn<bool>("changeMode");
        QTest::addColumn<QString>("oldPw");
        QTest::addColumn<QString>("newPw");
        QTest::addColumn<QString>("button");
        const auto row = [](const char* name, bool change, const char* oldPw, const char* newPw,
                            const char* button) {
            QTest::newRow(name) << change << oldPw << newPw << button;
        };
        row("activation", false, "", "Abcd1234", "okBt");
        row("activation, 16", false, "", "Abcdefgh12345678", "okBt");
        row("change, old 8", true, "12345678", "Abcd1234", "okBt");
        row("change, old 16", true, "1234567890123456", "xyz!9876", "okBt");
        row("cancelled", false, "", "Abcd1234", "cancelBt");
    }

    void validPasswordsAreGiven()
    {
        QFETCH(bool, changeMode);
        QFETCH(QString, oldPw);
        QFETCH(QString, newPw);
        QFETCH(QString, button);
        DevActiveDlg dialog(changeMode, nullptr);
        const int expected = button == "okBt" ? QDialog::Accepted : QDialog::Rejected;
        QCOMPARE(execAndEnter(dialog, oldPw, newPw, newPw, button), expected);
        QCOMPARE(dialog.getPassword(), newPw);
        QCOMPARE(dialog.getOldPassword(), oldPw);
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int status = 0;
    {
        TestPasswordStrengthWt test;
        status |= QTest::qExec(&test, argc, argv);
    }
    {
        TestDevActiveDlg test;
        status |= QTest::qExec(&test, argc, argv);
    }
    return status;
}

#include "tst_activationdlg.moc"
