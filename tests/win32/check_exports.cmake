# Reads the export table of a built setup.exe and compares it with the client registry
# library's exported names, written out here independently of the .def file and the code.
#   cmake -DOBJDUMP=<objdump> -DEXE=<setup.exe> -DDECORATED=ON|OFF -P check_exports.cmake
set(names
  NR_StartupRegistry@0 NR_ShutdownRegistry@0 NR_RegOpen@8 NR_RegClose@4 NR_RegGetUsername@4
  NR_RegSetUsername@4 NR_RegIsWritable@4 NR_RegAddKey@16 NR_RegAddKeyRaw@16 NR_RegDeleteKey@12
  NR_RegDeleteKeyRaw@12 NR_RegGetKey@16 NR_RegGetKeyRaw@16 NR_RegGetEntryInfo@16
  NR_RegGetEntryString@20 NR_RegGetEntry@20 NR_RegSetEntryString@16 NR_RegSetEntry@24
  NR_RegDeleteEntry@12 NR_RegEnumSubkeys@24 NR_RegEnumEntries@24
  VR_CreateRegistry@12 VR_Close@0 VR_GetVersion@8 VR_GetPath@12 VR_SetDefaultDirectory@8
  VR_GetDefaultDirectory@12 VR_Install@16 VR_Remove@4 VR_Enum@16 VR_InRegistry@4
  VR_ValidateComponent@4 VR_SetRegDirectory@4 VR_SetRefCount@8 VR_GetRefCount@8
  VR_UninstallCreateNode@8 VR_GetUninstallUserName@12 VR_UninstallAddFileToList@8
  VR_UninstallFileExistsInList@8 VR_UninstallEnumSharedFiles@16 VR_UninstallDeleteFileFromList@8
  VR_UninstallDeleteSharedFilesKey@4 VR_UninstallDestroy@4 VR_EnumUninstall@24)

execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()
# The name table: "[   n] name" lines after "[Ordinal/Name Pointer] Table".
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${EXE} exports nothing")
endif()
string(SUBSTRING "${dump}" ${at} -1 table)
# The table ends at the first empty line.
string(FIND "${table}" "\n\n" end)
if(NOT end EQUAL -1)
  string(SUBSTRING "${table}" 0 ${end} table)
endif()
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" lines "${table}")
set(exported)
foreach(line ${lines})
  string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${line}")
  list(APPEND exported "${name}")
endforeach()

set(expected)
foreach(name ${names})
  if(DECORATED)
    list(APPEND expected "_${name}")
  else()
    string(REGEX REPLACE "@[0-9]+$" "" plain "${name}")
    list(APPEND expected "${plain}")
  endif()
endforeach()

set(problems)
foreach(name ${expected})
  list(FIND exported "${name}" found)
  if(found EQUAL -1)
    list(APPEND problems "missing: ${name}")
  endif()
endforeach()
foreach(name ${exported})
  list(FIND expected "${name}" found)
  if(found EQUAL -1)
    list(APPEND problems "unexpected: ${name}")
  endif()
endforeach()
list(LENGTH expected count)
if(problems)
  string(REPLACE ";" "\n  " text "${problems}")
  message(FATAL_ERROR "export table of ${EXE}:\n  ${text}")
endif()
message(STATUS "${EXE}: all ${count} registry exports present")
