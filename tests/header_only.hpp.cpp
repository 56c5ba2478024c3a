// Compiled as C++17 and C++20, with and without exceptions: pixpen.hpp needs
// nothing included before it, and `using namespace pixpen;` beside pixpen.h
// leaves every C name unambiguous.
#include "pixpen.hpp"

#include <type_traits>

#include "pixpen.h"

using namespace pixpen;

static_assert(!std::is_copy_constructible_v<Picture> && !std::is_copy_assignable_v<Picture>);
static_assert(std::is_nothrow_move_constructible_v<Picture> &&
              std::is_nothrow_move_assignable_v<Picture>);
static_assert(!std::is_convertible_v<Image, Picture>, "adopting a handle must be explicit");
static_assert(std::is_nothrow_copy_constructible_v<Error>);
static_assert(!std::is_copy_constructible_v<FractionalTurtle> &&
              std::is_nothrow_move_constructible_v<FractionalTurtle>);
static_assert(std::is_same_v<Status, PixpenStatus>);
static_assert(static_cast<int>(Format::png) == IMAGE_FORMAT_PNG);
#if __cplusplus >= 202002L
static_assert(std::is_same_v<Span<Color>, std::span<Color>>);
#endif

int pixpen_hpp_uses();
int pixpen_hpp_uses() {
    // The C API, unqualified, beside the C++ one.
    Image raw = create_image(4, 3);
    const Color c = WHITE;
    do_pixel(raw, 0, 0, c);
    PixpenError error{};
    destroy_image(read_image("none", &error));
    ImageFormat format = IMAGE_FORMAT_PNG;
    (void)format;
    const int version = get_version() + library_version();

    Picture picture(raw);
    Result<Picture> made = Picture::try_create(8, 8);
    if (!made) {
        return made.error().status();
    }
    Picture other = std::move(made).value();
    other.turtle().forward(2).left(90).forward(2);
    // The fractional turtle's C record and class, unqualified, beside Turtle.
    PixpenTurtle record{};
    pixpen_turtle_init(&record, raw);
    pixpen_turtle_release(&record);
    FractionalTurtle smooth(other.get());
    smooth.forward(2.5).left(360.0 / 7).circle(3).begin_fill().dot(0, c).end_fill();
    for (Color &pixel : other.row(1)) {
        pixel = picture.at(0, 0);
    }
    Result<Bytes> bytes = other.try_encode(Format::p6);
    if (!bytes) {
        return 1;
    }
    Result<Picture> back = Picture::try_decode(*bytes);
    Result<void> saved = other.try_save("out.ppm", Format::p3);
#if defined(__cpp_exceptions)
    try {
        other.save(std::string_view("out.tga"), Format::tga);
        Picture copy = Picture::load(std::filesystem::path("out.tga")).clone();
        (void)copy;
    } catch (const Exception &e) {
        return e.status();
    }
#endif
    return back && saved && version > 0 && picture.pixels().size() == 12 ? 0 : 1;
}
