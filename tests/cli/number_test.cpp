#include "traplinerun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

/// Every file below `folder`, by its path inside it, with its bytes.
std::map<std::string, std::string> filesIn(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (auto& e : fs::recursive_directory_iterator(utf8Path(folder)))
        if (e.is_regular_file())
            out[fs::relative(e.path(), utf8Path(folder)).string()] =
                TempDir::read(utf8String(e.path()));
    return out;
}

} // namespace

TEST(NumberCommand, NumbersTheExampleAndUnnumberGivesBackEveryByte) {
    TempDir dir;
    const std::string project = copyExample(dir, "p");
    // The example holds one procedure numbered by hand; without its numbers
    // it is the starting point.
    EXPECT_THAT(traplineIn(project, "unnumber Ledger.vbp", 0).out,
                HasSubstr("Unnumbered Function : FindEntry"));
    const auto before = filesIn(project);

    const std::string gaps = "check --line-numbers --module modUtil Ledger.vbp";
    EXPECT_THAT(traplineIn(project, gaps, 1).out,
                HasSubstr("without a line number, the first here [unnumbered-line]"));

    CommandResult dry = traplineIn(project, "number --dry-run --start 5 --step 5 Ledger.vbp", 0);
    EXPECT_THAT(dry.out, HasSubstr("+5     ReDim gEntries(1 To MAX_ENTRIES)\r\n"
                                   "+10     gEntryCount = 0\r\n"));
    EXPECT_THAT(dry.err, HasSubstr("Numbered Sub : InitLedger"));
    EXPECT_TRUE(filesIn(project) == before) << "a dry run wrote";

    CommandResult numbered = traplineIn(project, "number --json Ledger.vbp", 0);
    EXPECT_THAT(numbered.out, HasSubstr(R"x("ProcName": "Customer (Let)")x"));
    EXPECT_THAT(numbered.out, HasSubstr(R"("failed": [])"));
    EXPECT_THAT(traplineIn(project, gaps).out, Not(HasSubstr("[unnumbered-line]")));

    // Numbered procedures are left alone and named, unless renumbered.
    EXPECT_THAT(traplineIn(project, "number --proc Pad Ledger.vbp", 1).err,
                HasSubstr("modUtil.Pad: it holds line numbers already; it is left as "
                          "it is (--renumber renumbers it)"));
    traplineIn(project, "number --renumber --start 10 --proc Pad Ledger.vbp", 0);

    traplineIn(project, "unnumber --backup Ledger.vbp", 0);
    auto after = filesIn(project);
    for (auto it = after.begin(); it != after.end();)
        it = it->first.find(".bak") != std::string::npos ? after.erase(it) : std::next(it);
    EXPECT_TRUE(after == before) << "unnumber did not give back every byte";
}

TEST(NumberCommand, AHandlerThatPassesErlIsNumberedWithTheCodeAndAllComesOutAgain) {
    TempDir dir;
    const std::string project = copyExample(dir, "p");
    ASSERT_EQ(traplineIn(project, "unnumber Ledger.vbp").exitCode, 0);
    const auto before = filesIn(project);
    traplineIn(project, "insert --live --erl Ledger.vbp", 1); // the one-line Nop cannot take one
    traplineIn(project, "number Ledger.vbp", 0);
    EXPECT_THAT(TempDir::read(project + "/source/ModUtil.bas"),
                HasSubstr("0 MyErrorHandler \"modUtil.FormatMoney, line \" & Erl\r\nEnd Function"));
    traplineIn(project, "unnumber Ledger.vbp", 0);
    traplineIn(project, "remove --live --erl Ledger.vbp", 0);
    EXPECT_TRUE(filesIn(project) == before);
}

