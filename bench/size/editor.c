/* Size budget: firmware that edits, appends and deletes fields, lists the
   image into a text buffer, converts MAC addresses and computes both
   checksums: everything but the standard-output forms. */
#include "idprom.h"

extern uint8_t eeprom_image[256];
uint8_t eeprom_image[256];
char text[2048];

int main(void) {
    static const char serial[] = "SN000123456";
    uint8_t mac[6];
    uint16_t off, len, crc = 0;
    int failures = 0;
    failures += idprom_update_field_data(eeprom_image, sizeof eeprom_image, true,
                                         IDPROM_TYPE_PCB_SERIAL,
                                         idprom_type_to_len(IDPROM_TYPE_PCB_SERIAL), serial,
                                         &off, &len) != IDPROM_OK;
    failures += idprom_delete_field(eeprom_image, sizeof eeprom_image, IDPROM_TYPE_PID, &off,
                                    &len) != IDPROM_OK;
    idprom_print_all_fields_to_buf(eeprom_image, sizeof eeprom_image, text, sizeof text);
    idprom_macbuf_r("00:1a:2b:3c:4d:5e", mac);
    idprom_macstring_r(mac, 6, text, 15);
    idprom_mac64_to_macbuf(idprom_macbuf_to_mac64(mac) + 1, mac);
    idprom_crc_16(mac[0], &crc);
    failures += idprom_crc_16_buf(eeprom_image, sizeof eeprom_image) == crc;
    failures += idprom_calculate_crc(eeprom_image, sizeof eeprom_image) == 0;
    return failures;
}
