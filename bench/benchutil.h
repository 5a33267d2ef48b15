#pragma once

#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <functional>
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

/** Runs fn `runs` times after one warm-up run and returns the median in milliseconds. */
inline double medianMs(int runs, const std::function<void()>& fn)
{
    fn();
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

/** Prints one line of the report: the measure, its baseline measured in the same run, and the target. */
void report(const QString& name, double value, const QString& unit, double baseline, const QString& target);

void runServiceBench();
void runWorkspaceBench();
void runManagementBench();
void runWizardBench();
void runMaintenanceBench();
void runNetworkBench();

} // namespace bench
