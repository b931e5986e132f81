#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace trapline::cli {

/// Where a command's text goes: a standard stream, written through the
/// platform so that a Windows console shows it (Russian included) and a
/// redirected stream gets UTF-8 bytes with LF line ends; or, made without a
/// stream, a string that collects it.
class TextOut {
public:
    TextOut() = default;
    explicit TextOut(std::FILE* stream) : m_stream(stream) {}

    void write(std::string_view text);
    /// printf's formatting (C99's, %zu included, also on Windows), then write().
    void format(const char* pattern, ...) __attribute__((format(gnu_printf, 2, 3)));

    /// The stream, or null when collecting.
    std::FILE* stream() const { return m_stream; }
    /// What was written, when collecting.
    const std::string& collected() const { return m_collected; }

private:
    std::FILE* m_stream = nullptr;
    std::string m_collected;
};

} // namespace trapline::cli
