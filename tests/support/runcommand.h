#pragma once

#include "tempdir.h"

#include <cstdio>
#include <string>
#include <sys/wait.h>

/// What a command printed and how it ended.
struct CommandResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

/// Runs `command` through the shell with no standard input, capturing both
/// output streams.
inline CommandResult runCommand(const std::string& command) {
    TempDir dir;
    std::string outFile = dir.file("out"), errFile = dir.file("err");
    std::string full = command + " </dev/null >'" + outFile + "' 2>'" + errFile + "'";
    int status = std::system(full.c_str());
    CommandResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = TempDir::read(outFile);
    r.err = TempDir::read(errFile);
    return r;
}
