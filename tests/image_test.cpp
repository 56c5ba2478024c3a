#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/image.hpp"
#include "test_support.hpp"

namespace {

using test::make_image;

struct RecordLayout {
    std::size_t pixels, width, height, turtle_x, turtle_y, turtle_angle, turtle_pen_down,
        turtle_color, size;
};

// Foreign callers declare the record field by field, so each pointer width has
// one documented layout.
constexpr RecordLayout layout_64bit{0, 8, 12, 16, 20, 24, 28, 29, 32};
constexpr RecordLayout layout_32bit{0, 4, 8, 12, 16, 20, 24, 25, 28};

TEST(Record, LayoutIsTheDocumentedAbi) {
    static_assert(sizeof(void *) == 8 || sizeof(void *) == 4);
    const RecordLayout &want = sizeof(void *) == 8 ? layout_64bit : layout_32bit;
    EXPECT_EQ(sizeof(Color), 3u);
    EXPECT_EQ(offsetof(ImageRecord, pixels), want.pixels);
    EXPECT_EQ(offsetof(ImageRecord, width), want.width);
    EXPECT_EQ(offsetof(ImageRecord, height), want.height);
    EXPECT_EQ(offsetof(ImageRecord, turtle_x), want.turtle_x);
    EXPECT_EQ(offsetof(ImageRecord, turtle_y), want.turtle_y);
    EXPECT_EQ(offsetof(ImageRecord, turtle_angle), want.turtle_angle);
    EXPECT_EQ(offsetof(ImageRecord, turtle_pen_down), want.turtle_pen_down);
    EXPECT_EQ(offsetof(ImageRecord, turtle_color), want.turtle_color);
    EXPECT_EQ(sizeof(ImageRecord), want.size);
}

struct NewImageCase {
    int width, height;
    int turtle_x, turtle_y;
};

void PrintTo(const NewImageCase &c, std::ostream *os) {
    *os << c.width << " " << c.height << " " << c.turtle_x << " " << c.turtle_y;
}

class CreateImage : public testing::TestWithParam<NewImageCase> {};

TEST_P(CreateImage, IsBlackWithTheTurtleCentredFacingNorth) {
    const auto c = GetParam();
    auto image = make_image(c.width, c.height);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, c.width);
    EXPECT_EQ(image->height, c.height);
    EXPECT_EQ(image->turtle_x, c.turtle_x);
    EXPECT_EQ(image->turtle_y, c.turtle_y);
    EXPECT_EQ(image->turtle_angle, 90);
    EXPECT_TRUE(image->turtle_pen_down);
    EXPECT_TRUE(test::same_color(image->turtle_color, WHITE));
    ASSERT_NE(image->pixels, nullptr);
    for (std::uint8_t byte : test::pixel_bytes(image.get())) {
        ASSERT_EQ(byte, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, CreateImage,
                         testing::Values(NewImageCase{5, 3, 2, 1}, NewImageCase{1, 1, 0, 0},
                                         NewImageCase{0, 0, 0, 0}, NewImageCase{200, 100, 100, 50},
                                         NewImageCase{7, 0, 3, 0}, NewImageCase{1, 1000, 0, 500},
                                         // Just over, and well over, the size that is
                                         // mapped on huge pages instead of the heap.
                                         NewImageCase{2048, 342, 1024, 171},
                                         NewImageCase{1024, 1024, 512, 512}));

#if defined(__linux__)
// A large image's pixels start on a huge-page boundary, where the kernel can
// back them with huge pages, and destroy_image gives the whole range back.
TEST(DestroyImage, ReturnsLargePixelsToTheSystem) {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    Image image = create_image(1024, 1024);
    ASSERT_NE(image, nullptr);
    do_clear(image, Color{1, 2, 3}); // backs every page
    auto *const start = reinterpret_cast<unsigned char *>(image->pixels);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(start) % kHugePage, 0U);
    const std::size_t bytes = std::size_t{1024} * 1024 * 3;
    std::vector<unsigned char> resident(bytes / 4096 + 1);
    ASSERT_EQ(mincore(start, bytes, resident.data()), 0);
    destroy_image(image);
    errno = 0;
    EXPECT_EQ(mincore(start, bytes, resident.data()), -1) << "the pixels are still mapped";
    EXPECT_EQ(errno, ENOMEM);
}
#endif

TEST(CreateImage, WhiteIsTheTurtleColour) {
    EXPECT_EQ(WHITE.r, 255);
    EXPECT_EQ(WHITE.g, 255);
    EXPECT_EQ(WHITE.b, 255);
}

// create_image refuses silently; create_image_checked says why, width first.
TEST(CreateImage, RefusesSizesOutsideTheContractSayingWhy) {
    struct Refused {
        int w, h;
        PixpenStatus status;
        const char *message;
    };
    const char *const width = "Negative width, must be >= 0";
    const char *const large = "Image dimensions too large";
    const Refused refused[] = {
        {-1, 1, PIXPEN_ERROR_BAD_ARGUMENT, width},
        {1, -1, PIXPEN_ERROR_BAD_ARGUMENT, "Negative height, must be >= 0"},
        {-5, -5, PIXPEN_ERROR_BAD_ARGUMENT, width},
        {INT_MIN, 1, PIXPEN_ERROR_BAD_ARGUMENT, width},
        {-1, INT_MAX, PIXPEN_ERROR_BAD_ARGUMENT, width},
        {65536, 32768, PIXPEN_ERROR_TOO_LARGE, large},
        {INT_MAX, 2, PIXPEN_ERROR_TOO_LARGE, large},
        {46341, 46341, PIXPEN_ERROR_TOO_LARGE, large},
        {INT_MAX, INT_MAX, PIXPEN_ERROR_TOO_LARGE, large},
    };
    for (const Refused &r : refused) {
        EXPECT_EQ(create_image(r.w, r.h), nullptr) << r.w << " x " << r.h;
        PixpenError error{};
        EXPECT_EQ(create_image_checked(r.w, r.h, &error), nullptr);
        EXPECT_EQ(error.status, r.status) << r.w << " x " << r.h;
        EXPECT_STREQ(error.message, r.message);
        EXPECT_EQ(create_image_checked(r.w, r.h, nullptr), nullptr);
    }
    PixpenError error{PIXPEN_ERROR_IO, "stale"};
    test::ImagePtr made(create_image_checked(5, 3, &error));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->width, 5);
    EXPECT_EQ(made->height, 3);
    EXPECT_EQ(error.status, PIXPEN_OK);
    EXPECT_STREQ(error.message, "");
}

