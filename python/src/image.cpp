// Reading and editing image bytes: fields, values, listings, descriptions,
// edits and the checks.  Images are immutable bytes on the Python side;
// an edit returns new bytes and its dirty region.
#include <optional>
#include <string>

#include "binding.hpp"
#include "model/describe.hpp"
#include "base/errors.hpp"
#include "model/fields.hpp"
#include "io/guard.hpp"
#include "model/image.hpp"
#include "model/types.hpp"
#include "model/values.hpp"

namespace idprom::python {
namespace {

using tool::Bytes;
using tool::Failure;

// The enhanced dump's offsets are 16-bit quantities.
constexpr size_t kMaxDump = 65520;

py::object none_if_empty(const std::string &text) {
  return text.empty() ? py::object(py::none()) : py::object(py::str(text));
}

// A Field (offset, type, name, label, length, attribute, value, text) per
// entry.  Field, a named tuple passed in from the package, is allocated
// and filled here: no intermediate tuple and no Python-level constructor
// per entry, which would cost more than the walk itself.
py::list fields(const py::bytes &data, const py::type &field) {
  auto *const cls = reinterpret_cast<PyTypeObject *>(field.ptr());
  if (!PyType_IsSubtype(cls, &PyTuple_Type)) throw py::type_error("fields: expected a tuple type");
  const ImageView view(span_of(data));
  py::list out;
  for (const Entry &e : view) {
    constexpr Py_ssize_t kItems = 8;
    py::object items[kItems] = {py::int_(e.offset), py::int_(e.type), none_if_empty(tool::type_name(e.type)),
                          none_if_empty(tool::type_label(e.type)), py::int_(e.length),
                          py::int_(e.attribute), bytes_of(e.value), py::str(tool::field_text(view, e))};
    auto f = py::reinterpret_steal<py::object>(cls->tp_alloc(cls, kItems));
    if (!f) throw py::error_already_set();
    for (Py_ssize_t i = 0; i < kItems; ++i) PyTuple_SET_ITEM(f.ptr(), i, items[i].release().ptr());
    out.append(f);
  }
  return out;
}

std::optional<Entry> find(const py::bytes &data, const py::object &type,
                          const py::object &instance) {
  return ImageView(span_of(data)).find(type_of(type), instance_of(instance));
}

py::object get_text(const py::bytes &data, const py::object &type, const py::object &instance) {
  const auto e = find(data, type, instance);
  if (!e) return py::none();
  return py::str(tool::field_text(ImageView(span_of(data)), *e));
}

// The value as data: an int for integer types, the text `set` reads back
// for text and grouped numbers, the bytes for opaque data; None when absent.
py::object get_data(const py::bytes &data, const py::object &type, const py::object &instance) {
  const auto e = find(data, type, instance);
  if (!e) return py::none();
  switch (tool::data_kind(*e)) {
    case tool::DataKind::kInteger:
      return py::handle(reinterpret_cast<PyObject *>(&PyLong_Type))
          .attr("from_bytes")(bytes_of(e->value), "big");
    case tool::DataKind::kText:
      return py::str(tool::field_text(ImageView(span_of(data)), *e));
    case tool::DataKind::kBytes:
      break;
  }
  return bytes_of(e->value);
}

py::object get_bytes(const py::bytes &data, const py::object &type, const py::object &instance) {
  const auto e = find(data, type, instance);
  return e ? py::object(bytes_of(e->value)) : py::object(py::none());
}

py::object get_int(const py::bytes &data, const py::object &type_arg, const py::object &instance) {
  const uint32_t type = type_of(type_arg);
  if (!(lookup_is_integer(type) && !is_variable(type))) {
    throw Failure(tool::kExitUsage, tool::describe_type(type) + " is not an integer-valued type");
  }
  const auto v = ImageView(span_of(data)).get_int(type, instance_of(instance));
  return v ? py::object(py::int_(*v)) : py::object(py::none());
}

// The stored bytes of an int for an integer-valued fixed-size type.
Bytes int_value(uint32_t type, const py::int_ &value) {
  if (is_variable(type) || is_byte_string_code(type & 0xFF)) {
    throw Failure(tool::kExitValue, tool::describe_type(type) +
                                        " is not an integer-valued type; give its value as text");
  }
  const uint32_t width = fixed_width(type);
  const uint64_t max = (uint64_t{1} << (8 * width)) - 1;
  if (value < py::int_(0) || value > py::int_(max)) {
    throw Failure(tool::kExitValue, "value " + py::repr(value).cast<std::string>() + " for " +
                                        tool::describe_type(type) + ": expected 0 to " +
                                        std::to_string(max));
  }
  const auto v = value.cast<uint64_t>();
  Bytes out(width);
  for (uint32_t i = 0; i < width; ++i) out[i] = static_cast<uint8_t>(v >> (8 * (width - 1 - i)));
  return out;
}

py::tuple edited(const Bytes &work, tool::Region dirty) {
  return py::make_tuple(bytes_of(work), dirty.offset, dirty.length);
}

py::tuple set(const py::bytes &data, const py::object &type, const py::object &value,
              const py::object &instance, bool create) {
  const tool::FieldEdit edit{type_of(type), instance_of(instance), create, std::nullopt, false};
  tool::refuse_malformed("image", span_of(data));
  const Bytes before(span_of(data).begin(), span_of(data).end());
  Bytes work = before;
  ImageEditor editor(work);
  tool::refuse_instance_gap(editor.view(), edit.type, edit.instance, "instance");
  Bytes stored;
  if (py::isinstance<py::str>(value)) {
    stored = tool::value_for(editor.view(), edit, value.cast<std::string>());
  } else if (py::isinstance<py::bytes>(value)) {
    const auto raw = span_of(value.cast<py::bytes>());
    stored.assign(raw.begin(), raw.end());
  } else if (py::isinstance<py::int_>(value) && !py::isinstance<py::bool_>(value)) {
    stored = int_value(edit.type, value.cast<py::int_>());
  } else {
    throw py::type_error("a value is a str (read as `idprom set` reads it), bytes or an int");
  }
  const tool::Region dirty = tool::set_field(editor, edit, stored);
  tool::guard_edit("image", before, work, false);
  return edited(work, dirty);
}

py::tuple remove(const py::bytes &data, const py::object &type, const py::object &instance) {
  const uint32_t code = type_of(type);
  const uint32_t n = instance_of(instance);
  tool::refuse_malformed("image", span_of(data));
  const Bytes before(span_of(data).begin(), span_of(data).end());
  Bytes work = before;
  ImageEditor editor(work);
  const tool::Region dirty = tool::delete_field(editor, code, n);
  tool::guard_edit("image", before, work, false);
  return edited(work, dirty);
}

std::string describe(const py::bytes &data) {
  return tool::describe(ImageView(span_of(data)))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

py::bytes build(const std::string &description, std::optional<uint32_t> size) {
  nlohmann::json parsed;
  try {
    parsed = nlohmann::json::parse(description);
  } catch (const nlohmann::json::exception &e) {
    throw Failure(tool::kExitUsage, std::string("description: ") + e.what());
  }
  return bytes_of(tool::build_image(parsed, size, "description"));
}

std::string enhanced_dump(const py::bytes &data) {
  std::span<const uint8_t> bytes = span_of(data);
  if (bytes.size() > kMaxDump) bytes = bytes.first(kMaxDump);
  return ImageView(bytes).enhanced_dump();
}

void check_size(size_t size) {
  if (size > tool::kMaxImage) {
    throw Failure(tool::kExitMalformed, "image: " + std::to_string(size) +
                                            " bytes, larger than 65536 bytes, the largest IDPROM "
                                            "image");
  }
}

// The work of fields() without the Python objects: the baseline that
// bench/python_fields.py compares the package with.
size_t walk_fields(const py::list &images) {
  size_t total = 0;
  for (const py::handle image : images) {
    const ImageView view(span_of(py::reinterpret_borrow<py::bytes>(image)));
    for (const Entry &e : view) {
      total += tool::type_name(e.type).size() + tool::type_label(e.type).size() +
               tool::field_text(view, e).size() + e.value.size();
    }
  }
  return total;
}

}  // namespace

void bind_image(py::module_ &m) {
  m.def("fields", &fields, py::arg("data"), py::arg("field"));
  m.def("get_text", &get_text, py::arg("data"), py::arg("type"), py::arg("instance"));
  m.def("get", &get_data, py::arg("data"), py::arg("type"), py::arg("instance"));
  m.def("get_bytes", &get_bytes, py::arg("data"), py::arg("type"), py::arg("instance"));
  m.def("get_int", &get_int, py::arg("data"), py::arg("type"), py::arg("instance"));
  m.def("set", &set, py::arg("data"), py::arg("type"), py::arg("value"), py::arg("instance"),
        py::arg("create"));
  m.def("delete", &remove, py::arg("data"), py::arg("type"), py::arg("instance"));
  m.def("listing", [](const py::bytes &d) { return tool::as_lines(ImageView(span_of(d)).listing()); });
  m.def("basic_listing",
        [](const py::bytes &d) { return tool::as_lines(ImageView(span_of(d)).basic_listing()); });
  m.def("dump", [](const py::bytes &d) { return tool::as_lines(ImageView(span_of(d)).dump()); });
  m.def("enhanced_dump", &enhanced_dump);
  m.def("describe", &describe);
  m.def("build", &build, py::arg("description"), py::arg("size"));
  m.def("check", [](const py::bytes &d) { return tool::image_problems(span_of(d)); });
  m.def("check_size", &check_size);
  m.def("walk_fields", &walk_fields);
}

}  // namespace idprom::python
