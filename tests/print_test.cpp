// Field listings, the catalogue behind them, value renderers and dumps: the
// sample's golden listing, buffer sizes at every cut, instances, filters,
// the format-error line, and properties over every type byte.
#include <algorithm>
#include <string>

#include "print/catalogue.hpp"
#include "print/render.hpp"  // idprom_print_field_by_display_type
#include "test_util.hpp"

using namespace idprom::test;
using namespace idprom::print;

namespace {

const Bytes kSlots = {0x01, 0x02}, kSerial = {0xC1, 0x83, 'S', 'N', '1'}, kPid = {0xCB, 0x82, 'L', 'C'};
const Bytes kVendor = {0x07, 0x11}, kClei = {0xC6, 0x81, 'C'};

Bytes image_of(std::initializer_list<Bytes> entries, bool end_marker = true) {
  Bytes out;
  for (const Bytes &e : entries) out.insert(out.end(), e.begin(), e.end());
  if (end_marker) out.push_back(0xFF);
  return out;
}

// A listing into a buffer of '#': its text up to the zero byte, or
// "<untouched>" when no byte changed.
std::string listing(const Bytes &in, const idprom_filter *filter, uint32_t instance) {
  const Bytes image = exact_copy(in);
  std::string buf(16384, '#');
  idprom_print_filter_fields_instance(image.data(), static_cast<uint32_t>(image.size()), filter,
                                      instance, buf.data(), static_cast<uint32_t>(buf.size()));
  if (buf == std::string(16384, '#')) return "<untouched>";
  return buf.c_str();
}

// Into a buffer of every size: the text cut at size - 1 and a zero byte,
// nothing at or beyond size touched (16 guard bytes).
template <typename Fn>
void expect_cut_at_every_size(const std::string &full, Fn &&write, uint32_t first = 1) {
  for (uint32_t size = first; size <= full.size() + 2; ++size) {
    std::string buf(size + 16, '#');
    write(buf.data(), size);
    const size_t kept = std::min<size_t>(size - 1, full.size());
    ASSERT_EQ(buf, full.substr(0, kept) + '\0' + std::string(buf.size() - kept - 1, '#')) << size;
  }
}

// The sink behind every text: a piece is at most 79 characters; pieces are
// cut at the buffer's end like a whole listing.
TEST(Printer, PrintfPieces) {
  std::string buf(96, '#');
  uint32_t pos = 5;
  idprom_printf(buf.data(), &pos, 96, "%s", std::string(100, 'x').c_str());
  idprom_printf(buf.data(), &pos, 96, "|%d|", -7);
  EXPECT_EQ(pos, 5u + 79u + 4u);
  EXPECT_EQ(buf, "#####" + std::string(79, 'x') + "|-7|" + '\0' + "#######");
  expect_cut_at_every_size("abc-42", [](char *b, uint32_t size) {
    uint32_t p = 0;
    idprom_printf(b, &p, size, "abc");
    idprom_printf(b, &p, size, "%d", -42);
  });
}

TEST(Printer, SampleListing) {
  const Bytes image = exact_copy(sample_image());
  const auto n = static_cast<uint32_t>(image.size());
  const std::string golden = sample_listing();
  ASSERT_GT(golden.size(), 500u);
  EXPECT_EQ(listing(image, nullptr, 0), golden);
  EXPECT_EQ(capture_stdout([&] { idprom_print_all_fields(image.data(), n); }), golden);
  idprom_filter all{};  // include clear, empty list: everything
  EXPECT_EQ(capture_stdout([&] { idprom_print_filter_fields(image.data(), n, &all); }), golden);
  expect_cut_at_every_size(golden, [&](char *buf, uint32_t size) { idprom_print_all_fields_to_buf(image.data(), n, buf, size); });
  std::string zero(8, '#');
  idprom_print_all_fields_to_buf(image.data(), n, zero.data(), 0);
  EXPECT_EQ(zero, std::string(8, '#'));
}

TEST(Printer, NothingListedLeavesBufferUntouched) {
  idprom_filter none{};
  none.include = 1;  // include set, empty list
  EXPECT_EQ(listing({}, nullptr, 0), "<untouched>");
  EXPECT_EQ(listing({0xFF, 0x01, 0x02}, nullptr, 0), "<untouched>");
  EXPECT_EQ(listing(image_of({kSlots, kPid}), &none, 0), "<untouched>");
  EXPECT_EQ(listing(image_of({{0x0C, 1}, {0xD0, 0x01, 1}}), nullptr, 0), "<untouched>");  // silent rows
  EXPECT_EQ(listing(image_of({kSlots}), nullptr, 256), "<untouched>");
}

// Counters go by first header byte (extension-byte codes share counter 0)
// and are 8 bits; with instance n only the n-th of each is listed.
TEST(Printer, Instances) {
  const Bytes image = image_of({{0x88, 0, 0, 0, 5}, kSlots, {0x88, 0, 0, 0, 6}, {0x00, 0x01, 0x2A}, {0x01, 0x09}});
  EXPECT_EQ(listing(image, nullptr, 0),
            "\n    Deviation Number # 1     : 5\n    Number of Slots          : 2"
            "\n    Deviation Number # 2     : 6\n    Unknown Field (type 0101): 2a "
            "\n    Number of Slots          : 9");
  EXPECT_EQ(listing(image, nullptr, 2), "\n    Deviation Number # 2     : 6\n    Number of Slots          : 9");
  Bytes many;
  for (int k = 1; k <= 257; ++k) many.insert(many.end(), {0x88, 0, 0, 0, static_cast<uint8_t>(k == 257)});
  many.push_back(0xFF);
  EXPECT_EQ(listing(many, nullptr, 1), "\n    Deviation Number # 1     : 0\n    Deviation Number # 1     : 1");
  EXPECT_NE(listing(many, nullptr, 0).find("#255     : 0\n    Deviation Number # 0     : 0\n"), std::string::npos);
}

TEST(Printer, Filters) {
  const Bytes image = image_of({kSlots, kVendor, kSerial, kPid, kClei});
  const auto yes = [](const uint8_t *, uint32_t, uint32_t, uint32_t, const uint8_t *) { return true; };
  const auto no = [](const uint8_t *, uint32_t, uint32_t, uint32_t, const uint8_t *) { return false; };
  const char *const slots = "\n    Number of Slots          : 2", *const vendor = "\n    Vendor ID                : 11 ";
  const char *const serial = "\n    PCB Serial Number        : SN1", *const pid = "\n    PID                      : LC";
  const char *const clei = "\n    CLEI Code                : C";
  const struct {
    uint8_t include;
    idprom_filter_fn callback;
    Bytes types;
    std::string text;
  } cases[] = {
      {1, nullptr, {0xCB, 0x01}, std::string(slots) + pid},         // only the listed types
      {0, nullptr, {0x01, 0x07}, std::string(serial) + pid + clei},  // all but the listed
      {1, no, {0xC1}, "<untouched>"},                                // the callback decides
      {1, yes, {0xC1}, serial},
      {0, no, {0xC1, 0x01}, std::string(vendor) + pid + clei},       // listed types case by case
      {1, nullptr, {0xC6, 0x00, 0xCB}, clei},                        // the list ends at its first 0
      {1, nullptr, {0x01, 0x01}, slots},
  };
  for (const auto &c : cases) {
    idprom_filter filter{};
    filter.include = c.include;
    filter.callback = c.callback;
    std::copy(c.types.begin(), c.types.end(), filter.types);
    EXPECT_EQ(listing(image, &filter, 0), c.text) << testing::PrintToString(c.types);
  }
  auto full = std::make_unique<idprom_filter>();  // no 0 in the list: it ends at the array's end
  full->include = 1;
  std::fill(std::begin(full->types), std::end(full->types), 0xC6);
  EXPECT_EQ(listing(image, full.get(), 0), clei);
  EXPECT_EQ(listing(image_of({{0x00, 0x01, 0x2A}, kSlots}), full.get(), 0), "<untouched>");
}

// One ECI form is shown: the text 0xEB when it holds something, else the number 0x8E.
TEST(Printer, EciShownOnce) {
  const Bytes number = {0x8E, 0, 0, 0, 0x2A}, text = {0xEB, 0x82, '4', '2'}, empty = {0xEB, 0x82, 0, 0};
  const std::string eci = "\n    ECI Number               : 42";
  for (const Bytes &image : {image_of({number, text}), image_of({text, number}), image_of({number}),
                             image_of({text}), image_of({number, empty}), image_of({empty, number})})
    EXPECT_EQ(listing(image, nullptr, 0), eci) << testing::PrintToString(image);
  EXPECT_EQ(listing(image_of({{0x00, 0x01, 0x05}, number, text}), nullptr, 0),  // first byte an extension byte
            "\n    Unknown Field (type 0101): 05 " + eci);
}

// A malformed entry ends the listing with a line on standard output naming
// its offset; the buffer keeps the entries before it.
TEST(Printer, FormatErrorLine) {
  const Bytes bad = image_of({kSlots, kPid, {0xC1, 0x05, 'a', 'b'}}, false);
  std::string text;
  EXPECT_EQ(capture_stdout([&] { text = listing(bad, nullptr, 0); }), "\n\tIDPROM FIELD FORMAT ERROR, index 0x6");
  EXPECT_EQ(text, std::string("\n    Number of Slots          : 2\n    PID                      : LC"));
  EXPECT_EQ(capture_stdout([&] { text = listing({0x00, 0x00}, nullptr, 0); }), "\n\tIDPROM FIELD FORMAT ERROR, index 0x0");
  EXPECT_EQ(text, "<untouched>");
  Bytes long_image(300, 0x01);  // 150 entries, then a length of 0
  long_image.insert(long_image.end(), {0xC1, 0x00, 0xFF});
  EXPECT_EQ(capture_stdout([&] { listing(long_image, nullptr, 7); }), "\n\tIDPROM FIELD FORMAT ERROR, index 0x12c");
}

// No catalogue row reads past its value (exactly sized, under
// AddressSanitizer), whatever the type byte, length and bytes; the position
// always counts the text; a value shorter than its row is shown as the label
// and its bytes in hex.
TEST(Catalogue, NoRowReadsPastItsValue) {
  uint64_t digest = 14695981039346656037ULL;  // FNV-1a over every text
  for (uint32_t type = 0x01; type <= 0xFE; ++type)
    for (uint32_t length = 1; length <= 20; ++length)
      for (const uint8_t fill : Bytes{0x00, 0x01, 0x02, 0x41, 0xFF}) {
        Bytes value(length, fill);
        value[0] = static_cast<uint8_t>(length * 37);
        value = exact_copy(value);
        uint8_t counters[256] = {};
        char buf[2048] = {};
        uint32_t pos = 0;
        idprom_print_entry(value.data(), type, length, fill & 0xC0U, buf, &pos, sizeof buf, counters);
        ASSERT_EQ(pos, std::string(buf).size()) << std::hex << type;
        for (const char c : std::string(buf)) digest = (digest ^ static_cast<uint8_t>(c)) * 1099511628211ULL;
      }
  // The rows' texts are what users read and scripts parse: a change to any
  // label, field layout or writer changes this digest.
  EXPECT_EQ(digest, 0xea2974c689ef2d44ULL) << std::hex << digest;
  Bytes mac = {0xCF, 0x03, 0x00, 0x1A, 0x2B};  // short value at the image's very end
  EXPECT_EQ(listing(mac, nullptr, 0), "\n    Base MAC Address         : 00 1a 2b ");
  EXPECT_EQ(listing(image_of({{0xC8, 0x05, 0x01, 0x02, 0x01, 0x12, 0x34}}), nullptr, 0),
            "\n    Calibration Data         : Minimum: 1 dBmV, Maximum: 2 dBmV\n\t  Calibration values : 0x1234 ");
  EXPECT_EQ(listing(image_of({{0x00, 0x00, 0xC5, 0x80, 0x03, 'x', 'y', 'z'}, {0xE0, 0x44, 0xFF, 0xFF, 0xFF, 0xFF}}), nullptr, 0),
            "\n    Unknown Field (type 02c5): xyz\n    Unknown Field (type 00e0): -1");
}

// One entry per catalogue writer that does more than render its value.
TEST(Catalogue, Writers) {
  const struct {
    Bytes entry;
    const char *text;
  } cases[] = {
      {{0x0B, 0x00}, "\n    Power Supply Type        : AC"},
      {{0x0B, 0x7F}, "\n    Power Supply Type        : DC"},
      {{0x44, 0xDA, 0x50}, "\n    Capabilities             : da50\n    Chassis Capability       : Dual Router"},
      {{0xC0, 0x46, 0x03, 0x20, 0x01, 0x23, 0x45, 0x07}, "\n    Top Assy. Part Number    : 800-74565-07"},
      {{0xC0, 0x07, 0x00, 0x49, 0x01, 0x86, 0xA0, 0x01, 0xEE}, "\n    Top Assy. Part Number    : 073-100000-01"},
      {{0xC3, 0x06, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A}, "\n    Chassis MAC Address      : 0012.3456.789a"},
      {{0xC7, 0x09, 255, 0, 1, 2, 3, 4, 5, 6, 7}, "\n    ENVMON Information       : 255 0 1 2 3 4 5 6 \n\t                           7 "},
      {{0xC8, 0x11, 0xF6, 0x1E, 0x07, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7},
       "\n    Calibration Data         : Minimum: -10 dBmV, Maximum: 30 dBmV"
       "\n\t  Calibration values : 0x0001 0x0002 0x0003 0x0004 0x0005 0x0006 \n\t                       0x0007 "},
      {{0xD6, 0x04, 0x01, 0x90, 0x00, 0x64}, "\n    System Clock Freq (CPU)  : 01 90 \n    System Clock Freq (Bus)  : 00 64 "},
      {{0xD7, 0x44, 0xFF, 0xFF, 0xFF, 0xFF}, "\n    Power Consumption        : 42949672 Watts (Maximum)"},
      {{0xE2, 0x06, 0x00, 0x73, 0x00, 0x01, 0x2C, 0x05}, "\n    PCA Number               : 115-000300-05"},
  };
  for (const auto &c : cases) EXPECT_EQ(listing(image_of({c.entry}), nullptr, 0), c.text) << testing::PrintToString(c.entry);
}

// The basic filter's callback agrees with its own type list, and lists
// nothing with extension bytes.
TEST(Catalogue, BasicFilterAgreesWithItsList) {
  const uint8_t *const types = idprom_basic_filter.types, *const end = std::find(types, types + 256, 0);
  for (uint32_t type = 0; type < 0x300; ++type)
    EXPECT_EQ(idprom_print_basic_fields(nullptr, type, 0, 0, nullptr), type <= 0xFF && std::find(types, end, type) != end) << type;
  EXPECT_EQ(listing(image_of({kSlots, kPid, {0x44, 0xDA, 0x50}}), &idprom_basic_filter, 0),
            "\n    PID                      : LC\n    Capabilities             : da50\n    Chassis Capability       : Dual Router");
  // The sample's basic listing: its golden listing less six lines.
  std::string golden = sample_listing(), expected;
  golden.pop_back();  // the file's final newline
  for (const char *left_out : {"IDPROM Format Revision", "Hardware Revision", "Deviation Number",
                               "Base MAC Address", "MAC Addr. Block Size", "Power Consumption"}) {
    const size_t at = golden.find(std::string("\n    ") + left_out);
    ASSERT_NE(at, std::string::npos) << left_out;
    golden.erase(at, golden.find('\n', at + 1) - at);
  }
  EXPECT_EQ(listing(exact_copy(sample_image()), &idprom_basic_filter, 0), golden);
}

// One case per renderer and display attribute.
TEST(Render, Texts) {
  using Fn = void (*)(const uint8_t *, uint32_t, uint32_t, char *, uint32_t *, uint32_t);
  const Fn value = idprom_print_by_display_type, field = idprom_print_field_by_display_type;
  const struct {
    Fn fn;
    uint32_t attribute;
    Bytes in;
    const char *text;
  } cases[] = {
      {value, 0x00, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, "00 01 02 03 04 05 06 07 \n\t                           08 09 "},
      {value, 0x80, {0x20, '%', 's', 0x7F, 0xFF, 0x0A, 0x00, 'A'}, " %s<7f><ff><0a>"},  // stops at 0
      {value, 0x40, {0xFF, 0xFF}, "65535"},
      {value, 0x40, {0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
      {value, 0x40, {1, 2, 3}, "1.2.3"},
      {field, 0x40, {0x0A, 0x01, 0x02, 0x03}, "10.1.2.3"},
      {field, 0x40, {0, 0, 1, 0, 9, 9, 9, 9}, "256"},
  };
  for (const auto &c : cases) {
    const Bytes in = exact_copy(c.in);
    char buf[256] = {};
    uint32_t pos = 0;
    c.fn(in.data(), c.attribute, static_cast<uint32_t>(in.size()), buf, &pos, sizeof buf);
    EXPECT_EQ(buf, std::string(c.text));
    EXPECT_EQ(pos, std::string(buf).size());
  }
}

TEST(Dump, Layouts) {
  const Bytes image = exact_copy(padded({0xC1, 0x03, 0x61, 0x62, 0x63}, 36));  // marker in the first row
  EXPECT_EQ(capture_stdout([&] { idprom_dump(image.data(), 36); }),
            "\n\t  0x00: c1 03 61 62 63 ff ff ff ff ff ff ff ff ff ff ff");
  const Bytes to_end = exact_copy({0xC3, 0x00, 0xFF, 0xFF});  // malformed: the whole image
  EXPECT_EQ(capture_stdout([&] { idprom_dump(to_end.data(), 4); }), "\n\t  0x00: c3 00 ff ff");
  Bytes data(20);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0x41 + i);
  data[0] = 0x1F, data[1] = 0x7F, data[2] = 0x7E, data[3] = 0x20;  // the printable range's edges
  const std::string rows =
      "  000: 1F 7F 7E 20 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50    ..~ EFGHIJKLMNOP\n"
      "  010: 51 52 53 54                                        QRST\n";
  EXPECT_EQ(capture_stdout([&] { idprom_enhanced_dump(data.data(), 20); }), rows);
  expect_cut_at_every_size("\n" + rows, [&](char *buf, uint32_t size) { idprom_enhanced_dump_to_buf(data.data(), 20, buf, size); }, 2);
  std::string one(4, '#');  // size 1 holds the newline alone, no zero byte
  idprom_enhanced_dump_to_buf(data.data(), 20, one.data(), 1);
  EXPECT_EQ(one, "\n###");
  const Bytes wraps(65521, 0x41);  // (65521 + 15) & 0xFFF0 wraps to 0: nothing
  EXPECT_EQ(capture_stdout([&] { idprom_enhanced_dump(wraps.data(), 65521); }), "");
  Bytes big(0x1010, 0x5A);  // four-digit offsets from 0x1000
  const std::string text = capture_stdout([&] { idprom_enhanced_dump(big.data(), 0x1010); });
  EXPECT_EQ(text.substr(text.size() - 76), "  1000: 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A 5A    ZZZZZZZZZZZZZZZZ\n");
}

}  // namespace
