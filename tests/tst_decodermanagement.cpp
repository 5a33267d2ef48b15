// The decoder list dialog and its row widget: the table, the check boxes,
// deletion, search and add (with login and TV-wall sync), activation and
// address change, driven through the real widgets against the simulated fleet.

#include "decodermanagementdlg.h"
#include "decoderoprwt.h"
#include "dictdef.h"
#include "disabledwaitingwtmanager.h"
#include "faultinjector.h"
#include "ipeditwt.h"
#include "managementtesthelpers.h"
#include "matrixsdkworker.h"
#include "modalanswerer.h"
#include "servicethread.h"
#include "systemassistant.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>

using namespace mgmt;
using pral_matrix::FaultInjector;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;
using pral_matrixConfig::DecoderManagementDlg;
using pral_matrixConfig::DecoderOprWt;
using pral_worker::SystemAssistant;

namespace {

const char* const SearchClass = "pral_matrixConfig::DecoderManagementDlg";
const char* const LoginClass = "pral_matrix::UserLoginDlg";
const char* const BoxClass = "PCOMMON::PMessageBox";
const char* const SyncClass = "pral_matrixConfig::MatrixInfoSyncDlg";
const char* const ActiveClass = "pral_matrixConfig::DevActiveDlg";
const char* const NetworkClass = "pral_matrixConfig::DecoderNetworkConfigDlg";

bool visibleIn(QWidget* dialog, const char* name)
{
    auto* w = dialog->findChild<QWidget*>(QString::fromLatin1(name));
    return w && w->isVisibleTo(dialog);
}

int searchDialogCount()
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        count += (w->inherits(SearchClass) && w->isVisible() && w->windowTitle() == "Search Decoder") ? 1 : 0;
    return count;
}

} // namespace

class TestDecoderManagement : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Row widget
    void oprWtManagementRow();
    void oprWtSearchRow();

    // Table
    void managementTable();
    void searchTable();
    void checkBoxes();
    void deleteRow_data();
    void deleteRow();

    // Search and add
    void searchFindsNothingNew();
    void searchAddLoginSync();
    void addWithEveryConnectionFailing();
    void addNeedsAnActivatedRow();
    void addLoginCancelledThenRetried();
    void addStopsAtAnAddressAlreadyListed();
    void successForAnUnlistedDecoderCounts();
    void secondSearchWhileOneRuns();
    void refreshInSearchDialog();

    // Activation
    void singleActivation();
    void pathActivation();
    void pathActivationNeedsAnUnactivatedRow();
    void activationFailures();

    // Address change
    void addressChangeWithLogin();
    void addressChangeToListedAddress();
    void addressChangeWrongPassword();
    void emptyNetworkAnswer();

private:
    std::unique_ptr<DecoderManagementDlg> management(const QList<MatrixInfo>& decoders);
    QStringList alerts() const;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QSignalSpy> alertSpy;
    std::unique_ptr<DecoderManagementDlg> dialog;
};

void TestDecoderManagement::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    MatrixSdkWorker::setDataDirectory(dir->filePath(QStringLiteral("data")));
    MatrixSdkWorker::setSecretKeyFile(dir->filePath(QStringLiteral("store.key")));
    QString error;
    QVERIFY2(worker().loadFleet(MatrixSdkWorker::defaultFleetJson(), &error), qPrintable(error));
    worker().setResultDelay(0);
    worker().faults().clear();
    alertSpy = std::make_unique<QSignalSpy>(&PSingleton<SystemAssistant>::_instance(),
                                            &SystemAssistant::signalAlert);
}

