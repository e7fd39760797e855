#!/usr/bin/env bash
# Times Korvell's runs against two dd baselines, cp and the general tools (ffmpeg, mkvmerge)
# on a sample HD DVD .EVO of SIZE (default 2G) and on an ffmpeg-made DVD .VOB of about
# 1.1 GB, with a warm page cache, each command REPS times (default 5), alternating; then dd
# and Korvell again with the input dropped from the page cache before each run (skip with
# --no-cold). Then the Korvell runs again at 1, 2 and 4 GiB (skip with --no-scaling). Then the
# output forms on an ffmpeg-made VOB of 10 minutes of 24-bit 6-channel LPCM (about 520 MB):
# demux as it stands, to WAV and to FLAC, against ffmpeg's pcm_s24le and flac of the same
# stream (skip with --no-lpcm). Then the Matroska file of the sample EVO (skip with --no-mkv):
# korvell-cli mkv against its demux followed by mkvmerge of the files, mkvmerge alone on the
# same files, and mkvmerge reading the EVO itself. Then an HD DVD title (skip with
# --no-title): korvell-cli demux --title 1 of a sample disc of SIZE, whose title plays
# FEATURE_1.EVO and FEATURE_2.EVO through their time maps, against the demux of FEATURE_1.EVO
# carried on to FEATURE_2.EVO, the same bytes read as a file set. Then a DVD title read in
# place from a UDF image against the same title from the disc's folder (skip with --no-image):
# a dvdauthor disc of about 1.1 GB and its genisoimage image, made once and kept. Writes
# docs/PERFORMANCE.md; with --lpcm-only, --mkv-only, --title-only or --image-only runs those
# rows alone and prints their section instead.
#
#   bench/compare.sh [SIZE] [--reps N] [--no-scaling] [--no-vob] [--no-cold] [--no-lpcm]
#                    [--no-mkv] [--no-title] [--no-image]
#   bench/compare.sh --lpcm-only [--reps N]
#   bench/compare.sh --mkv-only [SIZE] [--reps N]
#   bench/compare.sh --title-only [SIZE] [--reps N]
#   bench/compare.sh --image-only [--reps N]
#
# Everything from a "## Profile" heading of an existing docs/PERFORMANCE.md on is kept.
# Needs about 4 x SIZE free disk (the sample, the outputs of one command, the 4 GiB scaling
# sample); everything big is deleted at the end except the cached VOB under build/bench-data.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
invocation="bench/compare.sh $*"

size=2G
reps=5
scaling=1
vob=1
cold=1
lpcm=1
lpcm_only=0
mkv=1
mkv_only=0
title=1
title_only=0
image=1
image_only=0
while [ $# -gt 0 ]; do
  case "$1" in
    --reps) reps=$2; shift 2 ;;
    --no-scaling) scaling=0; shift ;;
    --no-vob) vob=0; shift ;;
    --no-cold) cold=0; shift ;;
    --no-lpcm) lpcm=0; shift ;;
    --lpcm-only) lpcm_only=1; shift ;;
    --no-mkv) mkv=0; shift ;;
    --mkv-only) mkv_only=1; shift ;;
    --no-title) title=0; shift ;;
    --title-only) title_only=1; shift ;;
    --no-image) image=0; shift ;;
    --image-only) image_only=1; shift ;;
    -h|--help) sed -n 2,27p "$0"; exit 0 ;;
    *) size=$1; shift ;;
  esac
done

build=$root/build/bench
data=$root/build/bench-data
work=$data/run
out=$work/out
doc=$root/docs/PERFORMANCE.md
mkdir -p "$data" "$work"
load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)

bytes_of() {  # 2G -> bytes
  local n=${1%[KkMmGg]} unit=${1: -1}
  case "$unit" in
    K|k) echo $((n * 1024)) ;;
    M|m) echo $((n * 1048576)) ;;
    G|g) echo $((n * 1073741824)) ;;
    *) echo "$1" ;;
  esac
}

need=$(( $(bytes_of "$size") * 2 + 4 * 1073741824 * scaling * 2 + 1073741824 ))
[ "$lpcm_only" = 0 ] || need=$((2 * 1073741824))
[ "$image_only" = 0 ] || need=$((5 * 1073741824))
free=$(df -B1 --output=avail "$data" | tail -1)
echo "Free disk under $data: $((free / 1048576)) MiB, needed about $((need / 1048576)) MiB"
if [ "$free" -lt "$need" ]; then
  echo "Not enough free disk; use a smaller SIZE or --no-scaling." >&2
  exit 1
fi

# Tools: GNU time is required; the peers are installed when missing, or skipped.
install_package() {
  command -v apt-get >/dev/null || return 1
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$1" >/dev/null 2>&1
}
# The microbenchmarks build against Google Benchmark.
"$root/tools/ensure_packages.sh" libbenchmark-dev cmake ninja-build g++
[ -x /usr/bin/time ] || install_package time || { echo "GNU time is missing" >&2; exit 1; }
have_ffmpeg=1
have_mkvmerge=1
command -v ffmpeg >/dev/null || install_package ffmpeg || have_ffmpeg=0
command -v mkvmerge >/dev/null || install_package mkvtoolnix || have_mkvmerge=0

echo "Building Release into $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVELL_BUILD_BENCH=ON \
  -DKORVELL_BUILD_GUI=OFF -DKORVELL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target korvell-cli make_sample_disc korvell_bench >/dev/null
cli=$build/cli/korvell-cli
have_rebuild=0
"$cli" --help 2>&1 | grep "korvell-cli rebuild" >/dev/null && have_rebuild=1

