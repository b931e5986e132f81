#include "declaration.h"

#include <gtest/gtest.h>

using namespace trapline;
using namespace trapline::declaration;

namespace {

/// Joins lines with CR LF, each ended.
std::string code(std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* l : lines)
        out.append(l).append("\r\n");
    return out;
}

long last(const CodeModule& m, const std::string& name, int kind) {
    return *m.ProcStartLine(name, kind) + *m.ProcCountLines(name, kind) - 1;
}

} // namespace

TEST(HostName, CutsTheDisplayNameBeforeItsParenthesis) {
    EXPECT_EQ(HostName("Value (Get)"), "Value");
    EXPECT_EQ(HostName("Value"), "Value");
    EXPECT_EQ(HostName("  Odd (Let) (x)"), "Odd");
}

TEST(Classify, GoesByTheDeclarationKeywordNotByLettersInTheLine) {
    EXPECT_EQ(classify("Private Sub Form_Load()"), 0);
    EXPECT_EQ(classify("Public Static Sub Tick()"), 0);
    EXPECT_EQ(classify("Private Function ParseSub(x)"), 1);
    EXPECT_EQ(classify("Private Function ParseSub (x)"), 1);
    EXPECT_EQ(classify("Function F() ' a Sub in the comment"), 1);
    EXPECT_EQ(classify("Friend Function Pad$(ByVal s As String)"), 1);
}

TEST(TrapLine, GoesAfterTheWholeDeclarationStatement) {
    CodeModule m(code({
        "Public Property Get Value() As Long", // 1
        "End Property",                        // 2
        "Function Calc(ByVal a As Long, _",    // 3
        "              ByVal b As Long) As Long",
        "End Function",                       // 5
        "Function Sum(Values() As Double, _", // 6: "()" before the continuation
        "    ByVal n As Long) As Double",
        "End Function", // 8
        "Sub Main",     // 9: no parenthesis at all
        "End Sub",
        "Sub Noted() ' comment that goes on _", // 11: a comment continues too
        "  and on",
        "End Sub",
    }));
    EXPECT_EQ(*TrapLine(m, "Value", 3), 2);
    EXPECT_EQ(*TrapLine(m, "Calc", 0), 5);
    EXPECT_EQ(*TrapLine(m, "Sum", 0), 8);
    EXPECT_EQ(*TrapLine(m, "Main", 0), 10);
    EXPECT_EQ(*TrapLine(m, "Noted", 0), 13);
    EXPECT_EQ(TrapLine(m, "Value", 1).error().number, errors::NotDefined);
}

TEST(TrapLine, PutsTheTrapAfterTheEndIfOfDeclarationAlternatives) {
    CodeModule m(code({
        "Option Explicit",                                         // 1
        "#If Win64 Then",                                          // 2
        "Private Function Elapsed(ByVal t As LongPtr) As LongPtr", // 3
        "#Else",                                                   // 4
        "Private Function Elapsed(ByVal t As Long) As Long",       // 5
        "#End If",                                                 // 6
        "    Elapsed = t",                                         // 7
        "End Function",                                            // 8
        "#If DEBUG_BUILD Then",                                    // 9
        "Private Sub Dump()", // 10: a whole procedure under #If
        "    Debug.Print 1",
        "End Sub",
        "#End If",
    }));
    EXPECT_EQ(*m.ProcBodyLine("Elapsed", 0), 3);
    EXPECT_EQ(*TrapLine(m, "Elapsed", 0), 7);
    EXPECT_EQ(*TrapLine(m, "Dump", 0), 11);
}

TEST(TrapLine, GoesRightAfterADeclarationInsideIfWhoseBodyHasItsOwnIfElse) {
    // The nested #Else belongs to the body's own #If, not to the one around
    // the procedure, so the procedure lies whole inside its branch.
    CodeModule m(code({
        "#If Win32 Then",       // 1
        "Private Sub Trace()",  // 2
        "#If DEBUG_BUILD Then", // 3: the body opens with its own #If
        "    Debug.Print 1",    // 4
        "#Else",                // 5
        "    Log 1",            // 6
        "#End If",              // 7
        "End Sub",              // 8
        "Private Sub Count()",  // 9
        "    n = n + 1",        // 10
        "#If DEBUG_BUILD Then", // 11
        "    Debug.Print n",    // 12
        "#ElseIf LOGGING Then", // 13
        "    Log n",            // 14
        "#End If",              // 15
        "End Sub",              // 16
        "#End If",              // 17
    }));
    EXPECT_EQ(*TrapLine(m, "Trace", 0), 3);
    EXPECT_EQ(*TrapLine(m, "Count", 0), 10);
}

