#include "dlgtext.h"

namespace {

/// The code point at `text[i]` and the bytes it takes; U+FFFD and one byte
/// for anything that is not well-formed UTF-8.
std::pair<char32_t, size_t> decode(std::string_view text, size_t i) {
    const auto byte = [&text](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return {lead, 1};
    size_t length = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return {0xFFFD, 1};
    }
    if (i + length > text.size())
        return {0xFFFD, 1};
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return {0xFFFD, 1};
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not characters.
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {0xFFFD, 1};
    return {cp, length};
}

void append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

namespace dlgtext {

size_t units(std::string_view text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size();) {
        const auto [cp, length] = decode(text, i);
        count += cp >= 0x10000 ? 2 : 1;
        i += length;
    }
    return count;
}

std::string left(std::string_view text, size_t count) {
    size_t used = 0, i = 0;
    while (i < text.size()) {
        const auto [cp, length] = decode(text, i);
        const size_t need = cp >= 0x10000 ? 2 : 1;
        if (used + need > count)
            break;
        used += need;
        i += length;
    }
    return std::string(text.substr(0, i));
}

std::string padded(std::string_view text, size_t count) {
    std::string out(text);
    const size_t have = units(text);
    if (have < count)
        out.append(count - have, '\0');
    return out;
}

std::string cutAtNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

std::u16string toUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto [cp, length] = decode(text, i);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += length;
    }
    return out;
}

std::string fromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        append(out, cp);
    }
    return out;
}

} // namespace dlgtext
