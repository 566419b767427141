# CPack pre-build script: gzips the manual pages and the changelog in the
# package's staging tree, as Debian keeps them.
file(GLOB_RECURSE files "${CPACK_TEMPORARY_DIRECTORY}/*")
list(FILTER files INCLUDE REGEX "/man/man[1-9]/[^/]+\\.[1-9]$|/doc/[^/]+/changelog$")
if(files)
  execute_process(COMMAND gzip -9nf ${files} COMMAND_ERROR_IS_FATAL ANY)
endif()
