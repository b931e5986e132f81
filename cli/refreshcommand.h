#pragma once

#include "batchcommand.h"

namespace trapline::cli {

/// `trapline refresh`: brings the names in inserted handlers up to date
/// after procedures or modules were renamed.
class RefreshCommand : public BatchCommand {
public:
    using BatchCommand::BatchCommand;

protected:
    const char* usage() const override;
    const char* name() const override { return "refresh"; }
    std::unique_ptr<BatchTreatment> treatment(VBE& vbe, const InsertionOptions& options,
                                              ProjectInput& input) const override;
    const char* nothingToDo() const override {
        return "every inserted handler's names are up to date; nothing to do";
    }
};

} // namespace trapline::cli
