#!/usr/bin/env bash
# Builds the fuzz targets (clang with libFuzzer, ASan and UBSan, in a build directory of their
# own) and runs each of them from its seeds for a while, a few at a time.
#
#   scripts/fuzz.sh [-t SECONDS] [-j JOBS] [TARGET...]
#
#   -t SECONDS  how long each target runs (default 300)
#   -j JOBS     how many targets run at once (default 2)
#   TARGET      the targets to run (default all; fuzz/CMakeLists.txt lists them)
#
# Each target's corpus grows in $FUZZ_BUILD_DIR/corpus/<target>/ (kept between runs), its log is
# $FUZZ_BUILD_DIR/logs/<target>.log and what it finds lands in $FUZZ_BUILD_DIR/findings/<target>/
# (kept too: only this run's findings count).
# A summary line per target gives its CPU time and executions. The script fails when a target
# found anything; run the target on the finding's file to see it again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=300
jobs=2
while getopts "t:j:" option; do
  case $option in
    t) seconds=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DTARNWICK_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target tarnwick_fuzzers

# Every undefined behaviour and every leak stops a run.
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1
export QT_QPA_PLATFORM=offscreen

# fuzzers.txt: one target a line, its name, its program and its seed folders.
run_target() {
  local name=$1 program=$2
  shift 2
  local corpus=$build/corpus/$name findings=$build/findings/$name log=$build/logs/$name.log
  mkdir -p "$corpus" "$findings" "$build/logs"
  local options=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1
    -artifact_prefix="$findings/")
  [ -f "$root/fuzz/dict/$name.dict" ] && options+=(-dict="$root/fuzz/dict/$name.dict")
  # A short run is part of the test command: it starts from the same place every time.
  [ "$seconds" -le 10 ] && options+=(-seed=1)
  local seeds=()
  for folder in "$@"; do [ -d "$folder" ] && seeds+=("$folder"); done
  local stamp=$build/logs/$name.start
  touch "$stamp"
  local start=$SECONDS status=0
  local cpu
  cpu=$( { TIMEFORMAT='%U %S'; time "$program" "${options[@]}" "$corpus" "${seeds[@]}" \
    >"$log" 2>&1; } 2>&1 ) || status=$?
  local executions
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  local found
  found=$(find "$findings" -type f -newer "$stamp" | wc -l)
  awk -v name="$name" -v cpu="$cpu" -v wall=$((SECONDS - start)) -v runs="${executions:-0}" \
    -v found="$found" -v status="$status" 'BEGIN {
      split(cpu, t, " ");
      printf "%-24s %6.2f CPU-minutes  %4d s  %10d executions  %s\n", name, (t[1] + t[2]) / 60,
             wall, runs, (found > 0 || status != 0) ? "FOUND " found " (see the log)" : "nothing found"
    }'
  [ "$found" -eq 0 ] && [ "$status" -eq 0 ]
}
export -f run_target
export build root seconds

selected=("$@")
status=0
while read -r name program seeds; do
  if ((${#selected[@]})) && [[ ! " ${selected[*]} " == *" $name "* ]]; then continue; fi
  echo "$name $program $seeds"
done <"$build/fuzzers.txt" |
  xargs -P "$jobs" -L 1 bash -c 'run_target "$@"' _ || status=1
exit $status
