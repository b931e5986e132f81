#include "declaration.h"
#include "vbsyntax.h"

#include "../support/memoryproject.h"

#include <gtest/gtest.h>

using namespace trapline;
using namespace trapline::declaration;

namespace {

long last(const CodeModule& m, const std::string& name, int kind) {
    return *m.ProcStartLine(name, kind) + *m.ProcCountLines(name, kind) - 1;
}

} // namespace

TEST(HostNameAndClassify, GoByTheNameAndTheDeclarationKeyword) {
    EXPECT_EQ(HostName("Value (Get)"), "Value");
    EXPECT_EQ(HostName("  Odd (Let) (x)"), "Odd");
    EXPECT_EQ(vb::subOrFunction("Public Static Sub Tick()"), 0);
    EXPECT_EQ(vb::subOrFunction("Private Function ParseSub (x)"), 1);
    EXPECT_EQ(vb::subOrFunction("Function F() ' a Sub in the comment"), 1);
}

TEST(TrapLine, GoesAfterTheWholeDeclarationOrSaysWhyItCannot) {
    const struct {
        const char* what;
        std::string code;
        const char* name;
        int kind;
        long line;  ///< where the trap goes, or 0
        long error; ///< else the error number
    } cases[] = {
        {"a property", crlf({"Public Property Get Value() As Long", "End Property"}), "Value", 3, 2,
         0},
        {"no such kind", crlf({"Public Property Get Value() As Long", "End Property"}), "Value", 1,
         0, errors::NotDefined},
        {"continued",
         crlf({"Function Calc(ByVal a As Long, _", "  ByVal b As Long) As Long", "End Function"}),
         "Calc", 0, 3, 0},
        {"\"()\" before the continuation",
         crlf({"Function Sum(Values() As Double, _", "    ByVal n As Long) As Double",
               "End Function"}),
         "Sum", 0, 3, 0},
        {"no parenthesis", crlf({"Sub Main", "End Sub"}), "Main", 0, 2, 0},
        {"a continued comment", crlf({"Sub Noted() ' goes on _", "  and on", "End Sub"}), "Noted",
         0, 3, 0},
        {"alternatives under #If",
         crlf({"Option Explicit", "#If Win64 Then", "Private Function E(ByVal t As LongPtr)",
               "#Else", "Private Function E(ByVal t As Long)", "#End If", "    E = t",
               "End Function"}),
         "E", 0, 7, 0},
        {"alternatives under #If, the #End If's comment continued",
         crlf({"#If Win64 Then", "Private Sub G(ByVal t As LongPtr)", "#Else",
               "Private Sub G(ByVal t As Long)", "#End If ' 32 bits _", "  and 64", "    x = t",
               "End Sub"}),
         "G", 0, 7, 0},
        {"alternatives under #If, an #If within continued",
         crlf({"#If Win64 Then", "Private Sub H(ByVal t As LongPtr)", "#Else", "#If Mac _",
               "  Then", "Private Sub H(ByVal t As Long)", "#End If", "#End If", "    x = t",
               "End Sub"}),
         "H", 0, 9, 0},
        {"alternatives under #If and an empty body",
         crlf({"#If Win64 Then", "Private Sub F(ByVal t As LongPtr)", "#Else",
               "Private Sub F(ByVal t As Long)", "#End If", "End Sub"}),
         "F", 0, 6, 0},
        {"a whole procedure under #If",
         crlf({"#If DEBUG_BUILD Then", "Private Sub Dump()", "    Debug.Print 1", "End Sub",
               "#End If"}),
         "Dump", 0, 3, 0},
        // A nested #Else belongs to the body's own #If, not to the one around
        // the procedure, so the procedure lies whole inside its branch.
        {"a body opening with its own #If",
         crlf({"#If Win32 Then", "Private Sub Trace()", "#If DEBUG_BUILD Then", "    Debug.Print 1",
               "#Else", "    Log 1", "#End If", "End Sub", "#End If"}),
         "Trace", 0, 3, 0},
        {"a body holding its own #If",
         crlf({"#If Win32 Then", "Private Sub Count()", "    n = n + 1", "#If DEBUG_BUILD Then",
               "    Debug.Print n", "#ElseIf LOGGING Then", "    Log n", "#End If", "End Sub",
               "#End If"}),
         "Count", 0, 3, 0},
        {"an #If branch ending inside the body",
         crlf({"#If A Then", "Sub Split()", "    x = 1", "#Else", "Sub Split()", "    x = 2",
               "#End If", "End Sub"}),
         "Split", 0, 0, errors::BadDeclaration},
        {"one line", crlf({"Private Sub Nop(): End Sub"}), "Nop", 0, 0, errors::BadDeclaration},
        {"no End before the next", crlf({"Private Sub Open()", "Sub Later()", "End Sub"}), "Open",
         0, 0, errors::NoEndStatement},
        {"the next one's End", crlf({"Private Sub Open()", "Sub Later()", "End Sub"}), "Later", 0,
         3, 0},
        {"no End at the end", crlf({"Sub A()", "End Sub", "Sub Last()"}), "Last", 0, 0,
         errors::NoEndStatement},
    };
    for (const auto& c : cases) {
        CodeModule m(c.code);
        auto trap = TrapLine(m, c.name, c.kind);
        EXPECT_EQ(trap ? *trap : 0, c.line) << c.what;
        EXPECT_EQ(trap ? 0 : trap.error().number, c.error) << c.what;
    }
}

