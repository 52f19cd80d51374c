// set and delete: edits through the library on a copy in memory, written
// back once through the file layer.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "base/errors.hpp"
#include "command.hpp"
#include "common.hpp"
#include "model/rules.hpp"
#include "io/guard.hpp"
#include "model/fields.hpp"
#include "model/types.hpp"

namespace idprom::tool {
namespace {

// An editing session on an image that decodes; malformed images are refused.
EditSession open_for_edit(const std::string &path, const WriteFlags &w, const ImageFlags &image) {
  return EditSession(system_io(), path, w.options(image));
}

uint32_t instance_of(const std::string &text) {
  const uint32_t instance = parse_number(text, "--instance");
  if (instance == 0) throw Failure(kExitUsage, "--instance counts from 1");
  return instance;
}

struct SetOptions {
  std::string image;
  std::vector<std::string> assignments;
  std::string instance = "1";
  bool no_create = false;
  std::string attr;
  bool hex = false;
  WriteFlags write;
  ImageFlags image_flags;
};

std::optional<uint32_t> attribute_option(const std::string &attr) {
  if (attr.empty()) return std::nullopt;
  if (attr == "hex") return kAttrHex;
  if (attr == "text") return kAttrText;
  return kAttrDecimal;  // CLI11 allows only hex, text and decimal
}

Region apply_assignment(ImageEditor &editor, const Assignment &a, const SetOptions &o,
                        uint32_t instance) {
  return assign(editor, FieldEdit{a.type, instance, !o.no_create, attribute_option(o.attr), o.hex},
                a.value);
}

int run_set(const SetOptions &o) {
  const uint32_t instance = instance_of(o.instance);
  // Every message names the type (and the value, when it is the value's
  // fault), so the assignment is not repeated in front of it.
  const auto reworded = [&](const Failure &f) {
    return f.reworded(o.image + ": " + f.what() + "; nothing was written");
  };
  // The types are read before the image, as delete (and the Python
  // package) read them: bad arguments are reported whatever the image holds.
  std::vector<Assignment> assignments;
  for (const std::string &text : o.assignments) {
    try {
      assignments.push_back(split_assignment(text));
    } catch (const Failure &f) {
      throw reworded(f);
    }
  }
  EditSession session = open_for_edit(o.image, o.write, o.image_flags);
  refuse_malformed(o.image, session.original());
  Bytes work = session.original();
  ImageEditor editor(work);
  Region dirty;
  for (const Assignment &assignment : assignments) {
    try {
      dirty = dirty.joined(apply_assignment(editor, assignment, o, instance));
    } catch (const Failure &f) {
      throw reworded(f);
    }
  }
  guard_edit(o.image, session.original(), work, o.write.force);
  // A Base MAC Address this edit stores must be one a board can have
  // (verify and program refuse the others); one already there is kept.
  const auto base_mac = [](const Bytes &image) {
    const auto e = ImageView(image).find(IDPROM_TYPE_BASE_MAC);
    return e ? Bytes(e->value.begin(), e->value.end()) : Bytes{};
  };
  if (!o.write.force && base_mac(work) != base_mac(session.original()))
    refuse_bad_base_mac(o.image, work);
  write_back(session, work, dirty, o.write);
  return kExitOk;
}

struct DeleteOptions {
  std::string image;
  std::string type;
  std::string instance = "1";
  WriteFlags write;
  ImageFlags image_flags;
};

int run_delete(const DeleteOptions &o) {
  const uint32_t type = resolve_type(o.type);
  const uint32_t instance = instance_of(o.instance);
  EditSession session = open_for_edit(o.image, o.write, o.image_flags);
  refuse_malformed(o.image, session.original());
  Bytes work = session.original();
  ImageEditor editor(work);
  Region dirty;
  try {
    dirty = delete_field(editor, type, instance);
  } catch (const Failure &f) {
    throw f.reworded(o.image + ": " + f.what());
  }
  guard_edit(o.image, session.original(), work, o.write.force);
  write_back(session, work, dirty, o.write);
  return kExitOk;
}

void declare_set(CLI::App &s, SetOptions &set) {
  s.add_option("IMAGE", set.image, "Image file or device")->required();
  s.add_option("ASSIGNMENT", set.assignments, "TYPE=VALUE; several apply in order")->required();
  s.add_option("--instance", set.instance, "Which instance, counted from 1")
      ->type_name("N")
      ->capture_default_str();
  s.add_flag("--no-create", set.no_create, "Fail (exit 1) instead of adding an absent field");
  s.add_option("--attr", set.attr, "Display attribute of variable-length fields")
      ->type_name("")
      ->check(CLI::IsMember({"hex", "text", "decimal"}));
  s.add_flag("--hex", set.hex, "Read every VALUE as hex bytes (or prefix one with hex:)");
  add_write_flags(s, set.write);
  add_image_flags(s, set.image_flags);
}

void declare_delete(CLI::App &d, DeleteOptions &del) {
  d.add_option("IMAGE", del.image, "Image file or device")->required();
  d.add_option("TYPE", del.type, "Type: name, label, hex or decimal code")->required();
  d.add_option("--instance", del.instance, "Which instance, counted from 1")
      ->type_name("N")
      ->capture_default_str();
  add_write_flags(d, del.write);
  add_image_flags(d, del.image_flags);
}

}  // namespace

extern const Command kSet = command<SetOptions, declare_set, run_set>(
    "set", "Set fields (TYPE=VALUE ...), written back once", "IMAGE TYPE=VALUE [TYPE=VALUE ...]");
extern const Command kDelete = command<DeleteOptions, declare_delete, run_delete>(
    "delete", "Delete a field; later fields move up", "IMAGE TYPE");

}  // namespace idprom::tool
