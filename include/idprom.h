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
 * end marker.  The constants and small helpers of this layout, and names
 * for the known type codes (IDPROM_TYPE_PID is 0xCB), are defined below;
 * none of them adds a symbol to the library.
 *
 * Threads: the library has no writable state of its own, so calls on
 * different images may run in parallel, and reads of one image may run
 * alongside each other; an edit needs the image to itself.  Text of the
 * display attribute 0x80 shows a byte as itself when isprint() holds for
 * it in the running C locale (LC_CTYPE), so listings depend on that locale
 * (in the "C" locale, bytes 0x20 to 0x7E); nothing else does.  The forms
 * that print go to standard output through printf.
 *
 * This header is valid C99, C11 and C++.
 */
#ifndef IDPROM_H
#define IDPROM_H

#include <stdbool.h>
#include <stdint.h>

#define IDPROM_VERSION_MAJOR 0
#define IDPROM_VERSION_MINOR 2
#define IDPROM_VERSION_PATCH 0
#define IDPROM_VERSION_STRING "0.2.0"

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

/* Refusals of requests the image format cannot represent or the 16-bit
   dirty region cannot report; the image and the dirty outputs are left
   untouched.  */
/* update: the type code has no encoding: its low byte is 0x00 (an
   extension byte) or 0xFF (the end marker), e.g. 0x00, 0xFF, 0x100, 0x1FF */
#define IDPROM_ERR_INVALID_TYPE        UINT64_C(0x4010132CCA100809)
/* update: a variable-class type given a length word whose length bits are
   0 (a zero length field would cut the list for every later reader) */
#define IDPROM_ERR_INVALID_LENGTH      UINT64_C(0x4010132CCA10080A)
/* update and delete: the dirty offset or length would not fit 16 bits;
   only possible in images longer than 65535 bytes */
#define IDPROM_ERR_IMAGE_TOO_LARGE     UINT64_C(0x4010132CCA10080B)

/*
 * The name of a status constant as a static string, e.g.
 * "IDPROM_ERR_NO_ROOM" for IDPROM_ERR_NO_ROOM and "IDPROM_OK" for 0;
 * "unknown status" for any other value.  Never NULL.
 */
IDPROM_API const char *idprom_status_name(idprom_status status) IDPROM_NOEXCEPT;

/* ---- the image format --------------------------------------------------- */

/* Bytes with a meaning of their own at an entry's start. */
#define IDPROM_END_MARKER        0xFFu /* closes the list; filler after it */
#define IDPROM_EXTENSION_BYTE    0x00u /* each adds 256 to the type code */

/* Class of a type code: its bits 7-6 (those of the type byte). */
#define IDPROM_CLASS_MASK        0xC0u
#define IDPROM_CLASS_1           0x00u /* one value byte, no length field */
#define IDPROM_CLASS_2           0x40u /* two value bytes */
#define IDPROM_CLASS_4           0x80u /* four value bytes */
#define IDPROM_CLASS_VARIABLE    0xC0u /* length field, then the value */

/*
 * Length words.  Below type code 0xF0 the length field is one byte:
 * attribute in bits 7-6, length in bits 5-0 (1 to 63).  From 0xF0 on
 * (extension-byte codes included) it is two bytes, high byte first:
 * attribute in bits 15-14, length in bits 13-0 (1 to 16383).
 */
#define IDPROM_LONG_LENGTH_FROM  0xF0u
#define IDPROM_SHORT_LENGTH_MASK 0x3Fu
#define IDPROM_LONG_LENGTH_MASK  0x3FFFu
/* idprom_type_to_len of the two long types 0xF3 and 0xF4 */
#define IDPROM_LONG_TYPE_WORD    0xFFFFFFFFu

/* Display attributes, in bits 7-6 of a length field's first byte. */
#define IDPROM_ATTR_MASK         0xC0u
#define IDPROM_ATTR_DECIMAL      0x40u
#define IDPROM_ATTR_TEXT         0x80u
#define IDPROM_ATTR_HEX          0xC0u /* 0x00 is shown as hex too */

/*
 * Small helpers over a type code, for C and C++ (constexpr there).  They
 * are defined here, inline, and add no symbol to the library.
 */
#if defined(__cplusplus) && (__cplusplus >= 201103L || (defined(_MSVC_LANG) && _MSVC_LANG >= 201103L))
#define IDPROM_INLINE constexpr inline
#elif defined(__cplusplus)
#define IDPROM_INLINE inline
#else
#define IDPROM_INLINE static inline
#endif

