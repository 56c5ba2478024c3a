// Interoperability with real image tools: netpbm, ImageMagick and Pillow
// (and, for PNG, pngcheck and libspng).
//
// One direction: pixpen writes P3, P6 and TGA, every tool decodes the file to
// a binary PPM on stdout, and the pixels must match byte for byte.
// The other: from a reference P6 written here (not by pixpen), every tool
// writes the variants it can produce; pixpen must read the ones it supports
// to the same pixels and refuse the others with the exact message. A refused
// file is decoded by its own tool too, so a refusal is known to be about the
// format variant and not about a broken file.
//
// PNG is written only: every decoder must read pixpen's PNGs, palette and
// truecolour, stored and compressed, to the image's exact pixels.
//
// A missing tool skips its rows with the reason in the test output; under CI
// (environment variable CI set, as .ci/run does) it fails them instead.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "test_support.hpp"

#ifndef PIXPEN_INTEROP_NETPBM_DIR
#define PIXPEN_INTEROP_NETPBM_DIR "/usr/bin"
#endif
#ifndef PIXPEN_INTEROP_CONVERT
#define PIXPEN_INTEROP_CONVERT "/usr/bin/convert"
#endif
#ifndef PIXPEN_INTEROP_PYTHON
#define PIXPEN_INTEROP_PYTHON "/usr/bin/python3"
#endif
#ifndef PIXPEN_INTEROP_PNGCHECK
#define PIXPEN_INTEROP_PNGCHECK "/usr/bin/pngcheck"
#endif
// The libspng decoder built beside this test; empty when libspng was not found.
#ifndef PIXPEN_INTEROP_SPNG_DECODE
#define PIXPEN_INTEROP_SPNG_DECODE ""
#endif
// The compression library PNG output was built with; empty without one.
#ifndef PIXPEN_TEST_PNG_COMPRESSOR
#define PIXPEN_TEST_PNG_COMPRESSOR ""
#endif

