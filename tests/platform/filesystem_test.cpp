#include "platform/filesystem.h"

#include "../support/links.h"
#include "../support/tempdir.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "platform/windows/wide.h"
#include <aclapi.h>
#include <sddl.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace trapline::platform {
namespace {

namespace fs = std::filesystem;

class PlatformFiles : public ::testing::Test {
protected:
    std::string at(const std::string& name) const { return m_dir + "/" + name; }

    static void put(const std::string& path, std::string_view bytes) {
        File f;
        ASSERT_FALSE(createNew(path, 0644, f)) << path;
        ASSERT_FALSE(f.write({bytes})) << path;
    }

    static std::string get(const std::string& path) {
        File f;
        if (openForReading(path, f))
            return "<unreadable>";
        std::string all;
        char buffer[4096];
        size_t got = 0;
        while (!f.read(buffer, sizeof buffer, got) && got > 0)
            all.append(buffer, got);
        return all;
    }

    TempDir m_temp;
    const std::string m_dir = m_temp.path();
};

TEST_F(PlatformFiles, NamesOfEveryKindAreWrittenReadListedAndRenamed) {
    const std::string longFolder(200, 'd');
    const std::string longName = std::string(100, 'n') + ".bas";
    fs::create_directory(toPath(at(longFolder)));
    struct Case {
        std::string folderPart, name;
    };
    std::vector<Case> cases = {{"", "Тест.bas"},
                               {"", "name with spaces.bas"},
                               {longFolder + "/", longName},
                               {longFolder + "/../" + longFolder + "/", "dots" + longName}};
#ifdef _WIN32
    cases.push_back({longFolder + "\\", "back" + longName});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = at(c.folderPart + c.name);
        ASSERT_NO_FATAL_FAILURE(put(path, "Attribute VB_Name = \"M\"\r\n"));
        FileStatus st;
        ASSERT_FALSE(status(path, st));
        EXPECT_EQ(st.type, FileType::Regular);
        EXPECT_EQ(st.size, 25u);
        EXPECT_EQ(get(path), "Attribute VB_Name = \"M\"\r\n");
        // The standard library sees the same name, not a code page's idea of it.
        EXPECT_EQ(fromPath(toPath(path)), fromPath(toPath(m_dir + "/" + c.folderPart)) + c.name);
        if (c.folderPart.empty()) {
            EXPECT_TRUE(fs::exists(toPath(path)));
        }
        const std::string renamed = path + ".old";
        ASSERT_FALSE(renameNoReplace(path, renamed));
        EXPECT_EQ(status(path, st), std::errc::no_such_file_or_directory);
        File f;
        EXPECT_EQ(openForReading(path, f), std::errc::no_such_file_or_directory);
        EXPECT_EQ(openForWriting(path, f), std::errc::no_such_file_or_directory);
        EXPECT_FALSE(remove(renamed));
    }
    std::vector<FolderEntry> inLong, entries;
    ASSERT_FALSE(listFolder(at(longFolder), inLong));
    EXPECT_TRUE(inLong.empty());
    put(at("Модуль.bas"), "x");
    ASSERT_FALSE(listFolder(m_dir, entries));
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(std::make_pair(entries[0].name, entries[0].type),
              std::make_pair(longFolder, FileType::Directory));
    EXPECT_EQ(std::make_pair(entries[1].name, entries[1].type),
              std::make_pair(std::string("Модуль.bas"), FileType::Regular));
}

TEST_F(PlatformFiles, ManyPiecesAreWrittenInOrderAndTruncateStartsAfresh) {
    std::vector<std::string> owned = {"a", std::string(100000, 'b'), "", "c",
                                      std::string(70000, 'd')};
    std::string whole;
    std::vector<std::string_view> pieces;
    for (int round = 0; round < 300; ++round)
        for (const std::string& s : owned) {
            pieces.push_back(s);
            whole += s;
        }
    put(at("big"), "old and longer than what follows");
    File f;
    ASSERT_FALSE(openForWriting(at("big"), f));
    ASSERT_FALSE(f.truncate());
    ASSERT_FALSE(f.write(pieces));
    ASSERT_FALSE(f.sync());
    f.close();
    EXPECT_EQ(get(at("big")), whole);
}

