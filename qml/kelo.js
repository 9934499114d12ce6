// Scanning logic of the window: start-up, menus, the switch poll, the scan cycle and what a
// press does; each view's own part is in keys.js and pointing.js, the Devices menu in
// devices.js. Imported by main.qml as "Kel"; names resolve in the window's scope.

// Combos whose lists have been built, oldest first; each keeps only its current model.
var built = [];

// What was lit before each recent step of the scans, with when the step came: a press acts on
// what was lit when its switch went down. Oldest first, emptied by each press.
var litBefore = [];
// When the highlight shown now came, and whether it is the first after the scan (re)started.
var litSince = 0, litFirst = true;

// The key table follows the labels: Windows codes wherever the injector speaks them.
function eraseKey() {
    return Lang.windowsKeys() ? 8 : 51;
}

// ---- start-up and menus ----

function init() {
    lg();
    menus.l12.checked = wind.ostart;
    menus.l13.checked = wind.word;
    menus.l14.checked = wind.sound;
    menus.l15.checked = wind.increment;
    menus.l29.checked = wind.vinput;
    vision(wind.startup);
    norm.s1.value = wind.s1v;
    norm.s2.value = wind.s2v;
    norm.s3.value = wind.s3v;
    blinkMigrate();
    [menus.l55, menus.l56, menus.l57, menus.l80][wind.ranking].checked = true;
    menus.l59.checked = wind.padjump;
    menus.l81.checked = wind.learnpause;
    menus.l82.checked = wind.likely;
    wrap.rank(wind.ranking);
    wrap.learning(!wind.learnpause);
    wrap.keepPasswords(wind.passwordpause);
    wrap.setHold(wind.holdtime);
    wrap.setDebounce(wind.debounce);
    wrap.setPressDown(wind.pressdown);
    wrap.setKey(wind.switchkey, wind.grabkey);
    wrap.setStepButton(wind.stepbutton);
    wrap.setEscape(wind.escmode);
    Pace.load(wind.pacestats);
    Voice.init();
    // Whatever happened before the window was there is no reason to drop a word later.
    wrap.moved();
    Devices.devup();
    wind.problem = wrap.problem();
    wind.setup = wrap.setupCommand();
    wind.typable = wrap.canType() !== 0;
    wind.keysRead = wrap.keysReadable() !== 0;
    Place.onScreen();
    Place.sized();
    const y = wind.y;
    wind.visible = true;
    wind.y = y;
}

// The headset's threshold is a blink strength (1 to 255); earlier versions kept it as the mark's
// width in pixels (level), which stood for a strength only at the window's width stored with it.
function blinkMigrate() {
    if (!(wind.blinkstrength >= 1)) {
        const bar = wind.width * 0.25;
        wind.blinkstrength = wind.level > 0 && bar > 0 ? Math.floor(1 + 254 * wind.level / bar) : 1;
    }
    wind.blinkstrength = bounded(Math.round(wind.blinkstrength), 1, 255);
    wrap.setBlinkThreshold(wind.blinkstrength);
}

function blinkThreshold(strength) {
    wind.blinkstrength = bounded(Math.round(strength), 1, 255);
    wind.level = (wind.blinkstrength - 1) / 254 * headset.winkBar.width;
    wrap.setBlinkThreshold(wind.blinkstrength);
}

function pressDown(on) {
    wind.pressdown = on;
    wrap.setPressDown(on);
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
    if (wind.ranking === 3 && menus.l13.checked) {
        wind.letr = wrap.next();
        if (wind.padjump && keyb.p1.visible)
            wind.tk = 7;
    }
    likelyUpdate();
}

function pauseLearning(on) {
    wind.learnpause = on;
    wrap.learning(!on);
}

function keepPasswords(on) {
    wind.passwordpause = on;
    wrap.keepPasswords(on);
}

// The likeliest letters serve the words the predictions do not offer.
function likelyUpdate() {
    wind.likelyText = wind.likely ? wrap.letters(wind.lword, keyb.predictions ? wind.letr : []) : "";
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
    const entries = [menus.l3, menus.l4, menus.l5, menus.l6];
    const n = codes.indexOf(wind.lang);
    if (n >= 0) {
        entries[n].checked = true;
        wrap.lang(n + 1);
    }
    wind.width += 1;
    wind.width -= 1;
}

