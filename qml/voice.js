// What the window says and the settings a person changes with the switch alone: auditory
// scanning, speaking what was typed, the switch key chosen by pressing it, and the scan period.
// Imported by main.qml as "Voice"; names resolve in the window's scope, as in kelo.js.

// The text typed since the last Enter, as far as the window knows it, for "Speak".
var typedText = "";
// What was last said or cued for the highlight, so that a highlight is announced once.
var lastLit = "";
// A sentence being spoken: the highlight does not cut it short.
var talkingSince = -Infinity;
// A running capture of the switch key: when it ends and the key seen down, if any.
var capture = null;

var periodMin = 250, periodMax = 5000, periodStep = 50;

function now() {
    return wind.clock >= 0 ? wind.clock : Date.now();
}

function init() {
    wind.s1v = period(wind.s1v);
    wrap.setVoice(wind.voice);
    wrap.setSpeechRate(wind.speechrate);
    wrap.setSpeechVolume(wind.speechvolume);
    if (wind.sound)
        wrap.prepareSound();
    // The engine is ready before the first thing to say.
    if (wind.audscan === 1 || wind.speakword)
        wrap.say("");
}

// A stored period brought onto the slider's range and steps.
function period(ms) {
    const v = Math.round(Number(ms) / periodStep) * periodStep;
    return v >= periodMin ? Math.min(v, periodMax) : (v > 0 ? periodMin : 1000);
}

// ---- auditory scanning ----

// Each change of the highlight lands here once things have settled (a restart of the scan
// passes the inner highlight through its first entry for an instant, which is not announced).
function lit() {
    if (wind.audscan === 0 || !wind.visible || capture)
        return;
    const key = [wind.startup, wind.plan, wind.startup === 3 ? wind.tm : wind.tk, wind.ts1, mous.m3.popup.visible].join(":");
    if (key === lastLit)
        return;
    lastLit = key;
    if (wrap.speaking() && now() - talkingSince < 60000)
        return;
    talkingSince = -Infinity;
    // In a password field the entries of a list are ticked, not named: a listener near by would
    // hear each letter chosen.
    if (wind.audscan === 2 || (wrap.secret() && wind.startup === 2 && wind.ts1 >= 0)) {
        wrap.cue();
        return;
    }
    const text = spoken(plain(litText()));
    if (text !== "")
        wrap.say(text);
    else
        wrap.hush();
}

// The text of what is lit: an entry of the open list or prediction row, else a group.
function litText() {
    const n = wind.ts1;
    if (wind.startup === 2) {
        if (wind.tk === 7) {
            const b = n >= 0 ? Keys.entryAt(n, 5) : -1;
            return b > 0 ? Keys.cased(wind.lword, wind.letr[b - 1]) : b === 0 ? Lang.lang(150) : Lang.lang(138);
        }
        const labels = wind.tk === 8 ? keyb.k0.labels : Keys.groupLabels(wind.tk, wind.plan);
        return n >= 0 ? (Keys.withBack(labels)[n + 1] || "") : groupName(labels[0]);
    }
    if (wind.startup === 3) {
        const centre = Pointing.centreList();
        if (wind.tm === 3)
            return n >= 0 ? (Keys.withBack(centre)[n + 1] || "") : centre[0];
        const arrows = Lang.lang(45);
        return arrows[{ 1: 1, 2: 2, 4: 4, 5: 3 }[wind.tm]];
    }
    return "";
}

// "pause" and "move" said with what they do.
function plain(text) {
    const keyb = Lang.lang(48), centre = Lang.lang(50);
    if (text === keyb[4] || text === centre[6])
        return Lang.lang(192);
    if (text === keyb[6] || text === centre[5])
        return Lang.lang(193);
    return text;
}

// A group's face names its first and last entries: "a-f" is said "a to f".
function groupName(face) {
    const parts = face.split("-");
    if (parts.length === 2 && parts[0] !== "" && parts[1] !== "")
        return spoken(parts[0]) + Lang.lang(129) + spoken(parts[1]);
    return face;
}

// Letters by their name (the engines read a lone capital as its name), signs by theirs.
function spoken(text) {
    const names = Lang.lang(128);
    if (Object.prototype.hasOwnProperty.call(names, text))
        return names[text];
    if (text.length === 1)
        return text.toUpperCase();
    return text.replace(/[|.«]/g, " ").trim();
}

