// The decoder management dialog with a large fleet: building its table, and
// logging into every decoder with the page attached, so that each result goes
// through the dialog's table, the page's redraw and the store.

#include "benchutil.h"
#include "decoderdevicetree.h"
#include "decodermanagementdlg.h"
#include "matrixconfigform.h"
#include "matrixsdkworker.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace pral_matrix;
using pral_matrixConfig::DecoderManagementDlg;
using pral_matrixConfig::MatrixConfigForm;

namespace bench {
namespace {

constexpr int StatusColumn = 5;
const char* const Password = "Bench@2024";
// A simulated decoder has at most 64 outputs: a wall's screens are spread over decoders of 50.
constexpr int OutputsPerDecoder = 50;
constexpr int Side = 10;

/** The fleet of one run: stored decoders, and walls whose screens use the first of them. */
struct Fleet
{
    int decoders;
    int walls;
    int outputs;

    int perWall() const { return (outputs + OutputsPerDecoder - 1) / OutputsPerDecoder; }
    bool isWallDecoder(int i) const { return i < walls * perWall(); }
    QString label() const
    {
        return QStringLiteral("%1 decoders, %2 x %3").arg(decoders).arg(walls).arg(outputs);
    }
};

QString addressOf(int i)
{
    return QStringLiteral("10.30.%1.%2").arg(i / 200).arg(i % 200 + 1);
}

QByteArray fleetJson(const Fleet& fleet)
{
    QJsonArray decoders;
    for (int i = 0; i < fleet.decoders; ++i)
        decoders.append(QJsonObject{{"ip", addressOf(i)},
                                    {"deviceId", QStringLiteral("MGMT-%1").arg(i)},
                                    {"type", fleet.isWallDecoder(i) ? 3 : 1},
                                    {"channels", fleet.isWallDecoder(i) ? OutputsPerDecoder : 1},
                                    {"password", Password}});
    return QJsonDocument(QJsonObject{{"latencyMs", 0}, {"decoders", decoders}}).toJson();
}

MatrixInfoMap storedDecoders(const Fleet& fleet)
{
    MatrixInfoMap map;
    for (int i = 0; i < fleet.decoders; ++i) {
        MatrixInfo info;
        info.ip = addressOf(i);
        info.deviceId = QStringLiteral("MGMT-%1").arg(i);
        info.matrixType = static_cast<MatrixType>(fleet.isWallDecoder(i) ? 3 : 1);
        info.channelCount = fleet.isWallDecoder(i) ? OutputsPerDecoder : 1;
        info.userName = QStringLiteral("admin");
        info.password = QString::fromLatin1(Password);
        info.version = QStringLiteral("V2.3.1 build 240611");
        info.activated = true;
        map.insert(info.ip, info);
    }
    return map;
}

QList<TvWallManagement> storedWalls(const Fleet& fleet)
{
    const int cols = std::min(Side, fleet.outputs);
    QList<TvWallManagement> walls;
    for (int w = 0; w < fleet.walls; ++w) {
        TvWallManagement wall;
        wall.tvWallName = QStringLiteral("Wall %1").arg(w + 1, 4, 10, QLatin1Char('0'));
        wall.mainIp = addressOf(w * fleet.perWall());
        wall.row = (fleet.outputs + cols - 1) / cols;
        wall.col = cols;
        for (int n = 0; n < fleet.outputs; ++n) {
            MatrixInfo screen;
            screen.matrixType = static_cast<MatrixType>(3);
            screen.ip = addressOf(w * fleet.perWall() + n / OutputsPerDecoder);
            screen.channel = n % OutputsPerDecoder + 1;
            screen.row = n / cols;
            screen.column = n % cols;
            wall.matrixInfoList.append(screen);
        }
        walls.append(wall);
    }
    return walls;
}

/** Counts connection results on the GUI thread, like the dialog receives them. */
class ResultCounter : public QObject
{
public:
    ResultCounter()
    {
        connect(&PSingleton<MatrixSdkWorker>::_instance(), &MatrixSdkWorker::signalConnectMatrixResult, this,
                &ResultCounter::count, Qt::BlockingQueuedConnection);
    }
    void count(QSharedPointer<CSharedHandle> handle, int result, int, void*)
    {
        handle.clear();
        ++received;
        if (result == 0)
            ++succeeded;
    }
    /** Processes events until n results arrived; false after timeoutMs. */
    bool waitFor(int n, int timeoutMs = 60000)
    {
        QElapsedTimer timer;
        timer.start();
        while (received < n && timer.elapsed() < timeoutMs)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        return received >= n;
    }

