#include "handlerinserter.h"

#include "../support/memoryproject.h"
#include "../support/recordingreporter.h"
#include "../support/scriptedmessagebox.h"
#include "insertionoptions.h"

#include <gtest/gtest.h>

using namespace trapline;

namespace {

/// One module "Module1" and a catalogue of it, ready to insert into.
struct Fixture {
    explicit Fixture(const std::string& code)
        : vbe(projectOf({{"Module1", code}})), catalogue(vbe, boxes) {
        catalogue.GetProcNames("*");
        inserter.setTemplates(kDefaultHeader, kDefaultFooter);
    }
    CodeModule* module() { return &(*vbe.ActiveVBProject()->VBComponents().Item(1))->CodeModule(); }
    size_t indexOf(const std::string& procName) {
        for (size_t j = 1; j < catalogue.Procs().size(); ++j)
            if (catalogue.Procs()[j].ProcName == procName)
                return j;
        return 0;
    }
    std::string code() { return codeOf(vbe, 1); }

    VBE vbe;
    ScriptedMessageBox boxes;
    RecordingReporter reporter;
    ProcCatalogue catalogue;
    Codepage codepage;
    HandlerInserter inserter{catalogue, codepage, boxes, reporter};
};

} // namespace

TEST(InsertDefaultCodes, WritesTheStandardHandlerLiveOrCommentedNamingPropertiesByHostName) {
    Fixture f(crlf({"Sub Foo()", "    x = 1", "End Sub", "Property Let Value(ByVal v As Long)",
                    "End Property", "", ""}));
    ASSERT_TRUE(f.inserter.InsertDefaultCodes(f.indexOf("Foo"), f.module(), ""));
    ASSERT_TRUE(f.inserter.InsertDefaultCodes(f.indexOf("Value (Let)"), f.module(), "'"));
    EXPECT_EQ(f.code(), crlf({"Sub Foo()", "ON ERROR GOTO err_debug", "    x = 1", "EXIT SUB",
                              "err_debug:", "MyErrorHandler \"Module1.Foo\"", "End Sub",
                              "Property Let Value(ByVal v As Long)", "'ON ERROR GOTO err_debug",
                              "'EXIT Property", "'err_debug:", "'MyErrorHandler \"Module1.Value\"",
                              "End Property", "", ""}));
    EXPECT_EQ(f.reporter.text, "Вставлено в Sub : Foo\r\nВставлено в Property : Value\r\n");
}

TEST(InsertUserCodes, ReplacesPlaceholdersExactlyAndInOrder) {
    EXPECT_EQ(HandlerInserter::fillPlaceholders("??? x ??? #module# #MODULE#.#PROC#", "Property",
                                                "M", "P (Let)"),
              "Property x Property #module# M.P (Let)");
    // A module name that holds a later placeholder is filled in again, as the
    // replacements run one after another.
    EXPECT_EQ(HandlerInserter::fillPlaceholders("#MODULE#", "Sub", "#PROC#", "Foo"), "Foo");
    EXPECT_EQ(HandlerInserter::applyPrefix("a\r\nb\r\n", "'"), "'a\r\n'b\r\n");
    EXPECT_EQ(HandlerInserter::applyPrefix("", "'"), "'");
}

TEST(HandlerInserter, LeavesAProcedureUntouchedWhenEitherPointIsMissing) {
    const std::string code = crlf({"Private Sub Nop(): End Sub", "Sub Open()", "    x = 1"});
    Fixture f(code);
    EXPECT_FALSE(f.inserter.InsertDefaultCodes(f.indexOf("Nop"), f.module(), ""));
    EXPECT_FALSE(f.inserter.InsertUserCodes(f.indexOf("Open"), f.module(), ""));
    EXPECT_EQ(f.code(), code);
    EXPECT_EQ(f.reporter.text, "");
    ASSERT_EQ(f.boxes.shown.size(), 2u);
    EXPECT_EQ(f.boxes.shown[1].text.rfind("1003: ", 0), 0u);
    // Without its module, the procedure is still named.
    Fixture gone(crlf({"Property Get Value() As Long", "End Property"}));
    EXPECT_FALSE(gone.inserter.InsertUserCodes(gone.indexOf("Value (Get)"), nullptr, ""));
    ASSERT_EQ(gone.boxes.shown.size(), 1u);
    EXPECT_NE(gone.boxes.shown[0].text.find("Procedure: Value"), std::string::npos);
    // An index the catalogue does not hold, at either end, is refused as VB would.
    for (size_t index : {size_t(0), gone.catalogue.Procs().size()}) {
        EXPECT_FALSE(gone.inserter.InsertDefaultCodes(index, gone.module(), ""));
        EXPECT_NE(gone.boxes.shown.back().text.find("Subscript out of range"), std::string::npos);
    }
    EXPECT_EQ(gone.code(), crlf({"Property Get Value() As Long", "End Property"}));
}

