#!/usr/bin/env bash
# Start-up of the program: from the process start to the main window shown (with the event
# loop running), median of several starts, and the resident memory of the idle program a few
# seconds later. Runs under Xvfb when it is there (as on a desktop), otherwise with Qt's
# offscreen platform. The run is in a network namespace of its own (the program binds the
# reply port), with a private runtime directory (the single-instance lock).
# Usage: startup_bench.sh LINKVEX [RUNS]
set -uo pipefail
linkvex=$1
runs=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
# The whole run in one network namespace, so that no start pays for making one.
if [ "${LINKVEX_IN_NETNS:-}" != 1 ]; then
    exec "$here/../tests/support/in-netns.sh" "$0" "$@"
fi
work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
chmod 700 "$work"

platform=offscreen
if command -v Xvfb >/dev/null; then
    display=:$(( 90 + RANDOM % 400 ))
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 1
    if kill -0 "$xvfb_pid" 2>/dev/null; then
        export DISPLAY=$display
        platform=xcb
    fi
fi
export QT_QPA_PLATFORM=$platform XDG_RUNTIME_DIR=$work LINKVEX_STARTUP_PROBE=1

times=()
rss=-1
for i in $(seq "$runs"); do
    rm -f "$work/out"
    start=$(date +%s%N)
    "$linkvex" --loopback >"$work/out" 2>/dev/null &
    pid=$!
    shown=
    for _ in $(seq 500); do
        if grep -q '^shown$' "$work/out" 2>/dev/null; then
            shown=$(date +%s%N)
            break
        fi
        sleep 0.002
    done
    if [ -z "$shown" ]; then
        kill "$pid" 2>/dev/null
        echo "startup_bench: the window was not shown within a second or so" >&2
        exit 1
    fi
    times+=($(( (shown - start) / 1000000 )))
    if [ "$i" -eq "$runs" ]; then
        sleep 3
        rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo -1)
    fi
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
done

sorted=($(printf '%s\n' "${times[@]}" | sort -n))
median=${sorted[$(( ${#sorted[@]} / 2 ))]}
echo "== Start-up ($platform platform, $runs starts)"
echo "process start to main window shown, ms: ${times[*]} (median $median)"
echo "resident memory of the idle program after 3 s: $rss KiB"
verdict() { [ "$1" -eq 1 ] && echo met || echo "NOT met"; }
echo "summary: start-up to the main window $median ms ($platform) | goal: within 150 ms | $(verdict $(( median <= 150 )))"
echo "summary: idle resident memory $(( rss / 1024 )) MB | goal: under 45 MB | $(verdict $(( rss > 0 && rss < 45 * 1024 )))"
