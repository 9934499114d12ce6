#include "kelorunner.h"
#include "typingtarget.h"

#include <QCursor>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <random>

using namespace Qt::StringLiterals;

// Point mode in the real program, worked with Escape alone by a person who watches the screen:
// a 20 x 20 window of another client at a random spot gets the click.
class TestPointMode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2((display = KeloRunner::openDisplay(&why)), qPrintable(why));
        size = QSize(DisplayWidth(display, 0), DisplayHeight(display, 0));
        seed = qEnvironmentVariable("KELO_SEED", QString::number(std::random_device {}())).toUInt();
        std::printf("point mode: KELO_SEED=%u\n", seed);
    }

    void cleanup()
    {
        if (kelo)
            kelo->sendSignal(SIGTERM), kelo->waitForCleanExit(5000, &why);
        small.reset(), typing.reset();
        split(false);
    }

    // On a screen split by RandR in two monitors the overlay covers both; a target on the second
    // is found and clicked; point mode goes on; the focus stays.
    void clicksTarget()
    {
        QVERIFY2(split(true), "the display cannot be split into two RandR monitors");
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 2, 5000);
        QTemporaryDir home;
        const QRect root(QPoint(), size);
        QVERIFY2(begin(home.path(), QRect(size.width() / 2, 0, size.width() / 2, size.height())),
                 qPrintable(why));
        QCOMPARE(kelo->overlayGeometry(), root);
        QVERIFY2(point() && hit(), qPrintable(why));
        QTRY_COMPARE_WITH_TIMEOUT(kelo->overlayGeometry(), root, 3000);
        QVERIFY(typing->focused());
    }

