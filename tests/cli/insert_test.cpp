#include "../support/runcommand.h"

#include "codepage.h"
#include "diskfile.h"
#include "insertcommand.h"
#include "signalcleanup.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kTrapline = TRAPLINE_BINARY;
const std::string kExample = std::string(TRAPLINE_SOURCE_DIR) + "/examples";
const char* kFiles[] = {"Ledger.vbp",   "modMain.bas", "source/ModUtil.bas",
                        "CInvoice.cls", "frmMain.frm", "frmMain.frx"};

/// A copy of the example project in `dir`/`name`.
std::string copyExample(const TempDir& dir, const std::string& name) {
    fs::copy(kExample, dir.file(name), fs::copy_options::recursive);
    return dir.file(name);
}

CommandResult traplineIn(const std::string& folder, const std::string& args) {
    return runCommand("cd '" + folder + "' && '" + kTrapline + "' " + args);
}

/// Lines with their ends.
std::vector<std::string> linesOf(const std::string& bytes) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        size_t end = nl == std::string::npos ? bytes.size() : nl + 1;
        out.push_back(bytes.substr(pos, end - pos));
        pos = end;
    }
    return out;
}

bool isStandardHandlerLine(const std::string& line) {
    for (const char* fixed : {"ON ERROR GOTO err_debug\r\n", "EXIT SUB\r\n", "EXIT FUNCTION\r\n",
                              "EXIT Property\r\n", "err_debug:\r\n"})
        if (line == fixed)
            return true;
    return line.rfind("MyErrorHandler \"", 0) == 0;
}

} // namespace

TEST(InsertCommand, DryRunPrintsADiffThatPatchTurnsIntoARealRun) {
    TempDir dir;
    std::string previewed = copyExample(dir, "previewed");
    std::string real = copyExample(dir, "real");
    CommandResult diff = traplineIn(previewed, "insert --dry-run Ledger.vbp");
    EXPECT_EQ(diff.exitCode, 1); // the one-line procedure
    for (const char* file : kFiles)
        EXPECT_TRUE(TempDir::read(previewed + "/" + file) == TempDir::read(kExample + "/" + file))
            << file;
    std::string patchFile = dir.write("changes.diff", diff.out);
    ASSERT_EQ(runCommand("cd '" + previewed + "' && patch -p0 -s -i '" + patchFile + "'").exitCode,
              0);

    CommandResult run = traplineIn(real, "insert Ledger.vbp");
    EXPECT_EQ(run.exitCode, 1);
    for (const char* file : kFiles)
        EXPECT_TRUE(TempDir::read(previewed + "/" + file) == TempDir::read(real + "/" + file))
            << file;
}

TEST(InsertCommand, LiveRunOnlyAddsTheHandlerLines) {
    TempDir dir;
    std::string project = copyExample(dir, "p");
    CommandResult r = traplineIn(project, "insert --live --include-trapped Ledger.vbp");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Procedure: Nop"), std::string::npos) << r.err;
    size_t added = 0;
    for (const char* file : kFiles) {
        std::string original = TempDir::read(kExample + "/" + file);
        std::string changed = TempDir::read(project + "/" + file);
        std::vector<std::string> before = linesOf(original);
        size_t next = 0;
        std::string rebuilt;
        for (const std::string& line : linesOf(changed)) {
            if (next < before.size() && line == before[next]) {
                rebuilt += before[next++];
                continue;
            }
            EXPECT_TRUE(isStandardHandlerLine(line)) << file << ": " << line;
            ++added;
        }
        EXPECT_TRUE(rebuilt == original) << file;
    }
    // Every procedure but the one-liner, four lines each; eleven more for the
    // second definitions of FindEntry, WriteLog, EntryLimit and Store's three.
    EXPECT_EQ(added, (30u + 11) * 4);
}

TEST(InsertCommand, ReportsWhatItDidAsJson) {
    TempDir dir;
    std::string project = copyExample(dir, "p");
    CommandResult r =
        traplineIn(project, "insert --json --module CInvoice --properties Ledger.vbp");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    ASSERT_EQ(json.size(), 2u) << r.out;
    ASSERT_FALSE(json["treated"].empty()) << r.out;
    EXPECT_EQ(json["treated"][0], (nlohmann::json{{"ModuleName", "CInvoice"},
                                                  {"ProcName", "Customer (Get)"},
                                                  {"File", "CInvoice.cls"}}));
    EXPECT_EQ(json["failed"], nlohmann::json::array());
    EXPECT_EQ(r.out.find("Вставлено"), std::string::npos);
}

