#include "projectloader.h"

#include "../support/scriptedmessagebox.h"
#include "../support/tempdir.h"
#include "declaration.h"
#include "proccatalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace trapline;

namespace {

const std::string kExample = std::string(TRAPLINE_SOURCE_DIR) + "/examples";

std::vector<std::string> componentNames(const Project& p) {
    std::vector<std::string> out;
    for (long i = 1; i <= p.VBComponents().Count(); ++i)
        out.push_back((*p.VBComponents().Item(i))->Name());
    return out;
}

std::string module(const char* name) {
    return "Attribute VB_Name = \"" + std::string(name) + "\"\r\nSub Init()\r\nEnd Sub\r\n";
}

std::vector<std::string> diagnosticTexts(const ProjectLoader& loader) {
    std::vector<std::string> out;
    for (const Diagnostic& d : loader.diagnostics())
        out.push_back(d.text());
    return out;
}

/// Permissions do not stop root: a process that runs as root hands `dir` to
/// the unprivileged user "nobody" and becomes that user, so that they do.
void actAsAnOrdinaryUser(const TempDir& dir) {
    if (::geteuid() != 0)
        return;
    constexpr uid_t kNobody = 65534;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
        if (::chown(entry.path().c_str(), kNobody, kNobody) != 0)
            std::_Exit(2);
    if (::chown(dir.path().c_str(), kNobody, kNobody) != 0 || ::setgroups(0, nullptr) != 0 ||
        ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
        std::fprintf(stderr, "cannot become an ordinary user\n");
        std::_Exit(2);
    }
}

} // namespace

TEST(ProjectLoader, LoadsTheExampleAndWritesEveryFileBackUnchanged) {
    ProjectLoader loader;
    auto project = loader.load({kExample + "/Ledger.vbp"});
    ASSERT_TRUE(project);
    EXPECT_TRUE(loader.diagnostics().empty());
    EXPECT_EQ((*project)->Name(), "Ledger");
    EXPECT_EQ(componentNames(**project),
              (std::vector<std::string>{"modMain", "modUtil", "CInvoice", "frmMain"}));
    for (long i = 1; i <= (*project)->VBComponents().Count(); ++i) {
        Component* c = *(*project)->VBComponents().Item(i);
        EXPECT_EQ(c->serialize(), TempDir::read(c->path())) << c->path();
        EXPECT_FALSE(c->needsSave());
    }
}

TEST(ProjectLoader, FindsBothInsertionPointsForEveryExampleDefinitionButTheOneLiner) {
    ProjectLoader loader;
    VBE vbe(std::move(*loader.load({kExample + "/Ledger.vbp"})));
    ScriptedMessageBox boxes;
    ProcCatalogue catalogue(vbe, boxes);
    ASSERT_TRUE(catalogue.GetProcNames("*"));
    EXPECT_EQ(catalogue.size(), 36u);
    size_t definitions = 0;
    for (size_t j = 1; j < catalogue.Procs().size(); ++j) {
        const ProcInfo& p = catalogue.Procs()[j];
        const CodeModule& m = p.component->CodeModule();
        std::string name = declaration::HostName(p.ProcName);
        for (size_t d = 0; d < m.ProcDefinitions(name, p.ProcKind); ++d, ++definitions) {
            SCOPED_TRACE(p.ProcName + " #" + std::to_string(d + 1));
            auto trap = declaration::TrapLine(m, name, p.ProcKind, d);
            if (name == "Nop") {
                EXPECT_FALSE(trap);
                continue;
            }
            ASSERT_TRUE(trap) << trap.error().description;
            std::string before(m.line(*trap - 1));
            EXPECT_TRUE(before.find(')') != std::string::npos || before == "#End If");
            long last =
                *m.ProcStartLine(name, p.ProcKind, d) + *m.ProcCountLines(name, p.ProcKind, d) - 1;
            auto end = declaration::EndLine(m, declaration::KindKeywords(p.ProcType).endStatement,
                                            last, *trap);
            ASSERT_TRUE(end);
            if (name == "Elapsed") {
                EXPECT_EQ(before, "#End If");
            }
        }
    }
    // FindEntry, WriteLog, EntryLimit and Store's Get, Let and Set are each
    // defined twice, under #If.
    EXPECT_EQ(definitions, 36u + 6);
}

TEST(ProjectLoader, ResolvesVbpPathsWrittenWindowsStyleInAnyLetterCase) {
    TempDir dir;
    dir.write("App/Source/Util.bas", module("Util"));
    dir.write("Shared/Common.BAS", module("Common"));
    dir.write("App/App.vbp", "Type=Exe\r\nModule=Util; source\\util.bas\r\n"
                             "Module=Common; ..\\shared\\common.bas\r\nName=\"App\"\r\n");
    ProjectLoader loader;
    auto project = loader.load({dir.file("App/App.vbp")});
    ASSERT_TRUE(project);
    EXPECT_TRUE(loader.diagnostics().empty());
    EXPECT_EQ(componentNames(**project), (std::vector<std::string>{"Util", "Common"}));
}

