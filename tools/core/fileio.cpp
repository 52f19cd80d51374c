// Reading images and writing edits back: atomic replacement of regular
// files; backup, region write, read-back and restore for devices.
#include "fileio.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "errors.hpp"

namespace idprom::tool {

int Io::open(const char *path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int Io::close(int fd) { return ::close(fd); }
int Io::fstat(int fd, struct stat *st) { return ::fstat(fd, st); }
int Io::flock(int fd, int operation) { return ::flock(fd, operation); }
ssize_t Io::read(int fd, void *buf, size_t n) { return ::read(fd, buf, n); }
ssize_t Io::pread(int fd, void *buf, size_t n, off_t offset) { return ::pread(fd, buf, n, offset); }
ssize_t Io::pwrite(int fd, const void *buf, size_t n, off_t offset) {
  return ::pwrite(fd, buf, n, offset);
}
int Io::fsync(int fd) { return ::fsync(fd); }
int Io::fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int Io::rename(const char *from, const char *to) { return ::rename(from, to); }
int Io::link(const char *from, const char *to) { return ::link(from, to); }
int Io::unlink(const char *path) { return ::unlink(path); }

Io &system_io() {
  static Io io;
  return io;
}

Region Region::joined(Region other) const noexcept {
  if (length == 0) return other;
  if (other.length == 0) return *this;
  const uint32_t lo = std::min(offset, other.offset);
  return Region{lo, std::max(end(), other.end()) - lo};
}

namespace {

[[noreturn]] void io_fail(const std::string &path, const std::string &doing, int err,
                          const std::string &after = "") {
  throw Failure(kExitIo, path + ": " + doing + ": " + std::strerror(err) + after);
}

// Everything an fd holds, up to one byte past the largest image.
Bytes read_all(Io &io, int fd, const std::string &path, bool positional) {
  Bytes out;
  uint8_t buf[4096];
  for (;;) {
    const auto at = static_cast<off_t>(out.size());
    const ssize_t n = positional ? io.pread(fd, buf, sizeof buf, at) : io.read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) io_fail(path, "reading", errno);
    if (n == 0) return out;
    out.insert(out.end(), buf, buf + n);
    if (out.size() > kMaxImage) {
      throw Failure(kExitMalformed, path + ": larger than 65536 bytes, the largest IDPROM image");
    }
  }
}

// 0 or the errno of the failure; a write that makes no progress is EIO.
int write_all(Io &io, int fd, const uint8_t *data, size_t n, off_t offset) {
  while (n > 0) {
    const ssize_t w = io.pwrite(fd, data, n, offset);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return errno;
    if (w == 0) return EIO;
    data += w;
    n -= static_cast<size_t>(w);
    offset += w;
  }
  return 0;
}

int read_exact(Io &io, int fd, uint8_t *out, size_t n, off_t offset) {
  while (n > 0) {
    const ssize_t r = io.pread(fd, out, n, offset);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return errno;
    if (r == 0) return EIO;  // the file got shorter
    out += r;
    n -= static_cast<size_t>(r);
    offset += r;
  }
  return 0;
}

// Flushes to the medium.  Some device files (sysfs attributes) cannot be
// synced; their writes reach the device directly and the read-back checks.
int sync_fd(Io &io, int fd) {
  if (io.fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP) return 0;
  return errno;
}

// Writes, flushes and reads back bytes at an offset: 0 or an errno; a
// read-back that differs sets *mismatch_at.
int write_verified(Io &io, int fd, const uint8_t *data, size_t n, off_t offset, long *mismatch_at) {
  *mismatch_at = -1;
  if (const int err = write_all(io, fd, data, n, offset)) return err;
  if (const int err = sync_fd(io, fd)) return err;
  posix_fadvise(fd, offset, static_cast<off_t>(n), POSIX_FADV_DONTNEED);
  Bytes back(n);
  if (const int err = read_exact(io, fd, back.data(), n, offset)) return err;
  const auto diff = std::mismatch(back.begin(), back.end(), data);
  if (diff.first != back.end()) *mismatch_at = offset + (diff.first - back.begin());
  return 0;
}

std::string parent_of(const std::string &path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path finally names, so that replacing it keeps symbolic links.
std::string resolved(const std::string &path) {
  char buf[PATH_MAX];
  return ::realpath(path.c_str(), buf) != nullptr ? std::string(buf) : path;
}

void sync_directory(Io &io, const std::string &dir) {
  const int fd = io.open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return;
  io.fsync(fd);  // best effort: the rename itself already happened
  io.close(fd);
}

// Creates a temporary file next to `path`; returns its fd and sets *name.
int open_temporary(Io &io, const std::string &path, std::string *name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = parent_of(path) + "/." + base_of(path) + ".idprom-" + std::to_string(::getpid()) + "-" +
            std::to_string(counter++);
    const int fd = io.open(name->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Fills the temporary file: 0 or an errno.
int fill_temporary(Io &io, int fd, const Bytes &bytes, mode_t mode, const std::string &temp,
                   std::string *doing) {
  long mismatch = -1;
  *doing = "writing " + temp;
  if (const int err = write_verified(io, fd, bytes.data(), bytes.size(), 0, &mismatch)) return err;
  if (mismatch >= 0) {
    *doing = "verifying " + temp + " at offset " + hex(static_cast<uint64_t>(mismatch));
    return EIO;
  }
  *doing = "setting the mode of " + temp;
  if (io.fchmod(fd, mode & 07777) != 0) return errno;
  return 0;
}

// Puts the temporary file in place: rename, or link when an existing file
// must not be replaced (falling back to a checked rename where the file
// system has no hard links).
int install(Io &io, const std::string &temp, const std::string &path, bool replace) {
  if (replace) return io.rename(temp.c_str(), path.c_str()) == 0 ? 0 : errno;
  if (io.link(temp.c_str(), path.c_str()) == 0) {
    io.unlink(temp.c_str());
    return 0;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return errno;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) return EEXIST;
  return io.rename(temp.c_str(), path.c_str()) == 0 ? 0 : errno;
}

mode_t creation_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

void print_rows(std::ostream &out, const Bytes &bytes, Region dirty) {
  char piece[16];
  for (uint32_t i = dirty.offset; i < dirty.end(); ++i) {
    if ((i - dirty.offset) % 16 == 0) {
      std::snprintf(piece, sizeof piece, "%s  0x%04x:", i == dirty.offset ? "" : "\n", i);
      out << piece;
    }
    std::snprintf(piece, sizeof piece, " %02x", bytes[i]);
    out << piece;
  }
  out << '\n';
}

}  // namespace

Bytes read_image(Io &io, const std::string &path) {
  if (path == "-") return read_all(io, STDIN_FILENO, "standard input", false);
  const int fd = io.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) io_fail(path, "cannot open", errno);
  struct stat st;
  if (io.fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    io.close(fd);
    throw Failure(kExitIo, path + ": is a directory");
  }
  try {
    Bytes bytes = read_all(io, fd, path, false);
    io.close(fd);
    return bytes;
  } catch (...) {
    io.close(fd);
    throw;
  }
}

void write_atomically(Io &io, const std::string &path, const Bytes &bytes, mode_t mode,
                      bool replace) {
  std::string temp;
  const int fd = open_temporary(io, path, &temp);
  if (fd < 0)
    io_fail(path, "creating a temporary file in " + parent_of(path), errno,
            "; " + path + " was not changed");
  std::string doing;
  int err = fill_temporary(io, fd, bytes, mode, temp, &doing);
  if (io.close(fd) != 0 && err == 0) {
    err = errno;
    doing = "closing " + temp;
  }
  if (err == 0) {
    doing = "putting " + temp + " in place";
    err = install(io, temp, path, replace);
  }
  if (err != 0) {
    io.unlink(temp.c_str());
    if (err == EEXIST && !replace)
      throw Failure(kExitUsage, path + ": exists; use --force to replace it");
    io_fail(path, doing, err, "; " + path + " was not changed");
  }
  sync_directory(io, parent_of(path));
}

EditSession::EditSession(Io &io, std::string path, WriteOptions options)
    : io_(io), path_(std::move(path)), options_(std::move(options)) {
  if (path_ == "-") throw Failure(kExitUsage, "edits need an image file, not standard input");
  fd_ = io_.open(path_.c_str(), (options_.dry_run ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NOCTTY, 0);
  if (fd_ < 0) io_fail(path_, "cannot open for editing", errno);
  struct stat st;
  if (io_.fstat(fd_, &st) != 0) io_fail(path_, "cannot stat", errno);
  if (S_ISDIR(st.st_mode)) throw Failure(kExitIo, path_ + ": is a directory");
  regular_ = S_ISREG(st.st_mode);
  mode_ = st.st_mode;
  if (io_.flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) throw Failure(kExitIo, path_ + ": locked by another process");
    io_fail(path_, "cannot lock", errno);
  }
  original_ = read_all(io_, fd_, path_, true);
}

EditSession::~EditSession() {
  if (fd_ >= 0) io_.close(fd_);
}

void EditSession::commit(const Bytes &updated, Region dirty, std::ostream &out) {
  const bool outside_equal =
      updated.size() == original_.size() && dirty.end() <= updated.size() &&
      std::equal(updated.begin(), updated.begin() + dirty.offset, original_.begin()) &&
      std::equal(updated.begin() + dirty.end(), updated.end(), original_.begin() + dirty.end());
  if (!outside_equal)
    throw Failure(kExitIo, path_ + ": internal error: change outside the dirty region");
  if (options_.dry_run) {
    print_change(out, original_, updated, dirty);
    return;
  }
  if (updated == original_) return;  // nothing to write
  if (regular_ && !options_.in_place) {
    commit_atomic(updated);
  } else {
    commit_in_place(updated, dirty);
  }
}

void EditSession::commit_atomic(const Bytes &updated) {
  write_atomically(io_, resolved(path_), updated, mode_, true);
}

void EditSession::commit_in_place(const Bytes &updated, Region dirty) {
  if (!options_.no_backup) {
    const std::string backup = options_.backup.empty() ? path_ + ".bak" : options_.backup;
    try {
      write_atomically(io_, backup, original_, regular_ ? mode_ : 0600, true);
    } catch (const Failure &f) {
      throw Failure(kExitIo, std::string(f.what()) + "; no backup, so " + path_ +
                                 " was not changed (--backup PATH or --no-backup)");
    }
  }
  long mismatch = -1;
  const int err = write_verified(io_, fd_, updated.data() + dirty.offset, dirty.length,
                                 dirty.offset, &mismatch);
  if (err != 0)
    restore(dirty, std::string("writing ") + hex(dirty.length) + " bytes at offset " +
                       hex(dirty.offset) + ": " + std::strerror(err));
  if (mismatch >= 0) {
    restore(dirty, "verification failed: the byte read back at offset " +
                       hex(static_cast<uint64_t>(mismatch)) + " differs from the one written");
  }
}

void EditSession::restore(Region dirty, const std::string &why) {
  long mismatch = -1;
  const int err = write_verified(io_, fd_, original_.data() + dirty.offset, dirty.length,
                                 dirty.offset, &mismatch);
  const std::string backup = options_.no_backup        ? std::string()
                             : options_.backup.empty() ? path_ + ".bak"
                                                       : options_.backup;
  if (err == 0 && mismatch < 0) {
    throw Failure(kExitIo, path_ + ": " + why + "; the original bytes were written back");
  }
  throw Failure(kExitIo,
                path_ + ": " + why + "; WRITING THE ORIGINAL BYTES BACK FAILED TOO (" +
                    (err != 0 ? std::strerror(err) : "verification") + "): " +
                    (backup.empty() ? "there is no backup" : "the original image is in " + backup));
}

void create_file(Io &io, const std::string &path, const Bytes &bytes, bool force,
                 const WriteOptions &options) {
  struct stat st;
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !force) throw Failure(kExitUsage, path + ": exists; use --force to replace it");
  if (exists && !S_ISREG(st.st_mode)) {
    EditSession session(io, path, options);
    if (session.original().size() != bytes.size()) {
      throw Failure(kExitUsage, path + ": holds " + std::to_string(session.original().size()) +
                                    " bytes, the new image " + std::to_string(bytes.size()));
    }
    std::ostream null_out(nullptr);
    session.commit(bytes, Region{0, static_cast<uint32_t>(bytes.size())}, null_out);
    return;
  }
  if (exists) {
    write_atomically(io, resolved(path), bytes, st.st_mode, true);
  } else {
    write_atomically(io, path, bytes, creation_mode(), false);
  }
}

void print_change(std::ostream &out, const Bytes &before, const Bytes &after, Region dirty) {
  if (before == after) {
    out << "no change\n";
    return;
  }
  out << "dirty region: offset " << hex(dirty.offset, 4) << ", " << dirty.length << " byte"
      << (dirty.length == 1 ? "" : "s") << "\nbefore:\n";
  print_rows(out, before, dirty);
  out << "after:\n";
  print_rows(out, after, dirty);
}

}  // namespace idprom::tool
