// program, verify, help and completion as a process: the files a batch
// leaves (or does not leave), the report per image, exit statuses.
#include <gtest/gtest.h>
#include <sys/file.h>

#include <CLI/CLI.hpp>
#include <cstring>
#include <fstream>
#include <map>

#include "command.hpp"
#include "i2c/part.hpp"
#include "run_tool.hpp"

using namespace idprom::test;

namespace {

const std::string kSample = IDPROM_SAMPLE_IMAGE;  // Base MAC 0200.0000.0100, block 64

// A unit is the template after `set` of the same fields: program agrees
// with cp + set, byte for byte, and the manifest with `checksum`.
TEST(ToolProgram, WritesEveryUnitAsSetWould) {
  Scratch dir;
  const std::string out = dir.path("lot");
  const Outcome r =
      run_tool({"program", kSample, "--count", "3", "--out", out, "--serial", "SN####",
                "--serial-start", "7", "--mac-start", "02:1a:2b:00:00:fe", "--set", "pid=LC-NEW"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, out + ": 3 images and manifest.jsonl\n");
  EXPECT_EQ(dir.files(), std::vector<std::string>{"lot"});
  const char *macs[] = {"021a.2b00.00fe", "021a.2b00.013e", "021a.2b00.017e"};  // carry
  std::string manifest;
  for (int i = 0; i < 3; ++i) {
    const std::string serial = "SN000" + std::to_string(7 + i), copy = dir.sample("copy.bin");
    const Outcome set = run_tool({"set", copy, "pid=LC-NEW", "pcb-serial=" + serial,
                                  std::string("base-mac=") + macs[i]});
    ASSERT_EQ(set.status, 0);
    EXPECT_EQ(read_file(out + "/" + serial + ".bin"), read_file(copy)) << serial;
    const std::string sum = run_tool({"checksum", copy}).out.substr(12, 10);
    manifest += "{\"file\":\"" + serial + ".bin\",\"serial\":\"" + serial + "\",\"base_mac\":\"" +
                macs[i] + "\",\"block_size\":64,\"checksum\":\"" + sum + "\"}\n";
  }
  EXPECT_EQ(slurp(out + "/manifest.jsonl"), manifest);
}

TEST(ToolProgram, RefusesBeforeWritingAnything) {
  Scratch dir;
  const std::string out = dir.path("lot"), desc = dir.path("t.json");
  write_file(desc, std::string(R"({"size": 64, "entries": [{"type": "pid", "value": 12}]})"));
  write_file(dir.path("bad.bin"), Bytes{0x01, 0x02, 0x03});
  const std::string tail = "; nothing was written\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--count", "3", "--serial", "SN##", "--serial-start", "98"},
       "--serial 'SN##': unit number 100 does not fit in 2 digits (units 98 to 100)" + tail},
      {{"--count", "5", "--mac-start", "02:00:00:00:00:00", "--mac-end", "02:00:00:00:00:ff"},
       "the MAC block of unit 5 of 5 (0200.0000.0100, 64 addresses) passes --mac-end "
       "0200.0000.00ff" +
           tail},
      {{"--count", "2", "--mac-start", "00:ff:ff:ff:ff:c0"},
       "the MAC blocks from 00ff.ffff.ffc0 to 0100.0000.003f cross into a multicast first octet" +
           tail},
      {{"--count", "1", "--mac-start", "03:00:00:00:00:00"},
       "--mac-start 0300.0000.0000: a multicast address (the first octet is odd)" + tail},
      {{"--count", "1", "--serial", "A#", "--set", "pcb-serial=X"},
       "--set gives PCB Serial Number, which --serial sets for each unit" + tail},
  };
  for (const auto &[args, err] : cases) {
    const Outcome r = run_tool(Args{"program", kSample, "--out", out} + args);
    EXPECT_EQ(r.status, 2) << err;
    EXPECT_EQ(r.err, "idprom: " + err);
    EXPECT_TRUE(dir.files().size() == 2) << err;  // the folder was not even created
  }
  EXPECT_EQ(run_tool({"program", desc, "--count", "1", "--out", out}).err,
            "idprom: " + desc + ": entries[0]: \"value\" is the number 12; give it as a string: \"12\"\n");
  const Outcome bad = run_tool({"program", dir.path("bad.bin"), "--count", "1", "--out", out});
  EXPECT_EQ(bad.status, 3);
  EXPECT_EQ(run_tool({"program", kSample, "--count", "1", "--out", out, "--mac-start", "z"}).status,
            6);
}

