import QtQuick

KeloTestCase {
    name: "Pace"

    // n presses of one kind: an entry acted on (item), a group opened (open), Undo or Erase (fix),
    // the way back (back); a reaction of ms, at source, first after a restart.
    function presses(n, kind, ms, extra) {
        const e = extra || {};
        return Array(n).fill([e.source || "escape", kind, ms, !!e.first]);
    }
    // A press landed on the item after the wanted one, taken back at once with Undo.
    function late(n, ms) {
        let out = [];
        for (let i = 0; i < n; ++i)
            out = out.concat(presses(1, "item", ms), presses(1, "open", 300), presses(1, "fix", 300));
        return out;
    }

    // The pace rule: a step of 50 ms at most every four presses once twelve are known, towards the
    // 90th percentile and a quarter (50 ms at least), within the helper's bounds; back at once
    // after late presses (a lone one is a lapse).
    function test_rule_data() {
        const quick = presses(12, "item", 250);
        return [{ tag: "on time", s1v: 1000, run: presses(24, "item", 250), want: 800 },
                { tag: "too few presses", s1v: 1000, run: presses(11, "item", 250), want: 1000 },
                { tag: "a lone late press", s1v: 800, run: quick.concat(late(1, 250)), want: 750, late: 1 },
                { tag: "late, undone", s1v: 800, run: quick.concat(late(2, 250)), want: 800, late: 2 },
                { tag: "late, group left at once", s1v: 800, run: quick.concat(late(1, 250), presses(1, "open", 250), presses(1, "back", 400)), want: 800, late: 2 },
                { tag: "sudden slowing", s1v: 500, run: quick.concat(late(4, 700)), want: 600, late: 4 },
                { tag: "tired person", s1v: 1000, run: quick.concat(presses(28, "item", 600)), want: 750 },
                { tag: "change of source", s1v: 1000, run: quick.concat(presses(11, "item", 250, { source: "pad" })), want: 950 },
                { tag: "fastest bound", s1v: 1000, pacelow: 600, run: presses(48, "item", 250), want: 600 },
                { tag: "slowest bound", s1v: 700, pacehigh: 800, run: quick.concat(late(4, 900)), want: 800, late: 4 },
                { tag: "first item longer", s1v: 1000, run: presses(12, "item", 1300, { first: true }).concat(quick), want: 950, dwell: 110 },
                { tag: "fixed pace, suggested", s1v: 1000, fitpace: false, run: quick, want: 1000, suggested: 400 }];
    }
    // Through the window: a list's first entry is an item; its way back, right after the list
    // opened, marks the opening late.
    function test_pressKinds() {
        view(2, { fitpace: true });
        const late = () => w.pace().estimate("escape").late > 0;
        choose(1, 0);
        verify(!late(), "the first entry taken for the way back");
        [goTo(2), press(), tick("combot", 2), press()];
        compare([w.mov, late()], [0, true]);
    }
    function test_rule(data) {
        view(2, { s1v: data.s1v, fitpace: data.fitpace !== false, suggestpace: true,
                  pacelow: data.pacelow || 400, pacehigh: data.pacehigh || 3000 });
        const pace = w.pace();
        for (const [source, kind, ms, first] of data.run)
            pace.pressed(source, kind, ms, first);
        const e = pace.estimate("escape");
        compare([w.s1v, child("s1").value, Math.round(e.late * e.count), w.firstdwell],
                [data.want, data.want, data.late || 0, data.dwell || 100]);
        // The suggestion shows at the window's top; its entry takes it.
        if (data.suggested) {
            compare([w.suggested, child("suggestion").visible], [data.suggested, true]);
            mouseClick(child("takeSuggestion"));
            compare([w.s1v, child("suggestion").visible], [data.suggested, false]);
        }
        // Kept with the settings, and read back as they were.
        pace.save();
        const kept = w.pacestats;
        pace.load(kept);
        compare(JSON.stringify(pace.stats), kept);
    }

    // Stored estimates that are not lists of bounded numbers are dropped with one line.
    function test_stored_data() {
        return [{ tag: "not JSON", text: "{r:", warn: true },
                { tag: "out of range", text: '{"escape":{"r":[-5],"f":[],"l":[]}}', warn: true },
                { tag: "too long", text: JSON.stringify({ escape: { r: Array(41).fill(300), f: [], l: [] } }), warn: true },
                { tag: "sound", text: '{"escape":{"r":[300,500],"f":[],"l":[0,1]}}', count: 2 }];
    }
    function test_stored(data) {
        if (data.warn)
            ignoreWarning(/stored pace estimates are not readable/);
        view(2, { pacestats: data.text });
        compare([w.pace().estimate("escape").count, w.pacestats === ""], [data.count || 0, !!data.warn]);
    }

    // The switch reaches the pace's entry beside Slower and Faster, and back; its own two presses
    // count among those measured, and the scan follows.
    function test_switch() {
        view(2, { s1v: 1000 });
        choose(6, 9);
        compare([w.fitpace, w.notice], [true, "The pace follows you: 1000 ms now"]);
        for (let i = 0; i < 16; ++i)
            w.pace().pressed("escape", "item", 200, false);
        compare([w.s1v, child("s1").value], [900, 900]);
        choose(6, 9);
        compare(w.fitpace, false);
    }

    // The scan modes: held, the highlight moves and the release opens what is lit; the switch
    // key or the pad's step button steps and Escape picks; a press in the fast pass turns it
    // slowly back, the next picks.
    function test_modes_data() {
        const hold = () => { wrap.escDown = true; press(); }, release = () => { wrap.escDown = false; tick("devices"); };
        const step = () => press("keyPresses"), tock = () => { w.clock += 1000; tick("popot"); };
        return [{ tag: "hold to scan", mode: 1, run: [tock, hold, tock, tock, release], tk: 3 },
                { tag: "not held", mode: 1, run: [tock, tock], tk: 1, closed: true },
                { tag: "two switches", mode: 3, run: [step, step, tock, () => press()], tk: 3 },
                { tag: "two switches, the pad's step button alone", mode: 3, key: "", button: 5, run: [() => press("stepPresses"), tock, () => press()], tk: 2 },
                { tag: "two switches, none to step with", mode: 3, key: "", run: [tock, tock, () => press()], tk: 3 },
                { tag: "overscan", mode: 2, run: [tock, tock, tock, () => press(), tock, () => press()], tk: 3 },
                { tag: "overscan, slow pass over", mode: 2, run: [tock, tock, tock, () => press(), tock, tock, tock, tock, tock], tk: 2, closed: true }];
    }
    function test_modes(data) {
        view(2, { scanmode: data.mode, switchkey: data.key === undefined ? "F8" : data.key, stepbutton: data.button || -1, s1v: 1000, firstdwell: 100 });
        w.clock = 1000;
        compare(child("popot").interval, data.mode === 2 ? 500 : 1000);
        for (const act of data.run)
            act();
        compare([w.tk, w.mov], [data.tk, data.closed ? 0 : 1]);
    }

    // Point mode's sweeps: held to scan, the band stands while the switch is up, moves while it is
    // held, and the release takes it; with two switches they stand until stepped, a step moving
    // the band 150 px at 1000 ms (1200 px/s for an eighth of the period), and the pick takes the
    // stage on; in overscan they keep their own pace and one press takes it, with no slow way back.
    // Each act at a time: the switch up or down, or a step; band: where it is (moved: any move).
    function test_point_data() {
        const waited = [[2500, "up"], [5000, "up"]];
        return [{ tag: "held, the switch up", mode: 1, acts: waited, band: 0 },
                { tag: "held", mode: 1, acts: [[3000, "up"], [3100, "down"], [4000, "down"]], band: "moved", pick: [4100, "up"] },
                { tag: "three steps", mode: 3, acts: [[0, "step"], [300, "step"], [600, "step"], [3000, "up"]], band: 450, pick: [3000, "press"] },
                { tag: "no step, time passing", mode: 3, acts: waited, band: 0, pick: [5000, "press"] },
                { tag: "overscan", mode: 2, acts: waited, band: "moved", pick: [5000, "press"] }];
    }
    function test_point(data) {
        view(3, { scanmode: data.mode, switchkey: "F8", s1v: 1000, pointmode: true }, (bridge, win) => { win.clock = 0; bridge.pointerAt = Qt.point(1, 1); });
        const sweep = child("sweep");
        const act = ([t, what]) => {
            [w.clock, wrap.escDown] = [t, what === "down"];
            if (what === "step" || what === "press")
                press(what === "step" ? "keyPresses" : undefined);
            else
                tick("devices");
            tick("tpoint");
        };
        data.acts.forEach(act);
        verify(data.band === "moved" ? sweep.bandFrom > 0 : Math.abs(sweep.bandFrom - data.band) < 0.5, "band at " + sweep.bandFrom);
        if (data.pick) {
            act(data.pick);
            compare([w.pointing, sweep.stage, w.slowback], [1, 2, 0]);
        }
    }
}
