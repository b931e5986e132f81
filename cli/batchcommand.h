#pragma once

#include "batchpipeline.h"
#include "command.h"
#include "handleroptions.h"
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
    void define(CLI::App& app) override;
    int execute() override;

    /// Whether --include-trapped is one of the command's options.
    virtual bool hasTrapFilter() const { return false; }
    /// Whether --live, --header and --footer are: the command works with handlers.
    virtual bool hasHandlerOptions() const { return true; }
    /// What the command does to each file; null, once said through `input`,
    /// when the options cannot do it (then nothing is written).
    virtual std::unique_ptr<BatchTreatment> treatment(VBE& vbe, const InsertionOptions& options,
                                                      ProjectInput& input) const = 0;
    /// Said on stderr when the filters chose procedures but nothing was done.
    virtual const char* nothingToDo() const = 0;

private:
    /// Whether the options make sense together; says why not through `input`.
    bool usable(ProjectInput& input) const;

    std::vector<std::string> m_paths;
    HandlerOptions m_handler;
    bool m_dryRun = false;
    bool m_backup = false;
    bool m_json = false;
    bool m_removeSignature = false;
};

} // namespace trapline::cli
