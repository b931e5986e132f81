#pragma once

#include "result.h"

#include <cstdint>
#include <string>

namespace trapline {

/// What identifies one state of a file on disk.
struct FileStamp {
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
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
    static Result<Contents> read(const std::string& path);

    /// The file's stamp now, or an error when it is gone.
    static Result<FileStamp> stamp(const std::string& path);

    /// Replaces `path` with `bytes` atomically: a temporary file in the same
    /// folder is written, flushed and renamed over the original, which keeps
    /// its permissions. The original is untouched on any error. When
    /// `expected` is given and the file's stamp differs (it changed since it
    /// was read), nothing is written (error 1001). With `backup` the old file
    /// is kept as "<path>.bak". A missing file is created when `expected` is
    /// not given.
    /// Writes a new file atomically; fails, writing nothing, when `path` exists.
    static Result<FileStamp> create(const std::string& path, const std::string& bytes);

    static Result<FileStamp> replace(const std::string& path, const std::string& bytes,
                                     const FileStamp* expected, bool backup = false);
};

} // namespace trapline
