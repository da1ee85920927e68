#!/usr/bin/env bash
# Builds Qt for Windows once per machine, from Debian's own qt6-base source
# of the version installed here (its host tools, moc, rcc and uic, are
# Debian's), cross-built with Debian's MinGW-w64 as shared DLLs, into a
# cache outside the build tree. The first build takes about an hour on two
# cores; later calls find it there and return at once. Prints the prefix.
# Debian's source has no Wintab headers, so tablets are left out.
# Usage: scripts/qt-windows.sh [--check]   (--check: only say whether it is there)
set -euo pipefail
cd "$(dirname "$0")/.."
version="$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/mx_config"
prefix="$cache/qt-${version%%+*}-mingw-w64"
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi
if [ "${1:-}" = --check ]; then
    exit 1
fi
[ -n "$version" ] || { echo "qt-windows: qt6-base-dev is not installed" >&2; exit 1; }
scripts/install-deps.sh g++-mingw-w64-x86-64-posix dpkg-dev qt6-base-dev-tools >&2
mkdir -p "$cache"
exec 9>"$prefix.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi
echo "qt-windows: building Qt ${version%%+*} for Windows once, into $prefix;" \
    "this takes about an hour on two cores" >&2
work="$cache/qt-windows-work"
# A build cut short (a session that ended) goes on where it stopped.
if [ -f "$work/build/build.ninja" ]; then
    echo "qt-windows: going on with the build in $work" >&2
    cd "$work/build"
else
    rm -rf "$work" "$prefix"
    mkdir -p "$work/lists/partial" "$work/source"

    # Debian's source, through an apt configuration of this script's own:
    # nothing of the system's apt setup is changed.
    mirror="$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)"
    mirror="${mirror:-http://deb.debian.org/debian}"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm main" \
        >"$work/sources.list"
    apt_options=(-o "Dir::Etc::sourcelist=$work/sources.list" -o "Dir::Etc::sourceparts=-"
        -o "Dir::State::Lists=$work/lists" -o "APT::Get::List-Cleanup=0")
    apt-get "${apt_options[@]}" update >&2
    (cd "$work/source" && apt-get "${apt_options[@]}" source --download-only "qt6-base=$version" >&2)

    # Every file the .dsc names, checked against its SHA-256 sum there.
    dsc="$(ls "$work"/source/qt6-base_*.dsc)"
    awk '/^Checksums-Sha256:/ {on = 1; next} /^[^ ]/ {on = 0} on && NF == 3 {print $1 "  " $3}' \
        "$dsc" >"$work/sums"
    [ -s "$work/sums" ] || { echo "qt-windows: $dsc lists no checksums" >&2; exit 1; }
    (cd "$work/source" && sha256sum --quiet -c "$work/sums") >&2
    (cd "$work/source" && dpkg-source --no-check -x "$(basename "$dsc")" qtbase >&2)

    # The project's MinGW-w64 toolchain; Qt's own build runs nothing under wine.
    sed '/CROSSCOMPILING_EMULATOR/d' cmake/mingw-w64.cmake \
        >"$work/toolchain.cmake"
    mkdir -p "$work/build"
    cd "$work/build"
    ../source/qtbase/configure -prefix "$prefix" -xplatform win32-g++ -qt-host-path /usr \
        -release -nomake tests -nomake examples -no-opengl -no-dbus -no-icu \
        -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre \
        -no-feature-sql -no-feature-network -no-feature-concurrent -no-feature-tabletevent -- \
        -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >&2
fi
cmake --build . --parallel "$(nproc)" >&2
cmake --install . >&2
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
