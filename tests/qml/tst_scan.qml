import QtQuick

KeloTestCase {
    name: "Scan"

    function test_outerCycle_data() {
        return [{ tag: "keyboard", view: 2, word: "", tk: [2, 3, 4, 5, 6, 1, 2] }, { tag: "keyboard with the pad", view: 2, word: "th", tk: [2, 3, 4, 5, 6, 7, 1] },
                { tag: "settings, a word typed", view: 1, word: "th", tk: [2, 3, 4, 5, 6, 1, 2] }];
    }
    // Both highlights step on every tick whatever the view; the pad joins only when it shows.
    function test_outerCycle(data) {
        view(data.view);
        w.lword = data.word;
        const tk = [], tm = [];
        for (let i = 0; i < 7; ++i, tk.push(w.tk), tm.push(w.tm))
            tick("popot");
        compare([tk, tm, child("popot").running, child("combot").running], [data.tk, [2, 3, 4, 5, 1, 2, 3], true, false]);
    }

    function test_listClosesItselfAfterTwoPasses() {
        view(2);
        goTo(2);
        press();
        const k2 = child("k2");
        compare([k2.popup.opened, child("combot").running, child("popot").running, w.mov, w.ts2, w.ts1, w.itext], [true, true, false, 1, 6, 0, "g"]);
        tick("combot", 13);
        compare([k2.popup.opened, w.ts1, w.itext], [true, 6, "l"], "closed before 2n periods");
        tick("combot");
        compare([k2.popup.opened, child("popot").running, child("combot").running, w.mov, w.tk, w.ts1], [false, true, false, 0, 2, -1],
                "the outer scan did not resume on the group");
        press();
        verify(k2.popup.opened, "the next press did not open the group again");
    }

    // Sources firing in one tick make one press; choosing a source resets the scan; a headset
    // blink counts once stronger than the mark on its bar, whatever the window's width.
    function test_poll() {
        view(2, false, bridge => { bridge.joysticks = ["Pad"]; bridge.headset = true; });
        toggle(child("l21").items[1]);
        wrap.escPresses = wrap.joyPresses = 1;
        tick("devices");
        compare([calls(["playSound"]).length, w.mov, w.stick, child("k1").popup.opened], [1, 1, 0, true]);
        toggle(child("l21").items[2]);
        compare([w.mov, child("k1").popup.opened], [0, false], "the reset left a list to act on");
        k.blinkThreshold(128);
        fuzzyCompare(child("level").width, child("winkBar").width / 2, 1);
        for (const [width, strength, mov] of [[w.width, 100, 0], [2 * w.width, 100, 0], [2 * w.width, 200, 1]]) {
            [w.width, wrap.headBlinks, wrap.winkValue] = [width, 1, strength];
            tick("devices");
            compare([wrap.headBlinks, w.mov], [0, mov], "blink of strength " + strength + " at width " + width);
        }
    }

    function test_slowRelease_data() {
        return [{ tag: "taken at down", store: {}, typed: "c" }, { tag: "at release, when asked", store: { pressdown: false }, typed: "d" },
                { tag: "held 500 ms, for what was lit at down", store: { holdtime: 500 }, typed: "c" },
                { tag: "held 500 ms, at release", store: { holdtime: 500, pressdown: false }, typed: "d" }];
    }
    // Escape goes down on "c"; the highlight moves on to "d" 600 ms later, the release comes at
    // 900 ms.
    function test_slowRelease(data) {
        view(2, data.store);
        const at = t => { w.clock = wrap.clock = t; tick("devices"); };
        const hold = (from, to) => { wrap.escDown = true; at(from); at(from + 600); wrap.escDown = false; at(to); };
        hold(0, 700);
        [w.clock = 800, tick("combot", 3)]; // from "a" past "b" and the way back to "c"
        compare([w.mov, w.itext], [1, "c"], "the list did not open");
        [wrap.escDown = true, at(1000), w.clock = 1600, tick("combot"), at(1600)];
        [wrap.escDown = false, at(1900)];
        compare(calls(["text"]), ["text(" + data.typed.toUpperCase() + ")"]); // a sentence start
    }

    function test_filters_data() {
        const lit = [true, true, true], steady = [1000, 1000, 1000, 1000];
        return [{ tag: "defaults", store: {}, clicks: [1, 2, 3], lit: lit, periods: steady },
                { tag: "sound off", store: { sound: false }, clicks: [0, 0, 0], lit: lit, periods: steady },
                { tag: "repeats within 300 ms", store: { debounce: 300 }, clicks: [1, 1, 2], lit: [true, false, true], periods: steady },
                { tag: "first item at 150 %", store: { firstdwell: 150 }, clicks: [1, 2, 3], lit: lit, periods: [1500, 1000, 1500, 1000] }];
    }
    // Presses at 0, 200 and 300 ms: one too soon is ignored; each taken lights the indicator and
    // clicks if sound is on. The first entry and the group lit after a press stay their share.
    function test_filters(data) {
        view(2, data.store);
        const periods = [];
        for (const [t, timer] of [[1000, "combot"], [2000, "popot"]]) {
            w.clock = wrap.clock = t;
            press();
            periods.push(child(timer).interval);
            tick(timer);
            periods.push(child(timer).interval);
        }
        wrap.clearCalls();
        const clicks = [], lit = [], input = child("input"), flash = child("flash");
        for (const [t, source] of [[5000, "escPresses"], [5200, "keyPresses"], [5300, "escPresses"]]) {
            w.clock = wrap.clock = t;
            press(source);
            clicks.push(calls(["playSound"]).length);
            lit.push(Qt.colorEqual(input.color, "darkorange") && flash.running);
            // Back to blue within a second in five steps: five redraws, not one a frame.
            tick("flash", 5);
            verify(Qt.colorEqual(input.color, "cornflowerblue") && !flash.running && flash.interval * 5 <= 1000, "the indicator did not fade back");
        }
        compare([clicks, lit, periods], [data.clicks, data.lit, data.periods]);
    }
}
