#include "failing_stream.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

using OpenFunction = std::FILE *(*)(const char *, const char *);

OpenFunction real_fopen() {
    static const auto real = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "fopen"));
    if (real == nullptr) {
        std::abort();
    }
    return real;
}

// Resolved before main: dlsym may allocate, and must not do so inside a
// window the allocation counter watches.
[[maybe_unused]] const OpenFunction resolved = real_fopen();

// One armed stream at a time; no allocation of ours, so that the heap seen
// while reading is the reader's and the stream's own.
struct Plan {
    bool armed = false;
    bool opened = false;
    char path[4096] = {};
    std::size_t left = 0;
    bool once = false;
    bool close_fails = false;
    int fd = -1;
} plan;

ssize_t read_then_fail(void *, char *buffer, std::size_t size) {
    if (plan.left == 0) {
        if (plan.once) {
            plan.left = SIZE_MAX;
        }
        errno = EIO;
        return -1;
    }
    const ssize_t n = read(plan.fd, buffer, std::min(size, plan.left));
    if (n > 0) {
        plan.left -= static_cast<std::size_t>(n);
    }
    return n;
}

int close_source(void *) {
    const int result = close(plan.fd);
    plan.fd = -1;
    return result;
}

ssize_t write_through(void *, const char *buffer, std::size_t size) {
    return write(plan.fd, buffer, size);
}

int close_and_fail(void *) {
    close_source(nullptr);
    errno = EIO;
    return -1;
}

} // namespace

extern "C" std::FILE *fopen(const char *name, const char *mode) {
    if (!plan.armed || plan.opened || name == nullptr || std::string_view(name) != plan.path) {
        return real_fopen()(name, mode);
    }
    plan.opened = true;
    plan.fd = plan.close_fails ? open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                               : open(name, O_RDONLY | O_CLOEXEC);
    if (plan.fd < 0) {
        return nullptr;
    }
    // The descriptor stays the stream's (closed with it), so that a stream
    // the reader forgets to close shows as a leaked descriptor.
    std::FILE *stream =
        plan.close_fails
            ? fopencookie(nullptr, mode, {nullptr, write_through, nullptr, close_and_fail})
            : fopencookie(nullptr, mode, {read_then_fail, nullptr, nullptr, close_source});
    if (stream == nullptr) {
        close_source(nullptr);
    }
    return stream;
}

namespace hostile {

void fail_reads_after(const std::string &path, std::size_t delivered, bool once) {
    if (path.size() >= sizeof plan.path) {
        std::abort();
    }
    std::copy(path.begin(), path.end(), plan.path);
    plan.path[path.size()] = '\0';
    plan.left = delivered;
    plan.once = once;
    plan.close_fails = false;
    plan.opened = false;
    plan.armed = true;
}

void fail_close(const std::string &path) {
    fail_reads_after(path, 0);
    plan.close_fails = true;
}

bool stop_failing_reads() {
    plan.armed = false;
    return plan.opened;
}

} // namespace hostile
