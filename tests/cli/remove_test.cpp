#include "traplinerun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

/// Every file of the example project, by its path inside it.
std::vector<std::string> exampleFiles() {
    std::vector<std::string> out;
    for (auto& e : fs::recursive_directory_iterator(kExample))
        if (e.is_regular_file())
            out.push_back(fs::relative(e.path(), kExample).string());
    return out;
}

/// A copy of the example project with the two template files beside it.
std::string exampleWithTemplates(const TempDir& dir, const std::string& name) {
    fs::copy(kExample, dir.file(name), fs::copy_options::recursive);
    dir.write("h.txt", "On Error GoTo Fail\n");
    dir.write("f.txt", "Exit ???\nFail:\n\tLog \"#MODULE#.#PROC#\", \"???\"\n");
    return dir.file(name);
}

} // namespace

TEST(RemoveCommand, GivesBackEveryByteOfWhatInsertChangedInEveryForm) {
    const char* forms[] = {"", "--live", "--header ../h.txt --footer ../f.txt",
                           "--live --header ../h.txt --footer ../f.txt"};
    for (const std::string form : forms)
        for (const std::string trapped : {"", " --include-trapped"}) {
            TempDir dir;
            const std::string project = exampleWithTemplates(dir, "p");
            CommandResult in = traplineIn(project, "insert " + form + trapped + " Ledger.vbp");
            ASSERT_EQ(in.exitCode, 1) << form << in.err;
            EXPECT_THAT(in.err, HasSubstr("Procedure: Nop")); // on one line
            // Check agrees: what is left is what insert could not treat.
            CommandResult left = traplineIn(project, "check " + form + " Ledger.vbp", 1);
            EXPECT_THAT(left.out, Not(HasSubstr("[missing-handler]")));
            EXPECT_THAT(left.out, HasSubstr("Sub Nop cannot take a handler"));
            // The live form once through a dry run's diff, which patch applies.
            const bool viaPatch = form == "--live" && trapped.empty() && havePatch();
            CommandResult out = traplineIn(
                project, "remove " + form + (viaPatch ? " --dry-run" : "") + " Ledger.vbp");
            EXPECT_EQ(out.exitCode, 0) << form << trapped << "\n" << out.err;
            // A dry run keeps its log off stdout.
            EXPECT_THAT(viaPatch ? out.err : out.out,
                        HasSubstr("Removed from Function : AddEntry"));
            if (viaPatch) {
                const std::string diff = dir.write("changes.diff", out.out);
                ASSERT_EQ(runCommand({"patch", "-p0", "-s", "-i", diff}, project).exitCode, 0);
            }
            for (const std::string& file : exampleFiles())
                EXPECT_TRUE(TempDir::read(project + "/" + file) ==
                            TempDir::read(kExample + "/" + file))
                    << form << trapped << ": " << file;
        }
}

TEST(RemoveCommand, LeavesHandEditedAndHalfHandlersAndNamesThemWithTheirLines) {
    TempDir dir;
    const std::string module = "Attribute VB_Name = \"M\"\r\n"
                               "Sub Edited()\r\n" // 2
                               "ON ERROR GOTO err_debug\r\n"
                               "EXIT SUB\r\nerr_debug:\r\nMyErrorHandler \"M.Edited\" ' and log\r\n"
                               "End Sub\r\n"
                               "Sub Half()\r\n" // 8
                               "ON ERROR GOTO err_debug\r\n"
                               "End Sub\r\n"
                               "Sub Whole()\r\n"
                               "ON ERROR GOTO err_debug\r\n"
                               "EXIT SUB\r\nerr_debug:\r\nMyErrorHandler \"M.Whole\"\r\n"
                               "End Sub\r\n";
    dir.write("m.bas", module);
    CommandResult r = traplineIn(dir.path(), "remove --live m.bas", 1);
    EXPECT_THAT(r.err, HasSubstr("m.bas:2: M.Edited: the handler is not as it was inserted"));
    EXPECT_THAT(r.err, HasSubstr("m.bas:8: M.Half:"));
    EXPECT_EQ(r.out, "Removed from Sub : Whole\n");
    EXPECT_EQ(TempDir::read(dir.file("m.bas")),
              module.substr(0, module.find("Sub Whole()")) + "Sub Whole()\r\nEnd Sub\r\n");
    // Nothing of ours left: nothing to do, and that is no failure.
    EXPECT_THAT(traplineIn(dir.path(), "remove m.bas", 0).err,
                HasSubstr("no inserted handler found"));
}

TEST(RefreshCommand, InsertRenameRefreshGivesWhatRenameInsertGives) {
    const std::string before = "Attribute VB_Name = \"Old\"\r\n"
                               "Public Property Get Total() As Long\r\n    Total = 1\r\n"
                               "End Property\r\nSub Run()\r\n    Go\r\nEnd Sub\r\n";
    // The user renames the module and the procedures in the code only; the
    // handlers keep the old names.
    auto renamed = [](std::string text) {
        for (auto [from, to] : {std::pair<std::string, std::string>{"= \"Old\"", "= \"Fresh\""},
                                {"Get Total() As Long\r\n", "Get Sum() As Long\r\n"},
                                {"    Total = 1", "    Sum = 1"},
                                {"Sub Run()", "Sub Start()"}})
            text.replace(text.find(from), from.size(), to);
        return text;
    };
    // Live handlers numbered after the insertion carry line numbers on their
    // statements: they are still found, and refreshing keeps the numbers.
    struct Case {
        std::string form;
        bool numbered;
    } cases[] = {{"", false},
                 {"--header ../h.txt --footer ../f.txt", false},
                 {"--live", true},
                 {"--live --header ../h.txt --footer ../f.txt", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        const std::string& form = c.form;
        TempDir dir;
        exampleWithTemplates(dir, "unused");
        dir.write("a/m.bas", before);
        dir.write("b/m.bas", renamed(before));
        for (const char* in : {"a", "b"}) {
            ASSERT_EQ(traplineIn(dir.file(in), "insert " + form + " m.bas").exitCode, 0);
            if (c.numbered) {
                ASSERT_EQ(traplineIn(dir.file(in), "number m.bas").exitCode, 0);
            }
        }
        dir.write("a/m.bas", renamed(TempDir::read(dir.file("a/m.bas"))));
        EXPECT_THAT(traplineIn(dir.file("a"), "check " + form + " m.bas", 1).out,
                    HasSubstr("[stale-handler-name]"));
        EXPECT_EQ(traplineIn(dir.file("a"), "refresh " + form + " m.bas", 0).out,
                  "Refreshed in Property : Sum\nRefreshed in Sub : Start\n");
        EXPECT_EQ(TempDir::read(dir.file("a/m.bas")), TempDir::read(dir.file("b/m.bas")));
        traplineIn(dir.file("a"), "check " + form + " m.bas", 0);
        // Handlers already current are neither rewritten nor reported.
        const std::string current = TempDir::read(dir.file("a/m.bas"));
        EXPECT_EQ(traplineIn(dir.file("a"), "refresh " + form + " m.bas").out, "");
        EXPECT_EQ(TempDir::read(dir.file("a/m.bas")), current);
        CommandResult removed = traplineIn(dir.file("a"), "remove " + form + " m.bas");
        EXPECT_EQ(removed.out, "Removed from Property : Sum\nRemoved from Sub : Start\n");
        std::string left = TempDir::read(dir.file("a/m.bas"));
        std::transform(left.begin(), left.end(), left.begin(), ::tolower);
        EXPECT_THAT(left, Not(HasSubstr("on error goto"))) << removed.err;
    }
}
