// The extension module idprom._idprom: a thin layer that converts Python
// objects to and from the front-end core's types.  Everything the module
// knows about the format comes from the core and the library below it.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <span>

#include "io/fileio.hpp"

namespace idprom::python {

namespace py = pybind11;

// The bytes of a Python bytes object, without a copy.
std::span<const uint8_t> span_of(const py::bytes &data);
py::bytes bytes_of(std::span<const uint8_t> data);

// A type argument: a short name, a label, a decimal or 0x text, or an int
// code, resolved as the tool resolves a TYPE argument.
uint32_t type_of(const py::object &type);
// An instance number, from 1.
uint32_t instance_of(const py::object &instance);

void bind_errors(py::module_ &m);
void bind_image(py::module_ &m);
void bind_files(py::module_ &m);
void bind_util(py::module_ &m);

}  // namespace idprom::python
