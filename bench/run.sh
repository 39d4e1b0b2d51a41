#!/usr/bin/env bash
# Runs every Linkvex benchmark from build/bin and ends with a summary of the figures, each
# with its goal. Called by `./dev bench` from the repository root after the default build.
#   bench/run.sh           full run (idle windows 30 s, 2000 answer exchanges, the device flows,
#                          a 64 KiB firmware update and an 8 KiB one to the slow loader, two
#                          20 s channel windows: about 8 minutes)
#   bench/run.sh --quick   short run (idle windows 5 s, 300 exchanges, an 8 KiB firmware
#                          update, 5 s channel windows: about 2 minutes)
# A goal that is not met is reported, not treated as a failure; the script fails only when a
# benchmark could not run.
set -euo pipefail

quick=0
for arg in "$@"; do
    case "$arg" in
        --quick) quick=1 ;;
        -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "bench/run.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done

bin=${LINKVEX_BIN:-build/bin}
for program in bench_codecs bench_serial_idle bench_answer_latency bench_flows bench_creator \
    bench_creator_feedback \
    bench_beyond bench_firmware_transfer bench_multicom bench_edid_parse bench_edid_combine linkvex linkvex-devsim; do
    if [ ! -x "$bin/$program" ]; then
        echo "bench/run.sh: $bin/$program is missing; build first (./dev bench or" \
             "cmake --build --preset default)" >&2
        exit 1
    fi
done

if [ "$quick" -eq 1 ]; then
    codec_args=(--benchmark_min_time=0.05)
    idle_args=(--seconds 5)
    baseline=2
    latency_args=(--exchanges 300)
    firmware_args=(--kind 2 --size 8192)
    firmware1_args=()
    flows_args=(--repeat 2)
    startup_runs=3
    creator_args=(--seconds 1)
    feedback_args=(--presses 200)
    multicom_args=(--seconds 5)
    mode="quick"
else
    codec_args=()
    idle_args=(--seconds 30)
    baseline=10
    latency_args=(--exchanges 2000)
    firmware_args=(--kind 2 --size 65536)
    firmware1_args=(--kind 1 --size 8192)
    flows_args=(--repeat 5)
    startup_runs=9
    creator_args=(--seconds 3)
    feedback_args=(--presses 600)
    multicom_args=(--seconds 20)
    mode="full"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

load_start=$(cut -d' ' -f1-3 /proc/loadavg)
echo "== Linkvex benchmarks ($mode run), $(nproc) CPUs, load average $load_start"
failed=()

# Runs one benchmark, showing its output and keeping it for the summary.
run() {
    local name=$1
    shift
    echo
    local status=0
    "$@" 2>&1 | tee "$work/$name.out" || status=$?
    if [ "$status" -ne 0 ]; then
        failed+=("$name (exit $status)")
    fi
}

run codecs "$bin/bench_codecs" "${codec_args[@]}"
run idle "$bin/bench_serial_idle" --devsim "$bin/linkvex-devsim" --channels 0 \
    --baseline "$baseline" "${idle_args[@]}"
run idle3 "$bin/bench_serial_idle" --devsim "$bin/linkvex-devsim" --channels 3 --baseline 0 \
    "${idle_args[@]}"
run latency "$bin/bench_answer_latency" "${latency_args[@]}"
# The flows bind the device ports on loopback: in a network namespace of their own.
run flows "$(dirname "$0")/../tests/support/in-netns.sh" "$bin/bench_flows" \
    --devsim "$bin/linkvex-devsim" --edid "$(dirname "$0")/../tests/data/edid/002959BBD30B.bin" \
    "${flows_args[@]}"
run multicom "$bin/bench_multicom" --devsim "$bin/linkvex-devsim" "${multicom_args[@]}"
run multicom1 "$bin/bench_multicom" --devsim "$bin/linkvex-devsim" --one-line "${multicom_args[@]}"
run analyze bash "$(dirname "$0")/analyze_bench.sh" "$bin/linkvex-cli"
run firmware "$bin/bench_firmware_transfer" --devsim "$bin/linkvex-devsim" "${firmware_args[@]}"
if [ ${#firmware1_args[@]} -gt 0 ]; then
    run firmware1 "$bin/bench_firmware_transfer" --devsim "$bin/linkvex-devsim" \
        "${firmware1_args[@]}"
fi
run startup bash "$(dirname "$0")/startup_bench.sh" "$bin/linkvex" "$startup_runs"
run creator "$bin/bench_creator" "${creator_args[@]}"
run feedback "$bin/bench_creator_feedback" "${feedback_args[@]}"
run parse "$bin/bench_edid_parse" "$(dirname "$0")/../tests/data/edid"
run combine "$bin/bench_edid_combine" "$(dirname "$0")/../tests/data/edid"
run check bash "$(dirname "$0")/check_bench.sh" "$bin/linkvex-cli"
run beyond "$bin/bench_beyond" --devsim "$bin/linkvex-devsim" --backups "$([ "$quick" -eq 1 ] && echo 1 || echo 3)"

load_end=$(cut -d' ' -f1-3 /proc/loadavg)
echo
echo "== Summary ($mode run; load average $load_start at start, $load_end at end," \
     "on $(nproc) CPUs)"
for name in idle idle3 latency flows firmware firmware1 startup multicom multicom1 codecs creator \
    feedback parse combine check beyond; do
    [ -f "$work/$name.out" ] || continue
    grep '^summary: ' "$work/$name.out" | sed 's/^summary: //' |
        while IFS='|' read -r text goal verdict; do
            text=${text% }
            goal=${goal# goal: }
            goal=${goal% }
            verdict=${verdict# }
            printf '  %-9s %s\n  %-9s   goal: %s\n' "[$verdict]" "$text" "" "$goal"
        done
done
if [ -f "$work/analyze.out" ]; then
    grep -E 'files/s' "$work/analyze.out" | sed 's/^/  [info]    /'
    echo "              goal: the whole corpus in one process; edid-decode beside it for scale"
fi
if [ "$quick" -eq 1 ]; then
    echo "  (quick run: the idle window is short and its CPU figure is coarse)"
fi
# Busy: a one-minute load of half the CPUs or more, from work other than these benchmarks.
if awk -v n="$(nproc)" '{ exit !($1 >= n / 2) }' /proc/loadavg; then
    echo "  (the machine was busy: CPU and latency figures may be disturbed by other work)"
fi
if [ ${#failed[@]} -gt 0 ]; then
    echo "  benchmarks that could not run: ${failed[*]}"
    exit 1
fi