notes=()
note() { notes+=("$1"); echo "Note: $1"; }
[ "$have_ffmpeg" = 1 ] || note "ffmpeg is not installed and could not be installed: its rows are skipped."
[ "$have_mkvmerge" = 1 ] || note "mkvmerge is not installed and could not be installed: its rows are skipped."
[ "$have_rebuild" = 1 ] || note "korvell-cli has no rebuild command yet: the rebuild rows are skipped."

sample_evo() {  # sample_evo SIZE -> path of a FEATURE_1.EVO of that size, alone in its folder
  local dir=$work/evo_$1
  if [ ! -f "$dir/HVDVD_TS/FEATURE_1.EVO" ]; then
    "$build/tools/make_sample_disc" "$dir" "$1" "$root/testdata" >/dev/null
    rm -f "$dir/HVDVD_TS/FEATURE_2.EVO"
  fi
  echo "$dir/HVDVD_TS/FEATURE_1.EVO"
}

dvd_vob() {  # an MPEG-2 + two AC-3 DVD VOB of about 1.1 GB, made once and kept
  local vobfile=$data/dvd_1g.vob
  if [ ! -f "$vobfile" ]; then
    echo "Encoding $vobfile (once)" >&2
    ffmpeg -hide_banner -loglevel error -nostats -y -f lavfi -i testsrc=size=720x576:rate=25 \
      -f lavfi -i sine=frequency=440:sample_rate=48000 \
      -f lavfi -i sine=frequency=880:sample_rate=48000 -t 750 -map 0:v -map 1:a -map 2:a \
      -c:v mpeg2video -g 15 -b:v 12M -minrate 12M -maxrate 12M -bufsize 1835k \
      -c:a ac3 -b:a 448k -ac 2 -f dvd "$vobfile.part" </dev/null
    mv "$vobfile.part" "$vobfile"
  fi
  echo "$vobfile"
}

lpcm_vob() {  # 10 minutes of 24-bit 6-channel 48 kHz LPCM in a DVD VOB, made once and kept
  local vobfile=$data/lpcm_24bit_6ch.vob
  if [ ! -f "$vobfile" ]; then
    echo "Encoding $vobfile (once)" >&2
    "$root/testdata/make_lpcm_vob.sh" "$vobfile.part" 24 6 48000 600 </dev/null
    mv "$vobfile.part" "$vobfile"
  fi
  echo "$vobfile"
}

# The kept streams of a rebuild: every stream the Read run finds but the last audio and the
# last subpicture stream.
rebuild_selection() {
  local report kept=() audio=() subs=()
  report=$("$cli" read --no-continue --no-count-frames --no-details --color=never "$1")
  while read -r n; do kept+=("v$n"); done < <(grep -oE 'video stream [0-9]+ found' <<<"$report" |
                                               grep -oE '[0-9]+')
  while read -r n; do audio+=("$(printf 'a%02d' "$n")"); done < <(
    grep -oE 'audio stream [0-9]+ found' <<<"$report" | grep -oE '[0-9]+')
  while read -r n; do subs+=("$(printf 's%02d' "$n")"); done < <(
    grep -oiE 'subpicture stream [0-9]+ found' <<<"$report" | grep -oE '[0-9]+')
  [ ${#audio[@]} -gt 0 ] && unset 'audio[-1]'
  [ ${#subs[@]} -gt 0 ] && unset 'subs[-1]'
  kept+=("${audio[@]}" "${subs[@]}")
  local IFS=,
  echo "${kept[*]}"
}

# ffmpeg -c copy with one raw elementary output per stream, the muxer chosen by codec.
ffmpeg_command() {
  local file=$1 args="" i=0 codec muxer
  while read -r codec; do
    case "$codec" in
      mpeg2video|mpeg1video) muxer=mpeg2video ;;
      vc1|h264|ac3|eac3|truehd|dts|mp2|mp3) muxer=$codec ;;
      dvd_subtitle) muxer=data ;;  # subpictures: the packet bytes as they are
      *) muxer="" ;;               # navigation packets: not an elementary stream
    esac
    [ -z "$muxer" ] || args+=" -map 0:$i -c copy -f $muxer $out/ff_$i.$muxer"
    i=$((i + 1))
  done < <(ffprobe -v error -show_entries stream=codec_name -of default=nw=1 "$file" |
           sed -n 's/^codec_name=//p')
  echo "ffmpeg -nostdin -hide_banner -loglevel fatal -y -i $file$args"
}

# Runs each command of the current set REPS times, alternating; keeps every time and RSS.
declare -A times rss
names=()
commands=()
add() { names+=("$1"); commands+=("$2"); }

# A command whose name ends in "(cold)" runs with $cold_input dropped from the page cache.
cold_input=""
drop_cache() { dd if="$1" iflag=nocache count=0 status=none; }

run_set() {  # run_set TAG
  local tag=$1 rep k start end
  for ((rep = 1; rep <= reps; rep++)); do
    for k in "${!names[@]}"; do
      rm -rf "$out"
      mkdir -p "$out"
      [[ "${names[$k]}" == *"(cold)" ]] && drop_cache "$cold_input"
      start=$(date +%s%N)
      if ! /usr/bin/time -f %M -o "$work/rss" bash -c "${commands[$k]}" >/dev/null 2>"$work/err"
      then
        echo "FAILED: ${commands[$k]}" >&2
        tail -5 "$work/err" >&2
        times[$tag/${names[$k]}]+="fail "
        continue
      fi
      end=$(date +%s%N)
      times[$tag/${names[$k]}]+="$(( (end - start) / 1000 )) "
      rss[$tag/${names[$k]}]+="$(tail -1 "$work/rss") "
      printf '  %-8s %-16s run %d: %s s\n' "$tag" "${names[$k]}" "$rep" \
        "$(awk -v us=$(( (end - start) / 1000 )) 'BEGIN {printf "%.3f", us / 1e6}')"
    done
  done
  rm -rf "$out"
}

