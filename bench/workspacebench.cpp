// The page redraws its tree and grid from scratch after every change; these
// measure that redraw against plain widgets that show the same entries.

#include "benchutil.h"
#include "decoderdevicetree.h"
#include "decodermanagementdlg.h"
#include "matrixconfigform.h"
#include "matrixsdkworker.h"
#include "screenlayoutwt.h"

#include <QApplication>
#include <QGridLayout>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWidget>

using namespace pral_matrix;
using namespace pral_matrixConfig;

namespace bench {
namespace {

constexpr int Walls = 20;
constexpr int Side = 10;

QString mainIpOf(int wall)
{
    return QStringLiteral("10.30.0.%1").arg(wall + 1);
}

/** Twenty walls of 10 x 10, each screen bound to one output of the wall's own multi-output decoder. */
QMap<QString, TvWallManagement> makeWalls()
{
    QMap<QString, TvWallManagement> walls;
    for (int w = 0; w < Walls; ++w) {
        TvWallManagement wall;
        wall.tvWallName = QStringLiteral("Wall %1").arg(w + 1, 2, 10, QLatin1Char('0'));
        wall.mainIp = mainIpOf(w);
        wall.row = Side;
        wall.col = Side;
        wall.connected = true;
        for (int s = 0; s < Side * Side; ++s) {
            MatrixInfo screen;
            screen.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
            screen.ip = wall.mainIp;
            screen.channel = s + 1;
            screen.row = s / Side;
            screen.column = s % Side;
            wall.matrixInfoList.append(screen);
        }
        wall.mainMatrix.ip = wall.mainIp;
        wall.mainMatrix.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
        walls.insert(wall.tvWallName, wall);
    }
    return walls;
}

MatrixInfoMap makeDecoders(int connectStatus)
{
    MatrixInfoMap decoders;
    for (int w = 0; w < Walls; ++w) {
        MatrixInfo info;
        info.ip = mainIpOf(w);
        info.deviceId = QStringLiteral("WALL-%1").arg(w);
        info.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
        info.userName = QStringLiteral("admin");
        info.password = QStringLiteral("Bench@2024");
        info.channelCount = Side * Side;
        info.activated = true;
        info.connectStatus = connectStatus;
        decoders.insert(info.ip, info);
    }
    return decoders;
}

void benchTree(const QMap<QString, TvWallManagement>& walls)
{
    DecoderDeviceTree tree;
    tree.resize(300, 800);
    tree.show();
    QApplication::processEvents();
    const double ours = medianMs(15, [&] {
        tree.clearTree();
        tree.showTvWalls(walls);
        QApplication::processEvents();
    });

    QTreeWidget plain;
    plain.resize(300, 800);
    plain.show();
    QApplication::processEvents();
    const double baseline = medianMs(15, [&] {
        plain.clear();
        for (const TvWallManagement& wall : walls) {
            auto* top = new QTreeWidgetItem(&plain, QStringList(wall.tvWallName));
            for (const MatrixInfo& screen : wall.matrixInfoList)
                new QTreeWidgetItem(
                    top, QStringList(screen.ip + QLatin1Char('-') + QString::number(screen.channel)));
        }
        plain.expandAll();
        QApplication::processEvents();
    });
    report(QStringLiteral("tree refill, 20 walls x 100 outputs"), ours, QStringLiteral("ms"), baseline,
           QStringLiteral("<= 250 ms"));
}

void benchGrid()
{
    ScreenLayoutWt grid;
    grid.resize(900, 700);
    grid.show();
    QApplication::processEvents();
    // Alternating with another size makes every run a real rebuild.
    bool big = false;
    std::vector<double> samples;
    for (int i = 0; i < 31; ++i) {
        grid.setLayout(3, 4);
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        grid.setLayout(Side, Side);
        QApplication::processEvents();
        if (i > 0)
            samples.push_back(double(timer.nsecsElapsed()) / 1e6);
        big = !big;
    }
    const double ours = median(samples);

    QWidget plain;
    plain.resize(900, 700);
    plain.show();
    QApplication::processEvents();
    samples.clear();
    for (int i = 0; i < 31; ++i) {
        QElapsedTimer timer;
        timer.start();
        delete plain.layout();
        qDeleteAll(plain.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
        auto* layout = new QGridLayout(&plain);
        for (int s = 0; s < Side * Side; ++s)
            layout->addWidget(new QWidget, s / Side, s % Side);
        QApplication::processEvents();
        if (i > 0)
            samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    report(QStringLiteral("grid rebuild setLayout(10, 10)"), ours, QStringLiteral("ms"), median(samples),
           QStringLiteral("<= 25 ms"));
}

DecoderManagementDlg* managementDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = qobject_cast<DecoderManagementDlg*>(w))
            return dlg;
    }
    return nullptr;
}

void benchRedraw(const QMap<QString, TvWallManagement>& walls)
{
    QTemporaryDir dir;
    MatrixSdkWorker::setDataDirectory(dir.path());
    MatrixSdkWorker::addDecoderToJson(makeDecoders(1).values());
    MatrixSdkWorker::addMatrixToJson(walls.values());
    MatrixSdkWorker::flushStore();

    auto* form = new MatrixConfigForm;
    form->resize(1400, 900);
    form->show();
    DecoderManagementDlg* dialog = nullptr;
    QElapsedTimer wait;
    wait.start();
    while (!(dialog = managementDialog()) && wait.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!dialog)
        qFatal("the page did not load its decoder list");

    // One decoder's connection result flips its status; the page redraws everything.
    MatrixInfoMap decoders = makeDecoders(1);
    int flip = 0;
    const double redraw = medianMs(15, [&] {
        MatrixInfo& one = decoders[mainIpOf(flip++ % Walls)];
        one.connectStatus = one.connectStatus == 1 ? 2 : 1;
        emit dialog->sig_matrixInfoChanged(decoders);
        // The page draws reports on a quiet turn of the event loop; draw this one now to time it.
        QMetaObject::invokeMethod(form, "slotFlushPendingUpdate");
        QApplication::processEvents();
    });
    const double treeOnly = medianMs(15, [&] {
        auto* tree = form->findChild<DecoderDeviceTree*>();
        tree->clearTree();
        tree->showTvWalls(walls);
        QApplication::processEvents();
    });
    report(QStringLiteral("whole redraw after one connection result, 20 walls 10x10"), redraw,
           QStringLiteral("ms"), treeOnly, QStringLiteral("<= 300 ms (baseline: tree refill alone)"));
    delete form;
    MatrixSdkWorker::flushStore();
}

} // namespace

void runWorkspaceBench()
{
    const QMap<QString, TvWallManagement> walls = makeWalls();
    benchTree(walls);
    benchGrid();
    benchRedraw(walls);
}

} // namespace bench
