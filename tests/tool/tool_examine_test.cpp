// The inspecting commands run as a process: dump, check, info, checksum,
// diff, macs.
#include <gtest/gtest.h>

#include "run_tool.hpp"

using namespace idprom::test;

namespace {

const std::string kSample = IDPROM_SAMPLE_IMAGE;

Bytes with_filler(Bytes bytes, size_t n) {
  bytes.resize(n, 0xFF);
  return bytes;
}

TEST(ToolDump, PlainAndAscii) {
  Scratch dir;
  const std::string img = dir.path("abc.bin");
  write_file(img, with_filler({0xC1, 0x03, 'a', 'b', 'c'}, 20));
  const Outcome plain = run_tool({"dump", img});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, "\t  0x00: c1 03 61 62 63 ff ff ff ff ff ff ff ff ff ff ff\n");
  const Outcome ascii = run_tool({"dump", img, "--ascii"});
  EXPECT_EQ(ascii.status, 0);
  EXPECT_EQ(ascii.out,
            "  000: C1 03 61 62 63 FF FF FF FF FF FF FF FF FF FF FF    ..abc...........\n"
            "  010: FF FF FF FF" +
                std::string(36, ' ') + "    ....\n");
  const Outcome sample = run_tool({"dump", kSample});
  EXPECT_EQ(sample.out.substr(sample.out.rfind('\t')),
            "\t  0xa0: 00 00 0f a0 ff ff ff ff ff ff ff ff ff ff ff ff\n");
  EXPECT_EQ(std::count(sample.out.begin(), sample.out.end(), '\n'), 11);
}

TEST(ToolCheck, NamesTheFirstProblem) {
  Scratch dir;
  struct Case {
    Bytes image;
    int status;
    std::string out, err;  // err after "idprom: PATH: "
  };
  Bytes stray = read_file(kSample);
  stray[0xB0] = 0x00;
  const std::vector<Case> cases = {
      {read_file(kSample), 0, ": ok: 18 entries, end marker at 0x00a4, 92 bytes free\n", ""},
      {with_filler({}, 8), 0, ": ok: 0 entries, end marker at 0x0000, 8 bytes free\n", ""},
      {{0x01, 0x05, 0x43, 0x00, 0x01},
       0,
       ": ok: 2 entries, no end marker (the entries fill the image), 0 bytes free\n",
       ""},
      {stray, 3, "",
       "offset 0x00b0: byte 0x00 after the end marker at 0x00a4 (the rest of the image should be "
       "0xff)\n"},
      {{}, 3, "", "empty file (0 bytes)\n"},
      {{0x01, 0x05, 0x00, 0x00},
       3,
       "",
       "offset 0x0002: extension bytes (0x00) run to the image's end; 1 entry before it decodes\n"},
      {{0x43, 0x01},
       3,
       "",
       "offset 0x0000: entry of MAC Addr. Block Size (0x43): its 2-byte value runs past the "
       "image's end "
       "(1 left); 0 entries before it decode\n"},
      {{0xF3, 0x80},
       3,
       "",
       "offset 0x0000: entry of Environment Monitor Data (0xf3): its length field is cut off by "
       "the "
       "image's end; 0 entries before it decode\n"},
      {{0xC1, 0x85, 'a', 'b', 0xFF},
       3,
       "",
       "offset 0x0000: entry of PCB Serial Number (0xc1): its 5-byte value runs past the image's "
       "end "
       "(3 left); 0 entries before it decode\n"},
  };
  for (const Case &c : cases) {
    const std::string img = dir.path("img.bin");
    write_file(img, c.image);
    const Outcome r = run_tool({"check", img});
    EXPECT_EQ(r.status, c.status) << testing::PrintToString(c.image);
    EXPECT_EQ(r.out, c.out.empty() ? "" : img + c.out);
    EXPECT_EQ(r.err, c.err.empty() ? "" : "idprom: " + img + ": " + c.err);
  }
}

TEST(ToolInfo, SampleFigures) {
  const Outcome r = run_tool({"info", kSample});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "size:       256 bytes\n"
            "used:       164 bytes\n"
            "free:       92 bytes\n"
            "entries:    18\n"
            "end marker: 0x00a4\n"
            "checksum:   0x1c6ffc44\n"
            "crc-16:     0xb632\n");
  EXPECT_EQ(r.err, "");
}

