// The decoder maintenance menu against the simulated fleet: the network-only
// form, cancelled child dialogs that must send nothing, the address rules,
// configuration files written and read back (and refused when they are not
// one), the resolution, the service's reading of the file dialogs' paths, and
// one run from a management-dialog row through every action.

#include "decoderconfigdlg.h"
#include "disabledwaitingwtmanager.h"
#include "firmwarefile.h"
#include "ipeditwt.h"
#include "maintenancetesthelpers.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QScopeGuard>
#include <QTableWidget>

#include <climits>

using namespace mgmt;
using namespace maint;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrixConfig::DecoderConfigDlg;

namespace {

const QString Free = QStringLiteral("192.0.2.50");

/** Waits for the first result of signal after request; INT_MIN when none came. */
int serviceResult(void (MatrixSdkWorker::*signal)(int), const std::function<void()>& request)
{
    int result = INT_MIN;
    QObject context;
    QObject::connect(&worker(), signal, &context, [&result](int r) {
        if (result == INT_MIN)
            result = r;
    });
    request();
    return QTest::qWaitFor([&result] { return result != INT_MIN; }, 5000) ? result : INT_MIN;
}

/** Logs in and waits for this login's own answer: a handle of an earlier login may still be listed. */
bool login(const QString& ip)
{
    int token = 0;
    int result = INT_MIN;
    QObject context;
    QObject::connect(&worker(), &MatrixSdkWorker::signalConnectMatrixResult, &context,
                     [&](const CMHandle&, int r, int, void* pUser) {
                         if (pUser == &token)
                             result = r;
                     });
    worker().connectMatrix(stored(ip), &token);
    return QTest::qWaitFor([&result] { return result != INT_MIN; }, 5000) && result == 0;
}

int setResolution(const QString& ip, int width, int height, int fps)
{
    const pral_matrix::ScreenResolutionInfo info{0, 0, {width, height, fps}, false};
    return serviceResult(&MatrixSdkWorker::signalMatrixSetResolutionResult,
                         [&] { worker().setMatrixResolution(worker().getHandleByIp(ip), info, true); });
}

/** The decoder's resolution width, asked over a fresh login; only while no menu listens. */
int resolutionWidth(const QString& ip)
{
    if (!login(ip))
        return -1;
    int width = -1;
    QObject context;
    QObject::connect(&worker(), &MatrixSdkWorker::signalMatrixGetResolutionResult, &context,
                     [&width](ScreenResolution_t r) { width = r.width; });
    worker().getMatrixResolution(worker().getHandleByIp(ip), 0, 0);
    return QTest::qWaitFor([&width] { return width != -1; }, 5000) ? width : -1;
}

MatrixInfo connectedRecord(const QString& ip)
{
    MatrixInfo info = stored(ip);
    info.matrixType = pral_matrix::MATRIX_TYPE_MULTI_OUTPUT;
    info.connectStatus = 1;
    return info;
}

/** In the file chooser: picks path through its file dialog (none: leaves it empty), then confirms. */
ModalAnswerer::Action pickConfigFile(const QString& path, std::function<void()> beforeConfirm = {})
{
    return [path, beforeConfirm](QWidget* chooser) {
        if (!path.isEmpty()) {
            ModalAnswerer file(FileDialogClass, chooseFile(path));
            QTest::mouseClick(chooser->findChild<QLineEdit*>(QStringLiteral("filePath")), Qt::LeftButton);
        }
        if (beforeConfirm)
            beforeConfirm();
        click(chooser, "enterBtn");
    };
}

/** Runs an import or export from the menu and returns the text of the box that reports it. */
QString transfer(QWidget* menu, const char* button, const QString& path,
                 std::function<void()> beforeConfirm = {})
{
    QString text;
    ModalScript script(
        {{ChooserClass, pickConfigFile(path, std::move(beforeConfirm))}, {BoxClass, confirm(&text)}});
    click(menu, button);
    if (!QTest::qWaitFor([&script] { return script.finished(); }, 10000))
        return QStringLiteral("no box");
    return text;
}

ModalAnswerer::Action moveTo(const QString& address)
{
    return [address](QWidget* dlg) {
        dlg->findChild<PCOMMON::IpEditWt*>(QStringLiteral("ipAddress"))->setText(address);
        click(dlg, "okBtn");
    };
}

} // namespace

class TestMaintenance : public QObject
{
    Q_OBJECT

    Fixture fx;
    QTemporaryDir files;
    std::unique_ptr<DecoderConfigDlg> menu;
    std::unique_ptr<QSignalSpy> alerts;

