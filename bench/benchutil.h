#pragma once

#include "matrixsdkworker.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <initializer_list>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace bench {

/** Median of the samples in milliseconds. */
inline double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const size_t mid = samples.size() / 2;
    return samples.size() % 2 ? samples[mid] : (samples[mid - 1] + samples[mid]) / 2.0;
}

/** Runs fn `runs` times and returns the median in milliseconds. */
inline double timedMedianMs(int runs, const std::function<void()>& fn)
{
    std::vector<double> samples;
    samples.reserve(size_t(runs));
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        fn();
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(samples);
}

/** Runs fn `runs` times after one warm-up run and returns the median in milliseconds. */
inline double medianMs(int runs, const std::function<void()>& fn)
{
    fn();
    return timedMedianMs(runs, fn);
}

/**
 * Runs fn once to warm up, then as often as fits in budgetMs (at least minRuns, at most maxRuns)
 * and returns the median in milliseconds: large sizes get fewer runs instead of taking minutes.
 */
inline double adaptiveMedianMs(const std::function<void()>& fn, double budgetMs = 3000, int minRuns = 3,
                               int maxRuns = 15)
{
    QElapsedTimer warm;
    warm.start();
    fn();
    const double first = std::max(0.001, double(warm.nsecsElapsed()) / 1e6);
    return timedMedianMs(std::max(minRuns, std::min(maxRuns, int(budgetMs / first))), fn);
}

/** The size the figures are taken at, from the command line; the scale table multiplies it. */
struct Size
{
    int walls = 20;
    int outputs = 100; // per wall: a wall is at most 10 x 10 screens
    int decoders = 500;
    QList<int> scale{1, 2, 4, 8};
};
Size& size();
void addSizeOptions(QCommandLineParser& parser);
void readSizeOptions(const QCommandLineParser& parser);

/** Collects the rows of a scale table and prints them aligned under a title. */
class ScaleTable
{
public:
    ScaleTable(QString title, QStringList headings)
        : title(std::move(title))
        , rows{std::move(headings)}
    {
    }
    void add(const QStringList& cells) { rows.append(cells); }
    void print() const;

private:
    QString title;
    QList<QStringList> rows;
};

inline QString ms(double value)
{
    return QString::number(value, 'f', value < 10 ? 2 : 1);
}

/** The i-th decoder's address when the daemon serves a fleet: 127.0.0.2 and on, skipping .0 and .255. */
QString loopbackOf(int i);
/** Stores count activated decoders at loopbackOf(0..count-1), ids idPrefix-0 and on, writes the store
 * and returns them. */
QList<pral_matrix::MatrixInfo> storeLoopbackDecoders(int count, const QString& idPrefix,
                                                     const QString& password);

/**
 * Lets the store go of a data directory that is about to be removed: it keeps a lock file there
 * until it is pointed elsewhere. The new place is not touched until something is written.
 */
inline void releaseDataDirectory(const QString& unusedPlace)
{
    pral_matrix::MatrixSdkWorker::flushStore();
    pral_matrix::MatrixSdkWorker::setDataDirectory(unusedPlace);
}

/**
 * @brief The time the GUI thread spends delivering events, taken around every outermost notify() of the
 * benchmark's application object. Events of the benchmark's own helpers are not counted, and events of
 * notices (their display and fade timers) do not keep the loop from counting as idle.
 */
class BusyClock
{
public:
    /** Counts from now on. */
    static void startNow();
    /** Counts from the first queued call delivered to one of these objects on. */
    static void startAtCallTo(std::initializer_list<QObject*> objects);
    static void stop();
    static bool started();
    /** Work from the start to the end of the last event that was not a notice's. */
    static double busyMs();
    /** The same work as the GUI thread's own CPU time: what it cost without the waits a loaded machine adds.
     */
    static double cpuMs();
    static double msSinceLastEvent();
    /** Top-level windows shown while counting. */
    static int windowsShown();
    static void ignore(QObject* helper);
    static void forget(QObject* helper);
    /** Called by the application object for every event. */
    static bool deliver(QObject* receiver, QEvent* event, const std::function<bool()>& notify);
};

/** Prints one line of the report: the measure, its baseline measured in the same run, and the target. */
void report(const QString& name, double value, const QString& unit, double baseline, const QString& target);

void runServiceBench();
void runWorkspaceBench();
void runManagementBench();
void runResultBench();
void runWizardBench();
void runMaintenanceBench();
void runNetworkBench();
void runUpgradeBench();

} // namespace bench
