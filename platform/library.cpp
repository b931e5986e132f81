#include "library.h"

// What differs between the systems lives in one file per side.
#ifdef _WIN32
#include "windows/library.inc"
#else
#include "posix/library.inc"
#endif
