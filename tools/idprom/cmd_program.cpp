// program: one image per unit from a template, with serial numbers and
// MAC blocks counted up, all or nothing.
//
//   DIR/.idprom-program-XXXXXX/   every image and the manifest, each
//                                 written, flushed and read back
//   DIR/<name>                    then linked into place one by one; an
//                                 existing file (--force) is first moved
//                                 into the staging folder, so that any
//                                 failure can put back what was there
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "base/errors.hpp"
#include "command.hpp"
#include "common.hpp"
#include "model/describe.hpp"
#include "model/macaddr.hpp"
#include "model/program.hpp"
#include "model/types.hpp"

namespace idprom::tool {
namespace {

struct ProgramOptions {
  std::string template_path;
  std::string count;
  std::string out;
  std::string serial;
  std::string serial_start = "1";
  std::string mac_start;
  std::string mac_end;
  std::vector<std::string> sets;
  bool force = false;
};

// A template is a description when its name ends in .json or its text
// parses as JSON; otherwise an image.
Bytes read_template(const std::string &path) {
  const std::string text = read_text_file(path);
  const bool named_json = path.ends_with(".json");
  if (named_json || nlohmann::json::accept(text)) {
    return build_image(parse_description(text, path), std::nullopt, path);
  }
  if (text.size() > kMaxImage)
    throw Failure(kExitMalformed, path + ": larger than any IDPROM image (64 KiB)");
  return Bytes(text.begin(), text.end());
}

ProgramRequest request_of(const ProgramOptions &o) {
  ProgramRequest r;
  r.count = parse_number(o.count, "--count");
  r.serial = o.serial;
  r.serial_start = parse_number(o.serial_start, "--serial-start");
  if (!o.mac_start.empty()) r.mac_start = read_mac(o.mac_start, "--mac-start");
  if (!o.mac_end.empty()) r.mac_end = read_mac(o.mac_end, "--mac-end");
  for (const std::string &s : o.sets) r.sets.push_back(split_assignment(s));
  r.base = read_template(o.template_path);
  r.source = o.template_path;
  return r;
}

std::string manifest_line(const Unit &u) {
  const ImageView view(u.image);
  const auto text_of = [&](uint32_t type) -> nlohmann::ordered_json {
    const auto e = view.find(type);
    return e ? nlohmann::ordered_json(value_text(view, *e)) : nlohmann::ordered_json(nullptr);
  };
  nlohmann::ordered_json line;
  line["file"] = u.file;
  line["serial"] = text_of(resolve_type("pcb-serial"));
  line["base_mac"] = text_of(resolve_type("base-mac"));
  line["block_size"] = u.block;
  line["checksum"] = hex(calculate_crc(u.image.data(), static_cast<uint32_t>(u.image.size())), 8);
  return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
}

struct Output {
  std::string name;
  Bytes bytes;
};

std::vector<Output> outputs_of(std::vector<Unit> units) {
  std::vector<Output> out;
  std::string manifest;
  for (Unit &u : units) {
    manifest += manifest_line(u);
    out.push_back(Output{u.file, std::move(u.image)});
  }
  out.push_back(Output{"manifest.jsonl", Bytes(manifest.begin(), manifest.end())});
  return out;
}

bool exists(const std::string &path, struct stat *st) { return ::lstat(path.c_str(), st) == 0; }

void check_targets(const std::string &dir, const std::vector<Output> &files, bool force) {
  // The names differ: unit numbers are distinct and fill the one run of '#'.
  for (const Output &f : files) {
    struct stat st;
    const std::string path = dir + "/" + f.name;
    if (!exists(path, &st)) continue;
    if (!force)
      throw Failure(kExitUsage, path + ": exists; use --force to replace it; nothing was written");
    if (!S_ISREG(st.st_mode))
      throw Failure(kExitUsage, path + ": exists and is not a regular file; nothing was written");
  }
}

// The staging folder and what has been put in place from it, so that a
// failure can undo exactly that.
class Batch {
 public:
  Batch(std::string dir, bool created_dir) : dir_(std::move(dir)), created_dir_(created_dir) {
    std::string templ = dir_ + "/.idprom-program-XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) {
      const int err = errno;
      if (created_dir_) ::rmdir(dir_.c_str());
      fail("creating a staging folder in " + dir_, err);
    }
    staging_ = templ;
  }
  ~Batch() { clean(); }