TEST(InsertCommand, UsesTemplateFilesWithAnyLineEndsAndTheProjectsCodePage) {
    TempDir dir;
    dir.write("m.bas",
              "Attribute VB_Name = \"M\"\r\nPublic Function Calc() As Long\r\nEnd Function\r\n");
    dir.write("header.txt", "On Error GoTo Fail\n");
    dir.write("footer.txt", "Exit ???\n' \xce\xf8\xe8\xe1\xea\xe0 \xe2 #MODULE#.#PROC#\nFail:\n");
    CommandResult r =
        traplineIn(dir.path(), "insert --header header.txt --footer footer.txt m.bas");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Вставлено в Function : Calc\n");
    EXPECT_EQ(
        TempDir::read(dir.file("m.bas")),
        "Attribute VB_Name = \"M\"\r\nPublic Function Calc() As Long\r\n'On Error GoTo Fail\r\n"
        "'Exit Function\r\n'' \xce\xf8\xe8\xe1\xea\xe0 \xe2 M.Calc\r\n'Fail:\r\nEnd Function\r\n");
}

TEST(InsertCommand, WritesEveryOtherFileWhenOneCannotBeWritten) {
    TempDir dir;
    dir.write("a.bas", "Attribute VB_Name = \"A\"\r\nSub A()\r\nEnd Sub\r\n");
    std::string locked = dir.write("b.bas", "Attribute VB_Name = \"B\"\r\nSub B()\r\nEnd Sub\r\n");
    ::chmod(locked.c_str(), 0444);
    CommandResult r = traplineIn(dir.path(), "insert a.bas b.bas --backup");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("b.bas: the file is read-only"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("not written: B (1 procedure)"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "Вставлено в Sub : A\n"); // the log names only what was written
    EXPECT_EQ(TempDir::read(locked), "Attribute VB_Name = \"B\"\r\nSub B()\r\nEnd Sub\r\n");
    EXPECT_NE(TempDir::read(dir.file("a.bas")).find("'ON ERROR GOTO err_debug"), std::string::npos);
    EXPECT_EQ(TempDir::read(dir.file("a.bas.bak")),
              "Attribute VB_Name = \"A\"\r\nSub A()\r\nEnd Sub\r\n");
}

TEST(InsertCommand, RejectsBadUsageAndIncompleteProjectsWithoutWriting) {
    TempDir dir;
    std::string project = copyExample(dir, "p");
    dir.write("p/Broken.vbp", "Module=modMain; modMain.bas\r\nModule=Gone; Gone.bas\r\n");
    struct Case {
        std::string args, message;
    } cases[] = {
        {"insert", "no PATH given"},
        {"insert --header h.txt Ledger.vbp", "--header and --footer go together"},
        {"insert --dry-run --json Ledger.vbp", "does not go with --json"},
        {"insert --header none.txt --footer none.txt Ledger.vbp", "none.txt: cannot open"},
        {"insert --module Nope Ledger.vbp", "no module named 'Nope'"},
        {"insert Broken.vbp", "nothing was written"},
        {"insert --proc= Ledger.vbp", "--proc needs a procedure name"},
        {"insert --proc Nowhere Ledger.vbp", "no procedure named 'Nowhere'"},
        {"insert --module modMain --proc Hidden Ledger.vbp",
         "no procedure named 'Hidden' in module 'modMain'"},
    };
    for (const Case& c : cases) {
        CommandResult r = traplineIn(project, c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_EQ(TempDir::read(project + "/modMain.bas"), TempDir::read(kExample + "/modMain.bas"));

    dir.write("trapped/a.bas", "Attribute VB_Name = \"A\"\r\nSub A()\r\nOn Error Resume Next\r\n"
                               "End Sub\r\n");
    CommandResult none = traplineIn(dir.file("trapped"), "insert a.bas");
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_NE(none.err.find("no procedure was selected"), std::string::npos) << none.err;
}

TEST(InsertCommand, WritesNothingWhenAFileTurnsOutUnreadable) {
    TempDir dir;
    const std::string good = "Attribute VB_Name = \"A\"\r\nSub A()\r\nEnd Sub\r\n";
    dir.write("a.bas", good);
    dir.write("z.bas", std::string("Attribute VB_Name = \"Z\"\r\n\0\0", 27));
    CommandResult r = traplineIn(dir.path(), "insert .");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("z.bas: binary file, not a VB module"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos);
    EXPECT_EQ(TempDir::read(dir.file("a.bas")), good);
    size_t files = 0;
    for (auto& e : fs::directory_iterator(dir.path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 2u); // no temporary file left behind
}

TEST(AddErrorModuleCommand, AddsTheModuleOnceAndListsItInTheProject) {
    TempDir dir;
    std::string project = copyExample(dir, "p");
    CommandResult first = traplineIn(project, "add-error-module Ledger.vbp");
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_TRUE(fs::exists(project + "/mdl_Error.bas"));
    EXPECT_NE(TempDir::read(project + "/Ledger.vbp")
                  .find("Module=modUtil; Source\\modUtil.bas\r\n"
                        "Module=mdl_Error; mdl_Error.bas\r\n"),
              std::string::npos);
    CommandResult second = traplineIn(project, "add-error-module Ledger.vbp");
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_NE(second.err.find("Модуль уже присутствует в проекте !"), std::string::npos);
    EXPECT_EQ(traplineIn(project, "add-error-module modMain.bas").exitCode, 2);
}

namespace {

const std::string kModule = "Attribute VB_Name = \"M\"\r\nSub A()\r\nEnd Sub\r\n";
const std::string kTreated = "Attribute VB_Name = \"M\"\r\nSub A()\r\n'ON ERROR GOTO err_debug\r\n"
                             "'EXIT SUB\r\n'err_debug:\r\n'MyErrorHandler \"M.A\"\r\nEnd Sub\r\n";

} // namespace

TEST(InsertCommand, ASecondRunWaitsForTheFirstAndThenFindsNothingLeftToDo) {
    TempDir dir;
    const std::string path = dir.write("m.bas", kModule);
    // The test holds the folder's lock as a first run would.
    int held = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    std::FILE* second =
        ::popen(("cd '" + dir.path() + "' && '" + kTrapline + "' insert m.bas 2>&1").c_str(), "r");
    ASSERT_NE(second, nullptr);
    char line[512];
    ASSERT_NE(std::fgets(line, sizeof line, second), nullptr);
    EXPECT_NE(std::string(line).find("waiting for another trapline run to finish in ."),
              std::string::npos)
        << line;
    EXPECT_EQ(TempDir::read(path), kModule);
    // The first run writes its result and lets go.
    { std::ofstream(path, std::ios::binary | std::ios::trunc) << kTreated; }
    ::close(held);
    std::string rest;
    while (std::fgets(line, sizeof line, second))
        rest += line;
    EXPECT_EQ(WEXITSTATUS(::pclose(second)), 0);
    EXPECT_NE(rest.find("no procedure was selected"), std::string::npos) << rest;
    EXPECT_EQ(TempDir::read(path), kTreated);
}

TEST(InsertCommand, KeepsLinksAndExistingBackupsAndSaysWhereTheBackupWent) {
    TempDir dir;
    const std::string real = dir.write("shared/m.bas", kModule);
    fs::create_directories(dir.file("p"));
    fs::create_symlink("../shared/m.bas", dir.file("p/m.bas"));
    dir.write("shared/m.bas.bak", "the user's own backup");
    dir.write("p/h.bas", kModule);
    ASSERT_EQ(::link(dir.file("p/h.bas").c_str(), dir.file("p/h2.txt").c_str()), 0);
    CommandResult r = traplineIn(dir.file("p"), "insert --backup m.bas h.bas");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(fs::is_symlink(dir.file("p/m.bas")));
    EXPECT_EQ(TempDir::read(real), kTreated);
    EXPECT_EQ(TempDir::read(dir.file("shared/m.bas.bak")), "the user's own backup");
    EXPECT_EQ(TempDir::read(dir.file("shared/m.bas.bak.1")), kModule);
    EXPECT_NE(r.err.find("the replaced file is kept as ../shared/m.bas.bak.1"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("h.bas: the file has 2 names (hard links)"), std::string::npos) << r.err;
    EXPECT_EQ(TempDir::read(dir.file("p/h.bas")), kModule);
    EXPECT_EQ(TempDir::read(dir.file("p/h2.txt")), kModule);
}

TEST(InsertCommand, RefusesAFifoListedAsAModuleWithoutWaitingOnIt) {
    TempDir dir;
    dir.write("P.vbp", "Type=Exe\r\nModule=M; m.bas\r\nModule=Pipe; pipe.bas\r\n");
    dir.write("m.bas", kModule);
    ASSERT_EQ(::mkfifo(dir.file("pipe.bas").c_str(), 0644), 0);
    for (const char* command : {"list P.vbp", "insert P.vbp"}) {
        // `timeout` only keeps a hang from stalling the suite; it is no measure.
        CommandResult r =
            runCommand("cd '" + dir.path() + "' && timeout 60 '" + kTrapline + "' " + command);
        EXPECT_EQ(r.exitCode, 2) << command;
        EXPECT_NE(r.err.find("pipe.bas: a FIFO, not a regular file"), std::string::npos)
            << command << "\n"
            << r.err;
    }
    EXPECT_EQ(TempDir::read(dir.file("m.bas")), kModule);
}

TEST(InsertCommand, DryRunDiffAppliesForAnyFileNameAndKeepsTheLogOffStdout) {
    TempDir dir;
    const std::string names[] = {"My Module.bas", "Tab\tName.bas", "\xcc\xee\xe4 1.bas"};
    std::string vbp = "Type=Exe\r\n";
    for (size_t i = 0; i < std::size(names); ++i) {
        dir.write("preview/proj/" + names[i], kModule);
        vbp += "Module=M" + std::to_string(i) + "; sub\\..\\" + names[i] + "\r\n";
    }
    dir.write("preview/shared/Common.bas", kModule);
    vbp += "Module=Common; ..\\shared\\Common.bas\r\n";
    dir.write("preview/proj/P.vbp", vbp);
    fs::create_directories(dir.file("preview/proj/sub"));
    fs::copy(dir.file("preview"), dir.file("real"), fs::copy_options::recursive);

    CommandResult diff = traplineIn(dir.file("preview"), "insert --dry-run proj/P.vbp");
    ASSERT_EQ(diff.exitCode, 0) << diff.err;
    EXPECT_EQ(diff.out.find("Вставлено"), std::string::npos);
    EXPECT_NE(diff.err.find("Вставлено в Sub : A"), std::string::npos);
    const std::string patchFile = dir.write("changes.diff", diff.out);
    CommandResult patched =
        runCommand("cd '" + dir.file("preview") + "' && patch -p0 -i '" + patchFile + "'");
    ASSERT_EQ(patched.exitCode, 0) << patched.out << patched.err;
    ASSERT_EQ(traplineIn(dir.file("real"), "insert proj/P.vbp").exitCode, 0);
    for (const std::string& name :
         {names[0], names[1], names[2], std::string("../shared/Common.bas")})
        EXPECT_EQ(TempDir::read(dir.file("preview/proj/" + name)),
                  TempDir::read(dir.file("real/proj/" + name)))
            << name;
}

TEST(InsertCommand, JsonNamesFilesInUtf8WhateverBytesTheirNamesHold) {
    TempDir dir;
    dir.write("\xcc\xee\xe4.bas", kModule); // "Мод" in Windows-1251
    CommandResult r = traplineIn(dir.path(), "insert --json .");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(trapline::Codepage::isValidUtf8(r.out)) << r.out;
    EXPECT_EQ(nlohmann::json::parse(r.out)["treated"][0]["File"], "Мод.bas") << r.out;
}

TEST(InsertCommand, NamesEachDefinitionOfAProcedureDefinedTwiceByItsLine) {
    TempDir dir;
    const std::string module = "Attribute VB_Name = \"M\"\r\n"
                               "#If Compact Then\r\n"
                               "Sub Run(): End Sub\r\n" // 3: cannot be treated
                               "#Else\r\n"
                               "Sub Run()\r\n" // 5
                               "    Go\r\n"
                               "End Sub\r\n"
                               "#End If\r\n";
    dir.write("json/m.bas", module);
    CommandResult r = traplineIn(dir.file("json"), "insert --json --live m.bas");
    EXPECT_EQ(r.exitCode, 1);
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["treated"], nlohmann::json::parse(R"([{"ModuleName": "M", "ProcName": "Run",
                                                          "File": "m.bas", "Line": 5}])"))
        << r.out;
    ASSERT_EQ(json["failed"].size(), 1u) << r.out;
    auto failed = json["failed"][0];
    EXPECT_NE(failed["Reason"].get<std::string>().find("one line"), std::string::npos) << r.out;
    failed.erase("Reason");
    EXPECT_EQ(failed, nlohmann::json::parse(R"({"ModuleName": "M", "ProcName": "Run",
                                                "File": "m.bas", "Line": 3})"))
        << r.out;
    EXPECT_NE(
        TempDir::read(dir.file("json/m.bas")).find("Sub Run()\r\nON ERROR GOTO err_debug\r\n"),
        std::string::npos);

    dir.write("log/m.bas", module);
    CommandResult log = traplineIn(dir.file("log"), "insert --live m.bas");
    EXPECT_EQ(log.exitCode, 1);
    EXPECT_EQ(log.out, "Вставлено в Sub : Run\n");
    EXPECT_NE(log.err.find("Run: the procedure is written on one line"), std::string::npos)
        << log.err;
}
