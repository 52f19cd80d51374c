// The write-protect line on libgpiod (the 1.x interface Debian ships), and
// the guard that releases it for one write.
#include "i2c/protect.hpp"

#include <gpiod.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "base/errors.hpp"
#include "base/numbers.hpp"

namespace idprom::tool::i2c {
namespace {

constexpr int kAsserted = 1;  // logical level; libgpiod inverts it for active-low lines

class GpioLine : public WriteProtect {
 public:
  GpioLine(gpiod_chip *chip, gpiod_line *line) : chip_(chip), line_(line) {}
  ~GpioLine() override {
    protect();
    gpiod_line_release(line_);
    gpiod_chip_close(chip_);
  }
  GpioLine(const GpioLine &) = delete;
  GpioLine &operator=(const GpioLine &) = delete;

  void release() override {
    if (gpiod_line_set_value(line_, 1 - kAsserted) < 0) {
      throw Failure(kExitIo, std::string("write-protect line: ") + std::strerror(errno));
    }
  }
  void protect() noexcept override { gpiod_line_set_value(line_, kAsserted); }

 private:
  gpiod_chip *chip_;
  gpiod_line *line_;
};

}  // namespace

std::unique_ptr<WriteProtect> gpio_write_protect(const std::string &pin, bool active_low) {
  const auto colon = pin.rfind(':');
  const auto offset = colon == std::string::npos || colon == 0
                          ? std::nullopt
                          : parse_unsigned(std::string_view(pin).substr(colon + 1), 10);
  if (!offset || *offset > UINT_MAX) {
    throw Failure(kExitUsage, "--wp-gpio " + pin + ": give CHIP:LINE, as gpiochip0:17");
  }
  const std::string chip_name = pin.substr(0, colon);
  gpiod_chip *chip = gpiod_chip_open_lookup(chip_name.c_str());
  if (chip == nullptr) throw Failure(kExitIo, "--wp-gpio " + pin + ": " + std::strerror(errno));
  gpiod_line *line = gpiod_chip_get_line(chip, static_cast<unsigned>(*offset));
  const int flags = active_low ? GPIOD_LINE_REQUEST_FLAG_ACTIVE_LOW : 0;
  if (line == nullptr || gpiod_line_request_output_flags(line, "idprom", flags, kAsserted) < 0) {
    const int err = errno;
    gpiod_chip_close(chip);
    throw Failure(kExitIo, "--wp-gpio " + pin + ": " + std::strerror(err));
  }
  return std::make_unique<GpioLine>(chip, line);
}

WriteWindow::WriteWindow(WriteProtect *wp) : wp_(wp) {
  sigset_t block;
  sigemptyset(&block);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&block, sig);
  pthread_sigmask(SIG_BLOCK, &block, &saved_);
  if (wp_ == nullptr) return;
  try {
    wp_->release();
  } catch (...) {
    wp_->protect();
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    throw;
  }
}

WriteWindow::~WriteWindow() {
  if (wp_ != nullptr) wp_->protect();
  pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

}  // namespace idprom::tool::i2c
