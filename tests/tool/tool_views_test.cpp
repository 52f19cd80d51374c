// The views of an image beside the listing: `dump --fields` against golden
// files and its spans against the bytes; `edit` with scripts as the editor,
// and the description diff it applies.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "model/describe.hpp"
#include "model/description_edit.hpp"
#include "run_tool.hpp"

using namespace idprom::test;

namespace {

const std::string kSample = IDPROM_SAMPLE_IMAGE;
// Format revision, a 0x1c5 entry (two-byte length field), a PCB serial
// number, then a 0x2c5 entry whose value runs past the end.
const Bytes kMalformed = {0x0D, 0x04, 0x00, 0xC5, 0x80, 0x02, 'h', 'i', 0xC1, 0x83, 'a', 'b',
                          'c',  0x00, 0x00, 0xC5, 0x80, 0x09, 'x', 'y', 'z', 0xFF, 0xFF};

TEST(DumpFields, GoldenTextAndSpansThatTileTheImage) {
  Scratch dir;
  const std::string bad = dir.path("bad.bin"), tail = dir.path("tail.bin");
  write_file(bad, kMalformed);
  write_file(tail, Bytes{0x0D, 0x04, 0xFF, 0x12, 0x34, 0xFF, 0xFF});  // bytes after the marker
  for (const auto &[image, golden, status] : {std::tuple{kSample, "sample_fields.txt", 0},
                                              std::tuple{bad, "malformed_fields.txt", 3}}) {
    const Outcome r = run_tool({"dump", "--fields", image});
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.out, slurp(std::string(IDPROM_GOLDEN_DIR) + "/" + golden));
  }
  for (const std::string &image : {kSample, bad, tail}) {
    const Bytes bytes = read_file(image);
    const auto d = nlohmann::json::parse(run_tool({"dump", "--fields", "--json", image}).out);
    uint32_t at = 0;
    for (const auto &s : d["spans"]) {
      ASSERT_EQ(s["offset"], at) << image;
      const std::string hex = s.value("header", "") + s.value("hex", "");
      const size_t length = s["kind"] == "entry" ? hex.size() / 2 : s["length"].get<size_t>();
      for (size_t i = 0; i < length; ++i) {
        const int b = s["kind"] == "filler" ? 0xFF : std::stoi(hex.substr(2 * i, 2), nullptr, 16);
        EXPECT_EQ(bytes[at + i], b) << image << " at " << at + i;
      }
      at += static_cast<uint32_t>(length);
    }
    EXPECT_EQ(at, bytes.size()) << image;
  }
}

// A script as $VISUAL: the image it edits, its path as TOOL, and the
// number of the run (from 0) as N; the text it saw is copied to seenN.
struct EditCase {
  const char *script;
  int status;
  std::string out;
  const char *err;  // a part of standard error
  int runs;
  const char *serial;  // what the image holds afterwards; null: unchanged, untouched
  bool window = false;  // the image lies at offset 16 of a larger file
};

