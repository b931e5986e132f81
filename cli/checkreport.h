#pragma once

#include "batchpipeline.h"
#include "codepage.h"

#include <string>
#include <string_view>
#include <vector>

namespace trapline::cli {

/// The findings of `trapline check` in the three forms it prints.
class CheckReport {
public:
    CheckReport(const std::vector<Finding>& findings, const Codepage& codepage)
        : m_findings(findings), m_codepage(codepage) {}

    /// One line per finding, "FILE:LINE: message [rule]", as compilers write
    /// them, so that editors and CI logs can jump to the place.
    std::string text() const;
    /// {"findings": [{"Rule", "ModuleName", "ProcName", "File", "Line", "Message"}...]}
    std::string json() const;
    /// A SARIF 2.1.0 log: one run of the tool "trapline" with its rules, a
    /// result per finding with its file (a URI relative to the current
    /// folder) and line.
    std::string sarif() const;
    /// The SARIF log of a check that could not run: no results, and an
    /// invocation that did not succeed with each line of `messages` (what was
    /// said on stderr) as an error notification.
    static std::string sarifFailure(std::string_view messages);

    /// `path` as a relative URI reference: '/' between folders, every byte
    /// but the unreserved ones percent-encoded (UTF-8 for names in the code page).
    static std::string uriOf(const std::string& path, const Codepage& codepage);

private:
    std::string where(const Finding& f) const;
    /// The file of `component` as shown, worked out once for the findings
    /// of one file, which come together: each working out asks the system.
    const std::string& shownPath(const Component* component) const;
    const std::vector<Finding>& m_findings;
    const Codepage& m_codepage;
    mutable const Component* m_shownFor = nullptr;
    mutable std::string m_shown;
};

} // namespace trapline::cli
