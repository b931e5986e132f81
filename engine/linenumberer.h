#pragma once

#include "batchpipeline.h"
#include "insertionoptions.h"
#include "insertionrun.h"
#include "messagebox.h"
#include "result.h"
#include "runreporter.h"
#include "vbe.h"

#include <string>
#include <string_view>
#include <vector>

namespace trapline {

/// Where the numbers of a procedure start and how far apart they are.
struct NumberingOptions {
    long start = 10;
    long step = 10;
    /// Renumber procedures that hold numbers already, remapping every jump to
    /// them; without it such a procedure is left alone and reported.
    bool renumber = false;
};

/// Line numbers for `Erl`: puts "N " in front of each statement line of the
/// chosen procedures, or takes exactly that off again, so that numbering and
/// then unnumbering gives back every byte.
///
/// A procedure's lines here run from the line after its declaration (its
/// continuation lines, hidden attribute lines and #If alternatives passed
/// over) through its End statement. A line takes a number when it starts a
/// statement that can run: not a continuation line, blank or comment line,
/// directive, label, `Case`/`Else`/`ElseIf`/`End If`/`End Select` line,
/// `Dim`/`Static`/`Const` declaration or `End With`, nor anything between
/// `Select Case` and its first `Case` (which may stand on the Select Case
/// line itself, after a ':'), nor the End statement.
///
///     NumberingOptions o;                       // 10, 20, 30, ...
///     auto edits = LineNumberer::number(lines, o);
///     if (!edits) report(edits.error());         // e.g. past 65529
class LineNumberer {
public:
    /// The highest number VB accepts on a line of a procedure.
    static constexpr long kHighest = 65529;

    enum class Action { Number, Unnumber };

    /// A new text for the line at `index` of the lines handed in.
    struct Edit {
        size_t index = 0;
        std::string text;
    };

    /// Which of a procedure's lines (see above; the last is its End
    /// statement) take a number, judged on their text after any number they
    /// hold already.
    static std::vector<bool> numberable(const std::vector<std::string_view>& lines);

    /// The edits that number a procedure's lines. Fails, changing nothing,
    /// for a procedure that holds numbers already (unless `renumber`), that
    /// would need a number above kHighest, or, when renumbering, whose jumps
    /// name a number it does not hold or that holds one number twice.
    /// Renumbering keeps each old number's separator and remaps `GoTo`,
    /// `GoSub`, every target of `On x GoTo`/`GoSub`, `Resume N` and a number
    /// after `Then` or `Else`; `Resume 0` and `On Error GoTo 0` are no jumps,
    /// nor is a member named GoTo (`Selection.GoTo`, `.GoTo 10`). It remaps
    /// too what `Erl` is compared with plainly (`Erl = 20`, `20 = Erl`,
    /// `Erl <> 20`, `Case 20, 30` in a `Select Case Erl`), and fails, naming
    /// the line, where `Erl` meets a number or operator in any other way
    /// (`Erl > 20`, `Case 10 To 30`, `Erl + 1 = 20`, a number it does not
    /// hold), since the remap might not be exact. Linear in the lines' length.
    static Result<std::vector<Edit>> number(const std::vector<std::string_view>& lines,
                                            const NumberingOptions& options);

    /// The edits that take off every leading number and the one blank, tab
    /// or ':' after it ("10: x" gives " x", a bare "10" an empty line).
    /// Lines that continue a statement keep what they start with. Fails,
    /// naming the number, when a jump of the procedure goes to one.
    static Result<std::vector<Edit>> unnumber(const std::vector<std::string_view>& lines);

    /// How many of a procedure's lines take a number but have none, and the
    /// index of the first.
    struct Unnumbered {
        size_t count = 0;
        size_t first = 0;
    };
    static Unnumbered unnumbered(const std::vector<std::string_view>& lines);

    /// Lines first..last of definition `definition` of a procedure (see
    /// above); {0, 0} for a procedure written on one line, which holds
    /// nothing to number. Fails when its End statement cannot be found, and,
    /// naming the line of the file, when a second End statement follows it
    /// (see declaration::SecondEnd).
    static Result<std::pair<long, long>> span(const CodeModule& module, std::string_view name,
                                              int kind, int procType, size_t definition);

    LineNumberer(const VBE& vbe, MessageBoxService& messages, RunReporter& reporter)
        : m_vbe(vbe), m_messages(messages), m_reporter(reporter) {}

    /// Numbers or unnumbers every definition of each procedure of
    /// `component` that `options` choose (by display name, or "*" with the
    /// type filters). Logs "Numbered Sub : Name" or "Unnumbered Sub : Name"
    /// per definition changed; a procedure left alone is a failed item that
    /// says why and names its declaration's line in the file as read. The
    /// module changes once, for every procedure together.
    RunSummary run(Action action, Component& component, const InsertionOptions& options,
                   const NumberingOptions& numbering, size_t& chosen) const;

    /// The rule a check reports a procedure under when some of its statement
    /// lines have no number.
    static constexpr const char* kUnnumbered = "unnumbered-line";

    /// One finding per chosen procedure definition that has statement lines
    /// without a number, at the first of them.
    std::vector<Finding> check(Component& component, const InsertionOptions& options) const;

private:
    const VBE& m_vbe;
    MessageBoxService& m_messages;
    RunReporter& m_reporter;
};

} // namespace trapline