TEST(HandlerInserter, WritesTemplatesInTheCodePageOrInsertsNothing) {
    Fixture f("Sub \xd0\xe0\xf1\xf7\xe5\xf2()\r\nEnd Sub\r\n");
    f.inserter.setTemplates("' Начало #PROC#\r\n", "' Конец\r\n");
    ASSERT_TRUE(f.inserter.InsertUserCodes(1, f.module(), ""));
    const std::string treated = "Sub \xd0\xe0\xf1\xf7\xe5\xf2()\r\n' \xcd\xe0\xf7\xe0\xeb\xee "
                                "\xd0\xe0\xf1\xf7\xe5\xf2\r\n' \xca\xee\xed\xe5\xf6\r\nEnd Sub\r\n";
    EXPECT_EQ(f.code(), treated);
    EXPECT_EQ(f.reporter.text, "Вставлено в Sub : Расчет\r\n");
    f.inserter.setTemplates("' ok\r\n", "' 中文\r\n");
    EXPECT_FALSE(f.inserter.InsertUserCodes(1, f.module(), ""));
    EXPECT_EQ(f.code(), treated);
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_NE(f.boxes.shown[0].text.find("中"), std::string::npos);
}

TEST(HandlerInserter, EndsEachVersionOfAProcedureAsItsOwnDeclarationSays) {
    // A Sub in one branch, a Function in the other: one catalogue entry (a
    // Sub, from the first), two kinds of End statement.
    Fixture f(crlf({"#If Quiet Then", "Sub Check()", "End Sub", "#Else",
                    "Function Check() As Boolean", "    Check = True", "End Function", "#End If"}));
    const size_t j = f.indexOf("Check");
    ASSERT_TRUE(f.inserter.InsertDefaultCodes(j, f.module(), "", 0));
    ASSERT_TRUE(f.inserter.InsertDefaultCodes(j, f.module(), "", 1));
    EXPECT_EQ(f.code(),
              crlf({"#If Quiet Then", "Sub Check()", "ON ERROR GOTO err_debug", "EXIT SUB",
                    "err_debug:", "MyErrorHandler \"Module1.Check\"", "End Sub", "#Else",
                    "Function Check() As Boolean", "ON ERROR GOTO err_debug", "    Check = True",
                    "EXIT FUNCTION", "err_debug:", "MyErrorHandler \"Module1.Check\"",
                    "End Function", "#End If"}));
    EXPECT_EQ(f.reporter.text, "Вставлено в Sub : Check\r\nВставлено в Function : Check\r\n");
    EXPECT_FALSE(f.inserter.InsertDefaultCodes(j, f.module(), "", 2));
    EXPECT_EQ(f.boxes.shown.size(), 1u);
}

TEST(HandlerInserter, PutsTheFooterInTheSameDefinitionWhenTheHeaderMakesTheModuleReindex) {
    // A header with a continued line makes the module find its procedures
    // anew; the footer must still go into the definition the header went into.
    Fixture f(crlf({"#If A Then", "Sub Run()", "    x = 1", "End Sub", "#Else", "Sub Run()",
                    "    x = 2", "End Sub", "#End If"}));
    f.inserter.setTemplates("On Error GoTo _\r\nFail", "Fail:");
    ASSERT_TRUE(f.inserter.InsertUserCodes(f.indexOf("Run"), f.module(), "", 1));
    EXPECT_EQ(f.code(),
              crlf({"#If A Then", "Sub Run()", "    x = 1", "End Sub", "#Else", "Sub Run()",
                    "On Error GoTo _", "Fail", "    x = 2", "Fail:", "End Sub", "#End If"}));
}

