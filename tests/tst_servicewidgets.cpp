#include "connectstatetipwt.h"
#include "userlogindlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace pral_matrix;

/**
 * @brief The login dialog and the connection tip, driven as a user would.
 */
class TestServiceWidgets : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void loginAnswers_data()
    {
        QTest::addColumn<QString>("userName");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("press");
        QTest::addColumn<int>("result");
        const auto row = [](const char* name, const QString& user, const QString& pw, const QString& press,
                            int result) {
            QTest::newRow(name) << user << pw << press << result;
        };
        row("ok button", "operator", "Pa ss-w0rd", "okBtn", QDialog::Accepted);
        // No name typed: the offered factory user name is the one given back.
        row("return key, offered name", QString(), "Tvwall@2024", "return", QDialog::Accepted);
        row("empty password", "guest", QString(), "okBtn", QDialog::Accepted);
        row("cancel", "operator", "typed", "cancelBtn", QDialog::Rejected);
        row("title bar close", "operator", "typed", "closeBtn", QDialog::Rejected);
    }
    void loginAnswers()
    {
        QFETCH(QString, userName);
        QFETCH(QString, password);
        QFETCH(QString, press);
        QFETCH(int, result);
        UserLoginDlg dlg(nullptr);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* user = dlg.findChild<QLineEdit*>(QStringLiteral("userNameEdit"));
        auto* pw = dlg.findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
        QCOMPARE(pw->echoMode(), QLineEdit::Password);
        if (!userName.isEmpty()) {
            user->clear();
            QTest::keyClicks(user, userName);
        }
        QTest::keyClicks(pw, password);
        if (press == QLatin1String("return"))
            QTest::keyClick(pw, Qt::Key_Return);
        else
            QTest::mouseClick(dlg.findChild<QPushButton*>(press), Qt::LeftButton);
        QCOMPARE(dlg.result(), result);
        QVERIFY(!dlg.isVisible());
        if (result == QDialog::Accepted) {
            QString gotUser, gotPassword;
            dlg.getUserInfo(gotUser, gotPassword);
            QCOMPARE(gotUser, userName.isEmpty() ? QStringLiteral("admin") : userName);
            QCOMPARE(gotPassword, password);
        }
    }

    void loginWithoutUserNameStaysOpen()
    {
        UserLoginDlg dlg(nullptr);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* user = dlg.findChild<QLineEdit*>(QStringLiteral("userNameEdit"));
        auto* notice = dlg.findChild<QLabel*>(QStringLiteral("noticeLabel"));
        auto* ok = dlg.findChild<QPushButton*>(QStringLiteral("okBtn"));
        user->clear();
        QTest::keyClicks(user, QStringLiteral("   "));
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);
        QVERIFY(notice->isVisible());
        QVERIFY(!notice->text().isEmpty());
        // Typing again clears the notice; a name then lets the dialog close.
        QTest::keyClicks(user, QStringLiteral("admin"));
        QVERIFY(!notice->isVisible());
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void tipReconnectsOrHidesNamingItsAddress()
    {
        ConnectStateTipWt tip(nullptr);
        tip.setConnectIp(QStringLiteral("192.0.2.12"));
        tip.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tip));
        QSignalSpy reconnect(&tip, &ConnectStateTipWt::singalReconnect);
        QSignalSpy hidden(&tip, &ConnectStateTipWt::signalHideWt);
        QTest::mouseClick(tip.findChild<QPushButton*>(QStringLiteral("reconnectBtn")), Qt::LeftButton);
        QCOMPARE(reconnect.size(), 1);
        QCOMPARE(hidden.size(), 0);
        // The owner hides it once the result is known.
        QVERIFY(tip.isVisible());
        QTest::mouseClick(tip.findChild<QPushButton*>(QStringLiteral("closeBtn")), Qt::LeftButton);
        QCOMPARE(hidden.size(), 1);
        QCOMPARE(hidden.first().first().toString(), QStringLiteral("192.0.2.12"));
        QCOMPARE(reconnect.size(), 1);
        QVERIFY(!tip.isVisible());
    }
};

QTEST_MAIN(TestServiceWidgets)
#include "tst_servicewidgets.moc"
