#!/usr/bin/env bash
# Builds the benchmarks in build-bench/ and runs the batch benchmarks (installs rsync to compare
# with when it is missing): many files into many destinations with Wait=10 and Wait=0 beside cp
# and rsync, then one large file into 4 destinations (the window's longest wait, and how soon a
# stop ends the run). The work folder needs room for five copies of the large file.
# Usage: bench/run-batch.sh [WORK_FOLDER] [FILES] [DESTINATIONS] [LARGE_MIB]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
if ! command -v rsync >/dev/null; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq || true
  $sudo apt-get install -o DPkg::Lock::Timeout=900 -y -qq --no-install-recommends rsync || true
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_BENCH=ON \
  -DTOLVANE_GUI=OFF -DTOLVANE_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target bench_batch bench_large
build-bench/bench_batch "${1:-build-bench}" "${2:-500}" "${3:-8}"
build-bench/bench_large "${1:-build-bench}" "${4:-2048}" 4
