import QtQuick

KeloTestCase {
    name: "Keyboard"

    function test_word_data() {
        return [{ tag: "prediction chosen", scan: true, take: true, typed: ["keyb(8)", "keyb(8)", "text(the )", "learn(the)"] },
                { tag: "prediction switched off", scan: false, typed: [] },
                { tag: "switched off during its scan", scan: true, typed: [] }];
    }
    // Letters typed in layer 1 make a word and its predictions; a chosen one replaces the
    // letters and is learned. Once the pad has gone the highlight is not on it,
    // and the next press opens the first group.
    function test_word(data) {
        view(2);
        k.rank(2);
        wrap.predictions = ["th", "the", "thee", "theft", "their"];
        choose(4, 1);
        choose(2, 1);
        compare([calls(["text", "t9"]), w.lword, w.mov, w.tk, child("p3").text], [["text(t)", "t9(t)", "text(h)", "t9(th)"], "th", 0, 2, "the"]);
        goTo(7);
        wrap.clearCalls();
        if (data.scan) {
            press();
            tick("combot");
            verify(Qt.colorEqual(child("p3").color, "darkorange"));
        }
        data.take ? press() : toggle(child("l13"));
        verify(!child("p1").visible);
        compare([w.tk, w.mov], [1, 0], "the highlight rests on the hidden pad");
        press();
        verify(child("k1").popup.opened, "the press did not open the first group");
        compare(calls(["keyb", "text", "learn"]), data.typed);
    }

    function test_entries_data() {
        const five = code => [code, code, code, code, code];
        return [
            ["Space", 1, 5, 0, ["keyb(32)", "learn(ab)"]], ["Space, order 1", 1, 5, 0, ["keyb(32)", "learn(ab)"], { rank: 1 }],
            // Order 3: the next words before a letter, and the highlight sent to them; the
            // likeliest letters' group first in the scan, typing as the letters do.
            ["Space, next words", 1, 5, 0, ["keyb(32)", "learn(ab)"], { rank: 3, jump: true, nextWords: ["you", "the", "a", "it", "is"], tk: [7, 1], done: () => child("p2").text === "you" }],
            ["likeliest letter", 1, 8, 1, ["text(t)", "t9(abt)"], { lword: "abt", likely: "etaoin", tk: [8, 1] }],
            ["Erase", 1, 5, 1, ["keyb(8)"]], ["comma", 1, 5, 2, ["keyb(188)"]],
            ["Er.All", 1, 5, 4, ["keyb(8)", "keyb(8)"]],
            ["digit", 2, 2, 0, ["text(5)"]], ["DEL", 3, 1, 0, ["keyb(46)"]], ["BACK", 3, 1, 1, ["keyb(8)"]],
            ["ENTER", 3, 1, 2, ["keyb(13)"]], ["CTRL", 3, 1, 3, ["modif(1)"]], ["QUIT", 3, 1, 4, ["special(14)"]],
            ["ALT", 3, 1, 5, ["modif(3)"]], ["TAB", 3, 2, 0, ["keyb(9)"]], ["SHIFT", 3, 2, 1, ["modif(4)"]],
            ["CAPS", 3, 2, 2, ["modif(5)"]], ["ESC", 3, 2, 4, ["keyb(27)"]], ["P-DOWN", 3, 3, 5, ["keyb(34)"]],
            ["V-DOWN", 3, 4, 1, five("keyb(174)")], ["VOL-UP", 3, 4, 2, five("keyb(175)")], ["play", 3, 4, 6, ["keyb(179)"]],
            // The next press after "pause" only shows the window again.
            ["pause", 1, 6, 3, [], { done: () => w.visibility === 3, next: 0 }],
            ["Mouse", 1, 6, 4, [], { done: () => w.startup === 3 && child("mous").visible && !child("keyb").visible }],
            ["move", 1, 6, 5, [], { done: () => w.x === w.sw - w.width && w.y === 25 }],
            // The faces follow the layer, and the bridge hears of each change once.
            ["digits layer", 1, 6, 1, ["plan(2)"], { faces: ["0-4", "5-9", "*-/", ",-."] }],
            ["special layer", 1, 6, 2, ["plan(3)"], { faces: ["D-ALT", "T-ECH", "GEST", "MUL."] }],
            ["letters layer", 3, 6, 0, ["plan(1)"], { faces: ["a-f", "g-l", "m-r", "s-z"] }], ["letters layer again", 1, 6, 0, []],
            // With padjump a typed letter sends the highlight to the predictions shown; left
            // alone, the scan goes on at the first group. Otherwise it goes on from the group used.
            ["letter", 1, 4, 1, ["text(t)", "t9(abt)"], { lword: "abt" }],
            ["letter, padjump", 1, 4, 1, ["text(t)", "t9(abt)"], { lword: "abt", jump: true, tk: [7, 1] }],
            ["letter, padjump, prediction off", 1, 4, 1, ["text(t)", "t9(abt)"], { lword: "abt", jump: true, word: false }]
        ].map(r => Object.assign({ tag: r[0], plan: r[1], group: r[2], entry: r[3], calls: r[4], os: "linux", rank: 2, next: 1, lword: "", tk: [r[2], r[2] % 6 + 1] }, r[5]));
    }
    // What each entry sends; any but a letter ends the word being typed, which Space alone
    // completes. The next press is a first press.
    function test_entries(data) {
        view(2, { s3v: 2, l: "fr" }); // long French labels at the largest text size
        w.os = data.os;
        w.plan = data.plan;
        wrap.nextWords = data.nextWords || ["", "", "", "", ""];
        wrap.likelyLetters = data.likely || "";
        w.likely = !!data.likely;
        w.lword = "ab";
        w.padjump = !!data.jump;
        if (data.word === false)
            toggle(child("l13"));
        k.rank(data.rank);
        wrap.clearCalls();
        choose(data.group, data.entry);
        compare([calls(["keyb", "text", "modif", "special", "t9", "learn", "plan"]), w.lword], [data.calls, data.lword]);
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
}
