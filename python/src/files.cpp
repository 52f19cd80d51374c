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
py::bytes read(const std::string &path, uint64_t offset, std::optional<uint32_t> length) {
  return bytes_of(tool::read_image(tool::system_io(), path, tool::Window{offset, length}));
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
// a window, a device or a pseudo file written in place after a backup, the
// changed bytes only, read back), or creates a new file (offset 0).
// Returns the region written, (0, 0) when the file already held the image.
py::tuple save(const std::string &path, const py::bytes &data, uint64_t offset,
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
  const bool whole = offset == 0 && S_ISREG(st.st_mode) &&
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
  m.def("read", &read, py::arg("path"), py::arg("offset"), py::arg("length"));
  m.def("save", &save, py::arg("path"), py::arg("data"), py::arg("offset"), py::arg("backup"),
        py::arg("no_backup"));
}

}  // namespace idprom::python
