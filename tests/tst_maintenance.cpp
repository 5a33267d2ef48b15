// The decoder maintenance menu against the simulated fleet: the network-only
// form, cancelled child dialogs that send nothing, the address rules, a
// configuration file written and read back (and a failed transfer reported,
// leaving the decoder as it was), the resolution and the upgrade record that
// reach the service, and one run from a management row through every action.
// What the service makes of the files themselves is tst_decoderservice's.

#include "connectstatetipwt.h"
#include "decoderconfigdlg.h"
#include "disabledwaitingwtmanager.h"
#include "firmwarefile.h"
#include "ipeditwt.h"
#include "maintenancetesthelpers.h"
#include "servicespy.h"
#include "updatedecodercarddlg.h"

#include <QApplication>
#include <QComboBox>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTextCodec>

#include <climits>
#include <cstring>
#include <utility>

using namespace mgmt;
using namespace maint;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrixConfig::DecoderConfigDlg;
using pral_matrixConfig::UpdateDecoderCardDlg;

namespace {

/** Logs in and waits for this login's own answer: a handle of an earlier login may still be listed. */
bool login(const QString& ip)
{
    int token = 0;
    int result = INT_MIN;
    QObject context;
    QObject::connect(
        &worker(), &MatrixSdkWorker::signalConnectMatrixResult, &context,
        [&](const CMHandle&, int r, int, void* pUser) { result = pUser == &token ? r : result; });
    worker().connectMatrix(stored(ip), &token);
    return QTest::qWaitFor([&result] { return result != INT_MIN; }, 5000) && result == 0;
}

int setWidth(int width)
{
    const pral_matrix::ScreenResolutionInfo info{0, 0, {width, width == 3840 ? 2160 : 1080, 30}, false};
    return serviceResult(&MatrixSdkWorker::signalMatrixSetResolutionResult,
                         [&] { worker().setMatrixResolution(worker().getHandleByIp(Main), info, true); });
}

/**
 * The decoder's resolution as "WxH@F", asked in a new session (an import may restart it, and a setting made
 * for the session alone ends with it); only while no menu listens.
 */
QString currentResolution()
{
    QString text;
    QObject context;
    QObject::connect(&worker(), &MatrixSdkWorker::signalMatrixGetResolutionResult, &context,
                     [&text](ScreenResolution_t r) {
                         text = QStringLiteral("%1x%2@%3").arg(r.width).arg(r.height).arg(r.frameRate);
                     });
    if (const CMHandle session = worker().getHandleByIp(Main)) {
        ServiceSpy ended(&MatrixSdkWorker::signalDisconnectMatrixResult);
        worker().disconnectMatrix(session);
        if (!QTest::qWaitFor([&ended] { return !ended.isEmpty(); }, 5000))
            return QStringLiteral("no logout");
    }
    if (login(Main))
        worker().getMatrixResolution(worker().getHandleByIp(Main), 0, 0);
    return QTest::qWaitFor([&text] { return !text.isEmpty(); }, 5000) ? text : QStringLiteral("no answer");
}

int currentWidth()
{
    return currentResolution().section('x', 0, 0).toInt();
}

/**
 * Runs an import or export from the menu, picking path (none: confirms without), and returns the box's text.
 * The "Importing..." or "Exporting..." overlay must be gone when the box shows, or the box would stand under
 * a busy spinner: a text shown while one was still up comes back as "under an overlay: " and the text.
 */
QString transfer(QWidget* menu, const char* button, const QString& path,
                 std::function<void()> beforeConfirm = {})
{
    QString text;
    const auto pick = [&](QWidget* chooser) {
        ModalAnswerer file(FileDialogClass, chooseFile(path));
        if (!path.isEmpty())
            QTest::mouseClick(chooser->findChild<QLineEdit*>(QStringLiteral("filePath")), Qt::LeftButton);
        if (beforeConfirm)
            beforeConfirm();
        click(chooser, "enterBtn");
    };
    const auto answer = [&text](QWidget* box) {
        const bool overlaid = PCOMMON::DisabledWaitingWtManager::count() > 0;
        confirm (&text)(box);
        if (overlaid)
            text.prepend(QStringLiteral("under an overlay: "));
    };
    ModalScript script({{ChooserClass, pick}, {BoxClass, answer}});
    click(menu, button);
    return QTest::qWaitFor([&script] { return script.finished(); }, 10000) ? text : QStringLiteral("no box");
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
        MatrixInfo record = stored(Main);
        record.matrixType = pral_matrix::MATRIX_TYPE_MULTI_OUTPUT;
        record.connectStatus = 1;
        menu = std::make_unique<DecoderConfigDlg>(record, QStringList{Main, Single, Eight}, onlyNetwork);
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

    void networkOnlyMenu()
    {
        for (const bool onlyNetwork : {false, true}) {
            openMenu(onlyNetwork);
            const auto buttons = menu->findChild<QWidget*>("widget_center")->findChildren<QPushButton*>();
            QCOMPARE(buttons.size(), 8);
            for (QPushButton* button : buttons) {
                const bool reachable = !onlyNetwork || button->objectName() == "networkConfigBtn";
                QVERIFY2(button->isEnabled() == reachable, qPrintable(button->objectName()));
                // Out of reach, the text takes the background's colour.
                QCOMPARE(button->styleSheet(), reachable ? QString() : QStringLiteral("color:#172335"));
            }
            // Both bottom buttons close the menu, whatever its form.
            click(menu.get(), onlyNetwork ? "cancelBtn" : "OkBtn");
            QVERIFY(!menu->isVisible() && menu->result() == QDialog::Accepted);
        }
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
        ServiceSpy sent(result.constData());
        ModalAnswerer answer(child, [cancel](QWidget* dlg) { click(dlg, qPrintable(cancel)); });
        click(menu.get(), qPrintable(button));
        QTRY_VERIFY(answer.answered() && !QApplication::activeModalWidget());
        QVERIFY(flushService());
        QCOMPARE(sent.size(), 0);
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
    }

    void networkAddressRules_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("moved");
        const QString duplicate = "The address already exists, please modify it again!";
        QTest::newRow("another decoder's address") << Single << duplicate << "";
        QTest::newRow("its own address") << Main << "" << Main;
        QTest::newRow("a free address") << "192.0.2.50"
                                        << ""
                                        << "192.0.2.50";
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
        ServiceSpy sent(&MatrixSdkWorker::signalSetMatrixNetworkResult);
        ModalAnswerer answer(NetworkClass, [address](QWidget* dlg) {
            dlg->findChild<PCOMMON::IpEditWt*>(QStringLiteral("ipAddress"))->setText(address);
            click(dlg, "okBtn");
        });
        if (address.isEmpty()) {
            // Only IPv6 settings: no usable answer, and no dialog opens.
            DeviceNetworkCfg_t cfg{};
            qstrncpy(cfg.ipv6Addr, "2001:db8::10", sizeof cfg.ipv6Addr);
            QVERIFY(runOnServiceThread([&] { emit worker().signalGetMatrixNetworkResult(cfg, Main, 3); }));
        } else {
            click(menu.get(), "networkConfigBtn");
            QTRY_VERIFY(answer.answered());
        }
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(flushService());
        QCOMPARE(answer.answered(), !address.isEmpty());
        QCOMPARE(fx.alerts(), notice.isEmpty() ? QStringList{} : QStringList{notice});
        QCOMPARE(sent.size(), moved.isEmpty() ? 0 : 1);
        if (!moved.isEmpty())
            QCOMPARE(sent.at(0), (QVariantList{0, moved, Main}));
    }