TEST(Edit, ScriptedEditors) {
  const char *kSerial = "s/\"SN000000001\"/\"SN000000042\"/";
  const std::vector<EditCase> cases = {
      {":", 0, "no change; nothing was written\n", "", 1, nullptr},
      {"sed -i '%s' \"$1\"", 0, "set PCB Serial Number (0xc1)\nchanged: offset 0x000a, 11 bytes\n",
       "", 1, "SN000000042"},
      {"sed -i '%s' \"$1\"", 0, "set PCB Serial Number (0xc1)\nchanged: offset 0x000a, 11 bytes\n",
       "", 1, "SN000000042", true},
      // invalid, then saved again as reopened (the error comments aside)
      {"[ $N = 0 ] && echo '{\"size\": 256, \"entries\": [' > \"$1\"; :", 2, "",
       "the text ends before the JSON is complete (a missing } or ]?); the description came back "
       "unchanged: edit aborted, nothing was written",
       2, nullptr},
      {": > \"$1\"", 2, "", "the description came back empty", 1, nullptr},
      // someone else's edit while the editor is open
      {"$TOOL set $IMAGE pcb-serial=SN000000077; sed -i '%s' \"$1\"", 5, "",
       "changed since it was read (another edit saved it in between); nothing was written; the "
       "edited description is kept in ",
       1, "SN000000077"},
  };
  for (const EditCase &c : cases) {
    ::unsetenv("TMPDIR");  // the last case's folder is gone
    Scratch dir;
    const std::string image = dir.path("board.bin"), script = dir.path("editor.sh");
    const Bytes lead(c.window ? 16 : 0, 0xAA);
    const auto with_lead = [&](Bytes b) {
      b.insert(b.begin(), lead.begin(), lead.end());
      return b;
    };
    write_file(image, with_lead(read_file(kSample)));
    char body[512];
    std::snprintf(body, sizeof body, c.script, kSerial);
    write_file(script, "N=$(ls " + dir.path("seen") + "* 2>/dev/null | wc -l); cp \"$1\" " +
                           dir.path("seen") + "$N; stat -c %a \"$1\" > " + dir.path("mode") +
                           "; TOOL=" + IDPROM_TOOL + "; IMAGE=" + image + "; " + body + "\n");
    std::filesystem::create_directory(dir.path("tmp"));
    ::setenv("VISUAL", ("sh " + script).c_str(), 1);  // a command with an argument
    ::setenv("TMPDIR", dir.path("tmp").c_str(), 1);
    ::setenv("XDG_STATE_HOME", dir.path("state").c_str(), 1);
    struct stat before {}, after {};
    ::stat(image.c_str(), &before);
    const Outcome r = c.window ? run_tool({"edit", image, "--offset", "16", "--length", "256"})
                               : run_tool({"edit", image});
    ::stat(image.c_str(), &after);
    EXPECT_EQ(r.status, c.status) << c.script << r.err;
    EXPECT_EQ(r.out, c.out) << c.script;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.script << r.err;
    EXPECT_EQ(slurp(dir.path("mode")), "600\n");
    EXPECT_TRUE(std::filesystem::exists(dir.path("seen") + std::to_string(c.runs - 1)));
    EXPECT_FALSE(std::filesystem::exists(dir.path("seen") + std::to_string(c.runs))) << c.script;
    if (c.runs == 2) {
      EXPECT_EQ(slurp(dir.path("seen1")).rfind("// ERROR: ", 0), 0u);
    }
    if (c.serial == nullptr) {
      EXPECT_TRUE(std::filesystem::is_empty(dir.path("tmp")));
      EXPECT_EQ(read_file(image), with_lead(read_file(kSample))) << c.script;
      EXPECT_EQ(after.st_ino, before.st_ino);
      EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
      EXPECT_FALSE(std::filesystem::exists(dir.path("state"))) << "a backup of nothing";
      continue;
    }
    Bytes expected = read_file(kSample);
    std::copy_n(c.serial, std::strlen(c.serial), expected.begin() + 0x0A);
    EXPECT_EQ(read_file(image), with_lead(expected)) << c.script;
    // The edited text is kept only when it was not written, in the file named.
    const size_t kept = r.err.find(dir.path("tmp/idprom-edit-"));
    EXPECT_EQ(kept != std::string::npos, c.status != 0);
    EXPECT_EQ(std::filesystem::is_empty(dir.path("tmp")), c.status == 0);
    if (kept != std::string::npos) {
      EXPECT_NE(slurp(r.err.substr(kept, r.err.size() - kept - 1)).find("SN000000042"),
                std::string::npos);
    }
  }
  ::unsetenv("TMPDIR");
}

// Changes of the description as edits: each changed byte lies inside the
// dirty region, the result is what the description describes, and only a
// move needs a rebuild.
TEST(Edit, DescriptionDiffAsFieldEdits) {
  using idprom::tool::apply_description;
  const Bytes sample = read_file(kSample);
  using Change = void (*)(nlohmann::ordered_json &);
  const std::vector<std::tuple<Change, std::vector<std::string>, bool>> cases = {
      {[](auto &d) { d["entries"][15]["text"] = "7"; }, {"set ECI Number (0xeb)"}, false},
      {[](auto &d) { d["entries"].erase(2); }, {"deleted Hardware Revision (0x41)"}, false},
      {[](auto &d) { d["entries"].push_back({{"type", "pid"}, {"text", "X"}}); },
       {"added PID (0xcb) instance 2"}, false},
      {[](auto &d) {
         d["entries"].erase(4);
         d["entries"][0]["hex"] = "05";
         d["entries"].push_back({{"type", "0x1c5"}, {"hex", "0102"}});
       },
       {"deleted PCA Number (0x82)", "set IDPROM Format Revision (0x0d)", "added type 0x1c5"}, false},
      {[](auto &d) { std::swap(d["entries"][1], d["entries"][2]); }, {}, true},
  };
  for (const auto &[change, steps, rebuilt] : cases) {
    auto d = idprom::tool::describe(idprom::ImageView(sample));
    change(d);
    const auto edit = apply_description(sample, "// a comment\n" + d.dump(1), "x", false);
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->steps, steps);
    EXPECT_EQ(edit->rebuilt, rebuilt);
    EXPECT_EQ(edit->image, idprom::tool::build_image(d, std::nullopt, "x"));
    for (size_t i = 0; i < sample.size(); ++i)
      if (edit->image[i] != sample[i]) {
        EXPECT_GE(i, edit->dirty.offset);
        EXPECT_LT(i, edit->dirty.end());
      }
  }
}

}  // namespace
