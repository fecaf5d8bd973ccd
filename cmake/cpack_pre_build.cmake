# Run by cpack once it has installed what a package carries, before it packs
# it. Every file and folder takes the package's one date (see
# cpack_project.cmake), whether its source or this build is older or newer.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(
    COMMAND find ${CPACK_TEMPORARY_DIRECTORY} -exec touch -h -d @$ENV{SOURCE_DATE_EPOCH} {} +
    COMMAND_ERROR_IS_FATAL ANY)
endif()
