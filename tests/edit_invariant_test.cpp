// Randomised invariants of update and delete, against a model of the list.
// Deterministic (fixed seed) and quick: a few thousand edits on random
// well-formed images with every class, extension-byte types, two-byte
// lengths, 0xFF filler, and lists that run to the image's end.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "codec/codec.hpp"
#include "edit_util.hpp"

using namespace idprom::test;
using idprom::codec::idprom_type_is_numeric;

namespace {

class Gen {
 public:
  explicit Gen(uint32_t seed) : rng_(seed) {}
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
  bool chance(uint32_t percent) { return below(100) < percent; }
  Bytes bytes(size_t n) {
    Bytes b(n);
    for (auto &x : b) x = static_cast<uint8_t>(rng_());
    return b;
  }

  // A type code with an encoding: any class, sometimes extension bytes,
  // sometimes from 0xF0 on (two-byte length field).
  uint32_t type() {
    uint32_t byte;
    do byte = chance(15) ? 0xF0 + below(15) : 1 + below(0xFE);
    while (byte == 0xFF);
    return (chance(25) ? 1 + below(2) : 0) * 256 + byte;
  }
  uint32_t invalid_type() { return below(3) * 256 + (chance(50) ? 0x00 : 0xFF); }

  uint32_t attribute() { return below(4) << 6; }
  uint32_t variable_length(uint32_t type) {
    if (type < 0xF0) return 1 + below(63);
    return chance(10) ? 1 + below(700) : 1 + below(40);
  }

  Field field(uint32_t type) {
    if (!is_variable_type(type)) return {type, 0, bytes(width(type))};
    return {type, attribute(), bytes(variable_length(type))};
  }

  static uint32_t width(uint32_t type) { return 1U << ((type & 0xC0) >> 6); }

 private:
  std::mt19937 rng_;
};

// ---- the model: what an edit must do to the list ------------------------

struct Model {
  std::vector<Field> fields;
  size_t size = 0;  // image length

