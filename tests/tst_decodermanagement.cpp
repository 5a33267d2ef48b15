// The decoder list dialog and its row widget: the table, the check boxes,
// deletion, search and add (with login and TV-wall sync), activation and
// address change, driven through the real widgets against the simulated fleet.

#include "decodermanagementdlg.h"
#include "decoderoprwt.h"
#include "disabledwaitingwtmanager.h"
#include "ipeditwt.h"
#include "managementtesthelpers.h"
#include "servicespy.h"
#include "servicethread.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>

#include <cstring>

using namespace mgmt;
using pral_matrix::FaultInjector;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;
using pral_matrixConfig::DecoderManagementDlg;

namespace {

int searchDialogCount()
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        count += (w->inherits(SearchClass) && w->isVisible() && w->windowTitle() == "Search Decoder") ? 1 : 0;
    return count;
}

QStringList syncOffers(QWidget* sync)
{
    QStringList offered;
    auto* list = sync->findChild<QListWidget*>("ipListWt");
    for (int i = 0; i < list->count(); ++i)
        offered << qobject_cast<QCheckBox*>(list->itemWidget(list->item(i)))->text();
    return offered;
}

/** Sets the address in the network dialog and confirms. */
ModalAnswerer::Action moveTo(const QString& address)
{
    return [address](QWidget* dlg) {
        dlg->findChild<PCOMMON::IpEditWt*>("ipAddress")->setText(address);
        click(dlg, "okBtn");
    };
}

} // namespace

class TestDecoderManagement : public QObject
{
    Q_OBJECT

    Fixture fx;
    std::unique_ptr<DecoderManagementDlg> dialog;

private slots:
    void init() { QVERIFY(fx.setUp()); }

