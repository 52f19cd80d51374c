// A POSIX ustar archive of a few small files, written in memory: what
// `report` needs to put a bundle in one file that every system can unpack.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace idprom::tool {

struct ArchiveEntry {
  std::string name;  // relative path, under 100 bytes; ending in '/' for a folder
  std::vector<uint8_t> data;
};

// The archive: a header block per entry, the data padded to 512-byte
// blocks, two zero blocks at the end.  Files get mode 0644, folders 0755,
// owner 0, modification time `mtime`.
std::vector<uint8_t> ustar(const std::vector<ArchiveEntry> &entries, std::time_t mtime);

}  // namespace idprom::tool
