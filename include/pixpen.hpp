/*
 * pixpen.hpp: the C++ face of pixpen, header-only, over the C ABI of pixpen.h.
 *
 * - `pixpen::Picture` owns one image (move-only; `clone()` copies it deeply).
 * - Every operation that can fail comes twice: `X(...)` throws
 *   `pixpen::Exception`, `try_X(...)` returns a `pixpen::Result<T>` holding the
 *   value or the `pixpen::Error`, and never throws. The throwing half exists
 *   only when exceptions are enabled; the rest compiles with -fno-exceptions.
 * - Pixels are a `pixpen::Span<Color>`: `std::span` in C++20, a small view of
 *   the same shape in C++17.
 * - `picture.turtle()` is a view of the image's turtle whose moves chain and
 *   remember whether they succeeded.
 *
 * Nothing here is exported from the library: every function is inline and
 * only adapts types and errors. Names in namespace pixpen differ from every
 * name of the C header, so `using namespace pixpen;` beside pixpen.h is safe.
 */
#ifndef PIXPEN_HPP
#define PIXPEN_HPP

#include <cassert>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#if __cplusplus >= 202002L && __has_include(<span>)
#include <span>
#endif
#if defined(__cpp_exceptions)
#include <stdexcept>
#endif

#include "pixpen.h"

/* Colours are equal when every channel is. Color is the C record, which lives
 * in the global namespace: declared there, these are found from any
 * namespace, `using namespace pixpen;` or not. */
[[nodiscard]] constexpr bool operator==(Color a, Color b) noexcept {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}
[[nodiscard]] constexpr bool operator!=(Color a, Color b) noexcept {
    return !(a == b);
}

namespace pixpen {

using ::Color;
using ::ImageRecord;

/* A polygon vertex, x and y as int32_t. */
using Point = ::PixpenPoint;

/* The status codes of the C API, under a C++ name: PIXPEN_OK, PIXPEN_ERROR_... */
using Status = ::PixpenStatus;

/* The encoded forms a picture can be saved or encoded in. */
enum class Format : int {
    tga = IMAGE_FORMAT_TGA,
    p3 = IMAGE_FORMAT_PPM_ASCII,
    p6 = IMAGE_FORMAT_PPM_BINARY,
    png = IMAGE_FORMAT_PNG,
};

/* How PNG output trades time for size (the C PixpenPngLevel). */
enum class PngLevel : int {
    default_level = PIXPEN_PNG_LEVEL_DEFAULT,
    fastest = PIXPEN_PNG_LEVEL_FASTEST,
    smallest = PIXPEN_PNG_LEVEL_SMALLEST,
};

/* Choices for saving and encoding; formats other than PNG ignore png_level. */
struct EncodeOptions {
    PngLevel png_level = PngLevel::default_level;
};

namespace internal {
inline PixpenEncodeOptions c_options(const EncodeOptions &options) noexcept {
    PixpenEncodeOptions c{};
    c.size = sizeof c;
    c.png_level = static_cast<int>(options.png_level);
    return c;
}
} // namespace internal

/* The version of the header being compiled, MAJOR * 10000 + MINOR * 100 + PATCH. */
inline constexpr int header_version =
    PIXPEN_VERSION_MAJOR * 10000 + PIXPEN_VERSION_MINOR * 100 + PIXPEN_VERSION_PATCH;

/* The version of the library loaded at run time, in the same form. */
[[nodiscard]] inline int library_version() noexcept {
    return ::get_version();
}

/* The version of the library loaded at run time, "MAJOR.MINOR.PATCH". */
[[nodiscard]] inline std::string_view library_version_string() noexcept {
    return ::get_version_string();
}

// ---- views ------------------------------------------------------------------

#if __cplusplus >= 202002L && defined(__cpp_lib_span)
template <class T> using Span = std::span<T>;
#else
/* C++17 stand-in for std::span<T> (dynamic extent): a pointer and a count. */
template <class T> class Span {
  public:
    using element_type = T;
    using value_type = std::remove_cv_t<T>;
    using size_type = std::size_t;
    using pointer = T *;
    using reference = T &;
    using iterator = T *;

    constexpr Span() noexcept = default;
    constexpr Span(T *data, std::size_t size) noexcept : data_(data), size_(size) {}
    // Any contiguous range of elements convertible to T: vectors, arrays,
    // strings, and Span<U> for Span<const U>.
    template <
        class Range,
        class = std::enable_if_t<std::is_convertible_v<
            std::remove_pointer_t<decltype(std::data(std::declval<Range &>()))> (*)[], T (*)[]>>,
        class = decltype(std::size(std::declval<Range &>()))>
    constexpr Span(Range &&range) noexcept(noexcept(std::data(range)))
        : data_(std::data(range)), size_(std::size(range)) {}

    [[nodiscard]] constexpr T *data() const noexcept { return data_; }
    [[nodiscard]] constexpr std::size_t size() const noexcept { return size_; }
    [[nodiscard]] constexpr std::size_t size_bytes() const noexcept { return size_ * sizeof(T); }
    [[nodiscard]] constexpr bool empty() const noexcept { return size_ == 0; }
    [[nodiscard]] constexpr T *begin() const noexcept { return data_; }
    [[nodiscard]] constexpr T *end() const noexcept { return data_ + size_; }
    [[nodiscard]] constexpr T &operator[](std::size_t i) const noexcept {
        assert(i < size_);
        return data_[i];
    }
    [[nodiscard]] constexpr T &front() const noexcept { return (*this)[0]; }
    [[nodiscard]] constexpr T &back() const noexcept { return (*this)[size_ - 1]; }
    [[nodiscard]] constexpr Span subspan(std::size_t offset, std::size_t count) const noexcept {
        assert(offset <= size_ && count <= size_ - offset);
        return Span(data_ + offset, count);
    }

  private:
    T *data_ = nullptr;
    std::size_t size_ = 0;
};
#endif

/* Encoded bytes, as encode() returns them and decode() accepts them. */
using Bytes = std::vector<std::uint8_t>;

// ---- errors -----------------------------------------------------------------

/* Why an operation failed: the status code and message of the C API's
 * PixpenError record, held by value (no allocation, copying never fails). */
class Error {
  public:
    /* PIXPEN_OK with an empty message. */
    Error() noexcept : record_{PIXPEN_OK, {}} {}
    explicit Error(const PixpenError &record) noexcept : record_(record) {
        record_.message[sizeof record_.message - 1] = '\0';
    }
    Error(Status status, std::string_view message) noexcept : record_{status, {}} {
        const std::size_t length =
            message.size() < sizeof record_.message ? message.size() : sizeof record_.message - 1;
        std::memcpy(record_.message, message.data(), length);
        record_.message[length] = '\0';
    }