TEST(ProjectLoader, NamesTheFileAndLineOfEveryUnusableComponentAndLoadsTheRest) {
    TempDir dir;
    dir.write("Good.bas", module("Good"));
    dir.write("Binary.frm", std::string("VERSION 5.00\r\n\0\0\x01", 17));
    dir.write("P.vbp", "Type=Exe\r\nModule=Gone; Gone.bas\r\nModule=Good; Good.bas\r\n"
                       "Form=Binary.frm\r\nClass=NoPath\r\nDesigner=C:\\Elsewhere\\D.dsr\r\n");
    ProjectLoader loader;
    auto project = loader.load({dir.file("P.vbp")});
    ASSERT_TRUE(project);
    EXPECT_EQ(componentNames(**project), std::vector<std::string>{"Good"});
    std::vector<std::string> seen;
    for (const Diagnostic& d : loader.diagnostics())
        seen.push_back(std::to_string(d.line) + " " + d.message);
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "5 Class= line has no \"Name; path\" pair", "2 Gone.bas: file not found",
                        "4 " + dir.file("Binary.frm") + ": binary file, not a VB module",
                        "6 C:\\Elsewhere\\D.dsr: file not found"}));
    EXPECT_EQ(loader.diagnostics()[0].file, dir.file("P.vbp"));
}

TEST(ProjectLoader, TakesTheStartupProjectOfAGroup) {
    TempDir dir;
    dir.write("A/A.bas", module("A"));
    dir.write("B/B.bas", module("B"));
    dir.write("A/A.vbp", "Module=A; A.bas\r\n");
    dir.write("B/B.vbp", "Module=B; B.bas\r\n");
    dir.write("G.vbg", "VBGROUP 5.0\r\nProject=A\\A.vbp\r\nStartupProject=B\\B.vbp\r\n");
    ProjectLoader loader;
    auto project = loader.load({dir.file("G.vbg")});
    ASSERT_TRUE(project);
    EXPECT_EQ(componentNames(**project), std::vector<std::string>{"B"});
    EXPECT_EQ((*project)->fileName(), dir.file("B/B.vbp"));
}

TEST(ProjectLoader, KeepsEveryFileOfAFolderAsItselfEvenWhenNamesRepeat) {
    TempDir dir;
    dir.write("one/Main.bas", module("Main"));
    dir.write("two/Main.bas", module("Main"));
    dir.write("two/notes.txt", "not a module");
    ProjectLoader loader;
    auto project = loader.load({dir.path(), dir.file("one/Main.bas")});
    ASSERT_TRUE(project);
    ASSERT_EQ((*project)->VBComponents().Count(), 2); // the file named twice is loaded once
    Component* a = *(*project)->VBComponents().Item(1);
    Component* b = *(*project)->VBComponents().Item(2);
    EXPECT_EQ(a->Name(), b->Name());
    EXPECT_NE(a->path(), b->path());
}

TEST(ProjectLoader, FailsOnlyWhenNothingCouldBeLoaded) {
    ProjectLoader loader;
    EXPECT_FALSE(loader.load({"/no/such/project.vbp"}));
    ASSERT_EQ(loader.diagnostics().size(), 1u);
    EXPECT_EQ(loader.diagnostics()[0].text(), "/no/such/project.vbp: no such file or folder");
}

TEST(ProjectLoader, RefusesAModuleWithCrLineEndsOnlyAndLoadsTheRest) {
    TempDir dir;
    dir.write("Good.bas", module("Good"));
    dir.write("Mac.bas", "Attribute VB_Name = \"Mac\"\rSub Init()\rEnd Sub\r");
    dir.write("P.vbp", "Type=Exe\r\nModule=Mac; Mac.bas\r\nModule=Good; Good.bas\r\n");
    const std::string why = "uses CR line ends only (old Mac style); convert the line ends to CR "
                            "LF and try again";

    ProjectLoader listed;
    auto project = listed.load({dir.file("P.vbp")});
    ASSERT_TRUE(project);
    EXPECT_EQ(componentNames(**project), std::vector<std::string>{"Good"});
    EXPECT_EQ(diagnosticTexts(listed), std::vector<std::string>{dir.file("P.vbp") + ":2: " +
                                                                dir.file("Mac.bas") + ": " + why});

    ProjectLoader named;
    project = named.load({dir.file("Mac.bas"), dir.file("Good.bas")});
    ASSERT_TRUE(project);
    EXPECT_EQ(componentNames(**project), std::vector<std::string>{"Good"});
    EXPECT_EQ(diagnosticTexts(named), std::vector<std::string>{dir.file("Mac.bas") + ": " + why});
}

