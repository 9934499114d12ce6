// The mouse view: the arrows, the clicks and point mode's sweeps. Imported by main.qml as
// "Pointing"; names resolve in the window's scope.

// Pointer code of each arrow by its scan position (left, up, -, down, right), and of the
// centre list's three clicks by entry.
var arrowCodes = { 1: 4, 2: 1, 4: 3, 5: 2 };
var clickCodes = { 1: 10, 2: 11, 3: 12 };

// Ticks of the running direction, for the accelerating step.
var moveSteps = 0;

function mouse(m) {
    moveSteps = 0;
    wind.bm = m;
    tmouse.repeat = m < 5;
    tmouse.restart();
}

function move() {
    // Accelerating arrows: a pixel more each 40 ticks the direction runs, up to 8 a tick.
    const pixels = wind.accel && wind.bm < 5 ? Math.min(8, 1 + Math.floor(moveSteps / 40)) : 1;
    ++moveSteps;
    for (let i = 0; i < pixels; ++i)
        wrap.cursor(wind.bm);
    if (tmouse.interval > wind.s2v)
        tmouse.interval -= 1;
}

function pointer(vm, b, moving) {
    if (wind.mov === 0) {
        wind.mov = 1;
        if (arrowCodes[vm])
            mouse(arrowCodes[vm]);
        else if (vm === 3) {
            if (wind.take) {
                wind.take = 0;
                mouse(14);
                wind.mov = 0;
                return;
            }
            mous.m3.popup.open();
        }
        return;
    }
    wind.mov = 0;
    // A press that stops a motion only stops it; on the centre it also lets go of a held button.
    if (vm !== 3 || (moving && !wind.take))
        return;
    if (wind.take) {
        wind.take = 0;
        mouse(14);
        return;
    }
    if (clickCodes[b])
        mouse(clickCodes[b]);
    else if (b === 4) {
        mouse(13);
        wind.take = 1;
    } else if (b === 5)
        Place.position();
    else if (b === 6)
        wind.visibility = 3;
    else if (b === 7)
        Kel.vision(2);
    else if (b === 8)
        pointStart();
}

// The centre list: the mouse view's entries, then point mode's.
function centreList() {
    return Lang.lang(50).concat([Lang.lang(140)]);
}

// Every screen's area together, in the pointer's coordinates.
function desktop() {
    const screens = Qt.application.screens;
    let left = Infinity, top = Infinity, right = -Infinity, bottom = -Infinity;
    for (let i = 0; i < screens.length; ++i) {
        const s = screens[i];
        left = Math.min(left, s.virtualX);
        top = Math.min(top, s.virtualY);
        right = Math.max(right, s.virtualX + s.width);
        bottom = Math.max(bottom, s.virtualY + s.height);
    }
    return screens.length > 0 ? Qt.rect(left, top, right - left, bottom - top) : Qt.rect(0, 0, 0, 0);
}

// The sweeps start over the whole desktop at the speed of the scan period.
function pointStart() {
    const area = desktop();
    if (area.width <= 0 || area.height <= 0)
        return;
    wind.mov = 0;
    // Overscan's slow way back is the lists' own: the sweeps have theirs.
    wind.slowback = 0;
    // Held to scan or stepped, the sweeps wait for the switch.
    Pace.stand(wind.scanmode === 1 || Pace.twoSwitches());
    sweep.stepped = Pace.twoSwitches();
    sweep.start(area, wrap.pointer(), wind.s1v, Pace.sweepTime(Kel.now()));
    wind.pointing = 1;
    // A switch held down a second (or the hold option's time and most of a second more)
    // cancels point mode; the release that ends such a hold is no press. Holding to scan, the
    // click list's cancel is the way out.
    wrap.setHoldCancels(wind.scanmode !== 1);
}

function pointEnd() {
    if (!wind.pointing)
        return;
    wind.pointing = 0;
    wrap.setHoldCancels(false);
    sweep.stop();
}

// Cancelling lets go of a held button, so that nothing stays pressed behind the user's back.
function pointCancel() {
    if (wind.take) {
        wind.take = 0;
        wrap.cursor(14);
    }
    pointEnd();
    wind.mov = 0;
    popot.restart();
}

// A press while pointing: the sweeps take it, where they were when the switch went down (at
// down), until the point is found; then the click list, whose entry lit is lit.
function pointPress(lit, down) {
    if (wind.pointing === 1) {
        sweep.press(Pace.sweepTime(Kel.now()), Pace.sweepTime(down));
        if (sweep.stage === 7) {
            wrap.pointAt(sweep.point.x, sweep.point.y);
            wind.pointing = 2;
            wind.ts2 = 4;
            combot.restart();
        }
        return;
    }
    if (lit === 4 || lit < 0) {
        pointCancel();
        return;
    }
    // With a button held, any click ends the drag here. Sent at once, while the cross still
    // stands over the point: it goes through the overlay to the application.
    if (wind.take) {
        wind.take = 0;
        wrap.cursor(14);
    } else if (lit === 3) {
        wrap.cursor(13);
        wind.take = 1;
    } else {
        wrap.cursor([10, 11, 12][lit]);
    }
    // After a held click the sweeps find where to let go; otherwise they go on only where point
    // mode is what the mouse view opens with.
    if (wind.take || wind.pointmode)
        pointStart();
    else
        pointEnd();
}

// What the overlay draws, in its own coordinates: the band's edges, the line, the x already
// found, and the cross at the point found.
function overlayParts() {
    const area = sweep.desktop, stage = sweep.stage, parts = [];
    const vertical = stage >= 4 && stage <= 6;
    const across = (at, thick, color) => vertical
        ? { x: 0, y: at - area.y - thick / 2, w: area.width, h: thick, color: color }
        : { x: at - area.x - thick / 2, y: 0, w: thick, h: area.height, color: color };
    if (wind.pointing === 1 && stage >= 1 && stage <= 6) {
        const band = stage === 1 || stage === 4;
        parts.push(across(sweep.bandFrom, band ? 4 : 2, "cornflowerblue"));
        parts.push(across(sweep.bandTo, band ? 4 : 2, "cornflowerblue"));
        if (!band)
            parts.push(across(sweep.line, 3, "darkorange"));
        if (vertical)
            parts.push({ x: sweep.point.x - area.x, y: 0, w: 1, h: area.height, color: "cornflowerblue" });
    } else if (wind.pointing === 2) {
        const px = sweep.point.x - area.x, py = sweep.point.y - area.y;
        parts.push({ x: px - 15, y: py - 1, w: 31, h: 3, color: "darkorange" });
        parts.push({ x: px - 1, y: py - 15, w: 3, h: 31, color: "darkorange" });
    }
    return parts;
}
