#include "kelorunner.h"
#include "typingtarget.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <random>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

// What the overlay shows along one row (or column) of the screen: the centres of its
// cornflower blue bars (the band's edges) and of its dark orange line.
struct Across
{
    QList<int> edges;
    int line = -1;
};

} // namespace

// Point mode in the real program, worked with the Escape key alone by a person who watches the
// screen: a 20 x 20 window of another client, at a random spot, gets the click; the client typed
// into keeps the focus; every way out leaves no overlay and no button held.
class TestPointMode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2((display = KeloRunner::openDisplay(&why)), qPrintable(why));
        width = DisplayWidth(display, 0);
        height = DisplayHeight(display, 0);
        seed = qEnvironmentVariable("KELO_SEED", QString::number(std::random_device {}())).toUInt();
        std::printf("point mode: KELO_SEED=%u\n", seed);
    }

    void cleanup()
    {
        if (kelo && kelo->running()) {
            kelo->sendSignal(SIGTERM);
            kelo->waitForCleanExit(5000, &why);
        }
        kelo.reset();
        small.reset();
        typing.reset();
        split(false);
    }

    // The mouse view opens in point mode; the sweeps find the target, the click list's first
    // entry clicks it there. Then a held switch cancels, a view change ends it, and it ends
    // with the program: no overlay stays, and a button held in point mode is let go.
    void clicksTarget()
    {
        QTemporaryDir home;
        QVERIFY2(begin(home.path(), QRect(0, 0, width, height)), qPrintable(why));
        const QRect root(0, 0, width, height);
        QTRY_COMPARE_WITH_TIMEOUT(kelo->overlayGeometry(), root, 5000); // the overlay, whole
        QVERIFY2(point(targetCentre()) && click(0), qPrintable(why));
        QVERIFY2(hit(), qPrintable(why));
        QVERIFY(typing->focused());

        // Point mode goes on after a click; a switch held 1.3 s cancels it.
        QTRY_COMPARE_WITH_TIMEOUT(kelo->overlayGeometry(), root, 3000);
        QTest::qWait(500);
        kelo->pressEscape(1300);
        QTRY_VERIFY_WITH_TIMEOUT(kelo->overlayGeometry().isEmpty(), 3000);
        typing->clear();
        QTest::qWait(1500); // its release was no press: no arrow moves the pointer
        QVERIFY(kelo->overlayGeometry().isEmpty() && typing->pointer().isEmpty());

        // Started again, it sweeps at once; Keyboard from the View menu ends it.
        kelo->sendSignal(SIGTERM);
        QVERIFY2(kelo->waitForCleanExit(5000, &why) && kelo->start(&why), qPrintable(why));
        QTRY_COMPARE_WITH_TIMEOUT(kelo->overlayGeometry(), root, 5000);
        clickMenu(2, 0.5);
        QTRY_VERIFY_WITH_TIMEOUT(kelo->overlayGeometry().isEmpty(), 3000);
        QVERIFY(typing->focused());
    }

    // However the program ends, a held click made in point mode is let go and nothing of the
    // overlay is left. (The Quit menu cannot be clicked while the button is held: the client
    // under the pointer has the press and takes the click.)
    void exitsReleaseHeldClick_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : { "SIGTERM", "window manager", "SIGINT", "SIGHUP" })
            QTest::newRow(how) << QString::fromLatin1(how);
    }
    void exitsReleaseHeldClick()
    {
        QFETCH(QString, how);
        QTemporaryDir home;
        QVERIFY2(begin(home.path(), QRect(0, 0, width, height), false), qPrintable(why));
        QTRY_VERIFY_WITH_TIMEOUT(!kelo->overlayGeometry().isEmpty(), 5000);
        // Anywhere will do: six presses as soon as the sweeps show, then "held click".
        for (int i = 0; i < 6; ++i) {
            QTest::qWait(400);
            kelo->pressEscape(60);
        }
        QVERIFY2(click(3), qPrintable(why));
        QTRY_VERIFY_WITH_TIMEOUT(typing->pointer().join(u' ').contains(u"press 1"), 3000);
        if (how == u"window manager")
            kelo->closeByWindowManager();
        else
            kelo->sendSignal(how == u"SIGTERM" ? SIGTERM : how == u"SIGINT" ? SIGINT : SIGHUP);
        QVERIFY2(kelo->waitForCleanExit(5000, &why), qPrintable(why));
        QTRY_VERIFY_WITH_TIMEOUT(typing->pointer().join(u' ').contains(u"release 1"), 3000);
        QVERIFY(kelo->overlayGeometry().isEmpty());
    }

    // Two monitors side by side (one X screen split by RandR): the overlay and the sweeps cover
    // both, and a target on the second is clicked.
    void twoMonitors()
    {
        QVERIFY2(split(true), "the display cannot be split into two RandR monitors");
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 2, 5000);
        QTemporaryDir home;
        QVERIFY2(begin(home.path(), QRect(width / 2, 0, width / 2, height)), qPrintable(why));
        QTRY_COMPARE_WITH_TIMEOUT(kelo->overlayGeometry(), QRect(0, 0, width, height), 5000);
        QVERIFY2(point(targetCentre()) && click(0), qPrintable(why));
        QVERIFY2(hit(), qPrintable(why));
    }

