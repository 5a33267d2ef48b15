#include "decodernetworkconfigdlg.h"
#include "ipeditwt.h"
#include "managementtesthelpers.h"
#include "servicespy.h"
#include "servicethread.h"

#include <QApplication>
#include <QRadioButton>
#include <QtTest>

#include <cstring>

using namespace pral_matrixConfig;
using namespace mgmt;
using PCOMMON::IpEditWt;
using pral_matrix::DeviceNetworkCfg_t;
using pral_matrix::MatrixSdkWorker;
using pral_worker::SystemAssistant;

namespace {

// 50 characters in the address shape: more than the 47 that a 48-byte field holds.
const QString LongIpv6 = QStringLiteral("1111:2222:3333:4444:5555:6666:7777::8888:9999:aaaa");

template <typename T = QLineEdit>
T* child(QWidget* parent, const QString& name)
{
    return parent->findChild<T*>(name);
}

/** Fills the whole field: the text, then zeros. */
template <std::size_t N>
void put(char (&field)[N], const char* text)
{
    std::memset(field, 0, N);
    std::strncpy(field, text, N - 1);
}

template <std::size_t N>
QByteArray text(const char (&field)[N])
{
    return QByteArray(field, int(qstrnlen(field, N)));
}

/** A configuration as a decoder reports it, with every byte outside the fields set. */
DeviceNetworkCfg_t reported(const char* ipv6 = "")
{
    DeviceNetworkCfg_t cfg;
    std::memset(&cfg, 0x5a, sizeof cfg);
    put(cfg.ipv4Addr, "192.0.2.10");
    put(cfg.ipv4Mask, "255.255.255.0");
    put(cfg.ipv4Gateway, "192.0.2.1");
    put(cfg.dns, "192.0.2.53");
    put(cfg.ipv6Addr, ipv6);
    cfg.ipv6PrefixLen = *ipv6 ? 64 : 0;
    put(cfg.ipv6Gateway, *ipv6 ? "2001:db8::1" : "");
    return cfg;
}

/** Asks the service for the decoder's network settings and waits for them. */
bool fetchNetwork(const QString& ip, DeviceNetworkCfg_t* cfg)
{
    ServiceSpy answers(&MatrixSdkWorker::signalGetMatrixNetworkResult);
    worker().getMatrixNetworkInfo(stored(ip), 3);
    if (!QTest::qWaitFor([&] { return !answers.isEmpty(); }))
        return false;
    *cfg = answers.at(0).at(0).value<DeviceNetworkCfg_t>();
    return answers.at(0).at(1).toString() == ip;
}

void retype(QLineEdit* edit, const QString& value)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, value);
}

void retype(IpEditWt* edit, const QString& value)
{
    const QStringList octets = value.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) {
        edit->octetEdit(i)->clear();
        QTest::keyClicks(edit->octetEdit(i), octets.value(i));
    }
}

void clickSwitch(QWidget* dialog)
{
    auto* ipv6Switch = child<QRadioButton>(dialog, "radioIpv6");
    QTest::mouseClick(ipv6Switch, Qt::LeftButton, {}, QPoint(10, ipv6Switch->height() / 2));
}

} // namespace

/**
 * @brief The network dialog: filling from the decoder's answer, the IPv6 switch and validators, the
 * zero-filled result, the keys, fields too long for the record, and the round trip through the service.
 */
