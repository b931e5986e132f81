#include "dlgtext.h"

#include <gtest/gtest.h>

namespace {

constexpr char16_t kBad = 0xFFFD;

} // namespace

TEST(DlgText, EveryFormOfUtf8IsOneCharacterOrUnitsToItsEdgeAndAnythingElseEachByteBad) {
    const struct {
        const char* what;
        std::string utf8;
        std::u16string utf16;
    } rows[] = {
        {"nothing", "", u""},
        {"the last of ASCII", "\x7F", {0x7F}},
        {"the first of two bytes", "\xC2\x80", {0x80}},
        {"two bytes for ASCII", "\xC1\xBF", {kBad, kBad}},
        {"the last of two bytes", "\xDF\xBF", {0x7FF}},
        {"three bytes for two", "\xE0\x9F\xBF", {kBad, kBad, kBad}},
        {"the first of three bytes", "\xE0\xA0\x80", {0x800}},
        {"just below the surrogates", "\xED\x9F\xBF", {0xD7FF}},
        {"the first surrogate", "\xED\xA0\x80", {kBad, kBad, kBad}},
        {"the last surrogate", "\xED\xBF\xBF", {kBad, kBad, kBad}},
        {"just above the surrogates", "\xEE\x80\x80", {0xE000}},
        {"the last of three bytes", "\xEF\xBF\xBF", {0xFFFF}},
        {"four bytes for three", "\xF0\x8F\xBF\xBF", {kBad, kBad, kBad, kBad}},
        {"the first pair", "\xF0\x90\x80\x80", {0xD800, 0xDC00}},
        {"the last of Unicode", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        {"past Unicode", "\xF4\x90\x80\x80", {kBad, kBad, kBad, kBad}},
        {"cut short", "a\xE0\xA0", {'a', kBad, kBad}},
        {"a trail byte alone", "\x80z", {kBad, 'z'}},
        {"a five-byte lead", "\xF8\x88", {kBad, kBad}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(dlgtext::toUtf16(row.utf8), row.utf16);
        EXPECT_EQ(dlgtext::units(row.utf8), row.utf16.size());
        if (row.utf16.find(kBad) == std::u16string::npos) {
            EXPECT_EQ(dlgtext::fromUtf16(row.utf16), row.utf8);
        }
    }
    // Half a pair is no character on the way back either.
    EXPECT_EQ(dlgtext::fromUtf16(std::u16string{0xD800, u'x', 0xDC00}),
              "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(DlgText, ACutNeverSplitsACharacterAndPaddingCountsUnits) {
    const std::string text = "a\xF0\x9F\x98\x80\xD0\xB6"; // a, an emoji (two units), zhe
    const std::pair<size_t, std::string> cuts[] = {
        {0, ""}, {1, "a"}, {2, "a"}, {3, "a\xF0\x9F\x98\x80"}, {4, text}, {9, text}};
    for (const auto& [count, start] : cuts)
        EXPECT_EQ(dlgtext::left(text, count), start) << count;
    EXPECT_EQ(dlgtext::padded(text, 6), text + std::string(2, '\0'));
    EXPECT_EQ(dlgtext::padded(text, 3), text);
    EXPECT_EQ(dlgtext::cutAtNul(std::string("ab\0c", 4)), "ab");
}
