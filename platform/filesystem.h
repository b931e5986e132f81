#pragma once

// The one place that asks the operating system about files. Paths are UTF-8
// everywhere; the Windows side turns them into UTF-16 at each call. Errors
// come back as std::error_code in the generic category (std::errc), so that
// callers and messages are the same on every system.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace trapline::platform {

enum class FileType { Missing, Regular, Directory, Symlink, Fifo, Socket, Device, Other };

/// What the system says of one file.
struct FileStatus {
    FileType type = FileType::Missing;
    uint64_t size = 0;
    int64_t mtimeNs = 0; ///< last write, nanoseconds since 1970
    int64_t ctimeNs = 0; ///< last change of bytes or metadata (Windows: ChangeTime)
    uint64_t device = 0; ///< device, or volume serial number
    uint64_t file = 0;   ///< inode, or file index
    uint32_t mode = 0;   ///< permission bits; Windows: 0444 when read-only, else 0666
    uint32_t uid = 0;    ///< owner and group (always 0 on Windows)
    uint32_t gid = 0;
    uint64_t links = 1;
    bool kept = false; ///< marked by markKept()
};

/// An open file or folder; closed with the object.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return m_handle != kClosed; }
    void close();

    /// Reads up to `size` bytes; `got` is 0 at the end.
    std::error_code read(char* buffer, size_t size, size_t& got);
    /// Reads up to `size` bytes from `offset`, wherever the file position is.
    std::error_code readAt(uint64_t offset, char* buffer, size_t size, size_t& got);
    /// Writes every piece, in order, as few system calls as it takes.
    std::error_code write(const std::vector<std::string_view>& pieces);
    std::error_code status(FileStatus& out) const;
    /// Makes the bytes durable.
    std::error_code sync();
    std::error_code truncate();
    /// Gives the file this owner and group where the process may, else keeps
    /// the group where it may; nothing on Windows.
    std::error_code setOwner(uint32_t uid, uint32_t gid);
    /// Sets the permission bits (Windows: the read-only attribute).
    std::error_code setMode(uint32_t mode);

    static constexpr intptr_t kClosed = -1;
    intptr_t m_handle = kClosed; ///< a descriptor or a HANDLE
};

/// Opens a file for reading without ever blocking (on a FIFO, say). Other
/// programs may go on reading and writing it. With `noLink`, says whether
/// `path` itself names the file opened rather than a symbolic link to it
/// (POSIX, where it costs a second opening only for a link; always false on
/// Windows, where only the final path tells).
std::error_code openForReading(const std::string& path, File& f, bool* noLink = nullptr);
/// Opens an existing file for writing, not following a symbolic link.
std::error_code openForWriting(const std::string& path, File& f);
/// Creates a file that must not exist yet (errc::file_exists if it does),
/// with `mode` as the umask lets it (ignored on Windows: a new file is
/// writable there).
std::error_code createNew(const std::string& path, uint32_t mode, File& f);

/// The status of `path`, following a symbolic link unless `followLinks` is
/// false. A missing file is errc::no_such_file_or_directory.
std::error_code status(const std::string& path, FileStatus& out, bool followLinks = true);
/// Whether this process may write `path` (errc::permission_denied or
/// errc::read_only_file_system when not).
std::error_code checkWritable(const std::string& path);
/// Whether the status of a file alone shows that this process may write it
/// (POSIX: the process is root, or it owns the file and the owner may write
/// it); false where only checkWritable() can tell.
bool writableByStatus(const FileStatus& st);
/// Whether the system swaps two names atomically (see exchange()), so that
/// a replacement reads the file it swapped out back through the descriptor
/// the file was read with: such a descriptor is worth keeping open until the
/// replacement. Windows keeps others from writing a file held open instead.
bool swapsAtomically();
/// The path with every link resolved.
std::error_code realPath(const std::string& path, std::string& out);
/// The file that writing `path` in place changes: `path` itself, or, when
/// `path` leads through a symbolic link, the file at its end (Windows: the
/// final path of the file opened, which also finds the links that do not say
/// they are one, such as a Unix link under wine). `exists` is false, and
/// `target` is `path`, when nothing is there. A link that leads to nothing
/// that can be opened is an error (never `exists` false: a file put in its
/// place would replace the link). When `found` is given and the look-up saw
/// the file's own status on the way (POSIX, `path` no link), `*found` is
/// that status, sparing the caller another look-up; else its type is Missing.
std::error_code replacementTarget(const std::string& path, std::string& target, bool& exists,
                                  FileStatus* found = nullptr);
