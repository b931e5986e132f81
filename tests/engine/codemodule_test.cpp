#include "codemodule.h"
#include "codepage.h"

#include <gtest/gtest.h>

using trapline::CodeModule;

namespace {

const std::string kClass = "VERSION 1.0 CLASS\r\n"
                           "BEGIN\r\n"
                           "  MultiUse = -1  'True\r\n"
                           "END\r\n"
                           "Attribute VB_Name = \"CThing\"\r\n"
                           "Attribute VB_Exposed = False\r\n"
                           "Option Explicit\r\n"
                           "Private m_value As Long\r\n"
                           "\r\n"
                           "' The value.\r\n"
                           "Public Property Get Value() As Long\r\n"
                           "Attribute Value.VB_UserMemId = 0\r\n"
                           "    Value = m_value\r\n"
                           "End Property\r\n"
                           "\r\n"
                           "Public Property Let Value(ByVal v As Long)\r\n"
                           "    m_value = v\r\n"
                           "End Property\r\n"
                           "\r\n"
                           "Private Sub Reset()\r\n"
                           "    m_value = 0\r\n"
                           "End Sub\r\n"
                           "\r\n"
                           "\r\n";

const std::string kForm =
    "VERSION 5.00\r\n"
    "Object = \"{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0\"; \"MSCOMCTL.OCX\"\r\n"
    "Begin VB.Form frmMain \r\n"
    "   Caption         =   \"Main\"\r\n"
    "   Begin VB.CommandButton cmdOK \r\n"
    "      Caption         =   \"OK\"\r\n"
    "      BeginProperty Font \r\n"
    "         Name            =   \"Tahoma\"\r\n"
    "      EndProperty\r\n"
    "   End\r\n"
    "End\r\n"
    "Attribute VB_Name = \"frmMain\"\r\n"
    "Option Explicit\r\n"
    "Private Sub cmdOK_Click()\r\n"
    "    Unload Me\r\n"
    "End Sub\r\n";

long bodyLine(const CodeModule& m, const std::string& name, int kind) {
    return *m.ProcBodyLine(name, kind);
}
long lastLine(const CodeModule& m, const std::string& name, int kind) {
    return *m.ProcStartLine(name, kind) + *m.ProcCountLines(name, kind) - 1;
}

} // namespace

TEST(CodeModule, ShowsCodeWithoutTheHiddenLinesAndTilesProceduresAsTheCodeWindowDoes) {
    CodeModule m(kClass);
    EXPECT_EQ(*m.Lines(1, 1), "Option Explicit");
    EXPECT_EQ(*m.Lines(5, 2), "Public Property Get Value() As Long\r\n    Value = m_value");
    // The comment above the first declaration belongs to the procedure; the
    // blank line after the declarations section's code does too.
    EXPECT_EQ(*m.ProcStartLine("Value", 3), 3);
    EXPECT_EQ(bodyLine(m, "Value", 3), 5);
    EXPECT_EQ(lastLine(m, "Value", 3), 7);
    // Later procedures start right after the previous End statement.
    EXPECT_EQ(*m.ProcStartLine("Value", 1), 8);
    EXPECT_EQ(bodyLine(m, "Value", 1), 9);
    // The last one owns the blank lines after its End.
    EXPECT_EQ(bodyLine(m, "Reset", 0), 13);
    EXPECT_EQ(lastLine(m, "Reset", 0), 17);
    EXPECT_EQ(m.CountOfLines(), 17);
    EXPECT_EQ(m.ProcBodyLine("Value", 2).error().number, trapline::errors::NotDefined);
    EXPECT_EQ(m.ProcCountLines("Missing", 0).error().number, trapline::errors::NotDefined);
    EXPECT_TRUE(m.ProcBodyLine("reset", 0)); // VB names ignore letter case
    CodeModule form(kForm);
    EXPECT_EQ(*form.Lines(1, 1), "Option Explicit");
    EXPECT_EQ(bodyLine(form, "cmdOK_Click", 0), 2);
}

