#!/usr/bin/env bash
# The library, tests and tools build warning-free with clang++ and pass.
set -euo pipefail
make clang
