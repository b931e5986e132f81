#include "vbsyntax.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace trapline::vb;

TEST(ParseDeclaration, RecognisesEveryProcedureFormAndLeavesOtherStatementsAlone) {
    struct Case {
        const char* line;
        const char* name; ///< null: no declaration
        int type, kind;
        bool oneLine = false;
    } cases[] = {
        {"Sub Main()", "Main", 0, 0},
        {"Public Sub Init()", "Init", 0, 0},
        {"private static function Tick() as Long", "Tick", 1, 0},
        {"Friend Function Pad$(ByVal s As String)", "Pad", 1, 0},
        {"Public Property Get Value() As Long", "Value", 2, 3},
        {"Property Let Value(ByVal v As Long)", "Value", 2, 1},
        {"Public Property Set Customer(ByVal c As Object)", "Customer", 2, 2},
        {"Private Sub IFoo_Bar(ByVal x As Long)", "IFoo_Bar", 0, 0},
        {"Public Function \xd0\xe0\xf1\xf7\xe5\xf2() As Long", "\xd0\xe0\xf1\xf7\xe5\xf2", 1, 0},
        {"    Private Sub Indented()", "Indented", 0, 0},
        {"Sub NoParens", "NoParens", 0, 0},
        {"Private Sub Nop(): End Sub", "Nop", 0, 0, true},
        {"Function One() As Long: One = 1: End Function", "One", 1, 0, true},
        {"Sub A(): x = \": End Sub\"", "A", 0, 0},
        {"Sub A() ' : End Sub", "A", 0, 0},
        {"Private Declare Function GetTickCount Lib \"kernel32\" () As Long", nullptr, 0, 0},
        {"Public Event Changed()", nullptr, 0, 0},
        {"Dim SubTotal As Long", nullptr, 0, 0},
        {"Call Subroutine(1)", nullptr, 0, 0},
        {"' Sub Commented()", nullptr, 0, 0},
        {"Property Get", nullptr, 0, 0},
        {"End Sub", nullptr, 0, 0},
        {"Exit Sub", nullptr, 0, 0},
        {"Public Enum Kinds", nullptr, 0, 0},
        // Keywords are whole words, each modifier at most once, in order.
        {"Public Static Function F()", "F", 1, 0},
        {"Static Sub S()", "S", 0, 0},
        {"Sub\tTabbed()", "Tabbed", 0, 0},
        {"PublicSub X()", nullptr, 0, 0},
        {"Public Public Sub X()", nullptr, 0, 0},
        {"Static Public Sub X()", nullptr, 0, 0},
        {"Property Getter()", nullptr, 0, 0},
        {"Sub()", nullptr, 0, 0},
        {"Sub 1st()", nullptr, 0, 0},
        {"Public Sub", nullptr, 0, 0},
        {"Sub_X()", nullptr, 0, 0},
        // Turned away by the first two letters, or not.
        {"FRIEND STATIC FUNCTION Loud()", "Loud", 1, 0},
        {"PRIVATE PROPERTY LET Loud(v)", "Loud", 2, 1},
        {"Set Subject = Nothing", nullptr, 0, 0},
        {"Struct()", nullptr, 0, 0},
        {"S", nullptr, 0, 0},
    };
    for (const Case& c : cases) {
        auto d = parseDeclaration(c.line);
        ASSERT_EQ(d.has_value(), c.name != nullptr) << c.line;
        if (!d)
            continue;
        EXPECT_EQ(d->name, c.name) << c.line;
        EXPECT_EQ(d->procType, c.type) << c.line;
        EXPECT_EQ(d->procKind, c.kind) << c.line;
        EXPECT_EQ(d->endsOnSameLine, c.oneLine) << c.line;
    }
}

