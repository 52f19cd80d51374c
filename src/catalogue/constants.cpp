// The public header's IDPROM_TYPE_* constants stay literal, so that a C
// program reads them without the catalogue; this file ties them to it at
// compile time: each constant is the code of the row whose short name it
// spells (IDPROM_TYPE_PCB_SERIAL is the row "pcb-serial"), and every named
// row has one.
#include <cstddef>
#include <cstdint>

#include "catalogue/types.hpp"
#include "idprom.h"

namespace idprom::catalogue {
namespace {

struct Constant {
  uint32_t code;
  const char *spelling;  // the macro's name after IDPROM_TYPE_
};

#define IDPROM_CONSTANT(NAME) {IDPROM_TYPE_##NAME, #NAME}

constexpr Constant kConstants[] = {
    IDPROM_CONSTANT(SLOTS),           IDPROM_CONSTANT(FAB_REV),
    IDPROM_CONSTANT(RMA_TEST_HISTORY), IDPROM_CONSTANT(RMA_HISTORY),
    IDPROM_CONSTANT(CONNECTOR_TYPE),  IDPROM_CONSTANT(VEXA_MASTER),
    IDPROM_CONSTANT(VENDOR_ID),       IDPROM_CONSTANT(PROCESSOR_TYPE),
    IDPROM_CONSTANT(POWER_SUPPLY),    IDPROM_CONSTANT(FORMAT_REV),
    IDPROM_CONSTANT(RACK_ID),         IDPROM_CONSTANT(CONTROLLER_TYPE),
    IDPROM_CONSTANT(HW_REV),          IDPROM_CONSTANT(PCA_REV2),
    IDPROM_CONSTANT(MAC_BLOCK_SIZE),  IDPROM_CONSTANT(CAPABILITIES),
    IDPROM_CONSTANT(SELF_TEST),       IDPROM_CONSTANT(BOOT_TIMEOUT),
    IDPROM_CONSTANT(CHANNEL_ID),      IDPROM_CONSTANT(CONTROLLER_FAMILY),
    IDPROM_CONSTANT(CLI_WRITE_ENABLE), IDPROM_CONSTANT(RADIO_COUNTRY),
    IDPROM_CONSTANT(DEVIATION),       IDPROM_CONSTANT(RMA),
    IDPROM_CONSTANT(PCA),             IDPROM_CONSTANT(HW_DATE),
    IDPROM_CONSTANT(MFG_ENGINEER),    IDPROM_CONSTANT(FAB_PN),
    IDPROM_CONSTANT(CALIBRATION),     IDPROM_CONSTANT(TOP_ASSY_PN),
    IDPROM_CONSTANT(DEVIATION_N),     IDPROM_CONSTANT(VID),
    IDPROM_CONSTANT(PCA_REV),         IDPROM_CONSTANT(LICENSE_ID),
    IDPROM_CONSTANT(FW_VERSION),      IDPROM_CONSTANT(TOP_ASSY_REV),
    IDPROM_CONSTANT(ECI),             IDPROM_CONSTANT(TOP_ASSY_PN6),
    IDPROM_CONSTANT(PCB_SERIAL),      IDPROM_CONSTANT(CHASSIS_SERIAL),
    IDPROM_CONSTANT(CHASSIS_MAC),     IDPROM_CONSTANT(MFG_TEST_DATA),
    IDPROM_CONSTANT(FIELD_DIAG),      IDPROM_CONSTANT(CLEI),
    IDPROM_CONSTANT(ENVMON),          IDPROM_CONSTANT(CALIBRATION_C8),
    IDPROM_CONSTANT(DEVICE_VALUES),   IDPROM_CONSTANT(PID),
    IDPROM_CONSTANT(ASSET_ID),        IDPROM_CONSTANT(CALIBRATION_CD),
    IDPROM_CONSTANT(MAINBOARD_SERIAL), IDPROM_CONSTANT(BASE_MAC),
    IDPROM_CONSTANT(RESERVED_MFG),    IDPROM_CONSTANT(LONGITUDINAL_CAL),
    IDPROM_CONSTANT(ASSET_ALIAS),     IDPROM_CONSTANT(PROCESSOR_LABEL),
    IDPROM_CONSTANT(CLOCK_FREQ),      IDPROM_CONSTANT(POWER),
    IDPROM_CONSTANT(UDI_DESC),        IDPROM_CONSTANT(UDI_NAME),
    IDPROM_CONSTANT(TOP_ASSY_PN5),    IDPROM_CONSTANT(PCA_LONG),
    IDPROM_CONSTANT(FAB_PN_LONG),     IDPROM_CONSTANT(ECI_TEXT),
    IDPROM_CONSTANT(ENVMON_DATA),     IDPROM_CONSTANT(FIELD_DIAG_DATA),
};

#undef IDPROM_CONSTANT

// PCB_SERIAL spells pcb-serial: upper case for lower, '_' for '-'.
constexpr bool spells(const char *spelling, const char *name) {
  for (; *spelling != '\0' && *name != '\0'; ++spelling, ++name) {
    constexpr char kUpper[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const char want = *name == '-'                    ? '_'
                      : *name >= 'a' && *name <= 'z' ? kUpper[*name - 'a']
                                                     : *name;
    if (*spelling != want) return false;
  }
  return *spelling == *name;
}

constexpr bool constants_agree() {
  size_t named = 0;
  for (const TypeRow &row : kTypes) named += row.name != nullptr ? 1 : 0;
  if (named != sizeof kConstants / sizeof kConstants[0]) return false;
  for (const Constant &c : kConstants) {
    bool found = false;
    for (const TypeRow &row : kTypes) {
      found = found || (row.code == c.code && row.name != nullptr && spells(c.spelling, row.name));
    }
    if (!found) return false;
  }
  return true;
}

static_assert(constants_agree(),
              "an IDPROM_TYPE_* constant of idprom.h disagrees with the type catalogue");

}  // namespace
}  // namespace idprom::catalogue
