#include "sweepwatcher.h"

#include <QTest>

#include <cmath>

// Point mode's sweeps, by the clock: where the band is, and where a person watching them ends.
class TestPointSweep : public QObject
{
    Q_OBJECT

private slots:
    void bandMotion()
    {
        // Desktop, pointer, period, ms after the rest (a 350 ms reaction, longer at a slower
        // period), the band's low edge and width (what a reaction carries it).
        const struct { QRect desktop; QPoint pointer; int period; double at, from, width; } rows[] = {
            { QRect(0, 0, 1920, 1080), { 1900, 10 }, 1000, 500, 900, 420 }, // 1.2 px/ms from the pointer's side
            { QRect(0, 0, 1920, 1080), { 10, 10 }, 2000, 500, 300, 420 }, // twice the period, half as fast
            { QRect(0, 0, 1920, 1080), { 10, 10 }, 500, 250, 424.26, 593.97 }, // half: only √2 as fast
            { QRect(0, 0, 1920, 1080), { 10, 10 }, 1000, 1750, 1140, 420 }, // turned back 0.6 as fast
            { QRect(0, 0, 300, 200), { 5, 5 }, 1000, 5000, 0, 300 }, // narrower than a band: still
        };
        for (const auto &r : rows) {
            PointSweep sweep;
            sweep.start(r.desktop, r.pointer, r.period, 1000);
            sweep.advance(1000 + std::max(r.period, 1000) * 0.35 + r.at);
            const double from = sweep.bandFrom(), width = sweep.bandTo() - from;
            QVERIFY2(std::abs(from - r.from) < 0.5 && std::abs(width - r.width) < 0.5,
                     qPrintable(QStringLiteral("from %1, %2 wide").arg(from).arg(width)));
        }
    }

    // Stepped, the band sets off at once and a press fixes the line where it shows: at 1.2 px/ms
    // the band is at 600 after 500 ms; the line goes back from its lead edge (1020) at 0.22 px/ms
    // to 910, and the fine line on from there at 0.04 px/ms to 930.
    void stepped()
    {
        PointSweep sweep;
        sweep.setProperty("stepped", true);
        sweep.start(QRect(0, 0, 1920, 1080), { 10, 10 }, 1000, 0);
        for (const double t : { 500, 1000, 1500 }) {
            sweep.advance(t);
            QCOMPARE(qRound(t == 500 ? sweep.bandFrom() : sweep.line()),
                     t == 500 ? 600 : t == 1000 ? 910 : 930);
            sweep.press(t);
        }
        QCOMPARE(sweep.point().x(), 930);
    }

    // Targets found by the benchmark's watcher at the window's 16 ms frames, in so many presses,
    // the band and line never off the desktop; a negative reaction is that late on each band, once.
    void findsTarget()
    {
        const QRect hd(0, 0, 1920, 1080), two(-1280, -200, 3200, 1224);
        const struct { const char *name; QRect desktop; QPoint target; double reaction; int presses, period; } rows[] = {
            { "middle", hd, { 960, 540 }, 150, 6, 1000 },
            { "top left corner", hd, { 0, 0 }, 150, 6, 1000 },
            { "bottom right corner", hd, { 1919, 1079 }, 150, 6, 1000 },
            { "quick", hd, { 700, 900 }, 10, 6, 1000 },
            { "slow", hd, { 1500, 100 }, 290, 6, 500 }, // the line twice as far past
            { "left screen, above", two, { -1200, -150 }, 150, 6, 1000 },
            { "right screen, far right", two, { 1900, 1000 }, 150, 6, 1000 },
            { "late: the band comes back", hd, { 800, 300 }, -600, 8, 1000 },
        };
        for (const auto &r : rows) {
            int late = 2;
            SweepWatcher watcher { [&](bool band) {
                return r.reaction >= 0 ? r.reaction : band && late-- > 0 ? -r.reaction : 150.;
            } };
            PointSweep sweep;
            sweep.start(r.desktop, r.desktop.center(), r.period, 0);
            watcher.find(sweep, r.target);
            const QPoint miss = sweep.point() - r.target;
            QVERIFY2(sweep.stage() == PointSweep::Done && std::abs(miss.x()) <= 6 && std::abs(miss.y()) <= 6
                         && watcher.presses == r.presses && watcher.offDesktop == 0,
                     qPrintable(QStringLiteral("%1: stage %2 at %3,%4 in %5 presses, %6 frames off")
                                    .arg(r.name).arg(sweep.stage()).arg(sweep.point().x()).arg(sweep.point().y())
                                    .arg(watcher.presses).arg(watcher.offDesktop)));
        }
    }
};

QTEST_GUILESS_MAIN(TestPointSweep)
#include "tst_pointsweep.moc"
