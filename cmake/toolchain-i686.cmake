# 32-bit x86, built with Debian's cross compiler (g++-i686-linux-gnu). The
# programs and tests run under qemu-i386 with the cross C library, so the
# build machine needs no 32-bit libraries of its own.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)  # GoogleTest's project enables C too
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)  # the Debian name of the target
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The library path keeps the cross C library in use: the loader would
# otherwise take the machine's own copy of it (from its ld.so.cache) where one
# is installed, a different build that the cross loader cannot work with.
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/qemu-i386 -L /usr/i686-linux-gnu -E LD_LIBRARY_PATH=/usr/i686-linux-gnu/lib)
