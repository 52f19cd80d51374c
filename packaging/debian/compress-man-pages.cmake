# CPack pre-build script: Debian ships manual pages gzip-compressed (-n:
# no name or time stamp, so the package is reproducible).  Runs on the
# staging tree after the components are installed into it.
file(GLOB_RECURSE files "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.[1-9]")
list(FILTER files INCLUDE REGEX "/share/man/man[1-9]/[^/]+\\.[1-9]$")
foreach(page IN LISTS files)
  execute_process(COMMAND gzip -9nf "${page}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