// On a 32-bit target three bytes a pixel overflow size_t long before the
// pixel count overflows int32; a wrapped byte count would hand back a tiny
// array for a huge image.
TEST(CreateImage, RefusesPixelArraysBeyondTheAddressSpace) {
    if (sizeof(std::size_t) > 4) {
        GTEST_SKIP() << "every int32 pixel count is addressable with a 64-bit size_t";
    }
    const std::pair<int, int> refused[] = {
        {1431655766, 1}, // 3 * count wraps to 2 bytes
        {1, 1431655766},
        {46340, 46340}, // 6.4 GB
        {65535, 32767},
        {40000, 40000}, // fits int32, not the address space: too large, not out of memory
    };
    for (auto [w, h] : refused) {
        Image image = create_image(w, h);
        EXPECT_EQ(image, nullptr) << w << " x " << h;
        destroy_image(image);
        PixpenError error{};
        EXPECT_EQ(create_image_checked(w, h, &error), nullptr);
        EXPECT_EQ(error.status, PIXPEN_ERROR_TOO_LARGE) << w << " x " << h;
    }
}

// The limit itself, on any target: with 32-bit size_t's bound the largest
// addressable count passes and the next is refused.
TEST(PixelCount, StopsWhereBytesOrInt32RunOut) {
    constexpr std::int64_t bound32 = std::numeric_limits<std::uint32_t>::max() / 3;
    using pixpen::detail::pixel_count;
    EXPECT_EQ(pixel_count(bound32, 1, bound32), bound32);
    EXPECT_EQ(pixel_count(1, bound32 + 1, bound32), std::nullopt);
    EXPECT_EQ(pixel_count(INT32_MAX, 1, INT32_MAX), INT32_MAX);
    EXPECT_EQ(pixel_count(46341, 46341, INT32_MAX), std::nullopt);
    EXPECT_EQ(pixel_count(-1, 0), std::nullopt);
    EXPECT_EQ(pixel_count(0, INT32_MAX), 0);
    EXPECT_EQ(pixpen::detail::kMaxPixels, sizeof(std::size_t) > 4 ? INT32_MAX : bound32);
}

