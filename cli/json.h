#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace trapline::cli {

/// The JSON trapline prints: keys stay in the order they were set.
using Json = nlohmann::ordered_json;

/// `value` as JSON text, indented by two spaces, with a final line break.
/// Always valid UTF-8: names and messages come from files in any code page,
/// so bytes that are not UTF-8 (overlong forms, surrogates, code points past
/// U+10FFFF, stray or cut-short sequences) become U+FFFD, one for each
/// maximal ill-formed part, as the Unicode Standard recommends and as
/// browsers and Python decode; the characters around them are kept.
std::string jsonText(const Json& value);

} // namespace trapline::cli
