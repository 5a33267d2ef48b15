// Decoders on a network: the page connecting 500 decoders served by tvwall-decoderd on loopback, with and
// without 50 that never answer, one service call's round trip over a socket, and the time from a restart
// (an imported configuration) to the decoder checked back, for 1 and 100 decoders, each against the
// in-process fleet doing the same in the same run.

#include "addmatrixdlg.h"
#include "benchutil.h"
#include "decodermanagementdlg.h"
#include "matrixconfigform.h"
#include "matrixsdkworker.h"
#include "onvifbackend.h"
#include "walldifference.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

using namespace pral_matrix;
using pral_matrixConfig::AddMatrixDlg;
using pral_matrixConfig::DecoderManagementDlg;
using pral_matrixConfig::MatrixConfigForm;
using pral_matrixConfig::WallDifference;

namespace bench {
namespace {

constexpr int Decoders = 500;
constexpr int Silent = 50;
constexpr int StatusColumn = 5;
constexpr int RoundTrips = 300;
/** How long a restart keeps a decoder silent in the restart figures, as a quick decoder takes. */
constexpr int RestartMs = 1000;
const char* const Password = "Bench@2024";

MatrixSdkWorker& worker()
{
    return PSingleton<MatrixSdkWorker>::_instance();
}

/** silent: every tenth decoder reads requests and never answers. */
QByteArray fleetJson(bool silent, int restartMs = 0)
{
    QJsonArray decoders;
    for (int i = 0; i < Decoders; ++i) {
        QJsonObject o{{"ip", QStringLiteral("10.40.%1.%2").arg(i / 200).arg(i % 200 + 1)},
                      {"deviceId", QStringLiteral("NET-%1").arg(i)},
                      {"type", 1},
                      {"password", Password},
                      {"daemon", QJsonObject{{"address", loopbackOf(i)}}}};
        if (silent && i % (Decoders / Silent) == Decoders / Silent - 1)
            o.insert("daemon", QJsonObject{{"address", loopbackOf(i)}, {"stallMs", 60000}});
        decoders.append(o);
    }
    return QJsonDocument(QJsonObject{{"latencyMs", 0}, {"restartMs", restartMs}, {"decoders", decoders}})
        .toJson();
}

/** The fleet json with the daemon's addresses in place of the fleet's own. */
QByteArray inProcessFleet(int restartMs = 0)
{
    QJsonObject root = QJsonDocument::fromJson(fleetJson(false, restartMs)).object();
    QJsonArray decoders = root.value("decoders").toArray();
    for (int i = 0; i < decoders.size(); ++i) {
        QJsonObject o = decoders.at(i).toObject();
        o.insert("ip", loopbackOf(i));
        decoders[i] = o;
    }
    root.insert("decoders", decoders);
    return QJsonDocument(root).toJson();
}

struct Daemon
{
    QProcess process;
    QTemporaryDir dir;
    quint16 port = 0;

    /** standardOnly: the decoders offer only what ONVIF has, as another maker's would. */
    bool start(const QByteArray& json, bool standardOnly = false)
    {
        QFile file(dir.filePath("fleet.json"));
        if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size())
            return false;
        file.close();
        QStringList arguments{"--fleet", file.fileName(), "--port", "0"};
        if (standardOnly)
            arguments << "--standard-only";
        process.start(QCoreApplication::applicationDirPath() + "/tvwall-decoderd", arguments);
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

void useNetwork(quint16 port, int timeoutMs)
{
    OnvifBackend::Options options;
    options.httpPort = port;
    options.discoveryPort = port;
    options.requestTimeoutMs = timeoutMs;
    options.connectTimeoutMs = timeoutMs;
    for (int i = 0; i < Decoders; ++i)
        options.targets << loopbackOf(i);
    worker().setBackend(std::make_unique<OnvifBackend>(options));
}

DecoderManagementDlg* managementDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = qobject_cast<DecoderManagementDlg*>(w))
            return dlg;
    }
    return nullptr;
}

