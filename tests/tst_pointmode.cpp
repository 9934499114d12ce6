#include "kelorunner.h"
#include "typingtarget.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <random>

using namespace Qt::StringLiterals;

// Point mode in the real program, worked with Escape alone by a person who watches the screen,
// on a screen split by RandR in two monitors: the overlay covers both; a 20 x 20 window of another
// client at a random spot on the second, clear of kelo, gets the click; point mode goes on; the
// typing client, started last, keeps the focus.
class TestPointMode : public QObject
{
    Q_OBJECT

private slots:
    void clicksTarget()
    {
        QVERIFY2((display = KeloRunner::openDisplay(&why)), qPrintable(why));
        size = QSize(DisplayWidth(display, 0), DisplayHeight(display, 0));
        const unsigned seed
            = qEnvironmentVariable("KELO_SEED", QString::number(std::random_device {}())).toUInt();
        std::printf("point mode: KELO_SEED=%u\n", seed);
        const auto whole = qScopeGuard([this] { split(false); });
        QVERIFY2(split(true), "the display cannot be split into two RandR monitors");
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 2, 5000);
        QTemporaryDir home;
        const QRect root(QPoint(), size);
        kelo = std::make_unique<KeloRunner>(display, home.path());
        QVERIFY(kelo->writeSettings({ { u"startup"_s, u"3"_s }, { u"pointmode"_s, u"true"_s } }));
        QVERIFY2(kelo->start(&why), qPrintable(why));
        QTRY_COMPARE(kelo->overlayGeometry(), root);
        std::mt19937 random(seed);
        const QRect keloArea = kelo->geometry().adjusted(-40, -60, 40, 40);
        QRect target;
        while (target.isEmpty() || target.intersects(keloArea)) // kelo may be on either monitor
            target = QRect(
                std::uniform_int_distribution(size.width() / 2 + 30, size.width() - 50)(random),
                std::uniform_int_distribution(30, size.height() - 50)(random), 20, 20);
        TypingTarget small({}, target), typing({}, QRect(0, 0, 8192, 8192));
        QVERIFY(small.start() && typing.start());
        // On each axis a press once the band covers the target's centre, then one each time the
        // line crosses it (line, fine line), read on the top row and the left column: clear of
        // kelo and of the line of x found.
        const QPoint t = target.center();
        for (int stage = 0; stage < 6; ++stage) {
            const bool y = stage >= 3, band = stage % 3 == 0;
            const int goal = y ? t.y() : t.x();
            int before = -1;
            const auto over = [&] {
                const auto [first, last] = across(y, 8, band ? 0x6495ed : 0xff8c00);
                if (band)
                    return first >= 0 && first < goal && goal < last;
                const int now = std::exchange(before, first);
                return now >= 0 && before >= 0 && (before - goal) * (now - goal) <= 0;
            };
            QVERIFY2(QTest::qWaitFor(over, 15000),
                     band ? "no band over the target" : "no line on it");
            kelo->pressEscape(60); // and watched at once: a line may start just by the target
        }
        // Then "left click", lit as the list opens: a press and a release in the target's client
        // (the typing client, under the rest, gets a click that misses).
        QTest::qWait(300);
        kelo->pressEscape(60);
        const QRegularExpression click(u"^(press|release) 1 "_s);
        QTRY_VERIFY2(small.pointer().filter(click).size() == 2,
                     qPrintable(u"the click: %1; kelo at %2,%3"_s
                                    .arg(typing.pointer().filter(click).join(u", "))
                                    .arg(kelo->geometry().x())
                                    .arg(kelo->geometry().y())));
        QTRY_COMPARE_WITH_TIMEOUT(kelo->overlayGeometry(), root, 3000);
        QVERIFY(typing.focused());
    }

private:
    // The first and last pixel of a colour on a row or column (-1 if none): the band's edges
    // (cornflower blue) or the line (dark orange).
    std::pair<int, int> across(bool column, int at, unsigned long colour) const
    {
        const int n = column ? size.height() : size.width();
        XImage *x = XGetImage(display, DefaultRootWindow(display), column ? at : 0, column ? 0 : at,
                              column ? 1 : n, column ? n : 1, AllPlanes, ZPixmap);
        int first = -1, last = -1;
        for (int i = 0; x && i < n; ++i) {
            if ((XGetPixel(x, column ? 0 : i, column ? i : 0) & 0xffffff) == colour)
                first = first < 0 ? i : first, last = i;
        }
        if (x)
            XDestroyImage(x);
        return { first, last };
    }

    // Two RandR monitors side by side, the left one primary (or none).
    bool split(bool on) const
    {
        QString script = u"exec >/dev/null 2>&1; xrandr --delmonitor KELO-LEFT; "
                         "xrandr --delmonitor KELO-RIGHT; true"_s;
        if (on)
            script += u" && xrandr --setmonitor '*KELO-LEFT' %1/170x%2/270+0+0 screen "
                      "--setmonitor KELO-RIGHT %1/170x%2/270+%1+0 none"_s.arg(size.width() / 2)
                          .arg(size.height());
        return QProcess::execute(u"sh"_s, { u"-c"_s, script }) == 0;
    }

    QString why;
    Display *display = nullptr;
    QSize size;
    std::unique_ptr<KeloRunner> kelo;
};

QTEST_MAIN(TestPointMode)
#include "tst_pointmode.moc"
