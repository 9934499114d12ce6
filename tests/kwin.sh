#!/usr/bin/env bash
# Runs a program in a headless KWin (kwin_wayland --virtual) with XWayland (session.sh), with a
# session bus. KWin grants its fake input to programs whose installed desktop file names it, with
# their executable as Exec: the program and kelo (KELO_EXECUTABLE) get such files in the run's own
# XDG_DATA_DIRS. Exits with the program's status; 77 (skipped) only when KWin cannot start.
#   kwin.sh PROGRAM [ARGS...]
set -euo pipefail
. "$(dirname "$0")/session.sh"
session_begin kwin kwin_wayland dbus-run-session
[ -n "${KELO_EXECUTABLE:-}" ] || { echo "KELO_EXECUTABLE must name kelo, for KWin to grant it" >&2; exit 1; }
kwin=$(command -v kwin_wayland)
# Its file capability cannot be granted in a container that lacks it: a copy has none, and
# KWin takes its own platform plugin only under its own name.
if ! "$kwin" --version >/dev/null 2>&1; then
    cp "$kwin" "$dir/bin/kwin_wayland"
    kwin=$dir/bin/kwin_wayland
fi
KELO_PROGRAM=$1 && shift
session_programs KELO_PROGRAM KELO_EXECUTABLE KELO_HEADSETSIM KELO_WAYLANDTARGET
mkdir -p "$dir/share/applications"
for var in KELO_PROGRAM KELO_EXECUTABLE; do # a desktop file that asks KWin for its fake input
    printf '[Desktop Entry]\nType=Application\nName=%s\nExec=%s\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n' \
        "$var" "$(readlink -f "${!var}")" >"$dir/share/applications/$var.desktop"
done
export KELO_INJECTION=${KELO_INJECTION:-kde} # the route the programs expect
session_pass KELO_INJECTION
printf '"$KELO_PROGRAM"%s\n' "$([ $# -eq 0 ] || printf ' %q' "$@")" >>"$dir/command"
printf '#!/bin/sh\necho started >%s/up\nsh %s/command >%s/out 2>&1\necho $? >%s/rc\n' \
    "$dir" "$dir" "$dir" "$dir" >"$dir/session"
chmod +x "$dir/session"
session_run XDG_DATA_DIRS="$dir/share:/usr/share" KWIN_COMPOSE=Q -- dbus-run-session -- "$kwin" \
    --virtual --xwayland --width 1280 --height 1024 --no-lockscreen --exit-with-session \
    "$dir/session" >"$dir/kwin.log" 2>&1
if [ ! -e "$dir/up" ]; then
    echo "SKIP: kwin_wayland --virtual cannot start here:" >&2
    tail -20 "$dir/kwin.log" >&2
    exit 77
fi
session_end kwin_wayland "$dir/kwin.log"
