// verify: images checked against rules, a report line per failed rule.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "base/errors.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "common.hpp"
#include "model/describe.hpp"
#include "model/rules.hpp"

namespace idprom::tool {
namespace {

struct VerifyOptions {
  std::string rules;
  std::vector<std::string> images;
  OutputFlags output;
  ImageFlags image;
};

// The rules an image fails; one that does not decode fails only "entries".
std::vector<RuleFailure> failures_of(const Loaded &image, const Rules &rules) {
  if (image.bytes.empty()) return {{"entries", "empty file (0 bytes)"}};
  if (const auto at = image.layout.malformed_at) {
    return {{"entries", "offset " + hex(*at, 4) + ": " + problem_at(image.bytes, *at)}};
  }
  return check_rules(image.bytes, rules);
}

// "ok", or a line per failed rule; the runner starts each with the name.
int verify_one(const Rules &rules, const ImageFlags &flags, const std::string &path,
               ImageOutput &out) {
  const Loaded image = load_image(path, flags);
  const std::vector<RuleFailure> failures = failures_of(image, rules);
  const bool malformed = image.bytes.empty() || image.layout.malformed_at;
  const int status = malformed ? kExitMalformed : failures.empty() ? kExitOk : kExitRule;
  if (failures.empty()) out.text << "ok\n";
  for (const RuleFailure &f : failures) out.text << f.rule << ": " << f.message << '\n';
  out.json = {{"ok", status == kExitOk}, {"status", status}};
  out.json["failures"] = nlohmann::ordered_json::array();
  for (const RuleFailure &f : failures)
    out.json["failures"].push_back({{"rule", f.rule}, {"message", f.message}});
  return status;
}

int run_verify(const VerifyOptions &o) {
  const Rules rules = read_rules(parse_description(read_text_file(o.rules), o.rules), o.rules);
  return run_batch(
      o.images,
      [&](const std::string &path, ImageOutput &out) {
        return verify_one(rules, o.image, path, out);
      },
      o.output, Prefix::kAlways);
}

void declare_verify(CLI::App &v, VerifyOptions &o) {
  v.add_option("--rules", o.rules, "JSON rules: size, required, match, mac")
      ->type_name("RULES.json")
      ->required();
  v.add_option("IMAGE", o.images, "Image files")->required();
  add_json_flag(v, o.output, "One JSON object per image per line");
  add_image_flags(v, o.image);
}

}  // namespace

extern const Command kVerify = command<VerifyOptions, declare_verify, run_verify>(
    "verify", "Check images against rules (exit status 7 when one fails)",
    "--rules RULES.json IMAGE ...");

}  // namespace idprom::tool
