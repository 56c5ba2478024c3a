// PNG output: 8-bit truecolour, or an indexed image with a PLTE chunk when
// the picture has at most 256 colours, non-interlaced, in the four chunks a
// decoder needs (IHDR, PLTE for indexed images, IDAT, IEND). Deflate (stored
// blocks included), CRC-32 and Adler-32 come from the compression library
// found at build time.
#include "formats/png.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#if defined(PIXPEN_PNG_LIBDEFLATE)
#include <libdeflate.h>
#elif defined(PIXPEN_PNG_ZLIB)
#include <zlib.h>
#endif

#include "core/error.hpp"
#include "formats/codecs.hpp"
#include "formats/file.hpp"

namespace pixpen::detail {

namespace {

#if defined(PIXPEN_PNG_LIBDEFLATE)

constexpr const char *kCompressorName = "libdeflate";
// libdeflate's scale is 0..12. Measured on 4096 x 4096 pictures: level 6 is
// what makes line art smaller than the other encoders' files at a fifth of
// their time; truecolour gains 5 % from level 2 to 6 at four times the time.
constexpr int kPaletteLevel = 6;
constexpr int kTruecolourLevel = 2;
constexpr int kSampleLevel = 1;
constexpr int kStoredLevel = 0;
// Callers' other choices. Level 10 is the first with near-optimal parsing:
// 8-17 % smaller than 6 on drawings, within 1.5 % of 12 at half its time.
constexpr int kFastestLevel = 1;
constexpr int kSmallestLevel = 10;

class Compressor {
  public:
    explicit Compressor(int level) noexcept : handle_(libdeflate_alloc_compressor(level)) {}
    Compressor(const Compressor &) = delete;
    Compressor &operator=(const Compressor &) = delete;
    ~Compressor() {
        if (handle_ != nullptr) {
            libdeflate_free_compressor(handle_);
        }
    }
    bool ready() const noexcept { return handle_ != nullptr; }
    std::size_t bound(std::size_t size) const noexcept {
        return libdeflate_zlib_compress_bound(handle_, size);
    }
    // The zlib stream's length, or 0 when it did not fit `capacity`.
    std::size_t compress(const std::uint8_t *in, std::size_t size, std::uint8_t *out,
                         std::size_t capacity) noexcept {
        return libdeflate_zlib_compress(handle_, in, size, out, capacity);
    }

  private:
    libdeflate_compressor *handle_;
};

std::uint32_t png_crc(std::uint32_t crc, const std::uint8_t *bytes, std::size_t size) noexcept {
    return libdeflate_crc32(crc, bytes, size);
}

#elif defined(PIXPEN_PNG_ZLIB)

constexpr const char *kCompressorName = "zlib";
// zlib's own scale, 0..9, set like libdeflate's.
constexpr int kPaletteLevel = 6;
constexpr int kTruecolourLevel = 2;
constexpr int kSampleLevel = 1;
constexpr int kStoredLevel = 0;
constexpr int kFastestLevel = 1;
constexpr int kSmallestLevel = 9;

class Compressor {
  public:
    explicit Compressor(int level) noexcept
        : level_(std::clamp(level, int{Z_NO_COMPRESSION}, int{Z_BEST_COMPRESSION})) {}
    bool ready() const noexcept { return true; }
    std::size_t bound(std::size_t size) const noexcept {
        return compressBound(static_cast<uLong>(size));
    }
    std::size_t compress(const std::uint8_t *in, std::size_t size, std::uint8_t *out,
                         std::size_t capacity) noexcept {
        uLongf length = static_cast<uLongf>(capacity);
        return compress2(out, &length, in, static_cast<uLong>(size), level_) == Z_OK ? length : 0;
    }

