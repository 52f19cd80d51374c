// Update and delete against a model of the entry list: random well-formed
// images with every class, extension-byte types, two-byte lengths, filler
// and lists that run to the image's end; then every truncation of a list and
// the 16-bit limits of the dirty region.
#include <map>
#include <random>

#include "model.hpp"
#include "test_util.hpp"

using namespace idprom::test;

namespace {

using namespace idprom::model;

struct Gen {  // random types of every class and form, lengths and bytes
  std::mt19937 rng{20261205};
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(rng() % n); }
  bool chance(uint32_t percent) { return below(100) < percent; }
  uint32_t type() {  // any class, some with extension bytes or a two-byte length field
    const uint32_t byte = chance(15) ? 0xF0 + below(15) : 1 + below(0xFE);
    return (chance(25) ? 1 + below(2) : 0) * 256 + byte;
  }
  uint32_t length(uint32_t type) {
    if (type < 0xF0) return 1 + below(63);
    return chance(10) ? 1 + below(700) : 1 + below(40);
  }
  Bytes bytes(size_t n) {
    Bytes b(n);
    for (auto &x : b) x = static_cast<uint8_t>(rng());
    return b;
  }
};

// Runs the edit on an exact copy, checks the failure contract, and on
// success what the model says of the region, the list and the filler.
Edit check_edit(const Bytes &before, const Expected &x, const Edit &e) {
  EXPECT_EQ(e.status, x.status) << testing::PrintToString(before);
  if (e.status == IDPROM_OK && x.status == IDPROM_OK) {
    const char *fault = check_result(before.data(), e.image.data(), before.size(), x, e.offset, e.length);
    EXPECT_EQ(fault, nullptr) << fault << " " << e.offset << "+" << e.length;
  }
  return e;
}

TEST(Edit, RandomEditsAgreeWithTheModel) {
  Gen g;
  std::map<idprom_status, int> seen;
  for (int image = 0; image < 800; ++image) {
    std::vector<uint32_t> pool(1 + g.below(6));
    for (auto &t : pool) t = g.type();
    const auto pick = [&] { return pool[g.below(static_cast<uint32_t>(pool.size()))]; };
    std::vector<Field> fields;
    for (uint32_t i = g.below(9); i > 0; --i) {
      const uint32_t t = pick();
      fields.push_back(is_variable(t) ? Field{t, g.below(4) << 6, g.bytes(g.length(t))}
                                      : Field{t, 0, g.bytes(width(t))});
    }
    const size_t size = encode(fields).size() + (g.chance(20) ? 0 : 1 + g.below(40));
    for (int step = 0; step < 6; ++step) {
      SCOPED_TRACE(testing::Message() << "image " << image << " step " << step);
      const Bytes before = padded(encode(fields), size);
      const List list = walk(before.data(), before.size());
      ASSERT_EQ(list.fields(), fields);
      uint32_t type = g.chance(20) ? g.type() : pick();
      if (g.chance(5)) type = g.below(3) * 256 + (g.chance(50) ? 0x00 : 0xFF);
      const uint32_t instance = g.chance(85) ? 1 + g.below(3) : g.below(6);
      Expected x;
      Edit e;
      if (g.chance(35)) {
        x = expect_delete(list, type, instance);
        e = check_edit(before, x, run_delete(before, type, instance));
      } else {
        uint32_t n = is_variable(type) ? g.length(type) : g.chance(85) ? width(type) : g.below(8);
        const long k = list.find(type, instance);
        if (k >= 0 && g.chance(40)) n = static_cast<uint32_t>(fields[static_cast<size_t>(k)].value.size());
        if (g.chance(8)) n = 0;
        uint32_t word = n;
        if (is_variable(type)) word |= g.below(4) << (type >= 0xF0 ? 14 : 6);
        if (g.chance(10)) word |= g.below(4) << 16;  // bits no layout reads
        const bool create = g.chance(80);
        Bytes data = g.bytes(1024);
        long alias = -1;  // or the value from inside the image, as it stood before the edit
        if (is_variable(type) && n <= size && g.chance(30)) alias = g.below(static_cast<uint32_t>(size - n + 1));
        if (alias >= 0) std::copy_n(before.begin() + alias, n, data.begin());
        SCOPED_TRACE(testing::Message() << std::hex << "update " << type << " #" << instance << " word " << word << " alias " << alias);
        x = expect_update(list, create, type, word, instance, data.data());
        e = check_edit(before, x, run_update(before, create, type, word, data, instance, alias));
      }
      if (HasFailure()) return;
      ++seen[e.status];
      if (e.status == IDPROM_OK) fields = x.fields;
    }
  }
  // Every outcome a well-formed image can give is exercised.
  for (const idprom_status s :
       {IDPROM_OK, IDPROM_ERR_LENGTH_MISMATCH, IDPROM_ERR_NOT_FOUND, IDPROM_ERR_NO_ROOM,
        IDPROM_ERR_NOT_FOUND_NO_CREATE, IDPROM_ERR_NO_END_MARKER, IDPROM_ERR_NO_ROOM_TO_GROW,
        IDPROM_ERR_END_OF_IMAGE, IDPROM_ERR_INVALID_TYPE, IDPROM_ERR_INVALID_LENGTH})
    EXPECT_GE(seen[s], 10) << std::hex << s;
  EXPECT_GT(seen[IDPROM_OK], 1600);
}

