#include "vbpfile.h"

#include <gtest/gtest.h>

using trapline::VbpFile;

namespace {
const std::string kVbp = "Type=Exe\r\n"
                         "Form=frmMain.frm\r\n"
                         "Module=modMain; modMain.bas\r\n"
                         "Class=CInvoice; Classes\\CInvoice.cls\r\n"
                         "Startup=\"frmMain\"\r\n"
                         "Name=\"Ledger\"\r\n"
                         "\r\n"
                         "[MS Transaction Server]\r\n"
                         "AutoRefresh=1\r\n"
                         "Module=NotAComponent; x.bas\r\n";
}

TEST(VbpFile, AddsALineAfterItsKindAndKeepsEveryOtherByte) {
    VbpFile f = VbpFile::parse(kVbp);
    std::string out = f.withLineAdded("Module", "Module=mdl_Error; mdl_Error.bas");
    std::string expected = kVbp;
    expected.insert(expected.find("Class="), "Module=mdl_Error; mdl_Error.bas\r\n");
    EXPECT_EQ(out, expected);

    VbpFile noModules = VbpFile::parse("Type=Exe\nForm=a.frm\nName=\"X\"");
    EXPECT_EQ(noModules.withLineAdded("Module", "Module=M; M.bas"),
              "Type=Exe\nForm=a.frm\nModule=M; M.bas\nName=\"X\"");
    VbpFile lastLine = VbpFile::parse("Module=A; A.bas");
    EXPECT_EQ(lastLine.withLineAdded("Module", "Module=B; B.bas"),
              "Module=A; A.bas\r\nModule=B; B.bas");
}
