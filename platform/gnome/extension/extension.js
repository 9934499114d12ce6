'use strict';
/* exported init */

// Kelo# on GNOME Shell 43 and 44, whose extensions are imports-style scripts; 45 and later load
// ES modules only and get ../module/extension.js with these scripts rewritten as modules. It
// types and points through the compositor's own virtual devices, as the on-screen keyboard does,
// and keeps Kelo#'s windows above every other one, fullscreen ones too, never holding the focus.

const {Clutter, Gio} = imports.gi;
const Me = imports.misc.extensionUtils.getCurrentExtension();
const {Service, shellOf} = Me.imports.service;
const {WindowKeeper} = Me.imports.windowkeeper;

class Extension {
    enable() {
        const seat = Clutter.get_default_backend().get_default_seat();
        this._keeper = new WindowKeeper(global);
        this._service = new Service(shellOf(global, Clutter, seat, this._keeper, log),
            Gio.DBus.session);
    }

    disable() {
        this._service?.destroy();
        this._keeper?.destroy();
        this._service = null;
        this._keeper = null;
    }
}

function init() {
    return new Extension();
}
