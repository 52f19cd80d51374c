// Reading TYPE arguments and values into stored bytes.
#include "values.hpp"

#include <gtest/gtest.h>

#include <random>

#include "errors.hpp"
#include "idprom.hpp"
#include "image.hpp"
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

Bytes parse(uint32_t type, std::string_view text, uint32_t attribute = 0,
            std::optional<uint32_t> current = std::nullopt) {
  return parse_value(text, ValueContext{type, attribute, current, false});
}

// The text `get` prints for a stored value: the value stored as a field of
// the type in a blank image, then printed.
std::string printed(uint32_t type, const Bytes &stored, uint32_t attribute) {
  Bytes image(64, 0xFF);
  const bool variable = idprom::is_variable(type);
  idprom::ImageEditor(image).set(type, stored, 1, true,
                                 variable ? std::optional(attribute) : std::nullopt);
  const idprom::ImageView view(image);
  return value_text(view, *view.find(type));
}

// For every type the tool can read, over random stored values (printable
// bytes, so that text forms have a chance): what `get` prints, where it
// reads back at all, reads back to a value that prints the same, and
// mostly to the stored bytes themselves (some displays drop bits: any
// non-zero power supply byte is "DC").
TEST(ToolValues, ReadingWhatGetPrintsGivesTheValueBack) {
  std::mt19937 rng(7);
  int agreed = 0, exact = 0;
  for (const TypeInfo &row : type_table()) {
    // Power Consumption with other than the standard unit bytes prints the
    // number alone, which reads back with the standard ones.
    if (row.name == nullptr || row.form == Form::kWatts) continue;
    const uint32_t attribute = idprom::standard_attribute(row.code);
    for (int round = 0; round < 20; ++round) {
      Bytes stored(idprom::is_variable(row.code) ? 1 + rng() % 8 : idprom::fixed_width(row.code));
      for (uint8_t &b : stored) b = static_cast<uint8_t>(0x20 + rng() % 0x5F);
      const std::string text = printed(row.code, stored, attribute);
      const auto len = static_cast<uint32_t>(stored.size());
      if (text.empty() || failure_code([&] { parse(row.code, text, attribute, len); })) continue;
      const Bytes back = parse(row.code, text, attribute, len);
      EXPECT_EQ(printed(row.code, back, attribute), text) << row.name;
      agreed += 1;
      exact += back == stored ? 1 : 0;
    }
  }
  EXPECT_GT(agreed, 600);
  EXPECT_GT(exact, 550);
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

}  // namespace