/* Value width of a fixed-class type code (1, 2 or 4); 0 for the variable class. */
IDPROM_INLINE uint32_t idprom_fixed_width(uint32_t type) IDPROM_NOEXCEPT {
    return (type & IDPROM_CLASS_MASK) == IDPROM_CLASS_1   ? 1u
           : (type & IDPROM_CLASS_MASK) == IDPROM_CLASS_2 ? 2u
           : (type & IDPROM_CLASS_MASK) == IDPROM_CLASS_4 ? 4u
                                                          : 0u;
}

IDPROM_INLINE bool idprom_is_variable(uint32_t type) IDPROM_NOEXCEPT {
    return (type & IDPROM_CLASS_MASK) == IDPROM_CLASS_VARIABLE;
}

/* Bytes of the length field: 0 (fixed classes), 1, or 2 from 0xF0 on. */
IDPROM_INLINE uint32_t idprom_length_field_size(uint32_t type) IDPROM_NOEXCEPT {
    return !idprom_is_variable(type) ? 0u : type >= IDPROM_LONG_LENGTH_FROM ? 2u : 1u;
}

/* Header bytes: one extension byte per 256, the type byte, the length field. */
IDPROM_INLINE uint32_t idprom_header_size(uint32_t type) IDPROM_NOEXCEPT {
    return type / 256u + 1u + idprom_length_field_size(type);
}

/* The length bits of a length word, in the layout of the type's field. */
IDPROM_INLINE uint32_t idprom_length_of_word(uint32_t type, uint32_t word) IDPROM_NOEXCEPT {
    return word & (type >= IDPROM_LONG_LENGTH_FROM ? IDPROM_LONG_LENGTH_MASK
                                                   : IDPROM_SHORT_LENGTH_MASK);
}

/* The display attribute of a length word (0x00, 0x40, 0x80 or 0xC0). */
IDPROM_INLINE uint32_t idprom_attribute_of_word(uint32_t type, uint32_t word) IDPROM_NOEXCEPT {
    return (type >= IDPROM_LONG_LENGTH_FROM ? word >> 8 : word) & IDPROM_ATTR_MASK;
}

/* A length word for update: attribute and length of a variable-class type
   in its field's layout; the value width for the fixed classes. */
IDPROM_INLINE uint32_t idprom_length_word(uint32_t type, uint32_t attribute,
                                          uint32_t length) IDPROM_NOEXCEPT {
    return !idprom_is_variable(type) ? idprom_fixed_width(type)
           : type >= IDPROM_LONG_LENGTH_FROM
               ? (attribute & IDPROM_ATTR_MASK) << 8 | (length & IDPROM_LONG_LENGTH_MASK)
               : (attribute & IDPROM_ATTR_MASK) | (length & IDPROM_SHORT_LENGTH_MASK);
}

/* A type code can be written when its low byte is a type byte (0x01 to
   0xFE): 0x00 is an extension byte and 0xFF the end marker. */
IDPROM_INLINE bool idprom_has_encoding(uint32_t type) IDPROM_NOEXCEPT {
    return (type & 0xFFu) != IDPROM_EXTENSION_BYTE && (type & 0xFFu) != IDPROM_END_MARKER;
}

/*
 * The seven fixed-size types whose values are byte strings (part numbers,
 * revisions): 0x42, 0x82, 0x85, 0x87, 0x89, 0x8A, 0x8D.  Every other
 * fixed-size type holds a big-endian unsigned integer.
 */
IDPROM_INLINE bool idprom_is_byte_string(uint32_t code) IDPROM_NOEXCEPT {
    return code == 0x42u || code == 0x82u || code == 0x85u || code == 0x87u || code == 0x89u ||
           code == 0x8Au || code == 0x8Du;
}

/* Lookup and in-place update exchange a value with the caller as a
   host-order integer exactly for these codes: below 0xC0, not a byte string. */
IDPROM_INLINE bool idprom_lookup_is_integer(uint32_t type) IDPROM_NOEXCEPT {
    return type < IDPROM_CLASS_VARIABLE && !idprom_is_byte_string(type);
}

/* Append takes a host-order integer for a fixed-class code whose type byte
   is not a byte string (0x143 included, unlike lookup). */
IDPROM_INLINE bool idprom_append_is_integer(uint32_t type) IDPROM_NOEXCEPT {
    return !idprom_is_variable(type) && !idprom_is_byte_string(type & 0xFFu);
}