TEST(HandlerInserter, RefusesAHandlerThatWouldGiveAProcedureALabelTwice) {
    struct Case {
        const char* what;
        std::vector<std::string> body; ///< between "Sub Foo()" and "End Sub"
        const char *header, *footer;   ///< null: the standard handler
        const char* prefix;
        const char* clash; ///< the label named in the refusal; null: inserted
    } cases[] = {
        {"in other letters, a statement after it",
         {"ERR_Debug: Resume Next"},
         nullptr,
         nullptr,
         "",
         "err_debug"},
        {"a name the template fills in",
         {"  Foo_Fail:"},
         "On Error GoTo #PROC#_Fail",
         "#PROC#_Fail:",
         "",
         "Foo_Fail"},
        {"a line number", {"10 x = 1"}, "On Error GoTo 10", "10 Resume Next", "", "10"},
        {"the templates' own label twice", {"    x = 1"}, "Again:", "Again:", "", "Again"},
        {"commented handlers hold no label", {"err_debug:"}, nullptr, nullptr, "'", nullptr},
        {"a label in a comment", {"' err_debug:", "Rem err_debug:"}, nullptr, nullptr, "", nullptr},
        {"statements after a colon", {"    x = 1: err_debug = 2"}, nullptr, nullptr, "", nullptr},
        {"continued lines",
         {"    Call Go(1, _", "err_debug:=2)", "    ' see _", "err_debug: below"},
         nullptr,
         nullptr,
         "",
         nullptr},
        {"a continued template line",
         {"    x = 1"},
         "On Error GoTo Fail ' _\r\nFail: below",
         "Fail:",
         "",
         nullptr},
    };
    for (const Case& c : cases) {
        std::string code = "Sub Foo()\r\n";
        for (const std::string& l : c.body)
            code += l + "\r\n";
        // Labels belong to their procedure: another one's are no clash.
        code += crlf(
            {"End Sub", "Sub Other()", "err_debug:", "Foo_Fail:", "Again:", "10 Beep", "End Sub"});
        Fixture f(code);
        if (c.header)
            f.inserter.setTemplates(c.header, c.footer);
        const bool ok = c.header ? f.inserter.InsertUserCodes(1, f.module(), c.prefix)
                                 : f.inserter.InsertDefaultCodes(1, f.module(), c.prefix);
        EXPECT_EQ(ok, c.clash == nullptr) << c.what;
        if (c.clash) {
            EXPECT_EQ(f.code(), code) << c.what;
            EXPECT_NE(f.inserter.lastFailure().find("\"" + std::string(c.clash) + "\""),
                      std::string::npos)
                << c.what << ": " << f.inserter.lastFailure();
            ASSERT_EQ(f.boxes.shown.size(), 1u) << c.what;
            EXPECT_EQ(f.boxes.shown[0].text.rfind("1006: Foo: ", 0), 0u) << f.boxes.shown[0].text;
        }
    }
}

TEST(HandlerInserter, RefusesTemplatesThatWouldBreakTheProcedureTheyGoInto) {
    struct Case {
        const char* text;
        long line; ///< of the fault; 0: the template can go in
    } cases[] = {
        {"Exit ???\r\nFail:", 0},
        {"x = 1 _\r\n  + 2", 0}, // continued, but not into the code
        {"x = a_", 0},           // an identifier, no continuation
        {"End If\r\nEnd\r\nExit Sub\r\nEnd Select", 0},
        {"Call Sub1\r\nDeclare Sub Beep Lib \"k\" ()\r\n' Sub Foo()", 0},
        {"x = 1 _", 1},
        {"a\r\nx = 1 _  \r\n", 2}, // blanks after it, a line end after it
        {"a\nb\n' note _", 3},     // a comment continues too
        {"x = 1\r\nEnd ???", 2},   // the placeholder makes it an End statement
        {"  End Function ' done", 1},
        {"10 End Property", 1},
        {"Private Sub Helper()", 1},
        {"x = 1\r\nPublic Function _\r\n  F() As Long", 2}, // a declaration over two lines
        {"Property Get #PROC#()", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto fault = HandlerInserter::templateFault(c.text);
        EXPECT_EQ(fault ? fault->line : 0, c.line);
    }
}
