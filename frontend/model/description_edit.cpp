// edit: an image's description changed in an editor, applied as the fewest
// field edits.
#include "model/description_edit.hpp"

#include <algorithm>
#include <map>

#include "base/errors.hpp"
#include "io/guard.hpp"
#include "model/describe.hpp"
#include "model/fields.hpp"
#include "model/image.hpp"
#include "model/rules.hpp"

namespace idprom::tool {
namespace {

// Pairs of entries the alignment weighs (old entries times new ones); past
// it, a change is applied by rebuilding the image.
constexpr size_t kMaxPairs = size_t{1} << 22;

std::vector<Entry> entries_of(const Bytes &image) {
  std::vector<Entry> out;
  for (const Entry &e : ImageView(image)) out.push_back(e);
  return out;
}

// How alike an old and a new entry are: 0 for another type, 1 for another
// value or attribute, 2 for the same.
uint32_t likeness(const Entry &a, const Entry &b) {
  if (a.type != b.type) return 0;
  return a.attribute == b.attribute && std::ranges::equal(a.value, b.value) ? 2 : 1;
}

using Pairs = std::vector<std::pair<size_t, size_t>>;

// The old and new entries an edit keeps (the same type, in the same
// order): the alignment of greatest likeness, so that unchanged entries
// stay and the fewest are deleted or added.
std::optional<Pairs> kept_pairs(const std::vector<Entry> &a, const std::vector<Entry> &b) {
  const size_t n = a.size(), m = b.size();
  if (n != 0 && m > kMaxPairs / n) return std::nullopt;
  std::vector<uint32_t> best((n + 1) * (m + 1), 0);  // best[i][j]: of a[i..] and b[j..]
  const auto at = [&](size_t i, size_t j) -> uint32_t & { return best[i * (m + 1) + j]; };
  for (size_t i = n; i-- > 0;) {
    for (size_t j = m; j-- > 0;) {
      const uint32_t w = likeness(a[i], b[j]);
      at(i, j) = std::max({at(i + 1, j), at(i, j + 1), w == 0 ? 0 : w + at(i + 1, j + 1)});
    }
  }
  Pairs pairs;
  for (size_t i = 0, j = 0; i < n && j < m;) {
    const uint32_t w = likeness(a[i], b[j]);
    if (w != 0 && at(i, j) == w + at(i + 1, j + 1)) {
      pairs.emplace_back(i++, j++);
    } else if (at(i, j) == at(i + 1, j)) {
      ++i;
    } else {
      ++j;
    }
  }
  return pairs;
}

std::string step(const char *what, uint32_t type, uint32_t instance) {
  return std::string(what) + " " + describe_type(type) +
         (instance == 1 ? "" : " instance " + std::to_string(instance));
}

FieldEdit edit_of(const Entry &e, uint32_t instance, bool create) {
  return FieldEdit{e.type, instance, create,
                   is_variable(e.type) ? std::optional<uint32_t>(e.attribute) : std::nullopt,
                   false};
}

// Deletes the old entries no pair keeps, the last first, so that the
// instance numbers of those before stay.
void delete_unkept(ImageEditor &editor, DescriptionEdit &edit, const std::vector<Entry> &a,
                   const std::vector<bool> &kept) {
  for (size_t i = a.size(); i-- > 0;) {
    if (kept[i]) continue;
    const auto instance = static_cast<uint32_t>(
        std::count_if(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                      [&](const Entry &e) { return e.type == a[i].type; }));
    edit.dirty = edit.dirty.joined(delete_field(editor, a[i].type, instance));
    edit.steps.push_back(step("deleted", a[i].type, instance));
  }
}

// The change as deletions, values set in place and entries appended, in
// that order; nullopt when they do not give `target` (entries moved, the
// tail changed, or no room on the way).
std::optional<DescriptionEdit> field_edits(const Bytes &original, const Bytes &target) {
  const std::vector<Entry> a = entries_of(original), b = entries_of(target);
  const std::optional<Pairs> pairs = kept_pairs(a, b);
  // Appended entries follow every kept one: the new entries before the
  // last kept one must all be kept.
  const size_t appended = pairs && !pairs->empty() ? pairs->back().second + 1 : 0;
  if (!pairs || pairs->size() != appended) return std::nullopt;
  DescriptionEdit edit{original, {}, {}, false};
  ImageEditor editor(edit.image);
  std::vector<bool> kept(a.size(), false);
  for (const auto &[i, j] : *pairs) kept[i] = true;
  std::map<uint32_t, uint32_t> instances;
  try {
    delete_unkept(editor, edit, a, kept);
    for (const auto &[i, j] : *pairs) {
      const uint32_t instance = ++instances[b[j].type];
      if (likeness(a[i], b[j]) == 2) continue;
      edit.dirty = edit.dirty.joined(set_field(editor, edit_of(b[j], instance, false),
                                               Bytes(b[j].value.begin(), b[j].value.end())));
      edit.steps.push_back(step("set", b[j].type, instance));
    }
    for (size_t j = appended; j < b.size(); ++j) {
      const uint32_t instance = ++instances[b[j].type];
      edit.dirty = edit.dirty.joined(set_field(editor, edit_of(b[j], instance, true),
                                               Bytes(b[j].value.begin(), b[j].value.end())));
      edit.steps.push_back(step("added", b[j].type, instance));
    }
  } catch (const Failure &) {
    return std::nullopt;
  }
  if (edit.image != target) return std::nullopt;
  return edit;
}

std::optional<Bytes> base_mac(const Bytes &image) {
  const auto e = ImageView(image).find(IDPROM_TYPE_BASE_MAC);
  return e ? std::optional(Bytes(e->value.begin(), e->value.end())) : std::nullopt;
}

bool blank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Without the white space around it (and the empty lines left by comments).
std::string_view trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Each line of a message as a comment.
std::string commented(const std::string &message) {
  std::string out = "// ";
  for (char c : message) out += c == '\n' ? std::string("\n// ") : std::string(1, c);
  return out + '\n';
}

}  // namespace

std::string description_text(const Bytes &original, const std::string &name) {
  return "// idprom edit " + name +
         ": the image's description, as `idprom show --json` prints it.\n"
         "// Change an entry's \"text\" (or \"hex\"), delete entries, add entries after\n"
         "// the last, then save and quit: only the bytes that change are written.\n"
         "// To abort, quit without saving, or delete everything and save.\n"
         "// Lines that start with // are ignored.\n" +
         describe(ImageView(original)).dump(2) + '\n';
}

std::string without_comments(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line.substr(first, 2) != "//") out += line;
    if (end < text.size()) out += '\n';
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return out;
}

