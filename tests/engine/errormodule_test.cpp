#include "errormodule.h"

#include "../support/memoryproject.h"
#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "projectloader.h"

#include <gtest/gtest.h>

using namespace trapline;

TEST(ErrorModuleInstaller, WritesTheModuleOnceNextToTheProjectOverNoFileOfAnother) {
    TempDir dir;
    dir.write("M.bas", "Attribute VB_Name = \"M\"\r\nSub A()\r\nEnd Sub\r\n");
    dir.write("P.vbp", "Type=Exe\r\nModule=M; M.bas\r\nName=\"P\"\r\n");
    VBE vbe(std::move(*ProjectLoader().load({dir.file("P.vbp")})));
    ScriptedMessageBox boxes;
    auto added = ErrorModuleInstaller::install(vbe, boxes);
    ASSERT_TRUE(added && *added);
    // Its message is written in the project's code page.
    const std::string code = (*added)->serialize();
    EXPECT_EQ(code.rfind("Attribute VB_Name = \"mdl_Error\"\r\n", 0), 0u);
    EXPECT_NE(code.find("\r\nPublic Sub MyErrorHandler("), std::string::npos); // what handlers call
    EXPECT_NE(code.find("\"\xce\xf8\xe8\xe1\xea\xe0 "), std::string::npos);    // "Ошибка"
    // Its body between the declaration and the End Sub that ends the module.
    EXPECT_LT(code.find("\"\xce\xf8\xe8\xe1\xea\xe0 "), code.find("\r\nEnd Sub"));
    EXPECT_TRUE(code.ends_with("\r\nEnd Sub\r\n"));
    EXPECT_TRUE(vbe.ActiveVBProject()->save().empty());
    EXPECT_EQ(TempDir::read(dir.file("P.vbp")),
              "Type=Exe\r\nModule=M; M.bas\r\nModule=mdl_Error; mdl_Error.bas\r\nName=\"P\"\r\n");
    EXPECT_EQ(TempDir::read(dir.file("mdl_Error.bas")), code);
    EXPECT_TRUE(boxes.shown.empty());
    // Loaded again, the project knows its module and the installer leaves it
    // alone; a module named in other letters is not it.
    VBE reloaded(std::move(*ProjectLoader().load({dir.file("P.vbp")})));
    EXPECT_EQ(*ErrorModuleInstaller::install(reloaded, boxes), nullptr);
    EXPECT_EQ(boxes.shown.size(), 1u);
    VBE upper(projectOf({{"MDL_ERROR", "Option Explicit\r\n"}}));
    EXPECT_NE(*ErrorModuleInstaller::install(upper, boxes), nullptr);

    // A file of that name that is not the project's is never overwritten.
    TempDir other;
    other.write("M.bas", "Attribute VB_Name = \"M\"\r\n");
    other.write("P.vbp", "Module=M; M.bas\r\n");
    other.write("mdl_Error.bas", "' someone else's\r\n");
    VBE theirs(std::move(*ProjectLoader().load({other.file("P.vbp")})));
    ASSERT_TRUE(ErrorModuleInstaller::install(theirs, boxes));
    std::vector<Error> problems = theirs.ActiveVBProject()->save();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].source, other.file("mdl_Error.bas"));
    EXPECT_EQ(TempDir::read(other.file("mdl_Error.bas")), "' someone else's\r\n");
    EXPECT_EQ(TempDir::read(other.file("P.vbp")), "Module=M; M.bas\r\n");
}
