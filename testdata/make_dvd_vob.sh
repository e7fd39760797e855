#!/usr/bin/env bash
# Makes a short DVD-Video VOB with ffmpeg: MPEG-2 video, AC-3 (0x80), two DTS (0x88, 0x89),
# three LPCM (0xA0 to 0xA2) and a subpicture stream taken from a sample disc's
# FEATURE_1.EVO. Substreams 0x88, 0xA0 and 0xA1 share audio slots with earlier streams, so
# a Read run shows AC-3 in slot 0, DTS in slot 1 and LPCM in slot 2.
# Usage: make_dvd_vob.sh OUT.VOB FEATURE_1.EVO [SECONDS]
set -euo pipefail
out=$1
evo=$2
seconds=${3:-1}
tmp=$(mktemp --suffix=.vob)
trap 'rm -f "$tmp"' EXIT
ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
ff -f lavfi -i "testsrc=size=720x576:rate=25" -f lavfi -i "sine=frequency=440:sample_rate=48000" \
   -t "$seconds" -map 0:v -map 1:a -map 1:a -map 1:a -map 1:a -map 1:a -map 1:a \
   -c:v mpeg2video -b:v 5M -c:a:0 ac3 -b:a:0 448k -ac:a:0 6 \
   -c:a:1 dca -c:a:2 dca -strict -2 -ac:a:1 2 -ac:a:2 2 \
   -c:a:3 pcm_s16be -c:a:4 pcm_s16be -c:a:5 pcm_s16be -f dvd "$tmp"
# Stream 0 of the VOB is its navigation data; the sample disc's stream 4 is subpicture 0x20.
ff -i "$tmp" -i "$evo" -map 0:1 -map 0:2 -map 0:3 -map 0:4 -map 0:5 -map 0:6 -map 0:7 -map 1:4 \
   -c copy -f dvd "$out"
