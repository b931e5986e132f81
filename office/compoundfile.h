#pragma once

// A compound file (MS-CFB) read from memory: storages and streams by path.
// libgsf on POSIX; the Windows side is to use the system's structured storage.

#include "outcome.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace trapline::office {

class CompoundFile {
public:
    /// One child of a storage. Names are UTF-8.
    struct Entry {
        std::string name;
        bool isStorage = false;
        uint64_t size = 0; ///< a stream's size as the directory states it
    };

    /// Opens the compound file held in `bytes`. Fails (NotOffice) when it is
    /// not one, (Corrupt) when its sector tables are broken.
    static Outcome<std::unique_ptr<CompoundFile>> open(std::string bytes);
    virtual ~CompoundFile() = default;

    /// The children of the storage at `path` ("" is the root, "VBA" or
    /// "Macros/VBA" a storage below it). Fails (Corrupt) when there is none.
    virtual Outcome<std::vector<Entry>> list(std::string_view path) const = 0;
    /// The whole stream at `path` ("VBA/dir"). Fails (Corrupt) when there is
    /// none or it cannot be read whole, (TooLarge) when it states more than
    /// `limit` bytes.
    virtual Outcome<std::string> read(std::string_view path, size_t limit) const = 0;
};

/// "a/b" split at its slashes.
std::vector<std::string> splitPath(std::string_view path);

} // namespace trapline::office
