// Turns arbitrary bytes into a small image and a run of drawing, turtle and
// whole-image calls with wild arguments (INT_MIN, INT_MAX, huge and negative
// coordinates and distances), checking each call's contract as it goes; then
// encodes the picture in memory as TGA, P6 and P3 and checks that each decodes
// back equal, and as PNG, which libspng must decode to the same pixels.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#if PIXPEN_FUZZ_SPNG
#include <spng.h>

#include <memory>
#endif

#include "fuzz_support.hpp"
#include "pixpen.h"

namespace {

class Input {
  public:
    Input(const std::uint8_t *data, std::size_t size) : data_(data), left_(size) {}
    bool empty() const { return left_ == 0; }
    std::uint8_t byte() {
        if (left_ == 0) {
            return 0;
        }
        --left_;
        return *data_++;
    }
    std::int32_t raw32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v = v << 8 | byte();
        }
        return static_cast<std::int32_t>(v);
    }
    // An int argument: mostly the values where arithmetic breaks, sometimes
    // a coordinate near the image, sometimes anything at all.
    int wild(int span) {
        switch (byte() % 14) {
        case 0:
            return INT_MIN;
        case 1:
            return INT_MAX;
        case 2:
            return INT_MIN + 1;
        case 3:
            return INT_MAX - 1;
        case 4:
            return -1;
        case 5:
            return 0;
        case 6:
            return span;
        case 7:
            return -span;
        case 8:
            return raw32();
        case 9:
            return 1 << 30;
        case 10:
            return -(1 << 30);
        case 11:
            return (byte() % 2 ? 1 : -1) * 65536 + (byte() % 5) - 2;
        default:
            return static_cast<int>(byte() % static_cast<unsigned>(span + 3)) - 1;
        }
    }
    Color color() {
        const std::uint8_t r = byte();
        const std::uint8_t g = byte();
        const std::uint8_t b = byte();
        return Color{r, g, b};
    }

  private:
    const std::uint8_t *data_;
    std::size_t left_;
};

struct Snapshot {
    explicit Snapshot(Image image)
        : pixels(reinterpret_cast<const std::uint8_t *>(image->pixels),
                 reinterpret_cast<const std::uint8_t *>(image->pixels) + fuzz::pixel_bytes(image)),
          turtle(*image) {
        turtle.pixels = nullptr;
    }
    std::vector<std::uint8_t> pixels;
    ImageRecord turtle; // the record with its pixel pointer cleared
};

bool pixels_equal(Image image, const Snapshot &before) {
    return before.pixels.empty() ||
           std::memcmp(image->pixels, before.pixels.data(), before.pixels.size()) == 0;
}

bool record_equal(Image image, const Snapshot &before) {
    ImageRecord now = *image;
    now.pixels = nullptr;
    return now.width == before.turtle.width && now.height == before.turtle.height &&
           now.turtle_x == before.turtle.turtle_x && now.turtle_y == before.turtle.turtle_y &&
           now.turtle_angle == before.turtle.turtle_angle &&
           now.turtle_pen_down == before.turtle.turtle_pen_down &&
           now.turtle_color.r == before.turtle.turtle_color.r &&
           now.turtle_color.g == before.turtle.turtle_color.g &&
           now.turtle_color.b == before.turtle.turtle_color.b;
}

bool unchanged(Image image, const Snapshot &before) {
    return pixels_equal(image, before) && record_equal(image, before);
}

bool is_pixel(Image image, long long x, long long y) {
    return x >= 0 && x < image->width && y >= 0 && y < image->height;
}

Color at(Image image, int x, int y) {
    return image->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image->width) +
                         static_cast<std::size_t>(x)];
}

bool same(Color a, Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// Every pixel is either as it was or the colour just drawn.
bool only_painted_with(Image image, const Snapshot &before, Color color) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(image->pixels);
    for (std::size_t i = 0; i < before.pixels.size(); i += 3) {
        const bool kept = std::memcmp(bytes + i, before.pixels.data() + i, 3) == 0;
        const bool painted =
            bytes[i] == color.r && bytes[i + 1] == color.g && bytes[i + 2] == color.b;
        if (!kept && !painted) {
            return false;
        }
    }
    return true;
}

std::int32_t wrapped(std::int32_t angle, long long delta) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(angle) +
                                     static_cast<std::uint32_t>(delta));
}

