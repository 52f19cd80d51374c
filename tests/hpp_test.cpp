#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ranges>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "idprom.hpp"
#include "stdout_capture.hpp"
#include "test_util.hpp"

using idprom::test::Bytes;
using idprom::test::capture_stdout;
using idprom::test::exact_copy;
using idprom::test::padded;

namespace {

using Seen = std::tuple<uint32_t, uint32_t, uint32_t, uint32_t, Bytes>;  // offset, type, ...

TEST(Hpp, IteratesEntriesWithOffsetsAndValues) {
  // slots, an extension-byte entry 0x1C5 (two-byte length field), a text field
  const Bytes image = exact_copy(
      padded({0x01, 0x05, 0x00, 0xC5, 0x80, 0x02, 'h', 'i', 0xC1, 0x83, 'a', 'b', 'c', 0xFF}, 16));
  std::vector<Seen> seen;
  for (const idprom::Entry &e : idprom::ImageView(image))
    seen.push_back({e.offset, e.type, e.length, e.attribute, Bytes(e.value.begin(), e.value.end())});
  const std::vector<Seen> expected = {
      {0, 0x01, 1, 0x00, {0x05}}, {2, 0x1C5, 2, 0x80, {'h', 'i'}}, {8, 0xC1, 3, 0x80, {'a', 'b', 'c'}}};
  EXPECT_EQ(seen, expected);
  // A borrowed view: an iterator found in a temporary view stays usable.
  static_assert(std::ranges::view<idprom::ImageView> &&
                std::ranges::borrowed_range<idprom::ImageView>);
  const auto is_text = [](const idprom::Entry &e) { return e.attribute == 0x80; };
  EXPECT_EQ(std::ranges::find_if(idprom::ImageView(image), is_text)->offset, 2U);
  EXPECT_EQ(std::ranges::count_if(idprom::ImageView(image), is_text), 2);
}

// Where a walk stops, and why the entry there does not decode.
TEST(Hpp, LayoutAndDiagnosisAtTheEdges) {
  struct Case {
    Bytes image;
    uint32_t entries, used;
    std::optional<uint32_t> marker, malformed;
    uint32_t type;  // of the problem
    std::string reason;
  };
  const std::vector<Case> cases = {
      {{}, 0, 0, {}, {}, 0, ""},                              // empty
      {{0xFF, 0xFF}, 0, 0, 0U, {}, 0, ""},                    // blank
      {{0x01, 0x05, 0x43, 0x00, 0x01}, 2, 5, {}, {}, 0, ""},  // fills the image
      {{0x01, 0x05, 0xC3, 0x00, 0xFF}, 1, 2, {}, 2U, 0xC3,
       "length 0 (a variable-length field holds at least one byte)"},
      {{0x01, 0x05, 0x43, 0x00}, 1, 2, {}, 2U, 0x43,
       "its 2-byte value runs past the image's end (1 left)"},
      {{0x00, 0x00}, 0, 0, {}, 0U, 0x200, "extension bytes (0x00) run to the image's end"},
      {{0x01, 0x05, 0x00, 0xC3, 0x80}, 1, 2, {}, 2U, 0x1C3,  // a two-byte length field
       "its length field is cut off by the image's end"},
      {{0xF3, 0x00, 0x05, 0x01, 0x02}, 0, 0, {}, 0U, 0xF3,
       "its 5-byte value runs past the image's end (2 left)"},
  };
  for (const Case &c : cases) {
    const Bytes image = exact_copy(c.image);
    const idprom::Layout l = idprom::ImageView(image).layout();
    const auto p = idprom::ImageView(image).problem();
    SCOPED_TRACE(testing::PrintToString(c.image));
    EXPECT_EQ(std::tie(l.entries, l.used, l.end_marker, l.malformed_at),
              std::tie(c.entries, c.used, c.marker, c.malformed));
    EXPECT_EQ(p ? std::optional(p->offset) : std::nullopt, c.malformed);
    EXPECT_EQ(p ? p->type : 0, c.type);
    EXPECT_EQ(p ? p->reason() : "", c.reason);
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
  EXPECT_EQ(view.find(0x88, 2).value_or(idprom::Entry{}).offset, 13U);
  EXPECT_FALSE(view.find(0x88, 0));
}

TEST(Hpp, ListingsAreTheLibrarysUncutAndStopBeforeAMalformedEntry) {
  const Bytes image =
      exact_copy(padded({0x88, 0, 0, 0, 7, 0x88, 0, 0, 0, 5, 0xCB, 0x82, 'L', 'C'}, 20));
  const idprom::ImageView view(image);
  EXPECT_EQ(view.listing(),
            "\n    Deviation Number # 1     : 7"
            "\n    Deviation Number # 2     : 5"
            "\n    PID                      : LC");
  EXPECT_EQ(view.listing(1), "\n    Deviation Number # 1     : 7\n    PID                      : LC");
  // One entry listed by itself: its own number is then 1.
  EXPECT_EQ(view.entry_text(*view.find(0x88, 2)), "\n    Deviation Number # 1     : 5");
  EXPECT_EQ(view.basic_listing(), "\n    PID                      : LC");

  Bytes raw = {0xC4, 0x3F};  // 63 hex bytes: about six characters a byte
  raw.resize(65, 0xAB);
  const Bytes hex = exact_copy(padded(raw, 66));
  std::vector<char> buf(4096, '\0');
  idprom_print_all_fields_to_buf(hex.data(), 66, buf.data(), 4096);
  EXPECT_EQ(idprom::ImageView(hex).listing(), std::string(buf.data()));

  const Bytes bad = exact_copy({0x01, 0x05, 0xC3, 0x00, 0xFF});
  std::string listing;
  EXPECT_EQ(capture_stdout([&] { listing = idprom::ImageView(bad).listing(); }), "");
  EXPECT_EQ(listing, "\n    Number of Slots          : 5");
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
}

TEST(Hpp, SetStoresBytesAsGiven) {
  struct Case {
    Bytes image;
    uint32_t type;
    Bytes value;
    std::optional<uint32_t> from;  // take the value from the image at this offset
    std::optional<uint32_t> attribute;
    idprom::Status status;
    Bytes expected;
  };
  const Bytes blank = padded({}, 12);
  // Values taken from here may be moved or written over by the edit.
  const Bytes texts = {0xC1, 0x83, 'a', 'b', 'c', 0xC2, 0x83, 'x', 'y', 'z', 0xC3, 0x83,
                       'j',  'k',  'l', 0xFF, 'p', 'q', 'r', 's'};
  const std::vector<Case> cases = {
      // integer type appended and overwritten: given big-endian, stored big-endian
      {blank, 0x43, {0x12, 0x34}, {}, {}, IDPROM_OK, padded({0x43, 0x12, 0x34}, 12)},
      {padded({0x43, 0, 1}, 12), 0x43, {0xAB, 0xCD}, {}, {}, IDPROM_OK, padded({0x43, 0xAB, 0xCD}, 12)},
      // extension-byte type: appended (type byte integer-valued) and overwritten (copied)
      {blank, 0x141, {0x12, 0x34}, {}, {}, IDPROM_OK, padded({0x00, 0x41, 0x12, 0x34}, 12)},
      {padded({0x00, 0x41, 0, 1}, 12), 0x141, {0x12, 0x34}, {}, {}, IDPROM_OK,
       padded({0x00, 0x41, 0x12, 0x34}, 12)},
      // byte-string type copied
      {blank, 0x82, {0x73, 1, 0x2C, 5}, {}, {}, IDPROM_OK, padded({0x82, 0x73, 1, 0x2C, 5}, 12)},
      // variable class: standard attribute (text for PID) or the one given
      {blank, 0xCB, {'a', 'b'}, {}, {}, IDPROM_OK, padded({0xCB, 0x82, 'a', 'b'}, 12)},
      {blank, 0xCB, {'a', 'b'}, {}, 0xC0U, IDPROM_OK, padded({0xCB, 0xC2, 'a', 'b'}, 12)},
      {blank, 0xF3, {1}, {}, {}, IDPROM_OK, padded({0xF3, 0xC0, 0x01, 0x01}, 12)},
      // refusals
      {blank, 0x43, {1}, {}, {}, IDPROM_ERR_LENGTH_MISMATCH, blank},
      {blank, 0xCB, {}, {}, {}, IDPROM_ERR_INVALID_LENGTH, blank},
      {padded({}, 80), 0xCB, Bytes(64, 'x'), {}, {}, IDPROM_ERR_INVALID_LENGTH, padded({}, 80)},
      {blank, 0xCB, Bytes(11, 'x'), {}, {}, IDPROM_ERR_NO_ROOM, blank},
      // values from the image: resize (C1 grows, and "xyz" moves with C2) ...
      {texts, 0xC1, Bytes(4), 6U, {}, IDPROM_OK,
       padded({0xC1, 0x84, 0x83, 'x', 'y', 'z', 0xC2, 0x83, 'x', 'y', 'z', 0xC3, 0x83, 'j', 'k',
               'l'}, 20)},
      // ... a growth whose value starts in its own header and ends after the marker ...
      {texts, 0xC3, Bytes(7), 10U, 0x80U, IDPROM_OK,
       {0xC1, 0x83, 'a', 'b', 'c', 0xC2, 0x83, 'x', 'y', 'z', 0xC3, 0x87, 0xC3, 0x83, 'j', 'k',
        'l', 0xFF, 'p', 0xFF}},
      // ... overwrite from bytes that overlap the value ...
      {texts, 0xC3, Bytes(3), 11U, {}, IDPROM_OK,
       {0xC1, 0x83, 'a', 'b', 'c', 0xC2, 0x83, 'x', 'y', 'z', 0xC3, 0x83, 0x83, 'j', 'k', 0xFF,
        'p', 'q', 'r', 's'}},
      // ... and append over the bytes after the end marker that hold it
      {texts, 0xC4, Bytes(2), 16U, {}, IDPROM_OK,
       {0xC1, 0x83, 'a', 'b', 'c', 0xC2, 0x83, 'x', 'y', 'z', 0xC3, 0x83, 'j', 'k', 'l', 0xC4,
        0x02, 'p', 'q', 0xFF}},
  };
  for (const Case &c : cases) {
    Bytes image = exact_copy(c.image);
    const auto value = c.from ? std::span<const uint8_t>(image).subspan(*c.from, c.value.size())
                              : std::span<const uint8_t>(c.value);
    const idprom::EditResult r = idprom::ImageEditor(image).set(c.type, value, 1, true, c.attribute);
    EXPECT_STREQ(idprom::status_name(r.status), idprom::status_name(c.status)) << std::hex << c.type;
    EXPECT_EQ(image, c.expected) << std::hex << c.type;
    // Every changed byte lies inside the dirty region; a failed edit changes nothing.
    for (size_t i = 0; i < image.size(); ++i) {
      if (image[i] != c.image[i]) {
        EXPECT_TRUE(r.ok() && i >= r.offset && i < size_t{r.offset} + r.length) << "byte " << i;
      }
    }
  }
}

TEST(Hpp, SetIntAndRemove) {
  Bytes image = exact_copy(padded({0x01, 0x05}, 10));
  idprom::ImageEditor editor(image);
  const idprom::EditResult a = editor.set_int(0x83, 0x12345678U);
  EXPECT_EQ(std::tie(a.status, a.offset, a.length), std::tuple(IDPROM_OK, 2, 6));
  EXPECT_EQ(image, padded({0x01, 0x05, 0x83, 0x12, 0x34, 0x56, 0x78}, 10));
  ASSERT_TRUE(editor.remove(0x01).ok());
  EXPECT_EQ(image, padded({0x83, 0x12, 0x34, 0x56, 0x78}, 10));
  EXPECT_STREQ(idprom::status_name(editor.remove(0x01).status), "IDPROM_ERR_NOT_FOUND");
  EXPECT_EQ(editor.set_int(0x01, 9, 1, false).status, IDPROM_ERR_NOT_FOUND_NO_CREATE);
  EXPECT_STREQ(idprom::status_name(IDPROM_ERR_IMAGE_TOO_LARGE + 1), "unknown status");
}

}  // namespace
