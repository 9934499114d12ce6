#pragma once

// Look-up timing shared by the word-prediction benchmarks.

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <vector>

struct Stats
{
    double median = 0;
    double worst = 0;
    QString worstPrefix;
};

inline double medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Time per prefix in microseconds: the median of `repeats` calls, so one preemption of this
// process does not pass for the look-up's cost. The slowest prefixes of a single pass are timed
// again the same way before the worst is taken.
inline Stats measure(const QStringList &prefixes, int repeats, int firstPassRepeats,
                     const std::function<QStringList(const QString &)> &lookup)
{
    QElapsedTimer timer;
    const auto time = [&](const QString &prefix, int n) {
        std::vector<double> runs;
        for (int r = 0; r < n; ++r) {
            timer.start();
            const QStringList answer = lookup(prefix);
            runs.push_back(timer.nsecsElapsed() / 1000.0);
            if (answer.size() != 5)
                qFatal("a look-up did not give five entries");
        }
        return medianOf(runs);
    };
    std::vector<double> times;
    for (const QString &prefix : prefixes)
        times.push_back(time(prefix, firstPassRepeats));
    if (firstPassRepeats < repeats) {
        std::vector<qsizetype> order(times.size());
        for (qsizetype i = 0; i < qsizetype(order.size()); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(),
                  [&](qsizetype a, qsizetype b) { return times[a] > times[b]; });
        for (qsizetype k = 0; k < std::min<qsizetype>(10, order.size()); ++k)
            times[order[k]] = time(prefixes.at(order[k]), repeats);
    }
    Stats stats;
    for (qsizetype i = 0; i < qsizetype(times.size()); ++i) {
        if (times[i] > stats.worst) {
            stats.worst = times[i];
            stats.worstPrefix = prefixes.at(i);
        }
    }
    stats.median = medianOf(times);
    return stats;
}
