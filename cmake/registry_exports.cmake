# The client registry library exported from setup.exe (src/main/registry_exports.cpp), the
# check of its export table, and the program that loads the exports by name under Wine.
# Included by setup_exe.cmake after the setup targets exist.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # i686: standard-call names keep their decoration ("_NR_RegOpen@8") only through a .def file.
  set(setup_targets setup)
  if(TARGET setup_nocomponent)
    list(APPEND setup_targets setup_nocomponent)
  endif()
  foreach(target ${setup_targets})
    # CMake hands a .def among an executable's sources to no linker here: give it to ld.
    target_link_options(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src/main/setup_exports_x86.def)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/src/main/setup_exports_x86.def)
  endforeach()
  set(ZOV_DECORATED_EXPORTS ON)
else()
  set(ZOV_DECORATED_EXPORTS OFF)
endif()

add_test(NAME setup_registry_exports
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=${ZOV_BIN}/setup.exe
          -DDECORATED=${ZOV_DECORATED_EXPORTS} -P ${CMAKE_SOURCE_DIR}/tests/win32/check_exports.cmake)

if(NOT ZOV_TEST_HOOKS)
  return()
endif()
add_executable(registry_exports_test ${CMAKE_SOURCE_DIR}/tests/win32/registry_exports_test.cpp)
target_link_libraries(registry_exports_test PRIVATE zov_win32_ports)
set_target_properties(registry_exports_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZOV_BIN})
add_dependencies(registry_exports_test setup)
find_program(ZOV_WINE_FOR_EXPORTS wine)
find_program(ZOV_XVFB_FOR_EXPORTS Xvfb)
if(ZOV_WINE_FOR_EXPORTS AND ZOV_XVFB_FOR_EXPORTS AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_test(NAME registry_exports_under_wine
    COMMAND bash ${CMAKE_SOURCE_DIR}/tools/testkit/run_wine_tests.sh ${ZOV_BIN} registry_exports_test.exe)
  set_tests_properties(registry_exports_under_wine PROPERTIES TIMEOUT 300)
endif()
