'use strict';
/* exported WindowKeeper */

// Keeps the windows of chosen processes above every other window, on every workspace (Mutter
// stacks "above" windows over fullscreen ones too), and gives the keyboard focus back to the
// window that had it whenever one of them takes it: for a person who types through Kelo#, the
// focus is the application's. Their actors stay where the compositor put them: moving them into
// the top window group gained nothing and the shell was seen to crash when such a window went.
var WindowKeeper = class {
    constructor(shell) {
        this._global = shell;
        this._pids = new Set();
        this._held = new Map(); // window: what was changed on it and its handlers
        this._other = null; // the last focused window not held
        const display = shell.display;
        this._handlers = [
            display.connect('window-created', (d, window) => this._created(window)),
            display.connect('notify::focus-window', () => this._focused()),
        ];
        this._focused();
    }

    destroy() {
        this._handlers.forEach(id => this._global.display.disconnect(id));
        this._handlers = [];
        for (const window of [...this._held.keys()])
            this._release(window);
        this._forgetOther();
    }

    keep(pid) {
        this._pids.add(pid);
        for (const actor of this._global.get_window_actors()) {
            const window = actor.meta_window;
            if (!this._held.has(window) && window.get_pid() === pid)
                this._hold(window);
        }
    }

    forget(pid) {
        this._pids.delete(pid);
        for (const window of [...this._held.keys()]) {
            if (window.get_pid() === pid)
                this._release(window);
        }
    }

    // A new window's process may be known only once it is mapped: looked at now and when shown.
    _created(window) {
        if (this._held.has(window) || !this._pids.size)
            return;
        if (this._pids.has(window.get_pid())) {
            this._hold(window);
            return;
        }
        const id = window.connect('shown', () => {
            window.disconnect(id);
            if (!this._held.has(window) && this._pids.has(window.get_pid()))
                this._hold(window);
        });
    }

    _hold(window) {
        const state = {above: false, sticky: false, handlers: []};
        if (!window.is_override_redirect()) {
            state.above = !window.is_above();
            state.sticky = !window.is_on_all_workspaces();
            window.make_above();
            window.stick();
        }
        state.handlers.push(window.connect('unmanaging', () => this._release(window, true)));
        this._held.set(window, state);
        if (window.has_focus())
            this._focused();
    }

    _release(window, gone = false) {
        const state = this._held.get(window);
        if (!state)
            return;
        this._held.delete(window);
        state.handlers.forEach(id => window.disconnect(id));
        if (gone)
            return;
        if (state.above)
            window.unmake_above();
        if (state.sticky)
            window.unstick();
    }

    _forgetOther() {
        if (this._other)
            this._other.window.disconnect(this._other.id);
        this._other = null;
    }

    _focused() {
        const window = this._global.display.focus_window;
        if (!window)
            return;
        if (!this._held.has(window)) {
            if (this._other?.window === window)
                return;
            this._forgetOther();
            const id = window.connect('unmanaging', () => this._forgetOther());
            this._other = {window, id};
            return;
        }
        if (this._other)
            this._other.window.focus(this._global.display.get_current_time_roundtrip());
    }
};
