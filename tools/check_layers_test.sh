#!/usr/bin/env bash
# The include check on a small tree, one file per case: the file, what the check must say
# about its line 2 ("ok", or a part of the message), and the file's text (printf escapes).
# Usage: tools/check_layers_test.sh [CHECKER [SCRATCH_FOLDER]]
set -euo pipefail
checker=${1:-$(dirname "$0")/check_layers.py}
tree=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/layers.XXXXXX")
trap 'rm -rf "$tree"' EXIT

cases=(
  'engine/indented.cpp|engine/ may include analysis/, report/, not runs/|   #  include "runs/run_state.h"'
  'engine/commented.cpp|not runs/|/* why */ # /* */ include "runs/run_state.h"'
  'engine/continued.cpp|not runs/|#include \\\n  "runs/run_state.h"'
  'engine/digraph.cpp|not runs/|%%:include "runs/run_state.h"'
  'engine/parent.cpp|not runs/|#include "../runs/run_state.h"'
  'engine/angled.cpp|not runs/|#include <runs/run_state.h>'
  'engine/outside.cpp|reaches outside the source tree|#include <../engine/walker.h>'
  'engine/computed.cpp|a computed include|#include KORVELL_HEADER'
  'playlist/peer.cpp|not disc/|#include "disc/xpl_model.h"'
  'ui/front.cpp|not cli/|#include "cli/json_report.h"'
  'engine/support.cpp|not testing/|#include "testing/ps_writer.h"'
  'runs/xml.cpp|pugixml is included only in disc/xpl_model.cpp|#include <pugixml.hpp>'
  'mux/window.cpp|Qt is included only in ui/*|#include <QtCore/QString>'
  'outputs/pcm_output.cpp|libsndfile is included only in|#include "sndfile.h"'
  'runs/parse.cpp|nlohmann-json is included only in|#include <nlohmann/json.hpp>'
  'disc/ifo_model.cpp|libdvdread is included only in disc/ifo.cpp|#include <dvdread/ifo_read.h>'
  'disc/xpl_model.cpp|ok|#include <pugixml.hpp>'
  'runs/below.cpp|ok|#include "engine/walker.h"'
  'engine/same.cpp|ok|#include "walker.h"'
  'engine/walker_test.cpp|ok|#include "testing/ps_writer.h"'
  'cli/main.cpp|ok|#include <CLI/CLI.hpp>'
  'runs/literals.cpp|ok|const char* a = R"(\n#include "ui/x.h"\n)";\n// #include "ui/x.h"\n/*\n#include "ui/x.h" */'
)

mkdir -p "$tree/engine" "$tree/runs" "$tree/disc"
touch "$tree/engine/walker.h" "$tree/runs/run_state.h" "$tree/disc/xpl_model.h"
for entry in "${cases[@]}"; do
  IFS='|' read -r file _ text <<<"$entry"
  mkdir -p "$tree/$(dirname "$file")"
  printf "// a case\n$text\n" >"$tree/$file"
done

status=0
output=$("${PYTHON:-python3}" "$checker" "$tree") && status=0 || status=$?
failed=0
for entry in "${cases[@]}"; do
  IFS='|' read -r file expected _ <<<"$entry"
  said=$(grep -F "$file:" <<<"$output" || true)
  if [ "$expected" = ok ]; then
    [ -z "$said" ] && continue
  elif [ "$(wc -l <<<"$said")" -eq 1 ] && [[ $said == "$file:2: error: "*"$expected"* ]]; then
    continue
  fi
  echo "$file: expected '$expected', the check said: '${said:-nothing}'"
  failed=1
done
[ $status -eq 1 ] || { echo "the check ended with $status, not 1"; failed=1; }
[ $failed -eq 0 ] && echo "Every case as expected."
exit $failed
