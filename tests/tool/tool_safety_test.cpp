// The tool never loses an edit: concurrent writers, refusals that keep
// data, windows into larger parts, backups and restore, run as processes.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <future>
#include <map>
#include <nlohmann/json.hpp>

#include "command.hpp"
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

// kill -9 at a different moment of each edit, replaced and in place: the
// image is always the one before or the one after, whole, and once the
// next edit has swept what the killed ones left, no file is left beside it
// and every backup is a whole image.
TEST(ToolSafety, KillNineAtAnyMomentLeavesAWholeImage) {
  Scratch dir;
  const std::string img = dir.sample("k.bin"), state = dir.path("state");
  ::setenv("XDG_STATE_HOME", state.c_str(), 1);
  std::string before = "LC-TEST-01";
  for (int i = 0; i < 24; ++i) {
    const std::string after = "LC-KILL-" + std::to_string(i);
    Args args = {"set", img, "pid=" + after};
    if (i % 2) args.push_back("--in-place");
    const pid_t pid = start_tool(args, "/dev/null", "/dev/null", "/dev/null");
    ::usleep(static_cast<useconds_t>(i * 397 % 6000));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    const Outcome got = run_tool({"get", img, "pid"});
    ASSERT_TRUE(got.out == before + "\n" || got.out == after + "\n") << i << got.out << got.err;
    before = got.out.substr(0, got.out.size() - 1);
  }
  ASSERT_EQ(run_tool({"set", img, "pid=LC-LAST"}).status, 0);
  for (const std::string &name : dir.files())
    EXPECT_TRUE(name == "k.bin" || name == "state") << name;
  std::error_code none;  // the edits of a file take a backup only in place
  for (const auto &e : std::filesystem::directory_iterator(state + "/idprom/backups", none)) {
    if (e.path().extension() != ".bin") continue;
    EXPECT_EQ(run_tool({"check", e.path()}).status, 0) << e.path();
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
  const std::string img = dir.sample("board.bin"), fifo = dir.path("pipe");
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

// Every command that reads an image (the commands with --wait and no
// --dry-run) takes --wait as edits do: with 0 it fails at once against the
// lock an edit in place holds while it writes; with a wait it reads the
// image after the edit, never the bytes half-way.
TEST(ToolSafety, ReadersWaitForWriters) {
  Scratch dir;
  const std::string img = dir.sample("board.bin"), rules = dir.path("rules.json");
  write_file(rules, std::string(R"({"required": ["pid"]})"));
  const std::map<std::string, Args> readers = {
      {"show", {img}}, {"get", {img, "pid"}}, {"dump", {img}}, {"check", {img}}, {"info", {img}},
      {"checksum", {img}}, {"diff", {img, img}}, {"macs", {img}}, {"verify", {"--rules", rules, img}},
      {"report", {img, "-o", dir.path("bundle")}}};
  CLI::App app;
  idprom::tool::Chosen chosen;
  idprom::tool::attach_commands(app, chosen);
  for (const idprom::tool::Command *c : idprom::tool::commands()) {
    const CLI::App *sub = app.get_subcommand(c->name);
    EXPECT_EQ(readers.contains(c->name), sub->get_option_no_throw("--wait") != nullptr &&
                                             sub->get_option_no_throw("--dry-run") == nullptr)
        << c->name;
  }
  write_file(dir.path("new.bin"), read_file(img));  // the edit the writer will make
  ASSERT_EQ(run_tool({"set", dir.path("new.bin"), "pid=LC-TEST-99"}).status, 0);
  const Bytes after = read_file(dir.path("new.bin"));
  const int writer = ::open(img.c_str(), O_RDWR | O_CLOEXEC);  // not the reader's lock too
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);
  std::vector<std::future<Outcome>> waiting;
  for (const auto &[name, args] : readers) {
    const Outcome r = run_tool(Args{name, "--wait", "0"} + args);
    EXPECT_EQ(r.status, 5) << name;
    EXPECT_EQ(r.err, "idprom: " + img + ": the image is locked by another edit; gave up after 0 s "
                     "(--wait SECONDS)\n") << name;
    const Args waits = Args{name, "--wait", "60"} + args;
    waiting.push_back(std::async(std::launch::async, [waits] { return run_tool(waits); }));
  }
  EXPECT_EQ(waiting[0].wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  ASSERT_EQ(::pwrite(writer, after.data(), after.size(), 0), static_cast<ssize_t>(after.size()));
  ::close(writer);
  auto w = waiting.begin();
  for (const auto &[name, args] : readers) {
    const Outcome r = (w++)->get();
    EXPECT_EQ(r.status, 0) << name << r.err;
    if (name == "get") {
      EXPECT_EQ(r.out, "LC-TEST-99\n");  // the image after the edit
    }
  }
}

TEST(ToolSafety, DryRunShowsTheChangeAndWritesNothing) {
  Scratch dir;
  const std::string img = dir.sample("board.bin");
  expect_cases({
      {{"set", img, "pid=LC-TEST-02", "--dry-run"}, 0,
       "dirty region: offset 0x003f, 18 bytes\nbefore:\n"
       "  0x003f: 4c 43 2d 54 45 53 54 2d 30 31 00 00 00 00 00 00\n  0x004f: 00 00\nafter:\n"
       "  0x003f: 4c 43 2d 54 45 53 54 2d 30 32 00 00 00 00 00 00\n  0x004f: 00 00\n", ""},
      {{"set", img, "pid=LC-TEST-01", "--dry-run", "--in-place"}, 0, "no change\n", ""},
  }, img);
}

// The newest backup's record, as `backups --json` prints it.
nlohmann::json newest(const Args &args) {
  const Outcome r = run_tool(Args{"backups", "--json"} + args);
  return r.status == 0 ? nlohmann::json::parse(r.out.substr(0, r.out.find('\n'))) : nullptr;
}

// Backups know their target, window and board: restore refuses another
// board's (a swap), another window's and another file's backup unless
// --force, backs up what it overwrites, and a simulated part's backups
// stay apart from the real part's.
TEST(ToolSafety, BackupsKnowTheirBoard) {
  Scratch dir;
  const std::string state = dir.path("state"), img = dir.path("board.bin"),
                    part = dir.path("part.bin"), sim = dir.path("sim");
  ::setenv("XDG_STATE_HOME", state.c_str(), 1);
  const Bytes sample = read_file(IDPROM_SAMPLE_IMAGE);
  Bytes blank(1024, 0x5A);
  std::fill(blank.begin() + 512, blank.begin() + 768, 0xFF);
  write_file(img, sample);
  write_file(part, blank);
  std::filesystem::create_directory(sim);
  write_file(sim + "/i2c-1-0x50.bin", sample);
  const Args window = {part, "--offset", "512", "--length", "256"};
  const Args chip = {"i2c:1:0x50", "--chip", "24c02"};
  ASSERT_EQ(run_tool({"set", img, "vid=V02", "--in-place"}).status, 0);  // backs up the sample
  ASSERT_EQ(run_tool({"set", img, "pcb-serial=SN000000009", "mainboard-serial=M1"}).status, 0);
  const Bytes swapped = read_file(img);
  ASSERT_EQ(run_tool(Args{"set"} + window + Args{"pid=A"}).status, 0);
  const std::string a = newest({img})["path"].get<std::string>(),
                    w = newest(window)["path"].get<std::string>();
  const std::string refused = "; nothing was written (--force restores it)\n";
  const std::string orphan = a + ".old.bin.json", temporary = std::filesystem::path(a)
      .replace_filename("." + std::filesystem::path(a).filename().string() + ".idprom-1-0");
  write_file(orphan, "{}");  // what a kill -9 between record and backup leaves
  write_file(temporary, "");
  const std::vector<Case> steps = {
      {{"restore", img}, 5, "", "idprom: " + img + ": " + a + " is a backup of another board: "
       "pcb-serial SN000000001 (in place: SN000000009)" + refused},
      {{"restore", part, w}, 5, "", "idprom: " + part + ": " + w + " is a backup of offset "
       "0x0200, 256 bytes, not of offset 0x0000, 1024 bytes" + refused},
      {Args{"restore"} + window + Args{a}, 5, "", "idprom: " + part + ": " + a +
       " is a backup of " + img + ", not of " + part + refused},
      {{"backups", part, "--offset", "0"}, 1, "", "idprom: " + part + ": no backups in " + state +
       "/idprom/backups\n"},
      {{"restore", img, "--force", "--dry-run"}, 0, img + ": would restore from " + a + "\n"
       "changed PCB Serial Number (0xc1): SN000000009 -> SN000000001\n"
       "changed Version Identifier (0x89): V02 -> V01\n"
       "removed Mainboard Serial Number (0xce): M1\n", ""},
      {{"restore", img, "--force"}, 0, img + ": restored from " + a + "\n", ""},
      {Args{"restore"} + window, 0, part + ": restored from " + w + "\n", ""},
      {{"backups", "i2c:1:0x50"}, 1, "", "idprom: i2c:1:0x50: no backups in " + state +
       "/idprom/backups\n"},
  };
  ::setenv("IDPROM_I2C_SIMULATE", sim.c_str(), 1);
  EXPECT_EQ(run_tool(Args{"set"} + chip + Args{"vid=V03"}).status, 0);
  const nlohmann::json simulated = newest(chip);
  const Outcome listed = run_tool({"backups", "i2c:1:0x50"});
  ::unsetenv("IDPROM_I2C_SIMULATE");
  expect_cases(steps);  // the real part's backups: none
  EXPECT_EQ(read_file(img), sample);
  EXPECT_EQ(read_file(part), blank);  // the window's backup, into the window only
  const nlohmann::json undo = newest({img});  // what the forced restore overwrote
  EXPECT_EQ(read_file(undo["path"].get<std::string>()), swapped);
  EXPECT_FALSE(std::filesystem::exists(orphan) || std::filesystem::exists(temporary));
  struct stat record {};  // a finished backup's record stays, private
  EXPECT_EQ(::stat((a + ".json").c_str(), &record) == 0 ? record.st_mode & 0777 : 0, 0600U);
  EXPECT_EQ(undo, nlohmann::json({{"path", undo["path"]}, {"target", img}, {"simulated", false},
      {"offset", 0}, {"length", 256}, {"time", undo["time"]},
      {"identity", {{"pid", "LC-TEST-01"}, {"pcb-serial", "SN000000009"},
      {"chassis-serial", "SN000000002"}, {"mainboard-serial", "M1"},
      {"base-mac", "0200.0000.0100"}}}}));
  EXPECT_EQ(std::tuple(simulated["bus"], simulated["address"], simulated["chip"]),
            std::tuple(1, 0x50, "24c02"));
  EXPECT_EQ(listed.out, simulated["path"].get<std::string>() + "  " +
      simulated["time"].get<std::string>().substr(0, 19) + "Z  offset 0x0000, 256 bytes  "
      "pid=LC-TEST-01 pcb-serial=SN000000001 chassis-serial=SN000000002 base-mac=0200.0000.0100"
      "  simulated\n");
}

}  // namespace
