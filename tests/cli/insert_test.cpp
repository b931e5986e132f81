#include "../support/runcommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

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

CommandResult trapline(const std::string& folder, const std::string& args) {
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
    CommandResult diff = trapline(previewed, "insert --dry-run Ledger.vbp");
    EXPECT_EQ(diff.exitCode, 1); // the one-line procedure
    for (const char* file : kFiles)
        EXPECT_TRUE(TempDir::read(previewed + "/" + file) == TempDir::read(kExample + "/" + file))
            << file;
    std::string patchFile = dir.write("changes.diff", diff.out);
    ASSERT_EQ(runCommand("cd '" + previewed + "' && patch -p0 -s -i '" + patchFile + "'").exitCode,
              0);

    CommandResult run = trapline(real, "insert Ledger.vbp");
    EXPECT_EQ(run.exitCode, 1);
    for (const char* file : kFiles)
        EXPECT_TRUE(TempDir::read(previewed + "/" + file) == TempDir::read(real + "/" + file))
            << file;
}

TEST(InsertCommand, LiveRunOnlyAddsTheHandlerLines) {
    TempDir dir;
    std::string project = copyExample(dir, "p");
    CommandResult r = trapline(project, "insert --live --include-trapped Ledger.vbp");
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
    EXPECT_EQ(added, 30u * 4); // every procedure but the one-liner, four lines each
}

TEST(InsertCommand, ReportsWhatItDidAsJson) {
    TempDir dir;
    std::string project = copyExample(dir, "p");
    CommandResult r = trapline(project, "insert --json --module CInvoice --properties Ledger.vbp");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\n  \"treated\": [\n    {\"ModuleName\": \"CInvoice\", \"ProcName\": "
                          "\"Customer (Get)\", \"File\": \"CInvoice.cls\"}",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("\"failed\": []"), std::string::npos);
    EXPECT_EQ(r.out.find("Вставлено"), std::string::npos);
}

TEST(InsertCommand, UsesTemplateFilesWithAnyLineEndsAndTheProjectsCodePage) {
    TempDir dir;
    dir.write("m.bas",
              "Attribute VB_Name = \"M\"\r\nPublic Function Calc() As Long\r\nEnd Function\r\n");
    dir.write("header.txt", "On Error GoTo Fail\n");
    dir.write("footer.txt", "Exit ???\n' \xce\xf8\xe8\xe1\xea\xe0 \xe2 #MODULE#.#PROC#\nFail:\n");
    CommandResult r = trapline(dir.path(), "insert --header header.txt --footer footer.txt m.bas");
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
    CommandResult r = trapline(dir.path(), "insert a.bas b.bas --backup");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("b.bas: the file is read-only"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("not written: B (1 procedure)"), std::string::npos) << r.err;
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
        CommandResult r = trapline(project, c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_EQ(TempDir::read(project + "/modMain.bas"), TempDir::read(kExample + "/modMain.bas"));

    dir.write("trapped/a.bas", "Attribute VB_Name = \"A\"\r\nSub A()\r\nOn Error Resume Next\r\n"
                               "End Sub\r\n");
    CommandResult none = trapline(dir.file("trapped"), "insert a.bas");
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_NE(none.err.find("no procedure was selected"), std::string::npos) << none.err;
}

TEST(InsertCommand, WritesNothingWhenAFileTurnsOutUnreadable) {
    TempDir dir;
    const std::string good = "Attribute VB_Name = \"A\"\r\nSub A()\r\nEnd Sub\r\n";
    dir.write("a.bas", good);
    dir.write("z.bas", std::string("Attribute VB_Name = \"Z\"\r\n\0\0", 27));
    CommandResult r = trapline(dir.path(), "insert .");
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
    CommandResult first = trapline(project, "add-error-module Ledger.vbp");
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_TRUE(fs::exists(project + "/mdl_Error.bas"));
    EXPECT_NE(TempDir::read(project + "/Ledger.vbp")
                  .find("Module=modUtil; Source\\modUtil.bas\r\n"
                        "Module=mdl_Error; mdl_Error.bas\r\n"),
              std::string::npos);
    CommandResult second = trapline(project, "add-error-module Ledger.vbp");
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_NE(second.err.find("Модуль уже присутствует в проекте !"), std::string::npos);
    EXPECT_EQ(trapline(project, "add-error-module modMain.bas").exitCode, 2);
}
