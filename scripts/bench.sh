#!/usr/bin/env bash
# Builds and runs the benchmarks, each case beside its floor in one process,
# and prints one table of medians and ratios. Absolute times depend on the
# machine; the ratios are what count.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh libbenchmark-dev
scripts/build.sh default >/dev/null

# A 1920x1080 desktop screen, on which the window is not cut short at 12 pt.
export QT_QPA_PLATFORM="offscreen:configfile=$(pwd)/bench/desktop_screen.json"
out="$(mktemp)"
export XDG_RUNTIME_DIR="$(mktemp -d)"
trap 'rm -rf "$out" "$out.binder" "$XDG_RUNTIME_DIR"' EXIT
# The binder's goal is a median of three runs; the rest run 21.
run() {
    build/bench/mx_bench --benchmark_filter="$1" --benchmark_repetitions="$2" \
        --benchmark_min_time="${MX_BENCH_MIN_TIME:-0.2}" \
        --benchmark_report_aggregates_only=true \
        --benchmark_format=json --benchmark_out="$3" --benchmark_out_format=json >/dev/null \
        2> >(grep -v "does not support propagateSizeHints" >&2)
}
run -binderProcess "${MX_BENCH_REPETITIONS:-21}" "$out"
run binderProcess 3 "$out.binder"

peak() {
    for _ in 1 2 3 4 5; do build/bench/mx_bench --peak-rss="$1"; done
}
editor_kib="$(peak editor | tr '\n' ' ')"
plain_kib="$(peak plain | tr '\n' ' ')"
binder_kib="$(for _ in 1 2 3; do build/bench/mx_bench --peak-rss=binder; done | tr '\n' ' ')"

python3 - "$out" "$editor_kib" "$plain_kib" "$binder_kib" <<'PY'
import json, statistics, sys

runs = json.load(open(sys.argv[1]))["benchmarks"]
runs += json.load(open(sys.argv[1] + ".binder"))["benchmarks"]
median = {}
for run in runs:
    if run.get("aggregate_name") == "median":
        median[run["run_name"].split("/")[0]] = run

cases = [
    ("refresh of one channel (86 boxes)", "refreshChannel", 1.2),
    ("refresh of one channel while comparing", "refreshChannelComparing", 1.2),
    ("start comparing, against a load", "startComparing", 2.0),
    ("one toggle, with its undo step", "toggleMember", 1.3),
    ("paste to all channels, then undo", "pasteToAllAndUndo", 1.5),
    ("LoadConfig + SaveConfig", "loadAndSave", 1.5),
    ("build and show the window", "buildAndShowWindow", 1.1),
    ("build and show the window at 12 pt", "buildAndShowWindowAt12pt", 1.1),
    ("mxcfg show, as a whole process", "showProcess", 1.3),
    ("mxcfg diff --summary of 1,000 units, as a whole process", "summaryProcess", 1.5),
    ("mxcfg import --create into 100 folders, as a whole process", "importCreateProcess", 1.5),
    ("mxcfg apply to 1,000 units, against import --create", "applyProcess", 1.5),
    ("mxcfg binder of 100 units, as a whole process", "binderProcess", 1.5),
]
rows = []
for title, name, goal in cases:
    run = median[name]
    rows.append((title, f"{run['case_us']:.2f} us", f"{run['floor_us']:.2f} us",
                 run["ratio"], goal))
editor = statistics.median(int(v) for v in sys.argv[2].split()) / 1024
plain = statistics.median(int(v) for v in sys.argv[3].split()) / 1024
rows.append(("peak resident memory after start-up", f"{editor:.1f} MiB", f"{plain:.1f} MiB",
             editor / plain, 1.1))
# Against its budget, not a floor: the binder draws its pages as it goes.
binder = statistics.median(int(v) for v in sys.argv[4].split()) / 1024
rows.append(("peak memory of mxcfg binder of 1,000 units", f"{binder:.1f} MiB", "150 MiB",
             binder / 150, 1.0))

print(f"{'case':40} {'median':>12} {'floor':>12} {'ratio':>6} {'goal':>5}")
for title, ours, floor, ratio, goal in rows:
    verdict = "ok" if ratio <= goal else "MISSED"
    print(f"{title:40} {ours:>12} {floor:>12} {ratio:6.2f} {goal:5.1f} {verdict}")
PY
