// Exit statuses and the one exception type of the idprom tool.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "idprom.hpp"

namespace idprom::tool {

// Exit statuses, documented in the manual page and the README.
enum Exit : int {
  kExitOk = 0,
  kExitAbsent = 1,     // the field is absent (also: diff found differences)
  kExitUsage = 2,      // bad arguments
  kExitMalformed = 3,  // the image does not decode
  kExitNoRoom = 4,     // the change does not fit in the image
  kExitIo = 5,         // input/output or verification failure
  kExitValue = 6,      // the value is not valid for the type
  kExitRule = 7,       // verify: an image fails a rule
};

// A failure that ends the command: the message goes to standard error
// prefixed with "idprom: ", the code becomes the exit status.  `offset`,
// where known, is the byte of the image at fault (for machine-readable
// error reports; the message says it in words too).
class Failure : public std::runtime_error {
 public:
  Failure(int code, const std::string &message, std::optional<uint32_t> offset = std::nullopt)
      : std::runtime_error(message), code_(code), offset_(offset) {}
  int code() const noexcept { return code_; }
  std::optional<uint32_t> offset() const noexcept { return offset_; }

 private:
  int code_;
  std::optional<uint32_t> offset_;
};

// The exit status and a sentence (without the status's internal name) for a
// library status other than IDPROM_OK.
int exit_for(Status status) noexcept;
std::string explain(Status status);

// Formats a number as "0x" and lower-case hex digits, at least `digits` wide.
std::string hex(uint64_t value, int digits = 2);

// A count and its noun: "1 entry", "2 entries".
std::string count_of(uint64_t n, const char *one, const char *many);

}  // namespace idprom::tool
