#pragma once

#include "batchpipeline.h"
#include "handlerpattern.h"
#include "insertionoptions.h"
#include "messagebox.h"
#include "vbe.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace trapline {

/// What `trapline check` finds in one component, without changing it: each
/// procedure that an insertion with the same options would treat
/// ("missing-handler"), or would try to and could not ("cannot-insert"), and
/// each complete inserted handler whose names are no longer its module's and
/// procedure's ("stale-handler-name"). So a check finds nothing exactly when
/// an insertion has nothing to do and every handler's names are current.
class HandlerCheck {
public:
    /// The rules' ids, as SARIF and the text output name them.
    static constexpr const char* kMissing = "missing-handler";
    static constexpr const char* kCannotInsert = "cannot-insert";
    static constexpr const char* kStaleName = "stale-handler-name";

    HandlerCheck(const VBE& vbe, const HandlerPattern& pattern, MessageBoxService& messages)
        : m_vbe(vbe), m_pattern(pattern), m_messages(messages) {}

    /// The findings in `component` (loaded), in the order of its lines per
    /// rule; each `line` is the declaration's (or, for a stale name, the
    /// handler line's) line of the file as an editor shows it.
    /// `chosen` counts the procedures the name and type filters chose.
    std::vector<Finding> run(Component& component, const InsertionOptions& options,
                             size_t& chosen) const;

private:
    /// Whether inserting into definition `definition` (declared on `body`,
    /// its first line after the declaration `trap`) of `entry` would find one
    /// End statement and leave no label twice in it.
    Result<void> insertable(const CodeModule& module, const ProcInfo& entry, size_t definition,
                            long body, long trap) const;

    /// The first line of a complete handler that names an old module or
    /// procedure, with the text it should read; none when all are current.
    std::optional<std::pair<long, std::string>> staleLine(const CodeModule& module,
                                                          const HandlerPattern::Found& found,
                                                          const ProcInfo& entry) const;

    const VBE& m_vbe;
    const HandlerPattern& m_pattern;
    MessageBoxService& m_messages;
};

} // namespace trapline