    [[nodiscard]] Status status() const noexcept { return record_.status; }
    [[nodiscard]] std::string_view message() const noexcept { return record_.message; }
    /* The message as a NUL-terminated string, for printf and friends. */
    [[nodiscard]] const char *c_str() const noexcept { return record_.message; }
    [[nodiscard]] const PixpenError &record() const noexcept { return record_; }

  private:
    PixpenError record_;
};

#if defined(__cpp_exceptions)
/* Thrown by the throwing half of the API; what() is the error's message. */
class Exception : public std::runtime_error {
  public:
    explicit Exception(const Error &error) : std::runtime_error(error.c_str()), error_(error) {}
    [[nodiscard]] Status status() const noexcept { return error_.status(); }
    [[nodiscard]] const Error &error() const noexcept { return error_; }

  private:
    Error error_;
};
#endif

namespace internal {

// The one place a failure turns into a throw, or, without exceptions, into
// an abort that still says why.
[[noreturn]] inline void fail(const Error &error) {
#if defined(__cpp_exceptions)
    throw Exception(error);
#else
    std::fprintf(stderr, "pixpen: unchecked error: %s\n", error.c_str());
    std::abort();
#endif
}

} // namespace internal

/* The value of an operation that succeeded, or the Error of one that failed.
 * Test it (`if (result)`, `has_value()`) before `*result`; value() checks for
 * you and throws the Exception (without exceptions: prints and aborts).
 * error() is PIXPEN_OK on success. */
template <class T> class [[nodiscard]] Result {
  public:
    Result(T value) noexcept(std::is_nothrow_move_constructible_v<T>) : value_(std::move(value)) {}
    Result(Error error) noexcept : error_(error) { assert(error.status() != PIXPEN_OK); }

    [[nodiscard]] bool has_value() const noexcept { return value_.has_value(); }
    explicit operator bool() const noexcept { return has_value(); }

    [[nodiscard]] T &operator*() &noexcept { return *value_; }
    [[nodiscard]] const T &operator*() const &noexcept { return *value_; }
    [[nodiscard]] T operator*() &&noexcept(std::is_nothrow_move_constructible_v<T>) {
        return std::move(*value_);
    }
    [[nodiscard]] T *operator->() noexcept { return &*value_; }
    [[nodiscard]] const T *operator->() const noexcept { return &*value_; }

    [[nodiscard]] T &value() & {
        check();
        return *value_;
    }
    [[nodiscard]] const T &value() const & {
        check();
        return *value_;
    }
    // By value: a reference into a temporary Result would dangle.
    [[nodiscard]] T value() && {
        check();
        return std::move(*value_);
    }
    template <class U> [[nodiscard]] T value_or(U &&fallback) const & {
        return value_ ? *value_ : static_cast<T>(std::forward<U>(fallback));
    }
    template <class U> [[nodiscard]] T value_or(U &&fallback) && {
        return value_ ? std::move(*value_) : static_cast<T>(std::forward<U>(fallback));
    }

    [[nodiscard]] const Error &error() const noexcept { return error_; }

  private:
    void check() const {
        if (!value_) {
            internal::fail(error_);
        }
    }

    std::optional<T> value_;
    Error error_;
};

/* The result of an operation with no value: success or the Error. */
template <> class [[nodiscard]] Result<void> {
  public:
    Result() noexcept = default;
    Result(Error error) noexcept : error_(error) { assert(error.status() != PIXPEN_OK); }

    [[nodiscard]] bool has_value() const noexcept { return error_.status() == PIXPEN_OK; }
    explicit operator bool() const noexcept { return has_value(); }
    void value() const {
        if (!has_value()) {
            internal::fail(error_);
        }
    }
    [[nodiscard]] const Error &error() const noexcept { return error_; }

  private:
    Error error_;
};

namespace internal {

// A file name as the C API wants it, NUL-terminated, from whatever names a
// file in C++. One parameter type instead of four overloads, which would be
// ambiguous for string literals.
class PathArg {
  public:
    PathArg(const std::filesystem::path &path) noexcept : c_str_(path.c_str()) {}
    PathArg(const char *name) noexcept : c_str_(name) {}
    PathArg(const std::string &name) noexcept : c_str_(name.c_str()) {}
    PathArg(std::string_view name) : copy_(name), c_str_(copy_.c_str()) {}
    PathArg(const PathArg &) = delete;
    PathArg &operator=(const PathArg &) = delete;

