#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite through CTest.
# An optional argument names another preset, e.g. "sanitize".
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/install-deps.sh
scripts/build.sh "$preset"
ctest --preset "$preset"
