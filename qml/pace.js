// The pace fitted to the person: how long after the wanted item lights this person's switch goes
// down, and how often a press lands on the item after it (the person then takes it back at
// once), kept per switch source; and the rule that moves the scan period after them.
// Imported by main.qml as "Pace"; names resolve in the window's scope, as in kelo.js.

// Presses kept per source, a step of the period (the slider's), presses between two steps, the
// least spare time over the high percentile (a poll and some), and how many presses make an
// estimate.
var keep = 40, step = 50, every = 4, margin = 50, enough = 12;
// Per source: reactions to ordinary items (r) and to the first item after a press (f), in ms,
// and whether each of the recent presses was late (l, 0 or 1); oldest first.
var stats = {};
// The last press, for a taking back right after it to find; the last that acted on an item, and
// the group openings since.
var last = null, lastItem = null, opens = 0;
var since = 0, unsaved = 0;

function now() {
    return wind.clock >= 0 ? wind.clock : Date.now();
}

// ---- what is kept ----

// Stored estimates: anything but lists of bounded numbers is dropped, with one line on stderr.
function load(text) {
    stats = {};
    last = lastItem = null;
    if (text === "" || text === undefined)
        return;
    let read = null;
    try {
        read = JSON.parse(text);
    } catch (e) {
        read = null;
    }
    const sound = read !== null && typeof read === "object" && !Array.isArray(read) && Object.keys(read).length <= 8
        && Object.keys(read).every(k => valid(read[k]));
    if (!sound) {
        console.warn("Kelo#: the stored pace estimates are not readable; starting afresh");
        wind.pacestats = "";
        return;
    }
    stats = read;
}

function valid(s) {
    const list = (v, low, high) => Array.isArray(v) && v.length <= keep
        && v.every(x => typeof x === "number" && x >= low && x <= high);
    return s !== null && typeof s === "object" && list(s.r, 0, 10000) && list(s.f, 0, 10000) && list(s.l, 0, 1);
}

function save() {
    unsaved = 0;
    wind.pacestats = JSON.stringify(stats);
}

function source(name) {
    const key = String(name);
    if (!stats[key]) {
        stats[key] = { r: [], f: [], l: [] };
        if (Object.keys(stats).length > 8)
            delete stats[Object.keys(stats)[0]];
    }
    return stats[key];
}

// n counts every value a list was given (a list keeps its last ones), so that a value can be
// found again; JSON leaves it out.
function push(list, v) {
    list.n = (list.n === undefined ? list.length : list.n) + 1;
    list.push(v);
    if (list.length > keep)
        list.shift();
    return list.n;
}

function indexOf(list, at) {
    return list.length - 1 - (list.n - at);
}

// ---- the estimate ----

function spare(ms) {
    return Math.max(ms + margin, ms * 1.2);
}

function quantile(list, q) {
    if (list.length === 0)
        return 0;
    const sorted = list.slice().sort((a, b) => a - b);
    return sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
}

// The person at this source: median and 90th percentile of the reactions, the same for the first
// item, the late presses' share, and how many presses these rest on.
function estimate(name) {
    const s = stats[String(name)] || { r: [], f: [], l: [] };
    const late = s.l.length ? s.l.reduce((a, b) => a + b, 0) / s.l.length : 0;
    return { median: quantile(s.r, 0.5), high: quantile(s.r, 0.9), firstHigh: quantile(s.f, 0.9),
             late: late, count: s.r.length, firstCount: s.f.length };
}

// The period the estimate asks for, on the slider's steps, within the helper's bounds: the high
// percentile and a fifth more, since timing spreads with the time itself (at least the margin).
function suggestion(e) {
    const low = Math.min(wind.pacelow, wind.pacehigh), high = Math.max(wind.pacelow, wind.pacehigh);
    const ms = Math.ceil(spare(e.high) / step) * step;
    return Math.max(low, Math.min(high, ms));
}

// ---- presses ----

