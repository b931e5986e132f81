#include "office/compression.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

using namespace trapline::office;

namespace {

std::string hex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ' ';
    }
    return out;
}

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

/// Text in which no two bytes follow each other twice, so that the only
/// match a compressor can find is one the test plants.
std::string withoutRepeats(size_t size) {
    std::vector<std::vector<bool>> seen(256, std::vector<bool>(256));
    std::string out(1, '\0');
    while (out.size() < size) {
        const auto last = static_cast<unsigned char>(out.back());
        unsigned next = (last * 7 + 1) & 0xFF;
        while (seen[last][next])
            next = (next + 1) & 0xFF;
        seen[last][next] = true;
        out += static_cast<char>(next);
    }
    return out;
}

/// One chunk written by hand: literals, then one copy token whose offset
/// takes `offsetBits` bits, then nothing.
std::string chunkWithCopy(std::string_view literals, size_t offset, size_t length,
                          unsigned offsetBits) {
    std::string body;
    size_t tokens = 0;
    size_t flagAt = 0;
    auto nextToken = [&] {
        if (tokens++ % 8 == 0) {
            flagAt = body.size();
            body += '\0';
        }
    };
    for (char c : literals) {
        nextToken();
        body += c;
    }
    nextToken();
    body[flagAt] = static_cast<char>(body[flagAt] | 1 << ((tokens - 1) % 8));
    const auto token = static_cast<uint16_t>((offset - 1) << (16 - offsetBits) | (length - 3));
    body += static_cast<char>(token & 0xFF);
    body += static_cast<char>(token >> 8);
    const auto header = static_cast<uint16_t>(0xB000 | (body.size() + 2 - 3));
    return bytes({0x01, header & 0xFF, header >> 8}) + body;
}

std::string sourceText(size_t size) {
    const std::string lines = "Attribute VB_Name = \"Module1\"\r\nOption Explicit\r\n\r\n"
                              "Public Function Total(ByVal items As Collection) As Double\r\n"
                              "    Dim item As Variant\r\n    For Each item In items\r\n"
                              "        Total = Total + item.Amount * 1.2\r\n    Next item\r\n"
                              "End Function\r\n";
    std::string out;
    for (int n = 0; out.size() < size; ++n)
        out += lines + "' line " + std::to_string(n * 37 % 1001) + "\r\n";
    return out.substr(0, size);
}

std::string noise(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random() & 0xFF);
    return out;
}

/// The flag bit of each chunk's header, in order.
std::vector<bool> chunkFlags(std::string_view container) {
    std::vector<bool> flags;
    for (size_t pos = 1; pos + 2 <= container.size();) {
        const unsigned header = static_cast<unsigned char>(container[pos]) |
                                static_cast<unsigned char>(container[pos + 1]) << 8;
        flags.push_back((header & 0x8000) != 0);
        pos += (header & 0x0FFF) + 3;
    }
    return flags;
}

struct Example {
    const char* name;
    std::string text;
    std::string compressed;
};

// The published examples of the format: no match at all, a typical text,
// and one long run.
const Example kExamples[] = {
    {"NoCompression", "abcdefghijklmnopqrstuv.",
     bytes({0x01, 0x19, 0xB0, 0x00, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66,
            0x67, 0x68, 0x00, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
            0x70, 0x00, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x2E})},
    {"NormalCompression", "#aaabcdefaaaaghijaaaaaklaaamnopqaaaaaaaaaaaarstuvwxyzaaa",
     bytes({0x01, 0x2F, 0xB0, 0x00, 0x23, 0x61, 0x61, 0x61, 0x62, 0x63, 0x64, 0x65, 0x82,
            0x66, 0x00, 0x70, 0x61, 0x67, 0x68, 0x69, 0x6A, 0x01, 0x38, 0x08, 0x61, 0x6B,
            0x6C, 0x00, 0x20, 0x6D, 0x6E, 0x6F, 0x70, 0x06, 0x71, 0x02, 0x70, 0x04, 0x00,
            0x72, 0x73, 0x74, 0x75, 0x76, 0x10, 0x77, 0x78, 0x79, 0x7A, 0x00, 0x2C})},
    {"MaximumCompression", std::string(73, 'a'), bytes({0x01, 0x03, 0xB0, 0x02, 0x61, 0x45, 0x00})},
};

