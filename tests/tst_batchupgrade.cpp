// Firmware for many decoders in one run, as an operator does it from the decoder list of the page: the
// checks before anything is sent (and what they leave out, with why), a few decoders at a time and never
// more, each decoder checked back with its new version, every bad input ending its own row and no other
// (a damaged or foreign image, a decoder that drops mid-upload, fails, never comes back or comes back with
// its old version), "retry failed", "cancel" and closing that never cut off a decoder under way, the
// single-decoder upgrade window kept apart, and the results exported to CSV that a spreadsheet opens safely.
// Runs on the in-process fleet, and with TVWALL_TEST_BACKEND=onvif over the daemon on loopback.

#include "batchupgradedlg.h"
#include "connectstatetipwt.h"
#include "csvtable.h"
#include "firmwarefile.h"
#include "firmwareimage.h"
#include "maintenancetesthelpers.h"
#include "matrixconfigform.h"
#include "servicebackend.h"
#include "servicespy.h"
#include "simulatedfleet.h"
#include "updatedecodercarddlg.h"
#include "watchreportdlg.h"

#include <QApplication>
#include <QJsonArray>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSpinBox>

using namespace mgmt;
using namespace maint;
using pral_matrix::BatchUpgradeReport;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::SimulatedFleet;
using pral_matrixConfig::BatchUpgradeDlg;
using pral_matrixConfig::DecoderManagementDlg;
using pral_matrixConfig::MatrixConfigForm;
using pral_matrixConfig::UpdateDecoderCardDlg;

namespace {

const char* const BatchClass = "pral_matrixConfig::BatchUpgradeDlg";
const QString Model = QStringLiteral("TVD-04");
const QString ImageVersion = QStringLiteral("V2.10.0");
const QString OldVersion = QStringLiteral("V2.3.1 build 240611");
const QString Hostile = QStringLiteral("=HYPERLINK(\"x\",\"y\")");
constexpr int RestartMs = 100;
constexpr int WatchTimeoutMs = 1500;

enum CheckColumn
{
    CheckDecoder,
    CheckConnected,
    CheckModel,
    CheckVersion,
    CheckImage,
    CheckResult
};
enum RunColumn
{
    RunDecoder,
    RunModel,
    RunBefore,
    RunAfter,
    RunState,
    RunTime
};

/** Where the fleet's decoder 192.0.2.n is reached. */
QString at(int n)
{
    return ServiceBackend::address(QStringLiteral("192.0.2.%1").arg(n));
}

QStringList range(int first, int count)
{
    QStringList ips;
    for (int n = first; n < first + count; ++n)
        ips << at(n);
    return ips;
}

/**
 * The decoders of the checks (40 to 46, each a case of its own) and eight alike for the runs (50 to 57),
 * all made for TVD-04 and running the old version unless said otherwise.
 */
QByteArray fleetJson()
{
    QJsonArray decoders;
    auto add = [&decoders](int n, const QString& model, int channels, const QString& version) {
        decoders.append(QJsonObject{{"ip", QStringLiteral("192.0.2.%1").arg(n)},
                                    {"deviceId", QStringLiteral("BATCH-%1").arg(n)},
                                    {"model", model},
                                    {"type", channels > 1 ? 3 : 1},
                                    {"channels", channels},
                                    {"version", version},
                                    {"password", Password},
                                    {"mask", "255.255.255.0"}});
    };
    add(40, Model, 4, OldVersion);
    add(41, Model, 4, "V2.9.0");
    add(42, Model, 4, ImageVersion);
    add(43, Model, 4, "V2.11.0");
    add(44, "TVD-08", 8, OldVersion);
    add(45, Model, 4, OldVersion);
    add(46, Hostile, 1, OldVersion);
    for (int n = 50; n < 58; ++n)
        add(n, Model, 4, OldVersion);
    return QJsonDocument(QJsonObject{{"latencyMs", 0},
                                     {"upgradeStepMs", 10},
                                     {"restartMs", RestartMs},
                                     {"confirmWindowMs", 0},
                                     {"decoders", decoders}})
        .toJson();
}

QTableWidget* checkTable(QWidget* dialog)
{
    return dialog->findChild<QTableWidget*>(QStringLiteral("checkTable"));
}

QTableWidget* runTable(QWidget* dialog)
{
    return dialog->findChild<QTableWidget*>(QStringLiteral("runTable"));
}

/** The text of the column in the table's row of ip, or "no row". */
QString cellOf(QTableWidget* table, const QString& ip, int column)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, 0) && table->item(row, 0)->text() == ip)
            return table->item(row, column) ? table->item(row, column)->text() : QString();
    }
    return QStringLiteral("no row");
}

QString stateOf(QWidget* dialog, const QString& ip)
{
    return cellOf(runTable(dialog), ip, RunState);
}

