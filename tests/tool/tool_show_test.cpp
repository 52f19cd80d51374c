// The reading commands run as a process: show, get, types, --version,
// --help.  Exact standard output and error, exit statuses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "run_tool.hpp"

using namespace idprom::test;

namespace {

const std::string kSample = IDPROM_SAMPLE_IMAGE;

const std::string kSampleListing =
    "    IDPROM Format Revision   : 4\n"
    "    Controller Type          : 052c\n"
    "    Hardware Revision        : 1.0\n"
    "    PCB Serial Number        : SN000000001\n"
    "    PCA Number               : 100-0001-01\n"
    "    PCA Revision             : A0\n"
    "    Deviation Number # 1     : 0\n"
    "    Top Assy. Part Number    : 100-0002-01\n"
    "    Top Assy. Revision       : B0\n"
    "    CLEI Code                : CLEI000001\n"
    "    PID                      : LC-TEST-01\n"
    "    Version Identifier       : V01\n"
    "    Chassis Serial Number    : SN000000002\n"
    "    Base MAC Address         : 0200.0000.0100\n"
    "    MAC Addr. Block Size     : 64\n"
    "    ECI Number               : 123456\n"
    "    UDI Description          : 48-port 10/100/1000 Ethernet line card\n"
    "    Power Consumption        : 40 Watts (Maximum)\n";

TEST(ToolShow, ListsTheSampleAsTheDefaultCommand) {
  for (const auto &args : std::vector<std::vector<std::string>>{{"show", kSample}, {kSample}}) {
    const Outcome r = run_tool(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kSampleListing);
    EXPECT_EQ(r.err, "");
  }
  const Outcome from_stdin = run_tool({"-"}, kSample);
  EXPECT_EQ(from_stdin.status, 0);
  EXPECT_EQ(from_stdin.out, kSampleListing);
}

TEST(ToolShow, Selections) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{"--only", "pid,clei"},
       "    CLEI Code                : CLEI000001\n"
       "    PID                      : LC-TEST-01\n"},
      {{"--only", "0xcb", "--only", "203"}, "    PID                      : LC-TEST-01\n"},
      {{"--basic", "--instance", "2"}, ""},
      {{"--except",
        "format-rev,0x40,hw-rev,pcb-serial,pca,pca-rev,deviation-n,top-assy-pn6,"
        "top-assy-rev,clei,vid,chassis-serial,base-mac,udi-desc,power"},
       "    PID                      : LC-TEST-01\n"
       "    MAC Addr. Block Size     : 64\n"
       "    ECI Number               : 123456\n"},
  };
  for (const Case &c : cases) {
    std::vector<std::string> args = {"show", kSample};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome r = run_tool(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.out) << testing::PrintToString(c.args);
  }
  const Outcome basic = run_tool({"show", kSample, "--basic"});
  EXPECT_EQ(basic.out,
            "    Controller Type          : 052c\n"
            "    PCB Serial Number        : SN000000001\n"
            "    PCA Number               : 100-0001-01\n"
            "    PCA Revision             : A0\n"
            "    Top Assy. Part Number    : 100-0002-01\n"
            "    Top Assy. Revision       : B0\n"
            "    CLEI Code                : CLEI000001\n"
            "    PID                      : LC-TEST-01\n"
            "    Version Identifier       : V01\n"
            "    Chassis Serial Number    : SN000000002\n"
            "    ECI Number               : 123456\n"
            "    UDI Description          : 48-port 10/100/1000 Ethernet line card\n");
}

TEST(ToolShow, MalformedImageShowsWhatDecodesAndSaysWhere) {
  Scratch dir;
  const std::string bad = dir.path("bad.bin");
  // Number of Slots, PID with length 0, then more.
  write_file(bad, Bytes{0x01, 0x05, 0xCB, 0x80, 0x41, 0x01, 0x00, 0xFF});
  const Outcome r = run_tool({"show", bad});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "    Number of Slots          : 5\n");
  EXPECT_EQ(r.err,
            "idprom: " + bad +
                ": offset 0x0002: entry of PID (0xcb): length 0 (a variable-length field holds "
                "at least one byte); 1 entry before it decodes\n");
  const Outcome get = run_tool({"get", bad, "slots"});
  EXPECT_EQ(get.status, 3);
  EXPECT_EQ(get.out, "5\n");
  const Outcome absent = run_tool({"get", bad, "hw-rev"});
  EXPECT_EQ(absent.status, 3);
  EXPECT_EQ(absent.out, "");
  // An empty file is not an empty image.
  const std::string empty = dir.path("empty.bin");
  write_file(empty, Bytes{});
  const Outcome none = run_tool({"show", empty});
  EXPECT_EQ(none.status, 3);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "idprom: " + empty + ": empty file (0 bytes)\n");
}

