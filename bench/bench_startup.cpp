// What Kelo# costs a machine that runs it all day, against a bare Qt Quick window (bench_bare,
// a row of rectangles, a slider and a combo box, drawn the same way): the time from starting the
// program to its window on screen with its colour drawn, the memory it holds 5 s after the start,
// and Kelo#'s processor use while it scans and nobody presses (its 32 ms switch poll and the scan
// timers). Kelo# and the bare window start in turn, each in a fresh HOME on the display in
// DISPLAY, which needs a window manager (./kelo.sh test provides both); the figures are medians.
//
//   bench_startup [--program=PATH] [starts] [idle seconds]
//       PATH: the kelo to measure (an installed /usr/lib/kelo/kelo); the build's by default.
//       5 starts of each and 20 s by default; 0 idle seconds leaves the processor figure out.

#include "kelorunner.h"
#include "procfigures.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// When the resident memory is read, counted from the start.
constexpr auto settleTime = std::chrono::seconds(5);
// How often the runner looks for the drawn window.
constexpr int lookEveryMs = 5;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void printRow(const char *name, const std::vector<double> &values, const char *format)
{
    std::printf("%s:", name);
    for (double value : values)
        std::printf(format, value);
    std::printf("\n");
}

struct Figures
{
    std::vector<double> startMs;
    std::vector<double> rssMiB;
};

// One start of program: its start-up time and settled memory; idleSeconds > 0 also measures
// the processor it takes untouched. False, with why, when it failed to start or end.
bool measure(Display *display, const QString &program, int idleSeconds, Figures &figures,
             QString *why)
{
    QTemporaryDir home;
    KeloRunner runner(display, home.path());
    runner.setProgram(program);
    const auto begin = Clock::now();
    if (!runner.start(why, lookEveryMs))
        return false;
    figures.startMs.push_back(
        std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
    std::this_thread::sleep_until(begin + settleTime);
    figures.rssMiB.push_back(double(rssKiB(runner.pid())) / 1024.0);
    if (idleSeconds > 0) {
        const double before = cpuSeconds(runner.pid());
        const auto from = Clock::now();
        QThread::sleep(idleSeconds);
        const double wall = std::chrono::duration<double>(Clock::now() - from).count();
        std::printf("idle_cpu_percent=%.2f (over %.0f s of scanning, no presses)\n",
                    100.0 * (cpuSeconds(runner.pid()) - before) / wall, wall);
        std::printf("rss_mib_after_idle=%.1f\n", double(rssKiB(runner.pid())) / 1024.0);
    }
    runner.sendSignal(SIGTERM);
    // Warnings of this environment (no XDG_RUNTIME_DIR, no sound server) are not the point
    // here; a program that does not end is.
    return runner.waitForCleanExit(5000, why) || !runner.running();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString kelo = QStringLiteral(KELO_EXECUTABLE);
    QStringList numbers = app.arguments().mid(1);
    for (const QString &arg : app.arguments().mid(1)) {
        if (arg.startsWith(u"--program=")) {
            kelo = arg.mid(10);
            numbers.removeOne(arg);
        }
    }
    const int starts = numbers.size() > 0 ? std::max(1, numbers[0].toInt()) : 5;
    const int idleSeconds = numbers.size() > 1 ? std::max(0, numbers[1].toInt()) : 20;

    QString why;
    Display *display = KeloRunner::openDisplay(&why);
    if (!display) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(why));
        return 1;
    }

    // In turn, so that whatever else the machine does weighs on both alike.
    Figures ours, bare;
    for (int i = 0; i < starts; ++i) {
        for (Figures *figures : { &ours, &bare }) {
            const bool isKelo = figures == &ours;
            const int idle = isKelo && i + 1 == starts ? idleSeconds : 0;
            if (!measure(display, isKelo ? kelo : QStringLiteral(KELO_BARE_EXECUTABLE), idle,
                         *figures, &why)) {
                std::fprintf(stderr, "bench_startup: %s\n", qPrintable(why));
                return 1;
            }
        }
    }
    printRow("startup_ms_each", ours.startMs, " %.0f");
    printRow("bare_startup_ms_each", bare.startMs, " %.0f");
    printRow("rss_mib_each", ours.rssMiB, " %.1f");
    printRow("bare_rss_mib_each", bare.rssMiB, " %.1f");
    const double startMs = median(ours.startMs), bareStartMs = median(bare.startMs);
    const double rss = median(ours.rssMiB), bareRss = median(bare.rssMiB);
    std::printf("startup_ms=%.0f bare_startup_ms=%.0f startup_ratio=%.2f (target <= 2)\n", startMs,
                bareStartMs, startMs / bareStartMs);
    std::printf("rss_mib=%.1f bare_rss_mib=%.1f rss_ratio=%.2f (target <= 1.2)\n", rss, bareRss,
                rss / bareRss);
    std::printf("program=%s\n", qPrintable(kelo));
    return 0;
}