    [[nodiscard]] const char *c_str() const noexcept { return c_str_; }

  private:
    std::string copy_;
    const char *c_str_;
};

// Takes a C-allocated encoding into a vector; the C buffer is freed either way.
inline Result<Bytes> take_buffer(std::uint8_t *data, std::size_t size) noexcept {
    struct Free {
        std::uint8_t *data;
        ~Free() { ::free_buffer(data); }
    } owner{data};
#if defined(__cpp_exceptions)
    try {
        return Bytes(data, data + size);
    } catch (const std::bad_alloc &) {
        return Error(PIXPEN_ERROR_OUT_OF_MEMORY, "Out of memory");
    }
#else
    return Bytes(data, data + size);
#endif
}

} // namespace internal

// ---- the turtle -------------------------------------------------------------

/* A view of the turtle that an image carries: cheap to copy, holding no
 * ownership, valid while the image lives. Every method returns the view, so
 * moves chain; the moves that can be refused (forward, move_to, jump_to)
 * record their result: last_ok() is the latest one, ok() (and the bool
 * conversion) is true while every such move through this view succeeded.
 * A refused move changes nothing and the next one is still made, exactly as
 * in C. */
class Turtle {
  public:
    explicit Turtle(Image image) noexcept : image_(image) {}

    /* d pixels along the heading, drawing if the pen is down (turtle_forward). */
    Turtle &forward(int d) noexcept { return record(::turtle_forward(image_, d)); }
    /* To pixel (x, y), drawing if the pen is down (turtle_move). */
    Turtle &move_to(int x, int y) noexcept { return record(::turtle_move(image_, x, y)); }
    /* To (x, y) without drawing; 0 <= x <= width, 0 <= y <= height (turtle_set_xy). */
    Turtle &jump_to(int x, int y) noexcept { return record(::turtle_set_xy(image_, x, y)); }

