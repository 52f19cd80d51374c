#!/usr/bin/env bash
# Builds the libFuzzer harnesses (CMake preset `fuzz`: clang++, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a while.
#
#   scripts/fuzz.sh [SECONDS] [HARNESS...]   each harness for SECONDS (default 60)
#   FUZZ_RUNS=N scripts/fuzz.sh 0 [HARNESS...]   each harness for N executions
#
# HARNESS is decode, edit, print or util (the library), or value, mac, describe,
# rules, program, target or window (the front ends' parsers); default: every
# one built.  The
# seeds in fuzz/corpus/<harness>/ are only read; new inputs go to
# build/fuzz/corpus/<harness>/ and any crashing input to
# build/fuzz/artifacts/.  Exits non-zero on the first finding: a crash, a
# sanitizer report, a failed property, a timeout or a leak.  To turn a finding
# into a regression input, copy it to fuzz/corpus/<harness>/ (CTest replays
# the corpora) and add a unit test.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
runs=${FUZZ_RUNS:-}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null

out=build/fuzz
harnesses=${*:-$(cd "$out/fuzz" && ls fuzz_* | sed 's/^fuzz_//')}
mkdir -p "$out/artifacts"
for h in $harnesses; do
  exe=$out/fuzz/fuzz_$h
  [ -x "$exe" ] || { echo "no harness fuzz_$h" >&2; exit 2; }
  case $h in
    # Lengths that reach every row, offset width and list shape while
    # keeping executions fast; the 15- and 16-bit limits are reached through
    # the harnesses' parameters (filler, long spans), not long inputs.
    print) dict=fuzz/dict/image.dict max_len=1024 ;;
    decode|edit) dict=fuzz/dict/image.dict max_len=4096 ;;
    # Text: a few short lines, a value, or a description of a small image.
    mac|target|window) dict=fuzz/dict/frontend.dict max_len=64 ;;
    value|program) dict=fuzz/dict/frontend.dict max_len=512 ;;
    *) dict=fuzz/dict/frontend.dict max_len=2048 ;;
  esac
  mkdir -p "$out/corpus/$h"
  limit=(-max_total_time="$seconds")
  [ -n "$runs" ] && limit=(-runs="$runs")
  log=$out/fuzz_$h.log
  if [ -n "$runs" ]; then what="$runs executions"; else what="${seconds} s"; fi
  echo "fuzz_$h: $what (log $log)"
  if ! "$exe" "${limit[@]}" -dict="$dict" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$out/artifacts/${h}-" \
       "$out/corpus/$h" "fuzz/corpus/$h" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "fuzz_$h: FINDING (input in $out/artifacts/)" >&2
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$log" | sed 's/^/  /' || true
done
