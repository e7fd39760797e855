#!/usr/bin/env bash
# Checks the bash completion of korvell-cli: what it offers in each place, on a folder of
# files of every kind, and that each subcommand's options are those its help lists.
# usage: test_completion.sh COMPLETION_FILE KORVELL_CLI
set -uo pipefail
completion=$(realpath "$1")
cli=$(realpath "$2")
# shellcheck source=korvell-cli.bash
source "$completion"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
mkdir sub
touch A.EVO b.evo C.VOB d.aob E.XPL f.xpl notes.txt "space name.EVO" FEATURE.evo.txt G.IFO h.iso

failures=0

# Completes the words of $1 (split at spaces; a trailing space starts an empty word) and
# prints the offers sorted, one a line.
offers() {
  local line=$1
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *' ' ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _korvell_cli 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | LC_ALL=C sort -u
}

expect() {
  local line=$1 expected=$2 got
  got=$(offers "$line" | paste -sd'|')
  if [[ $got != "$expected" ]]; then
    echo "FAIL: '$line' offers '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
}

streams='A.EVO|C.VOB|b.evo|d.aob|h.iso|space name.EVO|sub'
expect 'korvell-cli ' '--help|--version|demux|help|mkv|read|rebuild|titles|xpl'
expect 'korvell-cli re' 'read|rebuild'
expect 'korvell-cli read ' "$streams"
expect 'korvell-cli demux --no-details ' "$streams"
expect 'korvell-cli rebuild ' 'A.EVO|b.evo|h.iso|space name.EVO|sub'
expect 'korvell-cli xpl ' 'E.XPL|f.xpl|h.iso|sub'
expect 'korvell-cli demux h.iso --file ' ''
expect 'korvell-cli read h.iso --f' '--file'
expect 'korvell-cli xpl E.XPL --source ' "$streams"
expect 'korvell-cli demux A.EVO --playlist ' 'E.XPL|auto|f.xpl|sub'
expect 'korvell-cli demux A.EVO --playlist a' 'auto'
expect 'korvell-cli rebuild A.EVO -o ' 'sub'
expect 'korvell-cli demux A.EVO --output s' 'sub'
expect 'korvell-cli demux A.EVO --select ' ''
expect 'korvell-cli read --no-c' '--no-continue|--no-count-frames'
expect 'korvell-cli read --s' ''
expect 'korvell-cli demux A.EVO --s' '--select|--sub-ext|--subs'
expect 'korvell-cli demux A.EVO --lpcm ' 'flac|raw|wav'
expect 'korvell-cli demux A.EVO --subs v' 'vobsub'
expect 'korvell-cli rebuild A.EVO --s' '--select'
expect 'korvell-cli xpl E.XPL --s' '--source'
expect 'korvell-cli read --color = ' 'always|auto|never'
expect 'korvell-cli read --color = n' 'never'
expect 'korvell-cli read --color=a' '--color=always|--color=auto'
expect 'korvell-cli read --color ' 'A.EVO|C.VOB|always|auto|b.evo|d.aob|h.iso|never|space name.EVO|sub'
expect 'korvell-cli read --color n' 'never'
expect 'korvell-cli read --color --no-d' '--no-details'
expect 'korvell-cli help ' 'demux|mkv|read|rebuild|titles|xpl'
expect 'korvell-cli titles ' 'A.EVO|C.VOB|E.XPL|G.IFO|b.evo|f.xpl|h.iso|space name.EVO|sub'
expect 'korvell-cli titles /d --j' '--json'
expect 'korvell-cli mkv F.EVO --k' '--keep-temp'
expect 'korvell-cli demux --title 1 ' 'A.EVO|C.VOB|E.XPL|G.IFO|b.evo|f.xpl|h.iso|space name.EVO|sub'
expect 'korvell-cli rebuild --title ' ''
expect 'korvell-cli read --t' '--title'
expect 'korvell-cli read /d --title 1 --an' '--angle'
expect 'korvell-cli help x' 'xpl'
expect 'korvell-cli frobnicate ' ''
expect 'korvell-cli xpl E.XPL --chapters-format ' 'simple|xml'
expect 'korvell-cli xpl E.XPL --chapters-file n' 'notes.txt'
expect 'korvell-cli xpl E.XPL --ch' '--chapters-file|--chapters-format'
expect 'korvell-cli demux --chapters ' "$streams"
expect 'korvell-cli demux A.EVO --no-ch' '--no-chapters'
expect 'korvell-cli rebuild A.EVO --j' '--json'

# Each subcommand of the help's usage lines offers exactly the options its help lists
# (--color=WHEN as --color).
commands=$("$cli" help | sed -n 's/^\(Usage:\)\{0,1\} *korvell-cli \([a-z]*\) .*/\2/p' | grep -vx help)
if [[ $(printf '%s\n' $commands | LC_ALL=C sort | paste -sd'|') != "$(offers 'korvell-cli ' | grep -v -e - -e '^help$' | paste -sd'|')" ]]; then
  echo "FAIL: the help's subcommands '$(echo $commands)' are not the ones completed"
  failures=$((failures + 1))
fi
for command in $commands; do
  listed=$("$cli" help "$command" | grep -oE '^  (-[a-z], )?--[a-z-]+' | tr -d ' ' | tr ',' '\n' |
    LC_ALL=C sort -u | paste -sd'|')
  offered=$(offers "korvell-cli $command -" | sed 's/=.*//' | LC_ALL=C sort -u | paste -sd'|')
  if [[ -z $listed || $listed != "$offered" ]]; then
    echo "FAIL: $command help lists '$listed', completion offers '$offered'"
    failures=$((failures + 1))
  fi
done

if ((failures > 0)); then
  echo "$failures completion checks failed"
  exit 1
fi
echo "completion checks passed"
