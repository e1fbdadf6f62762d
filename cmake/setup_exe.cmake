# setup.exe: the Win32 shell around the portable core.
file(GLOB ZOV_PORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/win32/*.cpp)
file(GLOB ZOV_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/main/*.cpp ${CMAKE_SOURCE_DIR}/src/ui/win32/*.cpp
  ${CMAKE_SOURCE_DIR}/src/diag/win32/*.cpp)

set(ZOV_BIN ${CMAKE_BINARY_DIR}/bin)
set(ZOV_PROGUPD ${ZOV_BIN}/progupd.dll)

set(ZOV_SETUP_LIBS ole32 oleaut32 uuid shell32 shlwapi comctl32 advapi32 user32 gdi32)

# The real machine: every port implemented with the Win32 API.
add_library(zov_win32_ports STATIC ${ZOV_PORT_SOURCES})
target_link_libraries(zov_win32_ports PUBLIC zovcore ${ZOV_SETUP_LIBS})
target_compile_definitions(zov_win32_ports PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

add_library(setup_objs OBJECT ${ZOV_WIN_SOURCES})
target_link_libraries(setup_objs PUBLIC zov_win32_ports)

# The real program carries the progress module as resource 175, without its debugging
# information: setup.exe only writes it out for the engine, and it is most of the module.
set(ZOV_PROGUPD_EMBEDDED ${CMAKE_BINARY_DIR}/generated/progupd.dll)
add_custom_command(OUTPUT ${ZOV_PROGUPD_EMBEDDED}
  COMMAND ${CMAKE_STRIP} --strip-all -o ${ZOV_PROGUPD_EMBEDDED} ${ZOV_PROGUPD}
  DEPENDS progupd
  VERBATIM)
add_custom_target(progupd_embedded DEPENDS ${ZOV_PROGUPD_EMBEDDED})
configure_file(${CMAKE_SOURCE_DIR}/src/res/progupd_resource.rc.in ${CMAKE_BINARY_DIR}/generated/progupd_resource.rc)
include(${CMAKE_SOURCE_DIR}/cmake/artwork.cmake)
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/res/setup.rc PROPERTIES OBJECT_DEPENDS "${ZOV_RC_DEPENDS}")

function(zov_setup_executable name with_component)
  if(with_component)
    set(rc ${CMAKE_SOURCE_DIR}/src/res/setup.rc ${CMAKE_BINARY_DIR}/generated/progupd_resource.rc)
  else()
    set(rc ${CMAKE_SOURCE_DIR}/src/res/setup.rc)
  endif()
  add_executable(${name} WIN32 $<TARGET_OBJECTS:setup_objs> ${rc})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/res)
  target_link_libraries(${name} PRIVATE zov_win32_ports)
  set_target_properties(${name} PROPERTIES OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${ZOV_BIN})
  add_dependencies(${name} progupd progupd_embedded)
  zov_use_artwork(${name})
endfunction()

zov_setup_executable(setup ON)
zov_ship(setup)
if(ZOV_TEST_HOOKS)
  # A copy without the progress module, for the damaged-installation test only.
  zov_setup_executable(setup_nocomponent OFF)
endif()
set_source_files_properties(${CMAKE_BINARY_DIR}/generated/progupd_resource.rc PROPERTIES OBJECT_DEPENDS ${ZOV_PROGUPD_EMBEDDED})

include(${CMAKE_SOURCE_DIR}/cmake/registry_exports.cmake)

# The movie's code and the frame that hosts it run a few times a run and count against the
# 1 MB: built for size.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/ui/win32/movie_host.cpp ${CMAKE_SOURCE_DIR}/src/ui/movie_media.cpp
  ${CMAKE_SOURCE_DIR}/src/ui/win32/frame_window.cpp
  TARGET_DIRECTORY zovcore setup_objs PROPERTIES COMPILE_OPTIONS "-Os")
