// Scanning logic of the window: start-up, menus, the switch poll, the scan cycle and what a
// press does. Imported by main.qml as "Kel"; names resolve in the window's scope.

// Combos whose lists have been built, oldest first; each keeps only its current model.
var built = [];

// When the poll last accepted a press, for the repeat filter.
var lastPress = -Infinity;

// The key table follows the labels: Windows codes wherever the injector speaks them.
function eraseKey() {
    return Lang.windowsKeys() ? 8 : 51;
}

// ---- start-up and menus ----

function init() {
    lg();
    l12.checked = wind.ostart;
    l13.checked = wind.word;
    l14.checked = wind.sound;
    l15.checked = wind.increment;
    l29.checked = wind.vinput;
    vision(wind.startup);
    s1.value = wind.s1v;
    s2.value = wind.s2v;
    s3.value = wind.s3v;
    // Options stored by hand or by another version are brought into range.
    wind.ranking = [0, 1, 2, 3].indexOf(wind.ranking) >= 0 ? wind.ranking : 0;
    wind.debounce = bounded(wind.debounce, 0, 5000);
    wind.holdtime = bounded(wind.holdtime, 0, 5000);
    wind.firstdwell = bounded(wind.firstdwell, 100, 500);
    [l55, l56, l57, l80][wind.ranking].checked = true;
    l59.checked = wind.padjump;
    l81.checked = wind.learnpause;
    l82.checked = wind.likely;
    wrap.rank(wind.ranking);
    wrap.learning(!wind.learnpause);
    wrap.setHold(wind.holdtime);
    wrap.setKey(wind.switchkey, wind.grabkey);
    wind.escmode = [0, 1, 2].indexOf(wind.escmode) >= 0 ? wind.escmode : 0;
    wrap.setEscape(wind.escmode);
    // Whatever happened before the window was there is no reason to drop a word later.
    wrap.moved();
    devup();
    onScreen();
    const y = wind.y;
    wind.visible = true;
    wind.y = y;
}

function bounded(v, low, high) {
    return v >= low ? Math.min(v, high) : low;
}

// What the Escape key is: 0 a switch no application sees, 1 a switch applications see too,
// 2 an ordinary key.
function escape(mode) {
    wind.escmode = mode;
    wrap.setEscape(mode);
}

function rank(order) {
    wind.ranking = order;
    wrap.rank(order);
}

// A word the user completed: the context of the next, learned where the user chose so (the
// native side decides). With order 3 the likeliest next words show before their first letter.
function learn(word) {
    if (word !== "")
        wrap.learn(word);
    if (wind.ranking === 3 && l13.checked) {
        wind.letr = wrap.next();
        if (wind.padjump && p1.visible)
            wind.tk = 7;
    }
    likelyUpdate();
}

function pauseLearning(on) {
    wind.learnpause = on;
    wrap.learning(!on);
}

function likelyUpdate() {
    wind.likelyText = wind.likely ? wrap.letters(wind.lword) : "";
}

function now() {
    return wind.clock >= 0 ? wind.clock : Date.now();
}

function lg(i) {
    if (i !== undefined)
        Lang.lang(0, i);
    // A stored code without a label table reads as English; store it so.
    if (Lang.lang(1, wind.lang) === 0)
        wind.lang = "en";
    const codes = ["en", "fr", "es", "de"];
    const entries = [l3, l4, l5, l6];
    const n = codes.indexOf(wind.lang);
    if (n >= 0) {
        entries[n].checked = true;
        wrap.lang(n + 1);
    }
    wind.width += 1;
    wind.width -= 1;
}

// A stored place that no screen shows (a monitor gone, a smaller screen, a window left mostly
// off the edge) is brought back whole onto the screen under the window's centre, else the
// first: a one-switch user cannot drag it back.
function onScreen() {
    const screens = Qt.application.screens;
    if (screens.length === 0)
        return;
    const cx = wind.x + wind.width / 2, cy = wind.y + wind.height / 2;
    let s = screens[0];
    for (let i = 0; i < screens.length; ++i) {
        const t = screens[i];
        if (cx >= t.virtualX && cx < t.virtualX + t.width && cy >= t.virtualY && cy < t.virtualY + t.height) {
            s = t;
            break;
        }
    }
    wind.width = Math.min(wind.width, s.width);
    wind.height = Math.min(wind.height, s.height);
    wind.x = Math.max(s.virtualX, Math.min(wind.x, s.virtualX + s.width - wind.width));
    wind.y = Math.max(s.virtualY, Math.min(wind.y, s.virtualY + s.height - wind.height));
}