TEST(CodeModule, InsertsLinesKeepingTheFilesLineEndsAndMissingFinalEnd) {
    // A final line break ends the last line and adds none; "" adds nothing.
    const struct {
        std::string before;
        std::vector<std::pair<long, const char*>> inserts;
        std::string after;
    } cases[] = {
        {"Sub A()\r\nEnd Sub\r\n",
         {{2, "ON ERROR GOTO err_debug\r\n"}, {3, "a\r\nb"}, {3, ""}, {3, "\r\n"}},
         "Sub A()\r\nON ERROR GOTO err_debug\r\n\r\na\r\nb\r\nEnd Sub\r\n"},
        {"Sub A()\nEnd Sub\n", {{2, "x\r\ny"}}, "Sub A()\nx\ny\nEnd Sub\n"},
        {"Sub A()\r\nEnd Sub", {{3, "' tail"}}, "Sub A()\r\nEnd Sub\r\n' tail"},
        {"Attribute VB_Name = \"M\"",
         {{1, "Option Explicit"}},
         "Attribute VB_Name = \"M\"\r\nOption Explicit"},
    };
    for (const auto& c : cases) {
        CodeModule m(c.before);
        for (const auto& [line, text] : c.inserts)
            ASSERT_TRUE(m.InsertLines(line, text)) << c.before;
        EXPECT_EQ(m.serialize(), c.after);
        EXPECT_TRUE(m.modified());
        EXPECT_EQ(m.InsertLines(m.CountOfLines() + 2, "x").error().number,
                  trapline::errors::OutOfRange);
        EXPECT_EQ(m.InsertLines(0, "x").error().number, trapline::errors::OutOfRange);
    }
}

TEST(CodeModule, DeletesUpToItsLastLineAndFindsANameWhateverTheCaseOfItsFirstOrLastLetter) {
    CodeModule m(std::string("Sub Ask()\r\nEnd Sub\r\nSub Quiz()\r\n    x = 1\r\nEnd Sub\r\n"));
    for (const char* name : {"ask", "ASK", "quiz", "QUIZ"})
        EXPECT_EQ(*m.ProcBodyLine(name, 0), name[0] == 'a' || name[0] == 'A' ? 1 : 3) << name;
    ASSERT_TRUE(m.DeleteLines(4, 2));
    EXPECT_EQ(m.serialize(), "Sub Ask()\r\nEnd Sub\r\nSub Quiz()\r\n");
    ASSERT_TRUE(m.DeleteLines(3, 1));
    EXPECT_EQ(m.serialize(), "Sub Ask()\r\nEnd Sub\r\n");
}

TEST(CodeModule, TilesProceduresAfterAnyDeletionOrInsertionAsAFreshReadingDoes) {
    // A comment above B, blank lines between: every range of lines, however
    // it falls across the procedures, is taken out; and a line put in at each place.
    const std::string code =
        "Option Explicit\r\nSub A()\r\n    x = 1\r\nEnd Sub\r\n\r\n' B\r\n"
        "Sub B()\r\n    y = 2\r\nEnd Sub\r\n\r\nFunction C()\r\nEnd Function\r\n";
    auto sameTiles = [](const CodeModule& edited, const std::string& what) {
        const CodeModule fresh(edited.serialize());
        auto tiles = [](const CodeModule& m) {
            std::vector<long> out;
            for (const char* name : {"A", "B", "C"})
                for (const trapline::Result<long>& r :
                     {m.ProcStartLine(name, 0), m.ProcBodyLine(name, 0), m.ProcCountLines(name, 0)})
                    out.push_back(r ? *r : -1);
            return out;
        };
        EXPECT_EQ(tiles(edited), tiles(fresh)) << what;
    };
    const long n = CodeModule(code).CountOfLines();
    for (long first = 1; first <= n; ++first) {
        for (long count = 1; first + count - 1 <= n; ++count) {
            CodeModule m(code);
            ASSERT_TRUE(m.DeleteLines(first, count));
            sameTiles(m, "delete " + std::to_string(first) + "+" + std::to_string(count));
        }
        CodeModule m(code);
        ASSERT_TRUE(m.InsertLines(first, "    z = 3"));
        sameTiles(m, "insert at " + std::to_string(first));
    }
}

TEST(CodeModule, ReindexesWhenInsertedTextDeclaresAProcedure) {
    CodeModule m(std::string("Option Explicit\r\n"));
    ASSERT_TRUE(m.AddFromString("Public Sub MyErrorHandler(ByVal where As String)\r\n"
                                "    Debug.Print where\r\nEnd Sub\r\n"));
    EXPECT_EQ(bodyLine(m, "MyErrorHandler", 0), 2);
    ASSERT_TRUE(m.AddFromString("Private m_count As Long"));
    EXPECT_EQ(*m.Lines(2, 1), "Private m_count As Long");
    EXPECT_EQ(bodyLine(m, "MyErrorHandler", 0), 3);
}

