#pragma once

#include "batchcommand.h"
#include "linenumberer.h"

#include <string>

namespace trapline::cli {

/// `trapline number` and `trapline unnumber`: line numbers for `Erl` put
/// into, or taken out of, the chosen procedures.
class NumberCommand : public BatchCommand {
public:
    NumberCommand(std::FILE* out, std::FILE* err, LineNumberer::Action action)
        : BatchCommand(out, err), m_action(action) {}

protected:
    const char* usage() const override;
    const char* name() const override {
        return m_action == LineNumberer::Action::Number ? "number" : "unnumber";
    }
    void define(CLI::App& app) override;
    int execute() override;
    bool hasHandlerOptions() const override { return false; }
    std::unique_ptr<BatchTreatment> treatment(VBE& vbe, const InsertionOptions& options,
                                              ProjectInput& input) const override;
    const char* nothingToDo() const override;

private:
    LineNumberer::Action m_action;
    std::string m_start = "10";
    std::string m_step = "10";
    bool m_renumber = false;
    NumberingOptions m_numbering;
};

} // namespace trapline::cli
