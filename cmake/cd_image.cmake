# Stages the CD image a person can copy to a Windows machine: build/<preset>/cd/.
set(ZOV_CD ${CMAKE_BINARY_DIR}/cd)
set(ZOV_CD_STATIC ${CMAKE_SOURCE_DIR}/cdimage)

# The frame's movies, written by scripts/make_movies.py; media.ini (in cdimage/) lists them.
set(ZOV_MOVIE_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/make_movies.py)
set(ZOV_MOVIE_DIR ${CMAKE_BINARY_DIR}/generated/movies)
execute_process(COMMAND ${ZOV_ART_PYTHON} ${ZOV_MOVIE_SCRIPT} --list OUTPUT_VARIABLE movie_names
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" movie_names "${movie_names}")
list(TRANSFORM movie_names PREPEND ${ZOV_MOVIE_DIR}/ OUTPUT_VARIABLE ZOV_MOVIE_FILES)
add_custom_command(OUTPUT ${ZOV_MOVIE_FILES}
  COMMAND ${ZOV_ART_PYTHON} ${ZOV_MOVIE_SCRIPT} ${ZOV_MOVIE_DIR}
  DEPENDS ${ZOV_MOVIE_SCRIPT}
  COMMENT "Writing the movies"
  VERBATIM)
add_custom_target(zov_movies DEPENDS ${ZOV_MOVIE_FILES})

add_custom_target(cd ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ZOV_CD}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZOV_CD}/payload ${ZOV_CD}/media
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${ZOV_CD_STATIC} ${ZOV_CD}
  COMMAND ${CMAKE_COMMAND} -E copy ${ZOV_BIN}/setup.exe ${ZOV_CD}/setup.exe
  COMMAND ${CMAKE_COMMAND} -E copy ${ZOV_BIN}/comp01.exe ${ZOV_CD}/comp01.000
  COMMAND ${CMAKE_COMMAND} -E copy ${ZOV_BIN}/DAD.exe ${ZOV_BIN}/wzov.exe ${ZOV_BIN}/zovmovie.ocx ${ZOV_CD}/payload/
  COMMAND ${CMAKE_COMMAND} -E copy ${ZOV_MOVIE_FILES} ${ZOV_CD}/media/
  COMMENT "Staging the CD image in ${ZOV_CD}"
  VERBATIM)
add_dependencies(cd setup comp01 client_dad client_wzov movie_control zov_movies)

# The programs that run from the CD import only libraries the system takes from its own folder.
set(import_checked ${ZOV_CD}/setup.exe,${ZOV_CD}/comp01.000,${ZOV_CD}/payload/DAD.exe,${ZOV_CD}/payload/wzov.exe,${ZOV_CD}/payload/zovmovie.ocx,${ZOV_BIN}/progupd.dll)
if(TARGET flash_setup)
  string(APPEND import_checked ",${ZOV_BIN}/FlashSetup.exe")
endif()
add_test(NAME cd_import_tables
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} "-DFILES=${import_checked}"
          -P ${CMAKE_SOURCE_DIR}/tests/win32/check_imports.cmake)

if(NOT ZOV_TEST_HOOKS)
  add_test(NAME cd_image_release
    COMMAND ${CMAKE_COMMAND} -DCD=${ZOV_CD} -DSYMBOLS=${ZOV_SYMBOLS} -P ${CMAKE_SOURCE_DIR}/cmake/check_cd.cmake)
endif()
