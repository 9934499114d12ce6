import QtQuick
import QtTest

// Starts the real window with a fresh or kept settings store, and fails a test on any warning
// the QML engine prints.
TestCase {
    property var w: null
    property var k: null
    property var wrap: null
    when: windowShown

    // What the QML engine says: a file location, a QML type, a binding loop or a script error.
    function init() {
        failOnWarning(/^(qrc:|file:|QML |<Unknown File>)|[Bb]inding loop|Error:|Unable to assign/);
    }

    function cleanup() {
        stop();
    }

    // Opens Kelo# as the program does and waits for its initialisation to show it; prepare,
    // when given, sets up the fake bridge before the window initialises.
    function start(keepStore, prepare) {
        if (!keepStore)
            store.clear();
        const component = Qt.createComponent("qrc:///main.qml");
        compare(component.status, Component.Ready, component.errorString());
        w = component.createObject(null);
        verify(w, "main.qml made no window");
        wrap = child("wrap");
        k = w.kel();
        if (prepare)
            prepare(wrap, w);
        tryVerify(() => w.visible && w.contentItem.width > 0, 2000, "init did not show the window");
    }

    // Starts Kelo# in view n (1 settings, 2 keyboard, 3 mouse) with no calls recorded yet.
    function view(n, keepStore, prepare) {
        start(keepStore, prepare);
        k.vision(n);
        compare(w.startup, n);
        wrap.clearCalls();
    }

    function stop() {
        if (!w)
            return;
        w.destroy();
        w = null;
        wait(0);
    }

    // Ticks of a timer, as if its periods had passed: none while it is stopped, and a
    // single-shot timer stops after its one.
    function tick(name, times) {
        const timer = child(name);
        for (let i = 0; i < (times === undefined ? 1 : times) && timer.running; ++i) {
            timer.triggered();
            if (!timer.repeat)
                timer.stop();
        }
    }

    // A switch press seen by the next poll.
    function press() {
        wrap.escPresses = 1;
        tick("devices");
        compare(wrap.escPresses, 0, "the poll did not take the press");
    }

    // Lets the outer scan run until position n of the view shown is highlighted.
    function goTo(n) {
        const at = () => w.startup === 3 ? w.tm : w.tk;
        for (let i = 0; i < 8 && at() !== n; ++i)
            tick("popot");
        compare(at(), n, "position " + n + " never came up");
    }

    // Opens group n, waits for entry e (0-based) and takes it.
    function choose(n, e) {
        goTo(n);
        press();
        compare(w.mov, 1);
        tick("combot", e);
        compare(w.ts1, e);
        press();
    }

    // A user's click on a checkable menu entry: the mark toggles, then the entry triggers.
    function toggle(entry) {
        entry.checked = !entry.checked;
        entry.triggered();
    }

    // Searches the visual tree too: items made by a Repeater are not QObject children.
    function child(name) {
        const found = findChild(w, name) || findChild(w.contentItem.parent, name);
        verify(found, "no child " + name);
        return found;
    }
}
