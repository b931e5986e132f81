#include "proccatalogue.h"

#include "../support/memoryproject.h"
#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "projectloader.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace trapline;

namespace {

std::vector<std::string> names(const ProcCatalogue& c) {
    std::vector<std::string> out;
    for (size_t i = 1; i < c.Procs().size(); ++i)
        out.push_back(c.Procs()[i].ModuleName + "." + c.Procs()[i].ProcName);
    return out;
}

const std::string kInvoice = "Option Explicit\r\n"
                             "' On Error handling is not needed here\r\n"
                             "Public Property Let Total(ByVal v As Currency)\r\n"
                             "End Property\r\n"
                             "Public Property Get Total() As Currency\r\n"
                             "    ' on error resume next\r\n"
                             "End Property\r\n"
                             "Public Property Set Total(ByVal v As Object)\r\n"
                             "End Property\r\n"
                             "Private Function ParseSub (x)\r\n"
                             "    ON ERROR GOTO err_debug\r\n"
                             "End Function\r\n"
                             "Public Sub Init()\r\n"
                             "End Sub\r\n";

/// A catalogue of an in-memory project, with the boxes it shows.
struct Fixture {
    explicit Fixture(const std::vector<std::pair<std::string, std::string>>& modules)
        : vbe(projectOf(modules)) {}
    VBE vbe;
    ScriptedMessageBox boxes;
    ProcCatalogue c{vbe, boxes};
};

} // namespace

TEST(ProcCatalogue, ListsProceduresInMemberOrderWithTheirKindsAndTrapsInTheirOwnLines) {
    Fixture f({{"Invoice", kInvoice}});
    auto& [vbe, boxes, c] = f;
    ASSERT_TRUE(c.GetProcNames("Invoice"));
    EXPECT_EQ(names(c), (std::vector<std::string>{"Invoice.Total (Get)", "Invoice.Total (Let)",
                                                  "Invoice.Total (Set)", "Invoice.ParseSub",
                                                  "Invoice.Init"}));
    // Kinds and types are the example catalogue's test on the command line.
    const auto& p = c.Procs();
    EXPECT_TRUE(p[1].HasErrorTrap);  // in a comment inside the Get, in any letter case
    EXPECT_FALSE(p[2].HasErrorTrap); // the comment above the Let does not count
    EXPECT_TRUE(p[4].HasErrorTrap);
    EXPECT_FALSE(p[5].HasErrorTrap);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(ProcCatalogue, FiltersModulesByExactNameAndKeepsSameNamedModulesApart) {
    const std::string init = "Sub Init()\r\nEnd Sub\r\n";
    VBE vbe(
        projectOf({{"Main", init}, {"Other", init}, {"Main", "Sub Init()\r\n  x\r\nEnd Sub\r\n"}}));
    ScriptedMessageBox boxes;
    ProcCatalogue c(vbe, boxes);
    ASSERT_TRUE(c.GetProcNames("*"));
    EXPECT_EQ(c.size(), 3u);
    ASSERT_TRUE(c.GetProcNames("Main"));
    ASSERT_EQ(c.size(), 2u);
    EXPECT_NE(c.Procs()[1].component, c.Procs()[2].component);
    EXPECT_FALSE(c.GetProcNames("main"));
    EXPECT_EQ(c.Procs().size(), 1u);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(ProcCatalogue, LeavesOutMembersWhoseAttributeReadsAs187AndFailsWithNothingToList) {
    Fixture f(
        {{"M", "Public Function Hidden()\r\nAttribute Hidden.VB_UserMemId = 1879048192\r\n"
               "End Function\r\nPublic Function Shown()\r\nEnd Function\r\n"},
         {"Empty", "Option Explicit\r\nPrivate Declare Function F Lib \"k\" () As Long\r\n"}});
    auto& [vbe, boxes, c] = f;
    ASSERT_TRUE(c.GetProcNames("*"));
    EXPECT_EQ(names(c), std::vector<std::string>{"M.Shown"});
    EXPECT_FALSE(c.GetProcNames("Empty"));
    EXPECT_EQ(c.size(), 0u);
    EXPECT_TRUE(boxes.shown.empty());

    VBE none;
    EXPECT_FALSE(ProcCatalogue(none, boxes).GetProcNames("*"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.rfind("91 :", 0), 0u);
}

TEST(ProcCatalogue, ListsAProcedureDefinedTwiceOnceAndAsTrappedOnlyWhenBothDefinitionsAre) {
    const std::string twice = crlf({"#If A Then", "Sub Run()", "    On Error GoTo 0", "End Sub",
                                    "#Else", "Sub Run()", "End Sub", "#End If"});
    std::string both = twice;
    both.insert(both.rfind("End Sub"), "    on error resume next\r\n");
    Fixture f({{"Half", twice}, {"Both", both}});
    auto& [vbe, boxes, c] = f;
    ASSERT_TRUE(c.GetProcNames("*"));
    EXPECT_EQ(names(c), (std::vector<std::string>{"Half.Run", "Both.Run"}));
    EXPECT_FALSE(c.Procs()[1].HasErrorTrap); // the second version would go without
    EXPECT_TRUE(c.Procs()[2].HasErrorTrap);
}

namespace {

/// A folder of modules opened as the environment opens large projects: every
/// component made without its code.
std::unique_ptr<Project> deferredProject(const TempDir& dir) {
    ProjectLoader loader;
    loader.setDeferContents(true);
    auto project = loader.load({dir.path()});
    return project ? std::move(*project) : nullptr;
}

} // namespace

TEST(ProcCatalogue, ReadsComponentsOpenedWithoutTheirCodeAndNamesOneThatCannotBeRead) {
    TempDir dir;
    dir.write("a.bas", "Attribute VB_Name = \"Alpha\"\r\nSub One()\r\nEnd Sub\r\n");
    dir.write("b.bas", "Attribute VB_Name = \"Beta\"\r\nSub Two()\r\nEnd Sub\r\n");
    VBE vbe(deferredProject(dir));
    ASSERT_NE(vbe.ActiveVBProject(), nullptr);
    ScriptedMessageBox boxes;
    ProcCatalogue c(vbe, boxes);
    // "Beta" is only the name inside b.bas: it is found because files are
    // read before their names are compared.
    ASSERT_TRUE(c.GetProcNames("Beta"));
    EXPECT_EQ(names(c), std::vector<std::string>{"Beta.Two"});
    EXPECT_TRUE(boxes.shown.empty());

    VBE later(deferredProject(dir));
    std::filesystem::remove(dir.file("b.bas"));
    ProcCatalogue rest(later, boxes);
    ASSERT_TRUE(rest.GetProcNames("*"));
    EXPECT_EQ(names(rest), std::vector<std::string>{"Alpha.One"});
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("b.bas"), std::string::npos) << boxes.shown[0].text;
}
