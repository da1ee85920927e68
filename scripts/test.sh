#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite through CTest.
# An optional argument names another preset: "sanitize", or "windows", which
# builds Qt for Windows once per machine (scripts/qt-windows.sh, about an
# hour the first time), cross-builds the editor, mxcfg and every suite for
# Windows, runs them under wine, and makes the installer and the zip in
# build-windows/. "windows --if-cached" does all that only where Qt for
# Windows is already built, and otherwise builds and tests the model and
# storage for Windows alone, saying so.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
if [ "$preset" = windows ]; then
    scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64 googletest nsis xdotool openbox unzip
    scripts/wine-run.sh --init
    if [ "${2:-}" = --if-cached ] && ! scripts/qt-windows.sh --check >/dev/null; then
        echo "test.sh: the editor and mxcfg were not built for Windows: Qt for Windows is not" \
            "built on this machine (scripts/test.sh windows builds it once, in about an hour)."
        scripts/build.sh windows-core
        ctest --preset windows-core
        [ -d build ] || scripts/build.sh default
        scripts/check-windows-sources.sh
        exit 0
    fi
    MX_QT_WINDOWS="$(scripts/qt-windows.sh)"
    export MX_QT_WINDOWS
    scripts/build.sh windows
    ctest --preset windows
    (cd build-windows && cpack >/dev/null)
    echo "test.sh: the Windows release is in build-windows/:" \
        "$(cd build-windows && ls MX_config-*-win64.exe MX_config-*-win64.zip | tr '\n' ' ')"
    exit 0
fi
scripts/install-deps.sh
scripts/build.sh "$preset"
ctest --preset "$preset"
