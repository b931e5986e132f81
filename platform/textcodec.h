#pragma once

// Conversion between an ANSI code page and UTF-8: iconv on POSIX,
// MultiByteToWideChar and WideCharToMultiByte on Windows. Both sides agree
// on which bytes a code page defines: a byte the code page leaves undefined
// (0x98 in Windows-1251, 0x81 in Windows-1252) stops a conversion, as iconv
// does.

#include <memory>
#include <string>
#include <string_view>

namespace trapline::platform {

class TextCodec {
public:
    /// `name` as iconv knows it ("CP1251", "windows-1252", "UTF-8"); null
    /// when the system cannot convert it.
    static std::unique_ptr<TextCodec> open(const std::string& name);
    virtual ~TextCodec() = default;

    /// Appends the UTF-8 of `bytes` to `out`, stopping at the first byte
    /// sequence the code page does not define; returns the bytes taken.
    virtual size_t decode(std::string_view bytes, std::string& out) = 0;
    /// Appends the code page's bytes for `utf8` to `out`, stopping at the
    /// first character it cannot hold exactly (no best fit); returns the
    /// bytes of `utf8` taken.
    virtual size_t encode(std::string_view utf8, std::string& out) = 0;
};

} // namespace trapline::platform
