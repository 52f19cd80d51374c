# Fuzzing.  With IDPROM_FUZZ (clang only) every target is built with the
# fuzzer's coverage instrumentation and AddressSanitizer and
# UndefinedBehaviorSanitizer, and the harnesses in fuzz/ link libFuzzer.
# Without it the harnesses link a small replay main instead, so that any
# compiler builds them and CTest replays their corpora.
option(IDPROM_FUZZ "Build the libFuzzer harnesses (clang only)" OFF)

if(IDPROM_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "IDPROM_FUZZ needs clang++ (libFuzzer); use the 'fuzz' preset")
  endif()
  # The sanitizer runtimes do not link into the shared library or the
  # programs built on it: a fuzzing build is the harnesses and the static
  # library only, whatever else was asked for (the 'fuzz' preset says so too).
  foreach(part IN ITEMS IDPROM_BUILD_TESTS IDPROM_BUILD_EXAMPLES IDPROM_BUILD_TOOLS IDPROM_INSTALL
                        IDPROM_BUILD_BENCH)
    if(${part})
      message(STATUS "IDPROM_FUZZ: ${part} turned off (fuzzing builds the harnesses only)")
      set(${part} OFF)
    endif()
  endforeach()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
