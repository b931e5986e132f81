#include "textout.h"

#include "platform/process.h"

#include <cstdarg>

namespace trapline::cli {

void TextOut::write(std::string_view text) {
    if (m_stream)
        platform::writeText(m_stream, text);
    else
        m_collected.append(text);
}

void TextOut::format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string text(size > 0 ? size_t(size) : 0, '\0');
    if (size > 0)
        std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    va_end(again);
    write(text);
}

} // namespace trapline::cli
