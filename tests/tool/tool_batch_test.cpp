// Several images in one run, JSON Lines, JSON errors and MAC text forms,
// through the binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "idprom.hpp"
#include "run_tool.hpp"

using namespace idprom::test;

namespace {

const std::string kSample = IDPROM_SAMPLE_IMAGE;  // Base MAC 0200.0000.0100, block 64

TEST(ToolBatch, EveryImageProcessedWithItsNameAndTheFirstStatus) {
  Scratch dir;
  const std::string a = dir.path("a"), bad = dir.path("bad"), c = dir.path("c");
  write_file(a, Bytes{0x01, 0x05, 0xFF});        // Number of Slots 5, end marker
  write_file(bad, Bytes{0x01, 0x05, 0xCB, 0x80});  // PID of length 0
  write_file(c, Bytes{0x0C, 0x12, 0x01, 0x07});  // a hidden type; no end marker
  const std::string bad_text = "offset 0x0002: entry of PID (0xcb): length 0 (a variable-length "
                               "field holds at least one byte); 1 entry before it decodes";
  const std::string slots = "    Number of Slots          : ";
  expect_cases({
      // One image: no name, as before; several: every line named.
      {{"show", a}, 0, slots + "5\n", ""},
      {{"show", a, c}, 0, a + ": " + slots + "5\n" + c + ": " + slots + "7\n",
       "idprom: " + c + ": 1 entry not listed (show --all lists them)\n"},
      {{"show", c, "--all"}, 0, slots + "7\n    type 0x0c                : 12\n", ""},
      // The second of three is malformed: all three run, its status wins.
      {{"check", a, bad, c}, 3,
       a + ": ok: 1 entry, end marker at 0x0002, 1 byte free\n" + c +
           ": ok: 2 entries, no end marker (the entries fill the image; it may be truncated), "
           "0 bytes free\n",
       "idprom: " + bad + ": " + bad_text + "\n"},
      {{"get", a, bad, c, "slots"}, 3, a + ": 5\n" + bad + ": 5\n" + c + ": 7\n",
       "idprom: " + bad + ": " + bad_text + "\n"},
      {{"get", a, "slots", "0x0c"}, 1, "5\n", "idprom: " + a + ": no type 0x0c\n"},
      {{"get", "-t", "0x0c", a, c, "--hex"}, 1, c + ": 12\n", "idprom: " + a + ": no type 0x0c\n"},
      {{"check", "--json", bad}, 3,  // an object on standard output too, "ok": false
       R"({"file":")" + bad + R"(","ok":false,"problem":")" + bad_text +
           R"(","offset":2,"status":3})" "\n",
       R"({"error":")" + bad_text + R"(","file":")" + bad + R"(","offset":2,"status":3})" "\n"},
      {{"info", "--json", "/nonexistent"}, 5, "",
       R"({"error":"cannot open: No such file or directory","file":"/nonexistent","status":5})"
       "\n"},
      {{"info", dir.path("x")}, 5, "", "idprom: " + dir.path("x") +
                                          ": cannot open: No such file or directory\n"},
  });
  const Outcome i = run_tool({"info", a});
  EXPECT_EQ(i.out.substr(0, 73), "size:       3 bytes\nused:       2 bytes\nfree:       1 byte\n"
                                 "entries:    1\n");
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
  const auto mac = std::find_if(entries.begin(), entries.end(),
                                [](const auto &e) { return e["name"] == "base-mac"; });
  ASSERT_NE(mac, entries.end());
  EXPECT_EQ((*mac)["text"], "0200.0000.0100");
}

TEST(ToolBatch, MacFormsAndCount) {
  const std::string too_many = "idprom: " + kSample + ": --count 65: the block holds 64 addresses\n";
  expect_cases({
      {{"get", kSample, "base-mac"}, 0, "0200.0000.0100\n", ""},
      {{"get", kSample, "base-mac", "--mac-format", "colon"}, 0, "02:00:00:00:01:00\n", ""},
      {{"get", kSample, "base-mac", "--mac-format", "plain"}, 0, "020000000100\n", ""},
      {{"macs", kSample, "--count", "2", "--mac-format", "colon"}, 0,
       "02:00:00:00:01:00\n02:00:00:00:01:01\n", ""},
      {{"macs", kSample, "--count", "1", "--json", "--mac-format", "plain"}, 0,
       R"({"file":")" + kSample +
           R"(","base":"020000000100","block_size":64,"addresses":["020000000100"]})" "\n",
       ""},
      {{"macs", kSample, "--count", "65"}, 2, "", too_many},  // one past the block
  });
  const Outcome all = run_tool({"macs", kSample, "--count", "64"});
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.out.substr(all.out.size() - 30), "0200.0000.013e\n0200.0000.013f\n");
  const Outcome j = run_tool({"show", kSample, "--json", "--mac-format", "colon"});
  EXPECT_NE(j.out.find("\"text\": \"02:00:00:00:01:00\""), std::string::npos);
}

}  // namespace
