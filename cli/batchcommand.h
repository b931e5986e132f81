#pragma once

#include "batchpipeline.h"
#include "command.h"
#include "insertionoptions.h"
#include "projectinput.h"
#include "vbe.h"

#include <memory>
#include <string>

namespace trapline::cli {

/// What the commands that change files (`insert`, `remove`, `refresh`) share:
/// their options, loading the project one file at a time, the batch pipeline
/// with its data-safety rules, the log, --dry-run, --backup and --json, and
/// the exit status. Each command brings what it does to one file.
class BatchCommand : public Command {
public:
    using Command::Command;

protected:
    int execute(const std::vector<std::string>& args) override;

    /// The command's name, as typed after `trapline`.
    virtual const char* name() const = 0;
    /// Whether --include-trapped is one of the command's options.
    virtual bool hasTrapFilter() const { return false; }
    /// What the command does to each file; null, once said through `input`,
    /// when the options cannot do it (then nothing is written).
    virtual std::unique_ptr<BatchTreatment> treatment(VBE& vbe, const InsertionOptions& options,
                                                      ProjectInput& input) const = 0;
    /// Said on stderr when the filters chose procedures but nothing was done.
    virtual const char* nothingToDo() const = 0;
};

} // namespace trapline::cli
