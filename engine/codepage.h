#pragma once

#include "result.h"

#include <string>
#include <string_view>

namespace trapline {

/// The bytes that open a two-byte character in a double-byte code page (932,
/// 936, 949, 950): the byte after one belongs to the same character, whatever
/// it is, ASCII bytes such as '\\', '@' or 'A' included (Shift-JIS 0x95 0x5C
/// is one character).
struct LeadBytes {
    bool is[256] = {};
};

/// The ANSI code page a project's files are written in. The code model keeps
/// the bytes as they are; text crosses into UTF-8 only at the edges (names in
/// JSON, paths in a .vbp, text typed by the user).
class Codepage {
public:
    /// The default: Windows-1251.
    Codepage();

    /// Accepts iconv names ("CP1251", "windows-1252") and bare Windows code
    /// page numbers ("1251", "65001"). Fails for a name the system cannot convert.
    static Result<Codepage> open(std::string_view name);

    const std::string& name() const { return m_name; }

    /// Whether a character can take a second byte in the ASCII range, which
    /// words and names must then be read character by character to see.
    bool isDoubleByte() const { return m_lead != nullptr; }
    /// The lead bytes of a double-byte code page, learnt from its codec (so
    /// every name of it agrees); null for every other code page.
    const LeadBytes* leadBytes() const { return m_lead; }

    /// Decodes bytes of this code page. A byte sequence the code page does not
    /// define becomes U+FFFD, so the result is always valid UTF-8.
    std::string toUtf8(std::string_view bytes) const;

    /// Encodes UTF-8 text. Fails, naming the first character, when the code
    /// page has no such character or the input is not valid UTF-8.
    Result<std::string> fromUtf8(std::string_view utf8) const;

    /// Whether `text` is well-formed UTF-8.
    static bool isValidUtf8(std::string_view text);

private:
    Codepage(std::string name, const LeadBytes* lead) : m_name(std::move(name)), m_lead(lead) {}
    std::string m_name;
    const LeadBytes* m_lead = nullptr; ///< static: shared by every copy, never freed
};

} // namespace trapline
