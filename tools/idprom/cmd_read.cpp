// show and get: the listing, the JSON description, fields' values.
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "base/errors.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "common.hpp"
#include "model/describe.hpp"
#include "model/fields.hpp"
#include "model/types.hpp"
#include "model/values.hpp"

namespace idprom::tool {
namespace {

struct ShowOptions {
  std::vector<std::string> images;
  bool first = false;
  std::string instance;
  bool basic = false;
  std::vector<std::string> only;
  std::vector<std::string> except;
  bool all = false;
  OutputFlags output;
  ImageFlags image;
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

// The entries of the types the listing never shows (it prints nothing for
// them), in the listing's layout with the code for a label: the label
// column is 25 characters wide.
struct Unlisted {
  uint32_t count = 0;
  std::string lines;
};

Unlisted unlisted_of(const ImageView &view) {
  Unlisted out;
  for (const Entry &e : view) {
    if (!view.entry_text(e).empty()) continue;
    ++out.count;
    char head[40];
    std::snprintf(head, sizeof head, "    %-25s: ", ("type " + hex(e.type)).c_str());
    out.lines += head + hex_string(Bytes(e.value.begin(), e.value.end())) + '\n';
  }
  return out;
}

struct Listing {
  uint32_t instance = 0;
  idprom_filter filter{};
  const idprom_filter *chosen = nullptr;
};

Listing listing_of(const ShowOptions &o) {
  Listing l;
  l.instance = o.first ? 1 : 0;
  if (!o.instance.empty()) {
    l.instance = parse_number(o.instance, "--instance");
    if (l.instance < 1 || l.instance > 255) throw Failure(kExitUsage, "--instance: 1 to 255");
  }
  if (o.basic) l.chosen = &idprom_basic_filter;
  if (!o.only.empty() || !o.except.empty()) {
    l.filter = filter_of(o.only.empty() ? o.except : o.only, !o.only.empty());
    l.chosen = &l.filter;
  }
  return l;
}

int show_one(const ShowOptions &o, const Listing &l, const std::string &path, ImageOutput &out) {
  const Loaded image = load_image(path, o.image);
  const ImageView view = image.view();
  if (o.output.json) {
    out.json = describe(view, o.output.mac_form());
  } else {
    out.text << as_lines(view.listing(l.instance, l.chosen));
    // Only the whole listing counts them: a filter leaves types out on purpose.
    const bool whole = l.instance == 0 && l.chosen == nullptr;
    const Unlisted unlisted = whole ? unlisted_of(view) : Unlisted{};
    if (o.all) {
      out.text << unlisted.lines;
    } else if (unlisted.count > 0) {
      out.notes.push_back(count_of(unlisted.count, "entry", "entries") +
                          " not listed (show --all lists them)");
    }
  }
  throw_if_malformed(image);
  return kExitOk;
}

struct GetOptions {
  std::vector<std::string> args;   // IMAGE... TYPE...
  std::vector<std::string> types;  // -t: then every argument is an image
  std::string instance = "1";
  bool raw = false;
  bool hex = false;
  bool integer = false;
  OutputFlags output;
  ImageFlags image;
};

bool names_image(const std::string &arg) {
  struct stat st;
  return arg == "-" || arg.starts_with("i2c:") || ::stat(arg.c_str(), &st) == 0;
}

// IMAGE... TYPE...: the first argument is an image and the last a type;
// between them, the arguments up to the first that names no file, "-" or
// i2c: device are images, the rest types.
std::pair<std::vector<std::string>, std::vector<std::string>> split_args(const GetOptions &o) {
  if (!o.types.empty() && !o.args.empty()) return {o.args, o.types};
  if (o.args.size() < 2 || !o.types.empty())
    throw Failure(kExitUsage, "get: expected IMAGE... TYPE... (or -t TYPE)");
  size_t cut = 1;
  while (cut + 1 < o.args.size() && names_image(o.args[cut])) ++cut;
  const auto at = o.args.begin() + static_cast<std::ptrdiff_t>(cut);
  return {{o.args.begin(), at}, {at, o.args.end()}};
}

std::string value_of(const GetOptions &o, const ImageView &view, const Entry &e,
                     uint32_t instance) {
  const Bytes value(e.value.begin(), e.value.end());
  if (o.raw) return std::string(value.begin(), value.end());
  if (o.hex) return hex_string(value);
  if (o.integer) return integer_text(e.type, view.get_int(e.type, instance).value_or(0));
  return field_text(view, e, o.output.mac_form());
}

int get_one(const GetOptions &o, const std::vector<uint32_t> &types, uint32_t instance,
            const std::string &path, ImageOutput &out) {
  const Loaded image = load_image(path, o.image);
  const ImageView view = image.view();
  std::string absent;
  out.json["values"] = nlohmann::ordered_json::object();
  for (const uint32_t type : types) {
    const std::string key = type_name(type).empty() ? hex(type) : type_name(type);
    const auto entry = view.find(type, instance);
    if (!entry) {
      absent += (absent.empty() ? "no " : ", no ") + describe_type(type);
      out.json["values"][key] = nullptr;
      continue;
    }
    const std::string text = value_of(o, view, *entry, instance);
    out.text << text << (o.raw ? "" : "\n");
    out.json["values"][key] = text;
  }
  throw_if_malformed(image);
  if (!absent.empty()) {
    throw Failure::about(path, kExitAbsent,
                         absent + (instance == 1 ? "" : " instance " + std::to_string(instance)));
  }
  return kExitOk;
}

int run_get(const GetOptions &o) {
  const auto [images, names] = split_args(o);
  const uint32_t instance = parse_number(o.instance, "--instance");
  if (instance == 0) throw Failure(kExitUsage, "--instance counts from 1");
  if (o.raw && (images.size() > 1 || names.size() > 1 || o.output.json)) {
    throw Failure(kExitUsage, "--raw: one image, one type and no --json");
  }
  std::vector<uint32_t> types;
  for (const std::string &name : names) {
    const uint32_t type = resolve_type(name);
    if (o.integer && !(lookup_is_integer(type) && !is_variable(type))) {
      throw Failure(kExitUsage, "--int: " + describe_type(type) + " is not an integer-valued type");
    }
    types.push_back(type);
  }
  return run_batch(
      images,
      [&](const std::string &path, ImageOutput &out) {
        return get_one(o, types, instance, path, out);
      },
      o.output);
}

int run_show(const ShowOptions &o) {
  const Listing l = listing_of(o);
  return run_batch(
      o.images,
      [&](const std::string &path, ImageOutput &out) { return show_one(o, l, path, out); },
      o.output, Prefix::kPrettySingle);
}

void declare_show(CLI::App &s, ShowOptions &show) {
  s.add_option("IMAGE", show.images, "Image files, or - for standard input")->required();
  auto *first = s.add_flag("--first", show.first, "Only the first instance of each type");
  auto *inst =
      s.add_option("--instance", show.instance, "Only the N-th instance of each type (1-255)")
          ->type_name("N");
  auto *basic = s.add_flag("--basic", show.basic, "Only the basic identification fields");
  auto *only = s.add_option("--only", show.only, "Only these types (comma-separated)")
                   ->type_name("TYPES")
                   ->delimiter(',');
  auto *except = s.add_option("--except", show.except, "All but these types (comma-separated)")
                     ->type_name("TYPES")
                     ->delimiter(',');
  auto *all = s.add_flag("--all", show.all,
                         "Also the entries of types the listing never shows, by code in hex");
  add_json_flag(s, show.output,
                "Every entry as JSON (a description `build` reads); one line per image when "
                "there are several");
  add_mac_format_flag(s, show.output);
  auto *json = s.get_option("--json");
  first->excludes(inst);
  basic->excludes(only)->excludes(except);
  only->excludes(except);
  json->excludes(first)->excludes(inst)->excludes(basic)->excludes(only)->excludes(except);
  all->excludes(json)->excludes(first)->excludes(inst)->excludes(basic)->excludes(only)->excludes(
      except);
  s.get_option("--mac-format")->needs(json);
  add_image_flags(s, show.image);
}

void declare_get(CLI::App &g, GetOptions &get) {
  g.add_option("ARGS", get.args,
               "IMAGE... TYPE...: image files (- for standard input), then types (name, label, "
               "hex or decimal code); see -t")
      ->type_name("IMAGE... TYPE...");
  g.add_option("-t,--type", get.types,
               "A type to print (repeatable); every positional argument is then an image")
      ->type_name("TYPE")
      ->allow_extra_args(false);
  g.add_option("--instance", get.instance, "Which instance, counted from 1")
      ->type_name("N")
      ->capture_default_str();
  auto *raw = g.add_flag("--raw", get.raw, "The stored bytes, unchanged");
  auto *hx = g.add_flag("--hex", get.hex, "The stored bytes in hex");
  auto *in = g.add_flag("--int", get.integer,
                        "The integer, for integer-valued types (0x and hex digits for the types "
                        "set reads in hex)");
  add_json_flag(g, get.output, "One JSON object per image per line: file and values");
  add_mac_format_flag(g, get.output);
  raw->excludes(hx)->excludes(in);
  hx->excludes(in);
  add_image_flags(g, get.image);
}

}  // namespace

extern const Command kShow = command<ShowOptions, declare_show, run_show>(
    "show", "List the fields of images (the default command)", "IMAGE...");
extern const Command kGet = command<GetOptions, declare_get, run_get>(
    "get", "Print fields' values, one line each (exit status 1 when one is absent)",
    "IMAGE... TYPE...");

}  // namespace idprom::tool
