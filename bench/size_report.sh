#!/usr/bin/env bash
# Flash budgets on a Cortex-M4 (cmake/toolchains/arm-none-eabi.cmake, newlib
# nano, -Os, a library without standard output): builds the library in the
# default and the small-CRC configuration, links three programs from
# bench/size/ against each, and reports what the library brings into a
# program: its flash (text + data) less that of an empty program.
#   reader   reads one field                       at most  1 KiB
#   editor   edits, deletes, lists into a buffer,  at most 16 KiB (default)
#            converts MACs, both checksums                 12 KiB (small CRC)
# and neither links standard-output code (printf, vprintf, fwrite, puts,
# streams).  Exits 1 when a budget is exceeded.
#   bench/size_report.sh [BUILD_FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/size}
cpu=(-mcpu=cortex-m4 -mthumb -mfloat-abi=hard -mfpu=fpv4-sp-d16)
link=(--specs=nano.specs --specs=nosys.specs -Wl,--gc-sections)
forbidden='^(printf|vprintf|fprintf|vfprintf|_vfprintf_r|fwrite|_fwrite_r|puts|fputs|putchar|__swsetup_r|_fflush_r)$|basic_ostream'
status=0
mkdir -p "$out"

flash() { arm-none-eabi-size "$1" | awk 'NR == 2 {print $1 + $2}'; }

printf '%-10s %-8s %8s %8s\n' build program bytes budget
for config in default small-crc; do
  dir=$out/$config
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/arm-none-eabi.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel -DIDPROM_WERROR=ON -DIDPROM_STDOUT=OFF -DIDPROM_SHORT_NAMES=OFF \
        -DIDPROM_SMALL_CRC=$([ $config = small-crc ] && echo ON || echo OFF) >"$dir.log" 2>&1 ||
    { cat "$dir.log" >&2; exit 1; }
  cmake --build "$dir" -j2 >>"$dir.log" 2>&1 || { tail -40 "$dir.log" >&2; exit 1; }
  for program in empty reader editor; do
    arm-none-eabi-gcc "${cpu[@]}" -Os -ffunction-sections -fdata-sections -std=c11 -Wall -Wextra -Werror \
      -DIDPROM_NO_SHORT_NAMES -I"$root/include" "$root/bench/size/$program.c" "$dir/src/libidprom.a" \
      "${link[@]}" -o "$dir/$program.elf"
  done
  base=$(flash "$dir/empty.elf")
  for program in reader editor; do
    bytes=$(($(flash "$dir/$program.elf") - base))
    budget=$([ $program = reader ] && echo 1024 || { [ $config = small-crc ] && echo 12288 || echo 16384; })
    printf '%-10s %-8s %8d %8d\n' "$config" "$program" "$bytes" "$budget"
    if [ "$bytes" -gt "$budget" ]; then
      echo "size: $program ($config) takes $bytes bytes, over its budget of $budget" >&2
      status=1
    fi
    if linked=$(arm-none-eabi-nm "$dir/$program.elf" | awk '{print $NF}' | grep -E "$forbidden"); then
      echo "size: $program ($config) links standard-output code: $(echo $linked)" >&2
      status=1
    fi
  done
done
exit "$status"
