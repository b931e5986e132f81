#include "diskfile.h"
#include "folderlocks.h"
#include "signalcleanup.h"

#include "../support/links.h"
#include "../support/runcommand.h"
#include "platform/filesystem.h"
#include "platform/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>
#include <utility>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

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
    const fs::file_time_type before = fs::last_write_time(utf8Path(path));
    { std::ofstream(utf8Path(path), std::ios::binary | std::ios::trunc) << bytes; }
    fs::last_write_time(utf8Path(path), before);
}

} // namespace

TEST(DiskFile, OnlyProvableLeftoversOfDeadRunsAreRemoved) {
    TempDir dir;
    const std::string dead = std::to_string(deadProcessId());
    const std::string self = std::to_string(platform::processId());
    struct {
        std::string name;
        bool removed;
    } const cases[] = {
        {".m.bas.trapline-" + dead + "-3", true},
        {".notes.txt.trapline-" + dead + "-0", false}, // not a module of the folder
#ifndef _WIN32                          // (on Windows this process is the only one known to live)
        {".m.bas.trapline-1-0", false}, // its process lives
#endif
        {".m.bas.trapline-" + self + "-1", false}, // this run's own
        {".m.bas.trapline-notes", false},
        {"m.bas.trapline-" + dead + "-1", false}, // not hidden: the user's
        {"m.bas.kept", false},
        {".m.bas.trapline-" + dead + "-7", false}, // marked: the only copy of a set-aside edit
    };
    for (const auto& c : cases)
        dir.write(c.name, "bytes");
    ASSERT_FALSE(platform::markKept(dir.file(".m.bas.trapline-" + dead + "-7")));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int64_t runBegan = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
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

TEST(FolderLocks, AFolderReachedByTwoPathsIsLockedOnce) {
    TempDir dir;
    fs::create_directories(dir.file("common"));
    std::error_code linked;
    fs::create_directory_symlink("common", dir.file("link"), linked);
    if (linked)
        GTEST_SKIP() << "this user may not make symbolic links here: " << linked.message();
    // A module reached through a link is locked in the folder of the file it names.
    dir.write("common/m.bas", "x\r\n");
    fs::create_symlink("link/m.bas", dir.file("m.bas"));
    EXPECT_EQ(DiskFile::folderOfTarget(dir.file("m.bas")), fs::canonical(dir.file("common")));
    std::vector<std::string> names{dir.file("common"), dir.file("link"),
                                   dir.file("link/../common/.")};
#ifndef _WIN32
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
#endif
    // Whatever the order or the names, one run never waits for itself.
    for (bool reversed : {false, true}) {
        std::vector<std::string> order = names;
        if (reversed)
            std::reverse(order.begin(), order.end());
        auto locks = FolderLocks::acquire(order, [](const std::string&) { return false; });
        ASSERT_TRUE(locks) << locks.error().description;
    }
}

TEST(DiskFile, AnEditMadeBeforeOrWhileReplacingIsNeverLostNorLeftUnderATemporaryName) {
    // What each failing step leaves: the edit swapped back, a visible copy of
    // it, its bytes written back into the file, or a message naming where it is.
    // The edit keeps the size and sets the time back: only its bytes tell.
    const std::string edited = "new\r\n";
    struct {
        bool before; ///< edited before the replace begins, not during it
        std::vector<std::string> failing;
        std::string inFile;
        std::string keptAs; ///< where else the edited version is, if anywhere
    } const cases[] = {
        {true, {}, edited, ""},
        {false, {}, edited, ""},
#ifndef _WIN32 // Windows has no exchange of names, so none of its steps to fail
        {false, {"swap back"}, "treated\r\n", "m.bas.kept.1"},
        {false, {"swap back", "set aside"}, edited, ".m.bas.trapline-"},
        {false, {"swap back", "set aside", "copy back"}, "treated\r\n", ".m.bas.trapline-"},
#endif
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.write("m.bas", "old\r\n");
        dir.write("m.bas.kept", "a name already taken");
        auto read = DiskFile::read(path);
        ASSERT_TRUE(read);
        if (c.before)
            editKeepingTime(path, edited);
        HookGuard hook([&](const std::string& p) {
            if (!c.before)
                editKeepingTime(p, edited);
        });
        DiskFile::setFaultHook([&](std::string_view step) {
            return std::find(c.failing.begin(), c.failing.end(), step) != c.failing.end();
        });
        auto written = DiskFile::replace(path, "treated\r\n", &read->stamp);
        DiskFile::setFaultHook({});
        const std::string said = written ? written->note : written.error().description;
        SCOPED_TRACE(said);
        EXPECT_EQ(TempDir::read(path), c.inFile);
        std::vector<std::string> others;
        for (const std::string& name : TempDir::namesIn(dir.path()))
            if (name != "m.bas" && name != "m.bas.kept")
                others.push_back(name);
        if (c.keptAs.empty()) {
            EXPECT_TRUE(others.empty());
        } else {
            ASSERT_EQ(others.size(), 1u);
            EXPECT_EQ(others[0].rfind(c.keptAs, 0), 0u) << others[0];
            EXPECT_EQ(TempDir::read(dir.file(others[0])), edited);
            EXPECT_NE(said.find(dir.file(others[0])), std::string::npos);
        }
        // The treated text in place counts as written, and says where the other went.
        ASSERT_EQ(written.ok(), c.inFile == "treated\r\n");
        if (written)
            EXPECT_EQ(written->setAside, dir.file(others[0]));
        else
            EXPECT_EQ(written.error().number, errors::ChangedOnDisk);
        // The only copy under a temporary name is marked for the clean-up to leave.
        platform::FileStatus st;
        if (written && c.keptAs != "m.bas.kept.1") {
            EXPECT_TRUE(!platform::status(written->setAside, st) && st.kept);
        }
    }
}

TEST(DiskFile, ARefusedBackupLeavesTheFileAsItWas) {
    TempDir dir;
    const std::string path = dir.write("m.bas", "old\r\n");
    dir.write("m.bas.bak", "taken");
    for (int n = 1; n < 1000; ++n)
        dir.write("m.bas.bak." + std::to_string(n), "taken");
#ifdef _WIN32 // which has no exchange of names to swap back
    for (bool swapBackFails : {false}) {
#else
    for (bool swapBackFails : {false, true}) {
#endif
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
            ASSERT_TRUE(written) << written.error().description;
            EXPECT_EQ(TempDir::read(path), "treated\r\n");
            EXPECT_EQ(TempDir::read(written->setAside), "old\r\n");
        }
    }
    // The last name of all is taken when it is the one free.
    ASSERT_FALSE(platform::remove(dir.file("m.bas.bak.999")));
    const std::string before = TempDir::read(path);
    auto read = DiskFile::read(path);
    ASSERT_TRUE(read);
    auto written = DiskFile::replace(path, "again\r\n", &read->stamp, true);
    ASSERT_TRUE(written) << written.error().description;
    EXPECT_EQ(TempDir::read(dir.file("m.bas.bak.999")), before);
}

TEST(DiskFile, AReplacementKeepsModeOwnerAndGroupAndANewFileTakesItsModeFromTheUmask) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no mode bits, owner and group or umask";
#else
    const bool root = ::geteuid() == 0; // only root may give a file to another owner
    for (mode_t mask : {022, 077}) {
        TempDir dir;
        const std::string path = dir.write("m.bas", "old\r\n");
        ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
        ASSERT_TRUE(!root || ::chown(path.c_str(), 4321, 4322) == 0);
        auto read = DiskFile::read(path);
        ASSERT_TRUE(read);
        mode_t old = ::umask(mask);
        const bool replaced = DiskFile::replace(path, "new\r\n", &read->stamp).ok();
        const bool created = DiskFile::replace(dir.file("new.bas"), "x\r\n", nullptr).ok();
        ::umask(old);
        ASSERT_TRUE(replaced && created);
        struct stat kept {};
        struct stat fresh {};
        ASSERT_EQ(::stat(path.c_str(), &kept), 0);
        ASSERT_EQ(::stat(dir.file("new.bas").c_str(), &fresh), 0);
        EXPECT_EQ(kept.st_mode & 07777, 0640u);
        EXPECT_TRUE(!root || (kept.st_uid == 4321u && kept.st_gid == 4322u));
        EXPECT_EQ(fresh.st_mode & 0777, 0666u & ~mask);
    }
#endif
}

