#include "folderlocks.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>
#include <tuple>

namespace trapline {
namespace {

Error lockError(const std::string& folder, std::error_code ec) {
    if (ec == std::errc::file_exists)
        return makeError(errors::PathAccess, folder,
                         "cannot lock the folder: a file that no trapline run made has the name "
                         "of its lock (~trapline.lock); it is left as it is: move it away and "
                         "run again");
    return makeError(ec == std::errc::permission_denied ? errors::PermissionDenied
                                                        : errors::PathAccess,
                     folder, "cannot lock the folder: " + ec.message());
}

/// One folder to lock, known by what it is rather than what it is called.
struct OpenFolder {
    uint64_t device = 0;
    uint64_t file = 0;
    size_t lock = 0;  ///< its place in the locks held
    std::string name; ///< the first name it was given, for messages
};

/// Waits for another run's lock, asking `waiting` whether to go on.
/// Returns the error that ended the wait (errc::operation_canceled when given up).
std::error_code waitForLock(platform::FolderLock& lock, const std::string& name,
                            const FolderLocks::Waiting& waiting) {
    if (!waiting)
        return lock.lock();
    for (;;) {
        if (!waiting(name))
            return std::make_error_code(std::errc::operation_canceled);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::error_code ec = lock.tryLock();
        if (ec != std::errc::resource_unavailable_try_again)
            return ec;
    }
}

} // namespace

Result<FolderLocks> FolderLocks::acquire(std::vector<std::string> folders, const Waiting& waiting) {
    // A folder named once per module would cost a descriptor per module.
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    platform::allowOpenFiles(folders.size());
    FolderLocks locks; // releases everything opened here on each way out
    std::vector<OpenFolder> open;
    std::map<std::pair<uint64_t, uint64_t>, size_t> seen;
    std::vector<size_t> lockOf; ///< for each folder, its place in the locks held
    for (const std::string& folder : folders) {
        platform::FolderLock lock;
        OpenFolder f{0, 0, locks.m_locks.size(), folder};
        if (auto ec = lock.open(folder, f.device, f.file))
            return lockError(folder, ec);
        auto [it, added] = seen.emplace(std::make_pair(f.device, f.file), f.lock);
        lockOf.push_back(it->second);
        if (!added)
            continue; // a second name of a folder already here
        locks.m_locks.push_back(std::move(lock));
        open.push_back(std::move(f));
    }
    std::sort(open.begin(), open.end(), [](const OpenFolder& a, const OpenFolder& b) {
        return std::tie(a.device, a.file) < std::tie(b.device, b.file);
    });
    for (const OpenFolder& f : open) {
        platform::FolderLock& lock = locks.m_locks[f.lock];
        std::error_code ec = lock.tryLock();
        if (!ec || ec == std::errc::not_supported)
            continue; // a file system without locks: commits still check every file
        if (ec == std::errc::resource_unavailable_try_again) {
            locks.m_waited = true;
            ec = waitForLock(lock, f.name, waiting);
        }
        if (ec == std::errc::operation_canceled)
            return makeError(errors::Cancelled, f.name,
                             "gave up waiting for another trapline run; nothing was written");
        if (ec)
            return lockError(f.name, ec);
    }
    // Once a folder is held, no run of ours changes it: what it holds now is
    // what this run reads. Asked once a folder, for all of its files.
    std::vector<std::optional<int64_t>> changed(locks.m_locks.size());
    for (size_t k = 0; k < changed.size(); ++k)
        if (int64_t ns = 0; !locks.m_locks[k].changeTime(ns))
            changed[k] = ns;
    for (size_t k = 0; k < folders.size(); ++k)
        if (changed[lockOf[k]])
            locks.m_changed.emplace(folders[k], *changed[lockOf[k]]);
    return locks;
}

std::optional<int64_t> FolderLocks::changeTime(const std::string& folder) const {
    auto it = m_changed.find(folder);
    if (it == m_changed.end())
        return std::nullopt;
    return it->second;
}

} // namespace trapline
