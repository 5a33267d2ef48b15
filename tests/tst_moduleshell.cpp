#include "connectmatrixitem.h"
#include "decodermanagementdlg.h"
#include "matrixconfigform.h"
#include "matrixconfigmoduleinit.h"
#include "matrixconfigsignals.h"
#include "matrixsdkworker.h"

#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace pral_matrixConfig;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;

namespace {

int managementDialogCount()
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        count += qobject_cast<DecoderManagementDlg*>(w) != nullptr;
    return count;
}

QStringList wallRowsOf(QWidget* form)
{
    QStringList names;
    for (ConnectMatrixItem* row : form->findChildren<ConnectMatrixItem*>()) {
        if (row->isVisibleTo(form))
            names.append(row->text());
    }
    names.sort();
    return names;
}

} // namespace

/** The module's entry object as a host uses it: one entry, independent pages. */
class TestModuleShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void entryIsOneInitializedObject();
    void pagesAreIndependent();
    void recoveryChangesNothing();

private:
    QTemporaryDir dir;
};

void TestModuleShell::initTestCase()
{
    QVERIFY(dir.isValid());
    MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
    MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("store.key")));
    PSingleton<MatrixSdkWorker>::_instance().loadFleet(MatrixSdkWorker::defaultFleetJson());

    MatrixInfo decoder;
    decoder.ip = QStringLiteral("192.0.2.11");
    decoder.matrixType = pral_matrix::MATRIX_TYPE_SINGLE_OUTPUT;
    decoder.userName = QStringLiteral("admin");
    decoder.password = QStringLiteral("Tvwall@2024");
    MatrixSdkWorker::addDecoderToJson({decoder});
    TvWallManagement wall;
    wall.tvWallName = QStringLiteral("Foyer");
    wall.mainIp = decoder.ip;
    wall.row = 1;
    wall.col = 1;
    MatrixInfo screen = decoder;
    screen.row = 0;
    screen.column = 0;
    wall.matrixInfoList.append(screen);
    MatrixSdkWorker::addMatrixToJson({wall});
    QVERIFY(MatrixSdkWorker::flushStore());
}

void TestModuleShell::cleanup()
{
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestModuleShell::entryIsOneInitializedObject()
{
    matrixConfigModuleInit& entry = PSingleton<matrixConfigModuleInit>::_instance();
    QCOMPARE(&PSingleton<matrixConfigModuleInit>::_instance(), &entry);
    // The host base's hook ran in the constructor: the host relies on it.
    QVERIFY(entry.isInitialized());
    QVERIFY(entry.parent() == nullptr);
    QCOMPARE(&PSingleton<MatrixConfigSignals>::_instance(), &PSingleton<MatrixConfigSignals>::_instance());
}

void TestModuleShell::pagesAreIndependent()
{
    matrixConfigModuleInit& entry = PSingleton<matrixConfigModuleInit>::_instance();
    QPointer<pral_base::BaseForm> first = entry.createMatrixConfigForm();
    QPointer<pral_base::BaseForm> second = entry.createMatrixConfigForm();
    QVERIFY(first && second);
    QVERIFY(first != second);
    QVERIFY(first->parent() == nullptr);
    QCOMPARE(first->getFormType(), 5);
    QVERIFY(qobject_cast<MatrixConfigForm*>(first.data()));

    // Nothing is loaded before the page is shown.
    QCOMPARE(managementDialogCount(), 0);
    first->show();
    second->show();
    QTRY_COMPARE(managementDialogCount(), 2);
    QTRY_COMPARE(wallRowsOf(first), QStringList{"Foyer"});
    QTRY_COMPARE(wallRowsOf(second), QStringList{"Foyer"});

    // Deleting one page takes its own decoder list with it, and nothing of the other.
    delete first;
    QTRY_COMPARE(managementDialogCount(), 1);
    QVERIFY(second);
    QCOMPARE(wallRowsOf(second), QStringList{"Foyer"});
    QVERIFY(second->isVisible());
    delete second;
    QTRY_COMPARE(managementDialogCount(), 0);
}

void TestModuleShell::recoveryChangesNothing()
{
    matrixConfigModuleInit& entry = PSingleton<matrixConfigModuleInit>::_instance();
    entry.recoveryToInitialState();
    std::unique_ptr<pral_base::BaseForm> form(entry.createMatrixConfigForm());
    form->show();
    QTRY_COMPARE(wallRowsOf(form.get()), QStringList{"Foyer"});
    const auto storedBefore = MatrixSdkWorker::getMatrixFromJson();
    entry.recoveryToInitialState();
    QCOMPARE(wallRowsOf(form.get()), QStringList{"Foyer"});
    QVERIFY(form->isVisible());
    QCOMPARE(MatrixSdkWorker::getMatrixFromJson().keys(), storedBefore.keys());
}

QTEST_MAIN(TestModuleShell)
#include "tst_moduleshell.moc"
