#include "formats/file.hpp"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace pixpen::detail {

namespace {

// Whatever the buffer is, it is never NULL, so that an empty input in memory
// is not mistaken for a failed allocation.
constexpr unsigned char kNoBytes[1] = {0};

std::optional<std::uint64_t> regular_file_size(std::FILE *file) noexcept {
    struct stat info {};
    const int fd = fileno(file);
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

} // namespace

// Only whole pages inside the buffer can be advised.
void advise_huge_pages(unsigned char *bytes, std::size_t size) noexcept {
#if defined(MADV_HUGEPAGE)
    constexpr std::size_t kWorthIt = std::size_t{4} << 20;
    if (bytes == nullptr || size < kWorthIt) {
        return;
    }
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(bytes) + page - 1) / page * page;
    const auto end = (reinterpret_cast<std::uintptr_t>(bytes) + size) / page * page;
    // Advice only: where it is refused, the buffer works the same.
    static_cast<void>(madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE));
#else
    static_cast<void>(bytes);
    static_cast<void>(size);
#endif
}

bool File::close() noexcept {
    if (handle_ == nullptr) {
        return true;
    }
    const bool ok = std::ferror(handle_) == 0;
    if (!ok) {
        note_write_error();
    }
    errno = 0;
    const bool closed = std::fclose(handle_) == 0;
    if (!closed) {
        note_write_error();
    }
    handle_ = nullptr;
    return ok && closed;
}

ByteReader::ByteReader(std::FILE *file) noexcept
    : file_(file), storage_(new (std::nothrow) unsigned char[capacity + kStagingAlignment]),
      buffer_(storage_ != nullptr ? align_staging(storage_.get()) : nullptr),
      length_(regular_file_size(file)) {}

ByteReader::ByteReader(const void *data, std::size_t size) noexcept
    : buffer_(data != nullptr ? static_cast<const unsigned char *>(data) : kNoBytes),
      len_(data != nullptr ? size : 0), length_(len_) {}

std::optional<std::uint64_t> ByteReader::bytes_left() const noexcept {
    if (!length_) {
        return std::nullopt;
    }
    return *length_ - std::min(*length_, offset());
}

void ByteReader::note_short_read(std::size_t got, std::size_t wanted) noexcept {
    if (got < wanted && std::ferror(file_) != 0) {
        failed_ = true;
    }
}

bool ByteReader::refill() noexcept {
    if (file_ == nullptr || failed_) {
        return false;
    }
    delivered_before_buffer_ += len_;
    pos_ = 0;
    // The block is ours: storage_ holds it, buffer_ only looks at it.
    unsigned char *block = align_staging(storage_.get());
    len_ = std::fread(block, 1, capacity, file_);
    note_short_read(len_, capacity);
    return len_ > 0;
}

std::size_t ByteReader::read(void *destination, std::size_t size) noexcept {
    auto *out = static_cast<unsigned char *>(destination);
    const std::size_t buffered = std::min(size, len_ - pos_);
    if (buffered > 0) {
        std::memcpy(out, buffer_ + pos_, buffered);
        pos_ += buffered;
    }
    std::size_t done = buffered;
    if (done < size && file_ != nullptr && !failed_) {
        const std::size_t direct = std::fread(out + done, 1, size - done, file_);
        note_short_read(direct, size - done);
        delivered_before_buffer_ += direct;
        done += direct;
    }
    return done;
}

ByteWriter::ByteWriter(File &file) noexcept
    : file_(&file), storage_(new (std::nothrow) unsigned char[block + slack + kStagingAlignment]),
      data_(storage_ != nullptr ? align_staging(storage_.get()) : nullptr), capacity_(block) {
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
}

ByteWriter::ByteWriter(std::uint64_t size) noexcept {
    // A count that does not fit the address space, slack included, cannot be
    // allocated: the sink is then not ready, as when memory runs out.
    if (size > SIZE_MAX - slack) {
        return;
    }
    memory_ = data_ = static_cast<unsigned char *>(std::malloc(size + slack));
    capacity_ = memory_ != nullptr ? static_cast<std::size_t>(size) : 0;
    advise_huge_pages(memory_, capacity_);
}

bool ByteWriter::grow(std::size_t needed) noexcept {
    std::size_t capacity = capacity_;
    while (capacity < needed) {
        if (capacity > (SIZE_MAX - slack) / 2) {
            return false;
        }
        capacity = std::max<std::size_t>(2 * capacity, block);
    }
    auto *grown = static_cast<unsigned char *>(std::realloc(memory_, capacity + slack));
    if (grown == nullptr) {
        return false;
    }
    memory_ = data_ = grown;
    capacity_ = capacity;
    return true;
}

bool ByteWriter::advance(unsigned char *&cursor) noexcept {
    if (cursor < block_end()) {
        return true;
    }
    const auto used = static_cast<std::size_t>(cursor - data_);
    if (file_ == nullptr) {
        if (!grow(used + 1)) {
            return false;
        }
        cursor = data_ + used;
        return true;
    }
    if (!file_->write(data_, block)) {
        return false;
    }
    const std::size_t over = used - block;
    std::memmove(data_, data_ + block, over);
    cursor = data_ + over;
    return true;
}

bool ByteWriter::put(unsigned char *&cursor, const void *data, std::size_t size) noexcept {
    const auto used = static_cast<std::size_t>(cursor - data_);
    if (file_ != nullptr) {
        const bool written = file_->write(data_, used) && file_->write(data, size);
        cursor = data_;
        return written;
    }
    if (size > SIZE_MAX - used || (used + size > capacity_ && !grow(used + size))) {
        return false;
    }
    if (size > 0) {
        std::memcpy(data_ + used, data, size);
    }
    cursor = data_ + used + size;
    return true;
}

bool ByteWriter::reserve(unsigned char *&cursor, std::uint64_t size) noexcept {
    const auto used = static_cast<std::size_t>(cursor - data_);
    if (file_ != nullptr) {
        return false;
    }
    if (size > SIZE_MAX - slack - used) {
        return false;
    }
    const std::size_t needed = used + static_cast<std::size_t>(size);
    if (needed > capacity_) {
        // Exactly what is asked: the run is the bulk of the output.
        auto *grown = static_cast<unsigned char *>(std::realloc(memory_, needed + slack));
        if (grown == nullptr) {
            return false;
        }
        memory_ = data_ = grown;
        capacity_ = needed;
        advise_huge_pages(memory_, capacity_);
    }
    cursor = data_ + used;
    return true;
}

bool ByteWriter::finish(const unsigned char *cursor) noexcept {
    const auto used = static_cast<std::size_t>(cursor - data_);
    if (file_ != nullptr) {
        return file_->write(data_, used);
    }
    size_ = used;
    return true;
}

unsigned char *ByteWriter::release(std::size_t &size) noexcept {
    size = size_;
    unsigned char *bytes = memory_;
    memory_ = data_ = nullptr;
    // Encoders may have reserved more than they used; give the rest back.
    if (auto *fitted = static_cast<unsigned char *>(std::realloc(bytes, size == 0 ? 1 : size))) {
        bytes = fitted;
    }
    return bytes;
}

} // namespace pixpen::detail
