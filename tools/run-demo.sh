#!/usr/bin/env bash
# Starts linkvex-devsim (one serial device on a pseudo terminal, two network devices on
# loopback), then the program pointed at them. Nothing leaves this machine.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$top/build/bin

work=$(mktemp -d)
cleanup() {
    [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

"$bin/linkvex-devsim" --config "$top/tools/demo/devsim.json" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 50); do
    grep -q '^ready$' "$work/sim.out" 2>/dev/null && break
    sleep 0.1
done
if ! grep -q '^ready$' "$work/sim.out"; then
    echo "linkvex-devsim did not start:" >&2
    cat "$work/sim.err" >&2
    exit 1
fi
port=$(head -n 1 "$work/sim.out")
echo "Simulated devices: serial on $port, two network devices on loopback."

if [ -x "$bin/linkvex" ]; then
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "There is no display. Run the window under a virtual one:" >&2
        echo "    xvfb-run -a ./dev run" >&2
        echo "or use the command-line front end against the same devices:" >&2
        echo "    build/bin/linkvex-cli search --port $port --loopback" >&2
        exit 1
    fi
    "$bin/linkvex" --port "$port" --loopback --search "$@"
else
    "$bin/linkvex-cli" search --port "$port" --loopback "$@"
fi