    // The choice of the resolution dialog is what reaches the decoder, and is kept past a new login.
    void chosenResolutionReachesTheDecoder_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("pick"); // -1: what the dialog offers
        QTest::addColumn<QString>("after");
        QTest::newRow("4K chosen at 1080 lines") << 1920 << 1 << "3840x2160@30";
        // The frame rate is the choice's: 60, where the decoder ran at 30.
        QTest::newRow("1080 lines chosen at 4K") << 3840 << 0 << "1920x1080@60";
        QTest::newRow("4K offered and confirmed") << 3840 << -1 << "3840x2160@30";
    }
    void chosenResolutionReachesTheDecoder()
    {
        QFETCH(int, before);
        QFETCH(int, pick);
        QFETCH(QString, after);
        QCOMPARE(setWidth(before), 0);
        openMenu();
        QString offered;
        ModalAnswerer answer(ResolutionClass, [&](QWidget* dialog) {
            auto* choices = dialog->findChild<QComboBox*>("dataRes");
            offered = choices->currentText();
            if (pick >= 0)
                choices->setCurrentIndex(pick);
            click(dialog, "okBt");
        });
        click(menu.get(), "resolutionconfBtn");
        QTRY_VERIFY(answer.answered() && !alerts->isEmpty());
        QCOMPARE(offered, before == 3840 ? QStringLiteral("3840*2160(4K)") : QStringLiteral("1920*1080"));
        QCOMPARE(allAlerts(), QStringList{"success: Resolution set successfully!"});
        menu.reset();
        QCOMPARE(currentResolution(), after);
    }

    // The upgrade gets the decoder's record in the service's fixed-size form: each text in the local
    // 8-bit encoding, cut to leave room for its terminating zero, extraValue as it is, all else zero.
    void upgradeRecordOfTheDecoder_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("deviceId");
        QTest::addColumn<QString>("userName");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("extraValue");
        QTest::addColumn<QByteArray>("userNameBytes"); // how the user name reads in its field
        QTest::newRow("as stored") << Main << "TVD-04-20230410AA"
                                   << "admin" << Password << 7 << QByteArray("admin");
        QTest::newRow("every text to the last byte")
            << "255.255.255.255" << QString(31, 'd') << QString(31, 'u') << QString(31, 'p') << -1
            << QByteArray(31, 'u');
        QTest::newRow("every text one byte too long")
            << "255.255.255.2550" << QString(32, 'd') << QString(32, 'u') << QString(32, 'p') << 0x7fffffff
            << QByteArray(31, 'u');
        QTest::newRow("much too long") << Main << QString(100, 'd') << QString(100, 'u') << QString(100, 'p')
                                       << int(0x80000000) << QByteArray(31, 'u');
        // Three characters of three bytes each in UTF-8, the local encoding of this run.
        QTest::newRow("a Chinese user name")
            << Main << "TVD-04-20230410AA" << QString::fromUtf8("管理员") << Password << 0
            << QByteArray("\xe7\xae\xa1\xe7\x90\x86\xe5\x91\x98");
    }
    void upgradeRecordOfTheDecoder()
    {
        QFETCH(QString, ip);
        QFETCH(QString, deviceId);
        QFETCH(QString, userName);
        QFETCH(QString, password);
        QFETCH(int, extraValue);
        QFETCH(QByteArray, userNameBytes);
        QTextCodec* const localBefore = QTextCodec::codecForLocale();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
        const auto restoreCodec = qScopeGuard([localBefore] { QTextCodec::setCodecForLocale(localBefore); });
        MatrixInfo record = stored(ip);
        record.deviceId = deviceId;
        record.userName = userName;
        record.password = password;
        record.extraValue = extraValue;
        menu = std::make_unique<DecoderConfigDlg>(record, QStringList{ip}, false);
        menu->show();
        QByteArray handed;
        ModalAnswerer answer(UpgradeClass, [&handed](QWidget* dialog) {
            const QList<DeviceInfo_t>& devices = static_cast<UpdateDecoderCardDlg*>(dialog)->deviceList();
            if (devices.size() == 1)
                handed = QByteArray(reinterpret_cast<const char*>(&devices.first()), sizeof(DeviceInfo_t));
            click(dialog, "cancelBt");
        });
        click(menu.get(), "upgradeDecoderBtn");
        QVERIFY(answer.answered());
        QCOMPARE(handed.size(), 2328);
        // A field: the text's first size - 1 bytes, then zeros to its end.
        const auto field = [](const QByteArray& text, int size) {
            QByteArray bytes = text.left(size - 1);
            bytes.append(QByteArray(size - bytes.size(), '\0'));
            return bytes;
        };
        QCOMPARE(handed.mid(4, 32), field(deviceId.toLatin1(), 32));
        QCOMPARE(handed.mid(148, 16), field(ip.toLatin1(), 16));
        QCOMPARE(handed.mid(2216, 32), field(userNameBytes, 32));
        QCOMPARE(handed.mid(2248, 32), field(password.toLatin1(), 32));
        qint32 extra = 0;
        std::memcpy(&extra, handed.constData() + 2316, sizeof extra);
        QCOMPARE(extra, qint32(extraValue));
        QByteArray rest = handed;
        for (const auto& [offset, size] : {std::pair{4, 32}, {148, 16}, {2216, 32}, {2248, 32}, {2316, 4}})
            rest.replace(offset, size, QByteArray(size, '\0'));
        QCOMPARE(rest, QByteArray(2328, '\0'));
    }

    void configFileRoundTrip()
    {
        const QString path = files.filePath("main.matrix");
        openMenu();
        QCOMPARE(setWidth(3840), 0);
        QCOMPARE(transfer(menu.get(), "exportConfigBtn", path),
                 QStringLiteral("Decoder configuration exported successfully!"));
        QCOMPARE(setWidth(1920), 0);
        QCOMPARE(transfer(menu.get(), "importConfigBtn", path),
                 QStringLiteral("Decoder configuration imported successfully,The decoder will be restarted, "
                                "please pull up the configuration yourself later!"));
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        menu.reset();
        QCOMPARE(currentWidth(), 3840);
    }

    void configFileFaults_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("file"); // what the chosen file holds
        const char* const in = "importConfigBtn";
        QTest::newRow("import: decoder drops") << in << "valid, drop";
        QTest::newRow("import: no file chosen") << in << "none";
        QTest::newRow("export: folder cannot be written") << "exportConfigBtn"
                                                          << "unwritable";
        QTest::newRow("export: no file chosen") << "exportConfigBtn"
                                                << "none";
    }
    void configFileFaults()
    {
        QFETCH(QString, button);
        QFETCH(QString, file);
        // A valid file of the decoder in 4K, while the decoder runs at 1920: a half-read file would show.
        QString path = files.filePath("fault.matrix");
        QCOMPARE(setWidth(3840), 0);
        QCOMPARE(serviceResult(&MatrixSdkWorker::signalExportConfigResult,
                               [&] { worker().exportMatrixConfig(worker().getHandleByIp(Main), path); }),
                 0);
        QCOMPARE(setWidth(1920), 0);
        QFile content(path);
        QVERIFY(content.open(QIODevice::ReadWrite));
        const QByteArray valid = content.readAll();
        content.resize(0);
        content.write(file.startsWith("valid") ? valid : QByteArray());
        content.close();
        if (file == "none")
            path.clear();
        if (file == "unwritable")
            path = files.filePath("fault.matrix/inside.matrix");
        openMenu();
        const QString text = transfer(menu.get(), qPrintable(button), path, [file] {
            if (file.endsWith("drop"))
                worker().dropConnection(Main);
        });
        const QString failure = button.startsWith("import") ? "Decoder configuration import failed! ret = "
                                                            : "Decoder configuration export failed! ret = ";
        QVERIFY2(text.startsWith(failure) && text.mid(failure.size()).toInt() != 0, qPrintable(text));
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 0);
        menu.reset();
        QCOMPARE(currentWidth(), 1920);
    }

    void servicePathsWithDoubledSeparators()
    {
        // The upgrade dialog hands over a picked file with each "/" as two backslashes.
        const auto doubled = [](QString path) {
            return path.replace('/', "\\\\");
        };
        const QString config = files.filePath("doubled.matrix");
        const QString package = files.filePath("doubled.tgz");
        const CMHandle handle = worker().getHandleByIp(Main);
        QCOMPARE(serviceResult(&MatrixSdkWorker::signalExportConfigResult,
                               [&] { worker().exportMatrixConfig(handle, doubled(config)); }),
                 0);
        QVERIFY(QFileInfo(config).size() > 0);
        ServiceSpy answered(&MatrixSdkWorker::signalGetLogsResult);
        worker().getLog(worker().getHandleByIp(Main), QDateTime(), QDateTime(), -1, doubled(package));
        QTRY_VERIFY(QFileInfo(package).size() > 0);
        // A package without a path is a cancelled save dialog: nothing to write, nothing to answer.
        worker().getLog(worker().getHandleByIp(Main), QDateTime(), QDateTime(), -1, QString());
        QVERIFY(flushService());
        QCOMPARE(answered.size(), 0);
        // The import restarts the decoder and ends its session, so it comes last.
        QCOMPARE(serviceResult(&MatrixSdkWorker::signalImportConfigResult,
                               [&] { worker().importMatrixConfig(handle, doubled(config)); }),
                 0);
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
        QStringList seen;
        bool ran = false;

        ModalAnswerer menuAnswer(ConfigClass, [&](QWidget* dlg) {
            // A step that fails returns early: whatever it left open must close, or the run would hang.
            const auto closeAll = qScopeGuard([&] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* open = qobject_cast<QDialog*>(w); open && open != management.get())
                        open->reject();
                }
            });
            ModalAnswerer logs(LogsClass, [&](QWidget* logDlg) {
                const auto quit = qScopeGuard([logDlg] { click(logDlg, "quitBtn"); });
                click(logDlg, "searchBtn");
                auto* table = logDlg->findChild<QTableWidget*>("tableWidget");
                QVERIFY(QTest::qWaitFor([&] { return table->item(0, 1) != nullptr; }));
                logDlg->findChild<QComboBox*>("logTypeCombobox")->setCurrentIndex(1); // the package
                ModalAnswerer file(FileDialogClass, chooseFile(tgz));
                click(logDlg, "exportBtn");
                QVERIFY(QTest::qWaitFor([&] { return QFileInfo(tgz).size() > 0; }));
            });
            click(dlg, "viewLogBtn");
            seen << transfer(dlg, "exportConfigBtn", config);

            const auto setResolution = [&] {
                const int before = alerts->size();
                ModalAnswerer resolution(ResolutionClass, [](QWidget* r) {
                    r->findChild<QComboBox*>("dataRes")->setCurrentIndex(1);
                    click(r, "okBt");
                });
                click(dlg, "resolutionconfBtn");
                QVERIFY(QTest::qWaitFor([&] { return alerts->size() > before; }));
            };
            setResolution();

            QString done, address, relogin, reset;
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
            // The decoder restarted to run its new firmware: the tip says so, and its reconnect brings it
            // back for the steps that follow.
            pral_matrix::ConnectStateTipWt* tip = nullptr;
            QVERIFY(QTest::qWaitFor([&] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* t = qobject_cast<pral_matrix::ConnectStateTipWt*>(w); t && t->isVisible())
                        tip = t;
                }
                return tip != nullptr;
            }));
            seen << tip->tipContent();
            click(tip, "reconnectBtn");
            QVERIFY(
                QTest::qWaitFor([&] { return !tip->isVisible() && status(management.get(), Main) == Up; }));

            ModalAnswerer network(NetworkClass, [&](QWidget* n) {
                address = n->findChild<PCOMMON::IpEditWt*>("ipAddress")->text();
                click(n, "cancelBtn");
            });
            click(dlg, "networkConfigBtn");
            QVERIFY(QTest::qWaitFor([&] { return !address.isEmpty(); }));

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

            ModalScript factory({{BoxClass, confirm()}, {BoxClass, confirm(&reset)}});
            click(dlg, "factoryResetBtn");
            QVERIFY(QTest::qWaitFor([&] { return factory.finished(); }, 10000));
            seen << done << address << relogin << reset;
            // The reset ended the connection: the decoder cannot be reached any more.
            seen << transfer(dlg, "importConfigBtn", config).section(" = ", 0, 0);
            setResolution();
            ran = true;
        });
        mgmt::clickRowButton(management.get(), Main, "devConfigBtn");
        QVERIFY(menuAnswer.answered() && ran);
        QCOMPARE(seen, (QStringList{"Decoder configuration exported successfully!",
                                    Main + " connection is broken", "Update decoder completed!", Main,
                                    QString("Decoder %1 Password modification successful, please reconnect "
                                            "login!")
                                        .arg(Main),
                                    "Factory Settings of the decoder card have been restored successfully. "
                                    "Please search again!",
                                    "Decoder configuration import failed! ret"}));
        QCOMPARE(allAlerts().filter("Resolution"), (QStringList{"success: Resolution set successfully!",
                                                                "notice: Resolution setting failed!"}));
        // Each change that restarts or rewrites the decoder was checked, and the operator told how it went.
        QTRY_COMPARE(
            allAlerts().filter("Decoder " + Main),
            (QStringList{"success: Decoder 192.0.2.10, firmware upgrade: back on line, version V2.5.0 build "
                         "250301 (was V2.3.1 build 240611)",
                         "success: Decoder 192.0.2.10, password change: the new password works",
                         "success: Decoder 192.0.2.10, factory reset: back in its factory state, waiting "
                         "for activation"}));
        QCOMPARE(status(management.get(), Main), Down);
    }
};

QTEST_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
