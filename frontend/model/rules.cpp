// Reading rules and checking an image against them.
#include "model/rules.hpp"

#include <re2/re2.h>

#include <algorithm>

#include "base/errors.hpp"
#include "model/image.hpp"
#include "model/macaddr.hpp"
#include "model/types.hpp"
#include "model/values.hpp"

namespace idprom::tool {
namespace {

using json = nlohmann::json;

[[noreturn]] void bad(const std::string &where, const std::string &what) {
  throw Failure(kExitUsage, where + ": " + what);
}

void only_known(const json &object, std::initializer_list<const char *> known,
                const std::string &where) {
  if (!object.is_object()) bad(where, "must be a JSON object");
  for (auto it = object.begin(); it != object.end(); ++it) {
    if (std::none_of(known.begin(), known.end(), [&](const char *k) { return it.key() == k; }))
      bad(where, "unknown member \"" + it.key() + "\"");
  }
}

uint32_t type_of(const json &name, const std::string &where) {
  if (!name.is_string()) bad(where, "a type is a string such as \"pid\" or \"0xcb\"");
  try {
    return resolve_type(name.get<std::string>());
  } catch (const Failure &f) {
    bad(where, f.what());
  }
}

// Memory one compiled pattern may use; far beyond any sensible rule, and
// what bounds the engine's work on a value.
constexpr int64_t kPatternMemory = int64_t{8} << 20;

Rules::Match match_of(const std::string &type, const json &pattern, const std::string &where) {
  if (!pattern.is_string()) bad(where, "a regular expression is a string");
  const std::string text = pattern.get<std::string>();
  RE2::Options options;
  options.set_log_errors(false);
  options.set_max_mem(kPatternMemory);
  auto regex = std::make_shared<const RE2>(text, options);
  if (!regex->ok()) bad(where, "not a regular expression this tool takes: " + regex->error());
  return Rules::Match{type_of(type, where), text, std::move(regex)};
}

std::pair<uint64_t, uint64_t> mac_of(const json &mac, const std::string &where) {
  only_known(mac, {"start", "end"}, where);
  if (!mac.contains("start") || !mac.contains("end") || !mac["start"].is_string() ||
      !mac["end"].is_string())
    bad(where, "give \"start\" and \"end\" as MAC address strings");
  const uint64_t start = read_mac(mac["start"].get<std::string>(), where + ".start");
  const uint64_t end = read_mac(mac["end"].get<std::string>(), where + ".end");
  if (end < start) bad(where, "\"end\" lies before \"start\"");
  return {start, end};
}

std::string value_of(const ImageView &view, const Entry &e) {
  const std::string text = value_text(view, e);
  return text.empty() ? hex_string(Bytes(e.value.begin(), e.value.end())) : text;
}

void check_filler(const ImageView &view, std::vector<RuleFailure> &out) {
  const auto marker = view.layout().end_marker;
  const auto bytes = view.bytes();
  for (size_t i = marker ? *marker + 1 : bytes.size(); i < bytes.size(); ++i) {
    if (bytes[i] != 0xFF) {
      out.push_back({"filler", "offset " + hex(i, 4) + ": byte " + hex(bytes[i]) +
                                   " after the end marker (the rest should be 0xff)"});
      return;
    }
  }
}

void check_macs(const ImageView &view, const Rules &rules, std::vector<RuleFailure> &out) {
  const auto base = view.find(IDPROM_TYPE_BASE_MAC);
  if (const auto problem = base_mac_problem(view)) {
    out.push_back({"base-mac", *problem});
    if (base->length != 6) return;
  }
  const uint64_t first = base ? macbuf_to_mac64(base->value.data()) : 0;
  if (!rules.mac) return;
  if (!base) {
    out.push_back({"mac", "no Base MAC Address"});
    return;
  }
  const uint64_t block = view.get_int(IDPROM_TYPE_MAC_BLOCK_SIZE).value_or(1);
  const uint64_t last = first + std::max<uint64_t>(block, 1) - 1;
  if (first < rules.mac->first || last > rules.mac->second) {
    out.push_back({"mac", "block " + mac_text(first) + " to " + mac_text(last) + " (" +
                              std::to_string(block) + " addresses) lies outside " +
                              mac_text(rules.mac->first) + " to " + mac_text(rules.mac->second)});
  }
}

}  // namespace

std::optional<std::string> base_mac_problem(const ImageView &view) {
  const auto base = view.find(IDPROM_TYPE_BASE_MAC);
  if (!base) return std::nullopt;
  if (base->length != 6)
    return "Base MAC Address holds " + std::to_string(base->length) + " bytes, a MAC address 6";
  const uint64_t mac = macbuf_to_mac64(base->value.data());
  if (mac == 0) return "Base MAC Address " + mac_text(mac) + " is all zero";
  if (mac == 0xFFFFFFFFFFFF) return "Base MAC Address " + mac_text(mac) + " is the broadcast address";
  if (is_multicast(mac)) return "Base MAC Address " + mac_text(mac) + " is a multicast address";
  return std::nullopt;
}

void refuse_bad_base_mac(const std::string &name, const Bytes &image) {
  if (const auto problem = base_mac_problem(ImageView(image)))
    throw Failure(kExitValue, name + ": " + *problem + "; nothing was written (--force stores it anyway)");
}

Rules read_rules(const json &rules, const std::string &source) {
  only_known(rules, {"size", "required", "match", "mac"}, source);
  Rules out;
  if (rules.contains("size")) {
    if (!rules["size"].is_number_unsigned())
      bad(source + ": \"size\"", "must be a number of bytes");
    out.size =
        static_cast<uint32_t>(std::min<uint64_t>(rules["size"].get<uint64_t>(), kMaxImage + 1));
  }
  if (rules.contains("required")) {
    if (!rules["required"].is_array()) bad(source + ": \"required\"", "must be an array of types");
    for (const json &t : rules["required"])
      out.required.push_back(type_of(t, source + ": \"required\""));
  }
  if (rules.contains("match")) {
    if (!rules["match"].is_object()) bad(source + ": \"match\"", "must map types to expressions");
    for (auto it = rules["match"].begin(); it != rules["match"].end(); ++it)
      out.match.push_back(
          match_of(it.key(), it.value(), source + ": \"match\": \"" + it.key() + "\""));
  }
  if (rules.contains("mac")) out.mac = mac_of(rules["mac"], source + ": \"mac\"");
  return out;
}

std::vector<RuleFailure> check_rules(const Bytes &image, const Rules &rules) {
  const ImageView view(image);
  std::vector<RuleFailure> out;
  if (rules.size && image.size() != *rules.size) {
    out.push_back({"size", std::to_string(image.size()) + " bytes, the rules want " +
                               std::to_string(*rules.size)});
  }
  for (uint32_t type : rules.required) {
    if (!view.find(type)) out.push_back({"required", "no " + describe_type(type)});
  }
  for (const Rules::Match &m : rules.match) {
    const auto e = view.find(m.type);
    const std::string text = e ? value_of(view, *e) : "";
    if (!e) {
      out.push_back({"match", "no " + describe_type(m.type) + " to match /" + m.pattern + "/"});
    } else if (!RE2::PartialMatch(text, *m.regex)) {
      out.push_back(
          {"match", describe_type(m.type) + " '" + text + "' does not match /" + m.pattern + "/"});
    }
  }
  check_macs(view, rules, out);
  check_filler(view, out);
  return out;
}

}  // namespace idprom::tool