/* ---- type codes ---------------------------------------------------------- */

/*
 * Names of the known type codes, one per short name of the idprom tool
 * ("pcb-serial" is IDPROM_TYPE_PCB_SERIAL), with the listing's label; where
 * a label names several codes the names tell them apart.  The codes the
 * listing hides (0x0C, 0xD0, 0xD1, 0xD8, 0xD9) have no name.
 */
/* 1-byte class: one value byte */
#define IDPROM_TYPE_SLOTS              0x01 /* Number of Slots */
#define IDPROM_TYPE_FAB_REV            0x02 /* Fab Revision */
#define IDPROM_TYPE_RMA_TEST_HISTORY   0x03 /* RMA Test History */
#define IDPROM_TYPE_RMA_HISTORY        0x04 /* RMA History */
#define IDPROM_TYPE_CONNECTOR_TYPE     0x05 /* Connector Type */
#define IDPROM_TYPE_VEXA_MASTER        0x06 /* VEXA Preferred Master */
#define IDPROM_TYPE_VENDOR_ID          0x07 /* Vendor ID */
#define IDPROM_TYPE_PROCESSOR_TYPE     0x09 /* Processor type */
#define IDPROM_TYPE_POWER_SUPPLY       0x0B /* Power Supply Type */
#define IDPROM_TYPE_FORMAT_REV         0x0D /* IDPROM Format Revision */
#define IDPROM_TYPE_RACK_ID            0x0E /* Rack ID */
/* 2-byte class */
#define IDPROM_TYPE_CONTROLLER_TYPE    0x40 /* Controller Type */
#define IDPROM_TYPE_HW_REV             0x41 /* Hardware Revision */
#define IDPROM_TYPE_PCA_REV2           0x42 /* PCA Revision */
#define IDPROM_TYPE_MAC_BLOCK_SIZE     0x43 /* MAC Addr. Block Size */
#define IDPROM_TYPE_CAPABILITIES       0x44 /* Capabilities */
#define IDPROM_TYPE_SELF_TEST          0x45 /* Self test result */
#define IDPROM_TYPE_BOOT_TIMEOUT       0x46 /* Boot Timeout (in ms) */
#define IDPROM_TYPE_CHANNEL_ID         0x47 /* Motherboard Channel ID */
#define IDPROM_TYPE_CONTROLLER_FAMILY  0x48 /* Controller Family */
#define IDPROM_TYPE_CLI_WRITE_ENABLE   0x49 /* CLI Write Enable */
#define IDPROM_TYPE_RADIO_COUNTRY      0x4A /* Radio Country Code */
/* 4-byte class */
#define IDPROM_TYPE_DEVIATION          0x80 /* Deviation Number */
#define IDPROM_TYPE_RMA                0x81 /* RMA Number */
#define IDPROM_TYPE_PCA                0x82 /* PCA Number */
#define IDPROM_TYPE_HW_DATE            0x83 /* Hardware date code */
#define IDPROM_TYPE_MFG_ENGINEER       0x84 /* Manufacturing Engineer */
#define IDPROM_TYPE_FAB_PN             0x85 /* Fab Part Number */
#define IDPROM_TYPE_CALIBRATION        0x86 /* Calibration Data */
#define IDPROM_TYPE_TOP_ASSY_PN        0x87 /* Top Assy. Part Number */
#define IDPROM_TYPE_DEVIATION_N        0x88 /* Deviation Number # */
#define IDPROM_TYPE_VID                0x89 /* Version Identifier */
#define IDPROM_TYPE_PCA_REV            0x8A /* PCA Revision */
#define IDPROM_TYPE_LICENSE_ID         0x8B /* Licensing Transaction ID */
#define IDPROM_TYPE_FW_VERSION         0x8C /* Firmware Version */
#define IDPROM_TYPE_TOP_ASSY_REV       0x8D /* Top Assy. Revision */
#define IDPROM_TYPE_ECI                0x8E /* ECI Number */
/* variable class: length field, then the value */
#define IDPROM_TYPE_TOP_ASSY_PN6       0xC0 /* Top Assy. Part Number */
#define IDPROM_TYPE_PCB_SERIAL         0xC1 /* PCB Serial Number */
#define IDPROM_TYPE_CHASSIS_SERIAL     0xC2 /* Chassis Serial Number */
#define IDPROM_TYPE_CHASSIS_MAC        0xC3 /* Chassis MAC Address */
#define IDPROM_TYPE_MFG_TEST_DATA      0xC4 /* Manufacturing Test Data */
#define IDPROM_TYPE_FIELD_DIAG         0xC5 /* Field Diagnostics Data */
#define IDPROM_TYPE_CLEI               0xC6 /* CLEI Code */
#define IDPROM_TYPE_ENVMON             0xC7 /* ENVMON Information */
#define IDPROM_TYPE_CALIBRATION_C8     0xC8 /* Calibration Data */
#define IDPROM_TYPE_DEVICE_VALUES      0xC9 /* Device values */
#define IDPROM_TYPE_PID                0xCB /* PID */
#define IDPROM_TYPE_ASSET_ID           0xCC /* Asset ID */
#define IDPROM_TYPE_CALIBRATION_CD     0xCD /* Calibration Data */
#define IDPROM_TYPE_MAINBOARD_SERIAL   0xCE /* Mainboard Serial Number */
#define IDPROM_TYPE_BASE_MAC           0xCF /* Base MAC Address */
#define IDPROM_TYPE_RESERVED_MFG       0xD2 /* Reserved for Manufacturing */
#define IDPROM_TYPE_LONGITUDINAL_CAL   0xD3 /* Longitudinal Calibration */
#define IDPROM_TYPE_ASSET_ALIAS        0xD4 /* Asset Alias */
#define IDPROM_TYPE_PROCESSOR_LABEL    0xD5 /* Processor Label */
#define IDPROM_TYPE_CLOCK_FREQ         0xD6 /* System Clock Freq */
#define IDPROM_TYPE_POWER              0xD7 /* Power Consumption */
#define IDPROM_TYPE_UDI_DESC           0xDA /* UDI Description */
#define IDPROM_TYPE_UDI_NAME           0xDB /* UDI Name */
#define IDPROM_TYPE_TOP_ASSY_PN5       0xDF /* Top Assy. Part Number */
#define IDPROM_TYPE_PCA_LONG           0xE2 /* PCA Number */
#define IDPROM_TYPE_FAB_PN_LONG        0xE3 /* Fab Part Number */
#define IDPROM_TYPE_ECI_TEXT           0xEB /* ECI Number */
#define IDPROM_TYPE_ENVMON_DATA        0xF3 /* Environment Monitor Data */
#define IDPROM_TYPE_FIELD_DIAG_DATA    0xF4 /* Field Diagnostic Data */

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
 * Its size (272 bytes on LP64, 264 on 32-bit targets) is part of the ABI,
 * padding after include included (-Wpadded reports it; it stays).
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
 * always written; after a failure they hold what was decoded before the
 * fault, e.g. type 0x200 for two extension bytes that run to end, and are
 * not to be used) and, when attribute is not NULL, the display attribute
 * (0x00, 0x40, 0x80 or 0xC0; 0x00 for fixed-class entries).
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
 * type code into out, which holds out_size bytes; the image is only read.
 *
 * Host-order integers: the codes below 0xC0 for which
 * idprom_lookup_is_integer holds arrive as a uint8_t, uint16_t or uint32_t
 * (the class width) in host byte order: 0x01-0x3F and 0x40, 0x41, 0x43-0x7F,
 * 0x80, 0x81, 0x83, 0x84, 0x86, 0x88, 0x8B, 0x8C, 0x8E-0xBF.  Stored bytes:
 * the byte strings 0x42, 0x82, 0x85, 0x87, 0x89, 0x8A, 0x8D, every
 * variable-class value, and every code with extension bytes (0x143
 * included) arrive exactly as stored (numbers in them big-endian).
 *
 * exact chooses how out_size is read: set, it is the value length the
 * caller expects (a fixed width, or a text of known length), and a field
 * of any other length is refused; clear, it is the room in out, and any
 * field that fits is copied, its first length bytes written and the rest of
 * out left as it was (the length is not returned here:
 * idprom_get_field_data_ex reports it).
 *
 * Returns:
 *   IDPROM_OK                    the value is in out;
 *   IDPROM_ERR_NOT_FOUND         image_length 0, first byte 0xFF, no such
 *                                instance, instance 0, or a malformed entry
 *                                met on the way;
 *   IDPROM_ERR_LENGTH_MISMATCH   exact set and the length is not out_size;
 *   IDPROM_ERR_BUFFER_TOO_SMALL  exact clear and the length exceeds out_size.
 * Nothing is written to out on failure.
 */