/** Rows of the run under way: sending, restarting or being checked, as the table shows them. */
int underWay(QWidget* dialog)
{
    int count = 0;
    QTableWidget* table = runTable(dialog);
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString state = table->item(row, RunState)->text();
        count += state.startsWith("sending") || state == "restarting" || state == "verifying" ? 1 : 0;
    }
    return count;
}

bool ended(const QString& state)
{
    return state.startsWith("done") || state.startsWith("failed") || state.startsWith("cancelled") ||
           state.startsWith("latest");
}

bool allEnded(QWidget* dialog, const QStringList& ips)
{
    return std::all_of(ips.begin(), ips.end(),
                       [dialog](const QString& ip) { return ended(stateOf(dialog, ip)); });
}

/** The rows' states, for a failure's message. */
QByteArray states(QWidget* dialog, const QStringList& ips)
{
    QStringList lines;
    for (const QString& ip : ips)
        lines << ip + ": " + stateOf(dialog, ip);
    return lines.join("; ").toUtf8();
}

/** Waits until each row of ips has ended; false when one has not within ms. */
bool waitEnded(QWidget* dialog, const QStringList& ips, int ms)
{
    return QTest::qWaitFor([&] { return allEnded(dialog, ips); }, ms);
}

QString versionOf(const QString& ip)
{
    QString version;
    ServiceBackend::onFleet([&](SimulatedFleet& fleet) {
        if (const auto* d = fleet.decoder(ip))
            version = d->version();
    });
    return version;
}

QString backOnLine(const QString& was = OldVersion)
{
    return QStringLiteral("done: back on line, version %1 (was %2)").arg(ImageVersion, was);
}

} // namespace