TEST_F(PlatformFiles, NothingIsReplacedByAKeptCopyALinkOrARenameNoReplace) {
    using Operation = std::error_code (*)(const std::string&, const std::string&);
    const struct {
        const char* name;
        Operation operation;
        bool keepsTheOriginal;
    } operations[] = {{"keepCopy", keepCopy, true},
                      {"linkNew", linkNew, true},
                      {"renameNoReplace", renameNoReplace, false}};
    for (const auto& [name, operation, keepsTheOriginal] : operations) {
        SCOPED_TRACE(name);
        put(at("from"), "new");
        put(at("backup"), "the user's own");
        EXPECT_EQ(operation(at("from"), at("backup")), std::errc::file_exists);
        EXPECT_EQ(get(at("backup")), "the user's own");
        EXPECT_EQ(get(at("from")), "new");
        ASSERT_FALSE(remove(at("backup")));
        ASSERT_FALSE(operation(at("from"), at("backup")));
        EXPECT_EQ(get(at("backup")), "new");
        EXPECT_EQ(get(at("from")), keepsTheOriginal ? "new" : "<unreadable>");
        remove(at("from"));
        remove(at("backup"));
    }
    put(at("from"), "new");
    put(at("to"), "old");
    ASSERT_FALSE(renameReplacing(at("from"), at("to")));
    EXPECT_EQ(get(at("to")), "new");
}

TEST_F(PlatformFiles, TwoNamesOfOneFileShareItsIdentityAndCountAsTwoLinks) {
    put(at("one"), "x");
    ASSERT_FALSE(linkNew(at("one"), at("two")));
    FileStatus a, b;
    ASSERT_FALSE(status(at("one"), a));
    ASSERT_FALSE(status(at("two"), b));
    EXPECT_EQ(a.device, b.device);
    EXPECT_EQ(a.file, b.file);
    EXPECT_EQ(a.links, 2u);
    put(at("other"), "x");
    ASSERT_FALSE(status(at("other"), b));
    EXPECT_NE(a.file, b.file);
    EXPECT_EQ(b.links, 1u);
    EXPECT_FALSE(b.kept);
    ASSERT_FALSE(markKept(at("other")));
    ASSERT_FALSE(status(at("other"), b));
    EXPECT_TRUE(b.kept);
}

TEST_F(PlatformFiles, AReadOnlyFileIsRefusedAndStaysReadOnly) {
    put(at("ro.bas"), "x");
    File f;
    ASSERT_FALSE(openForWriting(at("ro.bas"), f));
    ASSERT_FALSE(f.setMode(0444));
    f.close();
    FileStatus st;
    ASSERT_FALSE(status(at("ro.bas"), st));
    EXPECT_EQ(st.mode & 0222, 0u);
#ifndef _WIN32
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write a file without write bits";
#endif
    EXPECT_EQ(checkWritable(at("ro.bas")), std::errc::permission_denied);
    ASSERT_FALSE(status(at("ro.bas"), st));
    EXPECT_EQ(st.mode & 0222, 0u);
    EXPECT_FALSE(checkWritable(m_dir));
#ifdef _WIN32
    SetFileAttributesW(toPath(at("ro.bas")).c_str(), FILE_ATTRIBUTE_NORMAL); // for the clean-up
#endif
}