TEST(SignalCleanup, ATerminatedOrHungUpProcessLeavesNoStagedFileBehind) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no SIGTERM or SIGHUP to send a process";
#else
    // An interrupt is the command line's test.
    for (int sig : {SIGTERM, SIGHUP}) {
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
            ::kill(::getpid(), sig);
            for (;;)
                ::pause();
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_EQ(TempDir::namesIn(dir.path()), (std::vector<std::string>{"a.bas", "b.bas"}));
        EXPECT_EQ(TempDir::read(a), "a\r\n");
    }
#endif
}

TEST(DiskFile, AModuleReachedThroughALinkIsWrittenInTheFileItLeadsToAndTheLinkStays) {
    TempDir dir;
    const std::string real = dir.write("real/m.bas", "old\r\n");
    const std::string link = dir.file("m.bas");
    if (!makeLink("real/m.bas", link))
        GTEST_SKIP() << "this system makes no symbolic links";
    auto read = DiskFile::read(link);
    ASSERT_TRUE(read);
    auto written = DiskFile::replace(link, "treated\r\n", &read->stamp);
    ASSERT_TRUE(written) << written.error().description;
    EXPECT_EQ(TempDir::read(real), "treated\r\n");
    EXPECT_TRUE(fs::equivalent(utf8Path(link), utf8Path(real))); // still the link to it
    // The folder locked and written in is the file's.
    EXPECT_TRUE(
        fs::equivalent(utf8Path(DiskFile::folderOfTarget(link)), utf8Path(dir.file("real"))));
    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::vector<std::string>{"m.bas", "real"}));
    EXPECT_EQ(TempDir::namesIn(dir.file("real")), std::vector<std::string>{"m.bas"});

    // A link whose file went since it was read leads nowhere: refused by name,
    // and nothing is made in the file's place or the link's.
    const std::string gone = dir.write("real/gone.bas", "old\r\n");
    ASSERT_TRUE(makeLink("real/gone.bas", dir.file("gone.bas")));
    auto before = DiskFile::read(dir.file("gone.bas"));
    ASSERT_TRUE(before);
    ASSERT_FALSE(platform::remove(gone));
    const std::vector<std::string> names = TempDir::namesIn(dir.path());
    auto refused = DiskFile::replace(dir.file("gone.bas"), "x\r\n", &before->stamp);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().source, dir.file("gone.bas"));
    if (linksAreSeen()) { // under wine a link to nothing is not there at all
        EXPECT_FALSE(DiskFile::replace(dir.file("gone.bas"), "x\r\n", nullptr));
    }
    EXPECT_EQ(TempDir::namesIn(dir.path()), names);
    EXPECT_EQ(TempDir::namesIn(dir.file("real")), std::vector<std::string>{"m.bas"});
}