TEST(Compression, PublishedExamplesDecompressAndCompressToTheirBytes) {
    for (const Example& example : kExamples) {
        SCOPED_TRACE(example.name);
        Outcome<std::string> text = decompress(example.compressed, 1 << 20);
        ASSERT_TRUE(text) << text.failure().detail;
        EXPECT_EQ(*text, example.text);
        Outcome<std::string> packed = compress(example.text);
        ASSERT_TRUE(packed);
        EXPECT_EQ(hex(*packed), hex(example.compressed));
    }
}

TEST(Compression, TextsOfEverySizeAroundAChunkComeBackWhole) {
    struct Row {
        size_t size;
        bool source; // else incompressible noise
    };
    for (Row row : {Row{0, true}, Row{1, true}, Row{3, true}, Row{4095, true}, Row{4096, true},
                    Row{4097, true}, Row{8192, true}, Row{50000, true}, Row{4096, false},
                    Row{4097, false}, Row{8192 + 200, false}}) {
        SCOPED_TRACE(std::to_string(row.size) + (row.source ? " source" : " noise"));
        const std::string text = row.source ? sourceText(row.size) : noise(row.size, 7);
        Outcome<std::string> packed = compress(text);
        ASSERT_TRUE(packed) << packed.failure().detail;
        Outcome<std::string> back = decompress(*packed, text.size());
        ASSERT_TRUE(back) << back.failure().detail;
        EXPECT_TRUE(*back == text);
        const std::vector<bool> flags = chunkFlags(*packed);
        EXPECT_EQ(flags.size(), (text.size() + 4095) / 4096);
        for (size_t k = 0; k < flags.size(); ++k) {
            // Source text always compresses; noise is stored raw but for a
            // short last chunk, which still fits as literals.
            const bool lastAndShort = k + 1 == flags.size() && text.size() % 4096 != 0;
            EXPECT_EQ(flags[k], row.source || lastAndShort) << "chunk " << k;
        }
        if (row.source && row.size >= 4096) {
            EXPECT_LT(packed->size(), text.size() / 2);
        }
    }
}

TEST(Compression, ALastChunkThatWouldHaveToBeStoredRawIsRefused) {
    const std::string text = sourceText(4096) + noise(3800, 3);
    Outcome<std::string> packed = compress(text);
    ASSERT_FALSE(packed);
    EXPECT_EQ(packed.failure().problem, Problem::Unencodable);
    // A shorter noisy tail still fits as literals.
    ASSERT_TRUE(compress(sourceText(4096) + noise(3600, 3)));
}

TEST(Compression, CopyTokensTakeTheOffsetWidthTheirPositionAsks) {
    struct Row {
        size_t difference;
        unsigned offsetBits;
        size_t repeat; // bytes of the chunk's start said again
    };
    // Each width's first and last position, the longest length a width
    // allows, and the most literals one compressed chunk can hold.
    const Row rows[] = {{3, 4, 3},      {16, 4, 16},    {17, 5, 17},    {32, 5, 32},
                        {33, 6, 33},    {64, 6, 64},    {65, 7, 65},    {128, 7, 128},
                        {129, 8, 129},  {256, 8, 256},  {257, 9, 130},  {512, 9, 130},
                        {513, 10, 66},  {1024, 10, 66}, {1025, 11, 34}, {2048, 11, 34},
                        {2049, 12, 18}, {3630, 12, 18}};
    for (const Row& row : rows) {
        SCOPED_TRACE("difference " + std::to_string(row.difference));
        const std::string literals = withoutRepeats(row.difference);
        const std::string text = literals + literals.substr(0, row.repeat);
        const std::string handMade =
            chunkWithCopy(literals, row.difference, row.repeat, row.offsetBits);
        Outcome<std::string> back = decompress(handMade, 1 << 20);
        ASSERT_TRUE(back) << back.failure().detail;
        EXPECT_TRUE(*back == text);
        Outcome<std::string> packed = compress(text);
        ASSERT_TRUE(packed);
        EXPECT_EQ(hex(*packed), hex(handMade));
    }
}

