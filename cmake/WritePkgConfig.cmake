# Runs at install time (see Install.cmake): writes idprom.pc for the prefix
# being installed to, so that `cmake --install --prefix DIR` gets a file
# naming DIR, and installs it like any other file (DESTDIR and the install
# manifest included).  The caller sets idprom_pc_template, idprom_pc_work,
# idprom_pc_destination, libdir, includedir, version, description and
# libs_private.
set(prefix "${CMAKE_INSTALL_PREFIX}")
foreach(dir libdir includedir)
  if(NOT IS_ABSOLUTE "${${dir}}")
    set(${dir} "\${prefix}/${${dir}}")
  endif()
endforeach()
configure_file("${idprom_pc_template}" "${idprom_pc_work}/idprom.pc" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${idprom_pc_destination}" TYPE FILE
     FILES "${idprom_pc_work}/idprom.pc")
