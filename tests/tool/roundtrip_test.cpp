// show --json is a description that build turns back into the same image,
// byte for byte, on random well-formed images (fixed seeds).
#include <gtest/gtest.h>

#include <random>

#include "run_tool.hpp"

using namespace idprom::test;

namespace {

// The test's own encoder of one entry: extension bytes, type byte, length
// field of the variable class (two bytes from type 0xF0 on), value.
Bytes encode(uint32_t type, uint32_t attribute, const Bytes &value) {
  Bytes out(type / 256, 0x00);
  out.push_back(static_cast<uint8_t>(type & 0xFF));
  if ((type & 0xC0) == 0xC0) {
    const auto n = static_cast<uint32_t>(value.size());
    if (type >= 0xF0) {
      const uint32_t word = attribute << 8 | n;
      out.push_back(static_cast<uint8_t>(word >> 8));
      out.push_back(static_cast<uint8_t>(word & 0xFF));
    } else {
      out.push_back(static_cast<uint8_t>(attribute | n));
    }
  }
  out.insert(out.end(), value.begin(), value.end());
  return out;
}

uint32_t pick(std::mt19937 &rng, uint32_t lo, uint32_t hi) {
  return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
}

// Entries of random types (a third with extension bytes), attributes and
// values until the next one does not fit; sometimes the last entry fills
// the image to its last byte and no end marker remains.
Bytes random_image(std::mt19937 &rng) {
  const uint32_t size = pick(rng, 4, 700);
  Bytes image;
  for (;;) {
    const uint32_t type =
        pick(rng, 0, 2) == 0 ? pick(rng, 1, 2) * 256 + pick(rng, 1, 0xFE) : pick(rng, 1, 0xFE);
    const uint32_t width = (type & 0xC0) == 0x00   ? 1
                           : (type & 0xC0) == 0x40 ? 2
                           : (type & 0xC0) == 0x80 ? 4
                                                   : 0;
    const uint32_t length = width != 0 ? width : pick(rng, 1, type >= 0xF0 ? 300 : 63);
    const uint32_t attribute = width != 0 ? 0 : pick(rng, 0, 3) * 0x40;
    Bytes value(length);
    for (uint8_t &b : value) b = static_cast<uint8_t>(pick(rng, 0, 255));
    const Bytes entry = encode(type, attribute, value);
    const size_t room = size - image.size();
    if (entry.size() < room || (entry.size() == room && pick(rng, 0, 1) == 0)) {
      image.insert(image.end(), entry.begin(), entry.end());
    } else if (pick(rng, 0, 3) != 0) {
      break;
    }
  }
  image.resize(size, 0xFF);
  return image;
}

Bytes round_trip(const Scratch &dir, const Bytes &image, Outcome *show) {
  const std::string img = dir.path("image.bin"), desc = dir.path("image.json"),
                    out = dir.path("out.bin");
  write_file(img, image);
  *show = run_tool({"show", img, "--json"});
  write_file(desc, Bytes(show->out.begin(), show->out.end()));
  std::remove(out.c_str());
  const Outcome build = run_tool({"build", desc, "-o", out});
  EXPECT_EQ(build.status, 0) << build.err;
  return read_file(out);
}

TEST(ToolRoundTrip, RandomWellFormedImagesBuildBackByteForByte) {
  Scratch dir;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    const Bytes image = random_image(rng);
    Outcome show;
    EXPECT_EQ(round_trip(dir, image, &show), image) << "seed " << seed;
    EXPECT_EQ(show.status, 0) << "seed " << seed << ": " << show.err;
  }
}

TEST(ToolRoundTrip, SampleAndBytesAfterTheMarker) {
  Scratch dir;
  Outcome show;
  EXPECT_EQ(round_trip(dir, read_file(IDPROM_SAMPLE_IMAGE), &show), read_file(IDPROM_SAMPLE_IMAGE));
  Bytes odd = {0x01, 0x05, 0xFF, 0x12, 0xFF, 0x34, 0xFF, 0xFF};
  EXPECT_EQ(round_trip(dir, odd, &show), odd);
  EXPECT_NE(show.out.find("\"tail\": \"12ff34\""), std::string::npos) << show.out;
}

}  // namespace
