// The decoder management dialog with a large fleet: building its table, and
// logging into every decoder with the page attached, so that each result goes
// through the dialog's table, the page's redraw and the store.

#include "benchutil.h"
#include "connectmatrixitem.h"
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

constexpr int Decoders = 500;
constexpr int Walls = 20;
constexpr int WallSide = 10;
constexpr int StatusColumn = 5;
const char* const Password = "Bench@2024";

QString addressOf(int i)
{
    return QStringLiteral("10.30.%1.%2").arg(i / 200).arg(i % 200 + 1);
}

// A decoder has at most 64 outputs: each wall's screens are split between its main decoder (i) and a
// second multi-output decoder (Walls + i), half and half.
constexpr int HalfWall = WallSide * WallSide / 2;

bool isWallDecoder(int i)
{
    return i < 2 * Walls;
}

QByteArray fleetJson()
{
    QJsonArray decoders;
    for (int i = 0; i < Decoders; ++i)
        decoders.append(QJsonObject{{"ip", addressOf(i)},
                                    {"deviceId", QStringLiteral("MGMT-%1").arg(i)},
                                    {"type", isWallDecoder(i) ? 3 : 1},
                                    {"channels", isWallDecoder(i) ? HalfWall : 1},
                                    {"password", Password}});
    return QJsonDocument(QJsonObject{{"latencyMs", 0}, {"decoders", decoders}}).toJson();
}

MatrixInfoMap storedDecoders()
{
    MatrixInfoMap map;
    for (int i = 0; i < Decoders; ++i) {
        MatrixInfo info;
        info.ip = addressOf(i);
        info.deviceId = QStringLiteral("MGMT-%1").arg(i);
        info.matrixType = static_cast<MatrixType>(isWallDecoder(i) ? 3 : 1);
        info.channelCount = isWallDecoder(i) ? HalfWall : 1;
        info.userName = QStringLiteral("admin");
        info.password = QString::fromLatin1(Password);
        info.version = QStringLiteral("V2.3.1 build 240611");
        info.activated = true;
        map.insert(info.ip, info);
    }
    return map;
}

QList<TvWallManagement> storedWalls()
{
    QList<TvWallManagement> walls;
    for (int w = 0; w < Walls; ++w) {
        TvWallManagement wall;
        wall.tvWallName = QStringLiteral("Wall %1").arg(w + 1);
        wall.mainIp = addressOf(w);
        wall.row = WallSide;
        wall.col = WallSide;
        for (int n = 0; n < WallSide * WallSide; ++n) {
            MatrixInfo screen;
            screen.matrixType = static_cast<MatrixType>(3);
            screen.ip = n < HalfWall ? wall.mainIp : addressOf(Walls + w);
            screen.channel = n % HalfWall + 1;
            screen.row = n / WallSide;
            screen.column = n % WallSide;
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

void buildPlainTable()
{
    QTableWidget table;
    table.horizontalHeader()->hide();
    table.verticalHeader()->hide();
    table.setColumnCount(7);
    for (int i = 0; i < Decoders; ++i) {
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

void benchBuild()
{
    QTemporaryDir dir;
    MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
    MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("store.key")));
    const MatrixInfoMap decoders = storedDecoders();

    ResultCounter counter;
    int runs = 0;
    std::vector<double> samples;
    // One warm-up build, then five measured; the rows' logins are answered outside the measured time.
    for (int i = 0; i < 6; ++i) {
        QElapsedTimer timer;
        timer.start();
        auto* dialog = new DecoderManagementDlg(decoders, MatrixInfoMap(), false, nullptr);
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        if (i > 0)
            samples.push_back(elapsed);
        ++runs;
        if (!counter.waitFor(runs * Decoders))
            qFatal("the fleet did not answer every login");
        delete dialog;
    }
    const double built = median(samples);
    const double plain = medianMs(5, buildPlainTable);
    report(QStringLiteral("management dialog, 500 stored decoders"), built, QStringLiteral("ms"), plain,
           QStringLiteral("<= 400 ms (baseline: plain QTableWidget, same rows and cell widgets)"));
}

DecoderManagementDlg* managementDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = qobject_cast<DecoderManagementDlg*>(w))
            return dlg;
    }
    return nullptr;
}

