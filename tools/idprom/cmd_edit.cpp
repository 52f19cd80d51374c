// set and delete: edits through the library on a copy in memory, written
// back once through the file layer.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "common.hpp"
#include "errors.hpp"
#include "guard.hpp"
#include "types.hpp"
#include "values.hpp"

namespace idprom::tool {
namespace {

// An editing session on an image that decodes; malformed images are refused.
EditSession open_for_edit(const std::string &path, const WriteFlags &w) {
  return EditSession(system_io(), path, w.options());
}

void refuse_malformed(const std::string &path, const Bytes &bytes) {
  if (bytes.empty()) throw Failure(kExitMalformed, path + ": empty file; refusing to edit it");
  const Layout layout = ImageView(bytes).layout();
  if (layout.malformed_at) {
    throw Failure(kExitMalformed, path + ": offset " + hex(*layout.malformed_at, 4) + ": " +
                                      problem_at(bytes, *layout.malformed_at) +
                                      "; refusing to edit");
  }
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
};

std::optional<uint32_t> attribute_option(const std::string &attr) {
  if (attr.empty()) return std::nullopt;
  if (attr == "hex") return kAttrHex;
  if (attr == "text") return kAttrText;
  return kAttrDecimal;  // CLI11 allows only hex, text and decimal
}

// Changes the stored attribute of a field whose length stays the same:
// the library keeps the length field on such an overwrite, so the field
// is resized by one byte and back, both carrying the new attribute.
Region reattribute(ImageEditor &editor, uint32_t type, uint32_t instance, const Bytes &value,
                   uint32_t attribute) {
  Bytes other = value;
  if (value.size() >= 2) {
    other.pop_back();
  } else {
    other.push_back(0);
  }
  const EditResult a = editor.set(type, other, instance, false, attribute);
  if (!a.ok()) throw Failure(exit_for(a.status), "changing the attribute: " + explain(a.status));
  const EditResult b = editor.set(type, value, instance, false, attribute);
  if (!b.ok()) throw Failure(exit_for(b.status), "changing the attribute: " + explain(b.status));
  return Region{a.offset, a.length}.joined(Region{b.offset, b.length});
}

// An instance beyond the last one plus one would be appended as the
// next one, not the one asked for.
void refuse_instance_gap(const ImageView &view, uint32_t type, uint32_t instance) {
  uint32_t count = 0;
  for (const Entry &e : view) count += e.type == type ? 1 : 0;
  if (instance <= count + 1) return;
  throw Failure(kExitAbsent, "--instance " + std::to_string(instance) + ": the image has " +
                                 std::to_string(count) + " instance" + (count == 1 ? "" : "s") +
                                 "; --instance " + std::to_string(count + 1) + " adds one");
}

Region apply_assignment(ImageEditor &editor, const std::string &assignment, const SetOptions &o,
                        uint32_t instance) {
  const size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) {
    throw Failure(kExitUsage, "expected TYPE=VALUE");
  }
  const uint32_t type = resolve_type(assignment.substr(0, eq));
  refuse_instance_gap(editor.view(), type, instance);
  const auto existing = editor.view().find(type, instance);
  const auto chosen = attribute_option(o.attr);
  const bool variable = is_variable(type);
  const uint32_t attribute =
      chosen.value_or(existing && variable ? existing->attribute : standard_attribute(type));
  const ValueContext ctx{type, variable ? attribute : 0,
                         existing ? std::optional<uint32_t>(existing->length) : std::nullopt,
                         o.hex};
  const Bytes value = parse_value(assignment.substr(eq + 1), ctx);
  const EditResult r = editor.set(type, value, instance, !o.no_create,
                                  variable ? std::optional<uint32_t>(attribute) : std::nullopt);
  if (!r.ok()) throw Failure(exit_for(r.status), describe_type(type) + ": " + explain(r.status));
  Region dirty{r.offset, r.length};
  if (variable && chosen && existing && existing->length == value.size() &&
      existing->attribute != *chosen) {
    dirty = dirty.joined(reattribute(editor, type, instance, value, *chosen));
  }
  return dirty;
}

int run_set(const SetOptions &o) {
  const uint32_t instance = instance_of(o.instance);
  EditSession session = open_for_edit(o.image, o.write);
  refuse_malformed(o.image, session.original());
  Bytes work = session.original();
  ImageEditor editor(work);
  Region dirty;
  for (const std::string &assignment : o.assignments) {
    try {
      dirty = dirty.joined(apply_assignment(editor, assignment, o, instance));
    } catch (const Failure &f) {
      throw Failure(f.code(),
                    o.image + ": " + assignment + ": " + f.what() + "; nothing was written");
    }
  }
  guard_edit(o.image, session.original(), work, o.write.force);
  session.commit(work, dirty, std::cout);
  return kExitOk;
}

struct DeleteOptions {
  std::string image;
  std::string type;
  std::string instance = "1";
  WriteFlags write;
};

int run_delete(const DeleteOptions &o) {
  const uint32_t type = resolve_type(o.type);
  const uint32_t instance = instance_of(o.instance);
  EditSession session = open_for_edit(o.image, o.write);
  refuse_malformed(o.image, session.original());
  Bytes work = session.original();
  const EditResult r = ImageEditor(work).remove(type, instance);
  if (!r.ok()) {
    const std::string what =
        r.status == IDPROM_ERR_NOT_FOUND
            ? "no such field" +
                  (instance == 1 ? std::string() : " instance " + std::to_string(instance))
            : explain(r.status);
    throw Failure(exit_for(r.status), o.image + ": " + describe_type(type) + ": " + what);
  }
  guard_edit(o.image, session.original(), work, o.write.force);
  session.commit(work, Region{r.offset, r.length}, std::cout);
  return kExitOk;
}

}  // namespace

void add_edit_commands(CLI::App &app, int &status) {
  auto set = std::make_shared<SetOptions>();
  CLI::App *s = app.add_subcommand("set", "Set fields (TYPE=VALUE ...), written back once");
  s->add_option("IMAGE", set->image, "Image file or device")->required();
  s->add_option("ASSIGNMENT", set->assignments, "TYPE=VALUE; several apply in order")->required();
  s->add_option("--instance", set->instance, "Which instance, counted from 1")
      ->type_name("N")
      ->capture_default_str();
  s->add_flag("--no-create", set->no_create, "Fail (exit 1) instead of adding an absent field");
  s->add_option("--attr", set->attr, "Display attribute of variable-length fields")
      ->type_name("")
      ->check(CLI::IsMember({"hex", "text", "decimal"}));
  s->add_flag("--hex", set->hex, "Read every VALUE as hex bytes (or prefix one with hex:)");
  add_write_flags(s, set->write);
  s->callback([set, &status] { status = run_set(*set); });

  auto del = std::make_shared<DeleteOptions>();
  CLI::App *d = app.add_subcommand("delete", "Delete a field; later fields move up");
  d->add_option("IMAGE", del->image, "Image file or device")->required();
  d->add_option("TYPE", del->type, "Type: name, label, hex or decimal code")->required();
  d->add_option("--instance", del->instance, "Which instance, counted from 1")
      ->type_name("N")
      ->capture_default_str();
  add_write_flags(d, del->write);
  d->callback([del, &status] { status = run_delete(*del); });
}

}  // namespace idprom::tool
