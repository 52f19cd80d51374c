// Opening and saving images through the core's edit session, which alone
// decides how an image is written back.  The blocking calls (waiting for a
// lock, writing, flushing, reading back) run without the GIL.
#include <memory>
#include <optional>
#include <string>

#include "binding.hpp"
#include "base/errors.hpp"
#include "i2c/part.hpp"

namespace idprom::python {
namespace {

using tool::Bytes;
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

Bytes copy_of(const py::bytes &data) {
  const auto bytes = span_of(data);
  return Bytes(bytes.begin(), bytes.end());
}

// The write options of a save or an edit.
tool::WriteOptions options_of(const py::dict &how) {
  tool::WriteOptions options;
  options.wait = how["wait"].cast<double>();
  const py::object backup = how["backup"];
  options.no_backup = py::isinstance<py::bool_>(backup) && !backup.cast<bool>();
  if (py::isinstance<py::str>(backup)) options.backup = backup.cast<std::string>();
  options.device = access_of(how["part"]);
  return options;
}

// The options as a script names them, in messages.
const tool::OptionNames kNames = {"wait=SECONDS", "backup=PATH or backup=False", ""};

// The bytes a save expects to find, and the options' names.
tool::SessionTerms terms_of(const py::dict &how) {
  tool::SessionTerms terms;
  terms.names = kNames;
  if (how.contains("expect")) terms.expect = copy_of(how["expect"]);
  return terms;
}

// The bytes of a file, or of a window of it (length: to the end).
py::bytes read(const std::string &path, uint64_t offset, std::optional<uint32_t> length,
               const py::dict &part, double wait) {
  const tool::i2c::Access access = access_of(part);
  Bytes bytes;
  {
    py::gil_scoped_release unlocked;
    bytes = tool::read_image(tool::system_io(), path, tool::Window{offset, length}, access, wait,
                             kNames);
  }
  return bytes_of(bytes);
}

// Writes the image at `offset` of `path` (see save_image); returns the
// region of the image written.
py::tuple save(const std::string &path, const py::bytes &data, uint64_t offset,
               const py::dict &how) {
  tool::WriteOptions options = options_of(how);
  tool::SessionTerms terms = terms_of(how);
  const Bytes image = copy_of(data);
  Region written;
  {
    py::gil_scoped_release unlocked;
    written = tool::save_image(tool::system_io(), path, image, offset, std::move(options),
                               std::move(terms));
  }
  return py::make_tuple(written.offset, written.length);
}

// An image opened for editing with the lock held until close() (the
// package's idprom.edit).
class Session {
 public:
  Session(const std::string &path, uint64_t offset, std::optional<uint32_t> length,
          const py::dict &how) {
    tool::WriteOptions options = options_of(how);
    options.window = tool::Window{offset, length};
    tool::SessionTerms terms = terms_of(how);
    py::gil_scoped_release unlocked;
    session_ = std::make_unique<tool::EditSession>(tool::system_io(), path, std::move(options),
                                                   std::move(terms));
  }

  py::bytes original() const { return bytes_of(live().original()); }

  // Writes back `data` (the original's size); returns the region written.
  py::tuple commit(const py::bytes &data) {
    const Bytes image = copy_of(data);
    const Bytes &original = live().original();
    if (image.size() != original.size()) {
      throw tool::Failure(tool::kExitUsage, "the image is " + std::to_string(image.size()) +
                                                " bytes, the one opened " +
                                                std::to_string(original.size()) +
                                                "; nothing was written");
    }
    const Region dirty = tool::changed_region(original, image);
    {
      py::gil_scoped_release unlocked;
      session_->commit(image, dirty);
    }
    return py::make_tuple(dirty.offset, dirty.length);
  }

  // Releases the lock.
  void close() { session_.reset(); }

 private:
  const tool::EditSession &live() const {
    if (!session_) throw tool::Failure(tool::kExitUsage, "the edit has ended");
    return *session_;
  }

  std::unique_ptr<tool::EditSession> session_;
};

}  // namespace

void bind_files(py::module_ &m) {
  m.def("read", &read, py::arg("path"), py::arg("offset"), py::arg("length"), py::arg("part"),
        py::arg("wait"));
  m.def("save", &save, py::arg("path"), py::arg("data"), py::arg("offset"), py::arg("how"));
  py::class_<Session>(m, "Session")
      .def(py::init<const std::string &, uint64_t, std::optional<uint32_t>, const py::dict &>())
      .def("original", &Session::original)
      .def("commit", &Session::commit)
      .def("close", &Session::close);
}

}  // namespace idprom::python