  private:
    int level_;
};

std::uint32_t png_crc(std::uint32_t crc, const std::uint8_t *bytes, std::size_t size) noexcept {
    return static_cast<std::uint32_t>(crc32_z(crc, bytes, size));
}

#else

constexpr const char *kCompressorName = "";
constexpr int kPaletteLevel = 0;
constexpr int kTruecolourLevel = 0;
constexpr int kFastestLevel = 0;
constexpr int kSmallestLevel = 0;

#endif

#if defined(PIXPEN_PNG_LIBDEFLATE) || defined(PIXPEN_PNG_ZLIB)

struct FreeDeleter {
    void operator()(std::uint8_t *p) const noexcept { std::free(p); }
};
using Buffer = std::unique_ptr<std::uint8_t, FreeDeleter>;

// std::malloc for a size computed in 64 bits: nothing when it exceeds size_t.
std::uint8_t *allocate(std::uint64_t size) noexcept {
    if (size > std::numeric_limits<std::size_t>::max()) {
        return nullptr;
    }
    auto *bytes =
        static_cast<std::uint8_t *>(std::malloc(size == 0 ? 1 : static_cast<std::size_t>(size)));
    if (bytes != nullptr) {
        advise_huge_pages(bytes, static_cast<std::size_t>(size));
    }
    return bytes;
}

// ---- colours -------------------------------------------------------------------

constexpr int kMaxPaletteSize = 256;

struct Palette {
    std::array<std::uint8_t, 3 * kMaxPaletteSize> rgb{};
    int size = 0;
};

// Colour -> palette index, open addressing. At most 257 keys ever go in, so
// a quarter-full table keeps probe chains at one or two slots.
class ColourTable {
  public:
    // The index of `key` (0xRRGGBB), adding it to the palette if new; -1 when
    // the palette is full.
    int find_or_add(std::uint32_t key, Palette &palette) noexcept {
        std::uint32_t slot = (key * 0x9E3779B1u) >> (32 - kBits);
        for (;;) {
            const std::uint32_t stored = keys_[slot];
            if (stored == key + 1) {
                return indices_[slot];
            }
            if (stored == 0) {
                break;
            }
            slot = (slot + 1) & (kSlots - 1);
        }
        if (palette.size == kMaxPaletteSize) {
            return -1;
        }
        const int index = palette.size++;
        keys_[slot] = key + 1;
        indices_[slot] = static_cast<std::uint8_t>(index);
        palette.rgb[3 * static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(key >> 16);
        palette.rgb[3 * static_cast<std::size_t>(index) + 1] = static_cast<std::uint8_t>(key >> 8);
        palette.rgb[3 * static_cast<std::size_t>(index) + 2] = static_cast<std::uint8_t>(key);
        return index;
    }

  private:
    static constexpr int kBits = 10;
    static constexpr std::uint32_t kSlots = 1u << kBits;
    std::array<std::uint32_t, kSlots> keys_{}; // key + 1; 0 marks a free slot
    std::array<std::uint8_t, kSlots> indices_{};
};

inline std::uint32_t key_of(const std::uint8_t *pixel) noexcept {
    return std::uint32_t{pixel[0]} << 16 | std::uint32_t{pixel[1]} << 8 | pixel[2];
}

// Builds the palette in order of first appearance and writes every pixel's
// index as one byte, row y at out + y * stride + 1 (the byte before each row
// is left for its filter type). false as soon as a 257th colour turns up, so
// a truecolour picture costs a few hundred pixels here, not a pass.
bool index_colours(const std::uint8_t *pixels, std::size_t width, std::size_t height,
                   std::uint8_t *out, std::size_t stride, Palette &palette) noexcept {
    ColourTable table;
    std::uint32_t last_key = key_of(pixels);
    std::uint8_t last_index = static_cast<std::uint8_t>(table.find_or_add(last_key, palette));
    // Four pixels of the last colour: drawings are mostly runs of one colour,
    // which this compares twelve bytes at a time.
    std::array<std::uint8_t, 12> run{};
    const auto set_run = [&] {
        for (std::size_t i = 0; i < run.size(); i += 3) {
            run[i] = static_cast<std::uint8_t>(last_key >> 16);
            run[i + 1] = static_cast<std::uint8_t>(last_key >> 8);
            run[i + 2] = static_cast<std::uint8_t>(last_key);
        }
    };
    set_run();
    const std::uint8_t *p = pixels;
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t *row = out + y * stride + 1;
        std::size_t x = 0;
        while (x < width) {
            if (x + 4 <= width && std::memcmp(p, run.data(), run.size()) == 0) {
                std::memset(row + x, last_index, 4);
                x += 4;
                p += 12;
                continue;
            }
            const std::uint32_t key = key_of(p);
            if (key != last_key) {
                const int index = table.find_or_add(key, palette);
                if (index < 0) {
                    return false;
                }
                last_key = key;
                last_index = static_cast<std::uint8_t>(index);
                set_run();
            }
            row[x++] = last_index;
            p += 3;
        }
    }
    return true;
}

int smallest_depth(int colours) noexcept {
    return colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8;
}

std::size_t packed_row_bytes(std::size_t width, int depth) noexcept {
    return (width * static_cast<std::size_t>(depth) + 7) / 8;
}

// Packs the one-byte indices of each row to `depth` bits, leftmost pixel in
// the high bits, rows moving from `stride` apart to `1 + packed` apart. In
// place: every byte is written at or before the first byte it is made from.
template <int depth>
void pack_rows(std::uint8_t *buffer, std::size_t width, std::size_t height,
               std::size_t stride) noexcept {
    constexpr std::size_t per_byte = 8 / depth;
    const std::size_t packed = packed_row_bytes(width, depth);
    const std::size_t whole = width / per_byte;
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t *in = buffer + y * stride + 1;
        std::uint8_t *out = buffer + y * (packed + 1) + 1;
        for (std::size_t i = 0; i < whole; ++i) {
            unsigned byte = 0;
            for (std::size_t k = 0; k < per_byte; ++k) {
                byte = byte << depth | in[i * per_byte + k];
            }
            out[i] = static_cast<std::uint8_t>(byte);
        }
        if (whole < packed) {
            unsigned byte = 0;
            for (std::size_t k = 0; k < per_byte; ++k) {
                const std::size_t x = whole * per_byte + k;
                byte = byte << depth | (x < width ? in[x] : 0u);
            }
            out[whole] = static_cast<std::uint8_t>(byte);
        }
    }
}

void pack_rows(std::uint8_t *buffer, std::size_t width, std::size_t height, std::size_t stride,
               int depth) noexcept {
    switch (depth) {
    case 1:
        return pack_rows<1>(buffer, width, height, stride);
    case 2:
        return pack_rows<2>(buffer, width, height, stride);
    case 4:
        return pack_rows<4>(buffer, width, height, stride);
    default:
        return;
    }
}

// ---- row filters ------------------------------------------------------------------

inline std::uint8_t paeth_predictor(int a, int b, int c) noexcept {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// The first `size` bytes of `row` filtered with `type` against `prior`, the
// row above (all zeros above the first row); `bpp` is the distance to the
// byte of the same sample one pixel to the left.
template <std::size_t bpp>
void filter_bytes(PngFilter type, std::uint8_t *__restrict out, const std::uint8_t *__restrict row,
                  const std::uint8_t *__restrict prior, std::size_t size) noexcept {
    const std::size_t lead = std::min(bpp, size);
    switch (type) {
    case PngFilter::none:
    case PngFilter::adaptive:
        std::memcpy(out, row, size);
        return;
    case PngFilter::sub:
        std::memcpy(out, row, lead);
        for (std::size_t i = bpp; i < size; ++i) {
            out[i] = static_cast<std::uint8_t>(row[i] - row[i - bpp]);
        }
        return;
    case PngFilter::up:
        for (std::size_t i = 0; i < size; ++i) {
            out[i] = static_cast<std::uint8_t>(row[i] - prior[i]);
        }
        return;
    case PngFilter::average:
        for (std::size_t i = 0; i < lead; ++i) {
            out[i] = static_cast<std::uint8_t>(row[i] - (prior[i] >> 1));
        }
        for (std::size_t i = bpp; i < size; ++i) {
            out[i] = static_cast<std::uint8_t>(row[i] - ((row[i - bpp] + prior[i]) >> 1));
        }
        return;
    case PngFilter::paeth:
        for (std::size_t i = 0; i < lead; ++i) {
            out[i] = static_cast<std::uint8_t>(row[i] - prior[i]);
        }
        for (std::size_t i = bpp; i < size; ++i) {
            out[i] = static_cast<std::uint8_t>(
                row[i] - paeth_predictor(row[i - bpp], prior[i], prior[i - bpp]));
        }
        return;
    }
}

// Sum of the filtered bytes read as signed: the usual estimate of how well a
// filtered row compresses (smaller is better).
std::uint64_t magnitude(const std::uint8_t *bytes, std::size_t size) noexcept {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        sum += static_cast<std::uint64_t>(
            std::abs(static_cast<int>(static_cast<std::int8_t>(bytes[i]))));
    }
    return sum;
}

// Writes the filter type byte and the filtered bytes of one row at `out`.
// `trial` has room for one row when `type` is adaptive.
template <std::size_t bpp>
void filter_row(PngFilter type, std::uint8_t *out, const std::uint8_t *row,
                const std::uint8_t *prior, std::size_t size, std::uint8_t *trial) noexcept {
    if (type != PngFilter::adaptive) {
        out[0] = static_cast<std::uint8_t>(type);
        filter_bytes<bpp>(type, out + 1, row, prior, size);
        return;
    }
    out[0] = static_cast<std::uint8_t>(PngFilter::none);
    std::memcpy(out + 1, row, size);
    std::uint64_t best = magnitude(row, size);
    for (const PngFilter candidate :
         {PngFilter::sub, PngFilter::up, PngFilter::average, PngFilter::paeth}) {
        filter_bytes<bpp>(candidate, trial, row, prior, size);
        const std::uint64_t score = magnitude(trial, size);
        if (score < best) {
            best = score;
            out[0] = static_cast<std::uint8_t>(candidate);
            std::memcpy(out + 1, trial, size);
        }
    }
}

void filter_row(std::size_t bpp, PngFilter type, std::uint8_t *out, const std::uint8_t *row,
                const std::uint8_t *prior, std::size_t size, std::uint8_t *trial) noexcept {
    if (bpp == 3) {
        filter_row<3>(type, out, row, prior, size, trial);
    } else {
        filter_row<1>(type, out, row, prior, size, trial);
    }
}

// ---- the file -------------------------------------------------------------------

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kChunkOverhead = 12; // length, type, CRC
constexpr std::size_t kIhdrSize = 13;
constexpr std::array<std::uint8_t, 4> kIdat = {'I', 'D', 'A', 'T'};
constexpr std::uint8_t kColourTypeTruecolour = 2;
constexpr std::uint8_t kColourTypeIndexed = 3;

// Bytes of every row sampled to judge compressibility, and how many rows are
// enough when rows are wide. Narrow rows need more of them: in a few dozen
// bytes deflate's fixed overhead hides any saving, so the sample is never
// smaller than kMinSampleBytes while the image has that much.
constexpr std::size_t kSampleBytesPerRow = 16 * 1024;
constexpr std::size_t kSampleRows = 16;
constexpr std::size_t kMinSampleBytes = 4096;
// A sample that level-1 deflate shrinks by less than this fraction is stored.
constexpr std::size_t kIncompressiblePercent = 95;

std::uint8_t *put_u32(std::uint8_t *out, std::uint32_t value) noexcept {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
    return out + 4;
}

// A complete chunk whose `size` data bytes are already at out + 8.
std::uint8_t *seal_chunk(std::uint8_t *out, const char (&type)[5], std::size_t size) noexcept {
    put_u32(out, static_cast<std::uint32_t>(size));
    std::memcpy(out + 4, type, 4);
    return put_u32(out + 8 + size, png_crc(0, out + 4, size + 4));
}

struct Layout {
    std::size_t width;
    std::size_t height;
    bool indexed;
    int depth;             // bits per sample or per index
    std::size_t bpp;       // filter distance in bytes
    std::size_t row_bytes; // without the filter type byte
    std::size_t total() const noexcept { return height * (row_bytes + 1); }
};

// Whether a sample of the filtered data hardly compresses: then the whole
// image is stored, which costs a copy instead of a search for matches.
template <class MakeSample>
bool incompressible(std::size_t sample_size, MakeSample make_sample, bool &failed) noexcept {
    Buffer sample(allocate(sample_size));
    Compressor compressor(kSampleLevel);
    if (!sample || !compressor.ready()) {
        failed = true;
        return false;
    }
    make_sample(sample.get());
    const std::size_t capacity = compressor.bound(sample_size);
    Buffer packed(allocate(capacity));
    if (!packed) {
        failed = true;
        return false;
    }
    const std::size_t size = compressor.compress(sample.get(), sample_size, packed.get(), capacity);
    if (size == 0) {
        // The bound always fits, so only the library running out of memory
        // gets here; storing instead would make the bytes depend on memory.
        failed = true;
        return false;
    }
    return size * 100 >= sample_size * kIncompressiblePercent;
}

// How many rows the compressibility sample takes, each `sample_bytes` wide.
std::size_t sample_row_count(std::size_t height, std::size_t sample_bytes) noexcept {
    const std::size_t for_min_bytes = (kMinSampleBytes + sample_bytes) / (sample_bytes + 1);
    return std::min(height, std::max(kSampleRows, for_min_bytes));
}

// The rows that stand for the whole image in the compressibility sample.
std::size_t sample_row(std::size_t k, std::size_t rows, std::size_t height) noexcept {
    return k * height / rows;
}

#endif

} // namespace

