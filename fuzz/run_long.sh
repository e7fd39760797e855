#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for a long while from its committed seeds and
# prints, per target, the executions, the coverage and what it found. New inputs go to a
# scratch corpus; a crash, leak or timeout is kept as an artifact in build/fuzz-artifacts/TARGET/
# (a target that found one exits non-zero, and so does this script).
#
#   fuzz/run_long.sh [-t SECONDS] [-j JOBS] [TARGET ...]     (default 600 s, 2 at a time)
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=600
jobs=2
while getopts "t:j:" flag; do
  case $flag in
    t) seconds=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for corpus in fuzz/corpus/*/; do targets+=("$(basename "$corpus")"); done
fi

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKORVELL_BUILD_FUZZ=ON -DKORVELL_BUILD_GUI=OFF -DKORVELL_BUILD_TESTS=OFF >/dev/null
cmake --build build/fuzz -j "$(nproc)" >/dev/null || exit 1

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

run_one() {
  local target=$1
  local artifacts=build/fuzz-artifacts/$target
  mkdir -p "$scratch/$target" "$artifacts"
  build/fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$scratch/$target" \
    "fuzz/corpus/$target" >"$scratch/$target.log" 2>&1
  echo $? >"$scratch/$target.rc"
}

running=0
for target in "${targets[@]}"; do
  run_one "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

status=0
printf '%-18s %12s %8s %8s %s\n' target executions cov ft findings
for target in "${targets[@]}"; do
  log=$scratch/$target.log
  runs=$(grep -oE 'stat::number_of_executed_units: [0-9]+' "$log" | grep -oE '[0-9]+$')
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(echo "$last" | grep -oE 'cov: [0-9]+' | grep -oE '[0-9]+')
  ft=$(echo "$last" | grep -oE 'ft: [0-9]+' | grep -oE '[0-9]+')
  found=$(find "build/fuzz-artifacts/$target" -type f -newer "$scratch" | wc -l)
  if [ "$(cat "$scratch/$target.rc")" -ne 0 ] || [ "$found" -gt 0 ]; then
    status=1
    findings="$found artifact(s) in build/fuzz-artifacts/$target; log follows"
  else
    findings=none
  fi
  printf '%-18s %12s %8s %8s %s\n' "$target" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$findings"
  [ "$findings" = none ] || tail -40 "$log"
done
exit $status
