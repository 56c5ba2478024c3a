#include "test_support.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pixpen-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Bytes bytes_of(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

void write_file(const std::string &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

void write_file(const std::string &path, std::string_view text) {
    write_file(path, bytes_of(text));
}

Bytes read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes pixel_bytes(Image image) {
    const auto *begin = reinterpret_cast<const std::uint8_t *>(image->pixels);
    return Bytes(begin, begin + static_cast<std::size_t>(image->width) *
                                    static_cast<std::size_t>(image->height) * 3);
}

ImagePtr random_image(int width, int height, std::uint32_t seed) {
    ImagePtr image = make_image(width, height);
    std::mt19937 rng(seed);
    auto *bytes = reinterpret_cast<std::uint8_t *>(image->pixels);
    for (std::size_t i = 0;
         i < static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3; ++i) {
        bytes[i] = static_cast<std::uint8_t>(rng());
    }
    return image;
}

GuardedBytes::GuardedBytes(std::string_view bytes) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    length_ = (bytes.size() + page - 1) / page * page + page;
    void *base = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED ||
        mprotect(static_cast<std::uint8_t *>(base) + length_ - page, page, PROT_NONE) != 0) {
        throw std::runtime_error("cannot map guarded bytes");
    }
    base_ = static_cast<std::uint8_t *>(base);
    data_ = base_ + length_ - page - bytes.size();
    std::copy(bytes.begin(), bytes.end(), data_);
}

GuardedBytes::~GuardedBytes() {
    munmap(base_, length_);
}

int open_descriptor_count() {
    int count = 0;
    for ([[maybe_unused]] const auto &entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

} // namespace test
