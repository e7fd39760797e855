#!/usr/bin/env bash
# Makes the short real encoder samples under testdata/ from ffmpeg's own test sources.
# The committed files are what the tests use; run this only to make them again.
set -euo pipefail
cd "$(dirname "$0")"
ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
tone=(-f lavfi -i "sine=frequency=440:sample_rate=48000:duration=0.5")
tone6=(-f lavfi -i "sine=frequency=440:sample_rate=48000:duration=0.5" -ac 6)

# Audio elementary streams.
ff "${tone6[@]}" -c:a ac3 -b:a 448k ac3_448k_5ch.ac3
ff "${tone[@]}" -ac 2 -c:a ac3 -b:a 192k ac3_192k_2ch.ac3
ff "${tone6[@]}" -c:a eac3 -b:a 768k eac3_768k_6ch.eac3
ff "${tone6[@]}" -c:a dca -strict -2 -b:a 1509k dts_1509k_6ch.dts
ff "${tone6[@]}" -c:a truehd -strict -2 truehd_6ch.thd
ff -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=0.5" -ac 2 -c:a mlp -strict -2 mlp_2ch.mlp

# Video elementary streams: 12 frames each.
ff -f lavfi -i "testsrc=size=720x576:rate=25" -frames:v 12 -c:v mpeg2video -b:v 4M -g 6 \
   -aspect 16:9 mpeg2_pal_25.m2v
ff -f lavfi -i "testsrc=size=720x480:rate=30000/1001" -frames:v 12 -c:v mpeg2video -b:v 4M \
   -g 6 -aspect 4:3 mpeg2_ntsc_2997.m2v
ff -f lavfi -i "testsrc=size=1920x1080:rate=24000/1001" -frames:v 12 -c:v libx264 \
   -profile:v high -level:v 4.1 -x264-params aud=1:keyint=6 -pix_fmt yuv420p h264_high_41.264