  size_t used() const { return encode(fields).size(); }
  bool has_marker() const { return used() < size; }
  Bytes image() const { return padded(encode(fields), size); }
  size_t start_of(size_t k) const {
    return encode(std::vector<Field>(fields.begin(), fields.begin() + static_cast<long>(k))).size();
  }
  // Index of the instance-th entry of type, or -1.
  long find(uint32_t type, uint32_t instance) const {
    uint32_t count = 0;
    for (size_t k = 0; k < fields.size(); ++k)
      if (fields[k].type == type && ++count == instance) return static_cast<long>(k);
    return -1;
  }
};

struct Expected {
  idprom_status status = IDPROM_OK;
  Model after;
  size_t offset = 0, length = 0;
  long index = -1;  // the entry written
};

Expected fail(idprom_status status) {
  Expected x;
  x.status = status;
  return x;
}

struct Request {
  bool create;
  uint32_t type, word, instance;
  Bytes data;
};

uint16_t host16_value(const Bytes &host) {
  uint16_t v;
  std::memcpy(&v, host.data(), 2);
  return v;
}

// The caller's host-order integer of the given width, as stored: big-endian.
Bytes big_endian(const Bytes &host, uint32_t width) {
  uint32_t v = host[0];
  if (width == 2) v = host16_value(host);
  if (width == 4) std::memcpy(&v, host.data(), 4);
  Bytes out(width);
  for (uint32_t i = width; i-- > 0; v >>= 8) out[i] = static_cast<uint8_t>(v);
  return out;
}

Expected expect_update(const Model &m, const Request &r) {
  Expected x{IDPROM_OK, m};
  const bool variable = is_variable_type(r.type);
  const uint32_t n = r.word & (r.type >= 0xF0 ? 0x3FFF : 0x3F);
  const uint32_t attr = (r.type >= 0xF0 ? r.word >> 8 : r.word) & 0xC0;
  if (m.size == 0) return fail(IDPROM_ERR_END_OF_IMAGE);
  if ((r.type & 0xFF) == 0 || (r.type & 0xFF) == 0xFF) return fail(IDPROM_ERR_INVALID_TYPE);
  if (variable && n == 0) return fail(IDPROM_ERR_INVALID_LENGTH);
  const long k = m.find(r.type, r.instance);
  if (k >= 0) {
    Field &f = x.after.fields[static_cast<size_t>(k)];
    const auto l = static_cast<uint32_t>(f.value.size());
    x.index = k;
    if (n == l) {
      const bool numeric = r.type < 0xC0 && idprom_type_is_numeric(r.type);
      f.value = numeric ? big_endian(r.data, l) : Bytes(r.data.begin(), r.data.begin() + l);
      x.offset = m.start_of(static_cast<size_t>(k)) + encode(f).size() - l;
      x.length = l;
      return x;
    }
    if (!variable) return fail(IDPROM_ERR_LENGTH_MISMATCH);
    if (!m.has_marker()) return fail(IDPROM_ERR_NO_END_MARKER);
    if (n > l && n - l > m.size - m.used()) return fail(IDPROM_ERR_NO_ROOM_TO_GROW);
    f = {r.type, attr, Bytes(r.data.begin(), r.data.begin() + n)};
    x.offset = m.start_of(static_cast<size_t>(k));
    x.length = m.size - x.offset;
    return x;
  }
  if (!m.has_marker()) return fail(IDPROM_ERR_END_OF_IMAGE);
  if (!r.create) return fail(IDPROM_ERR_NOT_FOUND_NO_CREATE);
  Field f{r.type, variable ? attr : 0, {}};
  if (variable) {
    f.value.assign(r.data.begin(), r.data.begin() + n);
  } else {
    const uint32_t w = Gen::width(r.type);
    f.value = idprom_type_is_numeric(r.type & 0xFF) ? big_endian(r.data, w)
                                                    : Bytes(r.data.begin(), r.data.begin() + w);
  }
  if (m.used() + encode(f).size() >= m.size) return fail(IDPROM_ERR_NO_ROOM);
  x.offset = m.used();
  x.length = encode(f).size() + 1;
  x.after.fields.push_back(f);
  x.index = static_cast<long>(x.after.fields.size() - 1);
  return x;
}

Expected expect_delete(const Model &m, uint32_t type, uint32_t instance) {
  Expected x{IDPROM_OK, m};
  const long k = m.find(type, instance);
  if (k < 0) return fail(IDPROM_ERR_NOT_FOUND);
  if (!m.has_marker()) return fail(IDPROM_ERR_NO_END_MARKER);
  x.offset = m.start_of(static_cast<size_t>(k));
  x.length = m.used() - x.offset;
  x.after.fields.erase(x.after.fields.begin() + k);
  return x;
}

// ---- random images and requests ------------------------------------------

Model random_model(Gen &g, std::vector<uint32_t> *pool) {
  pool->clear();
  for (uint32_t i = 1 + g.below(6); i > 0; --i) pool->push_back(g.type());
  Model m;
  for (uint32_t i = g.below(9); i > 0; --i) m.fields.push_back(g.field((*pool)[g.below(
      static_cast<uint32_t>(pool->size()))]));
  m.size = m.used() + (g.chance(20) ? 0 : 1 + g.below(40));
  return m;
}

uint32_t request_type(Gen &g, const std::vector<uint32_t> &pool) {
  if (g.chance(5)) return g.invalid_type();
  if (g.chance(20)) return g.type();
  return pool[g.below(static_cast<uint32_t>(pool.size()))];
}

uint32_t request_instance(Gen &g) { return g.chance(85) ? 1 + g.below(3) : g.below(6); }

uint32_t request_word(Gen &g, const Model &m, uint32_t type, uint32_t instance) {
  if (!is_variable_type(type)) return g.chance(85) ? Gen::width(type) : g.below(8);
  uint32_t n = g.variable_length(type);
  const long k = m.find(type, instance);
  if (k >= 0 && g.chance(40)) n = static_cast<uint32_t>(m.fields[static_cast<size_t>(k)].value.size());
  if (g.chance(8)) n = 0;
  const uint32_t noise = g.chance(10) ? g.below(4) << 16 : 0;  // bits no layout reads
  return noise | (type >= 0xF0 ? g.attribute() << 8 | n : g.attribute() | n);
}

void check_success(const Bytes &before, const Edit &e, const Expected &x) {
  ASSERT_TRUE(changes_inside(before, e.image, e.offset, e.length));
  EXPECT_EQ(e.offset, x.offset);
  EXPECT_EQ(e.length, x.length);
  const auto list = decode_list(e.image);
  ASSERT_TRUE(list.has_value()) << "list no longer decodes to a marker and 0xFF filler";
  EXPECT_EQ(*list, x.after.fields);
  EXPECT_EQ(e.image, x.after.image());
}

// A lookup after an update returns what was written: the caller's integer
// in host order for integer-valued codes below 0xC0, the stored bytes else.
void check_lookup(const Bytes &image, const Model &after, long index, const Request &r) {
  const Field &f = after.fields[static_cast<size_t>(index)];
  uint32_t instance = 0;
  for (long k = 0; k <= index; ++k) instance += after.fields[static_cast<size_t>(k)].type == f.type;
  Bytes out(f.value.size());
  ASSERT_EQ(idprom_get_field_data_instance(image.data(), static_cast<uint32_t>(image.size()),
                                           f.type, out.data(), static_cast<uint32_t>(out.size()),
                                           true, instance),
            IDPROM_OK);
  const bool numeric = f.type < 0xC0 && idprom_type_is_numeric(f.type);
  EXPECT_EQ(out, numeric ? Bytes(r.data.begin(), r.data.begin() + static_cast<long>(out.size()))
                         : f.value);
}

TEST(EditInvariant, RandomEditsKeepTheContract) {
  Gen g(20261205);
  std::vector<uint32_t> pool;
  int edits = 0, successes = 0;
  std::map<idprom_status, int> seen;
  for (int image = 0; image < 800; ++image) {
    Model m = random_model(g, &pool);
    for (int step = 0; step < 6; ++step, ++edits) {
      const Bytes before = m.image();
      SCOPED_TRACE(testing::Message() << "image " << image << " step " << step);
      const uint32_t type = request_type(g, pool);
      const uint32_t instance = request_instance(g);
      Expected x;
      Edit e;
      if (g.chance(35)) {
        SCOPED_TRACE(testing::Message() << "delete " << std::hex << type << " #" << instance);
        x = expect_delete(m, type, instance);
        e = run_delete(before, type, instance);
        ASSERT_EQ(e.status, x.status) << testing::PrintToString(before);
        if (e.status == IDPROM_OK) check_success(before, e, x);
      } else {
        const uint32_t word = request_word(g, m, type, instance);
        const Request r{g.chance(80), type, word, instance, g.bytes(1024)};
        SCOPED_TRACE(testing::Message() << "update " << std::hex << type << " word " << word
                                        << " #" << instance << " create " << r.create);
        x = expect_update(m, r);
        e = run_update(before, r.create, type, word, r.data, instance);
        ASSERT_EQ(e.status, x.status) << testing::PrintToString(before);
        if (e.status == IDPROM_OK) {
          check_success(before, e, x);
          check_lookup(e.image, x.after, x.index, r);
        }
      }
      if (HasFatalFailure() || HasFailure()) return;
      ++seen[e.status];
      if (e.status == IDPROM_OK) {
        ++successes;
        m = x.after;
      }
    }
  }
  EXPECT_EQ(edits, 4800);
  // Every outcome a well-formed image can give is exercised.
  for (const idprom_status s :
       {IDPROM_OK, IDPROM_ERR_LENGTH_MISMATCH, IDPROM_ERR_NOT_FOUND, IDPROM_ERR_NO_ROOM,
        IDPROM_ERR_NOT_FOUND_NO_CREATE, IDPROM_ERR_NO_END_MARKER, IDPROM_ERR_NO_ROOM_TO_GROW,
        IDPROM_ERR_END_OF_IMAGE, IDPROM_ERR_INVALID_TYPE, IDPROM_ERR_INVALID_LENGTH})
    EXPECT_GE(seen[s], 10) << std::hex << s;
  EXPECT_GT(successes, edits / 3) << "the generator should mostly make edits that succeed";
}

}  // namespace