TEST(ProjectLoader, SaysPermissionDeniedForAModuleInAFolderThatMayNotBeSearched) {
    TempDir dir;
    dir.write("Good.bas", module("Good"));
    dir.write("Locked/Deeper/Hidden.bas", module("Hidden"));
    dir.write("P.vbp", "Module=Hidden; locked\\Deeper\\Hidden.bas\r\nModule=Good; Good.bas\r\n");
    const std::vector<std::string> expected = {
        dir.file("P.vbp") + ":1: locked\\Deeper\\Hidden.bas: permission denied: the folder " +
            dir.file("Locked") + " cannot be searched",
        dir.file("Locked/Deeper/Hidden.bas") +
            ": permission denied: a folder on the way cannot be searched",
    };
    // In a child process, which may give up root for good.
    EXPECT_EXIT(
        {
            actAsAnOrdinaryUser(dir);
            ::chmod(dir.file("Locked").c_str(), 0600);
            ProjectLoader loader;
            auto project = loader.load({dir.file("P.vbp"), dir.file("Locked/Deeper/Hidden.bas")});
            for (const std::string& text : diagnosticTexts(loader))
                std::fprintf(stderr, "%s\n", text.c_str());
            bool rest = project && componentNames(**project) == std::vector<std::string>{"Good"};
            std::_Exit(rest && diagnosticTexts(loader) == expected ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    std::filesystem::permissions(dir.file("Locked"), std::filesystem::perms::owner_all);
}

TEST(ProjectLoader, RefusesAGroupWhoseStartupProjectIsNoProject) {
    TempDir dir;
    dir.write("A/A.bas", module("A"));
    dir.write("A/A.vbp", "Module=A; A.bas\r\n");
    dir.write("Self.vbg", "VBGROUP 5.0\r\nStartupProject=self.VBG\r\nProject=A\\A.vbp\r\n");
    dir.write("One.vbg", "VBGROUP 5.0\r\nProject=A\\A.vbp\r\nStartupProject=Two.vbg\r\n");
    dir.write("Two.vbg", "VBGROUP 5.0\r\nStartupProject=One.vbg\r\n");
    dir.write("Odd.vbg", "VBGROUP 5.0\r\nProject=A\\A.bas\r\n");
    dir.write("Posing.vbg", "VBGROUP 5.0\r\nStartupProject=Group.vbp\r\n");
    dir.write("Group.vbp", "VBGROUP 5.0\r\nStartupProject=A\\A.vbp\r\n");
    const std::pair<const char*, std::string> cases[] = {
        {"Self.vbg", ":2: self.VBG: the project group names itself as its project"},
        {"One.vbg", ":3: Two.vbg: a project group, not a project (.vbp)"},
        {"Odd.vbg", ":2: A\\A.bas: not a VB project (.vbp)"},
    };
    for (const auto& [group, message] : cases) {
        ProjectLoader loader;
        auto project = loader.load({dir.file(group)});
        ASSERT_TRUE(project) << group;
        EXPECT_EQ((*project)->VBComponents().Count(), 0) << group;
        EXPECT_EQ((*project)->fileName(), "") << group;
        EXPECT_EQ(diagnosticTexts(loader), std::vector<std::string>{dir.file(group) + message});
    }
    ProjectLoader loader;
    auto project = loader.load({dir.file("Posing.vbg")});
    ASSERT_TRUE(project);
    EXPECT_EQ((*project)->fileName(), "");
    EXPECT_EQ(diagnosticTexts(loader),
              std::vector<std::string>{dir.file("Group.vbp") + ": a project group, not a project"});
}

TEST(ProjectLoader, DeferredComponentsGoByTheNameTheirFileGivesBeforeTheyAreRead) {
    TempDir dir;
    dir.write("mods/util.bas", "Attribute VB_Name = \"modUtil\"\r\nSub A()\r\nEnd Sub\r\n");
    dir.write("mods/main.frm",
              "VERSION 5.00\r\nBegin VB.Form frmMain\r\n   Caption = \"x\"\r\nEnd\r\n"
              "Attribute VB_Name = \"frmMain\"\r\nOption Explicit\r\n");
    // No VB_Name in the head: the file's own name stands, and the code below
    // the head is not searched.
    dir.write("mods/bare.bas", "Attribute VB_Exposed = False\r\nSub B()\r\nEnd Sub\r\n"
                               "Attribute VB_Name = \"NotAHead\"\r\n");
    ProjectLoader loader;
    loader.setDeferContents(true);
    auto project = loader.load({dir.file("mods")});
    ASSERT_TRUE(project);
    EXPECT_EQ(componentNames(**project), (std::vector<std::string>{"bare", "frmMain", "modUtil"}));
    for (long i = 1; i <= (*project)->VBComponents().Count(); ++i)
        EXPECT_FALSE((*(*project)->VBComponents().Item(i))->isLoaded());
}
