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

namespace {

/// Whole versions under #If/#Else of a property's Get, Let and Set and of a
/// Function whose first version's declaration is continued, and a Sub defined
/// once outside and again, further down, inside #If.
const std::string kVersions = crlf({
    "Option Explicit",                                                 // 1
    "#If USE_ADO Then",                                                // 2
    "Public Property Get Store() As Object",                           // 3
    "    Set Store = m_db",                                            // 4
    "End Property",                                                    // 5
    "Public Property Let Store(ByVal s As String)",                    // 6
    "End Property",                                                    // 7
    "Public Property Set Store(ByVal v As Object)",                    // 8
    "End Property",                                                    // 9
    "#Else",                                                           // 10
    "Public Property Get Store() As Object",                           // 11
    "    Set Store = m_folder",                                        // 12
    "End Property",                                                    // 13
    "Public Property Let Store(ByVal s As String)",                    // 14
    "End Property",                                                    // 15
    "Public Property Set Store(ByVal v As Object)",                    // 16
    "End Property",                                                    // 17
    "#End If",                                                         // 18
    "Public Sub Log(ByVal s As String)",                               // 19
    "    Debug.Print s",                                               // 20
    "End Sub",                                                         // 21
    "#If Win64 Then",                                                  // 22
    "Public Function Limit(ByVal n As LongPtr, _",                     // 23
    "                      ByVal m As LongPtr) As Long",               // 24
    "    Limit = n",                                                   // 25
    "End Function",                                                    // 26
    "#Else",                                                           // 27
    "Public Function Limit(ByVal n As Long, ByVal m As Long) As Long", // 28
    "End Function",                                                    // 29
    "#End If",                                                         // 30
    "#If DEBUG_BUILD Then",                                            // 31
    "Public Sub Log(ByVal s As String)",                               // 32
    "    Debug.Print Now, s",                                          // 33
    "End Sub",                                                         // 34
    "#End If",                                                         // 35
});

/// "Module.Name@line" for each item.
std::vector<std::string> located(const std::vector<RunSummary::Item>& items) {
    std::vector<std::string> out;
    for (const auto& i : items)
        out.push_back(i.moduleName + "." + i.procName + "@" + std::to_string(i.line));
    return out;
}

} // namespace

