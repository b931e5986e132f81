#include "../support/tempdir.h"
#include "handleroptions.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using trapline::cli::displayPath;

namespace {

/// Runs in `folder` and goes back to where it was.
class InFolder {
public:
    explicit InFolder(const fs::path& folder) : m_before(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(m_before); }

private:
    fs::path m_before;
};

} // namespace

TEST(DisplayPath, NamesFilesAsProximateDoesFolderAfterFolderAndAfterTheCurrentFolderChanges) {
    TempDir dir;
    dir.write("root/sub/a.bas", "x");
    dir.write("root/sub/b.bas", "x");
    dir.write("other/c.bas", "x");
    std::error_code linkFailed;
    fs::create_directory_symlink(utf8Path(dir.file("root/sub")), utf8Path(dir.file("root/link")),
                                 linkFailed);
    if (!linkFailed)
        fs::create_symlink("a.bas", utf8Path(dir.file("root/sub/l.bas")), linkFailed);

    struct Row {
        const char* cwd;
        std::string given;
        const char* shown;
        bool needsLinks;
    };
    const Row rows[] = {
        {"root", "sub/a.bas", "sub/a.bas", false},
        {"root", "sub/b.bas", "sub/b.bas", false}, // the folder known already
        {"root", dir.file("root/sub/a.bas"), "sub/a.bas", false},
        {"root", "./sub/../sub/a.bas", "sub/a.bas", false},
        {"root", "../other/c.bas", "../other/c.bas", false},
        {"root", "sub/missing.bas", "sub/missing.bas", false},
        {"root", "link/a.bas", "sub/a.bas", true}, // a linked folder resolves
        {"root", "sub/l.bas", "sub/a.bas", true},  // and so does a linked file
        {"root/sub", "a.bas", "a.bas", false},     // the same names from elsewhere
        {"root/sub", dir.file("root/sub/b.bas"), "b.bas", false},
        {"root/sub", "../link/b.bas", "b.bas", true},
        {"root", "sub/a.bas", "sub/a.bas", false}, // and back again
    };
    for (const Row& row : rows) {
        if (row.needsLinks && linkFailed)
            continue;
        const InFolder in(utf8Path(dir.file(row.cwd)));
        EXPECT_EQ(displayPath(row.given), row.shown) << row.cwd << " " << row.given;
        EXPECT_EQ(utf8Path(displayPath(row.given)), fs::proximate(utf8Path(row.given)))
            << row.given;
    }
}
