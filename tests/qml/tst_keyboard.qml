import QtQuick

KeloTestCase {
    name: "Keyboard"

    function test_word_data() {
        return [{ tag: "prediction chosen", scan: true, take: true, typed: ["keyb(8)", "keyb(8)", "text(the )"] },
                { tag: "prediction switched off", scan: false, typed: [] },
                { tag: "switched off during its scan", scan: true, typed: [] }];
    }
    // Letters typed in layer 1 make a word, with its predictions over the groups; a chosen one
    // replaces the letters. Once the pad has gone the highlight is not on it, and the next
    // press opens the first group.
    function test_word(data) {
        view(2);
        wrap.predictions = ["th", "the", "thee", "theft", "their"];
        choose(4, 1);
        choose(2, 1);
        compare(wrap.callsOf(["text", "t9"]), ["text(t)", "t9(t)", "text(h)", "t9(th)"]);
        compare([w.lword, w.mov, w.tk, child("p3").text], ["th", 0, 2, "the"]);
        for (let n = 1; n <= 6; ++n) {
            const above = child("p" + n), group = child("k" + n);
            tryVerify(() => Math.abs(above.x + above.width / 2 - group.x - group.width / 2) <= 1
                      && above.y + above.height <= group.y, 2000, "p" + n + " is not over its group");
        }
        goTo(7);
        wrap.clearCalls();
        if (data.scan) {
            press();
            tick("combot");
            verify(Qt.colorEqual(child("p3").color, "darkorange"));
        }
        if (data.take)
            press();
        else
            toggle(child("l13"));
        verify(!child("p1").visible);
        compare([w.tk, w.mov], [1, 0], "the highlight rests on the hidden pad");
        press();
        verify(child("k1").popup.opened, "the press did not open the first group");
        compare(wrap.callsOf(["keyb", "text"]), data.typed);
    }

    function test_entries_data() {
        const five = code => [code, code, code, code, code];
        return [
            ["Space", 1, 5, 0, ["keyb(32)"]], ["Erase", 1, 5, 1, ["keyb(8)"]], ["comma", 1, 5, 2, ["keyb(188)"]],
            ["full stop", 1, 5, 3, ["keyb(110)"]], ["Er.All", 1, 5, 4, ["keyb(8)", "keyb(8)"]],
            ["digit", 2, 2, 0, ["text(5)"]], ["DEL", 3, 1, 0, ["keyb(46)"]], ["BACK", 3, 1, 1, ["keyb(8)"]],
            ["ENTER", 3, 1, 2, ["keyb(13)"]], ["CTRL", 3, 1, 3, ["modif(1)"]], ["QUIT", 3, 1, 4, ["special(14)"]],
            ["ALT", 3, 1, 5, ["modif(3)"]], ["TAB", 3, 2, 0, ["keyb(9)"]], ["SHIFT", 3, 2, 1, ["modif(4)"]],
            ["CAPS", 3, 2, 2, ["modif(5)"]], ["WIND", 3, 2, 3, ["keyb(91)"]], ["ESC", 3, 2, 4, ["keyb(27)"]],
            ["LEFT", 3, 3, 0, ["keyb(37)"]], ["P-DOWN", 3, 3, 5, ["keyb(34)"]], ["MUTE", 3, 4, 0, ["keyb(173)"]],
            ["V-DOWN", 3, 4, 1, five("keyb(174)")], ["VOL-UP", 3, 4, 2, five("keyb(175)")], ["play", 3, 4, 6, ["keyb(179)"]],
            // macOS keeps its own codes; only the erase key differs outside the special layer.
            ["macOS Erase", 1, 5, 1, ["keyb(51)"], "osx"], ["macOS ENTER", 3, 1, 2, ["keyb(36)"], "osx"],
            ["macOS VOL-UP", 3, 4, 2, ["keyb(72)"], "osx"]
        ].map(r => ({ tag: r[0], plan: r[1], group: r[2], entry: r[3], calls: r[4], os: r[5] || "linux" }));
    }
    // What each entry sends; any of them ends the word being typed.
    function test_entries(data) {
        view(2);
        w.os = data.os;
        w.plan = data.plan;
        w.lword = "ab";
        wrap.clearCalls();
        choose(data.group, data.entry);
        compare([wrap.callsOf(["keyb", "text", "modif", "special", "t9"]), w.lword], [data.calls, ""]);
    }

    // The faces follow the layer, and the bridge hears of each change once.
    function test_layers() {
        view(2);
        const faces = () => [1, 2, 3, 4].map(n => child("k" + n).contentItem.text);
        compare(faces(), ["a-f", "g-l", "m-r", "s-z"]);
        choose(6, 1);
        compare(faces(), ["0-4", "5-9", "*-/", ",-."]);
        choose(6, 2);
        compare(faces(), ["D-ALT", "T-ESC", "MOVE", "MUL."]);
        choose(6, 0);
        choose(6, 0);
        compare([w.plan, wrap.callsOf(["plan"])], [1, ["plan(2)", "plan(3)", "plan(1)"]]);
    }

    function test_keyB_data() {
        return [{ tag: "pause", e: 3, done: () => w.visibility === 3, next: 0 },
                { tag: "Mouse", e: 4, done: () => w.startup === 3 && child("mous").visible && !child("keyb").visible, next: 1 },
                { tag: "move", e: 5, done: () => w.x === w.sw - w.width && w.y === 25, next: 1 }];
    }
    // The next press after "pause" only shows the window again; after the others it is a first
    // press.
    function test_keyB(data) {
        view(2);
        k.position(1);
        choose(6, data.e);
        tryVerify(data.done, 2000);
        wrap.clearCalls();
        press();
        compare([w.visibility, w.mov, wrap.callsOf(["playSound"]).length], [2, data.next, data.next]);
    }

    function test_padjump_data() {
        return [{ tag: "off", jump: false, word: true, tk: [4, 5] },
                { tag: "on", jump: true, word: true, tk: [7, 1] },
                { tag: "on, prediction off", jump: true, word: false, tk: [4, 5] }];
    }
    // With padjump a typed letter sends the highlight to the predictions; left alone, the scan
    // goes on at the first group.
    function test_padjump(data) {
        view(2);
        w.padjump = data.jump;
        if (!data.word)
            toggle(child("l13"));
        choose(4, 1);
        const after = [w.tk];
        tick("popot");
        compare([w.lword, after.concat(w.tk)], ["t", data.tk]);
    }

    function test_learn_data() {
        return [{ tag: "Space", ranking: 2, group: 5, entry: 0, learned: ["learn(th)"] },
                { tag: "prediction", ranking: 2, group: 7, entry: 1, learned: ["learn(the)"] },
                { tag: "Erase", ranking: 2, group: 5, entry: 1, learned: [] },
                { tag: "Space, not learning", ranking: 1, group: 5, entry: 0, learned: [] }];
    }
    // Words completed through Kelo# are learned only when the user chose learning.
    function test_learn(data) {
        view(2);
        k.rank(data.ranking);
        wrap.predictions = ["th", "the", "thee", "theft", "their"];
        choose(4, 1);
        choose(2, 1);
        choose(data.group, data.entry);
        compare(wrap.callsOf(["rank", "learn"]), ["rank(" + data.ranking + ")"].concat(data.learned));
    }
}
