// pixpen.hpp against the C calls it adapts: ownership, both error styles,
// every format through files and memory, the turtle view. Built as C++17
// (the header's own Span) and as C++20 (std::span).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "pixpen.h"
#include "pixpen.hpp"
#include "test_support.hpp"

using namespace pixpen; // must not make a C name ambiguous

namespace {

bool same_pixels(const Picture &a, const Picture &b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.pixels().data(), b.pixels().data(), a.pixels().size_bytes()) == 0;
}

TEST(CppPicture, OwnershipMovesAndNeverFreesTwice) {
    Picture a = test::random_image(7, 5, 1);
    const Image handle = a.get();
    Picture b = std::move(a);
    EXPECT_TRUE(a == nullptr && b.get() == handle && b != nullptr);
    Picture c;
    c = std::move(b);
    Picture &same = c;
    c = std::move(same); // self-move keeps the image
    EXPECT_EQ(c.get(), handle);
    c.reset(create_image(2, 2)); // the old image is destroyed here
    EXPECT_EQ(c.width(), 2);
    Image raw = c.release();
    EXPECT_TRUE(c == nullptr && raw != nullptr);
    destroy_image(raw);
    // An empty picture is 0 x 0, ignores drawing and cannot be saved.
    c.line(0, 0, 5, 5, WHITE);
    EXPECT_EQ(c.width() + c.height() + static_cast<int>(c.pixels().size()), 0);
    EXPECT_FALSE(c.turtle().forward(1));
    for (const Error &error :
         {c.try_encode(Format::p6).error(), c.try_save("never-written.tga", Format::tga).error()}) {
        EXPECT_EQ(error.status(), PIXPEN_ERROR_BAD_ARGUMENT);
        EXPECT_EQ(error.message(), "empty picture");
    }
    EXPECT_TRUE(c.try_clone() && *c.try_clone() == nullptr);
}

TEST(CppPicture, CloneIsDeepAndKeepsTheTurtle) {
    Picture original = test::random_image(9, 4, 2);
    original.turtle().left(30).pen_up().set_color(Color{1, 2, 3}).forward(2);
    Picture copy = original.clone();
    ASSERT_TRUE(same_pixels(copy, original));
    EXPECT_NE(copy.get(), original.get());
    const Turtle a = copy.turtle(), b = original.turtle();
    EXPECT_TRUE(a.x() == b.x() && a.y() == b.y() && a.heading() == b.heading() &&
                !a.is_pen_down() && test::same_color(a.color(), b.color()));
    copy.invert();
    EXPECT_FALSE(same_pixels(copy, original));
}

TEST(CppPicture, PixelViewsAreTheRecordsArray) {
    Picture p = Picture::create(5, 3);
    // Without it GCC's -O2 -DNDEBUG sees at() write through the null data()
    // of an empty Picture and warns (-Wstringop-overflow).
    ASSERT_TRUE(p);
    p.at(4, 2) = Color{9, 8, 7};
    p.row(1)[3] = Color{6, 5, 4};
    p.pixels()[0] = Color{3, 2, 1};
    const Picture &view = p;
    EXPECT_TRUE(test::same_color(p->pixels[2 * 5 + 4], Color{9, 8, 7}));
    EXPECT_TRUE(test::same_color(view.at(3, 1), Color{6, 5, 4}));
    EXPECT_TRUE(test::same_color(view.row(0)[0], Color{3, 2, 1}));
    // Each end differs from the pixel beside it, so an end off by one shows.
    EXPECT_TRUE(test::same_color(view.row(0).front(), Color{3, 2, 1}));
    EXPECT_TRUE(test::same_color(view.row(1).subspan(0, 4).back(), Color{6, 5, 4}));
    EXPECT_TRUE(test::same_color(view.row(2).back(), Color{9, 8, 7}));
    EXPECT_EQ(view.row(2).data(), p->pixels + 10);
    EXPECT_EQ(view.row(2).size(), 5u);
    std::size_t count = 0;
    for (const Color &c : view.pixels()) {
        count += &c == &p->pixels[count] ? 1 : 0;
    }
    EXPECT_EQ(count, 15u);
}