TEST(DiskFile, AFileRemovedSinceItWasLoadedIsRefusedWhenStagedAndNotMadeAgain) {
    TempDir dir;
    const std::string path = dir.write("m.bas", "old\r\n");
    auto read = DiskFile::read(path);
    ASSERT_TRUE(read);
    ASSERT_FALSE(platform::remove(path));
    // Refused before anything is written, so that a run stages all or nothing.
    auto staged = DiskFile::stage(path, {"treated\r\n"}, &read->stamp, false);
    ASSERT_FALSE(staged);
    EXPECT_EQ(staged.error().number, errors::ChangedOnDisk);
    EXPECT_NE(staged.error().description.find("removed since it was loaded"), std::string::npos);
    EXPECT_TRUE(TempDir::namesIn(dir.path()).empty());
    auto replaced = DiskFile::replace(path, "treated\r\n", &read->stamp);
    ASSERT_FALSE(replaced);
    EXPECT_EQ(replaced.error().number, errors::ChangedOnDisk);
    EXPECT_TRUE(TempDir::namesIn(dir.path()).empty());
    // Gone, or under a name that is a file's, it is VB's "File not found".
    dir.write("file", "x");
    for (const std::string& gone : {path, dir.file("file/m.bas")}) {
        auto again = DiskFile::read(gone);
        ASSERT_FALSE(again) << gone;
        EXPECT_EQ(again.error().number, errors::FileNotFound) << gone;
    }
}

