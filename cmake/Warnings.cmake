# Warning set for our own targets only (never pushed onto consumers).
function(idprom_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wshadow
                                           $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast>)
  if(IDPROM_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