void TestDecoderManagement::cleanup()
{
    dialog.reset();
    alertSpy.reset();
    PSingleton<SystemAssistant>::_instance().closeAll();
    worker().faults().clear();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

std::unique_ptr<DecoderManagementDlg> TestDecoderManagement::management(const QList<MatrixInfo>& decoders)
{
    auto made = std::make_unique<DecoderManagementDlg>(mapOf(decoders), MatrixInfoMap(), false, nullptr);
    made->show();
    return made;
}

QStringList TestDecoderManagement::alerts() const
{
    QStringList texts;
    for (const QList<QVariant>& args : *alertSpy) {
        // Every report of this dialog is a notice.
        if (args.at(0).toString() == pral_contact::DictDef::alertNotice)
            texts << args.at(1).toString();
    }
    return texts;
}

// ---- row widget ----

void TestDecoderManagement::oprWtManagementRow()
{
    DecoderOprWt row(Main, false);
    QCOMPARE(row.windowTitle(), QStringLiteral("PersonInfoWt"));
    QCOMPARE(row.minimumSize(), QSize(260, 30));
    QCOMPARE(row.maximumSize(), QSize(289, 30));
    QVERIFY(visibleIn(&row, "changePwdBtn"));
    QVERIFY(visibleIn(&row, "devConfigBtn"));
    QVERIFY(visibleIn(&row, "deleteBtn"));
    QVERIFY(!visibleIn(&row, "changeIpBtn"));

    QSignalSpy pwd(&row, &DecoderOprWt::sig_changePwdBtnClicked);
    QSignalSpy config(&row, &DecoderOprWt::sig_deviceConfigBtnClicked);
    QSignalSpy del(&row, &DecoderOprWt::sig_deleteBtnClicked);
    click(&row, "changePwdBtn");
    click(&row, "devConfigBtn");
    row.setIp(Other);
    click(&row, "deleteBtn");
    QCOMPARE(pwd.count(), 1);
    QCOMPARE(pwd.at(0).at(0).toString(), Main);
    QCOMPARE(config.at(0).at(0).toString(), Main);
    // After an address change every later signal names the new address.
    QCOMPARE(del.at(0).at(0).toString(), Other);
}

void TestDecoderManagement::oprWtSearchRow()
{
    DecoderOprWt row(Fresh, true);
    QVERIFY(!visibleIn(&row, "changePwdBtn"));
    QVERIFY(!visibleIn(&row, "devConfigBtn"));
    QVERIFY(!visibleIn(&row, "deleteBtn"));
    QVERIFY(visibleIn(&row, "changeIpBtn"));
    auto* button = row.findChild<QPushButton*>("changeIpBtn");
    QSignalSpy spy(&row, &DecoderOprWt::sig_changeIpOrActiveBtnClicked);

    row.setActiveMode(false);
    QCOMPARE(button->text(), QStringLiteral("Active"));
    click(&row, "changeIpBtn");
    row.setActiveMode(true);
    QCOMPARE(button->text(), QStringLiteral("Change Ip"));
    click(&row, "changeIpBtn");
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0), (QList<QVariant>{Fresh, false}));
    QCOMPARE(spy.at(1), (QList<QVariant>{Fresh, true}));
}

// ---- table ----

void TestDecoderManagement::managementTable()
{
    // Stored out of address order and without what only a connection tells.
    dialog = management({stored(Eight), stored(Main), stored(Single)});
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Decoder Management"));
    QCOMPARE(dialog->findChild<QLabel*>("label")->text(), QStringLiteral("Decoder Management"));
    QCOMPARE(dialog->size(), QSize(860, 500));
    QVERIFY(visibleIn(dialog.get(), "searchBtn"));
    QVERIFY(visibleIn(dialog.get(), "patchChangePwdBtn"));
    QVERIFY(!visibleIn(dialog.get(), "refreshBtn"));
    QVERIFY(!visibleIn(dialog.get(), "pathActiveBtn"));
    QVERIFY(!visibleIn(dialog.get(), "cancelBtn"));
    QCOMPARE(dialog->findChild<QPushButton*>("saveBtn")->text(), QStringLiteral("ok"));
    QCOMPARE(dialog->findChild<QLabel*>("managedDecoderStatus")->text(), QStringLiteral("Connect Status"));

    QTableWidget* t = table(dialog.get());
    QVERIFY(t->horizontalHeader()->isHidden());
    QVERIFY(t->verticalHeader()->isHidden());
    QCOMPARE(t->columnCount(), 7);
    QCOMPARE(t->rowCount(), 3);
    QCOMPARE(t->height(), 90);
    const int w = t->width();
    const int u = w / 14;
    const QList<int> expected{u, u, 2 * u, u, 2 * u, 2 * u, w - 9 * u};
    QList<int> widths;
    for (int c = 0; c < 7; ++c)
        widths << t->columnWidth(c);
    QCOMPARE(widths, expected);

    QCOMPARE(listedIps(dialog.get()), (QStringList{Main, Single, Eight}));
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(t->rowHeight(row), 30);
        QCOMPARE(cell(dialog.get(), row, NumberColumn), QString::number(row + 1));
        QCOMPARE(t->item(row, 0)->data(Qt::UserRole + 2).toString(), listedIps(dialog.get()).at(row));
        QVERIFY(qobject_cast<QCheckBox*>(t->cellWidget(row, 0)));
        QVERIFY(qobject_cast<DecoderOprWt*>(t->cellWidget(row, 6)));
        QCOMPARE(t->item(row, StatusColumn)->textAlignment(), int(Qt::AlignCenter));
    }
    // Every row starts connecting at once; the fleet's answers follow.
    QCOMPARE(status(dialog.get(), Single), QStringLiteral("connecting"));
    QTRY_COMPARE(status(dialog.get(), Eight), QStringLiteral("connect success"));
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));

    // The connection tells the type and version, which the stored record lacked.
    const MatrixInfo eight = dialog->getMatrixInfoMap().value(Eight);
    QCOMPARE(int(eight.matrixType), 3);
    QCOMPARE(eight.version, QStringLiteral("V2.2.0 build 231120"));
    QCOMPARE(eight.connectStatus, 1);
    QVERIFY(!worker().getHandleByIp(Eight).isNull());
}

