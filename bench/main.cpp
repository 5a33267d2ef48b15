// Measures the module's hot paths against plain-Qt baselines taken in the same
// run, so that the ratios hold on a noisy, shared machine.

#include "benchutil.h"
#include "globalstyle.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include <cstdio>

namespace bench {

void report(const QString& name, double value, const QString& unit, double baseline, const QString& target)
{
    QTextStream out(stdout);
    out << QString("%1 %2 %3").arg(name, -58).arg(value, 10, 'f', 3).arg(unit, -10);
    if (baseline > 0)
        out << QString(" baseline %1 %2  ratio %3x")
                   .arg(baseline, 10, 'f', 3)
                   .arg(unit)
                   .arg(value / baseline, 0, 'f', 2);
    if (!target.isEmpty())
        out << "  target " << target;
    out << '\n';
    out.flush();
}

} // namespace bench

namespace {

QtMessageHandler defaultHandler = nullptr;

/** Times the GUI thread's event delivery for the figures that are taken until the loop is idle. */
class BenchApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        return bench::BusyClock::deliver(receiver, event,
                                         [&] { return QApplication::notify(receiver, event); });
    }
};

// What every window the benchmarks make under the offscreen platform would print between the figures.
void dropOffscreenNoise(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    // A machine without a login session (CI, a container) has no runtime folder, which Qt says once.
    if (text.startsWith(QLatin1String("This plugin does not support propagateSizeHints()")) ||
        text.startsWith(QLatin1String("This plugin does not support raise()")) ||
        text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (defaultHandler) {
        defaultHandler(type, context, text);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

} // namespace

int main(int argc, char* argv[])
{
    defaultHandler = qInstallMessageHandler(dropOffscreenNoise);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tvwall_bench"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Benchmarks of the TV-wall module against plain-Qt baselines."));
    parser.addHelpOption();
    QCommandLineOption only(
        QStringLiteral("only"),
        QStringLiteral(
            "Run one group: service, workspace, management, result, wizard, maintenance, network or "
            "upgrade."),
        QStringLiteral("group"));
    parser.addOption(only);
    bench::addSizeOptions(parser);
    parser.process(app);
    bench::readSizeOptions(parser);

    PCOMMON::applyGlobalStyleSheet(app);
    const QString group = parser.value(only);
    if (group.isEmpty() || group == QLatin1String("service"))
        bench::runServiceBench();
    if (group.isEmpty() || group == QLatin1String("workspace"))
        bench::runWorkspaceBench();
    if (group.isEmpty() || group == QLatin1String("management"))
        bench::runManagementBench();
    if (group.isEmpty() || group == QLatin1String("result"))
        bench::runResultBench();
    if (group.isEmpty() || group == QLatin1String("wizard"))
        bench::runWizardBench();
    if (group.isEmpty() || group == QLatin1String("maintenance"))
        bench::runMaintenanceBench();
    if (group.isEmpty() || group == QLatin1String("network"))
        bench::runNetworkBench();
    if (group.isEmpty() || group == QLatin1String("upgrade"))
        bench::runUpgradeBench();
    return 0;
}
