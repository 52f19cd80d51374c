// The table of known types.  Labels are the field listing's, without the
// layout spaces; short names are derived from them and are unique, so that
// `pid` or `pcb-serial` can stand wherever a type code can.
#include "model/types.hpp"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "base/errors.hpp"
#include "idprom.hpp"
#include "model/image.hpp"

namespace idprom::tool {
namespace {

using F = Form;

constexpr TypeInfo kTypes[] = {
    // 1-byte class
    {0x01, "slots", "Number of Slots", F::kDecimal},
    {0x02, "fab-rev", "Fab Revision", F::kHexInt},
    {0x03, "rma-test-history", "RMA Test History", F::kHexInt},
    {0x04, "rma-history", "RMA History", F::kHexInt},
    {0x05, "connector-type", "Connector Type", F::kHexInt},
    {0x06, "vexa-master", "VEXA Preferred Master", F::kHexInt},
    {0x07, "vendor-id", "Vendor ID", F::kHexInt},
    {0x09, "processor-type", "Processor type", F::kHexInt},
    {0x0B, "power-supply", "Power Supply Type", F::kPowerSupply},
    {0x0C, nullptr, nullptr, F::kHexInt},
    {0x0D, "format-rev", "IDPROM Format Revision", F::kDecimal},
    {0x0E, "rack-id", "Rack ID", F::kDecimal},
    // 2-byte class
    {0x40, "controller-type", "Controller Type", F::kHexInt},
    {0x41, "hw-rev", "Hardware Revision", F::kFields, '.', {1, 1}},
    {0x42, "pca-rev2", "PCA Revision", F::kText},
    {0x43, "mac-block-size", "MAC Addr. Block Size", F::kDecimal},
    {0x44, "capabilities", "Capabilities", F::kHexInt},
    {0x45, "self-test", "Self test result", F::kHexInt},
    {0x46, "boot-timeout", "Boot Timeout (in ms)", F::kDecimal},
    {0x47, "channel-id", "Motherboard Channel ID", F::kDecimal},
    {0x48, "controller-family", "Controller Family", F::kHexInt},
    {0x49, "cli-write-enable", "CLI Write Enable", F::kHexInt},
    {0x4A, "radio-country", "Radio Country Code", F::kHexInt},
    // 4-byte class
    {0x80, "deviation", "Deviation Number", F::kFields, '-', {2, 2}},
    {0x81, "rma", "RMA Number", F::kFields, '-', {1, 1, 1, 1}},
    {0x82, "pca", "PCA Number", F::kFields, '-', {1, 2, 1}},
    {0x83, "hw-date", "Hardware date code", F::kHexInt},
    {0x84, "mfg-engineer", "Manufacturing Engineer", F::kHexInt},
    {0x85, "fab-pn", "Fab Part Number", F::kFields, '-', {1, 2, 1}},
    {0x86, "calibration", "Calibration Data", F::kHexInt},
    {0x87, "top-assy-pn", "Top Assy. Part Number", F::kFields, '-', {1, 2, 1}},
    {0x88, "deviation-n", "Deviation Number #", F::kDecimal},
    {0x89, "vid", "Version Identifier", F::kText},
    {0x8A, "pca-rev", "PCA Revision", F::kText},
    {0x8B, "license-id", "Licensing Transaction ID", F::kDecimal},
    {0x8C, "fw-version", "Firmware Version", F::kFields, '.', {1, 1, 1, 1}},
    {0x8D, "top-assy-rev", "Top Assy. Revision", F::kText},
    {0x8E, "eci", "ECI Number", F::kDecimal},
    // variable class
    {0xC0, "top-assy-pn6", "Top Assy. Part Number", F::kFields, '-', {2, 3, 1}},
    {0xC1, "pcb-serial", "PCB Serial Number", F::kText},
    {0xC2, "chassis-serial", "Chassis Serial Number", F::kText},
    {0xC3, "chassis-mac", "Chassis MAC Address", F::kMac},
    {0xC4, "mfg-test-data", "Manufacturing Test Data", F::kHexBytes},
    {0xC5, "field-diag", "Field Diagnostics Data", F::kHexBytes},
    {0xC6, "clei", "CLEI Code", F::kText},
    {0xC7, "envmon", "ENVMON Information", F::kDecimalBytes},
    {0xC8, "calibration-c8", "Calibration Data", F::kHexBytes},
    {0xC9, "device-values", "Device values", F::kByAttribute},
    {0xCB, "pid", "PID", F::kText},
    {0xCC, "asset-id", "Asset ID", F::kByAttribute},
    {0xCD, "calibration-cd", "Calibration Data", F::kHexBytes},
    {0xCE, "mainboard-serial", "Mainboard Serial Number", F::kText},
    {0xCF, "base-mac", "Base MAC Address", F::kMac},
    {0xD0, nullptr, nullptr, F::kHexBytes},
    {0xD1, nullptr, nullptr, F::kHexBytes},
    {0xD2, "reserved-mfg", "Reserved for Manufacturing", F::kHexBytes},
    {0xD3, "longitudinal-cal", "Longitudinal Calibration", F::kHexBytes},
    {0xD4, "asset-alias", "Asset Alias", F::kByAttribute},
    {0xD5, "processor-label", "Processor Label", F::kByAttribute},
    {0xD6, "clock-freq", "System Clock Freq", F::kHexBytes},
    {0xD7, "power", "Power Consumption", F::kWatts},
    {0xD8, nullptr, nullptr, F::kHexBytes},
    {0xD9, nullptr, nullptr, F::kHexBytes},
    {0xDA, "udi-desc", "UDI Description", F::kText},
    {0xDB, "udi-name", "UDI Name", F::kText},
    {0xDF, "top-assy-pn5", "Top Assy. Part Number", F::kFields, '-', {2, 2, 1}},
    {0xE2, "pca-long", "PCA Number", F::kFields, '-', {2, 3, 1}},
    {0xE3, "fab-pn-long", "Fab Part Number", F::kFields, '-', {2, 3, 1}},
    {0xEB, "eci-text", "ECI Number", F::kText},
    {0xF3, "envmon-data", "Environment Monitor Data", F::kByAttribute},
    {0xF4, "field-diag-data", "Field Diagnostic Data", F::kByAttribute},
};

std::string lower(std::string_view s) {
  std::string out(s);
  for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// A label compared without case and without the trailing " #" that marks
// the numbered Deviation Number.
std::string label_key(std::string_view label) {
  std::string key = lower(label);
  if (key.ends_with(" #")) key.resize(key.size() - 2);
  return key;
}

uint32_t checked_code(std::string_view text, uint32_t code) {
  if (code > 0xFFFF)
    throw Failure(kExitUsage, "type " + std::string(text) + ": codes go up to 0xffff");
  if (!has_encoding(code)) {
    throw Failure(kExitUsage, "type " + std::string(text) +
                                  " has no encoding (the low byte of a type code is 0x01 to 0xfe)");
  }
  return code;
}

std::string candidates(const std::vector<const TypeInfo *> &rows) {
  std::string out;
  for (const TypeInfo *row : rows) {
    out += out.empty() ? "" : ", ";
    out += std::string(row->name) + " (" + hex(row->code) + ")";
  }
  return out;
}

}  // namespace

std::span<const TypeInfo> type_table() noexcept { return kTypes; }

const TypeInfo *find_type(uint32_t code) noexcept {
  for (const TypeInfo &row : kTypes) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

std::string type_label(uint32_t code) {
  const TypeInfo *row = find_type(code);
  if (row == nullptr) return "Unknown Field";
  if (row->label == nullptr) return "";
  std::string label = row->label;
  if (label.ends_with(" #")) label.resize(label.size() - 2);
  return label;
}

std::string type_name(uint32_t code) {
  const TypeInfo *row = find_type(code);
  return row != nullptr && row->name != nullptr ? row->name : "";
}

const char *class_name(uint32_t code) noexcept {
  switch (code & kClassMask) {
    case 0x00:
      return "1-byte";
    case 0x40:
      return "2-byte";
    case 0x80:
      return "4-byte";
    default:
      return "variable";
  }
}

uint32_t resolve_type(std::string_view text) {
  if (const auto code = read_number(text)) return checked_code(text, *code);
  const std::string key = lower(text);
  std::vector<const TypeInfo *> by_label, by_prefix;
  for (const TypeInfo &row : kTypes) {
    if (row.name == nullptr) continue;
    if (key == row.name) return row.code;
    if (key == label_key(row.label)) by_label.push_back(&row);
    if (std::string_view(row.name).starts_with(key)) by_prefix.push_back(&row);
  }
  const auto &found = by_label.empty() ? by_prefix : by_label;
  if (found.size() == 1) return found.front()->code;
  if (found.empty()) {
    throw Failure(kExitUsage, "unknown type '" + std::string(text) +
                                  "' (see `idprom types`; a code in hex or decimal always works)");
  }
  throw Failure(kExitUsage, "type '" + std::string(text) + "' is ambiguous: " + candidates(found));
}

}  // namespace idprom::tool
