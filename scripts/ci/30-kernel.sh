#!/usr/bin/env bash
# The tool against the kernel's own drivers under QEMU (make test-kernel):
# i2c-stub parts over i2c-dev, at24's sysfs eeprom and nvmem files.
set -euo pipefail
make test-kernel
