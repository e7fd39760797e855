#!/usr/bin/env bash
# Makes a DVD-Video VOB holding one LPCM stream (substream 0xA0), written by ffmpeg's DVD LPCM
# encoder and DVD muxer: a tone of its own in each channel with some noise, so that every bit
# of a sample and the place of every channel show.
# Usage: make_lpcm_vob.sh OUT.VOB BITS(16|24) CHANNELS(1|2|6|8) RATE(48000|96000) [SECONDS]
set -euo pipefail
out=$1
bits=$2
channels=$3
rate=$4
seconds=${5:-1}
case $channels in
  1) layout=mono ;;
  2) layout=stereo ;;
  6) layout="5.1(side)" ;;
  8) layout="7.1" ;;
  *) echo "make_lpcm_vob.sh: ffmpeg's DVD LPCM encoder takes 1, 2, 6 or 8 channels" >&2; exit 2 ;;
esac
case $bits in
  16) format=s16 ;;
  24) format=s32 ;;
  *) echo "make_lpcm_vob.sh: ffmpeg's DVD LPCM encoder writes 16 or 24 bits" >&2; exit 2 ;;
esac
exprs=""
for ((ch = 1; ch <= channels; ch++)); do
  exprs+="${exprs:+|}0.6*sin(2*PI*$((110 * ch))*t)+0.3*(random($ch)-0.5)"
done
ffmpeg -hide_banner -loglevel error -y -f lavfi \
  -i "aevalsrc=exprs=$exprs:channel_layout=$layout:sample_rate=$rate:duration=$seconds" \
  -c:a pcm_dvd -sample_fmt "$format" -f dvd "$out"
