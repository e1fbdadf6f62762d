# The client database readers on arbitrary bytes, seeded with files made by the tools'
# writer (client_db_seeds writes them into the build tree before the targets build).
add_executable(client_db_seeds ${CMAKE_CURRENT_SOURCE_DIR}/client_db_seeds.cpp
                               ${CMAKE_SOURCE_DIR}/tools/common/client_db_writer.cpp)
target_include_directories(client_db_seeds PRIVATE ${CMAKE_SOURCE_DIR}/tools)
set(ZOV_CLIENT_DB_SEEDS ${CMAKE_BINARY_DIR}/fuzz/client_db.seeds)
add_custom_command(OUTPUT ${ZOV_CLIENT_DB_SEEDS}.stamp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZOV_CLIENT_DB_SEEDS}
  COMMAND client_db_seeds ${ZOV_CLIENT_DB_SEEDS}
  COMMAND ${CMAKE_COMMAND} -E touch ${ZOV_CLIENT_DB_SEEDS}.stamp
  DEPENDS client_db_seeds
  COMMENT "Writing the client database seed corpus")

foreach(reader client_info candidate_info record_index)
  zov_fuzz_target(client_db_${reader}
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/client_db_${reader}_fuzz.cpp ${CMAKE_SOURCE_DIR}/src/discovery/client_db.cpp
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/client_db_fuzz.h ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_input.h
            ${ZOV_CLIENT_DB_SEEDS}.stamp
    SEEDS ${ZOV_CLIENT_DB_SEEDS}
    SECONDS 40)
endforeach()
