// Presentation catalogue: the exact text of every row, the special rows,
// the silent and unlisted types, and values too short for their rows.
#include "print/catalogue.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_util.hpp"

using idprom::print::idprom_print_entry;
using idprom::test::Bytes;
using idprom::test::exact_copy;

namespace {

struct Case {
  uint32_t type;
  uint32_t attribute;
  Bytes value;
  const char *text;
};

// One entry's text.  The value is a heap block of exactly its length, so
// AddressSanitizer reports any byte read past it.
std::string entry_text(const Case &c, uint8_t deviation_counter = 1) {
  const Bytes value = exact_copy(c.value);
  uint8_t counters[256] = {};
  counters[0x88] = deviation_counter;
  char buf[2048] = {};
  uint32_t pos = 0;
  idprom_print_entry(value.data(), c.type, static_cast<uint32_t>(value.size()), c.attribute, buf,
                     &pos, sizeof buf, counters);
  EXPECT_EQ(pos, std::string(buf).size());
  return buf;
}

void expect_texts(const std::vector<Case> &cases) {
  for (const Case &c : cases) {
    EXPECT_EQ(entry_text(c), c.text) << "type 0x" << std::hex << c.type << " attribute 0x"
                                     << c.attribute << " " << testing::PrintToString(c.value);
  }
}

TEST(Catalogue, OneByteClass) {
  expect_texts({
      {0x01, 0, {5}, "\n    Number of Slots          : 5"},
      {0x02, 0, {0x0A}, "\n    Fab Revision             : 0a"},
      {0x03, 0, {0xFF}, "\n    RMA Test History         : ff"},
      {0x04, 0, {0x00}, "\n    RMA History              : 00"},
      {0x05, 0, {0x12}, "\n    Connector Type           : 12"},
      {0x06, 0, {0x01}, "\n    VEXA Preferred Master    : 01"},
      {0x07, 0, {0x12}, "\n    Vendor ID                : 12 "},
      {0x09, 0, {0xAB}, "\n    Processor type           : ab "},
      {0x0B, 0, {0x00}, "\n    Power Supply Type        : AC"},
      {0x0B, 0, {0x01}, "\n    Power Supply Type        : DC"},
      {0x0B, 0, {0x7F}, "\n    Power Supply Type        : DC"},
      {0x0C, 0, {0x01}, ""},  // silent
      {0x0D, 0, {4}, "\n    IDPROM Format Revision   : 4"},
      {0x0E, 0, {0xFF}, "\n    Rack ID                  : 255"},  // unsigned byte
  });
}

TEST(Catalogue, TwoByteClass) {
  expect_texts({
      {0x40, 0, {0x05, 0x2C}, "\n    Controller Type          : 052c"},
      {0x41, 0, {0x01, 0x00}, "\n    Hardware Revision        : 1.0"},
      {0x42, 0, {'A', '0'}, "\n    PCA Revision             : A0"},
      {0x43, 0, {0x01, 0x00}, "\n    MAC Addr. Block Size     : 256"},
      {0x44, 0, {0x00, 0x0A}, "\n    Capabilities             : 0a"},
      {0x44, 0, {0xDA, 0x51}, "\n    Capabilities             : da51"},
      {0x44, 0, {0xDA, 0x50},
       "\n    Capabilities             : da50\n    Chassis Capability       : Dual Router"},
      {0x45, 0, {0x01, 0x02}, "\n    Self test result         : 01 02 "},
      {0x46, 0, {0xFF, 0xFF}, "\n    Boot Timeout (in ms)     : 65535"},
      {0x47, 0, {0x00, 0x03}, "\n    Motherboard Channel ID   : 3"},
      {0x48, 0, {0x00, 0x01}, "\n    Controller Family        : 0001"},
      {0x49, 0, {0xAB, 0xCD}, "\n    CLI Write Enable         : abcd"},
      {0x4A, 0, {0x01, 0x0F}, "\n    Radio Country Code       : 010f"},
  });
}

TEST(Catalogue, FourByteClass) {
  expect_texts({
      {0x80, 0, {0x00, 0x0C, 0x01, 0x2C}, "\n    Deviation Number         : 12-300"},
      {0x81, 0, {1, 2, 3, 255}, "\n    RMA Number               : 1-2-3-255"},
      {0x82, 0, {0x73, 0x01, 0x2C, 0x05}, "\n    PCA Number               : 115-0300-05"},
      {0x83, 0, {0xDE, 0xAD, 0xBE, 0xEF}, "\n    Hardware date code       : deadbeef"},
      {0x83, 0, {0, 0, 0, 1}, "\n    Hardware date code       : 00000001"},
      {0x84, 0, {1, 2, 3, 4}, "\n    Manufacturing Engineer   : 01 02 03 04 "},
      {0x85, 0, {0x01, 0x00, 0x2A, 0x03}, "\n    Fab Part Number          : 01-0042-03"},
      {0x86, 0, {0x00, 0x00, 0x12, 0x34}, "\n    Calibration Data         : 00001234"},
      {0x87, 0, {0x44, 0xFF, 0xFF, 0x63}, "\n    Top Assy. Part Number    : 68-65535-99"},
      {0x88, 0, {0, 0, 0, 5}, "\n    Deviation Number # 1     : 5"},
      {0x88, 0, {0xFF, 0xFF, 0xFF, 0xFF}, "\n    Deviation Number # 1     : -1"},
      {0x89, 0, {'V', '0', '1', 0}, "\n    Version Identifier       : V01"},
      {0x8A, 0, {'A', '0', 0, 0}, "\n    PCA Revision             : A0"},
      {0x8B, 0, {0xFF, 0xFF, 0xFF, 0xFE}, "\n    Licensing Transaction ID : -2"},
      {0x8C, 0, {1, 2, 3, 4}, "\n    Firmware Version         : 1.2.3.4"},
      {0x8D, 0, {'B', '0', 0x01, 0}, "\n    Top Assy. Revision       : B0<01>"},
      {0x8E, 0, {0x00, 0x01, 0xE2, 0x40}, "\n    ECI Number               : 123456"},
  });
}

TEST(Catalogue, VariableClass) {
  expect_texts({
      {0xC0, 0x40, {0x03, 0x20, 0x01, 0x23, 0x45, 0x07},
       "\n    Top Assy. Part Number    : 800-74565-07"},
      {0xC0, 0x40, {0x00, 0x49, 0x00, 0x04, 0xD2, 0x01},
       "\n    Top Assy. Part Number    : 073-1234-01"},
      {0xC0, 0x00, {0x00, 0x49, 0x01, 0x86, 0xA0, 0x01, 0xEE},  // wider number, extra byte
       "\n    Top Assy. Part Number    : 073-100000-01"},
      {0xC1, 0x80, {'F', 'O', 'C', '1', 0, 'X'}, "\n    PCB Serial Number        : FOC1"},
      {0xC2, 0x80, {'F', 'X', 'S'}, "\n    Chassis Serial Number    : FXS"},
      {0xC3, 0x00, {0x00, 0x12, 0x34, 0x56, 0x78, 0x9A},
       "\n    Chassis MAC Address      : 0012.3456.789a"},
      {0xC4, 0x00, {1, 2, 3, 4, 5, 6, 7, 8, 9},
       "\n    Manufacturing Test Data  : 01 02 03 04 05 06 07 08 "
       "\n\t                           09 "},
      {0xC5, 0x80, {0xFF}, "\n    Field Diagnostics Data   : ff "},  // hex whatever the attribute
      {0xC6, 0x80, {'I', 'P', 'M', '8'}, "\n    CLEI Code                : IPM8"},
      {0xC7, 0x00, {1, 2, 3, 4, 5, 6, 7, 8, 9},
       "\n    ENVMON Information       : 1 2 3 4 5 6 7 8 \n\t                           9 "},
      {0xC7, 0x00, {255, 0, 1, 2, 3, 4, 5, 6},
       "\n    ENVMON Information       : 255 0 1 2 3 4 5 6 "},
      {0xC8, 0x00, {0xF6, 0x1E, 0x07, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7},
       "\n    Calibration Data         : Minimum: -10 dBmV, Maximum: 30 dBmV"
       "\n\t  Calibration values : 0x0001 0x0002 0x0003 0x0004 0x0005 0x0006 "
       "\n\t                       0x0007 "},
      {0xC8, 0x00, {0x00, 0x7F, 0x00, 0xEE},  // count 0; the extra byte is not shown
       "\n    Calibration Data         : Minimum: 0 dBmV, Maximum: 127 dBmV"
       "\n\t  Calibration values : "},
      {0xC9, 0x40, {0x0A, 1, 2, 3}, "\n    Device values            : 167838211"},
      {0xC9, 0x80, {'A', 'B'}, "\n    Device values            : AB"},
      {0xC9, 0xC0, {'A', 'B'}, "\n    Device values            : 41 42 "},
      {0xCB, 0xC0, {'P', 'I', 'D', '1'}, "\n    PID                      : PID1"},
      {0xCC, 0x40, {0x0A, 1, 2, 3}, "\n    Asset ID                 : 10.1.2.3"},
      {0xCD, 0x00, {0x80, 0x7F, 0x01, 0xAB, 0xCD},
       "\n    Calibration Data         : Minimum: -128 dBmV, Maximum: 127 dBmV"
       "\n\t  Calibration values : 0xabcd "},
      {0xCE, 0x80, {'M', 'B', '1'}, "\n    Mainboard Serial Number  : MB1"},
      {0xCF, 0x00, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
       "\n    Base MAC Address         : 001a.2b3c.4d5e"},
      {0xD0, 0x00, {1, 2}, ""},
      {0xD1, 0x80, {'A'}, ""},
      {0xD2, 0x00, {0x01, 0x02}, "\n    Reserved for Manufacturing:01 02 "},
      {0xD3, 0x00, {0x10}, "\n    Longitudinal Calibration : 10 "},
      {0xD4, 0x80, {'a', 'l', 'i', 'a', 's'}, "\n    Asset Alias              : alias"},
      {0xD5, 0x40, {0, 0, 1, 0, 9, 9, 9, 9}, "\n    Processor Label          : 256"},
      {0xD6, 0x00, {0x01, 0x90, 0x00, 0x64},
       "\n    System Clock Freq (CPU)  : 01 90 \n    System Clock Freq (Bus)  : 00 64 "},
      {0xD7, 0x40, {0x00, 0x00, 0x01, 0xF4}, "\n    Power Consumption        : 5 Watts (Maximum)"},
      {0xD7, 0x40, {0x00, 0x00, 0x00, 0x63}, "\n    Power Consumption        : 0 Watts (Maximum)"},
      {0xD7, 0x40, {0xFF, 0xFF, 0xFF, 0xFF},
       "\n    Power Consumption        : 42949672 Watts (Maximum)"},
      {0xD8, 0x00, {1}, ""},
      {0xD9, 0x00, {1}, ""},
      {0xDA, 0x80, {'4', '8', '-', 'p'}, "\n    UDI Description          : 48-p"},
      {0xDB, 0x80, {'L', 'C', 0x09}, "\n    UDI Name                 : LC<09>"},
      {0xDF, 0x00, {0x00, 0x49, 0x04, 0xD2, 0x01}, "\n    Top Assy. Part Number    : 073-1234-01"},
      {0xE2, 0x00, {0x00, 0x73, 0x00, 0x01, 0x2C, 0x05},
       "\n    PCA Number               : 115-000300-05"},
      {0xE3, 0x00, {0x00, 0x01, 0x00, 0x00, 0x2A, 0x03},
       "\n    Fab Part Number          : 001-000042-03"},
      {0xEB, 0x80, {'1', '2', '3', '4', '5', '6'}, "\n    ECI Number               : 123456"},
      {0xF3, 0x40, {0x0A, 1, 2, 3}, "\n    Environment Monitor Data : 10.1.2.3"},
      {0xF4, 0xC0, {0x0A, 1}, "\n    Field Diagnostic Data    : 0a 01 "},
  });
}

// The Deviation Number label carries the printer's counter for header
// byte 0x88: "%2d", so one digit after a space, and 8 bits wide.
TEST(Catalogue, DeviationNumberCounter) {
  const Case c{0x88, 0, {0, 0, 0, 5}, ""};
  EXPECT_EQ(entry_text(c, 2), "\n    Deviation Number # 2     : 5");
  EXPECT_EQ(entry_text(c, 12), "\n    Deviation Number #12     : 5");
  EXPECT_EQ(entry_text(c, 255), "\n    Deviation Number #255     : 5");
  EXPECT_EQ(entry_text(c, 0), "\n    Deviation Number # 0     : 5");
}

TEST(Catalogue, UnlistedTypesByDisplayAttribute) {
  expect_texts({
      {0x101, 0x00, {0x2A}, "\n    Unknown Field (type 0101): 2a "},
      {0xCA, 0x80, {0x41, 0x42}, "\n    Unknown Field (type 00ca): AB"},
      {0x08, 0x00, {0x12}, "\n    Unknown Field (type 0008): 12 "},
      {0x00, 0x00, {0x12}, "\n    Unknown Field (type 0000): 12 "},
      {0x4B, 0x00, {0x12, 0x34}, "\n    Unknown Field (type 004b): 12 34 "},
      {0x8F, 0x00, {1, 2, 3, 4}, "\n    Unknown Field (type 008f): 01 02 03 04 "},
      {0xFE, 0x40, {0x01, 0x02}, "\n    Unknown Field (type 00fe): 258"},
      {0xE0, 0x40, {0xFF, 0xFF, 0xFF, 0xFF}, "\n    Unknown Field (type 00e0): -1"},
      {0x2C5, 0x80, {'x', 'y', 'z'}, "\n    Unknown Field (type 02c5): xyz"},
      {0x12345, 0x00, {0x01}, "\n    Unknown Field (type 12345): 01 "},
  });
}

// Every type code from 0x01 to 0xFE either has a row of its own or is
// listed as unknown, according to the four tables.
TEST(Catalogue, DispatchCoversEveryTypeByte) {
  const std::string known_list[] = {
      "01 02 03 04 05 06 07 09 0b 0c 0d 0e",
      "40 41 42 43 44 45 46 47 48 49 4a",
      "80 81 82 83 84 85 86 87 88 89 8a 8b 8c 8d 8e",
      "c0 c1 c2 c3 c4 c5 c6 c7 c8 c9 cb cc cd ce cf d0 d1 d2 d3 d4 d5 d6 d7 d8 d9 da db df e2 "
      "e3 eb f3 f4",
  };
  std::string known;
  for (const auto &part : known_list) known += part + " ";
  for (uint32_t type = 0x01; type <= 0xFE; ++type) {
    char code[8];
    std::snprintf(code, sizeof code, "%02x ", type);
    char unknown_label[40];
    std::snprintf(unknown_label, sizeof unknown_label, "\n    Unknown Field (type %04x): ", type);
    const Case c{type, 0, Bytes(8, 0x31), ""};  // long enough for every row
    const std::string text = entry_text(c);
    EXPECT_EQ(text.rfind(unknown_label, 0) == 0, known.find(code) == std::string::npos)
        << std::hex << type << ": " << text;
  }
}

// A variable-class value shorter than the bytes its row reads is written
// as the label up to its ": " and the stored bytes in hex; nothing past the
// value is read (the values are exactly sized).
TEST(Catalogue, ShortValuesShowLabelAndBytes) {
  expect_texts({
      {0xC0, 0x40, {0x03, 0x20, 0x01, 0x23, 0x45},
       "\n    Top Assy. Part Number    : 03 20 01 23 45 "},
      {0xC3, 0x00, {0x00}, "\n    Chassis MAC Address      : 00 "},
      {0xCF, 0x00, {0x00, 0x1A, 0x2B, 0x3C, 0x4D}, "\n    Base MAC Address         : 00 1a 2b 3c 4d "},
      {0xDF, 0x00, {0x00, 0x49, 0x04, 0xD2}, "\n    Top Assy. Part Number    : 00 49 04 d2 "},
      {0xE2, 0x00, {0x00, 0x73, 0x00}, "\n    PCA Number               : 00 73 00 "},
      {0xE3, 0x00, {0x00, 0x01, 0x00, 0x00, 0x2A}, "\n    Fab Part Number          : 00 01 00 00 2a "},
      {0xD6, 0x00, {0x01, 0x90, 0x00}, "\n    System Clock Freq (CPU)  : 01 90 00 "},
      {0xD7, 0x40, {0x01, 0xF4}, "\n    Power Consumption        : 01 f4 "},
      {0xC8, 0x00, {0xF6, 0x1E}, "\n    Calibration Data         : f6 1e "},
      // count 2 promises 7 bytes, 6 are stored
      {0xCD, 0x00, {0xF6, 0x1E, 0x02, 0x00, 0x01, 0x00},
       "\n    Calibration Data         : f6 1e 02 00 01 00 "},
      // count 255 with one value stored; the bytes break after every eighth
      {0xC8, 0x00, {0xF6, 0x1E, 0xFF, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03},
       "\n    Calibration Data         : f6 1e ff 00 01 00 02 00 \n\t                           03 "},
  });
}

// No row reads past its value, whatever the type byte, length and bytes
// (b2 decides the calibration count): exactly sized values under
// AddressSanitizer, and the text is always zero-terminated where pos says.
TEST(Catalogue, NoRowReadsPastItsValue) {
  const uint8_t fills[] = {0x00, 0x01, 0x02, 0x41, 0xFF};
  for (uint32_t type = 0x01; type <= 0xFE; ++type) {
    for (uint32_t length = 1; length <= 20; ++length) {
      for (const uint8_t fill : fills) {
        const Case c{type, (fill & 0xC0u), Bytes(length, fill), ""};
        const std::string text = entry_text(c);
        EXPECT_LT(text.size(), 200U) << std::hex << type << " " << length;
      }
    }
  }
}

// Exactly as many bytes as the row reads is not short.
TEST(Catalogue, ValuesOfExactlyTheBytesRead) {
  expect_texts({
      {0xC8, 0x00, {0x01, 0x02, 0x01, 0x12, 0x34},
       "\n    Calibration Data         : Minimum: 1 dBmV, Maximum: 2 dBmV"
       "\n\t  Calibration values : 0x1234 "},
      {0xC8, 0x00, {0x01, 0x02, 0x00},
       "\n    Calibration Data         : Minimum: 1 dBmV, Maximum: 2 dBmV"
       "\n\t  Calibration values : "},
  });
}

}  // namespace
