// program: one image per unit from a template, with serial numbers and
// MAC blocks counted up, published all or nothing (io/publish.hpp).

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "base/errors.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "common.hpp"
#include "io/publish.hpp"
#include "model/describe.hpp"
#include "model/macaddr.hpp"
#include "model/program.hpp"
#include "model/types.hpp"
#include "model/values.hpp"

namespace idprom::tool {
namespace {

struct ProgramOptions {
  std::string template_path;
  std::string count;
  std::string out;
  std::string serial;
  std::string serial_start = "1";
  std::string mac_start;
  std::string mac_end;
  std::vector<std::string> sets;
  bool force = false;
  OutputFlags output;
};

// A template is a description when its name ends in .json or its text
// parses as JSON; otherwise an image.
Bytes read_template(const std::string &path) {
  const std::string text = read_text_file(path);
  const bool named_json = path.ends_with(".json");
  if (named_json || nlohmann::json::accept(text)) {
    return build_image(parse_description(text, path), std::nullopt, path);
  }
  if (text.size() > kMaxImage)
    throw Failure(kExitMalformed, path + ": larger than any IDPROM image (64 KiB)");
  return Bytes(text.begin(), text.end());
}

ProgramRequest request_of(const ProgramOptions &o) {
  ProgramRequest r;
  r.count = parse_number(o.count, "--count");
  r.serial = o.serial;
  r.serial_start = parse_number(o.serial_start, "--serial-start");
  if (!o.mac_start.empty()) r.mac_start = read_mac(o.mac_start, "--mac-start");
  if (!o.mac_end.empty()) r.mac_end = read_mac(o.mac_end, "--mac-end");
  for (const std::string &s : o.sets) r.sets.push_back(split_assignment(s));
  r.base = read_template(o.template_path);
  r.source = o.template_path;
  return r;
}

// A unit as the manifest lists it, and as --json prints it.
nlohmann::ordered_json unit_json(const Unit &u) {
  const ImageView view(u.image);
  const auto text_of = [&](uint32_t type) -> nlohmann::ordered_json {
    const auto e = view.find(type);
    return e ? nlohmann::ordered_json(value_text(view, *e)) : nlohmann::ordered_json(nullptr);
  };
  nlohmann::ordered_json line;
  line["file"] = u.file;
  line["serial"] = text_of(resolve_type("pcb-serial"));
  line["base_mac"] = text_of(resolve_type("base-mac"));
  line["block_size"] = u.block;
  line["checksum"] = hex(calculate_crc(u.image.data(), static_cast<uint32_t>(u.image.size())), 8);
  return line;
}

std::string json_line(const nlohmann::ordered_json &json) {
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
}

// The images and, last, the manifest of `listed`, the units' lines: the
// manifest going in is what makes the batch complete.
std::vector<BatchFile> outputs_of(std::vector<Unit> units, const nlohmann::ordered_json &listed) {
  std::vector<BatchFile> out;
  std::string manifest;
  for (const auto &line : listed) manifest += json_line(line);
  for (Unit &u : units) out.push_back(BatchFile{u.file, std::move(u.image)});
  out.push_back(BatchFile{"manifest.jsonl", Bytes(manifest.begin(), manifest.end())});
  return out;
}

// --json: the folder, what an interrupted run's recovery did (null for
// nothing; the note goes to standard error as well) and the manifest's units.
void print_json(const std::string &dir, const std::string &recovered,
                const nlohmann::ordered_json &listed) {
  nlohmann::ordered_json out = {{"out", dir}, {"manifest", "manifest.jsonl"}};
  const size_t end = recovered.find_last_not_of('\n');
  out["recovered"] = nullptr;
  if (end != std::string::npos) out["recovered"] = recovered.substr(0, end + 1);
  out["units"] = listed;
  std::cout << json_line(out);
}

int run_program(const ProgramOptions &o) {
  std::vector<Unit> units = plan_units(request_of(o));
  const size_t count = units.size();
  nlohmann::ordered_json listed = nlohmann::ordered_json::array();
  for (const Unit &u : units) listed.push_back(unit_json(u));
  const std::string recovered =
      publish_batch(system_io(), o.out, outputs_of(std::move(units), listed), o.force).recovered;
  std::cerr << recovered;
  if (o.output.json) {
    print_json(o.out, recovered, listed);
  } else {
    std::cout << o.out << ": " << count << (count == 1 ? " image" : " images")
              << " and manifest.jsonl\n";
  }
  return kExitOk;
}

void declare_program(CLI::App &p, ProgramOptions &o) {
  p.add_option("TEMPLATE", o.template_path, "Description (.json, as show --json prints) or image")
      ->required();
  p.add_option("--count", o.count, "Number of units")->type_name("N")->required();
  p.add_option("--out", o.out, "Folder for the images and manifest.jsonl")
      ->type_name("DIR")
      ->required();
  p.add_option("--serial", o.serial, "PCB Serial Number pattern; a run of # is the unit number")
      ->type_name("PATTERN");
  p.add_option("--serial-start", o.serial_start, "The first unit's number")
      ->type_name("K")
      ->capture_default_str();
  p.add_option("--mac-start", o.mac_start, "The first unit's Base MAC Address")->type_name("MAC");
  p.add_option("--mac-end", o.mac_end, "The last address any unit's block may hold")
      ->type_name("MAC");
  p.add_option("--set", o.sets, "TYPE=VALUE for every unit, read as set reads it")
      ->type_name("TYPE=VALUE");
  p.add_flag("--force", o.force, "Replace existing files");
  add_json_flag(p, o.output,
                "One JSON object: out, manifest, recovered, and units as the manifest lists them");
}

}  // namespace

extern const Command kProgram = command<ProgramOptions, declare_program, run_program>(
    "program", "One image per unit from a template, all or nothing",
    "TEMPLATE --count N --out DIR");

}  // namespace idprom::tool
