import QtQuick
import QtTest

// Starts the real window with a fresh or kept settings store, and fails a test on any warning
// the QML engine prints.
TestCase {
    id: base
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
        tryVerify(() => w.visible, 2000, "init did not show the window");
        return w;
    }

    function stop() {
        if (!w)
            return;
        w.destroy();
        w = null;
        wait(0);
    }

    // One tick of a timer, as if its period had passed.
    function tick(name, times) {
        const timer = child(name);
        for (let i = 0; i < (times === undefined ? 1 : times); ++i)
            timer.triggered();
    }

    // A switch press seen by the next poll.
    function press() {
        wrap.escPresses = 1;
        tick("devices");
        compare(wrap.escPresses, 0, "the poll did not take the press");
    }

    // Lets the outer scan run until group n is highlighted.
    function goTo(n) {
        for (let i = 0; i < 8 && w.tk !== n; ++i)
            tick("popot");
        compare(w.tk, n, "group " + n + " never came up");
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

    // Searches the visual tree too: items made by a Repeater are not QObject children.
    function child(name) {
        const found = findChild(w, name) || findChild(w.contentItem.parent, name);
        verify(found, "no child " + name);
        return found;
    }
}