TEST(CodeModule, FindsTextInARangeAndReportsWhere) {
    CodeModule m(std::string("Sub A(x)\r\n    on error resume next\r\n    x = \"On Error \"\r\nEnd "
                             "Sub\r\n' o.O oN err\r\n"));
    const struct {
        const char* target;
        long sl, sc, el, ec;
        bool wholeWord, matchCase;
        long line, column; ///< where it is found; 0: not found
    } cases[] = {
        {"On Error ", 1, 1, 4, -1, false, false, 2, 5},
        {"On Error ", 1, 1, 4, -1, false, true, 3, 10}, // only the exact case
        {")", 1, 1, 1, 7, false, false, 0, 0},          // ")" is column 8, past the end
        {")", 1, 8, 1, -1, false, false, 1, 8},         // starting at the start column
        {")", 1, 9, 1, -1, false, false, 0, 0},         // one column further, past it
        {"End", 1, 1, 4, 3, false, false, 4, 1},        // ending on the end column
        {"resum", 1, 1, 4, -1, true, false, 0, 0},      // not a whole word
        // Candidates in either case, the first ones failing.
        {"on err", 5, 1, 5, -1, false, false, 5, 7},
        {"n E", 5, 1, 5, -1, false, false, 5, 8},
        {".o", 5, 1, 5, -1, false, false, 5, 4},   // a first character without case
        {"ERR", 5, 1, 5, -1, false, false, 5, 10}, // ending the line
        {"err ", 5, 1, 5, -1, false, false, 0, 0}, // one past the end
    };
    for (const auto& c : cases) {
        long sl = c.sl, sc = c.sc, el = c.el, ec = c.ec;
        auto found = m.Find(c.target, sl, sc, el, ec, c.wholeWord, c.matchCase, false);
        ASSERT_TRUE(found) << c.target;
        EXPECT_EQ(*found, c.line != 0) << c.target << " from " << c.sc;
        if (c.line != 0) {
            EXPECT_EQ(std::make_pair(sl, sc), std::make_pair(c.line, c.column)) << c.target;
            EXPECT_EQ(ec, c.column + static_cast<long>(std::string(c.target).size()));
        }
    }
    long sl = 1, sc = 1, el = 4, ec = -1;
    EXPECT_FALSE(m.Find("x", sl, sc, el, ec, false, false, true)); // no pattern search
}

TEST(CodeModule, ReadsShiftJisNamesCharacterByCharacter) {
    auto cp = trapline::Codepage::open("932");
    ASSERT_TRUE(cp);
    auto sjis = [&](const char* utf8) { return *cp->fromUtf8(utf8); };
    const std::string second = sjis("    表ソ = ア: ソ = 1");
    CodeModule m(sjis("Sub 表示()\r\n") + second + "\r\nEnd Sub\r\n" +
                     sjis("Sub ヂ()\r\nEnd Sub\r\n"),
                 cp->leadBytes());
    EXPECT_EQ(*m.ProcBodyLine(sjis("表示"), 0), 1);
    EXPECT_EQ(*m.ProcBodyLine(sjis("ヂ"), 0), 4);
    EXPECT_FALSE(m.ProcBodyLine(sjis("ア"), 0)); // ヂ but for the case of its second byte
    ASSERT_TRUE(m.InsertLines(6, sjis("Sub ソ()\r\nEnd Sub")));
    EXPECT_EQ(*m.ProcBodyLine(sjis("ソ"), 0), 6);

    // Never a match that starts on a second byte, nor one of another case there.
    const struct {
        std::string target;
        bool wholeWord;
        size_t at; ///< byte offset in line 2; npos: not found
    } cases[] = {
        {sjis("ソ"), true, second.find(sjis(": ソ")) + 2}, // after 表, ソ is no whole word
        {sjis("ソ"), false, second.find(sjis("ソ"))},
        {"\\", false, std::string::npos}, // only ever the second byte of 表 and ソ
        {"a", false, std::string::npos},  // ア ends in 'A'
    };
    for (const auto& c : cases) {
        long sl = 2, sc = 1, el = 2, ec = -1;
        auto found = m.Find(c.target, sl, sc, el, ec, c.wholeWord, false, false);
        ASSERT_TRUE(found);
        EXPECT_EQ(*found, c.at != std::string::npos) << c.target;
        if (*found) {
            EXPECT_EQ(sc, static_cast<long>(c.at) + 1) << c.target;
        }
    }
}