    Turtle &left(int degrees) noexcept {
        ::turtle_left(image_, degrees);
        return *this;
    }
    Turtle &right(int degrees) noexcept {
        ::turtle_right(image_, degrees);
        return *this;
    }
    Turtle &face_north() noexcept {
        ::turtle_face_north(image_);
        return *this;
    }
    Turtle &pen_up() noexcept {
        ::turtle_pen_up(image_);
        return *this;
    }
    Turtle &pen_down() noexcept {
        ::turtle_pen_down(image_);
        return *this;
    }
    Turtle &set_color(Color color) noexcept {
        ::turtle_set_color(image_, color);
        return *this;
    }

    /* Every refusable move through this view succeeded (true before any). */
    [[nodiscard]] bool ok() const noexcept { return ok_; }
    explicit operator bool() const noexcept { return ok_; }
    /* The latest refusable move succeeded (true before any). */
    [[nodiscard]] bool last_ok() const noexcept { return last_ok_; }

    // The pen's state, read from the record; 0 / false / black without an image.
    [[nodiscard]] int x() const noexcept { return image_ ? image_->turtle_x : 0; }
    [[nodiscard]] int y() const noexcept { return image_ ? image_->turtle_y : 0; }
    /* Whole degrees, counter-clockwise, 90 = up; never normalised. */
    [[nodiscard]] int heading() const noexcept { return image_ ? image_->turtle_angle : 0; }
    [[nodiscard]] bool is_pen_down() const noexcept { return image_ && image_->turtle_pen_down; }
    [[nodiscard]] Color color() const noexcept {
        return image_ ? image_->turtle_color : Color{0, 0, 0};
    }
    [[nodiscard]] Image get() const noexcept { return image_; }

  private:
    Turtle &record(bool moved) noexcept {
        last_ok_ = moved;
        ok_ = ok_ && moved;
        return *this;
    }

    Image image_;
    bool ok_ = true;
    bool last_ok_ = true;
};

/* The fractional turtle (pixpen_turtle_*): position and heading in doubles,
 * moves never refused, drawing clipped. It owns its record, and with it an
 * open fill's path, so it moves but does not copy. It draws on the image it
 * was given (which it does not own, and which must outlive it or be swapped
 * with on()); every method returns the turtle, so calls chain. fill_ok() is
 * false once a fill lost a point or could not start for want of memory. */
class FractionalTurtle {
  public:
    explicit FractionalTurtle(Image image) noexcept : image_(image) {
        ::pixpen_turtle_init(&record_, image);
    }
    FractionalTurtle(const FractionalTurtle &) = delete;
    FractionalTurtle &operator=(const FractionalTurtle &) = delete;
    FractionalTurtle(FractionalTurtle &&other) noexcept
        : image_(other.image_), record_(other.record_), fill_ok_(other.fill_ok_) {
        other.record_.path = nullptr;
        other.record_.filling = false;
    }
    FractionalTurtle &operator=(FractionalTurtle &&other) noexcept {
        if (this != &other) {
            ::pixpen_turtle_release(&record_);
            image_ = other.image_;
            record_ = other.record_;
            fill_ok_ = other.fill_ok_;
            other.record_.path = nullptr;
            other.record_.filling = false;
        }
        return *this;
    }
    ~FractionalTurtle() { ::pixpen_turtle_release(&record_); }

    /* Draw on another image from now on (nullptr: move without drawing). */
    FractionalTurtle &on(Image image) noexcept {
        image_ = image;
        return *this;
    }

