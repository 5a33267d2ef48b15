// The page at a given size (walls x outputs per wall): the tree refill, the
// grid rebuild and the page's work per connection result, each against plain
// widgets that show the same entries; then the same figures at multiples of
// the size, so that the growth shows.

#include "benchutil.h"
#include "decoderdevicetree.h"
#include "decodermanagementdlg.h"
#include "matrixconfigform.h"
#include "matrixsdkworker.h"
#include "screenlayoutwt.h"

#include <QApplication>
#include <QGridLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWidget>

#include <cmath>

using namespace pral_matrix;
using namespace pral_matrixConfig;

namespace bench {
namespace {

constexpr int Side = 10;
// A simulated decoder has at most 64 outputs: a wall's screens are spread over decoders of 50.
constexpr int OutputsPerDecoder = 50;
const char* const Password = "Bench@2024";

int decodersPerWall(int outputs)
{
    return (outputs + OutputsPerDecoder - 1) / OutputsPerDecoder;
}

QString decoderIp(int wall, int part)
{
    const int i = wall * 2 + part;
    return QStringLiteral("10.30.%1.%2").arg(i / 200).arg(i % 200 + 1);
}

/** Walls of `outputs` screens (10 columns), each screen bound to one output of the wall's own decoders. */
QMap<QString, TvWallManagement> makeWalls(int walls, int outputs)
{
    const int cols = std::min(Side, outputs);
    QMap<QString, TvWallManagement> map;
    for (int w = 0; w < walls; ++w) {
        TvWallManagement wall;
        wall.tvWallName = QStringLiteral("Wall %1").arg(w + 1, 4, 10, QLatin1Char('0'));
        wall.mainIp = decoderIp(w, 0);
        wall.row = (outputs + cols - 1) / cols;
        wall.col = cols;
        wall.connected = true;
        for (int s = 0; s < outputs; ++s) {
            MatrixInfo screen;
            screen.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
            screen.ip = decoderIp(w, s / OutputsPerDecoder);
            screen.channel = s % OutputsPerDecoder + 1;
            screen.row = s / cols;
            screen.column = s % cols;
            wall.matrixInfoList.append(screen);
        }
        wall.mainMatrix.ip = wall.mainIp;
        wall.mainMatrix.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
        map.insert(wall.tvWallName, wall);
    }
    return map;
}

MatrixInfoMap makeDecoders(int walls, int outputs)
{
    MatrixInfoMap decoders;
    for (int w = 0; w < walls; ++w) {
        for (int part = 0; part < decodersPerWall(outputs); ++part) {
            MatrixInfo info;
            info.ip = decoderIp(w, part);
            info.deviceId = QStringLiteral("WALL-%1-%2").arg(w).arg(part);
            info.matrixType = MATRIX_TYPE_MULTI_OUTPUT;
            info.userName = QStringLiteral("admin");
            info.password = QString::fromLatin1(Password);
            info.channelCount = OutputsPerDecoder;
            info.activated = true;
            info.connectStatus = 1;
            decoders.insert(info.ip, info);
        }
    }
    return decoders;
}

QByteArray fleetJson(const MatrixInfoMap& decoders)
{
    QJsonArray list;
    for (const MatrixInfo& info : decoders)
        list.append(QJsonObject{{"ip", info.ip},
                                {"deviceId", info.deviceId},
                                {"type", 3},
                                {"channels", OutputsPerDecoder},
                                {"password", Password}});
    return QJsonDocument(QJsonObject{{"latencyMs", 0}, {"decoders", list}}).toJson();
}

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

void settle()
{
    QApplication::processEvents();
    QApplication::processEvents();
}

double treeRefill(const QMap<QString, TvWallManagement>& walls)
{
    DecoderDeviceTree tree;
    tree.resize(300, 800);
    tree.show();
    settle();
    return adaptiveMedianMs([&] {
        tree.clearTree();
        tree.showTvWalls(walls);
        QApplication::processEvents();
    });
}

double textOnlyRefill(const QMap<QString, TvWallManagement>& walls)
{
    QTreeWidget plain;
    plain.resize(300, 800);
    plain.show();
    settle();
    return adaptiveMedianMs([&] {
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
}

void benchGrid()
{
    ScreenLayoutWt grid;
    grid.resize(900, 700);
    grid.show();
    QApplication::processEvents();
    std::vector<double> samples;
    for (int i = 0; i < 31; ++i) {
        // Another size first makes every run a real rebuild.
        grid.setLayout(3, 4);
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        grid.setLayout(Side, Side);
        QApplication::processEvents();
        if (i > 0)
            samples.push_back(double(timer.nsecsElapsed()) / 1e6);
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
           QStringLiteral("<= 2x plain widgets"));
}

DecoderManagementDlg* managementDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = qobject_cast<DecoderManagementDlg*>(w))
            return dlg;
    }
    return nullptr;
}

/**
 * The page loaded with the walls and their decoders, every decoder logged into the simulated fleet.
 * Connection results are fed to it as the decoder management dialog reports them: the whole decoder
 * list, one state changed.
 */
class Page
{
public:
    Page(const QMap<QString, TvWallManagement>& walls, const MatrixInfoMap& decoders)
        : decoders(decoders)
    {
        QString error;
        if (!worker().loadFleet(fleetJson(decoders), &error))
            qFatal("bench fleet: %s", qPrintable(error));
        worker().setResultDelay(0);
        MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
        MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("store.key")));
        MatrixSdkWorker::addDecoderToJson(decoders.values());
        MatrixSdkWorker::addMatrixToJson(walls.values());
        MatrixSdkWorker::flushStore();

