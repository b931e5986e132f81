#include "../support/tempdir.h"
#include "office/compression.h"
#include "office/dirstream.h"
#include "office/document.h"
#include "office/zippackage.h"
#include "records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>

using namespace trapline::office;
using namespace officetest;

namespace {

/// Every stream and storage of a compound file: "path" -> bytes, and
/// "path/" -> a storage's class id.
void walkCompound(const std::string& bytes, const std::string& prefix,
                  std::map<std::string, std::string>& out) {
    Outcome<std::unique_ptr<CompoundFile>> file = CompoundFile::open(bytes);
    ASSERT_TRUE(file) << file.failure().detail;
    Outcome<CompoundTree> tree = (*file)->tree(1 << 30);
    ASSERT_TRUE(tree) << tree.failure().detail;
    for (const auto& [path, node] : tree->nodes)
        out[prefix + path + (node.isStorage ? "/" : "")] =
            node.isStorage ? node.classId : node.data;
}

/// Every part of a document: a zip's entries (a compound file inside one
/// walked as well, under "part!"), or a compound file's streams.
std::map<std::string, std::string> walk(const std::string& bytes) {
    std::map<std::string, std::string> out;
    Outcome<std::unique_ptr<ZipPackage>> zip = ZipPackage::open(bytes);
    if (!zip) {
        walkCompound(bytes, "", out);
        return out;
    }
    for (const std::string& name : (*zip)->names()) {
        Outcome<std::string> part = (*zip)->read(name, 1 << 30);
        EXPECT_TRUE(part) << name;
        if (part->compare(0, 4, "\xD0\xCF\x11\xE0") == 0)
            walkCompound(*part, name + "!", out);
        else
            out[name] = *part;
    }
    return out;
}

std::string lastLineEnd(const std::string& text) {
    const size_t lf = text.rfind('\n');
    return lf != std::string::npos && lf > 0 && text[lf - 1] == '\r' ? "\r\n"
           : lf != std::string::npos                                 ? "\n"
                                                                     : "\r\n";
}

/// The project storage's prefix in a walk: "…vbaProject.bin!" or "Macros/".
std::string projectPrefix(const Document& document) {
    if (document.container() == Container::Package)
        return document.projectPart() + "!";
    return document.projectStorage().empty() ? "" : document.projectStorage() + "/";
}

const char* const kReadable[] = {
    "vbaweb_Example.xlsm",       "xlwings_engines_mac.xlsm", "calamine_issue281.xlsm",
    "calamine_issues.xlsb",      "calamine_any_sheets.xls",  "tika_testWORD_macros.doc",
    "tika_testWORD_macros.docm", "tika_testPPT_macros.pptm", "xlwings_quickstart_addin.xlam",
    "xlsxwriter_vbaProject.bin",
};

TEST(DocumentWriter, OneChangedModuleAndEverythingElseAsItWasButTheCompiledState) {
    for (const char* file : kReadable) {
        SCOPED_TRACE(file);
        const std::string original = TempDir::read(sample(file));
        Outcome<Document> document = Document::read(original);
        ASSERT_TRUE(document) << document.failure().detail;
        const std::vector<VbaModule>& modules = document->project().modules();
        const size_t changed = modules.size() - 1; // the last: a boundary of every list
        const std::string text =
            modules[changed].source + "' changed" + lastLineEnd(modules[changed].source);
        Outcome<std::string> written = document->write({{{changed, text}}, {}, false});
        ASSERT_TRUE(written) << written.failure().detail;

        Outcome<Document> back = Document::read(*written);
        ASSERT_TRUE(back) << back.failure().detail;
        ASSERT_EQ(back->project().modules().size(), modules.size());
        for (size_t k = 0; k < modules.size(); ++k) {
            const VbaModule& module = back->project().modules()[k];
            EXPECT_TRUE(module.source == (k == changed ? text : modules[k].source)) << k;
            EXPECT_EQ(module.textOffset, 0u) << k;
        }

        // Every other stream, part and class id keeps its bytes.
        const std::string project = projectPrefix(*document);
        std::map<std::string, std::string> before = walk(original);
        std::map<std::string, std::string> after = walk(*written);
        ASSERT_GT(before.size(), modules.size() + 4);
        std::set<std::string> rewritten{project + "VBA/dir", project + "VBA/_VBA_PROJECT"};
        for (const VbaModule& module : modules)
            rewritten.insert(project + "VBA/" + module.streamName);
        for (const auto& [path, bytes] : before) {
            if (rewritten.count(path) || path.find("VBA/__SRP_") != std::string::npos)
                continue;
            ASSERT_TRUE(after.count(path)) << path;
            EXPECT_TRUE(after[path] == bytes) << path;
        }
        for (const auto& [path, bytes] : after) {
            EXPECT_EQ(path.find("__SRP_"), std::string::npos) << path;
            EXPECT_TRUE(before.count(path)) << path;
        }
        // _VBA_PROJECT holds no cache; its two reserved bytes stay.
        const std::string& oldState = before[project + "VBA/_VBA_PROJECT"];
        EXPECT_EQ(after[project + "VBA/_VBA_PROJECT"],
                  std::string("\xCC\x61\xFF\xFF\x00", 5) + oldState.substr(5, 2));
        // Each module stream is its compressed source and nothing else.
        for (size_t k = 0; k < modules.size(); ++k) {
            Outcome<std::string> whole =
                decompress(after[project + "VBA/" + modules[k].streamName], 1 << 30);
            ASSERT_TRUE(whole) << k;
            EXPECT_TRUE(*whole == back->project().modules()[k].source) << k;
        }
        // In dir only the text offsets differ.
        const std::vector<DirRecord>& oldRecords = document->project().dir().records();
        const std::vector<DirRecord>& newRecords = back->project().dir().records();
        ASSERT_EQ(newRecords.size(), oldRecords.size());
        for (size_t k = 0; k < oldRecords.size(); ++k) {
            EXPECT_EQ(newRecords[k].id, oldRecords[k].id) << k;
            EXPECT_TRUE(newRecords[k].data ==
                        (oldRecords[k].id == 0x0031 ? std::string(4, '\0') : oldRecords[k].data))
                << k;
        }
    }
}

} // namespace

