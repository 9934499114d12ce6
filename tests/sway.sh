#!/usr/bin/env bash
# Runs a program inside a headless sway with XWayland, as an unprivileged user (sway refuses
# root) with a private runtime folder; the machine's users stay as they are. Exits with the
# program's status.   sway.sh PROGRAM [ARGS...]
set -euo pipefail
for tool in sway Xwayland setpriv swaymsg; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (./kelo.sh test installs it)" >&2; exit 1; }
done
user=(--reuid=65534 --regid=65534 --clear-groups)
if [ "$(id -u)" -ne 0 ]; then
    user=() # already unprivileged
fi
dir=$(mktemp -d /tmp/kelo-sway.XXXXXX)
[ -n "${KELO_KEEP:-}" ] || trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/run" "$dir/home" "$dir/tmp"
printf '%q ' "$@" >"$dir/command"
cat >"$dir/config" <<CONFIG
xwayland enable
output HEADLESS-1 resolution 1280x1024
# As the README advises for Kelo#: floating, so above the tiled windows, on every workspace;
# the focus not following the pointer onto it.
for_window [title="^Kelo#\$"] floating enable, sticky enable
focus_follows_mouse no
exec sh -c 'sh $dir/command >$dir/out 2>&1; echo \$? >$dir/rc; swaymsg exit'
CONFIG
[ ${#user[@]} -eq 0 ] || chown -R 65534:65534 "$dir"
chmod 700 "$dir/run"
if ! env ${user[@]+setpriv "${user[@]}"} test -x "$1"; then
    echo "the unprivileged user cannot run $1: its folders must be readable by others" >&2
    exit 1
fi
env -i PATH=/usr/bin:/bin HOME="$dir/home" TMPDIR="$dir/tmp" XDG_RUNTIME_DIR="$dir/run" \
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    ${user[@]+setpriv "${user[@]}"} sway -c "$dir/config" >"$dir/sway.log" 2>&1 || true
cat "$dir/out" 2>/dev/null || true
if [ ! -s "$dir/rc" ]; then
    echo "sway ended before the program did:" >&2
    tail -20 "$dir/sway.log" >&2
    exit 1
fi
exit "$(cat "$dir/rc")"
