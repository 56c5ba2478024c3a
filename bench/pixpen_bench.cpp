// Every exported operation against a baseline that does the least work
// possible on the same bytes, measured in the same run and in alternation
// (operation, baseline, baseline, operation, ...), so that drift on a noisy
// machine hits both. The figure that matters is the ratio of the medians.
//
//   pixpen_bench [--quick] [--rounds=N] [--table=FILE] [google benchmark flags]
//
// --quick takes fewer rounds; --table writes the summary as a Markdown table.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "pixpen.h"
#include "pixpen.hpp"
#include "png_scenes.hpp"
#include "raster/line_walk.hpp"

#if defined(PIXPEN_BENCH_SPNG)
#include <spng.h>
#endif
#if defined(PIXPEN_BENCH_STB)
#include <stb_image.h>
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int g_rounds_small = 41; // per benchmark at 1024 x 1024
int g_rounds_large = 15; // per benchmark at 4096 x 4096
fs::path g_dir;

struct Result {
    std::string operation;
    std::string size;
    std::string baseline;
    double op_ms = 0;
    double base_ms = 0;
    double goal = 0; // 0: reported only
};
std::vector<Result> g_results;

// ---- memory and data ---------------------------------------------------------

struct PageDeleter {
    std::size_t size;
    void operator()(void *p) const {
        if (p != nullptr) {
            munmap(p, size);
        }
    }
};
using PageBuffer = std::unique_ptr<std::uint8_t, PageDeleter>;

// Fresh, page-aligned, untouched memory straight from the kernel.
std::uint8_t *map_fresh(std::size_t size) {
    void *p = mmap(nullptr, size == 0 ? 1 : size, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        std::perror("mmap");
        std::exit(1);
    }
    return static_cast<std::uint8_t *>(p);
}

// Fresh memory advised onto huge pages, as the library's large encode buffers
// are, so that a baseline for encoding into memory takes the same faults.
std::uint8_t *map_fresh_huge(std::size_t size) {
    std::uint8_t *p = map_fresh(size);
    madvise(p, size == 0 ? 1 : size, MADV_HUGEPAGE);
    return p;
}

// Page-aligned memory holding `bytes`, already faulted in.
PageBuffer aligned_copy(const std::uint8_t *bytes, std::size_t size) {
    PageBuffer buffer(map_fresh(size), PageDeleter{size == 0 ? 1 : size});
    std::memcpy(buffer.get(), bytes, size);
    return buffer;
}

std::uint64_t splitmix(std::uint64_t &state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

void fill_random(std::uint8_t *bytes, std::size_t size, std::uint64_t seed) {
    std::uint64_t state = seed;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint64_t v = splitmix(state);
        std::memcpy(bytes + i, &v, 8);
    }
    for (; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(splitmix(state));
    }
}

using pixpen::Picture;

std::size_t byte_size(Image image) {
    return static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 3;
}

Picture random_image(int side, std::uint64_t seed) {
    Picture image(create_image(side, side));
    fill_random(reinterpret_cast<std::uint8_t *>(image->pixels), byte_size(image.get()), seed);
    return image;
}

std::vector<std::uint8_t> read_whole(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
}

// ---- baselines -----------------------------------------------------------------

