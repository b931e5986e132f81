#pragma once

#include "batchcommand.h"

namespace trapline::cli {

/// `trapline insert`: puts error handling into the chosen procedures.
class InsertCommand : public BatchCommand {
public:
    using BatchCommand::BatchCommand;

protected:
    const char* usage() const override;
    const char* name() const override { return "insert"; }
    bool hasTrapFilter() const override { return true; }
    std::unique_ptr<BatchTreatment> treatment(VBE& vbe, const InsertionOptions& options,
                                              ProjectInput& input) const override;
    const char* nothingToDo() const override { return "no procedure was selected; nothing to do"; }
};

} // namespace trapline::cli
