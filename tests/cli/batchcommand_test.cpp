#include "traplinerun.h"

#include "diskfile.h"
#include "insertcommand.h"
#include "signalcleanup.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using trapline::DiskFile;

namespace {

std::string module(const std::string& name) {
    return "Attribute VB_Name = \"" + name + "\"\r\nSub P" + name + "()\r\nEnd Sub\r\n";
}

#ifndef _WIN32
/// Runs `insert` with `args` in a child process inside `folder`, which
/// Ctrl-C interrupts while the third file is being replaced; returns how the
/// child ended, with what it printed in `out` and `err`.
int interruptedInsert(const std::string& folder, const std::vector<std::string>& args,
                      const std::string& out, const std::string& err) {
    pid_t child = ::fork();
    if (child != 0) {
        int status = 0;
        ::waitpid(child, &status, 0);
        return status;
    }
    if (::chdir(folder.c_str()) != 0)
        ::_exit(3);
    trapline::SignalCleanup::install();
    static std::atomic<int> replaced{0};
    DiskFile::setReplaceHook([](const std::string&) {
        if (++replaced == 3) {
            ::kill(::getpid(), SIGINT);
            // Long enough for the signal to be taken, however busy the machine.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
    });
    trapline::cli::InsertCommand(std::fopen(out.c_str(), "w"), std::fopen(err.c_str(), "w"))
        .run(args);
    ::_exit(4); // the signal ends the process
}
#endif

} // namespace

TEST(BatchCommand, AnInterruptedRunSaysWhatItWroteAndEndsByTheSignal) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a Windows version: Ctrl+C sent to a child run in a console of its own";
#else
    for (bool json : {false, true}) {
        TempDir dir;
        std::vector<std::string> modules;
        for (char c = 'a'; c <= 'l'; ++c) {
            modules.push_back(std::string("M") + c);
            dir.write("p/" + modules.back() + ".bas", module(modules.back()));
        }
        std::vector<std::string> args{"."};
        if (json)
            args.push_back("--json");
        int status = interruptedInsert(dir.file("p"), args, dir.file("out"), dir.file("err"));
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), SIGINT);
        std::vector<std::string> treated;
        for (const std::string& m : modules)
            if (TempDir::read(dir.file("p/" + m + ".bas")) != module(m))
                treated.push_back(m);
        EXPECT_EQ(TempDir::namesIn(dir.file("p")).size(), modules.size()); // no staged file left
        ASSERT_GE(treated.size(), 3u);
        ASSERT_LT(treated.size(), modules.size());
        const std::string out = TempDir::read(dir.file("out"));
        const std::string err = TempDir::read(dir.file("err"));
        EXPECT_THAT(err,
                    HasSubstr("interrupted; " + std::to_string(treated.size()) + " files written"));
        // Each file written is named, and only those.
        std::vector<std::string> named;
        if (json) {
            auto doc = nlohmann::json::parse(out); // throws on anything but one JSON document
            for (const auto& item : doc["treated"])
                named.push_back(item["ModuleName"]);
            EXPECT_EQ(doc["failed"].size(), modules.size() - treated.size());
        } else {
            for (const std::string& m : modules)
                if (out.find(" : P" + m + "\n") != std::string::npos)
                    named.push_back(m);
        }
        EXPECT_EQ(named, treated) << out;
    }
#endif
}

TEST(BatchCommand, LeftoversGoOnlyWhereARunWritesAndOnlyWhenItWrites) {
    TempDir dir;
    dir.write("m.bas", module("M"));
    dir.write("sub/o.bas", module("O"));
    const std::string dead = std::to_string(deadProcessId());
    const std::string mine = ".m.bas.trapline-" + dead + "-0";
    const std::string subs = "sub/.o.bas.trapline-" + dead + "-0";
    for (const std::string& name : {mine, subs})
        dir.write(name, "staged by a run that was killed");
    std::this_thread::sleep_for(std::chrono::milliseconds(150)); // older than the runs below
    struct {
        std::string args;
        int exitCode;
        std::vector<std::string> removed;
    } const runs[] = {
        {"insert . --module Nothing", 2, {}},
        {"insert . --module O", 0, {subs}},
        {"insert .", 0, {mine}},
    };
    for (const auto& run : runs) {
        CommandResult r = traplineIn(dir.path(), run.args);
        EXPECT_EQ(r.exitCode, run.exitCode) << run.args << "\n" << r.err;
        size_t said = 0;
        for (size_t at = 0; (at = r.err.find("left behind by an earlier run that has ended", at)) !=
                            std::string::npos;
             ++at)
            ++said;
        EXPECT_EQ(said, run.removed.size()) << run.args << "\n" << r.err;
        for (const std::string& name : run.removed) {
            EXPECT_THAT(r.err, HasSubstr("removed " + name));
            EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
        }
    }
    // Which names are ours to remove is the engine's to test.
    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::vector<std::string>{"m.bas", "sub"}));
}

TEST(BatchCommand, AnEditSetAsideInTheMomentOfReplacingIsNamedAndFailsTheRun) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no exchange of names, so no swap back to fail";
#endif
    TempDir dir;
    const std::string path = dir.write("m.bas", module("M"));
    DiskFile::setReplaceHook([](const std::string& p) {
        std::ofstream(utf8Path(p), std::ios::binary | std::ios::app) << "' USER EDIT\r\n";
    });
    DiskFile::setFaultHook([](std::string_view step) { return step == "swap back"; });
    const std::string err = dir.file("err");
    std::FILE* printed = std::fopen(err.c_str(), "w");
    int code = trapline::cli::InsertCommand(printed, printed).run({path});
    std::fclose(printed);
    DiskFile::setReplaceHook({});
    DiskFile::setFaultHook({});
    EXPECT_EQ(code, 1);
    EXPECT_EQ(TempDir::read(path + ".kept"), module("M") + "' USER EDIT\r\n");
    const std::string said = TempDir::read(err);
    EXPECT_THAT(said, HasSubstr("kept as " + path + ".kept"));
    EXPECT_THAT(said, Not(HasSubstr("not written")));
}
