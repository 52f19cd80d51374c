#!/usr/bin/env bash
# Embedding: the library-only build needs none of the tests', tool's or
# Python's packages; add_subdirectory leaves the parent's build type alone;
# a C program links libidprom.a with the C compiler (tests/consumers/embed.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
tests/consumers/embed.sh
