// An i2c: image path for the file layer.
#include "io/device.hpp"

#include "base/errors.hpp"

namespace idprom::tool::i2c {
namespace {

// The bytes of `window` in the part: all of it from the offset by default.
Run checked_window(const Part &part, const Target &target, const Window &window) {
  const std::string size = " (the part holds " + std::to_string(part.size) + " bytes)";
  if (window.offset >= part.size) {
    throw Failure::about(
        target.name, kExitUsage,
        "--offset " + std::to_string(window.offset) + " is past the end of the part" + size);
  }
  const auto offset = static_cast<uint32_t>(window.offset);
  const uint32_t length = window.length.value_or(part.size - offset);
  if (length > part.size - offset) {
    throw Failure::about(target.name, kExitUsage,
                         "--length " + std::to_string(length) + " from offset " +
                             std::to_string(offset) + " runs past the end of the part" + size);
  }
  return Run{offset, length};
}

std::unique_ptr<Rehearsal> rehearsal(const std::string &folder, const Target &target,
                                     const Part &part) {
  if (folder.empty()) return nullptr;
  return std::make_unique<Rehearsal>(folder, target, part);
}

}  // namespace

Device::Device(const Target &target, const Access &access, const Window &window, bool writer,
               double wait, const std::string &wait_option)
    : part_(declare_part(access.part, target)),
      window_(checked_window(part_, target, window)),
      simulated_(simulation_folder()),
      lock_(system_i2c(), system_clock(), target, !writer, wait, wait_option,
            simulated_.empty() ? lock_folder() : simulated_),
      rehearsal_(rehearsal(simulated_, target, part_)),
      bus_(rehearsal_ ? rehearsal_->part() : system_i2c(), target.bus),
      eeprom_(bus_, target, part_, rehearsal_ ? rehearsal_->part() : system_clock()) {
  if (rehearsal_ && access.wp_gpio.empty()) rehearsal_->part().release();
  if (!writer || access.wp_gpio.empty()) return;
  if (rehearsal_) {
    wp_ = &rehearsal_->part();
  } else {
    gpio_ = gpio_write_protect(access.wp_gpio, access.wp_active_low);
    wp_ = gpio_.get();
  }
}

Bytes Device::read() { return eeprom_.read(window_.offset, window_.length); }

// A simulated part keeps what the write left, restored or not.
void Device::write(const Bytes &original, const Bytes &updated) {
  try {
    eeprom_.write(window_.offset, original, updated, wp_);
  } catch (const WriteFailure &) {
    if (rehearsal_) rehearsal_->save();
    throw;
  }
  if (rehearsal_) rehearsal_->save();
}

std::vector<Run> Device::plan(const Bytes &original, const Bytes &updated) const {
  return eeprom_.plan(window_.offset, original, updated);
}

}  // namespace idprom::tool::i2c
