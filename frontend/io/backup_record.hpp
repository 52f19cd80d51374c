// What a backup is of.  Every backup NAME gets a record NAME.json beside
// it, written (complete, through a temporary file) before the backup
// itself, so that a backup never appears without its record:
//
//   {"target": "/dev/mtdblock0",          resolved path, or i2c:BUS:0xADDR
//    "bus": 1, "address": 80, "chip": "24c02",   i2c parts only ("" chip:
//                                                 geometry given outright)
//    "simulated": false,                  an IDPROM_I2C_SIMULATE part
//    "offset": 0, "length": 256,          the window the bytes came from
//    "time": "2026-12-06T03:14:50.123456789Z",
//    "identity": {"pid": "...", "pcb-serial": "...", "chassis-serial": "...",
//                 "mainboard-serial": "...", "base-mac": "..."}}
//
// The identity holds those fields the image has, as `get` prints them.  A
// record without its backup (a run killed between the two) is swept by the
// next backup of the same target.  Backups made before records existed
// have none: what they are of is unknown, save the identity in their bytes.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "io/fileio.hpp"

namespace idprom::tool {

// A board's identity: short type names and their texts, in a fixed order.
using Identity = std::vector<std::pair<std::string, std::string>>;

// The identity `image` holds (first instance of each field); empty for a
// blank image or one whose list does not decode.
Identity identity_of(const Bytes &image);

struct BackupRecord {
  std::string target;
  std::optional<i2c::Target> part;  // set for an i2c: target
  std::string chip;
  bool simulated = false;
  uint64_t offset = 0;
  uint32_t length = 0;
  std::string time;
  Identity identity;
};

// What `bytes`, read from `path` through `options`' window and part, are
// of, now (time "").
BackupRecord record_for(const std::string &path, const WriteOptions &options, const Bytes &bytes);

std::string record_path(const std::string &backup);
nlohmann::ordered_json record_json(const BackupRecord &record);
// Writes the record of `backup`; throws Failure as write_atomically.
void write_record(Io &io, const std::string &backup, const BackupRecord &record);

// A backup as `backups` shows it: its record, when it has a readable one,
// and the identity (the record's, else that of the backup's bytes).
struct Backup {
  std::string path;
  std::optional<BackupRecord> record;
  Identity identity;
};
Backup describe_backup(const std::string &path);

// The backups of `image` (list_backups), described, newest first; those
// whose record names another offset or length are left out (a backup
// without a record is kept: its window is unknown).
std::vector<Backup> backups_of(const std::string &image, std::optional<uint64_t> offset,
                               std::optional<uint32_t> length);

// One line: path, time, window, identity, "simulated" (or "no record").
std::string backup_line(const Backup &backup);
// The record's members with "path" first; only "path" and "identity" for
// a backup without a record.
nlohmann::ordered_json backup_json(const Backup &backup);

// Why `backup` (holding `saved`) must not be written over `now` (a record
// of the image in place): another target, another window, or another
// board (identity fields present in both that differ), naming both; ""
// when nothing speaks against it.
std::string restore_refusal(const Backup &backup, const Bytes &saved, const BackupRecord &now);

// "offset 0x10d88, 256 bytes".
std::string window_text(uint64_t offset, uint32_t length);

}  // namespace idprom::tool