    /** Every notice of any kind, as "kind: text". */
    QStringList allAlerts() const
    {
        QStringList texts;
        for (const QList<QVariant>& args : *alerts)
            texts << args.at(0).toString() + ": " + args.at(1).toString();
        return texts;
    }

    void openMenu(bool onlyNetwork = false)
    {
        menu = std::make_unique<DecoderConfigDlg>(connectedRecord(Main), QStringList{Main, Single, Eight},
                                                  onlyNetwork);
        menu->show();
    }

private slots:
    void init()
    {
        QVERIFY(fx.setUp());
        QVERIFY(loadQuickFleet());
        alerts = std::make_unique<QSignalSpy>(&PSingleton<pral_worker::SystemAssistant>::_instance(),
                                              &pral_worker::SystemAssistant::signalAlert);
        QVERIFY(login(Main));
    }

    void cleanup()
    {
        menu.reset();
        alerts.reset();
        worker().disconnectAllMatrix();
        fx.tearDown();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void networkOnlyMenu_data()
    {
        QTest::addColumn<bool>("onlyNetwork");
        QTest::addColumn<QString>("closeWith");
        QTest::newRow("connected") << false << "OkBtn";
        QTest::newRow("not connected") << true << "cancelBtn";
    }
    void networkOnlyMenu()
    {
        QFETCH(bool, onlyNetwork);
        QFETCH(QString, closeWith);
        openMenu(onlyNetwork);
        const auto buttons = menu->findChild<QWidget*>("widget_center")->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 8);
        for (QPushButton* button : buttons) {
            const bool reachable = !onlyNetwork || button->objectName() == "networkConfigBtn";
            QVERIFY2(button->isEnabled() == reachable, qPrintable(button->objectName()));
            // Out of reach, the text takes the background's colour.
            QCOMPARE(button->styleSheet(), reachable ? QString() : QStringLiteral("color:#172335"));
        }
        click(menu.get(), qPrintable(closeWith));
        QVERIFY(!menu->isVisible());
        QCOMPARE(menu->result(), int(QDialog::Accepted));
    }

