#pragma once

#include "component.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trapline {

/// The text of a .vbp project file: "Key=Value" lines, then optional
/// "[Section]" blocks. Kept line by line so that a rewrite changes only what
/// it means to change.
class VbpFile {
public:
    /// A component line: "Module=Name; path", "Class=Name; path", or one of
    /// "Form=", "UserControl=", "PropertyPage=", "UserDocument=",
    /// "Designer=" with a path alone.
    struct Entry {
        ComponentType type;
        std::string name; ///< empty where the line carries only a path
        std::string path; ///< as written: relative, backslashes, in the code page
        long line = 0;    ///< 1-based
    };
    /// A component line that could not be understood.
    struct Problem {
        long line = 0;
        std::string message;
    };

    /// Splits a .vbp's bytes. Never fails: odd lines are kept as they are.
    static VbpFile parse(std::string bytes);

    const std::vector<Entry>& entries() const { return m_entries; }
    const std::vector<Problem>& problems() const { return m_problems; }
    /// The Name= value without its quotes.
    const std::string& name() const { return m_name; }

    /// The file's bytes with `line` (no line end) added after the last line of
    /// the same key, or after the last component line, before any section.
    std::string withLineAdded(std::string_view key, std::string_view line) const;

    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    std::vector<Entry> m_entries;
    std::vector<Problem> m_problems;
    std::string m_name;
};

} // namespace trapline
