// The page as an operator sees it, end to end on the simulated fleet: stored
// wall -> one click connects it -> its bindings on the grid. Each state is also
// rendered to a PNG (folder TVWALL_SHOT_DIR, default <tmp>/tvwall-shots) for
// people to look at, in the language TVWALL_LANG names (default English) and,
// under QT_SCALE_FACTOR=2, at 200 %, set up as the application sets itself up.
// Every rendered window is checked as a person would look at it: no text
// clipped, none left in English in a translated run, no image scaled up from 1x.

#include "addmatrixdlg.h"
#include "adjustscreen.h"
#include "batchupgradedlg.h"
#include "connectmatrixitem.h"
#include "decoderconfigdlg.h"
#include "decoderdevicetree.h"
#include "decodermanagementdlg.h"
#include "decodernetworkconfigdlg.h"
#include "decoderwatch.h"
#include "devactivedlg.h"
#include "exportconfigdlg.h"
#include "faultinjector.h"
#include "firmwarefile.h"
#include "getlogsdlg.h"
#include "globalstyle.h"
#include "highdpi.h"
#include "maintenancetesthelpers.h"
#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "matrixinfosyncdlg.h"
#include "matrixsdkworker.h"
#include "matrixstore.h"
#include "modalanswerer.h"
#include "pmessagebox.h"
#include "resolutionsettingdlg.h"
#include "screenlayoutwt.h"
#include "screenwt.h"
#include "servicethread.h"
#include "showntexts.h"
#include "systemassistant.h"
#include "testlanguage.h"
#include "updatedecodercarddlg.h"
#include "userlogindlg.h"
#include "walldifferencedlg.h"
#include "watchreportdlg.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>

#include <memory>

using namespace pral_matrixConfig;
using namespace mgmt;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;
using pral_worker::SystemAssistant;

namespace {

QString shotDir()
{
    const QString dir = qEnvironmentVariableIsSet("TVWALL_SHOT_DIR")
                            ? qEnvironmentVariable("TVWALL_SHOT_DIR")
                            : QDir::temp().filePath(QStringLiteral("tvwall-shots"));
    QDir().mkpath(dir);
    return dir;
}

QString runLanguage()
{
    return qEnvironmentVariable("TVWALL_LANG", QStringLiteral("en"));
}

/// A text as the operator reads it in the language of the run.
QString shown(const char* context, const char* text)
{
    return QCoreApplication::translate(context, text);
}

const char* const FormClass = "pral_matrixConfig::MatrixConfigForm";

/// The decoders' own version texts.
QStringList versions(const MatrixInfoMap& decoders)
{
    QStringList texts;
    for (const MatrixInfo& decoder : decoders)
        texts << decoder.version;
    return texts;
}

/// The left tree makes row widgets only for the entries in view: each of those must carry its widget,
/// shown in its row's place.
QStringList rowsWithoutWidgets(QWidget* root)
{
    QStringList faults;
    for (QTreeWidget* list : root->findChildren<QTreeWidget*>(QStringLiteral("rsTreeWidget"))) {
        if (!list->isVisible())
            continue;
        int line = 0;
        for (QTreeWidgetItem* item = list->itemAt(0, 0); item; item = list->itemBelow(item), ++line) {
            const QRect place = list->visualItemRect(item);
            if (place.top() >= list->viewport()->height())
                break;
            const QWidget* row = list->itemWidget(item, 0);
            if (!row || !row->isVisible() || row->y() != place.y())
                faults
                    << QStringLiteral("line %1 of the tree in view has no row widget in its place").arg(line);
        }
    }
    return faults;
}

} // namespace

class TestPageShots : public QObject
{
    Q_OBJECT

public:
    static void initMain() { PCOMMON::enableHighDpi(); }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void emptyPage();
    void connectedWallShowsItsBindings();
    void manyWallsScrolledToTheMiddle();
    void decoderDialogs();
    void wizardPages();
    void maintenanceDialogs();
    void watchedChanges();
    void everyKindOfOutcome();
    void storeKeyNotice();
    void fileDialog();
    void noticesOverThePage();
    void hintAfterTheLastWallGoes();
    void batchUpgrade();
    void wallChangedElsewhere();

private:
    void shoot(const QString& name);
    /// The window with the notices shown over or beside it, as a person sees them together.
    static void shootWithNotices(QWidget* window, const QString& name, const QStringList& data = {});
    /// data: texts of the window that are the decoders' or the test's own, in no language.
    static void shoot(QWidget* widget, const QString& name, const QStringList& data = {});

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MatrixConfigForm> form;
};

void TestPageShots::initTestCase()
{
    // The host's look and language, as the application has them.
    PCOMMON::applyGlobalStyleSheet(*qApp);
    if (runLanguage() != QLatin1String("en"))
        QCOMPARE(installTestLanguage(runLanguage()), runLanguage());
}

void TestPageShots::init()
{
    dir = std::make_unique<QTemporaryDir>();
    MatrixSdkWorker::setDataDirectory(dir->filePath(QStringLiteral("data")));
    MatrixSdkWorker::setSecretKeyFile(dir->filePath(QStringLiteral("store.key")));
    QVERIFY(worker().loadFleet(MatrixSdkWorker::defaultFleetJson()));
    worker().setResultDelay(0);
}

