# Collects the units of one folder: foo.cpp is a source, foo_test.cpp a test, and
# foo-posix.cpp / foo-win32.cpp are taken only on their own platform (likewise
# foo_test-posix.cpp for a platform's own tests). test_*.cpp files are helpers of the tests and
# belong to neither list.
function(zentu_collect_units dir out_sources out_tests)
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  set(sources)
  set(tests)
  foreach(file IN LISTS all)
    get_filename_component(name ${file} NAME_WE)
    if(name MATCHES "-${ZENTU_OTHER_PLATFORM}$" OR name MATCHES "^test_")
      continue()
    endif()
    if(name MATCHES "_test(-${ZENTU_PLATFORM})?$")
      list(APPEND tests ${file})
    else()
      list(APPEND sources ${file})
    endif()
  endforeach()
  set(${out_sources} ${sources} PARENT_SCOPE)
  set(${out_tests} ${tests} PARENT_SCOPE)
endfunction()

# One test executable per folder, registered as one test: starting a program under Wine costs
# about a second, so the Windows build runs each executable once instead of once per case.
function(zentu_add_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE zentu_test_support GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