    void cleanup()
    {
        dialog.reset();
        fx.tearDown();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void managementTable()
    {
        // Stored out of address order and without what only a connection tells.
        dialog = management({stored(Eight), stored(Main), stored(Single)});
        QCOMPARE(listedIps(dialog.get()), (QStringList{Main, Single, Eight}));
        for (int row = 0; row < 3; ++row)
            QCOMPARE(cell(dialog.get(), row, NumberColumn), QString::number(row + 1));
        // Every row starts connecting at once; the fleet's answers follow.
        QCOMPARE(status(dialog.get(), Single), QStringLiteral("connecting"));
        QVERIFY(settle(dialog.get(), {Main, Single, Eight}));
        // The connection tells the type and version, which the stored record lacked.
        const MatrixInfo eight = dialog->getMatrixInfoMap().value(Eight);
        QCOMPARE(int(eight.matrixType), 3);
        QCOMPARE(eight.version, QStringLiteral("V2.2.0 build 231120"));
        QCOMPARE(eight.connectStatus, 1);
        QVERIFY(!worker().getHandleByIp(Eight).isNull());
    }

    void headersAndVersionsCanBeReadInFull()
    {
        MatrixInfo known = stored(Eight);
        known.version = QStringLiteral("V2.2.0 build 231120");
        dialog = management({known});
        // Narrow columns may wrap their header, but never cut a word.
        const auto heads = dialog->findChild<QWidget*>("manageTableHeadWt")->findChildren<QLabel*>();
        QCOMPARE(heads.size(), 6);
        for (QLabel* head : heads) {
            head->ensurePolished();
            for (const QString& word : head->text().split(' '))
                QVERIFY2(QFontMetrics(head->font()).horizontalAdvance(word) < head->width(),
                         qPrintable(word));
        }
        // The version column cuts long texts; the whole text is its tooltip.
        QCOMPARE(table(dialog.get())->item(0, 4)->toolTip(), known.version);

        // Rows sharing a long version wrap it alike, in a font small enough for its words to fit the column;
        // a short version keeps the list's font.
        MatrixInfo twin = stored(Single);
        twin.version = known.version;
        MatrixInfo brief = stored(Main);
        brief.version = QStringLiteral("V2.3");
        dialog = management({known, twin, brief});
        QTableWidget* list = table(dialog.get());
        const int listSize = QFontInfo(list->font()).pixelSize();
        for (const QString& ip : {Eight, Single}) {
            const QTableWidgetItem* version = list->item(rowOf(dialog.get(), ip), 4);
            QCOMPARE(version->text(), known.version);
            QVERIFY2(QFontInfo(version->font()).pixelSize() < listSize, qPrintable(ip));
            for (const QString& word : version->text().split(' '))
                QVERIFY2(QFontMetrics(version->font()).horizontalAdvance(word) < list->columnWidth(4),
                         qPrintable(word));
        }
        QVERIFY(!list->item(rowOf(dialog.get(), Main), 4)->data(Qt::FontRole).isValid());
    }

    void checkBoxes()
    {
        dialog = management({stored(Main), stored(Single), stored(Eight)});
        auto* all = dialog->findChild<QCheckBox*>("selectAllCheckBox");
        const auto checked = [&] {
            QString marks;
            for (const QString& ip : {Main, Single, Eight})
                marks += rowBox(dialog.get(), ip)->isChecked() ? '1' : '0';
            return marks + (all->isChecked() ? "+all" : "");
        };
        clickRowBox(dialog.get(), Main);
        clickRowBox(dialog.get(), Single);
        QCOMPARE(checked(), QStringLiteral("110"));
        clickRowBox(dialog.get(), Eight);
        QCOMPARE(checked(), QStringLiteral("111+all"));
        clickRowBox(dialog.get(), Single);
        QCOMPARE(checked(), QStringLiteral("101"));
        // Clicking the select-all box sets every row, whatever each row held.
        clickCheckBox(all);
        QCOMPARE(checked(), QStringLiteral("111+all"));
        clickCheckBox(all);
        QCOMPARE(checked(), QStringLiteral("000"));
        // Set from code, the box leaves the rows alone: it listens to clicks only.
        all->setChecked(true);
        QCOMPARE(checked(), QStringLiteral("000+all"));
    }

    void longListShowsEachRowAsItComesIntoView()
    {
        QList<MatrixInfo> decoders;
        for (int i = 1; i <= 40; ++i)
            decoders << stored(QStringLiteral("198.51.100.%1").arg(i));
        dialog = management(decoders);
        auto* area = dialog->findChild<QScrollArea*>("tableScrollArea");
        auto* all = dialog->findChild<QCheckBox*>("selectAllCheckBox");
        QTableWidget* list = table(dialog.get());
        // Every row that the list area shows has its box and buttons, and they are that row's.
        const auto rowsInView = [&](bool checked) {
            const QRect shown(list->viewport()->mapFrom(area->viewport(), QPoint()),
                              area->viewport()->size());
            int seen = 0;
            for (int row = 0; row < list->rowCount(); ++row) {
                if (!list->visualRect(list->model()->index(row, 0)).intersects(shown))
                    continue;
                ++seen;
                const auto* box = qobject_cast<QCheckBox*>(list->cellWidget(row, 0));
                const auto* opr = qobject_cast<pral_matrixConfig::DecoderOprWt*>(list->cellWidget(row, 6));
                if (!box || !opr || !box->isVisible() || box->isChecked() != checked ||
                    opr->getIp() != list->item(row, IpColumn)->text())
                    return QStringLiteral("row %1 wrong").arg(row + 1);
            }
            return QStringLiteral("%1 rows shown")
                .arg(seen > 5 ? QStringLiteral("many") : QString::number(seen));
        };
        const QString fine = QStringLiteral("many rows shown");
        QTRY_COMPARE(rowsInView(false), fine);
        // Checked while most rows were out of view, then scrolled to the end.
        clickCheckBox(all);
        area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
        QCOMPARE(rowsInView(true), fine);
        // The select-all rule counts the rows out of view too.
        clickRowBox(dialog.get(), QStringLiteral("198.51.100.40"));
        QVERIFY(!all->isChecked());
        clickRowBox(dialog.get(), QStringLiteral("198.51.100.40"));
        QVERIFY(all->isChecked());
        // A deletion in the middle moves a row that had no widgets yet up into view.
        area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum() / 2);
        ModalAnswerer answer(BoxClass, confirm());
        clickRowButton(dialog.get(), QStringLiteral("198.51.100.20"), "deleteBtn");
        QVERIFY(answer.answered());
        QCOMPARE(rowsInView(true), fine);
    }

