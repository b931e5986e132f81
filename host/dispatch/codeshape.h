#pragma once

// What of a line of code the IDE's code window may change as it lists it:
// keywords and identifiers re-cased (`ON ERROR GOTO` becomes `On Error
// GoTo`, an identifier takes the case of its declaration across the
// project) and spacing between the parts of a statement made even. String
// contents and comments it leaves alone. Plain C++, so that the rule can be
// checked without the IDE.

#include <string>
#include <string_view>

namespace trapline::dispatch {

/// `line` as VB compares code: letters outside strings and comments in one
/// case, blanks (spaces and tabs) outside strings and comments dropped, or
/// kept as one space where they part two words; a comment (`'` or a `Rem`
/// statement) without its trailing blanks. Strings, `""` in them included,
/// and comment text stay as they are.
///
///     codeShape(L"ON ERROR  GOTO e ' Handler  ") == codeShape(L"On Error GoTo E ' Handler")
std::wstring codeShape(std::wstring_view line);

/// Whether two lines hold the same code, as codeShape() compares them.
inline bool sameCode(std::wstring_view a, std::wstring_view b) {
    return a == b || codeShape(a) == codeShape(b);
}

} // namespace trapline::dispatch
