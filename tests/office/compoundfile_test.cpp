#include "office/compoundfile.h"
#include "office/compression.h"
#include "office/document.h"
#include "records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using namespace trapline::office;
using namespace officetest;

namespace {

/// A compound file of `streams` (paths with one storage level at most), as
/// the system's own writer makes one.
std::string compoundFile(const std::vector<std::pair<std::string, std::string>>& streams) {
    CompoundTree tree;
    tree.nodes[""] = CompoundTree::Node{true, std::string(16, '\0'), {}};
    for (const auto& [path, data] : streams) {
        if (const size_t slash = path.find('/'); slash != std::string::npos)
            tree.nodes[path.substr(0, slash)] = CompoundTree::Node{true, std::string(16, '\0'), {}};
        tree.nodes[path] = CompoundTree::Node{false, {}, data};
    }
    Outcome<std::string> bytes = CompoundFile::write(tree);
    EXPECT_TRUE(bytes) << bytes.failure().detail;
    return bytes ? *bytes : std::string();
}

std::string dirOf(const std::vector<std::pair<std::string, std::string>>& modules) {
    std::string out = record(0x01, u32(1)) + record(0x03, u16(1252)) + record(0x04, "P") +
                      record(0x0F, u16(static_cast<unsigned>(modules.size())));
    for (const auto& [name, stream] : modules)
        out += record(0x19, name) + record(0x1A, stream) + record(0x31, u32(0)) + u16(0x21) +
               u32(0) + u16(0x2B) + u32(0);
    return out + u16(0x10) + u32(0);
}

std::string packed(const std::string& text) {
    return *compress(text);
}

TEST(CompoundFile, ABareProjectReadsAndASignatureStreamRefusesIt) {
    const std::string source = "Attribute VB_Name = \"Tools\"\r\nSub Go()\r\nEnd Sub\r\n";
    std::vector<std::pair<std::string, std::string>> streams = {
        {"PROJECT", "Module=Tools\r\n"},
        {"VBA/dir", packed(dirOf({{"Tools", "Tools"}}))},
        {"VBA/Tools", packed(source)}};
    Outcome<Document> document = Document::read(compoundFile(streams));
    ASSERT_TRUE(document) << document.failure().detail;
    ASSERT_EQ(document->project().modules().size(), 1u);
    EXPECT_EQ(document->project().modules()[0].source, source);

    for (const char* name : {"\x05"
                             "DigitalSignature",
                             "\x05"
                             "DigitalSignatureAgile"}) {
        auto signedStreams = streams;
        signedStreams.emplace_back(name, "signature");
        Outcome<Document> refused = Document::read(compoundFile(signedStreams));
        ASSERT_FALSE(refused) << name + 1;
        EXPECT_EQ(refused.failure().problem, Problem::Signed);
    }
}

TEST(CompoundFile, BrokenProjectsAreRefusedNamingWhatIsWrong) {
    const std::string dir = packed(dirOf({{"A", "A"}}));
    struct Row {
        const char* what;
        std::vector<std::pair<std::string, std::string>> streams;
        Problem problem;
        const char* detail;
        size_t claimed = 0; ///< when set, the size module A's stream states
    };
    // Many modules that share one stream, each source near its limit.
    std::vector<std::pair<std::string, std::string>> many;
    for (int k = 0; k < 40; ++k)
        many.emplace_back("M" + std::to_string(k), "Shared");
    std::string bomb(1, '\x01');
    for (int k = 0; k < 8000; ++k) // 4,096 bytes from 6
        bomb += std::string("\x03\xB0\x02\x61\xFC\x0F", 6);
    const Row rows[] = {
        {"no PROJECT stream", {{"VBA/dir", dir}, {"VBA/A", packed("x")}}, Problem::NoProject, ""},
        {"no module stream",
         {{"PROJECT", "Module=A\r\n"}, {"VBA/dir", dir}, {"VBA/B", packed("x")}},
         Problem::Corrupt,
         "module A"},
        {"a dir that is not compressed",
         {{"PROJECT", "Module=A\r\n"}, {"VBA/dir", dirOf({{"A", "A"}})}, {"VBA/A", packed("x")}},
         Problem::Corrupt,
         "VBA/dir"},
        {"sources that together pass the project's bound",
         {{"PROJECT", ""}, {"VBA/dir", packed(dirOf(many))}, {"VBA/Shared", bomb}},
         Problem::TooLarge,
         "module M"},
        // libgsf leaves out an entry that claims more than the file holds
        // (the storage then lacks the stream); on Windows our own walk of the
        // sector tables names the stream. Either way it is named, unread.
        {"a module stream claiming gigabytes",
         {{"PROJECT", "Module=A\r\n"}, {"VBA/dir", dir}, {"VBA/A", packed("x")}},
         Problem::Corrupt,
         "VBA/",
         0xF0000000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::string bytes = compoundFile(row.streams);
        if (row.claimed) {
            // The directory entry of "A": its name, the name's size, a stream.
            const std::string entry = std::string("A\0", 2) + std::string(62, '\0') + "\x04\0\x02";
            const size_t at = bytes.find(entry);
            ASSERT_NE(at, std::string::npos);
            bytes.replace(at + 120, 4, u32(static_cast<uint32_t>(row.claimed)));
        }
        Outcome<Document> document = Document::read(bytes);
        ASSERT_FALSE(document);
        EXPECT_EQ(document.failure().problem, row.problem) << document.failure().detail;
        EXPECT_NE(document.failure().detail.find(row.detail), std::string::npos)
            << document.failure().detail;
    }
}

/// The little-endian number at `at` of `bytes`.
uint32_t le32At(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (size_t k = 4; k-- > 0;)
        v = v << 8 | static_cast<unsigned char>(bytes[at + k]);
    return v;
}

/// The directory entry named `name` of a 512-byte-sector file: its offset
/// in the file and its index in the directory, found by following the
/// directory's chain through the first allocation table sector.
std::pair<size_t, uint32_t> entryOf(const std::string& file, const std::string& name) {
    std::string key;
    for (const char c : name)
        key += std::string{c, '\0'};
    key += std::string(2, '\0');
    const size_t fat = (size_t{le32At(file, 0x4C)} + 1) * 512;
    uint32_t index = 0;
    for (uint32_t sector = le32At(file, 0x30); sector < 128;
         sector = le32At(file, fat + sector * 4))
        for (size_t at = (size_t{sector} + 1) * 512; at < (size_t{sector} + 2) * 512;
             at += 128, ++index)
            if (file.compare(at, key.size(), key) == 0)
                return {at, index};
    return {0, 0};
}

TEST(CompoundFile, BrokenSectorTablesAreRefusedWithoutFollowingThemForever) {
    const std::string file =
        compoundFile({{"PROJECT", "Module=A\r\n"}, {"VBA/dir", std::string(9000, 'd')}});
    ASSERT_EQ(file.size() % 512, 0u);
    const size_t fat = (size_t{le32At(file, 0x4C)} + 1) * 512;
    const uint32_t directorySector = le32At(file, 0x30);
    const auto [dir, dirIndex] = entryOf(file, "dir");
    ASSERT_NE(dir, 0u);
    const uint32_t dirStart = le32At(file, dir + 0x74);
    auto put = [](std::string bytes, size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            bytes[at + k] = static_cast<char>(v >> (8 * k) & 0xFF);
        return bytes;
    };
    struct Row {
        const char* what;
        std::string bytes;
        bool mayRead; // a reader may also read as far as the chain goes
    };
    const Row rows[] = {
        {"a directory chain that comes back to itself",
         put(file, fat + directorySector * 4, directorySector), true},
        {"a stream chain that comes back to itself", put(file, fat + dirStart * 4, dirStart),
         false},
        {"a directory entry that is its own sibling", put(file, dir + 0x48, dirIndex), true},
        {"a stream stating three gigabytes", put(file, dir + 0x78, 0xC0000000u), true},
        {"more allocation table sectors than the file has", put(file, 0x2C, 0x00FFFFFFu), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        // Opening or reading it whole fails (or reads what the file holds,
        // where the loop may pass for a chain's end); nothing hangs or
        // allocates what the file claims.
        Outcome<std::unique_ptr<CompoundFile>> opened = CompoundFile::open(row.bytes);
        Outcome<CompoundTree> tree =
            opened ? (*opened)->tree(size_t{1} << 24) : Outcome<CompoundTree>(opened.failure());
        if (tree && row.mayRead) {
            // libgsf passes over an entry it cannot take; what it gives is whole.
            const auto found = tree->nodes.find("VBA/dir");
            EXPECT_TRUE(found == tree->nodes.end() || found->second.data == std::string(9000, 'd'));
            continue;
        }
        ASSERT_FALSE(tree);
        EXPECT_TRUE(tree.failure().problem == Problem::Corrupt ||
                    tree.failure().problem == Problem::TooLarge)
            << problemName(tree.failure().problem) << ": " << tree.failure().detail;
    }
    // The file as written reads back whole.
    Outcome<std::unique_ptr<CompoundFile>> sound = CompoundFile::open(file);
    ASSERT_TRUE(sound) << sound.failure().detail;
    Outcome<std::string> data = (*sound)->read("VBA/dir", 1 << 20);
    ASSERT_TRUE(data) << data.failure().detail;
    EXPECT_EQ(*data, std::string(9000, 'd'));
}

} // namespace