TEST(Compression, AMatchLongerThanATokenHoldsTakesSeveralTokens) {
    const std::string literals = withoutRepeats(2049);
    const std::string text = literals + literals.substr(0, 40);
    Outcome<std::string> packed = compress(text);
    ASSERT_TRUE(packed);
    // 2049 literals in 257 flag groups, then 18 + 18 + 4 bytes in three
    // tokens of 12 offset bits.
    const std::string tail = packed->substr(packed->size() - 6);
    EXPECT_EQ(hex(tail), hex(bytes({0x0F, 0x80, 0x0F, 0x80, 0x01, 0x80})));
    Outcome<std::string> back = decompress(*packed, 1 << 20);
    ASSERT_TRUE(back);
    EXPECT_TRUE(*back == text);
}

TEST(Compression, BrokenOrHostileContainersAreRefusedByName) {
    struct Row {
        const char* what;
        std::string container;
        size_t limit;
        Problem problem;
    };
    std::string bomb(1, '\x01');
    for (int k = 0; k < 1000; ++k) // 5 bytes for every 4,096
        bomb += bytes({0x03, 0xB0, 0x02, 0x61, 0xFC, 0x0F});
    const Row rows[] = {
        {"empty", "", 100, Problem::Corrupt},
        {"wrong signature", bytes({0x02, 0x03, 0xB0, 0x02, 0x61, 0x45, 0x00}), 100,
         Problem::Corrupt},
        {"header cut short", bytes({0x01, 0x03}), 100, Problem::Corrupt},
        {"chunk cut short", bytes({0x01, 0x19, 0xB0, 0x00, 0x61, 0x62}), 100, Problem::Corrupt},
        {"header without its signature bits", bytes({0x01, 0x03, 0x80, 0x02, 0x61, 0x45, 0x00}),
         100, Problem::Corrupt},
        {"copy token cut short", bytes({0x01, 0x02, 0xB0, 0x02, 0x61, 0x45}), 100,
         Problem::Corrupt},
        {"copy token before any byte", bytes({0x01, 0x02, 0xB0, 0x01, 0x00, 0x00}), 100,
         Problem::Corrupt},
        {"copy token reaching before its chunk", bytes({0x01, 0x03, 0xB0, 0x02, 0x61, 0x00, 0x10}),
         100, Problem::Corrupt},
        {"copy past the chunk's 4096 bytes", bytes({0x01, 0x03, 0xB0, 0x02, 0x61, 0xFF, 0x0F}),
         1 << 20, Problem::Corrupt},
        {"raw chunk of the wrong size", bytes({0x01, 0x02, 0x30, 0x61, 0x62, 0x63}), 100,
         Problem::Corrupt},
        {"raw chunk cut short", bytes({0x01, 0xFF, 0x3F}) + std::string(100, 'x'), 1 << 20,
         Problem::Corrupt},
        {"one byte past the limit", bytes({0x01, 0x03, 0xB0, 0x02, 0x61, 0x45, 0x00}), 72,
         Problem::TooLarge},
        {"a bomb", bomb, 1 << 20, Problem::TooLarge},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Outcome<std::string> text = decompress(row.container, row.limit);
        ASSERT_FALSE(text);
        EXPECT_EQ(text.failure().problem, row.problem) << text.failure().detail;
    }
    EXPECT_TRUE(decompress(bytes({0x01, 0x03, 0xB0, 0x02, 0x61, 0x45, 0x00}), 73));
}

} // namespace