void TestPageShots::cleanup()
{
    worker().faults().clear();
    form.reset();
    worker().disconnectAllMatrix();
    PSingleton<SystemAssistant>::_instance().closeAll();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestPageShots::shoot(const QString& name)
{
    shoot(form.get(), name, {QStringLiteral("Control room")});
}

void TestPageShots::shoot(QWidget* widget, const QString& name, const QStringList& data)
{
    // A window shown a moment ago may not have laid itself out yet (its picture would show a scroll bar
    // that the finished layout does not have), nor made the row widgets of the entries now in view.
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::sendPostedEvents();
    QStringList faults = clippedTexts(widget) + blurredImages(widget) + rowsWithoutWidgets(widget);
    if (runLanguage() != QLatin1String("en"))
        faults += englishTexts(widget, data);
    QVERIFY2(faults.isEmpty(), qPrintable(name + QLatin1String(":\n") + faults.join(QLatin1Char('\n'))));
    const QString path = QDir(shotDir()).filePath(name);
    QVERIFY2(widget->grab().save(path, "PNG"), qPrintable(path));
}

void TestPageShots::shootWithNotices(QWidget* window, const QString& name, const QStringList& data)
{
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::sendPostedEvents();
    QStringList faults = clippedTexts(window);
    if (runLanguage() != QLatin1String("en"))
        faults += englishTexts(window, data);
    QVERIFY2(faults.isEmpty(), qPrintable(name + QLatin1String(":\n") + faults.join(QLatin1Char('\n'))));
    const QList<QWidget*> notices = PSingleton<SystemAssistant>::_instance().alertWindows();
    QRect area = window->frameGeometry();
    for (QWidget* notice : notices)
        area |= notice->frameGeometry();
    const qreal ratio = window->devicePixelRatioF();
    QPixmap picture(area.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(QColor(QStringLiteral("#3a4558"))); // the desktop around the window
    QPainter painter(&picture);
    painter.drawPixmap(window->frameGeometry().topLeft() - area.topLeft(), window->grab());
    for (QWidget* notice : notices)
        painter.drawPixmap(notice->frameGeometry().topLeft() - area.topLeft(), notice->grab());
    painter.end();
    const QString path = QDir(shotDir()).filePath(name);
    QVERIFY2(picture.save(path, "PNG"), qPrintable(path));
}

void TestPageShots::emptyPage()
{
    form = std::make_unique<MatrixConfigForm>();
    form->resize(1280, 760);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    auto* tree = form->findChild<QTreeWidget*>(QStringLiteral("rsTreeWidget"));
    QVERIFY(tree);
    QTest::qWait(50);
    QCOMPARE(tree->topLevelItemCount(), 0);
    // A first start says where to begin.
    auto* hint = form->findChild<QLabel*>(QStringLiteral("emptyHintLabel"));
    QVERIFY(hint && hint->isVisible() && hint->text().contains(shown(FormClass, "Decoder Management")));
    shoot(QStringLiteral("page-empty.png"));
}

void TestPageShots::connectedWallShowsItsBindings()
{
    storeControlRoom();
    // The page logs in to its decoders when it loads: the first attempt is refused, so that
    // the operator's click is what connects the wall.
    worker().faults().setLoginFault(Control, pral_matrix::FaultInjector::LoginFault::Refuse);
    form = std::make_unique<MatrixConfigForm>();
    form->resize(1280, 760);
    form->show();
    QTRY_VERIFY(wallRow(form.get(), "Control room"));
    QTRY_VERIFY(!form->isUpdatePending());
    QVERIFY(!wallRow(form.get(), "Control room")->isConnected());
    worker().faults().clear();
    const auto* hint = form->findChild<QLabel*>(QStringLiteral("emptyHintLabel"));
    QVERIFY(!hint || !hint->isVisible());

    QSignalSpy alerts(&PSingleton<SystemAssistant>::_instance(), &SystemAssistant::signalAlert);
    QTest::mouseClick(wallRow(form.get(), "Control room")->findChild<QPushButton*>("connectBt"),
                      Qt::LeftButton);
    QTRY_VERIFY(!alerts.isEmpty());
    QCOMPARE(alerts.first().at(1).toString(),
             shown(FormClass, "Tvwall(%1):Connect success!").arg(QStringLiteral("Control room")));

    // The management dialog records the new state and the page redraws the wall as connected.
    QTRY_VERIFY(wallRow(form.get(), "Control room") && wallRow(form.get(), "Control room")->isConnected());
    QTest::mouseClick(wallRow(form.get(), "Control room"), Qt::LeftButton);

    auto* grid = form->findChild<ScreenLayoutWt*>();
    QVERIFY(grid);
    QTRY_COMPARE(grid->screenCount(), 12);
    int rows = 0;
    int cols = 0;
    grid->getLayout(rows, cols);
    QCOMPARE(rows, 3);
    QCOMPARE(cols, 4);
    for (int i = 0; i < 12; ++i) {
        QString outputKey;
        int outputId = 0;
        int outputNo = 0;
        grid->screenBinding(i, outputKey, outputId, outputNo);
        QCOMPARE(outputKey, QStringLiteral("%1-%2").arg(Control).arg(i + 1));
        QVERIFY2(grid->screen(i)->labelText().contains(outputKey), qPrintable(grid->screen(i)->labelText()));
    }
    // The tree's icons are pictures of labels, which only a loader that knows @2x files makes sharp.
    const auto* icon = wallRow(form.get(), "Control room")->findChild<QLabel*>(QStringLiteral("iconLabel"));
    QCOMPARE(icon->pixmap(Qt::ReturnByValue).devicePixelRatio(), form->devicePixelRatioF());
    shoot(QStringLiteral("page-connected-3x4.png"));

    auto* tree = form->findChild<DecoderDeviceTree*>();
    tree->lock();
    QVERIFY(tree->isLocked());
    QVERIFY(!form->findChild<QTreeWidget*>(QStringLiteral("rsTreeWidget"))->isEnabled());
    shoot(QStringLiteral("page-locked-tree.png"));
}

void TestPageShots::manyWallsScrolledToTheMiddle()
{
    // Thirty walls of six screens, each on a decoder of its own: far more entries than the tree shows.
    QJsonArray fleet;
    QList<pral_matrix::MatrixInfo> decoders;
    QList<pral_matrix::TvWallManagement> walls;
    for (int w = 0; w < 30; ++w) {
        const QString ip = QStringLiteral("192.0.2.%1").arg(100 + w);
        fleet.append(QJsonObject{{"ip", ip},
                                 {"deviceId", QStringLiteral("TVD-04-2023%1AA").arg(w, 4, 10, QChar('0'))},
                                 {"type", 3},
                                 {"channels", 6},
                                 {"password", Password}});
        pral_matrix::MatrixInfo decoder = stored(ip);
        decoder.matrixType = pral_matrix::MATRIX_TYPE_MULTI_OUTPUT;
        decoder.channelCount = 6;
        decoders << decoder;
        pral_matrix::TvWallManagement wall;
        wall.tvWallName = QStringLiteral("Hall %1").arg(w + 1, 2, 10, QChar('0'));
        wall.mainIp = ip;
        wall.row = 2;
        wall.col = 3;
        for (int i = 0; i < 6; ++i) {
            pral_matrix::MatrixInfo screen = decoder;
            screen.channel = i + 1;
            screen.row = i / 3;
            screen.column = i % 3;
            wall.matrixInfoList << screen;
        }
        walls << wall;
    }
    QVERIFY(worker().loadFleet(QJsonDocument(QJsonObject{{"latencyMs", 0}, {"decoders", fleet}}).toJson()));
    MatrixSdkWorker::addDecoderToJson(decoders);
    MatrixSdkWorker::addMatrixToJson(walls);
    MatrixSdkWorker::flushStore();
    form = std::make_unique<MatrixConfigForm>();
    form->resize(1280, 760);
    form->show();
    auto* tree = form->findChild<DecoderDeviceTree*>();
    QTRY_VERIFY(!form->isUpdatePending() && tree->isTvWallConnected("Hall 30"));
    auto* list = form->findChild<QTreeWidget*>(QStringLiteral("rsTreeWidget"));
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum() / 2);
    // shoot() checks that every row in view carries its widget; the first wall is far out of view.
    QTRY_VERIFY(wallRow(form.get(), "Hall 15"));
    QVERIFY(!wallRow(form.get(), "Hall 01"));
    QStringList names;
    for (const pral_matrix::TvWallManagement& wall : qAsConst(walls))
        names << wall.tvWallName;
    shoot(form.get(), QStringLiteral("page-many-walls-middle.png"), names);
}

void TestPageShots::decoderDialogs()
{
    {
        // The managed list logs in to every stored decoder as it opens; one of them has moved away.
        // Decoders as they were added from a search, with the credentials the operator typed.
        MatrixInfoMap decoders = found({Main, Single, Eight});
        for (MatrixInfo& decoder : decoders) {
            decoder.userName = stored(decoder.ip).userName;
            decoder.password = stored(decoder.ip).password;
        }
        decoders.insert("192.0.2.99", stored("192.0.2.99"));
        DecoderManagementDlg managed(decoders, MatrixInfoMap(), false);
        managed.show();
        QTRY_COMPARE(status(&managed, Main), shown(SearchClass, "connect success"));
        QTRY_COMPARE(status(&managed, "192.0.2.99"), shown(SearchClass, "connect failed"));
        QCOMPARE(listedIps(&managed), (QStringList{Main, Single, Eight, "192.0.2.99"}));
        shoot(&managed, QStringLiteral("management.png"), versions(decoders));
    }
    {
        // A long list scrolled to its middle: the rows that came into view carry their widgets in place.
        QList<MatrixInfo> many;
        for (int i = 10; i < 50; ++i)
            many << stored(QStringLiteral("198.51.100.%1").arg(i));
        DecoderManagementDlg managed(mapOf(many), MatrixInfoMap(), false);
        managed.show();
        QScrollBar* bar = managed.findChild<QScrollArea*>("tableScrollArea")->verticalScrollBar();
        QTRY_VERIFY(bar->isVisible() && bar->maximum() > 0);
        bar->setValue(bar->maximum() / 2);
        QTRY_COMPARE(status(&managed, "198.51.100.49"), shown(SearchClass, "connect failed"));
        shoot(&managed, QStringLiteral("management-scrolled.png"), versions(mapOf(many)));
    }
    {
        const MatrixInfoMap results = found({Other, Fresh, Fresh2, Control});
        DecoderManagementDlg search(results, MatrixInfoMap(), true);
        search.show();
        QCOMPARE(listedIps(&search), (QStringList{Other, Fresh, Fresh2, Control}));
        QCOMPARE(status(&search, Fresh), shown(SearchClass, "unactivated"));
        QCOMPARE(status(&search, Other), shown(SearchClass, "activated"));
        shoot(&search, QStringLiteral("search.png"), versions(results));
        // Four rows fit the list: no scroll bar in the picture.
        QVERIFY(!search.findChild<QScrollArea*>("tableScrollArea")->verticalScrollBar()->isVisible());
    }
    {
        // A camera answered the search too: listed, its row saying that it shows no video, so that the
        // operator does not look for it among a wall's outputs.
        MatrixInfoMap results = found({Other, Fresh});
        MatrixInfo camera;
        camera.ip = QStringLiteral("192.0.2.40");
        camera.deviceId = QStringLiteral("EXC2000012345");
        camera.matrixType = pral_matrix::MATRIX_TYPE_NO_OUTPUT;
        camera.version = QStringLiteral("V5.4.1");
        camera.activated = true;
        results.insert(camera.ip, camera);
        DecoderManagementDlg search(results, MatrixInfoMap(), true);
        search.show();
        QCOMPARE(listedIps(&search), (QStringList{Other, Fresh, camera.ip}));
        const QTableWidgetItem* version = table(&search)->item(rowOf(&search, camera.ip), 4);
        QCOMPARE(version->text(), shown(SearchClass, "%1, no video output").arg(camera.version));
        QCOMPARE(version->toolTip(),
                 shown(SearchClass,
                       "This device has no video output: it can be managed here, but not used in a "
                       "TV wall."));
        shoot(&search, QStringLiteral("search-camera.png"), versions(results));
    }
    {
        DevActiveDlg activation(false);
        activation.show();
        QTest::keyClicks(activation.findChild<QLineEdit*>(QStringLiteral("pwdEdt")),
                         QStringLiteral("Tvwall@2025"));
        shoot(&activation, QStringLiteral("activation.png"), {QStringLiteral("admin")});
    }
    {
        DeviceNetworkCfg_t cfg{};
        qstrncpy(cfg.ipv4Addr, "192.0.2.12", sizeof cfg.ipv4Addr);
        qstrncpy(cfg.ipv4Mask, "255.255.255.0", sizeof cfg.ipv4Mask);
        qstrncpy(cfg.ipv4Gateway, "192.0.2.1", sizeof cfg.ipv4Gateway);
        qstrncpy(cfg.dns, "192.0.2.53", sizeof cfg.dns);
        qstrncpy(cfg.ipv6Addr, "2001:db8::12", sizeof cfg.ipv6Addr);
        qstrncpy(cfg.ipv6Gateway, "2001:db8::1", sizeof cfg.ipv6Gateway);
        cfg.ipv6PrefixLen = 64;
        DecoderNetworkConfigDlg network(cfg);
        network.show();
        QCOMPARE(QByteArray(network.getNetworkConfig().ipv4Addr), QByteArray("192.0.2.12"));
        shoot(&network, QStringLiteral("network.png"), {QStringLiteral("DNS")});
    }
    {
        pral_matrix::UserLoginDlg login(nullptr);
        login.show();
        shoot(&login, QStringLiteral("login.png"));
    }
    {
        MatrixInfoSyncDlg sync({Main, Control});
        sync.show();
        QVERIFY(sync.getCheckedIpList().isEmpty());
        shoot(&sync, QStringLiteral("sync.png"));
    }
}

void TestPageShots::wizardPages()
{
    QStringList outputs;
    for (int n = 1; n <= 4; ++n)
        outputs << QStringLiteral("%1-%2").arg(Main).arg(n);
    outputs << Single;
    const QStringList name{QStringLiteral("Lobby")};
    {
        AddMatrixDlg add({Main, Single}, outputs, {}, true, TvWallManagement());
        add.show();
        // Before a name is typed the field says what it takes, whole.
        shoot(&add, QStringLiteral("wizard-add-1-empty.png"));
        add.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&add));
        click(&add, "nextStepBtn");
        shootWithNotices(&add, QStringLiteral("wizard-add-1-notice.png"));
        PSingleton<SystemAssistant>::_instance().closeAll();
        QTest::keyClicks(add.findChild<QLineEdit*>(QStringLiteral("tvWallNameEdit")),
                         QStringLiteral("Lobby"));
        shoot(&add, QStringLiteral("wizard-add-1-name.png"), name);
        click(&add, "nextStepBtn");
        shoot(&add, QStringLiteral("wizard-add-2-decoder.png"), name);
        click(&add, "nextStepBtn");
        auto* binding = add.findChild<MatrixConfigForm*>(QStringLiteral("bindingMatrixWt"));
        for (int screen = 0; screen < 3; ++screen)
            binding->bindScreen(screen, outputs.at(screen));
        QTRY_COMPARE(add.size(), QSize(1220, 740));
        shoot(&add, QStringLiteral("wizard-add-3-binding.png"), name);
    }
    worker().connectMatrix(stored(Main), nullptr);
    QTRY_VERIFY(!worker().getHandleByIp(Main).isNull());
    TvWallManagement wall;
    wall.tvWallName = QStringLiteral("Lobby");
    wall.mainIp = Main;
    wall.row = wall.col = 2;
    for (int i = 0; i < 4; ++i) {
        MatrixInfo screen = stored(Main);
        screen.channel = i + 1;
        screen.row = i / 2;
        screen.column = i % 2;
        wall.matrixInfoList << screen;
    }
    AddMatrixDlg edit(outputs, outputs, {QStringLiteral("Lobby")}, false, wall);
    edit.show();
    shoot(&edit, QStringLiteral("wizard-edit-preview.png"), name);
    // The embedded page has buttons of the same names: the preview's own are meant.
    QWidget* preview = edit.findChild<QWidget*>(QStringLiteral("previewWt"));
    click(preview, "editBtn");
    shoot(&edit, QStringLiteral("wizard-edit-binding.png"), name);
    click(&edit, "cancelForEditBtn");
    click(preview, "adjustBtn");
    auto* adjust = edit.findChild<AdjustScreen*>(QStringLiteral("adjustScreenWt"));
    QTest::mouseClick(adjust->findChild<ScreenLayoutWt*>(QStringLiteral("wallwt"))->screen(1),
                      Qt::LeftButton);
    QTRY_COMPARE(adjust->findChild<QLabel*>(QStringLiteral("lab_screensignpara"))->text(),
                 QStringLiteral("1-2"));
    shoot(&edit, QStringLiteral("wizard-edit-adjust.png"), name);
    worker().disconnectAllMatrix();
}

