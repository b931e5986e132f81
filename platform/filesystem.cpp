#include "filesystem.h"

// What differs between the systems lives in one file per side.
#ifdef _WIN32
#include "windows/filesystem.inc"
#else
#include "posix/filesystem.inc"
#endif

namespace trapline::platform {

namespace {
#ifdef _WIN32
constexpr const char* kSeparators = "/\\";
#else
constexpr const char* kSeparators = "/";
#endif
} // namespace

std::string parentFolder(const std::string& path) {
    size_t slash = path.find_last_of(kSeparators);
    if (slash == std::string::npos)
        return ".";
    bool root = slash == 0;
#ifdef _WIN32
    root = root || (slash == 2 && path[1] == ':'); // "C:\x" lies in "C:\", not in "C:"
#endif
    return root ? path.substr(0, slash + 1) : path.substr(0, slash);
}

std::string fileName(const std::string& path) {
    size_t slash = path.find_last_of(kSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace trapline::platform
