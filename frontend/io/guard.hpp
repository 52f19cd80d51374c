// The front ends' rules for an edit, beyond what the library checks: an
// edit must not destroy bytes after the end marker that are not filler,
// and must leave an end marker.  `force` lets the user override both.
#pragma once

#include <string>

#include "io/fileio.hpp"

namespace idprom::tool {

// Throws Failure: kExitMalformed when bytes other than 0xff after the
// original end marker would change (naming the first one's offset and how
// many), kExitNoRoom when `after` has no end marker ("needs N bytes, M
// free").  Nothing when `force` is set.
void guard_edit(const std::string &path, const Bytes &before, const Bytes &after, bool force);

}  // namespace idprom::tool
