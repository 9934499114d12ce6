#include "pointsweep.h"

#include <algorithm>

void PointSweep::start(const QRect &desktop, const QPoint &at, int periodMs, double now)
{
    stop();
    if (desktop.isEmpty())
        return;
    area = desktop;
    pointer = at;
    fixed = QPoint();
    // A period out of the slider's range (a hand-edited store) still gives a usable sweep.
    period = std::clamp(periodMs, 250, 5000);
    current = BandX;
    beginBand(now);
}

void PointSweep::stop()
{
    if (current == Idle)
        return;
    current = Idle;
    emit changed();
}

// The band enters whole at the edge nearer the pointer and crosses to the other one.
void PointSweep::beginBand(double now)
{
    const double length = high() - low();
    bandWidth = std::min(length, scaled(vertical() ? bandSpeedY : bandSpeedX) * held(bandSeconds));
    const double at = vertical() ? pointer.y() : pointer.x();
    const bool fromHigh = at > low() + length / 2 && at < high();
    bandDir = fromHigh ? -1 : 1;
    // It rests a moment first, so that a target it covers from the start is pressed before it
    // moves off.
    beginPass(fromHigh ? high() - bandWidth : low(), low(), high() - bandWidth, bandDir,
              scaled(vertical() ? bandSpeedY : bandSpeedX),
              now + (stepped ? 0 : held(bandSeconds)));
    clock = now;
}

void PointSweep::beginPass(double from, double lower, double upper, int direction, double pace,
                           double now)
{
    origin = from;
    lo = lower;
    hi = std::max(lower, upper);
    dir = direction;
    speed = pace;
    start0 = now;
    clock = now;
    passes = 0;
    baseSpeed = pace;
    turnedAt = -1e300;
    passLog.clear();
    remember(false);
    advance(now);
}

void PointSweep::advance(double now)
{
    if (current == Idle || current == Done)
        return;
    now = std::max(now, clock);
    double p = origin;
    for (;;) {
        p = origin + dir * speed * std::max(0.0, now - start0);
        if (hi - lo <= 0 || speed <= 0) {
            p = std::clamp(origin, lo, hi);
            break;
        }
        const double end = dir > 0 ? hi : lo;
        if ((dir > 0 && p <= hi) || (dir < 0 && p >= lo))
            break;
        // The pass ended with no press: back the other way, slower.
        const double turned = start0 + std::abs(end - origin) / speed;
        ++passes;
        const bool isBand = current == BandX || current == BandY;
        if (!isBand && passes >= passesBeforeFallback) {
            fallBack(end, turned);
            continue;
        }
        turnedAt = turned;
        turnPoint = end;
        origin = end;
        dir = -dir;
        speed = std::max(speed * slower, baseSpeed * slowest);
        start0 = turned;
        if (isBand)
            bandDir = dir;
        remember(true);
    }
    if (current == BandX || current == BandY)
        band = p;
    else
        position = p;
    clock = now;
    emit changed();
}

// A line that found nothing in two passes means the press before it came late: the stage before
// it takes over from where things stand, towards the part not yet searched.
void PointSweep::fallBack(double at, double now)
{
    --current;
    if (current == BandX || current == BandY) {
        // The band had run past the target: it comes back.
        baseSpeed = scaled(vertical() ? bandSpeedY : bandSpeedX);
        bandDir = -bandDir;
        origin = band;
        lo = low();
        hi = std::max(lo, high() - bandWidth);
        dir = bandDir;
    } else {
        // The line had run past it: it goes on the way the fine line first went.
        baseSpeed = scaled(lineSpeed);
        lo = band;
        hi = band + bandWidth;
        origin = std::clamp(at, lo, hi);
        dir = -dir;
    }
    speed = baseSpeed * slower;
    start0 = now;
    passes = 0;
    passLog.clear();
    remember(false);
}

void PointSweep::remember(bool turn)
{
    if (passLog.size() >= 16)
        passLog.erase(passLog.begin());
    passLog.push_back({ start0, origin, speed, dir, turn });
}

// Back to where the pass under way at time to stood then.
void PointSweep::rewind(double to)
{
    if (to >= clock || passLog.empty())
        return;
    auto pass = passLog.end() - 1;
    while (pass != passLog.begin() && pass->start > to)
        --pass;
    origin = pass->origin;
    speed = pass->speed;
    dir = pass->dir;
    start0 = pass->start;
    turnedAt = pass->turn ? pass->start : -1e300;
    turnPoint = pass->origin;
    passLog.erase(pass + 1, passLog.end());
    const double p = std::clamp(origin + dir * speed * std::max(0.0, to - start0), lo, hi);
    if (current == BandX || current == BandY)
        band = p, bandDir = dir;
    else
        position = p;
}

void PointSweep::press(double now, double down)
{
    advance(now);
    down = std::min(down, now);
    rewind(down);
    // A press this soon after a turn was meant for the pass that has just ended.
    if (!stepped && down - turnedAt <= held(bandSeconds) && current != FineX && current != FineY) {
        dir = -dir;
        if (current == BandX || current == BandY)
            band = turnPoint, bandDir = dir;
        else
            position = turnPoint;
    }
    switch (current) {
    case BandX:
    case BandY: {
        // The target came in by the leading edge: the line starts there and goes back.
        const double lead = bandDir > 0 ? band + bandWidth : band;
        ++current;
        beginPass(lead, band, band + bandWidth, -bandDir, scaled(lineSpeed), now);
        break;
    }
    case LineX:
    case LineY: {
        // The line has just passed the target: the fine line looks back over the reach a
        // reaction can carry it.
        const double reach = scaled(lineSpeed) * held(fineSeconds);
        const double q = position;
        ++current;
        if (dir > 0)
            beginPass(q, std::max(low(), q - reach), q, -1, fineSpeed / held(1), now);
        else
            beginPass(q, q, std::min(high() - 1, q + reach), 1, fineSpeed / held(1), now);
        break;
    }
    case FineX:
    case FineY: {
        // Where the line was a usual reaction before the press.
        const double back = position - (stepped ? 0 : dir * speed * held(reactionSeconds));
        const int at = int(std::lround(std::clamp(back, lo, hi)));
        if (current == FineX) {
            fixed.setX(std::clamp(at, area.left(), area.right()));
            current = BandY;
            beginBand(now);
        } else {
            fixed.setY(std::clamp(at, area.top(), area.bottom()));
            current = Done;
            emit changed();
            emit found(fixed);
        }
        break;
    }
    default:
        break;
    }
}
