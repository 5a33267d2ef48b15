// Firmware for many decoders: 200 decoders served by tvwall-decoderd on loopback upgraded in one run from the
// decoder list's batch window, 4 at a time, at the fleet's default upgrade pace. Two figures: the total time
// against (200 / 4) x one decoder's upgrade through the same window, and the longest stretch the GUI thread
// was busy without turning back to its event loop, against the same while one decoder is upgraded.

#include "batchupgradedlg.h"
#include "benchutil.h"
#include "decodermanagementdlg.h"
#include "firmwareimage.h"
#include "matrixconfigform.h"
#include "matrixsdkworker.h"
#include "onvifbackend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <ctime>

using namespace pral_matrix;
using pral_matrixConfig::BatchUpgradeDlg;
using pral_matrixConfig::DecoderManagementDlg;
using pral_matrixConfig::MatrixConfigForm;

namespace bench {
namespace {

constexpr int Batch = 200;
constexpr int AtATime = 4;
/** Decoders upgraded one by one for the time of one decoder's upgrade. */
constexpr int Singles = 3;
constexpr int StatusColumn = 5;
constexpr int StateColumn = 4;
const char* const Password = "Bench@2024";
const char* const Model = "TVD-04";

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

/** Every decoder made for one model; the upgrade pace and restart are the fleet's defaults. */
QByteArray fleetJson(int decoders)
{
    QJsonArray list;
    for (int i = 0; i < decoders; ++i)
        list.append(QJsonObject{{"ip", QStringLiteral("10.41.%1.%2").arg(i / 200).arg(i % 200 + 1)},
                                {"deviceId", QStringLiteral("UPG-%1").arg(i)},
                                {"model", Model},
                                {"type", 1},
                                {"version", "V1.0.0"},
                                {"password", Password},
                                {"daemon", QJsonObject{{"address", loopbackOf(i)}}}});
    return QJsonDocument(QJsonObject{{"latencyMs", 0}, {"decoders", list}}).toJson();
}

struct Daemon
{
    QProcess process;
    QTemporaryDir dir;
    quint16 port = 0;

    bool start(const QByteArray& json)
    {
        QFile file(dir.filePath("fleet.json"));
        if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size())
            return false;
        file.close();
        process.start(QCoreApplication::applicationDirPath() + "/tvwall-decoderd",
                      {"--fleet", file.fileName(), "--port", "0"});
        if (!process.waitForStarted(5000) || !process.waitForReadyRead(20000))
            return false;
        // "listening FIRST-LAST port P discovery D"
        const QList<QByteArray> words = process.readLine().split(' ');
        port = quint16(words.value(3).toUInt());
        return port != 0;
    }
    ~Daemon()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }
};

/** CPU time this thread has used, in ms. */
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

/** How long this thread has waited for a processor while it could have run, in ms (0 where not told). */
double threadWaitMs()
{
    QFile file(QStringLiteral("/proc/thread-self/schedstat"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().split(' ').value(1).toDouble() / 1e6;
}

/**
 * The longest the GUI thread was busy at a stretch, seen from a 1 ms timer of its own: between two ticks,
 * the processor time the thread used (what the work costs), and the time the tick came late less the time
 * the thread waited for a processor (what the work costs on the clock, waits for files and locks included,
 * but not the turns other programs of a shared machine had). The lateness itself is kept for information.
 */
class BusyStretch
{
public:
    BusyStretch()
    {
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [this] {
            const double cpu = threadCpuMs();
            const double waited = threadWaitMs();
            if (sinceTick.isValid()) {
                const double late = double(sinceTick.nsecsElapsed()) / 1e6 - tick.interval();
                longestCpu = std::max(longestCpu, cpu - cpuAtTick);
                longestOwn = std::max(longestOwn, late - (waited - waitAtTick));
                longestLate = std::max(longestLate, late);
            }
            cpuAtTick = cpu;
            waitAtTick = waited;
            sinceTick.start();
        });
        tick.start();
    }
    double cpuMs() const { return longestCpu; }
    double ownMs() const { return longestOwn; }
    double lateMs() const { return longestLate; }

private:
    QTimer tick;
    QElapsedTimer sinceTick;
    double cpuAtTick = 0;
    double waitAtTick = 0;
    double longestCpu = 0;
    double longestOwn = 0;
    double longestLate = 0;
};

DecoderManagementDlg* managementDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = qobject_cast<DecoderManagementDlg*>(w))
            return dlg;
    }
    return nullptr;
}

/** Runs the event loop until done() holds or limitMs passed; false on the limit. */
bool runUntil(const std::function<bool()>& done, int limitMs)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || timer.elapsed() > limitMs)
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    return done();
}

bool allEnded(QTableWidget* table)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString state = table->item(row, StateColumn)->text();
        if (!state.startsWith(QLatin1String("done")) && !state.startsWith(QLatin1String("failed")))
            return false;
    }
    return table->rowCount() > 0;
}

struct Run
{
    double totalMs = 0;
    double busyMs = 0;
    double busyOwnMs = 0;
    double lateMs = 0;
};

/** The decoders upgraded from a batch window as the operator starts it: from "Start" until every row ended.
 */
