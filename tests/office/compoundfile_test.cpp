#include "office/compression.h"
#include "office/document.h"
#include "records.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using namespace trapline::office;
using namespace officetest;

namespace {

/// A compound file of `streams` (paths with one storage level at most), as
/// libgsf writes one.
std::string compoundFile(const std::vector<std::pair<std::string, std::string>>& streams) {
    GsfOutput* memory = gsf_output_memory_new();
    GsfOutfile* root = gsf_outfile_msole_new(memory);
    std::vector<std::pair<std::string, GsfOutfile*>> storages;
    for (const auto& [path, data] : streams) {
        GsfOutfile* parent = root;
        std::string name = path;
        if (const size_t slash = path.find('/'); slash != std::string::npos) {
            const std::string storage = path.substr(0, slash);
            name = path.substr(slash + 1);
            parent = nullptr;
            for (auto& [known, outfile] : storages)
                if (known == storage)
                    parent = outfile;
            if (!parent) {
                parent = GSF_OUTFILE(gsf_outfile_new_child(root, storage.c_str(), TRUE));
                storages.emplace_back(storage, parent);
            }
        }
        GsfOutput* stream = gsf_outfile_new_child(parent, name.c_str(), FALSE);
        gsf_output_write(stream, data.size(), reinterpret_cast<const guint8*>(data.data()));
        gsf_output_close(stream);
        g_object_unref(stream);
    }
    for (auto& [name, outfile] : storages) {
        gsf_output_close(GSF_OUTPUT(outfile));
        g_object_unref(outfile);
    }
    gsf_output_close(GSF_OUTPUT(root));
    g_object_unref(root);
    const std::string bytes(
        reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory))),
        static_cast<size_t>(gsf_output_size(memory)));
    g_object_unref(memory);
    return bytes;
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
        // libgsf leaves out an entry that claims more than the file holds:
        // the project's storage then reads as lacking its streams.
        {"a module stream claiming gigabytes",
         {{"PROJECT", "Module=A\r\n"}, {"VBA/dir", dir}, {"VBA/A", packed("x")}},
         Problem::Corrupt,
         "no entry VBA/",
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

} // namespace