    FractionalTurtle &forward(double d) noexcept {
        return track(::pixpen_turtle_forward(&record_, image_, d));
    }
    FractionalTurtle &backward(double d) noexcept {
        return track(::pixpen_turtle_backward(&record_, image_, d));
    }
    FractionalTurtle &go_to(double x, double y) noexcept {
        return track(::pixpen_turtle_goto(&record_, image_, x, y));
    }
    FractionalTurtle &home() noexcept { return track(::pixpen_turtle_home(&record_, image_)); }
    /* steps <= 0: as many sides as the radius and extent call for. */
    FractionalTurtle &circle(double radius, double extent = 360.0, int steps = 0) noexcept {
        return track(::pixpen_turtle_circle(&record_, image_, radius, extent, steps));
    }
    FractionalTurtle &left(double degrees) noexcept {
        ::pixpen_turtle_left(&record_, degrees);
        return *this;
    }
    FractionalTurtle &right(double degrees) noexcept {
        ::pixpen_turtle_right(&record_, degrees);
        return *this;
    }
    FractionalTurtle &set_heading(double degrees) noexcept {
        ::pixpen_turtle_set_heading(&record_, degrees);
        return *this;
    }
    FractionalTurtle &pen_up() noexcept {
        ::pixpen_turtle_pen_up(&record_);
        return *this;
    }
    FractionalTurtle &pen_down() noexcept {
        ::pixpen_turtle_pen_down(&record_);
        return *this;
    }
    FractionalTurtle &width(double pixels) noexcept {
        ::pixpen_turtle_set_width(&record_, pixels);
        return *this;
    }
    FractionalTurtle &pen_color(Color color) noexcept {
        ::pixpen_turtle_set_pen_color(&record_, color);
        return *this;
    }
    FractionalTurtle &fill_color(Color color) noexcept {
        ::pixpen_turtle_set_fill_color(&record_, color);
        return *this;
    }
    /* size <= 0: the default, max(width + 4, 2 * width). */
    FractionalTurtle &dot(double size, Color color) noexcept {
        ::pixpen_turtle_dot(&record_, image_, size, color);
        return *this;
    }
    FractionalTurtle &begin_fill() noexcept { return track(::pixpen_turtle_begin_fill(&record_)); }
    FractionalTurtle &end_fill() noexcept {
        const bool was_filling = record_.filling;
        return track(::pixpen_turtle_end_fill(&record_, image_) || !was_filling);
    }

    [[nodiscard]] double x() const noexcept { return record_.x; }
    [[nodiscard]] double y() const noexcept { return record_.y; }
    /* Degrees in [0, 360), counter-clockwise, 0 = +x, 90 = up. */
    [[nodiscard]] double heading() const noexcept { return ::pixpen_turtle_heading(&record_); }
    [[nodiscard]] double distance(double x, double y) const noexcept {
        return ::pixpen_turtle_distance(&record_, x, y);
    }
    [[nodiscard]] double towards(double x, double y) const noexcept {
        return ::pixpen_turtle_towards(&record_, x, y);
    }
    [[nodiscard]] bool is_pen_down() const noexcept { return record_.pen_down; }
    [[nodiscard]] bool filling() const noexcept { return record_.filling; }
    [[nodiscard]] bool fill_ok() const noexcept { return fill_ok_; }
    [[nodiscard]] const PixpenTurtle &record() const noexcept { return record_; }

  private:
    FractionalTurtle &track(bool ok) noexcept {
        fill_ok_ = fill_ok_ && ok;
        return *this;
    }

    Image image_;
    PixpenTurtle record_{};
    bool fill_ok_ = true;
};

// ---- the picture ------------------------------------------------------------

/* Owns one image: destroys it when it goes, moves but never copies
 * implicitly (clone() copies). An empty Picture (default, moved-from,
 * released) holds no image: it is 0 x 0, drawing on it does nothing, and
 * saving or encoding it fails with PIXPEN_ERROR_BAD_ARGUMENT, "empty picture".
 *
 * get(), release(), reset() and -> give the C record as std::unique_ptr
 * does, for the C calls; pixels(), row() and at() are const-correct. */
class Picture {
  public:
    Picture() noexcept = default;
    /* Takes ownership of a handle from create_image, read_image, decode_... */
    explicit Picture(Image image) noexcept : image_(image) {}
    Picture(Picture &&other) noexcept : image_(other.release()) {}
    Picture &operator=(Picture &&other) noexcept {
        reset(other.release());
        return *this;
    }
    Picture(const Picture &) = delete;
    Picture &operator=(const Picture &) = delete;
    ~Picture() { ::destroy_image(image_); }

    // ---- creation, reading and decoding (static) ----

    /* A black width x height picture; fails for a negative size
     * (PIXPEN_ERROR_BAD_ARGUMENT), more than INT32_MAX pixels
     * (PIXPEN_ERROR_TOO_LARGE) or no memory (PIXPEN_ERROR_OUT_OF_MEMORY). */
    [[nodiscard]] static Result<Picture> try_create(int width, int height) noexcept {
        PixpenError error{};
        return adopt(::create_image_checked(width, height, &error), error);
    }

    /* Reads a TGA, P3 or P6 file, recognising the format from its content. */
    [[nodiscard]] static Result<Picture> try_load(const internal::PathArg &file) noexcept {
        PixpenError error{};
        return adopt(::read_image(file.c_str(), &error), error);
    }

