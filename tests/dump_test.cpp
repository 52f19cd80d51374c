#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "idprom.h"
#include "reference.hpp"
#include "stdout_capture.hpp"
#include "test_util.hpp"

using idprom::test::Bytes;
using idprom::test::capture_stdout;
using idprom::test::exact_copy;
using idprom::test::padded;

namespace {

std::string plain_dump(const Bytes &in) {
  const Bytes image = exact_copy(in);  // exactly sized: ASan sees any over-read
  return capture_stdout([&] { idprom_dump(image.data(), static_cast<uint32_t>(image.size())); });
}

std::string enhanced_dump(const Bytes &in) {
  const Bytes data = exact_copy(in);
  return capture_stdout(
      [&] { idprom_enhanced_dump(data.data(), static_cast<uint32_t>(data.size())); });
}

// n bytes cycling through the printable range 0x20..0x7E.
Bytes printable_cycle(size_t n) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(0x20 + i % 95);
  return out;
}

Bytes ascending(uint8_t first, size_t n) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(first + i);
  return out;
}

Bytes entry_c1(Bytes value) {  // type 0xC1, one-byte length field, hex attribute
  value.insert(value.begin(), {0xC1, static_cast<uint8_t>(value.size())});
  return value;
}

TEST(PlainDump, ExtentFromEndMarker) {
  struct Row {
    Bytes image;
    std::string want;
  };
  Bytes marker_at_33 = entry_c1(ascending(0x01, 31));
  marker_at_33.push_back(0xFF);
  const std::vector<Row> rows = {
      {{}, ""},                       // empty image
      {Bytes(32, 0xFF), ""},          // blank: end marker at 0
      {padded({0xC1, 0x03, 0x61, 0x62, 0x63}, 36),  // marker inside the first row
       "\n\t  0x00: c1 03 61 62 63 ff ff ff ff ff ff ff ff ff ff ff"},
      {padded(entry_c1(ascending(0x10, 30)), 48),  // marker at 32: not shown
       "\n\t  0x00: c1 1e 10 11 12 13 14 15 16 17 18 19 1a 1b 1c 1d"
       "\n\t  0x10: 1e 1f 20 21 22 23 24 25 26 27 28 29 2a 2b 2c 2d"},
      {entry_c1(ascending(0x41, 18)),  // 20 bytes, list runs to the end
       "\n\t  0x00: c1 12 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e"
       "\n\t  0x10: 4f 50 51 52"},
      {marker_at_33,  // image ends inside the marker's row
       "\n\t  0x00: c1 1f 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e"
       "\n\t  0x10: 0f 10 11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e"
       "\n\t  0x20: 1f ff"},
      {{0xC3, 0x00, 0xFF, 0xFF},  // malformed list: the whole image
       "\n\t  0x00: c3 00 ff ff"},
      {Bytes(65521, 0x00), ""},   // extent 65521 wraps to nothing
  };
  for (const auto &row : rows) {
    EXPECT_EQ(plain_dump(row.image), row.want) << testing::PrintToString(row.image.size());
  }
}

TEST(PlainDump, ThreeDigitOffsetsFrom0x100) {
  Bytes image = {0xF3, 0x01, 0x29};  // two-byte length 297: runs to byte 300
  image.resize(300, 0x5A);
  EXPECT_EQ(plain_dump(image),
            "\n\t  0x00: f3 01 29 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x10: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x20: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x30: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x40: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x50: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x60: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x70: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x80: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x90: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0xa0: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0xb0: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0xc0: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0xd0: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0xe0: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0xf0: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x100: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x110: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
            "\n\t  0x120: 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a");
}