    void deleteRow_data()
    {
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("deleted");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("middle of three") << QStringList{Main, Single, Eight} << Single << true;
        QTest::newRow("first of three") << QStringList{Main, Single, Eight} << Main << true;
        QTest::newRow("the only row") << QStringList{Eight} << Eight << true;
        QTest::newRow("declined") << QStringList{Main, Single} << Main << false;
    }

    void deleteRow()
    {
        QFETCH(QStringList, listed);
        QFETCH(QString, deleted);
        QFETCH(bool, confirmed);
        QList<MatrixInfo> decoders;
        for (const QString& ip : listed)
            decoders << stored(ip);
        dialog = management(decoders);
        QVERIFY(settle(dialog.get(), listed));

        QStringList reports;
        connect(dialog.get(), &DecoderManagementDlg::sig_matrixInfoChanged, this, [&](MatrixInfoMap map) {
            reports << QStringLiteral("changed:") + QStringList(map.keys()).join(',');
        });
        connect(dialog.get(), &DecoderManagementDlg::sig_deleteTvwallItem, this,
                [&](QString ip) { reports << QStringLiteral("walls:") + ip; });
        QString question;
        ModalAnswerer answer(BoxClass, confirm(&question, confirmed));
        clickRowButton(dialog.get(), deleted, "deleteBtn");
        QVERIFY(answer.answered());
        QCOMPARE(question, QStringLiteral("Delete the decoder will automatically delete the associated TV "
                                          "wall, sure to delete?"));
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
        // The list first, then the walls of the decoder that went.
        QCOMPARE(reports, (QStringList{"changed:" + remaining.join(','), "walls:" + deleted}));
        QTRY_VERIFY(worker().getHandleByIp(deleted).isNull());
        QVERIFY(runOnServiceThread([] {}));
        QCOMPARE(dialog->getMatrixInfoMap().keys(), remaining);
    }

    void searchFindsNothingNew()
    {
        dialog = management({stored(Main), stored(Single), stored(Eight), stored(Other), stored(Fresh),
                             stored(Fresh2), stored(Control)});
        bool overlayWhileSearching = true;
        QString text;
        ModalAnswerer answer(BoxClass, [&](QWidget* box) {
            overlayWhileSearching = PCOMMON::DisabledWaitingWtManager::count() != 0;
            confirm (&text)(box);
        });
        click(dialog.get(), "searchBtn");
        QCOMPARE(PCOMMON::DisabledWaitingWtManager::count(), 1);
        QTRY_COMPARE(text, QStringLiteral("No new decoder found!"));
        // The search overlay is gone before the box shows.
        QVERIFY(!overlayWhileSearching);
        QCOMPARE(searchDialogCount(), 0);
    }

