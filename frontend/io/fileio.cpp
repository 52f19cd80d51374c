// Reading images, the system calls behind Io, and atomic replacement of
// regular files through a verified temporary file.
#include "io/fileio.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "base/errors.hpp"
#include "io/fileio_detail.hpp"

namespace idprom::tool {

int Io::open(const char *path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int Io::close(int fd) { return ::close(fd); }
int Io::fstat(int fd, struct stat *st) { return ::fstat(fd, st); }
int Io::stat(const char *path, struct stat *st) { return ::stat(path, st); }
int Io::fstatfs(int fd, struct statfs *st) { return ::fstatfs(fd, st); }
int Io::flock(int fd, int operation) { return ::flock(fd, operation); }
ssize_t Io::read(int fd, void *buf, size_t n) { return ::read(fd, buf, n); }
ssize_t Io::pread(int fd, void *buf, size_t n, off_t offset) { return ::pread(fd, buf, n, offset); }
ssize_t Io::pwrite(int fd, const void *buf, size_t n, off_t offset) {
  return ::pwrite(fd, buf, n, offset);
}
int Io::fsync(int fd) { return ::fsync(fd); }
int Io::fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int Io::fchown(int fd, uid_t uid, gid_t gid) { return ::fchown(fd, uid, gid); }
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

namespace detail {

void io_fail(const std::string &path, const std::string &doing, int err, const std::string &after) {
  throw Failure::about(path, Kind::kIo, doing + ": " + std::strerror(err) + after, err);
}

bool lock_until(Io &io, int fd, const std::string &path, int operation,
                std::chrono::steady_clock::time_point deadline) {
  while (io.flock(fd, operation | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) io_fail(path, "cannot lock", errno);
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::chrono::steady_clock::time_point deadline_after(double wait) {
  const auto seconds = std::chrono::duration<double>(std::max(wait, 0.0));
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(seconds);
}

void locked_fail(const std::string &path, double wait, const std::string &option) {
  throw Failure::about(path, Kind::kLocked,
                       "the image is locked by another edit; " + gave_up_after(wait, option));
}

namespace {

// A device that is busy (EAGAIN) gets this many short pauses.
constexpr int kBusyRetries = 200;

// Whether a failed transfer is worth repeating; pauses on a busy device.
bool retry(int err, int *busy) {
  if (err == EINTR) return true;
  if ((err != EAGAIN && err != EWOULDBLOCK) || ++*busy > kBusyRetries) return false;
  ::usleep(1000);
  return true;
}

[[noreturn]] void too_large(const std::string &path, const Window &window) {
  if (window.whole())
    throw Failure::about(path, kExitMalformed,
                         "larger than 65536 bytes, the largest IDPROM image; "
                         "choose the image inside it with --offset and --length");
  throw Failure::about(path, kExitUsage,
                       "the window from offset " + hex(window.offset) +
                           " holds more than 65536 bytes; give --length");
}

}  // namespace

Bytes read_window(Io &io, int fd, const std::string &path, bool positional, const Window &window) {
  const size_t limit = window.length ? *window.length : kMaxImage + 1;
  Bytes out;
  uint8_t buf[4096];
  uint64_t skip = positional ? 0 : window.offset;  // a pipe cannot seek
  int busy = 0;
  while (out.size() < limit) {
    const size_t want = std::min<uint64_t>(sizeof buf, skip > 0 ? skip : limit - out.size());
    const auto at = static_cast<off_t>(window.offset + out.size());
    const ssize_t n = positional ? io.pread(fd, buf, want, at) : io.read(fd, buf, want);
    if (n < 0 && retry(errno, &busy)) continue;
    if (n < 0) io_fail(path, "reading", errno);
    if (n == 0) break;
    if (skip > 0) {
      skip -= static_cast<uint64_t>(n);
      continue;
    }
    out.insert(out.end(), buf, buf + n);
  }
  if (!window.length && out.size() > kMaxImage) too_large(path, window);
  if (window.length && out.size() < *window.length)
    throw Failure::about(path, kExitUsage,
                         "the window of " + std::to_string(*window.length) + " bytes from offset " +
                             hex(window.offset) + " runs past the end (" +
                             std::to_string(out.size()) + " bytes there)");
  return out;
}

int write_all(Io &io, int fd, const uint8_t *data, size_t n, off_t offset) {
  int busy = 0;
  while (n > 0) {
    const ssize_t w = io.pwrite(fd, data, n, offset);
    if (w < 0 && retry(errno, &busy)) continue;
    if (w < 0) return errno;
    if (w == 0) return EIO;
    data += w;
    n -= static_cast<size_t>(w);
    offset += w;
  }
  return 0;
}

int read_exact(Io &io, int fd, uint8_t *out, size_t n, off_t offset) {
  int busy = 0;
  while (n > 0) {
    const ssize_t r = io.pread(fd, out, n, offset);
    if (r < 0 && retry(errno, &busy)) continue;
    if (r < 0) return errno;
    if (r == 0) return EIO;  // the file got shorter
    out += r;
    n -= static_cast<size_t>(r);
    offset += r;
  }
  return 0;
}

int sync_fd(Io &io, int fd) {
  if (io.fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP) return 0;
  return errno;
}

int verify(Io &io, int fd, const uint8_t *expected, size_t n, off_t offset, long *mismatch_at) {
  *mismatch_at = -1;
  posix_fadvise(fd, offset, static_cast<off_t>(n), POSIX_FADV_DONTNEED);
  Bytes back(n);
  if (const int err = read_exact(io, fd, back.data(), n, offset)) return err;
  const auto diff = std::mismatch(back.begin(), back.end(), expected);
  if (diff.first == back.end()) return 0;
  *mismatch_at = offset + (diff.first - back.begin());
  return EIO;
}

std::string parent_of(const std::string &path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string resolved(const std::string &path) {
  char buf[PATH_MAX];
  return ::realpath(path.c_str(), buf) != nullptr ? std::string(buf) : path;
}

}  // namespace detail

using namespace detail;

namespace {

std::string base_of(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void sync_directory(Io &io, const std::string &dir) {
  const int fd = io.open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return;
  io.fsync(fd);  // best effort: the rename itself already happened
  io.close(fd);
}

// The temporary files of `path` are named .NAME.idprom-PID-N beside it.
std::string temporary_prefix(const std::string &path) { return "." + base_of(path) + ".idprom-"; }

// Creates a temporary file next to `path`; returns its fd and sets *name.
int open_temporary(Io &io, const std::string &path, std::string *name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = parent_of(path) + "/" + temporary_prefix(path) + std::to_string(::getpid()) + "-" +
            std::to_string(counter++);
    const int fd = io.open(name->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Gives the temporary file the owner and group of the file it replaces;
// only where they differ, so that an ordinary user's edit needs no rights.
int copy_owner(Io &io, int fd, const struct stat &owner, const std::string &temp,
               std::string *doing) {
  struct stat now;
  if (io.fstat(fd, &now) != 0) return errno;
  if (now.st_uid == owner.st_uid && now.st_gid == owner.st_gid) return 0;
  *doing = "keeping the owner " + std::to_string(owner.st_uid) + ":" +
           std::to_string(owner.st_gid) + " on " + temp;
  return io.fchown(fd, owner.st_uid, owner.st_gid) == 0 ? 0 : errno;
}

// Gives the temporary file the extended attributes of the file it replaces
// (POSIX ACLs, capabilities, labels and user attributes are all kept as
// extended attributes), after its mode, which would otherwise rewrite an
// ACL's mask.  One that cannot be set refuses the replacement: the file
// would lose it unasked.
int copy_xattrs(const std::string &from, int fd, const std::string &temp, std::string *doing) {
  *doing = "reading the extended attributes of " + from;
  const ssize_t size = ::llistxattr(from.c_str(), nullptr, 0);
  if (size < 0) return errno == ENOTSUP ? 0 : errno;
  std::string names(static_cast<size_t>(size), '\0');
  const ssize_t got = ::llistxattr(from.c_str(), names.data(), names.size());
  if (got < 0) return errno;
  names.resize(static_cast<size_t>(got));
  for (size_t at = 0, end = 0; at < names.size(); at = end + 1) {
    end = std::min(names.find('\0', at), names.size());  // each name ends in a zero byte
    const std::string name = names.substr(at, end - at);
    const ssize_t length = ::lgetxattr(from.c_str(), name.c_str(), nullptr, 0);
    if (length < 0) return errno;
    std::string value(static_cast<size_t>(length), '\0');
    const ssize_t read = ::lgetxattr(from.c_str(), name.c_str(), value.data(), value.size());
    if (read < 0) return errno;
    *doing = "keeping the extended attribute " + name + " on " + temp;
    if (::fsetxattr(fd, name.c_str(), value.data(), static_cast<size_t>(read), 0) != 0) return errno;
  }
  return 0;
}

// Fills the temporary file: 0 or an errno.
int fill_temporary(Io &io, int fd, const Bytes &bytes, mode_t mode, const std::string &temp,
                   const struct stat *owner, const std::string &path, std::string *doing,
                   Kind *kind) {
  long mismatch = -1;
  *doing = "writing " + temp;
  if (const int err = write_all(io, fd, bytes.data(), bytes.size(), 0)) return err;
  if (const int err = sync_fd(io, fd)) return err;
  if (const int err = verify(io, fd, bytes.data(), bytes.size(), 0, &mismatch)) {
    if (mismatch >= 0) *doing = "verifying " + temp + " at offset " + hex(uint64_t(mismatch));
    return err;
  }
  if (owner != nullptr) {
    if (const int err = copy_owner(io, fd, *owner, temp, doing)) {
      *kind = Kind::kOwner;
      return err;
    }
  }
  *doing = "setting the mode of " + temp;
  if (io.fchmod(fd, mode & 07777) != 0) return errno;
  if (owner != nullptr) {
    if (const int err = copy_xattrs(path, fd, temp, doing)) {
      *kind = Kind::kOwner;
      return err;
    }
  }
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

}  // namespace

std::vector<Region> changed_runs(const Bytes &before, const Bytes &after, Region dirty) {
  std::vector<Region> runs;
  uint32_t i = dirty.offset;
  while (i < dirty.end()) {
    if (before[i] == after[i]) {
      ++i;
      continue;
    }
    const uint32_t start = i;
    while (i < dirty.end() && before[i] != after[i]) ++i;
    runs.push_back(Region{start, i - start});
  }
  return runs;
}

void write_atomically(Io &io, const std::string &path, const Bytes &bytes, mode_t mode,
                      bool replace, const struct stat *owner) {
  std::string temp;
  const int fd = open_temporary(io, path, &temp);
  if (fd < 0)
    io_fail(path, "creating a temporary file in " + parent_of(path), errno,
            "; " + path + " was not changed");
  std::string doing;
  Kind kind = Kind::kIo;
  int err = fill_temporary(io, fd, bytes, mode, temp, owner, path, &doing, &kind);
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
      throw Failure::about(path, kExitUsage, "exists; use --force to replace it");
    throw Failure::about(path, kind,
                         doing + ": " + std::strerror(err) + "; " + path + " was not changed", err);
  }
  sync_directory(io, parent_of(path));
}

void sweep_temporaries(const std::string &path) {
  const std::string prefix = temporary_prefix(path);
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(parent_of(path), ec)) {
    if (entry.path().filename().string().starts_with(prefix))
      std::filesystem::remove(entry.path(), ec);
  }
}

void create_file(Io &io, const std::string &path, const Bytes &bytes, bool force,
                 const WriteOptions &options) {
  if (i2c::parse_target(path)) {
    throw Failure::about(path, kExitUsage,
                         "new and build write files; build the image into a file, "
                         "then `idprom restore " +
                             path + " FILE` programs the part");
  }
  struct stat st;
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !force) throw Failure::about(path, kExitUsage, "exists; use --force to replace it");
  if (exists && (!S_ISREG(st.st_mode) || st.st_nlink > 1)) {
    EditSession session(io, path, options);
    if (session.original().size() != bytes.size()) {
      throw Failure::about(path, kExitUsage,
                           "holds " + std::to_string(session.original().size()) +
                               " bytes, the new image " + std::to_string(bytes.size()));
    }
    session.commit(bytes, Region{0, static_cast<uint32_t>(bytes.size())});
    return;
  }
  if (exists) {
    write_atomically(io, resolved(path), bytes, st.st_mode, true, &st);
  } else {
    write_atomically(io, path, bytes, creation_mode(), false);
  }
}

}  // namespace idprom::tool
