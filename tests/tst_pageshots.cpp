// The page as an operator sees it, end to end on the simulated fleet: stored
// wall -> one click connects it -> its bindings on the grid. Each state is also
// rendered to a PNG (folder TVWALL_SHOT_DIR, default <tmp>/tvwall-shots) for
// people to look at.

#include "connectmatrixitem.h"
#include "decoderdevicetree.h"
#include "decodermanagementdlg.h"
#include "decodernetworkconfigdlg.h"
#include "devactivedlg.h"
#include "faultinjector.h"
#include "globalstyle.h"
#include "managementtesthelpers.h"
#include "matrixconfigform.h"
#include "matrixinfosyncdlg.h"
#include "matrixsdkworker.h"
#include "screenlayoutwt.h"
#include "screenwt.h"
#include "systemassistant.h"
#include "userlogindlg.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace pral_matrixConfig;
using namespace mgmt;
using pral_matrix::MatrixInfo;
using pral_matrix::MatrixSdkWorker;
using pral_matrix::TvWallManagement;
using pral_worker::SystemAssistant;

namespace {

void storeControlRoom()
{
    MatrixInfo decoder;
    decoder.ip = Control;
    decoder.matrixType = pral_matrix::MATRIX_TYPE_MULTI_OUTPUT;
    decoder.channelCount = 16;
    decoder.userName = QStringLiteral("admin");
    decoder.password = QStringLiteral("Tvwall@2024");
    decoder.activated = true;
    MatrixSdkWorker::addDecoderToJson({decoder});

    TvWallManagement wall;
    wall.tvWallName = QStringLiteral("Control room");
    wall.mainIp = Control;
    wall.row = 3;
    wall.col = 4;
    wall.mainMatrix = decoder;
    for (int i = 0; i < 12; ++i) {
        MatrixInfo screen = decoder;
        screen.channel = i + 1;
        screen.row = i / 4;
        screen.column = i % 4;
        wall.matrixInfoList.append(screen);
    }
    MatrixSdkWorker::addMatrixToJson({wall});
    MatrixSdkWorker::flushStore();
}

ConnectMatrixItem* wallRow(QWidget* form, const QString& name)
{
    for (ConnectMatrixItem* row : form->findChildren<ConnectMatrixItem*>()) {
        if (row->isVisibleTo(form) && row->text() == name)
            return row;
    }
    return nullptr;
}

QString shotDir()
{
    const QString dir = qEnvironmentVariableIsSet("TVWALL_SHOT_DIR")
                            ? qEnvironmentVariable("TVWALL_SHOT_DIR")
                            : QDir::temp().filePath(QStringLiteral("tvwall-shots"));
    QDir().mkpath(dir);
    return dir;
}

} // namespace

class TestPageShots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void emptyPage();
    void connectedWallShowsItsBindings();
    void decoderDialogs();

private:
    void shoot(const QString& name);
    static void shoot(QWidget* widget, const QString& name);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MatrixConfigForm> form;
};

void TestPageShots::initTestCase()
{
    // The host's look, as the application has it.
    PCOMMON::applyGlobalStyleSheet(*qApp);
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
    shoot(form.get(), name);
}

void TestPageShots::shoot(QWidget* widget, const QString& name)
{
    // A window shown a moment ago may not have laid itself out yet: its picture would show a scroll bar
    // that the finished layout does not have.
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QString path = QDir(shotDir()).filePath(name);
    QVERIFY2(widget->grab().save(path, "PNG"), qPrintable(path));
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
    QVERIFY(hint && hint->isVisible() && hint->text().contains(QLatin1String("\"Decoder Management\"")));
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
    QCOMPARE(alerts.first().at(1).toString(), QStringLiteral("Tvwall(Control room):Connect success!"));

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
    shoot(QStringLiteral("page-connected-3x4.png"));

    auto* tree = form->findChild<DecoderDeviceTree*>();
    tree->lock();
    QVERIFY(tree->isLocked());
    QVERIFY(!form->findChild<QTreeWidget*>(QStringLiteral("rsTreeWidget"))->isEnabled());
    shoot(QStringLiteral("page-locked-tree.png"));
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
        QTRY_COMPARE(status(&managed, Main), QStringLiteral("connect success"));
        QTRY_COMPARE(status(&managed, "192.0.2.99"), QStringLiteral("connect failed"));
        QCOMPARE(listedIps(&managed), (QStringList{Main, Single, Eight, "192.0.2.99"}));
        shoot(&managed, QStringLiteral("management.png"));
    }
    {
        DecoderManagementDlg search(found({Other, Fresh, Fresh2, Control}), MatrixInfoMap(), true);
        search.show();
        QCOMPARE(listedIps(&search), (QStringList{Other, Fresh, Fresh2, Control}));
        QCOMPARE(status(&search, Fresh), QStringLiteral("unactivated"));
        QCOMPARE(status(&search, Other), QStringLiteral("activated"));
        shoot(&search, QStringLiteral("search.png"));
        // Four rows fit the list: no scroll bar in the picture.
        QVERIFY(!search.findChild<QScrollArea*>("tableScrollArea")->verticalScrollBar()->isVisible());
    }
    {
        DevActiveDlg activation(false);
        activation.show();
        QTest::keyClicks(activation.findChild<QLineEdit*>(QStringLiteral("pwdEdt")),
                         QStringLiteral("Tvwall@2025"));
        shoot(&activation, QStringLiteral("activation.png"));
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
        shoot(&network, QStringLiteral("network.png"));
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

QTEST_MAIN(TestPageShots)
#include "tst_pageshots.moc"