void TestPageShots::maintenanceDialogs()
{
    worker().connectMatrix(stored(Main), nullptr);
    QTRY_VERIFY(worker().getHandleByIp(Main));
    MatrixInfo record = stored(Main);
    record.connectStatus = 1;
    for (const bool onlyNetwork : {false, true}) {
        DecoderConfigDlg menu(record, {Main}, onlyNetwork);
        menu.show();
        shoot(&menu, onlyNetwork ? QStringLiteral("config-menu-network-only.png")
                                 : QStringLiteral("config-menu.png"));
    }
    {
        // The lines of the fleet's decoder, asked the way the menu asks for them.
        GetLogsDlg logs;
        connect(&logs, &GetLogsDlg::sig_onSearchLogsMessage, &logs,
                [](QDateTime begin, QDateTime end, int code, QString path) {
                    worker().getLog(worker().getHandleByIp(Main), begin, end, code, path);
                });
        // The lines are the decoder's own text, in no language of ours. Received in this thread,
        // after the dialog's blocking slot has shown them.
        QStringList lines;
        connect(&worker(), &MatrixSdkWorker::signalGetLogsResult, &logs,
                [&lines](const QStringList& sent) { lines = sent; });
        logs.show();
        click(&logs, "searchBtn");
        QTRY_VERIFY(!lines.isEmpty());
        QVERIFY(logs.findChild<QTableWidget*>(QStringLiteral("tableWidget"))->item(0, 1));
        shoot(&logs, QStringLiteral("logs.png"), lines);
    }
    {
        ExportConfigDlg chooser(false);
        chooser.show();
        shoot(&chooser, QStringLiteral("config-export.png"));
    }
    {
        QTemporaryDir files;
        // Folders of their own, so that the end of the path the field shows is the same in every run.
        QVERIFY(QDir(files.path()).mkpath(QStringLiteral("decoders/firmware/TVD-04")));
        const QString firmware =
            files.filePath(QStringLiteral("decoders/firmware/TVD-04/decoder-V2.5.0.bin"));
        QVERIFY(writeFirmwareFile(firmware, QStringLiteral("TVD-04"), QStringLiteral("V2.5.0")));
        UpdateDecoderCardDlg upgrade({DeviceInfo_t{}});
        upgrade.show();
        ModalAnswerer file(QStringLiteral("QFileDialog"), maint::chooseFile(firmware));
        QTest::mouseClick(upgrade.findChild<QLineEdit*>(QStringLiteral("filePath")), Qt::LeftButton);
        QVERIFY(runOnServiceThread([] { emit worker().signalUpdateMatrixProgress(1, 0, 60, 0, false); }));
        QCOMPARE(upgrade.findChild<QProgressBar*>()->value(), 60);
        shoot(&upgrade, QStringLiteral("upgrade-progress.png"));
    }
    {
        ResolutionSettingDlg resolution(ScreenResolution_t{3840, 2160, 30});
        resolution.show();
        shoot(&resolution, QStringLiteral("resolution.png"));
    }
}

