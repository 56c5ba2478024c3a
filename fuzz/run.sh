#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS on both cores.
#
#   fuzz/run.sh SECONDS [TARGET...]     TARGET: read_tga read_ppm read_png draw_roundtrip (default: all)
#
# The corpus grows in fuzz/work/corpus/TARGET (seeded from fuzz/corpus/TARGET
# and fuzz/regressions/TARGET); inputs that crash, hang, leak or exceed the
# memory limits land in fuzz/work/artifacts/TARGET/, logs in fuzz/work/logs/.
# Exits non-zero as soon as a target finds anything.
set -euo pipefail

seconds=${1:?usage: fuzz/run.sh SECONDS [read_tga|read_ppm|read_png|draw_roundtrip ...]}
shift
targets=("$@")
((${#targets[@]})) || targets=(read_tga read_ppm read_png draw_roundtrip)

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${PIXPEN_FUZZ_BUILD_DIR:-$root/build-fuzz}
work=$here/work
jobs=${PIXPEN_FUZZ_JOBS:-2}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DBUILD_SHARED_LIBS=OFF -DPIXPEN_SANITIZE=address,undefined \
  -DPIXPEN_BUILD_FUZZERS=ON -DBUILD_TESTING=OFF -DPIXPEN_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in "${targets[@]}"; do
  corpus=$work/corpus/$target
  artifacts=$work/artifacts/$target
  mkdir -p "$corpus" "$artifacts" "$work/logs" "$here/regressions/$target"
  log=$work/logs/$target.log
  echo "== fuzz_$target: ${seconds}s on $jobs workers, log $log"
  # Readers get inputs up to 64 KiB, larger than any seed; every reader
  # allocation must stay far below 64 MiB for such files.
  max_len=65536
  [[ $target == draw_roundtrip ]] && max_len=4096
  if ! (cd "$artifacts" && "$build/fuzz/fuzz_$target" -fork="$jobs" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=64 -max_len="$max_len" \
        -artifact_prefix="$artifacts/" \
        "$corpus" "$here/corpus/$target" "$here/regressions/$target") >"$log" 2>&1; then
    echo "!! fuzz_$target found a problem; last lines of $log:"
    tail -n 40 "$log"
    ls -l "$artifacts"
    status=1
  fi
  # Fork mode's last progress line: total executions, coverage, features, corpus.
  grep -E '^#[0-9]+: cov:' "$log" | tail -n 1 || true
done
exit $status
