#!/bin/sh
# Takes docs/screenshot.png: the real window, on a virtual X display, after a Read run of the
# sample disc. Usage: ui/take_screenshot.sh [build folder]   (default: build-ui)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-ui}
mkdir -p "$root/docs"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/ui/ui_test" --screenshot "$root/docs/screenshot.png"
echo "wrote $root/docs/screenshot.png"
