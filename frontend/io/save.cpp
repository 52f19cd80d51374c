// Saving a whole image that a front end holds: the Python package's
// Image.save, which keeps no write-back rules of its own.
#include <sys/stat.h>

#include <cerrno>

#include "base/errors.hpp"
#include "io/fileio.hpp"

namespace idprom::tool {

Region changed_region(const Bytes &before, const Bytes &after) {
  size_t first = 0;
  while (first < after.size() && before[first] == after[first]) ++first;
  if (first == after.size()) return Region{};
  size_t last = after.size();
  while (before[last - 1] == after[last - 1]) --last;
  return Region{static_cast<uint32_t>(first), static_cast<uint32_t>(last - first)};
}

Region save_image(Io &io, const std::string &path, const Bytes &image, uint64_t offset,
                  WriteOptions options, SessionTerms terms) {
  const bool device = i2c::parse_target(path).has_value();
  struct stat st {};
  if (!device && io.stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    if (offset != 0)
      throw Failure(kExitUsage, path + ": does not exist; a new file starts at offset 0");
    create_file(io, path, image, false, options);
    return Region{0, static_cast<uint32_t>(image.size())};
  }
  // A regular file the image's size is the image: replaced whole.  Anything
  // else holds it in a window of the image's size.
  const bool whole = !device && offset == 0 && S_ISREG(st.st_mode) &&
                     static_cast<uint64_t>(st.st_size) == image.size();
  if (!whole) options.window = Window{offset, static_cast<uint32_t>(image.size())};
  EditSession session(io, path, std::move(options), std::move(terms));
  const Bytes &original = session.original();
  if (original.size() != image.size()) {
    throw Failure(kExitUsage, path + ": holds " + std::to_string(original.size()) +
                                  " bytes at offset " + hex(offset, 4) + ", the image " +
                                  std::to_string(image.size()) + "; nothing was written");
  }
  const Region dirty = changed_region(original, image);
  session.commit(image, dirty);
  return dirty;
}

}  // namespace idprom::tool
