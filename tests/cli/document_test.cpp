#include "traplinerun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

namespace {

const std::string kOffice = std::string(TRAPLINE_SOURCE_DIR) + "/tests/data/office/";

/// A copy of the sample `name` in `dir`, under `as` when given.
std::string copySample(const TempDir& dir, const std::string& name, const std::string& as = "") {
    return dir.write(as.empty() ? name : as, TempDir::read(kOffice + name));
}

std::filesystem::file_time_type mtimeOf(const std::string& path) {
    return std::filesystem::last_write_time(utf8Path(path));
}

/// Whether this build can write documents yet; a run that cannot says so.
bool writerMissing(const CommandResult& r) {
    return r.err.find("cannot write Office documents yet") != std::string::npos ||
           r.err.find("cannot remove a project's signature") != std::string::npos;
}

} // namespace

TEST(DocumentCommands, ListAndCheckNameTheDocumentModuleAndCodeWindowLineInEveryContainer) {
    struct Row {
        const char* sample;
        const char* listed;  // the first line of `list`
        const char* finding; // the first line of `check`
    };
    const Row rows[] = {
        {"calamine_issue281.xlsm", "testVBA\ttest\tSub\t-\n",
         "calamine_issue281.xlsm:testVBA:1: Sub test has no error handler [missing-handler]"},
        {"calamine_issues.xlsb", "testVBA\ttest\tSub\t-\n",
         "calamine_issues.xlsb:testVBA:1: Sub test has no error handler [missing-handler]"},
        {"tika_testWORD_macros.doc", "NewMacros\tEmbolden\tSub\t-\n",
         "tika_testWORD_macros.doc:NewMacros:1: Sub Embolden has no error handler "
         "[missing-handler]"},
        {"tika_testWORD_macros.docm", "NewMacros\tEmbolden\tSub\t-\n",
         "tika_testWORD_macros.docm:NewMacros:1: Sub Embolden has no error handler "
         "[missing-handler]"},
        {"tika_testPPT_macros.pptm", "Module1\tEmbolden\tSub\t-\n",
         "tika_testPPT_macros.pptm:Module1:1: Sub Embolden has no error handler "
         "[missing-handler]"},
        {"xlsxwriter_vbaProject.bin", "Module1\tsay_hello\tSub\t-\n",
         "xlsxwriter_vbaProject.bin:Module1:1: Sub say_hello has no error handler "
         "[missing-handler]"},
        // A Mac project's code page (10000) and a class module's attribute block.
        {"xlwings_engines_mac.xlsm", "Module1\tIntegrationTestRead\tSub\t-\n",
         "xlwings_engines_mac.xlsm:Module1:1: Sub IntegrationTestRead has no error handler "
         "[missing-handler]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sample);
        TempDir dir;
        copySample(dir, row.sample);
        CommandResult list = traplineIn(dir.path(), std::string("list ") + row.sample);
        EXPECT_EQ(list.exitCode, 0) << list.err;
        EXPECT_EQ(list.out.substr(0, list.out.find('\n') + 1), row.listed);
        CommandResult check = traplineIn(dir.path(), std::string("check ") + row.sample);
        EXPECT_EQ(check.exitCode, 1) << check.err;
        EXPECT_EQ(check.out.substr(0, check.out.find('\n')), row.finding);
    }
}

TEST(DocumentCommands, AFolderFindsItsDocumentsButNotLockFilesOrWorkbooksWithoutMacros) {
    TempDir dir;
    copySample(dir, "xlsxwriter_vbaProject.bin");
    copySample(dir, "calamine_any_sheets.xls"); // a workbook without a project
    dir.write("~$Book.xlsm", "owner");
    dir.write("notes.bin", "not a project");
    CommandResult r = traplineIn(dir.path(), "list .");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Module1\tsay_hello\tSub\t-\n");
    EXPECT_EQ(r.err, "");
}

TEST(DocumentCommands, JsonAndSarifGiveTheDocumentAndTheModuleAsALogicalLocation) {
    TempDir dir;
    copySample(dir, "xlsxwriter_vbaProject.bin", "Book.bin");
    CommandResult json = traplineIn(dir.path(), "check --format json Book.bin");
    ASSERT_EQ(json.exitCode, 1) << json.err;
    const auto finding = nlohmann::json::parse(json.out)["findings"][0];
    EXPECT_EQ(finding["Document"], "Book.bin");
    EXPECT_EQ(finding["ModuleName"], "Module1");
    EXPECT_EQ(finding["Line"], 1);
    CommandResult sarif = traplineIn(dir.path(), "check --format sarif Book.bin");
    ASSERT_EQ(sarif.exitCode, 1) << sarif.err;
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
        copySample(dir, row.sample, "Doc" + std::filesystem::path(row.sample).extension().string());
        const std::string name = "Doc" + std::filesystem::path(row.sample).extension().string();
        for (const char* command : {"list ", "check ", "insert --live "}) {
            CommandResult r = traplineIn(dir.path(), command + name);
            EXPECT_EQ(r.exitCode, 2) << command;
            EXPECT_THAT(r.err, HasSubstr("trapline: " + name + ": " + row.reason)) << command;
            EXPECT_EQ(r.out, "") << command;
        }
    }
}

