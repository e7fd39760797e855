#!/bin/sh
# Runs a window test program once more in a real X server (Xvfb) on the xcb platform, the
# way users run the window. Exits 77 (skipped) with a note when xvfb-run is missing.
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "skipped: xvfb-run is not installed, so the window tests ran on the offscreen platform only"
  exit 77
fi
QT_QPA_PLATFORM=xcb exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
