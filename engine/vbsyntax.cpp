#include "vbsyntax.h"

#include <charconv>

namespace trapline::vb {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Which bytes can be part of a word: letters, digits, '_' and every byte
/// of a character outside ASCII. A table, as every word of every line is
/// scanned with it.
struct IdentBytes {
    bool is[256] = {};
    constexpr IdentBytes() {
        for (int u = 0; u < 256; ++u)
            is[u] = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                    u == '_' || u >= 0x80;
    }
};
constexpr IdentBytes kIdentBytes;

bool isIdentChar(char c) {
    return kIdentBytes.is[static_cast<unsigned char>(c)];
}

/// The lead bytes of the text this thread scans (see CodepageScope).
thread_local const LeadBytes* t_lead = nullptr;

/// wordEnd() for a word whose scan stopped at `end`, an ASCII byte after a
/// byte >= 0x80: in a double-byte code page it may be that byte's second half.
size_t doubleByteWordEnd(std::string_view s, size_t pos, size_t end) {
    const LeadBytes* lead = t_lead;
    if (!lead)
        return end;
    while (pos < s.size()) {
        if (lead->is[static_cast<unsigned char>(s[pos])] && pos + 1 < s.size())
            pos += 2;
        else if (isIdentChar(s[pos]))
            ++pos;
        else
            break;
    }
    return pos;
}

bool isIdentStart(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80;
}

/// Reads the next word (identifier characters) after blanks; advances `pos`.
std::string_view nextWord(std::string_view s, size_t& pos) {
    while (pos < s.size() && isSpace(s[pos]))
        ++pos;
    size_t start = pos;
    pos = wordEnd(s, pos);
    return s.substr(start, pos - start);
}

/// True when `s` starts with the keyword `word` followed by a word boundary.
bool startsWithWord(std::string_view s, std::string_view word) {
    if (s.size() < word.size() || !equalsNoCase(s.substr(0, word.size()), word))
        return false;
    return s.size() == word.size() || !isIdentChar(s[word.size()]);
}

/// Skips blanks and a leading line number ("100 End Sub").
std::string_view skipLineNumber(std::string_view s) {
    s = trimLeft(s);
    if (s.empty() || s[0] < '0' || s[0] > '9')
        return s;
    size_t i = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    if (i > 0 && i < s.size() && isSpace(s[i]))
        return trimLeft(s.substr(i));
    return s;
}

std::optional<int> endKeywordAt(std::string_view s) {
    // Most lines are turned away by their first letter.
    if (s.empty() || (s[0] | 0x20) != 'e' || !startsWithWord(s, "End"))
        return std::nullopt;
    size_t pos = 3;
    if (pos >= s.size() || !isSpace(s[pos]))
        return std::nullopt;
    std::string_view word = nextWord(s, pos);
    if (pos < s.size() && !(isSpace(s[pos]) || s[pos] == '\'' || s[pos] == ':'))
        return std::nullopt;
    if (equalsNoCase(word, "Sub"))
        return 0;
    if (equalsNoCase(word, "Function"))
        return 1;
    if (equalsNoCase(word, "Property"))
        return 2;
    return std::nullopt;
}

/// True when a later statement of the line (after a ":" outside strings and
/// before any comment) is an End Sub/Function/Property.
bool hasTrailingEnd(std::string_view s) {
    // Most declarations hold no ':' at all: one search passes them.
    if (s.find(':') == std::string_view::npos)
        return false;
    bool inString = false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"')
            inString = !inString;
        else if (!inString && c == '\'')
            return false;
        else if (!inString && c == ':' && (i + 1 >= s.size() || s[i + 1] != '=')) {
            if (endKeywordAt(trimLeft(s.substr(i + 1))))
                return true;
        }
    }
    return false;
}

} // namespace

CodepageScope::CodepageScope(const LeadBytes* lead) : m_previous(t_lead) {
    t_lead = lead;
}

