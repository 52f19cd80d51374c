// The round-trip laws of values, through the tool, for every type of the
// catalogue (and unknown ones) over the sample and seeded random images:
//   - `set IMG T=<what get IMG T printed>` leaves IMG byte for byte, and get
//     prints one line per value;
//   - `show --json IMG | build -` gives IMG back byte for byte.
#include <gtest/gtest.h>

#include <fstream>

#include <map>
#include <random>
#include <sstream>

#include "base/errors.hpp"
#include "idprom.hpp"
#include "model/types.hpp"
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

// Bytes that text and number forms have to get right: zero bytes (also as
// padding), backslashes, control bytes, 0 and 1, a leading "hex:", and any.
Bytes random_value(std::mt19937 &rng, uint32_t length) {
  Bytes v(length);
  for (uint8_t &b : v) {
    const uint32_t kind = pick(rng, 0, 9);
    b = static_cast<uint8_t>(kind == 0   ? 0
                             : kind == 1 ? '\\'
                             : kind == 2 ? pick(rng, 0, 1)
                             : kind < 8  ? pick(rng, 0x20, 0x7E)
                                         : pick(rng, 0, 255));
  }
  if (length >= 4 && pick(rng, 0, 7) == 0) std::copy_n("hex:", 4, v.begin());
  if (length >= 2 && pick(rng, 0, 3) == 0) std::fill(v.begin() + pick(rng, 1, length - 1), v.end(), 0);
  return v;
}

// Every type of the catalogue once, and a few unknown ones (some with
// extension bytes), in random order; standard lengths and attributes or
// random ones.  Then the end marker and filler, some bytes after the marker
// that are not filler, or no room left at all: the list fills the image.
Bytes random_image(std::mt19937 &rng) {
  std::vector<uint32_t> types;
  for (const auto &row : idprom::tool::type_table()) types.push_back(row.code);
  for (int i = 0; i < 4; ++i) {
    const uint32_t code = pick(rng, 0, 1) * 256 + pick(rng, 1, 0xFE);
    if (code > 0xFF || idprom::tool::find_type(code) == nullptr) types.push_back(code);
  }
  std::shuffle(types.begin(), types.end(), rng);
  Bytes image;
  for (const uint32_t type : types) {
    const uint32_t word = idprom_type_to_len(type);
    const bool standard = pick(rng, 0, 1) == 0 && word != 0;
    uint32_t length = idprom::fixed_width(type), attribute = 0;
    if (length == 0 && standard) {
      length = word == IDPROM_LONG_TYPE_WORD ? pick(rng, 1, 300) : word & 0x3F;
      attribute = word == IDPROM_LONG_TYPE_WORD ? 0xC0 : word & 0xC0;
    } else if (length == 0) {
      length = pick(rng, 1, type >= 0xF0 ? 300 : 63);
      attribute = pick(rng, 0, 3) * 0x40;
    }
    const Bytes entry = encode(type, attribute, random_value(rng, length));
    image.insert(image.end(), entry.begin(), entry.end());
  }
  if (pick(rng, 0, 3) == 0) return image;  // full, no end marker
  const size_t marker = image.size();
  image.resize(marker + 1 + pick(rng, 0, 20), 0xFF);
  if (pick(rng, 0, 3) == 0 && image.size() > marker + 2) image[marker + 2] = 0x5A;
  return image;
}

// set(get) for every instance of every type in the image, one get and one
// set per instance number; names the types that change the image.
void expect_set_of_get_keeps(const Scratch &dir, const Bytes &image, const std::string &what) {
  const std::string img = dir.path("law.bin"), copy = dir.path("copy.bin");
  write_file(img, image);
  std::map<uint32_t, uint32_t> count;
  for (const idprom::Entry &e : idprom::ImageView(image)) ++count[e.type];
  for (uint32_t n = 1;; ++n) {
    std::vector<std::string> get = {"get", img, "--instance", std::to_string(n)}, types;
    for (const auto &[type, c] : count) {
      if (c >= n) types.push_back(idprom::tool::hex(type));
      if (c >= n) get.insert(get.end(), {"-t", types.back()});
    }
    if (types.empty()) return;
    const Outcome printed = run_tool(get);
    ASSERT_EQ(printed.status, 0) << what << ": " << printed.err;
    std::istringstream lines(printed.out);
    std::vector<std::string> set = {"set", copy, "--instance", std::to_string(n)};
    for (std::string line; std::getline(lines, line);) set.push_back(types[set.size() - 4] + "=" + line);
    ASSERT_EQ(set.size() - 4, types.size()) << what << ": not one line per value:\n" << printed.out;
    write_file(copy, image);
    const Outcome r = run_tool(set);
    EXPECT_EQ(r.status, 0) << what << ": " << r.err;
    if (read_file(copy) == image) continue;
    for (size_t i = 4; i < set.size(); ++i) {  // which ones
      write_file(copy, image);
      run_tool({"set", copy, "--instance", std::to_string(n), set[i]});
      EXPECT_EQ(read_file(copy), image) << what << ": " << set[i];
    }
  }
}

void expect_build_of_show_keeps(const Scratch &dir, const Bytes &image, const std::string &what) {
  const std::string img = dir.path("image.bin"), desc = dir.path("image.json"),
                    out = dir.path("out.bin");
  write_file(img, image);
  const Outcome show = run_tool({"show", img, "--json"});
  EXPECT_EQ(show.status, 0) << what << ": " << show.err;
  write_file(desc, show.out);
  std::remove(out.c_str());
  Outcome build = run_tool({"build", "-", "-o", out}, desc);
  if (build.status == 6) {  // a Base MAC Address no board can have goes in only with --force
    EXPECT_NE(build.err.find(": Base MAC Address "), std::string::npos) << what << build.err;
    EXPECT_FALSE(std::ifstream(out).good()) << what;
    build = run_tool({"build", "-", "-o", out, "--force"}, desc);
  }
  EXPECT_EQ(build.status, 0) << what << ": " << build.err;
  EXPECT_EQ(read_file(out), image) << what;
}

TEST(ToolRoundTrip, SetOfGetAndBuildOfShowKeepEveryByte) {
  Scratch dir;
  std::vector<std::pair<std::string, Bytes>> images = {
      {"sample", read_file(IDPROM_SAMPLE_IMAGE)},
      {"tail", {0x01, 0x05, 0xFF, 0x12, 0xFF, 0x34, 0xFF, 0xFF}},  // bytes after the marker
  };
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    std::mt19937 rng(seed);
    images.emplace_back("seed " + std::to_string(seed), random_image(rng));
  }
  for (const auto &[what, image] : images) {
    expect_set_of_get_keeps(dir, image, what);
    expect_build_of_show_keeps(dir, image, what);
  }
}

}  // namespace
