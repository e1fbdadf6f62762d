# Stages the CD image a person can copy to a Windows machine: build/<preset>/cd/.
set(ZOV_CD ${CMAKE_BINARY_DIR}/cd)
set(ZOV_CD_STATIC ${CMAKE_SOURCE_DIR}/cdimage)

add_custom_target(cd ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ZOV_CD}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZOV_CD}/payload ${ZOV_CD}/media
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${ZOV_CD_STATIC} ${ZOV_CD}
  COMMAND ${CMAKE_COMMAND} -E copy ${ZOV_BIN}/setup.exe ${ZOV_CD}/setup.exe
  COMMAND ${CMAKE_COMMAND} -E copy ${ZOV_BIN}/comp01.exe ${ZOV_CD}/comp01.000
  COMMAND ${CMAKE_COMMAND} -E copy ${ZOV_BIN}/DAD.exe ${ZOV_BIN}/wzov.exe ${ZOV_CD}/payload/
  COMMENT "Staging the CD image in ${ZOV_CD}"
  VERBATIM)
add_dependencies(cd setup comp01 client_dad client_wzov)

# The programs that run from the CD import only libraries the system takes from its own folder.
add_test(NAME cd_import_tables
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP}
          "-DFILES=${ZOV_CD}/setup.exe,${ZOV_CD}/comp01.000,${ZOV_CD}/payload/DAD.exe,${ZOV_CD}/payload/wzov.exe,${ZOV_BIN}/progupd.dll,${ZOV_BIN}/FlashSetup.exe"
          -P ${CMAKE_SOURCE_DIR}/tests/win32/check_imports.cmake)

if(NOT ZOV_TEST_HOOKS)
  add_test(NAME cd_image_release
    COMMAND ${CMAKE_COMMAND} -DCD=${ZOV_CD} -DSYMBOLS=${ZOV_SYMBOLS} -P ${CMAKE_SOURCE_DIR}/cmake/check_cd.cmake)
endif()