namespace {

std::string utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii)
        out += c, out += '\0';
    return out;
}

TEST(DocumentWriter, AnAddedModuleHasItsStreamDirRecordsProjectLineAndNameMapEntry) {
    struct Row {
        const char* file;
        std::string name;      // code page bytes
        std::string nameUtf16; // what MODULENAMEUNICODE must hold
    };
    const Row rows[] = {
        {"calamine_issue281.xlsm", "mdl_Error", utf16("mdl_Error")},
        // Windows-1251 "Ошибки": the Unicode half is converted, not copied.
        {"calamine_any_sheets.xls", "\xCE\xF8\xE8\xE1\xEA\xE8",
         "\x1E\x04\x48\x04\x38\x04\x31\x04\x3A\x04\x38\x04"},
        {"tika_testWORD_macros.doc", "mdl_Error", utf16("mdl_Error")},
        {"xlsxwriter_vbaProject.bin", "A", utf16("A")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const std::string original = TempDir::read(sample(row.file));
        Outcome<Document> document = Document::read(original);
        ASSERT_TRUE(document);
        const std::string source =
            "Attribute VB_Name = \"" + row.name + "\"\r\nSub Trap()\r\nEnd Sub\r\n";
        Outcome<std::string> written = document->write({{}, {{row.name, source}}, false});
        ASSERT_TRUE(written) << written.failure().detail;
        Outcome<Document> back = Document::read(*written);
        ASSERT_TRUE(back);

        const size_t count = document->project().modules().size();
        ASSERT_EQ(back->project().modules().size(), count + 1);
        const VbaModule& added = back->project().modules().back();
        EXPECT_EQ(added.source, source);
        EXPECT_EQ(added.kind, ModuleKind::Standard);
        const DirModule& entry = back->project().dir().modules().back();
        EXPECT_EQ(entry.name, row.name);
        EXPECT_EQ(entry.streamName, row.name);
        EXPECT_EQ(entry.nameUnicode, row.nameUtf16);
        EXPECT_EQ(entry.streamNameUnicode, row.nameUtf16);
        EXPECT_EQ(entry.type, ModuleType::Procedural);
        EXPECT_EQ(entry.textOffset, 0u);
        for (const DirRecord& record : back->project().dir().records()) {
            if (record.id == 0x000F) { // PROJECTMODULES
                EXPECT_EQ(static_cast<unsigned char>(record.data[0]) |
                              static_cast<unsigned char>(record.data[1]) << 8,
                          static_cast<int>(count + 1));
            }
        }

        const std::string project = projectPrefix(*document);
        std::map<std::string, std::string> before = walk(original);
        std::map<std::string, std::string> after = walk(*written);
        // PROJECT: one line more, among the module lines, before any section.
        const std::string& text = after[project + "PROJECT"];
        const std::string line = "Module=" + row.name + "\r\n";
        const size_t at = text.find(line);
        ASSERT_NE(at, std::string::npos);
        EXPECT_LT(at, text.find('['));
        // Right after the last line that names a module, the project's ID
        // still first.
        auto namesModule = [](std::string_view l) {
            for (std::string_view key :
                 {"Module=", "Class=", "Document=", "BaseClass=", "Package="})
                if (l.starts_with(key))
                    return true;
            return false;
        };
        ASSERT_GT(at, 0u);
        const size_t previous = text.rfind('\n', at - 2);
        EXPECT_TRUE(namesModule(
            std::string_view(text).substr(previous == std::string::npos ? 0 : previous + 1)));
        EXPECT_FALSE(namesModule(std::string_view(text).substr(at + line.size())));
        EXPECT_TRUE(text.starts_with("ID=")) << text;
        EXPECT_EQ(text.substr(0, at) + text.substr(at + line.size()), before[project + "PROJECT"]);
        // PROJECTwm: the entry right before the terminator.
        const std::string& map = before[project + "PROJECTwm"];
        EXPECT_EQ(after[project + "PROJECTwm"], map.substr(0, map.size() - 2) + row.name +
                                                    std::string(1, '\0') + row.nameUtf16 +
                                                    std::string(4, '\0'));
    }
}

TEST(DocumentWriter, ANewModuleNameThatIsTakenOrNoNameIsRefused) {
    Outcome<Document> document = Document::open(sample("xlsxwriter_vbaProject.bin"));
    ASSERT_TRUE(document);
    const std::string ok = "Attribute VB_Name = \"X\"\r\n";
    struct Row {
        std::vector<NewModule> added;
        const char* detail;
    };
    const Row rows[] = {
        {{{"module1", ok}}, "already there"},          // a module, in another case
        {{{"Sheet1", ok}}, "already there"},           // a document module
        {{{"dir", ok}}, "already there"},              // a stream of the project
        {{{"New", ok}, {"NEW", ok}}, "already there"}, // twice in one edit
        {{{"", ok}}, "cannot name"},
        {{{"1st", ok}}, "cannot name"},
        {{{"_x", ok}}, "cannot name"},
        {{{"a b", ok}}, "cannot name"},
        {{{std::string(32, 'a'), ok}}, "cannot name"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.added.back().name);
        Outcome<std::string> written = document->write({{}, row.added, false});
        ASSERT_FALSE(written);
        EXPECT_EQ(written.failure().problem, Problem::Unencodable);
        EXPECT_NE(written.failure().detail.find(row.detail), std::string::npos)
            << written.failure().detail;
    }
    // The longest name a module may have is taken as it is.
    EXPECT_TRUE(document->write({{}, {{std::string(31, 'a'), ok}}, false}));
}

TEST(DocumentWriter, ASignedProjectIsWrittenOnlyWithoutItsSignature) {
    const std::string signedBook = TempDir::read(sample("xlsxwriter_macro04_signed.xlsm"));
    // Part names are compared without case: the signature part renamed in
    // capitals (in the zip's two name fields) is the same part.
    std::string shouting = signedBook;
    for (size_t at = 0; (at = shouting.find("vbaProjectSignature.bin", at)) != std::string::npos;)
        shouting.replace(at, 23, "VBAPROJECTSIGNATURE.bin");
    ASSERT_NE(shouting, signedBook);
    for (const std::string& original : {signedBook, shouting}) {
        EXPECT_EQ(Document::read(original).failure().problem, Problem::Signed);
        Outcome<Document> document = Document::read(original, {true});
        ASSERT_TRUE(document) << document.failure().detail;
        EXPECT_TRUE(document->isSigned());
        Outcome<std::string> kept = document->write({});
        ASSERT_FALSE(kept);
        EXPECT_EQ(kept.failure().problem, Problem::Signed);

        Outcome<std::string> written = document->write({{}, {}, true});
        ASSERT_TRUE(written) << written.failure().detail;
        Outcome<Document> back = Document::read(*written); // signed ones are refused
        ASSERT_TRUE(back) << back.failure().detail;
        EXPECT_FALSE(back->isSigned());
        std::map<std::string, std::string> before = walk(original);
        std::map<std::string, std::string> after = walk(*written);
        auto isSignature = [](std::string path) {
            std::transform(path.begin(), path.end(), path.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return path.find("signature") != std::string::npos;
        };
        for (const auto& [path, bytes] : after)
            EXPECT_FALSE(isSignature(path)) << path;
        // The override goes, and the relationships that held only the signature.
        std::string types = before["[Content_Types].xml"];
        const std::string override =
            "<Override PartName=\"/xl/vbaProjectSignature.bin\" "
            "ContentType=\"application/vnd.ms-office.vbaProjectSignature\"/>";
        ASSERT_NE(types.find(override), std::string::npos);
        types.erase(types.find(override), override.size());
        EXPECT_EQ(after["[Content_Types].xml"], types);
        EXPECT_FALSE(after.count("xl/_rels/vbaProject.bin.rels"));
        for (const auto& [path, bytes] : before) {
            if (isSignature(path) || path == "[Content_Types].xml" ||
                path == "xl/_rels/vbaProject.bin.rels" || path.rfind("xl/vbaProject.bin!", 0) == 0)
                continue;
            EXPECT_TRUE(after.count(path) && after[path] == bytes) << path;
        }
    }
}

TEST(DocumentWriter, SignatureStreamsGoWhereverTheReaderLooksForThem) {
    // At the root of a bare project, and in the project's storage of a
    // binary document.
    for (const char* file : {"xlsxwriter_vbaProject.bin", "tika_testWORD_macros.doc"}) {
        SCOPED_TRACE(file);
        const std::string original = TempDir::read(sample(file));
        Outcome<std::unique_ptr<CompoundFile>> compound = CompoundFile::open(original);
        ASSERT_TRUE(compound);
        Outcome<CompoundTree> tree = (*compound)->tree(1 << 24);
        ASSERT_TRUE(tree);
        size_t kept = 0; // all but the compiled state's __SRP_ streams
        for (const auto& [path, node] : tree->nodes)
            kept += path.find("__SRP_") == std::string::npos;
        const std::string storage = Document::read(original)->projectStorage();
        for (const char* name : {"DigitalSignature", "DigitalSignatureAgile", "DigitalSignatureEx"})
            tree->nodes[(storage.empty() ? "" : storage + "/") + "\x05" + name] = {
                false, {}, "sig"};
        Outcome<std::string> signedBytes = CompoundFile::write(*tree);
        ASSERT_TRUE(signedBytes);
        EXPECT_EQ(Document::read(*signedBytes).failure().problem, Problem::Signed);
        Outcome<Document> document = Document::read(*signedBytes, {true});
        ASSERT_TRUE(document);
        EXPECT_EQ(document->write({}).failure().problem, Problem::Signed);
        Outcome<std::string> written = document->write({{}, {}, true});
        ASSERT_TRUE(written) << written.failure().detail;
        std::map<std::string, std::string> after = walk(*written);
        EXPECT_EQ(after.size(), kept);
        for (const auto& [path, bytes] : after)
            EXPECT_EQ(path.find("Signature"), std::string::npos) << path;
    }
}

TEST(DocumentWriter, ModulesSharingOneStreamAreRefusedNotOverwritten) {
    Outcome<std::unique_ptr<CompoundFile>> file =
        CompoundFile::open(TempDir::read(sample("xlsxwriter_vbaProject.bin")));
    ASSERT_TRUE(file);
    Outcome<CompoundTree> tree = (*file)->tree(1 << 24);
    ASSERT_TRUE(tree);
    Outcome<std::string> dirText = decompress(tree->nodes["VBA/dir"].data, 1 << 20);
    ASSERT_TRUE(dirText);
    Outcome<DirStream> dir = DirStream::parse(*dirText);
    ASSERT_TRUE(dir);
    // The second module's stream names and offset become the first's.
    std::string rebuilt;
    int streamNames = 0;
    std::string first, firstUnicode, firstOffset;
    for (const DirRecord& record : dir->records()) {
        std::string data = record.data;
        if (record.id == 0x001A && streamNames++ == 0)
            first = data;
        else if (record.id == 0x001A)
            data = first;
        if (record.id == 0x0032 && firstUnicode.empty())
            firstUnicode = data;
        else if (record.id == 0x0032)
            data = firstUnicode;
        if (record.id == 0x0031 && firstOffset.empty())
            firstOffset = data;
        else if (record.id == 0x0031)
            data = firstOffset;
        // PROJECTVERSION states 4 bytes and holds 6.
        rebuilt +=
            record.id == 0x0009 ? u16(0x0009) + u32(4) + data : officetest::record(record.id, data);
    }
    tree->nodes["VBA/dir"].data = *compress(rebuilt);
    Outcome<Document> document = Document::read(*CompoundFile::write(*tree));
    ASSERT_TRUE(document) << document.failure().detail;
    Outcome<std::string> written = document->write({});
    ASSERT_FALSE(written);
    EXPECT_EQ(written.failure().problem, Problem::Corrupt);
    EXPECT_NE(written.failure().detail.find("another's"), std::string::npos);
}

TEST(DocumentWriter, EditsPastWhatAProjectHoldsAreRefused) {
    Outcome<Document> document = Document::open(sample("xlsxwriter_vbaProject.bin"));
    ASSERT_TRUE(document);
    const size_t count = document->project().modules().size();
    struct Row {
        DocumentEdit edit;
        Problem problem;
    };
    const Row rows[] = {
        {{{{count, "x"}}, {}, false}, Problem::Corrupt}, // one past the last module
        {{{{0, std::string(VbaProject::kSourceLimit + 1, 'x')}}, {}, false}, Problem::TooLarge},
        {{{}, {{"Big", std::string(VbaProject::kSourceLimit + 1, 'x')}}, false}, Problem::TooLarge},
    };
    for (const Row& row : rows) {
        Outcome<std::string> written = document->write(row.edit);
        ASSERT_FALSE(written);
        EXPECT_EQ(written.failure().problem, row.problem) << written.failure().detail;
    }
    // The last module, and an empty edit: a purge and nothing else.
    EXPECT_TRUE(document->write({{{count - 1, "x"}}, {}, false}));
    EXPECT_TRUE(document->write({}));
}

} // namespace

namespace {

TEST(DocumentWriter, ACompoundFileIsWrittenWithItsClassIdsSectorSizeAndEmptyParts) {
    for (uint32_t sectorSize : {512u, 4096u}) {
        SCOPED_TRACE(sectorSize);
        CompoundTree tree;
        tree.sectorSize = sectorSize;
        const std::string rootId = "0123456789abcdef", storageId = "fedcba9876543210";
        tree.nodes[""] = {true, rootId, {}};
        tree.nodes["VBA"] = {true, storageId, {}};
        tree.nodes["VBA/dir"] = {false, {}, std::string(5000, 'd')}; // past the small streams
        tree.nodes["VBA/empty"] = {false, {}, {}};
        tree.nodes["Empty storage"] = {true, std::string(16, '\0'), {}};
        tree.nodes["\x05SummaryInformation"] = {false, {}, "s"};
        Outcome<std::string> bytes = CompoundFile::write(tree);
        ASSERT_TRUE(bytes) << bytes.failure().detail;
        Outcome<std::unique_ptr<CompoundFile>> file = CompoundFile::open(*bytes);
        ASSERT_TRUE(file);
        Outcome<CompoundTree> back = (*file)->tree(1 << 20);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->sectorSize, sectorSize);
        EXPECT_TRUE(back->nodes == tree.nodes);
    }
    // A stream whose storage is missing is refused, not dropped.
    CompoundTree orphan;
    orphan.nodes[""] = {true, std::string(16, '\0'), {}};
    orphan.nodes["VBA/dir"] = {false, {}, "x"};
    EXPECT_FALSE(CompoundFile::write(orphan));
}

} // namespace
