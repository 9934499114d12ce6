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
        compare([k2.popup.opened, child("combot").running, child("popot").running, w.mov, w.ts2, w.ts1, w.itext], [true, true, false, 1, 6, 0, "« back"]);
        tick("combot", 13);
        compare([k2.popup.opened, w.ts1, w.itext], [true, 6, "l"], "closed before 2n periods");
        tick("combot");
        compare([k2.popup.opened, child("popot").running, child("combot").running, w.mov, w.tk, w.ts1], [false, true, false, 0, 2, -1],
                "the outer scan did not resume on the group");
        press();
        verify(k2.popup.opened, "the next press did not open the group again");
    }

    // Sources firing in one tick make one press; choosing a source resets the scan; a headset
    // blink counts once past the blink bar's mark.
    function test_poll() {
        view(2, false, bridge => { bridge.joysticks = ["Pad"]; bridge.headset = true; });
        toggle(child("l21").items[1]);
        wrap.escPresses = wrap.joyPresses = 1;
        tick("devices");
        compare([calls(["playSound"]).length, w.mov, w.stick, child("k1").popup.opened], [1, 1, 0, true]);
        toggle(child("l21").items[2]);
        compare([w.mov, child("k1").popup.opened], [0, false], "the reset left a list to act on");
        child("level").width = child("winkBar").width / 2;
        [wrap.headBlinks, wrap.winkValue] = [1, 100];
        tick("devices");
        compare([wrap.headBlinks, w.mov], [1, 0], "a weak blink was taken");
        wrap.winkValue = 200;
        tick("devices");
        compare([wrap.headBlinks, w.mov], [0, 1], "a strong blink was not taken");
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
            w.clock = t;
            press();
            periods.push(child(timer).interval);
            tick(timer);
            periods.push(child(timer).interval);
        }
        wrap.clearCalls();
        const clicks = [], lit = [], input = child("input"), flash = child("flash");
        for (const [t, source] of [[5000, "escPresses"], [5200, "keyPresses"], [5300, "escPresses"]]) {
            w.clock = t;
            press(source);
            clicks.push(calls(["playSound"]).length);
            lit.push(Qt.colorEqual(input.color, "darkorange") && flash.running);
            flash.complete();
            verify(Qt.colorEqual(input.color, "cornflowerblue"), "the indicator did not fade back");
        }
        compare([clicks, lit, periods], [data.clicks, data.lit, data.periods]);
    }
}
