// Edit sessions: the lock that survives a file renamed over the path, the
// choice between atomic replacement and an in-place write, and the
// in-place write itself (backup, changed bytes only, read-back, restore).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <thread>

#include "base/errors.hpp"
#include "io/fileio.hpp"
#include "io/fileio_detail.hpp"
#include "io/device.hpp"
#include "i2c/diagnose.hpp"

namespace idprom::tool {

using namespace detail;

namespace {

using Clock = std::chrono::steady_clock;

// File systems whose files are views of kernel objects (an EEPROM's sysfs
// or nvmem attribute): no file can be created beside them, so they are
// written in place.
constexpr unsigned long kPseudoFileSystems[] = {
    0x62656572,  // sysfs
    0x9fa0,      // procfs
    0x64626720,  // debugfs
    0x62656570,  // configfs
};

bool on_pseudo_file_system(Io &io, int fd) {
  struct statfs fs {};
  if (io.fstatfs(fd, &fs) != 0) return false;
  const auto type = static_cast<unsigned long>(fs.f_type);
  return std::find(std::begin(kPseudoFileSystems), std::end(kPseudoFileSystems), type) !=
         std::end(kPseudoFileSystems);
}

bool same_file(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

EditSession::EditSession(Io &io, std::string path, WriteOptions options, SessionTerms terms)
    : io_(io), path_(std::move(path)), options_(std::move(options)), terms_(std::move(terms)) {
  if (path_ == "-") throw Failure(kExitUsage, "edits need an image file, not standard input");
  if (const auto target = i2c::parse_target(path_)) {
    device_ = std::make_unique<i2c::Device>(*target, options_.device, options_.window,
                                            !options_.dry_run, options_.wait, terms_.names.wait);
    in_place_ = true;
    original_ = device_->read();
  } else {
    open_locked();
    try {
      in_place_ = options_.in_place || !S_ISREG(stat_.st_mode) || stat_.st_nlink > 1 ||
                  !options_.window.whole() || on_pseudo_file_system(io_, fd_);
      original_ = read_window(io_, fd_, path_, true, options_.window);
    } catch (...) {
      io_.close(fd_);  // the destructor does not run for a throwing constructor
      throw;
    }
  }
  if (terms_.expect && *terms_.expect != original_) {
    if (fd_ >= 0) io_.close(fd_);
    throw Failure(Kind::kConflict, path_ +
                                       ": changed since it was read (another edit saved it in "
                                       "between); nothing was written");
  }
}

// Opens and locks the file the path names.  Another edit may rename a new
// file over the path while this one waits for the lock on the old file;
// the lock is only good when the path still names the locked file.
void EditSession::open_locked() {
  const auto deadline = deadline_after(options_.wait);
  const int flags = (options_.dry_run ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NOCTTY;
  for (;;) {
    fd_ = io_.open(path_.c_str(), flags, 0);
    if (fd_ < 0) io_fail(path_, "cannot open for editing", errno);
    if (io_.fstat(fd_, &stat_) != 0) io_fail(path_, "cannot stat", errno);
    if (S_ISDIR(stat_.st_mode)) throw Failure(kExitIo, path_ + ": is a directory");
    const bool locked = lock_until(io_, fd_, path_, LOCK_EX, deadline);
    struct stat now {};
    if (locked && io_.stat(path_.c_str(), &now) == 0 && same_file(now, stat_)) {
      if (io_.fstat(fd_, &stat_) != 0) io_fail(path_, "cannot stat", errno);
      return;
    }
    io_.close(fd_);
    fd_ = -1;
    if (!locked || Clock::now() >= deadline) {
      locked_fail(path_, options_.wait, terms_.names.wait);
    }
  }
}

EditSession::~EditSession() {
  if (fd_ >= 0) io_.close(fd_);
}

void EditSession::commit(const Bytes &updated, Region dirty) {
  const bool outside_equal =
      updated.size() == original_.size() && dirty.end() <= updated.size() &&
      std::equal(updated.begin(), updated.begin() + dirty.offset, original_.begin()) &&
      std::equal(updated.begin() + dirty.end(), updated.end(), original_.begin() + dirty.end());
  if (!outside_equal)
    throw Failure(kExitIo, path_ + ": internal error: change outside the dirty region");
  if (options_.dry_run || updated == original_) return;  // nothing to write
  if (device_) {
    commit_device(updated);
  } else if (in_place_) {
    commit_in_place(updated, dirty);
  } else {
    if (options_.backup_always) make_backup();
    commit_atomic(updated);
  }
}

std::vector<Region> EditSession::planned_pages(const Bytes &updated) const {
  std::vector<Region> pages;
  if (!device_) return pages;
  for (const i2c::Run &run : device_->plan(original_, updated))
    pages.push_back(Region{run.offset, run.length});
  return pages;
}

void EditSession::commit_atomic(const Bytes &updated) {
  try {
    sweep_temporaries(resolved(path_));
    write_atomically(io_, resolved(path_), updated, stat_.st_mode, true, &stat_);
  } catch (const Failure &f) {
    if (f.kind() != Kind::kOwner || *terms_.names.in_place == '\0') throw;
    throw f.reworded(std::string(f.what()) + " (" + terms_.names.in_place + ")");
  }
}

// What the written span reads back as tells a part behind a driver that
// stores nothing (write protect) from one that stores part of a write.
std::string EditSession::stuck(Region span) {
  Bytes back(span.length);
  const auto base = static_cast<off_t>(options_.window.offset);
  if (read_exact(io_, fd_, back.data(), back.size(), base + span.offset) != 0) return "";
  const auto before = std::span<const uint8_t>(original_).subspan(span.offset, span.length);
  const auto at = static_cast<uint32_t>(base) + span.offset;  // windows lie in the first 4 GiB
  return "; " + i2c::explain(i2c::diagnose(before, back, at, {}, {at, span.length}, 0), "");
}

void EditSession::commit_in_place(const Bytes &updated, Region dirty) {
  const std::vector<Region> runs = changed_runs(original_, updated, dirty);
  if (runs.empty()) return;
  make_backup();
  const auto base = static_cast<off_t>(options_.window.offset);
  for (const Region &run : runs) {
    const int err = write_all(io_, fd_, updated.data() + run.offset, run.length, base + run.offset);
    if (err != 0)
      restore(runs, std::string("writing ") + std::to_string(run.length) + " bytes at offset " +
                        hex(static_cast<uint64_t>(base) + run.offset) + ": " + std::strerror(err));
  }
  if (const int err = sync_fd(io_, fd_))
    restore(runs, std::string("flushing: ") + std::strerror(err));
  const Region span{runs.front().offset, runs.back().end() - runs.front().offset};
  long mismatch = -1;
  const int err = verify(io_, fd_, updated.data() + span.offset, span.length, base + span.offset,
                         &mismatch);
  if (mismatch >= 0) {
    restore(runs, "verification failed: the byte read back at offset " +
                      hex(static_cast<uint64_t>(mismatch)) + " differs from the one written" +
                      stuck(span));
  }
  if (err != 0) restore(runs, std::string("reading back: ") + std::strerror(err));
}

// A part on a bus: backed up first, then only the changed bytes, page by
// page; a failed write restores the part, or names the backup.
void EditSession::commit_device(const Bytes &updated) {
  make_backup();
  try {
    device_->write(original_, updated);
  } catch (const i2c::WriteFailure &f) {
    if (f.restored() || backup_.empty()) throw;
    throw Failure(f.code(), std::string(f.what()) + ": the original image is in " + backup_);
  }
}

void EditSession::restore(const std::vector<Region> &runs, const std::string &why) {
  const auto base = static_cast<off_t>(options_.window.offset);
  int err = 0;
  long mismatch = -1;
  for (const Region &run : runs) {
    if (err == 0)
      err = write_all(io_, fd_, original_.data() + run.offset, run.length, base + run.offset);
  }
  if (err == 0) err = sync_fd(io_, fd_);
  for (const Region &run : runs) {
    if (err == 0)
      err = verify(io_, fd_, original_.data() + run.offset, run.length, base + run.offset,
                   &mismatch);
  }
  if (err == 0) {
    throw Failure(kExitIo, path_ + ": " + why + "; the original bytes were written back");
  }
  throw Failure(kExitIo, path_ + ": " + why + "; WRITING THE ORIGINAL BYTES BACK FAILED TOO (" +
                             (mismatch >= 0 ? "verification" : std::strerror(err)) + "): " +
                             (backup_.empty() ? "there is no backup"
                                              : "the original image is in " + backup_));
}

}  // namespace idprom::tool
