// The writing commands run as a process: new, set, delete, build.  Files
// are compared byte for byte before and after; standard output stays
// empty during edits.
#include <gtest/gtest.h>

#include "run_tool.hpp"

using namespace idprom::test;

namespace {

const std::string kSample = IDPROM_SAMPLE_IMAGE;

Bytes blank(size_t n) { return Bytes(n, 0xFF); }

TEST(ToolNew, CreatesBlankImagesAndRefusesToReplace) {
  Scratch dir;
  const std::string img = dir.path("board.bin");
  const Outcome r = run_tool({"new", img, "--size", "0x40"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(read_file(img), blank(64));

  write_file(img, Bytes{1, 2, 3});
  const Outcome again = run_tool({"new", img, "--size", "64"});
  EXPECT_EQ(again.status, 2);
  EXPECT_EQ(again.err, "idprom: " + img + ": exists; use --force to replace it\n");
  EXPECT_EQ(read_file(img), (Bytes{1, 2, 3}));
  EXPECT_EQ(run_tool({"new", img, "--size", "32", "--force"}).status, 0);
  EXPECT_EQ(read_file(img), blank(32));

  EXPECT_EQ(run_tool({"new", dir.path("x.bin"), "--size", "0"}).status, 2);
  EXPECT_EQ(run_tool({"new", dir.path("x.bin"), "--size", "65537"}).status, 2);
  EXPECT_EQ(run_tool({"new", dir.path("x.bin")}).status, 2);
  EXPECT_EQ(dir.files(), std::vector<std::string>{"board.bin"});
}

TEST(ToolSet, SeveralAssignmentsWrittenOnce) {
  Scratch dir;
  const std::string img = dir.path("board.bin");
  ASSERT_EQ(run_tool({"new", img, "--size", "48"}).status, 0);
  const Outcome r = run_tool({"set", img, "pid=LC-1", "mac-block-size=16",
                              "base-mac=00:1a:2b:3c:4d:5e", "pca=73-1234-02", "slots=4"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  Bytes expected = {0xCB, 0x92, 'L',  'C',  '-',  '1',  0,    0,    0,    0,    0,    0,    0,
                    0,    0,    0,    0,    0,    0,    0,    0x43, 0x00, 0x10, 0xCF, 0x06, 0x00,
                    0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x82, 0x49, 0x04, 0xD2, 0x02, 0x01, 0x04, 0xFF};
  expected.resize(48, 0xFF);
  EXPECT_EQ(read_file(img), expected);

  const Outcome shown = run_tool({"show", img});
  EXPECT_EQ(shown.out,
            "    PID                      : LC-1\n"
            "    MAC Addr. Block Size     : 16\n"
            "    Base MAC Address         : 001a.2b3c.4d5e\n"
            "    PCA Number               : 73-1234-02\n"
            "    Number of Slots          : 4\n");

  // Shrinking the PID by hex moves the later fields up; delete closes gaps.
  EXPECT_EQ(run_tool({"set", img, "pid=hex:4142"}).status, 0);
  EXPECT_EQ(run_tool({"delete", img, "mac-block-size"}).status, 0);
  EXPECT_EQ(run_tool({"get", img, "pid", "--hex"}).out, "4142\n");
  EXPECT_EQ(run_tool({"check", img}).status, 0);
  Bytes after = {0xCB, 0x82, 'A',  'B',  0xCF, 0x06, 0x00, 0x1A, 0x2B, 0x3C,
                 0x4D, 0x5E, 0x82, 0x49, 0x04, 0xD2, 0x02, 0x01, 0x04};
  after.resize(48, 0xFF);
  EXPECT_EQ(read_file(img), after);
}

TEST(ToolSet, InstancesOfOneType) {
  Scratch dir;
  const std::string img = dir.path("board.bin");
  ASSERT_EQ(run_tool({"new", img, "--size", "32"}).status, 0);
  // An instance beyond those present appends another entry of the type.
  ASSERT_EQ(run_tool({"set", img, "deviation-n=7"}).status, 0);
  ASSERT_EQ(run_tool({"set", img, "--instance", "2", "deviation-n=5", "pid=A"}).status, 0);
  EXPECT_EQ(run_tool({"show", img}).out,
            "    Deviation Number # 1     : 7\n"
            "    Deviation Number # 2     : 5\n"
            "    PID                      : A\n");
  EXPECT_EQ(run_tool({"show", img, "--first"}).out,
            "    Deviation Number # 1     : 7\n"
            "    PID                      : A\n");
  EXPECT_EQ(run_tool({"show", img, "--instance", "2"}).out, "    Deviation Number # 2     : 5\n");
  EXPECT_EQ(run_tool({"get", img, "deviation-n", "--instance", "2", "--int"}).out, "5\n");
  ASSERT_EQ(run_tool({"delete", img, "deviation-n"}).status, 0);
  EXPECT_EQ(run_tool({"show", img}).out,
            "    Deviation Number # 1     : 5\n"
            "    PID                      : A\n");
}

TEST(ToolSet, FailuresNameTheProblemAndLeaveTheFile) {
  Scratch dir;
  const std::string img = dir.path("board.bin");
  write_file(img, read_file(kSample));
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const std::string at = "idprom: " + img + ": ";
  const std::vector<Case> cases = {
      {{"slots=256"},
       6,
       at + "slots=256: value '256' for Number of Slots (0x01): expected an integer from 0 to 255; "
            "nothing was written\n"},
      {{"pid=X", "base-mac=01.02"},
       6,
       at +
           "base-mac=01.02: value '01.02' for Base MAC Address (0xcf): expected a MAC address like "
           "001a.2b3c.4d5e, 00:1a:2b:3c:4d:5e or 001a2b3c4d5e; nothing was written\n"},
      {{"slots=1", "--no-create"},
       1,
       at + "slots=1: Number of Slots (0x01): no such field, and --no-create forbids adding it "
            "(IDPROM_ERR_NOT_FOUND_NO_CREATE); nothing was written\n"},
      {{"mfg-test-data=hex:" + std::string(2 * 63, 'a'),
        "field-diag=hex:" + std::string(2 * 63, 'b')},
       4,
       at + "field-diag=hex:" + std::string(2 * 63, 'b') +
           ": Field Diagnostics Data (0xc5): no room for a new field and the end marker after it "
           "(IDPROM_ERR_NO_ROOM); nothing was written\n"},
      {{"udi-desc=" + std::string(63, 'u'), "pid=" + std::string(63, 'p'),
        "clei=" + std::string(63, 'c')},
       4,
       at + "clei=" + std::string(63, 'c') +
           ": CLEI Code (0xc6): not enough free bytes after the end marker to grow the field "
           "(IDPROM_ERR_NO_ROOM_TO_GROW); nothing was written\n"},
      {{"bogus=1"},
       2,
       at + "bogus=1: unknown type 'bogus' (see `idprom types`; a code in hex or decimal always "
            "works); nothing was written\n"},
      {{"pid"}, 2, at + "pid: expected TYPE=VALUE; nothing was written\n"},
      {{"0x100=1"},
       2,
       at + "0x100=1: type 0x100 has no encoding (the low byte of a type code is 0x01 to 0xfe); "
            "nothing was written\n"},
  };
  for (const Case &c : cases) {
    std::vector<std::string> args = {"set", img};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome r = run_tool(args);
    EXPECT_EQ(r.status, c.status) << c.args[0];
    EXPECT_EQ(r.out, "") << c.args[0];
    EXPECT_EQ(r.err, c.err) << c.args[0];
    EXPECT_EQ(read_file(img), read_file(kSample)) << c.args[0];
  }
  EXPECT_EQ(dir.files(), std::vector<std::string>{"board.bin"});
}

TEST(ToolSet, DryRunShowsTheRegionAndWritesNothing) {
  Scratch dir;
  const std::string img = dir.path("board.bin");
  write_file(img, read_file(kSample));
  const Outcome r = run_tool({"set", img, "pid=LC-48GE-FX", "--dry-run"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "dirty region: offset 0x003f, 18 bytes\n"
            "before:\n"
            "  0x003f: 4c 43 2d 54 45 53 54 2d 30 31 00 00 00 00 00 00\n"
            "  0x004f: 00 00\n"
            "after:\n"
            "  0x003f: 4c 43 2d 34 38 47 45 2d 46 58 00 00 00 00 00 00\n"
            "  0x004f: 00 00\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read_file(img), read_file(kSample));
  EXPECT_EQ(run_tool({"set", img, "pid=LC-TEST-01", "--dry-run"}).out, "no change\n");
}

TEST(ToolSet, InPlaceWithBackup) {
  Scratch dir;
  const std::string img = dir.path("eeprom"), backup = dir.path("saved.bin");
  write_file(img, read_file(kSample));
  const Outcome r = run_tool({"set", img, "--in-place", "--backup", backup, "mac-block-size=128"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(read_file(backup), read_file(kSample));
  Bytes expected = read_file(kSample);
  expected[0x6C] = 0x00;
  expected[0x6D] = 0x80;
  EXPECT_EQ(read_file(img), expected);
  // The default backup is IMAGE.bak; an unwritable backup stops the edit.
  EXPECT_EQ(run_tool({"delete", img, "--in-place", "power"}).status, 0);
  EXPECT_EQ(read_file(img + ".bak"), expected);
  const Outcome no_backup =
      run_tool({"set", img, "--in-place", "--backup", "/nonexistent/x.bak", "slots=2"});
  EXPECT_EQ(no_backup.status, 5);
  EXPECT_NE(no_backup.err.find("no backup, so " + img + " was not changed"), std::string::npos)
      << no_backup.err;
}

TEST(ToolSet, AttributeOption) {
  Scratch dir;
  const std::string img = dir.path("board.bin");
  write_file(img, read_file(kSample));
  // Same length, another attribute: the length byte changes, nothing else.
  EXPECT_EQ(run_tool({"set", img, "--attr", "hex", "pid=LC-TEST-01"}).status, 0);
  Bytes expected = read_file(kSample);
  expected[0x3E] = 0xD2;
  EXPECT_EQ(read_file(img), expected);
  EXPECT_EQ(run_tool({"set", img, "--attr", "octal", "pid=x"}).status, 2);
}

TEST(ToolEdit, RefusesMalformedImagesAndAbsentFields) {
  Scratch dir;
  const std::string bad = dir.path("bad.bin"), img = dir.path("board.bin");
  const Bytes malformed = {0x01, 0x05, 0xCB, 0x80, 0x41, 0x01, 0x00, 0xFF};
  write_file(bad, malformed);
  const Outcome r = run_tool({"set", bad, "slots=2"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err,
            "idprom: " + bad +
                ": offset 0x0002: entry of PID (0xcb): length 0 (a variable-length field holds "
                "at least one byte); refusing to edit\n");
  EXPECT_EQ(run_tool({"delete", bad, "slots"}).status, 3);
  EXPECT_EQ(read_file(bad), malformed);
  write_file(dir.path("empty.bin"), Bytes{});
  EXPECT_EQ(run_tool({"set", dir.path("empty.bin"), "slots=2"}).status, 3);

  write_file(img, read_file(kSample));
  const Outcome absent = run_tool({"delete", img, "slots"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(absent.err, "idprom: " + img + ": Number of Slots (0x01): no such field\n");
  EXPECT_EQ(run_tool({"delete", img, "deviation-n", "--instance", "2"}).status, 1);
  EXPECT_EQ(read_file(img), read_file(kSample));
  EXPECT_EQ(run_tool({"set", "-", "slots=1"}).status, 2);
  EXPECT_EQ(run_tool({"set", dir.path("missing.bin"), "slots=1"}).status, 5);
}

TEST(ToolBuild, FromAHandWrittenDescription) {
  Scratch dir;
  const std::string desc = dir.path("board.json"), img = dir.path("board.bin");
  write_file(desc, std::string(R"({"entries": [
      {"type": "pid", "value": "LC-1"},
      {"type": "0x43", "value": "16"},
      {"type": 207, "value": "001a2b3c4d5e"},
      {"type": "udi-desc", "hex": "414243", "attribute": "hex"},
      {"type": 453, "hex": "0102"}]})"));
  const Outcome r = run_tool({"build", desc, "--size", "64", "-o", img});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  Bytes expected = {0xCB, 0x92, 'L',  'C',  '-',  '1',  0,    0,    0,    0,    0,
                    0,    0,    0,    0,    0,    0,    0,    0,    0,    0x43, 0x00,
                    0x10, 0xCF, 0x06, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0xDA, 0xC3,
                    0x41, 0x42, 0x43, 0x00, 0xC5, 0x00, 0x02, 0x01, 0x02};
  expected.resize(64, 0xFF);
  EXPECT_EQ(read_file(img), expected);

  struct Case {
    std::string json;
    int status;
  };
  const std::vector<Case> bad = {
      {"{", 2},
      {R"({"entries": []})", 2},  // no size
      {R"({"size": 8, "entries": [{"type": "pid", "value": "x"}]})", 4},
      {R"({"size": 64, "entries": [{"type": "slots", "value": "300"}]})", 6},
      {R"({"size": 64, "entries": [{"type": "slots"}]})", 2},
      {R"({"size": 64, "entries": [{"type": "slots", "hex": "01", "value": "1"}]})", 2},
      {R"({"size": 64, "entries": [{"type": "slots", "hex": "01", "colour": 1}]})", 2},
      {R"({"size": 64, "entries": [{"type": "slots", "hex": "01", "length": 2}]})", 6},
      {R"({"size": 64, "entries": [{"type": "top-assy", "hex": "01"}]})", 2},
  };
  for (const Case &c : bad) {
    write_file(desc, c.json);
    const Outcome b = run_tool({"build", desc, "-o", dir.path("out.bin")});
    EXPECT_EQ(b.status, c.status) << c.json << b.err;
    EXPECT_NE(b.err, "") << c.json;
  }
  EXPECT_EQ(dir.files().size(), 2U);  // board.json and board.bin only
  write_file(desc, std::string(R"({"size": 16, "entries": []})"));
  EXPECT_EQ(run_tool({"build", desc, "-o", img}).status, 2);  // exists
  EXPECT_EQ(run_tool({"build", desc, "-o", img, "--force"}).status, 0);
  EXPECT_EQ(read_file(img), blank(16));
}

}  // namespace