void TestDecoderManagement::searchTable()
{
    QSignalSpy results(&worker(), &MatrixSdkWorker::signalConnectMatrixResult);
    DecoderManagementDlg search(found({Other, Fresh}), mapOf({stored(Main)}), true, nullptr);
    search.show();
    QCOMPARE(search.windowTitle(), QStringLiteral("Search Decoder"));
    QCOMPARE(search.findChild<QLabel*>("label")->text(), QStringLiteral("Search Decoder"));
    QCOMPARE(search.findChild<QPushButton*>("saveBtn")->text(), QStringLiteral("Add"));
    QCOMPARE(search.findChild<QLabel*>("managedDecoderStatus")->text(), QStringLiteral("Active status"));
    QVERIFY(!visibleIn(&search, "searchBtn"));
    QVERIFY(!visibleIn(&search, "patchChangePwdBtn"));
    QVERIFY(visibleIn(&search, "refreshBtn"));
    QVERIFY(visibleIn(&search, "pathActiveBtn"));
    QVERIFY(visibleIn(&search, "cancelBtn"));
    QVERIFY(!search.findChild<QPushButton*>("refreshBtn")->icon().isNull());

    QCOMPARE(status(&search, Other), QStringLiteral("activated"));
    QCOMPARE(status(&search, Fresh), QStringLiteral("unactivated"));
    QCOMPARE(rowOpr(&search, Other)->findChild<QPushButton*>("changeIpBtn")->text(),
             QStringLiteral("Change Ip"));
    QCOMPARE(rowOpr(&search, Fresh)->findChild<QPushButton*>("changeIpBtn")->text(),
             QStringLiteral("Active"));
    QCOMPARE(table(&search)->item(rowOf(&search, Fresh), 0)->data(Qt::UserRole + 1).toString(),
             QStringLiteral("DS-6904UDI-20240101EE"));

    // A search dialog only lists what it found: it logs into nothing by itself.
    QVERIFY(runOnServiceThread([] {}));
    QCOMPARE(results.count(), 0);

    click(&search, "cancelBtn");
    QCOMPARE(search.result(), int(QDialog::Rejected));
}

void TestDecoderManagement::checkBoxes()
{
    dialog = management({stored(Main), stored(Single), stored(Eight)});
    auto* all = dialog->findChild<QCheckBox*>("selectAllCheckBox");
    QCOMPARE(all->styleSheet(), QStringLiteral("padding-left:25px;"));

    clickRowBox(dialog.get(), Main);
    clickRowBox(dialog.get(), Single);
    QVERIFY(!all->isChecked());
    clickRowBox(dialog.get(), Eight);
    QVERIFY(all->isChecked());
    clickRowBox(dialog.get(), Single);
    QVERIFY(!all->isChecked());
    QVERIFY(rowBox(dialog.get(), Main)->isChecked());

    // Clicking the select-all box sets every row, whatever each row held.
    clickCheckBox(all);
    QVERIFY(all->isChecked());
    for (const QString& ip : {Main, Single, Eight})
        QVERIFY(rowBox(dialog.get(), ip)->isChecked());
    clickCheckBox(all);
    for (const QString& ip : {Main, Single, Eight})
        QVERIFY(!rowBox(dialog.get(), ip)->isChecked());

    // Set from code, the box leaves the rows alone: it listens to clicks only.
    all->setChecked(true);
    QVERIFY(!rowBox(dialog.get(), Main)->isChecked());
}

void TestDecoderManagement::deleteRow_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("middle of three") << QStringList{Main, Single, Eight} << Single << true;
    QTest::newRow("first of three") << QStringList{Main, Single, Eight} << Main << true;
    QTest::newRow("the only row") << QStringList{Eight} << Eight << true;
    QTest::newRow("declined") << QStringList{Main, Single} << Main << false;
}

void TestDecoderManagement::deleteRow()
{
    QFETCH(QStringList, listed);
    QFETCH(QString, deleted);
    QFETCH(bool, confirmed);
    QList<MatrixInfo> decoders;
    for (const QString& ip : listed)
        decoders << stored(ip);
    dialog = management(decoders);
    for (const QString& ip : listed)
        QTRY_COMPARE(status(dialog.get(), ip), QStringLiteral("connect success"));

    QStringList reports;
    connect(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged, this, [&](MatrixInfoMap map) {
        reports << QStringLiteral("changed:") + QStringList(map.keys()).join(',');
    });
    connect(dialog.get(), &DecoderManagementDlg::sig_deleteTvwallItem, this,
            [&](QString ip) { reports << QStringLiteral("walls:") + ip; });
    QString question;
    ModalAnswerer answer(BoxClass, confirmed ? confirm(&question) : decline(&question));
    clickRowButton(dialog.get(), deleted, "deleteBtn");
    QVERIFY(answer.answered());
    QCOMPARE(question,
             QStringLiteral(
                 "Delete the decoder will automatically delete the associated TV wall, sure to delete?"));

    QStringList remaining = listed;
    if (!confirmed) {
        QCOMPARE(listedIps(dialog.get()), listed);
        QVERIFY(reports.isEmpty());
        QVERIFY(!worker().getHandleByIp(deleted).isNull());
        return;
    }
    remaining.removeOne(deleted);
    QCOMPARE(listedIps(dialog.get()), remaining);
    QCOMPARE(table(dialog.get())->height(), 30 * remaining.size());
    for (int row = 0; row < remaining.size(); ++row)
        QCOMPARE(cell(dialog.get(), row, NumberColumn), QString::number(row + 1));
    QCOMPARE(dialog->getMatrixInfoMap().keys(), remaining);
    // The list first, then the walls of the decoder that went.
    QCOMPARE(reports, (QStringList{"changed:" + remaining.join(','), "walls:" + deleted}));
    QTRY_VERIFY(worker().getHandleByIp(deleted).isNull());
    QVERIFY(runOnServiceThread([] {}));
    QCOMPARE(dialog->getMatrixInfoMap().keys(), remaining);
}

