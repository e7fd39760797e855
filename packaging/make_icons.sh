#!/usr/bin/env bash
# Writes the menu icons, packaging/icons/NxN/korvell.png, from the disc of ui/logo.jpg (its
# left 40x40 pixels) with ffmpeg. The PNGs are committed; run this again when the logo changes.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128; do
  mkdir -p "icons/${size}x${size}"
  ffmpeg -v error -y -i ../ui/logo.jpg \
    -vf "crop=40:40:0:0,scale=${size}:${size}:flags=lanczos" -frames:v 1 \
    "icons/${size}x${size}/korvell.png"
done
