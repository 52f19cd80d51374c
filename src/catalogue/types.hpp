// The type catalogue: every known type's facts in one table, below the
// library's listing and codec and the front-end core.  Each side builds its
// own constexpr arrays from the columns it uses, so a binary carries only
// those: the library the listing's labels, layouts and value positions and
// the standard length words; the front ends the short names, labels and
// value forms.  Adding a type or renaming a label touches one row.
//
// A row's label is the field's name; the listing builds its label from it
// (listing_label below):
//
//   "\n    Controller Type          : %04x"
//     |   |                        |  ^ format: the value's conversions
//     |   +- label, filled to 25   +- ": " (":" alone after a longer label)
//     +- newline and four spaces
#pragma once

#include <cstddef>
#include <cstdint>

#include "idprom.h"

namespace idprom::catalogue {

// How the listing writes a value: the library's writer for the row.
enum class Layout : uint8_t {
  kNothing,             // no text at all, not even the label
  kDecimal,             // the format's conversions over the groups, as signed ints
  kHexNumbers,          // the format's conversions over the groups, unsigned
  kHex,                 // every value byte in hex
  kAscii,               // the value bytes as text
  kByDisplayType,       // by the entry's display attribute
  kFieldByDisplayType,  // the same, with eight bytes for the 32-bit case
  kPowerSupply,         // AC for 0, DC for anything else
  kCapabilities,        // the number in hex, and a second line for 0xda50
  kDeviation,           // the label carries the instance: "Deviation Number # 2"
  kTopAssy,             // a part number whose middle group is 5 digits for family 800
  kMac,                 // the dotted MAC text of the six bytes
  kEnvmon,              // every value byte in decimal
  kCalibration,         // signal limits, then the calibration values
  kClock,               // two labelled lines, "(CPU)" and "(Bus)", two bytes each
  kPower,               // hundredths of a watt, shown in whole watts
};

// How front ends write a value as text and read it back (one codec each).
enum class Form : uint8_t {
  kDecimal,       // a decimal integer of the class width
  kHexInt,        // hex digits of an integer of the class width ("052c")
  kFields,        // the groups in decimal, joined by the format's separator
  kPowerSupply,   // AC (0), DC (1), or the number
  kWatts,         // watts with up to two decimals, stored in hundredths
  kText,          // text, padded with zero bytes; other bytes escaped
  kMac,           // a MAC address, dotted, colon or plain
  kDecimalBytes,  // decimal bytes separated by spaces
  kByAttribute,   // text, dotted decimal bytes or hex, by the display attribute
  kHexBytes,      // hex bytes
};

// Bytes value[at] .. value[at + width - 1], one big-endian number (or a
// span that a writer takes whole).  Width 0 ends the list.
struct Group {
  uint8_t at = 0;
  uint8_t width = 0;
};

struct TypeRow {
  uint32_t code;
  const char *name;   // unique short name; null for the types the listing hides
  const char *label;  // null for the types the listing hides
  Form form;
  Layout layout;
  const char *format = "";  // the listing's conversions after the label
  Group groups[4] = {};     // the value bytes the listing reads, in order
  uint32_t length_word = 0; // standard length word of a variable-class type
};

using F = Form;
using L = Layout;

inline constexpr uint32_t kLong = IDPROM_LONG_TYPE_WORD;  // attribute 0xc0, length 16383

inline constexpr TypeRow kTypes[] = {
    // 1-byte class
    {0x01, "slots", "Number of Slots", F::kDecimal, L::kDecimal, "%d", {{0, 1}}},
    {0x02, "fab-rev", "Fab Revision", F::kHexInt, L::kHexNumbers, "%02x", {{0, 1}}},
    {0x03, "rma-test-history", "RMA Test History", F::kHexInt, L::kHexNumbers, "%02x", {{0, 1}}},
    {0x04, "rma-history", "RMA History", F::kHexInt, L::kHexNumbers, "%02x", {{0, 1}}},
    {0x05, "connector-type", "Connector Type", F::kHexInt, L::kHexNumbers, "%02x", {{0, 1}}},
    {0x06, "vexa-master", "VEXA Preferred Master", F::kHexInt, L::kHexNumbers, "%02x", {{0, 1}}},
    {0x07, "vendor-id", "Vendor ID", F::kHexInt, L::kHex},
    {0x09, "processor-type", "Processor type", F::kHexInt, L::kHex},
    {0x0B, "power-supply", "Power Supply Type", F::kPowerSupply, L::kPowerSupply, "%s", {{0, 1}}},
    {0x0C, nullptr, nullptr, F::kHexInt, L::kNothing},
    {0x0D, "format-rev", "IDPROM Format Revision", F::kDecimal, L::kDecimal, "%d", {{0, 1}}},
    {0x0E, "rack-id", "Rack ID", F::kDecimal, L::kDecimal, "%d", {{0, 1}}},
    // 2-byte class
    {0x40, "controller-type", "Controller Type", F::kHexInt, L::kHexNumbers, "%04x", {{0, 2}}},
    {0x41, "hw-rev", "Hardware Revision", F::kFields, L::kDecimal, "%d.%d", {{0, 1}, {1, 1}}},
    {0x42, "pca-rev2", "PCA Revision", F::kText, L::kAscii},
    {0x43, "mac-block-size", "MAC Addr. Block Size", F::kDecimal, L::kDecimal, "%d", {{0, 2}}},
    {0x44, "capabilities", "Capabilities", F::kHexInt, L::kCapabilities, "%02x", {{0, 2}}},
    {0x45, "self-test", "Self test result", F::kHexInt, L::kHex},
    {0x46, "boot-timeout", "Boot Timeout (in ms)", F::kDecimal, L::kDecimal, "%d", {{0, 2}}},
    {0x47, "channel-id", "Motherboard Channel ID", F::kDecimal, L::kDecimal, "%d", {{0, 2}}},
    {0x48, "controller-family", "Controller Family", F::kHexInt, L::kHexNumbers, "%04x",
     {{0, 2}}},
    {0x49, "cli-write-enable", "CLI Write Enable", F::kHexInt, L::kHexNumbers, "%04x", {{0, 2}}},
    {0x4A, "radio-country", "Radio Country Code", F::kHexInt, L::kHexNumbers, "%02x%02x",
     {{0, 1}, {1, 1}}},
    // 4-byte class
    {0x80, "deviation", "Deviation Number", F::kFields, L::kDecimal, "%d-%d", {{0, 2}, {2, 2}}},
    {0x81, "rma", "RMA Number", F::kFields, L::kDecimal, "%d-%d-%d-%d",
     {{0, 1}, {1, 1}, {2, 1}, {3, 1}}},
    {0x82, "pca", "PCA Number", F::kFields, L::kDecimal, "%02d-%04d-%02d",
     {{0, 1}, {1, 2}, {3, 1}}},
    {0x83, "hw-date", "Hardware date code", F::kHexInt, L::kHexNumbers, "%08x", {{0, 4}}},
    {0x84, "mfg-engineer", "Manufacturing Engineer", F::kHexInt, L::kHex},
    {0x85, "fab-pn", "Fab Part Number", F::kFields, L::kDecimal, "%02d-%04d-%02d",
     {{0, 1}, {1, 2}, {3, 1}}},
    {0x86, "calibration", "Calibration Data", F::kHexInt, L::kHexNumbers, "%08x", {{0, 4}}},
    {0x87, "top-assy-pn", "Top Assy. Part Number", F::kFields, L::kDecimal, "%02d-%04d-%02d",
     {{0, 1}, {1, 2}, {3, 1}}},
    {0x88, "deviation-n", "Deviation Number", F::kDecimal, L::kDeviation, "%d", {{0, 4}}},
    {0x89, "vid", "Version Identifier", F::kText, L::kAscii},
    {0x8A, "pca-rev", "PCA Revision", F::kText, L::kAscii},
    {0x8B, "license-id", "Licensing Transaction ID", F::kDecimal, L::kDecimal, "%d", {{0, 4}}},
    {0x8C, "fw-version", "Firmware Version", F::kFields, L::kDecimal, "%d.%d.%d.%d",
     {{0, 1}, {1, 1}, {2, 1}, {3, 1}}},
    {0x8D, "top-assy-rev", "Top Assy. Revision", F::kText, L::kAscii},
    {0x8E, "eci", "ECI Number", F::kDecimal, L::kDecimal, "%d", {{0, 4}}},
    // variable class
    {0xC0, "top-assy-pn6", "Top Assy. Part Number", F::kFields, L::kTopAssy, "%03d-%0*d-%02d",
     {{0, 2}, {2, 3}, {5, 1}}, 0x46},  // decimal, 6
    {0xC1, "pcb-serial", "PCB Serial Number", F::kText, L::kAscii, "", {}, 0x8B},  // text, 11
    {0xC2, "chassis-serial", "Chassis Serial Number", F::kText, L::kAscii, "", {}, 0x8B},
    {0xC3, "chassis-mac", "Chassis MAC Address", F::kMac, L::kMac, "%s", {{0, 6}}, 0x06},
    {0xC4, "mfg-test-data", "Manufacturing Test Data", F::kHexBytes, L::kHex, "", {}, 0x08},
    {0xC5, "field-diag", "Field Diagnostics Data", F::kHexBytes, L::kHex, "", {}, 0x08},
    {0xC6, "clei", "CLEI Code", F::kText, L::kAscii, "", {}, 0x8A},  // text, 10
    {0xC7, "envmon", "ENVMON Information", F::kDecimalBytes, L::kEnvmon, "", {}, 0x20},
    {0xC8, "calibration-c8", "Calibration Data", F::kHexBytes, L::kCalibration, "",
     {{0, 1}, {1, 1}, {2, 1}}},
    {0xC9, "device-values", "Device values", F::kByAttribute, L::kByDisplayType, "", {},
     0x7F},  // decimal, 63
    {0xCB, "pid", "PID", F::kText, L::kAscii, "", {}, 0x92},  // text, 18
    {0xCC, "asset-id", "Asset ID", F::kByAttribute, L::kFieldByDisplayType, "", {},
     0xA0},  // text, 32
    {0xCD, "calibration-cd", "Calibration Data", F::kHexBytes, L::kCalibration, "",
     {{0, 1}, {1, 1}, {2, 1}}},
    {0xCE, "mainboard-serial", "Mainboard Serial Number", F::kText, L::kAscii, "", {}, 0x8B},
    {0xCF, "base-mac", "Base MAC Address", F::kMac, L::kMac, "%s", {{0, 6}}, 0x06},  // hex, 6
    {0xD0, nullptr, nullptr, F::kHexBytes, L::kNothing},
    {0xD1, nullptr, nullptr, F::kHexBytes, L::kNothing},
    {0xD2, "reserved-mfg", "Reserved for Manufacturing", F::kHexBytes, L::kHex},
    {0xD3, "longitudinal-cal", "Longitudinal Calibration", F::kHexBytes, L::kHex},
    {0xD4, "asset-alias", "Asset Alias", F::kByAttribute, L::kFieldByDisplayType, "", {},
     0xA0},  // text, 32
    {0xD5, "processor-label", "Processor Label", F::kByAttribute, L::kFieldByDisplayType},
    {0xD6, "clock-freq", "System Clock Freq", F::kHexBytes, L::kClock, "", {{0, 2}, {2, 2}},
     0x04},  // hex, 4
    {0xD7, "power", "Power Consumption", F::kWatts, L::kPower, "%d Watts (Maximum)", {{0, 4}},
     0x44},  // decimal, 4
    {0xD8, nullptr, nullptr, F::kHexBytes, L::kNothing},
    {0xD9, nullptr, nullptr, F::kHexBytes, L::kNothing},
    {0xDA, "udi-desc", "UDI Description", F::kText, L::kAscii, "", {}, 0xBF},  // text, 63
    {0xDB, "udi-name", "UDI Name", F::kText, L::kAscii, "", {}, 0xBF},
    {0xDF, "top-assy-pn5", "Top Assy. Part Number", F::kFields, L::kDecimal, "%03d-%04d-%02d",
     {{0, 2}, {2, 2}, {4, 1}}},
    {0xE2, "pca-long", "PCA Number", F::kFields, L::kDecimal, "%03d-%06d-%02d",
     {{0, 2}, {2, 3}, {5, 1}}},
    {0xE3, "fab-pn-long", "Fab Part Number", F::kFields, L::kDecimal, "%03d-%06d-%02d",
     {{0, 2}, {2, 3}, {5, 1}}},
    {0xEB, "eci-text", "ECI Number", F::kText, L::kAscii, "", {}, 0x86},  // text, 6
    {0xF3, "envmon-data", "Environment Monitor Data", F::kByAttribute, L::kFieldByDisplayType,
     "", {}, kLong},
    {0xF4, "field-diag-data", "Field Diagnostic Data", F::kByAttribute, L::kFieldByDisplayType,
     "", {}, kLong},
};

inline constexpr size_t kTypeCount = sizeof kTypes / sizeof kTypes[0];

// The label of codes the table does not hold.
inline constexpr const char *kUnknownLabel = "Unknown Field";

// ---- facts derived from a row ----------------------------------------------

constexpr size_t length_of(const char *text) {
  size_t n = 0;
  while (text[n] != '\0') ++n;
  return n;
}

// The separator between a kFields value's numbers: the first '-' or '.' in
// the listing's format.
constexpr char separator(const TypeRow &row) {
  for (const char *c = row.format; *c != '\0'; ++c) {
    if (*c == '-' || *c == '.') return *c;
  }
  return 0;
}

// The listing's label of a row (or of the unknown types), written to `out`
// when it is not null; returns its length without the zero byte.  The label
// column is 25 characters wide whatever the decoration prints: the
// Deviation Number's instance counter ("%2d", two characters printed) and
// the unknown type's code ("%04x", four).
constexpr size_t kLabelColumn = 25;

struct Decoration {
  const char *text;
  size_t printed;  // characters it prints
};

constexpr Decoration decoration_of(Layout layout) {
  if (layout == Layout::kDeviation) return {" #%2d", 4};
  if (layout == Layout::kClock) return {" (CPU)", 6};
  return {"", 0};
}

inline constexpr Decoration kUnknownDecoration = {" (type %04x)", 12};
inline constexpr Decoration kClockSecond = {" (Bus)", 6};

constexpr size_t listing_label(char *out, const char *label, Decoration decoration,
                               const char *format) {
  size_t n = 0;
  const auto put = [&](const char *text) {
    for (; *text != '\0'; ++text, ++n) {
      if (out != nullptr) out[n] = *text;
    }
  };
  put("\n    ");
  put(label);
  put(decoration.text);
  const size_t width = length_of(label) + decoration.printed;
  for (size_t i = width; i < kLabelColumn; ++i) put(" ");
  put(width <= kLabelColumn ? ": " : ":");
  put(format);
  if (out != nullptr) out[n] = '\0';
  return n;
}

}  // namespace idprom::catalogue
