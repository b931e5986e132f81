#include "office/textdecoding.h"

#include <gtest/gtest.h>

using namespace trapline::office;

TEST(TextDecoding, NamesComeFromUtf16WholeAtEveryLengthOfTheirUtf8AndBackAgain) {
    const struct {
        const char* what;
        std::string utf16le, utf8;
        bool roundTrip; ///< utf8ToUtf16 gives the UTF-16 back
    } rows[] = {
        {"U+007F, the last of one byte", std::string("\x7F\0", 2), "\x7F", true},
        {"U+0080, the first of two", std::string("\x80\0", 2), "\xC2\x80", true},
        {"U+07FF, the last of two", "\xFF\x07", "\xDF\xBF", true},
        {"U+0800, the first of three", std::string("\x00\x08", 2), "\xE0\xA0\x80", true},
        {"U+FFFF, the last of three", "\xFF\xFF", "\xEF\xBF\xBF", true},
        {"U+10000, a surrogate pair", std::string("\x00\xD8\x00\xDC", 4), "\xF0\x90\x80\x80", true},
        {"U+10FFFF, the last pair", "\xFF\xDB\xFF\xDF", "\xF4\x8F\xBF\xBF", true},
        {"a high surrogate alone",
         std::string("\x00\xD8"
                     "A\0",
                     4),
         "\xEF\xBF\xBD"
         "A",
         false},
        {"a low surrogate alone", std::string("\x00\xDC", 2), "\xEF\xBF\xBD", false},
        {"an odd last byte", std::string("A\0B", 3), "A\xEF\xBF\xBD", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(utf16ToUtf8(row.utf16le), row.utf8);
        if (row.roundTrip) {
            EXPECT_EQ(utf8ToUtf16(row.utf8), row.utf16le);
        }
    }
}
