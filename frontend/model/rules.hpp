// Rules an image must meet (verify), read from JSON:
//
//   {"size": 256, "required": ["pid", "pcb-serial", "base-mac"],
//    "match": {"pid": "^LC-", "pcb-serial": "^SN[0-9]{6}$"},
//    "mac": {"start": "00:1a:2b:00:00:00", "end": "00:1a:2b:ff:ff:ff"}}
//
// Types are named every way a TYPE argument may be; unknown members are
// refused.  Match patterns run on an engine that takes time linear in the
// value and bounded memory (no backtracking, so no pattern can hang or
// overflow the stack); a pattern it cannot take (a back-reference, a
// look-around) is refused when the rules are read.  Whatever the rules say, an image's bytes after the end marker
// must be 0xff and its Base MAC Address unicast and not all zero.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "idprom.hpp"
#include "io/fileio.hpp"

namespace re2 {
class RE2;
}

namespace idprom::tool {

struct Rules {
  struct Match {
    uint32_t type;
    std::string pattern;
    std::shared_ptr<const re2::RE2> regex;
  };
  std::optional<uint32_t> size;
  std::vector<uint32_t> required;
  std::vector<Match> match;
  std::optional<std::pair<uint64_t, uint64_t>> mac;  // first and last address allowed
};

// Throws Failure (usage) naming `source` and the member at fault.
Rules read_rules(const nlohmann::json &rules, const std::string &source);

struct RuleFailure {
  std::string rule;     // "size", "required", "match", "mac", "filler" or "base-mac"
  std::string message;  // what is wrong, naming the field
};

// Why the image's Base MAC Address cannot be a board's ("Base MAC Address
// 0300.0000.0100 is a multicast address", also broadcast; "... is all
// zero"; a length other than 6), or nullopt when it can or is absent.
// verify and program refuse such an image; set and build too, unless told
// to store it anyway.
std::optional<std::string> base_mac_problem(const ImageView &view);

// Throws Failure (kExitValue): "NAME: <problem>; nothing was written
// (--force stores it anyway)" when base_mac_problem finds one.
void refuse_bad_base_mac(const std::string &name, const Bytes &image);

// The rules an image that decodes fails: size, required, match, base-mac,
// mac, filler.
std::vector<RuleFailure> check_rules(const Bytes &image, const Rules &rules);

}  // namespace idprom::tool
