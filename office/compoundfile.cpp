#include "compoundfile.h"

namespace trapline::office {

std::vector<std::string> splitPath(std::string_view path) {
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= path.size() && !path.empty()) {
        const size_t slash = std::min(path.find('/', pos), path.size());
        parts.emplace_back(path.substr(pos, slash - pos));
        pos = slash + 1;
    }
    return parts;
}

} // namespace trapline::office

// What differs between the systems lives in one file per side.
#ifdef _WIN32
#include "windows/compoundfile.inc"
#else
#include "posix/compoundfile.inc"
#endif
