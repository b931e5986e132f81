#pragma once

#include "handlerpattern.h"
#include "insertionoptions.h"
#include "insertionrun.h"
#include "messagebox.h"
#include "runreporter.h"
#include "vbe.h"

namespace trapline {

/// Takes inserted handlers out of the chosen procedures of one component
/// again, or brings the names they were filled in with up to date.
///
/// Only a complete handler is touched: its header right after the
/// declaration and its footer right before the End statement, each line as
/// the insertion put it (names aside). A handler with only one part there,
/// or edited by hand, is left as it is and reported as failed. Removing what
/// an insertion put in gives back the file as it was, byte for byte.
class HandlerEditor {
public:
    enum class Action {
        Remove,  ///< delete the handler's lines
        Refresh, ///< rewrite the module and procedure names in them, nothing else
    };

    HandlerEditor(const VBE& vbe, const HandlerPattern& pattern, MessageBoxService& messages,
                  RunReporter& reporter)
        : m_vbe(vbe), m_pattern(pattern), m_messages(messages), m_reporter(reporter) {}

    /// Does `action` in every definition of each procedure of `component`
    /// that `options` choose: by display name, or with "*" by the type
    /// filters (the trap filter has no say: a handler is a trap). Logs
    /// "Removed from Sub : Name" or "Refreshed in Sub : Name" per definition
    /// changed. A treated item is a definition changed; a failed one names
    /// the declaration's line in the file as read.
    RunSummary run(Action action, Component& component, const InsertionOptions& options,
                   size_t& chosen) const;

    /// Whether `options` choose `entry` (`procName` in the code page): "*"
    /// with the type filter, else the display name exactly. With
    /// `trapFilter`, "*" also leaves out entries that hold "On Error ", as
    /// insert does.
    static bool chooses(const InsertionOptions& options, const std::string& procName,
                        const ProcInfo& entry, bool trapFilter);

private:
    /// Treats one definition; false with `why` when it had to be left alone,
    /// true with `changed` telling whether anything was done.
    bool treat(Action action, CodeModule& module, const ProcInfo& entry, size_t definition,
               bool& changed, std::string& why) const;

    const VBE& m_vbe;
    const HandlerPattern& m_pattern;
    MessageBoxService& m_messages;
    RunReporter& m_reporter;
};

} // namespace trapline
