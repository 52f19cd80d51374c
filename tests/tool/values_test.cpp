// Reading TYPE arguments and values into stored bytes.
#include "model/values.hpp"

#include <gtest/gtest.h>

#include <random>

#include "base/errors.hpp"
#include "idprom.hpp"
#include "model/image.hpp"
#include "model/types.hpp"

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

Bytes parse(uint32_t type, std::string_view text, uint32_t attribute, uint32_t current) {
  return parse_value(text, ValueContext{type, attribute, current, false});
}

// The text `get` prints for a value stored as a field of the type.
std::string printed(uint32_t type, const Bytes &stored, uint32_t attribute) {
  Bytes image(64, 0xFF);
  const auto chosen = idprom::is_variable(type) ? std::optional(attribute) : std::nullopt;
  idprom::ImageEditor(image).set(type, stored, 1, true, chosen);
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
    const int before = agreed;
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
    EXPECT_GT(agreed, before) << row.name << ": nothing it prints reads back";
  }
  EXPECT_GT(agreed, 600);
  EXPECT_GT(exact, 550);
}

}  // namespace
