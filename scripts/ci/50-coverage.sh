#!/usr/bin/env bash
# Line and branch coverage of src/ by the tests (g++ --coverage), printed
# with gcovr; fails below 95 % line coverage.
set -euo pipefail
cd "$(dirname "$0")/../.."
COVERAGE_MIN=95 scripts/coverage.sh