// "?": the help page in the browser, or, where no browser starts, where the page is and the
// command that opens it, in the window.
function help() {
    const page = wrap.helpPage(wind.lang);
    messages.helpNote = "";
    if (page.toString() !== "" && messages.opener(page))
        return;
    let path = decodeURIComponent(page.toString().replace(/^file:\/\//, ""));
    if (/^\/[A-Za-z]:/.test(path))
        path = path.substring(1);
    const open = wind.os === "windows" ? "start \"\" " : wind.os === "osx" ? "open " : "xdg-open ";
    messages.helpNote = Lang.lang(194).replace("%1", path).replace("%2", open + "\"" + path + "\"");
}

function vision(m) {
    if (m !== 1 && m !== 2 && m !== 3)
        m = 1;
    wind.startup = m;
    if (m === 1)
        menus.l17.checked = true;
    else if (m === 2)
        menus.l18.checked = true;
    else if (m === 3)
        menus.l19.checked = true;
}

// Ends Kelo#, as closing its window does.
function quit() {
    wind.close();
    Qt.quit();
}

function ost() {
    if (menus.l12.checked) {
        wind.ostart = true;
        wrap.osstart();
    } else {
        wind.ostart = false;
        wrap.osstop();
    }
}

function predict() {
    wind.word = menus.l13.checked;
}

function bip() {
    wind.sound = menus.l14.checked;
    if (wind.sound)
        wrap.prepareSound();
}

// ---- the switch poll and the scan cycle ----

function poll() {
    let entry = menus.l21.items[wind.index];
    // The chosen source may be waiting for its device: look for it as devices come and go.
    const waiting = Devices.pendingKind();
    let from = entry ? entry.type : "";
    if (entry && (entry.type === "stick" || waiting === "stick" || waiting === "any")) {
        devices.sdl = wrap.joynb();
        const changed = devices.sdl !== devices.sdl2;
        devices.sdl2 = devices.sdl;
        if (changed) {
            Devices.devup();
            from = "";
        }
    }
    if (entry && (entry.type === "webcam" || waiting === "webcam" || waiting === "any")) {
        devices.cdl = wind.cameras.length;
        const changed = devices.cdl !== devices.cdl2;
        devices.cdl2 = devices.cdl;
        if (changed) {
            Devices.devup();
            from = "";
        }
    }
    if (entry && (waiting === "headset" || waiting === "any") && wrap.headnb() && !Devices.hasHeadsetEntry()) {
        Devices.devup();
        from = "";
    }
    entry = menus.l21.items[wind.index];
    if (entry && entry.type === "headset") {
        headset.signalBar.value = wrap.strengh();
        headset.winkBar.value = wrap.wink();
    }
    const ago = wrap.press(from);
    // While the switch key is being chosen no press counts; Escape cancels.
    if (Voice.capturing(ago >= 0) || !entry)
        return;
    if (ago === -2)
        Pointing.pointCancel();
    // The scan mode reads the switch first: a hold, a release, a step.
    const act = Pace.steer(ago);
    if (act < 0)
        return;
    wind.stick = 1;
    wav(act);
}

// The state a press acts on, as it stands now.
function litNow() {
    return { tm: wind.tm, tk: wind.tk, ts1: wind.ts1, itext: wind.itext, selection: wind.selection, mov: wind.mov, quitAsk: wind.quitAsk };
}

function remember() {
    litBefore.push({ from: litSince, until: now(), first: litFirst, lit: litNow() });
    litSince = now();
    litFirst = false;
    if (litBefore.length > 32)
        litBefore.shift();
}

// What was lit at time t: the state before the first step that came after t.
function litAt(t) {
    const step = litBefore.find(s => s.until > t);
    return step ? step.lit : litNow();
}

// The scan (re)started: its first item lights now.
function restarted() {
    litSince = now();
    litFirst = true;
}

// When what was lit at time t came, and whether it came first after a restart.
function litStep(t) {
    const step = litBefore.find(s => s.until > t);
    return step ? { from: step.from, first: step.first } : { from: litSince, first: litFirst };
}

function outerTick() {
    if (Pace.steered())
        return;
    remember();
    wind.tm += 1;
    if (wind.tm > 5)
        wind.tm = 1;
    // The likeliest letters (8) come first, the pad (7) last, each while it shows.
    const cycle = (keyb.k0.visible ? [8] : []).concat([1, 2, 3, 4, 5, 6], keyb.p1.visible ? [7] : []);
    wind.tk = cycle[(cycle.indexOf(wind.tk) + 1) % cycle.length];
}

function innerTick() {
    if (Pace.steered())
        return;
    remember();
    wind.ts1 += 1;
    combot.ts3 += 1;
    if (wind.ts1 > wind.ts2)
        wind.ts1 = 0;
    if (combot.ts3 >= 2 * (wind.ts2 + 1)) {
        Pointing.pointEnd();
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
    // The prediction row: its five predictions and the way back (the pad itself).
    if (wind.tk === 7 && n <= 5) {
        const b = Keys.entryAt(n, 5);
        wind.itext = b > 0 ? wind.letr[b - 1] : "";
        wind.selection = [wind.tk, b];
    }
    const group = wind.startup === 2 ? wind.tk : wind.tm;
    for (let i = 0; i < built.length; ++i) {
        const model = built[i].model;
        if (model && n < model.count) {
            wind.itext = model.get(n).text;
            wind.selection = [group, Keys.entryAt(n, model.count - 1)];
            // A list taller than the window scrolls so that the highlighted entry shows.
            if (built[i].popup.visible)
                built[i].popup.contentItem.positionViewAtIndex(n, ListView.Contain);
        }
    }
}

function wclose() {
    mous.m3.popup.close();
    keyb.k0.popup.close();
    for (let i = 0; i < 6; ++i)
        keyb.keyGroups.itemAt(i).popup.close();
}

function combo(group) {
    return keyb.keyGroups.itemAt(group - 1);
}

// The common part of a press, then the branch of the view shown.
// ago: how long ago (ms) the press's switch went down; what was lit then is what it acts on.
function wav(ago) {
    if (wind.visibility === 3) {
        wind.visibility = 2;
        return;
    }
    const down = now() - (ago || 0), was = litAt(down), step = litStep(down);
    litBefore = [];
    const vm = was.tm, vk = was.tk, recorded = was.itext, lit = was.ts1;
    const moving = mous.moving;
    tmouse.stop();
    wclose();
    popot.restart();
    wind.mov = was.mov;
    // A reset (a switch source chosen) leaves no closed list for the next press to act on.
    if (wind.stick === 0) {
        wind.mov = 0;
        return;
    }
    if (wind.sound)
        wrap.playSound();
    if (wind.vinput)
        input.light();
    wind.stick = 0;
    Pace.press(was, lit, step, down);
    if (wind.pointing) {
        Pointing.pointPress(lit, down);
        return;
    }
    // Out of a list, restarting the scan has recorded its own choice, as the first press expects.
    // b counts a list's entries from 1, the way back being 0.
    const selection = lit >= 0 ? was.selection : wind.selection;
    // The way back of an open list: the list closes, and the outer scan goes on from the group it
    // belongs to.
    if (was.mov === 1 && lit >= 0 && selection[1] === 0) {
        wind.mov = 0;
        return;
    }
    // KeyB's "close Kelo#" asks first: only its one entry closes.
    if (was.quitAsk) {
        wind.mov = 0;
        if (lit >= 0 && selection[1] === 1)
            quit();
        return;
    }
    const a = selection[0], b = selection[1];
    if (wind.startup === 2 && vk === 8 && wind.mov === 0) {
        wind.mov = 1;
        keyb.k0.popup.open();
    } else if (wind.startup === 2) {
        // A letter of the likeliest letters types as one of the letters groups' would.
        Keys.keyboard(vk, recorded, a === 8 ? 1 : a, b);
    }
    else if (wind.startup === 3)
        Pointing.pointer(vm, b, moving);
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
    Pointing.pointEnd();
    wclose();
    litBefore = [];
    wind.mov = 0;
    wind.startup = m;
    if (m === 2)
        wind.tk = 1;
    else if (m === 3)
        wind.tm = 1;
    popot.restart();
    if (m === 3 && wind.pointmode)
        Pointing.pointStart();
}

// The prediction pad has gone (its word ended, or prediction was switched off): the highlight
// leaves it for the first group of the scan (the likeliest letters, when they show), and a scan
// of its predictions ends, so that no press acts on what cannot be seen.
function padHidden() {
    if (wind.tk !== 7)
        return;
    likelyUpdate();
    wind.tk = keyb.k0.visible ? 8 : 1;
    if (combot.running) {
        wind.mov = 0;
        popot.restart();
    }
}
