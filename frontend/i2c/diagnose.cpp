// Telling from the bytes read back what a failed write did.
#include "i2c/diagnose.hpp"

#include <algorithm>

#include "base/errors.hpp"

namespace idprom::tool::i2c {
namespace {

bool inside(const Run &run, uint32_t at) noexcept {
  return at >= run.offset && at - run.offset < run.length;
}

// The failed run's pages, widened to whole pages (a wrap lands in them).
Run pages_of(Run run, uint32_t page) noexcept {
  if (page == 0) return run;
  const uint32_t first = run.offset / page * page;
  const uint32_t end = (run.offset + run.length + page - 1) / page * page;
  return {first, end - first};
}

}  // namespace

Diagnosis diagnose(std::span<const uint8_t> before, std::span<const uint8_t> back, uint32_t base,
                   std::span<const Run> written, Run failed, uint32_t page) {
  const Run pages = pages_of(failed, page);
  Diagnosis d{Stuck::kUnchanged, {}};
  const auto n = static_cast<uint32_t>(std::min(before.size(), back.size()));
  for (uint32_t i = base; i - base < n; ++i) {
    const bool expected = std::any_of(written.begin(), written.end(),
                                      [&](const Run &r) { return inside(r, i); });
    if (before[i - base] == back[i - base] || expected) continue;
    if (!d.changed.empty() && d.changed.back().offset + d.changed.back().length == i) {
      ++d.changed.back().length;
    } else {
      d.changed.push_back({i, 1});
    }
    if (!inside(pages, i)) d.what = Stuck::kElsewhere;
    else if (d.what == Stuck::kUnchanged) d.what = Stuck::kPartial;
  }
  return d;
}

std::string runs_text(const std::vector<Run> &runs) {
  std::string out;
  for (const Run &r : runs) {
    out += (out.empty() ? "" : ", ") + hex(r.offset, 4) + "-" + hex(r.offset + r.length - 1, 4);
  }
  return out;
}

std::string explain(const Diagnosis &d, const std::string &declared) {
  const std::string where = runs_text(d.changed);
  switch (d.what) {
    case Stuck::kUnchanged:
      return "nothing changed, as on a write-protected part (its write-protect line, at24's "
             "read-only or force_ro setting, a strap on the board)";
    case Stuck::kPartial:
      return "only bytes " + where + " changed: " +
             (declared.empty() ? std::string("the device stored part of the write")
                               : "the part's page may be smaller, or its write cycle longer, "
                                 "than declared (" + declared + ")");
    case Stuck::kElsewhere:
      break;
  }
  return "bytes " + where + " changed instead: the part takes its address otherwise than " +
         (declared.empty() ? std::string("written") : "declared (" + declared + ")") +
         "; declare its address width with --chip or --address-width";
}

}  // namespace idprom::tool::i2c