void null_handle_calls(int a, int b, Color c) {
    do_pixel(nullptr, a, b, c);
    do_line(nullptr, a, b, b, a, c);
    do_thick_line(nullptr, a, b, b, a, a, c);
    do_fill_circle(nullptr, a, b, a, c);
    do_fill_polygon(nullptr, nullptr, static_cast<std::size_t>(a), c);
    PixpenError refused = fuzz::poisoned_error();
    FUZZ_CHECK(!do_flood_fill(nullptr, a, b, c, &refused));
    FUZZ_CHECK(fuzz::reports(refused, fuzz::Refusal::null_image));
    do_clear(nullptr, c);
    do_invert(nullptr);
    do_reverse_rgb(nullptr);
    FUZZ_CHECK(!turtle_set_xy(nullptr, a, b));
    FUZZ_CHECK(!turtle_move(nullptr, a, b));
    FUZZ_CHECK(!turtle_forward(nullptr, a));
    turtle_face_north(nullptr);
    turtle_left(nullptr, a);
    turtle_right(nullptr, b);
    turtle_pen_up(nullptr);
    turtle_pen_down(nullptr);
    turtle_set_color(nullptr, c);
    // A NULL image is refused before the format is even looked at.
    std::uint8_t *bytes = reinterpret_cast<std::uint8_t *>(&c);
    std::size_t size = 1;
    PixpenError error = fuzz::poisoned_error();
    FUZZ_CHECK(!encode_image(nullptr, static_cast<ImageFormat>(a & 7), &bytes, &size, &error));
    FUZZ_CHECK(bytes == nullptr && size == 0 && fuzz::reports(error, fuzz::Refusal::null_image));
    destroy_image(nullptr);
}

// A pixel that a shape must have drawn, when it lies in the image.
bool drawn_if_inside(Image image, long long x, long long y, Color c) {
    return !is_pixel(image, x, y) || same(at(image, x, y), c);
}

// One shape with wild arguments: it paints only its colour, leaves the record
// alone, and draws the pixels its rule is sure to include.
void draw_shape(Image image, Input &in, int span, const Snapshot &before) {
    const int a = in.wild(span), b = in.wild(span), c = in.wild(span), d = in.wild(span);
    const int size = in.byte() % 4 == 0 ? in.wild(span) : static_cast<int>(in.byte() % 40) - 2;
    const Color color = in.color();
    switch (in.byte() % 11) {
    case 0:
        do_thick_line(image, a, b, c, d, size, color);
        FUZZ_CHECK(drawn_if_inside(image, a, b, color) && drawn_if_inside(image, c, d, color));
        break;
    case 1:
        do_rectangle(image, a, b, c, d, color);
        FUZZ_CHECK(drawn_if_inside(image, a, b, color) && drawn_if_inside(image, c, d, color));
        break;
    case 2:
        do_fill_rectangle(image, a, b, c, d, color);
        FUZZ_CHECK(drawn_if_inside(image, a, d, color) && drawn_if_inside(image, c, b, color));
        break;
    case 3:
        do_circle(image, a, b, size, color);
        FUZZ_CHECK(size < 0 || drawn_if_inside(image, a, static_cast<long long>(b) - size, color));
        break;
    case 4:
        do_fill_circle(image, a, b, size, color);
        FUZZ_CHECK(size < 0 || drawn_if_inside(image, a, b, color));
        break;
    case 5:
        do_ellipse(image, a, b, size, c, color);
        FUZZ_CHECK(size < 0 || c < 0 ||
                   drawn_if_inside(image, static_cast<long long>(a) + size, b, color));
        break;
    case 6:
        do_fill_ellipse(image, a, b, size, c, color);
        FUZZ_CHECK(size < 0 || c < 0 || drawn_if_inside(image, a, b, color));
        break;
    case 7:
        do_arc(image, a, b, size, c, d, color);
        break;
    case 8:
    case 9: {
        // Up to 63 points, enough to crowd a small picture's rows with crossings.
        std::vector<PixpenPoint> points(in.byte() % 64);
        for (PixpenPoint &p : points) {
            p = PixpenPoint{in.wild(span), in.wild(span)};
        }
        const PixpenPoint *data = points.empty() && in.byte() % 2 == 0 ? nullptr : points.data();
        (in.byte() % 2 == 0 ? do_polygon : do_fill_polygon)(image, data, points.size(), color);
        for (const PixpenPoint &p : points) {
            FUZZ_CHECK(drawn_if_inside(image, p.x, p.y, color));
        }
        break;
    }
    default: {
        PixpenError error = fuzz::poisoned_error();
        FUZZ_CHECK(do_flood_fill(image, a, b, color, &error) && error.status == PIXPEN_OK);
        FUZZ_CHECK(drawn_if_inside(image, a, b, color));
        break;
    }
    }
    FUZZ_CHECK(record_equal(image, before) && only_painted_with(image, before, color));
}

