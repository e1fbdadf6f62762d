# The registry file library and the version registry on arbitrary file contents, seeded
# with files the library itself writes (registry_file_seeds, into the build tree).
file(GLOB ZOV_REGISTRY_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/registry/*.cpp)
add_executable(registry_file_seeds ${CMAKE_CURRENT_SOURCE_DIR}/registry_file_seeds.cpp ${ZOV_REGISTRY_SOURCES})
target_include_directories(registry_file_seeds PRIVATE ${CMAKE_SOURCE_DIR}/src)
set(ZOV_REGISTRY_SEEDS ${CMAKE_BINARY_DIR}/fuzz/registry_file.seeds)
add_custom_command(OUTPUT ${ZOV_REGISTRY_SEEDS}.stamp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZOV_REGISTRY_SEEDS}
  COMMAND registry_file_seeds ${ZOV_REGISTRY_SEEDS}
  COMMAND ${CMAKE_COMMAND} -E touch ${ZOV_REGISTRY_SEEDS}.stamp
  DEPENDS registry_file_seeds
  COMMENT "Writing the registry file seed corpus")

zov_fuzz_target(registry_file
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/registry_file_fuzz.cpp ${ZOV_REGISTRY_SOURCES}
  DEPENDS ${ZOV_REGISTRY_SEEDS}.stamp ${CMAKE_CURRENT_SOURCE_DIR}/memory_reg_file.h
  SEEDS ${ZOV_REGISTRY_SEEDS}
  SECONDS 45)
