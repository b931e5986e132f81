#include "diskfile.h"
#include "folderlocks.h"
#include "signalcleanup.h"

#include "../support/tempdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace trapline;
namespace fs = std::filesystem;

namespace {

/// Clears the test hook however a test ends.
struct HookGuard {
    explicit HookGuard(std::function<void(const std::string&)> hook) {
        DiskFile::setReplaceHook(std::move(hook));
    }
    ~HookGuard() { DiskFile::setReplaceHook({}); }
};

/// Writes `bytes` over the file in place and sets its modification time back.
void editKeepingTime(const std::string& path, const std::string& bytes) {
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    { std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes; }
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

} // namespace

TEST(DiskFile, AnEditMadeJustBeforeTheReplaceIsKeptAndReported) {
    TempDir dir;
    const std::string path = dir.write("m.bas", "Sub A()\r\nEnd Sub\r\n");
    auto read = DiskFile::read(path);
    ASSERT_TRUE(read);
    HookGuard hook(
        [](const std::string& p) { std::ofstream(p, std::ios::app) << "' USER EDIT\r\n"; });
    auto written = DiskFile::replace(path, "treated\r\n", &read->stamp);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().number, errors::ChangedOnDisk);
    EXPECT_EQ(TempDir::read(path), "Sub A()\r\nEnd Sub\r\n' USER EDIT\r\n");
    EXPECT_EQ(TempDir::namesIn(dir.path()), std::vector<std::string>{"m.bas"});
}

TEST(DiskFile, ASameSizeEditWithTheTimeSetBackIsNoticedBeforeAndDuringTheReplace) {
    for (bool duringReplace : {false, true}) {
        TempDir dir;
        const std::string path = dir.write("m.bas", "Sub A()\r\n");
        auto read = DiskFile::read(path);
        ASSERT_TRUE(read);
        if (!duringReplace)
            editKeepingTime(path, "Sub B()\r\n");
        HookGuard hook([&](const std::string& p) {
            if (duringReplace)
                editKeepingTime(p, "Sub B()\r\n");
        });
        auto written = DiskFile::replace(path, "treated\r\n", &read->stamp);
        ASSERT_FALSE(written) << duringReplace;
        EXPECT_EQ(TempDir::read(path), "Sub B()\r\n");
        EXPECT_EQ(TempDir::namesIn(dir.path()), std::vector<std::string>{"m.bas"});
    }
}

TEST(DiskFile, ASymbolicLinkStaysALinkAndTheFileItNamesIsReplaced) {
    TempDir dir;
    const std::string real = dir.write("real/m.bas", "old\r\n");
    fs::create_directories(dir.file("project"));
    fs::create_symlink("../real/m.bas", dir.file("project/m.bas"));
    auto read = DiskFile::read(dir.file("project/m.bas"));
    ASSERT_TRUE(read);
    auto written = DiskFile::replace(dir.file("project/m.bas"), "new\r\n", &read->stamp, true);
    ASSERT_TRUE(written) << written.error().description;
    EXPECT_TRUE(fs::is_symlink(dir.file("project/m.bas")));
    EXPECT_EQ(TempDir::read(real), "new\r\n");
    EXPECT_EQ(TempDir::read(written->backup), "old\r\n");
    EXPECT_EQ(DiskFile::folderOfTarget(dir.file("project/m.bas")),
              fs::canonical(dir.file("real")).string());
}

TEST(DiskFile, AFileWithSeveralNamesIsNotSplit) {
    TempDir dir;
    const std::string path = dir.write("m.bas", "old\r\n");
    ASSERT_EQ(::link(path.c_str(), dir.file("other.bas").c_str()), 0);
    auto read = DiskFile::read(path);
    ASSERT_TRUE(read);
    auto written = DiskFile::replace(path, "new\r\n", &read->stamp);
    ASSERT_FALSE(written);
    EXPECT_NE(written.error().description.find("hard links"), std::string::npos);
    EXPECT_EQ(TempDir::read(path), "old\r\n");
    EXPECT_EQ(TempDir::read(dir.file("other.bas")), "old\r\n");
    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::vector<std::string>{"m.bas", "other.bas"}));
}

