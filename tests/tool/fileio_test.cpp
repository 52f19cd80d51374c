// The file layer under faults: a double of the system calls answers like a
// device or pseudo file, splits or interrupts writes, fails or corrupts a
// chosen one.  Every failure is reported (never success) and leaves the
// original bytes; every success writes only the bytes that changed.
#include "io/fileio.hpp"

#include <gtest/gtest.h>
#include <sys/statfs.h>

#include <cerrno>
#include <functional>

#include "base/errors.hpp"
#include "run_tool.hpp"

using namespace idprom::test;
using namespace idprom::tool;

namespace {

class FaultyIo : public Io {
 public:
  int fail_write = -1;     // this pwrite (counted from 0) fails with EIO
  int corrupt_write = -1;  // this pwrite stores its first byte inverted
  int fail_fsync = -1, fsync_errno = EIO;  // this fsync fails with fsync_errno
  int interrupt = 0;        // errno (EINTR, EAGAIN) of every first try of a pwrite
  bool short_writes = false;  // pwrite stores one byte at a time
  int fail_read_after = -1;   // preads after this many pwrites fail with EIO
  bool fail_rename = false, fail_fchown = false;
  mode_t file_type = 0;   // fstat answers this type (S_IFCHR) instead
  long fs_type = 0;       // fstatfs answers this file system
  int writes = 0, syncs = 0;
  std::vector<std::pair<off_t, size_t>> written;  // offset and size of each pwrite

  ssize_t pwrite(int fd, const void *buf, size_t n, off_t offset) override {
    if (interrupt != 0 && !retried_) {
      retried_ = true;
      errno = interrupt;
      return -1;
    }
    retried_ = false;
    const int index = writes++;
    if (short_writes) n = std::min<size_t>(n, 1);
    written.emplace_back(offset, n);
    Bytes bytes(static_cast<const uint8_t *>(buf), static_cast<const uint8_t *>(buf) + n);
    if (index == fail_write) return errno = EIO, -1;
    if (index == corrupt_write) bytes[0] = static_cast<uint8_t>(~bytes[0]);
    return Io::pwrite(fd, bytes.data(), n, offset);
  }
  ssize_t pread(int fd, void *buf, size_t n, off_t offset) override {
    if (fail_read_after >= 0 && writes > fail_read_after) return errno = EIO, -1;
    return Io::pread(fd, buf, n, offset);
  }
  int fsync(int fd) override {
    if (syncs++ == fail_fsync) return errno = fsync_errno, -1;
    return Io::fsync(fd);
  }
  int rename(const char *from, const char *to) override {
    if (fail_rename) return errno = EXDEV, -1;
    return Io::rename(from, to);
  }
  int fchown(int fd, uid_t uid, gid_t gid) override {
    if (fail_fchown) return errno = EPERM, -1;
    return Io::fchown(fd, uid, gid);
  }
  int fstat(int fd, struct stat *st) override {
    const int r = Io::fstat(fd, st);
    if (file_type != 0 && writes == 0)
      st->st_mode = (st->st_mode & 07777) | file_type;
    return r;
  }
  int fstatfs(int fd, struct statfs *st) override {
    const int r = Io::fstatfs(fd, st);
    if (fs_type != 0) st->f_type = fs_type;
    return r;
  }

