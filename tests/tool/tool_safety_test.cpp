// The tool never loses an edit: concurrent writers, refusals that keep
// data, windows into larger parts, backups and restore, run as processes.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <future>

#include "idprom.hpp"
#include "run_tool.hpp"

using namespace idprom::test;

namespace {

// 20 concurrent edits of different fields: each one that exits 0 is present
// afterwards, and nothing else is.
void stress(const std::string &img, const std::vector<std::string> &flags) {
  ASSERT_EQ(run_tool({"new", img, "--size", "2048", "--force"}).status, 0);
  std::vector<std::future<Outcome>> runs;
  for (uint32_t i = 0; i < 20; ++i) {
    char type[16];
    std::snprintf(type, sizeof type, "0x%x=hex:0101", 0x1E1 + i);
    std::vector<std::string> args = {"set", img, type};
    args.insert(args.end(), flags.begin(), flags.end());
    runs.push_back(std::async(std::launch::async, [args] { return run_tool(args); }));
  }
  std::vector<uint32_t> done;
  for (uint32_t i = 0; i < 20; ++i) {
    const Outcome r = runs[i].get();
    if (r.status == 0) done.push_back(0x1E1 + i);
    else EXPECT_NE(r.err.find("the image is locked by another edit"), std::string::npos) << r.err;
  }
  const Bytes bytes = read_file(img);
  const idprom::ImageView view(bytes);
  std::vector<uint32_t> present;
  for (const idprom::Entry &e : view) {
    present.push_back(e.type);
    EXPECT_EQ(Bytes(e.value.begin(), e.value.end()), (Bytes{1, 1}));
  }
  std::sort(present.begin(), present.end());
  EXPECT_EQ(present, done);  // (some edit always gets the lock first: never empty)
  EXPECT_FALSE(view.layout().malformed_at);
}

TEST(ToolSafety, ConcurrentEditsAreNeverLost) {
  Scratch dir;
  ::setenv("XDG_STATE_HOME", dir.path("state").c_str(), 1);
  for (int round = 0; round < 2; ++round) {
    stress(dir.path("c.bin"), {});
    stress(dir.path("c.bin"), {"--in-place", "--no-backup"});
  }
}

TEST(ToolSafety, RefusalsKeepTheData) {
  Scratch dir;
  const std::string img = dir.path("board.bin"), at = "idprom: " + img + ": ";
  Bytes trailing(64, 0xFF);
  trailing[60] = 0x12;  // not filler: a second record, say
  const Bytes full = {0x00, 0xE1, 0x00, 0x01, 0x01, 0xFF, 0xFF, 0xFF};  // type 0x1e1, 3 free
  struct Case {
    Bytes image;
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const std::vector<Case> cases = {
      {trailing, {"set", img, "pid=" + std::string(60, 'x')}, 3,
       at + "offset 0x003c: the edit would overwrite 1 byte other than 0xff after the end marker; "
            "nothing was written (--force overwrites them)\n"},
      {full, {"set", img, "0x1e1=hex:01020304"}, 4,
       at + "the edit would leave no end marker: it needs 4 bytes, 3 free; nothing was written "
            "(--force writes it anyway)\n"},
      {full, {"set", img, "--instance", "3", "0x1e1=hex:02"}, 1,
       at + "type 0x1e1: --instance 3: the image has 1 instance; --instance 2 adds one; nothing "
            "was written\n"},
      {full, {"diff", "-", "-"}, 2,
       "idprom: standard input (-) is named twice; it can be read only once\n"},
      {full, {"set", img, "--wait", "0", "pid=A"}, 5,
       at + "the image is locked by another edit; gave up after 0 s (--wait SECONDS)\n"},
      {Bytes(70000, 0xFF), {"check", img}, 3,
       at + "larger than 65536 bytes, the largest IDPROM image; choose the image inside it with "
            "--offset and --length\n"},
  };
  for (const Case &c : cases) {
    write_file(img, c.image);
    const int fd = ::open(img.c_str(), O_RDONLY);
    if (c.status == 5) ::flock(fd, LOCK_EX);
    const Outcome r = run_tool(c.args);
    ::close(fd);
    EXPECT_EQ(r.status, c.status) << testing::PrintToString(c.args);
    EXPECT_EQ(r.err, c.err) << testing::PrintToString(c.args);
    EXPECT_EQ(read_file(img), c.image) << testing::PrintToString(c.args);
    if (c.args[0] == "set" && (c.status == 3 || c.status == 4)) {
      std::vector<std::string> forced = c.args;
      forced.push_back("--force");
      EXPECT_EQ(run_tool(forced).status, 0) << testing::PrintToString(c.args);
    }
  }
}

// An atomic replacement keeps the extended attributes (and so the ACLs) of
// the file it replaces; an image from a pipe is read in order, no seeking.
TEST(ToolSafety, AttributesSurviveAndPipesRead) {
  Scratch dir;
  const std::string img = dir.path("board.bin"), fifo = dir.path("pipe");
  write_file(img, read_file(IDPROM_SAMPLE_IMAGE));
  ASSERT_EQ(::setxattr(img.c_str(), "user.lot", "42", 2, 0), 0);
  struct stat before {}, after {};
  ::stat(img.c_str(), &before);
  ASSERT_EQ(run_tool({"set", img, "pid=LC-2"}).status, 0);
  ::stat(img.c_str(), &after);
  char lot[8] = {};
  EXPECT_NE(before.st_ino, after.st_ino);  // replaced, not written in place
  EXPECT_EQ(::getxattr(img.c_str(), "user.lot", lot, sizeof lot), 2);
  EXPECT_STREQ(lot, "42");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto writer = std::async(std::launch::async, [&] { write_file(fifo, read_file(img)); });
  const Outcome r = run_tool({"get", fifo, "pid"});
  writer.get();
  EXPECT_EQ(r.out + r.err, "LC-2\n");
}

// A reader waits for the lock an edit in place holds while it writes: it
// sees the image after the edit, never the bytes half-way.
TEST(ToolSafety, ReadersWaitForWriters) {
  Scratch dir;
  const std::string img = dir.path("board.bin");
  write_file(img, read_file(IDPROM_SAMPLE_IMAGE));
  write_file(dir.path("new.bin"), read_file(img));  // the edit the writer will make
  ASSERT_EQ(run_tool({"set", dir.path("new.bin"), "pid=LC-TEST-99"}).status, 0);
  const Bytes after = read_file(dir.path("new.bin"));
  const int writer = ::open(img.c_str(), O_RDWR | O_CLOEXEC);  // not the reader's lock too
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);
  auto reader = std::async(std::launch::async, [&] { return run_tool({"get", img, "pid"}); });
  EXPECT_EQ(reader.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  ASSERT_EQ(::pwrite(writer, after.data(), after.size(), 0), static_cast<ssize_t>(after.size()));
  ::close(writer);
  const Outcome r = reader.get();
  EXPECT_EQ(r.out + r.err, "LC-TEST-99\n");
}

TEST(ToolSafety, DryRunShowsTheChangeAndWritesNothing) {
  Scratch dir;
  const std::string img = dir.path("board.bin");
  const Bytes sample = read_file(IDPROM_SAMPLE_IMAGE);
  write_file(img, sample);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"set", img, "pid=LC-TEST-02", "--dry-run"},
       "dirty region: offset 0x003f, 18 bytes\nbefore:\n"
       "  0x003f: 4c 43 2d 54 45 53 54 2d 30 31 00 00 00 00 00 00\n  0x004f: 00 00\nafter:\n"
       "  0x003f: 4c 43 2d 54 45 53 54 2d 30 32 00 00 00 00 00 00\n  0x004f: 00 00\n"},
      {{"set", img, "pid=LC-TEST-01", "--dry-run", "--in-place"}, "no change\n"},
  };
  for (const auto &[args, out] : cases) {
    const Outcome r = run_tool(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(read_file(img), sample);
  }
}

