#!/bin/sh
# Compares the dynamic symbols a shared library defines with a checked-in
# list and fails on any difference, added or missing.
set -eu
lib=$1
expected=$2
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//' | grep -v '^$' | LC_ALL=C sort -u)
if ! diff -u "$expected" - <<EOT
$actual
EOT
then
  echo "exported symbols of $lib differ from $expected (- expected, + actual)" >&2
  exit 1
fi
echo "exported symbols match ($(echo "$actual" | wc -l) symbols)"