void apply(Image image, Input &in) {
    const int span = image->width > image->height ? image->width : image->height;
    const Snapshot before(image);
    switch (in.byte() % 16) {
    case 15:
        draw_shape(image, in, span, before);
        break;
    case 0: {
        const int x = in.wild(span), y = in.wild(span);
        const Color c = in.color();
        do_pixel(image, x, y, c);
        FUZZ_CHECK(record_equal(image, before) && only_painted_with(image, before, c));
        FUZZ_CHECK(is_pixel(image, x, y) ? same(at(image, x, y), c) : pixels_equal(image, before));
        break;
    }
    case 1: {
        const int x0 = in.wild(span), y0 = in.wild(span), x1 = in.wild(span), y1 = in.wild(span);
        const Color c = in.color();
        do_line(image, x0, y0, x1, y1, c);
        FUZZ_CHECK(record_equal(image, before) && only_painted_with(image, before, c));
        FUZZ_CHECK(!is_pixel(image, x0, y0) || same(at(image, x0, y0), c));
        FUZZ_CHECK(!is_pixel(image, x1, y1) || same(at(image, x1, y1), c));
        break;
    }
    case 2: {
        const Color c = in.color();
        do_clear(image, c);
        FUZZ_CHECK(record_equal(image, before));
        for (std::size_t i = 0; i < before.pixels.size() / 3; ++i) {
            FUZZ_CHECK(same(image->pixels[i], c));
        }
        break;
    }
    case 3: {
        do_invert(image);
        FUZZ_CHECK(record_equal(image, before));
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(image->pixels);
        for (std::size_t i = 0; i < before.pixels.size(); ++i) {
            FUZZ_CHECK(bytes[i] == static_cast<std::uint8_t>(255 - before.pixels[i]));
        }
        break;
    }
    case 4: {
        do_reverse_rgb(image);
        FUZZ_CHECK(record_equal(image, before));
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(image->pixels);
        for (std::size_t i = 0; i < before.pixels.size(); i += 3) {
            FUZZ_CHECK(bytes[i] == before.pixels[i + 2] && bytes[i + 1] == before.pixels[i + 1] &&
                       bytes[i + 2] == before.pixels[i]);
        }
        break;
    }
    case 5: {
        const int x = in.wild(span), y = in.wild(span);
        const bool ok = turtle_set_xy(image, x, y);
        FUZZ_CHECK(ok == (x >= 0 && x <= image->width && y >= 0 && y <= image->height));
        FUZZ_CHECK(pixels_equal(image, before));
        FUZZ_CHECK(ok ? image->turtle_x == x && image->turtle_y == y : record_equal(image, before));
        break;
    }
    case 6: {
        const int x = in.wild(span), y = in.wild(span);
        const bool ok = turtle_move(image, x, y);
        FUZZ_CHECK(ok == is_pixel(image, x, y));
        if (!ok) {
            FUZZ_CHECK(unchanged(image, before));
        } else {
            FUZZ_CHECK(image->turtle_x == x && image->turtle_y == y);
            FUZZ_CHECK(only_painted_with(image, before, image->turtle_color));
            FUZZ_CHECK(image->turtle_pen_down ? same(at(image, x, y), image->turtle_color)
                                              : pixels_equal(image, before));
        }
        break;
    }
    case 7: {
        const int d = in.wild(span);
        if (!turtle_forward(image, d)) {
            FUZZ_CHECK(unchanged(image, before));
        } else {
            FUZZ_CHECK(is_pixel(image, image->turtle_x, image->turtle_y));
            FUZZ_CHECK(only_painted_with(image, before, image->turtle_color));
            // A move never goes further than d along either axis.
            const long long reach = d < 0 ? -static_cast<long long>(d) : d;
            FUZZ_CHECK(image->turtle_x - static_cast<long long>(before.turtle.turtle_x) <= reach &&
                       before.turtle.turtle_x - static_cast<long long>(image->turtle_x) <= reach);
            FUZZ_CHECK(image->turtle_y - static_cast<long long>(before.turtle.turtle_y) <= reach &&
                       before.turtle.turtle_y - static_cast<long long>(image->turtle_y) <= reach);
        }
        break;
    }
    case 8: {
        const int delta = in.wild(span);
        turtle_left(image, delta);
        FUZZ_CHECK(image->turtle_angle == wrapped(before.turtle.turtle_angle, delta));
        FUZZ_CHECK(pixels_equal(image, before));
        break;
    }
    case 9: {
        const int delta = in.wild(span);
        turtle_right(image, delta);
        FUZZ_CHECK(image->turtle_angle ==
                   wrapped(before.turtle.turtle_angle, -static_cast<long long>(delta)));
        FUZZ_CHECK(pixels_equal(image, before));
        break;
    }
    case 10:
        turtle_face_north(image);
        FUZZ_CHECK(image->turtle_angle == 90 && pixels_equal(image, before));
        break;
    case 11:
        turtle_pen_up(image);
        FUZZ_CHECK(!image->turtle_pen_down && pixels_equal(image, before));
        break;
    case 12:
        turtle_pen_down(image);
        FUZZ_CHECK(image->turtle_pen_down && pixels_equal(image, before));
        break;
    case 13: {
        const Color c = in.color();
        turtle_set_color(image, c);
        FUZZ_CHECK(same(image->turtle_color, c) && pixels_equal(image, before));
        break;
    }
    default: {
        const int a = in.wild(span), b = in.wild(span);
        null_handle_calls(a, b, in.color());
        FUZZ_CHECK(unchanged(image, before));
        break;
    }
    }
}