PngTuning default_png_tuning() noexcept {
    PngTuning tuning;
    tuning.palette_filter = PngFilter::none;
    tuning.truecolour_filter = PngFilter::up;
    tuning.palette_level = kPaletteLevel;
    tuning.truecolour_level = kTruecolourLevel;
    tuning.detect_incompressible = true;
    return tuning;
}

PngTuning png_tuning_for(PixpenPngLevel level) noexcept {
    PngTuning tuning = default_png_tuning();
    if (level == PIXPEN_PNG_LEVEL_FASTEST) {
        tuning.palette_level = kFastestLevel;
        tuning.truecolour_level = kFastestLevel;
    } else if (level == PIXPEN_PNG_LEVEL_SMALLEST) {
        tuning.palette_level = kSmallestLevel;
        tuning.truecolour_level = kSmallestLevel;
    }
    return tuning;
}

const char *png_compressor_name() noexcept {
    return kCompressorName;
}

bool png_encode(::Image image, const EncodeChoices &choices, ByteWriter &out,
                PixpenError &error) noexcept {
    return encode_png(image, png_tuning_for(choices.png_level), out, error);
}

bool encode_png(::Image image, const PngTuning &tuning, std::uint8_t **data, std::size_t *size,
                PixpenError &error) noexcept {
    *data = nullptr;
    *size = 0;
    ByteWriter out(std::uint64_t{0});
    if (!encode_png(image, tuning, out, error)) {
        if (error.status == PIXPEN_OK) {
            refuse(error, Refusal::out_of_memory);
        }
        return false;
    }
    *data = out.release(*size);
    return true;
}