void TestPageShots::watchedChanges()
{
    // Two decoders restart after an import and take a while to come back; one of them never does.
    QJsonObject fleet = QJsonDocument::fromJson(MatrixSdkWorker::defaultFleetJson()).object();
    fleet.insert(QStringLiteral("latencyMs"), 0);
    fleet.insert(QStringLiteral("restartMs"), 1500);
    QVERIFY(worker().loadFleet(QJsonDocument(fleet).toJson()));
    pral_matrix::DecoderWatch& watch = worker().changeWatch();
    const pral_matrix::DecoderWatch::Options before = watch.options();
    pral_matrix::DecoderWatch::Options quick = before;
    quick.timeoutMs = 3000;
    quick.retryMs = 50;
    watch.setOptions(quick);
    const auto restore = qScopeGuard([&watch, before] { watch.setOptions(before); });

    MatrixInfoMap decoders = found({Main, Single, Eight});
    for (MatrixInfo& decoder : decoders) {
        decoder.userName = stored(decoder.ip).userName;
        decoder.password = stored(decoder.ip).password;
    }
    DecoderManagementDlg managed(decoders, MatrixInfoMap(), false);
    managed.show();
    QTRY_COMPARE(status(&managed, Single), shown(SearchClass, "connect success"));
    const QString config = dir->filePath(QStringLiteral("main.matrix"));
    const QString singleConfig = dir->filePath(QStringLiteral("single.matrix"));
    // Results taken in this thread: a spy called from the service thread could be gone by the time it
    // returns.
    int exported = 0;
    int started = 0;
    QObject receiver;
    connect(&worker(), &MatrixSdkWorker::signalExportConfigResult, &receiver, [&exported] { ++exported; });
    connect(&watch, &pral_matrix::DecoderWatch::signalWatchStarted, &receiver, [&started] { ++started; });
    worker().exportMatrixConfig(worker().getHandleByIp(Main), config);
    worker().exportMatrixConfig(worker().getHandleByIp(Single), singleConfig);
    QTRY_COMPARE(exported, 2);
    worker().importMatrixConfig(worker().getHandleByIp(Main), config);
    worker().importMatrixConfig(worker().getHandleByIp(Single), singleConfig);
    QTRY_COMPARE(started, 2);
    // The rows of the decoders watched carry the mark, their words unchanged; the tooltip tells what is
    // awaited.
    auto* table = managed.findChild<QTableWidget*>(QStringLiteral("decoderTableWidget"));
    QTableWidgetItem* mainStatus = table->item(rowOf(&managed, Main), NumberColumn);
    QTRY_VERIFY(!mainStatus->icon().isNull());
    QCOMPARE(status(&managed, Main), shown(SearchClass, "connect success"));
    shoot(&managed, QStringLiteral("management-watching.png"), versions(decoders));
    const QRect cell = table->visualItemRect(mainStatus);
    QToolTip::showText(table->viewport()->mapToGlobal(cell.center()), mainStatus->toolTip(), table);
    QWidget* tooltip = nullptr;
    QTRY_VERIFY((tooltip = [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->inherits("QTipLabel") && w->isVisible())
                return w;
        }
        return static_cast<QWidget*>(nullptr);
    }()));
    shoot(tooltip, QStringLiteral("management-watching-tooltip.png"));
    QToolTip::hideText();

    // One comes back with the imported configuration; the other is never heard of again.
    worker().faults().setUnreachable(Single);
    QTRY_VERIFY_WITH_TIMEOUT(managed.findChild<WatchReportDlg*>() &&
                                 managed.findChild<WatchReportDlg*>()->isVisible() &&
                                 managed.findChild<WatchReportDlg*>()->waitingCount() == 0,
                             10000);
    auto* report = managed.findChild<WatchReportDlg*>();
    report->resize(760, 260);
    shoot(report, QStringLiteral("watch-report.png"), {Main, Single});
    const QList<QWidget*> toasts = PSingleton<SystemAssistant>::_instance().alertWindows();
    QCOMPARE(toasts.size(), 2);
    shoot(toasts.at(0), QStringLiteral("watch-notice-back.png"), {Main});
    shoot(toasts.at(1), QStringLiteral("watch-notice-not-back.png"), {Single});
    report->close();
    worker().faults().clear();
}

