#include "json.h"

#include "codepage.h"

#include <gtest/gtest.h>

#include <string>

using trapline::cli::Json;
using trapline::cli::jsonText;

namespace {

TEST(JsonTextTest, WritesValidUtf8AsItselfAndEachIllFormedPartAsOneReplacementCharacter) {
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        // Valid text comes back as itself.
        {"\xD0\x9F\xD1\x80\xD0\xB8 \xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80",
         "\xD0\x9F\xD1\x80\xD0\xB8 \xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80"},
        {"a\"b\\c\nd\te", "a\"b\\c\nd\te"},
        // The Unicode Standard's own example (table 3-8).
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         "a" + r + r + r + "b" + r + "c" + r + r + "d"},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        const std::string json = jsonText(Json{{"Name", bytes}});
        ASSERT_TRUE(trapline::Codepage::isValidUtf8(json)) << json;
        EXPECT_EQ(Json::parse(json)["Name"], expected);
        // Written as UTF-8 itself, never as \u escapes.
        EXPECT_EQ(json.find("\\u"), std::string::npos) << json;
    }
}

} // namespace
