#include "devactivedlg.h"
#include "faultinjector.h"
#include "matrixsdkworker.h"
#include "modalanswerer.h"
#include "passwordlineedit.h"
#include "passwordstrengthwt.h"
#include "servicethread.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

using namespace pral_matrixConfig;
using pral_matrix::CMHandle;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;

namespace {

const QByteArray FleetJson = R"({
  "latencyMs": 0,
  "decoders": [
    {"ip": "192.0.2.10", "deviceId": "DEV-A", "type": 3, "channels": 4, "password": "Passw0rd!"},
    {"ip": "192.0.2.20", "deviceId": "DEV-NEW", "type": 1, "activated": false},
    {"ip": "192.0.2.21", "deviceId": "DEV-NEW2", "type": 1, "activated": false}
  ]
})";

const QString Active = QStringLiteral("192.0.2.10");
const QString Fresh = QStringLiteral("192.0.2.20");
const QString Fresh2 = QStringLiteral("192.0.2.21");
const QString CurrentPw = QStringLiteral("Passw0rd!");

const QString Met = QStringLiteral("QLabel{border-image:url(:/matrixConfig_images/images/selected.png)}");
const QString NotMet =
    QStringLiteral("QLabel{border-image:url(:/matrixConfig_images/images/unselected.png)}");
const QString Lit = QStringLiteral("QLabel{background-color:#F35424;border-radius:2px;}");
const QString Unlit = QStringLiteral("QLabel{background-color:#F2F2F2;border-radius:2px;}");

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

template <typename T = QWidget>
T* child(QWidget* parent, const char* name)
{
    auto* w = parent->findChild<T*>(QLatin1String(name));
    if (!w)
        qWarning("no child %s", name);
    return w;
}

/** Which strength words are visible and which bars are lit, e.g. "midum|1110". */
QString strengthState(QWidget* strength)
{
    QString word;
    for (const char* name : {"terrible", "simple", "midum", "strong"}) {
        if (child<QLabel>(strength, name)->isVisibleTo(strength))
            word += QLatin1String(name);
    }
    QString bars;
    for (const char* name : {"terribleWt", "simpleWt", "midumWt", "strongWt"}) {
        const QString sheet = child<QLabel>(strength, name)->styleSheet();
        bars += sheet == Lit ? QLatin1Char('1') : sheet == Unlit ? QLatin1Char('0') : QLatin1Char('?');
    }
    return word + QLatin1Char('|') + bars;
}

/** The three rule marks, "1" for met, "0" for not met, e.g. "110". */
QString ruleState(QWidget* dialog)
{
    QString state;
    for (const char* name : {"tipOne", "tipTwo", "tipThree"}) {
        const QString sheet = child<QLabel>(dialog, name)->styleSheet();
        state += sheet == Met ? QLatin1Char('1') : sheet == NotMet ? QLatin1Char('0') : QLatin1Char('?');
    }
    return state;
}

void typeInto(QWidget* dialog, const char* editName, const QString& text)
{
    auto* edit = child<QLineEdit>(dialog, editName);
    edit->clear();
    QTest::keyClicks(edit, text);
}

/** Connects to ip with the password and waits for the result code. */
int loginResult(const QString& ip, const QString& password)
{
    MatrixInfo info;
    info.ip = ip;
    info.userName = QStringLiteral("admin");
    info.password = password;
    QObject receiver;
    int result = 1;
    bool done = false;
    QObject::connect(&worker(), &MatrixSdkWorker::signalConnectMatrixResult, &receiver,
                     [&](CMHandle, int ret, int, void* user) {
                         if (user == &receiver) {
                             result = ret;
                             done = true;
                         }
                     });
    worker().connectMatrix(info, &receiver);
    if (!QTest::qWaitFor([&done] { return done; }, 5000))
        return 999;
    return result;
}

