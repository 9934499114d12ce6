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

    // Opens Kelo# as the program does and waits for its initialisation to show it.
    function start(keepStore) {
        if (!keepStore)
            store.clear();
        const component = Qt.createComponent("qrc:///main.qml");
        compare(component.status, Component.Ready, component.errorString());
        w = component.createObject(null);
        verify(w, "main.qml made no window");
        wrap = child("wrap");
        k = w.kel();
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

    // Searches the visual tree too: items made by a Repeater are not QObject children.
    function child(name) {
        const found = findChild(w, name) || findChild(w.contentItem.parent, name);
        verify(found, "no child " + name);
        return found;
    }
}
