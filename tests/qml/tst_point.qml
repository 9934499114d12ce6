import QtQuick

KeloTestCase {
    name: "Point"

    // Point mode from the centre list; six presses 700 ms apart find a point.
    function found() {
        view(3, {}, (bridge, win) => { win.clock = 0; bridge.pointerAt = Qt.point(1, 1); });
        choose(3, 7);
        compare([w.pointing, child("overlay").visible], [1, true]);
        sweepTo();
    }
    function sweepTo() {
        for (let i = 0; i < 6; ++i, w.clock += 700)
            press();
        const p = child("sweep").point, o = child("overlay"), x = p.x - o.area.x, y = p.y - o.area.y;
        compare([w.pointing, calls(["pointAt"])], [2, ["pointAt(" + p.x + "," + p.y + ")"]]);
        verify(k.overlayParts().some(r => x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h), "no cross over the point");
    }

    function test_clickList_data() {
        return [{ tag: "double click", e: 2, sent: ["cursor(12)"] }, { tag: "held click, then its drop", e: 3, sent: ["cursor(13)"], again: 1, take: 1 },
                { tag: "cancel", e: 4, sent: [] }, { tag: "left click", e: 0, sent: ["cursor(10)"] }];
    }
    function test_clickList(data) {
        found();
        tick("combot", data.e);
        press();
        compare([calls(["cursor"]), w.pointing, w.take, child("overlay").visible], [data.sent, data.again || 0, data.take || 0, !!data.again]);
        if (data.take) { // any entry at the drop point lets go
            wrap.clearCalls();
            sweepTo();
            press();
            compare([calls(["cursor"]), w.take], [["cursor(14)"], 0]);
        }
    }

    // Every way out hides the overlay and lets go of a button held; a hold's release is no press.
    function test_cancel_data() {
        const take = () => { tick("combot", 3); press(); };
        const hold = () => {
            for (const [t, down] of [[0, true], [1100, true], [1150, false]]) {
                [wrap.clock, wrap.escDown] = [t, down];
                tick("devices");
            }
            compare(w.mov, 0, "the hold's release acted as a press");
        };
        return [{ tag: "held switch, button held", before: take, out: hold, sent: ["cursor(14)"] },
                { tag: "view change, button held", before: take, out: () => k.vision(1), sent: ["cursor(14)"] },
                { tag: "list left alone", before: () => tick("combot", 10), out: () => {}, sent: [] }];
    }
    function test_cancel(data) {
        found();
        data.before();
        wrap.clearCalls();
        data.out();
        compare([w.pointing, child("overlay").visible, calls(["cursor"])], [0, false, data.sent]);
    }
}