  void stage(const Output &f) {
    try {
      write_atomically(io_, staging_ + "/" + f.name, f.bytes, 0644, false);
    } catch (const Failure &e) {
      throw e.reworded(std::string(e.what()) + "; nothing was written");
    }
    staged_.push_back(f.name);
  }

  void install(const std::string &name) {
    const std::string target = dir_ + "/" + name, aside = staging_ + "/" + name + ".old";
    struct stat st;
    if (exists(target, &st)) {
      if (io_.rename(target.c_str(), aside.c_str()) != 0) fail("moving aside " + target, errno);
      aside_.push_back(name);
    }
    if (io_.link((staging_ + "/" + name).c_str(), target.c_str()) != 0)
      fail("putting " + target + " in place", errno);
    installed_.push_back(name);
  }

  void commit() {
    for (const std::string &name : staged_) install(name);
    const int fd = io_.open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    const int err = fd < 0 ? errno : io_.fsync(fd) != 0 ? errno : 0;
    if (fd >= 0) io_.close(fd);
    if (err != 0) fail("flushing the folder " + dir_, err);
    installed_.clear();
    aside_.clear();
    done_ = true;
  }

 private:
  [[noreturn]] void fail(const std::string &doing, int err) {
    undo();
    throw Failure(kExitIo, doing + ": " + std::strerror(err) + "; nothing was written");
  }

  void undo() {
    for (auto it = installed_.rbegin(); it != installed_.rend(); ++it)
      io_.unlink((dir_ + "/" + *it).c_str());
    for (const std::string &name : aside_)
      io_.rename((staging_ + "/" + name + ".old").c_str(), (dir_ + "/" + name).c_str());
    installed_.clear();
    aside_.clear();
  }

  void clean() {
    undo();
    for (const std::string &name : staged_) {
      io_.unlink((staging_ + "/" + name).c_str());
      io_.unlink((staging_ + "/" + name + ".old").c_str());
    }
    if (!staging_.empty()) ::rmdir(staging_.c_str());
    if (created_dir_ && !done_) ::rmdir(dir_.c_str());
  }

  Io &io_ = system_io();
  std::string dir_, staging_;
  bool created_dir_;
  bool done_ = false;
  std::vector<std::string> staged_, installed_, aside_;
};

void publish(const std::string &dir, const std::vector<Output> &files, bool force) {
  check_targets(dir, files, force);
  struct stat st;
  const bool created = ::stat(dir.c_str(), &st) != 0;
  if (created && ::mkdir(dir.c_str(), 0777) != 0)
    throw Failure(kExitIo, dir + ": cannot create the folder: " + std::strerror(errno));
  if (!created && !S_ISDIR(st.st_mode)) throw Failure(kExitUsage, dir + ": not a folder");
  Batch batch(dir, created);
  for (const Output &f : files) batch.stage(f);
  batch.commit();
}

int run_program(const ProgramOptions &o) {
  const std::vector<Output> files = outputs_of(plan_units(request_of(o)));
  publish(o.out, files, o.force);
  std::cout << o.out << ": " << files.size() - 1 << (files.size() == 2 ? " image" : " images")
            << " and manifest.jsonl\n";
  return kExitOk;
}

void declare_program(CLI::App &p, ProgramOptions &o) {
  p.add_option("TEMPLATE", o.template_path, "Description (.json, as show --json prints) or image")
      ->required();
  p.add_option("--count", o.count, "Number of units")->type_name("N")->required();
  p.add_option("--out", o.out, "Folder for the images and manifest.jsonl")
      ->type_name("DIR")
      ->required();
  p.add_option("--serial", o.serial, "PCB Serial Number pattern; a run of # is the unit number")
      ->type_name("PATTERN");
  p.add_option("--serial-start", o.serial_start, "The first unit's number")
      ->type_name("K")
      ->capture_default_str();
  p.add_option("--mac-start", o.mac_start, "The first unit's Base MAC Address")->type_name("MAC");
  p.add_option("--mac-end", o.mac_end, "The last address any unit's block may hold")
      ->type_name("MAC");
  p.add_option("--set", o.sets, "TYPE=VALUE for every unit, read as set reads it")
      ->type_name("TYPE=VALUE");
  p.add_flag("--force", o.force, "Replace existing files");
}

}  // namespace

extern const Command kProgram = command<ProgramOptions, declare_program, run_program>(
    "program", "One image per unit from a template, all or nothing",
    "TEMPLATE --count N --out DIR");

}  // namespace idprom::tool
