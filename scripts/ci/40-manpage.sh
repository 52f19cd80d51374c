#!/usr/bin/env bash
# The tool's manual page renders without groff warnings, and `man ./idprom.1`
# from the repository root finds it.
set -euo pipefail
for page in tools/idprom/idprom.1 ./idprom.1; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "$page: $warnings" >&2
    exit 1
  fi
done