TEST(ToolProgram, LastBlockReachesMacEndExactlyAndNeverOverwrites) {
  Scratch dir;
  const std::string out = dir.path("lot");
  const std::vector<std::string> args = {"program", kSample, "--count", "4", "--out", out,
      "--mac-start", "02:00:00:00:00:00", "--mac-end", "02:00:00:00:00:ff"};
  ASSERT_EQ(run_tool(args).status, 0);
  EXPECT_EQ(run_tool({"get", out + "/unit-4.bin", "base-mac"}).out, "0200.0000.00c0\n");
  write_file(out + "/unit-2.bin", std::string("mine"));
  const Bytes first = read_file(out + "/unit-1.bin");
  const Outcome again = run_tool({"program", kSample, "--count", "4", "--out", out});
  EXPECT_EQ(again.status, 2);
  EXPECT_EQ(again.err, "idprom: " + out + "/unit-1.bin: exists; use --force to replace it; "
                       "nothing was written\n");
  EXPECT_EQ(slurp(out + "/unit-2.bin"), "mine");
  auto forced = args;
  forced[7] = "02:00:00:00:01:00";  // --mac-start
  forced.back() = "02:00:00:00:01:ff";
  forced.push_back("--force");
  ASSERT_EQ(run_tool(forced).status, 0);
  EXPECT_NE(read_file(out + "/unit-1.bin"), first);
  EXPECT_EQ(run_tool({"get", out + "/unit-2.bin", "base-mac"}).out, "0200.0000.0140\n");
  // no staging folder, no replaced file set aside
  EXPECT_EQ(names_in(out), (std::vector<std::string>{"manifest.jsonl", "unit-1.bin", "unit-2.bin",
                                                     "unit-3.bin", "unit-4.bin"}));
}

// A signal at each phase of a run: before the last file (the manifest)
// goes in the folder is left as it was, with nothing left over, and the
// run exits 128 + the signal; after it the batch stands.  A kill -9 leaves
// a journal that the next run uses to undo or finish the batch.
TEST(ToolProgram, SignalsLeaveAllOrNothing) {
  Scratch dir;
  const std::string out = dir.path("lot");
  const std::vector<std::string> batch = {"manifest.jsonl", "unit-1.bin", "unit-2.bin"};
  struct Case {
    const char *fault;
    int status;
    bool published;
    const char *rerun_says;  // what the next run reports finding
  };
  const Case cases[] = {
      {"staging:15", 143, false, ""},   {"installing:2", 130, false, ""},
      {"publishing:1", 129, false, ""}, {"published:15", 0, true, ""},
      {"installing:9", 137, false, "undid an interrupted run: the folder is as it was before it\n"},
      {"published:9", 137, true, "finished an interrupted run: all its 3 files were in place\n"},
  };
  for (const Case &c : cases) {
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    write_file(out + "/unit-2.bin", std::string("mine"));
    ::setenv("IDPROM_FAULT_PROGRAM", c.fault, 1);
    const Outcome r = run_tool({"program", kSample, "--count", "2", "--out", out, "--force"});
    ::unsetenv("IDPROM_FAULT_PROGRAM");
    EXPECT_EQ(r.status, c.status) << c.fault;
    EXPECT_EQ(slurp(out + "/unit-2.bin") == "mine", !c.published) << c.fault;
    if (c.status < 137) {
      EXPECT_EQ(names_in(out), c.published ? batch : std::vector<std::string>{"unit-2.bin"}) << c.fault;
    }
    const Outcome rerun = run_tool({"program", kSample, "--count", "2", "--out", out, "--force"});
    EXPECT_EQ(rerun.status, 0) << c.fault;
    EXPECT_EQ(rerun.err, *c.rerun_says ? out + ": " + c.rerun_says : "") << c.fault;
    EXPECT_EQ(names_in(out), batch) << c.fault;
  }
  const int held = ::open(out.c_str(), O_RDONLY | O_DIRECTORY);  // another run's lock
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const Outcome busy = run_tool({"program", kSample, "--count", "2", "--out", out, "--force"});
  ::close(held);
  EXPECT_EQ(busy.status, 5);
  EXPECT_EQ(busy.err, "idprom: " + out + ": another program run is writing this folder; "
                      "nothing was written\n");
}