/** Rows that show a final state; *succeeded of them connected. */
int settledRows(DecoderManagementDlg* dialog, int* succeeded)
{
    const auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("decoderTableWidget"));
    const QString success = DecoderManagementDlg::tr("connect success");
    const QString failed = DecoderManagementDlg::tr("connect failed");
    int settled = 0;
    *succeeded = 0;
    for (int row = 0; table && row < table->rowCount(); ++row) {
        const QString text = table->item(row, StatusColumn)->text();
        *succeeded += text == success ? 1 : 0;
        settled += text == success || text == failed ? 1 : 0;
    }
    return settled;
}

/** The page opened on a store of every decoder: the time until each row is settled and the store written. */
double connectAll(int expectSucceeded)
{
    QTemporaryDir dir;
    MatrixSdkWorker::setDataDirectory(dir.filePath("data"));
    MatrixSdkWorker::setSecretKeyFile(dir.filePath("store.key"));
    storeLoopbackDecoders(Decoders, QStringLiteral("NET"), QString::fromLatin1(Password));

    QElapsedTimer timer;
    timer.start();
    auto* form = new MatrixConfigForm;
    form->resize(1400, 900);
    form->show();
    DecoderManagementDlg* dialog = nullptr;
    int succeeded = 0;
    while (timer.elapsed() < 120000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!dialog)
            dialog = managementDialog();
        if (dialog && !form->isUpdatePending() && settledRows(dialog, &succeeded) == Decoders)
            break;
    }
    MatrixSdkWorker::flushStore();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    int storedConnected = 0;
    for (const MatrixInfo& info : MatrixSdkWorker::getDecoderFromJson())
        storedConnected += info.connectStatus == 1 ? 1 : 0;
    if (succeeded != expectSucceeded || storedConnected != expectSucceeded)
        qFatal("connect-all: %d rows and %d stored decoders connected, %d expected", succeeded,
               storedConnected, expectSucceeded);
    delete form;
    worker().disconnectAllMatrix();
    // The store lets go of the directory (and its lock) before the directory goes.
    releaseDataDirectory(dir.filePath("released"));
    return elapsed;
}

/** A search of every decoder's address by unicast probes: the time until its result is emitted, each
 * decoder listed. */
