// Half an hour (KELO_SOAK_MINUTES) of Escape presses at random moments (KELO_SEED repeats a run),
// a sixth of it begun in each view in turn, into a client that has the keyboard focus. The
// pointer is kept off kelo's window, whose menus and close button would end the run. A kelo
// ended cleanly by its own keys (QUIT is Alt+F4) is counted and started again. Prints the
// figures; fails on a crash, a warning from Qt, or resident memory that grew 5 % or more after
// a run's first minute. Needs DISPLAY with a window manager (./kelo.sh soak).
//
//   bench_soak

#include "kelorunner.h"
#include "procfigures.h"
#include "typingtarget.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>

#include <cstdio>
#include <random>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

int fail(const QString &why)
{
    std::fprintf(stderr, "soak failed: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const unsigned minutes = qEnvironmentVariable("KELO_SOAK_MINUTES", u"30"_s).toUInt(),
                   seed
        = qEnvironmentVariable("KELO_SEED", QString::number(std::random_device {}())).toUInt();
    std::printf("seed=%u\nminutes=%u\n", seed, minutes);
    std::fflush(stdout);
    std::mt19937 random(seed);
    const auto within = [&](int low, int high) {
        return std::uniform_int_distribution(low, high)(random);
    };
    QString why;
    Display *display = KeloRunner::openDisplay(&why);
    TypingTarget target { {}, QRect(0, 0, 8192, 8192) };
    if (!display || !target.start())
        return fail(display ? u"the client typed into did not get the focus"_s : why);
    QTemporaryDir home;
    KeloRunner kelo(display, home.path());
    // On the X server of the display, with a runtime folder of its own (as the tests run it).
    const QString runtime = home.filePath(u"run"_s);
    QDir().mkdir(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const auto &[name, value] :
         { std::pair(u"XDG_RUNTIME_DIR"_s, runtime), std::pair(u"QT_QPA_PLATFORM"_s, u"xcb"_s),
           std::pair(u"WAYLAND_DISPLAY"_s, u""_s) })
        kelo.setEnvironment(name, value);
    kelo.writeSettings({ { u"startup"_s, u"2"_s }, { u"s1v"_s, u"500"_s } });
    if (!kelo.start(&why))
        return fail(why);
    const QRect screen(0, 0, DisplayWidth(display, 0), DisplayHeight(display, 0));
    const auto begin = Clock::now(), end = begin + std::chrono::minutes(minutes);
    auto started = begin;
    qint64 firstRss = 0, lastRss = 0, measured = 0, presses = 0, restarts = 0;
    double worst = 0;
    const auto grew = [&] { // the memory of one run of kelo, from its first minute on
        const double percent = firstRss ? 100.0 * (lastRss - firstRss) / firstRss : 0.;
        std::printf("rss_after_first_minute_kib=%lld\nrss_at_last_press_kib=%lld\n"
                    "rss_growth_percent=%+.2f\n",
                    firstRss, lastRss, percent);
        measured += firstRss > 0;
        worst = std::max(worst, percent);
        return percent >= 5;
    };
    for (int phase = -1; Clock::now() < end; ++presses) {
        if (const int due = int(6 * (Clock::now() - begin) / (end - begin));
            due != phase && !kelo.geometry().isEmpty()) { // Normal, Keyboard, Mouse in turn
            kelo.click(kelo.menuTitle(2));
            if (QTest::qWaitFor([&] { return !kelo.menuGeometry().isEmpty(); }, 3000))
                QTest::qWait(200); // painted
            const QRect menu = kelo.menuGeometry();
            kelo.click(QPoint(menu.center().x(),
                              menu.top() + menu.height() * (2 * ((phase = due) % 3) + 1) / 6));
            QTest::qWait(800);
        }
        for (const auto next = Clock::now() + std::chrono::milliseconds(within(150, 2500));
             Clock::now() < next; QTest::qWait(40)) {
            const QRect frame = kelo.geometry().adjusted(-40, -60, 40, 40);
            const QPoint away = frame.center() - screen.center();
            if (frame.contains(QCursor::pos()))
                kelo.movePointer({ screen.width() * (away.x() < 0 ? 4 : 1) / 5,
                                   screen.height() * (away.y() < 0 ? 4 : 1) / 5 });
        }
        if (!kelo.running()) {
            if (grew())
                return fail(u"resident memory grew 5 % or more"_s);
            if (!kelo.waitForCleanExit(0, &why) || !kelo.start(&why))
                return fail(why);
            ++restarts;
            started = Clock::now();
            firstRss = 0;
        }
        if (const qint64 now = rssKiB(kelo.pid()); now > 0) {
            if (!firstRss && Clock::now() - started >= std::chrono::minutes(1))
                firstRss = now;
            lastRss = now;
        }
        kelo.pressEscape(within(30, 300));
        target.clear();
        if (!kelo.warnings().isEmpty())
            return fail(kelo.warnings().join(u'\n'));
    }
    std::printf("presses=%lld\nrestarts=%lld\n", presses, restarts);
    if (grew() || measured == 0)
        return fail(measured ? u"resident memory grew 5 % or more"_s
                             : u"kelo never ran a whole minute"_s);
    std::printf("worst_rss_growth_percent=%+.2f\n", worst);
    return kelo.close(&why) ? 0 : fail(why);
}
