#!/usr/bin/env bash
# Runs a program inside a headless GNOME Shell (Wayland, with XWayland) with Kelo#'s extension
# from this tree turned on (session.sh), with a session bus and a system bus of its own. Exits
# with the program's status.   gnome.sh PROGRAM [ARGS...]
set -euo pipefail
. "$(dirname "$0")/session.sh"
session_begin gnome gnome-shell dbus-run-session dbus-daemon gdbus
uuid=kelo@kelo.tarvo.example
mkdir -p "$dir/home/.local/share/gnome-shell/extensions" "$dir/home/.config/glib-2.0/settings"
cp -r "$(dirname "$0")/../platform/gnome/extension" "$dir/home/.local/share/gnome-shell/extensions/$uuid"
# Settings from a key file: no dconf service needed.
cat >"$dir/home/.config/glib-2.0/settings/keyfile" <<KEYS
[org/gnome/shell]
enabled-extensions=['$uuid']
welcome-dialog-last-shown-version='999'
KEYS
KELO_PROGRAM=$1 && shift
session_programs KELO_PROGRAM KELO_EXECUTABLE KELO_HEADSETSIM KELO_WAYLANDTARGET
session_pass KELO_WAYLAND_WAY KELO_FULLSCREEN_TARGET KELO_INJECTION
printf '"$KELO_PROGRAM"%s\n' "$([ $# -eq 0 ] || printf ' %q' "$@")" >>"$dir/command"
# Inside the private session bus: a system bus of its own (the shell asks it for logind), the
# shell, and the program once the extension answers, the overview closed and XWayland up.
cat >"$dir/session" <<'SESSION'
set -u
dbus-daemon --config-file=/usr/share/dbus-1/session.conf --address="unix:path=$XDG_RUNTIME_DIR/system" \
    --fork --print-pid >"$XDG_RUNTIME_DIR/system.pid"
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/system
gnome-shell --headless --wayland --virtual-monitor 1280x1024 >"$DIR/shell.log" 2>&1 &
shell=$!
call() { gdbus call --session -d org.gnome.Shell "$@"; }
for ((i = 0; i < 100; i++)); do
    call -o /example/tarvo/kelo/Shell -m example.tarvo.kelo.Shell.Hello >/dev/null 2>&1 && break
    sleep 0.3
done
# The shell starts in its overview, which takes the keyboard; closed once it stays closed.
closed=0
for ((i = 0; i < 40 && closed < 3; i++)); do
    if call -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive |
        grep -q true; then
        closed=0
        call -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Set org.gnome.Shell \
            OverviewActive '<false>' >/dev/null
    else
        closed=$((closed + 1))
    fi
    sleep 0.5
done
x=
for ((i = 0; i < 50; i++)); do
    pid=$(pgrep -P $shell -x Xwayland) && x=$(tr '\0' '\n' <"/proc/$pid/cmdline" | grep -m1 '^:') &&
        auth=$(tr '\0' '\n' <"/proc/$pid/cmdline" | grep -A1 '^-auth$' | tail -n 1) && break
    sleep 0.2
done
# The pointer where a user's may be, in the middle; then the devices made for that call gone.
call -o /example/tarvo/kelo/Shell -m example.tarvo.kelo.Shell.MoveTo 640 512 >/dev/null
sleep 0.5
DISPLAY=$x XAUTHORITY=$auth WAYLAND_DISPLAY=wayland-0 sh "$DIR/command" >"$DIR/out" 2>&1
echo $? >"$DIR/rc"
kill $shell
wait $shell
kill "$(cat "$XDG_RUNTIME_DIR/system.pid")"
SESSION
# A network of its own when root can make one: the headset simulator's port is then the test's.
[ ${#user[@]} -eq 0 ] || outer=(unshare --net -- sh -c '/usr/sbin/ip link set lo up && exec "$@"' sh)
outer=(timeout 600 ${outer[@]+"${outer[@]}"})
session_run GSETTINGS_BACKEND=keyfile DIR="$dir" XDG_CURRENT_DESKTOP=GNOME -- \
    dbus-run-session -- bash "$dir/session" >"$dir/session.log" 2>&1
session_end "GNOME Shell" "$dir/shell.log" "$dir/session.log"
