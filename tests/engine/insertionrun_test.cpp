#include "insertionrun.h"

#include "../support/memoryproject.h"
#include "../support/recordingreporter.h"
#include "../support/scriptedmessagebox.h"
#include "handlerpattern.h"

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
    EXPECT_EQ(f.boxes.shown[0].text, "Вставлять обработку ошибок ?");
    EXPECT_EQ(f.boxes.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(f.boxes.shown[0].icon, MsgIcon::Question);
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
    Fixture f({{"M", kVersions}});
    InsertionOptions o = options("*", "*", false);
    o.withComment = false;
    RunSummary s = f.run(o);
    EXPECT_TRUE(s.failed.empty());
    EXPECT_EQ(located(s.treated),
              (std::vector<std::string>{"M.Store (Get)@3", "M.Store (Get)@11", "M.Store (Let)@6",
                                        "M.Store (Let)@14", "M.Store (Set)@8", "M.Store (Set)@16",
                                        "M.Log@19", "M.Log@32", "M.Limit@23", "M.Limit@28"}));
    // Each definition holds the whole handler, trap right after its
    // declaration and block right before its own End, and nothing else came.
    const CodeModule& m = (*f.vbe.ActiveVBProject()->VBComponents().Item(1))->CodeModule();
    EXPECT_EQ(m.CountOfLines(), CodeModule(kVersions).CountOfLines() + 10 * 4);
    ProcCatalogue catalogue(f.vbe, f.boxes);
    ASSERT_TRUE(catalogue.GetProcNames("*"));
    size_t complete = 0;
    for (size_t j = 1; j <= catalogue.size(); ++j)
        for (size_t d = 0; d < 2; ++d) {
            auto found = HandlerPattern::standard("").find(m, catalogue.Procs()[j], d);
            complete += found && found->presence == HandlerPattern::Presence::Complete;
        }
    EXPECT_EQ(complete, 10u);
    // One log line per definition treated.
    EXPECT_EQ(f.reporter.text, "Вставлено в Property : Store\r\nВставлено в Property : Store\r\n"
                               "Вставлено в Property : Store\r\nВставлено в Property : Store\r\n"
                               "Вставлено в Property : Store\r\nВставлено в Property : Store\r\n"
                               "Вставлено в Sub : Log\r\nВставлено в Sub : Log\r\n"
                               "Вставлено в Function : Limit\r\nВставлено в Function : Limit\r\n");
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
    Fixture f({{"M", module}});
    const InsertionOptions o = options("*", "*", false);
    EXPECT_EQ(located(f.run(o).treated), std::vector<std::string>{"M.Run@6"});
    // Now both hold a trap: a second run leaves the procedure alone, unless
    // it is named.
    EXPECT_TRUE(f.run(o).treated.empty());
    EXPECT_EQ(located(f.run(options("*", "Run")).treated),
              (std::vector<std::string>{"M.Run@2", "M.Run@6"}));
}
