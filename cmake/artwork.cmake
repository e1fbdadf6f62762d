# The bitmaps and icons of setup.exe, drawn at build time by scripts/make_bitmaps.py into
# ZOV_ART_DIR. The resource script names them; windres finds them through that folder.
find_program(ZOV_ART_PYTHON NAMES python3 HINTS /usr/bin)
execute_process(COMMAND ${ZOV_ART_PYTHON} -c "import PIL" RESULT_VARIABLE pil_missing OUTPUT_QUIET ERROR_QUIET)
if(NOT ZOV_ART_PYTHON OR pil_missing)
  message(FATAL_ERROR "The artwork needs python3 with Pillow (python3-pil); scripts/deps.sh installs it")
endif()

set(ZOV_ART_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/make_bitmaps.py)
set(ZOV_ART_DIR ${CMAKE_BINARY_DIR}/generated/art)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZOV_ART_SCRIPT})
execute_process(COMMAND ${ZOV_ART_PYTHON} ${ZOV_ART_SCRIPT} --list OUTPUT_VARIABLE art_names
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" art_names "${art_names}")
list(TRANSFORM art_names PREPEND ${ZOV_ART_DIR}/ OUTPUT_VARIABLE ZOV_ART_FILES)

add_custom_command(OUTPUT ${ZOV_ART_FILES}
  COMMAND ${ZOV_ART_PYTHON} ${ZOV_ART_SCRIPT} ${ZOV_ART_DIR}
  DEPENDS ${ZOV_ART_SCRIPT}
  COMMENT "Drawing the bitmaps and icons"
  VERBATIM)
add_custom_target(zov_artwork DEPENDS ${ZOV_ART_FILES})

# A contact sheet of the whole set, to judge the look: cmake --build --preset win64 -t artwork_preview
add_custom_target(artwork_preview
  COMMAND ${ZOV_ART_PYTHON} ${CMAKE_SOURCE_DIR}/scripts/preview_bitmaps.py ${ZOV_ART_DIR}
          ${CMAKE_BINARY_DIR}/artwork_preview.png
  DEPENDS ${ZOV_ART_FILES}
  BYPRODUCTS ${CMAKE_BINARY_DIR}/artwork_preview.png
  COMMENT "Composing artwork_preview.png"
  VERBATIM)

# What the resource script pulls in besides itself (windres reports no dependencies).
set(ZOV_RC_DEPENDS ${CMAKE_SOURCE_DIR}/src/res/string_table.inc
    ${CMAKE_SOURCE_DIR}/src/res/setup.manifest ${CMAKE_SOURCE_DIR}/src/res/resource.h
    ${CMAKE_SOURCE_DIR}/src/res/dialogs.rc ${CMAKE_SOURCE_DIR}/src/res/legal_dialogs.rc
    ${CMAKE_SOURCE_DIR}/src/res/consent.html ${ZOV_ART_FILES})

# A target that compiles setup.rc (or a script including it) finds the artwork and waits for it.
function(zov_use_artwork target)
  target_include_directories(${target} PRIVATE ${ZOV_ART_DIR})
  add_dependencies(${target} zov_artwork)
endfunction()