// Open a new file, one fwrite of the bytes, close.
bool baseline_fwrite(const char *path, const std::uint8_t *bytes, std::size_t size) {
    std::FILE *f = std::fopen(path, "wb");
    if (f == nullptr) {
        return false;
    }
    const bool ok = std::fwrite(bytes, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// Fresh page-aligned memory and one fread of the whole file into it.
std::uint8_t *baseline_fread(const char *path, std::size_t size) {
    std::uint8_t *memory = map_fresh(size);
    std::FILE *f = std::fopen(path, "rb");
    if (f == nullptr) {
        return nullptr;
    }
    const std::size_t got = std::fread(memory, 1, size, f);
    std::fclose(f);
    return got == size ? memory : nullptr;
}

// ---- the alternating timer ---------------------------------------------------

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

struct Timed {
    std::function<void()> prepare; // untimed, before each run
    std::function<void()> run;     // timed
    std::function<void()> finish;  // untimed, after each run
};

double time_once(const Timed &t) {
    if (t.prepare) {
        t.prepare();
    }
    const auto start = Clock::now();
    t.run();
    const auto stop = Clock::now();
    if (t.finish) {
        t.finish();
    }
    return std::chrono::duration<double>(stop - start).count();
}

void alternate(benchmark::State &state, Result result, const Timed &op, const Timed &base) {
    std::vector<double> op_times;
    std::vector<double> base_times;
    bool op_first = true;
    time_once(op); // warm-up of both, untimed
    time_once(base);
    for (auto _ : state) {
        double t_op = 0;
        double t_base = 0;
        if (op_first) {
            t_op = time_once(op);
            t_base = time_once(base);
        } else {
            t_base = time_once(base);
            t_op = time_once(op);
        }
        op_first = !op_first;
        op_times.push_back(t_op);
        base_times.push_back(t_base);
        state.SetIterationTime(t_op);
    }
    result.op_ms = median(op_times) * 1e3;
    result.base_ms = median(base_times) * 1e3;
    state.counters["op_ms"] = result.op_ms;
    state.counters["base_ms"] = result.base_ms;
    state.counters["ratio"] = result.base_ms > 0 ? result.op_ms / result.base_ms : 0;
    g_results.push_back(result);
}

[[noreturn]] void die(const std::string &what) {
    std::cerr << "pixpen_bench: " << what << " failed\n";
    std::exit(1);
}

std::string side_name(int side) {
    return std::to_string(side) + "x" + std::to_string(side);
}

double goal_at(int side, double goal) {
    return side == 4096 ? goal : 0;
}

// ---- memory-only operations -------------------------------------------------------

// Out of line, so the compiler cannot elide the allocation.
__attribute__((noinline)) void calloc_free(std::size_t size) {
    void *p = std::calloc(size, 1);
    benchmark::DoNotOptimize(p);
    std::free(p);
}

void bench_create_destroy(benchmark::State &state, int side) {
    const std::size_t size = static_cast<std::size_t>(side) * side * 3;
    alternate(state, {"create_image+destroy_image", side_name(side), "calloc+free", 0, 0, 0},
              {nullptr, [&] { destroy_image(create_image(side, side)); }, nullptr},
              {nullptr, [&] { calloc_free(size); }, nullptr});
}

void bench_whole(benchmark::State &state, int side, const char *name) {
    Picture image = random_image(side, 1);
    const std::size_t size = byte_size(image.get());
    PageBuffer src = aligned_copy(reinterpret_cast<std::uint8_t *>(image->pixels), size);
    PageBuffer dst = aligned_copy(reinterpret_cast<std::uint8_t *>(image->pixels), size);
    const std::string op = name;
    Timed timed_op{nullptr, nullptr, nullptr};
    Timed timed_base{nullptr, nullptr, nullptr};
    std::string base_name;
    double goal = 0;
    if (op == "do_clear") {
        timed_op.run = [&] { do_clear(image.get(), Color{12, 34, 56}); };
        timed_base.run = [&] {
            std::memset(dst.get(), 0x5A, size);
            benchmark::ClobberMemory();
        };
        base_name = "memset";
        goal = 1.2;
    } else {
        if (op == "do_invert") {
            timed_op.run = [&] { do_invert(image.get()); };
        } else {
            timed_op.run = [&] { do_reverse_rgb(image.get()); };
        }
        timed_base.run = [&] {
            std::memcpy(dst.get(), src.get(), size);
            benchmark::ClobberMemory();
        };
        base_name = "memcpy";
        goal = 1.0;
    }
    alternate(state, {op, side_name(side), base_name, 0, 0, goal_at(side, goal)}, timed_op,
              timed_base);
}

// ---- files ---------------------------------------------------------------------------

enum class Format { p6, p3, tga };

bool write_format(Format format, const char *path, Image image) {
    switch (format) {
    case Format::p6:
        return write_ppm(path, image, false);
    case Format::p3:
        return write_ppm(path, image, true);
    case Format::tga:
        return write_tga(path, image);
    }
    return false;
}

const char *format_name(Format format) {
    switch (format) {
    case Format::p6:
        return "ppm_p6";
    case Format::p3:
        return "ppm_p3";
    case Format::tga:
        return "tga";
    }
    return "";
}

void bench_write(benchmark::State &state, int side, Format format) {
    Picture image = random_image(side, 2);
    const fs::path op_path = g_dir / (std::string("write_") + format_name(format) + ".out");
    const fs::path base_path = g_dir / "write_baseline.out";
    // The baseline writes what the writer produces: the pixel bytes for P6 and
    // TGA (same count as the array), the whole text for P3.
    if (!write_format(format, op_path.c_str(), image.get())) {
        die("first write");
    }
    const std::vector<std::uint8_t> file = read_whole(op_path);
    PageBuffer base_bytes(nullptr, PageDeleter{1});
    std::size_t base_size = 0;
    std::string base_name;
    double goal = 0;
    if (format == Format::p3) {
        base_bytes = aligned_copy(file.data(), file.size());
        base_size = file.size();
        base_name = "fwrite of the text";
        goal = 2.5;
    } else {
        base_size = byte_size(image.get());
        base_bytes = aligned_copy(file.data() + (file.size() - base_size), base_size);
        base_name = "fwrite of the pixels";
        goal = format == Format::p6 ? 1.2 : 1.3;
    }
    bool ok = true;
    alternate(state,
              {std::string("write_") + format_name(format), side_name(side), base_name, 0, 0,
               goal_at(side, goal)},
              {[&] { unlink(op_path.c_str()); },
               [&] { ok = write_format(format, op_path.c_str(), image.get()) && ok; }, nullptr},
              {[&] { unlink(base_path.c_str()); },
               [&] { ok = baseline_fwrite(base_path.c_str(), base_bytes.get(), base_size) && ok; },
               nullptr});
    if (!ok || read_whole(op_path) != file) {
        die(std::string("write_") + format_name(format));
    }
    unlink(op_path.c_str());
    unlink(base_path.c_str());
}

void bench_read(benchmark::State &state, int side, Format format) {
    Picture image = random_image(side, 3);
    const fs::path path = g_dir / (std::string("read_") + format_name(format) + ".in");
    if (!write_format(format, path.c_str(), image.get())) {
        die("writing the input");
    }
    const std::size_t file_size = fs::file_size(path);
    Image got = nullptr;
    std::uint8_t *base_memory = nullptr;
    bool ok = true;
    const double goal = format == Format::p6 ? 1.1 : format == Format::tga ? 1.2 : 4.0;
    alternate(
        state,
        {std::string("read_") + format_name(format), side_name(side), "fread of the file", 0, 0,
         goal_at(side, goal)},
        {nullptr,
         [&] { got = format == Format::tga ? read_tga(path.c_str()) : read_ppm(path.c_str()); },
         [&] {
             ok = ok && got != nullptr &&
                  std::memcmp(got->pixels, image->pixels, byte_size(image.get())) == 0;
             destroy_image(got);
         }},
        {nullptr, [&] { base_memory = baseline_fread(path.c_str(), file_size); },
         [&] {
             ok = ok && base_memory != nullptr;
             munmap(base_memory, file_size);
         }});
    if (!ok) {
        die(std::string("read_") + format_name(format));
    }
    unlink(path.c_str());
}

// ---- lines and the turtle ------------------------------------------------------------

struct Line {
    int x0, y0, x1, y1;
};

// The plain error-term walk with a direct store, for lines known to be inside.
__attribute__((noinline)) void inline_walk(Color *pixels, int width, const Line &l, Color c) {
    int x0 = l.x0, y0 = l.y0;
    const int dx = std::abs(l.x1 - x0), dy = std::abs(l.y1 - y0);
    const int sx = x0 < l.x1 ? 1 : -1, sy = y0 < l.y1 ? 1 : -1;
    int err = dx - dy;
    for (;;) {
        pixels[static_cast<std::ptrdiff_t>(y0) * width + x0] = c;
        if (x0 == l.x1 && y0 == l.y1) {
            break;
        }
        const int e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x0 += sx;
        }
        if (e2 < dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// 512 long lines: the ends lie in opposite halves of the image on the major axis.
std::vector<Line> long_lines(int side) {
    std::uint64_t seed = 4;
    std::vector<Line> lines;
    while (lines.size() < 512) {
        auto pick = [&] { return static_cast<int>(splitmix(seed) % static_cast<unsigned>(side)); };
        Line l{pick(), pick(), pick(), pick()};
        if (std::max(std::abs(l.x1 - l.x0), std::abs(l.y1 - l.y0)) >= side / 2) {
            lines.push_back(l);
        }
    }
    return lines;
}

void bench_long_lines(benchmark::State &state, int side) {
    Picture image(create_image(side, side));
    const std::vector<Line> lines = long_lines(side);
    Picture copy(create_image(side, side));
    const Color c{200, 100, 50};
    alternate(state,
              {"do_line (long, inside)", side_name(side), "inline walk", 0, 0, goal_at(side, 1.15)},
              {nullptr,
               [&] {
                   for (const Line &l : lines) {
                       do_line(image.get(), l.x0, l.y0, l.x1, l.y1, c);
                   }
               },
               nullptr},
              {nullptr,
               [&] {
                   for (const Line &l : lines) {
                       inline_walk(copy->pixels, side, l, c);
                   }
               },
               nullptr});
    if (std::memcmp(image->pixels, copy->pixels, byte_size(image.get())) != 0) {
        die("do_line against the inline walk");
    }
}

void bench_far_line(benchmark::State &state) {
    constexpr int kSide = 1000;
    constexpr int kRepeat = 1000;
    const Line l{-1'000'000'000, -999'999'993, 1'000'000'000, 1'000'000'000};
    Picture image(create_image(kSide, kSide));
    Picture copy(create_image(kSide, kSide));
    std::vector<std::uint32_t> visible;
    const auto segment =
        pixpen::detail::clip_line(l.x0, l.y0, l.x1, l.y1, pixpen::detail::ClipRect{0, 0, 999, 999});
    if (!segment) {
        die("the far line misses the image");
    }
    pixpen::detail::for_each_point(*segment, [&](std::int64_t x, std::int64_t y) {
        visible.push_back(static_cast<std::uint32_t>(y * kSide + x));
    });
    const Color c{1, 2, 3};
    alternate(state,
              {"do_line (far ends, " + std::to_string(visible.size()) + " visible) x1000",
               side_name(kSide), "store the visible pixels", 0, 0, 2.0},
              {nullptr,
               [&] {
                   for (int i = 0; i < kRepeat; ++i) {
                       do_line(image.get(), l.x0, l.y0, l.x1, l.y1, c);
                   }
               },
               nullptr},
              {nullptr,
               [&] {
                   Color *const pixels = copy->pixels;
                   for (int i = 0; i < kRepeat; ++i) {
                       for (const std::uint32_t at : visible) {
                           pixels[at] = c;
                       }
                       benchmark::ClobberMemory();
                   }
               },
               nullptr});
    if (std::memcmp(image->pixels, copy->pixels, byte_size(image.get())) != 0) {
        die("the far line");
    }
}

constexpr int kTurtleSteps = 1000;

// The turtle's walk in the benchmark: from the centre, turned 30 degrees left,
// forward a quarter of the side and back, kTurtleSteps / 2 times.
void walk_turtle(Image image) {
    const int d = image->width / 4;
    for (int i = 0; i < kTurtleSteps / 2; ++i) {
        turtle_forward(image, d);
        turtle_forward(image, -d);
    }
}

// The one segment that walk_turtle goes over and back, from `image`'s turtle.
Line turtle_segment(Image image) {
    turtle_left(image, 30);
    const int x0 = image->turtle_x, y0 = image->turtle_y;
    turtle_forward(image, image->width / 4);
    const int x1 = image->turtle_x, y1 = image->turtle_y;
    turtle_forward(image, -image->width / 4);
    return Line{x0, y0, x1, y1};
}

void bench_turtle(benchmark::State &state, int side) {
    constexpr int kSteps = kTurtleSteps;
    Picture image(create_image(side, side));
    const auto [x0, y0, x1, y1] = turtle_segment(image.get());
    const Color c = image->turtle_color;
    alternate(state,
              {"turtle_forward x1000", side_name(side), "do_line of the same segments", 0, 0, 0},
              {nullptr, [&] { walk_turtle(image.get()); }, nullptr},
              {nullptr,
               [&] {
                   for (int i = 0; i < kSteps / 2; ++i) {
                       do_line(image.get(), x0, y0, x1, y1, c);
                       do_line(image.get(), x1, y1, x0, y0, c);
                   }
               },
               nullptr});
}

// The same lines and turtle moves through pixpen.hpp and through the C calls:
// the header must cost nothing measurable.
void bench_cpp_api(benchmark::State &state, int side) {
    constexpr int kSteps = 1000;
    std::uint64_t seed = 5;
    std::vector<Line> lines(256);
    for (Line &l : lines) {
        auto pick = [&] { return static_cast<int>(splitmix(seed) % static_cast<unsigned>(side)); };
        l = Line{pick(), pick(), pick(), pick()};
    }
    pixpen::Picture picture = pixpen::Picture::create(side, side);
    Picture plain(create_image(side, side));
    const int d = side / 4;
    const Color c{200, 100, 50};
    bool ok = true;
    alternate(
        state,
        {"lines + turtle_forward x1000 via pixpen.hpp", side_name(side), "the C calls", 0, 0, 1.05},
        {nullptr,
         [&] {
             for (const Line &l : lines) {
                 picture.line(l.x0, l.y0, l.x1, l.y1, c);
             }
             pixpen::Turtle turtle = picture.turtle();
             turtle.face_north().left(30);
             for (int i = 0; i < kSteps / 2; ++i) {
                 turtle.forward(d).forward(-d);
             }
             ok = turtle.ok() && ok;
         },
         nullptr},
        {nullptr,
         [&] {
             for (const Line &l : lines) {
                 do_line(plain.get(), l.x0, l.y0, l.x1, l.y1, c);
             }
             turtle_face_north(plain.get());
             turtle_left(plain.get(), 30);
             for (int i = 0; i < kSteps / 2; ++i) {
                 ok = turtle_forward(plain.get(), d) && ok;
                 ok = turtle_forward(plain.get(), -d) && ok;
             }
         },
         nullptr});
    if (!ok || std::memcmp(picture->pixels, plain->pixels, byte_size(plain.get())) != 0) {
        die("pixpen.hpp against the C calls");
    }
}

// ---- memory buffers --------------------------------------------------------------------

// `format` of `image` as encode_image makes it.
std::vector<std::uint8_t> encode_vector(Image image, ImageFormat format) {
    std::uint8_t *data = nullptr;
    std::size_t size = 0;
    if (!encode_image(image, format, &data, &size, nullptr)) {
        die("encode_image");
    }
    std::vector<std::uint8_t> bytes(data, data + size);
    free_buffer(data);
    return bytes;
}

ImageFormat image_format(Format format) {
    return format == Format::tga  ? IMAGE_FORMAT_TGA
           : format == Format::p6 ? IMAGE_FORMAT_PPM_BINARY
                                  : IMAGE_FORMAT_PPM_ASCII;
}

Image decode_format(Format format, const std::uint8_t *bytes, std::size_t size) {
    return format == Format::tga ? decode_tga(bytes, size, nullptr)
                                 : decode_ppm(bytes, size, nullptr);
}

// Decoding P6 or TGA from a buffer against copying its pixel bytes into fresh
// memory: the least a decoder does, since its image is fresh memory too.
void bench_decode(benchmark::State &state, int side, Format format) {
    Picture image = random_image(side, 6);
    const std::vector<std::uint8_t> encoded = encode_vector(image.get(), image_format(format));
    const PageBuffer input = aligned_copy(encoded.data(), encoded.size());
    const std::size_t pixels = byte_size(image.get());
    const std::uint8_t *pixel_source = input.get() + (encoded.size() - pixels);
    Image got = nullptr;
    std::uint8_t *copy = nullptr;
    bool ok = true;
    alternate(state,
              {std::string("decode_") + format_name(format) + " (buffer)", side_name(side),
               "memcpy of the pixels", 0, 0, goal_at(side, 1.2)},
              {nullptr, [&] { got = decode_format(format, input.get(), encoded.size()); },
               [&] {
                   ok =
                       ok && got != nullptr && std::memcmp(got->pixels, image->pixels, pixels) == 0;
                   destroy_image(got);
               }},
              {nullptr,
               [&] {
                   copy = map_fresh(pixels);
                   std::memcpy(copy, pixel_source, pixels);
                   benchmark::ClobberMemory();
               },
               [&] { munmap(copy, pixels); }});
    if (!ok) {
        die(std::string("decode_") + format_name(format));
    }
}

// Encoding P6 or TGA into a buffer against copying the pixel bytes into fresh
// memory advised the way the encoder's buffer is.
void bench_encode(benchmark::State &state, int side, Format format) {
    Picture image = random_image(side, 7);
    const std::vector<std::uint8_t> expected = encode_vector(image.get(), image_format(format));
    const std::size_t pixels = byte_size(image.get());
    std::uint8_t *data = nullptr;
    std::size_t size = 0;
    std::uint8_t *copy = nullptr;
    bool ok = true;
    alternate(
        state,
        {std::string("encode_") + format_name(format) + " (buffer)", side_name(side),
         "memcpy of the pixels, huge pages", 0, 0, goal_at(side, 1.2)},
        {nullptr,
         [&] { ok = encode_image(image.get(), image_format(format), &data, &size, nullptr) && ok; },
         [&] {
             ok = ok && size == expected.size() && std::memcmp(data, expected.data(), size) == 0;
             free_buffer(data);
         }},
        {nullptr,
         [&] {
             copy = map_fresh_huge(pixels);
             std::memcpy(copy, image->pixels, pixels);
             benchmark::ClobberMemory();
         },
         [&] { munmap(copy, pixels); }});
    if (!ok) {
        die(std::string("encode_") + format_name(format));
    }
}

// P3 decoded from a buffer against the same bytes read from a file: memory
// must be no slower.
void bench_decode_p3_memory(benchmark::State &state, int side) {
    Picture image = random_image(side, 8);
    const std::vector<std::uint8_t> encoded = encode_vector(image.get(), IMAGE_FORMAT_PPM_ASCII);
    const PageBuffer input = aligned_copy(encoded.data(), encoded.size());
    const fs::path path = g_dir / "decode_p3.ppm";
    if (!baseline_fwrite(path.c_str(), encoded.data(), encoded.size())) {
        die("writing the P3 input");
    }
    const std::size_t pixels = byte_size(image.get());
    Image from_memory = nullptr;
    Image from_file = nullptr;
    bool ok = true;
    auto check = [&](Image &got) {
        ok = ok && got != nullptr && std::memcmp(got->pixels, image->pixels, pixels) == 0;
        destroy_image(got);
        got = nullptr;
    };
    alternate(state,
              {"decode_ppm_p3 (buffer)", side_name(side), "read_ppm of the same file", 0, 0,
               goal_at(side, 1.0)},
              {nullptr, [&] { from_memory = decode_ppm(input.get(), encoded.size(), nullptr); },
               [&] { check(from_memory); }},
              {nullptr, [&] { from_file = read_ppm(path.c_str()); }, [&] { check(from_file); }});
    if (!ok) {
        die("decode_ppm_p3 (buffer)");
    }
    unlink(path.c_str());
}

// P3 encoded into a buffer against written to a file: memory must be no
// slower.
void bench_encode_p3_memory(benchmark::State &state, int side) {
    Picture image = random_image(side, 9);
    const std::vector<std::uint8_t> expected = encode_vector(image.get(), IMAGE_FORMAT_PPM_ASCII);
    const fs::path path = g_dir / "encode_p3.ppm";
    std::uint8_t *data = nullptr;
    std::size_t size = 0;
    bool ok = true;
    alternate(
        state,
        {"encode_ppm_p3 (buffer)", side_name(side), "write_image to a file", 0, 0,
         goal_at(side, 1.0)},
        {nullptr,
         [&] {
             ok = encode_image(image.get(), IMAGE_FORMAT_PPM_ASCII, &data, &size, nullptr) && ok;
         },
         [&] {
             ok = ok && size == expected.size() && std::memcmp(data, expected.data(), size) == 0;
             free_buffer(data);
         }},
        {[&] { unlink(path.c_str()); },
         [&] {
             ok = write_image(path.c_str(), image.get(), IMAGE_FORMAT_PPM_ASCII, nullptr) && ok;
         },
         nullptr});
    if (!ok || read_whole(path) != expected) {
        die("encode_ppm_p3 (buffer)");
    }
    unlink(path.c_str());
}

// ---- driver --------------------------------------------------------------------------

fs::path make_bench_dir() {
    fs::path root = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (root / "pixpen-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        pattern = (fs::temp_directory_path() / "pixpen-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            die("mkdtemp");
        }
    }
    return pattern;
}

void add(const std::string &name, int rounds, std::function<void(benchmark::State &)> fn) {
    benchmark::RegisterBenchmark(name.c_str(), [fn](benchmark::State &s) { fn(s); })
        ->UseManualTime()
        ->Iterations(rounds)
        ->Unit(benchmark::kMillisecond);
}

// ---- PNG against the other encoders --------------------------------------------------

// Sizes and peak memory, reported under the timing table.
std::vector<std::string> g_png_notes;

bool write_png(const char *path, Image image, PixpenPngLevel level = PIXPEN_PNG_LEVEL_DEFAULT) {
    const PixpenEncodeOptions options{sizeof(PixpenEncodeOptions), level};
    PixpenError error{};
    return write_image_with_options(path, image, IMAGE_FORMAT_PNG, &options, &error);
}

const char *level_name(PixpenPngLevel level) {
    return level == PIXPEN_PNG_LEVEL_FASTEST    ? "fastest"
           : level == PIXPEN_PNG_LEVEL_SMALLEST ? "smallest"
                                                : "default";
}

// The smallest peer file of each picture, for the "smallest" level's goal.
std::uintmax_t g_smallest_peer[3] = {};

bool tool_exists(const char *path) {
    return access(path, X_OK) == 0;
}

std::string png_note(const std::string &what, std::uintmax_t bytes) {
    char line[256];
    std::snprintf(line, sizeof line, "| %s | %.3f MB |", what.c_str(),
                  static_cast<double>(bytes) / 1e6);
    return line;
}

// Pillow saving from inside its own interpreter, driven through two pipes.
class PillowServer {
  public:
    PillowServer() {
        int to_child[2];
        int from_child[2];
        if (!tool_exists("/usr/bin/python3") || pipe(to_child) != 0 || pipe(from_child) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(to_child[0], 0);
            dup2(from_child[1], 1);
            close(to_child[1]);
            close(from_child[0]);
            execl("/usr/bin/python3", "python3", "-I", PIXPEN_BENCH_DIR "/pillow_png_server.py",
                  static_cast<char *>(nullptr));
            _exit(127);
        }
        close(to_child[0]);
        close(from_child[1]);
        to_ = fdopen(to_child[1], "w");
        from_ = fdopen(from_child[0], "r");
    }
    PillowServer(const PillowServer &) = delete;
    PillowServer &operator=(const PillowServer &) = delete;
    ~PillowServer() {
        if (to_ != nullptr) {
            std::fclose(to_);
        }
        if (from_ != nullptr) {
            std::fclose(from_);
        }
        if (pid_ > 0) {
            waitpid(pid_, nullptr, 0);
        }
    }
    // The file's size, or 0 when Pillow is not there or failed.
    std::uintmax_t save(const fs::path &ppm, const char *level, const fs::path &out) {
        return request(ppm.string() + " " + level + " " + out.string());
    }
    // Draws the lines listed in `list` with ImageDraw.line on a side x side
    // picture that Pillow keeps; the number of lines, or 0 on failure.
    std::uintmax_t draw_lines(int side, const fs::path &list) {
        return request("lines " + std::to_string(side) + " " + list.string());
    }

  private:
    std::uintmax_t request(const std::string &words) {
        if (to_ == nullptr || from_ == nullptr) {
            return 0;
        }
        std::fprintf(to_, "%s\n", words.c_str());
        std::fflush(to_);
        char line[64];
        unsigned long long size = 0;
        if (std::fgets(line, sizeof line, from_) == nullptr ||
            std::sscanf(line, "ok %llu", &size) != 1) {
            return 0;
        }
        return size;
    }

    pid_t pid_ = -1;
    std::FILE *to_ = nullptr;
    std::FILE *from_ = nullptr;
};

PillowServer &pillow_server() {
    static PillowServer server;
    return server;
}

// Growth of the peak resident set while `fn` runs, in bytes (Linux).
std::uintmax_t peak_growth(const std::function<void()> &fn) {
    const auto status_kib = [](const char *field) -> std::uintmax_t {
        std::ifstream in("/proc/self/status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind(field, 0) == 0) {
                return std::strtoull(line.c_str() + std::strlen(field), nullptr, 10);
            }
        }
        return 0;
    };
    std::ofstream("/proc/self/clear_refs") << "5"; // resets VmHWM to the current size
    const std::uintmax_t before = status_kib("VmRSS:");
    fn();
    const std::uintmax_t peak = status_kib("VmHWM:");
    return peak > before ? (peak - before) * 1024 : 0;
}

enum class PngScene { line_art, short_lines, noise };

// pixpen's PNG writer against each other encoder's default (and Pillow's
// fastest level) on the same picture, and the noise against an fwrite of
// the pixels.
void bench_png(benchmark::State &state, PngScene scene, const std::string &peer,
               PixpenPngLevel level = PIXPEN_PNG_LEVEL_DEFAULT) {
    constexpr int kSide = 4096;
    // Short lines: the same 3000 lines at most a fifth of the side long.
    auto picture = scene == PngScene::line_art ? png_scenes::line_art(kSide)
                   : scene == PngScene::short_lines
                       ? png_scenes::line_art(kSide, 3000, 7, kSide / 5)
                       : png_scenes::noise(kSide);
    Image image = picture.get();
    const bool drawn = scene != PngScene::noise;
    const char *scene_name = scene == PngScene::line_art      ? "line art"
                             : scene == PngScene::short_lines ? "short lines"
                                                              : "noise";
    const fs::path ppm =
        g_dir / (std::string("png_") + std::to_string(static_cast<int>(scene)) + ".ppm");
    const fs::path ours = g_dir / "png_pixpen.png";
    const fs::path theirs = g_dir / "png_peer.png";
    if (!write_ppm(ppm.c_str(), image, false) || !write_png(ours.c_str(), image, level)) {
        die("writing the PNG inputs");
    }
    const std::uintmax_t our_size = fs::file_size(ours);
    PillowServer &pillow = pillow_server();
    Timed base{[&] { unlink(theirs.c_str()); }, nullptr, nullptr};
    std::string base_name;
    double goal = 0;
    bool ok = true;
    PageBuffer raw(nullptr, PageDeleter{1});
    if (peer == "fwrite") {
        raw = aligned_copy(reinterpret_cast<const std::uint8_t *>(image->pixels), byte_size(image));
        base.run = [&] { ok = baseline_fwrite(theirs.c_str(), raw.get(), byte_size(image)) && ok; };
        base_name = "fwrite of the pixels";
        goal = scene != PngScene::noise ? 0 : level == PIXPEN_PNG_LEVEL_FASTEST ? 2.0 : 3.0;
    } else if (peer == "pnmtopng" || peer == "convert") {
        const std::string program = "/usr/bin/" + peer;
        if (!tool_exists(program.c_str())) {
            g_png_notes.push_back("| " + peer + " | not installed |");
            state.SkipWithError((peer + " not installed").c_str());
            return;
        }
        const std::string command = peer == "pnmtopng"
                                        ? program + " " + ppm.string() + " >" + theirs.string()
                                        : program + " " + ppm.string() + " " + theirs.string();
        base.run = [&, command] { ok = std::system(command.c_str()) == 0 && ok; };
        base_name = peer == "pnmtopng" ? "netpbm pnmtopng" : "ImageMagick convert";
        goal = drawn ? 1.0 / 3 : 0;
    } else {
        const char *pillow_level = peer == "pillow" ? "default" : "1";
        if (pillow.save(ppm, pillow_level, theirs) == 0) {
            g_png_notes.push_back("| Pillow | not installed |");
            state.SkipWithError("Pillow not available");
            return;
        }
        base.run = [&, pillow_level] { ok = pillow.save(ppm, pillow_level, theirs) > 0 && ok; };
        base_name = peer == "pillow" ? "Pillow save" : "Pillow save, compress_level=1";
        // "smallest" may take up to Pillow's default time.
        goal = !drawn || peer != "pillow" ? 0 : level == PIXPEN_PNG_LEVEL_SMALLEST ? 1.0 : 1.0 / 3;
    }
    const std::string level_suffix =
        level == PIXPEN_PNG_LEVEL_DEFAULT ? "" : std::string(" (") + level_name(level) + ")";
    alternate(state,
              {std::string("write_image PNG") + level_suffix + ", " + scene_name, side_name(kSide),
               base_name, 0, 0, goal},
              {[&] { unlink(ours.c_str()); },
               [&] { ok = write_png(ours.c_str(), image, level) && ok; }, nullptr},
              base);
    if (!ok) {
        die("PNG against " + peer);
    }
    std::uintmax_t &smallest_peer = g_smallest_peer[static_cast<int>(scene)];
    if (level != PIXPEN_PNG_LEVEL_DEFAULT) {
        std::string note =
            png_note(std::string("pixpen ") + level_name(level) + ", " + scene_name, our_size);
        if (level == PIXPEN_PNG_LEVEL_SMALLEST && smallest_peer > 0) {
            const double ratio = static_cast<double>(our_size) / static_cast<double>(smallest_peer);
            char goal_note[96];
            std::snprintf(goal_note, sizeof goal_note,
                          " %.3f of the smallest peer's file (goal <= 0.90 %s)", ratio,
                          ratio <= 0.9 ? "met" : "MISSED");
            note.insert(note.size() - 1, goal_note);
        }
        g_png_notes.push_back(note);
    } else if (peer != "fwrite") {
        const std::uintmax_t peer_size = fs::file_size(theirs);
        if (peer != "pillow1" && (smallest_peer == 0 || peer_size < smallest_peer)) {
            smallest_peer = peer_size;
        }
        g_png_notes.push_back(png_note(base_name + ", " + scene_name, peer_size));
    } else {
        g_png_notes.push_back(png_note(std::string("pixpen, ") + scene_name, our_size));
        std::uint8_t *data = nullptr;
        std::size_t size = 0;
        const std::uintmax_t peak =
            peak_growth([&] { encode_image(image, IMAGE_FORMAT_PNG, &data, &size, nullptr); });
        free_buffer(data);
        char line[256];
        std::snprintf(line, sizeof line,
                      "| peak memory of encode_image, %s (the image itself: %.1f MB) | %.1f MB |",
                      scene_name, static_cast<double>(byte_size(image)) / 1e6,
                      static_cast<double>(peak) / 1e6);
        g_png_notes.push_back(line);
    }
    unlink(ours.c_str());
    unlink(theirs.c_str());
}

// ---- PNG reading against the other decoders ---------------------------------------

enum class PngSource { pixpen_line_art, pixpen_noise, pillow_truecolour, pillow_palette };

const char *png_source_name(PngSource source) {
    switch (source) {
    case PngSource::pixpen_line_art:
        return "line art by pixpen";
    case PngSource::pixpen_noise:
        return "noise by pixpen";
    case PngSource::pillow_truecolour:
        return "gradient by Pillow (truecolour)";
    case PngSource::pillow_palette:
        return "line art by Pillow (palette)";
    }
    return "";
}

// Writes the file a row decodes; false when its writer is missing.
bool write_png_source(PngSource source, const fs::path &png, std::vector<std::uint8_t> &pixels) {
    constexpr int kSide = 4096;
    auto picture = source == PngSource::pixpen_noise        ? png_scenes::noise(kSide)
                   : source == PngSource::pillow_truecolour ? png_scenes::gradient(kSide)
                                                            : png_scenes::line_art(kSide);
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(picture->pixels);
    pixels.assign(bytes, bytes + byte_size(picture.get()));
    if (source == PngSource::pixpen_line_art || source == PngSource::pixpen_noise) {
        return write_png(png.c_str(), picture.get());
    }
    static PillowServer pillow;
    // One name per picture: the server keeps each PPM it has read.
    const fs::path ppm = g_dir / ("png_read_" + std::to_string(static_cast<int>(source)) + ".ppm");
    const bool written =
        write_ppm(ppm.c_str(), picture.get(), false) &&
        pillow.save(ppm, source == PngSource::pillow_palette ? "palette" : "default", png) > 0;
    unlink(ppm.c_str());
    return written;
}

std::vector<std::uint8_t> file_bytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A peer's decode of the file into RGB, with its name and goal; no `run`
// when the peer is not available here.
struct PngPeer {
    std::string name;
    Timed timed;
    double goal = 0;
};

#if defined(PIXPEN_BENCH_SPNG)
// libspng's own decode into a buffer the caller allocated.
bool spng_decode_into(const std::vector<std::uint8_t> &file, std::uint8_t *out, std::size_t size) {
    spng_ctx *ctx = spng_ctx_new(0);
    const bool ok = ctx != nullptr && spng_set_png_buffer(ctx, file.data(), file.size()) == 0 &&
                    spng_decode_image(ctx, out, size, SPNG_FMT_RGB8, 0) == 0;
    spng_ctx_free(ctx);
    return ok;
}
#endif

PngPeer png_peer(const std::string &peer, const fs::path &png,
                 const std::vector<std::uint8_t> &file, std::vector<std::uint8_t> &scratch,
                 PageBuffer &fresh, bool &ok) {
    const std::size_t size = scratch.size();
    if (peer == "libspng") {
#if defined(PIXPEN_BENCH_SPNG)
        // Mapped before the timed decode and untouched, as a caller's malloc
        // of a large block gives it: the goal's baseline.
        return {"libspng decode into a preallocated buffer",
                {[&fresh, size] { fresh = PageBuffer(map_fresh(size), PageDeleter{size}); },
                 [&, size] { ok = spng_decode_into(file, fresh.get(), size) && ok; },
                 [&fresh] { fresh.reset(); }},
                1.15};
    } else if (peer == "libspng_touched") {
        // Memory it has decoded into before: no page faults at all.
        return {"libspng decode into a touched buffer",
                {nullptr, [&, size] { ok = spng_decode_into(file, scratch.data(), size) && ok; },
                 nullptr},
                0};
#endif
    } else if (peer == "stb_image") {
#if defined(PIXPEN_BENCH_STB)
        return {"stb_image from memory",
                {nullptr,
                 [&] {
                     int w = 0, h = 0, n = 0;
                     stbi_uc *rgb = stbi_load_from_memory(
                         file.data(), static_cast<int>(file.size()), &w, &h, &n, 3);
                     ok = rgb != nullptr && ok;
                     stbi_image_free(rgb);
                 },
                 nullptr},
                1.0};
#endif
    } else if (peer == "pillow") {
        static PillowServer pillow;
        if (pillow.save(png, "decode", "-") > 0) {
            return {"Pillow open + convert(\"RGB\")",
                    {nullptr, [&] { ok = pillow.save(png, "decode", "-") > 0 && ok; }, nullptr},
                    1.0};
        }
    } else if (peer == "convert" && tool_exists("/usr/bin/convert")) {
        const std::string command = "/usr/bin/convert " + png.string() + " rgb:/dev/null";
        return {"ImageMagick convert to raw RGB",
                {nullptr, [&, command] { ok = std::system(command.c_str()) == 0 && ok; }, nullptr},
                1.0};
    }
    return {};
}

// decode_png from memory against libspng and stb_image on the same bytes, and
// read_image of the file against Pillow and ImageMagick reading it.
void bench_png_read(benchmark::State &state, PngSource source, const std::string &peer) {
    const fs::path png = g_dir / "png_read.png";
    std::vector<std::uint8_t> pixels;
    if (!write_png_source(source, png, pixels)) {
        state.SkipWithError("the PNG's writer is not available");
        return;
    }
    const std::vector<std::uint8_t> file = file_bytes(png);
    std::vector<std::uint8_t> scratch(pixels.size(), 1);
    PageBuffer fresh(nullptr, PageDeleter{1});
    bool ok = true;
    const PngPeer base = png_peer(peer, png, file, scratch, fresh, ok);
    if (!base.timed.run) {
        state.SkipWithError((peer + " not available").c_str());
        return;
    }
    const bool in_memory = peer != "pillow" && peer != "convert";
    Image got = nullptr;
    alternate(
        state,
        {std::string(in_memory ? "decode_png, " : "read_image PNG, ") + png_source_name(source),
         side_name(4096), base.name, 0, 0, base.goal},
        {nullptr,
         [&] {
             got = in_memory ? decode_png(file.data(), file.size(), nullptr)
                             : read_image(png.c_str(), nullptr);
         },
         [&] {
             ok = ok && got != nullptr &&
                  std::memcmp(got->pixels, pixels.data(), pixels.size()) == 0;
             destroy_image(got);
         }},
        base.timed);
    if (!ok) {
        die("PNG reading against " + peer);
    }
    if (peer == "libspng") {
        g_png_notes.push_back(
            png_note(std::string("input: ") + png_source_name(source), file.size()));
    }
    unlink(png.c_str());
}

// ---- first touches and peers at 4096 x 4096 ------------------------------------------

// Memory written once, so that its pages are already backed.
PageBuffer prefaulted(std::size_t size) {
    PageBuffer buffer(map_fresh(size), PageDeleter{size == 0 ? 1 : size});
    std::memset(buffer.get(), 0, size);
    return buffer;
}

// One fread of the whole file into `memory`.
bool fread_into(const char *path, std::uint8_t *memory, std::size_t size) {
    std::FILE *f = std::fopen(path, "rb");
    if (f == nullptr) {
        return false;
    }
    const std::size_t got = std::fread(memory, 1, size, f);
    std::fclose(f);
    return got == size;
}

// Runs `program` with stdin from `in` and stdout to /dev/null, without a
// shell in between; true when it exits with 0.
bool run_filter(const char *program, const fs::path &in) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char *const argv[] = {const_cast<char *>(program), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// P6 and TGA reads against the least a read can do (one fread into memory
// whose pages are backed, so no page is touched for the first time) and
// against netpbm's whole converter process, start-up included.
void bench_read_against(benchmark::State &state, Format format, const std::string &peer) {
    constexpr int kSide = 4096;
    Picture image = random_image(kSide, 3);
    const fs::path path = g_dir / (std::string("read_against_") + format_name(format) + ".in");
    if (!write_format(format, path.c_str(), image.get())) {
        die("writing the input");
    }
    const std::size_t file_size = fs::file_size(path);
    bool ok = true;
    Timed base{nullptr, nullptr, nullptr};
    std::string base_name;
    double goal = 0;
    PageBuffer memory(nullptr, PageDeleter{1});
    if (peer == "fread") {
        memory = prefaulted(file_size);
        base.run = [&] { ok = fread_into(path.c_str(), memory.get(), file_size) && ok; };
        base_name = "fread into a pre-faulted buffer";
        goal = 2.0;
    } else {
        const char *tool = format == Format::tga ? "tgatoppm" : "ppmtoppm";
        const std::string program = std::string("/usr/bin/") + tool;
        if (!tool_exists(program.c_str())) {
            state.SkipWithError((program + " not installed").c_str());
            return;
        }
        base.run = [&, program] { ok = run_filter(program.c_str(), path) && ok; };
        base_name = std::string("netpbm ") + tool + " process";
        goal = 0.5;
    }
    Image got = nullptr;
    alternate(
        state,
        {std::string("read_") + format_name(format), side_name(kSide), base_name, 0, 0, goal},
        {nullptr,
         [&] { got = format == Format::tga ? read_tga(path.c_str()) : read_ppm(path.c_str()); },
         [&] {
             ok = ok && got != nullptr &&
                  std::memcmp(got->pixels, image->pixels, byte_size(image.get())) == 0;
             destroy_image(got);
         }},
        base);
    if (!ok) {
        die(std::string("read_") + format_name(format) + " against " + peer);
    }
    unlink(path.c_str());
}

// A new picture and its first clear, which touches every page for the first
// time, against a memset of a warm buffer. With `touch_only`, the picture's
// pages are only touched, one byte per huge page: what the kernel's zeroing
// of fresh memory alone costs, which no fill saves.
void bench_create_clear(benchmark::State &state, bool touch_only) {
    constexpr int kSide = 4096;
    const std::size_t size = std::size_t{kSide} * kSide * 3;
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    PageBuffer warm = prefaulted(size);
    const Color c{12, 34, 56};
    Image image = nullptr;
    bool ok = true;
    alternate(state,
              {touch_only ? "create_image+a byte per huge page" : "create_image+do_clear",
               side_name(kSide), "memset of a warm buffer", 0, 0, touch_only ? 0 : 1.5},
              {nullptr,
               [&] {
                   image = create_image(kSide, kSide);
                   if (touch_only) {
                       auto *bytes = reinterpret_cast<volatile std::uint8_t *>(image->pixels);
                       for (std::size_t at = 0; at < size; at += kHugePage) {
                           bytes[at] = 1;
                       }
                   } else {
                       do_clear(image, c);
                   }
               },
               [&] {
                   ok = ok && image != nullptr &&
                        (touch_only || image->pixels[size / 3 - 1].b == c.b);
                   destroy_image(image);
               }},
              {nullptr,
               [&] {
                   std::memset(warm.get(), 0x5A, size);
                   benchmark::ClobberMemory();
               },
               nullptr});
    if (!ok) {
        die("create_image+do_clear");
    }
}

// The lines and the turtle's segments drawn by Pillow's ImageDraw.line, one
// call a line from Python, on a picture of the same size.
void bench_lines_against_pillow(benchmark::State &state, bool turtle) {
    constexpr int kSide = 4096;
    Picture image(create_image(kSide, kSide));
    std::vector<Line> lines;
    if (turtle) {
        const Line l = turtle_segment(image.get());
        for (int i = 0; i < kTurtleSteps / 2; ++i) {
            lines.push_back(l);
            lines.push_back(Line{l.x1, l.y1, l.x0, l.y0});
        }
    } else {
        lines = long_lines(kSide);
    }
    const fs::path list = g_dir / (turtle ? "turtle_lines.txt" : "long_lines.txt");
    {
        std::ofstream out(list);
        for (const Line &l : lines) {
            out << l.x0 << ' ' << l.y0 << ' ' << l.x1 << ' ' << l.y1 << '\n';
        }
    }
    PillowServer &pillow = pillow_server();
    if (pillow.draw_lines(kSide, list) != lines.size()) {
        state.SkipWithError("Pillow not available");
        return;
    }
    bool ok = true;
    const Color c{200, 100, 50};
    Timed ours{nullptr, nullptr, nullptr};
    if (turtle) {
        ours.run = [&] { walk_turtle(image.get()); };
    } else {
        ours.run = [&] {
            for (const Line &l : lines) {
                do_line(image.get(), l.x0, l.y0, l.x1, l.y1, c);
            }
        };
    }
    alternate(
        state,
        {turtle ? "turtle_forward x1000" : "do_line (long, inside) x512", side_name(kSide),
         "Pillow ImageDraw.line of the same lines", 0, 0, 0},
        ours,
        {nullptr, [&] { ok = pillow.draw_lines(kSide, list) == lines.size() && ok; }, nullptr});
    if (!ok) {
        die("Pillow's lines");
    }
    unlink(list.c_str());
}

std::string table() {
    std::ostringstream out;
    out << "| operation | image | median ms | baseline | baseline ms | ratio | goal |\n"
        << "|---|---|---:|---|---:|---:|---|\n";
    char line[512];
    for (const Result &r : g_results) {
        const double ratio = r.base_ms > 0 ? r.op_ms / r.base_ms : 0;
        std::string goal = "reported";
        if (r.goal > 0) {
            char g[64];
            std::snprintf(g, sizeof g, "<= %.2f %s", r.goal, ratio <= r.goal ? "met" : "MISSED");
            goal = g;
        }
        std::snprintf(line, sizeof line, "| %s | %s | %.3f | %s | %.3f | %.2f | %s |\n",
                      r.operation.c_str(), r.size.c_str(), r.op_ms, r.baseline.c_str(), r.base_ms,
                      ratio, goal.c_str());
        out << line;
    }
    if (!g_png_notes.empty()) {
        out << "\n| PNG file or memory | size |\n|---|---:|\n";
        for (const std::string &note : g_png_notes) {
            out << note << "\n";
        }
    }
    return out.str();
}

} // namespace

int main(int argc, char **argv) {
    std::string table_file;
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            g_rounds_small = 11;
            g_rounds_large = 5;
        } else if (arg.rfind("--rounds=", 0) == 0) {
            g_rounds_large = std::max(1, std::atoi(arg.c_str() + 9));
            g_rounds_small = g_rounds_large * 3;
        } else if (arg.rfind("--table=", 0) == 0) {
            table_file = arg.substr(8);
        } else {
            rest.push_back(argv[i]);
        }
    }
    int rest_count = static_cast<int>(rest.size());
    benchmark::Initialize(&rest_count, rest.data());
    if (benchmark::ReportUnrecognizedArguments(rest_count, rest.data())) {
        return 2;
    }
    // Large blocks always come fresh from the kernel, as the baselines' do,
    // instead of whatever glibc's adaptive threshold decides after a free.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    g_dir = make_bench_dir();

    for (int side : {1024, 4096}) {
        const int rounds = side == 4096 ? g_rounds_large : g_rounds_small;
        const std::string s = std::string("/").append(std::to_string(side));
        add("create_destroy" + s, rounds,
            [side](benchmark::State &st) { bench_create_destroy(st, side); });
        for (const char *op : {"do_clear", "do_invert", "do_reverse_rgb"}) {
            add(std::string(op) + s, rounds,
                [side, op](benchmark::State &st) { bench_whole(st, side, op); });
        }
        for (Format f : {Format::p6, Format::tga, Format::p3}) {
            add(std::string("write_") + format_name(f) + s, rounds,
                [side, f](benchmark::State &st) { bench_write(st, side, f); });
            add(std::string("read_") + format_name(f) + s, rounds,
                [side, f](benchmark::State &st) { bench_read(st, side, f); });
        }
        add("do_line_long" + s, rounds,
            [side](benchmark::State &st) { bench_long_lines(st, side); });
        add("turtle_forward" + s, rounds, [side](benchmark::State &st) { bench_turtle(st, side); });
        add("cpp_api" + s, rounds, [side](benchmark::State &st) { bench_cpp_api(st, side); });
    }
    add("do_line_far/1000", g_rounds_small, [](benchmark::State &st) { bench_far_line(st); });
    // First touches at the large size: reads against a warm fread and netpbm,
    // a new image's first clear against a warm memset, lines against Pillow.
    for (Format f : {Format::p6, Format::tga}) {
        for (const char *peer : {"fread", "netpbm"}) {
            add(std::string("read_") + format_name(f) + "_vs_" + peer + "/4096", g_rounds_large,
                [f, peer](benchmark::State &st) { bench_read_against(st, f, peer); });
        }
    }
    add("create_clear/4096", g_rounds_large,
        [](benchmark::State &st) { bench_create_clear(st, false); });
    add("create_clear_touch_only/4096", g_rounds_large,
        [](benchmark::State &st) { bench_create_clear(st, true); });
    add("do_line_long_vs_pillow/4096", g_rounds_large,
        [](benchmark::State &st) { bench_lines_against_pillow(st, false); });
    add("turtle_forward_vs_pillow/4096", g_rounds_large,
        [](benchmark::State &st) { bench_lines_against_pillow(st, true); });
    // PNG: the line art against every peer's default, the noise against fwrite.
    for (const char *peer : {"fwrite", "pnmtopng", "convert", "pillow", "pillow1"}) {
        add(std::string("png_line_art/") + peer, g_rounds_large,
            [peer](benchmark::State &st) { bench_png(st, PngScene::line_art, peer); });
    }
    for (const char *peer : {"fwrite", "pnmtopng", "convert", "pillow"}) {
        add(std::string("png_short_lines/") + peer, g_rounds_large,
            [peer](benchmark::State &st) { bench_png(st, PngScene::short_lines, peer); });
    }
    for (const char *peer : {"fwrite", "pillow"}) {
        add(std::string("png_noise/") + peer, g_rounds_large,
            [peer](benchmark::State &st) { bench_png(st, PngScene::noise, peer); });
    }
    // PNG reading: each file against libspng's own decode and every other reader.
    for (PngSource source : {PngSource::pixpen_line_art, PngSource::pixpen_noise,
                             PngSource::pillow_truecolour, PngSource::pillow_palette}) {
        for (const char *peer : {"libspng", "libspng_touched", "stb_image", "pillow", "convert"}) {
            add(std::string("png_read_") + std::to_string(static_cast<int>(source)) + "/" + peer,
                g_rounds_large,
                [source, peer](benchmark::State &st) { bench_png_read(st, source, peer); });
        }
    }
    // The callers' other levels: "smallest" on the drawings against Pillow's
    // default (after the peers, whose files it must beat), "fastest" on noise.
    for (const PngScene scene : {PngScene::line_art, PngScene::short_lines}) {
        add(std::string("png_smallest_") +
                (scene == PngScene::line_art ? "line_art" : "short_lines") + "/pillow",
            g_rounds_large, [scene](benchmark::State &st) {
                bench_png(st, scene, "pillow", PIXPEN_PNG_LEVEL_SMALLEST);
            });
    }
    add("png_fastest_noise/fwrite", g_rounds_large, [](benchmark::State &st) {
        bench_png(st, PngScene::noise, "fwrite", PIXPEN_PNG_LEVEL_FASTEST);
    });
    // Memory buffers at the large size only, where the goals apply.
    for (Format f : {Format::p6, Format::tga}) {
        add(std::string("decode_") + format_name(f) + "/4096", g_rounds_large,
            [f](benchmark::State &st) { bench_decode(st, 4096, f); });
        add(std::string("encode_") + format_name(f) + "/4096", g_rounds_large,
            [f](benchmark::State &st) { bench_encode(st, 4096, f); });
    }
    add("decode_ppm_p3_memory/4096", g_rounds_large,
        [](benchmark::State &st) { bench_decode_p3_memory(st, 4096); });
    add("encode_ppm_p3_memory/4096", g_rounds_large,
        [](benchmark::State &st) { bench_encode_p3_memory(st, 4096); });

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(g_dir, ignored);

    const std::string summary = table();
    std::cout << "\n" << summary;
    if (!table_file.empty()) {
        std::ofstream(table_file) << summary;
    }
    return 0;
}