        QAtomicInt results;
        const auto counter =
            QObject::connect(&worker(), &MatrixSdkWorker::signalConnectMatrixResult,
                             [&results](QSharedPointer<CSharedHandle>, int, int, void*) { results.ref(); });
        form = new MatrixConfigForm;
        form->resize(1400, 900);
        form->show();
        QElapsedTimer wait;
        wait.start();
        while ((!(dialog = managementDialog()) || results.loadAcquire() < decoders.size() ||
                form->isUpdatePending()) &&
               wait.elapsed() < 600000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        QObject::disconnect(counter);
        if (!dialog || results.loadAcquire() < decoders.size())
            qFatal("the page did not log into its decoders");
        tree = form->findChild<DecoderDeviceTree*>();
        settle();
    }

    ~Page()
    {
        delete form;
        worker().disconnectAllMatrix();
        releaseDataDirectory(dir.filePath(QStringLiteral("released")));
    }

    void setStatus(const QString& ip, int status) { decoders[ip].connectStatus = status; }
    int status(const QString& ip) const { return decoders.value(ip).connectStatus; }

    /** One report of the dialog; flushed draws it now instead of on the next quiet turn. */
    void report(bool flushed = true)
    {
        emit dialog->sig_matrixInfoChanged(decoders);
        if (flushed) {
            QMetaObject::invokeMethod(form, "slotFlushPendingUpdate");
            QApplication::processEvents();
        }
    }

    QString shownWall() const { return tree->shownTvWallName(); }

    QTemporaryDir dir;
    MatrixInfoMap decoders;
    MatrixConfigForm* form = nullptr;
    DecoderManagementDlg* dialog = nullptr;
    DecoderDeviceTree* tree = nullptr;
};

struct Figures
{
    int walls = 0;
    double refill = 0;
    double textOnly = 0;
    double otherWall = 0;
    double shownWall = 0;
    double burst = 0;
};

int wallIndexOf(const QString& name)
{
    return name.mid(5).toInt() - 1;
}

