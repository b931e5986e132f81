#pragma once

// How a module's text in the IDE becomes the text the engine holds, as the
// IDE's own editing calls. Plain C++: the calls are planned here and made by
// the bridge, so the plan can be checked without the IDE.

#include <string>
#include <vector>

namespace trapline::dispatch {

/// One editing call on a code module, numbered as the module stands when the
/// call is made.
struct LineEdit {
    enum class Kind { Delete, Insert, Replace };
    Kind kind;
    long line = 0;                  ///< 1-based
    long count = 0;                 ///< lines deleted (Delete only)
    std::vector<std::string> lines; ///< the new lines (Insert: one or more; Replace: one)

    friend bool operator==(const LineEdit&, const LineEdit&) = default;
};

/// The calls that turn `before` into `after`, in the order they must be made
/// (from the end of the module towards its start, so that every call's line
/// numbers still hold). Unchanged lines are never touched: deleting and
/// inserting a procedure's declaration again would lose the hidden attributes
/// the IDE keeps with it. Within that, the calls are as few as a minimal line
/// diff allows: one per run of changes, a replaced line in place where one
/// line stands for one.
std::vector<LineEdit> planLineEdits(const std::vector<std::string>& before,
                                    const std::vector<std::string>& after);

/// Applies `edits` to `lines` as the IDE would, for checking a plan.
void applyLineEdits(std::vector<std::string>& lines, const std::vector<LineEdit>& edits);

/// Splits a module's text as the IDE returns it (lines joined by CR LF) into
/// its lines; "" is one empty line (a module of no lines is told by its count).
std::vector<std::string> splitModuleText(const std::string& text);

/// The lines joined by CR LF, as the IDE's InsertLines takes them.
std::string joinModuleLines(const std::vector<std::string>& lines);

} // namespace trapline::dispatch
