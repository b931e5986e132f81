// Feeds arbitrary bytes to the office library as a document, as a `dir`
// stream and as a compressed container, and checks what must hold for any
// input: no crash or read out of bounds (the sanitizers' part), bounded
// memory (libFuzzer's limit), every text that decompresses and every module
// source that reads comes back whole through compression, and a `dir`
// stream written with new text offsets reads back with just those changed.

#include "office/compression.h"
#include "office/dirstream.h"
#include "office/document.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace trapline::office;

[[noreturn]] void broken(const char* what, int line) {
    std::fprintf(stderr, "office_fuzzer.cpp:%d: broken at line %d: %s\n", line, line, what);
    std::abort();
}

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond))                                                                               \
            broken(#cond, __LINE__);                                                               \
    } while (0)

void roundTrips(const std::string& text) {
    Outcome<std::string> packed = compress(text);
    if (!packed) {
        CHECK(packed.failure().problem == Problem::Unencodable);
        return;
    }
    Outcome<std::string> back = decompress(*packed, text.size());
    CHECK(back);
    CHECK(*back == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    Outcome<std::string> text = decompress(bytes, 1 << 20);
    if (text)
        roundTrips(*text);

    Outcome<DirStream> dir = DirStream::parse(bytes);
    if (dir) {
        std::vector<uint32_t> offsets;
        for (size_t k = 0; k < dir->modules().size(); ++k)
            offsets.push_back(static_cast<uint32_t>(k * 7919));
        Outcome<DirStream> again = DirStream::parse(dir->withTextOffsets(offsets));
        CHECK(again);
        CHECK(again->modules().size() == dir->modules().size());
        for (size_t k = 0; k < offsets.size(); ++k) {
            CHECK(again->modules()[k].textOffset == offsets[k]);
            CHECK(again->modules()[k].name == dir->modules()[k].name);
        }
        Outcome<std::string> grown = dir->withModulesAdded(
            dir->withTextOffsets(offsets), {DirStream::standardModule("M", std::string("M\0", 2))});
        if (grown) {
            Outcome<DirStream> bigger = DirStream::parse(*grown);
            CHECK(bigger);
            CHECK(bigger->modules().size() == dir->modules().size() + 1);
        }
    }

    Outcome<Document> document = Document::read(bytes, {true});
    if (document) {
        for (const VbaModule& module : document->project().modules())
            roundTrips(module.source);
        // A write fails with a value or gives a document that reads back.
        Outcome<std::string> written =
            document->write({{}, {{"mdl_Error", "Sub A()\r\nEnd Sub\r\n"}}, true});
        if (written)
            CHECK(Document::read(*written));
    }
    return 0;
}
