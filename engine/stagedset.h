#pragma once

#include "diskfile.h"

#include <optional>
#include <string>
#include <vector>

namespace trapline {

/// The staged files of one run, which replace their originals together: all
/// are flushed to disk first, then each is committed, then their folders are
/// synced so that the new names survive a power loss.
class StagedSet {
public:
    StagedSet() = default;
    StagedSet(const StagedSet&) = delete;
    StagedSet& operator=(const StagedSet&) = delete;
    StagedSet(StagedSet&&) = default; ///< the moved-from set is empty
    ~StagedSet() { discardAll(); }

    /// Adds a staged file; returns its index for commitAll()'s results.
    size_t add(DiskFile::Staged staged);
    size_t size() const { return m_files.size(); }
    const std::vector<DiskFile::Staged>& files() const { return m_files; }

    /// How one file's commit went.
    struct Outcome {
        std::optional<Error> error;
        DiskFile::Committed committed; ///< when there is no error
    };
    /// Commits every file (two at a time: renames are the file system's
    /// slowest step) and returns their outcomes in the order added, each with
    /// the stamp of its file as written (see DiskFile::commit()). The set is
    /// empty afterwards.
    std::vector<Outcome> commitAll();
    /// Removes every staged file; nothing is replaced.
    void discardAll();

private:
    std::vector<DiskFile::Staged> m_files;
};

} // namespace trapline
