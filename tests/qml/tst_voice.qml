import QtQuick

KeloTestCase {
    name: "Voice"

    // The period's range; Slower and Faster change it by one 50 ms step, and show it.
    function test_period_data() {
        return [{ tag: "slower", s1v: 1000, entry: 7, want: 1050 }, { tag: "faster", s1v: 4000, entry: 8, want: 3950 },
                { tag: "slower at the top", s1v: 5000, entry: 7, want: 5000 }, { tag: "faster at the floor", s1v: 250, entry: 8, want: 250 },
                { tag: "stored off a step", s1v: 333, entry: 8, want: 300 }, { tag: "stored past the top: the default", s1v: 90000, entry: 8, want: 950 }];
    }
    function test_period(data) {
        view(2, { s1v: data.s1v });
        const s1 = child("s1");
        compare([s1.from, s1.to, s1.stepSize], [250, 5000, 50]);
        choose(6, data.entry);
        compare([w.s1v, s1.value, child("popot").interval, w.notice], [data.want, data.want, data.want, "Scan period " + data.want + " ms"]);
    }

    // Each highlight announced once settled: groups by first and last entries, entries by name,
    // or a sound each; a view with nothing to say hushes.
    function test_scan_data() {
        return [{ tag: "off", audscan: 0, want: [] },
                { tag: "spoken", audscan: 1, want: ["say(G to L)", "say(M to R)", "say(M)", "say(N)", "say(back)", "hush()"] },
                { tag: "cue", audscan: 2, want: ["cue()", "cue()", "cue()", "cue()", "cue()", "cue()"] },
                { tag: "password field: entries cued", audscan: 1, password: true, want: ["say(G to L)", "say(M to R)", "cue()", "cue()", "cue()", "hush()"] }];
    }
    function test_scan(data) {
        view(2, { audscan: data.audscan, sound: false }, wrap => wrap.password = !!data.password);
        for (const step of [() => tick("popot"), () => tick("popot"), press, () => tick("combot"), () => tick("combot"), () => k.vision(1)]) {
            step();
            wait(0);
        }
        compare(calls(["say", "cue", "hush"]), data.want);
    }

    // "Speak" says the sentence typed or just ended; with each word said, a word ended by a space.
    function test_speak_data() {
        const a = [1, 0], b = [1, 1], c = [1, 2], stop = [5, 1], erase = [5, 3], space = [5, 0];
        return [{ tag: "after a full stop", typed: [a, b, stop, c], want: ["say(c)"] },
                { tag: "a sentence just ended", typed: [a, b, stop], want: ["say(ab.)"] },
                { tag: "erased", typed: [a, b, erase], want: ["say(a)"] },
                { tag: "each word", typed: [a, b, space], speakword: true, want: ["say(ab)", "say(ab)"] },
                { tag: "password field", typed: [a, b, space], speakword: true, password: true, want: ["say()"] }];
    }
    function test_speak(data) {
        view(2, { speakword: !!data.speakword, autocaps: false }, wrap => wrap.password = !!data.password);
        for (const [group, entry] of data.typed)
            choose(group, entry);
        choose(5, 11);
        compare(calls(["say"]), data.want);
    }

    // Choosing the switch key or the pad's step button: taken once released, a key kept from
    // applications; Escape or six idle seconds keep the old one. Meanwhile keys reach no
    // application (a pad button: they do) and no press counts.
    function test_capture_data() {
        const held = set => ["holdKeyboard(true)"].concat(set, "holdKeyboard(false)");
        return [{ tag: "F8", held: ["", "F8", "F8", ""], want: "F8", set: held(["setKey(F8,1)"]) },
                { tag: "Escape", held: [""], escape: true, want: "Pause", set: held([]) },
                { tag: "too late", held: ["", ""], late: true, want: "Pause", set: held([]) },
                { tag: "pad button 3", pad: true, held: [-1, 2, 2, -1], want: 2, set: ["setStepButton(2)", "holdKeyboard(false)"] },
                { tag: "pad, Escape", pad: true, held: [-1], escape: true, want: 4, set: ["holdKeyboard(false)"] }];
    }
    function test_capture(data) {
        view(1, { switchkey: "Pause", stepbutton: 4 });
        w.clock = 1000;
        child(data.pad ? "l196" : "l131").triggered();
        compare(w.notice, data.pad ? "Press the game pad button that will step (6 s). Escape cancels." : "Press the key to use as the switch (6 s). Escape cancels.");
        for (const key of data.held) {
            wrap[data.pad ? "buttonHeld" : "keyHeld"] = key;
            if (data.late)
                w.clock += 5100;
            tick("devices");
        }
        if (data.escape)
            press();
        compare([data.pad ? w.stepbutton : w.switchkey, calls(["setKey", "setStepButton", "holdKeyboard"]), w.startup, w.grabkey], [data.want, data.set, 1, data.want === "F8"]);
        verify(w.notice !== "" && w.notice.indexOf("(") < 0, w.notice);
        press();
        compare([w.startup, child("keyb").visible], [2, true], "a press after the capture did not open the keyboard");
    }
}
