#!/usr/bin/env bash
# Makes a small DVD-Video folder with ffmpeg, spumux and dvdauthor: one title set with two
# titles, each a program stream of MPEG-2 video (720x576, 25 fps), AC-3 "en" (stereo, 0x80) and
# AC-3 "de" (5.1, 0x81). Title 1 lasts 8 seconds with chapters at 0, 2, 4 and 6 seconds (dvdauthor
# moves them to the next GOP start) and a subpicture stream "fr" (0x20, two captions of a
# 3-colour image); title 2 lasts 2 seconds with one chapter and no subpictures.
#
# VTS_01_1.VOB is then cut in two at a pack boundary inside title 1, so that title 1 runs from
# VTS_01_1.VOB into VTS_01_2.VOB and title 2 lies wholly in VTS_01_2.VOB, as on a disc whose
# title VOBs pass 1 GiB. The IFO stays valid: its cell sectors count over the title set's
# VOB files in order as one file, so any cut on a 2,048-byte boundary leaves every sector where
# the IFO says it is.
#
# Usage: make_dvd_disc.sh OUT_DIR
# Writes OUT_DIR/VIDEO_TS/ and the two sources the titles were authored from,
# OUT_DIR/title1.mpg and OUT_DIR/title2.mpg.
set -euo pipefail
out=$1
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }

# A program stream that dvdauthor takes: 2,048-byte packs, video 0xE0, AC-3 0x80 and 0x81.
source() {  # NAME SECONDS PATTERN
  ff -f lavfi -i "$3=size=720x576:rate=25" \
     -f lavfi -i "sine=frequency=440:sample_rate=48000" \
     -f lavfi -i "sine=frequency=660:sample_rate=48000" -t "$2" \
     -map 0:v -map 1:a -map 2:a -c:v mpeg2video -b:v 1500k -maxrate 3000k -bufsize 1835k \
     -g 12 -aspect 4:3 -c:a ac3 -b:a:0 128k -ac:a:0 2 -b:a:1 192k -ac:a:1 6 -f dvd "$1"
}
source plain1.mpg 8 testsrc
source "$out/title2.mpg" 2 testsrc2

# The subpicture image: black (transparent), white and red, drawn in RGB so that no other
# colour appears (spumux takes at most four).
ff -f lavfi -i "color=c=black:s=160x40,format=rgb24,drawbox=x=10:y=10:w=140:h=20:color=white:t=fill,drawbox=x=20:y=15:w=30:h=10:color=red:t=fill" \
   -frames:v 1 -sws_dither none -pix_fmt pal8 caption.png
cat > captions.xml <<'EOF'
<subpictures>
  <stream>
    <spu start="00:00:00.50" end="00:00:02.00" image="caption.png" xoffset="280" yoffset="480" transparent="000000" />
    <spu start="00:00:04.00" end="00:00:06.00" image="caption.png" xoffset="280" yoffset="480" transparent="000000" />
  </stream>
</subpictures>
EOF
VIDEO_FORMAT=PAL spumux -s 0 captions.xml < plain1.mpg > "$out/title1.mpg" 2> spumux.log

cat > disc.xml <<EOF
<dvdauthor dest="$work/disc">
  <vmgm />
  <titleset>
    <titles>
      <video format="pal" aspect="4:3" />
      <audio format="ac3" lang="en" />
      <audio format="ac3" lang="de" />
      <subpicture lang="fr" />
      <pgc>
        <vob file="$out/title1.mpg" chapters="0,2,4,6" />
      </pgc>
      <pgc>
        <vob file="$out/title2.mpg" />
      </pgc>
    </titles>
  </titleset>
</dvdauthor>
EOF
VIDEO_FORMAT=PAL dvdauthor -x disc.xml > dvdauthor.log 2>&1

# Title 1 comes first in the VOB and is about as long as its source, so half of the source's
# packs is well inside it.
vob=disc/VIDEO_TS/VTS_01_1.VOB
cut=$(( $(stat -c %s "$out/title1.mpg") / 2048 / 2 * 2048 ))
rm -rf "$out/VIDEO_TS"
mkdir "$out/VIDEO_TS"
cp disc/VIDEO_TS/*.IFO disc/VIDEO_TS/*.BUP "$out/VIDEO_TS/"
head -c "$cut" "$vob" > "$out/VIDEO_TS/VTS_01_1.VOB"
tail -c +$(( cut + 1 )) "$vob" > "$out/VIDEO_TS/VTS_01_2.VOB"
