// The commands run as processes, on one image or several: exact standard
// output and error and exit statuses on the sample, whose listing is the
// one golden file; JSON exact too; edits compared byte for byte.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "run_tool.hpp"

using namespace idprom::test;

namespace {

const std::string kSample = IDPROM_SAMPLE_IMAGE;  // Base MAC 0200.0000.0100, block 64

TEST(ToolShow, SampleListingFromFileAndStandardInput) {
  const std::string golden = slurp(std::string(IDPROM_GOLDEN_DIR) + "/sample_listing.txt");
  for (const Outcome &r : {run_tool({"show", kSample}), run_tool({kSample}), run_tool({"-"}, kSample)}) {
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, golden.substr(1));
    EXPECT_EQ(r.err, "");
  }
}

TEST(ToolCommands, OutputsAndStatuses) {
  Scratch dir;
  const std::string a = dir.path("a"), bad = dir.path("bad"), c = dir.path("c"), out = dir.path("lot");
  write_file(a, Bytes{0x01, 0x05, 0xFF});                          // Number of Slots 5, end marker
  write_file(bad, Bytes{0x01, 0x05, 0xCB, 0x80, 0x41, 0x01, 0x00, 0xFF});  // PID of length 0
  write_file(c, Bytes{0x0C, 0x12, 0x01, 0x07});  // a hidden type; no end marker
  const std::string bad_text = "offset 0x0002: entry of PID (0xcb): length 0 (a variable-length "
                               "field holds at least one byte); 1 entry before it decodes";
  const std::string bad_err = "idprom: " + bad + ": " + bad_text + "\n";
  const std::string slots = "    Number of Slots          : ";
  const std::string desc = dir.path("d.json"), ok = dir.path("ok.json");
  write_file(desc, std::string(R"({"size": 3, "entries": [], "tale": "01"})"));
  write_file(ok, std::string(R"({"size": 3, "entries": [{"type": "slots", "text": "5"}]})"));
  const std::string multicast = dir.path("mc.json");  // refused unless forced
  write_file(multicast,
             std::string(R"({"size": 9, "entries": [{"type": "base-mac", "text": "0100.5e00.0001"}]})"));
  const std::string undeclared =
      "idprom: i2c:1:0x50: the part is not declared; declare the part with --chip NAME (see "
      "`idprom chips`), or with --size, --page-size and --address-width 1|2\n";
  expect_cases({
      {{"get", kSample, "0xcb", "--hex"}, 0, "4c432d544553542d30310000000000000000\n", ""},
      {{"get", kSample, "pca-rev", "--raw"}, 0, std::string("A0\0\0", 4), ""},
      {{"get", kSample, "slots"}, 1, "", "idprom: " + kSample + ": no Number of Slots (0x01)\n"},
      {{"get", kSample, "top-assy"}, 2, "",
       "idprom: type 'top-assy' is ambiguous: top-assy-pn (0x87), top-assy-rev (0x8d), "
       "top-assy-pn6 (0xc0), top-assy-pn5 (0xdf)\n"},
      {{"show", kSample, "--only", "pid,clei"}, 0,
       "    CLEI Code                : CLEI000001\n    PID                      : LC-TEST-01\n", ""},
      {{"show", bad}, 3, slots + "5\n", bad_err},
      {{"dump", kSample, "--offset", "160", "--length", "20"}, 0,
       "\t  0x00: 00 00 0f a0 ff ff ff ff ff ff ff ff ff ff ff ff\n", ""},
      {{"checksum", kSample, "--range", "256:0"}, 0, "checksum:   0x00000001\ncrc-16:     0x0000\n",
       ""},  // an empty range at the very end
      {{"checksum", kSample, "--range", "1:256"}, 2, "",
       "idprom: --range 1:256: runs past the image's end (256 bytes)\n"},
      {{"checksum", kSample, "--range", "12"}, 2, "", "idprom: --range: expected OFFSET:LENGTH\n"},
      {{"show", "/nonexistent/image.bin"}, 5, "",
       "idprom: /nonexistent/image.bin: cannot open: No such file or directory\n"},
      {{"set", bad, "--wait", "nan", "slots=1"}, 2, "",  // NaN passes any range check
       "idprom: --wait: expected 0 to 86400 seconds, not 'nan' (see `idprom help`)\n"},
      {{"build", desc, "-o", "-"}, 2, "", "idprom: " + desc + ": unknown member \"tale\"\n"},
      {{"build", ok, "-o", "-"}, 0, std::string("\x01\x05\xff", 3), ""},
      {{"build", multicast, "-o", "-"}, 6, "",
       "idprom: " + multicast + ": Base MAC Address 0100.5e00.0001 is a multicast address; nothing was "
       "written (--force stores it anyway)\n"},
      {{"build", multicast, "-o", "-", "--force"}, 0,
       std::string("\xcf\x06\x01\x00\x5e\x00\x00\x01\xff", 9), ""},
      {{"set", kSample, "--dry-run", "--instance", "3", "pid=X"}, 1, "",  // other types not counted
       "idprom: " + kSample + ": PID (0xcb): --instance 3: the image has 1 instance; --instance 2 "
       "adds one; nothing was written\n"},
      {{"shwo"}, 2, "", "idprom: unknown command 'shwo' (did you mean 'show'?)\n"},
      {{"show", kSample, "--bogus"}, 2, "",
       "idprom: The following argument was not expected: --bogus (see `idprom help`)\n"},
      {{"show", "i2c:1:0x50"}, 2, "", undeclared},
      {{"set", "i2c:1:0x50", "slots=2"}, 2, "", undeclared},
      {{"get", "i2c:1:0x50", "slots", "--chip", "24c02", "--offset", "256"}, 2, "",
       "idprom: i2c:1:0x50: --offset 256 is past the end of the part (the part holds 256 bytes)\n"},
      {{"new", "i2c:1:0x50", "--size", "256"}, 2, "",
       "idprom: i2c:1:0x50: new and build write files; build the image into a file, then "
       "`idprom restore i2c:1:0x50 FILE` programs the part\n"},
      // One image: no name; several: every line named.
      {{"show", a, c}, 0, a + ": " + slots + "5\n" + c + ": " + slots + "7\n",
       "idprom: " + c + ": 1 entry not listed (show --all lists them)\n"},
      {{"show", c, "--all"}, 0, slots + "7\n    type 0x0c                : 12\n", ""},
      // The second of three is malformed: all three run, its status wins.
      {{"check", a, bad, c}, 3,
       a + ": ok: 1 entry, end marker at 0x0002, 1 byte free\n" + c +
           ": ok: 2 entries, no end marker (the entries fill the image; it may be truncated), "
           "0 bytes free\n",
       bad_err},
      {{"get", a, bad, c, "slots"}, 3, a + ": 5\n" + bad + ": 5\n" + c + ": 7\n", bad_err},
      {{"get", a, "slots", "0x0c"}, 1, "5\n", "idprom: " + a + ": no type 0x0c\n"},
      {{"get", "-t", "0x0c", a, c, "--hex"}, 1, c + ": 12\n", "idprom: " + a + ": no type 0x0c\n"},
      {{"check", "--json", bad}, 3,  // an object on standard output too, "ok": false
       R"({"file":")" + bad + R"(","ok":false,"problem":")" + bad_text +
           R"(","offset":2,"status":3})" "\n",
       R"({"error":")" + bad_text + R"(","file":")" + bad + R"(","offset":2,"status":3})" "\n"},
      {{"info", "--json", "/nonexistent"}, 5, "",
       R"({"error":"cannot open: No such file or directory","file":"/nonexistent","status":5})"
       "\n"},
      {{"checksum", "--json", kSample, "--range", "0:16"}, 0,
       R"({"file":")" + kSample + R"(","offset":0,"length":16,"checksum":"0xf6dc6cca",)"
       R"("crc16":"0x54df"})" "\n", ""},
      {{"program", "--json", kSample, "--count", "1", "--out", out, "--serial", "SN#"}, 0,
       R"({"out":")" + out + R"(","manifest":"manifest.jsonl","recovered":null,"units":[)"
       R"({"file":"SN1.bin","serial":"SN1","base_mac":"0200.0000.0100","block_size":64,)"
       R"("checksum":"0xe989b37b"}]})" "\n", ""},
      // MAC forms, and a count up to the block's size
      {{"get", kSample, "base-mac"}, 0, "0200.0000.0100\n", ""},
      {{"get", kSample, "base-mac", "--mac-format", "colon"}, 0, "02:00:00:00:01:00\n", ""},
      {{"get", kSample, "base-mac", "--mac-format", "plain"}, 0, "020000000100\n", ""},
      {{"macs", kSample, "--count", "2", "--mac-format", "colon"}, 0,
       "02:00:00:00:01:00\n02:00:00:00:01:01\n", ""},
      {{"macs", kSample, "--count", "1", "--json", "--mac-format", "plain"}, 0,
       R"({"file":")" + kSample +
           R"(","base":"020000000100","block_size":64,"addresses":["020000000100"]})" "\n",
       ""},
      {{"macs", kSample, "--count", "65"}, 2, "",  // one past the block
       "idprom: " + kSample + ": --count 65: the block holds 64 addresses\n"},
  });
  EXPECT_EQ(run_tool({"chips"}).out.substr(0, 108),
            "chip      size  page  address bytes  write cycle (ms)\n"
            "24c01      128     8              1                10\n");
  EXPECT_EQ(run_tool({"chips", "--json"}).out.substr(80, 80),
            R"({"chip":"24c02","size":256,"page_size":8,"address_width":1,"write_cycle_ms":10})" "\n");
  EXPECT_EQ(run_tool({"info", a}).out.substr(0, 73),
            "size:       3 bytes\nused:       2 bytes\nfree:       1 byte\nentries:    1\n");
  const Outcome all = run_tool({"macs", kSample, "--count", "64"});
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.out.substr(all.out.size() - 30), "0200.0000.013e\n0200.0000.013f\n");
}

