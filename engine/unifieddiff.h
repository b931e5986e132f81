#pragma once

#include "linestore.h"

#include <string>
#include <string_view>
#include <vector>

namespace trapline {

/// Writes a change as a unified diff that `patch -p0` applies.
class UnifiedDiff {
public:
    /// The diff of one file, labelled `path` on both sides, with three lines
    /// of context; empty when nothing changed. `eol` is written after lines
    /// that owe one.
    static std::string of(const std::string& path, const std::vector<LineStore::Edit>& edits,
                          std::string_view eol);
};

} // namespace trapline
