#include "handlerpattern.h"

#include "codemodule.h"
#include "unifieddiff.h"
#include "vbsyntax.h"

#include <gtest/gtest.h>

using trapline::CodeModule;
using trapline::Codepage;
using trapline::HandlerPattern;
using trapline::ProcInfo;

namespace {

ProcInfo entry(std::string module, std::string proc, int type, int kind = 0) {
    ProcInfo p;
    p.ModuleName = std::move(module);
    p.ProcName = std::move(proc);
    p.ProcType = type;
    p.ProcKind = kind;
    return p;
}

Codepage cp1251() {
    return *Codepage::open("1251");
}

} // namespace

TEST(CodeModuleEditing, DeletedLinesMoveTheProceduresBelowShowAsRemovedAndKeepFileLinesRight) {
    CodeModule m("Attribute VB_Name = \"M\"\r\nSub A()\r\nAttribute A.VB_UserMemId = 0\r\n"
                 "' one\r\n' two\r\nEnd Sub\r\nSub B()\r\nEnd Sub\r\n");
    ASSERT_TRUE(m.DeleteLines(2, 2));
    EXPECT_EQ(m.serialize(), "Attribute VB_Name = \"M\"\r\nSub A()\r\nAttribute A.VB_UserMemId = "
                             "0\r\nEnd Sub\r\nSub B()\r\nEnd Sub\r\n");
    EXPECT_EQ(*m.ProcBodyLine("B", 0), 3);
    EXPECT_EQ(*m.ProcCountLines("A", 0), 2);
    EXPECT_EQ(m.fileLine(3), 7); // B's declaration, as the file was read
    std::string diff = trapline::UnifiedDiff::of("m.bas", m.edits(), m.eol(), 0);
    EXPECT_NE(diff.find("-' one\r\n-' two\r\n End Sub"), std::string::npos) << diff;
    EXPECT_FALSE(m.DeleteLines(4, 2)); // past the end
    // Numbered all in one pass, past hidden and inserted lines, as one by one.
    ASSERT_TRUE(m.InsertLines(2, "' new"));
    std::vector<long> all = m.fileLines();
    ASSERT_EQ(all.size(), static_cast<size_t>(m.CountOfLines()));
    for (long line = 1; line <= m.CountOfLines(); ++line)
        EXPECT_EQ(all[static_cast<size_t>(line - 1)], m.fileLine(line)) << line;
}

TEST(CodeModuleEditing, AReplacedLineKeepsItsHiddenAttributesAndReadsAsRemovedThenAdded) {
    CodeModule m("Attribute VB_Name = \"M\"\r\nFunction F()\r\nAttribute F.VB_UserMemId = 0\r\n"
                 "    x = 1\r\nEnd Function\r\n");
    ASSERT_TRUE(m.ReplaceLine(1, "Function G()"));
    EXPECT_EQ(m.serialize(), "Attribute VB_Name = \"M\"\r\nFunction G()\r\n"
                             "Attribute F.VB_UserMemId = 0\r\n    x = 1\r\nEnd Function\r\n");
    EXPECT_TRUE(m.ProcBodyLine("G", 0)); // a declaration changed: the index follows
    std::string diff = trapline::UnifiedDiff::of("m.bas", m.edits(), m.eol(), 0);
    EXPECT_NE(diff.find("-Function F()\r\n-Attribute F.VB_UserMemId = 0\r\n+Function G()\r\n"),
              std::string::npos)
        << diff;
    // Deleting the declaration would take the member's attribute with it.
    EXPECT_FALSE(m.DeleteLines(1, 1));
    EXPECT_FALSE(m.ReplaceLine(2, "a\r\nb"));
}

TEST(HandlerPattern, FindsTheStandardHandlerUnderAnyOldNameAndRenamesOnlyTheNames) {
    CodeModule m("Attribute VB_Name = \"Renamed\"\r\nPublic Function Calc() As Long\r\n"
                 "'ON ERROR GOTO err_debug\r\n    Calc = 1\r\n'EXIT FUNCTION\r\n'err_debug:\r\n"
                 "'MyErrorHandler \"Old.Compute\"\r\nEnd Function\r\n");
    const ProcInfo calc = entry("Renamed", "Calc", 1);
    auto found = HandlerPattern::standard("'").find(m, calc, 0);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->presence, HandlerPattern::Presence::Complete);
    EXPECT_EQ(found->headerLine, 2);
    EXPECT_EQ(found->footerLine, 4);
    EXPECT_EQ(HandlerPattern::standard("'").renamed(*found, calc),
              (std::vector<std::string>{"'ON ERROR GOTO err_debug", "'EXIT FUNCTION",
                                        "'err_debug:", "'MyErrorHandler \"Renamed.Calc\""}));
    // The live form is another pattern: commented lines are not it.
    EXPECT_EQ(HandlerPattern::standard("").find(m, calc, 0)->presence,
              HandlerPattern::Presence::None);

    // An old name may carry a type suffix, which goes with the name.
    CodeModule pad("Attribute VB_Name = \"M\"\r\nFunction Pad$(s)\r\nON ERROR GOTO err_debug\r\n"
                   "EXIT FUNCTION\r\nerr_debug:\r\nMyErrorHandler \"M.Old$\"\r\nEnd Function\r\n");
    const ProcInfo padEntry = entry("M", "Pad", 1);
    auto suffixed = HandlerPattern::standard("").find(pad, padEntry, 0);
    ASSERT_TRUE(suffixed);
    ASSERT_EQ(suffixed->presence, HandlerPattern::Presence::Complete);
    EXPECT_EQ(suffixed->captures.back(), (std::vector<std::string>{"M", "Old$"}));
    EXPECT_EQ(HandlerPattern::standard("").renamed(*suffixed, padEntry).back(),
              "MyErrorHandler \"M.Pad\"");

    // Numbered handler lines, whatever the separator after the number, keep
    // their numbers; a bare number is no handler line.
    CodeModule numbered("Attribute VB_Name = \"M\"\r\nSub Go()\r\n10:ON ERROR GOTO err_debug\r\n"
                        "20\tEXIT SUB\r\nerr_debug:\r\n30 MyErrorHandler \"M.Old\"\r\nEnd Sub\r\n");
    const ProcInfo go = entry("M", "Go", 0);
    auto withNumbers = HandlerPattern::standard("").find(numbered, go, 0);
    ASSERT_TRUE(withNumbers);
    ASSERT_EQ(withNumbers->presence, HandlerPattern::Presence::Complete);
    EXPECT_EQ(HandlerPattern::standard("").renamed(*withNumbers, go),
              (std::vector<std::string>{"10:ON ERROR GOTO err_debug", "20\tEXIT SUB",
                                        "err_debug:", "30 MyErrorHandler \"M.Go\""}));
    // Only the footer, from the first line of the body on, is half a handler.
    CodeModule footerOnly("Attribute VB_Name = \"M\"\r\nSub Go()\r\nEXIT SUB\r\nerr_debug:\r\n"
                          "MyErrorHandler \"M.Go\"\r\nEnd Sub\r\n");
    EXPECT_EQ(HandlerPattern::standard("").find(footerOnly, go, 0)->presence,
              HandlerPattern::Presence::Partial);
}

