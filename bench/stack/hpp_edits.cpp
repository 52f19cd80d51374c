// Stack budget of the C++ layer's edits: each one by itself in a function
// of its own, so that -fstack-usage reports its frame (inlined helpers
// included).  Built by bench/stack_report.sh; never run.
#include <idprom.hpp>

namespace idprom::stack {

EditResult set(ImageEditor &e, std::span<const uint8_t> v) { return e.set(IDPROM_TYPE_PID, v); }
EditResult set_int(ImageEditor &e, uint32_t v) { return e.set_int(IDPROM_TYPE_MAC_BLOCK_SIZE, v); }
EditResult update(ImageEditor &e, uint32_t word, const void *data) {
  return e.update(IDPROM_TYPE_PID, word, data);
}
EditResult remove(ImageEditor &e) { return e.remove(IDPROM_TYPE_PID); }

}  // namespace idprom::stack
