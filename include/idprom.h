/*
 * idprom.h -- the public interface of the idprom library.
 *
 * An IDPROM image is the identification record a board carries in a serial
 * EEPROM: a list of type/length/value entries closed by a 0xFF end marker,
 * with big-endian numbers inside.  The caller reads the EEPROM into memory,
 * hands the library a pointer and a length, and after an edit writes back the
 * byte range the library reports as dirty.  The library never touches the
 * EEPROM itself, allocates nothing, keeps no state between calls and throws
 * nothing; every function works only on memory the caller passes in.
 *
 * Image layout, from byte 0:
 *
 *   entry, entry, ..., 0xFF end marker, 0xFF filler up to the image's end
 *
 *   entry header:  [0x00 ...]  type   [len | len_hi len_lo]  value ...
 *                  extension   byte   one byte below type 0xF0,
 *                  bytes            two bytes from 0xF0 on (variable class only)
 *
 * Each extension byte adds 256 to the type code.  The class of an entry is
 * (type & 0xC0): 0x00, 0x40 and 0x80 hold 1, 2 and 4 value bytes and have no
 * length field; 0xC0 (variable class) carries its length in the length field,
 * whose top two bits are the display attribute (0x40 decimal, 0x80 text,
 * otherwise hex).  A list may also run to the image's last byte without an
 * end marker.
 *
 * This header is valid C11 and C++.
 */
#ifndef IDPROM_H
#define IDPROM_H

#include <stdbool.h>
#include <stdint.h>

#define IDPROM_VERSION_MAJOR 0
#define IDPROM_VERSION_MINOR 1
#define IDPROM_VERSION_PATCH 0
#define IDPROM_VERSION_STRING "0.1.0"

#if defined(IDPROM_STATIC_DEFINE)
#define IDPROM_API
#elif defined(__GNUC__) || defined(__clang__)
#define IDPROM_API __attribute__((visibility("default")))
#else
#define IDPROM_API
#endif

#if defined(__GNUC__) || defined(__clang__)
#define IDPROM_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define IDPROM_PRINTF_FORMAT(fmt, args)
#endif

