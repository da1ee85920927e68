#!/usr/bin/env bash
# The Windows release as a user meets it, under wine, on an X display of its
# own: the installer run silently into a new wine prefix; the installed
# editor on a unit (its caption, a key press on a box, Ctrl+S, the exit
# question, and edits offered again after the editor was killed); the
# installed mxcfg (show, diff --summary, import --create into folders named
# beyond ASCII, a binder); the zip, which holds the same; then the silent
# uninstall, which removes what it installed and no unit. Exit 77 (skipped) where Xvfb or xdotool is missing.
# Usage: installed_under_wine.sh BUILD_DIR CPACK WINE_RUN
set -euo pipefail
build=$1 cpack=$2 wine_run=$3
for tool in Xvfb xdotool openbox pdfinfo; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work="$(mktemp -d)"
pids=()
finish() {
    WINEPREFIX="$work/prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap finish EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# Waits up to $1 seconds for the command after it to succeed.
within() {
    local seconds=$1; shift
    for _ in $(seq $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
    return 1
}
windows_path() { echo "Z:${1//\//\\}"; }

# The installer, made as the release makes it, into a prefix of its own.
"$cpack" -G "NSIS;ZIP" -B "$work/package" --config "$build/CPackConfig.cmake" >/dev/null
installer="$(ls "$work"/package/MX_config-*-win64.exe)"
export MX_WINEPREFIX="$work/prefix" WINEPREFIX="$work/prefix"
"$wine_run" --init
Xvfb -displayfd 9 -screen 0 1280x1024x24 9>"$work/display" 2>/dev/null &
pids+=($!)
within 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)

"$wine_run" "$installer" /S
/usr/lib/wine/wineserver -w
installed="$work/prefix/drive_c/Program Files/MX_config"
for file in bin/MX_config.exe bin/mxcfg.exe bin/mxcfg-pdf.dll bin/Qt6Core.dll \
    bin/platforms/qwindows.dll LICENSE.txt Uninstall.exe; do
    [ -f "$installed/$file" ] || fail "the installer did not install $file"
done
find "$work/prefix/drive_c" -path '*Start Menu*' -name 'MX_config.lnk' | grep -q . ||
    fail "no Start menu entry for the editor"
# The zip holds what the installer installs, and runs where it is unpacked.
(cd "$work/package" && unzip -q MX_config-*-win64.zip)
portable="$(ls -d "$work"/package/MX_config-*-win64/)"
[ "$(cd "$portable" && find . -type f | sort)" = \
    "$(cd "$installed" && find . -type f ! -name Uninstall.exe | sort)" ] ||
    fail "the zip and the installer hold different files"
"$wine_run" "$(windows_path "$portable")bin\mxcfg.exe" --version | grep -q '^mxcfg ' ||
    fail "mxcfg from the zip does not run"
editor='C:\Program Files\MX_config\bin\MX_config.exe'
mxcfg='C:\Program Files\MX_config\bin\mxcfg.exe'

# Each program says what it is, and runs with long paths, per-monitor DPI
# and UTF-8 as its code page.
for program in MX_config mxcfg; do
    exe="$installed/bin/$program.exe"
    texts="$( (strings -a "$exe"; strings -a -el "$exe") )"
    for setting in '<longPathAware' 'PerMonitorV2' '<activeCodePage' 'FileVersion' "$program.exe"; do
        grep -qF -- "$setting" <<<"$texts" || fail "$program.exe has no $setting"
    done
done

# The editor, on a unit whose folder is named beyond ASCII, started as a
# shortcut starts it.
unit="$work/units/Bühne 1"
mkdir -p "$unit"
head -c 112 /dev/zero >"$unit/switches.mx"
head -c 2 /dev/zero >"$unit/settings.cmx"
find_window() {
    window="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)"
    [ -n "$window" ]
}
# Starts the editor and waits for its first window: the main one, or a
# question asked before it shows.
start_editor() {
    "$wine_run" "$editor" "$(windows_path "$unit")" >>"$work/editor.log" 2>&1 &
    editor_pid=$!
    within 60 find_window "${1:-^TVK vMX Config}" || fail "the editor showed no window"
    xdotool windowactivate --sync "$window"
    sleep 1
}
ended() { ! kill -0 "$editor_pid" 2>/dev/null; }
hex() { od -An -tx1 -v "$1" | tr -d ' \n'; }
# The unit's switches with byte $1 (from 0) set to $2, the rest as made.
switches_with() { printf '%0224d' 0 | sed "s/^\(.\{$(($1 * 2))\}\)../\1$2/"; }

start_editor
caption="$(xdotool getwindowname "$window")"
[ "$caption" = "TVK vMX Config     File path:  Z:$unit" ] || fail "the caption is \"$caption\""
# The focus starts on Latching, PGM of channel 1: byte 1, bit 1.
xdotool key space
xdotool key ctrl+s
within 10 test "$(hex "$unit/switches.mx")" = "$(switches_with 1 01)" ||
    fail "Ctrl+S saved $(hex "$unit/switches.mx")"
[ "$(hex "$unit/settings.cmx")" = 0000 ] || fail "settings.cmx changed"
# The next box, TB 1, then the window closed: "Save file before exit?" Yes.
xdotool key Tab space alt+F4
sleep 2
xdotool key Return
within 30 ended || fail "the editor did not end after the exit question"
[ "$(hex "$unit/switches.mx")" = "$(switches_with 1 03)" ] ||
    fail "the exit question's Yes saved $(hex "$unit/switches.mx")"

# Edits of an editor ended by force are offered at its next start.
start_editor
xdotool key space
sleep 2
kill -9 "$editor_pid"
/usr/lib/wine/wineserver -w
start_editor '^MX_config$'
xdotool key alt+r
within 30 find_window '^TVK vMX Config.*\*' ||
    fail "the edits kept were not restored: $(xdotool getwindowname "$window")"
xdotool windowactivate --sync "$window" key alt+F4
sleep 2
xdotool key alt+n
within 30 ended || fail "the editor did not end after No"
[ "$(hex "$unit/switches.mx")" = "$(switches_with 1 03)" ] || fail "No saved the unit"
# mxcfg as a script runs it: show, a comparison, units made from a text,
# and a binder of them.
run_mxcfg() { "$wine_run" "$mxcfg" "$@"; }
run_mxcfg show "$(windows_path "$unit")" >"$work/show.txt" ||
    fail "mxcfg show failed"
grep -q '^Latching  *P1----  ------' "$work/show.txt" ||
    fail "mxcfg show printed: $(cat "$work/show.txt")"
run_mxcfg export "$(windows_path "$unit")" >"$work/unit.txt"
run_mxcfg import --create "$(windows_path "$work/unit.txt")" \
    "$(windows_path "$work/units/Zürich 1")" "$(windows_path "$work/units/Zürich 2")" ||
    fail "mxcfg import --create failed"
for made in "Zürich 1" "Zürich 2"; do
    cmp -s "$unit/switches.mx" "$work/units/$made/switches.mx" || fail "$made is not the unit"
done
status=0
run_mxcfg diff --summary "$(windows_path "$unit")" "$(windows_path "$work/units/Zürich 1")" \
    >"$work/summary.txt" || status=$?
[ "$status" = 0 ] || fail "diff --summary of equal units exited $status: $(cat "$work/summary.txt")"
run_mxcfg binder "$(windows_path "$unit")" "$(windows_path "$work/units/Zürich 1")" \
    "$(windows_path "$work/units/Zürich 2")" -o "$(windows_path "$work/binder.pdf")" ||
    fail "mxcfg binder failed"
pages="$(pdfinfo "$work/binder.pdf" | sed -n 's/^Pages: *//p')"
[ "$pages" = 4 ] || fail "the binder has $pages pages, not the contents and 3 sheets"

# A unit kept inside the program's folder outlives the uninstall.
mkdir -p "$installed/units/u9"
head -c 112 /dev/zero >"$installed/units/u9/switches.mx"
"$wine_run" 'C:\Program Files\MX_config\Uninstall.exe' /S
/usr/lib/wine/wineserver -w
within 30 test ! -e "$installed/bin" || fail "the uninstaller left the programs"
left="$(cd "$installed" && find . -type f | sort)"
[ "$left" = "./units/u9/switches.mx" ] || fail "the uninstall left: $left"
! find "$work/prefix/drive_c" -path '*Start Menu*' -name 'MX_config.lnk' | grep -q . ||
    fail "the Start menu entry stayed"
echo "installed, used and removed under wine"
