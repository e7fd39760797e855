#!/usr/bin/env bash
# Makes a DVD VOB with two 2-bit subpicture streams that spumux (dvdauthor) authored over
# 8 seconds of ffmpeg MPEG-2 video: stream 0 (0x20) with three units, the second a
# 640x160 three-colour pattern whose unit spans several packets; stream 1 (0x21) with two.
# The images are opaque PNGs of three colours, black marked transparent. With --audio the
# video comes with 24-bit 6-channel LPCM (0xA0, a tone of its own in each channel with some
# noise) and stereo AC-3 (0x80), both by ffmpeg.
# Usage: make_spumux_vob.sh OUT.VOB [--audio]  (needs ffmpeg and spumux; scratch files go
# beside OUT)
set -euo pipefail
out=$1
audio=${2:-}
work=$(mktemp -d "$(dirname "$out")/spumux.XXXXXX")
trap 'rm -rf "$work"' EXIT
ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }

if [ "$audio" = --audio ]; then
  exprs=""
  for ch in 1 2 3 4 5 6; do
    exprs+="${exprs:+|}0.6*sin(2*PI*$((110 * ch))*t)+0.3*(random($ch)-0.5)"
  done
  ff -f lavfi -i "color=c=black:s=720x576:r=25" \
     -f lavfi -i "aevalsrc=exprs=$exprs:channel_layout=5.1(side):sample_rate=48000" \
     -f lavfi -i "sine=frequency=440:sample_rate=48000" -t 8 -map 0:v -map 1:a -map 2:a \
     -c:v mpeg2video -b:v 2M -c:a:0 pcm_dvd -sample_fmt:a:0 s32 \
     -c:a:1 ac3 -b:a:1 192k -ac:a:1 2 -f dvd "$work/video.mpg"
else
  ff -f lavfi -i "color=c=black:s=720x576:r=25" -t 8 -c:v mpeg2video -b:v 2M -f dvd "$work/video.mpg"
fi
# A white box with a red bar: short runs, one packet.
ff -f lavfi -i "color=c=black:s=200x60" -frames:v 1 \
   -vf "drawbox=x=10:y=10:w=180:h=40:color=white:t=fill,drawbox=x=20:y=20:w=160:h=20:color=red:t=fill" \
   "$work/box.png"
# Three colours in cells of 3x2 pixels: thousands of runs, a unit of many packets.
cell='mod(floor(X/3)+floor(Y/2)\,3)'
ff -f lavfi -i "color=c=black:s=640x160" -frames:v 1 \
   -vf "geq=r='if(eq($cell\,0)\,255\,0)':g='if(eq($cell\,1)\,255\,0)':b='if(eq($cell\,1)\,255\,0)'" \
   "$work/cells.png"
# A green frame around a cyan bar.
ff -f lavfi -i "color=c=black:s=300x80" -frames:v 1 \
   -vf "drawbox=x=0:y=0:w=300:h=80:color=lime:t=4,drawbox=x=40:y=30:w=220:h=20:color=cyan:t=fill" \
   "$work/frame.png"

spu() {  # start end image x y
  echo "  <spu start=\"$1\" end=\"$2\" image=\"$work/$3\" transparent=\"000000\" xoffset=\"$4\" yoffset=\"$5\"/>"
}
{
  echo "<subpictures><stream>"
  spu 00:00:01.00 00:00:02.00 box.png 100 400
  spu 00:00:03.00 00:00:04.50 cells.png 40 300
  spu 00:00:05.20 00:00:06.00 box.png 300 100
  echo "</stream></subpictures>"
} >"$work/stream0.xml"
{
  echo "<subpictures><stream>"
  spu 00:00:01.50 00:00:03.00 frame.png 200 200
  spu 00:00:06.50 00:00:07.00 box.png 400 450
  echo "</stream></subpictures>"
} >"$work/stream1.xml"
spumux -s 0 "$work/stream0.xml" <"$work/video.mpg" >"$work/one.mpg" 2>"$work/spumux0.log"
spumux -s 1 "$work/stream1.xml" <"$work/one.mpg" >"$out" 2>"$work/spumux1.log"
