// How library statuses become exit statuses and messages.
#include "base/errors.hpp"

#include <cstdio>
#include <iterator>

namespace idprom::tool {
namespace {

struct StatusRow {
  Status status;
  int exit;
  const char *text;
};

constexpr StatusRow kStatusRows[] = {
    {IDPROM_ERR_LENGTH_MISMATCH, kExitValue,
     "the value has the wrong length for this fixed-size type"},
    {IDPROM_ERR_BUFFER_TOO_SMALL, kExitMalformed, "the field is longer than any field can be"},
    {IDPROM_ERR_NOT_FOUND, kExitAbsent, "no such field"},
    {IDPROM_ERR_NO_ROOM, kExitNoRoom, "no room for a new field and the end marker after it"},
    {IDPROM_ERR_NOT_FOUND_NO_CREATE, kExitAbsent,
     "no such field, and --no-create forbids adding it"},
    {IDPROM_ERR_NO_END_MARKER, kExitNoRoom,
     "the entry list fills the image to its last byte (no end marker), so fields after it cannot "
     "move"},
    {IDPROM_ERR_NO_ROOM_TO_GROW, kExitNoRoom,
     "not enough free bytes after the end marker to grow the field"},
    {IDPROM_ERR_END_OF_IMAGE, kExitNoRoom,
     "the image is empty or its entries fill it without an end marker"},
    {IDPROM_ERR_INVALID_TYPE, kExitUsage,
     "the type code has no encoding (its low byte is 0x00 or 0xff)"},
    {IDPROM_ERR_INVALID_LENGTH, kExitValue,
     "the value's length is 0 or more than the length field holds"},
    {IDPROM_ERR_IMAGE_TOO_LARGE, kExitNoRoom,
     "the change lies beyond the first 65535 bytes, all that an edit can address"},
};

const StatusRow *row_of(Status status) noexcept {
  for (const StatusRow &row : kStatusRows) {
    if (row.status == status) return &row;
  }
  return nullptr;
}

// Each kind and its exit status; the first row of an exit status is its
// kind when only the status is known.
struct KindRow {
  Kind kind;
  int exit;
};

constexpr KindRow kKindRows[] = {
    {Kind::kAbsent, kExitAbsent}, {Kind::kUsage, kExitUsage},   {Kind::kMalformed, kExitMalformed},
    {Kind::kNoRoom, kExitNoRoom}, {Kind::kIo, kExitIo},         {Kind::kLocked, kExitIo},
    {Kind::kConflict, kExitIo},   {Kind::kOwner, kExitIo},      {Kind::kValue, kExitValue},
    {Kind::kRule, kExitRule},
};

}  // namespace

Kind kind_of_exit(int code) noexcept {
  for (const KindRow &row : kKindRows) {
    if (row.exit == code) return row.kind;
  }
  return Kind::kIo;
}

int exit_of(Kind kind) noexcept {
  for (const KindRow &row : kKindRows) {
    if (row.kind == kind) return row.exit;
  }
  return kExitIo;
}

int exit_for(Status status) noexcept {
  if (status == IDPROM_OK) return kExitOk;
  const StatusRow *row = row_of(status);
  return row != nullptr ? row->exit : kExitIo;
}

std::string explain(Status status) {
  const StatusRow *row = row_of(status);
  return row != nullptr ? row->text : "unexpected library status " + hex(status, 16);
}

std::string hex(uint64_t value, int digits) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%0*llx", digits, static_cast<unsigned long long>(value));
  return buf;
}

std::string count_of(uint64_t n, const char *one, const char *many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string gave_up_after(double wait, const std::string &option) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", wait);
  const std::string after = std::string("gave up after ") + seconds + " s";
  return option.empty() ? after : after + " (" + option + ")";
}

}  // namespace idprom::tool
