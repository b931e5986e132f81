#include "officedocument.h"
#include "projectloader.h"

#include "../support/tempdir.h"

#include <gtest/gtest.h>

using namespace trapline;

namespace {

const std::string kOffice = std::string(TRAPLINE_SOURCE_DIR) + "/tests/data/office/";

} // namespace

TEST(OfficeDocument, FindsTheLockFileOfficeOrLibreOfficeKeepsBesideADocument) {
    struct Row {
        const char* document;
        const char* lockFile; // "" for none
        bool locked;
    };
    // Office's "~$" takes the place of the first two characters of a name of
    // eight or more, and of the first of a name of seven.
    const Row rows[] = {{"Book.xlsm", "", false},
                        {"Book.xlsm", "~$Book.xlsm", true},
                        {"Book.xlsm", ".~lock.Book.xlsm#", true},
                        {"Book.xlsm", "~$Other.xlsm", false},
                        {"Book.xlsm", ".~lock.Book.xlsx#", false},
                        {"Document.docm", "~$cument.docm", true},
                        {"Documen.docm", "~$cumen.docm", false},
                        {"Documen.docm", "~$ocumen.docm", true},
                        {"Docume.docm", "~$ocume.docm", false},
                        {"Документ.xlsm", "~$кумент.xlsm", true},
                        {"Докумен.xlsm", "~$окумен.xlsm", true},
                        {"Книга.xlsm", "~$Книга.xlsm", true},
                        {"Книга.xlsm", "~$нига.xlsm", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.document) + " " + row.lockFile);
        TempDir dir;
        const std::string book = dir.write(row.document, "x");
        if (*row.lockFile)
            dir.write(row.lockFile, "owner");
        auto lock = OfficeDocument::lockFileOf(book);
        EXPECT_EQ(lock.has_value(), row.locked);
        EXPECT_EQ(lock.value_or(""), row.locked ? dir.file(row.lockFile) : "");
    }
}

TEST(OfficeDocument, ADocumentChangedSinceItWasReadIsNotWrittenOver) {
    TempDir dir;
    const std::string path =
        dir.write("Doc.docm", TempDir::read(kOffice + "tika_testWORD_macros.docm"));
    ProjectLoader loader(*Codepage::open("1252"));
    auto project = loader.load({path});
    ASSERT_TRUE(project) << project.error().description;
    ASSERT_EQ((*project)->documents().size(), 1u);
    Component* module = nullptr;
    for (long i = 1; i <= (*project)->VBComponents().Count(); ++i)
        if ((*(*project)->VBComponents().Item(i))->Name() == "NewMacros")
            module = *(*project)->VBComponents().Item(i);
    ASSERT_NE(module, nullptr);
    ASSERT_TRUE(module->CodeModule().InsertLines(1, "' changed"));
    // Someone saves the document in the meantime.
    const std::string theirs = TempDir::read(path) + "saved elsewhere";
    dir.write("Doc.docm", theirs);
    std::vector<Error> problems = (*project)->save();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].number, errors::ChangedOnDisk) << problems[0].description;
    EXPECT_EQ(TempDir::read(path), theirs);
}

TEST(OfficeDocument, EachModuleOfADocumentIsAComponentOfItsKindInTheDocumentsCodePage) {
    TempDir dir;
    const std::string path =
        dir.write("Book.xlsm", TempDir::read(kOffice + "calamine_issue281.xlsm"));
    ProjectLoader loader;
    auto project = loader.load({path});
    ASSERT_TRUE(project) << project.error().description;
    const Components& components = (*project)->VBComponents();
    std::vector<std::pair<std::string, ComponentType>> seen;
    for (long i = 1; i <= components.Count(); ++i) {
        Component& c = **components.Item(i);
        seen.emplace_back(c.Name(), c.Type());
        EXPECT_EQ(c.path(), path);
        EXPECT_EQ(c.codepage(Codepage()).name(), "CP932");
        EXPECT_FALSE(c.needsSave());
    }
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, ComponentType>>{
                        {"ThisWorkbook", ComponentType::Document},
                        {"Sheet1", ComponentType::Document},
                        {"Sheet2", ComponentType::Document},
                        {"Sheet3", ComponentType::Document},
                        {"testVBA", ComponentType::StdModule}}));
    // Saving with nothing changed writes nothing.
    EXPECT_TRUE((*project)->save().empty());
    EXPECT_EQ(TempDir::read(path), TempDir::read(kOffice + "calamine_issue281.xlsm"));
}
