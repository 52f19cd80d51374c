# Debian packages from the install components: `cpack -G DEB` in a build
# folder configured with -DCMAKE_INSTALL_PREFIX=/usr.  Split the way Debian
# splits a library, because each part has a different audience and life:
#   libidprom0     what programs load; named after the SONAME so that a
#                  later libidprom1 can be installed beside it while old
#                  programs keep running
#   libidprom-dev  what building against the library needs (one version at
#                  a time); depends on the exact libidprom0
#   idprom         the tool; depends on libidprom0 unless it is one static
#                  program (IDPROM_STATIC_TOOL), which carries the library
#   python3-idprom the Python package (import idprom); depends on
#                  libidprom0 and the Python it was built for
set(CPACK_PACKAGE_NAME idprom)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Empty: each package's synopsis is the first line of its own description.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGE_CONTACT "idprom maintainers <idprom@example.org>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/debian/compress-man-pages.cmake)

set(runtime ${IDPROM_RUNTIME_COMPONENT})
string(TOUPPER ${runtime} RUNTIME)
set(CPACK_COMPONENTS_ALL ${runtime} libidprom-dev)
if(TARGET idprom_tool)
  list(APPEND CPACK_COMPONENTS_ALL idprom)
endif()
if(TARGET idprom_python)
  list(APPEND CPACK_COMPONENTS_ALL python3-idprom)
endif()

set(CPACK_DEBIAN_${RUNTIME}_PACKAGE_NAME ${runtime})
set(CPACK_DEBIAN_${RUNTIME}_PACKAGE_SECTION libs)
# dpkg runs ldconfig once after all packages of a run are unpacked.
set(CPACK_DEBIAN_${RUNTIME}_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
string(CONCAT CPACK_DEBIAN_${RUNTIME}_DESCRIPTION
    "IDPROM image library (run time)\n"
    "Reads, edits and lists IDPROM images: the identification records (part\n"
    "numbers, serial numbers, MAC address blocks) boards keep in an EEPROM.")

set(CPACK_DEBIAN_LIBIDPROM-DEV_PACKAGE_NAME libidprom-dev)
set(CPACK_DEBIAN_LIBIDPROM-DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_LIBIDPROM-DEV_DEPENDS ${runtime})
string(CONCAT CPACK_DEBIAN_LIBIDPROM-DEV_DESCRIPTION
    "IDPROM image library (development files)\n"
    "The C header idprom.h, the C++ header idprom.hpp, the static library,\n"
    "a pkg-config file and a CMake package (idprom::idprom, idprom::static).")

set(CPACK_DEBIAN_IDPROM_PACKAGE_NAME idprom)
set(CPACK_DEBIAN_IDPROM_PACKAGE_SECTION utils)
if(TARGET idprom_tool AND NOT idprom_tool_static)
  set(CPACK_COMPONENT_IDPROM_DEPENDS ${runtime})
endif()
string(CONCAT CPACK_DEBIAN_IDPROM_DESCRIPTION
    "inspect, edit and write back IDPROM images\n"
    "Shows, checks, edits and builds the identification records that boards\n"
    "keep in an EEPROM, writing back only the bytes an edit changed.")

# The extension module is built for one Python minor version (its file
# name carries the ABI tag), so the package depends on that version.
set(CPACK_DEBIAN_PYTHON3-IDPROM_PACKAGE_NAME python3-idprom)
set(CPACK_DEBIAN_PYTHON3-IDPROM_PACKAGE_SECTION python)
set(CPACK_COMPONENT_PYTHON3-IDPROM_DEPENDS ${runtime})
if(TARGET idprom_python)
  string(REPLACE "." ";" python_version ${IDPROM_PYTHON_VERSION})
  list(GET python_version 0 python_major)
  list(GET python_version 1 python_minor)
  math(EXPR next_minor "${python_minor} + 1")
  set(CPACK_DEBIAN_PYTHON3-IDPROM_PACKAGE_DEPENDS
      "python3 (>= ${IDPROM_PYTHON_VERSION}), python3 (<< ${python_major}.${next_minor})")
endif()
string(CONCAT CPACK_DEBIAN_PYTHON3-IDPROM_DESCRIPTION
    "IDPROM images from Python\n"
    "import idprom: read, edit, list and write back IDPROM images with the\n"
    "type names, value texts and safe write-back of the idprom tool.")

# Package relations: the -dev and tool packages on the exact libidprom0
# (from the component dependencies above); every package on what its ELF
# files load (dpkg-shlibdeps, which finds libidprom.so.0 in the build tree);
# and a shlibs file in libidprom0 so that packages built against it depend
# on libidprom0 of at least this version.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

include(CPack)
