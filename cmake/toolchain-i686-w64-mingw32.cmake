# Cross-builds the x86 programs on Linux with MinGW-w64; ctest runs them
# under wine.
set(TRAPLINE_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TRAPLINE_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