function vision(m) {
    if (m !== 1 && m !== 2 && m !== 3)
        m = 1;
    wind.startup = m;
    if (m === 1)
        l17.checked = true;
    else if (m === 2)
        l18.checked = true;
    else if (m === 3)
        l19.checked = true;
}

function ost() {
    if (l12.checked) {
        wind.ostart = true;
        wrap.osstart();
    } else {
        wind.ostart = false;
        wrap.osstop();
    }
}

function predict() {
    wind.word = l13.checked;
}

function bip() {
    wind.sound = l14.checked;
}

function position(p) {
    const sw = wind.sw, sh = wind.sh;
    if (p === undefined) {
        p = 2;
        if (wind.x < sw / 2 && wind.y > sh / 2)
            p = 1;
        if (wind.x > sw / 2) {
            p = 5;
            if (wind.y > sh / 2)
                p = 4;
        }
    }
    const w = wind.width, h = wind.height;
    const places = {
        1: [0, 25],
        2: [sw - w, 25],
        3: [(sw - w) / 2, (sh - h) / 2],
        4: [0, sh - h],
        5: [sw - w, sh - h]
    };
    const place = places[p];
    if (!place)
        return;
    wind.x = place[0];
    wind.y = place[1];
}

// ---- the switch poll and the scan cycle ----

function poll() {
    const cancelling = pointHold();
    wind.stick = wrap.joyesc() + wrap.keysw();
    let entry = l21.items[wind.index];
    if (!entry)
        return;
    // The chosen source may be waiting for its device: look for it as devices come and go.
    const waiting = pendingKind();
    if (entry.type === "stick" || waiting === "stick" || waiting === "any") {
        devices.sdl = wrap.joynb();
        const changed = devices.sdl !== devices.sdl2;
        devices.sdl2 = devices.sdl;
        if (changed) {
            devup();
            entry = l21.items[wind.index];
        } else if (entry.type === "stick") {
            wind.stick += wrap.joybt();
        }
    }
    if (entry.type === "webcam" || waiting === "webcam" || waiting === "any") {
        devices.cdl = wind.cameras.length;
        const changed = devices.cdl !== devices.cdl2;
        devices.cdl2 = devices.cdl;
        if (changed) {
            devup();
            entry = l21.items[wind.index];
        } else if (entry.type === "webcam") {
            wind.stick += wrap.blk();
        }
    }
    if (entry.type !== "webcam") {
        // A blink left from a camera that is not the switch now is no press.
        wrap.blk();
    }
    if ((waiting === "headset" || waiting === "any") && wrap.headnb() && !hasHeadsetEntry()) {
        devup();
        entry = l21.items[wind.index];
    }
    if (entry.type === "headset") {
        signalBar.value = wrap.strengh();
        winkBar.value = wrap.wink();
        if (bbar.width > level.width)
            wind.stick += wrap.hlk();
    }
    if (cancelling)
        wind.stick = 0;
    if (wind.stick === 0)
        return;
    // Every source alike: a press this soon after the last one taken is a bounce or a tremor.
    const t = now();
    if (wind.debounce > 0 && t - lastPress < wind.debounce) {
        wind.stick = 0;
        return;
    }
    lastPress = t;
    wav();
}

function outerTick() {
    wind.tm += 1;
    if (wind.tm > 5)
        wind.tm = 1;
    // The likeliest letters (8) come first, the pad (7) last, each while it shows.
    const cycle = (k0.visible ? [8] : []).concat([1, 2, 3, 4, 5, 6], p1.visible ? [7] : []);
    wind.tk = cycle[(cycle.indexOf(wind.tk) + 1) % cycle.length];
}

function innerTick() {
    wind.ts1 += 1;
    combot.ts3 += 1;
    if (wind.ts1 > wind.ts2)
        wind.ts1 = 0;
    if (combot.ts3 >= 2 * (wind.ts2 + 1)) {
        pointEnd();
        wclose();
        wind.mov = 0;
        popot.start();
    }
}

