#!/usr/bin/env bash
# Builds the benchmark in Release and runs it; writes the summary table, with
# the machine, compiler and flags it was measured with, to
# build-bench/performance-table.md (or the file named by OUT=...).
#
#   bench/run_benchmarks.sh            # full run, a few minutes
#   bench/run_benchmarks.sh --quick    # fewer rounds
#   bench/run_benchmarks.sh --rounds=25 --benchmark_filter=read_
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
out="${OUT:-$build/performance-table.md}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPIXPEN_BUILD_BENCHMARKS=ON \
      -DPIXPEN_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build" -j2 --target pixpen_bench >/dev/null

table="$(mktemp)"
trap 'rm -f "$table"' EXIT
"$build/bench/pixpen_bench" --table="$table" "$@"

cxx="$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")"
flags="$(sed -n 's/^CMAKE_CXX_FLAGS_RELEASE:[A-Z]*=//p' "$build/CMakeCache.txt")"
{
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)," \
       "$(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo), Linux $(uname -r);"
  echo "compiler: $("$cxx" --version | head -1); flags: Release ($flags), no -march;"
  echo "files in $( [ -d /dev/shm ] && echo /dev/shm || echo "the temp folder" ); arguments: ${*:-(none)}."
  echo
  cat "$table"
} > "$out"
echo
echo "table written to $out"
