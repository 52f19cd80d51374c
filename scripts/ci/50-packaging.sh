#!/usr/bin/env bash
# Install into a temporary prefix and build consumers against it (pkg-config
# shared and static, CMake package), build the Debian packages and, as root,
# install, run and remove them.
set -euo pipefail
tests/consumers/run.sh
