#!/usr/bin/env bash
# Builds a Release tree of its own and runs the benchmarks; each prints its figures beside a
# peer's measured in the same run, as "ratio A/B: X.XX" (A's rate over B's). Installs what is
# missing first. Names given as arguments (bench_http_client, ...) run only those.
# TARNWICK_BENCH_ROUNDS sets the alternating runs per contender (default 5; medians are shown).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${BUILD_DIR:-$root/build-release}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j"$(nproc)"

cd "$build"
# Every benchmark program of the tree (bench_*), in name order, or the ones named.
mapfile -t programs < <(find bench -type f -name 'bench_*' -perm -u+x | sort -t/ -k3)
run=()
if (($# == 0)); then
  run=("${programs[@]}")
else
  for name in "$@"; do
    match=$(printf '%s\n' "${programs[@]}" | grep -m1 "/$name\$" || true)
    [ -n "$match" ] || { echo "no benchmark named $name" >&2; exit 1; }
    run+=("$match")
  done
fi
for program in "${run[@]}"; do
  echo "== ${program##*/}"
  "$program"
done
