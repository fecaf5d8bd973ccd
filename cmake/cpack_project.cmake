# Read by cpack as it runs. Every time stamp in the package is the release's
# date (see release.cmake: SOURCE_DATE_EPOCH, the source tarball's date or the
# last commit's) rather than the time the files were checked out or built, so
# that two builds of one commit give the same package.
include(${CPACK_PROJECT_SOURCE_DIR}/cmake/release.cmake)
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  release_date(${CPACK_PROJECT_SOURCE_DIR} date)
  if(date)
    set(ENV{SOURCE_DATE_EPOCH} ${date})
  else()
    message(WARNING "SOURCE_DATE_EPOCH is not set and ${CPACK_PROJECT_SOURCE_DIR} "
                    "has no commit or release date to take it from: the package "
                    "carries the time stamps of this build")
  endif()
endif()

# What each kind of package carries. The archive: what a plain install puts in
# place. The Debian package: the documentation and programs that take the C
# library from the distribution (in a static build, the dynamic copies), and
# its lintian overrides.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_STATIC_LINK)
  set(CPACK_INSTALL_CMAKE_PROJECTS
      "${CPACK_BUILD_PROJECT};documentation;/" "${CPACK_BUILD_PROJECT};dynamic_programs;/")
else()
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_BUILD_PROJECT};ALL;/")
endif()
if(CPACK_GENERATOR STREQUAL "DEB")
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_BUILD_PROJECT};debian_package;/")
endif()
