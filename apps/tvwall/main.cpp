#include "applanguage.h"
#include "demoseed.h"
#include "hostwindow.h"
#include "testdesk.h"
#include "unixsignalquit.h"

#include "decoderdaemon.h"
#include "dictdef.h"
#include "globalstyle.h"
#include "highdpi.h"
#include "matrixsdkworker.h"
#include "onvifbackend.h"
#include "pmessagebox.h"
#include "systemassistant.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "tvwall: %s\n", qPrintable(message));
    return 2;
}

/// Help and version are text: they need no display, so that they answer in a terminal without one
/// (over ssh, or help2man making the manual page).
void helpWithoutDisplay(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    const QByteArrayList textOnly = {"-h", "-?", "--help", "--help-all", "-v", "--version"};
    for (int i = 1; i < argc; ++i) {
        if (textOnly.contains(QByteArray(argv[i])))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

} // namespace

int main(int argc, char* argv[])
{
    PCOMMON::enableHighDpi();
    helpWithoutDisplay(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tvwall"));
    QApplication::setOrganizationName(QStringLiteral("tvwall"));
    QApplication::setApplicationVersion(QStringLiteral(TVWALL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "TV-wall configuration: find, log in to and maintain video-wall decoders, build TV walls "
        "and connect them. Runs on a built-in simulated decoder fleet, or with --backend onvif on decoders "
        "on a network."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dataDirOption(
        QStringLiteral("data-dir"),
        QStringLiteral("Keep the decoder and TV-wall lists in DIR (default: the application data location; "
                       "the environment variable TVWALL_DATA_DIR does the same)."),
        QStringLiteral("DIR"));
    const QCommandLineOption fleetOption(
        QStringLiteral("fleet"), QStringLiteral("Simulate the decoders described by the JSON file FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Render the window to the PNG file FILE after start-up and exit."),
        QStringLiteral("FILE"));
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral(
            "Start an empty data directory with the fleet's activated decoders added and the TV walls "
            "they hold taken over."));
    const QCommandLineOption backendOption(
        QStringLiteral("backend"),
        QStringLiteral(
            "inprocess (default): the simulated fleet in this process; onvif: decoders on a network, "
            "found by WS-Discovery at the --discover addresses."),
        QStringLiteral("NAME"), QStringLiteral("inprocess"));
    const QCommandLineOption discoverOption(
        QStringLiteral("discover"),
        QStringLiteral("With --backend onvif: the addresses a search probes, a comma-separated list of IPv4 "
                       "addresses and ranges (192.168.1.20-192.168.1.60 or 192.168.1.20-60)."),
        QStringLiteral("ADDRESSES"));
    const QCommandLineOption onvifPortOption(
        QStringLiteral("onvif-port"),
        QStringLiteral("With --backend onvif: the HTTP port of a decoder that discovery has not told about "
                       "(default 80)."),
        QStringLiteral("PORT"), QStringLiteral("80"));
    const QCommandLineOption discoveryPortOption(
        QStringLiteral("discovery-port"),
        QStringLiteral("With --backend onvif: the UDP port probes are sent to (default 3702)."),
        QStringLiteral("PORT"), QStringLiteral("3702"));
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout-ms"),
        QStringLiteral("With --backend onvif: the longest one request to a decoder may take (default 5000)."),
        QStringLiteral("MS"), QStringLiteral("5000"));
    const QCommandLineOption multicastOption(
        QStringLiteral("multicast"),
        QStringLiteral("With --backend onvif: a search also probes the WS-Discovery multicast group."));
    const QCommandLineOption watchOption(
        QStringLiteral("watch-timeout-s"),
        QStringLiteral(
            "How long a decoder has to come back after an import, an upgrade, a password or address "
            "change or a factory reset before it is reported as not back (default 180)."),
        QStringLiteral("SECONDS"), QStringLiteral("180"));
    const QCommandLineOption linkCheckOption(
        QStringLiteral("link-check-ms"),
        QStringLiteral(
            "With --backend onvif: how often each connected decoder is checked for a lost link or a "
            "restart (default 10000; 0: never)."),
        QStringLiteral("MS"), QStringLiteral("10000"));
    parser.addOptions({dataDirOption, fleetOption, screenshotOption, demoOption, backendOption,
                       discoverOption, onvifPortOption, discoveryPortOption, timeoutOption, multicastOption,
                       watchOption, linkCheckOption});
    const QCommandLineOption langOption(
        QStringLiteral("lang"),
        QStringLiteral("Show the user interface in LANGUAGE: en or zh_CN (default: the system's language)."),
        QStringLiteral("LANGUAGE"));
    parser.addOption(langOption);
    parser.process(app);
    {
        QString languageError;
        if (!installLanguage(parser.value(langOption), &languageError))
            return fail(languageError);
    }

    auto& service = PSingleton<pral_matrix::MatrixSdkWorker>::_instance();
    bool watchOk = false;
    const int watchSeconds = parser.value(watchOption).toInt(&watchOk);
    if (!watchOk || watchSeconds < 1 || watchSeconds > 3600)
        return fail(QStringLiteral("--watch-timeout-s takes 1 to 3600"));
    pral_matrix::DecoderWatch::Options watchOptions = service.changeWatch().options();
    watchOptions.timeoutMs = watchSeconds * 1000;
    service.changeWatch().setOptions(watchOptions);
    if (parser.isSet(dataDirOption)) {
        const QString dir = parser.value(dataDirOption);
        if (!QDir().mkpath(dir))
            return fail(QStringLiteral("cannot create the data directory %1").arg(dir));
        pral_matrix::MatrixSdkWorker::setDataDirectory(dir);
    }
    // One process per data directory: a second one would overwrite the first one's changes.
    QString lockProblem;
    if (!pral_matrix::MatrixSdkWorker::lockDataDirectory(&lockProblem)) {
        const QString text =
            QObject::tr("%1. Quit that one first, or start this one with a data directory of its own "
                        "(--data-dir DIR).")
                .arg(lockProblem);
        if (!parser.isSet(screenshotOption)) {
            PCOMMON::applyGlobalStyleSheet(app);
            PCOMMON::PMessageBox::information(nullptr, QObject::tr("tvwall cannot start: %1").arg(text), 1,
                                              false);
        }
        return fail(QStringLiteral("cannot start: ") + text);
    }
    QByteArray fleetJson = pral_matrix::MatrixSdkWorker::defaultFleetJson();
    if (parser.isSet(fleetOption)) {
        QFile file(parser.value(fleetOption));
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read the fleet file %1").arg(file.fileName()));
        fleetJson = file.readAll();
    }
    QString error;
    const QString backendName = parser.value(backendOption);
    pral_matrix::OnvifBackend* network = nullptr;
    if (backendName == QLatin1String("onvif")) {
        pral_matrix::OnvifBackend::Options options;
        if (!pral_matrix::OnvifBackend::parseTargets(parser.value(discoverOption), &options.targets, &error))
            return fail(QStringLiteral("--discover: %1").arg(error));
        options.httpPort = quint16(parser.value(onvifPortOption).toUInt());
        options.discoveryPort = quint16(parser.value(discoveryPortOption).toUInt());
        options.requestTimeoutMs = qMax(100, parser.value(timeoutOption).toInt());
        options.connectTimeoutMs = qMin(options.connectTimeoutMs, options.requestTimeoutMs);
        options.multicast = parser.isSet(multicastOption);
        bool checkOk = false;
        options.linkCheckMs = parser.value(linkCheckOption).toInt(&checkOk);
        if (!checkOk || options.linkCheckMs < 0)
            return fail(QStringLiteral("--link-check-ms takes 0 or more"));
        auto backend = std::make_unique<pral_matrix::OnvifBackend>(options);
        network = backend.get();
        service.setBackend(std::move(backend));
        // The demonstration store names the decoders where the daemon serves them.
        QMap<QString, QString> moved;
        fleetJson = pral_matrix::DecoderDaemon::placeOnLoopback(fleetJson, &moved, &error);
        if (fleetJson.isEmpty())
            return fail(QStringLiteral("bad fleet file %1: %2").arg(parser.value(fleetOption), error));
    } else if (backendName != QLatin1String("inprocess")) {
        return fail(QStringLiteral("unknown back end %1").arg(backendName));
    } else if (!service.loadFleet(fleetJson, &error)) {
        return fail(QStringLiteral("bad fleet file %1: %2").arg(parser.value(fleetOption), error));
    }
    if (parser.isSet(demoOption) && !seedDemoStore(fleetJson, &error))
        return fail(error);

    PCOMMON::applyGlobalStyleSheet(app);

    HostWindow window;
    window.show();
    if (network) {
        // A burst of failures (a whole wall out of reach) makes one notice, not a stack of them.
        auto* pending = new QStringList;
        auto* gather = new QTimer(&window);
        gather->setSingleShot(true);
        gather->setInterval(300);
        QObject::connect(&window, &QObject::destroyed, [pending] { delete pending; });
        QObject::connect(gather, &QTimer::timeout, &window, [pending] {
            const QString text = pending->size() == 1 ? pending->first()
                                                      : QObject::tr("%1 network problems; the first: %2")
                                                            .arg(pending->size())
                                                            .arg(pending->first());
            pending->clear();
            pral_worker::SystemAssistant::messageAlert(pral_contact::DictDef::alertNotice, text);
        });
        QObject::connect(
            network, &pral_matrix::OnvifBackend::signalNetworkProblem, &window,
            [pending, gather](const QString&, const QString& text) {
                pending->append(text);
                if (!gather->isActive())
                    gather->start();
            },
            Qt::QueuedConnection);
    }

    // SIGTERM and SIGINT end the event loop as a quit would: decoders disconnected, lists written.
    UnixSignalQuit signalQuit;

    // Tests drive one desk of several through this (see testdesk.h); operators never set it.
    const QByteArray testDesk = qgetenv("TVWALL_TEST_DESK");
    if (!testDesk.isEmpty())
        TestDesk::start(&window, testDesk);

    if (parser.isSet(screenshotOption)) {
        const QString path = parser.value(screenshotOption);
        // Leave the page time for its first-show loading and the redraw that follows.
        QTimer::singleShot(1500, &window, [&window, path] {
            const bool saved = window.grab().save(path, "PNG");
            std::fprintf(saved ? stdout : stderr, saved ? "tvwall: wrote %s\n" : "tvwall: cannot write %s\n",
                         qPrintable(path));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
