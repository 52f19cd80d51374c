// scan: where the identification EEPROMs of this system are and what they
// hold, without writing a byte.  Parts a driver offers as files are read
// through the driver; addresses no kernel device claims are probed by
// reads only (i2c/probe.hpp says why those reads cannot write).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <set>

#include "base/errors.hpp"
#include "base/numbers.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "common.hpp"
#include "i2c/lock.hpp"
#include "i2c/probe.hpp"
#include "io/sysfs.hpp"
#include "model/fields.hpp"
#include "model/types.hpp"

namespace idprom::tool {
namespace {

using Json = nlohmann::ordered_json;

struct ScanOptions {
  std::vector<unsigned> buses;
  std::vector<std::string> addresses;
  std::string blocklist;
  i2c::PartOptions part;
  OutputFlags output;
};

// The fields a scan line shows: what identifies the board.
constexpr const char *kKeyFields[] = {"pid", "pcb-serial", "chassis-serial", "mainboard-serial",
                                      "base-mac"};

// One part found: where, its geometry and how it was learned, its image.
struct Found {
  std::string location;
  std::string geometry;
  Json json;
  std::optional<Bytes> bytes;  // none when the image could not be read
  std::string why_unread;
};

bool uniform(std::span<const uint8_t> bytes, uint8_t value) {
  return std::all_of(bytes.begin(), bytes.end(), [&](uint8_t b) { return b == value; });
}

// "blank", "no image", "malformed at 0x0040 (pid=...)", or the key fields
// and check's verdict; the same in `json`.
std::string image_summary(std::span<const uint8_t> bytes, Json &json) {
  const ImageView view(bytes);
  const Layout layout = view.layout();
  if (bytes.empty() || uniform(bytes, 0xFF)) {
    json["image"] = "blank";
    return "blank";
  }
  std::string fields;
  Json values = Json::object();
  for (const char *name : kKeyFields) {
    const uint32_t type = resolve_type(name);
    for (const Entry &e : view) {
      if (e.type != type) continue;
      values[name] = field_text(view, e);
      fields += std::string(fields.empty() ? "" : " ") + name + "=" + field_text(view, e);
      break;
    }
  }
  if (layout.malformed_at && (*layout.malformed_at == 0 || values.empty())) {
    json["image"] = "no image";
    return "no image";
  }
  if (layout.malformed_at) {
    json["image"] = "malformed";
    json["malformed_at"] = *layout.malformed_at;
    json["fields"] = values;
    return "malformed at " + hex(*layout.malformed_at, 4) +
           (fields.empty() ? "" : " (" + fields + ")");
  }
  const auto problems = image_problems(bytes);
  json["image"] = "decodes";
  json["fields"] = values;
  json["check"] = problems.empty() ? "ok" : problems.front();
  return (fields.empty() ? std::string("no key fields") : fields) + "; check: " +
         (problems.empty() ? "ok" : problems.front());
}

std::string target_name(unsigned bus, uint8_t address) {
  return "i2c:" + std::to_string(bus) + ":" + hex(address);
}

// The parts drivers offer, read through their files.
void driver_parts(const ScanOptions &o, std::vector<Found> &found) {
  for (const DriverPart &p : tool::driver_parts()) {
    const auto &b = o.buses;
    const bool chosen = b.empty() || (p.bus && std::find(b.begin(), b.end(), *p.bus) != b.end());
    if (!chosen) continue;
    Found f;
    f.location = p.path;
    std::string via;
    if (p.bus && p.address) {
      via = target_name(*p.bus, *p.address);
      const std::string mux = mux_path(*p.bus);
      if (!mux.empty()) via += " behind " + mux;
      f.json["bus"] = *p.bus;
      f.json["address"] = *p.address;
      f.json["mux"] = mux.empty() ? Json(nullptr) : Json(mux);
    }
    if (!p.driver.empty()) via += (via.empty() ? "" : ", ") + ("driver " + p.driver);
    if (!via.empty()) f.location += " (" + via + ")";
    f.geometry = (p.chip.empty() ? "" : p.chip + ", ") + count_of(p.size, "byte", "bytes") +
                 " (from the driver)" + (p.write_protect.empty() ? "" : ", " + p.write_protect);
    f.json["path"] = p.path;
    if (!p.also.empty()) f.json["also"] = p.also;
    f.json["driver"] = p.driver;
    f.json["chip"] = p.chip;
    f.json["size"] = p.size;
    f.json["geometry_from"] = "driver";
    f.json["write_protect"] = p.write_protect.empty() ? Json(nullptr) : Json(p.write_protect);
    try {
      Window window;
      window.length = static_cast<uint32_t>(std::min<uint64_t>(p.size, kMaxImage));
      f.bytes = read_image(system_io(), p.path, window, {}, 0);
    } catch (const Failure &e) {
      f.why_unread = e.what();
    }
    found.push_back(std::move(f));
  }
}

// The addresses to probe: --address, else 0x50-0x57; none of the blocklist.
std::vector<uint8_t> addresses_of(const ScanOptions &o) {
  std::vector<uint8_t> out;
  for (const std::string &a : o.addresses) {
    const uint32_t at = parse_number(a, "--address");
    if (at < 0x08 || at > 0x77) throw Failure(kExitUsage, "--address " + a + ": 0x08 to 0x77");
    out.push_back(static_cast<uint8_t>(at));
  }
  if (out.empty()) {
    for (uint8_t at = 0x50; at <= 0x57; ++at) out.push_back(at);
  }
  return out;
}

// Blocklist lines: ADDR (on every bus) or BUS:ADDR; '#' starts a comment.
std::set<std::pair<int, uint8_t>> blocklist_of(const std::string &path) {
  std::set<std::pair<int, uint8_t>> out;
  if (path.empty()) return out;
  std::istringstream in(read_text_file(path));
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    line = line.substr(0, line.find('#'));
    line.erase(0, line.find_first_not_of(" \t"));
    line.erase(line.find_last_not_of(" \t\r") + 1);
    if (line.empty()) continue;
    const size_t colon = line.find(':');
    const auto bus =
        colon == line.npos ? std::optional<uint32_t>(0) : read_number(line.substr(0, colon));
    const auto at = read_number(colon == line.npos ? line : line.substr(colon + 1));
    if (!bus || !at || *at > 0x7F) {
      throw Failure::about(path, kExitUsage, "line " + std::to_string(n) +
                                                 ": expected ADDR or BUS:ADDR, not '" + line + "'");
    }
    out.insert({colon == line.npos ? -1 : static_cast<int>(*bus), static_cast<uint8_t>(*at)});
  }
  return out;
}

std::string declared_text(const i2c::Part &part, const ScanOptions &o) {
  return (o.part.chip.empty() ? std::string() : o.part.chip + ", ") +
         count_of(part.size, "byte", "bytes") + ", " +
         count_of(part.address_width, "address byte", "address bytes") + " (declared)";
}

// An address no kernel device claims: read with the declared part, or
// probed.  False when nothing answers there.
bool read_unbound(const ScanOptions &o, i2c::Bus &bus, const i2c::Target &t, Found &f) {
  const bool declared = !o.part.chip.empty() || o.part.address_width != 0;
  if (declared) {
    uint8_t byte = 0;  // a read from the current address: is anything there?
    if (bus.transfer(t.address, {}, std::span(&byte, 1)) != 0) return false;
    const i2c::Part part = i2c::declare_part(o.part, t);
    f.geometry = declared_text(part, o);
    f.json["geometry_from"] = "declared";
    f.json["address_width"] = part.address_width;
    f.json["size"] = part.size;
    i2c::Access access;
    access.part = o.part;
    f.bytes = read_image(system_io(), t.name, {}, access);
    return true;
  }
  const i2c::Lock lock(i2c::system_i2c(), i2c::system_clock(), t, true, kDefaultWait, "");
  const i2c::Probe p = i2c::probe(bus, t.address, i2c::system_clock());
  if (!p.answered) return false;
  if (!p.error.empty()) {
    f.geometry = "unknown";
    f.why_unread = p.error;
    return true;
  }
  f.json["geometry_from"] = p.one_byte ? Json("reads") : Json(nullptr);
  f.json["address_width"] = p.one_byte ? Json(1) : Json(nullptr);
  if (p.one_byte) {
    f.geometry = "1 address byte (proven by reads), 256 bytes read";
    f.bytes = p.bytes;
    return true;
  }
  f.json["width_ambiguous"] = true;
  f.geometry = "width ambiguous (declare it with --chip NAME or --address-width 1|2; no command "
               "writes to it until then)";
  // Bytes that are all alike read the same however the part is addressed.
  if (!p.bytes.empty() && uniform(p.bytes, p.bytes[0])) f.bytes = p.bytes;
  else f.why_unread = "image not read";
  return true;
}

// Every adapter (or --bus), every address not claimed by a kernel device.
bool probe_buses(const ScanOptions &o, std::vector<Found> &found) {
  const std::vector<uint8_t> addresses = addresses_of(o);
  const auto blocked = blocklist_of(o.blocklist);
  bool complete = true;
  for (const unsigned n : o.buses.empty() ? i2c_adapters() : o.buses) {
    std::unique_ptr<i2c::Bus> bus;
    try {
      bus = std::make_unique<i2c::Bus>(i2c::system_i2c(), n);
    } catch (const Failure &e) {
      std::cerr << "idprom: " << e.what() << " (bus " << n << " not scanned)\n";
      complete = false;
      continue;
    }
    const std::string mux = mux_path(n);
    for (const uint8_t at : addresses) {
      if (blocked.count({-1, at}) || blocked.count({static_cast<int>(n), at})) continue;
      // A kernel device at the address owns it: never touched directly.
      if (claimed_address(n, at) || bus->claim(at) != 0) continue;
      const i2c::Target t{n, at, target_name(n, at)};
      Found f;
      f.location = t.name + (mux.empty() ? "" : " (behind " + mux + ")");
      f.json["bus"] = n;
      f.json["address"] = at;
      f.json["mux"] = mux.empty() ? Json(nullptr) : Json(mux);
      try {
        if (!read_unbound(o, *bus, t, f)) continue;
      } catch (const Failure &e) {
        f.why_unread = e.what();
      }
      found.push_back(std::move(f));
    }
  }
  return complete;
}

int run_scan(const ScanOptions &o) {
  std::vector<Found> found;
  driver_parts(o, found);
  const bool complete = probe_buses(o, found);
  for (Found &f : found) {
    std::string image = f.why_unread;
    if (f.bytes) image = image_summary(*f.bytes, f.json);
    else f.json["image"] = nullptr, f.json["error"] = f.why_unread;
    if (o.output.json) {
      Json line = {{"location", f.location}, {"geometry", f.geometry}};
      line.update(f.json);
      std::cout << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
      std::cout << f.location << ": " << f.geometry << "; " << image << '\n';
    }
  }
  if (found.empty() && !o.output.json) std::cerr << "idprom: no EEPROM found\n";
  return complete ? kExitOk : kExitIo;
}

void declare_scan(CLI::App &s, ScanOptions &o) {
  s.add_option("--bus", o.buses, "Only this adapter (/dev/i2c-N); repeatable")->type_name("N");
  s.add_option("--address", o.addresses, "Probe this address instead of 0x50-0x57; repeatable")
      ->type_name("ADDR");
  s.add_option("--blocklist", o.blocklist,
               "Never probe the addresses in FILE (ADDR or BUS:ADDR a line)")
      ->type_name("FILE");
  s.add_option("--chip", o.part.chip, "Read unbound parts as this chip (`idprom chips`)")
      ->type_name("NAME");
  s.add_option("--size", o.part.size, "Bytes of unbound parts not in the table")->type_name("N");
  s.add_option("--page-size", o.part.page_size, "Page size of unbound parts")->type_name("N");
  s.add_option("--address-width", o.part.address_width, "Address bytes of unbound parts")
      ->type_name("1|2");
  add_json_flag(s, o.output, "One JSON object per part per line");
}

}  // namespace

extern const Command kScan = command<ScanOptions, declare_scan, run_scan>(
    "scan", "Find the EEPROMs of this system and what they hold; writes nothing", "");

}  // namespace idprom::tool
