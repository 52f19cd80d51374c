/*
 * walk_entries: reads an IDPROM image file and prints, for every entry, its
 * offset, type code, value length and display attribute.  A small example
 * of walking an image with idprom_get_entry().
 *
 *   usage: walk_entries IMAGE
 */
#include <stdio.h>
#include <stdlib.h>

#include "idprom.h"

enum { MAX_IMAGE = 65535 };

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
        return 2;
    }
    FILE *f = fopen(argv[1], "rb");
    if (f == NULL) {
        perror(argv[1]);
        return 1;
    }
    static uint8_t image[MAX_IMAGE];
    const size_t n = fread(image, 1, sizeof image, f);
    fclose(f);

    const uint8_t *end = image + n;
    const uint8_t *pos = image;
    printf("offset  type    length  attribute\n");
    while (pos < end && *pos != 0xFF) {
        uint32_t type, length, attribute;
        const uint8_t *value = idprom_get_entry(pos, end, &type, &length, &attribute);
        if (value == NULL) {
            fprintf(stderr, "%s: malformed entry at offset 0x%04x\n", argv[1],
                    (unsigned)(pos - image));
            return 3;
        }
        printf("0x%04x  0x%04x  %6u  0x%02x\n", (unsigned)(pos - image), (unsigned)type,
               (unsigned)length, (unsigned)attribute);
        pos = value + length;
    }
    if (pos < end)
        printf("end marker at 0x%04x, %u bytes free\n", (unsigned)(pos - image),
               (unsigned)(end - pos));
    else
        printf("no end marker: the list fills the image\n");
    return 0;
}
