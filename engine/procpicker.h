#pragma once

#include "insertionoptions.h"
#include "messagebox.h"
#include "runreporter.h"
#include "vbe.h"

#include <optional>
#include <string>
#include <vector>

namespace trapline {

/// Fills the procedure list the window's `SubName` drops down: "*" and the
/// display names (UTF-8) of the chosen module's procedures whose type box is
/// checked, without those that hold an error trap when that filter is on.
class ProcPicker {
public:
    ProcPicker(const VBE& vbe, MessageBoxService& messages, RunReporter& reporter)
        : m_vbe(vbe), m_messages(messages), m_reporter(reporter) {}

    /// The new list, or nothing when the list is to keep what it holds (no
    /// module chosen, or no type box checked). A module without procedures
    /// gives "*" alone and the message "В модуле отсутствуют процедуры !".
    std::optional<std::vector<std::string>> fill(const InsertionOptions& options);

private:
    const VBE& m_vbe;
    MessageBoxService& m_messages;
    RunReporter& m_reporter;
};

} // namespace trapline
