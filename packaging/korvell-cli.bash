# Bash completion of korvell-cli: subcommands, each subcommand's options, and files of the
# kinds each place takes (.EVO, .VOB and .AOB program streams, .XPL playlists, discs as
# folders or their .VOB, .IFO, .EVO and .XPL files, disc images .iso, folders).

# Adds the folders and the files whose extension matches the extglob alternatives $1
# (for example '[eE][vV][oO]|[vV][oO][bB]') that start with $2.
_korvell_cli_files() {
  local pattern=$1 cur=$2 had_extglob=0 IFS=$'\n'
  shopt -q extglob && had_extglob=1
  shopt -s extglob
  compopt -o filenames 2>/dev/null
  COMPREPLY+=($(compgen -d -- "$cur"))
  COMPREPLY+=($(compgen -f -X "!*.@($pattern)" -- "$cur"))
  ((had_extglob)) || shopt -u extglob
}

_korvell_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local image='[iI][sS][oO]'
  local streams="[eE][vV][oO]|[vV][oO][bB]|[aA][oO][bB]|$image"
  local evo="[eE][vV][oO]|$image" xpl='[xX][pP][lL]'
  local disc="[vV][oO][bB]|[iI][fF][oO]|[eE][vV][oO]|[xX][pP][lL]|$image"
  local colours='auto always never'
  COMPREPLY=()

  if ((COMP_CWORD == 1)); then
    COMPREPLY=($(compgen -W 'read demux rebuild mkv xpl titles help --help --version' -- "$cur"))
    return
  fi
  local command=${COMP_WORDS[1]}

  # --color=WHEN, split at '=' or not, as COMP_WORDBREAKS has it; --color WHEN further down.
  if [[ $prev == --color && $cur == = ]]; then
    COMPREPLY=($colours)
    return
  fi
  if [[ $prev == = && ${COMP_WORDS[COMP_CWORD - 2]} == --color ]]; then
    COMPREPLY=($(compgen -W "$colours" -- "$cur"))
    return
  fi
  if [[ $cur == --color=* ]]; then
    COMPREPLY=($(compgen -P --color= -W "$colours" -- "${cur#--color=}"))
    return
  fi

  local reads='--no-continue --no-fast-check --no-count-frames --no-details --title --angle
               --file --color=auto --color=always --color=never --markup --json -h --help'
  local titled=0 word
  for word in "${COMP_WORDS[@]:2:COMP_CWORD-2}"; do
    [[ $word == --title || $word == --title=* ]] && titled=1
  done
  local writes='-o --output --select --playlist'
  local options
  case $command in
    read) options=$reads ;;
    demux) options="$writes $reads --lpcm --subs --codec-extensions --video-ext --audio-ext
                    --sub-ext --delay-names --chapters --no-chapters" ;;
    rebuild) options="$writes $reads" ;;
    mkv) options="$writes $reads --keep-temp" ;;
    xpl) options='--source --tags --chapters-file --chapters-format --file --color=auto
                  --color=always --color=never --markup --json -h --help' ;;
    titles) options='--playlist --color=auto --color=always --color=never --markup --json -h
                     --help' ;;
    help)
      ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W 'read demux rebuild mkv xpl titles' -- "$cur"))
      return
      ;;
    *) return ;;
  esac

  case $prev in
    -o | --output)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -d -- "$cur"))
      return
      ;;
    --playlist)
      COMPREPLY=($(compgen -W auto -- "$cur"))
      _korvell_cli_files "$xpl" "$cur"
      return
      ;;
    --source)
      _korvell_cli_files "$streams" "$cur"
      return
      ;;
    # --file names a file inside a disc image, which the shell cannot list.
    --select | --video-ext | --audio-ext | --sub-ext | --title | --angle | --file)
      return
      ;;
    --chapters-format)
      COMPREPLY=($(compgen -W 'simple xml' -- "$cur"))
      return
      ;;
    --lpcm)
      COMPREPLY=($(compgen -W 'raw wav flac' -- "$cur"))
      return
      ;;
    --subs)
      COMPREPLY=($(compgen -W 'sup vobsub pgs' -- "$cur"))
      return
      ;;
    --chapters-file)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -f -- "$cur"))
      return
      ;;
    --color)
      # --color WHEN, or --color alone (always) before the input.
      COMPREPLY=($(compgen -W "$colours" -- "$cur"))
      ;;
  esac

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  # With --title the input is a disc: a folder, or a file of VIDEO_TS, HVDVD_TS or ADV_OBJ.
  if [[ $command == titles ]] || ((titled)); then
    _korvell_cli_files "$disc" "$cur"
    return
  fi
  case $command in
    rebuild) _korvell_cli_files "$evo" "$cur" ;;
    xpl) _korvell_cli_files "$xpl|$image" "$cur" ;;
    *) _korvell_cli_files "$streams" "$cur" ;;
  esac
}

complete -F _korvell_cli korvell-cli
