// Names of the status constants, for messages and logs.  The error codes
// are consecutive from IDPROM_ERR_LENGTH_MISMATCH, so the name is a table
// row; the table's order is the header's.
#include <cstddef>

#include "idprom.h"

namespace {

constexpr const char *kErrorNames[] = {
    "IDPROM_ERR_LENGTH_MISMATCH",      // ...801
    "IDPROM_ERR_BUFFER_TOO_SMALL",     // ...802
    "IDPROM_ERR_NOT_FOUND",            // ...803
    "IDPROM_ERR_NO_ROOM",              // ...804
    "IDPROM_ERR_NOT_FOUND_NO_CREATE",  // ...805
    "IDPROM_ERR_NO_END_MARKER",        // ...806
    "IDPROM_ERR_NO_ROOM_TO_GROW",      // ...807
    "IDPROM_ERR_END_OF_IMAGE",         // ...808
    "IDPROM_ERR_INVALID_TYPE",         // ...809
    "IDPROM_ERR_INVALID_LENGTH",       // ...80A
    "IDPROM_ERR_IMAGE_TOO_LARGE",      // ...80B
};
static_assert(IDPROM_ERR_IMAGE_TOO_LARGE - IDPROM_ERR_LENGTH_MISMATCH + 1 ==
              sizeof kErrorNames / sizeof kErrorNames[0]);

}  // namespace

extern "C" IDPROM_API const char *idprom_status_name(idprom_status status) noexcept {
  if (status == IDPROM_OK) return "IDPROM_OK";
  const idprom_status index = status - IDPROM_ERR_LENGTH_MISMATCH;  // wraps below the first
  if (index >= sizeof kErrorNames / sizeof kErrorNames[0]) return "unknown status";
  return kErrorNames[index];
}
