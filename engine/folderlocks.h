#pragma once

#include "result.h"

#include <functional>
#include <string>
#include <vector>

namespace trapline {

/// Advisory locks on the folders a run writes in, so that two runs of ours
/// never write the same files: the second waits until the first is done and
/// then reads what the first wrote. Held from before the files are read until
/// after they are replaced; released when the object goes.
///
///     auto locks = FolderLocks::acquire(folders, [](auto& f) { say("waiting for " + f); });
class FolderLocks {
public:
    FolderLocks() = default;
    FolderLocks(FolderLocks&& other) noexcept
        : m_fds(std::move(other.m_fds)), m_leftovers(std::move(other.m_leftovers)) {
        other.m_fds.clear();
    }
    FolderLocks& operator=(FolderLocks&& other) noexcept;
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;
    ~FolderLocks();

    /// Locks every folder of `folders` (duplicates allowed), always in the
    /// same order so that two runs cannot deadlock. `waiting` is called with a
    /// folder before blocking on it when another run holds it. Leftover
    /// temporary files of killed runs in each locked folder are removed and
    /// listed in `leftovers`.
    static Result<FolderLocks> acquire(std::vector<std::string> folders,
                                       const std::function<void(const std::string&)>& waiting);

    /// The temporary files of earlier, killed runs that acquire() removed.
    const std::vector<std::string>& leftovers() const { return m_leftovers; }

private:
    std::vector<int> m_fds;
    std::vector<std::string> m_leftovers;
};

} // namespace trapline