    void searchAddLoginSync()
    {
        dialog = management({stored(Main)});
        QVERIFY(settle(dialog.get(), {Main}));
        QSignalSpy walls(dialog.get(), &DecoderManagementDlg::sig_tvWallManagementChanged);
        QStringList offered;
        QStringList syncOffered;
        int overlaysDuringAdd = 0;
        ModalScript script({
            {SearchClass,
             [&](QWidget* search) {
                 offered = listedIps(search);
                 // Two activated decoders and one that is not: only the activated ones are added.
                 for (const QString& ip : {Eight, Control, Fresh})
                     clickRowBox(search, ip);
                 click(search, "saveBtn");
             }},
            {LoginClass, loginWith("admin", Password)},
            {SyncClass,
             [&](QWidget* sync) {
                 overlaysDuringAdd = PCOMMON::DisabledWaitingWtManager::count();
                 syncOffered = syncOffers(sync);
                 QTest::mouseClick(sync->findChild<QRadioButton*>("yesBtn"), Qt::LeftButton);
                 clickCheckBox(sync->findChild<QCheckBox*>("checkAllCheckBox"));
                 click(sync, "okBtn");
             }},
        });
        click(dialog.get(), "searchBtn");
        QTRY_VERIFY(script.finished());
        QTRY_COMPARE(searchDialogCount(), 0);

        QCOMPARE(offered, (QStringList{Single, Eight, Other, Fresh, Fresh2, Control}));
        // One overlay per decoder; the first result removed the last one made, the other stays.
        QCOMPARE(overlaysDuringAdd, 1);
        QCOMPARE(syncOffered, (QStringList{Eight, Control}));
        QCOMPARE(dialog->getSyncMatrixIpList(), (QStringList{Eight, Control}));
        QCOMPARE(listedIps(dialog.get()), (QStringList{Main, Eight, Control}));
        QVERIFY(settle(dialog.get(), {Eight, Control}));
        QCOMPARE(dialog->getMatrixInfoMap().value(Control).password, Password);

        // Only the sixteen-output decoder holds a wall: it comes back as one TV wall.
        QTRY_COMPARE(walls.count(), 1);
        const auto wall = walls.at(0).at(0).value<TvWallManagement>();
        QCOMPARE(wall.tvWallName, QStringLiteral("Control room"));
        QCOMPARE(wall.mainIp, Control);
        QCOMPARE(qMakePair(wall.row, wall.col), qMakePair(3, 4));
        QCOMPARE(wall.matrixInfoList.size(), 12);
        const MatrixInfo sixth = wall.matrixInfoList.at(5);
        QCOMPARE(sixth.ip + QString(":%1:%2,%3").arg(sixth.channel).arg(sixth.row).arg(sixth.column),
                 Control + ":6:1,1");
        QCOMPARE(dialog->getMatrixInfoMap().value(Control).subMatrixList.size(), 12);
        QVERIFY(dialog->getMatrixInfoMap().value(Eight).subMatrixList.isEmpty());
    }

