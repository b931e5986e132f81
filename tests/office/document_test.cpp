#include "office/compression.h"
#include "office/document.h"
#include "records.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace trapline::office;
using namespace officetest;

namespace {

const VbaModule* moduleNamed(const Document& document, const std::string& nameUtf8) {
    for (const VbaModule& module : document.project().modules())
        if (module.nameUtf8 == nameUtf8)
            return &module;
    return nullptr;
}

/// "crlf", "lf" or "cr" when every line of `text` ends so, else "mixed".
std::string lineEnds(const std::string& text) {
    std::map<std::string, int> seen;
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n')
            ++seen["crlf"], ++k;
        else if (text[k] == '\r')
            ++seen["cr"];
        else if (text[k] == '\n')
            ++seen["lf"];
    }
    return seen.size() == 1 ? seen.begin()->first : "mixed";
}

TEST(Document, EverySampleReadsWithItsModulesKindsAndCodePage) {
    struct Row {
        const char* file;
        Container container;
        uint16_t codePage;
        int standard, classes, documents;
        const char* someModule; // its first line must name it
        const char* ends;
    };
    const Row rows[] = {
        {"vbaweb_Example.xlsm", Container::Package, 1252, 13, 20, 7, "WebHelpers", "crlf"},
        {"xlwings_engines_mac.xlsm", Container::Package, 10000, 1, 0, 4, "Module1", "lf"},
        {"calamine_issue281.xlsm", Container::Package, 932, 1, 0, 4, "testVBA", "crlf"},
        {"calamine_issues.xlsb", Container::Package, 1252, 1, 0, 5, "testVBA", "crlf"},
        {"calamine_any_sheets.xls", Container::Binary, 1251, 0, 0, 4, "Диаграмма4", "crlf"},
        {"tika_testWORD_macros.doc", Container::Binary, 1252, 1, 0, 1, "NewMacros", "crlf"},
        {"tika_testWORD_macros.docm", Container::Package, 1252, 1, 0, 1, "NewMacros", "crlf"},
        {"tika_testPPT_macros.pptm", Container::Package, 1252, 1, 0, 0, "Module1", "crlf"},
        {"xlwings_quickstart_addin.xlam", Container::Package, 1252, 2, 1, 2, "Dictionary", "crlf"},
        {"xlsxwriter_vbaProject.bin", Container::BareProject, 1252, 1, 0, 4, "ThisWorkbook1",
         "crlf"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        Outcome<Document> document = Document::open(sample(row.file));
        ASSERT_TRUE(document) << document.failure().detail;
        EXPECT_EQ(document->container(), row.container);
        EXPECT_EQ(document->project().codePage(), row.codePage);
        std::map<ModuleKind, int> kinds;
        for (const VbaModule& module : document->project().modules()) {
            ++kinds[module.kind];
            // Every source starts with its own name, as the editor exports it.
            EXPECT_EQ(document->project().sourceUtf8(module).rfind(
                          "Attribute VB_Name = \"" + module.nameUtf8 + "\"", 0),
                      0u)
                << module.nameUtf8;
            EXPECT_EQ(module.streamName, module.nameUtf8);
        }
        EXPECT_EQ(kinds[ModuleKind::Standard], row.standard);
        EXPECT_EQ(kinds[ModuleKind::Class], row.classes);
        EXPECT_EQ(kinds[ModuleKind::Document], row.documents);
        const VbaModule* module = moduleNamed(*document, row.someModule);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(lineEnds(module->source), row.ends);
    }
}

TEST(Document, SourcesAreTheStoredTextAndNamesKeepTheirBytes) {
    Outcome<Document> workbook = Document::open(sample("calamine_any_sheets.xls"));
    ASSERT_TRUE(workbook);
    const VbaModule* sheet = moduleNamed(*workbook, "Лист1");
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->name, "\xCB\xE8\xF1\xF2"
                           "1"); // Windows-1251, as stored
    EXPECT_NE(sheet->source.find("Attribute VB_Name = \"\xCB\xE8\xF1\xF2"
                                 "1\"\r\n"
                                 "Attribute VB_Base = \"0{00020820-0000-0000-C000-000000000046}\""),
              std::string::npos);

    Outcome<Document> mac = Document::open(sample("xlwings_engines_mac.xlsm"));
    ASSERT_TRUE(mac);
    EXPECT_EQ(moduleNamed(*mac, "Module1")->source,
              "Attribute VB_Name = \"Module1\"\nSub IntegrationTestRead()\n"
              "    RunRemotePython \"https://127.0.0.1:8000/integration-test-read\"\nEnd Sub\n");

    Outcome<Document> slides = Document::open(sample("tika_testPPT_macros.pptm"));
    ASSERT_TRUE(slides);
    EXPECT_EQ(slides->projectPart(), "ppt/vbaProject.bin");
    const std::string text = slides->project().sourceUtf8(*moduleNamed(*slides, "Module1"));
    EXPECT_NE(text.find("Sub Embolden()\r\n"), std::string::npos);
    EXPECT_NE(text.find("    Selection.Font.ItalicBi = wdToggle\r\nEnd Sub"), std::string::npos);

    Outcome<Document> web = Document::open(sample("vbaweb_Example.xlsm"));
    ASSERT_TRUE(web);
    const VbaModule* helpers = moduleNamed(*web, "WebHelpers");
    EXPECT_EQ(helpers->source.size(), 116067u); // past 28 chunks
    EXPECT_EQ(helpers->textOffset, 135090u);
}

