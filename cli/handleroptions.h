#pragma once

#include "codepage.h"
#include "insertionoptions.h"
#include "insertionrun.h"
#include "projectinput.h"

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace trapline {
struct FileOutcome;
}

namespace trapline::cli {

/// The options `insert`, `remove`, `refresh` and `check` share: which
/// procedures (--module, --proc, the type filters, --include-trapped) and
/// which handler (the standard one, commented or --live, or --header and
/// --footer templates).
class HandlerOptions {
public:
    /// Declares the options on `app`; --include-trapped only for the commands
    /// that insert (or check what insert would do); --live, --header and
    /// --footer only for the commands that work with handlers.
    void define(CLI::App& app, bool trapFilter, bool handler = true);

    /// Whether both --header and --footer, or neither, were given.
    bool templatesPaired() const { return m_header.has_value() == m_footer.has_value(); }
    const std::string& codepage() const { return m_codepage; }

    /// The options that say what a command works with; reports through
    /// `input` and gives nothing when they are unusable (an empty --proc, a
    /// name the code page cannot hold, an unreadable template).
    std::optional<InsertionOptions> read(const Codepage& codepage, ProjectInput& input) const;

    /// A template file as the window would hand its text over: UTF-8 (a file
    /// that is not valid UTF-8 is read in the project's code page, as template
    /// files written on Windows are) with CR LF line breaks.
    static Result<std::string> readTemplate(const std::string& path, const Codepage& cp);

private:
    std::string m_module = "*";
    std::string m_proc = "*";
    bool m_subs = false;
    bool m_functions = false;
    bool m_properties = false;
    bool m_includeTrapped = false;
    bool m_live = false;
    bool m_erl = false;
    std::optional<std::string> m_header;
    std::optional<std::string> m_footer;
    std::string m_codepage = "1251";
};

/// The name a file goes by in messages: relative to the current folder.
std::string displayPath(const std::string& path);
/// How messages name a component: its file as displayPath() shows it, or
/// for a module of an Office document "Book.xlsm:Module1".
std::string shownComponent(const Component& component);
/// How messages name where an outcome's problem lies: its component, or the
/// whole document when the problem concerns all of it.
std::string shownOutcome(const FileOutcome& outcome);

/// A file name for JSON: UTF-8, converted from the code page when the name's
/// bytes are not UTF-8 already.
std::string utf8Path(const std::string& path, const Codepage& codepage);

/// `{"treated": [...], "failed": [...]}` as `trapline insert --json` prints it.
std::string runJson(const std::vector<RunSummary::Item>& treated,
                    const std::vector<RunSummary::Item>& failed, const Codepage& codepage);

} // namespace trapline::cli
