#pragma once

#include "linestore.h"
#include "result.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace trapline {

/// Writes a change as a unified diff that `patch -p0` applies.
class UnifiedDiff {
public:
    /// The diff of one file, labelled `name` on both sides, with three lines
    /// of context; empty when nothing changed. `eol` is written after lines
    /// that owe one. `name` should come from patchName(); `mtimeNs` is the
    /// file's modification time (nanoseconds since 1970, UTC; 0 for a file
    /// not yet on disk).
    static std::string of(const std::string& name, const std::vector<LineStore::Edit>& edits,
                          std::string_view eol, int64_t mtimeNs);

    /// The "--- " and "+++ " lines of a diff of `name`, as `diff -u` writes
    /// them: the name, quoted only where patch would misread it, a tab and
    /// the time.
    static std::string headers(std::string_view name, int64_t mtimeNs);

    /// The name under which `patch -p0`, run in `currentFolder`, finds the
    /// file at `path` (relative to `currentFolder`, or absolute): relative,
    /// without "." or ".." parts. Error 75 for a file outside `currentFolder`,
    /// which patch refuses to touch under any name.
    static Result<std::string> patchName(const std::string& path,
                                         const std::filesystem::path& currentFolder);
};

} // namespace trapline