TEST(TrapLine, RefusesADeclarationWhoseIfBranchEndsInsideTheBody) {
    CodeModule m(code({
        "#If A Then",
        "Sub Split()",
        "    x = 1",
        "#Else",
        "Sub Split()",
        "    x = 2",
        "#End If",
        "End Sub",
    }));
    EXPECT_EQ(TrapLine(m, "Split", 0).error().number, errors::BadDeclaration);
}

TEST(TrapLine, RefusesOneLineProceduresAndProceduresWithoutEnd) {
    CodeModule m(code({
        "Private Sub Nop(): End Sub",
        "Private Sub Open()",
        "Sub Later()",
        "End Sub",
        "Sub Last()",
    }));
    EXPECT_EQ(TrapLine(m, "Nop", 0).error().number, errors::BadDeclaration);
    EXPECT_EQ(TrapLine(m, "Open", 0).error().number, errors::NoEndStatement);
    EXPECT_EQ(TrapLine(m, "Last", 0).error().number, errors::NoEndStatement);
    EXPECT_EQ(*TrapLine(m, "Later", 0), 4);
}

TEST(EndLine, FindsTheEndStatementFromTheBottomUp) {
    CodeModule m(code({
        "Function F() As Long", // 1
        "    F = 1",            // 2
        "End Function ' F",     // 3
        "Sub Indented()",       // 4
        "    x = 1",            // 5
        "    End Sub",          // 6: indented End
        "Sub Tail()",           // 7
        "End Sub",              // 8
        "",
        "",
    }));
    EXPECT_EQ(*EndLine(m, "End Function", last(m, "F", 0), 2), 3);
    EXPECT_EQ(*EndLine(m, "End Sub", last(m, "Indented", 0), 5), 6);
    EXPECT_EQ(*EndLine(m, "End Sub", last(m, "Tail", 0), 8), 8);
    EXPECT_EQ(last(m, "Tail", 0), 10);
}

TEST(EndLine, NeverScansAboveTheLineAfterTheDeclaration) {
    CodeModule m(code({
        "Sub A()",
        "End Sub",
        "Sub B()",
        "    x = 1",
    }));
    EXPECT_EQ(EndLine(m, "End Sub", 4, 4).error().number, errors::NoEndStatement);
    // A Sub misread as a Function never borrows the End of another procedure.
    EXPECT_EQ(EndLine(m, "End Function", 2, 2).error().number, errors::NoEndStatement);
}

TEST(EndLine, PrefersAnExactEndOverAnIndentedOne) {
    CodeModule m(code({
        "Sub A()",
        "    End Sub",
        "End Sub",
    }));
    EXPECT_EQ(*EndLine(m, "End Sub", 3, 2), 3);
}

TEST(TrapLine, GoesAfterTheOwnDeclarationOfEachWholeVersionUnderIf) {
    CodeModule m(code({
        "Option Explicit",                                                      // 1
        "#If Win64 Then",                                                       // 2
        "Public Function Limit(ByVal Wanted As LongPtr, _",                     // 3
        "                      Optional ByVal Reserve As LongPtr = 0) As Long", // 4
        "    Limit = CLng(Wanted)",                                             // 5
        "End Function",                                                         // 6
        "#Else",                                                                // 7
        "Public Function Limit(ByVal Wanted As Long) As Long",                  // 8
        "    Limit = Wanted",                                                   // 9
        "  End Function",                                                       // 10: indented
        "#End If",                                                              // 11
        "",                                                                     // 12
    }));
    ASSERT_EQ(m.ProcDefinitions("Limit", 0), 2u);
    EXPECT_EQ(*TrapLine(m, "Limit", 0), 5);
    EXPECT_EQ(*TrapLine(m, "Limit", 0, 1), 9);
    EXPECT_EQ(*EndLine(m, "End Function", last(m, "Limit", 0), 5), 6);
    const long secondLast = *m.ProcStartLine("Limit", 0, 1) + *m.ProcCountLines("Limit", 0, 1) - 1;
    EXPECT_EQ(secondLast, 12); // the last procedure owns the #End If and blank lines
    EXPECT_EQ(*EndLine(m, "End Function", secondLast, 9), 10);
    EXPECT_EQ(TrapLine(m, "Limit", 0, 2).error().number, errors::NotDefined);
}
