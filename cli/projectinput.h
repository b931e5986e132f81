#pragma once

#include "codepage.h"
#include "project.h"
#include "textout.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace trapline::cli {

/// The project a command works on, loaded from its PATH arguments.
class ProjectInput {
public:
    ProjectInput(std::string command, TextOut& err) : m_command(std::move(command)), m_err(err) {}

    /// Opens the code page named by --codepage; reports and gives nothing when unknown.
    std::optional<Codepage> codepage(const std::string& name);

    /// Loads `paths`; every unusable file is reported with its file and line,
    /// every file outside a .vbp's folder is named. `complete` tells whether
    /// everything named could be loaded.
    /// With `deferContents`, components are read only when loaded one by one.
    /// How a run that treats every file reads them.
    enum class Reading {
        Heads,        ///< each file's head now, the whole file when it is treated
        Whole,        ///< each file whole now, once (a run that writes nothing)
        WholeAndHold, ///< each file whole now, held open for its replacement
    };
    std::unique_ptr<Project> load(const std::vector<std::string>& paths, const Codepage& codepage,
                                  bool& complete, bool deferContents = false,
                                  Reading reading = Reading::Heads);

    /// Lets signed Office documents load (--remove-signature).
    void setAllowSigned(bool allow) { m_allowSigned = allow; }

    /// Whether all the last load left out were folders that could not be
    /// read or searched: a run may then treat the rest, and must fail after.
    bool onlyFoldersSkipped() const { return m_onlyFoldersSkipped; }

    /// `name` (UTF-8, from the command line) in the project's code page, when
    /// "*" or a component of that exact name; reports and gives nothing otherwise.
    std::optional<std::string> moduleFilter(const Project& project, const std::string& name);

    /// Reports a message prefixed with the command's name.
    void fail(const std::string& message);

private:
    std::string m_command;
    TextOut& m_err;
    bool m_onlyFoldersSkipped = false;
    bool m_allowSigned = false;
};

} // namespace trapline::cli
