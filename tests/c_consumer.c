/*
 * A C11 consumer of the public header, built with strict warnings and
 * linked against the shared library: proves the header works from C.
 * Reads the sample image given on the command line and checks a few
 * values; exits non-zero on any mismatch.
 */
#include "idprom.h"

#include <stdio.h>
#include <string.h>

static int failures;

static void expect(bool ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

int main(int argc, char **argv) {
    if (argc != 2) return 2;
    FILE *f = fopen(argv[1], "rb");
    if (f == NULL) return 2;
    uint8_t image[256];
    const size_t n = fread(image, 1, sizeof image, f);
    fclose(f);
    expect(n == sizeof image, "sample image is 256 bytes");

    uint32_t type = 0, length = 0, attribute = 0;
    const uint8_t *value = idprom_get_entry(image, image + n, &type, &length, &attribute);
    expect(value == image + 1 && type == 0x0D && length == 1, "first entry decodes");

    uint16_t block = 0;
    expect(idprom_get_field_data(image, (uint32_t)n, 0x43, &block, sizeof block, true) == IDPROM_OK,
           "MAC block size found");
    expect(block == 64, "MAC block size in host order");

    char pid[32] = {0};
    expect(idprom_get_field_data(image, (uint32_t)n, 0xCB, pid, sizeof pid, false) == IDPROM_OK,
           "PID found");
    expect(strcmp(pid, "LC-TEST-01") == 0, "PID text");
    expect(idprom_type_to_len(0xCB) == 0x92, "standard length word of PID");

    idprom_filter filter;
    memset(&filter, 0, sizeof filter);
    filter.include = 1;
    filter.types[0] = 0xCB;
    expect(sizeof(idprom_filter) == 272, "filter record size");

    if (failures == 0) printf("c_consumer: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