    int received = 0;
    int succeeded = 0;
};

qint64 statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void buildPlainTable(int decoders)
{
    QTableWidget table;
    table.horizontalHeader()->hide();
    table.verticalHeader()->hide();
    table.setColumnCount(7);
    for (int i = 0; i < decoders; ++i) {
        table.insertRow(i);
        table.setRowHeight(i, 30);
        table.setItem(i, 0, new QTableWidgetItem);
        table.setCellWidget(i, 0, new QCheckBox(&table));
        table.setItem(i, 1, new QTableWidgetItem(QString::number(i + 1)));
        table.setItem(i, 2, new QTableWidgetItem(addressOf(i)));
        table.setItem(i, 3, new QTableWidgetItem(QStringLiteral("1")));
        table.setItem(i, 4, new QTableWidgetItem(QStringLiteral("V2.3.1 build 240611")));
        table.setItem(i, 5, new QTableWidgetItem(QStringLiteral("connecting")));
        table.setItem(i, 6, new QTableWidgetItem);
        auto* buttons = new QWidget(&table);
        auto* layout = new QHBoxLayout(buttons);
        for (const char* text : {"change password", "device config", "delete"})
            layout->addWidget(new QPushButton(QString::fromLatin1(text), buttons));
        table.setCellWidget(i, 6, buttons);
    }
}

/** Median build time of the dialog for the fleet's stored decoders, and of the plain table. */
std::pair<double, double> benchBuild(const Fleet& fleet)
{
    QTemporaryDir dir;
    MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
    MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("store.key")));
    const MatrixInfoMap decoders = storedDecoders(fleet);

    ResultCounter counter;
    int runs = 0;
    std::vector<double> samples;
    // One warm-up build, then up to five measured; the rows' logins are answered outside the measured time.
    for (int i = 0; i < 6; ++i) {
        QElapsedTimer timer;
        timer.start();
        auto* dialog = new DecoderManagementDlg(decoders, MatrixInfoMap(), false, nullptr);
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        if (i > 0)
            samples.push_back(elapsed);
        ++runs;
        if (!counter.waitFor(runs * fleet.decoders))
            qFatal("the fleet did not answer every login");
        delete dialog;
        if (i >= 3 && elapsed > 2000)
            break;
    }
    releaseDataDirectory(dir.filePath(QStringLiteral("released")));
    const double plain = adaptiveMedianMs([&] { buildPlainTable(fleet.decoders); });
    return {median(samples), plain};
}

DecoderManagementDlg* managementDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = qobject_cast<DecoderManagementDlg*>(w))
            return dlg;
    }
    return nullptr;
}

bool allRowsConnected(DecoderManagementDlg* dialog, int decoders)
{
    const auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("decoderTableWidget"));
    if (!table || table->rowCount() != decoders)
        return false;
    const QString success = DecoderManagementDlg::tr("connect success");
    for (int row = 0; row < decoders; ++row) {
        if (table->item(row, StatusColumn)->text() != success)
            return false;
    }
    return true;
}

/** One login of the whole fleet with the page attached; returns the time until all is shown and stored. */
double loginWithPage(const Fleet& fleet)
{
    QTemporaryDir dir;
    MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
    MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("store.key")));
    MatrixSdkWorker::addDecoderToJson(storedDecoders(fleet).values());
    MatrixSdkWorker::addMatrixToJson(storedWalls(fleet));
    MatrixSdkWorker::flushStore();

    ResultCounter counter;
    QElapsedTimer timer;
    timer.start();
    auto* form = new MatrixConfigForm;
    form->resize(1400, 900);
    form->show();
    DecoderManagementDlg* dialog = nullptr;
    while (!(dialog = managementDialog()) && timer.elapsed() < 600000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    // Counting results is cheap; the table is read once they are all in.
    while (dialog && timer.elapsed() < 600000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (counter.succeeded >= fleet.decoders && !form->isUpdatePending() &&
            allRowsConnected(dialog, fleet.decoders))
            break;
    }
    // Stored means on disk: whatever the store still gathers is written inside the time.
    MatrixSdkWorker::flushStore();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (!dialog || !allRowsConnected(dialog, fleet.decoders))
        qFatal("the page did not show every decoder connected");

    // What the operator sees: every wall listed as connected (only the rows in view carry widgets).
    int connectedWalls = 0;
    const auto* tree = form->findChild<pral_matrixConfig::DecoderDeviceTree*>();
    for (const QString& name : tree->listedTvWallNames())
        connectedWalls += tree->isTvWallConnected(name) ? 1 : 0;
    if (connectedWalls != fleet.walls)
        qFatal("the page shows %d of %d walls connected", connectedWalls, fleet.walls);

    MatrixSdkWorker::flushStore();
    const MatrixInfoMap stored = MatrixSdkWorker::getDecoderFromJson();
    int storedConnected = 0;
    for (const MatrixInfo& info : stored)
        storedConnected += info.connectStatus == 1 ? 1 : 0;
    if (stored.size() != fleet.decoders || storedConnected != fleet.decoders)
        qFatal("the store holds %d decoders, %d connected", int(stored.size()), storedConnected);

    delete form;
    PSingleton<MatrixSdkWorker>::_instance().disconnectAllMatrix();
    releaseDataDirectory(dir.filePath(QStringLiteral("released")));
    return elapsed;
}

