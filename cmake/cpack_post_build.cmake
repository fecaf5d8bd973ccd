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

# Each package's SHA-256 goes into SHA256SUMS beside it, in the form
# sha256sum -c reads. Entries of other packages there stay while their files
# do, so that builds for every architecture add to one list.
set(sums_file ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS)
set(made)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME)
  list(APPEND made ${name})
endforeach()
# Each entry keyed by its file name, so that the list sorts by name.
set(entries)
if(EXISTS ${sums_file})
  file(STRINGS ${sums_file} lines)
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-f]+  (.+)$")
      set(name ${CMAKE_MATCH_1})
      if(NOT name IN_LIST made AND EXISTS ${CPACK_PACKAGE_DIRECTORY}/${name})
        list(APPEND entries "${name}|${line}")
      endif()
    endif()
  endforeach()
endif()
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME)
  file(SHA256 ${package} sum)
  list(APPEND entries "${name}|${sum}  ${name}")
endforeach()
list(SORT entries)
list(TRANSFORM entries REPLACE "^[^|]*\\|" "")
list(JOIN entries "\n" text)
file(WRITE ${sums_file} "${text}\n")
