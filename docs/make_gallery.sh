#!/usr/bin/env bash
# Builds the examples, runs them, and converts the pictures they write (the
# library's own PPM and TGA files) to PNG under docs/gallery/ for the README.
#
#   docs/make_gallery.sh            # uses and keeps the build folder build-gallery/
#   BUILD_DIR=build docs/make_gallery.sh
#
# Needs ImageMagick's convert (Debian: imagemagick) at /usr/bin/convert or $CONVERT.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-build-gallery}
[[ $build = /* ]] || build="$root/$build"
convert=${CONVERT:-/usr/bin/convert}
gallery="$root/docs/gallery"
[[ -x $convert ]] || { echo "ImageMagick's convert not found at $convert" >&2; exit 1; }

# A new build folder skips the tests; an existing one keeps its settings.
fresh=()
[[ -f "$build/CMakeCache.txt" ]] || fresh=(-DBUILD_TESTING=OFF)
cmake -S "$root" -B "$build" "${fresh[@]}" -DPIXPEN_BUILD_EXAMPLES=ON >/dev/null
cmake --build "$build" -j2 >/dev/null
"$root/examples/run_examples.sh" "$build"

mkdir -p "$gallery"
# One PNG per example; -strip drops the time stamps, so that an unchanged
# picture gives an unchanged file.
for picture in square_spiral.ppm koch_snowflake.ppm fractal_tree.ppm dragon_curve.ppm \
  line_art.ppm line_art_inverted.tga square_spiral_retouched.tga turtle_star.ppm; do
  png="$gallery/${picture%.*}.png"
  "$convert" "$build/examples/$picture" -strip -define png:compression-level=9 "$png"
  printf '  %-34s %7s bytes\n' "docs/gallery/$(basename "$png")" "$(stat -c %s "$png")"
done
# mandelbrot.cpp writes its PNG itself: kept as pixpen wrote it.
cp "$build/examples/mandelbrot.png" "$gallery/mandelbrot.png"
printf '  %-34s %7s bytes\n' docs/gallery/mandelbrot.png "$(stat -c %s "$gallery/mandelbrot.png")"
