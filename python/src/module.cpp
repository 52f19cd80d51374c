// The module, its argument conversions, and how the core's failures become
// the package's exceptions (defined in idprom/_errors.py).
#include <exception>
#include <string>

#include "binding.hpp"
#include "base/errors.hpp"
#include "model/fields.hpp"
#include "model/types.hpp"

namespace idprom::python {

using tool::Failure;

std::span<const uint8_t> span_of(const py::bytes &data) {
  char *buf = nullptr;
  Py_ssize_t n = 0;
  if (PyBytes_AsStringAndSize(data.ptr(), &buf, &n) != 0) throw py::error_already_set();
  return {reinterpret_cast<const uint8_t *>(buf), static_cast<size_t>(n)};
}

py::bytes bytes_of(std::span<const uint8_t> data) {
  return py::bytes(reinterpret_cast<const char *>(data.data()), data.size());
}

uint32_t type_of(const py::object &type) {
  if (py::isinstance<py::str>(type)) return tool::resolve_type(type.cast<std::string>());
  if (py::isinstance<py::int_>(type) && !py::isinstance<py::bool_>(type)) {
    const auto code = type.cast<py::int_>();
    if (code < py::int_(0) || code > py::int_(0xFFFFFFFFU)) {
      throw Failure(tool::kExitUsage, "type code " + py::repr(code).cast<std::string>() +
                                          " is out of range");
    }
    return tool::resolve_type(std::to_string(code.cast<uint32_t>()));
  }
  throw py::type_error("a type is a str (name, label, or code) or an int code, not " +
                       py::str(py::type::of(type).attr("__name__")).cast<std::string>());
}

uint32_t instance_of(const py::object &instance) {
  if (!py::isinstance<py::int_>(instance) || py::isinstance<py::bool_>(instance)) {
    throw py::type_error("instance must be an int");
  }
  const auto n = instance.cast<py::int_>();
  if (n < py::int_(1) || n > py::int_(0xFFFFFFFFU)) {
    throw Failure(tool::kExitUsage, "instance counts from 1");
  }
  return n.cast<uint32_t>();
}

namespace {

// The package's exception class for each kind of failure (idprom/_errors.py).
struct KindClass {
  tool::Kind kind;
  const char *name;
};

constexpr KindClass kKindClasses[] = {
    {tool::Kind::kAbsent, "NotFoundError"}, {tool::Kind::kMalformed, "MalformedError"},
    {tool::Kind::kNoRoom, "NoRoomError"},   {tool::Kind::kIo, "FileError"},
    {tool::Kind::kLocked, "LockedError"},   {tool::Kind::kConflict, "ConflictError"},
    {tool::Kind::kOwner, "FileError"},      {tool::Kind::kValue, "InvalidValueError"},
};

const char *class_of(tool::Kind kind) {
  for (const KindClass &row : kKindClasses) {
    if (row.kind == kind) return row.name;
  }
  return "Error";
}

// Raises the package's exception for a failure: .status is the library's
// status when the library refused an edit, the tool's exit status otherwise;
// .errno the error number of a failed system call.
void raise(const Failure &f, py::object status) {
  const py::module_ errors = py::module_::import("idprom._errors");
  const py::object exc = errors.attr("from_failure")(
      class_of(f.kind()), f.code(), f.what(), std::move(status),
      f.error() != 0 ? py::object(py::int_(f.error())) : py::object(py::none()));
  PyErr_SetObject(reinterpret_cast<PyObject *>(Py_TYPE(exc.ptr())), exc.ptr());
}

}  // namespace

void bind_errors(py::module_ &) {
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const tool::EditFailure &f) {
      raise(f, py::int_(static_cast<uint64_t>(f.status())));
    } catch (const Failure &f) {
      raise(f, py::none());
    }
  });
}

}  // namespace idprom::python

PYBIND11_MODULE(_idprom, m) {
  m.doc() = "The compiled core of the idprom package; use the idprom module.";
  idprom::python::bind_errors(m);
  idprom::python::bind_image(m);
  idprom::python::bind_files(m);
  idprom::python::bind_util(m);
}