TEST(NumberCommand, RefusesBadNumbersAndJumpsItWouldBreak) {
    TempDir dir;
    const std::string module = "Attribute VB_Name = \"M\"\r\n"
                               "Sub Loop1()\r\n"
                               "10 x = x + 1\r\n"
                               "   If x < 3 Then 10\r\n"
                               "End Sub\r\n";
    dir.write("M.bas", module);
    const struct {
        const char* args;
        int exitCode;
        const char* err;
    } cases[] = {
        {"number --start=0 M.bas", 2, "--start must be a whole number from 1 to 65529, not '0'"},
        {"number --step 1.5 M.bas", 2, "--step must be a whole number from 1 to 65529"},
        {"number --start 65530 M.bas", 2, "not '65530'"},
        {"unnumber --renumber M.bas", 2, "--renumber"},
        {"unnumber M.bas", 1,
         "M.bas:2: M.Loop1: the jump on the procedure's line 2 goes to the line number 10, "
         "which removing the numbers would break"},
        {"number --proc Nothing M.bas", 2, "no procedure named 'Nothing'"},
        {"insert --erl --header M.bas --footer M.bas M.bas", 2,
         "--erl changes the standard handler"},
    };
    for (const auto& c : cases) {
        EXPECT_THAT(traplineIn(dir.path(), c.args, c.exitCode).err, HasSubstr(c.err)) << c.args;
        EXPECT_EQ(TempDir::read(dir.file("M.bas")), module) << c.args;
    }
}

TEST(NumberCommand, RowsAtTheEdges) {
    const struct {
        const char* what;
        std::string module; ///< after its Attribute VB_Name line
        const char* args;
        int exitCode;
        const char* out;   ///< in stdout
        const char* err;   ///< in stderr
        const char* after; ///< in the file afterwards; null: unchanged
    } rows[] = {
        {"the highest number as the start", "Sub A()\r\n    x = 1\r\nEnd Sub\r\n",
         "number --start 65529 M.bas", 0, "Numbered Sub : A", "", "\r\n65529     x = 1\r\n"},
        {"a bare number, renumbered", "Sub A()\r\n50\r\n60 x = 1\r\nEnd Sub\r\n",
         "number --renumber M.bas", 0, "Numbered Sub : A", "", "\r\n10\r\n20 x = 1\r\n"},
        {"a bare number, checked", "Sub A()\r\n50\r\n    x = 1\r\nEnd Sub\r\n",
         "check --line-numbers M.bas", 1,
         "M.bas:4: Sub A: 1 statement line without a line number, the first here", "", nullptr},
        {"the lines after a one-line Select Case, checked",
         "Sub A()\r\n10 Select Case x: Case 1: y = 1\r\n   End Select\r\n   z = 3\r\nEnd Sub\r\n",
         "check --line-numbers M.bas", 1,
         "M.bas:5: Sub A: 1 statement line without a line number, the first here", "", nullptr},
        {"Erl compared in a way renumbering cannot follow",
         "Sub A()\r\n10 x = 1\r\n   If Erl > 10 Then Beep\r\nEnd Sub\r\n",
         "number --renumber M.bas", 1, "",
         "M.bas:2: M.A: the procedure's line 2 compares Erl with a number that renumbering "
         "cannot follow exactly; it is left as it is\n",
         nullptr},
        {"a second End statement", "Sub A()\r\n    x = 1\r\nEnd Sub\r\n    y = 2\r\nEnd Sub\r\n",
         "number M.bas", 1, "",
         "M.bas:2: M.A: a second End statement, on line 6 of the file, after the one that ends "
         "the procedure; it is left as it is\n",
         nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        TempDir dir;
        const std::string module = "Attribute VB_Name = \"M\"\r\n" + r.module;
        dir.write("M.bas", module);
        CommandResult c = traplineIn(dir.path(), r.args, r.exitCode);
        EXPECT_THAT(c.out, HasSubstr(r.out));
        EXPECT_THAT(c.err, HasSubstr(r.err));
        if (r.after)
            EXPECT_THAT(TempDir::read(dir.file("M.bas")), HasSubstr(r.after));
        else
            EXPECT_EQ(TempDir::read(dir.file("M.bas")), module);
    }
}
