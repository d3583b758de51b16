#!/usr/bin/env bash
# Builds the benchmarks in build-bench/ and runs the batch benchmark (installs rsync to compare
# with when it is missing). Usage: bench/run-batch.sh [WORK_FOLDER] [FILES] [DESTINATIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
if ! command -v rsync >/dev/null; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get install -y -qq --no-install-recommends rsync || true
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_BENCH=ON \
  -DTOLVANE_GUI=OFF -DTOLVANE_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target bench_batch
build-bench/bench_batch "${1:-build-bench}" "${2:-500}" "${3:-8}"
