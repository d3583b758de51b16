#!/usr/bin/env bash
# Builds the benchmarks in build-bench/ and runs the batch benchmarks (installs rsync and strace
# when they are missing): many files into many destinations with Wait=10 and Wait=0 beside cp
# and rsync, a second run with nothing changed (SkipUnchanged=1) beside a second rsync, the
# system calls one copied file costs the real program beside cp, then one large file into 4
# destinations (the window's longest wait, and how soon a stop ends the run). The work folder
# needs room for five copies of the large file.
# Usage: bench/run-batch.sh [WORK_FOLDER] [FILES] [DESTINATIONS] [LARGE_MIB]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
missing=()
for tool in rsync strace; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq || true
  $sudo apt-get install -o DPkg::Lock::Timeout=900 -y -qq --no-install-recommends "${missing[@]}" \
    || true
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_BENCH=ON \
  -DTOLVANE_GUI=ON -DTOLVANE_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target bench_batch bench_large tolvane
work="$(realpath -m "${1:-build-bench}")"
build-bench/bench_batch "$work" "${2:-500}" "${3:-8}"

# System calls per copied file: the real program in batch mode, FILES files of 4 KiB into
# DESTINATIONS shares, less the same run with nothing to copy, over the number of files copied.
syscalls() {
  local dir="$work/tolvane-syscalls" files="${2:-500}" dests="${3:-8}"
  rm -rf "$dir"; mkdir -p "$dir/exe" "$dir/src"
  for i in $(seq 1 "$files"); do head -c 4096 /dev/urandom >"$dir/src/f$i.bin"; done
  cp build-bench/tolvane "$dir/exe/"
  local dest="" alias=""
  for d in $(seq 0 $((dests - 1))); do
    dest+="Folder$d=\\\\SRV$d\\share\r\n"; alias+="Folder$d=ネットワーク\tSRV$d\tshare\r\n"
  done
  printf "[Source]\r\nCount=1\r\nFile0=$dir/src\r\n\r\n[Destination]\r\nCount=$dests\r\n$dest\r\n[Alias]\r\n$alias\r\n" \
    >"$dir/full.lst"
  printf "[Source]\r\nCount=0\r\n\r\n[Destination]\r\nCount=$dests\r\n$dest\r\n[Alias]\r\n$alias\r\n" \
    >"$dir/empty.lst"
  count() {  # LIST: the system calls of one batch run into fresh shares
    rm -rf "$dir/net"
    for d in $(seq 0 $((dests - 1))); do mkdir -p "$dir/net/SRV$d/share"; done
    printf '[Setting]\r\nSaveLog=1\r\nConfirmOverWrite=0\r\nWait=0\r\nNetworkRoot=%s\r\n' \
      "$dir/net" >"$dir/exe/Pelmo.ini"
    (cd "$dir/exe" && strace -c -f -o "$dir/strace.txt" ./tolvane -b -o "-l$dir/$1" \
      >/dev/null 2>&1)
    awk '$NF == "total" { print $4 }' "$dir/strace.txt"
  }
  local base full cpcalls
  base=$(count empty.lst); full=$(count full.lst)
  rm -rf "$dir/net"; mkdir -p "$dir/net"
  strace -c -f -o "$dir/strace.txt" sh -c "for d in \$(seq 0 $((dests - 1))); do \
    cp -r --preserve=timestamps '$dir/src' '$dir/net/'\$d; done"
  cpcalls=$(awk '$NF == "total" { print $4 }' "$dir/strace.txt")
  rm -rf "$dir"
  awk -v b="$base" -v f="$full" -v c="$cpcalls" -v n="$((files * dests))" 'BEGIN {
    printf "system calls per copied file (strace -c -f, %d files)\n", n
    printf "  ours, batch mode:                   %6.1f   (goal <= 15)\n", (f - b) / n
    printf "  cp -r --preserve=timestamps loop:   %6.1f   (whole run over the files)\n", c / n }'
}
syscalls "$work" "${2:-500}" "${3:-8}"

build-bench/bench_large "$work" "${4:-2048}" 4