    /* Decodes a TGA, P3 or P6 image from memory, recognising the format. */
    [[nodiscard]] static Result<Picture> try_decode(Span<const std::uint8_t> bytes) noexcept {
        return try_decode(bytes.data(), bytes.size());
    }
    [[nodiscard]] static Result<Picture> try_decode(const void *data, std::size_t size) noexcept {
        PixpenError error{};
        return adopt(::decode_image(data, size, &error), error);
    }

    /* Decodes bytes that must be a TGA image. */
    [[nodiscard]] static Result<Picture> try_decode_tga(Span<const std::uint8_t> bytes) noexcept {
        return try_decode_tga(bytes.data(), bytes.size());
    }
    [[nodiscard]] static Result<Picture> try_decode_tga(const void *data,
                                                        std::size_t size) noexcept {
        PixpenError error{};
        return adopt(::decode_tga(data, size, &error), error);
    }

    /* Decodes bytes that must be a P3 or P6 image. */
    [[nodiscard]] static Result<Picture> try_decode_ppm(Span<const std::uint8_t> bytes) noexcept {
        return try_decode_ppm(bytes.data(), bytes.size());
    }
    [[nodiscard]] static Result<Picture> try_decode_ppm(const void *data,
                                                        std::size_t size) noexcept {
        PixpenError error{};
        return adopt(::decode_ppm(data, size, &error), error);
    }

    /* Decodes bytes that must be a PNG image, by decode_png's rule. */
    [[nodiscard]] static Result<Picture> try_decode_png(Span<const std::uint8_t> bytes) noexcept {
        return try_decode_png(bytes.data(), bytes.size());
    }
    [[nodiscard]] static Result<Picture> try_decode_png(const void *data,
                                                        std::size_t size) noexcept {
        PixpenError error{};
        return adopt(::decode_png(data, size, &error), error);
    }

    /* A deep copy: pixels and turtle. Copying an empty picture gives an empty one. */
    [[nodiscard]] Result<Picture> try_clone() const noexcept {
        if (image_ == nullptr) {
            return Picture();
        }
        Result<Picture> copy = try_create(image_->width, image_->height);
        if (copy) {
            Image to = copy->get();
            std::memcpy(to->pixels, image_->pixels, pixel_count() * sizeof(Color));
            to->turtle_x = image_->turtle_x;
            to->turtle_y = image_->turtle_y;
            to->turtle_angle = image_->turtle_angle;
            to->turtle_pen_down = image_->turtle_pen_down;
            to->turtle_color = image_->turtle_color;
        }
        return copy;
    }

    // ---- writing and encoding ----

    /* Writes the picture to a file in `format`, creating or truncating it. */
    [[nodiscard]] Result<void> try_save(const internal::PathArg &file,
                                        Format format) const noexcept {
        if (image_ == nullptr) {
            return empty_picture();
        }
        PixpenError error{};
        if (::write_image(file.c_str(), image_, static_cast<ImageFormat>(format), &error)) {
            return {};
        }
        return Error(error);
    }

    /* The bytes try_save would write. */
    [[nodiscard]] Result<Bytes> try_encode(Format format) const noexcept {
        if (image_ == nullptr) {
            return empty_picture();
        }
        PixpenError error{};
        std::uint8_t *data = nullptr;
        std::size_t size = 0;
        if (!::encode_image(image_, static_cast<ImageFormat>(format), &data, &size, &error)) {
            return Error(error);
        }
        return internal::take_buffer(data, size);
    }

    /* try_save with `options`, e.g. {pixpen::PngLevel::smallest}. */
    [[nodiscard]] Result<void> try_save(const internal::PathArg &file, Format format,
                                        const EncodeOptions &options) const noexcept {
        PixpenError error{};
        const PixpenEncodeOptions c = internal::c_options(options);
        if (::write_image_with_options(file.c_str(), image_, static_cast<ImageFormat>(format), &c,
                                       &error)) {
            return {};
        }
        return Error(error);
    }