TEST(EnhancedDump, RowLayout) {
  struct Row {
    Bytes data;
    std::string want;
  };
  const std::vector<Row> rows = {
      {ascending(0x41, 16),  // full row: 74 characters and a newline, no fill
       "  000: 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50    ABCDEFGHIJKLMNOP\n"},
      {ascending(0x41, 20),  // short last row: text column under the full row's
       "  000: 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50    ABCDEFGHIJKLMNOP\n"
       "  010: 51 52 53 54"
       "                                    "  // fill, 12 x 3
       "    QRST\n"},
      {{0x41},  // single byte: 60 characters
       "  000: 41"
       "                                             "  // fill, 15 x 3
       "    A\n"},
      {{0x00, 0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF, 0x2E},  // the fixed printable range
       "  000: 00 1F 20 7E 7F 80 FF 2E"
       "                        "  // fill, 8 x 3
       "    .. ~....\n"},
      {{}, ""},                    // length 0
      {Bytes(65521, 0x41), ""},    // (65521 + 15) & 0xFFF0 wraps to 0
      {printable_cycle(65537),     // wraps to 16: one full row
       "  000: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F     !\"#$%&'()*+,-./\n"},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(enhanced_dump(row.data), row.want) << row.data.size();
  }
}

TEST(EnhancedDump, FourDigitOffsetsFrom0x1000) {
  const std::string out = enhanced_dump(printable_cycle(0x1010));
  // 256 rows of 75 characters, then the 0x1000 row, one character wider.
  ASSERT_EQ(out.size(), 256U * 75U + 76U);
  EXPECT_EQ(out.substr(255 * 75),
            "  FF0: 7A 7B 7C 7D 7E 20 21 22 23 24 25 26 27 28 29 2A    z{|}~ !\"#$%&'()*\n"
            "  1000: 2B 2C 2D 2E 2F 30 31 32 33 34 35 36 37 38 39 3A    +,-./0123456789:\n");
}

TEST(EnhancedDump, LargestLength65520) {
  const std::string out = enhanced_dump(printable_cycle(65520));
  ASSERT_EQ(out.size(), 256U * 75U + 3839U * 76U);  // 4095 full rows
  EXPECT_EQ(out.substr(out.size() - 76),
            "  FFE0: 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F 60    QRSTUVWXYZ[\\]^_`\n");
}

// The buffer variant into a buffer of size bytes with guard bytes behind it.
struct BufDump {
  BufDump(const Bytes &in, uint32_t size) : bytes(size + 32, '\x5A') {
    const Bytes data = exact_copy(in);
    idprom_enhanced_dump_to_buf(data.data(), static_cast<uint32_t>(data.size()), bytes.data(),
                                size);
    for (size_t i = size; i < bytes.size(); ++i) guard_intact = guard_intact && bytes[i] == '\x5A';
  }
  std::vector<char> bytes;
  bool guard_intact = true;
};

TEST(EnhancedDumpToBuf, NewlineThenRows) {
  const BufDump whole(ascending(0, 256), 1202);
  EXPECT_EQ(std::string(whole.bytes.data()).size(), 1201U);  // newline and 16 rows of 75
  EXPECT_EQ(std::string(whole.bytes.data()), "\n" + enhanced_dump(ascending(0, 256)));
  EXPECT_TRUE(whole.guard_intact);

  const BufDump ten({0x30, 0x31}, 10);  // the byte piece " 30" is cut after " 3"
  EXPECT_EQ(std::string(ten.bytes.data(), 10), std::string("\n  000: 3\0", 10));
  EXPECT_TRUE(ten.guard_intact);
}

TEST(EnhancedDumpToBuf, NothingToShowLeavesOnlyTheNewline) {
  const std::vector<std::pair<Bytes, uint32_t>> cases = {
      {{}, 100},                   // length 0: no zero byte follows
      {Bytes(65521, 0x41), 100},   // wraps to nothing
      {{0x41, 0x42}, 1},           // size 1 holds only the newline
  };
  for (const auto &[data, size] : cases) {
    const BufDump d(data, size);
    EXPECT_EQ(d.bytes[0], '\n');
    EXPECT_EQ(d.bytes[1], '\x5A') << data.size();  // untouched
    EXPECT_TRUE(d.guard_intact);
  }
}

