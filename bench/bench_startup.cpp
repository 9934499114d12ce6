// What Kelo# costs a machine that runs it all day: the time from starting the program to its
// window on screen with the scan drawn, the processor it takes while it scans and nobody presses
// (its 32 ms switch poll and the scan timers), and the memory it holds. The real kelo runs in a
// fresh HOME on the display in DISPLAY, which needs a window manager (./kelo.sh test provides
// both).
//
//   bench_startup [starts] [idle seconds]     5 starts and 20 s by default

#include "kelorunner.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Processor seconds the process has used, user and system.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The command name may hold spaces; the fields after it are fixed.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int starts = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int idleSeconds = argc > 2 ? std::max(1, atoi(argv[2])) : 20;

    QString why;
    Display *display = KeloRunner::openDisplay(&why);
    if (!display) {
        std::fprintf(stderr, "bench_startup: %s\n", qPrintable(why));
        return 1;
    }

    std::vector<double> startMs;
    for (int i = 0; i < starts; ++i) {
        QTemporaryDir home;
        KeloRunner kelo(display, home.path());
        const auto begin = Clock::now();
        if (!kelo.start(&why)) {
            std::fprintf(stderr, "bench_startup: %s\n", qPrintable(why));
            return 1;
        }
        startMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
        const qint64 pid = kelo.pid();

        if (i + 1 == starts) {
            // Let start-up work settle, then watch the untouched scan.
            QThread::sleep(3);
            const double rssStart = kelo.rssKiB() / 1024.0;
            const double before = cpuSeconds(pid);
            const auto from = Clock::now();
            QThread::sleep(idleSeconds);
            const double wall = std::chrono::duration<double>(Clock::now() - from).count();
            const double used = cpuSeconds(pid) - before;
            std::printf("idle_cpu_percent=%.2f (over %.0f s of scanning, no presses)\n",
                        100.0 * used / wall, wall);
            std::printf("rss_mib_after_start=%.1f rss_mib_after_idle=%.1f\n", rssStart,
                        kelo.rssKiB() / 1024.0);
        }
        kelo.sendSignal(SIGTERM);
        // Warnings of this environment (no XDG_RUNTIME_DIR, no sound server) are not the point
        // here; a kelo that does not end is.
        if (!kelo.waitForCleanExit(5000, &why) && kelo.running())
            std::fprintf(stderr, "bench_startup: %s\n", qPrintable(why));
    }
    std::vector<double> sorted = startMs;
    std::sort(sorted.begin(), sorted.end());
    std::printf("start_to_window_ms:");
    for (double ms : startMs)
        std::printf(" %.0f", ms);
    std::printf("  median=%.0f (window found and its scan colour drawn, checked every 50 ms)\n",
                sorted[sorted.size() / 2]);
    return 0;
}
