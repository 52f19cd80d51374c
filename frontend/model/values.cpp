// One codec per value form of the type catalogue: a writer that turns an
// entry's bytes into text and a reader that turns that text back into the
// same bytes.  The type's class width and length field bound what a reader
// may produce; a writer that cannot write some bytes (a MAC address that is
// not six bytes long) leaves them to "hex:".
#include "model/values.hpp"

#include <cctype>
#include <iterator>
#include <string>

#include "base/errors.hpp"
#include "idprom.hpp"
#include "model/image.hpp"
#include "model/macaddr.hpp"
#include "model/types.hpp"

namespace idprom::tool {
namespace {

[[noreturn]] void fail(const ValueContext &ctx, std::string_view text,
                       const std::string &expected) {
  std::string what = type_label(ctx.type);
  if (what.empty()) what = "type";
  throw Failure(kExitValue, "value '" + std::string(text) + "' for " + what + " (" + hex(ctx.type) +
                                "): expected " + expected);
}

Bytes big_endian(uint64_t value, uint32_t width) {
  Bytes out(width);
  for (uint32_t i = 0; i < width; ++i)
    out[i] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
  return out;
}

uint64_t max_of(uint32_t width) { return (uint64_t{1} << (8 * width)) - 1; }

std::string width_text(uint32_t width) { return "0 to " + std::to_string(max_of(width)); }

// Decimal ("0x" for hex); 32-bit values may be negative, as the listing
// prints them signed.
Bytes read_decimal(std::string_view text, const ValueContext &ctx) {
  const uint32_t width = fixed_width(ctx.type);
  std::string_view digits = text;
  const bool negative = width == 4 && digits.starts_with('-');
  if (negative) digits.remove_prefix(1);
  const bool is_hex = digits.starts_with("0x") || digits.starts_with("0X");
  const auto v = parse_unsigned(is_hex ? digits.substr(2) : digits, is_hex ? 16 : 10);
  if (!v || *v > (negative ? uint64_t{0x80000000} : max_of(width))) {
    fail(ctx, text,
         "an integer from " + std::string(width == 4 ? "-2147483648 to " : "0 to ") +
             std::to_string(max_of(width)));
  }
  return big_endian(negative ? (uint64_t{1} << 32) - *v : *v, width);
}

Bytes read_hex_int(std::string_view text, const ValueContext &ctx) {
  const uint32_t width = fixed_width(ctx.type);
  std::string digits;
  for (char c : text) {
    if (c != ' ') digits += c;
  }
  std::string_view d = digits;
  if (d.starts_with("0x") || d.starts_with("0X")) d.remove_prefix(2);
  const auto v = d.size() <= 2 * width ? parse_unsigned(d, 16) : std::nullopt;
  if (!v) fail(ctx, text, "up to " + std::to_string(2 * width) + " hex digits");
  return big_endian(*v, width);
}

// Numbers joined by a separator, each of the byte width its row gives:
// 73-1234-02 for a part number of widths 1-2-1.  A version (numbers joined
// by '.') may leave out trailing numbers, which are 0, as versions are
// read: Hardware Revision 1 is 1.0, Firmware Version 4.2 is 4.2.0.0.  A
// fixed-size value also reads as the one integer `get --int` prints, in
// hex with 0x (0x0102 for Hardware Revision 1.2); never as a plain decimal
// integer, which would make 1 mean 0.1.
Bytes read_fields(std::string_view text, const ValueContext &ctx) {
  const TypeInfo &row = *find_type(ctx.type);
  const char separator = catalogue::separator(row);
  if (!is_variable(ctx.type) && (text.starts_with("0x") || text.starts_with("0X")))
    return read_hex_int(text, ctx);
  std::vector<std::string_view> parts;
  for (size_t pos = 0;;) {
    const size_t cut = text.find(separator, pos);
    parts.push_back(text.substr(pos, cut - pos));
    if (cut == std::string_view::npos) break;
    pos = cut + 1;
  }
  const bool version = separator == '.';
  Bytes out;
  std::string expected;
  bool ok = true;
  size_t i = 0;
  for (; i < 4 && row.groups[i].width != 0; ++i) {
    const uint32_t width = row.groups[i].width;
    expected += (i == 0 ? "" : std::string(1, separator)) + "(" + width_text(width) + ")";
    const auto v = i < parts.size() ? parse_unsigned(parts[i], 10)
                   : version        ? std::optional<uint64_t>(0)
                                    : std::nullopt;
    ok = ok && v && *v <= max_of(width);
    if (ok) {
      const Bytes part = big_endian(*v, width);
      out.insert(out.end(), part.begin(), part.end());
    }
  }
  if (!ok || parts.size() > i || (!version && parts.size() != i)) {
    fail(ctx, text, "decimal numbers " + expected +
                        (version ? ", trailing ones 0 when left out" : ""));
  }
  return out;
}

Bytes read_power_supply(std::string_view text, const ValueContext &ctx) {
  std::string t(text);
  for (char &c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (t == "AC") return {0};
  if (t == "DC") return {1};
  return read_decimal(text, ctx);
}

// Watts with up to two decimals, stored in hundredths ("40", "12.5",
// "12.34").  The listing's own text ("40 Watts (Maximum)") reads back too.
Bytes read_watts(std::string_view given, const ValueContext &ctx) {
  std::string_view text = given;
  for (std::string_view suffix : {" Watts (Maximum)", " Watts"}) {
    if (text.ends_with(suffix)) {
      text.remove_suffix(suffix.size());
      break;
    }
  }
  const size_t dot = text.find('.');
  const std::string_view cents = dot == std::string_view::npos ? "" : text.substr(dot + 1);
  const auto w = parse_unsigned(text.substr(0, dot), 10);
  const auto c = cents.empty() ? std::optional<uint64_t>(0) : parse_unsigned(cents, 10);
  const bool ok = w && c && cents.size() <= 2 && (dot == std::string_view::npos || !cents.empty());
  const uint64_t hundredths = ok ? *w * 100 + *c * (cents.size() == 1 ? 10 : 1) : 0;
  if (!ok || *w > 0xFFFFFFFFU / 100 || hundredths > 0xFFFFFFFFU) {
    fail(ctx, given, "watts from 0 to 42949672.95, with up to two decimals");
  }
  return big_endian(hundredths, 4);
}

// Standard value length of a type, 0 when it has none.
uint32_t standard_length(uint32_t type) {
  if (!is_variable(type)) return fixed_width(type);
  const uint32_t word = idprom_type_to_len(type);
  return word == 0xFFFFFFFFU ? 0 : word & 0x3F;
}

// Text with its escapes undone, padded with zero bytes to the length of
// the field it replaces, or of the type's standard length for a new field;
// longer text of a variable-class type makes the field longer.
Bytes read_text(std::string_view text, const ValueContext &ctx) {
  auto bytes = unescape_text(text);
  if (!bytes) {
    fail(ctx, text, "printable ASCII text, other bytes as \\xHH and a backslash as \\\\");
  }
  const uint32_t target = ctx.current_length.value_or(standard_length(ctx.type));
  const uint32_t limit = is_variable(ctx.type) ? max_length(ctx.type) : fixed_width(ctx.type);
  if (bytes->size() > limit) fail(ctx, text, "text of 1 to " + std::to_string(limit) + " characters");
  if (bytes->size() < target) bytes->resize(target, 0);
  return *bytes;
}

Bytes read_mac(std::string_view text, const ValueContext &ctx) {
  auto mac = parse_mac(text);
  if (!mac) fail(ctx, text, "a MAC address like 001a.2b3c.4d5e, 00:1a:2b:3c:4d:5e or 001a2b3c4d5e");
  return *mac;
}

// Decimal bytes separated by spaces (or dots).
Bytes read_decimal_bytes(std::string_view text, const ValueContext &ctx) {
  Bytes out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find_first_of(" .", pos);
    const std::string_view item = text.substr(pos, end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    if (item.empty()) continue;
    const auto v = parse_unsigned(item, 10);
    if (!v || *v > 255) fail(ctx, text, "decimal bytes (0 to 255) separated by spaces or dots");
    out.push_back(static_cast<uint8_t>(*v));
  }
  return out;
}

Bytes read_hex(std::string_view text, const ValueContext &ctx) {
  auto bytes = parse_hex_bytes(text);
  if (!bytes) fail(ctx, text, "hex bytes such as 'c1 8b 46' or 'c18b46'");
  return *bytes;
}

Bytes read_by_attribute(std::string_view text, const ValueContext &ctx) {
  if (ctx.attribute == kAttrText) return read_text(text, ctx);
  if (ctx.attribute == kAttrDecimal) return read_decimal_bytes(text, ctx);
  return read_hex(text, ctx);
}

// ---- writers ---------------------------------------------------------------

// An entry's value as the writers see it.  A writer returns std::nullopt
// for bytes its form cannot write, which then go as "hex:" and hex digits.
struct Value {
  const ValueContext &ctx;
  std::span<const uint8_t> bytes;
  MacForm mac;
};
using Text = std::optional<std::string>;

uint64_t number_of(std::span<const uint8_t> bytes) {
  uint64_t n = 0;
  for (uint8_t b : bytes) n = n << 8 | b;
  return n;
}

bool fixed_size(const Value &v) { return v.bytes.size() == fixed_width(v.ctx.type); }

Text write_decimal(const Value &v) {
  return fixed_size(v) ? Text(std::to_string(number_of(v.bytes))) : std::nullopt;
}

Text write_hex_int(const Value &v) { return fixed_size(v) ? Text(hex_string(v.bytes)) : std::nullopt; }

// The listing's own text ("073-1234-02"), where the value holds exactly the
// bytes of its groups (the listing shows no others): the entry alone, with
// its header, is an image to list.
Text write_fields(const Value &v) {
  uint32_t need = 0;
  for (const catalogue::Group &g : find_type(v.ctx.type)->groups) need += g.width;
  if (v.bytes.size() != need) return std::nullopt;
  const uint32_t type = v.ctx.type;
  const uint32_t word = length_word(type, v.ctx.attribute, need);
  const uint32_t field = idprom_length_field_size(type);
  Bytes image(type / 256, IDPROM_EXTENSION_BYTE);
  image.push_back(static_cast<uint8_t>(type & 0xFF));
  if (field == 2) image.push_back(static_cast<uint8_t>(word >> 8));
  if (field != 0) image.push_back(static_cast<uint8_t>(word & 0xFF));
  image.insert(image.end(), v.bytes.begin(), v.bytes.end());
  image.push_back(kEndMarker);
  const ImageView view(image);
  return value_text(view, *view.find(type));
}

// AC and DC stand for 0 and 1 only (the listing shows DC for any other
// byte, which is written as its number).
Text write_power_supply(const Value &v) {
  if (!fixed_size(v)) return std::nullopt;
  const uint64_t n = number_of(v.bytes);
  return n == 0 ? "AC" : n == 1 ? "DC" : std::to_string(n);
}

Text write_watts(const Value &v) {
  if (v.bytes.size() != 4) return std::nullopt;
  const uint64_t hundredths = number_of(v.bytes);
  std::string text = std::to_string(hundredths / 100);
  if (hundredths % 100 != 0) {
    text += '.' + std::to_string(hundredths % 100 / 10);
    if (hundredths % 10 != 0) text += std::to_string(hundredths % 10);
  }
  return text;
}

// Without the zero bytes that pad it, which read_text puts back.
Text write_text(const Value &v) {
  auto end = v.bytes.end();
  while (end != v.bytes.begin() && *(end - 1) == 0) --end;
  return escape_text(std::span<const uint8_t>(v.bytes.begin(), end));
}

Text write_mac(const Value &v) {
  if (v.bytes.size() != 6) return std::nullopt;
  return mac_text(number_of(v.bytes), v.mac);
}

std::string decimal_bytes(std::span<const uint8_t> bytes, char separator) {
  std::string out;
  for (uint8_t b : bytes) out += (out.empty() ? "" : std::string(1, separator)) + std::to_string(b);
  return out;
}

Text write_decimal_bytes(const Value &v) { return decimal_bytes(v.bytes, ' '); }

Text write_hex_bytes(const Value &v) { return hex_string(v.bytes); }

// Dotted decimal bytes as the listing shows most decimal values.
Text write_by_attribute(const Value &v) {
  if (v.ctx.attribute == kAttrText) return write_text(v);
  if (v.ctx.attribute == kAttrDecimal) return decimal_bytes(v.bytes, '.');
  return hex_string(v.bytes);
}

// ---- the codecs ------------------------------------------------------------

struct Codec {
  Text (*write)(const Value &);
  Bytes (*read)(std::string_view, const ValueContext &);
};

// In the order of Form.
constexpr Codec kCodecs[] = {
    {write_decimal, read_decimal},
    {write_hex_int, read_hex_int},
    {write_fields, read_fields},
    {write_power_supply, read_power_supply},
    {write_watts, read_watts},
    {write_text, read_text},
    {write_mac, read_mac},
    {write_decimal_bytes, read_decimal_bytes},
    {write_by_attribute, read_by_attribute},
    {write_hex_bytes, read_hex},
};
static_assert(std::size(kCodecs) == static_cast<size_t>(Form::kHexBytes) + 1);

const Codec &codec_of(uint32_t type) { return kCodecs[static_cast<size_t>(form_of(type))]; }

void check_size(const Bytes &bytes, std::string_view text, const ValueContext &ctx) {
  const uint32_t width = fixed_width(ctx.type);
  if (!is_variable(ctx.type) && bytes.size() != width) {
    fail(ctx, text, "exactly " + count_of(width, "byte", "bytes"));
  }
  if (is_variable(ctx.type) && (bytes.empty() || bytes.size() > max_length(ctx.type))) {
    fail(ctx, text, "1 to " + std::to_string(max_length(ctx.type)) + " bytes");
  }
}

}  // namespace

std::string integer_text(uint32_t type, uint64_t value) {
  const TypeInfo *row = find_type(type);
  if (row != nullptr && (row->form == Form::kHexInt || row->form == Form::kFields)) {
    return hex(value, static_cast<int>(2 * fixed_width(type)));
  }
  return std::to_string(value);
}

void check_attribute(uint32_t type, std::optional<uint32_t> attribute) {
  if (!attribute || *attribute == 0 || is_variable(type)) return;
  const std::string label = type_label(type);
  throw Failure(kExitValue, (label.empty() ? "type" : label) + " (" + hex(type) +
                                ") is a fixed-size type and has no display attribute (hex, text "
                                "and decimal apply to variable-length types)");
}

std::optional<Bytes> parse_hex_bytes(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  Bytes out;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == ':' || c == '-' || c == '\t') {
      if (high >= 0) return std::nullopt;  // separators only between pairs
      continue;
    }
    const int32_t digit = actoh(c);
    if (digit < 0) return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      out.push_back(static_cast<uint8_t>(high << 4 | digit));
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return out;
}

// Dotted (001a.2b3c.4d5e), colon (00:1a:2b:3c:4d:5e) or plain (001a2b3c4d5e).
std::optional<Bytes> parse_mac(std::string_view text) {
  const std::string_view shape = text.size() == 14   ? "xxxx.xxxx.xxxx"
                                 : text.size() == 17 ? "xx:xx:xx:xx:xx:xx"
                                                     : "xxxxxxxxxxxx";
  bool ok = text.size() == shape.size();
  for (size_t i = 0; ok && i < text.size(); ++i) {
    ok = shape[i] == 'x' ? actoh(text[i]) >= 0 : text[i] == shape[i];
  }
  if (!ok) return std::nullopt;
  Bytes out(6);
  const std::string zero_terminated(text);
  macbuf_r(zero_terminated.c_str(), out.data());
  return out;
}

std::string format_value(const ValueContext &context, std::span<const uint8_t> value,
                         MacForm mac) {
  if (const Text text = codec_of(context.type).write(Value{context, value, mac})) return *text;
  return "hex:" + hex_string(value);
}

// Printable bytes but the backslash stand for themselves; a text that would
// begin "hex:" begins "\x68ex:", so that it is not read as hex bytes.
std::string escape_text(std::span<const uint8_t> bytes) {
  std::string out;
  for (uint8_t b : bytes) {
    if (b == '\\') {
      out += "\\\\";
    } else if (b >= 0x20 && b <= 0x7E) {
      out += static_cast<char>(b);
    } else {
      out += "\\x" + hex_string(std::span<const uint8_t>(&b, 1));
    }
  }
  if (out.starts_with("hex:")) out.replace(0, 1, "\\x68");
  return out;
}

std::optional<Bytes> unescape_text(std::string_view text) {
  Bytes out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c < 0x20 || c > 0x7E) return std::nullopt;
    if (c != '\\') {
      out.push_back(c);
    } else if (text.substr(i + 1, 1) == "\\") {
      out.push_back(c);
      i += 1;
    } else if (text.substr(i + 1, 1) == "x" && i + 3 < text.size() &&
               actoh(text[i + 2]) >= 0 && actoh(text[i + 3]) >= 0) {
      out.push_back(static_cast<uint8_t>(actoh(text[i + 2]) << 4 | actoh(text[i + 3])));
      i += 3;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

std::string hex_string(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

Bytes parse_value(std::string_view text, const ValueContext &ctx) {
  Bytes bytes;
  if (ctx.hex || text.starts_with("hex:")) {
    bytes = read_hex(ctx.hex && !text.starts_with("hex:") ? text : text.substr(4), ctx);
  } else {
    bytes = codec_of(ctx.type).read(text, ctx);
  }
  check_size(bytes, text, ctx);
  return bytes;
}

uint64_t read_mac(std::string_view text, const std::string &what) {
  try {
    const Bytes mac =
        parse_value(text, ValueContext{IDPROM_TYPE_BASE_MAC, kAttrHex, std::nullopt, false});
    if (mac.size() != 6) throw Failure(kExitValue, "a MAC address holds 6 bytes");
    return macbuf_to_mac64(mac.data());
  } catch (const Failure &f) {
    throw Failure(f.code(), what + ": " + f.what());
  }
}

}  // namespace idprom::tool
