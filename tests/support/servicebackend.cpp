#include "servicebackend.h"

#include "decoderdaemon.h"
#include "faultinjector.h"
#include "matrixsdkworker.h"
#include "onvifbackend.h"
#include "servicethread.h"
#include "simulatedfleet.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

using namespace pral_matrix;

namespace {

struct DaemonHost
{
    QThread thread;
    DecoderDaemon* daemon = nullptr;

    ~DaemonHost() { stop(); }

    void stop()
    {
        if (daemon)
            QMetaObject::invokeMethod(
                daemon, [this] { delete daemon; }, Qt::BlockingQueuedConnection);
        daemon = nullptr;
        thread.quit();
        thread.wait();
    }
};

/** The fleet load() gave the service in this process; it lives on the service thread. */
SimulatedFleet* localFleet = nullptr;

DaemonHost& host()
{
    static DaemonHost h;
    // Stopped while the application still exists: from a static destructor the daemon's thread could no
    // longer be asked to delete it, and its decoders would outlive the test.
    static const bool stopsWithTheApplication = [] {
        qAddPostRoutine([] { host().stop(); });
        return true;
    }();
    Q_UNUSED(stopsWithTheApplication)
    return h;
}

} // namespace

bool ServiceBackend::overNetwork()
{
    return qgetenv("TVWALL_TEST_BACKEND") == "onvif" || standardOnly();
}

bool ServiceBackend::standardOnly()
{
    return qgetenv("TVWALL_TEST_BACKEND") == "onvif-standard";
}

QString ServiceBackend::address(const QString& fleetIp)
{
    QHostAddress a;
    if (!overNetwork() || !a.setAddress(fleetIp) ||
        !QHostAddress(QStringLiteral("192.0.2.0")).isInSubnet(a, 24))
        return fleetIp;
    return QStringLiteral("127.0.0.") + fleetIp.section(QLatin1Char('.'), 3);
}

bool ServiceBackend::load(const QByteArray& fleetJson, QString* error,
                          const std::function<void(OnvifBackend::Options&)>& tune)
{
    auto& worker = PSingleton<MatrixSdkWorker>::_instance();
    if (!overNetwork()) {
        std::unique_ptr<SimulatedFleet> fleet = SimulatedFleet::fromJson(fleetJson, error);
        localFleet = fleet.get();
        if (fleet)
            worker.setBackend(std::move(fleet));
        return localFleet != nullptr;
    }

    QJsonObject root = QJsonDocument::fromJson(fleetJson).object();
    // Progress is read by polling over the network: steps far shorter than a poll would all be missed.
    root.insert(QStringLiteral("upgradeStepMs"),
                qMax(60, root.value(QStringLiteral("upgradeStepMs")).toInt()));
    QJsonArray decoders = root.value(QStringLiteral("decoders")).toArray();
    for (int i = 0; i < decoders.size(); ++i) {
        QJsonObject o = decoders.at(i).toObject();
        o.insert(QStringLiteral("daemon"),
                 QJsonObject{{QStringLiteral("address"), address(o.value(QStringLiteral("ip")).toString())}});
        decoders[i] = o;
    }
    root.insert(QStringLiteral("decoders"), decoders);
    OnvifBackend::Options options;
    options.connectTimeoutMs = 1000;
    options.requestTimeoutMs = 3000;
    options.discoveryWaitMs = 600;
    options.upgradePollMs = 10;
    if (tune)
        tune(options);
    return loadOverNetwork(QJsonDocument(root).toJson(), options, error);
}

void ServiceBackend::onFleet(const std::function<void(SimulatedFleet&)>& fn)
{
    if (overNetwork())
        inDaemon([&fn](DecoderDaemon& d) { fn(*d.fleet()); });
    else if (localFleet)
        runOnServiceThread([&fn] { fn(*localFleet); });
}

void ServiceBackend::inDaemon(const std::function<void(DecoderDaemon&)>& fn)
{
    DecoderDaemon* daemon = host().daemon;
    QMetaObject::invokeMethod(
        daemon, [&] { fn(*daemon); }, Qt::BlockingQueuedConnection);
}

bool ServiceBackend::loadOverNetwork(const QByteArray& fleetJson, OnvifBackend::Options options,
                                     QString* error, const std::function<void(OnvifBackend*)>& wire)
{
    auto& worker = PSingleton<MatrixSdkWorker>::_instance();
    localFleet = nullptr;
    DaemonHost& h = host();
    h.stop();
    h.thread.start();
    h.daemon = new DecoderDaemon;
    h.daemon->moveToThread(&h.thread);
    bool started = false;
    QMetaObject::invokeMethod(
        h.daemon,
        [&] {
            DecoderDaemon::Options daemonOptions;
            daemonOptions.requestTimeoutMs = 1000;
            daemonOptions.standardOnly = standardOnly();
            started = h.daemon->start(fleetJson, daemonOptions, error);
            if (started)
                h.daemon->fleet()->setFaultInjector(&worker.faults());
        },
        Qt::BlockingQueuedConnection);
    if (!started)
        return false;

    if (options.targets.isEmpty())
        options.targets = h.daemon->addresses();
    options.httpPort = h.daemon->port();
    options.discoveryPort = h.daemon->discoveryPort();
    auto backend = std::make_unique<OnvifBackend>(options);
    if (wire)
        wire(backend.get());
    worker.setBackend(std::move(backend));
    return true;
}
