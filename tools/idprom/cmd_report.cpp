// report: a support bundle about one target, gathered by reads only.  The
// target is read once; the commands that describe an image (show, check,
// info, checksum, dump) then run on the bundle's copy of those bytes,
// through the command table with their output captured, so the bundle says
// exactly what the tool says and every file describes the same bytes.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "base/errors.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "common.hpp"
#include "io/backup_record.hpp"
#include "io/sysfs.hpp"
#include "ustar.hpp"

namespace idprom::tool {
namespace {

namespace fs = std::filesystem;

struct ReportOptions {
  std::string image;
  std::string output;
  bool force = false;
  bool with_backups = false;
  ImageFlags image_flags;
};

// What a command printed, and its exit status.
struct Captured {
  std::string out, err;
  int status = kExitOk;
};

// Runs `idprom ARGS...` with standard output and error captured.
Captured capture(const std::vector<std::string> &args) {
  CLI::App app{"", "idprom"};
  Chosen chosen;
  attach_commands(app, chosen);
  std::ostringstream out, err;
  struct Redirect {
    std::streambuf *out, *err;
    ~Redirect() {
      std::cout.rdbuf(out);
      std::cerr.rdbuf(err);
    }
  } keep{std::cout.rdbuf(out.rdbuf()), std::cerr.rdbuf(err.rdbuf())};
  Captured c;
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them so
  try {
    app.parse(reversed);
    c.status = chosen.run();
  } catch (const CLI::ParseError &e) {
    std::cerr << "idprom: " << e.what() << '\n';
    c.status = kExitUsage;
  } catch (const Failure &f) {
    print_failure(f, chosen.json != nullptr && *chosen.json);
    c.status = f.code();
  }
  std::cout.flush();
  c.out = out.str();
  c.err = err.str();
  return c;
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
  if (from.empty()) return text;
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// A captured command as a bundle file: its output, its errors, its status
// when not 0; the bundle's copy named as the target.
std::string as_file(const Captured &c, const std::string &copy, const std::string &target) {
  std::string text = c.out + c.err;
  if (c.status != kExitOk) text += "exit status " + std::to_string(c.status) + "\n";
  return replaced(text, copy, target);
}

std::string bus_text(unsigned bus) {
  const std::string mux = mux_path(bus);
  return "i2c-" + std::to_string(bus) + (mux.empty() ? " (not behind a mux)" : " behind " + mux);
}

// The target's geometry and how it was learned, its bus and mux path, its
// write-protect state where it can be read.
std::string target_text(const ReportOptions &o, size_t bytes) {
  std::ostringstream t;
  t << "target: " << o.image << "\ntool: idprom " << IDPROM_VERSION_STRING << "\nread: "
    << count_of(bytes, "byte", "bytes") << " from offset "
    << hex(o.image_flags.window().offset, 4) << '\n';
  if (const auto target = i2c::parse_target(o.image)) {
    const i2c::Part p = i2c::declare_part(o.image_flags.device.part, *target);
    t << "geometry: " << (p.name.empty() ? "" : std::string(p.name) + ", ")
      << count_of(p.size, "byte", "bytes") << ", " << p.page_size << "-byte pages, "
      << count_of(p.address_width, "address byte", "address bytes") << ", write cycle up to "
      << p.write_cycle_ms << " ms (declared)\n"
      << "bus: " << bus_text(target->bus) << ", address " << hex(target->address) << '\n'
      << "write protect: "
      << (o.image_flags.device.wp_gpio.empty()
              ? std::string("not readable over the bus")
              : "line " + o.image_flags.device.wp_gpio + " declared (its level is not read)")
      << '\n';
  } else if (const auto part = driver_part(o.image)) {
    t << "geometry: " << (part->chip.empty() ? "" : part->chip + ", ")
      << count_of(part->size, "byte", "bytes") << " (from the driver"
      << (part->driver.empty() ? "" : " " + part->driver) << ")\n";
    if (part->bus && part->address)
      t << "bus: " << bus_text(*part->bus) << ", address " << hex(*part->address) << '\n';
    t << "write protect: "
      << (part->write_protect.empty() ? "the driver takes writes (a write-protect line or strap "
                                        "shows only when a write does not stick)"
                                      : part->write_protect)
      << '\n';
  } else {
    struct stat st {};
    const bool file = ::stat(o.image.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    t << "geometry: " << (file ? "a file of " + count_of(uint64_t(st.st_size), "byte", "bytes")
                               : std::string("not a regular file; no driver known"))
      << "\n";
  }
  return t.str();
}

// A folder next to `path`, removed again unless kept.
struct Staging {
  std::string dir;
  bool keep = false;
  explicit Staging(const std::string &path) {
    std::string name = path + ".XXXXXX";
    if (::mkdtemp(name.data()) == nullptr) {
      throw Failure::about(path, kExitIo, std::string("cannot create a folder beside it: ") +
                                              std::strerror(errno));
    }
    dir = name;
  }
  ~Staging() {
    std::error_code ec;
    if (!keep) fs::remove_all(dir, ec);
  }
};

void put(const std::string &dir, const std::string &name, std::span<const uint8_t> bytes) {
  write_atomically(system_io(), dir + "/" + name, Bytes(bytes.begin(), bytes.end()), 0644, false);
}

void put(const std::string &dir, const std::string &name, const std::string &text) {
  put(dir, name, std::span(reinterpret_cast<const uint8_t *>(text.data()), text.size()));
}

// The backups of the target: their records (`backups` prints them), and
// with --with-backups the files and their record files.
void put_backups(const ReportOptions &o, const std::string &dir) {
  std::vector<std::string> args = {"backups", o.image};
  if (!o.image_flags.offset.empty()) args.insert(args.end(), {"--offset", o.image_flags.offset});
  if (!o.image_flags.length.empty()) args.insert(args.end(), {"--length", o.image_flags.length});
  put(dir, "backups.txt", as_file(capture(args), "", ""));
  if (!o.with_backups) return;
  fs::create_directory(dir + "/backups");
  for (const std::string &b : list_backups(o.image)) {
    for (const std::string &file : {b, record_path(b)}) {
      std::error_code ec;
      if (fs::exists(file, ec))
        put(dir + "/backups", fs::path(file).filename(), read_image(system_io(), file));
    }
  }
}

void gather(const ReportOptions &o, const std::string &dir) {
  const Bytes bytes = read_image(system_io(), o.image, o.image_flags.window(),
                                 o.image_flags.device, o.image_flags.wait);
  put(dir, "image.bin", bytes);
  const std::string copy = dir + "/image.bin";
  const std::pair<const char *, std::vector<std::string>> runs[] = {
      {"show.txt", {"show", "--all", copy}},
      {"show.json", {"show", "--json", copy}},
      {"check.txt", {"check", copy}},
      {"info.txt", {"info", copy}},
      {"checksum.txt", {"checksum", copy}},
      {"dump.txt", {"dump", "--ascii", copy}},
  };
  for (const auto &[name, args] : runs) put(dir, name, as_file(capture(args), copy, o.image));
  put(dir, "target.txt", target_text(o, bytes.size()));
  put_backups(o, dir);
}

// The folder's files, sorted, as archive members under `top`/.
void collect(const fs::path &dir, const std::string &top, std::vector<ArchiveEntry> &out) {
  std::vector<fs::path> names;
  for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path());
  std::sort(names.begin(), names.end());
  for (const fs::path &p : names) {
    const std::string name = top + "/" + p.filename().string();
    if (fs::is_directory(p)) {
      out.push_back({name + "/", {}});
      collect(p, name, out);
    } else {
      out.push_back({name, read_image(system_io(), p.string())});
    }
  }
}

// Puts the finished folder at `path`: renamed over nothing, or with --force
// over the old bundle, which is removed only once the new one is in place.
void publish_folder(const std::string &staged, const std::string &path, bool force) {
  std::error_code ec;
  std::string old;
  if (fs::symlink_status(path, ec).type() != fs::file_type::not_found) {
    if (!force) throw Failure::about(path, kExitUsage, "exists (--force replaces it)");
    old = Staging(path).dir;
    if (::rename(path.c_str(), old.c_str()) != 0 && !fs::is_directory(path)) {
      fs::remove(old, ec);
      throw Failure::about(path, kExitIo,
                           std::string("cannot move aside: ") + std::strerror(errno));
    }
  }
  if (::rename(staged.c_str(), path.c_str()) != 0)
    throw Failure::about(path, kExitIo, std::string("cannot rename the bundle into place: ") +
                                            std::strerror(errno));
  if (!old.empty()) fs::remove_all(old, ec);
}

int run_report(const ReportOptions &o) {
  std::error_code ec;
  if (!o.force && fs::symlink_status(o.output, ec).type() != fs::file_type::not_found)
    throw Failure::about(o.output, kExitUsage, "exists (--force replaces it)");
  Staging staging(o.output);
  gather(o, staging.dir);
  if (o.output.ends_with(".tar")) {
    std::vector<ArchiveEntry> entries;
    const std::string top = fs::path(o.output).stem().string();
    entries.push_back({top + "/", {}});
    collect(staging.dir, top, entries);
    write_atomically(system_io(), o.output, ustar(entries, std::time(nullptr)), 0644, o.force);
  } else {
    ::chmod(staging.dir.c_str(), 0755);
    publish_folder(staging.dir, o.output, o.force);
    staging.keep = true;
  }
  std::cout << o.output << '\n';
  return kExitOk;
}

void declare_report(CLI::App &r, ReportOptions &o) {
  r.add_option("TARGET", o.image, "Image file, device file or i2c:BUS:ADDR")->required();
  r.add_option("-o,--output", o.output, "The bundle: a new folder, or a tar file (PATH.tar)")
      ->required()
      ->type_name("PATH");
  r.add_flag("--force", o.force, "Replace an existing PATH");
  r.add_flag("--with-backups", o.with_backups, "Include the target's backup files");
  add_image_flags(r, o.image_flags);
}

}  // namespace

extern const Command kReport = command<ReportOptions, declare_report, run_report>(
    "report", "A support bundle about a target: image, listings, checks, geometry; reads only",
    "TARGET -o PATH");

}  // namespace idprom::tool
