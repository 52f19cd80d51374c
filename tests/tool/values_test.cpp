// Reading TYPE arguments and values into stored bytes.
#include "values.hpp"

#include <gtest/gtest.h>

#include <set>

#include "errors.hpp"
#include "idprom.hpp"
#include "types.hpp"

using namespace idprom::tool;

namespace {

int failure_code(const std::function<void()> &fn) {
  try {
    fn();
  } catch (const Failure &f) {
    return f.code();
  }
  return 0;
}

TEST(ToolTypes, ResolvesNamesLabelsPrefixesAndCodes) {
  const std::vector<std::pair<const char *, uint32_t>> good = {
      {"pid", 0xCB},
      {"PID", 0xCB},
      {"0xcb", 0xCB},
      {"0XCB", 0xCB},
      {"203", 0xCB},
      {"pcb-serial", 0xC1},
      {"pcb", 0xC1},
      {"base-mac", 0xCF},
      {"clei code", 0xC6},
      {"0x1c5", 0x1C5},
      {"deviation", 0x80},
      {"mac-block", 0x43},
      {"Base MAC Address", 0xCF},
  };
  for (const auto &[text, code] : good) EXPECT_EQ(resolve_type(text), code) << text;
  const std::vector<const char *> bad = {"nonsense",
                                         "top-assy",  // unknown; ambiguous prefix
                                         "Top Assy. Part Number",
                                         "0x100",
                                         "0xff",
                                         "0",
                                         "0x10000",
                                         "",
                                         "0x"};
  for (const char *text : bad)
    EXPECT_EQ(failure_code([&] { resolve_type(text); }), kExitUsage) << text;
}

TEST(ToolTypes, AmbiguousNamesListTheCandidates) {
  try {
    resolve_type("Top Assy. Part Number");
    FAIL();
  } catch (const Failure &f) {
    EXPECT_STREQ(f.what(),
                 "type 'Top Assy. Part Number' is ambiguous: top-assy-pn (0x87), "
                 "top-assy-pn6 (0xc0), top-assy-pn5 (0xdf)");
  }
}

TEST(ToolTypes, NamesAreUniqueAndEveryShownTypeHasOne) {
  std::set<std::string> names;
  for (const TypeInfo &row : type_table()) {
    if (row.label == nullptr) continue;
    ASSERT_NE(row.name, nullptr) << std::hex << row.code;
    EXPECT_TRUE(names.insert(row.name).second) << row.name;
    EXPECT_EQ(resolve_type(row.name), row.code) << row.name;
  }
  EXPECT_EQ(names.size(), 66U);
}

Bytes parse(uint32_t type, std::string_view text, uint32_t attribute = 0,
            std::optional<uint32_t> current = std::nullopt) {
  return parse_value(text, ValueContext{type, attribute, current, false});
}

TEST(ToolValues, ReadsTheTextShowPrints) {
  struct Case {
    uint32_t type;
    const char *text;
    Bytes stored;
  };
  const std::vector<Case> cases = {
      {0x01, "5", {0x05}},
      {0x43, "64", {0x00, 0x40}},
      {0x43, "0x1234", {0x12, 0x34}},
      {0x8B, "-2", {0xFF, 0xFF, 0xFF, 0xFE}},  // printed signed
      {0x40, "052c", {0x05, 0x2C}},            // printed in hex
      {0x45, "12 34", {0x12, 0x34}},
      {0x41, "1.0", {0x01, 0x00}},
      {0x82, "115-0300-05", {0x73, 0x01, 0x2C, 0x05}},
      {0x82, "73-1234-2", {0x49, 0x04, 0xD2, 0x02}},
      {0xC0, "073-1234-01", {0x00, 0x49, 0x00, 0x04, 0xD2, 0x01}},
      {0xC0, "800-74565-07", {0x03, 0x20, 0x01, 0x23, 0x45, 0x07}},
      {0x8C, "1.2.3.4", {1, 2, 3, 4}},
      {0x0B, "dc", {0x01}},
      {0xD7, "40", {0x00, 0x00, 0x0F, 0xA0}},
      {0xD7, "0.5", {0x00, 0x00, 0x00, 0x32}},
      {0xCF, "001a.2b3c.4d5e", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {0xCF, "00:1A:2b:3c:4d:5e", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {0xC3, "001a2b3c4d5e", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {0x8A, "A0", {'A', '0', 0, 0}},  // padded to the width
      {0xCB, "LC", {'L', 'C', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // standard 18
      {0xC7, "1 2 255", {1, 2, 255}},
      {0xC4, "c18b46", {0xC1, 0x8B, 0x46}},
      {0xCC, "1.2", {1, 2}},  // by attribute (decimal below)
      {0x1C5, "hex:0102", {0x01, 0x02}},
      {0x08, "7", {0x07}},  // unknown integer type
  };
  for (const Case &c : cases) {
    const uint32_t attribute = c.type == 0xCC ? idprom::kAttrDecimal : 0;
    EXPECT_EQ(parse(c.type, c.text, attribute), c.stored) << std::hex << c.type << " " << c.text;
  }
  // Text replacing a field keeps the field's length; longer text grows it.
  EXPECT_EQ(parse(0xC1, "AB", idprom::kAttrText, 4U), (Bytes{'A', 'B', 0, 0}));
  EXPECT_EQ(parse(0xC1, "ABCDE", idprom::kAttrText, 4U), (Bytes{'A', 'B', 'C', 'D', 'E'}));
}

TEST(ToolValues, RejectsWhatTheTypeCannotHold) {
  struct Case {
    uint32_t type;
    std::string text;
  };
  const std::vector<Case> cases = {
      {0x01, "256"},
      {0x01, "-1"},
      {0x01, "x"},
      {0x43, "65536"},
      {0x8B, "-2147483649"},
      {0x40, "12345"},
      {0x82, "115-0300"},
      {0x82, "256-0-0"},
      {0x82, "1-2-3-4"},
      {0xCF, "001a.2b3c.4d5"},
      {0xCF, "001a-2b3c-4d5e"},
      {0xCF, "zz1a.2b3c.4d5e"},
      {0x8A, "ABCDE"},
      {0xCB, std::string(64, 'x')},
      {0xCB, "tab\there"},
      {0xCB, ""},
      {0xC4, "abc"},
      {0xD7, "1.234"},
      {0xC7, "1 256"},
      {0x43, "hex:01"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(failure_code([&] { parse(c.type, c.text); }), kExitValue)
        << std::hex << c.type << " " << c.text;
  }
}

TEST(ToolValues, HexBytes) {
  EXPECT_EQ(parse_hex_bytes("0x01ab"), (Bytes{0x01, 0xAB}));
  EXPECT_EQ(parse_hex_bytes("01 ab:CD-ef"), (Bytes{0x01, 0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(parse_hex_bytes(""), Bytes{});
  EXPECT_FALSE(parse_hex_bytes("0 1"));
  EXPECT_FALSE(parse_hex_bytes("abc"));
  EXPECT_FALSE(parse_hex_bytes("gg"));
  EXPECT_EQ(hex_string({0x00, 0xAB, 0x7F}), "00ab7f");
}

}  // namespace
