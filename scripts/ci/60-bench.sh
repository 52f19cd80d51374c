#!/usr/bin/env bash
# The benchmarks build (Release, -O2, warnings as errors) and every one of
# them runs once, briefly.  Timings on a CI machine are not checked: the
# ratio table comes from `make bench` on a quiet machine.
set -euo pipefail
scripts/deps.sh bench
cmake --preset bench
cmake --build --preset bench
./build/bench/bench/idprom_bench --benchmark_min_time=0.01
