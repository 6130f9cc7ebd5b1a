# Cross build of the Windows console program with Debian's mingw-w64 (posix threads variant).
# ZENTU_WINDOWS_ARCH selects i686 (the shipped 32-bit program) or x86_64 (the same program
# built for 64-bit Windows, whose tests run under 64-bit Wine).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT ZENTU_WINDOWS_ARCH)
  set(ZENTU_WINDOWS_ARCH i686)
endif()
set(ZENTU_WINDOWS_ARCH ${ZENTU_WINDOWS_ARCH} CACHE STRING "i686 or x86_64")
set(CMAKE_SYSTEM_PROCESSOR ${ZENTU_WINDOWS_ARCH})
set(ZENTU_MINGW_PREFIX ${ZENTU_WINDOWS_ARCH}-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${ZENTU_MINGW_PREFIX}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${ZENTU_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ZENTU_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${ZENTU_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run under Wine through a wrapper that gives them a private, quiet Wine prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
