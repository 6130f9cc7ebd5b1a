# Sanitized builds (native, clang or gcc; the fuzz targets need clang).
#
# ZENTU_SANITIZE builds every program with address and undefined-behaviour checks: the tests, the
# utility they run and the icon tool it carries. ZENTU_FUZZ adds libFuzzer's coverage
# instrumentation on top, to the whole build, so that the fuzz targets see the branches of the
# libraries they drive, and every other program still links: the sanitizer runtime each of them
# links supplies the coverage hooks.
option(ZENTU_SANITIZE "Build everything with address and undefined-behaviour checks" OFF)

if(NOT ZENTU_SANITIZE AND NOT ZENTU_FUZZ)
  return()
endif()
if(WIN32)
  message(FATAL_ERROR "ZENTU_SANITIZE and ZENTU_FUZZ are for the native build")
endif()
if(ZENTU_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ZENTU_FUZZ needs clang (libFuzzer); set CC=clang CXX=clang++")
endif()

# A finding stops the program: undefined behaviour fails a test or a fuzz run like a crash.
add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
if(ZENTU_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
