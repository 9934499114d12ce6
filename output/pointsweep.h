#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <vector>

// Point mode's sweeps: finds a point of the desktop with a few presses of one switch. On each
// axis in turn (x, then y) a wide band sweeps across the desktop; a press stops it and a thin
// line sweeps back inside it from the edge the target came in by; a press makes the line turn
// back slowly for the fine stop; a press fixes the coordinate. A pass that ends with no press
// turns back and goes slower. Driven by a clock the caller passes in (ms), so the window and the
// benchmark run the same code; speeds follow the scan period.
class PointSweep : public QObject
{
    Q_OBJECT
    // 0 idle; 1 band, 2 line, 3 fine line on x; 4, 5, 6 the same on y; 7 done (point holds it).
    Q_PROPERTY(int stage READ stage NOTIFY changed)
    // The band on the axis swept, in desktop coordinates: [bandFrom, bandTo).
    Q_PROPERTY(double bandFrom READ bandFrom NOTIFY changed)
    Q_PROPERTY(double bandTo READ bandTo NOTIFY changed)
    // The line's position on that axis (line and fine stages).
    Q_PROPERTY(double line READ line NOTIFY changed)
    // x once fixed, and y once done.
    Q_PROPERTY(QPoint point READ point NOTIFY changed)
    Q_PROPERTY(QRect desktop READ desktop NOTIFY changed)
    // Moved by a step switch (the caller's clock stands between steps): a press is taken where
    // things show, with no allowance for a reaction, and the band does not rest first.
    Q_PROPERTY(bool stepped MEMBER stepped)

public:
    enum Stage { Idle, BandX, LineX, FineX, BandY, LineY, FineY, Done };

    // At a 1000 ms scan period, in pixels a second (see scaled(); the fine line's, held()).
    static constexpr double bandSpeedX = 1200, bandSpeedY = 800, lineSpeed = 220, fineSpeed = 40;
    // Reaction times in seconds (see held()): the band's width in travel (a press within it still
    // finds the target inside), how far back the fine line looks, and the reaction allowed for on
    // the fine stop.
    static constexpr double bandSeconds = 0.35, fineSeconds = 0.4, reactionSeconds = 0.15;
    // Each pass that ends without a press turns back this much slower, down to slowest.
    static constexpr double slower = 0.6, slowest = 0.36;
    // Passes without a press before a line gives way to the stage before it.
    static constexpr int passesBeforeFallback = 2;

    using QObject::QObject;

    int stage() const { return current; }
    double bandFrom() const { return band; }
    double bandTo() const { return band + bandWidth; }
    double line() const { return position; }
    QPoint point() const { return fixed; }
    QRect desktop() const { return area; }

    // Starts on the x axis over desktop; the first passes on each axis run from the edge nearer
    // pointer, where a nearby target is met first.
    Q_INVOKABLE void start(const QRect &desktop, const QPoint &pointer, int periodMs, double now);
    // Moves everything to the time now (never backwards).
    Q_INVOKABLE void advance(double now);
    // A switch press at now: stops the band, turns the line, or fixes a coordinate. Taken for
    // where things stood at down, when its switch went down (no earlier than the stage's start).
    Q_INVOKABLE void press(double now, double down);
    Q_INVOKABLE void press(double now) { press(now, now); }
    Q_INVOKABLE void stop();
    // How far (ms of the sweep's clock) one step moves it: at 1000 ms and slower, a band crosses
    // a 1280 px screen in about six steps and the line its band in about fifteen, few enough to
    // get through and fine enough that the wanted point is not stepped over.
    Q_INVOKABLE double stepSlice() const { return held(1) / 8; }

signals:
    void changed();
    // The point is found (stage Done).
    void found(const QPoint &point);

private:
    bool vertical() const { return current >= BandY; }
    double low() const { return vertical() ? area.top() : area.left(); }
    double high() const
    {
        return vertical() ? area.top() + area.height() : area.left() + area.width();
    }
    // Speeds follow the period; below 1000 ms only by its square root, since a quicker scan does
    // not make the hand quicker and a faster sweep would just be stopped further off.
    double scaled(double pixelsPerSecond) const
    {
        return pixelsPerSecond / (period < 1000 ? std::sqrt(period * 1000) : period);
    }
    // A reaction lasts as long at a period shorter than 1000 ms (a quick scan does not make the
    // hand quicker), and longer at a slower one.
    double held(double seconds) const { return seconds * std::max(period, 1000.0); }
    void beginBand(double now);
    void beginPass(double from, double lo, double hi, int dir, double speed, double now);
    void fallBack(double at, double now);
    void remember(bool turn);
    void rewind(double to);

    QRect area;
    QPoint pointer;
    QPoint fixed;
    int current = Idle;
    double period = 1000; // ms
    bool stepped = false;
    double clock = 0;
    // The moving thing of the stage: the band's low edge, or the line. It moves from origin at
    // speed (px/ms) in dir between lo and hi, since start.
    double origin = 0, speed = 0, lo = 0, hi = 0, start0 = 0;
    int dir = 1, passes = 0;
    double position = 0, band = 0, bandWidth = 0;
    int bandDir = 1, lineDir = -1;
    double baseSpeed = 0;
    // When and where the last pass turned back.
    double turnedAt = -1e300, turnPoint = 0;
    // The passes of the stage so far, latest last, for a press taken where things stood earlier.
    struct Pass
    {
        double start, origin, speed;
        int dir;
        bool turn;
    };
    std::vector<Pass> passLog;
};
