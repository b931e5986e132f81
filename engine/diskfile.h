#pragma once

#include "result.h"

#include "platform/filesystem.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace trapline {

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

/// A file held open from its reading until its replacement, which then reads
/// back through it the version it swapped out: no second opening of the file.
/// The files held at once stay well within what the process may open; past
/// that, a file is not held, and its replacement opens what it swapped out.
class HeldFile {
public:
    HeldFile() = default;
    HeldFile(HeldFile&& other) noexcept;
    HeldFile& operator=(HeldFile&& other) noexcept;
    ~HeldFile() { close(); }

    /// Takes `f` when the process may hold one more file, and says whether
    /// it did; else `f` stays the caller's.
    bool take(platform::File& f);
    bool isOpen() const { return m_file.isOpen(); }
    platform::File& file() { return m_file; }
    void close();

private:
    platform::File m_file;
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
        bool noLink = false; ///< the path named the file itself, no symbolic link (POSIX)
        int64_t readNs = 0;  ///< when it was opened, nanoseconds since 1970
        HeldFile held;       ///< open still, when asked to `hold` it
    };

    /// Reads a whole regular file (never blocking on a FIFO or device).
    /// Errors name the file: missing (53), not readable (70), a folder or
    /// other non-file (75). With `limit`, reads at most that many bytes from
    /// the start (and the stamp has no hash). With `hold`, the file stays
    /// open for its replacement (see HeldFile), where the system swaps files
    /// atomically.
    static Result<Contents> read(const std::string& path, size_t limit = SIZE_MAX,
                                 bool hold = false);

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
        FileStamp written;         ///< the new file's stamp and hash
        bool checkStamp = false;   ///< replace only if the file is still `expected`
        bool exclusive = false;    ///< create only; never replace an existing file
        bool backup = false;       ///< keep the replaced file under a free ".bak" name
        mutable HeldFile original; ///< the file as read, when it was held open since
        /// The new file, held open until it is committed when its status was
        /// not asked for (see NewFiles): `written` then has no identity or times.
        mutable HeldFile file;
    };

    /// How a new file comes out in each folder (owner, group and mode, and
    /// whether it had to be given those of the file it replaces), learned
    /// from the first file staged there, so that the next ones need not be
    /// looked at again. For one run, which holds the folders' locks; safe
    /// across threads.
    class NewFiles {
    public:
        struct Outcome {
            bool chown = false, chmod = false; ///< what the first file needed
            uint32_t uid = 0, gid = 0, mode = 0;
            uint64_t device = 0;
        };
        /// The key: the folder, the mode asked for, and the file replaced.
        using Key = std::tuple<std::string, uint32_t, uint32_t, uint32_t, uint32_t>;
        bool find(const Key& key, Outcome& out) const;
        void learn(const Key& key, const Outcome& outcome);

    private:
        mutable std::shared_mutex m_mutex;
        std::map<Key, Outcome> m_known;
    };

    /// Writes `pieces` to a temporary file in the folder of the file `path`
    /// names (following a symbolic link), with its permissions, owner and
    /// group where the process may set them, after checking that `path` may
    /// be replaced: not read-only, a regular file with one name only (a hard
    /// link would be split); with `exclusive`, not there at all. Whether it
    /// is still `expected` is checked when it is committed. Nothing is
    /// flushed yet; see flush() and commit(). `read`, when given, is what
    /// reading the file left: where it named the file itself (no link), its
    /// stamp stands for a look-up of `path`, and a file held open is taken
    /// for the commit. `newFiles`, when given, spares a look-up of the new
    /// file where another in its folder showed how it comes out. Without
    /// `hashWritten` the new file's stamp has no hash of its bytes: a run
    /// that never looks at the file again after the commit needs none.
    static Result<Staged> stage(const std::string& path,
                                const std::vector<std::string_view>& pieces,
                                const FileStamp* expected, bool backup, bool exclusive = false,
                                Contents* read = nullptr, NewFiles* newFiles = nullptr,
                                bool hashWritten = true);
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
