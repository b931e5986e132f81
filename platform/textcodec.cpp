#include "textcodec.h"

// What differs between the systems lives in one file per side.
#ifdef _WIN32
#include "windows/textcodec.inc"
#else
#include "posix/textcodec.inc"
#endif