TEST(DocumentCommands, RemoveSignatureLetsARunOverASignedProjectGoOn) {
    TempDir dir;
    copySample(dir, "xlsxwriter_macro04_signed.xlsm", "Signed.xlsm");
    CommandResult r =
        traplineIn(dir.path(), "insert --dry-run --codepage 1252 --remove-signature Signed.xlsm");
    if (writerMissing(r))
        GTEST_SKIP() << "this build cannot write documents yet";
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("--- Signed.xlsm/Module1.bas"));
}

TEST(DocumentCommands, ADryRunShowsEachChangedModuleAsAFileInsideTheDocument) {
    TempDir dir;
    const std::string path = copySample(dir, "tika_testPPT_macros.pptm", "Deck.pptm");
    const auto before = mtimeOf(path);
    CommandResult r = traplineIn(dir.path(), "insert --dry-run --codepage 1252 Deck.pptm");
    EXPECT_EQ(r.exitCode, 0) << r.err;
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
    EXPECT_THAT(r.err, HasSubstr("Book.xlsm:testVBA: its project's code page is 932, not the "
                                 "run's: run it with --codepage 932"));
    EXPECT_EQ(TempDir::read(path), TempDir::read(kOffice + "calamine_issue281.xlsm"));
}

TEST(DocumentCommands, ADocumentOpenInAnotherProgramIsNotWritten) {
    for (const char* lock : {"~$Book.xlsm", ".~lock.Book.xlsm#"}) {
        SCOPED_TRACE(lock);
        TempDir dir;
        const std::string path = copySample(dir, "calamine_issue281.xlsm", "Book.xlsm");
        dir.write(lock, "someone");
        const auto before = mtimeOf(path);
        CommandResult r = traplineIn(dir.path(), "insert --codepage 932 Book.xlsm");
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_THAT(r.err, HasSubstr("Book.xlsm:testVBA: open in another program"));
        EXPECT_EQ(TempDir::read(path), TempDir::read(kOffice + "calamine_issue281.xlsm"));
        EXPECT_EQ(mtimeOf(path), before);
    }
}

TEST(DocumentCommands, ADocumentWithNothingToChangeIsNotWritten) {
    TempDir dir;
    const std::string path = copySample(dir, "tika_testWORD_macros.docm", "Doc.docm");
    const auto before = mtimeOf(path);
    // No handler to remove, and a lock file that would refuse any write.
    dir.write("~$Doc.docm", "someone");
    CommandResult r = traplineIn(dir.path(), "remove --codepage 1252 Doc.docm");
    EXPECT_THAT(r.err, Not(HasSubstr("open in another program")));
    EXPECT_EQ(TempDir::read(path), TempDir::read(kOffice + "tika_testWORD_macros.docm"));
    EXPECT_EQ(mtimeOf(path), before);
    EXPECT_EQ(TempDir::namesIn(dir.path()).size(), 2u); // nothing staged is left
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
        CommandResult before = traplineIn(dir.path(), "check --live" + cp + " " + name);
        ASSERT_EQ(before.exitCode, 1) << before.err;
        CommandResult inserted = traplineIn(dir.path(), "insert --live" + cp + " " + name);
        if (writerMissing(inserted))
            GTEST_SKIP() << "this build cannot write documents yet";
        ASSERT_EQ(inserted.exitCode, 0) << inserted.err;
        CommandResult check = traplineIn(dir.path(), "check --live" + cp + " " + name);
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        CommandResult removed = traplineIn(dir.path(), "remove --live" + cp + " " + name);
        ASSERT_EQ(removed.exitCode, 0) << removed.err;
        // Every procedure is found without its handler again, on the lines it had.
        EXPECT_EQ(traplineIn(dir.path(), "check --live" + cp + " " + name).out, before.out);
    }
}

TEST(DocumentCommands, AddErrorModuleAddsTheModuleToTheDocumentOnce) {
    TempDir dir;
    copySample(dir, "calamine_issue281.xlsm", "Book.xlsm");
    // Text in another code page is refused before the module is made.
    CommandResult wrongPage = traplineIn(dir.path(), "add-error-module Book.xlsm");
    EXPECT_EQ(wrongPage.exitCode, 1);
    EXPECT_THAT(wrongPage.err, HasSubstr("run it with --codepage 932"));
    EXPECT_EQ(TempDir::read(dir.file("Book.xlsm")),
              TempDir::read(kOffice + "calamine_issue281.xlsm"));
    CommandResult first = traplineIn(dir.path(), "add-error-module --codepage 932 Book.xlsm");
    if (writerMissing(first))
        GTEST_SKIP() << "this build cannot write documents yet";
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "added mdl_Error to Book.xlsm\n");
    CommandResult listed =
        traplineIn(dir.path(), "list --codepage 932 --module mdl_Error Book.xlsm");
    EXPECT_EQ(listed.out, "mdl_Error\tMyErrorHandler\tSub\t-\n");
    const std::string after = TempDir::read(dir.file("Book.xlsm"));
    CommandResult second = traplineIn(dir.path(), "add-error-module --codepage 932 Book.xlsm");
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(TempDir::read(dir.file("Book.xlsm")), after);
}
