# Bare-metal build for a Cortex-M4 with Debian's gcc-arm-none-eabi and
# newlib's nano C library (libnewlib-arm-none-eabi):
#   cmake -S . -B build/cortex-m4 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/arm-none-eabi.cmake \
#         -DCMAKE_BUILD_TYPE=MinSizeRel -DIDPROM_STDOUT=OFF
# The library is compiled freestanding: no exceptions, no RTTI, one section
# per function so that a program links only what it calls.  Only the static
# library is built (there is no dynamic linking here); tests, tool and
# Python are off.  Other Cortex-M parts: change the -mcpu/-mfpu flags.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
# No program links without a board's startup code: test the compilers by
# building a static library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(IDPROM_CPU_FLAGS "-mcpu=cortex-m4 -mthumb -mfloat-abi=hard -mfpu=fpv4-sp-d16")
set(CMAKE_C_FLAGS_INIT "${IDPROM_CPU_FLAGS} -ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT
    "${IDPROM_CPU_FLAGS} -ffunction-sections -fdata-sections -ffreestanding -fno-exceptions -fno-rtti")
set(CMAKE_EXE_LINKER_FLAGS_INIT "--specs=nano.specs --specs=nosys.specs -Wl,--gc-sections")

set(IDPROM_BUILD_TESTS OFF CACHE BOOL "")
set(IDPROM_BUILD_TOOLS OFF CACHE BOOL "")
set(IDPROM_BUILD_EXAMPLES OFF CACHE BOOL "")
set(IDPROM_PYTHON OFF CACHE BOOL "")
set(IDPROM_INSTALL OFF CACHE BOOL "")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
