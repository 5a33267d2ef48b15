// One operator's day on the page, end to end on the simulated fleet: from an
// empty data directory, add decoders, build a 2 x 2 wall by dropping outputs on
// its screens, find it connected after a restart, edit it (name, one binding,
// one screen's brightness tried and cancelled) and delete it.

#include "appfiles.h"
#include "connectmatrixitem.h"
#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "matrixtreeitem.h"
#include "screenwt.h"
#include "wizardtesthelpers.h"

#include <QComboBox>
#include <QDir>
#include <QSlider>
#include <QTreeWidget>

using namespace pral_matrixConfig;
using namespace mgmt;
using namespace wiz;
using pral_matrix::MatrixSdkWorker;

namespace {
const char* const WizardClass = "pral_matrixConfig::AddMatrixDlg";

/** Drops the output listed in the wizard's tree onto a screen, with the drag data its entry makes. */
bool dropOutput(QWidget* wizard, const QString& outputId, int screen)
{
    // Rows in view get their widgets once the shown list has been laid out.
    MatrixTreeItem* found = nullptr;
    const bool shown = QTest::qWaitFor([&] {
        for (MatrixTreeItem* item : part(wizard, "bindingMatrixWt")->findChildren<MatrixTreeItem*>()) {
            if (item->isVisible() && item->itemId() == outputId && item->isDraggable())
                found = item;
        }
        return found != nullptr;
    });
    return shown &&
           drop(view(wizard, "bindingMatrixWt")->screen(screen),
                (QString::number(found->itemType()) + QLatin1Char('~') + found->itemId()).toLocal8Bit());
}

/** Saves, confirms and waits until the wizard closed. */
bool saveAndConfirm(QWidget* wizard, const char* button)
{
    return answered(wizard, button, true) && QTest::qWaitFor([wizard] { return !wizard->isVisible(); });
}
} // namespace

class TestTvWallFlow : public QObject
{
    Q_OBJECT

    Fixture fx;
    FleetProbe fleet;
    std::unique_ptr<MatrixConfigForm> form;

private slots:
    void init()
    {
        QVERIFY(fx.setUp());
        QVERIFY(fleet.install());
        QVERIFY(QDir::setCurrent(PCOMMON::AppFiles::sharedDirectory()));
    }

