// Opening and saving images through the tool's file layer.
#include <sys/stat.h>

#include <cerrno>
#include <optional>
#include <ostream>
#include <string>

#include "binding.hpp"
#include "base/errors.hpp"
#include "i2c/part.hpp"

namespace idprom::python {
namespace {

using tool::Bytes;
using tool::Failure;
using tool::Region;

struct PartNumber {
  const char *key;
  uint32_t tool::i2c::PartOptions::*field;
};

constexpr PartNumber kPartNumbers[] = {
    {"size", &tool::i2c::PartOptions::size},
    {"page_size", &tool::i2c::PartOptions::page_size},
    {"address_width", &tool::i2c::PartOptions::address_width},
    {"write_cycle_ms", &tool::i2c::PartOptions::write_cycle_ms},
};

// The part of an i2c: path and its write-protect line, from the keywords
// the package checked (chip, size, ..., wp_gpio, wp_active_low): what the
// tool's --chip, --size, ..., --wp-gpio and --wp-active-low give.
tool::i2c::Access access_of(const py::dict &part) {
  tool::i2c::Access access;
  for (const PartNumber &number : kPartNumbers) {
    if (part.contains(number.key)) access.part.*number.field = part[number.key].cast<uint32_t>();
  }
  if (part.contains("chip")) access.part.chip = part["chip"].cast<std::string>();
  if (part.contains("wp_gpio")) access.wp_gpio = part["wp_gpio"].cast<std::string>();
  if (part.contains("wp_active_low")) access.wp_active_low = part["wp_active_low"].cast<bool>();
  return access;
}

// The bytes of a file, or of a window of it (length: to the end).
py::bytes read(const std::string &path, uint64_t offset, std::optional<uint32_t> length,
               const py::dict &part) {
  return bytes_of(tool::read_image(tool::system_io(), path, tool::Window{offset, length},
                                   access_of(part)));
}

// The smallest region holding every byte that differs.
Region changed(const Bytes &before, const Bytes &after) {
  size_t first = 0;
  while (first < after.size() && before[first] == after[first]) ++first;
  if (first == after.size()) return Region{};
  size_t last = after.size();
  while (before[last - 1] == after[last - 1]) --last;
  return Region{static_cast<uint32_t>(first), static_cast<uint32_t>(last - first)};
}

// Writes the image at `offset` of an existing file with the tool's rules
// (the whole of a regular file of the image's size atomically replaced;
// a window, a device, a pseudo file or an i2c: part written in place after
// a backup, the changed bytes only, read back), or creates a new file
// (offset 0).  Returns the region written, (0, 0) when the file already
// held the image.
py::tuple save(const std::string &path, const py::bytes &data, uint64_t offset,
               const std::string &backup, bool no_backup, const py::dict &part) {
  const auto image = span_of(data);
  const bool device = tool::i2c::parse_target(path).has_value();
  struct stat st {};
  if (!device && ::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    if (offset != 0) {
      throw Failure(tool::kExitUsage, path + ": does not exist; a new file starts at offset 0");
    }
    tool::create_file(tool::system_io(), path, Bytes(image.begin(), image.end()), false, {});
    return py::make_tuple(0, image.size());
  }
  tool::WriteOptions options;
  options.backup = backup;
  options.no_backup = no_backup;
  options.device = access_of(part);
  const bool whole = !device && offset == 0 && S_ISREG(st.st_mode) &&
                     static_cast<uint64_t>(st.st_size) == image.size();
  if (!whole) options.window = tool::Window{offset, static_cast<uint32_t>(image.size())};
  tool::EditSession session(tool::system_io(), path, options);
  const Bytes &original = session.original();
  if (original.size() != image.size()) {
    throw Failure(tool::kExitUsage, path + ": holds " + std::to_string(original.size()) +
                                        " bytes at offset " + tool::hex(offset, 4) +
                                        ", the image " + std::to_string(image.size()) +
                                        "; nothing was written");
  }
  const Bytes updated(image.begin(), image.end());
  const Region dirty = changed(original, updated);
  session.commit(updated, dirty);
  return py::make_tuple(offset + dirty.offset, dirty.length);
}

}  // namespace

void bind_files(py::module_ &m) {
  m.def("read", &read, py::arg("path"), py::arg("offset"), py::arg("length"), py::arg("part"));
  m.def("save", &save, py::arg("path"), py::arg("data"), py::arg("offset"), py::arg("backup"),
        py::arg("no_backup"), py::arg("part"));
}

}  // namespace idprom::python
