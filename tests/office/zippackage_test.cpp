#include "office/document.h"
#include "office/opcpackage.h"
#include "office/zippackage.h"

#include "../support/tempdir.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

using namespace trapline::office;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

/// A zip of `entries`, deflated, as libzip writes it.
std::string zipOf(const Entries& entries) {
    TempDir dir;
    const std::string path = dir.path() + "/test.zip";
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(archive, nullptr);
    for (const auto& [name, data] : entries) {
        zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
        EXPECT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0);
    }
    EXPECT_EQ(zip_close(archive), 0);
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const char* kTypes =
    R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="bin" ContentType="application/vnd.ms-office.vbaProject"/>)"
    R"(<Override PartName="/book/main.xml" ContentType="application/vnd.ms-excel.sheet.macroEnabled.main+xml"/></Types>)";
const char* kRootRels =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="book/main.xml"/></Relationships>)";
const char* kMainRels =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId9" Type="http://schemas.microsoft.com/office/2006/relationships/vbaProject" Target="../code/Project%20One.bin"/></Relationships>)";

Entries package(std::string project) {
    return {{"[Content_Types].xml", kTypes},
            {"_rels/.rels", kRootRels},
            {"book/main.xml", "<workbook/>"},
            {"book/_rels/main.xml.rels", kMainRels},
            {"code/Project One.bin", std::move(project)}};
}

TEST(ZipPackage, TheProjectIsFoundThroughTheRelationshipsWhereverItLies) {
    const std::string project = fileBytes(std::string(OFFICE_DATA) + "/xlsxwriter_vbaProject.bin");
    Outcome<Document> document = Document::read(zipOf(package(project)));
    ASSERT_TRUE(document) << document.failure().detail;
    EXPECT_EQ(document->projectPart(), "code/Project One.bin");
    EXPECT_EQ(document->project().modules().size(), 5u);
}

TEST(ZipPackage, PartNamesResolveAgainstTheirSource) {
    struct Row {
        const char* source;
        const char* target;
        const char* part;
    };
    const Row rows[] = {{"xl/workbook.xml", "vbaProject.bin", "xl/vbaProject.bin"},
                        {"xl/workbook.xml", "/xl/vbaProject.bin", "xl/vbaProject.bin"},
                        {"xl/sub/workbook.xml", "../../a/./b.bin", "a/b.bin"},
                        {"", "word/document.xml", "word/document.xml"},
                        {"w/d.xml", "my%20code.bin", "w/my code.bin"},
                        // Each end of the hex digits in either case; a stray or cut-off % stays.
                        {"w/d.xml", "%4F%4f%5A%7a%30%39%3G%4", "w/OOZz09%3G%4"}};
    for (const Row& row : rows)
        EXPECT_EQ(resolvePartName(row.source, row.target), row.part) << row.target;
}

TEST(ZipPackage, HostilePackagesAreRefusedByName) {
    struct Row {
        const char* what;
        std::string zip;
        Problem problem;
        const char* detail;
    };
    Entries twice = package("x");
    twice.push_back({"code/PROJECT ONE.bin", "y"});
    Entries wrongType = package("x");
    wrongType[0].second =
        std::string(kTypes).replace(std::string(kTypes).find("vnd.ms-office"), 13, "vnd.other.bin");
    // libzip writes no two entries of one name; the bytes are changed after.
    std::string sameName = zipOf({{"[Content_Types].xml", kTypes}, {"a.bin", "1"}, {"b.bin", "2"}});
    for (size_t at = sameName.find("b.bin"); at != std::string::npos; at = sameName.find("b.bin"))
        sameName[at] = 'a';
    Entries noProject = package("x");
    noProject[3].second = "<Relationships/>";
    const Row rows[] = {
        {"a part that inflates a thousandfold", zipOf(package(std::string(32 << 20, '\0'))),
         Problem::TooLarge, "thousandfold"},
        {"two entries of one name", sameName, Problem::Corrupt, "two zip entries named a.bin"},
        {"two entries of one name in two cases", zipOf(twice), Problem::Corrupt, "two zip entries"},
        {"a project part of another content type", zipOf(wrongType), Problem::Corrupt,
         "content type"},
        {"no project relationship", zipOf(noProject), Problem::NoProject, ""},
        {"no content types", zipOf({{"a.txt", "a"}}), Problem::NotOffice, "Content_Types"},
        {"a project part that is no compound file", zipOf(package("not a project")),
         Problem::Corrupt, "code/Project One.bin"},
        {"a zip cut short", zipOf(package("x")).substr(0, 200), Problem::Corrupt, "zip"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Outcome<Document> document = Document::read(row.zip);
        ASSERT_FALSE(document);
        EXPECT_EQ(document.failure().problem, row.problem) << document.failure().detail;
        EXPECT_NE(document.failure().detail.find(row.detail), std::string::npos)
            << document.failure().detail;
    }
}

TEST(ZipPackage, AReplacedPartIsDeflatedInItsPlaceAndTheOthersAreLeftAsTheyWere) {
    Entries entries = package(std::string(100000, 'x')); // deflated by zipOf
    Outcome<std::unique_ptr<ZipPackage>> zip = ZipPackage::open(zipOf(entries));
    ASSERT_TRUE(zip) << zip.failure().detail;
    std::string text;
    for (int line = 0; text.size() < 200000; ++line)
        text += "    Debug.Print \"line " + std::to_string(line) + "\"\r\n";
    Outcome<std::string> written = (*zip)->rewritten({{"code/Project One.bin", text}});
    ASSERT_TRUE(written) << written.failure().detail;
    // Text like a module's shrinks to a fraction when deflated; stored, the
    // package would be larger than the text.
    EXPECT_LT(written->size(), text.size() / 4);
    Outcome<std::unique_ptr<ZipPackage>> back = ZipPackage::open(*written);
    ASSERT_TRUE(back) << back.failure().detail;
    std::vector<std::string> names;
    for (const auto& [name, data] : entries)
        names.push_back(name);
    EXPECT_EQ((*back)->names(), names);
    for (const auto& [name, data] : entries) {
        Outcome<std::string> part = (*back)->read(name, 1 << 20);
        ASSERT_TRUE(part) << name;
        EXPECT_EQ(*part, name == "code/Project One.bin" ? text : data) << name;
    }
}

} // namespace