std::optional<DescriptionEdit> apply_description(const Bytes &original, std::string_view text,
                                                 const std::string &name, bool force) {
  const nlohmann::json d = parse_description(without_comments(text), name);
  const auto size = static_cast<uint32_t>(original.size());
  if (d.is_object() && d.contains("size") && d["size"] != size)
    throw Failure(kExitUsage, name + ": \"size\": the image has " + std::to_string(size) +
                                  " bytes, which an edit cannot change");
  const Bytes image = build_image(d, size, name);
  if (image == original) return std::nullopt;
  if (!force) {
    guard_edit(name, original, image, false);
    if (base_mac(image) != base_mac(original)) refuse_bad_base_mac(name, image);
  }
  if (auto edit = field_edits(original, image)) return edit;
  return DescriptionEdit{image, changed_region(original, image), {}, true};
}

std::optional<DescriptionEdit> edit_description(const Bytes &original, const std::string &name,
                                                bool force, const TextEditor &editor) {
  std::string text = description_text(original, name);
  const std::string offered = without_comments(text);
  std::optional<std::string> refused;  // the last invalid text, comments aside
  for (;;) {
    const std::string saved = without_comments(editor(text));
    if (blank(saved))
      throw Failure(kExitUsage, name +
                                    ": the description came back empty: edit aborted, "
                                    "nothing was written");
    if (trimmed(saved) == trimmed(offered)) return std::nullopt;
    try {
      return apply_description(original, saved, name, force);
    } catch (const Failure &f) {
      if (refused && trimmed(*refused) == trimmed(saved))
        throw f.reworded(std::string(f.what()) +
                         "; the description came back unchanged: edit aborted, nothing was "
                         "written");
      refused = saved;
      text = commented(std::string("ERROR: ") + f.what()) +
             "// Correct the description below and save, or save it unchanged to abort.\n" +
             std::string(trimmed(saved)) + '\n';
    }
  }
}

}  // namespace idprom::tool
