#include "json.h"

#include "codepage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>

using trapline::cli::Json;
using trapline::cli::jsonText;

namespace {

const std::string kFffd = "\xEF\xBF\xBD";

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

/// The text `bytes` stands for once written as JSON and read back, or
/// nothing when the written JSON is not valid UTF-8 or does not parse.
std::optional<std::string> roundTrip(const std::string& bytes) {
    const std::string json = jsonText(Json{{"Name", bytes}});
    if (!trapline::Codepage::isValidUtf8(json))
        return std::nullopt;
    const auto parsed = Json::parse(json, nullptr, false);
    if (parsed.is_discarded() || !parsed["Name"].is_string())
        return std::nullopt;
    return parsed["Name"].get<std::string>();
}

std::string asciiOnly(const std::string& s) {
    std::string out;
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x80)
            out += c;
    return out;
}

TEST(JsonTextTest, ValidUtf8IsWrittenAsItselfNotAsEscapes) {
    const std::string text = "\xD0\x9F\xD1\x80\xD0\xB8 \xF4\x8F\xBF\xBF"; // "При" U+10FFFF
    EXPECT_NE(jsonText(Json(text)).find(text), std::string::npos);
    EXPECT_EQ(roundTrip("a\"b\\c\nd\te\x01\x1f"), "a\"b\\c\nd\te\x01\x1f"); // escaped
}

TEST(JsonTextTest, EachMaximalIllFormedPartBecomesOneReplacementCharacter) {
    const std::string r = kFffd;
    const std::pair<std::string, std::string> cases[] = {
        // The Unicode Standard's own example (table 3-8).
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         "a" + r + r + r + "b" + r + "c" + r + r + "d"},
        // A Windows-1251 file name: every byte stands alone.
        {"\xCF\xF0\xE8\xE2\xE5\xF2.bas", r + r + r + r + r + r + ".bas"},
        // Overlong forms, surrogates and code points past U+10FFFF.
        {"\xC0\xAF", r + r},
        {"\xE0\x80\xAF", r + r + r},
        {"\xF0\x80\x80\xAF", r + r + r + r},
        {"\xED\xA0\x80", r + r + r},
        {"\xED\xBF\xBF", r + r + r},
        {"\xF4\x90\x80\x80", r + r + r + r},
        {"\xF5\xFE\xFF", r + r + r},
        // Sequences cut short keep the character after them.
        {"\xE2\x82", r},
        {"\xE2\x82\"", r + "\""},
        {"\xF0\x9F\x98x", r + "x"},
        {"\xC3\n", r + "\n"},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(roundTrip(bytes), expected) << testing::PrintToString(bytes);
}

TEST(JsonTextTest, AnyBytesGiveValidJsonThatKeepsEveryCharacterThatWasValid) {
    std::mt19937 random(20240501);
    std::uniform_int_distribution<int> length(0, 24), byte(0, 255), cpRange(0, 0x10FFFF);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        for (int n = length(random); n > 0; --n)
            bytes += static_cast<char>(byte(random));
        const std::optional<std::string> text = roundTrip(bytes);
        ASSERT_TRUE(text) << testing::PrintToString(bytes) << " gave "
                          << jsonText(Json{{"Name", bytes}});
        // An ill-formed part never swallows an ASCII character after it.
        ASSERT_EQ(asciiOnly(*text), asciiOnly(bytes)) << testing::PrintToString(bytes);

        // Text that is valid UTF-8 comes back exactly.
        std::string valid;
        for (int n = length(random); n > 0; --n) {
            const auto cp = static_cast<uint32_t>(n % 3 ? byte(random) % 0x80 : cpRange(random));
            if (cp < 0xD800 || cp > 0xDFFF)
                appendUtf8(valid, cp);
        }
        ASSERT_EQ(roundTrip(valid), valid) << testing::PrintToString(valid);
    }
}

} // namespace
