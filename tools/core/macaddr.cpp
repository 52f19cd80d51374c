// MAC address text and 48-bit integers.
#include "macaddr.hpp"

#include "errors.hpp"
#include "idprom.hpp"
#include "values.hpp"

namespace idprom::tool {

namespace {
constexpr uint32_t kBaseMac = 0xCF;
}

uint64_t read_mac(std::string_view text, const std::string &what) {
  try {
    const Bytes mac = parse_value(text, ValueContext{kBaseMac, kAttrHex, std::nullopt, false});
    if (mac.size() != 6) throw Failure(kExitValue, "a MAC address holds 6 bytes");
    return macbuf_to_mac64(mac.data());
  } catch (const Failure &f) {
    throw Failure(f.code(), what + ": " + f.what());
  }
}

std::string mac_text(uint64_t mac) {
  uint8_t bytes[6];
  char text[15];
  mac64_to_macbuf(mac, bytes);
  return macstring_r(bytes, 6, text, sizeof text);
}

}  // namespace idprom::tool
