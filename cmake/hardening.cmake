# The hardening a distribution builds its programs with, and build paths kept
# out of the objects so that two builds of one commit give the same bytes.
# Included before any target is defined, so every target gets these; the
# caller's own CXXFLAGS and LDFLAGS (CMAKE_CXX_FLAGS and friends) add to them.

option(HARDENING "Build with the distribution's hardening flags" ON)
option(STATIC_LINK "Link the programs statically, so that each runs on any Linux of its architecture" OFF)

if(HARDENING)
  include(CheckCXXCompilerFlag)

  set(hardening_flags -fstack-protector-strong -fstack-clash-protection)
  # Control-flow protection is an x86-64 feature; other targets refuse the flag
  # or take it as a no-op, and a 32-bit build on an x86-64 host is no x86-64.
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND hardening_flags -fcf-protection)
  endif()
  # Not every compiler has every flag for every target: keep the ones it takes.
  foreach(flag IN LISTS hardening_flags)
    string(MAKE_C_IDENTIFIER "compiler_takes${flag}" supported)
    check_cxx_compiler_flag(${flag} ${supported})
    if(${supported})
      add_compile_options(${flag})
    endif()
  endforeach()

  # Position-independent executables. Static libraries take -fPIE rather than
  # the -fPIC CMake would give them: they only ever go into these programs, and
  # -fPIC would stop calls within the frame from being inlined.
  add_compile_options(-fPIE)
  set(dynamic_link_options -pie)
  add_link_options(-Wl,-z,relro,-z,now)

  # The checked library calls need the optimiser, and they are left out where
  # the sanitizers watch the same calls: the checked variants would hide those
  # calls from them. A caller who picks a level keeps it.
  set(caller_flags "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_RELEASE} ${CMAKE_CXX_FLAGS_RELWITHDEBINFO}")
  if(NOT caller_flags MATCHES "-fsanitize=|_FORTIFY_SOURCE" AND NOT BUILD_FUZZING)
    add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  endif()
endif()

# A static program carries the C and C++ runtimes in it, so one file runs on
# any Linux of its architecture. It stays position-independent where the C
# library has the start file for that (checked by linking one); where it has
# not, as in Debian's s390x cross library, it links plainly static. Only
# targets marked STATIC_PROGRAM link this way: the tests, and the copies of
# the programs that distribution packages carry, link like any other build.
set(static_link_options -static)
if(STATIC_LINK AND HARDENING)
  set(CMAKE_REQUIRED_FLAGS -fPIE)
  set(CMAKE_REQUIRED_LINK_OPTIONS -static-pie)
  check_cxx_source_compiles("int main() {}" HAVE_STATIC_PIE)
  unset(CMAKE_REQUIRED_FLAGS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(HAVE_STATIC_PIE)
    set(static_link_options -static-pie)
  endif()
endif()
add_link_options(
  "$<IF:$<BOOL:$<TARGET_PROPERTY:STATIC_PROGRAM>>,${static_link_options},${dynamic_link_options}>")

# Reproducible objects: the file names in them (debug information, __FILE__)
# start at "." wherever the source and build folders lie. The build folder
# comes last so that it wins where it lies inside the source folder.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