/** The same logins answered by a bare receiver: what the service itself costs. */
double loginBare(const Fleet& fleet)
{
    ResultCounter counter;
    const MatrixInfoMap decoders = storedDecoders(fleet);
    QElapsedTimer timer;
    timer.start();
    for (const MatrixInfo& info : decoders)
        PSingleton<MatrixSdkWorker>::_instance().connectMatrix(info, nullptr);
    if (!counter.waitFor(fleet.decoders))
        qFatal("the fleet did not answer every login");
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    PSingleton<MatrixSdkWorker>::_instance().disconnectAllMatrix();
    return elapsed;
}

std::pair<double, double> benchLogin(const Fleet& fleet)
{
    std::vector<double> ours;
    std::vector<double> bare;
    for (int i = 0; i < 3; ++i) {
        ours.push_back(loginWithPage(fleet));
        bare.push_back(loginBare(fleet));
        if (ours.back() > 5000)
            break;
    }
    return {median(ours), median(bare)};
}

} // namespace

void runManagementBench()
{
    const Size& base = size();
    const qint64 startPeak = statusKiB("VmHWM:");
    QString error;
    ScaleTable table(
        QStringLiteral("Scale: the management dialog (ms, median; baselines: a plain QTableWidget "
                       "with the same rows and cell widgets, a bare result receiver)"),
        {"decoders", "walls", "build", "plain table", "ratio", "connect-all", "bare", "ratio"});
    QList<int> factors = base.scale;
    if (!factors.contains(1))
        factors.prepend(1);
    for (int factor : qAsConst(factors)) {
        Fleet fleet{base.decoders * factor, base.walls * factor, base.outputs};
        fleet.decoders = std::max(fleet.decoders, fleet.walls * fleet.perWall());
        if (!PSingleton<MatrixSdkWorker>::_instance().loadFleet(fleetJson(fleet), &error))
            qFatal("bench fleet: %s", qPrintable(error));
        PSingleton<MatrixSdkWorker>::_instance().setResultDelay(0);
        const auto built = benchBuild(fleet);
        const auto login = benchLogin(fleet);
        if (factor == 1) {
            report(QStringLiteral("management dialog, %1 stored decoders").arg(fleet.decoders), built.first,
                   QStringLiteral("ms"), built.second,
                   QStringLiteral(
                       "<= 400 ms at 2000 (baseline: plain QTableWidget, same rows and cell widgets)"));
            report(QStringLiteral("connect-all, shown and stored: ") + fleet.label(), login.first,
                   QStringLiteral("ms"), login.second,
                   QStringLiteral(
                       "linear; <= 600 ms at 4000 decoders, 160 walls (baseline: bare result receiver)"));
            const qint64 peak = statusKiB("VmHWM:");
            report(QStringLiteral("peak resident memory (VmHWM) after these"), double(peak) / 1024.0,
                   QStringLiteral("MiB"), double(startPeak) / 1024.0,
                   QStringLiteral("<= 300 MiB (baseline: peak before the group)"));
        }
        if (base.scale.contains(factor))
            table.add({QString::number(fleet.decoders), QString::number(fleet.walls), ms(built.first),
                       ms(built.second), QString::number(built.first / built.second, 'f', 1) + 'x',
                       ms(login.first), ms(login.second),
                       QString::number(login.first / login.second, 'f', 0) + 'x'});
    }
    if (base.scale.size() > 1)
        table.print();
}

} // namespace bench