TEST(CppColor, EqualOnlyWhenEveryChannelIs) {
    constexpr Color base{10, 20, 30};
    static_assert(base == Color{10, 20, 30} && !(base != Color{10, 20, 30}));
    for (const Color other : {Color{11, 20, 30}, Color{10, 21, 30}, Color{10, 20, 31}}) {
        EXPECT_TRUE(base != other && !(base == other));
    }
}

TEST(CppPicture, DrawingAndTurtleMatchTheCCalls) {
    Picture drawn = Picture::create(40, 30);
    test::ImagePtr twin = test::make_image(40, 30);
    drawn.clear(Color{10, 20, 30});
    drawn.line(-5, 3, 50, 28, WHITE);
    drawn.pixel(39, 0, Color{1, 1, 1});
    drawn.reverse_rgb();
    drawn.invert();
    do_clear(twin.get(), Color{10, 20, 30});
    do_line(twin.get(), -5, 3, 50, 28, WHITE);
    do_pixel(twin.get(), 39, 0, Color{1, 1, 1});
    do_reverse_rgb(twin.get());
    do_invert(twin.get());

    Turtle t = drawn.turtle();
    t.set_color(Color{0, 255, 0}).forward(10).right(90).forward(100).forward(5);
    EXPECT_FALSE(t.ok());     // the 100-pixel move left the picture ...
    EXPECT_TRUE(t.last_ok()); // ... the next one was still made
    EXPECT_FALSE(t.jump_to(41, 0).last_ok());
    EXPECT_TRUE(t.jump_to(40, 30).last_ok());
    EXPECT_FALSE(t.move_to(40, 30).last_ok());
    t.face_north().pen_up().move_to(0, 0).pen_down().left(45);
    EXPECT_TRUE(t.last_ok() && t.x() == 0 && t.y() == 0 && t.heading() == 135);

    turtle_set_color(twin.get(), Color{0, 255, 0});
    EXPECT_TRUE(turtle_forward(twin.get(), 10));
    turtle_right(twin.get(), 90);
    EXPECT_FALSE(turtle_forward(twin.get(), 100));
    EXPECT_TRUE(turtle_forward(twin.get(), 5));
    EXPECT_TRUE(same_pixels(drawn, twin));
}

// Each failure, through the non-throwing and the throwing call, must carry
// the status and message of the C record that the same C call fills.
struct FailureRow {
    const char *what;
    std::function<Error()> try_form;
    std::function<void()> throwing_form;
    std::function<void(PixpenError *)> c_call;
};