    /* try_encode with `options`. */
    [[nodiscard]] Result<Bytes> try_encode(Format format,
                                           const EncodeOptions &options) const noexcept {
        PixpenError error{};
        const PixpenEncodeOptions c = internal::c_options(options);
        std::uint8_t *data = nullptr;
        std::size_t size = 0;
        if (!::encode_image_with_options(image_, static_cast<ImageFormat>(format), &c, &data, &size,
                                         &error)) {
            return Error(error);
        }
        return internal::take_buffer(data, size);
    }

#if defined(__cpp_exceptions)
    // The same operations, throwing pixpen::Exception on failure.
    [[nodiscard]] static Picture create(int width, int height) {
        return try_create(width, height).value();
    }
    [[nodiscard]] static Picture load(const internal::PathArg &file) {
        return try_load(file).value();
    }
    [[nodiscard]] static Picture decode(Span<const std::uint8_t> bytes) {
        return try_decode(bytes).value();
    }
    [[nodiscard]] static Picture decode(const void *data, std::size_t size) {
        return try_decode(data, size).value();
    }
    [[nodiscard]] static Picture decode_tga(Span<const std::uint8_t> bytes) {
        return try_decode_tga(bytes).value();
    }
    [[nodiscard]] static Picture decode_tga(const void *data, std::size_t size) {
        return try_decode_tga(data, size).value();
    }
    [[nodiscard]] static Picture decode_ppm(Span<const std::uint8_t> bytes) {
        return try_decode_ppm(bytes).value();
    }
    [[nodiscard]] static Picture decode_ppm(const void *data, std::size_t size) {
        return try_decode_ppm(data, size).value();
    }
    [[nodiscard]] static Picture decode_png(Span<const std::uint8_t> bytes) {
        return try_decode_png(bytes).value();
    }
    [[nodiscard]] static Picture decode_png(const void *data, std::size_t size) {
        return try_decode_png(data, size).value();
    }
    [[nodiscard]] Picture clone() const {
        return try_clone().value();
    }
    void save(const internal::PathArg &file, Format format) const {
        try_save(file, format).value();
    }
    [[nodiscard]] Bytes encode(Format format) const {
        return try_encode(format).value();
    }
    void save(const internal::PathArg &file, Format format, const EncodeOptions &options) const {
        try_save(file, format, options).value();
    }
    [[nodiscard]] Bytes encode(Format format, const EncodeOptions &options) const {
        return try_encode(format, options).value();
    }
#endif

    // ---- ownership ----

    [[nodiscard]] Image get() const noexcept {
        return image_;
    }
    /* Gives up ownership: the caller destroys the handle. */
    [[nodiscard]] Image release() noexcept {
        return std::exchange(image_, nullptr);
    }
    /* Destroys the current image and adopts `image` (which may be null). */
    void reset(Image image = nullptr) noexcept {
        ::destroy_image(std::exchange(image_, image));
    }
    void swap(Picture &other) noexcept {
        std::swap(image_, other.image_);
    }
    friend void swap(Picture &a, Picture &b) noexcept {
        a.swap(b);
    }

    explicit operator bool() const noexcept {
        return image_ != nullptr;
    }
    ImageRecord *operator->() const noexcept {
        assert(image_ != nullptr);
        return image_;
    }
    ImageRecord &operator*() const noexcept {
        assert(image_ != nullptr);
        return *image_;
    }
    friend bool operator==(const Picture &p, std::nullptr_t) noexcept {
        return !p;
    }
    friend bool operator==(std::nullptr_t, const Picture &p) noexcept {
        return !p;
    }
    friend bool operator!=(const Picture &p, std::nullptr_t) noexcept {
        return !!p;
    }
    friend bool operator!=(std::nullptr_t, const Picture &p) noexcept {
        return !!p;
    }

    // ---- size and pixels ----

    [[nodiscard]] int width() const noexcept {
        return image_ ? image_->width : 0;
    }
    [[nodiscard]] int height() const noexcept {
        return image_ ? image_->height : 0;
    }

    /* Every pixel, row 0 (top) first: pixel (x, y) is pixels()[y * width() + x]. */
    [[nodiscard]] Span<Color> pixels() noexcept {
        return {data(), pixel_count()};
    }
    [[nodiscard]] Span<const Color> pixels() const noexcept {
        return {data(), pixel_count()};
    }

    /* Row y, 0 <= y < height(). */
    [[nodiscard]] Span<Color> row(int y) noexcept {
        return {row_start(y), columns()};
    }
    [[nodiscard]] Span<const Color> row(int y) const noexcept {
        return {row_start(y), columns()};
    }