void TestPageShots::everyKindOfOutcome()
{
    // Each change the service checks, and each way a check can end, listed in one report.
    QJsonObject fleet = QJsonDocument::fromJson(MatrixSdkWorker::defaultFleetJson()).object();
    fleet.insert(QStringLiteral("latencyMs"), 0);
    fleet.insert(QStringLiteral("upgradeStepMs"), 10);
    fleet.insert(QStringLiteral("confirmWindowMs"), 800);
    QVERIFY(worker().loadFleet(QJsonDocument(fleet).toJson()));
    pral_matrix::DecoderWatch& watch = worker().changeWatch();
    const pral_matrix::DecoderWatch::Options before = watch.options();
    pral_matrix::DecoderWatch::Options quick = before;
    quick.timeoutMs = 3000;
    quick.retryMs = 50;
    watch.setOptions(quick);
    const auto restore = qScopeGuard([&watch, before] { watch.setOptions(before); });
    WatchReportDlg report;
    connect(&watch, &pral_matrix::DecoderWatch::signalWatchStarted, &report, &WatchReportDlg::record);
    connect(&watch, &pral_matrix::DecoderWatch::signalWatchFinished, &report, &WatchReportDlg::record);
    for (const QString& ip : {Main, Single, Eight, Other, Control}) {
        worker().connectMatrix(stored(ip), nullptr);
        QTRY_VERIFY(worker().getHandleByIp(ip));
    }
    const QString firmware = dir->filePath(QStringLiteral("fw.bin"));
    QVERIFY(writeFirmwareFile(firmware, QStringLiteral("TVD-04"), QStringLiteral("V2.5.0")));
    DeviceInfo_t card{};
    qstrncpy(card.ip, Main.toLatin1().constData(), sizeof card.ip);
    qstrncpy(card.userName, "admin", sizeof card.userName);
    qstrncpy(card.password, Password.toLatin1().constData(), sizeof card.password);
    const auto network = [](const char* address) {
        DeviceNetworkCfg_t cfg{};
        qstrncpy(cfg.ipv4Addr, address, sizeof cfg.ipv4Addr);
        qstrncpy(cfg.ipv4Mask, "255.255.255.0", sizeof cfg.ipv4Mask);
        return cfg;
    };
    worker().setUpdateMatrixInfo({card}, firmware);
    worker().userPasswordModify(worker().getHandleByIp(Single), Password, QStringLiteral("Tvwall@2031"));
    worker().setMatrixNetworkConfig(worker().getHandleByIp(Eight), stored(Eight), stored(Eight),
                                    network("192.0.2.88"), 3, nullptr);
    worker().faults().setUnreachable(QStringLiteral("192.0.2.89"));
    worker().setMatrixNetworkConfig(worker().getHandleByIp(Other), stored(Other), stored(Other),
                                    network("192.0.2.89"), 3, nullptr);
    worker().factoryReset(worker().getHandleByIp(Control));
    pral_matrix::WatchRequest fresh;
    fresh.kind = pral_matrix::ChangeKind::Import;
    fresh.ip = Fresh;
    fresh.userName = QStringLiteral("admin");
    fresh.password = Password;
    watch.watch(fresh);
    pral_matrix::WatchRequest gone = fresh;
    gone.ip = QStringLiteral("192.0.2.99");
    gone.kind = pral_matrix::ChangeKind::Upgrade;
    watch.watch(gone);
    report.resize(1000, 440);
    report.show();
    QTRY_VERIFY_WITH_TIMEOUT(report.rowCount() == 7 && report.waitingCount() == 0, 10000);
    shoot(&report, QStringLiteral("watch-report-outcomes.png"),
          {Main, Single, Eight, Other, Control, Fresh, QStringLiteral("192.0.2.88"),
           QStringLiteral("192.0.2.89"), QStringLiteral("192.0.2.99"), QStringLiteral("V2.5.0"),
           QStringLiteral("V2.3.1 build 240611"), QStringLiteral("255.255.255.0")});
    worker().faults().clear();
}

