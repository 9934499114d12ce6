// bench_latency's measure through the Wayland side: from the release of the switch to the
// typed key arriving at a native Wayland window that has the keyboard focus, kelo typing through
// the compositor's virtual keyboard. Run inside a Wayland session with XWayland, as
//
//   tests/sway.sh build/bench/bench_wayland
//
// does with a headless sway. The switch is Escape, held about 100 ms, sent with XTest into
// XWayland, where kelo reads it whatever has the focus; the group a-f is opened and its first
// entry, "a", chosen again and again. Both ends are read on the monotonic clock.

#include "kelorunner.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int samples = 60, periodMs = 500, freshMs = 200, holdMs = 100;

int fail(const QString &why)
{
    std::fprintf(stderr, "bench_wayland: %s\n", qPrintable(why));
    return 1;
}

// The monotonic clock of the next "key a <ms>" line within two seconds.
std::optional<double> nextA(QProcess &target)
{
    for (const auto end = Clock::now() + std::chrono::seconds(2); Clock::now() < end;) {
        if (!target.canReadLine() && !target.waitForReadyRead(20))
            continue;
        const QList<QByteArray> words = target.readLine().trimmed().split(' ');
        if (words.size() == 3 && words[0] == "key" && words[1] == "a")
            return words[2].toDouble();
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return fail(QStringLiteral("needs a Wayland session with XWayland (tests/sway.sh)"));
    QProcess target;
    target.start(qEnvironmentVariable("KELO_WAYLANDTARGET", QStringLiteral(KELO_WAYLANDTARGET)),
                 { QStringLiteral("--times") });
    QString why;
    Display *display = KeloRunner::openDisplay(&why);
    if (!display)
        return fail(why);
    QTemporaryDir home;
    KeloRunner kelo(display, home.path());
    kelo.writeSettings({ { QStringLiteral("startup"), QStringLiteral("2") },
                         { QStringLiteral("s1v"), QString::number(periodMs) },
                         { QStringLiteral("word"), QStringLiteral("false") },
                         { QStringLiteral("autocaps"), QStringLiteral("false") } });
    if (!kelo.start(&why))
        return fail(why);

    std::vector<double> delays;
    int missed = 0;
    Clock::time_point release = Clock::now() - std::chrono::hours(1);
    for (int i = 0; i < samples && missed < 5; ++i) {
        if (!kelo.waitForHighlight(1, -1, 0, release, freshMs, 8 * periodMs, &why))
            return fail(why);
        release = kelo.pressEscape(holdMs);
        if (!kelo.waitForHighlight(1, 1, 7, release, freshMs, 16 * periodMs, &why))
            return fail(why);
        while (target.canReadLine() || target.waitForReadyRead(0))
            target.readAll();
        release = kelo.pressEscape(holdMs);
        const double sent
            = std::chrono::duration<double, std::milli>(release.time_since_epoch()).count();
        if (const auto arrived = nextA(target))
            delays.push_back(*arrived - sent);
        else
            ++missed;
    }
    std::sort(delays.begin(), delays.end());
    if (delays.empty())
        return fail(QStringLiteral("no key arrived"));
    const auto at = [&](double q) {
        return delays[size_t(q * double(delays.size() - 1) + 0.5)];
    };
    std::printf("wayland_release_to_key_ms n=%zu min=%.1f median=%.1f p90=%.1f max=%.1f "
                "missed=%d (targets: median < 25, max < 45)\n",
                delays.size(), delays.front(), at(0.5), at(0.9), delays.back(), missed);
    kelo.sendSignal(SIGTERM);
    kelo.waitForCleanExit(5000, &why);
    target.closeWriteChannel();
    target.waitForFinished(2000);
    return 0;
}