// ---- search and add ----

void TestDecoderManagement::searchFindsNothingNew()
{
    dialog = management({stored(Main), stored(Single), stored(Eight), stored(Other), stored(Fresh),
                         stored(Fresh2), stored(Control)});
    bool overlayWhileSearching = false;
    QString text;
    ModalAnswerer answer(BoxClass, [&](QWidget* box) {
        overlayWhileSearching = PCOMMON::DisabledWaitingWtManager::count() == 0;
        confirm (&text)(box);
    });
    click(dialog.get(), "searchBtn");
    QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 1);
    QTRY_VERIFY(answer.answered());
    QTRY_COMPARE(text, QStringLiteral("No new decoder found!"));
    // The search overlay is gone before the box shows.
    QVERIFY(overlayWhileSearching);
    QCOMPARE(searchDialogCount(), 0);
}

void TestDecoderManagement::searchAddLoginSync()
{
    dialog = management({stored(Main)});
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    QSignalSpy walls(dialog.get(), &DecoderManagementDlg::sig_tvWallManagementChanged);

    QStringList offered;
    QStringList syncOffered;
    int overlaysDuringAdd = 0;
    ModalScript script({
        {SearchClass,
         [&](QWidget* search) {
             offered = listedIps(search);
             // Two activated decoders and one that is not: only the activated ones are added.
             clickRowBox(search, Eight);
             clickRowBox(search, Control);
             clickRowBox(search, Fresh);
             click(search, "saveBtn");
         }},
        {LoginClass, loginWith("admin", Password)},
        {SyncClass,
         [&](QWidget* sync) {
             overlaysDuringAdd = PCOMMON::DisabledWaitingWtManager::count();
             auto* list = sync->findChild<QListWidget*>("ipListWt");
             for (int i = 0; i < list->count(); ++i)
                 syncOffered << qobject_cast<QCheckBox*>(list->itemWidget(list->item(i)))->text();
             QTest::mouseClick(sync->findChild<QRadioButton*>("yesBtn"), Qt::LeftButton);
             auto* all = sync->findChild<QCheckBox*>("checkAllCheckBox");
             clickCheckBox(all);
             click(sync, "okBtn");
         }},
    });
    click(dialog.get(), "searchBtn");
    QTRY_VERIFY(script.finished());
    QTRY_COMPARE(searchDialogCount(), 0);

    QCOMPARE(offered, (QStringList{Single, Eight, Other, Fresh, Fresh2, Control}));
    // One overlay per decoder; the first result removed the last one made, the other stays with the dialog.
    QCOMPARE(overlaysDuringAdd, 1);
    QCOMPARE(syncOffered, (QStringList{Eight, Control}));
    QCOMPARE(dialog->getSyncMatrixIpList(), (QStringList{Eight, Control}));
    QCOMPARE(listedIps(dialog.get()), (QStringList{Main, Eight, Control}));
    QTRY_COMPARE(status(dialog.get(), Control), QStringLiteral("connect success"));
    QTRY_COMPARE(status(dialog.get(), Eight), QStringLiteral("connect success"));
    QCOMPARE(dialog->getMatrixInfoMap().value(Control).password, Password);

    // Only the sixteen-output decoder holds a wall: it comes back as one TV wall.
    QTRY_COMPARE(walls.count(), 1);
    const auto wall = walls.at(0).at(0).value<TvWallManagement>();
    QCOMPARE(wall.tvWallName, QStringLiteral("Control room"));
    QCOMPARE(wall.mainIp, Control);
    QCOMPARE(qMakePair(wall.row, wall.col), qMakePair(3, 4));
    QCOMPARE(int(wall.mainMatrix.matrixType), 3);
    QCOMPARE(wall.matrixInfoList.size(), 12);
    QCOMPARE(wall.matrixInfoList.at(5).ip, Control);
    QCOMPARE(wall.matrixInfoList.at(5).channel, 6);
    QCOMPARE(qMakePair(wall.matrixInfoList.at(5).row, wall.matrixInfoList.at(5).column), qMakePair(1, 1));
    QCOMPARE(dialog->getMatrixInfoMap().value(Control).subMatrixList.size(), 12);
    QVERIFY(dialog->getMatrixInfoMap().value(Eight).subMatrixList.isEmpty());
}