void TestPageShots::storeKeyNotice()
{
    // A stored password whose key file is gone: the longest notice the store has, in the box the host
    // shows it in.
    const QDir data(MatrixSdkWorker::dataDirectory());
    QVERIFY(data.mkpath(QStringLiteral(".")));
    QFile list(data.filePath(QString::fromLatin1(pral_matrix::MatrixStore::DecoderFileName)));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(
        R"({"format":"tvwall-decoders","version":1,"decoders":[{"ip":"192.0.2.10","passwordSealed":"xc2:)" +
        QByteArray(40, 'A').toBase64() + R"("}]})");
    list.close();
    MatrixSdkWorker::setDataDirectory(data.path());
    QSignalSpy notices(&worker(), &MatrixSdkWorker::signalStoreKeyProblem);
    QVERIFY(MatrixSdkWorker::getDecoderFromJson().contains(QStringLiteral("192.0.2.10")));
    QVERIFY(notices.wait());
    const QString text = notices.first().first().toString();
    ModalAnswerer answer(QStringLiteral("PCOMMON::PMessageBox"), [&](QWidget* box) {
        shoot(box, QStringLiteral("store-key-notice.png"), {dir->filePath(QStringLiteral("store.key"))});
        QVERIFY(ModalAnswerer::clickButton(box, QStringLiteral("okBtn")));
    });
    PCOMMON::PMessageBox::information(nullptr, text, 1, false);
    QVERIFY(answer.answered());
}

void TestPageShots::fileDialog()
{
    // A folder of its own with two files, its name short enough for the side bar.
    QTemporaryDir folder;
    const QDir files(folder.filePath(QStringLiteral("configs")));
    QVERIFY(files.mkpath(QStringLiteral(".")));
    for (const char* name : {"lobby.matrix", "control-room.matrix"}) {
        QFile file(files.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    ExportConfigDlg chooser(false);
    chooser.show();
    QStringList faint{QStringLiteral("no file dialog")};
    ModalAnswerer answer(QStringLiteral("QFileDialog"), [&](QWidget* w) {
        auto* dialog = static_cast<QFileDialog*>(w);
        const auto close = qScopeGuard([dialog] { dialog->reject(); });
        dialog->setDirectory(files.path());
        dialog->setSidebarUrls({QUrl::fromLocalFile(files.path())});
        dialog->setViewMode(QFileDialog::List);
        dialog->resize(760, 440);
        auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
        QTRY_COMPARE(list->model()->rowCount(list->rootIndex()), 2);
        // The labels of the host's file dialog are read on its own face, whatever dialog opened it.
        faint = faintTexts(dialog);
        shoot(dialog, QStringLiteral("file-dialog.png"),
              {files.path(), QStringLiteral("lobby.matrix"), QStringLiteral("control-room.matrix"),
               QStringLiteral("matrix")});
    });
    QTest::mouseClick(chooser.findChild<QLineEdit*>(QStringLiteral("filePath")), Qt::LeftButton);
    QVERIFY(answer.answered());
    QVERIFY2(faint.isEmpty(), qPrintable(faint.join(QLatin1Char('\n'))));
}

void TestPageShots::noticesOverThePage()
{
    storeControlRoom();
    form = std::make_unique<MatrixConfigForm>();
    form->resize(1280, 760);
    form->show();
    QTRY_VERIFY(wallRow(form.get(), "Control room") && wallRow(form.get(), "Control room")->isConnected());
    QTest::mouseClick(wallRow(form.get(), "Control room"), Qt::LeftButton);
    QTRY_COMPARE(form->findChild<ScreenLayoutWt*>()->screenCount(), 12);
    form->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), form.get());
    PSingleton<SystemAssistant>::_instance().closeAll();
    // The notice of a click on the wall's connect button covers neither a heading nor a screen's label.
    SystemAssistant::messageAlert(
        pral_contact::DictDef::alertSuccess,
        shown(FormClass, "Tvwall(%1):Connect success!").arg(QStringLiteral("Control room")));
    const QList<QWidget*> notices = PSingleton<SystemAssistant>::_instance().alertWindows();
    QCOMPARE(notices.size(), 1);
    const QRect notice = notices.first()->frameGeometry();
    const auto onScreen = [](const QWidget* w, const QRect& r) {
        return QRect(w->mapToGlobal(r.topLeft()), r.size());
    };
    for (const char* heading : {"widgetTop", "widgetCenter", "widgethead"}) {
        const auto* bar = form->findChild<QWidget*>(QString::fromLatin1(heading));
        QVERIFY2(!notice.intersects(onScreen(bar, bar->rect())), heading);
    }
    auto* grid = form->findChild<ScreenLayoutWt*>();
    for (int i = 0; i < grid->screenCount(); ++i) {
        const auto* label = grid->screen(i)->findChild<QLabel*>(QStringLiteral("titlelabel"));
        const QRect text =
            QStyle::alignedRect(Qt::LeftToRight, label->alignment(),
                                label->fontMetrics().size(0, label->text()), label->contentsRect());
        QVERIFY2(!notice.intersects(onScreen(label, text)), qPrintable(label->text()));
    }
    shootWithNotices(form.get(), QStringLiteral("page-notices.png"), {QStringLiteral("Control room")});
}

