#!/usr/bin/env bash
# Builds the list-loading benchmark into build-bench/ and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_BENCH=ON \
  -DTOLVANE_TESTS=OFF -DTOLVANE_GUI=OFF >/dev/null
cmake --build build-bench --target bench_list -j2
build-bench/bench_list
