# Cross build for a Linux target with Debian's cross compilers
# (g++-<triple>), run under qemu-user:
#   cmake -S . -B build/cross-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/linux-cross.cmake \
#         -DIDPROM_CROSS_TRIPLE=s390x-linux-gnu
# Triples used in CI: i686-linux-gnu (32-bit) and s390x-linux-gnu (big-endian).
# The target's libraries live in /usr/<triple>; test programs run as
#   qemu-<arch>-static -L /usr/<triple> PROGRAM  (CMAKE_CROSSCOMPILING_EMULATOR)
set(CMAKE_SYSTEM_NAME Linux)
if(NOT IDPROM_CROSS_TRIPLE)
  message(FATAL_ERROR "set IDPROM_CROSS_TRIPLE, e.g. -DIDPROM_CROSS_TRIPLE=i686-linux-gnu")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES IDPROM_CROSS_TRIPLE)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${IDPROM_CROSS_TRIPLE})
set(CMAKE_C_COMPILER ${IDPROM_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${IDPROM_CROSS_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${IDPROM_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# qemu-user's name for the architecture.
set(qemu_arch ${CMAKE_SYSTEM_PROCESSOR})
if(qemu_arch MATCHES "^i[3-6]86$")
  set(qemu_arch i386)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${qemu_arch}-static -L /usr/${IDPROM_CROSS_TRIPLE})