TEST(DiskFile, AReplacementKeepsModeOwnerAndGroup) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to another owner";
    TempDir dir;
    const std::string path = dir.write("m.bas", "old\r\n");
    ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    auto read = DiskFile::read(path);
    ASSERT_TRUE(read);
    ASSERT_TRUE(DiskFile::replace(path, "new\r\n", &read->stamp));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(DiskFile, ABackupNeverOverwritesAnExistingOne) {
    TempDir dir;
    const std::string path = dir.write("m.bas", "first\r\n");
    dir.write("m.bas.bak", "the user's own backup\r\n");
    std::vector<std::string> kept;
    for (const char* next : {"second\r\n", "third\r\n"}) {
        auto read = DiskFile::read(path);
        ASSERT_TRUE(read);
        auto written = DiskFile::replace(path, next, &read->stamp, true);
        ASSERT_TRUE(written);
        kept.push_back(written->backup);
    }
    // The caller is told which name each backup took, to say so to the user.
    EXPECT_EQ(kept, (std::vector<std::string>{path + ".bak.1", path + ".bak.2"}));
    EXPECT_EQ(TempDir::read(dir.file("m.bas.bak")), "the user's own backup\r\n");
    EXPECT_EQ(TempDir::read(dir.file("m.bas.bak.1")), "first\r\n");
    EXPECT_EQ(TempDir::read(dir.file("m.bas.bak.2")), "second\r\n");
    EXPECT_EQ(TempDir::read(path), "third\r\n");
}

TEST(DiskFile, NonRegularFilesAreRefusedWithoutBlocking) {
    TempDir dir;
    const std::string fifo = dir.file("pipe.bas");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    auto read = DiskFile::read(fifo);
    ASSERT_FALSE(read);
    EXPECT_NE(read.error().description.find("a FIFO, not a regular file"), std::string::npos);
    EXPECT_FALSE(DiskFile::stamp(fifo));
    EXPECT_FALSE(DiskFile::stamp(dir.path()));
}

TEST(DiskFile, LeftoversOfAKilledRunAreRecognisedByTheirNameAlone) {
    TempDir dir;
    dir.write(".m.bas.trapline-999999-3", "staged");
    dir.write(".m.bas.trapline-notes", "the user's");
    dir.write("m.bas.trapline-1-1", "the user's too: not hidden");
    dir.write(".m.bas.trapline-" + std::to_string(::getpid()) + "-1", "this run's own");
    auto removed = DiskFile::removeLeftovers(dir.path());
    EXPECT_EQ(removed, std::vector<std::string>{dir.file(".m.bas.trapline-999999-3")});
    EXPECT_EQ(TempDir::namesIn(dir.path()).size(), 3u);
}

TEST(FolderLocks, ASecondRunWaitsForTheFirstAndThenRemovesItsLeftovers) {
    TempDir dir;
    auto first = FolderLocks::acquire({dir.path()}, {});
    ASSERT_TRUE(first);
    dir.write(".m.bas.trapline-999999-1", "left by a killed run");
    std::promise<void> waiting;
    std::thread second([&] {
        auto locks = FolderLocks::acquire({dir.path(), dir.path()},
                                          [&](const std::string&) { waiting.set_value(); });
        ASSERT_TRUE(locks);
        EXPECT_EQ(locks->leftovers().size(), 1u);
    });
    waiting.get_future().wait(); // the second run says it waits, and does
    EXPECT_EQ(TempDir::namesIn(dir.path()).size(), 1u);
    *first = FolderLocks();
    second.join();
    EXPECT_TRUE(TempDir::namesIn(dir.path()).empty());
}

TEST(SignalCleanup, ATerminatedProcessLeavesNoStagedFileBehind) {
    TempDir dir;
    const std::string a = dir.write("a.bas", "a\r\n"), b = dir.write("b.bas", "b\r\n");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SignalCleanup::install();
        for (const std::string& path : {a, b}) {
            auto read = DiskFile::read(path);
            if (!read || !DiskFile::stage(path, {"staged\r\n"}, &read->stamp, false))
                ::_exit(3);
        }
        ::kill(::getpid(), SIGTERM);
        for (;;)
            ::pause();
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::vector<std::string>{"a.bas", "b.bas"}));
    EXPECT_EQ(TempDir::read(a), "a\r\n");
}