void TestPageShots::hintAfterTheLastWallGoes()
{
    storeControlRoom();
    form = std::make_unique<MatrixConfigForm>();
    form->resize(1280, 760);
    form->show();
    QTRY_VERIFY(wallRow(form.get(), "Control room"));
    auto* tree = form->findChild<QTreeWidget*>(QStringLiteral("rsTreeWidget"));
    tree->setCurrentItem(tree->topLevelItem(0));
    QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("deleteBtn")), Qt::LeftButton);
    QTRY_VERIFY(!form->isUpdatePending() && !wallRow(form.get(), "Control room"));
    auto* hint = form->findChild<QLabel*>(QStringLiteral("emptyHintLabel"));
    QVERIFY(hint && hint->isVisible());
    shoot(QStringLiteral("page-empty-after-delete.png"));
}

void TestPageShots::batchUpgrade()
{
    // Decoders made for one model at several versions, one made for another, one not connected.
    QJsonArray list;
    const QString old = QStringLiteral("V2.3.1 build 240611");
    const QList<QStringList> setups{
        {QStringLiteral("40"), QStringLiteral("TVD-04"), old},
        {QStringLiteral("41"), QStringLiteral("TVD-04"), QStringLiteral("V2.4.2")},
        {QStringLiteral("42"), QStringLiteral("TVD-04"), old},
        {QStringLiteral("43"), QStringLiteral("TVD-04"), QStringLiteral("V2.5.0")},
        {QStringLiteral("44"), QStringLiteral("TVD-08"), QStringLiteral("V2.2.0 build 231120")},
        {QStringLiteral("45"), QStringLiteral("TVD-04"), old},
        {QStringLiteral("46"), QStringLiteral("TVD-04"), old},
        {QStringLiteral("47"), QStringLiteral("TVD-04"), QStringLiteral("V2.4.2")},
        {QStringLiteral("48"), QStringLiteral("TVD-04"), old},
        {QStringLiteral("49"), QStringLiteral("TVD-04"), old}};
    QStringList data{QStringLiteral("TVD-04"), QStringLiteral("TVD-08"), QStringLiteral("V2.5.0")};
    QList<MatrixInfo> decoders;
    for (const QStringList& setup : setups) {
        const QString ip = QStringLiteral("192.0.2.") + setup.at(0);
        const int channels = setup.at(1) == QLatin1String("TVD-08") ? 8 : 4;
        list.append(QJsonObject{{"ip", ip},
                                {"deviceId", QStringLiteral("TVD-SHOT-") + setup.at(0)},
                                {"model", setup.at(1)},
                                {"type", 3},
                                {"channels", channels},
                                {"version", setup.at(2)},
                                {"password", Password},
                                {"mask", "255.255.255.0"}});
        decoders << stored(ip);
        data << ip << setup.at(2);
    }
    // The fleet's own upgrade pace, quick answers.
    QVERIFY(worker().loadFleet(
        QJsonDocument(QJsonObject{{"latencyMs", 0}, {"upgradeStepMs", 300}, {"decoders", list}}).toJson()));
    for (const MatrixInfo& decoder : decoders) {
        if (!decoder.ip.endsWith(QLatin1String(".45")))
            worker().connectMatrix(decoder, nullptr);
    }
    QTRY_VERIFY(worker().getHandleByIp(decoders.last().ip) && worker().getHandleByIp(decoders.first().ip));
    QVERIFY(maint::flushService());
    pral_matrix::DecoderWatch& watch = worker().changeWatch();
    const pral_matrix::DecoderWatch::Options before = watch.options();
    pral_matrix::DecoderWatch::Options patient = before;
    patient.timeoutMs = 60000;
    patient.retryMs = 50;
    watch.setOptions(patient);
    const auto restore = qScopeGuard([&watch, before] { watch.setOptions(before); });

    QTemporaryDir files;
    QVERIFY(QDir(files.path()).mkpath(QStringLiteral("decoders/firmware/TVD-04")));
    const QString image = files.filePath(QStringLiteral("decoders/firmware/TVD-04/decoder-V2.5.0.bin"));
    QVERIFY(writeFirmwareFile(image, QStringLiteral("TVD-04"), QStringLiteral("V2.5.0")));
    data << QDir::toNativeSeparators(image);
    const auto state = [](QWidget* dialog, const QString& ip) {
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("runTable"));
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text() == ip)
                return table->item(row, 4)->text();
        }
        return QString();
    };
    {
        // The checks: each decoder with what was found, and those left out with why.
        BatchUpgradeDlg checks(decoders.mid(0, 6), {});
        checks.show();
        checks.chooseImage(image);
        auto* table = checks.findChild<QTableWidget*>(QStringLiteral("checkTable"));
        QTRY_COMPARE(table->item(0, 5)->text(), shown("pral_matrixConfig::BatchUpgradeDlg", "ready"));
        // The pointer on the title, where it lights up no cell.
        QCursor::setPos(checks.mapToGlobal(QPoint(checks.width() / 2, 8)));
        QTRY_VERIFY(!table->viewport()->underMouse());
        shoot(&checks, QStringLiteral("batch-checks.png"), data);
    }
    // Mid-run, three at a time: one back with the new version, one failed, one that does not come back
    // (still restarting), two being sent the image, two waiting, two left out.
    worker().faults().failUpgradeOf(QStringLiteral("192.0.2.41"), 9);
    worker().faults().setUnreachable(QStringLiteral("192.0.2.42"));
    QList<MatrixInfo> run = decoders;
    run.removeAt(5);
    BatchUpgradeDlg batch(run, {});
    batch.show();
    auto* spin = batch.findChild<QSpinBox*>(QStringLiteral("concurrencySpin"));
    spin->setValue(3);
    batch.chooseImage(image);
    auto* checkTable = batch.findChild<QTableWidget*>(QStringLiteral("checkTable"));
    QTRY_COMPARE(checkTable->item(0, 5)->text(), shown("pral_matrixConfig::BatchUpgradeDlg", "ready"));
    click(&batch, "startBt");
    const char* const context = "pral_matrixConfig::BatchUpgradeDlg";
    const QString done = shown(context, "done: %1").arg(QString());
    const QString failed = shown(context, "failed: %1").arg(QString());
    const QString restarting = shown(context, "restarting");
    QTRY_VERIFY_WITH_TIMEOUT(state(&batch, QStringLiteral("192.0.2.40")).startsWith(done) &&
                                 state(&batch, QStringLiteral("192.0.2.41")).startsWith(failed) &&
                                 state(&batch, QStringLiteral("192.0.2.42")) == restarting &&
                                 batch.runningCount() == 3,
                             15000);
    QCursor::setPos(batch.mapToGlobal(QPoint(batch.width() / 2, 8)));
    QTRY_VERIFY(!batch.findChild<QTableWidget*>(QStringLiteral("runTable"))->viewport()->underMouse());
    shoot(&batch, QStringLiteral("batch-running.png"), data);
    static_cast<QDialog&>(batch).reject();
}

