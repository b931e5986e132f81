#pragma once

#include "codepage.h"

#include <optional>
#include <string>
#include <string_view>

#include <bit>
#include <cstdint>
#include <cstring>

/// Text tests on single lines of VB6 code. They are deliberately shallow: no
/// expression parsing, only what is needed to tile a module into procedures
/// the way the IDE's code window does.
namespace trapline::vb {

/// For its lifetime, the text this thread scans is in the code page whose lead
/// bytes are `lead` (null: a single-byte code page, the default), and the
/// scanners below take a double-byte character whole. Made where a module's
/// code page is known, for the length of its parse; scopes nest. The scanners
/// look at it only where a byte >= 0x80 meets an ASCII byte that could be its
/// second half, so single-byte text pays nothing for it.
class CodepageScope {
public:
    explicit CodepageScope(const LeadBytes* lead);
    ~CodepageScope();
    CodepageScope(const CodepageScope&) = delete;
    CodepageScope& operator=(const CodepageScope&) = delete;

private:
    const LeadBytes* m_previous;
};

/// The lead bytes the innermost CodepageScope of this thread gives, or null.
const LeadBytes* scanLeadBytes();

/// Where the word (letters, digits, '_', characters outside ASCII) starting at
/// `pos` ends; `pos` when none starts there. A double-byte character counts
/// whole: "表示" (0x95 0x5C 0x8E 0xA6) is one word in Shift-JIS, but "х^2" in
/// Windows-1251 is a word and an operator. `pos` must start a character.
size_t wordEnd(std::string_view s, size_t pos);

/// Whether `pos` starts a character of `s`, rather than pointing at the
/// second byte of a double-byte one. Always true for single-byte text.
bool startsCharacter(std::string_view s, size_t pos);

/// `name` in lower case, for looking names up: ASCII letters lowered, except
/// the second byte of a double-byte character of `lead`'s code page (Shift-JIS
/// 0x83 0x41 and 0x83 0x61 are different letters).
std::string lowerName(std::string_view name, const LeadBytes* lead);

namespace detail {
/// Whether `s[i]` is the second byte of a double-byte character of the code
/// page in scope (see CodepageScope).
bool isTrailByte(std::string_view s, size_t i);
} // namespace detail

/// A Sub, Function or Property declaration statement.
struct Declaration {
    std::string name;            ///< without a type suffix ("Pad" for "Pad$")
    int procType = 0;            ///< 0 Sub, 1 Function, 2 Property
    int procKind = 0;            ///< host kind: 0 Sub/Function, 1 Let, 2 Set, 3 Get
    bool endsOnSameLine = false; ///< "Sub X(): End Sub"
};

/// Recognises "[Public|Private|Friend] [Static] Sub|Function|Property Get|Let|Set Name".
/// Keywords compare without regard to case. `Declare`, `Event` and the like are no
/// declarations here. `statement` is one logical line (continuations joined).
inline std::optional<Declaration> parseDeclaration(std::string_view statement);

/// 0 (Sub) or 1 (Function) for the first line of a Sub or Function declaration,
/// decided by its keyword, so "Private Function ParseSub (x)" is a Function;
/// a line that is no whole declaration is a Sub when it holds "Sub ".
int subOrFunction(std::string_view declarationLine);

/// 0, 1 or 2 when the line is an "End Sub", "End Function" or "End Property"
/// statement (leading blanks and a line number allowed, a comment may follow).
inline std::optional<int> endStatementType(std::string_view line);

/// The line ends with the continuation " _" (trailing blanks ignored). Also true
/// for comments, which VB continues the same way.
inline bool isContinued(std::string_view line);

/// "Attribute X.VB_... = ..." lines, which the code window hides.
bool isAttributeLine(std::string_view line);

/// Empty, only blanks, or a comment ("'" or "Rem").
inline bool isBlankOrComment(std::string_view line);

enum class Directive { None, If, ElseIf, Else, EndIf, Other };

/// The conditional-compilation directive a line holds, if any.
inline Directive directive(std::string_view line);

/// The value of "Attribute <name>.VB_UserMemId = <n>", if the line is that.
std::optional<long> userMemId(std::string_view line, std::string_view name);

/// The value of a module attribute line "Attribute <name> = <value>", its
/// quotes removed ("Attribute VB_Name = \"Main\"" gives Main for VB_Name).
std::optional<std::string> moduleAttribute(std::string_view line, std::string_view name);

/// The label a line begins with, blanks before it allowed: an identifier
/// followed at once by ':' ("err_debug:", "Retry: Resume") or a line number
/// ("100 x = 1", "100:"). Comments hold none, and a statement keyword
/// standing alone before ':' ("Else: x = 1", "Stop: End") is no label.
std::optional<std::string_view> lineLabel(std::string_view line);

/// `s` starts with the keyword `word` (letter case ignored) followed by
/// something that cannot continue a word: "Case Else" starts with "Case",
/// "Cases" does not.
bool startsWithKeyword(std::string_view s, std::string_view word);

/// `s` with its ASCII letters in lower case; other bytes as they are.
std::string lowerAscii(std::string_view s);

/// Compares ASCII letters without regard to case; other bytes exactly, and so
/// is a letter that is the second byte of a double-byte character (see
/// CodepageScope). Inline: every line of a module meets it several times.
inline bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        // Equal up to the case bit, and that bit set only for a letter, which
        // only a byte >= 0x80 before it can make half of another character.
        const unsigned char x = static_cast<unsigned char>(a[i]),
                            y = static_cast<unsigned char>(b[i]);
        if (x != y &&
            ((x | 0x20) != (y | 0x20) || static_cast<unsigned char>((x | 0x20) - 'a') > 'z' - 'a' ||
             (i > 0 && static_cast<unsigned char>(a[i - 1]) >= 0x80 && detail::isTrailByte(a, i))))
            return false;
    }
    return true;
}

