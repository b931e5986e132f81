#include "insertionrun.h"

#include "../support/memoryproject.h"
#include "../support/recordingreporter.h"
#include "../support/scriptedmessagebox.h"

#include <gtest/gtest.h>

using namespace trapline;

namespace {

const std::string kModule = crlf({
    "Sub Plain()",
    "End Sub",
    "Sub Trapped()",
    "    On Error Resume Next",
    "End Sub",
    "Function Calc() As Long",
    "End Function",
    "Property Get Value() As Long",
    "End Property",
    "Property Let Value(ByVal v As Long)",
    "End Property",
});

InsertionOptions options(const std::string& module = "*", const std::string& proc = "*",
                         bool confirm = true) {
    InsertionOptions o;
    o.moduleName = module;
    o.procName = proc;
    o.confirm = confirm;
    return o;
}

/// A project of the given modules, ready for runs whose questions are
/// answered and whose log is kept.
struct Fixture {
    explicit Fixture(const std::vector<std::pair<std::string, std::string>>& modules)
        : vbe(projectOf(modules)) {}
    RunSummary run(const InsertionOptions& o) { return InsertionRun(vbe, boxes, reporter).run(o); }
    std::string code(long index = 1) const { return codeOf(vbe, index); }

    VBE vbe;
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
};

std::vector<std::string> treated(const RunSummary& s) {
    std::vector<std::string> out;
    for (const auto& i : s.treated)
        out.push_back(i.moduleName + "." + i.procName);
    return out;
}

} // namespace

TEST(InsertionRun, ChangesNothingWhenTheAnswerIsNoOrThereIsNothingToChoose) {
    Fixture f({{"M", kModule}});
    f.boxes.answers = {MsgAnswer::No};
    RunSummary s = f.run(options());
    EXPECT_FALSE(s.confirmed);
    EXPECT_TRUE(f.reporter.busyChanges.empty());
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].buttons, MsgButtons::YesNo);
    // An unknown module ends silently after the question; an empty choice asks nothing.
    EXPECT_TRUE(f.run(options("Nowhere")).treated.empty());
    EXPECT_FALSE(f.run(options("")).confirmed);
    EXPECT_EQ(f.boxes.shown.size(), 2u);
    EXPECT_EQ(f.code(), kModule);
    EXPECT_EQ(f.reporter.text, "");
}

TEST(InsertionRun, LeavesTrappedProceduresOutOnlyWhenAllAreChosenAndChoosesByDisplayName) {
    Fixture f({{"M", kModule}, {"N", kModule}});
    InsertionOptions o = options("M");
    o.onlySub = true;
    EXPECT_EQ(treated(f.run(o)), std::vector<std::string>{"M.Plain"});
    EXPECT_EQ(f.reporter.busyChanges, (std::vector<bool>{true, false}));
    // By name it is treated, trap or not, in every module.
    EXPECT_EQ(treated(f.run(options("*", "Trapped"))),
              (std::vector<std::string>{"M.Trapped", "N.Trapped"}));
    EXPECT_EQ(treated(f.run(options("*", "Value (Let)"))),
              (std::vector<std::string>{"M.Value (Let)", "N.Value (Let)"}));
    EXPECT_EQ(f.code().find("'ON ERROR GOTO err_debug\r\nEnd Property\r\nProperty Let"),
              std::string::npos);
}

TEST(InsertionRun, SelectsOneTypeOnlyWhenExactlyOneBoxIsChecked) {
    for (int boxes = 0; boxes < 8; ++boxes) {
        InsertionOptions o = options();
        o.onlySub = boxes & 1;
        o.onlyFunc = boxes & 2;
        o.onlyProperty = boxes & 4;
        size_t expected = boxes == 1 ? 1 : boxes == 2 ? 1 : boxes == 4 ? 2 : 4;
        EXPECT_EQ(Fixture({{"M", kModule}}).run(o).treated.size(), expected) << boxes;
    }
}