TEST(Dumps, NullPointersShowNothing) {
  EXPECT_EQ(capture_stdout([] {
              idprom_dump(nullptr, 64);
              idprom_enhanced_dump(nullptr, 64);
              idprom_enhanced_dump_to_buf(nullptr, 64, nullptr, 64);
            }),
            "");
  const uint8_t data[2] = {0x41, 0x42};
  std::vector<char> buf(8, '\x5A');
  idprom_enhanced_dump_to_buf(data, 2, buf.data(), 0);  // size 0: not even the newline
  EXPECT_EQ(std::string(buf.data(), buf.size()), std::string(8, '\x5A'));
  idprom_enhanced_dump_to_buf(nullptr, 64, buf.data(), 8);  // no data: the newline only
  EXPECT_EQ(std::string(buf.data(), buf.size()), "\n" + std::string(7, '\x5A'));
}

TEST(EnhancedDumpToBuf, EverySize) {
  const std::string full =
      "\n"
      "  000: 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50    ABCDEFGHIJKLMNOP\n"
      "  010: 51 52 53 54                                        QRST\n";
  ASSERT_EQ(full.size(), 139U);  // newline, a row of 75, a row of 63
  // Size 1 keeps only the newline (above); from 2 on every piece goes
  // through the sink, which cuts and zero-terminates.
  for (uint32_t size = 2; size <= full.size() + 2; ++size) {
    const BufDump d(ascending(0x41, 20), size);
    const size_t kept = std::min<size_t>(size - 1, full.size());
    EXPECT_EQ(std::string(d.bytes.data(), kept + 1), full.substr(0, kept) + '\0') << size;
    EXPECT_TRUE(d.guard_intact) << size;
  }
}

// Rows are formatted whole and appended in one write; the buffer must end
// up byte for byte as the sink leaves it when every piece is formatted and
// appended on its own: at every size for short dumps, at sizes around some
// row ends and at random sizes for long ones, bytes past the zero byte
// untouched.  Standard output gets the same text without the newline.
TEST(EnhancedDumpToBuf, MatchesPieceByPieceFormatting) {
  std::mt19937 rng(65520);
  Bytes data(70000);
  for (auto &b : data) b = static_cast<uint8_t>(rng() % 4 == 0 ? 0x20 + rng() % 95 : rng());
  const auto compare = [&data](uint32_t length, uint32_t size) {
    const Bytes in = exact_copy(Bytes(data.begin(), data.begin() + length));
    std::vector<char> got(size + 8, '\x5A'), want(size + 8, '\x5A');
    idprom_enhanced_dump_to_buf(in.data(), length, got.data(), size);
    idprom::reference::enhanced_dump_to_buf(in.data(), length, want.data(), size);
    return got == want;
  };
  for (uint32_t length : {1U, 15U, 16U, 17U, 31U, 32U, 33U, 100U, 255U}) {
    const uint32_t full = 1 + (length + 15) / 16 * 75 + 1;
    for (uint32_t size = 1; size <= full + 2; ++size)
      ASSERT_TRUE(compare(length, size)) << "length " << length << " size " << size;
  }
  for (uint32_t length : {4097U, 65520U, 65521U, 70000U}) {
    std::vector<uint32_t> sizes = {1, 2, 7, 8, 75, 76, 77, 1 << 20};
    for (uint32_t row_end = 76; row_end < 76 * 4096; row_end += 75 * 397) {
      for (uint32_t d : {0U, 1U, 2U}) sizes.push_back(row_end + d);
    }
    for (int i = 0; i < 20; ++i) sizes.push_back(1 + static_cast<uint32_t>(rng() % (1 << 19)));
    for (uint32_t size : sizes)
      ASSERT_TRUE(compare(length, size)) << "length " << length << " size " << size;
  }
  for (uint32_t length : {0U, 17U, 4097U, 65520U}) {
    const Bytes in = exact_copy(Bytes(data.begin(), data.begin() + length));
    std::vector<char> want(1 << 20);
    idprom::reference::enhanced_dump_to_buf(in.data(), length, want.data(), 1 << 20);
    want[0] = '\0';
    EXPECT_EQ(capture_stdout([&] { idprom_enhanced_dump(in.data(), length); }),
              std::string(want.data() + 1)) << length;
  }
}

}  // namespace