Run upgrade(DecoderManagementDlg* list, const QList<MatrixInfo>& decoders, const QString& image)
{
    BatchUpgradeDlg dialog(decoders, [list](const QString& ip) {
        MatrixInfo info = list->getMatrixInfoMap().value(ip);
        worker().connectMatrix(info, list);
    });
    dialog.show();
    auto* checks = dialog.findChild<QTableWidget*>(QStringLiteral("checkTable"));
    dialog.chooseImage(image);
    if (!runUntil([checks] { return checks->item(0, 5)->text() == QLatin1String("ready"); }, 30000))
        qFatal("upgrade bench: the checks found %s", qPrintable(checks->item(0, 5)->text()));
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("runTable"));
    Run run;
    QElapsedTimer timer;
    {
        BusyStretch busy;
        timer.start();
        QMetaObject::invokeMethod(&dialog, "slotOnStartBt");

        if (!runUntil([table] { return allEnded(table); }, 15 * 60 * 1000))
            qFatal("upgrade bench: the run did not end");
        run.totalMs = double(timer.nsecsElapsed()) / 1e6;
        run.busyMs = busy.cpuMs();
        run.busyOwnMs = busy.ownMs();
        run.lateMs = busy.lateMs();
    }
    for (int row = 0; row < table->rowCount(); ++row) {
        if (!table->item(row, StateColumn)->text().startsWith(QLatin1String("done")))
            qFatal("upgrade bench: %s ended %s", qPrintable(table->item(row, 0)->text()),
                   qPrintable(table->item(row, StateColumn)->text()));
    }
    return run;
}

} // namespace

void runUpgradeBench()
{
    static QtMessageHandler previous = nullptr;
    previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (previous && !text.startsWith(QLatin1String("This plugin does not support")))
                previous(type, context, text);
        });
    const int all = Batch + Singles;
    Daemon daemon;
    if (!daemon.start(fleetJson(all)))
        qFatal("tvwall-decoderd did not start");
    OnvifBackend::Options options;
    options.httpPort = daemon.port;
    options.discoveryPort = daemon.port;
    for (int i = 0; i < all; ++i)
        options.targets << loopbackOf(i);
    worker().setBackend(std::make_unique<OnvifBackend>(options));
    worker().setResultDelay(0);

    QTemporaryDir dir;
    const QString image = dir.filePath("decoder-V2.0.0.bin");
    {
        QByteArray payload;
        for (int i = 0; i < 64 * 1024; ++i)
            payload.append(char(i * 31 % 251));
        QFile file(image);
        const QByteArray bytes = FirmwareImage::build(Model, "V2.0.0", payload);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("upgrade bench: cannot write the image");
    }
    MatrixSdkWorker::setDataDirectory(dir.filePath("data"));
    MatrixSdkWorker::setSecretKeyFile(dir.filePath("store.key"));
    const QList<MatrixInfo> stored =
        storeLoopbackDecoders(all, QStringLiteral("UPG"), QString::fromLatin1(Password));

    // The page, its decoder list connected to every decoder.
    auto* form = new MatrixConfigForm;
    form->resize(1400, 900);
    form->show();
    DecoderManagementDlg* list = nullptr;
    const auto connected = [&list] {
        if (!list)
            list = managementDialog();
        if (!list)
            return false;
        const auto* table = list->findChild<QTableWidget*>(QStringLiteral("decoderTableWidget"));
        const QString success = DecoderManagementDlg::tr("connect success");
        for (int row = 0; table && row < table->rowCount(); ++row) {
            if (table->item(row, StatusColumn)->text() != success)
                return false;
        }
        return table && table->rowCount() > 0;
    };
    if (!runUntil(connected, 120000))
        qFatal("upgrade bench: the decoders did not all connect");

    std::vector<double> singles;
    Run single;
    for (int i = Batch; i < all; ++i) {
        const Run one = upgrade(list, {stored.at(i)}, image);
        singles.push_back(one.totalMs);
        single.busyMs = std::max(single.busyMs, one.busyMs);
        single.busyOwnMs = std::max(single.busyOwnMs, one.busyOwnMs);
        single.lateMs = std::max(single.lateMs, one.lateMs);
    }
    const double one = median(singles);
    const Run batch = upgrade(list, stored.mid(0, Batch), image);

    report("upgrade: one decoder on the daemon, start to checked back", one, "ms", 0, QString());
    report("upgrade: 200 decoders on the daemon, 4 at a time", batch.totalMs, "ms", one * Batch / AtATime,
           "ratio <= 1.2 (baseline: (200 / 4) x one decoder's upgrade)");
    report("upgrade: meanwhile the GUI thread busy at most, processor", batch.busyMs, "ms", single.busyMs,
           "<= 16 ms (baseline: the same during one decoder's upgrade)");
    report("upgrade: the same on the clock, less its waits for a CPU", batch.busyOwnMs, "ms",
           single.busyOwnMs, "<= 16 ms (files and locks included)");
    report("upgrade: a 1 ms timer of the GUI thread, late at most", batch.lateMs, "ms", single.lateMs,
           "(information: holds other programs' turns on a shared machine)");

    delete form;
    worker().disconnectAllMatrix();
    releaseDataDirectory(dir.filePath("released"));
    worker().loadFleet(MatrixSdkWorker::defaultFleetJson());
    qInstallMessageHandler(previous);
}

} // namespace bench