TEST(DiskFile, ALeftoverWrittenAfterTheRunBeganIsKeptWhateverItsChangeTimeSays) {
    // The change time cannot be set back, the modification time can, and it
    // is the only time that a file system without change times (FAT, a
    // share) or another machine's clock gives: a leftover it calls recent is
    // not provably a dead run's, and stays.
    TempDir dir;
    const std::string name = ".m.bas.trapline-" + std::to_string(deadProcessId()) + "-5";
    const std::string path = dir.write(name, "bytes");
    fs::last_write_time(utf8Path(path), fs::file_time_type::clock::now() + std::chrono::hours(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const int64_t runBegan = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    platform::FileStatus st;
    ASSERT_FALSE(platform::status(path, st));
    ASSERT_LT(st.ctimeNs, runBegan); // only the modification time holds it back
    EXPECT_TRUE(DiskFile::removeLeftovers(dir.path(), {"m.bas"}, runBegan).empty());
    EXPECT_EQ(TempDir::namesIn(dir.path()), std::vector<std::string>{name});
}

TEST(FolderLocks, EveryRunTakesTheLocksInTheOrderOfTheFoldersIdentities) {
    // Whatever order or names a run is given: two runs that took the same
    // two folders in different orders would each wait for the other.
    TempDir dir;
    std::vector<std::string> folders;
    for (const char* name : {"b", "c", "a", "d"}) {
        fs::create_directories(utf8Path(dir.file(name)));
        folders.push_back(dir.file(name));
    }
    std::vector<std::string> byIdentity = folders;
    auto identity = [](const std::string& folder) {
        platform::FileStatus st;
        EXPECT_FALSE(platform::status(folder, st));
        return std::make_pair(st.device, st.file);
    };
    std::sort(
        byIdentity.begin(), byIdentity.end(),
        [&](const std::string& a, const std::string& b) { return identity(a) < identity(b); });
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "reversed" : "as listed");
        std::vector<std::string> given = folders;
        if (reversed)
            std::reverse(given.begin(), given.end());
        // Another run holds every folder, and lets each go once waited for:
        // the waits come in the order the locks are taken.
        std::map<std::string, platform::FolderLock> others;
        for (const std::string& folder : folders) {
            uint64_t device = 0, file = 0;
            ASSERT_FALSE(others[folder].open(folder, device, file));
            ASSERT_FALSE(others[folder].tryLock());
        }
        std::vector<std::string> waited;
        auto locks = FolderLocks::acquire(given, [&](const std::string& folder) {
            if (waited.empty() || waited.back() != folder) {
                waited.push_back(folder);
                others.erase(folder);
            }
            return waited.size() <= folders.size();
        });
        ASSERT_TRUE(locks) << locks.error().description;
        EXPECT_EQ(waited, byIdentity);
    }
}

