import QtQuick

KeloTestCase {
    name: "Devices"

    function entries() {
        const items = child("l21").items, out = [];
        for (let i = 0; i < items.length; ++i)
            out.push([items[i].text, items[i].type, items[i].dex, items[i].checked]);
        return out;
    }

    function test_onlyNoneWithoutDevices() {
        start();
        compare(entries(), [["None", "none", 0, true]]);
        compare(child("webcam").visible, false);
        compare(child("winkBar").visible, false);
        // A blink from no chosen camera is taken and dropped, not pressed.
        k.vision(2);
        wrap.blinks = 1;
        tick("devices");
        compare(wrap.blinks, 0);
        compare(w.mov, 0);
    }

    function test_joystickEntriesAndChoice() {
        store.clear();
        store.setValue("index", 2);
        start(true, bridge => { bridge.joysticks = ["Pad A", "Pad B"]; bridge.headset = true; });
        compare(entries(), [["None", "none", 0, false], ["Pad A", "stick", 1, false],
                            ["Pad B", "stick", 2, true], ["Headset", "headset", 3, false]]);
        compare(wrap.callsOf(["setjoy", "coff"]), ["coff()", "setjoy(1)"]);
        compare(child("winkBar").visible, false);
        // Choosing the headset shows its bars and stops a camera.
        const headset = child("l21").items[3];
        headset.checked = true;
        headset.triggered();
        compare(w.index, 3);
        verify(child("winkBar").visible && child("signalBar").visible);
        compare(entries().map(e => e[3]), [false, false, false, true]);
    }

    function test_unpluggedJoystickFallsBackToNone() {
        store.clear();
        store.setValue("index", 1);
        start(true, bridge => { bridge.joysticks = ["Pad"]; });
        compare(w.index, 1);
        k.vision(2);
        tick("devices");
        wrap.joysticks = [];
        tick("devices");
        compare(w.index, 0);
        compare(entries(), [["None", "none", 0, true]]);
        // Escape still works as the switch.
        press();
        compare(w.mov, 1);
    }
}
