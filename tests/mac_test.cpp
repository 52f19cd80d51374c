// MAC address conversions: hex digits, dotted text out, three text forms in,
// and the 48-bit integer form.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "idprom.h"
#include "reference.hpp"

namespace {

using Mac = std::array<uint8_t, 6>;

constexpr Mac kMac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

// text in a heap block of exactly its length plus the terminator, so ASan
// sees any read past the terminator.
Mac read_mac(const std::string &text) {
  const auto copy = std::make_unique<char[]>(text.size() + 1);
  text.copy(copy.get(), text.size());
  copy[text.size()] = '\0';
  Mac mac;
  mac.fill(0xA5);
  macbuf_r(copy.get(), mac.data());
  return mac;
}

}  // namespace

TEST(Actoh, EveryCharacter) {
  constexpr std::string_view lower = "0123456789abcdef", upper = "0123456789ABCDEF";
  for (int i = 0; i < 256; ++i) {
    const auto ch = static_cast<char>(i);
    int32_t expected = -1;
    if (lower.find(ch) != std::string_view::npos) expected = static_cast<int32_t>(lower.find(ch));
    if (upper.find(ch) != std::string_view::npos) expected = static_cast<int32_t>(upper.find(ch));
    EXPECT_EQ(actoh(ch), expected) << i;
  }
  EXPECT_EQ(actoh('F'), 15);
  EXPECT_EQ(actoh('f'), 15);
  EXPECT_EQ(actoh('g'), -1);
  EXPECT_EQ(actoh('\0'), -1);
}

// Lengths 1 to 8 into buffers of exactly 2*length + (length-1)/2 + 1 bytes.
TEST(Macstring, DotAfterEverySecondByteButTheLast) {
  const uint8_t bytes[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70};
  const char *const expected[] = {
      "00", "001a", "001a.2b", "001a.2b3c", "001a.2b3c.4d", "001a.2b3c.4d5e",
      "001a.2b3c.4d5e.6f", "001a.2b3c.4d5e.6f70",
  };
  for (int32_t length = 1; length <= 8; ++length) {
    const std::string want = expected[length - 1];
    const auto buf = std::make_unique<char[]>(want.size() + 1);
    EXPECT_EQ(macstring_r(bytes, length, buf.get(), 15), buf.get());
    EXPECT_EQ(std::string(buf.get(), want.size() + 1), want + '\0') << length;
  }
}

// Six bytes into a guard-filled buffer: everything written is listed, '#'
// marks bytes left alone.  Pairs sit at 0, 2, 5, 7, 10 and 12.
TEST(Macstring, SmallAndNegativeSizesWriteWithinEachPairsBound) {
  using namespace std::string_literals;
  const struct {
    int32_t size;
    std::string buf;
  } cases[] = {
      {INT32_MIN, "####################"s},
      {-1, "####################"s},
      {0, "####################"s},
      {1, "\0#\0##\0#\0##\0#\0#######"s},  // a terminator at each place
      {2, "0\0" "1\0#" "2\0" "3\0#" "4\0" "5\0######"s},  // first digit and terminator, no dot
      {3, "001a.2b3c.4d5e\0#####"s},
      {4, "001a.2b3c.4d5e\0#####"s},
      {15, "001a.2b3c.4d5e\0#####"s},
      {INT32_MAX, "001a.2b3c.4d5e\0#####"s},  // bound far past the buffer: still 15 bytes
  };
  for (const auto &c : cases) {
    std::string buf(20, '#');
    EXPECT_EQ(macstring_r(kMac.data(), 6, buf.data(), c.size), buf.data());
    EXPECT_EQ(buf, c.buf) << c.size;
  }
}

TEST(Macstring, NothingWrittenForLengthZeroOrLess) {
  for (const int32_t length : {0, -1, INT32_MIN}) {
    std::string buf(4, '#');
    EXPECT_EQ(macstring_r(kMac.data(), length, buf.data(), 15), buf.data());
    EXPECT_EQ(buf, "####") << length;
  }
}

TEST(Macbuf, ReadsEachFormAtFixedPositions) {
  const std::string texts[] = {
      "001a.2b3c.4d5e",        // dotted
      "00:1a:2b:3c:4d:5e",     // colon
      "001A2B3C4D5E",          // plain, upper case
      "001a2b3c4d5e",          // plain, lower case
      "001A.2b3C.4D5e",        // mixed case
      "001a-2b3c.4d5e",        // separators are not read: any dot makes it dotted
      "001a:2b3c.4d5e",        // dot wins over colon
      "00-1a-2b:3c-4d-5e",     // one colon makes it colon
      "001a.2b3c.4d5e trailing",  // nothing after the last pair is read
      "00:1a:2b:3c:4d:5e:ff",
      "001a2b3c4d5e77",
  };
  for (const auto &t : texts) EXPECT_EQ(read_mac(t), kMac) << t;
}