// Every live entry at the new position records itself: prediction texts first, then the lists
// in the order they were built, so the list built last holds the choice.
function record() {
    const n = wind.ts1;
    if (n < 0)
        return;
    if (wind.tk === 7 && n < 5) {
        wind.itext = wind.letr[n];
        wind.selection = [wind.tk, n];
    }
    const group = wind.startup === 2 ? wind.tk : wind.tm;
    for (let i = 0; i < built.length; ++i) {
        const model = built[i].model;
        if (model && n < model.count) {
            wind.itext = model.get(n).text;
            wind.selection = [group, n];
            // A list taller than the window scrolls so that the highlighted entry shows.
            if (built[i].popup.visible)
                built[i].popup.contentItem.positionViewAtIndex(n, ListView.Contain);
        }
    }
}

function wclose() {
    m3.popup.close();
    k0.popup.close();
    for (let i = 0; i < 6; ++i)
        keyGroups.itemAt(i).popup.close();
}

function combo(group) {
    return keyGroups.itemAt(group - 1);
}

// The common part of a press, then the branch of the view shown.
function wav() {
    if (wind.visibility === 3) {
        wind.visibility = 2;
        return;
    }
    const vm = wind.tm, vk = wind.tk, recorded = wind.itext, lit = wind.ts1;
    const moving = tmouse.running && tmouse.repeat;
    tmouse.stop();
    wclose();
    popot.restart();
    // A reset (a switch source chosen) leaves no closed list for the next press to act on.
    if (wind.stick === 0) {
        wind.mov = 0;
        return;
    }
    if (wind.sound)
        wrap.playSound();
    if (wind.vinput)
        flash.restart();
    wind.stick = 0;
    if (wind.pointing) {
        pointPress(lit);
        return;
    }
    const a = wind.selection[0], b = wind.selection[1] + 1;
    if (wind.startup === 2 && vk === 8 && wind.mov === 0) {
        wind.mov = 1;
        k0.popup.open();
    } else if (wind.startup === 2) {
        // A letter of the likeliest letters types as one of the letters groups' would.
        keyboard(vk, recorded, a === 8 ? 1 : a, b);
    }
    else if (wind.startup === 3)
        pointer(vm, b, moving);
    else
        vision(2); // the settings view is no dead end: the switch alone reaches the keyboard
}

// A view has been shown. Whatever the last one left going ends with it: a held button is let
// go, lists close, the pointer stops, and the next press is a first press.
function viewShown(m) {
    // Also a release that the pointer timer has yet to send.
    if (wind.take || (tmouse.running && wind.bm === 14))
        wrap.cursor(14);
    wind.take = 0;
    tmouse.stop();
    pointEnd();
    wclose();
    wind.mov = 0;
    wind.startup = m;
    if (m === 2)
        wind.tk = 1;
    else if (m === 3)
        wind.tm = 1;
    popot.restart();
    if (m === 3 && wind.pointmode)
        pointStart();
}

// The prediction pad has gone (its word ended, or prediction was switched off): the highlight
// leaves it, and a scan of its predictions ends, so that no press acts on what cannot be seen.
function padHidden() {
    if (wind.tk !== 7)
        return;
    wind.tk = 1;
    if (combot.running) {
        wind.mov = 0;
        popot.restart();
    }
}

// ---- keyboard panel ----

// The label list of keyboard group 1..6 in layer plan: letters, digits and signs, special keys,
// then the accents layer (three groups of accented letters, the current language's first, and
// the function keys).
function groupLabels(group, plan) {
    if (group > 4)
        return Lang.lang(42 + group);
    if (plan < 4)
        return Lang.lang(30 + group + 4 * plan);
    if (group === 4) {
        const keys = ["F1-12"];
        for (let i = 1; i <= 12; ++i)
            keys.push("F" + i);
        return keys;
    }
    const letters = Lang.accents(wind.lang).slice((group - 1) * 8, group * 8);
    return [letters[0] + "-" + letters[letters.length - 1]].concat(letters);
}

function isLetter(c) {
    return c.toLowerCase() !== c.toUpperCase();
}

// A character as it lands under the armed modifier: Shift and Caps give the capital where there
// is a single one.
function shown(c, armed) {
    const upper = c.toUpperCase();
    return armed >= 4 && upper.length === 1 ? upper : c;
}

