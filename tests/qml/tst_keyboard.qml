import QtQuick

KeloTestCase {
    name: "Keyboard"

    function test_word_data() {
        return [{ tag: "prediction chosen", scan: true, take: true, typed: ["keyb(8)", "keyb(8)", "text(the )", "learn(the)"] },
                { tag: "prediction switched off", scan: false, typed: [] },
                { tag: "switched off during its scan", scan: true, typed: [] },
                { tag: "chosen, likeliest letters shown", scan: true, take: true, likely: "etaoin", typed: ["keyb(8)", "keyb(8)", "text(the )", "learn(the)"] }];
    }
    // Letters make a word, its predictions and the likeliest letters of words not offered; a chosen
    // prediction replaces the letters and is learned. The pad gone, a press opens the first group.
    function test_word(data) {
        view(2, { padjump: false, autocaps: false, likely: !!data.likely }, bridge => { bridge.likelyLetters = data.likely || ""; });
        k.rank(2);
        wrap.predictions = ["th", "the", "thee", "theft", "their"];
        choose(4, 1);
        choose(2, 1);
        compare([calls(["text", "t9"]), w.lword, w.mov, w.tk, child("p3").text, calls(["letters"]).pop()],
                [["text(t)", "t9(t)", "text(h)", "t9(th)"], "th", 0, 2, "the", data.likely && "letters(th|th,the,thee,theft,their)"]);
        goTo(7);
        wrap.clearCalls();
        if (data.scan) {
            press();
            tick("combot");
            verify(Qt.colorEqual(child("p3").children[0].color, "darkorange"));
        }
        data.take ? press() : toggle(child("l13"));
        verify(!child("p1").visible);
        compare([w.tk, w.mov], [data.likely ? 8 : 1, 0], "the highlight rests on the hidden pad");
        press();
        verify(child(data.likely ? "k8" : "k1").popup.opened, "the press did not open the first group");
        compare(calls(["keyb", "text", "learn"]), data.typed);
    }

    function test_entries_data() {
        // What types nothing (a modifier, a layer, pause, a move) leaves the word as it was.
        const K = { lword: "ab" }, K6 = { lword: "ab", tk: [6, 7] };
        const five = code => [code, code, code, code, code];
        return [
            ["Space", 1, 5, 0, ["keyb(32)", "learn(ab)"]], ["Space, order 1", 1, 5, 0, ["keyb(32)", "learn(ab)"], { rank: 1 }],
            // Order 3: the next words before a letter, lit; the likeliest letters typing as letters.
            ["Space, next words", 1, 5, 0, ["keyb(32)", "learn(ab)"], { rank: 3, jump: true, nextWords: ["you", "the", "a", "it", "is"], tk: [7, 1], done: () => child("p2").text === "you" }],
            ["likeliest letter", 1, 8, 1, ["text(t)", "t9(abt)"], { lword: "abt", likely: "etaoin", tk: [8, 1] }],
            ["Erase", 1, 5, 3, ["keyb(8)", "t9(a)"], { lword: "a" }], ["comma", 1, 5, 2, ["text(,)"]],
            ["digit", 2, 2, 0, ["text(5)"]], ["DEL", 3, 1, 0, ["keyb(46)"]], ["BACK", 3, 1, 1, ["keyb(8)"]],
            ["ENTER", 3, 1, 2, ["keyb(13)"]], ["CTRL", 3, 1, 3, ["modif(1)"], K], ["QUIT", 3, 1, 4, ["special(14)"]],
            ["ALT", 3, 1, 5, ["modif(3)"], K], ["TAB", 3, 2, 0, ["keyb(9)"]], ["SHIFT", 3, 2, 1, ["modif(4)"], K],
            ["CAPS", 3, 2, 2, ["modif(5)"], K], ["ESC", 3, 2, 4, ["keyb(27)"]], ["P-DOWN", 3, 3, 5, ["keyb(34)"]],
            ["V-DOWN", 3, 4, 1, five("keyb(174)")], ["VOL-UP", 3, 4, 2, five("keyb(175)")], ["play", 3, 4, 6, ["keyb(179)"]],
            // The next press after "pause" only shows the window again.
            ["pause", 1, 6, 3, [], { done: () => w.visibility === 3, next: 0, lword: "ab", tk: [6, 7] }],
            ["Mouse", 1, 6, 4, [], { done: () => w.startup === 3 && child("mous").visible && !child("keyb").visible }],
            ["move", 1, 6, 5, [], { done: () => w.x === 0 && w.y === 25, lword: "ab", tk: [6, 7] }],
            // The faces follow the layer.
            ["digits layer", 1, 6, 1, [], { lword: "ab", tk: [6, 7], faces: ["0-4", "5-9", "*-/", ",-."] }],
            ["special layer", 1, 6, 2, [], { lword: "ab", tk: [6, 7], faces: ["S-ALT", "T-ÉCHAP", "FLÈCHES", "MÉDIA"] }],
            ["letters layer", 3, 6, 0, [], { lword: "ab", tk: [6, 7], faces: ["a-f", "g-l", "m-r", "s-z"] }], ["letters layer again", 1, 6, 0, [], K6],
            // A letter: the scan goes on from the group used, or with padjump at the predictions.
            ["letter", 1, 4, 1, ["text(t)", "t9(abt)"], { lword: "abt" }],
            ["letter, padjump", 1, 4, 1, ["text(t)", "t9(abt)"], { lword: "abt", jump: true, tk: [7, 1] }],
            ["letter, padjump, prediction off", 1, 4, 1, ["text(t)", "t9(abt)"], { lword: "abt", jump: true, word: false }]
        ].map(r => Object.assign({ tag: r[0], plan: r[1], group: r[2], entry: r[3], calls: r[4], os: "linux", rank: 2, next: 1, lword: "", tk: [r[2], r[2] % 6 + 1] }, r[5]));
    }
    // What each entry sends; any but a letter ends the word, Space completes it; then a first press.
    function test_entries(data) {
        view(2, { s3v: 2, l: "fr" }); // long French labels at the largest text size
        w.os = data.os;
        w.plan = data.plan;
        wrap.nextWords = data.nextWords || ["", "", "", "", ""];
        wrap.likelyLetters = data.likely || "";
        w.likely = !!data.likely;
        w.lword = w.tail = "ab";
        w.padjump = !!data.jump;
        if (data.word === false)
            toggle(child("l13"));
        k.rank(data.rank);
        wrap.clearCalls();
        choose(data.group, data.entry);
        compare([calls(["keyb", "text", "modif", "special", "t9", "learn"]), w.lword], [data.calls, data.lword]);
        const tk = [w.tk];
        tick("popot");
        compare(tk.concat(w.tk), data.tk, "the scan did not go on from where it should");
        if (data.faces)
            compare([1, 2, 3, 4].map(n => child("k" + n).contentItem.text), data.faces);
        if (data.done)
            tryVerify(data.done, 2000);
        wrap.clearCalls();
        press();
        compare([w.visibility, w.mov, calls(["playSound"]).length], [2, data.next, data.next]);
    }

    // KeyB's last entry asks in its own list; only the entry after the way back closes Kelo#; the
    // way back, or the list left alone, leave KeyB as it was.
    function test_closeOnPurpose_data() {
        return [{ tag: "confirmed", at: 1, closed: true }, { tag: "way back", at: 0 }, { tag: "left alone", ticks: 4 }];
    }
    function test_closeOnPurpose(data) {
        view(2);
        choose(6, 10);
        const keyB = child("k6");
        tryVerify(() => keyB.popup.opened);
        compare([w.mov, keyB.contentItem.text, keyB.model.get(1).text], [1, "Close Kelo#?", "yes, close Kelo#"]);
        tick("combot", data.ticks || data.at);
        if (data.at !== undefined)
            press();
        compare([w.visible, w.mov, data.closed || keyB.contentItem.text], [!data.closed, 0, data.closed || "KeyB"]);
    }

    // Picks prediction n (0-based) from the pad.
    function pick(n) {
        goTo(7);
        press();
        tick("combot", slot(n));
        press();
    }
    // Entry e of group g in layer plan; the layer is set as KeyB would.
    function key(plan, g, e) {
        w.plan = plan;
        choose(g, e);
    }

    function test_wordFollowsText_data() {
        const L = (g, e) => () => key(1, g, e), more = e => () => key(1, 5, e), P = n => () => pick(n);
        const shift = () => key(3, 2, 1), ctrl = () => key(3, 1, 3);
        return [
            // "it", Erase, "t": the word is "it" again and a prediction replaces both letters.
            { tag: "erase, then a prediction", steps: [L(2, 2), L(4, 1), more(3), L(4, 1), P(0)],
              calls: ["text(i)", "t9(i)", "text(t)", "t9(it)", "keyb(8)", "t9(i)", "text(t)", "t9(it)", "keyb(8)", "keyb(8)", "text(the )"], lword: "" },
            { tag: "Er.All after an Erase erases the word on screen", steps: [L(1, 0), L(1, 1), L(1, 2), more(3), more(10)],
              calls: ["text(a)", "t9(a)", "text(b)", "t9(ab)", "text(c)", "t9(abc)", "keyb(8)", "t9(ab)", "keyb(8)", "keyb(8)"], lword: "" },
            { tag: "Shift, t, the", steps: [shift, L(4, 1), P(0)], calls: ["modif(4)", "text(t)", "t9(t)", "keyb(8)", "text(The )"], shown: "The" },
            { tag: "NA and nasa", steps: [shift, L(3, 1), shift, L(1, 0), P(1)], pred: ["the", "nasa"],
              calls: ["modif(4)", "text(n)", "t9(n)", "modif(4)", "text(a)", "t9(na)", "keyb(8)", "keyb(8)", "text(NASA )"] },
            // Ctrl+t is a command, no letter of a word; Ctrl then goes with Space.
            { tag: "a chord is no letter", steps: [ctrl, L(4, 1), ctrl, more(0)], calls: ["modif(1)", "text(t)", "modif(1)", "keyb(32)"], lword: "" },
            // After a click elsewhere the letters are not where they were: nothing is erased.
            { tag: "the caret moved", steps: [L(4, 1), () => { wrap.caretMoves = 1; }, P(0)], calls: ["text(t)", "t9(t)"], lword: "" },
            { tag: "erase after a chosen word brings it back", steps: [L(4, 1), P(0), more(3), more(10)],
              calls: ["text(t)", "t9(t)", "keyb(8)", "text(the )", "keyb(8)", "t9(the)", "keyb(8)", "keyb(8)", "keyb(8)"], lword: "" }
        ];
    }
    // The word follows the text: erasing, a prediction replacing its letters with their capitals,
    // a lost caret.
    function test_wordFollowsText(data) {
        view(2, { autocaps: false });
        wrap.predictions = data.pred || ["the", "to", "that", "this", "then"];
        for (const step of data.steps) {
            if (data.shown && step === data.steps[data.steps.length - 1])
                compare(child("p2").text, data.shown, "the prediction does not show as it will be typed");
            step();
        }
        compare(calls(["keyb", "text", "t9", "modif"]), data.calls);
        if (data.lword !== undefined)
            compare(w.lword, data.lword);
    }

    // What an editor shows after the bridge's calls: text and keys, Shift as the injector
    // applies it to the next text.
    function shownText() {
        let doc = "", shift = false;
        for (const [, name, arg] of wrap.calls.map(c => /^(\w+)\((.*)\)$/.exec(c))) {
            if (name === "text" || name === "keyb")
                doc = name === "text" ? doc + (shift ? arg.toUpperCase() : arg) : arg === "8" ? doc.slice(0, -1) : doc + ({ 32: " ", 13: "\n" }[arg] || "");
            shift = name === "modif" ? arg === "4" : shift && name !== "text" && name !== "keyb";
        }
        return doc;
    }

    // Keys as a person chooses them: a letter, an entry of More by its label, #d a digit through
    // "0-9", ":" through the digits, Enter from the special keys, Pn the prediction n, B the way
    // back out of the first group, PB out of the predictions, "moved" a click elsewhere.
    function typeKeys(keys, shown) {
        const more = k.groupLabels(5, 1), entry = (g, plan, label) => k.groupLabels(g, plan).indexOf(label) - 1;
        for (const name of keys) {
            const d = Number(name[1]), g = [1, 2, 3, 4].find(n => entry(n, 1, name) >= 0);
            if (name === "moved")
                wrap.caretMoves = 1;
            else if (name === "Enter")
                [key(3, 1, 2), w.plan = 1];
            else if (name === "B" || name === "PB")
                [goTo(name === "B" ? 1 : 7), press(), tick("combot", 2), press()];
            else if (name[0] === "P")
                [!shown || compare(child("p" + (d + 2)).text, shown, "the prediction does not show as it will be typed"), pick(d)];
            else if (name[0] === "#" || name === ":")
                [choose(5, more.indexOf("0-9") - 1), name === ":" ? choose(4, entry(4, 2, ":")) : choose(d < 5 ? 1 : 2, d % 5)];
            else
                more.indexOf(name) > 0 ? choose(5, more.indexOf(name) - 1) : choose(g, entry(g, 1, name));
        }
    }

    function test_typing_data() {
        const mid = "so ", words = ["the", "to", "that", "this", "then"];
        return [
            { tag: "a sentence start", keys: ["h", "i"], text: "Hi" }, { tag: "I'm", tail: mid, keys: ["i", "'", "m"], text: "I'm" },
            { tag: "I, then a space", tail: mid, keys: ["i", "Space", "a", "m"], text: "I am" },
            { tag: "after Enter", keys: ["o", "k", "Enter", "s"], text: "Ok\nS" },
            { tag: "after a number", keys: ["#5", ".", "Space", "t"], text: "5. T" },
            { tag: "a decimal", keys: ["#5", ".", "#5"], text: "5.5" }, { tag: "a time", keys: ["#7", ":", "#3", "#0"], text: "7:30" },
            { tag: "Mr. Brown", keys: ["m", "r", ".", "Space", "b", "r", "o", "w", "n"], text: "Mr. Brown" },
            { tag: "e.g. ends no sentence", tail: mid, keys: ["e", ".", "g", ".", "Space", "t"], text: "e.g. t" },
            { tag: "a prediction at a sentence start, then a full stop", keys: ["h", "P0", "."], pred: ["hello"], shown: "Hello", text: "Hello. " },
            { tag: "a comma after a prediction", tail: mid, keys: ["t", "P0", ","], text: "the, " },
            { tag: "an apostrophe after a prediction joins", tail: mid, keys: ["i", "P0", "'", "m"], pred: ["i"], shown: "I", text: "I'm" },
            { tag: "a click elsewhere: no guess", keys: ["moved", "h"], text: "h" }, { tag: "capitals off", store: { autocaps: false }, keys: ["h", "i", "Space", "i", "'"], text: "hi i'" },
            { tag: "spacing off", store: { smartspace: false }, tail: mid, keys: ["t", "P0", "."], text: "the ." },
            { tag: "Shift from the letters", tail: mid, keys: ["Shift", "a", "b"], text: "Ab" },
            { tag: "undo a letter", tail: mid, keys: ["a", "b", "Undo"], text: "a", lword: "a" }, { tag: "undo a chosen word", tail: mid, keys: ["t", "P0", "Undo"], text: "t", lword: "t" },
            { tag: "undo a sign after a word", tail: mid, keys: ["t", "P0", ".", "Undo"], text: "the " },
            { tag: "back out of a group", keys: ["B"], text: "" }, { tag: "back out of the predictions", tail: mid, keys: ["t", "PB"], text: "t", lword: "t" }
        ].map(r => Object.assign({ store: {}, tail: "\n", pred: words }, r));
    }
    // Capitals and spacing as a sentence needs them, Undo, and the way back: the text an editor
    // shows, the word followed, the letters layer and the outer scan after each.
    function test_typing(data) {
        view(2, Object.assign({ l: "en" }, data.store));
        w.tail = data.tail;
        wrap.predictions = data.pred.concat(["", "", "", ""]).slice(0, 5);
        typeKeys(data.keys, data.shown);
        compare([shownText(), w.plan, w.mov, child("combot").running, data.lword === undefined ? "" : w.lword], [data.text, 1, 0, false, data.lword || ""]);
    }

    // An armed modifier shows until used or chosen again; it goes with the next key of any kind.
    function test_modifiers() {
        view(2);
        const mark = child("armedMark");
        key(3, 1, 3);
        compare([mark.visible, mark.children[0].text], [true, "CTRL"]);
        key(3, 1, 3);
        compare([mark.visible, calls(["modif"])], [false, ["modif(1)", "modif(0)"]]);
        key(3, 2, 2);
        key(3, 2, 1);
        compare([mark.visible, mark.children[0].text, w.armed], [true, "SHIFT", 4], "Shift takes the place of Caps");
        key(3, 2, 0);
        compare([mark.visible, calls(["keyb"])], [false, ["keyb(9)"]]);
    }

    // The accents layer: the language's likeliest accent first, capitals through Shift, and F1.
    function test_accentsLayer() {
        view(2, { l: "fr" });
        key(1, 6, 6);
        compare([w.plan, child("k1").contentItem.text], [4, "é-â"]);
        choose(1, 0);
        key(3, 2, 1);
        w.plan = 4;
        choose(1, 1);
        choose(4, 0);
        compare(calls(["text", "keyb", "t9"]), ["text(É)", "t9(é)", "text(à)", "t9(éà)", "keyb(112)"]);
        compare(w.lword, "");
    }
}
