// show and get: the listing, the JSON description, one field's value.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "common.hpp"
#include "describe.hpp"
#include "errors.hpp"
#include "fields.hpp"
#include "types.hpp"
#include "values.hpp"

namespace idprom::tool {
namespace {

struct ShowOptions {
  std::string image;
  bool first = false;
  std::string instance;
  bool basic = false;
  std::vector<std::string> only;
  std::vector<std::string> except;
  bool json = false;
};

// The library's filter record for --only or --except: one-byte codes.
idprom_filter filter_of(const std::vector<std::string> &names, bool include) {
  idprom_filter filter{};
  filter.include = include ? 1 : 0;
  if (names.size() > 255) throw Failure(kExitUsage, "at most 255 types in --only or --except");
  for (size_t i = 0; i < names.size(); ++i) {
    const uint32_t type = resolve_type(names[i]);
    if (type > 0xFF) {
      throw Failure(kExitUsage, "--only and --except take one-byte type codes, not " + hex(type));
    }
    filter.types[i] = static_cast<uint8_t>(type);
  }
  return filter;
}

int run_show(const ShowOptions &o) {
  const Loaded image = load_image(o.image);
  if (o.json) {
    std::cout
        << describe(image.view()).dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
        << '\n';
    return report_malformed(image);
  }
  uint32_t instance = o.first ? 1 : 0;
  if (!o.instance.empty()) {
    instance = parse_number(o.instance, "--instance");
    if (instance < 1 || instance > 255) throw Failure(kExitUsage, "--instance: 1 to 255");
  }
  idprom_filter filter{};
  const idprom_filter *chosen = nullptr;
  if (o.basic) chosen = &idprom_basic_filter;
  if (!o.only.empty() || !o.except.empty()) {
    filter = filter_of(o.only.empty() ? o.except : o.only, !o.only.empty());
    chosen = &filter;
  }
  std::cout << as_lines(image.view().listing(instance, chosen));
  return report_malformed(image);
}

struct GetOptions {
  std::string image;
  std::string type;
  std::string instance = "1";
  bool raw = false;
  bool hex = false;
  bool integer = false;
};

int run_get(const GetOptions &o) {
  const Loaded image = load_image(o.image);
  const uint32_t type = resolve_type(o.type);
  const uint32_t instance = parse_number(o.instance, "--instance");
  if (instance == 0) throw Failure(kExitUsage, "--instance counts from 1");
  if (o.integer && !(lookup_is_integer(type) && !is_variable(type))) {
    throw Failure(kExitUsage, "--int: " + describe_type(type) + " is not an integer-valued type");
  }
  const ImageView view = image.view();
  const auto entry = view.find(type, instance);
  if (!entry) {
    if (report_malformed(image) != kExitOk) return kExitMalformed;
    std::cerr << "idprom: " << image.path << ": no " << describe_type(type)
              << (instance == 1 ? "" : " instance " + std::to_string(instance)) << '\n';
    return kExitAbsent;
  }
  const Bytes value(entry->value.begin(), entry->value.end());
  if (o.raw) {
    std::cout.write(reinterpret_cast<const char *>(value.data()),
                    static_cast<std::streamsize>(value.size()));
  } else if (o.hex) {
    std::cout << hex_string(value) << '\n';
  } else if (o.integer) {
    std::cout << view.get_int(type, instance).value_or(0) << '\n';
  } else {
    std::cout << field_text(view, *entry) << '\n';
  }
  return report_malformed(image);
}

}  // namespace

void add_read_commands(CLI::App &app, int &status) {
  auto show = std::make_shared<ShowOptions>();
  CLI::App *s = app.add_subcommand("show", "List the fields of an image (the default command)");
  s->add_option("IMAGE", show->image, "Image file, or - for standard input")->required();
  auto *first = s->add_flag("--first", show->first, "Only the first instance of each type");
  auto *inst =
      s->add_option("--instance", show->instance, "Only the N-th instance of each type (1-255)")
          ->type_name("N");
  auto *basic = s->add_flag("--basic", show->basic, "Only the basic identification fields");
  auto *only = s->add_option("--only", show->only, "Only these types (comma-separated)")
                   ->type_name("TYPES")
                   ->delimiter(',');
  auto *except = s->add_option("--except", show->except, "All but these types (comma-separated)")
                     ->type_name("TYPES")
                     ->delimiter(',');
  auto *json =
      s->add_flag("--json", show->json, "Every entry as JSON (a description `build` reads)");
  first->excludes(inst);
  basic->excludes(only)->excludes(except);
  only->excludes(except);
  json->excludes(first)->excludes(inst)->excludes(basic)->excludes(only)->excludes(except);
  s->callback([show, &status] { status = run_show(*show); });

  auto get = std::make_shared<GetOptions>();
  CLI::App *g = app.add_subcommand("get", "Print one field's value (exit status 1 when absent)");
  g->add_option("IMAGE", get->image, "Image file, or - for standard input")->required();
  g->add_option("TYPE", get->type, "Type: name, label, hex or decimal code")->required();
  g->add_option("--instance", get->instance, "Which instance, counted from 1")
      ->type_name("N")
      ->capture_default_str();
  auto *raw = g->add_flag("--raw", get->raw, "The stored bytes, unchanged");
  auto *hx = g->add_flag("--hex", get->hex, "The stored bytes in hex");
  auto *in = g->add_flag("--int", get->integer, "The integer, for integer-valued types");
  raw->excludes(hx)->excludes(in);
  hx->excludes(in);
  g->callback([get, &status] { status = run_get(*get); });
}

}  // namespace idprom::tool
