# Reads the import tables of the programs that run from the CD and fails when one names a
# library Windows does not always take from its own folder: such a library, left beside the
# program in a download folder, would be loaded before the program's first line runs. Every
# other library is looked up at run time from the system folder.
#   cmake -DOBJDUMP=<objdump> -DFILES=<file>,<file>... -P check_imports.cmake
# comctl32 comes through the manifest's dependency on the common controls, which the
# side-by-side store supplies.
set(allowed advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
            oleaut32.dll shell32.dll user32.dll)

string(REPLACE "," ";" files "${FILES}")
set(problems)
foreach(file ${files})
  execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${file} failed")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" entries "${dump}")
  foreach(entry ${entries})
    string(REGEX REPLACE "^DLL Name: *" "" name "${entry}")
    string(STRIP "${name}" name)
    string(TOLOWER "${name}" lower)
    list(FIND allowed "${lower}" found)
    if(found EQUAL -1)
      list(APPEND problems "${file} imports ${name}")
    endif()
  endforeach()
endforeach()
if(problems)
  string(REPLACE ";" "\n  " text "${problems}")
  message(FATAL_ERROR "libraries in import tables that a planted file could replace:\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "import tables of ${count} programs: system libraries only")
