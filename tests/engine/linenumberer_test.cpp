#include "linenumberer.h"

#include "../support/memoryproject.h"
#include "../support/recordingreporter.h"
#include "../support/scriptedmessagebox.h"

#include <gtest/gtest.h>

using namespace trapline;

namespace {

struct Outcome {
    RunSummary summary;
    std::string code;
    std::string log;
};

Outcome runOn(const std::string& text, LineNumberer::Action action, NumberingOptions n = {}) {
    VBE vbe(projectOf({{"M", text}}));
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
    InsertionOptions o;
    o.confirm = false;
    size_t chosen = 0;
    Component& component = **vbe.ActiveVBProject()->VBComponents().Item(1);
    RunSummary s = LineNumberer(vbe, boxes, reporter).run(action, component, o, n, chosen);
    return {std::move(s), codeOf(vbe, 1), reporter.text};
}

std::string failures(const RunSummary& s) {
    std::string out;
    for (const auto& item : s.failed)
        out += item.procName + ": " + item.failure + "\n";
    return out;
}

struct Case {
    const char* what;
    std::vector<std::string> before, after;
};

/// One procedure as numbering leaves it: a line "10|text" is `text` before
/// and "10 text" after; every other line is the same in both.
struct Numbered {
    const char* what;
    std::vector<std::string> lines;

