#!/usr/bin/env bash
# Builds Korvell (Release, into build/release) and starts it: the window when a display is
# present, otherwise a demonstration of the command line on the sample disc.
set -euo pipefail
cd "$(dirname "$0")"

tools/ensure_packages.sh cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev nlohmann-json3-dev \
  libcli11-dev libpugixml-dev libdvdread-dev libudfread-dev libsndfile1-dev iso-codes python3 qt6-base-dev \
  libjpeg-dev

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVELL_BUILD_GUI=ON >/dev/null
cmake --build build/release -j "$(nproc)" --target korvell korvell-cli make_sample_disc

sample=build/sample-disc
if [ ! -f "$sample/HVDVD_TS/FEATURE_1.EVO" ]; then
  build/release/tools/make_sample_disc "$sample" >/dev/null
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/release/ui/korvell ]; then
  exec build/release/ui/korvell "$@"
fi

echo "No display: demonstrating korvell-cli on the sample disc in $sample"
echo
out=build/sample-out
rm -rf "$out" && mkdir -p "$out"
build/release/cli/korvell-cli demux "$sample/HVDVD_TS/FEATURE_1.EVO" -o "$out"
echo "Files written:"
ls -l "$out"
