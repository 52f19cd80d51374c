#!/bin/sh
# Checks the library's ABI against the checked-in list of exported names
# (one a line, grouped under "@NODE" version-node lines) and fails on any
# difference, added, missing or in another node:
#   check_symbols.sh [--no-short-names] LIB.so LIST [HEADER [LIB.a]]
#  - the dynamic symbols LIB.so defines are LIST, each with its node as the
#    default version (name@@NODE);
#  - the names HEADER declares with IDPROM_API are LIST (short names too:
#    the header declares them unless IDPROM_NO_SHORT_NAMES is defined);
#  - the global names LIB.a defines with default visibility are LIST.
# --no-short-names: the library was built without the names that lack the
# idprom_ prefix.
# The linker's version script is generated from LIST, so a function marked
# IDPROM_API but not listed is local in LIB.so; the last two checks catch it.
set -eu
short=true
if [ "$1" = --no-short-names ]; then short=false; shift; fi
lib=$1
list=$2
header=${3:-}
archive=${4:-}
status=0

# name@@NODE for every listed name, in list order.
versioned=$(awk '/^@/ {node = substr($0, 2); next} /^[A-Za-z_][A-Za-z0-9_]*$/ {print $0 "@@" node}' "$list")
names=$(printf '%s\n' "$versioned" | sed 's/@.*//')
built=$versioned
$short || built=$(printf '%s\n' "$versioned" | grep '^idprom_')

compare() {  # what, expected names, actual names (one a line)
  printf '%s\n' "$2" | grep -v '^$' | LC_ALL=C sort -u >"${TMPDIR:-/tmp}/symbols.$$"
  if ! printf '%s\n' "$3" | grep -v '^$' | LC_ALL=C sort -u |
      diff -u --label "$list" --label actual "${TMPDIR:-/tmp}/symbols.$$" -; then
    echo "$1 differ from $list (- expected, + actual)" >&2
    status=1
  fi
  rm -f "${TMPDIR:-/tmp}/symbols.$$"
}

# nm -D prints "value type name@@NODE"; the nodes themselves are type A.
compare "exported symbols (name@@node) of $lib" "$built" \
  "$(nm -D --defined-only "$lib" | awk '$2 != "A" {print $3}')"

if [ -n "$header" ]; then
  # Every declaration starts "IDPROM_API ... name(" or "IDPROM_API ... name;"
  # on one line; the printf-format attribute is the only other parenthesis.
  declared=$(sed -n 's/IDPROM_PRINTF_FORMAT([^)]*)//; /^IDPROM_API /{s/[(;].*//; s/.*[^A-Za-z0-9_]//; p;}' "$header")
  compare "IDPROM_API declarations in $header" "$names" "$declared"
fi

if [ -n "$archive" ]; then
  visible=$(readelf -sW "$archive" | awk '$5 == "GLOBAL" && $6 == "DEFAULT" && $7 != "UND" {print $8}')
  compare "default-visibility globals of $archive" "$(printf '%s\n' "$built" | sed 's/@.*//')" "$visible"
fi

[ "$status" -eq 0 ] && echo "exported symbols match ($(printf '%s\n' "$built" | wc -l) symbols, nodes $(grep '^@' "$list" | tr -d @ | tr '\n' ' '))"
exit "$status"