    void cancelledChildSendsNothing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("child");
        QTest::addColumn<QString>("cancel");
        QTest::addColumn<QByteArray>("result");
        QTest::newRow("export") << "exportConfigBtn" << ChooserClass << "cancelBtn"
                                << QByteArray(SIGNAL(signalExportConfigResult(int)));
        QTest::newRow("import") << "importConfigBtn" << ChooserClass << "closeBtn"
                                << QByteArray(SIGNAL(signalImportConfigResult(int)));
        QTest::newRow("password") << "changePwdBtn" << ActiveClass << "cancelBt"
                                  << QByteArray(
                                         SIGNAL(signalUserPasswordModifyResult(int, QString, QString)));
        QTest::newRow("network") << "networkConfigBtn" << NetworkClass << "cancelBtn"
                                 << QByteArray(SIGNAL(signalSetMatrixNetworkResult(int, QString, QString)));
        QTest::newRow("resolution") << "resolutionconfBtn" << ResolutionClass << "cancelBt"
                                    << QByteArray(SIGNAL(signalMatrixSetResolutionResult(int)));
        QTest::newRow("logs") << "viewLogBtn" << LogsClass << "quitBtn"
                              << QByteArray(SIGNAL(signalGetLogsResult(QStringList)));
        QTest::newRow("upgrade") << "upgradeDecoderBtn" << UpgradeClass << "cancelBt"
                                 << QByteArray(SIGNAL(signalUpdateMatrixResult(int)));
    }
    void cancelledChildSendsNothing()
    {
        QFETCH(QString, button);
        QFETCH(QString, child);
        QFETCH(QString, cancel);
        QFETCH(QByteArray, result);
        openMenu();
        QSignalSpy sent(&worker(), result.constData());
        ModalAnswerer answer(child, [cancel](QWidget* dlg) { click(dlg, qPrintable(cancel)); });
        click(menu.get(), qPrintable(button));
        QTRY_VERIFY(answer.answered());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(flushService());
        QCOMPARE(sent.size(), 0);
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        QVERIFY(menu->isVisible());
    }

    void networkAddressRules_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("moved");
        const QString duplicate = "The address already exists, please modify it again!";
        QTest::newRow("another decoder's address") << Single << duplicate << "";
        QTest::newRow("its own address") << Main << "" << Main;
        QTest::newRow("a free address") << Free << "" << Free;
        QTest::newRow("no IPv4 answer")
            << ""
            << "Decoding card network information acquisition failed, please search again!"
            << "";
    }
    void networkAddressRules()
    {
        QFETCH(QString, address);
        QFETCH(QString, notice);
        QFETCH(QString, moved);
        openMenu();
        QSignalSpy sent(&worker(), &MatrixSdkWorker::signalSetMatrixNetworkResult);
        if (address.isEmpty()) {
            // Only IPv6 settings: no usable answer, and no dialog opens.
            DeviceNetworkCfg_t cfg{};
            qstrncpy(cfg.ipv6Addr, "2001:db8::10", sizeof cfg.ipv6Addr);
            QVERIFY(runOnServiceThread([&] { emit worker().signalGetMatrixNetworkResult(cfg, Main, 3); }));
            QVERIFY(!QApplication::activeModalWidget());
        } else {
            ModalAnswerer answer(NetworkClass, moveTo(address));
            click(menu.get(), "networkConfigBtn");
            QTRY_VERIFY(answer.answered());
        }
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(flushService());
        QCOMPARE(fx.alerts(), notice.isEmpty() ? QStringList{} : QStringList{notice});
        QCOMPARE(sent.size(), moved.isEmpty() ? 0 : 1);
        if (!moved.isEmpty())
            QCOMPARE(sent[0], (QVariantList{0, moved, Main}));
    }

    void configFileRoundTrip()
    {
        const QString path = files.filePath("main.matrix");
        openMenu();
        QCOMPARE(setResolution(Main, 3840, 2160, 30), 0);
        QCOMPARE(transfer(menu.get(), "exportConfigBtn", path),
                 QStringLiteral("Decoder configuration exported successfully!"));
        QVERIFY(QFileInfo(path).size() > 0);
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        QCOMPARE(setResolution(Main, 1920, 1080, 60), 0);
        QCOMPARE(transfer(menu.get(), "importConfigBtn", path),
                 QStringLiteral(
                     "Decoder configuration imported successfully,The decoder will be restarted, please "
                     "pull up the configuration yourself later!"));
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        menu.reset();
        QCOMPARE(resolutionWidth(Main), 3840);
    }

    void configFileFaults_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("file"); // what the chosen file holds
        QTest::addColumn<QString>("failure");
        const QString import = "Decoder configuration import failed! ret = ";
        const QString exportFailed = "Decoder configuration export failed! ret = ";
        QTest::newRow("import: not a configuration") << "importConfigBtn"
                                                     << "text" << import;
        QTest::newRow("import: empty file") << "importConfigBtn"
                                            << "empty" << import;
        QTest::newRow("import: truncated") << "importConfigBtn"
                                           << "truncated" << import;
        QTest::newRow("import: decoder drops") << "importConfigBtn"
                                               << "valid, drop" << import;
        QTest::newRow("import: no file chosen") << "importConfigBtn"
                                                << "none" << import;
        QTest::newRow("export: folder cannot be written") << "exportConfigBtn"
                                                          << "unwritable" << exportFailed;
        QTest::newRow("export: no file chosen") << "exportConfigBtn"
                                                << "none" << exportFailed;
    }
    void configFileFaults()
    {
        QFETCH(QString, button);
        QFETCH(QString, file);
        QFETCH(QString, failure);
        // A valid file of the decoder in 4K, while the decoder runs at 1920: a half-read file would show.
        QString path = files.filePath("fault.matrix");
        QCOMPARE(setResolution(Main, 3840, 2160, 30), 0);
        QCOMPARE(serviceResult(&MatrixSdkWorker::signalExportConfigResult,
                               [&] { worker().exportMatrixConfig(worker().getHandleByIp(Main), path); }),
                 0);
        QCOMPARE(setResolution(Main, 1920, 1080, 60), 0);
        QFile content(path);
        QVERIFY(content.open(QIODevice::ReadWrite));
        const QByteArray valid = content.readAll();
        content.resize(0);
        if (file == "text")
            content.write("[wall]\nrows=2\n");
        else if (file == "truncated")
            content.write(valid.left(valid.size() / 2));
        else if (file.startsWith("valid"))
            content.write(valid);
        content.close();
        if (file == "none")
            path.clear();
        if (file == "unwritable")
            path = files.filePath("fault.matrix/inside.matrix");
        std::function<void()> beforeConfirm;
        if (file.endsWith("drop"))
            beforeConfirm = [] {
                worker().dropConnection(Main);
            };

        openMenu();
        const QString text = transfer(menu.get(), qPrintable(button), path, beforeConfirm);
        QVERIFY2(text.startsWith(failure) && text.mid(failure.size()).toInt() != 0, qPrintable(text));
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        menu.reset();
        QCOMPARE(resolutionWidth(Main), 1920);
    }

    void resolutionFollowsTheDecoder()
    {
        openMenu();
        QString offered;
        const auto choose = [&offered](int index, const char* button) {
            return [&offered, index, button](QWidget* dlg) {
                auto* box = dlg->findChild<QComboBox*>("dataRes");
                offered = box->currentText();
                box->setCurrentIndex(index);
                click(dlg, button);
            };
        };
        const auto run = [&](ModalAnswerer::Action action) {
            ModalAnswerer answer(ResolutionClass, std::move(action));
            click(menu.get(), "resolutionconfBtn");
            QTRY_VERIFY(answer.answered());
            QTRY_VERIFY(!QApplication::activeModalWidget());
            QVERIFY(flushService());
        };
        run(choose(1, "okBt"));
        QCOMPARE(offered, QStringLiteral("1920*1080"));
        // Stored on the decoder: a new login finds it.
        worker().disconnectAllMatrix();
        QVERIFY(login(Main));
        run(choose(0, "cancelBt"));
        QCOMPARE(offered, QStringLiteral("3840*2160(4K)"));
        worker().dropConnection(Main);
        run(choose(0, "okBt"));
        QCOMPARE(allAlerts(), (QStringList{"success: Resolution set successfully!",
                                           "notice: Resolution setting failed!"}));
    }

    void servicePathsWithDoubledSeparators_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("export") << "export";
        QTest::newRow("import") << "import";
        QTest::newRow("log package") << "package";
    }
    void servicePathsWithDoubledSeparators()
    {
        QFETCH(QString, operation);
        // What the upgrade dialog hands over for a file the operator picked.
        const QString real = files.filePath(operation + ".file");
        const QString doubled = QString(real).replace('/', "\\\\");
        const CMHandle handle = worker().getHandleByIp(Main);
        if (operation == "import")
            QCOMPARE(serviceResult(&MatrixSdkWorker::signalExportConfigResult,
                                   [&] { worker().exportMatrixConfig(handle, real); }),
                     0);
        else
            QFile::remove(real);
        if (operation == "package") {
            QSignalSpy answered(&worker(), &MatrixSdkWorker::signalGetLogsResult);
            worker().getLog(handle, QDateTime(), QDateTime(), -1, doubled);
            QTRY_VERIFY(QFileInfo(real).size() > 0);
            // A package without a path is a cancelled save dialog: nothing is written and nothing answered.
            worker().getLog(handle, QDateTime(), QDateTime(), -1, QString());
            QVERIFY(flushService());
            QCOMPARE(answered.size(), 0);
            return;
        }
        const bool exporting = operation == "export";
        QCOMPARE(serviceResult(exporting ? &MatrixSdkWorker::signalExportConfigResult
                                         : &MatrixSdkWorker::signalImportConfigResult,
                               [&] {
                                   if (exporting)
                                       worker().exportMatrixConfig(handle, doubled);
                                   else
                                       worker().importMatrixConfig(handle, doubled);
                               }),
                 0);
        QVERIFY(QFileInfo(real).size() > 0);
    }

    void fromAManagementRowThroughEveryAction()
    {
        worker().disconnectAllMatrix();
        auto management = mgmt::management({stored(Main)});
        QVERIFY(settle(management.get(), {Main}));
        const QString tgz = files.filePath("logs.tgz");
        const QString config = files.filePath("e2e.matrix");
        const QString firmware = files.filePath("e2e.bin");
        QVERIFY(writeFirmwareFile(firmware, FirmwareModel, "V2.5.0 build 250301"));
        QStringList boxes;
        int logRows = 0;
        bool ran = false;

        ModalAnswerer menuAnswer(ConfigClass, [&](QWidget* dlg) {
            // A step that fails returns early: whatever it left open must close, or the run would hang.
            const auto closeAll = qScopeGuard([&] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* open = qobject_cast<QDialog*>(w);
                        open && open != management.get() && open->isVisible())
                        open->reject();
                }
            });
            ModalAnswerer logs(LogsClass, [&](QWidget* logDlg) {
                const auto quit = qScopeGuard([logDlg] { click(logDlg, "quitBtn"); });
                click(logDlg, "searchBtn");
                auto* table = logDlg->findChild<QTableWidget*>("tableWidget");
                QVERIFY(QTest::qWaitFor([&] { return table->item(0, 1) != nullptr; }));
                for (int r = 0; r < table->rowCount(); ++r)
                    logRows += table->item(r, 1) ? 1 : 0;
                auto* combo = logDlg->findChild<QComboBox*>("logTypeCombobox");
                combo->setCurrentIndex(1); // the package
                ModalAnswerer file(FileDialogClass, chooseFile(tgz));
                click(logDlg, "exportBtn");
                QVERIFY(QTest::qWaitFor([&] { return QFileInfo(tgz).size() > 0; }));
            });
            click(dlg, "viewLogBtn");
            boxes << transfer(dlg, "exportConfigBtn", config);

            ModalAnswerer resolution(ResolutionClass, [](QWidget* r) {
                r->findChild<QComboBox*>("dataRes")->setCurrentIndex(1);
                click(r, "okBt");
            });
            click(dlg, "resolutionconfBtn");
            QVERIFY(QTest::qWaitFor([&] { return !allAlerts().isEmpty(); }));

            QString done;
            ModalScript upgrade({{UpgradeClass,
                                  [&](QWidget* u) {
                                      ModalAnswerer file(FileDialogClass, chooseFile(firmware));
                                      QTest::mouseClick(u->findChild<QLineEdit*>("filePath"), Qt::LeftButton);
                                      click(u, "okBt");
                                      // Completion closes the dialog; a failure leaves it open to try again.
                                      if (!QTest::qWaitFor([u] { return !u->isVisible(); }, 10000))
                                          static_cast<QDialog*>(u)->reject();
                                  }},
                                 {BoxClass, confirm(&done)}});
            click(dlg, "upgradeDecoderBtn");
            QVERIFY(QTest::qWaitFor([&] { return upgrade.finished(); }, 2000));
            boxes << done;

            QString shownAddress;
            ModalAnswerer network(NetworkClass, [&](QWidget* n) {
                shownAddress = n->findChild<PCOMMON::IpEditWt*>("ipAddress")->text();
                click(n, "cancelBtn");
            });
            click(dlg, "networkConfigBtn");
            QVERIFY(QTest::qWaitFor([&] { return network.answered() && !shownAddress.isEmpty(); }));
            boxes << shownAddress;

            QString relogin;
            ModalScript password({{ActiveClass,
                                   [](QWidget* a) {
                                       QTest::keyClicks(a->findChild<QLineEdit*>("oldPwdEdt"), Password);
                                       QTest::keyClicks(a->findChild<QLineEdit*>("pwdEdt"), "Tvwall@2025");
                                       QTest::keyClicks(a->findChild<QLineEdit*>("confirmPwdEdt"),
                                                        "Tvwall@2025");
                                       click(a, "okBt");
                                   }},
                                  {BoxClass, confirm(&relogin)}});
            click(dlg, "changePwdBtn");
            QVERIFY(QTest::qWaitFor(
                [&] { return password.finished() && status(management.get(), Main) == Up; }, 10000));
            boxes << relogin;

            QString reset;
            ModalScript factory({{BoxClass, confirm()}, {BoxClass, confirm(&reset)}});
            click(dlg, "factoryResetBtn");
            QVERIFY(QTest::qWaitFor([&] { return factory.finished(); }, 10000));
            boxes << reset;
            // The reset ended the connection: an import has nothing to reach.
            boxes << transfer(dlg, "importConfigBtn", config).section(" = ", 0, 0);
            ran = true;
            click(dlg, "OkBtn");
        });
        mgmt::clickRowButton(management.get(), Main, "devConfigBtn");
        QVERIFY(menuAnswer.answered());
        QVERIFY(ran);
        QVERIFY2(logRows == 10, qPrintable(QString::number(logRows)));
        QFile package(tgz);
        QVERIFY(package.open(QIODevice::ReadOnly));
        QCOMPARE(package.read(2), QByteArray("\x1f\x8b"));
        QCOMPARE(
            boxes,
            (QStringList{
                "Decoder configuration exported successfully!", "Update decoder completed!", Main,
                QString("Decoder %1 Password modification successful, please reconnect login!").arg(Main),
                "Factory Settings of the decoder card have been restored successfully. Please "
                "search again!",
                "Decoder configuration import failed! ret"}));
        QCOMPARE(allAlerts(), QStringList{"success: Resolution set successfully!"});
        QCOMPARE(status(management.get(), Main), Down);
    }
};

QTEST_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
