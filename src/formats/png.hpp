#pragma once

#include <cstddef>
#include <cstdint>

#include "pixpen.h"

namespace pixpen::detail {

class ByteWriter;
struct EncodeChoices;

// The whole PNG file for `image`, through `out`. `image` is non-NULL, has 1 <= width,
// 1 <= height and a pixel count that fits int32 (the caller checks that). On failure returns
// false, with `error` filled when the encoder itself failed (out of memory, or built without a
// compression library) and left alone when the sink did.
bool png_encode(::Image image, const EncodeChoices &choices, ByteWriter &out,
                PixpenError &error) noexcept;

// ---- the knobs behind encode_png, for the tuning measurements and the tests ----

// Row filters by their number in the file; `adaptive` picks, for each row,
// the filter whose output bytes have the smallest sum of magnitudes.
enum class PngFilter : std::uint8_t { none = 0, sub = 1, up = 2, average = 3, paeth = 4, adaptive };

struct PngTuning {
    bool palette = true;      // false: truecolour even for 256 colours or fewer
    int palette_depth = 0;    // 0: the smallest of 1, 2, 4, 8 that holds the palette
    PngFilter palette_filter; // set by default_png_tuning()
    PngFilter truecolour_filter;
    int palette_level; // on the compression library's own scale
    int truecolour_level;
    bool detect_incompressible; // sample first, store noise uncompressed
    // The longest IDAT chunk; a longer stream is split. Lowered only by tests.
    std::size_t max_idat_size = std::size_t{1} << 30;
};

// What encode_png uses.
PngTuning default_png_tuning() noexcept;

// The settings behind each level callers can choose; PIXPEN_PNG_LEVEL_DEFAULT
// gives default_png_tuning(). `level` is one of the three.
PngTuning png_tuning_for(PixpenPngLevel level) noexcept;

// Which compression library this build uses: "libdeflate", "zlib" or "" (none).
const char *png_compressor_name() noexcept;

bool encode_png(::Image image, const PngTuning &tuning, ByteWriter &out,
                PixpenError &error) noexcept;

// The same into one buffer from std::malloc (the caller frees it with std::free); on failure
// *data == nullptr, *size == 0 and `error` says why.
bool encode_png(::Image image, const PngTuning &tuning, std::uint8_t **data, std::size_t *size,
                PixpenError &error) noexcept;

} // namespace pixpen::detail