TEST(CodeModule, NumbersFileLinesAsAnEditorDoesWhateverWasInsertedSince) {
    CodeModule m(kClass);
    // After the six lines of the head, and past the Property Get's hidden attribute line.
    EXPECT_EQ(m.fileLines(),
              (std::vector<long>{7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}));
    EXPECT_EQ(m.fileLine(18), 25); // past the last line

    ASSERT_TRUE(m.InsertLines(6, "a\r\nb"));
    // A member's attribute stays right after its declaration.
    EXPECT_NE(m.serialize().find("As Long\r\nAttribute Value.VB_UserMemId = 0\r\na\r\nb\r\n"),
              std::string::npos);
    // An inserted line stands where the next one read does.
    EXPECT_EQ(m.fileLines(), (std::vector<long>{7, 8, 9, 10, 11, 13, 13, 13, 14, 15, 16, 17, 18, 19,
                                                20, 21, 22, 23, 24}));
    ASSERT_TRUE(m.InsertLines(m.CountOfLines() + 1, "z"));
    EXPECT_EQ(m.fileLine(m.CountOfLines()), 25);

    CodeModule open(std::string("Sub A()\r\nEnd Sub"));
    ASSERT_TRUE(open.InsertLines(3, "' tail"));
    EXPECT_EQ(open.fileLine(2), 2);
    EXPECT_EQ(open.fileLine(3), 3);
    EXPECT_EQ(open.fileLines(), (std::vector<long>{1, 2, 3})); // all at once, the same
}

TEST(CodeModule, KeepsAByteOrderMarkOutOfTheLinesAndFirstInTheFileAndInAChange) {
    using Edits = std::vector<std::pair<char, std::string>>;
    auto edits = [](const CodeModule& m) {
        Edits out;
        for (const auto& e : m.edits())
            out.emplace_back(e.op, std::string(e.text));
        return out;
    };
    const std::string bom = "\xEF\xBB\xBF";
    CodeModule withHead(bom + kClass);
    EXPECT_EQ(withHead.headName(), "CThing");
    EXPECT_EQ(*withHead.Lines(1, 1), "Option Explicit");
    EXPECT_EQ(withHead.fileLine(1), 7);
    for (const std::string& bytes :
         {bom + kClass, bom, bom + "Sub A()", bom + "Attribute VB_Name = \"M\""})
        EXPECT_EQ(CodeModule(bytes).serialize(), bytes);

    // Without a head the mark is still no part of the first line.
    CodeModule bare(bom + "Sub A()\r\nEnd Sub\r\n");
    EXPECT_EQ(*bare.Lines(1, 1), "Sub A()");
    EXPECT_EQ(bodyLine(bare, "A", 0), 1);
    ASSERT_TRUE(bare.InsertLines(2, "x = 1"));
    EXPECT_EQ(edits(bare),
              (Edits{{' ', bom + "Sub A()\r\n"}, {'+', "x = 1\r\n"}, {' ', "End Sub\r\n"}}));
    ASSERT_TRUE(bare.InsertLines(1, "' top"));
    EXPECT_EQ(bare.serialize(), bom + "' top\r\nSub A()\r\nx = 1\r\nEnd Sub\r\n");
    EXPECT_EQ(edits(bare), (Edits{{'+', bom + "' top\r\n"},
                                  {'-', bom + "Sub A()\r\n"},
                                  {'+', "Sub A()\r\n"},
                                  {'+', "x = 1\r\n"},
                                  {' ', "End Sub\r\n"}}));

    CodeModule onlyMark(bom);
    ASSERT_TRUE(onlyMark.AddFromString("Sub A()"));
    EXPECT_EQ(onlyMark.serialize(), bom + "Sub A()\r\n");
    EXPECT_EQ(edits(onlyMark), (Edits{{'-', bom}, {'+', bom + "Sub A()\r\n"}}));

    CodeModule openLine(bom + "Sub A()");
    ASSERT_TRUE(openLine.InsertLines(2, "End Sub"));
    EXPECT_EQ(openLine.serialize(), bom + "Sub A()\r\nEnd Sub");
    EXPECT_EQ(edits(openLine),
              (Edits{{'-', bom + "Sub A()"}, {'+', bom + "Sub A()"}, {'+', "End Sub"}}));
}