TEST(ToolVerify, ReportsEachFailedRulePerImage) {
  Scratch dir;
  const std::string rules = dir.path("r.json"), bad = dir.path("b.bin"), odd = dir.sample("o.bin");
  write_file(rules, std::string(R"({"size": 256, "required": ["PID", "0xc1", "base-m"],
      "match": {"pid": "^LC-", "pcb-serial": "^SN[0-9]{9}$"},
      "mac": {"start": "02:00:00:00:01:00", "end": "0200.0000.013f"}})"));
  write_file(bad, Bytes{0x01, 0x02, 0x03});
  const std::vector<std::string> multicast = {"set", odd, "pid=XX-1", "base-mac=03:00:00:00:01:00"};
  EXPECT_EQ(run_tool(multicast).err, "idprom: " + odd + ": Base MAC Address 0300.0000.0100 is a "
            "multicast address; nothing was written (--force stores it anyway)\n");
  EXPECT_EQ(read_file(odd), read_file(kSample));
  ASSERT_EQ(run_tool({"set", odd, "pid=XX-1", "base-mac=03:00:00:00:01:00", "--force"}).status, 0);
  const Outcome r = run_tool({"verify", "--rules", rules, kSample, odd, bad});
  EXPECT_EQ(r.status, 7);
  EXPECT_EQ(r.out, kSample + ": ok\n" + odd + ": match: PID (0xcb) 'XX-1' does not match /^LC-/\n" +
      odd + ": base-mac: Base MAC Address 0300.0000.0100 is a multicast address\n" + odd +
      ": mac: block 0300.0000.0100 to 0300.0000.013f (64 addresses) lies outside 0200.0000.0100 "
      "to 0200.0000.013f\n" + bad + ": entries: offset 0x0002: entry of RMA Test History (0x03): "
      "its 1-byte value runs past the image's end (0 left)\n");
  const Outcome j = run_tool({"verify", "--json", "--rules", rules, bad, kSample});
  EXPECT_EQ(j.status, 3);
  EXPECT_EQ(j.out.substr(j.out.find('\n') + 1),
            "{\"file\":\"" + kSample + "\",\"ok\":true,\"status\":0,\"failures\":[]}\n");
  write_file(rules, std::string(R"({"mac": {"start": "02:00:00:00:00:00", "stop": 1}})"));
  EXPECT_EQ(run_tool({"verify", "--rules", rules, kSample}).err,
            "idprom: " + rules + ": \"mac\": unknown member \"stop\"\n");
}

// Patterns that make a backtracking engine run for minutes or overflow its
// stack finish at once; one the linear engine cannot take is refused when
// the rules are read.
TEST(ToolVerify, PatternsRunInLinearTime) {
  Scratch dir;
  const std::string rules = dir.path("r.json"), img = dir.path("i.bin");
  ASSERT_EQ(run_tool({"new", img, "--size", "8192"}).status, 0);
  ASSERT_EQ(run_tool({"set", img, "pid=" + std::string(31, 'a') + "!",
                      "envmon-data=hex:" + std::string(8000, '0')}).status, 0);
  write_file(rules, std::string(R"({"match": {"pid": "^(a+)+$",
      "envmon-data": "^([0-9a-f]{2}\\s*)+$"}})"));
  const Outcome r = run_tool({"verify", "--rules", rules, img});
  EXPECT_EQ(r.status, 7) << r.err;
  EXPECT_EQ(r.out.find(img + ": match: PID (0xcb) '" + std::string(31, 'a') +
                       "!' does not match /^(a+)+$/\n"), 0u) << r.out;
  EXPECT_EQ(r.out.find("envmon-data"), std::string::npos) << r.out;  // 4000 bytes of 00 match
  write_file(rules, std::string(R"({"match": {"pid": "^(a)\\1$"}})"));
  const Outcome b = run_tool({"verify", "--rules", rules, img});
  EXPECT_EQ(b.status, 2);
  EXPECT_EQ(b.err.rfind("idprom: " + rules + ": \"match\": \"pid\": not a regular expression", 0),
            0u) << b.err;
}