median() {  # median of microsecond values -> seconds
  tr ' ' '\n' <<<"$1" | grep -E '^[0-9]+$' | sort -n |
    awk '{v[NR]=$1} END {if (NR == 0) {print "nan"; exit}
         m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f", m / 1e6}'
}
lowest() {  # smallest of microsecond values -> seconds
  tr ' ' '\n' <<<"$1" | grep -E '^[0-9]+$' | sort -n | head -1 | awk '{printf "%.3f", $1 / 1e6}'
}
highest() {
  tr ' ' '\n' <<<"$1" | grep -E '^[0-9]+$' | sort -n | tail -1 | awk '{printf "%.3f", $1 / 1e6}'
}
peak() {  # largest KiB value -> MiB
  tr ' ' '\n' <<<"$1" | grep -E '^[0-9]+$' | sort -n | tail -1 | awk '{printf "%.1f", $1 / 1024}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (a == "nan" || b == "nan" || b == 0) print "-";
                                          else printf "%.2f", a / b}'; }

# One comparison set for a file: baselines, Korvell, peers.
compare_file() {  # compare_file TAG FILE
  local tag=$1 file=$2 selection
  names=()
  commands=()
  add "dd read" "dd if=$file of=/dev/null bs=256k"
  add "dd copy" "dd if=$file of=$out/copy.bin bs=256k"
  add "cp" "cp $file $out/cp.bin"
  add "korvell read" "$cli read --no-fast-check --no-continue $file"
  add "korvell demux" "$cli demux --no-continue $file -o $out"
  if [ "$have_rebuild" = 1 ] && [[ "$file" == *.EVO ]]; then
    selection=$(rebuild_selection "$file")
    add "korvell rebuild" "$cli rebuild --no-continue $file -o $out --select $selection"
    rebuild_note[$tag]="rebuild keeps --select $selection"
  fi
  [ "$have_ffmpeg" = 1 ] && add "ffmpeg -c copy" "$(ffmpeg_command "$file")"
  [ "$have_mkvmerge" = 1 ] && add "mkvmerge" "mkvmerge -q -o $out/out.mkv $file"
  set_names[$tag]="${names[*]/%/|}"
  cat "$file" >/dev/null  # warm the page cache
  echo "Timing $tag: $file ($(stat -c %s "$file") bytes), $reps runs each"
  run_set "$tag"
  [ "$cold" = 1 ] || return 0
  # The same baselines and Korvell runs from the disk: the input dropped before each run.
  names=()
  commands=()
  add "dd read (cold)" "dd if=$file of=/dev/null bs=256k"
  add "dd copy (cold)" "dd if=$file of=$out/copy.bin bs=256k"
  add "korvell read (cold)" "$cli read --no-fast-check --no-continue $file"
  add "korvell demux (cold)" "$cli demux --no-continue $file -o $out"
  if [ -n "${rebuild_note[$tag]:-}" ]; then
    add "korvell rebuild (cold)" "$cli rebuild --no-continue $file -o $out --select $selection"
  fi
  set_names[cold$tag]="${names[*]/%/|}"
  cold_input=$file
  echo "Timing $tag from the disk, $reps runs each"
  run_set "$tag"
}

# The output forms of one LPCM stream: Korvell's demux as it stands, to WAV and to FLAC, and
# ffmpeg's decoding of the same stream into the same forms.
compare_lpcm() {  # compare_lpcm FILE
  local file=$1
  names=()
  commands=()
  add "korvell demux" "$cli demux --no-continue $file -o $out"
  add "korvell demux --lpcm wav" "$cli demux --no-continue --lpcm wav $file -o $out"
  add "korvell demux --lpcm flac" "$cli demux --no-continue --lpcm flac $file -o $out"
  if [ "$have_ffmpeg" = 1 ]; then
    add "ffmpeg pcm_s24le" "ffmpeg -nostdin -hide_banner -loglevel fatal -y -i $file -map 0:a:0 -c:a pcm_s24le $out/ff.wav"
    add "ffmpeg flac" "ffmpeg -nostdin -hide_banner -loglevel fatal -y -i $file -map 0:a:0 -c:a flac $out/ff.flac"
  fi
  set_names[lpcm]="${names[*]/%/|}"
  cat "$file" >/dev/null
  echo "Timing the LPCM forms: $file ($(stat -c %s "$file") bytes), $reps runs each"
  run_set lpcm
}

