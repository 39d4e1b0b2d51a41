#!/usr/bin/env bash
# EDID conformance check throughput: linkvex-cli check --json over every .bin of
# tests/data/edid in one process, against Debian's edid-decode -c started once per file (it
# takes one file at a time). Each is run 3 times; the best run counts. Goal: the one process
# at least 100 times faster. Run from the repository root after a build.
#   bench/check_bench.sh [CLI]   CLI defaults to build/bin/linkvex-cli
set -euo pipefail

cli=${1:-build/bin/linkvex-cli}
repeats=3
shopt -s nullglob
files=(tests/data/edid/*.bin)
count=${#files[@]}
if [ "$count" -eq 0 ] || [ ! -x "$cli" ]; then
    echo "check_bench: needs tests/data/edid/*.bin and $cli (run from the repository root" \
         "after a build)" >&2
    exit 1
fi

now() { echo "$EPOCHREALTIME"; }

best_of() {
    local run=$1 best="" start end t
    for ((i = 0; i < repeats; i++)); do
        start=$(now)
        "$run"
        end=$(now)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
        if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then
            best=$t
        fi
    done
    echo "$best"
}

run_cli() { "$cli" check --json "${files[@]}" >/dev/null || true; }
run_edid_decode() {
    local f
    for f in "${files[@]}"; do
        edid-decode -c "$f" >/dev/null 2>&1 || true
    done
}

if [ "$("$cli" check --json "${files[0]}" | head -c 1)" != "[" ]; then
    echo "check_bench: $cli check --json printed no JSON array" >&2
    exit 1
fi
echo "== EDID check, $count files, best of $repeats"
ours=$(best_of run_cli)
printf '%-44s %8.3f s\n' "linkvex-cli check --json (one process)" "$ours"
if ! command -v edid-decode >/dev/null 2>&1; then
    echo "edid-decode is not installed (apt package edid-decode): comparison skipped"
    echo "summary: check over $count EDIDs in $ours s | goal: 100x edid-decode -c per file | info"
    exit 0
fi
theirs=$(best_of run_edid_decode)
printf '%-44s %8.3f s\n' "edid-decode -c (one process per file)" "$theirs"
factor=$(awk -v a="$theirs" -v b="$ours" 'BEGIN { printf "%.0f", (b > 0 ? a / b : 0) }')
verdict=$(awk -v f="$factor" 'BEGIN { print (f >= 100 ? "met" : "NOT met") }')
echo "summary: check over $count EDIDs ${factor}x faster than edid-decode -c per file ($ours s against $theirs s) | goal: at least 100x | $verdict"
