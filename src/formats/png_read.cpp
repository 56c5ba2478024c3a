// PNG input through libspng. Every colour type, bit depth and interlace
// becomes 24-bit RGB by one rule: palettes are expanded, grey is copied to
// r, g and b, 16-bit samples keep their high byte, and alpha, tRNS, gAMA,
// sRGB and iCCP are ignored, as a conversion to RGB that drops alpha does.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/error.hpp"
#include "core/image.hpp"
#include "formats/codecs.hpp"
#include "formats/file.hpp"
#include "formats/limits.hpp"
#include "pixpen.h"

#if defined(PIXPEN_PNG_SPNG)
#include <spng.h>
#endif

namespace {

using pixpen::detail::ByteReader;
using pixpen::detail::Refusal;
using pixpen::detail::refuse;

#if defined(PIXPEN_PNG_SPNG)

// What libspng may hold besides the image and its row buffers: one chunk of
// at most kChunkLimit bytes, and at most kCacheLimit bytes of stored chunks
// (text, profiles) in all, which is what bounds a hostile file's memory.
// A larger ancillary chunk is skipped; more stored chunks than the cache (or
// libspng's count of 1000) holds refuse the file.
constexpr std::size_t kChunkLimit = std::size_t{8} << 20;
constexpr std::size_t kCacheLimit = std::size_t{16} << 20;

// Deflate turns two bits into at most 258 bytes, so image data can shrink at
// most 1032-fold: fewer bytes left than that cannot hold the declared image.
constexpr std::uint64_t kDeflateMaxRatio = 1032;

struct ContextDeleter {
    void operator()(spng_ctx *ctx) const noexcept { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

int read_from(spng_ctx * /*ctx*/, void *user, void *destination, std::size_t length) {
    auto &in = *static_cast<ByteReader *>(user);
    if (in.read(destination, length) == length) {
        return 0;
    }
    return in.failed() ? SPNG_IO_ERROR : SPNG_IO_EOF;
}

// Bytes in memory are handed over whole; a file is pulled through the reader.
bool attach_input(spng_ctx *ctx, ByteReader &in) {
    in.fill();
    const auto left = in.bytes_left();
    if (left && *left == in.window_size()) {
        return spng_set_png_buffer(ctx, in.window(), in.window_size()) == 0;
    }
    return spng_set_png_stream(ctx, read_from, &in) == 0;
}

Context open_context(ByteReader &in) {
    Context ctx(spng_ctx_new(0));
    if (!ctx) {
        return ctx;
    }
    const auto side = static_cast<std::uint32_t>(pixpen::detail::kMaxPixels);
    // Browsers skip an ancillary chunk whose CRC is wrong; so do we.
    if (spng_set_image_limits(ctx.get(), side, side) != 0 ||
        spng_set_chunk_limits(ctx.get(), kChunkLimit, kCacheLimit) != 0 ||
        spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_DISCARD) != 0 ||
        !attach_input(ctx.get(), in)) {
        ctx.reset();
    }
    return ctx;
}

Refusal refusal_for(int status) {
    switch (status) {
    case SPNG_ESIGNATURE:
        return Refusal::png_signature;
    case SPNG_EWIDTH:
    case SPNG_EHEIGHT:
    case SPNG_EBIT_DEPTH:
    case SPNG_ECOLOR_TYPE:
    case SPNG_ECOMPRESSION_METHOD:
    case SPNG_EFILTER_METHOD:
    case SPNG_EINTERLACE_METHOD:
    case SPNG_EIHDR_SIZE:
    case SPNG_ENOIHDR:
        return Refusal::png_header;
    case SPNG_EUSER_WIDTH:
    case SPNG_EUSER_HEIGHT:
    case SPNG_EOVERFLOW:
        return Refusal::too_large;
    case SPNG_ECHUNK_CRC:
        return Refusal::png_critical_crc;
    case SPNG_ECHUNK_UNKNOWN_CRITICAL:
        return Refusal::png_unknown_critical;
    case SPNG_ECHUNK_LIMITS:
        return Refusal::png_chunk_limit;
    case SPNG_EMEM:
        return Refusal::out_of_memory;
    case SPNG_IO_EOF:
    case SPNG_IO_ERROR:
    case SPNG_EIO:
    case SPNG_EOF:
        return Refusal::png_data_short;
    case SPNG_EIDAT_TOO_SHORT:
    case SPNG_EIDAT_STREAM:
    case SPNG_EZLIB:
    case SPNG_EFILTER:
        return Refusal::png_data_corrupt;
    default:
        return Refusal::png_chunk;
    }
}

// A short or failed stream is the input's fault, whatever libspng made of it.
::Image refuse_status(ByteReader &in, int status, PixpenError &error) {
    refuse(error, in.failed() ? Refusal::png_data_short : refusal_for(status));
    return nullptr;
}

std::uint64_t sample_bits(const spng_ihdr &ihdr) {
    switch (ihdr.color_type) {
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
        return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR:
        return 3;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
        return 4;
    default: // grey, palette index
        return 1;
    }
}

// libspng reads the signature together with IHDR, and would call a short
// input that is no PNG at all short.
bool starts_like_png(ByteReader &in) {
    static constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    in.fill();
    const std::size_t n = std::min(in.window_size(), sizeof kSignature);
    return std::memcmp(in.window(), kSignature, n) == 0;
}

::Image decode(ByteReader &in, PixpenError &error) {
    if (!in.fill()) {
        refuse(error, Refusal::png_data_short);
        return nullptr;
    }
    if (!starts_like_png(in)) {
        refuse(error, Refusal::png_signature);
        return nullptr;
    }
    Context ctx = open_context(in);
    if (!ctx) {
        refuse(error, Refusal::out_of_memory);
        return nullptr;
    }
    spng_ihdr ihdr{};
    if (const int status = spng_get_ihdr(ctx.get(), &ihdr); status != 0) {
        return refuse_status(in, status, error);
    }
    const std::uint64_t bits_per_pixel = sample_bits(ihdr) * ihdr.bit_depth;
    ::Image image = pixpen::detail::create_declared_image(
        ihdr.width, ihdr.height, in.bytes_left(),
        [bits_per_pixel](std::uint64_t pixels) {
            return pixels * bits_per_pixel / 8 / kDeflateMaxRatio;
        },
        Refusal::png_data_short, error);
    if (image == nullptr) {
        return nullptr;
    }
    const std::size_t size = pixpen::detail::pixels_of(image) * sizeof(Color);
    // The image is fresh memory that the decoder fills front to back once.
    pixpen::detail::advise_huge_pages(reinterpret_cast<unsigned char *>(image->pixels), size);
    int status = spng_decode_image(ctx.get(), image->pixels, size, SPNG_FMT_RGB8, 0);
    // The image can be complete before the last IDAT's CRC and IEND are read:
    // a file is only accepted whole.
    if (status == 0) {
        status = spng_decode_chunks(ctx.get());
    }
    if (status != 0 || in.failed()) {
        destroy_image(image);
        return refuse_status(in, status, error);
    }
    return image;
}

#else

::Image decode(ByteReader & /*in*/, PixpenError &error) {
    refuse(error, Refusal::png_read_not_built);
    return nullptr;
}

#endif

} // namespace

namespace pixpen::detail {

::Image png_decode(ByteReader &in, PixpenError &error) {
    return decode(in, error);
}

} // namespace pixpen::detail
