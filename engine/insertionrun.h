#pragma once

#include "insertionoptions.h"
#include "messagebox.h"
#include "runreporter.h"
#include "vbe.h"

#include <string>
#include <vector>

namespace trapline {

/// What one run did, procedure by procedure (names in UTF-8). A procedure the
/// module defines more than once (whole versions under #If) gives one item per
/// definition, told apart by `line`.
struct RunSummary {
    struct Item {
        std::string moduleName;
        std::string procName;
        Component* component = nullptr;
        std::string failure; ///< empty when treated
        /// For a procedure the module defines more than once: the line of the
        /// file as it was read on which this definition's declaration starts
        /// (hidden head counted, as an editor counts). 0 for a procedure
        /// defined once, whose name is enough; finding the line costs a pass
        /// over the file, too much to pay for every procedure of a project.
        long line = 0;
    };
    bool confirmed = false;
    std::vector<Item> treated;
    std::vector<Item> failed;
};

/// The window's OK button: asks for confirmation, catalogues the chosen
/// module, picks the procedures the options select and treats each with the
/// standard or the template handler. A procedure that fails is reported and
/// the run goes on with the next one.
///
/// Each entry is treated in the component it was catalogued from, so modules
/// that share a name (a folder of several projects) never receive each
/// other's procedures.
class InsertionRun {
public:
    InsertionRun(const VBE& vbe, MessageBoxService& messages, RunReporter& reporter)
        : m_vbe(vbe), m_messages(messages), m_reporter(reporter) {}

    /// The title of the confirmation question.
    void setApplicationTitle(std::string title) { m_title = std::move(title); }

    RunSummary run(const InsertionOptions& options);

    /// Whether an entry of `procType` passes the run's type filter: exactly one
    /// box checked selects that type, none or several select every type.
    static bool passesTypeFilter(const InsertionOptions& options, int procType);

private:
    struct Pass;
    /// Treats every definition of catalogue entry `j`, each on its own.
    void treat(Pass& pass, size_t j);
    /// False, after a message naming the template and its line, when a
    /// template would break the code it goes into.
    bool templatesUsable(const InsertionOptions& options);

    const VBE& m_vbe;
    MessageBoxService& m_messages;
    RunReporter& m_reporter;
    std::string m_title = "TRAPLINE";
};

} // namespace trapline
