#!/usr/bin/env bash
# Static checks of src/: clang-tidy with the checks chosen in .clang-tidy, and
# cppcheck.  Both read the compile commands of the `default` build, so they
# see the flags and include paths the library is built with.  Any finding
# fails.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default >/dev/null   # writes build/default/compile_commands.json
db=build/default/compile_commands.json
mkdir -p build/static
# The library's own translation units only (not tests, examples or harnesses).
python3 - "$db" build/static/compile_commands.json <<'PY'
import json, os, sys
src = os.path.realpath("src") + os.sep
cmds = [c for c in json.load(open(sys.argv[1])) if os.path.realpath(c["file"]).startswith(src)]
json.dump(cmds, open(sys.argv[2], "w"), indent=1)
print(f"{len(cmds)} translation units in src/")
PY
files=$(python3 -c 'import json; print(" ".join(c["file"] for c in json.load(open("build/static/compile_commands.json"))))')

echo "--- clang-tidy"
# shellcheck disable=SC2086
printf '%s\n' $files | xargs -P2 -n4 clang-tidy -p build/static --quiet >build/static/clang-tidy.log 2>&1 \
  || true  # the findings decide, below
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' build/static/clang-tidy.log || true
if grep -qE '(warning|error):' build/static/clang-tidy.log; then
  echo "clang-tidy: findings above" >&2
  exit 1
fi
echo "clang-tidy: clean"

echo "--- cppcheck"
# useStlAlgorithm is a matter of taste (it asks for std::any_of over a
# three-line loop); every other warning, style, performance and portability
# finding counts.
cppcheck --project=build/static/compile_commands.json --enable=warning,style,performance,portability \
  --suppress=useStlAlgorithm --suppress=missingIncludeSystem --inline-suppr \
  --error-exitcode=1 --quiet -j2
echo "cppcheck: clean"
