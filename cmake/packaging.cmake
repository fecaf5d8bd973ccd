# Installation and the Debian package: the programs, a manual page each, and
# the README, copyright file and changelog. Included from the top CMakeLists
# after TOOL_NAMES, so every program in that list is installed and packaged.

set(package_name tovrane-text-tools)
set(package_vendor "Tovrane Software (Pty) Ltd")
set(package_contact "${package_vendor} <support@tovrane.com>")
set(package_homepage "http://www.tovrane.com/quenby.html")

# The documentation folder carries the package's name, as Debian expects.
set(CMAKE_INSTALL_DOCDIR "share/doc/${package_name}"
    CACHE PATH "Documentation root (share/doc/${package_name})")
include(GNUInstallDirs)

install(TARGETS ${TOOL_NAMES} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install also drops the compiler's .comment note: nothing reads it,
# and Debian strips it from every program it ships.
set(installed_programs ${TOOL_NAMES})
list(TRANSFORM installed_programs PREPEND "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/")
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP AND NOT \"${CMAKE_STRIP}\" STREQUAL \"\")
    foreach(program IN ITEMS ${installed_programs})
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment \"\${program}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

# Manual pages and the changelog are installed compressed, the way Debian
# keeps them; -n keeps the build time out of them, so packages are
# reproducible.
set(compressed_files)
macro(compress source compressed)
  get_filename_component(folder ${compressed} DIRECTORY)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND gzip -9 -n -c ${source} > ${compressed}
    DEPENDS ${source}
    COMMENT "Compressing ${source}"
    VERBATIM)
  list(APPEND compressed_files ${compressed})
endmacro()

set(compressed_pages)
foreach(tool IN LISTS TOOL_NAMES)
  compress(${CMAKE_CURRENT_SOURCE_DIR}/man/${tool}.1 ${CMAKE_CURRENT_BINARY_DIR}/man/${tool}.1.gz)
  list(APPEND compressed_pages ${CMAKE_CURRENT_BINARY_DIR}/man/${tool}.1.gz)
endforeach()
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The copyright file in the machine-readable form Debian reads, made from
# LICENSE so that the two never drift apart: its copyright line goes to the
# Copyright field, the text after it is the licence.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE license_text)
if(NOT license_text MATCHES "\nCopyright \\(c\\) ([^\n]+)\n(.+)$")
  message(FATAL_ERROR "LICENSE has no copyright line followed by the licence text")
endif()
set(copyright_holder ${CMAKE_MATCH_1})
string(STRIP "${CMAKE_MATCH_2}" license_text)
# One space before each line; a blank line becomes " ." (twice, for runs of
# blank lines).
string(REPLACE "\n" "\n " license_text " ${license_text}")
string(REPLACE "\n \n" "\n .\n" license_text "${license_text}")
string(REPLACE "\n \n" "\n .\n" license_text "${license_text}")
configure_file(cmake/debian/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/copyright @ONLY)

compress(${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/changelog ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz)
add_custom_target(compressed_files ALL DEPENDS ${compressed_files})
install(FILES README.md ${CMAKE_CURRENT_BINARY_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The lintian overrides mean something only in the package, so they go into
# it alone (see CPACK_INSTALL_CMAKE_PROJECTS below).
install(FILES cmake/debian/lintian-overrides DESTINATION share/lintian/overrides
        RENAME ${package_name} COMPONENT debian_package EXCLUDE_FROM_ALL)

# The Debian package: cpack -G DEB in a build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${package_name})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${package_vendor})
set(CPACK_PACKAGE_CONTACT ${package_contact})
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
# Everything a plain install puts in place, and the package's own files.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_CURRENT_BINARY_DIR};${PROJECT_NAME};ALL;/"
    "${CMAKE_CURRENT_BINARY_DIR};${PROJECT_NAME};debian_package;/")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/cpack_project.cmake)
set(CPACK_PROJECT_SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${package_homepage})
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
