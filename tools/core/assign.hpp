// One TYPE=VALUE assignment applied to an image in memory, read the way
// `set` reads it: the first instance, added when absent, keeping an
// existing variable-length field's display attribute.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "idprom.hpp"

namespace idprom::tool {

struct Assignment {
  uint32_t type = 0;
  std::string value;
};

// Splits "TYPE=VALUE" and resolves TYPE; throws Failure (usage).
Assignment split_assignment(std::string_view text);

// Sets the first instance of `a.type` to the value text.  Throws Failure
// (value, no room) naming the type.
void apply(ImageEditor &editor, const Assignment &a);

}  // namespace idprom::tool
