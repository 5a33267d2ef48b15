#include "decoderconfigfile.h"
#include "faultinjector.h"
#include "firmwareimage.h"
#include "simulatedfleet.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace pral_matrix;

namespace {

const QByteArray FleetJson = R"({
  "upgradeStepMs": 5, "lockThreshold": 5, "lockMinutes": 30,
  "decoders": [
    {"ip": "192.0.2.10", "deviceId": "DEV-A", "model": "TVD-T", "type": 3, "channels": 4, "version": "V1",
     "password": "Passw0rd!", "ipv6": "2001:db8::10", "ipv6Prefix": 64, "ipv6Gateway": "2001:db8::1",
     "tvWall": {"name": "Lobby", "rows": 2, "cols": 2,
                "screens": ["192.0.2.10-1", "192.0.2.10-2", "192.0.2.11", "192.0.2.10-4"]}},
    {"ip": "192.0.2.11", "deviceId": "DEV-B", "type": 1, "version": "V1", "password": "Passw0rd!"},
    {"ip": "192.0.2.12", "deviceId": "DEV-C", "model": "TVD-T", "type": 3, "channels": 2, "version": "V1",
     "password": "Passw0rd!"},
    {"ip": "192.0.2.20", "deviceId": "DEV-NEW", "type": 3, "channels": 4, "activated": false}
  ]
})";

const QString A = QStringLiteral("192.0.2.10");
const QString B = QStringLiteral("192.0.2.11");
const QString C = QStringLiteral("192.0.2.12");
const QString Fresh = QStringLiteral("192.0.2.20");
const QString Nowhere = QStringLiteral("192.0.2.99");
const QString Pw = QStringLiteral("Passw0rd!");
const QString Admin = QStringLiteral("admin");

MatrixInfo screen(const QString& ip, int channel, int row, int column)
{
    MatrixInfo s;
    s.ip = ip;
    s.channel = channel;
    s.row = row;
    s.column = column;
    return s;
}

/** "result main name rowsxcols: ip-channel/type@row,column ..." */
QString wallText(const DecoderBackend::Layout& layout)
{
    QString text = QStringLiteral("%1 %2 %3 %4x%5:")
                       .arg(layout.result)
                       .arg(layout.mainIp, layout.name)
                       .arg(layout.rows)
                       .arg(layout.cols);
    for (const MatrixInfo& s : layout.screens)
        text += QStringLiteral(" %1-%2/%3@%4,%5")
                    .arg(s.ip)
                    .arg(s.channel)
                    .arg(s.matrixType)
                    .arg(s.row)
                    .arg(s.column);
    return text;
}

/** Every field of the settings, so that a round trip compares in one step. */
QString networkText(const DeviceNetworkCfg_t& cfg)
{
    return QStringList{cfg.ipv4Addr,   cfg.ipv4Mask, cfg.ipv4Gateway,
                       cfg.dns,        cfg.ipv6Addr, QString::number(cfg.ipv6PrefixLen),
                       cfg.ipv6Gateway}
        .join(QLatin1Char(' '));
}

template <size_t N>
void put(char (&field)[N], const char* text)
{
    std::memset(field, 0, N);
    std::strncpy(field, text, N - 1);
}

DeviceInfo_t device(const QString& ip, const QString& password = Pw)
{
    DeviceInfo_t d;
    std::memset(&d, 0, sizeof d);
    put(d.ip, ip.toLatin1().constData());
    put(d.userName, "admin");
    put(d.password, password.toLatin1().constData());
    return d;
}

} // namespace

/**
 * @brief The simulated decoders behave like devices: logins with lock-out,
 * activation, walls, settings, logs, files and upgrades, and the armed faults.
 */
