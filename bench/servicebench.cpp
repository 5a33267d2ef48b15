// The decoder service's round trip: a request queued to the service thread,
// its result delivered back through a blocking-queued slot, against a plain
// queued signal that makes the same trip between two threads.

#include "benchutil.h"
#include "matrixsdkworker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

using namespace pral_matrix;

namespace bench {
namespace {

constexpr int Decoders = 250;
constexpr int LatencySamples = 300;
constexpr int Connections = 1000;

QString addressOf(int i)
{
    return QStringLiteral("10.20.%1.%2").arg(i / 200).arg(i % 200 + 1);
}

QByteArray fleetJson()
{
    QJsonArray decoders;
    for (int i = 0; i < Decoders; ++i)
        decoders.append(QJsonObject{{"ip", addressOf(i)},
                                    {"deviceId", QStringLiteral("BENCH-%1").arg(i)},
                                    {"type", 1},
                                    {"password", "Bench@2024"}});
    return QJsonDocument(QJsonObject{{"latencyMs", 0}, {"decoders", decoders}}).toJson();
}

MatrixInfo login(int i)
{
    MatrixInfo info;
    info.ip = addressOf(i % Decoders);
    info.userName = QStringLiteral("admin");
    info.password = QStringLiteral("Bench@2024");
    return info;
}

/** Counts results on the GUI thread and stops a local loop when the expected number arrived. */
class ResultSink : public QObject
{
public:
    void slotConnectResult(QSharedPointer<CSharedHandle> handle, int result, int, void*)
    {
        handle.clear();
        if (result != 0)
            ++failures;
        if (++received >= expected)
            loop.quit();
    }
    void slotPlain(QSharedPointer<CSharedHandle> handle, int result, int, void*)
    {
        slotConnectResult(handle, result, 0, nullptr);
    }
    void waitFor(int count)
    {
        expected = count;
        if (received < expected)
            loop.exec();
    }

    int received = 0;
    int expected = 0;
    int failures = 0;
    QEventLoop loop;
};

/** Answers a request from its own thread with a signal of the same shape as a connection result. */
class PlainWorker : public QObject
{
    Q_OBJECT
public:
    void request()
    {
        QMetaObject::invokeMethod(
            this, [this] { emit resultReady(CMHandle(), 0, 1, nullptr); }, Qt::QueuedConnection);
    }
signals:
    void resultReady(QSharedPointer<CSharedHandle> handle, int result, int type, void* pUser);
};

struct Trip
{
    double latencyMs = 0;
    double resultsPerSecond = 0;
    int failures = 0;
};

template <typename Request>
Trip measure(ResultSink& sink, const Request& request)
{
    Trip trip;
    std::vector<double> samples;
    for (int i = 0; i < LatencySamples; ++i) {
        sink.received = 0;
        QElapsedTimer timer;
        timer.start();
        request(i);
        sink.waitFor(1);
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    trip.latencyMs = median(samples);

    sink.received = 0;
    sink.failures = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Connections; ++i)
        request(i);
    sink.waitFor(Connections);
    trip.resultsPerSecond = Connections / (double(timer.nsecsElapsed()) / 1e9);
    trip.failures = sink.failures;
    return trip;
}

} // namespace

void runServiceBench()
{
    MatrixSdkWorker& worker = PSingleton<MatrixSdkWorker>::_instance();
    QString error;
    if (!worker.loadFleet(fleetJson(), &error))
        qFatal("bench fleet refused: %s", qPrintable(error));

    ResultSink serviceSink;
    QObject::connect(&worker, &MatrixSdkWorker::signalConnectMatrixResult, &serviceSink,
                     &ResultSink::slotConnectResult, Qt::BlockingQueuedConnection);
    const Trip service = measure(serviceSink, [&](int i) { worker.connectMatrix(login(i), nullptr); });
    QObject::disconnect(&worker, nullptr, &serviceSink, nullptr);
    worker.disconnectAllMatrix();

    QThread plainThread;
    PlainWorker plain;
    plain.moveToThread(&plainThread);
    plainThread.start();
    ResultSink plainSink;
    QObject::connect(&plain, &PlainWorker::resultReady, &plainSink, &ResultSink::slotPlain,
                     Qt::QueuedConnection);
    const Trip baseline = measure(plainSink, [&](int) { plain.request(); });
    plainThread.quit();
    plainThread.wait();

    if (service.failures > 0)
        qWarning("%d of %d connections failed", service.failures, Connections);
    report(QStringLiteral("service: one connectMatrix result, median latency"), service.latencyMs,
           QStringLiteral("ms"), baseline.latencyMs, QString());
    report(QStringLiteral("service: 1000 connections, results per second"), service.resultsPerSecond,
           QStringLiteral("1/s"), baseline.resultsPerSecond, QString());
}

} // namespace bench

#include "servicebench.moc"
