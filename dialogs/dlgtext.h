#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// The text of the dialog records: UTF-8, NULs kept. A record's sizes count
/// characters as the system's wide records do, one per UTF-16 unit, so that
/// a buffer of 260 characters holds as many names here as there.
namespace dlgtext {

/// The length of `text` in UTF-16 units; a byte that is no UTF-8 counts one.
size_t units(std::string_view text);
/// The longest start of `text` of at most `count` units, never half a character.
std::string left(std::string_view text, size_t count);
/// `text` with NULs after it up to `count` units; unchanged when it is that long already.
std::string padded(std::string_view text, size_t count);
/// `text` up to its first NUL.
std::string cutAtNul(std::string_view text);

/// UTF-16 from UTF-8 and back; a byte that is no UTF-8 becomes U+FFFD.
std::u16string toUtf16(std::string_view text);
std::string fromUtf16(std::u16string_view text);

} // namespace dlgtext
