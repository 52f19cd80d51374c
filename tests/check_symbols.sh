#!/bin/sh
# Checks the library's ABI against the checked-in list of exported names
# (one a line, sorted) and fails on any difference, added or missing:
#   check_symbols.sh LIB.so LIST [HEADER [LIB.a]]
#  - the dynamic symbols LIB.so defines (version nodes left out) are LIST,
#    and each one carries the default version IDPROM_<soname major>;
#  - the names HEADER declares with IDPROM_API are LIST;
#  - the global names LIB.a defines with default visibility are LIST.
# The linker's version script is generated from LIST, so a function marked
# IDPROM_API but not listed is local in LIB.so; the last two checks catch it.
set -eu
lib=$1
expected=$2
header=${3:-}
archive=${4:-}
status=0

compare() {  # what, actual names (one a line)
  if ! printf '%s\n' "$2" | grep -v '^$' | LC_ALL=C sort -u | diff -u --label "$expected" --label actual "$expected" -; then
    echo "$1 differ from $expected (- expected, + actual)" >&2
    status=1
  fi
}

# nm -D prints "value type name@@NODE"; the nodes themselves are type A.
dynamic=$(nm -D --defined-only "$lib" | awk '$2 != "A" {print $3}')
compare "exported symbols of $lib" "$(printf '%s\n' "$dynamic" | sed 's/@.*//')"

soname=$(objdump -p "$lib" | awk '$1 == "SONAME" {print $2}')
node="IDPROM_${soname##*.so.}"
unversioned=$(printf '%s\n' "$dynamic" | grep -v "@@${node}\$" || true)
if [ -n "$unversioned" ]; then
  echo "symbols of $lib outside version node $node:" >&2
  printf '%s\n' "$unversioned" >&2
  status=1
fi

if [ -n "$header" ]; then
  # Every declaration starts "IDPROM_API ... name(" or "IDPROM_API ... name;"
  # on one line; the printf-format attribute is the only other parenthesis.
  declared=$(sed -n 's/IDPROM_PRINTF_FORMAT([^)]*)//; /^IDPROM_API /{s/[(;].*//; s/.*[^A-Za-z0-9_]//; p;}' "$header")
  compare "IDPROM_API declarations in $header" "$declared"
fi

if [ -n "$archive" ]; then
  visible=$(readelf -sW "$archive" | awk '$5 == "GLOBAL" && $6 == "DEFAULT" && $7 != "UND" {print $8}')
  compare "default-visibility globals of $archive" "$visible"
fi

[ "$status" -eq 0 ] && echo "exported symbols match ($(wc -l < "$expected") symbols, node $node)"
exit "$status"
