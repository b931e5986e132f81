#pragma once

// Letter case as compound files and zip packages compare names: ASCII
// letters only, whatever code page the rest of a name is in.

#include <string>
#include <string_view>

namespace trapline::office {

/// `name` with its ASCII letters in upper case, for comparing names.
inline std::string folded(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return out;
}

/// Whether `text` starts with `head`, ASCII letters in any case.
inline bool startsWithNoCase(std::string_view text, std::string_view head) {
    return text.size() >= head.size() && folded(text.substr(0, head.size())) == folded(head);
}

} // namespace trapline::office
