# Fuzz targets of the XML parser and of the web-address parser. Included from fuzz/CMakeLists.txt
# after it has instrumented vadu_support; `sanitizers` is the list of sanitizers it uses.
if(NOT DEFINED sanitizers)
  set(sanitizers address,undefined)
endif()
foreach(name fuzz_xml_parser fuzz_url)
  add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,${sanitizers}
                                         -fno-sanitize-recover=undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,${sanitizers})
  target_link_libraries(${name} PRIVATE vadu_support)
endforeach()