TEST(CppErrors, BothStylesCarryTheCRecord) {
    test::TempDir dir;
    const std::string missing = dir.file("missing.ppm");
    const std::string no_dir = dir.file("no/such/dir.tga");
    const test::Bytes truncated = test::bytes_of("P6 4 4 255\n\x01\x02");
    const test::Bytes tga_bytes = *Picture::create(2, 2).try_encode(Format::tga);
    const Picture wide = Picture::create(70000, 1);
    const FailureRow rows[] = {
        {"load a missing file", [&] { return Picture::try_load(missing).error(); },
         [&] { (void)Picture::load(missing); },
         [&](PixpenError *e) { destroy_image(read_image(missing.c_str(), e)); }},
        {"decode truncated P6", [&] { return Picture::try_decode(truncated).error(); },
         [&] { (void)Picture::decode(truncated.data(), truncated.size()); },
         [&](PixpenError *e) {
             destroy_image(decode_image(truncated.data(), truncated.size(), e));
         }},
        {"TGA bytes as PPM", [&] { return Picture::try_decode_ppm(tga_bytes).error(); },
         [&] { (void)Picture::decode_ppm(tga_bytes); },
         [&](PixpenError *e) { destroy_image(decode_ppm(tga_bytes.data(), tga_bytes.size(), e)); }},
        {"TGA bytes as PNG", [&] { return Picture::try_decode_png(tga_bytes).error(); },
         [&] { (void)Picture::decode_png(tga_bytes); },
         [&](PixpenError *e) { destroy_image(decode_png(tga_bytes.data(), tga_bytes.size(), e)); }},
        {"PPM bytes as TGA", [&] { return Picture::try_decode_tga(truncated.data(), 5).error(); },
         [&] { (void)Picture::decode_tga(truncated.data(), 5); },
         [&](PixpenError *e) { destroy_image(decode_tga(truncated.data(), 5, e)); }},
        {"save into a missing folder", [&] { return wide.try_save(no_dir, Format::p6).error(); },
         [&] { wide.save(no_dir, Format::p6); },
         [&](PixpenError *e) {
             write_image(no_dir.c_str(), wide.get(), IMAGE_FORMAT_PPM_BINARY, e);
         }},
        {"TGA wider than 65535", [&] { return wide.try_encode(Format::tga).error(); },
         [&] { (void)wide.encode(Format::tga); },
         [&](PixpenError *e) {
             std::uint8_t *d = nullptr;
             std::size_t n = 0;
             encode_image(wide.get(), IMAGE_FORMAT_TGA, &d, &n, e);
         }},
    };
    for (const FailureRow &row : rows) {
        SCOPED_TRACE(row.what);
        PixpenError expected{};
        row.c_call(&expected);
        ASSERT_NE(expected.status, PIXPEN_OK);
        const Error got = row.try_form();
        EXPECT_EQ(got.status(), expected.status);
        EXPECT_EQ(got.message(), expected.message);
        try {
            row.throwing_form();
            ADD_FAILURE() << "no exception";
        } catch (const Exception &e) {
            EXPECT_EQ(e.status(), expected.status);
            EXPECT_STREQ(e.what(), expected.message);
        }
    }
    // The library's own reasons, not ones the header derives.
    EXPECT_EQ(Picture::try_create(-1, 3).error().message(), "Negative width, must be >= 0");
    EXPECT_EQ(Picture::try_create(-1, 3).error().status(), PIXPEN_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(Picture::try_create(65536, 65536).error().status(), PIXPEN_ERROR_TOO_LARGE);
    EXPECT_THROW((void)Picture::create(3, -1), Exception);
    EXPECT_EQ(Picture::try_create(0, 0).error().status(), PIXPEN_OK);
}

class CppRoundTrip : public ::testing::TestWithParam<Format> {};

TEST_P(CppRoundTrip, FileAndMemoryAgree) {
    test::TempDir dir;
    const Format format = GetParam();
    const Picture original = test::random_image(13, 6, static_cast<std::uint32_t>(format));
    const std::filesystem::path file = dir.path() / "picture";
    if (format == Format::png &&
        original.try_encode(format).error().status() == PIXPEN_ERROR_UNSUPPORTED_FORMAT) {
        GTEST_SKIP() << "PNG writing is not built in";
    }
    original.save(file, format);
    const Bytes bytes = original.encode(format);
    EXPECT_EQ(bytes, test::read_file(file.string()));
    if (format == Format::png &&
        Picture::try_decode_png(bytes).error().status() == PIXPEN_ERROR_UNSUPPORTED_FORMAT) {
        GTEST_SKIP() << "PNG reading is not built in";
    }
    EXPECT_TRUE(same_pixels(Picture::load(std::string_view(file.native())), original));
    EXPECT_TRUE(same_pixels(Picture::decode(bytes), original));
    const auto explicitly = format == Format::tga   ? Picture::try_decode_tga(bytes)
                            : format == Format::png ? Picture::try_decode_png(bytes)
                                                    : Picture::try_decode_ppm(bytes);
    ASSERT_TRUE(explicitly.has_value()) << explicitly.error().c_str();
    EXPECT_TRUE(same_pixels(*explicitly, original));
    EXPECT_TRUE(original.try_save(file.c_str(), format)); // const char * too
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, CppRoundTrip,
                         ::testing::Values(Format::tga, Format::p3, Format::p6, Format::png));

TEST(CppVersion, HeaderAndLibraryAgree) {
    EXPECT_EQ(library_version(), header_version);
    EXPECT_EQ(library_version_string(), std::to_string(PIXPEN_VERSION_MAJOR) + "." +
                                            std::to_string(PIXPEN_VERSION_MINOR) + "." +
                                            std::to_string(PIXPEN_VERSION_PATCH));
}

} // namespace