bool running_under_a_memory_tool() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
    return true;
#endif
#endif
    const char *preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "vgpreload") != nullptr;
}

enum class CappedRun { passed, failed, cap_ignored };

// Runs `body` in a child whose address space is capped, so that a large
// allocation fails for real. qemu-user accepts the cap but does not enforce
// it (its own allocations would fail too), and getrlimit then still reports
// the host's limit: such a run proves nothing and says so.
CappedRun run_with_memory_capped(const std::function<bool()> &body) {
    constexpr rlim_t one_gib = rlim_t{1} << 30;
    const pid_t child = fork();
    if (child == 0) {
        const rlimit cap{one_gib, one_gib};
        rlimit in_force{};
        if (setrlimit(RLIMIT_AS, &cap) != 0 || getrlimit(RLIMIT_AS, &in_force) != 0 ||
            in_force.rlim_cur != one_gib) {
            _exit(2);
        }
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status)) {
        return CappedRun::failed;
    }
    switch (WEXITSTATUS(status)) {
    case 0:
        return CappedRun::passed;
    case 2:
        return CappedRun::cap_ignored;
    default:
        return CappedRun::failed;
    }
}

TEST(CreateImage, ReturnsNullWhenThePixelsCannotBeAllocated) {
    if (running_under_a_memory_tool()) {
        GTEST_SKIP() << "address-space caps do not mix with sanitizer or valgrind allocators";
    }
    const CappedRun run = run_with_memory_capped([] {
        Image image = create_image(46340, 46340); // 6.4 GB of pixels
        destroy_image(image);
        PixpenError error{};
        Image checked = create_image_checked(20000, 20000, &error); // 1.2 GB, any target
        destroy_image(checked);
        return image == nullptr && checked == nullptr && error.status == PIXPEN_ERROR_OUT_OF_MEMORY;
    });
    if (run == CappedRun::cap_ignored) {
        GTEST_SKIP() << "the address-space cap is not enforced here (an emulator?)";
    }
    EXPECT_EQ(run, CappedRun::passed);
}

// PNG is encoded whole before the file is opened: running out of memory on
// the way must leave an existing file as it was.
TEST(WriteImage, PngOutOfMemoryKeepsTheOldFile) {
    if (running_under_a_memory_tool()) {
        GTEST_SKIP() << "address-space caps do not mix with sanitizer or valgrind allocators";
    }
    test::TempDir dir;
    const std::string path = dir.file("old.png");
    test::write_file(path, std::string_view("old bytes"));
    const CappedRun run = run_with_memory_capped([&] {
        // 432 MB of pixels, with more colours than a palette holds; the
        // encoder's buffers cannot all fit beside them under the cap.
        Image image = create_image(12000, 12000);
        if (image == nullptr) {
            return false;
        }
        for (int x = 0; x < 300; ++x) {
            do_pixel(image, x, 0, Color{static_cast<std::uint8_t>(x), 7, 9});
        }
        PixpenError error{};
        const bool written = write_image(path.c_str(), image, IMAGE_FORMAT_PNG, &error);
        destroy_image(image);
        return !written && (error.status == PIXPEN_ERROR_OUT_OF_MEMORY ||
                            error.status == PIXPEN_ERROR_UNSUPPORTED_FORMAT);
    });
    if (run == CappedRun::cap_ignored) {
        GTEST_SKIP() << "the address-space cap is not enforced here (an emulator?)";
    }
    EXPECT_EQ(run, CappedRun::passed);
    EXPECT_EQ(test::read_file(path), test::Bytes({'o', 'l', 'd', ' ', 'b', 'y', 't', 'e', 's'}));
}

