#!/usr/bin/env bash
# Pictures of what the program tells the technician (an empty Search, the activity log, a lost
# connection, a failed and a finished firmware update, with the program's own message boxes),
# under a virtual X display and in a network namespace of its own:
#   tools/feedback-shots.sh OUTDIR [WIDTHxHEIGHT]      (after ./dev build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tool=$top/build/bin/linkvex-feedback-shots
[ -x "$tool" ] || { echo "build first: ./dev build" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (package xvfb)" >&2; exit 1; }
[ $# -ge 1 ] || { echo "usage: tools/feedback-shots.sh OUTDIR [WIDTHxHEIGHT]" >&2; exit 2; }
mkdir -p "$1"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=xcb "$top/tests/support/in-netns.sh" \
    xvfb-run -a -s "-screen 0 ${2:-1600x1000}x24 -dpi 96" "$tool" "$1"