TEST(HandlerPattern, TemplatePlaceholdersMatchAnyKeywordModuleOrDisplayName) {
    auto pattern = HandlerPattern::templates("On Error GoTo Fail\r\n",
                                             "Exit ???\r\nFail: Log \"#MODULE#.#PROC#\", \"???\"",
                                             "'", cp1251());
    ASSERT_TRUE(pattern);
    EXPECT_EQ(pattern->headerCount(), 1u);
    EXPECT_EQ(pattern->footerCount(), 2u);
    const ProcInfo let = entry("CNew", "Total (Let)", 2, 1);
    std::vector<std::string> captures;
    HandlerPattern::Line footer{
        {"'Fail: Log \"", ".", "\", \"", "\""},
        {HandlerPattern::Slot::Module, HandlerPattern::Slot::Proc, HandlerPattern::Slot::Keyword}};
    EXPECT_TRUE(HandlerPattern::matches(footer, "'Fail: Log \"COld.Sum (Get)\", \"Property\"", let,
                                        captures));
    EXPECT_EQ(captures, (std::vector<std::string>{"COld", "Sum (Get)", "Property"}));
    EXPECT_TRUE(HandlerPattern::matches(footer, "'Fail: Log \"COld.S (Get)\", \"Property\"", let,
                                        captures));
    EXPECT_EQ(captures[1], "S (Get)"); // a one-letter name keeps its kind
    EXPECT_FALSE(
        HandlerPattern::matches(footer, "'Fail: Log \"COld.Sum (Get)\", \"Class\"", let, captures));
    EXPECT_FALSE(
        HandlerPattern::matches(footer, "'Fail: Log \"C Old.Sum\", \"Sub\"", let, captures));
    // The current name always matches, even one no identifier could be.
    const ProcInfo spaced = entry("My Module", "Run", 0);
    EXPECT_TRUE(
        HandlerPattern::matches(footer, "'Fail: Log \"My Module.Run\", \"Sub\"", spaced, captures));

    // What an insertion writes: each slot filled with its own value.
    EXPECT_EQ(pattern->inserted(let, 2),
              (std::vector<std::string>{"'On Error GoTo Fail", "'Exit Property",
                                        "'Fail: Log \"CNew.Total (Let)\", \"Property\""}));
    EXPECT_EQ(HandlerPattern::standard("").inserted(let, 2),
              (std::vector<std::string>{"ON ERROR GOTO err_debug", "EXIT Property",
                                        "err_debug:", "MyErrorHandler \"CNew.Total\""}));

    // As the insertion puts it in: the prefix before an empty text is a line.
    EXPECT_EQ(HandlerPattern::templates("", "", "'", cp1251())->headerCount(), 1u);
    EXPECT_TRUE(HandlerPattern::templates("", "", "", cp1251())->empty());
    EXPECT_FALSE(HandlerPattern::templates("\xe2\x82\xac\xf0\x9f\x98\x80", "", "", cp1251()));
}

TEST(HandlerPattern, ANameSlotNeverEndsInTheMiddleOfADoubleByteCharacter) {
    // "表x" in Shift-JIS is 0x95 0x5C 'x': no name followed by "\x". In
    // Windows-1251 the same bytes are a one-letter name and "\x".
    const HandlerPattern::Line line{{"'", "\\x"}, {HandlerPattern::Slot::Proc}};
    std::vector<std::string> captures;
    for (auto [codepage, matches] : {std::pair{"932", false}, {"1251", true}}) {
        trapline::vb::CodepageScope scope(Codepage::open(codepage)->leadBytes());
        EXPECT_EQ(HandlerPattern::matches(line, "'\x95\x5Cx", entry("M", "Other", 0), captures),
                  matches)
            << codepage;
    }
}
