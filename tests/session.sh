# Sourced by sway.sh, kwin.sh and gnome.sh: a private folder for one headless session, run as an
# unprivileged user (compositors refuse root) from an empty environment; the machine's users stay
# as they are. The program to run is KELO_PROGRAM.
#   session_begin NAME TOOL...   checks the tools, makes $dir (run, home, tmp, bin) and $dir/command
#   session_programs VAR...      exports each program, copied in when the user cannot reach it
#   session_pass VAR...          exports the sanitizers' settings and these, where set
#   session_run NAME=VALUE... -- COMMAND...   as the user, wrapped by the array outer if set
#   session_end WHAT LOG...      prints the program's output and exits with its status
session_begin() {
    local name=$1 tool
    shift
    for tool in "$@" Xwayland setpriv; do
        command -v "$tool" >/dev/null || { echo "missing: $tool (./kelo.sh test installs it)" >&2; exit 1; }
    done
    user=(--reuid=65534 --regid=65534 --clear-groups)
    if [ "$(id -u)" -ne 0 ]; then
        user=() # already unprivileged
    else # the X sockets' folder as X servers ask for it, whoever made it first
        mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
    fi
    dir=$(mktemp -d "/tmp/kelo-$name.XXXXXX")
    [ -n "${KELO_KEEP:-}" ] || trap 'rm -rf "$dir"' EXIT
    mkdir -p "$dir/home" "$dir/tmp" "$dir/bin" && mkdir -m 700 "$dir/run"
    : >"$dir/command"
}
as_user() { env ${user[@]+setpriv "${user[@]}"} "$@"; }
# A build folder closed to others: the program is copied, eyes.xml with kelo.
session_programs() {
    local var path
    for var in "$@"; do
        path=${!var:-}
        [ -n "$path" ] || continue
        if ! as_user test -x "$path"; then
            mkdir -p "$dir/bin/$var"
            cp "$path" "$dir/bin/$var/"
            [ ! -e "$(dirname "$path")/eyes.xml" ] || cp "$(dirname "$path")/eyes.xml" "$dir/bin/$var/"
            path=$dir/bin/$var/$(basename "$path")
        fi
        printf -v "$var" %s "$path"
        printf 'export %s=%q\n' "$var" "$path" >>"$dir/command"
    done
}
session_pass() {
    local var
    for var in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS OPENCV_VIDEOIO_PRIORITY_GPHOTO2 "$@"; do
        [ -z "${!var:-}" ] || printf 'export %s=%q\n' "$var" "${!var}" >>"$dir/command"
    done
}
session_run() {
    local vars=()
    while [ "$1" != -- ]; do vars+=("$1") && shift; done
    shift
    [ ${#user[@]} -eq 0 ] || chown -R 65534:65534 "$dir"
    ${outer[@]+"${outer[@]}"} env -i PATH=/usr/bin:/bin HOME="$dir/home" TMPDIR="$dir/tmp" \
        XDG_RUNTIME_DIR="$dir/run" "${vars[@]}" ${user[@]+setpriv "${user[@]}"} "$@" || true
}
session_end() {
    cat "$dir/out" 2>/dev/null || true
    if [ ! -s "$dir/rc" ]; then
        echo "$1 ended before the program did:" >&2
        shift
        tail -n 20 "$@" >&2
        exit 1
    fi
    exit "$(cat "$dir/rc")"
}