// A prediction as it is typed after the letters typed: capitals typed stay capitals, a word
// typed in capitals (two letters or more) is typed in capitals, and so is everything under Caps.
function cased(typed, word) {
    if (!word)
        return "";
    if (wind.armed >= 5 || (typed.length >= 2 && typed === typed.toUpperCase() && typed !== typed.toLowerCase()))
        return word.toUpperCase().length === word.length ? word.toUpperCase() : word;
    let out = "";
    for (let i = 0; i < word.length; ++i)
        out += i < typed.length ? shown(word[i], typed[i] !== typed[i].toLowerCase() ? 4 : 0) : word[i];
    return out;
}

// The word being typed has moved on: its predictions follow it.
function follow(word) {
    wind.lword = word;
    wind.letr = word !== "" ? wrap.t9(word.toLowerCase()) : ["", "", "", "", ""];
}

function title(t) {
    return t[0];
}

function content(c) {
    return c.slice(1);
}

function clist(c) {
    return c.length - 2;
}

// A fresh list model for label list a; the one it replaces is destroyed with its entries.
function mod(a, z) {
    const model = Qt.createQmlObject("import QtQuick; import QtQml.Models; ObjectModel{}", z);
    const entries = content(a);
    // Entries belong in the list's view, which is where the model shows them.
    const view = z.popup.contentItem;
    let widest = 0;
    for (let i = 0; i < entries.length; ++i) {
        const entry = entryComponent.createObject(view, { text: entries[i], index: i, list: view });
        widest = Math.max(widest, entry.implicitWidth);
        model.append(entry);
    }
    z.widest = widest;
    const old = z.model;
    const at = built.indexOf(z);
    if (at >= 0)
        built.splice(at, 1);
    built.push(z);
    z.model = model;
    if (old && typeof old.destroy === "function") {
        for (let i = 0; i < old.count; ++i)
            old.get(i).destroy();
        old.destroy();
    }
    return model;
}

function openList(z, labels) {
    mod(labels, z);
    wind.ts2 = clist(labels);
    combot.restart();
}

function del(l) {
    for (let i = 0; i < l.length; ++i)
        wrap.keyb(eraseKey());
}

function keyCode(a, b) {
    if (Lang.windowsKeys()) {
        if (wind.plan === 4)
            return a === 4 ? 111 + b : 0; // F1..F12
        if (a === 1)
            return [46, 8, 13, 17, 14, 18][b - 1];
        if (a === 2)
            return [9, 16, 20, 91, 27][b - 1];
        if (a === 3)
            return b === 7 ? 36 : b === 8 ? 35 : b > 4 ? 28 + b : 36 + b; // HOME, END after the rest
        if (a === 4)
            return 172 + b;
        return 0;
    }
    const table = wind.plan === 4 ? { 4: [122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111] } : {
        1: [117, 51, 36, 17, 14, 18],
        2: [48, 16, 20, 55, 53],
        3: [123, 126, 124, 125, 116, 121, 115, 119],
        4: [74, 73, 72, 101, 98, 100, 100]
    };
    return table[a] ? table[a][b - 1] : 0;
}

// A modifier chosen again is cancelled; another takes the place of the one armed. Caps stays
// until chosen again.
function arm(mode) {
    if (wind.armed === mode) {
        wrap.modif(0);
    } else {
        if (mode === 5 && wind.armed !== 0)
            wrap.modif(0);
        wrap.modif(mode);
    }
}

function send(code) {
    if (code === (Lang.windowsKeys() ? 13 : 36))
        wrap.sentence(); // Enter
    if (code === 14)
        wrap.special(14);
    else if (code === 20)
        arm(5);
    else if (code === 16)
        arm(4);
    else if (code === 17)
        arm(1);
    else if (code === 18)
        arm(3);
    if (code === 174 || code === 175) {
        for (let i = 0; i < 4; ++i)
            wrap.keyb(code);
    }
    if (code > 0 && (code < 14 || code > 18) && code !== 20)
        wrap.keyb(code);
}