TEST_F(PlatformFiles, AHeldFileIsReplacedWholeAndAFailedReplacementChangesNothing) {
    const std::string longFolder(200, 'd');
    fs::create_directory(toPath(at(longFolder)));
    std::vector<std::string> folders = {"", longFolder + "/"};
#ifdef _WIN32
    folders.push_back(longFolder + "\\");
#endif
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        const std::string name = std::string(100, 't') + ".bas";
        const std::string target = at(folder + name);
        const std::string staged = at(folder + "staged");
        put(target, "old");
        put(staged, "new");
        File held;
        ASSERT_FALSE(holdForReplacing(target, held));
        EXPECT_NE(replaceHeld(held, at(folder + "missing"), target), std::error_code());
        EXPECT_EQ(get(target), "old");

        ASSERT_FALSE(holdForReplacing(target, held));
        char buffer[8];
        size_t got = 0;
        ASSERT_FALSE(held.read(buffer, sizeof buffer, got));
        EXPECT_EQ(std::string(buffer, got), "old");
        // What the caller does between holding and replacing: check, keep a copy.
        EXPECT_FALSE(checkWritable(target));
        ASSERT_FALSE(keepCopy(target, target + ".bak"));
        FileStatus before, now;
        ASSERT_FALSE(status(staged, before));
        ASSERT_FALSE(replaceHeld(held, staged, target));
        EXPECT_FALSE(held.isOpen());
        EXPECT_EQ(get(target), "new");
        ASSERT_FALSE(status(target, now));
        EXPECT_EQ(now.file, before.file);
        // Nothing left over: the old file is gone, not parked under another name.
        std::vector<std::string> expected = {name, name + ".bak"};
        if (folder.empty())
            expected.insert(expected.begin(), longFolder);
        EXPECT_EQ(TempDir::namesIn(folder.empty() ? m_dir : at(longFolder)), expected);
        EXPECT_EQ(get(target + ".bak"), "old");
        ASSERT_FALSE(remove(target));
        ASSERT_FALSE(remove(target + ".bak"));
    }
}

