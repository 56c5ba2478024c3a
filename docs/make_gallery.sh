#!/usr/bin/env bash
# Builds the examples, runs them, and puts their pictures under docs/gallery/
# for the README, every PNG written by pixpen itself: most examples write PNG;
# the pictures they write as PPM or TGA (for the retouch round trip, and the
# raw ctypes example) are converted by pixpen's Python package.
#
#   docs/make_gallery.sh            # uses and keeps the build folder build-gallery/
#   BUILD_DIR=build docs/make_gallery.sh
#
# Needs a shared build with PNG output (libdeflate-dev or zlib1g-dev) and input
# (libspng-dev), and python3 with Pillow.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-build-gallery}
[[ $build = /* ]] || build="$root/$build"
gallery="$root/docs/gallery"

# A new build folder skips the tests; an existing one keeps its settings.
fresh=()
[[ -f "$build/CMakeCache.txt" ]] || fresh=(-DBUILD_TESTING=OFF)
cmake -S "$root" -B "$build" "${fresh[@]}" -DPIXPEN_BUILD_EXAMPLES=ON >/dev/null
cmake --build "$build" -j2 >/dev/null
"$root/examples/run_examples.sh" "$build"

mkdir -p "$gallery"
out="$build/examples"
for picture in square_spiral koch_snowflake fractal_tree dragon_curve line_art mandelbrot shapes; do
  [[ -f "$out/$picture.png" ]] || { echo "$out/$picture.png missing: was pixpen built without PNG output?" >&2; exit 1; }
  cp "$out/$picture.png" "$gallery/$picture.png"
done
PIXPEN_LIBRARY="$build/libpixpen.so" PYTHONPATH="$root/python" python3 - "$out" "$gallery" <<'PY'
import sys
import pixpen

out, gallery = sys.argv[1:]
for name in ("line_art_inverted.tga", "square_spiral_retouched.tga", "turtle_star.ppm"):
    stem = name.rsplit(".", 1)[0]
    with pixpen.Image.open(f"{out}/{name}") as source:
        source.save(f"{gallery}/{stem}.png")
        # Read back: the PNG holds exactly the pixels it was written from.
        with pixpen.Image.open(f"{gallery}/{stem}.png") as back:
            assert back.tobytes() == source.tobytes(), stem
PY
PIXPEN_LIBRARY="$build/libpixpen.so" PYTHONPATH="$root/python" python3 "$root/docs/make_png_alpha.py" "$gallery"
# Two scripts written for Python's turtle module, run unchanged.
for script in penrose lsystem; do
  PIXPEN_LIBRARY="$build/libpixpen.so" PYTHONPATH="$root/python" \
    python3 -m pixpen.turtle "$root/examples/turtle/$script.py" -o "$gallery/turtle_$script.png"
done
for png in square_spiral koch_snowflake fractal_tree dragon_curve line_art line_art_inverted \
  square_spiral_retouched turtle_star mandelbrot shapes turtle_penrose turtle_lsystem png_alpha_ignored; do
  printf '  %-34s %7s bytes\n' "docs/gallery/$png.png" "$(stat -c %s "$gallery/$png.png")"
done
