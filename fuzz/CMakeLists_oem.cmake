# Fuzz target for loading OEM information documents (clang with libFuzzer). Included from the
# top-level CMakeLists.txt when ZENTU_FUZZ is ON, after OEM_SOURCES and SUPPORT_SOURCES are known;
# the target builds its own instrumented copy of those sources.
set(ZENTU_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
add_executable(fuzz_oem_document ${CMAKE_CURRENT_LIST_DIR}/fuzz_oem_document.cpp ${OEM_SOURCES}
                                 ${SUPPORT_SOURCES})
target_include_directories(fuzz_oem_document PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(fuzz_oem_document PRIVATE ${ZENTU_FUZZ_FLAGS})
target_link_options(fuzz_oem_document PRIVATE ${ZENTU_FUZZ_FLAGS})
target_link_libraries(fuzz_oem_document PRIVATE Threads::Threads ZLIB::ZLIB)
