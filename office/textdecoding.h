#pragma once

// Text a VBA project stores, turned into UTF-8: names and sources in the
// project's code page, and the UTF-16LE halves of names.

#include <cstdint>
#include <string>
#include <string_view>

namespace trapline::office {

/// The name the platform's text codec knows Windows code page `codePage` by
/// ("CP1252", "MACINTOSH" for 10000).
std::string codePageName(uint16_t codePage);

/// `bytes` of `codePage` as UTF-8; a byte the code page leaves undefined, or
/// a code page the system cannot convert, gives U+FFFD for that byte.
std::string decodeCodePage(std::string_view bytes, uint16_t codePage);

/// UTF-16LE as UTF-8; an unpaired surrogate or an odd last byte gives U+FFFD.
std::string utf16ToUtf8(std::string_view utf16le);

/// UTF-8 as UTF-16LE. Expects well-formed UTF-8 (decodeCodePage's output):
/// a malformed byte becomes U+FFFD.
std::string utf8ToUtf16(std::string_view utf8);

} // namespace trapline::office
