#include "childinsert.h"
#include "traplinerun.h"

#include "diskfile.h"
#include "insertcommand.h"
#include "platform/filesystem.h"
#include "signalcleanup.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <mutex>
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

/// `insert` run in this process, with `before` called as the treatment of
/// each file begins, on the thread that treats it: a test can act while the
/// run is treating its files, after it began and before it writes.
class HookedInsert : public trapline::cli::InsertCommand {
public:
    using Hook = std::function<void(trapline::Component&)>;
    HookedInsert(std::FILE* out, std::FILE* err, Hook before)
        : InsertCommand(out, err), m_before(std::move(before)) {}

protected:
    std::unique_ptr<trapline::BatchTreatment>
    treatment(trapline::VBE& vbe, const trapline::InsertionOptions& options,
              trapline::cli::ProjectInput& input) const override {
        class Hooked : public trapline::BatchTreatment {
        public:
            Hooked(std::unique_ptr<trapline::BatchTreatment> inner, const Hook& before)
                : m_inner(std::move(inner)), m_before(before) {}
            void treat(trapline::Component& c, trapline::FileOutcome& o) const override {
                m_before(c);
                m_inner->treat(c, o);
            }

        private:
            std::unique_ptr<trapline::BatchTreatment> m_inner;
            const Hook& m_before;
        };
        auto inner = InsertCommand::treatment(vbe, options, input);
        if (!inner)
            return inner;
        return std::make_unique<Hooked>(std::move(inner), m_before);
    }

private:
    Hook m_before;
};

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

