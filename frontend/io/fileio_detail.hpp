// Helpers the file layer's sources share; not part of its interface.
#pragma once

#include <chrono>
#include <string>

#include "io/system.hpp"

namespace idprom::tool::detail {

// Throws Failure (I/O): "PATH: DOING: strerror(err)AFTER".
[[noreturn]] void io_fail(const std::string &path, const std::string &doing, int err,
                          const std::string &after = "");

// Reads the image bytes of an open file: the window, or everything up to
// one byte past the largest image.  `positional` reads with pread.
Bytes read_window(Io &io, int fd, const std::string &path, bool positional, const Window &window);

// 0 or the errno of the failure.  Short writes, EINTR and EAGAIN are
// retried; a write that makes no progress is EIO.
int write_all(Io &io, int fd, const uint8_t *data, size_t n, off_t offset);
int read_exact(Io &io, int fd, uint8_t *out, size_t n, off_t offset);

// Flushes to the medium; a device that cannot flush (EINVAL, ENOTSUP) is
// not an error: its writes reach it directly and the read-back checks.
int sync_fd(Io &io, int fd);

// Reads back `n` bytes at `offset` and compares them with `expected`:
// 0, an errno, or EIO with *mismatch_at set to the first differing offset.
int verify(Io &io, int fd, const uint8_t *expected, size_t n, off_t offset, long *mismatch_at);

// Takes a flock (`operation`: LOCK_SH for a reader, LOCK_EX for an edit),
// polling until `deadline`; false when it passed first.
bool lock_until(Io &io, int fd, const std::string &path, int operation,
                std::chrono::steady_clock::time_point deadline);

// The deadline `wait` seconds from now.
std::chrono::steady_clock::time_point deadline_after(double wait);

// Failure (kLocked): "PATH: the image is locked by another edit; gave up
// after N s (OPTION)", the wait as given ("0.2") and OPTION as the front
// end names it.
[[noreturn]] void locked_fail(const std::string &path, double wait,
                              const std::string &option = "--wait SECONDS");

std::string parent_of(const std::string &path);

// The file a path finally names, so that replacing it keeps symbolic links.
std::string resolved(const std::string &path);

}  // namespace idprom::tool::detail
