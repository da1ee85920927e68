#!/usr/bin/env bash
# The editor on Wayland, on a weston of its own: started natively on a unit,
# then the desktop suite (a click, a save, the exit question, and a paste
# from a clipboard owner that never answers). Weston 10's headless backend
# has no seat, and without a seat Qt has no clipboard, so weston runs on its
# X11 backend in an Xvfb of its own; the editor sees only the compositor.
# Usage: on_weston.sh MX_config clipboard_tests. Exits 77 (skipped) where
# weston, xvfb-run or Qt's Wayland plugin is missing.
set -euo pipefail
editor="$1"
suite="$2"
if ! command -v weston >/dev/null || ! command -v xvfb-run >/dev/null ||
    ! ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1; then
    echo "skipped: needs weston, xvfb and qt6-wayland (scripts/install-deps.sh installs them)"
    exit 77
fi
runtime=$(mktemp -d)
chmod 700 "$runtime"
compositor=
cleanup() {
    [ -n "$compositor" ] && kill -- -"$compositor" 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$runtime" XDG_STATE_HOME="$runtime/state" XDG_CONFIG_HOME="$runtime/config"
unset DISPLAY
setsid xvfb-run -a -s "-screen 0 1280x800x24" \
    weston --backend=x11-backend.so --socket=mx-weston --idle-time=0 --no-config \
    >"$runtime/weston.log" 2>&1 &
compositor=$!
for _ in $(seq 100); do
    [ -S "$runtime/mx-weston" ] && break
    sleep 0.1
done
if [ ! -S "$runtime/mx-weston" ]; then
    echo "weston did not start:" >&2
    cat "$runtime/weston.log" >&2
    exit 1
fi
export WAYLAND_DISPLAY=mx-weston QT_QPA_PLATFORM=wayland
# Mesa's EGL and libwayland-client are built without frame pointers: a leak
# they hold shows, with the fast unwinder, as frames of no module, which no
# suppression matches. The slow unwinder names them, and tests/lsan.supp
# then does, for the editor and the suite alike.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"

# The editor itself, on a unit: it starts, stays up, and ends on SIGTERM
# with status 0, as on a logout.
unit="$runtime/unit"
mkdir "$unit"
head -c 112 /dev/zero >"$unit/switches.mx"
head -c 2 /dev/zero >"$unit/settings.cmx"
"$editor" "$unit" 2>"$runtime/editor.log" &
pid=$!
sleep 2
if ! kill -0 "$pid" 2>/dev/null; then
    echo "the editor did not start on Wayland:" >&2
    cat "$runtime/editor.log" >&2
    exit 1
fi
kill -TERM "$pid"
wait "$pid" || { echo "the editor ended with status $? on SIGTERM:" >&2; cat "$runtime/editor.log" >&2; exit 1; }
echo "the editor started on Wayland and ended on SIGTERM"

"$suite"
