// The keyboard view: the groups and their lists, the word being typed and its predictions, and
// what a chosen entry types. Imported by main.qml as "Keys"; names resolve in the window's scope.

// The label list of keyboard group 1..6 in layer plan: letters, digits and signs, special keys,
// then the accents layer (three groups of accented letters, the current language's first, and
// the function keys).
function groupLabels(group, plan) {
    if (group === 6 && wind.quitAsk)
        return Lang.lang(164);
    if (group === 6) {
        // Fitting the pace sits beside Slower and Faster.
        const l = Lang.lang(48);
        l.splice(10, 0, Lang.lang(189)[wind.fitpace ? 1 : 0]);
        return l;
    }
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
// typed in capitals (two letters or more) is typed in capitals, and so is everything under Caps;
// a word at a sentence start, and "I" with its forms, get their capital.
function cased(typed, word) {
    if (!word)
        return "";
    if (wind.armed >= 5 || (typed.length >= 2 && typed === typed.toUpperCase() && typed !== typed.toLowerCase()))
        return word.toUpperCase().length === word.length ? word.toUpperCase() : word;
    let out = "";
    for (let i = 0; i < word.length; ++i)
        out += i < typed.length ? shown(word[i], typed[i] !== typed[i].toLowerCase() ? 4 : 0) : word[i];
    if ((typed === "" && sentenceStart()) || isI(out))
        out = shown(out[0], 4) + out.slice(1);
    return out;
}

// ---- what Kelo# knows of the text before the caret ----

// The characters typed last, "\n" standing for the start of a text; "\u0001" where the caret
// may have moved, which no rule reads as a sentence start.
function noteTyped(text) {
    wind.tail = (wind.tail + text).slice(-16);
}

function noteErased(count) {
    wind.tail = count < wind.tail.length ? wind.tail.slice(0, wind.tail.length - count) : "\u0001";
}

function lostTrack() {
    wind.tail = "\u0001";
}

// The next letter starts a sentence: after the start of a text or Enter, or a sentence's end
// and a space; not after an abbreviation with a point inside ("e.g. ").
function sentenceStart() {
    if (!wind.autocaps)
        return false;
    const t = wind.tail;
    if (/\n[ \t]*$/.test(t))
        return true;
    const end = /(\S*)[.?!]["')]*\s+$/.exec(t);
    return end !== null && end[1].indexOf(".") < 0;
}

// English "I", alone or with its forms (I'm, I'll, I'd, I've).
function isI(word) {
    return wind.autocaps && wind.lang === "en" && (word === "i" || word.startsWith("i'"));
}

// A lone "i" typed letter by letter becomes "I" when the word ends.
function endWord() {
    if (wind.lword === "i" && isI("i") && /(^|[^A-Za-z])i$/.test(wind.tail)) {
        wrap.keyb(Kel.eraseKey());
        wrap.text("I");
        noteErased(1);
        noteTyped("I");
        wind.lword = "I";
    }
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
    const at = Kel.built.indexOf(z);
    if (at >= 0)
        Kel.built.splice(at, 1);
    Kel.built.push(z);
    z.model = model;
    if (old && typeof old.destroy === "function") {
        for (let i = 0; i < old.count; ++i)
            old.get(i).destroy();
        old.destroy();
    }
    return model;
}

// Every list has a way back: the entry closes it, and the scan goes on from the group that was
// opened (Kel.wav). It comes third, so that a list opened by mistake is left after two steps
// while its two likeliest entries keep their places. The question before closing Kelo# opens on
// its way back, so that no quick second press answers it.
function backSlot(count) {
    return wind.quitAsk ? 0 : Math.min(2, count);
}

// What position n of an open list of count entries (the way back aside) holds: the entry's
// number in its label list, from 1, or 0 for the way back.
function entryAt(n, count) {
    const slot = backSlot(count);
    return n === slot ? 0 : n < slot ? n + 1 : n;
}

function withBack(labels) {
    const entries = labels.slice(1), slot = backSlot(entries.length);
    return [labels[0]].concat(entries.slice(0, slot), [Lang.lang(150)], entries.slice(slot));
}

function openList(z, labels) {
    const shown = withBack(labels);
    mod(shown, z);
    wind.ts2 = clist(shown);
    combot.restart();
}

function del(l) {
    for (let i = 0; i < l.length; ++i)
        wrap.keyb(Kel.eraseKey());
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

// The entries of group 5 (More) by what they do, in the order the label lists name them.
var moreActions = ["space", ".", ",", "erase", "undo", "?", "'", "!", "shift", "digits", "eraseall", "speak"];

// The word, the word completed before it and the text before the caret as they were before the
// entry being acted on: what Undo brings back.
var before = null;

// What Undo will take back: erase this many characters, type these again.
function undoable(erase, retype) {
    wind.undo = { erase: erase, retype: retype, lword: before.lword, lastword: before.lastword, tail: before.tail };
}

function undoLast() {
    const u = wind.undo;
    if (!u)
        return;
    del(" ".repeat(u.erase));
    if (u.retype !== "")
        wrap.text(u.retype);
    Voice.erased(u.erase);
    Voice.typed(u.retype);
    wind.tail = u.tail;
    follow(u.lword);
    wind.lastword = u.lastword;
    wind.undo = null;
}

// A sign; right after a chosen word a sentence's sign takes that word's space and puts one after
// it ("the. "), an apostrophe joins ("I'm"). After anything else it is typed as it is ("5.5").
function typeSign(sign) {
    const join = wind.smartspace && /^\S+ $/.test(before.lastword) && wind.tail.endsWith(" ")
        && ".,?!:;'".indexOf(sign) >= 0;
    const text = join && sign !== "'" ? sign + " " : sign;
    if (join) {
        wrap.keyb(Kel.eraseKey());
        noteErased(1);
        Voice.erased(1);
    }
    wrap.text(text);
    noteTyped(text);
    Voice.typed(text);
    undoable(text.length, join ? " " : "");
    if (".?!".indexOf(sign) >= 0)
        wrap.sentence();
}

function isSign(c) {
    return ".,?!:;'".indexOf(c) >= 0;
}

function keyboard(vk, recorded, a, b) {
    if (wind.mov === 0) {
        wind.mov = 1;
        if (vk >= 1 && vk <= 6)
            Kel.combo(vk).popup.open();
        else if (vk === 7) {
            wind.ts2 = 5; // the five predictions, the way back third
            combot.restart();
        }
        return;
    }
    // The caret has left the word (a click, another window): the word and its predictions end,
    // and nothing is erased, completed, capitalised or taken back where the letters no longer are.
    if (wrap.moved()) {
        wind.lastword = "";
        follow("");
        Voice.newText();
        wrap.sentence();
        lostTrack();
        wind.undo = null;
        if (a === 7) {
            wind.mov = 0;
            return;
        }
    }
    // Where nothing can be typed nothing shows as typed: no word, no predictions (the strip says
    // why). KeyB's layers, pause, moves and close still work.
    if (!wind.typable && a !== 6) {
        wind.mov = 0;
        return;
    }
    const action = a === 5 ? moreActions[b - 1] : "";
    const plan = wind.plan, code = plan === 3 || (plan === 4 && a === 4) ? keyCode(a, b) : 0;
    const enter = code === (Lang.windowsKeys() ? 13 : 36), tab = code === (Lang.windowsKeys() ? 9 : 48);
    const lettersLayer = plan === 1 || plan === 4;
    // A lone "i" becomes "I" once something ends its word.
    if ((a === 5 && ["space", ".", ",", "?", "'", "!"].indexOf(action) >= 0) || (a < 5 && plan === 2) || enter || tab
            || (a < 5 && lettersLayer && !isLetter(recorded)))
        endWord();
    // The letters of the current word as they show, which a chosen prediction replaces, the
    // word a prediction completed just before, and the modifier armed for this key.
    const typed = wind.lword, last = wind.lastword, armed = wind.armed;
    before = { lword: typed, lastword: last, tail: wind.tail };
    const w = a !== 7 ? wind.lword : wind.letr[b - 1];
    // A layer, a modifier, pause, a move of the window or Undo types nothing here: the word stays.
    const keep = a === 6 ? b !== 5 : ["speak", "shift", "digits", "undo"].indexOf(action) >= 0
        || (plan === 3 && [16, 17, 18, 20].indexOf(code) >= 0);
    if (!keep) {
        wind.letr = ["", "", "", "", ""];
        wind.lword = "";
        wind.lastword = "";
    }
    const chord = armed === 1 || armed === 3;
    if (a < 5 && (plan < 3 || (plan === 4 && a < 4))) {
        if (isSign(recorded) && !chord) {
            typeSign(recorded);
        } else {
            const letter = lettersLayer && isLetter(recorded) && !chord;
            const t = letter && armed === 0 && sentenceStart() ? shown(recorded, 4) : recorded;
            wrap.text(t);
            if (chord) {
                lostTrack();
                wind.undo = null;
            } else {
                noteTyped(shown(t, armed));
                Voice.typed(shown(t, armed));
                undoable(1, "");
            }
            if (letter) {
                follow(w + shown(t, armed));
                // The predictions are the likeliest next choice; left alone, the scan goes on at 1.
                if (wind.padjump && keyb.p1.visible)
                    wind.tk = 7;
            }
        }
    }
    if (code !== 0 && code !== undefined) {
        send(code);
        if (plan === 3 && a === 1 && b === 2) { // BackSpace
            noteErased(1);
            Voice.erased(1);
            wind.undo = null;
        } else if (enter || tab) {
            noteTyped(enter ? "\n" : "\t");
            undoable(1, "");
            if (enter)
                Voice.newText();
        } else if (plan === 3 && a === 3) { // the caret moves
            lostTrack();
            wind.undo = null;
        }
    }
    if (a === 6) {
        if ((b >= 1 && b <= 3) || b === 7) {
            wind.plan = b === 7 ? 4 : b;
            wind.oneshot = false;
        } else if (b === 4) {
            wind.visibility = 3;
        } else if (b === 5) {
            Kel.vision(3);
            wind.mov = 0;
            return;
        } else if (b === 6) {
            Place.position();
        } else if (b === 8 || b === 9) {
            Voice.changePeriod(b === 8);
        } else if (b === 10) {
            Pace.setFitted(!wind.fitpace);
        } else if (b === 11) {
            // Closing asks first, in KeyB's own list.
            wind.quitAsk = true;
            wind.mov = 1;
            Kel.combo(6).popup.open();
            return;
        }
    }
    if (action === "space") {
        wrap.keyb(32);
        noteTyped(" ");
        undoable(1, "");
        Kel.learn(typed.toLowerCase());
        Voice.typed(" ");
        Voice.wordDone(typed);
    } else if (action !== "" && isSign(action)) {
        typeSign(action);
    } else if (action === "erase") {
        wrap.keyb(Kel.eraseKey());
        noteErased(1);
        wind.undo = null;
        Voice.erased(1);
        // The word follows its last letter going; right after a completed word, the space
        // goes and the word is back. With Ctrl or Alt the key did more than that.
        if (!chord)
            follow(typed !== "" ? typed.slice(0, -1) : /^\S+ $/.test(last) ? last.slice(0, -1) : "");
    } else if (action === "undo") {
        undoLast();
    } else if (action === "shift") {
        arm(4);
    } else if (action === "digits") {
        wind.plan = 2;
        wind.oneshot = true;
    } else if (action === "eraseall") {
        const gone = typed !== "" ? typed : last;
        del(gone);
        noteErased(gone.length);
        wind.undo = null;
        Voice.erased(gone.length);
    } else if (action === "speak") {
        Voice.speakTyped();
    }
    if (a === 7) {
        del(typed);
        const word = cased(typed, w);
        wrap.text(word + " ");
        noteErased(typed.length);
        noteTyped(word + " ");
        undoable(word.length + 1, typed);
        Kel.learn(w);
        wind.lastword = word + " ";
        Voice.erased(typed.length);
        Voice.typed(word + " ");
        Voice.wordDone(word);
    }
    // The digits opened from the letters come back to the letters after one sign.
    if (wind.oneshot && action !== "digits" && a !== 6) {
        wind.plan = 1;
        wind.oneshot = false;
    }
    wind.armed = wrap.modifier();
    wind.mov = 0;
}
