# Installation and the Debian package, included from the top CMakeLists.txt.
# `cmake --install` puts the command in bin/, its manual page in
# share/man/man1/, and the license and changelog in share/doc/floatdump/
# (the component "command"); and the library with its headers, its CMake
# package and floatdump.pc (the component "library"). `cpack` (in the build
# directory) makes floatdump_<version>_<arch>.deb of the command alone.
# A Windows build makes floatdump-<version>-win64.zip instead, one folder for
# a Windows user: floatdump.exe, the manual as a web page (mandoc renders
# doc/floatdump.1 while building), README-windows.txt, an example result
# file, the changelog and the license; the texts with CR LF line ends, as
# Windows' own tools write them.
if(WIN32)
  find_program(FLOATDUMP_MANDOC mandoc REQUIRED)
  mark_as_advanced(FLOATDUMP_MANDOC)
  add_custom_command(OUTPUT floatdump.html
    COMMAND ${FLOATDUMP_MANDOC} -T html ${PROJECT_SOURCE_DIR}/doc/floatdump.1 > floatdump.html
    DEPENDS doc/floatdump.1 VERBATIM)
  add_custom_target(manual_html ALL DEPENDS floatdump.html)
  configure_file(doc/README-windows.txt.in README-windows.txt @ONLY NEWLINE_STYLE CRLF)
  foreach(text LICENSE doc/changelog)
    get_filename_component(name ${text} NAME)
    file(READ ${text} content)
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${PROJECT_BINARY_DIR}/${name}.txt "${content}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${text})
  endforeach()
  install(TARGETS floatdump RUNTIME DESTINATION . COMPONENT command)
  install(FILES ${PROJECT_BINARY_DIR}/floatdump.html ${PROJECT_BINARY_DIR}/README-windows.txt
                ${PROJECT_BINARY_DIR}/LICENSE.txt ${PROJECT_BINARY_DIR}/changelog.txt DESTINATION . COMPONENT command)
  install(FILES examples/result.txt DESTINATION examples COMPONENT command)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};floatdump;command;/")
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME floatdump-${PROJECT_VERSION}-win64)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

include(GNUInstallDirs)
install(TARGETS floatdump RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT command)
install(FILES doc/floatdump.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT command)

# The library for programs: find_package(floatdump 1.0 CONFIG) gives
# floatdump::floatdump, and pkg-config finds floatdump.pc; both find the
# tree wherever it was installed.
install(TARGETS floatdump_library EXPORT floatdump_targets COMPONENT library
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT library)
install(DIRECTORY include/floatdump DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT library)
set(cmake_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/floatdump)
install(EXPORT floatdump_targets NAMESPACE floatdump:: FILE floatdumpTargets.cmake DESTINATION ${cmake_package_dir}
        COMPONENT library)
include(CMakePackageConfigHelpers)
configure_package_config_file(cmake/floatdumpConfig.cmake.in ${PROJECT_BINARY_DIR}/floatdumpConfig.cmake
                              INSTALL_DESTINATION ${cmake_package_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/floatdumpConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/floatdumpConfig.cmake ${PROJECT_BINARY_DIR}/floatdumpConfigVersion.cmake
        DESTINATION ${cmake_package_dir} COMPONENT library)
# floatdump.pc names the prefix relative to its own place, so that it holds wherever the tree is installed.
file(RELATIVE_PATH FLOATDUMP_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" FLOATDUMP_PC_PREFIX "${FLOATDUMP_PC_PREFIX}")
set(FLOATDUMP_PC_CFLAGS "")
if(BUILD_SHARED_LIBS)
  set(FLOATDUMP_PC_CFLAGS " -DFLOATDUMP_SHARED")
endif()
configure_file(cmake/floatdump.pc.in ${PROJECT_BINARY_DIR}/floatdump.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/floatdump.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT library)

# The license as Debian's machine-readable copyright file: LICENSE's
# copyright line, and its permission text with each line indented and blank
# lines as " .". Debian calls the MIT license Expat.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" holders "${license}")
set(holders ${CMAKE_MATCH_1})
string(FIND "${license}" "Permission is hereby granted" start)
string(SUBSTRING "${license}" ${start} -1 license)
string(STRIP "${license}" license)
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " license "${license}")
file(WRITE ${PROJECT_BINARY_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: floatdump

Files: *
Copyright: ${holders}
License: Expat
 ${license}
")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
# doc/changelog is in Debian's format, which the package needs.
install(FILES ${PROJECT_BINARY_DIR}/copyright doc/changelog DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT command)

# The package holds the command; the library is for `cmake --install` (a
# Debian library would be a package of its own, as Debian's policy has it).
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};floatdump;command;/")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME floatdump)
set(CPACK_PACKAGE_VENDOR "floatdump maintainers")
set(CPACK_PACKAGE_CONTACT "floatdump maintainers <maintainers@users.noreply.c-seed-2d089042.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "floatdump rewrites the raw integer and floating-point dumps that a test
harness writes into its result file as readable, byte-exact text, learning
the target's byte order from calibration lines.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# Depends: computed from the binary by dpkg-shlibdeps (dpkg-dev) where it is
# installed, so that a sanitizer build also names its run-time libraries;
# otherwise the libraries every g++ build of the command links to.
find_program(FLOATDUMP_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(FLOATDUMP_DPKG_SHLIBDEPS)
if(FLOATDUMP_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
# Debian keeps manual pages and changelogs gzipped. That is done in the
# package's staging tree only, so `cmake --install` installs them plain;
# CPack runs pre-build scripts from CMake 3.19 on.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/gzip-for-debian.cmake)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/;/build[^/]*/")
include(CPack)
