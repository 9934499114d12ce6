#!/usr/bin/env bash
# Cross-builds Kelo#'s Windows dependencies (Qt, SDL2, OpenCV) with mingw-w64 from Debian's
# source packages, into a cache keyed by the versions that matter. Prints the prefix at the end.
#   tools/windows/builddeps.sh            build what is missing, print the prefix
#   tools/windows/builddeps.sh --prefix   only print the prefix the current versions would use
# KELO_WINDEPS_CACHE (default ~/.cache/kelo-windows) holds sources, build folders and prefixes;
# KELO_QT_SOURCES a folder of Qt's *-everywhere-src-<version>.tar.xz for modules whose Debian
# tarball cannot be fetched; KELO_DEBIAN_MIRROR the archive (default deb.debian.org).
# Every step leaves a stamp when done, so an interrupted run resumes where it stopped.
set -euo pipefail
REPO=$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)
CACHE=${KELO_WINDEPS_CACHE:-$HOME/.cache/kelo-windows}
MIRROR=${KELO_DEBIAN_MIRROR:-http://deb.debian.org/debian}
QT_SOURCES=${KELO_QT_SOURCES:-$REPO/../shared/vendor}
TOOLCHAIN=$REPO/platform/win32/mingw.cmake
MINGW=/usr/x86_64-w64-mingw32
JOBS=${KELO_WINDEPS_JOBS:-2}
# Raised whenever the options below change what gets built.
RECIPE=1

# Qt's own release tarballs (download.qt.io/official_releases/qt/6.4/6.4.2/submodules/) of the
# modules whose Debian tarballs some mirrors lack.
QT_RELEASE_SUMS=(
    "a4bdd983de4e9cbca0f85b767dbdd8598711554e370a06da8f509ded4430f5bd  qtdeclarative-everywhere-src-6.4.2.tar.xz"
    "a9c99f8d34d6f500abf64c9aebdd41f01e746bcf54ff62ad006662400cb494cb  qtspeech-everywhere-src-6.4.2.tar.xz"
)

# Debian source package, and the module folder name Qt's own tarballs use.
PACKAGES=(qt6-base qt6-shadertools qt6-declarative qt6-multimedia qt6-speech libsdl2 opencv)

log() { echo "[$(date +%H:%M:%S)] $*" >&2; }
die() { echo "builddeps: $*" >&2; exit 1; }

APT=(-o Dir::Etc::SourceList="$CACHE/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
     -o Dir::State::Lists="$CACHE/apt/lists" -o Dir::Cache="$CACHE/apt/cache"
     -o APT::Get::Only-Source=true)

apt_lists() {
    mkdir -p "$CACHE/apt/lists/partial" "$CACHE/apt/cache/archives/partial"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $MIRROR bookworm main" \
        >"$CACHE/apt/sources.list"
    # A day-old list is good enough; the versions it names form the cache key.
    if [ -z "$(find "$CACHE/apt/lists" -maxdepth 1 -name '*Sources*' -mmin -1440 2>/dev/null)" ]; then
        log "reading the source package lists from $MIRROR"
        apt-get "${APT[@]}" -q update >&2 || die "apt-get update of the source lists failed"
    fi
}

src_version() {
    apt-cache "${APT[@]}" showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -1
}

gcc_version() { x86_64-w64-mingw32-g++-posix -dumpversion; }
host_qt() { sed -n 's/.*PACKAGE_VERSION "\([0-9.]*\)".*/\1/p' /usr/lib/x86_64-linux-gnu/cmake/Qt6/Qt6ConfigVersionImpl.cmake | head -1; }

cache_key() {
    [ -n "$(host_qt)" ] || die "the host's Qt 6 tools were not found (qt6-base-dev)"
    local p v parts=("r$RECIPE" "gcc$(gcc_version)" "hostqt$(host_qt)")
    for p in "${PACKAGES[@]}"; do
        v=$(src_version "$p")
        [ -n "$v" ] || die "no source package $p in $MIRROR bookworm"
        parts+=("$p=$v")
    done
    printf '%s\n' "${parts[@]}" >"$CACHE/key.txt"
    echo "$(printf '%s\n' "${parts[@]}" | sha256sum | cut -c1-12)"
}

# Unpacks the source of $1 into $SRC/$1 (Debian's package, patches applied), or Qt's tarball of
# module $2 when Debian's cannot be fetched.
fetch() {
    local pkg=$1 module=${2:-} dest=$SRC/$1
    [ -f "$dest/.unpacked" ] && return 0
    rm -rf "$dest" "$SRC/dl-$pkg"
    mkdir -p "$SRC/dl-$pkg"
    log "fetching the source of $pkg"
    if (cd "$SRC/dl-$pkg" && apt-get "${APT[@]}" -q source "$pkg" >&2); then
        local dir
        dir=$(find "$SRC/dl-$pkg" -mindepth 1 -maxdepth 1 -type d | head -1)
        [ -n "$dir" ] || die "apt-get source $pkg unpacked nothing"
        mv "$dir" "$dest"
    else
        [ -n "$module" ] || die "the source of $pkg could not be fetched"
        local ver tarball
        ver=$(host_qt)
        tarball=$QT_SOURCES/$module-everywhere-src-$ver.tar.xz
        [ -f "$tarball" ] || die "$pkg: Debian's source could not be fetched and $tarball is missing (set KELO_QT_SOURCES)"
        # The folder's own SHA256SUMS when it names the file, else Qt's release tarball's sum.
        local sums
        sums=$(grep -s " \*\?$(basename "$tarball")\$" "$QT_SOURCES/SHA256SUMS") \
            || sums=$(printf '%s\n' "${QT_RELEASE_SUMS[@]}" | grep " $(basename "$tarball")\$") \
            || die "no checksum for $tarball: put one in $QT_SOURCES/SHA256SUMS"
        (cd "$QT_SOURCES" && echo "$sums" | sha256sum -c --quiet -) \
            || die "$tarball does not match its checksum"
        log "$pkg: using $tarball"
        mkdir -p "$dest"
        tar -xJf "$tarball" -C "$dest" --strip-components=1
    fi
    rm -rf "$SRC/dl-$pkg"
    touch "$dest/.unpacked"
}

# cmake_step NAME SOURCE_DIR ARGS...: configure, build and install one project into $PREFIX.
cmake_step() {
    local name=$1 src=$2
    shift 2
    [ -f "$STAMPS/$name" ] && { log "$name: done before"; return 0; }
    local started=$SECONDS
    log "$name: configuring"
    cmake -G Ninja -S "$src" -B "$BUILD/$name" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_PREFIX_PATH="$PREFIX" "$@" \
        >"$LOGS/$name-configure.log" 2>&1 \
        || die "$name: configure failed, see $LOGS/$name-configure.log"
    log "$name: building"
    cmake --build "$BUILD/$name" -j"$JOBS" >"$LOGS/$name-build.log" 2>&1 \
        || die "$name: build failed, see $LOGS/$name-build.log"
    cmake --install "$BUILD/$name" >"$LOGS/$name-install.log" 2>&1 \
        || die "$name: install failed, see $LOGS/$name-install.log"
    touch "$STAMPS/$name"
    log "$name: done in $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s"
}

# Windows SDK headers named with capitals, as MSVC finds them on its case-blind file system.
forwarding_headers() {
    local dir=$CACHE/include-ci name
    mkdir -p "$dir"
    for name in Mferror Mfidl Dbt InitGuid Functiondiscoverykeys_devpkey Mfreadwrite Wmcodecdsp \
                Mfapi Mfobjects Mftransform Propvarutil Audioclient Mmdeviceapi Ks Ksmedia; do
        local lower=${name,,}
        [ -f "$MINGW/include/$lower.h" ] && echo "#include <$lower.h>" >"$dir/$name.h"
    done
    echo "#include <QtCore/qurl.h>" >"$dir/QUrl.h"
    echo "$dir"
}

# The program uses the Basic style alone, and neither QtQuick.Dialogs nor the native style: the
# other styles are not built (no feature turns them off), nor qmllint's plugin without the
# development tools.
trim_qtdeclarative() {
    local src=$1
    [ -f "$src/.trimmed" ] && return 0
    sed -i -E 's/^( *)add_subdirectory\((fusion|imagine|material|universal|windows)\)/\1# add_subdirectory(\2)/' \
        "$src/src/quickcontrols2/CMakeLists.txt"
    sed -i -E 's/^( *)add_subdirectory\((quickdialogs2|quicknativestyle)\)/\1# add_subdirectory(\2)/' \
        "$src/src/CMakeLists.txt"
    sed -i 's/^if *(TARGET Qt::Quick)$/if(TARGET Qt::Quick AND QT_FEATURE_qml_devtools)/' \
        "$src/src/plugins/qmllint/CMakeLists.txt"
    [ "$(grep -c '^ *# add_subdirectory' "$src/src/quickcontrols2/CMakeLists.txt" "$src/src/CMakeLists.txt" \
         | awk -F: '{ n += $2 } END { print n }')" -ge 7 ] \
        && grep -q 'QT_FEATURE_qml_devtools)$' "$src/src/plugins/qmllint/CMakeLists.txt" \
        || die "qtdeclarative's CMakeLists.txt are not as expected: nothing trimmed"
    touch "$src/.trimmed"
}

QT_COMMON=(-DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQT_HOST_PATH=/usr
           -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
           -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
           -DBUILD_SHARED_LIBS=ON)

build_all() {
    fetch qt6-base qtbase
    cmake_step qtbase "$SRC/qt6-base" "${QT_COMMON[@]}" \
        -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_testlib=OFF \
        -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF \
        -DFEATURE_openssl=OFF -DFEATURE_sql_sqlite=OFF
    fetch libsdl2
    cmake_step sdl2 "$SRC/libsdl2" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DSDL_TEST=OFF \
        -DSDL_STATIC=OFF -DSDL_SHARED=ON
    fetch opencv
    # The repacked source has no 3rdparty folder: mingw's zlib, no image codecs (the program
    # decodes nothing), DirectShow capture (Media Foundation's does not build with mingw).
    cmake_step opencv "$SRC/opencv" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DBUILD_LIST=core,imgproc,objdetect,videoio -DBUILD_SHARED_LIBS=ON \
        -DBUILD_TESTS=OFF -DBUILD_PERF_TESTS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_opencv_apps=OFF \
        -DBUILD_JAVA=OFF -DBUILD_opencv_python3=OFF -DBUILD_ZLIB=OFF -DWITH_MSMF=OFF \
        -DWITH_DSHOW=ON -DWITH_PNG=OFF -DWITH_JPEG=OFF -DWITH_TIFF=OFF -DWITH_WEBP=OFF \
        -DWITH_OPENJPEG=OFF -DWITH_JASPER=OFF -DWITH_OPENEXR=OFF -DWITH_IMGCODEC_HDR=OFF \
        -DWITH_FFMPEG=OFF -DWITH_IPP=OFF -DWITH_OPENCL=OFF -DWITH_ITT=OFF -DWITH_PROTOBUF=OFF \
        -DWITH_QUIRC=OFF -DWITH_EIGEN=OFF -DWITH_LAPACK=OFF -DWITH_ADE=OFF -DWITH_OBSENSOR=OFF \
        -DWITH_VTK=OFF -DWITH_GTK=OFF -DWITH_QT=OFF -DOPENCV_GENERATE_PKGCONFIG=OFF
    # Qt's own toolchain file from here on: it chains to ours and points at the host tools.
    local qt_toolchain=(-DCMAKE_TOOLCHAIN_FILE="$PREFIX/lib/cmake/Qt6/qt.toolchain.cmake"
                        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF)
    fetch qt6-shadertools qtshadertools
    cmake_step qtshadertools "$SRC/qt6-shadertools" "${qt_toolchain[@]}"
    fetch qt6-declarative qtdeclarative
    trim_qtdeclarative "$SRC/qt6-declarative"
    cmake_step qtdeclarative "$SRC/qt6-declarative" "${qt_toolchain[@]}" \
        -DFEATURE_qml_debug=OFF -DFEATURE_qml_profiler=OFF -DFEATURE_qml_preview=OFF \
        -DFEATURE_qml_devtools=OFF -DFEATURE_qml_xmllistmodel=OFF -DFEATURE_quick_particles=OFF \
        -DFEATURE_quick_designer=OFF -DFEATURE_quicktemplates2_calendar=OFF
    local ci lib
    ci=$(forwarding_headers)
    fetch qt6-multimedia qtmultimedia
    cmake_step qtmultimedia "$SRC/qt6-multimedia" "${qt_toolchain[@]}" \
        -DCMAKE_CXX_FLAGS="-I$ci" -DFEATURE_wmf=ON -DFEATURE_spatialaudio=OFF -DFEATURE_gstreamer=OFF \
        -DFEATURE_ffmpeg=OFF \
        -DWMF_MF_LIBRARY="$MINGW/lib/libmf.a" -DWMF_MFPLAT_LIBRARY="$MINGW/lib/libmfplat.a" \
        -DWMF_MFUUID_LIBRARY="$MINGW/lib/libmfuuid.a" \
        -DWMF_STRMIIDS_LIBRARY="$MINGW/lib/libstrmiids.a" -DWMF_OLE32_LIBRARY="$MINGW/lib/libole32.a" \
        -DWMF_OLEAUT32_LIBRARY="$MINGW/lib/liboleaut32.a" -DWMF_MSDMO_LIBRARY="$MINGW/lib/libmsdmo.a" \
        -DWMF_PROPSYS_LIBRARY="$MINGW/lib/libpropsys.a" -DWMF_DMOGUIDS_LIBRARY="$MINGW/lib/libdmoguids.a" \
        -DWMF_UUID_LIBRARY="$MINGW/lib/libuuid.a" -DWMF_MFCORE_LIBRARY="$MINGW/lib/libmfcore.a" \
        -DWMF_AMSTRMID_LIBRARY="$MINGW/lib/libamstrmid.a"
    fetch qt6-speech qtspeech
    cmake_step qtspeech "$SRC/qt6-speech" "${qt_toolchain[@]}" -DCMAKE_CXX_FLAGS="-I$ci"
    # The C++ runtime the compiler links against, so that everything can be copied beside kelo.exe.
    local f
    for f in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
        lib=$(x86_64-w64-mingw32-g++-posix -print-file-name="$f")
        [ -f "$lib" ] || lib=$(find /usr/lib/gcc/x86_64-w64-mingw32 $MINGW/lib -name "$f" | grep -m1 posix || true)
        [ -f "$lib" ] || die "mingw's $f was not found"
        cp -u "$lib" "$PREFIX/bin/"
    done
}

main() {
    mkdir -p "$CACHE"
    apt_lists
    local key
    key=$(cache_key)
    PREFIX=$CACHE/$key/prefix
    if [ "${1:-}" = --prefix ]; then
        echo "$PREFIX"
        return 0
    fi
    SRC=$CACHE/$key/src BUILD=$CACHE/$key/build STAMPS=$CACHE/$key/stamps LOGS=$CACHE/$key/logs
    mkdir -p "$PREFIX" "$SRC" "$BUILD" "$STAMPS" "$LOGS"
    cp "$CACHE/key.txt" "$CACHE/$key/key.txt"
    if [ ! -f "$STAMPS/all" ]; then
        export KELO_WINDEPS=$PREFIX
        build_all
        touch "$STAMPS/all"
    fi
    echo "$PREFIX"
}

main "$@"
