// Shared helpers of the subcommands.
#include "common.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

#include "errors.hpp"

namespace idprom::tool {

int report_malformed(const Loaded &image) {
  if (image.bytes.empty()) {
    std::cerr << "idprom: " << image.path << ": empty file (0 bytes)\n";
    return kExitMalformed;
  }
  if (!image.layout.malformed_at) return kExitOk;
  const uint32_t at = *image.layout.malformed_at;
  const uint32_t n = image.layout.entries;
  const std::string before =
      n == 1 ? "1 entry before it decodes" : std::to_string(n) + " entries before it decode";
  std::cerr << "idprom: " << image.path << ": offset " << hex(at, 4) << ": "
            << problem_at(image.bytes, at) << "; " << before << '\n';
  return kExitMalformed;
}

namespace {

// Levenshtein distance: insertions, deletions and substitutions.
size_t distance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string unknown_command(const CLI::App &app, const std::string &word) {
  std::string best;
  size_t best_distance = 3;  // at most two slips
  for (const CLI::App *sub : app.get_subcommands({})) {
    const size_t d = distance(word, sub->get_name());
    if (d < best_distance) {
      best = sub->get_name();
      best_distance = d;
    }
  }
  return "unknown command '" + word + "'" +
         (best.empty() ? " (and no such file; `idprom help` lists the commands)"
                       : " (did you mean '" + best + "'?)");
}

std::string read_text_file(const std::string &path) {
  constexpr size_t kLimit = 64 << 20;
  std::ifstream file;
  std::istream *in = &std::cin;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file) throw Failure(kExitIo, path + ": cannot open: " + std::strerror(errno));
    in = &file;
  }
  std::string text(std::istreambuf_iterator<char>(*in), {});
  if (in->bad()) throw Failure(kExitIo, path + ": reading failed");
  if (text.size() > kLimit) throw Failure(kExitUsage, path + ": larger than 64 MiB");
  return text;
}

}  // namespace idprom::tool
