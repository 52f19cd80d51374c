#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "idprom.h"
#include "stdout_capture.hpp"

using idprom::test::capture_stdout;

namespace {

constexpr char kGuard = '\x5A';

// A buffer of size bytes followed by guard bytes that no write may reach.
struct Guarded {
  explicit Guarded(uint32_t capacity) : size(capacity), bytes(capacity + 16, kGuard) {}
  std::string text() const { return std::string(bytes.data(), size); }
  bool guard_intact() const {
    for (size_t i = size; i < bytes.size(); ++i) {
      if (bytes[i] != kGuard) return false;
    }
    return true;
  }
  uint32_t size;
  std::vector<char> bytes;
};

TEST(Sink, CutsAndStopsAtTheEnd) {
  Guarded g(3);
  uint32_t pos = 0;
  idprom_printf(g.bytes.data(), &pos, g.size, "abc");
  EXPECT_EQ(g.text(), std::string("ab\0", 3));
  EXPECT_EQ(pos, 3U);

  idprom_printf(g.bytes.data(), &pos, g.size, "x");  // full: nothing changes
  EXPECT_EQ(g.text(), std::string("ab\0", 3));
  EXPECT_EQ(pos, 3U);

  pos = 7;  // a position past the size also writes nothing
  idprom_printf(g.bytes.data(), &pos, g.size, "%d", 5);
  EXPECT_EQ(pos, 7U);
  EXPECT_EQ(g.text(), std::string("ab\0", 3));
  EXPECT_TRUE(g.guard_intact());
}

TEST(Sink, PieceLimitedToScratch) {
  const std::string hundred =
      "0123456789012345678901234567890123456789012345678901234567890123456789"
      "012345678901234567890123456789";
  ASSERT_EQ(hundred.size(), 100U);
  Guarded g(200);
  uint32_t pos = 5;
  idprom_printf(g.bytes.data(), &pos, g.size, "%s", hundred.c_str());
  EXPECT_EQ(pos, 5U + 79U);
  EXPECT_EQ(std::string(g.bytes.data() + 5),
            "0123456789012345678901234567890123456789012345678901234567890123456789"
            "012345678");
  idprom_printf(g.bytes.data(), &pos, g.size, "|%s|", "z");  // appended after the cut
  EXPECT_EQ(pos, 5U + 79U + 3U);
  EXPECT_EQ(std::string(g.bytes.data() + 5 + 79), "|z|");
}

// Pieces "abc", "-42", "", "xy    |", "ab": 15 characters in all.
void write_pieces(char *buf, uint32_t *pos, uint32_t size) {
  idprom_printf(buf, pos, size, "abc");
  idprom_printf(buf, pos, size, "%d", -42);
  idprom_printf(buf, pos, size, "%s", "");
  idprom_printf(buf, pos, size, "%-6s|", "xy");
  idprom_printf(buf, pos, size, "%02x", 0xABU);
}

TEST(Sink, ZeroTerminatedAtEverySize) {
  const std::string full = "abc-42xy    |ab";
  const std::vector<uint32_t> piece_ends = {3, 6, 6, 13, 15};
  for (uint32_t size = 1; size <= full.size() + 2; ++size) {
    Guarded g(size);
    uint32_t pos = 0;
    write_pieces(g.bytes.data(), &pos, size);
    const size_t kept = std::min<size_t>(size - 1, full.size());
    EXPECT_EQ(std::string(g.bytes.data(), kept + 1), full.substr(0, kept) + '\0') << size;
    EXPECT_TRUE(g.guard_intact()) << size;
    // The position stops at the end of the first piece that reached size.
    uint32_t want = piece_ends.back();
    for (const uint32_t end : piece_ends) {
      if (end >= size) {
        want = end;
        break;
      }
    }
    EXPECT_EQ(pos, want) << size;
  }
}

TEST(Sink, StandardOutputUnbounded) {
  const std::string long_text(200, 'q');
  uint32_t pos = 7;
  const std::string out = capture_stdout([&] {
    idprom_printf(nullptr, &pos, 0, "<%s>", long_text.c_str());
    idprom_printf(nullptr, &pos, 0, "%d", 12);
  });
  EXPECT_EQ(out, "<" + long_text + ">12");
  EXPECT_EQ(pos, 7U);  // the position belongs to buffers only
}

}  // namespace