TEST(ToolGet, ValuesForScripts) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{"pid"}, 0, "LC-TEST-01\n"},
      {{"0xcb", "--hex"}, 0, "4c432d544553542d30310000000000000000\n"},
      {{"mac-block-size", "--int"}, 0, "64\n"},
      {{"controller-type", "--int"}, 0, "1324\n"},
      {{"controller-type"}, 0, "052c\n"},
      {{"base-mac"}, 0, "0200.0000.0100\n"},
      {{"pca"}, 0, "100-0001-01\n"},
      {{"top-assy-pn6"}, 0, "100-0002-01\n"},
      {{"power"}, 0, "40 Watts (Maximum)\n"},
      {{"pca-rev", "--raw"}, 0, std::string("A0\0\0", 4)},
      {{"deviation-n", "--instance", "2"}, 1, ""},
      {{"slots"}, 1, ""},
      {{"pid", "--int"}, 2, ""},
      {{"pid", "--instance", "0"}, 2, ""},
      {{"nonsense"}, 2, ""},
      {{"pid", "--raw", "--hex"}, 2, ""},
  };
  for (const Case &c : cases) {
    std::vector<std::string> args = {"get", kSample};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome r = run_tool(args);
    EXPECT_EQ(r.status, c.status) << testing::PrintToString(c.args) << r.err;
    EXPECT_EQ(r.out, c.out) << testing::PrintToString(c.args);
    EXPECT_EQ(r.err.empty(), c.status == 0) << r.err;
  }
  EXPECT_EQ(run_tool({"get", kSample, "slots"}).err,
            "idprom: " + kSample + ": no Number of Slots (0x01)\n");
  EXPECT_EQ(run_tool({"get", kSample, "top-assy"}).err,
            "idprom: type 'top-assy' is ambiguous: top-assy-pn (0x87), top-assy-rev (0x8d), "
            "top-assy-pn6 (0xc0), top-assy-pn5 (0xdf)\n");
}

TEST(ToolShow, JsonDescribesEveryEntry) {
  const Outcome r = run_tool({"show", kSample, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["size"], 256);
  EXPECT_EQ(j["used"], 164);
  EXPECT_EQ(j["free"], 92);
  EXPECT_EQ(j["end_marker"], 164);
  ASSERT_EQ(j["entries"].size(), 18U);
  EXPECT_EQ(j["entries"][10], nlohmann::json::parse(R"({
      "offset": 61, "type": 203, "type_hex": "0xcb", "name": "pid", "label": "PID",
      "class": "variable", "length": 18, "attribute": 128, "text": "LC-TEST-01",
      "hex": "4c432d544553542d30310000000000000000"})"));
  EXPECT_EQ(j["entries"][6]["label"], "Deviation Number");
  EXPECT_EQ(j["entries"][6]["text"], "0");
  EXPECT_FALSE(j.contains("tail"));
  EXPECT_EQ(run_tool({"show", kSample, "--json", "--basic"}).status, 2);
}

TEST(ToolTypes, CatalogueAndNames) {
  const Outcome r = run_tool({"types"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
            "code    dec  class     length word           name                label\n");
  for (const char *line :
       {"0xcb    203  variable  0x92 text 18          pid                 PID\n",
        "0x43     67  2-byte    2                     mac-block-size      MAC Addr. Block Size\n",
        "0xf3    243  variable  0xffffffff hex 16383  envmon-data         Environment Monitor "
        "Data\n",
        "0xd0    208  variable  none                  -                   (not shown in "
        "listings)\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line;
  }
}

TEST(ToolMisc, VersionHelpAndUsage) {
  const Outcome v = run_tool({"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out, "idprom 0.1.0\n");
  for (const char *cmd : {"show", "get", "set", "delete", "new", "build", "dump", "check", "info",
                          "checksum", "diff", "macs", "types"}) {
    const Outcome h = run_tool({cmd, "--help"});
    EXPECT_EQ(h.status, 0) << cmd;
    EXPECT_NE(h.out.find("Usage:"), std::string::npos) << cmd;
  }
  const Outcome top = run_tool({"--help"});
  EXPECT_NE(top.out.find("Exit status: 0 success, 1 field absent"), std::string::npos);
  EXPECT_EQ(run_tool({}).status, 2);
  EXPECT_EQ(run_tool({"show", kSample, "--bogus"}).status, 2);
  const Outcome missing = run_tool({"show", "/nonexistent/image.bin"});
  EXPECT_EQ(missing.status, 5);
  EXPECT_EQ(missing.err,
            "idprom: /nonexistent/image.bin: cannot open: No such file or directory\n");
}

}  // namespace
