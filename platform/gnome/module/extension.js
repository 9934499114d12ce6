// Kelo# on GNOME Shell 45 and later, which load extensions as ES modules: the build writes
// service.js and windowkeeper.js of ../extension beside this file as modules (see
// cmake/KeloGnomeModules.cmake); what they do is told there.

import Clutter from 'gi://Clutter';
import Gio from 'gi://Gio';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';
import {Service, shellOf} from './service.js';
import {WindowKeeper} from './windowkeeper.js';

export default class KeloExtension extends Extension {
    enable() {
        // From 47 on the seat is reached through the stage's context; 45 and 46 have only
        // Clutter's default backend, which later shells phase out.
        const backend = global.stage.context?.get_backend?.() ?? Clutter.get_default_backend();
        this._keeper = new WindowKeeper(global);
        this._service = new Service(shellOf(global, Clutter, backend.get_default_seat(),
            this._keeper, console.log), Gio.DBus.session);
    }

    disable() {
        this._service?.destroy();
        this._keeper?.destroy();
        this._service = null;
        this._keeper = null;
    }
}
