// The blink detector as the program runs it, over a video: frames are read and searched on
// the detector's thread while a 32 ms timer polls on the GUI thread, as the window's does.
//   bench_blink VIDEO [EYES_XML]
// Prints one line of key=value figures, with what loading the detector's OpenCV half on the
// first open costs: its time on the capture thread and the resident memory it adds.

#include "webth.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// CPU time this thread has used, in ms.
double threadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double rssMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmRSS:");
    return at < 0 ? 0 : text.mid(at + 6, 20).trimmed().split(' ').value(0).toDouble() / 1024;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_blink VIDEO [EYES_XML]\n");
        return 2;
    }
    Webth detector(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(KELO_EYES));
    if (!detector.hasCascade())
        return 1;

    int blinks = 0;
    std::vector<double> steps;
    QObject::connect(&detector, &Webth::blink, [&] { ++blinks; });
    const double rssBefore = rssMiB();
    double rssLoaded = 0;
    QObject::connect(&detector, &Webth::vid, [&](uchar *) {
        if (steps.empty())
            rssLoaded = rssMiB();
        steps.push_back(detector.stepMs());
    });

    std::vector<double> periods;
    QElapsedTimer sincePoll;
    QTimer poll;
    poll.setInterval(32);
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (sincePoll.isValid())
            periods.push_back(double(sincePoll.nsecsElapsed()) / 1e6);
        sincePoll.start();
    });

    QObject::connect(&detector, &Webth::finished, &app, &QCoreApplication::quit);
    const double cpuBefore = threadCpuMs();
    poll.start();
    // Paced as a camera delivers frames, so the poll shares the machine as it would.
    detector.openFile(QString::fromLocal8Bit(argv[1]), 40);
    app.exec();
    const double guiMs = threadCpuMs() - cpuBefore;

    const size_t frames = steps.size();
    std::printf("module_load_ms=%.1f module_rss_mib=%.1f\n", Webth::moduleLoadMs(),
                rssLoaded - rssBefore);
    std::printf("blinks=%d frames=%zu step_p50_ms=%.2f step_p95_ms=%.2f gui_ms_per_frame=%.3f "
                "poll_median_ms=%.2f poll_worst_ms=%.2f\n",
                blinks, frames, percentile(steps, 0.5), percentile(steps, 0.95),
                frames ? guiMs / double(frames) : 0.0, percentile(periods, 0.5),
                periods.empty() ? 0.0 : *std::max_element(periods.begin(), periods.end()));
    return frames > 0 ? 0 : 1;
}