void TestDecoderManagement::addWithEveryConnectionFailing()
{
    dialog = management({stored(Main)});
    worker().faults().setLoginFault(Eight, FaultInjector::LoginFault::Refuse);
    ModalScript script({
        {SearchClass,
         [&](QWidget* search) {
             clickRowBox(search, Eight);
             click(search, "saveBtn");
         }},
        {LoginClass, loginWith("admin", Password)},
    });
    ModalAnswerer noSync(
        SyncClass, [](QWidget* sync) { click(sync, "cancelBtn"); }, 3000);
    click(dialog.get(), "searchBtn");
    QTRY_VERIFY(script.finished());
    // Accepted without the sync dialog: the decoder is listed and connected again.
    QTRY_COMPARE(searchDialogCount(), 0);
    QVERIFY(!noSync.answered());
    QCOMPARE(listedIps(dialog.get()), (QStringList{Main, Eight}));
    QTRY_COMPARE(status(dialog.get(), Eight), QStringLiteral("connect failed"));
    QVERIFY(dialog->getSyncMatrixIpList().isEmpty());
}

void TestDecoderManagement::addNeedsAnActivatedRow()
{
    DecoderManagementDlg search(found({Fresh, Other}), MatrixInfoMap(), true, nullptr);
    search.show();
    QString text;
    ModalAnswerer box(BoxClass, confirm(&text));
    click(&search, "saveBtn");
    QTRY_COMPARE(text, QStringLiteral("Please select the activated decoder!"));

    clickRowBox(&search, Fresh);
    ModalAnswerer again(BoxClass, confirm(&text));
    text.clear();
    click(&search, "saveBtn");
    QTRY_COMPARE(text, QStringLiteral("Please select the activated decoder!"));
    QVERIFY(search.isVisible());
}

void TestDecoderManagement::addLoginCancelledThenRetried()
{
    QSignalSpy results(&worker(), &MatrixSdkWorker::signalConnectMatrixResult);
    DecoderManagementDlg search(found({Other, Eight}), MatrixInfoMap(), true, nullptr);
    search.show();
    clickRowBox(&search, Other);
    ModalAnswerer cancelLogin(LoginClass, [](QWidget* login) { click(login, "cancelBtn"); });
    click(&search, "saveBtn");
    QVERIFY(cancelLogin.answered());
    QVERIFY(search.isVisible());
    QVERIFY(runOnServiceThread([] {}));
    QCOMPARE(results.count(), 0);

    // Had the cancelled Add kept counting its decoder, this Add would wait for two results forever.
    ModalAnswerer login(LoginClass, loginWith("admin", Password));
    ModalAnswerer sync(SyncClass, [](QWidget* s) { click(s, "okBtn"); });
    click(&search, "saveBtn");
    QTRY_VERIFY(sync.answered());
    QTRY_VERIFY(!search.isVisible());
    QCOMPARE(search.result(), int(QDialog::Accepted));
    QCOMPARE(search.getMatrixInfoMap().keys(), QStringList{Other});
    QCOMPARE(search.getMatrixInfoMap().value(Other).userName, QStringLiteral("admin"));
    // "no" was left selected in the sync dialog.
    QVERIFY(search.getSyncMatrixIpList().isEmpty());
}

void TestDecoderManagement::addStopsAtAnAddressAlreadyListed()
{
    dialog = management({stored(Main)});
    QTRY_COMPARE(status(dialog.get(), Main), QStringLiteral("connect success"));
    DecoderManagementDlg* managing = dialog.get();
    ModalScript script({
        {SearchClass,
         [](QWidget* search) {
             clickRowBox(search, Single);
             clickRowBox(search, Eight);
             clickRowBox(search, Other);
             click(search, "saveBtn");
         }},
        {LoginClass, loginWith("admin", Password)},
        {"pral_matrixConfig::MatrixInfoSyncDlg",
         [managing](QWidget* sync) {
             // Before the Add ends, the listed decoder is reported at the address of one being added.
             QMetaObject::invokeMethod(managing, "slotOnSetMatrixNetworkResult", Q_ARG(int, 0),
                                       Q_ARG(QString, Eight), Q_ARG(QString, Main));
             click(sync, "okBtn");
         }},
    });
    click(dialog.get(), "searchBtn");
    QTRY_VERIFY(script.finished());
    QTRY_COMPARE(searchDialogCount(), 0);
    // In address order: the first address is added, the listed one ends the adding, the last is left out.
    QCOMPARE(listedIps(dialog.get()), (QStringList{Eight, Single}));
    QCOMPARE(dialog->getMatrixInfoMap().keys(), (QStringList{Single, Eight}));
    QTRY_COMPARE(status(dialog.get(), Single), QStringLiteral("connect success"));
}

