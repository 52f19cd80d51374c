// The dry-run view of an edit on an I2C part: the page writes it would make.
#include <ostream>

#include "common.hpp"
#include "base/errors.hpp"

namespace idprom::tool {

void print_page_writes(std::ostream &out, const std::vector<Region> &pages) {
  if (pages.empty()) return;  // no change, and the dry run said so
  out << "page writes: " << pages.size() << '\n';
  for (const Region &page : pages) {
    out << "  " << hex(page.offset, 4) << ", " << count_of(page.length, "byte", "bytes") << '\n';
  }
}

}  // namespace idprom::tool