    std::string before() const { return marked(false); }
    std::string after() const { return marked(true); }

private:
    std::string marked(bool numbered) const {
        std::string out;
        for (const std::string& l : lines) {
            const size_t bar = l.find('|');
            const bool hasNumber =
                bar != std::string::npos && bar > 0 && l.find_first_not_of("0123456789") == bar;
            out += !hasNumber ? l
                   : numbered ? l.substr(0, bar) + " " + l.substr(bar + 1)
                              : l.substr(bar + 1);
            out += "\r\n";
        }
        return out;
    }
};

const Numbered kNumbered[] = {
    {"no number on the first Case, nor on what belongs to the block before",
     {"Sub A()", "10|    Select Case x", "        ' note", "    Case 1", "20|        y = 1",
      "    Case Else", "30|        y = 2", "    End Select", "End Sub"}},
    {"continuation lines, a comment ending in ' _' and ' _' in a string",
     {"Sub B()", "10|    x = a + _", "        10", "    ' note _", "    y = 1",
      "20|    MsgBox \"a _\"", "30|\t z = 2", "    Rem r", "End Sub"}},
    {"a continued declaration under #If VBA7 alternatives",
     {"#If VBA7 Then", "Public Function C(ByVal a As LongPtr, _", "    ByVal b As Long) As LongPtr",
      "#Else", "Public Function C(ByVal a As Long, _", "    ByVal b As Long) As Long", "#End If",
      "10|    C = a", "End Function"}},
    {"attribute lines after the declaration stay hidden and unnumbered",
     {"Public Property Get D() As Long", "Attribute D.VB_UserMemId = 0", "10|    D = 1",
      "End Property"}},
    {"attribute lines stay with the line they follow, whatever else is numbered",
     {"Sub S()", "10|    x = 1", "Attribute P.VB_Description = \"stray\"", "End Sub",
      "Property Get P()", "10|    P = 1", "End Property"}},
    {"declarations, loop ends, block Ifs, labels and 'a: b' lines",
     {"Sub E()",
      "    Dim i As Long",
      "    Static s",
      "    Const K = 1",
      "10|    ReDim a(1)",
      "20|    For i = 1 To 2",
      "30|    Do",
      "40|    Loop Until f()",
      "50|    Next",
      "60|    With x",
      "    End With",
      "70|    If i Then",
      "    ElseIf j Then",
      "    Else",
      "    End If",
      "80|    x = 1: y = 2",
      "Retry: x = 3",
      "#If A Then",
      "#End If",
      "90|    Stop: End",
      "End Sub"}},
    {"the inserted handler's lines, and numbers starting again in each procedure",
     {"Sub F()", "10|ON ERROR GOTO err_debug", "20|    x = 1", "30|EXIT SUB", "err_debug:",
      "40|MyErrorHandler \"M.F\"", "End Sub", "", "Sub G()", "10|    x = 1", "End Sub"}},
    {"a line that starts with a digit but with no number",
     {"Sub J()", "1.5", "10|    x = 1", "End Sub"}},
    {"Rem after a colon is a comment, its GoTo no jump",
     {"Sub K()", "10|    x = 1: Rem GoTo 10", "End Sub"}},
    {"a member named GoTo is no jump",
     {"Sub L()", "10|    Selection.GoTo wdGoToLine, wdGoToAbsolute, 5", "20|    With x",
      "30|    .GoTo 5", "    End With", "End Sub"}},
    {"an End statement a comment's \" _\" continues is no End",
     {"Sub P()", "10|    x = 1 ' note _", "End Sub", "End Sub"}},
    {"a Select Case with no Case at all, one whose Case is commented out",
     {"Sub N()", "10|    Select Case x", "    End Select", "20|    Select Case y: Rem : Case 1",
      "    End Select", "30|    z = 3", "End Sub"}},
    {"a Select Case whose first Case is on the same line",
     {"Sub M()", "10|    Select Case x: Case 1: y = 1", "20|        y = 2", "    End Select",
      "30|    z = 3", "End Sub"}},
};

TEST(LineNumberer, NumbersOnlyStatementLinesAndUnnumberingGivesBackEveryByte) {
    for (const Numbered& c : kNumbered) {
        Outcome numbered = runOn(c.before(), LineNumberer::Action::Number);
        EXPECT_EQ(numbered.code, c.after()) << c.what;
        EXPECT_EQ(failures(numbered.summary), "") << c.what;
        Outcome back = runOn(numbered.code, LineNumberer::Action::Unnumber);
        EXPECT_EQ(back.code, c.before()) << c.what;
    }
}

TEST(LineNumberer, UnnumberTakesOffANumberAndOneSeparatorOnlyWhereAStatementStarts) {
    const Case cases[] = {
        {"every separator, bare numbers, a label, big numbers, continuations, indentation",
         {"Sub H()", "10 x = 1", "20:x = 2", "30: x = 3", "40\tx = 4", "50", "60 Foo: x = 5",
          "1000 x = 6", "65529 y = a + _", "70", "  80 z = 1", "90 On Error GoTo 0", "100 Resume 0",
          "End Sub"},
         {"Sub H()", "x = 1", "x = 2", " x = 3", "x = 4", "", "Foo: x = 5", "x = 6", "y = a + _",
          "70", "  z = 1", "On Error GoTo 0", "Resume 0", "End Sub"}},
        {"a numbered End statement",
         {"Sub I()", "10 x = 1", "20 End Sub"},
         {"Sub I()", "x = 1", "End Sub"}},
    };
    for (const Case& c : cases) {
        Outcome out = runOn(crlf(c.before), LineNumberer::Action::Unnumber);
        EXPECT_EQ(out.code, crlf(c.after)) << c.what;
        EXPECT_EQ(failures(out.summary), "") << c.what;
        EXPECT_NE(out.log.find("Unnumbered Sub : "), std::string::npos) << c.what;
    }
}

TEST(LineNumberer, NumbersAndRenumbersWithTheOptionsGivenRemappingEveryJump) {
    struct Row {
        const char* what;
        NumberingOptions options;
        std::vector<std::string> before, after;
    } rows[] = {
        {"every jump remapped to the old numbers",
         {1000, 5, true},
         {"Sub G()", "1 On x GoTo 2, _", "    3, Lbl", "2 If a Then 3 Else 1", "3: Resume 0",
          "   gosub 2: GOTO 3 ' GoTo 1", "Lbl: On Error GoTo 0", "   s = \"GoTo 2\": Resume 1",
          "End Sub"},
         {"Sub G()", "1000 On x GoTo 1005, _", "    1010, Lbl", "1005 If a Then 1010 Else 1000",
          "1010: Resume 0", "1015    gosub 1005: GOTO 1010 ' GoTo 1", "Lbl: On Error GoTo 0",
          "1020    s = \"GoTo 2\": Resume 1000", "End Sub"}},
        {"the highest number itself",
         {65520, 9, false},
         {"Sub A()", "x = 1", "y = 2", "End Sub"},
         {"Sub A()", "65520 x = 1", "65529 y = 2", "End Sub"}},
        {"a member named GoTo keeps its arguments",
         {10, 10, true},
         {"Sub B()", "1 Selection.GoTo wdGoToLine, wdGoToAbsolute, 1", "2 x.GoTo 2", "3 x!GoTo 3",
          "End Sub"},
         {"Sub B()", "10 Selection.GoTo wdGoToLine, wdGoToAbsolute, 1", "20 x.GoTo 2",
          "30 x!GoTo 3", "End Sub"}},
        {"a named label among On GoTo's targets",
         {10, 10, true},
         {"Sub C()", "1 On x GoTo Lbl, 2", "2 x = 1", "Lbl: x = 2", "End Sub"},
         {"Sub C()", "10 On x GoTo Lbl, 20", "20 x = 1", "Lbl: x = 2", "End Sub"}},
        {"a bare number",
         {10, 10, true},
         {"Sub D()", "50", "60 x = 1", "   GoTo 50", "End Sub"},
         {"Sub D()", "10", "20 x = 1", "30    GoTo 10", "End Sub"}},
        {"Erl compared with its numbers, a Select Case inside left alone",
         {100, 100, true},
         {"Sub E()", "1 x = 1", "2 y = 2", "3 If Erl = 2 Or 3 <> (Erl) Or Erl > 0 Then Beep",
          "   Select Case Erl", "   Case 1, 3", "4    Select Case y", "      Case 2",
          "      End Select", "   Case 2: Beep", "   End Select",
          "   n = Erl: MyErrorHandler \"M.E, line \" & Erl", "End Sub"},
         {"Sub E()", "100 x = 1", "200 y = 2",
          "300 If Erl = 200 Or 300 <> (Erl) Or Erl > 0 Then Beep", "400    Select Case Erl",
          "   Case 100, 300", "500    Select Case y", "      Case 2", "      End Select",
          "   Case 200: Beep", "   End Select",
          "600    n = Erl: MyErrorHandler \"M.E, line \" & Erl", "End Sub"}},
    };
    for (const Row& r : rows) {
        Outcome out = runOn(crlf(r.before), LineNumberer::Action::Number, r.options);
        EXPECT_EQ(out.code, crlf(r.after)) << r.what;
        EXPECT_EQ(failures(out.summary), "") << r.what;
    }
}

TEST(LineNumberer, LeavesAProcedureAloneWhenChangingItWouldBreakIt) {
    const std::string big = [] {
        std::string text = "Sub Big()\r\n";
        for (int k = 0; k < 6553; ++k)
            text += "    x = 1\r\n";
        return text + "End Sub\r\n";
    }();
    struct Refusal {
        const char* what;
        std::string before;
        LineNumberer::Action action;
        bool renumber;
        const char* reason;
        long start = 10, step = 10;
    } cases[] = {
        {"numbers of its own", crlf({"Sub N()", "10 x = 1", "    y = 2", "End Sub"}),
         LineNumberer::Action::Number, false, "holds line numbers already"},
        {"a jump to a number it does not hold",
         crlf({"Sub N()", "10 x = 1", "    GoTo 99", "End Sub"}), LineNumberer::Action::Number,
         true, "goes to the line number 99, which the procedure does not hold"},
        {"a jump to a number numbering would make",
         crlf({"Sub N()", "    x = 1", "    GoTo 10", "End Sub"}), LineNumberer::Action::Number,
         false, "goes to the line number 10, which the procedure does not hold"},
        {"a jump to a number being removed",
         crlf({"Sub N()", "10 x = 1", "    If a Then 10", "End Sub"}),
         LineNumberer::Action::Unnumber, false, "goes to the line number 10, which removing"},
        {"more statement lines than numbers up to 65529", big, LineNumberer::Action::Number, false,
         "above 65529"},
        {"one past the highest number", crlf({"Sub N()", "x = 1", "y = 2", "End Sub"}),
         LineNumberer::Action::Number, false, "above 65529", 65520, 10},
        {"numbers from 0", crlf({"Sub N()", "x = 1", "End Sub"}), LineNumberer::Action::Number,
         false, "start at 1", 0, 10},
        {"numbers 0 apart", crlf({"Sub N()", "x = 1", "End Sub"}), LineNumberer::Action::Number,
         false, "start at 1", 10, 0},
        {"one number twice", crlf({"Sub N()", "10 x = 1", "010 y = 2", "End Sub"}),
         LineNumberer::Action::Number, true, "holds the line number 10 twice"},
        {"a second End statement", crlf({"Sub N()", "x = 1", "End Sub", "y = 2", "End Sub"}),
         LineNumberer::Action::Number, false, "a second End statement, on line 5 of the file"},
        {"a second End statement right after the declaration",
         crlf({"Sub N()", "End Sub", "y = 2", "End Sub"}), LineNumberer::Action::Number, false,
         "a second End statement, on line 4 of the file"},
    };
    for (const Refusal& c : cases) {
        Outcome out = runOn(c.before, c.action, {c.start, c.step, c.renumber});
        EXPECT_EQ(out.code, c.before) << c.what;
        ASSERT_EQ(out.summary.failed.size(), 1u) << c.what;
        EXPECT_NE(out.summary.failed[0].failure.find(c.reason), std::string::npos)
            << c.what << ": " << out.summary.failed[0].failure;
        EXPECT_EQ(out.log, "") << c.what;
    }
    // One line fewer fits: 6552 lines numbered 10 to 65520.
    const std::string fits = big.substr(big.find("\r\n") + 2 + 11);
    Outcome out = runOn("Sub Big()\r\n" + fits, LineNumberer::Action::Number);
    EXPECT_EQ(failures(out.summary), "");
    EXPECT_NE(out.code.find("\r\n65520     x = 1\r\nEnd Sub"), std::string::npos);
}

TEST(LineNumberer, RenumberLeavesAloneAComparisonWithErlItMightNotFollowExactly) {
    for (const char* erl :
         {"   Case 1 To 2", "   Case Is = 1", "   Case x", "   Case 1 + 1", "   Case 3"}) {
        const std::string before =
            crlf({"Sub R()", "1 x = 1", "   Select Case Erl", erl, "   End Select", "End Sub"});
        Outcome out = runOn(before, LineNumberer::Action::Number, {10, 10, true});
        EXPECT_EQ(out.code, before) << erl;
        EXPECT_EQ(failures(out.summary),
                  "R: the procedure's line 3 compares Erl with a number that renumbering cannot "
                  "follow exactly; it is left as it is\n")
            << erl;
    }
    for (const char* erl :
         {"If Erl > 1 Then Beep", "If Erl = 1 + 0 Then Beep", "If Erl - 1 = 0 Then Beep",
          "If Erl = 3 Then Beep", "If Erl = x Then Beep", "If Erl = &H1 Then Beep",
          "If Erl = 1# Then Beep", "If Erl _\r\n   = 1 + 1 Then Beep", "Select Case Erl + 0",
          "If (Erl) + 0 = 1 Then Beep", "On Erl GoTo 1", "Select Case 1: Case Erl: End Select",
          "If Erl = 3 Then Beep\r\nIf Erl > 1 Then Beep"}) { // the first line refused
        const std::string before = crlf({"Sub R()", "1 x = 1", erl, "End Sub"});
        Outcome out = runOn(before, LineNumberer::Action::Number, {10, 10, true});
        EXPECT_EQ(out.code, before) << erl;
        EXPECT_EQ(failures(out.summary),
                  "R: the procedure's line 2 compares Erl with a number that renumbering cannot "
                  "follow exactly; it is left as it is\n")
            << erl;
    }
}

} // namespace
