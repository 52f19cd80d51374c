#!/usr/bin/env bash
# The unit tests once under Valgrind's memcheck: no invalid access, no use of
# uninitialised memory, no leak.  The default (g++, -O2 -g) build is used,
# so that Valgrind sees the code as shipped.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset default >/dev/null
cmake --build --preset default -j2 >/dev/null
valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  --track-origins=yes --quiet build/default/tests/idprom_tests --gtest_brief=1
echo "valgrind: clean"
