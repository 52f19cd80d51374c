#!/usr/bin/env bash
# Stack budgets (g++ -fstack-usage, -O2 as shipped): no function of the
# library has a frame above 512 bytes or one of unbounded size, and no edit
# of the C++ layer (include/idprom.hpp: set, set_int, update, remove, with
# everything inlined into them) one above 1 KiB.  Prints the largest frames;
# exits 1 when a budget is exceeded.
#   bench/stack_report.sh [BUILD_FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/stack}
mkdir -p "$out"
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-fstack-usage \
      -DIDPROM_BUILD_TESTS=OFF -DIDPROM_BUILD_TOOLS=OFF -DIDPROM_BUILD_EXAMPLES=OFF -DIDPROM_PYTHON=OFF \
      -DIDPROM_INSTALL=OFF >"$out.log" 2>&1 || { cat "$out.log" >&2; exit 1; }
cmake --build "$out" -j2 --target idprom_static >>"$out.log" 2>&1 || { tail -40 "$out.log" >&2; exit 1; }
g++ -std=c++20 -O2 -fstack-usage -I"$root/include" -c "$root/bench/stack/hpp_edits.cpp" \
    -o "$out/hpp_edits.o" -fstack-usage
mv -f hpp_edits.su "$out/hpp_edits.su" 2>/dev/null || true

# .su lines: "file:line:column:function<TAB>bytes<TAB>static|dynamic|bounded".
check() {  # what, budget, .su files...
  local what=$1 budget=$2
  shift 2
  sort -t$'\t' -k2,2nr "$@" | awk -F'\t' -v what="$what" -v budget="$budget" '
    NR <= 3 { sub(/^.*\/(src|bench)\//, "", $1); printf "%-8s %6d  %s\n", what, $2, $1 }
    $2 > budget || $3 == "dynamic" { sub(/^.*\/(src|bench)\//, "", $1); printf "stack: %s %s takes %d bytes (%s), budget %d\n", what, $1, $2, $3, budget > "/dev/stderr"; bad = 1 }
    END { exit bad }'
}
status=0
check library 512 $(find "$out/src" -name '*.su') || status=1
check idprom.hpp 1024 "$out/hpp_edits.su" || status=1
exit "$status"
