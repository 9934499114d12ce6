import QtQuick

KeloTestCase {
    name: "Devices"

    readonly property var twoCameras: [{ description: "", id: "/dev/video0" },
                                       { description: "Cam B", id: "/dev/video2" }]

    function entries() {
        const items = child("l21").items, out = [];
        for (let i = 0; i < items.length; ++i)
            out.push([items[i].text, items[i].type, items[i].dex, items[i].checked]);
        return out;
    }

    function marks() {
        return entries().map(e => e[3]);
    }

    function click(n) {
        toggle(child("l21").items[n]);
    }

    function test_noneAloneAndStaleBlinks() {
        start();
        compare(entries(), [["None", "none", 0, true]]);
        verify(!child("webcam").visible && !child("winkBar").visible);
        // A blink from no chosen camera is taken and dropped, not pressed.
        k.vision(2);
        wrap.blinks = 1;
        tick("devices");
        compare(wrap.blinks, 0);
        compare(w.mov, 0);
    }

    // Each kind chosen, then found again after a restart in which its device comes late, as
    // the headset service and slow cameras do.
    function test_choiceSurvivesRestart_data() {
        return [
            { tag: "camera", pick: 2, calls: ["coff()", "con(1)"], preview: true, bars: false },
            { tag: "pad", pick: 3, calls: ["coff()", "setjoy(0)"], preview: false, bars: false },
            { tag: "headset", pick: 4, calls: ["coff()"], preview: false, bars: true },
            { tag: "none", pick: 0, calls: ["coff()"], preview: false, bars: false }
        ];
    }

    function test_choiceSurvivesRestart(data) {
        const all = (bridge, win) => {
            win.cameras = twoCameras;
            bridge.joysticks = ["Pad"];
            bridge.headset = true;
        };
        start(false, all);
        compare(entries(), [["None", "none", 0, true], ["camera 0", "webcam", 1, false],
                            ["Cam B", "webcam", 2, false], ["Pad", "stick", 3, false],
                            ["Headset", "headset", 4, false]]);
        click(data.pick);
        compare(w.index, data.pick);
        stop();

        start(true);
        compare(w.index, 0);
        wrap.clearCalls();
        all(wrap, w);
        tick("devices", 3);
        compare(w.index, data.pick);
        compare(marks()[data.pick], true);
        compare(wrap.callsOf(["coff", "con", "setjoy"]), data.pick === 0 ? [] : data.calls);
        compare(child("webcam").visible, data.preview);
        compare(child("winkBar").visible && child("signalBar").visible, data.bars);
        stop();
        compare(store.value("index"), data.pick);
    }

    function test_choiceNamesADeviceNotAPosition() {
        // Stored by a run without cameras, and by an older version as a position only.
        store.clear();
        store.setValue("index", 1);
        store.setValue("source", "stick:Pad B");
        start(true, (bridge, win) => { win.cameras = twoCameras; bridge.joysticks = ["Pad A", "Pad B"]; });
        compare(w.index, 4);
        compare(wrap.callsOf(["con", "setjoy"]), ["setjoy(1)"]);
        // Pad A goes: B stays the switch.
        wrap.joysticks = ["Pad B"];
        tick("devices");
        compare(w.index, 3);
        compare(marks(), [false, false, false, true]);
        // B sleeps and wakes: the switch again, nobody choosing it.
        wrap.joysticks = [];
        tick("devices");
        compare(w.index, 0);
        verify(marks()[0]);
        wrap.clearCalls();
        wrap.joysticks = ["Pad B"];
        tick("devices");
        compare(w.index, 3);
        compare(wrap.callsOf(["setjoy"]), ["setjoy(0)"]);
        stop();

        store.clear();
        store.setValue("index", 2);
        start(true, bridge => { bridge.joysticks = ["Pad"]; });
        compare(w.index, 0);
        wrap.headset = true;
        tick("devices");
        compare(w.index, 2);
        verify(child("winkBar").visible);
        stop();
        compare(store.value("source"), "headset");
    }

    function test_goneCameraStopsWhateverNowHoldsItsPlace() {
        start(false, (bridge, win) => { win.cameras = twoCameras; bridge.joysticks = ["Pad"]; });
        click(2);
        verify(child("webcam").visible);
        wrap.clearCalls();
        w.cameras = [twoCameras[0]];
        tick("devices");
        compare(w.index, 0);
        compare(wrap.callsOf(["coff", "con", "setjoy"]), ["coff()"]);
        verify(!child("webcam").visible);
    }

    function test_clickingTheSelectedEntryOnlyUnmarksIt() {
        start(false, bridge => { bridge.joysticks = ["Pad"]; });
        click(1);
        wrap.clearCalls();
        click(1);
        compare(marks(), [false, false]);
        compare(w.index, 1);
        compare(wrap.callsOf(["coff", "con", "playSound"]), []);
        child("l21").aboutToShow();
        compare(marks(), [false, true]);
        compare(wrap.callsOf(["coff", "con"]), []);
    }

    function test_choosingWhileMinimised() {
        start(false, bridge => { bridge.joysticks = ["Pad"]; });
        w.visibility = 3;
        tryCompare(w, "visibility", 3);
        click(1);
        compare(w.visibility, 2);
        compare(w.index, 1);
        compare(wrap.callsOf(["setjoy"]), ["setjoy(0)"]);
    }
}
