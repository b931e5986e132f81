#include "projectloader.h"

#include "../support/tempdir.h"
#include "platform/filesystem.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace trapline;

namespace {

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

#ifndef _WIN32
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

#endif

} // namespace

TEST(ProjectLoader, LoadsEachVbpLineItCanAndNamesTheLineOfEveryOtherWithWhy) {
    TempDir dir;
    dir.write("App/Source/Util.bas", module("Util"));
    dir.write("App/Good.bas", module("Good"));
    dir.write("App/Binary.frm", std::string("VERSION 5.00\r\n\0\0\x01", 17));
    dir.write("App/Mac.bas", "Attribute VB_Name = \"Mac\"\rSub Init()\rEnd Sub\r");
    // Two names that differ only in letter case are one file on Windows.
    const bool twins = !platform::namesIgnoreCase();
    dir.write("App/Twin.bas", module("Twin"));
    if (twins)
        dir.write("App/TWIN.bas", module("Twin"));
    dir.write("App/readme.txt", "Sub Main()\r\nEnd Sub\r\n");
    dir.write("Shared/Common.BAS", module("Common"));
    dir.write("Shared/Abs.bas", module("Abs"));
    dir.write("Shared/Linked.bas", module("Linked"));
    std::error_code linkRefused; // where this user may not make links
    std::filesystem::create_directory_symlink("../Shared", utf8Path(dir.file("App/lib")),
                                              linkRefused);
    const bool linked = !linkRefused;
    // A file not found, or outside the folder and no module, is the command line's test.
    struct Line {
        std::string text;
        std::string refused; ///< part of the line's diagnostic; empty when it loads
    };
    std::vector<Line> lines = {
        {"Module=Util; source\\util.bas", {}},
        {"Module=Common; ..\\shared\\common.bas", {}},
        {"Module=Abs; " + dir.file("Shared/Abs.bas"), {}},
        {"Form=Binary.frm", dir.file("App/Binary.frm") + ": binary file, not a VB module"},
        {"Class=NoPath", "Class= line has no \"Name; path\" pair"},
        {"Designer=C:\\Elsewhere\\D.dsr", "C:\\Elsewhere\\D.dsr: file not found"},
        {"Module=Mac; Mac.bas", dir.file("App/Mac.bas") + ": uses CR line ends only"},
        {"Module=Twin; twin.bas", twins ? "differ only in letter case" : ""},
        {"Module=Readme; readme.txt", "readme.txt: not a VB module"},
        {"Module=Good; Good.bas", {}},
    };
    if (linked)
        lines.push_back({"Module=Linked; lib\\Linked.bas", {}}); // inside by name, outside in fact
    std::string vbp;
    for (const Line& line : lines)
        vbp += line.text + "\r\n";
    // The sections at the end hold settings, never components.
    const long section = long(lines.size()) + 1;
    dir.write("App/App.vbp", vbp + "[MS Transaction Server]\r\nModule=After; Gone.bas\r\n");
    std::vector<std::string> outside = {
        dir.file("App/../Shared/Common.BAS") + " lies outside the project's folder",
        dir.file("Shared/Abs.bas") + " lies outside the project's folder"};
    if (linked)
        outside.push_back(dir.file("App/lib/Linked.bas") + " lies outside the project's folder");

    // Deferred, a file's body is looked at only when it is read: the lines
    // refused for their body are left out of that round.
    auto byBody = [](const Line& line) {
        return line.text.find("Binary") != std::string::npos ||
               line.text.find("Mac") != std::string::npos;
    };
    for (bool defer : {false, true}) {
        SCOPED_TRACE(defer ? "deferred" : "read at once");
        ProjectLoader loader;
        loader.setDeferContents(defer);
        auto project = loader.load({dir.file("App/App.vbp")});
        ASSERT_TRUE(project);
        std::vector<std::string> expected{"Util", "Common", "Abs", "Good"};
        if (!twins)
            expected.insert(expected.begin() + 3, "Twin");
        if (linked)
            expected.push_back("Linked");
        std::vector<std::string> loaded;
        std::map<long, std::string> refused;
        for (const std::string& name : componentNames(**project))
            if (!defer || (name != "Mac" && name != "Binary"))
                loaded.push_back(name);
        EXPECT_EQ(loaded, expected);
        EXPECT_EQ(loader.notices(), outside);
        for (const Diagnostic& d : loader.diagnostics()) {
            EXPECT_EQ(d.file, dir.file("App/App.vbp"));
            refused[d.line] = d.message;
        }
        EXPECT_EQ(refused.count(section + 1), 0u);
        for (long n = 1; n < section; ++n) {
            const Line& line = lines[n - 1];
            if (defer && byBody(line))
                continue;
            EXPECT_TRUE(line.refused.empty() ? refused[n].empty()
                                             : refused[n].find(line.refused) != std::string::npos)
                << line.text << ": " << refused[n];
        }
    }
}

TEST(ProjectLoader, SaysPermissionDeniedForAFileInAFolderItMayNotSearch) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows folder has no search permission apart from reading";
#else
    // Folders skipped while walking are the command line's tests.
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
            const std::vector<std::string> texts = diagnosticTexts(loader);
            for (const std::string& text : texts)
                std::fprintf(stderr, "%s\n", text.c_str());
            const bool rest =
                project && componentNames(**project) == std::vector<std::string>{"Good"};
            std::_Exit(rest && texts == expected ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    std::filesystem::permissions(dir.file("Locked"), std::filesystem::perms::owner_all);
#endif
}

