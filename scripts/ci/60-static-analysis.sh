#!/usr/bin/env bash
# clang-tidy (checks chosen in .clang-tidy) and cppcheck, clean on src/.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/static-analysis.sh
