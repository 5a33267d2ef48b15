// The dialogs of decoder maintenance on their own: the log viewer (types,
// span, paging, exports), the configuration file chooser, the firmware upgrade
// (progress arithmetic, failure table, close rules, a real upgrade through the
// service) and the resolution choice. Service results reach them the way a
// decoder sends them: emitted on the service thread to their blocking-queued
// slots. Which files the service takes is tst_decoderservice's.

#include "datetimespanselwt.h"
#include "disabledwaitingwtmanager.h"
#include "exportconfigdlg.h"
#include "firmwarefile.h"
#include "getlogsdlg.h"
#include "logcombobox.h"
#include "maintenancetesthelpers.h"
#include "pageeditwt.h"
#include "resolutionsettingdlg.h"
#include "servicespy.h"
#include "timespacelineet.h"
#include "updatedecodercarddlg.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTreeWidget>

#include <algorithm>
#include <cstring>

using namespace mgmt;
using namespace maint;
using pral_matrix::MatrixSdkWorker;
using pral_matrixConfig::ExportConfigDlg;
using pral_matrixConfig::GetLogsDlg;
using pral_matrixConfig::LogComboBox;
using pral_matrixConfig::ResolutionSettingDlg;
using pral_matrixConfig::UpdateDecoderCardDlg;

namespace {

QStringList numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines;
}

bool deliverLogs(const QStringList& lines)
{
    return runOnServiceThread([lines] { emit worker().signalGetLogsResult(lines); });
}

/** The table as "number|text" per row; a row without items reads "|". */
QStringList tableRows(GetLogsDlg* dialog)
{
    auto* table = dialog->findChild<QTableWidget*>("tableWidget");
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        const auto text = [&](int c) {
            return table->item(r, c) ? table->item(r, c)->text() : QString();
        };
        rows << text(0) + '|' + text(1);
    }
    return rows;
}

/** Picks an entry of the log-type tree the way the operator does: in the drop-down. */
void pickLogType(GetLogsDlg* dialog, const QString& text)
{
    auto* combo = dialog->findChild<LogComboBox*>("logTypeCombobox");
    QTreeWidget* tree = combo->getTreeWidget();
    const auto found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    QVERIFY(found.size() == 1);
    combo->showPopup();
    QTRY_VERIFY(tree->isVisible());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(found.first()).center());
    QTRY_VERIFY(!tree->isVisible());
    QCOMPARE(combo->currentText(), text);
}

DeviceInfo_t device(const QString& ip)
{
    DeviceInfo_t d;
    std::memset(&d, 0, sizeof d);
    qstrncpy(d.ip, ip.toLatin1().constData(), sizeof d.ip);
    qstrncpy(d.userName, "admin", sizeof d.userName);
    qstrncpy(d.password, Password.toLatin1().constData(), sizeof d.password);
    return d;
}

} // namespace

class TestMaintenanceDialogs : public QObject
{
    Q_OBJECT

    Fixture fx;
    QTemporaryDir files;

private slots:
    void init()
    {
        QVERIFY(fx.setUp());
        QVERIFY(loadQuickFleet());
    }

