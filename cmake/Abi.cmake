# The shared library's ABI is the list in cmake/exported_symbols.txt, one
# name a line.  From it we generate a linker version script that exports
# exactly those names under the version node IDPROM_0 and makes everything
# else local, and the link refuses a listed name that nothing defines.  The
# ExportedSymbols test checks the other direction (a function declared
# IDPROM_API but missing from the list).
#
# The node name follows the SONAME: libidprom.so.0 exports IDPROM_0.  Adding
# a function keeps both; removing or changing one is an incompatible change
# that bumps the SONAME and starts a new node.
include(CheckLinkerFlag)

function(idprom_export_only_listed target list_file)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  file(STRINGS ${list_file} symbols REGEX "^[A-Za-z_][A-Za-z0-9_]*$")
  get_target_property(soversion ${target} SOVERSION)
  set(node "IDPROM_${soversion}")
  list(JOIN symbols ";\n    " body)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  file(CONFIGURE OUTPUT ${script} CONTENT "${node} {\n  global:\n    ${body};\n  local:\n    *;\n};\n" @ONLY)

  target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})

  # A name in the script that no object defines: GNU ld and lld fail with
  # --no-undefined-version; elsewhere ask for each name explicitly.
  check_linker_flag(CXX "LINKER:--no-undefined-version" IDPROM_HAVE_NO_UNDEFINED_VERSION)
  if(IDPROM_HAVE_NO_UNDEFINED_VERSION)
    target_link_options(${target} PRIVATE "LINKER:--no-undefined-version")
  else()
    foreach(symbol IN LISTS symbols)
      target_link_options(${target} PRIVATE "LINKER:--require-defined=${symbol}")
    endforeach()
  endif()
endfunction()