TEST(ToolChecksum, WholeImageAndRanges) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{}, 0, "checksum:   0x220e37fe\ncrc-16:     0x3a3f\n"},
      {{"--range", "16:32"}, 0, "checksum:   0x74ae2517\ncrc-16:     0x4276\n"},
      {{"--range", "0x10:0x20"}, 0, "checksum:   0x74ae2517\ncrc-16:     0x4276\n"},
      {{"--range", "256:0"}, 0, "checksum:   0x00000001\ncrc-16:     0x0000\n"},
      {{"--range", "250:7"}, 2, ""},
      {{"--range", "300:0"}, 2, ""},
      {{"--range", "16"}, 2, ""},
  };
  for (const Case &c : cases) {
    std::vector<std::string> args = {"checksum", kSample};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome r = run_tool(args);
    EXPECT_EQ(r.status, c.status) << testing::PrintToString(c.args);
    EXPECT_EQ(r.out, c.out) << testing::PrintToString(c.args);
  }
  EXPECT_EQ(run_tool({"checksum", kSample, "--range", "250:7"}).err,
            "idprom: --range 250:7: runs past the image's end (256 bytes)\n");
}

TEST(ToolDiff, AddedRemovedChanged) {
  Scratch dir;
  const std::string a = dir.path("a.bin"), b = dir.path("b.bin");
  write_file(a, read_file(kSample));
  write_file(b, read_file(kSample));
  const Outcome same = run_tool({"diff", a, b});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "");
  ASSERT_EQ(run_tool({"set", b, "pid=LC-48GE-FX", "slots=4"}).status, 0);
  ASSERT_EQ(run_tool({"delete", b, "clei"}).status, 0);
  ASSERT_EQ(run_tool({"set", b, "--attr", "hex", "udi-desc=48-port 10/100/1000 Ethernet line card"})
                .status,
            0);
  const Outcome r = run_tool({"diff", a, b});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "removed CLEI Code (0xc6): CLEI000001\n"
            "changed PID (0xcb): LC-TEST-01 -> LC-48GE-FX\n"
            "changed UDI Description (0xda): attribute 0x80 -> 0xc0\n"
            "added   Number of Slots (0x01): 4\n");
  EXPECT_EQ(r.err, "");
  write_file(b, with_filler({}, 16));
  const Outcome sized = run_tool({"diff", b, dir.path("missing.bin")});
  EXPECT_EQ(sized.status, 5);
}

TEST(ToolMacs, ExpandsTheBlockAndFlagsAWrap) {
  const Outcome r = run_tool({"macs", kSample});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 64);
  EXPECT_EQ(r.out.substr(0, 30), "0200.0000.0100\n0200.0000.0101\n");
  EXPECT_EQ(r.out.substr(r.out.size() - 15), "0200.0000.013f\n");

  Scratch dir;
  const std::string img = dir.path("wrap.bin");
  write_file(img,
             with_filler({0xC3, 0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x43, 0x00, 0x03}, 16));
  const Outcome wrap = run_tool({"macs", img});
  EXPECT_EQ(wrap.status, 3);
  EXPECT_EQ(wrap.out, "ffff.ffff.fffe\nffff.ffff.ffff\n");
  EXPECT_EQ(wrap.err,
            "idprom: " + img +
                ": the block of 3 addresses from ffff.ffff.fffe (MAC Addr. Block Size) wraps "
                "past ffff.ffff.ffff after 2 addresses\n");
  write_file(img, with_filler({0xCF, 0x06, 0, 0, 0, 0, 0, 1}, 16));
  EXPECT_EQ(run_tool({"macs", img}).out, "0000.0000.0001\n");  // no block size: one address
  write_file(img, with_filler({0x01, 0x02}, 16));
  const Outcome none = run_tool({"macs", img});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err,
            "idprom: " + img + ": no Base MAC Address (0xcf) or Chassis MAC Address (0xc3)\n");
}

}  // namespace