/// `path` without a Windows "\\?\" or "\\.\" prefix where Windows takes
/// the plain name for the same file ("\\?\C:\p\a.vbp" is "C:\p\a.vbp",
/// "\\.\UNC\s\share\x" is "\\s\share\x"); any other path, a device's
/// or a pipe's say, as it is. The same path on POSIX.
std::string ordinaryPath(const std::string& path);

std::error_code remove(const std::string& path);
/// Gives `existing` the second name `newName`; never replaces a file.
std::error_code linkNew(const std::string& existing, const std::string& newName);
/// Renames, never replacing a file (errc::file_exists).
std::error_code renameNoReplace(const std::string& from, const std::string& to);
/// Renames, replacing whatever `to` names.
std::error_code renameReplacing(const std::string& from, const std::string& to);
/// Swaps two names atomically; errc::function_not_supported where the system
/// or the file system has no such thing.
std::error_code exchange(const std::string& a, const std::string& b);
/// Gives `existing` the name `newName` as a copy (or a second link where that
/// is cheaper); never replaces a file. For backups.
std::error_code keepCopy(const std::string& existing, const std::string& newName);

/// Opens `path` for a replacement: no other program may write it (or, on
/// Windows, rename or delete it) while `held` is open, where the system
/// allows that (Windows: a file another program has open for writing is
/// errc::device_or_resource_busy). Read it through `held` to check it.
std::error_code holdForReplacing(const std::string& path, File& held);
/// Puts `replacement` in the place of the file `held` (at `target`), closing
/// `held`; the replaced file's attributes and access rights stay where the
/// system keeps them. Nothing is changed on failure.
std::error_code replaceHeld(File& held, const std::string& replacement, const std::string& target);

/// Marks a file so that no clean-up of ours takes it for a leftover.
std::error_code markKept(const std::string& path);

/// Makes renames in `folder` durable (nothing where the system has no such call).
std::error_code syncFolder(const std::string& folder);
/// Makes the files at `paths` durable the cheapest way the system has: one
/// fsync for a single file, one sync per file system for many (POSIX);
/// FlushFileBuffers on each (Windows). `devices`, when not empty, holds the
/// device of each file as the caller knows it, which spares a look-up a file.
void syncFiles(const std::vector<std::string>& paths, const std::vector<uint64_t>& devices = {});

struct FolderEntry {
    std::string name;
    FileType type = FileType::Other; ///< of the entry itself, links not followed
};
/// The entries of `folder`, without "." and "..", in the system's order.
std::error_code listFolder(const std::string& folder, std::vector<FolderEntry>& out);

/// An exclusive lock of a folder, held between runs of ours; released when
/// the object goes.
class FolderLock {
public:
    FolderLock() = default;
    FolderLock(FolderLock&&) noexcept = default;
    FolderLock& operator=(FolderLock&&) noexcept = default;

    /// Opens what the lock needs; `device` and `file` tell the folder's
    /// identity, so that two names of one folder are locked once.
    std::error_code open(const std::string& folder, uint64_t& device, uint64_t& file);
    /// Takes the lock now: errc::resource_unavailable_try_again when another
    /// process holds it, errc::not_supported where the file system has no locks,
    /// errc::file_exists where a file that no run of ours made has the name
    /// of the lock (Windows; it is neither taken nor removed).
    std::error_code tryLock();
    /// Waits for the lock.
    std::error_code lock();
    /// When the folder's entries last changed (a name made, renamed or
    /// removed); errc::not_supported where the lock does not tell (Windows).
    std::error_code changeTime(int64_t& ns) const;

private:
    File m_file;
    std::string m_folder; ///< Windows: where the lock file is made
};
/// Lets the process hold `count` open files at once where it can.
void allowOpenFiles(size_t count);
/// How many files the process may hold open at once, raised first as far
/// as it may be.
size_t openFileLimit();

/// A UTF-8 path as the standard library's path (never through the ANSI
/// code page), and back, with '/' between the parts.
std::filesystem::path toPath(const std::string& utf8);
std::string fromPath(const std::filesystem::path& path);
/// The folder part of `path` ("." when there is none), and the name after
/// the last separator ('/', and '\\' on Windows).
std::string parentFolder(const std::string& path);
std::string fileName(const std::string& path);
/// Whether `path` is absolute on this system ("C:\x", "\\server\share" or "/x").
bool isAbsolute(const std::string& path);
/// Whether file names differ only in letter case on this system's usual file
/// systems (Windows), so that a project's names match any case.
bool namesIgnoreCase();

} // namespace trapline::platform
