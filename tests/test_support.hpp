#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "pixpen.h"
#include "pixpen.hpp"

namespace test {

// Owns an image; get(), ->, == nullptr and adoption of a raw handle work as
// they did with the unique_ptr it replaces. Null if creation fails.
using ImagePtr = pixpen::Picture;

inline ImagePtr make_image(int width, int height) {
    return ImagePtr(create_image(width, height));
}

// A fresh directory, removed with everything in it when the test ends.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string file(std::string_view name) const { return (path_ / name).string(); }
    const std::filesystem::path &path() const { return path_; }

  private:
    std::filesystem::path path_;
};

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(std::string_view text);
void write_file(const std::string &path, const Bytes &bytes);
void write_file(const std::string &path, std::string_view text);
Bytes read_file(const std::string &path);

// Raw bytes of an image's pixel array, for whole-array comparisons.
Bytes pixel_bytes(Image image);

// An image whose pixels come from a seeded generator.
ImagePtr random_image(int width, int height, std::uint32_t seed);

inline bool same_color(Color a, Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

inline Color pixel_at(Image image, int x, int y) {
    return image->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image->width) +
                         static_cast<std::size_t>(x)];
}

// Bytes at the very end of a readable mapping, with an unreadable page right
// after them: a decoder that reads one byte too far faults.
class GuardedBytes {
  public:
    explicit GuardedBytes(std::string_view bytes);
    ~GuardedBytes();
    GuardedBytes(const GuardedBytes &) = delete;
    GuardedBytes &operator=(const GuardedBytes &) = delete;
    const std::uint8_t *data() const { return data_; }

  private:
    std::uint8_t *base_ = nullptr;
    std::uint8_t *data_ = nullptr;
    std::size_t length_ = 0;
};

// Open file descriptors of this process, to catch a leaked FILE*.
int open_descriptor_count();

} // namespace test
