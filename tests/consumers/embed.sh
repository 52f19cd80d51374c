#!/usr/bin/env bash
# Embedding checks, the way a firmware project uses idprom from source:
#  - the smallest build (library only) configures without GoogleTest, CLI11,
#    nlohmann-json or pybind11 being looked for, and builds just the library;
#  - add_subdirectory from a parent (tests/consumers/embed) leaves the
#    parent's build type alone, and a C program links idprom::static with
#    the C compiler, without the C++ run time, and runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$root/build/embed
rm -rf "$work"
fail() { echo "embed: $*" >&2; exit 1; }

cmake -S "$root" -B "$work/smallest" -G Ninja -DIDPROM_BUILD_TESTS=OFF -DIDPROM_BUILD_TOOLS=OFF \
      -DIDPROM_BUILD_EXAMPLES=OFF -DIDPROM_PYTHON=OFF -DIDPROM_INSTALL=OFF >"$work.log" 2>&1 ||
  { cat "$work.log" >&2; exit 1; }
if grep -E '^(GTest|CLI11|nlohmann_json|pybind11|Python)[A-Za-z_]*_DIR:' "$work/smallest/CMakeCache.txt"; then
  fail "the library-only build looked for a test, tool or Python dependency"
fi
cmake --build "$work/smallest" -j2 >>"$work.log" 2>&1 || { tail -30 "$work.log" >&2; exit 1; }
for dir in tests frontend tools python examples fuzz; do
  [ ! -e "$work/smallest/$dir" ] || fail "the library-only build configured $dir/"
done
[ -e "$work/smallest/src/libidprom.a" ] || fail "the library-only build made no libidprom.a"
echo "ok: library-only build (src/ only)"

cmake -S "$root/tests/consumers/embed" -B "$work/parent" -G Ninja -DIDPROM_SOURCE="$root" \
      >"$work/parent.log" 2>&1 || { cat "$work/parent.log" >&2; exit 1; }
grep -q "parent build type: ''" "$work/parent.log" || fail "add_subdirectory set the parent's build type"
cmake --build "$work/parent" -v >>"$work/parent.log" 2>&1 || { tail -30 "$work/parent.log" >&2; exit 1; }
link=$(grep -E -- '-o serial ' "$work/parent.log") || fail "no link command for serial"
if grep -qE '(c|g)\+\+' <<<"$link"; then fail "serial was linked by the C++ compiler: $link"; fi
if readelf -d "$work/parent/serial" | grep -q 'libstdc++'; then fail "serial needs libstdc++"; fi
[ "$("$work/parent/serial")" = "IDPROM_OK SN000000042 11" ] || fail "serial printed: $("$work/parent/serial")"
echo "ok: add_subdirectory, C program on libidprom.a linked by the C compiler, no libstdc++"
