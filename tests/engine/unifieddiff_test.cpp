#include "unifieddiff.h"

#include "../support/runcommand.h"
#include "../support/tempdir.h"
#include "codemodule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <sstream>

using trapline::CodeModule;
using trapline::UnifiedDiff;
namespace errors = trapline::errors;
namespace fs = std::filesystem;

namespace {

const std::string kModule = "Attribute VB_Name = \"Ledger\"\r\n"
                            "Option Explicit\r\n"
                            "\r\n"
                            "Public Sub Post(ByVal amount As Currency)\r\n"
                            "    Total = Total + amount\r\n"
                            "End Sub\r\n";

/// The module with a trap and handler added, as the inserter would.
CodeModule changedModule(const std::string& bytes) {
    CodeModule m(bytes);
    EXPECT_TRUE(m.InsertLines(m.CountOfLines(), "    Exit Sub\r\nFail:\r\n    LogError\r\n").ok());
    EXPECT_TRUE(m.InsertLines(m.CountOfLines() - 4, "    On Error GoTo Fail\r\n").ok());
    return m;
}

/// A project folder to run patch in, with the diff kept beside it.
class PatchFolder {
public:
    PatchFolder() { fs::create_directories(folder()); }
    std::string folder() const { return m_dir.file("project"); }
    std::string write(const std::string& relative, const std::string& bytes) const {
        return m_dir.write("project/" + relative, bytes);
    }
    /// Applies `diff` with `patch -p0` run in the project folder.
    CommandResult apply(const std::string& diff) const {
        const std::string file = m_dir.write("changes.diff", diff);
        return runCommand({"patch", "-p0", "-s", "-i", file}, folder());
    }

private:
    TempDir m_dir;
};

TEST(UnifiedDiffTest, PatchAppliesTheDiffWhateverBytesTheFileNameHoldsAndWhereverThePathClimbs) {
    // Names with spaces, tabs and Windows-1251 bytes are the command line's tests.
    const std::pair<std::string, std::string> cases[] = {
        {"Ledger.bas", "Ledger.bas"},
        {"New\nline.bas", "New\nline.bas"},
        {"Say \"hi\".bas", "Say \"hi\".bas"},
        {"\"Quoted.bas", "\"Quoted.bas"},
        {"back\\slash.bas", "back\\slash.bas"},
        {"\xd0\x9f\xd1\x80\xd0\xb8.bas", "\xd0\x9f\xd1\x80\xd0\xb8.bas"}, // UTF-8
        {" leading space.bas", " leading space.bas"},
        {"trailing space.bas ", "trailing space.bas "},
        {"cr\r bell\a del\x7f.bas", "cr\r bell\a del\x7f.bas"},
        {"Sub/../Common/./Shared Code.bas", "Common/Shared Code.bas"},
#ifdef _WIN32
        {"Sub\\..\\Common\\Shared Code.bas", "Common/Shared Code.bas"},
#endif
    };
    for (const auto& [path, name] : cases) {
        SCOPED_TRACE(path);
#ifdef _WIN32
        // Names Windows does not allow, or trims, and its separator as a letter.
        if (name.find_first_of("\"\\\n\r\a\x7f") != std::string::npos || name.back() == ' ')
            continue;
#endif
        PatchFolder project;
        project.write("Sub/Main.bas", "");
        project.write(name, kModule);
        const auto patchName = UnifiedDiff::patchName(path, project.folder());
        ASSERT_TRUE(patchName.ok()) << patchName.error().description;
        EXPECT_EQ(*patchName, name);
        if (!havePatch())
            continue;
        CodeModule m = changedModule(kModule);
        const CommandResult r =
            project.apply(UnifiedDiff::of(*patchName, m.edits(), m.eol(), 1714571107123456789));
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(TempDir::read(project.folder() + "/" + name), m.serialize());
    }
}

TEST(UnifiedDiffTest, PatchGivesTheChangedFileWithOrWithoutAFinalLineEnd) {
    if (!havePatch())
        GTEST_SKIP() << "patch is not installed";
    const struct {
        const char* what;
        std::string before;
        std::function<bool(CodeModule&)> edit;
    } rows[] = {
        {"a line after a last line without an end", "Sub A()\r\nEnd Sub",
         [](CodeModule& m) { return m.InsertLines(3, "' tail").ok(); }},
        {"a first line, the last without an end", "Sub A()\r\nEnd Sub",
         [](CodeModule& m) { return m.InsertLines(1, "' head").ok(); }},
        {"the last line without an end taken out", "Sub A()\r\n    x = 1\r\nEnd Sub",
         [](CodeModule& m) { return m.DeleteLines(3).ok(); }},
        {"a line after a last line with its end", "Sub A()\r\nEnd Sub\r\n",
         [](CodeModule& m) { return m.InsertLines(3, "' tail").ok(); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        PatchFolder project;
        project.write("M.bas", row.before);
        CodeModule m(row.before);
        ASSERT_TRUE(row.edit(m));
        const CommandResult r = project.apply(UnifiedDiff::of("M.bas", m.edits(), m.eol(), 0));
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(TempDir::read(project.folder() + "/M.bas"), m.serialize());
    }
}

TEST(UnifiedDiffTest, TimesAreWrittenAsDiffWritesThemInUtc) {
    // What GNU diff itself prints for a file of that time.
    TempDir dir;
    dir.write("old.bas", "a\n");
    dir.write("new.bas", "b\n");
    const int64_t when = 1714571107123456789;
#ifndef _WIN32 // where GNU diff and touch are
    const CommandResult diff = runShell("cd '" + dir.path() +
                                        "' && touch -d @1714571107.123456789 old.bas && "
                                        "TZ=UTC0 diff -u old.bas new.bas");
    ASSERT_EQ(diff.exitCode, 1) << diff.err;
    const std::string headers = UnifiedDiff::headers("old.bas", when);
    EXPECT_EQ(diff.out.substr(0, diff.out.find('\n')), headers.substr(0, headers.find('\n')));
#else
    const std::string headers = UnifiedDiff::headers("old.bas", when);
    EXPECT_EQ(headers.substr(0, headers.find('\n')),
              "--- old.bas\t2024-05-01 13:45:07.123456789 +0000");
#endif

    // Before 1970 the time still counts forward within its second; midnight
    // starts a day on either side of 1970.
    constexpr int64_t kDay = 86'400'000'000'000;
    const std::pair<int64_t, const char*> times[] = {
        {0, "1970-01-01 00:00:00.000000000"},
        {-1, "1969-12-31 23:59:59.999999999"},
        {-1'000'000'000, "1969-12-31 23:59:59.000000000"},
        {-kDay, "1969-12-31 00:00:00.000000000"},
        {kDay - 1, "1970-01-01 23:59:59.999999999"},
        {std::numeric_limits<int64_t>::min(), "1677-09-21 00:12:43.145224192"},
        {std::numeric_limits<int64_t>::max(), "2262-04-11 23:47:16.854775807"},
    };
    for (const auto& [ns, shown] : times)
        EXPECT_EQ(UnifiedDiff::headers("x", ns).substr(0, 41),
                  std::string("--- x\t") + shown + " +0000");
}

TEST(UnifiedDiffTest, AnAbsolutePathOrAFolderNamedAnotherWayNamesTheSameFileAndANewOneIsCreated) {
    PatchFolder project;
    project.write("Sub/Main.bas", "");
    project.write("Common/Shared Code.bas", kModule);
    // An absolute path, or a current folder written with a trailing slash or
    // through a symbolic link, names the same file.
    EXPECT_EQ(*UnifiedDiff::patchName(project.folder() + "/Common/Shared Code.bas",
                                      project.folder() + "/"),
              "Common/Shared Code.bas");
    const std::string alias = project.folder() + "-alias";
    std::error_code linked;
    fs::create_directory_symlink(utf8Path(project.folder()), utf8Path(alias), linked);
    if (!linked) { // where this user may make links
        EXPECT_EQ(*UnifiedDiff::patchName(project.folder() + "/Sub/Main.bas", alias),
                  "Sub/Main.bas");
    }
    fs::remove(utf8Path(alias));

    // A file not yet on disk is created by the patch.
    CodeModule added{std::string()};
    ASSERT_TRUE(added.InsertLines(1, "Attribute VB_Name = \"mdl_Error\"\r\nSub LogError()\r\n"));
    const auto name = UnifiedDiff::patchName("New Folder/mdl_Error.bas", project.folder());
    ASSERT_TRUE(name.ok());
    EXPECT_EQ(*name, "New Folder/mdl_Error.bas");
    if (!havePatch())
        return;
    ASSERT_EQ(project.apply(UnifiedDiff::of(*name, added.edits(), added.eol(), 0)).exitCode, 0);
    EXPECT_EQ(TempDir::read(project.folder() + "/New Folder/mdl_Error.bas"), added.serialize());
}

TEST(UnifiedDiffTest, FilesOutsideTheCurrentFolderAreRefusedWithTheirName) {
    PatchFolder project;
    const std::string outside = project.folder() + "/../Other/x.bas";
    project.write("../Other/x.bas", kModule);
    // A ".." after a symbolic link leads to the link target's parent, so the
    // lexical name "x.bas" would patch the wrong file.
    project.write("x.bas", kModule);
    fs::create_directories(project.folder() + "/../Other/Deep");
    std::error_code linked;
    fs::create_directory_symlink(utf8Path(project.folder() + "/../Other/Deep"),
                                 utf8Path(project.folder() + "/Link"), linked);
    std::vector<std::string> paths = {"../Other/x.bas", outside, "/etc/x.bas"};
    if (!linked) // where this user may make links
        paths.push_back("Link/../x.bas");
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const auto name = UnifiedDiff::patchName(path, project.folder());
        ASSERT_FALSE(name.ok()) << *name;
        EXPECT_EQ(name.error().number, errors::PathAccess);
        EXPECT_NE(name.error().description.find(path), std::string::npos);
    }
    // Nor is the folder itself, or a path that ends in one, a file to patch.
    for (const std::string& path : {std::string("."), std::string("Sub/"), std::string("")})
        EXPECT_FALSE(UnifiedDiff::patchName(path, project.folder()).ok()) << path;
}

} // namespace

TEST(UnifiedDiffTest, ChangesSixUnchangedLinesApartShareAHunkAndSevenApartDoNot) {
    const std::pair<long, std::string> cases[] = {
        {6, "@@ -2,14 +2,14 @@\n"},
        {7, "@@ -2,7 +2,7 @@\n@@ -10,7 +10,7 @@\n"},
    };
    for (const auto& [gap, hunks] : cases) {
        std::string bytes;
        for (int i = 1; i <= 20; ++i)
            bytes += "L" + std::to_string(i) + "\r\n";
        CodeModule m(bytes);
        ASSERT_TRUE(m.ReplaceLine(5, "X"));
        ASSERT_TRUE(m.ReplaceLine(5 + gap + 1, "Y"));
        std::string headers;
        std::istringstream diff(UnifiedDiff::of("m.bas", m.edits(), m.eol(), 0));
        for (std::string line; std::getline(diff, line);)
            if (line.starts_with("@@"))
                headers += line + "\n";
        EXPECT_EQ(headers, hunks) << gap;
    }
}
