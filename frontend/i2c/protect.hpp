// The write-protect pin.  It is released only while pages are written and
// asserted again whatever happens: the WriteWindow guard asserts it when it
// goes out of scope (also when an exception unwinds it), and holds
// SIGINT, SIGTERM, SIGHUP and SIGQUIT blocked meanwhile, so that a signal
// is delivered only after the pin is asserted and the pages written so far
// are verified or restored.  Blocking rather than handling keeps all of the
// pin's work out of signal context; a window is bounded by the write-cycle
// deadlines, so the delay is short.
#pragma once

#include <signal.h>

#include <memory>
#include <string>

namespace idprom::tool::i2c {

class WriteProtect {
 public:
  virtual ~WriteProtect() = default;
  virtual void release() = 0;  // allow writes; throws Failure (I/O)
  virtual void protect() noexcept = 0;  // assert the line: forbid writes again
};

// A GPIO line through libgpiod: `pin` is CHIP:LINE, CHIP a gpiochip name,
// number, path or label.  The line is requested as an output, asserted
// (logically 1; physically low with `active_low`), and released with the
// object.  Throws Failure (usage) for a malformed pin name, (I/O) when the line
// cannot be had.
std::unique_ptr<WriteProtect> gpio_write_protect(const std::string &pin, bool active_low);

// Releases `wp` (may be null) for its lifetime with the signals above blocked.
class WriteWindow {
 public:
  explicit WriteWindow(WriteProtect *wp);
  ~WriteWindow();
  WriteWindow(const WriteWindow &) = delete;
  WriteWindow &operator=(const WriteWindow &) = delete;

 private:
  WriteProtect *wp_;
  sigset_t saved_{};
};

}  // namespace idprom::tool::i2c