#if PIXPEN_FUZZ_SPNG
// PNG bytes as libspng decodes them, as 8-bit RGB whatever the colour type
// the encoder chose; false if libspng refuses them.
bool spng_decode_rgb(const std::uint8_t *bytes, std::size_t size, std::vector<std::uint8_t> &rgb,
                     std::uint32_t &width, std::uint32_t &height) {
    const std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(0), spng_ctx_free);
    spng_ihdr ihdr{};
    std::size_t decoded = 0;
    if (!ctx || spng_set_png_buffer(ctx.get(), bytes, size) != 0 ||
        spng_get_ihdr(ctx.get(), &ihdr) != 0 ||
        spng_decoded_image_size(ctx.get(), SPNG_FMT_RGB8, &decoded) != 0) {
        return false;
    }
    rgb.resize(decoded);
    width = ihdr.width;
    height = ihdr.height;
    return spng_decode_image(ctx.get(), rgb.data(), rgb.size(), SPNG_FMT_RGB8, 0) == 0;
}
#endif

void check_png(Image image) {
    std::uint8_t *bytes = nullptr;
    std::size_t size = 0;
    PixpenError error = fuzz::poisoned_error();
    const bool encoded = encode_image(image, IMAGE_FORMAT_PNG, &bytes, &size, &error);
    if (image->width == 0 || image->height == 0) {
        FUZZ_CHECK(!encoded && bytes == nullptr && size == 0);
        FUZZ_CHECK(fuzz::reports(error, fuzz::Refusal::png_empty));
        return;
    }
#if PIXPEN_FUZZ_PNG_BUILT
    FUZZ_CHECK(encoded && fuzz::reports_success(error) && bytes != nullptr);
#else
    FUZZ_CHECK(!encoded && fuzz::reports(error, fuzz::Refusal::png_not_built));
#endif
#if PIXPEN_FUZZ_SPNG
    if (encoded) {
        std::vector<std::uint8_t> rgb;
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        FUZZ_CHECK(spng_decode_rgb(bytes, size, rgb, width, height));
        FUZZ_CHECK(width == static_cast<std::uint32_t>(image->width) &&
                   height == static_cast<std::uint32_t>(image->height));
        FUZZ_CHECK(rgb.size() == fuzz::pixel_bytes(image) &&
                   std::memcmp(rgb.data(), image->pixels, rgb.size()) == 0);
    }
#endif
    free_buffer(bytes);
}

void check_round_trips(Image image) {
    const Snapshot before(image);

    std::size_t size = 0;
    std::uint8_t *bytes = fuzz::encode_checked(image, IMAGE_FORMAT_TGA, size);
    FUZZ_CHECK(unchanged(image, before)); // encoders only read the image
    if (image->width == 0 || image->height == 0) {
        PixpenError error = fuzz::poisoned_error();
        FUZZ_CHECK(decode_tga(bytes, size, &error) == nullptr);
        FUZZ_CHECK(fuzz::reports(error, image->width == 0 ? fuzz::Refusal::tga_zero_width
                                                          : fuzz::Refusal::tga_zero_height));
    } else {
        fuzz::check_decodes_to(decode_tga, bytes, size, image);
    }
    free_buffer(bytes);

    for (const ImageFormat format : {IMAGE_FORMAT_PPM_BINARY, IMAGE_FORMAT_PPM_ASCII}) {
        bytes = fuzz::encode_checked(image, format, size);
        FUZZ_CHECK(unchanged(image, before));
        fuzz::check_decodes_to(decode_ppm, bytes, size, image);
        free_buffer(bytes);
    }

    check_png(image);
    FUZZ_CHECK(unchanged(image, before));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Input in(data, size);
    const int width = in.byte() % 17;
    const int height = in.byte() % 17;
    Image image = create_image(width, height);
    FUZZ_CHECK(image != nullptr);
    for (int calls = 0; calls < 256 && !in.empty(); ++calls) {
        apply(image, in);
    }
    check_round_trips(image);
    destroy_image(image);
    return 0;
}