TEST(Document, DocumentsThatMustNotBeChangedAreRefusedByTheirReason) {
    struct Row {
        const char* file;
        Problem problem;
        const char* detail; // a part of the message
    };
    const Row rows[] = {
        {"xlsxwriter_macro04_signed.xlsm", Problem::Signed, "vbaProjectSignature.bin"},
        {"xlwings_addin_protected.xlam", Problem::Locked, "locked for viewing"},
        {"oletools_encrypted.docm", Problem::Encrypted, "encrypted package"},
        {"hostile/encrypted.doc", Problem::Encrypted, "encrypted"},
        {"hostile/encrypted.xls", Problem::Encrypted, "FILEPASS"},
        {"hostile/module_not_compressed.bin", Problem::Corrupt, "module Module1"},
        {"hostile/dir_claims_2gb.bin", Problem::Corrupt, "VBA/dir"},
        {"hostile/looping_chain.bin", Problem::Corrupt, ""},
        {"README.md", Problem::NotOffice, ""},
        {"no such file.xlsm", Problem::Unreadable, "no such file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        Outcome<Document> document = Document::open(sample(row.file));
        ASSERT_FALSE(document);
        EXPECT_EQ(document.failure().problem, row.problem) << document.failure().detail;
        EXPECT_NE(document.failure().detail.find(row.detail), std::string::npos)
            << document.failure().detail;
    }
}

} // namespace

namespace {

TEST(Document, EveryModuleOfEverySampleComesBackThroughCompression) {
    for (const char* file :
         {"vbaweb_Example.xlsm", "xlwings_engines_mac.xlsm", "calamine_issue281.xlsm",
          "calamine_issues.xlsb", "calamine_any_sheets.xls", "tika_testWORD_macros.doc",
          "xlwings_quickstart_addin.xlam", "xlsxwriter_vbaProject.bin"}) {
        Outcome<Document> document = Document::open(sample(file));
        ASSERT_TRUE(document) << file;
        for (const VbaModule& module : document->project().modules()) {
            SCOPED_TRACE(std::string(file) + " " + module.nameUtf8);
            Outcome<std::string> packed = compress(module.source);
            ASSERT_TRUE(packed);
            // Text never needs a raw chunk: every chunk holds copy tokens.
            for (size_t pos = 1; pos + 2 <= packed->size();) {
                const unsigned header = static_cast<unsigned char>((*packed)[pos]) |
                                        static_cast<unsigned char>((*packed)[pos + 1]) << 8;
                EXPECT_NE(header & 0x8000, 0u) << "chunk at " << pos;
                pos += (header & 0x0FFF) + 3;
            }
            Outcome<std::string> back = decompress(*packed, module.source.size());
            ASSERT_TRUE(back);
            EXPECT_TRUE(*back == module.source);
        }
    }
}

} // namespace