class TestDecoderNetworkConfigDlg : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(fx.setUp());
        alerts = std::make_unique<QSignalSpy>(&PSingleton<SystemAssistant>::_instance(),
                                              &SystemAssistant::signalAlert);
    }

    void cleanup()
    {
        alerts.reset();
        fx.tearDown();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void ipv6SwitchFollowsTheAnswerAndKeepsValues()
    {
        DecoderNetworkConfigDlg withIpv6(reported("2001:db8::10"), nullptr);
        withIpv6.show();
        QVERIFY(child<QRadioButton>(&withIpv6, "radioIpv6")->isChecked());
        QVERIFY(child<QWidget>(&withIpv6, "ipv6Wt")->isVisible());
        QCOMPARE(child(&withIpv6, "ipAddressIpv6")->text(), QStringLiteral("2001:db8::10"));
        QCOMPARE(child(&withIpv6, "maskCodeIpv6")->text(), QStringLiteral("64"));
        QCOMPARE(child(&withIpv6, "gatewayIpv6")->text(), QStringLiteral("2001:db8::1"));
        withIpv6.close();

        DecoderNetworkConfigDlg dialog(reported(), nullptr);
        dialog.show();
        QStringList ipv4;
        for (const char* name : {"ipAddress", "maskCode", "gateway", "DNS"})
            ipv4 << child<IpEditWt>(&dialog, name)->text();
        QCOMPARE(ipv4, (QStringList{"192.0.2.10", "255.255.255.0", "192.0.2.1", "192.0.2.53"}));
        QVERIFY(!child<QRadioButton>(&dialog, "radioIpv6")->isChecked());
        QVERIFY(!child<QWidget>(&dialog, "ipv6Wt")->isVisible());
        clickSwitch(&dialog);
        QVERIFY(child<QWidget>(&dialog, "ipv6Wt")->isVisible());
        QVERIFY(child(&dialog, "ipAddressIpv6")->text().isEmpty());
        QTest::keyClicks(child(&dialog, "ipAddressIpv6"), QStringLiteral("fd00::5"));
        QTest::keyClicks(child(&dialog, "maskCodeIpv6"), QStringLiteral("56"));
        QTest::keyClicks(child(&dialog, "gatewayIpv6"), QStringLiteral("fd00::1"));
        // A switch, not a radio button of a group: a second click turns it off again.
        clickSwitch(&dialog);
        QVERIFY(!child<QRadioButton>(&dialog, "radioIpv6")->isChecked());
        QVERIFY(!child<QWidget>(&dialog, "ipv6Wt")->isVisible());
        // Hidden, the values still make the result.
        const DeviceNetworkCfg_t result = dialog.getNetworkConfig();
        QCOMPARE(text(result.ipv6Addr), QByteArray("fd00::5"));
        QCOMPARE(result.ipv6PrefixLen, 56);
        QCOMPARE(text(result.ipv6Gateway), QByteArray("fd00::1"));
    }

    void validatorsRefuseWhatCannotBeAnIpv6Setting_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        const auto row = [](const char* name, const char* edit, const char* typed, const char* kept) {
            QTest::newRow(name) << edit << typed << kept;
        };
        row("address lower case", "ipAddressIpv6", "fe80::1ab", "fe80::1ab");
        row("address upper case", "ipAddressIpv6", "FE80::1AB", "80::1");
        row("address other letters", "ipAddressIpv6", "2001:dbx8::g1", "2001:db8::1");
        row("address five digits", "ipAddressIpv6", "20011::1", "2001::1");
        row("gateway upper case", "gatewayIpv6", "2001:DB8::1", "2001:8::1");
        row("prefix 128", "maskCodeIpv6", "128", "128");
        row("prefix 129", "maskCodeIpv6", "129", "12");
        row("prefix 300", "maskCodeIpv6", "300", "30");
        row("prefix negative", "maskCodeIpv6", "-5", "5");
        row("prefix letters", "maskCodeIpv6", "6a4", "64");
    }

    void validatorsRefuseWhatCannotBeAnIpv6Setting()
    {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        DecoderNetworkConfigDlg dialog(reported("2001:db8::10"), nullptr);
        dialog.show();
        auto* field = child(&dialog, edit);
        field->clear();
        QTest::keyClicks(field, typed);
        QCOMPARE(field->text(), kept);
    }

    void resultHoldsOnlyTheEditedFields()
    {
        DecoderNetworkConfigDlg dialog(reported("2001:db8::10"), nullptr);
        dialog.show();
        retype(child<IpEditWt>(&dialog, "ipAddress"), QStringLiteral("192.0.2.77"));
        retype(child(&dialog, "maskCodeIpv6"), QStringLiteral("48"));

        DeviceNetworkCfg_t expected;
        std::memset(&expected, 0, sizeof expected);
        put(expected.ipv4Addr, "192.0.2.77");
        put(expected.ipv4Mask, "255.255.255.0");
        put(expected.ipv4Gateway, "192.0.2.1");
        put(expected.dns, "192.0.2.53");
        put(expected.ipv6Addr, "2001:db8::10");
        expected.ipv6PrefixLen = 48;
        put(expected.ipv6Gateway, "2001:db8::1");
        const DeviceNetworkCfg_t result = dialog.getNetworkConfig();
        // Byte for byte: nothing of the received header, trailer or field tails comes back.
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&result), sizeof result).toHex(),
                 QByteArray(reinterpret_cast<const char*>(&expected), sizeof expected).toHex());
        // An empty prefix gives zero.
        child(&dialog, "maskCodeIpv6")->clear();
        QCOMPARE(dialog.getNetworkConfig().ipv6PrefixLen, 0);
    }

    void keysAndButtonsCloseTheDialog_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("result");
        QTest::newRow("OK") << "okBtn" << int(QDialog::Accepted);
        QTest::newRow("Cancel") << "cancelBtn" << int(QDialog::Rejected);
        QTest::newRow("close") << "closeBt" << int(QDialog::Rejected);
        QTest::newRow("Return") << "Return" << int(QDialog::Accepted);
        QTest::newRow("Enter") << "Enter" << int(QDialog::Accepted);
        QTest::newRow("Escape") << "Escape" << int(QDialog::Rejected);
    }

    void keysAndButtonsCloseTheDialog()
    {
        QFETCH(QString, action);
        QFETCH(int, result);
        DecoderNetworkConfigDlg dialog(reported(), nullptr);
        ModalAnswerer answer(NetworkClass, [action](QWidget* dlg) {
            // The keys are typed where the operator types: in an address field.
            QWidget* field = child<IpEditWt>(dlg, "gateway")->octetEdit(3);
            field->setFocus();
            if (action == QLatin1String("Return"))
                QTest::keyClick(field, Qt::Key_Return);
            else if (action == QLatin1String("Enter"))
                QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
            else if (action == QLatin1String("Escape"))
                QTest::keyClick(field, Qt::Key_Escape);
            else
                ModalAnswerer::clickButton(dlg, action);
        });
        QCOMPARE(dialog.exec(), result);
        QVERIFY(answer.answered());
    }

    // A cut address would configure another address than the one typed: OK refuses and says why.
    void tooLongIpv6TextIsRefused_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("switchOff");
        QTest::addColumn<QString>("message");
        const QString address =
            QStringLiteral("The IPv6 address is too long: at most 47 characters are allowed.");
        QTest::newRow("address") << "ipAddressIpv6" << false << address;
        QTest::newRow("gateway") << "gatewayIpv6" << false
                                 << "The IPv6 gateway is too long: at most 47 characters are allowed.";
        QTest::newRow("address behind the switch") << "ipAddressIpv6" << true << address;
    }

    void tooLongIpv6TextIsRefused()
    {
        QFETCH(QString, edit);
        QFETCH(bool, switchOff);
        QFETCH(QString, message);
        DecoderNetworkConfigDlg dialog(reported("2001:db8::10"), nullptr);
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* field = child(&dialog, edit);
        retype(field, LongIpv6);
        QCOMPARE(field->text(), LongIpv6);
        if (switchOff)
            clickSwitch(&dialog);
        QCOMPARE(child<QWidget>(&dialog, "ipv6Wt")->isVisible(), !switchOff);

        QTest::mouseClick(child<QWidget>(&dialog, "okBtn"), Qt::LeftButton);
        QCOMPARE(accepted.count(), 0);
        QVERIFY(dialog.isVisible());
        QCOMPARE(alerts->count(), 1);
        QCOMPARE(alerts->at(0).at(0).toString(), pral_contact::DictDef::alertWarning);
        QCOMPARE(alerts->at(0).at(1).toString(), message);
        // The operator sees the text to shorten.
        QVERIFY(field->isVisible());
        QCOMPARE(field->selectedText(), LongIpv6);

        // Return is refused the same way.
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(accepted.count(), 0);
        QCOMPARE(alerts->count(), 2);

        // Even read without OK, the field is cut to fit and keeps its terminating zero.
        const DeviceNetworkCfg_t result = dialog.getNetworkConfig();
        const char* bytes = edit == QLatin1String("gatewayIpv6") ? result.ipv6Gateway : result.ipv6Addr;
        QCOMPARE(bytes[47], '\0');
        QCOMPARE(QByteArray(bytes), LongIpv6.left(47).toLatin1());
        QCOMPARE(text(result.dns), QByteArray("192.0.2.53"));

        retype(field, LongIpv6.left(47));
        QTest::mouseClick(child<QWidget>(&dialog, "okBtn"), Qt::LeftButton);
        QCOMPARE(accepted.count(), 1);
    }

    // A decoder may fill a field to its last byte: the text stops at the field's end.
    void unterminatedReceivedFieldIsNotOverread()
    {
        DeviceNetworkCfg_t cfg = reported("2001:db8::10");
        std::memset(cfg.ipv6Addr, 'a', sizeof cfg.ipv6Addr);
        std::memset(cfg.ipv4Mask, '7', sizeof cfg.ipv4Mask);
        DecoderNetworkConfigDlg dialog(cfg, nullptr);
        dialog.show();
        QCOMPARE(child(&dialog, "ipAddressIpv6")->text(), QString(48, QLatin1Char('a')));
        QVERIFY(child<IpEditWt>(&dialog, "maskCode")->text().isEmpty());
        QCOMPARE(dialog.getNetworkConfig().ipv6Addr[47], '\0');
        QTest::mouseClick(child<QWidget>(&dialog, "okBtn"), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(alerts->count(), 1);
    }

    // What a decoder that does not answer gives: nothing to edit.
    void emptyNetworkAnswerIsRecognised()
    {
        DeviceNetworkCfg_t cfg;
        QVERIFY(fetchNetwork(QStringLiteral("192.0.2.99"), &cfg));
        QVERIFY(DecoderNetworkConfigDlg::isEmptyNetworkAnswer(cfg));
        QVERIFY(fetchNetwork(Other, &cfg));
        QVERIFY(!DecoderNetworkConfigDlg::isEmptyNetworkAnswer(cfg));
        std::memset(&cfg, 0, sizeof cfg);
        put(cfg.ipv6Addr, "2001:db8::10");
        QVERIFY(DecoderNetworkConfigDlg::isEmptyNetworkAnswer(cfg));
        put(cfg.dns, "192.0.2.53");
        QVERIFY(!DecoderNetworkConfigDlg::isEmptyNetworkAnswer(cfg));
    }

    // As the configuration dialog runs it: ask the decoder, edit, send, ask again.
    void roundTripThroughTheService()
    {
        DeviceNetworkCfg_t answer;
        QVERIFY(fetchNetwork(Main, &answer));
        DecoderNetworkConfigDlg dialog(answer, nullptr);
        ModalAnswerer edit(NetworkClass, [](QWidget* dlg) {
            QCOMPARE(child<IpEditWt>(dlg, "maskCode")->text(), QStringLiteral("255.255.255.0"));
            QCOMPARE(child(dlg, "ipAddressIpv6")->text(), QStringLiteral("2001:db8::10"));
            retype(child<IpEditWt>(dlg, "DNS"), QStringLiteral("192.0.2.54"));
            retype(child<IpEditWt>(dlg, "gateway"), QStringLiteral("192.0.2.254"));
            retype(child(dlg, "ipAddressIpv6"), QStringLiteral("2001:db8:0:1::11"));
            retype(child(dlg, "maskCodeIpv6"), QStringLiteral("80"));
            retype(child(dlg, "gatewayIpv6"), QStringLiteral("2001:db8:0:1::1"));
            ModalAnswerer::clickButton(dlg, QStringLiteral("okBtn"));
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        ServiceSpy sent(&MatrixSdkWorker::signalSetMatrixNetworkResult);
        worker().setMatrixNetworkConfig(worker().getHandleByIp(Main), stored(Main), stored(Main),
                                        dialog.getNetworkConfig(), 3, this);
        QTRY_COMPARE(sent.count(), 1);
        QCOMPARE(sent.at(0).at(0).toInt(), 0);

        DeviceNetworkCfg_t after;
        QVERIFY(fetchNetwork(Main, &after));
        const QList<QByteArray> fields{text(after.ipv4Addr), text(after.ipv4Mask), text(after.ipv4Gateway),
                                       text(after.dns),      text(after.ipv6Addr), text(after.ipv6Gateway)};
        QCOMPARE(fields, (QList<QByteArray>{"192.0.2.10", "255.255.255.0", "192.0.2.254", "192.0.2.54",
                                            "2001:db8:0:1::11", "2001:db8:0:1::1"}));
        QCOMPARE(after.ipv6PrefixLen, 80);
    }

private:
    Fixture fx;
    std::unique_ptr<QSignalSpy> alerts;
};

QTEST_MAIN(TestDecoderNetworkConfigDlg)
#include "tst_networkconfigdlg.moc"
