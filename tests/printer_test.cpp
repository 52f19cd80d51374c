// Field printer: whole listings, instance counting and selection, filters,
// the ECI suppression, the format-error line, and the buffer contract.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "idprom.h"
#include "stdout_capture.hpp"
#include "test_util.hpp"

using idprom::test::Bytes;
using idprom::test::exact_copy;
using idprom::test::sample_image;
using idprom::test::capture_stdout;

namespace {

// The sample image's listing, as the catalogue lays it out.
const char kSampleListing[] =
    "\n    IDPROM Format Revision   : 4"
    "\n    Controller Type          : 052c"
    "\n    Hardware Revision        : 1.0"
    "\n    PCB Serial Number        : SN000000001"
    "\n    PCA Number               : 100-0001-01"
    "\n    PCA Revision             : A0"
    "\n    Deviation Number # 1     : 0"
    "\n    Top Assy. Part Number    : 100-0002-01"
    "\n    Top Assy. Revision       : B0"
    "\n    CLEI Code                : CLEI000001"
    "\n    PID                      : LC-TEST-01"
    "\n    Version Identifier       : V01"
    "\n    Chassis Serial Number    : SN000000002"
    "\n    Base MAC Address         : 0200.0000.0100"
    "\n    MAC Addr. Block Size     : 64"
    "\n    ECI Number               : 123456"
    "\n    UDI Description          : 48-port 10/100/1000 Ethernet line card"
    "\n    Power Consumption        : 40 Watts (Maximum)";

// The entries joined, closed by the end marker.
Bytes image_of(std::initializer_list<Bytes> entries, bool end_marker = true) {
  Bytes out;
  for (const Bytes &e : entries) out.insert(out.end(), e.begin(), e.end());
  if (end_marker) out.push_back(0xFF);
  return out;
}

// A listing into a buffer pre-filled with '#'.  Returns the buffer's text
// up to its first zero byte, or "<untouched>" when no byte changed.
std::string listing(const Bytes &in, const idprom_filter *filter, uint32_t instance) {
  const Bytes image = exact_copy(in);
  std::vector<char> buf(16384, '#');
  idprom_print_filter_fields_instance(image.data(), static_cast<uint32_t>(image.size()), filter,
                                      instance, buf.data(), static_cast<uint32_t>(buf.size()));
  if (std::all_of(buf.begin(), buf.end(), [](char c) { return c == '#'; })) return "<untouched>";
  return buf.data();
}

const Bytes kSlots = {0x01, 0x02};               // Number of Slots: 2
const Bytes kVendor = {0x07, 0x11};              // Vendor ID: 11
const Bytes kSerial = {0xC1, 0x83, 'S', 'N', '1'};  // PCB Serial Number: SN1
const Bytes kPid = {0xCB, 0x82, 'L', 'C'};          // PID: LC
const Bytes kClei = {0xC6, 0x81, 'C'};              // CLEI Code: C

TEST(Printer, SampleListing) {
  const Bytes image = sample_image();
  std::vector<char> buf(1024, '#');
  idprom_print_all_fields_to_buf(image.data(), static_cast<uint32_t>(image.size()), buf.data(),
                                 static_cast<uint32_t>(buf.size()));
  EXPECT_STREQ(buf.data(), kSampleListing);

  EXPECT_EQ(capture_stdout([&] {
              idprom_print_all_fields(image.data(), static_cast<uint32_t>(image.size()));
            }),
            kSampleListing);
}

TEST(Printer, SampleBasicFields) {
  const Bytes image = sample_image();
  std::vector<char> buf(1024, '#');
  idprom_print_basic_fields_to_buf(image.data(), static_cast<uint32_t>(image.size()), buf.data(),
                                   static_cast<uint32_t>(buf.size()));
  EXPECT_STREQ(buf.data(),
               "\n    Controller Type          : 052c"
               "\n    PCB Serial Number        : SN000000001"
               "\n    PCA Number               : 100-0001-01"
               "\n    PCA Revision             : A0"
               "\n    Top Assy. Part Number    : 100-0002-01"
               "\n    Top Assy. Revision       : B0"
               "\n    CLEI Code                : CLEI000001"
               "\n    PID                      : LC-TEST-01"
               "\n    Version Identifier       : V01"
               "\n    Chassis Serial Number    : SN000000002"
               "\n    ECI Number               : 123456"
               "\n    UDI Description          : 48-port 10/100/1000 Ethernet line card");
}

// Every buffer size cuts the same text: the buffer holds the listing cut at
// size - 1 and a zero byte, and nothing at or beyond size is touched.
TEST(Printer, TruncationAtEverySize) {
  const Bytes image = exact_copy(sample_image());
  const std::string full = kSampleListing;
  constexpr size_t kGuard = 16;
  for (uint32_t size = 0; size <= full.size() + 2; ++size) {
    std::vector<char> buf(size + kGuard, '#');
    idprom_print_all_fields_to_buf(image.data(), static_cast<uint32_t>(image.size()), buf.data(),
                                   size);
    if (size == 0) {
      EXPECT_EQ(std::string(buf.begin(), buf.end()), std::string(kGuard, '#'));
      continue;
    }
    const size_t kept = std::min<size_t>(size - 1, full.size());
    EXPECT_EQ(std::string(buf.data(), kept), full.substr(0, kept)) << "size " << size;
    EXPECT_EQ(buf[kept], '\0') << "size " << size;
    EXPECT_EQ(std::string(buf.begin() + static_cast<long>(kept) + 1, buf.end()),
              std::string(buf.size() - kept - 1, '#'))
        << "size " << size;
  }
}

TEST(Printer, NothingListedLeavesBufferUntouched) {
  idprom_filter none{};
  none.include = 1;  // include set, empty list: nothing
  const Bytes only_hidden = image_of({{0x8E, 0, 0, 0, 7}, {0xEB, 0x81, '7'}, {0x0C, 1}});
  // reads only the 0xEB (shown) when ECI is filtered to 0x8E
  idprom_filter numeric_eci{};
  numeric_eci.include = 1;
  numeric_eci.types[0] = 0x8E;
  EXPECT_EQ(listing({}, nullptr, 0), "<untouched>");
  EXPECT_EQ(listing({0xFF, 0x01, 0x02}, nullptr, 0), "<untouched>");
  EXPECT_EQ(listing(image_of({kSlots, kPid}), &none, 0), "<untouched>");
  EXPECT_EQ(listing(only_hidden, &numeric_eci, 0), "<untouched>");  // 0x8E is the hidden form
  EXPECT_EQ(listing(image_of({{0x0C, 1}, {0xD0, 0x01, 1}}), nullptr, 0), "<untouched>");  // silent
  EXPECT_EQ(listing(image_of({kSlots, kSlots}), nullptr, 3), "<untouched>");  // no 3rd instance
  EXPECT_EQ(listing(image_of({kSlots}), nullptr, 256), "<untouched>");
}

TEST(Printer, ImageWithoutEndMarkerIsListedToItsEnd) {
  EXPECT_EQ(listing(image_of({kSlots, kPid}, false), nullptr, 0),
            "\n    Number of Slots          : 2"
            "\n    PID                      : LC");
}

// A short value at the very end of an exactly sized image (no end marker):
// listed as label and bytes, nothing read past the image.
TEST(Printer, ShortValueAtImageEnd) {
  EXPECT_EQ(listing(image_of({kSlots, {0xCF, 0x03, 0x00, 0x1A, 0x2B}}, false), nullptr, 0),
            "\n    Number of Slots          : 2\n    Base MAC Address         : 00 1a 2b ");
  EXPECT_EQ(listing(image_of({{0xC8, 0x04, 0xF6, 0x1E, 0x02, 0x00}}, false), nullptr, 0),
            "\n    Calibration Data         : f6 1e 02 00 ");
}

// Counters go by first header byte; with instance n only the n-th of each
// type is listed, and the Deviation Number counter shows the entry's rank.
TEST(Printer, InstanceSelection) {
  const Bytes image = image_of({{0x88, 0, 0, 0, 5}, kSlots, {0x88, 0, 0, 0, 6},
                                {0x88, 0, 0, 0, 7}, {0x01, 0x09}});
  EXPECT_EQ(listing(image, nullptr, 0),
            "\n    Deviation Number # 1     : 5"
            "\n    Number of Slots          : 2"
            "\n    Deviation Number # 2     : 6"
            "\n    Deviation Number # 3     : 7"
            "\n    Number of Slots          : 9");
  EXPECT_EQ(listing(image, nullptr, 1),
            "\n    Deviation Number # 1     : 5"
            "\n    Number of Slots          : 2");
  EXPECT_EQ(listing(image, nullptr, 2),
            "\n    Deviation Number # 2     : 6"
            "\n    Number of Slots          : 9");
  EXPECT_EQ(listing(image, nullptr, 3), "\n    Deviation Number # 3     : 7");

  // The counter counts entries the filter left out, too.
  idprom_filter no_first{};
  no_first.callback = [](const uint8_t *value, uint32_t, uint32_t, uint32_t, const uint8_t *) {
    return value[3] != 5;
  };
  no_first.types[0] = 0x88;
  EXPECT_EQ(listing(image, &no_first, 0),
            "\n    Number of Slots          : 2"
            "\n    Deviation Number # 2     : 6"
            "\n    Deviation Number # 3     : 7"
            "\n    Number of Slots          : 9");
}

TEST(Printer, ExtensionByteTypesShareCounterZero) {
  const Bytes image = image_of({{0x00, 0x01, 0x2A}, kSlots, {0x00, 0x00, 0x02, 0x2B},
                                {0x00, 0xC5, 0x80, 0x01, 'x'}});
  EXPECT_EQ(listing(image, nullptr, 1),
            "\n    Unknown Field (type 0101): 2a "
            "\n    Number of Slots          : 2");
  EXPECT_EQ(listing(image, nullptr, 2), "\n    Unknown Field (type 0202): 2b ");
  EXPECT_EQ(listing(image, nullptr, 3), "\n    Unknown Field (type 01c5): x");
}

// Counters are 8 bits: the 257th entry of a type is instance 1 again, and
// the 256th Deviation Number shows 0.
TEST(Printer, CountersWrapAt256) {
  Bytes image;
  for (int k = 1; k <= 257; ++k) {
    image.insert(image.end(), {0x01, static_cast<uint8_t>(k == 257 ? 99 : 7)});
  }
  image.push_back(0xFF);
  EXPECT_EQ(listing(image, nullptr, 1),
            "\n    Number of Slots          : 7"
            "\n    Number of Slots          : 99");

  Bytes deviations;
  for (int k = 1; k <= 256; ++k) deviations.insert(deviations.end(), {0x88, 0, 0, 0, 1});
  deviations.push_back(0xFF);
  const std::string text = listing(deviations, nullptr, 0);
  const std::string last = "\n    Deviation Number # 0     : 1";
  ASSERT_GT(text.size(), last.size());
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
  EXPECT_NE(text.find("\n    Deviation Number #255     : 1\n"), std::string::npos);
}

TEST(Printer, FilterSemantics) {
  const Bytes image = image_of({kSlots, kVendor, kSerial, kPid, kClei});
  const auto yes = [](const uint8_t *, uint32_t, uint32_t, uint32_t, const uint8_t *) {
    return true;
  };
  const auto no = [](const uint8_t *, uint32_t, uint32_t, uint32_t, const uint8_t *) {
    return false;
  };
  const struct {
    uint8_t include;
    idprom_filter_fn callback;
    Bytes types;
    const char *text;
  } cases[] = {
      {1, nullptr, {0xCB}, "\n    PID                      : LC"},
      {1, nullptr, {0xCB, 0x01}, "\n    Number of Slots          : 2\n    PID                      : LC"},
      {0, nullptr, {0x01, 0x07},
       "\n    PCB Serial Number        : SN1\n    PID                      : LC"
       "\n    CLEI Code                : C"},
      {0, nullptr, {}, "\n    Number of Slots          : 2\n    Vendor ID                : 11 "
                       "\n    PCB Serial Number        : SN1\n    PID                      : LC"
                       "\n    CLEI Code                : C"},
      {1, nullptr, {}, "<untouched>"},
      {1, no, {0xC1}, "<untouched>"},
      {1, yes, {0xC1}, "\n    PCB Serial Number        : SN1"},
      // include clear: a callback lets listed types through case by case
      {0, yes, {0xC1, 0x01},
       "\n    Number of Slots          : 2\n    Vendor ID                : 11 "
       "\n    PCB Serial Number        : SN1\n    PID                      : LC"
       "\n    CLEI Code                : C"},
      {0, no, {0xC1, 0x01},
       "\n    Vendor ID                : 11 \n    PID                      : LC"
       "\n    CLEI Code                : C"},
      // the list ends at the first 0: 0xCB after it is not listed
      {1, nullptr, {0xC6, 0x00, 0xCB}, "\n    CLEI Code                : C"},
  };
  for (const auto &c : cases) {
    idprom_filter filter{};
    filter.include = c.include;
    filter.callback = c.callback;
    std::copy(c.types.begin(), c.types.end(), filter.types);
    EXPECT_EQ(listing(image, &filter, 0), c.text) << testing::PrintToString(c.types);
  }
}

TEST(Printer, TypeListWithoutTerminatorEndsAtItsArray) {
  // A heap filter of exactly its size: a list scan past types[255] would be
  // caught by AddressSanitizer.
  auto filter = std::make_unique<idprom_filter>();
  filter->include = 1;
  std::memset(filter->types, 0xC6, sizeof filter->types);
  EXPECT_EQ(listing(image_of({kSlots, kClei}), filter.get(), 0), "\n    CLEI Code                : C");
}

TEST(Printer, TypeCodesAboveByteRangeAreNeverListed) {
  idprom_filter filter{};
  filter.include = 1;
  filter.types[0] = 0x01;  // does not stand for 0x101
  EXPECT_EQ(listing(image_of({{0x00, 0x01, 0x2A}, kSlots}), &filter, 0),
            "\n    Number of Slots          : 2");
}

// The callback sees the entry as decoded, with its own instance counted.
TEST(Printer, CallbackArguments) {
  static std::vector<std::string> calls;
  calls.clear();
  idprom_filter filter{};
  filter.include = 1;
  filter.types[0] = 0xC1;
  filter.callback = [](const uint8_t *value, uint32_t type, uint32_t attribute, uint32_t length,
                       const uint8_t *counters) {
    calls.push_back(std::string(reinterpret_cast<const char *>(value), length) + " " +
                    std::to_string(type) + " " + std::to_string(attribute) + " " +
                    std::to_string(counters[0xC1]) + " " + std::to_string(counters[0x01]));
    return true;
  };
  const Bytes image = image_of({kSerial, kSlots, {0xC1, 0x42, 'A', 'B'}, {0xC1, 0x81, 'Z'}});
  EXPECT_EQ(listing(image, &filter, 0),
            "\n    PCB Serial Number        : SN1\n    PCB Serial Number        : AB"
            "\n    PCB Serial Number        : Z");
  EXPECT_EQ(calls, (std::vector<std::string>{"SN1 193 128 1 0", "AB 193 64 2 1", "Z 193 128 3 1"}));
  // Instance selection comes first: the callback is not asked about the rest.
  calls.clear();
  listing(image, &filter, 2);
  EXPECT_EQ(calls, (std::vector<std::string>{"AB 193 64 2 1"}));
}

TEST(Printer, BasicFilter) {
  EXPECT_EQ(idprom_basic_filter.include, 1);
  EXPECT_EQ(idprom_basic_filter.callback, &idprom_print_basic_fields);
  const uint8_t listed[] = {0xCB, 0xDA, 0x40, 0x48, 0xC1, 0x80, 0x87, 0xC0, 0x8D,
                            0x82, 0x8A, 0x89, 0xC6, 0x8E, 0xC2, 0x44, 0xEB};
  EXPECT_EQ(std::memcmp(idprom_basic_filter.types, listed, sizeof listed), 0);
  for (size_t i = sizeof listed; i < sizeof idprom_basic_filter.types; ++i) {
    EXPECT_EQ(idprom_basic_filter.types[i], 0) << i;
  }
  const std::string basic = " 40 44 48 80 82 87 89 8a 8d 8e c0 c1 c2 c6 cb da eb ";
  for (uint32_t type = 0; type < 0x300; ++type) {
    char code[8];
    std::snprintf(code, sizeof code, " %02x ", type);
    const bool expected = basic.find(code) != std::string::npos;
    EXPECT_EQ(idprom_print_basic_fields(nullptr, type, 0, 0, nullptr), expected) << type;
  }

  const Bytes image = image_of({kSlots, kVendor, kPid, kClei, {0x44, 0xDA, 0x50}});
  EXPECT_EQ(listing(image, &idprom_basic_filter, 0),
            "\n    PID                      : LC\n    CLEI Code                : C"
            "\n    Capabilities             : da50\n    Chassis Capability       : Dual Router");
}

// One ECI form is hidden: the numeric 0x8E when an 0xEB text form with
// something in it is present, otherwise the (empty or absent) 0xEB.
TEST(Printer, EciSuppression) {
  const Bytes number = {0x8E, 0x00, 0x00, 0x00, 0x2A};
  const Bytes text = {0xEB, 0x82, '4', '2'};
  const Bytes empty_text = {0xEB, 0x82, 0x00, 0x00};
  EXPECT_EQ(listing(image_of({number, text}), nullptr, 0), "\n    ECI Number               : 42");
  EXPECT_EQ(listing(image_of({kSlots, text, number}), nullptr, 0),
            "\n    Number of Slots          : 2\n    ECI Number               : 42");
  EXPECT_EQ(listing(image_of({number}), nullptr, 0), "\n    ECI Number               : 42");
  EXPECT_EQ(listing(image_of({text}), nullptr, 0), "\n    ECI Number               : 42");
  // an empty text form hides itself and leaves the number
  EXPECT_EQ(listing(image_of({number, empty_text}), nullptr, 0),
            "\n    ECI Number               : 42");
  // the text decides, whatever the image's first byte (here an extension byte)
  EXPECT_EQ(listing(image_of({{0x00, 0x01, 0x05}, number, text}), nullptr, 0),
            "\n    Unknown Field (type 0101): 05 \n    ECI Number               : 42");
  // a malformed entry after the text form: the first pass stops silently,
  // and the main walk reports it
  std::string text_listed;
  EXPECT_EQ(capture_stdout([&] {
              text_listed = listing(image_of({number, text, {0xC1, 0x05, 'x'}}), nullptr, 0);
            }),
            "\n\tIDPROM FIELD FORMAT ERROR, index 0x9");
  EXPECT_EQ(text_listed, "\n    ECI Number               : 42");
}

// A malformed entry ends the listing with a line on standard output that
// names its offset; the buffer keeps the entries before it.
TEST(Printer, FormatErrorLineGoesToStandardOutput) {
  const Bytes bad = image_of({kSlots, kPid, {0xC1, 0x05, 'a', 'b'}}, false);  // value runs off
  std::string text;
  EXPECT_EQ(capture_stdout([&] { text = listing(bad, nullptr, 0); }),
            "\n\tIDPROM FIELD FORMAT ERROR, index 0x6");
  EXPECT_EQ(text, "\n    Number of Slots          : 2\n    PID                      : LC");

  const Bytes image = exact_copy(bad);  // to standard output: listing, then the line
  EXPECT_EQ(capture_stdout([&] {
              idprom_print_all_fields(image.data(), static_cast<uint32_t>(image.size()));
            }),
            "\n    Number of Slots          : 2\n    PID                      : LC"
            "\n\tIDPROM FIELD FORMAT ERROR, index 0x6");

  // nothing selected: the buffer stays untouched, the error is still reported
  EXPECT_EQ(capture_stdout([&] { text = listing(bad, nullptr, 256); }),
            "\n\tIDPROM FIELD FORMAT ERROR, index 0x6");
  EXPECT_EQ(text, "<untouched>");

  // malformed first entry: extension bytes up to the end
  EXPECT_EQ(capture_stdout([&] { text = listing({0x00, 0x00}, nullptr, 0); }),
            "\n\tIDPROM FIELD FORMAT ERROR, index 0x0");
  EXPECT_EQ(text, "<untouched>");

  // variable class with length 0, after 150 entries
  Bytes long_image(300, 0);
  for (size_t i = 0; i < 300; i += 2) long_image[i] = 0x01;
  long_image.insert(long_image.end(), {0xC1, 0x00, 0xFF});
  EXPECT_EQ(capture_stdout([&] { text = listing(long_image, nullptr, 7); }),
            "\n\tIDPROM FIELD FORMAT ERROR, index 0x12c");
}

TEST(Printer, FirstInstanceWrappers) {
  const Bytes image = exact_copy(image_of({kSlots, kPid, {0x01, 0x05}, kClei}));
  const auto length = static_cast<uint32_t>(image.size());
  idprom_filter filter{};  // include clear, empty list: everything
  std::vector<char> buf(256, '#');
  idprom_print_filter_fields_to_buf(image.data(), length, &filter, buf.data(), 256);
  const char expected[] =
      "\n    Number of Slots          : 2\n    PID                      : LC"
      "\n    CLEI Code                : C";
  EXPECT_STREQ(buf.data(), expected);
  EXPECT_EQ(capture_stdout([&] { idprom_print_filter_fields(image.data(), length, &filter); }),
            expected);
}

// The listing always starts at buf[0], whatever the buffer held.
TEST(Printer, ListingStartsAtBufferStart) {
  const Bytes image = exact_copy(image_of({kSlots}));
  char buf[64];
  std::memset(buf, 'z', sizeof buf);
  buf[63] = '\0';
  idprom_print_all_fields_to_buf(image.data(), static_cast<uint32_t>(image.size()), buf, 64);
  EXPECT_STREQ(buf, "\n    Number of Slots          : 2");
}

}  // namespace
