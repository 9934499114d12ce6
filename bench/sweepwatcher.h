#pragma once

#include "pointsweep.h"

#include <QPointF>

#include <cmath>
#include <functional>

// A person watching point mode's sweeps at the window's 16 ms frames, pressing a reaction after
// seeing the band cover the target, or the line on it or across it since the last frame. The
// benchmark times it; the sweep's test checks where it ends.
struct SweepWatcher
{
    static constexpr int frameMs = 16;
    std::function<double(bool band)> react; // ms from seeing the target covered to the press
    int presses = 0;
    int offDesktop = 0; // frames with the band or line outside the desktop

    // Runs a started sweep from 0 ms until the point is found (ten minutes at most); returns the
    // time after the last frame.
    double find(PointSweep &sweep, QPointF target)
    {
        const QRect d = sweep.desktop();
        double pressAt = -1, before = NAN, t = 0;
        int stage = sweep.stage();
        for (; sweep.stage() != PointSweep::Done && t < 600000; t += frameMs) {
            if (pressAt >= 0 && pressAt <= t) {
                sweep.press(pressAt);
                ++presses;
                pressAt = -1;
                before = sweep.line(); // where a new line shows first
                stage = sweep.stage();
            }
            sweep.advance(t);
            if (sweep.stage() != stage)
                before = NAN, stage = sweep.stage();
            const bool y = stage >= PointSweep::BandY,
                       band = stage == PointSweep::BandX || stage == PointSweep::BandY;
            const double c = y ? target.y() : target.x(), line = sweep.line();
            const double lo = y ? d.top() : d.left(), hi = lo + (y ? d.height() : d.width());
            offDesktop += band ? sweep.bandFrom() < lo || sweep.bandTo() > hi : line < lo || line > hi;
            const bool covered = band ? c >= sweep.bandFrom() && c < sweep.bandTo()
                                      : std::abs(line - c) <= 1 || (before - c) * (line - c) < 0;
            if (pressAt < 0 && covered && stage != PointSweep::Done)
                pressAt = t + react(band);
            before = line;
        }
        return t;
    }
};
