#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

namespace pixpen::detail {

// Owns a FILE* so that every path out of a reader or writer closes it.
class File {
  public:
    File(const char *name, const char *mode) noexcept
        : handle_(name != nullptr ? std::fopen(name, mode) : nullptr),
          open_errno_(name != nullptr ? errno : EINVAL) {}
    File(const File &) = delete;
    File &operator=(const File &) = delete;
    ~File() { close(); }

    explicit operator bool() const noexcept { return handle_ != nullptr; }
    std::FILE *get() const noexcept { return handle_; }
    // errno as the failed open left it.
    int open_error() const noexcept { return open_errno_; }

    // Closes now; false when the stream had failed or flushing it failed.
    bool close() noexcept {
        if (handle_ == nullptr) {
            return true;
        }
        const bool ok = std::ferror(handle_) == 0;
        const bool closed = std::fclose(handle_) == 0;
        handle_ = nullptr;
        return ok && closed;
    }

    bool write(const void *data, std::size_t size) noexcept {
        return size == 0 || std::fwrite(data, 1, size, handle_) == size;
    }

    // Bytes in the file when it is a regular file; nothing for pipes,
    // devices and the like, whose length cannot be known in advance.
    std::optional<std::uint64_t> regular_file_size() const noexcept;

  private:
    std::FILE *handle_;
    int open_errno_;
};

// Buffered byte source for the readers: single-byte reads that cost a
// compare and a load, one byte of push-back, and bulk reads that bypass the
// buffer once it is drained.
class ByteReader {
  public:
    static constexpr int end_of_file = -1;

    explicit ByteReader(std::FILE *file) noexcept
        : file_(file), buffer_(new (std::nothrow) unsigned char[capacity]) {}

    bool ready() const noexcept { return buffer_ != nullptr; }

    int get() noexcept {
        if (pos_ == len_ && !refill()) {
            return end_of_file;
        }
        return buffer_[pos_++];
    }

    // Gives back the byte the last get() returned.
    void unget() noexcept { --pos_; }

    // Copies up to `size` bytes; fewer only at end of file or on an error.
    std::size_t read(void *destination, std::size_t size) noexcept;

    // Bytes taken from the file so far.
    std::uint64_t offset() const noexcept { return delivered_before_buffer_ + pos_; }

  private:
    static constexpr std::size_t capacity = std::size_t{1} << 16;

    bool refill() noexcept;

    std::FILE *file_;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    std::uint64_t delivered_before_buffer_ = 0;
};

} // namespace pixpen::detail