class TestBatchUpgrade : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString image;
    std::unique_ptr<MatrixConfigForm> form;
    DecoderManagementDlg* managed = nullptr;
    std::unique_ptr<QSignalSpy> alerts;

    QStringList notices() const
    {
        QStringList texts;
        for (const QList<QVariant>& args : *alerts)
            texts << args.at(1).toString();
        return texts;
    }

    /** The page on a store of these decoders, the list shown and every reachable one connected. */
    void openPage(const QStringList& ips, const QStringList& unreachable = {})
    {
        QList<MatrixInfo> decoders;
        for (const QString& ip : ips)
            decoders << stored(ip);
        MatrixSdkWorker::addDecoderToJson(decoders);
        MatrixSdkWorker::addMatrixToJson({});
        MatrixSdkWorker::flushStore();
        for (const QString& ip : unreachable)
            worker().faults().setUnreachable(ip);
        form = std::make_unique<MatrixConfigForm>();
        form->resize(1024, 640);
        form->show();
        QTRY_VERIFY(managementDialog());
        managed = managementDialog();
        managed->show();
        QStringList reachable = ips;
        for (const QString& ip : unreachable)
            reachable.removeAll(ip);
        QVERIFY(settle(managed, reachable));
        QVERIFY(settle(managed, unreachable, Down));
    }

    /**
     * Checks the rows of ips, opens the batch from the list's button and runs steps in it. The window is
     * closed after them, once nothing is under way; a failed step leaves it at once.
     */
    void inBatch(const QStringList& ips, const std::function<void(BatchUpgradeDlg*)>& steps)
    {
        for (const QString& ip : ips)
            clickRowBox(managed, ip);
        bool ran = false;
        ModalAnswerer batch(BatchClass, [&](QWidget* w) {
            auto* dialog = qobject_cast<BatchUpgradeDlg*>(w);
            steps(dialog);
            ran = !QTest::currentTestFailed();
            if (!ran || !QTest::qWaitFor([dialog] { return dialog->runningCount() == 0; }, 30000)) {
                static_cast<QDialog*>(dialog)->reject();
                return;
            }
            if (dialog->isVisible())
                click(dialog, "okBt");
        });
        click(managed, "upgradeFirmwareBtn");
        QVERIFY(batch.answered());
        QVERIFY(ran);
    }

    /** Picks the image in the batch's file field and waits for the checks. */
    static void chooseImage(BatchUpgradeDlg* dialog, const QString& path)
    {
        ModalAnswerer file(FileDialogClass, chooseFile(path));
        QTest::mouseClick(dialog->findChild<QLineEdit*>(QStringLiteral("filePath")), Qt::LeftButton);
        QVERIFY(file.answered());
        QTableWidget* table = checkTable(dialog);
        QTRY_VERIFY_WITH_TIMEOUT(table->item(0, CheckResult)->text() != "checking...", 10000);
    }

    static void setConcurrency(BatchUpgradeDlg* dialog, int limit)
    {
        auto* spin = dialog->findChild<QSpinBox*>(QStringLiteral("concurrencySpin"));
        spin->selectAll();
        QTest::keyClicks(spin, QString::number(limit));
        QCOMPARE(spin->value(), limit);
    }

    static DecoderManagementDlg* managementDialog()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<DecoderManagementDlg*>(w))
                return found;
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        image = dir.filePath("decoder-V2.10.0.bin");
        QVERIFY(writeFirmwareFile(image, Model, ImageVersion));
    }

    void cleanupTestCase()
    {
        // The store lets go of the last test's directory (and its lock) before the directory goes.
        MatrixSdkWorker::flushStore();
        MatrixSdkWorker::setDataDirectory(dir.filePath("unused"));
    }

    void init()
    {
        MatrixSdkWorker::setDataDirectory(dir.filePath(
            QString("data-%1-%2").arg(QTest::currentTestFunction()).arg(QTest::currentDataTag())));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath("store.key"));
        QString error;
        QVERIFY2(ServiceBackend::load(fleetJson(), &error,
                                      [](pral_matrix::OnvifBackend::Options& o) {
                                          o.upgradePollMs = 20;
                                          o.linkCheckMs = 0;
                                      }),
                 qPrintable(error));
        worker().setResultDelay(0);
        worker().faults().clear();
        pral_matrix::DecoderWatch::Options options;
        options.timeoutMs = WatchTimeoutMs;
        options.retryMs = 50;
        worker().changeWatch().setOptions(options);
        alerts = std::make_unique<QSignalSpy>(&PSingleton<pral_worker::SystemAssistant>::_instance(),
                                              &pral_worker::SystemAssistant::signalAlert);
    }

    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* tip = qobject_cast<pral_matrix::ConnectStateTipWt*>(w))
                tip->hide();
        }
        form.reset();
        managed = nullptr;
        alerts.reset();
        worker().disconnectAllMatrix();
        worker().faults().clear();
        PSingleton<pral_worker::SystemAssistant>::_instance().closeAll();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void versionsCompareByTheirNumbers_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("running");
        QTest::addColumn<int>("order");
        QTest::addColumn<bool>("comparable");
        QTest::newRow("a number of two digits") << "V2.10"
                                                << "V2.9" << 1 << true;
        QTest::newRow("the other way round") << "V2.9"
                                             << "V2.10" << -1 << true;
        QTest::newRow("equal") << "V2.10.0"
                               << "V2.10.0" << 0 << true;
        QTest::newRow("a missing number is 0") << "V2.10"
                                               << "V2.10.0" << 0 << true;
        QTest::newRow("a build after it") << "V2.3.1 build 240611"
                                          << "V2.3.1" << 1 << true;
        QTest::newRow("leading zeros") << "V2.010"
                                       << "V2.9" << 1 << true;
        QTest::newRow("numbers beyond 64 bits") << "V99999999999999999999999"
                                                << "V99999999999999999999998" << 1 << true;
        QTest::newRow("no numbers, same text") << "beta"
                                               << "beta" << 0 << false;
        QTest::newRow("no numbers, other text") << "beta"
                                                << "gamma" << -1 << false;
    }
    void versionsCompareByTheirNumbers()
    {
        QFETCH(QString, image);
        QFETCH(QString, running);
        QFETCH(int, order);
        QFETCH(bool, comparable);
        bool canCompare = !comparable;
        const int result = pral_matrix::FirmwareImage::compareVersions(image, running, &canCompare);
        QCOMPARE(result < 0 ? -1 : result > 0 ? 1 : 0, order);
        QCOMPARE(canCompare, comparable);
    }

    void csvFieldsOpenSafelyInASpreadsheet_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << "V2.3.1 build 240611"
                               << "V2.3.1 build 240611";
        QTest::newRow("comma") << "a,b"
                               << "\"a,b\"";
        QTest::newRow("quote") << "say \"hi\""
                               << "\"say \"\"hi\"\"\"";
        QTest::newRow("line break") << "one\ntwo"
                                    << "\"one\ntwo\"";
        QTest::newRow("formula") << "=1+2"
                                 << "'=1+2";
        QTest::newRow("plus") << "+1"
                              << "'+1";
        QTest::newRow("minus") << "-1"
                               << "'-1";
        QTest::newRow("at") << "@SUM(A1)"
                            << "'@SUM(A1)";
        QTest::newRow("tab") << "\t=1"
                             << "'\t=1";
        QTest::newRow("formula with a comma") << "=SUM(1,2)"
                                              << "\"'=SUM(1,2)\"";
        QTest::newRow("sign inside") << "a=b"
                                     << "a=b";
        QTest::newRow("empty") << ""
                               << "";
    }
    void csvFieldsOpenSafelyInASpreadsheet()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(pral_matrixConfig::CsvTable::field(text), field);
    }

    void checksListEachDecoderAndLeaveOutThoseThatFail()
    {
        const QStringList ips = range(40, 6);
        openPage(ips, {at(45)});
        const QString damaged = dir.filePath("damaged.bin");
        QVERIFY(QFile::copy(image, damaged));
        {
            QFile file(damaged);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(file.size() - 1);
            file.write("\x01");
        }
        const QString foreign = dir.filePath("foreign.bin");
        QVERIFY(writeFirmwareFile(foreign, "TVD-16", ImageVersion));
        ServiceSpy reports(&MatrixSdkWorker::signalBatchUpgradeReport);

        inBatch(ips, [&](BatchUpgradeDlg* dialog) {
            QTableWidget* table = checkTable(dialog);
            auto* start = dialog->findChild<QPushButton*>(QStringLiteral("startBt"));
            QCOMPARE(table->rowCount(), ips.size());
            QVERIFY(!start->isEnabled());

            chooseImage(dialog, image);
            // Decoder, connected, model, running version, check: one case each.
            const QList<QStringList> expected{
                {at(40), "yes", Model, OldVersion, "ready"},
                {at(41), "yes", Model, "V2.9.0", "ready"},
                {at(42), "yes", Model, ImageVersion, "left out: latest: it runs V2.10.0 already"},
                {at(43), "yes", Model, "V2.11.0",
                 "left out: the image's V2.10.0 is older than the running V2.11.0"},
                {at(44), "yes", "TVD-08", OldVersion,
                 "left out: the image is made for TVD-04, not for TVD-08"},
                {at(45), "no", "", "", "left out: not connected"},
            };
            for (const QStringList& row : expected) {
                const QString ip = row.at(0);
                QCOMPARE(cellOf(table, ip, CheckConnected), row.at(1));
                QCOMPARE(cellOf(table, ip, CheckModel), row.at(2));
                QCOMPARE(cellOf(table, ip, CheckVersion), row.at(3));
                QCOMPARE(cellOf(table, ip, CheckImage), QString("sound"));
                QCOMPARE(cellOf(table, ip, CheckResult), row.at(4));
            }
            QVERIFY(start->isEnabled());
            QCOMPARE(
                dialog->findChild<QLabel*>(QStringLiteral("summaryLabel"))->text(),
                QString("The image installs V2.10.0 on TVD-04: 2 of 6 decoder(s) can take it; the others are "
                        "left out, each with the reason."));

            // An image that is damaged or made for another model leaves every decoder out.
            chooseImage(dialog, damaged);
            for (const QString& ip : ips) {
                QCOMPARE(cellOf(table, ip, CheckImage), QString("damaged"));
                QCOMPARE(cellOf(table, ip, CheckResult),
                         QString("left out: the image is damaged: the image's checksum does not match"));
            }
            QVERIFY(!start->isEnabled());
            chooseImage(dialog, foreign);
            QCOMPARE(cellOf(table, at(40), CheckResult),
                     QString("left out: the image is made for TVD-16, not for TVD-04"));
            QVERIFY(!start->isEnabled());
            // Nothing was sent while the operator looked.
            QVERIFY(maint::flushService());
            QCOMPARE(reports.count(), 0);

            // The two that passed take the image: V2.10 is newer than V2.9, by its numbers.
            chooseImage(dialog, image);
            click(dialog, "startBt");
            QVERIFY2(waitEnded(dialog, {at(40), at(41)}, 20000), states(dialog, ips).constData());
            QCOMPARE(stateOf(dialog, at(40)), backOnLine());
            QCOMPARE(stateOf(dialog, at(41)), backOnLine("V2.9.0"));
            // Those left out are listed in the results with why, and were sent nothing.
            QCOMPARE(stateOf(dialog, at(44)),
                     QString("left out: the image is made for TVD-04, not for TVD-08"));
        });
        QCOMPARE(versionOf(at(41)), ImageVersion);
        // Each left out runs what it ran.
        const QMap<int, QString> kept{
            {42, ImageVersion}, {43, "V2.11.0"}, {44, OldVersion}, {45, OldVersion}};
        for (auto it = kept.begin(); it != kept.end(); ++it)
            QCOMPARE(versionOf(at(it.key())), it.value());
        QSet<QString> sentTo;
        for (const QList<QVariant>& args : reports.all())
            sentTo.insert(args.at(0).value<BatchUpgradeReport>().ip);
        QCOMPARE(sentTo, (QSet<QString>{at(40), at(41)}));
    }

    void aFewAtATimeEachCheckedBack_data()
    {
        QTest::addColumn<int>("limit");
        QTest::newRow("the default") << 0;
        QTest::newRow("three") << 3;
    }
    void aFewAtATimeEachCheckedBack()
    {
        QFETCH(int, limit);
        const QStringList ips = range(50, 8);
        openPage(ips);
        ServiceSpy single(&MatrixSdkWorker::signalUpdateMatrixProgress);
        ServiceSpy singleResults(&MatrixSdkWorker::signalUpdateMatrixResult);
        QObject observer;
        int most = 0;
        QMap<QString, QStringList> seen;
        inBatch(ips, [&](BatchUpgradeDlg* dialog) {
            chooseImage(dialog, image);
            if (limit > 0)
                setConcurrency(dialog, limit);
            // Taken after the window took each report: what the operator sees at that moment.
            connect(&worker(), &MatrixSdkWorker::signalBatchUpgradeReport, &observer,
                    [&, dialog](const BatchUpgradeReport& report) {
                        most = qMax(most, underWay(dialog));
                        const QString word = stateOf(dialog, report.ip).section(QLatin1Char(' '), 0, 0);
                        if (seen[report.ip].value(seen[report.ip].size() - 1) != word)
                            seen[report.ip] << word;
                    });
            click(dialog, "startBt");
            most = qMax(most, underWay(dialog));
            QVERIFY2(waitEnded(dialog, ips, 30000), states(dialog, ips).constData());
            const int expectedLimit = limit > 0 ? limit : BatchUpgradeDlg::DefaultConcurrency;
            QCOMPARE(most, expectedLimit);
            for (const QString& ip : ips) {
                QCOMPARE(stateOf(dialog, ip), backOnLine());
                QCOMPARE(cellOf(runTable(dialog), ip, RunAfter), ImageVersion);
                QCOMPARE(seen.value(ip), (QStringList{"sending", "restarting", "verifying", "done:"}));
            }
            QVERIFY(dialog->findChild<QProgressBar*>(QStringLiteral("runProgress"))->value() == ips.size());
        });
        for (const QString& ip : ips) {
            QCOMPARE(versionOf(ip), ImageVersion);
            // Back in the list, connected to the new firmware.
            QTRY_VERIFY_WITH_TIMEOUT(worker().getHandleByIp(ip), 10000);
            QCOMPARE(worker().getHandleByIp(ip)->version(), ImageVersion);
            QCOMPARE(status(managed, ip), Up);
        }
        // Neither the single-decoder window's reports nor the page's own watch notices: the batch tells its
        // own.
        QCOMPARE(single.count(), 0);
        QCOMPARE(singleResults.count(), 0);
        QCOMPARE(notices().filter("firmware upgrade").size(), 0);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<pral_matrixConfig::WatchReportDlg*>(w) || !w->isVisible());
    }

    void eachBadInputEndsItsOwnRowOnly()
    {
        const QStringList ips = range(50, 6);
        openPage(ips);
        // 50 and 55 are sound; each of the others goes wrong in its own way.
        worker().faults().breakTransfers(at(51));
        worker().faults().failUpgradeOf(at(52), 9);
        worker().faults().setUnreachable(at(53));
        worker().faults().keepFirmware(at(54));
        inBatch(ips, [&](BatchUpgradeDlg* dialog) {
            chooseImage(dialog, image);
            for (const QString& ip : ips)
                QCOMPARE(cellOf(checkTable(dialog), ip, CheckResult), QString("ready"));
            click(dialog, "startBt");
            QVERIFY2(waitEnded(dialog, ips, 30000), states(dialog, ips).constData());
            const QMap<QString, QString> outcomes{
                {at(50), backOnLine()},
                {at(51), "failed: Connection break!"},
                {at(52), "failed: Write failed!"},
                {at(53), "failed: not back within 1.5 s"},
                {at(54), "failed: back, but still at " + OldVersion},
                {at(55), backOnLine()},
            };
            for (auto it = outcomes.begin(); it != outcomes.end(); ++it)
                QCOMPARE(stateOf(dialog, it.key()), it.value());
            QCOMPARE(cellOf(runTable(dialog), at(54), RunAfter), OldVersion);
            QCOMPARE(cellOf(runTable(dialog), at(53), RunAfter), QString());
            QVERIFY(dialog->findChild<QPushButton*>(QStringLiteral("retryBt"))->isEnabled());
        });
        QCOMPARE(versionOf(at(50)), ImageVersion);
        QCOMPARE(versionOf(at(55)), ImageVersion);
        for (const int n : {51, 52, 54})
            QCOMPARE(versionOf(at(n)), OldVersion);
        // The one that never came back had installed it; nobody could tell.
        QCOMPARE(versionOf(at(53)), ImageVersion);
    }

    void anImageDamagedAfterTheChecksIsRefusedByEachDecoder()
    {
        const QStringList ips = range(50, 3);
        openPage(ips);
        const QString changing = dir.filePath("changing.bin");
        QFile::remove(changing);
        QVERIFY(QFile::copy(image, changing));
        inBatch(ips, [&](BatchUpgradeDlg* dialog) {
            chooseImage(dialog, changing);
            QCOMPARE(cellOf(checkTable(dialog), at(50), CheckResult), QString("ready"));
            // The file changes on disk between the checks and the start: each decoder sees it and says no.
            QFile file(changing);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.resize(file.size() - 10));
            file.close();
            click(dialog, "startBt");
            QVERIFY2(waitEnded(dialog, ips, 20000), states(dialog, ips).constData());
            for (const QString& ip : ips)
                QCOMPARE(stateOf(dialog, ip), QString("failed: the decoder refused the image"));
        });
        for (const QString& ip : ips) {
            QCOMPARE(versionOf(ip), OldVersion);
            QCOMPARE(status(managed, ip), Up);
        }
    }

    void retryFailedRunsOnlyTheFailedRows()
    {
        const QStringList ips = range(50, 3);
        openPage(ips);
        worker().faults().failUpgradeOf(at(51), 5);
        QObject observer;
        QStringList startedAgain;
        inBatch(ips, [&](BatchUpgradeDlg* dialog) {
            chooseImage(dialog, image);
            click(dialog, "startBt");
            QVERIFY2(waitEnded(dialog, ips, 20000), states(dialog, ips).constData());
            QCOMPARE(stateOf(dialog, at(51)), QString("failed: Download failed!"));
            const QString firstDone = cellOf(runTable(dialog), at(50), RunTime);
            auto* retry = dialog->findChild<QPushButton*>(QStringLiteral("retryBt"));
            QVERIFY(retry->isEnabled());

            worker().faults().clear();
            connect(&worker(), &MatrixSdkWorker::signalBatchUpgradeReport, &observer,
                    [&](const BatchUpgradeReport& report) {
                        if (report.stage == BatchUpgradeReport::Sending && !startedAgain.contains(report.ip))
                            startedAgain << report.ip;
                    });
            click(dialog, "retryBt");
            QCOMPARE(stateOf(dialog, at(51)), QString("sending 0%"));
            QVERIFY2(waitEnded(dialog, ips, 20000), states(dialog, ips).constData());
            QCOMPARE(stateOf(dialog, at(51)), backOnLine());
            QCOMPARE(startedAgain, QStringList{at(51)});
            // The rows that were done are left as they were.
            QCOMPARE(stateOf(dialog, at(50)), backOnLine());
            QCOMPARE(cellOf(runTable(dialog), at(50), RunTime), firstDone);
            QVERIFY(!retry->isEnabled());
        });
        for (const QString& ip : ips)
            QCOMPARE(versionOf(ip), ImageVersion);
    }

    void cancelAndCloseNeverCutOffADecoderUnderWay_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel") << "cancelBt";
        QTest::newRow("close button") << "okBt";
        QTest::newRow("title bar's close") << "closeBt";
        QTest::newRow("Escape") << "escape";
    }
    void cancelAndCloseNeverCutOffADecoderUnderWay()
    {
        QFETCH(QString, how);
        const QStringList ips = range(50, 3);
        openPage(ips);
        inBatch(ips, [&](BatchUpgradeDlg* dialog) {
            chooseImage(dialog, image);
            setConcurrency(dialog, 1);
            click(dialog, "startBt");
            QCOMPARE(stateOf(dialog, at(50)), QString("sending 0%"));
            QCOMPARE(stateOf(dialog, at(51)), QString("waiting"));
            if (how == "escape")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                click(dialog, qPrintable(how));
            // The decoder under way goes on; those not started never will.
            QVERIFY(dialog->isVisible());
            QCOMPARE(dialog->runningCount(), 1);
            QCOMPARE(stateOf(dialog, at(51)), QString("cancelled before it started"));
            QCOMPARE(stateOf(dialog, at(52)), QString("cancelled before it started"));
            if (how != "cancelBt")
                QCOMPARE(notices().last(), QString("1 upgrade(s) under way cannot be interrupted: the window "
                                                   "can be closed once they have ended."));
            QVERIFY2(waitEnded(dialog, ips, 20000), states(dialog, ips).constData());
            QCOMPARE(stateOf(dialog, at(50)), backOnLine());
            QVERIFY(dialog->isVisible());
            // Once nothing is under way the same action closes the window.
            if (how == "escape")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else if (how != "cancelBt")
                click(dialog, qPrintable(how));
            if (how != "cancelBt")
                QTRY_VERIFY(!dialog->isVisible());
        });
        QCOMPARE(versionOf(at(50)), ImageVersion);
        QCOMPARE(versionOf(at(51)), OldVersion);
        QCOMPARE(versionOf(at(52)), OldVersion);
    }

    void theSingleUpgradeWindowAndTheBatchKeepApart()
    {
        const QStringList ips = range(50, 3);
        openPage(ips);
        DeviceInfo_t device{};
        qstrncpy(device.ip, qPrintable(at(51)), sizeof device.ip);
        qstrncpy(device.userName, "admin", sizeof device.userName);
        qstrncpy(device.password, qPrintable(Password), sizeof device.password);
        const QString refusal("Firmware is being upgraded in another window: close it first.");
        {
            // A decoder's own upgrade window is open: the list's button does not open the batch.
            UpdateDecoderCardDlg single({device});
            single.show();
            clickRowBox(managed, at(50));
            click(managed, "upgradeFirmwareBtn");
            QCOMPARE(notices().last(), refusal);
            for (QWidget* w : QApplication::topLevelWidgets())
                QVERIFY(!qobject_cast<BatchUpgradeDlg*>(w));
            clickRowBox(managed, at(50));
        }
        ServiceSpy singleResults(&MatrixSdkWorker::signalUpdateMatrixResult);
        inBatch({at(50)}, [&](BatchUpgradeDlg* dialog) {
            chooseImage(dialog, image);
            {
                // The batch is open: a decoder's own window, opened over it, sends nothing.
                UpdateDecoderCardDlg single({device});
                single.setWindowModality(Qt::ApplicationModal);
                single.show();
                ModalAnswerer file(FileDialogClass, chooseFile(image));
                QTest::mouseClick(single.findChild<QLineEdit*>(QStringLiteral("filePath")), Qt::LeftButton);
                QVERIFY(file.answered());
                click(&single, "okBt");
                QCOMPARE(notices().last(), refusal);
                QVERIFY(!single.isUpgrading());
                QVERIFY(maint::flushService());
                QCOMPARE(singleResults.count(), 0);
                click(&single, "cancelBt");
                QVERIFY(!single.isVisible());
            }
            // Gone, it keeps the batch from nothing.
            click(dialog, "startBt");
            QVERIFY2(waitEnded(dialog, {at(50)}, 20000), states(dialog, {at(50)}).constData());
            QCOMPARE(stateOf(dialog, at(50)), backOnLine());
        });
        QCOMPARE(singleResults.count(), 0);
        QCOMPARE(versionOf(at(51)), OldVersion);

        // The reports of one kind never reach a window of the other: a decoder's own window that is open
        // while decoder 52 is upgraded the batch's way (through the service: the window keeps the batch's
        // own window from starting) shows none of it, and asks nothing.
        {
            UpdateDecoderCardDlg bystander({device});
            bystander.show();
            ModalAnswerer anyBox(BoxClass, confirm(), 1000);
            ServiceSpy batchReports(&MatrixSdkWorker::signalBatchUpgradeReport);
            worker().upgradeDecoder(stored(at(52)), image, 4242);
            QTRY_VERIFY_WITH_TIMEOUT(!batchReports.isEmpty() &&
                                         batchReports.last().at(0).value<BatchUpgradeReport>().ended(),
                                     20000);
            QCOMPARE(batchReports.last().at(0).value<BatchUpgradeReport>().stage, BatchUpgradeReport::Done);
            QCOMPARE(batchReports.first().at(0).value<BatchUpgradeReport>().stage,
                     BatchUpgradeReport::Sending);
            QCOMPARE(bystander.findChild<QProgressBar*>()->value(), 0);
            QVERIFY(bystander.isVisible());
            QVERIFY(!anyBox.answered());
            click(&bystander, "cancelBt");
        }
        // And the single window's way sends nothing to the batch's reports.
        ServiceSpy batchReports(&MatrixSdkWorker::signalBatchUpgradeReport);
        ServiceSpy singleProgress(&MatrixSdkWorker::signalUpdateMatrixProgress);
        worker().setUpdateMatrixInfo({device}, image);
        QTRY_VERIFY_WITH_TIMEOUT(!singleProgress.isEmpty() && singleProgress.last().at(0).toInt() == 0,
                                 20000);
        QCOMPARE(batchReports.count(), 0);
        QCOMPARE(versionOf(at(51)), ImageVersion);
        QCOMPARE(versionOf(at(52)), ImageVersion);
    }

    void anUpgradedDecoderIsJudgedOnlyOnceItRestarted()
    {
        // A decoder that still answers from the boot its upgrade began on is installing, not back with its
        // old version: the watch waits for the restart before it reads the version.
        const QString ip = at(50);
        QObject receiver;
        int connected = 1;
        connect(&worker(), &MatrixSdkWorker::signalConnectMatrixResult, &receiver,
                [&connected](const CMHandle&, int result) { connected = result; });
        worker().connectMatrix(stored(ip), nullptr);
        QTRY_VERIFY(connected != 1);
        QCOMPARE(connected, 0);
        const CMHandle handle = worker().getHandleByIp(ip);
        QVERIFY(handle && handle->bootId() >= 0);
        QCOMPARE(handle->model(), Model);

        QList<pral_matrix::WatchOutcome> ended;
        connect(&worker().changeWatch(), &pral_matrix::DecoderWatch::signalWatchFinished, &receiver,
                [&ended](const pral_matrix::WatchOutcome& outcome) { ended << outcome; });
        pral_matrix::WatchRequest request;
        request.kind = pral_matrix::ChangeKind::Upgrade;
        request.ip = ip;
        request.userName = handle->userName();
        request.password = handle->password();
        request.formerVersion = handle->version();
        request.expectedVersion = ImageVersion;
        request.formerBootId = handle->bootId();
        request.tag = 77;
        worker().changeWatch().watch(request);
        // Several looks find it on its old boot: nothing is concluded.
        QVERIFY(!QTest::qWaitFor([&ended] { return !ended.isEmpty(); }, 400));
        ServiceBackend::onFleet([&ip](SimulatedFleet& fleet) { fleet.restartDecoder(ip); });
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 5000);
        QCOMPARE(ended.first().verdict, pral_matrix::WatchOutcome::NotApplied);
        QCOMPARE(ended.first().text, "back, but still at " + OldVersion);
        QCOMPARE(ended.first().version, OldVersion);
        QCOMPARE(ended.first().tag, quint64(77));
    }

    void aDecoderThatRunsTheImageAlreadyEndsLatest()
    {
        // The checks leave such a decoder out; one that got there meanwhile is told by the decoder itself.
        ServiceSpy reports(&MatrixSdkWorker::signalBatchUpgradeReport);
        MatrixInfo decoder = stored(at(42));
        decoder.version = ImageVersion;
        worker().upgradeDecoder(decoder, image, 99);
        QTRY_VERIFY_WITH_TIMEOUT(
            !reports.isEmpty() && reports.last().at(0).value<BatchUpgradeReport>().ended(), 10000);
        const auto last = reports.last().at(0).value<BatchUpgradeReport>();
        QCOMPARE(last.stage, BatchUpgradeReport::Done);
        QVERIFY(last.latest);
        QCOMPARE(last.version, ImageVersion);
        QCOMPARE(last.run, quint64(99));
        QCOMPARE(last.ip, at(42));
    }

    void resultsExportToCsv()
    {
        const QStringList ips{at(50), at(51), at(46)};
        openPage(ips);
        worker().faults().failUpgradeOf(at(51), 9);
        const QString target = dir.filePath("results.csv");
        QFile::remove(target);
        inBatch(ips, [&](BatchUpgradeDlg* dialog) {
            chooseImage(dialog, image);
            QCOMPARE(cellOf(checkTable(dialog), at(46), CheckModel), Hostile);
            click(dialog, "startBt");
            QVERIFY2(waitEnded(dialog, {at(50), at(51)}, 20000),
                     states(dialog, {at(50), at(51)}).constData());
            FileDialogSeen seen;
            ModalAnswerer save(FileDialogClass, chooseFile(target, &seen));
            click(dialog, "exportBt");
            QVERIFY(save.answered());
            QVERIFY(seen.save);
            QCOMPARE(notices().last(),
                     QString("The results are in %1.").arg(QDir::toNativeSeparators(target)));
            QCOMPARE(QFile(target).size(), qint64(dialog->csv().size()));
        });
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QStringList lines = QString::fromUtf8(bytes.mid(3)).split("\r\n");
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.at(0), QString("decoder,model,before,after,outcome,time"));
        const QRegularExpression time("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d([+-]\\d\\d:\\d\\d|Z)$");
        const QStringList done = lines.at(1).split(',');
        QCOMPARE(done.mid(0, 4), (QStringList{at(50), Model, OldVersion, ImageVersion}));
        QCOMPARE(done.mid(4, done.size() - 5).join(','), "\"" + backOnLine() + "\"");
        QVERIFY2(time.match(done.last()).hasMatch(), qPrintable(done.last()));
        QVERIFY(lines.at(2).startsWith(at(51) + "," + Model + "," + OldVersion + ",,failed: Write failed!,"));
        // What a decoder calls its model cannot run as a formula in the spreadsheet.
        QVERIFY2(lines.at(3).startsWith(at(46) + ",\"'=HYPERLINK(\"\"x\"\",\"\"y\"\")\"," + OldVersion +
                                        ",,\"left out: the image is made for TVD-04, not for =HYPERLINK("),
                 qPrintable(lines.at(3)));
        QCOMPARE(lines.at(4), QString());
    }
};

QTEST_MAIN(TestBatchUpgrade)
#include "tst_batchupgrade.moc"
