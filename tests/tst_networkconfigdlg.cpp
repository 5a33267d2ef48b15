#include "decodernetworkconfigdlg.h"
#include "dictdef.h"
#include "faultinjector.h"
#include "ipeditwt.h"
#include "matrixsdkworker.h"
#include "modalanswerer.h"
#include "servicethread.h"
#include "systemassistant.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using namespace pral_matrixConfig;
using pral_matrix::CMHandle;
using pral_matrix::DeviceNetworkCfg_t;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_worker::SystemAssistant;

namespace {

const QByteArray FleetJson = R"({
  "latencyMs": 0,
  "decoders": [
    {"ip": "192.0.2.10", "deviceId": "DEV-A", "type": 3, "channels": 4, "password": "Passw0rd!",
     "mask": "255.255.255.0", "gateway": "192.0.2.1", "dns": "192.0.2.53"},
    {"ip": "192.0.2.11", "deviceId": "DEV-B", "type": 1, "password": "Passw0rd!",
     "mask": "255.255.0.0", "gateway": "192.0.2.1", "dns": "192.0.2.53",
     "ipv6": "2001:db8::11", "ipv6Prefix": 64, "ipv6Gateway": "2001:db8::1"}
  ]
})";

const QString V4Only = QStringLiteral("192.0.2.10");
const QString Dual = QStringLiteral("192.0.2.11");

// 50 characters in the address shape: more than the 47 that a 48-byte field holds.
const QString LongIpv6 = QStringLiteral("1111:2222:3333:4444:5555:6666:7777::8888:9999:aaaa");

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

template <std::size_t N>
void put(char (&field)[N], const char* text)
{
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
    std::memset(cfg.ipv4Addr, 0, sizeof cfg.ipv4Addr);
    std::memset(cfg.ipv4Mask, 0, sizeof cfg.ipv4Mask);
    std::memset(cfg.ipv4Gateway, 0, sizeof cfg.ipv4Gateway);
    std::memset(cfg.ipv6Addr, 0, sizeof cfg.ipv6Addr);
    std::memset(cfg.ipv6Gateway, 0, sizeof cfg.ipv6Gateway);
    std::memset(cfg.dns, 0, sizeof cfg.dns);
    put(cfg.ipv4Addr, "192.0.2.10");
    put(cfg.ipv4Mask, "255.255.255.0");
    put(cfg.ipv4Gateway, "192.0.2.1");
    put(cfg.dns, "192.0.2.53");
    put(cfg.ipv6Addr, ipv6);
    cfg.ipv6PrefixLen = *ipv6 ? 64 : 0;
    put(cfg.ipv6Gateway, *ipv6 ? "2001:db8::1" : "");
    return cfg;
}

MatrixInfo record(const QString& ip)
{
    MatrixInfo info;
    info.ip = ip;
    info.userName = QStringLiteral("admin");
    info.password = QStringLiteral("Passw0rd!");
    return info;
}

/** Asks the service for the decoder's network settings and waits for them. */
bool fetchNetwork(const QString& ip, DeviceNetworkCfg_t* cfg, int type = 3)
{
    QObject receiver;
    bool done = false;
    QObject::connect(&worker(), &MatrixSdkWorker::signalGetMatrixNetworkResult, &receiver,
                     [&](const DeviceNetworkCfg_t& answer, const QString& formerIp, int) {
                         if (formerIp == ip) {
                             *cfg = answer;
                             done = true;
                         }
                     });
    worker().getMatrixNetworkInfo(record(ip), type);
    return QTest::qWaitFor([&done] { return done; }, 5000);
}

int sendNetwork(const QString& ip, const DeviceNetworkCfg_t& cfg)
{
    QObject receiver;
    int result = 1;
    bool done = false;
    QObject::connect(&worker(), &MatrixSdkWorker::signalSetMatrixNetworkResult, &receiver,
                     [&](int ret, const QString&, const QString&) {
                         result = ret;
                         done = true;
                     });
    worker().setMatrixNetworkConfig(worker().getHandleByIp(ip), record(ip), record(ip), cfg, 3, &receiver);
    if (!QTest::qWaitFor([&done] { return done; }, 5000))
        return 999;
    return result;
}

void retype(QLineEdit* edit, const QString& value)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, value);
}