private:
    // Kelo opening in point mode; the typing client, then the target in within, clear of kelo.
    bool begin(const QString &home, QRect within)
    {
        kelo = std::make_unique<KeloRunner>(display, home);
        if (!kelo->writeSettings({ { u"startup"_s, u"3"_s }, { u"pointmode"_s, u"true"_s } })
            || !kelo->start(&why)
            || !QTest::qWaitFor([&] { return !kelo->overlayGeometry().isEmpty(); }))
            return (why = u"no overlay: "_s + why), false;
        std::mt19937 random(seed++);
        target = QRect();
        const QRect keloArea = kelo->geometry().adjusted(-40, -60, 40, 40);
        while (target.isEmpty() || target.intersects(keloArea) || !within.contains(target))
            target = QRect(
                std::uniform_int_distribution(within.left() + 30, within.right() - 50)(random),
                std::uniform_int_distribution(30, size.height() - 50)(random), 20, 20);
        small = std::make_unique<TypingTarget>(std::chrono::milliseconds {}, target);
        typing
            = std::make_unique<TypingTarget>(std::chrono::milliseconds {}, QRect(0, 0, 8192, 8192));
        // The typing client takes the focus last.
        return (small->start() && typing->start()) || (why = u"no focus"_s, false);
    }

    // The target's client saw a press and a release inside it.
    bool hit()
    {
        (void)QTest::qWaitFor([&] { return !small->pointer().filter(u"release"_s).isEmpty(); },
                              3000);
        const QStringList seen
            = small->pointer().filter(QRegularExpression(u"^(press|release) 1"_s));
        const QStringList at = seen.value(0).section(u' ', 2).split(u',');
        why = u"the target at %1,%2 saw: %3"_s.arg(target.x())
                  .arg(target.y())
                  .arg(seen.join(u", "));
        return seen.size() == 2
            && target.contains(QPoint(at.value(0).toInt(), at.value(1).toInt()));
    }

    // Where the overlay's line (dark orange) or band edges (cornflower blue) cross row/column at.
    QList<int> across(bool column, int at, unsigned long colour) const
    {
        const int n = column ? size.height() : size.width();
        XImage *x = XGetImage(display, DefaultRootWindow(display), column ? at : 0, column ? 0 : at,
                              column ? 1 : n, column ? n : 1, AllPlanes, ZPixmap);
        QList<int> centres;
        for (int i = 0, from = -1; x && i <= n; ++i) {
            const bool in
                = i < n && (XGetPixel(x, column ? 0 : i, column ? i : 0) & 0xffffff) == colour;
            if (in && from < 0)
                from = i;
            else if (!in && from >= 0)
                centres << (from + i - 1) / 2, from = -1;
        }
        if (x)
            XDestroyImage(x);
        return centres;
    }

    // On each axis a press once the band covers the target's centre, then one each time the line
    // crosses it (line, fine line); then "left click", lit as the list opens. The row and column
    // read are clear of kelo's window and of the line of x found.
    bool point()
    {
        const QPoint t = target.center();
        const int row = kelo->geometry().top() > 40 ? 8 : size.height() - 8,
                  column = t.x() < size.width() / 2 ? size.width() - 8 : 8;
        for (const bool y : { false, true }) {
            const int goal = y ? t.y() : t.x(), at = y ? column : row;
            if (!waitFor(
                    [&] {
                        const QList<int> e = across(y, at, 0x6495ed);
                        return e.size() >= 2 && e.first() < goal && goal < e.last();
                    },
                    u"the band over %1"_s.arg(goal)))
                return false;
            for (int pass = 0; pass < 2; ++pass) {
                kelo->pressEscape(60);
                QTest::qWait(150);
                int before = across(y, at, 0xff8c00).value(0, -1);
                if (!waitFor(
                        [&] {
                            const int now
                                = std::exchange(before, across(y, at, 0xff8c00).value(0, -1));
                            return now >= 0 && before >= 0 && (before - goal) * (now - goal) <= 0;
                        },
                        u"the line over %1"_s.arg(goal)))
                    return false;
            }
            kelo->pressEscape(60);
        }
        const bool there = QTest::qWaitFor([&] { return target.contains(QCursor::pos()); }, 3000);
        why = u"the pointer stopped at %1,%2"_s.arg(QCursor::pos().x()).arg(QCursor::pos().y());
        QTest::qWait(300);
        kelo->pressEscape(60);
        return there;
    }

    bool waitFor(const std::function<bool()> &done, const QString &what)
    {
        return QTest::qWaitFor(done, 15000) || (why = u"never saw "_s + what, false);
    }

    // Two RandR monitors side by side (or none); the left one takes the screen's output.
    bool split(bool on)
    {
        const Window root = DefaultRootWindow(display);
        for (const char *name : { "KELO-LEFT", "KELO-RIGHT" })
            XRRDeleteMonitor(display, root, XInternAtom(display, name, False));
        XRRScreenResources *resources = on ? XRRGetScreenResources(display, root) : nullptr;
        for (int half = 0; resources && resources->noutput > 0 && half < 2; ++half) {
            XRRMonitorInfo *m = XRRAllocateMonitor(display, half ? 0 : 1);
            if (!half)
                m->outputs[0] = resources->outputs[0];
            m->name = XInternAtom(display, half ? "KELO-RIGHT" : "KELO-LEFT", False);
            m->primary = !half;
            m->x = half * size.width() / 2;
            m->width = size.width() / 2;
            m->height = size.height();
            m->mwidth = 170, m->mheight = 270;
            XRRSetMonitor(display, root, m);
            XRRFreeMonitors(m);
        }
        if (resources)
            XRRFreeScreenResources(resources);
        int count = 0;
        XRRFreeMonitors(XRRGetMonitors(display, root, True, &count));
        return count == (on ? 2 : 1);
    }

    QString why;
    Display *display = nullptr;
    QSize size;
    unsigned seed = 0;
    QRect target;
    std::unique_ptr<KeloRunner> kelo;
    std::unique_ptr<TypingTarget> small, typing;
};

QTEST_MAIN(TestPointMode)
#include "tst_pointmode.moc"