#if !defined(PIXPEN_PNG_LIBDEFLATE) && !defined(PIXPEN_PNG_ZLIB)

bool encode_png(::Image, const PngTuning &, ByteWriter &, PixpenError &error) noexcept {
    return refuse(error, Refusal::png_not_built);
}

#else

bool encode_png(::Image image, const PngTuning &tuning, ByteWriter &out,
                PixpenError &error) noexcept {
    Layout layout{static_cast<std::size_t>(image->width),
                  static_cast<std::size_t>(image->height),
                  false,
                  8,
                  3,
                  0};
    const auto *pixels = reinterpret_cast<const std::uint8_t *>(image->pixels);
    const std::uint64_t truecolour_total =
        std::uint64_t{layout.height} * (std::uint64_t{layout.width} * 3 + 1);
    // Filtered rows and the compressed stream must both fit the address space
    // (only a 32-bit build can meet this).
    if (truecolour_total > std::numeric_limits<std::size_t>::max() / 4) {
        return refuse(error, Refusal::out_of_memory);
    }

    Palette palette;
    Buffer filtered;
    if (tuning.palette) {
        // One index byte per pixel first; packing below shrinks the rows in place.
        const std::size_t stride = layout.width + 1;
        filtered.reset(allocate(std::uint64_t{layout.height} * stride));
        if (!filtered) {
            return refuse(error, Refusal::out_of_memory);
        }
        if (index_colours(pixels, layout.width, layout.height, filtered.get(), stride, palette)) {
            layout.indexed = true;
            const int fits = smallest_depth(palette.size);
            layout.depth = tuning.palette_depth == 0 ? fits : std::max(tuning.palette_depth, fits);
            layout.bpp = 1;
            layout.row_bytes = packed_row_bytes(layout.width, layout.depth);
            if (layout.depth < 8) {
                pack_rows(filtered.get(), layout.width, layout.height, stride, layout.depth);
            }
        } else {
            filtered.reset();
        }
    }
    if (!layout.indexed) {
        layout.row_bytes = layout.width * 3;
    }

    PngFilter filter = layout.indexed ? tuning.palette_filter : tuning.truecolour_filter;
    int level = layout.indexed ? tuning.palette_level : tuning.truecolour_level;
    const std::size_t row_bytes = layout.row_bytes;
    const std::size_t stride = row_bytes + 1;
    const std::size_t sample_bytes = std::min(row_bytes, kSampleBytesPerRow);
    const std::size_t sample_rows = sample_row_count(layout.height, sample_bytes);

    // Zeros above the first row, and the scratch rows the filters need.
    Buffer zeros(static_cast<std::uint8_t *>(std::calloc(row_bytes, 1)));
    Buffer scratch(allocate(std::uint64_t{row_bytes} * 3));
    if (!zeros || !scratch) {
        return refuse(error, Refusal::out_of_memory);
    }
    std::uint8_t *const trial = scratch.get();
    std::uint8_t *const current = trial + row_bytes;
    std::uint8_t *const above = current + row_bytes;

    if (tuning.detect_incompressible) {
        bool failed = false;
        const std::size_t size_of_sample = sample_rows * (sample_bytes + 1);
        bool stored = false;
        if (layout.indexed) {
            // Filtering runs in place below; the sample filters copies of its rows.
            stored = incompressible(
                size_of_sample,
                [&](std::uint8_t *out) {
                    for (std::size_t k = 0; k < sample_rows; ++k) {
                        const std::size_t y = sample_row(k, sample_rows, layout.height);
                        const std::uint8_t *row = filtered.get() + y * stride + 1;
                        const std::uint8_t *prior =
                            y == 0 ? zeros.get() : filtered.get() + (y - 1) * stride + 1;
                        filter_row(1, filter, out + k * (sample_bytes + 1), row, prior,
                                   sample_bytes, trial);
                    }
                },
                failed);
        } else {
            stored = incompressible(
                size_of_sample,
                [&](std::uint8_t *out) {
                    for (std::size_t k = 0; k < sample_rows; ++k) {
                        const std::size_t y = sample_row(k, sample_rows, layout.height);
                        const std::uint8_t *row = pixels + y * row_bytes;
                        const std::uint8_t *prior = y == 0 ? zeros.get() : row - row_bytes;
                        filter_row(3, filter, out + k * (sample_bytes + 1), row, prior,
                                   sample_bytes, trial);
                    }
                },
                failed);
        }
        if (failed) {
            return refuse(error, Refusal::out_of_memory);
        }
        if (stored) {
            // Filtering noise gains nothing; the library then only copies it
            // into stored blocks, with its checksums.
            filter = PngFilter::none;
            level = kStoredLevel;
        }
    }

    if (layout.indexed) {
        // In place, top down: each raw row is saved before it is overwritten,
        // as the prior of the next one.
        if (filter == PngFilter::none) {
            for (std::size_t y = 0; y < layout.height; ++y) {
                filtered.get()[y * stride] = 0;
            }
        } else {
            std::memset(above, 0, row_bytes);
            for (std::size_t y = 0; y < layout.height; ++y) {
                std::uint8_t *at = filtered.get() + y * stride;
                std::memcpy(current, at + 1, row_bytes);
                filter_row(1, filter, at, current, above, row_bytes, trial);
                std::memcpy(above, current, row_bytes);
            }
        }
    } else {
        filtered.reset(allocate(truecolour_total));
        if (!filtered) {
            return refuse(error, Refusal::out_of_memory);
        }
        for (std::size_t y = 0; y < layout.height; ++y) {
            const std::uint8_t *row = pixels + y * row_bytes;
            filter_row(3, filter, filtered.get() + y * stride, row,
                       y == 0 ? zeros.get() : row - row_bytes, row_bytes, trial);
        }
    }
    zeros.reset();
    scratch.reset();

    Compressor compressor(level);
    if (!compressor.ready()) {
        return refuse(error, Refusal::out_of_memory);
    }
    const std::size_t raw_size = layout.total();
    const std::size_t bound = compressor.bound(raw_size);

    // Signature, IHDR and PLTE: at most 813 bytes.
    std::array<std::uint8_t, 1024> head{};
    std::uint8_t *at = std::copy(kSignature.begin(), kSignature.end(), head.begin());
    std::uint8_t *ihdr = at + 8;
    put_u32(ihdr, static_cast<std::uint32_t>(layout.width));
    put_u32(ihdr + 4, static_cast<std::uint32_t>(layout.height));
    ihdr[8] = static_cast<std::uint8_t>(layout.depth);
    ihdr[9] = layout.indexed ? kColourTypeIndexed : kColourTypeTruecolour;
    ihdr[10] = 0; // deflate
    ihdr[11] = 0; // the five adaptive filter types
    ihdr[12] = 0; // not interlaced
    at = seal_chunk(at, "IHDR", kIhdrSize);
    if (layout.indexed) {
        const std::size_t palette_bytes = 3 * static_cast<std::size_t>(palette.size);
        std::memcpy(at + 8, palette.rgb.data(), palette_bytes);
        at = seal_chunk(at, "PLTE", palette_bytes);
    }
    unsigned char *cursor = out.begin();
    if (!out.put(cursor, head.data(), static_cast<std::size_t>(at - head.data()))) {
        return false;
    }

    // Decoders must accept chunks up to 2^31 - 1 bytes; longer streams are split.
    const std::size_t max_idat = std::clamp<std::size_t>(tuning.max_idat_size, 1, 0x7FFFFFFF);
    const std::uint64_t most_idats = bound / max_idat + 1;
    // Memory takes the stream in place, room for the chunk framing included;
    // a file gets it from a buffer of its own.
    Buffer own;
    std::uint8_t *stream = nullptr;
    if (out.reserve(cursor, std::uint64_t{bound} + (most_idats + 1) * kChunkOverhead)) {
        stream = cursor + 8;
    } else if (out.out_of_memory()) {
        return refuse(error, Refusal::out_of_memory);
    } else {
        own.reset(allocate(bound));
        if (!own) {
            return refuse(error, Refusal::out_of_memory);
        }
        stream = own.get();
    }
    const std::size_t stream_size = compressor.compress(filtered.get(), raw_size, stream, bound);
    filtered.reset();
    if (stream_size == 0) {
        // Only a failed allocation inside the library can leave the bound too small.
        return refuse(error, Refusal::out_of_memory);
    }
    const std::size_t pieces = (stream_size + max_idat - 1) / max_idat;
    if (own) {
        for (std::size_t k = 0; k < pieces; ++k) {
            const std::size_t length = std::min(max_idat, stream_size - k * max_idat);
            const std::uint8_t *piece = stream + k * max_idat;
            cursor = put_u32(cursor, static_cast<std::uint32_t>(length));
            cursor = std::copy(kIdat.begin(), kIdat.end(), cursor);
            if (!out.put(cursor, piece, length)) {
                return false;
            }
            cursor =
                put_u32(cursor, png_crc(png_crc(0, kIdat.data(), kIdat.size()), piece, length));
        }
    } else {
        // One IDAT chunk holds the stream unless it is longer than max_idat;
        // then later pieces move back to make room for the chunk headers
        // between.
        for (std::size_t k = pieces - 1; k > 0; --k) {
            const std::size_t length = std::min(max_idat, stream_size - k * max_idat);
            std::memmove(stream + k * (max_idat + kChunkOverhead), stream + k * max_idat, length);
        }
        for (std::size_t k = 0; k < pieces; ++k) {
            const std::size_t length = std::min(max_idat, stream_size - k * max_idat);
            cursor = seal_chunk(cursor, "IDAT", length);
        }
    }
    cursor = seal_chunk(cursor, "IEND", 0);
    if (!out.finish(cursor)) {
        return false;
    }
    clear_error(error);
    return true;
}

#endif

} // namespace pixpen::detail
