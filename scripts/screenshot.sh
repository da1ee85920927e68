#!/usr/bin/env bash
# Renders the running editor under Xvfb with a prepared configuration loaded
# and writes docs/screenshot.png at the default font and
# docs/screenshot-kde-12pt.png at a KDE desktop's 12 pt font (the pictures in
# the README), docs/screenshot-compare.png: the same unit compared with
# another, and docs/sheet.png: its sheet as Export sheet as PDF writes it
# while the two are compared.
# Run it again whenever the window or the sheet changes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh xvfb xdotool imagemagick openbox x11-utils poppler-utils
scripts/build.sh default >/dev/null

# The units' folders, as the sheet names them: /tmp/site.…/unitA.
work="$(mktemp -d /tmp/site.XXXXXX)"
display=""
cleanup() {
    [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A configuration that shows a spread of set bits, greyed ones included.
python3 - "$work" <<'PY'
import sys
folder = sys.argv[1] + "/unitA"
import os
os.makedirs(folder)
switches = bytes(((7 * i + 3 * (i // 14)) * 37) % 256 & 0x9F for i in range(112))
open(f"{folder}/switches.mx", "wb").write(switches)
open(f"{folder}/settings.cmx", "wb").write(bytes([0x81, 0x06]))
# unitB: the same unit but for a few bits, a greyed one and bit 64 among them.
other = bytearray(switches)
other[14 * 0 + 1] ^= 0x04   # channel 1, Latching, TB 2
other[14 * 0 + 4] ^= 0x01   # channel 1, PGM Suppresses, PGM (greyed)
other[14 * 0 + 9] ^= 0x40   # channel 1, PGM Delatches, bit 64
other[14 * 0 + 12] ^= 0x08  # channel 1, TB 3 Delatches, TB 3 (greyed)
other[14 * 3 + 2] ^= 0x02   # channel 4, Momentary, TB 1
other[14 * 6 + 3] ^= 0x20   # channel 7, Always on, bit 32
os.makedirs(f"{folder}/../unitB")
open(f"{folder}/../unitB/switches.mx", "wb").write(bytes(other))
open(f"{folder}/../unitB/settings.cmx", "wb").write(bytes([0x81, 0x07]))
PY

for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X$n-lock" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 2048x1536x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
# A window manager, so that the folder chooser takes the keyboard when it opens.
openbox >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW && break
    sleep 0.1
done

# Waits for a window by title. A plain loop rather than "search --sync": a
# window that vanishes while xdotool walks the tree makes it fail outright.
wait_for_window() {
    for _ in $(seq 100); do
        local id
        id="$(xdotool search --name "$1" 2>/dev/null | head -1 || true)"
        if [ -n "$id" ]; then
            echo "$id"
            return
        fi
        sleep 0.1
    done
    echo "no window titled $1" >&2
    exit 1
}

# Shoots one picture of the editor; extra arguments are environment settings.
# With COMPARE set, the unit is first compared with unitB (Ctrl+D, the
# folder typed into the chooser).
shoot() {
    local file="$1"
    shift
    env XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config" "$@" \
        build/MX_config "$work/unitA" >/dev/null 2>&1 &
    app_pid=$!
    local window
    window="$(wait_for_window '^TVK vMX Config')"
    sleep 1
    if [ -n "${COMPARE:-}" ]; then
        xdotool windowactivate --sync "$window" key ctrl+d
        wait_for_window 'compare with' >/dev/null
        sleep 0.5
        xdotool type --delay 10 "$work/unitB"
        xdotool key Return
        sleep 0.5
    fi
    if [ -n "${SHEET:-}" ]; then
        # Exported through the editor's own dialog, then drawn as a picture.
        xdotool windowactivate --sync "$window" key ctrl+e
        wait_for_window 'Export sheet' >/dev/null
        sleep 0.5
        xdotool key ctrl+a
        xdotool type --delay 10 "$work/sheet"
        xdotool key Return
        for _ in $(seq 50); do [ -s "$work/sheet.pdf" ] && break; sleep 0.1; done
        sleep 0.5
        pdftoppm -png -r 72 -singlefile "$work/sheet.pdf" "${file%.png}"
    else
        # A comparison is shown with the title bar, whose caption names it.
        import ${COMPARE:+-frame} -window "$window" "$file"
    fi
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
    echo "wrote $file ($(identify -format '%wx%h' "$file"))"
}

mkdir -p docs "$work/kde"
# The desktop font the way KDE sets it, at 12 pt.
printf '[General]\nfont=DejaVu Sans,12,-1,5,50,0,0,0,0,0\n' >"$work/kde/kdeglobals"
shoot docs/screenshot.png
shoot docs/screenshot-kde-12pt.png XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 \
    XDG_CONFIG_HOME="$work/kde"
COMPARE=1 shoot docs/screenshot-compare.png
# Printed in the time zone of the pictures' examples, whatever the machine's;
# compared with unitB, so that it shows the frames of what differs.
COMPARE=1 SHEET=1 shoot docs/sheet.png TZ=UTC
