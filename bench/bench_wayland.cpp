// bench_latency's measure through the Wayland side, on a path users have: from the headset
// reporting a blink to the typed key arriving at a native Wayland window that has the keyboard
// focus, kelo typing through the compositor's own devices. The clock is read before the blink is
// asked of the headset simulator (tools/headsetsim), so the figure holds the service's write,
// kelo's headset thread and the press rules too. Run it in a network namespace of its own, so
// the simulator's port is no one else's, inside a Wayland session with XWayland:
//
//   unshare -n sh -c 'ip link set lo up && tests/sway.sh build/bench/bench_wayland'
//   KELO_EXECUTABLE=build/kelo \
//   unshare -n sh -c 'ip link set lo up && tests/kwin.sh build/bench/bench_wayland'
//   KELO_INJECTION=gnome KELO_EXECUTABLE=$PWD/build/kelo \
//   KELO_HEADSETSIM=$PWD/build/tools/headsetsim/headsetsim \
//   KELO_WAYLANDTARGET=$PWD/build/tests/waylandtarget tests/gnome.sh build/bench/bench_wayland
//
// (sway's virtual keyboard; KWin's fake input; GNOME Shell's virtual devices through Kelo#'s
// extension, gnome.sh making the network of its own). A session script of another desktop sets
// KELO_INJECTION to its name and runs the same program. The group a-f is opened and its first
// entry, "a", chosen again and again. Both ends are read on the monotonic clock.

#include "headset.h"
#include "kelorunner.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int samples = 60, periodMs = 500, freshMs = 200;

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
    // The simulator takes the headset's own port: it must be free, or the blinks go astray.
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), 13854);
    if (probe.waitForConnected(300))
        return fail(QStringLiteral("127.0.0.1:13854 is taken; run in a network namespace of its "
                                   "own (unshare -n, see bench_wayland.cpp)"));
    QProcess service;
    service.start(qEnvironmentVariable("KELO_HEADSETSIM", QStringLiteral(KELO_HEADSETSIM)),
                  { QStringLiteral("--strength"), QStringLiteral("200") });
    if (!service.waitForReadyRead(5000) || !service.readAll().contains("listening"))
        return fail(QStringLiteral("the headset simulator does not listen"));
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
                         { QStringLiteral("source"), QStringLiteral("headset") },
                         { QStringLiteral("autocaps"), QStringLiteral("false") } });
    if (!kelo.start(&why))
        return fail(why);
    QByteArray heard;
    for (const auto end = Clock::now() + std::chrono::seconds(10);
         !heard.contains("sending") && Clock::now() < end;) {
        service.waitForReadyRead(100);
        heard += service.readAll();
    }
    if (!heard.contains("sending"))
        return fail(QStringLiteral("kelo did not ask the headset simulator for its reports"));
    const auto blink = [&] {
        const Clock::time_point asked = Clock::now();
        service.write("\n");
        service.waitForBytesWritten(1000);
        return asked;
    };

    // The headset takes no blink sooner than its bound after the last: no one blinks faster.
    const auto settled = [](Clock::time_point blinked) {
        const auto at = blinked + std::chrono::milliseconds(Headset::minBlinkGapMs + 20);
        std::this_thread::sleep_until(at);
        return at;
    };

    std::vector<double> delays;
    int missed = 0;
    Clock::time_point press = Clock::now() - std::chrono::hours(1);
    for (int i = 0; i < samples && missed < 5; ++i) {
        if (!kelo.waitForHighlight(1, -1, 0, settled(press), freshMs, 8 * periodMs, &why))
            return fail(why);
        press = blink();
        if (!kelo.waitForHighlight(1, 0, 7, settled(press), freshMs, 16 * periodMs, &why))
            return fail(why);
        while (target.canReadLine() || target.waitForReadyRead(0))
            target.readAll();
        service.readAll();
        press = blink();
        const double sent
            = std::chrono::duration<double, std::milli>(press.time_since_epoch()).count();
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
    const QByteArray way = qgetenv("KELO_INJECTION");
    std::printf("wayland_blink_to_key_ms route=%s n=%zu min=%.1f median=%.1f p90=%.1f max=%.1f "
                "missed=%d (targets: median < 25, max < 45)\n",
                way.isEmpty() ? "wlroots" : way.constData(), delays.size(), delays.front(), at(0.5),
                at(0.9), delays.back(), missed);
    kelo.sendSignal(SIGTERM);
    kelo.waitForCleanExit(5000, &why);
    target.closeWriteChannel();
    target.waitForFinished(2000);
    service.kill();
    service.waitForFinished(2000);
    return 0;
}
