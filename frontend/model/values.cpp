// Value readers, one per Form of the type table.  Each turns the text into
// the bytes the entry stores; the type's class width and length field
// bound what it may produce.
#include "model/values.hpp"

#include <cctype>
#include <string>

#include "base/errors.hpp"
#include "idprom.hpp"
#include "model/image.hpp"
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
// 73-1234-02 for a part number of widths 1-2-1.
// An integer-valued type also takes the plain integer `get --int` prints
// (258 for Hardware Revision 1.2): a number without a separator.
Bytes read_fields(std::string_view text, const ValueContext &ctx, const TypeInfo &row) {
  if (lookup_is_integer(ctx.type) && text.find(row.separator) == std::string_view::npos &&
      parse_unsigned(text, 10)) {
    return read_decimal(text, ctx);
  }
  std::vector<std::string_view> parts;
  for (size_t pos = 0;;) {
    const size_t cut = text.find(row.separator, pos);
    parts.push_back(text.substr(pos, cut - pos));
    if (cut == std::string_view::npos) break;
    pos = cut + 1;
  }
  Bytes out;
  std::string expected;
  bool ok = true;
  size_t i = 0;
  for (; i < 4 && row.widths[i] != 0; ++i) {
    expected +=
        (i == 0 ? "" : std::string(1, row.separator)) + "(" + width_text(row.widths[i]) + ")";
    const auto v = i < parts.size() ? parse_unsigned(parts[i], 10) : std::nullopt;
    ok = ok && v && *v <= max_of(row.widths[i]);
    if (ok) {
      const Bytes part = big_endian(*v, row.widths[i]);
      out.insert(out.end(), part.begin(), part.end());
    }
  }
  if (!ok || parts.size() != i) fail(ctx, text, "decimal numbers " + expected);
  return out;
}

Bytes read_power_supply(std::string_view text, const ValueContext &ctx) {
  std::string t(text);
  for (char &c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (t == "AC") return {0};
  if (t == "DC") return {1};
  return read_decimal(text, ctx);
}

// Whole watts, stored in hundredths.  The listing shows whole watts (the
// hundredths rounded down), so a value with decimals would not read back as
// given: it is refused, and hex: stores any number of hundredths.  The
// listing's own text ("40 Watts (Maximum)") reads back too.
Bytes read_watts(std::string_view given, const ValueContext &ctx) {
  std::string_view text = given;
  for (std::string_view suffix : {" Watts (Maximum)", " Watts"}) {
    if (text.ends_with(suffix)) {
      text.remove_suffix(suffix.size());
      break;
    }
  }
  const auto w = parse_unsigned(text, 10);
  if (!w || *w > 0xFFFFFFFFU / 100) {
    fail(ctx, given,
         "whole watts from 0 to 42949672 (the listing shows whole watts; hex: stores hundredths)");
  }
  return big_endian(*w * 100, 4);
}

// Standard value length of a type, 0 when it has none.
uint32_t standard_length(uint32_t type) {
  if (!is_variable(type)) return fixed_width(type);
  const uint32_t word = idprom_type_to_len(type);
  return word == 0xFFFFFFFFU ? 0 : word & 0x3F;
}

// Text padded with zero bytes to the length of the field it replaces, or
// of the type's standard length for a new field; longer text of a
// variable-class type makes the field longer.
Bytes read_text(std::string_view text, const ValueContext &ctx) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7E) fail(ctx, text, "printable ASCII text (hex: for other bytes)");
  }
  const uint32_t target = ctx.current_length.value_or(standard_length(ctx.type));
  const uint32_t limit = is_variable(ctx.type) ? max_length(ctx.type) : fixed_width(ctx.type);
  if (text.empty() || text.size() > limit) {
    fail(ctx, text, "text of 1 to " + std::to_string(limit) + " characters");
  }
  Bytes out(text.begin(), text.end());
  if (out.size() < target) out.resize(target, 0);
  return out;
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

Bytes read_by_form(std::string_view text, const ValueContext &ctx, const TypeInfo &row) {
  switch (row.form) {
    case Form::kDecimal:
      return read_decimal(text, ctx);
    case Form::kHexInt:
      return read_hex_int(text, ctx);
    case Form::kFields:
      return read_fields(text, ctx, row);
    case Form::kPowerSupply:
      return read_power_supply(text, ctx);
    case Form::kWatts:
      return read_watts(text, ctx);
    case Form::kText:
      return read_text(text, ctx);
    case Form::kMac:
      return read_mac(text, ctx);
    case Form::kDecimalBytes:
      return read_decimal_bytes(text, ctx);
    case Form::kByAttribute:
      if (ctx.attribute == kAttrText) return read_text(text, ctx);
      if (ctx.attribute == kAttrDecimal) return read_decimal_bytes(text, ctx);
      return read_hex(text, ctx);
    case Form::kHexBytes:
      return read_hex(text, ctx);
  }
  return read_hex(text, ctx);
}

// Types outside the table: integers for the fixed classes, hex bytes or,
// with a text attribute, text for the variable class.
Bytes read_unknown(std::string_view text, const ValueContext &ctx) {
  if (!is_variable(ctx.type)) {
    return lookup_is_integer(ctx.type) ? read_decimal(text, ctx) : read_hex(text, ctx);
  }
  return ctx.attribute == kAttrText ? read_text(text, ctx) : read_hex(text, ctx);
}

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
  if (row != nullptr && row->form == Form::kHexInt) {
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

std::string hex_string(const Bytes &bytes) {
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
  } else if (const TypeInfo *row = find_type(ctx.type)) {
    bytes = read_by_form(text, ctx, *row);
  } else {
    bytes = read_unknown(text, ctx);
  }
  check_size(bytes, text, ctx);
  return bytes;
}

}  // namespace idprom::tool
