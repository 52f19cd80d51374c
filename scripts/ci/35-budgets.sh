#!/usr/bin/env bash
# Bare metal and budgets: the library built freestanding for a Cortex-M4
# (arm-none-eabi, newlib nano, -Os), the flash a field reader and a full
# editing program take from it, with default and small CRC tables, without
# any standard-output code (bench/size_report.sh); and the stack frames of
# the library and of the C++ layer's edits (bench/stack_report.sh).  Each
# fails when a budget is exceeded.  About a minute.
set -euo pipefail
cd "$(dirname "$0")/../.."
bench/size_report.sh
bench/stack_report.sh
