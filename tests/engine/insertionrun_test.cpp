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

InsertionOptions options(const std::string& module = "*", const std::string& proc = "*") {
    InsertionOptions o;
    o.moduleName = module;
    o.procName = proc;
    return o;
}

std::vector<std::string> treated(const RunSummary& s) {
    std::vector<std::string> out;
    for (const auto& i : s.treated)
        out.push_back(i.moduleName + "." + i.procName);
    return out;
}

} // namespace

TEST(InsertionRun, ChangesNothingWhenTheAnswerIsNo) {
    VBE vbe(projectOf({{"M", kModule}}));
    ScriptedMessageBox boxes;
    boxes.answers = {MsgAnswer::No};
    RecordingReporter reporter;
    RunSummary s = InsertionRun(vbe, boxes, reporter).run(options());
    EXPECT_FALSE(s.confirmed);
    EXPECT_EQ(codeOf(vbe, 1), kModule);
    EXPECT_EQ(reporter.text, "");
    EXPECT_TRUE(reporter.busyChanges.empty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Вставлять обработку ошибок ?");
    EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Question);
}

TEST(InsertionRun, LeavesTrappedProceduresOutOnlyWhenAllAreChosen) {
    VBE vbe(projectOf({{"M", kModule}}));
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
    InsertionRun run(vbe, boxes, reporter);
    InsertionOptions o = options();
    o.onlySub = true;
    EXPECT_EQ(treated(run.run(o)), std::vector<std::string>{"M.Plain"});
    EXPECT_EQ(reporter.busyChanges, (std::vector<bool>{true, false}));
    // By name it is treated, trap or not.
    EXPECT_EQ(treated(run.run(options("*", "Trapped"))), std::vector<std::string>{"M.Trapped"});
}

TEST(InsertionRun, SelectsOneTypeOnlyWhenExactlyOneBoxIsChecked) {
    for (int boxes = 0; boxes < 8; ++boxes) {
        InsertionOptions o = options();
        o.onlySub = boxes & 1;
        o.onlyFunc = boxes & 2;
        o.onlyProperty = boxes & 4;
        size_t expected = boxes == 1 ? 1 : boxes == 2 ? 1 : boxes == 4 ? 2 : 4;
        VBE vbe(projectOf({{"M", kModule}}));
        ScriptedMessageBox messages;
        RecordingReporter reporter;
        EXPECT_EQ(InsertionRun(vbe, messages, reporter).run(o).treated.size(), expected) << boxes;
    }
}

TEST(InsertionRun, ChoosesAPropertyProcedureByItsDisplayName) {
    VBE vbe(projectOf({{"M", kModule}, {"N", kModule}}));
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
    RunSummary s = InsertionRun(vbe, boxes, reporter).run(options("*", "Value (Let)"));
    EXPECT_EQ(treated(s), (std::vector<std::string>{"M.Value (Let)", "N.Value (Let)"}));
    EXPECT_EQ(codeOf(vbe, 1).find("'ON ERROR GOTO err_debug\r\nEnd Property\r\nProperty Let"),
              std::string::npos);
}

TEST(InsertionRun, TreatsEachModuleOfASharedNameInItsOwnFile) {
    const std::string a = crlf({"Sub A()", "End Sub"});
    const std::string b = crlf({"Sub B()", "End Sub"});
    VBE vbe(projectOf({{"Main", a}, {"Main", b}}));
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
    RunSummary s = InsertionRun(vbe, boxes, reporter).run(options("Main"));
    EXPECT_EQ(s.treated.size(), 2u);
    EXPECT_NE(codeOf(vbe, 1).find("MyErrorHandler \"Main.A\""), std::string::npos);
    EXPECT_EQ(codeOf(vbe, 1).find("Main.B"), std::string::npos);
    EXPECT_NE(codeOf(vbe, 2).find("MyErrorHandler \"Main.B\""), std::string::npos);
}

TEST(InsertionRun, EndsSilentlyForAnUnknownModuleOrAnEmptyChoice) {
    VBE vbe(projectOf({{"M", kModule}}));
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
    InsertionRun run(vbe, boxes, reporter);
    EXPECT_TRUE(run.run(options("Nowhere")).treated.empty());
    EXPECT_EQ(boxes.shown.size(), 1u); // the question only
    EXPECT_FALSE(run.run(options("")).confirmed);
    EXPECT_EQ(codeOf(vbe, 1), kModule);
}

TEST(InsertionRun, ReportsAFailedProcedureAndGoesOnWithTheNext) {
    VBE vbe(projectOf({{"M", crlf({"Sub Nop(): End Sub", "Sub Next()", "End Sub"})}}));
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
    InsertionOptions o = options();
    o.confirm = false;
    RunSummary s = InsertionRun(vbe, boxes, reporter).run(o);
    ASSERT_EQ(s.failed.size(), 1u);
    EXPECT_EQ(s.failed[0].procName, "Nop");
    EXPECT_EQ(treated(s), std::vector<std::string>{"M.Next"});
    EXPECT_EQ(boxes.shown.size(), 1u); // no question, one failure
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
    VBE vbe(projectOf({{"M", module}}));
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
    InsertionOptions o = options();
    o.confirm = false;
    RunSummary s = InsertionRun(vbe, boxes, reporter).run(o);
    EXPECT_EQ(treated(s), std::vector<std::string>{"M.Value (Get)"});
    ASSERT_EQ(s.failed.size(), 1u);
    EXPECT_EQ(s.failed[0].failure, "no \"End Sub\" between lines 12 and 13 of the file");
}
