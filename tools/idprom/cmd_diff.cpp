// diff: field-by-field differences of two images.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "batch.hpp"
#include "common.hpp"
#include "base/errors.hpp"
#include "model/compare.hpp"

namespace idprom::tool {
namespace {

int run_diff(const std::string &path_a, const std::string &path_b) {
  if (path_a == "-" && path_b == "-")
    throw Failure(kExitUsage, "standard input (-) is named twice; it can be read only once");
  const Loaded a = load_image(path_a), b = load_image(path_b);
  const std::vector<Change> changes = changes_of(a, b);
  if (output_flags().json) {
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

}  // namespace

void add_diff_command(CLI::App &app, int &status) {
  auto paths = std::make_shared<std::pair<std::string, std::string>>();
  CLI::App *d = app.add_subcommand(
      "diff", "Field-by-field differences of two images (exit status 1 when they differ)");
  d->add_option("A", paths->first, "First image (- for standard input)")->required();
  d->add_option("B", paths->second, "Second image")->required();
  add_json_flag(d, "One JSON object: files, differ, changes (kind, field, from, to)");
  d->callback([paths, &status] { status = run_diff(paths->first, paths->second); });
}

}  // namespace idprom::tool
