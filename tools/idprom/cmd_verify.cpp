// verify: images checked against rules, a report line per failed rule.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "common.hpp"
#include "describe.hpp"
#include "errors.hpp"
#include "rules.hpp"

namespace idprom::tool {
namespace {

struct VerifyOptions {
  std::string rules;
  std::vector<std::string> images;
  bool json = false;
};

struct Verdict {
  int status = kExitOk;
  std::vector<RuleFailure> failures;
  std::string error;  // the image could not be read
};

Verdict verify(const std::string &path, const Rules &rules) {
  Verdict v;
  try {
    const Loaded image = load_image(path);
    if (image.bytes.empty()) {
      v.failures.push_back({"entries", "empty file (0 bytes)"});
    } else if (const auto at = image.layout.malformed_at) {
      v.failures.push_back(
          {"entries", "offset " + hex(*at, 4) + ": " + problem_at(image.bytes, *at)});
    } else {
      v.failures = check_rules(image.bytes, rules);
      v.status = v.failures.empty() ? kExitOk : kExitRule;
      return v;
    }
    v.status = kExitMalformed;
  } catch (const Failure &f) {
    v.status = f.code();
    v.error = f.what();
  }
  return v;
}

void report_text(const std::string &path, const Verdict &v) {
  if (!v.error.empty()) std::cerr << "idprom: " << v.error << '\n';
  if (v.error.empty() && v.failures.empty()) std::cout << path << ": ok\n";
  for (const RuleFailure &f : v.failures)
    std::cout << path << ": " << f.rule << ": " << f.message << '\n';
}

void report_json(const std::string &path, const Verdict &v) {
  nlohmann::ordered_json line;
  line["file"] = path;
  line["ok"] = v.status == kExitOk;
  line["status"] = v.status;
  line["failures"] = nlohmann::ordered_json::array();
  for (const RuleFailure &f : v.failures)
    line["failures"].push_back({{"rule", f.rule}, {"message", f.message}});
  if (!v.error.empty()) line["error"] = v.error;
  std::cout << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

int run_verify(const VerifyOptions &o) {
  const Rules rules = read_rules(parse_description(read_text_file(o.rules), o.rules), o.rules);
  int status = kExitOk;
  for (const std::string &path : o.images) {
    const Verdict v = verify(path, rules);
    (o.json ? report_json : report_text)(path, v);
    if (status == kExitOk) status = v.status;
  }
  return status;
}

}  // namespace

void add_verify_command(CLI::App &app, int &status) {
  auto o = std::make_shared<VerifyOptions>();
  CLI::App *v =
      app.add_subcommand("verify", "Check images against rules (exit status 7 when one fails)");
  v->add_option("--rules", o->rules, "JSON rules: size, required, match, mac")
      ->type_name("RULES.json")
      ->required();
  v->add_option("IMAGE", o->images, "Image files")->required();
  v->add_flag("--json", o->json, "One JSON object per image per line");
  v->callback([o, &status] { status = run_verify(*o); });
}

}  // namespace idprom::tool