# The LPCM section of the report: its table and its target line.
lpcm_section() {
  local name t raw_t peer peer_t v
  raw_t=$(median "${times[lpcm/korvell demux]}")
  echo "### Output forms: ffmpeg-made DVD VOB of 24-bit 6-channel 48 kHz LPCM (${file_bytes[lpcm]} bytes, 10 minutes)"
  echo
  echo "| Command | Median s | Min–max s | MB/s | Peak RSS MiB | × raw demux | ffmpeg ÷ this |"
  echo "|---|---:|---:|---:|---:|---:|---:|"
  IFS='|' read -ra list <<<"${set_names[lpcm]}"
  for name in "${list[@]}"; do
    name=${name# }
    [ -n "$name" ] || continue
    t=$(median "${times[lpcm/$name]}")
    peer=""
    case "$name" in
      *"--lpcm wav") peer="ffmpeg pcm_s24le" ;;
      *"--lpcm flac") peer="ffmpeg flac" ;;
    esac
    peer_t=nan
    [ -z "$peer" ] || peer_t=$(median "${times[lpcm/$peer]:-}")
    echo "| \`$name\` | $t | $(lowest "${times[lpcm/$name]}")–$(highest "${times[lpcm/$name]}") |" \
         "$(mbs "${file_bytes[lpcm]}" "$t") | $(peak "${rss[lpcm/$name]:-}") | $(ratio "$t" "$raw_t") |" \
         "$(ratio "$peer_t" "$t") |"
  done
  echo
  echo "\`korvell demux\` writes the stream as it stands; \`--lpcm wav\` decodes it into a 24-bit"
  echo "WAVE_FORMAT_EXTENSIBLE file, \`--lpcm flac\` into FLAC at libsndfile's default level; each"
  echo "demux includes its Read run. \`ffmpeg pcm_s24le\` and \`ffmpeg flac\` are"
  echo "\`ffmpeg -i FILE -map 0:a:0 -c:a pcm_s24le OUT.wav\` and \`-c:a flac OUT.flac\`."
  echo
  v=$(ratio "$(median "${times[lpcm/korvell demux --lpcm wav]}")" "$raw_t")
  target "LPCM VOB: demux --lpcm wav ≤ 1.2 × raw demux" "$v ×" \
    "$(awk -v v="$v" 'BEGIN {print (v != "-" && v <= 1.2) ? "met" : "missed"}')"
}

