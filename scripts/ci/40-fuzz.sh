#!/usr/bin/env bash
# A short fuzzing pass: every harness for 12 seconds (two minutes in all)
# under AddressSanitizer and UndefinedBehaviorSanitizer.  Any crash or failed
# property fails CI.  `make fuzz FUZZ_SECONDS=600` runs them for longer.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/fuzz.sh 12