TEST(InsertionRun, TreatsAndReportsEveryDefinitionOfAProcedureDefinedMoreThanOnce) {
    VBE vbe(projectOf({{"M", kVersions}}));
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
    InsertionOptions o = options();
    o.confirm = false;
    o.withComment = false;
    RunSummary s = InsertionRun(vbe, boxes, reporter).run(o);
    EXPECT_TRUE(s.failed.empty());
    EXPECT_EQ(located(s.treated),
              (std::vector<std::string>{"M.Store (Get)@3", "M.Store (Get)@11", "M.Store (Let)@6",
                                        "M.Store (Let)@14", "M.Store (Set)@8", "M.Store (Set)@16",
                                        "M.Log@19", "M.Log@32", "M.Limit@23", "M.Limit@28"}));
    const char* property[] = {"ON ERROR GOTO err_debug", "EXIT Property",
                              "err_debug:", "MyErrorHandler \"M.Store\""};
    EXPECT_EQ(codeOf(vbe, 1),
              crlf({"Option Explicit",
                    "#If USE_ADO Then",
                    "Public Property Get Store() As Object",
                    property[0],
                    "    Set Store = m_db",
                    property[1],
                    property[2],
                    property[3],
                    "End Property",
                    "Public Property Let Store(ByVal s As String)",
                    property[0],
                    property[1],
                    property[2],
                    property[3],
                    "End Property",
                    "Public Property Set Store(ByVal v As Object)",
                    property[0],
                    property[1],
                    property[2],
                    property[3],
                    "End Property",
                    "#Else",
                    "Public Property Get Store() As Object",
                    property[0],
                    "    Set Store = m_folder",
                    property[1],
                    property[2],
                    property[3],
                    "End Property",
                    "Public Property Let Store(ByVal s As String)",
                    property[0],
                    property[1],
                    property[2],
                    property[3],
                    "End Property",
                    "Public Property Set Store(ByVal v As Object)",
                    property[0],
                    property[1],
                    property[2],
                    property[3],
                    "End Property",
                    "#End If",
                    "Public Sub Log(ByVal s As String)",
                    "ON ERROR GOTO err_debug",
                    "    Debug.Print s",
                    "EXIT SUB",
                    "err_debug:",
                    "MyErrorHandler \"M.Log\"",
                    "End Sub",
                    "#If Win64 Then",
                    "Public Function Limit(ByVal n As LongPtr, _",
                    "                      ByVal m As LongPtr) As Long",
                    "ON ERROR GOTO err_debug",
                    "    Limit = n",
                    "EXIT FUNCTION",
                    "err_debug:",
                    "MyErrorHandler \"M.Limit\"",
                    "End Function",
                    "#Else",
                    "Public Function Limit(ByVal n As Long, ByVal m As Long) As Long",
                    "ON ERROR GOTO err_debug",
                    "EXIT FUNCTION",
                    "err_debug:",
                    "MyErrorHandler \"M.Limit\"",
                    "End Function",
                    "#End If",
                    "#If DEBUG_BUILD Then",
                    "Public Sub Log(ByVal s As String)",
                    "ON ERROR GOTO err_debug",
                    "    Debug.Print Now, s",
                    "EXIT SUB",
                    "err_debug:",
                    "MyErrorHandler \"M.Log\"",
                    "End Sub",
                    "#End If"}));
    // One log line per definition treated.
    EXPECT_EQ(reporter.text, "Вставлено в Property : Store\r\nВставлено в Property : Store\r\n"
                             "Вставлено в Property : Store\r\nВставлено в Property : Store\r\n"
                             "Вставлено в Property : Store\r\nВставлено в Property : Store\r\n"
                             "Вставлено в Sub : Log\r\nВставлено в Sub : Log\r\n"
                             "Вставлено в Function : Limit\r\nВставлено в Function : Limit\r\n");
}

TEST(InsertionRun, ReportsADefinitionThatCannotBeTreatedAndStillTreatsTheOthers) {
    const std::string module = crlf({
        "#If Compact Then", // 1
        "Sub Run(): End Sub",
        "#Else",
        "Sub Run()", // 4
        "    Go",
        "End Sub",
        "#End If",
    });
    VBE vbe(projectOf({{"M", module}}));
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
    InsertionOptions o = options("*", "Run");
    o.confirm = false;
    RunSummary s = InsertionRun(vbe, boxes, reporter).run(o);
    EXPECT_EQ(located(s.failed), std::vector<std::string>{"M.Run@2"});
    EXPECT_EQ(s.failed[0].failure, "Run: the procedure is written on one line");
    EXPECT_EQ(located(s.treated), std::vector<std::string>{"M.Run@4"});
    EXPECT_EQ(codeOf(vbe, 1),
              crlf({"#If Compact Then", "Sub Run(): End Sub", "#Else", "Sub Run()",
                    "'ON ERROR GOTO err_debug", "    Go", "'EXIT SUB",
                    "'err_debug:", "'MyErrorHandler \"M.Run\"", "End Sub", "#End If"}));
    EXPECT_EQ(boxes.shown.size(), 1u);
}

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
    VBE vbe(projectOf({{"M", module}}));
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
    InsertionRun run(vbe, boxes, reporter);
    InsertionOptions o = options();
    o.confirm = false;
    EXPECT_EQ(located(run.run(o).treated), std::vector<std::string>{"M.Run@6"});
    // Now both hold a trap: a second run leaves the procedure alone, unless
    // it is named.
    EXPECT_TRUE(run.run(o).treated.empty());
    EXPECT_EQ(located(run.run(options("*", "Run")).treated),
              (std::vector<std::string>{"M.Run@2", "M.Run@6"}));
}