TEST(DestroyImage, AcceptsNull) {
    destroy_image(nullptr);
}

// Every exported function must shrug off a NULL handle.
TEST(NullHandle, EveryOperationIsHarmless) {
    do_pixel(nullptr, 0, 0, WHITE);
    do_line(nullptr, 0, 0, 5, 5, WHITE);
    do_clear(nullptr, WHITE);
    do_invert(nullptr);
    do_reverse_rgb(nullptr);
    turtle_face_north(nullptr);
    turtle_left(nullptr, 10);
    turtle_right(nullptr, 10);
    turtle_pen_up(nullptr);
    turtle_pen_down(nullptr);
    turtle_set_color(nullptr, WHITE);
    EXPECT_FALSE(turtle_set_xy(nullptr, 0, 0));
    EXPECT_FALSE(turtle_move(nullptr, 0, 0));
    EXPECT_FALSE(turtle_forward(nullptr, 0));
    test::TempDir dir;
    const std::string path = dir.file("never.ppm");
    EXPECT_FALSE(write_tga(path.c_str(), nullptr));
    EXPECT_FALSE(write_ppm(path.c_str(), nullptr, true));
    EXPECT_FALSE(write_ppm(path.c_str(), nullptr, false));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(NullHandle, NullFileNamesFailCleanly) {
    auto image = make_image(2, 2);
    EXPECT_FALSE(write_tga(nullptr, image.get()));
    EXPECT_FALSE(write_ppm(nullptr, image.get(), false));
    EXPECT_EQ(read_tga(nullptr), nullptr);
    EXPECT_STRNE(get_last_error(), "");
    EXPECT_EQ(read_ppm(nullptr), nullptr);
    EXPECT_STRNE(get_last_error(), "");
}

TEST(EmptyImage, EveryPixelOperationDoesNothing) {
    auto image = make_image(0, 0);
    do_pixel(image.get(), 0, 0, WHITE);
    do_line(image.get(), -3, -3, 3, 3, WHITE);
    do_clear(image.get(), WHITE);
    do_invert(image.get());
    do_reverse_rgb(image.get());
    EXPECT_FALSE(turtle_forward(image.get(), 0));
    EXPECT_FALSE(turtle_move(image.get(), 0, 0));
    EXPECT_TRUE(turtle_set_xy(image.get(), 0, 0));
}

TEST(ErrorChannel, MessageStaysUntilTheNextFailure) {
    const std::string missing = "/nonexistent-directory/" + std::string(200, 'x');
    EXPECT_EQ(read_ppm(missing.c_str()), nullptr);
    const std::string first = get_last_error();
    EXPECT_FALSE(first.empty());
    EXPECT_LE(first.size(), 127u);
    EXPECT_EQ(get_last_error(), last_error);

    // Successful calls of any kind leave the message alone.
    test::TempDir dir;
    auto image = make_image(3, 2);
    ASSERT_TRUE(write_ppm(dir.file("ok.ppm").c_str(), image.get(), false));
    test::ImagePtr read_back(read_ppm(dir.file("ok.ppm").c_str()));
    ASSERT_NE(read_back, nullptr);
    EXPECT_EQ(first, get_last_error());
}

} // namespace
