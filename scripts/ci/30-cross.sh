#!/usr/bin/env bash
# The library on a 32-bit and a big-endian target: cross-built with
# Debian's compilers for i686 and s390x (library and the libc-only
# transcript driver, warnings as errors) and run under qemu-user.  The
# transcripts of x86-64, i686, s390x and of the small-CRC build must be
# equal byte for byte: word size and byte order change nothing.  The
# driver also checks the edit contract and the filter record's layout on
# each target.  The small-CRC build also leaves the short names out, and its
# shared library must export exactly the idprom_ names.  About a minute.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build/cross
rm -rf "$out"
mkdir -p "$out"
common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DIDPROM_WERROR=ON -DIDPROM_BUILD_TESTS=OFF
        -DIDPROM_BUILD_TOOLS=OFF -DIDPROM_BUILD_EXAMPLES=OFF -DIDPROM_PYTHON=OFF
        -DIDPROM_INSTALL=OFF -DIDPROM_BUILD_TRANSCRIPT=ON)

build() {  # name, extra cmake arguments...
  local name=$1
  shift
  cmake -S . -B "$out/$name" "${common[@]}" "$@" >"$out/$name.log" ||
    { cat "$out/$name.log" >&2; exit 1; }
  cmake --build "$out/$name" -j2 --target idprom_transcript idprom_static >>"$out/$name.log" ||
    { tail -40 "$out/$name.log" >&2; exit 1; }
}

build host
build host-small-crc -DIDPROM_SMALL_CRC=ON -DIDPROM_SHORT_NAMES=OFF
cmake --build "$out/host-small-crc" --target idprom >>"$out/host-small-crc.log"
tests/check_symbols.sh --no-short-names "$out/host-small-crc/src/libidprom.so" cmake/exported_symbols.txt \
  include/idprom.h "$out/host-small-crc/src/libidprom.a"
for triple in i686-linux-gnu s390x-linux-gnu; do
  build "$triple" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/linux-cross.cmake -DIDPROM_CROSS_TRIPLE="$triple"
done

"$out/host/tests/portable/idprom_transcript" >"$out/host.txt"
echo "x86-64: $(wc -l <"$out/host.txt") lines"
run() {  # name, emulator...
  local name=$1
  shift
  "$@" "$out/$name/tests/portable/idprom_transcript" >"$out/$name.txt"
  if ! cmp -s "$out/host.txt" "$out/$name.txt"; then
    diff "$out/host.txt" "$out/$name.txt" | head -20 >&2
    echo "cross: the $name transcript differs from x86-64's" >&2
    exit 1
  fi
  echo "$name: same transcript"
}
run host-small-crc
run i686-linux-gnu qemu-i386-static -L /usr/i686-linux-gnu
run s390x-linux-gnu qemu-s390x-static -L /usr/s390x-linux-gnu
file "$out/s390x-linux-gnu/tests/portable/idprom_transcript" | grep -q 'MSB' ||
  { echo "cross: the s390x build is not big-endian" >&2; exit 1; }
