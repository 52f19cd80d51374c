// MAC address text and 48-bit integers.
#include "model/macaddr.hpp"

#include <iterator>

#include "base/errors.hpp"
#include "idprom.hpp"

namespace idprom::tool {

std::optional<MacForm> mac_form(std::string_view name) noexcept {
  for (size_t i = 0; i < std::size(kMacFormNames); ++i) {
    if (name == kMacFormNames[i]) return static_cast<MacForm>(i);
  }
  return std::nullopt;
}

// The library writes the dotted form; the others regroup its twelve digits.
std::string mac_text(uint64_t mac, MacForm form) {
  uint8_t bytes[6];
  char text[15];
  mac64_to_macbuf(mac, bytes);
  const std::string dotted = macstring_r(bytes, 6, text, sizeof text);
  if (form == MacForm::kDotted) return dotted;
  std::string digits;
  for (char c : dotted) {
    if (c != '.') digits += c;
  }
  if (form == MacForm::kPlain) return digits;
  std::string colon;
  for (size_t i = 0; i < digits.size(); i += 2) colon += (i == 0 ? "" : ":") + digits.substr(i, 2);
  return colon;
}

}  // namespace idprom::tool