/// `s` with leading spaces and tabs removed.
inline std::string_view trimLeft(std::string_view s) {
    size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Every test of every line starts here, past an indent of spaces:
        // eight of them are passed at once.
        constexpr uint64_t kSpaces = 0x2020202020202020ull;
        while (s.size() - i >= 8) {
            uint64_t v;
            std::memcpy(&v, s.data() + i, 8);
            const uint64_t x = v ^ kSpaces;
            if (x != 0) {
                i += static_cast<size_t>(std::countr_zero(x)) / 8;
                if (s[i] != '\t')
                    return s.substr(i);
                ++i;
            } else {
                i += 8;
            }
        }
    }
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    return s.substr(i);
}

/// `s` without leading and trailing blanks (spaces, tabs, a stray CR).
std::string trim(std::string_view s);

// The line tests every consumer runs on every line: each turns most lines
// away by their first byte here, inline, and only the rest pay for a call.
namespace detail {
std::optional<Declaration> declarationAt(std::string_view statement);
std::optional<int> endStatementAt(std::string_view trimmed);
Directive directiveAt(std::string_view trimmed);
} // namespace detail

inline std::optional<Declaration> parseDeclaration(std::string_view statement) {
    // Every declaration starts with P(ublic|rivate|roperty), F(riend|unction)
    // or S(tatic|ub): a letter of those, then u, r or t ("Set", "Select" and
    // "For" go no further).
    const std::string_view t = trimLeft(statement);
    if (t.size() < 2)
        return std::nullopt;
    const char first = static_cast<char>(t[0] | 0x20), second = static_cast<char>(t[1] | 0x20);
    if ((first != 'p' && first != 'f' && first != 's') ||
        (second != 'u' && second != 'r' && second != 't'))
        return std::nullopt;
    return detail::declarationAt(statement);
}

inline std::optional<int> endStatementType(std::string_view line) {
    const std::string_view t = trimLeft(line);
    if (t.empty() || ((t[0] | 0x20) != 'e' && (t[0] < '0' || t[0] > '9')))
        return std::nullopt;
    return detail::endStatementAt(t);
}

inline bool isContinued(std::string_view line) {
    size_t end = line.size();
    while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t'))
        --end;
    if (end == 0 || line[end - 1] != '_')
        return false;
    return end == 1 || line[end - 2] == ' ' || line[end - 2] == '\t';
}

inline bool isBlankOrComment(std::string_view line) {
    const std::string_view t = trimLeft(line);
    if (t.empty() || t[0] == '\'')
        return true;
    return (t[0] | 0x20) == 'r' && startsWithKeyword(t, "Rem");
}

inline Directive directive(std::string_view line) {
    const std::string_view t = trimLeft(line);
    if (t.empty() || t[0] != '#')
        return Directive::None;
    return detail::directiveAt(t);
}

} // namespace trapline::vb
