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
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