void TestDecoderManagement::successForAnUnlistedDecoderCounts()
{
    DecoderManagementDlg search(found({Other}), MatrixInfoMap(), true, nullptr);
    search.show();
    clickRowBox(&search, Other);
    worker().setResultDelay(1000);
    QStringList offered;
    ModalAnswerer login(LoginClass, loginWith("admin", Password));
    ModalAnswerer sync(SyncClass, [&](QWidget* dlg) {
        auto* list = dlg->findChild<QListWidget*>("ipListWt");
        for (int i = 0; i < list->count(); ++i)
            offered << qobject_cast<QCheckBox*>(list->itemWidget(list->item(i)))->text();
        click(dlg, "cancelBtn");
    });
    click(&search, "saveBtn");
    QVERIFY(login.answered());
    // A login that somebody else made answers first: it counts for the Add and is offered for sync.
    const QString elsewhere = QStringLiteral("192.0.2.77");
    QVERIFY(runOnServiceThread([elsewhere] {
        emit worker().signalConnectMatrixResult(
            MatrixSdkWorker::makeDetachedHandle(elsewhere, "admin", Password, 1, "v"), 0, 1, nullptr);
    }));
    QVERIFY(sync.answered());
    QCOMPARE(offered, QStringList{elsewhere});
    QTRY_VERIFY(!search.isVisible());
    QCOMPARE(search.result(), int(QDialog::Accepted));
    QVERIFY(search.getSyncMatrixIpList().isEmpty());
}

void TestDecoderManagement::secondSearchWhileOneRuns()
{
    dialog = management({stored(Main)});
    int dialogsWhileOpen = 0;
    int rowsAfterRefresh = 0;
    ModalAnswerer answer(SearchClass, [&](QWidget* search) {
        // Both dialogs receive the refresh's result; the management dialog must not open another one.
        click(search, "refreshBtn");
        QVERIFY(QTest::qWaitFor([&] { return PCOMMON::DisabledWaitingWtManager::count() == 0; }));
        QVERIFY(runOnServiceThread([] {}));
        QCoreApplication::processEvents();
        dialogsWhileOpen = searchDialogCount();
        rowsAfterRefresh = table(search)->rowCount();
        QMetaObject::invokeMethod(dialog.get(), "slot_searchBtnClieked");
        QVERIFY(QTest::qWaitFor([&] { return PCOMMON::DisabledWaitingWtManager::count() == 0; }));
        QVERIFY(runOnServiceThread([] {}));
        QCoreApplication::processEvents();
        dialogsWhileOpen = std::max(dialogsWhileOpen, searchDialogCount());
        click(search, "cancelBtn");
    });
    click(dialog.get(), "searchBtn");
    QTRY_VERIFY(answer.answered());
    QTRY_COMPARE(searchDialogCount(), 0);
    QCOMPARE(dialogsWhileOpen, 1);
    QCOMPARE(rowsAfterRefresh, 6);
    QCOMPARE(listedIps(dialog.get()), QStringList{Main});

    // Closed, it may search again.
    ModalAnswerer next(SearchClass, [](QWidget* search) { click(search, "cancelBtn"); });
    click(dialog.get(), "searchBtn");
    QTRY_VERIFY(next.answered());
}

void TestDecoderManagement::refreshInSearchDialog()
{
    // Made with two found decoders; a refresh lists every decoder not managed, and nothing when none is new.
    DecoderManagementDlg search(found({Other, Eight}), mapOf({stored(Main), stored(Single)}), true, nullptr);
    search.show();
    click(&search, "refreshBtn");
    QTRY_COMPARE(listedIps(&search), (QStringList{Eight, Other, Fresh, Fresh2, Control}));
    QCOMPARE(table(&search)->height(), 5 * 30);
    QCOMPARE(search.getMatrixInfoMap().keys(), (QStringList{Eight, Other, Fresh, Fresh2, Control}));

    DecoderManagementDlg full(found({Other}), found({Main, Single, Eight, Other, Fresh, Fresh2, Control}),
                              true, nullptr);
    full.show();
    search.hide();
    QString text;
    ModalAnswerer box(BoxClass, confirm(&text));
    click(&full, "refreshBtn");
    QTRY_COMPARE(text, QStringLiteral("No new decoder found!"));
    // The other open search dialog got the same answer and still has new decoders to show.
    QCOMPARE(listedIps(&full), QStringList{Other});
}

// ---- activation ----