CodepageScope::~CodepageScope() {
    t_lead = m_previous;
}

const LeadBytes* scanLeadBytes() {
    return t_lead;
}

size_t wordEnd(std::string_view s, size_t pos) {
    size_t end = pos;
    while (end < s.size() && isIdentChar(s[end]))
        ++end;
    // Only a byte in 0x40..0x7E can be the second half of a character without
    // being a word's byte, and only after a byte >= 0x80.
    if (end > pos && end < s.size() && static_cast<unsigned char>(s[end - 1]) >= 0x80 &&
        static_cast<unsigned char>(s[end]) >= 0x40 && static_cast<unsigned char>(s[end]) < 0x7F)
        return doubleByteWordEnd(s, pos, end);
    return end;
}

bool detail::isTrailByte(std::string_view s, size_t i) {
    const LeadBytes* lead = t_lead;
    if (!lead || i == 0 || i >= s.size())
        return false;
    size_t k = 0;
    while (k < i)
        k += lead->is[static_cast<unsigned char>(s[k])] ? 2 : 1;
    return k > i;
}

bool startsCharacter(std::string_view s, size_t pos) {
    // After an ASCII byte a character always starts: no lead byte is ASCII.
    if (pos == 0 || pos > s.size() || static_cast<unsigned char>(s[pos - 1]) < 0x80)
        return true;
    return !detail::isTrailByte(s, pos);
}

std::string lowerName(std::string_view name, const LeadBytes* lead) {
    std::string out(name);
    for (size_t i = 0; i < out.size(); ++i) {
        if (lead && lead->is[static_cast<unsigned char>(out[i])])
            ++i; // the second byte is kept as it is
        else
            out[i] = lower(out[i]);
    }
    return out;
}

std::string trim(std::string_view s) {
    s = trimLeft(s);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return std::string(s);
}

