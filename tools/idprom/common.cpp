// Shared helpers of the subcommands.
#include "common.hpp"

#include <iostream>

#include "errors.hpp"

namespace idprom::tool {

int report_malformed(const Loaded &image) {
  if (image.bytes.empty()) {
    std::cerr << "idprom: " << image.path << ": empty file (0 bytes)\n";
    return kExitMalformed;
  }
  if (!image.layout.malformed_at) return kExitOk;
  const uint32_t at = *image.layout.malformed_at;
  const uint32_t n = image.layout.entries;
  const std::string before =
      n == 1 ? "1 entry before it decodes" : std::to_string(n) + " entries before it decode";
  std::cerr << "idprom: " << image.path << ": offset " << hex(at, 4) << ": "
            << problem_at(image.bytes, at) << "; " << before << '\n';
  return kExitMalformed;
}

}  // namespace idprom::tool
