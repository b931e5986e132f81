#include "diskfile.h"
#include "folderlocks.h"
#include "signalcleanup.h"

#include "../support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

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

/// The number of a process that has ended.
long deadPid() {
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TEST(DiskFile, OnlyProvableLeftoversOfDeadRunsAreRemoved) {
    TempDir dir;
    const std::string dead = std::to_string(deadPid());
    const std::string self = std::to_string(::getpid());
    struct {
        std::string name;
        bool removed;
    } const cases[] = {
        {".m.bas.trapline-" + dead + "-3", true},
        {".notes.txt.trapline-" + dead + "-0", false}, // not a module of the folder
        {".m.bas.trapline-1-0", false},                // its process lives
        {".m.bas.trapline-" + self + "-1", false},     // this run's own
        {".m.bas.trapline-notes", false},
        {"m.bas.trapline-" + dead + "-1", false}, // not hidden: the user's
        {"m.bas.kept", false},
    };
    for (const auto& c : cases)
        dir.write(c.name, "bytes");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int64_t runBegan = nowNs();
    // File times tick coarser than the clock.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dir.write(".m.bas.trapline-" + dead + "-4", "made after the run began");

    auto removed = DiskFile::removeLeftovers(dir.path(), {"m.bas", "o.cls"}, runBegan);
    std::vector<std::string> expected;
    for (const auto& c : cases)
        if (c.removed)
            expected.push_back(dir.file(c.name));
    EXPECT_EQ(removed, expected);
    EXPECT_EQ(TempDir::namesIn(dir.path()).size(), std::size(cases));
}

TEST(FolderLocks, ASecondRunWaitsForTheFirstAndCanGiveUp) {
    TempDir dir;
    auto first = FolderLocks::acquire({dir.path()}, {});
    ASSERT_TRUE(first);
    int calls = 0;
    auto given = FolderLocks::acquire({dir.path()}, [&](const std::string& folder) {
        EXPECT_EQ(folder, dir.path());
        return ++calls < 3;
    });
    ASSERT_FALSE(given);
    EXPECT_EQ(given.error().number, errors::Cancelled);
    EXPECT_EQ(calls, 3);

    std::promise<void> waiting;
    std::atomic<bool> locked{false};
    std::thread second([&] {
        bool told = false;
        auto locks = FolderLocks::acquire({dir.path(), dir.path()}, [&](const std::string&) {
            if (!std::exchange(told, true))
                waiting.set_value();
            return true;
        });
        locked = locks.ok();
    });
    waiting.get_future().wait(); // the second run says it waits, and does
    EXPECT_FALSE(locked);
    *first = FolderLocks();
    second.join();
    EXPECT_TRUE(locked);
}

TEST(FolderLocks, AFolderReachedByTwoPathsIsLockedOnce) {
    TempDir dir;
    fs::create_directories(dir.file("common"));
    fs::create_symlink("common", dir.file("link"));
    std::vector<std::string> names{dir.file("common"), dir.file("link"),
                                   dir.file("link/../common/.")};
    const bool root = ::geteuid() == 0;
    if (root) {
        fs::create_directories(dir.file("bound"));
        if (::system(("mount --bind '" + dir.file("common") + "' '" + dir.file("bound") +
                      "' 2>/dev/null")
                         .c_str()) == 0)
            names.push_back(dir.file("bound"));
    }
    struct Unmount {
        std::string path;
        ~Unmount() {
            if (!path.empty())
                (void)::system(("umount '" + path + "' 2>/dev/null").c_str());
        }
    } unmount{names.size() == 4 ? dir.file("bound") : std::string()};
    // Whatever the order or the names, one run never waits for itself.
    for (bool reversed : {false, true}) {
        std::vector<std::string> order = names;
        if (reversed)
            std::reverse(order.begin(), order.end());
        auto locks = FolderLocks::acquire(order, [](const std::string&) { return false; });
        ASSERT_TRUE(locks) << locks.error().description;
    }
}

TEST(DiskFile, AnEditThatCannotBeSwappedBackIsKeptUnderAVisibleName) {
    // What each failing step leaves: a visible copy of the user's version,
    // its bytes back in the file, or a message naming where it is.
    struct {
        std::vector<std::string> failing;
        bool written;
        std::string inFile;
    } const cases[] = {
        {{"swap back"}, true, "treated\r\n"},
        {{"swap back", "set aside"}, false, "old\r\n' USER EDIT\r\n"},
        {{"swap back", "set aside", "copy back"}, false, "treated\r\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.write("m.bas", "old\r\n");
        dir.write("m.bas.kept", "a name already taken");
        auto read = DiskFile::read(path);
        ASSERT_TRUE(read);
        HookGuard hook(
            [](const std::string& p) { std::ofstream(p, std::ios::app) << "' USER EDIT\r\n"; });
        DiskFile::setFaultHook([&](std::string_view step) {
            return std::find(c.failing.begin(), c.failing.end(), step) != c.failing.end();
        });
        auto written = DiskFile::replace(path, "treated\r\n", &read->stamp);
        DiskFile::setFaultHook({});
        const std::string said = written ? written->note : written.error().description;
        SCOPED_TRACE(said);
        ASSERT_EQ(written.ok(), c.written);
        EXPECT_EQ(TempDir::read(path), c.inFile);
        // Wherever the user's version went, the message says so.
        std::vector<std::string> names = TempDir::namesIn(dir.path());
        std::string keeper;
        for (const std::string& name : names)
            if (name != "m.bas" && name != "m.bas.kept" &&
                TempDir::read(dir.file(name)) == "old\r\n' USER EDIT\r\n")
                keeper = dir.file(name);
        if (c.written) {
            EXPECT_EQ(written->setAside, path + ".kept.1");
            EXPECT_EQ(keeper, written->setAside);
            EXPECT_NE(said.find("holds the treated text"), std::string::npos);
        } else {
            EXPECT_EQ(written.error().number, errors::ChangedOnDisk);
            ASSERT_FALSE(keeper.empty());
        }
        EXPECT_NE(said.find(keeper), std::string::npos);
        EXPECT_EQ(names.size(), 3u);
    }
}

TEST(DiskFile, ARefusedBackupLeavesTheFileAsItWas) {
    TempDir dir;
    const std::string path = dir.write("m.bas", "old\r\n");
    dir.write("m.bas.bak", "taken");
    for (int n = 1; n < 1000; ++n)
        dir.write("m.bas.bak." + std::to_string(n), "taken");
    for (bool swapBackFails : {false, true}) {
        auto read = DiskFile::read(path);
        ASSERT_TRUE(read);
        DiskFile::setFaultHook(
            [&](std::string_view step) { return swapBackFails && step == "swap back"; });
        auto written = DiskFile::replace(path, "treated\r\n", &read->stamp, true);
        DiskFile::setFaultHook({});
        if (!swapBackFails) {
            ASSERT_FALSE(written);
            EXPECT_NE(written.error().description.find("no free backup name"), std::string::npos);
            EXPECT_EQ(TempDir::read(path), "old\r\n");
        } else {
            // Put in place after all: the old text is kept, and said where.
            ASSERT_TRUE(written);
            EXPECT_EQ(TempDir::read(path), "treated\r\n");
            EXPECT_EQ(TempDir::read(written->setAside), "old\r\n");
        }
    }
}

TEST(DiskFile, ANewFileGetsItsModeFromTheUmask) {
    for (mode_t mask : {022, 077}) {
        TempDir dir;
        mode_t old = ::umask(mask);
        auto written = DiskFile::replace(dir.file("new.bas"), "x\r\n", nullptr);
        ::umask(old);
        ASSERT_TRUE(written);
        struct stat st {};
        ASSERT_EQ(::stat(dir.file("new.bas").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
    }
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
