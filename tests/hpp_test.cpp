#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "idprom.hpp"
#include "stdout_capture.hpp"
#include "test_util.hpp"

using idprom::test::Bytes;
using idprom::test::capture_stdout;
using idprom::test::exact_copy;
using idprom::test::padded;

namespace {

struct Seen {
  uint32_t offset, type, length, attribute;
  Bytes value;
  bool operator==(const Seen &) const = default;
};

std::vector<Seen> walk(const idprom::ImageView &view) {
  std::vector<Seen> out;
  for (const idprom::Entry &e : view) {
    out.push_back({e.offset, e.type, e.length, e.attribute, Bytes(e.value.begin(), e.value.end())});
  }
  return out;
}

TEST(Hpp, IteratesEntriesWithOffsetsAndValues) {
  // 0x01 slots, an extension-byte entry 0x1C5 with a two-byte length
  // field, a text field; then the end marker.
  const Bytes image = exact_copy(
      padded({0x01, 0x05, 0x00, 0xC5, 0x80, 0x02, 'h', 'i', 0xC1, 0x83, 'a', 'b', 'c', 0xFF}, 16));
  const idprom::ImageView view(image);
  const std::vector<Seen> expected = {
      {0, 0x01, 1, 0x00, {0x05}},
      {2, 0x1C5, 2, 0x80, {'h', 'i'}},
      {8, 0xC1, 3, 0x80, {'a', 'b', 'c'}},
  };
  EXPECT_EQ(walk(view), expected);
  const idprom::Layout l = view.layout();
  EXPECT_EQ(l.entries, 3U);
  EXPECT_EQ(l.used, 13U);
  EXPECT_EQ(l.end_marker, 13U);
  EXPECT_FALSE(l.malformed_at);
}

TEST(Hpp, LayoutAtTheEdges) {
  struct Case {
    Bytes image;
    uint32_t entries, used;
    std::optional<uint32_t> marker, malformed;
  };
  const std::vector<Case> cases = {
      {{}, 0, 0, std::nullopt, std::nullopt},                              // empty
      {{0xFF, 0xFF}, 0, 0, 0U, std::nullopt},                              // blank
      {{0x01, 0x05, 0x43, 0x00, 0x01}, 2, 5, std::nullopt, std::nullopt},  // fills the image
      {{0x01, 0x05, 0xC3, 0x00, 0xFF}, 1, 2, std::nullopt, 2U},            // zero length
      {{0x01, 0x05, 0x43, 0x00}, 1, 2, std::nullopt, 2U},                  // value cut short
      {{0x00, 0x00}, 0, 0, std::nullopt, 0U},  // extension bytes to the end
  };
  for (const Case &c : cases) {
    const Bytes image = exact_copy(c.image);
    const idprom::Layout l = idprom::ImageView(image).layout();
    EXPECT_EQ(l.entries, c.entries) << testing::PrintToString(c.image);
    EXPECT_EQ(l.used, c.used) << testing::PrintToString(c.image);
    EXPECT_EQ(l.end_marker, c.marker) << testing::PrintToString(c.image);
    EXPECT_EQ(l.malformed_at, c.malformed) << testing::PrintToString(c.image);
  }
}

TEST(Hpp, LookupsReturnOptionals) {
  const Bytes image = exact_copy(padded(
      {0x43, 0x01, 0x02, 0x82, 0x73, 0x01, 0x2C, 0x05, 0x88, 0, 0, 0, 1, 0x88, 0, 0, 0, 2}, 24));
  const idprom::ImageView view(image);
  EXPECT_EQ(view.get_int(0x43), 0x0102U);
  EXPECT_EQ(view.get_int(0x88, 2), 2U);
  EXPECT_FALSE(view.get_int(0x88, 3));
  EXPECT_FALSE(view.get_int(0x82));  // a byte string, not an integer
  EXPECT_EQ(view.get(0x82), (Bytes{0x73, 0x01, 0x2C, 0x05}));
  EXPECT_FALSE(view.get(0xCB));
  ASSERT_TRUE(view.find(0x88, 2));
  EXPECT_EQ(view.find(0x88, 2)->offset, 13U);
  EXPECT_FALSE(view.find(0x88, 0));
}

TEST(Hpp, ListingAndEntryTextAreTheLibrarys) {
  const Bytes image =
      exact_copy(padded({0x88, 0, 0, 0, 7, 0x88, 0, 0, 0, 5, 0xCB, 0x82, 'L', 'C'}, 20));
  const idprom::ImageView view(image);
  EXPECT_EQ(view.listing(),
            "\n    Deviation Number # 1     : 7"
            "\n    Deviation Number # 2     : 5"
            "\n    PID                      : LC");
  EXPECT_EQ(view.listing(1),
            "\n    Deviation Number # 1     : 7\n    PID                      : LC");
  // One entry listed by itself: its own number is then 1.
  EXPECT_EQ(view.entry_text(*view.find(0x88, 2)), "\n    Deviation Number # 1     : 5");
  EXPECT_EQ(view.basic_listing(), "\n    PID                      : LC");
}

TEST(Hpp, ListingStopsBeforeAMalformedEntryWithoutWritingToStdout) {
  const Bytes image = exact_copy({0x01, 0x05, 0xC3, 0x00, 0xFF});
  std::string listing;
  const std::string out = capture_stdout([&] { listing = idprom::ImageView(image).listing(); });
  EXPECT_EQ(listing, "\n    Number of Slots          : 5");
  EXPECT_EQ(out, "");
}

TEST(Hpp, LongListingsAreNotCut) {
  // A 63-byte hex field prints about six characters a byte.
  Bytes raw = {0xC4, 0x3F};
  raw.resize(65, 0xAB);
  const Bytes image = exact_copy(padded(raw, 66));
  std::vector<char> buf(4096, '\0');
  idprom_print_all_fields_to_buf(image.data(), 66, buf.data(), 4096);
  EXPECT_EQ(idprom::ImageView(image).listing(), std::string(buf.data()));
  EXPECT_GT(std::string(buf.data()).size(), 300U);
}

TEST(Hpp, DumpsMatchTheLibrarysStandardOutput) {
  for (const Bytes &raw : {Bytes{}, Bytes{0xFF}, Bytes{0xC1, 0x03, 'a', 'b', 'c'},
                           padded({0xC1, 0x03, 'a', 'b', 'c'}, 36), idprom::test::sample_image()}) {
    const Bytes image = exact_copy(raw);
    const auto n = static_cast<uint32_t>(image.size());
    const idprom::ImageView view(image);
    EXPECT_EQ(view.dump(), capture_stdout([&] { idprom_dump(image.data(), n); }));
    EXPECT_EQ(view.enhanced_dump(), capture_stdout([&] { idprom_enhanced_dump(image.data(), n); }));
  }
  const Bytes image = exact_copy(padded({0xC1, 0x03, 'a', 'b', 'c'}, 36));
  EXPECT_EQ(idprom::ImageView(image).dump(),
            "\n\t  0x00: c1 03 61 62 63 ff ff ff ff ff ff ff ff ff ff ff");
}

// Every byte an edit changes lies inside its dirty region; a failed edit
// changes nothing.
void expect_contained(const Bytes &before, const Bytes &after, const idprom::EditResult &r) {
  for (size_t i = 0; i < before.size(); ++i) {
    if (before[i] != after[i]) {
      EXPECT_TRUE(r.ok() && i >= r.offset && i < size_t{r.offset} + r.length) << "byte " << i;
    }
  }
}

TEST(Hpp, SetStoresBytesAsGiven) {
  struct Case {
    Bytes image;
    uint32_t type;
    Bytes value;
    std::optional<uint32_t> attribute;
    idprom::Status status;
    Bytes expected;
  };
  const Bytes blank = padded({}, 12);
  const std::vector<Case> cases = {
      // integer type appended: given big-endian, stored big-endian
      {blank, 0x43, {0x12, 0x34}, {}, IDPROM_OK, padded({0x43, 0x12, 0x34}, 12)},
      // integer type overwritten in place
      {padded({0x43, 0, 1}, 12), 0x43, {0xAB, 0xCD}, {}, IDPROM_OK, padded({0x43, 0xAB, 0xCD}, 12)},
      // extension-byte type: appended (type byte integer-valued) and overwritten (copied)
      {blank, 0x141, {0x12, 0x34}, {}, IDPROM_OK, padded({0x00, 0x41, 0x12, 0x34}, 12)},
      {padded({0x00, 0x41, 0, 1}, 12),
       0x141,
       {0x12, 0x34},
       {},
       IDPROM_OK,
       padded({0x00, 0x41, 0x12, 0x34}, 12)},
      // byte-string type copied
      {blank, 0x82, {0x73, 1, 0x2C, 5}, {}, IDPROM_OK, padded({0x82, 0x73, 1, 0x2C, 5}, 12)},
      // variable class: standard attribute (text for PID) or the one given
      {blank, 0xCB, {'a', 'b'}, {}, IDPROM_OK, padded({0xCB, 0x82, 'a', 'b'}, 12)},
      {blank, 0xCB, {'a', 'b'}, 0xC0U, IDPROM_OK, padded({0xCB, 0xC2, 'a', 'b'}, 12)},
      {blank, 0xF3, {1}, {}, IDPROM_OK, padded({0xF3, 0xC0, 0x01, 0x01}, 12)},
      // refusals
      {blank, 0x43, {1}, {}, IDPROM_ERR_LENGTH_MISMATCH, blank},
      {blank, 0xCB, {}, {}, IDPROM_ERR_INVALID_LENGTH, blank},
      {padded({}, 80), 0xCB, Bytes(64, 'x'), {}, IDPROM_ERR_INVALID_LENGTH, padded({}, 80)},
      {blank, 0xCB, Bytes(11, 'x'), {}, IDPROM_ERR_NO_ROOM, blank},
  };
  for (const Case &c : cases) {
    Bytes image = exact_copy(c.image);
    const idprom::EditResult r =
        idprom::ImageEditor(image).set(c.type, c.value, 1, true, c.attribute);
    EXPECT_EQ(r.status, c.status) << std::hex << c.type << " " << idprom::status_name(r.status);
    EXPECT_EQ(image, c.expected) << std::hex << c.type;
    expect_contained(c.image, image, r);
  }
}

TEST(Hpp, SetIntAndRemove) {
  Bytes image = exact_copy(padded({0x01, 0x05}, 10));
  idprom::ImageEditor editor(image);
  const idprom::EditResult a = editor.set_int(0x83, 0x12345678U);
  ASSERT_TRUE(a.ok());
  EXPECT_EQ(a.offset, 2);
  EXPECT_EQ(a.length, 6);
  EXPECT_EQ(image, padded({0x01, 0x05, 0x83, 0x12, 0x34, 0x56, 0x78}, 10));
  EXPECT_EQ(editor.view().get_int(0x83), 0x12345678U);
  const idprom::EditResult d = editor.remove(0x01);
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(image, padded({0x83, 0x12, 0x34, 0x56, 0x78}, 10));
  EXPECT_EQ(editor.remove(0x01).status, IDPROM_ERR_NOT_FOUND);
  EXPECT_EQ(editor.set_int(0x01, 9, 1, false).status, IDPROM_ERR_NOT_FOUND_NO_CREATE);
}

TEST(Hpp, StatusNames) {
  EXPECT_STREQ(idprom::status_name(IDPROM_OK), "IDPROM_OK");
  EXPECT_STREQ(idprom::status_name(IDPROM_ERR_LENGTH_MISMATCH), "IDPROM_ERR_LENGTH_MISMATCH");
  EXPECT_STREQ(idprom::status_name(IDPROM_ERR_IMAGE_TOO_LARGE), "IDPROM_ERR_IMAGE_TOO_LARGE");
  EXPECT_STREQ(idprom::status_name(IDPROM_ERR_IMAGE_TOO_LARGE + 1), "unknown status");
  EXPECT_STREQ(idprom::status_name(1), "unknown status");
}

TEST(Hpp, LengthWordsAndHeaders) {
  EXPECT_EQ(idprom::length_word(0xCB, 0x80, 18), 0x92U);
  EXPECT_EQ(idprom::length_word(0xF3, 0x80, 0x102), 0x8102U);
  EXPECT_EQ(idprom::length_word(0x43, 0x80, 7), 2U);
  EXPECT_EQ(idprom::header_size(0x2C5), 5U);  // two extension bytes, type, two length bytes
  EXPECT_EQ(idprom::standard_attribute(0xCB), 0x80U);
  EXPECT_EQ(idprom::standard_attribute(0xF4), 0xC0U);
  EXPECT_EQ(idprom::standard_attribute(0xC8), 0x00U);
}

}  // namespace