namespace {

using test::Bytes;

enum class Tool { netpbm, imagemagick, pillow, pngcheck, libspng };
enum class Format { p3, p6, tga, png };

const char *tool_name(Tool tool) {
    switch (tool) {
    case Tool::netpbm:
        return "Netpbm";
    case Tool::imagemagick:
        return "ImageMagick";
    case Tool::pillow:
        return "Pillow";
    case Tool::pngcheck:
        return "Pngcheck";
    case Tool::libspng:
        return "Libspng";
    }
    return "?";
}

const char *format_name(Format format) {
    switch (format) {
    case Format::p3:
        return "P3";
    case Format::p6:
        return "P6";
    case Format::tga:
        return "Tga";
    case Format::png:
        return "Png";
    }
    return "?";
}

struct Size {
    int width;
    int height;
};

// Odd sizes, so that no row length is a multiple of 2, 4 or 8 bytes.
const Size kSizes[] = {{3, 7}, {61, 37}};

std::uint32_t seed_for(Size size) {
    return static_cast<std::uint32_t>(size.width * 7919 + size.height);
}

// ---- running tools ---------------------------------------------------------

std::string quote(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string netpbm(std::string_view program) {
    return quote(std::string(PIXPEN_INTEROP_NETPBM_DIR) + "/" + std::string(program));
}

const std::string kConvert = quote(PIXPEN_INTEROP_CONVERT);
// -I: no user site-packages or PYTHON* variables, only the system's Pillow.
const std::string kPython = quote(PIXPEN_INTEROP_PYTHON) + " -I";

struct Outcome {
    bool ok = false;
    std::string diagnostics; // the command, its exit status and its stderr
};

// Runs `command` through the shell with stdout into `out_file`; the
// diagnostics carry everything needed to reproduce a failure by hand.
Outcome run(const test::TempDir &dir, const std::string &command, const std::string &out_file) {
    const std::string err_file = dir.file("stderr.txt");
    const std::string full = "(" + command + ") >" + quote(out_file) + " 2>" + quote(err_file);
    const int status = std::system(full.c_str());
    const Bytes err = test::read_file(err_file);
    Outcome outcome;
    outcome.ok = status == 0;
    std::ostringstream text;
    text << "command: " << command << "\nstatus: " << status
         << "\nstderr: " << std::string(err.begin(), err.end());
    outcome.diagnostics = text.str();
    return outcome;
}

// ---- finding the tools -----------------------------------------------------

bool executable(const std::string &path) {
    return access(path.c_str(), X_OK) == 0;
}

// Empty when the tool is usable, else why not (shown as the skip reason).
std::string find_problem(Tool tool) {
    switch (tool) {
    case Tool::netpbm:
        for (const char *program : {"tgatoppm", "ppmtotga", "pamtotga", "ppmtoppm", "pnmtoplainpnm",
                                    "pamdepth", "pngtopnm"}) {
            const std::string path = std::string(PIXPEN_INTEROP_NETPBM_DIR) + "/" + program;
            if (!executable(path)) {
                return "netpbm not installed (apt-get install netpbm): no " + path;
            }
        }
        return "";
    case Tool::imagemagick: {
        if (!executable(PIXPEN_INTEROP_CONVERT)) {
            return "ImageMagick not installed (apt-get install imagemagick): no " +
                   std::string(PIXPEN_INTEROP_CONVERT);
        }
        // Some machines put a look-alike `convert` in place; insist on the real one.
        const test::TempDir dir;
        run(dir, kConvert + " -version", dir.file("version.txt"));
        const Bytes version = test::read_file(dir.file("version.txt"));
        if (std::string(version.begin(), version.end()).find("ImageMagick") == std::string::npos) {
            return std::string(PIXPEN_INTEROP_CONVERT) +
                   " is not ImageMagick (apt-get install imagemagick)";
        }
        return "";
    }
    case Tool::pillow: {
        if (!executable(PIXPEN_INTEROP_PYTHON)) {
            return "Pillow not installed (apt-get install python3-pil): no " +
                   std::string(PIXPEN_INTEROP_PYTHON);
        }
        const test::TempDir dir;
        if (!run(dir, kPython + " -c 'import PIL'", dir.file("out.txt")).ok) {
            return "Pillow not installed (apt-get install python3-pil): " +
                   std::string(PIXPEN_INTEROP_PYTHON) + " cannot import PIL";
        }
        return "";
    }
    case Tool::pngcheck:
        if (!executable(PIXPEN_INTEROP_PNGCHECK)) {
            return "pngcheck not installed (apt-get install pngcheck): no " +
                   std::string(PIXPEN_INTEROP_PNGCHECK);
        }
        return "";
    case Tool::libspng:
        if (!executable(PIXPEN_INTEROP_SPNG_DECODE)) {
            return "libspng not found at configure time (apt-get install libspng-dev "
                   "pkg-config, then configure again)";
        }
        return "";
    }
    return "unknown tool";
}

const std::string &tool_problem(Tool tool) {
    static std::map<Tool, std::string> cache;
    const auto found = cache.find(tool);
    if (found != cache.end()) {
        return found->second;
    }
    return cache.emplace(tool, find_problem(tool)).first->second;
}

// CI installs every tool, so there a missing one is a failure, not a skip.
bool tools_required() {
    const char *ci = std::getenv("CI");
    return ci != nullptr && *ci != '\0' && std::string_view(ci) != "false" &&
           std::string_view(ci) != "0";
}

#define SKIP_UNLESS_INSTALLED(tool)                                                                \
    do {                                                                                           \
        if (const std::string &problem = tool_problem(tool); !problem.empty()) {                   \
            if (tools_required()) {                                                                \
                GTEST_FAIL() << problem << " (CI is set: the tools must be there)";                \
            }                                                                                      \
            GTEST_SKIP() << problem;                                                               \
        }                                                                                          \
    } while (false)

// ---- the neutral form: a binary PPM with max value 255 ----------------------

struct Decoded {
    int width = 0;
    int height = 0;
    Bytes pixels;
};

// Strict on purpose: the tools' own binary output, not pixpen's reader, is
// what the comparison trusts.
std::optional<Decoded> parse_p6(const Bytes &file) {
    std::size_t at = 0;
    const auto skip_space = [&] {
        while (at < file.size() && std::isspace(file[at])) {
            ++at;
        }
    };
    const auto number = [&]() -> std::optional<int> {
        skip_space();
        int value = 0;
        const std::size_t start = at;
        while (at < file.size() && std::isdigit(file[at]) && at - start < 6) {
            value = value * 10 + (file[at++] - '0');
        }
        return at > start ? std::optional(value) : std::nullopt;
    };
    if (file.size() < 2 || file[0] != 'P' || file[1] != '6') {
        return std::nullopt;
    }
    at = 2;
    const auto width = number();
    const auto height = number();
    const auto max_value = number();
    if (!width || !height || max_value != 255 || at >= file.size() || !std::isspace(file[at])) {
        return std::nullopt;
    }
    ++at;
    Decoded decoded{*width, *height,
                    Bytes(file.begin() + static_cast<std::ptrdiff_t>(at), file.end())};
    if (decoded.pixels.size() !=
        static_cast<std::size_t>(*width) * static_cast<std::size_t>(*height) * 3) {
        return std::nullopt;
    }
    return decoded;
}

constexpr const char *kPillowDecode = R"(import sys
from PIL import Image
with Image.open(sys.argv[1]) as im:
    if im.format != sys.argv[2]:
        sys.exit("opened as " + str(im.format))
    rgb = im.convert("RGB")
    sys.stdout.buffer.write(b"P6\n%d %d\n255\n" % rgb.size + rgb.tobytes())
)";

// How a decoding treats the TGA origin bit. ImageMagick 6 keeps rows in file
// order and only records the origin, unless told to auto-orient; it also
// writes its default TGA that way (rows top-down, origin bottom-left), so
// reading back its own files needs the tool's own view.
enum class Origin {
    honoured,     // as the format defines it: what every other reader sees
    tool_default, // the tool's plain reading
};

std::string decode_command(Tool tool, Format format, const std::string &file, Origin origin) {
    switch (tool) {
    case Tool::netpbm:
        switch (format) {
        case Format::tga:
            return netpbm("tgatoppm") + " " + quote(file);
        case Format::png:
            // ppmtoppm: a grey or two-colour PNG comes out as PGM or PBM.
            return netpbm("pngtopnm") + " " + quote(file) + " | " + netpbm("ppmtoppm");
        default:
            return netpbm("pamdepth") + " 255 <" + quote(file);
        }
    case Tool::imagemagick: {
        const char *coder = format == Format::tga   ? "tga:"
                            : format == Format::png ? "png:"
                                                    : "ppm:";
        return kConvert + " " + quote(coder + file) +
               (origin == Origin::honoured ? " -auto-orient" : "") + " -alpha off -depth 8 ppm:-";
    }
    case Tool::pillow:
        return kPython + " -c " + quote(kPillowDecode) + " " + quote(file) + " " +
               (format == Format::tga   ? "TGA"
                : format == Format::png ? "PNG"
                                        : "PPM");
    case Tool::pngcheck:
        // Checks every chunk, CRC and the zlib stream; prints no pixels.
        return quote(PIXPEN_INTEROP_PNGCHECK) + " -q " + quote(file);
    case Tool::libspng:
        return quote(PIXPEN_INTEROP_SPNG_DECODE) + " " + quote(file);
    }
    return "false";
}

// Hex of the first bytes of a file, for failure messages about headers.
std::string head_hex(const std::string &path, std::size_t count = 18) {
    const Bytes bytes = test::read_file(path);
    std::ostringstream text;
    text << "first bytes of " << path << ":";
    for (std::size_t i = 0; i < std::min(count, bytes.size()); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", bytes[i]);
        text << hex;
    }
    return text.str();
}

// Decodes `file` with `tool` into `decoded`.
::testing::AssertionResult decode(Tool tool, Format format, const std::string &file,
                                  const test::TempDir &dir, Decoded &decoded,
                                  Origin origin = Origin::honoured) {
    const std::string out = dir.file("decoded.ppm");
    const Outcome outcome = run(dir, decode_command(tool, format, file, origin), out);
    if (!outcome.ok) {
        return ::testing::AssertionFailure() << tool_name(tool) << " could not decode\n"
                                             << outcome.diagnostics << "\n"
                                             << head_hex(file);
    }
    auto parsed = parse_p6(test::read_file(out));
    if (!parsed) {
        return ::testing::AssertionFailure() << tool_name(tool) << " printed no 8-bit P6\n"
                                             << outcome.diagnostics << "\n"
                                             << head_hex(out, 40);
    }
    decoded = std::move(*parsed);
    return ::testing::AssertionSuccess();
}

// Same size and pixels, naming the first differing sample.
::testing::AssertionResult same_picture(const Decoded &got, const Decoded &expected) {
    if (got.width != expected.width || got.height != expected.height) {
        return ::testing::AssertionFailure() << got.width << " x " << got.height << ", expected "
                                             << expected.width << " x " << expected.height;
    }
    for (std::size_t i = 0; i < expected.pixels.size(); ++i) {
        if (got.pixels[i] != expected.pixels[i]) {
            const std::size_t pixel = i / 3;
            const auto width = static_cast<std::size_t>(expected.width);
            return ::testing::AssertionFailure()
                   << "pixel (" << pixel % width << ", " << pixel / width << ") channel " << i % 3
                   << " is " << int{got.pixels[i]} << ", expected " << int{expected.pixels[i]};
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult decodes_to(Tool tool, Format format, const std::string &file,
                                      const Decoded &expected, const test::TempDir &dir,
                                      Origin origin = Origin::honoured) {
    Decoded decoded;
    if (auto result = decode(tool, format, file, dir, decoded, origin); !result) {
        return result;
    }
    if (auto result = same_picture(decoded, expected); !result) {
        return result << " (decoded by " << tool_name(tool) << ")\n" << head_hex(file);
    }
    return ::testing::AssertionSuccess();
}

Decoded picture_of(Image image) {
    return {image->width, image->height, test::pixel_bytes(image)};
}

// ---- pixpen writes, the tools read -------------------------------------------

struct WriteCase {
    Tool tool;
    Format format;
    Size size;
};

// Failure reports show this instead of raw parameter bytes.
void PrintTo(const WriteCase &c, std::ostream *out) {
    *out << tool_name(c.tool) << " reads " << format_name(c.format) << ", " << c.size.width << " x "
         << c.size.height;
}

class PixpenWritesToolReads : public ::testing::TestWithParam<WriteCase> {};

TEST_P(PixpenWritesToolReads, SamePixels) {
    const WriteCase c = GetParam();
    SKIP_UNLESS_INSTALLED(c.tool);
    const test::TempDir dir;
    const auto image = test::random_image(c.size.width, c.size.height, seed_for(c.size));
    const std::string file = dir.file(c.format == Format::tga ? "pixpen.tga" : "pixpen.ppm");
    ASSERT_TRUE(c.format == Format::tga
                    ? write_tga(file.c_str(), image.get())
                    : write_ppm(file.c_str(), image.get(), c.format == Format::p3));
    EXPECT_TRUE(decodes_to(c.tool, c.format, file, picture_of(image.get()), dir));
}

std::vector<WriteCase> write_cases() {
    std::vector<WriteCase> cases;
    for (const Tool tool : {Tool::netpbm, Tool::imagemagick, Tool::pillow}) {
        for (const Format format : {Format::p3, Format::p6, Format::tga}) {
            for (const Size size : kSizes) {
                cases.push_back({tool, format, size});
            }
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Interop, PixpenWritesToolReads, ::testing::ValuesIn(write_cases()),
                         [](const ::testing::TestParamInfo<WriteCase> &info) {
                             const WriteCase &c = info.param;
                             return std::string(tool_name(c.tool)) + "Reads" +
                                    format_name(c.format) + "_" + std::to_string(c.size.width) +
                                    "x" + std::to_string(c.size.height);
                         });

// ---- the tools write, pixpen reads or refuses ----------------------------------

struct Files {
    std::string ppm; // reference P6, max value 255
    std::string pam; // the same pixels as RGB_ALPHA PAM, alpha 255
    std::string out;
};

// What pixpen must make of a tool's file.
enum class Expect {
    reference,     // the reference pixels
    tool_decoding, // what the tool itself decodes (the tool quantised the pixels)
    refusal,       // nothing, with the row's message
};

struct ToolWriteCase {
    Tool tool;
    const char *variant;
    Format format;
    Expect expect;
    const char *refusal;
    std::string (*command)(const Files &);
};

constexpr const char *kBottomLeft = "Unsupported image format, TGA image descriptor must be 0x20";
constexpr const char *kCompressed = "Unsupported image type, only uncompressed RGB is supported";
constexpr const char *kNot24Bit = "Unsupported image type, bit depth must be 24";

constexpr const char *kPillowEncode = R"(import sys
from PIL import Image
options = dict(a.split("=", 1) for a in sys.argv[3:])
mode = options.pop("mode", "RGB")
if "orientation" in options:
    options["orientation"] = int(options["orientation"])
with Image.open(sys.argv[1]) as im:
    im.convert(mode).save(sys.argv[2], **options)
)";

std::string pillow_save(const Files &f, const char *options) {
    return kPython + " -c " + quote(kPillowEncode) + " " + quote(f.ppm) + " " + quote(f.out) + " " +
           options;
}

std::string magick(const Files &f, const char *options, const char *out_format) {
    return kConvert + " " + quote("ppm:" + f.ppm) + " " + options + " " +
           quote(std::string(out_format) + ":" + f.out);
}

// Where a tool cannot write a variant at all (netpbm only writes bottom-left
// TGA, Pillow writes no plain PPM), it has no row for it.
const ToolWriteCase kToolWrites[] = {
    {Tool::netpbm, "PlainP3", Format::p3, Expect::reference, nullptr,
     [](const Files &f) { return netpbm("pnmtoplainpnm") + " " + quote(f.ppm); }},
    // 1020 = 4 x 255: every sample is scaled exactly, so the reference comes back.
    {Tool::netpbm, "PlainP3MaxValue1020", Format::p3, Expect::reference, nullptr,
     [](const Files &f) {
         return netpbm("pamdepth") + " 1020 " + quote(f.ppm) + " | " + netpbm("pnmtoplainpnm");
     }},
    // 4-bit samples: pixpen must scale them up exactly as netpbm does.
    {Tool::netpbm, "PlainP3MaxValue15", Format::p3, Expect::tool_decoding, nullptr,
     [](const Files &f) {
         return netpbm("pamdepth") + " 15 " + quote(f.ppm) + " | " + netpbm("pnmtoplainpnm");
     }},
    {Tool::netpbm, "P6FromPlain", Format::p6, Expect::reference, nullptr,
     [](const Files &f) {
         return netpbm("pnmtoplainpnm") + " " + quote(f.ppm) + " | " + netpbm("ppmtoppm");
     }},
    {Tool::netpbm, "TgaBottomLeft", Format::tga, Expect::refusal, kBottomLeft,
     [](const Files &f) { return netpbm("ppmtotga") + " -rgb -norle <" + quote(f.ppm); }},
    {Tool::netpbm, "TgaRunLength", Format::tga, Expect::refusal, kCompressed,
     [](const Files &f) { return netpbm("ppmtotga") + " -rgb <" + quote(f.ppm); }},
    {Tool::netpbm, "Tga32Bit", Format::tga, Expect::refusal, kNot24Bit,
     [](const Files &f) { return netpbm("pamtotga") + " -rgb -norle <" + quote(f.pam); }},
    // Given a file name, ppmtotga stores it in the id field.
    {Tool::netpbm, "TgaWithIdField", Format::tga, Expect::refusal, "TGA id field not supported",
     [](const Files &f) { return netpbm("ppmtotga") + " -rgb -norle " + quote(f.ppm); }},

    {Tool::imagemagick, "PlainP3", Format::p3, Expect::reference, nullptr,
     [](const Files &f) { return magick(f, "-compress none", "ppm"); }},
    {Tool::imagemagick, "PlainP3Depth16", Format::p3, Expect::reference, nullptr,
     [](const Files &f) { return magick(f, "-depth 16 -compress none", "ppm"); }},
    {Tool::imagemagick, "P6", Format::p6, Expect::reference, nullptr,
     [](const Files &f) { return magick(f, "", "ppm"); }},
    {Tool::imagemagick, "P6Depth16", Format::p6, Expect::refusal,
     "Unsupported max value, P6 must be at most 255",
     [](const Files &f) { return magick(f, "-depth 16", "ppm"); }},
    {Tool::imagemagick, "TgaTopLeft", Format::tga, Expect::reference, nullptr,
     [](const Files &f) {
         return magick(f, "-type TrueColor -orient TopLeft -compress None", "tga");
     }},
    {Tool::imagemagick, "TgaBottomLeft", Format::tga, Expect::refusal, kBottomLeft,
     [](const Files &f) { return magick(f, "-type TrueColor -compress None", "tga"); }},
    {Tool::imagemagick, "TgaRunLength", Format::tga, Expect::refusal, kCompressed,
     [](const Files &f) {
         return magick(f, "-type TrueColor -orient TopLeft -compress RLE", "tga");
     }},
    {Tool::imagemagick, "Tga32Bit", Format::tga, Expect::refusal, kNot24Bit,
     [](const Files &f) {
         return magick(f, "-alpha on -type TrueColorAlpha -orient TopLeft -compress None", "tga");
     }},

    {Tool::pillow, "P6", Format::p6, Expect::reference, nullptr,
     [](const Files &f) { return pillow_save(f, "format=PPM"); }},
    {Tool::pillow, "TgaTopLeft", Format::tga, Expect::reference, nullptr,
     [](const Files &f) { return pillow_save(f, "format=TGA orientation=1"); }},
    {Tool::pillow, "TgaBottomLeft", Format::tga, Expect::refusal, kBottomLeft,
     [](const Files &f) { return pillow_save(f, "format=TGA orientation=-1"); }},
    {Tool::pillow, "TgaRunLength", Format::tga, Expect::refusal, kCompressed,
     [](const Files &f) { return pillow_save(f, "format=TGA orientation=1 compression=tga_rle"); }},
    {Tool::pillow, "Tga32Bit", Format::tga, Expect::refusal, kNot24Bit,
     [](const Files &f) { return pillow_save(f, "format=TGA orientation=1 mode=RGBA"); }},
};

struct ReadCase {
    const ToolWriteCase *row;
    Size size;
};

void PrintTo(const ReadCase &c, std::ostream *out) {
    *out << tool_name(c.row->tool) << " writes " << c.row->variant << ", " << c.size.width << " x "
         << c.size.height;
}

class ToolWritesPixpenReads : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ToolWritesPixpenReads, SamePixelsOrExactRefusal) {
    const ToolWriteCase &row = *GetParam().row;
    const Size size = GetParam().size;
    SKIP_UNLESS_INSTALLED(row.tool);
    const test::TempDir dir;

    // The reference pixels go to disk without pixpen's writers.
    const auto image = test::random_image(size.width, size.height, seed_for(size));
    const Decoded reference = picture_of(image.get());
    const Bytes &pixels = reference.pixels;
    const std::string dims = std::to_string(size.width) + " " + std::to_string(size.height);
    Bytes ppm = test::bytes_of("P6\n" + dims + "\n255\n");
    ppm.insert(ppm.end(), pixels.begin(), pixels.end());
    Bytes pam = test::bytes_of("P7\nWIDTH " + std::to_string(size.width) + "\nHEIGHT " +
                               std::to_string(size.height) +
                               "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n");
    for (std::size_t i = 0; i < pixels.size(); i += 3) {
        pam.insert(pam.end(), pixels.begin() + static_cast<std::ptrdiff_t>(i),
                   pixels.begin() + static_cast<std::ptrdiff_t>(i + 3));
        pam.push_back(255);
    }
    const Files files{dir.file("reference.ppm"), dir.file("reference.pam"),
                      dir.file(row.format == Format::tga ? "tool.tga" : "tool.ppm")};
    test::write_file(files.ppm, ppm);
    test::write_file(files.pam, pam);

    const Outcome written = run(dir, row.command(files), files.out);
    ASSERT_TRUE(written.ok) << written.diagnostics;
    SCOPED_TRACE(head_hex(files.out, row.format == Format::tga ? 18 : 24));

    // A stale message from an earlier test must not pass for this refusal.
    ASSERT_EQ(read_ppm(dir.file("absent").c_str()), nullptr);
    const test::ImagePtr read(row.format == Format::tga ? read_tga(files.out.c_str())
                                                        : read_ppm(files.out.c_str()));
    switch (row.expect) {
    case Expect::reference:
    case Expect::tool_decoding: {
        ASSERT_NE(read, nullptr) << get_last_error();
        Decoded expected = reference;
        if (row.expect == Expect::tool_decoding) {
            ASSERT_TRUE(decode(row.tool, row.format, files.out, dir, expected));
        }
        EXPECT_TRUE(same_picture(picture_of(read.get()), expected));
        break;
    }
    case Expect::refusal:
        EXPECT_EQ(read, nullptr);
        EXPECT_STREQ(get_last_error(), row.refusal);
        // The refused file is a sound picture of the reference in the tool's eyes.
        EXPECT_TRUE(
            decodes_to(row.tool, row.format, files.out, reference, dir, Origin::tool_default));
        break;
    }
}

std::vector<ReadCase> read_cases() {
    std::vector<ReadCase> cases;
    for (const ToolWriteCase &row : kToolWrites) {
        for (const Size size : kSizes) {
            cases.push_back({&row, size});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Interop, ToolWritesPixpenReads, ::testing::ValuesIn(read_cases()),
                         [](const ::testing::TestParamInfo<ReadCase> &info) {
                             const ReadCase &c = info.param;
                             return std::string(tool_name(c.row->tool)) + "Writes" +
                                    c.row->variant + "_" + std::to_string(c.size.width) + "x" +
                                    std::to_string(c.size.height);
                         });

// ---- PNG: pixpen writes, every decoder reads ------------------------------------

// What the picture holds decides the encoder's path: random colours from a
// small set are indexed but do not compress (stored blocks from the palette
// rows), drawn lines are indexed and compressed, noise is truecolour and
// stored, a gradient is truecolour and compressed.
enum class Content { colours, lines, noise, gradient };

struct PngPicture {
    Content content;
    int colours; // for Content::colours: this many distinct colours, each used
    Size size;
};

std::string picture_name(const PngPicture &p) {
    std::string name;
    switch (p.content) {
    case Content::colours:
        name = std::to_string(p.colours) + (p.colours == 1 ? "Colour" : "Colours");
        break;
    case Content::lines:
        name = "Lines";
        break;
    case Content::noise:
        name = "Noise";
        break;
    case Content::gradient:
        name = "Gradient";
        break;
    }
    return name + "_" + std::to_string(p.size.width) + "x" + std::to_string(p.size.height);
}

// Every bit depth of the palette (1, 2, 4, 8 for 2, 3-4, 5-16, 17-256
// colours) and truecolour from 257 on, at widths whose packed rows end in a
// partial byte, one-row and one-column images, and images large enough for
// several deflate blocks.
const PngPicture kPngPictures[] = {
    {Content::colours, 1, {1, 1}},     {Content::noise, 0, {1, 1}},
    {Content::colours, 2, {300, 1}},   {Content::colours, 2, {1, 300}},
    {Content::colours, 2, {61, 37}},   {Content::colours, 3, {300, 1}},
    {Content::colours, 4, {61, 37}},   {Content::colours, 5, {61, 37}},
    {Content::colours, 16, {61, 37}},  {Content::colours, 17, {61, 37}},
    {Content::colours, 256, {61, 37}}, {Content::colours, 256, {1, 300}},
    {Content::colours, 257, {61, 37}}, {Content::colours, 257, {300, 1}},
    {Content::noise, 0, {300, 1}},     {Content::noise, 0, {1, 300}},
    {Content::noise, 0, {3, 7}},       {Content::noise, 0, {301, 293}},
    {Content::lines, 0, {509, 311}},   {Content::gradient, 0, {97, 61}},
};

test::ImagePtr png_picture(const PngPicture &p) {
    const auto seed = seed_for(p.size) + static_cast<std::uint32_t>(p.colours);
    const int width = p.size.width;
    const int height = p.size.height;
    switch (p.content) {
    case Content::noise:
        return test::random_image(width, height, seed);
    case Content::colours: {
        std::mt19937 rng(seed);
        std::vector<Color> palette;
        while (palette.size() < static_cast<std::size_t>(p.colours)) {
            const Color c{static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
                          static_cast<std::uint8_t>(rng())};
            if (std::none_of(palette.begin(), palette.end(),
                             [&](Color o) { return test::same_color(o, c); })) {
                palette.push_back(c);
            }
        }
        auto image = test::make_image(width, height);
        const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        for (std::size_t i = 0; i < count; ++i) {
            // Each colour once, in order, then at random.
            image->pixels[i] = palette[i < palette.size() ? i : rng() % palette.size()];
        }
        return image;
    }
    case Content::lines: {
        std::mt19937 rng(seed);
        auto image = test::make_image(width, height);
        do_clear(image.get(), Color{250, 248, 240});
        const Color ink[] = {{20, 20, 20}, {200, 30, 40}, {30, 90, 200}, {20, 150, 60}};
        for (int i = 0; i < 200; ++i) {
            do_line(image.get(), static_cast<int>(rng() % static_cast<unsigned>(width)),
                    static_cast<int>(rng() % static_cast<unsigned>(height)),
                    static_cast<int>(rng() % static_cast<unsigned>(width)),
                    static_cast<int>(rng() % static_cast<unsigned>(height)), ink[i % 4]);
        }
        return image;
    }
    case Content::gradient: {
        auto image = test::make_image(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                image->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                              static_cast<std::size_t>(x)] =
                    Color{static_cast<std::uint8_t>(x * 255 / width),
                          static_cast<std::uint8_t>(y * 255 / height),
                          static_cast<std::uint8_t>((x + y) * 255 / (width + height))};
            }
        }
        return image;
    }
    }
    return test::ImagePtr();
}

struct PngCase {
    Tool tool;
    PngPicture picture;
};

void PrintTo(const PngCase &c, std::ostream *out) {
    *out << tool_name(c.tool) << " reads PNG " << picture_name(c.picture);
}

class PixpenWritesPngToolReads : public ::testing::TestWithParam<PngCase> {};

TEST_P(PixpenWritesPngToolReads, SamePixels) {
    const PngCase c = GetParam();
    if (std::string_view(PIXPEN_TEST_PNG_COMPRESSOR).empty()) {
        // Only a target without libdeflate or zlib (a cross build) lacks it;
        // the unit tests check what encoding reports then.
        GTEST_SKIP() << "PNG output not built: no libdeflate or zlib for this target";
    }
    SKIP_UNLESS_INSTALLED(c.tool);
    const test::TempDir dir;
    const auto image = png_picture(c.picture);
    ASSERT_NE(image, nullptr);
    const std::string file = dir.file("pixpen.png");
    PixpenError error{};
    ASSERT_TRUE(write_image(file.c_str(), image.get(), IMAGE_FORMAT_PNG, &error)) << error.message;
    if (c.tool == Tool::pngcheck) {
        const Outcome checked =
            run(dir, decode_command(c.tool, Format::png, file, Origin::honoured),
                dir.file("pngcheck.txt"));
        const Bytes said = test::read_file(dir.file("pngcheck.txt"));
        EXPECT_TRUE(checked.ok) << checked.diagnostics
                                << "\nstdout: " << std::string(said.begin(), said.end()) << "\n"
                                << head_hex(file, 40);
        return;
    }
    EXPECT_TRUE(decodes_to(c.tool, Format::png, file, picture_of(image.get()), dir));
}

std::vector<PngCase> png_cases() {
    std::vector<PngCase> cases;
    for (const Tool tool :
         {Tool::pngcheck, Tool::netpbm, Tool::imagemagick, Tool::pillow, Tool::libspng}) {
        for (const PngPicture &picture : kPngPictures) {
            cases.push_back({tool, picture});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Interop, PixpenWritesPngToolReads, ::testing::ValuesIn(png_cases()),
                         [](const ::testing::TestParamInfo<PngCase> &info) {
                             return std::string(tool_name(info.param.tool)) + "ReadsPng" +
                                    picture_name(info.param.picture);
                         });

} // namespace
