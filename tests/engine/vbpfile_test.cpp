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
        // A file of LF line ends whose first line is empty gets an LF too.
        {"\nModule=A; A.bas\n", "\nModule=A; A.bas\nModule=B; B.bas\n"},
        {"Module=A; A.bas", "Module=A; A.bas\r\nModule=B; B.bas"},
    };
    for (const auto& [before, after] : cases)
        EXPECT_EQ(VbpFile::parse(before).withLineAdded("Module", "Module=B; B.bas"), after);
}

TEST(VbpFile, TheProjectsNameIsItsFirstNameLineInAnyLetterCase) {
    const std::pair<std::string, std::string> cases[] = {
        {"Type=Exe\r\nName=\"Ledger\"\r\nName=\"Other\"\r\n", "Ledger"},
        {"NAME = \"Ledger\"\r\n", "Ledger"},
        {"name=Ledger\r\n", "Ledger"},
        {"Type=Exe\r\n\r\n[Section]\r\nName=\"Setting\"\r\n", ""},
    };
    for (const auto& [bytes, name] : cases)
        EXPECT_EQ(VbpFile::parse(bytes).name(), name) << bytes;
}