/// Waits until the file at `path` was last changed (its bytes or, as any
/// change of its times does, its status) more than `age` ago, by the clock a
/// run reads as it begins: a run that begins after is sure to find it older.
void waitUntilOlderThan(const std::string& path, std::chrono::milliseconds age) {
    trapline::platform::FileStatus st;
    ASSERT_FALSE(trapline::platform::status(path, st, false)) << path;
    const int64_t changed = std::max(st.mtimeNs, st.ctimeNs);
    while (nowNs() <= changed + std::chrono::nanoseconds(age).count())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

#ifndef _WIN32
/// Sends this process `sig` and returns once the run has taken it, or ends
/// the process after a minute.
void signalAndWait(int sig) {
    ::kill(::getpid(), sig);
    for (int waited = 0; !trapline::SignalCleanup::interrupted(); ++waited) {
        if (waited == 60'000)
            ::_exit(5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

/// Runs `insert` with `args` in a child process inside `folder`, which
/// Ctrl-C interrupts while file number `at` is being replaced; returns how
/// the child ended (128 + the signal), with what it printed in `out` and `err`.
int interruptedInsert(const std::string& folder, const std::vector<std::string>& args, int at,
                      const std::string& out, const std::string& err) {
    return insertIn(
        folder, args,
        [at, replaced = 0](const std::string&) mutable {
            if (++replaced == at) {
                // The replacement goes on only once the signal is taken, however
                // busy the machine: after the last one nothing else would wait.
                signalAndWait(SIGINT);
            }
        },
        out, err);
}
#endif

} // namespace

TEST(BatchCommand, AnInterruptedRunSaysWhatItWroteAndEndsByTheSignal) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a Windows version: Ctrl+C sent to a child run in a console of its own";
#else
    const struct {
        int at; ///< the replacement Ctrl-C comes in, of twelve
        bool json;
    } rows[] = {{3, false}, {3, true}, {12, false}, {12, true}};
    for (const auto& [at, json] : rows) {
        SCOPED_TRACE("at " + std::to_string(at) + (json ? " --json" : ""));
        TempDir dir;
        std::vector<std::string> modules;
        for (char c = 'a'; c <= 'l'; ++c) {
            modules.push_back(std::string("M") + c);
            dir.write("p/" + modules.back() + ".bas", module(modules.back()));
        }
        std::vector<std::string> args{"."};
        if (json)
            args.push_back("--json");
        const int ended =
            interruptedInsert(dir.file("p"), args, at, dir.file("out"), dir.file("err"));
        ASSERT_EQ(ended, 128 + SIGINT) << "ended with " << ended;
        std::vector<std::string> treated;
        for (const std::string& m : modules)
            if (TempDir::read(dir.file("p/" + m + ".bas")) != module(m))
                treated.push_back(m);
        EXPECT_EQ(TempDir::namesIn(dir.file("p")).size(), modules.size()); // no staged file left
        ASSERT_GE(treated.size(), static_cast<size_t>(at));
        if (at < 12) {
            ASSERT_LT(treated.size(), modules.size());
        }
        const std::string out = TempDir::read(dir.file("out"));
        const std::string err = TempDir::read(dir.file("err"));
        // Those not written are counted, when there are any.
        const size_t others = modules.size() - treated.size();
        EXPECT_THAT(err,
                    HasSubstr("trapline: interrupted; " + std::to_string(treated.size()) +
                              " files written (logged above)" +
                              (others == 0 ? std::string()
                                           : ", the other " + std::to_string(others) +
                                                 (others == 1 ? " as it was" : " as they were")) +
                              "\n"));
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
    // Clearly older than the runs below, past the margin a run allows file
    // times (ALeftoverMadeOnceTheRunBeganIsKeptAndOnlyAClearlyOlderOneGoes
    // tests that margin).
    for (const std::string& name : {mine, subs})
        waitUntilOlderThan(dir.file(name), std::chrono::milliseconds(200));
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
        CommandResult r = traplineIn(dir.path(), run.args, run.exitCode);
        EXPECT_EQ(occurrences(r.err, "left behind by an earlier run that has ended"),
                  run.removed.size())
            << run.args << "\n"
            << r.err;
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

TEST(BatchCommand, ALeftoverMadeOnceTheRunBeganIsKeptAndOnlyAClearlyOlderOneGoes) {
    // File times tick coarser than the clock, so a run takes for leftovers
    // only what is older than its beginning less a margin: a file of that
    // name made once the run began, however its time reads, is never taken.
    // The run is driven here, so the files are made while it treats.
    TempDir dir;
    const std::string path = dir.write("m.bas", module("M"));
    dir.write("n.bas", module("N"));
    const std::string dead = std::to_string(deadProcessId());
    const std::string old = dir.file(".m.bas.trapline-" + dead + "-0");
    dir.write(".m.bas.trapline-" + dead + "-0", "staged by a run that was killed");
    waitUntilOlderThan(old, std::chrono::milliseconds(200));
    // Each made as a file's treatment begins, the first right after the run began.
    std::mutex mutex; // two files are treated at a time
    std::vector<std::string> made;
    std::FILE* printed = std::fopen(dir.file("err").c_str(), "w");
    HookedInsert insert(printed, printed, [&](trapline::Component& c) {
        const std::string name =
            "." + trapline::platform::fileName(c.path()) + ".trapline-" + dead + "-1";
        dir.write(name, "made as the run treats its files");
        std::lock_guard lock(mutex);
        made.push_back(dir.file(name));
    });
    const int code = insert.run({path, dir.file("n.bas")});
    std::fclose(printed);
    EXPECT_EQ(code, 0) << TempDir::read(dir.file("err"));
    ASSERT_EQ(made.size(), 2u);
    for (const std::string& name : made)
        EXPECT_TRUE(std::filesystem::exists(utf8Path(name))) << name << " was taken for a leftover";
    EXPECT_FALSE(std::filesystem::exists(utf8Path(old)));
    const std::string err = TempDir::read(dir.file("err"));
    EXPECT_EQ(occurrences(err, "left behind by an earlier run that has ended"), 1u) << err;
    EXPECT_THAT(err, HasSubstr("/.m.bas.trapline-" + dead + "-0, left behind by"));
    EXPECT_THAT(TempDir::read(path), HasSubstr("'ON ERROR GOTO err_debug"));
}

TEST(BatchCommand, ASignalWhileFilesAreTreatedStopsTheRunWithNothingWrittenOrRemoved) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a Windows version: Ctrl+C sent to a child run in a console of its own";
#else
    const struct {
        int sig;
        bool json;
    } rows[] = {{SIGINT, false}, {SIGTERM, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(strsignal(row.sig));
        TempDir dir;
        std::vector<std::string> names;
        for (int k = 0; k < 40; ++k) {
            const std::string m = "M" + std::to_string(10 + k);
            dir.write("p/" + m + ".bas", module(m));
            names.push_back(m + ".bas");
        }
        // A killed run's leftover, which only a run that goes on to write removes.
        const std::string leftover = ".M10.bas.trapline-" + std::to_string(deadProcessId()) + "-0";
        dir.write("p/" + leftover, "staged by a run that was killed");
        waitUntilOlderThan(dir.file("p/" + leftover), std::chrono::milliseconds(200));
        names.push_back(leftover);
        std::sort(names.begin(), names.end());
        const std::string out = dir.file("out"), err = dir.file("err"), late = dir.file("late");
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::chdir(dir.file("p").c_str()) != 0)
                ::_exit(3);
            trapline::SignalCleanup::install();
            std::atomic<int> begun{0};
            const int sig = row.sig;
            auto signalOnTheThird = [&](trapline::Component& c) {
                if (trapline::SignalCleanup::interrupted()) {
                    // Begun after the signal: named for the test to count.
                    std::ofstream(late, std::ios::app) << c.Name() << "\n";
                    return;
                }
                if (++begun != 3)
                    return;
                // The third file's treatment goes on only once the signal is
                // taken: it comes while files are being treated.
                signalAndWait(sig);
            };
            HookedInsert insert(std::fopen(out.c_str(), "w"), std::fopen(err.c_str(), "w"),
                                signalOnTheThird);
            insert.run(row.json ? std::vector<std::string>{".", "--json"}
                                : std::vector<std::string>{"."});
            ::_exit(4); // the signal ends the process
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status) << "\n"
                                         << TempDir::read(err);
        EXPECT_EQ(WTERMSIG(status), row.sig);
        // Nothing written, nothing staged left, nothing removed.
        for (int k = 0; k < 40; ++k) {
            const std::string m = "M" + std::to_string(10 + k);
            EXPECT_EQ(TempDir::read(dir.file("p/" + m + ".bas")), module(m)) << m;
        }
        EXPECT_EQ(TempDir::namesIn(dir.file("p")), names);
        const std::string said = TempDir::read(err);
        EXPECT_THAT(said, HasSubstr("trapline: interrupted; nothing was written\n"));
        EXPECT_THAT(said, Not(HasSubstr("not written:")));
        EXPECT_THAT(said, Not(HasSubstr("nothing to do")));
        if (row.json) {
            auto doc = nlohmann::json::parse(TempDir::read(out));
            EXPECT_TRUE(doc["treated"].empty()) << doc;
            EXPECT_TRUE(doc["failed"].empty()) << doc;
        } else {
            EXPECT_EQ(TempDir::read(out), "");
        }
        // No file begins its treatment once the signal is in, but the one
        // the other thread may have begun just before.
        const std::string treatedLate = TempDir::read(late);
        EXPECT_LE(occurrences(treatedLate, "\n"), 1u) << treatedLate;
    }
#endif
}

TEST(BatchCommand, ARunWhoseEveryChosenProcedureFailedFailsAndNeverSaysThereWasNothingToDo) {
    TempDir dir;
    const std::string oneLine = "Attribute VB_Name = \"M\"\r\nSub A(): End Sub\r\n";
    const std::string halfHandler =
        "Attribute VB_Name = \"M\"\r\nSub Half()\r\nON ERROR GOTO err_debug\r\nEnd Sub\r\n";
    const std::string numbered = "Attribute VB_Name = \"M\"\r\nSub Loop1()\r\n10 x = x + 1\r\n"
                                 "   If x < 3 Then 10\r\nEnd Sub\r\n";
    const std::string trapped = "Attribute VB_Name = \"M\"\r\nSub T()\r\nOn Error Resume Next\r\n"
                                "End Sub\r\n";
    const struct {
        std::string args, file, bytes;
        int exitCode;
        std::string said; ///< on stderr
    } rows[] = {
        {"insert", "one.bas", oneLine, 1, "the procedure is written on one line"},
        {"insert --json", "one.bas", oneLine, 1, "the procedure is written on one line"},
        {"insert --dry-run", "one.bas", oneLine, 1, "the procedure is written on one line"},
        {"remove --live", "half.bas", halfHandler, 1, "the handler is not as it was inserted"},
        {"refresh --live --json", "half.bas", halfHandler, 1,
         "the handler is not as it was inserted"},
        {"unnumber", "jump.bas", numbered, 1, "which removing the numbers would break"},
        {"number --json", "jump.bas", numbered, 1, "it holds line numbers already"},
        // Where the filters chose nothing to treat, there was nothing to do.
        {"insert", "trapped.bas", trapped, 0, "no procedure was selected; nothing to do"},
        {"remove --json", "one.bas", oneLine, 0, "no inserted handler found; nothing to do"},
    };
    for (const auto& row : rows) {
        const std::string args = row.args + " " + row.file;
        SCOPED_TRACE(args);
        dir.write(row.file, row.bytes);
        CommandResult r = traplineIn(dir.path(), args, row.exitCode);
        EXPECT_THAT(r.err, HasSubstr(row.said));
        EXPECT_EQ(occurrences(r.err, "nothing to do"), row.exitCode == 0 ? 1u : 0u) << r.err;
        EXPECT_EQ(TempDir::read(dir.file(row.file)), row.bytes);
        if (row.args.find("--json") != std::string::npos) {
            auto doc = nlohmann::json::parse(r.out);
            EXPECT_TRUE(doc["treated"].empty()) << r.out;
            EXPECT_EQ(doc["failed"].size(), row.exitCode == 0 ? 0u : 1u) << r.out;
        }
    }
}
