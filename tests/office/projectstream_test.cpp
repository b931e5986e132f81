#include "office/projectstream.h"

#include <gtest/gtest.h>

using namespace trapline::office;

namespace {

TEST(ProjectStream, NamesEachModulesKindUpToTheFirstSection) {
    const ProjectStream project = ProjectStream::parse(
        "ID=\"{00000000-0000-0000-0000-000000000000}\"\r\nDocument=ThisWorkbook/&H00000000\r\n"
        "Module=Config\nClass=Dictionary\rBaseClass=UserForm1\r\nPackage={AC9F2F90}\r\n"
        "Name=\"VBAProject\"\r\n\r\n[Workspace]\r\nModule=Hidden\r\n");
    ASSERT_EQ(project.modules().size(), 4u);
    EXPECT_EQ(project.kindOf("ThisWorkbook"), ModuleKind::Document);
    EXPECT_EQ(project.kindOf("Config"), ModuleKind::Standard);
    EXPECT_EQ(project.kindOf("DICTIONARY"), ModuleKind::Class);
    EXPECT_EQ(project.kindOf("UserForm1"), ModuleKind::Designer);
    EXPECT_EQ(project.kindOf("Hidden"), std::nullopt);
    EXPECT_EQ(project.kindOf("ThisWorkbook/&H00000000"), std::nullopt);
}

TEST(ProjectStream, TheLockComesFromTheDecryptedVisibilityAndProtection) {
    struct Row {
        const char* what;
        const char* cmg;
        const char* gc;
        bool locked;
    };
    // Values from real projects: one locked for viewing (its GC decrypts to
    // 0x00 and its CMG to 4), two open ones (GC 0xFF, CMG 0).
    const Row rows[] = {
        {"locked", "A7A50BD00DD08AD48AD48ED88ED8", "A9AB055606560656", true},
        {"open", "E8EA02D006D006D006D006", "1416FE16022D032D03D2", false},
        {"open, other seed", "2426C329C349C749C749C749C7", "6C6E8B718B948C948C6B", false},
        {"hidden, whatever the protection", "2426C329C349C749C749C749C7", "A9AB055606560656", true},
        {"values that do not decrypt", "ZZ", "A9AB0556065606", false},
        {"no values", "", "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string text =
            std::string("Module=M\r\nCMG=\"") + row.cmg + "\"\r\nGC=\"" + row.gc + "\"\r\n";
        EXPECT_EQ(ProjectStream::parse(text).lockedForViewing(), row.locked);
    }
    EXPECT_EQ(ProjectStream::decrypt("A7A50BD00DD08AD48AD48ED88ED8"), std::string("\x04\0\0\0", 4));
    EXPECT_EQ(ProjectStream::decrypt("FEFC14F03C105311531153"), std::string(1, '\0'));
}

} // namespace
