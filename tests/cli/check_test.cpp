#include "traplinerun.h"

#include "platform/filesystem.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::string kModule = "VERSION 1.0 CLASS\r\nBEGIN\r\n  MultiUse = -1\r\nEND\r\n"
                            "Attribute VB_Name = \"C\"\r\n"
                            "Public Function Calc() As Long\r\n" // 6
                            "Attribute Calc.VB_UserMemId = 0\r\n"
                            "    Calc = 1\r\n"
                            "End Function\r\n"
                            "Private Sub Nop(): End Sub\r\n" // 10
                            "Sub Safe()\r\n"
                            "    On Error Resume Next\r\n"
                            "err_debug: Beep\r\n"
                            "End Sub\r\n";

} // namespace

TEST(CheckCommand, NamesWhyAProcedureCannotTakeAHandlerAndInsertLeavesItAsItWas) {
    const struct {
        const char* what;
        std::string module, args, where, reason;
    } rows[] = {
        // Shift-JIS ソ is 0x83 0x5C: the name comes out in UTF-8.
        {"a one-line procedure named in a double-byte code page",
         "Attribute VB_Name = \"M\"\r\nSub \x83\x5c(): End Sub\r\n", "--codepage 932 m.bas",
         "m.bas:2: Sub ソ", "ソ: the procedure is written on one line"},
        // VB.NET in a class file: the last procedure's lines run past its End Sub.
        {"a second End statement",
         "Attribute VB_Name = \"M\"\r\nSub A()\r\n    x = 1\r\nEnd Sub\r\n    y = 2\r\nEnd Sub\r\n",
         "m.bas", "m.bas:2: Sub A",
         "A: a second End statement, on line 6 of the file, after the one that ends the "
         "procedure"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        dir.write("m.bas", row.module);
        EXPECT_EQ(traplineIn(dir.path(), "check " + row.args, 1).out,
                  row.where + " cannot take a handler: " + row.reason + " [cannot-insert]\n");
        EXPECT_THAT(traplineIn(dir.path(), "insert " + row.args, 1).err, HasSubstr(row.reason));
        EXPECT_EQ(TempDir::read(dir.file("m.bas")), row.module);
    }
}

TEST(CheckCommand, ReportsWhatInsertWouldDoAtTheLinesAnEditorShows) {
    TempDir dir;
    dir.write("sub dir/c.cls", kModule);
    EXPECT_EQ(traplineIn(dir.path(), "check 'sub dir/c.cls'", 1).out,
              "sub dir/c.cls:6: Function Calc has no error handler [missing-handler]\n"
              "sub dir/c.cls:10: Sub Nop cannot take a handler: Nop: the procedure is "
              "written on one line [cannot-insert]\n");
    EXPECT_EQ(TempDir::read(dir.file("sub dir/c.cls")), kModule);
    // Only the kinds asked for: one finding each, none for properties.
    for (auto [kind, line] : {std::pair{"--functions", ":6: Function Calc "},
                              {"--subs", ":10: Sub Nop "},
                              {"--properties", ""}}) {
        SCOPED_TRACE(kind);
        const std::string found =
            traplineIn(dir.path(), "check " + std::string(kind) + " 'sub dir/c.cls'").out;
        EXPECT_THAT(found, HasSubstr(line));
        EXPECT_EQ(std::count(found.begin(), found.end(), '\n'), *line ? 1 : 0);
    }
    // With the trapped ones included, Safe would be treated too; but a live
    // handler would give it its label err_debug twice, so insert refuses it.
    EXPECT_THAT(traplineIn(dir.path(), "check --include-trapped 'sub dir/c.cls'").out,
                HasSubstr(":11: Sub Safe"));
    const std::string live = "--live --include-trapped 'sub dir/c.cls'";
    EXPECT_THAT(traplineIn(dir.path(), "check " + live).out,
                HasSubstr(":11: Sub Safe cannot take a handler: Safe: it has the label "
                          "\"err_debug\" already"));
    traplineIn(dir.path(), "insert " + live, 1);
    EXPECT_THAT(TempDir::read(dir.file("sub dir/c.cls")),
                Not(HasSubstr("err_debug: Beep\r\nEXIT SUB")));
}

TEST(CheckCommand, ChecksEachVersionOfAProcedureUnderIf) {
    TempDir dir;
    const std::string versions = "Attribute VB_Name = \"M\"\r\n"
                                 "#If A Then\r\n"
                                 "Function Pick() As Long\r\n" // 3
                                 "    Pick = 1\r\nEnd Function\r\n"
                                 "#ElseIf B Then\r\n"
                                 "Sub Pick()\r\n" // 7
                                 "    Beep\r\nEnd Sub\r\n"
                                 "#Else\r\n"
                                 "Sub Pick()\r\n" // 11
                                 "    Go\r\nEnd Sub\r\n"
                                 "#End If\r\n";
    dir.write("m.bas", versions);
    traplineIn(dir.path(), "insert --live m.bas", 0);
    // Every version has its handler now, so the check passes.
    const std::string treated = TempDir::read(dir.file("m.bas"));
    EXPECT_EQ(traplineIn(dir.path(), "check --live m.bas").exitCode, 0);

    // One version loses its handler by hand: the check finds that one alone.
    std::string edited = treated;
    const size_t from = edited.find("Sub Pick()"), to = edited.find("#Else\r\n");
    dir.write("m.bas", edited.replace(from, to - from, "Sub Pick()\r\n    Beep\r\nEnd Sub\r\n"));
    EXPECT_EQ(traplineIn(dir.path(), "check --live m.bas", 1).out,
              "m.bas:11: Sub Pick has no error handler [missing-handler]\n");
}

TEST(CheckCommand, RejectsBadUsageWithStatusTwoAndASarifLogOfAFailedRun) {
    TempDir dir;
    dir.write("c.cls", kModule);
    // Found only when its folder is checked, and then unreadable: what was
    // checked is no result.
    dir.write("mixed/mac.bas", "Attribute VB_Name = \"Mac\"\rSub A()\rEnd Sub\r");
    EXPECT_EQ(traplineIn(dir.path(), "check --format xml c.cls").exitCode, 2);
    for (const std::string args :
         {"", "--module Nope c.cls", "--proc Nowhere c.cls", "--header h.txt c.cls",
          "missing.bas c.cls", "--dry-run c.cls", "--bogus c.cls", "c.cls mixed"}) {
        SCOPED_TRACE(args);
        // A SARIF reader sees only the log: it says that the run failed, and
        // why, even when the format is named after the fault.
        CommandResult r = traplineIn(dir.path(), "check " + args + " --format=sarif", 2);
        auto log = nlohmann::json::parse(r.out);
        EXPECT_EQ(log["version"], "2.1.0");
        const auto& run = log["runs"][0];
        EXPECT_TRUE(run["results"].empty());
        const auto& invocation = run["invocations"][0];
        EXPECT_EQ(invocation["executionSuccessful"], false);
        std::string said;
        for (const auto& n : invocation["toolExecutionNotifications"])
            said += n["message"]["text"].get<std::string>() + "\n";
        EXPECT_FALSE(said.empty());
        EXPECT_EQ(said, r.err);
    }
}

TEST(CheckCommand, SarifLogHasEveryFieldCodeScanningRequires) {
    TempDir dir;
    // Its digit and "_" stay as they are in a URI.
    dir.write("My Mods/c_1.cls", kModule);
#ifdef _WIN32 // where a file name is Unicode
    const std::string name = "My Mods/Мод.bas";
#else
    const std::string name = "My Mods/\xcc\xee\xe4.bas"; // in Windows-1251
#endif
    dir.write(name, "Attribute VB_Name = \"M\"\r\nSub A()\r\nEnd Sub\r\n");
    auto log =
        nlohmann::json::parse(traplineIn(dir.path(), "check --format sarif 'My Mods'", 1).out);
    ASSERT_EQ(log["runs"].size(), 1u);
    const auto& run = log["runs"][0];
    ASSERT_EQ(run["results"].size(), 3u);
    std::set<std::string> uris;
    for (const auto& result : run["results"]) {
        // Each result names a rule the driver lists, by index and by id.
        EXPECT_EQ(run["tool"]["driver"]["rules"].at(result["ruleIndex"].get<size_t>())["id"],
                  result["ruleId"]);
        EXPECT_FALSE(result["message"]["text"].get<std::string>().empty());
        const auto& where = result["locations"][0]["physicalLocation"];
        uris.insert(where["artifactLocation"]["uri"].get<std::string>());
        EXPECT_GE(where["region"]["startLine"].get<int>(), 1);
    }
    // Relative to the current folder, percent-encoded, the code page's name in UTF-8.
    EXPECT_EQ(uris,
              (std::set<std::string>{"My%20Mods/c_1.cls", "My%20Mods/%D0%9C%D0%BE%D0%B4.bas"}));

    auto json = nlohmann::json::parse(traplineIn(dir.path(), "check --format json 'My Mods'").out);
    ASSERT_EQ(json["findings"].size(), 3u);
    EXPECT_EQ(json["findings"][0]["Line"], 6);
}

TEST(CheckCommand, ReadsOnWhileAnotherRunHoldsTheFolderAsDoesADryRun) {
    TempDir dir;
    const std::string module = "Attribute VB_Name = \"M\"\r\nSub A()\r\n    Beep\r\nEnd Sub\r\n";
    const std::string path = dir.write("m.bas", module);
    const struct {
        const char* args;
        int exitCode;
        const char* out;
    } rows[] = {
        {"check m.bas", 1, "m.bas:2: Sub A has no error handler [missing-handler]\n"},
        {"insert --dry-run m.bas", 0, "+'ON ERROR GOTO err_debug"},
        {"number --dry-run m.bas", 0, "+10     Beep"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args);
        // The test holds the folder's lock as a writing run would. A command
        // that waited for it (a check would say nothing while it waits) finds
        // it let go after 45 s, far past any run on four lines, and fails.
        std::optional<trapline::platform::FolderLock> held(std::in_place);
        uint64_t device = 0, file = 0;
        ASSERT_FALSE(held->open(dir.path(), device, file));
        ASSERT_FALSE(held->lock());
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false, waited = false;
        std::thread release([&] {
            std::unique_lock lock(mutex);
            waited = !ended.wait_for(lock, std::chrono::seconds(45), [&] { return done; });
            held.reset();
        });
        CommandResult r = traplineIn(dir.path(), row.args, row.exitCode);
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        ended.notify_one();
        release.join();
        EXPECT_FALSE(waited) << "still running 45 s on, until the folder's lock was let go";
        EXPECT_THAT(r.err, Not(HasSubstr("waiting for another trapline run")));
        EXPECT_THAT(r.out, HasSubstr(row.out));
        EXPECT_EQ(TempDir::read(path), module);
    }
}
