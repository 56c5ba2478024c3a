#!/usr/bin/env bash
# Runs every example from BUILD_DIR/examples (default: build) and lists the
# pictures they wrote there. Build first:
#
#   cmake -S . -B build && cmake --build build -j2 --target pixpen_examples && examples/run_examples.sh build
set -euo pipefail
build=${1:-build}
out="$build/examples"
src=$(cd "$(dirname "$0")/.." && pwd)
[[ -x "$out/square_spiral" ]] || {
  echo "no examples in $out: build with cmake -S . -B $build && cmake --build $build --target pixpen_examples" >&2
  exit 1
}
cd "$out"
start=$(date +%s.%N)
./square_spiral
./koch_snowflake
./fractal_tree
./dragon_curve
./line_art
./mandelbrot
./shapes
./retouch square_spiral.ppm
./retouch line_art_inverted.tga
# A PNG round trip, where the library reads and writes PNG: otherwise retouch
# says which library is missing, and the other examples still run.
if [[ -f dragon_curve.png ]]; then
  ./retouch dragon_curve.png || echo "(the PNG round trip skipped)"
fi
if [[ -e ../libpixpen.so ]] && command -v python3 >/dev/null; then
  python3 turtle_star.py ../libpixpen.so
  # The pixpen package from the source tree, over this build's library.
  for example in spiral fractal_tree shapes; do
    # Named apart: the C++ fractal_tree writes fractal_tree.png too.
    PIXPEN_LIBRARY="$(pwd)/../libpixpen.so" PYTHONPATH="$src/python" python3 "$src/python/examples/$example.py" "python_$example.png"
  done
else
  echo "(the Python examples skipped: they need python3 and the shared libpixpen.so)"
fi
echo
echo "pictures in $(pwd):"
find . -maxdepth 1 -type f -newermt "@$start" \( -name '*.ppm' -o -name '*.tga' -o -name '*.png' \) -printf '  %-36f %8s bytes\n' | sort
