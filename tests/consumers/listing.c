/* Prints the field listing of an IDPROM image file. */
#include <idprom.h>
#include <stdio.h>

int main(int argc, char **argv) {
    static uint8_t image[65536];
    static char text[65536];
    if (argc != 2) {
        fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
        return 2;
    }
    FILE *f = fopen(argv[1], "rb");
    if (f == NULL) {
        perror(argv[1]);
        return 1;
    }
    size_t length = fread(image, 1, sizeof image, f);
    int failed = ferror(f);
    fclose(f);
    if (failed) {
        fprintf(stderr, "%s: read error\n", argv[1]);
        return 1;
    }
    idprom_print_all_fields_to_buf(image, (uint32_t)length, text, sizeof text);
    printf("%s\n", text);
    return 0;
}
