#!/usr/bin/env bash
# Runs a program inside a headless sway with XWayland (session.sh). Exits with its status.
#   sway.sh PROGRAM [ARGS...]
# KELO_EXECUTABLE, KELO_HEADSETSIM and KELO_WAYLANDTARGET reach the program where it can run them.
set -euo pipefail
. "$(dirname "$0")/session.sh"
session_begin sway sway swaymsg grim
KELO_PROGRAM=$1 && shift
session_programs KELO_PROGRAM KELO_EXECUTABLE KELO_HEADSETSIM KELO_WAYLANDTARGET
session_pass
printf '"$KELO_PROGRAM"%s\n' "$([ $# -eq 0 ] || printf ' %q' "$@")" >>"$dir/command"
cat >"$dir/config" <<CONFIG
xwayland enable
output HEADLESS-1 resolution 1280x1024
# The pointer a test moves leaves the focus where the test put it.
focus_follows_mouse no
exec sh -c 'sh $dir/command >$dir/out 2>&1; echo \$? >$dir/rc; swaymsg exit'
CONFIG
session_run WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 -- \
    sway -c "$dir/config" >"$dir/sway.log" 2>&1
session_end sway "$dir/sway.log"
