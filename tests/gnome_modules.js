// The extension as GNOME Shell 45 and later load it, as ES modules (the build's gnome-modules
// folder), its shell-only imports given stand-ins: enabled, it serves the bus; a caller's key
// and pointer reach the seat's devices, within the stage; what a caller holds is let go when it
// leaves; disabled, the service is gone; no shell before 45 is offered it.   gjs -m gnome_modules.js FOLDER   (on a session bus)
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';

const folder = Gio.File.new_for_path(ARGV[0]).get_path(), dir = `${folder}-tried`;
GLib.mkdir_with_parents(dir, 0o700);
const write = (name, text) => GLib.file_set_contents(`${dir}/${name}`, text);
for (const name of ['service.js', 'windowkeeper.js'])
    Gio.File.new_for_path(`${folder}/${name}`).copy(Gio.File.new_for_path(`${dir}/${name}`), Gio.FileCopyFlags.OVERWRITE, null, null);
const [, entry] = GLib.file_get_contents(`${folder}/extension.js`);
write('extension.js', new TextDecoder().decode(entry)
    .replace("'gi://Clutter'", "'./clutter.js'")
    .replace("'resource:///org/gnome/shell/extensions/extension.js'", "'./shell.js'"));
write('shell.js', 'export class Extension { constructor(metadata) { this.metadata = metadata; } }');
const seen = [];
globalThis.kelo = {seat: {create_virtual_device: type => ({
    notify_keyval: (t, key, state) => seen.push(`${type} key ${key} ${state}`),
    notify_absolute_motion: (t, x, y) => seen.push(`${type} to ${x},${y}`),
    run_dispose: () => seen.push(`${type} gone`),
})}};
write('clutter.js', `export default {InputDeviceType: {KEYBOARD_DEVICE: 'keyboard', POINTER_DEVICE: 'pointer'},
    get_default_backend: () => ({get_default_seat: () => globalThis.kelo.seat})};`);
globalThis.global = {stage: {width: 800, height: 600}, get_pointer: () => [10, 20, 0],
    get_window_actors: () => [], display: {connect: () => 1, disconnect() {}, focus_window: null}};

const {default: KeloExtension} = await import(`file://${dir}/extension.js`);
const extension = new KeloExtension({uuid: 'kelo@kelo.tarvo.example'});
extension.enable();
const connect = () => Gio.DBusConnection.new_for_address_sync(Gio.dbus_address_get_for_bus_sync(Gio.BusType.SESSION, null),
    Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, null, null);
let caller = connect();
const call = (method, types, args) => new Promise((done, failed) => caller.call(Gio.DBus.session.get_unique_name(),
    '/example/tarvo/kelo/Shell', 'example.tarvo.kelo.Shell', method, types ? new GLib.Variant(types, args) : null,
    null, Gio.DBusCallFlags.NONE, 2000, null, (c, result) => {
        try { done(c.call_finish(result).deepUnpack()); } catch (e) { failed(e); }
    }));
const wait = ms => new Promise(done => GLib.timeout_add(GLib.PRIORITY_DEFAULT, ms, () => done() ?? false));
const check = (what, got, want) => { // a failure ends gjs with an error
    if (JSON.stringify(got) !== JSON.stringify(want))
        throw new Error(`${what}: got ${JSON.stringify(got)}, want ${JSON.stringify(want)}`);
};
const [, metadata] = GLib.file_get_contents(`${folder}/metadata.json`);
check('shells', JSON.parse(new TextDecoder().decode(metadata))['shell-version'].filter(v => v < 45), []);
check('Hello', await call('Hello'), [1]);
await call('Key', '(ub)', [0x61, true]);
await call('MoveTo', '(ii)', [5000, -3]);
const refused = (...args) => call(...args).then(() => 'taken', e => e.message.replace(/.*\.Error\./, '').split(':')[0]);
check('no such key', await refused('Key', '(ub)', [0, true]), 'InvalidArgs');
check('Pointer', await call('Pointer'), [10, 20]);
caller.close_sync(null);
await wait(500);
check('devices', seen, ['keyboard key 97 1', 'pointer to 799,0', 'keyboard key 97 0', 'keyboard gone', 'pointer gone']);
extension.disable();
caller = connect();
check('after disable', await refused('Hello'), 'UnknownMethod');
print('the extension as modules: served, released, gone');
