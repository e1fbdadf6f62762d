# Reads the import tables of the programs that run from the CD and fails when one names a
# library Windows does not always take from its own folder: such a library, left beside the
# program in a download folder, would be loaded before the program's first line runs. Every
# other library is looked up at run time from the system folder.
#
# It also fails when a program imports a function that is not in xp_functions.txt: Windows
# refuses to start a program whose import it cannot find, so one newer function would keep
# the setup (and its refusal messages for old systems) from running on an older Windows at
# all. A newer function is looked up at run time; one present since Windows XP is added to
# the list, once checked.
#   cmake -DOBJDUMP=<objdump> -DFILES=<file>,<file>... -P check_imports.cmake
# comctl32 comes through the manifest's dependency on the common controls, which the
# side-by-side store supplies.
set(allowed advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
            oleaut32.dll shell32.dll user32.dll)

file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/xp_functions.txt known REGEX "^[^#]")

string(REPLACE "," ";" files "${FILES}")
set(problems)
set(newer)
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
  # The functions, each under its library's "DLL Name" line: "<vma> <hint> <name>". (Lists
  # are split at ";", so the dump's own are set aside first.)
  string(REPLACE ";" "," dump "${dump}")
  string(REPLACE "\n" ";" lines "${dump}")
  set(library "")
  foreach(line ${lines})
    if(line MATCHES "DLL Name: *([^ ]+)")
      string(TOLOWER "${CMAKE_MATCH_1}" library)
    elseif(library AND line MATCHES "^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+([A-Za-z_0-9@?]+)[ \t]*$")
      list(FIND known "${library}:${CMAKE_MATCH_1}" found)
      if(found EQUAL -1)
        list(APPEND newer "${file} imports ${library}:${CMAKE_MATCH_1}")
      endif()
    elseif(line MATCHES "^[^ \t]")
      set(library "") # the next table of the dump
    endif()
  endforeach()
endforeach()
if(problems)
  string(REPLACE ";" "\n  " text "${problems}")
  message(FATAL_ERROR "libraries in import tables that a planted file could replace:\n  ${text}")
endif()
if(newer)
  list(REMOVE_DUPLICATES newer)
  string(REPLACE ";" "\n  " text "${newer}")
  message(FATAL_ERROR "functions not known to be on Windows XP (look them up at run time, or list "
                      "them in xp_functions.txt once checked):\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "import tables of ${count} programs: system libraries and functions Windows XP has")
