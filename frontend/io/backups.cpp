// Backups of in-place edits: one new file per edit in a state folder,
// never overwritten, named after the image and the time:
//
//   ~/.local/state/idprom/backups/%2Fdev%2Fmtdblock0@20261206T031450.123456789Z.bin
//                                 image path, with %, / and @ escaped  UTC time
//
// and beside each its record, NAME.bin.json (backup_record.hpp), made
// first.  A part on a bus is named by its path (i2c:1:0x50); a simulated
// one (IDPROM_I2C_SIMULATE) by its path under the simulation's folder
// (%2Ftmp%2Fsim%2Fi2c:1:0x50), so that a rehearsal's backups never pass for
// those of the real part.
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/errors.hpp"
#include "io/fileio.hpp"
#include "io/backup_record.hpp"
#include "io/fileio_detail.hpp"
#include "io/rehearsal.hpp"

namespace idprom::tool {

using namespace detail;

namespace {

std::string escaped(const std::string &path) {
  std::string out;
  for (const char c : path) {
    if (c == '%' || c == '/' || c == '@') {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

// "20261206T031450.123456789Z": sorts as the times do.
std::string utc_now() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  struct tm parts {};
  ::gmtime_r(&ts.tv_sec, &parts);
  char text[40];
  const size_t n = std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &parts);
  std::snprintf(text + n, sizeof text - n, ".%09ldZ", static_cast<long>(ts.tv_nsec));
  return text;
}

// "2026-12-06T03:14:50.123456789Z" of a utc_now() time.
std::string iso_time(const std::string &t) {
  return t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 5) + ":" + t.substr(11, 2) +
         ":" + t.substr(13);
}

// The name the backups of `image` go under, escaped.
std::string backup_stem(const std::string &image) {
  if (!i2c::parse_target(image)) return escaped(resolved(image)) + "@";
  const std::string simulation = i2c::simulation_folder();
  return escaped(simulation.empty() ? image : resolved(simulation) + "/" + image) + "@";
}

// What a run killed while making a backup of the same target left: a
// record without its backup, temporary files.  Called under the target's
// lock, so no other run is making one.
void sweep_unfinished(const std::string &folder, const std::string &stem) {
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename();
    const bool orphan = name.starts_with(stem) && name.ends_with(".bin.json") &&
                        !std::filesystem::exists(folder + "/" + name.substr(0, name.size() - 5));
    if (orphan || (name.starts_with("." + stem) && name.find(".idprom-") != std::string::npos))
      std::filesystem::remove(entry.path(), ec);
  }
}

// The folder, created (private to the user) when missing.
std::string made_backup_folder() {
  const std::string folder = backup_folder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) throw Failure::about(folder, kExitIo, "cannot create the backup folder: " + ec.message());
  ::chmod(folder.c_str(), 0700);
  return folder;
}

}  // namespace

std::string backup_folder() {
  const char *state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/idprom/backups";
  const char *home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.local/state/idprom/backups";
}

std::vector<std::string> list_backups(const std::string &image) {
  const std::string prefix = backup_stem(image);
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(backup_folder(), ec)) {
    const std::string name = entry.path().filename();
    if (name.starts_with(prefix) && name.ends_with(".bin")) names.push_back(name);
  }
  std::sort(names.rbegin(), names.rend());
  for (std::string &name : names) name = backup_folder() + "/" + name;
  return names;
}

// Saves the original, record first, before an in-place write; a backup
// that cannot be made stops the edit before anything is written.
void EditSession::make_backup() {
  if (options_.no_backup) return;
  BackupRecord record = record_for(path_, options_, original_);
  const auto save = [&](const std::string &time) {
    record.time = iso_time(time);
    write_record(io_, backup_, record);
    try {
      write_atomically(io_, backup_, original_, 0600, false);
    } catch (const Failure &) {
      io_.unlink(record_path(backup_).c_str());
      throw;
    }
  };
  try {
    if (!options_.backup.empty()) {
      backup_ = options_.backup;
      save(utc_now());
      return;
    }
    const std::string folder = made_backup_folder(), stem = backup_stem(path_);
    sweep_unfinished(folder, stem);
    for (int attempt = 0;; ++attempt) {
      const std::string now = utc_now();
      backup_ = folder + "/" + stem + now + ".bin";
      try {
        save(now);
        return;
      } catch (const Failure &f) {
        if (f.code() != kExitUsage || attempt == 10) throw;  // exists: take a later time
      }
    }
  } catch (const Failure &f) {
    backup_.clear();
    throw Failure(kExitIo, std::string(f.what()) + "; no backup, so " + path_ +
                               " was not changed (" + terms_.names.backup + ")");
  }
}

}  // namespace idprom::tool