    void cleanup()
    {
        fx.tearDown();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // ---- resolution ----

    void resolutionChoice_data()
    {
        QTest::addColumn<int>("currentWidth");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<int>("pick");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("4K shown, kept") << 3840 << "3840*2160(4K)" << -1 << "okBt"
                                        << "3840x2160@30";
        QTest::newRow("unknown width shows the first") << 1280 << "1920*1080" << -1 << "okBt"
                                                       << "1920x1080@60";
        // The frame rate is the choice's, not the decoder's current one.
        QTest::newRow("4K chosen") << 1920 << "1920*1080" << 1 << "okBt"
                                   << "3840x2160@30";
        QTest::newRow("title-bar close") << 1920 << "1920*1080" << 1 << "closeBt"
                                         << "rejected";
    }
    void resolutionChoice()
    {
        QFETCH(int, currentWidth);
        QFETCH(QString, offered);
        QFETCH(int, pick);
        QFETCH(QString, button);
        QFETCH(QString, chosen);
        ResolutionSettingDlg dialog(ScreenResolution_t{currentWidth, 720, 25});
        auto* box = dialog.findChild<QComboBox*>("dataRes");
        QCOMPARE(box->currentText(), offered);
        if (pick >= 0)
            box->setCurrentIndex(pick);
        QTimer::singleShot(0, &dialog, [&] { click(&dialog, qPrintable(button)); });
        const bool accepted = dialog.exec() == QDialog::Accepted;
        const ResolutionSettingDlg::Resolution_t r = dialog.getResolution();
        QCOMPARE(accepted ? QStringLiteral("%1x%2@%3").arg(r.width).arg(r.height).arg(r.frameRate)
                          : QStringLiteral("rejected"),
                 chosen);
        QCOMPARE(QMetaType::type("ResolutionSettingDlg::Resolution_t"),
                 qMetaTypeId<ResolutionSettingDlg::Resolution_t>());
    }

    // ---- configuration file chooser ----

    void configFileChooser_data()
    {
        QTest::addColumn<bool>("import");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("path");
        // The dialog validates nothing: confirm without a file gives an empty path.
        QTest::newRow("import: confirm without a file") << true << QStringList{} << "";
        // A new file: an existing one would make the save dialog ask before replacing it.
        QTest::newRow("export: a file, then a cancelled chooser")
            << false << QStringList{"new.matrix", ""} << "new.matrix";
        QTest::newRow("import: two files, the last counts")
            << true << QStringList{"a.matrix", "b.matrix"} << "b.matrix";
    }
    void configFileChooser()
    {
        QFETCH(bool, import);
        QFETCH(QStringList, answers);
        QFETCH(QString, path);
        for (const char* name : {"a.matrix", "b.matrix"}) {
            QFile file(files.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        ExportConfigDlg dialog(import);
        dialog.show();
        const QString title = import ? "Configuration Import" : "Configuration Export";
        QCOMPARE(dialog.windowTitle(), title);
        QCOMPARE(dialog.findChild<QLabel*>("title")->text(), title);
        auto* field = dialog.findChild<QLineEdit*>("filePath");
        QCOMPARE(field->placeholderText(), import ? QStringLiteral("Please select the file import path!")
                                                  : QStringLiteral("Please select the file export path!"));
        for (const QString& answer : answers) {
            FileDialogSeen seen;
            const QString chosen = answer.isEmpty() ? QString() : files.filePath(answer);
            ModalAnswerer answerer(FileDialogClass, chooseFile(chosen, &seen));
            QTest::mouseClick(field, Qt::LeftButton);
            QVERIFY(answerer.answered());
            QCOMPARE(seen.caption, QStringLiteral("Select the file"));
            QCOMPARE(seen.filters, QStringList{"File(*.matrix)"});
            QCOMPARE(seen.save, !import);
            QCOMPARE(seen.directory, QCoreApplication::applicationDirPath());
            // The field shows what the chooser returned, also nothing.
            QCOMPARE(field->text(), chosen);
        }
        click(&dialog, "enterBtn");
        QVERIFY(!dialog.isVisible() && dialog.result() == QDialog::Accepted);
        QCOMPARE(QFileInfo(dialog.getFilePath()).fileName(), path);
    }

    // ---- firmware upgrade ----

    void upgradeReport_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<QList<int>>("report"); // card, marker, percent, code
        QTest::addColumn<int>("bar");
        QTest::addColumn<QString>("notice");
        QTest::newRow("one device") << 1 << QList<int>{1, 0, 37, 0} << 37 << "";
        QTest::newRow("two devices, second half done") << 2 << QList<int>{2, 0, 50, 0} << 75 << "";
        QTest::newRow("three devices, first half done") << 3 << QList<int>{1, 0, 50, 0} << 16 << "";
        QTest::newRow("three devices, second half done") << 3 << QList<int>{2, 0, 50, 0} << 49 << "";
        QTest::newRow("card 0 counts as the first") << 3 << QList<int>{0, 0, 90, 0} << 30 << "";
        QTest::newRow("marker -1 with a percent is progress") << 1 << QList<int>{1, -1, 40, 0} << 40 << "";
        // More than 100: the bar ignores it, the label shows it.
        QTest::newRow("card beyond the list") << 2 << QList<int>{5, 0, 50, 0} << 225 << "";
        const QStringList texts{"Connection fail!",         "Wrong temporary directory!", "Connection break!",
                                "Latest version!",          "Download failed!",           "Error file!",
                                "Insufficient disk space!", "Inspection failure!",        "Write failed!"};
        for (int code = 0; code <= 10; ++code)
            QTest::addRow("failure code %d", code)
                << 2 << QList<int>{3, -1, -1, code} << 0
                << "Block 3 decoding card update failed," + texts.value(code - 1);
    }
    void upgradeReport()
    {
        QFETCH(int, devices);
        QFETCH(QList<int>, report);
        QFETCH(int, bar);
        QFETCH(QString, notice);
        UpdateDecoderCardDlg dialog(QVector<DeviceInfo_t>(devices, device(Single)).toList());
        QVERIFY(runOnServiceThread([&] {
            emit worker().signalUpdateMatrixProgress(report[0], report[1], report[2], report[3], false);
        }));
        QCOMPARE(dialog.findChild<QProgressBar*>("progressBar")->value(), bar > 100 ? 0 : bar);
        QCOMPARE(dialog.findChild<QLabel*>("progressLabel")->text(), QStringLiteral("%1%").arg(bar));
        QCOMPARE(fx.alerts(), notice.isEmpty() ? QStringList{} : QStringList{notice});
        QVERIFY(!dialog.isUpgrading());
    }

    void upgradeStartAndCloseRules()
    {
        UpdateDecoderCardDlg dialog({device(Single)});
        dialog.show();
        ServiceSpy started(&MatrixSdkWorker::signalUpdateMatrixResult);
        click(&dialog, "okBt");
        QVERIFY(flushService());
        QVERIFY(started.isEmpty());

        // The file as the operator picks it, handed on with each "/" written as two backslashes.
        const QString firmware = files.filePath("firmware.bin");
        QVERIFY(writeFirmwareFile(firmware, FirmwareModel, "V9.9.9"));
        FileDialogSeen seen;
        ModalAnswerer answerer(FileDialogClass, chooseFile(firmware, &seen));
        QTest::mouseClick(dialog.findChild<QLineEdit*>("filePath"), Qt::LeftButton);
        QVERIFY(answerer.answered());
        QCOMPARE(seen.caption, QStringLiteral("Select the directory"));
        QVERIFY(!seen.save);
        QCOMPARE(dialog.getFilePath(), QString(firmware).replace('/', "\\\\"));
        QCOMPARE(dialog.findChild<QLineEdit*>("filePath")->text(), dialog.getFilePath());

        const auto result = [](int ret) {
            return runOnServiceThread([ret] { emit worker().signalUpdateMatrixResult(ret); });
        };
        QVERIFY(result(0));
        QVERIFY(dialog.isUpgrading());
        click(&dialog, "okBt");
        click(&dialog, "cancelBt");
        click(&dialog, "closeBt");
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(flushService());
        QVERIFY(started.size() == 1 && dialog.isVisible());
        QVERIFY(result(-3));
        QVERIFY(!dialog.isUpgrading());
        QVERIFY(result(0));
        QVERIFY(result(-10));
        const QString busy = "Upgrade device in progress, do not close!";
        QCOMPARE(fx.alerts(),
                 (QStringList{"Please select the decoder file", "Upgrading in progress!", busy, busy, busy,
                              "Error in selected upgrade file,Upgrade failed!", "Upgrade failed!"}));
        click(&dialog, "cancelBt");
        QVERIFY(!dialog.isVisible());
    }

    // The dialog closes when, and only when, no upgrade runs: a card's failure report alone ends none,
    // the latest-version answer and a failed result do.
    void closingFollowsTheUpgrade_data()
    {
        QTest::addColumn<QStringList>("reports"); // "result R" or "progress card marker percent code latest"
        QTest::addColumn<bool>("closes");
        const QString started = QStringLiteral("result 0");
        const QString cardFails = QStringLiteral("progress 1 -1 -1 9 0");
        const QString latest = QStringLiteral("progress 1 0 100 0 1");
        QTest::newRow("running") << QStringList{started, "progress 1 0 40 0 0"} << false;
        QTest::newRow("a card fails") << QStringList{started, cardFails} << false;
        QTest::newRow("a card fails, then the upgrade")
            << QStringList{started, cardFails, "result -10"} << true;
        QTest::newRow("already the latest") << QStringList{started, latest} << true;
        QTest::newRow("a card fails, the next is the latest")
            << QStringList{started, cardFails, latest} << true;
        QTest::newRow("the latest, then a new start") << QStringList{started, latest, started} << false;
    }
    void closingFollowsTheUpgrade()
    {
        QFETCH(QStringList, reports);
        QFETCH(bool, closes);
        UpdateDecoderCardDlg dialog({device(Single), device(Other)});
        dialog.show();
        QStringList boxes;
        for (const QString& report : reports) {
            const QStringList n = report.split(' ');
            ModalAnswerer box(BoxClass, [&boxes](QWidget* w) {
                boxes << static_cast<PCOMMON::PMessageBox*>(w)->text();
                ModalAnswerer::clickButton(w, QStringLiteral("okBtn"));
            });
            QVERIFY(runOnServiceThread([&n] {
                if (n[0] == "result")
                    emit worker().signalUpdateMatrixResult(n[1].toInt());
                else
                    emit worker().signalUpdateMatrixProgress(n[1].toInt(), n[2].toInt(), n[3].toInt(),
                                                             n[4].toInt(), n[5] == "1");
            }));
        }
        QCOMPARE(boxes.size(), reports.filter(QRegularExpression(" 1$")).size());
        QVERIFY(boxes.isEmpty() || boxes.last() == QStringLiteral("It is the latest version!"));
        const QStringList before = fx.alerts();
        click(&dialog, "cancelBt");
        QCOMPARE(dialog.isVisible(), !closes);
        QCOMPARE(fx.alerts().mid(before.size()),
                 closes ? QStringList() : QStringList{"Upgrade device in progress, do not close!"});
        if (!closes) {
            // Nor does the title bar's close button or Escape get round the rule.
            click(&dialog, "closeBt");
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QVERIFY(dialog.isVisible());
        }
    }

    void upgradeThroughTheService_data()
    {
        QTest::addColumn<QStringList>("decoders");
        QTest::addColumn<QString>("firmware"); // the image's version
        QTest::addColumn<QList<int>>("fault"); // card, code
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("notices");
        const QString newer = QStringLiteral("V2.4.0 build 250101");
        QTest::newRow("two cards") << QStringList{Single, Other} << newer << QList<int>{}
                                   << "Update decoder completed!" << QStringList{};
        QTest::newRow("same version") << QStringList{Single} << "V2.3.1 build 240611" << QList<int>{}
                                      << "It is the latest version!" << QStringList{};
        QTest::newRow("decoder drops")
            << QStringList{Single} << newer << QList<int>{1, 3} << ""
            << QStringList{"Block 1 decoding card update failed,Connection break!", "Upgrade failed!"};
        QTest::newRow("second card write fails")
            << QStringList{Single, Other} << newer << QList<int>{2, 9} << ""
            << QStringList{"Block 2 decoding card update failed,Write failed!", "Upgrade failed!"};
    }
    void upgradeThroughTheService()
    {
        QFETCH(QStringList, decoders);
        QFETCH(QString, firmware);
        QFETCH(QList<int>, fault);
        QFETCH(QString, box);
        QFETCH(QStringList, notices);
        const QString path = files.filePath("upgrade.bin");
        QVERIFY(writeFirmwareFile(path, "TVD-01", firmware));
        if (!fault.isEmpty())
            worker().faults().failUpgrade(fault[0], fault[1]);
        QList<DeviceInfo_t> devices;
        for (const QString& ip : decoders)
            devices << device(ip);
        UpdateDecoderCardDlg dialog(devices);
        dialog.show();
        QList<int> progress;
        connect(dialog.findChild<QProgressBar*>("progressBar"), &QProgressBar::valueChanged, this,
                [&progress](int v) { progress << v; });
        ModalAnswerer chooser(FileDialogClass, chooseFile(path));
        QTest::mouseClick(dialog.findChild<QLineEdit*>("filePath"), Qt::LeftButton);
        QVERIFY(chooser.answered());

        QString shownBox;
        ModalAnswerer boxAnswer(BoxClass, confirm(&shownBox));
        click(&dialog, "okBt");
        if (box.isEmpty()) {
            QTRY_VERIFY(fx.alerts().size() >= notices.size() && !dialog.isUpgrading());
            QCOMPARE(fx.alerts(), notices);
        } else {
            QTRY_VERIFY(boxAnswer.answered() && !shownBox.isEmpty());
            QCOMPARE(shownBox, box);
        }
        // Completion closes the dialog; every other end leaves it open to try again.
        QCOMPARE(dialog.isVisible(), box != "Update decoder completed!");
        if (decoders.size() == 2 && fault.isEmpty()) {
            // Each card moves its own half of the bar, in order.
            QVERIFY2(std::is_sorted(progress.begin(), progress.end()),
                     qPrintable(QString::number(progress.size())));
            QVERIFY(std::any_of(progress.begin(), progress.end(), [](int v) { return v > 0 && v <= 50; }));
            QCOMPARE(progress.last(), 100);
        }
    }

    // ---- logs ----

    void logPaging_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("a result indents") << 25 << QStringList{} << 10 << "1|    line 1"
                                          << "10|    line 10";
        QTest::newRow("partial last page") << 25 << QStringList{"page 3"} << 5 << "1|line 21"
                                           << "5|line 25";
        QTest::newRow("full last page") << 20 << QStringList{"page 2"} << 10 << "1|line 11"
                                        << "10|line 20";
        QTest::newRow("page size change") << 25 << QStringList{"page 2", "size 20"} << 20 << "1|line 1"
                                          << "20|line 20";
        // The pager keeps the page the operator was on; the new lines do not reach it.
        QTest::newRow("result beyond the last page") << 25 << QStringList{"page 3", "result 5"} << 10 << "|"
                                                     << "|";
        QTest::newRow("empty result keeps the table")
            << 25 << QStringList{"page 2", "result 0"} << 10 << "1|line 11"
            << "10|line 20";
    }
    void logPaging()
    {
        QFETCH(int, lines);
        QFETCH(QStringList, steps);
        GetLogsDlg dialog;
        auto* pager = dialog.findChild<PCOMMON::PageEditWt*>("widget_2");
        QVERIFY(deliverLogs(numberedLines(lines)));
        for (const QString& step : steps) {
            const int value = step.section(' ', 1).toInt();
            if (step.startsWith("page"))
                pager->gotoPage(value);
            else if (step.startsWith("size"))
                pager->setPageSize(value);
            else
                QVERIFY(deliverLogs(numberedLines(value)));
        }
        const QStringList rows = tableRows(&dialog);
        QTEST(int(rows.size()), "rows");
        QTEST(rows.first(), "first");
        QTEST(rows.last(), "last");
        const bool refused = steps.contains("result 0");
        QCOMPARE(fx.alerts().contains("Decoder system log retrieval failed!"), refused);
        QCOMPARE(dialog.heldLines().size(), refused ? lines : steps.contains("result 5") ? 5 : lines);
    }

    void logTypeQueries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("code");
        QTest::newRow("group") << "Operation log" << 2;
        QTest::newRow("system") << "system log" << 0;
        QTest::newRow("warning") << "warning log" << 1;
        QTest::newRow("operation") << "operation log" << 2;
        QTest::newRow("package only") << "Operational log" << -1;
    }
    void logTypeQueries()
    {
        QFETCH(QString, entry);
        QFETCH(int, code);
        GetLogsDlg dialog;
        dialog.show();
        QSignalSpy requests(&dialog, &GetLogsDlg::sig_onSearchLogsMessage);
        auto* span = dialog.findChild<PCOMMON::TimeSpaceLineEt*>("timeSpace");
        const QDateTime spanEnd = span->getEndTime();
        pickLogType(&dialog, entry);
        for (const char* name : {"timeSpace", "lastMonthBtn", "label_3", "searchBtn"})
            QCOMPARE(dialog.findChild<QWidget*>(name)->isVisible(), code >= 0);
        if (code < 0) {
            QVERIFY(QMetaObject::invokeMethod(&dialog, "slot_onClickedSearchBtn"));
            QVERIFY(requests.isEmpty());
            QCOMPARE(fx.alerts(), QStringList{"Operations log only supports export, not viewing!"});
            return;
        }
        click(&dialog, "searchBtn");
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0], (QVariantList{span->getStartTime(), span->getEndTime(), code, QString()}));
        // The overlay of a query goes with its answer.
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 1);
        QVERIFY(deliverLogs({"x"}));
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);

        click(&dialog, "lastMonthBtn");
        const QDateTime now = QDateTime::currentDateTime();
        QCOMPARE(requests.size(), 2);
        QVERIFY(qAbs(requests[1][0].toDateTime().secsTo(now.addMonths(-1))) <= 2);
        QVERIFY(qAbs(requests[1][1].toDateTime().secsTo(now)) <= 2);
        QCOMPARE(requests[1][2].toInt(), code);
        QCOMPARE(span->getEndTime(), spanEnd);
        QVERIFY(deliverLogs({"x"}));
    }

    void spanChooser()
    {
        GetLogsDlg dialog;
        dialog.show();
        auto* span = dialog.findChild<PCOMMON::TimeSpaceLineEt*>("timeSpace");
        const QDate today = QDate::currentDate();
        QCOMPARE(span->getStartTime(), QDateTime(QDate(today.year(), today.month(), 1), QTime(0, 0)));
        QCOMPARE(span->getEndTime(), QDateTime(today, QTime(23, 59, 59)));
        QTest::mouseClick(span, Qt::LeftButton);
        auto* chooser = dialog.findChild<PCOMMON::DatetimeSpanSelWt*>();
        QTRY_VERIFY(chooser->isVisible());
        QCOMPARE(chooser->startDateTime(), span->getStartTime());
        // The chooser's answer reaches the field (a connection by signature: a typo would only warn).
        const QDateTime end(QDate(2024, 6, 30), QTime(12, 0));
        chooser->setDateTimeSpace(end.addDays(-93), end);
        click(chooser, "okBtn");
        QCOMPARE(span->getStartTime(), end.addDays(-93));
        QCOMPARE(span->getEndTime(), end);
    }

    void logExports_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("written");
        QTest::addColumn<int>("requests");
        QTest::newRow("text") << "system log"
                              << "out.txt"
                              << "0------a\n1------b\n2------c\n"
                              << 0;
        QTest::newRow("text, cancelled") << "system log"
                                         << ""
                                         << "" << 0;
        QTest::newRow("package") << "Operational log"
                                 << "out.tgz"
                                 << "" << 1;
        // The service is still asked, with no path: it has nowhere to write and stays silent.
        QTest::newRow("package, cancelled") << "Operational log"
                                            << ""
                                            << "" << 1;
    }
    void logExports()
    {
        QFETCH(QString, entry);
        QFETCH(QString, answer);
        QFETCH(QString, written);
        QFETCH(int, requests);
        GetLogsDlg dialog;
        dialog.show();
        QVERIFY(deliverLogs({"a", "b", "c"}));
        pickLogType(&dialog, entry);
        QSignalSpy asked(&dialog, &GetLogsDlg::sig_onSearchLogsMessage);
        const QString path = answer.isEmpty() ? QString() : files.filePath(answer);
        FileDialogSeen seen;
        ModalAnswerer answerer(FileDialogClass, chooseFile(path, &seen));
        click(&dialog, "exportBtn");
        QVERIFY(answerer.answered());
        QCOMPARE(seen.caption, QStringLiteral("save file"));
        const QString suffix = requests ? ".tgz" : ".txt";
        QVERIFY2(QRegularExpression("^Decoder_system_log_\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d\\" +
                                    suffix + "$")
                     .match(QFileInfo(seen.proposed).fileName())
                     .hasMatch(),
                 qPrintable(seen.proposed));
        QCOMPARE(asked.size(), requests);
        if (requests)
            QCOMPARE(asked[0], (QVariantList{QDateTime(), QDateTime(), -1, path}));
        QFile file(path);
        QCOMPARE(!path.isEmpty() && file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                                   : QString(),
                 written);
    }
};

QTEST_MAIN(TestMaintenanceDialogs)
#include "tst_maintenancedialogs.moc"
