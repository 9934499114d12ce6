import QtQuick

KeloTestCase {
    name: "Keyboard"

    function keyboardView() {
        start();
        k.vision(2);
        wrap.clearCalls();
    }

    function test_letterTypesAndPredicts() {
        keyboardView();
        wrap.predictions = ["c", "ca", "cab", "caba", "cabal"];
        choose(1, 2);
        compare(wrap.callsOf(["text", "t9"]), ["text(c)", "t9(c)"]);
        compare(w.lword, "c");
        compare(w.letr, ["c", "ca", "cab", "caba", "cabal"]);
        verify(child("p1").visible);
        compare(child("p3").text, "ca");
        // Each prediction stands over its group, the pad over the first, once laid out.
        for (let n = 1; n <= 6; ++n) {
            const above = child("p" + n), group = child("k" + n);
            tryVerify(() => Math.abs(above.x + above.width / 2 - group.x - group.width / 2) <= 1
                      && above.y + above.height <= group.y, 2000, "p" + n + " is not over its group");
        }
        compare(w.mov, 0);
        compare(w.tk, 1, "a press moved the outer highlight");
    }

    function test_predictionReplacesTheTypedLetters() {
        keyboardView();
        wrap.predictions = ["th", "the", "thee", "theft", "their"];
        choose(4, 1);
        choose(2, 1);
        compare(w.lword, "th");
        wrap.clearCalls();
        goTo(7);
        press();
        compare(w.ts2, 4);
        tick("combot");
        verify(child("p3").color == "#ff8c00");
        press();
        compare(wrap.callsOf(["keyb", "text"]), ["keyb(8)", "keyb(8)", "text(the )"]);
        compare(w.lword, "");
        verify(!child("p1").visible);
    }

    function test_eraseAllErasesTheWord() {
        keyboardView();
        choose(1, 0);
        choose(1, 1);
        choose(1, 2);
        compare(w.lword, "abc");
        wrap.clearCalls();
        choose(5, 4);
        compare(wrap.callsOf(["keyb", "text"]), ["keyb(8)", "keyb(8)", "keyb(8)"]);
        compare(w.lword, "");
    }

    function test_groupFive_data() {
        return [
            { tag: "Space", entry: 0, calls: ["keyb(32)"] },
            { tag: "Erase", entry: 1, calls: ["keyb(8)"] },
            { tag: "comma", entry: 2, calls: ["keyb(188)"] },
            { tag: "full stop", entry: 3, calls: ["keyb(110)"] }
        ];
    }

    function test_groupFive(data) {
        keyboardView();
        choose(5, data.entry);
        compare(wrap.callsOf(["keyb", "text", "modif", "special"]), data.calls);
    }

    function test_layers() {
        keyboardView();
        const k1 = child("k1");
        compare(k1.contentItem.text, "a-f");
        choose(6, 1);
        compare(w.plan, 2);
        compare(wrap.callsOf(["plan"]), ["plan(2)"]);
        compare(k1.contentItem.text, "0-4");
        wrap.clearCalls();
        w.lword = "ab";
        choose(2, 0);
        compare(wrap.callsOf(["text", "t9"]), ["text(5)"]);
        compare(w.lword, "");
        choose(6, 2);
        compare(w.plan, 3);
        compare(k1.contentItem.text, "D-ALT");
        compare(child("k2").contentItem.children.length >= 0, true);
        choose(6, 0);
        compare(w.plan, 1);
        wrap.clearCalls();
        choose(6, 0);
        compare(wrap.callsOf(["plan"]), [], "choosing the layer shown told the bridge again");
    }

    function test_specialKeys_data() {
        return [
            { tag: "DEL", group: 1, entry: 0, calls: ["keyb(46)"] },
            { tag: "BACK", group: 1, entry: 1, calls: ["keyb(8)"] },
            { tag: "ENTER", group: 1, entry: 2, calls: ["keyb(13)"] },
            { tag: "CTRL", group: 1, entry: 3, calls: ["modif(1)"] },
            { tag: "QUIT", group: 1, entry: 4, calls: ["special(14)"] },
            { tag: "ALT", group: 1, entry: 5, calls: ["modif(3)"] },
            { tag: "TAB", group: 2, entry: 0, calls: ["keyb(9)"] },
            { tag: "SHIFT", group: 2, entry: 1, calls: ["modif(4)"] },
            { tag: "CAPS", group: 2, entry: 2, calls: ["modif(5)"] },
            { tag: "WIND", group: 2, entry: 3, calls: ["keyb(91)"] },
            { tag: "ESC", group: 2, entry: 4, calls: ["keyb(27)"] },
            { tag: "LEFT", group: 3, entry: 0, calls: ["keyb(37)"] },
            { tag: "P-DOWN", group: 3, entry: 5, calls: ["keyb(34)"] },
            { tag: "MUTE", group: 4, entry: 0, calls: ["keyb(173)"] },
            { tag: "VOL-UP", group: 4, entry: 2, calls: ["keyb(175)", "keyb(175)", "keyb(175)", "keyb(175)", "keyb(175)"] },
            { tag: "V-DOWN", group: 4, entry: 1, calls: ["keyb(174)", "keyb(174)", "keyb(174)", "keyb(174)", "keyb(174)"] },
            { tag: "play", group: 4, entry: 6, calls: ["keyb(179)"] }
        ];
    }

    function test_specialKeys(data) {
        keyboardView();
        choose(6, 2);
        wrap.clearCalls();
        choose(data.group, data.entry);
        compare(wrap.callsOf(["keyb", "text", "modif", "special"]), data.calls);
    }

    function test_ctrlArmsTheNextLetter() {
        keyboardView();
        choose(6, 2);
        choose(1, 3);
        choose(6, 0);
        wrap.clearCalls();
        choose(1, 0);
        compare(wrap.callsOf(["keyb", "text", "modif"]), ["text(a)"]);
    }

    function test_mouseEntrySwitchesView() {
        keyboardView();
        choose(6, 4);
        compare(w.startup, 3);
        compare(w.mov, 0);
        verify(child("mous").visible);
        verify(!child("keyb").visible);
    }

    function test_moveEntryWalksCorners() {
        keyboardView();
        k.position(1);
        choose(6, 5);
        compare([w.x, w.y], [w.sw - w.width, 25]);
    }

    // macOS keeps its own codes; only the erase key differs outside the special layer.
    function test_otherSystemsTable() {
        keyboardView();
        w.os = "osx";
        compare(child("k1").contentItem.text, "a-f");
        choose(5, 1);
        choose(6, 2);
        compare(child("k1").contentItem.text, "D-OPT");
        choose(1, 2);
        choose(4, 2);
        compare(wrap.callsOf(["keyb"]), ["keyb(51)", "keyb(36)", "keyb(72)"]);
    }
}
