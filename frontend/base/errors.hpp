// Exit statuses and the one exception type of the idprom tool.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

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

// What went wrong, for front ends that answer with more than an exit
// status (Python raises a class per kind).  Each kind has one exit status;
// kLocked, kConflict and kOwner are I/O failures (5) that a caller may want
// to tell apart without reading the message.
enum class Kind : uint8_t {
  kAbsent,     // 1: the field is absent
  kUsage,      // 2: bad arguments
  kMalformed,  // 3: the image does not decode
  kNoRoom,     // 4: the change does not fit
  kIo,         // 5: input/output or verification failure
  kLocked,     // 5: another edit holds the lock past the wait
  kConflict,   // 5: the stored image changed since it was read
  kOwner,      // 5: a replacement could not keep the owner, group or mode
  kValue,      // 6: the value is not valid for the type
  kRule,       // 7: an image fails a rule
};

// The kind an exit status stands for when nothing more is known.
Kind kind_of_exit(int code) noexcept;
// The exit status of a kind.
int exit_of(Kind kind) noexcept;

// A failure that ends the command: the message goes to standard error
// prefixed with "idprom: ", the code becomes the exit status.  `offset`,
// where known, is the byte of the image at fault (for machine-readable
// error reports; the message says it in words too).  `error` is the errno
// of a failed system call (0 when none).
class Failure : public std::runtime_error {
 public:
  Failure(int code, const std::string &message, std::optional<uint32_t> offset = std::nullopt)
      : std::runtime_error(message), code_(code), kind_(kind_of_exit(code)), offset_(offset) {}
  Failure(Kind kind, const std::string &message, int error = 0)
      : std::runtime_error(message), code_(exit_of(kind)), kind_(kind), error_(error) {}
  // A failure about one file: the message is "FILE: detail", and file()
  // names the file, so that a report that names it apart (a JSON error
  // line) leaves it out of the message.
  template <class How, class... More>
  static Failure about(const std::string &file, How how, const std::string &detail, More... more) {
    Failure f(how, file + ": " + detail, more...);
    f.file_ = file;
    return f;
  }
  // The same failure with another message (context added in front or
  // behind); it names no file apart, since the new message may not start
  // with it.
  Failure reworded(const std::string &message) const {
    Failure copy = *this;
    static_cast<std::runtime_error &>(copy) = std::runtime_error(message);
    copy.file_.clear();
    return copy;
  }
  int code() const noexcept { return code_; }
  Kind kind() const noexcept { return kind_; }
  int error() const noexcept { return error_; }
  std::optional<uint32_t> offset() const noexcept { return offset_; }
  // The file the failure is about ("" when it names none apart) and the
  // message after "FILE: ".
  const std::string &file() const noexcept { return file_; }
  std::string_view detail() const noexcept {
    return std::string_view(what()).substr(file_.empty() ? 0 : file_.size() + 2);
  }

 private:
  int code_;
  Kind kind_;
  int error_ = 0;
  std::optional<uint32_t> offset_;
  std::string file_;
};

// The exit status and a sentence (without the status's internal name) for a
// library status other than IDPROM_OK.
int exit_for(Status status) noexcept;
std::string explain(Status status);

// Formats a number as "0x" and lower-case hex digits, at least `digits` wide.
std::string hex(uint64_t value, int digits = 2);

// A count and its noun: "1 entry", "2 entries".
std::string count_of(uint64_t n, const char *one, const char *many);

// How a wait for another process's lock ended: "gave up after N s
// (OPTION)", the wait as given ("0.2") and the option that sets it, as the
// front end names it; no parentheses where no option sets the wait.
std::string gave_up_after(double wait, const std::string &option);

}  // namespace idprom::tool
