// Pieces the subcommands share: loading an image, reporting where a list
// stops decoding, turning library text into lines, reading numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fileio.hpp"
#include "idprom.hpp"

namespace CLI {
class App;
}

namespace idprom::tool {

// A read-only image and what a walk over it finds.
struct Loaded {
  std::string path;
  Bytes bytes;
  Layout layout;

  ImageView view() const { return ImageView(bytes); }
};

Loaded load(const std::string &path);

// Why no entry decodes at `offset` (extension bytes to the end, a length
// field or value cut off by the image's end, a zero length).
std::string problem_at(std::span<const uint8_t> bytes, uint32_t offset);

// When the image is empty or its list does not decode to its end: writes
// where and why to standard error and returns kExitMalformed; otherwise
// returns kExitOk.
int report_malformed(const Loaded &image);

// Library text (which starts each field or row with a newline and ends
// without one) as lines: the leading newline dropped, a final one added.
std::string as_lines(const std::string &text);

// The value part of an entry's listing text (after its label), without
// trailing spaces; "" for types the listing does not show.
std::string value_text(const ImageView &view, const Entry &entry);

// "label (0xcb)" for messages, or "type 0x1c5" when the type has no label.
std::string describe_type(uint32_t type);

// A decimal or 0x-hex number for an option; throws Failure (usage).
uint32_t parse_number(std::string_view text, const std::string &what);

// Each family of subcommands adds itself to the app; the chosen command
// stores its exit status in `status`.
void add_read_commands(CLI::App &app, int &status);
void add_edit_commands(CLI::App &app, int &status);
void add_create_commands(CLI::App &app, int &status);
void add_inspect_commands(CLI::App &app, int &status);
void add_diff_command(CLI::App &app, int &status);
void add_macs_command(CLI::App &app, int &status);
void add_types_command(CLI::App &app, int &status);

}  // namespace idprom::tool