#ifdef __cplusplus
#define IDPROM_NOEXCEPT noexcept
extern "C" {
#else
#define IDPROM_NOEXCEPT
#endif

/* ---- status codes ------------------------------------------------------ */

/*
 * Result of lookup and editing.  IDPROM_OK is 0; every error is a distinct
 * non-zero constant.  One table serves lookup, update and delete.
 */
typedef uint64_t idprom_status;

#define IDPROM_OK                      UINT64_C(0)
/* lookup with exact length: the field's length differs from out_size;
   update: a fixed-class field (class 0x00, 0x40, 0x80) given another length */
#define IDPROM_ERR_LENGTH_MISMATCH     UINT64_C(0x4010132CCA100801)
/* lookup: the field is longer than the caller's buffer */
#define IDPROM_ERR_BUFFER_TOO_SMALL    UINT64_C(0x4010132CCA100802)
/* lookup and delete: no such instance; any operation: a malformed entry
   was met while walking the list */
#define IDPROM_ERR_NOT_FOUND           UINT64_C(0x4010132CCA100803)
/* update: the new entry and an end marker after it do not fit */
#define IDPROM_ERR_NO_ROOM             UINT64_C(0x4010132CCA100804)
/* update: the field is absent and create was not allowed */
#define IDPROM_ERR_NOT_FOUND_NO_CREATE UINT64_C(0x4010132CCA100805)
/* update (resize) and delete: no end marker after the field */
#define IDPROM_ERR_NO_END_MARKER       UINT64_C(0x4010132CCA100806)
/* update (resize): the growth exceeds the room from the end marker on */
#define IDPROM_ERR_NO_ROOM_TO_GROW     UINT64_C(0x4010132CCA100807)
/* update: the image is empty, or the list runs off its end without an
   end marker */
#define IDPROM_ERR_END_OF_IMAGE        UINT64_C(0x4010132CCA100808)

/* Refusals of requests the image format cannot represent; the image is
   left untouched.  */
/* update: the type code has no encoding (low byte 0x00, or 0xFF) */
#define IDPROM_ERR_INVALID_TYPE        UINT64_C(0x4010132CCA100809)
/* update: a variable-class length of 0 (it would cut the list) */
#define IDPROM_ERR_INVALID_LENGTH      UINT64_C(0x4010132CCA10080A)
/* update and delete: the dirty region would lie beyond what 16-bit
   offset and length can report (images longer than 65535 bytes) */
#define IDPROM_ERR_IMAGE_TOO_LARGE     UINT64_C(0x4010132CCA10080B)

/* ---- filter record ----------------------------------------------------- */

/*
 * Filter callback of the field printer.  Called only for an entry that the
 * instance selection kept and whose type code stands in the filter's list,
 * with:
 *   value      the entry's first value byte inside the image (read only;
 *              length bytes are readable);
 *   type       the type code (256 per extension byte plus the type byte);
 *   attribute  the display attribute: 0x00, 0x40, 0x80 or 0xC0 (0x00 for
 *              the fixed classes);
 *   length     the value length;
 *   counters   the printer's 256 instance counters, read only, indexed by
 *              an entry's first header byte (0x00 for every type code with
 *              extension bytes), 8 bits each; this entry is already
 *              counted, so counters[first header byte] is its instance.
 * Returns true to print the entry, false to leave it out.  The pointers are
 * valid only during the call.
 */
typedef bool (*idprom_filter_fn)(const uint8_t *value, uint32_t type, uint32_t attribute,
                                 uint32_t length, const uint8_t *counters);

/*
 * Selection of the entries a listing shows.  Owned by the caller and only
 * read by the library.
 *   include   non-zero: print the listed types, each subject to callback
 *             when one is given; zero: print every type that is not listed,
 *             and a listed one only when callback returns true for it.
 *   callback  consulted for listed types, or NULL.
 *   types     one-byte type codes, ended by the first 0 (at most 255 codes;
 *             a list with no 0 ends at the array's end).  A type code above
 *             255 (one with extension bytes) is never listed.
 * Its size (272 bytes on LP64) is part of the ABI.
 */
typedef struct idprom_filter {
    uint8_t include;
    idprom_filter_fn callback;
    uint8_t types[256];
} idprom_filter;

/* ---- decoding ---------------------------------------------------------- */

/*
 * Decodes the entry header at pos; end is one past the image's last byte.
 * Writes the type code to *type and the value length to *length (both are
 * always written, 0 on failure) and, when attribute is not NULL, the display
 * attribute (0x00, 0x40, 0x80 or 0xC0; 0x00 for fixed-class entries).
 * Returns a pointer to the value's first byte, or NULL when no valid entry
 * starts at pos: extension bytes up to end, a header or value that runs past
 * end, or a variable-class length of 0.  Never reads at or beyond end and
 * does not treat 0xFF specially: test for the end marker before calling.
 */
IDPROM_API const uint8_t *idprom_get_entry(const uint8_t *pos, const uint8_t *end, uint32_t *type,
                                           uint32_t *length, uint32_t *attribute) IDPROM_NOEXCEPT;

/*
 * Standard length word of a type code: 1, 2 or 4 for the fixed classes; for
 * the variable class a word in the one-byte layout (attribute in bits 7-6,
 * length in bits 5-0) from the catalogue of known types, 0xFFFFFFFF for the
 * two long types 0xF3 and 0xF4 (attribute 0xC0, length 16383 when given to
 * update), and 0 for every other variable-class code, extension-byte codes
 * included.  0 has no valid use as an update length.
 */
IDPROM_API uint32_t idprom_type_to_len(uint32_t type) IDPROM_NOEXCEPT;

/* ---- lookup ------------------------------------------------------------ */

/*
 * Copies the value of the instance-th entry (counted from 1) of the given
 * type code into out, which holds out_size bytes.  Integer-valued fixed-size
 * types with codes below 0xC0 are stored as host-order integers of the
 * class width (uint8_t, uint16_t or uint32_t); all other values are copied
 * unchanged.  With exact set the value length must equal out_size; with
 * exact clear it must not exceed it.  Nothing is written to out on failure
 * and the image is never modified.
 * Returns IDPROM_OK, IDPROM_ERR_NOT_FOUND (empty image, first byte 0xFF, no
 * such instance, instance 0, or a malformed entry met on the way),
 * IDPROM_ERR_LENGTH_MISMATCH (exact) or IDPROM_ERR_BUFFER_TOO_SMALL.
 */
IDPROM_API idprom_status idprom_get_field_data_instance(const uint8_t *image, uint32_t image_length,
                                                        uint32_t type, void *out, uint32_t out_size,
                                                        bool exact, uint32_t instance) IDPROM_NOEXCEPT;

/* idprom_get_field_data_instance with instance 1. */
IDPROM_API idprom_status idprom_get_field_data(const uint8_t *image, uint32_t image_length,
                                               uint32_t type, void *out, uint32_t out_size,
                                               bool exact) IDPROM_NOEXCEPT;

/* ---- update and append ------------------------------------------------- */

/*
 * Writes a new value for the instance-th entry (from 1) of a type code, in
 * place.  length_word gives the new length (and, for a resize or append of
 * the variable class, the display attribute) in the layout of the type's
 * length field; idprom_type_to_len() gives the standard one.  Integer-valued
 * fixed-size types are given as host-order integers of the class width.
 * Outcomes: same length -> value overwritten, length field untouched;
 * variable class with another length -> the field is resized and every
 * later entry and the end marker move; absent (or instance beyond those
 * present) and create set -> a new entry is appended at the end marker.
 * On success *dirty_offset and *dirty_length give the bytes the caller must
 * write back; on failure the image and both outputs are untouched.
 */
IDPROM_API idprom_status idprom_update_field_data_instance(uint8_t *image, uint32_t image_length,
                                                           bool create, uint32_t type,
                                                           uint32_t length_word, const void *data,
                                                           uint16_t *dirty_offset,
                                                           uint16_t *dirty_length,
                                                           uint32_t instance) IDPROM_NOEXCEPT;

/* idprom_update_field_data_instance with instance 1. */
IDPROM_API idprom_status idprom_update_field_data(uint8_t *image, uint32_t image_length, bool create,
                                                  uint32_t type, uint32_t length_word,
                                                  const void *data, uint16_t *dirty_offset,
                                                  uint16_t *dirty_length) IDPROM_NOEXCEPT;

/* ---- deletion ---------------------------------------------------------- */

/*
 * Removes the instance-th entry (from 1) of a type code: later entries and
 * the end marker move up over it and the freed bytes become 0xFF.  On
 * success the dirty region runs from the entry's first header byte to the
 * old end marker; on failure the image and both outputs are untouched.
 */
IDPROM_API idprom_status idprom_delete_field_instance(uint8_t *image, uint32_t image_length,
                                                      uint32_t type, uint16_t *dirty_offset,
                                                      uint16_t *dirty_length,
                                                      uint32_t instance) IDPROM_NOEXCEPT;

/* idprom_delete_field_instance with instance 1. */
IDPROM_API idprom_status idprom_delete_field(uint8_t *image, uint32_t image_length, uint32_t type,
                                             uint16_t *dirty_offset,
                                             uint16_t *dirty_length) IDPROM_NOEXCEPT;

/* ---- output sink and value rendering ----------------------------------- */

/*
 * The output sink.  With buf NULL: printf to standard output.  With a
 * buffer: the piece is formatted into an 80-byte scratch (at most 79
 * characters), copied to buf + *pos cut so that it and a zero byte fit in
 * size, and *pos advances by the full formatted length.  Once *pos has
 * reached size nothing more is written.
 */
IDPROM_API IDPROM_PRINTF_FORMAT(4, 5) void idprom_printf(char *buf, uint32_t *pos, uint32_t size,
                                                         const char *format, ...) IDPROM_NOEXCEPT;

/*
 * Renders length value bytes (read only, not kept) through the sink (buf,
 * *pos, size as for idprom_printf) by display attribute:
 *   0x40 decimal: length 1 or 2 as one unsigned number ("300"); length 4 as
 *        one signed 32-bit number ("-1" for ff ff ff ff); any other length
 *        byte by byte, joined by dots ("1.2.3"); length 0 writes nothing;
 *   0x80 text: the bytes up to length or the first zero byte, printable
 *        ones (isprint in the running locale) as themselves, others as
 *        "<%02x>" ("AB<07>");
 *   0x00 and 0xC0 hex: "%02x " per byte, and before the 9th, 17th, ... byte
 *        a newline, a tab and 27 spaces, so that continued rows line up
 *        under a listing's value column.
 * Big-endian numbers are read byte by byte; nothing is written to value.
 */
IDPROM_API void idprom_print_by_display_type(const uint8_t *value, uint32_t attribute,
                                             uint32_t length, char *buf, uint32_t *pos,
                                             uint32_t size) IDPROM_NOEXCEPT;

/* ---- field listing ----------------------------------------------------- */

/*
 * Lists the fields of an image as labelled lines.  Each shown entry writes
 * a newline, four spaces, its name filled to 25 characters, ": " and its
 * value, so that values start at character 31 of their line:
 *
 *     "\n    PID                      : LC-48GE-TX"
 *
 * A few types write two lines, a few none; types without a name of their
 * own are listed as "Unknown Field (type %04x): " and their value by display
 * attribute (as idprom_print_by_display_type).  The listing has no final
 * newline.
 *
 * image, image_length: the image, only read; NULL or length 0 lists
 * nothing.  The walk stops at the first 0xFF byte at an entry's start or at
 * the image's end.
 *
 * filter: NULL for every entry, otherwise see idprom_filter.
 *
 * instance: 0 lists every entry; 1 to 255 only the entries that are the
 * n-th of their first header byte (type byte; 0x00 for all extension-byte
 * types together), counted modulo 256 so the (n + 256)-th matches too;
 * above 255 nothing.  Counting covers every entry, listed or not.
 *
 * Only one form of the ECI number is shown: the numeric 0x8E is hidden when
 * the image holds a 0xEB entry whose text is not empty (first value byte not
 * zero); otherwise the 0xEB entry is hidden.
 *
 * buf, size: with buf NULL the listing goes to standard output.  Otherwise
 * it is written into buf starting at buf[0], each piece through the sink
 * rules of idprom_printf: the text is cut at size - 1 bytes and always
 * zero-terminated; nothing at or beyond buf[size] is touched.  A listing
 * that shows nothing (empty image, first byte 0xFF, everything filtered
 * out) writes nothing at all, not even a zero byte.
 *
 * A malformed entry ends the listing with the line
 * "\n\tIDPROM FIELD FORMAT ERROR, index 0x%x" (the entry's offset in the
 * image), which always goes to standard output, never into buf; the entries
 * before it stay listed.
 *
 * Values too short for their layout: the types that read values at fixed
 * positions need 6 bytes (0xC0, 0xC3, 0xCF, 0xE2, 0xE3), 5 (0xDF), 4 (0xD6,
 * 0xD7) or 3 + 2 * b2 (0xC8, 0xCD, where the third byte b2 counts 16-bit
 * calibration values).  A shorter stored value is never read past its end:
 * it is listed as the label up to its ": " followed by every stored byte in
 * hex, as the 0x00 attribute renders them, e.g. a 5-byte Base MAC Address
 *
 *     "\n    Base MAC Address         : 00 1a 2b 3c 4d "
 *
 * and for 0xD6 the first label, "\n    System Clock Freq (CPU)  : ".
 */
IDPROM_API void idprom_print_filter_fields_instance(const uint8_t *image, uint32_t image_length,
                                                    const idprom_filter *filter, uint32_t instance,
                                                    char *buf, uint32_t size) IDPROM_NOEXCEPT;

/* idprom_print_filter_fields_instance with instance 1, to standard output. */
IDPROM_API void idprom_print_filter_fields(const uint8_t *image, uint32_t image_length,
                                           const idprom_filter *filter) IDPROM_NOEXCEPT;

/* idprom_print_filter_fields_instance with instance 1, into buf. */
IDPROM_API void idprom_print_filter_fields_to_buf(const uint8_t *image, uint32_t image_length,
                                                  const idprom_filter *filter, char *buf,
                                                  uint32_t size) IDPROM_NOEXCEPT;

/* Every entry (no filter, instance 0), to standard output. */
IDPROM_API void idprom_print_all_fields(const uint8_t *image, uint32_t image_length) IDPROM_NOEXCEPT;

/* Every entry (no filter, instance 0), into buf. */
IDPROM_API void idprom_print_all_fields_to_buf(const uint8_t *image, uint32_t image_length,
                                               char *buf, uint32_t size) IDPROM_NOEXCEPT;

/* Every instance of the basic identification fields (idprom_basic_filter), into buf. */
IDPROM_API void idprom_print_basic_fields_to_buf(const uint8_t *image, uint32_t image_length,
                                                 char *buf, uint32_t size) IDPROM_NOEXCEPT;

/*
 * Callback of idprom_basic_filter: true for the 17 basic identification
 * type codes 0x40, 0x44, 0x48, 0x80, 0x82, 0x87, 0x89, 0x8A, 0x8D, 0x8E,
 * 0xC0, 0xC1, 0xC2, 0xC6, 0xCB, 0xDA, 0xEB, false for every other code.
 * Looks only at type; the other arguments may be anything, NULL included.
 */
IDPROM_API bool idprom_print_basic_fields(const uint8_t *value, uint32_t type, uint32_t attribute,
                                          uint32_t length, const uint8_t *counters) IDPROM_NOEXCEPT;

/*
 * The library's filter of the basic identification fields: include 1,
 * callback idprom_print_basic_fields, types the same 17 codes (0xCB, 0xDA,
 * 0x40, 0x48, 0xC1, 0x80, 0x87, 0xC0, 0x8D, 0x82, 0x8A, 0x89, 0xC6, 0x8E,
 * 0xC2, 0x44, 0xEB), then 0.  Constant; copy it to extend the list.
 */
IDPROM_API extern const idprom_filter idprom_basic_filter;

/* ---- hex dumps --------------------------------------------------------- */

/*
 * Plain dump of the used part of an image (up to its end marker, rounded up
 * to a 16-byte row, never past image_length) to standard output.
 */
IDPROM_API void idprom_dump(const uint8_t *image, uint32_t image_length) IDPROM_NOEXCEPT;

/* Hex dump with a text column of length bytes (at most 65520) to standard output. */
IDPROM_API void idprom_enhanced_dump(const uint8_t *data, uint32_t length) IDPROM_NOEXCEPT;

/*
 * The same rows into buf, after a leading newline stored in buf[0]; buf must
 * be valid and size at least 1.
 */
IDPROM_API void idprom_enhanced_dump_to_buf(const uint8_t *data, uint32_t length, char *buf,
                                            uint32_t size) IDPROM_NOEXCEPT;

/* ---- checksums --------------------------------------------------------- */

/*
 * 32-bit rotate-and-add checksum of length bytes: little-endian words, each
 * added after rotating the sum left by one, with end-around carry.  Never 0
 * or 0xFFFFFFFF.  A length of 0 gives 1.  data may have any alignment.
 */
IDPROM_API uint32_t calculate_crc(const void *data, uint32_t length) IDPROM_NOEXCEPT;

/*
 * One byte of CRC-16 (polynomial 0x1021, MSB first, no reflection), updating
 * *crc in place from whatever value it holds.
 */
IDPROM_API void crc_16(uint8_t byte, uint16_t *crc) IDPROM_NOEXCEPT;

/* CRC-16/XMODEM of length bytes (start 0, no final XOR); 0 for length <= 0. */
IDPROM_API uint16_t crc_16_buf(const void *data, int32_t length) IDPROM_NOEXCEPT;

/* ---- MAC addresses ----------------------------------------------------- */

/* Value of a hex digit (0-15), or -1 for any other character. */
IDPROM_API int32_t actoh(char ch) IDPROM_NOEXCEPT;

/*
 * Writes length bytes as lower-case hex pairs, a dot after every second
 * byte but the last ("001a.2b3c.4d5e" for six bytes), each pair formatted
 * with bound size.  Returns buf.  Nothing is written for length <= 0.
 */
IDPROM_API char *macstring_r(const uint8_t *mac, int32_t length, char *buf,
                             int32_t size) IDPROM_NOEXCEPT;

/* Reads dotted, colon or plain MAC text into the six bytes at mac. */
IDPROM_API void macbuf_r(const char *text, uint8_t *mac) IDPROM_NOEXCEPT;

/* Stores the low 48 bits of value big-endian in the six bytes at mac; returns 6. */
IDPROM_API int32_t mac64_to_macbuf(uint64_t value, uint8_t *mac) IDPROM_NOEXCEPT;

/* The six bytes at mac as a 48-bit big-endian integer. */
IDPROM_API uint64_t macbuf_to_mac64(const uint8_t *mac) IDPROM_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* IDPROM_H */
