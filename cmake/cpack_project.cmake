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