TEST(CodeModule, RefusesFilesWhoseLinesEndInACarriageReturnAloneOrThatAreBinary) {
    const std::pair<std::string, const char*> cases[] = {
        {"Sub A()\r\nEnd Sub\r\n", nullptr},
        {"Sub A()\nEnd Sub", nullptr},
        {"", nullptr},
        {"Attribute VB_Name = \"M\"\rSub A()\rEnd Sub\r", "uses CR line ends only"},
        {"Sub A(x, _\r\n  y)\r\r\nEnd Sub\r\n", "line 2 ends in a CR without LF"},
        {"End Sub\r", "CR"},
        {std::string("VERSION 5.00\r\n\0", 15), "binary file"},
    };
    for (const auto& [bytes, said] : cases) {
        auto usable = CodeModule::usable(bytes);
        ASSERT_EQ(usable.ok(), said == nullptr) << bytes;
        if (said) {
            EXPECT_EQ(usable.error().number, trapline::errors::BadFileFormat);
            EXPECT_NE(usable.error().description.find(said), std::string::npos)
                << usable.error().description;
        }
    }
}

TEST(CodeModule, ComesBackToAnEarlierStateAndNeverReusesARevisionOrTakesAnotherReadingsState) {
    // Undoing to the bytes read and to the saved ones is the code window's test.
    CodeModule m(kClass);
    const auto read = m.state();
    ASSERT_TRUE(m.InsertLines(13, "    Debug.Print 1"));
    const auto edited = m.state();
    m.markSaved();
    ASSERT_TRUE(m.restore(read));
    EXPECT_TRUE(m.modified());
    EXPECT_EQ(*m.ProcBodyLine("Reset", 0), 13);
    ASSERT_TRUE(m.restore(edited));
    EXPECT_FALSE(m.modified());
    ASSERT_TRUE(m.restore(read));
    // A change after coming back is a revision never seen before.
    ASSERT_TRUE(m.ReplaceLine(1, "Option Explicit "));
    EXPECT_NE(m.revision(), read.revision());
    EXPECT_NE(m.revision(), edited.revision());
    // Back where the file was read, the diff shows no change at all.
    ASSERT_TRUE(m.restore(m.originalState()));
    for (const auto& e : m.edits())
        EXPECT_EQ(e.op, ' ') << e.text;

    CodeModule again(kClass);
    ASSERT_TRUE(again.ReplaceLine(1, "x"));
    EXPECT_FALSE(again.restore(read));
    EXPECT_EQ(*again.Lines(1, 1), "x");
}

TEST(CodeModule, AnEditorsReplacementKeepsAttributesOfLinesItKeepsAndDropsThoseOfLinesItDeletes) {
    // Line 5 is the declaration carrying the hidden VB_UserMemId line; an
    // edit of it alone, or split and joined again, is the code window's test.
    // A declaration continued with " _" takes them after its last line, and
    // gives them back when joined again from there.
    CodeModule continued(kClass);
    ASSERT_TRUE(continued.replaceLines(5, 1, {"Public Property Get Value() _", "    As Long"}));
    EXPECT_NE(continued.serialize().find("_\r\n    As Long\r\nAttribute Value.VB_UserMemId"),
              std::string::npos);
    ASSERT_TRUE(continued.replaceLines(5, 2, {"Public Property Get Value() As Long"}));
    EXPECT_EQ(continued.serialize(), kClass);

    // Moved below another procedure (one edit, as a drag of the block is):
    // they follow the declaration to its new place.
    CodeModule moved(kClass);
    ASSERT_TRUE(moved.replaceLines(5, 7,
                                   {"Public Property Let Value(ByVal v As Long)", "    m_value = v",
                                    "End Property", "", "Public Property Get Value() As Long",
                                    "    Value = m_value", "End Property"}));
    const std::string m2 = moved.serialize();
    EXPECT_NE(m2.find("End Property\r\n\r\nPublic Property Get Value() As Long\r\n"
                      "Attribute Value.VB_UserMemId = 0\r\n    Value = m_value"),
              std::string::npos)
        << m2;
    EXPECT_EQ(m2.find("VB_UserMemId"), m2.rfind("VB_UserMemId"));
    EXPECT_EQ(*moved.ProcBodyLine("Value", 3), 9);

    // Deleting the whole property deletes its attribute with it.
    CodeModule gone(kClass);
    ASSERT_TRUE(gone.replaceLines(4, 5, {""}));
    EXPECT_EQ(gone.serialize().find("VB_UserMemId"), std::string::npos);
    EXPECT_FALSE(gone.ProcBodyLine("Value", 3));
    EXPECT_EQ(*gone.ProcBodyLine("Value", 1), 5);

    // The declarations section's last code line made a comment: the first
    // procedure now starts right after "Option Explicit", as on a fresh read.
    CodeModule shorter(kClass);
    ASSERT_TRUE(shorter.ReplaceLine(2, "' Private m_value As Long"));
    EXPECT_EQ(*shorter.ProcStartLine("Value", 3), 2);
    EXPECT_EQ(*CodeModule(shorter.serialize()).ProcStartLine("Value", 3), 2);

    CodeModule m(kClass);
    EXPECT_EQ(m.replaceLines(1, 1, {"a\r\nb"}).error().number, 5);
    EXPECT_EQ(m.replaceLines(1, 1, {std::string_view("a\0b", 3)}).error().number, 5);
    EXPECT_EQ(m.replaceLines(17, 2, {""}).error().number, 9);
    ASSERT_TRUE(m.replaceLines(m.CountOfLines() + 1, 0, {"' end"}));
    EXPECT_EQ(*m.Lines(m.CountOfLines(), 1), "' end");
}

