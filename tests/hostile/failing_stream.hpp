#pragma once

// Streams that fail part-way, as a disk or a network file system may. The
// test binary defines fopen (the library's calls resolve to it, shared or
// static): once armed, the next fopen of one path returns a stream that
// delivers the file's first bytes and then fails with EIO: every read after,
// or only the first, the rest of the file following as if nothing happened
// (a reader that reads on past an error then sees more data than came before
// it). Or, for a writer, a stream whose writes all land and whose close
// fails, as a network file system's may when it flushes. Every other fopen
// goes to the C library's own.

#include <cstddef>
#include <string>

namespace hostile {

// The next fopen of `path` delivers `delivered` bytes (fewer if the file is
// shorter: then end of file), then fails, for good or `once`.
void fail_reads_after(const std::string &path, std::size_t delivered, bool once = false);

// The next fopen of `path` writes through and fails its close with EIO.
void fail_close(const std::string &path);

// Disarms; true when the armed fopen happened, so that a test can tell that
// the reader really met the failing stream.
bool stop_failing_reads();

} // namespace hostile
