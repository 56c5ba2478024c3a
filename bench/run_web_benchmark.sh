#!/usr/bin/env bash
# WebAssembly against native, in one run: builds the native workload in
# Release (build-bench/) and the wasm module (build-web/), then alternates
# them in bench/web_bench.mjs, and prints the gzipped sizes of what a page
# loads. Usage: bench/run_web_benchmark.sh [SIDE]   (default 1024)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
web="${WEB_BUILD_DIR:-$root/build-web}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPIXPEN_BUILD_BENCHMARKS=ON \
      -DPIXPEN_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build" -j2 --target pixpen_web_workload >/dev/null
"$root/web/build.sh" "$web" >/dev/null

node "$root/bench/web_bench.mjs" "$web" "$build/bench/pixpen_web_workload" "${1:-1024}"
echo "gzipped (gzip -9), what the playground loads:"
for file in pixpen_wasm.mjs pixpen.mjs acorn.mjs runtime.mjs worker.mjs playground.mjs examples.mjs index.html playground.css; do
  printf '  %-16s %7d bytes, %6d gzipped\n' "$file" "$(wc -c <"$web/playground/$file")" "$(gzip -9c "$web/playground/$file" | wc -c)"
done
