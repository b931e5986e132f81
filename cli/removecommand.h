#pragma once

#include "batchcommand.h"

namespace trapline::cli {

/// `trapline remove`: takes inserted handlers out again, byte for byte.
class RemoveCommand : public BatchCommand {
public:
    using BatchCommand::BatchCommand;

protected:
    const char* usage() const override;
    const char* name() const override { return "remove"; }
    std::unique_ptr<BatchTreatment> treatment(VBE& vbe, const InsertionOptions& options,
                                              ProjectInput& input) const override;
    const char* nothingToDo() const override { return "no inserted handler found; nothing to do"; }
};

} // namespace trapline::cli
