# s390x (64-bit, big-endian), built with Debian's cross compiler
# (g++-s390x-linux-gnu). The one big-endian target we build for: code that
# reads bytes as words meets the other byte order here. The programs and
# tests run under qemu-s390x with the cross C library.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)  # GoogleTest's project enables C too
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE s390x)  # the Debian name of the target
set(CMAKE_FIND_ROOT_PATH /usr/s390x-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The library path keeps the cross C library in use: the loader would
# otherwise take the machine's own copy of it (from its ld.so.cache) where one
# is installed, a different build that the cross loader cannot work with.
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/qemu-s390x -L /usr/s390x-linux-gnu -E LD_LIBRARY_PATH=/usr/s390x-linux-gnu/lib)
