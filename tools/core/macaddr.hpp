// MAC addresses as 48-bit integers, so that blocks add with carry across
// every byte (00:1a:2b:00:00:ff + 1 is 00:1a:2b:00:01:00).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace idprom::tool {

inline constexpr uint64_t kLastMac = 0xFFFFFFFFFFFFULL;

// A MAC address in any form `set` reads for Base MAC Address; throws
// Failure (value) naming `what`.
uint64_t read_mac(std::string_view text, const std::string &what);

// Dotted form, as the listing prints it: 001a.2b3c.4d5e.
std::string mac_text(uint64_t mac);

// The group bit: the low bit of the first octet.
constexpr bool is_multicast(uint64_t mac) noexcept { return ((mac >> 40) & 1) != 0; }

}  // namespace idprom::tool
