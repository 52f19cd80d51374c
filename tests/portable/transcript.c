/*
 * A differential test that needs only libc, for every target the library
 * builds for (32-bit, big-endian, cross builds under qemu-user): a seeded
 * stream of edits (some from values inside the image), deletions, lookups,
 * listings, dumps, checksums and MAC conversions, printed as a text
 * transcript.  The transcripts of two builds must be equal byte for byte
 * (scripts/ci/30-cross.sh compares x86-64, i686, s390x and the small-CRC
 * build); by itself the driver checks the edit contract (a failed edit
 * leaves the image as it was; every changed byte lies in the dirty region)
 * and exits 1 on any breach.
 *
 *   idprom_transcript [STEPS [SEED]] > transcript.txt
 */
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "idprom.h"

enum { kImage = 300, kText = 4096 };

static uint32_t state;
static uint32_t next(void) { /* xorshift32: the same stream on every target */
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    return state;
}
static uint32_t below(uint32_t n) { return next() % n; }

static int failures;
static void fail(uint32_t step, const char *what) {
    printf("step %u: FAILED: %s\n", (unsigned)step, what);
    ++failures;
}

/* One printable line for a text of any length: its length and CRC-16. */
static void digest(const char *what, const char *text) {
    printf(" %s=%u/%04x", what, (unsigned)strlen(text),
           (unsigned)idprom_crc_16_buf(text, (int32_t)strlen(text)));
}

static uint32_t random_type(void) {
    static const uint32_t pool[] = {0x01, 0x0B, 0x40, 0x42, 0x43, 0x80, 0x82, 0x88, 0xC1,
                                    0xC3, 0xC8, 0xCB, 0xCF, 0xD6, 0xEB, 0x8E, 0xF3, 0x1C1};
    return below(8) == 0 ? 1 + below(0x2FE) : pool[below(sizeof pool / sizeof pool[0])];
}

/* A value for an edit whose stored bytes are the same on every host: a
   host-order number where the library takes one, else bytes; where that
   depends on whether the entry exists (extension-byte codes), equal bytes. */
static const void *random_value(uint32_t type, uint32_t length, uint8_t *bytes,
                                uint32_t *u32, uint16_t *u16) {
    const int integer = idprom_lookup_is_integer(type);
    for (uint32_t i = 0; i < length; ++i) bytes[i] = (uint8_t)next();
    if (idprom_is_variable(type)) return bytes;
    if (integer != idprom_append_is_integer(type)) memset(bytes, bytes[0], length);
    if (!integer || length == 1) return bytes;
    *u32 = next();
    *u16 = (uint16_t)*u32;
    return length == 2 ? (const void *)u16 : (const void *)u32;
}

static void edit(uint32_t step, uint8_t *image) {
    uint8_t before[kImage], bytes[64];
    uint32_t u32;
    uint16_t u16, off = 0xDEAD, len = 0xBEEF;
    const uint32_t type = random_type(), instance = below(3);
    const uint32_t length = idprom_is_variable(type) ? 1 + below(20) : idprom_fixed_width(type);
    const void *data = random_value(type, length, bytes, &u32, &u16);
    idprom_status s;
    if (idprom_is_variable(type) && below(4) == 0)
        data = image + below(kImage - length); /* a value inside the image */
    memcpy(before, image, kImage);
    if (below(4) == 0) {
        s = idprom_delete_field_instance(image, kImage, type, &off, &len, instance);
        printf("delete %x #%u", (unsigned)type, (unsigned)instance);
    } else {
        const uint32_t word = idprom_length_word(type, below(4) << 6, length);
        s = idprom_update_field_data_instance(image, kImage, below(8) != 0, type, word, data, &off,
                                              &len, instance);
        printf("update %x #%u len %u", (unsigned)type, (unsigned)instance, (unsigned)length);
    }
    printf(": %s", idprom_status_name(s));
    if (s != IDPROM_OK) {
        if (memcmp(before, image, kImage) != 0) fail(step, "a failed edit changed the image");
        if (off != 0xDEAD || len != 0xBEEF) fail(step, "a failed edit wrote the dirty region");
        return;
    }
    printf(" dirty %u+%u", (unsigned)off, (unsigned)len);
    for (uint32_t i = 0; i < kImage; ++i)
        if (before[i] != image[i] && (i < off || i >= (uint32_t)off + len))
            fail(step, "a byte changed outside the dirty region");
}

