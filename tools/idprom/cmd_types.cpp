// types: the catalogue of known types and the names the tool accepts.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "base/errors.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "common.hpp"
#include "model/types.hpp"

namespace idprom::tool {
namespace {

// The standard length word and what it means.
std::string length_word_text(uint32_t code) {
  const uint32_t word = idprom_type_to_len(code);
  if (!is_variable(code)) return std::to_string(word);
  if (word == 0) return "none";
  const uint32_t attribute = word == 0xFFFFFFFFU ? kAttrHex : word & 0xC0;
  const uint32_t length = word == 0xFFFFFFFFU ? 0x3FFF : word & 0x3F;
  const char *kind = attribute == kAttrText      ? "text"
                     : attribute == kAttrDecimal ? "decimal"
                                                 : "hex";
  return hex(word) + " " + kind + " " + std::to_string(length);
}

// One line per type: code, name (null when the listing hides the type),
// label, class and length word.
int run_types_json() {
  for (const TypeInfo &row : type_table()) {
    nlohmann::ordered_json line = {{"code", row.code}, {"type_hex", hex(row.code)}};
    line["name"] = row.name != nullptr ? nlohmann::ordered_json(row.name) : nullptr;
    line["label"] = row.label != nullptr ? nlohmann::ordered_json(type_label(row.code)) : nullptr;
    line["class"] = class_name(row.code);
    line["length_word"] = length_word_text(row.code);
    std::cout << line.dump() << '\n';
  }
  return kExitOk;
}

struct TypesOptions {
  OutputFlags output;
};

int run_types(const TypesOptions &o) {
  if (o.output.json) return run_types_json();
  char line[160];
  std::snprintf(line, sizeof line, "%-6s %4s  %-8s  %-20s  %-18s  %s\n", "code", "dec", "class",
                "length word", "name", "label");
  std::cout << line;
  for (const TypeInfo &row : type_table()) {
    const std::string label =
        row.label != nullptr ? type_label(row.code) : "(not shown in listings)";
    std::snprintf(line, sizeof line, "%-6s %4u  %-8s  %-20s  %-18s  %s\n", hex(row.code).c_str(),
                  row.code, class_name(row.code), length_word_text(row.code).c_str(),
                  row.name != nullptr ? row.name : "-", label.c_str());
    std::cout << line;
  }
  return kExitOk;
}

void declare_types(CLI::App &t, TypesOptions &o) {
  add_json_flag(t, o.output, "One JSON object per type per line");
}

}  // namespace

extern const Command kTypes = command<TypesOptions, declare_types, run_types>(
    "types", "The known types: code, class, length word, name, label", "");

}  // namespace idprom::tool
