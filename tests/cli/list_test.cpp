#include "traplinerun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

CommandResult trapline(const std::string& args) {
    return traplineIn(".", args);
}

} // namespace

TEST(ListCommand, PrintsTheExampleCatalogueWholeOrFilteredByModuleTypeAndTrap) {
    const std::string catalogue = TempDir::read(kExample + "/expected-procedures.json");
    CommandResult r = trapline("list --json " + kExample + "/Ledger.vbp");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(nlohmann::ordered_json::parse(r.out), nlohmann::ordered_json::parse(catalogue));
    // Filtered, the rows are the catalogue's, as asked.
    std::string expected;
    for (const auto& p : nlohmann::json::parse(catalogue))
        if (p["ModuleName"] == "CInvoice" && p["ProcType"] != 1 && !p["HasErrorTrap"])
            expected += "CInvoice\t" + p["ProcName"].get<std::string>() +
                        (p["ProcType"] == 0 ? "\tSub\t-\n" : "\tProperty\t-\n");
    CommandResult subs = trapline("list --module CInvoice --subs --properties --without-trap " +
                                  kExample + "/Ledger.vbp");
    ASSERT_EQ(subs.exitCode, 0) << subs.err;
    EXPECT_EQ(subs.out, expected);
    EXPECT_THAT(expected, HasSubstr("\tSub\t")); // neither filter leaves nothing
    EXPECT_THAT(expected, HasSubstr("\tProperty\t"));
    CommandResult functions =
        trapline("list --functions --json --module modUtil " + kExample + "/source/ModUtil.bas");
    ASSERT_EQ(functions.exitCode, 0) << functions.err;
    EXPECT_THAT(functions.out, Not(HasSubstr("\"ProcType\": 0")));
    EXPECT_THAT(functions.out, HasSubstr("\"ProcName\": \"SafeCCur\""));
}

TEST(ListCommand, ConvertsNamesFromTheProjectsCodePage) {
    TempDir dir;
    dir.write("m.bas", "Attribute VB_Name = \"\xcc\xee\xe4\xf3\xeb\xfc\"\r\n"
                       "Public Sub \xd0\xe0\xf1\xf7\xe5\xf2()\r\nEnd Sub\r\n");
    CommandResult r = trapline("list --json --module Модуль " + dir.file("m.bas"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(nlohmann::ordered_json::parse(r.out),
              nlohmann::ordered_json::parse(R"([{"ModuleName": "Модуль", "ProcName": "Расчет",
                  "ProcType": 0, "ProcKind": 0, "HasErrorTrap": false}])"));
    CommandResult latin = trapline("list --codepage 1252 " + dir.file("m.bas"));
    EXPECT_EQ(latin.out, "Ìîäóëü\tÐàñ÷åò\tSub\t-\n");
}

TEST(ListCommand, ReportsBadInputWithTheFileAndLineButListsWhatLoaded) {
    TempDir dir;
    dir.write("Good.bas", "Attribute VB_Name = \"Good\"\r\nSub A()\r\nEnd Sub\r\n");
    dir.write("P.vbp", "Type=Exe\r\nModule=Good; Good.bas\r\nModule=Lost; Lost.bas\r\n");
    CommandResult r = trapline("list " + dir.file("P.vbp"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "Good\tA\tSub\t-\n");
    EXPECT_EQ(r.err, "trapline: " + dir.file("P.vbp") + ":3: Lost.bas: file not found\n");
}

TEST(CommandLine, RejectsBadUsageWithExitCodeTwoNamingTheArgument) {
    struct Case {
        std::string args, message;
        bool pointsToHelp = true; ///< a malformed command line, not a bad value
    } cases[] = {
        {"", "Usage: trapline COMMAND [ARGS...]", false}, // no command at all
        {"list", "no PATH given", false},
        {"list --codepage klingon " + kExample, "unknown code page 'klingon'", false},
        {"list /no/such/dir", "/no/such/dir: no such file or folder", false},
        {"frobnicate", "unknown command 'frobnicate'", false},
        {"list --colour=red " + kExample, "unknown option '--colour'"},
        // Dash-led words are options, never silently read as a PATH.
        {"list -5 " + kExample, "unknown option '-5'"},
        {"list -hx " + kExample, "unknown option '-hx'"},
        {"list ---json " + kExample, "unknown option '---json'"},
        // A flag given a value is refused, whatever the value says.
        {"list --json=true " + kExample, "option '--json' takes no value"},
        {"check --format", "option '--format' needs a value"},
        {"remove --include-trapped " + kExample, "unknown option '--include-trapped'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        CommandResult r = trapline(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        const std::string command = c.args.substr(0, c.args.find(' '));
        if (c.pointsToHelp)
            EXPECT_EQ(r.err, "trapline " + command + ": " + c.message + "\nTry 'trapline " +
                                 command + " --help'.\n");
        else
            EXPECT_THAT(r.err, HasSubstr(c.message));
    }
}

TEST(CommandLine, ReadsValuesAsTheyWereGiven) {
    // The last of a repeated option counts, but every PATH does (modMain.bas
    // comes first); "--" ends the options.
    CommandResult r = trapline("list --module Nowhere --module=modMain --subs -- " + kExample +
                               "/modMain.bas " + kExample + "/source/ModUtil.bas");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "modMain\tInitLedger\tSub\t-\nmodMain\tDumpEntries\tSub\t-\n"
                     "modMain\tShowError\tSub\t-\nmodMain\tWriteLog\tSub\t-\n");
    CommandResult after = trapline("list -- -5");
    EXPECT_EQ(after.exitCode, 2);
    EXPECT_THAT(after.err, HasSubstr("-5: no such file or folder"));
    // An empty value is a value: "--module=" does not take the next argument.
    CommandResult empty = trapline("list --module= " + kExample);
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_THAT(empty.err, HasSubstr("no module named ''"));
}

TEST(CommandLine, AskingForHelpNeverFails) {
    for (const std::string args :
         {"list --module --help", "insert --live=x -h", "check --colour --help",
          "add-error-module --codepage -h", "number --help", "unnumber --help"}) {
        CommandResult r = trapline(args);
        const std::string command = args.substr(0, args.find(' '));
        EXPECT_EQ(r.exitCode, 0) << args << "\n" << r.err;
        EXPECT_EQ(r.err, "") << args;
        EXPECT_EQ(r.out.rfind("Usage: trapline " + command + " ", 0), 0u) << args << "\n" << r.out;
    }
}
