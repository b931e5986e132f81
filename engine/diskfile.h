#pragma once

#include "result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trapline {

/// What identifies one state of a file on disk.
struct FileStamp {
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t inode = 0;
    uint64_t device = 0;
    uint32_t mode = 0; ///< permission bits, for a replacement to keep
    bool operator==(const FileStamp& o) const {
        return size == o.size && mtimeNs == o.mtimeNs && inode == o.inode && device == o.device;
    }
};

/// Reading and safely replacing files.
class DiskFile {
public:
    struct Contents {
        std::string bytes;
        FileStamp stamp;
    };

    /// Reads a whole regular file. Errors name the file: missing (53), not
    /// readable (70), a folder or other non-file (75).
    /// With `limit`, reads at most that many bytes from the start.
    static Result<Contents> read(const std::string& path, size_t limit = SIZE_MAX);

    /// The file's stamp now, or an error when it is gone.
    static Result<FileStamp> stamp(const std::string& path);

    /// A new version of a file written next to it, waiting to replace it.
    struct Staged {
        std::string path;
        std::string temp;
        FileStamp expected;
        FileStamp written;       ///< the new file's stamp, which it keeps once in place
        bool checkStamp = false; ///< replace only if the file is still `expected`
        bool exclusive = false;  ///< create only; never replace an existing file
        bool backup = false;     ///< keep the replaced file as "<path>.bak"
    };

    /// Writes `bytes` to a temporary file in `path`'s folder (with `path`'s
    /// permissions), after checking that `path` may be replaced: not
    /// read-only; with `exclusive`, not there at all. Whether it is still
    /// `expected` is checked when it is committed. Nothing is flushed yet;
    /// see flush() and commit().
    static Result<Staged> stage(const std::string& path,
                                const std::vector<std::string_view>& pieces,
                                const FileStamp* expected, bool backup, bool exclusive = false);
    /// Makes staged files durable before they replace anything: one fsync for
    /// a single file, one file-system sync for many.
    static void flush(const std::vector<const Staged*>& staged);
    /// Puts a staged file in place (checking again that the original did not
    /// change meanwhile); on failure the temporary file is removed.
    static Result<FileStamp> commit(const Staged& staged);
    /// Removes a staged file that is not to be committed.
    static void discard(const Staged& staged);

    /// Replaces `path` with `bytes` atomically: a temporary file in the same
    /// folder is written, flushed and renamed over the original, which keeps
    /// its permissions. The original is untouched on any error. When
    /// `expected` is given and the file's stamp differs (it changed since it
    /// was read), nothing is written (error 1001). With `backup` the old file
    /// is kept as "<path>.bak". A missing file is created when `expected` is
    /// not given.
    static Result<FileStamp> replace(const std::string& path, const std::string& bytes,
                                     const FileStamp* expected, bool backup = false);
};

} // namespace trapline