TEST(InsertionRun, TreatsEachModuleOfASharedNameInItsOwnFile) {
    const std::string a = crlf({"Sub A()", "End Sub"});
    const std::string b = crlf({"Sub B()", "End Sub"});
    Fixture f({{"Main", a}, {"Main", b}});
    RunSummary s = f.run(options("Main"));
    EXPECT_EQ(s.treated.size(), 2u);
    EXPECT_NE(f.code().find("MyErrorHandler \"Main.A\""), std::string::npos);
    EXPECT_EQ(f.code().find("Main.B"), std::string::npos);
    EXPECT_NE(f.code(2).find("MyErrorHandler \"Main.B\""), std::string::npos);
}

TEST(InsertionRun, NamesLinesOfTheFileAsReadWhenEarlierProceduresAlreadyGotHandlers) {
    const std::string module = crlf({
        "VERSION 1.0 CLASS",                   // 1
        "BEGIN",                               // 2
        "  MultiUse = -1  'True",              // 3
        "END",                                 // 4
        "Attribute VB_Name = \"M\"",           // 5
        "Option Explicit",                     // 6
        "Public Property Get Value() As Long", // 7
        "Attribute Value.VB_UserMemId = 0",    // 8
        "    Value = 1",                       // 9
        "End Property",                        // 10
        "Sub Open()",                          // 11
        "    x = 1",                           // 12: the trap would go here
        "    y = 2",                           // 13: no End Sub follows
    });
    // A failed procedure is reported, and the run goes on with the next.
    Fixture f({{"M", module + crlf({"Sub Nop(): End Sub", "Sub Next()", "End Sub"})}});
    RunSummary s = f.run(options("*", "*", false));
    EXPECT_EQ(treated(s), (std::vector<std::string>{"M.Value (Get)", "M.Next"}));
    ASSERT_EQ(s.failed.size(), 2u);
    EXPECT_EQ(s.failed[0].failure, "no \"End Sub\" between lines 12 and 13 of the file");
    EXPECT_EQ(s.failed[1].procName, "Nop");
    EXPECT_EQ(f.boxes.shown.size(), 2u); // no question, one box per failure
}

namespace {

/// "Module.Name@line" for each item.
std::vector<std::string> located(const std::vector<RunSummary::Item>& items) {
    std::vector<std::string> out;
    for (const auto& i : items)
        out.push_back(i.moduleName + "." + i.procName + "@" + std::to_string(i.line));
    return out;
}

} // namespace

TEST(InsertionRun, LeavesOutOnlyTheTrappedDefinitionsOfAPartlyTrappedProcedure) {
    const std::string module = crlf({
        "#If Safe Then",
        "Sub Run()", // 2
        "    On Error Resume Next",
        "End Sub",
        "#Else",
        "Sub Run()", // 6
        "End Sub",
        "#End If",
    });
    Fixture f({{"M", module}});
    const InsertionOptions o = options("*", "*", false);
    EXPECT_EQ(located(f.run(o).treated), std::vector<std::string>{"M.Run@6"});
    // Now both hold a trap: a second run leaves the procedure alone, unless
    // it is named.
    EXPECT_TRUE(f.run(o).treated.empty());
    EXPECT_EQ(located(f.run(options("*", "Run")).treated),
              (std::vector<std::string>{"M.Run@2", "M.Run@6"}));
}

TEST(InsertionRun, RefusesATemplateThatWouldBreakTheCodeBeforeAskingAnything) {
    Fixture f({{"M", kModule}});
    InsertionOptions o = options();
    o.useDefault = false;
    o.header = "On Error GoTo Fail";
    o.footer = "Exit ???\r\nFail:\r\nEnd ???";
    EXPECT_TRUE(f.run(o).treated.empty());
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].text.rfind("1007 :The footer template, line 3:", 0), 0u)
        << f.boxes.shown[0].text;
    EXPECT_EQ(f.code(), kModule);
    // Templates kept but not used stop nothing.
    o.useDefault = true;
    o.confirm = false;
    EXPECT_FALSE(f.run(o).treated.empty());
    EXPECT_EQ(f.boxes.shown.size(), 1u);
}