class TestSimulatedFleet : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QString error;
        fleet = SimulatedFleet::fromJson(FleetJson, &error);
        QVERIFY2(fleet, qPrintable(error));
        faults.clear();
        fleet->setFaultInjector(&faults);
        fleet->setClock([this] { return clockMs; });
        endedSessions.clear();
        // Each end as "address why": a reset or a new address is closed without a notice, a restart is not.
        fleet->setSessionEndedHandler([this](const QString& ip, DecoderBackend::SessionEnd why) {
            endedSessions.append(ip + (why == DecoderBackend::SessionEnd::Closed ? QStringLiteral(" closed")
                                       : why == DecoderBackend::SessionEnd::Restarted
                                           ? QStringLiteral(" restarted")
                                           : QStringLiteral(" lost")));
        });
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void cleanup() { fleet.reset(); }

    void defaultFleetDescribesAUsableFleet()
    {
        QString error;
        const auto standard = SimulatedFleet::fromJson(SimulatedFleet::defaultFleetJson(), &error);
        QVERIFY2(standard, qPrintable(error));
        const MatrixInfoMap found = standard->search();
        QVERIFY(found.size() >= 6);
        QSet<int> types;
        int unactivated = 0;
        int walls = 0;
        for (const MatrixInfo& info : found) {
            QVERIFY(info.ip.startsWith(QLatin1String("192.0.2.")));
            types.insert(info.matrixType);
            unactivated += info.activated ? 0 : 1;
            if (standard->getLayout(info.ip).result == RESULT_OK)
                ++walls;
        }
        QCOMPARE(types, (QSet<int>{1, 3}));
        QVERIFY(unactivated > 0);
        QVERIFY(walls > 0);
    }

    // Every value of a fleet file is checked against its field: the message names the decoder and the
    // member, nothing is cut or wrapped into another valid value, and a value at its limit passes.
    void fleetFileValues_data()
    {
        QTest::addColumn<QByteArray>("root");
        QTest::addColumn<QByteArray>("patch");
        QTest::addColumn<QString>("error");
        // root: members before "decoders", or "RAW:" and a whole document; patch: members replacing
        // those of decoder 1 (null removes one); error: a part of the message, empty when accepted.
        const auto row = [](const char* name, const char* root, const char* patch, const char* error) {
            QTest::newRow(name) << QByteArray(root) << QByteArray(patch) << QString::fromUtf8(error);
        };
        row("valid", "", "", "");
        row("highest output base", "", R"("outputBase": 2147483643)", "");
        row("output ids would wrap", "", R"("outputBase": 2147483647)",
            R"(decoder 1 (192.0.2.1): "outputBase" must be a whole number from 0 to 2147483643, not 2147483647)");
        row("negative output base", "", R"("outputBase": -1)", "\"outputBase\"");
        row("fractional output base", "", R"("outputBase": 100.5)", "\"outputBase\"");
        row("output base as text", "", R"("outputBase": "100")", "\"outputBase\"");
        row("huge output base", "", R"("outputBase": 1e300)", "\"outputBase\"");
        row("65 channels", "", R"("channels": 65)", "\"channels\" must be a whole number from 1 to 64");
        row("no channels", "", R"("channels": 0)", "\"channels\"");
        row("4 channels of type 1", "", R"("type": 1)", "\"channels\" must be a whole number from 1 to 1");
        row("type 2", "", R"("type": 2)", "\"type\" must be 1 or 3");
        row("no type", "", R"("type": null)", "\"type\"");
        row("gateway cut to another address", "", R"("gateway": "192.168.100.1000")",
            R"(decoder 1 (192.0.2.1): "gateway" must be an IPv4 address of at most 15 characters, not "192.168.100.1000")");
        row("gateway octet of 256", "", R"("gateway": "192.0.2.256")", "\"gateway\"");
        row("empty gateway", "", R"("gateway": "")", "");
        row("mask with holes", "", R"("mask": "255.0.255.0")", "\"mask\" must be an IPv4 netmask");
        row("dns by name", "", R"("dns": "dns.example")", "\"dns\"");
        row("no address", "", R"("ip": null)", R"(decoder 1: "ip" is missing)");
        row("address with a space", "", R"("ip": "192.0.2.1 ")",
            R"(decoder 1: "ip" must be an IPv4 address)");
        row("address twice", "", R"("ip": "192.0.2.2")", "decoder 2 (192.0.2.2): the address is used twice");
        row("device id twice", "", R"("deviceId": "X-2")", "the device id X-2 is used twice");
        row("bad ipv6", "", R"("ipv6": "2001:db8::zz")", "\"ipv6\" must be an IPv6 address");
        row("ipv6 prefix 129", "", R"("ipv6Prefix": 129)", "\"ipv6Prefix\"");
        row("device id of 31 characters", "", R"("deviceId": "TVD-04-2023041000000000000000AA")", "");
        row("device id of 32 characters", "", R"("deviceId": "TVD-04-20230410000000000000000AA")",
            "\"deviceId\" must be a text of 1 to 31 Latin-1 characters");
        row("device id outside Latin-1", "", R"("deviceId": "TVD-€")", "\"deviceId\"");
        row("version of 32 characters", "", R"("version": "V2.3.1 build 240611 with a long tail")",
            "\"version\"");
        row("model of 32 characters", "", R"("model": "TVD-04-MODEL-NAME-THAT-IS-TOO-LONG")", "\"model\"");
        row("empty user name", "", R"("userName": "")", "\"userName\"");
        row("password of 32 characters", "", R"("password": "Passw0rd!Passw0rd!Passw0rd!Passw")",
            "\"password\"");
        row("activated as text", "", R"("activated": "yes")", "\"activated\" must be true or false");
        // Activation refuses weak passwords; a description may not give an activated decoder none.
        row("activated without a password", "", R"("password": null)",
            R"(decoder 1 (192.0.2.1): "password" is required for an activated decoder)");
        row("activated with an empty password", "", R"("password": "")",
            R"(decoder 1 (192.0.2.1): "password" is required for an activated decoder, not "")");
        row("factory state without a password", "", R"("activated": false, "password": null)", "");
        row("wall name of 18 bytes", "",
            R"("tvWall": {"name": "墙墙墙墙墙墙", "rows": 1, "cols": 2, "screens": ["192.0.2.1-1", "192.0.2.2"]})",
            "");
        row("wall name of 21 bytes", "",
            R"("tvWall": {"name": "墙墙墙墙墙墙墙", "rows": 1, "cols": 2, "screens": ["192.0.2.1-1", "192.0.2.2"]})",
            "decoder 1 (192.0.2.1), \"tvWall\": \"name\" must be a name of 1 to 20 bytes");
        row("eleven rows", "", R"("tvWall": {"name": "W", "rows": 11, "cols": 1, "screens": []})",
            "\"rows\"");
        row("screen channel overflows", "",
            R"("tvWall": {"name": "W", "rows": 1, "cols": 2, "screens": ["192.0.2.1-99999999999", "192.0.2.2"]})",
            "\"screens\" entry 1 is no output of the fleet");
        row("wall on a missing output", "",
            R"("tvWall": {"name": "W", "rows": 1, "cols": 2, "screens": ["192.0.2.1-5", "192.0.2.2"]})",
            "\"screens\" entry 1");
        row("screen missing", "",
            R"("tvWall": {"name": "W", "rows": 1, "cols": 2, "screens": ["192.0.2.2"]})",
            "\"screens\" must name 2 outputs");
        row("output twice", "",
            R"("tvWall": {"name": "W", "rows": 1, "cols": 2, "screens": ["192.0.2.2", "192.0.2.2-1"]})",
            "is used twice");
        row("negative latency", R"("latencyMs": -5,)", "", "fleet: \"latencyMs\"");
        row("addresses taken without confirmation", R"("confirmWindowMs": 0,)", "", "");
        row("confirmation window beyond an hour", R"("confirmWindowMs": 3600001,)", "",
            "fleet: \"confirmWindowMs\"");
        row("restart of ten minutes", R"("restartMs": 600000,)", "", "");
        row("negative restart", R"("restartMs": -1,)", "", "fleet: \"restartMs\"");
        row("confirmations as text", "", R"("confirmsAddress": "no")",
            "\"confirmsAddress\" must be true or false");
        row("lock of 100000000 minutes", R"("lockMinutes": 100000000,)", "", "fleet: \"lockMinutes\"");
        row("no lock threshold", R"("lockThreshold": 0,)", "", "fleet: \"lockThreshold\"");
        row("history denser than a line a second", R"("logHistoryPerDay": 86401,)", "",
            "\"logHistoryPerDay\"");
        row("decoders not a list", R"(RAW:{"decoders": 5})", "", "fleet: \"decoders\" must be a list");
        row("decoder not an object", R"(RAW:{"decoders": [5]})", "", "decoder 1 is not an object");
        row("not json", "RAW:{decoders", "", "");
    }
    void fleetFileValues()
    {
        QFETCH(QByteArray, root);
        QFETCH(QByteArray, patch);
        QFETCH(QString, error);
        QJsonObject first =
            QJsonDocument::fromJson(R"({"ip": "192.0.2.1", "deviceId": "X-1", "type": 3, "channels": 4,
            "password": "Passw0rd!", "tvWall": {"name": "W", "rows": 1, "cols": 2, "screens": ["192.0.2.1-1", "192.0.2.2"]}})")
                .object();
        const QJsonObject changes = QJsonDocument::fromJson("{" + patch + "}").object();
        for (auto it = changes.begin(); it != changes.end(); ++it) {
            if (it.value().isNull())
                first.remove(it.key());
            else
                first.insert(it.key(), it.value());
        }
        const QByteArray second =
            R"({"ip": "192.0.2.2", "deviceId": "X-2", "type": 1, "password": "Passw0rd!"})";
        const QByteArray json =
            root.startsWith("RAW:")
                ? root.mid(4)
                : "{" + root + R"("decoders": [)" + QJsonDocument(first).toJson() + "," + second + "]}";
        QString message;
        const auto fleet = SimulatedFleet::fromJson(json, &message);
        const bool accepted = error.isEmpty() && !root.startsWith("RAW:");
        QVERIFY2(bool(fleet) == accepted, qPrintable(message));
        QVERIFY2(accepted ? message.isEmpty() : message.contains(error) && !message.isEmpty(),
                 qPrintable(message));
    }

    void searchFindsEveryDecoder()
    {
        const MatrixInfoMap found = fleet->search();
        QCOMPARE(found.keys(), (QStringList{A, B, C, Fresh}));
        // One output entry per channel; no password leaves the device.
        QCOMPARE(found.value(A).outputList.size(), 4);
        QCOMPARE(found.value(A).outputList.at(3).outputNo, 4);
        QVERIFY(!found.value(Fresh).activated);
        QVERIFY(found.value(A).password.isEmpty());
    }

    void wrongPasswordsCountUpToATimedLock()
    {
        for (int attempt = 1; attempt <= 5; ++attempt) {
            const DecoderBackend::Login login = fleet->login(A, Admin, QStringLiteral("wrong"));
            QCOMPARE(login.result, int(RESULT_WRONG_PASSWORD));
            QVERIFY(login.hasError);
            QCOMPARE(login.error.errorType, QStringLiteral("PASSWDERR"));
            QCOMPARE(login.error.errorCount, attempt);
            QCOMPARE(login.error.unlockSeconds, -1);
        }
        // Locked now: even the right password is refused, with the time left.
        const DecoderBackend::Login locked = fleet->login(A, Admin, Pw);
        QCOMPARE(locked.result, int(RESULT_USER_LOCKED));
        QCOMPARE(locked.error.errorType, QStringLiteral("USERLOCK"));
        QCOMPARE(locked.error.unlockSeconds, 1800);
        QCOMPARE(locked.error.errorCount, -1);
        // Other decoders keep their own count.
        QCOMPARE(fleet->login(C, Admin, Pw).result, int(RESULT_OK));
        // The lock ends after its time.
        clockMs += 600 * 1000;
        QCOMPARE(fleet->login(A, Admin, Pw).error.unlockSeconds, 1200);
        clockMs += 1200 * 1000;
        QCOMPARE(fleet->login(A, Admin, Pw).result, int(RESULT_OK));
        // The count starts again after the lock.
        QCOMPARE(fleet->login(A, Admin, QStringLiteral("wrong")).error.errorCount, 1);
    }

    void injectedLoginFaults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("errorType");
        QTest::addColumn<int>("errorCount");
        QTest::addColumn<int>("unlockSeconds");
        const auto row = [](const char* name, FaultInjector::LoginFault fault, int result,
                            const QString& type, int count, int unlock) {
            QTest::newRow(name) << int(fault) << result << type << count << unlock;
        };
        using F = FaultInjector::LoginFault;
        row("refused", F::Refuse, -77, QString(), -1, -1);
        row("wrong password", F::WrongPassword, RESULT_WRONG_PASSWORD, "PASSWDERR", 1, -1);
        row("locked", F::Locked, RESULT_USER_LOCKED, "USERLOCK", -1, 1800);
        row("not activated", F::NotActivated, RESULT_NOT_ACTIVATED, "DEVNOACTIVE", -1, -1);
    }

    void injectedLoginFaults()
    {
        QFETCH(int, fault);
        QFETCH(int, result);
        QFETCH(QString, errorType);
        QFETCH(int, errorCount);
        QFETCH(int, unlockSeconds);
        faults.setLoginFault(B, FaultInjector::LoginFault(fault), -77);
        const DecoderBackend::Login login = fleet->login(B, Admin, Pw);
        QCOMPARE(login.result, result);
        QCOMPARE(login.hasError, !errorType.isEmpty());
        QCOMPARE(login.error.errorType, errorType);
        QCOMPARE(login.error.errorCount, errorCount);
        QCOMPARE(login.error.unlockSeconds, unlockSeconds);
        faults.setLoginFault(B, FaultInjector::LoginFault::None);
        QCOMPARE(fleet->login(B, Admin, Pw).result, int(RESULT_OK));
    }

    void activationEnablesLogin()
    {
        const DecoderBackend::Login before = fleet->login(Fresh, Admin, Pw);
        QCOMPARE(before.error.errorType, QStringLiteral("DEVNOACTIVE"));
        QCOMPARE(fleet->activate(QStringLiteral("DEV-NEW"), QStringLiteral("short")),
                 int(RESULT_BAD_ARGUMENT));
        QCOMPARE(fleet->activate(QStringLiteral("DEV-NONE"), Pw), int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->activate(QStringLiteral("DEV-NEW"), QStringLiteral("N3w-passw0rd")), int(RESULT_OK));
        QCOMPARE(fleet->activate(QStringLiteral("DEV-NEW"), QStringLiteral("N3w-passw0rd")),
                 int(RESULT_ALREADY_ACTIVE));
        QVERIFY(fleet->search().value(Fresh).activated);
        QCOMPARE(fleet->login(Fresh, Admin, QStringLiteral("N3w-passw0rd")).result, int(RESULT_OK));
    }

    void newWallReplacesTheHeldOne()
    {
        QCOMPARE(wallText(fleet->getLayout(A)),
                 "0 192.0.2.10 Lobby 2x2: 192.0.2.10-1/3@0,0 192.0.2.10-2/3@0,1 192.0.2.11-1/1@1,0 "
                 "192.0.2.10-4/3@1,1");
        QCOMPARE(fleet->getLayout(C).result, int(RESULT_NO_LAYOUT));
        const MatrixInfoList screens{screen(C, 2, 0, 1), screen(C, 1, 0, 0)};
        QCOMPARE(fleet->setLayout(C, 3, 1, 2, screens, QStringLiteral("Desk")), int(RESULT_OK));
        // Reported in row-major order whatever order they were sent in.
        QCOMPARE(wallText(fleet->getLayout(C)),
                 "0 192.0.2.12 Desk 1x2: 192.0.2.12-1/3@0,0 192.0.2.12-2/3@0,1");
    }

    void invalidWallsAreRefused_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<MatrixInfoList>("screens");
        QTest::addColumn<QString>("name");
        const MatrixInfoList good{screen(C, 1, 0, 0), screen(C, 2, 0, 1)};
        QTest::newRow("screen missing") << 1 << 2 << MatrixInfoList{screen(C, 1, 0, 0)} << "W";
        QTest::newRow("no rows") << 0 << 2 << good << "W";
        QTest::newRow("eleven columns") << 1 << 11 << good << "W";
        QTest::newRow("unknown decoder")
            << 1 << 2 << MatrixInfoList{screen(C, 1, 0, 0), screen(Nowhere, 1, 0, 1)} << "W";
        QTest::newRow("output 3 of two")
            << 1 << 2 << MatrixInfoList{screen(C, 1, 0, 0), screen(C, 3, 0, 1)} << "W";
        QTest::newRow("output twice")
            << 1 << 2 << MatrixInfoList{screen(C, 1, 0, 0), screen(C, 1, 0, 1)} << "W";
        QTest::newRow("cell twice") << 1 << 2 << MatrixInfoList{screen(C, 1, 0, 0), screen(C, 2, 0, 0)}
                                    << "W";
        QTest::newRow("no name") << 1 << 2 << good << "";
    }

    void invalidWallsAreRefused()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(MatrixInfoList, screens);
        QFETCH(QString, name);
        QCOMPARE(fleet->setLayout(A, 3, rows, cols, screens, name), int(RESULT_BAD_ARGUMENT));
        QCOMPARE(fleet->getLayout(A).name, QStringLiteral("Lobby"));
    }

    void layoutFaultFailsBothDirections()
    {
        faults.failLayout(A, -30);
        QCOMPARE(fleet->getLayout(A).result, -30);
        QCOMPARE(fleet->setLayout(A, 3, 1, 1, {screen(A, 1, 0, 0)}, QStringLiteral("W")), -30);
        QCOMPARE(fleet->getLayout(C).result, int(RESULT_NO_LAYOUT));
    }

    void networkRoundTripsIpv4AndIpv6()
    {
        DeviceNetworkCfg_t cfg{};
        QCOMPARE(fleet->getNetwork(A, &cfg), int(RESULT_OK));
        QCOMPARE(networkText(cfg), "192.0.2.10 255.255.255.0 192.0.2.1  2001:db8::10 64 2001:db8::1");
        put(cfg.ipv4Mask, "255.255.0.0");
        put(cfg.ipv4Gateway, "192.0.2.254");
        put(cfg.dns, "192.0.2.53");
        put(cfg.ipv6Addr, "2001:db8:0:1::10");
        cfg.ipv6PrefixLen = 56;
        put(cfg.ipv6Gateway, "2001:db8:0:1::1");
        QString newIp;
        QCOMPARE(fleet->setNetwork(A, Admin, Pw, cfg, &newIp), int(RESULT_OK));
        QCOMPARE(newIp, A);
        QVERIFY(endedSessions.isEmpty());
        DeviceNetworkCfg_t back{};
        QCOMPARE(fleet->getNetwork(A, &back), int(RESULT_OK));
        QCOMPARE(networkText(back), networkText(cfg));
    }

    void newAddressMovesTheDecoder()
    {
        DeviceNetworkCfg_t cfg{};
        fleet->getNetwork(B, &cfg);
        put(cfg.ipv4Addr, "192.0.2.111");
        QString newIp;
        QCOMPARE(fleet->setNetwork(B, Admin, Pw, cfg, &newIp), int(RESULT_OK));
        QCOMPARE(newIp, QStringLiteral("192.0.2.111"));
        QVERIFY(!fleet->decoder(B));
        QVERIFY(fleet->decoder(QStringLiteral("192.0.2.111")));
        QCOMPARE(endedSessions, QStringList{B + " closed"});
        QCOMPARE(fleet->login(QStringLiteral("192.0.2.111"), Admin, Pw).result, int(RESULT_OK));
        // The wall that shows its output follows it.
        QCOMPARE(fleet->getLayout(A).screens.at(2).ip, QStringLiteral("192.0.2.111"));
    }

    void invalidNetworkSettingsAreRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("result");
        QTest::newRow("wrong password") << "" << QByteArray() << "nope" << int(RESULT_WRONG_PASSWORD);
        QTest::newRow("bad address") << "ipv4Addr" << QByteArray("192.0.2.300") << Pw
                                     << int(RESULT_BAD_ARGUMENT);
        QTest::newRow("address in use")
            << "ipv4Addr" << QByteArray("192.0.2.12") << Pw << int(RESULT_ADDRESS_IN_USE);
        QTest::newRow("holes in mask")
            << "ipv4Mask" << QByteArray("255.0.255.0") << Pw << int(RESULT_BAD_ARGUMENT);
        QTest::newRow("bad ipv6") << "ipv6Addr" << QByteArray("2001:db8::zz") << Pw
                                  << int(RESULT_BAD_ARGUMENT);
        QTest::newRow("unterminated")
            << "ipv4Gateway" << QByteArray(16, '1') << Pw << int(RESULT_BAD_ARGUMENT);
    }

    void invalidNetworkSettingsAreRefused()
    {
        QFETCH(QString, field);
        QFETCH(QByteArray, value);
        QFETCH(QString, password);
        QFETCH(int, result);
        DeviceNetworkCfg_t cfg{};
        fleet->getNetwork(A, &cfg);
        char* target = field == QLatin1String("ipv4Addr")      ? cfg.ipv4Addr
                       : field == QLatin1String("ipv4Mask")    ? cfg.ipv4Mask
                       : field == QLatin1String("ipv4Gateway") ? cfg.ipv4Gateway
                       : field == QLatin1String("ipv6Addr")    ? cfg.ipv6Addr
                                                               : nullptr;
        if (target)
            std::memcpy(target, value.constData(), size_t(value.size()) + (value.size() < 16 ? 1 : 0));
        QString newIp;
        QCOMPARE(fleet->setNetwork(A, Admin, password, cfg, &newIp), result);
        QVERIFY(fleet->decoder(A));
        DeviceNetworkCfg_t unchanged{};
        fleet->getNetwork(A, &unchanged);
        QCOMPARE(QString::fromLatin1(unchanged.ipv4Mask), QStringLiteral("255.255.255.0"));
    }

    void screenSettingsRoundTrip()
    {
        QCOMPARE(settingsText(A), Defaults);
        customise(A);
        // Each screen keeps its own.
        QCOMPARE(settingsText(A), Customised);
        ScreenColor color;
        QCOMPARE(fleet->getScreenColor(A, 1, 1, &color), int(RESULT_OK));
        QCOMPARE(color.brightness, 87);
        ScreenResolution_t resolution{};
        QCOMPARE(fleet->setResolution(A, ScreenResolutionInfo{1, 1, {1920, 1080, 60}, false}, false),
                 int(RESULT_OK));
        fleet->getResolution(A, 1, 1, &resolution);
        QCOMPARE(resolution.width, 1920);
        color.chroma = 101;
        QCOMPARE(fleet->setScreenColor(A, 2, 3, color), int(RESULT_BAD_ARGUMENT));
        QCOMPARE(fleet->setResolution(A, ScreenResolutionInfo{0, 0, {1000, 1000, 60}, false}, true),
                 int(RESULT_BAD_ARGUMENT));
        QCOMPARE(settingsText(A), Customised);
    }

    // The wizard saves scene 6, adjusts and shows test pictures, then restores and removes the scene:
    // the wall goes back to video, the colours the operator saved stay.
    void sceneBringsBackWallAndWindowsNotColours()
    {
        const QString red = picture(QStringLiteral("red.png"), Qt::red);
        QCOMPARE(fleet->saveScene(A, 6, QStringLiteral("adjustScreen_limit")), int(RESULT_OK));
        customise(A);
        QCOMPARE(fleet->addWindow(A, wallWindow(2, 2)), int(RESULT_OK));
        QCOMPARE(fleet->setWindowSource(A, wallWindow(2, 2, red), -1, true), int(RESULT_OK));
        QCOMPARE(contents(A), QStringLiteral("red red red red"));
        fleet->setLayout(A, 3, 1, 1, {screen(A, 1, 0, 0)}, QStringLiteral("Small"));
        QCOMPARE(fleet->restoreScene(A, 6), int(RESULT_OK));
        QCOMPARE(fleet->removeScene(A, 6), int(RESULT_OK));
        QCOMPARE(contents(A), QStringLiteral("video video video video"));
        QCOMPARE(fleet->getLayout(A).name, QStringLiteral("Lobby"));
        QCOMPARE(settingsText(A).left(11), Customised.left(11));
        QCOMPARE(fleet->restoreScene(A, 6), int(RESULT_BAD_ARGUMENT));
        // Scene numbers run from 1 to 64.
        QCOMPARE(fleet->saveScene(A, 64, QString()), int(RESULT_OK));
        QCOMPARE(fleet->saveScene(A, 65, QString()), int(RESULT_BAD_ARGUMENT));
        QCOMPARE(fleet->saveScene(A, 0, QString()), int(RESULT_BAD_ARGUMENT));
        QVERIFY(lastLine(A, 2).contains(QLatin1String("Scene 64")));
    }

    void testPictures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("logged");
        QTest::newRow("picture") << "green.png" << 0 << "green"
                                 << "test picture green";
        QTest::newRow("missing file") << "missing.png" << -3 << "red"
                                      << "does not exist";
        QTest::newRow("no path") << "" << -3 << "red"
                                 << "does not exist";
        QTest::newRow("text named like a picture") << "notes.jpg" << -3 << "red"
                                                   << "not an image";
        QTest::newRow("folder") << "." << -3 << "red"
                                << "does not exist";
    }
    void testPictures()
    {
        QFETCH(QString, file);
        QFETCH(int, result);
        QFETCH(QString, shown);
        QFETCH(QString, logged);
        picture(QStringLiteral("green.png"), Qt::green);
        writeFile(QStringLiteral("notes.jpg"), "not a picture");
        const QString path = file.isEmpty() ? QString() : dir->filePath(file);
        QCOMPARE(fleet->addWindow(A, wallWindow(2, 2)), int(RESULT_OK));
        QCOMPARE(contents(A), QStringLiteral("window window window window"));
        const QString red = picture(QStringLiteral("red.png"), Qt::red);
        QCOMPARE(fleet->setWindowSource(A, wallWindow(2, 2, red), -1, true), int(RESULT_OK));
        QCOMPARE(fleet->setWindowSource(A, wallWindow(2, 2, path), -1, true), result);
        QCOMPARE(contents(A), QString(shown + QLatin1Char(' ')).repeated(4).trimmed());
        QVERIFY2(lastLine(A, result ? 1 : 2).contains(logged), qPrintable(lastLine(A, result ? 1 : 2)));
    }

    void restartKeepsTheDecoderSilentForItsTime()
    {
        remake({{"restartMs", 5000}});
        const int boot = fleet->decoder(A)->bootId();
        QCOMPARE(fleet->login(A, Admin, Pw).result, int(RESULT_OK));
        QCOMPARE(fleet->restartDecoder(A), int(RESULT_OK));
        QCOMPARE(endedSessions, QStringList{A + " restarted"});
        QCOMPARE(fleet->decoder(A)->bootId(), boot + 1);
        QVERIFY(!fleet->decoder(A)->inSession());
        // Nothing answers while it starts: no login, no probe, no search.
        clockMs += 4999;
        QCOMPARE(fleet->login(A, Admin, Pw).result, int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->probeNow({A, Admin, Pw}).result, int(RESULT_NO_DEVICE));
        QVERIFY(!fleet->search().contains(A));
        clockMs += 1;
        QCOMPARE(fleet->login(A, Admin, Pw).result, int(RESULT_OK));
        QVERIFY(lastLine(A, 0).endsWith(QLatin1String("Restarted by itself")));
        // Only the decoder that restarted counts a boot.
        QCOMPARE(fleet->decoder(B)->bootId(), boot);
    }

    void probeReadsWhatAChangeLeaves()
    {
        const QString path = dir->filePath(QStringLiteral("b.matrix"));
        QCOMPARE(fleet->exportConfig(B, path), int(RESULT_OK));
        QCOMPARE(fleet->probeNow({B, Admin, Pw}).configMarker, QString());
        QCOMPARE(fleet->importConfig(B, path), int(RESULT_OK));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString marker = DecoderConfigFile::marker(file.readAll());
        QCOMPARE(marker.size(), 64);
        DecoderBackend::Probe look{B, Admin, Pw};
        look.readNetwork = true;
        const DecoderBackend::ProbeResult r = fleet->probeNow(look);
        QCOMPARE(QStringList({QString::number(r.result), r.deviceId, r.version, QString::number(r.bootId),
                              r.configMarker, r.address, r.mask}),
                 QStringList({"0", "DEV-B", "V1", "2", marker, B, "255.255.255.0"}));
        // A look is a login like any other: a wrong password counts, an unreachable address answers nothing.
        QCOMPARE(fleet->probeNow({B, Admin, QStringLiteral("wrong-one")}).result, int(RESULT_WRONG_PASSWORD));
        faults.setUnreachable(B);
        QCOMPARE(fleet->probeNow({B, Admin, Pw}).result, int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->login(B, Admin, Pw).result, int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->probeNow({Fresh, Admin, Pw}).result, int(RESULT_NOT_ACTIVATED));
    }

    void newAddressWaitsForItsConfirmation_data()
    {
        QTest::addColumn<bool>("confirms");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QString>("whereAfter");
        QTest::addColumn<int>("confirmResult");
        QTest::newRow("confirmed from the new address") << true << true << "192.0.2.111" << int(RESULT_OK);
        QTest::newRow("nobody confirms") << true << false << B << int(RESULT_OK);
        QTest::newRow("decoder without confirmations")
            << false << false << "192.0.2.111" << int(RESULT_UNSUPPORTED);
    }
    void newAddressWaitsForItsConfirmation()
    {
        QFETCH(bool, confirms);
        QFETCH(bool, confirmed);
        QFETCH(QString, whereAfter);
        QFETCH(int, confirmResult);
        QJsonObject root = QJsonDocument::fromJson(FleetJson).object();
        root.insert("confirmWindowMs", 300);
        QJsonArray decoders = root.value("decoders").toArray();
        QJsonObject b = decoders.at(1).toObject();
        b.insert("confirmsAddress", confirms);
        decoders[1] = b;
        root.insert("decoders", decoders);
        remake(root);
        QStringList moves;
        fleet->setAddressMovedHandler(
            [&moves](const QString& from, const QString& to) { moves << from + ">" + to; });
        const QString moved = QStringLiteral("192.0.2.111");
        DeviceNetworkCfg_t cfg{};
        fleet->getNetwork(B, &cfg);
        put(cfg.ipv4Addr, "192.0.2.111");
        put(cfg.ipv4Mask, "255.255.0.0");
        QString newIp;
        QCOMPARE(fleet->setNetwork(B, Admin, Pw, cfg, &newIp), int(RESULT_OK));
        QCOMPARE(newIp, moved);
        if (confirmed)
            QCOMPARE(fleet->confirmNetwork(moved), confirmResult);
        else if (!confirms)
            QCOMPARE(fleet->probeNow({moved, Admin, Pw, false, true}).confirmResult, confirmResult);
        // Past the window: where it is now, with which mask, and the wall that shows its output follows it.
        QTRY_VERIFY_WITH_TIMEOUT(fleet->decoder(whereAfter), 3000);
        QTest::qWait(400);
        QVERIFY(fleet->decoder(whereAfter));
        QVERIFY(!fleet->decoder(whereAfter == B ? moved : B));
        DeviceNetworkCfg_t now{};
        fleet->getNetwork(whereAfter, &now);
        QCOMPARE(QString::fromLatin1(now.ipv4Mask), whereAfter == B ? "255.255.255.0" : "255.255.0.0");
        QCOMPARE(fleet->getLayout(A).screens.at(2).ip, whereAfter);
        QCOMPARE(moves, whereAfter == B ? QStringList{moved + ">" + B} : QStringList());
        if (whereAfter == B)
            QVERIFY2(lastLine(B, 0).contains("was not confirmed within 0.3 s: back at 192.0.2.11"),
                     qPrintable(lastLine(B, 0)));
    }

    void factoryResetRestoresDefaults()
    {
        customise(A);
        fleet->saveScene(A, 3, QStringLiteral("s"));
        QCOMPARE(fleet->factoryReset(A), int(RESULT_OK));
        QCOMPARE(endedSessions, QStringList{A + " closed"});
        QCOMPARE(settingsText(A), Defaults);
        QCOMPARE(fleet->restoreScene(A, 3), int(RESULT_BAD_ARGUMENT));
        QCOMPARE(fleet->getLayout(A).result, int(RESULT_NO_LAYOUT));
        // A reset device must be activated again before anyone logs in.
        QCOMPARE(fleet->login(A, Admin, Pw).error.errorType, QStringLiteral("DEVNOACTIVE"));
        QVERIFY(!fleet->search().value(A).activated);
    }

    // A fresh fleet's log already has lines; every event of a decoder then adds its own line, of its
    // own type and at the fleet's time, and a query returns exactly the lines of its span and type.
    void logHoldsHistoryThenEvents()
    {
        const QDateTime start = QDateTime::fromMSecsSinceEpoch(clockMs);
        QStringList history, again;
        QCOMPARE(fleet->getLog(A, start.addDays(-2), start, 0, QString(), &history), int(RESULT_OK));
        fleet->getLog(A, start.addDays(-2), start, 0, QString(), &again);
        QVERIFY2(qAbs(history.size() - 48) <= 1, qPrintable(QString::number(history.size())));
        QCOMPARE(again, history);

        const qint64 t0 = clockMs;
        const auto at = [this, t0](int second) {
            clockMs = t0 + second * 1000;
        };
        at(1);
        fleet->login(A, Admin, QStringLiteral("wrong"));
        at(2);
        fleet->login(A, Admin, Pw);
        at(3);
        fleet->setScreenColor(A, 1, 2, ScreenColor{11, 22, 33, 44});
        at(4);
        fleet->setResolution(A, ScreenResolutionInfo{0, 0, {3840, 2160, 30}, false}, true);
        at(5);
        fleet->logout(A);
        at(6);
        fleet->factoryReset(A);
        const auto lines = [this, &start](int from, int to, int type) {
            QStringList found;
            fleet->getLog(A, start.addSecs(from), start.addSecs(to), type, QString(), &found);
            return found;
        };
        const auto t = [&start](int second) {
            return start.addSecs(second).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        };
        QCOMPARE(lines(1, 6, 1),
                 QStringList{t(1) + " [warning] Login of user admin refused: wrong user name or "
                                    "password (1 of 5)"});
        QCOMPARE(lines(2, 4, 2),
                 (QStringList{
                     t(2) + " [operation] User admin logged in",
                     t(3) + " [operation] Colour of screen 1-2 set: brightness 11, contrast 22, "
                            "chroma 33, sharpness 44",
                     t(4) + " [operation] Resolution of every screen set to 3840 x 2160 at 30 Hz (kept)"}));
        QCOMPARE(lines(5, 5, 2), QStringList{t(5) + " [operation] User admin logged out"});
        QCOMPARE(lines(3, 60, 0),
                 QStringList{t(6) + " [system] Factory settings restored: the device waits for activation"});
        QStringList none;
        QCOMPARE(fleet->getLog(A, start.addSecs(6), start, 0, QString(), &none), int(RESULT_BAD_ARGUMENT));
        QCOMPARE(fleet->getLog(A, start, start.addSecs(6), 4, QString(), &none), int(RESULT_BAD_ARGUMENT));
        QVERIFY(none.isEmpty());
    }

    void logAnswersAHundredThousandLines()
    {
        QByteArray json = FleetJson;
        json.replace("\"upgradeStepMs\"",
                     "\"logHistoryDays\": 60, \"logHistoryPerDay\": 2000, \"upgradeStepMs\"");
        const auto dense = SimulatedFleet::fromJson(json);
        QVERIFY(dense);
        dense->setClock([this] { return clockMs; });
        const QDateTime now = QDateTime::fromMSecsSinceEpoch(clockMs);
        QStringList lines;
        // 120,000 lines lie in the span: the newest 100,000 come back.
        QCOMPARE(dense->getLog(A, now.addDays(-60), now, 0, QString(), &lines), int(RESULT_OK));
        QCOMPARE(lines.size(), DecoderLog::MaxQueryLines);
        const QDateTime last =
            QDateTime::fromString(lines.last().left(19), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QVERIFY2(last.secsTo(now) < 60, qPrintable(lines.last()));
        // A day holds its 2000 lines, in time order.
        const QDateTime day(QDate(2023, 10, 5), QTime(0, 0), Qt::UTC);
        dense->getLog(A, day, day.addMSecs(24 * 3600 * 1000 - 1), 0, QString(), &lines);
        QCOMPARE(lines.size(), 2000);
        QVERIFY(std::is_sorted(lines.cbegin(), lines.cend()));
    }

    void logPackageIsATgzThatTarReads()
    {
        fleet->login(A, Admin, Pw);
        const QString path = dir->filePath(QStringLiteral("Decoder_system_log.tgz"));
        QStringList lines;
        QCOMPARE(fleet->getLog(A, QDateTime(), QDateTime(), -1, path, &lines), int(RESULT_OK));
        QCOMPARE(fleet->getLog(A, QDateTime(), QDateTime(), -1, QString(), &lines), int(RESULT_BAD_ARGUMENT));
        const QString tar = QStandardPaths::findExecutable(QStringLiteral("tar"));
        if (tar.isEmpty())
            QSKIP("tar is not installed");
        const auto run = [&tar](const QStringList& args) {
            QProcess process;
            process.start(tar, args);
            return process.waitForFinished(10000) && process.exitCode() == 0 ? process.readAllStandardOutput()
                                                                             : QByteArray("failed");
        };
        QStringList listed =
            QString::fromUtf8(run({"-tzf", path})).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        listed.sort();
        QCOMPARE(listed,
                 (QStringList{"abnormal.log", "device.txt", "operation.log", "system.log", "warning.log"}));
        QVERIFY(run({"-xzOf", path, "operation.log"}).contains("[operation] User admin logged in"));
        QVERIFY(run({"-xzOf", path, "device.txt"}).contains("device id: DEV-A"));
    }

    void configurationRoundTripRestartsTheDecoder()
    {
        customise(A);
        fleet->saveScene(A, 5, QStringLiteral("evening"));
        const QString path = dir->filePath(QStringLiteral("a.matrix"));
        QCOMPARE(fleet->exportConfig(A, path), int(RESULT_OK));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains(Pw.toUtf8()));
        fleet->factoryReset(A);
        endedSessions.clear();
        QCOMPARE(fleet->importConfig(A, path), int(RESULT_OK));
        QCOMPARE(endedSessions, QStringList{A + " restarted"});
        QCOMPARE(settingsText(A), Customised);
        QCOMPARE(fleet->getLayout(A).name, QStringLiteral("Lobby"));
        QCOMPARE(fleet->restoreScene(A, 5), int(RESULT_OK));
        QVERIFY(lastLine(A, 0).endsWith(QLatin1String("Restarting to apply the imported configuration")));
    }

    void badConfigurationFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        // How the file of A's export is spoilt when content is empty.
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("result");
        const auto row = [](const char* name, const QByteArray& content, const QString& spoil,
                            const QString& target, int result) {
            QTest::newRow(name) << content << spoil << target << result;
        };
        row("empty", "", "empty", A, DecoderConfigFile::Empty);
        row("some other file", "PK\x03\x04 zip", "", A, DecoderConfigFile::NotAConfig);
        row("unknown version", "TVWALL-DECODER-CONFIG 3\n{}\n{}", "", A, DecoderConfigFile::UnknownVersion);
        row("truncated", "", "cut", A, DecoderConfigFile::Truncated);
        row("cut in the header", "", "head", A, DecoderConfigFile::Truncated);
        row("changed setting", "", "flip", A, DecoderConfigFile::Damaged);
        row("other model", "", "", B, DecoderConfigFile::OtherModel);
        row("wall on an output that does not exist", "", "foreign", A, RESULT_BAD_ARGUMENT);
        row("missing file", "", "missing", A, RESULT_IO_ERROR);
    }
    void badConfigurationFilesAreRefused()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, spoil);
        QFETCH(QString, target);
        QFETCH(int, result);
        QString path = dir->filePath(QStringLiteral("a.matrix"));
        QCOMPARE(fleet->exportConfig(A, path), int(RESULT_OK));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        file.close();
        if (spoil == QLatin1String("cut"))
            bytes.chop(10);
        else if (spoil == QLatin1String("head"))
            bytes = bytes.left(40);
        else if (spoil == QLatin1String("flip"))
            bytes.replace("Lobby", "Lobbx");
        else if (spoil == QLatin1String("empty") || !content.isEmpty())
            bytes = content;
        if (spoil == QLatin1String("foreign")) {
            SimulatedDecoder::Configuration config;
            QCOMPARE(DecoderConfigFile::decode(bytes, &config), 0);
            config.wall.screens[0].ip = Nowhere;
            bytes = DecoderConfigFile::encode(config);
        }
        path = spoil == QLatin1String("missing") ? dir->filePath(QStringLiteral("missing.matrix"))
                                                 : writeFile(QStringLiteral("bad.matrix"), bytes);
        fleet->setScreenColor(target, 1, 1, ScreenColor{1, 2, 3, 4});
        QCOMPARE(fleet->importConfig(target, path), result);
        ScreenColor color;
        fleet->getScreenColor(target, 1, 1, &color);
        QCOMPARE(color.brightness, 1);
        QCOMPARE(fleet->getLayout(A).name, QStringLiteral("Lobby"));
        QVERIFY(endedSessions.isEmpty());
        // A file that never reached the decoder leaves no line there.
        QCOMPARE(lastLine(target, 1).contains(QLatin1String("Configuration file refused")),
                 result != RESULT_IO_ERROR);
    }

    void resolutionAcrossSessions_data()
    {
        QTest::addColumn<bool>("persist");
        QTest::addColumn<QString>("afterReconnect");
        QTest::newRow("kept") << true << "3840x2160@30 1280x720@60";
        QTest::newRow("for the session") << false << "1920x1080@60 1920x1080@60";
    }
    void resolutionAcrossSessions()
    {
        QFETCH(bool, persist);
        QFETCH(QString, afterReconnect);
        const auto resolutions = [this] {
            ScreenResolution_t whole{}, screen{};
            fleet->getResolution(A, 0, 0, &whole);
            fleet->getResolution(A, 1, 2, &screen);
            return QStringLiteral("%1x%2@%3 %4x%5@%6")
                .arg(whole.width)
                .arg(whole.height)
                .arg(whole.frameRate)
                .arg(screen.width)
                .arg(screen.height)
                .arg(screen.frameRate);
        };
        QCOMPARE(fleet->login(A, Admin, Pw).result, int(RESULT_OK));
        QCOMPARE(fleet->setResolution(A, ScreenResolutionInfo{0, 0, {3840, 2160, 30}, false}, persist), 0);
        QCOMPARE(fleet->setResolution(A, ScreenResolutionInfo{1, 2, {1280, 720, 60}, false}, persist), 0);
        QCOMPARE(resolutions(), QStringLiteral("3840x2160@30 1280x720@60"));
        fleet->logout(A);
        QCOMPARE(fleet->login(A, Admin, Pw).result, int(RESULT_OK));
        QCOMPARE(resolutions(), afterReconnect);
    }

    // A full disk (a file size limit here) or a missing folder fails the write with -5 and leaves
    // whatever was at the path before, with no half-written file beside it.
    void failedWritesKeepTheOldFile_data()
    {
        QTest::addColumn<int>("logType");
        QTest::addColumn<bool>("folderMissing");
        QTest::newRow("configuration, disk full") << -2 << false;
        QTest::newRow("log text, disk full") << 0 << false;
        QTest::newRow("log package, disk full") << -1 << false;
        QTest::newRow("configuration, no folder") << -2 << true;
    }
    void failedWritesKeepTheOldFile()
    {
        QFETCH(int, logType);
        QFETCH(bool, folderMissing);
        const QString path = folderMissing ? dir->filePath(QStringLiteral("gone/out"))
                                           : writeFile(QStringLiteral("out"), "old");
        const QDateTime now = QDateTime::fromMSecsSinceEpoch(clockMs);
        QStringList lines;
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit tiny = before;
        tiny.rlim_cur = folderMissing ? before.rlim_cur : 256;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        const int result = logType == -2 ? fleet->exportConfig(A, path)
                                         : fleet->getLog(A, now.addDays(-2), now, logType, path, &lines);
        setrlimit(RLIMIT_FSIZE, &before);
        QCOMPARE(result, int(RESULT_IO_ERROR));
        QVERIFY(lines.isEmpty());
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files),
                 folderMissing ? QStringList() : QStringList{"out"});
        QFile file(path);
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(),
                 QByteArray(folderMissing ? "" : "old"));
    }

    void firmwareImageRoundTrip()
    {
        const QByteArray image = FirmwareImage::build(QStringLiteral("TVD-T"), QStringLiteral("V2.0 build 7"),
                                                      QByteArray(5000, 'x'));
        FirmwareImage read;
        QVERIFY(FirmwareImage::read(writeFile(QStringLiteral("fw.bin"), image), &read));
        QCOMPARE(read.model + ' ' + read.version + ' ' + QString::number(read.payloadSize),
                 QStringLiteral("TVD-T V2.0 build 7 5000"));
        // A version too long for its field is not cut to another one.
        QVERIFY(FirmwareImage::build(QStringLiteral("TVD-T"), QString(32, 'v'), QByteArray()).isEmpty());
    }

    void upgrade_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<int>("failCode");
        QTest::addColumn<QString>("event");
        QTest::addColumn<int>("endResult");
        QTest::addColumn<QString>("reports");
        QTest::addColumn<QString>("versions");
        QTest::addColumn<QString>("logged");
        const QStringList both{A, C};
        const int bad = RESULT_BAD_ARGUMENT;
        const int failed = RESULT_UPGRADE_FAILED;
        // Reports are "card:percent", "m<marker>" and "!<code>" when not 0, "*" when the card is up to date;
        // "..." matches only the end of the sequence. A result of 1 stands for none.
        QTest::newRow("two cards over time")
            << "V2" << both << 0 << "" << 1 << "1:20 1:40 1:60 1:80 1:100 2:20 2:40 2:60 2:80 2:100 0:0"
            << "V2 V2"
            << "Firmware upgraded from V1 to V2";
        for (int code = 1; code <= 9; ++code)
            QTest::newRow(qPrintable(QStringLiteral("card 2 fails with code %1").arg(code)))
                << "V2" << both << code << "" << failed << QStringLiteral("... 2:40 2:-1m-1!%1").arg(code)
                << "V2 V1" << QStringLiteral("(code %1)").arg(code);
        QTest::newRow("running version is the latest") << "V1" << QStringList{A} << 0 << "" << 1 << "1:100*"
                                                       << "V1 V1"
                                                       << "Firmware V1 is already installed";
        QTest::newRow("connection drops")
            << "V2" << QStringList{A} << 0 << "drop" << failed << "1:20 1:-1m-1!3"
            << "V1 V1"
            << "failed: connection broken (code 3)";
        QTest::newRow("transfer breaks")
            << "V2" << QStringList{A} << 0 << "break" << failed << "1:20 1:-1m-1!3"
            << "V1 V1"
            << "failed: connection broken (code 3)";
        QTest::newRow("login refused")
            << "V2" << QStringList{A} << 0 << "wrong password" << failed << "1:-1m-1!1"
            << "V1 V1"
            << "login of user admin failed";
        QTest::newRow("no file") << "missing" << QStringList{A} << 0 << "" << bad << ""
                                 << "V1 V1"
                                 << "cannot be read";
        QTest::newRow("not a firmware") << "junk" << QStringList{A} << 0 << "" << bad << ""
                                        << "V1 V1"
                                        << "no firmware image";
        QTest::newRow("truncated image") << "truncated" << QStringList{A} << 0 << "" << bad << ""
                                         << "V1 V1"
                                         << "truncated";
        QTest::newRow("damaged image") << "damaged" << QStringList{A} << 0 << "" << bad << ""
                                       << "V1 V1"
                                       << "checksum";
        QTest::newRow("image of another model") << "other model" << both << 0 << "" << bad << ""
                                                << "V1 V1"
                                                << "made for the model TVD-Z";
        QTest::newRow("no device") << "V2" << QStringList() << 0 << "" << bad << ""
                                   << "V1 V1"
                                   << "";
    }
    void upgrade()
    {
        QFETCH(QString, image);
        QFETCH(QStringList, devices);
        QFETCH(int, failCode);
        QFETCH(QString, event);
        QFETCH(int, endResult);
        QFETCH(QString, reports);
        QFETCH(QString, versions);
        QFETCH(QString, logged);
        if (failCode)
            faults.failUpgrade(2, failCode);
        if (event == QLatin1String("break"))
            faults.breakTransfers(A);
        QByteArray bytes =
            FirmwareImage::build(image == QLatin1String("other model") ? "TVD-Z" : "TVD-T",
                                 image == QLatin1String("V1") ? "V1" : "V2", QByteArray(300, 'p'));
        if (image == QLatin1String("junk"))
            bytes = "ELF\x7f garbage";
        else if (image == QLatin1String("truncated"))
            bytes.chop(1);
        else if (image == QLatin1String("damaged"))
            bytes[bytes.size() - 1] = 'q';
        const QString path = image == QLatin1String("missing") ? dir->filePath(QStringLiteral("missing.bin"))
                                                               : writeFile(QStringLiteral("fw.bin"), bytes);
        QList<DeviceInfo_t> targets;
        for (const QString& ip : devices)
            targets.append(
                device(ip, event == QLatin1String("wrong password") ? QStringLiteral("nope") : Pw));
        QStringList seen;
        int ended = 1;
        DecoderBackend::UpgradeSink sink;
        sink.progress = [&](int card, int marker, int percent, int code, bool latest) {
            seen.append(QStringLiteral("%1:%2").arg(card).arg(percent) +
                        (marker ? QStringLiteral("m%1").arg(marker) : QString()) +
                        (code ? QStringLiteral("!%1").arg(code) : QString()) + (latest ? "*" : ""));
            if (seen.size() == 1 && event == QLatin1String("drop"))
                QTimer::singleShot(0, fleet.get(), [this] { fleet->logout(A); });
        };
        sink.result = [&ended](int code) {
            ended = code;
        };
        const auto finished = [&] {
            return ended != 1 || (!seen.isEmpty() && (seen.last().endsWith('*') || seen.last() == "0:0"));
        };
        const int started = fleet->startUpgrade(targets, path, sink);
        if (started == RESULT_OK) {
            // Nothing is reported before the event loop runs: the work is timed.
            QVERIFY(seen.isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(finished(), 10000);
        } else {
            ended = started;
        }
        QCOMPARE(ended, endResult);
        const QString got = seen.join(QLatin1Char(' '));
        if (reports.startsWith(QLatin1String("...")))
            QVERIFY2(got.endsWith(reports.mid(3)), qPrintable(got));
        else
            QCOMPARE(got, reports);
        QCOMPARE(fleet->search().value(A).version + QLatin1Char(' ') + fleet->search().value(C).version,
                 versions);
        // The last decoder of the list tells how it ended.
        const QList<DecoderLog::Entry>& events =
            fleet->decoder(devices.isEmpty() ? A : devices.last())->log().events();
        QVERIFY2(logged.isEmpty() || (!events.isEmpty() && events.last().text.contains(logged)),
                 qPrintable(events.isEmpty() ? QString() : events.last().text));
        if (started != RESULT_OK)
            return;
        // Nothing of it is left running: the next upgrade starts and reports alone.
        faults.clear();
        seen.clear();
        ended = 1;
        const QString latest =
            writeFile(QStringLiteral("latest.bin"),
                      FirmwareImage::build("TVD-T", fleet->search().value(A).version, "p"));
        QCOMPARE(fleet->startUpgrade({device(A)}, latest, sink), int(RESULT_OK));
        QTRY_VERIFY_WITH_TIMEOUT(finished(), 10000);
        QCOMPARE(seen, QStringList{"1:100*"});
    }

    void unknownAddressesGetAnError()
    {
        DeviceNetworkCfg_t cfg{};
        ScreenColor color;
        ScreenResolution_t resolution{};
        QStringList lines;
        QString newIp;
        const QDateTime now = QDateTime::currentDateTime();
        QCOMPARE(fleet->login(Nowhere, Admin, Pw).result, int(RESULT_NO_DEVICE));
        QVERIFY(!fleet->login(Nowhere, Admin, Pw).hasError);
        QCOMPARE(fleet->getLayout(Nowhere).result, int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->getNetwork(Nowhere, &cfg), int(RESULT_NO_DEVICE));
        QCOMPARE(cfg.ipv4Addr[0], '\0');
        QCOMPARE(fleet->setNetwork(Nowhere, Admin, Pw, cfg, &newIp), int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->getScreenColor(Nowhere, 1, 1, &color), int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->getResolution(Nowhere, 0, 0, &resolution), int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->checkScreen(Nowhere, 1, true), int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->factoryReset(Nowhere), int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->getLog(Nowhere, now.addDays(-1), now, 0, QString(), &lines), int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->exportConfig(Nowhere, dir->filePath(QStringLiteral("x.matrix"))),
                 int(RESULT_NO_DEVICE));
        QCOMPARE(fleet->changePassword(Nowhere, Admin, Pw, QStringLiteral("Another1!")),
                 int(RESULT_NO_DEVICE));
    }

private:
    const QString Defaults = QStringLiteral("87 87 87 87 1920x1080@60");
    const QString Customised = QStringLiteral("11 22 33 44 3840x2160@30");

    // Screen 1,2's colour and output 0,0's resolution.
    QString settingsText(const QString& ip)
    {
        ScreenColor c;
        fleet->getScreenColor(ip, 1, 2, &c);
        ScreenResolution_t r{};
        fleet->getResolution(ip, 0, 0, &r);
        return QStringLiteral("%1 %2 %3 %4 %5x%6@%7")
            .arg(c.brightness)
            .arg(c.contrast)
            .arg(c.chroma)
            .arg(c.sharpness)
            .arg(r.width)
            .arg(r.height)
            .arg(r.frameRate);
    }

    void customise(const QString& ip)
    {
        QCOMPARE(fleet->setScreenColor(ip, 1, 2, ScreenColor{11, 22, 33, 44}), int(RESULT_OK));
        QCOMPARE(fleet->setResolution(ip, ScreenResolutionInfo{0, 0, {3840, 2160, 30}, false}, true),
                 int(RESULT_OK));
    }

    /** The four screens of a 2 x 2 wall, row by row. */
    QString contents(const QString& ip)
    {
        const SimulatedDecoder* d = fleet->decoder(ip);
        return QStringList{d->screenContent(1, 1), d->screenContent(1, 2), d->screenContent(2, 1),
                           d->screenContent(2, 2)}
            .join(QLatin1Char(' '));
    }

    /** The newest line of one log type, over the last minute of the fleet's clock. */
    QString lastLine(const QString& ip, int logType)
    {
        QStringList lines;
        const QDateTime now = QDateTime::fromMSecsSinceEpoch(clockMs);
        fleet->getLog(ip, now.addSecs(-60), now, logType, QString(), &lines);
        return lines.value(lines.size() - 1);
    }

    QString picture(const QString& name, Qt::GlobalColor color)
    {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(color);
        const QString path = dir->filePath(name);
        return image.save(path, "PNG") ? path : QString();
    }

    /** The screen-adjustment test window over the whole wall, showing picture when one is given. */
    static MatrixWindowInfo wallWindow(int rows, int cols, const QString& picture)
    {
        MatrixWindowInfo w = wallWindow(rows, cols);
        WindowSourceInfo& source = w.sourceList.first();
        source.sourceSlot = 0;
        source.sourceKind = 7;
        source.pictureName = QFileInfo(picture).baseName();
        source.picturePath = picture;
        source.pictureMode = 3;
        return w;
    }
    /** The fleet made again from FleetJson with these root members, set up as init() sets it up. */
    void remake(const QJsonObject& members)
    {
        QJsonObject root = QJsonDocument::fromJson(FleetJson).object();
        for (auto it = members.begin(); it != members.end(); ++it)
            root.insert(it.key(), it.value());
        QString error;
        auto made = SimulatedFleet::fromJson(QJsonDocument(root).toJson(), &error);
        QVERIFY2(made, qPrintable(error));
        made->setFaultInjector(&faults);
        made->setClock([this] { return clockMs; });
        made->setSessionEndedHandler([this](const QString& ip, DecoderBackend::SessionEnd why) {
            endedSessions.append(ip + (why == DecoderBackend::SessionEnd::Restarted
                                           ? QStringLiteral(" restarted")
                                           : QStringLiteral(" other")));
        });
        fleet = std::move(made);
    }

    static MatrixWindowInfo wallWindow(int rows, int cols)
    {
        MatrixWindowInfo w;
        w.windowParam1 = 1;
        w.windowParam2 = 0;
        w.width = w.height = 32768;
        w.windowParam12 = 1;
        w.rowCount = rows;
        w.columnCount = cols;
        w.sourceList.append(WindowSourceInfo());
        return w;
    }

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir->filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QString();
        return path;
    }

    std::unique_ptr<SimulatedFleet> fleet;
    FaultInjector faults;
    qint64 clockMs = 1700000000000;
    QStringList endedSessions;
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_MAIN(TestSimulatedFleet)
#include "tst_simulatedfleet.moc"
