#include "applanguage.h"
#include "demoseed.h"
#include "hostwindow.h"
#include "unixsignalquit.h"

#include "globalstyle.h"
#include "highdpi.h"
#include "matrixsdkworker.h"
#include "pmessagebox.h"

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

} // namespace

int main(int argc, char* argv[])
{
    PCOMMON::enableHighDpi();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tvwall"));
    QApplication::setOrganizationName(QStringLiteral("tvwall"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "TV-wall configuration: find, log in to and maintain video-wall decoders, build TV walls "
        "and connect them. Runs on a built-in simulated decoder fleet."));
    parser.addHelpOption();
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
    parser.addOptions({dataDirOption, fleetOption, screenshotOption, demoOption});
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
    if (!service.loadFleet(fleetJson, &error))
        return fail(QStringLiteral("bad fleet file %1: %2").arg(parser.value(fleetOption), error));
    if (parser.isSet(demoOption) && !seedDemoStore(fleetJson, &error))
        return fail(error);

    PCOMMON::applyGlobalStyleSheet(app);

    HostWindow window;
    window.show();
    // SIGTERM and SIGINT end the event loop as a quit would: decoders disconnected, lists written.
    UnixSignalQuit signalQuit;

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
