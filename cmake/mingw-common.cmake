# What both mingw-w64 toolchain files set, once ZOV_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
# The win32 thread model: the posix one links a thread library that needs functions of
# newer systems (GetTickCount64) than the program runs on; threads are made with the API.
set(CMAKE_C_COMPILER ${ZOV_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ZOV_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${ZOV_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZOV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
