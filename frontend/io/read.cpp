// Reading an image for a read-only command: a file under a shared lock, a
// pipe as it comes, or a part on a bus through its own lock.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "base/errors.hpp"
#include "base/numbers.hpp"
#include "io/device.hpp"
#include "io/fileio.hpp"
#include "io/fileio_detail.hpp"

namespace idprom::tool {

using namespace detail;

namespace {

// Opens the file a path names with a shared lock: an edit in place holds
// the exclusive one while it writes, so a reader never sees half an edit.
// A file renamed over the path while waiting is opened again.
int open_for_reading(Io &io, const std::string &path, double wait, const char *wait_option,
                     struct stat *st) {
  const auto deadline = deadline_after(wait);
  for (;;) {
    const int fd = io.open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY, 0);
    if (fd < 0) io_fail(path, "cannot open", errno);
    if (io.fstat(fd, st) != 0 || S_ISDIR(st->st_mode)) {
      io.close(fd);
      throw Failure::about(path, kExitIo, "is a directory");
    }
    // A pipe has no edits to wait for.
    if (S_ISFIFO(st->st_mode) || S_ISSOCK(st->st_mode)) return fd;
    bool locked = false;
    try {
      locked = lock_until(io, fd, path, LOCK_SH, deadline);
    } catch (...) {
      io.close(fd);
      throw;
    }
    struct stat now {};
    if (locked && (io.stat(path.c_str(), &now) != 0 ||
                   (now.st_dev == st->st_dev && now.st_ino == st->st_ino)))
      return fd;
    io.close(fd);
    if (!locked) locked_fail(path, wait, wait_option);
  }
}

}  // namespace

Window parse_window(std::string_view offset, std::string_view length) {
  Window window;
  if (!offset.empty()) window.offset = parse_number(offset, "--offset");
  if (!length.empty()) {
    const uint32_t bytes = parse_number(length, "--length");
    if (bytes == 0 || bytes > kMaxImage) throw Failure(kExitUsage, "--length: 1 to 65536 bytes");
    window.length = bytes;
  }
  return window;
}

Bytes read_image(Io &io, const std::string &path, const Window &window,
                 const i2c::Access &device, double wait, const OptionNames &names) {
  if (const auto target = i2c::parse_target(path))
    return i2c::Device(*target, device, window, false, wait, names.wait).read();
  if (path == "-") return read_window(io, STDIN_FILENO, "standard input", false, window);
  struct stat st {};
  const int fd = open_for_reading(io, path, wait, names.wait, &st);
  // A pipe or socket (a process substitution, /dev/stdin) cannot seek: it
  // is read in order, the window's offset skipped.
  const bool stream = S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
  try {
    Bytes bytes = read_window(io, fd, path, !stream, window);
    io.close(fd);
    return bytes;
  } catch (...) {
    io.close(fd);
    throw;
  }
}

}  // namespace idprom::tool
