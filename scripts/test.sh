#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through ctest, then builds
# the fuzz targets (clang, in build-fuzz/) and runs each of them for a few seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug
cmake --build "$build" -j"$(nproc)"
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 300)
"$root/scripts/fuzz.sh" -t 3 -j 4
