// new and build: blank images and images from a JSON description.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "base/errors.hpp"
#include "command.hpp"
#include "common.hpp"
#include "model/describe.hpp"
#include "model/rules.hpp"

namespace idprom::tool {
namespace {

uint32_t size_option(const std::string &text) {
  const uint32_t size = parse_number(text, "--size");
  if (size == 0 || size > kMaxImage) throw Failure(kExitUsage, "--size: 1 to 65536 bytes");
  return size;
}

struct NewOptions {
  std::string image;
  std::string size;
  bool force = false;
};

int run_new(const NewOptions &o) {
  const Bytes blank(size_option(o.size), 0xFF);
  create_file(system_io(), o.image, blank, o.force, WriteOptions{});
  return kExitOk;
}

struct BuildOptions {
  std::string description;
  std::string size;
  std::string output;
  bool force = false;
};

int run_build(const BuildOptions &o) {
  const std::string source = o.description == "-" ? "standard input" : o.description;
  const nlohmann::json description = parse_description(read_text_file(o.description), source);
  const std::optional<uint32_t> size =
      o.size.empty() ? std::nullopt : std::optional<uint32_t>(size_option(o.size));
  const Bytes image = build_image(description, size, source);
  if (!o.force) refuse_bad_base_mac(source, image);
  if (o.output == "-") {  // to standard output, for a pipe
    std::cout.write(reinterpret_cast<const char *>(image.data()),
                    static_cast<std::streamsize>(image.size()));
    return kExitOk;
  }
  create_file(system_io(), o.output, image, o.force, WriteOptions{});
  return kExitOk;
}

void declare_new(CLI::App &n, NewOptions &nw) {
  n.add_option("IMAGE", nw.image, "File to create")->required();
  n.add_option("--size", nw.size, "Size in bytes (decimal or 0x hex)")->type_name("N")->required();
  n.add_flag("--force", nw.force, "Replace an existing file");
}

void declare_build(CLI::App &b, BuildOptions &build) {
  b.add_option("DESCRIPTION", build.description, "JSON file, or - for standard input")->required();
  b.add_option("--size", build.size, "Image size (default: the description's \"size\")")
      ->type_name("N");
  b.add_option("-o,--output", build.output, "Image file to write, or - for standard output")
      ->type_name("IMAGE")
      ->required();
  b.add_flag("--force", build.force, "Replace an existing file");
}

}  // namespace

extern const Command kNew = command<NewOptions, declare_new, run_new>(
    "new", "Create a blank image (all 0xff)", "IMAGE --size N");
extern const Command kBuild = command<BuildOptions, declare_build, run_build>(
    "build", "Build an image from a JSON description", "DESCRIPTION.json -o IMAGE");

}  // namespace idprom::tool
