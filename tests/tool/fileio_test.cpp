// The file layer under faults: a double of the system calls fails or
// corrupts a chosen write.  Every failure must be reported (as an I/O
// failure, never success) and leave the original bytes in the file.
#include "fileio.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "errors.hpp"
#include "run_tool.hpp"

using idprom::test::Bytes;
using idprom::test::read_file;
using idprom::test::Scratch;
using idprom::test::write_file;
using namespace idprom::tool;

namespace {

// Counts the writes and, at the chosen one, fails or writes flipped bytes
// while reporting success.
class FaultyIo : public Io {
 public:
  int fail_write = -1;     // this pwrite (counted from 0) fails with EIO
  int corrupt_write = -1;  // this pwrite stores its first byte inverted
  int fail_fsync = -1;     // this fsync (counted from 0) fails with EIO
  bool fail_rename = false;
  int writes = 0;
  int syncs = 0;
  std::vector<std::pair<off_t, size_t>> written;  // offset and size of each pwrite

  ssize_t pwrite(int fd, const void *buf, size_t n, off_t offset) override {
    const int index = writes++;
    written.emplace_back(offset, n);
    if (index == fail_write) {
      errno = EIO;
      return -1;
    }
    if (index == corrupt_write && n > 0) {
      Bytes bad(static_cast<const uint8_t *>(buf), static_cast<const uint8_t *>(buf) + n);
      bad[0] = static_cast<uint8_t>(~bad[0]);
      return Io::pwrite(fd, bad.data(), n, offset);
    }
    return Io::pwrite(fd, buf, n, offset);
  }
  int fsync(int fd) override {
    if (syncs++ == fail_fsync) {
      errno = EIO;
      return -1;
    }
    return Io::fsync(fd);
  }
  int rename(const char *from, const char *to) override {
    if (fail_rename) {
      errno = EXDEV;
      return -1;
    }
    return Io::rename(from, to);
  }
};

const Bytes kOriginal = [] {
  Bytes b(64, 0xFF);
  for (uint8_t i = 0; i < 20; ++i) b[i] = static_cast<uint8_t>(0x10 + i);
  return b;
}();

// The original with bytes 8..11 changed.
const Bytes kUpdated = [] {
  Bytes b = kOriginal;
  for (size_t i = 8; i < 12; ++i) b[i] = 0xA0;
  return b;
}();
constexpr Region kDirty{8, 4};

// Commits kUpdated through the double; returns the failure's code and
// message, or 0 and "" on success.
std::pair<int, std::string> commit(FaultyIo &io, const std::string &path, WriteOptions options) {
  try {
    EditSession session(io, path, std::move(options));
    std::ostringstream out;
    session.commit(kUpdated, kDirty, out);
    return {0, ""};
  } catch (const Failure &f) {
    return {f.code(), f.what()};
  }
}

TEST(FileLayer, InPlaceFaultsAreReportedAndTheOriginalRestored) {
  struct Case {
    const char *what;
    int fail_write, corrupt_write, fail_fsync;
    const char *message;
    bool restored;
  };
  // pwrite 0 fills the backup's temporary file; 1 is the dirty region;
  // 2 writes the original bytes back.  fsync 0 flushes the backup, 1 its
  // folder, 2 the dirty region.
  const std::vector<Case> cases = {
      {"region write fails", 1, -1, -1, "the original bytes were written back", true},
      {"region write corrupted", -1, 1, -1, "differs from the one written", true},
      {"region flush fails", -1, -1, 2, "the original bytes were written back", true},
      {"restore fails too", 2, 1, -1, "the original image is in ", false},
  };
  for (const Case &c : cases) {
    Scratch dir;
    const std::string image = dir.path("eeprom.bin"), backup = dir.path("eeprom.bin.bak");
    write_file(image, kOriginal);
    FaultyIo io;
    io.fail_write = c.fail_write;
    io.corrupt_write = c.corrupt_write;
    io.fail_fsync = c.fail_fsync;
    const auto [code, message] = commit(io, image, WriteOptions{true, false, false, ""});
    EXPECT_EQ(code, kExitIo) << c.what;
    EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
    if (c.restored) {
      EXPECT_EQ(read_file(image), kOriginal) << c.what;
    }
    EXPECT_EQ(read_file(backup), kOriginal) << c.what;
  }
}

TEST(FileLayer, BackupGoesWhereAsked) {
  Scratch dir;
  const std::string image = dir.path("eeprom.bin");
  write_file(image, kOriginal);
  FaultyIo io;
  EXPECT_EQ(commit(io, image, WriteOptions{true, false, false, dir.path("saved")}).first, 0);
  EXPECT_EQ(read_file(dir.path("saved")), kOriginal);
  EXPECT_EQ(read_file(image), kUpdated);
}

TEST(FileLayer, InPlaceWritesOnlyTheDirtyRegion) {
  Scratch dir;
  const std::string image = dir.path("eeprom.bin");
  write_file(image, kOriginal);
  FaultyIo io;
  EXPECT_EQ(commit(io, image, WriteOptions{true, false, true, ""}).first, 0);
  ASSERT_EQ(io.written.size(), 1U);
  EXPECT_EQ(io.written[0], (std::pair<off_t, size_t>{8, 4}));
  EXPECT_EQ(read_file(image), kUpdated);
  EXPECT_EQ(dir.files(), std::vector<std::string>{"eeprom.bin"});  // --no-backup
}

TEST(FileLayer, BackupFailureWritesNothing) {
  Scratch dir;
  const std::string image = dir.path("eeprom.bin");
  write_file(image, kOriginal);
  FaultyIo io;
  io.fail_write = 0;
  const auto [code, message] = commit(io, image, WriteOptions{true, false, false, ""});
  EXPECT_EQ(code, kExitIo);
  EXPECT_NE(message.find("no backup, so " + image + " was not changed"), std::string::npos)
      << message;
  EXPECT_EQ(io.writes, 1);
  EXPECT_EQ(read_file(image), kOriginal);
  EXPECT_EQ(dir.files(), std::vector<std::string>{"eeprom.bin"});
}

TEST(FileLayer, AtomicReplacementFaultsLeaveTheFileAndNoTemporary) {
  struct Case {
    const char *what;
    int fail_write, corrupt_write, fail_fsync;
    bool fail_rename;
  };
  const std::vector<Case> cases = {
      {"write fails", 0, -1, -1, false},
      {"write corrupted", -1, 0, -1, false},
      {"flush fails", -1, -1, 0, false},
      {"rename fails", -1, -1, -1, true},
  };
  for (const Case &c : cases) {
    Scratch dir;
    const std::string image = dir.path("board.bin");
    write_file(image, kOriginal);
    FaultyIo io;
    io.fail_write = c.fail_write;
    io.corrupt_write = c.corrupt_write;
    io.fail_fsync = c.fail_fsync;
    io.fail_rename = c.fail_rename;
    const auto [code, message] = commit(io, image, WriteOptions{});
    EXPECT_EQ(code, kExitIo) << c.what;
    EXPECT_NE(message.find("was not changed"), std::string::npos) << c.what << ": " << message;
    EXPECT_EQ(read_file(image), kOriginal) << c.what;
    EXPECT_EQ(dir.files(), std::vector<std::string>{"board.bin"}) << c.what;
  }
}

TEST(FileLayer, AtomicReplacementKeepsTheMode) {
  Scratch dir;
  const std::string image = dir.path("board.bin");
  write_file(image, kOriginal);
  ::chmod(image.c_str(), 0640);
  FaultyIo io;
  EXPECT_EQ(commit(io, image, WriteOptions{}).first, 0);
  EXPECT_EQ(read_file(image), kUpdated);
  struct stat st;
  ASSERT_EQ(::stat(image.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640U);
  EXPECT_EQ(dir.files(), std::vector<std::string>{"board.bin"});
}

TEST(FileLayer, ChangesOutsideTheDirtyRegionAreRefused) {
  Scratch dir;
  const std::string image = dir.path("board.bin");
  write_file(image, kOriginal);
  FaultyIo io;
  EditSession session(io, image, WriteOptions{true, false, true, ""});
  std::ostringstream out;
  EXPECT_THROW(session.commit(kUpdated, Region{8, 2}, out), Failure);
  EXPECT_EQ(io.writes, 0);
  EXPECT_EQ(read_file(image), kOriginal);
}

TEST(FileLayer, DryRunPrintsTheRegionAndWritesNothing) {
  Scratch dir;
  const std::string image = dir.path("board.bin");
  write_file(image, kOriginal);
  FaultyIo io;
  EditSession session(io, image, WriteOptions{false, true, false, ""});
  std::ostringstream out;
  session.commit(kUpdated, kDirty, out);
  EXPECT_EQ(out.str(),
            "dirty region: offset 0x0008, 4 bytes\n"
            "before:\n"
            "  0x0008: 18 19 1a 1b\n"
            "after:\n"
            "  0x0008: a0 a0 a0 a0\n");
  EXPECT_EQ(io.writes, 0);
  EXPECT_EQ(read_file(image), kOriginal);
}

TEST(FileLayer, RegionUnion) {
  EXPECT_EQ((Region{8, 4}.joined(Region{2, 2})).offset, 2U);
  EXPECT_EQ((Region{8, 4}.joined(Region{2, 2})).length, 10U);
  EXPECT_EQ((Region{}.joined(Region{5, 1})).offset, 5U);
  EXPECT_EQ((Region{5, 1}.joined(Region{})).length, 1U);
}

}  // namespace
