#include "codepage.h"

#include <gtest/gtest.h>

using trapline::Codepage;

TEST(Codepage, ConvertsWindows1251ByDefaultAndReportsWhatItCannotWrite) {
    Codepage cp;
    EXPECT_EQ(cp.toUtf8("\xc2\xf1\xf2\xe0\xe2\xeb\xe5\xed\xee"), "Вставлено");
    EXPECT_EQ(*cp.fromUtf8("Вставлено в "), "\xc2\xf1\xf2\xe0\xe2\xeb\xe5\xed\xee \xe2 ");
    // 0x80 is the first byte that is not ASCII: text holding no higher byte
    // must still be converted, not passed through as it is.
    EXPECT_EQ(cp.toUtf8("Log\x80"), "Log\u0402");
    EXPECT_EQ(cp.toUtf8("a\x98z"), "a\xEF\xBF\xBDz"); // undefined in the code page
    auto r = cp.fromUtf8("x = \"中\"");
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().description.find("中"), std::string::npos);
    EXPECT_FALSE(cp.fromUtf8("\xff bad utf-8"));
}

TEST(Codepage, OpensByNumberOrNameAndRejectsUnknownOnes) {
    EXPECT_EQ(Codepage::open("1252")->toUtf8("\xe9\x80"), "é\u20ac");
    EXPECT_TRUE(Codepage::open("65001"));
    // Unknown, or not ASCII-compatible and so no VB file's.
    for (const char* name : {"no-such-codepage", "", "UTF-16", "EBCDIC-US"})
        EXPECT_FALSE(Codepage::open(name)) << name;
}

TEST(Codepage, TakesForUtf8OnlyWhatIsWellFormed) {
    // Each limit from both sides: the last and first code points of a length,
    // the surrogates, U+10FFFF.
    for (const char* bytes : {"Мод \xF0\x9F\x98\x80", "\xC2\x80", "\xE0\xA0\x80", "\xED\x9F\xBF",
                              "\xEE\x80\x80", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"})
        EXPECT_TRUE(Codepage::isValidUtf8(bytes)) << bytes;
    // Windows-1251 "Бё", overlong forms, a surrogate, past U+10FFFF, cut short.
    for (const char* bytes : {"\xC1\xB8", "\xC0\xAF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",
                              "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xE2\x82"})
        EXPECT_FALSE(Codepage::isValidUtf8(bytes)) << bytes;
}

TEST(Codepage, KnowsTheLeadBytesOfEachDoubleByteCodePageUnderItsNames) {
    struct Case {
        const char* name;
        int lead;    ///< a lead byte, or 0 for a code page without
        int notLead; ///< a byte >= 0x80 that stands alone
    } cases[] = {
        {"932", 0x95, 0xB1},       {"CP932", 0xE0, 0xA0}, {"936", 0x81, 0x80},
        {"CP936", 0xFE, 0x80},     {"949", 0xC7, 0x80},   {"CP949", 0x81, 0xFF},
        {"950", 0xA4, 0x80},       {"CP950", 0xF9, 0xFF}, {"1251", 0, 0xE0},
        {"1252", 0, 0xE9},         {"65001", 0, 0xC3},
#ifndef _WIN32 // names only iconv knows
        {"SHIFT_JIS", 0x95, 0xB1}, {"GBK", 0x81, 0x80},   {"UHC", 0xC7, 0x80},
        {"BIG5", 0xA4, 0x80},      {"EUC-JP", 0, 0xA4},
#endif
    };
    for (const Case& c : cases) {
        auto cp = Codepage::open(c.name);
        ASSERT_TRUE(cp) << c.name;
        EXPECT_EQ(cp->isDoubleByte(), c.lead != 0) << c.name;
        if (!cp->isDoubleByte())
            continue;
        EXPECT_TRUE(cp->leadBytes()->is[c.lead]) << c.name;
        EXPECT_FALSE(cp->leadBytes()->is[c.notLead]) << c.name;
        EXPECT_FALSE(cp->leadBytes()->is['\\']) << c.name;
    }
    EXPECT_FALSE(Codepage().isDoubleByte());
}
