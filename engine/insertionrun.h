#pragma once

#include "insertionoptions.h"
#include "messagebox.h"
#include "runreporter.h"
#include "vbe.h"

#include <string>
#include <vector>

namespace trapline {

/// What one run did, procedure by procedure (names in UTF-8).
struct RunSummary {
    struct Item {
        std::string moduleName;
        std::string procName;
        Component* component = nullptr;
        std::string failure; ///< empty when treated
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
    const VBE& m_vbe;
    MessageBoxService& m_messages;
    RunReporter& m_reporter;
    std::string m_title = "TRAPLINE";
};

} // namespace trapline
