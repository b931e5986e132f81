#include "codeshape.h"

#include <gtest/gtest.h>

using trapline::dispatch::sameCode;

TEST(CodeShape, LineAsListedByTheIDEIsTheSameCodeOnlyWhereCaseAndSpacingChanged) {
    const struct {
        const wchar_t* written;
        const wchar_t* listed;
        bool same;
    } rows[] = {
        // Keywords and identifiers re-cased, spacing made even.
        {L"ON ERROR GOTO err_debug", L"On Error GoTo err_Debug", true},
        {L"  err.number=0", L"  Err.Number = 0", true},
        {L"x  =  a+b   ", L"x = a + b", true},
        {L"\tx = 1", L"    x = 1", true},
        {L"x = 1\t", L"x = 1", true},
        // Letters fold at each end of their ranges: Latin-1, Cyrillic А to Я, Ѐ to Џ.
        {L"\x0417\x043D\x0430\x0447 = 1", L"\x0437\x043D\x0430\x0447 = 1", true},
        {L"\x00C0\x00DE = 1", L"\x00E0\x00FE = 1", true},
        {L"x\x00D7y = 1", L"x\x00F7y = 1", false},
        {L"\x0410\x042F = 1", L"\x0430\x044F = 1", true},
        {L"\x0400\x040F = 1", L"\x0450\x045F = 1", true},
        {L"\x0430 = 1", L"\x0450 = 1", false},
        // Blanks that part two words are code.
        {L"Dim a As Long", L"Dim aAs Long", false},
        {L"GoTo e", L"GoToe", false},
        // Strings keep their case, their blanks and their "" quotes.
        {L"s = \"Error in  X\"", L"s = \"error in  X\"", false},
        {L"s = \"a  b\"", L"s = \"a b\"", false},
        {L"s = \"a\"\"B\"", L"S = \"a\"\"B\"", true},
        {L"s = \"a\"\"B\"", L"s = \"a\"\"b\"", false},
        {L"s = \"a \"\" b\" &  x", L"s = \"a \"\" b\" & X", true},
        {L"s = \"open", L"s = \"open\"", false},
        // A quote inside a string starts no comment.
        {L"s = \"it's\":  X=1", L"s = \"it's\": x = 1", true},
        {L"s = \"it's  A\"", L"s = \"it's A\"", false},
        // Comments keep their text, but not their trailing blanks.
        {L"x = 1 ' Note  THIS", L"x = 1    ' Note  THIS", true},
        {L"x = 1 ' Note  THIS", L"x = 1 ' note  THIS", false},
        {L"x = 1 ' Note  THIS", L"x = 1 ' Note THIS", false},
        {L"' trailing  \t", L"' trailing", true},
        {L"REM Note  THIS", L"Rem Note  THIS", true},
        {L"rem Note  THIS", L"Rem note  THIS", false},
        {L"x = 1: REM a  B", L"x = 1: Rem a  B", true},
        {L"Remark = 1", L"REMARK=1", true},
        // Any other difference, a character more or fewer, counts.
        {L"x = 1", L"x = 1#", false},
        {L"x = 1", L"", false},
        {L"", L"", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
        EXPECT_EQ(sameCode(row.written, row.listed), row.same);
        EXPECT_EQ(sameCode(row.listed, row.written), row.same);
    }
}