namespace {
/** A 2 x 2 or larger wall on the default fleet's Main from output ids row by row; "-" leaves a screen
 * unbound. */
TvWallManagement lobbyWall(const QString& name, int rows, int cols, const QStringList& outputs)
{
    TvWallManagement wall;
    wall.tvWallName = name;
    wall.mainIp = Main;
    wall.row = rows;
    wall.col = cols;
    for (int i = 0; i < outputs.size(); ++i) {
        MatrixInfo screen;
        screen.row = i / cols;
        screen.column = i % cols;
        if (outputs.at(i) != QLatin1String("-")) {
            screen.ip = outputs.at(i).section('-', 0, 0);
            screen.channel = outputs.at(i).contains('-') ? outputs.at(i).section('-', 1).toInt() : 1;
            screen.matrixType = outputs.at(i).contains('-') ? pral_matrix::MATRIX_TYPE_MULTI_OUTPUT
                                                            : pral_matrix::MATRIX_TYPE_SINGLE_OUTPUT;
        }
        wall.matrixInfoList << screen;
    }
    return wall;
}
} // namespace

// Another desk changed a wall: the tree marks it when this desk connects, and a save shows the difference
// before it sends.
void TestPageShots::wallChangedElsewhere()
{
    // This desk last saw output 3 on screen 1-2; the decoder holds its fleet wall, with output 2 there.
    const TvWallManagement seen =
        lobbyWall(QStringLiteral("Lobby wall"), 2, 2, {Main + "-1", Main + "-3", Single, Eight + "-1"});
    MatrixSdkWorker::addDecoderToJson({stored(Main), stored(Single), stored(Eight)});
    MatrixSdkWorker::addMatrixToJson({seen});
    MatrixSdkWorker::setWallCopyToJson(seen.tvWallName, pral_matrix::DecoderWallCopy{true, seen, false});
    MatrixSdkWorker::flushStore();
    form = std::make_unique<MatrixConfigForm>();
    form->resize(1280, 760);
    form->show();
    QTRY_VERIFY(wallRow(form.get(), "Lobby wall") && wallRow(form.get(), "Lobby wall")->isChangedOnDecoder());
    QTRY_VERIFY(!form->isUpdatePending());
    const QStringList data{QStringLiteral("Lobby wall"), Main, Single, Eight};
    shoot(form.get(), QStringLiteral("page-wall-changed-elsewhere.png"), data);
    ConnectMatrixItem* row = wallRow(form.get(), "Lobby wall");
    QToolTip::showText(row->mapToGlobal(row->rect().center()), row->toolTip(), row);
    QWidget* tooltip = nullptr;
    QTRY_VERIFY((tooltip = [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->inherits("QTipLabel") && w->isVisible())
                return w;
        }
        return static_cast<QWidget*>(nullptr);
    }()));
    shoot(tooltip, QStringLiteral("page-wall-changed-tooltip.png"));
    QToolTip::hideText();
    form.reset();

    // Renamed and regrown elsewhere: outputs moved, one bound anew, one unbound.
    const TvWallManagement held = lobbyWall(
        QStringLiteral("Atrium"), 2, 3, {Main + "-2", Main + "-1", Single, Eight + "-2", Eight + "-3", "-"});
    WallDifferenceDlg difference(
        Main, lobbyWall(QStringLiteral("Lobby wall"), 2, 2, {Main + "-1", Main + "-2", Single, Eight + "-1"}),
        held);
    difference.show();
    QVERIFY(QTest::qWaitForWindowExposed(&difference));
    QCOMPARE(difference.shownRows().size(), 6);
    shoot(&difference, QStringLiteral("wall-difference.png"),
          {QStringLiteral("Lobby wall"), QStringLiteral("Atrium"), Main, Single, Eight});
}

QTEST_MAIN(TestPageShots)
#include "tst_pageshots.moc"
