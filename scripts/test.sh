#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite through CTest.
# An optional argument names another preset: "sanitize", or "windows", which
# cross-builds the model and storage for Windows, runs their tests under
# wine64, and compiles the Qt parts for Windows as far as can be done here.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
if [ "$preset" = windows ]; then
    scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64 googletest
    scripts/wine-run.sh --init
    scripts/build.sh windows
    ctest --preset windows
    [ -d build ] || scripts/build.sh default
    scripts/check-windows-sources.sh
    exit 0
fi
scripts/install-deps.sh
scripts/build.sh "$preset"
ctest --preset "$preset"
