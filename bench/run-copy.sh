#!/usr/bin/env bash
# Builds the benchmarks in build-bench/ and runs the copy benchmark. The work folder (default:
# build-bench itself) must have room for two copies of the large file; it is emptied afterwards.
# Usage: bench/run-copy.sh [WORK_FOLDER] [LARGE_MIB] [SMALL_FILES]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_BENCH=ON \
  -DTOLVANE_GUI=OFF -DTOLVANE_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target bench_copy
work="${1:-build-bench}"
build-bench/bench_copy "$work" "${2:-1024}" "${3:-2000}"