// What get prints (--int too) and what the listing shows, set reads back.
TEST(ToolValuesRoundTrip, GetIntAndListingTextReadBack) {
  Scratch dir;
  const std::string img = dir.sample("b.bin");
  ASSERT_EQ(run_tool({"set", img, "hw-rev=0x0102", "power=41 Watts (Maximum)", "deviation-n=-5"})
                .status,
            0);
  EXPECT_EQ(run_tool({"get", img, "--hex", "deviation-n"}).out, "fffffffb\n");  // listed as -5
  EXPECT_EQ(run_tool({"get", img, "hw-rev"}).out, "1.2\n");
  EXPECT_EQ(run_tool({"get", img, "power"}).out, "41\n");
  const std::string desc = dir.path("d.json"), at = "idprom: " + desc + ": ";
  const std::string syntax = "{\"size\": 64,\n \"entries\": [{\"type\": 1 \"value\": \"3\"}]}",
                    ab = R"({"size": 20, "entries": [{"type": "pid", "value": "AB"}]})",
                    bad_json = at + "not valid JSON at line 2, column 31: unexpected string "
                               "literal; expected '}'\n";
  const struct {
    std::string json;
    Args args;
    int status;
    std::string err;
  } builds[] = {  // program and build through one description reader
      {syntax, {"program", desc, "--count", "1", "--out", img}, 2, bad_json},
      {syntax, {"build", desc, "-o", img}, 2, bad_json},
      {R"({"size": 64, "entries": [{"type": 1, "value": "3", "attribute": "hex"}]})",
       {"build", desc, "-o", img, "--force"}, 6, at + "entries[0]: Number of Slots (0x01) is a "
       "fixed-size type and has no display attribute (hex, text and decimal apply to "
       "variable-length types)\n"},
      {ab, {"build", desc, "-o", img, "--force", "--size", "19"}, 4, at + "entries[0]: PID (0xcb): "
       "no room for a new field and the end marker after it: needs 20 bytes, 19 free (image of "
       "19 bytes)\n"},
      {ab, {"build", desc, "-o", img, "--force"}, 0, ""},  // fills all 20 bytes
      {R"({"size": 20, "entries": [], "tail": 1234})", {"build", desc, "-o", img, "--force"}, 2,
       at + "\"tail\" is the number 1234; give it as a string: \"1234\"\n"},
      {R"({"size": 20, "entries": [{"type": "pid", "valeu": "AB"}]})",
       {"build", desc, "-o", img, "--force"}, 2, at + "entries[0]: unknown member \"valeu\"\n"},
  };
  for (const auto &b : builds) {
    write_file(desc, b.json);
    const Outcome r = run_tool(b.args);
    EXPECT_EQ(r.status, b.status) << b.json;
    EXPECT_EQ(r.err, b.err);
  }
  ::setenv("XDG_STATE_HOME", dir.path("state").c_str(), 1);  // the in-place write's backup
  ASSERT_EQ(::link(img.c_str(), (img + ".link").c_str()), 0);
  write_file(desc, std::string(R"({"size": 20, "entries": [{"type": "pid", "value": "CD"}]})"));
  ASSERT_EQ(run_tool({"build", desc, "-o", img, "--force"}).status, 0);
  EXPECT_EQ(run_tool({"get", img + ".link", "pid"}).out, "CD\n");  // written through the link
}

// The manual's synopsis of each command, roff to text: ".BI new \" IMAGE \" \\-\\-size \" N\""
// under .TP in COMMANDS is "new IMAGE --size N".
std::map<std::string, std::string> manual_synopses() {
  std::ifstream page(IDPROM_MAN_PAGE);
  std::map<std::string, std::string> out;
  bool commands = false, item = false;
  for (std::string line; std::getline(page, line);) {
    if (line.starts_with(".SH")) commands = line == ".SH COMMANDS";
    if (commands && item && (line.starts_with(".B ") || line.starts_with(".BI "))) {
      std::string text;  // the arguments joined: spaces only inside quotes
      bool quoted = false;
      for (const char c : line.substr(line.find(' ') + 1)) {
        quoted ^= c == '"';
        if (c != '"' && (c != ' ' || quoted)) text += c;
      }
      for (const char *code : {"\\fR", "\\fP", "\\"})
        for (size_t at; (at = text.find(code)) != std::string::npos;)
          text.erase(at, std::strlen(code));
      const size_t space = text.find(' ');
      out[text.substr(0, space)] = space == std::string::npos ? "" : text.substr(space + 1);
    }
    item = line == ".TP";
  }
  return out;
}