bool allRowsConnected(DecoderManagementDlg* dialog)
{
    const auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("decoderTableWidget"));
    if (!table || table->rowCount() != Decoders)
        return false;
    const QString success = DecoderManagementDlg::tr("connect success");
    for (int row = 0; row < Decoders; ++row) {
        if (table->item(row, StatusColumn)->text() != success)
            return false;
    }
    return true;
}

/** One login of the whole fleet with the page attached; returns the time until all is shown and stored. */
double loginWithPage()
{
    QTemporaryDir dir;
    MatrixSdkWorker::setDataDirectory(dir.filePath(QStringLiteral("data")));
    MatrixSdkWorker::setSecretKeyFile(dir.filePath(QStringLiteral("store.key")));
    MatrixSdkWorker::addDecoderToJson(storedDecoders().values());
    MatrixSdkWorker::addMatrixToJson(storedWalls());
    MatrixSdkWorker::flushStore();

    ResultCounter counter;
    QElapsedTimer timer;
    timer.start();
    auto* form = new MatrixConfigForm;
    form->resize(1400, 900);
    form->show();
    DecoderManagementDlg* dialog = nullptr;
    while (!(dialog = managementDialog()) && timer.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    // Counting results is cheap; the table is read once they are all in.
    while (dialog && timer.elapsed() < 60000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (counter.succeeded >= Decoders && !form->isUpdatePending() && allRowsConnected(dialog))
            break;
    }
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (!dialog || !allRowsConnected(dialog))
        qFatal("the page did not show every decoder connected");

    // What the operator sees: every wall drawn as connected.
    int connectedWalls = 0;
    for (const auto* row : form->findChildren<pral_matrixConfig::ConnectMatrixItem*>())
        connectedWalls += row->isConnected() ? 1 : 0;
    if (connectedWalls != Walls)
        qFatal("the page shows %d of %d walls connected", connectedWalls, Walls);

    MatrixSdkWorker::flushStore();
    const MatrixInfoMap stored = MatrixSdkWorker::getDecoderFromJson();
    int storedConnected = 0;
    for (const MatrixInfo& info : stored)
        storedConnected += info.connectStatus == 1 ? 1 : 0;
    if (stored.size() != Decoders || storedConnected != Decoders)
        qFatal("the store holds %d decoders, %d connected", int(stored.size()), storedConnected);

    delete form;
    PSingleton<MatrixSdkWorker>::_instance().disconnectAllMatrix();
    MatrixSdkWorker::flushStore();
    return elapsed;
}

/** The same logins answered by a bare receiver: what the service itself costs. */
double loginBare()
{
    ResultCounter counter;
    const MatrixInfoMap decoders = storedDecoders();
    QElapsedTimer timer;
    timer.start();
    for (const MatrixInfo& info : decoders)
        PSingleton<MatrixSdkWorker>::_instance().connectMatrix(info, nullptr);
    if (!counter.waitFor(Decoders))
        qFatal("the fleet did not answer every login");
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    PSingleton<MatrixSdkWorker>::_instance().disconnectAllMatrix();
    return elapsed;
}

void benchLogin()
{
    std::vector<double> ours;
    std::vector<double> bare;
    for (int i = 0; i < 3; ++i) {
        ours.push_back(loginWithPage());
        bare.push_back(loginBare());
    }
    report(QStringLiteral("login of 500 decoders shown and stored, page with 20 walls 10x10"), median(ours),
           QStringLiteral("ms"), median(bare), QStringLiteral("<= 2000 ms (baseline: bare result receiver)"));
}

} // namespace

void runManagementBench()
{
    const qint64 startPeak = statusKiB("VmHWM:");
    QString error;
    if (!PSingleton<MatrixSdkWorker>::_instance().loadFleet(fleetJson(), &error))
        qFatal("bench fleet: %s", qPrintable(error));
    PSingleton<MatrixSdkWorker>::_instance().setResultDelay(0);

    benchBuild();
    benchLogin();

    const qint64 peak = statusKiB("VmHWM:");
    report(QStringLiteral("peak resident memory (VmHWM) after the management runs"), double(peak) / 1024.0,
           QStringLiteral("MiB"), double(startPeak) / 1024.0,
           QStringLiteral("<= 250 MiB (baseline: peak before the group)"));
}

} // namespace bench
