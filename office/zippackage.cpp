#include "zippackage.h"

// What differs between the systems lives in one file per side.
#ifdef _WIN32
#include "windows/zippackage.inc"
#else
#include "posix/zippackage.inc"
#endif
