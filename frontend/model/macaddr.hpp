// MAC addresses as 48-bit integers, so that blocks add with carry across
// every byte (00:1a:2b:00:00:ff + 1 is 00:1a:2b:00:01:00).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace idprom::tool {

inline constexpr uint64_t kLastMac = 0xFFFFFFFFFFFFULL;


// The text forms of an address: dotted as the listing prints it
// (001a.2b3c.4d5e), colon (00:1a:2b:3c:4d:5e) or plain (001a2b3c4d5e).
enum class MacForm : uint8_t { kDotted, kColon, kPlain };

// Their names, in the order of MacForm: what --mac-format takes.
inline constexpr const char *kMacFormNames[] = {"dotted", "colon", "plain"};

// The form named "dotted", "colon" or "plain"; std::nullopt for any other.
std::optional<MacForm> mac_form(std::string_view name) noexcept;

std::string mac_text(uint64_t mac, MacForm form = MacForm::kDotted);

// The group bit: the low bit of the first octet.
constexpr bool is_multicast(uint64_t mac) noexcept { return ((mac >> 40) & 1) != 0; }

}  // namespace idprom::tool
