// The page and the decoder management dialog on decoders found over the network: the built-in fleet served by
// the daemon on loopback, found by discovery, logged in to by the page, and one decoder that vanishes while
// the operator works. Also renders both to PNG (folder TVWALL_SHOT_DIR, default <tmp>/tvwall-shots).

#include "connectstatetipwt.h"
#include "decoderdaemon.h"
#include "decodermanagementdlg.h"
#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "servicebackend.h"
#include "servicespy.h"

#include <QDir>
#include <QtTest>

using namespace pral_matrixConfig;
using namespace mgmt;
using pral_matrix::ConnectStateTipWt;
using pral_matrix::DecoderDaemon;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;

namespace {

void shoot(QWidget* widget, const QString& name)
{
    const QString dir = qEnvironmentVariableIsSet("TVWALL_SHOT_DIR") ? qEnvironmentVariable("TVWALL_SHOT_DIR")
                                                                     : QDir::temp().filePath("tvwall-shots");
    QDir().mkpath(dir);
    QVERIFY(widget->grab().save(QDir(dir).filePath(name), "PNG"));
}

DecoderManagementDlg* managementDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = qobject_cast<DecoderManagementDlg*>(w))
            return dlg;
    }
    return nullptr;
}

ConnectStateTipWt* visibleTip()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* tip = qobject_cast<ConnectStateTipWt*>(w); tip && tip->isVisible())
            return tip;
    }
    return nullptr;
}

} // namespace

class TestOnvifPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        MatrixSdkWorker::setDataDirectory(dir.filePath("data"));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath("store.key"));
        QString error;
        QVERIFY2(ServiceBackend::loadOverNetwork(MatrixSdkWorker::defaultFleetJson(),
                                                 pral_matrix::OnvifBackend::Options(), &error),
                 qPrintable(error));
        ServiceBackend::inDaemon([this](DecoderDaemon& d) { addresses = d.addresses(); });
    }

    void pageWorksOnDecodersFoundOverTheNetwork()
    {
        ServiceSpy searched(&MatrixSdkWorker::signalSearchMatrixResult);
        worker().searchMatrix();
        QTRY_COMPARE(searched.size(), 1);
        const MatrixInfoMap found = searched.first().first().value<MatrixInfoMap>();
        QCOMPARE(found.keys(), addresses);
        {
            DecoderManagementDlg search(found, MatrixInfoMap(), true);
            search.show();
            QCOMPARE(listedIps(&search), addresses);
            QCOMPARE(status(&search, addresses.at(4)), QStringLiteral("unactivated"));
            shoot(&search, "network-search.png");
        }

        // The operator added the activated decoders with their password.
        QList<MatrixInfo> added;
        for (MatrixInfo info : found) {
            if (!info.activated)
                continue;
            info.userName = "admin";
            info.password = Password;
            added << info;
        }
        MatrixSdkWorker::addDecoderToJson(added);
        MatrixSdkWorker::flushStore();
        MatrixConfigForm form;
        form.resize(1280, 760);
        form.show();
        QTRY_VERIFY(managementDialog());
        DecoderManagementDlg* managed = managementDialog();
        for (const MatrixInfo& info : qAsConst(added))
            QTRY_COMPARE(status(managed, info.ip), Up);
        QTRY_VERIFY(!form.isUpdatePending());
        shoot(&form, "network-page.png");
        managed->show();
        shoot(managed, "network-management.png");
        managed->hide();

        // A decoder goes away while connected: the operator is told, its connection is released, the store
        // keeps it.
        const QString gone = added.first().ip;
        ServiceBackend::inDaemon([&gone](DecoderDaemon& d) {
            DecoderDaemon::NetworkFault fault;
            fault.refuse = true;
            d.setNetworkFault(gone, fault);
        });
        worker().checkScreen(worker().getHandleByIp(gone), 1, true);
        QTRY_VERIFY(visibleTip());
        ConnectStateTipWt* tip = visibleTip();
        QCOMPARE(tip->tipContent(), QStringLiteral("%1 connection is broken").arg(gone));
        QVERIFY(!worker().getHandleByIp(gone));
        MatrixSdkWorker::flushStore();
        QCOMPARE(MatrixSdkWorker::getDecoderFromJson().size(), added.size());
        tip->hide();
    }

private:
    QTemporaryDir dir;
    QStringList addresses;
};

QTEST_MAIN(TestOnvifPage)
#include "tst_onvifpage.moc"
