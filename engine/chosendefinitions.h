#pragma once

#include "insertionoptions.h"
#include "messagebox.h"
#include "proccatalogue.h"
#include "result.h"
#include "vbe.h"

#include <functional>
#include <string>

namespace trapline {

class Codepage;

/// The walk that remove, refresh, check and line numbering share: every
/// definition of each procedure of one component that the options choose,
/// in the catalogue's order. A procedure defined under several `#If`
/// branches is handed out once per definition.
class ChosenDefinitions {
public:
    /// One definition of a chosen procedure.
    struct Definition {
        const Codepage& cp; ///< the code page of the component's names and text
        const ProcInfo& entry;
        const std::string& name;     ///< the host's name, in the code page
        const std::string& procName; ///< the options' --proc, in the code page
        size_t index;                ///< which definition, from 0
        size_t count;                ///< how many the procedure has, at least 1
        Result<long> body;           ///< the declaration's first line
    };

    ChosenDefinitions(const VBE& vbe, MessageBoxService& messages)
        : m_vbe(vbe), m_messages(messages) {}

    /// Hands each chosen definition of `component` to `visit` and counts the
    /// chosen procedures in `chosen`. False when there is no project, a name
    /// the code page cannot hold, or no catalogue (the catalogue has said why).
    bool forEach(Component& component, const InsertionOptions& options, size_t& chosen,
                 const std::function<void(const Definition&)>& visit) const;

private:
    const VBE& m_vbe;
    MessageBoxService& m_messages;
};

} // namespace trapline
