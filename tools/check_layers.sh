#!/usr/bin/env bash
# Checks which folder includes which: each folder of the core includes only the folders below
# it (docs/ARCHITECTURE.md), the front ends include the core and never each other, and a test
# may include what its folder may, and the test-support library.
# Usage: tools/check_layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

allowed() {
  case $1 in
    report) echo "report" ;;
    analysis) echo "analysis report" ;;
    engine) echo "engine analysis report" ;;
    disc | outputs) echo "$1 engine analysis report" ;;
    playlist) echo "playlist disc engine analysis report" ;;
    mux) echo "mux playlist disc outputs engine analysis report" ;;
    runs) echo "runs mux playlist disc outputs engine analysis report" ;;
    cli | ui) echo "$1 runs mux playlist disc outputs engine analysis report" ;;
  esac
}

status=0
for folder in report analysis engine disc outputs playlist mux runs cli ui; do
  ok=" $(allowed "$folder") "
  while IFS=: read -r file line text; do
    included=$(sed -E 's/^#include "([^/]+)\/.*/\1/' <<<"$text")
    [[ $ok == *" $included "* ]] && continue
    # Tests may use the test-support library as well.
    [[ $file == *_test.cpp || $file == *_test_* ]] && [ "$included" = testing ] && continue
    echo "$file:$line: $folder/ may not include $included/: $text"
    status=1
  done < <(grep -n '^#include "[a-z_]*/' "$folder"/*.h "$folder"/*.cpp 2>/dev/null || true)
done
[ $status -eq 0 ] && echo "Every folder includes only what it may."
exit $status