TEST(ToolSafety, WindowBackupsAndRestore) {
  Scratch dir;
  ::setenv("XDG_STATE_HOME", dir.path("state").c_str(), 1);
  const std::string img = dir.path("part.bin");
  const Bytes part(70000, 0x5A);
  Bytes blank = part;
  std::fill(blank.begin() + 69000, blank.begin() + 69256, 0xFF);
  write_file(img, blank);
  const std::vector<std::string> window = {"--offset", "69000", "--length", "0x100"};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.end(), window.begin(), window.end());
    return run_tool(args);
  };
  ASSERT_EQ(with({"set", img, "pid=A"}).status, 0);
  const Bytes first = read_file(img);
  ASSERT_EQ(with({"set", img, "pid=B"}).status, 0);
  EXPECT_EQ(with({"get", img, "pid"}).out, "B\n");
  const Bytes second = read_file(img);
  EXPECT_TRUE(std::equal(part.begin(), part.begin() + 69000, second.begin()));
  EXPECT_TRUE(std::equal(part.begin() + 69256, part.end(), second.begin() + 69256));
  const Outcome list = run_tool({"backups", img});
  ASSERT_EQ(list.status, 0);
  const std::string newest = list.out.substr(0, list.out.find('\n'));
  const std::string oldest = list.out.substr(newest.size() + 1, list.out.size() - newest.size() - 2);
  EXPECT_EQ(newest.rfind(dir.path("state") + "/idprom/backups/", 0), 0u) << newest;
  EXPECT_EQ(with({"restore", img}).out, img + ": restored from " + newest + "\n");
  EXPECT_EQ(read_file(img), first);
  EXPECT_EQ(with({"restore", img, oldest}).status, 0);
  EXPECT_EQ(read_file(img), blank);
}

}  // namespace
