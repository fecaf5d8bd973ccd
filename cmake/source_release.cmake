# Run by the source_release target (cmake -P): packs the source tarball and,
# given RPMBUILD, builds the source and binary RPMs from it the way a
# packager does, with rpmbuild -ta. Each lands in OUTPUT_DIR with its sum in
# SHA256SUMS there.
#   SOURCE_DIR   the source folder
#   PACKAGE      <name>-<version>: the tarball's name and its one folder
#   RECIPE       rpm's build recipe for the tarball, with @release_epoch@
#                where the tarball's date goes
#   RECIPE_NAME  its name in the tarball, which rpmbuild -ta looks for
#   WORK_DIR     a folder of this build to work in
#   OUTPUT_DIR   where the packages go
#   RPMBUILD     rpmbuild, or empty for the tarball alone
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/release.cmake)

release_date(${SOURCE_DIR} date)
if(NOT date)
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not set and ${SOURCE_DIR} has no commit "
                      "or release date to date the source tarball with")
endif()

# In a git checkout, the tracked files as they stand; in a copy without git
# (such as an unpacked tarball), every file outside the build folder.
set(stage ${WORK_DIR}/${PACKAGE})
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${stage} ${OUTPUT_DIR})
if(EXISTS ${SOURCE_DIR}/.git)
  execute_process(COMMAND git ls-files -z
                  WORKING_DIRECTORY ${SOURCE_DIR}
                  OUTPUT_FILE ${WORK_DIR}/files
                  COMMAND_ERROR_IS_FATAL ANY)
  set(picked --null --files-from=${WORK_DIR}/files)
  execute_process(COMMAND git status --porcelain --untracked-files=no
                  WORKING_DIRECTORY ${SOURCE_DIR}
                  OUTPUT_VARIABLE changes)
  if(changes)
    message(WARNING "The source tarball holds changes not yet committed, "
                    "dated like the last commit")
  endif()
else()
  set(picked --exclude=./build --exclude=./.git .)
endif()
execute_process(COMMAND tar -C ${SOURCE_DIR} -cf - ${picked}
                COMMAND tar -C ${stage} -xf -
                COMMAND_ERROR_IS_FATAL ANY)

# The release's date travels in the tarball: in a file that a build of the
# unpacked source dates its packages by, and in rpm's recipe, which rpmbuild
# -ta reads before anything is unpacked.
file(WRITE ${stage}/SOURCE_DATE_EPOCH "${date}\n")
file(READ ${RECIPE} recipe)
string(REPLACE "@release_epoch@" ${date} recipe "${recipe}")
file(WRITE ${stage}/${RECIPE_NAME} "${recipe}")

# The same bytes from any copy of one commit: names in order, each owned by
# root, dated like the release and with its mode cleared of the umask, and no
# name or time in gzip's header.
set(tarball ${OUTPUT_DIR}/${PACKAGE}.tar.gz)
execute_process(
  COMMAND tar -C ${WORK_DIR} --sort=name --format=gnu --owner=root:0 --group=root:0
          --mtime=@${date} --mode=u+w,go-w,a+rX -cf - ${PACKAGE}
  COMMAND gzip -9 -n
  OUTPUT_FILE ${tarball}
  COMMAND_ERROR_IS_FATAL ANY)
set(made ${tarball})

# --nodeps: rpm's database knows the build dependencies only where rpm is the
# system's package manager; elsewhere, one that is missing fails the build.
# The source RPM takes the tarball and the recipe with the modes they have on
# disk, so the umask has no say in them.
if(RPMBUILD)
  file(CHMOD ${tarball} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  set(log ${WORK_DIR}/rpmbuild.log)
  execute_process(COMMAND sh -c "umask 022 && exec \"$@\"" sh
                          ${RPMBUILD} -ta --nodeps --define "_topdir ${WORK_DIR}/rpmbuild"
                          --define "_smp_ncpus_max 2" ${tarball}
                  OUTPUT_FILE ${log} ERROR_FILE ${log}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    file(READ ${log} output)
    message(FATAL_ERROR "${output}\nrpmbuild -ta ${tarball} failed (log in ${log})")
  endif()
  file(GLOB rpms ${WORK_DIR}/rpmbuild/RPMS/*/*.rpm ${WORK_DIR}/rpmbuild/SRPMS/*.rpm)
  foreach(rpm IN LISTS rpms)
    get_filename_component(name ${rpm} NAME)
    file(COPY_FILE ${rpm} ${OUTPUT_DIR}/${name})
    list(APPEND made ${OUTPUT_DIR}/${name})
  endforeach()
endif()

enter_release_sums(${OUTPUT_DIR} ${made})
