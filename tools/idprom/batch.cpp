// The runner of the commands that take several images.
#include "batch.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <iterator>

namespace idprom::tool {
namespace {

constexpr auto kReplace = nlohmann::json::error_handler_t::replace;

// Each line of `text` led by `lead`.
void write_lines(const std::string &text, const std::string &lead) {
  if (lead.empty()) {
    std::cout << text;
    return;
  }
  for (size_t pos = 0; pos < text.size();) {
    const size_t end = text.find('\n', pos);
    const size_t stop = end == std::string::npos ? text.size() : end + 1;
    std::cout << lead << std::string_view(text).substr(pos, stop - pos);
    pos = stop;
  }
}

void write_json(const std::string &path, const nlohmann::ordered_json &object, bool pretty) {
  if (object.is_null()) return;
  if (pretty) {
    std::cout << object.dump(2, ' ', false, kReplace) << '\n';
    return;
  }
  nlohmann::ordered_json line = {{"file", path}};
  for (const auto &[key, value] : object.items()) line[key] = value;
  std::cout << line.dump(-1, ' ', false, kReplace) << '\n';
}

void write_output(const std::string &path, const ImageOutput &out, bool json, bool several,
                  Prefix prefix) {
  const bool prefixed = several || prefix == Prefix::kAlways;
  if (json) {
    write_json(path, out.json, !several && prefix == Prefix::kPrettySingle);
  } else {
    write_lines(out.text.str(), prefixed ? path + ": " : "");
  }
  std::cout.flush();
  for (const std::string &note : out.notes)
    std::cerr << "idprom: " << (several ? path + ": " : "") << note << '\n';
}

}  // namespace

void add_json_flag(CLI::App &sub, OutputFlags &flags, const std::string &help) {
  sub.add_flag("--json", flags.json, help);
}

void add_mac_format_flag(CLI::App &sub, OutputFlags &flags) {
  sub.add_option("--mac-format", flags.mac_format,
                 "MAC addresses as 0200.0000.0100 (dotted), 02:00:00:00:01:00 (colon) or "
                 "020000000100 (plain)")
      ->type_name("dotted|colon|plain")
      ->check(CLI::IsMember(std::vector<std::string>(std::begin(kMacFormNames),
                                                     std::end(kMacFormNames))))
      ->capture_default_str();
}

MacForm OutputFlags::mac_form() const {
  return idprom::tool::mac_form(mac_format).value_or(MacForm::kDotted);
}

int run_batch(const std::vector<std::string> &paths, const PerImage &one, const OutputFlags &output,
              Prefix prefix) {
  if (std::count(paths.begin(), paths.end(), "-") > 1)
    throw Failure(kExitUsage, "standard input (-) is named twice; it can be read only once");
  int first = kExitOk;
  for (const std::string &path : paths) {
    ImageOutput out;
    int status = kExitOk;
    try {
      status = one(path, out);
      write_output(path, out, output.json, paths.size() > 1, prefix);
    } catch (const Failure &f) {
      write_output(path, out, output.json, paths.size() > 1, prefix);
      print_failure(f, output.json, &path);
      status = f.code();
    }
    if (first == kExitOk) first = status;
  }
  return first;
}

void print_failure(const Failure &failure, bool json, const std::string *path) {
  std::cout.flush();
  if (!json) {
    std::cerr << "idprom: " << failure.what() << '\n';
    return;
  }
  nlohmann::ordered_json line;
  line["error"] = path != nullptr && failure.file() == *path ? failure.detail() : failure.what();
  if (path != nullptr) line["file"] = *path;
  if (failure.offset()) line["offset"] = *failure.offset();
  line["status"] = failure.code();
  std::cerr << line.dump(-1, ' ', false, kReplace) << '\n';
}

}  // namespace idprom::tool
