# Run by cpack once it has made a package, before it copies the package out.

# cpack's archive lists the files in the order the file system returns them,
# which differs from folder to folder and machine to machine. Packed again
# with the names sorted and owned by root (and dated by cpack_pre_build), the
# archive is the same wherever it is built.
if(CPACK_GENERATOR STREQUAL "TGZ")
  foreach(package IN LISTS CPACK_PACKAGE_FILES)
    execute_process(
      COMMAND tar -C ${CPACK_TOPLEVEL_DIRECTORY} --sort=name --format=gnu --owner=0 --group=0
              --numeric-owner --mode=u+w,go-w,a+rX -cf - ${CPACK_PACKAGE_FILE_NAME}
      COMMAND gzip -9 -n
      OUTPUT_FILE ${package}
      COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()

# Each package's SHA-256 goes into SHA256SUMS beside it.
include(${CPACK_PROJECT_SOURCE_DIR}/cmake/release.cmake)
enter_release_sums(${CPACK_PACKAGE_DIRECTORY} ${CPACK_PACKAGE_FILES})
