// How long a user waits for a key: from the release of the switch (the Escape key, held about
// 100 ms as a person presses it) to the typed key arriving at the application that has the
// keyboard focus. The real kelo runs in its keyboard view on the display in DISPLAY, which
// needs a window manager (./kelo.sh test provides both); the group a-f is opened and its
// first entry, "a", chosen again and again, each time as the screen shows it highlighted.
//
// Two clocks measure the same delay: this program's monotonic clock, from sending the release
// to the key press being read by the focused window, and the X server's timestamps, from the
// release to the press that kelo injects.
//
//   bench_latency              the click sound on, as users have it
//   bench_latency --no-sound   without it, to see what the click costs
//
// With the click on, kelo plays into a PulseAudio server of the benchmark's own (a null sink
// whose monitor is recorded), and the click's onset is timed from the release and against the
// key it typed.

#include "kelorunner.h"
#include "soundserver.h"
#include "typingtarget.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int samples = 60;
// A short scan period: a quick run, still a full period to press in.
constexpr int periodMs = 500;
constexpr int freshMs = 200;
constexpr int holdMs = 100;

// Raw key events as the server timestamps them, whoever has the focus, on a connection of
// their own.
class RawKeys
{
public:
    RawKeys()
        : dpy(XOpenDisplay(nullptr))
    {
        int event = 0, error = 0;
        if (!dpy || !XQueryExtension(dpy, "XInputExtension", &opcode, &event, &error)) {
            opcode = -1;
            return;
        }
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        XIEventMask mask { XIAllMasterDevices, int(sizeof bits), bits };
        XISelectEvents(dpy, DefaultRootWindow(dpy), &mask, 1);
        XSync(dpy, False);
    }

    ~RawKeys()
    {
        if (dpy)
            XCloseDisplay(dpy);
    }
    RawKeys(const RawKeys &) = delete;
    RawKeys &operator=(const RawKeys &) = delete;

    bool available() const { return opcode >= 0; }

    // Forgets what came so far.
    void drain() { next(0, false, 0); }