private:
    // Kelo (the mouse view opening in point mode), then the typing client over the whole screen
    // and the 20 x 20 target somewhere in within, clear of kelo's window and of the edges.
    bool begin(const QString &home, QRect within, bool withTarget = true)
    {
        kelo = std::make_unique<KeloRunner>(display, home);
        if (!kelo->writeSettings({ { u"startup"_s, u"3"_s }, { u"pointmode"_s, u"true"_s } })
            || !kelo->start(&why))
            return false;
        typing
            = std::make_unique<TypingTarget>(std::chrono::milliseconds {}, QRect(0, 0, 8192, 8192));
        if (!withTarget)
            return typing->start() || (why = u"the typing client has no focus"_s, false);
        std::mt19937 random(seed++);
        const QRect keloArea = kelo->geometry().adjusted(-40, -60, 40, 40);
        do {
            target = QRect(
                std::uniform_int_distribution(within.left() + 30, within.right() - 50)(random),
                std::uniform_int_distribution(30, height - 50)(random), 20, 20);
        } while (target.intersects(keloArea));
        small = std::make_unique<TypingTarget>(std::chrono::milliseconds {}, target);
        // The typing client takes the focus last.
        return (small->start() && typing->start()) || (why = u"the clients have no focus"_s, false);
    }

    QPoint targetCentre() const { return target.center(); }

    // The client with the target saw a press and a release inside it.
    bool hit()
    {
        (void)QTest::qWaitFor([&] { return !small->pointer().filter(u"release"_s).isEmpty(); },
                              3000);
        const QStringList seen
            = small->pointer().filter(QRegularExpression(u"^(press|release) 1"_s));
        why = u"the target at %1,%2 saw: %3; beneath it: %4"_s.arg(target.x())
                  .arg(target.y())
                  .arg(seen.join(u", "), typing->pointer().filter(u"press"_s).join(u", "));
        if (seen.size() != 2)
            return false;
        const QStringList at = seen.first().section(u' ', 2).split(u',');
        return target.contains(QPoint(at.value(0).toInt(), at.value(1).toInt()));
    }

    // The overlay along the row at (or column at) a place, read off the screen.
    Across across(bool column, int at) const
    {
        XImage *x = XGetImage(display, DefaultRootWindow(display), column ? at : 0, column ? 0 : at,
                              unsigned(column ? 1 : width), unsigned(column ? height : 1),
                              AllPlanes, ZPixmap);
        Across seen;
        if (!x)
            return seen;
        const int n = column ? height : width;
        int runStart = -1;
        unsigned long runColour = 0;
        for (int i = 0; i <= n; ++i) {
            const unsigned long pixel
                = i < n ? (XGetPixel(x, column ? 0 : i, column ? i : 0) & 0xffffff) : 0;
            if (runStart >= 0 && pixel != runColour) {
                const int centre = (runStart + i - 1) / 2;
                if (runColour == 0x6495ed && i - runStart >= 2)
                    seen.edges << centre;
                else if (runColour == 0xff8c00)
                    seen.line = centre;
                runStart = -1;
            }
            if (runStart < 0 && (pixel == 0x6495ed || pixel == 0xff8c00))
                runStart = i, runColour = pixel;
        }
        XDestroyImage(x);
        return seen;
    }

    // Presses when the sweeps cover t: the band on x, its line, the fine line; then on y. The
    // row and column read are kept clear of kelo's window and of the line of x found.
    bool point(QPoint t)
    {
        const QRect keloArea = kelo->geometry().adjusted(-8, -8, 8, 8);
        const int row = keloArea.top() > 40 ? 8 : height - 8;
        const int column = t.x() < width / 2 ? width - 8 : 8;
        for (const bool vertical : { false, true }) {
            const int goal = vertical ? t.y() : t.x();
            const auto seen = [&] {
                return across(vertical, vertical ? column : row);
            };
            if (!waitFor(
                    [&] {
                        const Across a = seen();
                        return a.edges.size() >= 2 && a.edges.first() < goal
                            && goal < a.edges.last();
                    },
                    u"the band over %1"_s.arg(goal)))
                return false;
            kelo->pressEscape(60);
            for (int pass = 0; pass < 2; ++pass) {
                QTest::qWait(150);
                int before = seen().line;
                if (!waitFor(
                        [&] {
                            const int now = seen().line;
                            const bool crossed
                                = now >= 0 && before >= 0 && ((before - goal) * (now - goal) <= 0);
                            before = now;
                            return crossed;
                        },
                        u"the line over %1"_s.arg(goal)))
                    return false;
                kelo->pressEscape(60);
            }
        }
        // The pointer goes there as the click list opens.
        const bool there = QTest::qWaitFor([&] { return target.contains(QCursor::pos()); }, 3000);
        why = u"the pointer stopped at %1,%2"_s.arg(QCursor::pos().x()).arg(QCursor::pos().y());
        return there;
    }

    // The click list's entry (from 0) once lit; it opens with the first lit for a period.
    bool click(int entry)
    {
        QTest::qWait(300 + 1000 * entry);
        kelo->pressEscape(60);
        return true;
    }

    bool waitFor(const std::function<bool()> &done, const QString &what)
    {
        if (QTest::qWaitFor(done, 15000))
            return true;
        why = u"never saw "_s + what;
        return false;
    }

    // Opens the n-th menu of the strip and clicks at the given fraction of its height.
    void clickMenu(int n, double at)
    {
        kelo->click(kelo->menuTitle(n));
        if (QTest::qWaitFor([&] { return !kelo->menuGeometry().isEmpty(); }, 3000))
            QTest::qWait(200); // painted
        const QRect menu = kelo->menuGeometry();
        kelo->click(QPoint(menu.center().x(), menu.top() + int(menu.height() * at)));
        if (QTest::qWaitFor([&] { return kelo->menuGeometry().isEmpty(); }, 3000))
            QTest::qWait(800);
    }

    // Splits the screen into two RandR monitors, left and right halves (or removes them).
    bool split(bool on)
    {
        Window root = DefaultRootWindow(display);
        for (const char *name : { "KELO-LEFT", "KELO-RIGHT" })
            XRRDeleteMonitor(display, root, XInternAtom(display, name, False));
        XSync(display, False);
        if (!on)
            return true;
        // The left one takes the screen's output, whose own monitor then gives way.
        XRRScreenResources *resources = XRRGetScreenResources(display, root);
        if (!resources || resources->noutput < 1)
            return false;
        for (int half = 0; half < 2; ++half) {
            XRRMonitorInfo *m = XRRAllocateMonitor(display, half ? 0 : 1);
            if (!half)
                m->outputs[0] = resources->outputs[0];
            m->name = XInternAtom(display, half ? "KELO-RIGHT" : "KELO-LEFT", False);
            m->primary = !half;
            m->x = half * width / 2;
            m->width = width / 2;
            m->height = height;
            m->mwidth = 170;
            m->mheight = 270;
            XRRSetMonitor(display, root, m);
            XRRFreeMonitors(m);
        }
        XRRFreeScreenResources(resources);
        XSync(display, False);
        int count = 0;
        XRRFreeMonitors(XRRGetMonitors(display, root, True, &count));
        return count == 2;
    }

    QString why;
    Display *display = nullptr;
    int width = 0, height = 0;
    unsigned seed = 0;
    QRect target;
    std::unique_ptr<KeloRunner> kelo;
    std::unique_ptr<TypingTarget> small, typing;
};

QTEST_MAIN(TestPointMode)
#include "tst_pointmode.moc"
