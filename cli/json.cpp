#include "json.h"

#include <cstdio>

namespace trapline::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

/// The sequence starting at `text[i]` (a byte of 0x80 or more): its length
/// when well-formed, otherwise the length of its maximal ill-formed part,
/// which is the lead byte and whatever continuation bytes fitted it.
struct Sequence {
    size_t length;
    bool valid;
};

Sequence sequenceAt(std::string_view text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t continuations = 0;
    // The range of the first continuation byte is narrower after some leads:
    // it is what rules out overlong forms, surrogates and values past U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuations = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuations = 2;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuations = 3;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {1, false}; // a continuation byte, C0, C1 or F5 to FF
    }
    for (size_t k = 1; k <= continuations; ++k) {
        if (i + k >= text.size())
            return {k, false};
        const auto b = static_cast<unsigned char>(text[i + k]);
        if (b < low || b > high)
            return {k, false};
        low = 0x80;
        high = 0xBF;
    }
    return {continuations + 1, true};
}

void appendAscii(std::string& out, char c) {
    switch (c) {
    case '"':
        out += "\\\"";
        break;
    case '\\':
        out += "\\\\";
        break;
    case '\n':
        out += "\\n";
        break;
    case '\r':
        out += "\\r";
        break;
    case '\t':
        out += "\\t";
        break;
    default:
        if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out += buf;
        } else {
            out += c;
        }
    }
}

} // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            appendAscii(out, text[i++]);
            continue;
        }
        const Sequence s = sequenceAt(text, i);
        if (s.valid)
            out.append(text.substr(i, s.length));
        else
            out.append(kReplacement);
        i += s.length;
    }
    out += '"';
    return out;
}

} // namespace trapline::cli
