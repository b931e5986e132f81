#pragma once

#include "textout.h"

#include <cstdio>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace trapline::cli {

/// One `trapline` command: its usage text, its options and what it does.
/// The options are parsed by CLI11; the usage text stays written by hand,
/// as a person reads it, and is what -h and --help print.
class Command {
public:
    Command(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}
    virtual ~Command() = default;

    /// Runs with the arguments after the command's name and returns the exit
    /// code: 2, with the bad argument named, when they cannot be parsed.
    int run(const std::vector<std::string>& args);

protected:
    /// The command's name, as typed after `trapline`.
    virtual const char* name() const = 0;
    virtual const char* usage() const = 0;
    /// Declares the command's options and PATH arguments, bound to its members.
    virtual void define(CLI::App& app) = 0;
    /// Does the command's work once its arguments are parsed.
    virtual int execute() = 0;
    /// Told, after the usage message is on stderr, that `args` were refused
    /// with `message`; for a command whose readers look only at stdout.
    virtual void refused(const std::vector<std::string>& args, const std::string& message) {
        (void)args;
        (void)message;
    }

    TextOut m_out;
    TextOut m_err;
};

} // namespace trapline::cli