# The Matroska file of one EVO: Korvell's mkv run (its Read, the demux into a temporary
# folder, mkvmerge), against the same work done by hand (demux, then mkvmerge of the files),
# mkvmerge alone on those files, and mkvmerge reading the EVO itself.
compare_mkv() {  # compare_mkv FILE
  local file=$1 es=$data/mkv-es files
  rm -rf "$es" && mkdir -p "$es"
  $cli demux --no-continue --codec-extensions "$file" -o "$es" >/dev/null
  files=$(find "$es" -type f \( -name '*.vc1' -o -name '*.eac3' -o -name '*.thd' -o -name '*.dts' \
    -o -name '*.ac3' -o -name '*.m2v' \) | sort | tr '\n' ' ')
  names=()
  commands=()
  add "korvell mkv" "$cli mkv --no-continue $file -o $out/k.mkv"
  add "korvell demux + mkvmerge" "$cli demux --no-continue --codec-extensions $file -o $out && mkvmerge -q -o $out/d.mkv \$(find $out -type f \\( -name '*.vc1' -o -name '*.eac3' -o -name '*.thd' -o -name '*.dts' -o -name '*.ac3' -o -name '*.m2v' \\) | sort)"
  add "mkvmerge of the files" "mkvmerge -q -o $out/f.mkv $files"
  add "mkvmerge of the EVO" "mkvmerge -q -o $out/e.mkv $file"
  set_names[mkv]="${names[*]/%/|}"
  cat "$file" "$es"/* >/dev/null
  echo "Timing the Matroska file of $file ($(stat -c %s "$file") bytes), $reps runs each"
  run_set mkv
  rm -rf "$es"
}

# The rows of a set, each command against one of them: median, min–max, peak RSS, ratio.
against_table() {  # against_table TAG BASE_COMMAND BASE_LABEL
  local tag=$1 base name t
  base=$(median "${times[$tag/$2]}")
  echo "| Command | Median s | Min–max s | Peak RSS MiB | × $3 |"
  echo "|---|---:|---:|---:|---:|"
  IFS='|' read -ra list <<<"${set_names[$tag]}"
  for name in "${list[@]}"; do
    name=${name# }
    [ -n "$name" ] || continue
    t=$(median "${times[$tag/$name]}")
    echo "| \`$name\` | $t | $(lowest "${times[$tag/$name]}")–$(highest "${times[$tag/$name]}") |" \
         "$(peak "${rss[$tag/$name]:-}") | $(ratio "$t" "$base") |"
  done
  echo
}

# The Matroska section of the report: its table and its target line.
mkv_section() {
  local v base
  base=$(median "${times[mkv/korvell demux + mkvmerge]}")
  echo "### Matroska: the sample EVO (${file_bytes[mkv]} bytes)"
  echo
  against_table mkv "korvell demux + mkvmerge" "demux + mkvmerge"
  echo "\`korvell mkv\` is \`korvell-cli mkv --no-continue FILE -o OUT.mkv\` (Read run, demux of every"
  echo "stream into a temporary folder, one mkvmerge call, the folder removed); \`korvell demux +"
  echo "mkvmerge\` the same by hand: \`korvell-cli demux --codec-extensions\`, then \`mkvmerge -o\`"
  echo "of the video and audio files; \`mkvmerge of the files\` the second step alone;"
  echo "\`mkvmerge of the EVO\` \`mkvmerge -o OUT.mkv FILE\`."
  echo
  v=$(ratio "$(median "${times[mkv/korvell mkv]}")" "$base")
  target "EVO: korvell-cli mkv ≤ 1.3 × (demux + mkvmerge of the files)" "$v ×" \
    "$(awk -v v="$v" 'BEGIN {print (v != "-" && v <= 1.3) ? "met" : "missed"}')"
}

# An HD DVD title against the same files read as a set: the sample disc of SIZE keeps
# FEATURE_2.EVO and its time maps, and a playlist of its own whose title plays both files
# whole (the sample's clips last a minute, the filler of a large FEATURE_1.EVO far longer).
compare_title() {  # compare_title SIZE
  local disc=$work/title_$1
  if [ ! -f "$disc/HVDVD_TS/FEATURE_2.EVO" ]; then
    "$build/tools/make_sample_disc" "$disc" "$1" "$root/testdata" >/dev/null
    cat >"$disc/ADV_OBJ/VPLST000.XPL" <<'XPL'
<?xml version="1.0" encoding="UTF-8"?>
<Playlist xmlns="http://www.dvdforum.org/2005/HDDVDVideo/Playlist" majorVersion="1" minorVersion="0">
  <MediaAttributeList><VideoAttributeItem index="1" codec="VC-1"/></MediaAttributeList>
  <TitleSet timeBase="60fps">
    <Title titleNumber="1" titleDuration="50:00:00:00" displayName="Benchmark">
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_1.MAP"
                             titleTimeBegin="00:00:00:00" titleTimeEnd="49:00:00:00"/>
      <PrimaryAudioVideoClip src="file:///dvddisc/HVDVD_TS/FEATURE_2.MAP"
                             titleTimeBegin="49:00:00:00" titleTimeEnd="50:00:00:00"/>
    </Title>
  </TitleSet>
</Playlist>
XPL
  fi
  file_bytes[title]=$(($(stat -c %s "$disc/HVDVD_TS/FEATURE_1.EVO") +
                       $(stat -c %s "$disc/HVDVD_TS/FEATURE_2.EVO")))
  names=()
  commands=()
  add "korvell demux of the set" "$cli demux $disc/HVDVD_TS/FEATURE_1.EVO -o $out"
  add "korvell demux --title 1" "$cli demux --title 1 $disc -o $out"
  set_names[title]="${names[*]/%/|}"
  cat "$disc"/HVDVD_TS/* >/dev/null
  echo "Timing an HD DVD title of $disc (${file_bytes[title]} bytes), $reps runs each"
  run_set title
  rm -rf "$disc"
}

# The HD DVD title section of the report: its table and its target line.
title_section() {
  local base v
  base=$(median "${times[title/korvell demux of the set]}")
  echo "### HD DVD title: the sample disc (${file_bytes[title]} bytes in two EVOs)"
  echo
  against_table title "korvell demux of the set" "demux of the set"
  echo "\`korvell demux of the set\` is \`korvell-cli demux DISC/HVDVD_TS/FEATURE_1.EVO -o OUT\`"
  echo "(FEATURE_1.EVO carried on to FEATURE_2.EVO); \`korvell demux --title 1\` is \`korvell-cli"
  echo "demux --title 1 DISC -o OUT\`, a playlist's title whose two clips play those files whole."
  echo
  v=$(ratio "$(median "${times[title/korvell demux --title 1]}")" "$base")
  target "HD DVD: demux --title ≤ 1.05 × demux of the same files as a set" "$v ×" \
    "$(awk -v v="$v" 'BEGIN {print (v != "-" && v <= 1.05) ? "met" : "missed"}')"
}

# A dvdauthor DVD of one 1.1 GB title and its genisoimage image, made once and kept.
dvd_disc() {
  local disc=$data/dvd_disc
  if [ ! -f "$disc.iso" ]; then
    echo "Authoring $disc and its image (once)" >&2
    ffmpeg -hide_banner -loglevel error -nostats -y -f lavfi -i testsrc=size=720x576:rate=25 \
      -f lavfi -i sine=frequency=440:sample_rate=48000 \
      -f lavfi -i sine=frequency=880:sample_rate=48000 -t 1000 -map 0:v -map 1:a -map 2:a \
      -c:v mpeg2video -g 15 -b:v 8M -minrate 8M -maxrate 8M -bufsize 1835k \
      -c:a ac3 -b:a 448k -ac 2 -f dvd "$data/title.vob" </dev/null
    rm -rf "$disc" && mkdir -p "$disc"
    VIDEO_FORMAT=PAL dvdauthor -o "$disc" -t "$data/title.vob" >/dev/null 2>&1
    VIDEO_FORMAT=PAL dvdauthor -o "$disc" -T >/dev/null 2>&1
    rm -f "$data/title.vob"
    genisoimage -quiet -udf -dvd-video -o "$disc.iso.part" "$disc"
    mv "$disc.iso.part" "$disc.iso"
  fi
  echo "$disc"
}

# A DVD title demuxed from its folder and read in place from the disc's image.
compare_image() {
  local disc
  disc=$(dvd_disc)
  file_bytes[image]=$(stat -c %s "$disc.iso")
  names=()
  commands=()
  add "demux --title 1 FOLDER" "$cli demux --title 1 $disc -o $out"
  add "demux --title 1 IMAGE" "$cli demux --title 1 $disc.iso -o $out"
  set_names[image]="${names[*]/%/|}"
  cat "$disc"/VIDEO_TS/* "$disc.iso" >/dev/null
  echo "Timing a DVD title from its folder and from its image, $reps runs each"
  run_set image
}

# The disc image section of the report: its table and its target line.
image_section() {
  local v base
  base=$(median "${times[image/demux --title 1 FOLDER]}")
  echo "### Disc images: a DVD title from its folder and from its UDF image (${file_bytes[image]} bytes)"
  echo
  against_table image "demux --title 1 FOLDER" "from the folder"
  echo "FOLDER is a dvdauthor disc of one title (MPEG-2 at 8 Mb/s and two AC-3 for 1,000 s, in"
  echo "two VOB files), IMAGE its \`genisoimage -udf -dvd-video\` image; each command is"
  echo "\`korvell-cli\` followed by it and \`-o OUT\`, writing every stream of the title."
  echo
  v=$(ratio "$(median "${times[image/demux --title 1 IMAGE]}")" "$base")
  target "DVD title: demux from the image ≤ 1.1 × from the folder" "$v ×" \
    "$(awk -v v="$v" 'BEGIN {print (v != "-" && v <= 1.1) ? "met" : "missed"}')"
}

declare -A set_names rebuild_note file_bytes
have_image=1
for tool in ffmpeg dvdauthor genisoimage; do command -v $tool >/dev/null || have_image=0; done
# One section alone, printed with the machine line and its targets, for the --*-only modes.
print_section_alone() {  # print_section_alone SECTION_FUNCTION
  mbs() { awk -v b="$1" -v s="$2" 'BEGIN {if (s == "nan" || s == 0) print "-"; else printf "%.0f", b / 1e6 / s}'; }
  target_lines=()
  target() { target_lines+=("| $1 | $2 | $3 |"); }
  echo
  echo "Machine: $(nproc) cores ($(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -1)), load at the start $load_at_start, $(date -u '+%Y-%m-%d %H:%M UTC'); $reps runs each."
  echo
  "$1"
  echo "| Target | Measured | Result |"
  echo "|---|---:|---|"
  printf '%s\n' "${target_lines[@]}"
  rm -rf "$work"
}
if [ "$image_only" = 1 ]; then
  [ "$have_image" = 1 ] || { echo "The image rows need ffmpeg, dvdauthor and genisoimage." >&2; exit 1; }
  compare_image
  print_section_alone image_section
  exit 0
fi
if [ "$title_only" = 1 ]; then
  compare_title "$size"
  print_section_alone title_section
  exit 0
fi
if [ "$mkv_only" = 1 ]; then
  [ "$have_mkvmerge" = 1 ] || { echo "The Matroska rows need mkvmerge." >&2; exit 1; }
  mkvfile=$(sample_evo "$size")
  file_bytes[mkv]=$(stat -c %s "$mkvfile")
  compare_mkv "$mkvfile"
  print_section_alone mkv_section
  exit 0
fi
if [ "$lpcm_only" = 1 ]; then
  [ "$have_ffmpeg" = 1 ] || { echo "The LPCM rows need ffmpeg to make their VOB." >&2; exit 1; }
  lpcmfile=$(lpcm_vob)
  file_bytes[lpcm]=$(stat -c %s "$lpcmfile")
  compare_lpcm "$lpcmfile"
  print_section_alone lpcm_section
  exit 0
fi
evo=$(sample_evo "$size")
file_bytes[evo]=$(stat -c %s "$evo")
compare_file evo "$evo"
if [ "$vob" = 1 ] && [ "$have_ffmpeg" = 1 ]; then
  vobfile=$(dvd_vob)
  file_bytes[vob]=$(stat -c %s "$vobfile")
  compare_file vob "$vobfile"
  [ "$have_rebuild" = 1 ] && note "Rebuild writes .EVO files only: no rebuild row for the VOB."
elif [ "$vob" = 1 ]; then
  note "Without ffmpeg there is no DVD VOB: its table is skipped."
fi
if [ "$lpcm" = 1 ] && [ "$have_ffmpeg" = 1 ]; then
  lpcmfile=$(lpcm_vob)
  file_bytes[lpcm]=$(stat -c %s "$lpcmfile")
  compare_lpcm "$lpcmfile"
elif [ "$lpcm" = 1 ]; then
  note "Without ffmpeg there is no LPCM VOB: the output forms' table is skipped."
fi
if [ "$mkv" = 1 ] && [ "$have_mkvmerge" = 1 ]; then
  file_bytes[mkv]=${file_bytes[evo]}
  compare_mkv "$evo"
elif [ "$mkv" = 1 ]; then
  note "Without mkvmerge there is no Matroska table."
fi
[ "$title" = 1 ] && compare_title "$size"
if [ "$image" = 1 ] && [ "$have_image" = 1 ]; then
  compare_image
elif [ "$image" = 1 ]; then
  note "Without ffmpeg, dvdauthor and genisoimage there is no disc image table."
fi

scale_sizes=()
if [ "$scaling" = 1 ]; then
  for s in 1G 2G 4G; do
    f=$(sample_evo "$s")
    file_bytes[scale$s]=$(stat -c %s "$f")
    names=()
    commands=()
    add "korvell read" "$cli read --no-fast-check --no-continue $f"
    add "korvell demux" "$cli demux --no-continue $f -o $out"
    if [ "$have_rebuild" = 1 ]; then
      add "korvell rebuild" "$cli rebuild --no-continue $f -o $out --select $(rebuild_selection "$f")"
    fi
    set_names[scale$s]="${names[*]/%/|}"
    cat "$f" >/dev/null
    echo "Scaling: $f, $reps runs each"
    run_set "scale$s"
    [ "$s" = "$size" ] || rm -rf "$work/evo_$s"
    scale_sizes+=("$s")
  done
fi

# The report.
mbs() { awk -v b="$1" -v s="$2" 'BEGIN {if (s == "nan" || s == 0) print "-"; else printf "%.0f", b / 1e6 / s}'; }
cpu=$(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -1)
mem=$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
target_lines=()
target() { target_lines+=("| $1 | $2 | $3 |"); }

table() {  # table TAG TITLE
  local tag=$1 name t r read_t copy_t ff_t mkv_t
  read_t=$(median "${times[$tag/dd read]}")
  copy_t=$(median "${times[$tag/dd copy]}")
  ff_t=$(median "${times[$tag/ffmpeg -c copy]:-}")
  mkv_t=$(median "${times[$tag/mkvmerge]:-}")
  echo "### $2"
  echo
  echo "| Command | Median s | Min–max s | MB/s | Peak RSS MiB | × dd read | × dd copy | ffmpeg ÷ this | mkvmerge ÷ this |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
  IFS='|' read -ra list <<<"${set_names[$tag]}"
  for name in "${list[@]}"; do
    name=${name# }
    [ -n "$name" ] || continue
    t=$(median "${times[$tag/$name]}")
    r=$(peak "${rss[$tag/$name]:-}")
    echo "| \`$name\` | $t | $(lowest "${times[$tag/$name]}")–$(highest "${times[$tag/$name]}") |" \
         "$(mbs "${file_bytes[$tag]}" "$t") | $r | $(ratio "$t" "$read_t") |" \
         "$(ratio "$t" "$copy_t") | $(ratio "$ff_t" "$t") | $(ratio "$mkv_t" "$t") |"
  done
  echo
  [ -n "${set_names[cold$tag]:-}" ] || return 0
  read_t=$(median "${times[$tag/dd read (cold)]}")
  copy_t=$(median "${times[$tag/dd copy (cold)]}")
  echo "From the disk (the input dropped from the page cache before each run):"
  echo
  echo "| Command | Median s | Min–max s | MB/s | Peak RSS MiB | × cold dd read | × cold dd copy |"
  echo "|---|---:|---:|---:|---:|---:|---:|"
  IFS='|' read -ra list <<<"${set_names[cold$tag]}"
  for name in "${list[@]}"; do
    name=${name# }
    [ -n "$name" ] || continue
    t=$(median "${times[$tag/$name]}")
    echo "| \`$name\` | $t | $(lowest "${times[$tag/$name]}")–$(highest "${times[$tag/$name]}") |" \
         "$(mbs "${file_bytes[$tag]}" "$t") | $(peak "${rss[$tag/$name]:-}") |" \
         "$(ratio "$t" "$read_t") | $(ratio "$t" "$copy_t") |"
  done
  echo
}

check_targets() {  # check_targets TAG LABEL
  local tag=$1 label=$2 read_t copy_t ff_t mkv_t t v name
  read_t=$(median "${times[$tag/dd read]}")
  copy_t=$(median "${times[$tag/dd copy]}")
  ff_t=$(median "${times[$tag/ffmpeg -c copy]:-}")
  mkv_t=$(median "${times[$tag/mkvmerge]:-}")
  t=$(median "${times[$tag/korvell read]}")
  v=$(ratio "$t" "$read_t")
  target "$label: read ≤ 2 × dd read" "$v ×" "$(awk -v v="$v" 'BEGIN {print (v != "-" && v <= 2) ? "met" : "missed"}')"
  local limit
  for name in "korvell demux" "korvell rebuild"; do
    [ -n "${times[$tag/$name]:-}" ] || continue
    t=$(median "${times[$tag/$name]}")
    v=$(ratio "$t" "$copy_t")
    limit=1.2
    [ "$name" = "korvell rebuild" ] && limit=1.5
    target "$label: ${name#korvell } ≤ $limit × dd copy" "$v ×" \
      "$(awk -v v="$v" -v l="$limit" 'BEGIN {print (v != "-" && v <= l) ? "met" : "missed"}')"
    for peer in ffmpeg mkvmerge; do
      local pt=$ff_t
      limit=4
      [ "$peer" = mkvmerge ] && pt=$mkv_t && limit=10
      [ "$pt" != nan ] || continue
      v=$(ratio "$pt" "$t")
      target "$label: ${name#korvell } ≥ $limit × faster than $peer" "$v ×" \
        "$(awk -v v="$v" -v l="$limit" 'BEGIN {print (v != "-" && v >= l) ? "met" : "missed"}')"
    done
  done
  [ -n "${times[$tag/korvell read (cold)]:-}" ] || return 0
  v=$(ratio "$(median "${times[$tag/korvell read (cold)]}")" "$(median "${times[$tag/dd read (cold)]}")")
  target "$label, from the disk: read ≤ 1.2 × dd read" "$v ×" \
    "$(awk -v v="$v" 'BEGIN {print (v != "-" && v <= 1.2) ? "met" : "missed"}')"
}

{
  echo "# Performance"
  echo
  echo "Written by \`bench/compare.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'). Reproduce with:"
  echo
  echo '```'
  echo "$invocation"
  echo '```'
  echo
  echo "- Machine: $(nproc) cores ($cpu), $mem memory, $(uname -sr)."
  echo "- Disk under \`build/\`: $(df -h --output=fstype,size "$data" | tail -1 | awk '{print $1 ", " $2}')."
  echo "- Load average when the run began: $load_at_start (other builds may share the machine)."
  echo "- Tools: $(ffmpeg -version 2>/dev/null | head -1 | cut -d' ' -f1-3), $(mkvmerge --version 2>/dev/null | head -1 | cut -d' ' -f1-2)."
  echo
  echo "Every command runs $reps times, the commands alternating, after one \`cat FILE >/dev/null\`"
  echo "has put the file in the page cache; the outputs are deleted between runs (not timed)."
  echo "The rows \"from the disk\" drop the input from the page cache before each run (not timed):"
  echo "\`dd if=FILE iflag=nocache count=0\`."
  echo "Median wall time; MB/s is the input size (10^6 bytes) over it; peak RSS is GNU time's"
  echo "%M, the largest of the runs. \"× dd read\" and \"× dd copy\" are this command's time over"
  echo "the baseline's (lower is better); \"ffmpeg ÷ this\" and \"mkvmerge ÷ this\" are how many"
  echo "times faster this command is than the peer."
  echo
  echo "## Commands"
  echo
  echo "- \`dd read\`: \`dd if=FILE of=/dev/null bs=256k\`; \`dd copy\`: \`dd if=FILE of=OUT bs=256k\`; \`cp FILE OUT\`."
  echo "- \`korvell read\`: \`korvell-cli read --no-fast-check --no-continue FILE\` (frame counting and details on)."
  echo "- \`korvell demux\`: \`korvell-cli demux --no-continue FILE -o DIR\` (every stream)."
  echo "- \`korvell rebuild\`: \`korvell-cli rebuild --no-continue FILE -o DIR --select LIST\`, LIST every stream but the last audio and the last subpicture stream."
  echo "- \`ffmpeg -c copy\`: \`ffmpeg -i FILE\` then, per stream, \`-map 0:N -c copy -f MUXER OUT\`: vc1, eac3, truehd, dts, mpeg2video, ac3 raw muxers; the subpicture streams through the \`data\` muxer (ffmpeg has no raw muxer for DVD subpictures)."
  echo "- \`mkvmerge\`: \`mkvmerge -q -o OUT.mkv FILE\` (it takes no subpicture stream of the EVO sample)."
  echo
  echo "## Results"
  echo
  table evo "HD DVD sample EVO, $size (${file_bytes[evo]} bytes): VC-1, E-AC-3, TrueHD, DTS, two subpictures"
  [ -n "${rebuild_note[evo]:-}" ] && echo "The ${rebuild_note[evo]}." && echo
  if [ -n "${file_bytes[vob]:-}" ]; then
    table vob "ffmpeg-made DVD VOB (${file_bytes[vob]} bytes): MPEG-2 video, two AC-3"
  fi
  [ -z "${file_bytes[lpcm]:-}" ] || lpcm_section
  [ -z "${file_bytes[mkv]:-}" ] || mkv_section
  [ -z "${file_bytes[title]:-}" ] || title_section
  [ -z "${file_bytes[image]:-}" ] || image_section
  if [ ${#scale_sizes[@]} -gt 0 ]; then
    echo "### Scaling (sample EVO)"
    echo
    echo "| Size | Command | Median s | MB/s | s per GiB | Peak RSS MiB |"
    echo "|---|---|---:|---:|---:|---:|"
    for s in "${scale_sizes[@]}"; do
      IFS='|' read -ra list <<<"${set_names[scale$s]}"
      for name in "${list[@]}"; do
        name=${name# }
        [ -n "$name" ] || continue
        t=$(median "${times[scale$s/$name]}")
        echo "| $s | \`$name\` | $t | $(mbs "${file_bytes[scale$s]}" "$t") |" \
             "$(awk -v t="$t" -v b="${file_bytes[scale$s]}" 'BEGIN {printf "%.3f", t / (b / 1073741824)}') |" \
             "$(peak "${rss[scale$s/$name]}") |"
      done
    done
    echo
  fi
  echo "## Targets"
  echo
  check_targets evo "EVO $size"
  [ -n "${file_bytes[vob]:-}" ] && check_targets vob "DVD VOB"
  worst=0
  for key in "${!rss[@]}"; do
    case "$key" in */korvell*) ;; *) continue ;; esac
    v=$(peak "${rss[$key]}")
    worst=$(awk -v a="$worst" -v b="$v" 'BEGIN {print (b > a) ? b : a}')
  done
  if [ ${#scale_sizes[@]} -gt 1 ]; then
    for name in "korvell read" "korvell demux" "korvell rebuild"; do
      spread=$(for s in "${scale_sizes[@]}"; do
                 t=$(median "${times[scale$s/$name]:-}")
                 [ "$t" = nan ] || awk -v t="$t" -v b="${file_bytes[scale$s]}" 'BEGIN {print t / (b / 1073741824)}'
               done | sort -g | awk 'NR == 1 {lo = $1} {hi = $1} END {if (NR) printf "%.2f", hi / lo}')
      [ -n "$spread" ] || continue
      target "${name#korvell }: linear in size (largest ÷ smallest s per GiB ≤ 1.3)" "$spread" \
        "$(awk -v v="$spread" 'BEGIN {print (v <= 1.3) ? "met" : "missed"}')"
    done
  fi
  target "peak RSS < 16 MiB at every size and file" "$worst MiB" \
    "$(awk -v v="$worst" 'BEGIN {print (v < 16) ? "met" : "missed"}')"
  echo "| Target | Measured | Result |"
  echo "|---|---:|---|"
  printf '%s\n' "${target_lines[@]}"
  echo
  if [ ${#notes[@]} -gt 0 ]; then
    echo "## Notes"
    echo
    printf -- '- %s\n' "${notes[@]}"
    echo
  fi
  echo "## Microbenchmarks"
  echo
  echo "\`$build/bench/korvell_bench\` (walker over in-memory streams of 32 MiB, frame counter"
  echo "over 4 MiB of sample video in 2,018-byte pieces, rebuild pass and plain copy of a 64 MiB"
  echo "sample file to a file):"
  echo
  echo '```'
  "$build/bench/korvell_bench" --benchmark_min_time=0.2 2>/dev/null | grep -E '^(BM_|Benchmark|-)'
  echo '```'
  # Hand-written analysis (profiles, explanations of missed targets) survives a re-run.
  if [ -f "$doc" ]; then
    sed -n '/^## Profile/,$p' "$doc"
  fi
} >"$doc.part"
mv "$doc.part" "$doc"
rm -rf "$work"
echo "Wrote $doc"