// The window took a press (Kel.wav): was, what was lit when its switch went down; lit, the list
// entry then lit (-1 out of a list); step, when that item came (Kel.litStep); down, the moment.
function press(was, lit, step, down) {
    // Point mode's sweep is no scan of items.
    if (wind.pointing)
        return;
    let kind = "item";
    if (was.mov === 1 && lit >= 0 && was.selection[1] === 0)
        kind = "back";
    else if (was.mov === 0)
        kind = "open";
    else if (wind.startup === 2 && lit >= 0 && was.selection[0] === 5
             && ["erase", "undo"].indexOf(Keys.moreActions[was.selection[1] - 1]) >= 0)
        kind = "fix";
    const from = typeof wrap.pressSource === "function" ? wrap.pressSource() : "";
    pressed(from, kind, down - step.from, step.first);
}

// A press taken. kind: "open" (a group opened), "item" (an entry acted on), "back" (a list left
// by its way back) or "fix" (Undo or Erase). reaction: ms from its item lighting to the switch
// going down; first: the item was the first after the scan restarted.
function pressed(name, kind, reaction, first) {
    const s = source(name);
    let late = false;
    if (kind === "back" && last && last.kind === "open" && last.source === s)
        late = mark(last);
    else if (kind === "fix" && lastItem && opens <= 1 && lastItem.source === s)
        late = mark(lastItem);
    const sample = { kind: kind, source: s, first: first, at: 0 };
    if (kind !== "back" && kind !== "fix" && reaction >= 0 && reaction <= 10000) {
        sample.list = first ? s.f : s.r;
        sample.at = push(sample.list, Math.round(reaction));
        sample.late = push(s.l, 0);
    }
    if (kind === "open")
        opens += 1;
    else
        opens = 0;
    if (kind === "item")
        lastItem = sample;
    else if (kind !== "open")
        lastItem = null;
    last = sample;
    // Written every few presses, not at each: the estimate is rolling anyway.
    unsaved += 1;
    if (late || unsaved >= 8)
        save();
    fit(name, late);
}

// The press was late: it counts as such. Its reaction stays as measured (to the item it acted
// on): a late press says only that the person needed longer than the period, and a lapse of
// attention would otherwise pass for a slow reaction. True when it was still kept.
function mark(sample) {
    if (!sample.list)
        return false;
    const j = indexOf(sample.source.l, sample.late);
    if (j >= 0)
        sample.source.l[j] = 1;
    sample.list = null;
    return true;
}

// ---- the pace rule ----

// After each press: with the pace fitted, late presses slow the scan at once; otherwise every
// few presses one step towards what the estimate asks, faster only while few presses are late.
// With only a suggestion asked for, the suggestion follows the estimate.
function fit(name, late) {
    const e = estimate(name);
    wind.suggested = wind.suggestpace && e.count >= enough ? suggestion(e) : 0;
    if (!wind.fitpace)
        return;
    since += 1;
    const period = wind.s1v;
    const low = Math.min(wind.pacelow, wind.pacehigh), high = Math.max(wind.pacelow, wind.pacehigh);
    let next = period;
    // A lone late press among many is a lapse of attention, not a pace too fast.
    if (late && recentLate(name) >= 2) {
        next = period + step;
    } else if (late) {
        since = 0;
    } else if (since >= every && e.count >= enough) {
        const want = suggestion(e);
        if (want >= period + step)
            next = period + step;
        else if (want <= period - step && e.late <= 0.05)
            next = period - step;
        if (e.firstCount >= enough)
            fitDwell(e, next);
    }
    next = Math.max(low, Math.min(high, next));
    if (next !== period) {
        since = 0;
        setPeriod(next);
    }
}

// Late presses among the last ten at this source.
function recentLate(name) {
    const l = stats[String(name)].l;
    return l.slice(-10).reduce((a, b) => a + b, 0);
}

// The first item after a press stays lit as long as this person needs to find the scan again.
function fitDwell(e, period) {
    const want = Math.ceil(spare(e.firstHigh) / period * 10) * 10;
    const dwell = Math.max(100, Math.min(500, want));
    // In small steps, as the period.
    if (dwell > wind.firstdwell)
        wind.firstdwell = Math.min(dwell, wind.firstdwell + 10);
    else if (dwell < wind.firstdwell)
        wind.firstdwell = Math.max(dwell, wind.firstdwell - 10);
}

