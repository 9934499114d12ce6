import QtQuick
import QtTest

// Starts the real window and fails a test on any warning the QML engine prints.
TestCase {
    property var w: null
    property var k: null
    property var wrap: null
    when: windowShown

    // What the QML engine says: a file location, a QML type, a binding loop or a script error.
    function init() { failOnWarning(/^(qrc:|file:|QML |<Unknown File>)|[Bb]inding loop|Error:|Unable to assign/); }
    function cleanup() { stop(); }

    // Opens Kelo# on the settings kept (stored true), on none (a first start), or on only stored,
    // where the likeliest letters' group stays off unless asked for; prepare(bridge, window) first.
    function start(stored, prepare) {
        if (stored !== true) {
            store.clear();
            const given = stored === undefined ? {} : Object.assign({ likely: false }, stored);
            for (const key in given)
                store.setValue(key, given[key]);
        }
        const component = Qt.createComponent("qrc:///main.qml");
        compare(component.status, Component.Ready, component.errorString());
        w = component.createObject(null);
        wrap = child("wrap");
        k = w.kel();
        if (prepare)
            prepare(wrap, w);
        tryVerify(() => w.visible && w.contentItem.width > 0, 2000, "init did not show the window");
    }

    // Starts Kelo# in view n (1 settings, 2 keyboard, 3 mouse) with no calls recorded yet.
    function view(n, stored, prepare) { start(stored || {}, prepare); k.vision(n); wrap.clearCalls(); }

    function stop() {
        if (w)
            w.destroy();
        [w, wrap, k] = [null, null, null];
        wait(0);
    }

    // Ticks of a timer as if its periods had passed: none while stopped, one for a single shot.
    function tick(name, times) {
        const timer = child(name);
        for (let i = 0; i < (times === undefined ? 1 : times) && timer.running; ++i) {
            timer.triggered();
            timer.running = timer.running && timer.repeat;
        }
    }

    // A switch press from source (Escape unless named) seen by the next poll.
    function press(source) {
        wrap[source || "escPresses"] = 1;
        tick("devices");
        compare(wrap[source || "escPresses"], 0, "the poll did not take the press");
    }

    // Lets the outer scan run until position n of the view shown is highlighted.
    function goTo(n) {
        const at = () => w.startup === 3 ? w.tm : w.tk;
        for (let i = 0; i < 8 && at() !== n; ++i)
            tick("popot");
        compare(at(), n, "position " + n + " never came up");
    }

    // Where entry e (0-based) of an open list is lit: the way back comes third.
    function slot(e) { return e < 2 ? e : e + 1; }

    // Opens group n, waits for entry e and takes it.
    function choose(n, e) {
        goTo(n);
        press();
        tick("combot", slot(e));
        compare([w.mov, w.ts1], [1, slot(e)]);
        // The lit entry, as laid out, is whole in the window: lists scroll at large text sizes.
        const combo = child((w.startup === 3 ? "m" : "k") + n), list = combo.popup.contentItem, root = w.contentItem.parent;
        tryVerify(() => !isPolishScheduled(list) && !isPolishScheduled(list.parent), 2000);
        const lit = combo.model.get(slot(e)), at = lit.mapToItem(root, 0, 0);
        verify(at.x >= 0 && at.y >= 0 && at.x + lit.width <= root.width && at.y + lit.height <= root.height, lit.text + " is not whole in the window");
        press();
    }

    // The bridge calls so far whose name is one of names, as "name(args)".
    function calls(names) { return wrap.calls.filter(c => names.indexOf(c.split("(")[0]) >= 0); }

    // A user's click on a checkable menu entry: the mark toggles, then the entry triggers.
    function toggle(entry) { entry.checked = !entry.checked; entry.triggered(); }

    // Searches the visual tree too: items made by a Repeater are not QObject children.
    function child(name) {
        const found = findChild(w, name) || findChild(w.contentItem.parent, name);
        verify(found, "no child " + name);
        return found;
    }
}
