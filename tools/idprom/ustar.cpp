// The ustar format.  A header block:
//   0 name[100]  100 mode[8]  108 uid[8]  116 gid[8]  124 size[12]
//   136 mtime[12]  148 checksum[8]  156 type  157 link[100]
//   257 "ustar\0"  263 "00"  265 owner[32]  297 group[32]  ...  to 512
// Numbers are octal text closed by a NUL; the checksum is the sum of the
// header's bytes with its own field taken as eight spaces.
#include "ustar.hpp"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace idprom::tool {
namespace {

constexpr size_t kBlock = 512;

void octal(uint8_t *field, size_t width, uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*llo", static_cast<int>(width - 1),
                static_cast<unsigned long long>(value));
  std::memcpy(field, text, width - 1);
}

void header(std::vector<uint8_t> &out, const ArchiveEntry &e, std::time_t mtime) {
  if (e.name.size() >= 100) throw std::length_error("archive member name too long: " + e.name);
  const bool folder = e.name.ends_with('/');
  uint8_t h[kBlock] = {};
  std::memcpy(h, e.name.data(), e.name.size());
  octal(h + 100, 8, folder ? 0755 : 0644);
  octal(h + 108, 8, 0);
  octal(h + 116, 8, 0);
  octal(h + 124, 12, folder ? 0 : e.data.size());
  octal(h + 136, 12, static_cast<uint64_t>(mtime));
  h[156] = folder ? '5' : '0';
  std::memcpy(h + 257, "ustar", 6);
  std::memcpy(h + 263, "00", 2);
  std::memcpy(h + 265, "root", 4);
  std::memcpy(h + 297, "root", 4);
  std::memset(h + 148, ' ', 8);
  unsigned sum = 0;
  for (const uint8_t b : h) sum += b;
  std::snprintf(reinterpret_cast<char *>(h + 148), 8, "%06o", sum);  // NUL at 154, space at 155
  out.insert(out.end(), h, h + kBlock);
}

}  // namespace

std::vector<uint8_t> ustar(const std::vector<ArchiveEntry> &entries, std::time_t mtime) {
  std::vector<uint8_t> out;
  for (const ArchiveEntry &e : entries) {
    header(out, e, mtime);
    if (e.name.ends_with('/')) continue;
    out.insert(out.end(), e.data.begin(), e.data.end());
    out.resize((out.size() + kBlock - 1) / kBlock * kBlock, 0);
  }
  out.resize(out.size() + 2 * kBlock, 0);
  return out;
}

}  // namespace idprom::tool