#ifdef _WIN32
HANDLE openAsAnotherProgram(const std::string& path, DWORD access, DWORD share) {
    return CreateFileW(toPath(path).c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST_F(PlatformFiles, AFileOpenForWritingElsewhereIsBusyAndAHeldOneCannotBeTouched) {
    put(at("target.bas"), "old");
    put(at("staged"), "new");
    HANDLE editor =
        openAsAnotherProgram(at("target.bas"), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(editor, INVALID_HANDLE_VALUE);
    File held;
    EXPECT_EQ(holdForReplacing(at("target.bas"), held), std::errc::device_or_resource_busy);
    CloseHandle(editor);

    const std::wstring target = toPath(at("target.bas")).wstring();
    ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_FALSE(holdForReplacing(at("target.bas"), held));
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE writer = openAsAnotherProgram(at("target.bas"), GENERIC_WRITE, share);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_FALSE(DeleteFileW(target.c_str()));
    EXPECT_FALSE(MoveFileW(target.c_str(), toPath(at("moved")).c_str()));
    // A reader is welcome.
    EXPECT_EQ(get(at("target.bas")), "old");
    // The replacement keeps the attributes of the file it replaces.
    ASSERT_FALSE(replaceHeld(held, at("staged"), at("target.bas")));
    EXPECT_NE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}
#endif

TEST_F(PlatformFiles, ALinkIsFollowedToTheFileItNames) {
    put(at("real.bas"), "x");
    fs::create_directory(toPath(at("realdir")));
    if (!makeLink("real.bas", at("link.bas")) || !makeLink("realdir", at("linkdir"), true))
        GTEST_SKIP() << "this system makes no symbolic links";
    struct Case {
        const char *link, *real;
        FileType type;
    };
    for (const Case& c : {Case{"link.bas", "real.bas", FileType::Regular},
                          Case{"linkdir", "realdir", FileType::Directory}}) {
        SCOPED_TRACE(c.link);
        FileStatus self, followed, real;
        ASSERT_FALSE(status(at(c.link), self, false));
#ifdef _WIN32
        // wine follows a Unix link without saying it is one.
        EXPECT_TRUE(self.type == FileType::Symlink || underWine());
#else
        EXPECT_EQ(self.type, FileType::Symlink);
#endif
        ASSERT_FALSE(status(at(c.link), followed));
        ASSERT_FALSE(status(at(c.real), real));
        EXPECT_EQ(followed.type, c.type);
        EXPECT_EQ(followed.file, real.file);
        std::string viaLink, direct;
        ASSERT_FALSE(realPath(at(c.link), viaLink));
        ASSERT_FALSE(realPath(at(c.real), direct));
        EXPECT_EQ(viaLink, direct);
        EXPECT_EQ(viaLink.find('?'), std::string::npos);
        EXPECT_TRUE(isAbsolute(viaLink)) << viaLink;
    }
    File f;
    EXPECT_NE(openForWriting(at("link.bas"), f), std::error_code());
}

TEST_F(PlatformFiles, AReplacementThroughALinkGoesToTheFileItLeadsToOrNowhere) {
    put(at("real.bas"), "x");
    put(at("soon gone.bas"), "x");
    if (!makeLink("real.bas", at("link.bas")) || !makeLink("soon gone.bas", at("dangling.bas")))
        GTEST_SKIP() << "this system makes no symbolic links";
    ASSERT_FALSE(remove(at("soon gone.bas")));
    std::string target;
    bool exists = false;
    ASSERT_FALSE(replacementTarget(at("link.bas"), target, exists));
    EXPECT_TRUE(exists);
    FileStatus reached, real;
    ASSERT_FALSE(status(target, reached, false));
    ASSERT_FALSE(status(at("real.bas"), real));
    EXPECT_EQ(reached.type, FileType::Regular);
    EXPECT_EQ(reached.file, real.file);
    // A file of its own, or one not there, is its own target.
    ASSERT_FALSE(replacementTarget(at("real.bas"), target, exists));
    EXPECT_TRUE(exists);
    EXPECT_EQ(target, at("real.bas"));
    ASSERT_FALSE(replacementTarget(at("new.bas"), target, exists));
    EXPECT_FALSE(exists);
    EXPECT_EQ(target, at("new.bas"));
    // A link to nothing is never taken for a free name (wine does not show it
    // at all: a file made there would fail to take the name).
    std::error_code ec = replacementTarget(at("dangling.bas"), target, exists);
    if (linksAreSeen()) { // wine shows no link to nothing at all
        EXPECT_NE(ec, std::error_code());
    }
    EXPECT_TRUE(ec || !exists);
}

TEST_F(PlatformFiles, AUsersFileWithTheLocksNameIsNeitherTakenNorRemoved) {
    for (bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only" : "writable");
        const std::string mine = at("~trapline.lock");
        put(mine, "the user's own");
        if (readOnly) {
#ifdef _WIN32
            ASSERT_TRUE(SetFileAttributesW(toPath(mine).c_str(), FILE_ATTRIBUTE_READONLY));
#else
            ASSERT_EQ(::chmod(mine.c_str(), 0444), 0);
#endif
        }
        {
            FolderLock lock;
            uint64_t device = 0, file = 0;
            ASSERT_FALSE(lock.open(m_dir, device, file));
            const std::error_code ec = lock.tryLock();
#ifdef _WIN32
            // Another run's lock could never be opened: this one is the user's.
            EXPECT_EQ(ec, std::errc::file_exists);
#else
            EXPECT_FALSE(ec) << ec.message(); // the folder itself is locked
#endif
            EXPECT_EQ(lock.lock(), ec);
        }
        EXPECT_EQ(get(mine), "the user's own");
        FileStatus st;
        ASSERT_FALSE(status(mine, st));
        EXPECT_EQ((st.mode & 0222) == 0, readOnly);
#ifdef _WIN32
        SetFileAttributesW(toPath(mine).c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
        ASSERT_FALSE(remove(mine));
    }
}

TEST_F(PlatformFiles, AFolderLockHeldByOneHandleKeepsOutTheNext) {
    FolderLock first, second;
    uint64_t device1 = 0, file1 = 0, device2 = 0, file2 = 0;
    ASSERT_FALSE(first.open(m_dir, device1, file1));
    ASSERT_FALSE(second.open(m_dir + "/", device2, file2));
    EXPECT_EQ(device1, device2);
    EXPECT_EQ(file1, file2);
    ASSERT_FALSE(first.tryLock());
    EXPECT_EQ(second.tryLock(), std::errc::resource_unavailable_try_again);
    first = FolderLock();
    EXPECT_FALSE(second.tryLock());
    second = FolderLock();
    // Whatever the lock needed has gone with it.
    EXPECT_TRUE(TempDir::namesIn(m_dir).empty());
}

TEST(PlatformPaths, AbsolutePathsAreTheSystemsOwn) {
    struct Case {
        const char* path;
        bool onWindows, onPosix;
    };
    const Case cases[] = {{"C:\\x.bas", true, false},
                          {"c:/x.bas", true, false},
                          {"\\\\server\\share\\x", true, false},
                          {"/x", true, true},
                          {"x/y.bas", false, false},
                          {"C:x.bas", false, false},
                          {"", false, false}};
    for (const Case& c : cases) {
#ifdef _WIN32
        EXPECT_EQ(isAbsolute(c.path), c.onWindows) << c.path;
#else
        EXPECT_EQ(isAbsolute(c.path), c.onPosix) << c.path;
#endif
    }
    // The folder a file lies in; the root keeps its separator.
    const std::pair<const char*, const char*> parents[] = {
        {"/x", "/"},       {"/a/x", "/a"},        {"a/b/x", "a/b"}, {"x", "."},
#ifdef _WIN32
        {"C:\\x", "C:\\"}, {"C:\\a\\x", "C:\\a"},
#endif
    };
    for (const auto& [path, parent] : parents)
        EXPECT_EQ(parentFolder(path), parent) << path;
#ifdef _WIN32
    EXPECT_EQ(toPath("Тест.bas").wstring(), L"Тест.bas");
    EXPECT_EQ(fromPath(L"C:\\Проект\\Тест.bas"), "C:/Проект/Тест.bas");
#endif
}

#ifdef _WIN32
// Wine takes plain paths of any length, so the prefix is checked here, where
// a real Windows would otherwise be the first to notice it missing.
TEST(PlatformPaths, OnlyATooLongPathIsWidenedWithThePrefix) {
    const std::string longPart(300, 'x');
    const std::wstring longWide(300, L'x');
    struct Case {
        std::string path;
        std::wstring wide;
    };
    const Case cases[] = {
        {"C:/short/Тест.bas", L"C:/short/Тест.bas"},
        {"relative.bas", L"relative.bas"},
        {"C:/a/" + longPart + "/../b.bas", L"\\\\?\\C:\\a\\b.bas"},
        {"C:\\a\\" + longPart, L"\\\\?\\C:\\a\\" + longWide},
        {"//server/share/" + longPart, L"\\\\?\\UNC\\server\\share\\" + longWide},
        {"\\\\?\\C:\\" + longPart, L"\\\\?\\C:\\" + longWide},
        // A name joined to a literal path with '/' is still a name in its folder.
        {"\\\\?\\C:\\p/a.bas", L"\\\\?\\C:\\p\\a.bas"},
    };
    for (const Case& c : cases) {
        std::wstring wide;
        ASSERT_FALSE(windows::widenPath(c.path, wide)) << c.path;
        EXPECT_TRUE(wide == c.wide) << c.path;
    }
    std::wstring wide;
    EXPECT_EQ(windows::widenPath("bad\xff.bas", wide), std::errc::illegal_byte_sequence);
}

TEST(PlatformPaths, APrefixedPathIsThePlainOneWhereWindowsReadsThemAlike) {
    const std::pair<std::string, std::string> cases[] = {
        {"\\\\?\\C:\\proj\\a.vbp", "C:\\proj\\a.vbp"},
        {"\\\\.\\C:\\proj\\a.vbp", "C:\\proj\\a.vbp"},
        {"//?/c:/proj/a.vbp", "c:/proj/a.vbp"},
        {"\\\\?\\UNC\\server\\share\\a.vbp", "\\\\server\\share\\a.vbp"},
        {"\\\\.\\C:\\proj\\..\\a.vbp", "C:\\proj\\..\\a.vbp"}, // read as Windows reads it
        // Names that only the literal form can reach stay literal.
        {"\\\\?\\C:\\proj\\a.vbp.", "\\\\?\\C:\\proj\\a.vbp."},
        {"\\\\?\\C:\\proj\\nul.bas", "\\\\?\\C:\\proj\\nul.bas"},
        {"\\\\?\\C:\\proj\\..\\a.vbp", "\\\\?\\C:\\proj\\..\\a.vbp"},
        // Devices, pipes and volumes have no plain name.
        {"\\\\.\\pipe\\x", "\\\\.\\pipe\\x"},
        {"\\\\?\\Volume{0}\\a.vbp", "\\\\?\\Volume{0}\\a.vbp"},
        {"C:\\proj\\a.vbp", "C:\\proj\\a.vbp"},
    };
    for (const auto& [given, plain] : cases)
        EXPECT_EQ(ordinaryPath(given), plain) << given;
}

TEST(PlatformPaths, APipeAndADeviceAreNamedForWhatTheyAre) {
    const std::string name = "\\\\.\\pipe\\trapline-test-" + std::to_string(GetCurrentProcessId());
    HANDLE pipe = CreateNamedPipeW(toPath(name).c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1,
                                   4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    FileStatus st;
    ASSERT_FALSE(status(name, st));
    EXPECT_EQ(st.type, FileType::Fifo);
    // Asking connected no client: the one instance is still free.
    HANDLE client =
        CreateFileW(toPath(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(client, INVALID_HANDLE_VALUE);
    if (client != INVALID_HANDLE_VALUE)
        CloseHandle(client);
    CloseHandle(pipe);
    EXPECT_EQ(status(name, st), std::errc::no_such_file_or_directory);
    for (const char* device : {"NUL", "CON"}) {
        ASSERT_FALSE(status(device, st)) << device;
        EXPECT_EQ(st.type, FileType::Device) << device;
    }
}

/// This process's user, as an SDDL SID.
std::wstring userSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return L"OW";
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size);
    LPWSTR text = nullptr;
    std::wstring sid = L"OW";
    if (GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        sid = text;
    LocalFree(text);
    CloseHandle(token);
    return sid;
}

/// What Windows says of who may do what with `path`: owner, group and DACL.
std::string securityOf(const std::string& path) {
    const SECURITY_INFORMATION which =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    PSECURITY_DESCRIPTOR sd = nullptr;
    std::wstring wide = toPath(path).wstring();
    if (GetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, which, nullptr, nullptr, nullptr,
                              nullptr, &sd) != ERROR_SUCCESS)
        return "<none>";
    LPWSTR text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1, which, &text,
                                                         nullptr);
    std::string out = text ? fromPath(text) : "<none>";
    LocalFree(text);
    LocalFree(sd);
    return out;
}

TEST_F(PlatformFiles, AReplacedFileKeepsExactlyTheAccessItHad) {
    // As made here, and with rights of its own that take nothing from the
    // folder (under wine every right is the file's own, made from its mode).
    for (bool ownRights : {false, true}) {
        SCOPED_TRACE(ownRights ? "rights of its own" : "as made");
        put(at("target.bas"), "old");
        put(at("staged"), "new");
        if (ownRights) {
            PSECURITY_DESCRIPTOR sd = nullptr;
            const std::wstring sddl = L"D:P(A;;FA;;;SY)(A;;FA;;;" + userSid() + L")";
            ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
                sddl.c_str(), SDDL_REVISION_1, &sd, nullptr));
            BOOL present = FALSE, defaulted = FALSE;
            PACL dacl = nullptr;
            GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
            std::wstring wide = toPath(at("target.bas")).wstring();
            EXPECT_EQ(SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION |
                                                PROTECTED_DACL_SECURITY_INFORMATION,
                                            nullptr, nullptr, dacl, nullptr),
                      static_cast<DWORD>(ERROR_SUCCESS));
            LocalFree(sd);
        }
        ASSERT_TRUE(SetFileAttributesW(toPath(at("target.bas")).c_str(),
                                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN));
        const std::string rights = securityOf(at("target.bas"));
        const std::string mode = unixMode(at("target.bas"));
        const DWORD attributes = GetFileAttributesW(toPath(at("target.bas")).c_str());
        File held;
        ASSERT_FALSE(holdForReplacing(at("target.bas"), held));
        ASSERT_FALSE(replaceHeld(held, at("staged"), at("target.bas")));
        EXPECT_EQ(get(at("target.bas")), "new");
        EXPECT_EQ(securityOf(at("target.bas")), rights);
        EXPECT_EQ(GetFileAttributesW(toPath(at("target.bas")).c_str()), attributes);
        EXPECT_EQ(unixMode(at("target.bas")), mode); // under wine; empty elsewhere
        SetFileAttributesW(toPath(at("target.bas")).c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_FALSE(remove(at("target.bas")));
    }
}
#endif

} // namespace
} // namespace trapline::platform
