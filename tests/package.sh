#!/usr/bin/env bash
# package.sh CPACK BUILD_DIR QT_QML_DIR QT_PLUGIN_DIR: the Debian package of the build, unpacked
# into a fresh root, checked (lintian among others), and the installed program started on
# $DISPLAY.
set -uo pipefail
cpack=$1 build=$2 qml=$3 plugins=$4 work=$(mktemp -d) pid=
trap '[ -n "$pid" ] && kill -KILL $pid 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; [ -s "$work/log" ] && cat "$work/log" >&2; exit 1; }
(cd "$build" && "$cpack" -G DEB -B "$work/out" >"$work/log" 2>&1) && rm "$work/log" || fail cpack
deb=$(ls "$work"/out/kelo_*.deb) root=$work/root
dpkg-deb -x "$deb" "$root" || fail "no .deb"
exe=$(readlink -f "$root/usr/bin/kelo") desktop=$root/usr/share/applications/kelo.desktop
[[ -x $exe && $exe == $root/usr/lib/* ]] || fail "usr/bin/kelo does not lead to the program"
[ -s "$(dirname "$exe")/eyes.xml" ] || fail "eyes.xml is not beside $exe"
# The camera's OpenCV half beside the program, whole; the program itself links no OpenCV.
cv=$(dirname "$exe")/kelocv.so
[ -f "$cv" ] && ! ldd "$cv" | grep -q 'not found' || fail "no loadable kelocv.so beside $exe"
readelf -d "$exe" | grep -q 'NEEDED.*opencv' && fail "$exe links OpenCV"
lintian --fail-on error,warning "$deb" >"$work/log" 2>&1 || fail "lintian"
rm "$work/log"
desktop-file-validate "$desktop" || fail "kelo.desktop is not valid"
# What software centres read: the metainfo file, valid and naming the .desktop file.
metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml 2>/dev/null)
appstreamcli validate --no-net "$metainfo" >"$work/log" 2>&1 || fail "the metainfo file is not valid"
grep -q "<launchable type=\"desktop-id\">kelo.desktop<" "$metainfo" || fail "the metainfo names no kelo.desktop"
for c in Utility Accessibility; do
    grep -Eq "^Categories=(.*;)?$c;" "$desktop" || fail "kelo.desktop is not under $c"
done
# KWin grants its fake input to the program whose desktop file names it and whose Exec, alone
# and absolute, resolves to the running executable.
exec=$(sed -n 's/^Exec=//p' "$desktop")
[[ $exec == /* && $(readlink -f "$root$exec") == "$exe" ]] || fail "Exec=$exec is not the program"
grep -qx 'X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input' "$desktop" || fail "no KWin interfaces"
icon=$root/usr/share/icons/hicolor/256x256/apps/$(sed -n 's/^Icon=//p' "$desktop").png
[ "$(od -An -tx1 -N24 "$icon" 2>/dev/null | tr -d ' \n')" = \
    89504e470d0a1a0a0000000d494844520000010000000100 ] || fail "no 256 x 256 PNG $icon"

# Every package named exists; X's platform plugin and every QML module the window loads, its
# style's and theirs (bar those built in or registered by the program) come from Depends.
depends=$(dpkg-deb -f "$deb" Depends)
for p in $(sed 's/([^)]*)//g; s/[,|]/ /g' <<<"$depends"); do
    dpkg-query -W "$p" &>/dev/null || apt-cache show "$p" &>/dev/null || fail "no package $p"
done
needs() { local o; o=$(dpkg -S "$1" | cut -d: -f1) || fail "no package holds $1"
    grep -Eq "(^|, )$o( |,|$)" <<<"$depends" || fail "$o ($1) is not in Depends"; }
needs "$plugins/platforms/libqxcb.so"
for lib in libwayland-client0 libxkbcommon0 libevdev2 xkb-data; do
    grep -Eq "(^|, )$lib( |,|$)" <<<"$depends" || fail "$lib is not in Depends"
done
rule=$root/usr/lib/udev/rules.d/70-kelo-uinput.rules
grep -q '^KERNEL=="uinput".*TAG+="uaccess"' "$rule" || fail "no udev rule opening /dev/uinput to the seat"
ext=$root/usr/share/gnome-shell/extensions/kelo@kelo.tarvo.example
grep -q '"uuid": "kelo@kelo.tarvo.example"' "$ext/metadata.json" && [ -f "$ext/extension.js" ] ||
    fail "no GNOME Shell extension in its folder"
[ "$(dpkg-deb -f "$deb" Recommends)" = "xwayland, at-spi2-core" ] || fail "xwayland and at-spi2-core are not recommended"
grep -q '^SUBSYSTEM=="input".*ID_INPUT_KEYBOARD}=="1".*TAG+="uaccess"' "$rule" \
    || fail "no udev rule opening the keyboards to the seat"
[ "$(cat "$root/usr/lib/modules-load.d/kelo.conf")" = uinput ] || fail "nothing loads uinput at boot"
# Installed or removed, the rules apply at once: udev reads them and tells the devices.
dpkg-deb -e "$deb" "$work/control" || fail "no control files"
for s in postinst postrm; do
    grep -q 'udevadm control --reload-rules' "$work/control/$s" && grep -q 'ID_INPUT_KEYBOARD=1' \
        "$work/control/$s" && sh -n "$work/control/$s" || fail "$s does not apply the rules at once"
done
todo="$(cat "$build/qml/main.qml" "$(dirname "$0")"/../qml/[A-Z]*.qml | sed -n 's/^import \([A-Z][A-Za-z.]*\).*/\1/p' | tr '\n' ' ')"
todo+=" QtQuick.Controls.Basic" seen=" "
while read -r m todo <<<"$todo" && [ -n "$m" ]; do
    [[ $seen == *" $m "* ]] && continue
    seen+="$m " dir=$qml/${m//.//}
    [ -f "$dir/qmldir" ] || continue
    needs "$dir/qmldir"
    todo+=" $(cat "$dir/qmldir" "$dir"/*.qml 2>/dev/null |
        sed -n 's/^\(import\|depends\) \([A-Z][A-Za-z.]*\).*/\2/p' | tr '\n' ' ')"
done

# The installed program, empty home: its window (title and process) has the icon; SIGTERM: 0.
mkdir -m 700 "$work/home" "$work/run"
HOME=$work/home XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb "$root/usr/bin/kelo" \
    >"$work/log" 2>&1 </dev/null &
pid=$! w=
for ((i = 0; i < 100 && ${#w} == 0; i++)); do
    kill -0 $pid 2>/dev/null || fail "kelo ended without a window" && sleep 0.2
    for w in $(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "Kelo#".*/\1/p') ""; do
        [ "$(xprop -id "$w" _NET_WM_PID 2>/dev/null)" = "_NET_WM_PID(CARDINAL) = $pid" ] && break
    done
done
[ -n "$w" ] || fail "no Kelo# window within 20 s"
xprop -id "$w" -len 8 _NET_WM_ICON | grep -q 'Icon (256 x 256)' || fail "the window has no icon"
grep -q 'eye cascade' "$work/log" && fail "the installed program cannot read its eyes.xml"
# Nobody chose a camera or pressed: neither OpenCV nor the media back end is loaded.
grep -m 3 -E '/lib(opencv|gst)[^/]*$' /proc/$pid/maps && fail "kelo loaded OpenCV or GStreamer at start"
kill -TERM $pid && timeout 10 tail --pid=$pid -f /dev/null || fail "kelo outlived SIGTERM by 10 s"
wait $pid; rc=$? pid=
[ $rc -eq 0 ] || fail "kelo exited with status $rc after SIGTERM"
echo "PASS: $(basename "$deb")"
