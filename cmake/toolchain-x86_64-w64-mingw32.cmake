# Cross-builds the x64 programs on Linux with MinGW-w64; ctest runs them
# under wine64.
set(TRAPLINE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TRAPLINE_WINE_NAMES wine64 wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
