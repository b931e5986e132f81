#include "office/dirstream.h"
#include "records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace trapline::office;
using namespace officetest;

namespace {

/// The records every project has before its references, as Office writes
/// them (PROJECTVERSION states 4 bytes and holds 6).
std::string information(unsigned codePage) {
    return record(0x01, u32(1)) + record(0x02, u32(0x409)) + record(0x14, u32(0x409)) +
           record(0x03, u16(codePage)) + record(0x04, "VBAProject") + record(0x05, "") +
           record(0x40, "") + record(0x06, "") + record(0x3D, "") + record(0x07, u32(0)) +
           record(0x08, u32(0)) + u16(0x09) + u32(4) + u32(1234) + u16(5) + record(0x0C, "") +
           record(0x3C, "");
}

std::string module(const std::string& name, bool unicode, uint32_t offset, unsigned type) {
    std::string out = record(0x19, name);
    if (unicode)
        out += record(0x47, std::string(name.size() * 2, 'x'));
    return out + record(0x1A, name) + record(0x32, std::string(name.size() * 2, 'y')) +
           record(0x1C, "") + record(0x48, "") + record(0x31, u32(offset)) + record(0x1E, u32(0)) +
           record(0x2C, u16(0xFFFF)) + u16(type) + u32(0) + u16(0x2B) + u32(0);
}

std::string modules(const std::vector<std::string>& each) {
    std::string out =
        record(0x0F, u16(static_cast<unsigned>(each.size()))) + record(0x13, u16(0xFFFF));
    for (const std::string& m : each)
        out += m;
    return out + u16(0x10) + u32(0);
}

TEST(DirStream, ReadsTheCodePageAndEachModuleThroughTheDeviationsOfRealFiles) {
    // A reference whose name lacks its Unicode half, a registered reference,
    // and a record no reader knows: all skipped by their sizes.
    const std::string references = record(0x16, "stdole") + record(0x0D, std::string(40, 'r')) +
                                   record(0x16, "Office") + record(0x3E, "O\0f\0") +
                                   record(0x0D, std::string(12, 'r')) + record(0x7777, "???");
    const std::string bytes =
        information(1251) + references +
        modules({module("Module1", false, 823, 0x21), module("Sheet1", true, 0x1234, 0x22)});
    Outcome<DirStream> dir = DirStream::parse(bytes);
    ASSERT_TRUE(dir) << dir.failure().detail;
    EXPECT_EQ(dir->codePage(), 1251);
    EXPECT_EQ(dir->projectName(), "VBAProject");
    ASSERT_EQ(dir->modules().size(), 2u);
    const DirModule& first = dir->modules()[0];
    EXPECT_EQ(first.name, "Module1");
    EXPECT_EQ(first.nameUnicode, "");
    EXPECT_EQ(first.streamName, "Module1");
    EXPECT_EQ(first.streamNameUnicode, std::string(14, 'y'));
    EXPECT_EQ(first.textOffset, 823u);
    EXPECT_EQ(first.type, ModuleType::Procedural);
    const DirModule& second = dir->modules()[1];
    EXPECT_EQ(second.nameUnicode, std::string(12, 'x'));
    EXPECT_EQ(second.textOffset, 0x1234u);
    EXPECT_EQ(second.type, ModuleType::Other);
}

TEST(DirStream, ANewTextOffsetChangesOnlyItsFourBytes) {
    const std::string bytes =
        information(1252) + modules({module("A", false, 700, 0x21), module("B", false, 900, 0x22)});
    Outcome<DirStream> dir = DirStream::parse(bytes);
    ASSERT_TRUE(dir);
    const std::string written = dir->withTextOffsets({0, 0x0A0B0C0D});
    ASSERT_EQ(written.size(), bytes.size());
    std::vector<size_t> changed;
    for (size_t k = 0; k < bytes.size(); ++k)
        if (bytes[k] != written[k])
            changed.push_back(k);
    const size_t a = bytes.find(record(0x31, u32(700))) + 6;
    const size_t b = bytes.find(record(0x31, u32(900))) + 6;
    EXPECT_EQ(changed, (std::vector<size_t>{a, a + 1, b, b + 1, b + 2, b + 3}));
    Outcome<DirStream> again = DirStream::parse(written);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->modules()[0].textOffset, 0u);
    EXPECT_EQ(again->modules()[1].textOffset, 0x0A0B0C0Du);
}

TEST(DirStream, BrokenStreamsAreRefused) {
    const std::string good = information(1252) + modules({module("A", false, 700, 0x21)});
    const std::string withoutOffset =
        information(1252) + modules({record(0x19, "A") + record(0x1A, "A") + u16(0x2B) + u32(0)});
    const std::string withoutStream =
        information(1252) +
        modules({record(0x19, "A") + record(0x31, u32(1)) + u16(0x2B) + u32(0)});
    struct Row {
        const char* what;
        std::string bytes;
    };
    const Row rows[] = {
        {"cut inside a record header", good.substr(0, good.size() - 9)},
        {"cut inside a record's data", good.substr(0, good.find("VBAProject") + 4)},
        {"a record claiming gigabytes", record(0x03, u16(1252)) + u16(0x04) + u32(0xFFFFFFF0)},
        {"no code page", record(0x04, "P") + modules({module("A", false, 700, 0x21)})},
        {"a module without its text offset", withoutOffset},
        {"a module without a stream name", withoutStream},
        {"a module without its end",
         information(1252) + record(0x19, "A") + record(0x1A, "A") + record(0x31, u32(1))},
        {"a text offset of the wrong size",
         information(1252) + modules({record(0x19, "A") + record(0x1A, "A") + record(0x31, u16(1)) +
                                      u16(0x2B) + u32(0)})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Outcome<DirStream> dir = DirStream::parse(row.bytes);
        ASSERT_FALSE(dir);
        EXPECT_EQ(dir.failure().problem, Problem::Corrupt);
    }
    EXPECT_TRUE(DirStream::parse(good));
}

TEST(DirStream, AddedModulesGoBeforeTheTerminatorAndTheirCountNeverWrapsPast65535) {
    // A project stating 65,534 modules: one more fits, two would wrap the count to 0.
    auto dirOf = [](unsigned count, const std::string& added) {
        return information(1252) + record(0x0F, u16(count)) + record(0x13, u16(0xFFFF)) +
               module("A", false, 0, 0x21) + added + u16(0x10) + u32(0);
    };
    const std::string bytes = dirOf(0xFFFE, "");
    Outcome<DirStream> dir = DirStream::parse(bytes);
    ASSERT_TRUE(dir) << dir.failure().detail;
    const std::string added = DirStream::standardModule("B", std::string("B\0", 2));
    Outcome<std::string> one = dir->withModulesAdded(bytes, {added});
    ASSERT_TRUE(one) << one.failure().detail;
    EXPECT_EQ(*one, dirOf(0xFFFF, added));
    Outcome<std::string> two = dir->withModulesAdded(bytes, {added, added});
    ASSERT_FALSE(two);
    EXPECT_EQ(two.failure().problem, Problem::TooLarge);
}

} // namespace