std::optional<Declaration> detail::declarationAt(std::string_view statement) {
    // Each word is read once and compared with the keywords that may stand
    // there; a line that is no declaration is left after a word or two,
    // never scanned whole. `pos` is past the last keyword taken.
    size_t pos = 0, next = 0;
    std::string_view word = nextWord(statement, next);
    auto take = [&](std::string_view keyword) {
        if (!equalsNoCase(word, keyword))
            return false;
        pos = next;
        word = nextWord(statement, next);
        return true;
    };
    if (!take("Public") && !take("Private"))
        take("Friend");
    take("Static");

    Declaration d;
    if (take("Sub")) {
        d.procType = 0;
    } else if (take("Function")) {
        d.procType = 1;
    } else if (take("Property")) {
        d.procType = 2;
        if (take("Get"))
            d.procKind = 3;
        else if (take("Let"))
            d.procKind = 1;
        else if (take("Set"))
            d.procKind = 2;
        else
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (pos >= statement.size() || !isSpace(statement[pos]))
        return std::nullopt;
    std::string_view name = nextWord(statement, pos);
    if (name.empty() || !isIdentStart(name[0]))
        return std::nullopt;
    d.name = std::string(name);
    // A type suffix ("Pad$") is not part of the name the IDE knows.
    if (pos < statement.size() &&
        std::string_view("%&!#@$").find(statement[pos]) != std::string_view::npos)
        ++pos;
    if (pos < statement.size()) {
        char c = statement[pos];
        if (!(isSpace(c) || c == '(' || c == '\'' || c == ':'))
            return std::nullopt;
    }
    d.endsOnSameLine = hasTrailingEnd(statement.substr(pos));
    return d;
}

int subOrFunction(std::string_view declarationLine) {
    if (auto d = parseDeclaration(declarationLine))
        return d->procType == 0 ? 0 : 1;
    return declarationLine.find("Sub ") != std::string_view::npos ? 0 : 1;
}

std::optional<std::string_view> lineLabel(std::string_view line) {
    std::string_view t = trimLeft(line);
    size_t n = 0;
    if (!t.empty() && t[0] >= '0' && t[0] <= '9') {
        while (n < t.size() && t[n] >= '0' && t[n] <= '9')
            ++n;
        if (n == t.size() || isSpace(t[n]) || t[n] == ':')
            return t.substr(0, n);
        return std::nullopt;
    }
    // A named label ends in ':': one search passes over most lines.
    if (t.find(':') == std::string_view::npos)
        return std::nullopt;
    if (t.empty() || !isIdentStart(t[0]) || startsWithWord(t, "Rem"))
        return std::nullopt;
    n = wordEnd(t, 0);
    // "x:=1" names an argument; it cannot start a line, but it is no label.
    // Most lines go no further: no ':' right after their first word.
    if (n == t.size() || t[n] != ':' || (n + 1 < t.size() && t[n + 1] == '='))
        return std::nullopt;
    // A statement keyword that stands alone before a ':' ("Else: x = 1",
    // "Stop: End") is a statement; a reserved word cannot be a label.
    static constexpr std::string_view kBare[] = {"Beep",   "Close", "Do",     "Else",      "End",
                                                 "Loop",   "Next",  "Return", "Randomize", "Reset",
                                                 "Resume", "Stop",  "Wend"};
    for (std::string_view word : kBare)
        if (equalsNoCase(t.substr(0, n), word))
            return std::nullopt;
    return t.substr(0, n);
}

bool startsWithKeyword(std::string_view s, std::string_view word) {
    return startsWithWord(s, word);
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = lower(c);
    return out;
}

std::optional<int> detail::endStatementAt(std::string_view trimmed) {
    return endKeywordAt(skipLineNumber(trimmed));
}

bool isAttributeLine(std::string_view line) {
    return line.size() > 10 && equalsNoCase(line.substr(0, 9), "Attribute") && isSpace(line[9]);
}

Directive detail::directiveAt(std::string_view trimmed) {
    std::string_view t = trimLeft(trimmed.substr(1));
    if (startsWithWord(t, "If"))
        return Directive::If;
    if (startsWithWord(t, "ElseIf"))
        return Directive::ElseIf;
    if (startsWithWord(t, "Else"))
        return Directive::Else;
    if (startsWithWord(t, "End")) {
        size_t pos = 3;
        if (equalsNoCase(nextWord(t, pos), "If"))
            return Directive::EndIf;
    }
    if (startsWithWord(t, "EndIf"))
        return Directive::EndIf;
    return Directive::Other;
}

std::optional<std::string> moduleAttribute(std::string_view line, std::string_view name) {
    if (!isAttributeLine(line))
        return std::nullopt;
    std::string_view rest = trimLeft(line.substr(10));
    if (rest.size() <= name.size() || !equalsNoCase(rest.substr(0, name.size()), name) ||
        isIdentChar(rest[name.size()]) || rest[name.size()] == '.')
        return std::nullopt;
    rest = trimLeft(rest.substr(name.size()));
    if (rest.empty() || rest[0] != '=')
        return std::nullopt;
    rest = trimLeft(rest.substr(1));
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r'))
        rest.remove_suffix(1);
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
        rest = rest.substr(1, rest.size() - 2);
    return std::string(rest);
}

std::optional<long> userMemId(std::string_view line, std::string_view name) {
    if (!isAttributeLine(line))
        return std::nullopt;
    std::string_view rest = trimLeft(line.substr(10));
    std::string expected = std::string(name) + ".VB_UserMemId";
    if (rest.size() < expected.size() || !equalsNoCase(rest.substr(0, expected.size()), expected))
        return std::nullopt;
    rest = trimLeft(rest.substr(expected.size()));
    if (rest.empty() || rest[0] != '=')
        return std::nullopt;
    rest = trimLeft(rest.substr(1));
    long value = 0;
    auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (ec != std::errc())
        return std::nullopt;
    return value;
}

} // namespace trapline::vb
