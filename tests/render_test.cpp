// Value renderers: hex rows, text with escapes, and the decimal forms of the
// display attribute in both variants.
#include "print/render.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "reference.hpp"
#include "stdout_capture.hpp"
#include "test_util.hpp"

using idprom::print::idprom_print_ascii;
using idprom::print::idprom_print_field_by_display_type;
using idprom::print::idprom_print_hex;
using idprom::test::Bytes;
using idprom::test::exact_copy;

namespace {

using Renderer = void (*)(const uint8_t *, uint32_t, char *, uint32_t *, uint32_t);

// The text a renderer writes into a roomy buffer; also checks that the
// position counts exactly that text.
std::string render(Renderer fn, const Bytes &in) {
  const Bytes value = exact_copy(in);
  char buf[512] = {};
  uint32_t pos = 0;
  fn(value.data(), static_cast<uint32_t>(value.size()), buf, &pos, sizeof buf);
  EXPECT_EQ(pos, std::string(buf).size());
  return buf;
}

TEST(Render, HexBreaksAfterEveryEighthByte) {
  const struct {
    Bytes in;
    const char *out;
  } cases[] = {
      {{}, ""},
      {{0xAB}, "ab "},
      {{0, 1, 2, 3, 4, 5, 6, 7}, "00 01 02 03 04 05 06 07 "},  // a full row, no break
      {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
       "00 01 02 03 04 05 06 07 \n\t                           08 09 "},
      {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0xFF},
       "00 01 02 03 04 05 06 07 \n\t                           08 09 0a 0b 0c 0d 0e 0f "
       "\n\t                           ff "},
  };
  for (const auto &c : cases) EXPECT_EQ(render(idprom_print_hex, c.in), c.out);
}

TEST(Render, AsciiStopsAtZeroAndEscapesUnprintable) {
  const struct {
    Bytes in;
    const char *out;
  } cases[] = {
      {{}, ""},
      {{0x00, 0x41}, ""},                         // leading zero: nothing
      {{0x41, 0x42, 0x07, 0x00, 0x43}, "AB<07>"},  // stops at the zero byte
      {{0x20, 0x7E, 0x7F, 0x80, 0xFF, 0x0A}, " ~<7f><80><ff><0a>"},
      {{'%', 'd', '%', 's'}, "%d%s"},  // value bytes are never a format
      {{'L', 'C'}, "LC"},              // no zero byte: the length ends it
  };
  for (const auto &c : cases) EXPECT_EQ(render(idprom_print_ascii, c.in), c.out);
}

TEST(Render, DisplayAttributeInBothVariants) {
  const struct {
    uint32_t attribute;
    Bytes in;
    const char *value_text;  // idprom_print_by_display_type
    const char *field_text;  // idprom_print_field_by_display_type
  } cases[] = {
      {0x40, {}, "", ""},
      {0x40, {0xFF}, "255", "255"},
      {0x40, {0x01, 0x2C}, "300", "300"},
      {0x40, {0xFF, 0xFF}, "65535", "65535"},  // 16 bits never negative
      {0x40, {1, 2, 3}, "1.2.3", "1.2.3"},
      {0x40, {0x0A, 0x01, 0x02, 0x03}, "167838211", "10.1.2.3"},
      {0x40, {0xFF, 0xFF, 0xFF, 0xFF}, "-1", "255.255.255.255"},
      {0x40, {0x80, 0, 0, 0}, "-2147483648", "128.0.0.0"},
      {0x40, {1, 2, 3, 4, 5}, "1.2.3.4.5", "1.2.3.4.5"},
      {0x40, {0x80, 0, 0, 0, 1, 2, 3, 4}, "128.0.0.0.1.2.3.4", "-2147483648"},
      {0x40, {0, 0, 1, 0, 9, 9, 9, 9}, "0.0.1.0.9.9.9.9", "256"},
      {0x80, {'A', 'B', 0x01}, "AB<01>", "AB<01>"},
      {0x00, {0x41, 0x42}, "41 42 ", "41 42 "},
      {0xC0, {0x41, 0x42}, "41 42 ", "41 42 "},
  };
  for (const auto &c : cases) {
    const Bytes value = exact_copy(c.in);
    const auto length = static_cast<uint32_t>(value.size());
    char buf[128] = {};
    uint32_t pos = 0;
    idprom_print_by_display_type(value.data(), c.attribute, length, buf, &pos, sizeof buf);
    EXPECT_STREQ(buf, c.value_text) << std::hex << c.attribute << " " << length;
    char field[128] = {};
    uint32_t field_pos = 0;
    idprom_print_field_by_display_type(value.data(), c.attribute, length, field, &field_pos,
                                       sizeof field);
    EXPECT_STREQ(field, c.field_text) << std::hex << c.attribute << " " << length;
  }
}

// The renderers write through the sink piece by piece: a small buffer keeps
// a zero-terminated prefix; the piece that is cut still counts in full, and
// once the position has reached the size later pieces are dropped.
TEST(Render, HexIntoSmallBuffer) {
  const Bytes value = exact_copy({1, 2, 3, 4});
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  uint32_t pos = 0;
  idprom_print_hex(value.data(), 4, buf, &pos, 7);
  EXPECT_EQ(std::string(buf, 8), std::string("01 02 \0#", 8));
  EXPECT_EQ(pos, 9U);  // "01 ", "02 ", "03 " (cut); "04 " dropped
}

// Hex and text pieces are made without printf; they must leave a buffer
// exactly as printf-formatted pieces do, at every size and from a position
// already inside the buffer, and print the same text to standard output.
TEST(Render, PiecesMatchPrintfFormattingOnRandomValues) {
  std::mt19937 rng(0x7E);
  const Renderer ours[] = {idprom_print_hex, idprom_print_ascii};
  const Renderer plain[] = {idprom::reference::print_hex, idprom::reference::print_ascii};
  for (int round = 0; round < 300; ++round) {
    Bytes in(rng() % 40);
    for (auto &b : in) {  // mostly printable, some zero, control and high bytes
      const auto r = static_cast<uint32_t>(rng() % 8);
      b = static_cast<uint8_t>(r < 5 ? 0x20 + rng() % 95 : r == 5 ? 0 : rng());
    }
    const Bytes value = exact_copy(in);
    const auto n = static_cast<uint32_t>(value.size());
    for (size_t k = 0; k < 2; ++k) {
      for (uint32_t start : {0U, 5U}) {
        for (uint32_t size = 1; size <= 300; ++size) {  // the longest text is 236
          std::vector<char> got(308, '#'), want(308, '#');
          uint32_t got_pos = start, want_pos = start;
          ours[k](value.data(), n, got.data(), &got_pos, size);
          plain[k](value.data(), n, want.data(), &want_pos, size);
          ASSERT_EQ(got, want) << testing::PrintToString(in) << " size " << size;
          ASSERT_EQ(got_pos, want_pos) << testing::PrintToString(in) << " size " << size;
        }
      }
      uint32_t unused = 0;
      EXPECT_EQ(idprom::test::capture_stdout([&] { ours[k](value.data(), n, nullptr, &unused, 0); }),
                idprom::test::capture_stdout(
                    [&] { plain[k](value.data(), n, nullptr, &unused, 0); }));
    }
  }
}

}  // namespace