namespace {

// Every truncation of a valid image: the walk stops cleanly at a cut entry
// (ASan sees any read past the exact-size copy), and the failure contract
// holds at every length.
TEST(EditInvariant, EveryTruncation) {
  //                 0     1     2     3    4    5    6    7     8     9     10    11
  const Bytes full = {0x01, 0x05, 0xC1, 0x83, 'a', 'b', 'c', 0x43, 0x12, 0x34, 0xFF, 0xFF};
  for (size_t k = 0; k <= full.size(); ++k) {
    SCOPED_TRACE(testing::Message() << "length " << k);
    const Bytes cut(full.begin(), full.begin() + static_cast<long>(k));
    const bool at_boundary = k == 2 || k == 7;  // the list runs to the end there
    idprom_status want = IDPROM_ERR_NOT_FOUND;
    if (k == 0 || at_boundary) want = IDPROM_ERR_END_OF_IMAGE;
    if (k >= 10) want = IDPROM_OK;
    const Edit u = run_update(cut, true, 0x43, 2, host16(0xABCD));
    EXPECT_EQ(u.status, want);
    if (u.status == IDPROM_OK) {
      EXPECT_TRUE(changes_inside(cut, u.image, u.offset, u.length));
    }

    want = k < 10 ? IDPROM_ERR_NOT_FOUND : k == 10 ? IDPROM_ERR_NO_END_MARKER : IDPROM_OK;
    const Edit d = run_delete(cut, 0x43);
    EXPECT_EQ(d.status, want);
    if (d.status == IDPROM_OK) {
      EXPECT_TRUE(changes_inside(cut, d.image, d.offset, d.length));
    }
  }
}

}  // namespace
