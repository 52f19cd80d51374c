/*
 * list_fields: prints the field listing of an IDPROM image, every entry as
 * a labelled line.  With no argument it lists the bundled sample image.
 * The listing is built in a text buffer with idprom_print_all_fields_to_buf;
 * idprom_print_all_fields would print the same text to standard output.
 *
 *   usage: list_fields [IMAGE]
 */
#include <stdio.h>

#include "idprom.h"

#ifndef LIST_FIELDS_DEFAULT_IMAGE
#define LIST_FIELDS_DEFAULT_IMAGE "examples/sample.bin"
#endif

enum { MAX_IMAGE = 65535, MAX_TEXT = 1 << 20 };

int main(int argc, char **argv) {
    if (argc > 2) {
        fprintf(stderr, "usage: %s [IMAGE]\n", argv[0]);
        return 2;
    }
    const char *path = argc == 2 ? argv[1] : LIST_FIELDS_DEFAULT_IMAGE;
    FILE *f = fopen(path, "rb");
    if (f == NULL) {
        perror(path);
        return 1;
    }
    static uint8_t image[MAX_IMAGE];
    const size_t n = fread(image, 1, sizeof image, f);
    fclose(f);

    /* The listing starts at text[0]; a listing that shows nothing leaves
       the buffer untouched, so start from an empty string. */
    static char text[MAX_TEXT];
    text[0] = '\0';
    idprom_print_all_fields_to_buf(image, (uint32_t)n, text, sizeof text);
    printf("%s\n", text);
    return 0;
}
