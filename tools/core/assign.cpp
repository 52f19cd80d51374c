// Assignments as `set` makes them, for front ends that edit many images.
#include "assign.hpp"

#include "errors.hpp"
#include "image.hpp"
#include "types.hpp"
#include "values.hpp"

namespace idprom::tool {

Assignment split_assignment(std::string_view text) {
  const size_t eq = text.find('=');
  if (eq == std::string_view::npos || eq == 0)
    throw Failure(kExitUsage, "'" + std::string(text) + "': expected TYPE=VALUE");
  return Assignment{resolve_type(text.substr(0, eq)), std::string(text.substr(eq + 1))};
}

void apply(ImageEditor &editor, const Assignment &a) {
  const auto existing = editor.view().find(a.type);
  const bool variable = is_variable(a.type);
  const uint32_t attribute =
      existing && variable ? existing->attribute : standard_attribute(a.type);
  const ValueContext ctx{a.type, attribute,
                         existing ? std::optional<uint32_t>(existing->length) : std::nullopt,
                         false};
  const Bytes value = parse_value(a.value, ctx);
  const EditResult r = editor.set(a.type, value, 1, true,
                                  variable ? std::optional<uint32_t>(attribute) : std::nullopt);
  if (!r.ok()) throw Failure(exit_for(r.status), describe_type(a.type) + ": " + explain(r.status));
}

}  // namespace idprom::tool