    void cleanup()
    {
        form.reset();
        worker().disconnectAllMatrix();
        fx.tearDown();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void operatorsDay()
    {
        openPage();
        QString text;
        ModalAnswerer noDecoder(BoxClass, confirm(&text));
        click(form.get(), "addBtn");
        QCOMPARE(text, QStringLiteral("Please add the decoder first!"));

        // Search, add with a login, decline taking over the walls the decoders hold.
        bool added = false;
        ModalAnswerer manage(SearchClass, [&](QWidget* dialog) {
            ModalScript script({{SearchClass,
                                 [](QWidget* search) {
                                     clickRowBox(search, Single);
                                     clickRowBox(search, Eight);
                                     click(search, "saveBtn");
                                 }},
                                {LoginClass, loginWith("admin", Password)},
                                {SyncClass, [](QWidget* sync) {
                                     click(sync, "okBtn");
                                 }}});
            click(dialog, "searchBtn");
            added = QTest::qWaitFor([&] { return script.finished(); }) && settle(dialog, {Single, Eight});
            click(dialog, "saveBtn");
        });
        click(form.get(), "decoderManagementBtn");
        QVERIFY(manage.answered() && added);
        QTRY_VERIFY(!form->isUpdatePending());

        const QStringList screens{Eight + "-3", Eight + "-1", Single, Eight + "-2"};
        bool built = false;
        ModalAnswerer wizard(WizardClass, [&](QWidget* dlg) {
            QTest::keyClicks(dlg->findChild<QLineEdit*>("tvWallNameEdit"), "Atrium");
            clickIn(dlg, "widget_bottom", "nextStepBtn");
            dlg->findChild<QComboBox*>("mainDecoderComboBox")->setCurrentText(Eight);
            clickIn(dlg, "widget_bottom", "nextStepBtn");
            built = true;
            for (int i = 0; i < screens.size(); ++i)
                built = dropOutput(dlg, screens.at(i), i) && built;
            built = saveAndConfirm(dlg, "saveBtn") && built;
        });
        click(form.get(), "addBtn");
        QVERIFY(wizard.answered() && built);
        QVERIFY(wallRow("Atrium") && wallRow("Atrium")->isConnected());
        const QString atrium = "192.0.2.12/3 192.0.2.12/1 192.0.2.11/1 192.0.2.12/2";
        QCOMPARE(stored("Atrium"), atrium);
        QCOMPARE(held(), "Atrium " + atrium);

        // Next morning one decoder does not answer at first: one click connects the wall.
        form.reset();
        worker().faults().setLoginFault(Single, pral_matrix::FaultInjector::LoginFault::Refuse);
        openPage();
        QTRY_VERIFY(wallRow("Atrium") && !wallRow("Atrium")->isConnected());
        worker().faults().clear();
        QTest::mouseClick(wallRow("Atrium")->findChild<QPushButton*>("connectBt"), Qt::LeftButton);
        QTRY_VERIFY(fx.alerts().contains("Tvwall(Atrium):Connect success!"));
        QTRY_VERIFY(wallRow("Atrium") && wallRow("Atrium")->isConnected());
        QTest::mouseClick(wallRow("Atrium"), Qt::LeftButton);
        QTRY_COMPARE(form->findChild<ScreenLayoutWt*>("wallwt")->screen(2)->labelText(), "2-1: " + Single);

        // Rename, re-bind one screen, try a brightness and cancel it, save.
        int tried = 0;
        int afterCancel = 0;
        bool edited = false;
        ModalAnswerer editor(WizardClass, [&](QWidget* dlg) {
            auto* name = dlg->findChild<QLineEdit*>("tvWallNamePreviewEdit");
            name->clear();
            QTest::keyClicks(name, "Atrium 2");
            clickIn(dlg, "previewWt", "editBtn");
            edited = dropOutput(dlg, Eight + "-4", 3);
            clickIn(dlg, "widget_bottom", "saveForEditBtn");
            clickIn(dlg, "previewWt", "adjustBtn");
            QTest::mouseClick(view(dlg, "adjustScreenWt")->screen(0), Qt::LeftButton);
            dlg->findChild<QSlider*>("brightSlider")->setValue(30);
            tried = fleet.color(Eight, 1, 1).brightness;
            answered(dlg, "cancelForEditBtn", true);
            afterCancel = fleet.color(Eight, 1, 1).brightness;
            edited = saveAndConfirm(dlg, "saveForEditBtn") && edited;
        });
        tree()->setCurrentItem(tree()->topLevelItem(0));
        click(form.get(), "editBtn");
        QVERIFY(editor.answered() && edited);
        QCOMPARE(tried, 30);
        QCOMPARE(afterCancel, 87);
        QVERIFY(!wallRow("Atrium") && wallRow("Atrium 2"));
        const QString edited2 = "192.0.2.12/3 192.0.2.12/1 192.0.2.11/1 192.0.2.12/4";
        QCOMPARE(stored("Atrium 2"), edited2);
        QCOMPARE(held(), "Atrium 2 " + edited2);

        tree()->setCurrentItem(tree()->topLevelItem(0));
        click(form.get(), "deleteBtn");
        QCOMPARE(tree()->topLevelItemCount(), 0);
        MatrixSdkWorker::flushStore();
        QVERIFY(MatrixSdkWorker::getMatrixFromJson().isEmpty());
    }

private:
    void openPage()
    {
        form = std::make_unique<MatrixConfigForm>();
        form->resize(1280, 760);
        form->show();
        QVERIFY(QTest::qWaitFor([this] { return form->findChild<QTreeWidget*>() != nullptr; }));
        QVERIFY(QTest::qWaitFor([] {
            const auto all = QApplication::topLevelWidgets();
            return std::any_of(all.begin(), all.end(), [](QWidget* w) { return w->inherits(SearchClass); });
        }));
    }
    QTreeWidget* tree() const { return form->findChild<QTreeWidget*>(QStringLiteral("rsTreeWidget")); }
    ConnectMatrixItem* wallRow(const QString& name) const
    {
        for (ConnectMatrixItem* row : form->findChildren<ConnectMatrixItem*>()) {
            if (row->isVisibleTo(form.get()) && row->text() == name)
                return row;
        }
        return nullptr;
    }
    static QString screensOf(const QList<pral_matrix::MatrixInfo>& screens)
    {
        QStringList parts;
        for (const pral_matrix::MatrixInfo& s : screens)
            parts << QStringLiteral("%1/%2").arg(s.ip).arg(s.channel);
        return parts.join(' ');
    }
    QString stored(const QString& name) const
    {
        MatrixSdkWorker::flushStore();
        return screensOf(MatrixSdkWorker::getMatrixFromJson().value(name).matrixInfoList);
    }
    QString held() const
    {
        const auto wall = fleet.wall(Eight);
        return wall.name + " " + screensOf(wall.screens);
    }
};

QTEST_MAIN(TestTvWallFlow)
#include "tst_tvwallflow.moc"
