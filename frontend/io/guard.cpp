// Checks an edit against the tool's rules before anything is written.
#include "io/guard.hpp"

#include "base/errors.hpp"
#include "idprom.hpp"

namespace idprom::tool {
namespace {

// Bytes after the end marker that are not 0xff filler: data the user put
// there (a second record, calibration values) that the library treats as
// free space.
void guard_trailing(const std::string &path, const Bytes &before, const Bytes &after) {
  const Layout layout = ImageView(before).layout();
  if (!layout.end_marker) return;
  uint32_t lost = 0;
  uint32_t first = 0;
  for (uint32_t i = *layout.end_marker + 1; i < before.size(); ++i) {
    if (before[i] == 0xFF || after[i] == before[i]) continue;
    if (lost++ == 0) first = i;
  }
  if (lost == 0) return;
  throw Failure::about(path, kExitMalformed,
                       "offset " + hex(first, 4) + ": the edit would overwrite " +
                           count_of(lost, "byte", "bytes") +
                           " other than 0xff after the end marker; nothing was written (--force "
                           "overwrites them)");
}

void guard_end_marker(const std::string &path, const Bytes &before, const Bytes &after) {
  const Layout was = ImageView(before).layout();
  const Layout now = ImageView(after).layout();
  if (now.end_marker || now.malformed_at || !was.end_marker) return;
  const auto size = static_cast<uint32_t>(before.size());
  throw Failure::about(path, kExitNoRoom,
                       "the edit would leave no end marker: it needs " +
                           std::to_string(now.used - was.used + 1) + " bytes, " +
                           std::to_string(size - was.used) +
                           " free; nothing was written (--force writes it anyway)");
}

}  // namespace

void guard_edit(const std::string &path, const Bytes &before, const Bytes &after, bool force) {
  if (force) return;
  guard_trailing(path, before, after);
  guard_end_marker(path, before, after);
}

}  // namespace idprom::tool