TEST(ProjectLoader, TakesTheStartupProjectOfAGroupAndRefusesOneThatIsNoProject) {
    TempDir dir;
    for (const char* name : {"A", "B"}) {
        dir.write(name + std::string("/") + name + ".bas", module(name));
        dir.write(name + std::string("/") + name + ".vbp",
                  "Module=" + std::string(name) + "; " + name + ".bas\r\n");
    }
    dir.write("G.vbg", "VBGROUP 5.0\r\nProject=A\\A.vbp\r\nStartupProject=B\\B.vbp\r\n");
    dir.write("Self.vbg", "VBGROUP 5.0\r\nStartupProject=self.VBG\r\nProject=A\\A.vbp\r\n");
    dir.write("One.vbg", "VBGROUP 5.0\r\nProject=A\\A.vbp\r\nStartupProject=Two.vbg\r\n");
    dir.write("Two.vbg", "VBGROUP 5.0\r\nStartupProject=One.vbg\r\n");
    dir.write("Odd.vbg", "VBGROUP 5.0\r\nProject=A\\A.bas\r\n");
    dir.write("Posing.vbg", "VBGROUP 5.0\r\nStartupProject=Group.vbp\r\n");
    dir.write("Group.vbp", "VBGROUP 5.0\r\nStartupProject=A\\A.vbp\r\n");
    // The first startup line counts, whatever the letter case of its key.
    dir.write("Twice.vbg", "VBGROUP 5.0\r\nSTARTUPPROJECT=B\\B.vbp\r\nStartupProject=A\\A.vbp\r\n");
    const struct {
        const char* group;
        std::string said; ///< empty when project B loads
    } cases[] = {
        {"G.vbg", {}},
        {"Twice.vbg", {}},
        {"Self.vbg", dir.file("Self.vbg") + ":2: self.VBG: the project group names itself as its "
                                            "project"},
        {"One.vbg", dir.file("One.vbg") + ":3: Two.vbg: a project group, not a project (.vbp)"},
        {"Odd.vbg", dir.file("Odd.vbg") + ":2: A\\A.bas: not a VB project (.vbp)"},
        {"Posing.vbg", dir.file("Group.vbp") + ": a project group, not a project"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.group);
        ProjectLoader loader;
        auto project = loader.load({dir.file(c.group)});
        ASSERT_TRUE(project);
        const bool loaded = c.said.empty();
        EXPECT_EQ(componentNames(**project),
                  loaded ? std::vector<std::string>{"B"} : std::vector<std::string>{});
        EXPECT_EQ((*project)->fileName(), loaded ? dir.file("B/B.vbp") : "");
        EXPECT_EQ(diagnosticTexts(loader),
                  loaded ? std::vector<std::string>{} : std::vector<std::string>{c.said});
    }
}

TEST(ProjectLoader, TakesEachModuleOfAFolderOnceByTheNameItsHeadGivesReadOrNot) {
    TempDir dir;
    dir.write("mods/util.bas", "Attribute VB_Name = \"modUtil\"\r\nSub A()\r\nEnd Sub\r\n");
    dir.write("mods/two/util.bas", "Attribute VB_Name = \"modUtil\"\r\nSub B()\r\nEnd Sub\r\n");
    dir.write("mods/two/notes.txt", "not a module");
    dir.write("mods/main.frm",
              "VERSION 5.00\r\nBegin VB.Form frmMain\r\n   Caption = \"x\"\r\nEnd\r\n"
              "Attribute VB_Name = \"frmMain\"\r\nOption Explicit\r\n");
    // No VB_Name in the head: the file's own name stands, and the code below
    // the head is not searched.
    dir.write("mods/bare.bas", "Attribute VB_Exposed = False\r\nSub B()\r\nEnd Sub\r\n"
                               "Attribute VB_Name = \"NotAHead\"\r\n");
    // Heads longer than the first piece read for them: the name past it, and
    // a name line the piece ends in, which must not be taken cut short.
    dir.write("mods/huge.frm", "VERSION 5.00\r\nBegin VB.Form frmHuge\r\n   Caption = \"" +
                                   std::string(6000, 'x') +
                                   "\"\r\nEnd\r\nAttribute VB_Name = \"frmHuge\"\r\n");
    // A byte order mark before the head is no part of the name line.
    dir.write("mods/bom.bas", "\xEF\xBB\xBF"
                              "Attribute VB_Name = \"modBom\"\r\nSub D()\r\nEnd Sub\r\n");
    dir.write("mods/long.bas",
              "Attribute VB_Description = \"" + std::string(4050, 'x') +
                  "\"\r\nAttribute VB_Name = \"modLongHead\"\r\nSub C()\r\nEnd Sub\r\n");
    for (bool defer : {false, true}) {
        SCOPED_TRACE(defer ? "deferred" : "read at once");
        ProjectLoader loader;
        loader.setDeferContents(defer);
        // The file named twice is still one module; two files of one name are two.
        auto project = loader.load({dir.file("mods"), dir.file("mods/util.bas")});
        ASSERT_TRUE(project);
        EXPECT_EQ(componentNames(**project),
                  (std::vector<std::string>{"bare", "modBom", "frmHuge", "modLongHead", "frmMain",
                                            "modUtil", "modUtil"}));
        for (long i = 1; i <= (*project)->VBComponents().Count(); ++i)
            EXPECT_EQ((*(*project)->VBComponents().Item(i))->isLoaded(), !defer);
    }
}
