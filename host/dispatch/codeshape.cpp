#include "codeshape.h"

namespace trapline::dispatch {

namespace {

bool blank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

/// A character that may belong to a word: a blank between two of them
/// parts the words, which is code, not spacing.
bool wordChar(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
           c == L'_' || c >= 0x80;
}

/// Lower case for the letters of the code pages VB code is written in:
/// Latin, Latin-1 and Cyrillic.
wchar_t folded(wchar_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x410 && c <= 0x42F))
        return static_cast<wchar_t>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<wchar_t>(c + 0x50);
    return c;
}

/// Whether `Rem` starts a comment at `at`: a statement's first word.
bool remAt(std::wstring_view line, size_t at, bool statementStart) {
    if (!statementStart || line.size() - at < 3)
        return false;
    for (size_t i = 0; i < 3; ++i)
        if (folded(line[at + i]) != L"rem"[i])
            return false;
    return line.size() == at + 3 || blank(line[at + 3]);
}

std::wstring_view trimmedEnd(std::wstring_view text) {
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::wstring codeShape(std::wstring_view line) {
    std::wstring shape;
    bool spaced = false;        // blanks since the last character kept
    bool statementStart = true; // only blanks since the line's start or a ':'
    auto keep = [&](wchar_t c) {
        if (spaced && !shape.empty() && wordChar(shape.back()) && wordChar(c))
            shape += L' ';
        spaced = false;
        shape += c;
    };
    for (size_t i = 0; i < line.size(); ++i) {
        const wchar_t c = line[i];
        if (blank(c)) {
            spaced = true;
            continue;
        }
        if (c == L'\'' || remAt(line, i, statementStart)) {
            const size_t text = c == L'\'' ? i + 1 : i + 3;
            keep(c == L'\'' ? L'\'' : L'r');
            if (c != L'\'')
                shape += L"em";
            shape += trimmedEnd(line.substr(text));
            return shape;
        }
        if (c == L'"') {
            // A string runs to the next lone quote; "" inside it is a quote.
            keep(c);
            size_t j = i + 1;
            for (; j < line.size(); ++j) {
                shape += line[j];
                if (line[j] == L'"') {
                    if (j + 1 < line.size() && line[j + 1] == L'"')
                        shape += line[++j];
                    else
                        break;
                }
            }
            i = j;
            statementStart = false;
            continue;
        }
        keep(folded(c));
        statementStart = c == L':';
    }
    return shape;
}

} // namespace trapline::dispatch