TEST(LineTests, RecogniseEndsContinuationsAttributesAndDirectives) {
    EXPECT_EQ(endStatementType("End Sub"), 0);
    EXPECT_EQ(endStatementType("    End Function ' done"), 1);
    EXPECT_EQ(endStatementType("100 End Property"), 2);
    EXPECT_EQ(endStatementType("end sub"), 0);
    EXPECT_EQ(endStatementType("END PROPERTY"), 2);
    EXPECT_FALSE(endStatementType("End If"));
    EXPECT_FALSE(endStatementType("End"));
    EXPECT_FALSE(endStatementType("Exit Sub"));
    EXPECT_FALSE(endStatementType("End Subject"));
    EXPECT_TRUE(isContinued("Function F(a, _"));
    EXPECT_TRUE(isContinued("Function F(a, _  "));
    EXPECT_FALSE(isContinued("x = my_"));
    EXPECT_TRUE(isAttributeLine("Attribute Value.VB_UserMemId = 0"));
    EXPECT_FALSE(isAttributeLine("AttributeX = 1"));
    EXPECT_EQ(userMemId("Attribute Item.VB_UserMemId = -4", "Item"), -4);
    EXPECT_FALSE(userMemId("Attribute Item.VB_UserMemId = -4", "Other"));
    EXPECT_EQ(directive("#If Win64 Then"), Directive::If);
    EXPECT_EQ(directive("  #ElseIf X Then"), Directive::ElseIf);
    EXPECT_EQ(directive("#Else"), Directive::Else);
    EXPECT_EQ(directive("#End If"), Directive::EndIf);
    EXPECT_EQ(directive("#Const X = 1"), Directive::Other);
    EXPECT_TRUE(isBlankOrComment("   ' note"));
    EXPECT_TRUE(isBlankOrComment("Rem note"));
    EXPECT_FALSE(isBlankOrComment("Remove x"));
}

TEST(LineTests, SeeEachLineWhateverItsIndentOfSpacesAndTabs) {
    // Indents are passed eight spaces at a time: every length around a
    // multiple of eight, and a tab before, at and after that boundary.
    const char* indents[] = {"",
                             " ",
                             "       ",
                             "        ",
                             "         ",
                             "               ",
                             "                ",
                             "                 ",
                             "\t",
                             "        \t",
                             "       \t",
                             "         \t  ",
                             "\t        \t       "};
    for (const char* indent : indents) {
        const std::string in(indent);
        EXPECT_EQ(trimLeft(in + "x = 1"), "x = 1") << '[' << in << ']';
        EXPECT_EQ(trimLeft(in), "") << '[' << in << ']';
        EXPECT_EQ(endStatementType(in + "End Sub"), 0) << '[' << in << ']';
        EXPECT_EQ(endStatementType(in + "10 End Function"), 1) << '[' << in << ']';
        EXPECT_FALSE(endStatementType(in + "Exit Sub")) << '[' << in << ']';
        EXPECT_TRUE(isBlankOrComment(in)) << '[' << in << ']';
        EXPECT_TRUE(isBlankOrComment(in + "REM x")) << '[' << in << ']';
        EXPECT_FALSE(isBlankOrComment(in + "Remark = 1")) << '[' << in << ']';
        EXPECT_EQ(directive(in + "#End If"), Directive::EndIf) << '[' << in << ']';
        EXPECT_EQ(lineLabel(in + "Retry: Resume"), "Retry") << '[' << in << ']';
        EXPECT_EQ(lineLabel(in + "20 x = 1"), "20") << '[' << in << ']';
        EXPECT_FALSE(lineLabel(in + "x = a ? b : c")) << '[' << in << ']';
        EXPECT_TRUE(parseDeclaration(in + "Public Sub A()")) << '[' << in << ']';
        EXPECT_TRUE(isContinued("x = 1 _" + in)) << '[' << in << ']';
    }
    // A byte one bit away from a space or a tab ends the indent.
    EXPECT_EQ(trimLeft("        \x21x"), "\x21x");
    EXPECT_EQ(trimLeft("       \xA0 "), "\xA0 ");
    EXPECT_EQ(trimLeft("        \x08"), "\x08");
}

TEST(EqualsNoCase, FoldsAsciiLettersOnly) {
    // Pairs one case bit apart that are no letters, and bytes outside ASCII,
    // compare exactly.
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"Sub", "sUB", true},
        {"Zz", "zZ", true},
        {"@", "`", false},
        {"[", "{", false},
        {"^", "~", false},
        {"\xC0", "\xE0", false},
        {"\xD0\xE0", "\xD0\xE0", true},
        {"Sub", "Sub ", false},
        {"", "", true},
    };
    for (const auto& [a, b, equal] : cases)
        EXPECT_EQ(equalsNoCase(a, b), equal) << a << " / " << b;
}

