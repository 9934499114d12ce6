#!/usr/bin/env bash
# windowmanagers.sh KELO TST_POINTMODE: under each window manager, on an X server of its own,
# Kelo# started over a focused application leaves it the focus, asks for no attention and floats
# at its size; and a click on it leaves the focus with the application (clickOnWindow).
set -uo pipefail
kelo=$1 pointmode=$2 fails=0 work=$(mktemp -d) pids=()
trap 'kill ${pids[*]} 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL under $wm: $*" >&2; fails=$((fails + 1)); }
wait_for() { local i; for i in $(seq "${2:-50}"); do eval "$1" && return 0; sleep 0.1; done; return 1; }
managed() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }

managers=(openbox xfwm4 metacity mutter kwin_x11 i3)
for wm in "${managers[@]}"; do
    command -v "$wm" >/dev/null || { fail "$wm is not installed"; continue; }
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    pids+=($!)
    wait_for '[ -s "$work/display" ]' || { fail "no X server"; continue; }
    export DISPLAY=:$(tr -d '[:space:]' <"$work/display") HOME=$work/home-$wm
    rm -f "$work/display"
    case $wm in
    metacity | kwin_x11) start=(dbus-run-session "$wm" --replace) ;;
    mutter) start=(dbus-run-session mutter --x11 --replace) ;;
    xfwm4) start=(dbus-run-session xfwm4 --compositor=off) ;;
    i3) start=(i3 -c /dev/null) ;;
    *) start=("$wm") ;;
    esac
    # One that dies while starting (kwin_x11 once, in CI) has a second try; then it tells why.
    for try in 1 2; do
        "${start[@]}" >"$work/wm-$wm" 2>&1 &
        pids+=($!)
        wait_for "managed || ! kill -0 $! 2>/dev/null" 300 && managed && break
        kill $! 2>/dev/null # hung rather than dead: it would stand in the second one's way
    done
    managed || { fail "the window manager did not start; it said:"; tail -n 15 "$work/wm-$wm" >&2; }
    # The application in use: a large window that has the focus.
    xmessage -name editor -geometry 1200x900+0+0 "editor" >/dev/null 2>&1 &
    editorPid=$! pids+=($!)
    wait_for 'editor=$(xwininfo -root -tree | awk "/\"editor\"/ {print \$1; exit}"); [ -n "$editor" ]'
    sleep 1
    focus() { xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | awk '{print $NF}'; }
    before=$(focus)
    "$kelo" >"$work/log-$wm" 2>&1 &
    keloPid=$! pids+=($!)
    wait_for 'win=$(xwininfo -root -tree | awk "/\"Kelo#\".*556x230/ {print \$1; exit}"); [ -n "$win" ]' \
        || { fail "no 556 x 230 window titled Kelo# (tiled, or not shown)"; continue; }
    sleep 1.5
    xprop -id "$win" _NET_WM_STATE | grep -q DEMANDS_ATTENTION && fail "it demands attention"
    xprop -id "$win" WM_HINTS | grep -qi urgen && fail "its hints ask for attention"
    xprop -id "$win" WM_PROTOCOLS | grep -q WM_TAKE_FOCUS && fail "it offers to take the focus"
    [ "$(focus)" = "$before" ] || fail "the focus went from $before to $(focus)"
    kill "$keloPid" "$editorPid"
    wait "$keloPid" "$editorPid" 2>/dev/null
    KELO_EXECUTABLE=$kelo "$pointmode" clickOnWindow >"$work/click-$wm" 2>&1 \
        || { fail "a click on it kept the focus:"; grep -E "FAIL|Actual|Loc" "$work/click-$wm" >&2; }
    kill "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null; pids=()
done
[ $fails -eq 0 ] && echo "${#managers[@]} window managers: the focus stays, on start and on a click;" \
    "no attention asked; 556 x 230"
exit $((fails > 0))