TEST(Macbuf, NonHexCharactersSetTheBitsTheyReach) {
  const struct {
    std::string text;
    Mac mac;
  } cases[] = {
      {"zz1a.2b3c.4d5e", {0xFF, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {"z51a.2b3c.4d5e", {0xF5, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {"5z1a.2b3c.4d5e", {0xFF, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {"00:1a:2b:3c:4d:g5", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xF5}},
      {"001a2b3c4d 5", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xF5}},
      {"001a2b3c4d5 ", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFF}},
  };
  for (const auto &c : cases) EXPECT_EQ(read_mac(c.text), c.mac) << c.text;
}

// Short texts never read past their terminator and read as if padded with
// non-hex characters: every cut of each form, in exactly sized buffers.
TEST(Macbuf, ShortTextsReadAsPaddedWithNonHex) {
  const struct {
    std::string text;
    Mac mac;
  } cases[] = {
      {"", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"0", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"00", {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"001a.2", {0x00, 0x1A, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"001a.2b3c.4d5", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFF}},
      {"00:1a:2b:3c:4d:5", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFF}},
      {"00:", {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"001a2b3c4d5", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFF}},
  };
  for (const auto &c : cases) EXPECT_EQ(read_mac(c.text), c.mac) << c.text;

  for (const std::string full : {"001a.2b3c.4d5e", "00:1a:2b:3c:4d:5e", "001a2b3c4d5e"}) {
    for (size_t n = 0; n <= full.size(); ++n) {
      const std::string cut = full.substr(0, n);
      EXPECT_EQ(read_mac(cut), read_mac(cut + std::string(17, 'z'))) << cut;
    }
  }
}

// Any six bytes written as text read back as the same bytes: the dotted
// text from macstring_r, and colon and plain texts built here.
TEST(MacText, RandomRoundTrip) {
  std::mt19937 rng(20261205);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 5000; ++round) {
    Mac mac;
    for (auto &b : mac) b = static_cast<uint8_t>(byte(rng));
    const auto dotted = std::make_unique<char[]>(15);
    macstring_r(mac.data(), 6, dotted.get(), 15);
    ASSERT_EQ(read_mac(dotted.get()), mac) << dotted.get();

    char colon[18], plain[13];
    std::snprintf(colon, sizeof colon, "%02x:%02X:%02x:%02X:%02x:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    std::snprintf(plain, sizeof plain, "%02X%02x%02X%02x%02X%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    ASSERT_EQ(read_mac(colon), mac) << colon;
    ASSERT_EQ(read_mac(plain), mac) << plain;

    Mac back;
    ASSERT_EQ(mac64_to_macbuf(macbuf_to_mac64(mac.data()), back.data()), 6);
    ASSERT_EQ(back, mac);
  }
}

// Digits stored directly at the full bound, snprintf below it: the buffer
// ends up as formatting every pair with snprintf leaves it, for random
// bytes, every length from -1 to 9 and every size from -2 to 20.
TEST(Macstring, MatchesSnprintfPerPairOnRandomBytes) {
  std::mt19937 rng(48);
  for (int round = 0; round < 200; ++round) {
    uint8_t mac[9];
    for (auto &b : mac) b = static_cast<uint8_t>(rng());
    for (int32_t length = -1; length <= 9; ++length) {
      for (int32_t size = -2; size <= 20; ++size) {
        std::array<char, 32> got, want;
        got.fill('\x5A');
        want.fill('\x5A');
        EXPECT_EQ(macstring_r(mac, length, got.data(), size), got.data());
        idprom::reference::macstring_r(mac, length, want.data(), size);
        ASSERT_EQ(got, want) << "length " << length << " size " << size;
      }
    }
  }
}

TEST(Mac64, BigEndianLow48Bits) {
  for (const uint64_t value : {0x1A2B3C4D5EULL, 0xFFFF001A2B3C4D5EULL}) {
    uint8_t mac[8] = {0, 0, 0, 0, 0, 0, 0xA5, 0xA5};
    EXPECT_EQ(mac64_to_macbuf(value, mac), 6);
    EXPECT_EQ(std::string_view(reinterpret_cast<char *>(mac), 8),
              std::string_view("\x00\x1a\x2b\x3c\x4d\x5e\xa5\xa5", 8));
  }
  EXPECT_EQ(macbuf_to_mac64(kMac.data()), 0x1A2B3C4D5EULL);
  const Mac ones{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(macbuf_to_mac64(ones.data()), 0xFFFFFFFFFFFFULL);
}
