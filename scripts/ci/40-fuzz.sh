#!/usr/bin/env bash
# A short fuzzing pass: every harness for 8 seconds (under a minute and a half in all)
# under AddressSanitizer and UndefinedBehaviorSanitizer.  Any crash or failed
# property fails CI.  `make fuzz FUZZ_SECONDS=600` runs them for longer.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/fuzz.sh 8