IDPROM_API idprom_status idprom_get_field_data_instance(const uint8_t *image, uint32_t image_length,
                                                        uint32_t type, void *out, uint32_t out_size,
                                                        bool exact, uint32_t instance) IDPROM_NOEXCEPT;

/*
 * idprom_get_field_data_instance that also reports the stored length of the
 * value: when the instance is found, *length receives its length in bytes
 * (also when the call fails with IDPROM_ERR_LENGTH_MISMATCH or
 * IDPROM_ERR_BUFFER_TOO_SMALL, so a caller can size out and call again);
 * otherwise 0.  length may be NULL.  With exact clear, out NULL and
 * out_size 0 the call only measures: it returns IDPROM_ERR_BUFFER_TOO_SMALL
 * with the length (every stored value holds at least one byte).
 */
IDPROM_API idprom_status idprom_get_field_data_ex(const uint8_t *image, uint32_t image_length,
                                                  uint32_t type, void *out, uint32_t out_size,
                                                  bool exact, uint32_t instance,
                                                  uint32_t *length) IDPROM_NOEXCEPT;

/* idprom_get_field_data_instance with instance 1. */
IDPROM_API idprom_status idprom_get_field_data(const uint8_t *image, uint32_t image_length,
                                               uint32_t type, void *out, uint32_t out_size,
                                               bool exact) IDPROM_NOEXCEPT;