void TestDecoderManagement::singleActivation()
{
    DecoderManagementDlg search(found({Fresh, Other}), MatrixInfoMap(), true, nullptr);
    search.show();
    ModalAnswerer answer(ActiveClass, activateWith(QStringLiteral("Newpass@2025")));
    clickRowButton(&search, Fresh, "changeIpBtn");
    QVERIFY(answer.answered());
    QTRY_COMPARE(status(&search, Fresh), QStringLiteral("activated"));
    QCOMPARE(rowOpr(&search, Fresh)->findChild<QPushButton*>("changeIpBtn")->text(),
             QStringLiteral("Change Ip"));
    // The record itself keeps what the search reported; the Add reads the row.
    QVERIFY(!search.getMatrixInfoMap().value(Fresh).activated);

    // The decoder now takes that password.
    QSignalSpy results(&worker(), &MatrixSdkWorker::signalConnectMatrixResult);
    worker().connectMatrix(stored(Fresh, QStringLiteral("Newpass@2025")), nullptr);
    QTRY_COMPARE(results.count(), 1);
    QCOMPARE(results.at(0).at(1).toInt(), 0);
}

void TestDecoderManagement::pathActivation()
{
    DecoderManagementDlg search(found({Fresh, Fresh2, Other}), MatrixInfoMap(), true, nullptr);
    search.show();
    QSignalSpy activations(&worker(), &MatrixSdkWorker::signalActiveDecoderFinished);
    clickRowBox(&search, Fresh2);
    clickRowBox(&search, Fresh);
    clickRowBox(&search, Other);
    ModalAnswerer answer(ActiveClass, activateWith(QStringLiteral("Newpass@2025")));
    click(&search, "pathActiveBtn");
    QVERIFY(answer.answered());
    QTRY_COMPARE(activations.count(), 2);
    // In row order, with the one password; the activated row is left out.
    QCOMPARE(activations.at(0).at(1).toString(), QStringLiteral("DS-6904UDI-20240101EE"));
    QCOMPARE(activations.at(1).at(1).toString(), QStringLiteral("DS-6901UDI-20240102FF"));
    QCOMPARE(status(&search, Fresh), QStringLiteral("activated"));
    QCOMPARE(status(&search, Fresh2), QStringLiteral("activated"));
    QVERIFY(alerts().isEmpty());
}

void TestDecoderManagement::pathActivationNeedsAnUnactivatedRow()
{
    DecoderManagementDlg search(found({Fresh, Other}), MatrixInfoMap(), true, nullptr);
    search.show();
    clickRowBox(&search, Other);
    QString text;
    ModalAnswerer box(BoxClass, confirm(&text));
    ModalAnswerer noActivation(
        ActiveClass, [](QWidget* d) { click(d, "cancelBt"); }, 1500);
    click(&search, "pathActiveBtn");
    QTRY_COMPARE(text, QStringLiteral("Please select the unactivated decoder!"));
    // The box and the activation dialog would both run inside the click.
    QVERIFY(!noActivation.answered());
}

void TestDecoderManagement::activationFailures()
{
    MatrixInfoMap decoders = found({Fresh});
    // A device the fleet does not know answers with a failure.
    MatrixInfo ghost = decoders.value(Fresh);
    ghost.ip = QStringLiteral("192.0.2.99");
    ghost.deviceId = QStringLiteral("GHOST-1");
    decoders.insert(ghost.ip, ghost);
    DecoderManagementDlg search(decoders, MatrixInfoMap(), true, nullptr);
    search.show();
    dialog = management({});

    ModalAnswerer answer(ActiveClass, activateWith(QStringLiteral("Newpass@2025")));
    clickRowButton(&search, ghost.ip, "changeIpBtn");
    QVERIFY(answer.answered());
    QTRY_COMPARE(alerts(), QStringList{"Decoder(192.0.2.99) activation failed!"});
    QCOMPARE(status(&search, ghost.ip), QStringLiteral("unactivated"));

    // A result for an identifier no row carries names nobody; the management dialog ignores results.
    QVERIFY(
        runOnServiceThread([] { emit worker().signalActiveDecoderFinished(-7, QStringLiteral("nobody")); }));
    QCOMPARE(alerts(),
             (QStringList{"Decoder(192.0.2.99) activation failed!", "Decoder() activation failed!"}));
}

// ---- address change ----

