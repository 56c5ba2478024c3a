#!/usr/bin/env bash
# Builds pixpen for WebAssembly with the system's emscripten, from the same
# sources as the native library:
#   <out>/pixpen/      the JavaScript face (pixpen.mjs, pixpen.d.ts) and the module
#   <out>/playground/  the playground, a static page for any file server
# Usage: web/build.sh [out-dir]   (default: build-web in the source tree)
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
out_dir="${1:-$source_dir/build-web}"
if ! command -v emcc >/dev/null; then
  echo "web/build.sh: emcc not found (Debian: apt-get install emscripten)" >&2
  exit 1
fi
# The page's npm packages, exactly as web/package-lock.json pins them.
if [[ ! -d "$source_dir/web/node_modules/acorn" ]]; then
  (cd "$source_dir/web" && npm ci --no-audit --no-fund)
fi
# emscripten's JavaScript optimiser needs acorn, which Debian installs in its
# own Node folder: a Node from elsewhere (nodesource's, say) must be told.
if [[ -d /usr/share/nodejs/acorn ]]; then
  export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
fi
# emscripten keeps its compiled system libraries in a cache beside itself and
# locks it while building; a user who may not write there gets a copy of his
# own, made once (Debian's is about 750 MB, prebuilt).
system_cache="$(em-config CACHE 2>/dev/null || true)"
if [[ -z "${EM_CACHE:-}" && -n "$system_cache" && -d "$system_cache" && ! -w "$system_cache" ]]; then
  export EM_CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/pixpen-emscripten"
  if [[ ! -d "$EM_CACHE/sysroot" ]]; then
    mkdir -p "$EM_CACHE" && cp -r "$system_cache/." "$EM_CACHE/"
  fi
fi
# No compressor is built for wasm: PNG is encoded by the browser's canvas.
cmake -S "$source_dir" -B "$out_dir" \
  --toolchain "$source_dir/cmake/toolchains/emscripten.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DPIXPEN_PNG=OFF -DPIXPEN_INSTALL=OFF \
  -DBUILD_TESTING=OFF -DPIXPEN_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$out_dir" -j2 --target pixpen_wasm
echo "web/build.sh: $out_dir/pixpen/ (JavaScript face) and $out_dir/playground/ (the page)"
