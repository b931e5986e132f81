#include "platform/textcodec.h"

#include <gtest/gtest.h>

namespace trapline::platform {
namespace {

TEST(PlatformTextCodec, CodePagesAreFoundByTheirUsualNamesInAnyCase) {
    for (const char* name : {"CP1251", "cp1252", "windows-1251", "WINDOWS-1252", "UTF-8", "utf8",
                             "ISO-8859-5", "KOI8-R", "koi8-u", "IBM866", "CP866"})
        EXPECT_NE(TextCodec::open(name), nullptr) << name;
    for (const char* name : {"no-such-code-page", "CP", "windows-"})
        EXPECT_EQ(TextCodec::open(name), nullptr) << name;
}

TEST(PlatformTextCodec, DecodingStopsAtTheFirstByteTheCodePageLeavesUndefined) {
    struct Case {
        const char* codePage;
        std::string bytes;
        size_t taken;
        std::string text;
    };
    const Case cases[] = {
        {"CP1251", "\xcf\xf0\xe8\x98\xe2", 3, "При"},
        {"CP1251", "\x88\xb9", 2, "€№"},
        {"CP1252",
         "ab\x81"
         "c",
         2, "ab"},
        {"CP1252", "\x8d", 0, ""},
        {"CP1252", "\x8f", 0, ""},
        {"CP1252", "\x90", 0, ""},
        {"CP1252", "\x9d", 0, ""},
        {"CP1252", "\x80\xe9", 2, "€é"},
        {"ISO-8859-1", "\x85\xe9", 2, "\xc2\x85é"}, // ISO 8859 defines its C1 controls
        {"KOI8-R", "\xf0\xd2\xc9", 3, "При"},
        {"CP866", "\x8f\xe0\xa8", 3, "При"},
        {"UTF-8", "ok\xc3\xa9\xc0\xafz", 4, "oké"}, // an overlong '/' is no character
        {"UTF-8", "\xed\xa0\x80", 0, ""},           // nor is a surrogate
        {"CP932", "a\x82\xa0\x82", 3, "aあ"},       // a lead byte without its trail
    };
    for (const Case& c : cases) {
        auto codec = TextCodec::open(c.codePage);
        ASSERT_NE(codec, nullptr) << c.codePage;
        std::string out;
        EXPECT_EQ(codec->decode(c.bytes, out), c.taken) << c.codePage << " " << c.text;
        EXPECT_EQ(out, c.text) << c.codePage;
    }
}

TEST(PlatformTextCodec, EncodingRefusesACharacterWithoutAnExactMapping) {
    struct Case {
        const char* codePage;
        std::string text;
        size_t taken;
        std::string bytes;
    };
    const Case cases[] = {
        {"CP1251", "Привет €", 16, "\xcf\xf0\xe8\xe2\xe5\xf2 \x88"},
        {"CP1252", "aāb", 1, "a"},   // no best fit to 'a'
        {"CP1252", "é∞", 2, "\xe9"}, // nor to '8'
        {"CP1251", "Ω", 0, ""},
        {"CP1252", "\xc2\x81", 0, ""}, // the hole stays a hole on the way back
        {"UTF-8", "ok\xff", 2, "ok"},
        {"CP932", "あ€", 3, "\x82\xa0"},
    };
    for (const Case& c : cases) {
        auto codec = TextCodec::open(c.codePage);
        ASSERT_NE(codec, nullptr) << c.codePage;
        std::string out;
        EXPECT_EQ(codec->encode(c.text, out), c.taken) << c.codePage << " " << c.text;
        EXPECT_EQ(out, c.bytes) << c.codePage << " " << c.text;
    }
}

} // namespace
} // namespace trapline::platform
