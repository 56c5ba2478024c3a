#include "formats/file.hpp"

#include <sys/stat.h>

#include <algorithm>

namespace pixpen::detail {

std::optional<std::uint64_t> File::regular_file_size() const noexcept {
    struct stat info {};
    if (fstat(fileno(handle_), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool ByteReader::refill() noexcept {
    delivered_before_buffer_ += len_;
    pos_ = 0;
    len_ = std::fread(buffer_, 1, capacity, file_);
    return len_ > 0;
}

std::size_t ByteReader::read(void *destination, std::size_t size) noexcept {
    auto *out = static_cast<unsigned char *>(destination);
    const std::size_t buffered = std::min(size, len_ - pos_);
    std::memcpy(out, buffer_ + pos_, buffered);
    pos_ += buffered;
    std::size_t done = buffered;
    if (done < size) {
        const std::size_t direct = std::fread(out + done, 1, size - done, file_);
        delivered_before_buffer_ += direct;
        done += direct;
    }
    return done;
}

} // namespace pixpen::detail
