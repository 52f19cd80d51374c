// MAC address conversions: hex digits, dotted text out, three text forms in,
// and the 48-bit integer form.
#include <array>
#include <cstring>
#include <memory>
#include <random>

#include "test_util.hpp"

using idprom::test::Bytes;

namespace {

using Mac = std::array<uint8_t, 6>;
constexpr Mac kMac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

Mac read_mac(const std::string &text) {  // from exactly its length plus the terminator
  const auto copy = std::make_unique<char[]>(text.size() + 1);
  text.copy(copy.get(), text.size());
  copy[text.size()] = '\0';
  Mac mac;
  mac.fill(0xA5);
  idprom_macbuf_r(copy.get(), mac.data());
  return mac;
}

TEST(Mac, HexDigits) {
  const std::string digits = "0123456789abcdef0123456789ABCDEF";
  for (int i = 0; i < 256; ++i) {
    const size_t at = digits.find(static_cast<char>(i));
    EXPECT_EQ(idprom_actoh(static_cast<char>(i)), at == std::string::npos ? -1 : int32_t(at % 16)) << i;
  }
}

// Into a guard-filled buffer ('#': left alone).  Pairs sit at 0, 2, 5, 7, 10
// and 12, each written within its own bound.
TEST(Mac, DottedTextAtEverySize) {
  using namespace std::string_literals;
  const struct {
    int32_t length, size;
    std::string buf;
  } cases[] = {
      {6, 0, "####################"s},
      {6, 1, "\0#\0##\0#\0##\0#\0#######"s},                // a terminator at each place
      {6, 2, "0\0" "1\0#" "2\0" "3\0#" "4\0" "5\0######"s},  // first digit, no dot
      {6, 3, "001a.2b3c.4d5e\0#####"s},
      {6, INT32_MAX, "001a.2b3c.4d5e\0#####"s},              // still 15 bytes
      {2, 15, "001a\0###############"s},                     // no dot after the last pair
      {0, 15, "####################"s},
  };
  for (const auto &c : cases) {
    std::string buf(20, '#');
    EXPECT_EQ(idprom_macstring_r(kMac.data(), c.length, buf.data(), c.size), buf.data());
    EXPECT_EQ(buf, c.buf) << c.length << " " << c.size;
  }
}

TEST(Mac, TextForms) {
  const struct {
    std::string text;
    Mac mac;
  } cases[] = {
      {"001a-2b3c.4d5e", kMac},     // any dot makes it dotted
      {"00-1a-2b:3c-4d-5e", kMac},  // one colon (and no dot) makes it colon
      {"001a2b3c4d5e77", kMac},     // plain; nothing after the last pair is read
      {"z51a.2b3c.4d5e", {0xF5, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},  // non-hex sets the bits it reaches
      {"00:", {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"001a2b3c4d5e00112233.", {0x00, 0x1A, 0xB3, 0xC4, 0x5E, 0x00}},  // a dot past the colon form's end
      {"001a2b3c4d5e00112233:", {0x00, 0xA2, 0x3C, 0xD5, 0x00, 0x12}},  // a colon there, no dot
  };
  for (const auto &c : cases) EXPECT_EQ(read_mac(c.text), c.mac) << c.text;
  // Every cut reads as if padded with non-hex, never past its terminator.
  for (const std::string full : {"001a.2b3c.4d5e", "00:1a:2b:3c:4d:5e", "001a2b3c4d5e"})
    for (size_t n = 0; n <= full.size(); ++n)
      EXPECT_EQ(read_mac(full.substr(0, n)), read_mac(full.substr(0, n) + std::string(17, 'z'))) << n;
}

// Any six bytes written as text (either case) or as the 48-bit integer read back the same.
TEST(Mac, RandomRoundTrip) {
  std::mt19937 rng(20261205);
  for (int round = 0; round < 5000; ++round) {
    Mac mac, back;
    for (auto &b : mac) b = static_cast<uint8_t>(rng());
    char dotted[15], colon[18], plain[13];
    idprom_macstring_r(mac.data(), 6, dotted, 15);
    char want[16];
    std::snprintf(want, sizeof want, "%02x%02x.%02x%02x.%02x%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    ASSERT_EQ(std::memcmp(dotted, want, 15), 0) << want;  // lower case, terminated
    std::snprintf(colon, sizeof colon, "%02x:%02X:%02x:%02X:%02x:%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    std::snprintf(plain, sizeof plain, "%02X%02x%02X%02x%02X%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    for (const char *text : {dotted, colon, plain}) ASSERT_EQ(read_mac(text), mac) << text;
    ASSERT_EQ(idprom_mac64_to_macbuf(idprom_macbuf_to_mac64(mac.data()), back.data()), 6);
    ASSERT_EQ(back, mac);
  }
  uint8_t mac[8] = {0, 0, 0, 0, 0, 0, 0xA5, 0xA5};  // the low 48 bits, big-endian
  EXPECT_EQ(idprom_mac64_to_macbuf(0xFFFF001A2B3C4D5EULL, mac), 6);
  EXPECT_EQ(Bytes(mac, mac + 8), (Bytes{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0xa5, 0xa5}));
  EXPECT_EQ(idprom_macbuf_to_mac64(kMac.data()), 0x1A2B3C4D5EULL);
}

}  // namespace

#ifndef IDPROM_NO_SHORT_NAMES
// The short names are the idprom_ functions under their first names.
TEST(ShortNames, AreTheSameFunctions) {
  const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  uint8_t back[6];
  uint16_t crc = 0;
  char text[15];
  crc_16(0x31, &crc);
  EXPECT_EQ(crc, idprom_crc_16_buf("1", 1));
  EXPECT_EQ(calculate_crc(mac, 5) ^ crc_16_buf(mac, 6), idprom_calculate_crc(mac, 5) ^ idprom_crc_16_buf(mac, 6));
  EXPECT_EQ(actoh('f'), 15);
  EXPECT_STREQ(macstring_r(mac, 6, text, 15), "001a.2b3c.4d5e");
  macbuf_r("00:1a:2b:3c:4d:5e", back);
  EXPECT_EQ(mac64_to_macbuf(macbuf_to_mac64(back) | 0xFFFF000000000000, back), 6);
  EXPECT_EQ(std::memcmp(back, mac, 6), 0);
}
#endif
