// diff: field-by-field differences of two images.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "base/errors.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "common.hpp"
#include "model/compare.hpp"

namespace idprom::tool {
namespace {

struct DiffOptions {
  std::string a, b;
  OutputFlags output;
  ImageFlags image;
};

int run_diff(const DiffOptions &o) {
  const std::string &path_a = o.a, &path_b = o.b;
  if (path_a == "-" && path_b == "-")
    throw Failure(kExitUsage, "standard input (-) is named twice; it can be read only once");
  const Loaded a = load_image(path_a, o.image), b = load_image(path_b, o.image);
  const std::vector<Change> changes = changes_of(a, b);
  if (o.output.json) {
    nlohmann::ordered_json out = {{"files", {path_a, path_b}}, {"differ", !changes.empty()}};
    out["changes"] = nlohmann::ordered_json::array();
    for (const Change &c : changes) out["changes"].push_back(json_of(c));
    std::cout << out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  } else {
    for (const Change &c : changes) std::cout << line_of(c) << '\n';
  }
  throw_if_malformed(a);
  throw_if_malformed(b);
  return changes.empty() ? kExitOk : kExitAbsent;
}

void declare_diff(CLI::App &d, DiffOptions &o) {
  d.add_option("A", o.a, "First image (- for standard input)")->required();
  d.add_option("B", o.b, "Second image")->required();
  add_json_flag(d, o.output, "One JSON object: files, differ, changes (kind, field, from, to)");
  add_image_flags(d, o.image);
}

}  // namespace

extern const Command kDiff = command<DiffOptions, declare_diff, run_diff>(
    "diff", "Field-by-field differences of two images (exit status 1 when they differ)", "A B");

}  // namespace idprom::tool
