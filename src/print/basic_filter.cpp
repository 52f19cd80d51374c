// The library's one piece of data: the filter of the basic identification
// fields, and its callback.
#include "idprom.h"

// Controller Type, Capabilities, Controller Family, Deviation Number, PCA
// Number, Top Assy. Part Number (both forms), Version Identifier, PCA
// Revision, Top Assy. Revision, ECI Number (both forms), PCB and Chassis
// Serial Numbers, CLEI Code, PID, UDI Description.
extern "C" IDPROM_API const idprom_filter idprom_basic_filter = {
    1,
    idprom_print_basic_fields,
    {0xCB, 0xDA, 0x40, 0x48, 0xC1, 0x80, 0x87, 0xC0, 0x8D, 0x82, 0x8A, 0x89, 0xC6, 0x8E, 0xC2, 0x44,
     0xEB, 0},
};

// The callback answers for the same 17 codes the record lists.
extern "C" IDPROM_API bool idprom_print_basic_fields(const uint8_t *, uint32_t type, uint32_t,
                                                     uint32_t, const uint8_t *) noexcept {
  if (type > 0xFF) return false;
  for (const uint8_t t : idprom_basic_filter.types) {
    if (t == 0) return false;
    if (t == type) return true;
  }
  return false;
}
