#include "vbpfile.h"

#include <gtest/gtest.h>

using trapline::VbpFile;

TEST(VbpFile, AddsALineAfterTheLastOfItsKindOrOfTheComponentsAndKeepsEveryOtherByte) {
    // The sections at the end hold settings, never components.
    const std::string sections = "\r\n[MS Transaction Server]\r\nModule=NotAComponent; x.bas\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {"Type=Exe\r\nModule=A; A.bas\r\nClass=C; C.cls\r\n" + sections,
         "Type=Exe\r\nModule=A; A.bas\r\nModule=B; B.bas\r\nClass=C; C.cls\r\n" + sections},
        {"Type=Exe\nForm=a.frm\nName=\"X\"", "Type=Exe\nForm=a.frm\nModule=B; B.bas\nName=\"X\""},
        {"Module=A; A.bas", "Module=A; A.bas\r\nModule=B; B.bas"},
    };
    for (const auto& [before, after] : cases)
        EXPECT_EQ(VbpFile::parse(before).withLineAdded("Module", "Module=B; B.bas"), after);
}