TEST(ToolBatch, JsonLinesAgreeWithTheDescription) {
  Scratch dir;
  const std::string c = dir.path("c");
  write_file(c, Bytes{0x0C, 0x12, 0x01, 0x07});  // no end marker
  const Outcome show = run_tool({"show", "--json", c, kSample});
  const Outcome info = run_tool({"info", "--json", c, kSample});
  ASSERT_EQ(show.status + info.status, 0) << show.err << info.err;
  std::istringstream shown(show.out), infos(info.out);
  for (const std::string &path : {c, kSample}) {
    std::string s, n;
    ASSERT_TRUE(std::getline(shown, s) && std::getline(infos, n));
    const auto d = nlohmann::json::parse(s), f = nlohmann::json::parse(n);
    EXPECT_EQ(d["file"], path);
    EXPECT_EQ(f["file"], path);
    for (const char *key : {"size", "used", "free", "end_marker"}) EXPECT_EQ(d[key], f[key]) << key;
  }
  EXPECT_EQ(nlohmann::json::parse(info.out.substr(0, info.out.find('\n')))["end_marker"], nullptr);
  const auto entries = nlohmann::json::parse(show.out.substr(show.out.find('\n') + 1))["entries"];
  EXPECT_EQ(entries[13]["name"], "base-mac");
  EXPECT_EQ(entries[13]["text"], "0200.0000.0100");
  const Outcome j = run_tool({"show", kSample, "--json", "--mac-format", "colon"});
  EXPECT_NE(j.out.find("\"text\": \"02:00:00:00:01:00\""), std::string::npos);
}

