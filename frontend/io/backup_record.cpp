// Backup records: what a backup is of, written beside it, read back for
// `backups` and checked by `restore`.
#include "io/backup_record.hpp"

#include <cstdio>
#include <fstream>

#include "base/errors.hpp"
#include "io/fileio_detail.hpp"
#include "io/rehearsal.hpp"

namespace idprom::tool {
namespace {

// The fields that tell one board from another.
struct IdentityField {
  uint32_t type;
  const char *name;
};
constexpr IdentityField kIdentity[] = {
    {0xCB, "pid"},        {0xC1, "pcb-serial"}, {0xC2, "chassis-serial"},
    {0xCE, "mainboard-serial"}, {0xCF, "base-mac"},
};

// The text `get` prints: the listing's value text, after the label.
std::string value_of(const ImageView &view, const Entry &entry) {
  std::string text = view.entry_text(entry);
  const size_t colon = text.find(':');
  text.erase(0, colon == std::string::npos ? text.size() : colon + 1);
  while (!text.empty() && text.front() == ' ') text.erase(0, 1);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string target_text(const BackupRecord &r) {
  return (r.simulated ? "the simulated part " : "") + r.target;
}

std::string identity_text(const Identity &identity) {
  std::string out;
  for (const auto &[name, value] : identity) out += (out.empty() ? "" : " ") + name + "=" + value;
  return out;
}

std::optional<BackupRecord> read_record(const std::string &backup) {
  std::ifstream file(record_path(backup));
  if (!file) return std::nullopt;
  try {
    const auto j = nlohmann::ordered_json::parse(file);
    BackupRecord r;
    r.target = j.at("target").get<std::string>();
    if (j.contains("bus")) {
      r.part = i2c::Target{j.at("bus").get<unsigned>(), j.at("address").get<uint8_t>(), r.target};
      r.chip = j.at("chip").get<std::string>();
    }
    r.simulated = j.at("simulated").get<bool>();
    r.offset = j.at("offset").get<uint64_t>();
    r.length = j.at("length").get<uint32_t>();
    r.time = j.at("time").get<std::string>();
    for (const auto &[name, value] : j.at("identity").items())
      r.identity.emplace_back(name, value.get<std::string>());
    return r;
  } catch (const nlohmann::json::exception &) {
    return std::nullopt;  // unreadable: what the backup is of is unknown
  }
}

}  // namespace

Identity identity_of(const Bytes &image) {
  Identity out;
  const ImageView view(image);
  if (view.layout().malformed_at) return out;
  for (const IdentityField &field : kIdentity) {
    for (const Entry &e : view) {
      if (e.type != field.type) continue;
      out.emplace_back(field.name, value_of(view, e));
      break;
    }
  }
  return out;
}

BackupRecord record_for(const std::string &path, const WriteOptions &options, const Bytes &bytes) {
  BackupRecord r;
  r.part = i2c::parse_target(path);
  if (r.part) {
    char name[32];
    std::snprintf(name, sizeof name, "i2c:%u:0x%02x", r.part->bus, r.part->address);
    r.target = name;
    r.chip = options.device.part.chip;
    r.simulated = !i2c::simulation_folder().empty();
  } else {
    r.target = detail::resolved(path);
  }
  r.offset = options.window.offset;
  r.length = static_cast<uint32_t>(bytes.size());
  r.identity = identity_of(bytes);
  return r;
}

std::string record_path(const std::string &backup) { return backup + ".json"; }

nlohmann::ordered_json record_json(const BackupRecord &r) {
  nlohmann::ordered_json j = {{"target", r.target}};
  if (r.part) {
    j["bus"] = r.part->bus;
    j["address"] = r.part->address;
    j["chip"] = r.chip;
  }
  j["simulated"] = r.simulated;
  j["offset"] = r.offset;
  j["length"] = r.length;
  j["time"] = r.time;
  j["identity"] = nlohmann::ordered_json::object();
  for (const auto &[name, value] : r.identity) j["identity"][name] = value;
  return j;
}

void write_record(Io &io, const std::string &backup, const BackupRecord &record) {
  const std::string text = record_json(record).dump(-1, ' ', false,
                                                    nlohmann::json::error_handler_t::replace);
  write_atomically(io, record_path(backup), Bytes(text.begin(), text.end()), 0600, false);
}

Backup describe_backup(const std::string &path) {
  Backup b{path, read_record(path), {}};
  if (b.record) {
    b.identity = b.record->identity;
  } else {
    try {
      b.identity = identity_of(read_image(system_io(), path));
    } catch (const Failure &) {
    }  // unreadable: no identity to show
  }
  return b;
}

std::vector<Backup> backups_of(const std::string &image, std::optional<uint64_t> offset,
                               std::optional<uint32_t> length) {
  std::vector<Backup> out;
  for (const std::string &path : list_backups(image)) {
    Backup b = describe_backup(path);
    const bool other = b.record && ((offset && b.record->offset != *offset) ||
                                    (length && b.record->length != *length));
    if (!other) out.push_back(std::move(b));
  }
  return out;
}

std::string backup_line(const Backup &b) {
  std::string line = b.path + "  ";
  if (b.record) {
    const BackupRecord &r = *b.record;
    line += r.time.substr(0, 19) + "Z  " + window_text(r.offset, r.length);
  } else {
    line += "no record";
  }
  if (!b.identity.empty()) line += "  " + identity_text(b.identity);
  if (b.record && b.record->simulated) line += "  simulated";
  return line;
}

nlohmann::ordered_json backup_json(const Backup &b) {
  nlohmann::ordered_json j = {{"path", b.path}};
  if (b.record) {
    j.update(record_json(*b.record));
  } else {
    j["identity"] = nlohmann::ordered_json::object();
    for (const auto &[name, value] : b.identity) j["identity"][name] = value;
  }
  return j;
}

std::string restore_refusal(const Backup &b, const Bytes &saved, const BackupRecord &now) {
  const std::string from = b.path + " is a backup of ";
  if (b.record && (b.record->target != now.target || b.record->simulated != now.simulated))
    return from + target_text(*b.record) + ", not of " + target_text(now);
  if (b.record && (b.record->offset != now.offset || b.record->length != now.length)) {
    return from + window_text(b.record->offset, b.record->length) + ", not of " +
           window_text(now.offset, now.length);
  }
  std::string differ;
  for (const auto &[name, value] : identity_of(saved)) {
    for (const auto &[name_now, value_now] : now.identity) {
      if (name != name_now || value == value_now) continue;
      differ += (differ.empty() ? "" : ", ") + name + " " + value + " (in place: " + value_now + ")";
    }
  }
  return differ.empty() ? "" : from + "another board: " + differ;
}

std::string window_text(uint64_t offset, uint32_t length) {
  return "offset " + hex(offset, 4) + ", " + count_of(length, "byte", "bytes");
}

}  // namespace idprom::tool