/* ---- update and append ------------------------------------------------- */

/*
 * Writes a new value for the instance-th entry (counted from 1) of a type
 * code into the image, in place, and reports the bytes to write back.
 *
 *   image         the caller's image, read and (on success) modified; the
 *                 library keeps no pointer to it.  May be NULL when
 *                 image_length is 0.
 *   image_length  its length in bytes.  Offsets are counted in 32 bits, so
 *                 every edit of an image of up to 65535 bytes is exact.
 *   create        allow appending the entry when it is absent.
 *   type          the type code (256 per extension byte + type byte).
 *   length_word   the new length in the layout of the type's length field:
 *                 below type 0xF0 bits 5-0 are the length and bits 7-6 the
 *                 display attribute; from 0xF0 on bits 13-0 and 15-14.
 *                 idprom_type_to_len(type) gives the standard one
 *                 (0xFFFFFFFF: attribute 0xC0, length 16383).  The attribute
 *                 is written only by a resize or an append.
 *   data          the new value (1, 2 or 4 bytes for the fixed classes,
 *                 the new length for the variable class), only read.  It
 *                 may lie wholly in image (another field's value, or this
 *                 one's): it is read as it stood before the edit, without
 *                 a copy, wherever the edit moves it.  Integer-valued fixed-size
 *                 types are given as a host-order uint8_t, uint16_t or
 *                 uint32_t and stored big-endian.  Which codes count: on an
 *                 overwrite, codes below 0xC0 (as idprom_get_field_data
 *                 reads them back); on an append, the type byte alone, so
 *                 an appended 0x143 is stored big-endian while an existing
 *                 0x143 is overwritten with the bytes as given.  Everything
 *                 else is copied as given.
 *   dirty_offset, dirty_length
 *                 valid pointers; receive the dirty region on success: the
 *                 caller writes back exactly these bytes.  Not written on
 *                 failure.
 *   instance      counted from 1; 0 never matches an existing entry.
 *
 * The entries are walked from byte 0.  Outcomes:
 *   - found, same length: the value is overwritten; the length field and its
 *     attribute stay.  Dirty: the value (offset of its first byte, length).
 *   - found, another length, variable class: the field is resized; later
 *     entries and the end marker move, and the bytes from the new end
 *     marker to the image's end become 0xFF.  A growth equal to the bytes
 *     from the end marker (included) to the image's end fills the image
 *     and leaves no end marker.  Dirty: the entry's first header byte up to
 *     the image's end.
 *   - the walk meets the end marker (or image[0] is 0xFF) before the
 *     instance, and create is set: a new entry is appended there, followed
 *     by an end marker.  The value width of the fixed classes comes from
 *     the class (1, 2 or 4), whatever the length word says.  Dirty: the new
 *     entry and its end marker.
 *
 * Returns, checked in this order:
 *   IDPROM_ERR_END_OF_IMAGE         image_length is 0;
 *   IDPROM_ERR_INVALID_TYPE         type has no encoding (low byte 0x00 or
 *                                   0xFF);
 *   IDPROM_ERR_INVALID_LENGTH       variable-class type whose length bits
 *                                   are 0 (idprom_type_to_len gives 0 for
 *                                   types without a standard length);
 *   IDPROM_ERR_NOT_FOUND            a malformed entry met on the walk;
 *   IDPROM_ERR_END_OF_IMAGE         the walk ran to the image's end without
 *                                   meeting the instance or an end marker;
 *   IDPROM_ERR_LENGTH_MISMATCH      found, fixed class (extension-byte codes
 *                                   included) and another length;
 *   IDPROM_ERR_NO_END_MARKER        resize, and no end marker after the field;
 *   IDPROM_ERR_NO_ROOM_TO_GROW      resize, growth beyond the room left;
 *   IDPROM_ERR_NOT_FOUND_NO_CREATE  absent and create clear;
 *   IDPROM_ERR_NO_ROOM              append, and the entry plus an end marker
 *                                   do not fit before the image's end (e.g.
 *                                   the end marker is the image's last byte);
 *   IDPROM_ERR_IMAGE_TOO_LARGE      the dirty offset or length would exceed
 *                                   65535 (images over 65535 bytes only);
 *   IDPROM_OK                       done.
 * On every failure the image is byte for byte unchanged and neither dirty
 * output is written.
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
 * Removes the instance-th entry (counted from 1) of a type code, extension
 * bytes included: the later entries and the end marker move up over it and
 * the freed bytes before the old end marker become 0xFF.
 *
 *   image, image_length  the caller's image, modified on success only
 *                        (image may be NULL when image_length is 0).
 *   type                 the type code to delete.
 *   dirty_offset, dirty_length
 *                        valid pointers; on success they receive the
 *                        region from the entry's first header byte up to
 *                        (not including) the old end marker, which stays
 *                        0xFF.  Not written on failure.
 *   instance             counted from 1; 0 matches nothing.
 *
 * Returns, checked in this order:
 *   IDPROM_ERR_NOT_FOUND        empty image, image[0] is 0xFF, no such
 *                               instance, instance 0, or a malformed entry
 *                               met on the walk;
 *   IDPROM_ERR_NO_END_MARKER    no end marker after the entry (the list runs
 *                               to the image's end, or is malformed there);
 *   IDPROM_ERR_IMAGE_TOO_LARGE  the dirty offset or length would exceed
 *                               65535 (images over 65535 bytes only);
 *   IDPROM_OK                   done.
 * On every failure the image is byte for byte unchanged and neither dirty
 * output is written.
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
 *     "\n    PID                      : LC-TEST-01"
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
 * image), which always goes to standard output, also for the buffer forms,
 * never into buf; the entries before it stay listed in buf.  A program
 * that must keep standard output clean checks the list first (walk it with
 * idprom_get_entry) and lists only the part that decodes.
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
 * Rows of 16 bytes.  Lengths and offsets are 16-bit quantities: keep the
 * dumped length at or below 65520 (0xFFF0).  The length is rounded up to a
 * row as (n + 15) & 0xFFF0, which wraps above 65520: n from 65521 to 65535
 * shows nothing, and a larger n shows only the first (n + 15) & 0xFFF0
 * bytes, in full rows.  No dump reads beyond the bytes it is given and
 * none reports anything.  A NULL image or data pointer shows nothing (the
 * buffer variant still stores its newline); other invalid pointers are not
 * detected.
 */

