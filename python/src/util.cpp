// Module functions: checksums, MAC address texts and the type table.
#include <string>

#include "binding.hpp"
#include "base/errors.hpp"
#include "io/fileio.hpp"
#include "model/macaddr.hpp"
#include "model/types.hpp"
#include "model/values.hpp"

namespace idprom::python {
namespace {

using tool::Failure;

uint32_t checksum(const py::bytes &data) {
  const auto bytes = span_of(data);
  return calculate_crc(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

uint16_t crc16(const py::bytes &data) {
  const auto bytes = span_of(data);
  return crc_16_buf(bytes.data(), static_cast<int32_t>(bytes.size()));
}

std::string mac_text(const py::bytes &data, const std::string &form) {
  const auto mac = span_of(data);
  if (mac.size() != 6) {
    throw Failure(tool::kExitValue,
                  "a MAC address is 6 bytes, not " + std::to_string(mac.size()));
  }
  const auto chosen = tool::mac_form(form);
  if (!chosen)
    throw Failure(tool::kExitUsage, "form '" + form + "': expected dotted, colon or plain");
  return tool::mac_text(macbuf_to_mac64(mac.data()), *chosen);
}

py::bytes mac_bytes(const std::string &text) {
  const auto mac = tool::parse_mac(text);
  if (!mac) {
    throw Failure(tool::kExitValue, "'" + text +
                                        "' is not a MAC address like 001a.2b3c.4d5e, "
                                        "00:1a:2b:3c:4d:5e or 001a2b3c4d5e");
  }
  return bytes_of(*mac);
}

py::list types() {
  py::list out;
  for (const tool::TypeInfo &row : tool::type_table()) {
    py::object name = row.name ? py::object(py::str(row.name)) : py::object(py::none());
    py::object label =
        row.label ? py::object(py::str(tool::type_label(row.code))) : py::object(py::none());
    out.append(py::make_tuple(row.code, name, label));
  }
  return out;
}

}  // namespace

void bind_util(py::module_ &m) {
  m.def("checksum", &checksum);
  m.def("crc16", &crc16);
  m.def("mac_text", &mac_text, py::arg("mac"), py::arg("form"));
  m.def("mac_bytes", &mac_bytes, py::arg("text"));
  m.def("types", &types);
  m.attr("MAX_IMAGE") = tool::kMaxImage;
  m.attr("MAX_WAIT") = tool::kMaxWait;
  // The library's statuses, ERR_NOT_FOUND and the rest, as Error.status holds them.
  for (Status s = IDPROM_ERR_LENGTH_MISMATCH; std::string(status_name(s)) != "unknown status"; ++s) {
    m.attr(status_name(s) + 7) = py::int_(static_cast<uint64_t>(s));
  }
}

}  // namespace idprom::python
