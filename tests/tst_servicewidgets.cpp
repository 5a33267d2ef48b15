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
    void cleanup();

    void loginOffersTheFactoryUserName();
    void loginAcceptsWhatWasTyped_data();
    void loginAcceptsWhatWasTyped();
    void loginWithoutUserNameStaysOpen();
    void loginCancelAndCloseReject_data();
    void loginCancelAndCloseReject();
    void tipReconnectAsksForTheConnection();
    void tipDismissHidesAndNamesItsAddress();
};

void TestServiceWidgets::cleanup()
{
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestServiceWidgets::loginOffersTheFactoryUserName()
{
    UserLoginDlg dlg(nullptr);
    auto* user = dlg.findChild<QLineEdit*>(QStringLiteral("userNameEdit"));
    auto* password = dlg.findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
    QVERIFY(user && password);
    QCOMPARE(user->text(), QStringLiteral("admin"));
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("okBtn"))->property("common_bt_style1").toBool(),
             true);
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("cancelBtn"))->property("common_bt_style2").toBool(),
             true);
}

void TestServiceWidgets::loginAcceptsWhatWasTyped_data()
{
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("pressReturn");
    QTest::newRow("ok button") << "operator"
                               << "Pa ss-w0rd" << false;
    QTest::newRow("return key") << "admin"
                                << "Tvwall@2024" << true;
    QTest::newRow("empty password") << "guest"
                                    << "" << false;
}

void TestServiceWidgets::loginAcceptsWhatWasTyped()
{
    QFETCH(QString, userName);
    QFETCH(QString, password);
    QFETCH(bool, pressReturn);
    UserLoginDlg dlg(nullptr);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto* user = dlg.findChild<QLineEdit*>(QStringLiteral("userNameEdit"));
    auto* pw = dlg.findChild<QLineEdit*>(QStringLiteral("passwordEdit"));
    user->clear();
    QTest::keyClicks(user, userName);
    QTest::keyClicks(pw, password);
    if (pressReturn)
        QTest::keyClick(pw, Qt::Key_Return);
    else
        QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("okBtn")), Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());
    QString gotUser, gotPassword;
    dlg.getUserInfo(gotUser, gotPassword);
    QCOMPARE(gotUser, userName);
    QCOMPARE(gotPassword, password);
}

void TestServiceWidgets::loginWithoutUserNameStaysOpen()
{
    UserLoginDlg dlg(nullptr);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto* user = dlg.findChild<QLineEdit*>(QStringLiteral("userNameEdit"));
    auto* notice = dlg.findChild<QLabel*>(QStringLiteral("noticeLabel"));
    user->clear();
    QTest::keyClicks(user, QStringLiteral("   "));
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("okBtn")), Qt::LeftButton);
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.result(), 0);
    QVERIFY(notice->isVisible());
    QVERIFY(!notice->text().isEmpty());
    // Typing again clears the notice; a name then lets the dialog close.
    QTest::keyClicks(user, QStringLiteral("admin"));
    QVERIFY(!notice->isVisible());
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("okBtn")), Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

void TestServiceWidgets::loginCancelAndCloseReject_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("cancel") << "cancelBtn";
    QTest::newRow("title bar close") << "closeBtn";
}

void TestServiceWidgets::loginCancelAndCloseReject()
{
    QFETCH(QString, button);
    UserLoginDlg dlg(nullptr);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTest::keyClicks(dlg.findChild<QLineEdit*>(QStringLiteral("passwordEdit")), QStringLiteral("typed"));
    QTest::mouseClick(dlg.findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(!dlg.isVisible());
}

void TestServiceWidgets::tipReconnectAsksForTheConnection()
{
    ConnectStateTipWt tip(nullptr);
    tip.setConnectIp(QStringLiteral("192.0.2.10"));
    tip.setTipContent(QStringLiteral("192.0.2.10 connection is broken"));
    tip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tip));
    QCOMPARE(tip.findChild<QLabel*>(QStringLiteral("tipLabel"))->text(),
             QStringLiteral("192.0.2.10 connection is broken"));
    QSignalSpy reconnect(&tip, &ConnectStateTipWt::singalReconnect);
    QSignalSpy hidden(&tip, &ConnectStateTipWt::signalHideWt);
    QTest::mouseClick(tip.findChild<QPushButton*>(QStringLiteral("reconnectBtn")), Qt::LeftButton);
    QCOMPARE(reconnect.size(), 1);
    QCOMPARE(hidden.size(), 0);
    // The owner hides it once the result is known.
    QVERIFY(tip.isVisible());
    tip.close();
}

void TestServiceWidgets::tipDismissHidesAndNamesItsAddress()
{
    ConnectStateTipWt tip(nullptr);
    tip.setConnectIp(QStringLiteral("192.0.2.12"));
    QCOMPARE(tip.getConnectIp(), QStringLiteral("192.0.2.12"));
    tip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tip));
    QSignalSpy hidden(&tip, &ConnectStateTipWt::signalHideWt);
    QTest::mouseClick(tip.findChild<QPushButton*>(QStringLiteral("closeBtn")), Qt::LeftButton);
    QCOMPARE(hidden.size(), 1);
    QCOMPARE(hidden.first().first().toString(), QStringLiteral("192.0.2.12"));
    QVERIFY(!tip.isVisible());
}

QTEST_MAIN(TestServiceWidgets)
#include "tst_servicewidgets.moc"