/** Searches the fleet and answers whether the decoder at ip reports itself activated. */
bool reportsActivated(const QString& ip)
{
    QObject receiver;
    MatrixInfoMap found;
    bool done = false;
    QObject::connect(&worker(), &MatrixSdkWorker::signalSearchMatrixResult, &receiver,
                     [&](const MatrixInfoMap& map) {
                         found = map;
                         done = true;
                     });
    worker().searchMatrix();
    if (!QTest::qWaitFor([&done] { return done; }, 5000))
        return false;
    return found.value(ip).activated;
}

/** Runs the dialog modally as its callers do: the operator types both passwords and clicks ok. */
bool execAndEnter(DevActiveDlg& dialog, const QString& oldPw, const QString& newPw, const QString& confirm)
{
    ModalAnswerer answer(QStringLiteral("pral_matrixConfig::DevActiveDlg"), [&](QWidget* dlg) {
        if (child(dlg, "oldPwdEdt")->isVisible())
            QTest::keyClicks(child(dlg, "oldPwdEdt"), oldPw);
        QTest::keyClicks(child(dlg, "pwdEdt"), newPw);
        QTest::keyClicks(child(dlg, "confirmPwdEdt"), confirm);
        ModalAnswerer::clickButton(dlg, QStringLiteral("okBt"));
        // A refusal leaves the dialog open: end it so that the test does not hang.
        if (dlg->isVisible())
            ModalAnswerer::clickButton(dlg, QStringLiteral("cancelBt"));
    });
    const bool accepted = dialog.exec() == QDialog::Accepted;
    return answer.answered() && accepted;
}

} // namespace

/**
 * @brief The strength bars: one word and as many lit bars as the host's rating says.
 */
class TestPasswordStrengthWt : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void startsWithoutWordAndUnlit()
    {
        PasswordStrengthWt strength;
        QCOMPARE(strengthState(&strength), QStringLiteral("|0000"));
    }

    void ratingLightsItsBars_data()
    {
        QTest::addColumn<int>("rating");
        QTest::addColumn<QString>("expected");
        QTest::newRow("-1") << -1 << "terrible|1000";
        QTest::newRow("0") << 0 << "simple|1100";
        QTest::newRow("1") << 1 << "midum|1110";
        QTest::newRow("2") << 2 << "strong|1111";
    }

    void ratingLightsItsBars()
    {
        QFETCH(int, rating);
        QFETCH(QString, expected);
        PasswordStrengthWt strength;
        // From a stronger rating first, so that bars left lit by it would show.
        strength.setStrength(2);
        strength.setStrength(rating);
        QCOMPARE(strengthState(&strength), expected);
    }

    void unknownRatingHidesWordsAndKeepsBars()
    {
        PasswordStrengthWt strength;
        strength.setStrength(1);
        strength.setStrength(5);
        QCOMPARE(strengthState(&strength), QStringLiteral("|1110"));
        strength.setStrength(-2);
        QCOMPARE(strengthState(&strength), QStringLiteral("|1110"));
    }
};

/**
 * @brief The activation and password dialog: its two modes, the password rules as the operator types,
 * the refusals at ok, and the passwords it gives reaching the simulated decoders.
 */
class TestDevActiveDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("store.key")));
    }

    void init()
    {
        QVERIFY(runOnServiceThread([] {}));
        QString error;
        QVERIFY2(worker().loadFleet(FleetJson, &error), qPrintable(error));
        worker().setResultDelay(0);
        worker().faults().clear();
    }

    void cleanup()
    {
        QToolTip::hideText();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void activationModeAsksForNewPasswordOnly()
    {
        DevActiveDlg dialog(false, nullptr);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Device Active"));
        QCOMPARE(child<QLabel>(&dialog, "title")->text(), QStringLiteral("Device Active"));
        QVERIFY(child(&dialog, "user")->isVisible());
        QCOMPARE(child<QLabel>(&dialog, "admin")->text(), QStringLiteral("admin"));
        QVERIFY(!child(&dialog, "oldPwd")->isVisible());
        QVERIFY(!child(&dialog, "oldPwdEdt")->isVisible());
        for (const char* name : {"pwdEdt", "confirmPwdEdt"})
            QCOMPARE(child<QLineEdit>(&dialog, name)->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.size(), QSize(600, 400));
    }

    void changeModeAsksForOldPassword()
    {
        DevActiveDlg dialog(true, nullptr);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Change Password"));
        QCOMPARE(child<QLabel>(&dialog, "title")->text(), QStringLiteral("Change Password"));
        QVERIFY(!child(&dialog, "user")->isVisible());
        QVERIFY(!child(&dialog, "admin")->isVisible());
        QVERIFY(child(&dialog, "oldPwdEdt")->isVisible());
        QVERIFY(qobject_cast<PCOMMON::PasswordLineEdit*>(child(&dialog, "oldPwdEdt")));
    }

    void typingShowsRulesAndStrength_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("rules");
        QTest::addColumn<QString>("strength");
        QTest::newRow("too short") << "Ab1!"
                                   << "001"
                                   << "terrible|1000";
        QTest::newRow("too long") << "Abcdefgh12345678x"
                                  << "001"
                                  << "terrible|1000";
        QTest::newRow("user name") << "admin"
                                   << "001"
                                   << "terrible|1000";
        QTest::newRow("one kind") << "abcdefgh"
                                  << "101"
                                  << "simple|1100";
        QTest::newRow("digits only, 16") << "1234567812345678"
                                         << "101"
                                         << "simple|1100";
        QTest::newRow("two kinds") << "abcd1234"
                                   << "111"
                                   << "midum|1110";
        QTest::newRow("user name inside") << "admin123"
                                          << "111"
                                          << "midum|1110";
        QTest::newRow("three kinds") << "Abcd1234"
                                     << "111"
                                     << "strong|1111";
        QTest::newRow("four kinds, 8") << "Ab1!Ab1!"
                                       << "111"
                                       << "strong|1111";
    }

    void typingShowsRulesAndStrength()
    {
        QFETCH(QString, password);
        QFETCH(QString, rules);
        QFETCH(QString, strength);
        DevActiveDlg dialog(false, nullptr);
        dialog.show();
        QTest::keyClicks(child(&dialog, "pwdEdt"), password);
        QCOMPARE(ruleState(&dialog), rules);
        QCOMPARE(strengthState(child(&dialog, "pwdStrengthWt")), strength);
    }

    void clearingThePasswordFailsTheFirstTwoRules()
    {
        DevActiveDlg dialog(false, nullptr);
        dialog.show();
        auto* edit = child<QLineEdit>(&dialog, "pwdEdt");
        QTest::keyClicks(edit, QStringLiteral("Abcd1234"));
        QCOMPARE(ruleState(&dialog), QStringLiteral("111"));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QVERIFY(edit->text().isEmpty());
        QCOMPARE(ruleState(&dialog), QStringLiteral("001"));
        QCOMPARE(strengthState(child(&dialog, "pwdStrengthWt")), QStringLiteral("terrible|1000"));
    }

    void untouchedDialogCannotBeAccepted()
    {
        DevActiveDlg dialog(false, nullptr);
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        dialog.show();
        QTest::mouseClick(child(&dialog, "okBt"), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(accepted.count(), 0);
        QCOMPARE(QToolTip::text(), QStringLiteral("Illegal password!"));
    }

    void okRefusesWhatBreaksARule_data()
    {
        QTest::addColumn<bool>("changeMode");
        QTest::addColumn<QString>("oldPw");
        QTest::addColumn<QString>("newPw");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("tipAt");
        QTest::newRow("too short") << false << ""
                                   << "Ab1!"
                                   << "Ab1!"
                                   << "Illegal password!"
                                   << "pwdEdt";
        QTest::newRow("one kind") << false << ""
                                  << "abcdefgh"
                                  << "abcdefgh"
                                  << "Illegal password!"
                                  << "pwdEdt";
        QTest::newRow("user name") << false << ""
                                   << "admin"
                                   << "admin"
                                   << "Illegal password!"
                                   << "pwdEdt";
        QTest::newRow("confirm differs") << false << ""
                                         << "Abcd1234"
                                         << "Abcd1235"
                                         << "The two passwords are not the same!"
                                         << "confirmPwdEdt";
        QTest::newRow("confirm empty") << false << ""
                                       << "Abcd1234"
                                       << ""
                                       << "The two passwords are not the same!"
                                       << "confirmPwdEdt";
        QTest::newRow("old 7") << true << "1234567"
                               << "Abcd1234"
                               << "Abcd1234"
                               << "Illegal password!"
                               << "oldPwdEdt";
        QTest::newRow("old 17") << true << "12345678901234567"
                                << "Abcd1234"
                                << "Abcd1234"
                                << "Illegal password!"
                                << "oldPwdEdt";
        // The old password is looked at first: a bad new one is not reported while it is wrong.
        QTest::newRow("old 7, new bad") << true << "1234567"
                                        << "abc"
                                        << ""
                                        << "Illegal password!"
                                        << "oldPwdEdt";
        QTest::newRow("old 8, new bad") << true << "12345678"
                                        << "abcdefgh"
                                        << "abcdefgh"
                                        << "Illegal password!"
                                        << "pwdEdt";
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
            typeInto(&dialog, "oldPwdEdt", oldPw);
        typeInto(&dialog, "pwdEdt", newPw);
        typeInto(&dialog, "confirmPwdEdt", confirm);
        QToolTip::hideText();
        QTest::mouseClick(child(&dialog, "okBt"), Qt::LeftButton);
        QCOMPARE(accepted.count(), 0);
        QVERIFY(dialog.isVisible());
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), tip);
        // The tip sits at the top-left corner of the edit that is wrong.
        QWidget* edit = child(&dialog, tipAt.toLatin1().constData());
        const QPoint corner = edit->mapToGlobal(QPoint(0, 0));
        QWidget* tipWindow = nullptr;
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget* w : windows) {
            if (w->inherits("QTipLabel") && w->isVisible())
                tipWindow = w;
        }
        QVERIFY(tipWindow);
        QVERIFY2((tipWindow->geometry().topLeft() - corner).manhattanLength() < 40,
                 qPrintable(QStringLiteral("tip at %1,%2, edit at %3,%4")
                                .arg(tipWindow->x())
                                .arg(tipWindow->y())
                                .arg(corner.x())
                                .arg(corner.y())));
    }

    void validPasswordsAreAcceptedAndGiven_data()
    {
        QTest::addColumn<bool>("changeMode");
        QTest::addColumn<QString>("oldPw");
        QTest::addColumn<QString>("newPw");
        QTest::newRow("activation") << false << ""
                                    << "Abcd1234";
        QTest::newRow("activation, 16") << false << ""
                                        << "Abcdefgh12345678";
        QTest::newRow("change, old 8") << true << "12345678"
                                       << "Abcd1234";
        QTest::newRow("change, old 16") << true << "1234567890123456"
                                        << "xyz!9876";
    }

    void validPasswordsAreAcceptedAndGiven()
    {
        QFETCH(bool, changeMode);
        QFETCH(QString, oldPw);
        QFETCH(QString, newPw);
        DevActiveDlg dialog(changeMode, nullptr);
        QVERIFY(execAndEnter(dialog, oldPw, newPw, newPw));
        QCOMPARE(dialog.getPassword(), newPw);
        QCOMPARE(dialog.getOldPassword(), oldPw);
    }

    void cancelRejects()
    {
        DevActiveDlg dialog(false, nullptr);
        ModalAnswerer answer(QStringLiteral("pral_matrixConfig::DevActiveDlg"), [](QWidget* dlg) {
            QTest::keyClicks(child(dlg, "pwdEdt"), QStringLiteral("Abcd1234"));
            QTest::keyClicks(child(dlg, "confirmPwdEdt"), QStringLiteral("Abcd1234"));
            ModalAnswerer::clickButton(dlg, QStringLiteral("cancelBt"));
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(answer.answered());
    }

    // Activation as the search dialog runs it: one password for every selected new decoder.
    void activationPasswordActivatesNewDecoders()
    {
        QVERIFY(!reportsActivated(Fresh));
        QVERIFY(!reportsActivated(Fresh2));
        DevActiveDlg dialog(false, nullptr);
        const QString password = QStringLiteral("Wall#2024");
        QVERIFY(execAndEnter(dialog, QString(), password, password));

        QObject receiver;
        QMap<QString, int> results;
        connect(&worker(), &MatrixSdkWorker::signalActiveDecoderFinished, &receiver,
                [&results](int ret, const QString& id) { results.insert(id, ret); });
        for (const QString& id : {QStringLiteral("DEV-NEW"), QStringLiteral("DEV-NEW2")})
            worker().activeDecoder(id, dialog.getPassword());
        QTRY_COMPARE(results.size(), 2);
        QCOMPARE(results.value(QStringLiteral("DEV-NEW")), 0);
        QCOMPARE(results.value(QStringLiteral("DEV-NEW2")), 0);

        QVERIFY(reportsActivated(Fresh));
        QVERIFY(reportsActivated(Fresh2));
        QCOMPARE(loginResult(Fresh, password), 0);
        QVERIFY(loginResult(Fresh2, QStringLiteral("Wrong#2024")) != 0);
        worker().disconnectAllMatrix();
    }

    void activatingAnActivatedDecoderFails()
    {
        DevActiveDlg dialog(false, nullptr);
        QVERIFY(execAndEnter(dialog, QString(), QStringLiteral("Other#2024"), QStringLiteral("Other#2024")));
        QObject receiver;
        int result = 0;
        QString reported;
        connect(&worker(), &MatrixSdkWorker::signalActiveDecoderFinished, &receiver,
                [&](int ret, const QString& id) {
                    result = ret;
                    reported = id;
                });
        worker().activeDecoder(QStringLiteral("DEV-A"), dialog.getPassword());
        QTRY_COMPARE(reported, QStringLiteral("DEV-A"));
        QVERIFY(result != 0);
        // The decoder keeps the password it had.
        QCOMPARE(loginResult(Active, CurrentPw), 0);
        worker().disconnectAllMatrix();
    }

    // Password change as the decoder configuration runs it: old and new password from the dialog.
    void changedPasswordReachesTheDecoder_data()
    {
        QTest::addColumn<QString>("oldPw");
        QTest::addColumn<bool>("changes");
        QTest::newRow("right old password") << CurrentPw << true;
        QTest::newRow("wrong old password") << QStringLiteral("Passw0rd?") << false;
    }

    void changedPasswordReachesTheDecoder()
    {
        QFETCH(QString, oldPw);
        QFETCH(bool, changes);
        const QString newPw = QStringLiteral("N3w-secret");
        QCOMPARE(loginResult(Active, CurrentPw), 0);
        const CMHandle handle = worker().getHandleByIp(Active);
        QVERIFY(handle);

        DevActiveDlg dialog(true, nullptr);
        QVERIFY(execAndEnter(dialog, oldPw, newPw, newPw));
        QObject receiver;
        int result = 1;
        bool done = false;
        connect(&worker(), &MatrixSdkWorker::signalUserPasswordModifyResult, &receiver,
                [&](int ret, const QString&, const QString&) {
                    result = ret;
                    done = true;
                });
        worker().userPasswordModify(handle, dialog.getOldPassword(), dialog.getPassword());
        QTRY_VERIFY(done);
        QCOMPARE(result == 0, changes);
        worker().disconnectAllMatrix();
        QCOMPARE(loginResult(Active, newPw) == 0, changes);
        QCOMPARE(loginResult(Active, CurrentPw) == 0, !changes);
        worker().disconnectAllMatrix();
    }

private:
    QTemporaryDir dir;
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
