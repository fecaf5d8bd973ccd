# Installation, the Debian package, the release archive, and the source
# tarball with the RPMs built from it: the programs, a manual page each, and
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

# install_programs(<component> [EXCLUDE_FROM_ALL] <target>...) installs the
# programs as that component. A stripped install also drops the compiler's
# .comment note: nothing reads it, and Debian strips it from every program it
# ships.
function(install_programs component)
  cmake_parse_arguments(PARSE_ARGV 1 arg EXCLUDE_FROM_ALL "" "")
  set(only_named)
  if(arg_EXCLUDE_FROM_ALL)
    set(only_named EXCLUDE_FROM_ALL)
  endif()
  install(TARGETS ${arg_UNPARSED_ARGUMENTS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT ${component} ${only_named})
  set(installed_programs ${TOOL_NAMES})
  list(TRANSFORM installed_programs PREPEND "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/")
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP AND NOT \"${CMAKE_STRIP}\" STREQUAL \"\")
      foreach(program IN ITEMS ${installed_programs})
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment \"\${program}\"
                        COMMAND_ERROR_IS_FATAL ANY)
      endforeach()
    endif()" COMPONENT ${component} ${only_named})
endfunction()
install_programs(programs ${TOOL_NAMES})

# A distribution package leaves the C library to the distribution, so a
# static build links each program a second time, the ordinary way, for the
# Debian package and the RPM; a plain install and the archive take the
# static ones.
if(STATIC_LINK)
  set(dynamic_programs)
  foreach(tool IN LISTS TOOL_NAMES)
    add_executable(${tool}_dynamic tools/${tool}/${tool}.cpp)
    target_link_libraries(${tool}_dynamic PRIVATE frame)
    set_target_properties(${tool}_dynamic PROPERTIES
      OUTPUT_NAME ${tool} RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/dynamic)
    list(APPEND dynamic_programs ${tool}_dynamic)
  endforeach()
  # Only the distribution packages take them (see cpack_project.cmake).
  install_programs(dynamic_programs EXCLUDE_FROM_ALL ${dynamic_programs})
endif()

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
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT documentation)

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
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT documentation)

# The RPM's changelog, made from the Debian one: each entry's trailer line
# gives the date and author of rpm's heading, and each "  * item" becomes
# "- item".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/debian/changelog)
file(STRINGS cmake/debian/changelog debian_changelog)
set(rpm_changelog "")
foreach(line IN LISTS debian_changelog)
  if(line MATCHES "^[^ ]+ \\(([^)]+)\\)")
    set(entry_version ${CMAKE_MATCH_1})
    set(entry_items "")
  elseif(line MATCHES "^  \\* (.*)$")
    string(APPEND entry_items "- ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^    (.*)$")
    string(APPEND entry_items "  ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^ -- (.+)  ([A-Z][a-z][a-z]), ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9]+) ")
    string(APPEND rpm_changelog
      "* ${CMAKE_MATCH_2} ${CMAKE_MATCH_4} ${CMAKE_MATCH_3} ${CMAKE_MATCH_5} ${CMAKE_MATCH_1}"
      " - ${entry_version}-1\n${entry_items}\n")
  endif()
endforeach()
if(rpm_changelog STREQUAL "")
  message(FATAL_ERROR "cmake/debian/changelog has no entry in the form rpm's changelog is made from")
endif()
string(STRIP "${rpm_changelog}" rpm_changelog)

# The lintian overrides mean something only in the package, so they go into
# it alone (see CPACK_INSTALL_CMAKE_PROJECTS below).
install(FILES cmake/debian/lintian-overrides DESTINATION share/lintian/overrides
        RENAME ${package_name} COMPONENT debian_package EXCLUDE_FROM_ALL)

# The Debian package (cpack -G DEB in a build folder) and the release archive
# (-G TGZ).
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
# What each kind of package carries is chosen in cpack_project.cmake.
set(CPACK_BUILD_PROJECT "${CMAKE_CURRENT_BINARY_DIR};${PROJECT_NAME}")
set(CPACK_STATIC_LINK ${STATIC_LINK})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/cpack_project.cmake)
set(CPACK_PROJECT_SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/cpack_pre_build.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/cpack_post_build.cmake)
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

# The release archive: one folder named after it holding bin/, share/man/
# and share/doc/, so that tar --strip-components=1 unpacks it into a prefix.
set(CPACK_PACKAGE_FILE_NAME ${package_name}-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})

include(CPack)

# The source tarball, <name>-<version>.tar.gz: the source of the release in
# one folder of that name, with rpm's build recipe for it, so that
# rpmbuild -ta builds the source and binary RPMs from it. The source_release
# target puts it in RELEASE_PACKAGE_DIR, and the RPMs too where the build is
# for this machine. Everything the RPM states is taken from here: the
# version, the package's text, the programs and the changelog.
if(RELEASE_PACKAGE_DIR)
  # rpm wants the summary capitalised.
  string(SUBSTRING "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}" 0 1 first)
  string(SUBSTRING "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}" 1 -1 rest)
  string(TOUPPER "${first}" first)
  set(rpm_summary "${first}${rest}")
  set(rpm_description ${CPACK_PACKAGE_DESCRIPTION})
  set(rpm_program_files)
  foreach(tool IN LISTS TOOL_NAMES)
    # Any ending: a distribution may compress its manual pages its own way.
    string(APPEND rpm_program_files "%{_bindir}/${tool}\n%{_mandir}/man1/${tool}.1*\n")
  endforeach()
  string(STRIP "${rpm_program_files}" rpm_program_files)
  # Left for the tarball's date, which source_release.cmake writes in.
  set(release_epoch @release_epoch@)
  # Named as rpmbuild -ta looks for it in the tarball.
  set(rpm_recipe_name ${package_name}.spec)
  configure_file(cmake/rpm/${package_name}.in ${CMAKE_CURRENT_BINARY_DIR}/rpm/recipe.in @ONLY)

  set(rpmbuild_program)
  if(NOT CMAKE_CROSSCOMPILING)
    find_program(RPMBUILD_PROGRAM rpmbuild)
    if(NOT RPMBUILD_PROGRAM)
      message(FATAL_ERROR "The release RPMs need rpmbuild (Debian's package rpm)")
    endif()
    set(rpmbuild_program ${RPMBUILD_PROGRAM})
  endif()
  add_custom_target(source_release
    COMMAND ${CMAKE_COMMAND} -D SOURCE_DIR=${CMAKE_CURRENT_SOURCE_DIR}
            -D PACKAGE=${package_name}-${PROJECT_VERSION}
            -D RECIPE=${CMAKE_CURRENT_BINARY_DIR}/rpm/recipe.in -D RECIPE_NAME=${rpm_recipe_name}
            -D WORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/source_release
            -D OUTPUT_DIR=${RELEASE_PACKAGE_DIR} -D RPMBUILD=${rpmbuild_program}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/source_release.cmake
    COMMENT "Packing the source tarball and building the RPMs from it"
    VERBATIM)
endif()
