// Time to click a target with one switch: point mode's sweeps (the window's own PointSweep,
// stepped at the window's 16 ms frames) against the arrows of the mouse view, for a simulated
// person who presses a reaction time (uniform 0 to 300 ms) after seeing the band, the line or
// the wanted arrow cover the target, or the pointer reach it. 200 seeded targets on a
// 1920 x 1080 desktop, each started from where the last one left the pointer; a task ends with
// the press on "left click", the first entry of the click list, lit as the list opens.
#include "sweepwatcher.h"

#include <QRect>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int targets = 200, frameMs = SweepWatcher::frameMs, stepMs = 8; // and the pointer's step
const QRect desktop(0, 0, 1920, 1080);

struct Figures
{
    std::vector<double> seconds, miss;
    int presses = 0;
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

struct Person
{
    std::mt19937 random;
    double react() { return std::uniform_real_distribution(0.0, 300.0)(random); }
};

Figures pointMode(int period, unsigned seed)
{
    std::mt19937 place(seed);
    Person person { std::mt19937(seed + 1) };
    SweepWatcher watcher { [&](bool) { return person.react(); } };
    Figures f;
    PointSweep sweep;
    QPoint pointer = desktop.center();
    for (int i = 0; i < targets; ++i) {
        const double x = std::uniform_real_distribution(0.0, 1920.0)(place),
                     y = std::uniform_real_distribution(0.0, 1080.0)(place);
        sweep.start(desktop, pointer, period, 0);
        const double t = watcher.find(sweep, QPointF(x, y));
        // The click list opens at the point with "left click" lit.
        f.seconds.push_back((t - frameMs + person.react()) / 1000);
        pointer = sweep.point();
        f.miss.push_back(std::hypot(pointer.x() - x, pointer.y() - y));
    }
    f.presses = watcher.presses + targets;
    return f;
}

// The mouse view's outer scan: left, up, centre, down, right, each lit a period; a press
// restarts it on the position lit.
struct Scan
{
    double period;
    int tm = 1;
    double since = 0;
    // When the person presses on one of the wanted positions, ready at ready.
    double pressOn(std::initializer_list<int> wanted, double ready, double reaction, int &pos)
    {
        const auto wants = [&](int m) {
            return std::find(wanted.begin(), wanted.end(), m) != wanted.end();
        };
        while (since + period <= ready)
            since += period, tm = tm % 5 + 1;
        double at = ready + reaction;
        if (!(wants(tm) && at < since + period)) {
            do
                since += period, tm = tm % 5 + 1;
            while (!wants(tm));
            at = since + reaction;
        }
        pos = tm;
        restart(at);
        return at;
    }
    void restart(double t)
    {
        while (since + period <= t)
            since += period, tm = tm % 5 + 1;
        since = t;
    }
};

Figures arrows(int period, unsigned seed)
{
    std::mt19937 place(seed);
    Person person { std::mt19937(seed + 2) };
    Figures f;
    Scan scan { double(period) };
    double now = 0;
    int px = desktop.center().x(), py = desktop.center().y();
    for (int i = 0; i < targets; ++i) {
        const double x = std::uniform_real_distribution(0.0, 1920.0)(place),
                     y = std::uniform_real_distribution(0.0, 1080.0)(place);
        const double begin = now;
        bool needX = int(x) != px, needY = int(y) != py;
        while (needX || needY) {
            const int h = x > px ? 5 : 1, v = y > py ? 4 : 2;
            int pos = 0;
            const double pressed = needX && needY ? scan.pressOn({ h, v }, now, person.react(), pos)
                : needX                           ? scan.pressOn({ h }, now, person.react(), pos)
                                                  : scan.pressOn({ v }, now, person.react(), pos);
            ++f.presses;
            const bool horizontal = pos == 1 || pos == 5;
            int &at = horizontal ? px : py;
            const int goal = int(horizontal ? x : y), sign = goal > at ? 1 : -1;
            const int limit = horizontal ? (sign > 0 ? 1910 : 0) : (sign > 0 ? 1060 : 0);
            // Seen to arrive, then stopped a reaction later: one pixel a step meanwhile.
            const double stopped = pressed + stepMs * std::abs(goal - at) + person.react();
            ++f.presses;
            const int steps = int((stopped - pressed) / stepMs);
            at = sign > 0 ? std::min(limit, at + steps) : std::max(limit, at - steps);
            scan.restart(stopped);
            now = stopped;
            (horizontal ? needX : needY) = false;
        }
        int pos = 0;
        now = scan.pressOn({ 3 }, now, person.react(), pos) + person.react();
        f.presses += 2;
        scan.restart(now);
        f.seconds.push_back((now - begin) / 1000);
        f.miss.push_back(std::hypot(px - x, py - y));
    }
    return f;
}

} // namespace

int main()
{
    for (const int period : { 1000, 500 }) {
        const Figures point = pointMode(period, 2027), arrow = arrows(period, 2027);
        const double pm = percentile(point.seconds, 0.5), am = percentile(arrow.seconds, 0.5);
        std::printf("period_ms=%d point_median_s=%.2f point_p90_s=%.2f point_miss_px_p95=%.1f "
                    "point_presses=%.1f arrows_median_s=%.2f arrows_p90_s=%.2f "
                    "arrows_miss_px_p95=%.1f arrows_presses=%.1f speedup=%.2f\n",
                    period, pm, percentile(point.seconds, 0.9), percentile(point.miss, 0.95),
                    double(point.presses) / targets, am, percentile(arrow.seconds, 0.9),
                    percentile(arrow.miss, 0.95), double(arrow.presses) / targets, am / pm);
    }
    return 0;
}
