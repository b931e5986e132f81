# What both MinGW-w64 toolchain files share; each sets TRAPLINE_MINGW_TRIPLE,
# CMAKE_SYSTEM_PROCESSOR and TRAPLINE_WINE_NAMES first. The posix thread
# model gives std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TRAPLINE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRAPLINE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TRAPLINE_MINGW_TRIPLE}-windres)

# Only the MinGW sysroot is searched for headers and libraries: the Linux
# ones under /usr/include and /usr/lib would shadow it.
set(CMAKE_FIND_ROOT_PATH /usr/${TRAPLINE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TRAPLINE_WINE NAMES ${TRAPLINE_WINE_NAMES} PATHS /usr/lib/wine
             NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TRAPLINE_WINE})