void retype(PCOMMON::IpEditWt* edit, const QString& value)
{
    const QStringList octets = value.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) {
        edit->octetEdit(i)->clear();
        QTest::keyClicks(edit->octetEdit(i), octets.value(i));
    }
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
        alerts = std::make_unique<QSignalSpy>(&PSingleton<SystemAssistant>::_instance(),
                                              &SystemAssistant::signalAlert);
    }

    void cleanup()
    {
        alerts.reset();
        PSingleton<SystemAssistant>::_instance().closeAll();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void ipv4OnlyOpensWithTheSwitchOff()
    {
        DecoderNetworkConfigDlg dialog(reported(), nullptr);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Networkconfig"));
        QCOMPARE(child<PCOMMON::IpEditWt>(&dialog, "ipAddress")->text(), QStringLiteral("192.0.2.10"));
        QCOMPARE(child<PCOMMON::IpEditWt>(&dialog, "maskCode")->text(), QStringLiteral("255.255.255.0"));
        QCOMPARE(child<PCOMMON::IpEditWt>(&dialog, "gateway")->text(), QStringLiteral("192.0.2.1"));
        QCOMPARE(child<PCOMMON::IpEditWt>(&dialog, "DNS")->text(), QStringLiteral("192.0.2.53"));
        auto* ipv6Switch = child<QRadioButton>(&dialog, "radioIpv6");
        QVERIFY(!ipv6Switch->isChecked());
        QVERIFY(!child(&dialog, "ipv6Wt")->isVisible());

        QTest::mouseClick(ipv6Switch, Qt::LeftButton, {}, QPoint(10, ipv6Switch->height() / 2));
        QVERIFY(ipv6Switch->isChecked());
        QVERIFY(child(&dialog, "ipv6Wt")->isVisible());
        for (const char* name : {"ipAddressIpv6", "maskCodeIpv6", "gatewayIpv6"})
            QVERIFY(child<QLineEdit>(&dialog, name)->text().isEmpty());

        // A switch, not a radio button of a group: a second click turns it off again.
        QTest::mouseClick(ipv6Switch, Qt::LeftButton, {}, QPoint(10, ipv6Switch->height() / 2));
        QVERIFY(!ipv6Switch->isChecked());
        QVERIFY(!child(&dialog, "ipv6Wt")->isVisible());
    }

    void ipv6OpensWithTheSwitchOn()
    {
        DecoderNetworkConfigDlg dialog(reported("2001:db8::10"), nullptr);
        dialog.show();
        QVERIFY(child<QRadioButton>(&dialog, "radioIpv6")->isChecked());
        QVERIFY(child(&dialog, "ipv6Wt")->isVisible());
        QCOMPARE(child<QLineEdit>(&dialog, "ipAddressIpv6")->text(), QStringLiteral("2001:db8::10"));
        QCOMPARE(child<QLineEdit>(&dialog, "maskCodeIpv6")->text(), QStringLiteral("64"));
        QCOMPARE(child<QLineEdit>(&dialog, "gatewayIpv6")->text(), QStringLiteral("2001:db8::1"));
    }

    void validatorsRefuseWhatCannotBeAnIpv6Setting_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("address lower case") << "ipAddressIpv6"
                                            << "fe80::1ab"
                                            << "fe80::1ab";
        QTest::newRow("address upper case") << "ipAddressIpv6"
                                            << "FE80::1AB"
                                            << "80::1";
        QTest::newRow("address other letters") << "ipAddressIpv6"
                                               << "2001:dbx8::g1"
                                               << "2001:db8::1";
        QTest::newRow("address five digits") << "ipAddressIpv6"
                                             << "20011::1"
                                             << "2001::1";
        QTest::newRow("gateway upper case") << "gatewayIpv6"
                                            << "2001:DB8::1"
                                            << "2001:8::1";
        QTest::newRow("prefix 128") << "maskCodeIpv6"
                                    << "128"
                                    << "128";
        QTest::newRow("prefix 129") << "maskCodeIpv6"
                                    << "129"
                                    << "12";
        QTest::newRow("prefix 300") << "maskCodeIpv6"
                                    << "300"
                                    << "30";
        QTest::newRow("prefix negative") << "maskCodeIpv6"
                                         << "-5"
                                         << "5";
        QTest::newRow("prefix letters") << "maskCodeIpv6"
                                        << "6a4"
                                        << "64";
    }

    void validatorsRefuseWhatCannotBeAnIpv6Setting()
    {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        DecoderNetworkConfigDlg dialog(reported("2001:db8::10"), nullptr);
        dialog.show();
        auto* field = child<QLineEdit>(&dialog, edit.toLatin1().constData());
        field->clear();
        QTest::keyClicks(field, typed);
        QCOMPARE(field->text(), kept);
    }

    void resultHoldsOnlyTheEditedFields()
    {
        DecoderNetworkConfigDlg dialog(reported("2001:db8::10"), nullptr);
        dialog.show();
        retype(child<PCOMMON::IpEditWt>(&dialog, "ipAddress"), QStringLiteral("192.0.2.77"));
        retype(child<QLineEdit>(&dialog, "maskCodeIpv6"), QStringLiteral("48"));

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
    }

    void emptyPrefixGivesZero()
    {
        DecoderNetworkConfigDlg dialog(reported("2001:db8::10"), nullptr);
        dialog.show();
        child<QLineEdit>(&dialog, "maskCodeIpv6")->clear();
        QCOMPARE(dialog.getNetworkConfig().ipv6PrefixLen, 0);
    }

    void switchingIpv6OffKeepsItsValues()
    {
        DecoderNetworkConfigDlg dialog(reported(), nullptr);
        dialog.show();
        auto* ipv6Switch = child<QRadioButton>(&dialog, "radioIpv6");
        QTest::mouseClick(ipv6Switch, Qt::LeftButton, {}, QPoint(10, ipv6Switch->height() / 2));
        QTest::keyClicks(child(&dialog, "ipAddressIpv6"), QStringLiteral("fd00::5"));
        QTest::keyClicks(child(&dialog, "maskCodeIpv6"), QStringLiteral("56"));
        QTest::keyClicks(child(&dialog, "gatewayIpv6"), QStringLiteral("fd00::1"));
        QTest::mouseClick(ipv6Switch, Qt::LeftButton, {}, QPoint(10, ipv6Switch->height() / 2));
        QVERIFY(!child(&dialog, "ipv6Wt")->isVisible());
        const DeviceNetworkCfg_t result = dialog.getNetworkConfig();
        QCOMPARE(text(result.ipv6Addr), QByteArray("fd00::5"));
        QCOMPARE(result.ipv6PrefixLen, 56);
        QCOMPARE(text(result.ipv6Gateway), QByteArray("fd00::1"));
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
        ModalAnswerer answer(QStringLiteral("pral_matrixConfig::DecoderNetworkConfigDlg"),
                             [action](QWidget* dlg) {
                                 // The keys are typed where the operator types: in an address field.
                                 QWidget* field = child<PCOMMON::IpEditWt>(dlg, "gateway")->octetEdit(3);
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
        QTest::newRow("address") << "ipAddressIpv6" << false
                                 << "The IPv6 address is too long: at most 47 characters are allowed.";
        QTest::newRow("gateway") << "gatewayIpv6" << false
                                 << "The IPv6 gateway is too long: at most 47 characters are allowed.";
        QTest::newRow("address behind the switch")
            << "ipAddressIpv6" << true << "The IPv6 address is too long: at most 47 characters are allowed.";
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
        auto* field = child<QLineEdit>(&dialog, edit.toLatin1().constData());
        retype(field, LongIpv6);
        QCOMPARE(field->text(), LongIpv6);
        auto* ipv6Switch = child<QRadioButton>(&dialog, "radioIpv6");
        if (switchOff)
            ipv6Switch->click();
        QVERIFY(!child(&dialog, "ipv6Wt")->isVisible() == switchOff);

        QTest::mouseClick(child(&dialog, "okBtn"), Qt::LeftButton);
        QCOMPARE(accepted.count(), 0);
        QVERIFY(dialog.isVisible());
        QCOMPARE(alerts->count(), 1);
        QCOMPARE(alerts->at(0).at(0).toString(), pral_contact::DictDef::alertWarning);
        QCOMPARE(alerts->at(0).at(1).toString(), message);
        // The operator sees the text to shorten.
        QVERIFY(ipv6Switch->isChecked());
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
        QTest::mouseClick(child(&dialog, "okBtn"), Qt::LeftButton);
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
        QCOMPARE(child<QLineEdit>(&dialog, "ipAddressIpv6")->text(), QString(48, QLatin1Char('a')));
        QVERIFY(child<PCOMMON::IpEditWt>(&dialog, "maskCode")->text().isEmpty());
        QCOMPARE(dialog.getNetworkConfig().ipv6Addr[47], '\0');
        QTest::mouseClick(child(&dialog, "okBtn"), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(alerts->count(), 1);
    }

    // What a decoder that does not answer gives: nothing to edit.
    void emptyNetworkAnswerIsRecognised()
    {
        DeviceNetworkCfg_t cfg;
        QVERIFY(fetchNetwork(QStringLiteral("192.0.2.99"), &cfg));
        QVERIFY(DecoderNetworkConfigDlg::isEmptyNetworkAnswer(cfg));
        QVERIFY(fetchNetwork(V4Only, &cfg));
        QVERIFY(!DecoderNetworkConfigDlg::isEmptyNetworkAnswer(cfg));

        DeviceNetworkCfg_t onlyDns;
        std::memset(&onlyDns, 0, sizeof onlyDns);
        put(onlyDns.dns, "192.0.2.53");
        QVERIFY(!DecoderNetworkConfigDlg::isEmptyNetworkAnswer(onlyDns));
        DeviceNetworkCfg_t onlyIpv6;
        std::memset(&onlyIpv6, 0, sizeof onlyIpv6);
        put(onlyIpv6.ipv6Addr, "2001:db8::10");
        QVERIFY(DecoderNetworkConfigDlg::isEmptyNetworkAnswer(onlyIpv6));
    }

    // As the configuration dialog runs it: ask the decoder, edit, send, ask again.
    void roundTripThroughTheService()
    {
        DeviceNetworkCfg_t answer;
        QVERIFY(fetchNetwork(Dual, &answer));
        DecoderNetworkConfigDlg dialog(answer, nullptr);
        ModalAnswerer edit(QStringLiteral("pral_matrixConfig::DecoderNetworkConfigDlg"), [](QWidget* dlg) {
            QCOMPARE(child<PCOMMON::IpEditWt>(dlg, "maskCode")->text(), QStringLiteral("255.255.0.0"));
            QCOMPARE(child<QLineEdit>(dlg, "ipAddressIpv6")->text(), QStringLiteral("2001:db8::11"));
            retype(child<PCOMMON::IpEditWt>(dlg, "DNS"), QStringLiteral("192.0.2.54"));
            retype(child<PCOMMON::IpEditWt>(dlg, "gateway"), QStringLiteral("192.0.2.254"));
            retype(child<QLineEdit>(dlg, "ipAddressIpv6"), QStringLiteral("2001:db8:0:1::11"));
            retype(child<QLineEdit>(dlg, "maskCodeIpv6"), QStringLiteral("80"));
            retype(child<QLineEdit>(dlg, "gatewayIpv6"), QStringLiteral("2001:db8:0:1::1"));
            ModalAnswerer::clickButton(dlg, QStringLiteral("okBtn"));
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(sendNetwork(Dual, dialog.getNetworkConfig()), 0);

        DeviceNetworkCfg_t stored;
        QVERIFY(fetchNetwork(Dual, &stored));
        QCOMPARE(text(stored.ipv4Addr), QByteArray("192.0.2.11"));
        QCOMPARE(text(stored.ipv4Mask), QByteArray("255.255.0.0"));
        QCOMPARE(text(stored.ipv4Gateway), QByteArray("192.0.2.254"));
        QCOMPARE(text(stored.dns), QByteArray("192.0.2.54"));
        QCOMPARE(text(stored.ipv6Addr), QByteArray("2001:db8:0:1::11"));
        QCOMPARE(stored.ipv6PrefixLen, 80);
        QCOMPARE(text(stored.ipv6Gateway), QByteArray("2001:db8:0:1::1"));
    }

    void newAddressMovesTheDecoder()
    {
        DeviceNetworkCfg_t answer;
        QVERIFY(fetchNetwork(V4Only, &answer));
        DecoderNetworkConfigDlg dialog(answer, nullptr);
        dialog.show();
        QVERIFY(!child(&dialog, "ipv6Wt")->isVisible());
        retype(child<PCOMMON::IpEditWt>(&dialog, "ipAddress"), QStringLiteral("192.0.2.70"));
        QTest::mouseClick(child(&dialog, "okBtn"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(sendNetwork(V4Only, dialog.getNetworkConfig()), 0);

        DeviceNetworkCfg_t moved;
        QVERIFY(fetchNetwork(QStringLiteral("192.0.2.70"), &moved));
        QCOMPARE(text(moved.ipv4Mask), QByteArray("255.255.255.0"));
        QVERIFY(fetchNetwork(V4Only, &moved));
        QVERIFY(DecoderNetworkConfigDlg::isEmptyNetworkAnswer(moved));
    }

private:
    QTemporaryDir dir;
    std::unique_ptr<QSignalSpy> alerts;
};

QTEST_MAIN(TestDecoderNetworkConfigDlg)
#include "tst_networkconfigdlg.moc"
