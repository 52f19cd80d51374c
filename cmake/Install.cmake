# Installation (`cmake --install`) and, through cmake/Package.cmake, the
# Debian packages.  Three components, named like the packages they become:
#   libidprom0     libidprom.so.0 and the file it points to (run time);
#                  named after the SONAME, like the package
#   libidprom-dev  idprom.h, idprom.hpp, the libidprom.so link, libidprom.a,
#                  idprom.pc and the CMake package (building against it)
#   idprom         the command-line tool and its manual page
#   python3-idprom the Python package, into site-packages under the prefix
#                  (install rules in python/CMakeLists.txt)
# `cmake --install BUILD --prefix DIR` installs them all.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(IDPROM_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/idprom" CACHE STRING
    "Folder of the installed CMake package, under the prefix")
set(IDPROM_INSTALL_PKGCONFIGDIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig" CACHE STRING
    "Folder of the installed idprom.pc, under the prefix")

# The CMake package's compatibility rule is the SONAME's: any version with
# the same major number (the SONAME's) satisfies a request.
get_target_property(IDPROM_SOVERSION idprom SOVERSION)
if(NOT IDPROM_SOVERSION STREQUAL PROJECT_VERSION_MAJOR)
  message(FATAL_ERROR "SOVERSION ${IDPROM_SOVERSION} must be the major version "
                      "${PROJECT_VERSION_MAJOR}: the CMake package's version file relies on it")
endif()
set(IDPROM_RUNTIME_COMPONENT libidprom${IDPROM_SOVERSION})

# ---- libraries and headers --------------------------------------------------

set_target_properties(idprom_static PROPERTIES EXPORT_NAME static)
install(TARGETS idprom idprom_static EXPORT idpromTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT ${IDPROM_RUNTIME_COMPONENT} NAMELINK_COMPONENT libidprom-dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libidprom-dev)

foreach(header idprom.h idprom.hpp)
  if(EXISTS ${PROJECT_SOURCE_DIR}/include/${header})
    install(FILES ${PROJECT_SOURCE_DIR}/include/${header}
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT libidprom-dev)
  endif()
endforeach()

# ---- CMake package: idprom::idprom (shared) and idprom::static --------------

install(EXPORT idpromTargets NAMESPACE idprom:: FILE idpromTargets.cmake
        DESTINATION ${IDPROM_INSTALL_CMAKEDIR} COMPONENT libidprom-dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/idpromConfig.cmake.in
  ${PROJECT_BINARY_DIR}/idpromConfig.cmake INSTALL_DESTINATION ${IDPROM_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/idpromConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/idpromConfig.cmake ${PROJECT_BINARY_DIR}/idpromConfigVersion.cmake
        DESTINATION ${IDPROM_INSTALL_CMAKEDIR} COMPONENT libidprom-dev)

# ---- pkg-config --------------------------------------------------------------

# Written at install time, for the prefix actually installed to.  The
# library needs nothing but the C library, so a static link needs no more.
set(IDPROM_PC_LIBS_PRIVATE "")
install(CODE "
  set(idprom_pc_template \"${CMAKE_CURRENT_LIST_DIR}/idprom.pc.in\")
  set(idprom_pc_work \"${PROJECT_BINARY_DIR}\")
  set(idprom_pc_destination \"${IDPROM_INSTALL_PKGCONFIGDIR}\")
  set(libdir \"${CMAKE_INSTALL_LIBDIR}\")
  set(includedir \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(version \"${PROJECT_VERSION}\")
  set(description \"${PROJECT_DESCRIPTION}\")
  set(libs_private \"${IDPROM_PC_LIBS_PRIVATE}\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/WritePkgConfig.cmake\")
" COMPONENT libidprom-dev)

# ---- the command-line tool and its manual page ------------------------------

if(TARGET idprom_tool)
  # Outside the system's library folders the tool finds libidprom.so.0
  # relative to its own folder, so that an installed tree works under any
  # prefix without ldconfig or LD_LIBRARY_PATH and can be moved whole.  A
  # system prefix (/usr, the packages) needs no search path and gets none,
  # and neither does a static tool, which loads nothing.
  get_target_property(idprom_tool_static idprom_tool IDPROM_STATIC_LINK)
  if(NOT idprom_tool_static AND NOT CMAKE_INSTALL_FULL_LIBDIR IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)
    file(RELATIVE_PATH bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
    set_target_properties(idprom_tool PROPERTIES INSTALL_RPATH "$ORIGIN/${bin_to_lib}")
  endif()
  install(TARGETS idprom_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT idprom)
  # The bash completion script, as the tool itself prints it, where
  # bash-completion loads it on demand (completions/<command>).
  set(idprom_bash_completion ${PROJECT_BINARY_DIR}/completion/idprom)
  add_custom_command(OUTPUT ${idprom_bash_completion}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/completion
    COMMAND idprom_tool completion bash > ${idprom_bash_completion}
    DEPENDS idprom_tool VERBATIM)
  add_custom_target(idprom_bash_completion ALL DEPENDS ${idprom_bash_completion})
  install(FILES ${idprom_bash_completion}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT idprom)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/tools/idprom/idprom.1)
  install(FILES ${PROJECT_SOURCE_DIR}/tools/idprom/idprom.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT idprom)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