Figures measure(int walls, int outputs)
{
    Figures f;
    f.walls = walls;
    const QMap<QString, TvWallManagement> wallMap = makeWalls(walls, outputs);
    f.refill = treeRefill(wallMap);
    f.textOnly = textOnlyRefill(wallMap);

    Page page(wallMap, makeDecoders(walls, outputs));
    page.report();
    // A decoder of a wall that is not on the screens drops and comes back, in turn.
    if (walls > 1) {
        int turn = 0;
        f.otherWall = adaptiveMedianMs([&] {
            const int wall = 1 + (turn++ / 2) % (walls - 1);
            const QString ip = decoderIp(wall, 0);
            page.setStatus(ip, page.status(ip) == 1 ? 2 : 1);
            page.report();
        });
        for (int w = 0; w < walls; ++w)
            page.setStatus(decoderIp(w, 0), 1);
        page.report();

        // A decoder of the wall on the screens drops: the next connected wall is shown instead.
        f.shownWall = adaptiveMedianMs(
            [&] {
                const QString shown = page.shownWall();
                page.setStatus(decoderIp(wallIndexOf(shown), 0), 2);
                page.report();
            },
            3000, 1, std::max(1, walls - 2));
        for (int w = 0; w < walls; ++w)
            page.setStatus(decoderIp(w, 0), 1);
        page.report();
    }

    // The whole site logs in: one report per decoder, back to back, as results come in a burst.
    const QStringList ips = page.decoders.keys();
    std::vector<double> samples;
    for (int run = 0; run < 4; ++run) {
        for (const QString& ip : ips)
            page.setStatus(ip, 2);
        page.report();
        QElapsedTimer timer;
        timer.start();
        for (const QString& ip : ips) {
            page.setStatus(ip, 1);
            page.report(false);
        }
        QMetaObject::invokeMethod(page.form, "slotFlushPendingUpdate");
        QApplication::processEvents();
        if (run > 0)
            samples.push_back(double(timer.nsecsElapsed()) / 1e6 / ips.size());
    }
    f.burst = median(samples);
    return f;
}

} // namespace

void runWorkspaceBench()
{
    const Size& base = size();
    benchGrid();

    QList<Figures> rows;
    for (int factor : base.scale)
        rows.append(measure(base.walls * factor, base.outputs));
    if (!base.scale.contains(1))
        rows.prepend(measure(base.walls, base.outputs));
    const Figures& f =
        *std::find_if(rows.begin(), rows.end(), [&](const Figures& r) { return r.walls == base.walls; });

    const QString label = QStringLiteral("%1 x %2").arg(base.walls).arg(base.outputs);
    const QString textOnly = QStringLiteral("baseline: text-only QTreeWidget refill, same entries");
    report(QStringLiteral("tree refill, walls x outputs ") + label, f.refill, QStringLiteral("ms"),
           f.textOnly, QStringLiteral("<= 60 ms at 20 x 100, <= 250 ms at 80 x 100"));
    if (base.walls > 1) {
        report(QStringLiteral("page per connection result, other wall, ") + label, f.otherWall,
               QStringLiteral("ms"), f.textOnly, QStringLiteral("<= 16 ms (") + textOnly + ')');
        report(QStringLiteral("page per connection result, shown wall, ") + label, f.shownWall,
               QStringLiteral("ms"), f.textOnly, QStringLiteral("<= 16 ms"));
    }
    report(QStringLiteral("page per connection result, burst of all, ") + label, f.burst,
           QStringLiteral("ms"), f.textOnly, QStringLiteral("<= 16 ms"));

    ScaleTable table(QStringLiteral("Scale: the page at %1 outputs per wall (ms, median; text-only "
                                    "QTreeWidget refill of the same entries as the baseline)")
                         .arg(base.outputs),
                     {"walls", "entries", "refill", "text-only", "ratio", "result other", "result shown",
                      "result in burst"});
    for (const Figures& r : qAsConst(rows))
        table.add({QString::number(r.walls), QString::number(r.walls * (base.outputs + 1)), ms(r.refill),
                   ms(r.textOnly), QString::number(r.refill / r.textOnly, 'f', 1) + 'x',
                   r.walls > 1 ? ms(r.otherWall) : QStringLiteral("-"),
                   r.walls > 1 ? ms(r.shownWall) : QStringLiteral("-"), ms(r.burst)});
    table.print();
}

} // namespace bench
