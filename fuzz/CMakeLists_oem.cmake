# libFuzzer target for loading OEM information documents. Included from fuzz/CMakeLists.txt, which
# instruments the libraries under test the same way.
add_executable(fuzz_oem_document ${CMAKE_CURRENT_LIST_DIR}/fuzz_oem_document.cpp)
target_compile_options(fuzz_oem_document PRIVATE -fsanitize=fuzzer,address,undefined
                                                 -fno-sanitize-recover=undefined)
target_link_options(fuzz_oem_document PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_oem_document PRIVATE zentu_oem)
