#include "pointsweep.h"

#include <QTest>

#include <cmath>

// Point mode's sweeps, by the clock: where the band and line are, and that a person pressing a
// reaction after the target is covered ends on it, anywhere on any desktop.
class TestPointSweep : public QObject
{
    Q_OBJECT

private slots:
    void bandMotion_data()
    {
        QTest::addColumn<QRect>("desktop");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<int>("period");
        QTest::addColumn<double>("at");
        QTest::addColumn<double>("from");
        // Rests 350 ms (at 1000 ms), then 1.2 px/ms from the pointer's side; turned back at the
        // far edge 0.6 times as fast.
        QTest::newRow("from the left")
            << QRect(0, 0, 1920, 1080) << QPoint(10, 10) << 1000 << 850. << 600.;
        QTest::newRow("from the right")
            << QRect(0, 0, 1920, 1080) << QPoint(1900, 10) << 1000 << 850. << 900.;
        QTest::newRow("half the period, twice as fast")
            << QRect(0, 0, 1920, 1080) << QPoint(10, 10) << 500 << 425. << 600.;
        QTest::newRow("turned back slower") << QRect(0, 0, 1920, 1080) << QPoint(10, 10) << 1000
                                            << 350. + 1250 + 500 << 1500. - 360;
        QTest::newRow("left screen at negative x")
            << QRect(-1280, 0, 3200, 1024) << QPoint(-1000, 10) << 1000 << 350. << -1280.;
        QTest::newRow("narrower than a band")
            << QRect(0, 0, 300, 200) << QPoint(5, 5) << 1000 << 5000. << 0.;
    }
    void bandMotion()
    {
        QFETCH(QRect, desktop);
        QFETCH(QPoint, pointer);
        QFETCH(int, period);
        QFETCH(double, at);
        QFETCH(double, from);
        PointSweep sweep;
        sweep.start(desktop, pointer, period, 1000);
        sweep.advance(1000 + at);
        QCOMPARE(sweep.stage(), int(PointSweep::BandX));
        QVERIFY2(std::abs(sweep.bandFrom() - from) < 0.5,
                 qPrintable(QString::number(sweep.bandFrom())));
        QCOMPARE(sweep.bandTo() - sweep.bandFrom(), std::min(420., double(desktop.width())));
    }

    void findsTarget_data()
    {
        QTest::addColumn<QRect>("desktop");
        QTest::addColumn<QPoint>("target");
        QTest::addColumn<double>("reaction");
        QTest::addColumn<int>("presses");
        const QRect hd(0, 0, 1920, 1080), two(-1280, -200, 3200, 1224);
        QTest::newRow("middle") << hd << QPoint(960, 540) << 150. << 6;
        QTest::newRow("top left corner") << hd << QPoint(0, 0) << 150. << 6;
        QTest::newRow("bottom right corner") << hd << QPoint(1919, 1079) << 150. << 6;
        QTest::newRow("quick person") << hd << QPoint(700, 900) << 10. << 6;
        QTest::newRow("slow person") << hd << QPoint(1500, 100) << 290. << 6;
        QTest::newRow("second screen, left and above") << two << QPoint(-1200, -150) << 150. << 6;
        QTest::newRow("second screen, far right") << two << QPoint(1900, 1000) << 150. << 6;
        // Pressed 600 ms late on each band: the lines find nothing, the band comes back.
        QTest::newRow("late on the bands") << hd << QPoint(800, 300) << -600. << 8;
    }
    // A person who presses a reaction after seeing the target covered, stepped at 16 ms frames.
    void findsTarget()
    {
        QFETCH(QRect, desktop);
        QFETCH(QPoint, target);
        QFETCH(double, reaction);
        QFETCH(int, presses);
        PointSweep sweep;
        int pressed = 0, outside = 0, stage = -1, late = reaction < 0 ? 2 : 0; // once on each axis
        sweep.start(desktop, desktop.center(), 1000, 0);
        double pressAt = -1, before = NAN, t = 0;
        for (; sweep.stage() != PointSweep::Done && t < 120000; t += 16) {
            if (pressAt >= 0 && pressAt <= t) // the line shows where it starts
                sweep.press(pressAt), pressAt = -1, ++pressed, before = sweep.line(),
                                      stage = sweep.stage();
            sweep.advance(t);
            if (sweep.stage() != stage)
                before = NAN, stage = sweep.stage();
            const double c = stage >= PointSweep::BandY ? target.y() : target.x();
            const bool band = stage == PointSweep::BandX || stage == PointSweep::BandY;
            const double line = sweep.line();
            const double lo = stage >= PointSweep::BandY ? desktop.top() : desktop.left(),
                         hi
                = lo + (stage >= PointSweep::BandY ? desktop.height() : desktop.width());
            outside += band ? sweep.bandFrom() < lo || sweep.bandTo() > hi : line < lo || line > hi;
            const bool covered = band ? c >= sweep.bandFrom() && c < sweep.bandTo()
                                      : std::abs(line - c) <= 1 || (before - c) * (line - c) < 0;
            if (pressAt < 0 && covered && stage != PointSweep::Done)
                pressAt = t + (band && late-- > 0 ? -reaction : (reaction >= 0 ? reaction : 150.));
            before = line;
        }
        QCOMPARE(sweep.stage(), int(PointSweep::Done));
        const QPoint miss = sweep.point() - target;
        QVERIFY2(std::abs(miss.x()) <= 6 && std::abs(miss.y()) <= 6,
                 qPrintable(QStringLiteral("ended at %1,%2 after %3 s")
                                .arg(sweep.point().x())
                                .arg(sweep.point().y())
                                .arg(t / 1000)));
        QVERIFY(desktop.contains(sweep.point()));
        QCOMPARE(outside, 0); // frames with the band or line off the desktop
        QCOMPARE(pressed, presses);
    }
};

QTEST_GUILESS_MAIN(TestPointSweep)
#include "tst_pointsweep.moc"
