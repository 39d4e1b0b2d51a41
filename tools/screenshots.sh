#!/usr/bin/env bash
# Takes the README's pictures (docs/images/*.png) of the program against simulated devices,
# under a virtual X display so that they look as on a desktop and stay current:
#   tools/screenshots.sh            (after ./dev build)
# The simulated network devices answer on loopback only.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tool=$top/build/bin/linkvex-screenshots
[ -x "$tool" ] || { echo "build first: ./dev build" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (package xvfb)" >&2; exit 1; }
mkdir -p "$top/docs/images"
# The settings (file dialogs' folders) of this run stay out of the user's own.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME=$config xvfb-run -a -s "-screen 0 1600x1000x24 -dpi 96" \
    "$tool" "$top/docs/images" --network
