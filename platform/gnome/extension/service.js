'use strict';
/* exported Service, OBJECT_PATH, INTERFACE_NAME, shellOf */

// The D-Bus face of the extension: keys and pointer events for Kelo#, each caller with virtual
// devices of its own, so whatever a caller holds down is let go when it leaves the bus. No GNOME
// Shell module is imported here: `shell` brings the seat and the windows (see extension.js).

const {Gio, GLib} = imports.gi;

var OBJECT_PATH = '/example/tarvo/kelo/Shell';
var INTERFACE_NAME = 'example.tarvo.kelo.Shell';
const VERSION = 1;

const INTERFACE = `<node>
  <interface name="${INTERFACE_NAME}">
    <method name="Hello">
      <arg type="u" direction="out" name="version"/>
    </method>
    <method name="Key">
      <arg type="u" direction="in" name="keyval"/>
      <arg type="b" direction="in" name="press"/>
    </method>
    <method name="Button">
      <arg type="u" direction="in" name="button"/>
      <arg type="b" direction="in" name="press"/>
    </method>
    <method name="MoveTo">
      <arg type="i" direction="in" name="x"/>
      <arg type="i" direction="in" name="y"/>
    </method>
    <method name="MoveBy">
      <arg type="i" direction="in" name="dx"/>
      <arg type="i" direction="in" name="dy"/>
    </method>
    <method name="Pointer">
      <arg type="i" direction="out" name="x"/>
      <arg type="i" direction="out" name="y"/>
    </method>
    <method name="Keep"/>
  </interface>
</node>`;

// Clutter's key and button states.
const RELEASED = 0;
const PRESSED = 1;
// Clutter's buttons: primary, middle, secondary.
const BUTTONS = [1, 2, 3];
// Past the largest keysym (Unicode keysyms end at 0x110ffff).
const KEYVAL_END = 0x1110000;

