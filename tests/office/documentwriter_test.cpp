#include "office/compression.h"
#include "office/dirstream.h"
#include "office/document.h"
#include "office/zippackage.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace trapline::office;

namespace {

std::string sample(const std::string& name) {
    return std::string(OFFICE_DATA) + "/" + name;
}

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

std::string readAll(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    std::string out;
    char buffer[65536];
    size_t got = 0;
    while (file && (got = fread(buffer, 1, sizeof buffer, file)) > 0)
        out.append(buffer, got);
    if (file)
        fclose(file);
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
        const std::string original = readAll(sample(file));
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
