# Installation and the Debian package: the programs, a manual page each, and
# the README and licence. Included from the top CMakeLists after TOOL_NAMES,
# so every program in that list is installed and packaged.

set(package_name tovrane-text-tools)

# The documentation folder carries the package's name, as Debian expects.
set(CMAKE_INSTALL_DOCDIR "share/doc/${package_name}"
    CACHE PATH "Documentation root (share/doc/${package_name})")
include(GNUInstallDirs)

install(TARGETS ${TOOL_NAMES} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages are installed compressed, the way man finds them on Debian;
# -n keeps the archive free of the build time, so packages are reproducible.
set(compressed_pages)
foreach(tool IN LISTS TOOL_NAMES)
  set(page ${CMAKE_CURRENT_SOURCE_DIR}/man/${tool}.1)
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${tool}.1.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMAND gzip -9 -n -c ${page} > ${compressed}
    DEPENDS ${page}
    COMMENT "Compressing the manual page of ${tool}"
    VERBATIM)
  list(APPEND compressed_pages ${compressed})
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package: cpack -G DEB in a build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${package_name})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tovrane Software (Pty) Ltd")
set(CPACK_PACKAGE_CONTACT "Tovrane Software (Pty) Ltd <support@tovrane.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small text tools for shells and pipelines")
set(CPACK_PACKAGE_DESCRIPTION
    "Four command-line utilities that share one frame: quorva joins every N\n"
    "lines into one, pelku leaves out blank lines, tazmir writes pseudo-random\n"
    "integers from a range, and zelk turns backslashes into forward slashes.\n"
    "Each is exact to the byte and reports every failure with a non-zero exit\n"
    "status.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.tovrane.com/quenby.html")
# The programs need only the C library; let dpkg-shlibdeps state which
# version, and name it plainly where that tool is missing. It knows only this
# machine's libraries, so a cross build names it plainly too, and takes its
# architecture from the toolchain file rather than from this machine.
find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
if(DPKG_SHLIBDEPS_PROGRAM AND NOT CMAKE_CROSSCOMPILING)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6")
endif()

include(CPack)