// ---- what was typed ----

// What goes into a password field is neither kept nor said.
function typed(text) {
    if (wrap.secret()) {
        typedText = "";
        return;
    }
    typedText += text;
    if (typedText.length > 2000)
        typedText = typedText.slice(-1000);
}

function erased(count) {
    typedText = typedText.slice(0, Math.max(0, typedText.length - count));
}

// Enter, or the caret gone elsewhere: what comes next is a new text.
function newText() {
    typedText = "";
}

// A word finished with a space or a chosen prediction.
function wordDone(word) {
    if (wind.speakword && word !== "" && !wrap.secret())
        say(word);
}

function say(text) {
    wrap.say(text);
    talkingSince = now();
}

// The sentence being typed, or the one just ended: the text after the sentence end before it.
function lastSentence(text) {
    const body = text.replace(/[\s.!?…]+$/, "");
    const at = Math.max(body.lastIndexOf("."), body.lastIndexOf("!"), body.lastIndexOf("?"), body.lastIndexOf("\n"));
    return text.substring(at + 1).trim();
}

function speakTyped() {
    say(lastSentence(typedText));
}

// ---- the scan period by the switch ----

// Slower or faster by one of the slider's steps.
function changePeriod(slower) {
    wind.s1v = period(wind.s1v + (slower ? periodStep : -periodStep));
    norm.s1.value = wind.s1v;
    tell(Lang.lang(137).replace("%1", wind.s1v));
}

// A short message in the window, also said when the voice is on.
function tell(text) {
    wind.notice = text;
    noticeTimer.restart();
    if (voiceOn())
        say(text);
}

// The voice speaks the scan or the words typed.
function voiceOn() {
    return wind.audscan === 1 || wind.speakword;
}

// ---- the switch key and the pad's step button, chosen by pressing them ----

function chooseKey(button) {
    capture = { until: now() + 6000, key: "", shown: -1, button: !!button };
    // A pad button reaches no application: the keyboard stays free.
    if (!button)
        wrap.holdKeyboard(true);
    countdown();
    // Said once; the seconds then count down on screen only.
    if (voiceOn())
        say(wind.notice);
}

function captureEnds() {
    capture = null;
    wrap.holdKeyboard(false);
}

function countdown() {
    const left = Math.max(0, Math.ceil((capture.until - now()) / 1000));
    if (left !== capture.shown) {
        capture.shown = left;
        wind.notice = Lang.lang(capture.button ? 198 : 134).replace("%1", left);
        noticeTimer.stop();
    }
}

function clearKey() {
    wind.switchkey = "";
    wrap.setKey("", wind.grabkey);
}

function clearButton() {
    wind.stepbutton = -1;
    wrap.setStepButton(-1);
}

function keepKey(grab) {
    wind.grabkey = grab;
    wrap.setKey(wind.switchkey, grab);
}

// Run by the poll before anything else while a capture runs: a key pressed becomes the switch
// key once released (so its release is no press); Escape cancels, time running out too. True
// while the capture runs, and then the poll takes no press.
function capturing(escape) {
    if (!capture)
        return false;
    const pad = capture.button ? wrap.padButton() : -1;
    const down = capture.button ? (pad >= 0 ? String(pad) : "") : wrap.keyDown();
    if (capture.key === "" && down !== "") {
        capture.key = down;
    } else if (capture.key !== "" && down !== capture.key && capture.button) {
        wind.stepbutton = Number(capture.key);
        wrap.setStepButton(wind.stepbutton);
        captureEnds();
        tell(Lang.lang(199).replace("%1", wind.stepbutton + 1));
        return true;
    } else if (capture.key !== "" && down !== capture.key) {
        // A key chosen in the window is the switch's alone; the menu can give it back.
        wind.switchkey = capture.key;
        wind.grabkey = true;
        wrap.setKey(wind.switchkey, true);
        captureEnds();
        tell(Lang.lang(135).replace("%1", wind.switchkey));
        return true;
    } else if (capture.key === "" && (escape || now() > capture.until)) {
        const none = capture.button ? 200 : 136;
        captureEnds();
        tell(Lang.lang(none));
        return true;
    }
    countdown();
    return true;
}
