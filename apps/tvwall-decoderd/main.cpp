// Serves a simulated decoder fleet over ONVIF on loopback addresses, so that
// the application (tvwall --backend onvif), standard ONVIF tools and the tests
// reach decoders across real sockets.

#include "decoderdaemon.h"
#include "matrixsdkworker.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

int pipeFds[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tvwall-decoderd"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TVWALL_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves simulated video-wall decoders over ONVIF (SOAP 1.2 over HTTP, WS-Discovery by unicast UDP), "
        "each at its own loopback address. Prints one line \"listening FIRST-LAST port P discovery D\" when "
        "ready."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption fleetOption(QStringLiteral("fleet"),
                                         QStringLiteral("The fleet JSON FILE (default: the built-in fleet)."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("HTTP port of every decoder (default 0: any free port)."),
        QStringLiteral("PORT"), QStringLiteral("0"));
    const QCommandLineOption discoveryOption(
        QStringLiteral("discovery-port"),
        QStringLiteral("UDP port that answers WS-Discovery probes (default: the HTTP port's number)."),
        QStringLiteral("PORT"), QStringLiteral("0"));
    const QCommandLineOption confirmOption(
        QStringLiteral("confirm-window-ms"),
        QStringLiteral(
            "How long a decoder's new address waits for a client's confirmation before the decoder "
            "goes back to its former one (default: the fleet file's confirmWindowMs; 0: never)."),
        QStringLiteral("MS"), QStringLiteral("-1"));
    const QCommandLineOption standardOption(
        QStringLiteral("standard-only"),
        QStringLiteral(
            "Serve the standard ONVIF services only (device, device IO, display, receiver): no extension "
            "service and no private scopes, as another maker's device would."));
    parser.addOptions({fleetOption, portOption, discoveryOption, confirmOption, standardOption});
    parser.process(app);

    // Every decoder holds a listening socket and a datagram socket.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    QByteArray json = pral_matrix::MatrixSdkWorker::defaultFleetJson();
    if (parser.isSet(fleetOption)) {
        QFile file(parser.value(fleetOption));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "tvwall-decoderd: cannot read %s\n", qPrintable(file.fileName()));
            return 2;
        }
        json = file.readAll();
    }
    pral_matrix::DecoderDaemon::Options options;
    options.port = quint16(parser.value(portOption).toUInt());
    options.discoveryPort = quint16(parser.value(discoveryOption).toUInt());
    options.standardOnly = parser.isSet(standardOption);
    bool confirmOk = false;
    options.confirmWindowMs = parser.value(confirmOption).toInt(&confirmOk);
    if (!confirmOk || options.confirmWindowMs < -1 || options.confirmWindowMs > 3600000) {
        std::fprintf(stderr, "tvwall-decoderd: --confirm-window-ms takes 0 to 3600000\n");
        return 2;
    }
    pral_matrix::DecoderDaemon daemon;
    QString error;
    if (!daemon.start(json, options, &error)) {
        std::fprintf(stderr, "tvwall-decoderd: %s\n", qPrintable(error));
        return 2;
    }
    const QStringList addresses = daemon.addresses();
    std::printf("listening %s-%s port %u discovery %u\n", qPrintable(addresses.value(0)),
                qPrintable(addresses.value(addresses.size() - 1)), unsigned(daemon.port()),
                unsigned(daemon.discoveryPort()));
    std::fflush(stdout);

    // SIGTERM and SIGINT end the event loop, so that the fleet's files are cleaned up.
    if (::pipe(pipeFds) == 0) {
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
        auto* notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }
    return app.exec();
}
