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

// Where staging buffers start, so that whole blocks written from them line up
// with the file's pages: copying into the page cache is fastest that way.
constexpr std::size_t kStagingAlignment = 4096;

inline unsigned char *align_staging(unsigned char *storage) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(storage);
    return storage + (kStagingAlignment - address % kStagingAlignment) % kStagingAlignment;
}

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
        : file_(file), storage_(new (std::nothrow) unsigned char[capacity + kStagingAlignment]),
          buffer_(storage_ != nullptr ? align_staging(storage_.get()) : nullptr) {}

    bool ready() const noexcept { return buffer_ != nullptr; }

    int get() noexcept {
        if (pos_ == len_ && !refill()) {
            return end_of_file;
        }
        return buffer_[pos_++];
    }

    // The buffered bytes not yet taken, for parsers that scan them in place;
    // skip(n) takes n of them. fill() makes the window non-empty unless the
    // file is exhausted.
    const unsigned char *window() const noexcept { return buffer_ + pos_; }
    std::size_t window_size() const noexcept { return len_ - pos_; }
    void skip(std::size_t n) noexcept { pos_ += n; }
    bool fill() noexcept { return pos_ < len_ || refill(); }

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
    std::unique_ptr<unsigned char[]> storage_;
    unsigned char *buffer_; // storage_, page-aligned: refills land on whole pages
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    std::uint64_t delivered_before_buffer_ = 0;
};

// Output staged through one page-aligned block: the file receives whole
// blocks, each from an aligned address to an aligned offset, and the rest at
// finish(). Producers write at a cursor and may run up to `slack` bytes past
// the block before calling advance().
class BlockWriter {
  public:
    static constexpr std::size_t block = std::size_t{1} << 16;
    static constexpr std::size_t slack = 64;

    // Must be made before anything is written to `file`: the stream's own
    // buffer is switched off, since whole blocks need no second copy and
    // stdio would otherwise split each one into two writes.
    explicit BlockWriter(File &file) noexcept
        : file_(file),
          storage_(new (std::nothrow) unsigned char[block + slack + kStagingAlignment]),
          data_(storage_ != nullptr ? align_staging(storage_.get()) : nullptr) {
        std::setvbuf(file.get(), nullptr, _IONBF, 0);
    }

    bool ready() const noexcept { return data_ != nullptr; }
    unsigned char *begin() const noexcept { return data_; }
    unsigned char *block_end() const noexcept { return data_ + block; }

    // Once `cursor` has reached the end of the block: writes the block,
    // moves the bytes past it to the front and the cursor with them.
    bool advance(unsigned char *&cursor) noexcept {
        if (cursor < data_ + block) {
            return true;
        }
        if (!file_.write(data_, block)) {
            return false;
        }
        const auto over = static_cast<std::size_t>(cursor - (data_ + block));
        std::memmove(data_, data_ + block, over);
        cursor = data_ + over;
        return true;
    }

    // Writes what is left, up to `cursor`.
    bool finish(const unsigned char *cursor) noexcept {
        return file_.write(data_, static_cast<std::size_t>(cursor - data_));
    }

  private:
    File &file_;
    std::unique_ptr<unsigned char[]> storage_;
    unsigned char *data_;
};

} // namespace pixpen::detail
