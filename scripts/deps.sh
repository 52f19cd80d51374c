#!/bin/sh
# Installs the Debian packages a build needs, when they are missing.
#   scripts/deps.sh build   compiler, CMake, Ninja, GoogleTest, CLI11, nlohmann-json, libgpiod, RE2,
#                           pybind11 and Python's headers, pytest, Hypothesis, setuptools and wheel
#   scripts/deps.sh bench   the build set plus Google Benchmark, Boost, valgrind, and hexdump
#                           and xxd (the dump's peers)
#   scripts/deps.sh kernel  the build set plus Debian's kernel, QEMU, static busybox and cpio
#                           (the kernel test)
#   scripts/deps.sh ci      all of the above plus what CI's extra checks use
set -eu
build="cmake ninja-build g++ libgtest-dev libgmock-dev libcli11-dev nlohmann-json3-dev pkg-config
  libgpiod-dev libre2-dev pybind11-dev python3-dev python3-pytest python3-hypothesis python3-setuptools python3-wheel"
kernel="$build linux-image-amd64 qemu-system-x86 busybox-static cpio xz-utils"
ci="$kernel clang libclang-rt-14-dev gcovr valgrind cppcheck clang-tidy libbenchmark-dev libboost-dev dpkg-dev file man-db
  g++-i686-linux-gnu g++-s390x-linux-gnu qemu-user-static gcc-arm-none-eabi libnewlib-arm-none-eabi
  libstdc++-arm-none-eabi-newlib"
bench="$build libbenchmark-dev libboost-dev valgrind python3 bsdextrautils xxd"
case "${1:-build}" in
  build) want=$build ;;
  bench) want=$bench ;;
  kernel) want=$kernel ;;
  ci) want=$ci ;;
  *) echo "usage: $0 [build|bench|kernel|ci]" >&2; exit 2 ;;
esac

missing=""
for p in $want; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "installing missing packages:$missing" >&2
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >&2
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing >&2