void TestDecoderManagement::addressChangeWithLogin()
{
    // Searched first: a management dialog would answer a search with a search dialog of its own.
    DecoderManagementDlg search(found({Other, Eight}), mapOf({stored(Main)}), true, nullptr);
    search.show();
    // The management dialog lists the decoder too: the change reaches both.
    dialog = management({stored(Other)});
    QTRY_COMPARE(status(dialog.get(), Other), QStringLiteral("connect success"));
    QSignalSpy moved(dialog.get(), &DecoderManagementDlg::sig_ipChanged);

    const QString target = QStringLiteral("192.0.2.14");
    QStringList searchWords;
    connect(table(&search), &QTableWidget::itemChanged, this, [&](QTableWidgetItem* item) {
        if (item->column() == StatusColumn)
            searchWords << item->text();
    });
    QString shownAddress;
    ModalScript script({
        {NetworkClass,
         [&](QWidget* network) {
             auto* edit = network->findChild<PCOMMON::IpEditWt*>("ipAddress");
             shownAddress = edit->text();
             edit->setText(target);
             click(network, "okBtn");
         }},
        {LoginClass, loginWith("admin", Password)},
    });
    clickRowButton(&search, Other, "changeIpBtn");
    QTRY_VERIFY(script.finished());
    QCOMPARE(shownAddress, Other);

    QTRY_COMPARE(rowOf(&search, target), 1);
    QCOMPARE(rowOf(&search, Other), -1);
    QCOMPARE(search.getMatrixInfoMap().keys(), (QStringList{Eight, target}));
    QCOMPARE(search.getMatrixInfoMap().value(target).ip, target);
    // The search dialog does not reconnect: its row never reads "connecting"; its button follows the address.
    QCOMPARE(rowOpr(&search, target)->getIp(), target);

    QTRY_COMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0), (QList<QVariant>{target, Other}));
    QCOMPARE(listedIps(dialog.get()), QStringList{target});
    QTRY_COMPARE(status(dialog.get(), target), QStringLiteral("connect success"));
    QCOMPARE(dialog->getMatrixInfoMap().keys(), QStringList{target});
    QVERIFY(!searchWords.contains(QStringLiteral("connecting")));
    QVERIFY(alerts().isEmpty());
}

void TestDecoderManagement::addressChangeToListedAddress()
{
    DecoderManagementDlg search(found({Other, Eight}), MatrixInfoMap(), true, nullptr);
    search.show();
    QSignalSpy results(&worker(), &MatrixSdkWorker::signalSetMatrixNetworkResult);
    {
        ModalAnswerer network(NetworkClass, [](QWidget* dlg) {
            dlg->findChild<PCOMMON::IpEditWt*>("ipAddress")->setText(Eight);
            click(dlg, "okBtn");
        });
        ModalAnswerer noLogin(
            LoginClass, [](QWidget* login) { click(login, "cancelBtn"); }, 1500);
        clickRowButton(&search, Other, "changeIpBtn");
        QTRY_VERIFY(network.answered());
        QTRY_COMPARE(alerts(), QStringList{"The address already exists, please modify it again!"});
        QVERIFY(runOnServiceThread([] {}));
        QCOMPARE(results.count(), 0);
        QVERIFY(!noLogin.answered());
    }

    // Keeping the decoder's own address passes the test and reaches the login.
    ModalAnswerer same(NetworkClass, [](QWidget* dlg) { click(dlg, "okBtn"); });
    ModalAnswerer login(LoginClass, loginWith("admin", Password));
    clickRowButton(&search, Other, "changeIpBtn");
    QTRY_VERIFY(login.answered());
    QTRY_COMPARE(results.count(), 1);
    QCOMPARE(results.at(0).at(0).toInt(), 0);
    QCOMPARE(listedIps(&search), (QStringList{Eight, Other}));
}

void TestDecoderManagement::addressChangeWrongPassword()
{
    DecoderManagementDlg search(found({Other}), MatrixInfoMap(), true, nullptr);
    search.show();
    ModalScript script({
        {NetworkClass,
         [](QWidget* dlg) {
             dlg->findChild<PCOMMON::IpEditWt*>("ipAddress")->setText(QStringLiteral("192.0.2.15"));
             click(dlg, "okBtn");
         }},
        {LoginClass, loginWith("admin", QStringLiteral("wrong"))},
    });
    clickRowButton(&search, Other, "changeIpBtn");
    QTRY_VERIFY(script.finished());
    QTRY_COMPARE(alerts(),
                 QStringList{"Decoder(192.0.2.13) IP setting failed:Incorrect user name or password!"});
    QCOMPARE(listedIps(&search), QStringList{Other});
}

void TestDecoderManagement::emptyNetworkAnswer()
{
    DecoderManagementDlg search(found({Other}), MatrixInfoMap(), true, nullptr);
    search.show();
    ModalAnswerer noDialog(
        NetworkClass, [](QWidget* dlg) { click(dlg, "cancelBtn"); }, 1500);
    // An IPv6 part alone does not make an answer.
    DeviceNetworkCfg_t cfg;
    std::memset(&cfg, 0, sizeof cfg);
    qstrcpy(cfg.ipv6Addr, "2001:db8::13");
    cfg.ipv6PrefixLen = 64;
    QVERIFY(runOnServiceThread([cfg] { emit worker().signalGetMatrixNetworkResult(cfg, Other, 1); }));
    QCOMPARE(alerts(),
             QStringList{"Decoding card network information acquisition failed, please search again!"});
    // The network dialog would have run inside the result, before the service thread was released.
    QVERIFY(!noDialog.answered());
}

QTEST_MAIN(TestDecoderManagement)
#include "tst_decodermanagement.moc"
