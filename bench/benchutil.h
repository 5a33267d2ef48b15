#pragma once

#include "matrixsdkworker.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

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

/**
 * Lets the store go of a data directory that is about to be removed: it keeps a lock file there
 * until it is pointed elsewhere. The new place is not touched until something is written.
 */
inline void releaseDataDirectory(const QString& unusedPlace)
{
    pral_matrix::MatrixSdkWorker::flushStore();
    pral_matrix::MatrixSdkWorker::setDataDirectory(unusedPlace);
}

/** Prints one line of the report: the measure, its baseline measured in the same run, and the target. */
void report(const QString& name, double value, const QString& unit, double baseline, const QString& target);

void runServiceBench();
void runWorkspaceBench();
void runManagementBench();
void runWizardBench();
void runMaintenanceBench();
void runNetworkBench();
void runUpgradeBench();

} // namespace bench
