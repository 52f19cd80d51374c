#!/usr/bin/env bash
# Every unit test under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
make asan
