# Read by cpack as it runs. Unless the caller sets SOURCE_DATE_EPOCH, every
# time stamp in the package is the date of the last commit rather than the
# time the files were checked out or built, so that two builds of one commit
# give the same package.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY "${CPACK_PROJECT_SOURCE_DIR}"
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  else()
    message(WARNING "SOURCE_DATE_EPOCH is not set and ${CPACK_PROJECT_SOURCE_DIR} "
                    "has no commit to take it from: the package carries the time "
                    "stamps of this build")
  endif()
endif()

# What each kind of package carries. The archive: what a plain install puts in
# place. A distribution package: the documentation and programs that take the
# C library from the distribution (in a static build, the dynamic copies),
# and the Debian package its lintian overrides too.
if(CPACK_GENERATOR MATCHES "^(DEB|RPM)$" AND CPACK_STATIC_LINK)
  set(CPACK_INSTALL_CMAKE_PROJECTS
      "${CPACK_BUILD_PROJECT};documentation;/" "${CPACK_BUILD_PROJECT};dynamic_programs;/")
else()
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_BUILD_PROJECT};ALL;/")
endif()
if(CPACK_GENERATOR STREQUAL "DEB")
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_BUILD_PROJECT};debian_package;/")
endif()
