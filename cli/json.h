#pragma once

#include <string>
#include <string_view>

namespace trapline::cli {

/// `text` as a JSON string literal, quotes included, always valid UTF-8.
/// UTF-8 passes through; bytes that are not (overlong forms, surrogates, code
/// points past U+10FFFF, stray or cut-short sequences) become U+FFFD, one for
/// each maximal ill-formed part, as the Unicode Standard recommends and as
/// browsers and Python decode.
std::string jsonString(std::string_view text);

} // namespace trapline::cli
