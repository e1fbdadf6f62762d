# What setup.exe reads from others: the command line into the session values, the
# browsers' cookie stores, the session pipes, comps.ini; and the round trips of the two
# file formats the tools and the library write. Seeds from fuzz_seeds, into the build tree.
file(GLOB ZOV_FUZZ_REGISTRY_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/registry/*.cpp)
add_executable(fuzz_seeds ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_seeds.cpp ${ZOV_FUZZ_REGISTRY_SOURCES})
target_include_directories(fuzz_seeds PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
add_custom_command(OUTPUT ${ZOV_FUZZ_DIR}/outside_input.seeds.stamp
  COMMAND fuzz_seeds ${ZOV_FUZZ_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${ZOV_FUZZ_DIR}/outside_input.seeds.stamp
  DEPENDS fuzz_seeds
  COMMENT "Writing the seed corpora of the outside-input fuzz targets")
add_custom_target(fuzz_outside_input_seeds ALL DEPENDS ${ZOV_FUZZ_DIR}/outside_input.seeds.stamp)

set(headers ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_input.h ${CMAKE_SOURCE_DIR}/tests/sim/sim_run.h)
foreach(target command_line cookies pipe comps_ini)
  zov_fuzz_target(${target} SIM_LIBRARY
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${target}_fuzz.cpp
    DEPENDS ${headers}
    SEEDS ${ZOV_FUZZ_DIR}/${target}.seeds
    SECONDS 15)
endforeach()
zov_fuzz_target(client_db_roundtrip
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/client_db_roundtrip_fuzz.cpp ${CMAKE_SOURCE_DIR}/src/discovery/client_db.cpp
          ${CMAKE_SOURCE_DIR}/tools/common/client_db_writer.cpp
  DEPENDS ${headers} ${CMAKE_CURRENT_SOURCE_DIR}/client_db_fuzz.h
  SEEDS ${ZOV_FUZZ_DIR}/client_db_roundtrip.seeds
  SECONDS 15)
zov_fuzz_target(registry_roundtrip
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/registry_roundtrip_fuzz.cpp ${ZOV_FUZZ_REGISTRY_SOURCES}
  DEPENDS ${headers} ${CMAKE_CURRENT_SOURCE_DIR}/memory_reg_file.h
  SEEDS ${ZOV_FUZZ_DIR}/registry_roundtrip.seeds
  SECONDS 15)
foreach(target command_line cookies pipe comps_ini client_db_roundtrip registry_roundtrip)
  if(TARGET fuzz_${target})
    add_dependencies(fuzz_${target} fuzz_outside_input_seeds)
  endif()
endforeach()
# The movies on the CD, read by the movie control; seeded with the CD's own movies.
find_program(ZOV_FUZZ_PYTHON NAMES python3)
add_custom_command(OUTPUT ${ZOV_FUZZ_DIR}/movie.seeds.stamp
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ZOV_FUZZ_DIR}/movie.seeds
  COMMAND ${ZOV_FUZZ_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/movie_seeds.py ${ZOV_FUZZ_DIR}/movie.seeds
  COMMAND ${CMAKE_COMMAND} -E touch ${ZOV_FUZZ_DIR}/movie.seeds.stamp
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/movie_seeds.py ${CMAKE_SOURCE_DIR}/scripts/make_movies.py
  COMMENT "Writing the seed corpus of the movie fuzz target")
add_custom_target(fuzz_movie_seeds ALL DEPENDS ${ZOV_FUZZ_DIR}/movie.seeds.stamp)
zov_fuzz_target(movie
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/movie_fuzz.cpp ${CMAKE_SOURCE_DIR}/tools/common/movie_format.cpp
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_input.h
  SEEDS ${ZOV_FUZZ_DIR}/movie.seeds
  SECONDS 10)
if(TARGET fuzz_movie)
  add_dependencies(fuzz_movie fuzz_movie_seeds)
endif()