// A new period, shown and said as Slower and Faster show it.
function setPeriod(ms) {
    wind.s1v = ms;
    norm.s1.value = ms;
    Voice.tell(Lang.lang(137).replace("%1", ms));
}

// The helper takes the suggested period.
function takeSuggestion() {
    if (wind.suggested > 0)
        setPeriod(wind.suggested);
    wind.suggested = 0;
}

// The pace fitted or fixed, from the menu or with the switch; said as a change of period is.
function setFitted(on) {
    wind.fitpace = on;
    since = 0;
    Voice.tell(Lang.lang(on ? 182 : 183).replace("%1", wind.s1v));
}

// ---- how the scan moves ----

// Hold-to-scan: the switch held now (its press taken); a step asked for by the second switch.
var holding = false, stepping = false, heldFrom = 0;
// Point mode's sweeps run on a clock of their own that stands still while a hold-to-scan switch
// is up: the time it stood still so far, and since when it stands, -1 while it runs.
var stood = 0, standing = -1;

function sweepTime(t) {
    return t - stood - (standing >= 0 && t > standing ? t - standing : 0);
}

function stand(on) {
    const t = now();
    if (on && standing < 0) {
        standing = t;
    } else if (!on && standing >= 0) {
        stood += t - standing;
        standing = -1;
    }
}

// Two-switch scanning with a switch to step with: the switch key or the pad's step button.
function twoSwitches() {
    return wind.scanmode === 3 && (wind.switchkey !== "" || wind.stepbutton >= 0);
}

// The switch at this poll, as the scan mode reads it (Kel.poll): how long ago the press to act
// on went down, or -1 when there is none to act on.
function steer(ago) {
    // Point mode's sweeps know only holding and stepping; its click list is a list as any.
    const mode = wind.visibility === 3 || (wind.pointing === 1 && wind.scanmode !== 1 && !twoSwitches()) ? 0 : wind.scanmode;
    if (mode === 1) {
        // The press starts the motion; the release picks what is lit then.
        if (holding && !wrap.switchHeld()) {
            holding = false;
            stand(true);
            return 0;
        }
        if (!holding && ago >= 0) {
            holding = true;
            heldFrom = now() - ago;
        }
        stand(!holding);
        return -1;
    }
    holding = false;
    // Stepped, the sweeps move only with the step switch.
    stand(mode === 3 && wind.pointing === 1);
    if (ago < 0)
        return -1;
    if (mode === 3 && ["key", "step"].indexOf(wrap.pressSource()) >= 0) {
        if (wind.pointing === 1) {
            stood -= sweep.stepSlice();
            return -1;
        }
        stepping = true;
        if (popot.running)
            Kel.outerTick();
        else
            Kel.innerTick();
        stepping = false;
        return -1;
    }
    if (mode === 2 && wind.slowback === 0) {
        // The fast pass went by: the same item, then the few before it, slowly.
        wind.slowback = 4;
        return -1;
    }
    wind.slowback = 0;
    return ago;
}

// Whether a scan timer's tick moves the highlight (Kel.outerTick, Kel.innerTick): true when the
// mode took the tick itself.
function steered() {
    const mode = wind.pointing === 1 ? 0 : wind.scanmode;
    // The first step of a hold comes no sooner than half a period after it began.
    if (mode === 1)
        return !holding || now() - heldFrom < wind.s1v / 2;
    // Without a switch to step with, the scan keeps its time.
    if (mode === 3 && twoSwitches())
        return !stepping;
    if (mode === 2 && wind.slowback > 0) {
        wind.slowback -= 1;
        if (wind.slowback > 0)
            stepBack();
        return true;
    }
    return false;
}

// One item back, in the outer scan or the open list, remembered as a step forward is.
function stepBack() {
    Kel.remember();
    if (popot.running) {
        wind.tm = wind.tm > 1 ? wind.tm - 1 : 5;
        const cycle = (keyb.k0.visible ? [8] : []).concat([1, 2, 3, 4, 5, 6], keyb.p1.visible ? [7] : []);
        wind.tk = cycle[(cycle.indexOf(wind.tk) + cycle.length - 1) % cycle.length];
    } else {
        wind.ts1 = wind.ts1 > 0 ? wind.ts1 - 1 : wind.ts2;
    }
}
