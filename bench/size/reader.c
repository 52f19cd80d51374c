/* Size budget: firmware that reads one field (the PCB serial number) from
   an image, and nothing else of the library. */
#include "idprom.h"

extern uint8_t eeprom_image[256];
uint8_t eeprom_image[256];
char serial[64];

int main(void) {
    return idprom_get_field_data(eeprom_image, sizeof eeprom_image, IDPROM_TYPE_PCB_SERIAL, serial,
                                 sizeof serial - 1, false) == IDPROM_OK ? 0 : 1;
}
