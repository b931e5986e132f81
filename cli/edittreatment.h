#pragma once

#include "batchpipeline.h"
#include "handlereditor.h"
#include "handlerpattern.h"
#include "projectinput.h"

#include <memory>
#include <optional>

namespace trapline::cli {

/// The pattern of the handler that the options say was inserted: the
/// standard one (commented unless --live) or the templates. Reports through
/// `input` and gives nothing when it cannot be found in any file.
std::optional<HandlerPattern> handlerPattern(const InsertionOptions& options,
                                             const Codepage& codepage, ProjectInput& input);

/// `remove` and `refresh` on one file: the handler editor over its chosen
/// procedures, with each procedure left alone named on stderr with its line.
class EditTreatment : public BatchTreatment {
public:
    EditTreatment(VBE& vbe, const InsertionOptions& options, HandlerPattern pattern,
                  HandlerEditor::Action action)
        : m_vbe(vbe), m_options(options), m_pattern(std::move(pattern)), m_action(action) {}

    void treat(Component& component, FileOutcome& outcome) const override;

private:
    VBE& m_vbe;
    const InsertionOptions& m_options;
    HandlerPattern m_pattern;
    HandlerEditor::Action m_action;
};

} // namespace trapline::cli
