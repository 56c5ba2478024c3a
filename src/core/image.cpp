#include "core/image.hpp"

#include <cstddef>
#include <cstdlib>

#include "core/pixel_memory.hpp"
#include "pixpen.h"

// The record is part of the ABI: callers in other languages declare it
// themselves, so its layout must never drift.
static_assert(sizeof(Color) == 3 && alignof(Color) == 1);
static_assert(offsetof(Color, r) == 0 && offsetof(Color, g) == 1 && offsetof(Color, b) == 2);
#if UINTPTR_MAX == UINT64_MAX
static_assert(offsetof(ImageRecord, pixels) == 0);
static_assert(offsetof(ImageRecord, width) == 8);
static_assert(offsetof(ImageRecord, height) == 12);
static_assert(offsetof(ImageRecord, turtle_x) == 16);
static_assert(offsetof(ImageRecord, turtle_y) == 20);
static_assert(offsetof(ImageRecord, turtle_angle) == 24);
static_assert(offsetof(ImageRecord, turtle_pen_down) == 28);
static_assert(offsetof(ImageRecord, turtle_color) == 29);
static_assert(sizeof(ImageRecord) == 32);
#elif UINTPTR_MAX == UINT32_MAX
static_assert(offsetof(ImageRecord, width) == 4);
static_assert(offsetof(ImageRecord, turtle_pen_down) == 24);
static_assert(offsetof(ImageRecord, turtle_color) == 25);
static_assert(sizeof(ImageRecord) == 28);
#endif
static_assert(sizeof(PixpenStatus) == sizeof(int), "bindings declare the status as an int");

namespace {

// What create_image hands out: the public record first, so that a handle
// points at both, then how its pixels must be given back. Keeping this out of
// the record leaves its layout alone and survives a caller editing its sizes.
struct OwnedImage {
    ImageRecord record;
    pixpen::detail::PixelBlock block;
};
static_assert(offsetof(OwnedImage, record) == 0);

} // namespace

extern "C" {

PIXPEN_API extern const Color WHITE = {255, 255, 255};

PIXPEN_API Image create_image(int width, int height) {
    const auto count = pixpen::detail::pixel_count(width, height);
    if (!count) {
        return nullptr;
    }
    auto *owned = static_cast<OwnedImage *>(std::calloc(1, sizeof(OwnedImage)));
    if (owned == nullptr) {
        return nullptr;
    }
    const std::size_t bytes = static_cast<std::size_t>(*count) * sizeof(Color);
    owned->block = pixpen::detail::allocate_zeroed_pixels(bytes);
    if (owned->block.pixels == nullptr) {
        std::free(owned);
        return nullptr;
    }
    Image image = &owned->record;
    image->pixels = static_cast<Color *>(owned->block.pixels);
    image->width = width;
    image->height = height;
    image->turtle_x = width / 2;
    image->turtle_y = height / 2;
    image->turtle_angle = 90;
    image->turtle_pen_down = true;
    image->turtle_color = Color{255, 255, 255};
    return image;
}

PIXPEN_API void destroy_image(Image image) {
    if (image == nullptr) {
        return;
    }
    auto *owned = reinterpret_cast<OwnedImage *>(image);
    pixpen::detail::release_pixels(owned->block);
    std::free(owned);
}

} // extern "C"