TEST(EndLine, FindsTheEndStatementFromTheBottomUpNeverAboveTheFloor) {
    CodeModule m(crlf({
        "Function F() As Long", // 1
        "    F = 1",            // 2
        "End Function ' F",     // 3
        "Sub Indented()",       // 4
        "    x = 1",            // 5
        "    End Sub",          // 6: indented End
        "End Sub",              // 7: an exact one is preferred
        "Sub Tail()",           // 8
        "    x = 1",            // 9
        "",
    }));
    EXPECT_EQ(*EndLine(m, "End Function", last(m, "F", 0), 2), 3);
    EXPECT_EQ(*EndLine(m, "End Sub", 7, 5), 7);
    EXPECT_EQ(*EndLine(m, "End Sub", last(m, "Indented", 0), 5), 6);
    EXPECT_EQ(last(m, "Tail", 0), 10);
    EXPECT_EQ(EndLine(m, "End Sub", last(m, "Tail", 0), 9).error().number, errors::NoEndStatement);
    // A Sub misread as a Function never borrows the End of another procedure.
    EXPECT_EQ(EndLine(m, "End Function", 7, 5).error().number, errors::NoEndStatement);

    // The tail of a continued statement ends nothing, exact or indented.
    CodeModule continued(crlf({
        "Sub Cont()",           // 1
        "    x = 1",            // 2
        "20 End Sub goes on _", // 3
        "End Sub",              // 4
        "Sub Cont2()",          // 5
        "    x = 1 _",          // 6
        "    End Sub",          // 7
        "End Sub",              // 8: the real one, below an indented tail
    }));
    EXPECT_EQ(EndLine(continued, "End Sub", 4, 2).error().number, errors::NoEndStatement);
    EXPECT_EQ(*EndLine(continued, "End Sub", 8, 6), 8);
    EXPECT_EQ(EndLine(continued, "End Sub", 7, 6).error().number, errors::NoEndStatement);
}

TEST(HandlerFits, TellsDoubleByteLabelsApartByTheCaseOfTheirSecondByte) {
    // Shift-JIS ア and ヂ: 0x83 0x41 and 0x83 0x61.
    auto cp = Codepage::open("932");
    auto sjis = [&](const char* utf8) { return *cp->fromUtf8(utf8); };
    CodeModule m(sjis("Sub A()\r\nア: Beep\r\nEnd Sub\r\n"), cp->leadBytes());
    const std::string di = sjis("ヂ: Beep"), a = sjis("ア: Beep");
    const std::string_view other[] = {di}, same[] = {a};
    EXPECT_TRUE(HandlerFits(m, "A", 1, 2, 3, other));
    EXPECT_FALSE(HandlerFits(m, "A", 1, 2, 3, same));
}

TEST(HandlerFits, TellsASecondEndFirstThenALabelTheProcedureHoldsOrTheTextsRepeat) {
    // Lines: 1 Sub A(), 2 the trap's place, then what each row gives, then End Sub.
    const struct {
        const char* what;
        std::vector<const char*> body;
        std::vector<std::string> texts;
        long error; ///< 0: fits
        const char* says = "";
    } rows[] = {
        {"nothing in the way", {"x = 1"}, {"On Error GoTo E", "E:\r\nBeep"}, 0},
        {"the label is there",
         {"e: x = 1"},
         {"On Error GoTo E", "E:\r\nBeep"},
         errors::DuplicateLabel,
         "\"E\" already"},
        {"the label is there, labels like it after it",
         {"fail: x = 1", "Again: y = 2", "Faux: z = 3"},
         {"On Error GoTo Fail", "Fail:\r\nBeep"},
         errors::DuplicateLabel,
         "\"Fail\" already"},
        {"the label is there as a number",
         {"10 x = 1"},
         {"", "10 Beep"},
         errors::DuplicateLabel,
         "\"10\" already"},
        {"a label-like tail of a continued line", {"x = 1 _", "e: y"}, {"", "E:"}, 0},
        {"the texts add a label twice",
         {"x = 1"},
         {"E:", "e:"},
         errors::DuplicateLabel,
         "\"e\" twice"},
        {"a second End wins over a label",
         {"e: x = 1", "End Sub"},
         {"", "E:"},
         errors::NoEndStatement,
         "line 4 of the file"},
        {"an End that continues a line ends nothing", {"x = 1 _", "End Sub"}, {"", "E:"}, 0},
        {"an End in a comment ends nothing", {"' End Sub"}, {"", "E:"}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::string code = "Sub A()\r\n";
        for (const char* line : row.body)
            code += std::string(line) + "\r\n";
        code += "End Sub\r\n";
        CodeModule m(code);
        const std::vector<std::string_view> texts(row.texts.begin(), row.texts.end());
        auto fits = HandlerFits(m, "A", 1, 2, m.CountOfLines(), texts);
        if (row.error == 0) {
            EXPECT_TRUE(fits);
            continue;
        }
        ASSERT_FALSE(fits);
        EXPECT_EQ(fits.error().number, row.error);
        EXPECT_NE(fits.error().description.find(row.says), std::string::npos)
            << fits.error().description;
    }
}