function keyboard(vk, recorded, a, b) {
    if (wind.mov === 0) {
        wind.mov = 1;
        if (vk >= 1 && vk <= 6)
            combo(vk).popup.open();
        else if (vk === 7) {
            wind.ts2 = 4;
            combot.restart();
        }
        return;
    }
    // The caret has left the word (a click, another window): the word and its predictions end,
    // and nothing is erased or completed where the letters no longer are.
    if (wrap.moved()) {
        wind.lastword = "";
        follow("");
        wrap.sentence();
        if (a === 7) {
            wind.mov = 0;
            return;
        }
    }
    // The letters of the current word as they show, which a chosen prediction replaces, the
    // word a prediction completed just before, and the modifier armed for this key.
    const typed = wind.lword, last = wind.lastword, armed = wind.armed;
    const w = a !== 7 ? wind.lword : wind.letr[b - 1];
    // A layer, a modifier, pause or a move of the window types nothing: the word stays.
    const keep = a === 6 ? b !== 5 : wind.plan === 3 && [16, 17, 18, 20].indexOf(keyCode(a, b)) >= 0;
    if (!keep) {
        wind.letr = ["", "", "", "", ""];
        wind.lword = "";
        wind.lastword = "";
    }
    const chord = armed === 1 || armed === 3;
    if (a < 5 && (wind.plan < 3 || (wind.plan === 4 && a < 4))) {
        wrap.text(recorded);
        if ((wind.plan === 1 || wind.plan === 4) && isLetter(recorded) && !chord) {
            follow(w + shown(recorded, armed));
            // The predictions are the likeliest next choice; left alone, the scan goes on at 1.
            if (wind.padjump && p1.visible)
                wind.tk = 7;
        }
    }
    if (wind.plan === 3 || (wind.plan === 4 && a === 4)) {
        const code = keyCode(a, b);
        if (code !== undefined)
            send(code);
    }
    if (a === 6) {
        if ((b >= 1 && b <= 3) || b === 7) {
            wind.plan = b === 7 ? 4 : b;
        } else if (b === 4) {
            wind.visibility = 3;
        } else if (b === 5) {
            vision(3);
            wind.mov = 0;
            return;
        } else if (b === 6) {
            position();
        }
    }
    if (a === 5) {
        if (b === 1) {
            wrap.keyb(32);
            learn(typed.toLowerCase());
        } else if (b === 2) {
            wrap.keyb(eraseKey());
            // The word follows its last letter going; right after a completed word, the space
            // goes and the word is back. With Ctrl or Alt the key did more than that.
            if (!chord)
                follow(typed !== "" ? typed.slice(0, -1) : /^\S+ $/.test(last) ? last.slice(0, -1) : "");
        } else if (b === 3)
            wrap.keyb(188);
        else if (b === 4) {
            wrap.keyb(110);
            wrap.sentence();
        }
        else if (b === 5)
            del(typed !== "" ? typed : last);
    }
    if (a === 7) {
        del(typed);
        const word = cased(typed, w);
        wrap.text(word + " ");
        learn(w);
        wind.lastword = word + " ";
    }
    wind.armed = wrap.modifier();
    wind.mov = 0;
}

// ---- mouse panel ----

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
            m3.popup.open();
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
        position();
    else if (b === 6)
        wind.visibility = 3;
    else if (b === 7)
        vision(2);
    else if (b === 8)
        pointStart();
}

// ---- point mode ----

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
    sweep.start(area, wrap.pointer(), wind.s1v, now());
    wind.pointing = 1;
}