/*
 * Plain dump of the used part of an image to standard output.  The extent
 * is the offset of the end marker that closes the list walked from
 * image[0], or image_length when there is none (empty image, malformed
 * list, or a list that runs to the last byte).  The extent is rounded up to a whole
 * row but never past image_length, so a marker inside a row is shown with
 * the filler after it and a marker at a multiple of 16 is not shown.
 * Each row is "\n\t  0x%02x:" with the row's offset, then " %02x" per byte:
 *
 *   \n\t  0x00: c1 03 61 62 63 ff ff ff ff ff ff ff ff ff ff ff
 *
 * Offsets take three digits from 0x100 on.  The text starts with a newline
 * and has no final one; an image whose first byte is 0xFF prints nothing.
 * There is no buffer form.
 */
IDPROM_API void idprom_dump(const uint8_t *image, uint32_t image_length) IDPROM_NOEXCEPT;

/*
 * Dump of length bytes of data (any bytes) to standard output, with a text
 * column.  Each row is "  %03X:" with the row's offset, " %02X" per byte,
 * "   " for each byte a short last row lacks, a four-space separator, one
 * character per byte (the byte itself in 0x20..0x7E, whatever the locale,
 * otherwise '.') and "\n":
 *
 *     000: 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50    ABCDEFGHIJKLMNOP
 *     010: 51 52 53 54                                        QRST
 *
 * A full row is 74 characters and a newline, a short row of m bytes 58 + m
 * and a newline; offsets take four digits from 0x1000 on, one character
 * wider.  A length of 0 (or 65521 to 65535) prints nothing.
 */
