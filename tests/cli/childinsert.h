#pragma once

// `insert` run in a child process, for the tests that interrupt a run or
// race another one against it (POSIX only: the child is forked).

#ifndef _WIN32
#include "diskfile.h"
#include "insertcommand.h"
#include "signalcleanup.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

/// `insert` with `args` run in a child process inside `folder`, `hook` (if
/// any) called as each file is about to be replaced; what it printed goes to
/// the files `out` and `err`. Returns its exit status, or 128 + the signal
/// that ended it.
inline int insertIn(const std::string& folder, const std::vector<std::string>& args,
                    const std::function<void(const std::string&)>& hook, const std::string& out,
                    const std::string& err) {
    pid_t child = ::fork();
    if (child != 0) {
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    }
    if (::chdir(folder.c_str()) != 0)
        ::_exit(100);
    trapline::SignalCleanup::install();
    if (hook)
        trapline::DiskFile::setReplaceHook(hook);
    std::FILE* o = std::fopen(out.c_str(), "w");
    std::FILE* e = std::fopen(err.c_str(), "w");
    const int code = trapline::cli::InsertCommand(o, e).run(args);
    std::fclose(o);
    std::fclose(e);
    ::_exit(code);
}
#endif
