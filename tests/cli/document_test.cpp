#include "childinsert.h"
#include "traplinerun.h"

#include "codepage.h"
#include "diskfile.h"
#include "insertcommand.h"
#include "officedocument.h"
#include "platform/filesystem.h"
#include "signalcleanup.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const std::string kOffice = std::string(TRAPLINE_SOURCE_DIR) + "/tests/data/office/";

/// A copy of the sample `name` in `dir`, under `as` when given.
std::string copySample(const TempDir& dir, const std::string& name, const std::string& as = "") {
    return dir.write(as.empty() ? name : as, TempDir::read(kOffice + name));
}

std::filesystem::file_time_type mtimeOf(const std::string& path) {
    return std::filesystem::last_write_time(utf8Path(path));
}

#ifndef _WIN32
/// A process that holds `folder`'s lock as a run of ours would, writes
/// `bytes` into `path` once `hold` is over and ends; returns once the lock is
/// taken.
pid_t firstRun(const std::string& folder, const std::string& path, const std::string& bytes,
               std::chrono::milliseconds hold) {
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    pid_t child = ::fork();
    if (child == 0) {
        trapline::platform::FolderLock lock;
        uint64_t device = 0, file = 0;
        if (lock.open(folder, device, file) || lock.lock())
            ::_exit(1);
        (void)!::write(ready[1], "x", 1);
        std::this_thread::sleep_for(hold);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        ::_exit(0);
    }
    char said = 0;
    (void)!::read(ready[0], &said, 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return child;
}
#endif

} // namespace

TEST(DocumentCommands, ListAndCheckNameTheDocumentModuleAndCodeWindowLineInEveryContainer) {
    // The first Sub of each, on the code window's line 1, makes the first
    // line of `list` and of `check`.
    struct Row {
        std::string sample, module, sub;
    };
    const Row rows[] = {
        {"calamine_issue281.xlsm", "testVBA", "test"},
        {"calamine_issues.xlsb", "testVBA", "test"},
        {"tika_testWORD_macros.doc", "NewMacros", "Embolden"},
        {"tika_testWORD_macros.docm", "NewMacros", "Embolden"},
        {"tika_testPPT_macros.pptm", "Module1", "Embolden"},
        {"xlsxwriter_vbaProject.bin", "Module1", "say_hello"},
        // A Mac project's code page (10000) and a class module's attribute block.
        {"xlwings_engines_mac.xlsm", "Module1", "IntegrationTestRead"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sample);
        TempDir dir;
        copySample(dir, row.sample);
        const std::string listed = traplineIn(dir.path(), "list " + row.sample, 0).out;
        EXPECT_EQ(listed.substr(0, listed.find('\n') + 1),
                  row.module + '\t' + row.sub + "\tSub\t-\n");
        const std::string found = traplineIn(dir.path(), "check " + row.sample, 1).out;
        const std::string finding = row.sample + ":" + row.module + ":1: Sub " + row.sub;
        EXPECT_EQ(found.substr(0, found.find('\n')),
                  finding + " has no error handler [missing-handler]");
    }
}

TEST(DocumentCommands, AFolderFindsItsDocumentsButNotLockFilesOrWorkbooksWithoutMacros) {
    TempDir dir;
    copySample(dir, "xlsxwriter_vbaProject.bin");
    copySample(dir, "calamine_any_sheets.xls"); // a workbook without a project
    dir.write("~$Book.xlsm", "owner");
    dir.write("notes.bin", "not a project");
    CommandResult r = traplineIn(dir.path(), "list .", 0);
    EXPECT_EQ(r.out, "Module1\tsay_hello\tSub\t-\n");
    EXPECT_EQ(r.err, "");
}