IDPROM_API void idprom_enhanced_dump(const uint8_t *data, uint32_t length) IDPROM_NOEXCEPT;

/*
 * The rows of idprom_enhanced_dump into buf, a caller's buffer of size
 * bytes.  With buf NULL or size 0 nothing at all is written.  Otherwise a
 * newline is stored in buf[0] first, whatever length is; the rows follow from buf[1], each piece
 * appended through idprom_printf, so the text is cut where the buffer ends
 * and closed by a zero byte.  Nothing is written at or past buf[size].
 * A length that shows nothing (0, 65521 to 65535), or a size of 1, leaves
 * only the newline in buf[0], with no zero byte after it.  The whole text
 * of n bytes below 0x1000 is 1 + 75 * (n / 16) characters, plus 59 + n % 16
 * for a short last row; 256 bytes need a size of 1202.  The caller is not
 * told how much was written or cut.
 */
IDPROM_API void idprom_enhanced_dump_to_buf(const uint8_t *data, uint32_t length, char *buf,
                                            uint32_t size) IDPROM_NOEXCEPT;

/* ---- checksums --------------------------------------------------------- */

/*
 * 32-bit rotate-and-add checksum of the length bytes at data.  The bytes are
 * taken as 32-bit words, least significant byte first, read one byte at a
 * time so data may have any alignment.  For each word the running sum (from
 * 0) is rotated left by one bit and the word added with end-around carry
 * (one's-complement addition).  A trailing 1 to 3 bytes are copied into a
 * zero-filled word, first byte lowest, and added as one more word.
 *
 * data is read only; the caller's bytes, trailing partial word included, are
 * never written.  The result is never 0 or 0xFFFFFFFF: a sum of 0 is returned
 * as 1 and 0xFFFFFFFF as 0xFFFFFFFE.  A length of 0 returns 1 without reading
 * data.  data is not tested: the caller passes length readable bytes.
 */
IDPROM_API uint32_t idprom_calculate_crc(const void *data, uint32_t length) IDPROM_NOEXCEPT;

/*
 * Adds one data byte to a CRC-16 with generator 0x1021 (x^16+x^12+x^5+1),
 * most significant bit first, nothing reflected.  *crc is read and replaced
 * in place; it continues from whatever value it holds, with no initial value
 * and no final XOR applied, so a CRC can be computed in pieces by carrying the
 * variable over.  Computed in a few shifts, without a table.  crc must point
 * to a writable uint16_t; it is not tested.
 */
IDPROM_API void idprom_crc_16(uint8_t byte, uint16_t *crc) IDPROM_NOEXCEPT;

/*
 * CRC-16 of the length bytes at data: idprom_crc_16 over each byte in order,
 * starting from 0, no final XOR.  This is the XMODEM CRC: 0x31C3 over
 * "123456789".  Returns 0 for a length of 0 or less, without reading data.
 * data is read only and not tested.
 */
IDPROM_API uint16_t idprom_crc_16_buf(const void *data, int32_t length) IDPROM_NOEXCEPT;

/* ---- MAC addresses ----------------------------------------------------- */

/*
 * A MAC address is six bytes, the first the most significant.  As text it is
 * written in the dotted form "001a.2b3c.4d5e" and read in that form, the colon
 * form "00:1a:2b:3c:4d:5e" or the plain form "001a2b3c4d5e", in either case.
 * None of these functions tests its pointers.
 */

/*
 * Value of a hexadecimal digit: 0-9 for '0'-'9', 10-15 for 'a'-'f' and
 * 'A'-'F', and -1 for every other character (the zero byte and characters
 * with the top bit set included).
 */
IDPROM_API int32_t idprom_actoh(char ch) IDPROM_NOEXCEPT;

