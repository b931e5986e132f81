#include "traplinerun.h"

#include "../support/links.h"

#include "codepage.h"
#include "diskfile.h"
#include "insertcommand.h"
#include "platform/filesystem.h"
#include "signalcleanup.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const std::string kModule = "Attribute VB_Name = \"M\"\r\nSub A()\r\nEnd Sub\r\n";
const std::string kTreated = "Attribute VB_Name = \"M\"\r\nSub A()\r\n'ON ERROR GOTO err_debug\r\n"
                             "'EXIT SUB\r\n'err_debug:\r\n'MyErrorHandler \"M.A\"\r\nEnd Sub\r\n";
} // namespace

TEST(InsertCommand, UsesTemplateFilesWithAnyLineEndsAndTheProjectsCodePage) {
    TempDir dir;
    dir.write("m.bas",
              "Attribute VB_Name = \"M\"\r\nPublic Function Calc() As Long\r\nEnd Function\r\n");
    dir.write("header.txt", "\xEF\xBB\xBFOn Error GoTo Fail\r\n"); // as Notepad saves UTF-8
    dir.write("footer.txt", "Exit ???\n' \xce\xf8\xe8\xe1\xea\xe0 \xe2 #MODULE#.#PROC#\nFail:\n");
    // A first backup takes the plain name, and nothing needs saying.
    CommandResult r =
        traplineIn(dir.path(), "insert --backup --header header.txt --footer footer.txt m.bas", 0);
    EXPECT_EQ(r.out, "Вставлено в Function : Calc\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fs::exists(utf8Path(dir.file("m.bas.bak"))));
    EXPECT_EQ(
        TempDir::read(dir.file("m.bas")),
        "Attribute VB_Name = \"M\"\r\nPublic Function Calc() As Long\r\n'On Error GoTo Fail\r\n"
        "'Exit Function\r\n'' \xce\xf8\xe8\xe1\xea\xe0 \xe2 M.Calc\r\n'Fail:\r\nEnd Function\r\n");
}

TEST(InsertCommand, RejectsBadUsageAndIncompleteProjectsWithoutWriting) {
    TempDir dir;
    std::string project = copyExample(dir, "p");
    dir.write("p/Broken.vbp", "Module=modMain; modMain.bas\r\nModule=Gone; Gone.bas\r\n");
#ifndef _WIN32 // where a file may be a FIFO
    dir.write("p/Fifo.vbp", "Module=modMain; modMain.bas\r\nModule=Pipe; pipe.bas\r\n");
    ASSERT_EQ(::mkfifo(dir.file("p/pipe.bas").c_str(), 0644), 0);
#endif
    fs::create_directories(dir.file("elsewhere"));
    dir.write("p/h.txt", "On Error GoTo Fail\n");
    dir.write("p/f.txt", "Exit ???\nFail:\n    Log Err.Description, _\n");
    // A module found only when the folder is treated, and then unreadable.
    dir.write("mixed/good.bas", kModule);
    dir.write("mixed/mac.bas", "Attribute VB_Name = \"Mac\"\rSub A()\rEnd Sub\r");
    struct Case {
        std::string args, message, in = "p";
    } cases[] = {
        {"insert", "no PATH given"},
        {"insert --header h.txt Ledger.vbp", "--header and --footer go together"},
        {"insert --dry-run --json Ledger.vbp", "does not go with --json"},
        {"insert --dry-run --backup Ledger.vbp",
         "--dry-run writes nothing, so --backup has nothing to keep"},
        {"insert --header none.txt --footer none.txt Ledger.vbp", "none.txt: cannot open"},
        {"insert --module Nope Ledger.vbp", "no module named 'Nope'"},
        {"insert --live --header h.txt --footer f.txt Ledger.vbp",
         "f.txt:3: template refused: the last line ends in \" _\""},
        {"insert Broken.vbp", "nothing was written"},
#ifndef _WIN32
        {"insert Fifo.vbp", "pipe.bas: a FIFO, not a regular file"},
#endif
        {"insert --dry-run ../p/Ledger.vbp", "run it from a folder that holds every file",
         "elsewhere"},
        {"insert --proc= Ledger.vbp", "--proc needs a procedure name"},
        {"insert --proc Nowhere Ledger.vbp", "no procedure named 'Nowhere'"},
        {"insert --module modMain --proc Hidden Ledger.vbp",
         "no procedure named 'Hidden' in module 'modMain'"},
        {"insert .", "some files could not be read; nothing was written", "mixed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_THAT(traplineIn(dir.file(c.in), c.args, 2).err, HasSubstr(c.message));
    }
    EXPECT_EQ(TempDir::read(project + "/modMain.bas"), TempDir::read(kExample + "/modMain.bas"));
    EXPECT_FALSE(fs::exists(utf8Path(project + "/modMain.bas.bak")));
    EXPECT_EQ(TempDir::read(dir.file("mixed/good.bas")), kModule);
}

TEST(AddErrorModuleCommand, AddsTheModuleOnceAndListsItInTheProject) {
    TempDir dir;
    std::string project = copyExample(dir, "p");
    traplineIn(project, "add-error-module Ledger.vbp", 0);
    EXPECT_THAT(TempDir::read(project + "/Ledger.vbp"), HasSubstr("Module=mdl_Error;"));
    EXPECT_THAT(traplineIn(project, "add-error-module Ledger.vbp", 0).err,
                HasSubstr("Модуль уже присутствует в проекте !"));
    EXPECT_EQ(traplineIn(project, "add-error-module modMain.bas").exitCode, 2);
}

TEST(InsertCommand, DryRunPrintsADiffThatPatchTurnsIntoTheRealRun) {
    TempDir dir;
    fs::create_directories(dir.file("preview"));
    std::string previewed = copyExample(dir, "preview/proj");
    dir.write("preview/shared/Common.bas", kModule);
    std::string vbp = TempDir::read(previewed + "/Ledger.vbp");
    vbp.insert(vbp.find("Startup="), "Module=Common; ..\\shared\\Common.bas\r\n");
    dir.write("preview/proj/Ledger.vbp", vbp);
    fs::copy(dir.file("preview"), dir.file("real"), fs::copy_options::recursive);
    const std::string outside = "shared/Common.bas lies outside the project's folder";

    // Status 1 for the one-line procedure.
    CommandResult diff = traplineIn(dir.file("preview"), "insert --dry-run proj/Ledger.vbp", 1);
    EXPECT_EQ(TempDir::read(previewed + "/modMain.bas"), TempDir::read(kExample + "/modMain.bas"));
    EXPECT_THAT(diff.out, Not(HasSubstr("Вставлено")));
    EXPECT_THAT(diff.err, HasSubstr("Вставлено в Sub : A"));
    EXPECT_THAT(diff.err, HasSubstr(outside));
    if (!havePatch())
        GTEST_SKIP() << "no patch program to apply the diff with";
    const std::string patchFile = dir.write("changes.diff", diff.out);
    CommandResult patched = runCommand({"patch", "-p0", "-i", patchFile}, dir.file("preview"));
    ASSERT_EQ(patched.exitCode, 0) << patched.out << patched.err;

    EXPECT_THAT(traplineIn(dir.file("real"), "insert proj/Ledger.vbp", 1).err, HasSubstr(outside));
    for (const auto& e : fs::recursive_directory_iterator(dir.file("preview"))) {
        const fs::path inside = fs::relative(e.path(), dir.file("preview"));
        EXPECT_TRUE(e.is_directory() ||
                    TempDir::read(utf8String(e.path())) ==
                        TempDir::read(dir.file("real") + "/" + utf8String(inside)))
            << inside;
    }
}

TEST(InsertCommand, TreatsTheRestButFailsWhenASubfolderCannotBeReadOrSearched) {
    TempDir dir;
    const std::string treated = dir.write("a.bas", kModule);
    const std::string unread = dir.write("theirs/b.bas", kModule);
    const std::string unsearched = dir.write("listed/c.bas", kModule);
#ifdef _WIN32
    GTEST_SKIP() << "needs a Windows version: an ACL that denies listing (wine enforces none)";
#else
    std::string as;
    if (::geteuid() == 0) {
        // As another user would meet them: folders of root's that it may not
        // read (700) or may list but not search (744), in a tree of its own.
        constexpr uid_t kNobody = 65534;
        for (const std::string& path : {dir.path(), treated})
            ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
        ::chmod(dir.file("theirs").c_str(), 0700);
        ::chmod(dir.file("listed").c_str(), 0744);
        as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    } else {
        ::chmod(dir.file("theirs").c_str(), 0300);
        ::chmod(dir.file("listed").c_str(), 0600);
        if (::access(dir.file("theirs").c_str(), R_OK) == 0 ||
            ::access(unsearched.c_str(), F_OK) == 0)
            GTEST_SKIP() << "this user reads every folder";
    }
    for (const char* command : {"check .", "insert ."}) {
        SCOPED_TRACE(command);
        CommandResult r =
            runShell("cd '" + dir.path() + "' && " + as + "'" + kTrapline + "' " + command);
        EXPECT_EQ(r.exitCode, command[0] == 'c' ? 2 : 1) << r.err;
        for (const char* said : {"./listed: permission denied", "./theirs: permission denied",
                                 command[0] == 'c' ? "incomplete" : "was not treated"})
            EXPECT_THAT(r.err, HasSubstr(said));
    }
    EXPECT_EQ(TempDir::read(treated), kTreated);
    for (const char* folder : {"theirs", "listed"})
        fs::permissions(dir.file(folder), fs::perms::owner_all);
    EXPECT_EQ(TempDir::read(unread), kModule);
    EXPECT_EQ(TempDir::read(unsearched), kModule);
#endif
}

TEST(InsertCommand, ASecondRunWaitsForTheFirstThenFindsNothingLeftToDoOrStoppedSaysSo) {
#ifdef _WIN32
    GTEST_SKIP() << "left to do on Windows: a second run started under wine never reports "
                    "waiting, nor takes Ctrl+C from another console";
#else
    for (bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped by SIGTERM" : "let through");
        TempDir dir;
        const std::string path = dir.write("m.bas", kModule);
        // The test holds the folder's lock as a first run would.
        std::optional<trapline::platform::FolderLock> held(std::in_place);
        uint64_t device = 0, file = 0;
        ASSERT_FALSE(held->open(dir.path(), device, file));
        ASSERT_FALSE(held->lock());
        std::FILE* shell = ::popen(("cd '" + dir.path() + "' && { '" + kTrapline +
                                    "' insert m.bas 2>&1 & echo \"pid $!\"; wait $!; "
                                    "echo \"status $?\"; } 2>/dev/null")
                                       .c_str(),
                                   "r");
        ASSERT_NE(shell, nullptr);
        std::string said;
        pid_t second = 0;
        char line[512];
        while ((second == 0 || said.find("waiting") == std::string::npos) &&
               std::fgets(line, sizeof line, shell))
            if (std::sscanf(line, "pid %d", &second) != 1)
                said += line;
        ASSERT_GT(second, 0) << said;
        EXPECT_THAT(said, HasSubstr("waiting for another trapline run to finish in ."));
        // The second run tries the lock again ten times a second: held on a
        // while, a run that said so at each try would have said it again.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_EQ(TempDir::read(path), kModule);
        if (stopped) {
            ::kill(second, SIGTERM);
        } else { // the first run writes its result and lets go
            { std::ofstream(path, std::ios::binary | std::ios::trunc) << kTreated; }
            held.reset();
        }
        while (std::fgets(line, sizeof line, shell))
            said += line;
        ::pclose(shell);
        EXPECT_THAT(said,
                    HasSubstr(stopped ? "trapline: interrupted" : "no procedure was selected"));
        EXPECT_EQ(occurrences(said, "waiting for another"), 1u) << said; // not at each try
        EXPECT_THAT(said, HasSubstr("status " + std::to_string(stopped ? 128 + SIGTERM : 0)));
        EXPECT_EQ(TempDir::read(path), stopped ? kModule : kTreated);
        EXPECT_EQ(TempDir::namesIn(dir.path()), std::vector<std::string>{"m.bas"});
    }
#endif
}

TEST(InsertCommand, KeepsLinksAndExistingBackupsAndSaysWhereTheBackupWent) {
    TempDir dir;
    const std::string real = dir.write("shared/m.bas", kModule);
    fs::create_directories(dir.file("p"));
    if (!makeLink("../shared/m.bas", dir.file("p/m.bas")))
        GTEST_SKIP() << "this system makes no symbolic links";
    dir.write("shared/m.bas.bak", "the user's own backup");
    dir.write("p/h.bas", kModule);
    fs::create_hard_link(utf8Path(dir.file("p/h.bas")), utf8Path(dir.file("p/h2.txt")));
    const std::string readOnly = "Attribute VB_Name = \"B\"\r\nSub B()\r\nEnd Sub\r\n";
    fs::permissions(utf8Path(dir.write("p/b.bas", readOnly)),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    CommandResult r = traplineIn(dir.file("p"), "insert --backup m.bas h.bas b.bas", 1);
    EXPECT_EQ(r.out, "Вставлено в Sub : A\n"); // the log names only what was written
    EXPECT_EQ(TempDir::read(real), kTreated);
    EXPECT_EQ(TempDir::read(dir.file("shared/m.bas.bak.1")), kModule);
    for (const char* said : {"the replaced file is kept as ../shared/m.bas.bak.1",
                             "h.bas: the file has 2 names (hard links)",
                             "b.bas: the file is read-only", "not written: B (1 procedure)"})
        EXPECT_THAT(r.err, HasSubstr(said));
    EXPECT_EQ(TempDir::read(dir.file("p/h.bas")), kModule);
    EXPECT_EQ(TempDir::read(dir.file("p/b.bas")), readOnly);
    // The link stays a link to the treated file.
    EXPECT_TRUE(fs::equivalent(utf8Path(dir.file("p/m.bas")), utf8Path(real)));
}

TEST(InsertCommand, AUsersFileWithTheLocksNameIsNeverTakenNorRemoved) {
    for (bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only" : "writable");
        TempDir dir;
        const std::string path = dir.write("m.bas", kModule);
        const std::string mine = dir.write("~trapline.lock", "the user's own");
        if (readOnly)
            fs::permissions(utf8Path(mine),
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        CommandResult r = traplineIn(dir.path(), "insert m.bas");
#ifdef _WIN32 // where the lock is a file of that name, made by the run
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_THAT(r.err, HasSubstr("a file that no trapline run made has the name of its lock"));
        EXPECT_EQ(TempDir::read(path), kModule);
#else // where the folder itself is locked
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(TempDir::read(path), kTreated);
#endif
        EXPECT_EQ(TempDir::read(mine), "the user's own");
        const fs::perms perms = fs::status(utf8Path(mine)).permissions();
        EXPECT_EQ((perms & fs::perms::owner_write) == fs::perms::none, readOnly);
        fs::permissions(utf8Path(mine), fs::perms::owner_write, fs::perm_options::add);
    }
}

TEST(InsertCommand, APipeOrADeviceIsNamedForWhatItIs) {
    TempDir dir;
#ifdef _WIN32
    const std::string pipe =
        "\\\\.\\pipe\\trapline-test-" + std::to_string(GetCurrentProcessId()) + ".bas";
    HANDLE server = CreateNamedPipeW(utf8Path(pipe).c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1,
                                     4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const std::string device = "NUL";
#else
    const std::string pipe = dir.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const std::string device = "/dev/null";
    const std::string dangling = dir.file("dangling.bas");
    ASSERT_EQ(::symlink("gone.bas", dangling.c_str()), 0);
#endif
    std::vector<std::pair<std::string, std::string>> named = {
        {pipe, "a FIFO, not a regular file"}, {device, "a device, not a regular file"}};
#ifndef _WIN32
    named.push_back({dangling, "a symbolic link that leads to no file"});
#endif
    for (const auto& [path, what] : named) {
        SCOPED_TRACE(path);
        // Named once, never then taken for a file of some other kind.
        const std::string said = traplineIn(dir.path(), "insert '" + path + "'", 2).err;
        EXPECT_THAT(said, HasSubstr(path + ": " + what));
        EXPECT_THAT(said, Not(HasSubstr("not a VB project")));
    }
#ifdef _WIN32
    CloseHandle(server);
#endif
}

#ifdef _WIN32
TEST(InsertCommand, APathWithTheLiteralOrTheDevicePrefixIsThePlainPath) {
    auto windowsPath = [](std::string path) {
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    };
    TempDir dir;
    const std::string plain = copyExample(dir, "plain");
    CommandResult expected =
        traplineIn(dir.path(), "insert '" + windowsPath(plain) + "\\Ledger.vbp'");
    for (const std::string prefix : {"\\\\?\\", "\\\\.\\"}) {
        SCOPED_TRACE(prefix);
        const std::string project = copyExample(dir, prefix[2] == '?' ? "literal" : "device");
        CommandResult r =
            traplineIn(dir.path(), "insert '" + prefix + windowsPath(project) + "\\Ledger.vbp'");
        EXPECT_EQ(r.exitCode, expected.exitCode) << r.err;
        EXPECT_EQ(r.out, expected.out);
        EXPECT_THAT(r.err, Not(HasSubstr("outside the project's folder")));
        EXPECT_THAT(r.err, Not(HasSubstr("No such file")));
        for (const char* file : {"modMain.bas", "CInvoice.cls", "frmMain.frm"})
            EXPECT_EQ(TempDir::read(project + "/" + file), TempDir::read(plain + "/" + file))
                << file;
    }
}
#endif

TEST(InsertCommand, NamesEachDefinitionOfAProcedureDefinedTwiceByItsLineAndFileInUtf8) {
    TempDir dir;
    const std::string module = "Attribute VB_Name = \"M\"\r\n"
                               "#If Compact Then\r\n"
                               "Sub \xcf\xf3\xf1\xea(): End Sub\r\n" // 3: cannot be treated
                               "#Else\r\n"
                               "Sub \xcf\xf3\xf1\xea()\r\n" // 5, "Пуск" in Windows-1251
                               "    Go\r\n"
                               "End Sub\r\n"
                               "#End If\r\n";
#ifdef _WIN32 // where a file name is Unicode
    const std::string file = dir.write("json/Мод.bas", module);
#else
    const std::string file = dir.write("json/\xcc\xee\xe4.bas", module); // "Мод" in Windows-1251
#endif
    CommandResult r = traplineIn(dir.file("json"), "insert --json --live .", 1);
    EXPECT_TRUE(trapline::Codepage::isValidUtf8(r.out)) << r.out;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["treated"], nlohmann::json::parse(R"([{"ModuleName": "M", "ProcName": "Пуск",
                                                          "File": "Мод.bas", "Line": 5}])"))
        << r.out;
    ASSERT_EQ(json["failed"].size(), 1u) << r.out;
    EXPECT_EQ(json["failed"][0]["Line"], 3) << r.out;
    EXPECT_EQ(json["failed"][0]["Reason"], "Пуск: the procedure is written on one line") << r.out;
    EXPECT_THAT(r.err, HasSubstr("1004: Пуск: the procedure is written on one line"));
    EXPECT_THAT(TempDir::read(file),
                HasSubstr("Sub \xcf\xf3\xf1\xea()\r\nON ERROR GOTO err_debug\r\n"));
}

TEST(InsertCommand, FindsNamesOfEveryDoubleByteCodePageWhateverTheirSecondByteIs) {
    // Each procedure: its declaration, a body line, its kind and listed name.
    struct Proc {
        const char *declaration, *body, *kind, *name;
    };
    const struct {
        const char* codepage;
        std::vector<Proc> procs;
    } rows[] = {
        {"932",
         {{"Public Function 表示(ByVal 値 As Long) As Long", "    表示 = 値 + 1", "Function",
           "表示"},
          // Second bytes @ [ \ ] ^ ` { | } ~, then a label of one.
          {"Private Sub ァゼソゾタチボポマミ()", "ソ: Beep", "Sub", "ァゼソゾタチボポマミ"}}},
        {"936",
         {{"Sub 丂乕乗乚乛乣亄亅亇亊(ByVal x As Long)", "    x = 1", "Sub",
           "丂乕乗乚乛乣亄亅亇亊"}}},
        {"950",
         {{"Function 一兞兝兡兣瓩廾弋弓才() As Long", "    一 = 1", "Function",
           "一兞兝兡兣瓩廾弋弓才"}}},
        // Names apart only in the case of a second byte are two procedures.
        {"932", {{"Sub ア()", "", "Sub", "ア"}, {"Sub ヂ()", "", "Sub", "ヂ"}}},
        {"949", {{"Sub 갂()", "", "Sub", "갂"}, {"Sub 갵()", "", "Sub", "갵"}}},
        // Single-byte text as ever: a type suffix and an operator after a name.
        {"1251",
         {{"Public Function Сумма@(ByVal х As Currency) As Currency", "    Сумма = х^2", "Function",
           "Сумма"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.codepage);
        std::string module = "Attribute VB_Name = \"M\"\r\nOption Explicit\r\n";
        std::string treated = module, listed;
        for (const Proc& p : row.procs) {
            const std::string end = std::string("End ") + p.kind + "\r\n";
            const std::string body = *p.body ? p.body + std::string("\r\n") : "";
            module += "\r\n" + std::string(p.declaration) + "\r\n" + body + end;
            treated += "\r\n" + std::string(p.declaration) + "\r\n'ON ERROR GOTO err_debug\r\n" +
                       body + "'EXIT " + (p.kind[0] == 'S' ? "SUB" : "FUNCTION") +
                       "\r\n'err_debug:\r\n'MyErrorHandler \"M." + p.name + "\"\r\n" + end;
            listed += std::string("M\t") + p.name + "\t" + p.kind + "\t-\n";
        }
        auto cp = trapline::Codepage::open(row.codepage);
        ASSERT_TRUE(cp);
        TempDir dir;
        dir.write("m.bas", *cp->fromUtf8(module));
        const std::string args = std::string(" --codepage ") + row.codepage + " m.bas";
        EXPECT_EQ(traplineIn(dir.path(), "list" + args).out, listed);
        traplineIn(dir.path(), "insert" + args, 0);
        EXPECT_EQ(TempDir::read(dir.file("m.bas")), *cp->fromUtf8(treated));
        traplineIn(dir.path(), "remove" + args, 0);
        EXPECT_EQ(TempDir::read(dir.file("m.bas")), *cp->fromUtf8(module));
    }
}