TEST(DocumentCommands, JsonAndSarifGiveTheDocumentAndTheModuleAsALogicalLocation) {
    TempDir dir;
    copySample(dir, "xlsxwriter_vbaProject.bin", "Book.bin");
    CommandResult json = traplineIn(dir.path(), "check --format json Book.bin", 1);
    const auto finding = nlohmann::json::parse(json.out)["findings"][0];
    EXPECT_EQ(finding["Document"], "Book.bin");
    EXPECT_EQ(finding["ModuleName"], "Module1");
    EXPECT_EQ(finding["Line"], 1);
    CommandResult sarif = traplineIn(dir.path(), "check --format sarif Book.bin", 1);
    const auto location = nlohmann::json::parse(sarif.out)["runs"][0]["results"][0]["locations"][0];
    EXPECT_EQ(location["physicalLocation"]["artifactLocation"]["uri"], "Book.bin");
    EXPECT_EQ(location["logicalLocations"][0]["fullyQualifiedName"], "Module1.say_hello");
    EXPECT_EQ(location["logicalLocations"][1]["kind"], "module");
    EXPECT_EQ(location["logicalLocations"][1]["name"], "Module1");
}

TEST(DocumentCommands, RefusedDocumentsAreNamedWithTheirReasonAndFailListAndCheck) {
    struct Row {
        const char* sample;
        const char* reason;
    };
    const Row rows[] = {
        {"oletools_encrypted.docm", "encrypted: open it in Office and save it without a password"},
        {"xlsxwriter_macro04_signed.xlsm",
         "signed: an edit would invalidate its signature; --remove-signature removes it"},
        {"xlwings_addin_protected.xlam", "locked: the project is locked for viewing"},
        {"hostile/module_not_compressed.bin", "corrupt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sample);
        TempDir dir;
        const std::string name = "Doc" + std::filesystem::path(row.sample).extension().string();
        copySample(dir, row.sample, name);
        for (const char* command : {"list ", "check ", "insert --live "}) {
            CommandResult r = traplineIn(dir.path(), command + name, 2);
            EXPECT_THAT(r.err, HasSubstr("trapline: " + name + ": " + row.reason)) << command;
            EXPECT_EQ(r.out, "") << command;
        }
    }
}

TEST(DocumentCommands, RemoveSignatureLetsEveryCommandOverASignedProjectGoOn) {
    TempDir dir;
    const std::string path = copySample(dir, "xlsxwriter_macro04_signed.xlsm", "Signed.xlsm");
    // One command line fits every command: list and check read the project
    // and, writing nothing, remove nothing.
    EXPECT_THAT(traplineIn(dir.path(), "list --remove-signature Signed.xlsm", 0).out,
                HasSubstr("Module1\t"));
    EXPECT_THAT(traplineIn(dir.path(), "check --remove-signature Signed.xlsm", 1).out,
                HasSubstr("Signed.xlsm:Module1:"));
    EXPECT_EQ(TempDir::read(path), TempDir::read(kOffice + "xlsxwriter_macro04_signed.xlsm"));
    const std::string insert = "insert --dry-run --codepage 1252 --remove-signature Signed.xlsm";
    EXPECT_THAT(traplineIn(dir.path(), insert, 0).out, HasSubstr("--- Signed.xlsm/Module1.bas"));
}

TEST(DocumentCommands, ADryRunShowsEachChangedModuleAsAFileInsideTheDocument) {
    TempDir dir;
    const std::string path = copySample(dir, "tika_testPPT_macros.pptm", "Deck.pptm");
    const auto before = mtimeOf(path);
    CommandResult r = traplineIn(dir.path(), "insert --dry-run --codepage 1252 Deck.pptm", 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "preview: Deck.pptm/Module1.bas lies inside the document; a run without "
              "--dry-run writes it");
    EXPECT_THAT(r.out, HasSubstr("--- Deck.pptm/Module1.bas\t"));
    EXPECT_THAT(r.out, HasSubstr("+++ Deck.pptm/Module1.bas\t"));
    EXPECT_EQ(TempDir::read(path), TempDir::read(kOffice + "tika_testPPT_macros.pptm"));
    EXPECT_EQ(mtimeOf(path), before);
}

TEST(DocumentCommands, TextGoesIntoADocumentOnlyInItsOwnCodePage) {
    TempDir dir;
    const std::string path = copySample(dir, "calamine_issue281.xlsm", "Book.xlsm");
    CommandResult r = traplineIn(dir.path(), "insert --live Book.xlsm");
    EXPECT_EQ(r.exitCode, 2);
    // Said of the document, once, not of each of its five modules.
    EXPECT_THAT(r.err, HasSubstr("trapline: Book.xlsm: its project's code page is 932, not the "
                                 "run's: run it with --codepage 932"));
    EXPECT_EQ(occurrences(r.err, "code page is 932"), 1u) << r.err;
    EXPECT_EQ(TempDir::read(path), TempDir::read(kOffice + "calamine_issue281.xlsm"));
}

TEST(DocumentCommands, NamesPrintFromTheDocumentsOwnCodePageWhateverTheRunsIs) {
    TempDir dir;
    const std::string path = copySample(dir, "calamine_issue281.xlsm", "Book.xlsm");
    auto cp932 = trapline::Codepage::open("932");
    ASSERT_TRUE(cp932);
    auto sjis = [&](const std::string& utf8) { return *cp932->fromUtf8(utf8); };
    // A module and procedures named in Japanese, which the run's code page
    // (1251 unless told) has no letters for.
    {
        auto document = trapline::OfficeDocument::open(path);
        ASSERT_TRUE(document) << document.error().description;
        auto bytes = (*document)->write(
            {}, {{sjis("集計"), sjis("Attribute VB_Name = \"集計\"\r\nSub 合計()\r\nEnd "
                                     "Sub\r\nFunction 売上()\r\nEnd Function\r\n"
                                     "Sub 表示()\r\nEnd Sub\r\n")}});
        ASSERT_TRUE(bytes) << bytes.error().description;
        dir.write("Book.xlsm", *bytes);
    }
    EXPECT_EQ(traplineIn(dir.path(), "list --module 集計 Book.xlsm", 0).out,
              "集計\t合計\tSub\t-\n集計\t売上\tFunction\t-\n集計\t表示\tSub\t-\n");
    CommandResult check = traplineIn(dir.path(), "check Book.xlsm", 1);
    EXPECT_THAT(check.out, HasSubstr("Book.xlsm:集計:1: Sub 合計 has no error handler"));
    EXPECT_THAT(check.out, HasSubstr("Book.xlsm:集計:3: Function 売上 has no error handler"));
    // A module named in the document's own code page, not in the run's.
    EXPECT_EQ(traplineIn(dir.path(), "check --module 集計 --subs Book.xlsm", 1).out,
              "Book.xlsm:集計:1: Sub 合計 has no error handler [missing-handler]\n"
              "Book.xlsm:集計:5: Sub 表示 has no error handler [missing-handler]\n");
    const auto json = nlohmann::json::parse(
        traplineIn(dir.path(), "check --format json Book.xlsm").out)["findings"];
    ASSERT_FALSE(json.empty());
    EXPECT_EQ(json.back()["ModuleName"], "集計");
    EXPECT_EQ(json.back()["ProcName"], "表示");
}

TEST(DocumentCommands, ADocumentOpenInAnotherProgramIsRefusedOnceAndNothingIsWritten) {
    for (const char* lock : {"~$Book.xlsm", ".~lock.Book.xlsm#"}) {
        SCOPED_TRACE(lock);
        TempDir dir;
        const std::string path = copySample(dir, "vbaweb_Example.xlsm", "Book.xlsm");
        const std::string other =
            dir.write("m.bas", "Attribute VB_Name = \"M\"\r\nSub A()\r\nEnd Sub\r\n");
        dir.write(lock, "someone");
        const auto before = mtimeOf(path);
        CommandResult r = traplineIn(dir.path(), "insert --codepage 1252 Book.xlsm m.bas", 2);
        // Said of the document, once, though many of its modules changed.
        EXPECT_EQ(occurrences(r.err, "open in another program"), 1u) << r.err;
        EXPECT_THAT(r.err, HasSubstr("trapline: Book.xlsm: open in another program"));
        EXPECT_EQ(TempDir::read(path), TempDir::read(kOffice + "vbaweb_Example.xlsm"));
        EXPECT_EQ(mtimeOf(path), before);
        EXPECT_EQ(TempDir::read(other), "Attribute VB_Name = \"M\"\r\nSub A()\r\nEnd Sub\r\n");
        // Reading it is no change: list and check go on.
        EXPECT_EQ(traplineIn(dir.path(), "check --codepage 1252 Book.xlsm").exitCode, 1);
    }
}

TEST(DocumentCommands, EveryDataSafetyPromiseHoldsForADocument) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a Windows version of the child runs, signals and modes";
#else
    const std::string original = TempDir::read(kOffice + "tika_testWORD_macros.docm");
    // The document as a first run leaves it, made once.
    std::string treated;
    {
        TempDir made;
        copySample(made, "tika_testWORD_macros.docm", "Doc.docm");
        ASSERT_EQ(traplineIn(made.path(), "insert --live --codepage 1252 Doc.docm").exitCode, 0);
        treated = TempDir::read(made.file("Doc.docm"));
    }
    // What a first run of another kind leaves, and that treated in turn: a run
    // that waited must work on the numbered lines, not on what it read before.
    std::string numbered, numberedTreated;
    {
        TempDir made;
        copySample(made, "tika_testWORD_macros.docm", "Doc.docm");
        traplineIn(made.path(), "number --codepage 1252 Doc.docm", 0);
        numbered = TempDir::read(made.file("Doc.docm"));
        traplineIn(made.path(), "insert --live --codepage 1252 Doc.docm", 0);
        numberedTreated = TempDir::read(made.file("Doc.docm"));
    }
    const bool root = ::geteuid() == 0;
    pid_t holder = 0;
    struct Row {
        const char* promise;
        std::function<void(const TempDir&)> setup; // the folder is "p", the document p/Doc.docm
        const char* args;                          // after "insert --live --codepage 1252"
        std::function<void(const std::string&)> whileReplacing;
        int ended; // exit status, or 128 + the signal
        std::function<void(const TempDir&, const std::string& err)> holds;
    };
    auto isTreated = [&](const TempDir& dir, const std::string& name) {
        return traplineIn(dir.file("p"), "check --live --codepage 1252 " + name).exitCode == 0;
    };
    const Row rows[] = {
        {"a document with nothing to change is not written",
         [&](const TempDir& dir) { dir.write("p/Doc.docm", treated); }, "Doc.docm", nullptr, 0,
         [&](const TempDir& dir, const std::string&) {
             EXPECT_EQ(TempDir::read(dir.file("p/Doc.docm")), treated);
         }},
        {"a document changed since it was read is not written over", nullptr, "Doc.docm",
         [](const std::string& path) {
             if (path.ends_with("Doc.docm"))
                 std::ofstream(path, std::ios::binary | std::ios::app) << "saved elsewhere";
         },
         1,
         [&](const TempDir& dir, const std::string& err) {
             EXPECT_EQ(TempDir::read(dir.file("p/Doc.docm")), original + "saved elsewhere");
             EXPECT_THAT(err, HasSubstr("trapline: Doc.docm: the file changed on disk"));
         }},
        {"a document with two names is refused, its names kept together",
         [](const TempDir& dir) {
             fs::create_hard_link(dir.file("p/Doc.docm"), dir.file("p/Other.docm"));
         },
         "Doc.docm", nullptr, 1,
         [&](const TempDir& dir, const std::string& err) {
             EXPECT_THAT(err, HasSubstr("Doc.docm: the file has 2 names (hard links)"));
             EXPECT_EQ(TempDir::read(dir.file("p/Doc.docm")), original);
             EXPECT_TRUE(fs::equivalent(dir.file("p/Doc.docm"), dir.file("p/Other.docm")));
         }},
        {"a document reached through a link is written where it leads and the link stays",
         [](const TempDir& dir) {
             fs::create_directories(dir.file("p/real"));
             fs::rename(dir.file("p/Doc.docm"), dir.file("p/real/Doc.docm"));
             fs::create_symlink("real/Doc.docm", dir.file("p/Doc.docm"));
         },
         "Doc.docm", nullptr, 0,
         [&](const TempDir& dir, const std::string&) {
             EXPECT_TRUE(fs::is_symlink(dir.file("p/Doc.docm")));
             EXPECT_TRUE(isTreated(dir, "real/Doc.docm"));
             EXPECT_EQ(TempDir::namesIn(dir.file("p/real")), std::vector<std::string>{"Doc.docm"});
         }},
        {"mode, owner and group are kept",
         [&](const TempDir& dir) {
             ASSERT_EQ(::chmod(dir.file("p/Doc.docm").c_str(), 0640), 0);
             if (root) {
                 ASSERT_EQ(::chown(dir.file("p/Doc.docm").c_str(), 4321, 4322), 0);
             }
         },
         "Doc.docm", nullptr, 0,
         [&](const TempDir& dir, const std::string&) {
             struct stat st {};
             ASSERT_EQ(::stat(dir.file("p/Doc.docm").c_str(), &st), 0);
             EXPECT_EQ(st.st_mode & 07777, 0640u);
             if (root) {
                 EXPECT_EQ(st.st_uid, 4321u);
                 EXPECT_EQ(st.st_gid, 4322u);
             }
             EXPECT_TRUE(isTreated(dir, "Doc.docm"));
         }},
        {"a read-only document is refused and stays read-only",
         [](const TempDir& dir) { ASSERT_EQ(::chmod(dir.file("p/Doc.docm").c_str(), 0444), 0); },
         "Doc.docm", nullptr, 1,
         [&](const TempDir& dir, const std::string& err) {
             EXPECT_THAT(err, HasSubstr("Doc.docm: the file is read-only"));
             EXPECT_EQ(TempDir::read(dir.file("p/Doc.docm")), original);
             struct stat st {};
             ASSERT_EQ(::stat(dir.file("p/Doc.docm").c_str(), &st), 0);
             EXPECT_EQ(st.st_mode & 07777, 0444u);
         }},
        {"--backup keeps the document as it was under a free name",
         [](const TempDir& dir) { dir.write("p/Doc.docm.bak", "the user's own"); },
         "--backup Doc.docm", nullptr, 0,
         [&](const TempDir& dir, const std::string& err) {
             EXPECT_EQ(TempDir::read(dir.file("p/Doc.docm.bak")), "the user's own");
             EXPECT_EQ(TempDir::read(dir.file("p/Doc.docm.bak.1")), original);
             EXPECT_THAT(err, HasSubstr("the replaced file is kept as Doc.docm.bak.1"));
             EXPECT_TRUE(isTreated(dir, "Doc.docm"));
         }},
        {"a signal while replacing leaves each document whole, old or new",
         [&](const TempDir& dir) {
             for (const char* more : {"p/Two.docm", "p/Three.docm", "p/Four.docm"})
                 copySample(dir, "tika_testWORD_macros.docm", more);
         },
         "Doc.docm Two.docm Three.docm Four.docm",
         [](const std::string&) {
             static bool sent = false;
             if (!std::exchange(sent, true)) {
                 ::kill(::getpid(), SIGINT);
                 // Until the run has taken the signal, however busy the machine;
                 // the commits stop right after, on the signal's own thread.
                 for (int waited = 0; !trapline::SignalCleanup::interrupted(); ++waited) {
                     if (waited == 60'000)
                         ::_exit(5);
                     std::this_thread::sleep_for(std::chrono::milliseconds(1));
                 }
                 std::this_thread::sleep_for(std::chrono::milliseconds(100));
             }
         },
         128 + SIGINT,
         [&](const TempDir& dir, const std::string& err) {
             // The replacements under way finish (two at a time); no other begins.
             size_t written = 0, kept = 0;
             for (const char* name : {"Doc.docm", "Two.docm", "Three.docm", "Four.docm"}) {
                 if (TempDir::read(dir.file(std::string("p/") + name)) == original)
                     ++kept;
                 else if (isTreated(dir, name))
                     ++written;
             }
             EXPECT_EQ(written + kept, 4u) << "a document is neither old nor whole";
             EXPECT_GE(written, 1u);
             EXPECT_GE(kept, 2u);
             EXPECT_THAT(err, HasSubstr("interrupted; " + std::to_string(written) + " file"));
         }},
        {"a run waits for another in the folder, then works on what that one wrote",
         [&](const TempDir& dir) {
             holder = firstRun(dir.file("p"), dir.file("p/Doc.docm"), numbered,
                               std::chrono::milliseconds(400));
             ASSERT_GT(holder, 0);
         },
         "Doc.docm", nullptr, 0,
         [&](const TempDir& dir, const std::string& err) {
             int status = 0;
             ::waitpid(holder, &status, 0);
             EXPECT_EQ(occurrences(err, "waiting for another trapline run to finish"), 1u) << err;
             EXPECT_EQ(TempDir::read(dir.file("p/Doc.docm")), numberedTreated);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.promise);
        TempDir dir;
        copySample(dir, "tika_testWORD_macros.docm", "p/Doc.docm");
        if (row.setup)
            row.setup(dir);
        const std::string bytes = TempDir::read(dir.file("p/Doc.docm"));
        const auto before = mtimeOf(dir.file("p/Doc.docm"));
        std::vector<std::string> args =
            shellWords(std::string("--live --codepage 1252 ") + row.args);
        const int ended =
            insertIn(dir.file("p"), args, row.whileReplacing, dir.file("out"), dir.file("err"));
        const std::string err = TempDir::read(dir.file("err"));
        EXPECT_EQ(ended, row.ended) << err;
        row.holds(dir, err);
        // Whatever happened, nothing staged is left behind, and a document
        // not written keeps its times.
        for (const std::string& name : TempDir::namesIn(dir.file("p")))
            EXPECT_EQ(name.find(".trapline-"), std::string::npos) << name;
        if (TempDir::read(dir.file("p/Doc.docm")) == bytes) {
            EXPECT_EQ(mtimeOf(dir.file("p/Doc.docm")), before);
        }
        ::chmod(dir.file("p/Doc.docm").c_str(), 0644);
    }
#endif
}

TEST(DocumentCommands, InsertThenCheckPassesAndRemoveGivesBackEveryModule) {
    struct Row {
        const char* sample;
        const char* codepage;
    };
    const Row rows[] = {
        {"tika_testWORD_macros.docm", "1252"},    {"tika_testWORD_macros.doc", "1252"},
        {"xlsxwriter_vbaProject.bin", "1252"},    {"calamine_issues.xlsb", "1252"},
        {"calamine_issue281.xlsm", "932"},        {"tika_testPPT_macros.pptm", "1252"},
        {"xlwings_quickstart_addin.xlam", "1252"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sample);
        TempDir dir;
        const std::string name =
            std::string("Doc") + std::filesystem::path(row.sample).extension().string();
        copySample(dir, row.sample, name);
        const std::string cp = std::string(" --codepage ") + row.codepage;
        CommandResult before = traplineIn(dir.path(), "check --live" + cp + " " + name, 1);
        traplineIn(dir.path(), "insert --live" + cp + " " + name, 0);
        traplineIn(dir.path(), "check --live" + cp + " " + name, 0);
        traplineIn(dir.path(), "remove --live" + cp + " " + name, 0);
        // Every procedure is found without its handler again, on the lines it had.
        EXPECT_EQ(traplineIn(dir.path(), "check --live" + cp + " " + name).out, before.out);
    }
}

TEST(DocumentCommands, AddErrorModuleAddsTheModuleToTheDocumentOnce) {
    TempDir dir;
    copySample(dir, "calamine_issue281.xlsm", "Book.xlsm");
    // Text in another code page is refused before the module is made.
    EXPECT_THAT(traplineIn(dir.path(), "add-error-module Book.xlsm", 1).err,
                HasSubstr("run it with --codepage 932"));
    EXPECT_EQ(TempDir::read(dir.file("Book.xlsm")),
              TempDir::read(kOffice + "calamine_issue281.xlsm"));
    const std::string add = "add-error-module --codepage 932 Book.xlsm";
    EXPECT_EQ(traplineIn(dir.path(), add, 0).out, "added mdl_Error to Book.xlsm\n");
    EXPECT_EQ(traplineIn(dir.path(), "list --codepage 932 --module mdl_Error Book.xlsm").out,
              "mdl_Error\tMyErrorHandler\tSub\t-\n");
    const std::string after = TempDir::read(dir.file("Book.xlsm"));
    traplineIn(dir.path(), add, 0);
    EXPECT_EQ(TempDir::read(dir.file("Book.xlsm")), after);
}
