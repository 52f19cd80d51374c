# The shared library's ABI is the list in cmake/exported_symbols.txt: names
# one a line, grouped under "@NODE" lines into symbol version nodes.  From it
# we generate a linker version script that exports exactly those names, each
# under its node (a node inherits the one before it), and makes everything
# else local; the link refuses a listed name that nothing defines.  The
# ExportedSymbols test checks the other direction (a function declared
# IDPROM_API but missing from the list) and each name's node.
#
# The first node follows the SONAME: libidprom.so.0 starts with IDPROM_0.
# A release that adds functions adds a node (IDPROM_0.2 for 0.2) and keeps
# the SONAME; removing or changing one is an incompatible change that bumps
# the SONAME and starts over.  With IDPROM_SHORT_NAMES off the names without
# the idprom_ prefix are left out.
include(CheckLinkerFlag)

# The nodes of the list, in order, and for each NODE the variable
# idprom_abi_NODE with its names.
function(idprom_read_abi list_file nodes_var)
  file(STRINGS ${list_file} lines REGEX "^(@[A-Za-z0-9_.]+|[A-Za-z_][A-Za-z0-9_]*)$")
  set(nodes)
  foreach(line IN LISTS lines)
    if(line MATCHES "^@(.*)")
      set(node ${CMAKE_MATCH_1})
      list(APPEND nodes ${node})
      set(idprom_abi_${node})
    elseif(IDPROM_SHORT_NAMES OR line MATCHES "^idprom_")
      list(APPEND idprom_abi_${node} ${line})
    endif()
  endforeach()
  foreach(node IN LISTS nodes)
    set(idprom_abi_${node} ${idprom_abi_${node}} PARENT_SCOPE)
  endforeach()
  set(${nodes_var} ${nodes} PARENT_SCOPE)
endfunction()

function(idprom_export_only_listed target list_file)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  idprom_read_abi(${list_file} nodes)
  set(content "")
  set(previous "")
  set(all_symbols)
  foreach(node IN LISTS nodes)
    list(JOIN idprom_abi_${node} ";\n    " body)
    list(APPEND all_symbols ${idprom_abi_${node}})
    if(previous STREQUAL "")
      string(APPEND content "${node} {\n  global:\n    ${body};\n  local:\n    *;\n};\n")
    else()
      string(APPEND content "${node} {\n  global:\n    ${body};\n} ${previous};\n")
    endif()
    set(previous ${node})
  endforeach()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  file(CONFIGURE OUTPUT ${script} CONTENT "${content}" @ONLY)

  target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})

  # A name in the script that no object defines: GNU ld and lld fail with
  # --no-undefined-version; elsewhere ask for each name explicitly.
  check_linker_flag(CXX "LINKER:--no-undefined-version" IDPROM_HAVE_NO_UNDEFINED_VERSION)
  if(IDPROM_HAVE_NO_UNDEFINED_VERSION)
    target_link_options(${target} PRIVATE "LINKER:--no-undefined-version")
  else()
    foreach(symbol IN LISTS all_symbols)
      target_link_options(${target} PRIVATE "LINKER:--require-defined=${symbol}")
    endforeach()
  endif()
endfunction()