static void lookup(const uint8_t *image) {
    const uint32_t type = random_type();
    uint8_t out[64];
    uint32_t length = 0;
    const idprom_status s = idprom_get_field_data_ex(image, kImage, type, out, sizeof out, 0,
                                                     1 + below(2), &length);
    printf("lookup %x: %s len %u", (unsigned)type, idprom_status_name(s), (unsigned)length);
    if (s != IDPROM_OK) return;
    if (idprom_lookup_is_integer(type)) { /* host order: the number, not the bytes */
        uint16_t u16;
        uint32_t u32;
        memcpy(&u16, out, 2), memcpy(&u32, out, 4);
        printf(" = %lu", length == 1 ? out[0] : length == 2 ? (unsigned long)u16 : (unsigned long)u32);
        return;
    }
    for (uint32_t i = 0; i < length; ++i) printf(" %02x", out[i]);
}

static void listing(const uint8_t *image, char *text) {
    idprom_filter filter;
    uint32_t pos = 0;
    memset(&filter, 0, sizeof filter);
    filter.include = (uint8_t)below(2);
    for (uint32_t i = 0; i < 3; ++i) filter.types[i] = (uint8_t)random_type();
    text[0] = '\0';
    idprom_print_all_fields_to_buf(image, kImage, text, kText);
    digest("all", text);
    text[0] = '\0';
    idprom_print_basic_fields_to_buf(image, kImage, text, 100 + below(200));
    digest("basic", text);
    text[0] = '\0';
    idprom_print_filter_fields_instance(image, kImage, &filter, below(3), text, kText);
    digest("filter", text);
    idprom_enhanced_dump_to_buf(image, below(kImage), text, kText);
    digest("dump", text);
    text[0] = '\0';
    const uint32_t at = below(64), attribute = below(4) << 6, length = below(12);
    idprom_print_by_display_type(image + at, attribute, length, text, &pos, kText);
    digest("value", text);
}

static void utilities(const uint8_t *image) {
    char mac_text[15];
    uint8_t mac[6];
    const uint32_t at = below(kImage - 6), n = below(kImage - at);
    uint16_t crc = (uint16_t)next();
    idprom_crc_16(image[at], &crc);
    printf("sum %08lx crc %04x %04x", (unsigned long)idprom_calculate_crc(image + at, n),
           (unsigned)idprom_crc_16_buf(image + at, (int32_t)n), (unsigned)crc);
    idprom_macstring_r(image + at, 6, mac_text, sizeof mac_text);
    idprom_macbuf_r(mac_text, mac);
    printf(" mac %s %012llx", mac_text, (unsigned long long)idprom_macbuf_to_mac64(mac));
    printf(" %d", (int)idprom_mac64_to_macbuf(idprom_macbuf_to_mac64(image + at) + next(), mac));
    printf(" %02x%02x %d", mac[0], mac[5], (int)idprom_actoh((char)image[at]));
}

int main(int argc, char **argv) {
    const uint32_t steps = argc > 1 ? (uint32_t)strtoul(argv[1], NULL, 0) : 4000;
    static uint8_t image[kImage], big[40000];
    static char text[kText];
    /* The layout and the host's byte order, checked rather than printed:
       the transcript is the same on every target. */
    const uint8_t be16[] = {0x43, 0x12, 0x34, 0xFF};
    uint16_t v16 = 0;
    if (idprom_get_field_data(be16, sizeof be16, 0x43, &v16, 2, 1) != IDPROM_OK || v16 != 0x1234)
        fail(0, "a big-endian field does not read as its host-order number");
    const size_t types = offsetof(idprom_filter, types), align = _Alignof(idprom_filter);
    if (offsetof(idprom_filter, callback) != _Alignof(idprom_filter_fn) ||
        types != offsetof(idprom_filter, callback) + sizeof(idprom_filter_fn) ||
        sizeof(idprom_filter) != (types + 256 + align - 1) / align * align)
        fail(0, "idprom_filter's layout");
    state = argc > 2 ? (uint32_t)strtoul(argv[2], NULL, 0) : 2026;
    memset(image, 0xFF, sizeof image);
    for (uint32_t i = 0; i < sizeof big; ++i) big[i] = (uint8_t)next(); /* long checksum runs */
    printf("long sums %08lx %04x\n", (unsigned long)idprom_calculate_crc(big + 1, sizeof big - 1),
           (unsigned)idprom_crc_16_buf(big + 3, (int32_t)sizeof big - 3));
    for (uint32_t step = 1; step <= steps; ++step) {
        printf("%u ", (unsigned)step);
        switch (below(4)) {
            case 0: lookup(image); break;
            case 1: listing(image, text); break;
            case 2: utilities(image); break;
            default: edit(step, image); break;
        }
        putchar('\n');
        if (step % 1000 == 0) {
            text[0] = '\0';
            idprom_print_all_fields_to_buf(image, kImage, text, kText);
            printf("%s\n", text);
        }
    }
    return failures == 0 ? 0 : 1;
}
