// Shared helpers of the subcommands.
#include "common.hpp"

#include <iostream>

#include "errors.hpp"
#include "fields.hpp"

namespace idprom::tool {

int report_malformed(const Loaded &image) {
  const auto problem = malformed_text(image.bytes, image.layout);
  if (!problem) return kExitOk;
  std::cerr << "idprom: " << image.path << ": " << *problem << '\n';
  return kExitMalformed;
}

}  // namespace idprom::tool