    // The server time of the next event of keycode (press or release) within timeoutMs.
    std::optional<unsigned long> next(int keycode, bool press, int timeoutMs)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        do {
            XSync(dpy, False);
            while (XPending(dpy) > 0) {
                XEvent event;
                XNextEvent(dpy, &event);
                if (event.type != GenericEvent || event.xcookie.extension != opcode
                    || !XGetEventData(dpy, &event.xcookie))
                    continue;
                const auto *raw = static_cast<const XIRawEvent *>(event.xcookie.data);
                const bool isPress = event.xcookie.evtype == XI_RawKeyPress;
                const int detail = raw->detail;
                const unsigned long time = raw->time;
                XFreeEventData(dpy, &event.xcookie);
                if (keycode && detail == keycode && isPress == press)
                    return time;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (Clock::now() < deadline);
        return std::nullopt;
    }

private:
    Display *dpy;
    int opcode = -1;
};

void report(const char *what, std::vector<double> values)
{
    if (values.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        return values[size_t(q * double(values.size() - 1) + 0.5)];
    };
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
    const auto over = std::count_if(values.begin(), values.end(), [](double v) { return v >= 45; });
    std::printf("%-44s n %3zu  min %5.1f  median %5.1f  mean %5.1f  p90 %5.1f  max %5.1f ms"
                "  (%td at 45 ms or more)\n",
                what, values.size(), values.front(), at(0.5), mean, at(0.9), values.back(), over);
}

int fail(const QString &why)
{
    std::fprintf(stderr, "bench_latency: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("DISPLAY"))
        return fail(QStringLiteral("needs an X server with a window manager (DISPLAY)"));
    QString why;
    Display *display = KeloRunner::openDisplay(&why);
    if (!display)
        return fail(why);
    RawKeys raw;
    if (!raw.available())
        return fail(QStringLiteral("the X server has no XInput extension"));
    const int escape = XKeysymToKeycode(display, XK_Escape);

    QTemporaryDir home;
    KeloRunner kelo(display, home.path());
    SoundServer sounds(home.path());
    // The keyboard view, the fastest scan, prediction off (no seventh position), "a" as chosen.
    const bool sound = !QCoreApplication::arguments().contains(QStringLiteral("--no-sound"));
    kelo.writeSettings(
        { { QStringLiteral("startup"), QStringLiteral("2") },
          { QStringLiteral("s1v"), QString::number(periodMs) },
          { QStringLiteral("word"), QStringLiteral("false") },
          { QStringLiteral("autocaps"), QStringLiteral("false") },
          { QStringLiteral("sound"), sound ? QStringLiteral("true") : QStringLiteral("false") } });
    if (sound && !sounds.start(&why))
        return fail(why);
    kelo.setEnvironment(QStringLiteral("PULSE_SERVER"), sounds.address());
    if (!kelo.start(&why))
        return fail(why);
    TypingTarget target;
    if (!target.start())
        return fail(QStringLiteral("the window typed into did not get the keyboard focus"));

    std::vector<double> monotonic, server, click, clickToKey;
    int missed = 0;
    Clock::time_point release = Clock::now() - std::chrono::hours(1);
    const auto started = Clock::now();
    for (int i = 0; i < samples && missed < 5; ++i) {
        // Open a-f, then choose "a" (its first line) as soon as the list shows it lit.
        if (!kelo.waitForHighlight(1, -1, 0, release, freshMs, 8 * periodMs, &why))
            return fail(why);
        release = kelo.pressEscape(holdMs);
        if (!kelo.waitForHighlight(1, 0, 7, release, freshMs, 16 * periodMs, &why))
            return fail(why);
        const qsizetype before = target.keys().size();
        raw.drain();
        release = kelo.pressEscape(holdMs);
        const auto serverRelease = raw.next(escape, false, 1000);
        std::optional<unsigned long> serverPress;
        std::optional<Clock::time_point> arrived;
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (!arrived && Clock::now() < deadline) {
            const auto keys = target.keys();
            for (qsizetype k = before; k < keys.size() && !arrived; ++k) {
                if (keys[k].keysym == XK_a)
                    arrived = keys[k].arrived;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (arrived)
            serverPress = raw.next(XKeysymToKeycode(display, XK_a), true, 500);
        if (!arrived) {
            ++missed;
            std::fprintf(stderr, "press %d: no key arrived\n", i);
            continue;
        }
        monotonic.push_back(std::chrono::duration<double, std::milli>(*arrived - release).count());
        // This press's click begins once the release is sent (a few ms before this program
        // reads the clock); a sound going on before then is an older one.
        for (int wait = 0; sound && wait < 500; wait += 5) {
            const auto sent = release - std::chrono::milliseconds(20);
            const auto heard = sounds.sounds(sent - std::chrono::milliseconds(100), 20);
            const auto mine = std::find_if(heard.begin(), heard.end(),
                                           [&](const auto &span) { return span.begin >= sent; });
            if (mine != heard.end()) {
                const auto onset = mine->begin;
                click.push_back(std::chrono::duration<double, std::milli>(onset - release).count());
                clickToKey.push_back(
                    std::chrono::duration<double, std::milli>(onset - *arrived).count());
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (monotonic.back() >= 45)
            std::printf("press %d: %.1f ms\n", i, monotonic.back());
        if (serverRelease && serverPress)
            server.push_back(double(long(*serverPress) - long(*serverRelease)));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();

    std::printf("Switch release to key at the focused window, Escape held %d ms, scan %d ms, "
                "click sound %s\n",
                holdMs, periodMs, sound ? "on" : "off");
    report("test clock (release sent -> key read)", monotonic);
    report("X server timestamps (release -> key press)", server);
    if (sound) {
        report("click onset heard (release -> sound)", click);
        report("click onset after the key (- before it)", clickToKey);
        std::sort(click.begin(), click.end());
        std::printf("click_heard=%zu/%zu click_onset_median_ms=%.1f click_onset_max_ms=%.1f\n",
                    click.size(), monotonic.size(), click.empty() ? -1 : click[click.size() / 2],
                    click.empty() ? -1 : click.back());
    }
    std::printf("%d presses typed nothing; %.1f s in all. Targets: median < 25 ms, max < 45 ms\n",
                missed, seconds);

    if (!kelo.close(&why))
        std::fprintf(stderr, "bench_latency: at the end: %s\n", qPrintable(why));
    XCloseDisplay(display);
    return monotonic.empty() ? 1 : 0;
}
