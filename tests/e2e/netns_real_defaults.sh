#!/usr/bin/env bash
# Discovery with the real addresses (broadcast 255.255.255.255, group 225.12.13.14 on the
# default interface), kept off every real network: linkvex-devsim runs in one network
# namespace and net_search_probe in another, joined only by a veth pair on 10.213.0.0/24.
# Both namespaces and the pair are made here and removed on every way out.
#   netns_real_defaults.sh DEVSIM PROBE
# Exit 77 (skipped) when not root or when namespaces cannot be made.
set -u
devsim=$1
probe=$2
skip() { echo "SKIP: $*"; exit 77; }

[ "$(id -u)" -eq 0 ] || skip "needs root to make network namespaces"
command -v ip >/dev/null || skip "the ip command (iproute2) is missing"

tag="lvx$$"
ns_dev="${tag}dev"
ns_app="${tag}app"
work=$(mktemp -d)
sim_pid=""

cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    ip netns del "$ns_dev" 2>/dev/null
    ip netns del "$ns_app" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

ip netns add "$ns_dev" 2>/dev/null || skip "cannot make a network namespace"
ip netns add "$ns_app" 2>/dev/null || skip "cannot make a second network namespace"
ip -n "$ns_app" link add "${tag}a" type veth peer name "${tag}d" netns "$ns_dev" ||
    skip "cannot make a veth pair"

setup() { # namespace interface address
    ip -n "$1" link set lo up &&
        ip -n "$1" link set "$2" up &&
        ip -n "$1" addr add "$3/24" dev "$2" &&
        ip -n "$1" route add default dev "$2"
}
setup "$ns_app" "${tag}a" 10.213.0.1 || { echo "FAIL: cannot set up $ns_app"; exit 1; }
setup "$ns_dev" "${tag}d" 10.213.0.2 || { echo "FAIL: cannot set up $ns_dev"; exit 1; }

ip netns exec "$ns_dev" "$devsim" --no-serial --net-real --net-devices 1 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
    [ "$(head -n 1 "$work/sim.out" 2>/dev/null)" = ready ] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
if [ "$(head -n 1 "$work/sim.out" 2>/dev/null)" != ready ]; then
    echo "FAIL: linkvex-devsim did not get ready"
    cat "$work/sim.err"
    exit 1
fi

ip netns exec "$ns_app" "$probe" --real --open >"$work/probe.out" 2>"$work/probe.err"
rc=$?
echo "--- net_search_probe (exit $rc)"
cat "$work/probe.out" "$work/probe.err"
echo "--- linkvex-devsim"
cat "$work/sim.err"

status=0
check() { # description, then a command that must succeed
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; status=1; fi
}
check "net_search_probe ran" [ "$rc" -eq 0 ]
check "the probe reached the device by broadcast" \
    grep -q 'probe answered.* to 255\.255\.255\.255)' "$work/sim.err"
check "the probe reached the device by multicast" \
    grep -q 'probe answered.* to 225\.12\.13\.14)' "$work/sim.err"
check "the device is listed once" \
    [ "$(grep -c '"mac":"02:4C:56:58:00:01"' "$work/probe.out")" -eq 1 ]
check "the replies to the group reached the program" grep -q '"count":1' "$work/probe.out"
check "the opening queries were answered" grep -q '"vid":"1A2B"' "$work/probe.out"
exit $status