/*
 * Writes the length bytes at mac into buf as lower-case hex pairs, with a dot
 * after every second byte but the last: six bytes give "001a.2b3c.4d5e".
 * Returns buf.
 *
 * Each pair is formatted at its own place as snprintf(place, size, "%02x")
 * would, so the text ends with the terminator of the last pair; each dot is
 * stored over the terminator of the pair before it.  buf must hold
 * 2*length + (length-1)/2 + 1 bytes (15 for six bytes) whatever size says:
 * size is not the buffer's size but the bound of each pair, counted from
 * that pair's place, and 3 or more formats every pair whole.  So a 10-byte
 * buffer given size 10 receives all 15 bytes of six: allocate the size
 * above and pass it (or 3).
 *
 * Nothing is ever written at or past place + size, nor at or past place + 3,
 * for any pair, so nothing lands outside the room above whatever size says.  A
 * size too small for a pair cuts every pair short the way the bounded
 * formatting does, and stores no dot (the dot's byte lies past the bound):
 * size 2 writes the first digit and a terminator at each place, size 1 only
 * a terminator, size 0 or a negative size nothing at all.  Places stay where
 * the whole text would put them.  A length of 0 or less writes nothing, not
 * even a terminator.
 */
IDPROM_API char *idprom_macstring_r(const uint8_t *mac, int32_t length, char *buf,
                                    int32_t size) IDPROM_NOEXCEPT;

/*
 * Reads MAC text into the six bytes at mac, which are all overwritten.  text
 * is a zero-terminated string, read only.  If it contains "." anywhere it is
 * read in the dotted form, else if it contains ":" in the colon form, else in
 * the plain form.  Each byte comes from two characters at fixed positions of
 * the form; separators and anything after the last pair are not read.
 *
 * Nothing is validated: a byte is the low eight bits of
 * idprom_actoh(first) << 4 | idprom_actoh(second), so a non-hex second character gives
 * 0xFF ("zz" and "5z" give 0xFF) and a non-hex first character with a hex
 * second gives 0xF0 plus its value ("z5" gives 0xF5).  Nothing is read at or
 * past the terminator: a text shorter than its form (14, 17 or 12
 * characters) reads as if padded with non-hex characters, so each missing or
 * cut pair gives 0xFF.
 */
IDPROM_API void idprom_macbuf_r(const char *text, uint8_t *mac) IDPROM_NOEXCEPT;

/*
 * Stores the low 48 bits of value in the six bytes at mac, most significant
 * first: byte i receives bits 47-8i down to 40-8i.  The upper 16 bits of value
 * are ignored.  Returns 6, the number of bytes written.
 */
IDPROM_API int32_t idprom_mac64_to_macbuf(uint64_t value, uint8_t *mac) IDPROM_NOEXCEPT;

/*
 * The six bytes at mac (read only) as a 48-bit integer, byte 0 in bits 47-40
 * down to byte 5 in bits 7-0; the upper 16 bits are zero.
 */
IDPROM_API uint64_t idprom_macbuf_to_mac64(const uint8_t *mac) IDPROM_NOEXCEPT;

/* ---- short names --------------------------------------------------------- */

/*
 * The utilities' first names, kept for existing callers: each is exactly
 * the idprom_ function of the same name (calculate_crc is
 * idprom_calculate_crc).  Short global names may collide with a program's
 * own; such a program defines IDPROM_NO_SHORT_NAMES before including this
 * header and links a library built with -DIDPROM_SHORT_NAMES=OFF, which
 * leaves them out (the library's CMake targets then define the macro for
 * their users).
 */
#ifndef IDPROM_NO_SHORT_NAMES
IDPROM_API uint32_t calculate_crc(const void *data, uint32_t length) IDPROM_NOEXCEPT;
IDPROM_API void crc_16(uint8_t byte, uint16_t *crc) IDPROM_NOEXCEPT;
IDPROM_API uint16_t crc_16_buf(const void *data, int32_t length) IDPROM_NOEXCEPT;
IDPROM_API int32_t actoh(char ch) IDPROM_NOEXCEPT;
IDPROM_API char *macstring_r(const uint8_t *mac, int32_t length, char *buf,
                             int32_t size) IDPROM_NOEXCEPT;
IDPROM_API void macbuf_r(const char *text, uint8_t *mac) IDPROM_NOEXCEPT;
IDPROM_API int32_t mac64_to_macbuf(uint64_t value, uint8_t *mac) IDPROM_NOEXCEPT;
IDPROM_API uint64_t macbuf_to_mac64(const uint8_t *mac) IDPROM_NOEXCEPT;
#endif

#ifdef __cplusplus
}
#endif

#endif /* IDPROM_H */
