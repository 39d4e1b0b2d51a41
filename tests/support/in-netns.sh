#!/usr/bin/env bash
# Runs a command in a network namespace of its own with only the loopback interface up, so
# that a test binding the device ports (31001/31002) sees nothing else on the machine that
# uses them, and two test runs never see each other. As root the namespace is made directly;
# otherwise inside a user namespace where unprivileged ones are allowed.
# Usage: in-netns.sh COMMAND [ARG]...
set -euo pipefail
if [ "${LINKVEX_IN_NETNS:-}" = 1 ]; then
    exec "$@"
fi
export LINKVEX_IN_NETNS=1
if [ "$(id -u)" -eq 0 ]; then
    exec unshare --net -- bash -c 'ip link set lo up && exec "$@"' bash "$@"
fi
exec unshare --user --map-root-user --net -- bash -c 'ip link set lo up && exec "$@"' bash "$@"
