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

// Asks for huge pages on a large buffer that is written front to back once,
// where the system offers them: most of its cost is otherwise the first touch
// of each fresh page. Advice only; the buffer works the same without.
void advise_huge_pages(unsigned char *bytes, std::size_t size) noexcept;

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
    // errno as the first failed write or close left it; 0 if none failed.
    int write_error() const noexcept { return write_errno_; }

    // Closes now; false when the stream had failed or flushing it failed.
    bool close() noexcept;

    bool write(const void *data, std::size_t size) noexcept {
        errno = 0;
        if (size == 0 || std::fwrite(data, 1, size, handle_) == size) {
            return true;
        }
        note_write_error();
        return false;
    }

  private:
    void note_write_error() noexcept {
        if (write_errno_ == 0) {
            write_errno_ = errno != 0 ? errno : EIO;
        }
    }

    std::FILE *handle_;
    int open_errno_;
    int write_errno_ = 0;
};

// The one byte source under every reader: a file read through an aligned
// 64 KiB buffer, or bytes in memory taken in place. Single-byte reads cost a
// compare and a load, there is one byte of push-back, and bulk reads bypass
// the buffer once it is drained. A stream error is remembered and reads as
// end of file from then on, so a reader never takes it for the real end:
// it asks failed() before it accepts what it read.
class ByteReader {
  public:
    static constexpr int end_of_file = -1;

    explicit ByteReader(std::FILE *file) noexcept;
    ByteReader(const void *data, std::size_t size) noexcept;

    bool ready() const noexcept { return buffer_ != nullptr; }

    int get() noexcept {
        if (pos_ == len_ && !refill()) {
            return end_of_file;
        }
        return buffer_[pos_++];
    }

    // The buffered bytes not yet taken, for parsers that scan them in place;
    // skip(n) takes n of them. fill() makes the window non-empty unless the
    // input is exhausted.
    const unsigned char *window() const noexcept { return buffer_ + pos_; }
    std::size_t window_size() const noexcept { return len_ - pos_; }
    void skip(std::size_t n) noexcept { pos_ += n; }
    bool fill() noexcept { return pos_ < len_ || refill(); }

    // Gives back the byte the last get() returned.
    void unget() noexcept { --pos_; }

    // Copies up to `size` bytes; fewer only at the end or on an error.
    std::size_t read(void *destination, std::size_t size) noexcept;

    // Bytes taken so far.
    std::uint64_t offset() const noexcept { return delivered_before_buffer_ + pos_; }

    // Bytes still to come, when the source knows its length: memory and
    // regular files do, pipes and devices do not.
    std::optional<std::uint64_t> bytes_left() const noexcept;

    // True once the stream has reported a read error.
    bool failed() const noexcept { return failed_; }

  private:
    static constexpr std::size_t capacity = std::size_t{1} << 16;

    bool refill() noexcept;
    void note_short_read(std::size_t got, std::size_t wanted) noexcept;

    std::FILE *file_ = nullptr; // nullptr for memory
    std::unique_ptr<unsigned char[]> storage_;
    const unsigned char *buffer_ = nullptr; // the aligned block, or the caller's bytes
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    std::uint64_t delivered_before_buffer_ = 0;
    std::optional<std::uint64_t> length_;
    bool failed_ = false;
};

// The one byte sink under every encoder: a file, fed whole page-aligned
// blocks from a staging block, or a heap buffer that is handed to the caller.
// Producers write at a cursor between begin() and block_end() and may run up
// to `slack` bytes past block_end() before calling advance().
class ByteWriter {
  public:
    static constexpr std::size_t block = std::size_t{1} << 16;
    static constexpr std::size_t slack = 64;

    // Must be made before anything is written to `file`: the stream's own
    // buffer is switched off, since whole blocks need no second copy and
    // stdio would otherwise split each one into two writes.
    explicit ByteWriter(File &file) noexcept;
    // Into memory, expecting about `size` bytes (counted in 64 bits, so that
    // no caller's sum can wrap); more are allowed.
    explicit ByteWriter(std::uint64_t size) noexcept;
    ByteWriter(const ByteWriter &) = delete;
    ByteWriter &operator=(const ByteWriter &) = delete;
    ~ByteWriter() { std::free(memory_); }

    bool ready() const noexcept { return data_ != nullptr; }
    unsigned char *begin() const noexcept { return data_; }
    unsigned char *block_end() const noexcept { return data_ + capacity_; }

    // Once `cursor` has reached block_end(): a file gets the block and the
    // bytes past it move to the front; memory grows. The cursor follows.
    bool advance(unsigned char *&cursor) noexcept;

    // Puts `size` bytes from `data` at the cursor; big runs go to a file
    // directly, without staging.
    bool put(unsigned char *&cursor, const void *data, std::size_t size) noexcept;

    // Memory only: room for `size` more bytes at the cursor, for a producer
    // that writes a long run in place (a compressor, say). false for a file,
    // whose block is fixed, and when memory runs out. The cursor follows.
    bool reserve(unsigned char *&cursor, std::uint64_t size) noexcept;

    // Writes what is left, up to `cursor`.
    bool finish(const unsigned char *cursor) noexcept;

    // Memory only, after finish(): the bytes, now the caller's (std::free).
    unsigned char *release(std::size_t &size) noexcept;

    // Why the last call failed: memory ran out (else the file's write_error()).
    bool out_of_memory() const noexcept { return file_ == nullptr; }

  private:
    bool grow(std::size_t needed) noexcept;

    File *file_ = nullptr; // nullptr for memory
    std::unique_ptr<unsigned char[]> storage_;
    unsigned char *memory_ = nullptr; // the heap buffer in memory mode
    unsigned char *data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0; // memory: bytes finished
};

} // namespace pixpen::detail
