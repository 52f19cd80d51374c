// Opening and saving images through the tool's file layer.
#include <sys/stat.h>

#include <cerrno>
#include <optional>
#include <ostream>
#include <string>

#include "binding.hpp"
#include "errors.hpp"

namespace idprom::python {
namespace {

using tool::Bytes;
using tool::Failure;
using tool::Region;

// The bytes of a file, or of a window of it (length: to the end).
py::bytes read(const std::string &path, uint32_t offset, std::optional<uint32_t> length) {
  const Bytes all = tool::read_image(tool::system_io(), path);
  if (offset > all.size() || (length && *length > all.size() - offset)) {
    throw Failure(tool::kExitUsage, path + ": holds " + std::to_string(all.size()) +
                                        " bytes; the window at offset " + tool::hex(offset, 4) +
                                        " runs past its end");
  }
  const size_t n = length ? *length : all.size() - offset;
  return bytes_of(std::span<const uint8_t>(all).subspan(offset, n));
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
// (atomic replace of a regular file; a device in place, after a backup,
// the dirty region only, read back), or creates a new file (offset 0).
// Returns the region written, (0, 0) when the file already held the image.
py::tuple save(const std::string &path, const py::bytes &data, uint32_t offset,
               const std::string &backup, bool no_backup) {
  const auto image = span_of(data);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    if (offset != 0) {
      throw Failure(tool::kExitUsage, path + ": does not exist; a new file starts at offset 0");
    }
    tool::create_file(tool::system_io(), path, Bytes(image.begin(), image.end()), false, {});
    return py::make_tuple(0, image.size());
  }
  tool::WriteOptions options;
  options.backup = backup;
  options.no_backup = no_backup;
  tool::EditSession session(tool::system_io(), path, options);
  const Bytes &original = session.original();
  if (offset > original.size() || image.size() > original.size() - offset) {
    throw Failure(tool::kExitUsage, path + ": holds " + std::to_string(original.size()) +
                                        " bytes; the image of " + std::to_string(image.size()) +
                                        " bytes at offset " + tool::hex(offset, 4) +
                                        " does not fit, so nothing was written");
  }
  Bytes updated = original;
  std::copy(image.begin(), image.end(), updated.begin() + offset);
  const Region dirty = changed(original, updated);
  std::ostream null_out(nullptr);
  session.commit(updated, dirty, null_out);
  return py::make_tuple(dirty.offset, dirty.length);
}

}  // namespace

void bind_files(py::module_ &m) {
  m.def("read", &read, py::arg("path"), py::arg("offset"), py::arg("length"));
  m.def("save", &save, py::arg("path"), py::arg("data"), py::arg("offset"), py::arg("backup"),
        py::arg("no_backup"));
}

}  // namespace idprom::python
