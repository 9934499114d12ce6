#!/usr/bin/env bash
# Runs a program inside a headless sway with XWayland, as an unprivileged user (sway refuses
# root) with a private runtime folder; the machine's users stay as they are. Exits with the
# program's status.   sway.sh PROGRAM [ARGS...]
# Programs the unprivileged user cannot reach (a build folder closed to others) are copied into
# the private folder: PROGRAM, and those named by KELO_EXECUTABLE (with eyes.xml beside it),
# KELO_HEADSETSIM and KELO_WAYLANDTARGET, which the program is then given.
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
reachable() { env ${user[@]+setpriv "${user[@]}"} test -x "$1"; }
: >"$dir/command"
for var in KELO_EXECUTABLE KELO_HEADSETSIM KELO_WAYLANDTARGET; do
    path=${!var:-}
    [ -n "$path" ] || continue
    if ! reachable "$path"; then
        mkdir -p "$dir/bin/$var"
        cp "$path" "$dir/bin/$var/"
        [ ! -e "$(dirname "$path")/eyes.xml" ] || cp "$(dirname "$path")/eyes.xml" "$dir/bin/$var/"
        path=$dir/bin/$var/$(basename "$path")
    fi
    printf 'export %s=%q\n' "$var" "$path" >>"$dir/command"
done
# A sanitizer build's settings reach the program too.
for var in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS OPENCV_VIDEOIO_PRIORITY_GPHOTO2; do
    [ -z "${!var:-}" ] || printf 'export %s=%q\n' "$var" "${!var}" >>"$dir/command"
done
program=$1
shift
cat >"$dir/config" <<CONFIG
xwayland enable
output HEADLESS-1 resolution 1280x1024
# As the README advises for Kelo#: floating, so above the tiled windows, on every workspace;
# the focus not following the pointer onto it.
for_window [title="^Kelo#\$"] floating enable, sticky enable
focus_follows_mouse no
exec sh -c 'sh $dir/command >$dir/out 2>&1; echo \$? >$dir/rc; swaymsg exit'
CONFIG
chmod 700 "$dir/run"
if ! reachable "$program"; then
    mkdir -p "$dir/bin"
    cp "$program" "$dir/bin/"
    program=$dir/bin/$(basename "$program")
fi
printf '%q ' "$program" "$@" >>"$dir/command"
[ ${#user[@]} -eq 0 ] || chown -R 65534:65534 "$dir"
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
