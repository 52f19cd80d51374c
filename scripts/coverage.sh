#!/usr/bin/env bash
# Line and branch coverage of src/ by the unit tests and the corpus replays
# (CMake preset `coverage`: g++ --coverage, -O0), printed with gcovr.
#
#   scripts/coverage.sh            print the summary and the per-file table
#   COVERAGE_MIN=95 scripts/coverage.sh   also fail below 95 % line coverage
#   scripts/coverage.sh --html     also write build/coverage/html/index.html
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset coverage >/dev/null
cmake --build --preset coverage -j2 >/dev/null
find build/coverage -name '*.gcda' -delete
# ExportedSymbols is left out: the gcov runtime adds a symbol of its own to
# the shared library of this build.
ctest --preset coverage -j2 -E '^ExportedSymbols$' >build/coverage/ctest.log 2>&1 || {
  tail -n 40 build/coverage/ctest.log >&2
  exit 1
}

# Only src/ counts; branches the compiler adds for exceptions (none are
# thrown: -fno-exceptions) or that it proves unreachable are not branches of
# our code.
args=(--root . --filter 'src/' --object-directory build/coverage --exclude-directories 'build/coverage/CMakeFiles'
      --exclude-throw-branches --exclude-unreachable-branches)
[ -n "${COVERAGE_MIN:-}" ] && args+=(--fail-under-line "$COVERAGE_MIN")
# The per-file line table, then the totals of lines, functions and branches.
gcovr "${args[@]}" --print-summary || {
  echo "line coverage of src/ is below ${COVERAGE_MIN:-?} %" >&2
  exit 1
}
if [ "${1:-}" = "--html" ]; then
  mkdir -p build/coverage/html
  gcovr "${args[@]}" --html-details build/coverage/html/index.html
  echo "build/coverage/html/index.html"
fi
