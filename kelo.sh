#!/usr/bin/env bash
# Set-up, build and start of Kelo# on Debian 12.
#   ./kelo.sh run    install what is missing, build, start Kelo#
#   ./kelo.sh test   install what is missing, build, run every test headless (Xvfb, wine)
#   ./kelo.sh soak   the same, then half an hour of random switch presses (KELO_SOAK_MINUTES,
#                    KELO_SEED)
#   ./kelo.sh asan   like test, built with AddressSanitizer and UndefinedBehaviorSanitizer in
#                    build-asan (KELO_BUILD_DIR)
#   ./kelo.sh windows  cross-build kelo.exe with mingw-w64 (its dependencies once, from Debian's
#                    sources, into ~/.cache/kelo-windows), make the zip and the installer in
#                    build-windows (KELO_WINDOWS_BUILD_DIR), run them under wine; all at low
#                    priority (it says at its start what the first run takes)
#   ./kelo.sh wine   start that kelo.exe under wine, in a prefix of its own, as on Windows
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"

BUILD=${KELO_BUILD_DIR:-build}

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-declarative-dev qt6-multimedia-dev qt6-qpa-plugins
    qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-templates
    qml6-module-qtquick-window qml6-module-qtquick-shapes qml6-module-qtqml-models
    qml6-module-qtqml-workerscript qml6-module-qtmultimedia qml6-module-qt-labs-platform
    qml6-module-qttest
    libgl1-mesa-dri libgl-dev libegl-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    qt6-speech-dev flite1-dev
    libopencv-dev
    opencv-data
    libsdl2-dev libx11-dev libxtst-dev libxi-dev
    libwayland-dev wayland-protocols plasma-wayland-protocols libxkbcommon-dev libevdev-dev
    libglib2.0-dev libdbus-1-dev
)
WINDOWS_PACKAGES=(dpkg-dev xz-utils libz-mingw-w64-dev qt6-shader-baker qt6-shadertools-dev
    qt6-declarative-dev-tools g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix)
TEST_PACKAGES=(xvfb x11-utils x11-xserver-utils openbox xfwm4 metacity mutter kwin-x11 i3-wm dbus g++-mingw-w64-x86-64-posix wine wine64 nsis
    desktop-file-utils lintian appstream sway kwin-wayland xwayland grim pulseaudio pulseaudio-utils libpulse-dev
    at-spi2-core zenity gnome-shell gjs libglib2.0-bin procps iproute2 util-linux)

install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local as=(env)
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null \
            || { echo "Installing ${missing[*]} needs root or sudo." >&2; exit 1; }
        as=(sudo env)
    fi
    echo "Installing: ${missing[*]}"
    "${as[@]}" apt-get update -q
    "${as[@]}" DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}

build() {
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$BUILD" -j2
}

# A private X server with a window manager, for as long as this script runs.
start_x() {
    local out
    out=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out" >/dev/null 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 100); do
        [ -s "$out" ] && break
        sleep 0.1
    done
    [ -s "$out" ] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(tr -d '[:space:]' <"$out")"
    rm -f "$out"
    openbox >/dev/null 2>&1 &
    WM_PID=$!
    trap 'kill $WM_PID $XVFB_PID 2>/dev/null || true' EXIT
}

case "${1:-}" in
run)
    install_missing "${PACKAGES[@]}"
    build -DKELO_TESTS=OFF
    shift
    exec "$BUILD/kelo" "$@"
    ;;
test)
    install_missing "${PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    build -DKELO_TESTS=ON
    start_x
    ctest --test-dir "$BUILD" --output-on-failure --timeout 600 -LE "windows"
    ;;
soak)
    install_missing "${PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    build -DKELO_TESTS=ON
    start_x
    "$BUILD/bench/bench_soak"
    ;;
asan)
    install_missing "${PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    BUILD=${KELO_BUILD_DIR:-build-asan}
    build -DKELO_TESTS=ON -DKELO_SANITIZE=ON
    start_x
    ctest --test-dir "$BUILD" --output-on-failure --timeout 900 -LE "windows"
    ;;
windows)
    # Everything from here on, kelo.exe under wine and the Linux test build included, gives way
    # to a person's other work.
    renice -n 19 -p $$ >/dev/null
    ionice -c 3 -p $$ 2>/dev/null || true
    if ! ls "${KELO_WINDEPS_CACHE:-$HOME/.cache/kelo-windows}"/*/stamps/all >/dev/null 2>&1; then
        cat <<'EOF'
The first run cross-builds Qt 6.4.2, SDL2 and OpenCV for Windows into ~/.cache/kelo-windows
(KELO_WINDEPS_CACHE): about an hour and a half on two cores, at the lowest priority, and
several GB of disk. It needs deb.debian.org (KELO_DEBIAN_MIRROR) for Debian's source packages;
where those of qtdeclarative and qtspeech cannot be fetched, Qt's own release tarballs in
KELO_QT_SOURCES (README: "Building for Windows on Debian"). An interrupted run resumes where it
stopped; later runs take minutes.
EOF
    fi
    install_missing "${PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
    DEPS=$(tools/windows/builddeps.sh)
    WBUILD=${KELO_WINDOWS_BUILD_DIR:-build-windows}
    KELO_WINDEPS=$DEPS cmake -S . -B "$WBUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELO_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$DEPS/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/platform/win32/mingw.cmake" \
        -DSDL2_DIR="$DEPS/lib/cmake/SDL2" -DOpenCV_DIR="$DEPS" \
        -DKELO_EYE_CASCADE="$DEPS/share/opencv4/haarcascades/haarcascade_eye.xml" >/dev/null
    KELO_WINDEPS=$DEPS cmake --build "$WBUILD" -j2 --target windows-package
    build -DKELO_TESTS=ON -DKELO_WINDOWS_BUILD="$(readlink -f "$WBUILD")"
    start_x
    ctest --test-dir "$BUILD" --output-on-failure -L windows
    echo "To try it under wine: ./kelo.sh wine"
    ;;
wine)
    # The zip's kelo.exe in a prefix of its own, at low priority. Qt asks for Windows' dialog
    # font, Tahoma, which Debian's wine lacks: mapped to DejaVu Sans, as the Windows test maps it,
    # rather than the thin serif wine would fall back to.
    renice -n 19 -p $$ >/dev/null
    install_missing wine wine64 fonts-dejavu-core
    WBUILD=${KELO_WINDOWS_BUILD_DIR:-build-windows}
    exe=$(ls "$WBUILD"/kelo-*-win64/kelo.exe 2>/dev/null | tail -1)
    [ -n "$exe" ] || { echo "No $WBUILD/kelo-*-win64/kelo.exe: ./kelo.sh windows makes it." >&2; exit 1; }
    export WINEPREFIX=${WINEPREFIX:-$(readlink -m "$WBUILD/wineprefix")} WINEDEBUG=-all \
        WINEDLLOVERRIDES=mscoree,mshtml=
    [ -f "$WINEPREFIX/system.reg" ] || wineboot -i
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Tahoma /t REG_SZ /d 'DejaVu Sans' /f \
        >/dev/null
    shift
    exec wine "$exe" "$@"
    ;;
*)
    echo "usage: $0 run|test|soak|asan|windows|wine" >&2
    exit 2
    ;;
esac
