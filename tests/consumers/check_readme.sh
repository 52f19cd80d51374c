#!/bin/sh
# The README's code snippets that carry a marker line
#   <!-- same as tests/consumers/listing.c -->
# just before their fenced block must equal that file, so that what the
# README shows is what the consumer tests build and run.
#   check_readme.sh README.md
set -eu
readme=$1
root=$(dirname "$readme")
status=0
checked=0
for file in $(sed -n 's/^<!-- same as \(.*\) -->$/\1/p' "$readme"); do
  # The lines between the fences that follow the marker.
  awk -v marker="<!-- same as $file -->" '
    $0 == marker { found = 1; next }
    found == 1 && /^```/ { found = 2; next }
    found == 2 && /^```/ { exit }
    found == 2 { print }
  ' "$readme" >"${TMPDIR:-/tmp}/readme_snippet.$$"
  if diff -u --label "$file" --label "README snippet" "$root/$file" "${TMPDIR:-/tmp}/readme_snippet.$$"; then
    checked=$((checked + 1))
  else
    echo "the README's snippet differs from $file" >&2
    status=1
  fi
done
rm -f "${TMPDIR:-/tmp}/readme_snippet.$$"
[ "$checked" -gt 0 ] || [ "$status" -ne 0 ] || { echo "no marked snippets in $readme" >&2; exit 1; }
[ "$status" -eq 0 ] && echo "ok: $checked README snippets match their files"
exit "$status"
