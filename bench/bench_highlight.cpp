// How long each entry of a list stays lit, as a person sees it: the real kelo in its keyboard
// view at the shortest scan period (500 ms), its window read from the screen as fast as the X
// server gives pictures. The first list opened after start is measured, then a later one;
// every entry should stay lit for a whole period. Needs DISPLAY with a window manager.
//
//   bench_highlight

#include "kelorunner.h"
#include "scanpicture.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int periodMs = 500;

// Opens group 1 with a press as it lights, then notes when each entry of its list lights;
// returns how long entries 0 to 4 stayed lit, in ms.
std::vector<double> litTimes(KeloRunner &kelo)
{
    QString why;
    if (!kelo.waitForHighlight(1, -1, 0, Clock::now(), 100, 8 * periodMs, &why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return {};
    }
    kelo.pressEscape(60);
    std::vector<std::pair<int, Clock::time_point>> changes;
    int last = -2;
    const auto end = Clock::now() + std::chrono::milliseconds(7 * periodMs);
    while (Clock::now() < end) {
        const ScanPicture seen(kelo.grab());
        const int entry = seen.listOpen() ? seen.entry() : -1;
        if (entry != last) {
            changes.emplace_back(entry, Clock::now());
            last = entry;
        }
    }
    std::vector<double> lit;
    for (size_t i = 0; i + 1 < changes.size() && lit.size() < 5; ++i) {
        if (changes[i].first == int(lit.size()))
            lit.push_back(
                std::chrono::duration<double, std::milli>(changes[i + 1].second - changes[i].second)
                    .count());
    }
    return lit;
}

void print(const char *name, const std::vector<double> &lit)
{
    std::printf("%s:", name);
    for (const double ms : lit)
        std::printf(" %.0f", ms);
    std::printf(" ms (period %d ms)\n", periodMs);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString why;
    Display *display = KeloRunner::openDisplay(&why);
    if (!display) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    QTemporaryDir home;
    KeloRunner kelo(display, home.path());
    kelo.writeSettings({ { QStringLiteral("startup"), QStringLiteral("2") },
                         { QStringLiteral("s1v"), QString::number(periodMs) },
                         { QStringLiteral("word"), QStringLiteral("false") } });
    if (!kelo.start(&why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    const std::vector<double> first = litTimes(kelo);
    // Left alone, the list closes after two passes; then a later opening.
    const std::vector<double> later = litTimes(kelo);
    print("first list after start, entries 1-5 lit", first);
    print("a later list, entries 1-5 lit", later);
    kelo.close(&why);
    XCloseDisplay(display);
    return first.size() == 5 && later.size() == 5 ? 0 : 1;
}
