# zentu_split_debug_info(<target>): after each link, moves the executable's debug information and
# symbols into "<file>.debug" beside it and leaves a .gnu_debuglink in the executable, so that the
# program shipped is small and a debugger still finds its symbols.
function(zentu_split_debug_info target)
  if(APPLE OR NOT CMAKE_OBJCOPY)
    return()
  endif()
  set(file $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${file}.debug ${file}
    VERBATIM)
endfunction()