    void addWithEveryConnectionFailing_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("password");
        QTest::newRow("refused") << true << Password;
        // The search dialog logs in, then the list logs in again with the same wrong password: one mistake
        // must cost the decoder one try, and the notices say what the decoder counted.
        QTest::newRow("wrong password") << false << QStringLiteral("Wrong@2024");
    }

    void addWithEveryConnectionFailing()
    {
        QFETCH(bool, refused);
        QFETCH(QString, password);
        dialog = management({stored(Main)});
        if (refused)
            worker().faults().setLoginFault(Eight, FaultInjector::LoginFault::Refuse);
        ModalScript script({
            {SearchClass,
             [&](QWidget* search) {
                 clickRowBox(search, Eight);
                 click(search, "saveBtn");
             }},
            {LoginClass, loginWith("admin", password)},
        });
        ModalAnswerer noSync(
            SyncClass, [](QWidget* sync) { click(sync, "cancelBtn"); }, 3000);
        click(dialog.get(), "searchBtn");
        QTRY_VERIFY(script.finished());
        // Accepted without the sync dialog: the decoder is listed and connected again.
        QTRY_COMPARE(searchDialogCount(), 0);
        QVERIFY(!noSync.answered());
        QCOMPARE(listedIps(dialog.get()), (QStringList{Main, Eight}));
        QVERIFY(settle(dialog.get(), {Eight}, Down));
        QVERIFY(dialog->getSyncMatrixIpList().isEmpty());
        const QStringList counted = fx.alerts().filter("errors have been made");
        QCOMPARE(counted.isEmpty(), refused);
        for (const QString& text : counted)
            QVERIFY2(text.contains(",1 errors have been made,5 errors"), qPrintable(text));
    }

    void addNeedsAnActivatedRow()
    {
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        DecoderManagementDlg search(found({Fresh, Other}), MatrixInfoMap(), true, nullptr);
        search.show();
        QCOMPARE(status(&search, Other), QStringLiteral("activated"));
        for (bool withFresh : {false, true}) {
            if (withFresh)
                clickRowBox(&search, Fresh);
            QString text;
            ModalAnswerer box(BoxClass, confirm(&text));
            click(&search, "saveBtn");
            QTRY_COMPARE(text, QStringLiteral("Please select the activated decoder!"));
        }
        QVERIFY(search.isVisible());
        // A search dialog only lists what it found: it logs into nothing by itself.
        QVERIFY(runOnServiceThread([] {}));
        QCOMPARE(results.count(), 0);
    }

    void addLoginCancelledThenRetried()
    {
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
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

    void addStopsAtAnAddressAlreadyListed()
    {
        dialog = management({stored(Main)});
        QVERIFY(settle(dialog.get(), {Main}));
        DecoderManagementDlg* managing = dialog.get();
        ModalScript script({
            {SearchClass,
             [](QWidget* search) {
                 for (const QString& ip : {Single, Eight, Other})
                     clickRowBox(search, ip);
                 click(search, "saveBtn");
             }},
            {LoginClass, loginWith("admin", Password)},
            {SyncClass,
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
        // In address order: the first is added, the listed one ends the adding, the last is left out.
        QCOMPARE(listedIps(dialog.get()), (QStringList{Eight, Single}));
        QCOMPARE(dialog->getMatrixInfoMap().keys(), (QStringList{Single, Eight}));
        QVERIFY(settle(dialog.get(), {Single}));
    }

    void successForAnUnlistedDecoderCounts()
    {
        DecoderManagementDlg search(found({Other}), MatrixInfoMap(), true, nullptr);
        search.show();
        clickRowBox(&search, Other);
        worker().setResultDelay(1000);
        QStringList offered;
        ModalAnswerer login(LoginClass, loginWith("admin", Password));
        ModalAnswerer sync(SyncClass, [&](QWidget* dlg) {
            offered = syncOffers(dlg);
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

    void secondSearchWhileOneRuns()
    {
        dialog = management({stored(Main)});
        int dialogsWhileOpen = 0;
        int rowsAfterRefresh = 0;
        const auto settled = [] {
            QVERIFY(QTest::qWaitFor([] { return PCOMMON::DisabledWaitingWtManager::count() == 0; }));
            QVERIFY(runOnServiceThread([] {}));
            QCoreApplication::processEvents();
        };
        ModalAnswerer answer(SearchClass, [&](QWidget* search) {
            // Both dialogs receive the refresh's result; the management dialog must not open another one.
            click(search, "refreshBtn");
            settled();
            dialogsWhileOpen = searchDialogCount();
            rowsAfterRefresh = table(search)->rowCount();
            QMetaObject::invokeMethod(dialog.get(), "slot_searchBtnClieked");
            settled();
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

    void refreshInSearchDialog()
    {
        // Made with two found decoders; a refresh lists every decoder not managed, nothing when none is new.
        DecoderManagementDlg search(found({Other, Eight}), mapOf({stored(Main), stored(Single)}), true,
                                    nullptr);
        search.show();
        click(&search, "refreshBtn");
        const QStringList unmanaged{Eight, Other, Fresh, Fresh2, Control};
        QTRY_COMPARE(listedIps(&search), unmanaged);
        QCOMPARE(table(&search)->height(), 5 * 30);
        QCOMPARE(search.getMatrixInfoMap().keys(), unmanaged);

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

    void singleActivation()
    {
        DecoderManagementDlg search(found({Fresh, Other}), MatrixInfoMap(), true, nullptr);
        search.show();
        auto* button = rowOpr(&search, Fresh)->findChild<QPushButton*>("changeIpBtn");
        QCOMPARE(button->text(), QStringLiteral("Active"));
        ModalAnswerer answer(ActiveClass, activateWith(QStringLiteral("Newpass@2025")));
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(answer.answered());
        QTRY_COMPARE(status(&search, Fresh), QStringLiteral("activated"));
        QCOMPARE(button->text(), QStringLiteral("Change Ip"));
        // The record itself keeps what the search reported; the Add reads the row.
        QVERIFY(!search.getMatrixInfoMap().value(Fresh).activated);

        // The decoder now takes that password.
        ServiceSpy results(&MatrixSdkWorker::signalConnectMatrixResult);
        worker().connectMatrix(stored(Fresh, QStringLiteral("Newpass@2025")), nullptr);
        QTRY_COMPARE(results.count(), 1);
        QCOMPARE(results.at(0).at(1).toInt(), 0);
    }

    void pathActivation()
    {
        DecoderManagementDlg search(found({Fresh, Fresh2, Other}), MatrixInfoMap(), true, nullptr);
        search.show();
        // Only activated rows selected: refused, and no activation dialog runs.
        clickRowBox(&search, Other);
        QString text;
        {
            ModalAnswerer box(BoxClass, confirm(&text));
            ModalAnswerer noActivation(
                ActiveClass, [](QWidget* d) { click(d, "cancelBt"); }, 1500);
            click(&search, "pathActiveBtn");
            QTRY_COMPARE(text, QStringLiteral("Please select the unactivated decoder!"));
            QVERIFY(!noActivation.answered());
        }

        ServiceSpy activations(&MatrixSdkWorker::signalActiveDecoderFinished);
        clickRowBox(&search, Fresh2);
        clickRowBox(&search, Fresh);
        ModalAnswerer answer(ActiveClass, activateWith(QStringLiteral("Newpass@2025")));
        click(&search, "pathActiveBtn");
        QVERIFY(answer.answered());
        QTRY_COMPARE(activations.count(), 2);
        // In row order, with the one password; the activated row is left out.
        QCOMPARE(activations.at(0).at(1).toString(), QStringLiteral("TVD-04-20240101EE"));
        QCOMPARE(activations.at(1).at(1).toString(), QStringLiteral("TVD-01-20240102FF"));
        QCOMPARE(status(&search, Fresh), QStringLiteral("activated"));
        QCOMPARE(status(&search, Fresh2), QStringLiteral("activated"));
        QVERIFY(fx.alerts().isEmpty());
    }

    void activationFailures()
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
        QTRY_COMPARE(fx.alerts(), QStringList{"Decoder(192.0.2.99) activation failed!"});
        QCOMPARE(status(&search, ghost.ip), QStringLiteral("unactivated"));

        // A result for an identifier no row carries names nobody; the management dialog ignores results.
        QVERIFY(runOnServiceThread(
            [] { emit worker().signalActiveDecoderFinished(-7, QStringLiteral("nobody")); }));
        QCOMPARE(fx.alerts(),
                 (QStringList{"Decoder(192.0.2.99) activation failed!", "Decoder() activation failed!"}));
    }

    void addressChangeWithLogin()
    {
        // Searched first: a management dialog would answer a search with a search dialog of its own.
        DecoderManagementDlg search(found({Other, Eight}), mapOf({stored(Main)}), true, nullptr);
        search.show();
        // The management dialog lists the decoder too: the change reaches both.
        dialog = management({stored(Other)});
        QVERIFY(settle(dialog.get(), {Other}));
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
                 shownAddress = network->findChild<PCOMMON::IpEditWt*>("ipAddress")->text();
                 moveTo(target)(network);
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
        // The search dialog does not reconnect; its row button follows the address.
        QCOMPARE(rowOpr(&search, target)->getIp(), target);
        QVERIFY(!searchWords.contains(QStringLiteral("connecting")));

        QTRY_COMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0), (QList<QVariant>{target, Other}));
        QCOMPARE(listedIps(dialog.get()), QStringList{target});
        QVERIFY(settle(dialog.get(), {target}));
        QCOMPARE(dialog->getMatrixInfoMap().keys(), QStringList{target});
        QVERIFY(fx.alerts().isEmpty());
    }

    void addressChangeToListedAddress()
    {
        DecoderManagementDlg search(found({Other, Eight}), MatrixInfoMap(), true, nullptr);
        search.show();
        ServiceSpy results(&MatrixSdkWorker::signalSetMatrixNetworkResult);
        {
            ModalAnswerer network(NetworkClass, moveTo(Eight));
            ModalAnswerer noLogin(
                LoginClass, [](QWidget* login) { click(login, "cancelBtn"); }, 1500);
            clickRowButton(&search, Other, "changeIpBtn");
            QTRY_VERIFY(network.answered());
            QTRY_COMPARE(fx.alerts(), QStringList{"The address already exists, please modify it again!"});
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

    void emptyNetworkAnswer()
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
        QCOMPARE(fx.alerts(),
                 QStringList{"Decoding card network information acquisition failed, please search again!"});
        // The network dialog would have run inside the result, before the service thread was released.
        QVERIFY(!noDialog.answered());
    }
};

QTEST_MAIN(TestDecoderManagement)
#include "tst_decodermanagement.moc"