TEST(DiskFile, AFileHeldOpenSinceItWasReadIsReplacedOnlyWhileItIsStillThatFileBytesIncluded) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows keeps others from writing a file instead of holding it for the swap";
#else
    const bool root = ::geteuid() == 0;
    // Each change comes in the moment before the swap; the swap changes the
    // file's change time itself, so every other trace of a change must tell.
    struct Case {
        const char* change;
        std::function<void(const std::string& path)> make;
        const char* said; ///< empty when the file is replaced
    };
    const std::vector<Case> cases = {
        {"none", [](const std::string&) {}, ""},
        {"an edit of the same size, its time set back",
         [](const std::string& p) { editKeepingTime(p, "OLD\r\n"); }, "changed on disk"},
        {"bytes added", [](const std::string& p) { std::ofstream(p, std::ios::app) << "x"; },
         "changed on disk"},
        {"another file renamed over it, with the same bytes and time",
         [](const std::string& p) {
             const auto time = fs::last_write_time(p);
             { std::ofstream(p + ".new", std::ios::binary) << "old\r\n"; }
             fs::last_write_time(p + ".new", time);
             fs::rename(p + ".new", p);
         },
         "changed on disk"},
        {"its mode", [](const std::string& p) { ::chmod(p.c_str(), 0600); }, "changed on disk"},
        {"its owner",
         [root](const std::string& p) { ASSERT_TRUE(!root || ::chown(p.c_str(), 4321, -1) == 0); },
         root ? "changed on disk" : ""},
        {"a second name", [](const std::string& p) { fs::create_hard_link(p, p + ".2"); },
         "second name"},
        {"removed", [](const std::string& p) { fs::remove(p); }, "removed since it was loaded"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        TempDir dir;
        const std::string path = dir.write("m.bas", "old\r\n");
        ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
        auto read = DiskFile::read(path, SIZE_MAX, true);
        ASSERT_TRUE(read);
        ASSERT_TRUE(read->held.isOpen() && read->noLink);
        std::string other;
        std::vector<std::string> names;
        HookGuard hook([&](const std::string& p) {
            c.make(p);
            other = fs::exists(p) ? TempDir::read(p) : "";
            for (const std::string& name : TempDir::namesIn(dir.path()))
                if (name.rfind(".m.bas.trapline-", 0) != 0)
                    names.push_back(name);
        });
        auto staged = DiskFile::stage(path, {"treated\r\n"}, &read->stamp, false, false, &*read);
        ASSERT_TRUE(staged) << staged.error().description;
        EXPECT_TRUE(staged->original.isOpen()); // taken over for the commit
        DiskFile::flush({&*staged});
        auto done = DiskFile::commit(*staged);
        EXPECT_FALSE(staged->original.isOpen());
        if (*c.said == 0) {
            ASSERT_TRUE(done) << done.error().description;
            EXPECT_EQ(TempDir::read(path), "treated\r\n");
        } else {
            ASSERT_FALSE(done);
            EXPECT_NE(done.error().description.find(c.said), std::string::npos)
                << done.error().description;
            if (!other.empty()) {
                EXPECT_EQ(TempDir::read(path), other); // the other version stays, whole
            }
        }
        EXPECT_EQ(TempDir::namesIn(dir.path()), names); // nothing left under our names
    }
#endif
}

TEST(DiskFile, FilesStagedInOneFolderEachKeepTheirModeOwnerAndGroupWhateverTheFirstNeeded) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no mode bits, owner and group";
#else
    const bool root = ::geteuid() == 0;
    const uid_t self = ::geteuid();
    const gid_t group = ::getegid();
    struct {
        mode_t mode;
        uid_t uid;
        gid_t gid;
    } const files[] = {
        {0640, root ? 4321u : self, root ? 4322u : group},
        {0640, root ? 4321u : self, root ? 4322u : group}, // as the first: learned
        {0600, self, group},
        {0640, root ? 4321u : self, root ? 4322u : group},
        {0755, self, group},
        {0644, self, group},
    };
    TempDir dir;
    DiskFile::NewFiles newFiles;
    std::vector<DiskFile::Staged> staged;
    for (size_t k = 0; k < std::size(files); ++k) {
        const std::string path = dir.write("m" + std::to_string(k) + ".bas", "old\r\n");
        ASSERT_EQ(::chmod(path.c_str(), files[k].mode), 0);
        ASSERT_EQ(::chown(path.c_str(), files[k].uid, files[k].gid), 0);
        auto read = DiskFile::read(path, SIZE_MAX, true);
        ASSERT_TRUE(read);
        auto s = DiskFile::stage(path, {"new\r\n"}, &read->stamp, false, false, &*read, &newFiles);
        ASSERT_TRUE(s) << s.error().description;
        staged.push_back(std::move(*s));
    }
    for (size_t k = 0; k < staged.size(); ++k) {
        auto done = DiskFile::commit(staged[k]);
        ASSERT_TRUE(done) << done.error().description;
        struct stat st {};
        ASSERT_EQ(::stat(staged[k].path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, files[k].mode) << k;
        EXPECT_EQ(st.st_uid, files[k].uid) << k;
        EXPECT_EQ(st.st_gid, files[k].gid) << k;
        // The stamp given back is the new file's as it now is.
        EXPECT_EQ(done->stamp.inode, static_cast<uint64_t>(st.st_ino)) << k;
        EXPECT_EQ(done->stamp.ctimeNs, int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec)
            << k;
        EXPECT_EQ(TempDir::read(staged[k].path), "new\r\n");
    }
#endif
}
