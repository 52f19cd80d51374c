// Commands over several images: one runner that processes every image,
// prefixes each line of text output with the image's name when there are
// several (as grep does), writes one JSON object per line per image with
// --json, and reports each image's failure without stopping the others.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "base/errors.hpp"
#include "model/macaddr.hpp"

namespace CLI {
class App;
}

namespace idprom::tool {

// --json and --mac-format, options of the commands that take them (as a
// member named `output`, which main reads to word the errors it prints).
struct OutputFlags {
  bool json = false;
  std::string mac_format = "dotted";

  MacForm mac_form() const;
};
void add_json_flag(CLI::App &sub, OutputFlags &flags, const std::string &help);
void add_mac_format_flag(CLI::App &sub, OutputFlags &flags);

// What one image's run produces, written out by the runner.
struct ImageOutput {
  std::ostringstream text;         // lines for standard output
  nlohmann::ordered_json json;     // the image's object with --json ("file" is added)
  std::vector<std::string> notes;  // remarks (not errors) for standard error
};

// Runs `one` on an image: it fills the output and returns the image's
// exit status, or throws Failure (after filling what it could, which is
// still written).
using PerImage = std::function<int(const std::string &path, ImageOutput &out)>;

enum class Prefix : uint8_t {
  kWhenSeveral,  // text lines get "FILE: " only when there are several images
  kAlways,       // the command's lines always start with the name (check, verify)
  kPrettySingle,  // as kWhenSeveral; and one image's JSON is printed indented, without "file"
};

// Every image in argument order; returns the first non-zero status.
int run_batch(const std::vector<std::string> &paths, const PerImage &one, const OutputFlags &output,
              Prefix prefix = Prefix::kWhenSeveral);

// Writes a failure to standard error: "idprom: message", or with `json` a
// one-line object {"error", "file", "offset", "status"} (file and offset
// where known; the message leaves out the file when the failure is about
// that file).
void print_failure(const Failure &failure, bool json, const std::string *path = nullptr);

}  // namespace idprom::tool