var Service = class {
    // shell: keyboard() and pointer() make virtual devices (Clutter's notify_keyval,
    // notify_button, notify_absolute_motion); position() and size() give the pointer and the
    // stage in logical pixels; keep(pid) and forget(pid) hold a program's windows above and
    // unfocused; log(text).
    constructor(shell, bus) {
        this._shell = shell;
        this._bus = bus;
        this._callers = new Map();
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._object.export(bus, OBJECT_PATH);
    }

    destroy() {
        for (const sender of [...this._callers.keys()])
            this._leave(sender);
        this._object.unexport();
    }

    // The caller's devices, made at its first call; watched so they go when it does.
    _caller(sender) {
        let caller = this._callers.get(sender);
        if (!caller) {
            // Made at once: the seat offers its clients a keyboard and a pointer only while
            // it has such devices.
            caller = {keyboard: this._shell.keyboard(), pointer: this._shell.pointer(),
                keys: new Set(), buttons: new Set(), pid: 0};
            caller.watch = Gio.bus_watch_name_on_connection(this._bus, sender,
                Gio.BusNameWatcherFlags.NONE, null, () => this._leave(sender));
            this._callers.set(sender, caller);
        }
        return caller;
    }

    _leave(sender) {
        const caller = this._callers.get(sender);
        if (!caller)
            return;
        this._callers.delete(sender);
        Gio.bus_unwatch_name(caller.watch);
        const time = GLib.get_monotonic_time();
        for (const keyval of caller.keys)
            caller.keyboard.notify_keyval(time, keyval, RELEASED);
        for (const button of caller.buttons)
            caller.pointer.notify_button(time, button, RELEASED);
        // The devices go once the shell's input thread has taken those releases.
        GLib.timeout_add(GLib.PRIORITY_DEFAULT, 200, () => {
            caller.keyboard.run_dispose();
            caller.pointer.run_dispose();
            return GLib.SOURCE_REMOVE;
        });
        if (caller.pid)
            this._shell.forget(caller.pid);
    }

    _fail(invocation, text) {
        invocation.return_dbus_error(`${INTERFACE_NAME}.Error.InvalidArgs`, text);
    }

    HelloAsync(_params, invocation) {
        invocation.return_value(new GLib.Variant('(u)', [VERSION]));
    }

    KeyAsync([keyval, press], invocation) {
        if (keyval === 0 || keyval >= KEYVAL_END) {
            this._fail(invocation, `no such keysym: ${keyval}`);
            return;
        }
        const caller = this._caller(invocation.get_sender());
        // A key is released only by the caller that holds it, and once.
        if (!press && !caller.keys.has(keyval)) {
            invocation.return_value(null);
            return;
        }
        caller.keyboard.notify_keyval(GLib.get_monotonic_time(), keyval, press ? PRESSED : RELEASED);
        if (press)
            caller.keys.add(keyval);
        else
            caller.keys.delete(keyval);
        invocation.return_value(null);
    }

    ButtonAsync([button, press], invocation) {
        if (!BUTTONS.includes(button)) {
            this._fail(invocation, `no such button: ${button}`);
            return;
        }
        const caller = this._caller(invocation.get_sender());
        if (press || caller.buttons.has(button)) {
            caller.pointer.notify_button(GLib.get_monotonic_time(), button,
                press ? PRESSED : RELEASED);
        }
        if (press)
            caller.buttons.add(button);
        else
            caller.buttons.delete(button);
        invocation.return_value(null);
    }

    // Places on the stage, kept within it; steps from where the pointer really is, so that no
    // pointer acceleration bends them.
    MoveToAsync([x, y], invocation) {
        this._moveTo(invocation, x, y);
    }

    MoveByAsync([dx, dy], invocation) {
        const [x, y] = this._shell.position();
        this._moveTo(invocation, x + dx, y + dy);
    }

    _moveTo(invocation, x, y) {
        const [width, height] = this._shell.size();
        const caller = this._caller(invocation.get_sender());
        const within = (v, size) => Math.max(0, Math.min(v, size - 1));
        caller.pointer.notify_absolute_motion(GLib.get_monotonic_time(), within(x, width),
            within(y, height));
        invocation.return_value(null);
    }

    PointerAsync(_params, invocation) {
        const [x, y] = this._shell.position();
        invocation.return_value(new GLib.Variant('(ii)', [Math.round(x), Math.round(y)]));
    }

    // The caller's windows, now and later, stay above and never keep the focus. The caller is
    // known by the bus, not by what it says.
    KeepAsync(_params, invocation) {
        const sender = invocation.get_sender();
        this._bus.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
            'GetConnectionUnixProcessID', new GLib.Variant('(s)', [sender]),
            new GLib.VariantType('(u)'), Gio.DBusCallFlags.NONE, -1, null, (bus, result) => {
                try {
                    const [pid] = bus.call_finish(result).deepUnpack();
                    const caller = this._caller(sender);
                    caller.pid = pid;
                    this._shell.keep(pid);
                    invocation.return_value(null);
                } catch (e) {
                    this._shell.log(`no process for ${sender}: ${e.message}`);
                    invocation.return_gerror(e);
                }
            });
    }
};

// What the service needs of the running shell, the same for every shell version: virtual devices
// of the seat, the pointer and the stage (global), the keeper of Kelo#'s windows. Clutter comes
// from the caller: shells import it each in their own way.
function shellOf(global, Clutter, seat, keeper, log) {
    const {KEYBOARD_DEVICE, POINTER_DEVICE} = Clutter.InputDeviceType;
    return {
        keyboard: () => seat.create_virtual_device(KEYBOARD_DEVICE),
        pointer: () => seat.create_virtual_device(POINTER_DEVICE),
        position: () => global.get_pointer(),
        size: () => [global.stage.width, global.stage.height],
        keep: pid => keeper.keep(pid),
        forget: pid => keeper.forget(pid),
        log: text => log(`Kelo#: ${text}`),
    };
}