TEST(CodeModule, CountsLinesAsTheCodeWindowShowsThemForAModuleWithoutAFileOfItsOwn) {
    CodeModule m(kClass);
    m.countWindowLines();
    // Head and the Property Get's attribute line left out: line n is line n.
    std::vector<long> shown(17);
    for (long n = 1; n <= 17; ++n)
        shown[static_cast<size_t>(n - 1)] = n;
    EXPECT_EQ(m.fileLines(), shown);
    EXPECT_EQ(m.fileLine(18), 18); // past the last line
    ASSERT_TRUE(m.InsertLines(6, "a\r\nb"));
    // Inserted lines stand where the next line read does, lines after them keep theirs.
    EXPECT_EQ(m.fileLine(6), 6);
    EXPECT_EQ(m.fileLine(7), 6);
    EXPECT_EQ(m.fileLine(8), 6);
    EXPECT_EQ(m.fileLine(9), 7);
    EXPECT_EQ(m.fileLine(m.CountOfLines()), 17);
}

TEST(CodeModule, FindsTextAtEveryPlaceOfALongLineAfterCandidatesThatFail) {
    // Eight bytes are looked at together: a match at each offset around
    // those groups, behind failing candidates of either case, is the first.
    for (size_t at = 0; at <= 20; ++at) {
        std::string text;
        for (size_t k = 0; k < at; ++k)
            text += k % 2 ? 'o' : 'O';
        const std::string line = text + "On ErroR x";
        CodeModule m("Sub A()\r\n" + line + "\r\n" + text + "On Erro\r\nEnd Sub\r\n");
        long sl = 1, sc = 1, el = 4, ec = -1;
        auto found = m.Find("on error", sl, sc, el, ec, false, false, false);
        ASSERT_TRUE(found && *found) << line;
        EXPECT_EQ(std::make_pair(sl, sc), std::make_pair(2L, static_cast<long>(at) + 1)) << line;
        // The cut-off copy on the next line is no match, up to its last byte.
        sl = 3, sc = 1, el = 3, ec = -1;
        found = m.Find("on error", sl, sc, el, ec, false, false, false);
        ASSERT_TRUE(found);
        EXPECT_FALSE(*found) << text;
    }
}

TEST(CodeModule, ReplacesLinesWithTheTextOfItsOwnLinesWhileItsBufferGrows) {
    // The new text and the kept attribute line are bytes the module holds;
    // they stay right as the buffer they lie in moves.
    CodeModule m(std::string(
        "Property Get V()\r\nAttribute V.VB_UserMemId = 0\r\nV = 1\r\nEnd Property\r\n"));
    std::string expected = "Property Get V()";
    for (int i = 0; i < 300; ++i) {
        expected += 'y';
        ASSERT_TRUE(m.ReplaceLine(1, std::string(m.line(1)) + "y"));
        ASSERT_TRUE(m.ReplaceLine(2, m.line(1)));
        ASSERT_TRUE(m.ReplaceLine(1, m.line(2)));
    }
    EXPECT_EQ(m.line(1), expected);
    EXPECT_EQ(m.line(2), expected);
    EXPECT_EQ(m.serialize(), expected + "\r\nAttribute V.VB_UserMemId = 0\r\n" + expected +
                                 "\r\nEnd Property\r\n");
}