TEST(LineLabel, FindsLabelsAndLineNumbersOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"err_debug:", "err_debug"},
        {"  Retry: Resume", "Retry"},
        {"100 x = 1", "100"},
        {"100:", "100"},
        {"\xc2\xf5\xee\xe4:", "\xc2\xf5\xee\xe4"},
        {"x = 1: y = 2", nullptr},
        {"Else: Stop", nullptr},
        {"' err_debug:", nullptr},
        {"Rem a:", nullptr},
        {"Go a:=1", nullptr},
        {"a:=1", nullptr},
        {"100x = 1", nullptr},
        {"_x:", nullptr},
        {"", nullptr},
    };
    for (auto [line, label] : cases) {
        EXPECT_EQ(std::string(lineLabel(line).value_or("-")), label ? label : "-") << line;
    }
}

TEST(CodepageScope, ReadsADoubleByteCharacterWholeAndASingleByteOneAlone) {
    // Each text in UTF-8, then in its code page: the word it starts with, which
    // is whole as a declared name and as a label.
    struct Case {
        const char* codepage;
        const char* text;
        const char* word;
    } cases[] = {
        {"932", "表示(x)", "表示"}, // 0x95 0x5C
        {"932", "ァゼソゾタチボポマミ ",
         "ァゼソゾタチボポマミ"}, // second bytes @ [ \ ] ^ ` { | } ~
        {"932", "ｱ\\x", "ｱ"},     // a half-width kana is one byte
        {"936", "丂乕乗乚乛乣亄亅亇亊(", "丂乕乗乚乛乣亄亅亇亊"},
        {"950", "一兞兝兡兣瓩廾弋弓才(", "一兞兝兡兣瓩廾弋弓才"},
        {"949", "갂갵(", "갂갵"},
        {"1251", "Сумма@(x)", "Сумма"}, // the Currency suffix
        {"1251", "х^2", "х"},
        {"1251", "а\\б", "а"},
    };
    for (const Case& c : cases) {
        auto cp = trapline::Codepage::open(c.codepage);
        ASSERT_TRUE(cp) << c.codepage;
        const std::string text = *cp->fromUtf8(c.text), word = *cp->fromUtf8(c.word);
        CodepageScope scope(cp->leadBytes());
        EXPECT_EQ(wordEnd(text, 0), word.size()) << c.codepage << " " << c.text;
        auto d = parseDeclaration("Sub " + word + "(): End Sub");
        ASSERT_TRUE(d) << c.codepage << " " << c.text;
        EXPECT_EQ(d->name, word) << c.codepage << " " << c.text;
        EXPECT_TRUE(d->endsOnSameLine) << c.codepage << " " << c.text;
        EXPECT_EQ(lineLabel(word + ": Beep").value_or(""), word) << c.codepage << " " << c.text;
    }
}

TEST(CodepageScope, KeepsTheCaseOfASecondByteAndEndsWithItsScope) {
    // Shift-JIS ア and ヂ, Korean 갂 and 갵: 0x41 and 0x61 after the same lead byte.
    for (const char* codepage : {"932", "949"}) {
        auto cp = trapline::Codepage::open(codepage);
        const std::string upper = std::string("\x81\x41X\x83\x41", 5);
        const std::string lower = std::string("\x81\x41x\x83\x61", 5);
        {
            CodepageScope scope(cp->leadBytes());
            EXPECT_FALSE(equalsNoCase(upper, lower)) << codepage;
            EXPECT_TRUE(equalsNoCase(upper.substr(0, 3), lower.substr(0, 3))) << codepage;
            // A letter after a character whose second byte is high is a letter of its own.
            EXPECT_TRUE(equalsNoCase(std::string("\x82\xA0X", 3), std::string("\x82\xA0x", 3)))
                << codepage;
            EXPECT_NE(lowerName(upper, cp->leadBytes()), lowerName(lower, cp->leadBytes()));
        }
        // Outside the scope the bytes are single-byte text again, as in Windows-1251.
        EXPECT_TRUE(equalsNoCase(upper, lower)) << codepage;
    }
}