 private:
  bool retried_ = false;
};

const Bytes kOriginal = [] {
  Bytes b(64, 0xFF);
  for (uint8_t i = 0; i < 20; ++i) b[i] = static_cast<uint8_t>(0x10 + i);
  return b;
}();

// The original with bytes 8, 9 and 11 changed: two runs in the region 8..11.
const Bytes kUpdated = [] {
  Bytes b = kOriginal;
  b[8] = b[9] = b[11] = 0xA0;
  return b;
}();
constexpr Region kDirty{8, 4};
const std::vector<std::pair<off_t, size_t>> kRuns = {{8, 2}, {11, 1}};

// Commits kUpdated through the double: the failure's code and message, or 0 and "".
std::pair<int, std::string> commit(FaultyIo &io, const std::string &path, WriteOptions options) {
  try {
    EditSession session(io, path, std::move(options));
    session.commit(kUpdated, kDirty);
    return {0, ""};
  } catch (const Failure &f) {
    return {f.code(), f.what()};
  }
}

struct StateFolder {  // each test's backups in its own scratch folder
  Scratch dir;
  StateFolder() { ::setenv("XDG_STATE_HOME", dir.path("state").c_str(), 1); }
};

// A fault in place or in an atomic replacement: the failure is reported and
// leaves the original (in place, also its backup; replaced, no temporary).
TEST(FileLayer, FaultsAndRetries) {
  struct Case {
    const char *what;
    bool in_place;
    std::function<void(FaultyIo &)> fault;
    const char *message;  // "" for success
    const Bytes *left;    // the image afterwards (null: not known)
  };
  // In place, pwrite 0 fills the backup's record, 1 the backup; 2 and 3 are
  // the runs; 4 and 5 write the original back.  fsync 0 flushes the record,
  // 1 its folder, 2 the backup, 3 the folder again, 4 the runs.  Replaced,
  // pwrite 0 and fsync 0 are the new file's.
  const std::vector<Case> cases = {
      {"run write fails", true, [](FaultyIo &io) { io.fail_write = 3; }, "were written back",
       &kOriginal},
      {"run corrupted", true, [](FaultyIo &io) { io.corrupt_write = 2; }, "differs from the",
       &kOriginal},
      {"flush fails", true, [](FaultyIo &io) { io.fail_fsync = 4; }, "were written back",
       &kOriginal},
      {"read-back fails", true, [](FaultyIo &io) { io.fail_read_after = 3; }, "FAILED TOO",
       nullptr},
      {"restore fails too", true, [](FaultyIo &io) { io.fail_write = 4, io.corrupt_write = 2; },
       "the original image is in ", nullptr},
      {"short writes", true, [](FaultyIo &io) { io.short_writes = true; }, "", &kUpdated},
      {"EINTR", true, [](FaultyIo &io) { io.interrupt = EINTR; }, "", &kUpdated},
      {"EAGAIN", true, [](FaultyIo &io) { io.interrupt = EAGAIN; }, "", &kUpdated},
      {"device cannot flush", true,
       [](FaultyIo &io) { io.fail_fsync = 4, io.fsync_errno = EINVAL; }, "", &kUpdated},
      {"write fails", false, [](FaultyIo &io) { io.fail_write = 0; }, "was not changed",
       &kOriginal},
      {"write corrupted", false, [](FaultyIo &io) { io.corrupt_write = 0; }, "was not changed",
       &kOriginal},
      {"new file's flush fails", false, [](FaultyIo &io) { io.fail_fsync = 0; }, "was not changed",
       &kOriginal},
      {"rename fails", false, [](FaultyIo &io) { io.fail_rename = true; }, "was not changed",
       &kOriginal},
      {"owner cannot be kept", false, [](FaultyIo &io) { io.fail_fchown = true; },
       "was not changed", &kOriginal},
  };
  for (const Case &c : cases) {
    StateFolder state;
    const std::string image = state.dir.path("eeprom.bin");
    write_file(image, kOriginal);
    ASSERT_EQ(::chown(image.c_str(), 4242, 4243), 0);
    FaultyIo io;
    c.fault(io);
    const auto [code, message] =
        commit(io, image, WriteOptions{c.in_place, false, false, "", 5, {}, {}});
    EXPECT_EQ(code, *c.message ? kExitIo : 0) << c.what;
    EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
    EXPECT_EQ(c.left ? read_file(image) : Bytes{}, c.left ? *c.left : Bytes{}) << c.what;
    EXPECT_EQ(c.in_place ? read_file(list_backups(image).at(0)) : Bytes{},
              c.in_place ? kOriginal : Bytes{}) << c.what;
    EXPECT_EQ(state.dir.files(), (c.in_place ? Args{"eeprom.bin", "state"} : Args{"eeprom.bin"}))
        << c.what << ": no temporary left";
  }
}

TEST(FileLayer, WhereEachKindOfFileIsWrittenOwnerAndModeKept) {
  struct Case {
    const char *what;
    std::function<void(FaultyIo &, const std::string &)> setup;
    bool in_place;
  };
  const std::vector<Case> cases = {
      {"regular file", [](FaultyIo &, const std::string &) {}, false},
      {"--in-place", nullptr, true},
      {"hard link", [](FaultyIo &, const std::string &p) { ::link(p.c_str(), (p + "2").c_str()); },
       true},
      {"sysfs attribute", [](FaultyIo &io, const std::string &) { io.fs_type = 0x62656572; }, true},
      {"character device", [](FaultyIo &io, const std::string &) { io.file_type = S_IFCHR; }, true},
  };
  for (const Case &c : cases) {
    StateFolder state;
    const std::string image = state.dir.path("eeprom.bin");
    write_file(image, kOriginal);
    ASSERT_EQ(::chown(image.c_str(), 4242, 4243) | ::chmod(image.c_str(), 0640), 0);
    FaultyIo io;
    if (c.setup) c.setup(io, image);
    EXPECT_EQ(commit(io, image, WriteOptions{!c.setup, false, true, "", 5, {}, {}}).first, 0) << c.what;
    EXPECT_EQ(io.written, (c.in_place ? kRuns : decltype(kRuns){{0, 64}})) << c.what;
    EXPECT_EQ(read_file(image), kUpdated) << c.what;
    EXPECT_EQ(read_file(image + "2"), c.what[0] == 'h' ? kUpdated : Bytes{}) << c.what;  // link
    struct stat st;
    ASSERT_EQ(::stat(image.c_str(), &st), 0);
    EXPECT_EQ(std::tuple(st.st_uid, st.st_gid, st.st_mode & 07777), std::tuple(4242U, 4243U, 0640U))
        << c.what;
  }
}

TEST(FileLayer, ChangesOutsideTheDirtyRegionAndDryRun) {
  Scratch dir;
  const std::string image = dir.path("board.bin");
  write_file(image, kOriginal);
  FaultyIo io;
  EditSession session(io, image, WriteOptions{true, true, true, "", 5, {}, {}});
  EXPECT_THROW(session.commit(kUpdated, Region{8, 2}), Failure);
  session.commit(kUpdated, kDirty);
  EXPECT_EQ(io.writes, 0);
  EXPECT_EQ(read_file(image), kOriginal);
}

}  // namespace
