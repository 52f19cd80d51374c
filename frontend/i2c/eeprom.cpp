// Reads and verified page writes on a serial EEPROM.
#include "i2c/eeprom.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "i2c/diagnose.hpp"

namespace idprom::tool::i2c {
namespace {

// Between acknowledge polls: a write cycle is a few milliseconds, so this
// ends the wait within a tenth of one without flooding the bus.
constexpr uint64_t kPollUs = 200;

constexpr const char *kReadBackWrong = "read back wrong";

std::string describe(Run run) {
  return hex(run.offset, 4) + "-" + hex(run.offset + run.length - 1, 4);
}

}  // namespace

Eeprom::Eeprom(Bus &bus, Target target, Part part, Clock &clock)
    : bus_(bus), target_(std::move(target)), part_(part), clock_(clock), chunk_(bus.max_read()) {
  // A driver caches and writes the part on its own: going around it would
  // race it, so a bound part is left to the driver's device file.
  for (uint32_t at = 0; at < part_.size; at += block_size(part_)) {
    if (const int err = bus_.claim(device_address(part_, target_.address, at))) {
      throw Failure::about(target_.name, kExitIo,
                           std::string(std::strerror(err)) +
                               (err == EBUSY ? " (a kernel driver owns the part; use its "
                                               "device file)"
                                             : ""));
    }
  }
}

void Eeprom::check_range(uint32_t offset, size_t length) const {
  if (length > part_.size || offset > part_.size - length) {
    throw Failure::about(target_.name, kExitUsage,
                         std::to_string(length) + " bytes from " + hex(offset, 4) +
                             " pass the end of the " + std::to_string(part_.size) + "-byte part");
  }
}

Bytes Eeprom::read(uint32_t offset, uint32_t length) {
  check_range(offset, length);
  Bytes out(length);
  if (const int err = read_into(offset, out)) {
    throw Failure::about(target_.name, kExitIo, std::string("reading: ") + std::strerror(err));
  }
  return out;
}

int Eeprom::read_into(uint32_t offset, std::span<uint8_t> out) {
  const uint32_t block = block_size(part_);
  for (size_t done = 0; done < out.size();) {
    const auto at = static_cast<uint32_t>(offset + done);
    const size_t n = std::min({chunk_, out.size() - done, size_t{block - at % block}});
    const int err = bus_.transfer(device_address(part_, target_.address, at),
                                  address_bytes(part_, at), out.subspan(done, n));
    if (err == 0) {
      done += n;
    } else if (refused(err) && n > 1) {
      chunk_ = n / 2;
    } else {
      return err;
    }
  }
  return 0;
}

std::vector<Run> Eeprom::plan(uint32_t offset, const Bytes &original, const Bytes &updated) const {
  std::vector<Run> runs;
  const auto per_write = static_cast<uint32_t>(bus_.max_write() - part_.address_width);
  const auto n = static_cast<uint32_t>(std::min(original.size(), updated.size()));
  for (uint32_t i = 0; i < n;) {
    const uint32_t page_end = std::min(n, (offset + i) / part_.page_size * part_.page_size +
                                              part_.page_size - offset);
    if (original[i] == updated[i]) {
      ++i;
      continue;
    }
    uint32_t last = i;
    for (uint32_t j = i; j < page_end; ++j) last = original[j] != updated[j] ? j : last;
    for (uint32_t s = i; s <= last; s += per_write) {
      runs.push_back({offset + s, std::min(per_write, last + 1 - s)});
    }
    i = page_end;
  }
  return runs;
}

void Eeprom::write(uint32_t offset, const Bytes &original, const Bytes &updated,
                   WriteProtect *wp) {
  check_range(offset, original.size());
  if (updated.size() != original.size()) {
    throw Failure::about(target_.name, kExitIo, "the edited window changed size");
  }
  if (bus_.max_write() <= part_.address_width) {
    throw Failure::about(target_.name, kExitIo,
                         "the adapter cannot write a byte after " +
                             std::to_string(part_.address_width) + " address bytes");
  }
  const auto runs = plan(offset, original, updated);
  if (runs.empty()) return;
  WriteWindow window(wp);
  for (size_t k = 0; k < runs.size(); ++k) {
    const std::string why = program(runs[k], updated.data() + (runs[k].offset - offset));
    if (!why.empty()) restore(runs, k, why, offset, original);
  }
}

std::string Eeprom::program(Run run, const uint8_t *data) {
  const std::string why = attempt(run, data);
  return why.empty() ? why : attempt(run, data);
}

std::string Eeprom::attempt(Run run, const uint8_t *data) {
  Bytes out = address_bytes(part_, run.offset);
  out.insert(out.end(), data, data + run.length);
  const uint8_t device = device_address(part_, target_.address, run.offset);
  if (const int err = bus_.transfer(device, out, {})) {
    return std::string("the write failed (") + std::strerror(err) + ")";
  }
  if (!acknowledged(device, run.offset)) {
    return "no acknowledge within " + std::to_string(part_.write_cycle_ms) + " ms of the write";
  }
  Bytes back(run.length);
  if (const int err = read_into(run.offset, back)) {
    return std::string("reading back failed (") + std::strerror(err) + ")";
  }
  return std::equal(back.begin(), back.end(), data) ? "" : kReadBackWrong;
}

bool Eeprom::acknowledged(uint8_t device, uint32_t offset) {
  // Sending just the address is a write of nothing: it moves the part's
  // address pointer and is acknowledged once the write cycle is over.
  const Bytes probe = address_bytes(part_, offset);
  const uint64_t start = clock_.now_us();
  const uint64_t deadline = uint64_t{part_.write_cycle_ms} * 1000;
  for (;;) {
    cycle_us_ = clock_.now_us() - start;
    if (bus_.transfer(device, probe, {}) == 0) return true;
    if (clock_.now_us() - start >= deadline) return false;
    clock_.sleep_us(kPollUs);
  }
}

// The declared geometry and the write cycle seen, for a diagnosis.
std::string Eeprom::declared() const {
  return (part_.name.empty() ? std::string() : std::string(part_.name) + ": ") +
         std::to_string(part_.page_size) + "-byte pages, " +
         count_of(part_.address_width, "address byte", "address bytes") + ", write cycle up to " +
         std::to_string(part_.write_cycle_ms) + " ms; the last write was acknowledged after " +
         std::to_string(cycle_us_ / 1000) + "." + std::to_string(cycle_us_ % 1000 / 100) + " ms";
}

// What the window holds after a run read back wrong tells how the write
// went wrong; a window that cannot be read says nothing more.
std::string Eeprom::why_wrong(const std::vector<Run> &runs, size_t failed, uint32_t offset,
                              const Bytes &original) {
  Bytes back(original.size());
  if (read_into(offset, back) != 0) return "";
  const std::span<const Run> written(runs.data(), failed);
  return "; " + explain(diagnose(original, back, offset, written, runs[failed], part_.page_size),
                       declared());
}

void Eeprom::restore(const std::vector<Run> &runs, size_t failed, const std::string &why,
                     uint32_t offset, const Bytes &original) {
  std::string message = target_.name + ": bytes " + describe(runs[failed]) + ": " + why +
                        ", also on the retry" +
                        (why == kReadBackWrong ? why_wrong(runs, failed, offset, original) : "") +
                        "; ";
  if (failed == 0) message += "nothing else was written";
  for (size_t k = 0; k < failed; ++k) {
    message += (k ? ", " : "written before: ") + describe(runs[k]);
  }
  // The failed run too: some of its bytes may have been stored.
  for (size_t k = 0; k <= failed; ++k) {
    const std::string undo = program(runs[k], original.data() + (runs[k].offset - offset));
    if (!undo.empty()) {
      throw WriteFailure(message + "; restoring " + describe(runs[k]) + " failed too (" + undo +
                             "): the part holds a mix of old and new bytes",
                         false);
    }
  }
  // Bytes that landed outside the runs are not undone by writing the runs
  // again: only the whole window read back as it was counts as restored.
  Bytes back(original.size());
  const int err = read_into(offset, back);
  if (err != 0 || back != original) {
    throw WriteFailure(message + "; after restoring, " +
                           (err != 0 ? std::string("reading the bytes back failed (") +
                                           std::strerror(err) + ")"
                                     : "bytes " +
                                           runs_text(diagnose(original, back, offset, {},
                                                              {offset, 0}, 0).changed) +
                                           " still differ from the original"),
                       false);
  }
  throw WriteFailure(message + "; the original bytes were restored", true);
}

}  // namespace idprom::tool::i2c
