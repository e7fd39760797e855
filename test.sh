#!/usr/bin/env bash
# Installs what the build and the tests need, builds, and runs every test: the release build
# with the window, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer with no locale set, then the Debian package (where this machine
# lets packages be installed), then a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")"

# The window tests run offscreen and again under Xvfb (xvfb, xauth) with a fixed-pitch font
# (fonts-dejavu-core); ffmpeg and mkvtoolnix are the oracles; clang builds the fuzz targets;
# nlohmann-json writes the JSON report and the mkvmerge options file; CLI11 parses the command
# line, pugixml reads the playlist model, libdvdread the DVD IFO, libudfread disc images,
# libsndfile writes WAV and FLAC; iso-codes gives the language table and python3 makes it (and
# checks the includes) at build time; dvdauthor and lsdvd author and read back the test DVDs,
# genisoimage and python3-pycdlib make UDF images of them.
tools/ensure_packages.sh cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev \
  nlohmann-json3-dev libcli11-dev libpugixml-dev libdvdread-dev libudfread-dev libsndfile1-dev \
  iso-codes python3 qt6-base-dev libjpeg-dev xvfb xauth fonts-dejavu-core ffmpeg mkvtoolnix \
  dvdauthor lsdvd genisoimage python3-pycdlib clang libclang-rt-14-dev

jobs=$(nproc)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVELL_BUILD_GUI=ON
cmake --build build/release -j "$jobs"
ctest --test-dir build/release -j "$jobs" --output-on-failure

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVELL_BUILD_GUI=OFF \
  -DKORVELL_SANITIZE=ON
cmake --build build/sanitize -j "$jobs"
# This pass runs with no locale set, as on a fresh minimal machine (the release pass above ran
# in the caller's): tools and the product must then still handle paths and names beyond ASCII.
no_locale=()
for name in $(env | grep -oE '^(LANG|LANGUAGE|LC_[A-Z_]+)=' | tr -d =); do no_locale+=(-u "$name"); done
env "${no_locale[@]}" ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize -j "$jobs" --output-on-failure

# The Debian package of the release build: built, linted, installed, used and removed.
if command -v apt-get >/dev/null && command -v dpkg >/dev/null &&
  { [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null; }; then
  tools/ensure_packages.sh lintian desktop-file-utils appstream man-db dpkg-dev file
  packaging/test_package.sh build/release
else
  echo "Package test skipped: installing a package needs apt-get, dpkg and root or passwordless sudo"
fi

# Fuzz smoke: every libFuzzer target for a few seconds, built with clang (AddressSanitizer,
# UndefinedBehaviorSanitizer) in a folder of its own. New inputs go to a scratch folder, so
# the committed corpora stay as they are.
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKORVELL_BUILD_FUZZ=ON -DKORVELL_BUILD_GUI=OFF -DKORVELL_BUILD_TESTS=OFF
cmake --build build/fuzz -j "$jobs"
fuzz_scratch=$(mktemp -d)
trap 'rm -rf "$fuzz_scratch"' EXIT
for target in walker_scan walker_demux video_analysers audio_analysers rebuild xpl markup file_names \
  vobsub pgs lpcm mkvmerge_output ifo hddvd udf_image; do
  echo "Fuzz smoke: $target"
  mkdir -p "$fuzz_scratch/$target"
  log="$fuzz_scratch/$target.log"
  if ! build/fuzz/fuzz/fuzz_$target -max_total_time=6 -timeout=20 -rss_limit_mb=2048 \
      -artifact_prefix="$fuzz_scratch/" "$fuzz_scratch/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
    cat "$log"
    echo "fuzz_$target found a fault"
    exit 1
  fi
  grep -E "^#[0-9]+[[:space:]]+DONE" "$log"
done
