#pragma once

// A compound file (MS-CFB) read from memory: storages and streams by path.
// libgsf on POSIX, the system's structured storage on Windows.

#include "outcome.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace trapline::office {

/// A whole compound file as data: every storage and stream by path, the
/// root as "". What a writer writes and a self-check compares.
struct CompoundTree {
    struct Node {
        bool isStorage = false;
        std::string classId; ///< a storage's 16 bytes (all zero when none)
        std::string data;    ///< a stream's bytes
        bool operator==(const Node&) const = default;
    };
    std::map<std::string, Node> nodes; ///< "" is the root storage
    uint32_t sectorSize = 512;         ///< 512 or 4096, as the file was written
};

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
    /// The class id of the storage at `path` ("" is the root): 16 bytes.
    virtual Outcome<std::string> classId(std::string_view path) const = 0;
    /// The sector size the file was written with (512 or 4096).
    virtual uint32_t sectorSize() const = 0;

    /// Every storage and stream, each stream read whole. Fails (Corrupt)
    /// for a name a path cannot hold ('/', or twice in one storage),
    /// (TooLarge) when the streams together pass `limit` bytes.
    Outcome<CompoundTree> tree(size_t limit) const;

    /// A compound file holding exactly `tree`: the same storages, streams and
    /// class ids, with the tree's sector size. Fails (Corrupt) for a node
    /// whose parent storage is missing.
    static Outcome<std::string> write(const CompoundTree& tree);
};

/// "a/b" split at its slashes.
std::vector<std::string> splitPath(std::string_view path);

} // namespace trapline::office
