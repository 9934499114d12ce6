import QtQuick

KeloTestCase {
    name: "Scan"

    function keyboardView(prepare, keepStore) {
        start(keepStore, prepare);
        k.vision(2);
        compare(w.startup, 2);
        compare(w.tk, 1);
    }

    function test_outerCycle_data() {
        return [
            { tag: "without the pad", word: "", cycle: [2, 3, 4, 5, 6, 1, 2] },
            { tag: "with the pad", word: "th", cycle: [2, 3, 4, 5, 6, 7, 1] }
        ];
    }

    function test_outerCycle(data) {
        keyboardView();
        w.lword = data.word;
        compare(child("p1").visible, data.word !== "");
        const seen = [];
        for (let i = 0; i < data.cycle.length; ++i) {
            tick("popot");
            seen.push(w.tk);
        }
        compare(seen, data.cycle);
        verify(child("popot").running);
        verify(!child("combot").running);
    }

    function test_mouseAndNormalViewsCycleSixAndFive() {
        start();
        w.lword = "th";
        const tk = [], tm = [];
        for (let i = 0; i < 7; ++i) {
            tick("popot");
            tk.push(w.tk);
            tm.push(w.tm);
        }
        compare(tk, [2, 3, 4, 5, 6, 1, 2]);
        compare(tm, [2, 3, 4, 5, 1, 2, 3]);
    }

    function test_listClosesItselfAfterTwoPasses() {
        keyboardView();
        goTo(2);
        press();
        const k2 = child("k2");
        verify(k2.popup.opened);
        compare(w.mov, 1);
        compare(w.ts2, 5);
        verify(child("combot").running);
        verify(!child("popot").running);
        compare(w.ts1, 0);
        compare(w.itext, "g");
        tick("combot", 11);
        verify(k2.popup.opened, "closed before 2n periods");
        compare(w.ts1, 5);
        compare(w.itext, "l");
        tick("combot");
        verify(!k2.popup.opened);
        compare(w.mov, 0);
        compare(w.tk, 2, "the outer highlight moved");
        verify(child("popot").running);
        verify(!child("combot").running);
        compare(w.ts1, -1);
        // The next press opens the same group again.
        press();
        verify(k2.popup.opened);
    }

    function test_restartingTheOuterScanRecordsPositionZero() {
        keyboardView();
        compare(w.selection, [0, 0]);
        goTo(3);
        press();
        tick("combot", 4);
        compare(w.selection, [3, 4]);
        // The list closes by itself; the outer scan moves on.
        tick("combot", 8);
        verify(child("popot").running);
        goTo(4);
        let zero = false;
        const watch = () => { if (w.ts1 === 0) zero = true; };
        w.ts1Changed.connect(watch);
        child("popot").restart();
        w.ts1Changed.disconnect(watch);
        verify(zero, "ts1 did not pass through 0");
        compare(w.ts1, -1);
        compare(w.selection, [4, 0]);
        compare(w.itext, "m");
    }

    function test_onePressPerTickWhateverFires() {
        store.clear();
        store.setValue("index", 1);
        keyboardView(bridge => { bridge.joysticks = ["Pad"]; }, true);
        compare(w.index, 1);
        wrap.clearCalls();
        wrap.escPresses = 1;
        wrap.joyPresses = 1;
        wrap.blinks = 1;
        tick("devices");
        compare(wrap.callsOf(["playSound"]).length, 1);
        compare(w.mov, 1);
        verify(child("k1").popup.opened);
        compare(w.stick, 0);
        tick("devices");
        compare(w.mov, 1, "a second press came from nowhere");
    }

    function test_pressOnAMinimisedWindowOnlyRestoresIt() {
        keyboardView();
        w.visibility = 3;
        tryCompare(w, "visibility", 3);
        wrap.clearCalls();
        press();
        compare(w.visibility, 2);
        compare(wrap.callsOf(["playSound"]), []);
        compare(w.mov, 0);
        verify(!child("k1").popup.opened);
    }

    function test_soundOnlyWhenOn() {
        keyboardView();
        wrap.clearCalls();
        press();
        compare(wrap.callsOf(["playSound"]).length, 1);
        w.sound = false;
        press();
        compare(wrap.callsOf(["playSound"]).length, 1);
    }

    function test_listModelsAreReplaced() {
        keyboardView();
        goTo(1);
        const k1 = child("k1");
        let models = 0, entries = 0;
        for (let i = 0; i < 200; ++i) {
            press();
            const model = k1.model;
            model.Component.destruction.connect(() => { ++models; });
            for (let e = 0; e < model.count; ++e)
                model.get(e).Component.destruction.connect(() => { ++entries; });
            press();
        }
        wait(0);
        compare(models, 199, "replaced list models were kept alive");
        compare(entries, 199 * 6, "entries of replaced lists were kept alive");
    }

    function test_stoppingAMotionOnTheCentreClicks() {
        start();
        k.vision(3);
        compare(w.tm, 1);
        press();
        compare(w.mov, 1);
        compare(w.bm, 4);
        verify(child("tmouse").running);
        tick("tmouse", 3);
        tick("popot", 2);
        compare(w.tm, 3);
        wrap.clearCalls();
        press();
        verify(!child("tmouse").running || w.bm === 10);
        compare(w.mov, 0);
        compare(w.bm, 10);
        tick("tmouse");
        compare(wrap.callsOf(["cursor"]), ["cursor(10)"]);
    }

    function test_arrowsMoveThePointer_data() {
        return [
            { tag: "left", pos: 1, code: 4 },
            { tag: "up", pos: 2, code: 1 },
            { tag: "down", pos: 4, code: 3 },
            { tag: "right", pos: 5, code: 2 }
        ];
    }

    function test_arrowsMoveThePointer(data) {
        start();
        k.vision(3);
        // By the switch: the first press starts the motion.
        while (w.tm !== data.pos)
            tick("popot");
        press();
        compare([w.bm, w.mov], [data.code, 1]);
        tick("tmouse");
        compare(wrap.callsOf(["cursor"]).slice(-1)[0], "cursor(" + data.code + ")");
        press();
        compare(w.mov, 0);
        // By the pointer: a click starts the same motion and leaves the scan as it was.
        const arrow = child("m" + data.pos);
        tryVerify(() => arrow.width > 0 && arrow.height > 0, 2000, "the arrow was never laid out");
        w.bm = 0;
        mouseClick(arrow);
        compare([w.bm, w.mov], [data.code, 0]);
        verify(child("tmouse").running);
    }
}
