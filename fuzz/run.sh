#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang, libFuzzer, ASan, UBSan, in build-fuzz/) and
# runs them one after another. Called by `./dev fuzz` from the repository root.
#   fuzz/run.sh [SECONDS] [TARGET...]   each target (default: all) for SECONDS (default 60)
# Each target works in build-fuzz/runs/<target>/: corpus/ grows with the inputs the fuzzer
# keeps (the seeds in fuzz/corpus/<target>/ are only read), run.log is the last run's
# output, and a crash, leak or time-out leaves its input there as crash-*, leak-* or
# timeout-*. Replay one with build-fuzz/bin/fuzz_<target> FILE; once it is fixed, copy it
# into fuzz/corpus/<target>/ so that ./dev test replays it from then on.
# Exit status 1 when any target found something.
set -euo pipefail

seconds=60
if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi
case "${1:-}" in
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    mapfile -t targets < <(grep -v '^$' build-fuzz/fuzz-targets.txt)
fi

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
summary=()
status=0
for target in "${targets[@]}"; do
    program=build-fuzz/bin/fuzz_$target
    if [ ! -x "$program" ]; then
        echo "fuzz/run.sh: no fuzz target $target (see build-fuzz/fuzz-targets.txt)" >&2
        exit 2
    fi
    work=build-fuzz/runs/$target
    mkdir -p "$work/corpus"
    echo "== $target: ${seconds} s"
    result=ok
    if ! "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$work/" \
            "$work/corpus" "fuzz/corpus/$target" >"$work/run.log" 2>&1; then
        result=FOUND
        status=1
        grep -m3 -E 'ERROR:|runtime error|check failed|deadly signal|timeout' "$work/run.log" || true
        echo "   input: $(grep -o "Test unit written to .*" "$work/run.log" | tail -1)"
    fi
    executions=$(awk '/stat::number_of_executed_units/ {print $2}' "$work/run.log" | tail -1)
    corpus=$(find "$work/corpus" -type f | wc -l)
    line=$(printf '%-18s %-6s %12s executions %7s corpus files' \
        "$target" "$result" "${executions:-?}" "$corpus")
    echo "   $line"
    summary+=("$line")
done

echo "== Summary (${seconds} s per target; logs in build-fuzz/runs/<target>/run.log)"
printf '%s\n' "${summary[@]}"
exit $status
