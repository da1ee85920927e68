#!/usr/bin/env bash
# Fuzzes the text form's reader with libFuzzer for a while (seconds, default
# 30), starting from tests/fuzz/corpus. Needs clang; where it cannot be had,
# says so and skips.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

# clang, and its runtime that holds libFuzzer and the sanitizers (only
# recommended by clang, so named here).
scripts/install-deps.sh clang libclang-rt-14-dev >/dev/null 2>&1 || true
if ! command -v clang++ >/dev/null 2>&1 ||
    ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q "install ok installed"; then
    echo "fuzz: skipped, clang++ and libFuzzer (Debian's clang and libclang-rt-14-dev) are not installed and could not be installed"
    exit 0
fi

out="build-fuzz"
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I model -I tests/fuzz model/channel_config.cpp model/config_text.cpp model/printable_text.cpp \
    model/unit_names.cpp model/group_line.cpp \
    tests/fuzz/config_text_fuzzer.cpp \
    -o "$out/config_text_fuzzer"
# New inputs go to the scratch corpus; the committed seeds stay as they are.
"$out/config_text_fuzzer" -max_total_time="$seconds" -max_len=8192 -timeout=5 \
    -print_final_stats=1 "$out/corpus" tests/fuzz/corpus 2>"$out/fuzz.log" || {
    tail -n 40 "$out/fuzz.log"
    echo "fuzz: FAILED; the crashing input is in $(pwd)" >&2
    exit 1
}
grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$out/fuzz.log" | sed 's/^/fuzz: /'
echo "fuzz: no failure in $seconds s"
