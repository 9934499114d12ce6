import QtQuick

KeloTestCase {
    name: "Devices"

    readonly property var twoCameras: [{ description: "", id: "/dev/video0" }, { description: "Cam B", id: "/dev/video2" }]

    // The Devices menu's entries as [text, kind, position, marked], their marks, a click on one.
    function entries() { return Array.from(child("l21").items, e => [e.text, e.type, e.dex, e.checked]); }
    function marks() { return entries().map(e => e[3]); }
    function click(n) { toggle(child("l21").items[n]); }

    function test_choiceSurvivesRestart_data() {
        return [{ tag: "camera", pick: 2, calls: ["coff()", "con(1)"], preview: true }, { tag: "pad", pick: 3, calls: ["coff()", "setjoy(0)"] },
                { tag: "headset", pick: 4, calls: ["coff()"], bars: true }, { tag: "none", pick: 0, calls: [] }];
    }
    // Each kind chosen, found again after a restart in which its device comes late (None alone
    // listed and marked till then).
    function test_choiceSurvivesRestart(data) {
        const all = (bridge, win) => { win.cameras = twoCameras; bridge.joysticks = ["Pad"]; bridge.headset = true; };
        start(false, all);
        compare(entries(), [["None", "none", 0, true], ["camera 0", "webcam", 1, false], ["Cam B", "webcam", 2, false],
                            ["Pad", "stick", 3, false], ["Headset", "headset", 4, false]]);
        click(data.pick);
        stop();
        start(true);
        compare([w.index, entries(), child("webcam").visible, child("winkBar").visible], [0, [["None", "none", 0, true]], false, false]);
        wrap.clearCalls();
        all(wrap, w);
        tick("devices", 3);
        compare([w.index, marks()[data.pick], calls(["coff", "con", "setjoy"])], [data.pick, true, data.calls]);
        compare([child("webcam").visible, child("winkBar").visible && child("signalBar").visible], [!!data.preview, !!data.bars]);
        stop();
        compare(store.value("index") || 0, data.pick); // None, the default, need not be written
        if (!data.preview)
            return;
        // The chosen camera goes: stopped and hidden, though the pad now holds its place.
        start(true, all);
        wrap.clearCalls();
        w.cameras = [twoCameras[0]];
        tick("devices");
        compare([w.index, calls(["coff", "con", "setjoy"]), child("webcam").visible], [0, ["coff()"], false]);
    }

    function test_choiceNamesADeviceNotAPosition() {
        // Stored by a run without cameras.
        start({ index: 1, source: "stick:Pad B" }, (bridge, win) => { win.cameras = twoCameras; bridge.joysticks = ["Pad A", "Pad B"]; });
        compare([w.index, calls(["con", "setjoy"])], [4, ["setjoy(1)"]]);
        // Pad A goes: B stays the switch.
        wrap.joysticks = ["Pad B"];
        tick("devices");
        compare([w.index, marks()], [3, [false, false, false, true]]);
        // B sleeps and wakes: the switch again, nobody choosing it.
        wrap.joysticks = [];
        tick("devices");
        compare([w.index, marks()], [0, [true, false, false]]);
        wrap.clearCalls();
        wrap.joysticks = ["Pad B"];
        tick("devices");
        compare([w.index, calls(["setjoy"])], [3, ["setjoy(0)"]]);
        stop();
        // Stored by an older version, as a position only: kept till the headset comes.
        start({ index: 2 }, bridge => { bridge.joysticks = ["Pad"]; });
        compare(w.index, 0);
        wrap.headset = true;
        tick("devices");
        compare([w.index, child("winkBar").visible], [2, true]);
        stop();
        compare(store.value("source"), "headset");
    }

    function test_camerasListedWhenNeeded_data() {
        return [{ tag: "first start", stored: {}, listed: false }, { tag: "pad", stored: { index: 2, source: "stick:Pad" }, listed: false },
                { tag: "pads of one name", stored: { index: 2, source: "stick:Pad" }, pads: ["Pad", "Pad"], listed: true },
                { tag: "camera", stored: { index: 1, source: "webcam:/dev/video9" }, listed: true }, { tag: "old position", stored: { index: 1 }, listed: true }];
    }
    // Listing the cameras starts the media back end: only for a choice that may need them, or the menu.
    function test_camerasListedWhenNeeded(data) {
        start(data.stored, bridge => { bridge.joysticks = data.pads || ["Pad"]; });
        compare(child("cameraList").active, data.listed);
        child("l21").aboutToShow();
        verify(child("cameraList").active);
    }
}