TEST(ToolSet, SeveralAssignmentsWrittenOnceThenDiffed) {
  Scratch dir;
  const std::string img = dir.path("board.bin"), old = dir.path("old.bin");
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
  write_file(old, expected);
  // Shrinking the PID moves the later fields up; delete closes the gap.
  EXPECT_EQ(run_tool({"set", img, "pid=hex:4142"}).status, 0);
  EXPECT_EQ(run_tool({"delete", img, "mac-block-size"}).status, 0);
  const Outcome d = run_tool({"diff", old, img});
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.out,
            "changed PID (0xcb): LC-1 -> AB\n"
            "removed MAC Addr. Block Size (0x43): 16\n");
}

TEST(ToolSet, FailuresNameTheProblemAndLeaveTheFile) {
  Scratch dir;
  const std::string img = dir.sample("board.bin"), at = "idprom: " + img + ": ";
  // Each no-room row misses by one byte: the first leaves 67 bytes free, the second 25.
  const std::string fill25 = "0x1e1=hex:" + std::string(42, 'a');
  const std::string fill67 = "0x1e1=hex:" + std::string(126, 'a');
  expect_cases({
      {{"set", img, "pid=X", "slots=256"}, 6, "",  // the first assignment is not written either
       at + "value '256' for Number of Slots (0x01): expected an integer from 0 to 255; "
            "nothing was written\n"},
      {{"set", img, "pid"}, 2, "", at + "'pid': expected TYPE=VALUE; nothing was written\n"},
      {{"set", img, fill25, "0x1e2=hex:" + std::string(126, 'b')}, 4, "",  // header 4, value 63
       at + "type 0x1e2: no room for a new field and the end marker after it: needs 68 bytes, "
            "67 free; nothing was written\n"},
      {{"set", img, fill67, "pid=" + std::string(44, 'c')}, 4, "",  // 18 bytes grow to 44
       at + "PID (0xcb): not enough free bytes after the end marker to grow the field: needs 26 "
            "bytes, 25 free; nothing was written\n"},
      {{"set", img, "--attr", "text", "slots=1"}, 6, "",  // refused as build refuses it
       at + "Number of Slots (0x01) is a fixed-size type and has no display attribute (hex, text "
            "and decimal apply to variable-length types); nothing was written\n"},
      {{"set", img, "fab-pn=256-0001-01"}, 6, "",  // each group within its own width
       at + "value '256-0001-01' for Fab Part Number (0x85): expected decimal numbers (0 to "
            "255)-(0 to 65535)-(0 to 255); nothing was written\n"},
      {{"set", img, "power=12.345"}, 6, "",  // hundredths at most
       at + "value '12.345' for Power Consumption (0xd7): expected watts from 0 to "
            "42949672.95, with up to two decimals; nothing was written\n"},
  }, img);
  EXPECT_EQ(dir.files(), std::vector<std::string>{"board.bin"});
}

}  // namespace
