#!/usr/bin/env bash
# Runs a Windows program under wine64, in a wine prefix of the project's own
# that is made on first use (one process at a time makes it).
set -euo pipefail
prefix="${MX_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/mx_config-wine}"
export WINEPREFIX="$prefix" WINEDEBUG=-all
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        [ -f "$prefix/system.reg" ] || /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    ) 9>"$prefix.lock"
fi
# "--init" only makes the prefix, before anything is run in it.
if [ "${1:-}" = --init ]; then
    exit 0
fi
# Wine keeps Qt's variables (QT_*) of Linux from Windows programs, and gives
# them WINEQT_* by their own names: the suites' platform and scale reach Qt.
while IFS= read -r name; do
    export "WINE$name=${!name}"
done < <(compgen -e | grep '^QT_' || true)
exec /usr/lib/wine/wine64 "$@"