// Each row of the command table is what idprom(1)'s synopsis, `idprom help`
// and completion say: name, help line, arguments; every option in the
// synopsis is declared, every required one is in it, and `help COMMAND`
// and bash completion offer every option.
TEST(ToolMisc, ManualHelpAndCompletionFollowTheCommandTable) {
  CLI::App app;
  idprom::tool::Chosen chosen;
  idprom::tool::attach_commands(app, chosen);
  const std::map<std::string, std::string> manual = manual_synopses();
  EXPECT_EQ(manual.size(), idprom::tool::commands().size());
  const std::string help = run_tool({"help"}).out, bash = run_tool({"completion", "bash"}).out;
  const std::string zsh = run_tool({"completion", "zsh"}).out;
  EXPECT_NE(zsh.find("pcb-serial"), std::string::npos);  // and the type names
  for (const idprom::tool::Command *c : idprom::tool::commands()) {
    const std::string name = c->name, synopsis = " " + std::string(c->synopsis) + " ";
    const CLI::App *sub = app.get_subcommand(name);
    EXPECT_EQ(manual.contains(name) ? " " + manual.at(name) + " " : "(none)", synopsis) << name;
    EXPECT_NE(help.find("\n  " + name + " "), std::string::npos) << name;
    EXPECT_NE(help.find(std::string(c->help) + "\n"), std::string::npos) << name;
    EXPECT_NE(zsh.find("\n    " + name + ") opts=("), std::string::npos) << name;
    for (size_t at = synopsis.find(" -"); at != std::string::npos; at = synopsis.find(" -", at + 1))
      EXPECT_NE(
          sub->get_option_no_throw(synopsis.substr(at + 1, synopsis.find(' ', at + 1) - at - 1)),
          nullptr)
          << name << synopsis;
    const size_t row = bash.find("\n    " + name + ") opts=");
    const std::string usage = run_tool({"help", name}).out,
                      opts = bash.substr(row, bash.find('\n', row + 1) - row);
    EXPECT_NE(usage.find("\nUsage: idprom " + name + " "), std::string::npos) << name;
    for (const CLI::Option *o : sub->get_options()) {
      if (o->get_positional()) continue;
      const std::string flag = "--" + o->get_lnames().front();
      const std::string shortname = o->get_snames().empty() ? flag : "-" + o->get_snames().front();
      if (o->get_required()) {
        EXPECT_NE(synopsis.find(" " + shortname + " "), std::string::npos) << name << flag;
      }
      EXPECT_NE(usage.find(flag), std::string::npos) << name << flag;
      EXPECT_NE(opts.find(flag), std::string::npos) << name << flag;
    }
  }
}


// Completion offers the tables' words: chip names, MAC forms, and type
// names for every type argument, not only the first (bash, run for real).
TEST(ToolMisc, CompletionOffersTheTablesWords) {
  Scratch dir;
  const std::string script = dir.path("idprom.bash"), driver = dir.path("driver.bash");
  write_file(script, run_tool({"completion", "bash"}).out);
  std::string chips;
  for (const auto &p : idprom::tool::i2c::kChips) chips += std::string(p.name) + "\n";
  const struct {
    std::string words;
    int word;
    std::string offered;
  } cases[] = {
      {"get b.bin --chip ''", 4, chips},
      {"show b.bin --mac-format ''", 4, "dotted\ncolon\nplain\n"},
      {"get b.bin pid pcb-s", 4, "pcb-serial\n"},
      {"get -t pcb-s", 3, "pcb-serial\n"},
      {"show b.bin --only pid,pcb-s", 4, "pid,pcb-serial,\n"},
      {"set b.bin pid=X hw-r", 4, "hw-rev=\n"},
  };
  for (const auto &c : cases) {
    write_file(driver, "cd " + dir.path("") + "; source " + script + "; COMP_WORDS=(idprom " +
                           c.words + "); COMP_CWORD=" + std::to_string(c.word) +
                           "; _idprom 2>/dev/null; printf '%s\\n' \"${COMPREPLY[@]}\"\n");
    std::FILE *bash = ::popen(("bash " + driver).c_str(), "r");
    ASSERT_NE(bash, nullptr);
    std::string offered;
    for (int ch; (ch = std::fgetc(bash)) != EOF;) offered += static_cast<char>(ch);
    ::pclose(bash);
    EXPECT_EQ(offered, c.offered) << c.words;
  }
}

}  // namespace
