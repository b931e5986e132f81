#pragma once

#include "result.h"

#include "platform/filesystem.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace trapline {

/// Advisory locks on the folders a run writes in, so that two runs of ours
/// never write the same files: the second waits until the first is done and
/// then reads what the first wrote. Held from before the files are read until
/// after they are replaced; released when the object goes.
///
///     auto locks = FolderLocks::acquire(folders, [](auto& f) { say("waiting for " + f); return
///     true; });
class FolderLocks {
public:
    /// Told which folder another run holds: once when the wait begins, then
    /// about ten times a second while it lasts. Returning false gives up.
    using Waiting = std::function<bool(const std::string& folder)>;

    FolderLocks() = default;
    FolderLocks(FolderLocks&&) noexcept = default;
    FolderLocks& operator=(FolderLocks&&) noexcept = default;

    /// Locks every folder of `folders`. A folder is known by its device and
    /// inode, not its name, so one reached by two paths (a symbolic link, a
    /// bind mount) is locked once, and every run takes the locks in the same
    /// order whatever names it was given: two runs can neither wait for
    /// themselves nor for each other. Without `waiting` it waits as long as
    /// it takes; when `waiting` gives up, nothing is locked and the error is
    /// errors::Cancelled.
    static Result<FolderLocks> acquire(std::vector<std::string> folders, const Waiting& waiting);

    /// Whether another run held one of the folders, and this one waited.
    bool waited() const { return m_waited; }
    /// When the entries of `folder` (as given to acquire()) last changed, as
    /// seen once every lock was held; nothing where the system does not say.
    std::optional<int64_t> changeTime(const std::string& folder) const;

private:
    std::vector<platform::FolderLock> m_locks;
    std::map<std::string, int64_t> m_changed;
    bool m_waited = false;
};

} // namespace trapline