function pointEnd() {
    if (!wind.pointing)
        return;
    wind.pointing = 0;
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

// A press while pointing: the sweeps take it until the point is found; then the click list,
// whose entry lit is lit.
function pointPress(lit) {
    if (wind.pointing === 1) {
        sweep.press(now());
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

// A switch held down a second (or the hold option's time and most of a second more) cancels
// point mode; the release that ends such a hold is no press.
var holdCancelled = false;

function pointHold() {
    const ms = wrap.held();
    if (ms <= 0) {
        holdCancelled = false;
        return false;
    }
    if (!holdCancelled && wind.pointing && ms >= Math.max(1000, wind.holdtime + 800)) {
        holdCancelled = true;
        pointCancel();
    }
    return holdCancelled;
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

// ---- the Devices menu ----

// The chosen source is kept by kind and name ("stick:Pad", "webcam:/dev/video0", "headset",
// "none"), so it is found again whatever position it comes at; an older store that holds only
// a position reads as "#" and that position until its entry shows up.
function sourceKey(entry) {
    if (entry.type === "webcam")
        return "webcam:" + entry.devid;
    if (entry.type === "stick")
        return "stick:" + entry.text;
    return entry.type;
}

// The kind of device the user's choice waits for, or "" when it is in use or none was made.
function pendingKind() {
    if (wind.source === "" || wind.source === wind.active)
        return "";
    if (wind.source.charAt(0) === "#")
        return wind.source === "#0" ? "" : "any";
    return wind.source.split(":")[0];
}

// The position of the entry that the user's choice names, or -1 while its device is absent.
function chosenPosition() {
    const entries = l21.items;
    if (wind.source === "")
        wind.source = wind.index >= 0 && wind.index < entries.length ? sourceKey(entries[wind.index]) : "#" + wind.index;
    if (wind.source.charAt(0) === "#") {
        const at = Number(wind.source.substring(1));
        if (!(at >= 0 && at < entries.length))
            return -1;
        wind.source = sourceKey(entries[at]);
        return at;
    }
    // Of two pads with one name, the one at the stored position first.
    if (wind.index < entries.length && sourceKey(entries[wind.index]) === wind.source)
        return wind.index;
    for (let i = 0; i < entries.length; ++i) {
        if (sourceKey(entries[i]) === wind.source)
            return i;
    }
    return -1;
}

function hasHeadsetEntry() {
    const entries = l21.items;
    return entries.length > 0 && entries[entries.length - 1].type === "headset";
}

// Listing the cameras starts the media back end's device monitor, so it waits till the menu
// opens, unless the stored choice may be a camera or a position that cameras shift.
function camerasNeeded() {
    const s = wind.source;
    if (s === "")
        return wind.index !== 0;
    if (s.charAt(0) === "#")
        return s !== "#0";
    if (s.startsWith("webcam:"))
        return true;
    // Of two pads with one name the stored position tells which.
    let named = 0;
    for (let a = 0; s.startsWith("stick:") && a < wrap.joynb(); ++a)
        named += "stick:" + wrap.joynm(a) === s ? 1 : 0;
    return named > 1;
}

function showDevices() {
    cameraList.active = true;
    devup();
}

function devup() {
    if (!cameraList.active && camerasNeeded())
        cameraList.active = true;
    while (l21.items.length > 1) {
        const entry = l21.items[1];
        l21.removeItem(entry);
        entry.destroy();
    }
    const cameras = wind.cameras;
    wind.cam = cameras.length;
    for (let i = 0; i < wind.cam; ++i) {
        const description = cameras[i].description;
        const text = description !== "" ? description : "camera " + i;
        l21.addItem(cameraEntry.createObject(l21, {
            dex: l21.items.length,
            camn: i,
            text: text,
            devid: cameras[i].id ? String(cameras[i].id) : text
        }));
    }
    for (let a = 0; a < wrap.joynb(); ++a)
        l21.addItem(stickEntry.createObject(l21, { dex: l21.items.length, nm: a, text: wrap.joynm(a) }));
    if (wrap.headnb())
        l21.addItem(headsetEntry.createObject(l21, { dex: l21.items.length }));
    devices.sdl2 = wrap.joynb();
    devices.cdl2 = wind.cam;

    // While the chosen device is absent the Escape key alone is the switch, and the choice
    // is kept for when it comes back.
    const at = chosenPosition();
    const target = at >= 0 ? l21.items[at] : l33;
    target.checked = true;
    if (sourceKey(target) !== wind.active) {
        const source = wind.source;
        target.triggered();
        wind.source = source;
    } else {
        wind.index = target.dex;
        if (target.type === "stick")
            wrap.setjoy(target.nm);
    }
}

function inup(m) {
    const entry = l21.items[m];
    if (!entry || !entry.checked)
        return;
    wav();
    wind.index = m;
    wind.source = sourceKey(entry);
    wind.active = wind.source;
    const t = entry.type;
    wrap.coff();
    // Blinks collected before this choice are not presses of the new source.
    wrap.blk();
    webcam.visible = t === "webcam";
    if (t === "webcam")
        wrap.con(entry.camn);
    winkBar.visible = t === "headset";
    signalBar.visible = t === "headset";
    for (let i = 0; i < l21.items.length; ++i) {
        if (i !== m)
            l21.items[i].checked = false;
    }
    l21.close();
}

function inname() {
    return l21.items[wind.index].text;
}