    /* Pixel (x, y), 0 <= x < width(), 0 <= y < height(); unchecked like
     * operator[] (asserted in debug builds). do_pixel clips instead. */
    [[nodiscard]] Color &at(int x, int y) noexcept {
        return row_start(y)[column(x)];
    }
    [[nodiscard]] const Color &at(int x, int y) const noexcept {
        return row_start(y)[column(x)];
    }

    // ---- drawing (clipped: what falls outside the picture is skipped) ----

    void pixel(int x, int y, Color color) noexcept {
        ::do_pixel(image_, x, y, color);
    }
    void line(int x0, int y0, int x1, int y1, Color color) noexcept {
        ::do_line(image_, x0, y0, x1, y1, color);
    }
    void clear(Color color) noexcept {
        ::do_clear(image_, color);
    }
    void invert() noexcept {
        ::do_invert(image_);
    }
    void reverse_rgb() noexcept {
        ::do_reverse_rgb(image_);
    }

    // ---- shapes (clipped like line; negative sizes draw nothing) ----

    void thick_line(int x0, int y0, int x1, int y1, int width, Color color) noexcept {
        ::do_thick_line(image_, x0, y0, x1, y1, width, color);
    }
    void rectangle(int x0, int y0, int x1, int y1, Color color) noexcept {
        ::do_rectangle(image_, x0, y0, x1, y1, color);
    }
    void fill_rectangle(int x0, int y0, int x1, int y1, Color color) noexcept {
        ::do_fill_rectangle(image_, x0, y0, x1, y1, color);
    }
    void circle(int cx, int cy, int radius, Color color) noexcept {
        ::do_circle(image_, cx, cy, radius, color);
    }
    void fill_circle(int cx, int cy, int radius, Color color) noexcept {
        ::do_fill_circle(image_, cx, cy, radius, color);
    }
    void ellipse(int cx, int cy, int rx, int ry, Color color) noexcept {
        ::do_ellipse(image_, cx, cy, rx, ry, color);
    }
    void fill_ellipse(int cx, int cy, int rx, int ry, Color color) noexcept {
        ::do_fill_ellipse(image_, cx, cy, rx, ry, color);
    }
    /* Degrees counter-clockwise from east, 90 = up, both ends included. */
    void arc(int cx, int cy, int radius, int start_degrees, int end_degrees, Color color) noexcept {
        ::do_arc(image_, cx, cy, radius, start_degrees, end_degrees, color);
    }
    void polygon(Span<const Point> points, Color color) noexcept {
        ::do_polygon(image_, points.data(), points.size(), color);
    }
    void fill_polygon(Span<const Point> points, Color color) noexcept {
        ::do_fill_polygon(image_, points.data(), points.size(), color);
    }
    /* Repaints the 4-connected region of the colour at (x, y); fails only
     * when memory runs out (or the picture is empty). */
    [[nodiscard]] Result<void> try_flood_fill(int x, int y, Color color) noexcept {
        PixpenError error{};
        if (::do_flood_fill(image_, x, y, color, &error)) {
            return {};
        }
        return Error(error);
    }
#if defined(__cpp_exceptions)
    void flood_fill(int x, int y, Color color) {
        try_flood_fill(x, y, color).value();
    }
#endif

    /* The image's turtle; the view must not outlive the picture. */
    [[nodiscard]] Turtle turtle() noexcept {
        return Turtle(image_);
    }

  private:
    static Result<Picture> adopt(Image image, const PixpenError &error) noexcept {
        if (image != nullptr) {
            return Picture(image);
        }
        return Error(error);
    }
    // The C call would say "Image is NULL", which names no C++ thing.
    static Error empty_picture() noexcept {
        return Error(PIXPEN_ERROR_BAD_ARGUMENT, "empty picture");
    }

    Color *data() const noexcept {
        return image_ ? image_->pixels : nullptr;
    }
    std::size_t columns() const noexcept {
        return static_cast<std::size_t>(width());
    }
    std::size_t pixel_count() const noexcept {
        return columns() * static_cast<std::size_t>(height());
    }
    std::size_t column(int x) const noexcept {
        assert(x >= 0 && x < width());
        return static_cast<std::size_t>(x);
    }
    Color *row_start(int y) const noexcept {
        assert(y >= 0 && y < height());
        return image_->pixels + static_cast<std::size_t>(y) * columns();
    }

    Image image_ = nullptr;
};

} // namespace pixpen

#endif /* PIXPEN_HPP */
