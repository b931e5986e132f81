#include "filesystem.h"

// What differs between the systems lives in one file per side.
#ifdef _WIN32
#include "windows/filesystem.inc"
#else
#include "posix/filesystem.inc"
#endif
