// Editing an image as its JSON description in a text editor (`edit`): the
// text offered, what an edited text changes, and the policy of the loop
// that reopens an invalid text.  The front end only runs the editor and
// writes the result back through an edit session.
//
// The text is the description `show --json` prints, led by lines that start
// with "//" (JSON has no comments; such lines are dropped before reading it,
// wherever they are).  An edit becomes the fewest field edits that give the
// image the new description describes: a changed value is set in place, a
// removed entry deleted, entries added after the last one appended.  Other
// changes (entries moved, a tail changed) rebuild the image whole.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/fileio.hpp"

namespace idprom::tool {

struct DescriptionEdit {
  Bytes image;                     // the image the description describes
  Region dirty;                    // every byte that differs from the original lies inside
  std::vector<std::string> steps;  // "set PCB Serial Number (0xc1)"; empty when rebuilt
  bool rebuilt = false;            // the edits could not express the change
};

// The text an editor opens for `original` (which decodes), named `name` in
// the comment that says how to save or abort.
std::string description_text(const Bytes &original, const std::string &name);

// The text with every comment line blanked (kept as an empty line, so that
// a JSON error's line number is the one the editor showed).
std::string without_comments(std::string_view text);

// What an edited text changes in `original`: nullopt when it describes the
// same bytes.  Throws Failure as build does (bad JSON, unknown type, bad
// value, no room) naming `name`; also for a changed "size", and, unless
// `force`, for what `set` refuses without --force (a Base MAC Address no
// board can have, bytes after the end marker lost, no end marker left).
std::optional<DescriptionEdit> apply_description(const Bytes &original, std::string_view text,
                                                 const std::string &name, bool force);

// Shows a text to the user and returns it as saved.
using TextEditor = std::function<std::string(const std::string &text)>;

// The loop: offers description_text to `editor` until it comes back valid.
// An invalid text is offered again with the errors in comments at the top.
// Returns nullopt when the text comes back unchanged (nothing to write).
// Throws Failure, the image untouched: (usage) when the text comes back
// empty, and the last error (with its exit status) when an invalid text
// comes back unchanged, so that an editor that changes nothing ends it.
std::optional<DescriptionEdit> edit_description(const Bytes &original, const std::string &name,
                                                bool force, const TextEditor &editor);

}  // namespace idprom::tool
