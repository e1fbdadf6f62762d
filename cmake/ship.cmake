# zov_ship(target...): in a release build (no test hooks), each program that goes on the CD
# is stripped after linking, and its debug information is kept beside the build in
# symbols/<file>.debug, named in the program by a debug link, for reading crash reports later
# (addr2line -e symbols/setup.exe.debug <address>). Test builds keep the debug information in
# the programs: the crash report names functions from it.
set(ZOV_SYMBOLS ${CMAKE_BINARY_DIR}/symbols)
file(MAKE_DIRECTORY ${ZOV_SYMBOLS})

function(zov_ship)
  if(ZOV_TEST_HOOKS)
    return()
  endif()
  foreach(target ${ARGN})
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE_NAME:${target}>.debug
      COMMAND ${CMAKE_OBJCOPY} --strip-all $<TARGET_FILE:${target}>
      COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug $<TARGET_FILE:${target}>
      WORKING_DIRECTORY ${ZOV_SYMBOLS}
      COMMENT "Stripping ${target}; its debug information goes to symbols/"
      VERBATIM)
  endforeach()
endfunction()
