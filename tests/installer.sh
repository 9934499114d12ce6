#!/usr/bin/env bash
# installer.sh NSI ICON EXE CMAKE: the installer made from NSI around a stand-in payload (EXE as
# kelo.exe, a few files in folders), installed silently under wine ($WINEPREFIX) and uninstalled:
# what was there before stays, and nothing of Kelo#'s but its settings.
set -uo pipefail
nsi=$1 icon=$2 work=$(mktemp -d) c=$WINEPREFIX/drive_c failed=0
trap 'wineserver -k; rm -rf "$work"' EXIT
wineserver -w && wineserver -p # one server for every step, then each wine call is quick
fail() { echo "FAIL: $*" >&2; failed=1; }
create() { local f; for f in "${@:2}"; do mkdir -p "$(dirname "$1/$f")"; echo x >"$1/$f"; done; }
# The last, a name NSIS would read as a variable, in no code page.
create "$work/payload" platforms/qwindows.dll qml/QtQuick/Controls/qmldir 'qml/a $bé€ж.txt'
cp "$3" "$work/payload/kelo.exe"
makensis -V2 -DVERSION=0.1 -DVIVERSION=0.1.0.0 -DSOURCE="$work/payload" -DICON="$icon" \
    -DOUTFILE="$work/setup.exe" -DCMAKE="$4" "$nsi" >&2 || exit 1
reg() { wine reg "$@" >/dev/null 2>&1; }
# A value read back, tried thrice: a wine tool seen once failing to run is no verdict.
value() { local i; for i in 1 2 3; do reg query "$settings" /v width && return 0; sleep 1; done; return 1; }
run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run' settings='HKCU\Software\Tarvo Technologies\Kelo#'
cache=$(find "$c/users" -maxdepth 3 -name Local -path '*/AppData/*' | head -1)
[ -d "$cache" ] || { echo "FAIL: no AppData/Local under $c/users" >&2; exit 1; }
# What a failed run left.
rm -rf "$c"/{Tools,Again,Full,victim.txt} "$cache/Tarvo Technologies" \
    "$cache/../Roaming/Microsoft/Windows/Start Menu/Programs/Kelo#.lnk"
# All but wine's own folder and the temporary ones, which wine may touch at any time.
listing() { find "$c" \( -path "$c/windows" -o -path '*/Temp' \) -prune -o -print | sort; }

# name | the user's files before | /D | where Kelo# lands (none: refused) | the user's files
# added into Kelo#'s folder, then installed over
while IFS='|' read -r name before folder lands added; do
    create "$c" $before
    listing >"$work/before"
    [ -n "$added" ] && { wine "$work/setup.exe" /S "/D=C:\\$folder"; create "$c" $added; }
    create "$c" victim.txt
    for i in 1 2 3; do reg add "$settings" /v width /d 556 /f && break; sleep 1; done
    if wine "$work/setup.exe" /S "/D=C:\\$folder"; then
        [ -f "$c/${lands//\\//}/qml/a \$bé€ж.txt" ] || fail "$name: not installed into C:\\$lands"
        # What the program leaves: its cache and sign-in entry; a list line reaching outside.
        create "$cache" 'Tarvo Technologies/Kelo#/cache/qmlcache/main.qmlc'
        reg add "$run" /v 'Kelo#' /d "\"C:\\$lands\\kelo.exe\"" /f
        printf '..\\victim.txt\r\nC:\\victim.txt\r\n\\victim.txt\r\n' | iconv -t UTF-16LE \
            >>"$c/${lands//\\//}/installed-files.txt"
        wine "C:\\$lands\\uninstall.exe" /S
        # It goes on from a copy of itself, whose last step takes the cache's folders.
        for i in $(seq 100); do [ -e "$cache/Tarvo Technologies" ] && sleep 0.1; done
        sleep 0.5
    else
        [ "$lands" = none ] || fail "$name: refused"
    fi
    for f in victim.txt $added; do
        [ -f "$c/$f" ] && rm "$c/$f" || fail "$name: C:\\$f is gone"
        (cd "$c" && rmdir -p --ignore-fail-on-non-empty "$(dirname "$f")" 2>/dev/null)
    done
    listing | diff "$work/before" - >&2 || fail "$name: not as before"
    reg query "${run%Run}Uninstall\\Kelo#" && fail "$name: the uninstall entry stays"
    reg query "$run" /v 'Kelo#' && fail "$name: the sign-in entry stays"
    value && reg delete "$settings" /v width /f || fail "$name: the settings went"
done <<'EOF'
a folder holding a user's file|Tools/other.txt|Tools|Tools\Kelo#|
an earlier Kelo# given the user's files||Again|Again|Again/notes.txt Again/platforms/mine.dll
a folder and its Kelo# folder taken|Full/a.txt Full/Kelo#/b.txt|Full|none|
EOF
exit $failed
