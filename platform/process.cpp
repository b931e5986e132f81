#include "process.h"

// What differs between the systems lives in one file per side.
#ifdef _WIN32
#include "windows/process.inc"
#else
#include "posix/process.inc"
#endif
