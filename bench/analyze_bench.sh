#!/usr/bin/env bash
# EDID analysis throughput: linkvex-cli analyze --json over every .bin of tests/data/edid in
# one process, against Debian's edid-decode on the same files (one process per file, as it
# takes one file at a time). Each is run 3 times; the best run is reported in files per
# second. Run from the repository root after a build (build/bin/linkvex-cli).
#   bench/analyze_bench.sh [CLI]   CLI defaults to build/bin/linkvex-cli
set -euo pipefail

cli=${1:-build/bin/linkvex-cli}
repeats=3
shopt -s nullglob
files=(tests/data/edid/*.bin)
count=${#files[@]}

if [ "$count" -eq 0 ]; then
    echo "analyze_bench: no .bin files in tests/data/edid (run from the repository root)" >&2
    exit 1
fi
if [ ! -x "$cli" ]; then
    echo "analyze_bench: $cli not found; build first (cmake --build --preset default)" >&2
    exit 1
fi

now() { echo "$EPOCHREALTIME"; }

# Best (smallest) wall time in seconds of `repeats` runs of the function named by $1.
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

run_cli() {
    "$cli" analyze --json "${files[@]}" >/dev/null
}

run_edid_decode() {
    local f
    for f in "${files[@]}"; do
        edid-decode "$f" >/dev/null 2>&1 || true
    done
}

rate() { awk -v n="$count" -v t="$1" 'BEGIN { printf "%.0f", (t > 0 ? n / t : 0) }'; }

echo "== EDID analysis, $count files, best of $repeats"
# The output must be what the command promises before its speed means anything.
if [ "$("$cli" analyze --json "${files[0]}" | head -c 1)" != "[" ]; then
    echo "analyze_bench: $cli analyze --json printed no JSON array" >&2
    exit 1
fi
t=$(best_of run_cli)
printf '%-44s %8.3f s  %8s files/s\n' "linkvex-cli analyze --json (one process)" "$t" "$(rate "$t")"

if command -v edid-decode >/dev/null 2>&1; then
    t=$(best_of run_edid_decode)
    printf '%-44s %8.3f s  %8s files/s\n' "edid-decode (one process per file)" "$t" "$(rate "$t")"
else
    echo "edid-decode is not installed (apt package edid-decode): comparison skipped"
fi
