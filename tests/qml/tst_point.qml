import QtQuick
import "qrc:/lang.js" as Lang

KeloTestCase {
    name: "Point"

    // The mouse view with point mode chosen from the centre list (or stored as its start), at
    // clock 0.
    function pointing(stored) {
        view(3, stored || {}, (bridge, win) => { win.clock = 0; bridge.pointerAt = Qt.point(1, 1); });
        if (!(stored && stored.pointmode))
            choose(3, 7);
        compare([w.pointing, child("overlay").visible, child("sweep").stage], [1, true, 1]);
    }

    // Six presses 700 ms apart: band, line and fine line on each axis.
    function found() {
        for (let i = 0; i < 6; ++i) {
            w.clock += 700;
            press();
        }
        const p = child("sweep").point;
        compare([w.pointing, calls(["pointAt"])], [2, ["pointAt(" + p.x + "," + p.y + ")"]]);
        // The cross drawn over the point lies in the overlay's shape.
        const o = child("overlay"), x = p.x - o.area.x, y = p.y - o.area.y;
        verify(k.overlayParts().some(r => x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h));
    }

    function test_clickList_data() {
        return [{ tag: "left click", e: 0, sent: ["cursor(10)"] }, { tag: "right click", e: 1, sent: ["cursor(11)"] },
                { tag: "double click", e: 2, sent: ["cursor(12)"] }, { tag: "held click, then its drop", e: 3, sent: ["cursor(13)"], again: 1, take: 1 },
                { tag: "cancel", e: 4, sent: [] }, { tag: "left click, point mode kept", e: 0, sent: ["cursor(10)"], again: 1, stored: { pointmode: true } }];
    }
    function test_clickList(data) {
        pointing(data.stored);
        found();
        tick("combot", data.e);
        press();
        tick("tmouse");
        compare([calls(["cursor"]), w.pointing, w.take, child("overlay").visible], [data.sent, data.again || 0, data.take || 0, !!data.again]);
        if (data.take) { // the drop point lets go
            wrap.clearCalls();
            found();
            press();
            tick("tmouse");
            compare([calls(["cursor"]), w.take], [["cursor(14)"], 0]);
        }
    }

    function test_cancel_data() {
        return [{ tag: "held switch", hold: true }, { tag: "held switch with a button held", hold: true, take: true },
                { tag: "view change", view: 2 }, { tag: "view change with a button held", view: 1, take: true },
                { tag: "list left alone" }];
    }
    // Every way out hides the overlay and lets go of a button held; a hold's release is no press.
    function test_cancel(data) {
        pointing();
        if (data.take) {
            found();
            tick("combot", 3);
            press();
            tick("tmouse");
        }
        wrap.clearCalls();
        if (data.hold) {
            wrap.heldMs = 1100;
            tick("devices");
            wrap.heldMs = 1150;
            press();
            wrap.heldMs = 0;
            tick("devices");
            compare(w.mov, 0, "the hold's release acted as a press");
        } else if (data.view) {
            k.vision(data.view);
        } else {
            found();
            tick("combot", 10);
        }
        tick("tmouse");
        compare([w.pointing, child("overlay").visible, calls(["cursor"])], [0, false, data.take ? ["cursor(14)"] : []]);
    }

    // The mouse view opens sweeping when that is stored.
    function test_opensPointing() {
        start({ pointmode: true, startup: 3 });
        tryCompare(w, "pointing", 1);
        k.vision(2);
        compare(w.pointing, 0);
    }

    function test_labels_data() {
        return ["en", "fr", "es", "de", "pt", "zh", "ja", "hr", "it"].map(code => ({ tag: code }));
    }
    function test_labels(data) {
        const own = Lang.tables[data.tag];
        verify([64, 65, 66].every(n => typeof own[n] === "string" && own[n].length > 0));
        compare(own[67].length, 6);
    }
}