// Every truncation of a valid image, and images past 32767 bytes, where
// regions are counted in 32 bits and one that does not fit the 16-bit
// outputs is refused: as the model says.  Long entries are 0xF5 text of 1000
// bytes, 1003 with the header.
TEST(Edit, TruncationsAndLargeImages) {
  const auto image = [](size_t count, size_t total) {
    std::vector<Field> f(count, Field{0xF5, 0x80, Bytes(1000)});
    for (size_t i = 0; i < count; ++i) f[i].value[i % 1000] = static_cast<uint8_t>(i + 1);
    return padded(encode(f), total);
  };
  struct Case {
    Bytes image;
    bool remove;
    uint32_t type, word, instance;
    idprom_status status;
  };
  std::vector<Case> cases = {
      {image(39, 40000), false, 0xF5, 0x8514, 1, IDPROM_OK},                     // region 0+40000
      {image(60, 65535), false, 0xF5, 0x8514, 1, IDPROM_OK},                     // 0+65535, the largest
      {image(65, 65536), false, 0xF5, 0x8514, 1, IDPROM_ERR_IMAGE_TOO_LARGE},    // 0+65536
      {image(65, 65536), false, 0xF5, 0x8514, 2, IDPROM_OK},                     // 1003+64533
      {image(65, 65536), false, 0xF5, 0x83E8, 65, IDPROM_OK},                    // in place near the end
      {image(39, 40000), true, 0xF5, 0, 2, IDPROM_OK},                           // marker at 39117
      {image(69, 70000), true, 0xF5, 0, 1, IDPROM_ERR_IMAGE_TOO_LARGE},          // 0+69207
      {image(69, 70000), true, 0xF5, 0, 69, IDPROM_ERR_IMAGE_TOO_LARGE},         // offset 68204
      {image(69, 70000), true, 0xF5, 0, 5, IDPROM_OK},                           // 4012+65195
  };
  //                 0     1     2     3    4    5    6    7     8     9     10    11
  const Bytes full = {0x01, 0x05, 0xC1, 0x83, 'a', 'b', 'c', 0x43, 0x12, 0x34, 0xFF, 0xFF};
  for (size_t k = 0; k <= full.size(); ++k) {  // cut inside an entry: not found
    const bool to_end = k == 0 || k == 2 || k == 7, appends = k >= 10;
    const Bytes cut(full.begin(), full.begin() + static_cast<long>(k));
    cases.push_back({cut, false, 0x43, 2, 1, appends ? IDPROM_OK : to_end ? IDPROM_ERR_END_OF_IMAGE : IDPROM_ERR_NOT_FOUND});
    cases.push_back({cut, true, 0x43, 0, 1, k < 10 ? IDPROM_ERR_NOT_FOUND : k == 10 ? IDPROM_ERR_NO_END_MARKER : IDPROM_OK});
  }
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.image.size() << " #" << c.instance << " remove " << c.remove);
    const Bytes data(1300, 'g');
    const Edit e = c.remove ? run_delete(c.image, c.type, c.instance)
                            : run_update(c.image, true, c.type, c.word, data, c.instance);
    ASSERT_EQ(e.status, c.status);
    const List list = walk(c.image.data(), c.image.size());
    if (list.stop != Stop::kMalformed)
      check_edit(c.image, c.remove ? expect_delete(list, c.type, c.instance)
                                   : expect_update(list, true, c.type, c.word, c.instance, data.data()), e);
  }
  uint16_t off = kUnwritten, len = kUnwritten;  // an empty image comes before every other check
  EXPECT_EQ(idprom_update_field_data(nullptr, 0, true, 0xFF, 1, "", &off, &len), IDPROM_ERR_END_OF_IMAGE);
  EXPECT_EQ(idprom_delete_field(nullptr, 0, 0x01, &off, &len), IDPROM_ERR_NOT_FOUND);
  EXPECT_EQ(off + len, 2 * kUnwritten);
}

}  // namespace
