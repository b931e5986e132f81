#include "component.h"

#include "../support/tempdir.h"
#include "components.h"

#include <gtest/gtest.h>

using namespace trapline;

namespace {

std::unique_ptr<Component> load(const std::string& path) {
    auto c = DiskFile::read(path);
    return std::make_unique<Component>("M", ComponentType::StdModule, path, c->bytes, c->stamp);
}

} // namespace

TEST(Component, SavesInPlaceTimeAfterTimeEachBackupTakingTheFirstFreeName) {
    // Whose a .bak is cannot be told from the file, so none is ever
    // overwritten, not even one an earlier save wrote.
    TempDir dir;
    std::string path = dir.write("M.bas", "Sub A()\r\nEnd Sub\r\n");
    dir.write("M.bas.bak", "the user's own backup");
    auto c = load(path);
    ASSERT_TRUE(c->CodeModule().InsertLines(2, "' first"));
    ASSERT_TRUE(c->save(true));
    EXPECT_FALSE(c->needsSave());
    // Saved once, the file is again what the component holds: a second save
    // after another change must not be refused as "changed on disk".
    ASSERT_TRUE(c->CodeModule().InsertLines(2, "' second"));
    EXPECT_TRUE(c->needsSave());
    auto second = c->save(true);
    ASSERT_TRUE(second) << second.error().description;
    EXPECT_EQ(TempDir::read(path), "Sub A()\r\n' second\r\n' first\r\nEnd Sub\r\n");
    EXPECT_EQ(TempDir::read(path + ".bak"), "the user's own backup");
    EXPECT_EQ(TempDir::read(path + ".bak.1"), "Sub A()\r\nEnd Sub\r\n");
    EXPECT_EQ(TempDir::read(path + ".bak.2"), "Sub A()\r\n' first\r\nEnd Sub\r\n");
}

TEST(Component, SavesLinesAppendedAfterAMissingFinalLineEndAsTheModuleShowsThem) {
    for (std::string eol : {"\r\n", "\n"}) {
        TempDir dir;
        std::string path = dir.write("M.bas", "Sub A()" + eol + "End Sub");
        auto c = load(path);
        trapline::CodeModule& code = c->CodeModule();
        ASSERT_TRUE(code.InsertLines(code.CountOfLines() + 1, "' one"));
        ASSERT_TRUE(code.InsertLines(code.CountOfLines() + 1, "' two\r\n' three"));
        ASSERT_TRUE(c->save());
        // The old last line gets the file's line end; the new last keeps none.
        EXPECT_EQ(TempDir::read(path),
                  "Sub A()" + eol + "End Sub" + eol + "' one" + eol + "' two" + eol + "' three");
        EXPECT_EQ(TempDir::read(path), c->serialize());
    }
}

TEST(Component, WritesANewModuleWithItsNameOnlyWhenSaved) {
    TempDir dir;
    Components components;
    components.setFolder(dir.path());
    Component* c = *components.Add(1);
    EXPECT_EQ(c->Name(), "Module1");
    ASSERT_TRUE(c->setName("mdl_Error"));
    c->setPath(dir.file("mdl_Error.bas"));
    ASSERT_TRUE(c->CodeModule().AddFromString("Option Explicit\r\n"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("mdl_Error.bas")));
    ASSERT_TRUE(c->save());
    EXPECT_EQ(TempDir::read(dir.file("mdl_Error.bas")),
              "Attribute VB_Name = \"mdl_Error\"\r\nOption Explicit\r\n");
    EXPECT_EQ((*components.Add(1))->Name(), "Module1"); // the name is free again
    EXPECT_FALSE(components.Add(2));
}

TEST(Component, OpenedWithoutItsCodeIsReadWhenItsCodeIsFirstAskedFor) {
    TempDir dir;
    const std::string bytes = "Attribute VB_Name = \"Real\"\r\nSub A()\r\nEnd Sub\r\n";
    const std::string path = dir.write("m.bas", bytes);
    Component c("m", ComponentType::StdModule, path, *DiskFile::stamp(path));
    EXPECT_FALSE(c.isLoaded());
    const Component& unread = c;
    EXPECT_EQ(unread.CodeModule().CountOfLines(), 0); // looking never reads
    EXPECT_FALSE(c.isLoaded());
    ASSERT_TRUE(c.CodeModule().InsertLines(2, "' added"));
    EXPECT_TRUE(c.isLoaded());
    EXPECT_EQ(c.Name(), "Real");
    ASSERT_TRUE(c.save());
    EXPECT_EQ(TempDir::read(path),
              "Attribute VB_Name = \"Real\"\r\nSub A()\r\n' added\r\nEnd Sub\r\n");
}

TEST(Component, NeverWritesOverAFileChangedSinceItWasOpenedWhetherItsCodeWasReadOrNot) {
    for (bool deferred : {false, true}) {
        SCOPED_TRACE(deferred ? "opened without its code" : "read at once");
        TempDir dir;
        const std::string path =
            dir.write("m.bas", "Attribute VB_Name = \"M\"\r\nSub A()\r\nEnd Sub\r\n");
        auto c = deferred ? std::make_unique<Component>("m", ComponentType::StdModule, path,
                                                        *DiskFile::stamp(path))
                          : load(path);
        // Another program rewrites the file before the component is first used.
        const std::string theirs = "Attribute VB_Name = \"M\"\r\n' theirs, and longer\r\n";
        dir.write("m.bas", theirs);
        ASSERT_TRUE(c->CodeModule().InsertLines(1, "' ours"));
        EXPECT_EQ(c->isLoaded(), !deferred);
        EXPECT_EQ(c->loadError().has_value(), deferred);
        ASSERT_TRUE(c->needsSave());
        auto saved = c->save();
        ASSERT_FALSE(saved);
        EXPECT_EQ(saved.error().number, errors::ChangedOnDisk);
        EXPECT_EQ(saved.error().source, path);
        EXPECT_EQ(TempDir::read(path), theirs);
    }
}