double searchAll()
{
    QObject receiver;
    int listed = -1;
    QObject::connect(&worker(), &MatrixSdkWorker::signalSearchMatrixResult, &receiver,
                     [&listed](const MatrixInfoMap& found) { listed = found.size(); });
    QElapsedTimer timer;
    timer.start();
    worker().searchMatrix();
    while (listed < 0 && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (listed != Decoders)
        qFatal("search: %d decoders listed, %d expected", listed, Decoders);
    return elapsed;
}

/** Median of one getMatrixScreenColor answered to a blocking receiver, over a live connection. */
double roundTrip()
{
    MatrixInfo info;
    info.ip = loopbackOf(0);
    info.userName = "admin";
    info.password = Password;
    QEventLoop loop;
    QObject receiver;
    QObject::connect(&worker(), &MatrixSdkWorker::signalConnectMatrixResult, &receiver,
                     [&loop](const CMHandle&, int, int, void*) { loop.quit(); });
    worker().connectMatrix(info, nullptr);
    loop.exec();
    const CMHandle handle = worker().getHandleByIp(info.ip);
    if (!handle)
        qFatal("round trip: no connection to %s", qPrintable(info.ip));
    QObject::connect(
        &worker(), &MatrixSdkWorker::signalMatrixGetScreenColorResult, &receiver,
        [&loop](ScreenColor) { loop.quit(); }, Qt::BlockingQueuedConnection);
    const double ms = medianMs(RoundTrips, [&] {
        worker().getMatrixScreenColor(handle, 1, 1);
        loop.exec();
    });
    worker().disconnectAllMatrix();
    return ms;
}

/**
 * The first n decoders connected, then a configuration imported on each, which restarts it: the time from
 * the first import asked until every decoder is checked back with the configuration (the watch's verified
 * outcome). The imports go one after another, as the service carries requests out.
 */
double restartToVerified(int n)
{
    QList<CMHandle> handles;
    for (int i = 0; i < n; ++i) {
        MatrixInfo info;
        info.ip = loopbackOf(i);
        info.userName = "admin";
        info.password = Password;
        worker().connectMatrix(info, nullptr);
    }
    QElapsedTimer wait;
    wait.start();
    while (handles.size() < n && wait.elapsed() < 60000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        handles.clear();
        for (int i = 0; i < n; ++i) {
            if (const CMHandle h = worker().getHandleByIp(loopbackOf(i)))
                handles << h;
        }
    }
    if (handles.size() < n)
        qFatal("restart to verified: %d of %d decoders connected", int(handles.size()), n);
    QTemporaryDir dir;
    const QString config = dir.filePath("decoder.matrix");
    bool exported = false;
    QObject receiver;
    QObject::connect(&worker(), &MatrixSdkWorker::signalExportConfigResult, &receiver,
                     [&exported](int r) { exported = r == 0; });
    worker().exportMatrixConfig(handles.first(), config);
    while (!exported && wait.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!exported)
        qFatal("restart to verified: no configuration exported");

    int verified = 0;
    int ended = 0;
    QObject::connect(&worker().changeWatch(), &DecoderWatch::signalWatchFinished, &receiver,
                     [&](const WatchOutcome& outcome) {
                         ++ended;
                         verified += outcome.verified() ? 1 : 0;
                     });
    QElapsedTimer timer;
    timer.start();
    for (const CMHandle& handle : qAsConst(handles))
        worker().importMatrixConfig(handle, config);
    while (ended < n && timer.elapsed() < 120000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (verified != n)
        qFatal("restart to verified: %d of %d decoders checked back", verified, n);
    worker().disconnectAllMatrix();
    return elapsed;
}

// ---- one wall, several desks ----

constexpr int WallSide = 10;
constexpr int WallOutputs = 4;
constexpr int WallDecoders = WallSide * WallSide / WallOutputs;
constexpr int Saves = 15;
/** The version of the bench wall the main decoder holds: each save sends the next one. */
int wallTurn = 0;

/** Decoders of four outputs, enough for a 10 x 10 wall, served where the daemon places them. */
QByteArray wallFleetJson()
{
    QJsonArray decoders;
    for (int i = 0; i < WallDecoders; ++i)
        decoders.append(QJsonObject{{"ip", loopbackOf(i)},
                                    {"deviceId", QStringLiteral("WALL-%1").arg(i)},
                                    {"type", 3},
                                    {"channels", WallOutputs},
                                    {"password", Password},
                                    {"daemon", QJsonObject{{"address", loopbackOf(i)}}}});
    return QJsonDocument(QJsonObject{{"latencyMs", 0}, {"decoders", decoders}}).toJson();
}

/** Every output once, on the first decoder; turn shifts the outputs by one screen, so each save changes. */
TvWallManagement benchWall(int turn)
{
    TvWallManagement wall;
    wall.tvWallName = QStringLiteral("Bench wall");
    wall.mainIp = loopbackOf(0);
    wall.row = wall.col = WallSide;
    for (int s = 0; s < WallSide * WallSide; ++s) {
        const int n = (s + turn) % (WallSide * WallSide);
        MatrixInfo screen;
        screen.ip = loopbackOf(n / WallOutputs);
        screen.channel = n % WallOutputs + 1;
        screen.row = s / WallSide;
        screen.column = s % WallSide;
        wall.matrixInfoList.append(screen);
    }
    return wall;
}

void connectWallDecoders()
{
    for (int i = 0; i < WallDecoders; ++i) {
        MatrixInfo info;
        info.ip = loopbackOf(i);
        info.userName = "admin";
        info.password = Password;
        worker().connectMatrix(info, nullptr);
    }
    QElapsedTimer wait;
    wait.start();
    while (worker().getHandleByIp(loopbackOf(WallDecoders - 1)).isNull() && wait.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    if (worker().getHandleByIp(loopbackOf(WallDecoders - 1)).isNull())
        qFatal("wall save: the decoders did not connect");
}

/**
 * The wizard's save of the wall from its preview, from the click to the accepted dialog, the question
 * answered at once. Checked, the wizard reads the main decoder's wall and compares it with what this desk
 * saw before it sends, and reads it back after.
 */
double wizardSave(bool checked)
{
    QStringList outputs;
    for (int n = 0; n < WallSide * WallSide; ++n)
        outputs << QStringLiteral("%1-%2").arg(loopbackOf(n / WallOutputs)).arg(n % WallOutputs + 1);
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        QWidget* box = QApplication::activeModalWidget();
        if (box && box->inherits("PCOMMON::PMessageBox"))
            box->findChild<QPushButton*>(QStringLiteral("okBtn"))->click();
    });
    answer.start(1);
    std::vector<double> samples;
    // One save first warms up the connections; it is not counted.
    for (int run = 0; run <= Saves; ++run) {
        // What the decoder holds now is what this desk saw: the check finds nothing to ask about.
        const TvWallManagement seen = benchWall(wallTurn);
        AddMatrixDlg dialog(QStringList(), outputs, {seen.tvWallName}, false, benchWall(++wallTurn));
        if (checked)
            dialog.setWallsSeenOnDecoders({{seen.mainIp, seen}});
        dialog.show();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        dialog.findChild<QPushButton*>(QStringLiteral("saveForEditBtn"))->click();
        while (dialog.result() != QDialog::Accepted && timer.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        if (dialog.result() != QDialog::Accepted)
            qFatal("wall save: the wizard did not close");
        if (run > 0)
            samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(samples);
}

/** The read and the compare alone: the main decoder's wall asked for and set against this desk's copy. */
double preflight()
{
    const CMHandle handle = worker().getHandleByIp(loopbackOf(0));
    TvWallManagement seen = benchWall(0);
    QEventLoop loop;
    QObject receiver;
    int tag = 0;
    bool same = false;
    QObject::connect(
        &worker(), &MatrixSdkWorker::signalGetLayoutInfoResult, &receiver,
        [&](QString ip, int type, MatrixInfoList screens, int row, int col, QString name, void* user) {
            if (user != &tag)
                return;
            TvWallManagement held;
            held.tvWallName = name;
            held.mainIp = ip;
            held.row = row;
            held.col = col;
            held.mainMatrix.matrixType = MatrixType(type);
            held.matrixInfoList = screens;
            same = WallDifference::sameWall(seen, held);
            loop.quit();
        });
    const double ms = medianMs(Saves * 4, [&] {
        worker().getLayout(handle, &tag);
        loop.exec();
    });
    if (!same)
        qFatal("preflight: the decoder holds another wall than the one read");
    return ms;
}

} // namespace

void runNetworkBench()
{
    static QtMessageHandler previous = nullptr;
    previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (previous && !text.startsWith(QLatin1String("This plugin does not support")))
                previous(type, context, text);
        });
    QString error;
    if (!worker().loadFleet(inProcessFleet(), &error))
        qFatal("bench fleet: %s", qPrintable(error));
    worker().setResultDelay(0);
    std::vector<double> local;
    for (int i = 0; i < 3; ++i)
        local.push_back(connectAll(Decoders));
    const double localConnect = median(local);
    const double localTrip = roundTrip();
    const double localSearch = searchAll();

    {
        Daemon daemon;
        if (!daemon.start(fleetJson(false)))
            qFatal("tvwall-decoderd did not start");
        useNetwork(daemon.port, 2000);
        std::vector<double> runs;
        for (int i = 0; i < 3; ++i)
            runs.push_back(connectAll(Decoders));
        report("network: connect-all of 500 decoders on the daemon, shown and stored", median(runs), "ms",
               localConnect, "<= 2000 ms (baseline: in-process fleet)");
        report("network: one service call's round trip over loopback, median", roundTrip(), "ms", localTrip,
               "<= 2 ms (baseline: in-process fleet)");
        runs.clear();
        for (int i = 0; i < 3; ++i)
            runs.push_back(searchAll());
        report("network: search of 500 loopback decoders, median", median(runs), "ms", localSearch,
               "<= 2000 ms (baseline: in-process fleet)");
    }
    {
        // Decoders that offer only what ONVIF has: identity from the standard scopes and the device's
        // answers, login with its clock, no extension.
        Daemon daemon;
        if (!daemon.start(fleetJson(false), true))
            qFatal("tvwall-decoderd --standard-only did not start");
        useNetwork(daemon.port, 2000);
        std::vector<double> runs;
        for (int i = 0; i < 3; ++i)
            runs.push_back(searchAll());
        report("network: search of 500 standard-only loopback decoders, median", median(runs), "ms",
               localSearch, "<= 2000 ms (baseline: in-process fleet)");
        runs.clear();
        for (int i = 0; i < 3; ++i)
            runs.push_back(connectAll(Decoders));
        report("network: connect-all of 500 standard-only decoders, shown and stored", median(runs), "ms",
               localConnect, "<= 2000 ms (baseline: in-process fleet)");
    }
    {
        Daemon daemon;
        if (!daemon.start(fleetJson(true)))
            qFatal("tvwall-decoderd did not start");
        useNetwork(daemon.port, 2000);
        report("network: the same with 50 decoders not answering (timeout 2 s)",
               connectAll(Decoders - Silent), "ms", localConnect,
               "<= 4000 ms (baseline: in-process fleet, all answering)");
    }
    {
        // The default watch: a look at once, and again every second until the decoder answers.
        if (!worker().loadFleet(inProcessFleet(RestartMs), &error))
            qFatal("bench fleet: %s", qPrintable(error));
        const double localOne = restartToVerified(1);
        const double localHundred = restartToVerified(100);
        Daemon daemon;
        if (!daemon.start(fleetJson(false, RestartMs)))
            qFatal("tvwall-decoderd did not start");
        useNetwork(daemon.port, 2000);
        report("network: restart (import) to checked back, 1 decoder silent 1 s", restartToVerified(1), "ms",
               localOne,
               "<= 2500 ms: the restart, a retry interval and the look (baseline: in-process fleet)");
        report("network: restart (import) to checked back, 100 decoders silent 1 s", restartToVerified(100),
               "ms", localHundred, "<= 4000 ms (baseline: in-process fleet)");
    }
    {
        Daemon daemon;
        if (!daemon.start(wallFleetJson()))
            qFatal("tvwall-decoderd did not start");
        useNetwork(daemon.port, 2000);
        connectWallDecoders();
        // Each save ends in a notice; a screenful of them would hide the figures.
        QLoggingCategory::setFilterRules(QStringLiteral("tvwall.alert.info=false"));
        const double plain = wizardSave(false);
        const double checked = wizardSave(true);
        // The last checked save left benchWall(Saves) on the decoder; the preflight reads that one.
        worker().setLayout(loopbackOf(0), 3, WallSide, WallSide, benchWall(0).matrixInfoList,
                           benchWall(0).tvWallName);
        report("desks: preflight read and compare of a 10 x 10 wall on the daemon", preflight(), "ms", plain,
               "<= 50 ms added to a save (baseline: the save without it)");
        report("desks: save of a 10 x 10 wall on the daemon, read before and read back", checked, "ms", plain,
               "the two reads added (baseline: the save without them)");
        QLoggingCategory::setFilterRules(QString());
        worker().disconnectAllMatrix();
    }
    worker().loadFleet(MatrixSdkWorker::defaultFleetJson());
    qInstallMessageHandler(previous);
}

} // namespace bench
