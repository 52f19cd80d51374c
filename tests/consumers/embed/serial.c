/* Reads the PCB serial number of an image through the static library. */
#include <stdio.h>

#include "idprom.h"

int main(void) {
    static const uint8_t image[] = {0xC1, 0x8B, 'S', 'N', '0', '0', '0', '0', '0', '0', '0', '4', '2', 0xFF};
    char serial[12] = "";
    uint32_t length = 0;
    const idprom_status s = idprom_get_field_data_ex(image, sizeof image, IDPROM_TYPE_PCB_SERIAL, serial,
                                                     sizeof serial - 1, false, 1, &length);
    printf("%s %s %u\n", idprom_status_name(s), serial, (unsigned)length);
    return s == IDPROM_OK ? 0 : 1;
}
