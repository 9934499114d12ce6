import QtQuick

KeloTestCase {
    name: "Mouse"

    // The pointer codes sent once the pointer timer has ticked n more times.
    function sent(n) { tick("tmouse", n); return calls(["cursor"]); }

    function test_arrows_data() {
        return [{ tag: "left, incremental", pos: 1, code: 4, increment: true }, { tag: "up", pos: 2, code: 1 },
                { tag: "down", pos: 4, code: 3 }, { tag: "right", pos: 5, code: 2 }];
    }
    // A press starts a motion, a step a tick, its arrow marked, the next stops it; Incremental Speed
    // speeds it up.
    function test_arrows(data) {
        view(3, { increment: !!data.increment });
        goTo(data.pos);
        press();
        const periods = [];
        for (let i = 0; i < 15; ++i, tick("tmouse"))
            periods.push(child("tmouse").interval);
        compare(periods, data.increment ? [20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 8, 8] : Array(15).fill(8));
        compare(calls(["cursor"]), Array(15).fill("cursor(" + data.code + ")"));
        const marked = () => [1, 2, 4, 5].filter(p => child("m" + p).running); // outlined
        compare(marked(), [data.pos], "the arrow running is not the one marked");
        press();
        compare([sent(1).length, w.mov, marked()], [15, 0, []], "the press did not stop the pointer");
    }

    // Accelerating arrows: a pixel more a step each 40 steps, capped at 8.
    function test_accelerating() {
        view(3, { accel: true });
        goTo(5);
        press();
        tick("tmouse", 400);
        compare(calls(["cursor"]).length, 40 * (1 + 2 + 3 + 4 + 5 + 6 + 7) + 120 * 8);
    }

    function test_centreList_data() {
        return [{ tag: "left click", e: 0, sent: ["cursor(10)"] }, { tag: "right click", e: 1, sent: ["cursor(11)"] },
                { tag: "double click", e: 2, sent: ["cursor(12)"] }, { tag: "held click", e: 3, sent: ["cursor(13)"], take: 1 },
                { tag: "move", e: 4, sent: [], done: () => w.x === 0 && w.y === 25 }, { tag: "pause", e: 5, sent: [], done: () => w.visibility === 3 },
                { tag: "Keyboard", e: 6, sent: [], done: () => w.startup === 2 && child("keyb").visible }];
    }
    function test_centreList(data) {
        view(3, { s3v: 2, l: "es" }); // the widest list at the largest text size
        choose(3, data.e);
        compare([sent(1), w.mov, w.take], [data.sent, 0, data.take || 0]);
        if (data.done)
            tryVerify(data.done, 2000);
    }

    function test_stopPress_data() {
        return [{ tag: "on the centre", stop: 3 }, { tag: "on the centre, button held", held: true, stop: 3 }];
    }
    // A held click, a motion and the press on the centre that stops it and lets go of the button.
    function test_stopPress(data) {
        view(3);
        if (data.held)
            choose(3, 3);
        sent(1);
        goTo(1);
        press();
        sent(1);
        goTo(3);
        press();
        compare(sent(2), data.held ? ["cursor(13)", "cursor(4)", "cursor(14)"] : ["cursor(4)"]);
        compare([w.mov, w.take, child("tmouse").running], [0, 0, false]);
    }

    function test_viewChange_data() {
        return [{ tag: "centre list open, to the keyboard", from: 3, at: 3, to: 2 }, { tag: "keyboard list open, to the mouse", from: 2, at: 1, to: 3 },
                { tag: "pointer moving, to the settings", from: 3, at: 1, to: 1 }, { tag: "button held, to the keyboard", from: 3, held: true, to: 2 }];
    }
    // A view change (as by the View menu) ends any held button, open list or motion; then a first
    // press.
    function test_viewChange(data) {
        view(data.from);
        if (data.held) {
            choose(3, 3);
            sent(1);
        } else {
            goTo(data.at);
            press();
            tick("combot", 2);
        }
        wrap.clearCalls();
        k.vision(data.to);
        compare(calls(["cursor"]), data.held ? ["cursor(14)"] : []);
        compare([w.mov, w.take, child("tmouse").running, child("combot").running, child(data.from === 3 ? "m3" : "k1").popup.visible],
                [0, 0, false, false, false]);
        press();
        compare([w.mov, calls(["text", "keyb"])], [data.to === 1 ? 0 : 1, []], "the press was not a first press");
    }
}
