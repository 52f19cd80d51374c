// Values as text: the exact text of each form (the round-trip laws are
// fuzzed: fuzz/frontend.cpp), and a description applied member by member.
#include "model/values.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "base/errors.hpp"
#include "idprom.hpp"
#include "model/describe.hpp"
#include "model/types.hpp"
#include "test_util.hpp"

using namespace idprom::tool;

namespace {

TEST(ToolValues, EachFormWritesOneLineThatReadsBack) {
  const struct {
    uint32_t type, attribute;
    Bytes value;
    std::string text;
  } cases[] = {
      {0xCB, 0x80, {'A', 7, '\\', 'B', 0, 0}, "A\\x07\\\\B"},      // padding dropped
      {0xCB, 0x80, {'h', 'e', 'x', ':', '1'}, "\\x68ex:1"},        // not read as hex
      {0xCB, 0x80, {0, 'A', 0}, "\\x00A"},                        // a leading zero stays
      {0x42, 0x00, {0, 0}, ""},                                   // all padding
      {0x0B, 0x00, {0}, "AC"}, {0x0B, 0x00, {1}, "DC"}, {0x0B, 0x00, {7}, "7"},
      {0xD7, 0x40, {0, 0, 0x0F, 0xA0}, "40"}, {0xD7, 0x40, {0, 0, 0x04, 0xE2}, "12.5"},
      {0xD7, 0x40, {0, 0, 0x04, 0xD2}, "12.34"}, {0xD7, 0x40, {0, 0, 0, 7}, "0.07"},
      {0xD7, 0x40, {0, 0, 7}, "hex:000007"},                      // not four bytes
      {0xCF, 0x00, {2, 0, 0, 0, 1}, "hex:0200000001"},            // not a MAC address
      {0xC0, 0x40, {3, 0x20, 1, 0x23, 0x45, 7}, "800-74565-07"},  // the listing's text
      {0xC4, 0xC0, Bytes(10, 0xAB), "abababababababababab"},     // one line
      {0xC9, 0x40, {10, 1, 2, 3}, "10.1.2.3"}, {0xC7, 0x00, {1, 2, 30}, "1 2 30"},
      {0x40, 0x00, {0x05, 0x2C}, "052c"}, {0x8B, 0x00, {0xFF, 0xFF, 0xFF, 0xFE}, "4294967294"},
      {0x08, 0x00, {0x12}, "12"}, {0x1C5, 0x80, {'x', 1}, "x\\x01"},  // unknown types
  };
  for (const auto &c : cases) {
    const ValueContext ctx{c.type, c.attribute, static_cast<uint32_t>(c.value.size()), false};
    EXPECT_EQ(format_value(ctx, c.value), c.text) << hex(c.type);
    EXPECT_EQ(parse_value(c.text, ctx), c.value) << hex(c.type) << " " << c.text;
  }
  for (const char *bad : {"\\", "a\\x4", "a\\q", "\x07", "caf\xc3\xa9"}) {  // escape or refuse
    EXPECT_THROW(parse_value(bad, ValueContext{0xCB, 0x80, 18, false}), Failure) << bad;
  }
}

// Grouped values read one way only: a version may leave out trailing
// numbers (1 is 1.0), other groups are all given; the integer only in hex,
// as get --int prints it (a plain 1 would otherwise be 0.1).
TEST(ToolValues, GroupedFormsReadOneWay) {
  const struct {
    uint32_t type;
    const char *text;
    std::optional<Bytes> value;
  } cases[] = {
      {0x41, "1", Bytes{1, 0}},                 // a version's left-out numbers are 0
      {0x8C, "4.2", Bytes{4, 2, 0, 0}},
      {0x41, "0x0102", Bytes{1, 2}},            // the integer get --int prints
      {0x82, "0x49", Bytes{0, 0, 0, 0x49}},
      {0x82, "73-1234-02", Bytes{73, 0x04, 0xD2, 2}},
      {0x41, "258", std::nullopt},              // no plain decimal integer
      {0x41, "1.", std::nullopt},
      {0x41, "1.2.3", std::nullopt},
      {0x82, "73", std::nullopt},               // a part number needs every group
      {0x82, "73-1234", std::nullopt},
      {0xE2, "0x49", std::nullopt},             // variable class: no integer
      {0xD7, "42949672.95", Bytes{0xFF, 0xFF, 0xFF, 0xFF}},  // the largest power
      {0xD7, "42949672.96", std::nullopt},
      {0xC7, "255.0", Bytes{255, 0}},           // decimal bytes, 0 to 255
      {0xC7, "256", std::nullopt},
  };
  for (const auto &c : cases) {
    const ValueContext ctx{c.type, 0, std::nullopt, false};
    if (c.value) {
      EXPECT_EQ(parse_value(c.text, ctx), *c.value) << c.text;
    } else {
      EXPECT_THROW(parse_value(c.text, ctx), Failure) << hex(c.type) << " " << c.text;
    }
  }
  EXPECT_EQ(integer_text(0x41, 0x0102), "0x0102");
  const Bytes digits = {0x9A, 0x3C, 0x5E, 0x71};  // hex digits that do not read as decimal
  for (const TypeInfo &row : type_table()) {      // what get --int prints reads back
    if (idprom::is_variable(row.code) || !idprom::lookup_is_integer(row.code)) continue;
    const uint32_t width = idprom::fixed_width(row.code);
    const ValueContext ctx{row.code, 0, std::nullopt, false};
    EXPECT_EQ(parse_value(integer_text(row.code, 0x9A3C5E71U >> (32 - 8 * width)), ctx),
              Bytes(digits.begin(), digits.begin() + width))
        << hex(row.code);
  }
}

// The sample's PID entry (LC-TEST-01, 18 bytes) edited in a description.
TEST(ToolValues, DescriptionMembersEditedOneByOne) {
  const Bytes sample = idprom::test::read_file(IDPROM_SAMPLE_IMAGE);
  auto pid = [](const Bytes &image) {
    const auto e = idprom::ImageView(image).find(0xCB);
    return std::string(e->value.begin(), e->value.end());
  };
  const std::string padded = std::string(8, '\0');
  const struct {
    const char *text, *hex, *crc;  // null: as described
    std::string pid_or_error;
  } cases[] = {
      {nullptr, nullptr, nullptr, "LC-TEST-01" + padded},
      {"LC-\\x07", nullptr, nullptr, std::string("LC-\x07") + std::string(14, '\0')},
      {nullptr, "4142", nullptr, "AB"},                     // hex wins over the old text
      {"AB", "4142", nullptr, "AB"},                        // both edited, agreeing
      {"AB", "4143", nullptr, "entries[10]: PID (0xcb): \"hex\" and \"text\" disagree and both "
                              "were edited"},
      {nullptr, "4142", "", "entries[10]: PID (0xcb): \"hex\" and \"text\" disagree (no "
                            "\"hex_crc\" tells which one was edited)"},
      {"\\q", nullptr, nullptr, "entries[10]: value '\\q' for PID (0xcb): expected printable "
                                "ASCII text, other bytes as \\xHH and a backslash as \\\\"},
  };
  for (const auto &c : cases) {
    nlohmann::json d = describe(idprom::ImageView(sample));
    nlohmann::json &entry = d["entries"][10];
    ASSERT_EQ(entry["name"], "pid");
    if (c.text != nullptr) entry["text"] = c.text;
    if (c.hex != nullptr) entry["hex"] = c.hex;
    if (c.crc != nullptr) entry.erase("hex_crc");
    try {
      EXPECT_EQ(pid(build_image(d, std::nullopt, "d")), c.pid_or_error);
    } catch (const Failure &f) {
      EXPECT_EQ(f.what(), "d: " + c.pid_or_error);
    }
  }
}

// A code past 16 bits (300 extension bytes before type byte 0x41) is
// described and built back; the largest code is the one whose extension
// bytes, type byte and one-byte value fill a 64 KiB image.
TEST(ToolTypes, CodesAsLargeAsAnImageHolds) {
  Bytes image(300, 0x00);
  image.insert(image.end(), {0x41, 0x12, 0x34, 0xFF});
  EXPECT_EQ(build_image(nlohmann::json::parse(describe(idprom::ImageView(image)).dump()), std::nullopt, "d"), image);
  EXPECT_EQ(resolve_type("0xfffefe"), 0xFFFEFEU);
  try {
    resolve_type("0xfffeff");
    ADD_FAILURE();
  } catch (const Failure &f) {
    EXPECT_STREQ(f.what(), "type 0xfffeff: codes go up to 0xfffefe (one extension byte per 256, in an image of "
                           "at most 65536 bytes)");
  }
}

// The manual page's TYPES list is the catalogue's: short name, code and
// label of every type the listing shows, in table order ("\\-" is "-").
TEST(ToolTypes, ManPageListsTheCatalogue) {
  std::ifstream page(IDPROM_MAN_PAGE);
  std::string listed, expected;
  bool in_types = false;
  for (std::string line; std::getline(page, line) && !(in_types && line == ".fi");) {
    in_types = in_types || line == ".SH TYPES";
    for (size_t at; (at = line.find("\\-")) != std::string::npos;) line.erase(at, 1);
    if (in_types && line.find('\t') != std::string::npos) listed += line + "\n";
  }
  for (const TypeInfo &row : type_table()) {
    if (row.name != nullptr) expected += std::string(row.name) + "\t" + hex(row.code) + "\t" + row.label + "\n";
  }
  EXPECT_EQ(listed, expected);
}

}  // namespace
