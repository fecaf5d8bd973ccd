# What every release package shares, included by the scripts that make them:
# the one date its time stamps take, and its entry in SHA256SUMS.

# release_date(<source dir> <variable>) sets the variable to the date, in
# seconds since 1970, that a package of that source is dated with:
# SOURCE_DATE_EPOCH where the caller sets it; in an unpacked source tarball,
# the date written into it; in a git checkout, the last commit's. Empty where
# there is none of these. The tarball's date comes before git's, as a
# packager may unpack it into a repository of their own.
function(release_date source_dir variable)
  set(date "")
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(date $ENV{SOURCE_DATE_EPOCH})
  elseif(EXISTS ${source_dir}/SOURCE_DATE_EPOCH)
    file(STRINGS ${source_dir}/SOURCE_DATE_EPOCH date LIMIT_COUNT 1)
  else()
    execute_process(COMMAND git log -1 --format=%ct
                    WORKING_DIRECTORY ${source_dir}
                    OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status ERROR_QUIET)
    if(NOT status EQUAL 0)
      set(date "")
    endif()
  endif()
  if(NOT date MATCHES "^[0-9]+$")
    set(date "")
  endif()
  set(${variable} ${date} PARENT_SCOPE)
endfunction()

# enter_release_sums(<folder> <package>...) puts each package's SHA-256 into
# SHA256SUMS in that folder, in the form sha256sum -c reads. Entries of other
# packages there stay while their files do, so that the source tarball, the
# RPMs and the builds for every architecture add to one list.
function(enter_release_sums folder)
  set(sums_file ${folder}/SHA256SUMS)
  set(made)
  foreach(package IN LISTS ARGN)
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
        if(NOT name IN_LIST made AND EXISTS ${folder}/${name})
          list(APPEND entries "${name}|${line}")
        endif()
      endif()
    endforeach()
  endif()
  foreach(package IN LISTS ARGN)
    get_filename_component(name ${package} NAME)
    file(SHA256 ${package} sum)
    list(APPEND entries "${name}|${sum}  ${name}")
  endforeach()
  list(SORT entries)
  list(TRANSFORM entries REPLACE "^[^|]*\\|" "")
  list(JOIN entries "\n" text)
  file(WRITE ${sums_file} "${text}\n")
endfunction()
