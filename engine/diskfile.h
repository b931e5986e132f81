#pragma once

#include "result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace trapline {

namespace platform {
enum class FileType;
}

/// What identifies one state of a file on disk.
struct FileStamp {
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    int64_t ctimeNs = 0; ///< changes with every write, even when mtime is set back
    uint64_t inode = 0;
    uint64_t device = 0;
    uint32_t mode = 0; ///< permission bits, for a replacement to keep
    uint32_t uid = 0;  ///< owner and group, for a replacement to keep
    uint32_t gid = 0;
    uint64_t links = 1; ///< names the file has (hard links)
    uint64_t hash = 0;  ///< of the bytes, when `hashed`
    bool hashed = false;

    /// The same file in the same state: identity and times, and the bytes when
    /// both sides know their hash.
    bool operator==(const FileStamp& o) const {
        return size == o.size && mtimeNs == o.mtimeNs && ctimeNs == o.ctimeNs && inode == o.inode &&
               device == o.device && (!hashed || !o.hashed || hash == o.hash);
    }
};

/// Reading and safely replacing files.
///
/// A replacement is staged first (a temporary file next to the original,
/// named ".NAME.trapline-PID-N", a name nothing else writes), flushed, and
/// then committed: on Linux the two files swap places atomically and the file
/// swapped out is checked to be exactly the one that was read, bytes
/// included; if it is not, they swap back and nothing is lost.
class DiskFile {
public:
    struct Contents {
        std::string bytes;
        FileStamp stamp;
    };

    /// Reads a whole regular file (never blocking on a FIFO or device).
    /// Errors name the file: missing (53), not readable (70), a folder or
    /// other non-file (75). With `limit`, reads at most that many bytes from
    /// the start (and the stamp has no hash).
    static Result<Contents> read(const std::string& path, size_t limit = SIZE_MAX);

    /// The stamp of the regular file at `path` now (no hash); an error when it
    /// is gone or is not a regular file.
    static Result<FileStamp> stamp(const std::string& path);

    /// Why the file `path`, of a `type` other than a regular file, is not
    /// read: "a FIFO, not a regular file; not read".
    static Error notRegular(const std::string& path, platform::FileType type);

    /// The hash FileStamp keeps of a file's bytes.
    static uint64_t hashOf(std::string_view bytes);

    /// A new version of a file written next to it, waiting to replace it.
    struct Staged {
        std::string path;   ///< as the caller named it
        std::string target; ///< the file replaced: `path`, or where its symbolic link points
        std::string temp;
        FileStamp expected;
        FileStamp written;       ///< the new file's stamp and hash
        bool checkStamp = false; ///< replace only if the file is still `expected`
        bool exclusive = false;  ///< create only; never replace an existing file
        bool backup = false;     ///< keep the replaced file under a free ".bak" name
    };

    /// Writes `pieces` to a temporary file in the folder of the file `path`
    /// names (following a symbolic link), with its permissions, owner and
    /// group where the process may set them, after checking that `path` may
    /// be replaced: not read-only, a regular file with one name only (a hard
    /// link would be split); with `exclusive`, not there at all. Whether it
    /// is still `expected` is checked when it is committed. Nothing is
    /// flushed yet; see flush() and commit().
    static Result<Staged> stage(const std::string& path,
                                const std::vector<std::string_view>& pieces,
                                const FileStamp* expected, bool backup, bool exclusive = false);
    /// Makes staged files durable before they replace anything: one fsync for
    /// a single file, one file-system sync for many.
    static void flush(const std::vector<const Staged*>& staged);

    /// What a commit left on disk.
    struct Committed {
        FileStamp stamp;    ///< the new file's
        std::string backup; ///< where the replaced file was kept, when asked to
        /// Where another version was set aside, when one could not be put back
        /// (see commit()), and `note` says why and what; empty otherwise.
        std::string setAside;
        std::string note;
    };
    /// Puts a staged file in place, provided the file it replaces is still,
    /// bytes included, the one that was read; on any failure the temporary
    /// file is removed and the original is as it was. Should a file change
    /// in the moment of the swap and the swap back fail, the version that came
    /// out is never left under a temporary name: it is kept as "NAME.kept"
    /// (or "NAME.kept.N"), named in `setAside`; where the folder takes no new
    /// name, its bytes are written back into the file and the commit fails;
    /// where that fails too, it stays under its temporary name, marked so
    /// that removeLeftovers() never takes it, and `setAside` names it.
    /// Without `restamp`, Committed::stamp is the new file's as written, its
    /// change time from before the rename (a look-up less, for a caller that
    /// never compares the file with it again).
    static Result<Committed> commit(const Staged& staged, bool restamp = true);
    /// Removes a staged file that is not to be committed.
    static void discard(const Staged& staged);

    /// Makes the renames in `folders` durable (fsync of each folder).
    static void syncFolders(const std::vector<std::string>& folders);

    /// Replaces `path` with `bytes`: stage(), flush(), commit() and a sync of
    /// its folder. When `expected` is given and the file is no longer that
    /// file, nothing is written (error 1001). A missing file is created when
    /// `expected` is not given.
    static Result<Committed> replace(const std::string& path, const std::string& bytes,
                                     const FileStamp* expected, bool backup = false);

    /// Removes every staged file not yet committed, waiting for a commit in
    /// progress to finish, and refuses any later stage or commit. For a
    /// process about to end on a signal.
    static void removeStagedFiles();

    /// Removes the temporary files that earlier, killed runs left in `folder`
    /// for the files named in `names` (names in that folder), and returns
    /// their paths. Only what is provably such a leftover goes: our exact name
    /// pattern for one of `names`, a regular file last changed before
    /// `beforeNs` (nanoseconds since 1970), whose process no longer exists,
    /// and not marked as a set-aside version (see commit()).
    /// Call it only while holding the folder's lock (FolderLocks).
    static std::vector<std::string> removeLeftovers(const std::string& folder,
                                                    const std::vector<std::string>& names,
                                                    int64_t beforeNs);

    /// The folder that holds the file `path` names, after following a
    /// symbolic link to the file: where its replacement is written.
    static std::string folderOfTarget(const std::string& path);

    /// For tests: called with each file's path right before it is replaced,
    /// after the last check that it did not change. Empty by default.
    static void setReplaceHook(std::function<void(const std::string& path)> hook);
    /// For tests: a step of a commit ("swap back", "set aside", "copy back")
    /// for which `hook` returns true fails as if the system refused it.
    static void setFaultHook(std::function<bool(std::string_view step)> hook);
};

} // namespace trapline
